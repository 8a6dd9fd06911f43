// bench/soak: the simulated device under mixed load for a set time. PC
// clients on every link ask and change parameters, the video sources change
// (each change stores the parameters), user modes are saved with their
// menu copies. Prints resident memory at start and end, the answers and
// the ones lost, and whether the stored files were left whole.
#include "bench/bench.h"
#include "bench/pc_client.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

namespace bench {

namespace {

struct Link {
    using Opener = std::function<std::unique_ptr<pc::Endpoint>()>;
    Link(const char* n, Opener o)
        : name(n)
        , open(std::move(o))
    {
    }
    const char* name;
    Opener open;
    std::atomic<unsigned long> asked{0}, answered{0}, late{0}, lost{0};
    std::atomic<int> slowestMs{0};
    std::vector<std::string> losses; // when and what, written by its one driver
};

constexpr uint16_t kSoakBrightness = 2176;
constexpr uint16_t kModeSaveRequest = 868;
constexpr uint16_t kOsdOn = 2124;
constexpr uint16_t kRegApply = 11;
const char* const kMenu = "{\"osdcount\":0,\"name\":\"soak\"}";

bool writeText(const std::string& file, const QByteArray& text)
{
    // Whole, so the simulation never reads half a file.
    const std::string fresh = file + ".new";
    QFile f(QString::fromStdString(fresh));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        return false;
    f.close();
    return std::rename(fresh.c_str(), file.c_str()) == 0;
}

// One client's requests: reads and writes of parameters, registers and the
// device id, one after the other, each waiting for its answer.
void drive(Link& link, double started, double until, unsigned seed)
{
    std::unique_ptr<pc::Endpoint> ep = link.open();
    std::mt19937 random(seed);
    for (unsigned i = 0; now() < until; ++i) {
        if (i > 0)
            ::usleep(20000); // about 50 requests a second per link
        Bytes request;
        switch (i % 4) {
        case 0: request = pc::readRam(kSoakBrightness, 16); break;
        case 1: request = pc::writeRam(kSoakBrightness + 2 * (random() % 8), {uint8_t(random() % 101), 0}); break;
        case 2: request = pc::readRegister(0, 32); break;
        default: request = pc::body(pc::kController, pc::kPc, 0xC0, {}); break;
        }
        ++link.asked;
        Bytes reply;
        const double sent = now();
        bool ok = ep->ok() && ep->send(request) && ep->receive(&reply, 2000);
        bool late = !ok && ep->ok() && ep->receive(&reply, 5000); // an answer after 2 s is late, not lost
        const int ms = int((now() - sent) * 1000);
        if ((ok || late) && !pc::replyData(request, reply).empty()) {
            ++(late ? link.late : link.answered);
            if (ms > link.slowestMs)
                link.slowestMs = ms;
            continue;
        }
        ++link.lost;
        char what[96];
        std::snprintf(what, sizeof what, "%.1f s after the start: command 0x%02X, %s", now() - started, request[9],
                      ok || late ? "a wrong answer" : "no answer within 7 s");
        link.losses.push_back(what);
        ep = link.open(); // a fresh start after a lost answer
    }
}

struct FileCheck {
    int modes = 0;
    int menuCopies = 0;
    int temporaries = 0;
    std::vector<std::string> broken;
};

FileCheck checkFiles(const std::string& root)
{
    FileCheck c;
    auto read = [](const QString& file, QByteArray* data) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        *data = f.readAll();
        return true;
    };
    const QString top = QString::fromStdString(root);
    QByteArray data;
    if (!read(top + "/data/ram_device_info", &data) || data.size() != 4096 || uchar(data[0]) != 0xAA
        || uchar(data[1]) != 0xAA)
        c.broken.push_back("/data/ram_device_info");
    for (int m = 1; m <= 16; ++m) {
        const QString mode = QString("/data/modes/custom_mode%1").arg(m);
        const QString copy = QString("/data/modes/MO%1.json").arg(m, 2, 16, QChar('0'));
        if (!QFile::exists(top + mode))
            continue;
        ++c.modes;
        if (!read(top + mode, &data) || data.size() != 4096 || uchar(data[0]) != 0xAA || uchar(data[1]) != 0xAA)
            c.broken.push_back(mode.toStdString());
        if (QFile::exists(top + copy)) {
            ++c.menuCopies;
            if (!read(top + copy, &data) || data != kMenu)
                c.broken.push_back(copy.toStdString());
        }
    }
    QSettings ini(top + "/data/configs/tcpip.ini", QSettings::IniFormat);
    if (ini.status() != QSettings::NoError || ini.allKeys().size() != 18)
        c.broken.push_back("/data/configs/tcpip.ini");
    for (const char* dir : {"/data", "/data/modes", "/data/configs"})
        c.temporaries += QDir(top + dir).entryList({".*.tmp"}, QDir::Files | QDir::Hidden).size();
    return c;
}

// Least-squares slope of (t, v), per hour.
double slopePerHour(const std::vector<std::pair<double, double>>& samples)
{
    double n = double(samples.size()), st = 0, sv = 0, stt = 0, stv = 0;
    for (auto [t, v] : samples) {
        st += t;
        sv += v;
        stt += t * t;
        stv += t * v;
    }
    double d = n * stt - st * st;
    return samples.size() < 2 || d == 0 ? 0 : (n * stv - st * sv) / d * 3600;
}

} // namespace

int soakMain(const Options& options)
{
    pc::faultReporter() = [](const std::string&) {}; // counted as lost instead
    Run run;
    run.options = options;
    run.scratch = freshDir("/tmp", "vyx-soak");
    std::string root = freshDir(run.scratch, "root");
    QDir().mkpath(QString::fromStdString(root + "/data/configs"));
    QDir().mkpath(QString::fromStdString(root + "/sim"));
    writeText(root + "/data/configs/omenu.json", kMenu);
    writeText(root + "/sim/sources", "1 1920x1080@60\n");

    int offset = 0;
    const double duration = options.soakMinutes * 60;
    std::printf("soak: %.1f min on %s\n", options.soakMinutes, root.c_str());
    std::fflush(stdout);
    double started = startApp(run, &run.app, &root, &offset, "");
    if (started < 0)
        return 1;
    std::printf("started, first PC answer after %.2f s\n", started);
    std::fflush(stdout);
    {
        pc::TcpClient setup(uint16_t(5005 + offset));
        if (setup.ask(pc::writeRam(kOsdOn, {1, 0})) != Bytes{0}) {
            std::fprintf(stderr, "the OSD could not be switched on\n");
            return 1;
        }
    }

    const uint16_t p = uint16_t(offset);
    Link links[] = {
        {"TCP control port", [p] { return std::make_unique<pc::TcpClient>(uint16_t(5005 + p)); }},
        {"TCP 10002", [p] { return std::make_unique<pc::TcpClient>(uint16_t(10002 + p)); }},
        {"UDP 5008", [p] { return std::make_unique<pc::UdpClient>(uint16_t(5008 + p)); }},
        {"UDP 10005", [p] { return std::make_unique<pc::UdpClient>(uint16_t(10005 + p)); }},
        {"serial (PC)", [root] { return std::make_unique<pc::SerialClient>(root + "/dev/ttyS2"); }},
        {"serial (4G modem)", [root] { return std::make_unique<pc::SerialClient>(root + "/dev/ttyS1"); }},
    };
    // The links open one after the other at the end of the start-up: the
    // load begins once each has answered (a datagram sent before its port
    // is open is refused, not lost).
    for (Link& l : links) {
        bool answered = false;
        for (double giveUp = now() + 30; !answered && now() < giveUp; ::usleep(50000)) {
            std::unique_ptr<pc::Endpoint> ep = l.open();
            Bytes reply;
            answered = ep->ok() && ep->send(pc::readRam(kSoakBrightness, 2)) && ep->receive(&reply, 500);
        }
        if (!answered) {
            std::fprintf(stderr, "%s never answered\n", l.name);
            return 1;
        }
    }

    const double t0 = now(), until = t0 + duration;
    std::vector<std::thread> load;
    unsigned seed = 1;
    for (Link& l : links)
        load.emplace_back(drive, std::ref(l), t0, until, seed++);

    // Every 3 s the sources change (which stores the parameters) and a PC
    // changes the brightness and applies it the way PC software does
    // (register 11: the scaler takes it and the saved user modes are
    // written again); every 6 s a user mode is saved at the next change.
    std::atomic<unsigned long> sourceChanges{0}, applied{0}, modeSaves{0};
    load.emplace_back([&] {
        static const char* const sources[] = {"1 1920x1080@60\n3 3840x2160@60\n", "1 1280x720@60\n3 none\n",
                                              "0 1920x1080@50\n1 none\n"};
        pc::TcpClient pc(uint16_t(10002 + p));
        for (unsigned i = 0; now() < until; ++i) {
            writeText(root + "/sim/sources", sources[i % 3]);
            ++sourceChanges;
            if (pc.ask(pc::writeRam(kSoakBrightness, {uint8_t(20 + i % 80), 0})) == Bytes{0}
                && pc.ask(pc::writeRegister(kRegApply, 0x01, 0x01)) == Bytes{0})
                ++applied;
            if (i % 2 == 0 && pc.ask(pc::writeRam(kModeSaveRequest, {uint8_t(1 + (i / 2) % 16), 0})) == Bytes{0})
                ++modeSaves;
            ::usleep(3000000);
        }
    });

    // Resident memory, once the start-up's work is over.
    const double warmUp = std::min(60.0, duration / 10);
    std::vector<std::pair<double, double>> rss;
    double lastReport = t0, cpuStart = cpuSeconds(run.app.pid()), cpuFrom = t0;
    bool cpuMarked = false;
    while (now() < until && run.app.running()) {
        ::usleep(1000000);
        double t = now() - t0;
        if (t >= warmUp) {
            if (!cpuMarked) {
                cpuStart = cpuSeconds(run.app.pid());
                cpuFrom = now();
                cpuMarked = true;
            }
            rss.emplace_back(t, rssKb(run.app.pid()) / 1024.0);
        }
        if (now() - lastReport >= 60) {
            lastReport = now();
            unsigned long answered = 0, lost = 0;
            for (Link& l : links) {
                answered += l.answered;
                lost += l.lost;
            }
            std::printf("  %4.1f min: resident %.1f MiB, %lu answers, %lu lost\n", t / 60,
                        rssKb(run.app.pid()) / 1024.0, answered, lost);
            std::fflush(stdout);
        }
    }
    for (std::thread& t : load)
        t.join();
    const bool alive = run.app.running();
    const double cpu = alive ? (cpuSeconds(run.app.pid()) - cpuStart) / (now() - cpuFrom) * 100 : 0;
    const int exitCode = run.app.stop(10000);

    std::printf("\nsoak of %.1f min\n", (now() - t0) / 60);
    unsigned long asked = 0, answered = 0, late = 0, lost = 0;
    for (Link& l : links) {
        std::printf("  %-18s %9lu asked %9lu answered %6lu late %6lu lost   slowest %5d ms\n", l.name,
                    l.asked.load(), l.answered.load(), l.late.load(), l.lost.load(), l.slowestMs.load());
        for (const std::string& what : l.losses)
            std::printf("      lost %s\n", what.c_str());
        asked += l.asked;
        answered += l.answered;
        late += l.late;
        lost += l.lost;
    }
    std::printf("  %-18s %9lu asked %9lu answered %6lu late %6lu lost\n", "all links", asked, answered, late, lost);
    std::printf("  source changes %lu, parameter changes applied %lu, user-mode saves asked %lu\n",
                sourceChanges.load(), applied.load(), modeSaves.load());
    if (!rss.empty()) {
        double low = rss.front().second, high = low;
        for (auto [t, v] : rss) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        std::printf("  resident memory: %.1f MiB at %.0f s (after start-up), %.1f MiB at the end; "
                    "low %.1f, high %.1f, trend %+.2f MiB/hour\n",
                    rss.front().second, rss.front().first, rss.back().second, low, high, slopePerHour(rss));
    }
    std::printf("  CPU under this load: %.1f %% of one core\n", cpu);
    std::printf("  stopped with SIGTERM: %s\n", exitCode == 0 ? "exit code 0" : "did not end cleanly");

    FileCheck files = checkFiles(root);
    std::printf("  files left whole: %s (parameter file, %d user modes, %d menu copies, tcpip.ini); "
                "temporaries left: %d\n",
                files.broken.empty() ? "yes" : "NO", files.modes, files.menuCopies, files.temporaries);
    for (const std::string& f : files.broken)
        std::printf("    broken: %s\n", f.c_str());
    const bool ok = alive && exitCode == 0 && lost == 0 && late == 0 && files.broken.empty();
    if (ok)
        removeTree(run.scratch);
    else
        std::printf("  kept for a look: %s\n", run.scratch.c_str());
    return ok ? 0 : 1;
}

} // namespace bench

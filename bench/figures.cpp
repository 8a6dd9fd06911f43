// The figures of bench/run. Each is measured against a reference measured
// in the same run, on the same machine at the same time, so that the ratio
// means something however busy the machine is.
//
// To add a figure: write a function that measures it (the running
// application is run.app, its root run.appRoot, its ports moved by
// run.portOffset; start references of your own as children) and add it to
// the table in figures() below. A figure of the simulated chips (SPI frames
// or ticks per parameter change) changes a parameter over the PC link and
// reads what the simulation recorded under run.appRoot.
#include "bench/bench.h"
#include "bench/pc_client.h"

#include <netinet/tcp.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

constexpr uint16_t kBrightness = 2176;
constexpr double kSettleSeconds = 15;

double seconds(double from) { return now() - from; }

// The round-trip times of `count` requests, sorted.
std::vector<double> roundTrips(int count, const std::function<bool()>& once)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        double t = now();
        if (!once())
            return {};
        times.push_back(seconds(t));
    }
    std::sort(times.begin(), times.end());
    return times;
}

double percentile(const std::vector<double>& sorted, double p)
{
    size_t at = size_t(std::min<double>(double(sorted.size() - 1), std::floor(p * double(sorted.size()))));
    return sorted[at];
}

bool ensureApp(Run& run)
{
    if (run.app.running())
        return true;
    return startApp(run, &run.app, &run.appRoot, &run.portOffset, "") >= 0;
}

bool ensureBare(Run& run) { return run.bare.running() || startBare(run, &run.bare) >= 0; }

bool startUp(Run& run, std::vector<Row>* rows)
{
    double bare = startBare(run, &run.bare);
    double app = startApp(run, &run.app, &run.appRoot, &run.portOffset, "");
    if (bare < 0 || app < 0)
        return false;
    rows->push_back({"start-up to first PC answer", app, "bare Qt window to first tick", bare, "s"});

    // The same without the fixed pauses of the start-up: what the code
    // itself takes.
    Child quick, quickBare;
    std::string root;
    int offset = 0;
    double quickApp = startApp(run, &quick, &root, &offset, "0");
    double quickRef = startBare(run, &quickBare);
    if (quickApp < 0 || quickRef < 0)
        return false;
    rows->push_back({"  the same, fixed pauses left out", quickApp, "bare Qt window to first tick", quickRef, "s"});
    return true;
}

bool roundTrip(Run& run, std::vector<Row>* rows)
{
    if (!ensureApp(run))
        return false;
    const Bytes write = pc::writeRam(kBrightness, {50, 0});
    pc::TcpClient pc(uint16_t(5005 + run.portOffset), 5000);
    for (int i = 0; i < 100; ++i) // warm up
        pc.ask(write);
    std::vector<double> app = roundTrips(run.options.roundTrips, [&] { return pc.ask(write) == Bytes{0}; });

    Child echo;
    std::string ready;
    if (!echo.start({run.options.self, "echo"}, {}, run.scratch + "/echo.log", true) || !echo.readLine(&ready, 5000)
        || ready.compare(0, 6, "ready ") != 0) {
        std::fprintf(stderr, "the echo server did not start\n");
        return false;
    }
    pc::TcpClient client(uint16_t(std::stoi(ready.substr(6))));
    const Bytes frame = pc::encode(write);
    auto echoOnce = [&] {
        if (!client.sendRaw(frame))
            return false;
        size_t got = 0;
        uint8_t buf[256];
        while (got < frame.size()) {
            ssize_t n = ::read(client.fd(), buf, sizeof buf);
            if (n <= 0)
                return false;
            got += size_t(n);
        }
        return true;
    };
    for (int i = 0; i < 100; ++i)
        echoOnce();
    std::vector<double> ref = roundTrips(run.options.roundTrips, echoOnce);
    if (app.empty() || ref.empty()) {
        std::fprintf(stderr, "a round trip went unanswered\n");
        return false;
    }
    rows->push_back({"PC write round trip (2 bytes, TCP), median", percentile(app, 0.5) * 1e6,
                     "minimal echo server, median", percentile(ref, 0.5) * 1e6, "us"});
    rows->push_back({"  99th percentile", percentile(app, 0.99) * 1e6, "echo server, 99th percentile",
                     percentile(ref, 0.99) * 1e6, "us"});
    return true;
}

bool idle(Run& run, std::vector<Row>* rows)
{
    if (!ensureApp(run) || !ensureBare(run))
        return false;
    // After the start-up's work (the scaler's and FPGA 0's bring-up) and
    // the last traffic.
    const double settled = run.appStarted + kSettleSeconds;
    ::usleep(useconds_t(std::max(1.0, settled - now()) * 1e6));
    const pid_t appPid = run.app.pid(), barePid = run.bare.pid();
    double t = now(), app = cpuSecondsFine(appPid), gui = cpuSecondsFine(appPid, appPid),
           bare = cpuSecondsFine(barePid);
    ::usleep(useconds_t(run.options.idleSeconds * 1e6));
    double span = seconds(t);
    const double bareShare = (cpuSecondsFine(barePid) - bare) / span * 100;
    rows->push_back({"idle CPU, whole process (% of one core)", (cpuSecondsFine(appPid) - app) / span * 100,
                     "bare Qt window with a 10 ms timer", bareShare, "%"});
    // The GUI thread alone: the main window shown over the standby screen and
    // the tick; the rest is the workers' upkeep.
    rows->push_back({"  GUI thread (panel shown, 10 ms tick)", (cpuSecondsFine(appPid, appPid) - gui) / span * 100,
                     "the same bare window", bareShare, "%"});
    rows->push_back({"resident memory", rssKb(run.app.pid()) / 1024.0, "the same bare window",
                     rssKb(run.bare.pid()) / 1024.0, "MiB"});
    return true;
}

} // namespace

const std::vector<Figure>& figures()
{
    static const std::vector<Figure> table = {
        {"start-up", startUp},
        {"round trip", roundTrip},
        {"idle CPU and memory", idle},
    };
    return table;
}

double startApp(Run& run, Child* app, std::string* root, int* portOffset, const std::string& pauseScale)
{
    if (root->empty())
        *root = freshDir(run.scratch, "root");
    *portOffset = pc::freePortOffset();
    Env env{{"QT_QPA_PLATFORM", "offscreen"}, {"VYX_PORT_OFFSET", std::to_string(*portOffset)}};
    if (!pauseScale.empty())
        env.push_back({"VYX_PAUSE_SCALE", pauseScale});
    const Bytes ask = pc::readRam(kBrightness, 2);
    double t = now();
    if (app == &run.app)
        run.appStarted = t;
    if (*portOffset < 0 || !app->start({run.options.app, "--root", *root}, env, *root + "-output.log")) {
        std::fprintf(stderr, "cannot start %s\n", run.options.app.c_str());
        return -1;
    }
    while (seconds(t) < 60 && app->running()) {
        pc::TcpClient pc(uint16_t(5005 + *portOffset), 0);
        Bytes reply;
        if (pc.ok() && pc.send(ask) && pc.receive(&reply, 2000))
            return seconds(t);
        ::usleep(2000);
    }
    std::fprintf(stderr, "%s did not answer (see %s-output.log)\n", run.options.app.c_str(), root->c_str());
    return -1;
}

double startBare(Run& run, Child* bare)
{
    std::string line;
    double t = now();
    if (!bare->start({run.options.self, "bare"}, {{"QT_QPA_PLATFORM", "offscreen"}}, run.scratch + "/bare.log", true)
        || !bare->readLine(&line, 10000) || line != "ready") {
        std::fprintf(stderr, "the bare window did not start\n");
        return -1;
    }
    return seconds(t);
}

namespace {
std::string shown(double v, const std::string& unit)
{
    char buf[64];
    if (unit == "s")
        std::snprintf(buf, sizeof buf, "%.3f s", v);
    else if (unit == "us")
        std::snprintf(buf, sizeof buf, "%.0f us", v);
    else if (unit == "%")
        std::snprintf(buf, sizeof buf, "%.2f %%", v);
    else
        std::snprintf(buf, sizeof buf, "%.1f %s", v, unit.c_str());
    return buf;
}
} // namespace

int figuresMain(const Options& options)
{
    Run run;
    run.options = options;
    run.scratch = freshDir("/tmp", "vyx-bench");
    std::printf("%-44s %12s   %-36s %12s %8s\n", "figure", "vyxQ58N", "reference (same run)", "", "ratio");
    int failed = 0;
    for (const Figure& f : figures()) {
        std::vector<Row> rows;
        if (!f.measure(run, &rows)) {
            std::printf("%-44s %12s\n", f.name, "(failed)");
            ++failed;
            continue;
        }
        for (const Row& r : rows) {
            char ratio[32] = "-";
            if (r.reference > 0)
                std::snprintf(ratio, sizeof ratio, "%.2f", r.value / r.reference);
            std::printf("%-44s %12s   %-36s %12s %8s\n", r.name.c_str(), shown(r.value, r.unit).c_str(),
                        r.referenceName.c_str(), shown(r.reference, r.unit).c_str(), ratio);
            std::fflush(stdout);
        }
    }
    run.app.stop();
    run.bare.stop();
    removeTree(run.scratch);
    return failed ? 1 : 0;
}

} // namespace bench

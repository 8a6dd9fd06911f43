// Figures of the scaler manager on the simulated board, each printed with a
// reference measured in the same run:
//   - a brightness change written by a PC client over TCP and applied with
//     register 11: the SPI frames the scaler sends for it, operation by
//     operation, and the ticks from the PC's write to the last of them, with
//     the simulated chip's own time in them apart (reference: the same
//     request with nothing changed, and a plain register read over the same
//     link);
//   - a window moved by a PC the same way (image 0's x): the frames of the
//     relayout it ends in, step by step, and the ticks to the last of them
//     (reference: the brightness change above), with the simulated chip
//     drawing the screen as it does in a simulated run;
//   - the scaler thread's CPU while idle at stage 8 (reference: a thread
//     paced by usleep(1), the pace the thread would otherwise have).
// Each request is sent with the thread at rest: the work bring-up left
// pending (the OSD's first drawing) and the save of the request before done.
// A picture is plugged on the input the window shows, so each turn's input
// upkeep measures its port as in a simulated run of the program.
#include <QApplication>
#include <QDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/shutdown.h"
#include "core/syncupdate.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/platform.h"
#include "platform/spi.h"
#include "remote/networkmanage.h"
#include "video_io/zevlosource.h"
#include "scaler/c331_manage.h"
#include "bench/pc_client.h"

namespace {

using Clock = std::chrono::steady_clock;

// The input (source) the default window shows.
constexpr int kShownInput = 1;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void pump(int ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
}

// Pumps events (the tick runs) until `done` or `ms` have passed.
template <class F>
bool pumpUntil(F done, int ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
    return true;
}

// Frames that reached the chip, split as the counters of the simulated chip
// tell them apart.
struct Frames {
    uint64_t all = 0, selects = 0, reads = 0;
    static Frames now()
    {
        const platform::SimScalerChip& chip = platform::simScaler();
        return Frames{chip.frames(), chip.bankSelects(), chip.readFrames()};
    }
    Frames operator-(const Frames& o) const { return Frames{all - o.all, selects - o.selects, reads - o.reads}; }
    Frames operator+(const Frames& o) const { return Frames{all + o.all, selects + o.selects, reads + o.reads}; }
    uint64_t writes() const { return all - selects - reads; }
    std::string text() const
    {
        char line[80];
        std::snprintf(line, sizeof line, "%5llu  (%llu bank selects, %llu reads, %llu writes)",
                      (unsigned long long)all, (unsigned long long)selects, (unsigned long long)reads,
                      (unsigned long long)writes());
        return line;
    }
};

// Stands between the bus and the simulated chip on the scaler's node: when
// the last frame came, and how long the chip model itself took over the
// frames (the screen it draws included) - time a real bus does not spend.
class FrameMeter : public platform::SimSpiDevice {
public:
    void transfer(const std::string& node, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz) override
    {
        const Clock::time_point start = Clock::now();
        platform::simScaler().transfer(node, tx, rx, len, speedHz);
        const Clock::time_point end = Clock::now();
        m_busyNs += uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
        m_lastTick = G_timeTicks.load();
        m_lastAt = end.time_since_epoch().count();
    }
    void reset() override { platform::simScaler().reset(); }

    uint64_t busyNs() const { return m_busyNs; }
    uint32_t lastTick() const { return m_lastTick; }
    Clock::time_point lastAt() const { return Clock::time_point(Clock::duration(m_lastAt.load())); }

private:
    std::atomic<uint64_t> m_busyNs{0};
    std::atomic<uint32_t> m_lastTick{0};
    std::atomic<Clock::rep> m_lastAt{0};
};

// The operations the scaler thread names as it calls them (its steps inside
// a relayout indented), with the frames sent by then.
struct Op {
    std::string name;
    Frames at;
    uint32_t tick;
    uint32_t turn;
};
std::mutex g_opsMutex;
std::vector<Op> g_ops;

void recordOps()
{
    c331_manage::op_hook = [](const std::string& name) {
        const uint32_t turn = c331_manage::p_c331_manage->turn_count.load();
        std::lock_guard<std::mutex> lock(g_opsMutex);
        g_ops.push_back(Op{name, Frames::now(), G_timeTicks.load(), turn});
    };
}

std::vector<Op> opsSince(size_t first)
{
    std::lock_guard<std::mutex> lock(g_opsMutex);
    return std::vector<Op>(g_ops.begin() + long(std::min(first, g_ops.size())), g_ops.end());
}

size_t opsSoFar()
{
    std::lock_guard<std::mutex> lock(g_opsMutex);
    return g_ops.size();
}

struct Result {
    Frames frames;
    uint32_t ticks = 0;     // from the PC's first write to the last frame
    uint32_t passTicks = 0; // from the PC's first write to the pass's first operation
    double ms = 0, busMs = 0;
    std::vector<std::pair<Op, Frames>> ops; // each with the frames up to the next
    bool ok = false;
};

FrameMeter g_meter;

// Waits until the scaler thread has nothing pending and has run a turn
// since, and the change signal of its last pass has been handled.
bool atRest()
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    auto idle = [scaler] {
        return scaler->para_changed == 0 && scaler->osd_update_pending == 0 && scaler->osd_set_pending == 0;
    };
    if (!pumpUntil(idle, 5000))
        return false;
    const uint32_t turn = scaler->turn_count;
    if (!pumpUntil([&] { return scaler->turn_count > turn + 1 && idle(); }, 5000))
        return false;
    pump(20);
    return true;
}

// Sends the requests from a client thread (the main thread keeps the tick
// running) and waits for the turn of the scaler's pass to end.
Result request(pc::TcpClient& client, const std::vector<Bytes>& frames)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    Result r;
    r.ok = atRest();
    const size_t op0 = opsSoFar();
    const uint32_t passes = scaler->pass_count;
    const Frames f0 = Frames::now();
    const uint64_t busy0 = g_meter.busyNs();
    std::atomic<uint32_t> sent{0};
    std::atomic<bool> answered{false};
    Clock::time_point sentAt;
    std::thread pcThread([&] {
        sentAt = Clock::now();
        sent = G_timeTicks.load();
        bool ok = true;
        for (const Bytes& f : frames)
            ok = ok && client.ask(f, 3000) == Bytes{0};
        answered = ok;
    });
    bool passed = pumpUntil([&] { return scaler->pass_count != passes; }, 5000);
    // The pass's turn ends with its input upkeep.
    uint32_t passTurn = 0;
    for (const Op& op : opsSince(op0))
        if (op.name.compare(0, 11, "test_signal") == 0)
            passTurn = op.turn;
    passed = passed && pumpUntil([&] { return scaler->turn_count > passTurn; }, 5000);
    pcThread.join();

    r.ok = r.ok && passed && answered;
    r.frames = Frames::now() - f0;
    const std::vector<Op> ops = opsSince(op0);
    for (size_t i = 0; i < ops.size(); ++i) {
        const Frames next = i + 1 < ops.size() ? ops[i + 1].at : f0 + r.frames;
        r.ops.push_back({ops[i], next - ops[i].at});
    }
    if (!ops.empty())
        r.passTicks = ops.front().tick - sent;
    if (r.frames.all > 0) {
        r.ticks = g_meter.lastTick() - sent;
        r.ms = msBetween(sentAt, g_meter.lastAt());
    }
    r.busMs = double(g_meter.busyNs() - busy0) / 1e6;
    return r;
}

// One line per operation that sent frames or belongs to the pass; the
// upkeep's operations that sent nothing are summed up in one line.
void printOps(const Result& r)
{
    int quiet = 0;
    for (const auto& op : r.ops) {
        const bool upkeep = op.first.name == "load_hdmi()" || op.first.name == "check_port_valid()" ||
                            op.first.name == "check_input_port()";
        if (upkeep && op.second.all == 0) {
            ++quiet;
            continue;
        }
        // A step that sent nothing (the output side of a window not shown).
        if (op.first.name.compare(0, 2, "  ") == 0 && op.second.all == 0)
            continue;
        std::printf("      %-44s %s\n", op.first.name.c_str(), op.second.text().c_str());
    }
    if (quiet)
        std::printf("      %-44s     0  (%d operation(s) of the input upkeep)\n",
                    "load_hdmi, check_port_valid, check_input_port", quiet);
}

void printTicks(const char* what, const Result& r)
{
    std::printf("  ticks from the PC's write to the last frame: %u  (%.1f ms; the pass began %u tick(s) after the "
                "write)\n",
                r.ticks, r.ms, r.passTicks);
    // A span of d ms lies within ceil(d / 10) ticks.
    const double own = std::max(0.0, r.ms - r.busMs);
    std::printf("    of which the simulated chip's own time (the model and the screen it draws%s): %.1f ms; "
                "without it: %.1f ms, within %d tick(s)\n",
                what, r.busMs, own, int(std::ceil(own / 10.0)));
}

uint32_t roundTrip(pc::TcpClient& client)
{
    std::atomic<uint32_t> sent{0}, back{0};
    std::atomic<bool> done{false};
    std::thread pcThread([&] {
        sent = G_timeTicks.load();
        client.ask(pc::readRegister(11, 1), 3000);
        back = G_timeTicks.load();
        done = true;
    });
    pumpUntil([&] { return done.load(); }, 5000);
    pcThread.join();
    return back - sent;
}

double threadCpuPercent(clockid_t clock, int ms)
{
    timespec a{}, b{};
    clock_gettime(clock, &a);
    pump(ms);
    clock_gettime(clock, &b);
    double used = double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    return 100.0 * used / ms;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/vyx-bench-XXXXXX";
    const char* root = mkdtemp(tmpl);
    if (!root)
        return 1;
    platform::initForTest(root);
    platform::setPauseScale(0);
    // Ports of its own, so it runs beside the tests and other instances.
    const int portOffset = pc::freePortOffset();
    if (portOffset < 0)
        return 1;
    platform::setPortOffset(portOffset);
    g_debugSwitch = 0; // quiet
    platform::simSpiBus().map();
    platform::simSpiBus().setJournalLimit(0);
    platform::simSpiBus().attach(platform::SimScalerChip::kNode, &g_meter);

    ConfigEngine::pInstance();
    VyxRamPara::pInstance();
    SyncUpdate::pInstance();
    QObject::connect(VyxRamPara::pInstance(), &VyxRamPara::sig_update_para, SyncUpdate::pInstance(),
                     &SyncUpdate::para_sync);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [] { ++G_timeTicks; });
    tick.start(10);

    // The chip draws the screen as in a simulated run of the program.
    platform::simScaler().setScreenLayoutSource([](platform::c331screen::ScreenLayout* layout) {
        uint8_t record[platform::c331screen::ScreenLayout::kPublishedBytes];
        copyShared(record, VyxRamPara::pInstance()->ram_para + ram::kSpliceMode, sizeof record);
        *layout = platform::c331screen::ScreenLayout::fromPublished(record);
        return true;
    });
    // A picture on the input the default window shows, as in a simulated
    // run with it plugged: the input upkeep measures its port every turn.
    {
        std::ofstream sources(platform::sysPath("/sim/sources"));
        sources << kShownInput << " 1920x1080@60\n";
    }
    fpga_manage::pInstance();
    zevlosource::pInstance()->initialize();
    c331_manage* scaler = c331_manage::pInstance();
    const int shownPort = scaler->vyxApi_inputCvtC331(kShownInput);
    if (!pumpUntil([&] { return scaler->setup_stage == 8 && scaler->PI_STATE[shownPort] != 0; }, 20000)) {
        std::printf("scaler bring-up did not finish, or the picture on input %d did not reach it\n", kShownInput);
        return 1;
    }
    recordOps();
    networkManage::pInstance();
    pc::TcpClient client(uint16_t(5005 + portOffset));
    if (!client.ok()) {
        std::printf("no TCP link on port %d\n", 5005 + portOffset);
        return 1;
    }

    const uint32_t link = roundTrip(client);
    const Result idle = request(client, {pc::writeRegister(11, 0x01, 0x01)});
    const Result bright = request(client, {pc::writeRam(2176, {30, 0}), pc::writeRegister(11, 0x01, 0x01)});

    std::printf("scaler: brightness 100 -> 30 written by a PC over TCP (image 2176), applied with register 11\n");
    std::printf("  SPI frames sent for it:          %s%s\n", bright.frames.text().c_str(), bright.ok ? "" : "  FAILED");
    printOps(bright);
    std::printf("    reference, the request with nothing changed: %s\n", idle.frames.text().c_str());
    printOps(idle);
    printTicks("", bright);
    std::printf("    reference, the same request with nothing changed: %u ticks (%.1f ms); a register read: %u "
                "ticks\n",
                idle.ticks, idle.ms, link);
    std::printf("  FPGA brightness flag raised: %s\n", fpga_manage::p_fpga_manage->bri_set_flag ? "yes" : "no");

    // One 960 x 540 window (set up first, not measured), then moved right.
    auto word = [](int v) { return Bytes{uint8_t(v), uint8_t(v >> 8)}; };
    const int rec = ram::imageRecord(0);
    Bytes record{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x03, 0x1C, 0x02};
    const Result setup = request(client, {pc::writeRam(uint32_t(rec), record), pc::writeRegister(11, 0x01, 0x01)});
    const uint64_t screens = platform::simScaler().screensWritten();
    const Result move = request(client, {pc::writeRam(uint32_t(rec + ram::kImgX), word(480)),
                                         pc::writeRegister(11, 0x01, 0x01)});
    std::printf("scaler: image 0 (960 x 540) moved from x 0 to 480 by a PC over TCP, applied with register 11\n");
    std::printf("  SPI frames sent for it:          %s%s\n", move.frames.text().c_str(),
                move.ok && setup.ok ? "" : "  FAILED");
    printOps(move);
    std::printf("    reference, the brightness change: %llu frames\n", (unsigned long long)bright.frames.all);
    char drawn[64];
    std::snprintf(drawn, sizeof drawn, ", %llu time(s) here",
                  (unsigned long long)(platform::simScaler().screensWritten() - screens));
    printTicks(drawn, move);
    std::printf("    reference, the brightness change: %u ticks (%.1f ms)\n", bright.ticks, bright.ms);
    platform::simScaler().setScreenLayoutSource(nullptr);
    const Result back = request(client, {pc::writeRam(uint32_t(rec + ram::kImgX), word(0)),
                                         pc::writeRegister(11, 0x01, 0x01)});
    std::printf("    reference, moved back with the screen not drawn: %llu frames, %u ticks (%.1f ms, the simulated "
                "chip's own %.1f ms)\n",
                (unsigned long long)back.frames.all, back.ticks, back.ms, back.busMs);

    clockid_t scalerClock;
    pthread_getcpuclockid(scaler->threadHandle(), &scalerClock);
    const double scalerCpu = threadCpuPercent(scalerClock, 2000);
    std::atomic<bool> stop{false};
    clockid_t refClock;
    std::thread reference([&] {
        while (!stop)
            usleep(1);
    });
    pthread_getcpuclockid(reference.native_handle(), &refClock);
    const double refCpu = threadCpuPercent(refClock, 2000);
    stop = true;
    reference.join();
    std::printf("scaler thread idle at stage 8: %.2f%% of a core over 2 s\n", scalerCpu);
    std::printf("    reference, a thread paced by usleep(1): %.2f%%\n", refCpu);

    c331_manage::op_hook = nullptr;
    stopAllForExit();
    platform::simSpiBus().attach(platform::SimScalerChip::kNode, &platform::simScaler());
    QDir(root).removeRecursively();
    return bright.ok && idle.ok && setup.ok && move.ok && back.ok ? 0 : 1;
}

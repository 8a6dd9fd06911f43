// Figures of the scaler manager on the simulated board, each printed with a
// reference measured in the same run:
//   - a brightness change written by a PC client over TCP and applied with
//     register 11: the SPI frames the scaler sends for it and the ticks from
//     the PC's write to the last of them (reference: the same request with
//     nothing changed, and a plain register read over the same link);
//   - a window moved by a PC the same way (image 0's x): the frames of the
//     relayout it ends in and the ticks to the last of them (reference: the
//     brightness change above, in the same run), with the simulated chip
//     drawing the screen as it does in a simulated run;
//   - the scaler thread's CPU while idle at stage 8 (reference: a thread
//     paced by usleep(1), the pace the thread would otherwise have).
#include <QApplication>
#include <QDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <unistd.h>

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
#include "scaler/c331_manage.h"
#include "bench/pc_client.h"

namespace {

void pump(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
}

// Pumps events (the tick runs) until `done` or `ms` have passed.
template <class F>
bool pumpUntil(F done, int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
    return true;
}

struct Result {
    uint64_t frames = 0, selects = 0, reads = 0;
    uint32_t ticks = 0;
    double ms = 0;
    bool ok = false;
};

// Sends the requests from a client thread (the main thread keeps the tick
// running) and waits for the scaler's pass; ticks from the first send to the
// end of the pass, frames during it.
Result request(pc::TcpClient& client, const std::vector<Bytes>& frames)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    platform::SimScalerChip& chip = platform::simScaler();
    Result r;
    const uint32_t passes = scaler->pass_count;
    const uint64_t f0 = chip.frames(), s0 = chip.bankSelects(), r0 = chip.readFrames();
    std::atomic<uint32_t> sent{0};
    std::atomic<bool> answered{false};
    std::chrono::steady_clock::time_point sentAt;
    std::thread pcThread([&] {
        sentAt = std::chrono::steady_clock::now();
        sent = G_timeTicks.load();
        bool ok = true;
        for (const Bytes& f : frames)
            ok = ok && client.ask(f, 3000) == Bytes{0};
        answered = ok;
    });
    bool passed = pumpUntil([&] { return scaler->pass_count != passes; }, 5000);
    const uint32_t end = G_timeTicks;
    const auto endAt = std::chrono::steady_clock::now();
    pcThread.join();
    r.ms = std::chrono::duration<double, std::milli>(endAt - sentAt).count();
    r.ok = passed && answered;
    r.ticks = end - sent;
    r.frames = chip.frames() - f0;
    r.selects = chip.bankSelects() - s0;
    r.reads = chip.readFrames() - r0;
    return r;
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
    fpga_manage::pInstance();
    c331_manage* scaler = c331_manage::pInstance();
    if (!pumpUntil([&] { return scaler->setup_stage == 8; }, 20000)) {
        std::printf("scaler bring-up did not finish\n");
        return 1;
    }
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
    std::printf("  SPI frames sent for it:           %4llu  (%llu bank selects, %llu reads, %llu writes)%s\n",
                (unsigned long long)bright.frames, (unsigned long long)bright.selects,
                (unsigned long long)bright.reads,
                (unsigned long long)(bright.frames - bright.selects - bright.reads), bright.ok ? "" : "  FAILED");
    std::printf("    reference, the request with nothing changed: %llu frames\n", (unsigned long long)idle.frames);
    std::printf("  ticks from the PC's write to the last frame: %u  (%.1f ms)\n", bright.ticks, bright.ms);
    std::printf("    reference, the same request with nothing changed: %u ticks (%.1f ms); a register read: %u ticks\n",
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
    std::printf("  SPI frames sent for it:           %4llu  (%llu bank selects, %llu reads, %llu writes)%s\n",
                (unsigned long long)move.frames, (unsigned long long)move.selects, (unsigned long long)move.reads,
                (unsigned long long)(move.frames - move.selects - move.reads), move.ok && setup.ok ? "" : "  FAILED");
    std::printf("    reference, the brightness change: %llu frames\n", (unsigned long long)bright.frames);
    std::printf("  ticks from the PC's write to the last frame: %u  (%.1f ms; the screen drawn %llu time(s))\n",
                move.ticks, move.ms, (unsigned long long)(platform::simScaler().screensWritten() - screens));
    std::printf("    reference, the brightness change: %u ticks (%.1f ms)\n", bright.ticks, bright.ms);
    platform::simScaler().setScreenLayoutSource(nullptr);
    const Result back = request(client, {pc::writeRam(uint32_t(rec + ram::kImgX), word(0)),
                                         pc::writeRegister(11, 0x01, 0x01)});
    std::printf("    reference, moved back with the screen not drawn: %llu frames, %u ticks (%.1f ms)\n",
                (unsigned long long)back.frames, back.ticks, back.ms);

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

    stopAllForExit();
    QDir(root).removeRecursively();
    return bright.ok && idle.ok && setup.ok && move.ok && back.ok ? 0 : 1;
}

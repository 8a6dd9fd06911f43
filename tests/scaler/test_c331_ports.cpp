// Input ports: which ports are measured, how a port is classified from its
// source's record and the chip's counters, when it is described again, what
// a lost signal does, the V-by-One receivers, source switches, backgrounds
// and the frame waits.
#include "tests/scaler/input_fixture.h"

using namespace ram;

namespace {
class Ports : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        noWindows();
    }
    // The records copied, then every used port measured.
    void check()
    {
        scaler->load_hdmi();
        scaler->check_input_port(fd);
    }
    int latches(uint64_t since) const
    {
        const auto w = chip().writes(0x002901, 0, since);
        return int(std::count(w.begin(), w.end(), 0x80u));
    }
    bool act(int p, _ImageWindowDef_st want) const
    {
        const _ImageWindowDef_st& a = scaler->PI_ACT[p];
        return a.hst == want.hst && a.hw == want.hw && a.vst == want.vst && a.vw == want.vw;
    }
};
} // namespace

TEST_F(Ports, ParallelPortsBySampleModeAndSyncPolarity)
{
    placeWindow(0, 0, 2); // source 0 enters port 2
    plug(0, progressive(1920, 1080, 60));
    check();
    EXPECT_EQ(scaler->PI_STATE[2], 4);
    EXPECT_EQ(scaler->PI_SCAN_MODE[2], 0);
    EXPECT_TRUE(act(2, {192, 1920, 41, 1080}));
    EXPECT_EQ(scaler->PI_UPDATE[2], 1);
    EXPECT_NEAR(scaler->PI_FV[2], 60.0, 0.01);
    EXPECT_EQ(chip().value(0x001802) & 0x100, 0u);
    EXPECT_EQ((chip().value(0x063804) >> 16) & 0xFF, 7u); // both syncs positive, port enabled

    // 2560 x 1440 at 60 Hz is beyond 165 MHz: two pixels a clock, the line halved.
    plug(0, progressive(2560, 1440, 60));
    check();
    EXPECT_EQ(scaler->PI_STATE[2], 3);
    EXPECT_TRUE(act(2, {56, 1280, scaler->PI_ACT_FULL[2].vst, 1440}));
    EXPECT_EQ(scaler->PI_ACT_FULL[2].hw, 2560);
    EXPECT_EQ(chip().value(0x001802) & 0x100, 0x100u);
    EXPECT_EQ((chip().value(0x063804) >> 16) & 0xFF, 6u); // reduced blanking: +hsync -vsync
    EXPECT_EQ(chip().value(0x063804) & 0xFF00FFFF, 0x07000707u); // the other ports' bytes kept
}

TEST_F(Ports, InterlacedClassesByFieldLinesAndRate)
{
    placeWindow(0, 0, 2);
    struct Case {
        VideoTiming t;
        int vtotal; // 0: the timing's own
        int state, scan;
    };
    const Case cases[] = {
        {interlaced(1920, 1080, 60), 0, 5, 1},   // 562 lines at 60 fields
        {interlaced(1920, 1080, 50), 0, 6, 1},   // 562 lines below 55 Hz
        {interlaced(720, 480, 60), 0, 7, 1},     // 262
        {interlaced(720, 480, 60), 263, 7, 1},
        {interlaced(720, 576, 50), 0, 8, 1},     // 312
        {interlaced(720, 576, 50), 313, 8, 1},
        {interlaced(1920, 1080, 60), 600, 4, 0}, // no class knows 600 lines: progressive
    };
    for (const Case& c : cases) {
        VideoTiming t = c.t;
        if (c.vtotal)
            t.vtotal = uint16_t(c.vtotal);
        SCOPED_TRACE(std::to_string(t.hact) + " x " + std::to_string(t.vtotal) + " lines");
        plug(0, t);
        check();
        EXPECT_EQ(scaler->PI_STATE[2], c.state);
        EXPECT_EQ(scaler->PI_SCAN_MODE[2], c.scan);
        EXPECT_EQ(scaler->PI_PORT_INFO[2].ip, c.scan);
        EXPECT_EQ(scaler->PI_ACT[2].vw, t.vact); // lines of a field
    }
}

TEST_F(Ports, VByOneClassesLanesAndLock)
{
    placeWindow(0, 0, 5); // source 3 enters port 5, receiver 1
    plug(3, progressive(1920, 1080, 60), 2);
    check();
    EXPECT_EQ(scaler->PI_STATE[5], 4);
    EXPECT_TRUE(act(5, {192, 1920, 41, 1080}));
    EXPECT_EQ(chip().value(0x026B01), 0xC0u);      // lane mask of two lanes
    EXPECT_EQ(chip().value(0x026801) & 0x08, 0u);  // 74.25 MHz a lane: the high range
    EXPECT_EQ(chip().value(0x002002), 1u);
    EXPECT_EQ(chip().value(0x003902) >> 8, 16u);
    EXPECT_EQ(chip().value(0x003902) & 0xFF, 2u);  // receiver 0's byte kept
    EXPECT_EQ(scaler->vbo_retry[1], 0);

    // 3840 x 2160 at 60 Hz over eight lanes: lines in halves.
    plug(3, progressive(3840, 2160, 60), 8);
    check();
    EXPECT_EQ(scaler->PI_STATE[5], 1);
    EXPECT_TRUE(act(5, {192, 1920, 82, 2160}));
    EXPECT_EQ(chip().value(0x026B01), 0xFFu);
    EXPECT_EQ(chip().value(0x002002), 0x404u);
    // Four lanes, or a line wider than 2176, also halve it.
    plug(3, progressive(1920, 1080, 60), 4);
    check();
    EXPECT_EQ(scaler->PI_STATE[5], 1);
    VideoTiming wide = progressive(1920, 1080, 60);
    wide.hact = 2200;
    plug(3, wide, 2);
    check();
    EXPECT_EQ(scaler->PI_STATE[5], 1);

    // The record names four lanes, only two are locked: each turn counts a
    // retry and sets the lanes up again; 29 wraps to 0.
    plug(3, progressive(1920, 1080, 60), 4);
    check();
    chip().setPortFeed(5, Feed(platform::SimScalerChip::feedOf(progressive(1920, 1080, 60), 2)));
    scaler->vbo_retry[1] = 27;
    uint64_t mark = chip().mark();
    check();
    EXPECT_EQ(scaler->vbo_retry[1], 28);
    EXPECT_EQ(chip().lastWrite(0x026B01, 0, mark), 0xF0u);
    check();
    check();
    EXPECT_EQ(scaler->vbo_retry[1], 0);
    chip().setPortFeed(5, Feed(platform::SimScalerChip::feedOf(progressive(1920, 1080, 60), 4)));
    scaler->vbo_retry[1] = 5;
    check();
    EXPECT_EQ(scaler->vbo_retry[1], 0);

    // No signal: the receiver is set up again on every turn.
    unplug(3);
    mark = chip().mark();
    check();
    check();
    EXPECT_EQ(scaler->PI_STATE[5], 0);
    EXPECT_EQ(chip().writes(0x026B01, 0, mark), (std::vector<uint32_t>{0x80, 0x80}));
}

TEST_F(Ports, SmallDriftLeavesAPortAloneAndALossResetsIt)
{
    placeWindow(0, 0, 2);
    const VideoTiming t = progressive(1920, 1080, 60);
    plug(0, t);
    check();
    ASSERT_EQ(scaler->PI_UPDATE[2], 1);
    scaler->g_chg_input[0] = 0; // as the relayout leaves it
    const Counters base = platform::SimScalerChip::countersOf(platform::SimScalerChip::feedOf(t, 0));
    EXPECT_EQ(base.fvm, 3333332u); // 60 Hz on the 200 MHz clock

    auto after = [&](Counters c) {
        chip().setPortCounters(2, c);
        const uint64_t mark = chip().mark();
        scaler->check_input_port(fd);
        return std::make_pair(scaler->PI_UPDATE[2], chip().writes(0x001802, 0, mark).size());
    };
    Counters c = base;
    EXPECT_EQ(after(c), std::make_pair(0, size_t(0))); // the same again
    c.htt += 2;
    c.vtt += 2;
    c.fhw += 100;
    c.fvm += 100;
    EXPECT_EQ(after(c).first, 0);
    c.hw += 1; // one pixel more
    EXPECT_EQ(after(c), std::make_pair(1, size_t(1)));
    c.htt += 3;
    EXPECT_EQ(after(c).first, 1);

    // Lost: the window shows its background, the port is reset.
    c.htt = 0xFFFE;
    const uint64_t mark = chip().mark();
    EXPECT_EQ(after(c).first, 1);
    EXPECT_EQ(scaler->PI_STATE[2], 0);
    EXPECT_TRUE(act(2, {16, 0, 16, 0}));
    EXPECT_EQ(scaler->PI_FV[2], 0.0);
    EXPECT_EQ(chip().lastWrite(0x084801, 0, mark), 1u);
    EXPECT_EQ(chip().value(0x001802) & 0x100, 0u);
    // Still lost: nothing changes any more.
    EXPECT_EQ(after(c), std::make_pair(0, size_t(0)));

    // Counters running but the record says no signal: no signal.
    chip().setPortCounters(2, base);
    scaler->check_input_port(fd);
    ASSERT_EQ(scaler->PI_STATE[2], 4);
    sources->clear_hdminfo(0);
    check();
    EXPECT_EQ(scaler->PI_STATE[2], 0);
}

TEST_F(Ports, ARecordThatChangedWhileNoWindowShowedThePortIsTakenLater)
{
    placeWindow(0, 0, 2);
    plug(0, progressive(1920, 1080, 60));
    check();
    scaler->g_chg_input[0] = 0;
    // The source changes: the counters move before the receiver's record
    // does, and the port is described from the old record.
    chip().setPortFeed(2, platform::SimScalerChip::feedOf(progressive(1280, 720, 60), 0));
    scaler->check_input_port(fd);
    EXPECT_EQ(scaler->PI_ACT[2].hw, 1920);
    // The record follows while no window shows the port.
    scaler->PM_INPUT[0] = 6;
    sources->write_hdminfo(0, sourceRecord(0, progressive(1280, 720, 60), 0));
    check();
    // Shown again: described from the new record though its counters stood.
    scaler->PM_INPUT[0] = 2;
    scaler->check_input_port(fd);
    EXPECT_EQ(scaler->PI_ACT[2].hw, 1280);
    EXPECT_EQ(scaler->PI_UPDATE[2], 1);
    scaler->check_input_port(fd);
    EXPECT_EQ(scaler->PI_UPDATE[2], 0);
}

TEST_F(Ports, OnlyUsedWiredPortsWithAStableRecordAreMeasured)
{
    for (int s = 0; s < 4; ++s)
        plug(s, progressive(1920, 1080, 60));
    scaler->load_hdmi();
    // Ports 3 and 4 have no source; no window uses the others.
    placeWindow(0, 0, 3);
    placeWindow(1, 1, 4);
    uint64_t mark = chip().mark();
    scaler->check_input_port(fd);
    EXPECT_EQ(latches(mark), 0);
    for (int p = 0; p < 6; ++p)
        EXPECT_EQ(scaler->PI_STATE[p], 0) << p;

    // A record still being filled in is not looked at.
    placeWindow(2, 2, 1);
    {
        QMutexLocker lock(&Utils::_source_hdminfo_mutex);
        sources->hdminfo[1].stable = 0;
    }
    mark = chip().mark();
    scaler->check_input_port(fd);
    EXPECT_EQ(latches(mark), 0);

    // A source switch measures the new port at once.
    scaler->c331_SetInputsource(0, 0);
    EXPECT_EQ(scaler->PM_INPUT[0], 2);
    EXPECT_EQ(scaler->pwinfo[0].input, 0);
    EXPECT_EQ(scaler->PI_STATE[2], 4);
    // Refused: a window not shown, a source without a port. Source ids
    // count modulo 6.
    scaler->c331_SetInputsource(3, 1);
    EXPECT_EQ(scaler->PM_INPUT[3], 6);
    scaler->c331_SetInputsource(0, 4);
    EXPECT_EQ(scaler->PM_INPUT[0], 2);
    scaler->c331_SetInputsource(0, 7);
    EXPECT_EQ(scaler->PM_INPUT[0], 1);
}

TEST_F(Ports, BackgroundsOfWindowsWithoutPicture)
{
    placeWindow(0, 0, 2);
    placeWindow(1, 1, 2);
    scaler->PM_WIN_DBD_MODE[1] = DBD_SINGLE_INPUT;
    placeWindow(2, 2, 1);
    for (int w = 0; w < 3; ++w)
        scaler->win_ich[w][0] = w;
    auto bkg = [&](int k) { return chip().value(0x084801, 16 * k); };
    auto colour = [&](int k) { return chip().value(0x084903, 16 * k); };

    uint64_t mark = chip().mark();
    scaler->set_input_bkg(fd, 2, 1);
    EXPECT_EQ(bkg(0), 1u);
    EXPECT_EQ(bkg(1), 0u); // dot by dot: never
    EXPECT_TRUE(chip().writes(0x084801, 32, mark).empty()); // window 2 is on another port
    EXPECT_EQ(chip().writes(0x002201, 0, mark), (std::vector<uint32_t>{0xFF, 0x99})); // in one hold
    g_force_bkcolor = 1;
    scaler->set_input_bkg(fd, 2, 0);
    EXPECT_EQ(bkg(1), 1u); // forced colour wins here
    EXPECT_EQ(colour(1), 0x00FF00u);

    // set_input_bkg2: the dot-by-dot rule comes after the forced colour,
    // black after both.
    scaler->set_input_bkg2(fd, 1, 0);
    EXPECT_EQ(bkg(1), 0u);
    scaler->pwinfo[1].output = 1;
    scaler->set_input_bkg2(fd, 1, 0);
    EXPECT_EQ(bkg(1), 1u);
    g_force_bkcolor = 2;
    scaler->PI_STATE[2] = 4;
    scaler->set_input_bkg2(fd, 0, 0);
    EXPECT_EQ(bkg(0), 0u);
    EXPECT_EQ(colour(0), 0u);
    scaler->PI_STATE[2] = 0;
    scaler->pattern_active = 1; // the pattern is the picture
    scaler->set_input_bkg2(fd, 0, 0);
    EXPECT_EQ(bkg(0), 0u);
    scaler->set_input_bkg2(fd, 0, 1);
    EXPECT_EQ(bkg(0), 1u);
    // Without an input channel a window has no picture of its own.
    scaler->pattern_active = 0;
    scaler->PI_STATE[2] = 4;
    scaler->win_ich[0][0] = -1;
    scaler->set_input_bkg2(fd, 0, 0);
    EXPECT_EQ(bkg(0), 1u);
    // A window on no output channel: nothing written.
    scaler->win_loaded[4] = 1;
    scaler->PM_INPUT[4] = 6;
    mark = chip().mark();
    scaler->set_input_bkg2(fd, 4, 1);
    EXPECT_TRUE(chip().journal(mark).empty());
}

TEST_F(Ports, FrameAndFieldWaitsAreBounded)
{
    placeWindow(0, 0, 2);
    placeWindow(1, 1, 1);
    scaler->win_ich[0][0] = 0;
    scaler->win_ich[1][0] = 3;
    scaler->PI_FV[2] = 60.0;
    scaler->PI_FV[1] = 50.0;
    scaler->g_chg_input[0] = scaler->g_chg_input[1] = 1;
    // The slowest port's window waits on its first channel.
    uint64_t mark = chip().mark();
    scaler->wait1_pivs2(fd);
    EXPECT_EQ(chip().writes(0x050801, 0, mark), (std::vector<uint32_t>{1u << 3, 0}));
    // Nothing changed: no input frame is waited for.
    scaler->g_chg_input[0] = scaler->g_chg_input[1] = 0;
    mark = chip().mark();
    scaler->wait1_pivs2(fd);
    EXPECT_TRUE(chip().writes(0x050801, 0, mark).empty());

    // Without syncs every wait gives up after its polls.
    chip().setStuckBusy(true);
    const uint64_t reads = chip().readFrames();
    scaler->wait1_pivs(fd, 2);
    EXPECT_LE(chip().readFrames() - reads, 2u * 46u);
    EXPECT_EQ(scaler->wait_ifld_change(fd, 2), 1); // never changed: the last plus one
    EXPECT_EQ(scaler->wait_ofld_change(fd, 9), 0);
    EXPECT_EQ(scaler->wait_ifld_change(fd, 6), 0);
    chip().set(0xAB4B01, 2 << 2); // port 4 reads input channel 4's field number
    EXPECT_EQ(scaler->wait_ifld_change(fd, 4), 3);
}

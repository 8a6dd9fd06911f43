// Source detection: what a plugged or unplugged source does to the timing
// records, the image, the change signal and the online flag.
#include "video_fixture.h"

#include <QThread>
#include <algorithm>
#include <cstring>

TEST_F(VideoTest, SourceOneAt1080p60IsPublishedAndUnpluggingClearsIt)
{
    zevlosource* z = start();
    ASSERT_TRUE(plug(1, 1920, 1080, 60)); // image bytes 262..267
    EXPECT_TRUE(waitFor([&] { return signals12 >= 1; }));
    EXPECT_EQ(g_source_online.load(), 2);
    HDMI_INFO rec = z->get_hdminfo(1);
    EXPECT_EQ(rec.stable, 1u);
    EXPECT_EQ(rec.nosignal, 0u);
    EXPECT_EQ(rec.Htotal, 2200u);
    EXPECT_EQ(rec.Vtotal, 1125u);
    EXPECT_FLOAT_EQ(rec.pfreq, 148.5f);
    EXPECT_TRUE(simI2c().videoOut(1));
    EXPECT_TRUE(inputTimingIs(0, 0, 0, 0) && inputTimingIs(2, 0, 0, 0)); // the others stay empty

    int before = signals12;
    videoSources().unplug(1);
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(1, 0, 0, 0); }));
    EXPECT_TRUE(waitFor([&] { return signals12 > before; }));
    // A whole no-signal record, stable so that the scaler takes the loss over.
    HDMI_INFO none{};
    none.nosignal = none.stable = 1;
    rec = z->get_hdminfo(1);
    EXPECT_EQ(std::memcmp(&rec, &none, sizeof rec), 0);
    EXPECT_EQ(g_source_online.load(), 0);
    EXPECT_FALSE(simI2c().videoOut(1));
}

TEST_F(VideoTest, TheHdmi20InputCarries2160p60OverEightVByOneLanesWhereHdmi14CannotLock)
{
    zevlosource* z = start();
    videoSources().set(0, timing(3840, 2160, 60));
    ASSERT_TRUE(plug(3, 3840, 2160, 60));
    HDMI_INFO rec = z->get_hdminfo(3);
    EXPECT_EQ(rec.type, 1u);
    EXPECT_EQ(rec.lane, 8u);
    EXPECT_EQ(simI2c().vboLanes(), 8);
    EXPECT_FLOAT_EQ(rec.pfreq, 594.0f);
    // 594 MHz is beyond an HDMI 1.4 receiver: input 0, looked at in the
    // same pass, shows no signal.
    EXPECT_TRUE(inputTimingIs(0, 0, 0, 0));
    EXPECT_EQ(z->get_hdminfo(0).nosignal, 1u);

    // A mode change without unplugging is seen too.
    ASSERT_TRUE(plug(3, 1920, 1080, 60));
    EXPECT_EQ(z->get_hdminfo(3).lane, 2u);
}

TEST_F(VideoTest, ThePersonsSourcesFileIsRereadForTheInputsTheMaskWatches)
{
    g_check_source = 0x0D; // input 1 off
    start();
    writeFile("/sim/sources", "# bench\n2 1280x720@60\n3 bogus\n1 1920x1080@60\n");
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(2, 1280, 720, 60); }));
    EXPECT_TRUE(inputTimingIs(3, 0, 0, 0));
    writeFile("/sim/sources", "2 none\n0 1920x1080@50\n");
    // Input 0 is looked at in the same pass as input 1 would be.
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(0, 1920, 1080, 50); }));
    EXPECT_TRUE(waitFor([&] { return inputTimingIs(2, 0, 0, 0); }));
    EXPECT_TRUE(inputTimingIs(1, 0, 0, 0));
}

TEST_F(VideoTest, AHotPlugRequestPullsTheLineLowForTenTicks)
{
    zevlosource* z = start();
    for (int input : {0, 3}) {
        SCOPED_TRACE(input);
        uint8_t bit = uint8_t(1u << input);
        ASSERT_TRUE(plug(input, 1920, 1080, 60));
        G_timeTicks = 500;
        raiseReg(0, bit);
        ASSERT_TRUE(waitFor([&] { return !simI2c().hpd(input); }));
        G_timeTicks = 509;
        finishTurn(z);
        EXPECT_FALSE(simI2c().hpd(input));
        G_timeTicks = 510;
        ASSERT_TRUE(waitFor([&] { return simI2c().hpd(input); }));
        EXPECT_TRUE(waitFor([&] { return (reg(0) & bit) == 0; }));
        EXPECT_TRUE(waitFor([&] { return inputTimingIs(input, 1920, 1080, 60); }));
    }
}

TEST_F(VideoTest, AReinitialisationRequestResetsTheReceiverAndReadsItAgain)
{
    start();
    ASSERT_TRUE(plug(2, 1920, 1080, 60));
    simI2c().clearRecords();
    raiseReg(0, 0x40);
    ASSERT_TRUE(waitFor([&] { return (reg(0) & 0x40) == 0; }));
    std::vector<platform::SimI2c::Record> log = simI2c().records();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const platform::SimI2c::Record& r) {
        return r.addr == vbus::kIt6602 && !r.read && r.data.size() == 2 && r.data[0] == vbus::kRxReset &&
               r.mux[0] == 0x04 && r.mux[1] == 0;
    }));
    EXPECT_TRUE(waitFor([&] { return simI2c().videoOut(2); }));
    // Published again on the manager's next look at the receiver, which may
    // come after the video output is back on.
    EXPECT_TRUE(waitFor([&] { return inputTimingIs(2, 1920, 1080, 60); }));
}

TEST_F(VideoTest, TheVideoLinksComeUpOnceTheClockSynthesizerAnswers)
{
    simI2c().setPresent(platform::SimI2c::ClockSynth, false);
    G_timeTicks = 1000;
    zevlosource* z = start();
    ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 1; }));
    simI2c().setPresent(platform::SimI2c::ClockSynth, true);
    G_timeTicks = 1100; // the retry waits a second
    EXPECT_TRUE(waitFor([&] { return z->setup_state[0] == 2 && z->setup_state[1] == 2; }));
}

TEST_F(VideoTest, TheStatusRegistersTellWhichChipsAnswered)
{
    // The bits that are not the drivers' keep the store's initial values
    // (r37 0x80, r38 bit 4, r39 bit 0 and up).
    for (bool allThere : {false, true}) {
        SCOPED_TRACE(allThere);
        destroySingletonsForTest();
        simI2c().reset();
        store = VyxRamPara::pInstance();
        if (!allThere) {
            simI2c().setPresent(platform::SimI2c::Eeprom2, false);
            simI2c().setPresent(platform::SimI2c::Mux20, false);
        }
        zevlosource* z = start();
        ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 2; }));
        // Without them: EDID memory 2 is missing, 3 and the SDI path sit
        // behind the missing multiplexer.
        EXPECT_EQ(reg(38), allThere ? 0x7F : 0x20 | 0x10 | 0x03);
        EXPECT_EQ(reg(37), allThere ? 0x82 : 0x80);
        EXPECT_EQ(reg(39), allThere ? 0x07 : 0x03);
    }
}

TEST_F(VideoTest, StoppingTheManagerJoinsItsThreadPromptly)
{
    start();
    ASSERT_TRUE(plug(0, 1920, 1080, 60));
    zevlosource::destroyForTest();
    uint64_t after = simI2c().messageCount();
    QThread::msleep(30);
    EXPECT_EQ(simI2c().messageCount(), after);
}

TEST_F(VideoTest, EveryVideoStateChangeIsAnnouncedNotOnlyANewSize)
{
    zevlosource* z = start();
    ASSERT_TRUE(plug(0, 1920, 1080, 60));
    // Sync polarity alone: the size and rate in the image stay.
    VideoTiming t = timing(1920, 1080, 60);
    t.hpol = 0;
    int before = signals12;
    videoSources().set(0, t);
    ASSERT_TRUE(waitFor([&] { return z->get_hdminfo(0).Hpol == 0; }));
    EXPECT_TRUE(waitFor([&] { return signals12 > before; }));
    EXPECT_TRUE(inputTimingIs(0, 1920, 1080, 60));

    // Unplugged and plugged again with the same timing between two looks
    // of the receiver.
    finishTurn(z);
    pumpEvents(50);
    before = signals12;
    videoSources().unplug(0);
    videoSources().set(0, t);
    EXPECT_TRUE(waitFor([&] { return signals12 > before; }));
    EXPECT_TRUE(inputTimingIs(0, 1920, 1080, 60));

    // Interlaced: the record holds fields, the image the picture's lines.
    VideoTiming i;
    ASSERT_TRUE(interlacedTiming(1920, 1080, 60, &i));
    videoSources().set(2, i);
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(2, 1920, 1080, 60); }));
    HDMI_INFO rec = z->get_hdminfo(2);
    EXPECT_EQ(rec.ip, 1u);
    EXPECT_EQ(rec.Vact, 540u);
    EXPECT_EQ(rec.Vtotal, 562u);

    // A source that sends nothing the receiver can lock to is no change.
    finishTurn(z);
    pumpEvents(50);
    VideoTiming fast = timing(3840, 2160, 60); // beyond an HDMI 1.4 receiver
    videoSources().set(1, fast);
    finishTurn(z);
    finishTurn(z);
    before = signals12;
    videoSources().set(1, timing(4096, 2160, 50));
    finishTurn(z);
    finishTurn(z);
    pumpEvents(50);
    EXPECT_EQ(signals12, before);
}

TEST(SourcesFile, EveryTimingTheScalerTellsApartCanBeWritten)
{
    struct Case {
        const char* line;
        int input;
        bool signal;
        int hact, vact, vtotal, interlaced, hpol, vpol;
    };
    const Case good[] = {
        {"2 1920x1080i@60", 2, true, 1920, 540, 562, 1, 1, 1},
        {"2 1920x1080i@50", 2, true, 1920, 540, 562, 1, 1, 1},
        {"1 720x480i@60", 1, true, 720, 240, 262, 1, 0, 0},
        {"0 720x576i@50 +hsync", 0, true, 720, 288, 312, 1, 1, 0},
        {"3 4096x2160@60", 3, true, 4096, 2160, 2250, 0, 1, 1},
        {"3 3840x2160@30 -vsync # a comment", 3, true, 3840, 2160, 2250, 0, 1, 0},
        {"0 1920x1080@60 -hsync -vsync", 0, true, 1920, 1080, 1125, 0, 0, 0},
        {"1 2560x1440@60", 1, true, 2560, 1440, 0, 0, 1, 0},
        {"3 none", 3, false, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : good) {
        int input = -1;
        bool signal = false;
        VideoTiming t;
        std::string why;
        ASSERT_TRUE(platform::parseSourceLine(c.line, &input, &signal, &t, &why)) << c.line << ": " << why;
        EXPECT_EQ(input, c.input);
        EXPECT_EQ(signal, c.signal);
        if (!signal)
            continue;
        EXPECT_EQ(t.hact, c.hact) << c.line;
        EXPECT_EQ(t.vact, c.vact) << c.line;
        if (c.vtotal) {
            EXPECT_EQ(t.vtotal, c.vtotal) << c.line;
        }
        EXPECT_EQ(t.interlaced, c.interlaced) << c.line;
        EXPECT_EQ(t.hpol, c.hpol) << c.line;
        EXPECT_EQ(t.vpol, c.vpol) << c.line;
    }
    // 2560 x 1440 at 60 Hz runs above 165 MHz: the receiver's DDR mode.
    VideoTiming t;
    ASSERT_TRUE(parseTimingText("2560x1440@60", &t));
    EXPECT_GT(t.pclkKHz, 165000u);

    for (const char* bad : {"4 1920x1080@60", "2", "2 1920x1080", "2 1280x720i@60", "2 1920x1080@60 +csync",
                            "2 none -hsync", "x none", "2 4097x2160@60"}) {
        int input = -1;
        bool signal = false;
        std::string why;
        EXPECT_FALSE(platform::parseSourceLine(bad, &input, &signal, &t, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    std::string why;
    int input = 0;
    bool signal = false;
    for (const char* skipped : {"", "   ", "# 2 none"}) {
        EXPECT_FALSE(platform::parseSourceLine(skipped, &input, &signal, &t, &why));
        EXPECT_TRUE(why.empty());
    }
}

TEST_F(VideoTest, ALineOfTheSourcesFileThatCannotBeReadIsNamed)
{
    start();
    writeFile("/sim/sources", "0 1920x1080@60\n2 1920x1080@61x\n1 1280x720i@60\n");
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(0, 1920, 1080, 60); }));
    ASSERT_TRUE(waitFor([&] { return exists("/sim/sources.errors"); }));
    const QByteArray errors = readFile("/sim/sources.errors");
    EXPECT_TRUE(errors.startsWith("line 2: 2 1920x1080@61x: ")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("line 3: 1 1280x720i@60: ")) << errors.toStdString();
    EXPECT_TRUE(inputTimingIs(2, 0, 0, 0));
    writeFile("/sim/sources", "0 1920x1080@60\n2 1920x1080@60\n");
    EXPECT_TRUE(waitFor([&] { return !exists("/sim/sources.errors"); }));
    EXPECT_TRUE(waitFor([&] { return inputTimingIs(2, 1920, 1080, 60); }));
}

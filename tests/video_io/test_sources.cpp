// Source detection: what a plugged or unplugged source does to the timing
// records, the image, the change signal and the online flag.
#include "video_fixture.h"

#include <QThread>

TEST_F(VideoTest, SourceOneAt1080p60IsPublishedAndUnpluggingClearsIt)
{
    zevlosource* z = start();
    platform::videoSources().set(1, timing(1920, 1080, 60));
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(1, 1920, 1080, 60); }));
    // Image bytes 262..267 exactly.
    EXPECT_EQ(image16(262), 1920);
    EXPECT_EQ(image16(264), 1080);
    EXPECT_EQ(image16(266), 60);
    EXPECT_TRUE(waitFor([&] { return signals12 >= 1; }));
    EXPECT_EQ(g_source_online.load(), 2);

    HDMI_INFO rec = z->get_hdminfo(1);
    EXPECT_EQ(rec.stable, 1u);
    EXPECT_EQ(rec.nosignal, 0u);
    EXPECT_EQ(rec.Hact, 1920u);
    EXPECT_EQ(rec.Htotal, 2200u);
    EXPECT_EQ(rec.Hsync, 44u);
    EXPECT_EQ(rec.Hback, 148u);
    EXPECT_EQ(rec.Vact, 1080u);
    EXPECT_EQ(rec.Vtotal, 1125u);
    EXPECT_FLOAT_EQ(rec.pfreq, 148.5f);
    EXPECT_EQ(rec.type, 0u);
    EXPECT_EQ(rec.datamode, 0u);
    EXPECT_TRUE(platform::simI2c().videoOut(1));
    // The other inputs stay empty.
    EXPECT_TRUE(inputTimingIs(0, 0, 0, 0));
    EXPECT_TRUE(inputTimingIs(2, 0, 0, 0));

    int before = signals12;
    platform::videoSources().unplug(1);
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(1, 0, 0, 0); }));
    EXPECT_TRUE(waitFor([&] { return signals12 > before; }));
    rec = z->get_hdminfo(1);
    EXPECT_EQ(rec.nosignal, 1u);
    EXPECT_EQ(rec.stable, 1u); // so the scaler takes the loss over
    EXPECT_EQ(rec.Hact, 0u);
    EXPECT_EQ(rec.Vtotal, 0u);
    EXPECT_EQ(rec.pfreq, 0.0f);
    EXPECT_EQ(g_source_online.load(), 0);
    EXPECT_FALSE(platform::simI2c().videoOut(1));
}

TEST_F(VideoTest, TheHdmi20InputCarries2160p60OverEightVByOneLanesWhereHdmi14CannotLock)
{
    zevlosource* z = start();
    platform::videoSources().set(3, timing(3840, 2160, 60));
    platform::videoSources().set(0, timing(3840, 2160, 60));
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(3, 3840, 2160, 60); }));
    HDMI_INFO rec = z->get_hdminfo(3);
    EXPECT_EQ(rec.type, 1u);
    EXPECT_EQ(rec.lane, 8u);
    EXPECT_EQ(platform::simI2c().vboLanes(), 8);
    EXPECT_EQ(rec.Htotal, 4400u);
    EXPECT_EQ(rec.Vtotal, 2250u);
    EXPECT_FLOAT_EQ(rec.pfreq, 594.0f);
    // 594 MHz is beyond an HDMI 1.4 receiver: input 0, looked at in the
    // same pass, shows no signal.
    EXPECT_TRUE(inputTimingIs(0, 0, 0, 0));
    EXPECT_EQ(z->get_hdminfo(0).nosignal, 1u);

    // A mode change without unplugging is seen too.
    platform::videoSources().set(3, timing(1920, 1080, 60));
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(3, 1920, 1080, 60); }));
    EXPECT_EQ(z->get_hdminfo(3).lane, 2u);
}

TEST_F(VideoTest, ThePersonsSourcesFileIsRereadWhileRunning)
{
    start();
    writeFile("/sim/sources", "# bench\n2 1280x720@60\n3 bogus\n");
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(2, 1280, 720, 60); }));
    EXPECT_TRUE(inputTimingIs(3, 0, 0, 0));
    writeFile("/sim/sources", "2 none\n0 1920x1080@50\n");
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(0, 1920, 1080, 50); }));
    EXPECT_TRUE(waitFor([&] { return inputTimingIs(2, 0, 0, 0); }));
}

TEST_F(VideoTest, AMissingSourcesFileBecomesATemplateThatChangesNothing)
{
    platform::videoSources().set(1, timing(1920, 1080, 60));
    platform::videoSources().pollFile();
    QByteArray text = readFile("/sim/sources");
    EXPECT_TRUE(text.contains("1 1920x1080@60"));
    QThread::msleep(60); // the file is looked at every 50 ms at most
    platform::videoSources().pollFile();
    EXPECT_TRUE(platform::videoSources().get(1).signal);
}

TEST_F(VideoTest, InputsOutsideTheSourceCheckMaskAreNotWatched)
{
    g_check_source = 0x0D; // input 1 off
    start();
    platform::videoSources().set(1, timing(1920, 1080, 60));
    platform::videoSources().set(0, timing(1280, 720, 60));
    // Input 0 is looked at in the same pass as input 1 would be.
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(0, 1280, 720, 60); }));
    EXPECT_TRUE(inputTimingIs(1, 0, 0, 0));
}

TEST_F(VideoTest, AHotPlugRequestPullsTheLineLowForTenTicks)
{
    zevlosource* z = start();
    for (int input : {0, 3}) {
        SCOPED_TRACE(input);
        uint8_t bit = uint8_t(1u << input);
        platform::videoSources().set(input, timing(1920, 1080, 60));
        ASSERT_TRUE(waitFor([&] { return inputTimingIs(input, 1920, 1080, 60); }));

        G_timeTicks = 500;
        raiseReg(0, bit);
        ASSERT_TRUE(waitFor([&] { return !platform::simI2c().hpd(input); }));
        // Without the line the source stops.
        EXPECT_TRUE(waitFor([&] { return inputTimingIs(input, 0, 0, 0); }));
        G_timeTicks = 509;
        finishTurn(z);
        EXPECT_FALSE(platform::simI2c().hpd(input));
        EXPECT_EQ(reg(0) & bit, bit);

        G_timeTicks = 510;
        ASSERT_TRUE(waitFor([&] { return platform::simI2c().hpd(input); }));
        EXPECT_TRUE(waitFor([&] { return (reg(0) & bit) == 0; }));
        EXPECT_TRUE(waitFor([&] { return inputTimingIs(input, 1920, 1080, 60); }));
        EXPECT_EQ(z->get_hdminfo(input).stable, 1u);
        EXPECT_EQ(z->get_hdminfo(input).nosignal, 0u);
    }
}

TEST_F(VideoTest, AReinitialisationRequestResetsTheReceiverAndReadsItAgain)
{
    start();
    platform::videoSources().set(2, timing(1920, 1080, 60));
    ASSERT_TRUE(waitFor([&] { return inputTimingIs(2, 1920, 1080, 60); }));
    platform::simI2c().clearRecords();
    raiseReg(0, 0x40);
    ASSERT_TRUE(waitFor([&] { return (reg(0) & 0x40) == 0; }));
    bool reset = false;
    for (const auto& r : platform::simI2c().records())
        if (r.addr == vbus::kIt6602 && !r.read && r.data.size() == 2 && r.data[0] == vbus::kRxReset &&
            r.mux[0] == 0x04 && r.mux[1] == 0)
            reset = true;
    EXPECT_TRUE(reset);
    EXPECT_TRUE(waitFor([&] { return platform::simI2c().videoOut(2); }));
    EXPECT_TRUE(inputTimingIs(2, 1920, 1080, 60));
}

TEST_F(VideoTest, TheVideoLinksComeUpOnceTheClockSynthesizerAnswers)
{
    platform::simI2c().setPresent(platform::SimI2c::ClockSynth, false);
    G_timeTicks = 1000;
    zevlosource* z = start();
    ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 1; }));
    platform::simI2c().setPresent(platform::SimI2c::ClockSynth, true);
    G_timeTicks = 1099;
    finishTurn(z);
    EXPECT_EQ(z->setup_state[0].load(), 1); // the retry waits its second
    G_timeTicks = 1100;
    EXPECT_TRUE(waitFor([&] { return z->setup_state[0] == 2 && z->setup_state[1] == 2; }));
}

TEST_F(VideoTest, TheStatusRegistersTellWhichChipsAnswered)
{
    store->local_reg[37] = 0x80;
    store->local_reg[38] = 0x1F;
    store->local_reg[39] = 0x07;
    platform::simI2c().setPresent(platform::SimI2c::Eeprom2, false);
    platform::simI2c().setPresent(platform::SimI2c::Mux20, false);
    zevlosource* z = start();
    ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 2; }));
    // EDID memories 0, 1 answered; 2 is missing, 3 and the SDI path sit
    // behind the missing multiplexer; bit 4 is not ours.
    EXPECT_EQ(reg(38), 0x20 | 0x10 | 0x03);
    EXPECT_EQ(reg(37), 0x80);
    EXPECT_EQ(reg(39), 0x03);

    destroySingletonsForTest();
    platform::simI2c().reset();
    store = VyxRamPara::pInstance();
    z = start();
    ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 2; }));
    // Everything answered; the bits that are not ours keep the store's
    // initial values (r37 0x80, r38 0x1F, r39 0x07).
    EXPECT_EQ(reg(38), 0x7F);
    EXPECT_EQ(reg(37), 0x82);
    EXPECT_EQ(reg(39), 0x07);
}

TEST_F(VideoTest, StoppingTheManagerJoinsItsThreadPromptly)
{
    start();
    platform::videoSources().set(0, timing(1920, 1080, 60));
    ASSERT_TRUE(waitFor([&] { return g_source_online == 2; }));
    uint64_t before = platform::simI2c().messageCount();
    zevlosource::destroyForTest();
    EXPECT_EQ(zevlosource::p_zevlo_source, nullptr);
    uint64_t after = platform::simI2c().messageCount();
    QThread::msleep(30);
    EXPECT_EQ(platform::simI2c().messageCount(), after);
    EXPECT_GE(after, before);
}

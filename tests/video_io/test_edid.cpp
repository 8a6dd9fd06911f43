// EDIDs: how they are built, and how the refresh, hold and check of the
// input-source manager put them into the inputs' EDID memories.
#include "video_fixture.h"

#include "video_io/edid.h"

#include <QSettings>
#include <functional>
#include <vector>

namespace {
std::vector<uint8_t> built(int w, int h, int rate)
{
    VideoTiming t;
    EXPECT_TRUE(standardTiming(w, h, rate, &t));
    std::vector<uint8_t> e(kEdidSize);
    EXPECT_TRUE(edid_build(t, e.data()));
    return e;
}

bool holds(const std::vector<uint8_t>& mem, int w, int h, int rate)
{
    VideoTiming t;
    if (!edid_valid(mem.data(), kEdidSize) || !edid_preferred_timing(mem.data(), &t))
        return false;
    return t.hact == w && t.vact == h && t.rate() == rate;
}

// Raises EDID refreshes, waits until the manager's thread has served them
// and returns what it printed meanwhile. The audio route is served after
// the EDIDs in every turn, so once a route raised after the refresh flags
// went to 0 is done, so are the EDIDs.
std::string serveRefresh(zevlosource* z, const std::function<void()>& raise)
{
    testing::internal::CaptureStdout();
    raise();
    bool taken = waitFor([&] { return z->edid_refresh == 0; });
    z->audio_route_flag = 1;
    bool served = waitFor([&] { return z->audio_route_flag == 0; });
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(taken && served);
    return out;
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(Edid, BuiltEdidsCarryTheTimingExactlyWithValidChecksums)
{
    for (auto m : {std::array<int, 3>{1920, 1080, 60}, {3840, 2160, 60}, {1280, 720, 50}, {1024, 768, 60},
                   {1600, 900, 60}, {2560, 1440, 75}, {1366, 768, 60}}) {
        VideoTiming t;
        ASSERT_TRUE(standardTiming(m[0], m[1], m[2], &t)) << m[0] << "x" << m[1];
        EXPECT_EQ(t.rate(), m[2]);
        uint8_t e[kEdidSize];
        ASSERT_TRUE(edid_build(t, e));
        EXPECT_TRUE(edid_valid(e, kEdidSize));
        VideoTiming back;
        ASSERT_TRUE(edid_preferred_timing(e, &back));
        EXPECT_TRUE(back == t) << m[0] << "x" << m[1] << "@" << m[2];
        // One checksum per block: each 128 bytes sum to 0.
        for (int b = 0; b < 2; ++b) {
            uint8_t sum = 0;
            for (int i = 0; i < kEdidBlock; ++i)
                sum = uint8_t(sum + e[b * kEdidBlock + i]);
            EXPECT_EQ(sum, 0);
        }
    }
}

TEST(Edid, The1080p60TimingIsTheBroadcastOne)
{
    VideoTiming t;
    ASSERT_TRUE(parseTimingText("1920x1080@60", &t));
    EXPECT_EQ(t.htotal, 2200);
    EXPECT_EQ(t.vtotal, 1125);
    EXPECT_EQ(t.pclkKHz, 148500u);
    EXPECT_EQ(t.vic, 16);
    uint8_t e[kEdidSize];
    ASSERT_TRUE(edid_build(t, e));
    // Detailed timing 1: 148.50 MHz, 1920 + 280 blanking, 1080 + 45.
    EXPECT_EQ(e[54], 0x02);
    EXPECT_EQ(e[55], 0x3A);
    EXPECT_EQ(e[56], 0x80);
    EXPECT_EQ(e[57], 0x18);
    EXPECT_EQ(e[58], 0x71);
    EXPECT_EQ(e[59], 0x38);
    EXPECT_EQ(e[60], 0x2D);
    EXPECT_EQ(e[61], 0x40);
    EXPECT_EQ(e[126], 1); // one extension
}

TEST(Edid, RequestsThatCannotBeAnnouncedAreRefused)
{
    VideoTiming t;
    EXPECT_FALSE(standardTiming(0, 1080, 60, &t));
    EXPECT_FALSE(standardTiming(1920, 1080, 0, &t));
    EXPECT_FALSE(standardTiming(5000, 1080, 60, &t));
    EXPECT_FALSE(parseTimingText("1920x1080", &t));
    EXPECT_FALSE(parseTimingText("1920x1080@60x", &t));
    // 4095x4095@240 needs a clock beyond what a detailed timing holds.
    ASSERT_TRUE(standardTiming(4095, 4095, 240, &t));
    uint8_t e[kEdidSize];
    EXPECT_FALSE(edid_build(t, e));

    std::vector<uint8_t> good = built(1920, 1080, 60);
    EXPECT_FALSE(edid_valid(good.data(), 128)); // the extension count says 2 blocks
    good[200] ^= 1;
    EXPECT_FALSE(edid_valid(good.data(), kEdidSize));
}

TEST_F(VideoTest, SettingTheFourRefreshFlagsWritesTheRequestedEdids)
{
    setEdidRequest(2, 1280, 720, 60);
    setEdidRequest(3, 3840, 2160, 60);
    for (int i = 0; i < 4; ++i)
        platform::simI2c().setEeprom(i, {});
    zevlosource* z = start();
    std::string out = serveRefresh(z, [z] { z->set_edid_refresh_all(); });
    EXPECT_TRUE(holds(platform::simI2c().eeprom(0), 1920, 1080, 60));
    EXPECT_TRUE(holds(platform::simI2c().eeprom(1), 1920, 1080, 60));
    EXPECT_TRUE(holds(platform::simI2c().eeprom(2), 1280, 720, 60));
    EXPECT_TRUE(holds(platform::simI2c().eeprom(3), 3840, 2160, 60));
    EXPECT_EQ(platform::simI2c().eeprom(3), built(3840, 2160, 60));
    EXPECT_EQ(count(out, "edid set ok"), 4u);
    EXPECT_EQ(count(out, "edid set error"), 0u);
    // A person can look at what the memory holds.
    EXPECT_EQ(readFile("/sim/edid2.bin").size(), kEdidSize);

    // A second factory reset rewrites them all again, whatever was
    // written before.
    setEdidRequest(0, 1024, 768, 60);
    out = serveRefresh(z, [z] { z->set_edid_refresh_all(); });
    EXPECT_TRUE(holds(platform::simI2c().eeprom(0), 1024, 768, 60));
    EXPECT_EQ(count(out, "edid set ok"), 4u);
}

TEST_F(VideoTest, TheHoldFlagStopsARewriteUntilItIsCleared)
{
    for (int i = 0; i < 4; ++i)
        platform::simI2c().setEeprom(i, {});
    zevlosource* z = start();
    z->set_edid_hold(1, 1);
    z->set_edid_refresh_all();
    ASSERT_TRUE(waitFor([&] { return holds(platform::simI2c().eeprom(3), 1920, 1080, 60); }));
    finishTurn(z);
    EXPECT_EQ(platform::simI2c().eeprom(1), std::vector<uint8_t>(kEdidSize, 0xFF));
    EXPECT_EQ(z->edid_refresh_flag(1), 1);

    // A changed request: refresh 1, hold 0.
    setEdidRequest(1, 1280, 720, 50);
    z->set_edid_refresh(1);
    EXPECT_TRUE(waitFor([&] { return holds(platform::simI2c().eeprom(1), 1280, 720, 50); }));
    EXPECT_TRUE(waitFor([&] { return z->edid_refresh_flag(1) == 0; }));
}

TEST_F(VideoTest, AStoredTableIsWrittenAsItIsAndABadOneNotAtAll)
{
    std::vector<uint8_t> table = built(1280, 1024, 60);
    table[126] = 0; // base block only
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = uint8_t(sum + table[i]);
    table[127] = uint8_t(0x100 - sum);
    table.resize(128);
    writeFile("/data/edidramtable/edid0.bin", QByteArray(reinterpret_cast<const char*>(table.data()), 128));
    writeFile("/data/edidramtable/edid1.bin", QByteArray(300, '\x01'));
    platform::simI2c().setEeprom(0, {});
    std::vector<uint8_t> before = built(640, 480, 60);
    platform::simI2c().setEeprom(1, before);

    zevlosource* z = start();
    std::string out = serveRefresh(z, [z] {
        z->set_edid_refresh(0);
        z->set_edid_refresh(1);
    });
    std::vector<uint8_t> mem = platform::simI2c().eeprom(0);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), mem.begin()));
    EXPECT_EQ(platform::simI2c().eeprom(1), before);
    EXPECT_EQ(count(out, "edid set ok"), 1u);
    EXPECT_EQ(count(out, "edid set error"), 1u);
}

TEST_F(VideoTest, AnUnusableRequestOrAMissingMemoryIsReportedAsAnError)
{
    setEdidRequest(0, 0, 0, 0);
    platform::simI2c().setPresent(platform::SimI2c::Eeprom1, false);
    raiseReg(38, 0x0F);
    zevlosource* z = start();
    ASSERT_TRUE(waitFor([&] { return z->setup_state[0] == 2; }));
    std::string out = serveRefresh(z, [z] {
        z->set_edid_refresh(0);
        z->set_edid_refresh(1);
    });
    EXPECT_EQ(count(out, "edid set ok"), 0u);
    EXPECT_EQ(count(out, "edid set error"), 2u);
    EXPECT_EQ(reg(38) & 0x02, 0);
}

TEST_F(VideoTest, TheOneEdidCheckFixesTheMemoriesAndTurnsItselfOff)
{
    g_check_edid.clear(); // not loaded: the configured default "Once"
    platform::simI2c().setEeprom(0, built(1920, 1080, 60));
    platform::simI2c().setEeprom(1, {});
    setEdidRequest(2, 1280, 720, 60);
    start();
    ASSERT_TRUE(waitFor([&] { return g_check_edid == QStringLiteral("Never"); }));
    EXPECT_TRUE(holds(platform::simI2c().eeprom(1), 1920, 1080, 60));
    EXPECT_TRUE(holds(platform::simI2c().eeprom(2), 1280, 720, 60));
    // A memory that already held the right EDID is only read.
    for (const auto& r : platform::simI2c().records())
        EXPECT_FALSE(r.addr == vbus::kEeprom && !r.read && r.data.size() > 1 && r.mux[0] == 0x01);
    // The setting itself is stored, so the next start skips the check.
    EXPECT_EQ(ConfigEngine::pInstance()->read_config_variant(ConfigItem::EDIDCheck).toString(), "Never");
    QSettings ini(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/EDIDCheck").toString(), QStringLiteral("Never"));
}

TEST_F(VideoTest, WithTheCheckSetToNeverTheMemoriesAreLeftAlone)
{
    platform::simI2c().setEeprom(0, {});
    start();
    platform::videoSources().set(0, timing(1920, 1080, 60));
    ASSERT_TRUE(waitFor([&] { return g_source_online == 2; }));
    EXPECT_EQ(platform::simI2c().eeprom(0), std::vector<uint8_t>(kEdidSize, 0xFF));
    // The PC can ask for the check again through r32.
    raiseReg(32, 0x01);
    EXPECT_TRUE(waitFor([&] { return holds(platform::simI2c().eeprom(0), 1920, 1080, 60); }));
    EXPECT_TRUE(waitFor([&] { return (reg(32) & 0x01) == 0; }));
}

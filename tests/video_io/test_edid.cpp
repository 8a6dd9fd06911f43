// EDIDs: how they are built, and how the refresh, hold and check of the
// input-source manager put them into the inputs' EDID memories.
#include "video_fixture.h"

#include "video_io/edid.h"

#include <QSettings>
#include <numeric>
#include <sstream>
#include <vector>

namespace {
uint8_t sum(const uint8_t* p, int n) { return uint8_t(std::accumulate(p, p + n, 0)); }

std::vector<uint8_t> built(int w, int h, int rate)
{
    std::vector<uint8_t> e(kEdidSize);
    EXPECT_TRUE(edid_build(timing(w, h, rate), e.data()));
    return e;
}

bool holds(const std::vector<uint8_t>& mem, int w, int h, int rate)
{
    VideoTiming t;
    if (!edid_valid(mem.data(), kEdidSize) || !edid_preferred_timing(mem.data(), &t))
        return false;
    return t.hact == w && t.vact == h && t.rate() == rate;
}

// Raises all four EDID refreshes, waits until the manager's thread has
// served those not held and returns what it printed for each in turn.
std::string serveRefresh(zevlosource* z)
{
    testing::internal::CaptureStdout();
    z->set_edid_refresh_all();
    EXPECT_TRUE(waitFor([&] { return (z->edid_refresh & ~z->edid_hold) == 0; }));
    finishTurn(z); // the EDIDs are served before the audio route
    std::istringstream out(testing::internal::GetCapturedStdout());
    std::string line, results;
    while (std::getline(out, line))
        if (line.rfind("edid set ", 0) == 0)
            results += line.substr(9) + " ";
    return results;
}
} // namespace

TEST(Edid, BuiltEdidsCarryTheTimingExactlyWithValidChecksums)
{
    for (auto m : {std::array<int, 3>{1920, 1080, 60}, {3840, 2160, 60}, {1280, 720, 50}, {1024, 768, 60},
                   {1600, 900, 60}, {2560, 1440, 75}, {1366, 768, 60}}) {
        SCOPED_TRACE(testing::Message() << m[0] << "x" << m[1] << "@" << m[2]);
        VideoTiming t = timing(m[0], m[1], m[2]);
        EXPECT_EQ(t.rate(), m[2]);
        std::vector<uint8_t> e = built(m[0], m[1], m[2]);
        EXPECT_TRUE(edid_valid(e.data(), kEdidSize));
        EXPECT_EQ(sum(e.data(), kEdidBlock), 0);
        EXPECT_EQ(sum(e.data() + kEdidBlock, kEdidBlock), 0);
        VideoTiming back;
        ASSERT_TRUE(edid_preferred_timing(e.data(), &back));
        EXPECT_TRUE(back == t);
    }
    // 1080p60 is the broadcast timing, VIC 16, 2200 x 1125 at 148.50 MHz:
    // its detailed timing, independent of the parser.
    std::vector<uint8_t> e = built(1920, 1080, 60);
    EXPECT_EQ(std::vector<uint8_t>(e.begin() + 54, e.begin() + 62),
              std::vector<uint8_t>({0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40}));
    EXPECT_EQ(timing(1920, 1080, 60).vic, 16);
}

TEST(Edid, RequestsThatCannotBeAnnouncedAreRefused)
{
    VideoTiming t;
    for (const char* bad : {"0x1080@60", "1920x1080@0", "5000x1080@60", "1920x1080@241", "1920x1080", "1920x1080@60x"})
        EXPECT_FALSE(parseTimingText(bad, &t)) << bad;
    // 4095x4095@240 needs a clock beyond what a detailed timing holds.
    ASSERT_TRUE(standardTiming(4095, 4095, 240, &t));
    uint8_t e[kEdidSize];
    EXPECT_FALSE(edid_build(t, e));

    std::vector<uint8_t> good = built(1920, 1080, 60);
    EXPECT_FALSE(edid_valid(good.data(), 128)); // the extension count says 2 blocks
    good[200] ^= 1;
    EXPECT_FALSE(edid_valid(good.data(), kEdidSize));
}

TEST_F(VideoTest, TheFourRefreshFlagsWriteTheRequestedEdidsUnlessHeld)
{
    setEdidRequest(2, 1280, 720, 60);
    setEdidRequest(3, 3840, 2160, 60);
    blankEeproms();
    zevlosource* z = start();
    EXPECT_EQ(serveRefresh(z), "ok ok ok ok ");
    EXPECT_TRUE(holds(simI2c().eeprom(0), 1920, 1080, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(1), 1920, 1080, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(2), 1280, 720, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(3), 3840, 2160, 60));

    // A second factory reset rewrites them again, except a held one.
    setEdidRequest(0, 1024, 768, 60);
    setEdidRequest(1, 1280, 720, 50);
    z->set_edid_hold(1, 1);
    EXPECT_EQ(serveRefresh(z), "ok ok ok ");
    EXPECT_TRUE(holds(simI2c().eeprom(0), 1024, 768, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(1), 1920, 1080, 60));
    EXPECT_EQ(z->edid_refresh_flag(1), 1);
    // A changed request: refresh 1, hold 0.
    z->set_edid_refresh(1);
    EXPECT_TRUE(waitFor([&] { return holds(simI2c().eeprom(1), 1280, 720, 50); }));
    EXPECT_TRUE(waitFor([&] { return z->edid_refresh_flag(1) == 0; }));
}

TEST_F(VideoTest, AStoredTableIsWrittenAsItIsAndWhatCannotBeWrittenIsAnError)
{
    std::vector<uint8_t> table = built(1280, 1024, 60);
    table.resize(kEdidBlock);
    table[126] = 0; // base block only
    table[127] = uint8_t(table[127] - sum(table.data(), kEdidBlock));
    // Tables are found by the request they serve, for the inputs the PC
    // gave one; without a matching table the EDID is built for the request.
    writeFile("/data/edidramtable/1280x1024_60.bin", QByteArray(reinterpret_cast<const char*>(table.data()), kEdidBlock));
    writeFile("/data/edidramtable/1280x720_50.bin", QByteArray(300, '\x01')); // too long, no EDID
    setEdidRequest(0, 1280, 1024, 60);
    setEdidRequest(1, 1280, 720, 50);
    edid_ram_table_from[0] = edid_ram_table_from[1] = edid_ram_table_from[2] = 1;
    setEdidRequest(2, 0, 0, 0);
    simI2c().setPresent(platform::SimI2c::Eeprom3, false);
    blankEeproms();
    std::vector<uint8_t> before = built(640, 480, 60);
    simI2c().setEeprom(1, before);

    zevlosource* z = start();
    EXPECT_EQ(serveRefresh(z), "ok error error error ");
    std::vector<uint8_t> mem = simI2c().eeprom(0);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), mem.begin()));
    EXPECT_EQ(simI2c().eeprom(1), before);
}

TEST_F(VideoTest, TheOneEdidCheckFixesTheMemoriesAndTurnsItselfOff)
{
    g_check_edid.clear(); // not loaded: the configured default "Once"
    simI2c().setEeprom(0, built(1920, 1080, 60));
    simI2c().setEeprom(1, {});
    setEdidRequest(2, 1280, 720, 60);
    start();
    ASSERT_TRUE(waitFor([&] { return g_check_edid == QStringLiteral("Never"); }));
    EXPECT_TRUE(holds(simI2c().eeprom(1), 1920, 1080, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(2), 1280, 720, 60));
    // A memory that already held the right EDID is only read.
    for (const auto& r : simI2c().records())
        EXPECT_FALSE(r.addr == vbus::kEeprom && !r.read && r.data.size() > 1 && r.mux[0] == 0x01);
    // The setting itself is stored, so the next start skips the check.
    QSettings ini(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/EDIDCheck").toString(), QStringLiteral("Never"));
}

TEST_F(VideoTest, WithTheCheckSetToNeverTheMemoriesAreLeftAlone)
{
    simI2c().setEeprom(0, {});
    zevlosource* z = start();
    finishTurn(z);
    EXPECT_EQ(simI2c().eeprom(0), std::vector<uint8_t>(kEdidSize, 0xFF));
    // The PC can ask for the check again through r32.
    raiseReg(32, 0x01);
    EXPECT_TRUE(waitFor([&] { return holds(simI2c().eeprom(0), 1920, 1080, 60); }));
    EXPECT_TRUE(waitFor([&] { return (reg(32) & 0x01) == 0; }));
}

TEST_F(VideoTest, OnlyAnInputGivenATableAnnouncesIt)
{
    std::vector<uint8_t> table = built(1280, 1024, 60);
    writeFile("/data/edidramtable/1920x1080_60.bin", QByteArray(reinterpret_cast<const char*>(table.data()), kEdidSize));
    edid_ram_table_from[1] = 1;
    blankEeproms();
    zevlosource* z = start();
    EXPECT_EQ(serveRefresh(z), "ok ok ok ok ");
    EXPECT_EQ(simI2c().eeprom(1), table);
    EXPECT_TRUE(holds(simI2c().eeprom(0), 1920, 1080, 60));
    EXPECT_TRUE(holds(simI2c().eeprom(2), 1920, 1080, 60));
}

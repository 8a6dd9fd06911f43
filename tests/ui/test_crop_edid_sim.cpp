// The crop and EDID screens against the simulated hardware: a source fed
// through "<root>/sim/sources", the scaler brought up on its simulated chip
// and the input-source manager's thread running. A crop added on the panel
// and then shown by image 0 is what the LED screen picture shows; an EDID
// request saved on the panel is what the input's EDID memory then holds.
#include "tests/ui/image_screen_fixture.h"

#include <QImage>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/shared_bytes.h"
#include "core/utils.h"
#include "platform/c331_screen.h"
#include "platform/c331_sim.h"
#include "platform/spi.h"
#include "ui/image/edidset.h"
#include "ui/image/inputcut.h"
#include "video_io/edid.h"
#include "video_io/video_timing.h"
#include "video_io/zevlosource.h"

using namespace ram;
using platform::c331screen::Composition;
using platform::c331screen::Rect;
using platform::c331screen::ScreenLayout;

namespace {

class ImageScreensSim : public ImageScreenTest {
protected:
    void SetUp() override
    {
        ImageScreenTest::SetUp();
        platform::simSpiBus().map();
        // The picture is placed by the panel record the scaler publishes, as
        // the program's own start-up arranges it.
        platform::simScaler().setScreenLayoutSource([this](ScreenLayout* layout) {
            uint8_t record[ScreenLayout::kPublishedBytes];
            copyShared(record, store->ram_para + kSpliceMode, sizeof record);
            *layout = ScreenLayout::fromPublished(record);
            return true;
        });
        for (int turn = 0; turn < 20 && scaler->setup_stage < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
        ConfigEngine::pInstance();
        g_check_edid = QStringLiteral("Never");
        ASSERT_EQ(zevlosource::pInstance()->initialize(), 0);
    }
    void TearDown() override
    {
        platform::simScaler().setScreenLayoutSource(nullptr);
        ImageScreenTest::TearDown();
    }

    // Scaler turns (its thread's work, done here) until `done` holds.
    bool turnsUntil(const std::function<bool()>& done, int ms = 5000)
    {
        return waitFor(
            [&] {
                scaler->runTurn();
                return done();
            },
            ms);
    }
    // What the simulated chip last drew, read back from the register file
    // it leaves beside the picture.
    Composition shown() const
    {
        const QByteArray regs = readFile("/sim/scaler-registers.bin");
        if (regs.size() != platform::c331screen::kRegisterFileBytes)
            return {};
        uint8_t record[ScreenLayout::kPublishedBytes];
        copyShared(record, store->ram_para + kSpliceMode, sizeof record);
        return platform::c331screen::decode(
            platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
            ScreenLayout::fromPublished(record));
    }
    bool inputTimingIs(int source, int w, int h, int rate) const
    {
        pthread_mutex_lock(&store->store_mutex);
        const uint8_t* at = store->ram_para + inputTiming(source);
        const bool same = le16(at) == w && le16(at + 2) == h && le16(at + 4) == rate;
        pthread_mutex_unlock(&store->store_mutex);
        return same;
    }
    bool edidHolds(int input, int w, int h, int rate) const
    {
        const QByteArray mem = readFile("/sim/edid" + std::to_string(input) + ".bin");
        const auto* bytes = reinterpret_cast<const uint8_t*>(mem.constData());
        VideoTiming t;
        return mem.size() >= kEdidSize && edid_valid(bytes, kEdidSize) && edid_preferred_timing(bytes, &t)
            && t.hact == w && t.vact == h && t.rate() == rate;
    }
};

} // namespace

TEST_F(ImageScreensSim, ACropAddedOnThePanelAndShownByImage0IsWhatTheScreenShows)
{
    writeFile("/sim/sources", "1 1920x1080@60\n");
    ASSERT_TRUE(turnsUntil([&] { return inputTimingIs(1, 1920, 1080, 60); }));
    // Image 0 shows all of HDMI1 at first.
    ASSERT_TRUE(turnsUntil([&] {
        const Composition c = shown();
        return c.windows.size() == 1 && c.windows[0].source == Rect{0, 0, 1920, 1080} && !c.windows[0].cropped;
    })) << shown().describe();

    runScreen(g_inputcut, kPageInputCut,
        {[&] { keysTo(g_inputcut, "QQQ"); }, typing("100"), // X
            [&] { keysTo(g_inputcut, "RQ"); }, typing("50"), // Y
            [&] { keysTo(g_inputcut, "RQ"); }, typing("800"), // W
            [&] { keysTo(g_inputcut, "RQ"); }, typing("600"), // H
            [&] { keysTo(g_inputcut, "RRQ"); }}); // Cancel, OK: store
    ASSERT_EQ(bytes(cropEntry(0), 10), (std::vector<uint8_t>{0x01, 0x80, 100, 0, 50, 0, 0x20, 0x03, 0x58, 0x02}));

    const uint64_t drawn = platform::simScaler().screensWritten();
    panel::scaler_write([](panel::ScalerWrite& w) { w.put16(imageRecord(0) + kImgSource, kSourceIsCrop | 0); });
    ASSERT_TRUE(turnsUntil([&] {
        const Composition c = shown();
        return c.windows.size() == 1 && c.windows[0].cropped && c.windows[0].crop == Rect{100, 50, 800, 600};
    })) << shown().describe();
    EXPECT_EQ(shown().windows[0].screen, (Rect{0, 0, 1920, 1080}));
    EXPECT_GT(platform::simScaler().screensWritten(), drawn);
    QImage picture;
    EXPECT_TRUE(picture.load(QString::fromStdString(path("/sim/screen.png"))));
}

TEST_F(ImageScreensSim, AnEdidSavedOnThePanelIsInTheInputsMemoryWithinAFewTicks)
{
    ASSERT_FALSE(edidHolds(1, 1280, 720, 60));
    runScreen(g_edidset, kPageEDIDset,
        {[&] { keysTo(g_edidset, "QQ"); }, typing("1280"), // HDMI1's width
            [&] { keysTo(g_edidset, "RQ"); }, typing("720"),
            [&] {
                keysTo(g_edidset, "RRRRQ"); // refresh, Delete, Cancel, Save
                EXPECT_EQ(image16(edidRequest(1)), 1280);
                EXPECT_EQ(image16(edidRequest(1) + 2), 720);
                EXPECT_EQ(image16(edidRequest(1) + 4), 60);
            }});
    bool written = false;
    for (int tick = 0; tick < 10 && !written; ++tick) {
        scaler->runTurn();
        paneltest::ticks(1);
        written = waitFor([&] { return edidHolds(1, 1280, 720, 60); }, 200);
    }
    EXPECT_TRUE(written);
    EXPECT_FALSE(edidHolds(0, 1280, 720, 60)); // the other inputs keep theirs
}

// A user mode invoked at the panel, followed through the simulated scaler
// onto the LED screen (the register file the simulated chip leaves in
// "<root>/sim/", decoded) and onto the standby screen's tiles.
#include "tests/support/panel_fixture.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>

#include "platform/c331_screen.h"
#include "platform/c331_sim.h"
#include "platform/spi.h"
#include "tests/scaler/layout_request.h"
#include "ui/image/custommode.h"
#include "ui/shell/lockwindow.h"

using namespace ram;
using platform::c331screen::Composition;
using platform::c331screen::ScreenLayout;
using paneltest::key;

namespace {

class ModeOnScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        platform::simSpiBus().map();
        // The chip draws the screen where the published panel record puts it.
        platform::simScaler().setScreenLayoutSource([this](ScreenLayout* l) {
            *l = ScreenLayout::fromPublished(store->ram_para + kSpliceMode);
            return true;
        });
        for (int turn = 0; turn < 20 && scaler->setup_stage.load() < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
    }

    // What the LED screen shows, as the chip's register file left in the
    // root says, placed by the panel record the scaler published.
    Composition shown() const
    {
        const QByteArray regs = readFile("/sim/scaler-registers.bin");
        if (regs.size() != platform::c331screen::kRegisterFileBytes)
            return {};
        return platform::c331screen::decode(
            platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
            ScreenLayout::fromPublished(store->ram_para + kSpliceMode));
    }
    // The panel's ticks and the scaler thread's turns, one each, until the
    // screen shows `want`; the turns taken (or the last difference).
    int untilShown(const layout::Request& want, std::string* diff)
    {
        for (int turn = 1; turn <= 5; ++turn) {
            paneltest::ticks(1);
            scaler->runTurn();
            if ((*diff = layout::compare(shown(), layout::expected(want))).empty())
                return turn;
        }
        return -1;
    }
    QString tile(int image, const char* part) const
    {
        QLabel* l = g_lockwindow->findChild<QLabel*>(QStringLiteral("tile%1_%2").arg(image).arg(part));
        return l ? l->text() : QStringLiteral("-");
    }
};

} // namespace

TEST_F(ModeOnScreen, InvokedModeReachesTheLedScreenAndTheStandbyTiles)
{
    // Live: one window of HDMI1 over a 1920 x 1080 screen.
    const layout::Request live{0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 0, true, 1}}};
    panel::scaler_write([&](panel::ScalerWrite&) { layout::writeImage(live, store->ram_para); });
    std::string diff;
    ASSERT_GT(untilShown(live, &diff), 0) << diff;
    takeSnapshot();

    // Mode 3: a smaller screen, split between HDMI1 and HDMI2.
    const layout::Request mode{0, 1280, 720, -1, -1, {{0, 0, 640, 720, 0, true, 1}, {640, 0, 640, 720, 1, true, 2}}};
    uint8_t image[kImageSize];
    std::memcpy(image, store->ram_para, kImageSize);
    layout::writeImage(mode, image);
    fillShared(store->user_mode[2], kMarkerSaved, 2);
    copyShared(store->user_mode[2] + kSlotData, image + kModeStart, kModeLength);

    // From standby by the mode key, to the third slot, invoked.
    mainWindow();
    g_lockwindow = new LockWindow(nullptr);
    g_page_focus = kPageLockWindow;
    g_lockwindow->show();
    EXPECT_EQ(tile(2, "status"), "Close");
    key(g_lockwindow, panel::kKeyMode);
    ASSERT_NE(g_custommode, nullptr);
    const uint64_t screens = platform::simScaler().screensWritten();
    const QDateTime drawn = QFileInfo(QString::fromStdString(path("/sim/screen.png"))).lastModified();
    for (int k : {'R', 'R', 'Q', 'Q'})
        key(g_custommode, k);
    EXPECT_EQ(request(), 1);

    const int turns = untilShown(mode, &diff);
    EXPECT_GT(turns, 0) << diff;
    EXPECT_LE(turns, 3);
    EXPECT_GT(platform::simScaler().screensWritten(), screens);
    EXPECT_TRUE(exists("/sim/screen.png"));
    EXPECT_GE(QFileInfo(QString::fromStdString(path("/sim/screen.png"))).lastModified(), drawn);
    EXPECT_EQ(image16(kCurrentMode), 3);

    // Back to standby: the tiles and the LED line of the mode.
    key(g_custommode, panel::kKeyBack);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLockWindow);
    EXPECT_EQ(tile(1, "name"), "HDMI1");
    EXPECT_EQ(tile(2, "name"), "HDMI2");
    EXPECT_NE(tile(2, "status"), "Close");
    EXPECT_EQ(g_lockwindow->findChild<QLabel*>("label_input")->text(), "LED size:1280 x 720");
}

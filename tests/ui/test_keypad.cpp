// The keypad's global keys as any screen hands them on: the image they act
// on, the sources, freeze and black, and what the panel lock stops.
#include "tests/support/panel_fixture.h"

#include <algorithm>

#include "ui/shell/vyx_keyboard.h"

using namespace ram;

namespace {

class Keypad : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        for (int w = 0; w < 4; ++w)
            setImage16(imageRecord(w) + kImgEnable, w == 2 ? 0 : 1); // image 2 closed
        takeSnapshot();
    }
    int refreshes() const { return int(std::count(codes.begin(), codes.end(), kChangeRefresh)); }
    vyx_keyboard keys;
};

} // namespace

TEST_F(Keypad, SourceKeysPutAWholeInputOnTheCurrentImage)
{
    g_image_current = 1;
    keys.update_usb_keyEvent('K');
    EXPECT_EQ(image16(imageRecord(1) + kImgSource), 1); // word 2306: HDMI1
    EXPECT_EQ(request(), 1);
    const struct {
        int key;
        uint16_t source;
    } cases[] = {{'I', 3}, {'J', 0}, {'L', 2}};
    for (const auto& c : cases) {
        serveRequest();
        keys.update_usb_keyEvent(c.key);
        EXPECT_EQ(image16(imageRecord(1) + kImgSource), c.source) << char(c.key);
        EXPECT_EQ(request(), 1);
    }
}

TEST_F(Keypad, ImageKeysChooseOnlyAnOpenOtherImageAndRefreshOnce)
{
    keys.update_usb_keyEvent('E'); // image 2 is closed
    EXPECT_EQ(g_image_current.load(), 0);
    keys.update_usb_keyEvent('B'); // already current
    EXPECT_EQ(refreshes(), 0);
    keys.update_usb_keyEvent('C');
    EXPECT_EQ(g_image_current.load(), 1);
    EXPECT_EQ(refreshes(), 1); // at once, inside the key's handling
    keys.update_usb_keyEvent('F');
    EXPECT_EQ(g_image_current.load(), 3);
    setImage16(imageRecord(1) + kImgEnable, 0);
    keys.update_usb_keyEvent('C');
    EXPECT_EQ(g_image_current.load(), 3);
    EXPECT_EQ(refreshes(), 2);
    EXPECT_EQ(request(), 0); // nothing written to the image
}

TEST_F(Keypad, FreezeTwiceIsOffAgainAndBlackToggles)
{
    g_image_current = 3;
    const int out = imageRecord(3) + kImgOutput;
    keys.update_usb_keyEvent('N');
    EXPECT_EQ(image16(out) & kOutFreeze, kOutFreeze);
    serveRequest();
    keys.update_usb_keyEvent('N');
    EXPECT_EQ(image16(out) & kOutFreeze, 0);
    EXPECT_EQ(request(), 1);
    keys.update_usb_keyEvent('P');
    EXPECT_EQ(image16(out) & kOutBlack, kOutBlack);
}

TEST_F(Keypad, LockAndOtherCodesDoNothing)
{
    const QByteArray before(reinterpret_cast<const char*>(store->ram_para), kImageSize);
    for (int code : {int('Q'), int('R'), int('S'), int('D'), int('M'), int('O'), int(Qt::Key_F4), int(Qt::Key_F6),
             int(Qt::Key_Stop)})
        keys.update_usb_keyEvent(code);
    setImage16(kPanelLock, 1);
    for (int code : {'B', 'C', 'F', 'I', 'J', 'K', 'L', 'N', 'P'})
        keys.update_usb_keyEvent(code);
    setImage16(kPanelLock, 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(store->ram_para), kImageSize), before);
    EXPECT_EQ(g_image_current.load(), 0);
    EXPECT_EQ(request(), 0);
    EXPECT_TRUE(codes.empty());
}

TEST_F(Keypad, EveryScreenHandsItsKeysOn)
{
    mainWindow();
    g_image_current = 1;
    paneltest::key(window, 'L');
    EXPECT_EQ(image16(imageRecord(1) + kImgSource), 2);
    // On a screen that used the key for itself as well.
    paneltest::key(window, panel::kKeyRight);
    paneltest::key(window, 'J');
    EXPECT_EQ(image16(imageRecord(1) + kImgSource), 0);
}

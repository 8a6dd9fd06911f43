// The standby screen: the tiles of images 1-4 (source or display name, the
// timing or the image's state, the marks), the values of the top rows, the
// refresh, and the ways off the screen by touch and by key.
#include "tests/support/panel_fixture.h"
#include "tests/ui/debug_lines.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QVariant>

#include "ui/image/alias.h"
#include "ui/shell/lockwindow.h"

using namespace ram;
using paneltest::key;

namespace {

class StandbyScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        for (int i = 1; i < 4; ++i)
            setImage16(imageRecord(i) + kImgEnable, 0);
        setTiming(1, 1920, 1080, 60);
        setImage16(imageRecord(0) + kImgSource, 1);
    }

    // As main() shows it, over the main window.
    LockWindow* standby()
    {
        mainWindow();
        takeSnapshot();
        g_lockwindow = new LockWindow(nullptr);
        g_page_focus = kPageLockWindow;
        g_lockwindow->show();
        return g_lockwindow;
    }
    // The refresh the scaler's change signal brings (in the GUI thread, at once).
    void refresh(int code = kChangeRefresh) { store->test_signal(code); }

    void setTiming(int s, uint16_t w, uint16_t h, uint16_t rate)
    {
        setImage16(inputTiming(s) + kTimingWidth, w);
        setImage16(inputTiming(s) + kTimingHeight, h);
        setImage16(inputTiming(s) + kTimingRate, rate);
    }
    void setCrop(int entry, uint16_t id, uint16_t w, uint16_t h)
    {
        setImage16(cropEntry(entry) + kCropId, id);
        setImage16(cropEntry(entry) + kCropW, w);
        setImage16(cropEntry(entry) + kCropH, h);
    }
    void setLanguage(int language)
    {
        store->ram_para[kLanguage] = uint8_t(language);
        refresh();
    }

    QLabel* tile(int image, const char* part) const
    {
        return g_lockwindow ? g_lockwindow->findChild<QLabel*>(QStringLiteral("tile%1_%2").arg(image).arg(part))
                            : nullptr;
    }
    // Name and status of a tile, "-" for a label that is not there.
    QString text(int image, const char* part) const
    {
        QLabel* l = tile(image, part);
        return l ? l->text() : QStringLiteral("-");
    }
    bool marked(int image, const char* part) const { return tile(image, part) != nullptr; }
    QLabel* label(const char* name) const { return g_lockwindow->findChild<QLabel*>(name); }

    // A touch where a finger would land: on the widget the panel finds at
    // `at` (dialog coordinates).
    void touchAt(QPoint at)
    {
        QWidget* hit = g_lockwindow->childAt(at);
        ASSERT_NE(hit, nullptr);
        paneltest::touch(hit, hit->mapFrom(g_lockwindow, at));
    }
};

} // namespace

TEST_F(StandbyScreen, TilesShowTheSourceAndItsTimingOrThatTheImageIsClosed)
{
    setImage16(imageRecord(0) + kImgEnable, 0); // image 1 counts as open whatever its word
    setImage16(imageRecord(1) + kImgEnable, 3); // only exactly 1 opens images 2-4
    setImage16(imageRecord(2) + kImgEnable, 1);
    setImage16(imageRecord(2) + kImgSource, 0);
    setTiming(0, 1024, 768, 0);
    standby();
    EXPECT_EQ(text(1, "number"), "1");
    EXPECT_EQ(text(1, "name"), "HDMI1");
    EXPECT_EQ(text(1, "status"), "1920x1080@60Hz");
    EXPECT_EQ(text(3, "name"), "DVI");
    EXPECT_EQ(text(3, "status"), "No signal"); // a rate of 0
    for (int image : {2, 4}) {
        EXPECT_EQ(text(image, "name"), "");
        EXPECT_EQ(text(image, "status"), "Close");
        EXPECT_EQ(tile(image, "status")->geometry(), QRect(55 + 155 * ((image - 1) % 2), 20 + 50 * ((image - 1) / 2), 40, 15));
    }

    setTiming(1, 1920, 1080, 0);
    setLanguage(panel::kRussian);
    EXPECT_EQ(text(1, "status"), "Нет сигнала");
    EXPECT_EQ(text(2, "status"), "Откл");
    // The longer Russian LED line takes a smaller font to fit its label.
    setImage16(kLedWidth, 3840);
    refresh();
    QLabel* led = label("label_input");
    EXPECT_EQ(led->text(), "Размер LED:3840 x 1080");
    EXPECT_LE(QFontMetrics(led->font()).horizontalAdvance(led->text()), led->width());
    EXPECT_EQ(led->geometry(), QRect(31, 10, 160, 22));
    setLanguage(panel::kVietnamese);
    EXPECT_EQ(text(1, "status"), QString::fromUtf8("Không có tín hiệu"));
    EXPECT_EQ(text(2, "status"), QString::fromUtf8("Đóng"));
    setLanguage(panel::kChinese);
    EXPECT_EQ(text(1, "status"), QString::fromUtf8("无信号"));
    EXPECT_EQ(label("label_input")->text(), QString::fromUtf8("LED屏:%1 x %2").arg(image16(kLedWidth)).arg(image16(kLedHeight)));
}

TEST_F(StandbyScreen, CropTileNamesAndSizesTheEntryTheSourceWordNames)
{
    setCrop(0, 0x8000 | 1 << 8 | 1, 960, 540); // source 1, number field 1: crop 2
    setImage16(imageRecord(0) + kImgSource, 0x8000 | 0);
    // Source 2's crops stored out of number order: entry 3 holds crop 3, the
    // first of source 2's entries in the table.
    setCrop(3, 0x8000 | 2 << 8 | 2, 640, 360);
    setCrop(5, 0x8000 | 0 << 8 | 2, 1280, 720);
    setTiming(2, 3840, 2160, 30);
    setImage16(imageRecord(1) + kImgEnable, 1);
    setImage16(imageRecord(1) + kImgSource, 0x8000 | 3);
    // Entries not in use (source 3's, deleted), or beyond the table: the
    // whole DVI input.
    setCrop(7, 3, 800, 600);
    setTiming(0, 1280, 720, 50);
    setImage16(imageRecord(2) + kImgEnable, 1);
    setImage16(imageRecord(2) + kImgSource, 0x8000 | 7);
    setImage16(imageRecord(3) + kImgEnable, 1);
    setImage16(imageRecord(3) + kImgSource, 0x8000 | 200);
    // A display name for source 1 is not used for its crops.
    writeFile(kAliasFile, R"({"namelist":{"source":[{"id":1,"valid":"on","name":"Stage"}]}})");
    standby();
    EXPECT_EQ(text(1, "name"), "HDMI1_Crop2");
    EXPECT_EQ(text(1, "status"), "960x540@60Hz");
    EXPECT_EQ(text(2, "name"), "HDMI2_Crop3");
    EXPECT_EQ(text(2, "status"), "640x360@30Hz");
    for (int image : {3, 4}) {
        EXPECT_EQ(text(image, "name"), "DVI");
        EXPECT_EQ(text(image, "status"), "1280x720@50Hz");
    }
}

TEST_F(StandbyScreen, LedOffWordAndOutputBitsGiveBlackAndTheFreezeMark)
{
    setImage16(imageRecord(1) + kImgEnable, 1);
    setImage16(imageRecord(1) + kImgOutput, kOutFreeze);
    setImage16(imageRecord(2) + kImgEnable, 1);
    setImage16(imageRecord(2) + kImgOutput, kOutBlack | kOutFreeze);
    setImage16(kLedOff, 1);
    standby();
    for (int image : {1, 2, 3})
        EXPECT_EQ(text(image, "status"), "Black") << image;
    EXPECT_EQ(text(4, "status"), "Close");
    EXPECT_FALSE(marked(1, "freeze"));
    EXPECT_TRUE(marked(2, "freeze"));
    EXPECT_TRUE(marked(3, "freeze"));

    setImage16(kLedOff, 2);
    refresh();
    EXPECT_EQ(text(1, "status"), "1920x1080@60Hz");
    EXPECT_EQ(text(3, "status"), "Black");
    for (int image : {1, 2, 3})
        EXPECT_TRUE(marked(image, "freeze")) << image;
    EXPECT_FALSE(marked(4, "freeze"));
    EXPECT_EQ(tile(1, "freeze")->property("png").toString(), ":/png/freeze.png");

    setImage16(kLedOff, 0);
    setLanguage(panel::kVietnamese);
    EXPECT_EQ(text(3, "status"), QString::fromUtf8("Quay lại"));
    EXPECT_FALSE(marked(1, "freeze"));
}

TEST_F(StandbyScreen, CurrentMarkValuesAndTheAudioPicture)
{
    g_image_current = 2;
    setImage16(kBrightness, 73);
    setImage16(kContrast, 41);
    setImage16(kLedWidth, 1920);
    setImage16(kLedHeight, 1080);
    setImage16(kAudioImage, 7); // beyond the images: image 1's sound
    setImage16(imageRecord(0) + kImgAudio, 0x8000);
    g_str_ip = QStringLiteral("192.168.0.199");
    standby();
    EXPECT_TRUE(marked(3, "current")) << "image 3 is closed, the mark is there all the same";
    EXPECT_FALSE(marked(1, "current"));
    EXPECT_EQ(label("label_bright")->text(), "73");
    EXPECT_EQ(label("label_contrast")->text(), "41");
    EXPECT_EQ(label("label_input")->text(), "LED size:1920 x 1080");
    EXPECT_EQ(label("label_IPaddr")->text(), "192.168.0.199");
    EXPECT_EQ(label("label_volume_icon")->property("png").toString(), ":/png/volume_open.png");
    EXPECT_TRUE(label("label_volume")->isHidden());
    EXPECT_TRUE(g_lockwindow->findChild<QWidget*>("main_Button")->isHidden());
    const QImage shot = g_lockwindow->grab().toImage();
    EXPECT_EQ(shot.pixelColor(15, 120), QColor("#867AE9")) << "image 1's number";

    // A refresh re-texts what changed, and always the address and the tiles.
    setImage16(kBrightness, 5);
    setImage16(imageRecord(0) + kImgAudio, 0);
    g_str_ip = QStringLiteral("10.0.0.2");
    g_image_current = 0;
    refresh();
    EXPECT_EQ(label("label_bright")->text(), "5");
    EXPECT_EQ(label("label_volume_icon")->property("png").toString(), ":/png/volume_close.png");
    EXPECT_EQ(label("label_IPaddr")->text(), "10.0.0.2");
    EXPECT_TRUE(marked(1, "current"));
    EXPECT_FALSE(marked(3, "current"));
    // The grid was replaced, not added to.
    refresh();
    EXPECT_EQ(g_lockwindow->findChildren<QFrame*>("frame_image").size(), 1);
    EXPECT_EQ(g_lockwindow->findChildren<QLabel*>("tile1_number").size(), 1);
}

TEST_F(StandbyScreen, DisplayNamesAreShortenedAndShownAsTyped)
{
    setImage16(imageRecord(1) + kImgEnable, 1);
    setImage16(imageRecord(1) + kImgSource, 2);
    writeFile(kAliasFile, R"({"namelist":{"source":[
        {"id":1,"valid":"on","name":"<b>St</b> & %1"},
        {"id":2,"valid":"on","name":"A display name far too long for the tile of the standby screen"}]}})");
    standby();
    QLabel* name1 = tile(1, "name");
    EXPECT_EQ(name1->text(), "<b>St</b> & %1"); // short enough for the label
    EXPECT_EQ(name1->textFormat(), Qt::PlainText);
    const QString shortened = text(2, "name");
    EXPECT_TRUE(shortened.startsWith("A display name")) << shortened.toStdString();
    EXPECT_TRUE(shortened.endsWith(QChar(0x2026))) << shortened.toStdString();
    EXPECT_LE(QFontMetrics(tile(2, "name")->font()).horizontalAdvance(shortened), 206);
    EXPECT_LE(QFontMetrics(tile(2, "name")->font()).horizontalAdvance(shortened), tile(2, "name")->width())
        << "the ellipsis shows, not a letter cut in two";

    // The PC sends another file: its names show at the refresh its end brings.
    writeFile(kAliasFile, R"({"namelist":{"source":[{"id":1,"valid":"off","name":"Stage"}]}})");
    refresh(kChangeTransferEnd);
    EXPECT_EQ(text(1, "name"), "HDMI1");
    EXPECT_EQ(text(2, "name"), "HDMI2");
}

TEST_F(StandbyScreen, TouchesOnTheTopLineAndTilesLeaveThoseOnTheValuesRowDoNot)
{
    standby();
    for (QPoint valueRow : {QPoint(35, 50), QPoint(15, 52), QPoint(160, 50), QPoint(265, 52)}) {
        touchAt(valueRow);
        EXPECT_EQ(g_page_focus.load(), kPageLockWindow) << valueRow.x();
        ASSERT_NE(g_lockwindow, nullptr);
    }
    EXPECT_EQ(g_lockwindow->childAt(35, 50), label("label_bright"));
    touchAt(QPoint(80, 74 + 20)); // the name of image 1
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_lockwindow, nullptr);

    QPointer<LockWindow> second = standby();
    touchAt(QPoint(60, 20)); // the LED size
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(second.isNull());

    standby();
    g_lockwindow->on_main_Button_clicked();
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
}

TEST_F(StandbyScreen, KeysLeaveGoToTheUserModesOrActOnTheImages)
{
    standby();
    // A global key puts DVI on image 1; the scaler's change signal redraws.
    setTiming(0, 1280, 720, 50);
    key(g_lockwindow, 'J');
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 0);
    EXPECT_EQ(request(), 1);
    refresh();
    EXPECT_EQ(text(1, "name"), "DVI");
    EXPECT_EQ(text(1, "status"), "1280x720@50Hz");
    key(g_lockwindow, panel::kKeyLeft);
    key(g_lockwindow, panel::kKeyBack);
    EXPECT_EQ(g_page_focus.load(), kPageLockWindow);

    // Locked: the mode key does nothing, OK still leaves.
    setImage16(kPanelLock, 1);
    key(g_lockwindow, panel::kKeyModeLetter);
    EXPECT_EQ(g_custommode, nullptr);
    ASSERT_NE(g_lockwindow, nullptr);
    key(g_lockwindow, panel::kKeyOk);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_TRUE(window->isVisible());

    setImage16(kPanelLock, 0);
    standby();
    key(g_lockwindow, panel::kKeyMode);
    EXPECT_EQ(g_lockwindow, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);
}

TEST_F(StandbyScreen, EachKeyWritesItsDebugLines)
{
    standby();
    DebugLines log;
    // A press writes only for the function codes of OK and back.
    key(g_lockwindow, panel::kKeyLeft);
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x1000033",
                              "this is left-code [LockWindow][Release]"}));
    key(g_lockwindow, panel::kKeyRightLetter);
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x52",
                              "this is right-code [LockWindow][Release]"}));
    key(g_lockwindow, panel::kKeyBack);
    EXPECT_EQ(log.take(), QStringList({"this is back button[LockWindow][Press]",
                              "in LockWindow keyReleaseEvent event 0x10000b7", "this is back button[LockWindow][Release]"}));
    key(g_lockwindow, panel::kKeyBackLetter);
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x4f",
                              "this is back button[LockWindow][Release]"}));
    key(g_lockwindow, 'N'); // a global key: the entry line only
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x4e"}));
    // The mode key's line comes before the panel lock drops it.
    setImage16(kPanelLock, 1);
    key(g_lockwindow, panel::kKeyMode);
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x1000063",
                              "this is mode-code [LockWindow][Release]"}));
    ASSERT_NE(g_lockwindow, nullptr);

    key(g_lockwindow, panel::kKeyOk);
    const QStringList ok = log.take();
    ASSERT_EQ(ok.size(), 3) << ok.join(" | ").toStdString();
    EXPECT_TRUE(ok[0].startsWith("this is OK button[LockWindow], addr = (g_page_focus) ")) << ok[0].toStdString();
    EXPECT_EQ(ok[1], "in LockWindow keyReleaseEvent event 0x1000035");
    EXPECT_EQ(ok[2], "this is ok button[LockWindow][Release]");

    standby();
    log.take();
    key(g_lockwindow, panel::kKeyOkLetter);
    EXPECT_EQ(log.take(), QStringList({"in LockWindow keyReleaseEvent event 0x51",
                              "this is ok button[LockWindow][Release]"}));
}

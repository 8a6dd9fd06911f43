// The image layout screen: the tab of the image shown, stepping through
// images 1-4 (which become the image the keys act on), the lines and fields
// of an image, its mirror icons and dot-by-dot state, and the ways off it.
#include "tests/support/panel_fixture.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

#include "ui/image/alias.h"
#include "ui/image/custommode.h"
#include "ui/image/imagelayout.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/option.h"

using namespace ram;
using paneltest::key;

namespace {

class Layout : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        for (int i = 0; i < 4; ++i) {
            const int r = imageRecord(i);
            setImage16(r + kImgEnable, 1);
            setImage16(r + kImgSource, uint16_t(i));
            setImage16(r + kImgMirror, 0);
            setImage16(r + kImgOutput, 0);
            setImage16(r + kImgDotMode, 0);
            setImage16(r + kImgX, uint16_t(100 * i));
            setImage16(r + kImgY, uint16_t(10 * i));
            setImage16(r + kImgWidth, 960);
            setImage16(r + kImgHeight, 540);
        }
        takeSnapshot();
    }

    // Shown as the settings menu shows it, without its nested loop.
    ImageLayout* open()
    {
        mainWindow();
        g_imagelayout = new ImageLayout(nullptr);
        g_page_focus = kPageImageLayout;
        g_imagelayout->show();
        return g_imagelayout;
    }
    template <class W = QLabel>
    W* part(const char* name) const
    {
        return g_imagelayout->findChild<W*>(QLatin1String(name));
    }
    QString text(const char* name) const { return part(name)->text(); }
    QString field(const char* name) const { return part<QLineEdit>(name)->text(); }
    int dotByDot() const { return part<QComboBox>("comboBox_P2P")->currentIndex(); }
    QString mirrorPicture(int n) const
    {
        return part(QStringLiteral("mirror%1").arg(n).toLatin1().constData())->property("png").toString();
    }
    // Steps to image `i` the short way (the screen redraws only on a step).
    void show(int i)
    {
        while (g_image_current.load() != i)
            key(g_imagelayout, (g_image_current.load() + 4 - i) % 4 <= 2 ? panel::kKeyLeft : panel::kKeyRight);
    }
};

} // namespace

TEST_F(Layout, StepsThroughFourImagesAndMakesTheShownOneCurrent)
{
    g_image_current = 2;
    open();
    EXPECT_EQ(part<QFrame>("frame_image")->geometry(), QRect(109, 39, 51, 49));
    EXPECT_EQ(text("image_name"), "Name:Image3");
    EXPECT_FALSE(part("label5")->isVisibleTo(g_imagelayout));
    EXPECT_TRUE(part("label4")->isVisibleTo(g_imagelayout));

    setImage16(imageRecord(3) + kImgEnable, 0);
    setImage16(imageRecord(0) + kImgEnable, 2); // any non-zero word is on
    codes.clear();
    // A closed image is shown and stays current: the refresh the step
    // raises leaves the current image alone on this page.
    key(g_imagelayout, panel::kKeyRight);
    EXPECT_EQ(g_image_current.load(), 3);
    EXPECT_EQ(text("image_state"), "Image state:OFF");
    EXPECT_EQ(part<QFrame>("frame_image")->geometry(), QRect(160, 39, 51, 49));
    key(g_imagelayout, 'R');
    EXPECT_EQ(g_image_current.load(), 0);
    EXPECT_EQ(part<QFrame>("frame_image")->geometry(), QRect(7, 39, 51, 49));
    EXPECT_EQ(text("image_state"), "Image state:ON");
    EXPECT_EQ(codes, (std::vector<int>{kChangeRefresh, kChangeRefresh}));
    key(g_imagelayout, panel::kKeyLeft);
    EXPECT_EQ(g_image_current.load(), 3);
    EXPECT_EQ(text("image_name"), "Name:Image4");
    key(g_imagelayout, 'R');
    key(g_imagelayout, 'R');
    EXPECT_EQ(text("image_name"), "Name:Image2");
    EXPECT_EQ(part<QFrame>("frame_image")->geometry(), QRect(58, 39, 51, 49));

    // OK does nothing; the global image keys move no marker here.
    codes.clear();
    key(g_imagelayout, panel::kKeyOk);
    key(g_imagelayout, 'E'); // image 3 for the keys
    EXPECT_EQ(g_image_current.load(), 2);
    EXPECT_EQ(part<QFrame>("frame_image")->geometry(), QRect(58, 39, 51, 49));
    EXPECT_EQ(g_page_focus.load(), kPageImageLayout);
}

TEST_F(Layout, ImageLinesFieldsMirrorsAndDotByDot)
{
    // Image 2 shows a crop of HDMI2: its input is named.
    setImage16(cropEntry(3) + kCropId, 0x8000 | 2);
    setImage16(imageRecord(1) + kImgSource, 0x8003);
    setImage16(imageRecord(1) + kImgX, 40000);
    setImage16(imageRecord(1) + kImgMirror, 2);
    setImage16(imageRecord(1) + kImgOutput, kOutDotByDot);
    setImage16(imageRecord(1) + kImgDotMode, 8);
    writeFile(kAliasFile, R"({"namelist":{"win":[{"id":0,"valid":"on","name":"Main window with a very long display name"},
        {"id":2,"valid":"on","name":"PIP"}]}})");
    g_image_current = 0;
    open();
    // A fresh screen on attribute 0 lights the first icon.
    EXPECT_EQ(mirrorPicture(1), ":/png/mirror1_on.png");
    EXPECT_EQ(mirrorPicture(2), ":/png/mirror2_off.png");
    const QString name = text("image_name");
    EXPECT_TRUE(name.startsWith("Name:Main window")) << name.toStdString();
    EXPECT_TRUE(name.endsWith(QChar(0x2026))) << name.toStdString();
    EXPECT_LE(QFontMetrics(part("image_name")->font()).horizontalAdvance(name), 120);
    EXPECT_EQ(text("image_source"), "Source:DVI");
    EXPECT_EQ(dotByDot(), 0);

    show(1);
    EXPECT_EQ(text("image_name"), "Name:Image2");
    EXPECT_EQ(text("image_source"), "Source:HDMI2");
    EXPECT_EQ(field("lineEdit_X"), "40000");
    EXPECT_EQ(field("lineEdit_Y"), "10");
    EXPECT_EQ(field("lineEdit_W"), "960");
    EXPECT_EQ(field("lineEdit_H"), "540");
    EXPECT_EQ(mirrorPicture(3), ":/png/mirror3_on.png");
    for (int n : {1, 2, 4})
        EXPECT_EQ(mirrorPicture(n), QStringLiteral(":/png/mirror%1_off.png").arg(n));
    EXPECT_EQ(dotByDot(), 2);
    show(2);
    EXPECT_EQ(text("image_name"), "Name:PIP");
    EXPECT_EQ(text("image_source"), "Source:HDMI2");

    // Mode 9, 0, an unknown mode, the bit clear (mode ignored); an unknown
    // mode and a mirror attribute past 3 leave what image 3 set.
    setImage16(imageRecord(2) + kImgOutput, kOutDotByDot);
    setImage16(imageRecord(2) + kImgDotMode, 9);
    setImage16(imageRecord(2) + kImgMirror, 2);
    const struct {
        uint16_t output, mode, mirror;
        int index;
        int lit;
    } cases[] = {{kOutDotByDot, 0, 1, 1, 2}, {kOutDotByDot, 5, 7, 3, 3}, {0, 8, 3, 0, 4}};
    for (const auto& c : cases) {
        setImage16(imageRecord(1) + kImgOutput, c.output);
        setImage16(imageRecord(1) + kImgDotMode, c.mode);
        setImage16(imageRecord(1) + kImgMirror, c.mirror);
        show(1);
        EXPECT_EQ(dotByDot(), c.index) << c.mode;
        EXPECT_EQ(mirrorPicture(c.lit), QStringLiteral(":/png/mirror%1_on.png").arg(c.lit)) << c.mirror;
        show(2);
    }

    // A PC change alone redraws nothing; a language change redraws all.
    setImage16(imageRecord(2) + kImgWidth, 1280);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(field("lineEdit_W"), "960");
    store->ram_para[kLanguage] = panel::kRussian;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(field("lineEdit_W"), "1280");
    EXPECT_EQ(text("label_title"), QString::fromUtf8("Расположение"));
    EXPECT_EQ(text("image_state"), QString::fromUtf8("Состояние:Вкл"));
    EXPECT_EQ(text("image_source"), QString::fromUtf8("Источник:HDMI2"));
    // The dot-by-dot items keep the language the screen was built in.
    EXPECT_EQ(part<QComboBox>("comboBox_P2P")->itemText(2), "HD3,HD4 Hor");
}

TEST_F(Layout, TheDotByDotEntriesFitTheRoomTheirComboLeavesThemInEveryLanguage)
{
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        open();
        QComboBox* combo = part<QComboBox>("comboBox_P2P");
        const QFontMetrics metrics(combo->font());
        EXPECT_GE(combo->font().pointSize(), 6) << language;
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)), panel::combo_text_room(combo))
                << language << " " << combo->itemText(i).toStdString();
        closeAllScreens();
    }
}

TEST_F(Layout, FreshScreenOnAnAttributePastThreeKeepsThePlaceholders)
{
    setImage16(imageRecord(0) + kImgMirror, 5);
    g_image_current = 0;
    g_language = panel::kChinese;
    open();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(part(QStringLiteral("mirror%1").arg(n).toLatin1().constData())->text(), "TextLabel");
        EXPECT_FALSE(part(QStringLiteral("mirror%1").arg(n).toLatin1().constData())->property("png").isValid());
    }
    EXPECT_EQ(text("image_state"), QString::fromUtf8("画面状态:开启"));
    EXPECT_EQ(text("image_name"), QString::fromUtf8("画面名称:画面1"));
    // In Chinese; the entry is shortened where its combo is too narrow for it.
    EXPECT_TRUE(part<QComboBox>("comboBox_P2P")->itemText(3).startsWith(QString::fromUtf8("HD3,HD4垂直")));
}

TEST_F(Layout, BackAndTheModeKey)
{
    mainWindow();
    ModalDriver drive;
    drive
        .then([&] {
            // From the settings menu: the ring's third item.
            key(g_option, panel::kKeyRight);
            key(g_option, panel::kKeyRight);
            key(g_option, panel::kKeyOk);
        })
        .then([&] {
            ASSERT_NE(g_imagelayout, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageImageLayout);
            key(g_imagelayout, panel::kKeyBack);
            EXPECT_EQ(g_imagelayout, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageOption);
            key(g_option, panel::kKeyOk);
        })
        .then([&] {
            // Locked: the mode key is dropped, the steps still work.
            setImage16(kPanelLock, 1);
            key(g_imagelayout, panel::kKeyMode);
            EXPECT_NE(g_imagelayout, nullptr);
            EXPECT_EQ(g_custommode, nullptr);
            key(g_imagelayout, panel::kKeyRight);
            EXPECT_EQ(g_image_current.load(), 1);
            setImage16(kPanelLock, 0);
            key(g_imagelayout, panel::kKeyModeLetter);
            EXPECT_EQ(g_imagelayout, nullptr);
            EXPECT_EQ(g_option, nullptr);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    ASSERT_NE(g_custommode, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);
}

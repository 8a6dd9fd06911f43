// The user-mode screen on a prepared store: stepping through the slots,
// the two focus levels, invoking and deleting a mode, the slot lines, the
// preview of a slot's images and of its OSD menu, and the ways back.
#include "tests/support/panel_fixture.h"

#include <QComboBox>
#include <cstring>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "platform/shell.h"
#include "scaler/omenu.h"
#include "ui/image/alias.h"
#include "ui/image/custommode.h"
#include "ui/image/vyxcontrol.h"
#include "ui/shell/lockwindow.h"

using namespace ram;
using paneltest::key;

namespace {

constexpr const char* kModeFocused =
    "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 171, 84);";
constexpr const char* kModeUnfocused =
    "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";

// A menu copy as the PC sends it, with three lines more than are shown.
constexpr const char* kModeMenuSample = R"({ "name": "MO0a", "osdcount": 1, "oactcount": 1,
  "menu": [ { "type": 0, "status": "on", "pos": { "x": 10, "y": 20, "w": 640, "h": 64 },
              "act": { "effect": 4, "speed": 3, "staytime": 0 },
              "backpara": { "enable": "on", "color": "0x102030" },
              "fontpara": { "startx": 5, "starty": 6, "fontw": 32, "fonth": 32, "wordspace": 2,
                            "verticalspace": 4, "color": "0xFFFF00" },
              "texts": "line1\nline2\nline3\nline4\nline5" } ] })";

class UserModes : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        setImage16(kCurrentMode, 0);
        takeSnapshot();
    }

    // Slot `slot` saved: the live settings, with these changes.
    void saveMode(int slot)
    {
        fillShared(store->user_mode[slot], kMarkerSaved, 2);
        copyShared(store->user_mode[slot] + kSlotData, store->ram_para + kModeStart, kModeLength);
    }
    void setSlot16(int slot, int addr, uint16_t v) { putLe16(store->user_mode[slot] + slotOffset(addr), v); }
    uint16_t slot16(int slot, int addr) const { return le16(store->user_mode[slot] + slotOffset(addr)); }

    CustomMode* fromMainWindow()
    {
        mainWindow()->on_custommode_clicked();
        return g_custommode;
    }
    CustomMode* byModeKey()
    {
        key(mainWindow(), panel::kKeyMode);
        return g_custommode;
    }
    void keys(const char* letters)
    {
        for (const char* k = letters; *k; ++k)
            key(g_custommode, *k);
    }

    template <class W = QLabel>
    W* part(const char* name) const
    {
        return g_custommode->findChild<W*>(QLatin1String(name));
    }
    QString text(const char* name) const { return part(name)->text(); }
    bool shown(const char* name) const { return !part<QWidget>(name)->isHidden(); }
    bool focused(const char* button) const { return part<QPushButton>(button)->styleSheet() == kModeFocused; }
    QWidget* preview() const { return g_custommode->findChild<QWidget*>(QStringLiteral("preview")); }
    QString previewText(const char* name) const
    {
        QLabel* l = preview() ? preview()->findChild<QLabel*>(QLatin1String(name)) : nullptr;
        return l ? l->text() : QStringLiteral("-");
    }
    QString selectorStyle() const { return g_custommode->findChild<vyxcontrol*>()->list->styleSheet(); }
};

} // namespace

TEST_F(UserModes, InvokeCopiesTheSlotIntoTheLiveSettingsOnly)
{
    saveMode(2);
    for (int i = kSlotData; i < kSlotData + kModeLength; ++i)
        store->user_mode[2][i] = uint8_t(i * 7 + 3);
    fromMainWindow();
    uint8_t before[kImageSize];
    std::memcpy(before, store->ram_para, kImageSize);

    keys("RRQQ");
    EXPECT_EQ(text("label_ID"), "ID:3");
    EXPECT_EQ(store->ram_para[kCurrentMode], 3);
    EXPECT_EQ(store->ram_para[kCurrentMode + 1], 0);
    EXPECT_EQ(0, std::memcmp(store->ram_para + kModeStart, store->user_mode[2] + kSlotData, kModeLength));
    EXPECT_EQ(0, std::memcmp(store->ram_para, before, kCurrentMode));
    EXPECT_EQ(0, std::memcmp(store->ram_para + 868, before + 868, kModeStart - 868));
    EXPECT_EQ(request(), 1);
    // Back at the selector, nothing focused; the badge shows from the next move.
    EXPECT_FALSE(focused("Button_use"));
    EXPECT_FALSE(shown("label_using"));
    keys("RS");
    EXPECT_TRUE(shown("label_using"));

    // An empty slot is neither invoked nor entered.
    serveRequest();
    keys("RQQ");
    EXPECT_EQ(text("label_ID"), "ID:4");
    EXPECT_EQ(request(), 0);
    EXPECT_EQ(image16(kCurrentMode), 3);
    part<QPushButton>("Button_use")->click(); // a touch on a hidden button
    EXPECT_EQ(request(), 0);
}

TEST_F(UserModes, SelectorWrapsAndTheActionRowHasTwoOrThreeButtons)
{
    fromMainWindow();
    EXPECT_EQ(text("label_ID"), "ID:1");
    key(g_custommode, panel::kKeyLeft);
    EXPECT_EQ(text("label_ID"), "ID:16");
    QComboBox* list = g_custommode->findChild<QComboBox*>("vyxcontrol");
    EXPECT_EQ(list->currentIndex(), 15);
    EXPECT_EQ(list->focusPolicy(), Qt::NoFocus); // the keys stay with the screen
    EXPECT_EQ(g_mode_select.load(), 15);
    keys("R");
    EXPECT_EQ(text("label_ID"), "ID:1");

    // Empty: the notice, no buttons, no preview; OK stays at the selector.
    EXPECT_TRUE(shown("label_blank"));
    EXPECT_EQ(text("label_blank"), "Usermode does not exist");
    for (const char* b : {"Button_use", "Button_delete", "Button_more"})
        EXPECT_FALSE(shown(b)) << b;
    EXPECT_EQ(preview(), nullptr);
    keys("QR");
    EXPECT_EQ(text("label_ID"), "ID:2");
    const QString normalLook = selectorStyle();

    // With its OSD menu: Invoke, Delete, More, round again.
    setImage16(kOsdOn, 1);
    saveMode(2);
    keys("R");
    EXPECT_TRUE(shown("Button_more"));
    EXPECT_FALSE(shown("label_blank"));
    keys("Q");
    EXPECT_TRUE(focused("Button_use"));
    EXPECT_TRUE(selectorStyle().contains("rgb(71,119,255)"));
    keys("R");
    EXPECT_TRUE(focused("Button_delete"));
    EXPECT_FALSE(focused("Button_use"));
    keys("R");
    EXPECT_TRUE(focused("Button_more"));
    keys("R");
    EXPECT_TRUE(focused("Button_use"));
    EXPECT_EQ(part<QPushButton>("Button_more")->styleSheet(), kModeUnfocused);
    // Back leaves the row alone, the screen stays.
    keys("O");
    EXPECT_EQ(selectorStyle(), normalLook);
    EXPECT_FALSE(focused("Button_use"));
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    keys("R");
    EXPECT_EQ(text("label_ID"), "ID:4");

    // Without: Invoke and Delete only, both ways round.
    setImage16(kOsdOn, 0);
    saveMode(4);
    keys("RQ");
    EXPECT_FALSE(shown("Button_more"));
    keys("R");
    EXPECT_TRUE(focused("Button_delete"));
    keys("R");
    EXPECT_TRUE(focused("Button_use"));
    keys("S");
    EXPECT_TRUE(focused("Button_delete"));
    EXPECT_EQ(request(), 0);
}

TEST_F(UserModes, SlotLinesReadTheSlotCopy)
{
    auto prepare = [&](int slot) {
        saveMode(slot);
        setSlot16(slot, kLedWidth, 1920);
        setSlot16(slot, kLedHeight, 1080);
        setSlot16(slot, kBrightness, 80);
        setSlot16(slot, kContrast, 50);
        setSlot16(slot, kAudioImage, 1);
        setSlot16(slot, imageRecord(1) + kImgAudio, 0x8000);
    };
    prepare(2);
    prepare(3);
    setSlot16(3, imageRecord(1) + kImgAudio, 0x7FFF);
    // Audio images past the 16 records: sound off, whatever the records
    // (and whatever lies past the slot) hold.
    prepare(14);
    prepare(15);
    for (int slot : {14, 15})
        for (int w = 0; w < kImageRecordCount; ++w)
            setSlot16(slot, imageRecord(w) + kImgAudio, 0xFFFF);
    setSlot16(14, kAudioImage, 16);
    setSlot16(15, kAudioImage, 0x12FF); // only the low byte counts: 255
    writeFile(kAliasFile, R"({"namelist":{"usermode":[{"id":3,"valid":"on","name":"Stage"},
        {"id":14,"valid":"on","name":"Evening show with a very long name indeed"}]}})");
    setImage16(kCurrentMode, 3);

    fromMainWindow();
    EXPECT_EQ(text("label_ID"), "ID:3");
    EXPECT_EQ(text("label_name"), "Name:Mode3");
    EXPECT_EQ(text("label_LED"), "LED size:1920x1080");
    EXPECT_EQ(text("label_brightness"), "Bri:80 CTRST:50 Volume:ON");
    EXPECT_TRUE(shown("label_using"));
    EXPECT_EQ(part<QPushButton>("Button_more")->text(), "More");
    keys("R");
    EXPECT_EQ(text("label_name"), "Name:Stage");
    EXPECT_EQ(text("label_brightness"), "Bri:80 CTRST:50 Volume:OFF");
    EXPECT_FALSE(shown("label_using"));
    keys("SSSS");
    EXPECT_EQ(text("label_ID"), "ID:16");
    EXPECT_EQ(text("label_brightness"), "Bri:80 CTRST:50 Volume:OFF");
    keys("S");
    EXPECT_EQ(text("label_ID"), "ID:15");
    EXPECT_EQ(text("label_brightness"), "Bri:80 CTRST:50 Volume:OFF");
    const QString longName = text("label_name");
    EXPECT_TRUE(longName.startsWith("Name:Evening")) << longName.toStdString();
    EXPECT_TRUE(longName.endsWith(QChar(0x2026))) << longName.toStdString();
    QLabel* name = part("label_name");
    EXPECT_LE(QFontMetrics(name->font()).horizontalAdvance(longName), 171);
    // An empty slot keeps its name line.
    keys("RR");
    EXPECT_EQ(text("label_ID"), "ID:1");
    EXPECT_EQ(text("label_name"), "Name:Mode1");
    EXPECT_FALSE(shown("label_LED"));
    EXPECT_FALSE(shown("label_brightness"));
    closeAllScreens();

    // The other languages, as the screen is built in them.
    const struct {
        int language;
        const char* led;
        const char* level;
        const char* name;
        const char* invoke;
    } lines[] = {
        {panel::kChinese, "LED参数:1920x1080", "亮度:80 对比度:50 音量:开启", "名称:用户模式3", "调用"},
        {panel::kRussian, "Размер LED:1920x1080", "Яркость:80 Контраст:50 Громкость:Вкл", "Название:Слот3", "Вызвать"},
        {panel::kVietnamese, "Kích thước LED:1920x1080", "Độ sáng:80 Tương phản:50 Âm:Mở", "Tên:Chế độ3", "Dùng"},
        {panel::kTraditional, "LED參數:1920x1080", "亮度:80 對比度:50 音量:開啟", "名稱:用戶模式3", "調用"},
    };
    for (const auto& l : lines) {
        g_language = uint8_t(l.language);
        fromMainWindow();
        EXPECT_EQ(text("label_LED"), QString::fromUtf8(l.led));
        EXPECT_EQ(text("label_brightness"), QString::fromUtf8(l.level));
        EXPECT_EQ(text("label_name"), QString::fromUtf8(l.name));
        EXPECT_EQ(part<QPushButton>("Button_use")->text(), QString::fromUtf8(l.invoke));
        closeAllScreens();
    }
}

TEST_F(UserModes, DeleteRemovesTheModeAndItsMenuCopyAndKeepsTheCurrentMode)
{
    setImage16(kOsdOn, 1);
    saveMode(4);
    ASSERT_EQ(store->mode_file_write(4, 1), 1);
    writeFile("/data/modes/MO05.json", kModeMenuSample);
    setImage16(kCurrentMode, 5);
    platform::simShell().clearLog();

    fromMainWindow();
    EXPECT_EQ(text("label_ID"), "ID:5");
    EXPECT_TRUE(shown("label_using"));
    keys("QRQ");
    const std::vector<std::string> expected = {
        "rm  -rf  /data/modes/custom_mode5", "rm  -rf  /data/modes/MO05.json", "sync"};
    EXPECT_EQ(platform::simShell().log(), expected);
    EXPECT_FALSE(exists("/data/modes/custom_mode5"));
    EXPECT_FALSE(exists("/data/modes/MO05.json"));
    EXPECT_EQ(store->user_mode[4][0], 0xFF);
    EXPECT_EQ(store->user_mode[4][1], 0xFF);
    EXPECT_TRUE(shown("label_blank"));
    EXPECT_EQ(text("label_blank"), "Usermode does not exist");
    EXPECT_FALSE(shown("Button_use"));
    EXPECT_FALSE(shown("label_using"));
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(image16(kCurrentMode), 5);
    EXPECT_EQ(request(), 0);

    // Nothing more to delete there.
    platform::simShell().clearLog();
    part<QPushButton>("Button_delete")->click();
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(UserModes, BackLeadsWhereTheScreenWasOpenedFrom)
{
    saveMode(0);
    byModeKey();
    ASSERT_NE(g_custommode, nullptr);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);
    keys("QO"); // the first back leaves the action row only
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    keys("O");
    EXPECT_EQ(g_custommode, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLockWindow);
    EXPECT_EQ(g_mode_shortcut_key.load(), 0);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_TRUE(g_lockwindow->isVisible());
    closeAllScreens();
    paneltest::flushDeferredDeletes();

    QPointer<CustomMode> screen = fromMainWindow();
    keys("O");
    EXPECT_EQ(g_custommode, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_lockwindow, nullptr);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(screen.isNull());
}

TEST_F(UserModes, ImageListShowsImagesOneToFourOfTheSlot)
{
    saveMode(6);
    for (int k = 0; k < 4; ++k)
        setSlot16(6, imageRecord(k) + kImgEnable, 0);
    setSlot16(6, imageRecord(0) + kImgEnable, 1);
    setSlot16(6, imageRecord(0) + kImgSource, 0);
    for (int addr : {kImgX, kImgY, kImgWidth, kImgHeight})
        setSlot16(6, imageRecord(0) + addr, 0);
    setSlot16(6, imageRecord(0) + kImgWidth, 40000); // shown unsigned
    // Image 3 on crop entry 4, which the slot's own table gives source 1
    // (the live table says otherwise).
    setSlot16(6, imageRecord(2) + kImgEnable, 1);
    setSlot16(6, imageRecord(2) + kImgSource, 0x8004);
    setSlot16(6, cropEntry(4) + kCropId, 0x8000 | 2 << 8 | 1);
    setImage16(cropEntry(4) + kCropId, 0x8002);
    setSlot16(6, imageRecord(2) + kImgX, 0);
    setSlot16(6, imageRecord(2) + kImgY, 0);
    setSlot16(6, imageRecord(2) + kImgWidth, 1920);
    setSlot16(6, imageRecord(2) + kImgHeight, 1080);
    setSlot16(6, imageRecord(1) + kImgSource, 9); // no such input
    setSlot16(6, imageRecord(3) + kImgSource, 3);
    setImage16(kCurrentMode, 7);

    fromMainWindow();
    ASSERT_NE(preview(), nullptr);
    EXPECT_EQ(preview()->geometry(), QRect(3, 61, 285, 90));
    EXPECT_EQ(previewText("image1_source"), "DVI ON");
    EXPECT_EQ(previewText("image1_rect"), "[0,0]40000x0");
    EXPECT_EQ(previewText("image2_source"), " OFF");
    EXPECT_EQ(previewText("image3_source"), "HDMI1_Crop5 ON");
    EXPECT_EQ(previewText("image3_rect"), "[0,0]1920x1080");
    EXPECT_EQ(previewText("image4_source"), "HDMI3 OFF");
    EXPECT_EQ(previewText("image5_source"), "-");
    QLabel* chip = preview()->findChild<QLabel*>("image3_chip");
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->text(), "3");
    EXPECT_EQ(chip->styleSheet(), "background-color: #FC9D79;");
    EXPECT_EQ(chip->geometry(), QRect(145, 2, 24, 24));
    EXPECT_EQ(preview()->findChild<QLabel*>("image2_rect")->geometry(), QRect(24, 46, 140, 12));

    // The chip colours past the listed images.
    QLabel probe;
    g_custommode->color_fill(&probe, 4);
    EXPECT_EQ(probe.styleSheet(), "background-color: #32CC4C;");
    g_custommode->color_fill(&probe, 5);
    EXPECT_EQ(probe.styleSheet(), "background-color: #4777FF;");
    g_custommode->color_fill(&probe, 200);
    EXPECT_EQ(probe.styleSheet(), "background-color: #CCCCCC;");

    // A rebuild from a key that reached the screen through one of the
    // preview's own labels: the old panel is hidden at once, deleted later.
    QPointer<QWidget> old = preview();
    key(chip, panel::kKeyRight);
    EXPECT_EQ(text("label_ID"), "ID:8");
    ASSERT_FALSE(old.isNull());
    EXPECT_TRUE(old->isHidden());
    EXPECT_EQ(preview(), nullptr); // slot 8 is empty
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(old.isNull());
}

TEST_F(UserModes, MorePageShowsTheSlotsMenuCopy)
{
    setImage16(kOsdOn, 1);
    saveMode(9);
    setImage16(kCurrentMode, 10);
    // Only the slot's own copy (mode 10: "0a") is read.
    writeFile("/data/modes/MO10.json", kModeMenuSample);
    fromMainWindow();
    keys("QRR");
    ASSERT_TRUE(focused("Button_more"));
    EXPECT_EQ(previewText("osd_info"),
        "osd [x:0,y:0,w:0,h:0] font size:0*0\nspace [h:0,v:0] char[x:0,y:0] speed:0,effect:static");
    EXPECT_EQ(previewText("osd_text"), "");
    EXPECT_EQ(preview()->findChild<QLabel*>("osd_text")->styleSheet(), "");
    EXPECT_EQ(previewText("image1_source"), "-");

    writeFile("/data/modes/MO0a.json", kModeMenuSample);
    keys("SR");
    EXPECT_EQ(previewText("osd_info"),
        "osd [x:10,y:20,w:640,h:64] font size:32*32\nspace [h:2,v:4] char[x:5,y:6] speed:3,effect:move left");
    EXPECT_EQ(previewText("osd_text"), "line1\nline2\nline3");
    EXPECT_EQ(preview()->findChild<QLabel*>("osd_text")->styleSheet(), "background-color:#102030;color:#FFFF00;");
    EXPECT_EQ(preview()->findChild<QLabel*>("osd_info")->geometry(), QRect(2, 56, 300, 30));
    // Leaving More shows the images again.
    keys("R");
    EXPECT_NE(previewText("image1_source"), "-");
    EXPECT_EQ(previewText("osd_info"), "-");

    // Colours without "0x" read as they stand, anything else sets none; a
    // still effect; three lines or fewer shown whole; Chinese words.
    QByteArray menu(kModeMenuSample);
    menu.replace("0x102030", "FF8000").replace("0xFFFF00", "red;border:9px").replace("\"effect\": 4", "\"effect\": 7");
    menu.replace("line1\\nline2\\nline3\\nline4\\nline5", "a\\n\\nb");
    writeFile("/data/modes/MO0a.json", menu);
    closeAllScreens();
    g_language = panel::kChinese;
    fromMainWindow();
    keys("QRR");
    EXPECT_EQ(previewText("osd_info"), QString::fromUtf8("osd [x:10,y:20,w:640,h:64] 字体大小:32*32\n字-行间距 [h:2,v:4] "
                                                         "字幕坐标[x:5,y:6] 速度:3,特技:静止"));
    EXPECT_EQ(previewText("osd_text"), "a\n\nb");
    EXPECT_EQ(preview()->findChild<QLabel*>("osd_text")->styleSheet(), "background-color:#FF8000;");
}

TEST_F(UserModes, ADamagedMenuCopyCostsOnlyThatCopy)
{
    setImage16(kOsdOn, 1);
    saveMode(9);
    writeFile(kOsdMenuFile, kModeMenuSample);
    writeFile("/data/modes/MO0a.json", "{ \"name\": \"MO0a\", \"osdcount\": 1, \"menu\": [ {");
    platform::simShell().clearLog();
    setImage16(kCurrentMode, 10);
    fromMainWindow();
    keys("QRR");
    EXPECT_EQ(previewText("osd_info"),
        "osd [x:0,y:0,w:0,h:0] font size:0*0\nspace [h:0,v:0] char[x:0,y:0] speed:0,effect:static");
    EXPECT_FALSE(exists("/data/modes/MO0a.json"));
    EXPECT_EQ(readFile(kOsdMenuFile), QByteArray(kModeMenuSample));
    const std::vector<std::string> expected = {"rm -rf /data/modes/MO0a.json"};
    EXPECT_EQ(platform::simShell().log(), expected);
}

// The input crop screen: adding, changing and deleting crops with the keys
// and the number keyboard (the crop table's bytes), the tile pages and their
// wrap, the names of forms and tiles with and without display names, the
// refresh on a change made elsewhere, and the ways out.
#include "tests/ui/image_screen_fixture.h"
#include "tests/ui/frame_pixels.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <vector>

#include "core/ram_map.h"
#include "core/utils.h"
#include "ui/image/alias.h"
#include "ui/image/inputcut.h"
#include "ui/image/sourceinfo.h"

using namespace ram;
using paneltest::key;

namespace {

const char* const kCutTileFocusedStyle = "background-color: #212435;border:1px solid #FFA854;";
const char* const kCutFieldFocusedStyle
    = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);font:10px";

class CropScreen : public ImageScreenTest {
protected:
    void SetUp() override
    {
        ImageScreenTest::SetUp();
        store->VyxCropSourceInit();
    }

    // Crop `number` of `source` in table entry `e`.
    void putCrop(int e, int source, int number, uint16_t x, uint16_t y, uint16_t w, uint16_t h)
    {
        setImage16(cropEntry(e) + kCropId, uint16_t(0x8000 | (number - 1) << 8 | source));
        setImage16(cropEntry(e) + kCropX, x);
        setImage16(cropEntry(e) + kCropY, y);
        setImage16(cropEntry(e) + kCropW, w);
        setImage16(cropEntry(e) + kCropH, h);
    }
    void withCut(Steps steps) { runScreen(g_inputcut, kPageInputCut, std::move(steps)); }
    void keys(const char* sequence) { keysTo(g_inputcut, sequence); }
    QString text(const char* name) const { return textIn(g_inputcut, name); }
    QString tileName(int i) const { return text(QStringLiteral("tile%1_name").arg(i).toLatin1().constData()); }
    bool tileFocused(int i) const
    {
        QFrame* tile = g_inputcut->findChild<QFrame*>(QStringLiteral("tile%1").arg(i));
        return tile && tile->styleSheet() == kCutTileFocusedStyle;
    }
    bool addFocused() const
    {
        return g_inputcut->findChild<QPushButton*>("button_add")->styleSheet() == "border:1px solid rgb(255,171,84);";
    }
    bool formFocused(const char* name) const
    {
        return g_inputcut->findChild<QWidget*>(name)->styleSheet() == kCutFieldFocusedStyle;
    }
    bool formShown() const { return !g_inputcut->findChild<QFrame*>("frame_add")->isHidden(); }
    int tilesShown() const
    {
        int n = 0;
        while (g_inputcut->findChild<QFrame*>(QStringLiteral("tile%1").arg(n)))
            ++n;
        return n;
    }
};

} // namespace

TEST_F(CropScreen, AddChangeAndDeleteACropWithTheKeysAndTheNumberKeyboard)
{
    withCut({
        [&] {
            EXPECT_EQ(g_page_focus.load(), kPageInputCut);
            EXPECT_EQ(text("label_title"), "Input intercept");
            EXPECT_EQ(tilesShown(), 1);
            EXPECT_EQ(tileName(0), "HDMI1");
            keys("QQ"); // the tiles, then the add form
            EXPECT_TRUE(formShown());
            EXPECT_EQ(text("label_change_source"), "Name:HDMI1-Crop-1");
            EXPECT_EQ(text("lineEdit_X") + text("lineEdit_Y") + text("lineEdit_W") + text("lineEdit_H"), "0019201080");
            EXPECT_TRUE(formFocused("lineEdit_X"));
            EXPECT_TRUE(g_inputcut->findChild<QPushButton*>("button_delete")->isHidden());
            keys("SQ"); // left to OK, store
            EXPECT_EQ(bytes(1472, 10), (std::vector<uint8_t>{0x01, 0x80, 0, 0, 0, 0, 0x80, 0x07, 0x38, 0x04}));
            EXPECT_EQ(request(), 1);
            EXPECT_FALSE(formShown());
            EXPECT_TRUE(addFocused());
            EXPECT_EQ(text("sourcelistseq0name"), sourceinfo::get_source_specialstyle1_by_sourceid(1, "HDMI1", 2));
            EXPECT_EQ(tileName(1), "HDMI1_crop1");

            keys("QSQ"); // a second crop
            EXPECT_EQ(image16(cropEntry(1) + kCropId), 0x8101);
            EXPECT_EQ(tilesShown(), 3);

            keys("RR"); // the first crop's tile
            EXPECT_TRUE(tileFocused(1));
            key(g_inputcut, 'Q');
            EXPECT_EQ(text("label_change_source"), "Name:HDMI1-Crop-1");
            EXPECT_FALSE(g_inputcut->findChild<QPushButton*>("button_delete")->isHidden());
            keys("RR");
            EXPECT_TRUE(formFocused("lineEdit_W"));
            serveRequest();
        },
        [&] { key(g_inputcut, 'Q'); }, // the keyboard on W; the next step runs inside it
        typing("1280"),
        [&] {
            EXPECT_EQ(text("lineEdit_W"), "1280");
            EXPECT_EQ(request(), 0); // typed, not stored yet
            keys("SSSQ"); // left to OK, store
            EXPECT_EQ(bytes(1478, 2), (std::vector<uint8_t>{0x00, 0x05}));
            EXPECT_EQ(image16(cropEntry(0) + kCropId), 0x8001);
            EXPECT_TRUE(tileFocused(1)); // back where the form was opened
            EXPECT_EQ(tilesShown(), 3);

            const std::vector<uint8_t> kept = bytes(1474, 8);
            keys("QSSSQ"); // the form again; left X, OK, Cancel, Delete
            EXPECT_EQ(bytes(1472, 2), (std::vector<uint8_t>{0, 0}));
            EXPECT_EQ(bytes(1474, 8), kept);
            EXPECT_EQ(tilesShown(), 2);
            EXPECT_TRUE(tileFocused(1));
            EXPECT_EQ(tileName(1), "HDMI1_crop2");
        },
    });
    EXPECT_EQ(g_inputcut, nullptr);
}

TEST_F(CropScreen, TheFormsStoreOnlySigned16BitNumbersAnyOtherTextAs0)
{
    auto field = [](const char* name) { return g_inputcut->findChild<QLineEdit*>(name); };
    withCut({
        [&] { keys("QQRRQ"); }, // HDMI1's add form, the keyboard on W
        typing("40000"),
        [&] {
            field("lineEdit_X")->setText("-1");
            field("lineEdit_Y")->setText("x");
            field("lineEdit_H")->setText("32767");
            keys("RRRQ"); // H, Cancel, OK: store
            EXPECT_EQ(bytes(cropEntry(0), 10), (std::vector<uint8_t>{0x01, 0x80, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0x7F}));

            keys("RRQ"); // the crop's tile, its edit form
            ASSERT_TRUE(formShown());
            field("lineEdit_X")->setText("70000");
            field("lineEdit_Y")->setText("12");
            field("lineEdit_W")->setText("32768");
            field("lineEdit_H")->setText("-32768");
            keys("SQ"); // left to OK
            EXPECT_EQ(bytes(cropEntry(0), 10), (std::vector<uint8_t>{0x01, 0x80, 0, 0, 12, 0, 0, 0, 0x00, 0x80}));
        },
    });
}

TEST_F(CropScreen, SevenTilesPageAndWrapAndTheFormsSkipOrPassDelete)
{
    for (int n = 1; n <= 6; ++n)
        putCrop(n - 1, 1, n, uint16_t(10 * n), 0, 100, 100);
    store->VyxCropSourceInit();
    withCut({[&] {
        key(g_inputcut, 'Q');
        EXPECT_TRUE(addFocused());
        key(g_inputcut, 'S'); // from the add button to the last tile: page 2, alone
        EXPECT_EQ(tilesShown(), 1);
        EXPECT_EQ(tileName(0), "HDMI1_crop6");
        EXPECT_TRUE(tileFocused(0));
        key(g_inputcut, 'R'); // wraps to the add button on page 1
        EXPECT_EQ(tilesShown(), 6);
        EXPECT_TRUE(addFocused());
        keys("RRRRRR");
        EXPECT_TRUE(tileFocused(5));
        EXPECT_EQ(tileName(5), "HDMI1_crop5");
        key(g_inputcut, 'R');
        EXPECT_EQ(tilesShown(), 1);
        EXPECT_TRUE(tileFocused(0));
        key(g_inputcut, 'S'); // the sixth tile of page 1
        EXPECT_EQ(tilesShown(), 6);
        EXPECT_TRUE(tileFocused(5));

        // Add form: H, Cancel, H; edit form: H, Delete, H.
        keys("SSSSSS");
        EXPECT_TRUE(addFocused());
        keys("QRRR");
        EXPECT_TRUE(formFocused("lineEdit_H"));
        key(g_inputcut, 'R');
        EXPECT_TRUE(formFocused("button_cancel"));
        key(g_inputcut, 'S');
        EXPECT_TRUE(formFocused("lineEdit_H"));
        key(g_inputcut, 'O'); // back: the add button again
        EXPECT_FALSE(formShown());
        EXPECT_TRUE(addFocused());
        keys("RRQRRRR");
        EXPECT_TRUE(formFocused("button_delete"));
        key(g_inputcut, 'S');
        EXPECT_TRUE(formFocused("lineEdit_H"));
        key(g_inputcut, 'O');
        EXPECT_TRUE(tileFocused(1));
        EXPECT_EQ(request(), 0); // nothing stored

        // Back from the tiles: the input row, on the input they were entered from.
        key(g_inputcut, 'O');
        EXPECT_EQ(g_inputcut->findChild<QFrame*>("frame_highlight")->x(), 1);
        key(g_inputcut, 'R');
        EXPECT_EQ(tilesShown(), 1);
        EXPECT_EQ(tileName(0), "HDMI2");
    }});
}

TEST_F(CropScreen, NoEditWhereNoTileIsAndAWordAbove32767GoesBackAs0)
{
    putCrop(3, 1, 1, 0, 0, 40000, 2160);
    putCrop(5, 1, 2, 8, 8, 640, 480);
    store->VyxCropSourceInit();
    withCut({[&] {
        keys("QRR");
        key(g_inputcut, 'S');
        key(g_inputcut, 'Q'); // the whole input: nothing
        EXPECT_FALSE(formShown());
        keys("RQ");
        EXPECT_EQ(text("lineEdit_W"), "40000");
        keys("SQ"); // shown unsigned, stored signed: out of range
        EXPECT_EQ(image16(cropEntry(3) + kCropW), 0);
        EXPECT_EQ(image16(cropEntry(3) + kCropH), 2160);

        // Deleting the last crop leaves the focus on a position without a
        // tile: OK there opens nothing and stores nothing.
        keys("RQSSSQ");
        EXPECT_EQ(image16(cropEntry(5) + kCropId), 0);
        EXPECT_EQ(tilesShown(), 2);
        EXPECT_TRUE(!tileFocused(0) && !tileFocused(1));
        serveRequest();
        key(g_inputcut, 'Q');
        EXPECT_FALSE(formShown());
        EXPECT_EQ(request(), 0);
        key(g_inputcut, 'R'); // then on to the add button
        EXPECT_TRUE(addFocused());
    }});
}

TEST_F(CropScreen, FormAndTileNamesWithAndWithoutDisplayNames)
{
    putCrop(0, 1, 1, 0, 0, 960, 540);
    putCrop(2, 1, 2, 960, 0, 960, 540);
    putCrop(4, 2, 1, 0, 0, 100, 100);
    // Written as a PC writes them: the crop-number index is not rebuilt
    // before the screen opens.
    writeFile(kAliasFile, R"({"namelist":{"source":[{"id":1,"valid":"on","name":"<b>"}],
        "crop":[{"id":2,"valid":"on","name":"<i>Ticker</i>"}]}})");
    setImage16(inputTiming(1) + kTimingWidth, 1920);
    setImage16(inputTiming(1) + kTimingHeight, 1080);
    setImage16(inputTiming(1) + kTimingRate, 60);
    withCut({[&] {
        EXPECT_EQ(text("tile0_size"), "1920x1080@60Hz");
        EXPECT_EQ(text("tile1_name"), "HDMI1_crop1");
        EXPECT_EQ(text("tile1_size"), "960x540");
        EXPECT_EQ(text("tile2_name"), "<i>Ticker</i>");
        EXPECT_EQ(g_inputcut->findChild<QLabel*>("tile2_name")->textFormat(), Qt::PlainText);
        // The input row escapes the display name it shows.
        EXPECT_EQ(text("sourcelistseq0name"), sourceinfo::get_source_specialstyle1_by_sourceid(1, "<b>", 3));
        EXPECT_TRUE(text("sourcelistseq0name").contains("&lt;b&gt;"));
        EXPECT_FALSE(text("sourcelistseq0name").contains("<b>"));
        keys("QQ");
        EXPECT_EQ(text("label_change_source"), "Name:HDMI1-Crop-3");
        key(g_inputcut, 'O');
        key(g_inputcut, 'O');
        key(g_inputcut, 'R'); // HDMI2 has no signal
        EXPECT_EQ(text("tile0_size"), "No signal");
        EXPECT_EQ(text("tile1_name"), "HDMI2_crop1");
        EXPECT_EQ(text("sourcelistseq1name"), sourceinfo::get_source_specialstyle1_by_sourceid(2, "HDMI2", 2));

        // Russian, offered: the form's captions and buttons.
        g_language = panel::kRussian;
        g_inputcut->language_changed();
        EXPECT_EQ(text("label_crop"), QString::fromUtf8("Обрезать:"));
        EXPECT_EQ(g_inputcut->findChild<QPushButton*>("button_cancel")->text(), QString::fromUtf8("Отмена"));
        expectCaptionRow(g_inputcut, {"label_crop", "label_W", "label_H"});
        g_language = panel::kEnglish;
        g_inputcut->language_changed();
        expectCaptionRow(g_inputcut, {"label_crop", "label_W", "label_H"});
    }});
}

TEST_F(CropScreen, ChangesMadeElsewhereRedrawTheTilesAndAnOpenFormStays)
{
    withCut({[&] {
        keys("QQ"); // the add form of HDMI1
        g_inputcut->findChild<QLineEdit*>("lineEdit_X")->setText("77");
        // A PC adds a crop of HDMI1; the scaler's change signal follows.
        putCrop(7, 1, 1, 1, 2, 3, 4);
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(tilesShown(), 2);
        EXPECT_TRUE(formShown());
        EXPECT_EQ(text("lineEdit_X"), "77");
        EXPECT_TRUE(g_inputcut->findChild<QPushButton*>("button_add")->isHidden());
        // The form's focus stays on the item shown.
        EXPECT_TRUE(formFocused("lineEdit_X"));
        key(g_inputcut, 'R');
        EXPECT_TRUE(formFocused("lineEdit_Y"));

        // A new display-name file: code 103 redraws with nothing else changed.
        writeFile(kAliasFile, R"({"namelist":{"crop":[{"id":7,"valid":"on","name":"Logo"}]}})");
        store->test_signal(kChangeTransferEnd);
        EXPECT_EQ(tileName(1), "Logo");

        // The language: the form's name line follows.
        store->ram_para[kLanguage] = panel::kEnglish;
        takeSnapshot();
        store->ram_para[kLanguage] = panel::kChinese;
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(text("label_change_source"), QString::fromUtf8("名称:HDMI1-Crop-1"));
        EXPECT_EQ(text("label_title"), QString::fromUtf8("输入截取"));
    }});
}

// A form edits the crop it was opened for, by table entry and id word: a PC
// that frees, renumbers or replaces crops meanwhile never has the form write
// or delete another one.

TEST_F(CropScreen, AFormWhoseCropAPcDeletesClosesOverTheNewTilesAndWritesNothing)
{
    putCrop(0, 1, 1, 10, 10, 100, 100);
    putCrop(2, 1, 2, 20, 20, 200, 200);
    store->VyxCropSourceInit();
    const std::vector<uint8_t> crop2 = bytes(cropEntry(2), kCropEntrySize);
    auto pcDeletesCrop1 = [&] {
        serveRequest();
        setImage16(cropEntry(0) + kCropId, 0);
        store->test_signal(kChangeRefresh);
    };
    auto formValues = [&] { return text("lineEdit_X") + "," + text("lineEdit_Y") + "," + text("lineEdit_W") + ","
                              + text("lineEdit_H"); };
    withCut({[&] {
        // OK focused.
        keys("QRRQ");
        ASSERT_EQ(text("label_change_source"), "Name:HDMI1-Crop-1");
        key(g_inputcut, 'S');
        ASSERT_TRUE(formFocused("button_ok"));
        pcDeletesCrop1();
        EXPECT_FALSE(formShown());
        EXPECT_FALSE(g_inputcut->findChild<QPushButton*>("button_ok")->isVisible());
        EXPECT_FALSE(g_inputcut->findChild<QPushButton*>("button_add")->isHidden());
        EXPECT_EQ(tilesShown(), 2);
        EXPECT_TRUE(tileFocused(1)); // where the form was opened
        EXPECT_EQ(tileName(1), "HDMI1_crop2");
        key(g_inputcut, 'Q'); // the tile there now: crop 2's form, nothing stored
        EXPECT_TRUE(formShown());
        EXPECT_EQ(formValues(), "20,20,200,200");
        key(g_inputcut, 'O');
        EXPECT_EQ(bytes(cropEntry(2), kCropEntrySize), crop2);
        EXPECT_EQ(image16(cropEntry(0) + kCropId), 0);
        EXPECT_EQ(request(), 0);

        // Delete focused, crop 1 back in its entry first.
        putCrop(0, 1, 1, 10, 10, 100, 100);
        store->test_signal(kChangeRefresh);
        ASSERT_EQ(tileName(1), "HDMI1_crop1");
        keys("QSSS");
        ASSERT_TRUE(formFocused("button_delete"));
        pcDeletesCrop1();
        EXPECT_FALSE(formShown());
        EXPECT_EQ(tilesShown(), 2);
        key(g_inputcut, 'Q');
        EXPECT_EQ(formValues(), "20,20,200,200");
        key(g_inputcut, 'O');
        EXPECT_EQ(bytes(cropEntry(2), kCropEntrySize), crop2);
        EXPECT_EQ(request(), 0);
    }});
}

TEST_F(CropScreen, OkAndDeleteCheckTheirCropAgainWhenTheyWriteWithoutARefreshBefore)
{
    putCrop(0, 1, 1, 10, 10, 100, 100);
    putCrop(2, 1, 2, 20, 20, 200, 200);
    store->VyxCropSourceInit();
    const std::vector<uint8_t> crop2 = bytes(cropEntry(2), kCropEntrySize);
    // With the form of HDMI1's crop 1 (in entry `from`) open, a PC lays that
    // crop anew in entry `to`, and no refresh follows before the key: the
    // form's OK or Delete leaves every crop as it is and closes over the
    // tiles drawn from the table.
    auto pcMovesCrop1ThenOk = [&](int from, int to, uint16_t size) {
        setImage16(cropEntry(from) + kCropId, 0);
        putCrop(to, 1, 1, uint16_t(size / 10), uint16_t(size / 10), size, size);
        const std::vector<uint8_t> moved = bytes(cropEntry(to), kCropEntrySize);
        key(g_inputcut, 'Q');
        EXPECT_EQ(bytes(cropEntry(to), kCropEntrySize), moved);
        EXPECT_EQ(bytes(cropEntry(2), kCropEntrySize), crop2);
        EXPECT_EQ(image16(cropEntry(from) + kCropId), 0);
        EXPECT_EQ(request(), 0);
        EXPECT_FALSE(formShown());
        EXPECT_EQ(tilesShown(), 3);
        EXPECT_TRUE(tileFocused(1));
    };
    withCut({[&] {
        keys("QRRQS"); // crop 1's form, OK focused
        pcMovesCrop1ThenOk(0, 5, 300);
        key(g_inputcut, 'Q'); // the form of the crop in entry 5; Delete focused
        EXPECT_EQ(text("lineEdit_W"), "300");
        keys("SSS");
        ASSERT_TRUE(formFocused("button_delete"));
        pcMovesCrop1ThenOk(5, 7, 400);
    }});
}

TEST_F(CropScreen, APcRenumberClosesTheFormOfThatCropOnlyAndEachFormWritesItsOwn)
{
    putCrop(0, 1, 1, 10, 10, 100, 100);
    putCrop(2, 1, 2, 20, 20, 200, 200);
    store->VyxCropSourceInit();
    withCut({[&] {
        keys("QRRRQ"); // crop 2's form
        ASSERT_EQ(text("label_change_source"), "Name:HDMI1-Crop-2");
        key(g_inputcut, 'S');
        // A PC renumbers crop 1 to 3: crop 2 comes first now, but it is
        // still this form's crop, and the form stays.
        setImage16(cropEntry(0) + kCropId, 0x8201);
        store->test_signal(kChangeRefresh);
        const std::vector<uint8_t> crop3 = bytes(cropEntry(0), kCropEntrySize);
        EXPECT_TRUE(formShown());
        EXPECT_TRUE(formFocused("button_ok"));
        EXPECT_EQ(text("lineEdit_W"), "200");
        EXPECT_EQ(text("label_change_source"), "Name:HDMI1-Crop-1"); // named by its place now
        g_inputcut->findChild<QLineEdit*>("lineEdit_W")->setText("640");
        key(g_inputcut, 'Q');
        EXPECT_EQ(bytes(cropEntry(2), kCropEntrySize),
            (std::vector<uint8_t>{0x01, 0x81, 20, 0, 20, 0, 0x80, 0x02, 200, 0}));
        EXPECT_EQ(bytes(cropEntry(0), kCropEntrySize), crop3);
        EXPECT_EQ(request(), 1);
        serveRequest();

        // The form of the renumbered crop (entry 0, now the second), Delete
        // focused; the PC renumbers it again.
        EXPECT_TRUE(tileFocused(2));
        EXPECT_EQ(tileName(2), "HDMI1_crop3");
        keys("QSSS");
        ASSERT_TRUE(formFocused("button_delete"));
        setImage16(cropEntry(0) + kCropId, 0x8001);
        store->test_signal(kChangeRefresh);
        EXPECT_FALSE(formShown());
        EXPECT_TRUE(tileFocused(2));
        EXPECT_EQ(tileName(1), "HDMI1_crop1");
        EXPECT_EQ(tileName(2), "HDMI1_crop2");
        key(g_inputcut, 'Q'); // opens crop 2's form, deletes nothing
        EXPECT_TRUE(formShown());
        key(g_inputcut, 'O');
        EXPECT_EQ(image16(cropEntry(0) + kCropId), 0x8001);
        EXPECT_EQ(image16(cropEntry(2) + kCropId), 0x8101);
        EXPECT_EQ(request(), 0);
    }});
}

TEST_F(CropScreen, TheAddFormTakesItsEntryAndCropNumberWhenOkIsPressed)
{
    withCut({[&] {
        const std::vector<uint8_t> table = bytes(kCropTable, kCropEntries * kCropEntrySize);
        keys("QQ"); // HDMI1's add form
        ASSERT_TRUE(formShown());
        EXPECT_EQ(bytes(kCropTable, kCropEntries * kCropEntrySize), table); // nothing taken yet
        // Meanwhile a PC fills entries 0 and 1, HDMI1's crop 1 among them;
        // no refresh follows yet.
        putCrop(0, 1, 1, 5, 5, 50, 50);
        putCrop(1, 2, 1, 6, 6, 60, 60);
        const std::vector<uint8_t> pcEntries = bytes(cropEntry(0), 2 * kCropEntrySize);
        keys("SQ"); // OK
        EXPECT_EQ(bytes(cropEntry(0), 2 * kCropEntrySize), pcEntries);
        EXPECT_EQ(bytes(cropEntry(2), kCropEntrySize),
            (std::vector<uint8_t>{0x01, 0x81, 0, 0, 0, 0, 0x80, 0x07, 0x38, 0x04}));
        EXPECT_EQ(tilesShown(), 3);
        EXPECT_EQ(tileName(1), "HDMI1_crop1");
        EXPECT_EQ(tileName(2), "HDMI1_crop2");
    }});
}

TEST_F(CropScreen, BackGoesToTheSettingsMenuAndTheModeKeyObeysTheLock)
{
    withCut({[&] { keys("RQO"); }, [&] { key(g_inputcut, 'O'); }});
    EXPECT_EQ(g_inputcut, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageOption);

    withCut({[&] {
        setImage16(kPanelLock, 1);
        key(g_inputcut, 'M');
        EXPECT_NE(g_inputcut, nullptr);
        EXPECT_EQ(g_custommode, nullptr);
        setImage16(kPanelLock, 0);
        key(g_inputcut, panel::kKeyMode);
        EXPECT_EQ(g_inputcut, nullptr);
        EXPECT_NE(g_custommode, nullptr);
        EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    }});
}

TEST_F(CropScreen, TheFocusedAddButtonShowsItsWholeFrame)
{
    withCut({[&] {
        keys("Q"); // the tiles: the add button focused
        ASSERT_TRUE(addFocused());
        // The frame goes round the picture, not under its edge.
        EXPECT_EQ(pixelsOffTheFrame(g_inputcut->findChild<QPushButton*>("button_add"), QColor(255, 171, 84)),
            std::vector<QPoint>{});
    }});
}

TEST_F(CropScreen, AFieldTakesNoMoreThanFiveDigits)
{
    withCut({
        [&] { keys("QQQ"); }, // HDMI1's add form, the keyboard on X
        typing("655359"),
        [&] { EXPECT_EQ(text("lineEdit_X"), "65535"); },
    });
}

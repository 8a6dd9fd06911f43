// The input choice screen driven by its keys: the tab row of the images in
// use, the input row, the entries in pages of three, choosing an entry (the
// source word written, the check mark, the badge and the tab's text), the
// refresh that follows the scaler and the PC, and the ways out.
#include "tests/support/panel_fixture.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <cstring>

#include "core/config_engine.h"
#include "platform/c331_screen.h"
#include "platform/c331_sim.h"
#include "platform/safe_file.h"
#include "platform/spi.h"
#include "video_io/zevlosource.h"
#include "ui/image/alias.h"
#include "ui/image/custommode.h"
#include "ui/image/edidset.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputchoose.h"
#include "ui/image/inputcut.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/tip.h"

using namespace ram;
using paneltest::key;

namespace choosetest {

constexpr int kTipTicks = 300;

class InputChooseTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        mainWindow(); // the check mark's pop-up and the way back
        for (int w = 0; w < 4; ++w)
            setImage16(imageRecord(w) + kImgEnable, w == 0 ? 1 : 0);
        std::memset(store->ram_para + kCropTable, 0, kCropEntries * kCropEntrySize);
        for (int s = 0; s < 4; ++s)
            setTiming(s, 0, 0, 0);
        g_image_current = 0;
    }

    void setTiming(int s, uint16_t w, uint16_t h, uint16_t rate)
    {
        setImage16(inputTiming(s) + kTimingWidth, w);
        setImage16(inputTiming(s) + kTimingHeight, h);
        setImage16(inputTiming(s) + kTimingRate, rate);
    }
    // Crop `number` (1..40) of `source` in crop-table entry `entry`.
    void setCrop(int entry, int source, int number, uint16_t w = 960, uint16_t h = 540)
    {
        setImage16(cropEntry(entry) + kCropId, uint16_t(kCropUsed | (number - 1) << 8 | source));
        setImage16(cropEntry(entry) + kCropW, w);
        setImage16(cropEntry(entry) + kCropH, h);
    }
    void writeAlias(const char* json) { platform::replaceFile(kAliasFile, json, std::strlen(json)); }

    // Opens the screen as the main window's input item does, without its
    // nested loop: the keys reach it directly.
    InputChoose* open()
    {
        takeSnapshot();
        screen = new InputChoose(nullptr);
        g_inputchoose = screen;
        g_page_focus = kPageInputChoose;
        screen->show();
        return screen;
    }
    void keys(const char* letters)
    {
        for (const char* k = letters; *k; ++k)
            key(screen, *k);
    }
    static void keysIn(QWidget* child, const char* letters)
    {
        for (const char* k = letters; *k; ++k)
            key(child, *k);
    }
    // OK on an entry: the check mark comes up (and is ticked away) when
    // `written`, and nothing shows otherwise.
    void choose(bool written = true)
    {
        bool shown = false;
        ModalDriver drive(5000);
        if (written)
            drive.then([&] {
                shown = g_tip->isVisible() && showsCheckMark();
                paneltest::ticks(kTipTicks);
            });
        drive.run([&] { key(screen, 'Q'); });
        EXPECT_FALSE(drive.timedOut());
        EXPECT_EQ(shown, written);
        EXPECT_FALSE(g_tip->isVisible());
    }
    static bool showsCheckMark()
    {
        for (const QLabel* label : g_tip->findChildren<QLabel*>())
            if (label->property("png").toString() == ":/png/check_180.png")
                return true;
        return false;
    }
    // The scaler thread's part: takes the request, tells the screen.
    void scalerApplies()
    {
        serveRequest();
        store->test_signal(kChangeRefresh);
    }

    QFrame* tabRow() const { return screen->findChild<QFrame*>("tab_row"); }
    QList<QLabel*> tabBoxes() const { return tabRow()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly); }
    QFrame* tabFrame() const { return tabRow()->findChild<QFrame*>(QString(), Qt::FindDirectChildrenOnly); }
    // The source text of tab `t` (the label inside its box).
    QString tabText(int t) const { return tabBoxes().at(t)->findChild<QLabel*>()->text(); }
    QList<QFrame*> entries() const
    {
        return screen->findChild<QFrame*>("frame")->findChildren<QFrame*>("source_frame");
    }
    // Name and information line of entry i on the page, then the badge (or "").
    QStringList entryTexts(int i) const
    {
        const auto labels = entries().at(i)->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        return {labels.at(2)->text(), labels.at(3)->text(), labels.size() > 4 ? labels.at(4)->text() : QString()};
    }
    // Which entry of the page has the focus border, -1 none.
    int focusedEntry() const
    {
        const auto list = entries();
        for (int i = 0; i < list.size(); ++i)
            if (list[i]->styleSheet().contains("#FFAB54"))
                return i;
        return -1;
    }
    QString inputName(int listseq) const
    {
        return screen->findChild<QLabel*>(QString("sourcelistseq%1name").arg(listseq))->text();
    }

    InputChoose* screen = nullptr;
};

} // namespace choosetest

using choosetest::InputChooseTest;

TEST_F(InputChooseTest, TabsForTheImagesInUseAndTheButtonsAfterThem)
{
    setImage16(imageRecord(0) + kImgEnable, 0); // image 0 has its tab all the same
    setImage16(imageRecord(2) + kImgEnable, 1);
    setImage16(imageRecord(3) + kImgEnable, 3); // only a low byte of 1 counts
    g_image_current = 2;
    open();
    const auto boxes = tabBoxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0]->text(), "1");
    EXPECT_EQ(boxes[0]->geometry(), QRect(10, 3, 45, 40));
    EXPECT_TRUE(boxes[0]->styleSheet().startsWith("background-color: #867AE9"));
    EXPECT_EQ(boxes[1]->text(), "3");
    EXPECT_EQ(boxes[1]->x(), 60);
    EXPECT_TRUE(boxes[1]->styleSheet().startsWith("background-color: #39A9CB"));
    // Opened on image 2: its tab (the second) is focused.
    EXPECT_EQ(screen->selected(), 1);
    EXPECT_EQ(tabFrame()->geometry(), QRect(57, 0, 51, 46));
    EXPECT_EQ(tabFrame()->styleSheet(), "border:2px solid rgb(255,171,84);");
    // Into the input row and back: the same tab, the same image.
    keys("Q");
    EXPECT_EQ(tabFrame()->styleSheet(), "border:2px solid rgb(71, 119, 255);");
    keys("O");
    EXPECT_EQ(screen->level(), InputChoose::kLevelTabs);
    EXPECT_EQ(screen->selected(), 1);
    EXPECT_EQ(g_image_current.load(), 2);

    key(screen, 'R');
    EXPECT_EQ(screen->selected(), InputChoose::kSelectInputCut);
    EXPECT_EQ(screen->findChild<QPushButton*>("button_inputcut")->styleSheet(),
        "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);");
    EXPECT_EQ(tabFrame()->styleSheet(), "border:0px solid rgb(255,171,84);");
    keys("RR"); // EDID, then round to tab 0: image 0 becomes the current one
    EXPECT_EQ(screen->selected(), 0);
    EXPECT_EQ(g_image_current.load(), 0);
    EXPECT_EQ(codes, std::vector<int>{kChangeRefresh});
    keys("SSS");
    EXPECT_EQ(g_image_current.load(), 2);
}

TEST_F(InputChooseTest, ChoosingHdmi2ForImage0)
{
    setImage16(imageRecord(0) + kImgSource, 0);
    setImage16(imageRecord(2) + kImgEnable, 1);
    setTiming(2, 1280, 720, 60);
    open();
    EXPECT_EQ(tabText(0), "DVI");
    EXPECT_EQ(inputName(0),
        "<font style = 'font-size:9px' color = #ffffff >HDMI1</font>"
        "<font style = 'font-size:9px' color = #4777ff >(</font>"
        "<font style = 'font-size:9px' color = #4777ff >1</font>"
        "<font style = 'font-size:9px' color = #4777ff >)</font>");
    keys("Q"); // the input row, on the input the image shows
    EXPECT_EQ(screen->selected(), 3);
    keys("RRQ");
    EXPECT_EQ(screen->level(), InputChoose::kLevelEntries);
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI2", "1280x720@60Hz", ""}));
    choose();
    EXPECT_EQ(store->ram_para[2280], 0x02);
    EXPECT_EQ(store->ram_para[2281], 0x00);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(entryTexts(0).at(2), "Using");
    EXPECT_EQ(tabText(0), "HDMI2");
    EXPECT_EQ(image16(imageRecord(2) + kImgSource), 1); // the other image kept its source

    // Another input lists its entries grey; no signal reads so.
    keys("OS");
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "No signal", ""}));
    setTiming(2, 1280, 720, 0); // a refresh rate of 0 is no signal
    keys("R");
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI2", "No signal", "Using"}));
}

TEST_F(InputChooseTest, FourCropsPageAndWrapAndAreListedByCropNumber)
{
    // The table holds HDMI1's crops out of their numbers' order.
    setCrop(0, 1, 3);
    setCrop(1, 1, 1);
    setCrop(2, 2, 1); // HDMI2's
    setCrop(3, 1, 4, 1280, 720);
    setCrop(4, 1, 2, 640, 360);
    open();
    keys("QQ");
    EXPECT_TRUE(inputName(0).contains(">5<"));
    EXPECT_EQ(screen->selected(), 0);
    EXPECT_EQ(entryTexts(1).at(0), "HDMI1_crop1");
    EXPECT_EQ(entryTexts(2), (QStringList{"HDMI1_crop2", "640x360", ""}));

    const struct {
        char key;
        int page, select;
    } walk[] = {{'R', 0, 1}, {'R', 0, 2}, {'R', 1, 0}, {'R', 1, 1}, {'R', 0, 0}, {'S', 1, 1}, {'S', 1, 0}, {'S', 0, 2}};
    for (const auto& step : walk) {
        key(screen, step.key);
        EXPECT_EQ(screen->page(), step.page) << step.key;
        EXPECT_EQ(screen->selected(), step.select) << step.key;
        EXPECT_EQ(focusedEntry(), step.select);
    }
    EXPECT_EQ(entries().size(), 3);
    key(screen, 'R'); // page 1: entries 3 and 4 only
    EXPECT_EQ(entries().size(), 2);
    EXPECT_EQ(entryTexts(1), (QStringList{"HDMI1_crop4", "1280x720", ""}));

    // The second crop by number lives in entry 4.
    keys("S");
    choose();
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 0x8004);
    EXPECT_EQ(tabText(0), "HDMI1_Crop2");
    EXPECT_EQ(entryTexts(2).at(2), "Using");
    EXPECT_EQ(entryTexts(1).at(2), "");
    // Leaving and entering again focuses the entry in use.
    scalerApplies();
    keys("OQ");
    EXPECT_EQ(screen->selected(), 2);
}

TEST_F(InputChooseTest, AOneCropInputFocusesAndWritesItsCropNeverDvi)
{
    setCrop(5, 1, 1);
    setImage16(imageRecord(0) + kImgSource, 0x8005);
    open();
    EXPECT_EQ(tabText(0), "HDMI1_Crop1");
    keys("QQ");
    EXPECT_EQ(screen->selected(), 1);
    EXPECT_EQ(focusedEntry(), 1);
    EXPECT_EQ(entryTexts(1).at(2), "Using");
    setImage16(imageRecord(0) + kImgSource, 1); // written by someone else meanwhile
    choose();
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 0x8005);
}

TEST_F(InputChooseTest, TheScalersRefreshLeavesTheImageChosenFor)
{
    setImage16(imageRecord(2) + kImgEnable, 1);
    setImage16(imageRecord(2) + kImgSource, 1);
    g_image_current = 2;
    open();
    keys("QRQ"); // HDMI2 for image 2
    choose();
    EXPECT_EQ(image16(imageRecord(2) + kImgSource), 2);
    scalerApplies(); // the source word now differs from the snapshot
    EXPECT_EQ(screen->image(), 2);
    EXPECT_EQ(screen->level(), InputChoose::kLevelEntries);
    keys("ORQ"); // HDMI3
    choose();
    EXPECT_EQ(image16(imageRecord(2) + kImgSource), 3);
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 1);
    EXPECT_EQ(tabText(1), "HDMI3");

    // Closed by the PC: the screen falls back to image 0 and its tab.
    scalerApplies();
    keys("OO");
    setImage16(imageRecord(2) + kImgEnable, 0);
    scalerApplies();
    EXPECT_EQ(screen->image(), 0);
    EXPECT_EQ(screen->selected(), 0);
    EXPECT_EQ(tabBoxes().size(), 1);
    EXPECT_EQ(tabFrame()->geometry().x(), 7);
}

TEST_F(InputChooseTest, NoWriteForAnEntryTakenAwayUnderTheFocus)
{
    setCrop(0, 1, 1);
    setCrop(1, 1, 2);
    open();
    keys("QQRR");
    EXPECT_EQ(focusedEntry(), 2);
    // The PC deletes both crops.
    setImage16(cropEntry(0) + kCropId, 0);
    setImage16(cropEntry(1) + kCropId, 0);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(entries().size(), 1);
    EXPECT_TRUE(inputName(0).contains(">1<"));
    choose(false);
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 1);
    EXPECT_EQ(request(), 0);
}

TEST_F(InputChooseTest, DisplayNamesAreShownAsTypedAndFollowTheTransferEnd)
{
    setCrop(7, 3, 1);
    setImage16(imageRecord(0) + kImgSource, 3);
    writeAlias(R"({"namelist":{"source":[{"id":2,"valid":"on","name":"A<B&C"}]}})");
    open();
    EXPECT_TRUE(inputName(1).contains(">A&lt;B&amp;C<")) << inputName(1).toStdString();
    keys("QQ");
    EXPECT_EQ(entryTexts(1).at(0), "HDMI3_crop1");
    // A new file announced by the transfer's end names the crop at once.
    writeAlias(R"({"namelist":{"crop":[{"id":7,"valid":"on","name":"<i>Tk</i>"}]}})");
    store->test_signal(kChangeTransferEnd);
    EXPECT_EQ(entryTexts(1).at(0), "<i>Tk</i>");
    EXPECT_EQ(entries().at(1)->findChildren<QLabel*>().at(2)->textFormat(), Qt::PlainText);
    EXPECT_EQ(entryTexts(0).at(0), "HDMI3"); // the whole input keeps its built-in name
}

TEST_F(InputChooseTest, TheGlobalKeysMoveTheTab)
{
    setImage16(imageRecord(1) + kImgEnable, 1);
    setImage16(imageRecord(1) + kImgSource, 3);
    open();
    key(screen, 'C'); // image 1
    EXPECT_EQ(screen->image(), 1);
    EXPECT_EQ(screen->selected(), 1);
    EXPECT_EQ(screen->listed_source(), 3);
    key(screen, 'I'); // HDMI3 on it: its tab's text follows
    key(screen, 'J'); // DVI
    scalerApplies();
    EXPECT_EQ(tabText(1), "DVI");
    EXPECT_EQ(screen->image(), 1);
}

TEST_F(InputChooseTest, TheWaysOut)
{
    // The two buttons open their screens and come back here.
    open();
    ModalDriver drive;
    drive
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageInputCut);
            ASSERT_NE(g_inputcut, nullptr);
            key(g_inputcut, 'O');
        })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageInputChoose);
            key(screen, 'R');
            key(screen, 'Q');
        })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageEDIDset);
            ASSERT_NE(g_edidset, nullptr);
            key(g_edidset, 'O');
        });
    drive.run([&] { keys("RQ"); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_page_focus.load(), kPageInputChoose);
    EXPECT_EQ(g_inputchoose, screen);

    // The mode key does nothing while the panel is locked.
    setImage16(kPanelLock, 1);
    key(screen, 'M');
    EXPECT_EQ(g_inputchoose, screen);
    EXPECT_EQ(g_custommode, nullptr);
    setImage16(kPanelLock, 0);
    key(screen, 'M');
    EXPECT_EQ(g_inputchoose, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    ASSERT_NE(g_custommode, nullptr);
    paneltest::flushDeferredDeletes();

    // Back: to the main window, or to the image layout screen when open.
    open();
    keys("O");
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_inputchoose, nullptr);
    g_imagelayout = new ImageLayout(nullptr);
    open();
    keys("O");
    EXPECT_EQ(g_page_focus.load(), kPageImageLayout);
    delete g_imagelayout;
    g_imagelayout = nullptr;
}

namespace choosetest {

// The crop and EDID screens opened from the live screen: what changed while
// they were on top was persisted by their own refresh (the snapshot
// re-taken), so only their back actions bring it here.
class InputChooseChildren : public InputChooseTest {
protected:
    // Runs `inChild` inside the child opened by OK on button `select`
    // (InputChoose::kSelectInputCut or kSelectEdid), from tab 0.
    template <class Child>
    void inChild(uint8_t select, Child*& child, const std::function<void(Child*)>& steps)
    {
        ModalDriver drive;
        drive.then([&] {
            ASSERT_NE(child, nullptr);
            steps(child);
            EXPECT_EQ(child, nullptr) << "the steps leave the child";
        });
        drive.run([&] { keys(select == InputChoose::kSelectInputCut ? "RQ" : "RRQ"); });
        EXPECT_FALSE(drive.timedOut());
        ASSERT_EQ(g_page_focus.load(), kPageInputChoose);
        ASSERT_EQ(screen->selected(), select);
    }
    // A PC writes image 0's source word and asks for it to be applied while
    // `child` is on top: the child's refresh persists it, so the snapshot
    // holds it already when the child is left (back, in `child`).
    void pcSetsImage0(QWidget* child, uint16_t word)
    {
        uint8_t bytes[2] = {uint8_t(word), uint8_t(word >> 8)};
        store->VyxRamParaDeal(bytes, 2, imageRecord(0) + kImgSource);
        scalerApplies();
        ASSERT_EQ(snapshot16(imageRecord(0) + kImgSource), word);
        keysIn(child, "O");
    }
    // The tab of image 0, the input highlight and the first entry (in use)
    // say that it shows all of input `name`, at list position `listseq`.
    void expectShowsWhole(const char* name, int listseq, const char* timing)
    {
        EXPECT_EQ(tabText(0), name);
        EXPECT_EQ(screen->findChild<QFrame*>("frame1")->x(), 53 * listseq + 1);
        EXPECT_EQ(screen->listed_source(), sourceinfo::get_source_id_by_listseq(uint8_t(listseq)));
        EXPECT_EQ(entryTexts(0), (QStringList{name, timing, "Using"}));
    }
};

} // namespace choosetest

using choosetest::InputChooseChildren;

TEST_F(InputChooseChildren, ACropAddedOnTheCropScreenIsListedAndCanBeChosen)
{
    setImage16(imageRecord(0) + kImgSource, 1);
    setTiming(1, 1920, 1080, 60);
    setCrop(0, 2, 1); // HDMI2's crops take the first entries
    setCrop(1, 2, 2);
    open();
    EXPECT_TRUE(inputName(0).contains(">1<"));
    inChild<InputCut>(InputChoose::kSelectInputCut, g_inputcut, [&](InputCut* cut) {
        keysIn(cut, "QQ"); // HDMI1's add button, the add form
        keysIn(cut, "RRRRRQ"); // its OK: 0, 0, 1920, 1080 stored
        scalerApplies(); // the crop screen's refresh persists the table
        keysIn(cut, "OO");
    });
    ASSERT_EQ(image16(cropEntry(2) + kCropId), kCropUsed | 1);
    EXPECT_TRUE(inputName(0).contains(">2<")) << inputName(0).toStdString();
    ASSERT_EQ(entries().size(), 2);
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "1920x1080@60Hz", "Using"}));
    EXPECT_EQ(entryTexts(1), (QStringList{"HDMI1_crop1", "1920x1080", ""}));

    keys("RRQQR"); // tab 0, HDMI1, its new crop
    EXPECT_EQ(focusedEntry(), 1);
    choose();
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), kSourceIsCrop | 2);
    EXPECT_EQ(tabText(0), "HDMI1_Crop1");
}

TEST_F(InputChooseChildren, ACropDeletedOnTheCropScreenPutsItsWholeInputOnTheImage)
{
    setTiming(1, 1920, 1080, 60);
    setCrop(2, 1, 1);
    setImage16(imageRecord(0) + kImgSource, kSourceIsCrop | 2);
    open();
    EXPECT_EQ(tabText(0), "HDMI1_Crop1");
    inChild<InputCut>(InputChoose::kSelectInputCut, g_inputcut, [&](InputCut* cut) {
        keysIn(cut, "QRRQ"); // HDMI1's crop 1, its edit form
        keysIn(cut, "RRRRQ"); // Delete
        scalerApplies();
        keysIn(cut, "OO");
    });
    ASSERT_EQ(image16(cropEntry(2) + kCropId), 0);
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 1);
    EXPECT_TRUE(inputName(0).contains(">1<")) << inputName(0).toStdString();
    expectShowsWhole("HDMI1", 0, "1920x1080@60Hz");
    EXPECT_EQ(entries().size(), 1);
}

TEST_F(InputChooseChildren, ACropTheImageShowsFreedByThePcShowsTheWholeDviInput)
{
    setTiming(0, 1280, 720, 60);
    setCrop(2, 1, 1);
    setImage16(imageRecord(0) + kImgSource, kSourceIsCrop | 2);
    open();
    setImage16(cropEntry(2) + kCropId, 0x0001); // free, its source byte kept
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), kSourceIsCrop | 2); // as the PC left it
    expectShowsWhole("DVI", 3, "1280x720@60Hz");
}

// A source a PC sets while a child screen is on top: back from it, the
// tab, the input highlight and the entries follow it.
TEST_F(InputChooseChildren, ASourceThePcSetsWhileAChildIsOpenShowsOnItsReturn)
{
    setTiming(2, 1280, 720, 60);
    setTiming(3, 3840, 2160, 60);
    setCrop(0, 1, 1);
    setImage16(imageRecord(0) + kImgSource, kSourceIsCrop | 0);
    open();
    EXPECT_EQ(tabText(0), "HDMI1_Crop1");
    inChild<InputCut>(InputChoose::kSelectInputCut, g_inputcut, [&](InputCut* cut) { pcSetsImage0(cut, 3); });
    expectShowsWhole("HDMI3", 2, "3840x2160@60Hz");
    keys("S"); // from the crop button back to the tab
    inChild<EDIDset>(InputChoose::kSelectEdid, g_edidset, [&](EDIDset* edid) { pcSetsImage0(edid, 2); });
    expectShowsWhole("HDMI2", 1, "1280x720@60Hz");
}

TEST_F(InputChooseChildren, ATimingChangedWhileTheEdidScreenIsOpenShowsOnItsReturn)
{
    setImage16(imageRecord(0) + kImgSource, 1);
    setTiming(1, 1920, 1080, 60);
    open();
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "1920x1080@60Hz", "Using"}));
    inChild<EDIDset>(InputChoose::kSelectEdid, g_edidset, [&](EDIDset* edid) {
        // A new EDID request, and the source following it: the dispatch on
        // page 8 saves the request and so re-takes the whole snapshot.
        setImage16(edidRequest(1), 1280);
        setImage16(edidRequest(1) + 2, 720);
        setTiming(1, 1280, 720, 50);
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(snapshot16(inputTiming(1) + kTimingWidth), 1280);
        keysIn(edid, "O");
    });
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "1280x720@50Hz", "Using"}));
}

TEST_F(InputChooseTest, BackAtTheTabsListsTheImagesInputByItsOwnName)
{
    setImage16(imageRecord(0) + kImgSource, 1);
    setTiming(1, 1280, 720, 60);
    setTiming(0, 1920, 1080, 60);
    open();
    keys("QS"); // the input row, left from HDMI1 to DVI
    EXPECT_EQ(entryTexts(0), (QStringList{"DVI", "1920x1080@60Hz", ""}));
    keys("O");
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "1280x720@60Hz", "Using"}));
    EXPECT_EQ(screen->findChild<QFrame*>("frame1")->x(), 1); // over HDMI1
    keys("Q"); // the input row opens on the input listed
    EXPECT_EQ(screen->selected(), 0);
    EXPECT_EQ(screen->listed_source(), 1);
}

namespace choosetest {

// The whole road on simulated hardware: sources fed through the person's
// sources file, the input-source manager's thread publishing them, the
// scaler brought up on its simulated chip (its turns run here), and what
// the chip then shows, read back from the register file it leaves beside
// its picture of the LED screen.
class InputChooseOnTheChip : public InputChooseTest {
protected:
    void SetUp() override
    {
        InputChooseTest::SetUp();
        platform::simSpiBus().map();
        platform::simScaler().setScreenLayoutSource([](platform::c331screen::ScreenLayout* layout) {
            *layout = publishedLayout();
            return true;
        });
        for (int turn = 0; turn < 20 && scaler->setup_stage < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
        ConfigEngine::pInstance();
        g_check_edid = QStringLiteral("Never");
    }
    void TearDown() override
    {
        platform::simScaler().setScreenLayoutSource(nullptr);
        InputChooseTest::TearDown();
    }
    // The panel record the scaler publishes, as main() hands it to the chip.
    static platform::c331screen::ScreenLayout publishedLayout()
    {
        uint8_t record[platform::c331screen::ScreenLayout::kPublishedBytes];
        copyShared(record, VyxRamPara::pInstance()->ram_para + kSpliceMode, sizeof record);
        return platform::c331screen::ScreenLayout::fromPublished(record);
    }
    // Scaler turns until the full-screen window shows input `input` with a
    // picture `width` wide, cut to `crop` (none: not cropped); `seen` keeps
    // the last composition read.
    bool windowShows(int input, int width, platform::c331screen::Rect crop = {})
    {
        return waitFor(
            [&] {
                c331_manage::c331managerdeal(scaler);
                const QByteArray regs = readFile("/sim/scaler-registers.bin");
                if (regs.size() != platform::c331screen::kRegisterFileBytes)
                    return false;
                const auto screen = platform::c331screen::decode(
                    platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
                    publishedLayout());
                seen = screen.describe();
                for (const auto& w : screen.windows)
                    if (w.screen == platform::c331screen::Rect{0, 0, 1920, 1080} && w.port >= 0
                        && platform::c331screen::kPortInput[w.port] == input && w.source.w == width && !w.background
                        && w.cropped == !crop.empty() && (crop.empty() || w.crop == crop))
                        return true;
                return false;
            },
            10000);
    }

    // The scaler brought up again as at a restart, from the image as it was
    // stored last.
    void restartScaler()
    {
        takeSnapshot();
        pthread_mutex_lock(&scaler->para_mutex);
        copyShared(scaler->applied, store->ram_para_bak, kImageSize);
        pthread_mutex_unlock(&scaler->para_mutex);
        scaler->setup_stage = 0;
        for (int turn = 0; turn < 20 && scaler->setup_stage < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
    }

    std::string seen;
};

} // namespace choosetest

using choosetest::InputChooseOnTheChip;

TEST_F(InputChooseOnTheChip, DeletingTheCropImage1ShowsPutsItsWholeInputOnTheScreenAndThePanel)
{
    writeFile("/sim/sources", "1 1920x1080@60\n");
    ASSERT_EQ(zevlosource::pInstance()->initialize(), 0);
    // HDMI1's crops 1 and 2; image 1 shows crop 2 (source word 0x8001).
    panel::scaler_write([](panel::ScalerWrite& w) {
        w.put16(cropEntry(0) + kCropId, kCropUsed | 1);
        w.put16(cropEntry(0) + kCropW, 960);
        w.put16(cropEntry(0) + kCropH, 540);
        w.put16(cropEntry(1) + kCropId, kCropUsed | 1 << 8 | 1);
        w.put16(cropEntry(1) + kCropX, 100);
        w.put16(cropEntry(1) + kCropY, 50);
        w.put16(cropEntry(1) + kCropW, 800);
        w.put16(cropEntry(1) + kCropH, 600);
        w.put16(imageRecord(0) + kImgSource, kSourceIsCrop | 1);
    });
    ASSERT_TRUE(windowShows(1, 1920, {100, 50, 800, 600})) << seen;

    open();
    EXPECT_EQ(tabText(0), "HDMI1_Crop2");
    const uint64_t pictures = platform::simScaler().screensWritten();
    ModalDriver drive;
    drive.then([&] {
        ASSERT_NE(g_inputcut, nullptr);
        keysIn(g_inputcut, "QRRRQ"); // HDMI1's crop 2, its edit form
        keysIn(g_inputcut, "RRRRQ"); // Delete
        keysIn(g_inputcut, "OO");
    });
    drive.run([&] { keys("RQ"); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(image16(cropEntry(1) + kCropId), 0);
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 1);
    EXPECT_TRUE(windowShows(1, 1920)) << seen;
    EXPECT_GT(platform::simScaler().screensWritten(), pictures);
    EXPECT_EQ(tabText(0), "HDMI1");
    EXPECT_EQ(entryTexts(0), (QStringList{"HDMI1", "1920x1080@60Hz", "Using"}));
}

TEST_F(InputChooseOnTheChip, AWordNamingAFreeCropEntryShowsTheWholeDviInputAfterARestartAndAtOnce)
{
    writeFile("/sim/sources", "0 1280x720@60\n1 1920x1080@60\n");
    ASSERT_EQ(zevlosource::pInstance()->initialize(), 0);
    ASSERT_TRUE(windowShows(1, 1920)) << seen;
    // Entry 3 is free, its rectangle and HDMI1's source byte left in it.
    setImage16(cropEntry(3) + kCropId, 0x0001);
    setImage16(cropEntry(3) + kCropX, 100);
    setImage16(cropEntry(3) + kCropW, 800);
    setImage16(cropEntry(3) + kCropH, 600);

    // Stored so in the parameter file: so the start shows it.
    setImage16(imageRecord(0) + kImgSource, 0x8003);
    restartScaler();
    EXPECT_TRUE(windowShows(0, 1280)) << seen;
    open();
    EXPECT_EQ(tabText(0), "DVI");
    EXPECT_EQ(entryTexts(0), (QStringList{"DVI", "1280x720@60Hz", "Using"}));
    keys("QRQ");
    choose(); // all of HDMI1
    ASSERT_TRUE(windowShows(1, 1920)) << seen;
    // The scaler thread's signal comes after its pass, and only then can
    // the image be saved: so here too.
    store->test_signal(kChangeRefresh);
    ASSERT_EQ(snapshot16(imageRecord(0) + kImgSource), 1);

    // A PC's RAM write of the word, then its register 11.
    uint8_t word[2] = {0x03, 0x80};
    store->VyxRamParaDeal(word, 2, imageRecord(0) + kImgSource);
    pthread_mutex_lock(&scaler->para_mutex);
    scaler->raise_request(1);
    pthread_mutex_unlock(&scaler->para_mutex);
    EXPECT_TRUE(windowShows(0, 1280)) << seen;
    EXPECT_EQ(image16(imageRecord(0) + kImgSource), 0x8003); // as the PC wrote it
    EXPECT_EQ(tabText(0), "DVI");
}

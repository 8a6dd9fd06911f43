// The LED-size screen, driven by keys and touches with the real number
// keyboard: the limits a typed side is held within, Apply's writes with and
// without a new size, the LED handshake and the check mark, and the way
// out.
#include "tests/support/panel_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "fpga/fpga_manage.h"
#include "ui/setup/ledset.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/tip.h"

using paneltest::key;

namespace {

class Ledset : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        mainWindow(); // the number keyboard and the notice
        setImage16(ram::kLedWidth, 1920);
        setImage16(ram::kLedHeight, 1080);
        takeSnapshot();
    }
    ledset* open()
    {
        g_ledset = new ledset(nullptr);
        g_page_focus = kPageLedset;
        g_ledset->show();
        return g_ledset;
    }
    QLineEdit* field(const char* name) const { return g_ledset->findChild<QLineEdit*>(name); }
    QLineEdit* widthField() const { return field("lineEdit_ledw"); }
    QLineEdit* heightField() const { return field("lineEdit_ledh"); }
    // A touch on the field opens the keyboard; `text` is typed and OK'd.
    void type(QLineEdit* into, const QString& text)
    {
        ModalDriver drive;
        drive.then([&] {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText(text);
            g_numberkeyboard->findChild<QPushButton*>("Button_ok")->click();
        });
        drive.run([&] { paneltest::touch(into); });
        ASSERT_FALSE(drive.timedOut());
    }
    // OK on Apply (item 2) from the first item; true when the check mark
    // was shown (then closed by its 300 ticks).
    bool apply()
    {
        key(g_ledset, panel::kKeyRight);
        key(g_ledset, panel::kKeyRight);
        bool noticed = false;
        ModalDriver drive;
        drive.then([&] {
            // The check mark, and nothing else, on the notice.
            bool mark = false;
            for (QLabel* l : g_tip->findChildren<QLabel*>())
                mark = mark || l->property("png").toString() == ":/png/check_180.png";
            noticed = g_tip->isVisible() && mark;
            paneltest::ticks(300);
        });
        // Without a notice the step runs after Apply returned.
        drive.run([&] { key(g_ledset, panel::kKeyOk); });
        key(g_ledset, panel::kKeyLeft);
        key(g_ledset, panel::kKeyLeft);
        return noticed;
    }
    // A side typed on the keyboard with the other side's text before, and
    // what both fields hold after.
    struct Typed {
        bool width; // the width typed, else the height
        const char* typed;
        const char* other; // the other side before
        const char* side;  // the typed side after
        const char* after; // the other side after
    };
    template <size_t N>
    void expectTyped(const Typed (&cases)[N])
    {
        for (const Typed& c : cases) {
            SCOPED_TRACE(std::string(c.width ? "width " : "height ") + c.typed);
            QLineEdit* typedInto = c.width ? widthField() : heightField();
            QLineEdit* other = c.width ? heightField() : widthField();
            other->setText(c.other);
            type(typedInto, c.typed);
            EXPECT_EQ(typedInto->text(), c.side);
            EXPECT_EQ(other->text(), c.after);
        }
    }
    // Images 0..5 in use, placed somewhere.
    void sixImages()
    {
        for (int image = 0; image < 6; ++image) {
            setImage16(ram::imageRecord(image) + ram::kImgEnable, 1);
            setImage16(ram::imageRecord(image) + ram::kImgX, uint16_t(100 * image));
            setImage16(ram::imageRecord(image) + ram::kImgWidth, 300);
        }
        takeSnapshot();
    }
};

TEST_F(Ledset, ATypedSideIsHeldWithinTheLimitsAndTheOtherSideLoweredToTheCap)
{
    const Typed cases[] = {
        {true, "9000", "1080", "8188", "800"},
        {true, "9000", "700", "8188", "700"},
        {true, "20", "8000", "64", "8000"},
        {true, "1920", "4000", "1920", "3413"},
        {true, "2560", "2560", "2560", "2560"},   // exactly the cap
        {false, "6000", "1920", "6000", "1920"},  // the height's cap is higher
        {false, "8000", "2000", "8000", "1625"},
        {false, "8188", "64", "8188", "64"},
        {true, "64", "1080", "64", "1080"},
        {true, "", "1080", "64", "1080"},         // nothing typed counts as 0
        {true, "99999999999999", "1080", "8188", "800"},
    };
    open();
    expectTyped(cases);
    EXPECT_EQ(request(), 0) << "nothing reaches the image before Apply";
    EXPECT_EQ(image16(ram::kLedWidth), 1920);
}

TEST_F(Ledset, LeadingZerosDoNotMakeATypedSideTooLarge)
{
    const Typed cases[] = {
        {true, "0000000000000100", "1080", "0000000000000100", "1080"}, // kept as typed
        {false, "000000000000001080", "1920", "000000000000001080", "1920"},
        {true, "000000000000001920", "4000", "000000000000001920", "3413"}, // read as 1920
        {true, "00000000000000000020", "1080", "64", "1080"},
        {true, "0000000000000000", "1080", "64", "1080"},
        {true, "000000000000009000", "1080", "8188", "800"},
        {true, "0000099999999999999", "1080", "8188", "800"}, // still too long a number
    };
    open();
    expectTyped(cases);

    // Applied, the kept text is the number it reads as.
    widthField()->setText("0000000000001280");
    heightField()->setText("00000000000000720");
    apply();
    EXPECT_EQ(image16(ram::kLedWidth), 1280);
    EXPECT_EQ(image16(ram::kLedHeight), 720);
}

TEST_F(Ledset, OkOnAFieldOpensTheKeyboardTitledByItsSideAndCancelKeepsTheField)
{
    open();
    EXPECT_EQ(widthField()->text(), "1920");
    EXPECT_EQ(heightField()->text(), "1080");
    EXPECT_EQ(widthField()->styleSheet(), style::kFieldFocused);
    key(g_ledset, panel::kKeyRight);
    ModalDriver drive;
    drive.then([&] {
        EXPECT_EQ(g_numberkeyboard->findChild<QLabel*>("label")->text(), "H");
        EXPECT_EQ(g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->text(), "1080");
        g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText("500");
        g_numberkeyboard->findChild<QPushButton*>("Button_close")->click();
    });
    drive.run([&] { key(g_ledset, panel::kKeyOk); });
    EXPECT_EQ(heightField()->text(), "1080");

    // The keyboard's OK for a field of some other screen changes nothing here.
    QLineEdit elsewhere;
    g_lineedit = &elsewhere;
    emit g_numberkeyboard->sendKeyBoardUIDataToLineEdit("3000");
    EXPECT_EQ(heightField()->text(), "1080");
    EXPECT_EQ(widthField()->text(), "1920");
}

TEST_F(Ledset, ApplyOfANewSizeLaysEverythingOverTheScreenAndStartsTheHandshake)
{
    fpga_manage::pInstance()->write_to_register(80, 0xFF, 3, 0);
    g_set_led_setup = 7;
    sixImages();
    setImage16(ram::kSpliceMode, 2);
    setImage16(ram::kOutput1, 960);
    setImage16(ram::kOutput2 + 2, 540);
    open();
    type(widthField(), "3840");
    EXPECT_TRUE(apply()) << "the check mark";

    const struct {
        int addr;
        uint16_t value;
    } words[] = {{1376, 0}, {1378, 3840}, {1380, 1080}, {1408, 0}, {1410, 0}, {1412, 3840}, {1414, 1080}, {1416, 0},
        {1418, 0}, {1420, 3840}, {1422, 1080}, {2282, 0}, {2284, 0}, {2286, 3840}, {2288, 1080}, {2298, 0},
        {2324, 0}, {2350, 0}, {2376, 0}, {2402, 0}, {2272, 1}};
    for (const auto& w : words)
        EXPECT_EQ(image16(w.addr), w.value) << "image word " << w.addr;
    EXPECT_EQ(image16(ram::imageRecord(6) + ram::kImgEnable), 0) << "images above 5 untouched";
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(g_set_led_para.load(), 1);
    EXPECT_EQ(g_set_led_setup.load(), 0);
    EXPECT_EQ(g_ledset->findChild<QPushButton*>("Button_apply")->styleSheet(),
        "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53) ; border:1px solid rgb(255,255,255) ;");
}

TEST_F(Ledset, ApplyOfTheStoredSizeRewritesTheOutputsOnly)
{
    fpga_manage::pInstance()->write_to_register(80, 0xFF, 3, 0);
    sixImages();
    setImage16(ram::kSpliceMode, 2);
    setImage16(ram::kOutput1 + 4, 960);
    open();
    EXPECT_FALSE(apply()) << "no notice";
    EXPECT_EQ(image16(ram::kSpliceMode), 0);
    EXPECT_EQ(image16(ram::kOutput1 + 4), 1920);
    EXPECT_EQ(image16(ram::kOutput2 + 6), 1080);
    EXPECT_EQ(image16(ram::imageRecord(3) + ram::kImgEnable), 1);
    EXPECT_EQ(image16(ram::imageRecord(0) + ram::kImgX), 0);
    EXPECT_EQ(image16(ram::imageRecord(1) + ram::kImgX), 100);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(g_set_led_para.load(), 0);
}

TEST_F(Ledset, WithoutAReadyFpgaTheNewSizeIsLaidOutButNoHandshakeStarts)
{
    for (bool manager : {true, false}) {
        SCOPED_TRACE(manager);
        if (manager)
            fpga_manage::pInstance()->write_to_register(80, 0xFF, 2, 0);
        else
            fpga_manage::destroyForTest();
        sixImages();
        open();
        type(heightField(), manager ? "2160" : "1200");
        EXPECT_TRUE(apply());
        EXPECT_EQ(image16(ram::kLedHeight), manager ? 2160 : 1200);
        EXPECT_EQ(image16(ram::imageRecord(2) + ram::kImgEnable), 0);
        EXPECT_EQ(g_set_led_para.load(), 0);
        EXPECT_EQ(request(), 1);
        key(g_ledset, panel::kKeyBack);
        serveRequest();
        setImage16(ram::kLedHeight, 1080);
        takeSnapshot();
    }
}

TEST_F(Ledset, ASizeAbove32767IsReadAndWrittenBackAsTheWordItIs)
{
    setImage16(ram::kLedWidth, 40000);
    takeSnapshot();
    open();
    EXPECT_EQ(widthField()->text(), "40000");
    EXPECT_FALSE(apply());
    EXPECT_EQ(image16(ram::kLedWidth), 40000);
    EXPECT_EQ(image16(ram::kOutput1 + 4), 40000);
}

TEST_F(Ledset, TheFieldsFollowASizeSetElsewhereAndCancelLeaves)
{
    open();
    // The PC sets a new size; the dispatcher refreshes page 13.
    setImage16(ram::kLedWidth, 2560);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(widthField()->text(), "2560");
    EXPECT_EQ(g_ledset->findChild<QLabel*>("label_tip")->text(), "LED max:8188(w),8188(h)");
    EXPECT_EQ(g_ledset->findChild<QLabel*>("label_warning")->property("png").toString(), ":/png/warning.png");

    setImage16(ram::kPanelLock, 1);
    key(g_ledset, panel::kKeyModeLetter);
    EXPECT_NE(g_ledset, nullptr);
    key(g_ledset, panel::kKeyLeft); // round to Cancel
    EXPECT_EQ(g_ledset->findChild<QPushButton*>("Button_cancle")->styleSheet(),
        "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);");
    EXPECT_EQ(widthField()->styleSheet(), style::kFieldNormal);
    key(g_ledset, panel::kKeyOk);
    EXPECT_EQ(g_ledset, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageOutputSet);
    EXPECT_EQ(request(), 0);
}

} // namespace

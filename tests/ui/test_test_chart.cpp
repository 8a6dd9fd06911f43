// The test-pattern screen, driven by its keys: which pattern byte each
// picture writes, Close and back switching it off, the mode key leaving it
// on, and the copy under the advanced menu.
#include "tests/support/panel_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include "ui/setup/test_chart.h"
#include "ui/setup/testimage.h"

using paneltest::key;

namespace {

class TestChart : public PanelTest {
protected:
    // Opened as the settings menu opens it, without the modal loop.
    test_chart* open()
    {
        g_test_chart = new test_chart(nullptr);
        g_page_focus = kPageTestChart;
        g_test_chart->show();
        return g_test_chart;
    }
    int pattern() const { return store->ram_para[ram::kTestPattern]; }
    template <class T>
    T* child(QWidget* screen, const QString& name)
    {
        return screen->findChild<T*>(name);
    }
};

TEST_F(TestChart, EachPictureShowsItsPatternAndTheScreenStays)
{
    test_chart* screen = open();
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyRight);
    EXPECT_EQ(request(), 0) << "moving the focus shows nothing";
    key(screen, panel::kKeyOk);
    EXPECT_EQ(pattern(), 3); // Blue
    EXPECT_EQ(request(), 1);
    serveRequest();
    key(screen, panel::kKeyRightLetter);
    key(screen, panel::kKeyRightLetter);
    key(screen, panel::kKeyOkLetter);
    EXPECT_EQ(pattern(), 5); // Black
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(g_test_chart, screen);
    EXPECT_EQ(g_page_focus.load(), kPageTestChart);

    // Every picture, even while a request is still pending.
    for (int item = 0; item < test_chart::kPictures; ++item) {
        QWidget* picture = child<QLabel>(screen, QString("label_test%1").arg(item + 1));
        // Walk to the item from wherever the focus is.
        for (int guard = 0; guard < 9 && picture->styleSheet() != "border:1px solid rgb(255,171,84);"; ++guard)
            key(screen, panel::kKeyRight);
        key(screen, panel::kKeyOk);
        EXPECT_EQ(pattern(), item + 1);
    }
}

TEST_F(TestChart, TheRingWrapsThroughCloseAndShowsTheFocus)
{
    test_chart* screen = open();
    QLabel* first = child<QLabel>(screen, "label_test1");
    QPushButton* close = child<QPushButton>(screen, "Button_closetest");
    EXPECT_EQ(first->styleSheet(), "border:1px solid rgb(255,171,84);");
    EXPECT_EQ(close->styleSheet(),
        "color: rgb(255, 255, 255);background-color:rgb(0,0,0);border:1px solid rgb(255,255,255);");

    key(screen, panel::kKeyLeft); // from the first picture to Close
    EXPECT_EQ(first->styleSheet(), "color: rgb(255, 255, 255);");
    EXPECT_EQ(close->styleSheet(),
        "color: rgb(255, 255, 255); background-color:rgb(0,0,0);border:1px solid rgb(255,171,84);");
    key(screen, panel::kKeyRight); // and back
    EXPECT_EQ(first->styleSheet(), "border:1px solid rgb(255,171,84);");
    EXPECT_EQ(request(), 0);

    // The pictures and their captions.
    EXPECT_EQ(first->property("png").toString(), ":/png/img_test1.png");
    EXPECT_EQ(child<QLabel>(screen, "label_test8")->property("png").toString(), ":/png/img_test8.png");
    EXPECT_EQ(child<QLabel>(screen, "label_text6")->text(), "Colour bar");
    EXPECT_EQ(child<QLabel>(screen, "label_testimage")->text(), "Test pattern");
    EXPECT_EQ(close->text(), "Close");
}

TEST_F(TestChart, CloseAndBackSwitchThePatternOffAndReturnToTheSettingsMenu)
{
    for (bool byClose : {true, false}) {
        test_chart* screen = open();
        key(screen, panel::kKeyOk);
        EXPECT_EQ(pattern(), 1);
        serveRequest();
        if (byClose) {
            key(screen, panel::kKeyLeft);
            key(screen, panel::kKeyOk);
        } else {
            key(screen, panel::kKeyBackLetter);
        }
        EXPECT_EQ(pattern(), 0) << byClose;
        EXPECT_EQ(request(), 1);
        EXPECT_EQ(g_test_chart, nullptr);
        EXPECT_EQ(g_page_focus.load(), kPageOption);
        EXPECT_FALSE(screen->isVisible());
        serveRequest();
    }
}

TEST_F(TestChart, TheModeKeyLeavesThePatternOnUnlessThePanelIsLocked)
{
    test_chart* screen = open();
    for (int i = 0; i < 3; ++i)
        key(screen, panel::kKeyRight);
    key(screen, panel::kKeyOk);
    serveRequest();

    setImage16(ram::kPanelLock, 1);
    key(screen, panel::kKeyMode);
    EXPECT_EQ(g_test_chart, screen);
    EXPECT_EQ(g_custommode, nullptr);

    setImage16(ram::kPanelLock, 0);
    key(screen, panel::kKeyModeLetter);
    EXPECT_EQ(g_test_chart, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_NE(g_custommode, nullptr);
    EXPECT_EQ(pattern(), 4); // White stays on the LED screen
    EXPECT_EQ(request(), 0);
}

TEST_F(TestChart, TheCopyUnderTheAdvancedMenuWritesTheSameAndReturnsThere)
{
    g_testimage = new testimage(nullptr);
    g_testimage->show();
    key(g_testimage, panel::kKeyRight);
    key(g_testimage, panel::kKeyOk);
    EXPECT_EQ(pattern(), 2);
    key(g_testimage, panel::kKeyBack);
    EXPECT_EQ(pattern(), 0);
    EXPECT_EQ(g_testimage, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
}

} // namespace

// On a host the PC keyboard works the panel: arrows, Enter, Escape and Home
// arrive as the keypad's left, right, OK, back and mode.
#include "tests/support/panel_fixture.h"

#include <QApplication>
#include <QPushButton>
#include <memory>

#include "platform/sim_keys.h"
#include "ui/shell/lockwindow.h"

namespace {
using SimKeys = PanelTest;
} // namespace

TEST_F(SimKeys, PcKeysArriveAsTheKeypadsCodes)
{
    std::unique_ptr<QObject> map(platform::installSimKeyMap(qApp));
    mainWindow();
    paneltest::key(window, Qt::Key_Left);
    EXPECT_EQ(window->focused(), window->findChild<QPushButton*>("tools"));
    paneltest::key(window, Qt::Key_Right);
    paneltest::key(window, Qt::Key_Right);
    EXPECT_EQ(window->focused(), window->findChild<QPushButton*>("inputchoose"));

    // Escape is back: from the main window's top level, standby.
    paneltest::key(window, Qt::Key_Escape);
    ASSERT_NE(g_lockwindow, nullptr);
    paneltest::key(g_lockwindow, Qt::Key_Return);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    paneltest::key(window, Qt::Key_Home);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);

    // Letters are the keypad's own.
    EXPECT_EQ(platform::simKeypadCode('Q'), 0);
    EXPECT_EQ(platform::simKeypadCode(Qt::Key_Enter), panel::kKeyOk);
}

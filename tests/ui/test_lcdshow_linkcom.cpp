// The panel time-out screen (two lists edited in two steps, held in memory)
// and the serial-link screen (fixed values, captions in the language).
#include "tests/support/panel_fixture.h"
#include "tests/ui/setup_screens.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "ui/setup/lcdshow.h"
#include "ui/setup/linkcom.h"

using paneltest::key;

namespace {

class LcdshowScreen : public PanelTest {
protected:
    lcdshow* open() { return screen = openScreen(g_lcdshow, kPageLcdshow); }
    QComboBox* combo(const char* name) const { return screen->findChild<QComboBox*>(name); }
    QString shown(const char* name) const { return combo(name)->currentText(); }
    QString border(const char* name) const
    {
        const QString s = combo(name)->styleSheet();
        const int at = s.indexOf(QLatin1String("border:1px solid "));
        return s.mid(at + 17, s.indexOf(';', at) - at - 17);
    }
    lcdshow* screen = nullptr;
};

const char* const kLcdWhite = "rgb(255, 255, 255)";
const char* const kLcdFocus = "rgb(255,171,84)";
const char* const kLcdEdit = "rgb(255,0,0)";

} // namespace

TEST_F(LcdshowScreen, OpensOnTheStoredTimesAndOkOkStoresTheSameAgain)
{
    g_back_to_mainwindow_time = 6000;
    g_auto_lock_time = 30000;
    open();
    EXPECT_EQ(shown("comboBox_back"), "60");
    EXPECT_EQ(shown("comboBox_lock"), "5min");
    EXPECT_EQ(border("comboBox_back"), kLcdFocus);
    EXPECT_EQ(border("comboBox_lock"), kLcdWhite);

    key(screen, panel::kKeyRight); // to the lock list
    EXPECT_EQ(border("comboBox_back"), kLcdWhite);
    EXPECT_EQ(border("comboBox_lock"), kLcdFocus);
    key(screen, panel::kKeyOk);
    EXPECT_EQ(border("comboBox_lock"), kLcdEdit);
    g_auto_lock_time = 1; // to see the second OK store
    key(screen, panel::kKeyOkLetter);
    EXPECT_EQ(g_auto_lock_time, 30000u);
    EXPECT_EQ(border("comboBox_lock"), kLcdFocus);
    EXPECT_EQ(g_back_to_mainwindow_time, 6000u);
}

TEST_F(LcdshowScreen, EditingCyclesTheEntriesAndNeverStoresTwentyMinutes)
{
    open();
    EXPECT_EQ(shown("comboBox_back"), "30"); // the start-up default 3000
    key(screen, panel::kKeyOk);
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        key(screen, panel::kKeyRight);
        seen << shown("comboBox_back");
    }
    EXPECT_EQ(seen, (QStringList{"60", "Never", "30"}));
    key(screen, panel::kKeyLeft); // backwards over the start
    EXPECT_EQ(shown("comboBox_back"), "Never");
    EXPECT_EQ(g_back_to_mainwindow_time, 3000u) << "nothing stored before the second OK";
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_back_to_mainwindow_time, 120000u);

    key(screen, panel::kKeyLeft); // Left, too, moves to the other list
    key(screen, panel::kKeyOk);
    key(screen, panel::kKeyLeft);
    EXPECT_EQ(shown("comboBox_lock"), "Never");
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_auto_lock_time, 120000u);

    // An unknown stored time shows the first entry.
    g_auto_lock_time = 12345;
    screen->para_init();
    EXPECT_EQ(shown("comboBox_lock"), "5min");
}

TEST_F(LcdshowScreen, ALanguageChangeMidEditEndsTheEditWithoutStoring)
{
    g_back_to_mainwindow_time = 6000;
    open();
    key(screen, panel::kKeyOk);
    key(screen, panel::kKeyRight);
    EXPECT_EQ(shown("comboBox_back"), "Never");
    switchPanelLanguage(panel::kRussian);
    EXPECT_EQ(shown("comboBox_back"), "60");
    EXPECT_EQ(combo("comboBox_back")->itemText(2), QString::fromUtf8("Никогда"));
    EXPECT_EQ(border("comboBox_back"), kLcdFocus);
    EXPECT_EQ(g_back_to_mainwindow_time, 6000u);
    // Not editing any more: Right moves to the other list.
    key(screen, panel::kKeyRight);
    EXPECT_EQ(border("comboBox_lock"), kLcdFocus);
    EXPECT_EQ(g_back_to_mainwindow_time, 6000u);

    // Back drops an edit, too.
    key(screen, panel::kKeyOk);
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyBack);
    EXPECT_EQ(g_auto_lock_time, 30000u);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
}

TEST_F(LcdshowScreen, ItsTwoLineCaptionsFitTheirLabelsInEveryLanguage)
{
    open();
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        switchPanelLanguage(language);
        for (const char* name : {"label_backmainwindow", "label_autolock"}) {
            QLabel* caption = screen->findChild<QLabel*>(name);
            const QRect room = caption->contentsRect();
            const QRect lines = QFontMetrics(caption->font()).boundingRect(room, Qt::TextWordWrap, caption->text());
            EXPECT_LE(lines.width(), room.width()) << language << " " << name;
            EXPECT_LE(lines.height(), room.height()) << language << " " << name;
        }
    }
}

using LinkcomScreen = PanelTest;

TEST_F(LinkcomScreen, ShowsTheFixedSettingsInEveryLanguageAndOnlyTheCaptionsChange)
{
    linkcom* screen = openScreen(g_linkcom, kPageLinkcom);
    auto values = [screen] {
        QStringList out;
        for (const char* name : {"Button_baud", "pushButton", "pushButton_2"})
            out << screen->findChild<QPushButton*>(name)->text();
        return out;
    };
    auto caption = [screen](const char* name) { return screen->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(caption("label_com"), "Serial port");
    EXPECT_EQ(caption("label_baud"), "Baud rate");
    QStringList titles{caption("label_com")};
    for (int language : {panel::kChinese, panel::kRussian, panel::kVietnamese, panel::kTraditional}) {
        switchPanelLanguage(language);
        EXPECT_EQ(values(), (QStringList{"115200", "8", "1"}));
        titles << caption("label_com");
    }
    EXPECT_EQ(titles.removeDuplicates(), 0) << titles.join('|').toStdString();

    for (int code : {panel::kKeyOk, panel::kKeyLeft, panel::kKeyRight})
        key(screen, code);
    EXPECT_EQ(g_linkcom, screen);
    key(screen, panel::kKeyBackLetter);
    EXPECT_EQ(g_linkcom, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLinkOption);
}

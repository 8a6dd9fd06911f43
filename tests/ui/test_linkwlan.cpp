// The Ethernet address screen: twelve fields from the stored texts, edited
// on the shared number keyboard, stored and applied together by Apply; a
// set that is not four numbers 0..255 per row is refused; the keyboard's
// answer reaches only the screen whose field it edits.
#include "tests/support/panel_fixture.h"
#include "tests/ui/setup_screens.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <algorithm>

#include "core/config_engine.h"
#include "platform/shell.h"
#include "ui/setup/linkwlan.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"

using paneltest::key;

namespace {

const char* const kWlanFields[] = {"lineEditIp1", "lineEditIp2", "lineEditIp3", "lineEditIp4",
                                   "lineEditMask1", "lineEditMask2", "lineEditMask3", "lineEditMask4",
                                   "lineEditGate1", "lineEditGate2", "lineEditGate3", "lineEditGate4"};
constexpr int kWlanApply = 12;
constexpr int kWlanCancel = 13;

class LinkwlanScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        mainWindow(); // makes the number keyboard
        ConfigEngine::pInstance(); // the stored address, applied at start
        platform::simShell().clearLog();
    }
    linkwlan* open()
    {
        screen = openScreen(g_linkwlan, kPageLinkwlan);
        at = 0;
        return screen;
    }
    QStringList fields() const
    {
        QStringList out;
        for (const char* name : kWlanFields)
            out << screen->findChild<QLineEdit*>(name)->text();
        return out;
    }
    // Moves the focus to ring item `item` with Right.
    void focus(int item)
    {
        while (at != item) {
            key(screen, panel::kKeyRight);
            at = (at + 1) % 14;
        }
    }
    // OK on field `item`; on the keyboard it opens, `typed` and its OK
    // (nothing typed and the keyboard closed when `typed` is null). Returns
    // the keyboard's title.
    QString edit(int item, const char* typed)
    {
        focus(item);
        QString title;
        ModalDriver drive;
        drive.then([&] {
            title = g_numberkeyboard->findChild<QLabel*>("label")->text();
            if (typed) {
                g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText(QString::fromUtf8(typed));
                paneltest::touch(g_numberkeyboard->findChild<QPushButton*>("Button_ok"));
            } else {
                paneltest::touch(g_numberkeyboard->findChild<QPushButton*>("Button_close"));
            }
        });
        drive.run([&] { key(screen, panel::kKeyOk); });
        EXPECT_FALSE(drive.timedOut());
        return title;
    }
    void apply()
    {
        focus(kWlanApply);
        key(screen, panel::kKeyOk);
    }
    QByteArray ini() const { return readFile("/data/configs/tcpip.ini"); }
    QString stored(const char* key) const
    {
        QSettings settings(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
        return settings.value(QStringLiteral("config/%1").arg(key)).toString();
    }
    static std::vector<std::string> shell() { return platform::simShell().log(); }
    static bool ran(const std::string& command)
    {
        const std::vector<std::string> log = shell();
        return std::find(log.begin(), log.end(), command) != log.end();
    }
    QString style(const char* name) const { return screen->findChild<QWidget*>(name)->styleSheet(); }

    linkwlan* screen = nullptr;
    int at = 0;
};

QStringList wlanParts(const char* ip, const char* mask, const char* gate)
{
    return QString::fromLatin1(ip).split('.') + QString::fromLatin1(mask).split('.')
        + QString::fromLatin1(gate).split('.');
}

} // namespace

TEST_F(LinkwlanScreen, ShowsTheStoredAddressAndAnUnchangedApplyDoesNothing)
{
    open();
    EXPECT_EQ(fields(), wlanParts("192.168.0.199", "255.255.255.0", "192.168.0.1"));
    const QByteArray before = ini();
    apply();
    EXPECT_EQ(ini(), before);
    EXPECT_TRUE(shell().empty());
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(g_linkwlan, screen);
}

TEST_F(LinkwlanScreen, ANewGatewayRewritesAllThreeKeysAndSetsEth0Again)
{
    open();
    EXPECT_EQ(edit(11, "254"), "IP"); // lineEditGate4
    EXPECT_EQ(fields().last(), "254");
    EXPECT_TRUE(shell().empty()) << "nothing applies before Apply";
    apply();
    EXPECT_EQ(stored("IPAddress"), "192.168.0.199");
    EXPECT_EQ(stored("SubNetMask"), "255.255.255.0");
    EXPECT_EQ(stored("GateWay"), "192.168.0.254");
    const std::vector<std::string> log = shell();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "sync");
    EXPECT_TRUE(ran("ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up"));
    EXPECT_TRUE(ran("route add -host 192.168.0.254 dev eth0"));
    EXPECT_TRUE(ran("route add default gw 192.168.0.254 metric 100"));
    EXPECT_EQ(g_str_gateway.get(), "192.168.0.254");
    EXPECT_EQ(codes, std::vector<int>{kChangeRefresh});
    // Still open on Apply: a second Apply has nothing new to store.
    EXPECT_EQ(g_linkwlan, screen);
    platform::simShell().clearLog();
    key(screen, panel::kKeyOk);
    EXPECT_TRUE(shell().empty());
}

TEST_F(LinkwlanScreen, APartAbove255OrEmptyRefusesApplyAndLeadingZerosAreDropped)
{
    open();
    const QByteArray before = ini();
    edit(3, "300");
    apply();
    edit(3, ""); // emptied on the keyboard
    apply();
    EXPECT_EQ(ini(), before);
    EXPECT_TRUE(shell().empty());
    EXPECT_TRUE(codes.empty());

    // "010" is ten: stored without the zero the network tools read as octal.
    edit(3, "7");
    edit(2, "010");
    apply();
    EXPECT_EQ(stored("IPAddress"), "192.168.10.7");
    EXPECT_TRUE(ran("ifconfig eth0 192.168.10.7 netmask 255.255.255.0 up"));
}

TEST_F(LinkwlanScreen, AStoredTextOfFewerPartsLeavesFieldsEmptyAndCannotBeApplied)
{
    g_str_ip = QStringLiteral("10.0.1");
    open();
    EXPECT_EQ(fields().mid(0, 4), (QStringList{"10", "0", "1", ""}));
    apply();
    EXPECT_TRUE(shell().empty());
    edit(3, "5");
    apply();
    EXPECT_EQ(stored("IPAddress"), "10.0.1.5");
}

TEST_F(LinkwlanScreen, KeyboardTitlesFocusRingAndCancel)
{
    open();
    EXPECT_EQ(edit(9, nullptr), "IP");  // lineEditGate2
    EXPECT_EQ(edit(4, nullptr), "Mask"); // round the ring to lineEditMask1
    EXPECT_EQ(fields(), wlanParts("192.168.0.199", "255.255.255.0", "192.168.0.1")) << "closed: nothing taken";

    // Back to the first field, then Left onto Cancel.
    focus(0);
    const QString firstRowStyle = style("lineEditIp1");
    key(screen, panel::kKeyLeft);
    EXPECT_EQ(style("Button_cancle"), "color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);");
    EXPECT_TRUE(style("lineEditIp1").contains("border-left:1px solid rgb(255,255,255)"));
    EXPECT_FALSE(style("lineEditIp1").contains("rgb(255,171,84)"));
    key(screen, panel::kKeyRight);
    EXPECT_EQ(style("Button_cancle"), "color: rgb(255, 255, 255);border:1px solid rgb(255,255,255);");
    EXPECT_EQ(style("lineEditIp1"), firstRowStyle);
    EXPECT_TRUE(style("lineEditIp4").contains("border-right:1px solid"));

    key(screen, panel::kKeyLeft); // Cancel
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_linkwlan, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLinkOption);
    QPointer<linkwlan> gone(screen);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(g_lineedit, nullptr) << "no pointer left to a field that is gone";
}

TEST_F(LinkwlanScreen, TouchingAFieldOpensTheKeyboardOnIt)
{
    open();
    ModalDriver drive;
    drive.then([&] {
        EXPECT_EQ(g_numberkeyboard->findChild<QLabel*>("label")->text(), "Mask");
        g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText("128");
        paneltest::touch(g_numberkeyboard->findChild<QPushButton*>("Button_ok"));
    });
    drive.run([&] { paneltest::touch(screen->findChild<QWidget*>("lineEditMask4")); });
    EXPECT_EQ(fields()[7], "128");
}

TEST_F(LinkwlanScreen, TheKeyboardsAnswerForAnotherScreensFieldIsNotTaken)
{
    open();
    edit(3, "7");
    ASSERT_EQ(fields()[3], "7");
    // Another screen has the keyboard on a field of its own now (and would
    // take the answer itself): this screen writes into no field.
    QLineEdit other;
    g_lineedit = &other;
    emit g_numberkeyboard->sendKeyBoardUIDataToLineEdit(QStringLiteral("99"));
    EXPECT_EQ(other.text(), "");
    EXPECT_EQ(fields()[3], "7");
    g_lineedit = nullptr;
}

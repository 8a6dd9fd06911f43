// The output-port screen: the selection walking over four columns and
// scrolling through ten ports, the rectangle of the selected port read
// from FPGA 0's parameter RAM as the PC wrote it (also while the PC writes),
// the link icons, and a screen without an FPGA manager.
#include "tests/support/panel_fixture.h"
#include "tests/ui/setup_screens.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "bench/pc_client.h"
#include "fpga/fpga_manage.h"
#include "platform/fpga_sim.h"
#include "platform/sim_chips.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "ui/setup/netset.h"

using paneltest::key;

namespace {

class NetsetScreen : public PanelTest {
protected:
    netset* open() { return screen = openScreen(g_netset, kPageNetset); }
    void fpgaReady() { ASSERT_NO_FATAL_FAILURE(bringFpga0Up()); }
    // The PC writes `words` as u16 into FPGA 0's parameter RAM from `at` on.
    void pcWrite(message_deal& pc, uint32_t at, std::initializer_list<uint16_t> words)
    {
        Bytes data;
        for (uint16_t w : words) {
            data.push_back(uint8_t(w));
            data.push_back(uint8_t(w >> 8));
        }
        Bytes frame = pc::fpgaWriteRam(message_deal::kTargetFpga0, 0, 0, at, data);
        const size_t length = frame.size();
        frame.resize(protocol_phy::kMaxBody);
        ASSERT_GT(pc.message_group_deal(frame.data(), int(length), protocol_phy::kMaxBody), 10);
        EXPECT_EQ(frame[10], 0) << "status of the write";
    }
    QStringList rect() const
    {
        QStringList out;
        for (const char* name : {"x_lineEdit", "y_lineEdit", "w_lineEdit", "h_lineEdit"})
            out << screen->findChild<QLineEdit*>(name)->text();
        return out;
    }
    QStringList columns() const
    {
        QStringList out;
        for (const char* name : {"LED1label", "LED2label", "LED3label", "LED4label"})
            out << screen->findChild<QLabel*>(name)->text();
        return out;
    }
    QStringList icons() const
    {
        QStringList out;
        for (const char* name : {"L1label", "L2label", "L3label", "L4label"})
            out << screen->findChild<QLabel*>(name)->property("png").toString();
        return out;
    }
    int frameX() const { return screen->findChild<QWidget*>("net_frame")->x(); }
    // Columns whose box has the selected style (no border of its own).
    QList<int> selectedBoxes() const
    {
        QList<int> out;
        for (int c = 0; c < 4; ++c)
            if (screen->findChild<QPushButton*>(QStringLiteral("LED%1Button").arg(c + 1))->styleSheet().contains(
                    QLatin1String("border:0px")))
                out << c;
        return out;
    }
    void press(int code, int times)
    {
        for (int i = 0; i < times; ++i)
            key(screen, code);
    }

    netset* screen = nullptr;
};

QStringList netsetPorts(int first)
{
    QStringList out;
    for (int c = 0; c < 4; ++c)
        out << QStringLiteral("LED%1").arg(first + c);
    return out;
}

const QString kNetsetOnline = QStringLiteral(":/png/online_up.png");
const QString kNetsetOffline = QStringLiteral(":/png/offline_up.png");

} // namespace

TEST_F(NetsetScreen, RightWalksTheFrameThenScrollsToLed10AndLeftComesBack)
{
    open();
    EXPECT_EQ(columns(), netsetPorts(1));
    EXPECT_EQ(frameX(), 24);
    EXPECT_EQ(selectedBoxes(), QList<int>{0});

    press(panel::kKeyRight, 3);
    EXPECT_EQ(frameX(), 24 + 3 * 68);
    EXPECT_EQ(columns(), netsetPorts(1));
    EXPECT_EQ(selectedBoxes(), QList<int>{3});

    key(screen, panel::kKeyRightLetter); // LED5: the window scrolls under the frame
    EXPECT_EQ(columns(), netsetPorts(2));
    EXPECT_EQ(frameX(), 228);
    press(panel::kKeyRight, 5);
    EXPECT_EQ(columns(), netsetPorts(7));
    press(panel::kKeyRight, 2); // LED10 is the last
    EXPECT_EQ(columns(), netsetPorts(7));
    EXPECT_EQ(selectedBoxes(), QList<int>{3});

    press(panel::kKeyLeft, 3);
    EXPECT_EQ(frameX(), 24);
    EXPECT_EQ(columns(), netsetPorts(7));
    EXPECT_EQ(selectedBoxes(), QList<int>{0});
    press(panel::kKeyLeftLetter, 6);
    EXPECT_EQ(columns(), netsetPorts(1));
    press(panel::kKeyLeft, 2);
    EXPECT_EQ(columns(), netsetPorts(1));
    EXPECT_EQ(frameX(), 24);

    key(screen, panel::kKeyOk); // nothing to act on
    EXPECT_EQ(g_netset, screen);
    key(screen, panel::kKeyBack);
    EXPECT_EQ(g_netset, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageOutputSet);
}

TEST_F(NetsetScreen, ALanguageChangeNamesThePortsInChinese)
{
    open();
    switchPanelLanguage(panel::kChinese);
    EXPECT_EQ(columns().first(), QString::fromUtf8("网口LED1"));
    EXPECT_EQ(screen->findChild<QLabel*>("w_label")->text(), QString::fromUtf8("宽"));
}

TEST_F(NetsetScreen, ShowsThePortRectangleThePcWroteIntoFpga0sParameterRam)
{
    fpgaReady();
    message_deal pc;
    pcWrite(pc, 8, {11, 12, 13, 14});       // LED1
    pcWrite(pc, 19, {100, 200, 300, 400});  // LED2: from an odd offset
    pcWrite(pc, 520 + 8, {5, 6, 1280, 512}); // LED6
    const uint8_t* ram = fpga_manage::MCU_RAM_PARA_func[0];
    EXPECT_EQ(Bytes(ram + 19, ram + 27), (Bytes{100, 0, 200, 0, 44, 1, 144, 1}));

    open();
    EXPECT_EQ(rect(), (QStringList{"11", "12", "13", "14"}));
    key(screen, panel::kKeyRight);
    EXPECT_EQ(rect(), (QStringList{"100", "200", "300", "400"}));
    press(panel::kKeyRight, 4);
    EXPECT_EQ(rect(), (QStringList{"5", "6", "1280", "512"}));

    // A new layout shows at the next key, not by itself.
    pcWrite(pc, 528, {7, 8, 9, 10});
    EXPECT_EQ(rect(), (QStringList{"5", "6", "1280", "512"}));
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyLeft);
    EXPECT_EQ(rect(), (QStringList{"7", "8", "9", "10"}));
}

TEST_F(NetsetScreen, APortIsNeverSeenHalfWrittenWhileThePcRewritesIt)
{
    fpgaReady();
    open();
    key(screen, panel::kKeyRight); // LED2, bytes 19-26
    message_deal first;
    pcWrite(first, 19, {0, 1000, 2000, 3000});
    std::atomic<bool> stop{false};
    std::thread link([&] {
        message_deal pc;
        // Every rectangle the PC sends is (k, k + 1000, k + 2000, k + 3000).
        for (uint16_t k = 0; !stop; k = uint16_t((k + 1) % 1000))
            pcWrite(pc, 19, {k, uint16_t(k + 1000), uint16_t(k + 2000), uint16_t(k + 3000)});
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        screen->wlan_para_get(1);
        const QStringList r = rect();
        const int x = r[0].toInt();
        torn += r != QStringList{QString::number(x), QString::number(x + 1000), QString::number(x + 2000),
                                 QString::number(x + 3000)};
    }
    stop = true;
    link.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(NetsetScreen, LinkedPortsShowTheOnlineIconOnceFpga0IsReady)
{
    fpgaReady();
    platform::simFpga(0).setLinks(0x0205); // LED1, LED3, LED10
    open();
    EXPECT_EQ(icons(), (QStringList{kNetsetOnline, kNetsetOffline, kNetsetOnline, kNetsetOffline}));

    // The icons follow the window, and a link that drops shows at the next key.
    platform::simFpga(0).setLinks(0x0201);
    press(panel::kKeyRight, 9);
    EXPECT_EQ(columns(), netsetPorts(7));
    EXPECT_EQ(icons(), (QStringList{kNetsetOffline, kNetsetOffline, kNetsetOffline, kNetsetOnline}));
    press(panel::kKeyLeft, 9);
    EXPECT_EQ(icons(), (QStringList{kNetsetOnline, kNetsetOffline, kNetsetOffline, kNetsetOffline}));
}

TEST_F(NetsetScreen, WithoutAnFpgaManagerEveryPortIsOfflineWithAnEmptyRectangle)
{
    ASSERT_EQ(fpga_manage::p_fpga_manage, nullptr);
    open();
    press(panel::kKeyRight, 5);
    EXPECT_EQ(icons(), (QStringList{kNetsetOffline, kNetsetOffline, kNetsetOffline, kNetsetOffline}));
    EXPECT_EQ(rect(), (QStringList{"0", "0", "0", "0"}));
}

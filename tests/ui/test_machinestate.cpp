// The status screen on the simulated FPGA: the version lines from FPGA 0's
// registers, the port row from its links (rebuilt only on an output-port
// change), the inputs with a signal, the barcode, the captions in each
// language, and the keys.
#include "tests/support/panel_fixture.h"
#include "tests/ui/debug_lines.h"

#include <QFrame>
#include <QLabel>
#include <QVariant>

#include "fpga/fpga_manage.h"
#include "platform/sim_chips.h"
#include "ui/shell/machinestate.h"
#include "video_io/zevlosource.h"

using namespace ram;
using paneltest::key;

namespace {

class StatusScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        for (int s = 0; s < 4; ++s)
            setInput(s, 0, 0, 0);
    }

    // FPGA 0 brought up by the worker with these links, its version
    // registers set.
    void runFpga(uint16_t links, std::initializer_list<uint8_t> reg28to31)
    {
        int r = 28;
        for (uint8_t v : reg28to31)
            platform::simFpga(0).setReg(r++, v);
        platform::simFpga(0).setLinks(links);
        zevlosource::pInstance()->setup_state[0] = 2;
        fpga_manage* m = fpga_manage::pInstance();
        m->softinit();
        for (int turn = 0; turn < 5000 && m->get_fpga_status() != 1; ++turn) {
            ++G_timeTicks;
            m->fpga_manage_deal(nullptr);
        }
        ASSERT_EQ(m->get_fpga_status(), 1);
    }

    void setInput(int s, uint16_t w, uint16_t h, uint16_t rate)
    {
        setImage16(inputTiming(s) + kTimingWidth, w);
        setImage16(inputTiming(s) + kTimingHeight, h);
        setImage16(inputTiming(s) + kTimingRate, rate);
    }

    // Opens the screen from the main window, runs `inside` while it is up,
    // then backs out.
    void withStatus(const std::function<void()>& inside)
    {
        mainWindow();
        ModalDriver drive;
        drive.then([&] {
            ASSERT_NE(g_machinestate, nullptr);
            inside();
            if (g_machinestate)
                key(g_machinestate, panel::kKeyBack);
        });
        drive.run([&] { window->on_machinestate_clicked(); });
        EXPECT_FALSE(drive.timedOut());
    }

    QLabel* label(const QString& name) const { return g_machinestate->findChild<QLabel*>(name); }
    QString text(const char* name) const { return label(name)->text(); }
    QString picture(const QString& name) const { return label(name)->property("png").toString(); }
    // The ports shown online, as a mask of ports 1-10.
    int onlinePorts() const
    {
        int mask = 0;
        for (int k = 0; k < 10; ++k) {
            const QString p = picture(QStringLiteral("port%1_link").arg(k + 1));
            EXPECT_TRUE(p == ":/png/online.png" || p == ":/png/offline.png") << p.toStdString();
            if (p == ":/png/online.png")
                mask |= 1 << k;
        }
        return mask;
    }
};

} // namespace

TEST_F(StatusScreen, VersionsComeFromFpga0sRegistersAndTheBarcodeFromItsStore)
{
    runFpga(0x000F, {0x05, 0x15, 0x03, 0x24});
    g_str_barcode = QStringLiteral(" ");
    withStatus([&] {
        EXPECT_EQ(text("label_FPGA1"), "FPGA:V11.00.05 2024-03-15");
        EXPECT_EQ(text("label_MCU"), "MCU:V11.02.00 2026-04-04");
        EXPECT_EQ(label("label_FPGA1")->geometry(), QRect(150, 15, 140, 15));
        EXPECT_TRUE(label("label_FPGA2")->isHidden());
        EXPECT_EQ(text("label_2"), "SN:TZ9999");
    });
    g_str_barcode = QStringLiteral("VX2024A1");
    withStatus([&] { EXPECT_EQ(text("label_2"), "SN:VX2024A1"); });
}

TEST_F(StatusScreen, WithoutAnFpgaManagerEveryPortIsOfflineAndTheVersionReadsZero)
{
    withStatus([&] {
        EXPECT_EQ(text("label_FPGA1"), "FPGA:V11.00.00 2000-00-00");
        EXPECT_EQ(onlinePorts(), 0);
        // A port change means nothing without the manager.
        store->test_signal(kChangePortState);
        EXPECT_EQ(onlinePorts(), 0);
    });
}

TEST_F(StatusScreen, PortRowFollowsTheLinksOnlyOnAnOutputPortChange)
{
    runFpga(0xFE01, {}); // ports 1 and 10, and bits the row does not show
    withStatus([&] {
        EXPECT_EQ(onlinePorts(), 0x0201);
        EXPECT_EQ(g_machinestate->findChildren<QFrame*>("frame_ports").size(), 1);
        EXPECT_EQ(g_machinestate->findChildren<QLabel*>("port1_link").first()->geometry(), QRect(56, 27, 16, 14));

        platform::simFpga(0).setLinks(0x0006);
        store->test_signal(kChangeInputTiming);
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(onlinePorts(), 0x0201) << "another code leaves the row";
        store->test_signal(kChangePortState);
        EXPECT_EQ(onlinePorts(), 0x0006);
        EXPECT_EQ(g_machinestate->findChildren<QFrame*>("frame_ports").size(), 1);
    });
}

TEST_F(StatusScreen, InputsShowTheirNamesAndWhetherTheyCarryASignal)
{
    setInput(0, 1920, 1080, 60); // DVI only
    setInput(2, 1920, 1080, 0);  // a rate of 0 is no signal
    withStatus([&] {
        EXPECT_EQ(picture("sourceid4pixmap"), ":/png/dvilv.png");
        EXPECT_EQ(picture("sourceid1pixmap"), ":/png/HDMI13_1.png");
        EXPECT_EQ(picture("sourceid2pixmap"), ":/png/HDMI13_1.png");
        EXPECT_EQ(picture("sourceid3pixmap"), ":/png/HDMI20.png");
        EXPECT_TRUE(picture("sourceid0pixmap").isEmpty());
        EXPECT_TRUE(picture("sourceid5pixmap").isEmpty());
        EXPECT_TRUE(label("sourceid4pixmap")->hasScaledContents());
        EXPECT_EQ(text("sourceid1name"), "<font style = 'font-size:9px' color = #ffffff >HDMI1</font>");
        EXPECT_EQ(text("sourceid3name"), "<font style = 'font-size:9px' color = #51BB28 >HDMI3</font>");
        EXPECT_EQ(text("sourceid4name"), "<font style = 'font-size:9px' color = #ffffff >DVI</font>");
        EXPECT_TRUE(label("sourceid0name")->isHidden());
        EXPECT_TRUE(label("sourceid5name")->isHidden());

        setInput(0, 0, 0, 0);
        setInput(3, 3840, 2160, 60);
        store->test_signal(kChangeInputTiming);
        EXPECT_EQ(picture("sourceid4pixmap"), ":/png/DVI.png");
        EXPECT_EQ(picture("sourceid3pixmap"), ":/png/HDMI20_lv.png");
    });
}

TEST_F(StatusScreen, TitleAndCaptionsInEveryLanguage)
{
    const struct {
        int language;
        const char* title;
        const char* version;
        const char* output;
        const char* input;
    } cases[] = {
        {panel::kEnglish, "Devices", "en_version_state", "output_state", "input_state"},
        {panel::kChinese, "设备信息", "version_state", "output_state", "input_state"},
        {panel::kRussian, "Устройство", "ru_version_state", "ru_output_state", "ru_input_state"},
        {panel::kVietnamese, "Thiết bị", "en_version_state", "output_state", "input_state"},
        {panel::kTraditional, "設備信息", "version_state", "output_state", "input_state"},
    };
    store->ram_para[kLanguage] = panel::kChinese;
    withStatus([&] {
        for (const auto& c : cases) {
            // The language changed while the screen is open: the next refresh.
            store->ram_para[kLanguage] = uint8_t(c.language);
            store->test_signal(kChangeRefresh);
            EXPECT_EQ(text("label_title"), QString::fromUtf8(c.title)) << c.language;
            EXPECT_EQ(picture("label_state3"), panel::png_plain(c.version)) << c.language;
            EXPECT_EQ(picture("label_state1"), panel::png_plain(c.output)) << c.language;
            EXPECT_EQ(picture("label_state2"), panel::png_plain(c.input)) << c.language;
        }
    });
}

TEST_F(StatusScreen, BackReturnsToTheMainWindowAndTheModeKeyToTheUserModes)
{
    withStatus([&] {
        key(g_machinestate, panel::kKeyOk);
        key(g_machinestate, panel::kKeyLeft);
        EXPECT_EQ(g_page_focus.load(), kPageMachineState);
        key(g_machinestate, panel::kKeyBack);
    });
    EXPECT_EQ(g_machinestate, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);

    setImage16(kPanelLock, 1);
    withStatus([&] {
        key(g_machinestate, panel::kKeyMode);
        EXPECT_NE(g_machinestate, nullptr);
        EXPECT_EQ(g_custommode, nullptr);
    });
    setImage16(kPanelLock, 0);
    withStatus([&] { key(g_machinestate, panel::kKeyModeLetter); });
    EXPECT_EQ(g_machinestate, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(StatusScreen, EachKeyWritesItsDebugLine)
{
    withStatus([&] {
        DebugLines log;
        key(g_machinestate, panel::kKeyLeft);
        key(g_machinestate, panel::kKeyRightLetter);
        key(g_machinestate, panel::kKeyOk);
        key(g_machinestate, 'N'); // a global key: no line
        setImage16(kPanelLock, 1);
        key(g_machinestate, panel::kKeyMode); // written, then dropped by the lock
        setImage16(kPanelLock, 0);
        key(g_machinestate, panel::kKeyBack);
        EXPECT_EQ(log.take(), QStringList({
                                  "this is left-code [MachineState][Release] ui_select=0x0",
                                  "this is right-code [MachineState][Release] ui_select=0x0",
                                  "this is OK button(MachineState)[Press]",
                                  "this is OK button(MachineState)[Release]",
                                  "this is mode-code [MachineState][Release]",
                                  "this is back button(MachineState)[Press]",
                                  "this is back button(MachineState)[Release]",
                              }));
    });
    EXPECT_EQ(g_machinestate, nullptr);
}

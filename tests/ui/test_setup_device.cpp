// The LED-size, test-pattern and factory screens on the whole simulated
// device: the scaler, FPGA and input threads running as main() starts them,
// the tick called by the test. What a key on the panel leads to is read
// where a person would see it: the simulated scaler's screen (its register
// file and "<root>/sim/screen.png"), FPGA 0's restart, and the files left
// under "/data".
#include "tests/support/panel_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/sim_chips.h"
#include "ui/setup/factory.h"
#include "ui/setup/ledset.h"
#include "ui/setup/test_chart.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/tip.h"
#include "video_io/zevlosource.h"

using paneltest::key;
using platform::c331screen::Composition;
using platform::c331screen::Rect;
using platform::c331screen::ScreenLayout;

namespace {

class SetupOnDevice : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        store = VyxRamPara::pInstance();
        QObject::connect(store, &VyxRamPara::sig_update_para, SyncUpdate::pInstance(), &SyncUpdate::para_sync);
        // The simulated scaler draws the LED screen where the scaler's
        // published panel record puts it, as on a host run.
        platform::simScaler().setScreenLayoutSource([](ScreenLayout* layout) {
            VyxRamPara* s = VyxRamPara::p_vyxrampara_config;
            if (!s)
                return false;
            uint8_t record[ScreenLayout::kPublishedBytes];
            copyShared(record, s->ram_para + ram::kSpliceMode, sizeof record);
            *layout = ScreenLayout::fromPublished(record);
            return true;
        });
        g_language = panel::kEnglish;
        window = new MainWindow(nullptr);
        g_mainwindow = window;
        g_page_focus = kPageMainWindow;
        window->show();

        // A picture on the input image 0 shows: with no signal anywhere
        // FPGA 0 would not light the LED screen.
        writeFile("/sim/sources", "1 1920x1080@60\n");
        zevlosource::pInstance();
        fpga = fpga_manage::pInstance();
        c331_manage::pInstance();
        ASSERT_EQ(fpga->initialize_start(), 0);
        zevlosource::pInstance()->initialize();
        ASSERT_TRUE(tickUntil([this] { return ready(); })) << "FPGA 0 and the scaler never came up";
    }

    void TearDown() override
    {
        closeAllScreens();
        paneltest::flushDeferredDeletes();
        destroySingletonsForTest();
        delete window;
        g_mainwindow = nullptr;
        paneltest::flushDeferredDeletes();
        platform::simScaler().setScreenLayoutSource(nullptr);
        Sandbox::TearDown();
    }

    static platform::SimFpga& fpga0() { return platform::simFpga(0); }
    // FPGA 0 started and lit, the scaler serving requests, a screen shown.
    bool ready() const
    {
        c331_manage* scaler = c331_manage::p_c331_manage;
        return fpga->shadow(80, 0) == 3 && fpga->check_state[0].load() == 18 && scaler && scaler->setup_stage == 8
               && scaler->para_changed == 0 && exists("/sim/screen.png");
    }
    // Ticks as the panel's timer would, giving the threads `pauseUs`
    // between them, until `done` holds; a bound, not a timing expectation.
    static bool tickUntil(const std::function<bool()>& done, int maxTicks = 20000, unsigned pauseUs = 300)
    {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            paneltest::ticks(1);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(pauseUs);
        }
        return done();
    }

    // The screen as the register file the simulated chip leaves in the root
    // shows it, placed by the panel record the scaler published.
    Composition shown() const
    {
        const QByteArray regs = readFile("/sim/scaler-registers.bin");
        if (regs.size() != platform::c331screen::kRegisterFileBytes)
            return {};
        uint8_t record[ScreenLayout::kPublishedBytes];
        copyShared(record, store->ram_para + ram::kSpliceMode, sizeof record);
        return platform::c331screen::decode(
            platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
            ScreenLayout::fromPublished(record));
    }
    // The picture's pixel at the LED screen's centre (below its heading).
    QRgb pictureCentre() const
    {
        const QImage picture(QString::fromStdString(path("/sim/screen.png")));
        if (picture.isNull())
            return 0x12345678;
        return picture.pixel(picture.width() / 2 + 3, 22 + (picture.height() - 22) / 2 + 3) & 0xFFFFFF;
    }

    VyxRamPara* store = nullptr;
    fpga_manage* fpga = nullptr;
    MainWindow* window = nullptr;
};

TEST_F(SetupOnDevice, ANewLedSizeReachesTheScalerAndTheFpgaAfterTheHandshake)
{
    const int resets = fpga0().resetCount();
    ModalDriver drive(60000);
    drive
        .then([&] {
            ASSERT_NE(g_ledset, nullptr);
            key(g_ledset, panel::kKeyOk); // the width field: the keyboard
        })
        .then([&] {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText("3840");
            g_numberkeyboard->findChild<QPushButton*>("Button_ok")->click();
        })
        .then([&] {
            EXPECT_EQ(g_ledset->findChild<QLineEdit*>("lineEdit_ledw")->text(), "3840");
            key(g_ledset, panel::kKeyRight);
            key(g_ledset, panel::kKeyRight);
            key(g_ledset, panel::kKeyOk); // Apply: the check mark while the handshake runs
        })
        .then([&] {
            EXPECT_TRUE(g_tip->isVisible());
            EXPECT_EQ(g_set_led_para.load(), 1);
            // The handshake, the scaler's new panel and FPGA 0's restart. The
            // ticks leave the FPGA worker (a turn every 10 ms while the
            // handshake runs) time for its steps, as the panel's 10 ms tick does.
            bool heldBack = false;
            EXPECT_TRUE(tickUntil(
                [&] {
                    // The width the chip gives image 0 (the LED size alone is
                    // the image's word, written by Apply).
                    const Composition now = shown();
                    const int width = now.windows.size() == 1 ? now.windows[0].screen.w : 0;
                    heldBack |= c331_manage::p_c331_manage->waiting_for_led() && width == 1920;
                    return g_set_led_para.load() == 0 && fpga0().resetCount() > resets && fpga->shadow(80, 0) == 3
                           && width == 3840;
                },
                20000, 1000));
            EXPECT_TRUE(heldBack) << "the scaler showed the new size without waiting for the handshake";
            tickUntil([] { return !g_tip->isVisible(); });
            key(g_ledset, panel::kKeyBack);
        });
    drive.run([] { panel::open_modal(g_ledset, kPageLedset); });
    ASSERT_FALSE(drive.timedOut());

    const Composition screen = shown();
    EXPECT_EQ(screen.layout.ledWidth, 3840);
    EXPECT_EQ(screen.layout.ledHeight, 1080);
    // The channel grid the FPGAs take the picture from covers the new screen.
    EXPECT_GE(screen.layout.across * screen.layout.cellWidth - screen.layout.offsetX, 3840);
    EXPECT_GE(screen.layout.down * screen.layout.cellHeight - screen.layout.offsetY, 1080);
    ASSERT_EQ(screen.windows.size(), 1u) << screen.describe();
    EXPECT_EQ(screen.windows[0].screen, (Rect{0, 0, 3840, 1080})) << screen.describe();
    // FPGA 0 comes back after its restart, its start-up ending with the LED
    // output on.
    EXPECT_TRUE(tickUntil([&] { return fpga->check_state[0].load() == 18 && (fpga0().reg(3) & 0x20) != 0; }));
    // And the size was stored.
    EXPECT_TRUE(tickUntil([&] {
        const QByteArray file = readFile("/data/ram_device_info");
        return file.size() == ram::kParamFileSize
               && le16(reinterpret_cast<const uint8_t*>(file.data()) + ram::kLedWidth - ram::kFileToImage) == 3840;
    }));
}

TEST_F(SetupOnDevice, ATestPatternChosenOnThePanelShowsOnTheLedScreen)
{
    ModalDriver drive(60000);
    drive
        .then([&] {
            key(g_test_chart, panel::kKeyRight);
            key(g_test_chart, panel::kKeyRight);
            key(g_test_chart, panel::kKeyOk); // Blue
            EXPECT_TRUE(tickUntil([&] { return pictureCentre() == 0x0000FFu; })) << std::hex << pictureCentre();
            const Composition screen = shown();
            ASSERT_EQ(screen.windows.size(), 1u);
            EXPECT_EQ(screen.windows[0].pattern.describe(), "solid 0000ff");

            key(g_test_chart, panel::kKeyRight);
            key(g_test_chart, panel::kKeyRight);
            key(g_test_chart, panel::kKeyRight);
            key(g_test_chart, panel::kKeyOk); // Colour bar
            EXPECT_TRUE(tickUntil([&] {
                const Composition s = shown();
                return !s.windows.empty() && s.windows[0].pattern.describe() == "colour bars";
            }));
            key(g_test_chart, panel::kKeyBack); // pattern off
        });
    drive.run([] { panel::open_modal(g_test_chart, kPageTestChart); });
    ASSERT_FALSE(drive.timedOut());
    EXPECT_TRUE(tickUntil([&] {
        const Composition s = shown();
        return !s.windows.empty() && !s.windows[0].pattern.on();
    }));
    EXPECT_NE(pictureCentre(), 0x0000FFu);
}

TEST_F(SetupOnDevice, AFactoryResetLeavesADefaultParameterFileAndNoUserModes)
{
    // A used device: settings changed and stored, two user modes saved.
    {
        panel::ScalerWrite w;
        w.put16(ram::kBrightness, 40);
        w.put16(ram::kColourTempType, 0);
        w.put8(ram::kLanguage, panel::kEnglish);
    }
    for (int slot : {0, 5}) {
        fillShared(store->user_mode[slot], ram::kMarkerSaved, 2);
        store->mode_file_write(slot, 1);
    }
    ASSERT_TRUE(exists("/data/modes/custom_mode1"));
    ASSERT_TRUE(exists("/data/modes/custom_mode6"));
    ASSERT_TRUE(tickUntil([&] {
        const QByteArray file = readFile("/data/ram_device_info");
        return file.size() == ram::kParamFileSize
               && uint8_t(file[ram::kBrightness - ram::kFileToImage]) == 40;
    }));

    ModalDriver drive(60000);
    drive.then([&] {
        key(g_factory, panel::kKeyRight);
        key(g_factory, panel::kKeyOk); // "Keep IP"
        key(g_factory, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_factory, kPageFactory); });
    ASSERT_FALSE(drive.timedOut());

    QByteArray file;
    EXPECT_TRUE(tickUntil([&] {
        file = readFile("/data/ram_device_info");
        return file.size() == ram::kParamFileSize
               && uint8_t(file[ram::kBrightness - ram::kFileToImage]) == 100
               && !exists("/data/modes/custom_mode1") && !exists("/data/modes/custom_mode6");
    }));
    ASSERT_EQ(file.size(), ram::kParamFileSize);
    // Byte for byte the defaults, with the fades the reset sets.
    int differ = 0;
    for (int i = 0; i < ram::kParamFileSize; ++i) {
        const int addr = i + ram::kFileToImage;
        const bool fadeLow = addr >= ram::kFadeIn && addr < ram::kFadeIn + ram::kFadeStride * ram::kImageRecordCount
                             && (addr - ram::kFadeIn) % 2 == 0;
        const uint8_t want = i >= ram::kFileMarkerLength && fadeLow ? ram::kFadeAtStart : default_para_ramlist[size_t(i)];
        if (uint8_t(file[i]) != want && ++differ <= 5)
            ADD_FAILURE() << "file byte " << i << " (image " << addr << ") is " << int(uint8_t(file[i])) << ", not "
                          << int(want);
    }
    EXPECT_EQ(differ, 0);
    EXPECT_TRUE(QDir(QString::fromStdString(path("/data/modes"))).entryList({"custom_mode*"}, QDir::Files).isEmpty());
}

} // namespace

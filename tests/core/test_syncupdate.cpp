#include "tests/support/sandbox.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/hid.h"
#include "platform/shell.h"
#include "ui/shell/mainwindow.h"

using namespace ram;

namespace {

const char* const kFile = "/data/ram_device_info";

class Dispatch : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        store = VyxRamPara::pInstance();
        sync = SyncUpdate::pInstance();
        QObject::connect(store, &VyxRamPara::sig_update_para, sync, &SyncUpdate::para_sync);
        img = store->ram_para;
        for (int page = 0; page < kPageCount; ++page)
            saved[page] = SyncUpdate::setPageRefresh(page, [this, page](int code) {
                refreshes.push_back({page, code});
            });
        savedNotice = SyncUpdate::setNoticeHook([this](int kind) { notices.push_back(kind); });
        platform::simShell().clearLog();
    }
    void TearDown() override
    {
        for (int page = 0; page < kPageCount; ++page)
            SyncUpdate::setPageRefresh(page, saved[page]);
        SyncUpdate::setNoticeHook(savedNotice);
        g_mainwindow = nullptr;
        Sandbox::TearDown();
    }
    int syncCount() const
    {
        int n = 0;
        for (const auto& c : platform::simShell().log())
            n += c == "sync";
        return n;
    }
    using Report = std::vector<unsigned char>;
    // Runs the keypad update; the report the keypad last received (empty if none).
    Report keyLeds()
    {
        sync->update_usb_keyLed();
        auto reports = platform::simHid().reports();
        return reports.empty() ? Report{} : reports.back();
    }
    size_t reportCount() const { return platform::simHid().reports().size(); }

    VyxRamPara* store = nullptr;
    SyncUpdate* sync = nullptr;
    uint8_t* img = nullptr;
    std::vector<std::pair<int, int>> refreshes;
    std::vector<int> notices;
    SyncUpdate::PageRefresh saved[kPageCount];
    SyncUpdate::NoticeHook savedNotice;
};

} // namespace

TEST_F(Dispatch, ParameterFileIsWrittenOncePerChangeOfAStoredByte)
{
    putLe16(img + kContrast, 77);
    img[100] = 1;
    store->test_signal(kChangeRefresh);
    // The whole stored part, the load's fixes with it; the whole image re-snapshotted.
    QByteArray f = readFile(kFile);
    ASSERT_EQ(f.size(), kParamFileSize);
    EXPECT_EQ(QByteArray(f.constData() + 2, kPersistLength),
              QByteArray(reinterpret_cast<const char*>(img) + kPersistStart, kPersistLength));
    EXPECT_EQ(syncCount(), 1);
    EXPECT_EQ(store->ram_para_bak[100], 1);

    // A second code with no change writes nothing.
    QByteArray marked = f;
    marked[3000] = char(0x5E);
    writeFile(kFile, marked);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(readFile(kFile), marked);

    // Volatile bytes only: the screen refreshes, the file and the snapshot stay.
    img[kInputTiming] = 0x80;
    g_page_focus = kPageMachineState;
    refreshes.clear();
    store->test_signal(kChangeInputTiming);
    EXPECT_EQ(readFile(kFile), marked);
    EXPECT_EQ(syncCount(), 1);
    EXPECT_EQ(store->ram_para_bak[kInputTiming], 0);
    EXPECT_EQ(refreshes, (std::vector<std::pair<int, int>>{{kPageMachineState, kChangeInputTiming}}));
}

TEST_F(Dispatch, KeypadOnlyCodesStopAfterTheReport)
{
    g_vyx_keys = 1;
    platform::simHid().setPresent(true);
    putLe16(img + kContrast, 1);
    store->test_signal(kChangeKeyLedsStart);
    EXPECT_EQ(reportCount(), 1u);
    g_vyx_keys = 0;
    g_update_flag = 1;
    store->test_signal(kChangeKeyLedsEnd);
    EXPECT_EQ(reportCount(), 1u);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_EQ(syncCount(), 0);
}

TEST_F(Dispatch, ModeSaveRequestIsSavedWithTheParameterFileInOnePass)
{
    putLe16(img + kModeSaveRequest, 3);
    putLe16(img + kBrightness, 55);
    g_page_focus = kPageMainWindow;
    uint16_t requestSeenByScreen = 0, snapshotSeenByScreen = 0;
    SyncUpdate::setPageRefresh(kPageMainWindow, [&](int) {
        requestSeenByScreen = le16(img + kModeSaveRequest);
        snapshotSeenByScreen = le16(store->ram_para_bak + kBrightness);
    });
    store->test_signal(kChangeRefresh);

    // The screen saw the state before this pass's save.
    EXPECT_EQ(requestSeenByScreen, 3);
    EXPECT_EQ(snapshotSeenByScreen, 100);
    EXPECT_EQ(std::memcmp(store->user_mode[2] + kSlotData, img + kModeStart, kModeLength), 0);
    QByteArray mode = readFile("/data/modes/custom_mode3");
    ASSERT_EQ(mode.size(), kModeFileSize);
    EXPECT_EQ(le16(reinterpret_cast<const uint8_t*>(mode.constData()) + slotOffset(kBrightness)), 55);
    // Current mode 3 and the cleared request reach the parameter file in the same pass.
    EXPECT_EQ(readFile(kFile).mid(100, 4), QByteArray("\x03\x00\x00\x00", 4));
}

TEST_F(Dispatch, SaveRequestOutside1To16IsDropped)
{
    uint8_t before[kModeSlots][kModeSlotSize];
    std::memcpy(before, store->user_mode, sizeof before);
    putLe16(img + kModeSaveRequest, 17);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(le16(img + kModeSaveRequest), 0);
    EXPECT_EQ(le16(img + kCurrentMode), 0);
    EXPECT_EQ(std::memcmp(before, store->user_mode, sizeof before), 0);
    for (const auto& c : platform::simShell().log())
        EXPECT_EQ(c, "sync");
}

TEST_F(Dispatch, Code2SynchronisesTheModeFiles)
{
    writeFile("/data/modes/custom_mode6", QByteArray(kModeFileSize, 0));
    writeFile("/data/modes/MO06.json", "{}");
    for (int k = 0; k < kModeSlots; ++k)
        store->user_mode[k][0] = store->user_mode[k][1] = 0;
    // Slot 5 emptied by the PC (its OSD flag set), slot 1 written with a
    // half marker, slot 8 saved.
    store->user_mode[5][0] = store->user_mode[5][1] = 0xFF;
    putLe16(store->user_mode[5] + slotOffset(kOsdOn), 1);
    store->user_mode[1][0] = 0xAA;
    store->user_mode[8][0] = store->user_mode[8][1] = 0xAA;
    putLe16(img + kModeSaveRequest, 4);
    putLe16(store->ram_para_bak + kModeSaveRequest, 4); // already seen: not a save

    store->test_signal(kChangeModeSync);
    EXPECT_FALSE(exists("/data/modes/custom_mode6"));
    EXPECT_FALSE(exists("/data/modes/MO06.json"));
    EXPECT_EQ(le16(img + kModeSaveRequest), 0);
    EXPECT_EQ(uint8_t(readFile("/data/modes/custom_mode2")[1]), 0xAA);
    EXPECT_EQ(uint8_t(readFile("/data/modes/custom_mode9")[0]), 0xAA);
    EXPECT_FALSE(exists("/data/modes/custom_mode1"));
}

TEST_F(Dispatch, NetworkResetStoresTheDefaultsAndRebootsOnlyForAnotherPort)
{
    ConfigEngine* config = ConfigEngine::pInstance();
    auto setting = [&](ConfigItem::ConfigName n) { return config->read_config_variant(n).toString(); };
    config->write_config_variant(ConfigItem::GateWay, QStringLiteral("10.0.0.1"));
    g_port = 5005;
    store->test_signal(kChangeNetworkReset);
    EXPECT_EQ(setting(ConfigItem::GateWay), "192.168.0.1");
    EXPECT_EQ(g_port.load(), 5005u);
    EXPECT_EQ(g_app_reset_flag.load(), 0);

    // The reset reloads the port from the store, so the other port must be
    // the stored one, as after a PC set it.
    config->write_config_variant(ConfigItem::TcpPort, 6000);
    g_port = 6000;
    store->test_signal(kChangeRefresh); // other codes leave the network alone
    EXPECT_EQ(g_port.load(), 6000u);
    G_reboot_tickTicks = 17;
    store->test_signal(kChangeNetworkReset);
    EXPECT_EQ(g_port.load(), 5005u);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_EQ(G_reboot_tickTicks.load(), 17u); // the stamp is left alone
    EXPECT_EQ((QStringList{setting(ConfigItem::IPAddress), setting(ConfigItem::SubNetMask),
                           setting(ConfigItem::TcpPort)}),
              (QStringList{"192.168.0.199", "255.255.255.0", "5005"}));
}

TEST_F(Dispatch, DisabledCurrentImageFallsBackToImage0ExceptOnTheLayoutPage)
{
    g_image_current = 2; // image 2 is closed by default
    g_page_focus = kPageImageLayout;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(g_image_current.load(), 2);
    g_page_focus = kPageInputChoose;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(g_image_current.load(), 0);

    putLe16(img + imageRecord(3), 1);
    g_image_current = 3;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(g_image_current.load(), 3);
}

TEST_F(Dispatch, PagesAbove26OnlyRunTheLanguageCheck)
{
    g_page_focus = 27;
    img[kLanguage] = 3;
    g_lcd_lang_valid = 0x3;
    store->test_signal(kChangeDeviceAdded);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(img[kLanguage], 0);
}

TEST_F(Dispatch, PageExtrasShowTheirNotices)
{
    // Page 1: the main window's pending confirmation, once.
    MainWindow w;
    g_mainwindow = &w;
    g_page_focus = kPageMainWindow;
    w.pending_notice = 1;
    store->test_signal(kChangeRefresh);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(notices, std::vector<int>{kNoticeDone});

    // Page 10: after the refresh and again after the save step.
    notices.clear();
    g_page_focus = kPageLinkOption;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(notices, (std::vector<int>{kNoticeDone, kNoticeDone}));

    // {page, code, notice}: USB notices on pages 24 and 26 only.
    const int cases[][3] = {{kPageSmartMapping, kChangeDeviceAdded, kNoticeUsbConnected},
                            {kPageSmartMapping, kChangeDeviceRemoved, kNoticeUsbUnplugged},
                            {kPageFirmwareUsbgrade, kChangeStorageReady, kNoticeReading},
                            {kPageFirmwareUsbgrade, kChangeTransferEnd, 0},
                            {kPageRcvRecovery, kChangeDeviceAdded, 0}};
    for (const auto& c : cases) {
        g_page_focus = c[0];
        notices.clear();
        refreshes.clear();
        store->test_signal(c[1]);
        EXPECT_EQ(refreshes, (std::vector<std::pair<int, int>>{{c[0], c[1]}}));
        EXPECT_EQ(notices, c[2] ? std::vector<int>{c[2]} : std::vector<int>{}) << c[0] << " " << c[1];
    }
}

TEST_F(Dispatch, KeypadReportFollowsTheCurrentImage)
{
    g_vyx_keys = 1;
    putLe16(img + inputTiming(1) + kTimingWidth, 1920);
    putLe16(img + inputTiming(1) + kTimingHeight, 1080);
    putLe16(img + inputTiming(1) + kTimingRate, 60);
    g_update_flag = 1;
    EXPECT_EQ(keyLeds(), Report{}); // keypad absent
    // The unreachable report is remembered: sent again only once a byte changes.
    platform::simHid().setPresent(true);
    EXPECT_EQ(keyLeds(), Report{});

    g_update_flag = 0;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(keyLeds(), (Report{0xA5, 0x04, 0x00, 0x10, 0x00}));
    store->test_signal(kChangeRefresh); // unchanged: nothing sent
    EXPECT_EQ(reportCount(), 1u);

    // Image 2, frozen and black, on a crop of source 3 without signal.
    g_update_flag = 1;
    putLe16(img + imageRecord(2), 1);
    putLe16(img + imageRecord(2) + kImgOutput, kOutFreeze | kOutBlack);
    putLe16(img + cropEntry(5), uint16_t(kCropUsed | 3));
    putLe16(img + imageRecord(2) + kImgSource, kSourceIsCrop | 5);
    g_image_current = 2;
    EXPECT_EQ(keyLeds(), (Report{0x5A, 0x00, 0x01, 0x02, 0x05}));
    // Image 3 on source 4: no source LED; image 1 closed: no image key.
    g_update_flag = 0;
    putLe16(img + imageRecord(3), 1);
    putLe16(img + imageRecord(3) + kImgSource, 4);
    g_image_current = 3;
    EXPECT_EQ(keyLeds(), (Report{0xA5, 0x00, 0x04, 0x00, 0x00}));
    g_image_current = 1;
    EXPECT_EQ(keyLeds(), (Report{0xA5, 0x00, 0x00, 0x10, 0x00}));
}

TEST_F(Dispatch, WorkerSignalsAreQueuedToTheGuiThread)
{
    g_page_focus = kPageMachineState;
    QThread* ranIn = nullptr;
    SyncUpdate::setPageRefresh(kPageMachineState, [&](int code) {
        ranIn = QThread::currentThread();
        refreshes.push_back({kPageMachineState, code});
    });
    std::thread worker([&] { store->test_signal(kChangePortState); });
    worker.join();
    EXPECT_TRUE(refreshes.empty()); // not run inside the worker's call
    ASSERT_TRUE(waitFor([&] { return !refreshes.empty(); }));
    EXPECT_EQ(ranIn, QThread::currentThread());
    EXPECT_EQ(refreshes.front().second, kChangePortState);
}

TEST_F(Dispatch, NestedEventLoopInTheGuiDispatchDoesNotBlockSignallingWorkers)
{
    g_page_focus = kPageLinkOption;
    std::atomic<bool> workerDone{false};
    bool workerDispatchedWhileOpen = false;
    std::thread worker;
    int depth = 0;
    SyncUpdate::setNoticeHook([&](int) {
        if (depth++ > 0)
            return; // notices of the nested dispatch
        // A modal notice: its own event loop runs while a worker signals.
        worker = std::thread([&] {
            store->test_signal(kChangeInputTiming);
            workerDone = true;
        });
        const std::pair<int, int> workerRefresh{kPageLinkOption, kChangeInputTiming};
        workerDispatchedWhileOpen = waitFor([&] {
            return workerDone && std::count(refreshes.begin(), refreshes.end(), workerRefresh) > 0;
        });
    });
    store->test_signal(kChangeRefresh);
    worker.join();
    EXPECT_TRUE(workerDispatchedWhileOpen);
}

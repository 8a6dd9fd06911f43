#include "core/syncupdate.h"

#include <QDebug>
#include <array>
#include <cstring>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/hid.h"
#include "ui/shell/mainwindow.h"

using namespace ram;

SyncUpdate* SyncUpdate::p_SyncUpdate = nullptr;

namespace {

// Function-local so that screens may register from static initialisers.
std::array<SyncUpdate::PageRefresh, kPageCount>& pageTable()
{
    static std::array<SyncUpdate::PageRefresh, kPageCount> table;
    return table;
}

SyncUpdate::NoticeHook& noticeHook()
{
    static SyncUpdate::NoticeHook hook;
    return hook;
}

constexpr uint16_t kDefaultTcpPort = 5005;

} // namespace

SyncUpdate::SyncUpdate()
    : QObject(nullptr)
{
}

SyncUpdate* SyncUpdate::pInstance()
{
    if (!p_SyncUpdate)
        p_SyncUpdate = new SyncUpdate();
    return p_SyncUpdate;
}

void SyncUpdate::destroyForTest()
{
    delete p_SyncUpdate;
    p_SyncUpdate = nullptr;
}

SyncUpdate::PageRefresh SyncUpdate::setPageRefresh(int page, PageRefresh refresh)
{
    if (page < 0 || page >= kPageCount)
        return PageRefresh();
    PageRefresh previous = std::move(pageTable()[page]);
    pageTable()[page] = std::move(refresh);
    return previous;
}

void SyncUpdate::notice(int kind)
{
    // A copy: a nested dispatch may run while the notice is open.
    NoticeHook hook = noticeHook();
    if (hook)
        hook(kind);
    else
        VYX_DEBUG("\n notice %d \n", kind);
}

SyncUpdate::NoticeHook SyncUpdate::setNoticeHook(NoticeHook hook)
{
    NoticeHook previous = std::move(noticeHook());
    noticeHook() = std::move(hook);
    return previous;
}

void SyncUpdate::para_sync(int code)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    const int page = g_page_focus.load();

    // The image layout screen may look at a closed image; elsewhere the keys
    // fall back to image 0.
    if (page != kPageImageLayout && !imageEnabled(store->ram_para, g_image_current.load()))
        g_image_current = 0;

    if (g_vyx_keys)
        update_usb_keyLed();
    if (code == kChangeKeyLedsStart || code == kChangeKeyLedsEnd)
        return;

    refreshPage(page, code);
    saveRequestedMode();
    if (code == kChangeModeSync)
        syncModeFiles();
    store->ram_para_persist();
    if (g_page_focus.load() == kPageLinkOption)
        notice(kNoticeDone);
    if (code == kChangeNetworkReset)
        resetNetwork();
}

void SyncUpdate::refreshPage(int page, int code)
{
    if (page >= kPageCount) {
        VyxRamPara::pInstance()->VyxLanguageChanged();
        return;
    }
    // A copy: the screen may replace its entry while it refreshes.
    PageRefresh refresh = pageTable()[page];
    if (refresh)
        refresh(code);

    switch (page) {
    case kPageMainWindow:
        if (g_mainwindow && g_mainwindow->pending_notice) {
            // Cleared before the notice: a dispatch nested in its event
            // loop must not show it again.
            g_mainwindow->pending_notice = 0;
            notice(kNoticeDone);
        }
        break;
    case kPageLinkOption:
        notice(kNoticeDone);
        break;
    case kPageSmartMapping:
    case kPageFirmwareUsbgrade:
        if (code == kChangeDeviceAdded)
            notice(kNoticeUsbConnected);
        else if (code == kChangeDeviceRemoved)
            notice(kNoticeUsbUnplugged);
        else if (code == kChangeStorageReady)
            notice(kNoticeReading);
        break;
    default:
        break;
    }
}

void SyncUpdate::saveRequestedMode()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    uint8_t* image = store->ram_para;
    uint16_t request = le16(image + kModeSaveRequest);
    if (request == 0 || request == le16(store->ram_para_bak + kModeSaveRequest))
        return;
    if (request > kModeSlots) {
        // Only modes 1..16 exist; a stray request is dropped.
        putLe16(image + kModeSaveRequest, 0);
        return;
    }
    uint8_t* slot = store->user_mode[request - 1];
    fillShared(slot, kMarkerSaved, 2);
    copyShared(slot + kSlotData, image + kModeStart, kModeLength);
    putLe16(image + kCurrentMode, request);
    store->mode_file_write(request - 1, 0);
    putLe16(image + kModeSaveRequest, 0);
}

void SyncUpdate::syncModeFiles()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    for (int k = 0; k < kModeSlots; ++k) {
        const uint8_t m0 = loadShared(store->user_mode[k]);
        const uint8_t m1 = loadShared(store->user_mode[k] + 1);
        if (m0 == kMarkerEmpty || m1 == kMarkerEmpty) {
            store->mode_file_deal(k, 1);
            putLe16(store->ram_para + kModeSaveRequest, 0);
        } else if (m0 == kMarkerSaved || m1 == kMarkerSaved) {
            store->mode_file_write(k, 2);
        }
    }
}

void SyncUpdate::resetNetwork()
{
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::IPAddress, QStringLiteral("192.168.0.199"));
    config->write_config_variant(ConfigItem::GateWay, QStringLiteral("192.168.0.1"));
    config->write_config_variant(ConfigItem::SubNetMask, QStringLiteral("255.255.255.0"));
    Utils::initIPAddress();
    if (g_port != kDefaultTcpPort) {
        // The control port only changes with a restart.
        config->write_config_variant(ConfigItem::TcpPort, int(kDefaultTcpPort));
        g_port = kDefaultTcpPort;
        g_app_reset_flag = 1;
    }
}

void SyncUpdate::update_usb_keyLed()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    uint8_t* image = store->ram_para;
    const int current = g_image_current.load();
    const bool enabled = imageEnabled(image, current);

    uint8_t report[kKeyLedReportSize] = {};
    report[0] = g_update_flag ? 0x5A : 0xA5;
    if (enabled) {
        static const uint8_t kImageKey[4][2] = {{0x04, 0}, {0x10, 0}, {0, 0x01}, {0, 0x04}};
        if (current < 4) {
            report[1] = kImageKey[current][0];
            report[2] = kImageKey[current][1];
        }
    }

    short isCrop = 0;
    char cropIndex = 0;
    int source = store->VyxGetImageSource(image, uint8_t(current), &isCrop, &cropIndex, 0);
    if (source >= 0 && source <= 3) {
        // {with signal, without}
        static const uint8_t kSourceLed[4][2] = {{0x04, 0x08}, {0x10, 0x20}, {0x40, 0x80}, {0x01, 0x02}};
        const uint8_t* timing = image + inputTiming(source);
        bool signal = le16(timing + kTimingWidth) && le16(timing + kTimingHeight) && le16(timing + kTimingRate);
        report[3] = kSourceLed[source][signal ? 0 : 1];
    }

    if (current < kImageRecordCount) {
        uint16_t out = le16(image + imageRecord(current) + kImgOutput);
        report[4] = uint8_t(((out & kOutFreeze) ? 0x01 : 0) | ((out & kOutBlack) ? 0x04 : 0));
    }

    if (std::memcmp(report, m_lastKeyLed, sizeof report) == 0)
        return;
    platform::Hid& hid = platform::hid();
    void* handle = hid.open(platform::kKeypadVendor, platform::kKeypadProduct);
    if (!handle) {
        qDebug() << "handle error";
    } else {
        if (hid.write(handle, report, sizeof report) < 0)
            qDebug() << "handle write error";
        hid.close(handle);
    }
    // Kept even when the keypad could not be reached: it is sent again only
    // when a byte changes.
    std::memcpy(m_lastKeyLed, report, sizeof report);
}

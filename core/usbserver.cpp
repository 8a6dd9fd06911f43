#include "core/usbserver.h"
#include "core/change_codes.h"

#include <QMetaObject>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/uevent.h"

UsbServer* UsbServer::p_UsbServer = nullptr;

namespace {

constexpr int kPollMs = 10;
constexpr unsigned kIdleWaitMs = 100;       // pacing while the gate is shut or the socket failed
constexpr int kReceiveWaitMs = 1000;        // a receive ends at once when an event comes
constexpr unsigned kStorageWaitTicks = 3000; // give up on the storage after about 30 s
constexpr unsigned kSettleTicks = 300;       // 102 follows the storage by more than 3 s
const char* const kUsbStorage = "/proc/scsi/usb-storage";

std::function<void()> g_settingsMenuCloser;

} // namespace

UsbServer::UsbServer()
    : QObject(nullptr)
{
}

UsbServer::~UsbServer()
{
    m_worker.requestStop();
    if (m_open)
        platform::uevents().interrupt();
    m_worker.stopAndJoin();
    if (m_open)
        platform::uevents().close();
}

UsbServer* UsbServer::pInstance()
{
    if (!p_UsbServer) {
        p_UsbServer = new UsbServer();
        p_UsbServer->initialize();
    }
    return p_UsbServer;
}

void UsbServer::setSettingsMenuCloser(std::function<void()> closer) { g_settingsMenuCloser = std::move(closer); }

int UsbServer::initialize()
{
    VYX_DEBUG("=========UsbServer::initialize()=========== \n");
    if (!platform::uevents().open()) {
        writeLogMsg(LOG_ERROR, std::string("UsbServer bind error:") + std::strerror(errno));
        return 255;
    }
    m_open = true;
    if (m_worker.start(&UsbServer::acceptThread, this, "usb-watch") != 0) {
        writeLogMsg(LOG_ERROR, "UsbServer thread start error");
        return 255;
    }
    return 0;
}

int UsbServer::usb_signal(int code)
{
    QMutexLocker lock(&Utils::_test_signal_mutex);
    emit sig_usb_update(code);
    return 1;
}

void* UsbServer::acceptThread(void* arg)
{
    auto* self = static_cast<UsbServer*>(arg);
    while (!self->m_worker.stopRequested()) {
        // Until the gate opens, events stay queued in the socket. A receive
        // returns as soon as an event arrives (or a stop interrupts it), so
        // waiting long costs no reaction time.
        if (!g_delay_usbserver.load() || self->recvData() != 0)
            ::usleep(kIdleWaitMs * 1000);
    }
    return nullptr;
}

int UsbServer::recvData()
{
    char buf[4096];
    std::memset(buf, 0, sizeof buf);
    int n = platform::uevents().receive(buf, sizeof buf - 1, kReceiveWaitMs);
    if (n < 0) {
        const char* why = std::strerror(errno);
        if (g_debugSwitch == 254 && m_receiveErrors.admit(QString::fromLocal8Bit(why)))
            std::printf("UsbServer select error:%s\n", why);
        return 255;
    }
    m_receiveErrors.clear();
    if (n < 1)
        return 0;
    // The header (action@devpath) is the datagram's first text.
    handleEvent(QString::fromLatin1(buf));
    return 0;
}

std::vector<int> UsbServer::eventActions(const QString& header)
{
    std::vector<int> actions;
    // Empty parts are kept and the match is case-sensitive.
    const QStringList parts = header.split(QLatin1Char('/'));
    // A partition going away is no storage to read: a pull would otherwise
    // report the stick ready (and close the settings menu) after its removal.
    const bool removal = header.startsWith(QLatin1String("remove@"));
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part == QLatin1String("add@")) {
            actions.push_back(kChangeDeviceAdded);
        } else if (part == QLatin1String("remove@")) {
            actions.push_back(kChangeDeviceRemoved);
        } else if (!removal && part == QLatin1String("block") && i + 2 < parts.size() && parts[i + 1] == QLatin1String("sda") &&
                   parts[i + 2].size() >= 4 && parts[i + 2].startsWith(QLatin1String("sda"))) {
            int number = parts[i + 2].mid(3).toInt(); // 0 when not a number
            if (number >= 0 && number <= 9)
                actions.push_back(kChangeStorageReady);
        }
    }
    return actions;
}

void UsbServer::handleEvent(const QString& header)
{
    for (int action : eventActions(header)) {
        if (action != kChangeStorageReady) {
            usb_signal(action);
            continue;
        }
        if (!waitForStorage())
            continue;
        usb_signal(kChangeStorageReady);
        // The menu is a widget: close it in the GUI thread.
        QMetaObject::invokeMethod(
            this,
            [] {
                if (g_page_focus.load() == kPageOption && g_settingsMenuCloser)
                    g_settingsMenuCloser();
            },
            Qt::QueuedConnection);
    }
}

bool UsbServer::pauseTick()
{
    ::usleep(kPollMs * 1000);
    return !m_worker.stopRequested();
}

bool UsbServer::waitForStorage()
{
    const std::string storage = platform::sysPath(kUsbStorage);
    unsigned int stamp = G_timeTicks.load();
    while (::access(storage.c_str(), F_OK) != 0) {
        if (Utils::getTimeSpace(stamp) > kStorageWaitTicks || !pauseTick())
            return false;
    }
    VYX_DEBUG("\n usb have mound ok \n");
    stamp = G_timeTicks.load();
    while (Utils::getTimeSpace(stamp) <= kSettleTicks)
        if (!pauseTick())
            return false;
    return true;
}

void UsbServer::destroyForTest()
{
    delete p_UsbServer;
    p_UsbServer = nullptr;
}

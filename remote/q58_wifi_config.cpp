#include "remote/q58_wifi_config.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMutexLocker>
#include <QStringList>
#include <algorithm>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "platform/worker.h"
#include "remote/pclink.h"

namespace {
constexpr int kWifiIdleWaitMs = 1000;
constexpr uint32_t kWifiReopenTicks = 100;
constexpr int kWifiDatagramsPerPass = 16;
const char* const kWifiVersion = "1.17.0.0";
const char* const kAtReplyEnd = "\r\n";

// Printable ASCII without the characters the tools' files quote or escape
// with, and without the comma that separates the command's fields.
bool wifiPlainText(const QString& text)
{
    for (QChar c : text) {
        ushort u = c.unicode();
        if (u < 0x20 || u > 0x7E || u == '"' || u == '\\' || u == ',')
            return false;
    }
    return true;
}

QString wifiNetworkPart(const QString& address) { return address.section(QLatin1Char('.'), 0, 2); }

// The pool udhcpd hands out, clear of the access point's own address.
void wifiDhcpPool(const QString& address, QString* start, QString* end)
{
    const int host = address.section(QLatin1Char('.'), 3, 3).toInt();
    const bool inHigh = host >= 150 && host <= 199;
    *start = wifiNetworkPart(address) + (inHigh ? QStringLiteral(".50") : QStringLiteral(".150"));
    *end = wifiNetworkPart(address) + (inHigh ? QStringLiteral(".99") : QStringLiteral(".199"));
}

QByteArray hostapdConfText(const Q58_WIFI_CONFIG::Settings& s)
{
    return QStringLiteral("interface=wlan1\n"
                          "driver=rtl871xdrv\n"
                          "ssid=%1\n"
                          "hw_mode=g\n"
                          "channel=6\n"
                          "ieee80211n=1\n"
                          "auth_algs=1\n"
                          "wpa=2\n"
                          "wpa_key_mgmt=WPA-PSK\n"
                          "rsn_pairwise=CCMP\n"
                          "wpa_passphrase=%2\n")
        .arg(s.ssid, s.password)
        .toLatin1();
}

QByteArray udhcpdConfText(const Q58_WIFI_CONFIG::Settings& s)
{
    QString start, end;
    wifiDhcpPool(s.address, &start, &end);
    return QStringLiteral("start %1\n"
                          "end %2\n"
                          "interface wlan1\n"
                          "opt subnet 255.255.255.0\n"
                          "opt router %3\n")
        .arg(start, end, s.address)
        .toLatin1();
}

QByteArray supplicantConfText(const Q58_WIFI_CONFIG::Settings& s)
{
    QString text = QStringLiteral("ctrl_interface=/var/run/wpa_supplicant\n");
    if (!s.stationSsid.isEmpty())
        text += QStringLiteral("network={\n\tssid=\"%1\"\n\tpsk=\"%2\"\n}\n").arg(s.stationSsid, s.stationPassword);
    return text.toLatin1();
}

QByteArray readWifiFile(const char* path)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QByteArray content;
    return platform::readFile(path, &content) ? content : QByteArray();
}

// Replaced whole (platform/safe_file.h), so that a tool never reads half a
// file, even after a power cut; an unchanged file is left alone.
bool writeWifiFile(const char* path, const QByteArray& content)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QByteArray current;
    if (platform::readFile(path, &current) && current == content)
        return true;
    return platform::replaceFile(path, content);
}

// The value of "key=value" (quotes removed) in a tool's file.
QString wifiFileValue(const QByteArray& file, const QString& key)
{
    for (const QByteArray& raw : file.split('\n')) {
        QString line = QString::fromLatin1(raw).trimmed();
        if (!line.startsWith(key + QLatin1Char('=')))
            continue;
        QString value = line.mid(key.size() + 1);
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QString();
}

// What the files and the configuration hold; defaults for anything
// missing or not valid.
Q58_WIFI_CONFIG::Settings loadWifiSettings()
{
    Q58_WIFI_CONFIG::Settings s = Q58_WIFI_CONFIG::defaults();
    const QByteArray hostapd = readWifiFile(Q58_WIFI_CONFIG::kHostapdFile);
    const QString ssid = wifiFileValue(hostapd, QStringLiteral("ssid"));
    const QString password = wifiFileValue(hostapd, QStringLiteral("wpa_passphrase"));
    if (Q58_WIFI_CONFIG::validSsid(ssid) && Q58_WIFI_CONFIG::validPassword(password)) {
        s.ssid = ssid;
        s.password = password;
    }
    if (ConfigEngine* config = ConfigEngine::p_config) {
        const QString address = config->read_config_variant(ConfigItem::WifiIPAddress).toString();
        if (Q58_WIFI_CONFIG::validAddress(address))
            s.address = address;
    }
    const QByteArray supplicant = readWifiFile(Q58_WIFI_CONFIG::kSupplicantFile);
    const QString stationSsid = wifiFileValue(supplicant, QStringLiteral("ssid"));
    const QString stationPassword = wifiFileValue(supplicant, QStringLiteral("psk"));
    if (Q58_WIFI_CONFIG::validSsid(stationSsid) && Q58_WIFI_CONFIG::validPassword(stationPassword)) {
        s.stationSsid = stationSsid;
        s.stationPassword = stationPassword;
    }
    return s;
}

void runWifiCommand(const QString& command) { Utils::system_mutex(command); }
} // namespace

struct Q58_WIFI_CONFIG::Thread {
    platform::Worker worker;
    pclink::Waker waker; // stop
    int kick = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); // a new reset request
    ~Thread()
    {
        if (kick >= 0)
            ::close(kick);
    }
};

Q58_WIFI_CONFIG* Q58_WIFI_CONFIG::p_wifi = nullptr;

Q58_WIFI_CONFIG::Settings Q58_WIFI_CONFIG::defaults()
{
    Settings s;
    // Each controller's network is told apart by its id.
    QString id = QString::fromLatin1(reinterpret_cast<const char*>(g_pid), 8).toUpper();
    s.ssid = QStringLiteral("VYX-") + (validSsid(id) ? id : QStringLiteral("AP"));
    s.password = QStringLiteral("12345678");
    s.address = QStringLiteral("192.168.22.101");
    return s;
}

bool Q58_WIFI_CONFIG::validSsid(const QString& ssid) { return !ssid.isEmpty() && ssid.size() <= 32 && wifiPlainText(ssid); }

bool Q58_WIFI_CONFIG::validPassword(const QString& password)
{
    return password.size() >= 8 && password.size() <= 63 && wifiPlainText(password);
}

bool Q58_WIFI_CONFIG::validAddress(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    int value[4];
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 3 || (p.size() > 1 && p.startsWith(QLatin1Char('0'))))
            return false;
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        value[i] = p.toInt();
        if (value[i] > 255)
            return false;
    }
    // A host address of a /24 network that can be routed.
    return value[0] != 0 && value[0] != 127 && value[0] < 224 && value[3] >= 1 && value[3] <= 254;
}

Q58_WIFI_CONFIG::Q58_WIFI_CONFIG(bool startThread, bool openPort)
    : m_thread(std::make_unique<Thread>())
    , m_settings(loadWifiSettings())
    , m_openPort(openPort)
{
    if (m_openPort)
        m_fd = pclink::open_server(SOCK_DGRAM, kPort, &m_openFailing);
    m_openStamp = G_timeTicks.load();
    if (startThread)
        m_thread->worker.start(wifi_thread, this, "wifi");
}

Q58_WIFI_CONFIG::~Q58_WIFI_CONFIG()
{
    m_thread->waker.wake();
    m_thread->worker.stopAndJoin();
    if (m_fd >= 0)
        ::close(m_fd);
}

Q58_WIFI_CONFIG* Q58_WIFI_CONFIG::pInstance()
{
    if (!p_wifi)
        p_wifi = new Q58_WIFI_CONFIG(true, true);
    return p_wifi;
}

Q58_WIFI_CONFIG* Q58_WIFI_CONFIG::createForTest(bool openPort)
{
    destroyForTest();
    p_wifi = new Q58_WIFI_CONFIG(false, openPort);
    return p_wifi;
}

void Q58_WIFI_CONFIG::destroyForTest()
{
    Q58_WIFI_CONFIG* wifi = p_wifi;
    p_wifi = nullptr;
    delete wifi;
}

void* Q58_WIFI_CONFIG::wifi_thread(void* arg)
{
    auto* self = static_cast<Q58_WIFI_CONFIG*>(arg);
    while (!self->m_thread->worker.stopRequested())
        self->wifiTurn(kWifiIdleWaitMs);
    return nullptr;
}

Q58_WIFI_CONFIG::Settings Q58_WIFI_CONFIG::settings() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings;
}

bool Q58_WIFI_CONFIG::wifiOn()
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store && loadShared(store->ram_para + ram::kWifiOff) == 0;
}

void Q58_WIFI_CONFIG::set_wifi_reset_flag()
{
    m_resetStamp = G_timeTicks.load();
    m_resetRequest = 1;
    uint64_t one = 1;
    if (::write(m_thread->kick, &one, sizeof one) < 0) {
        // Already pending.
    }
}

void Q58_WIFI_CONFIG::wifiTurn(int waitMs)
{
    if (m_startupPending) {
        m_startupPending = false;
        if (wifiOn())
            startAccessPoint();
    }
    if (m_openPort && m_fd < 0 && Utils::getTimeSpace(m_openStamp) >= kWifiReopenTicks) {
        m_fd = pclink::open_server(SOCK_DGRAM, kPort, &m_openFailing);
        m_openStamp = G_timeTicks.load();
    }
    int wait = waitMs;
    if (m_resetRequest) {
        const uint32_t waited = Utils::getTimeSpace(m_resetStamp.load());
        wait = waited >= kResetDelay ? 0 : int(std::min<uint32_t>(uint32_t(waitMs), (kResetDelay - waited) * 10));
    }
    pollfd p[3] = {{m_thread->waker.fd(), POLLIN, 0}, {m_thread->kick, POLLIN, 0}, {m_fd, POLLIN, 0}};
    if (::poll(p, m_fd >= 0 ? 3 : 2, wait) > 0) {
        uint64_t drained;
        if ((p[1].revents & POLLIN) && ::read(m_thread->kick, &drained, sizeof drained) < 0) {
            // Nothing was pending.
        }
        if (m_fd >= 0 && p[2].revents)
            serveDatagrams();
    }
    resetPass();
}

void Q58_WIFI_CONFIG::serveDatagrams()
{
    char buf[kMaxCommand + 1];
    for (int i = 0; i < kWifiDatagramsPerPass; ++i) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(m_fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return;
        if (from.sin_family != AF_INET)
            continue;
        // A datagram longer than any command is refused, not cut short.
        QByteArray reply = n > kMaxCommand ? QByteArray("ERR\r\n") : wifi_AT_cmd_manage(QByteArray(buf, int(n)));
        ::sendto(m_fd, reply.constData(), size_t(reply.size()), 0, reinterpret_cast<const sockaddr*>(&from),
                 sizeof from);
    }
}

QByteArray Q58_WIFI_CONFIG::wifi_AT_cmd_manage(const QByteArray& raw)
{
    QByteArray command = raw;
    while (command.endsWith('\n') || command.endsWith('\r'))
        command.chop(1);
    QByteArray reply = "ERR";
    bool printable = command.size() <= kMaxCommand;
    for (char c : command)
        printable = printable && uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7E;
    if (!printable) {
        // refused as it is
    } else if (command == "AT+CHECKDATA") {
        reply = "OK+CHECKDATA=" + checkData();
    } else if (command == "AT+GETVER") {
        reply = QByteArray("OK+GETVER=") + kWifiVersion;
    } else if (command == "AT+RST") {
        set_wifi_reset_flag();
        reply = "OK";
    } else if (command == "AT+RESTORE") {
        if (apply(defaults())) {
            if (ConfigEngine* config = ConfigEngine::p_config)
                config->write_config_variant(ConfigItem::WifiIPAddress, defaults().address);
            stopStation();
            set_wifi_reset_flag();
            reply = "OK";
        }
    } else if (command.startsWith("AT+SETDATA=")) {
        reply = setData(command.mid(int(sizeof "AT+SETDATA=") - 1));
    }
    return reply + kAtReplyEnd;
}

QByteArray Q58_WIFI_CONFIG::checkData() const
{
    const Settings s = settings();
    return QStringList{s.ssid, s.password, s.address, s.stationSsid}.join(QLatin1Char(',')).toLatin1();
}

QByteArray Q58_WIFI_CONFIG::setData(const QByteArray& arguments)
{
    const QStringList a = QString::fromLatin1(arguments).split(QLatin1Char(','));
    Settings s = settings();
    if (a.size() == 3 && a[0] == QLatin1String("1")) {
        if (!validSsid(a[1]) || !validPassword(a[2]))
            return "ERR";
        s.ssid = a[1];
        s.password = a[2];
    } else if (a.size() == 2 && a[0] == QLatin1String("2")) {
        if (!validAddress(a[1]))
            return "ERR";
        s.address = a[1];
    } else if (a.size() == 3 && a[0] == QLatin1String("3")) {
        // Both empty: join no network.
        if (!(a[1].isEmpty() && a[2].isEmpty()) && (!validSsid(a[1]) || !validPassword(a[2])))
            return "ERR";
        s.stationSsid = a[1];
        s.stationPassword = a[2];
    } else {
        return "ERR";
    }
    if (!apply(s))
        return "ERR";
    if (a[0] == QLatin1String("2")) {
        if (ConfigEngine* config = ConfigEngine::p_config)
            config->write_config_variant(ConfigItem::WifiIPAddress, s.address);
    }
    if (a[0] == QLatin1String("3"))
        stopStation();
    set_wifi_reset_flag();
    return "OK";
}

bool Q58_WIFI_CONFIG::apply(const Settings& s)
{
    if (!writeWifiFile(kHostapdFile, hostapdConfText(s)) || !writeWifiFile(kUdhcpdFile, udhcpdConfText(s))
        || !writeWifiFile(kSupplicantFile, supplicantConfText(s)))
        return false;
    QMutexLocker lock(&m_mutex);
    m_settings = s;
    return true;
}

// Every value below was checked when it was set or loaded.
void Q58_WIFI_CONFIG::startAccessPoint()
{
    const Settings s = settings();
    if (!apply(s))
        VYX_DEBUG("wifi: the tools' files could not be written\n");
    runWifiCommand(QStringLiteral("ifconfig wlan1 %1 netmask 255.255.255.0 up").arg(s.address));
    runWifiCommand(QStringLiteral("/usr/bin/hostapd -B %1").arg(QLatin1String(kHostapdFile)));
    runWifiCommand(QStringLiteral("/usr/sbin/udhcpd %1").arg(QLatin1String(kUdhcpdFile)));
    m_apUp = true;
    if (!s.stationSsid.isEmpty() && !m_stationUp) {
        runWifiCommand(QStringLiteral("/usr/sbin/wpa_supplicant -B -i wlan0 -c %1").arg(QLatin1String(kSupplicantFile)));
        runWifiCommand(QStringLiteral("udhcpc -b -i wlan0"));
        m_stationUp = true;
    }
}

void Q58_WIFI_CONFIG::stopAccessPoint()
{
    runWifiCommand(QLatin1String(kStopHostapd));
    runWifiCommand(QLatin1String(kStopUdhcpd));
    m_apUp = false;
}

void Q58_WIFI_CONFIG::stopStation()
{
    if (!m_stationUp)
        return;
    runWifiCommand(QStringLiteral("kill -9 `pidof /usr/sbin/wpa_supplicant`"));
    runWifiCommand(QStringLiteral("kill -9 `pidof udhcpc`"));
    m_stationUp = false;
}

void Q58_WIFI_CONFIG::resetPass()
{
    uint8_t request = m_resetRequest.load();
    if (request == 0 || Utils::getTimeSpace(m_resetStamp.load()) < kResetDelay)
        return;
    if (!wifiOn()) {
        // Switched off: stop what runs, start nothing.
        if (m_resetRequest.compare_exchange_strong(request, 0) && m_apUp)
            stopAccessPoint();
        return;
    }
    if (request == 1) {
        if (m_apUp)
            stopAccessPoint();
        m_resetRequest.compare_exchange_strong(request, 2);
        return;
    }
    // A request made meanwhile starts over.
    if (m_resetRequest.compare_exchange_strong(request, 0))
        startAccessPoint();
}

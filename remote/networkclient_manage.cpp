#include "remote/networkclient_manage.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/worker.h"
#include "remote/message_deal_cloud_4g.h"
#include "remote/pc_values.h"
#include "remote/pclink.h"

namespace {
constexpr size_t kCloudChunk = 4096;
// Bytes read per pass, so that a flooding server still lets the pass end.
constexpr size_t kCloudReadPerPass = 65536;
constexpr int kCloudIdleWaitMs = 1000;

enum class CloudServer { None, Address, Name };

// The server of the configuration: an address, a name still to be looked
// up, or none to use.
CloudServer readCloudServer(sockaddr_in* out, QByteArray* name)
{
    ConfigEngine* config = ConfigEngine::p_config;
    if (!config)
        return CloudServer::None;
    const QByteArray host = config->read_config_variant(ConfigItem::Ryxacloudserverip).toString().trimmed().toLatin1();
    const QString portText = config->read_config_variant(ConfigItem::Ryxacloudserverport).toString().trimmed();
    bool ok = false;
    const uint configured = portText.toUInt(&ok);
    // A host moves it like the PC ports, so that instances and their test
    // servers run side by side.
    const int port = ok && configured >= 1 && configured <= 65535 ? platform::pcPort(int(configured)) : -1;
    if (port < 1)
        return CloudServer::None;
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons(uint16_t(port));
    if (::inet_pton(AF_INET, host.constData(), &out->sin_addr) == 1) {
        // A host talks to nobody but itself.
        return platform::isDevice() || (ntohl(out->sin_addr.s_addr) >> 24) == 127 ? CloudServer::Address : CloudServer::None;
    }
    // Nor does a host ask a name server.
    if (!platform::isDevice() || !pc_values::hostName(host))
        return CloudServer::None;
    *name = host;
    return CloudServer::Name;
}

// Looks a server name up (in this thread only: nothing else waits for it).
bool lookUpCloudServer(const QByteArray& name, sockaddr_in* server)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    server->sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

QString cloudDeviceIdText()
{
    QString id;
    for (uint8_t c : g_pid) {
        if (!std::isxdigit(c))
            return QString();
        id += QChar(c);
    }
    return id;
}

QByteArray cloudLoginCommand()
{
    QJsonObject login;
    login.insert(QStringLiteral("name"), QStringLiteral("login"));
    login.insert(QStringLiteral("deviceId"), cloudDeviceIdText());
    if (ConfigEngine* config = ConfigEngine::p_config) {
        auto text = [config](ConfigItem::ConfigName id) { return config->read_config_variant(id).toString(); };
        login.insert(QStringLiteral("userId"), text(ConfigItem::Ryxaclouduserip));
        login.insert(QStringLiteral("controllerName"), text(ConfigItem::Ryxacloudcontrollername));
        login.insert(QStringLiteral("barcode"), text(ConfigItem::Barcode));
    }
    return QJsonDocument(login).toJson(QJsonDocument::Compact);
}
} // namespace

struct networkclient_Manage::Thread {
    platform::Worker worker;
    pclink::Waker waker;
};

networkclient_Manage* networkclient_Manage::p_networkclient_Manage = nullptr;

networkclient_Manage::networkclient_Manage(bool startThread)
    : m_thread(std::make_unique<Thread>())
    , m_chunk(kCloudChunk)
{
    if (startThread)
        m_thread->worker.start(acceptThread, this, "cloud");
}

networkclient_Manage::~networkclient_Manage()
{
    m_thread->waker.wake();
    m_thread->worker.stopAndJoin();
    closeSocket();
}

networkclient_Manage* networkclient_Manage::pInstance()
{
    if (!p_networkclient_Manage)
        p_networkclient_Manage = new networkclient_Manage(true);
    return p_networkclient_Manage;
}

networkclient_Manage* networkclient_Manage::createForTest()
{
    destroyForTest();
    p_networkclient_Manage = new networkclient_Manage(false);
    return p_networkclient_Manage;
}

void networkclient_Manage::destroyForTest()
{
    networkclient_Manage* client = p_networkclient_Manage;
    p_networkclient_Manage = nullptr;
    delete client;
}

void* networkclient_Manage::acceptThread(void* arg)
{
    auto* self = static_cast<networkclient_Manage*>(arg);
    while (!self->m_thread->worker.stopRequested())
        self->acceptTurn(kCloudIdleWaitMs);
    return nullptr;
}

bool networkclient_Manage::takeReconfigure()
{
    QMutexLocker lock(&Utils::_reconfig_device_ryxacloud_mutex);
    if (!g_reconfig_device_ryxacloud)
        return false;
    g_reconfig_device_ryxacloud = 0;
    return true;
}

void networkclient_Manage::waitFor(int fd, short events, int waitMs, short* revents)
{
    pollfd p[2] = {{m_thread->waker.fd(), POLLIN, 0}, {fd, events, 0}};
    *revents = 0;
    if (::poll(p, fd >= 0 ? 2 : 1, std::max(waitMs, 0)) > 0 && fd >= 0)
        *revents = p[1].revents;
}

void networkclient_Manage::acceptTurn(int waitMs)
{
    if (takeReconfigure()) {
        // New settings: drop what there is and try them at once.
        VYX_DEBUG("cloud: reconfigure\n");
        closeSocket();
        m_backoff = 0;
        m_state = State::Waiting;
    }
    short revents = 0;
    switch (m_state.load()) {
    case State::Off:
    case State::Waiting: {
        const uint32_t waited = Utils::getTimeSpace(m_failStamp);
        if (m_state == State::Off || m_backoff == 0 || waited >= m_backoff) {
            startConnect();
            if (m_state == State::Off)
                waitFor(-1, 0, std::min(waitMs, kCloudIdleWaitMs), &revents);
            return;
        }
        waitFor(-1, 0, int(std::min<uint32_t>(uint32_t(waitMs), (m_backoff - waited) * 10)), &revents);
        return;
    }
    case State::Connecting:
        waitFor(m_fd, POLLOUT, std::min(waitMs, 100), &revents);
        if (revents) {
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
                fail("refused");
            else
                onConnected();
        } else if (Utils::getTimeSpace(m_stateStamp) >= kConnectLimit) {
            fail("no answer to connect");
        }
        return;
    case State::Connected:
        serve(waitMs);
        return;
    }
}

void networkclient_Manage::startConnect()
{
    sockaddr_in server{};
    QByteArray name;
    const CloudServer kind = readCloudServer(&server, &name);
    if (kind == CloudServer::None) {
        m_state = State::Off;
        return;
    }
    ++m_attempts;
    if (kind == CloudServer::Name && !lookUpCloudServer(name, &server)) {
        fail("name not found");
        return;
    }
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        fail("no socket");
        return;
    }
    int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_stateStamp = G_timeTicks.load();
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) {
        onConnected();
    } else if (errno == EINPROGRESS) {
        m_state = State::Connecting;
    } else {
        fail("refused");
    }
}

void networkclient_Manage::onConnected()
{
    VYX_DEBUG("cloud: connected\n");
    std::fflush(stdout);
    m_state = State::Connected;
    m_rxStamp = G_timeTicks.load();
    m_heartbeatSent = false;
    m_loggedIn = false;
    m_decoder.reset();
    m_unsent.clear();
    m_loginSequence = ++m_sequence;
    queue(message_deal_cloud_4g::msg_to_cloud(m_loginSequence, cloudLoginCommand()));
}

void networkclient_Manage::serve(int waitMs)
{
    short revents = 0;
    // While a frame is unfinished the pass comes back soon to watch its
    // time limit.
    const int wait = (m_decoder.inFrame() || !m_unsent.empty()) ? std::min(waitMs, 10) : waitMs;
    waitFor(m_fd, short(POLLIN | (m_unsent.empty() ? 0 : POLLOUT)), wait, &revents);
    if ((revents & (POLLIN | POLLHUP | POLLERR)) && !receive())
        return;
    if (m_decoder.inFrame() && Utils::getTimeSpace(m_frameStamp) >= kFrameLimit) {
        fail("frame not finished");
        return;
    }
    const uint32_t silent = Utils::getTimeSpace(m_rxStamp);
    if (silent >= kSilenceLimit) {
        fail("server silent");
        return;
    }
    if (silent >= kHeartbeatAfter && !m_heartbeatSent)
        sendHeartbeat();
    if (!flush())
        fail("send failed");
}

// False when the connection was dropped.
bool networkclient_Manage::receive()
{
    size_t total = 0;
    while (total < kCloudReadPerPass) {
        ssize_t n = ::recv(m_fd, m_chunk.data(), m_chunk.size(), 0);
        if (n == 0) {
            fail("closed by the server");
            return false;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return true;
            fail("receive failed");
            return false;
        }
        total += size_t(n);
        m_rxStamp = G_timeTicks.load();
        m_heartbeatSent = false;
        const uint8_t* p = m_chunk.data();
        size_t left = size_t(n);
        while (left > 0) {
            if (!m_decoder.inFrame())
                m_frameStamp = G_timeTicks.load();
            size_t used = 0;
            protocol_phy_cloud_4g::Result r = m_decoder.data_from_cloud_4g(p, left, &used);
            p += used;
            left -= used;
            if (r == protocol_phy_cloud_4g::Result::Frame) {
                handleFrame();
                if (m_state != State::Connected)
                    return false;
            } else if (r != protocol_phy_cloud_4g::Result::NeedMore) {
                static const char* const why[] = {"", "", "bad magic", "bad XOR check", "length too large",
                                                  "bad CRC"};
                fail(why[int(r)]);
                return false;
            }
        }
    }
    return true;
}

void networkclient_Manage::handleFrame()
{
    const protocol_phy_cloud_4g::Header& h = m_decoder.header();
    if (h.type == protocol_phy_cloud_4g::kTypeAck) {
        if (h.sequence == m_loginSequence && !m_loggedIn) {
            // A server that answers is a good server: the next failure
            // starts the back-off afresh.
            m_loggedIn = true;
            m_backoff = 0;
        }
        return;
    }
    if (h.type != protocol_phy_cloud_4g::kTypeCommand)
        return;
    uint8_t mine[protocol_phy_cloud_4g::kDeviceIdSize];
    protocol_phy_cloud_4g::deviceId(mine);
    // Commands for another controller are not carried out.
    if (std::memcmp(mine, h.device, sizeof mine) != 0)
        return;
    const std::vector<uint8_t>& payload = m_decoder.payload();
    QByteArray command(reinterpret_cast<const char*>(payload.data()), int(payload.size()));
    queue(message_deal_cloud_4g::Cloud_MSG_ACK(h.sequence, message_deal_4g::deal_json(command)));
}

void networkclient_Manage::queue(std::vector<uint8_t> frame)
{
    m_unsent.insert(m_unsent.end(), frame.begin(), frame.end());
}

void networkclient_Manage::sendHeartbeat()
{
    m_heartbeatSent = true;
    QJsonObject beat;
    beat.insert(QStringLiteral("name"), QStringLiteral("heartbeat"));
    queue(message_deal_cloud_4g::msg_to_cloud(++m_sequence, QJsonDocument(beat).toJson(QJsonDocument::Compact)));
}

// False when the server cannot take what is due.
bool networkclient_Manage::flush()
{
    while (!m_unsent.empty()) {
        ssize_t n = ::send(m_fd, m_unsent.data(), m_unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            m_unsent.erase(m_unsent.begin(), m_unsent.begin() + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            break;
        return false;
    }
    return m_unsent.size() < kMaxUnsent;
}

void networkclient_Manage::fail(const char* why)
{
    VYX_DEBUG("cloud: %s\n", why);
    std::fflush(stdout);
    closeSocket();
    m_state = State::Waiting;
    m_failStamp = G_timeTicks.load();
    m_backoff = m_backoff == 0 ? kBackoffFirst : std::min(m_backoff * 2, kBackoffMax);
}

void networkclient_Manage::closeSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_decoder.reset();
    m_unsent.clear();
}

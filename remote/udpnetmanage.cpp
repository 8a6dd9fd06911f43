#include "remote/udpnetmanage.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "platform/platform.h"
#include "platform/worker.h"
#include "remote/file_transfer.h"
#include "remote/pclink.h"

static_assert(sizeof(sockaddr_in) == sizeof(udpnetManage::sender), "sender address size");

struct udpnetManage::Server {
    udpnetManage* owner = nullptr;
    int index = 0;
    uint16_t port = 0;
    bool broadcast = false;
    int fd = -1;
    bool openFailing = false; // reported once until it opens
    platform::Worker worker;
    pclink::Waker waker;
    protocol_phy collector;
    pclink::CardRequests cards{pclink::kTransportUdp};
    pclink::Buffers buf;
    message_deal handler;
    std::vector<uint8_t> datagram = std::vector<uint8_t>(65536);

    int open();
    void run();
    void handleFrame(const sockaddr_in& from);
    void deliverAnswer();
    void reply(const sockaddr_in& to, const uint8_t* data, int length);
};

udpnetManage* udpnetManage::p_udpnetManage = nullptr;

udpnetManage::udpnetManage()
    : QObject(nullptr)
{
    pclink::set_instance(p_udpnetManage, this);
    if (!g_udpnetmode)
        return;
    const uint16_t ports[2] = {kBroadcastPort, kSenderPort};
    for (int i = 0; i < 2; ++i) {
        auto s = std::make_unique<Server>();
        s->owner = this;
        s->index = i;
        s->port = ports[i];
        s->broadcast = ports[i] == kBroadcastPort;
        s->fd = s->open();
        m_servers[i] = std::move(s);
    }
    for (auto& s : m_servers)
        s->worker.start(udp_server_thread, s.get(), ("pc-udp-" + std::to_string(s->port)).c_str());
}

udpnetManage::~udpnetManage()
{
    for (auto& s : m_servers) {
        if (!s)
            continue;
        s->waker.wake();
        s->worker.stopAndJoin();
        if (s->fd >= 0)
            ::close(s->fd);
    }
}

udpnetManage* udpnetManage::pInstance()
{
    // Published by the constructor, before its threads start.
    if (!p_udpnetManage)
        new udpnetManage();
    return p_udpnetManage;
}

void udpnetManage::destroyForTest()
{
    udpnetManage* link = p_udpnetManage;
    pclink::set_instance<udpnetManage>(p_udpnetManage, nullptr);
    delete link;
}

void* udpnetManage::udp_server_thread(void* arg)
{
    static_cast<Server*>(arg)->run();
    return nullptr;
}

int udpnetManage::Server::open()
{
    int s = pclink::open_server(SOCK_DGRAM, port, &openFailing);
    if (s >= 0 && broadcast && platform::isDevice()) {
        int on = 1;
        ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    return s;
}

void udpnetManage::Server::run()
{
    while (!worker.stopRequested()) {
        if (fd < 0) {
            pclink::wait_input(-1, waker, pclink::kRetryMs);
            fd = open();
            continue;
        }
        if (pclink::wait_input(fd, waker, cards.busy() ? pclink::kPollMs : pclink::kIdlePollMs)) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t n = ::recvfrom(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from),
                                   &fromLength);
            if (n > 0 && from.sin_family == AF_INET) {
                collector.resetCollector();
                for (ssize_t i = 0; i < n; ++i) {
                    if (collector.collect(datagram[size_t(i)]))
                        handleFrame(from);
                }
            }
        }
        deliverAnswer();
        file_transfer::expire();
    }
}

namespace {
// A UDP client is its address and port.
uint64_t clientId(const sockaddr_in& a)
{
    return uint64_t(ntohl(a.sin_addr.s_addr)) << 16 | ntohs(a.sin_port);
}
sockaddr_in clientAddress(uint64_t id)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(uint32_t(id >> 16));
    a.sin_port = htons(uint16_t(id));
    return a;
}
} // namespace

void udpnetManage::Server::handleFrame(const sockaddr_in& from)
{
    // Each PC on the port is one peer: a file transfer belongs to it.
    handler.set_peer((uint64_t(from.sin_addr.s_addr) << 16) | from.sin_port);
    auto answer = [&](const uint8_t* data, int length) { reply(from, data, length); };
    pclink::handle_frame(collector, handler, buf, answer, cards, clientId(from));
}

void udpnetManage::Server::deliverAnswer()
{
    auto prepare = [&](uint64_t id) {
        sockaddr_in to = clientAddress(id);
        owner->ReplyList.clear();
        std::memcpy(owner->sender, &to, sizeof owner->sender);
    };
    uint64_t id = 0;
    std::unique_ptr<UdpReplyRecord> answer = cards.turn(&owner->ReplyList, prepare, &id);
    if (answer)
        reply(clientAddress(id), answer->frame, pclink::answer_length(*answer));
}

void udpnetManage::Server::reply(const sockaddr_in& sender, const uint8_t* data, int length)
{
    sockaddr_in to = sender;
    to.sin_family = AF_INET;
    if (!platform::isDevice())
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // a host answers only itself
    else if (broadcast)
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ::sendto(fd, data, size_t(length), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

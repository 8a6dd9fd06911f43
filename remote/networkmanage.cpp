#include "remote/networkmanage.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/globals.h"
#include "platform/worker.h"
#include "remote/file_transfer.h"
#include "remote/pclink.h"

namespace {
// Chunks this short cannot hold a frame and are dropped whole, unless they
// continue a frame the client has begun.
constexpr ssize_t kShortChunk = 9;
constexpr size_t kMaxClients = 16;
// A client that vanished without closing (cable pulled, PC off) is found
// after about a minute of silence and three unanswered probes.
constexpr int kKeepIdleSeconds = 60;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepProbes = 3;

void keepAlive(int fd)
{
    int on = 1, idle = kKeepIdleSeconds, interval = kKeepIntervalSeconds, probes = kKeepProbes;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}
} // namespace

struct networkManage::Server {
    struct Client {
        int fd;
        uint64_t id; // never reused, unlike the descriptor
        protocol_phy phy;
        // Each client has its own handler: a file transfer belongs to the
        // client and ends when it leaves.
        message_deal handler;
        bool broken = false;
        uint64_t lastActive = 0; // activity order, higher = more recent
    };

    networkManage* owner = nullptr;
    int index = 0;
    uint16_t port = 0;
    int listenFd = -1;
    bool openFailing = false; // reported once until it opens
    platform::Worker worker;
    pclink::Waker waker;
    std::vector<std::unique_ptr<Client>> clients;
    uint64_t nextId = 1;
    uint64_t activity = 0;
    pclink::CardRequests cards{pclink::kTransportTcp};
    pclink::Buffers buf;
    std::vector<uint8_t> chunk = std::vector<uint8_t>(65536);

    void run();
    void acceptClients();
    void dropIdlest();
    bool receive(Client& c);
    void handleFrame(Client& c);
    void deliverAnswer();
    void closeClient(Client& c);
};

networkManage* networkManage::p_networkManage = nullptr;

networkManage::networkManage()
{
    pclink::set_instance(p_networkManage, this);
    if (!g_networkMode)
        return;
    uint16_t ports[2] = {uint16_t(g_port.load()), kSecondPort};
    int count = (ports[0] == ports[1]) ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        auto s = std::make_unique<Server>();
        s->owner = this;
        s->index = i;
        s->port = ports[i];
        s->listenFd = pclink::open_server(SOCK_STREAM, s->port, &s->openFailing);
        m_servers[i] = std::move(s);
    }
    for (int i = 0; i < count; ++i)
        m_servers[i]->worker.start(tcp_server_thread, m_servers[i].get(),
                                   ("pc-tcp-" + std::to_string(m_servers[i]->port)).c_str());
}

networkManage::~networkManage()
{
    for (auto& s : m_servers) {
        if (!s)
            continue;
        s->waker.wake();
        s->worker.stopAndJoin();
        for (auto& c : s->clients)
            ::close(c->fd);
        if (s->listenFd >= 0)
            ::close(s->listenFd);
    }
}

networkManage* networkManage::pInstance()
{
    // Published by the constructor, before its threads start.
    if (!p_networkManage)
        new networkManage();
    return p_networkManage;
}

void networkManage::destroyForTest()
{
    networkManage* link = p_networkManage;
    pclink::set_instance<networkManage>(p_networkManage, nullptr);
    delete link;
}

void* networkManage::tcp_server_thread(void* arg)
{
    static_cast<Server*>(arg)->run();
    return nullptr;
}

void networkManage::Server::run()
{
    constexpr size_t kFirstClient = 2;
    std::vector<pollfd> fds;
    while (!worker.stopRequested()) {
        if (listenFd < 0) {
            pclink::wait_input(-1, waker, pclink::kRetryMs);
            listenFd = pclink::open_server(SOCK_STREAM, port, &openFailing);
            continue;
        }
        fds.assign({pollfd{waker.fd(), POLLIN, 0}, pollfd{listenFd, POLLIN, 0}});
        for (auto& c : clients)
            fds.push_back(pollfd{c->fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), cards.busy() ? pclink::kPollMs : pclink::kIdlePollMs);

        for (size_t i = kFirstClient; i < fds.size(); ++i) {
            if (fds[i].revents && !receive(*clients[i - kFirstClient]))
                clients[i - kFirstClient]->broken = true;
        }
        for (auto& c : clients) {
            if (c->broken)
                closeClient(*c);
        }
        clients.erase(std::remove_if(clients.begin(), clients.end(), [](const std::unique_ptr<Client>& c) {
                          return c->broken;
                      }),
                      clients.end());
        if (fds[1].revents & POLLIN)
            acceptClients();
        deliverAnswer();
        file_transfer::expire();
    }
}

void networkManage::Server::acceptClients()
{
    for (;;) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        // Idle or half-open clients must not lock every further PC out.
        if (clients.size() >= kMaxClients)
            dropIdlest();
        keepAlive(fd);
        auto c = std::make_unique<Client>();
        c->fd = fd;
        c->id = nextId++;
        c->lastActive = ++activity;
        clients.push_back(std::move(c));
    }
}

void networkManage::Server::dropIdlest()
{
    auto idlest = std::min_element(clients.begin(), clients.end(),
                                   [](const std::unique_ptr<Client>& a, const std::unique_ptr<Client>& b) {
                                       return a->lastActive < b->lastActive;
                                   });
    if (idlest == clients.end())
        return;
    closeClient(**idlest);
    clients.erase(idlest);
}

// False when the client has gone.
bool networkManage::Server::receive(Client& c)
{
    ssize_t n = ::recv(c.fd, chunk.data(), chunk.size(), 0);
    if (n == 0)
        return false;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.lastActive = ++activity;
    // TCP is a stream: a short piece of a frame in assembly is kept.
    if (n <= kShortChunk && !c.phy.inFrame())
        return true;
    for (ssize_t i = 0; i < n && !c.broken; ++i) {
        if (c.phy.collect(chunk[size_t(i)]))
            handleFrame(c);
    }
    return !c.broken;
}

void networkManage::Server::handleFrame(Client& c)
{
    auto reply = [&](const uint8_t* data, int length) {
        if (!pclink::write_all(c.fd, data, length, true))
            c.broken = true;
    };
    pclink::handle_frame(c.phy, c.handler, buf, reply, cards, c.id);
}

void networkManage::Server::deliverAnswer()
{
    auto clientOf = [&](uint64_t id) {
        return std::find_if(clients.begin(), clients.end(), [&](const std::unique_ptr<Client>& c) { return c->id == id; });
    };
    auto prepare = [&](uint64_t id) {
        auto it = clientOf(id);
        owner->ReplyList.clear();
        owner->client_fd = it == clients.end() ? -1 : (*it)->fd;
    };
    uint64_t id = 0;
    std::unique_ptr<TcpReplyRecord> answer = cards.turn(&owner->ReplyList, prepare, &id);
    if (!answer)
        return;
    auto it = clientOf(id);
    if (it == clients.end())
        return;
    if (!pclink::write_all((*it)->fd, answer->frame, pclink::answer_length(*answer), true)) {
        closeClient(**it);
        clients.erase(it);
    }
}

void networkManage::Server::closeClient(Client& c)
{
    // Its file transfer ends with it, before any other client is served;
    // its card frames are forgotten.
    file_transfer::abandon(&c.handler);
    cards.forget(c.id);
    ::close(c.fd);
    c.broken = true;
}

#include "remote/pclink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"

namespace pclink {

namespace {
void mark_pc_command()
{
    pc_cmd_time = G_timeTicks.load();
    pc_cmd_valid = 1;
}
} // namespace

Buffers::Buffers()
    : body(protocol_phy::kMaxEncoded)
    , out(protocol_phy::kMaxEncoded)
{
}

int checked_body(const protocol_phy& phy, Buffers& buf)
{
    uint8_t* body = buf.body.data();
    int n = protocol_phy::data_transf_meaning(phy.raw(), phy.rawLength(), body);
    if (n < protocol_phy::kMinBody || n > protocol_phy::kMaxBody)
        return -1;
    if (Utils::BCC(body, unsigned(n - 1)) != body[n - 1])
        return -1;
    return n;
}

int encode_reply(Buffers& buf, int reply)
{
    uint8_t* body = buf.body.data();
    protocol_phy::swap_phy_head(body);
    body[reply] = Utils::BCC(body, unsigned(reply));
    return protocol_phy::data_re_transf_meaning(nullptr, buf.out.data(), body, reply + 1, nullptr);
}

Outcome deal_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, int* length)
{
    uint8_t* body = buf.body.data();
    int n = checked_body(phy, buf);
    if (n < 0)
        return Outcome::Dropped;
    uint16_t destination = le16(body);
    uint16_t source = le16(body + 2);
    if (destination < kCardAddressEnd && source == kPcAddress) {
        *length = n;
        return Outcome::Cards;
    }
    if (destination != kController && destination != kController2)
        return Outcome::Dropped;

    mark_pc_command();
    int reply = handler.message_group_deal(body, n, protocol_phy::kMaxBody);
    if (reply <= 0)
        return Outcome::Dropped;
    *length = encode_reply(buf, reply);
    return Outcome::Reply;
}

void handle_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf,
                  const std::function<void(const uint8_t*, int)>& reply, CardRequests& cards, uint64_t client)
{
    int length = 0;
    switch (deal_frame(phy, handler, buf, &length)) {
    case Outcome::Reply: reply(buf.out.data(), length); break;
    case Outcome::Cards: cards.add(client, buf.body.data(), length); break;
    case Outcome::Dropped: break;
    }
}

// ---------------------------------------------------------------------------
// Card exchanges

namespace {
// The link whose request is in flight; claimed and released atomically.
std::atomic<CardRequests*> s_owner{nullptr};
// Requests waiting in every link's queue.
std::atomic<int> s_queued{0};
// The link that sent the last request: it lets the others go first.
std::atomic<CardRequests*> s_last{nullptr};

struct RcvLock {
    explicit RcvLock(fpga_manage* fpga)
        : m(fpga ? &fpga->rcv_mutex : nullptr)
    {
        if (m)
            pthread_mutex_lock(m);
    }
    ~RcvLock()
    {
        if (m)
            pthread_mutex_unlock(m);
    }
    pthread_mutex_t* m;
};
} // namespace

void under_receive_mutex(const std::function<void()>& fn)
{
    RcvLock lock(fpga_manage::p_fpga_manage);
    fn();
}

CardRequests::CardRequests(uint8_t transport)
    : m_transport(transport)
{
}

CardRequests::~CardRequests()
{
    RcvLock lock(fpga_manage::p_fpga_manage);
    dropQueue();
    endWait();
    CardRequests* self = this;
    s_last.compare_exchange_strong(self, nullptr);
}

void CardRequests::dropQueue()
{
    s_queued -= int(m_queue.size());
    m_queue.clear();
}

// Under the receive mutex.
void CardRequests::endWait()
{
    if (!m_inFlight)
        return;
    m_inFlight = false;
    // A late answer then finds nobody waiting and is dropped.
    uint8_t mine = m_transport;
    g_passby_trans_port.compare_exchange_strong(mine, 255);
    CardRequests* self = this;
    s_owner.compare_exchange_strong(self, nullptr);
}

void CardRequests::add(uint64_t client, const uint8_t* body, int length)
{
    mark_pc_command();
    if (!body || length <= 0 || length > protocol_phy::kMaxBody)
        return;
    if (m_inFlight && m_client == client) {
        RcvLock lock(fpga_manage::p_fpga_manage);
        endWait();
    }
    if (m_queue.size() >= kMaxQueuedCardFrames)
        return;
    m_queue.push_back({client, std::vector<uint8_t>(body, body + length)});
    ++s_queued;
}

void CardRequests::forget(uint64_t client)
{
    size_t before = m_queue.size();
    for (auto it = m_queue.begin(); it != m_queue.end();)
        it = it->client == client ? m_queue.erase(it) : it + 1;
    s_queued -= int(before - m_queue.size());
    if (m_inFlight && m_client == client) {
        RcvLock lock(fpga_manage::p_fpga_manage);
        endWait();
    }
}

bool CardRequests::step(const std::function<bool()>& take, const std::function<void(uint64_t)>& prepare,
                        uint64_t* client)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    RcvLock lock(fpga);
    if (!fpga) {
        dropQueue(); // nobody could send them
        endWait();
        return false;
    }
    bool answered = false;
    if (m_inFlight) {
        fpga->reg_IRQ_Dealwith(0, 0);
        uint32_t waited = Utils::getTimeSpace(m_stamp);
        if (fpga->answer_arrived == 1 && take()) {
            fpga->answer_arrived = 0;
            *client = m_client;
            answered = true;
            endWait();
        } else if (waited > kCardAnswerCapTicks || (waited > kCardAnswerTicks && s_queued > 0)) {
            endWait();
        }
    }
    CardRequests* none = nullptr;
    const bool othersWait = s_queued > int(m_queue.size());
    if (!m_inFlight && !m_queue.empty() && !(s_last == this && othersWait)
        && s_owner.compare_exchange_strong(none, this)) {
        s_last = this;
        Request r = std::move(m_queue.front());
        m_queue.pop_front();
        --s_queued;
        if (prepare)
            prepare(r.client);
        g_passby_trans_port = m_transport;
        fpga->answer_arrived = 0;
        m_inFlight = true;
        m_client = r.client;
        m_stamp = G_timeTicks.load();
        fpga->Dealwith1_PC_to_eth(int(r.body.size()), r.body.data());
        mark_pc_command();
    }
    return answered;
}

namespace {
int bind_server(int type, int port)
{
    if (port < 0) {
        errno = ERANGE;
        return -1;
    }
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A TCP server reopens its port at once after a restart, whatever
    // connections of the last run still wait out their close. Never on UDP:
    // there it would let a second instance share the port silently and take
    // its datagrams.
    if (type == SOCK_STREAM) {
        int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    // A host never serves beyond itself.
    addr.sin_addr.s_addr = htonl(platform::isDevice() ? INADDR_ANY : INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || (type == SOCK_STREAM && ::listen(fd, 8) != 0)) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}
} // namespace

int open_server(int type, uint16_t port, bool* failing)
{
    const int moved = platform::pcPort(port);
    int fd = bind_server(type, moved);
    report_open(fd >= 0, std::string(type == SOCK_STREAM ? "TCP" : "UDP") + " port "
                             + (moved < 0 ? std::to_string(port) + " moved beyond 65535" : std::to_string(moved)),
                failing);
    return fd;
}

void report_open(bool opened, const std::string& what, bool* failing)
{
    if (opened && *failing)
        std::fprintf(stderr, "vyxQ58N: %s is open now\n", what.c_str());
    else if (!opened && !*failing)
        std::fprintf(stderr, "vyxQ58N: cannot open %s: %s; trying again every %d s\n", what.c_str(),
                     std::strerror(errno), kRetryMs / 1000);
    *failing = !opened;
}

bool write_all(int fd, const uint8_t* data, int length, bool socket, int timeoutMs)
{
    int done = 0;
    int waited = 0;
    while (done < length) {
        ssize_t n = socket ? ::send(fd, data + done, size_t(length - done), MSG_NOSIGNAL)
                           : ::write(fd, data + done, size_t(length - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (waited >= timeoutMs)
            return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, kPollMs);
        waited += kPollMs;
    }
    return true;
}

Waker::Waker()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

Waker::~Waker()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Waker::wake()
{
    uint64_t one = 1;
    if (::write(m_fd, &one, sizeof one) < 0) {
        // Already readable.
    }
}

bool wait_input(int fd, const Waker& waker, int timeoutMs)
{
    pollfd p[2] = {{waker.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
    int count = fd >= 0 ? 2 : 1;
    return ::poll(p, nfds_t(count), timeoutMs) > 0 && count == 2 && p[1].revents != 0;
}

} // namespace pclink

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

Outcome deal_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, int* length)
{
    uint8_t* body = buf.body.data();
    int n = protocol_phy::data_transf_meaning(phy.raw(), phy.rawLength(), body);
    if (n < protocol_phy::kMinBody || n > protocol_phy::kMaxBody)
        return Outcome::Dropped;
    if (Utils::BCC(body, unsigned(n - 1)) != body[n - 1])
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
    protocol_phy::swap_phy_head(body);
    body[reply] = Utils::BCC(body, unsigned(reply));
    *length = protocol_phy::data_re_transf_meaning(nullptr, buf.out.data(), body, reply + 1, nullptr);
    return Outcome::Reply;
}

bool handle_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, uint8_t transport,
                  const std::function<void(const uint8_t*, int)>& reply, const std::function<bool()>& prepare)
{
    int length = 0;
    switch (deal_frame(phy, handler, buf, &length)) {
    case Outcome::Reply: reply(buf.out.data(), length); return false;
    case Outcome::Cards: return pass_to_cards(transport, buf.body.data(), length, prepare);
    case Outcome::Dropped: break;
    }
    return false;
}

bool pass_to_cards(uint8_t transport, uint8_t* body, int length, const std::function<bool()>& prepare)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return false;
    pthread_mutex_lock(&fpga->rcv_mutex);
    if (prepare && !prepare()) {
        pthread_mutex_unlock(&fpga->rcv_mutex);
        return false;
    }
    g_passby_trans_port = transport;
    fpga->answer_arrived = 0;
    fpga->Dealwith1_PC_to_eth(length, body);
    pthread_mutex_unlock(&fpga->rcv_mutex);
    mark_pc_command();
    return true;
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
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
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

#include "tests/remote/pc_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "remote/protocol_phy.h"

namespace pc {

namespace {
uint8_t xorOf(const uint8_t* p, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}

Bytes le(uint32_t v, int n)
{
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}
} // namespace

Bytes body(uint16_t destination, uint16_t source, uint8_t command, const Bytes& data)
{
    Bytes b = cat({le(destination, 2), le(source, 2), Bytes(5, 0), Bytes{command}, data});
    b.push_back(xorOf(b.data(), b.size()));
    return b;
}

Bytes encode(const Bytes& body)
{
    Bytes out(2 * body.size() + 2);
    int n = protocol_phy::data_re_transf_meaning(nullptr, out.data(), body.data(), int(body.size()), nullptr);
    out.resize(size_t(n));
    return out;
}

Bytes writeRam(uint32_t address, const Bytes& data, uint8_t addressClass)
{
    return body(kController, kPc, 0x60,
                cat({le(address, 4), le(uint32_t(data.size()), 2), Bytes{addressClass, 0}, data}));
}

Bytes readRam(uint32_t address, uint16_t length, uint8_t addressClass)
{
    return body(kController, kPc, 0x61, cat({le(address, 4), le(length, 2), Bytes{addressClass, 0}}));
}

Bytes writeRegister(uint16_t reg, uint8_t mask, uint8_t value, uint8_t target)
{
    return body(kController, kPc, 0xA0, cat({le(reg, 2), Bytes{mask, value, target}}));
}

Bytes readRegister(uint16_t first, uint8_t count, uint8_t target)
{
    return body(kController, kPc, 0xA1, cat({le(first, 2), Bytes{count, 0, target}}));
}

Bytes replyData(const Bytes& request, const Bytes& reply)
{
    if (reply.size() < 12) {
        ADD_FAILURE() << "reply of " << reply.size() << " bytes";
        return {};
    }
    EXPECT_EQ(reply[0], request[2]);
    EXPECT_EQ(reply[1], request[3]);
    EXPECT_EQ(reply[2], request[0]);
    EXPECT_EQ(reply[3], request[1]);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 10), Bytes(request.begin() + 4, request.begin() + 10));
    EXPECT_EQ(xorOf(reply.data(), reply.size() - 1), reply.back()) << "checksum";
    return Bytes(reply.begin() + 10, reply.end() - 1);
}

Endpoint::~Endpoint()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Endpoint::sendRaw(const Bytes& bytes) { return m_fd >= 0 && write(bytes.data(), bytes.size()); }

bool Endpoint::write(const uint8_t* data, size_t length)
{
    return ::write(m_fd, data, length) == ssize_t(length);
}

bool Endpoint::receive(Bytes* out, int timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    protocol_phy collector;
    size_t used = 0;
    for (;;) {
        for (; used < m_pending.size(); ++used) {
            if (collector.collect(m_pending[used])) {
                m_pending.erase(m_pending.begin(), m_pending.begin() + long(used) + 1);
                out->resize(size_t(collector.rawLength()));
                int n = protocol_phy::data_transf_meaning(collector.raw(), collector.rawLength(), out->data());
                if (n < 0)
                    return false;
                out->resize(size_t(n));
                return true;
            }
        }
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                           .count());
        if (left <= 0 || m_fd < 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            continue;
        uint8_t chunk[65536];
        ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        m_pending.insert(m_pending.end(), chunk, chunk + n);
    }
}

Bytes Endpoint::ask(const Bytes& request, int timeoutMs)
{
    Bytes reply;
    if (!send(request)) {
        ADD_FAILURE() << "send failed";
        return {};
    }
    if (!receive(&reply, timeoutMs)) {
        ADD_FAILURE() << "no reply";
        return {};
    }
    return replyData(request, reply);
}

TcpClient::TcpClient(uint16_t port, int waitMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    do {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            m_fd = fd;
            return;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
}

UdpClient::UdpClient(uint16_t port)
    : m_port(port)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

bool UdpClient::write(const uint8_t* data, size_t length)
{
    sockaddr_in a = loopback(m_port);
    return ::sendto(m_fd, data, length, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) == ssize_t(length);
}

SerialClient::SerialClient(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

} // namespace pc

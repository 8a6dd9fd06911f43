#pragma once
// A cloud server for the tests on 127.0.0.1: builds and reads cloud frames
// byte by byte (only the CRC comes from Utils, whose check values are
// tested on their own) and can misbehave in every way a server can.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/utils.h"

namespace cloud {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kCommand = 1;
constexpr uint8_t kAck = 2;

// Damage a frame can be sent with.
enum class Damage { None, Crc, Xor, Magic };

// `length` < 0: the payload's own.
inline Bytes frame(uint8_t type, uint8_t sequence, const Bytes& device, const QByteArray& payload,
                   Damage damage = Damage::None, int64_t length = -1)
{
    const uint32_t n = length < 0 ? uint32_t(payload.size()) : uint32_t(length);
    Bytes f(27, 0);
    f[0] = 0x55;
    f[1] = damage == Damage::Magic ? 0xAB : 0xAA;
    f[2] = type;
    f[3] = sequence;
    for (size_t i = 0; i < 16 && i < device.size(); ++i)
        f[4 + i] = device[i];
    for (int i = 0; i < 4; ++i)
        f[size_t(20 + i)] = uint8_t(n >> (24 - 8 * i));
    uint16_t crc = Utils::calcCRC16(reinterpret_cast<const uint8_t*>(payload.constData()), unsigned(payload.size()));
    if (damage == Damage::Crc)
        crc ^= 0x0100;
    f[24] = uint8_t(crc >> 8);
    f[25] = uint8_t(crc);
    uint8_t x = 0;
    for (int i = 0; i < 26; ++i)
        x ^= f[size_t(i)];
    // A bad magic comes with a matching XOR: only the magic is wrong.
    f[26] = damage == Damage::Xor ? uint8_t(x ^ 0x80) : x;
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

inline QByteArray json(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

struct Frame {
    uint8_t type = 0;
    uint8_t sequence = 0;
    Bytes device;
    QByteArray payload;
    QJsonObject object() const { return QJsonDocument::fromJson(payload).object(); }
    QString name() const { return object().value("name").toString(); }
};

class Server {
public:
    // Listens on an ephemeral port of 127.0.0.1.
    Server() { listen(0); }
    ~Server()
    {
        dropClient();
        closeListener();
    }
    uint16_t port() const { return m_port; }

    void closeListener()
    {
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
    }
    // Listens again on the same port.
    bool reopen() { return listen(m_port); }

    // Accepts the next connection (dropping the one there is) within
    // `timeoutMs`, turning `turn` meanwhile when given.
    bool accept(int timeoutMs, const std::function<void()>& turn = nullptr)
    {
        dropClient();
        return until(timeoutMs, turn, [&] {
            m_client = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            return m_client >= 0;
        });
    }
    void dropClient()
    {
        if (m_client >= 0)
            ::close(m_client);
        m_client = -1;
        m_in.clear();
    }
    bool send(const Bytes& b)
    {
        return m_client >= 0 && ::send(m_client, b.data(), b.size(), MSG_NOSIGNAL) == ssize_t(b.size());
    }

    // The next frame from the controller, its checks verified.
    bool receive(Frame* f, int timeoutMs, const std::function<void()>& turn = nullptr)
    {
        return until(timeoutMs, turn, [&] {
            pull();
            if (m_in.size() < 27)
                return false;
            uint32_t n = (uint32_t(m_in[20]) << 24) | (uint32_t(m_in[21]) << 16) | (uint32_t(m_in[22]) << 8) | m_in[23];
            if (m_in.size() < 27 + n)
                return false;
            EXPECT_EQ(m_in[0], 0x55);
            EXPECT_EQ(m_in[1], 0xAA);
            uint8_t x = 0;
            for (int i = 0; i < 26; ++i)
                x ^= m_in[size_t(i)];
            EXPECT_EQ(x, m_in[26]) << "XOR check";
            uint16_t crc = Utils::calcCRC16(m_in.data() + 27, n);
            EXPECT_EQ(crc, uint16_t((m_in[24] << 8) | m_in[25])) << "CRC";
            f->type = m_in[2];
            f->sequence = m_in[3];
            f->device.assign(m_in.begin() + 4, m_in.begin() + 20);
            f->payload = QByteArray(reinterpret_cast<const char*>(m_in.data() + 27), int(n));
            m_in.erase(m_in.begin(), m_in.begin() + 27 + long(n));
            return true;
        });
    }
    // True once the controller has closed the connection.
    bool peerClosed(int timeoutMs, const std::function<void()>& turn = nullptr)
    {
        return until(timeoutMs, turn, [&] { return pull() == 0; });
    }
    // Nothing arrived (turning `turn` `turns` times).
    bool quiet(int turns, const std::function<void()>& turn)
    {
        for (int i = 0; i < turns; ++i)
            turn();
        pull();
        return m_in.empty();
    }

    // Login, acknowledged: the usual start of a session. The login frame.
    Frame greet(int timeoutMs, const std::function<void()>& turn = nullptr)
    {
        Frame login;
        EXPECT_TRUE(accept(timeoutMs, turn));
        EXPECT_TRUE(receive(&login, timeoutMs, turn));
        EXPECT_EQ(login.name(), "login");
        QJsonObject ack{{"name", "login"}, {"result", 0}};
        send(frame(kAck, login.sequence, login.device, json(ack)));
        return login;
    }

private:
    bool listen(uint16_t port)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(m_listen, 4) != 0) {
            closeListener();
            return false;
        }
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
        return true;
    }
    // Reads what is there; 0 when the peer has closed, else 1.
    int pull()
    {
        if (m_client < 0)
            return 0;
        uint8_t buf[4096];
        for (;;) {
            ssize_t n = ::recv(m_client, buf, sizeof buf, 0);
            if (n > 0) {
                m_in.insert(m_in.end(), buf, buf + n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                return 0;
            return 1;
        }
    }
    static bool until(int timeoutMs, const std::function<void()>& turn, const std::function<bool()>& done)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (done())
                return true;
            if (std::chrono::steady_clock::now() > end)
                return false;
            if (turn)
                turn();
            else
                ::poll(nullptr, 0, 5);
        }
    }

    int m_listen = -1;
    int m_client = -1;
    uint16_t m_port = 0;
    Bytes m_in;
};

} // namespace cloud

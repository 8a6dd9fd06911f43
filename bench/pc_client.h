#pragma once
// A PC-control client for the tests and the benchmarks: builds frames byte
// by byte (not through the code under test, apart from the escape encoder
// that has tests of its own) and talks over TCP, UDP or a serial port with
// a time-out on every receive. A fault (no reply, a reply that does not
// match its request) goes to faultReporter(): standard error by default,
// a test failure in the tests.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "remote/protocol_phy.h"

using Bytes = std::vector<uint8_t>;

namespace pc {

constexpr uint16_t kController = 0xF100;
constexpr uint16_t kPc = 0xF010;

using FaultReporter = void (*)(const std::string& fault);
inline FaultReporter& faultReporter()
{
    static FaultReporter reporter = [](const std::string& fault) { std::fprintf(stderr, "%s\n", fault.c_str()); };
    return reporter;
}

inline uint8_t xorOf(const Bytes& b, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= b[i];
    return x;
}

// Destination, source, five zero header bytes, command, data and checksum.
inline Bytes body(uint16_t destination, uint16_t source, uint8_t command, const Bytes& data)
{
    Bytes b{uint8_t(destination), uint8_t(destination >> 8), uint8_t(source), uint8_t(source >> 8), 0, 0, 0, 0, 0,
            command};
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(xorOf(b, b.size()));
    return b;
}

inline Bytes encode(const Bytes& body)
{
    Bytes out(2 * body.size() + 2);
    int n = protocol_phy::data_re_transf_meaning(nullptr, out.data(), body.data(), int(body.size()), nullptr);
    out.resize(size_t(n));
    return out;
}

// Address u32 LE, length u16 LE, address class, sub-id, then the data.
inline Bytes ram(uint8_t command, uint32_t address, uint16_t length, uint8_t addressClass, const Bytes& data,
                 uint8_t sub = 0)
{
    Bytes d{uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16), uint8_t(address >> 24),
            uint8_t(length),  uint8_t(length >> 8),  addressClass,           sub};
    d.insert(d.end(), data.begin(), data.end());
    return body(kController, kPc, command, d);
}
inline Bytes writeRam(uint32_t address, const Bytes& data, uint8_t addressClass = 0)
{
    return ram(0x60, address, uint16_t(data.size()), addressClass, data);
}
inline Bytes readRam(uint32_t address, uint16_t length, uint8_t addressClass = 0)
{
    return ram(0x61, address, length, addressClass, {});
}
// An FPGA image: the target (1 FPGA 0, 2 FPGA 1) in address bits 24..31.
inline Bytes fpgaWriteRam(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address, const Bytes& data)
{
    return ram(0x60, uint32_t(target) << 24 | address, uint16_t(data.size()), addressClass, data, sub);
}
inline Bytes fpgaReadRam(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address, uint16_t length)
{
    return ram(0x61, uint32_t(target) << 24 | address, length, addressClass, {}, sub);
}
inline Bytes writeRegister(uint16_t reg, uint8_t mask, uint8_t value, uint8_t target = 0)
{
    return body(kController, kPc, 0xA0, {uint8_t(reg), uint8_t(reg >> 8), mask, value, target});
}
inline Bytes readRegister(uint16_t first, uint8_t count, uint8_t target = 0)
{
    return body(kController, kPc, 0xA1, {uint8_t(first), uint8_t(first >> 8), count, 0, target});
}

// ---- file transfer ----
inline Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
inline Bytes u16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes named(const std::string& s) { return cat({{uint8_t(s.size())}, text(s)}); }
inline Bytes control(uint8_t command, const Bytes& data) { return body(kController, kPc, command, data); }

inline Bytes fileStart(uint8_t type, const std::string& tag, uint32_t size)
{
    return control(0xB0, cat({{type}, text(tag), u32(size)}));
}
inline Bytes definedFileStart(uint8_t type, const std::string& tag, uint32_t size, const std::string& name)
{
    return control(0xB3, cat({{type}, text(tag), u32(size), named(name)}));
}
inline Bytes fileBlock(uint32_t offset, const Bytes& data)
{
    return control(0xB1, cat({u32(offset), u16(uint16_t(data.size())), data}));
}
inline Bytes fileEnd(const Bytes& digest) { return control(0xB2, digest); }
inline Bytes readStart(uint8_t type, const std::string& tag, uint32_t limit = 0)
{
    return control(0xB4, cat({{type}, text(tag), u32(limit)}));
}
inline Bytes readDefinedStart(uint8_t type, const std::string& tag, const std::string& name)
{
    return control(0xB7, cat({{type}, text(tag), named(name)}));
}
inline Bytes readBlock(uint32_t offset, uint16_t length) { return control(0xB5, cat({u32(offset), u16(length)})); }
inline Bytes readEnd() { return control(0xB6, {}); }
inline Bytes deleteFile(uint8_t type, const std::string& tag, const std::string& name = "")
{
    return control(0xB8, cat({{type}, text(tag), named(name)}));
}
inline Bytes cloudBlock(uint8_t kind, uint32_t offset, const Bytes& data)
{
    return control(0xB9, cat({{kind}, u32(offset), u16(uint16_t(data.size())), data}));
}
inline Bytes cloudEnd(uint8_t kind, const Bytes& digest) { return control(0xBA, cat({{kind}, digest})); }

// Checks a reply against its request: source and destination swapped, the
// header and command kept, a correct checksum. Returns the reply data
// (status first), or an empty vector after reporting the fault.
inline Bytes replyData(const Bytes& request, const Bytes& reply)
{
    if (reply.size() < 12) {
        faultReporter()("reply of " + std::to_string(reply.size()) + " bytes");
        return {};
    }
    Bytes head{request[2], request[3], request[0], request[1]};
    head.insert(head.end(), request.begin() + 4, request.begin() + 10);
    if (Bytes(reply.begin(), reply.begin() + 10) != head) {
        std::string fault = "reply header";
        for (size_t i = 0; i < 10; ++i)
            fault += (i ? " " : ": ") + std::to_string(reply[i])
                     + (reply[i] == head[i] ? "" : "(want " + std::to_string(head[i]) + ")");
        faultReporter()(fault);
        return {};
    }
    if (xorOf(reply, reply.size() - 1) != reply.back()) {
        faultReporter()("reply checksum");
        return {};
    }
    return Bytes(reply.begin() + 10, reply.end() - 1);
}

// One client end. UDP sockets are connected, so that plain reads and
// writes serve every link.
class Endpoint {
public:
    Endpoint() = default;
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;
    ~Endpoint()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    bool sendRaw(const Bytes& b) { return m_fd >= 0 && ::write(m_fd, b.data(), b.size()) == ssize_t(b.size()); }
    bool send(const Bytes& body) { return sendRaw(encode(body)); }

    // The next whole frame, decoded; false after `timeoutMs` without one.
    bool receive(Bytes* body, int timeoutMs = 2000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (size_t used = 0;; used = 0) {
            while (used < m_pending.size()) {
                if (!m_collector.collect(m_pending[used++]))
                    continue;
                m_pending.erase(m_pending.begin(), m_pending.begin() + long(used));
                body->resize(size_t(m_collector.rawLength()));
                int n = protocol_phy::data_transf_meaning(m_collector.raw(), m_collector.rawLength(), body->data());
                body->resize(size_t(n > 0 ? n : 0));
                return n >= 0;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || m_fd < 0)
                return false;
            if (::poll(&p, 1, int(left.count())) <= 0)
                continue;
            m_pending.resize(65536); // all of it was collected above
            ssize_t n = ::read(m_fd, m_pending.data(), m_pending.size());
            m_pending.resize(size_t(n > 0 ? n : 0));
            if (n <= 0)
                return false;
        }
    }

    // send() then receive(); the reply data, or empty after reporting.
    Bytes ask(const Bytes& request, int timeoutMs = 2000)
    {
        Bytes reply;
        if (!send(request) || !receive(&reply, timeoutMs)) {
            faultReporter()("no reply");
            return {};
        }
        return replyData(request, reply);
    }

    int fd() const { return m_fd; }

protected:
    static int connectTo(int type, uint16_t port)
    {
        int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        ::close(fd);
        return -1;
    }
    int m_fd = -1;

private:
    protocol_phy m_collector;
    Bytes m_pending; // bytes read after the last frame
};

// Where the programs of this machine that start controllers (the tests, the
// benchmarks, the panel walks) hold a lock on each PC port they hand out.
inline std::string portLockDir()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/vyx-pc-ports";
}

// A lock on PC port `port` (a file lock, so it goes with the process), or -1
// when another holder has it.
inline int lockPort(int port)
{
    const std::string dir = portLockDir();
    if (::mkdir(dir.c_str(), 0777) == 0)
        ::chmod(dir.c_str(), 01777); // shared by every user, like /tmp
    int fd = ::open((dir + "/" + std::to_string(port)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The port locks of every offset this process has handed out.
struct PortLocks {
    std::mutex mutex;
    std::map<int, std::vector<int>> held;
};
inline PortLocks& portLocks()
{
    static PortLocks locks;
    return locks;
}

// A PC port offset under which the PC ports (5005, 10002, 5008, 10005 and
// 13769, TCP and UDP) and `extra` are free now, or -1. Free now is not
// enough: two programs checking at once both find a port free, and the
// second controller's PC then talks to the first one. So each port stays
// locked for this process until releasePortOffset() or its end, and
// programs that follow the same locks never share one. Chosen at random
// below the ephemeral ports.
inline int freePortOffset(std::initializer_list<int> extra = {})
{
    auto bindable = [](int type, int port) {
        int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    };
    static std::mt19937 random(std::random_device{}());
    // 13769 plus the offset stays below 32768, where outgoing connections
    // take their ports.
    std::uniform_int_distribution<int> pick(100, 18900);
    std::vector<int> ports{5005, 10002, 5008, 10005, 13769};
    ports.insert(ports.end(), extra.begin(), extra.end());
    PortLocks& locks = portLocks();
    std::lock_guard<std::mutex> guard(locks.mutex);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int offset = pick(random);
        if (locks.held.count(offset))
            continue;
        std::vector<int> fds;
        bool free = true;
        for (int p : ports) {
            const int fd = lockPort(p + offset);
            if (fd >= 0)
                fds.push_back(fd);
            free = fd >= 0 && bindable(SOCK_STREAM, p + offset) && bindable(SOCK_DGRAM, p + offset);
            if (!free)
                break;
        }
        if (free) {
            locks.held[offset] = std::move(fds);
            return offset;
        }
        for (int fd : fds)
            ::close(fd);
    }
    return -1;
}

// Lets other programs have the ports of `offset` again.
inline void releasePortOffset(int offset)
{
    PortLocks& locks = portLocks();
    std::lock_guard<std::mutex> guard(locks.mutex);
    auto it = locks.held.find(offset);
    if (it == locks.held.end())
        return;
    for (int fd : it->second)
        ::close(fd);
    locks.held.erase(it);
}

struct TcpClient : Endpoint {
    // Keeps trying for up to `waitMs` while the server comes up.
    explicit TcpClient(uint16_t port, int waitMs = 3000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while ((m_fd = connectTo(SOCK_STREAM, port)) < 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        int on = 1;
        if (m_fd >= 0)
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
};

struct UdpClient : Endpoint {
    explicit UdpClient(uint16_t port) { m_fd = connectTo(SOCK_DGRAM, port); }
};

struct SerialClient : Endpoint {
    // Opens the far end (e.g. "<root>/dev/ttyS2") raw.
    explicit SerialClient(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
};

} // namespace pc

#pragma once
// A PC-control client for the tests: builds frames byte by byte (not through
// the code under test, apart from the escape encoder that has tests of its
// own) and talks over TCP, UDP or a serial port with a time-out on every
// receive.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace pc {

constexpr uint16_t kController = 0xF100;
constexpr uint16_t kPc = 0xF010;

// Destination, source, five zero header bytes, command, data and checksum.
Bytes body(uint16_t destination, uint16_t source, uint8_t command, const Bytes& data);
Bytes encode(const Bytes& body);

Bytes writeRam(uint32_t address, const Bytes& data, uint8_t addressClass = 0);
Bytes readRam(uint32_t address, uint16_t length, uint8_t addressClass = 0);
Bytes writeRegister(uint16_t reg, uint8_t mask, uint8_t value, uint8_t target = 0);
Bytes readRegister(uint16_t first, uint8_t count, uint8_t target = 0);

// Checks a reply against its request: source and destination swapped, the
// header and command kept, a correct checksum. Returns the reply data
// (status first) or an empty vector with a test failure.
Bytes replyData(const Bytes& request, const Bytes& reply);

class Endpoint {
public:
    virtual ~Endpoint();
    bool ok() const { return m_fd >= 0; }
    bool sendRaw(const Bytes& bytes);
    bool send(const Bytes& body) { return sendRaw(encode(body)); }
    // The next whole frame, decoded; false after `timeoutMs` without one.
    bool receive(Bytes* body, int timeoutMs = 2000);
    // send() then receive(); the reply data, or empty.
    Bytes ask(const Bytes& body, int timeoutMs = 2000);

protected:
    virtual bool write(const uint8_t* data, size_t length);
    int m_fd = -1;
    Bytes m_pending; // bytes read after the last frame
};

class TcpClient : public Endpoint {
public:
    // Keeps trying for up to `waitMs` while the server comes up.
    explicit TcpClient(uint16_t port, int waitMs = 3000);
};

class UdpClient : public Endpoint {
public:
    explicit UdpClient(uint16_t port);

protected:
    bool write(const uint8_t* data, size_t length) override;

private:
    uint16_t m_port;
};

class SerialClient : public Endpoint {
public:
    // Opens the far end (e.g. "<root>/dev/ttyS2") raw.
    explicit SerialClient(const std::string& path);
};

} // namespace pc

#pragma once
// Serial ports ("/dev/ttyS%d"). The device opens the real UARTs with termios;
// the simulation gives every port a pseudo-terminal whose other end is
// published as "<root>/dev/ttyS<N>", so tests and people can talk to it with
// ordinary serial tools. Reading and writing use the returned descriptor
// directly (read, write, poll work on both).

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class Serial {
public:
    virtual ~Serial() = default;
    // Opens port `port` raw, 8 data bits, no parity, one stop bit, no flow
    // control, non-blocking, at `baud`. Returns a descriptor or -1.
    virtual int open(int port, unsigned int baud) = 0;
    // RS-485 driver direction through RTS: true while transmitting.
    virtual int setTransmit(int fd, bool transmit) = 0;
    // Waits until every written byte has left the UART.
    virtual int drain(int fd) = 0;
    virtual void close(int fd) = 0;
};

Serial& serial();

class SimSerial : public Serial {
public:
    int open(int port, unsigned int baud) override;
    int setTransmit(int fd, bool transmit) override;
    int drain(int fd) override;
    void close(int fd) override;

    // "<root>/dev/ttyS<port>": the far end of the port's pseudo-terminal.
    std::string farEnd(int port) const;
    // The newest direction changes in order, (port, transmit): at most
    // kDirectionLogLimit, so a long run does not grow with its replies.
    std::vector<std::pair<int, bool>> directionLog() const;
    static constexpr size_t kDirectionLogLimit = 1024;
    // Closes every open port and forgets the log.
    void reset();

private:
    struct Port {
        int port;
        int master;
        int slaveHold; // keeps the far end alive (and raw) while no client has it open
        std::string link;
    };
    void closeLocked(std::vector<Port>::iterator it);

    mutable std::mutex m_mutex;
    std::vector<Port> m_ports;
    std::deque<std::pair<int, bool>> m_directions;
};

SimSerial& simSerial();

} // namespace platform

#include "platform/platform.h"
#include "platform/serial.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

Serial& linuxSerial();

Serial& serial()
{
    if (isDevice())
        return linuxSerial();
    return simSerial();
}

SimSerial& simSerial()
{
    static SimSerial instance;
    return instance;
}

std::string SimSerial::farEnd(int port) const { return sysPath("/dev/ttyS" + std::to_string(port)); }

int SimSerial::open(int port, unsigned int baud)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return -1;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return -1;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return -1;
    }
    // Raw like the real UART, so the far end neither echoes nor waits for
    // line ends.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, baud == 115200 ? B115200 : B9600);
    ::tcsetattr(slave, TCSANOW, &tio);

    std::string link = farEnd(port);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto old = std::find_if(m_ports.begin(), m_ports.end(), [port](const Port& p) { return p.port == port; });
    if (old != m_ports.end())
        closeLocked(old);
    ::unlink(link.c_str());
    if (::symlink(name, link.c_str()) != 0) {
        ::close(slave);
        ::close(master);
        return -1;
    }
    m_ports.push_back(Port{port, master, slave, link});
    return master;
}

int SimSerial::setTransmit(int fd, bool transmit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Port& p : m_ports) {
        if (p.master == fd) {
            if (m_directions.size() >= kDirectionLogLimit)
                m_directions.pop_front();
            m_directions.emplace_back(p.port, transmit);
            return 0;
        }
    }
    return -1;
}

int SimSerial::drain(int) { return 0; }

void SimSerial::close(int fd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_ports.begin(), m_ports.end(), [fd](const Port& p) { return p.master == fd; });
    if (it != m_ports.end())
        closeLocked(it);
}

void SimSerial::closeLocked(std::vector<Port>::iterator it)
{
    ::unlink(it->link.c_str());
    ::close(it->slaveHold);
    ::close(it->master);
    m_ports.erase(it);
}

std::vector<std::pair<int, bool>> SimSerial::directionLog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<std::pair<int, bool>>(m_directions.begin(), m_directions.end());
}

void SimSerial::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    while (!m_ports.empty())
        closeLocked(m_ports.begin());
    m_directions.clear();
}

} // namespace platform

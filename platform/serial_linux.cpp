// Device back-end of the serial ports: termios on the real UARTs.
#include "platform/platform.h"
#include "platform/serial.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

namespace {
speed_t speedOf(unsigned int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

class LinuxSerial : public Serial {
public:
    int open(int port, unsigned int baud) override
    {
        speed_t speed = speedOf(baud);
        if (speed == B0)
            return -1;
        char name[32];
        std::snprintf(name, sizeof name, "/dev/ttyS%d", port);
        int fd = ::open(sysPath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return -1;
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) {
            ::close(fd);
            return -1;
        }
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        ::tcflush(fd, TCIOFLUSH);
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
            ::close(fd);
            return -1;
        }
        setTransmit(fd, false);
        return fd;
    }

    int setTransmit(int fd, bool transmit) override
    {
        int bits = 0;
        if (::ioctl(fd, TIOCMGET, &bits) != 0)
            return -1;
        if (transmit)
            bits |= TIOCM_RTS;
        else
            bits &= ~TIOCM_RTS;
        return ::ioctl(fd, TIOCMSET, &bits) == 0 ? 0 : -1;
    }

    int drain(int fd) override { return ::tcdrain(fd); }

    void close(int fd) override
    {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

Serial& linuxSerial()
{
    static LinuxSerial instance;
    return instance;
}

} // namespace platform

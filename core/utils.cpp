#include "core/utils.h"
#include "core/globals.h"
#include "platform/shell.h"

#include <cctype>
#include <cstdio>
#include <unistd.h>

QMutex Utils::_system_mutex;
QMutex Utils::_usleep_mutex;
QMutex Utils::_led_para_init_mutex;
QMutex Utils::_bri_set_mutex;
QMutex Utils::_spi_mutex;
QMutex Utils::_c331_bnk_mutex;
QMutex Utils::_fpga_multicast_mutex;
QMutex Utils::_file_deal_mutex;
QMutex Utils::_source_init_mutex;
QMutex Utils::_check_nosig_mutex;
QMutex Utils::_source_hdminfo_mutex;
QMutex Utils::_test_signal_mutex;
QMutex Utils::_reconfig_4g_mutex;
QMutex Utils::_reconfig_device_ryxacloud_mutex;

void writeLogMsg(_LogType, std::string) {}

namespace {
constexpr std::array<uint16_t, 256> reflectedTable(uint16_t poly)
{
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = uint16_t(i);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? uint16_t((c >> 1) ^ poly) : uint16_t(c >> 1);
        t[i] = c;
    }
    return t;
}

unsigned short tableCrc(const std::array<uint16_t, 256>& table, unsigned short crc, const unsigned char* data,
                        unsigned int len)
{
    for (unsigned int i = 0; i < len; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}
} // namespace

const std::array<uint16_t, 256> Utils::crc16_tabel = reflectedTable(0xA001);
const std::array<uint16_t, 256> Utils::zizoCrc16_tabel = reflectedTable(0x8408);

unsigned char Utils::BCC(const unsigned char* data, unsigned int len)
{
    unsigned char x = 0;
    for (unsigned int i = 0; i < len; ++i)
        x ^= data[i];
    return x;
}

unsigned short Utils::calcCRC16(const unsigned char* data, unsigned int len)
{
    return tableCrc(crc16_tabel, 0x0000, data, len);
}

unsigned short Utils::zizoCalcCRC16(const unsigned char* data, unsigned int len)
{
    return tableCrc(zizoCrc16_tabel, 0xFFFF, data, len);
}

unsigned short Utils::jtc1CRC16Code(const unsigned char* data, unsigned int len)
{
    unsigned int crc = 0;
    for (unsigned int i = 0; i < len; ++i) {
        unsigned char b = data[i];
        for (int k = 0; k < 8; ++k) {
            bool top = (crc & 0x8000) != 0;
            bool bit = (b & 0x80) != 0;
            crc = (top != bit) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
            b = uint8_t(b << 1);
        }
    }
    return static_cast<unsigned short>(crc);
}

unsigned int Utils::getTimeSpace(unsigned int stamp)
{
    unsigned int now = G_timeTicks.load(std::memory_order_relaxed);
    if (now >= stamp)
        return now - stamp;
    return 0xFFFFFFFFu - stamp + now;
}

unsigned int Utils::stringToInt(std::string text)
{
    unsigned int value = 0;
    if (text.compare(0, 2, "0x") == 0) {
        if (text.size() < 3)
            return 0;
        for (size_t i = 2; i < text.size(); ++i) {
            int c = std::toupper(static_cast<unsigned char>(text[i]));
            value = value * 16 + ((c >= 'A' && c <= 'Z') ? c - 55 : c - 48);
        }
        return value;
    }
    for (char ch : text) {
        int c = std::toupper(static_cast<unsigned char>(ch));
        value = value * 10 + ((c >= 'A' && c <= 'Z') ? 0 : c - 48);
    }
    return value;
}

std::string Utils::upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Utils::intToString(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

int Utils::system_mutex(QString command, int* status)
{
    QMutexLocker lock(&_system_mutex);
    int raw = platform::shell().run(command.toLatin1().toStdString());
    if (status)
        *status = raw;
    return raw == 0 ? 0 : 255;
}

std::string Utils::shell_exec(std::string& command, int size)
{
    return platform::shell().capture(command, size, nullptr);
}

int Utils::usleep_mutex(unsigned int microseconds)
{
    QMutexLocker lock(&_usleep_mutex);
    int rc = ::usleep(microseconds);
    return (rc & 0xFF) ? 255 : 0;
}

int Utils::msleep_mutex(unsigned int milliseconds) { return usleep_mutex(milliseconds * 1000u); }

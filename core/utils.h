#pragma once
// Static helpers shared by every subsystem: checksums, the time base, the
// shell runner, the named mutexes, raw flash and text conversion.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>

#include "core/shared_bytes.h"

enum _LogType { LOG_ERROR = 1, LOG_WARNING = 2, LOG_INFO = 3 };

// The log sink; it has no body on this system.
void writeLogMsg(_LogType level, std::string text);

class Utils {
public:
    Utils() {}

    // ---- checksums and time base ----
    static unsigned char BCC(const unsigned char* data, unsigned int len);
    static unsigned short calcCRC16(const unsigned char* data, unsigned int len);
    static unsigned short zizoCalcCRC16(const unsigned char* data, unsigned int len);
    static unsigned short jtc1CRC16Code(const unsigned char* data, unsigned int len);
    static unsigned int getTimeSpace(unsigned int stamp);
    static unsigned int stringToInt(std::string text);
    static std::string upper(std::string text);
    static std::string intToString(int value);

    static const std::array<uint16_t, 256> crc16_tabel;     // reflected 0xA001
    static const std::array<uint16_t, 256> zizoCrc16_tabel; // reflected 0x8408

    // ---- shell runner and sleeps ----
    static int system_mutex(QString command, int* status = nullptr);
    static std::string shell_exec(std::string& command, int size);
    static int usleep_mutex(unsigned int microseconds);
    static int msleep_mutex(unsigned int milliseconds);

    // ---- network address set-up ----
    static int getIPAddress();
    static int initIPAddress();
    static int init_resteth(QString ip, QString gateway, QString mask);

    // ---- raw flash ----
    static int non_region_erase(int fd, int offset, int length, int unlock);
    static int non_region_write(int fd, unsigned char* data, int length, int offset);

    // ---- character sets and files ----
    static int ChangeCode(const char* fromCharset, const char* toCharset, const char* in,
                          unsigned int* inLength, char* out, unsigned int* outLength);
    static int GB2312ToUTF8(std::string& text);
    static int GB2312ToUnicode(std::string& text);
    static int UTF8ToUnicode(std::string& text);
    static int UnicodeToUTF8(std::string& text);
    static int UTF8ToGB2312(std::string& text);
    static int UnicodeToGB2312(std::string& text);
    static bool isFileExists(std::string path, bool regularOnly);
    static bool isDirExists(std::string path);
    static void get_file_list_smartpath(QStringList list, QString directory, QString suffix);
    static int change_file_formt(std::string path);

    // ---- named mutexes ----
    // Lock order, outermost first: c331_manage::para_mutex; then
    // _led_para_init_mutex, _bri_set_mutex or c331_manage::flash_mutex
    // followed by _c331_bnk_mutex; then _spi_mutex. _file_deal_mutex may be held around a "sync" (it is taken
    // before _system_mutex). Nothing that runs under _system_mutex calls
    // system_mutex, takes _file_deal_mutex or signals a change.
    static QMutex _system_mutex;
    static QMutex _usleep_mutex;
    static QMutex _led_para_init_mutex;
    static QMutex _bri_set_mutex;
    static QMutex _spi_mutex;
    static QMutex _c331_bnk_mutex;
    static QMutex _fpga_multicast_mutex;
    static QMutex _file_deal_mutex;
    static QMutex _source_init_mutex;
    static QMutex _check_nosig_mutex;
    static QMutex _source_hdminfo_mutex;
    static QMutex _test_signal_mutex;
    static QMutex _reconfig_4g_mutex;
    static QMutex _reconfig_device_ryxacloud_mutex;
};

// Little-endian field helpers for byte layouts (no pointer casts: the device
// is strict about alignment). Each byte is moved whole (core/shared_bytes.h):
// the same helpers read and write the layouts threads share.
inline uint16_t le16(const uint8_t* p) { return uint16_t(loadShared(p) | (loadShared(p + 1) << 8)); }
inline uint32_t le32(const uint8_t* p)
{
    return uint32_t(loadShared(p)) | (uint32_t(loadShared(p + 1)) << 8) | (uint32_t(loadShared(p + 2)) << 16) |
           (uint32_t(loadShared(p + 3)) << 24);
}
inline void putLe16(uint8_t* p, uint16_t v)
{
    storeShared(p, uint8_t(v));
    storeShared(p + 1, uint8_t(v >> 8));
}
inline void putLe32(uint8_t* p, uint32_t v)
{
    storeShared(p, uint8_t(v));
    storeShared(p + 1, uint8_t(v >> 8));
    storeShared(p + 2, uint8_t(v >> 16));
    storeShared(p + 3, uint8_t(v >> 24));
}

#include "remote/pc_values.h"

#include <QTextCodec>
#include <cctype>
#include <cstring>

namespace pc_values {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool validUtf8(const QByteArray& text)
{
    QTextCodec::ConverterState state;
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    codec->toUnicode(text.constData(), text.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

} // namespace

QString ipText(const uint8_t ip[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

bool parseIp(const QByteArray& text, uint8_t out[4])
{
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        const QByteArray& p = parts[i];
        if (p.isEmpty() || p.size() > 3 || (p.size() > 1 && p[0] == '0'))
            return false;
        int value = 0;
        for (char c : p) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
        out[i] = uint8_t(value);
    }
    return true;
}

uint32_t ipValue(const uint8_t ip[4])
{
    return (uint32_t(ip[0]) << 24) | (uint32_t(ip[1]) << 16) | (uint32_t(ip[2]) << 8) | ip[3];
}

bool subnetMask(const uint8_t mask[4])
{
    uint32_t m = ipValue(mask);
    uint32_t inverted = ~m;
    // Ones then zeros: the inverted mask plus one is a power of two.
    if ((inverted & (inverted + 1)) != 0)
        return false;
    int ones = 0;
    for (uint32_t bit = 0x80000000u; bit && (m & bit); bit >>= 1)
        ++ones;
    return ones >= 8 && ones <= 30;
}

bool hostAddress(const uint8_t ip[4], const uint8_t mask[4])
{
    if (ip[0] == 0 || ip[0] == 127 || ip[0] >= 224)
        return false;
    uint32_t host = ipValue(ip) & ~ipValue(mask);
    return host != 0 && host != ~ipValue(mask);
}

QString macText(const uint8_t mac[6])
{
    QString s;
    for (int i = 0; i < 6; ++i) {
        if (i)
            s += QLatin1Char(':');
        s += QStringLiteral("%1").arg(mac[i], 2, 16, QLatin1Char('0'));
    }
    return s;
}

bool parseMac(const QByteArray& text, uint8_t out[6])
{
    if (text.size() != 17)
        return false;
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return false;
    for (int i = 0; i < 6; ++i) {
        int hi = hexDigit(text[3 * i]), lo = hexDigit(text[3 * i + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[3 * i + 2] != separator))
            return false;
        out[i] = uint8_t(hi * 16 + lo);
    }
    return true;
}

bool unicastMac(const uint8_t mac[6])
{
    static const uint8_t zero[6] = {};
    return (mac[0] & 0x01) == 0 && std::memcmp(mac, zero, 6) != 0;
}

bool macFromIfconfig(const std::string& output, uint8_t out[6])
{
    for (const char* key : {"HWaddr ", "ether "}) {
        size_t at = output.find(key);
        if (at == std::string::npos)
            continue;
        at += std::strlen(key);
        while (at < output.size() && output[at] == ' ')
            ++at;
        if (parseMac(QByteArray::fromStdString(output.substr(at, 17)), out))
            return true;
    }
    return false;
}

bool printableAscii(const QByteArray& text, int max)
{
    if (text.isEmpty() || text.size() > max)
        return false;
    for (char c : text)
        if (uchar(c) < 0x20 || uchar(c) > 0x7E)
            return false;
    return true;
}

bool plainUtf8(const QByteArray& text, int max)
{
    if (text.isEmpty() || text.size() > max || !validUtf8(text))
        return false;
    for (char c : text)
        if (uchar(c) < 0x20 || uchar(c) == 0x7F)
            return false;
    return true;
}

bool hostName(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 253 || text[0] == '-' || text[0] == '.')
        return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
            return false;
    return true;
}

bool fileName(const QByteArray& name, const char* suffix)
{
    const int suffixLength = int(std::strlen(suffix));
    if (!plainUtf8(name, 100) || name.size() <= suffixLength || !name.endsWith(suffix))
        return false;
    if (name[0] == '.' || name[0] == ' ' || name.endsWith(' '))
        return false;
    for (char c : name)
        if (std::strchr("/\\:*?\"<>|", c))
            return false;
    return true;
}

} // namespace pc_values

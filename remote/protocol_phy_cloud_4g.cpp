#include "remote/protocol_phy_cloud_4g.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "core/utils.h"

namespace {
constexpr int kCloudTypeAt = 2;
constexpr int kCloudSequenceAt = 3;
constexpr int kCloudDeviceAt = 4;
constexpr int kCloudLengthAt = 20;
constexpr int kCloudCrcAt = 24;
constexpr int kCloudXorAt = 26;

uint32_t cloudBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int pidHexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

void protocol_phy_cloud_4g::reset()
{
    m_have = 0;
    m_payload.clear();
}

protocol_phy_cloud_4g::Result protocol_phy_cloud_4g::parseHeader(const uint8_t* raw, Header* out)
{
    if (raw[0] != kMagic0 || raw[1] != kMagic1)
        return Result::BadMagic;
    if (Utils::BCC(raw, kCloudXorAt) != raw[kCloudXorAt])
        return Result::BadXor;
    Header h;
    h.type = raw[kCloudTypeAt];
    h.sequence = raw[kCloudSequenceAt];
    std::memcpy(h.device, raw + kCloudDeviceAt, kDeviceIdSize);
    h.length = cloudBe32(raw + kCloudLengthAt);
    h.crc = uint16_t((raw[kCloudCrcAt] << 8) | raw[kCloudCrcAt + 1]);
    if (h.length > kMaxPayload)
        return Result::TooLong;
    *out = h;
    return Result::Frame;
}

protocol_phy_cloud_4g::Result protocol_phy_cloud_4g::data_from_cloud_4g(const uint8_t* data, size_t length,
                                                                         size_t* used)
{
    size_t at = 0;
    auto fail = [&](Result r) {
        *used = at;
        reset();
        return r;
    };
    // The magic is checked byte by byte so that garbage is refused at once
    // rather than after 27 bytes.
    while (at < length && m_have < size_t(kHeaderSize)) {
        m_raw[m_have++] = data[at++];
        if ((m_have == 1 && m_raw[0] != kMagic0) || (m_have == 2 && m_raw[1] != kMagic1))
            return fail(Result::BadMagic);
        if (m_have == size_t(kHeaderSize)) {
            Result r = parseHeader(m_raw, &m_header);
            if (r != Result::Frame)
                return fail(r);
            m_payload.clear();
            m_payload.reserve(m_header.length);
        }
    }
    if (m_have >= size_t(kHeaderSize)) {
        size_t take = std::min(length - at, size_t(m_header.length) - m_payload.size());
        m_payload.insert(m_payload.end(), data + at, data + at + take);
        at += take;
        m_have += take;
        if (m_payload.size() == m_header.length) {
            *used = at;
            m_have = 0;
            if (Utils::calcCRC16(m_payload.data(), unsigned(m_payload.size())) != m_header.crc) {
                m_payload.clear();
                return Result::BadCrc;
            }
            return Result::Frame;
        }
    }
    *used = at;
    return Result::NeedMore;
}

std::vector<uint8_t> protocol_phy_cloud_4g::encode(uint8_t type, uint8_t sequence, const uint8_t* device,
                                                   const QByteArray& payload)
{
    const uint32_t n = uint32_t(payload.size());
    std::vector<uint8_t> frame(kHeaderSize + n);
    uint8_t* h = frame.data();
    h[0] = kMagic0;
    h[1] = kMagic1;
    h[kCloudTypeAt] = type;
    h[kCloudSequenceAt] = sequence;
    std::memcpy(h + kCloudDeviceAt, device, kDeviceIdSize);
    h[kCloudLengthAt] = uint8_t(n >> 24);
    h[kCloudLengthAt + 1] = uint8_t(n >> 16);
    h[kCloudLengthAt + 2] = uint8_t(n >> 8);
    h[kCloudLengthAt + 3] = uint8_t(n);
    std::memcpy(h + kHeaderSize, payload.constData(), n);
    uint16_t crc = Utils::calcCRC16(h + kHeaderSize, n);
    h[kCloudCrcAt] = uint8_t(crc >> 8);
    h[kCloudCrcAt + 1] = uint8_t(crc);
    h[kCloudXorAt] = Utils::BCC(h, kCloudXorAt);
    return frame;
}

void protocol_phy_cloud_4g::deviceId(uint8_t* out)
{
    for (int i = 0; i < kDeviceIdSize; ++i) {
        int hi = pidHexDigit(g_pid[2 * i]);
        int lo = pidHexDigit(g_pid[2 * i + 1]);
        out[i] = (hi < 0 || lo < 0) ? 0 : uint8_t((hi << 4) | lo);
    }
}

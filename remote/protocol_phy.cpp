#include "remote/protocol_phy.h"

#include <cstring>

namespace {
constexpr uint8_t kEscStart = 0xA6; // escapes 0xA5 and itself
constexpr uint8_t kEscEnd = 0x5B;   // escapes 0x5A and itself
} // namespace

protocol_phy::protocol_phy()
    : m_raw(kMaxEncoded)
{
}

void protocol_phy::resetCollector()
{
    m_length = 0;
    m_inFrame = false;
    m_overflow = false;
}

bool protocol_phy::collect(uint8_t byte)
{
    if (byte == kStart) {
        m_inFrame = true;
        m_overflow = false;
        m_length = 0;
        return false;
    }
    if (!m_inFrame)
        return false;
    if (byte == kEnd) {
        m_inFrame = false;
        return !m_overflow;
    }
    if (m_length >= kMaxEncoded)
        m_overflow = true;
    else
        m_raw[m_length++] = byte;
    return false;
}

int protocol_phy::data_transf_meaning(const uint8_t* in, int length, uint8_t* out)
{
    int n = 0;
    for (int i = 0; i < length; ++i) {
        uint8_t b = in[i];
        if (b == kStart || b == kEnd)
            return -1;
        if (b == kEscStart || b == kEscEnd) {
            if (i + 1 >= length)
                return -1;
            uint8_t code = in[++i];
            if (code == 0x02)
                b = (b == kEscStart) ? kStart : kEnd;
            else if (code != 0x01)
                return -1;
        }
        out[n++] = b;
    }
    return n;
}

int protocol_phy::data_re_transf_meaning(protocol_phy*, uint8_t* out, const uint8_t* body, int length,
                                         uint8_t* scratch)
{
    if (scratch && length > 0) {
        std::memmove(scratch, body, static_cast<size_t>(length));
        body = scratch;
    }
    int n = 0;
    out[n++] = kStart;
    for (int i = 0; i < length; ++i) {
        uint8_t b = body[i];
        switch (b) {
        case kStart: out[n++] = kEscStart; out[n++] = 0x02; break;
        case kEscStart: out[n++] = kEscStart; out[n++] = 0x01; break;
        case kEnd: out[n++] = kEscEnd; out[n++] = 0x02; break;
        case kEscEnd: out[n++] = kEscEnd; out[n++] = 0x01; break;
        default: out[n++] = b; break;
        }
    }
    out[n++] = kEnd;
    return n;
}

void protocol_phy::swap_phy_head(uint8_t* body)
{
    for (int i = 0; i < 2; ++i) {
        uint8_t t = body[i];
        body[i] = body[2 + i];
        body[2 + i] = t;
    }
}

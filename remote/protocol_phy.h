#pragma once
// The PC-control frame: 0xA5, escaped body, 0x5A. The body is destination
// (u16 LE), source (u16 LE), five header bytes, the command byte, data and
// the XOR checksum of everything before it. Inside the body 0xA5, 0xA6, 0x5A
// and 0x5B are sent as A6 02, A6 01, 5B 02 and 5B 01.

#include <cstdint>
#include <vector>

class protocol_phy {
public:
    static constexpr uint8_t kStart = 0xA5;
    static constexpr uint8_t kEnd = 0x5A;
    // Largest decoded body (checksum included) the links accept or send;
    // its encoded form always fits the smallest reply record.
    static constexpr int kMaxBody = 32768;
    static constexpr int kMaxEncoded = 2 * kMaxBody + 2;
    // Destination, source, five header bytes, command, checksum.
    static constexpr int kMinBody = 10 + 1;
    static constexpr int kCommandAt = 9;
    static constexpr int kDataAt = 10;

    protocol_phy();

    // Collects received bytes into frames. A start byte always begins a new
    // frame (a half frame before it is dropped); bytes outside a frame and
    // frames whose escaped body would exceed kMaxEncoded are dropped.
    // Returns true when `byte` completed a frame, whose escaped body is then
    // raw()/rawLength() until the next call.
    bool collect(uint8_t byte);
    const uint8_t* raw() const { return m_raw.data(); }
    int rawLength() const { return m_length; }
    // True between a start byte and its end byte.
    bool inFrame() const { return m_inFrame; }
    void resetCollector();

    // Removes the escapes of `length` bytes of `in` into `out` (which may be
    // `in`). Returns the decoded length, or -1 for a broken escape.
    static int data_transf_meaning(const uint8_t* in, int length, uint8_t* out);

    // Encodes `length` body bytes (checksum included) as a whole frame into
    // `out`, which needs 2 * length + 2 bytes. When `scratch` (length bytes)
    // is given the body is copied there first, so `out` may be the body's own
    // buffer. The codec's receive state is not touched. Returns the encoded
    // length.
    static int data_re_transf_meaning(protocol_phy* phy, uint8_t* out, const uint8_t* body, int length,
                                      uint8_t* scratch);

    // Exchanges destination and source, for a reply.
    static void swap_phy_head(uint8_t* body);

private:
    std::vector<uint8_t> m_raw;
    int m_length = 0;
    bool m_inFrame = false;
    bool m_overflow = false;
};

#pragma once
// The cloud frame: a 27-byte header followed by a JSON payload.
//
//   0-1    magic 0x55 0xAA
//   2      type: 1 command, 2 acknowledge
//   3      sequence number (an acknowledge repeats the command's)
//   4-19   device id: g_pid's 32 hexadecimal digits as 16 bytes
//   20-23  payload length, u32 big-endian, at most kMaxPayload
//   24-25  CRC-16/ARC of the payload (Utils::calcCRC16), big-endian
//   26     XOR of bytes 0..25 (Utils::BCC)
//
// docs/cloud-4g-wifi.md has the commands the payloads carry.

#include <cstddef>
#include <cstdint>
#include <vector>

class QByteArray;

class protocol_phy_cloud_4g {
public:
    static constexpr int kHeaderSize = 27;
    static constexpr uint8_t kMagic0 = 0x55;
    static constexpr uint8_t kMagic1 = 0xAA;
    static constexpr uint8_t kTypeCommand = 1;
    static constexpr uint8_t kTypeAck = 2;
    static constexpr int kDeviceIdSize = 16;
    // Commands and answers are small; a longer length is a broken stream,
    // never an allocation.
    static constexpr uint32_t kMaxPayload = 16384;

    struct Header {
        uint8_t type = 0;
        uint8_t sequence = 0;
        uint8_t device[kDeviceIdSize] = {};
        uint32_t length = 0;
        uint16_t crc = 0;
    };

    enum class Result {
        NeedMore, // everything given was taken; the frame is not complete yet
        Frame,    // header() and payload() hold a checked frame
        BadMagic,
        BadXor,
        TooLong,
        BadCrc,
    };

    // Takes received bytes from `data` up to the end of one frame and sets
    // *used to the count taken. After Frame the caller feeds the rest of its
    // bytes again. Any other result but NeedMore means the stream can no
    // longer be trusted: the decoder starts afresh, and the caller drops
    // the connection.
    Result data_from_cloud_4g(const uint8_t* data, size_t length, size_t* used);

    // Some bytes of an unfinished frame are held.
    bool inFrame() const { return m_have > 0; }
    void reset();
    const Header& header() const { return m_header; }
    const std::vector<uint8_t>& payload() const { return m_payload; }

    // Checks a 27-byte header: magic, XOR and length limit, in that order.
    static Result parseHeader(const uint8_t* raw, Header* out);
    // A whole frame for `device` (kDeviceIdSize bytes).
    static std::vector<uint8_t> encode(uint8_t type, uint8_t sequence, const uint8_t* device,
                                       const QByteArray& payload);
    // This controller's id as header bytes: the hexadecimal digits of g_pid
    // in pairs; zero bytes while the id is unknown.
    static void deviceId(uint8_t* out);

private:
    uint8_t m_raw[kHeaderSize] = {};
    size_t m_have = 0; // header bytes, then header plus payload bytes
    Header m_header;
    std::vector<uint8_t> m_payload;
};

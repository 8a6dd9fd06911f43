#pragma once
// The PC-control client of bench/pc_client.h, with every fault it meets (no
// reply, a reply that does not match its request) a test failure, and the
// frames a PC sends the receiving cards.

#include <gtest/gtest.h>

#include "bench/pc_client.h"

namespace pc {
inline const bool kFaultsFailTests = (faultReporter() = [](const std::string& fault) { ADD_FAILURE() << fault; }, true);

// ---- frames for the receiving cards (source 0xF010) ----
// Destination = card address, byte 4 = 0x10, family, addressing kind, port
// byte (0-based port + 1, 255 multicast), byte 8 = 0, command, arguments.
inline Bytes card(uint16_t destination, uint8_t family, uint8_t kind, uint8_t portByte, uint8_t command,
                  const Bytes& args)
{
    Bytes b{uint8_t(destination), uint8_t(destination >> 8), uint8_t(kPc), uint8_t(kPc >> 8), 0x10, family, kind,
            portByte, 0, command};
    b.insert(b.end(), args.begin(), args.end());
    b.push_back(xorOf(b, b.size()));
    return b;
}
constexpr uint8_t kMulticast = 0xFF;
inline Bytes cardSearch(uint8_t port)
{
    return card(uint16_t((port & 3) << 12 | 0x0FFE), 0xAA, 0xFF, uint8_t(port + 1), 0x10, {});
}
inline Bytes ramArgs(uint32_t address, uint16_t length)
{
    return {uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16), uint8_t(address >> 24),
            uint8_t(length),  uint8_t(length >> 8),  0,                      0};
}
// Card `index` of port `port` (0-based), RAM write and read.
inline Bytes cardWrite(uint8_t port, uint16_t index, uint32_t address, const Bytes& data)
{
    Bytes args = ramArgs(address, uint16_t(data.size()));
    args.insert(args.end(), data.begin(), data.end());
    return card(index, 0x67, 0x01, uint8_t(port + 1), 0x60, args);
}
inline Bytes cardRead(uint8_t port, uint16_t index, uint32_t address, uint16_t length)
{
    return card(index, 0x67, 0x01, uint8_t(port + 1), 0x61, ramArgs(address, length));
}

// Checks a card's answer to `request`: for the PC, the same family, kind and
// port byte, the command answered, a correct checksum and the source
// `from`. Returns the answer's data (status first), or empty with a failure.
inline Bytes cardAnswer(const Bytes& request, const Bytes& answer, uint16_t from)
{
    if (answer.size() < 12) {
        ADD_FAILURE() << "card answer of " << answer.size() << " bytes";
        return {};
    }
    EXPECT_EQ(answer[0] | answer[1] << 8, kPc);
    EXPECT_EQ(answer[2] | answer[3] << 8, from) << "source";
    EXPECT_EQ(Bytes(answer.begin() + 4, answer.begin() + 10), Bytes(request.begin() + 4, request.begin() + 10));
    EXPECT_EQ(xorOf(answer, answer.size() - 1), answer.back()) << "checksum";
    return Bytes(answer.begin() + 10, answer.end() - 1);
}
// The application opens its links one after another, the UDP ones last: a
// UDP request sent before its port is bound is refused at once. True once
// the link answers a read, trying for at most `ms`.
inline bool answering(Endpoint& link, int ms = 5000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    Bytes reply;
    const Bytes probe = readRam(0, 1);
    while (!(link.send(probe) && link.receive(&reply))) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace pc

#pragma once
// Commands of PC-control frames addressed to the controller itself
// (destination 0xF100 or 0xF101). docs/pc-protocol.md lists them.

#include <cstdint>

class message_deal {
public:
    enum Command : uint8_t {
        CMD_WRITE_RAM = 0x60,
        CMD_READ_RAM = 0x61,
        CMD_WRITE_REGISTER = 0xA0,
        CMD_READ_REGISTER = 0xA1,
        CMD_GET_DEVICE_INFO = 0xC0,
    };
    enum Status : uint8_t {
        STATUS_DONE = 0,
        STATUS_REFUSED = 1,   // out of range, or a target this controller does not serve
        STATUS_MALFORMED = 2, // the request is shorter than its command needs
        STATUS_UNKNOWN = 0xFF,
    };
    // Local registers the PC reaches (r0..r169) and the ones that act.
    static constexpr int kLocalRegCount = 170;
    static constexpr int kRegApply = 11;        // raises the scaler's request (value 2)
    static constexpr int kRegPrint = 161;       // bit 1: full scaler register dump
    static constexpr int kRegDebugFirst = 162;  // 162..165 -> r34, r35 (+1), r36, r33
    static constexpr int kRegDebugLast = 165;
    static constexpr int kRegNetReset = 166;    // network settings back to defaults
    // Address ranges of address class 0.
    static constexpr uint32_t kModeBase = 0x1000;
    static constexpr uint32_t kModeEnd = 0x11000;

    // Handles one decoded frame in place: `body` holds `length` bytes (the
    // checksum included) and has room for `capacity`. The reply keeps bytes
    // 0..9 of the request and puts its data from byte 10. Returns the reply
    // length without checksum, or 0 when there is nothing to answer.
    int message_group_deal(uint8_t* body, int length, int capacity);

    int write_ram(uint8_t* body, int dataLength, int capacity);
    int read_ram(uint8_t* body, int dataLength, int capacity);
    int write_register(uint8_t* body, int dataLength, int capacity);
    int read_register(uint8_t* body, int dataLength, int capacity);
    int get_device_info(uint8_t* body, int dataLength, int capacity);

private:
    static int status(uint8_t* body, uint8_t code);
    // False when there is no scaler manager to ask.
    static bool raiseScalerRequest(uint8_t value);
};

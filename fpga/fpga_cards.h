#pragma once
// The receiving-card frame and the records the card jobs build frames from.
//
// Frame (no start byte, end byte or escapes): 0-1 destination = card
// address (u16 LE: bits 0-11 the card's place on the chain, bits 12-13 the
// port & 3; 0x0FFF every card, 0x0FFE | port bits every card of the port),
// 2-3 source (0xF000 the controller, 0xF010 the PC), 4 = 0x10, 5 family,
// 6 addressing kind, 7 port + 1 (or 0), 8 = 0, 9 command, 10.. arguments,
// last the XOR of every byte before it. Answers have the same layout.

#include <QString>
#include <cstdint>

namespace rcv {

constexpr int kMaxFrame = 1024;          // send and receive RAMs hold 10-bit lengths
constexpr int kHead = 10;                // destination .. command
constexpr int kMinFrame = kHead + 1;     // with the checksum

constexpr uint16_t kController = 0xF000; // the controller's card-side address
constexpr uint16_t kControllerLast = 0xF00F;
constexpr uint16_t kPc = 0xF010;
constexpr uint16_t kCardsEnd = 0xF000;   // card addresses lie below
constexpr uint16_t kEveryCard = 0x0FFF;
constexpr uint16_t kPortCards = 0x0FFE;  // with the port bits: search / broadcast on a port
constexpr uint16_t kSensorCard = 0x4000; // the port's multi-function card

// Byte 5 and the byte 6 that goes with it.
constexpr uint8_t kFamilyCard = 0x67, kKindCard = 0x01;
constexpr uint8_t kFamilyBrightness = 0x66;
constexpr uint8_t kFamilySearch = 0xAA, kKindSearch = 0xFF;
constexpr uint8_t kFamilySensor = 0xBB, kKindSensor = 0x03;
constexpr uint8_t kMulticastPort = 0xFF; // byte 7 of a PC multicast

// Byte 9.
constexpr uint8_t kWriteRam = 0x60, kReadRam = 0x61, kWriteRegister = 0xA0, kSaveToFlash = 0x81,
                  kReconfigure = 0x84, kActivateFirmware = 0xB4, kSearchCards = 0x10;

constexpr uint32_t kPositionAddress = 0x180; // u16 x, u16 y of the card
constexpr uint32_t kSensorAddress = 0x02000000;
constexpr int kSensorBytes = 128;
constexpr int kSensorFrame = 19;

inline uint16_t cardAddress(uint8_t port, uint16_t card) { return uint16_t((card & 0x0FFF) | (port & 3) << 12); }

} // namespace rcv

// The smart-setup layout record (12 bytes on the device), filled by the
// smart-setup screen, read by the card-position job.
struct LINE_TYPE {
    int16_t width = 0;     // card (cabinet) width in pixels
    int16_t height = 0;
    uint16_t x_offset = 0; // added to every position
    uint16_t y_offset = 0;
    uint8_t port = 0;      // output port, 0-based, FPGA 0
    uint8_t rows = 0;
    uint8_t columns = 0;
    uint8_t pattern = 0;   // cabling pattern 1-16
};
static_assert(sizeof(LINE_TYPE) == 12, "line_type is 12 bytes");
extern LINE_TYPE line_type;

// One record of a scan-parameter record file as the card jobs use it,
// named by its byte offset in the device's record; `at28`, `at29` and the
// low byte of `at32` are what the card-reset frame carries.
struct SCAN_PARA {
    uint16_t at0 = 0;
    uint8_t at28 = 0;
    uint8_t at29 = 0;
    uint32_t at32 = 0;
    uint32_t at36 = 0;
    uint32_t at40 = 0;
    uint32_t at44 = 0;
    uint32_t at48 = 0;
    QString name;
};

// The last answer of command 0x61 or 0xA0 addressed to the controller
// (0xF000): answer bytes 10-138. Written by the receive poll under
// fpga_manage::rcv_mutex.
struct RCV_CTRL_ANSWER {
    uint8_t ready = 0;
    uint8_t command = 0;
    uint8_t length = 0; // of data[] actually received
    uint8_t data[129] = {};
};

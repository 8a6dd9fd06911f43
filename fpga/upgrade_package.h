#pragma once
// Firmware-upgrade packages on the USB stick, read without writing anything:
// which packages there are, what each holds, which children apply to this
// controller, and the bytes of a child. The FPGA worker writes the children
// (FPGA flashes, the application, the scaler's font flash); the upgrade
// screen lists the same packages.
//
// A package is a 49-byte header (byte 2 PublishType, u16 ControllerType at
// 18, u16 FileNum at 47), FileNum 21-byte child headers from byte 49 (type,
// u32 length, u32 offset in the package, six version bytes, u32 flash
// address, u16 sector count), then the children. A bitstream child starts
// with a 64-byte header whose u32 at 31 is the bitstream's length; a font
// child names its encoding (byte 5) and height (byte 18) itself. All fields
// little-endian.
//
// The whole child table is placed against the package first: a package in
// which any child, of whatever type, starts inside its headers or ends past
// its end is damaged and passed over whole, with a message, nothing written
// from it. Then each child is checked against the worker's 5 MB transfer
// buffer, a bitstream against the stored parameters after it in the FPGA's
// flash and a font against the font after its area in the scaler's flash;
// a child that fails is passed over with a message, the rest of the package
// still applies.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace upgrade {

constexpr uint32_t kHeaderSize = 49;
constexpr uint32_t kChildHeaderSize = 21;
constexpr uint32_t kBitstreamHeaderSize = 64;
constexpr uint32_t kFontHeadSize = 35;            // what the font writer reads of the child first
constexpr uint32_t kTransferBufferSize = 0x500000; // 5,242,880 bytes: every child must fit
constexpr uint16_t kControllerType = 0x9C52;       // bitstreams and the application are for this controller only
constexpr uint8_t kPublishSkipEqual = 128;         // PublishType: a child equal to what is installed is skipped
// FPGA 0's flash keeps the parameter RAM copy, the on/off table and the
// brightness record from here on; a bitstream must end before it.
constexpr uint32_t kBitstreamLimit = 0x308000;
constexpr int kMaxPackages = 100; // what the upgrade screen can show is what is applied

enum ChildType : uint8_t {
    kFpga0Bitstream = 7,
    kFpga1Bitstream = 8,
    kApplication = 10,
    kOsdFont = 13,
};

// The controller application's own version: year, month, day, hardware,
// software, function.
extern const uint8_t kApplicationVersion[6];

struct PackageHeader {
    uint8_t FileType = 0;
    uint8_t FileVersion = 0;
    uint8_t PublishType = 0;
    uint16_t ControllerType = 0;
    uint16_t FileNum = 0;
};

struct ChildHeader {
    uint8_t file_type = 0;
    uint32_t file_len = 0;
    uint32_t file_offset = 0;
    uint8_t Version[6] = {}; // year, month, day, hardware, software, function
    uint32_t File_Flashaddr = 0;
    uint16_t SecNum = 0;
};

// The 64-byte header in front of a bitstream.
struct BitstreamHeader {
    uint8_t file_type = 0;       // 1 or 2
    uint8_t file_version = 0;
    uint8_t controller_class = 0; // byte 18: 0 sending card, 1 receiving card, 2 multi-function card
    uint8_t controller_class2 = 0; // byte 20
    uint8_t version[4] = {};     // bytes 23-26
    uint32_t length = 0;         // bytes of bitstream after the header
};

// What the worker is to do with a child.
enum class Verdict {
    Write,           // write data_len bytes from data_offset (to flash_addr for a font)
    SameVersion,     // PublishType 128 and the installed version equals it: skipped
    OtherController, // a bitstream or application for another controller type
    FontsComplete,   // the scaler already holds every font (local register 43)
    NoFontArea,      // a font of an encoding and height that has no area in the flash
    Ignored,         // a child type the controller does not upgrade
    Malformed,       // it does not fit the package, the transfer buffer or its flash area: passed over
};

struct Child {
    int index = 0;
    ChildHeader header;
    Verdict verdict = Verdict::Ignored;
    QString message;          // why it is not written
    uint32_t data_offset = 0; // in the package: the bitstream after its header, the whole application or font
    uint32_t data_len = 0;
    uint32_t flash_addr = 0;  // font area; 0 for a bitstream
    BitstreamHeader bitstream; // types 7 and 8
    uint8_t font_encoding = 0; // type 13
    uint8_t font_height = 0;
};

struct Package {
    QString path;               // system path
    PackageHeader header;
    std::vector<Child> children; // those whose header could be read, in package order
    QString message;            // why the package could not be read
};

// What is installed, as the worker reads it before applying a package.
struct Installed {
    // Registers 28 (function), 29 (day, BCD), 30 (month, BCD), 31 (year, BCD)
    // of FPGA 0 and FPGA 1, as fpga_reg[fpga][reg - 28].
    uint8_t fpga_reg[2][4] = {};
    // Local register 43: its low six bits set when the scaler holds every font.
    uint8_t local_reg43 = 0;
};

enum : int {
    kReadOk = 0,
    kReadMissing = 1,   // cannot be opened or read
    kReadMalformed = 2, // shorter than what its header says
};

// Reads the header and every child header of the package at the system
// path `path` (under Utils::_file_deal_mutex) and decides each child.
// kReadOk also when some children are Malformed; kReadMissing or
// kReadMalformed (header short, child headers that would lie past the end,
// or a child placed inside the headers or past the end) leave no children
// and a message: the package is passed over whole.
int read_package(const QString& path, const Installed& installed, Package* out);

// n bytes at `offset` of the package into `buf`: kReadOk, kReadMissing or
// kReadMalformed when the range leaves the package. Takes
// Utils::_file_deal_mutex for the open-read-close.
int read_package_data(const QString& path, uint32_t offset, uint8_t* buf, uint32_t n);

// The upgrade directory for the configured usbupgradedir ("/mnt/usb1/"
// itself when the setting is a single blank).
QString package_dir(const QString& usb_grade_path);

// The packages of that directory, as system paths: regular files (no
// symbolic links, no hidden files) whose suffix is exactly "VYX" or "VYXZK",
// sorted by name ignoring case, at most kMaxPackages. The worker applies and
// the upgrade screen shows exactly this list.
QStringList list_packages(const QString& usb_grade_path);

// BCD register value as a number (0x26 -> 26).
inline uint8_t bcd(uint8_t v) { return uint8_t((v >> 4) * 10 + (v & 0x0F)); }

} // namespace upgrade

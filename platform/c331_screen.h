#pragma once
// What the scaler chip puts on the LED screen, read back from its register
// file: per output channel the raster and the window tile it carries, per
// mixer the channels it stacks onto one canvas cell, and from those the
// windows as the screen shows them. Used by the simulated chip to draw the
// screen and by tests to compare the composition with the layout asked for.
//
// The chip knows channels and mixers, not the LED screen: where each cell of
// the canvas sits on the screen is the record the scaler publishes for the
// FPGA side (LED size, picture offset, channel grid and channel size), read
// from the parameter image.
//
// Registers read (per output channel k, bank offset 16 k; per mixer m, bank
// offset 16 (m - 1)):
//   0x080A02 / 0x080C02   raster totals - 2
//   0x082802..0x082E02    active area start / end, horizontal and vertical
//   0x084002..0x084602    the tile: start (active start added), width, height
//   0x080802              read source: bit 12 clear = the window's first
//                         channel, bits 8-11 its input channel (15 none);
//                         bit 12 set = follows the first channel in bits 8-11
//   0x084801              background shown instead of the picture
//   0x082201              horizontal mirror
//   0x0E0904              mixer m: channels 8 + k per nibble, back to front
//   0x0A4902 / 0x0A4E02   horizontal / vertical zoom step (0 none)
//   0x160804 / 0x163001   first frame-memory read address, read pitch
//   0x006901 + 0x100 k    memory format of the channel's window
// and of the input channel c a window reads (bank offset 16 c):
//   0x001001 + 0x100 c    port select (bank offset 0): 2 p for parallel port
//                         p, 8.. for V-by-One port 4, 12.. for port 5
//   0x101902 / 0x101D02   captured width / height of the port's picture
//   0x030801 + 0x900 (c/2)  3: the pair splits a line, whose whole width is
//                         then 0x030B02 + 0x900 (c/2); the second half goes
//                         through channel c + 1 (its own capture width,
//                         shrink step and write address, bank offset
//                         16 (c + 1))
//   0x165B01              1: deinterlaced (the picture has twice the lines)
//   0x114702 / 0x114C02   horizontal / vertical shrink step (0 none)
//   0x161C04              first frame-memory write address

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace c331screen {

constexpr int kBanks = 256;
constexpr int kBankBytes = 128;
constexpr int kRegisterFileBytes = kBanks * kBankBytes;
constexpr int kChannels = 8;
// The video input (0..3, as "<root>/sim/sources" numbers them) each input
// port is wired to on the board; -1 none.
constexpr int kPortInput[6] = {2, 1, 0, -1, -1, 3};

// A register file, 256 banks of 128 bytes, read by register code 0xBBAANN.
class RegisterFile {
public:
    explicit RegisterFile(const uint8_t* bytes) : m_bytes(bytes) {}
    uint32_t value(uint32_t code, int bankOffset = 0) const;

private:
    const uint8_t* m_bytes;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    Rect intersected(const Rect& o) const;
    Rect united(const Rect& o) const; // bounding box; an empty side is ignored
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
    bool operator!=(const Rect& o) const { return !(*this == o); }
    bool operator<(const Rect& o) const;
};

// Where the canvas cells sit on the LED screen.
struct ScreenLayout {
    int ledWidth = 0, ledHeight = 0;
    int offsetX = 0, offsetY = 0; // the LED screen's origin on the canvas
    int across = 0, down = 0;     // cells of the published channel grid
    int cellWidth = 0, cellHeight = 0;
    bool valid() const { return ledWidth > 0 && ledHeight > 0 && across > 0 && down > 0 && cellWidth > 0 && cellHeight > 0; }
    // From the published panel record: the 20 bytes of the parameter image
    // from the splice mode on (image bytes 1376..1395: splice, LED width and
    // height, offset x and y, channels across and down, channel width and
    // height, bandwidth class; little-endian words).
    static constexpr int kPublishedBytes = 20;
    static ScreenLayout fromPublished(const uint8_t* record);
};

// A channel's test-pattern generator: registers 0x085701 (what it draws; 0
// off), 0x086301 / 0x086401 / 0x086501 (red, green and blue levels) and
// 0x085F02 / 0x086102 (horizontal and vertical steps), per channel k at
// bank offset 16 k. It draws over the window's picture.
struct TestPattern {
    enum Kind { Off = 0, ColourBars = 1, Solid = 4, VerticalLines = 0x0E, HorizontalLines = 0x0F };
    int kind = Off;
    uint32_t rgb = 0; // 0xRRGGBB
    int hstep = 0, vstep = 0;
    bool on() const { return kind != Off; }
    bool operator==(const TestPattern& o) const
    {
        return kind == o.kind && rgb == o.rgb && hstep == o.hstep && vstep == o.vstep;
    }
    // "solid ff0000", "colour bars", "vertical lines", "horizontal lines",
    // "kind 5".
    std::string describe() const;
};

struct OutputChannel {
    int htotal = 0, vtotal = 0; // raster totals
    Rect active;                // active area inside the raster
    Rect tile;                  // the window tile, relative to the active area
    int mixer = 0;              // 1..8, 0 none
    int depth = -1;             // position in the mixer, 0 = back
    bool follower = false;      // follows another channel of its window
    int readFrom = -1;          // input channel (head) or first channel (follower); -1 none
    bool background = false;
    bool hmirror = false;
    bool shown = false;         // carries pixels onto a mixer
    TestPattern pattern;
};

struct Window {
    int head = -1;               // first output channel
    std::vector<int> channels;   // head first
    Rect screen;                 // on the LED screen: the tiles' bounding box, clipped to the screen
    std::vector<Rect> tiles;     // per channel, on the LED screen, clipped
    int inputChannel = -1;       // input channel whose frame memory it shows
    int layer = 0;               // stacking rank, 0 = back
    bool background = false;     // shows its background (black, no signal)
    bool hmirror = false;
    // Read back by the input side (port select and capture registers of the
    // input channel); -1 / no crop until decoded.
    int port = -1;
    bool cropped = false;
    Rect crop;
    // The port's picture as captured ({0, 0, width, height}) and the part of
    // it the window shows, in the picture's pixels and lines; empty without
    // an input channel. The part is exact while the window is not shrunk
    // (shown 1:1 or zoomed); a shrunk window's part is the nearest the
    // shrink steps allow, the whole picture whenever that fits them.
    Rect source;
    Rect shown;
    bool scaled = false; // shrunk or zoomed on the way (false: shown 1:1)
    // The port's line captured in two halves, each written by its own path
    // into the window's frame memory; overlapping when the second half's
    // line starts inside the first half's (its right half then overwrites
    // part of the left one).
    bool split = false;
    bool halvesOverlap = false;
    // The first channel's test pattern, drawn instead of the picture.
    TestPattern pattern;
};

struct Composition {
    ScreenLayout layout;
    std::array<OutputChannel, kChannels> channels;
    std::array<std::vector<int>, kChannels> mixers; // channels, back to front
    std::vector<Window> windows;                    // visible ones, back to front
    // False when the mixers stack two windows in opposite orders.
    bool layersConsistent = true;
    // +1 when window a is drawn in front of b on some cell, -1 behind, 0 when
    // they share no cell.
    int stacking(size_t a, size_t b) const;
    // One line per window, then the channels in use.
    std::string describe() const;
};

Composition decode(const RegisterFile& regs, const ScreenLayout& layout);

// Something drawn over the composed screen (the OSD), in LED coordinates.
struct Overlay {
    Rect rect;
    std::string label;
    uint32_t rgb = 0xFFFFFF;
    // Painted first with this colour (0xRRGGBB) when filled.
    bool filled = false;
    uint32_t fill = 0;
    // Lines of text at their places, each as high as its rectangle; drawn
    // instead of the label when there are any.
    struct Line {
        Rect rect;
        std::string text;
    };
    std::vector<Line> lines;
};

// What the OSD port of one output channel shows: where on the LED screen,
// and which part of the OSD memory (registers 0x090802 control, 0x091202 /
// 0x091602 window start after the active start less 4 / plus 1, 0x091402 /
// 0x091802 its size, 0x091A04 the memory it reads, 0x091E01 the line pitch
// in 128-byte units, four times that with control bit 13; per channel k,
// bank offset 16 k).
struct OsdPortView {
    int channel = 0;
    Rect screen;          // on the LED screen, clipped to it
    Rect window;          // on the LED screen as programmed (may reach past it)
    uint32_t source = 0;  // memory of the window's top-left
    uint32_t pitch = 0;   // bytes between memory lines
    bool hzoom = false, vzoom = false;
    bool bitmap = false;  // a bitmap rather than text
    bool below = false;   // under the picture rather than over it
};
std::vector<OsdPortView> decodeOsdPorts(const RegisterFile& regs, const Composition& screen);

// Overlays the register file describes: the OSD window (its text lives in
// the chip's OSD memory, which only the chip model can read back).
std::vector<Overlay> decodeOverlays(const RegisterFile& regs, const ScreenLayout& layout);

// Draws the screen: the LED area, the channel cells with their borders and
// numbers, every window as a labelled rectangle back to front, then the
// overlays. PNG; false when it could not be written.
bool writePicture(const std::string& path, const Composition& screen, const std::vector<Overlay>& overlays);

} // namespace c331screen
} // namespace platform

// The scaler's fixed tables.
#include "scaler/c331_tables.h"

namespace c331tables {

const SystemParams kSystemParams = {
    {32000000, 800000000, 27000000, 27000000},
    1920, 2160, 2200, 2250, // active size and totals of one output port
    88, 88, 10, 72,         // sync widths and back porches
    0, 0,                   // V-by-One transmitter mode and layout: four ports side by side
    {0, 137, 0, 1, 22},
    {137, 0, 2, 24},
    {0, 0x2000, 0x4000, 0x6000, 0x8000, 0x8000 + 7680, 0xA000, 0xA000 + 7680},
    {0, 0x08800000, 0x11000000, 0x19800000},
    0x70000000, // flash controller's memory area
    0x725C0000, 0x74B80000, // OSD
    0x7F000000, // OSD fonts
};

// Bring-up values that no chip document fixes, chosen once here.
const BringupChoices kBringupChoices = {
    // dbd_clip 0: a dot-by-dot window shows its picture 1:1, cut to the smaller of input and window.
    {0, 0, 0, 0, 0, 0},
    // PS_MEM_WMODE 0: four bytes a pixel, the memory mode every line-size rule handles unpacked.
    {0, 0, 0, 0, 0, 0},
    // The fifth field buffer continues the 0x08800000 stride of the four given ones.
    0x22000000,
    // Field-buffer numbers in the order bring-up gives the buffer-index word (0x166603 = 0x43210).
    {0, 1, 2, 3, 4},
    // Dot-by-dot blocks sit in each field area just past the eight channel planes (which end below 0x10000).
    {0x00010000, 0x08810000, 0x11010000, 0x19810000, 0x22010000},
    // A dot-by-dot block is one channel plane (the planes are 0x2000 apart).
    0x2000,
    // Normal line pitch: the value bring-up writes to every channel's 0x163101.
    64,
    // Noise reduction, comb, diagonal and motion filters off until a setting asks for them.
    0,
    // Deinterlacer on: an interlaced source is shown progressive.
    1,
    // Pull-down detection off: cadence detection is only meant for film sources.
    0,
    // Deinterlacer field memory past the fifth field buffers, below the OSD and font areas.
    0x2A800000,
    0x00200000,
    0x00080000,
    0x00100000,
    0,
    0,
    // Printed by the parameter dump only: the lane counts they are named after.
    {2, 4, 8},
    // A window captures its port's whole active area from its first pixel and line.
    0,
};

namespace {

constexpr InitWrite W(uint32_t code, uint32_t value, Val from = Val::Lit, int bankOffset = 0, uint8_t run = 1)
{
    return InitWrite{code, value, from, bankOffset, run};
}
constexpr InitWrite Run(uint32_t code, uint8_t run, uint32_t value) { return W(code, value, Val::Lit, 0, run); }
constexpr InitWrite Pause(uint32_t us) { return W(0, us, Val::Pause); }

// 1: the clock generator, then 20 ms for it to settle.
constexpr InitWrite kClockStart[] = {
    W(0xFF0001, 8), W(0xFF0101, 0), W(0xFF0201, 200), W(0xFF0301, 0), W(0xFF0401, 0x61), W(0xFF0503, 1),
    Pause(20000),
};

// 2: bank 0: channel modes, selects, lanes, clock dividers, coefficient loader.
constexpr InitWrite kBank0[] = {
    Run(0x000801, 8, 0x11),
    W(0x001001, 0), W(0x001101, 2), W(0x001201, 4), W(0x001301, 6),
    W(0x001401, 8), W(0x001501, 10), W(0x001601, 12), W(0x001701, 14),
    W(0x001802, 0),
    Run(0x001A01, 4, 4),
    W(0x001E02, 0x404), W(0x002002, 0x404),
    W(0x003801, 0), W(0x003902, 0x202),
    Run(0x002201, 6, 0),
    W(0x004601, 0),
    W(0x004701, 0, Val::ClkDiv1), W(0x004801, 1, Val::ClkDiv1), W(0x004901, 2, Val::ClkDiv1),
    W(0x004A01, 3, Val::ClkDiv1), W(0x004B01, 4, Val::ClkDiv1),
    Run(0x004C01, 5, 0),
    W(0x005101, 0, Val::ClkDiv2), W(0x005201, 1, Val::ClkDiv2), W(0x005301, 2, Val::ClkDiv2),
    W(0x005401, 3, Val::ClkDiv2),
    W(0x005502, 0),
    Run(0x005901, 8, 0x11),
    Run(0x006101, 8, 0x18),
    Run(0x006901, 16, 0),
    W(0x007901, 0x2E),
    W(0x007A01, 0x80), W(0x007A01, 0x81), W(0x007A01, 0x84), W(0x007A01, 0x85),
    W(0x007A01, 0x88), W(0x007A01, 0x89), W(0x007A01, 0x8C), W(0x007A01, 0x8D),
    W(0x007A01, 0x90), W(0x007A01, 0x91), W(0x007A01, 0x94), W(0x007A01, 0x95),
    W(0x007A01, 0x98), W(0x007A01, 0x99), W(0x007A01, 0x9C), W(0x007A01, 0x9D),
};

// 3: bank 3: input pairs and output sync widths.
constexpr InitWrite kBank3[] = {
    W(0x030801, 0), W(0x030902, 0), W(0x030B02, 0), W(0x031101, 0), W(0x031202, 0), W(0x031402, 0),
    W(0x031A01, 0), W(0x031B02, 0xC0), W(0x031D02, 0xF00), W(0x032301, 0), W(0x032402, 0xC0),
    W(0x032602, 0xF00), W(0x032C02, 0), W(0x032F02, 0), W(0x033602, 0), W(0x033902, 0),
    W(0x034201, 9), W(0x034401, 0, Val::HswHalfM1), W(0x034501, 0, Val::VswM1),
    W(0x034301, 9), W(0x034C01, 0, Val::HswHalfM1), W(0x034D01, 0, Val::VswM1),
    W(0x057E02, 0x40),
};

// 4: transmitter port layout by mode.
constexpr InitWrite kPortsMode1[] = {
    W(0x032C02, 0), W(0x032F02, 0), W(0x033602, 0), W(0x033902, 0), W(0x034602, 0), W(0x034E02, 0),
    W(0x035504, 0x76543210), W(0x035E04, 0x76543210), W(0x036204, 0x76543210),
};
constexpr InitWrite kPortsMode2[] = {
    W(0x032C02, 0), W(0x032F02, 0), W(0x033602, 0), W(0x033902, 0), W(0x034602, 0), W(0x034E02, 0),
    W(0x035504, 0x10000), W(0x035E04, 0x76543210), W(0x036204, 0x76543210),
};
constexpr InitWrite kPortsOther[] = {
    W(0x032C02, 5), W(0x032F02, 0x780), W(0x033602, 5), W(0x033902, 0x780), W(0x034602, 1), W(0x034E02, 1),
    W(0x035504, 0x73625140), W(0x035E04, 0x73625140), W(0x036204, 0x73625140),
};

// 5: flash controller memory area, sync polarities.
constexpr InitWrite kFlashArea[] = {
    W(0x042B02, 0, Val::SflWord), W(0x063804, 0x07070707), W(0x063C04, 0x33333333),
};

// 6: read source of each output channel.
constexpr InitWrite kReadSource[] = {
    W(0x080802, 0x201, Val::Lit, 0), W(0x080802, 0x1211, Val::Lit, 16), W(0x080802, 0x1211, Val::Lit, 32),
    W(0x080802, 0x1211, Val::Lit, 48), W(0x080802, 0x11, Val::Lit, 64), W(0x080802, 0x11, Val::Lit, 80),
    W(0x080802, 0x11, Val::Lit, 96), W(0x080802, 0x11, Val::Lit, 112),
};

// 7: mixers: one channel each.
constexpr InitWrite kMixers[] = {
    W(0x0E0801, 10, Val::Lit, 0), W(0x0E0904, 8, Val::Lit, 0), W(0x0E0D02, 0x55, Val::Lit, 0),
    W(0x0E0801, 10, Val::Lit, 16), W(0x0E0904, 9, Val::Lit, 16), W(0x0E0D02, 0x55, Val::Lit, 16),
    W(0x0E0801, 10, Val::Lit, 32), W(0x0E0904, 10, Val::Lit, 32), W(0x0E0D02, 0x55, Val::Lit, 32),
    W(0x0E0801, 10, Val::Lit, 48), W(0x0E0904, 11, Val::Lit, 48), W(0x0E0D02, 0x55, Val::Lit, 48),
    W(0x0E0801, 1, Val::Lit, 64), W(0x0E0904, 12, Val::Lit, 64), W(0x0E0D02, 0x55, Val::Lit, 64),
    W(0x0E0801, 1, Val::Lit, 80), W(0x0E0904, 13, Val::Lit, 80), W(0x0E0D02, 0x55, Val::Lit, 80),
    W(0x0E0801, 1, Val::Lit, 96), W(0x0E0904, 14, Val::Lit, 96), W(0x0E0D02, 0x55, Val::Lit, 96),
    W(0x0E0801, 1, Val::Lit, 112), W(0x0E0904, 15, Val::Lit, 112), W(0x0E0D02, 0x55, Val::Lit, 112),
};
constexpr InitWrite kMixerTail[] = {W(0x0E1701, 0x80)};

// 8: capture control of the input channels.
constexpr InitWrite kCapture[] = {
    W(0x100901, 1), W(0x200901, 1), W(0x300901, 1), W(0x400901, 1),
    W(0x500901, 1), W(0x600901, 0x0C), W(0x700901, 1), W(0x800901, 0x0E),
};

// 9: frame-buffer ring and read pointers, per input channel.
constexpr InitWrite kBuffers[] = {
    W(0x166501, 1), W(0x166603, 0x43210), W(0x166B01, 0), W(0x166C02, 0x2103),
};

// 10: output timing, zoom, colour conversion and capture defaults, per channel.
constexpr InitWrite kChannel[] = {
    W(0x080A02, 0, Val::HtotalM2), W(0x080C02, 0, Val::VtotalM2), W(0x081D02, 0x40),
    W(0x082802, 0, Val::OaoiHst), W(0x082A02, 0, Val::OaoiHed), W(0x082C02, 0, Val::OaoiVst),
    W(0x082E02, 0, Val::OaoiVed),
    W(0x083002, 0, Val::OaoiHst), W(0x083202, 0, Val::OaoiHed), W(0x083402, 0, Val::OaoiVst),
    W(0x083602, 0, Val::OaoiVed),
    W(0x084002, 0, Val::ActHst), W(0x084202, 0), W(0x084402, 0, Val::ActVst), W(0x084602, 0, Val::ActVwP1),
    W(0x090A02, 0xFF), W(0x090C02, 0xFF), W(0x090E02, 0xFF), W(0x091002, 0xFF),
    W(0x0A4401, 0), W(0x0A4601, 0), W(0x0A4701, 0), W(0x0A4801, 0), W(0x0A4902, 0),
    W(0x0A4B01, 0), W(0x0A4C01, 0), W(0x0A4D01, 0), W(0x0A4E02, 0),
    W(0x0B5E01, 1),
    W(0x0C4801, 0), W(0x0C4902, 0x3265), W(0x0C4B02, 0x2000), W(0x0C4D02, 0), W(0x0C4F02, 0xF105),
    W(0x0C5102, 0x2000), W(0x0C5302, 0xFA02), W(0x0C5502, 0), W(0x0C5702, 0x2000), W(0x0C5902, 0x3B61),
    W(0x101001, 0x80), W(0x101101, 0x80), W(0x102801, 0x88),
    W(0x102902, 0), W(0x102B02, 0), W(0x102D02, 0),
    W(0x102F02, 0x200), W(0x103102, 0x200), W(0x103302, 0x200),
    W(0x103502, 0x4000), W(0x103702, 0xC5DD), W(0x103902, 0xFA23), W(0x103B02, 0x1B36),
    W(0x103D02, 0x5B8C), W(0x103F02, 0x093E), W(0x104102, 0xF155), W(0x104302, 0xCEAB),
    W(0x104502, 0x4000), W(0x104701, 0), W(0x104801, 4), W(0x104901, 8),
    Run(0x114201, 5, 0), W(0x114702, 0), Run(0x114901, 3, 0), W(0x114C02, 0),
};

// 11, 12: field-buffer bases and line pitches of the input channels.
constexpr InitWrite kFieldBases[] = {
    W(0x161C04, 0, Val::FieldBase), W(0x162004, 1, Val::FieldBase),
    W(0x162404, 2, Val::FieldBase), W(0x162804, 3, Val::FieldBase),
};
constexpr InitWrite kPitches[] = {W(0x163001, 64), W(0x163101, 64)};

// 13: deinterlacers of input channels 0..3.
constexpr InitWrite kDeinterlace[] = {
    W(0x140D02, 0x10), W(0x141601, 1), W(0x141701, 1), W(0x141801, 2), W(0x141901, 8),
    W(0x142201, 0), W(0x142301, 0x11), W(0x175801, 35), W(0x175B04, 0, Val::ByChannel),
};

// 14: the transmitter's clock and drive settings.
constexpr InitWrite kTransmitter[] = {
    W(0xFF0201, 0), W(0xFF0401, 0), W(0x012601, 0),
    Pause(1000),
    W(0x010801, 0x30), W(0x010904, 0x22222222), W(0x010D04, 0x66663445), W(0x011104, 0x22222222),
    Run(0x011501, 4, 0x77), W(0x011901, 7), W(0x011A01, 0x3F), W(0x011B01, 0x3F), W(0x011C01, 0),
    W(0x011D01, 0x10), W(0x011E01, 0x10), W(0x011F01, 0x0E), W(0x012001, 0x0E), W(0x012101, 0x30),
    W(0x012201, 0x30), W(0x012301, 0x4F), W(0x012401, 0x4F), W(0x012501, 9), W(0x012601, 0x0F),
    W(0x012701, 0x11), W(0x012801, 1), W(0x012904, 0x88888888),
    Run(0x012D01, 8, 0x77), W(0x013501, 7), W(0x013601, 0x67), W(0x013701, 0x65), W(0x013801, 0x62),
    W(0x013901, 0x60), W(0x013A01, 0x6A), W(0x013B01, 0x67), W(0x013C01, 100), W(0x013D01, 0x61),
    W(0x013E01, 0x6C), W(0x013F01, 8),
    Run(0x014003, 8, 0x924924), Run(0x015803, 8, 0x6DB6DB), W(0x017004, 0x33333333),
    W(0xFF0201, 0x88), W(0xFF0201, 200), W(0xFF0401, 0x61),
};

// 15: the V-by-One receivers and the output-rate class.
constexpr InitWrite kReceivers[] = {
    W(0x027F01, 0x0E), W(0x027F01, 0x0F), W(0x024001, 5), W(0x024F01, 0x80), W(0x024C01, 0xA3),
    W(0x027F01, 0x0D), W(0x027F01, 0x0F), W(0x025C01, 5), W(0x026B01, 0x80), W(0x026801, 0xA3),
    W(0x027F01, 0x0B), W(0x027F01, 0x0F),
    W(0x021C01, 0), W(0x020A02, 0x11), W(0x021001, 0xFF), W(0x021301, 0x11), W(0x021801, 0, Val::ClassByte),
    W(0x021C01, 1), W(0x020801, 0, Val::FiveIfMode1), W(0x020A02, 0x8011),
    W(0x027F01, 7), W(0x027F01, 0x0F),
    W(0x023401, 0), W(0x027A02, 0x11), W(0x022801, 0xFF), W(0x022B01, 0x11), W(0x027801, 0, Val::ClassByte),
    W(0x023401, 1), W(0x027801, 0, Val::FiveIfMode1), W(0x027A02, 0x8011),
};

template <size_t N>
constexpr InitGroup G(const InitWrite (&w)[N], int channels = 1, bool clocksOnly = false, int8_t mode = AnyMode)
{
    return InitGroup{w, N, channels, clocksOnly, mode};
}

} // namespace

const uint32_t kByChannel[][8] = {
    {0x65CEA000, 0x67BA2800, 0x69A5B000, 0x6B913800}, // deinterlacer memory of input channels 0..3
};

const InitGroup kInitialSettings[] = {
    G(kClockStart, 1, true),
    G(kBank0),
    G(kBank3),
    G(kPortsMode1, 1, false, 1),
    G(kPortsMode2, 1, false, 2),
    G(kPortsOther, 1, false, OtherModes),
    G(kFlashArea),
    G(kReadSource),
    G(kMixers),
    G(kMixerTail, 4),
    G(kCapture),
    G(kBuffers, 8),
    G(kChannel, 8),
    G(kFieldBases, 8),
    G(kPitches, 8),
    G(kDeinterlace, 4),
    G(kTransmitter, 1, true),
    G(kReceivers, 1, true),
};
const size_t kInitialSettingsCount = sizeof kInitialSettings / sizeof kInitialSettings[0];

const uint8_t kRtct[5][7] = {
    {0, 0, 0, 0, 0, 0, 0},
    {0x99, 0x99, 0x21, 0x43, 0x55, 0x77, 0x99}, // normal
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, // hold all
    {0xFF, 0xFF, 0x21, 0x43, 0x55, 0x77, 0xFF},
    {0x99, 0x99, 0xFF, 0xFF, 0xFF, 0xFF, 0x99},
};

const int32_t parameters_txt[kParametersWords] = {
    // PM_WIN_SHAPE
    2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    // PM_INPUT
    4, 5, 1, 2, 3, 0,
    // PM_WIN_OFFSET
    100, 100, 100, 100, 0, 0, 0, 0, 0, 0, 540, 0, 0, 0, 1080, 0, 0, 0, 1080, 0, 0, 0, 540, 0,
    // PM_INPUT_OFFSET
    100, 100, 200, 200, 0, 0, 0, 0, 400, 0, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // PM_INPUT_OFFSET_EN
    1, 0, 0, 0, 0, 0,
    // PM_WIN_NUM, PM_AREA_NUM, PM_OVERLAY
    0, 0, 1, 1, 2, 3, 4, 5,
    0, 1, 0, 1, 0, 0, 0, 0,
    0, 0, 0, 0, 1, 2, 3, 4,
    // PM_OVERLAY_PRI
    1, 0, 2, 3, 4, 5,
    // two per-window switches
    0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 0,
    // PM_WIN_FADE_EN, PM_WIN_FADE_IN, PM_WIN_FADE_OUT
    0, 1, 1, 1, 0, 1,
    60, 60, 60, 60, 60, 60,
    60, 60, 60, 60, 60, 60,
    // two further per-window words
    0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0,
    // PM_OSD_EN, PM_OSD_HZOOM_EN, PM_OSD_VZOOM_EN, PM_OSD_DATA_MODE, PM_OSD_SCROLL_MODE
    0, 0, 0, 1, 2,
    // PM_OSD_OUTPUT_OFFSET, PM_OSD_INPUT_OFFSET
    0, 0, 0, 0, 0, 0, 0, 0,
    // two OSD control words, PM_OSD_UPDATE_BUTTON
    1, 0, 0,
};

} // namespace c331tables

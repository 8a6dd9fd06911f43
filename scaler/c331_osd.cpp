// OSD: the chip's serial flash (erase, program, read, DMA into chip memory),
// the OSD fonts kept in it, and the OSD layer drawn over the outputs.
//
// The PC thread, the FPGA worker's upgrade and the manager thread all use
// the one flash controller: every flash operation holds flash_mutex for its
// whole length (after para_mutex, before the chip's bank and SPI locks). The
// 2D and character engines share the controller's registers (the DMA's
// destination is the engines' destination register), so drawing the OSD
// holds it too.
//
// Every wait on the chip is bounded: a flash, engine or frame that never
// gets idle ends the operation with a message instead of holding its thread
// for ever.
#include "scaler/c331_manage.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "scaler/c331_tables.h"

using FlashLock = std::lock_guard<std::recursive_mutex>;

namespace {
// ---- flash controller (bank 0x04; its pins in bank 0x05) ----
constexpr uint32_t kPinSetup[][2] = {{0x054203, 0x55}, {0x053C02, 0x300}, {0x053E02, 0x300}, {0x054502, 0x3FF}};
constexpr uint32_t kSflMode = 0x044701;
constexpr uint32_t kSflTrigger = 0x044801;
constexpr uint32_t kSflProgramOp = 0x044901;
constexpr uint32_t kSflReadOp = 0x044A01;
constexpr uint32_t kSflEraseOp = 0x044B01;
constexpr uint32_t kSflWrenOp = 0x044C01;
constexpr uint32_t kSflRdsrOp = 0x044D01;
constexpr uint32_t kSflAddr = 0x044E04;
constexpr uint32_t kSflData = 0x045201;
constexpr uint32_t kSflDataCtl = 0x045301; // B4_SFLDTCTL
constexpr uint32_t kSflStat = 0x045401;    // B4_SFLSTAT
constexpr uint32_t kSflRdsr = 0x045501;    // B4_SFLRDSR
constexpr uint32_t kSflDmaLen = 0x045604;
constexpr uint32_t kSflDmaTarget = 0x045A01;
constexpr uint32_t kSflAccess = 0x045F01;
constexpr uint32_t kSflClear = 0x046001;

constexpr uint8_t kModeReset = 0x80, kModeProgram = 0x31, kModeErase = 0x01, kModeDma = 0x33, kModeDmaTarget1 = 0x37;
constexpr uint8_t kTrigIdle = 0, kTrigStart = 2, kTrigErase = 4, kTrigAux = 5;
constexpr uint8_t kOpProgram = 0x12, kOpRead = 0x0C, kOpWrdi = 0x04, kOpDmaAux = 0xC7, kOpWren = 0x06, kOpRdsr = 0x05;
constexpr uint8_t kAccessRegister = 1, kAccessDma = 2;
constexpr uint8_t kWempty = 0x20, kReadPending = 0x80;    // B4_SFLDTCTL
constexpr uint8_t kDmaBusy = 0x01, kWbusy = 0x02, kEbusy = 0x08; // B4_SFLSTAT
constexpr uint8_t kWip = 0x01, kWel = 0x02;               // B4_SFLRDSR
constexpr uint32_t kPage = 256;

// ---- 2D and character engines (bank 0x04) ----
constexpr uint32_t kEngStart = 0x040801; // 1 fill, 2 copy, 3 characters
constexpr uint8_t kJobFill = 1, kJobCopy = 2, kJobChars = 3;
constexpr uint32_t kEngFill = 0x040B02;
constexpr uint32_t kEngSrc = 0x040D04;
constexpr uint32_t kEngDst = 0x041104;
constexpr uint32_t kEngBusy = 0x041701;
constexpr uint32_t kEngDstPitch = 0x041B01;
constexpr uint32_t kEngSrcPitch = 0x041C01;
constexpr uint32_t kEngWidth = 0x041E02;
constexpr uint32_t kEngHeight = 0x042002;
constexpr uint32_t kEngLayout = 0x042201;
constexpr uint32_t kChrCount = 0x042401;
constexpr uint32_t kChrClear[] = {0x042301, 0x042501, 0x042601};
constexpr uint32_t kChrFrame = 0x042702;
constexpr uint32_t kChrCommand = 0x042901;
constexpr uint32_t kChrFont = 0x042A01;
constexpr uint32_t kCommandFrame = 2560;
constexpr uint8_t kFont64 = 72, kFont32 = 8;

// DMA destination register of each target.
constexpr uint32_t kDmaDest0 = kEngDst;  // chip memory address
constexpr uint32_t kDmaDest1 = kChrFrame; // 16-bit destination
constexpr uint32_t kDmaDest4 = 0x091F01;  // palette entry

// ---- OSD ports, one per output channel (bank offset 16 per channel) ----
constexpr uint32_t kOsdCtrl = 0x090802;
constexpr uint32_t kOsdHst = 0x091202, kOsdHw = 0x091402, kOsdVst = 0x091602, kOsdVw = 0x091802;
constexpr uint32_t kOsdSrc = 0x091A04, kOsdMwi = 0x091E01;
constexpr uint32_t kPalIndex = 0x091F01, kPalData = 0x092001;
constexpr uint32_t kScrollCtrl = 0x093C01, kScrollSpeed = 0x093D01, kScrollW = 0x094002, kScrollH = 0x094202;
constexpr uint32_t kBroadcast = 0xFF0101;
constexpr uint8_t kPalBackground = 1, kPalCharacter = 2, kPalTransparent = 255;

// ---- output vertical sync of channel 0 ----
constexpr uint32_t kVsyncSelect = 0x050901, kVsyncHold = 0x002901, kVsyncSeen = 0x052E01;

// ---- how long each wait may take ----
// The first polls follow each other at once (a page program is done in
// well under a millisecond); after these each poll pauses.
constexpr unsigned kFastPolls = 32;
struct Limit {
    unsigned polls;
    unsigned pauseUs;
};
constexpr Limit kEraseBusy{5000, 1000};  // a 64 KB erase takes up to 2 s
constexpr Limit kEraseWip{1000, 1000};
constexpr Limit kWrdi{1000, 1000};
constexpr Limit kProgram{10000, 100};    // a page: a few milliseconds at most
constexpr Limit kReadReady{10000, 100};
constexpr Limit kDma{10000, 1000};       // the 10 MB font: several seconds
constexpr Limit kEngine{2000, 1000};
constexpr Limit kFrame{100, 1000};       // two frames at the slowest output rate

constexpr const char* kFlashAdvice = " Please check the circumestance of Serial Flash.";

// The OSD character table: where each font lies in the flash and how big it
// is, then the text defaults (colours BBGGRR).
struct OsdCharTable {
    uint32_t addr32Ascii, size32Ascii, addr32Chn, size32Chn;
    uint32_t addr64Ascii, size64Ascii, addr64Chn, size64Chn;
    uint32_t bgHact, bgVact; // 0: the panel's size
    uint32_t bgColor, bgTrans, charHst, charVst, charColor;
};
constexpr OsdCharTable osd_char_txt{0x000023, 0x3000,   0x010023, 0x290000, 0x410023, 0xC000, 0x450023, 0xA40000,
                                    0,        0,        0xFF0000, 0,        0,        0,      0xC0C0FF};
// The OSD bitmap and its palette.
struct OsdBmpTable {
    int32_t hact, vact;
    uint32_t addr, paletteAddr;
};
constexpr OsdBmpTable osd_bmp_txt{1920, 1080, 0xED9800, 0x10D3C00};
constexpr int kPaletteBytes = 816;

// Font headers, in the order read_c331_font examines them.
struct FontBlock {
    uint32_t header;
    uint32_t statusBit; // font_status
    uint8_t regBits;    // local register 43
    const char* name;
};
constexpr FontBlock kFontBlocks[] = {{0x010000, 1u << 0, 0x02, "32 dot chinese"},
                                     {0x000000, 1u << 1, 0x01, "32 dot ascii"},
                                     {0x450000, 1u << 2, 0xA8, "64 dot chinese"},
                                     {0x410000, 1u << 3, 0x54, "64 dot ascii"}};
constexpr int kFontHeader = 35;
constexpr uint8_t kFontPresent = 'P';
constexpr int kFontStatusReg = 43;

constexpr int kMaxOsdWidth = 8191;
// Positions, sizes and margins are kept within what a 16-bit chip register
// can hold: far beyond any panel, and no sum of them overflows.
constexpr int kMaxCoord = 65535;
int coord(int64_t v) { return int(std::max<int64_t>(-kMaxCoord, std::min<int64_t>(v, kMaxCoord))); }
constexpr int kTextLines = 64;
constexpr int kLineChars = 128;
constexpr int kAsciiGlyphs = 96;
constexpr uint32_t kCjkFirst = 0x4E00, kCjkLast = 0x9FFF;
} // namespace

// ---------------------------------------------------------------------------
// Register access helpers

namespace {
class Chip {
public:
    Chip(c331_drv* drv, int fd) : m_drv(drv), m_fd(fd) {}
    void w(uint32_t code, uint32_t value, int bankOffset = 0) { m_drv->write_C331(m_fd, code, value, bankOffset); }
    // Register writes in the order given.
    void w(std::initializer_list<std::pair<uint32_t, uint32_t>> writes)
    {
        for (const auto& cv : writes)
            w(cv.first, cv.second);
    }
    uint32_t r(uint32_t code, int bankOffset = 0) { return m_drv->read_C331(m_fd, code, bankOffset); }
    // Polls until (register & mask) is non-zero (wantSet) or zero; false
    // when the limit ran out. `each` sees every value polled.
    template <class Each>
    bool until(uint32_t code, uint8_t mask, bool wantSet, Limit limit, Each each)
    {
        for (unsigned poll = 0; poll < limit.polls; ++poll) {
            const uint8_t v = uint8_t(r(code));
            if (((v & mask) != 0) == wantSet)
                return true;
            each(poll + 1, v);
            if (poll >= kFastPolls)
                platform::pause_us(limit.pauseUs);
        }
        return false;
    }
    bool until(uint32_t code, uint8_t mask, bool wantSet, Limit limit)
    {
        return until(code, mask, wantSet, limit, [](unsigned, uint8_t) {});
    }

private:
    c331_drv* m_drv;
    int m_fd;
};

// Print groups: the serial-flash messages, the OSD attribute messages; each
// prints while diagnostics are on and its group is switched on.
constexpr int kPrintFlash = 6, kPrintOsd = 8;
bool printing(const c331_manage& m, int group) { return g_debugSwitch == 254 && (m.prnEn[group] & 0x80); }

void timeoutMessage(const char* text)
{
    VYX_DEBUG("%s%s\n", text, kFlashAdvice);
    writeLogMsg(LOG_ERROR, std::string(text) + kFlashAdvice);
}
} // namespace

// ---------------------------------------------------------------------------
// Flash

namespace {
// Pin set-up written before every flash operation.
void flashPins(Chip& c, bool print)
{
    for (const auto& pin : kPinSetup)
        c.w(pin[0], pin[1]);
    if (print)
        std::puts("GIO setting OK.");
}

// A write-enable latch left set is cleared with a write-disable command.
bool clearWel(Chip& c, bool print)
{
    if (!(c.r(kSflRdsr) & kWel))
        return true;
    if (print)
        std::puts("B4_SFLRDSR WEL is 1, and have to clear WEL bit.");
    c.w(kSflEraseOp, kOpWrdi);
    c.w(kSflTrigger, kTrigAux);
    if (print)
        std::puts("Serial Flash WRDI command process start.");
    const bool ok = c.until(kSflRdsr, kWel, false, kWrdi);
    c.w(kSflTrigger, kTrigIdle);
    if (!ok) {
        timeoutMessage("B4_SFLRDSR WRDI Timeout Error!!.");
        return false;
    }
    if (print)
        std::puts("B4_SFLRDSR WRDI finish");
    return true;
}

// Writing the next address programs the bytes queued for the page; then the
// queue must drain, the controller and the flash get idle.
bool programPage(Chip& c, uint32_t next, bool print)
{
    c.w(kSflAddr, next);
    if (!c.until(kSflDataCtl, kWempty, true, kProgram)) {
        timeoutMessage("B4_SFLDTCTL WEMPTY Timeout Error!!.");
        return false;
    }
    if (!c.until(kSflStat, kWbusy, false, kProgram)) {
        timeoutMessage("B4_SFLSTAT WBUSY Timeout Error!!.");
        return false;
    }
    if (!c.until(kSflRdsr, kWip, false, kProgram)) {
        timeoutMessage("B4_SFLRDSR WIP Timeout Error!!.");
        return false;
    }
    return clearWel(c, print);
}
} // namespace

int c331_manage::erase_flash(int fd, int startUnit, int count, int mode)
{
    FlashLock lock(flash_mutex);
    if (startUnit < 0 || count < 0) {
        VYX_DEBUG("\n [erase_flash] unit %d, count %d: nothing erased\n", startUnit, count);
        return 255;
    }
    Chip c(p_c331_drv, fd);
    const bool print = printing(*this, kPrintFlash);
    flashPins(c, print);
    const uint32_t block = mode == 0 ? 0x1000 : mode == 1 ? 0x8000 : 0x10000;
    const uint8_t opcode = mode == 0 ? 0x20 : mode == 1 ? 0x52 : 0xD8;
    c.w({{kSflTrigger, kTrigIdle}, {kSflMode, kModeReset}, {kSflMode, kModeErase}, {kSflEraseOp, opcode},
         {kSflWrenOp, kOpWren}, {kSflRdsrOp, kOpRdsr}, {kSflAccess, kAccessRegister}});

    int rc = 0;
    for (int k = 0; k < count; ++k) {
        const uint64_t addr = uint64_t(startUnit) * 0x1000 + uint64_t(k) * block;
        if (addr > 0xFFFFFFFFu) {
            VYX_DEBUG("\n [erase_flash] block at %llx lies beyond any flash\n", (unsigned long long)addr);
            rc = 255;
            break;
        }
        c.w(kSflAddr, uint32_t(addr));
        c.w(kSflTrigger, kTrigErase);
        const bool erased = c.until(kSflStat, kEbusy, false, kEraseBusy, [&](unsigned polls, uint8_t v) {
            if (print && polls % 40 == 0)
                std::printf("B4_SFLSTAT = %02x.Wait Please.\n", v);
        });
        if (!erased) {
            timeoutMessage("B4_SFLSTAT EBUSY Timeout Error!!.");
            rc = 255;
            break;
        }
        if (print)
            std::puts("B4_SFLSTAT EBUSY finish");
        if (!c.until(kSflRdsr, kWip, false, kEraseWip)) {
            timeoutMessage("B4_SFLRDSR WIP Timeout Error!!.");
            rc = 255;
            break;
        }
        if (print)
            std::puts("B4_SFLRDSR WIP finish");
    }
    if (rc == 0 && !clearWel(c, print))
        rc = 255;
    c.w(kSflTrigger, kTrigIdle);
    return rc;
}

namespace {
// A transfer the flash cannot take: nothing reaches the chip.
bool impossible(const char* what, int addr, int len, const void* buf)
{
    if (len >= 0 && addr >= 0 && buf)
        return false;
    VYX_DEBUG("\n [%s] %d bytes at %x: refused\n", what, len, unsigned(addr));
    return true;
}
} // namespace

int c331_manage::write_flash(int fd, int addr, int len, unsigned char* buf)
{
    FlashLock lock(flash_mutex);
    if (len == 0)
        return 0;
    if (impossible("write_flash", addr, len, buf))
        return 255;
    Chip c(p_c331_drv, fd);
    const bool print = printing(*this, kPrintFlash);
    flashPins(c, print);
    c.w({{kSflMode, kModeReset}, {kSflTrigger, kTrigIdle}, {kSflMode, kModeProgram}, {kSflWrenOp, kOpWren},
         {kSflRdsrOp, kOpRdsr}, {kSflProgramOp, kOpProgram}, {kSflAccess, kAccessRegister}, {kSflClear, 0}});
    const uint32_t start = uint32_t(addr), end = start + uint32_t(len);
    c.w(kSflAddr, start);
    c.w(kSflAddr, start);

    for (uint32_t a = start; a < end; ++a) {
        c.w(kSflData, buf[a - start]);
        const uint32_t next = a + 1;
        if (next % kPage == 0 && !programPage(c, next, print))
            return 255;
        if (print && (next - start) % 8192 == 0)
            std::printf("#### %8d byte of %8d byte write finish. ###\n", int(next - start), len);
    }
    // The last page, when it is not full.
    if (end % kPage != 0 && !programPage(c, end, print))
        return 255;
    return 0;
}

int c331_manage::read_flash(int fd, int addr, int len, unsigned char* buf)
{
    FlashLock lock(flash_mutex);
    if (len == 0)
        return 0;
    if (impossible("read_flash", addr, len, buf))
        return 255;
    Chip c(p_c331_drv, fd);
    const bool print = printing(*this, kPrintFlash);
    flashPins(c, print);
    c.w({{kSflTrigger, kTrigIdle}, {kSflMode, kModeReset}, {kSflMode, kModeProgram}, {kSflReadOp, kOpRead},
         {kSflAccess, kAccessRegister}, {kSflClear, 0}});
    const uint32_t start = uint32_t(addr);
    c.w(kSflAddr, start);
    c.w(kSflDataCtl, 1);
    const bool ready = c.until(kSflDataCtl, kReadPending, false, kReadReady);
    c.w(kSflDataCtl, 0);
    if (!ready) {
        timeoutMessage("B4_SFLDTCTL read Timeout Error!!.");
        // Nothing stale reaches the caller.
        std::memset(buf, 0xFF, size_t(len));
        c.w(kSflAddr, start);
        return 255;
    }
    for (int i = 0; i < len; ++i) {
        buf[i] = uint8_t(c.r(kSflData));
        if (print && ((i + 1) % 1024 == 0 || i + 1 == len))
            std::printf("#### %8d byte of %8d byte read finish. ###\n", i + 1, len);
    }
    c.w(kSflAddr, start);
    return 0;
}

int c331_manage::osd_write_dma_sfl(int fd, int flashAddr, int dest, int target, int len)
{
    FlashLock lock(flash_mutex);
    Chip c(p_c331_drv, fd);
    flashPins(c, printing(*this, kPrintFlash));
    c.w({{kEngStart, 0}, {kSflTrigger, kTrigIdle}, {kSflMode, kModeReset},
         {kSflMode, target == 1 ? kModeDmaTarget1 : kModeDma}, {kSflAccess, kAccessDma}, {kSflProgramOp, kOpProgram},
         {kSflReadOp, kOpRead}, {kSflEraseOp, kOpDmaAux}, {kSflWrenOp, kOpWren}, {kSflRdsrOp, kOpRdsr},
         {kSflAddr, uint32_t(flashAddr)}, {kSflDmaLen, uint32_t(len) | 0x80000000u},
         {kSflDmaTarget, uint32_t(target)}});
    if (target == 0)
        c.w(kDmaDest0, uint32_t(dest));
    else if (target == 1)
        c.w(kDmaDest1, uint32_t(dest));
    else if (target == 4)
        c.w(kDmaDest4, uint32_t(dest));
    c.w(kSflTrigger, kTrigStart);
    const bool done = c.until(kSflStat, kDmaBusy, false, kDma);
    c.w(kSflTrigger, kTrigIdle);
    if (!done) {
        timeoutMessage("B4_SFLSTAT DMA Timeout Error!!.");
        return 255;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Fonts

void c331_manage::load_char()
{
    const OsdCharTable& t = osd_char_txt;
    PS_CHAR_ADDR_32ASCII = t.addr32Ascii;
    PS_CHAR_SIZE_32ASCII = t.size32Ascii;
    PS_CHAR_ADDR_32CHN = t.addr32Chn;
    PS_CHAR_SIZE_32CHN = t.size32Chn;
    PS_CHAR_ADDR_64ASCII = t.addr64Ascii;
    PS_CHAR_SIZE_64ASCII = t.size64Ascii;
    PS_CHAR_ADDR_64CHN = t.addr64Chn;
    PS_CHAR_SIZE_64CHN = t.size64Chn;
    PS_BG_HACT = std::min<int32_t>(t.bgHact ? int32_t(t.bgHact) : PS_PANEL_HW, kMaxOsdWidth);
    PS_BG_VACT = t.bgVact ? int32_t(t.bgVact) : PS_PANEL_VW;
    PS_BG_COLOR = t.bgColor;
    PS_BG_TRANS = int32_t(t.bgTrans);
    PS_CHAR_HST = int32_t(t.charHst);
    PS_CHAR_VST = int32_t(t.charVst);
    PS_CHAR_COLOR = t.charColor;
}

void c331_manage::load_bmp()
{
    PS_BMP_HACT = osd_bmp_txt.hact;
    PS_BMP_VACT = osd_bmp_txt.vact;
    PS_BMP_ADDR = osd_bmp_txt.addr;
    PS_BMPCP_ADDR = osd_bmp_txt.paletteAddr;
}

void c331_manage::read_c331_font(int fd)
{
    FlashLock lock(flash_mutex);
    uint32_t status = 0;
    uint8_t reg = 0;
    for (const FontBlock& f : kFontBlocks) {
        uint8_t header[kFontHeader] = {};
        const bool read = read_flash(fd, int(f.header), kFontHeader, header) == 0;
        if (read && header[0] == kFontPresent) {
            status |= f.statusBit;
            reg |= f.regBits;
        }
        VYX_DEBUG("\n [read_c331_font] %s: type %02x, width %d, height %d\n", f.name, header[0], header[17],
                  header[18]);
    }
    font_status = status;
    if (VyxRamPara* store = VyxRamPara::p_vyxrampara_config)
        __atomic_store_n(&store->local_reg[kFontStatusReg], reg, __ATOMIC_RELAXED);
}

void c331_manage::update_font(int fd)
{
    FlashLock lock(flash_mutex);
    const OsdCharTable& t = osd_char_txt;
    // Each ASCII font directly in front of its Chinese font: the character
    // engine counts the Chinese glyphs on from the 96 ASCII ones.
    uint32_t dest = PS_FONT_ADDR ? PS_FONT_ADDR : c331tables::kSystemParams.fontAddr;
    const struct {
        uint32_t flash, size;
        uint32_t* at;
    } fonts[] = {{t.addr32Ascii, t.size32Ascii, &g_font_addr_32ASCII},
                 {t.addr32Chn, t.size32Chn, &g_font_addr_32CHN},
                 {t.addr64Ascii, t.size64Ascii, &g_font_addr_64ASCII},
                 {t.addr64Chn, t.size64Chn, &g_font_addr_64CHN}};
    for (const auto& f : fonts) {
        *f.at = dest;
        if (osd_write_dma_sfl(fd, int(f.flash), int(dest), 0, int(f.size)) != 0)
            VYX_DEBUG("\n [update_font] font at %06x not copied\n", f.flash);
        dest += f.size;
    }
}

// ---------------------------------------------------------------------------
// OSD attributes and text

namespace {
// Width of a character in the OSD picture: half a cell for codes up to
// 0xFF, a full cell for the others, twice that with double width.
int charWidth(const c331_manage& m, uint32_t code)
{
    const int cell = m.PM_OSD_CHAR_64DOT ? 64 : 32;
    return (code <= 0xFF ? cell / 2 : cell) * (m.PM_OSD_DOUBLE_WIDTH ? 2 : 1);
}

// Line height of the text in the OSD picture.
int cellHeight(const c331_manage& m) { return (m.PM_OSD_CHAR_64DOT ? 64 : 32) * (m.PM_OSD_DOUBLE_WIDTH ? 2 : 1); }

int lineWidth(const c331_manage& m, int line)
{
    return m.osd_line_narrow[line] * charWidth(m, 0x20) + m.osd_line_wide[line] * charWidth(m, kCjkFirst);
}

// The part of the OSD picture the OSD window shows (picture pixels: the
// zoom doubles them on the output).
void shownSize(const c331_manage& m, int* w, int* h)
{
    auto pos = [](int v) { return std::max(0, v); };
    const int* out = m.PM_OSD_OUTPUT_OFFSET;
    const int* in = m.PM_OSD_INPUT_OFFSET;
    *w = pos(std::min((m.PS_PANEL_HW - pos(out[0]) - pos(out[1])) / (m.PM_OSD_HZOOM_EN ? 2 : 1),
                      m.PS_BG_HACT - pos(in[0]) - pos(in[1])));
    *h = pos(std::min((m.PS_PANEL_VW - pos(out[2]) - pos(out[3])) / (m.PM_OSD_VZOOM_EN ? 2 : 1),
                      m.PS_BG_VACT - pos(in[2]) - pos(in[3])));
}

// Each line's offset inside what the window shows.
void alignLines(c331_manage& m)
{
    int w, h;
    shownSize(m, &w, &h);
    for (int i = 0; i < kTextLines; ++i) {
        const int free = std::max(0, w - m.PS_CHAR_HST - lineWidth(m, i));
        m.osd_line_hoffs[i] = m.osd_halign == 1 ? free / 2 : m.osd_halign == 2 ? free : 0;
    }
}

void alignVertically(c331_manage& m)
{
    int w, h;
    shownSize(m, &w, &h);
    const int free = std::max(0, h - m.PS_CHAR_VST - m.g_unicode_line * cellHeight(m));
    m.osd_valign_offs = m.osd_valign == 1 ? free / 2 : m.osd_valign == 2 ? free : 0;
}
} // namespace

int c331_manage::vyxApi_OsdSet(int type, int value)
{
    const bool print = printing(*this, kPrintOsd);
    if (print)
        std::printf("[vyxApi_OsdSet] type:%d, val:%x\n", type, value);
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    switch (type) {
    case 0:
        PM_OSD_EN = value != 0;
        osd_set_pending = 1;
        if (print)
            std::printf("\t OSD display %s\n", PM_OSD_EN ? "enable" : "disable");
        break;
    case 1:
        PM_OSD_HZOOM_EN = value != 0;
        osd_set_pending = 1;
        break;
    case 2:
        PM_OSD_VZOOM_EN = value != 0;
        osd_set_pending = 1;
        break;
    case 3:
        PM_OSD_DATA_MODE = value != 0;
        osd_update_pending = 1;
        if (print)
            std::printf("\t OSD data %s\n", PM_OSD_DATA_MODE ? "char" : "bmp");
        break;
    case 4:
        PM_OSD_SCROLL_MODE = ((value % 9) + 9) % 9;
        osd_set_pending = 1;
        break;
    case 5:
        PM_OSD_OUTPUT_OFFSET[0] = coord(int64_t(store ? le16(store->ram_para + ram::kPictureOffsetX) : 0) + value);
        break;
    case 6: PM_OSD_OUTPUT_OFFSET[1] = coord(int64_t(PS_PANEL_HW) - value - PM_OSD_OUTPUT_OFFSET[0]); break;
    case 7: PM_OSD_OUTPUT_OFFSET[2] = coord(value); break;
    case 8: PM_OSD_OUTPUT_OFFSET[3] = coord(int64_t(PS_PANEL_VW) - value - PM_OSD_OUTPUT_OFFSET[2]); break;
    case 9: PM_OSD_INPUT_OFFSET[0] = 0; break;
    case 11: PM_OSD_INPUT_OFFSET[2] = 0; break;
    case 10: {
        int widest = 0;
        if (PM_OSD_CHAR_64DOT)
            for (int i = 0; i < g_unicode_line && i < kTextLines; ++i)
                widest = std::max(widest, lineWidth(*this, i));
        if (widest > PS_BG_HACT) {
            PS_BG_HACT = std::min(widest, kMaxOsdWidth);
            PM_OSD_INPUT_OFFSET[1] = 0;
        } else {
            PM_OSD_INPUT_OFFSET[1] = coord(int64_t(PS_BG_HACT) - value - PM_OSD_OUTPUT_OFFSET[0]);
        }
        break;
    }
    case 12: PM_OSD_INPUT_OFFSET[3] = coord(int64_t(PS_BG_VACT) - value - PM_OSD_OUTPUT_OFFSET[2]); break;
    case 13:
        PM_OSD_SCROLL_SPEED = int8_t(value);
        osd_set_pending = 1;
        break;
    case 14:
        PM_OSD_CHAR_64DOT = value != 0;
        osd_update_pending = 1;
        if (print)
            std::printf("\t OSD char %s\n", PM_OSD_CHAR_64DOT ? "64x64" : "32x32");
        break;
    case 15:
        PM_OSD_UPDATE_BUTTON = value != 0;
        osd_update_pending = 1;
        break;
    case 16: PS_BG_COLOR = uint32_t(value) & 0xFFFFFF; break;
    case 17: PS_CHAR_COLOR = uint32_t(value) & 0xFFFFFF; break;
    case 18: PS_BG_TRANS = value != 0; break;
    // The picture is never wider than the chip's OSD memory lines allow.
    case 19: PS_BG_HACT = std::max(0, std::min(value, kMaxOsdWidth)); break;
    case 20: PS_BG_VACT = std::max(0, coord(value)); break;
    case 21: PS_CHAR_HST = coord(value); break;
    case 22: PS_CHAR_VST = coord(value); break;
    case 32:
        if (value & 0x80)
            osd_set_pending = 1;
        if (value & 0x40)
            osd_update_pending = 1;
        break;
    case 33: osd_text_layout = value != 0; break;
    case 34:
        osd_halign = value;
        alignLines(*this);
        break;
    case 35:
        osd_valign = value;
        alignVertically(*this);
        break;
    case 48: PM_OSD_DOUBLE_WIDTH = value != 0; break;
    default: return 0;
    }
    return 1;
}

int c331_manage::vyxApi_OsdSetUnicode(int lineCount, int* lengths, unsigned int lines[][128])
{
    const int count = lineCount % kTextLines;
    for (int i = 0; i < kTextLines; ++i) {
        std::fill(std::begin(osd_text[i]), std::end(osd_text[i]), uint16_t(0));
        osd_line_len[i] = osd_line_narrow[i] = osd_line_wide[i] = 0;
    }
    if (count < 1 || !lines) {
        g_unicode_line = 0;
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const int len = std::max(0, std::min(lengths ? lengths[i] : kLineChars, kLineChars));
        int n = 0;
        for (; n < len && lines[i][n] != 0; ++n) {
            // Beyond the 16-bit store: the replacement character.
            const uint32_t code = lines[i][n] > 0xFFFF ? 0xFFFD : lines[i][n];
            osd_text[i][n] = uint16_t(code);
            if (code <= 0xFF)
                ++osd_line_narrow[i];
            else
                ++osd_line_wide[i];
        }
        osd_line_len[i] = n;
    }
    g_unicode_line = count;
    return 0;
}

// ---------------------------------------------------------------------------
// Drawing

namespace {
// Line pitch of the OSD memory in 128-byte units, as the engines count it.
uint32_t osdPitch(const c331_manage& m) { return uint32_t(m.g_osd_mwi) << (m.g_osd_mwi_shift ? 2 : 0); }

uint32_t osdAddress(uint32_t mem, uint32_t pitch, int x, int y) { return mem + uint32_t(x) + ((pitch * uint32_t(y)) << 7); }

bool engineIdle(Chip& c, const char* what)
{
    const bool idle = c.until(kEngBusy, 0x01, false, kEngine);
    c.w(kEngStart, 0);
    if (!idle) {
        VYX_DEBUG("\n [%s] 2D engine still busy, OSD drawing stopped\n", what);
        writeLogMsg(LOG_ERROR, std::string(what) + ": 2D engine still busy");
    }
    return idle;
}

// A rectangle of one value.
bool osd_paint(Chip& c, uint32_t dst, uint32_t pitch, int w, int h, int value)
{
    c.w({{kEngDst, dst}, {kEngWidth, uint32_t(w - 1)}, {kEngHeight, uint32_t(h - 1)}, {kEngDstPitch, pitch},
         {kEngLayout, 0}, {kEngFill, uint32_t(value)}, {kEngStart, kJobFill}});
    return engineIdle(c, "osd_paint");
}

bool osd_copy(Chip& c, uint32_t src, uint32_t srcPitch, uint32_t dst, uint32_t dstPitch, int w, int h)
{
    c.w({{kEngSrc, src}, {kEngDst, dst}, {kEngWidth, uint32_t(w - 1)}, {kEngHeight, uint32_t(h - 1)},
         {kEngSrcPitch, srcPitch}, {kEngDstPitch, dstPitch}, {kEngLayout, 0}, {kEngStart, kJobCopy}});
    return engineIdle(c, "osd_copy");
}

// Glyph index of a character: the 96 ASCII glyphs, then the Chinese ones.
// A character no font holds draws as a space (its index would address
// memory past the fonts).
uint16_t glyphOf(uint16_t code)
{
    if (code >= 0x20 && code <= 0xFF)
        return uint16_t(code - 0x20);
    if (code >= kCjkFirst && code <= kCjkLast)
        return uint16_t(kAsciiGlyphs + (code - kCjkFirst));
    return 0;
}

struct TextStyle {
    bool dot64;
    bool wide; // double width
    uint8_t bg;
    uint32_t font;  // ASCII font start in chip memory
    uint32_t pitch; // OSD memory line pitch
};

TextStyle textStyle(const c331_manage& m)
{
    TextStyle s;
    s.dot64 = m.PM_OSD_CHAR_64DOT != 0;
    s.wide = m.PM_OSD_DOUBLE_WIDTH != 0;
    s.bg = m.PS_BG_TRANS ? kPalTransparent : kPalBackground;
    s.font = s.dot64 ? m.g_font_addr_64ASCII : m.g_font_addr_32ASCII;
    s.pitch = osdPitch(m);
    return s;
}

// Width a character takes in the OSD picture.
int charWidth(const TextStyle& s, uint16_t code)
{
    const int cell = s.dot64 ? 64 : 32;
    return (code <= 0xFF ? cell / 2 : cell) * (s.wide ? 2 : 1);
}

// Draws up to n characters of a line at (x, y), as far as `maxWidth` lets
// whole characters fit. False when the engine did not finish.
bool osd_put_unicode_string(Chip& c, const TextStyle& s, uint32_t mem, int x, int y, const uint16_t* text, int n,
                            int maxWidth)
{
    if (n <= 0 || text[0] == 0)
        return true;
    const int cell = s.dot64 ? 64 : 32;
    c.w(kChrFont, s.dot64 ? kFont64 : kFont32);
    c.w(kChrFrame, kCommandFrame);
    c.w(kChrCommand, uint32_t(cell - 1) | (s.wide ? 0x80 : 0));
    c.w(kChrFrame, 0);
    int count = 0, used = 0;
    for (int i = 0; i < n && i < kLineChars && text[i] != 0; ++i) {
        const int width = charWidth(s, text[i]);
        if (used + width > maxWidth)
            break;
        const uint16_t glyph = glyphOf(text[i]);
        const int cellWidth = width / (s.wide ? 2 : 1);
        c.w(kChrCommand, glyph & 0xFF);
        c.w(kChrCommand, glyph >> 8);
        c.w(kChrCommand, kPalCharacter);
        c.w(kChrCommand, s.bg);
        c.w(kChrCommand, uint32_t(cellWidth - 1) | (s.wide ? 0x80 : 0));
        used += width;
        ++count;
    }
    if (count == 0)
        return true;
    c.w(kChrCount, uint32_t(count - 1));
    for (uint32_t reg : kChrClear)
        c.w(reg, 0);
    c.w(kEngSrc, s.font);
    c.w(kEngDst, osdAddress(mem, s.pitch, x, y));
    c.w(kEngDstPitch, s.pitch);
    c.w(kEngStart, kJobChars);
    return engineIdle(c, "osd_put_unicode_string");
}

// One character at x.
bool osd_put_unicode_string_1char_zevlo(Chip& c, const TextStyle& s, uint32_t mem, int x, int y, uint16_t code)
{
    return osd_put_unicode_string(c, s, mem, x, y, &code, 1, charWidth(s, code));
}

// One line of the text store, by the horizontal alignment; `width` and
// `height` are the picture's, `shown` the width the window shows.
bool gen_char(Chip& c, const c331_manage& m, const TextStyle& s, int line, int width, int height, int shown)
{
    const int cellH = cellHeight(m);
    const int y = m.PS_CHAR_VST + m.osd_valign_offs + line * cellH;
    const int len = m.osd_line_len[line];
    if (len <= 0 || y < 0 || y + cellH > height)
        return true;
    const uint16_t* text = m.osd_text[line];
    const int x0 = std::max(0, m.PS_CHAR_HST + m.osd_line_hoffs[line]);
    if (m.osd_halign != 3)
        return osd_put_unicode_string(c, s, m.PS_MEM_OSD, x0, y, text, len, width - x0);
    // Justified: the characters one by one, the free width spread between them.
    int total = 0;
    for (int i = 0; i < len; ++i)
        total += charWidth(s, text[i]);
    const int gaps = len > 1 ? len - 1 : 1;
    const int free = std::max(0, std::min(width, shown) - x0 - total);
    int x = x0;
    for (int i = 0; i < len; ++i) {
        const int w = charWidth(s, text[i]);
        if (x + w > width)
            break;
        if (!osd_put_unicode_string_1char_zevlo(c, s, m.PS_MEM_OSD, x, y, text[i]))
            return false;
        x += w + free / gaps + (i < free % gaps ? 1 : 0);
    }
    return true;
}

// Waits for one output vertical sync of channel 0, at most a few frames.
void waitFrame(Chip& c)
{
    c.w(kVsyncSelect, 1);
    c.w(kVsyncHold, 0x80);
    const bool seen = c.until(kVsyncSeen, 0x01, true, kFrame);
    c.w(kVsyncSelect, 0);
    c.w(kVsyncHold, 0);
    if (!seen) {
        VYX_DEBUG("\n [update_osd] no output vertical sync on channel 0, OSD drawn without waiting for it\n");
        writeLogMsg(LOG_WARNING, "update_osd: no output vertical sync");
    }
}
} // namespace

void c331_manage::set_char_color(int fd)
{
    Chip c(p_c331_drv, fd);
    c.w(kBroadcast, 1);
    c.w(kPalIndex, kPalBackground);
    for (uint32_t colour : {PS_BG_COLOR, PS_CHAR_COLOR})
        for (int b = 0; b < 3; ++b)
            c.w(kPalData, (colour >> (8 * b)) & 0xFF);
    c.w(kBroadcast, 0);
}

void c331_manage::update_osd(int fd)
{
    FlashLock lock(flash_mutex);
    Chip c(p_c331_drv, fd);
    const bool text = PM_OSD_DATA_MODE == 1;
    int width, height;
    if (text) {
        width = std::max(1, std::min<int>(PS_BG_HACT, kMaxOsdWidth));
        height = std::max(1, PS_BG_VACT);
    } else {
        load_bmp();
        width = PS_BMP_HACT;
        height = PS_BMP_VACT;
    }
    // Lines in 128-byte units, room for the picture twice over (the scroll
    // copies), counted in fours when they do not fit in a byte's worth.
    uint32_t pitch = (uint32_t(width) + 127) / 128 * 2;
    pitch = (pitch + 3) & ~3u;
    // The picture never reaches past the OSD memory into the next area.
    if (PS_MEM_OSD1 > PS_MEM_OSD)
        height = int(std::min<uint32_t>(uint32_t(height), (PS_MEM_OSD1 - PS_MEM_OSD) / (pitch << 7)));
    g_osd_mwi_shift = pitch > 64;
    g_osd_mwi = int32_t(g_osd_mwi_shift ? pitch / 4 : pitch);

    bool ok = true;
    if (text) {
        ok = osd_paint(c, PS_MEM_OSD, pitch, width, height, PS_BG_TRANS ? kPalTransparent : kPalBackground);
        const TextStyle style = textStyle(*this);
        int shownW, shownH;
        shownSize(*this, &shownW, &shownH);
        for (int line = 0; ok && line < g_unicode_line && line < kTextLines; ++line)
            ok = gen_char(c, *this, style, line, width, height, shownW);
        waitFrame(c);
        set_char_color(fd);
    } else {
        const uint32_t bmpPitch = (uint32_t(width) + 127) / 128;
        ok = osd_write_dma_sfl(fd, int(PS_BMP_ADDR), int(PS_SFL_ADDR), 0, width * height) == 0 &&
             osd_copy(c, PS_SFL_ADDR, bmpPitch, PS_MEM_OSD, pitch, width, height);
        waitFrame(c);
        c.w(kBroadcast, 1);
        osd_write_dma_sfl(fd, int(PS_BMPCP_ADDR), 0, 4, kPaletteBytes);
        c.w(kBroadcast, 0);
    }
    if (!ok)
        return;

    set_rtct(fd, 2);
    set_osd(fd, 0);
    set_rtct(fd, 1);
    waitFrame(c);

    // The visible part four times over, so the scroll wraps around.
    const int vw = width - std::max(0, PM_OSD_INPUT_OFFSET[0]) - std::max(0, PM_OSD_INPUT_OFFSET[1]);
    const int vh = height - std::max(0, PM_OSD_INPUT_OFFSET[2]) - std::max(0, PM_OSD_INPUT_OFFSET[3]);
    if (vw > 0 && vh > 0) {
        const uint32_t from =
            osdAddress(PS_MEM_OSD, pitch, std::max(0, PM_OSD_INPUT_OFFSET[0]), std::max(0, PM_OSD_INPUT_OFFSET[2]));
        const int at[4][2] = {{0, 0}, {vw, 0}, {0, vh}, {vw, vh}};
        for (const auto& p : at)
            if (!osd_copy(c, from, pitch, osdAddress(PS_MEM_OSD1, pitch, p[0], p[1]), pitch, vw, vh))
                return;
    }
    set_rtct(fd, 2);
    set_osd(fd, 1);
    set_scroll(fd);
    set_rtct(fd, 1);
}

// ---------------------------------------------------------------------------
// The OSD window on the output channels

namespace {
// The OSD picture's size.
void pictureSize(const c331_manage& m, int* w, int* h)
{
    if (m.PM_OSD_DATA_MODE == 1) {
        *w = m.PS_BG_HACT;
        *h = m.PS_BG_VACT;
    } else {
        *w = m.PS_BMP_HACT;
        *h = m.PS_BMP_VACT;
    }
}

// [start, start+size) split over `count` ports of `port` each.
void splitOver(int start, int size, int port, int count, int32_t* partStart, int32_t* partSize, int32_t* first,
               int32_t* last)
{
    *first = *last = -1;
    for (int i = 0; i < count && i < 8; ++i) {
        const int lo = std::max(start, i * port), hi = std::min(start + size, (i + 1) * port);
        partStart[i] = hi > lo ? lo - i * port : 0;
        partSize[i] = hi > lo ? hi - lo : 0;
        if (partSize[i] > 0) {
            if (*first < 0)
                *first = i;
            *last = i;
        }
    }
}

int portCount(const c331_manage& m, int* across, int* down)
{
    *across = std::max(0, std::min<int>(m.PS_PANEL_HSHAPE, 8));
    *down = std::max(0, std::min<int>(m.PS_PANEL_VSHAPE, 8));
    while (*across * *down > 8)
        --*down;
    return *across * *down;
}
} // namespace

void c331_manage::calc_osd()
{
    int pw, ph;
    pictureSize(*this, &pw, &ph);
    const int* out = PM_OSD_OUTPUT_OFFSET;
    const int* in = PM_OSD_INPUT_OFFSET;
    auto pos = [](int v) { return std::max(0, v); };
    const int visibleW = (pw - pos(in[0]) - pos(in[1])) * (PM_OSD_HZOOM_EN ? 2 : 1);
    const int visibleH = (ph - pos(in[2]) - pos(in[3])) * (PM_OSD_VZOOM_EN ? 2 : 1);
    OSD_WIN.HST = pos(out[0]);
    OSD_WIN.HW = pos(std::min(PS_PANEL_HW - pos(out[0]) - pos(out[1]), visibleW));
    OSD_WIN.VST = pos(out[2]);
    OSD_WIN.VW = pos(std::min(PS_PANEL_VW - pos(out[2]) - pos(out[3]), visibleH));
    int across, down;
    portCount(*this, &across, &down);
    splitOver(OSD_WIN.HST, OSD_WIN.HW, PS_ACTHW, across, OSD_WIN.colStart, OSD_WIN.colWidth, &OSD_WIN.firstCol,
              &OSD_WIN.lastCol);
    splitOver(OSD_WIN.VST, OSD_WIN.VW, PS_ACTVW, down, OSD_WIN.rowStart, OSD_WIN.rowHeight, &OSD_WIN.firstRow,
              &OSD_WIN.lastRow);
}

void c331_manage::set_osd(int fd, int on)
{
    calc_osd();
    Chip c(p_c331_drv, fd);
    const bool text = PM_OSD_DATA_MODE == 1;
    uint32_t control = g_osd_mwi_shift ? 0x6000 : 0x4000;
    if (PM_OSD_VZOOM_EN)
        control += 0x800;
    if (PM_OSD_HZOOM_EN)
        control += 0x1000;
    if (PM_OSD_EN)
        control += text ? 3 : 2;
    if (osd_text_layout)
        control += 0x8000;
    const uint32_t mem = on ? PS_MEM_OSD1 : PS_MEM_OSD;
    const int xoff = on ? 0 : std::max(0, PM_OSD_INPUT_OFFSET[0]);
    const int yoff = on ? 0 : std::max(0, PM_OSD_INPUT_OFFSET[2]);
    const uint32_t pitch = osdPitch(*this);
    int across, down;
    portCount(*this, &across, &down);
    int rowsAbove = 0;
    for (int r = 0; r < down; ++r) {
        int colsLeft = 0;
        for (int col = 0; col < across; ++col) {
            const int bank = 16 * (col + r * across);
            const uint32_t x = uint32_t(xoff + (PM_OSD_HZOOM_EN ? colsLeft / 2 : colsLeft));
            const int y = yoff + (PM_OSD_VZOOM_EN ? rowsAbove / 2 : rowsAbove);
            c.w(kOsdHst, uint32_t(PS_ACTHST + OSD_WIN.colStart[col] - 4), bank);
            c.w(kOsdHw, uint32_t(OSD_WIN.colWidth[col]), bank);
            c.w(kOsdVst, uint32_t(PS_ACTVST + OSD_WIN.rowStart[r] + 1), bank);
            c.w(kOsdVw, uint32_t(OSD_WIN.rowHeight[r]), bank);
            c.w(kOsdSrc, mem + x + ((pitch * uint32_t(y)) << 7), bank);
            c.w(kOsdMwi, uint32_t(g_osd_mwi), bank);
            c.w(kOsdCtrl, control, bank);
            colsLeft += OSD_WIN.colWidth[col];
        }
        rowsAbove += OSD_WIN.rowHeight[r];
    }
}

void c331_manage::set_scroll(int fd)
{
    calc_osd();
    Chip c(p_c331_drv, fd);
    int pw, ph;
    pictureSize(*this, &pw, &ph);
    auto pos = [](int v) { return std::max(0, v); };
    const int width = pos(pw - pos(PM_OSD_INPUT_OFFSET[0]) - pos(PM_OSD_INPUT_OFFSET[1]));
    const int height = PM_OSD_DATA_MODE == 1 ? OSD_WIN.VW
                                             : pos(ph - pos(PM_OSD_INPUT_OFFSET[2]) - pos(PM_OSD_INPUT_OFFSET[3]));
    const int mode = ((PM_OSD_SCROLL_MODE % 9) + 9) % 9;
    const uint32_t control = mode == 0 ? 0x80 : (uint32_t(mode - 1) * 16) | 0x81;
    int across, down;
    const int ports = portCount(*this, &across, &down);
    for (uint32_t ctl : {0u, control}) {
        for (int p = 0; p < ports; ++p) {
            c.w(kScrollSpeed, uint8_t(PM_OSD_SCROLL_SPEED), 16 * p);
            c.w(kScrollW, uint32_t(width), 16 * p);
            c.w(kScrollH, uint32_t(height), 16 * p);
            c.w(kScrollCtrl, ctl, 16 * p);
        }
    }
}

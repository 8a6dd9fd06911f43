// The simulated scaler chip's flash controller, chip memory and OSD memory
// engines.
#include "platform/c331_sim_osd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace platform {

// ---------------------------------------------------------------------------
// SparseMemory

uint8_t SparseMemory::get(uint64_t addr) const
{
    auto it = m_pages.find(addr / kPage);
    if (it == m_pages.end())
        return m_fill;
    return it->second.data ? it->second.data[addr % kPage] : it->second.uniform;
}

void SparseMemory::read(uint64_t addr, uint8_t* out, size_t n) const
{
    while (n > 0) {
        const uint64_t page = addr / kPage, at = addr % kPage;
        const size_t run = size_t(std::min<uint64_t>(n, kPage - at));
        auto it = m_pages.find(page);
        if (it == m_pages.end())
            std::memset(out, m_fill, run);
        else if (!it->second.data)
            std::memset(out, it->second.uniform, run);
        else
            std::memcpy(out, it->second.data.get() + at, run);
        addr += run;
        out += run;
        n -= run;
    }
}

uint8_t* SparseMemory::materialise(uint64_t page)
{
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        Page p;
        p.data = simpages::page();
        std::memset(p.data.get(), m_fill, kPage);
        return m_pages.emplace(page, std::move(p)).first->second.data.get();
    }
    if (!it->second.data) {
        it->second.data = simpages::page();
        std::memset(it->second.data.get(), it->second.uniform, kPage);
    }
    return it->second.data.get();
}

void SparseMemory::setUniform(uint64_t page, uint8_t value)
{
    if (value == m_fill) {
        m_pages.erase(page);
        return;
    }
    Page& p = m_pages[page];
    p.data.reset();
    p.uniform = value;
}

void SparseMemory::write(uint64_t addr, const uint8_t* in, size_t n)
{
    while (n > 0) {
        const uint64_t page = addr / kPage, at = addr % kPage;
        const size_t run = size_t(std::min<uint64_t>(n, kPage - at));
        std::memcpy(materialise(page) + at, in, run);
        addr += run;
        in += run;
        n -= run;
    }
}

size_t SparseMemory::andWrite(uint64_t addr, const uint8_t* in, size_t n)
{
    size_t lost = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t* p = materialise((addr + i) / kPage) + (addr + i) % kPage;
        if ((*p & in[i]) != in[i])
            ++lost;
        *p &= in[i];
    }
    return lost;
}

void SparseMemory::fill(uint64_t addr, size_t n, uint8_t value)
{
    while (n > 0) {
        const uint64_t page = addr / kPage, at = addr % kPage;
        const size_t run = size_t(std::min<uint64_t>(n, kPage - at));
        if (at == 0 && run == kPage)
            setUniform(page, value);
        else
            std::memset(materialise(page) + at, value, run);
        addr += run;
        n -= run;
    }
}

bool SparseMemory::uniformRun(uint64_t addr, size_t n, uint8_t* value) const
{
    bool first = true;
    uint8_t v = 0;
    while (n > 0) {
        const uint64_t page = addr / kPage, at = addr % kPage;
        const size_t run = size_t(std::min<uint64_t>(n, kPage - at));
        auto it = m_pages.find(page);
        uint8_t here;
        if (it == m_pages.end())
            here = m_fill;
        else if (!it->second.data)
            here = it->second.uniform;
        else
            return false;
        if (!first && here != v)
            return false;
        v = here;
        first = false;
        addr += run;
        n -= run;
    }
    *value = v;
    return true;
}

void SparseMemory::copyFrom(const SparseMemory& src, uint64_t srcAddr, uint64_t dstAddr, size_t n)
{
    std::vector<uint8_t> chunk(kPage);
    while (n > 0) {
        const uint64_t page = dstAddr / kPage, at = dstAddr % kPage;
        const size_t run = size_t(std::min<uint64_t>(n, kPage - at));
        uint8_t v;
        // Erased flash copies into whole pages without touching a byte.
        if (at == 0 && run == kPage && src.uniformRun(srcAddr, run, &v)) {
            setUniform(page, v);
        } else {
            src.read(srcAddr, chunk.data(), run);
            std::memcpy(materialise(page) + at, chunk.data(), run);
        }
        srcAddr += run;
        dstAddr += run;
        n -= run;
    }
}

// ---------------------------------------------------------------------------
// Registers of the flash controller and the engines

namespace {
constexpr int kBank = 0x04;
constexpr int kEngineStart = 0x08;
constexpr int kFillValue = 0x0B;
constexpr int kSource = 0x0D;
constexpr int kDest = 0x11;
constexpr int kDstPitch = 0x1B;
constexpr int kSrcPitch = 0x1C;
constexpr int kWidth = 0x1E;
constexpr int kHeight = 0x20;
constexpr int kCharCount = 0x24;
constexpr int kFrame = 0x27;   // 16-bit: command framing; DMA target 1 destination
constexpr int kCommand = 0x29;
constexpr int kFontSelect = 0x2A;
constexpr int kMode = 0x47;
constexpr int kTrigger = 0x48;
constexpr int kProgramOp = 0x49;
constexpr int kReadOp = 0x4A;
constexpr int kEraseOp = 0x4B;
constexpr int kWrenOp = 0x4C;
constexpr int kAddress = 0x4E; // 4 bytes, complete when 0x51 is written
constexpr int kData = 0x52;
constexpr int kDataCtl = 0x53;
constexpr int kDmaLength = 0x56;
constexpr int kDmaTarget = 0x5A;
constexpr int kAccess = 0x5F;
constexpr int kOsdBank = 0x09;
constexpr int kPaletteIndex = 0x1F;
constexpr int kPaletteData = 0x20;
constexpr uint16_t kCommandFrame = 2560;
constexpr size_t kMaxRecords = 100000;
constexpr size_t kMaxQueue = 1u << 16;

uint32_t le(const uint8_t* p, int n)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

template <class T>
void keep(std::vector<T>& records)
{
    if (records.size() > kMaxRecords)
        records.erase(records.begin(), records.begin() + long(kMaxRecords / 2));
}

uint32_t glyphCode(uint16_t glyph) { return glyph < 96 ? 0x20u + glyph : 0x4E00u + (glyph - 96u); }

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Where address a lies relative to `base` on lines `pitch` bytes apart:
// line y (may be negative) and column x in [0, pitch).
void rel(int64_t a, int64_t base, uint32_t pitch, int64_t* x, int64_t* y)
{
    const int64_t d = a - base, p = int64_t(pitch);
    const int64_t row = d >= 0 ? d / p : -((-d + p - 1) / p);
    *y = row;
    *x = d - row * p;
}

// Top-left of an item relative to `base`: an item that reaches past the end
// of the line it seems to start on starts left of the base column instead.
void itemAt(const SimScalerMemory::Item& it, int64_t base, int64_t* x, int64_t* y)
{
    rel(it.addr, base, it.pitch, x, y);
    if (*x + it.w > int64_t(it.pitch)) {
        *x -= int64_t(it.pitch);
        *y += 1;
    }
}
} // namespace

void SimScalerMemory::reset()
{
    m_flash.clear();
    m_mem.clear();
    m_address = 0;
    m_queue.clear();
    m_reading = false;
    m_readPtr = m_readCount = m_readStart = 0;
    m_commands.clear();
    m_cellByte = 0;
    m_palettePos = 0;
    std::memset(m_palette, 0, sizeof m_palette);
    m_noVsync = false;
    clearRecords();
    m_items.clear();
}

void SimScalerMemory::clearRecords()
{
    m_flashOps.clear();
    m_dma.clear();
    m_jobs.clear();
    m_errors.clear();
}

void SimScalerMemory::error(const std::string& text)
{
    m_errors.push_back(text);
    keep(m_errors);
}

void SimScalerMemory::written(Regs& reg, int bank, int addr, uint8_t value)
{
    if (bank == kOsdBank) {
        if (addr == kPaletteIndex)
            m_palettePos = value * 3;
        else if (addr == kPaletteData)
            m_palette[(m_palettePos++) % int(sizeof m_palette)] = value;
        return;
    }
    if (bank != kBank)
        return;
    switch (addr) {
    case kAddress + 3: flashAddressSet(reg); break;
    case kData:
        if (m_queue.size() < kMaxQueue)
            m_queue.push_back(value);
        break;
    case kDataCtl:
        if (value & 1) {
            if (reg[kBank][kReadOp] != 0x0C || reg[kBank][kAccess] != 1) {
                error("flash read started without the read opcode and register access");
                break;
            }
            m_reading = true;
            m_readPtr = m_readStart = m_address;
            m_flashOps.push_back({FlashOp::Read, m_address, 0});
            keep(m_flashOps);
        }
        break;
    case kTrigger: trigger(reg, value); break;
    case kEngineStart:
        if (value >= 1 && value <= 3)
            engine(reg, value);
        break;
    case kCommand:
        if (le(&reg[kBank][kFrame], 2) == kCommandFrame) {
            m_cellByte = value;
            m_commands.clear();
        } else if (m_commands.size() < kMaxQueue) {
            m_commands.push_back(value);
        }
        break;
    default: break;
    }
}

bool SimScalerMemory::read(Regs& reg, int bank, int addr, uint8_t* out)
{
    if (bank != kBank || addr != kData)
        return false;
    if (!m_reading) {
        error("flash data port read before a read was started");
        *out = 0xFF;
        return true;
    }
    *out = m_flash.get(m_readPtr % kFlashSize);
    ++m_readPtr;
    for (auto it = m_flashOps.rbegin(); it != m_flashOps.rend(); ++it)
        if (it->kind == FlashOp::Read) {
            ++it->length;
            break;
        }
    return true;
}

void SimScalerMemory::flashAddressSet(Regs& reg)
{
    const uint32_t next = le(&reg[kBank][kAddress], 4);
    if (!m_queue.empty()) {
        const uint8_t* r = reg[kBank];
        if (r[kMode] != 0x31 || r[kAccess] != 1 || r[kProgramOp] != 0x12 || r[kWrenOp] != 0x06) {
            error("page program outside program mode");
        } else {
            // The page buffer wraps: bytes past the page's end land at its start.
            const uint32_t start = m_address % kFlashSize;
            const uint32_t page = start & ~0xFFu;
            FlashOp op{FlashOp::Program, start, uint32_t(m_queue.size())};
            op.crossesPage = (start & 0xFF) + m_queue.size() > 256;
            for (size_t i = 0; i < m_queue.size(); ++i) {
                const uint32_t at = page | ((start + uint32_t(i)) & 0xFF);
                op.unerased += uint32_t(m_flash.andWrite(at, &m_queue[i], 1));
            }
            m_flashOps.push_back(op);
            keep(m_flashOps);
        }
        m_queue.clear();
    }
    m_reading = false;
    m_address = next;
}

void SimScalerMemory::trigger(Regs& reg, uint8_t value)
{
    switch (value) {
    case 2:
        if (reg[kBank][kAccess] == 2)
            dma(reg);
        else
            error("trigger 2 without DMA access");
        break;
    case 4: erase(reg); break;
    case 5:
        m_flashOps.push_back({FlashOp::Command, m_address, reg[kBank][kEraseOp]});
        keep(m_flashOps);
        break;
    default: break;
    }
}

void SimScalerMemory::erase(Regs& reg)
{
    const uint8_t* r = reg[kBank];
    if (r[kMode] != 0x01 || r[kAccess] != 1 || r[kWrenOp] != 0x06) {
        error("erase outside erase mode");
        return;
    }
    uint32_t size;
    switch (r[kEraseOp]) {
    case 0x20: size = 4096; break;
    case 0x52: size = 32768; break;
    case 0xD8: size = 65536; break;
    default: error("erase with an unknown opcode"); return;
    }
    const uint32_t start = (m_address % kFlashSize) & ~(size - 1);
    m_flash.fill(start, size, 0xFF);
    m_flashOps.push_back({FlashOp::Erase, start, size});
    keep(m_flashOps);
}

void SimScalerMemory::dma(Regs& reg)
{
    const uint8_t* r = reg[kBank];
    const uint32_t word = le(&r[kDmaLength], 4);
    DmaJob job;
    job.flashAddr = m_address % kFlashSize;
    job.length = word & 0x7FFFFFFFu;
    job.target = r[kDmaTarget] & 0x0F;
    const uint8_t mode = job.target == 1 ? 0x37 : 0x33;
    if (r[kMode] != mode || !(word & 0x80000000u) || r[kReadOp] != 0x0C) {
        error("DMA without DMA mode, length flag or read opcode");
        return;
    }
    if (job.flashAddr + uint64_t(job.length) > kFlashSize) {
        error("DMA beyond the end of the flash");
        job.length = kFlashSize - job.flashAddr;
    }
    switch (job.target) {
    case 0:
        job.dest = le(&reg[kBank][kDest], 4);
        m_mem.copyFrom(m_flash, job.flashAddr, job.dest, job.length);
        break;
    case 1: job.dest = le(&reg[kBank][kFrame], 2); break;
    case 4: {
        job.dest = reg[kOsdBank][kPaletteIndex];
        const size_t at = job.dest * 3;
        for (size_t i = 0; i < job.length && at + i < sizeof m_palette; ++i)
            m_palette[at + i] = m_flash.get(job.flashAddr + i);
        break;
    }
    default: error("DMA to an unknown target"); break;
    }
    m_dma.push_back(job);
    keep(m_dma);
}

// ---------------------------------------------------------------------------
// 2D and character engines

void SimScalerMemory::dropCovered(int64_t addr, uint32_t pitch, int w, int h)
{
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [&](const Item& it) {
                                     if (it.pitch != pitch)
                                         return false;
                                     int64_t x, y;
                                     itemAt(it, addr, &x, &y);
                                     return x + it.cx >= 0 && y + it.cy >= 0 && x + it.cx + it.cw <= w &&
                                            y + it.cy + it.ch <= h;
                                 }),
                  m_items.end());
}

void SimScalerMemory::add(Item item)
{
    if (m_items.size() >= kMaxItems) {
        error("OSD memory holds too many drawn rectangles; the oldest are forgotten");
        m_items.erase(m_items.begin(), m_items.begin() + long(kMaxItems / 10));
    }
    m_items.push_back(item);
}

void SimScalerMemory::engine(Regs& reg, uint8_t kind)
{
    const uint8_t* r = reg[kBank];
    EngineJob job;
    job.kind = kind;
    job.src = le(&r[kSource], 4);
    job.dst = le(&r[kDest], 4);
    job.width = int(le(&r[kWidth], 2)) + 1;
    job.height = int(le(&r[kHeight], 2)) + 1;
    job.srcPitch = r[kSrcPitch];
    job.dstPitch = r[kDstPitch];
    job.fill = int(le(&r[kFillValue], 2));
    if (kind == 3) {
        characters(reg, job);
    } else if (job.dstPitch == 0 || (kind == 2 && job.srcPitch == 0)) {
        error("2D engine job without a line pitch");
    } else {
        const uint32_t pd = uint32_t(job.dstPitch) * 128;
        if (kind == 1) {
            dropCovered(job.dst, pd, job.width, job.height);
            Item f{Item::Fill, pd, job.dst, job.width, job.height, 0, 0, job.width, job.height};
            f.value = uint8_t(job.fill);
            add(f);
        } else {
            const uint32_t ps = uint32_t(job.srcPitch) * 128;
            std::vector<Item> moved;
            for (const Item& it : m_items) {
                if (it.pitch != ps)
                    continue;
                // The part of the item's visible rectangle inside the source.
                int64_t ix, iy;
                itemAt(it, job.src, &ix, &iy);
                const int64_t x0 = std::max<int64_t>(ix + it.cx, 0), y0 = std::max<int64_t>(iy + it.cy, 0);
                const int64_t x1 = std::min<int64_t>(ix + it.cx + it.cw, job.width);
                const int64_t y1 = std::min<int64_t>(iy + it.cy + it.ch, job.height);
                if (x0 >= x1 || y0 >= y1)
                    continue;
                Item c = it;
                c.pitch = pd;
                c.addr = int64_t(job.dst) + iy * int64_t(pd) + ix;
                c.cx = int(x0 - ix);
                c.cy = int(y0 - iy);
                c.cw = int(x1 - x0);
                c.ch = int(y1 - y0);
                moved.push_back(c);
            }
            dropCovered(job.dst, pd, job.width, job.height);
            if (moved.empty()) {
                // Nothing drawn there: the copy takes chip memory as it is.
                Item b{Item::Blit, pd, job.dst, job.width, job.height, 0, 0, job.width, job.height};
                b.blitSrc = job.src;
                b.blitPitch = ps;
                add(b);
            }
            for (const Item& c : moved)
                add(c);
        }
    }
    m_jobs.push_back(std::move(job));
    keep(m_jobs);
}

void SimScalerMemory::characters(Regs& reg, EngineJob& job)
{
    const uint8_t* r = reg[kBank];
    const int cell = r[kFontSelect] == 72 ? 64 : 32;
    if (r[kFontSelect] != 72 && r[kFontSelect] != 8)
        error("character job without a font size");
    const size_t count = size_t(r[kCharCount]) + 1;
    const size_t chars = std::min(count, m_commands.size() / 5);
    if (chars < count)
        error("character job with fewer characters queued than counted");
    if (job.dstPitch == 0) {
        error("character job without a line pitch");
        m_commands.clear();
        return;
    }
    const uint32_t pd = uint32_t(job.dstPitch) * 128;
    std::vector<Item> glyphs;
    int64_t x = 0;
    for (size_t i = 0; i < chars; ++i) {
        const uint8_t* c = &m_commands[5 * i];
        Item g{Item::Glyph, pd, int64_t(job.dst) + x, 0, cell};
        g.glyph = uint16_t(c[0] | (c[1] << 8));
        g.fg = c[2];
        g.bg = c[3];
        g.wide = (c[4] & 0x80) != 0;
        g.w = ((c[4] & 0x7F) + 1) * (g.wide ? 2 : 1);
        g.cell = cell;
        g.font = job.src;
        g.cw = g.w;
        g.ch = g.h;
        x += g.w;
        glyphs.push_back(g);
        job.glyphs.push_back(g.glyph);
    }
    dropCovered(job.dst, pd, int(x), cell);
    for (const Item& g : glyphs)
        add(g);
    m_commands.clear();
}

// ---------------------------------------------------------------------------
// Reading back

void SimScalerMemory::flashLoad(uint32_t addr, const std::vector<uint8_t>& bytes)
{
    m_flash.write(addr % kFlashSize, bytes.data(), std::min<size_t>(bytes.size(), kFlashSize - addr % kFlashSize));
}

std::vector<uint8_t> SimScalerMemory::flashRead(uint32_t addr, size_t n) const
{
    std::vector<uint8_t> out(n);
    m_flash.read(addr % kFlashSize, out.data(), n);
    return out;
}

std::vector<uint8_t> SimScalerMemory::memory(uint64_t addr, size_t n) const
{
    std::vector<uint8_t> out(n);
    m_mem.read(addr, out.data(), n);
    return out;
}

uint32_t SimScalerMemory::palette(int entry) const
{
    if (entry < 0 || entry > 255)
        return 0;
    const uint8_t* p = &m_palette[entry * 3];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

uint8_t SimScalerMemory::pixel(int64_t addr) const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        const Item& i = *it;
        int64_t px, py;
        rel(addr, i.addr, i.pitch, &px, &py);
        if (px < i.cx || py < i.cy || px >= i.cx + i.cw || py >= i.cy + i.ch)
            continue;
        switch (i.kind) {
        case Item::Fill: return i.value;
        case Item::Blit: return m_mem.get(i.blitSrc + uint64_t(py) * i.blitPitch + uint64_t(px));
        case Item::Glyph: {
            const int64_t col = i.wide ? px / 2 : px;
            const uint64_t base = i.font + uint64_t(i.glyph) * uint64_t(i.cell * i.cell / 8);
            const uint8_t bits = m_mem.get(base + uint64_t(py) * uint64_t(i.cell / 8) + uint64_t(col / 8));
            return (bits & (0x80 >> (col % 8))) ? i.fg : i.bg;
        }
        }
    }
    return 0;
}

std::vector<SimScalerMemory::OsdPort> SimScalerMemory::osdPorts(const Regs& reg) const
{
    std::vector<OsdPort> ports;
    for (int c = 0; c < 8; ++c) {
        const uint8_t* r = reg[kOsdBank + 16 * c];
        OsdPort p;
        p.channel = c;
        p.control = uint16_t(le(&r[0x08], 2));
        p.hst = int(le(&r[0x12], 2));
        p.hw = int(le(&r[0x14], 2));
        p.vst = int(le(&r[0x16], 2));
        p.vw = int(le(&r[0x18], 2));
        p.source = le(&r[0x1A], 4);
        p.mwi = r[0x1E];
        p.pitch = uint32_t(p.mwi) * 128 * ((p.control & 0x2000) ? 4 : 1);
        p.hzoom = (p.control & 0x1000) != 0;
        p.vzoom = (p.control & 0x0800) != 0;
        p.shown = (p.control & 0x3) != 0 && p.hw > 0 && p.vw > 0 && p.pitch > 0;
        p.scrollControl = r[0x3C];
        p.scrollSpeed = int8_t(r[0x3D]);
        p.scrollWidth = int(le(&r[0x40], 2));
        p.scrollHeight = int(le(&r[0x42], 2));
        ports.push_back(p);
    }
    return ports;
}

bool SimScalerMemory::shownRect(const Regs& reg, int64_t* addr, uint32_t* pitch, int* w, int* h) const
{
    bool any = false;
    int64_t base = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const OsdPort& p : osdPorts(reg)) {
        if (!p.shown || (any && p.pitch != *pitch))
            continue;
        if (!any) {
            *pitch = p.pitch;
            base = p.source;
            any = true;
        }
        int64_t sx, sy;
        rel(p.source, base, p.pitch, &sx, &sy);
        const int64_t ex = sx + p.hw / (p.hzoom ? 2 : 1), ey = sy + p.vw / (p.vzoom ? 2 : 1);
        x0 = std::min(x0, sx), y0 = std::min(y0, sy), x1 = std::max(x1, ex), y1 = std::max(y1, ey);
    }
    if (any) {
        *addr = base + y0 * int64_t(*pitch) + x0;
        *w = int(x1 - x0);
        *h = int(y1 - y0);
    }
    return any;
}

std::vector<SimScalerMemory::TextLine> SimScalerMemory::linesIn(int64_t addr, uint32_t pitch, int w, int h) const
{
    // Glyphs whose top-left corner is visible inside the rectangle, by line.
    std::map<int64_t, std::map<int64_t, const Item*>> rows;
    for (const Item& i : m_items) {
        if (i.kind != Item::Glyph || i.pitch != pitch || i.cx != 0 || i.cy != 0 || i.cw <= 0 || i.ch <= 0)
            continue;
        int64_t x, y;
        itemAt(i, addr, &x, &y);
        if (x >= 0 && y >= 0 && x < w && y < h)
            rows[y][x] = &i;
    }
    std::vector<TextLine> out;
    for (const auto& row : rows) {
        TextLine line;
        line.y = row.first;
        line.x = row.second.begin()->first;
        for (const auto& g : row.second) {
            appendUtf8(line.text, glyphCode(g.second->glyph));
            line.w = int(g.first + g.second->w - line.x);
            line.h = std::max(line.h, g.second->h);
        }
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> SimScalerMemory::textsIn(int64_t addr, uint32_t pitch, int w, int h) const
{
    std::vector<std::string> out;
    for (const TextLine& line : linesIn(addr, pitch, w, h))
        out.push_back(line.text);
    return out;
}

} // namespace platform

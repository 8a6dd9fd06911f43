// The simulated scaler chip: frame decoder, register file, status bits and
// the journal of register writes.
#include "platform/c331_sim.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "fpga/fpga_pads.h"
#include "platform/i2c.h"
#include "platform/platform.h"

namespace platform {

namespace {
constexpr uint8_t kWriteBit = 0x80;
constexpr uint32_t kWriteHz = 10000000;
constexpr uint32_t kReadHz = 5000000;

// Status registers the software polls: bank, address.
constexpr int kFlashBank = 0x04;
constexpr int kEngineBusy = 0x17;   // bit 0: 2D engine busy
constexpr int kFlashDataCtl = 0x53; // bit 5 write queue empty, bit 7 read pending
constexpr int kFlashStatus = 0x54;  // bit 0 DMA busy, bit 1 write busy, bit 3 erase busy
constexpr int kFlashRdsr = 0x55;    // bit 0 WIP, bit 1 WEL
constexpr int kSyncBank = 0x05;
constexpr int kInputVsync = 0x22;
constexpr int kOutputVsync = 0x2E;
constexpr int kFieldBank = 0xA8;    // 0x3F + 5 * input channel: field counter
constexpr int kIdBank = 0xB2;
constexpr int kIdAddr = 0x08;
// Register-update timing: bit 0 of bank 0 address 0x29 opens the table,
// address 0x22 holds 0x99 in normal operation and 0xFF while updates wait.
constexpr int kRtctOpen = 0x29;
constexpr int kRtctFirst = 0x22;
constexpr uint8_t kRtctNormal = 0x99;
constexpr uint8_t kLatch = 0x80;    // bank 0 address 0x29 bit 7: measurement latch

// Measurement registers.
constexpr int kMeasureBank = 0xAE;
constexpr int kWidthBank = 0xAF;
constexpr int kLockBank = 0xB2;
constexpr int kLockAddr = 0x63;     // bit 5 + 2q: V-by-One receiver q locked
constexpr int kSelectAddr = 0x10;   // bank 0, + input channel: the channel's port select
constexpr uint32_t kNoLine = 0xFFFF, kNoFrame = 0xFFFFFF;
constexpr uint64_t kRefKHz = 200000; // the measurement clock

// The source whose receiver drives each port; -1 not wired.
constexpr const int* kPortSource = c331screen::kPortInput;
// OSD port of output channel 0: its scroll control.
constexpr int kOsdBank = 0x09;
constexpr int kOsdScrollControl = 0x3C;

int bankOf(uint32_t code, int offset) { return int((code >> 16) & 0xFF) + offset; }
int addrOf(uint32_t code) { return int((code >> 8) & 0xFF); }
int countOf(uint32_t code) { return int(code & 0xFF); }
} // namespace

SimScalerChip& simScaler()
{
    static SimScalerChip instance;
    return instance;
}

void SimScalerChip::transfer(const std::string&, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz)
{
    // Checks against the bus come first: the model's lock is never held
    // while it calls back into the bus.
    SimSpiBus& bus = simSpiBus();
    for (int f = 0; f < 2; ++f)
        if (bus.pad(fpga_pads::kSelect[f]) != fpga_pads::kPadHigh)
            bus.busError("scaler frame while FPGA " + std::to_string(f) + " is selected");
    if (len != 2)
        bus.busError("scaler frame of " + std::to_string(len) + " bytes");
    bool write = (tx[0] & kWriteBit) != 0;
    if (write && (rx || speedHz != kWriteHz))
        bus.busError("scaler write not sent write-only at 10 MHz");
    if (!write && (!rx || speedHz != kReadHz))
        bus.busError("scaler read not sent full-duplex at 5 MHz");
    bool noBank;
    bool released = false, latched = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_absent || len != 2)
            return;
        ++m_frames;
        int addr = tx[0] & 0x7F;
        noBank = m_bank < 0 && !(write && addr == 0);
        int bank = m_bank < 0 ? 0 : m_bank;
        if (write && addr == 0) {
            m_bank = tx[1];
            m_reg[m_bank][0] = tx[1];
            ++m_selects;
        } else if (write) {
            const uint8_t before = m_reg[bank][addr];
            m_reg[bank][addr] = tx[1];
            record(uint8_t(bank), uint8_t(addr), tx[1]);
            m_memory.written(m_reg, bank, addr, tx[1]);
            latched = bank == 0 && addr == kRtctOpen && !(before & kLatch) && (tx[1] & kLatch);
            // The timing table closed on normal timing: held updates show.
            // So does the OSD once it is set up (the scroll mode comes last).
            released = (bank == 0 && addr == kRtctOpen && (before & 1) && !(tx[1] & 1) &&
                        m_reg[0][kRtctFirst] == kRtctNormal) ||
                       (bank == kOsdBank && addr == kOsdScrollControl && (tx[1] & 0x80));
        } else {
            ++m_reads;
            if (rx)
                rx[1] = readByte(bank, addr);
        }
    }
    if (noBank)
        bus.busError("scaler register access before any bank select");
    if (latched)
        latchMeasurements();
    if (released)
        publishScreen();
}

SimScalerChip::PortFeed SimScalerChip::feedOf(const VideoTiming& t, int lanes)
{
    PortFeed f;
    f.signal = t.htotal && t.vtotal && t.pclkKHz;
    f.hact = t.hact;
    f.htotal = t.htotal;
    f.vact = t.vact;
    f.vtotal = t.vtotal;
    f.pclkKHz = t.pclkKHz;
    f.lanes = lanes;
    return f;
}

void SimScalerChip::setPortFeed(int port, const PortFeed& feed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (port < 0 || port >= kPorts)
        return;
    m_pinned[port] = true;
    m_pinnedFeed[port] = feed;
}

void SimScalerChip::clearPortFeeds()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int p = 0; p < kPorts; ++p)
        m_pinned[p] = m_pinnedRaw[p] = false;
}

void SimScalerChip::setPortCounters(int port, const Counters& counters)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (port < 0 || port >= kPorts)
        return;
    m_pinnedRaw[port] = true;
    m_pinnedCounters[port] = counters;
}

// Ticks of the measurement clock: line and frame (field) periods less one,
// as the counters stop; a frame longer than the counter reads as none.
SimScalerChip::Counters SimScalerChip::countersOf(const PortFeed& f)
{
    Counters c;
    if (!f.signal || !f.pclkKHz) {
        c.htt = c.vtt = c.fhw = kNoLine;
        c.fvm = kNoFrame;
        return c;
    }
    c.htt = f.htotal - 1;
    c.vtt = f.vtotal;
    c.fhw = uint32_t(std::min<uint64_t>(kNoLine, kRefKHz * f.htotal / f.pclkKHz - 1));
    const uint64_t ticks = (kRefKHz * f.htotal * f.vtotal + f.pclkKHz / 2) / f.pclkKHz;
    c.fvm = uint32_t(std::min<uint64_t>(kNoFrame, ticks - 1));
    c.hw = f.hact;
    return c;
}

SimScalerChip::PortFeed SimScalerChip::portFeed(int port) const
{
    if (port < 0 || port >= kPorts)
        return PortFeed();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pinned[port])
            return m_pinnedFeed[port];
    }
    const int source = kPortSource[port];
    VideoTiming t;
    uint8_t lanes = 0;
    if (source < 0 || !simI2c().feed(source, &t, &lanes))
        return PortFeed();
    return feedOf(t, lanes);
}

void SimScalerChip::latchMeasurements()
{
    PortFeed feeds[kPorts];
    for (int p = 0; p < kPorts; ++p)
        feeds[p] = portFeed(p);
    std::lock_guard<std::mutex> lock(m_mutex);
    writeMeasurements(feeds);
}

void SimScalerChip::writeMeasurements(const PortFeed* feeds)
{
    auto put = [this](int bank, int addr, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            m_reg[bank][(addr + i) & 0x7F] = uint8_t(v >> (8 * i));
    };
    for (int p = 0; p < kPorts; ++p) {
        const PortFeed& f = feeds[p];
        m_feed[p] = f;
        const Counters c = m_pinnedRaw[p] ? m_pinnedCounters[p] : countersOf(f);
        if (p < 4) {
            put(kMeasureBank, 0x08 + 2 * p, c.htt, 2);
            put(kMeasureBank, 0x20 + 2 * p, c.vtt, 2);
            put(kMeasureBank, 0x38 + 2 * p, c.fhw, 2);
            put(kMeasureBank, 0x50 + 3 * p, c.fvm, 3);
            put(kWidthBank, 0x08 + 2 * p, c.hw, 2);
            continue;
        }
        const int q = p - 4;
        put(kMeasureBank, 0x10 + 8 * q, c.htt, 2);
        put(kMeasureBank, 0x28 + 8 * q, c.vtt, 2);
        put(kWidthBank, 0x10 + 8 * q, c.hw, 2);
        // Lane pair i counts while lanes 2i (and 2i + 1) are in lock.
        for (int i = 0; i < 4; ++i) {
            const bool locked = f.lanes > 2 * i;
            put(kMeasureBank, 0x40 + 8 * q + 2 * i, locked ? c.fhw : kNoLine, 2);
            put(kMeasureBank, 0x5C + 12 * q + 3 * i, locked ? c.fvm : kNoFrame, 3);
        }
    }
    // Each input channel's field size, from the port it selects.
    for (int c = 0; c < 8; ++c) {
        const int s = m_reg[0][kSelectAddr + c];
        const int port = s < 8 ? ((s & 1) ? -1 : s / 2) : s < 12 ? 4 : s < 16 ? 5 : -1;
        const bool on = port >= 0 && feeds[port].signal;
        put(0xA8, 0x09 + 6 * c, on ? feeds[port].hact - 1 : kNoLine, 2);
        put(0xA8, 0x0B + 6 * c, on ? feeds[port].vact : kNoLine, 2);
    }
}

void SimScalerChip::publishScreen()
{
    LayoutSource source;
    std::vector<uint8_t> regs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_layoutSource)
            return;
        source = m_layoutSource;
    }
    c331screen::ScreenLayout layout;
    if (!source(&layout) || !layout.valid())
        return;
    regs = registerFile();
    const c331screen::RegisterFile file(regs.data());
    const c331screen::Composition screen = c331screen::decode(file, layout);
    const std::vector<c331screen::Overlay> overlays = osdOverlays(screen);
    std::string key = screen.describe();
    for (const c331screen::Overlay& o : overlays)
        key += "overlay " + std::to_string(o.rect.x) + "," + std::to_string(o.rect.y) + " " + std::to_string(o.rect.w) +
               "x" + std::to_string(o.rect.h) + " " + std::to_string(o.rgb) + "/" +
               (o.filled ? std::to_string(o.fill) : std::string("clear")) + " " + o.label + "\n";
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (key == m_lastScreen)
            return;
        m_lastScreen = key;
        ++m_screens;
    }
    // Written aside and renamed: a reader never sees half a file.
    const std::string regsPath = sysPath("/sim/scaler-registers.bin");
    {
        std::ofstream out(regsPath + ".new", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(regs.data()), std::streamsize(regs.size()));
    }
    std::rename((regsPath + ".new").c_str(), regsPath.c_str());
    const std::string picture = sysPath("/sim/screen.png");
    if (c331screen::writePicture(picture + ".new.png", screen, overlays))
        std::rename((picture + ".new.png").c_str(), picture.c_str());
}

void SimScalerChip::setScreenLayoutSource(LayoutSource source)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_layoutSource = std::move(source);
    m_lastScreen.clear();
}

std::vector<uint8_t> SimScalerChip::registerFile() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> out(c331screen::kRegisterFileBytes);
    for (int b = 0; b < 256; ++b)
        std::copy(m_reg[b], m_reg[b] + 128, out.begin() + b * 128);
    return out;
}

c331screen::Composition SimScalerChip::composition(const c331screen::ScreenLayout& layout) const
{
    const std::vector<uint8_t> regs = registerFile();
    return c331screen::decode(c331screen::RegisterFile(regs.data()), layout);
}

std::vector<c331screen::Overlay> SimScalerChip::osdOverlays(const c331screen::Composition& screen) const
{
    const std::vector<uint8_t> regs = registerFile();
    const std::vector<c331screen::OsdPortView> ports =
        c331screen::decodeOsdPorts(c331screen::RegisterFile(regs.data()), screen);
    if (ports.empty())
        return {};
    c331screen::Overlay osd;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Palette: 1 the background, 2 the characters; 255 (transparent) and
    // anything else drawn in the memory show the picture through.
    osd.rgb = m_memory.palette(2);
    osd.fill = m_memory.palette(1);
    for (const c331screen::OsdPortView& v : ports) {
        osd.rect = osd.rect.united(v.screen);
        osd.filled = osd.filled || m_memory.pixel(v.source) == 1;
        const int zx = v.hzoom ? 2 : 1, zy = v.vzoom ? 2 : 1;
        for (const SimScalerMemory::TextLine& t :
             m_memory.linesIn(v.source, v.pitch, v.window.w / zx, v.window.h / zy)) {
            c331screen::Overlay::Line line;
            line.rect = c331screen::Rect{v.window.x + int(t.x) * zx, v.window.y + int(t.y) * zy, t.w * zx, t.h * zy};
            line.text = t.text;
            osd.lines.push_back(line);
        }
    }
    for (const c331screen::Overlay::Line& line : osd.lines)
        osd.label += (osd.label.empty() ? "" : "\n") + line.text;
    if (osd.label.empty())
        osd.label = "OSD";
    return {osd};
}

uint64_t SimScalerChip::screensWritten() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_screens;
}

uint8_t SimScalerChip::readByte(int bank, int addr)
{
    uint8_t stored = m_reg[bank][addr];
    uint8_t streamed;
    if (m_memory.read(m_reg, bank, addr, &streamed))
        return streamed;
    if (bank == kIdBank && addr == kIdAddr) {
        ++m_idReads;
        if (m_everyOther && (m_idReads % 2) == 1)
            return 0;
        return kIdentity;
    }
    if (bank == kFlashBank) {
        switch (addr) {
        case kEngineBusy:
            return m_stuck ? uint8_t(stored | 0x01) : uint8_t(stored & ~0x01);
        case kFlashDataCtl:
            return m_stuck ? uint8_t((stored | 0x80) & ~0x20) : uint8_t((stored & ~0x80) | 0x20);
        case kFlashStatus:
            return m_stuck ? uint8_t(stored | 0x0B) : uint8_t(stored & ~0x0B);
        case kFlashRdsr:
            return m_stuck ? uint8_t(stored | 0x03) : uint8_t(stored & ~0x03);
        default:
            break;
        }
    }
    if (bank == kLockBank && addr == kLockAddr) {
        uint8_t v = uint8_t(stored & ~0xA0);
        for (int q = 0; q < 2; ++q)
            if (m_feed[4 + q].signal && m_feed[4 + q].lanes > 0)
                v = uint8_t(v | (0x20 << (2 * q)));
        return v;
    }
    if (bank == kSyncBank && (addr == kInputVsync || addr == kOutputVsync))
        return m_stuck || m_memory.noVsync() ? 0x00 : 0xFF;
    if (bank == kFieldBank && addr >= 0x3F && (addr - 0x3F) % 5 == 0 && (addr - 0x3F) / 5 < 8 && m_stuck)
        return 0x00;
    return stored;
}

void SimScalerChip::record(uint8_t bank, uint8_t addr, uint8_t value)
{
    Write w{m_seq++, bank, addr, value};
    if (m_journalLimit == 0)
        return;
    if (m_journal.size() < m_journalLimit) {
        m_journal.push_back(w);
        return;
    }
    m_journal[m_journalStart] = w;
    m_journalStart = (m_journalStart + 1) % m_journal.size();
}

void SimScalerChip::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& bank : m_reg)
        for (uint8_t& b : bank)
            b = 0;
    m_bank = -1;
    m_absent = m_everyOther = m_stuck = false;
    m_memory.reset();
    m_frames = m_reads = m_selects = m_idReads = 0;
    m_journal.clear();
    m_journalStart = 0;
    m_journalLimit = kDefaultJournal;
    m_seq = 0;
    m_layoutSource = nullptr;
    m_lastScreen.clear();
    m_screens = 0;
    for (int p = 0; p < kPorts; ++p) {
        m_feed[p] = PortFeed();
        m_pinned[p] = m_pinnedRaw[p] = false;
    }
}

void SimScalerChip::setAbsent(bool absent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_absent = absent;
}

void SimScalerChip::setIdentityEveryOther(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_everyOther = on;
}

void SimScalerChip::setStuckBusy(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stuck = on;
}

void SimScalerChip::setNoVsync(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_memory.setNoVsync(on);
}

uint8_t SimScalerChip::byte(int bank, int addr) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reg[bank & 0xFF][addr & 0x7F];
}

uint32_t SimScalerChip::value(uint32_t code, int bankOffset) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int bank = bankOf(code, bankOffset) & 0xFF;
    uint32_t v = 0;
    for (int i = 0; i < countOf(code) && i < 4; ++i)
        v |= uint32_t(m_reg[bank][(addrOf(code) + i) & 0x7F]) << (8 * i);
    return v;
}

void SimScalerChip::set(uint32_t code, uint32_t value, int bankOffset)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int bank = bankOf(code, bankOffset) & 0xFF;
    for (int i = 0; i < countOf(code) && i < 4; ++i)
        m_reg[bank][(addrOf(code) + i) & 0x7F] = uint8_t(value >> (8 * i));
}

uint64_t SimScalerChip::mark() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seq;
}

std::vector<SimScalerChip::Write> SimScalerChip::journal(uint64_t since) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Write> out;
    for (size_t i = 0; i < m_journal.size(); ++i) {
        const Write& w = m_journal[(m_journalStart + i) % m_journal.size()];
        if (w.seq >= since)
            out.push_back(w);
    }
    return out;
}

std::vector<uint32_t> SimScalerChip::writes(uint32_t code, int bankOffset, uint64_t since) const
{
    std::vector<Write> j = journal(since);
    const int bank = bankOf(code, bankOffset) & 0xFF;
    const int addr = addrOf(code);
    const int count = countOf(code);
    std::vector<uint32_t> out;
    for (size_t i = 0; i + size_t(count) <= j.size(); ++i) {
        uint32_t v = 0;
        bool whole = count > 0;
        for (int k = 0; k < count && whole; ++k) {
            const Write& w = j[i + size_t(k)];
            whole = w.bank == bank && w.addr == ((addr + k) & 0x7F) && (k == 0 || w.seq == j[i].seq + uint64_t(k));
            if (k < 4)
                v |= uint32_t(w.value) << (8 * k);
        }
        if (whole)
            out.push_back(v);
    }
    return out;
}

uint32_t SimScalerChip::lastWrite(uint32_t code, int bankOffset, uint64_t since, uint32_t otherwise) const
{
    std::vector<uint32_t> w = writes(code, bankOffset, since);
    return w.empty() ? otherwise : w.back();
}

void SimScalerChip::setJournalLimit(size_t limit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Write> kept;
    for (size_t i = 0; i < m_journal.size(); ++i)
        kept.push_back(m_journal[(m_journalStart + i) % m_journal.size()]);
    if (kept.size() > limit)
        kept.erase(kept.begin(), kept.end() - long(limit));
    m_journal = std::move(kept);
    m_journalStart = 0;
    m_journalLimit = limit;
}

void SimScalerChip::clearJournal()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_journal.clear();
    m_journalStart = 0;
}

uint64_t SimScalerChip::frames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames;
}

uint64_t SimScalerChip::readFrames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reads;
}

uint64_t SimScalerChip::bankSelects() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_selects;
}

uint64_t SimScalerChip::identityReads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_idReads;
}

// ---- serial flash, chip memory and OSD memory ----

void SimScalerChip::flashLoad(uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_memory.flashLoad(addr, bytes);
}

std::vector<uint8_t> SimScalerChip::flashContent(uint32_t addr, size_t n) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.flashRead(addr, n);
}

std::vector<SimScalerChip::FlashOp> SimScalerChip::flashOps() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.flashOps();
}

std::vector<SimScalerChip::DmaJob> SimScalerChip::dmaJobs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.dmaJobs();
}

std::vector<SimScalerChip::EngineJob> SimScalerChip::engineJobs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.engineJobs();
}

std::vector<std::string> SimScalerChip::memoryErrors() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.errors();
}

void SimScalerChip::clearMemoryRecords()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_memory.clearRecords();
}

std::vector<uint8_t> SimScalerChip::memory(uint32_t addr, size_t n) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.memory(addr, n);
}

std::vector<SimScalerChip::OsdPort> SimScalerChip::osdPorts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.osdPorts(m_reg);
}

std::vector<std::string> SimScalerChip::osdTexts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t addr = 0;
    uint32_t pitch = 0;
    int w = 0, h = 0;
    if (!m_memory.shownRect(m_reg, &addr, &pitch, &w, &h))
        return {};
    return m_memory.textsIn(addr, pitch, w, h);
}

std::vector<std::string> SimScalerChip::osdTextsAt(uint32_t addr, uint32_t pitch, int w, int h) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.textsIn(addr, pitch, w, h);
}

uint32_t SimScalerChip::osdPalette(int entry) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.palette(entry);
}

uint8_t SimScalerChip::osdPixel(uint32_t addr) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.pixel(addr);
}

std::vector<SimScalerChip::OsdItem> SimScalerChip::osdItems() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.items();
}

} // namespace platform

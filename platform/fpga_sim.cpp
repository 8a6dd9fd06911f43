// The simulated sending FPGAs: register engine, RAM banks, reset line,
// configuration flash and the port-pair plumbing of the receiving cards.
#include "platform/fpga_sim.h"

#include "fpga/fpga_pads.h"
#include "platform/sim_pages.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform {

namespace {
constexpr uint32_t kSector = 4096;
constexpr uint32_t kSectors = SimFpga::kFlashSize / kSector;
constexpr size_t kLogLimit = 8192;
// A flash sector and a RAM bank each fill one page of the simulation's memory.
static_assert(kSector == simpages::kPage && SimFpga::kRamSize == simpages::kPage, "one page each");

// Power-on version: function 0x01, built 2025-04-04 (BCD day, month, year).
constexpr uint8_t kVersion[4] = {0x01, 0x04, 0x04, 0x25};
// Register 40: every ageing check passes (DDR0, DDR1, DE, HS, VS).
constexpr uint8_t kAgeingAllPass = 0x1F;
// Links a host run starts with: ports 1-4 on FPGA 0, ports 11-12 on FPGA 1.
constexpr uint16_t kDefaultLinks[2] = {0x000F, 0x0003};

// Per pair: send RAM, register holding the length's low byte; its bits 8-9
// sit in register 27 (pairs 0-3) or 158 (pairs 4-7), two bits per pair.
constexpr uint8_t kSendLengthLow[SimFpga::kPairs] = {26, 134, 136, 138, 154, 155, 156, 157};
// Per receive slot: length registers (low byte, then the register holding
// bits 8-9 at 2·slot), receive RAM and ready bit.
constexpr uint8_t kRecvLengthLow[SimFpga::kReceiveSlots] = {24, 133, 135, 137, 149};

constexpr uint8_t kRegReady0 = 129;    // ready bits of slots 0-3 (even bits)
constexpr uint8_t kRegReady1 = 145;    // ready bit of slot 4 (bit 0)
constexpr uint8_t kRegStrobe0 = 130;   // low nibble: acknowledge slot k; high: start pair
constexpr uint8_t kRegStrobe1 = 146;
constexpr uint8_t kRegPortSel0 = 132;  // one bit per port 0-7
constexpr uint8_t kRegPortSel1 = 148;  // ports 8-15
constexpr uint8_t kRegLinks0 = 128;
constexpr uint8_t kRegLinks1 = 144;
constexpr uint8_t kRegStatus = 22;

std::string hex(uint32_t v)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", unsigned(v));
    return b;
}
} // namespace

struct SimFpga::State {
    // knobs
    bool configFails = false;
    bool step2Error = false;
    bool flashDead = false;
    unsigned bootDelay = 0;
    uint16_t links = 0;
    uint16_t measuredW = 1920, measuredH = 1080;
    uint32_t measuredPeriod = 833333;
    int busyReads = 3;

    // pad levels as last written
    bool selectLow = false;
    bool flashSelectLow = false;
    bool resetLow = false;

    // the open transaction
    Phase phase = Phase::Idle;
    bool ignore = false; // a broken command word: the rest is dropped
    bool read = false;
    int command = 0;
    int id = 0;
    uint32_t addr = 0;
    uint8_t mask = 0;

    // the chip
    unsigned bootLeft = 0;
    int resets = 0;
    uint8_t regs[kRegisters] = {};
    simpages::Page rams[256];

    // the flash
    simpages::Page sectors[kSectors];
    bool writeEnabled = false;
    int busyLeft = 0;
    bool streaming = false;
    uint32_t streamAddr = 0;

    // the receiving-card side
    SimFpgaPortPair* pairs[kPairs] = {};
    SimFpgaPortPair* defaultChain = nullptr;
    std::deque<std::vector<uint8_t>> answers[kReceiveSlots];
    bool presented[kReceiveSlots] = {};
    struct Held {
        int slot;
        int polls; // interrupt-pad reads still to go by
        std::vector<uint8_t> answer;
    };
    std::deque<Held> held;
    uint8_t sendBusy = 0;

    std::deque<Access> accesses;
    std::deque<FlashOp> flashOps;
    std::deque<SentFrame> sent;
};

SimFpga::SimFpga(int index) : m_index(index), m_s(new State)
{
    reset();
}

SimFpga::~SimFpga() = default;

std::string SimFpga::registerNode() const { return m_index == 0 ? "/dev/spidev32766.1" : "/dev/spidev32766.2"; }
std::string SimFpga::flashNode() const { return m_index == 0 ? "/dev/spidev32766.3" : "/dev/spidev32766.4"; }

void SimFpga::attach()
{
    SimSpiBus& bus = simSpiBus();
    bus.attach(registerNode(), this);
    bus.attach(flashNode(), this);
    bus.watchPad(fpga_pads::kSelect[m_index], this);
    bus.watchPad(fpga_pads::kFlashSelect[m_index], this);
    bus.watchPad(fpga_pads::kReset[m_index], this);
    bus.watchPad(fpga_pads::kInterrupt[m_index], this);
}

void SimFpga::error(const std::string& what) const
{
    simSpiBus().busError("FPGA " + std::to_string(m_index) + ": " + what);
}

// ---------------------------------------------------------------------------
// Power and pads

void SimFpga::reset()
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    State& s = *m_s;
    s.configFails = false;
    s.step2Error = false;
    s.flashDead = false;
    s.bootDelay = 0;
    s.links = kDefaultLinks[m_index];
    s.measuredW = 1920;
    s.measuredH = 1080;
    s.measuredPeriod = 833333;
    s.busyReads = 3;
    s.selectLow = s.flashSelectLow = s.resetLow = false;
    for (auto& sector : s.sectors)
        sector.reset();
    s.writeEnabled = false;
    s.busyLeft = 0;
    s.streaming = false;
    for (auto& p : s.pairs)
        p = s.defaultChain;
    if (s.defaultChain)
        s.defaultChain->reset();
    s.sendBusy = 0;
    s.resets = 0;
    s.accesses.clear();
    s.flashOps.clear();
    s.sent.clear();
    powerOn();
}

void SimFpga::powerOn()
{
    State& s = *m_s;
    std::memset(s.regs, 0, sizeof s.regs);
    std::memcpy(s.regs + 28, kVersion, sizeof kVersion);
    s.regs[40] = kAgeingAllPass;
    for (auto& r : s.rams)
        r.reset();
    for (int k = 0; k < kReceiveSlots; ++k) {
        s.answers[k].clear();
        s.presented[k] = false;
    }
    s.held.clear();
    s.phase = Phase::Idle;
    s.bootLeft = s.bootDelay;
    updateInterrupt();
}

bool SimFpga::alive() const { return !m_s->resetLow && !m_s->configFails && m_s->bootLeft == 0; }

bool SimFpga::configured() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return alive();
}

void SimFpga::padWritten(uint32_t offset, uint16_t value)
{
    State& s = *m_s;
    bool low = value == 0;
    if (offset == fpga_pads::kSelect[m_index]) {
        if (low && !s.selectLow) {
            s.phase = Phase::Command;
            s.ignore = false;
        } else if (!low && s.selectLow) {
            if (s.phase != Phase::Idle && s.bootLeft > 0 && !s.resetLow)
                --s.bootLeft;
            s.phase = Phase::Idle;
            s.streaming = false;
            presentAnswers();
        }
        s.selectLow = low;
    } else if (offset == fpga_pads::kFlashSelect[m_index]) {
        if (!low)
            s.streaming = false;
        s.flashSelectLow = low;
    } else if (offset == fpga_pads::kReset[m_index]) {
        if (low && !s.resetLow) {
            s.resetLow = true;
            updateInterrupt();
        } else if (!low && s.resetLow) {
            s.resetLow = false;
            ++s.resets;
            powerOn();
        }
    }
}

// ---------------------------------------------------------------------------
// Transfers

void SimFpga::transfer(const std::string& node, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t)
{
    State& s = *m_s;
    if (!s.selectLow) {
        error("transfer on " + node + " with no select low");
        return;
    }
    if (simSpiBus().pad(fpga_pads::kSelect[1 - m_index]) == 0)
        error("transfer on " + node + " with both FPGAs selected");
    if (node == flashNode()) {
        if (!s.flashSelectLow) {
            error("transfer on " + node + " with the flash not selected");
            return;
        }
        flashTransfer(tx, rx, len);
        return;
    }
    if (s.flashSelectLow) {
        error("register transfer on " + node + " while the flash is selected");
        return;
    }
    registerTransfer(tx, rx, len);
}

void SimFpga::registerTransfer(const uint8_t* tx, uint8_t* rx, uint32_t len)
{
    State& s = *m_s;
    bool commandHigh = simSpiBus().pad(fpga_pads::kCommand[m_index]) != 0;
    if (s.ignore || s.phase == Phase::Idle)
        return;
    if (s.phase == Phase::Command) {
        if (!commandHigh)
            error("command word sent with the command line low");
        if (len != 4) {
            error("command word of " + std::to_string(len) + " bytes");
            s.ignore = true;
            return;
        }
        uint32_t w = uint32_t(tx[0]) | uint32_t(tx[1]) << 8 | uint32_t(tx[2]) << 16 | uint32_t(tx[3]) << 24;
        s.read = w & 1;
        s.command = (w >> 1) & 0xF;
        if (s.command == 1) {
            s.id = (w >> 8) & 0xFF;
            s.addr = (w >> 16) & 0xFFF;
        } else if (s.command == 2) {
            s.id = (w >> 16) & 0xFF;
            s.mask = uint8_t(w >> 24);
        } else {
            error("unknown command word " + hex(w));
            s.ignore = true;
            return;
        }
        s.phase = Phase::Data;
        return;
    }
    if (commandHigh) {
        error("data sent with the command line high");
        return;
    }
    if (!alive()) {
        // An unconfigured FPGA leaves its output low.
        if (rx)
            std::memset(rx, 0, len);
        return;
    }
    // The access log serves tests; a long run keeps none and builds none.
    const bool logging = simSpiBus().journalLimit() != 0;
    Access a;
    a.id = uint8_t(s.id);
    if (s.command == 2) {
        if (len != 1)
            error("register data of " + std::to_string(len) + " bytes");
        if (s.read) {
            if ((s.id == kRegLinks0 || s.id == kRegLinks1) && s.defaultChain)
                s.defaultChain->refresh(*this);
            uint8_t v = readReg(s.id);
            if (rx)
                rx[0] = v;
            a.kind = Access::RegRead;
            if (logging)
                a.data = {v};
        } else {
            a.kind = Access::RegWrite;
            a.mask = s.mask;
            if (logging) {
                a.data = {tx[0]};
                logAccess(std::move(a));
            }
            writeReg(s.id, tx[0], s.mask);
            return;
        }
    } else {
        a.kind = s.read ? Access::RamRead : Access::RamWrite;
        a.addr = uint16_t(s.addr);
        uint8_t* bank = ramBank(s.id);
        for (uint32_t i = 0; i < len; ++i) {
            if (s.read) {
                uint8_t v = ramByte(s.id, s.addr);
                if (rx)
                    rx[i] = v;
                if (logging)
                    a.data.push_back(v);
            } else {
                bank[s.addr] = tx[i];
                if (logging)
                    a.data.push_back(tx[i]);
            }
            s.addr = (s.addr + 1) & (kRamSize - 1);
        }
    }
    if (logging)
        logAccess(std::move(a));
}

void SimFpga::logAccess(Access&& a)
{
    if (simSpiBus().journalLimit() == 0)
        return;
    if (m_s->accesses.size() >= kLogLimit)
        m_s->accesses.pop_front();
    m_s->accesses.push_back(std::move(a));
}

// ---------------------------------------------------------------------------
// Registers

uint8_t SimFpga::readReg(int r) const
{
    const State& s = *m_s;
    switch (r) {
    case kRegStatus: {
        uint8_t v = s.regs[r] & uint8_t(~(0x08 | 0x10 | 0x80));
        if ((s.regs[3] & 0x40) && s.step2Error)
            v |= 0x08;
        if (s.regs[3] & 0x80)
            v |= 0x10;
        if ((s.regs[23] & 0x01) && s.measuredPeriod != 0)
            v |= 0x80;
        return v;
    }
    case kRegLinks0:
        return uint8_t(s.links);
    case kRegLinks1:
        return uint8_t(s.links >> 8);
    case kRegReady0: {
        uint8_t v = 0;
        for (int k = 0; k < 4; ++k) {
            if (s.presented[k])
                v |= uint8_t(1u << (2 * k));
            if (s.sendBusy & (1u << k))
                v |= uint8_t(2u << (2 * k));
        }
        return v;
    }
    case kRegReady1: {
        uint8_t v = s.presented[4] ? 1 : 0;
        for (int k = 0; k < 4; ++k)
            if (s.sendBusy & (0x10u << k))
                v |= uint8_t(2u << (2 * k));
        return v;
    }
    default:
        return s.regs[r];
    }
}

void SimFpga::writeReg(int r, uint8_t value, uint8_t mask)
{
    State& s = *m_s;
    if (r == kRegLinks0 || r == kRegLinks1 || r == kRegReady0 || r == kRegReady1)
        return; // inputs of the FPGA
    s.regs[r] = uint8_t((s.regs[r] & ~mask) | (value & mask));
    if (r == kRegStrobe0 || r == kRegStrobe1) {
        // Strobes: acknowledge a receive slot (low nibble), start a send
        // pair (high nibble); they read back as 0.
        uint8_t v = s.regs[r];
        s.regs[r] = 0;
        int base = r == kRegStrobe0 ? 0 : 4;
        for (int k = 0; k < 4; ++k) {
            if ((v & (1u << k)) && base + k < kReceiveSlots)
                acknowledge(base + k);
            if (v & (0x10u << k))
                startPair(base + k);
        }
    }
    if (r == kRegStatus)
        updateInterrupt();
}

uint8_t SimFpga::reg(int r) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (r < 0 || r >= kRegisters)
        return 0;
    return alive() ? readReg(r) : 0;
}

void SimFpga::setReg(int r, uint8_t value)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (r >= 0 && r < kRegisters)
        m_s->regs[r] = value;
    updateInterrupt();
}

// ---------------------------------------------------------------------------
// RAM

uint8_t* SimFpga::ramBank(int id)
{
    auto& bank = m_s->rams[id & 0xFF];
    if (!bank) {
        bank = simpages::page();
        std::memset(bank.get(), 0, kRamSize);
    }
    return bank.get();
}

uint8_t SimFpga::ramByte(int id, uint32_t addr) const
{
    const State& s = *m_s;
    addr &= kRamSize - 1;
    if (id == 1 && addr >= 116 && addr < 124) {
        uint8_t m[8];
        m[0] = uint8_t(s.measuredW);
        m[1] = uint8_t(s.measuredW >> 8);
        m[2] = uint8_t(s.measuredH);
        m[3] = uint8_t(s.measuredH >> 8);
        for (int i = 0; i < 4; ++i)
            m[4 + i] = uint8_t(s.measuredPeriod >> (8 * i));
        return m[addr - 116];
    }
    const auto& bank = s.rams[id & 0xFF];
    return bank ? bank[addr] : 0;
}

std::vector<uint8_t> SimFpga::ram(int id, uint32_t addr, uint32_t len) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < len; ++i)
        out.push_back(ramByte(id, addr + i));
    return out;
}

void SimFpga::pokeRam(int id, uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    uint8_t* bank = ramBank(id);
    for (size_t i = 0; i < bytes.size(); ++i)
        bank[(addr + i) & (kRamSize - 1)] = bytes[i];
}

// ---------------------------------------------------------------------------
// Flash

uint8_t SimFpga::flashByte(uint32_t addr) const
{
    addr &= kFlashSize - 1;
    const auto& sector = m_s->sectors[addr / kSector];
    return sector ? sector[addr % kSector] : 0xFF;
}

void SimFpga::flashProgram(uint32_t addr, const uint8_t* data, uint32_t len)
{
    // A page program stays inside its 256-byte page: bytes beyond its end
    // wrap to the page's start. Programming only clears bits.
    uint32_t page = addr & ~0xFFu & (kFlashSize - 1);
    for (uint32_t i = 0; i < len; ++i) {
        uint32_t a = page | ((addr + i) & 0xFF);
        auto& sector = m_s->sectors[a / kSector];
        if (!sector) {
            sector = simpages::page();
            std::memset(sector.get(), 0xFF, kSector);
        }
        sector[a % kSector] &= data[i];
    }
}

void SimFpga::flashErase(uint32_t addr, uint32_t size)
{
    uint32_t start = addr & ~(size - 1) & (kFlashSize - 1);
    for (uint32_t a = start; a < start + size; a += kSector)
        m_s->sectors[a / kSector].reset();
}

void SimFpga::flashTransfer(const uint8_t* tx, uint8_t* rx, uint32_t len)
{
    State& s = *m_s;
    if (s.streaming) {
        for (uint32_t i = 0; i < len; ++i)
            if (rx)
                rx[i] = flashByte(s.streamAddr + i);
        s.streamAddr = (s.streamAddr + len) & (kFlashSize - 1);
        if (!s.flashOps.empty() && s.flashOps.back().kind == FlashOp::Read)
            s.flashOps.back().length += len;
        return;
    }
    uint8_t op = tx[0];
    bool busy = s.flashDead || s.busyLeft > 0;
    if (op == 0x05) {
        uint8_t status = uint8_t((busy ? 1 : 0) | (s.writeEnabled ? 2 : 0));
        if (rx)
            for (uint32_t i = 1; i < len; ++i)
                rx[i] = status;
        if (!s.flashDead && s.busyLeft > 0)
            --s.busyLeft;
        return;
    }
    if (busy) {
        error("flash command " + hex(op) + " while the flash is busy");
        return;
    }
    uint32_t addr = len >= 4 ? (uint32_t(tx[1]) << 16 | uint32_t(tx[2]) << 8 | tx[3]) : 0;
    auto logOp = [&](FlashOp::Kind kind, uint32_t a, uint32_t n) {
        if (s.flashOps.size() >= kLogLimit)
            s.flashOps.pop_front();
        s.flashOps.push_back({kind, a, n});
    };
    switch (op) {
    case 0x06:
        s.writeEnabled = true;
        return;
    case 0x04:
        s.writeEnabled = false;
        return;
    case 0x0B:
        if (len < 5) {
            error("fast read without its address and dummy byte");
            return;
        }
        for (uint32_t i = 5; i < len; ++i)
            if (rx)
                rx[i] = flashByte(addr + i - 5);
        s.streaming = true;
        s.streamAddr = (addr + len - 5) & (kFlashSize - 1);
        logOp(FlashOp::Read, addr, len - 5);
        return;
    case 0x4B:
        if (len < 13) {
            error("unique-id read shorter than 13 bytes");
            return;
        }
        if (rx)
            for (uint32_t i = 0; i < 8; ++i)
                rx[5 + i] = uint8_t(0xF0 + m_index * 8 + i);
        logOp(FlashOp::Uid, addr, 8);
        return;
    case 0x02:
    case 0x20:
    case 0x52:
    case 0xD8: {
        if (len < 4) {
            error("flash command " + hex(op) + " without its address");
            return;
        }
        if (!s.writeEnabled) {
            error("flash command " + hex(op) + " without write enable");
            return;
        }
        if (op == 0x02) {
            flashProgram(addr, tx + 4, len - 4);
            logOp(FlashOp::Program, addr, len - 4);
        } else {
            uint32_t size = op == 0x20 ? 0x1000 : op == 0x52 ? 0x8000 : 0x10000;
            flashErase(addr, size);
            logOp(FlashOp::Erase, addr & ~(size - 1), size);
        }
        s.writeEnabled = false;
        s.busyLeft = s.busyReads;
        return;
    }
    default:
        error("unknown flash command " + hex(op));
    }
}

std::vector<uint8_t> SimFpga::flash(uint32_t addr, uint32_t len) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    std::vector<uint8_t> out;
    out.reserve(len);
    for (uint32_t i = 0; i < len; ++i)
        out.push_back(flashByte(addr + i));
    return out;
}

void SimFpga::pokeFlash(uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint32_t a = uint32_t(addr + i) & (kFlashSize - 1);
        auto& sector = m_s->sectors[a / kSector];
        if (!sector) {
            sector = simpages::page();
            std::memset(sector.get(), 0xFF, kSector);
        }
        sector[a % kSector] = bytes[i];
    }
}

// ---------------------------------------------------------------------------
// Receiving-card side

void SimFpga::startPair(int pair)
{
    State& s = *m_s;
    int hiReg = pair < 4 ? 27 : 158;
    uint32_t length = (uint32_t(s.regs[kSendLengthLow[pair]]) |
                       uint32_t((s.regs[hiReg] >> (2 * (pair & 3))) & 3) << 8) + 1;
    // The pair's port is the one of its two that the port register selects.
    uint8_t sel = s.regs[pair < 4 ? kRegPortSel0 : kRegPortSel1];
    int bit = 2 * (pair & 3);
    int port = 2 * pair + (((sel >> bit) & 1) == 0 && ((sel >> (bit + 1)) & 1) ? 1 : 0);
    std::vector<uint8_t> frame;
    frame.reserve(length);
    for (uint32_t i = 0; i < length; ++i)
        frame.push_back(ramByte(3 + 2 * pair, i));
    if (s.sent.size() >= kLogLimit)
        s.sent.pop_front();
    s.sent.push_back({port, frame});
    if (s.pairs[pair])
        s.pairs[pair]->frameSent(*this, port, frame);
}

void SimFpga::presentAnswers()
{
    State& s = *m_s;
    if (!alive())
        return;
    for (int k = 0; k < kReceiveSlots; ++k) {
        if (s.presented[k] || s.answers[k].empty())
            continue;
        const std::vector<uint8_t>& a = s.answers[k].front();
        uint8_t* bank = ramBank(2 + 2 * k);
        for (size_t i = 0; i < a.size() && i < kRamSize; ++i)
            bank[i] = a[i];
        uint32_t n = a.empty() ? 0 : uint32_t(a.size() - 1);
        s.regs[kRecvLengthLow[k]] = uint8_t(n);
        uint8_t& hi = s.regs[k < 4 ? 25 : 153];
        int shift = 2 * (k & 3);
        hi = uint8_t((hi & ~(3u << shift)) | (((n >> 8) & 3) << shift));
        s.presented[k] = true;
    }
    updateInterrupt();
}

void SimFpga::acknowledge(int slot)
{
    State& s = *m_s;
    if (!s.presented[slot])
        return;
    s.answers[slot].pop_front();
    s.presented[slot] = false;
    presentAnswers();
}

void SimFpga::updateInterrupt()
{
    const State& s = *m_s;
    bool pending = false;
    if (!s.resetLow) {
        for (bool p : s.presented)
            pending = pending || p;
        pending = pending || (s.regs[kRegStatus] & 0x40);
    }
    simSpiBus().drivePad(fpga_pads::kInterrupt[m_index], pending ? 1 : 0);
}

void SimFpga::setPortPair(int pair, SimFpgaPortPair* chain)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (pair >= 0 && pair < kPairs)
        m_s->pairs[pair] = chain;
}

void SimFpga::setDefaultPortPairs(SimFpgaPortPair* chain)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->defaultChain = chain;
    for (auto& p : m_s->pairs)
        p = chain;
}

void SimFpga::queueAnswer(int slot, const std::vector<uint8_t>& answer, int delayPolls)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (slot < 0 || slot >= kReceiveSlots || answer.empty() || answer.size() > 1024)
        return;
    if (delayPolls > 0) {
        m_s->held.push_back({slot, delayPolls, answer});
        return;
    }
    m_s->answers[slot].push_back(answer);
    presentAnswers();
}

void SimFpga::padRead(uint32_t offset)
{
    State& s = *m_s;
    if (offset != fpga_pads::kInterrupt[m_index] || s.held.empty())
        return;
    bool moved = false;
    for (auto it = s.held.begin(); it != s.held.end();) {
        if (--it->polls > 0) {
            ++it;
            continue;
        }
        s.answers[it->slot].push_back(std::move(it->answer));
        it = s.held.erase(it);
        moved = true;
    }
    if (moved)
        presentAnswers();
}

size_t SimFpga::heldAnswers() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return m_s->held.size();
}

void SimFpga::setSendBusy(uint8_t pairs)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->sendBusy = pairs;
}

size_t SimFpga::queuedAnswers(int slot) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return slot >= 0 && slot < kReceiveSlots ? m_s->answers[slot].size() : 0;
}

// ---------------------------------------------------------------------------
// Knobs and logs

void SimFpga::setConfigFails(bool fail)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->configFails = fail;
}

void SimFpga::setStep2Error(bool error)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->step2Error = error;
}

void SimFpga::setBootDelay(unsigned transactions)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->bootDelay = transactions;
}

void SimFpga::setLinks(uint16_t mask)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->links = mask;
}

uint16_t SimFpga::links() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return m_s->links;
}

void SimFpga::setMeasuredInput(uint16_t width, uint16_t height, uint32_t period)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->measuredW = width;
    m_s->measuredH = height;
    m_s->measuredPeriod = period;
}

void SimFpga::setFlashBusyReads(int reads)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->busyReads = reads < 0 ? 0 : reads;
}

void SimFpga::setFlashDead(bool dead)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->flashDead = dead;
}

bool SimFpga::inReset() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return m_s->resetLow;
}

int SimFpga::resetCount() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return m_s->resets;
}

std::vector<SimFpga::Access> SimFpga::accesses() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return {m_s->accesses.begin(), m_s->accesses.end()};
}

std::vector<SimFpga::FlashOp> SimFpga::flashOps() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return {m_s->flashOps.begin(), m_s->flashOps.end()};
}

std::vector<SimFpga::SentFrame> SimFpga::sentFrames() const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    return {m_s->sent.begin(), m_s->sent.end()};
}

void SimFpga::clearLogs()
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    m_s->accesses.clear();
    m_s->flashOps.clear();
    m_s->sent.clear();
}

} // namespace platform

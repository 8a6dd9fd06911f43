// The simulated video bus: every device the input-source manager talks to,
// with just enough behaviour to show whether it was driven right.
#include "platform/i2c.h"
#include "platform/i2c_devices.h"
#include "platform/platform.h"
#include "platform/video_sim.h"

#include <array>
#include <deque>
#include <fstream>
#include <map>

namespace platform {

I2c& linuxI2c();

I2c& i2c()
{
    if (isDevice())
        return linuxI2c();
    return simI2c();
}

SimI2c& simI2c()
{
    static SimI2c instance;
    return instance;
}

namespace {
constexpr size_t kRecordLimit = 4096;

// A register file with an auto-incrementing pointer: a write sets the
// pointer with its first byte and stores the rest, a read continues from it.
struct Regs {
    std::array<uint8_t, 256> r{};
    uint8_t ptr = 0;
};

void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
} // namespace

struct SimI2c::Model {
    bool present[DeviceCount];
    uint8_t mux[2] = {0, 0};
    Regs expander, clock, link[2], hdmiTx, sdiTx;
    struct Eeprom {
        std::array<uint8_t, vbus::kEepromSize> mem;
        uint8_t ptr = 0;
        bool loaded = false;
    } eeprom[4];
    struct Rx {
        Regs regs;
        uint8_t repStatus = 0;
        uint32_t repGen = 0;
    } rx[4];
    std::deque<Record> log;
    size_t logLimit = kRecordLimit;
    uint64_t count = 0;
    std::map<uint8_t, int> failNext;

    Model() { powerOn(); }

    void powerOn()
    {
        for (bool& p : present)
            p = true;
        mux[0] = mux[1] = 0;
        expander = Regs();
        expander.r[0] = 0xFF;
        expander.r[1] = 0xFF;
        expander.r[3] = 0xFF;
        clock = Regs();
        clock.r[vbus::kClkId] = vbus::kClkIdValue;
        for (Regs& l : link) {
            l = Regs();
            l.r[vbus::kLinkId] = vbus::kLinkIdValue;
        }
        hdmiTx = Regs();
        sdiTx = Regs();
        for (auto& e : eeprom)
            e.loaded = false, e.ptr = 0;
        for (int i = 0; i < 4; ++i) {
            rx[i] = Rx();
            put16(&rx[i].regs.r[vbus::kRxId], i < 3 ? vbus::kIt6602Id : vbus::kIt6805Id);
            rx[i].regs.r[vbus::kRxHpd] = 1;
            rx[i].repGen = videoSources().get(i).generation;
        }
        log.clear();
        logLimit = kRecordLimit;
        count = 0;
        failNext.clear();
    }

    // ---- EDID memories ----
    static std::string eepromFile(int i) { return sysPath("/sim/edid" + std::to_string(i) + ".bin"); }

    Eeprom& mem(int i)
    {
        Eeprom& e = eeprom[i];
        if (!e.loaded) {
            e.mem.fill(0xFF);
            std::ifstream in(eepromFile(i), std::ios::binary);
            in.read(reinterpret_cast<char*>(e.mem.data()), e.mem.size());
            e.loaded = true;
        }
        return e;
    }

    void saveEeprom(int i)
    {
        std::ofstream out(eepromFile(i), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(eeprom[i].mem.data()), eeprom[i].mem.size());
    }

    // ---- receivers ----
    uint8_t rxStatus(int i, SimSource* src)
    {
        *src = videoSources().get(i);
        uint8_t st = 0;
        if (src->signal) {
            st |= vbus::kRxStatus5V;
            uint32_t limit = i < 3 ? vbus::kIt6602MaxKHz : vbus::kIt6805MaxKHz;
            if ((rx[i].regs.r[vbus::kRxHpd] & 1) && src->timing.pclkKHz <= limit)
                st |= vbus::kRxStatusScdt;
        }
        return st;
    }

    uint8_t rxLoad(int i, uint8_t reg)
    {
        SimSource src;
        uint8_t st = rxStatus(i, &src);
        if (reg == vbus::kRxStatus)
            return st;
        if (reg == vbus::kRxInt)
            return (st != rx[i].repStatus || src.generation != rx[i].repGen) ? 1 : 0;
        if (reg >= vbus::kRxTiming && reg < vbus::kRxTiming + vbus::kRxTimingLen) {
            uint8_t t[vbus::kRxTimingLen] = {};
            if (st & vbus::kRxStatusScdt) {
                const VideoTiming& v = src.timing;
                const uint16_t f[8] = {v.hact, v.hsync, v.hback, v.htotal, v.vact, v.vsync, v.vback, v.vtotal};
                for (int k = 0; k < 8; ++k)
                    put16(t + 2 * k, f[k]);
                t[16] = uint8_t((v.hpol ? 1 : 0) | (v.vpol ? 2 : 0) | (v.interlaced ? 4 : 0));
                put16(t + 17, uint16_t(v.pclkKHz));
                put16(t + 19, uint16_t(v.pclkKHz >> 16));
            }
            return t[reg - vbus::kRxTiming];
        }
        return rx[i].regs.r[reg];
    }

    void rxStore(int i, uint8_t reg, uint8_t v)
    {
        Rx& x = rx[i];
        if (reg == vbus::kRxInt) {
            if (v & 1) {
                SimSource src;
                x.repStatus = rxStatus(i, &src);
                x.repGen = src.generation;
            }
        } else if (reg == vbus::kRxReset) {
            if (v & 1) {
                x.regs.r[vbus::kRxHpd] = 1;
                x.regs.r[vbus::kRxOut] = 0;
                x.regs.r[vbus::kRxVboLanes] = 0;
                x.repStatus = 0;
                x.repGen = videoSources().get(i).generation;
            }
        } else if (reg == vbus::kRxHpd || reg == vbus::kRxOut || reg == vbus::kRxVboLanes) {
            x.regs.r[reg] = v;
        }
    }

    // ---- addressing ----
    int candidates(uint8_t addr, Device* found)
    {
        int n = 0;
        auto add = [&](Device d) {
            if (present[d])
                found[n++] = d;
        };
        switch (addr) {
        case vbus::kMux14: add(Mux14); break;
        case vbus::kMux20: add(Mux20); break;
        case vbus::kExpander: add(Expander); break;
        case vbus::kClockSynth: add(ClockSynth); break;
        case vbus::kHdmiTx: add(HdmiTx); break;
        default:
            if (addr == vbus::kLinkChip[0])
                add(Link0);
            if (addr == vbus::kLinkChip[1])
                add(Link1);
        }
        // A device behind a multiplexer answers only while its channel is on.
        for (int c = 0; c < 3; ++c) {
            if (!present[Mux14] || !(mux[0] & (1 << c)))
                continue;
            if (addr == vbus::kEeprom)
                add(Device(Eeprom0 + c));
            if (addr == vbus::kIt6602)
                add(Device(Rx0 + c));
        }
        if (present[Mux20] && (mux[1] & 1)) {
            if (addr == vbus::kEeprom)
                add(Eeprom3);
            if (addr == vbus::kIt6805)
                add(Rx3);
        }
        if (present[Mux20] && (mux[1] & 2) && addr == vbus::kSdiTx)
            add(SdiTx);
        return n;
    }

    Regs* plainRegs(Device d)
    {
        switch (d) {
        case Expander: return &expander;
        case ClockSynth: return &clock;
        case Link0: return &link[0];
        case Link1: return &link[1];
        case HdmiTx: return &hdmiTx;
        case SdiTx: return &sdiTx;
        default: return nullptr;
        }
    }

    uint8_t load(Device d, uint8_t reg)
    {
        if (d >= Rx0 && d <= Rx3)
            return rxLoad(d - Rx0, reg);
        if ((d == Link0 || d == Link1) && reg == vbus::kLinkStatus) {
            const Regs& l = link[d - Link0];
            bool clockOn = present[ClockSynth] && (clock.r[vbus::kClkOutput] & 0x80);
            return (l.r[vbus::kLinkCtrl] & 1) && clockOn ? 1 : 0;
        }
        if (d == Expander)
            reg &= 3;
        return plainRegs(d)->r[reg];
    }

    void store(Device d, uint8_t reg, uint8_t v)
    {
        if (d >= Rx0 && d <= Rx3)
            return rxStore(d - Rx0, reg, v);
        if (d == Expander)
            reg &= 3;
        if (d == ClockSynth && reg == vbus::kClkId)
            return;
        if ((d == Link0 || d == Link1) && (reg == vbus::kLinkId || reg == vbus::kLinkStatus))
            return;
        plainRegs(d)->r[reg] = v;
    }

    Regs& regsOf(Device d) { return d >= Rx0 && d <= Rx3 ? rx[d - Rx0].regs : *plainRegs(d); }

    void write(Device d, const uint8_t* p, int n)
    {
        if (d == Mux14 || d == Mux20) {
            if (n > 0)
                mux[d == Mux14 ? 0 : 1] = p[n - 1];
            return;
        }
        if (d >= Eeprom0 && d <= Eeprom3) {
            Eeprom& e = mem(d - Eeprom0);
            if (n < 1)
                return;
            e.ptr = p[0];
            // A write stays inside its page: past the page end it wraps.
            uint8_t page = uint8_t(e.ptr & ~(vbus::kEepromPage - 1));
            uint8_t off = uint8_t(e.ptr & (vbus::kEepromPage - 1));
            for (int k = 1; k < n; ++k) {
                e.mem[page | off] = p[k];
                off = uint8_t((off + 1) & (vbus::kEepromPage - 1));
            }
            if (n > 1)
                saveEeprom(d - Eeprom0);
            return;
        }
        Regs& r = regsOf(d);
        if (n < 1)
            return;
        r.ptr = p[0];
        for (int k = 1; k < n; ++k)
            store(d, r.ptr++, p[k]);
    }

    void read(Device d, uint8_t* p, int n)
    {
        if (d == Mux14 || d == Mux20) {
            for (int k = 0; k < n; ++k)
                p[k] = mux[d == Mux14 ? 0 : 1];
            return;
        }
        if (d >= Eeprom0 && d <= Eeprom3) {
            Eeprom& e = mem(d - Eeprom0);
            for (int k = 0; k < n; ++k)
                p[k] = e.mem[e.ptr++];
            return;
        }
        Regs& r = regsOf(d);
        for (int k = 0; k < n; ++k)
            p[k] = load(d, r.ptr++);
    }

    void record(const I2cMsg& m, bool ok)
    {
        ++count;
        if (logLimit == 0)
            return;
        Record rec{m.addr, m.read, ok, {mux[0], mux[1]}, {}};
        if (ok || !m.read)
            rec.data.assign(m.buf, m.buf + m.len);
        log.push_back(std::move(rec));
        while (log.size() > logLimit)
            log.pop_front();
    }
};

SimI2c::SimI2c()
    : m_model(new Model())
{
}

SimI2c::~SimI2c() { delete m_model; }

int SimI2c::transfer(I2cMsg* msgs, int count)
{
    videoSources().pollFile();
    std::lock_guard<std::mutex> lock(m_mutex);
    Model& m = *m_model;
    for (int i = 0; i < count; ++i) {
        I2cMsg& msg = msgs[i];
        Device found[4];
        int n = m.candidates(msg.addr, found);
        bool ok = n == 1;
        auto fail = m.failNext.find(msg.addr);
        if (ok && fail != m.failNext.end() && fail->second > 0) {
            --fail->second;
            ok = false;
        }
        if (ok) {
            if (msg.read)
                m.read(found[0], msg.buf, msg.len);
            else
                m.write(found[0], msg.buf, msg.len);
        }
        m.record(msg, ok);
        if (!ok)
            return -1;
    }
    return 0;
}

std::vector<SimI2c::Record> SimI2c::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<Record>(m_model->log.begin(), m_model->log.end());
}

uint64_t SimI2c::messageCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->count;
}

void SimI2c::clearRecords()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->log.clear();
}

void SimI2c::setRecordLimit(size_t limit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->logLimit = limit;
    while (m_model->log.size() > limit)
        m_model->log.pop_front();
}

void SimI2c::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->powerOn();
}

void SimI2c::setPresent(Device d, bool present)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (d >= 0 && d < DeviceCount)
        m_model->present[d] = present;
}

std::vector<uint8_t> SimI2c::eeprom(int input) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (input < 0 || input > 3)
        return {};
    auto& e = m_model->mem(input);
    return std::vector<uint8_t>(e.mem.begin(), e.mem.end());
}

void SimI2c::setEeprom(int input, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (input < 0 || input > 3)
        return;
    auto& e = m_model->mem(input);
    e.mem.fill(0xFF);
    for (size_t k = 0; k < bytes.size() && k < e.mem.size(); ++k)
        e.mem[k] = bytes[k];
    m_model->saveEeprom(input);
}

uint8_t SimI2c::expanderOutput() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->expander.r[vbus::kExpOutput];
}

void SimI2c::setExpanderOutput(uint8_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->expander.r[vbus::kExpOutput] = value;
}

bool SimI2c::hpd(int input) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return input >= 0 && input < 4 && (m_model->rx[input].regs.r[vbus::kRxHpd] & 1);
}

bool SimI2c::videoOut(int input) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return input >= 0 && input < 4 && (m_model->rx[input].regs.r[vbus::kRxOut] & 1);
}

bool SimI2c::audioOut(int input) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return input >= 0 && input < 4 && (m_model->rx[input].regs.r[vbus::kRxOut] & 2);
}

uint8_t SimI2c::vboLanes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->rx[3].regs.r[vbus::kRxVboLanes];
}

bool SimI2c::feed(int input, VideoTiming* timing, uint8_t* lanes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (input < 0 || input > 3)
        return false;
    SimSource src;
    const Model::Rx& rx = m_model->rx[input];
    const bool on = (m_model->rxStatus(input, &src) & vbus::kRxStatusScdt) && (rx.regs.r[vbus::kRxOut] & 1);
    if (on) {
        *timing = src.timing;
        *lanes = input == 3 ? rx.regs.r[vbus::kRxVboLanes] : 0;
    }
    return on;
}

uint8_t SimI2c::muxControl(int mux) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->mux[mux ? 1 : 0];
}

void SimI2c::failNext(uint8_t addr, int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->failNext[addr] = n;
}

} // namespace platform

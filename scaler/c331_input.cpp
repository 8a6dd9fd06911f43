// Input ports: the sources' timing records, measuring and classifying each
// port the windows use, the V-by-One receivers, a window's source switch,
// the background a window without picture shows, and the frame waits.
#include "scaler/c331_manage.h"

#include <QMutexLocker>
#include <cstdio>
#include <cstdlib>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "scaler/c331_ports.h"
#include "video_io/zevlosource.h"

namespace {
// Diagnostic names of the chip's input ports.
const char* const kPortNames[6] = {"DVI", "EXT", "HDMI1(1.4)", "HDMI2(1.4)", "HDMI3(2.0)", "HDMI4(2.0)"};
} // namespace

int c331_manage::vyxApi_GetPortDevId(int port)
{
    switch (port) {
    case 1: return 1;
    case 2: return 0;
    case 5: return 3;
    case 3:
    case 4: return 255; // not wired
    default: return 2;
    }
}

int c331_manage::vyxApi_IsWinValid(int w) { return w <= 5; }

int c331_manage::vyxApi_IsPatternGen() { return pattern_active != 0; }

void c331_manage::load_hdmi()
{
    zevlosource* sources = zevlosource::p_zevlo_source;
    if (!sources)
        return;
    for (int p = 0; p < kPorts; ++p) {
        const int dev = vyxApi_GetPortDevId(p);
        if (dev == 255)
            continue;
        // The whole record in one copy under the receivers' lock: never a
        // record half rewritten by the input-source thread.
        const HDMI_INFO rec = sources->get_hdminfo(dev);
        if (!rec.stable)
            continue;
        ST_HDMI_INFO& mine = PI_HDMI_INFO[p];
        bool changed = false;
        auto field = [&](int32_t& dst, uint32_t src, const char* name) {
            if (dst == int32_t(src))
                return;
            VYX_DEBUG("\n [load_hdmi]%s=%d,%d,chaned! \n", name, dst, int32_t(src));
            dst = int32_t(src);
            changed = true;
        };
        field(mine.Hact, rec.Hact, "Hact");
        field(mine.Hsync, rec.Hsync, "Hsync");
        field(mine.Hback, rec.Hback, "Hback");
        field(mine.Hpol, rec.Hpol, "Hpol");
        field(mine.Htotal, rec.Htotal, "Htotal");
        field(mine.Vact, rec.Vact, "Vact");
        field(mine.Vsync, rec.Vsync, "Vsync");
        field(mine.Vback, rec.Vback, "Vback");
        field(mine.Vpol, rec.Vpol, "Vpol");
        field(mine.Vtotal, rec.Vtotal, "Vtotal");
        if (mine.pfreq != rec.pfreq) {
            VYX_DEBUG("\n [load_hdmi]pfreq=%f,%f,chaned! \n", double(mine.pfreq), double(rec.pfreq));
            mine.pfreq = rec.pfreq;
            changed = true;
        }
        field(mine.type, rec.type, "type");
        field(mine.lane, rec.lane, "lane");
        field(mine.ip, rec.ip, "ip");
        field(mine.datamode, rec.datamode, "datamode");
        field(mine.nosignal, rec.nosignal, "nosignal");
        if (!changed)
            continue;
        // Described again once measured, whether or not a window shows it
        // now: its counters may have moved before its record did.
        PI_RECORD_NEW[p] = 1;
        std::printf("[load_hdmi] chg_input[PI_HDMI_INFO], port:%d, dev_id:%d\n", p, dev);
        for (int w = 0; w < kWindows; ++w) {
            int ports[6];
            if (vyxApi_GetWinDbdMultiPort(w, ports)) {
                bool uses = false;
                for (int port : ports)
                    uses |= port == p;
                if (uses) {
                    g_chg_input[w] = 1;
                    std::printf("\n[load_hdmi] g_chg_input[%d] = 1 for dbd:%d\n", w, PM_WIN_DBD_MODE[w]);
                    set_ichsel(c331_fd, w);
                }
            } else if (PM_INPUT[w] == p) {
                g_chg_input[w] = 1;
                std::printf("\n[load_hdmi] g_chg_input[%d] = 1\n", w);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Measuring and classifying the ports

namespace {

constexpr double kVboClockLimit = 324000000.0; // Hz: above it a V-by-One port halves its lines
constexpr int kVboWideLimit = 2176;            // pixels: wider lines are halved too
constexpr double kFastField = 55.0;            // Hz: 1080i at or above is class 5, below class 6
constexpr uint8_t kVboRetryLast = 29;          // the retry count wraps after it
constexpr int kRangePolls = 250;               // lock polls of a receiver's frequency range
constexpr int kFramePolls = 45;                // polls of one input frame
constexpr int kInFieldPolls = 90, kOutFieldPolls = 70;
constexpr double kSlowestFrameWait = 120.0;    // Hz: windows on faster ports need no frame wait
constexpr unsigned kNoFrameWaitMs = 45;
const _ImageWindowDef_st kNoPicture{16, 0, 16, 0};

uint8_t nextRetry(uint8_t n) { return n >= kVboRetryLast ? 0 : uint8_t(n + 1); }

bool moved(int32_t now, int32_t before, int64_t limit) { return std::llabs(int64_t(now) - before) > limit; }

// Whether window w captures from port p: one of a multi-port dot-by-dot
// window's ports, else its own.
bool usesPort(c331_manage& m, int w, int p)
{
    int ports[6];
    if (m.winLoaded(w) && m.vyxApi_GetWinDbdMultiPort(w, ports)) {
        for (int q : ports)
            if (q == p)
                return true;
        return false;
    }
    return m.PM_INPUT[w] == p;
}

// The input-source manager's record of a source, whole.
bool recordStable(int dev)
{
    zevlosource* sources = zevlosource::p_zevlo_source;
    return sources && sources->get_hdminfo(dev).stable == 1;
}

// Receiver q with its lane count's mask.
void setLanes(c331_manage& m, int fd, int q, uint32_t mask)
{
    c331_drv& drv = *m.p_c331_drv;
    drv.write_C331(fd, c331ports::kVboSelect, q == 0 ? 14 : 13, 0);
    drv.write_C331(fd, c331ports::kVboSelect, 15, 0);
    drv.write_C331(fd, c331ports::vboMode(q), 5, 0);
    drv.write_C331(fd, c331ports::vboLanes(q), mask, 0);
}

// Receiver q without signal: set up again with one lane and its frequency
// range toggled.
void restartReceiver(c331_manage& m, int fd, int q)
{
    setLanes(m, fd, q, c331ports::laneMask(1));
    m.set_VBORXfrange(fd, q, 1, 0);
}

void reinitReceiver(c331_manage& m, int fd, int q)
{
    restartReceiver(m, fd, q);
    m.vbo_retry[q] = nextRetry(m.vbo_retry[q]);
}

void portLost(c331_manage& m, int fd, int p)
{
    m.set_input_bkg(fd, p, 1);
    if (m.PI_STATE[p] != 0)
        m.PI_UPDATE[p] = 1;
    m.PI_IFH[p] = m.PI_IFV[p] = 0;
    m.PI_FV[p] = m.PI_FH[p] = m.PI_FPICLK[p] = 0;
    m.PI_HTOTAL[p] = m.PI_VTOTAL[p] = 0;
    m.PI_ACT[p] = m.PI_ACT_FULL[p] = kNoPicture;
    m.PI_STATE[p] = 0;
    m.PI_SCAN_MODE[p] = 0;
    m.PI_PORT_INFO[p].state = 0;
    m.PI_PORT_INFO[p].ip = 0;
    if (p < 4)
        m.set_pict(fd, 0, p);
    else
        reinitReceiver(m, fd, p - 4);
}

// Class of a port from its timing record and measured rate: what the chip
// must do with the picture it receives.
void describePort(c331_manage& m, int fd, int p)
{
    const ST_HDMI_INFO& rec = m.PI_HDMI_INFO[p];
    ST_PORT_INFO& info = m.PI_PORT_INFO[p];
    const double ref = m.PS_REF_CLK > 0 ? m.PS_REF_CLK : 200000000.0;
    m.PI_FV[p] = ref / double(info.FVM);
    const double clock = double(rec.Htotal) * m.PI_FV[p] * double(rec.Vtotal);
    int state;
    bool interlaced = false;
    if (p < 4) {
        m.set_pict(fd, rec.datamode, p);
        m.set_sypol(fd, 0, p);
        state = rec.datamode == 1 ? 3 : 4;
        if (rec.ip == 1) {
            interlaced = true;
            if (rec.Vtotal >= 560 && rec.Vtotal <= 565)
                state = m.PI_FV[p] >= kFastField ? 5 : 6;
            else if (rec.Vtotal >= 266 && rec.Vtotal <= 350)
                state = 8;
            else if (rec.Vtotal >= 260 && rec.Vtotal <= 265)
                state = 7;
            else
                interlaced = false; // a field total no class knows: shown as progressive
        }
    } else {
        const int q = p - 4;
        // A record without a lane count is taken as one lane, never a
        // division by zero.
        const int lanes = rec.lane > 0 ? rec.lane : 1;
        setLanes(m, fd, q, c331ports::laneMask(lanes));
        m.set_VBORXfrange(fd, q, 0, float(clock / lanes));
        m.set_VBOInput(fd, q);
        state = rec.Hact <= kVboWideLimit && clock <= kVboClockLimit && lanes < 4 ? 4 : 1;
        info.laneNum = lanes;
    }
    m.PI_STATE[p] = info.state = state;
    m.PI_SCAN_MODE[p] = info.ip = interlaced ? 1 : 0;
    m.PI_HTOTAL[p] = rec.Htotal;
    m.PI_VTOTAL[p] = rec.Vtotal;
    m.PI_FPICLK[p] = clock;
    m.PI_FH[p] = m.PI_FV[p] * rec.Vtotal;
    m.PI_ACT_FULL[p] = _ImageWindowDef_st{rec.Hsync + rec.Hback, rec.Hact, rec.Vsync + rec.Vback, rec.Vact};
    m.PI_ACT[p] = m.PI_ACT_FULL[p];
    if (state < 4) {
        // Two pixels a clock: the port's lines hold half the pixels.
        m.PI_ACT[p].hst /= 2;
        m.PI_ACT[p].hw /= 2;
    }
    m.PI_UPDATE[p] = 1;
}

// The lane pairs of receiver q that its lane count uses all count frames.
bool lanesGood(c331_manage& m, int fd, int q, int lanes)
{
    c331_drv& drv = *m.p_c331_drv;
    const int pairs = lanes >= 8 ? 4 : lanes >= 4 ? 2 : 1;
    bool good = true;
    c331ports::latch(drv, fd);
    for (int i = 0; i < 4; ++i) {
        const uint32_t fhw = drv.read_C331(fd, 0xAE4002 + 0x200u * unsigned(i) + 0x800u * unsigned(q), 0);
        const uint32_t fvm = drv.read_C331(fd, 0xAE5C03 + 0x300u * unsigned(i) + 0xC00u * unsigned(q), 0);
        if (i < pairs && (c331ports::lineBad(fhw) || c331ports::frameBad(fvm)))
            good = false;
    }
    c331ports::unlatch(drv, fd);
    return good;
}

} // namespace

void c331_manage::check_input_port(int fd)
{
    c331_drv& drv = *p_c331_drv;
    for (int p = 0; p < kPorts; ++p) {
        int w0 = -1;
        for (int w = 0; w < kWindows && w0 < 0; ++w)
            if (usesPort(*this, w, p))
                w0 = w;
        if (w0 < 0)
            continue;
        const int dev = vyxApi_GetPortDevId(p);
        if (dev == 255 || !recordStable(dev))
            continue;

        PI_UPDATE[p] = 0;
        ST_PORT_INFO& info = PI_PORT_INFO[p];
        const ST_PORT_INFO prev = info;
        const c331ports::Measure raw = c331ports::measure(drv, fd, p);
        info.htt = int32_t(raw.htt + 1);
        info.vtt = int32_t(raw.vtt);
        info.FHW = int32_t(raw.fhw + 1);
        info.FVM = int32_t(raw.fvm + 1);
        info.hw = int32_t(raw.hw);

        const bool noSignal = c331ports::lineBad(raw.htt) || c331ports::frameBad(raw.fvm) ||
                              c331ports::lineBad(raw.fhw) || PI_HDMI_INFO[p].nosignal == 1;
        if (noSignal) {
            info.nosig = 1;
            if (prev.nosig == 0)
                portLost(*this, fd, p);
            else if (p >= 4)
                reinitReceiver(*this, fd, p - 4);
            continue;
        }
        info.nosig = 0;

        // Counters wander by a line or a few ticks; the active width never.
        const bool redescribe = moved(info.htt, prev.htt, 2) || moved(info.vtt, prev.vtt, 2) ||
                                moved(info.FHW, prev.FHW, 100) || moved(info.FVM, prev.FVM, 100) ||
                                info.hw != prev.hw || g_chg_hdmi[p] || g_chg_input[w0] || prev.nosig == 1 ||
                                PI_RECORD_NEW[p];
        if (redescribe) {
            describePort(*this, fd, p);
            PI_RECORD_NEW[p] = 0;
        }

        if (p >= 4) {
            const int q = p - 4;
            const int lanes = PI_HDMI_INFO[p].lane > 0 ? PI_HDMI_INFO[p].lane : 1;
            if (lanesGood(*this, fd, q, lanes)) {
                vbo_retry[q] = 0;
            } else {
                vbo_retry[q] = nextRetry(vbo_retry[q]);
                setLanes(*this, fd, q, c331ports::laneMask(lanes));
            }
        }
        // The crops follow a new description even while the receiver is
        // still finding its lanes: the next turn would not describe the
        // port again.
        if (redescribe) {
            VYX_DEBUG("PortInfo Updated.  port=%d  STATE=%d  IP=%d  HTOTAL=%4d  VTOTAL=%4d\n", p, PI_STATE[p],
                      PI_SCAN_MODE[p], PI_HDMI_INFO[p].Htotal, PI_HDMI_INFO[p].Vtotal);
            VYX_DEBUG("\t %s  FV=%.2f  ACT HST=%4d HW=%4d VST=%4d VW=%4d\n", kPortNames[p], PI_FV[p], PI_ACT[p].hst,
                      PI_ACT[p].hw, PI_ACT[p].vst, PI_ACT[p].vw);
            vyxApi_updateCrop(p);
        }
    }
}

void c331_manage::check_port_valid(int fd)
{
    c331_drv& drv = *p_c331_drv;
    for (int w = 0; w < kWindows; ++w) {
        int ports[6] = {PM_INPUT[w], 6, 6, 6, 6, 6};
        if (winLoaded(w) && PM_WIN_DBD_MODE[w] > DBD_SINGLE_INPUT)
            vyxApi_GetWinDbdMultiPort(w, ports);
        for (int p : ports) {
            if (!portOk(p))
                continue;
            int flags;
            {
                QMutexLocker lock(&Utils::_check_nosig_mutex);
                flags = g_port_nosig[p];
            }
            if (!(flags & 0x80))
                continue;
            const c331ports::Measure raw = c331ports::measure(drv, fd, p);
            const bool valid = !c331ports::lineBad(raw.htt) && !c331ports::lineBad(raw.fhw) &&
                               !c331ports::frameBad(raw.fvm);
            {
                QMutexLocker lock(&Utils::_check_nosig_mutex);
                g_port_nosig[p] = valid ? (g_port_nosig[p] & ~1) : (g_port_nosig[p] | 1);
                flags = g_port_nosig[p];
            }
            // Only ports 4 and 5 have a receiver to restart: registers of a
            // third or fourth would lie past the end of their bank.
            if (!valid && p >= 4)
                restartReceiver(*this, fd, p - 4);
            if (prnEn[7] & 0x80)
                VYX_DEBUG("[c331_check_nosignal] win_%d port_%d, nosignal:%02x\n", w, p, flags);
        }
    }
}

// ---------------------------------------------------------------------------
// Port helpers

void c331_manage::set_pict(int fd, int ddr, int port)
{
    if (port < 0 || port > 3)
        return;
    const uint32_t bit = 1u << (4 * port);
    p_c331_drv->write_c331_mask(fd, 0x001802, ddr ? bit : 0, bit, 0);
}

void c331_manage::set_sypol(int fd, int vbo, int n)
{
    c331_drv& drv = *p_c331_drv;
    if (n < 0 || n > (vbo ? 1 : 3))
        return;
    const ST_HDMI_INFO& rec = PI_HDMI_INFO[vbo ? n + 4 : n];
    const uint32_t s = uint32_t((rec.Vpol & 1) | (rec.Hpol & 1) << 1);
    const uint32_t reg = vbo ? 0x063C04 : 0x063804;
    c331ports::latch(drv, fd);
    uint32_t v = drv.read_C331(fd, reg, 0);
    c331ports::unlatch(drv, fd);
    if (vbo) {
        const uint32_t shift = 16u * unsigned(n);
        v = (v & ~(0xFFFFu << shift)) | ((s | s << 4 | s << 8 | s << 12) << shift);
    } else {
        const uint32_t shift = 8u * unsigned(n);
        v = (v & ~(0xFFu << shift)) | ((s | 4) << shift);
    }
    drv.write_C331(fd, reg, v, 0);
}

void c331_manage::set_VBOInput(int fd, int q)
{
    if (q < 0 || q > 1)
        return;
    c331_drv& drv = *p_c331_drv;
    set_sypol(fd, 1, q);
    const int lanes = PI_HDMI_INFO[q + 4].lane;
    uint32_t mode, bits;
    switch (lanes) {
    case 1: mode = 0; bits = 0; break;
    case 2: mode = 1; bits = 16u << (8 * q); break;
    case 4: mode = 17; bits = 4u << (8 * q); break;
    default: mode = 0x404; bits = 2u << (8 * q); break;
    }
    drv.write_C331(fd, 0x001E02 + 0x200u * unsigned(q), mode, 0);
    const uint32_t other = drv.read_C331(fd, 0x003902, 0) & (0xFFu << (8 * (1 - q)));
    drv.write_C331(fd, 0x003902, other | bits, 0);
}

void c331_manage::set_VBORXfrange(int fd, int q, int toggle, float clk)
{
    if (q < 0 || q > 1)
        return;
    c331_drv& drv = *p_c331_drv;
    const uint32_t reg = c331ports::vboRange(q);
    if (toggle) {
        drv.write_C331(fd, reg, drv.read_C331(fd, reg, 0) ^ 0x08, 0);
        return;
    }
    drv.write_c331_mask(fd, reg, clk < 50000000.0f ? 0x08 : 0, 0x08, 0);
    const uint32_t lock = 1u << (5 + 2 * q);
    if (drv.read_C331(fd, c331ports::kVboLock, 0) & lock)
        return;
    for (int i = 0; i < kRangePolls; ++i) {
        if (drv.read_C331(fd, c331ports::fvmReg(4 + q), 0) + 1 < 0xFFFFFF)
            break;
        if (drv.read_C331(fd, c331ports::kVboLock, 0) & lock)
            break;
    }
}

void c331_manage::wait1_pivs(int fd, int ich)
{
    if (ich < 0 || ich >= kInChannels)
        return;
    c331_drv& drv = *p_c331_drv;
    const uint32_t bit = 1u << ich;
    const uint32_t field = 0xA83F01 + 0x500u * unsigned(ich);
    drv.write_C331(fd, 0x050801, bit, 0);
    c331ports::latch(drv, fd);
    uint32_t seen = drv.read_C331(fd, 0x052201, 0), count = drv.read_C331(fd, field, 0);
    for (int i = 0; i < kFramePolls && !(seen & bit) && count != 255; ++i) {
        seen = drv.read_C331(fd, 0x052201, 0);
        count = drv.read_C331(fd, field, 0);
    }
    drv.write_C331(fd, 0x050801, 0, 0);
    c331ports::unlatch(drv, fd);
}

void c331_manage::wait1_pivs2(int fd)
{
    int best = -1;
    for (int w = 0; w < kWindows; ++w) {
        const int p = PM_INPUT[w];
        if (!(g_chg_win[w] || g_chg_input[w] || g_chg_dbd[w]) || !portOk(p) || PI_FV[p] >= kSlowestFrameWait)
            continue;
        if (best < 0 || PI_FV[p] < PI_FV[PM_INPUT[best]])
            best = w;
    }
    const int c = best >= 0 ? mainIch(best) : -1;
    if (c < 0 || c >= kInChannels) {
        platform::pause_ms(kNoFrameWaitMs);
        return;
    }
    wait1_pivs(fd, c);
}

namespace {
// Latched reads of a 2-bit field number until it changes; the new number,
// or the last one plus 1 when it never did.
int waitFieldChange(c331_drv& drv, int fd, uint32_t reg, int shift, int polls)
{
    auto read = [&] {
        c331ports::latch(drv, fd);
        const int v = int((drv.read_C331(fd, reg, 0) >> shift) & 3);
        c331ports::unlatch(drv, fd);
        return v;
    };
    const int first = read();
    int last = first;
    for (int i = 0; i < polls; ++i) {
        last = read();
        if (last != first)
            return last;
    }
    return (last + 1) & 3;
}
} // namespace

int c331_manage::wait_ifld_change(int fd, int port)
{
    if (port < 0 || port > 5)
        return 0;
    const int k = port < 4 ? port : 2 * (port - 2);
    return waitFieldChange(*p_c331_drv, fd, 0xAB4701 + 0x100u * unsigned(k), 2, kInFieldPolls);
}

int c331_manage::wait_ofld_change(int fd, int och)
{
    if (och < 0 || och >= kOutChannels)
        return 0;
    return waitFieldChange(*p_c331_drv, fd, 0xAB4701 + 0x100u * unsigned(och), 0, kOutFieldPolls);
}

// ---------------------------------------------------------------------------
// A window's source

void c331_manage::c331_SetInputsource(int w, int src)
{
    const int source = ((src % kPorts) + kPorts) % kPorts;
    const int port = vyxApi_inputCvtC331(source);
    if (!winLoaded(w)) {
        VYX_DEBUG("    win:%d OOR, wincnt:%d\r\n", w, mwin.n);
        return;
    }
    if (port == 255) {
        VYX_DEBUG("    input:%d OOR\r\n", src);
        return;
    }
    pwinfo[w].input = uint8_t(source);
    PM_INPUT[w] = port;
    g_chg_input[w] = 1;
    check_input_port(c331_fd);
    set_output(c331_fd);
}

// ---------------------------------------------------------------------------
// Backgrounds: a window without picture shows its output channels' colour.

namespace {
void writeBackground(c331_manage& m, int fd, int w, bool on, uint32_t colour)
{
    for (int k = 0; k < c331_manage::kOutChannels; ++k) {
        if (m.PM_WIN_NUM[k] != w)
            continue;
        m.p_c331_drv->write_C331(fd, c331ports::kBkgColour, colour, 16 * k);
        m.p_c331_drv->write_C331(fd, c331ports::kBkgOn, on ? 1 : 0, 16 * k);
    }
}
} // namespace

void c331_manage::set_input_bkg(int fd, int port, int on)
{
    set_rtct(fd, 2);
    for (int w = 0; w < kWindows; ++w) {
        if (PM_INPUT[w] != port || !portOk(port))
            continue;
        bool enable = on ? true : PI_STATE[port] == 0;
        if (PM_WIN_DBD_MODE[w] != DBD_DISABLE)
            enable = false;
        uint32_t colour = 0;
        if (g_force_bkcolor == 1) {
            enable = true;
            colour = c331ports::kGreen;
        }
        writeBackground(*this, fd, w, enable, colour);
    }
    set_rtct(fd, 1);
}

void c331_manage::set_input_bkg2(int fd, int w, int on)
{
    if (!winOk(w))
        return;
    const int port = PM_INPUT[w];
    bool enable;
    if (on)
        enable = true;
    else if (pattern_active)
        enable = false;
    else
        enable = !portOk(port) || PI_STATE[port] == 0; // no port is no picture
    uint32_t colour = 0;
    if (g_force_bkcolor == 1) {
        enable = true;
        colour = c331ports::kGreen;
    }
    if (PM_WIN_DBD_MODE[w] != DBD_DISABLE)
        enable = false;
    // No input channel, no picture: what it would show is another window's.
    if (mainIch(w) < 0 && !pattern_active)
        enable = true;
    if (pwinfo[w].output & 1)
        enable = true; // black
    writeBackground(*this, fd, w, enable, colour);
}

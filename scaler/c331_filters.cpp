// Noise reduction, deinterlacing and the scalers' coefficient tables: the
// register programming of input channels 0..3 (the ones with a
// deinterlacer and noise reducers) from their port's class and the port's
// picture-processing switches, and the coefficient selection of every
// input and output scaler. The values are in c331_filter_tables.cpp.
#include "scaler/c331_manage.h"

#include "core/globals.h"
#include "scaler/c331_filter_tables.h"
#include "scaler/c331_ports.h"

using namespace c331filters;


namespace {

constexpr int kFilterChannels = 4; // channels with deinterlacer and noise reducers

// Writes a list at a channel's bank offset.
void writeList(c331_drv& drv, int fd, const RegList& list, int off)
{
    for (size_t i = 0; i < list.count; ++i)
        drv.write_C331(fd, list.writes[i].code, list.writes[i].value, off);
}

bool anyNr(const c331_manage& m, int p)
{
    return m.PM_HNR[p] || m.PM_VNR[p] || m.PM_TNR[p] || m.PM_BNR[p] || m.PM_MNR[p];
}

// The port a deinterlacing channel works for: its owner window's; -1 for
// a free channel or an owner without a port.
int channelPort(const c331_manage& m, int ch)
{
    if (ch < 0 || ch >= kFilterChannels)
        return -1;
    const int w = m.ich_win[ch];
    if (!c331_manage::winOk(w) || !c331_manage::portOk(m.PM_INPUT[w]))
        return -1;
    return m.PM_INPUT[w];
}

bool filterArgsOk(int ch, int port) { return ch >= 0 && ch < kFilterChannels && c331_manage::portOk(port); }

} // namespace

// ---------------------------------------------------------------------------
// Deinterlacer

void c331_manage::set_ip(int fd, int ch)
{
    const int p = channelPort(*this, ch);
    if (p < 0)
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    const bool interlaced = PI_SCAN_MODE[p] == 1;
    if ((PI_STATE[p] > 3 && anyNr(*this, p)) || interlaced) {
        // The field the channel receives.
        wait1_pivs(fd, ch);
        wait1_pivs(fd, ch);
        c331ports::latch(drv, fd);
        PI_IFH[p] = int32_t(drv.read_C331(fd, 0xA80902 + 0x600u * unsigned(ch), 0) + 1);
        PI_IFV[p] = int32_t(drv.read_C331(fd, 0xA80B02 + 0x600u * unsigned(ch), 0));
        c331ports::unlatch(drv, fd);

        const int32_t H = interlaced ? (PI_IFH[p] + 1) / 2 + 32 : PI_IFH[p] + 32;
        drv.write_C331(fd, 0x140802, uint32_t(H), off);
        drv.write_C331(fd, 0x140A02, uint32_t(2 * (PI_IFV[p] + 16)), off);
        drv.write_C331(fd, 0x146D02, (uint32_t((H + 1) * 3 / 4) & 0x3FFF) | 0x8000, off);
        drv.write_C331(fd, 0x140C01, 1, off);
        drv.write_C331(fd, 0x140F02, uint32_t(PI_ACT[p].hw), off);
        drv.write_C331(fd, 0x141302, uint32_t(interlaced ? 2 * PI_ACT[p].vw : PI_ACT[p].vw), off);
        drv.write_C331(fd, 0x141102, uint32_t(interlaced ? 2 * PI_ACT[p].vst : PI_ACT[p].vst) | 0x8000, off);

        set_mvflt(fd, ch, p);
        set_diag(fd, ch, p);
        set_ipregs(fd, ch, p);
        set_comb(fd, ch, p);
        set_nr(fd, ch, p);

        if (interlaced) {
            drv.write_C331(fd, 0x142A01, PM_IPEN[p] ? 0 : 32, off);
            drv.write_C331(fd, 0x146701, 8, off);
            drv.write_C331(fd, 0x146801, 4, off);
        } else {
            drv.write_C331(fd, 0x142A01, 16, off);
            drv.write_C331(fd, 0x146701, 0, off);
            drv.write_C331(fd, 0x146801, 0, off);
        }
    } else {
        drv.write_C331(fd, 0x157001, 0, off);
        set_nr(fd, ch, p);
    }

    // The deinterlacer's field memory.
    static const uint32_t kFieldRegs[8] = {0x171804, 0x171C04, 0x172004, 0x172404,
                                           0x170804, 0x170C04, 0x171004, 0x171404};
    if (interlaced) {
        const uint32_t m = uint32_t(PS_MWI_IP[ch] & 31) << 10;
        const uint32_t* I = PS_MEM_IP_I[ch];
        const uint32_t values[8] = {m + I[0], I[0], m + I[1], I[1], m + I[0], I[0], m + I[1], I[1]};
        for (int i = 0; i < 8; ++i)
            drv.write_C331(fd, kFieldRegs[i], values[i], off);
        drv.write_C331(fd, 0x175902, PS_MEM_IPYOFF[ch], off);
    } else {
        for (int i = 0; i < 8; ++i)
            drv.write_C331(fd, kFieldRegs[i], PS_MEM_IP_P[ch][i & 1], off);
        drv.write_C331(fd, 0x175902, 0, off);
    }
    drv.write_C331(fd, 0x165B01, interlaced ? 1 : 0, off);
}

void c331_manage::set_ipregs(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    const int cls = PI_STATE[port];
    if (cls < 5 || cls > 8)
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    for (size_t i = 0; i < kCadenceCount; ++i)
        drv.write_C331(fd, kCadence[i].code, kCadence[i].byClass[cls - 5], off);
    writeList(drv, fd, cls <= 6 ? kCadence1080i : kCadenceSd, off);
    drv.write_C331(fd, 0x142C01,
                   (PM_23PD[port] ? 0x80u : 0u) | (PM_22PD[port] ? 0x40u : 0u) | 0x32u | (cls <= 6 ? 1u : 0u), off);
    drv.write_C331(fd, 0x142D01, PM_24SF[port] ? 25 : 9, off);
    drv.write_C331(fd, 0x143001, uint32_t(PM_23PDSQTH[port] & 0xF) | uint32_t(PM_22PDSQTH[port] & 0xF) << 4, off);
}

void c331_manage::set_mvflt(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    int level = PM_MVFLT[port];
    if (PI_STATE[port] <= 3 || level < 0 || level > 4)
        level = 0;
    drv.write_C331(fd, 0x141501, PI_STATE[port] > 3 && PM_MVFLT[port] ? 31 : 0, off);
    const uint32_t T = kMotionT[level], U = kMotionU[level], V = kMotionV[level];
    const RegWrite writes[] = {{0x141A01, T}, {0x141B01, T}, {0x141C01, U}, {0x141D01, V},
                               {0x141E01, T}, {0x141F01, T}, {0x142001, U}, {0x142101, V}};
    writeList(drv, fd, RegList{writes, 8}, off);
}

void c331_manage::set_diag(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    const int level = PM_DIAG[port];
    const bool on = PI_STATE[port] > 3 && level >= 1 && level <= 3;
    for (unsigned i = 0; i < 16; ++i)
        p_c331_drv->write_C331(fd, 0x145001 + 0x100u * i, on ? kDiagonal[level - 1][i] : 0, 16 * ch);
}

void c331_manage::set_comb(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    const int level = PM_COMB[port];
    if (PI_STATE[port] <= 3 || level < 1 || level > 3) {
        drv.write_C331(fd, 0x143B01, 0, off);
        return;
    }
    drv.write_C331(fd, 0x143B01, kComb[level - 1][0], off);
    drv.write_C331(fd, 0x143C01, kComb[level - 1][1], off);
    drv.write_C331(fd, 0x143D01, kComb[level - 1][2], off);
}

// ---------------------------------------------------------------------------
// Noise reduction

void c331_manage::set_nr(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    if (PI_STATE[port] <= 3) {
        for (uint32_t reg : {0x153902u, 0x120801u, 0x156B01u, 0x150901u, 0x150801u})
            drv.write_C331(fd, reg, 0, off);
        return;
    }
    set_nr_block(fd, ch, port);
    set_nr_tpx(fd, ch, port);
    set_nr_hvpx(fd, ch, port);
    set_nr_mosq(fd, ch, port);
    uint32_t enable = 0;
    if (PI_SCAN_MODE[port] != 1)
        enable = PM_BNR[port] ? 3 : anyNr(*this, port) ? 1 : 0;
    drv.write_C331(fd, 0x150801, enable, off);
}

namespace {
// One member of the block noise reducer, by the height of its picture.
void blockNrMember(c331_manage& m, int fd, int ch, int port, int height)
{
    if (!filterArgsOk(ch, port))
        return;
    const BlockNrMember* member = nullptr;
    for (const BlockNrMember& b : kBlockNrMembers)
        if (b.height == height)
            member = &b;
    if (!member)
        return;
    c331_drv& drv = *m.p_c331_drv;
    const int off = 16 * ch;
    drv.write_C331(fd, 0x150801, member->interlaced ? 0 : 3, off);
    const int level = m.PM_BNR[port];
    if (level < 1 || level > 3)
        return;
    for (int i = 0; i < 11; ++i)
        drv.write_C331(fd, kBlockNrLevelRegs[i], kBlockNrLevel[level - 1][i], off);
    writeList(drv, fd, kBlockNrHead, off);
    const uint32_t groups[2][2] = {{member->a1, member->b1}, {member->a2, member->b2}};
    for (unsigned g = 0; g < 2; ++g) {
        const uint32_t at = 0x700u * g;
        drv.write_C331(fd, 0x154A01 + at, 64, off);
        drv.write_C331(fd, 0x154B01 + at, 18, off);
        drv.write_C331(fd, 0x154C01 + at, 16, off);
        drv.write_C331(fd, 0x154D02 + at, groups[g][0], off);
        drv.write_C331(fd, 0x154F02 + at, groups[g][1], off);
    }
    writeList(drv, fd, kBlockNrTail, off);
    drv.write_C331(fd, 0x156A01, member->e, off);
}
} // namespace

void c331_manage::set_nr_block(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    if (!PM_BNR[port]) {
        p_c331_drv->write_C331(fd, 0x153902, 0, 16 * ch);
        return;
    }
    switch (PI_ACT[port].vw) {
    case 240: set_nr_b_480i(fd, ch, port); break;
    case 480: set_nr_b_480p(fd, ch, port); break;
    case 540: set_nr_b_1080i(fd, ch, port); break;
    case 720: set_nr_b_720p(fd, ch, port); break;
    case 1080: set_nr_b_1080p(fd, ch, port); break;
    default: break; // no member for this height
    }
}

void c331_manage::set_nr_b_1080i(int fd, int ch, int port) { blockNrMember(*this, fd, ch, port, 540); }
void c331_manage::set_nr_b_1080p(int fd, int ch, int port) { blockNrMember(*this, fd, ch, port, 1080); }
void c331_manage::set_nr_b_480i(int fd, int ch, int port) { blockNrMember(*this, fd, ch, port, 240); }
void c331_manage::set_nr_b_480p(int fd, int ch, int port) { blockNrMember(*this, fd, ch, port, 480); }
void c331_manage::set_nr_b_720p(int fd, int ch, int port) { blockNrMember(*this, fd, ch, port, 720); }

void c331_manage::set_nr_tpx(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    const int level = PM_TNR[port];
    if (level < 1 || level > 3) {
        drv.write_C331(fd, 0x120801, 0, off);
        return;
    }
    drv.write_C331(fd, 0x120801, 3, off);
    for (unsigned i = 0; i < 4; ++i)
        drv.write_C331(fd, 0x120901 + 0x100u * i, kTemporalSteps[i], off);
    for (unsigned i = 0; i < 8; ++i)
        drv.write_C331(fd, 0x120D01 + 0x100u * i, kTemporalLevel[level - 1][i], off);
}

void c331_manage::set_nr_hvpx(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    const int h = PM_HNR[port], v = PM_VNR[port];
    drv.write_C331(fd, 0x156B01, (v ? 16u : 0u) | (h ? 1u : 0u), off);
    const bool hOn = h >= 1 && h <= 3, vOn = v >= 1 && v <= 3;
    drv.write_C331(fd, 0x156E01, hOn ? kHvLow[h - 1] : 0, off);
    drv.write_C331(fd, 0x156F01, hOn ? kHvHigh[h - 1] : 0, off);
    drv.write_C331(fd, 0x156C01, vOn ? kHvLow[v - 1] : 0, off);
    drv.write_C331(fd, 0x156D01, vOn ? kHvHigh[v - 1] : 0, off);
}

void c331_manage::set_nr_mosq(int fd, int ch, int port)
{
    if (!filterArgsOk(ch, port))
        return;
    c331_drv& drv = *p_c331_drv;
    const int off = 16 * ch;
    const int level = PM_MNR[port];
    if (level < 1 || level > 3) {
        drv.write_C331(fd, 0x150901, 0, off);
        return;
    }
    drv.write_C331(fd, 0x150901, 1, off);
    writeList(drv, fd, kMosquito[level - 1], off);
    for (unsigned i = 0; i < 5; ++i)
        drv.write_C331(fd, 0x152A01 + 0x100u * i, 0, off);
}

// ---------------------------------------------------------------------------
// Channel mode, memory and colour format

void c331_manage::set_mct(int fd, int w, int flag)
{
    (void)flag; // every caller passes 0
    if (!winOk(w))
        return;
    const int mode = PM_WIN_DBD_MODE[w];
    int p;
    if (mode == DBD_CMOS_IN34 || mode == DBD_CMOS_IN34V)
        p = 2;
    else if (mode == DBD_VBO_IN12 || mode == DBD_VBO_IN12V)
        p = 4;
    else if (mode == DBD_DISABLE || mode == DBD_SINGLE_INPUT)
        p = PM_INPUT[w];
    else
        p = 0;
    const int c0 = mainIch(w);
    if (!portOk(p) || c0 < 0 || c0 >= kInChannels)
        return;
    c331_drv& drv = *p_c331_drv;
    const uint32_t m = PI_STATE[p] != 0 ? 0x11 : 1;
    auto further = [&] {
        for (int i = 1; i < kInChannels && win_ich[w][i] >= 0; ++i) {
            const int c = win_ich[w][i];
            drv.write_C331(fd, 0x000801 + 0x100u * unsigned(c), m, 0);
            drv.write_C331(fd, 0x100901, uint32_t(c0 + 8), 16 * c);
        }
    };
    if (p >= 4) {
        drv.write_C331(fd, 0x000801 + 0x100u * unsigned(c0), m, 0);
        drv.write_C331(fd, 0x100901, 1, 16 * c0);
        further();
        return;
    }
    const bool interlaced = PI_SCAN_MODE[p] == 1;
    int n;
    uint32_t b, s;
    if (PM_BNR[p]) {
        n = 2;
        b = 0x0E;
        s = interlaced ? 0 : 1;
    } else {
        s = interlaced ? 0 : 1;
        b = interlaced ? 0x0E : 0;
        const bool other = PM_HNR[p] || PM_VNR[p] || PM_TNR[p] || PM_MNR[p];
        n = other ? 1 : 0;
        if (other)
            b = 0x0E;
    }
    if (c0 > 3 || mode > DBD_SINGLE_INPUT)
        b = 0;
    drv.write_C331(fd, 0x000801 + 0x100u * unsigned(c0), b | m, 0);
    drv.write_C331(fd, 0x100901, s, 16 * c0);
    if (n != nren_old[p]) {
        nren_old[p] = n;
        if (!interlaced)
            drv.write_C331(fd, 0x150801, n == 2 ? 3 : uint32_t(n), 16 * c0);
    }
    further();
}

void c331_manage::set_iscwct(int fd, int w)
{
    if (!winOk(w))
        return;
    uint32_t code;
    switch (PM_MEM_WMODE[w]) {
    case 1: code = 0x80; break;
    case 2: code = 0x01; break;
    case 3: code = 0x11; break;
    default: code = 0; break;
    }
    for (int i = 0; i < kInChannels && win_ich[w][i] >= 0; ++i)
        p_c331_drv->write_C331(fd, 0x007101 + 0x100u * unsigned(win_ich[w][i]), code, 0);
}

// ---------------------------------------------------------------------------
// Scaler coefficients: 0x007901 picks a set, 0x007A01 names the scaler
// that loads it (128 + 4 channel + kind: 1 horizontal zoom, 2 vertical
// shrink, 3 horizontal shrink; + 4 the paired channel).

namespace {
int shrinkSetOf(int ratio)
{
    for (size_t i = 0; i < kHShrinkSetCount; ++i)
        if (ratio < kHShrinkSets[i].below)
            return kHShrinkSets[i].set;
    return kHShrinkNone;
}
} // namespace

void c331_manage::set_lut_hshrnk(int fd, int ratio, int ch, int pair)
{
    if (ch < 0 || ch >= kInChannels)
        return;
    c331_drv& drv = *p_c331_drv;
    drv.write_C331(fd, 0x007901, uint32_t(shrinkSetOf(ratio)), 0);
    drv.write_C331(fd, 0x007A01, 131u + 4u * unsigned(ch), 0);
    if (pair)
        drv.write_C331(fd, 0x007A01, 135u + 4u * unsigned(ch), 0);
}

void c331_manage::set_lut_vshrnk_4sym(int fd, int ratio, int ch, int pair)
{
    if (ch < 0 || ch >= kInChannels)
        return;
    int set = 1;
    for (size_t i = 0; i < kVShrinkSetCount; ++i)
        if (ratio >= kVShrinkSets[i].atLeast) {
            set = kVShrinkSets[i].set;
            break;
        }
    c331_drv& drv = *p_c331_drv;
    for (unsigned k = 0; k < kLutValues; ++k)
        drv.write_C331(fd, 0x116801 + 0x100u * k, uint32_t(lut[set][k]) & 0xFF, 16 * ch);
    // The paired channel's scaler sits one channel up; the last channel has none.
    if (pair && ch + 1 < kInChannels)
        for (unsigned k = 0; k < kLutValues; ++k)
            drv.write_C331(fd, 0x216801 + 0x100u * k, uint32_t(lut[set][k]) & 0xFF, 16 * ch);
}

void c331_manage::set_lut_vzoom_4sym(int fd, int ratio, int och)
{
    if (och < 0 || och >= kOutChannels)
        return;
    c331_drv& drv = *p_c331_drv;
    for (unsigned k = 0; k < kLutValues; ++k) {
        const uint32_t v = ratio < 1 ? (k == 0 ? 64 : 0) : uint32_t(lut_set_lut_vzoom_4sym[k]) & 0xFF;
        drv.write_C331(fd, 0x0A6801 + 0x100u * k, v, 16 * och);
    }
}

void c331_manage::set_lut_vshrnk(int fd, int ratio, int n)
{
    if (n < 0 || n > 5)
        return;
    c331_drv& drv = *p_c331_drv;
    drv.write_C331(fd, 0x007901, uint32_t(shrinkSetOf(ratio)), 0);
    if (n >= 4) {
        drv.write_C331(fd, 0x007A01, 146u + 8u * unsigned(n - 4), 0);
        drv.write_C331(fd, 0x007A01, 150u + 8u * unsigned(n - 4), 0);
    } else if (ich_mode[n] < 4) {
        drv.write_C331(fd, 0x007A01, 130u + 4u * unsigned(n), 0);
    } else {
        drv.write_C331(fd, 0x007A01, 130u + 8u * unsigned(n / 2), 0);
        drv.write_C331(fd, 0x007A01, 134u + 8u * unsigned(n / 2), 0);
    }
}

void c331_manage::set_lut_hzoom(int fd, int ratio, int och)
{
    (void)ratio;
    if (och < 0 || och >= kOutChannels)
        return;
    p_c331_drv->write_C331(fd, 0x007901, kHZoomSet, 0);
    p_c331_drv->write_C331(fd, 0x007A01, 129u + 4u * unsigned(och), 0);
}

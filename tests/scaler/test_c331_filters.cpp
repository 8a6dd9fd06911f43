// Noise reduction, deinterlacing and the scalers' coefficients: what each
// class of port and each level programs, on the channels that have them.
#include "tests/scaler/input_fixture.h"

namespace {
class Filters : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        noWindows();
        for (int p = 0; p < 6; ++p) {
            scaler->PM_HNR[p] = scaler->PM_VNR[p] = scaler->PM_TNR[p] = scaler->PM_BNR[p] = scaler->PM_MNR[p] = 0;
            scaler->PM_COMB[p] = scaler->PM_DIAG[p] = scaler->PM_MVFLT[p] = 0;
        }
    }
    // Window 0 on the port of `source`, described from `t`, owning input
    // channel c, whose select names the port.
    void deinterlaceOn(int source, const VideoTiming& t, int c)
    {
        const int p = portOf(source);
        placeWindow(0, 0, p);
        plug(source, t);
        scaler->load_hdmi();
        scaler->check_input_port(fd);
        scaler->g_chg_input[0] = 0;
        scaler->ich_win[c] = 0;
        scaler->win_ich[0][0] = c;
        chip().set(0x001001 + 0x100u * unsigned(c), uint32_t(2 * p));
    }
    // (bank and address, value) of every byte written since `mark` to the
    // per-channel banks 0x10..0x1F at `bankOffset`.
    std::vector<std::pair<uint32_t, uint32_t>> written(uint64_t mark, int bankOffset) const
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const auto& w : chip().journal(mark))
            if (w.bank - bankOffset >= 0x10 && w.bank - bankOffset <= 0x1F)
                out.push_back({uint32_t(w.bank - bankOffset) << 16 | uint32_t(w.addr) << 8, w.value});
        return out;
    }
    uint32_t at(uint32_t code, int ch) const { return chip().value(code, 16 * ch); }
    int port2 = 2;
};
} // namespace

TEST_F(Filters, CoefficientSetsByRatio)
{
    const std::pair<int, uint32_t> horizontal[] = {{0, 44},     {13107, 1}, {13108, 2},  {32768, 4},
                                                  {32769, 6},  {65000, 38}, {65001, 44}, {43680, 8}};
    for (const auto& h : horizontal) {
        scaler->set_lut_hshrnk(fd, h.first, 0, 0);
        EXPECT_EQ(chip().value(0x007901), h.second) << h.first;
    }
    uint64_t mark = chip().mark();
    scaler->set_lut_hshrnk(fd, 30000, 2, 1);
    EXPECT_EQ(chip().writes(0x007A01, 0, mark), (std::vector<uint32_t>{139, 143}));

    // No shrink: set 1 of the vertical table; 62260 and up: set 9; the pair
    // gets the same.
    scaler->set_lut_vshrnk_4sym(fd, 0, 3, 1);
    EXPECT_EQ(at(0x116801, 3), 0u);
    EXPECT_EQ(at(0x116801 + 0x800, 3), 13u);
    EXPECT_EQ(at(0x216801 + 0x800, 3), 13u);
    scaler->set_lut_vshrnk_4sym(fd, 62260, 3, 0);
    EXPECT_EQ(at(0x116801 + 0x800, 3), 252u);
    EXPECT_EQ(at(0x117F01, 3), 64u);
    scaler->set_lut_vshrnk_4sym(fd, 62259, 3, 0);
    EXPECT_EQ(at(0x116801 + 0x800, 3), 247u); // set 8
    // The last channel has no pair above it.
    mark = chip().mark();
    scaler->set_lut_vshrnk_4sym(fd, 0, 7, 1);
    for (const auto& w : chip().journal(mark))
        EXPECT_LT(w.bank, 0x91);

    scaler->set_lut_vzoom_4sym(fd, 0, 5);
    EXPECT_EQ(chip().value(0x0A6801, 16 * 5), 64u);
    EXPECT_EQ(chip().value(0x0A7F01, 16 * 5), 0u);
    scaler->set_lut_vzoom_4sym(fd, 40000, 5);
    EXPECT_EQ(chip().value(0x0A6801, 16 * 5), 0u);
    EXPECT_EQ(chip().value(0x0A7101, 16 * 5), 255u);
    EXPECT_EQ(chip().value(0x0A7F01, 16 * 5), 64u);
    scaler->set_lut_hzoom(fd, 0, 6);
    EXPECT_EQ(chip().value(0x007901), 46u);
    EXPECT_EQ(chip().value(0x007A01), 153u);
}

TEST_F(Filters, OnlyChannelsZeroToThreeAreProgrammed)
{
    deinterlaceOn(0, interlaced(1920, 1080, 60), 4);
    scaler->PM_BNR[port2] = scaler->PM_TNR[port2] = scaler->PM_COMB[port2] = scaler->PM_DIAG[port2] = 1;
    const uint64_t mark = chip().mark();
    scaler->set_ip(fd, 4);
    scaler->set_nr(fd, 4, port2);
    scaler->set_comb(fd, 4, port2);
    scaler->set_diag(fd, 4, port2);
    scaler->set_mvflt(fd, 4, port2);
    scaler->set_ipregs(fd, 4, port2);
    scaler->set_nr_block(fd, 4, port2);
    // A free channel has no port to program for.
    scaler->set_ip(fd, 2);
    EXPECT_TRUE(chip().journal(mark).empty());
}

TEST_F(Filters, ProgressiveWithoutNoiseReductionAndSampleModeDoubled)
{
    deinterlaceOn(0, progressive(1920, 1080, 60), 1);
    uint64_t mark = chip().mark();
    scaler->set_ip(fd, 1);
    EXPECT_EQ(chip().writes(0x157001, 16, mark), std::vector<uint32_t>{0});
    EXPECT_EQ(chip().lastWrite(0x150801, 16, mark), 0u);
    EXPECT_TRUE(chip().writes(0x140802, 16, mark).empty()); // no deinterlacer set-up
    EXPECT_EQ(at(0x165B01, 1), 0u);
    // Progressive field memory, the two fields alternating.
    EXPECT_EQ(at(0x171804, 1), scaler->PS_MEM_IP_P[1][0]);
    EXPECT_EQ(at(0x171C04, 1), scaler->PS_MEM_IP_P[1][1]);
    EXPECT_EQ(at(0x175902, 1), 0u);

    // Two pixels a clock (class 3): the noise reducers are switched off.
    deinterlaceOn(0, progressive(2560, 1440, 60), 1);
    ASSERT_EQ(scaler->PI_STATE[port2], 3);
    scaler->PM_BNR[port2] = 2;
    mark = chip().mark();
    scaler->set_nr(fd, 1, port2);
    EXPECT_EQ(written(mark, 16), (std::vector<std::pair<uint32_t, uint32_t>>{
                                     {0x153900, 0}, {0x153A00, 0}, {0x120800, 0}, {0x156B00, 0}, {0x150900, 0},
                                     {0x150800, 0}}));
}

TEST_F(Filters, InterlacedSourceIsDeinterlacedWithItsFieldSize)
{
    deinterlaceOn(0, interlaced(1920, 1080, 60), 0);
    ASSERT_EQ(scaler->PI_STATE[port2], 5);
    uint64_t mark = chip().mark();
    scaler->set_ip(fd, 0);
    EXPECT_EQ(scaler->PI_IFH[port2], 1920);
    EXPECT_EQ(scaler->PI_IFV[port2], 540);
    EXPECT_EQ(at(0x140802, 0), 992u); // half the field width and 32
    EXPECT_EQ(at(0x140A02, 0), 1112u);
    EXPECT_EQ(at(0x146D02, 0), 744u | 0x8000u);
    EXPECT_EQ(at(0x141302, 0), 1080u); // frame lines
    EXPECT_EQ(at(0x141102, 0), 40u | 0x8000u);
    EXPECT_EQ(at(0x142E01, 0), 26u); // the 1080i cadence detector
    EXPECT_EQ(at(0x142C01, 0), 0x33u);
    EXPECT_EQ(at(0x142A01, 0), 0u); // deinterlacer on
    EXPECT_EQ(at(0x146701, 0), 8u);
    const uint32_t m = uint32_t(scaler->PS_MWI_IP[0] & 31) << 10;
    EXPECT_EQ(at(0x171804, 0), m + scaler->PS_MEM_IP_I[0][0]);
    EXPECT_EQ(at(0x172404, 0), scaler->PS_MEM_IP_I[0][1]);
    EXPECT_EQ(at(0x175902, 0), scaler->PS_MEM_IPYOFF[0]);
    EXPECT_EQ(at(0x165B01, 0), 1u);
    // The noise reducers stay off for an interlaced port.
    EXPECT_EQ(chip().lastWrite(0x150801, 0, mark), 0u);
    // It waited for two input frames on the channel.
    EXPECT_EQ(chip().writes(0x050801, 0, mark), (std::vector<uint32_t>{1, 0, 1, 0}));

    scaler->PM_IPEN[port2] = 0;
    scaler->set_ip(fd, 0);
    EXPECT_EQ(at(0x142A01, 0), 32u);
}

TEST_F(Filters, CadenceDetectorOfA480iSource)
{
    deinterlaceOn(0, interlaced(720, 480, 60), 1);
    ASSERT_EQ(scaler->PI_STATE[port2], 7);
    scaler->PM_22PD[port2] = 1;
    scaler->PM_24SF[port2] = 1;
    scaler->PM_22PDSQTH[port2] = 3;
    scaler->PM_23PDSQTH[port2] = 5;
    const uint64_t mark = chip().mark();
    scaler->set_ipregs(fd, 1, port2);
    const std::vector<std::pair<uint32_t, uint32_t>> want = {
        {0x142E00, 13},  {0x142F00, 3},   {0x143100, 53},  {0x143200, 2},  {0x143300, 128}, {0x143400, 40},
        {0x143500, 196}, {0x143600, 196}, {0x143700, 196}, {0x143800, 196}, {0x143900, 194}, {0x143A00, 194},
        {0x144200, 70},  {0x144300, 0},   {0x144400, 3},   {0x144500, 0},   {0x144600, 0},   {0x144700, 0},
        {0x144800, 9},   {0x144900, 0},   {0x144A00, 0},   {0x142C00, 0x72}, {0x142D00, 25}, {0x143000, 0x35}};
    EXPECT_EQ(written(mark, 16), want);
    // A progressive class has no cadence to detect.
    deinterlaceOn(0, progressive(1920, 1080, 60), 1);
    const uint64_t mark2 = chip().mark();
    scaler->set_ipregs(fd, 1, port2);
    EXPECT_TRUE(chip().journal(mark2).empty());
}

TEST_F(Filters, NoiseReducersByLevelAndHeight)
{
    deinterlaceOn(0, progressive(1280, 720, 60), 2);
    const int p = port2;
    scaler->PM_BNR[p] = 2;
    uint64_t mark = chip().mark();
    scaler->set_nr(fd, 2, p);
    EXPECT_EQ(at(0x153B01, 2), 160u);
    EXPECT_EQ(at(0x154D02, 2), 171u); // the 720p member's two groups
    EXPECT_EQ(at(0x154F02, 2), 43u);
    EXPECT_EQ(at(0x155402, 2), 342u);
    EXPECT_EQ(at(0x155602, 2), 86u);
    EXPECT_EQ(at(0x156A01, 2), 16u);
    EXPECT_EQ(chip().lastWrite(0x150801, 32, mark), 3u); // block NR on a progressive port

    // A height without a member leaves the block noise reducer as it was.
    scaler->PI_ACT[p].vw = 576;
    mark = chip().mark();
    scaler->set_nr_block(fd, 2, p);
    EXPECT_TRUE(chip().journal(mark).empty());
    scaler->PI_ACT[p].vw = 720;

    scaler->PM_BNR[p] = 0;
    scaler->PM_TNR[p] = 3;
    scaler->PM_HNR[p] = 2;
    scaler->PM_VNR[p] = 1;
    scaler->PM_MNR[p] = 1;
    mark = chip().mark();
    scaler->set_nr(fd, 2, p);
    EXPECT_EQ(chip().lastWrite(0x153902, 32, mark), 0u);
    EXPECT_EQ(at(0x120801, 2), 3u);
    EXPECT_EQ(at(0x120C01, 2), 253u);
    EXPECT_EQ(at(0x120D01, 2), 0u);
    EXPECT_EQ(at(0x121401, 2), 31u);
    EXPECT_EQ(at(0x156B01, 2), 17u);
    EXPECT_EQ(at(0x156E01, 2), 117u);
    EXPECT_EQ(at(0x156F01, 2), 201u);
    EXPECT_EQ(at(0x156C01, 2), 66u);
    EXPECT_EQ(at(0x156D01, 2), 150u);
    EXPECT_EQ(at(0x151001, 2), 63u);
    EXPECT_EQ(at(0x151601, 2), 63u);
    EXPECT_EQ(at(0x152101, 2), 36u);
    EXPECT_EQ(at(0x152901, 2), 81u);
    EXPECT_EQ(chip().lastWrite(0x150801, 32, mark), 1u);
    scaler->PM_MNR[p] = 3;
    scaler->set_nr_mosq(fd, 2, p);
    EXPECT_EQ(at(0x151001, 2), 127u);
    EXPECT_EQ(at(0x151D01, 2), 255u);
    EXPECT_EQ(at(0x152901, 2), 0u);
    scaler->PM_MNR[p] = 4; // no such level: off
    scaler->set_nr_mosq(fd, 2, p);
    EXPECT_EQ(at(0x150901, 2), 0u);

    // Comb, diagonal and motion filters.
    scaler->PM_COMB[p] = 3;
    scaler->PM_DIAG[p] = 2;
    scaler->PM_MVFLT[p] = 4;
    scaler->set_comb(fd, 2, p);
    scaler->set_diag(fd, 2, p);
    scaler->set_mvflt(fd, 2, p);
    EXPECT_EQ(at(0x143C01, 2), 112u);
    EXPECT_EQ(at(0x145001, 2), 11u);
    EXPECT_EQ(at(0x145301, 2), 3u);
    EXPECT_EQ(at(0x141501, 2), 31u);
    EXPECT_EQ(at(0x141A01, 2), 16u);
    EXPECT_EQ(at(0x142001, 2), 24u);
    EXPECT_EQ(at(0x142101, 2), 31u);
    scaler->PM_DIAG[p] = 4;
    scaler->set_diag(fd, 2, p);
    EXPECT_EQ(at(0x145001, 2), 0u);
}

TEST_F(Filters, ChannelModeWritesTheNoiseEnableOnlyWhenItChanges)
{
    deinterlaceOn(0, progressive(1920, 1080, 60), 1);
    scaler->win_ich[0][1] = 3;
    scaler->PM_HNR[port2] = 1;
    uint64_t mark = chip().mark();
    scaler->set_mct(fd, 0, 0);
    EXPECT_EQ(chip().value(0x000901), 0x1Fu); // memory bits 0x0E, signal 0x11
    EXPECT_EQ(at(0x100901, 1), 1u);
    EXPECT_EQ(chip().writes(0x150801, 16, mark), std::vector<uint32_t>{1});
    EXPECT_EQ(at(0x100901, 3), 9u); // follows channel 1
    EXPECT_EQ(chip().value(0x000B01), 0x11u);
    mark = chip().mark();
    scaler->set_mct(fd, 0, 0);
    EXPECT_TRUE(chip().writes(0x150801, 16, mark).empty());

    // An interlaced port: memory bits, no sync, no NR enable written.
    scaler->PM_HNR[port2] = 0;
    deinterlaceOn(0, interlaced(1920, 1080, 50), 1);
    mark = chip().mark();
    scaler->set_mct(fd, 0, 0);
    EXPECT_EQ(chip().value(0x000901), 0x1Fu);
    EXPECT_EQ(at(0x100901, 1), 0u);
    EXPECT_TRUE(chip().writes(0x150801, 16, mark).empty());
    // Channels without a deinterlacer keep no memory bits.
    scaler->win_ich[0][0] = 5;
    scaler->set_mct(fd, 0, 0);
    EXPECT_EQ(chip().value(0x000D01), 0x11u);

    // Colour format of every channel of the window by its memory mode.
    scaler->win_ich[0][0] = 1;
    scaler->PM_MEM_WMODE[0] = 1;
    scaler->set_iscwct(fd, 0);
    EXPECT_EQ(chip().value(0x007201), 0x80u);
    EXPECT_EQ(chip().value(0x007401), 0x80u);
}

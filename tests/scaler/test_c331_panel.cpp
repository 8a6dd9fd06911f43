// The LED screen over the output channels: split, channel mode, timing,
// registers and what is published into the parameter image.
#include "tests/scaler/scaler_fixture.h"

#include <set>

using namespace ram;

namespace {
class Panel : public ScalerTest {
protected:
    void init(int ledW, int ledH, int out1w, int out1h, int splice)
    {
        mark = chip().mark();
        scaler->vyxApi_PnlInit2(ledW, ledH, out1w, out1h, splice);
    }
    const ST_PANEL& p() const { return scaler->panel; }
    std::vector<uint16_t> published() const
    {
        std::vector<uint16_t> out;
        for (int off = kPictureOffsetX; off <= kOutBandwidthClass; off += 2)
            out.push_back(le16(img + off));
        return out;
    }
    uint64_t mark = 0;
};
} // namespace

TEST_F(Panel, FullHdWithoutSplicingIsOneChannelPerOutput)
{
    init(1920, 1080, 1920, 1080, SPLICE_NONE);
    EXPECT_EQ(p().use1och, 1);
    EXPECT_EQ(p().arrangement, ARRANG2K4_2x1);
    EXPECT_EQ(p().och.htt, 1984);
    EXPECT_EQ(p().och.vtt, 4990);
    EXPECT_EQ(p().och.width, 1920);
    EXPECT_EQ(p().och.height, 1080);
    EXPECT_EQ(scaler->PS_HBP, 44);
    EXPECT_EQ(scaler->PS_VBP, 3904);
    EXPECT_EQ(scaler->PS_OAOIHST, 56);
    EXPECT_EQ(scaler->PS_OAOIVED, 4987);
    EXPECT_EQ(scaler->PS_PANEL_HW, 3840);
    EXPECT_EQ(scaler->PS_PANEL_VW, 1080);
    EXPECT_EQ(scaler->PS_VBOTX_MODE, 2);
    for (int c = 0; c < 8; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(chip().value(0x080A02, 16 * c), 1982u);
        EXPECT_EQ(chip().value(0x080C02, 16 * c), 4988u);
        EXPECT_EQ(chip().value(0x084202, 16 * c), 1920u);
        EXPECT_EQ(chip().value(0x084602, 16 * c), 1081u);
        EXPECT_EQ(chip().value(0x083602, 16 * c), 4987u);
    }
    EXPECT_EQ(chip().value(0x034401), 5u);
    EXPECT_EQ(chip().value(0x034501), 2u);
    EXPECT_EQ(chip().value(0x035504), 0x03020100u);
    EXPECT_EQ(chip().value(0x004D01), 137u);
    EXPECT_EQ(published(), (std::vector<uint16_t>{0, 0, 1, 1, 1920, 1080, 0}));
    // Every input is examined again afterwards.
    EXPECT_EQ(scaler->port_check_changed[5], 1);
    EXPECT_EQ(scaler->port_check[6].nosig, -1);
}

TEST_F(Panel, SplicesPlaceOutputOneInsideTheCanvas)
{
    // Stacked: output 1 pushed down when shorter than output 2.
    init(1920, 1080, 1920, 400, SPLICE_V);
    EXPECT_EQ(p().h1, 400);
    EXPECT_EQ(p().h2, 680);
    EXPECT_EQ(p().arrangement, ARRANG2K4_1x2);
    EXPECT_EQ(p().och.height, 680);
    EXPECT_EQ(published(), (std::vector<uint16_t>{0, 280, 1, 2, 1920, 680, 0}));
    EXPECT_EQ(chip().value(0x035504), 0x00010000u);
    EXPECT_EQ(scaler->PS_PANEL_VW, 1360);
    EXPECT_EQ(scaler->PS_VBOTX_LAYOUT, 1);
    // Splice word 8 acts as 2.
    init(1920, 1080, 1920, 400, 8);
    EXPECT_EQ(p().splice, SPLICE_V);
    EXPECT_EQ(le16(img + kPictureOffsetY), 280);

    // Side by side: output 1 pushed right when narrower than half the canvas.
    init(3000, 1000, 1000, 1000, SPLICE_H);
    EXPECT_EQ(p().w2, 2000);
    EXPECT_EQ(p().och.htt, 2064);
    EXPECT_EQ(p().och.vtt, 4797);
    EXPECT_EQ(p().och.height, 4785);
    EXPECT_EQ(published()[0], 1000);
    EXPECT_EQ(published()[2], 2);

    // CP21 has no part sizes: one channel of the LED height, nothing wrapped.
    init(1920, 1080, 1920, 1080, SPLICE_CP21);
    EXPECT_EQ(p().arrangement, ARRANG2K4_2x1);
    EXPECT_EQ(p().och.width, 0);
    EXPECT_EQ(p().och.height, 1080);
    EXPECT_EQ(published()[3], 2);
}

TEST_F(Panel, LargeScreensTakeTwoChannelsPerOutput)
{
    // 9,984,000 pixels: above the one-channel limit.
    init(3840, 2600, 3840, 2600, SPLICE_NONE);
    EXPECT_EQ(p().use1och, 0);
    EXPECT_EQ(p().arrangement, ARRANG2K4_4x1_8K);
    EXPECT_EQ(p().och.width, 1920);
    EXPECT_EQ(p().och.htt, 1996);
    EXPECT_EQ(p().och.vtt, 4960);
    EXPECT_EQ(p().och.height, 2600);
    EXPECT_EQ(scaler->PS_PANEL_HW, 7680);
    EXPECT_EQ(scaler->PS_HBP, 32);
    EXPECT_EQ(chip().value(0x034501), 11u);
    EXPECT_EQ(published()[2], 2);

    // The limits themselves: exactly 9.8 million and 8191 wide stay one channel.
    init(8000, 1225, 8000, 1225, SPLICE_NONE);
    EXPECT_EQ(p().use1och, 1);
    EXPECT_EQ(p().och.htt, 8064); // computed: no table entry is that tall
    EXPECT_EQ(p().och.vtt, 1237);
    init(8191, 100, 8191, 100, SPLICE_NONE);
    EXPECT_EQ(p().use1och, 1);
    init(8192, 100, 8192, 100, SPLICE_NONE);
    EXPECT_EQ(p().use1och, 0);
    init(1920, 1080, 1920, 1080, SPLICE_HV);
    EXPECT_EQ(p().arrangement, ARRANG2K4_1x2);
    init(7680, 2160, 7680, 400, SPLICE_V);
    EXPECT_EQ(p().arrangement, ARRANG2K4_2x2_8K);
}

TEST_F(Panel, AnOutputLargerThanTheScreenIsHeldToIt)
{
    // Only a PC can write it; output 2 is then empty, not a wrapped size.
    init(1920, 1080, 3840, 1080, SPLICE_H);
    EXPECT_EQ(p().w1, 1920);
    EXPECT_EQ(p().w2, 0);
    EXPECT_EQ(p().use1och, 1);
    init(1920, 1080, 1920, 2000, SPLICE_V);
    EXPECT_EQ(p().h1, 1080);
    EXPECT_EQ(p().h2, 0);
}

TEST(OutputTimings, HoldEveryPairTheTableIsKnownBy)
{
    const auto& t = c331_manage::outputTimings();
    ASSERT_FALSE(t.empty());
    using Pair = std::pair<int, int>;
    EXPECT_EQ(t.front(), Pair(660, 15000));
    EXPECT_EQ(t.back(), Pair(8280, 1196));
    auto at = [&t](Pair p) { return std::find(t.begin(), t.end(), p) - t.begin(); };
    for (Pair p : {Pair(664, 14910), Pair(1072, 9236), Pair(8252, 1200), Pair(1984, 4990), Pair(1996, 4960),
                   Pair(2064, 4797)})
        EXPECT_LT(at(p), long(t.size())) << p.first << "," << p.second;
    // The odd ones, where the table has them.
    EXPECT_EQ(at(Pair(1216, 8200)), at(Pair(1216, 8143)) + 1);
    EXPECT_EQ(at(Pair(2257, 2257)), at(Pair(4388, 2256)) + 1);
    EXPECT_EQ(at(Pair(4392, 2255)), at(Pair(2257, 2257)) + 1);
    EXPECT_EQ(at(Pair(5444, 1819)), at(Pair(5444, 1816)) + 1);
    // Every line total from 660 in steps of 4, frame totals rising by one
    // within each, every frame near 9.9 million pixel periods.
    auto odd = [](const Pair& p) {
        return p == Pair(2257, 2257) || p == Pair(4388, 2256) || p == Pair(5444, 1816) || p == Pair(1216, 8200);
    };
    std::set<int> lines;
    for (size_t i = 0; i < t.size(); ++i) {
        const Pair& p = t[i];
        if (p != Pair(2257, 2257))
            lines.insert(p.first);
        if (odd(p))
            continue;
        const int64_t frame = int64_t(p.first) * p.second;
        EXPECT_TRUE(frame >= 9900000 && frame <= 9908000 + p.first) << p.first << "," << p.second;
        if (i > 0 && t[i - 1].first == p.first && !odd(t[i - 1])) {
            EXPECT_EQ(t[i - 1].second + 1, p.second) << p.first;
        }
    }
    EXPECT_EQ(lines.size(), size_t((8280 - 660) / 4 + 1));
    EXPECT_EQ(*lines.begin(), 660);
    EXPECT_EQ(*lines.rbegin(), 8280);
}

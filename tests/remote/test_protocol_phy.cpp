#include <gtest/gtest.h>

#include "remote/protocol_phy.h"
#include "tests/remote/pc_client.h"

namespace {
std::vector<Bytes> collectAll(protocol_phy& phy, const Bytes& stream)
{
    std::vector<Bytes> frames;
    for (uint8_t b : stream) {
        if (phy.collect(b))
            frames.emplace_back(phy.raw(), phy.raw() + phy.rawLength());
    }
    return frames;
}
} // namespace

TEST(FrameCodec, EscapesEverySpecialByteBothWays)
{
    const Bytes body{0x01, 0xA5, 0xA6, 0x5A, 0x5B, 0x02};
    Bytes out(2 * body.size() + 2);
    int n = protocol_phy::data_re_transf_meaning(nullptr, out.data(), body.data(), int(body.size()), nullptr);
    out.resize(size_t(n));
    EXPECT_EQ(out, (Bytes{0xA5, 0x01, 0xA6, 0x02, 0xA6, 0x01, 0x5B, 0x02, 0x5B, 0x01, 0x02, 0x5A}));

    Bytes back(out.size());
    int m = protocol_phy::data_transf_meaning(out.data() + 1, n - 2, back.data());
    back.resize(size_t(m));
    EXPECT_EQ(back, body);

    // Every byte value survives the round trip; the worst case doubles.
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(uint8_t(i));
    Bytes special(100, 0xA5);
    for (const Bytes& b : {all, special}) {
        Bytes enc = pc::encode(b);
        Bytes dec(enc.size());
        dec.resize(size_t(protocol_phy::data_transf_meaning(enc.data() + 1, int(enc.size()) - 2, dec.data())));
        EXPECT_EQ(dec, b);
    }
    EXPECT_EQ(pc::encode(special).size(), 2 * special.size() + 2);
}

TEST(FrameCodec, EncodesInPlaceThroughTheScratch)
{
    Bytes buf{0xA5, 0x10, 0x5B, 0, 0, 0, 0, 0};
    Bytes scratch(3);
    int n = protocol_phy::data_re_transf_meaning(nullptr, buf.data(), buf.data(), 3, scratch.data());
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n), (Bytes{0xA5, 0xA6, 0x02, 0x10, 0x5B, 0x01, 0x5A}));
}

TEST(FrameCodec, RefusesBrokenEscapes)
{
    uint8_t out[8];
    const Bytes cases[] = {{0xA6}, {0x01, 0x5B}, {0xA6, 0x03}, {0x5B, 0x00}, {0x01, 0xA5}, {0x5A}};
    for (const Bytes& in : cases)
        EXPECT_EQ(protocol_phy::data_transf_meaning(in.data(), int(in.size()), out), -1);
}

TEST(FrameCodec, CollectsFramesFromAnyStream)
{
    protocol_phy phy;
    // Junk before, two frames back to back, a half frame cut short by a new
    // start byte, and an end byte outside any frame.
    Bytes stream{0x00, 0x5A, 0x13, 0xA5, 0x01, 0x02, 0x5A, 0xA5, 0x03, 0x5A, 0xA5, 0x09, 0x09,
                 0xA5, 0x04, 0x5A, 0x5A, 0x77};
    std::vector<Bytes> frames = collectAll(phy, stream);
    EXPECT_EQ(frames, (std::vector<Bytes>{{0x01, 0x02}, {0x03}, {0x04}}));
    EXPECT_FALSE(phy.inFrame());

    // A frame split anywhere gives the same result.
    Bytes one = pc::encode(Bytes{0x10, 0xA5, 0x20});
    for (size_t cut = 0; cut <= one.size(); ++cut) {
        protocol_phy p;
        auto a = collectAll(p, Bytes(one.begin(), one.begin() + long(cut)));
        auto b = collectAll(p, Bytes(one.begin() + long(cut), one.end()));
        a.insert(a.end(), b.begin(), b.end());
        ASSERT_EQ(a.size(), 1u) << cut;
        EXPECT_EQ(a[0], (Bytes{0x10, 0xA6, 0x02, 0x20}));
    }
}

TEST(FrameCodec, DropsOverlongFramesAndRecovers)
{
    protocol_phy phy;
    Bytes stream{0xA5};
    stream.insert(stream.end(), protocol_phy::kMaxEncoded + 1, 0x11);
    stream.push_back(0x5A);
    EXPECT_TRUE(collectAll(phy, stream).empty());
    EXPECT_EQ(collectAll(phy, Bytes{0xA5, 0x22, 0x5A}), (std::vector<Bytes>{{0x22}}));
}

TEST(FrameCodec, SwapsSourceAndDestination)
{
    Bytes b{0x00, 0xF1, 0x10, 0xF0, 0x55};
    protocol_phy::swap_phy_head(b.data());
    EXPECT_EQ(b, (Bytes{0x10, 0xF0, 0x00, 0xF1, 0x55}));
}

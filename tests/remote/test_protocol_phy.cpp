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

Bytes decode(const Bytes& frame)
{
    Bytes out(frame.size());
    out.resize(size_t(protocol_phy::data_transf_meaning(frame.data() + 1, int(frame.size()) - 2, out.data())));
    return out;
}
} // namespace

TEST(FrameCodec, EscapesEverySpecialByteBothWaysAndRefusesBrokenEscapes)
{
    // Encoded in place through the scratch copy.
    Bytes buf{0x01, 0xA5, 0xA6, 0x5A, 0x5B, 0x02};
    const Bytes body = buf;
    buf.resize(2 * body.size() + 2);
    Bytes scratch(body.size());
    int n = protocol_phy::data_re_transf_meaning(nullptr, buf.data(), buf.data(), int(body.size()), scratch.data());
    buf.resize(size_t(n));
    EXPECT_EQ(buf, (Bytes{0xA5, 0x01, 0xA6, 0x02, 0xA6, 0x01, 0x5B, 0x02, 0x5B, 0x01, 0x02, 0x5A}));
    EXPECT_EQ(decode(buf), body);

    // Every byte value survives the round trip; the worst case doubles.
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(uint8_t(i));
    EXPECT_EQ(decode(pc::encode(all)), all);
    EXPECT_EQ(pc::encode(Bytes(100, 0xA5)).size(), 202u);

    // Broken escapes are refused.
    uint8_t out[8];
    const Bytes cases[] = {{0xA6}, {0x01, 0x5B}, {0xA6, 0x03}, {0x5B, 0x00}, {0x01, 0xA5}, {0x5A}};
    for (const Bytes& in : cases)
        EXPECT_EQ(protocol_phy::data_transf_meaning(in.data(), int(in.size()), out), -1);
}

TEST(FrameCodec, CollectsFramesFromAnyStreamAndRecovers)
{
    protocol_phy phy;
    // Junk before, two frames back to back, a half frame cut short by a new
    // start byte, and an end byte outside any frame.
    Bytes stream{0x00, 0x5A, 0x13, 0xA5, 0x01, 0x02, 0x5A, 0xA5, 0x03, 0x5A, 0xA5, 0x09, 0x09,
                 0xA5, 0x04, 0x5A, 0x5A, 0x77};
    EXPECT_EQ(collectAll(phy, stream), (std::vector<Bytes>{{0x01, 0x02}, {0x03}, {0x04}}));
    EXPECT_FALSE(phy.inFrame());
    // An overlong frame is dropped; the next one is collected.
    stream.assign(protocol_phy::kMaxEncoded + 1, 0x11);
    stream.front() = 0xA5;
    stream.insert(stream.end(), {0x11, 0x5A, 0xA5, 0x22, 0x5A});
    EXPECT_EQ(collectAll(phy, stream), (std::vector<Bytes>{{0x22}}));

    // A frame split anywhere gives the same result.
    Bytes one = pc::encode(Bytes{0x10, 0xA5, 0x20});
    for (size_t cut = 0; cut <= one.size(); ++cut) {
        protocol_phy p;
        auto a = collectAll(p, Bytes(one.begin(), one.begin() + long(cut)));
        auto b = collectAll(p, Bytes(one.begin() + long(cut), one.end()));
        a.insert(a.end(), b.begin(), b.end());
        EXPECT_EQ(a, (std::vector<Bytes>{{0x10, 0xA6, 0x02, 0x20}})) << cut;
    }
}

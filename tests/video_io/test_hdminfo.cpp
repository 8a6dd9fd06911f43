// The timing record shared with the scaler: that a reader holding the
// mutex never sees a half-written record marked stable.
#include "video_fixture.h"

#include <QMutexLocker>
#include <cstddef>
#include <cstring>
#include <thread>

// The scaler copies the first sixteen words; `stable` must stay outside them.
static_assert(offsetof(HDMI_INFO, pfreq) == 40 && offsetof(HDMI_INFO, stable) == 64, "hdminfo layout");

namespace {
// Every field k: a record whose every part shows which write it came from.
HDMI_INFO recordOf(uint32_t k)
{
    uint32_t words[17];
    std::fill(words, words + 17, k);
    HDMI_INFO r;
    std::memcpy(&r, words, sizeof r);
    r.pfreq = float(k);
    r.nosignal = r.stable = 0;
    return r;
}

// A written record (k = Hact) or a whole no-signal one (all 0).
bool whole(const HDMI_INFO& r)
{
    HDMI_INFO expect = recordOf(r.nosignal ? 0 : r.Hact);
    expect.nosignal = r.nosignal;
    expect.stable = r.stable;
    return std::memcmp(&expect, &r, sizeof r) == 0;
}
} // namespace

TEST_F(VideoTest, AReaderUnderTheMutexNeverSeesAStableHalfWrittenRecord)
{
    zevlosource* z = zevlosource::pInstance();
    constexpr uint32_t kRounds = 1000000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint32_t k = 1; k <= kRounds; ++k) {
            if (k % 7 == 0)
                z->clear_hdminfo(2);
            else
                z->write_hdminfo(2, recordOf(k));
        }
        done = true;
    });
    uint64_t torn = 0;
    while (!done) {
        QMutexLocker lock(&Utils::_source_hdminfo_mutex);
        HDMI_INFO copy = z->hdminfo[2];
        if (copy.stable == 1 && !whole(copy))
            ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(z->get_hdminfo(2).Hact, kRounds); // the last write stands
}

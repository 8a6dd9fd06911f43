// The timing record shared with the scaler: its layout and that a reader
// holding the mutex never sees a half-written record marked stable.
#include "video_fixture.h"

#include <QMutexLocker>
#include <cstddef>
#include <thread>

TEST(HdmiInfo, SeventeenWordsInTheSharedOrder)
{
    EXPECT_EQ(sizeof(HDMI_INFO), 68u);
    EXPECT_EQ(offsetof(HDMI_INFO, Hact), 0u);
    EXPECT_EQ(offsetof(HDMI_INFO, Htotal), 16u);
    EXPECT_EQ(offsetof(HDMI_INFO, Vtotal), 36u);
    EXPECT_EQ(offsetof(HDMI_INFO, pfreq), 40u);
    EXPECT_EQ(offsetof(HDMI_INFO, type), 44u);
    EXPECT_EQ(offsetof(HDMI_INFO, nosignal), 60u);
    EXPECT_EQ(offsetof(HDMI_INFO, stable), 64u);
}

namespace {
HDMI_INFO recordOf(uint32_t k)
{
    HDMI_INFO r{};
    r.Hact = r.Hsync = r.Hback = r.Hpol = r.Htotal = k;
    r.Vact = r.Vsync = r.Vback = r.Vpol = r.Vtotal = k;
    r.pfreq = float(k);
    r.type = r.datamode = r.lane = r.ip = k;
    r.nosignal = 0;
    return r;
}

bool whole(const HDMI_INFO& r)
{
    if (r.nosignal)
        return r.Hact == 0 && r.Vtotal == 0 && r.pfreq == 0.0f && r.lane == 0 && r.ip == 0;
    uint32_t k = r.Hact;
    return r.Hsync == k && r.Hback == k && r.Hpol == k && r.Htotal == k && r.Vact == k && r.Vsync == k &&
           r.Vback == k && r.Vpol == k && r.Vtotal == k && r.pfreq == float(k) && r.type == k &&
           r.datamode == k && r.lane == k && r.ip == k;
}
} // namespace

TEST_F(VideoTest, AReaderUnderTheMutexNeverSeesAStableHalfWrittenRecord)
{
    zevlosource* z = zevlosource::pInstance();
    constexpr uint32_t kRounds = 1000000;
    std::atomic<bool> reading{false}, done{false};
    std::thread writer([&] {
        while (!reading)
            std::this_thread::yield();
        for (uint32_t k = 1; k <= kRounds; ++k) {
            if (k % 7 == 0)
                z->clear_hdminfo(2);
            else
                z->write_hdminfo(2, recordOf(k));
        }
        done = true;
    });
    uint64_t torn = 0;
    reading = true;
    while (!done) {
        QMutexLocker lock(&Utils::_source_hdminfo_mutex);
        HDMI_INFO copy = z->hdminfo[2];
        if (copy.stable == 1 && !whole(copy))
            ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0u);
    HDMI_INFO last = z->get_hdminfo(2);
    EXPECT_EQ(last.Hact, kRounds); // the last write stands
    EXPECT_EQ(last.stable, 1u);
}

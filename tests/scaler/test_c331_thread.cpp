// The manager's own thread: bring-up, requests, and the LED handshake that
// must never hold the GUI thread's writers.
#include "tests/support/sandbox.h"

#include <QMutexLocker>
#include <pthread.h>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/spi.h"
#include "scaler/c331_manage.h"

using namespace ram;

namespace {
class ScalerThread : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        platform::simSpiBus().map();
        store = VyxRamPara::pInstance();
        fpga_manage::pInstance();
        g_set_led_para = 0;
        scaler = c331_manage::pInstance();
        ASSERT_TRUE(scaler->threadRunning());
        ASSERT_TRUE(waitFor([&] { return scaler->setup_stage == 8; }, 20000));
    }
    void TearDown() override
    {
        Sandbox::TearDown();
        g_set_led_para = 0;
    }
    void write(int offset, uint16_t value)
    {
        pthread_mutex_lock(&scaler->para_mutex);
        putLe16(store->ram_para + offset, value);
        scaler->raise_request(1);
        pthread_mutex_unlock(&scaler->para_mutex);
    }
    bool served() { return waitFor([&] { return scaler->para_changed == 0; }, 20000); }
    static uint32_t contrast() { return platform::simScaler().value(0x0C2802, 16 * 7); }

    VyxRamPara* store = nullptr;
    c331_manage* scaler = nullptr;
};
} // namespace

TEST_F(ScalerThread, AWriterOnTheGuiThreadIsNeverHeldByTheLedHandshake)
{
    write(kContrast, 60);
    ASSERT_TRUE(served());
    EXPECT_EQ(contrast(), 60u * 1023 / 100);

    // A screen started the LED set-up; the new size waits for it.
    g_set_led_para = 1;
    write(kLedHeight, 720);
    ASSERT_TRUE(waitFor([&] { return scaler->waiting_for_led(); }, 20000));
    // Meanwhile the GUI thread writes another setting: the mutex is free.
    ASSERT_EQ(pthread_mutex_trylock(&scaler->para_mutex), 0);
    putLe16(store->ram_para + kContrast, 90);
    scaler->raise_request(1);
    pthread_mutex_unlock(&scaler->para_mutex);
    EXPECT_EQ(g_set_led_para.load(), 1);

    // The FPGA worker ends its sequence: the pass applies both changes.
    g_set_led_para = 0;
    ASSERT_TRUE(served());
    EXPECT_EQ(g_set_led_para.load(), 2);
    EXPECT_EQ(le16(store->ram_para + kOutChannelHeight), 720);
    EXPECT_EQ(contrast(), 90u * 1023 / 100);
}

TEST_F(ScalerThread, TheHandshakeWaitEndsAfterItsTicks)
{
    g_set_led_para = 1; // and the FPGA worker never finishes
    write(kLedWidth, 1280);
    ASSERT_TRUE(waitFor([&] { return scaler->waiting_for_led(); }, 20000));
    const uint32_t passes = scaler->pass_count;
    G_timeTicks += 299;
    EXPECT_TRUE(scaler->waiting_for_led());
    G_timeTicks += 2;
    ASSERT_TRUE(served());
    EXPECT_FALSE(scaler->waiting_for_led());
    EXPECT_EQ(scaler->pass_count, passes + 1);
    EXPECT_EQ(g_set_led_para.load(), 2);
    EXPECT_EQ(le16(store->ram_para + kOutChannelWidth), 1280);
}

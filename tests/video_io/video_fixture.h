#pragma once
// A sandbox with the parameter store, the input-source manager and the
// simulated bus, plus the image helpers the video tests share.

#include "tests/support/sandbox.h"

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/i2c.h"
#include "platform/i2c_devices.h"
#include "platform/video_sim.h"
#include "video_io/video_timing.h"
#include "video_io/zevlosource.h"

#include <atomic>

using platform::simI2c;
using platform::videoSources;

inline VideoTiming timing(int w, int h, int rate)
{
    VideoTiming t;
    EXPECT_TRUE(standardTiming(w, h, rate, &t));
    return t;
}

// Waits until the manager's thread has run a whole turn after this call: it
// serves the audio route at the end of every turn (the route must be one
// that can be written).
inline void finishTurn(zevlosource* z)
{
    for (int round = 0; round < 2; ++round) {
        z->request_audio_route();
        EXPECT_TRUE(waitFor([z] { return z->audio_route_flag == 0; }));
    }
}

class VideoTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        store = VyxRamPara::pInstance();
        ConfigEngine::pInstance();
        QObject::connect(store, &VyxRamPara::sig_update_para, [this](int code) {
            if (code == 12)
                ++signals12;
        });
        // What the default table asks of inputs 0..3.
        for (int i = 0; i < 4; ++i)
            setEdidRequest(i, 1920, 1080, 60);
        g_check_edid = QStringLiteral("Never");
    }

    zevlosource* start()
    {
        zevlosource* z = zevlosource::pInstance();
        EXPECT_EQ(z->initialize(), 0);
        return z;
    }

    uint8_t reg(int r) const { return __atomic_load_n(&store->local_reg[r], __ATOMIC_RELAXED); }
    void raiseReg(int r, uint8_t bits) { __atomic_fetch_or(&store->local_reg[r], bits, __ATOMIC_RELAXED); }

    void setImage16(int offset, uint16_t v) { putLe16(store->ram_para + offset, v); }

    // Image bytes 256 + 6i: width, height, rate; read under the store's
    // mutex, as the manager's thread writes them under it.
    bool inputTimingIs(int input, int w, int h, int rate) const
    {
        pthread_mutex_lock(&store->store_mutex);
        const uint8_t* at = store->ram_para + 256 + 6 * input;
        bool same = le16(at) == w && le16(at + 2) == h && le16(at + 4) == rate;
        pthread_mutex_unlock(&store->store_mutex);
        return same;
    }

    // Plugs a source into a running manager and waits until it is published.
    bool plug(int input, int w, int h, int rate)
    {
        videoSources().set(input, timing(w, h, rate));
        return waitFor([=] { return inputTimingIs(input, w, h, rate); });
    }

    void setEdidRequest(int input, int w, int h, int rate)
    {
        setImage16(896 + 6 * input, uint16_t(w));
        setImage16(898 + 6 * input, uint16_t(h));
        setImage16(900 + 6 * input, uint16_t(rate));
    }

    static void blankEeproms()
    {
        for (int i = 0; i < 4; ++i)
            simI2c().setEeprom(i, {});
    }

    VyxRamPara* store = nullptr;
    std::atomic<int> signals12{0};
};

#pragma once
// The scaler chip manager. Writers of video parameters lock para_mutex,
// change the image, set para_changed (1 apply, 2 apply after a factory
// reset) and unlock; the scaler thread applies the difference.

#include <cstdint>
#include <pthread.h>

class c331_manage {
public:
    static c331_manage* pInstance();
    static c331_manage* p_c331_manage;

    int initialize();
    // The full register dump asked for by the PC; runs on the PC's thread.
    void c331_print();

    uint8_t para_changed = 0;
    pthread_mutex_t para_mutex;

    static void destroyForTest();

private:
    c331_manage();
};

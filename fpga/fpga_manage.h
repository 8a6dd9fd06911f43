#pragma once
// The manager of the two sending FPGAs and the receiving cards behind them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <pthread.h>

class fpga_manage {
public:
    static fpga_manage* pInstance();
    static fpga_manage* p_fpga_manage;

    // Starts the worker thread; 0, or 255 when it cannot be created.
    int initialize_start();
    // 1 when FPGA 0 is up and ready.
    int get_fpga_status();
    int read_from_register(int reg, int fpga);
    int write_to_register(int reg, uint8_t mask, uint8_t value, int fpga);

    // PC frames for the receiving cards and the receive poll that brings
    // their answers back into the transports' reply lists.
    int Dealwith1_PC_to_eth(int length, unsigned char* frame);
    int reg_IRQ_Dealwith(int a, int b);
    // Until the receiving-card link exists: sees every frame handed over and
    // the transport waiting for its answer (cleared by destroyForTest).
    static std::function<void(const unsigned char* frame, int length, uint8_t transport)> pc_frame_hook;

    // Raised by the scaler manager, applied and cleared by the worker: the
    // brightness changed (under Utils::_bri_set_mutex), the LED screen's
    // on/off setting changed.
    std::atomic<uint8_t> bri_set_flag{0};
    std::atomic<uint8_t> output_status_flag{0};

    pthread_mutex_t reg_mutex; // register shadow
    pthread_mutex_t rcv_mutex; // receive poll
    uint8_t answer_arrived = 0;

    static void destroyForTest();

private:
    fpga_manage();
};

// LED-parameter handshake, changed under Utils::_led_para_init_mutex:
// 0 idle, 1 a screen or the PC is changing the LED parameters (the scaler
// waits), 2 the scaler applied a new LED size (the worker restarts FPGA 0).
extern std::atomic<uint8_t> g_set_led_para;
extern std::atomic<uint8_t> g_set_led_setup;

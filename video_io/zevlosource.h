#pragma once
// The input-source manager: source detection, EDID upkeep and the per-input
// timing records the scaler reads.

#include "platform/wakeup.h"
#include "platform/worker.h"
#include "video_io/drv_i2c.h"
#include "video_io/hdminfo.h"
#include "video_io/it6602/zevlo_it6602.h"
#include "video_io/it6805/ite6805_drv.h"
#include "video_io/it6805/ite6805_sys.h"

#include <atomic>
#include <cstdint>
#include <pthread.h>
#include <string>

class VyxRamPara;

class zevlosource {
public:
    static constexpr int kInputs = 4;
    static constexpr int kLinks = 2;

    static zevlosource* pInstance();
    static zevlosource* p_zevlo_source;

    // Takes the input mask from g_check_source and the EDID check policy
    // from g_check_edid, then starts the source-detection thread. 0, or 255
    // when the thread cannot be created.
    int initialize();

    // Stops and joins the thread, then deletes the manager.
    static void destroyForTest();

    // ---- timing records, one per source 0..3 ----
    // Written only under Utils::_source_hdminfo_mutex; `stable` is 1 only
    // while the record is complete.
    HDMI_INFO hdminfo[kInputs];

    void write_hdminfo(int source, const HDMI_INFO& rec);
    // The record says "no signal": timing zero, nosignal 1, stable 1.
    void clear_hdminfo(int source);
    HDMI_INFO get_hdminfo(int source);

    // ---- EDID upkeep ----
    // Byte i of each word belongs to input i, so each word is four
    // consecutive one-byte flags. While input i's refresh byte is 1 and its
    // hold byte 0, the thread rewrites the input's EDID memory and clears
    // the refresh byte.
    std::atomic<uint32_t> edid_refresh{0};
    std::atomic<uint32_t> edid_hold{0};
    // Refresh 1 and hold 0 for one input (a changed EDID request).
    void set_edid_refresh(int input);
    // Refresh 1 for all four inputs in one store (factory reset).
    void set_edid_refresh_all();
    void set_edid_hold(int input, uint8_t value);
    uint8_t edid_refresh_flag(int input) const;
    uint8_t edid_hold_flag(int input) const;
    // Stored EDID tables (128 or 256 bytes) are named after the request
    // they serve: "/data/edidramtable/<width>x<height>_<rate>.bin", e.g.
    // "1920x1080_60.bin". While edid_ram_table_from[i] is 1, input i
    // announces the table that matches its request when there is one,
    // instead of an EDID built for the request.
    static std::string edid_table_path(int width, int height, int rate);

    // ---- sound ----
    // 1: route the audio image's sound anew through the expander.
    std::atomic<uint8_t> audio_route_flag{0};
    // Raises the flag and wakes the thread.
    void request_audio_route();

    // Wakes the thread for a request left in the parameter store's local
    // registers (hot-plug r0, commands r32). Safe whether or not a manager
    // exists; the EDID and audio requests above wake it themselves.
    static void wake();

    // ---- video links ----
    // Set-up state per link chip, [0] the chip at 0xD0 feeding FPGA 0:
    // 0 not tried, 1 in progress or failed, 2 set up.
    std::atomic<uint8_t> setup_state[kLinks];

    static void* checksourceThread(void* arg);
    // One turn of detection: hot-plug and re-initialisation requests of
    // r0, a look at the receivers (unless `look` is false), and the timing
    // records of the image.
    void sourcecheck(bool look = true);

private:
    zevlosource();
    ~zevlosource();

    // The thread's doorbell outlives every manager: a writer may ring it
    // while a manager is being replaced.
    static platform::Wakeup& doorbell();

    void startup();
    void turn(bool look);
    bool hpd_pulse_running() const;
    void probe_hardware();
    void setup_links();
    void edid_check();
    void serve_commands();
    void serve_edid();
    void serve_audio();
    void publish_timings();
    void poll_receiver(int input);
    void reinit_receiver(int input);
    void set_hpd(int input, bool high);
    int expected_edid(int input, uint8_t* edid, int* length);
    int write_edid(int input, const uint8_t* edid, int length);
    int read_edid(int input, uint8_t* edid, int length);
    int audio_value();

    platform::Worker m_worker;
    VyxRamPara* m_store = nullptr;
    pthread_mutex_t m_mutex;                // the manager's own: EDID and audio service
    Drv_I2C0 m_bus;
    zevlo_it6602 m_it6602[3];
    ite6805_drv m_ite6805_drv;
    ite6805_sys m_ite6805_sys;

    uint8_t m_input_mask = 0xFF;
    bool m_edid_check_once = true;
    bool m_hpd_low[kInputs] = {};
    uint32_t m_hpd_stamp[kInputs] = {};
    uint32_t m_link_stamp = 0;
    bool m_audio_failing = false;
};

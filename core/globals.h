#pragma once
// Process-wide globals of the core and their initial values. Values that
// several threads read are atomics of the same width as the device's plain
// variables.

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

// A text several threads read and write: the PC links replace the address
// or the barcode while a screen or another link reads it. Every read takes
// a whole copy and every write replaces the whole text, under the text's
// own lock; it reads and compares like a QString.
class SharedText {
public:
    SharedText() = default;
    QString get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_value;
    }
    void set(const QString& value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value = value;
    }
    SharedText& operator=(const QString& value)
    {
        set(value);
        return *this;
    }
    operator QString() const { return get(); }
    void clear() { set(QString()); }
    bool operator==(const QString& other) const { return get() == other; }
    bool operator==(const char* other) const { return get() == QLatin1String(other); }
    bool operator==(QLatin1String other) const { return get() == other; }
    template <class T>
    bool operator!=(const T& other) const
    {
        return !(*this == other);
    }

private:
    mutable std::mutex m_mutex;
    QString m_value;
};

// ---- start-up table ----
extern uint8_t g_debugSwitch;                       // 254: diagnostics printed
extern std::atomic<uint32_t> g_port;                // TCP control port
extern std::atomic<uint32_t> g_int_tcp_port;        // TCP port as configured
extern uint32_t g_BPS;                              // PC serial baud rate
extern uint32_t g_dataLen;                          // PC serial read size in KiB
extern uint8_t g_networkMode;                       // open the TCP control server
extern uint8_t g_udpnetmode;                        // open the UDP servers
extern std::atomic<uint8_t> g_passby_trans_port;    // transport of the next card answer; 255 none
extern std::atomic<uint8_t> ScreenState;            // LED output state (FPGA manager)
extern uint32_t g_auto_lock_time;
extern uint32_t g_back_to_mainwindow_time;
extern QString g_str_wifi_ip;
extern QString g_Ryxa_cloudserverip;
extern QString g_Ryxa_clouduserid;
extern QString g_Ryxa_controllername;
extern SharedText g_usb_grade_path;   // sub-directory of the stick with the upgrade packages
extern QString g_check_edid;
extern QString g_imagelayoutpassword;
extern QString g_rcv_sync_led;
extern QStringList factoryage_log;
extern int factoryage_log_num;                     // records in factoryage_log

// The state of the current PC file transfer.
struct VYX_FILE_DEAL_PARA {
    uint8_t file_type = 0;
    QString path;
};
extern VYX_FILE_DEAL_PARA g_vyx_file_deal_para;

// ---- configuration globals (filled from the configuration store) ----
extern SharedText g_str_ip;
extern SharedText g_str_gateway;
extern SharedText g_srt_mask;
extern SharedText g_str_barcode;
extern std::atomic<uint8_t> g_check_source;
extern uint32_t g_Ryxa_cloudserverport;
extern uint8_t g_Ryxa_cloud;
extern int32_t g_vyx_max_pixel;
extern std::atomic<uint32_t> g_lcd_lang_valid;      // bit n: language n offered
extern uint8_t g_pid[32];                           // device id from the SoC
extern std::atomic<uint8_t> g_update_status;        // application loader state

// ---- shell, panel and time base ----
extern std::atomic<uint32_t> G_timeTicks;           // 10 ms ticks since start
extern std::atomic<uint32_t> G_reboot_tickTicks;    // stamp of the reboot request
extern std::atomic<uint8_t> g_app_reset_flag;       // reboot 300 ticks after the stamp
extern std::atomic<uint8_t> g_delay_usbserver;      // USB watcher gate, opened 10 s after start
extern std::atomic<uint32_t> g_delay_usbserver_ticks;
extern std::atomic<uint8_t> g_vyx_keys;             // 1: the USB keypad was found at start
extern std::atomic<uint8_t> g_page_focus;           // page code of the screen on top
extern std::atomic<uint8_t> g_language;             // 0 zh-CN, 1 en, 2 ru, 3 vi, 4 zh-TW
extern std::atomic<uint8_t> g_image_current;        // image the keypad keys act on (0..3)
extern std::atomic<uint8_t> g_update_flag;          // firmware update running (keypad LEDs)
extern std::atomic<uint8_t> g_source_online;        // 2: an input signal is online
// Reconfigure requests of the 4G link and the cloud client, raised when the PC
// sends their settings; set and taken under Utils::_reconfig_4g_mutex and
// Utils::_reconfig_device_ryxacloud_mutex.
extern uint8_t g_reconfig_4g;
extern uint8_t g_reconfig_device_ryxacloud;
// Set to 1 and stamped with G_timeTicks for every PC frame a link handles;
// the FPGA jobs and the ageing sample hold back while PC traffic is recent.
extern std::atomic<uint8_t> pc_cmd_valid;
extern std::atomic<uint32_t> pc_cmd_time;
// Per input 0..3: 1 once the PC gave the input an EDID table of its own; the
// input-source manager then announces the stored table that matches the
// input's EDID request instead of an EDID built for it.
constexpr int kEdidTableInputs = 4;
extern std::atomic<uint8_t> edid_ram_table_from[kEdidTableInputs];

// ---- panel ----
extern std::atomic<uint8_t> g_mode_select;          // user-mode slot 0..15 the mode screens act on
extern std::atomic<uint8_t> g_mode_shortcut_key;    // 1: the mode key opened the user-mode screen
extern std::atomic<uint8_t> g_tip_flag;             // 1 while the pop-up notice is up
extern std::atomic<uint32_t> G_factoryage_ticks;    // stamp of the last ageing check
// Steps of FPGA register 42 between consecutive ageing samples: 1-2, 3-4,
// 5-9, 10-19, 20 and more.
extern uint32_t factoryage_log_diff3;
extern uint32_t factoryage_log_diff5;
extern uint32_t factoryage_log_diff10;
extern uint32_t factoryage_log_diff20;
extern uint32_t factoryage_log_diffmore;

class QTimer;
class QFrame;
class QLineEdit;
class MainWindow;
class LockWindow;
class NumberKeyboard;
class TIP;
class QRoundProgressBar;
class FirmwareUpdate;
extern QTimer* g_timer;
extern MainWindow* g_mainwindow;
extern LockWindow* g_lockwindow;
extern NumberKeyboard* g_numberkeyboard;
extern TIP* g_tip;                         // the pop-up notice
extern QRoundProgressBar* g_qround_bar;    // the open progress ring, or null
extern QLineEdit* g_lineedit;              // the field the number keyboard edits
extern FirmwareUpdate* g_move_update;      // the firmware-update dialog, or null
constexpr int kModeGridSlots = 16;
extern QFrame* g_mode[kModeGridSlots];     // slot frames of the main window's user-mode grid

// The screens: each pointer holds the open screen, null while it is closed.
class MachineState;
class InputChoose;
class CustomMode;
class Option;
class OutputSet;
class InputCut;
class EDIDset;
class ImageLayout;
class LinkOption;
class ImageQuality;
class AdvancedOption;
class ledset;
class netset;
class lcdshow;
class test_chart;
class testimage;
class othersetup;
class factory;
class quality;
class temperature;
class linkcom;
class linkwlan;
class factoryage;
class SmartMapping;
class rcv_recovery;
class firmware_usbgrade;
extern MachineState* g_machinestate;
extern InputChoose* g_inputchoose;
extern CustomMode* g_custommode;
extern Option* g_option;
extern OutputSet* g_outputset;
extern InputCut* g_inputcut;
extern EDIDset* g_edidset;
extern ImageLayout* g_imagelayout;
extern LinkOption* g_linkoption;
extern ImageQuality* g_imagequality;
extern AdvancedOption* g_advancedoption;
extern ledset* g_ledset;
extern netset* g_netset;
extern lcdshow* g_lcdshow;
extern test_chart* g_test_chart;
extern testimage* g_testimage;
extern othersetup* g_othersetup;
extern factory* g_factory;
extern quality* g_quality;
extern temperature* g_temperature;
extern linkcom* g_linkcom;
extern linkwlan* g_linkwlan;
extern factoryage* g_factoryage;
extern SmartMapping* g_smartmapping;
extern rcv_recovery* g_rcv_recovery;
extern firmware_usbgrade* g_firmware_usbgrade;

// Diagnostic output, printed only while g_debugSwitch is 254.
#define VYX_DEBUG(...)                                                                             \
    do {                                                                                           \
        if (g_debugSwitch == 254)                                                                  \
            std::printf(__VA_ARGS__);                                                              \
    } while (0)

// Restores every global above to its start-up value (tests only).
void resetGlobalsForTest();

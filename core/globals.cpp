#include "core/globals.h"

uint8_t g_debugSwitch = 254;
std::atomic<uint32_t> g_port{5005};
std::atomic<uint32_t> g_int_tcp_port{5005};
uint32_t g_BPS = 115200;
uint32_t g_dataLen = 32;
uint8_t g_networkMode = 1;
uint8_t g_udpnetmode = 1;
std::atomic<uint8_t> g_passby_trans_port{255};
std::atomic<uint8_t> ScreenState{1};
uint32_t g_auto_lock_time = 30000;
uint32_t g_back_to_mainwindow_time = 3000;
QString g_str_wifi_ip = QStringLiteral("192.168.22.101");
QString g_Ryxa_cloudserverip;
QString g_Ryxa_clouduserid;
QString g_Ryxa_controllername;
QString g_usb_grade_path;
QString g_check_edid;
QString g_imagelayoutpassword;
QString g_rcv_sync_led;
QStringList factoryage_log;
int factoryage_log_num = 0;
VYX_FILE_DEAL_PARA g_vyx_file_deal_para;

QString g_str_ip;
QString g_str_gateway;
QString g_srt_mask;
QString g_str_barcode;
std::atomic<uint8_t> g_check_source{255};
uint32_t g_Ryxa_cloudserverport = 0;
uint8_t g_Ryxa_cloud = 0;
int32_t g_vyx_max_pixel = 0;
std::atomic<uint32_t> g_lcd_lang_valid{0x1001F};
uint8_t g_pid[32] = {};
std::atomic<uint8_t> g_update_status{0};

std::atomic<uint32_t> G_timeTicks{0};
std::atomic<uint32_t> G_reboot_tickTicks{0};
std::atomic<uint8_t> g_app_reset_flag{0};
std::atomic<uint8_t> g_delay_usbserver{0};
std::atomic<uint32_t> g_delay_usbserver_ticks{0};
std::atomic<uint8_t> g_vyx_keys{0};
std::atomic<uint8_t> g_page_focus{0};
std::atomic<uint8_t> g_language{0};
std::atomic<uint8_t> g_image_current{0};
std::atomic<uint8_t> g_update_flag{0};
std::atomic<uint8_t> g_source_online{0};
uint8_t g_reconfig_4g = 0;
uint8_t g_reconfig_device_ryxacloud = 0;
std::atomic<uint8_t> pc_cmd_valid{0};
std::atomic<uint32_t> pc_cmd_time{0};
std::atomic<uint8_t> edid_ram_table_from[kEdidTableInputs] = {};

QTimer* g_timer = nullptr;
MainWindow* g_mainwindow = nullptr;
LockWindow* g_lockwindow = nullptr;
NumberKeyboard* g_numberkeyboard = nullptr;

void resetGlobalsForTest()
{
    g_debugSwitch = 254;
    g_port = 5005;
    g_int_tcp_port = 5005;
    g_BPS = 115200;
    g_dataLen = 32;
    g_networkMode = 1;
    g_udpnetmode = 1;
    g_passby_trans_port = 255;
    ScreenState = 1;
    g_auto_lock_time = 30000;
    g_back_to_mainwindow_time = 3000;
    g_str_wifi_ip = QStringLiteral("192.168.22.101");
    g_Ryxa_cloudserverip.clear();
    g_Ryxa_clouduserid.clear();
    g_Ryxa_controllername.clear();
    g_usb_grade_path.clear();
    g_check_edid.clear();
    g_imagelayoutpassword.clear();
    g_rcv_sync_led.clear();
    factoryage_log.clear();
    factoryage_log_num = 0;
    g_vyx_file_deal_para = VYX_FILE_DEAL_PARA();
    g_str_ip.clear();
    g_str_gateway.clear();
    g_srt_mask.clear();
    g_str_barcode.clear();
    g_check_source = 255;
    g_Ryxa_cloudserverport = 0;
    g_Ryxa_cloud = 0;
    g_vyx_max_pixel = 0;
    g_lcd_lang_valid = 0x1001F;
    for (uint8_t& b : g_pid)
        b = 0;
    g_update_status = 0;
    G_timeTicks = 0;
    G_reboot_tickTicks = 0;
    g_app_reset_flag = 0;
    g_delay_usbserver = 0;
    g_delay_usbserver_ticks = 0;
    g_vyx_keys = 0;
    g_page_focus = 0;
    g_language = 0;
    g_image_current = 0;
    g_update_flag = 0;
    g_source_online = 0;
    g_reconfig_4g = 0;
    g_reconfig_device_ryxacloud = 0;
    pc_cmd_valid = 0;
    pc_cmd_time = 0;
    for (auto& from : edid_ram_table_from)
        from = 0;
}

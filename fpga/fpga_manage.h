#pragma once
// The manager of the two sending FPGAs and the receiving cards behind them.
// Toward the PC it keeps a register shadow and RAM images of each FPGA and
// mirrors them into the chips; its worker thread brings FPGA 0 up, keeps it
// running and runs the jobs the screens post. FPGA 0 serves output ports
// 1-10, FPGA 1 ports 11-20; the FPGA index is the last argument of most
// operations.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <pthread.h>

#include "fpga/fpga_brightness.h"
#include "fpga/fpga_cards.h"
#include "fpga/fpga_upgrade.h"
#include "platform/wakeup.h"
#include "platform/worker.h"

class fpga_drv;
class rcvRecovery;

// Date and time from the system clock (IT8563WE_Get); `week` is not filled.
struct TimeRealType {
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t day = 0;
    uint8_t week = 0;
    uint8_t month = 0;
    uint16_t year = 0;
};

// Tick stamps the FPGA side shares between its parts. Worker thread only.
struct FPGA_CHANGE {
    uint32_t power_step_stamp[2] = {}; // last start-up step, per FPGA
    uint32_t rst_release_stamp = 0;    // last reset release
    uint32_t progress_pulse = 0;       // 1-99: the progress a waiting job shows
};
extern FPGA_CHANGE g_change;

// The job mailbox from the screens to the worker (36 bytes on the device).
// A screen posts a job with post(): the step becomes 0, then the job code
// is stored; the worker writes 0 into both when the job ends.
struct SEND_PARA {
    std::atomic<uint8_t> job{0};          // 0 none, 1-6 the jobs
    std::atomic<uint8_t> step{255};       // step of the running job; 255 idle
    uint8_t port = 0;                     // current port (0-based, FPGA 0)
    uint8_t packets = 0;                  // packets of the current write
    uint8_t packets_sent = 0;
    uint8_t reserved5 = 0;
    std::atomic<uint8_t> reply{0};        // 1: a card answered
    uint8_t reserved7 = 0;
    uint16_t card = 0;                    // card index on the port
    uint16_t cards = 0;                   // cards on the port
    uint16_t frame_length = 0;            // length of the last frame built
    uint16_t reserved14 = 0;
    std::atomic<uint32_t> mapping{0};     // 9 mapping on, 0 off
    uint32_t stamp = 0;                   // tick stamp of the current step
    uint8_t screen = 0, port_record = 0, card_index = 0, operation = 0;
    uint8_t sub_step = 0;                 // 20-32 inside one operation
    uint8_t reserved29 = 0;
    std::atomic<uint16_t> result{0};      // 255 or 65535: no card to report
    uint8_t retry = 0;
    uint8_t reserved33[3] = {};

    // Posts a job and wakes the worker. A scan-file load (job 2) keeps the
    // file chosen now as the one it sends (TzFileName::keep_for_load).
    void post(uint8_t code);
    static constexpr uint8_t kJobScanFile = 2;
};
extern SEND_PARA g_send_para;

// Kinds of the receiving-card recovery job.
enum RCV_CHECK_OR_RECOVERY { RCV_CHECK = 0, RCV_RECOVERY = 1, RCV_SCAN_FILE = 2 };

extern std::atomic<uint8_t> g_fpga_lcd_on;  // 1 once FPGA 0 has lit the screen
extern std::atomic<uint32_t> g_usb_grade;   // non-zero: the worker runs the USB upgrade
// LED-parameter handshake, changed only under Utils::_led_para_init_mutex:
// 0 idle, 1 a screen or the PC changes the LED parameters, 2 the scaler
// applied a new LED size. g_set_led_setup is the handshake's step.
extern std::atomic<uint8_t> g_set_led_para;
extern std::atomic<uint8_t> g_set_led_setup;
// True while the scaler holds a new LED size until the handshake ends; it
// then posts 2, and FPGA 0's restart lights the screen again. A handshake
// that ends without it restores the LED output itself.
extern std::atomic<bool> g_led_size_waiting;

class fpga_manage {
public:
    static constexpr int kFpgas = 2;
    static constexpr int kRegs = 170;      // register shadow: registers 0-169
    static constexpr int kRamImage = 1024;
    static constexpr int kEthBlock = 136;
    static constexpr int kPorts = 10;      // wired output ports per FPGA
    static constexpr int kSlots = 16;      // port slots of the layout

    // Screen control codes (SCREEN_status).
    enum SCREEN_status : uint8_t {
        SCREEN_BLANK = 0,      // reg 0 bit 2 := 1
        SCREEN_LIT = 1,        // reg 0 bit 2 := 0
        LED_OUTPUT_ON = 4,     // reg 3 bit 5 := 1
        LED_OUTPUT_OFF = 5,    // reg 3 bit 5 := 0
        SCREEN_RELEASE = 11,   // reg 23 bit 3 := 0 (second operation only)
    };

    // Creates the manager on the first call and opens its links.
    static fpga_manage* pInstance();
    static fpga_manage* p_fpga_manage;

    // ---- the SPI link: one register or RAM access, under Utils::_spi_mutex.
    // 0 done, 255 refused (no such FPGA, no pads) or a transfer failed.
    int write_fpga_register(uint8_t reg, uint8_t value, uint8_t fpga, uint8_t mask);
    int read_fpga_register(uint8_t reg, uint8_t* value, uint8_t fpga);
    // `addr` keeps its low 12 bits.
    int write_fpga_ram(const uint8_t* buf, uint32_t addr, uint32_t len, uint8_t ram_id, uint8_t fpga);
    int read_fpga_ram(uint8_t* buf, uint32_t addr, uint32_t len, uint8_t ram_id, uint8_t fpga);

    // ---- start ----
    // Opens the four links and maps the SoC window; 0, or 255 when the
    // window cannot be had (every pad access is then skipped).
    uint8_t initialize();
    // softinit, then the worker thread; 0, or 255 when it cannot start.
    int initialize_start();
    void softinit();

    // ---- registers ----
    // The masked write: registers 0-63 and 128-169 reach the FPGA, 64-96
    // live only in the shadow, others are ignored. False only when register
    // 2 bit 2 ran the command image and its table did not reach the flash.
    bool write_to_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga);
    // The same without the register-2 command handling and without touching
    // the parameter image's LED-off word.
    void write_to_0x00_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga);
    // Registers 0-63 and 128-169: read from the FPGA into the shadow.
    void read_from_register(uint8_t reg, uint8_t fpga);
    // One shadow register, read under the shadow mutex.
    uint8_t shadow(uint8_t reg, uint8_t fpga);
    void FPGA_to_RAM(uint8_t fpga);
    // 1 when FPGA 0 is running and ready.
    int get_fpga_status();
    // Output-port link mask of FPGA 0 (bit p-1 = port p); 0 unless running.
    uint16_t get_wlan_state();
    void check_wlanonline_state();
    void SCREEN_fpgactrl_status(uint8_t code);
    void SCREEN_fpgactrl_status2(uint8_t code, uint8_t fpga);

    // ---- start-up chain ----
    void power_up_fpga_start(uint8_t check, uint8_t fpga);
    void fpgainit(uint8_t fpga);
    void reset_fpga_rst(uint8_t fpga);
    void check_fpga_rst();
    void power_up_check_fpga_status(uint8_t fpga);
    // FPGA 1 has no start-up of its own: it counts as running (register 80
    // = 3, its answers are polled) while it answers, as its version
    // register tells, and is not held in reset. The worker looks every
    // second.
    void check_fpga1_state();

    // ---- worker ----
    // An idle worker looks around only every few ticks; whoever raises one
    // of its flags (brightness, output status, LED-parameter handshake,
    // upgrade) calls this to have it served at once. No-op without a manager.
    static void wake();
    static void* fpgamanageThread(void* arg);
    // One turn of the worker (tests call it with the ticks they set).
    void fpga_manage_deal(void* arg);
    void Check_search_card();

    // ---- output-port layout ----
    // Offsets of slot's rectangle in the parameter RAM (slot 0's for any
    // slot outside 1-15); returns 0.
    static int get_eth_param_addr(uint8_t slot, unsigned short* x, unsigned short* y, unsigned short* w,
                                  unsigned short* h);
    int get_eth_min_x_y(uint8_t fpga, unsigned short* x, unsigned short* y);
    int get_eth_max_border(uint8_t fpga, unsigned short* right, unsigned short* bottom);
    int get_eth_lcd_x_y(uint8_t fpga, unsigned short* x, unsigned short* y);
    int get_eth_lcd_w_h(uint8_t fpga, unsigned short* w, unsigned short* h);
    void eth_param_init(uint8_t mode, uint8_t fpga);
    void Q58_back_mcu_set_net_para(uint8_t fpga);
    void Q58_mcu_set_net_para(uint8_t fpga);
    void update_eth_state(uint8_t fpga);
    uint8_t check_fpga_ram_param(uint8_t fpga);
    uint8_t set_output_status();
    void set_led_para_deal();

    // ---- brightness and power schedule (FPGA 0) ----
    // The PC's command image handler (register 2 bit 2): set the clock,
    // store the on/off table, set or store the brightness. False when a
    // table to store or erase did not reach FPGA 0's flash.
    bool Dealwith_mcu_ram();
    void Checktime();
    // Loads the on/off table of a command (the command image, or a table
    // read from flash) and arms every entry.
    void OnOff_time();
    void OnOff_time(const uint8_t* command);
    // Reload the stored on/off table or brightness record from FPGA 0's flash.
    void record_onoff_time(uint8_t sel);
    void record_bright_change();
    // Mode and values from a brightness record (at least 57 bytes).
    void Brightness_init(const uint8_t* record);
    // Applies the brightness to FPGA 0 and, while the brightness flag is
    // raised, takes it from the panel and stores it; 1.
    uint8_t Brightness_hand_dealwith(void* arg);
    // 1 after applying when FPGA 0 is ready, else 0.
    uint8_t set_fpga_bri_val();
    // The schedule part of the idle step.
    void Extension_function();
    void Brightness_task();
    void Brightness_hand_change();
    void Brightness_time_change();
    void Brightness_auto_change();
    // Fills `t` from the system clock; 0.
    int IT8563WE_Get(TimeRealType* t);

    // ---- USB firmware upgrade ----
    // One worker turn of the upgrade: the step machine on mailbox byte 1.
    void usb_upgrade_manage_deal(void* arg);
    void usb_upgrade_deal();
    // Lists the packages of the stick's upgrade directory.
    void get_usb_file_list_path();
    // Applies every listed package.
    void usb_upgrade_main_deal();
    // The writers of one child; true when all of it was written (and, for
    // the application, read back equal). `offset` and `len` are the child's
    // bytes in the package: the whole application or font, the bitstream
    // after its header. `sel` 2 is FPGA 0's flash, 3 FPGA 1's; `addr` the
    // font's area in the scaler's flash.
    bool update_muc_file(const QString& path, uint32_t offset, uint32_t len);
    bool update_txc_file(const QString& path, int sel, uint32_t offset, uint32_t len);
    bool update_c331_osd_font_file(const QString& path, uint32_t offset, uint32_t len, uint32_t addr);
    // The child's `len` bytes at `offset`, read whole into the transfer
    // buffer from byte `at` on, before anything is erased or replaced; null
    // (after the pause a failed read gets) when they cannot all be read.
    uint8_t* usb_read_child(const QString& path, uint32_t offset, uint32_t len, uint32_t at);
    // The upgrade's pauses: false, at once, when the worker is asked to stop.
    bool usb_pause(unsigned ms);
    void install_application();
    // A line of the upgrade's report: a child passed over as it should be,
    // or (usb_fail) one that could not be read or written, which makes the
    // upgrade a failure.
    void usb_report(const QString& text);
    void usb_fail(const QString& text);
    // The start and end time of the last upgrade ("h:m:s    h:m:s"), what it
    // passed over or could not write, and whether anything could not be;
    // final once code 104 came.
    QString usb_grade_time() const;
    QStringList usb_grade_report() const;
    bool usb_grade_failed() const;
    // Sees every erase and write the font writer hands the scaler's flash
    // (op "erase": addr, len = bytes erased; "write": addr, len, data).
    static std::function<void(const char* op, uint32_t addr, uint32_t len, const uint8_t* data)> scaler_flash_hook;

    // ---- receiving-card frames ----
    // Each builder writes a whole frame (checksum included) into `frame`,
    // which holds rcv::kMaxFrame bytes, and returns its length; all but the
    // first also store it in the job mailbox (frame_length). A frame that
    // would not fit returns 0 and builds nothing. `all`: destination 0x0FFF
    // (every card) instead of the port and card.
    // Card g_send_para.card's position (get_rcvcard_x_y plus the layout's
    // offsets), written at card RAM 0x180: 23 bytes.
    int rcv_card_cmd_create(uint8_t* frame, uint8_t port);
    int load_write_ram_cmd_create(uint8_t port, uint16_t card, uint32_t address, const uint8_t* data, uint16_t n,
                                  uint8_t* frame, bool all);
    int rcv_active_firmware_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n, uint8_t* frame);
    int rcv_reconfig_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n, uint8_t* frame);
    int load_write_reg_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n, uint8_t* frame,
                                  bool all);
    // The n bytes from byte 9 on carry their own command.
    int load_write_user_defined_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n,
                                           uint8_t* frame, bool all);
    int load_search_rxc_cmd_create(uint8_t port, const uint8_t* data, uint16_t n, uint8_t* frame);
    int save_para2flash_cmd_create(uint8_t port, uint16_t card, uint8_t* frame, bool all);
    int save_para_cmd_create(uint8_t* frame, uint8_t port);
    // Mapping switch from g_send_para.mapping (9 on, 0 off), every card.
    int mapping_enable_cmd_create(uint8_t port, uint8_t* frame);
    int ram_reset_cmd_create(uint8_t* frame, const SCAN_PARA& scan, uint8_t port);
    int check_multi_port_send() { return 0; }
    // Position of card `index` in the layout of line_type; (0, 0) without
    // rows, columns or a known pattern.
    void get_rcvcard_x_y(uint16_t index, unsigned short* x, unsigned short* y);

    // ---- exchange with the cards ----
    // 1 when the pair's send-busy bit cleared, 0 after 300 ticks or for a
    // port above 15.
    uint8_t wait_fpga_send_ready(uint8_t port, uint8_t fpga);
    // Sends one frame of `len` bytes (1-1024) on port 0-15 of the FPGA. Takes
    // the receive mutex (recursive), so a worker's frame and a PC's never
    // interleave on the bus.
    void Send_to_port(const uint8_t* frame, int len, uint8_t port, uint8_t fpga);
    // One receive poll; callers hold rcv_mutex.
    void reg_IRQ_Dealwith(uint8_t fpga, uint8_t force);
    void Search_Card_task_run() { reg_IRQ_Dealwith(0, 0); }
    void Rcv_data_from_eth(uint8_t fpga);
    uint8_t deal_with_search_concurrent(uint8_t fpga);
    void Search_concurrent_back_result(uint8_t* answer, uint8_t group, uint8_t fpga, int length);
    void update_eth_rcv_num(const uint8_t* answer, uint8_t port, uint8_t fpga);
    void check_fpga_net_data_status(uint8_t fpga);
    // Card count of port 0-9 in FPGA 0's card table; 0 for other ports.
    uint16_t get_port_card_num(uint8_t port);
    // Cards on ports 0-9 of the FPGA (16-bit sum).
    uint16_t check_netport_card(uint8_t fpga);

    // ---- idle search and the video link ----
    // Quiet ticks (no job, no PC) between two passes of the idle search.
    static constexpr uint32_t kSearchQuietTicks = 80;
    void Search_Card_Cmd();
    uint16_t CHECK_search_cmd_status();
    // Builds the 30-byte search frame and sends it on the port.
    void check_error_rcv_search_card_cmd(uint8_t port, uint8_t fpga, uint32_t a, uint32_t b, uint8_t flag);
    uint8_t check_vbo_status(uint8_t fpga);

    // ---- the multi-function card's light sensor (family 0xBB) ----
    // The 19-byte read of its 128 data bytes at 0x02000000, to card address
    // 0x4000 + 0x1000 * (slot % 4) on output slot `slot`.
    int sensor_read_cmd_create(uint8_t slot, uint8_t* frame);
    // Clears the controller-answer store and sends the read on slot 0-15 of
    // FPGA 0; the answer (command 0x61, data[0] status 0, data[1..128] the
    // sensor bytes) lands in the store, to be taken after receive polls.
    void sensor_read_send(uint8_t slot);
    // A copy of the controller-answer store, taken (ready cleared) when it is
    // ready; false when not.
    bool take_controller_answer(RCV_CTRL_ANSWER* out);

    // ---- PC pass-through ----
    // A PC frame for the cards (decoded body, checksum included); callers
    // hold rcv_mutex after setting g_passby_trans_port and clearing
    // answer_arrived. Always 1.
    int Dealwith1_PC_to_eth(int length, unsigned char* frame);
    void multi_port_send(unsigned char* frame, int length);

    // ---- screen jobs (worker thread; one step per turn) ----
    // Job 1: each card of line_type's port gets its position, then the
    // port's closing register frame. Progress: 0 per frame, pulses while
    // waiting, 90, then 100 two seconds later.
    void SmartMapping_deal();
    // Job 3: every port 0-9 of FPGA 0 with cards saves its cards' parameters
    // to their flash; job 4: the same ports get the mapping value of
    // g_send_para.mapping. Progress: 0 per frame, pulses, 95, then 100.
    void save_para_deal();
    void mapping_enable_deal();
    // Jobs 5 (check), 6 (recovery) and 2 (scan file): walks the recovery
    // file or the chosen scan file through the reader. A file that does not
    // hold what a step needs ends the job with progress 100 and change code
    // 1; job_message() then says why.
    void rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY mode);
    // Runs the reader's current operation on the cards of the current port
    // (the reader's net_para.net_ledx, 0-19) from `offset` on, one sub-step
    // per call: 0 running, 1 finished, 2 it cannot be run (the job ends).
    // `all`: every card of the port.
    uint8_t load_rcv_xy_operate(const QString& file, uint32_t offset, bool all);
    // Record i of the chosen scan-parameter record file into *scan; 0 read,
    // 1 not (i at or beyond scan_para_num, no file, or a short file).
    uint8_t get_operate_deal_para(SCAN_PARA* scan, uint32_t i);
    // Cards on output port 0-19 as the card tables know them (ports 10-19
    // are ports 0-9 of FPGA 1).
    uint16_t rcv_port_card_num(uint16_t port);
    // The manager's recovery-file reader, or null while there is no
    // manager. Any thread may list directories through it (get_dir_file and
    // the list copies); everything else in it belongs to the worker's jobs.
    static rcvRecovery* recovery_reader();
    // Why the last job did not do its work (it could not start, a step
    // could not be done, or frames went unanswered after their retries), or
    // why it passed over an operation; empty when it did all of it. A job
    // that fails says so on standard output and, once its ring has closed,
    // on the panel.
    QString job_message() const;

    // Stops and joins the worker, deletes the manager and returns every
    // global of the FPGA side to its start-up value.
    static void destroyForTest();
    // Stops and joins the worker alone: the manager stays for the threads
    // that still call into it until destroyForTest.
    static void stopWorker();

    // ---- images the PC sees ----
    static uint8_t* MCU_REG_func[kFpgas];
    static uint8_t* MCU_RAM_PARA_func[kFpgas];
    static uint8_t* MCU_RAM_RX_func[kFpgas];
    static uint8_t* MCU_RAM_TX_func[kFpgas];
    static uint8_t* MCU_RAM_ETH_PARA_func[kFpgas];
    static uint8_t* MCU_RAM_ETH_BACK_PARA_func[kFpgas];
    static uint8_t MCU_RAM_CMD[1024];
    static uint8_t MCU_RAM_EXTEND[1024];
    static uint8_t MCU_RAM_DEFAULT[2048];
    static uint8_t MCU_RAM_ZOOM[1024];
    // Bytes [offset, offset + n) of a parameter RAM image, copied in or out
    // whole under ram_para_mutex: the PC link rewrites port rectangles while
    // the panel reads them, and neither sees half of the other's copy.
    // Nothing for another FPGA or a range beyond the image.
    void ram_para_write(uint8_t fpga, uint32_t offset, const uint8_t* from, uint32_t n);
    void ram_para_read(uint8_t fpga, uint32_t offset, uint8_t* to, uint32_t n);
    // Held by the two above and by the worker while it lays a parameter
    // RAM image out at start-up.
    std::mutex ram_para_mutex;
    // Default of parameter RAM bytes 0-255.
    static const uint8_t RAM1[256];
    // This controller's version as the command image shows it (bytes 24-27).
    static constexpr uint8_t kControllerVersion[4] = {1, 17, 0, 0};

    // ---- state ----
    pthread_mutex_t reg_mutex; // register shadow and MCU_RAM_EXTEND[29]
    // Receive poll, every frame sent and the PC pass-through; recursive, and
    // taken before Utils::_spi_mutex.
    pthread_mutex_t rcv_mutex;
    // An answer was queued for the waiting transport; it clears the flag.
    std::atomic<uint8_t> answer_arrived{0};
    // Raised by the scaler manager: brightness changed (under
    // Utils::_bri_set_mutex), LED-off word changed; cleared by the worker
    // once applied.
    std::atomic<uint8_t> bri_set_flag{0};
    std::atomic<uint8_t> output_status_flag{0};
    fpga_drv* p_fpga_drv = nullptr;
    rcvRecovery* p_rcvRecovery = nullptr; // the recovery-file reader

    // Start-up state per FPGA.
    uint8_t rst_pending[kFpgas] = {};
    uint32_t rst_stamp[kFpgas] = {};
    uint8_t rst_retry[kFpgas] = {};
    std::atomic<uint8_t> power_state[kFpgas];   // 0 → 1 → 2 → 3 → 5 → 6 → 7 running
    uint32_t power_wait[kFpgas] = {};
    uint16_t power_err[kFpgas] = {};
    std::atomic<uint8_t> check_state[kFpgas];   // post-start check; ready from 16
    uint16_t check_poll[kFpgas] = {};         // wide enough for the last cycles' 2040 polls
    uint8_t check_cycle[kFpgas] = {};
    uint8_t ram_reloaded[kFpgas] = {};
    uint32_t check_stamp[kFpgas] = {};
    uint8_t ram_check_result[kFpgas] = {};
    uint16_t wlan_last = 0;                     // last link mask reported (code 11)
    uint32_t led_stamp = 0;                     // LED-parameter handshake
    uint32_t time_stamp = 0;                    // last clock reading
    TimeRealType time_record;
    BrightnessSchedule bri;                     // brightness and on/off schedule
    UsbUpgrade usb;                             // USB firmware upgrade
    // PC pass-through: 1 while the last PC frame for the cards went to every
    // port (under Utils::_fpga_multicast_mutex).
    uint8_t multicast = 0;

    // ---- receiving cards (under rcv_mutex unless said otherwise) ----
    uint32_t search_sent_mask = 0;   // idle search: ports searched this pass
    uint32_t search_reply_mask = 0;  // bit 8f+slot: a search answer came; 30: odd pass; 31: evaluate
    uint16_t card_total = 0;         // cards on FPGA 0 after the last evaluation
    uint8_t search_active = 0;       // worker only, like the stamps below
    uint32_t search_stamp = 0;       // activity stamp of the idle search
    uint32_t search_passes = 0;
    uint8_t search_b_enable = 0;     // the controller's identifier for searches: none
    uint32_t search_b = 0;
    RCV_CTRL_ANSWER ctrl_answer;
    uint32_t reply_pending[kFpgas] = {};
    uint32_t poll_phase[kFpgas] = {};
    uint32_t poll_stamp[kFpgas] = {};
    uint32_t state_reset_stamp[kFpgas] = {}; // FPGA found not running by the poll
    uint32_t vbo_stamp[kFpgas] = {};
    uint8_t vbo_training[kFpgas] = {};
    uint8_t vbo_step[kFpgas] = {};
    uint16_t vbo_count[kFpgas] = {};
    // ---- screen jobs (worker only) ----
    // The card the last recovery check found, which a recovery restores:
    // screen index, index of its port record, port number 0-19, card index.
    uint8_t recovery_screen = 0;
    uint8_t recovery_port_record = 0;
    uint8_t recovery_port = 0;
    uint8_t recovery_card = 0;
    QString recovery_line;          // the line handed to the recovery screen; empty: none
    // The recovery check waits for a chain's answer to its search (read by
    // whichever thread runs the receive poll), and the chain answered, with
    // the screen's configuration id or another.
    std::atomic<bool> rcv_check_waiting{false};
    std::atomic<bool> rcv_check_answered{false};
    uint16_t scan_para_num = 0;     // records of the scan-parameter record file
    // PC pass-through.
    uint8_t expected_family = 0;
    uint8_t broadcast_kind = 0;      // the multicast went to 0x0FFE
    uint32_t answered_ports = 0;     // bit 16f + port
    std::atomic<uint8_t> multicast_sent{0};
    uint32_t multicast_stamp = 0;
    uint8_t expected_command = 0;    // command byte of the request in flight
    int expected_port = -1;          // its port, -1 for a multicast

    ~fpga_manage();

private:
    fpga_manage();
    bool valid(uint8_t fpga) const { return fpga < kFpgas; }
    bool masked_write(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga, bool full);
    // Receive side.
    bool read_answer(uint8_t fpga, int slot, uint8_t* out, int* length);
    void acknowledge(uint8_t fpga, int slot);
    void answer_to_pc(uint8_t* answer, int length, uint8_t fpga, uint8_t group, bool valid);
    void deliver_to_pc(const uint8_t* answer, int length);
    void zero_card_entry(uint8_t port, uint8_t fpga);
    uint8_t m_answer[rcv::kMaxFrame] = {};
    // Screen jobs.
    bool job_yields_to_pc();
    void every_port_deal(bool mapping);
    void job_progress(int value);
    void job_progress(int value, uint8_t job);
    void job_pulse();
    void job_sent_frame();
    void job_closing(int last);
    // A job's outcome: job_start at its first step; job_short when it will
    // end without having done its work (the first reason is kept), job_fail
    // when it cannot go on at all; job_unanswered for each frame that
    // output port 0-19 left unanswered after its retries. job_end clears
    // the job word, then closes the ring, then tells a failure.
    void job_start();
    void job_short(const QString& why);
    void job_fail(const QString& why);
    void job_unanswered(uint16_t port);
    void job_end();
    void job_note(const QString& why);
    void rcv_job_end(RCV_CHECK_OR_RECOVERY mode);
    uint8_t send_operation_frame(const QString& file, uint32_t offset, bool all);
    uint8_t operation_read_failed(uint32_t result, const QString& why);
    uint8_t m_job_frame[rcv::kMaxFrame] = {};
    uint8_t m_job_data[rcv::kMaxFrame] = {};
    bool m_op_read_failing = false;       // operation data unreadable since the stamp below
    uint32_t m_op_read_fail_stamp = 0;
    mutable std::mutex m_job_text_mutex;
    QString m_job_message;
    // The running job's outcome so far (worker only).
    QString m_job_failure;
    uint16_t m_job_frames = 0;           // frames jobs 1, 3 and 4 sent
    uint16_t m_job_unanswered = 0;
    uint32_t m_job_unanswered_ports = 0; // bit p: output port p + 1
    int access(uint8_t fpga, uint32_t command, const uint8_t* tx, uint8_t* rx, uint32_t len);
    // A reset the start-up or the post-start check makes of itself keeps
    // the counts that bound its retries.
    void restart(uint8_t fpga, bool keepRetry, bool fromCheck);
    bool link_chip_ready() const;

    platform::Worker m_worker;
    uint8_t m_reg_shadow[kFpgas][kRegs] = {};
    uint8_t m_ram_para[kFpgas][kRamImage] = {};
    uint8_t m_ram_rx[kFpgas][kRamImage] = {};
    uint8_t m_ram_tx[kFpgas][kRamImage] = {};
    uint8_t m_eth_para[kFpgas][kEthBlock] = {};
    uint8_t m_eth_back_para[kFpgas][kEthBlock] = {};
    bool m_check_reset[kFpgas] = {};
    bool m_fpga1_looked = false;
    uint32_t m_fpga1_stamp = 0;

    // Pace of the worker after a turn.
    enum class Pace { Fast, Tick, Idle };
    Pace next_pace();
    void pace(Pace p);
    bool m_counting = false;                    // the start-up counts its calls
    platform::Wakeup m_wake;
};

#pragma once
// The scaler chip manager. Writers of video parameters lock para_mutex,
// change the image, set para_changed (1 apply, 2 apply and resynchronise the
// user-mode files) and unlock; the scaler thread applies what differs from
// what it applied last and announces the change.
//
// The code is split by concern:
//   c331_manage.cpp    object, thread and its pace
//   c331_bringup.cpp   bring-up stages, initial settings, parameter tables
//   c331_tables.cpp    the tables themselves, as data
//   c331_dispatch.cpp  the parameter-difference dispatcher and input upkeep
//   c331_panel.cpp     panel and output channels
//   c331_picture.cpp   picture controls and test patterns
//   c331_window.cpp    window load and output-channel allocation
//   c331_geometry.cpp  window geometry, scaling, per-window register programming
//   c331_output.cpp    relayout, window setters, layers, fade and freeze
//   c331_input.cpp     input ports: timing records, measurement, source switch
//   c331_crop.cpp      input crops
//   c331_ich.cpp       input channels and dot-by-dot capture
//   c331_filters.cpp   noise reduction, deinterlacing, scaler coefficients
//   c331_filter_tables.cpp  their tables, as data
//   c331_osd.cpp       OSD and the chip's font flash
//   c331_diag.cpp      diagnostics

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "platform/wakeup.h"
#include "platform/worker.h"
#include "scaler/c331_drv.h"
#include "scaler/c331_types.h"

class c331_manage {
public:
    static constexpr int kWindows = 6;
    static constexpr int kPorts = 6;
    static constexpr int kOutChannels = 8;
    static constexpr int kInChannels = 8;
    static constexpr int kImageSize = 4096;

    // Creates the manager, opens the chip and starts its thread.
    static c331_manage* pInstance();
    static c331_manage* p_c331_manage;

    // Opens the SPI device, reads the identity once and starts the thread;
    // 0, or 255 when the thread cannot be created.
    int initialize();
    static void* c331manageThread(void* arg);

    // ---- request protocol ----
    std::atomic<uint8_t> para_changed{0};
    pthread_mutex_t para_mutex;
    // The writer's last step, with para_mutex held after the image change:
    // raises para_changed to `code` (a pending 2 is kept: its user-mode file
    // resync must not be lost to a later 1) and wakes the thread.
    void raise_request(uint8_t code);
    // Wakes the manager thread for work another thread left it (a timing
    // record the input-source manager rewrote, OSD work). Safe whether or
    // not a manager exists.
    static void wake();

    // ---- bring-up (c331_bringup.cpp) ----
    // One turn of the manager thread: an identity poll, a bring-up stage or
    // a dispatcher turn, by setup_stage.
    void runTurn();
    void load_system_param();
    void define_param();
    void write_initial_setting(int fd, int withClocks);
    void set_rtct(int fd, int mode);
    int load_param();

    // ---- dispatcher (c331_dispatch.cpp) ----
    static void c331managerdeal(void* arg);

    // ---- panel and output channels (c331_panel.cpp) ----
    int vyxApi_PnlInit2(int ledW, int ledH, int out1w, int out1h, int splice);
    int vyxApi_PnlInitOch3();
    int vyxApi_PnlInitOch_diff(int* htt, int* vtt, int hblank, int vblank, int width, int height);
    int vyxApi_WriteRam(int addr);
    void vyxApi_c331InitRegPanel();
    // The output timing table: (HTT, VTT) pairs, HTT ascending.
    static const std::vector<std::pair<int, int>>& outputTimings();

    // ---- window load and channel allocation (c331_window.cpp) ----
    int vyxApi_initEnvC331();
    int vyxApi_initEnvC331Default();
    int vyxApi_MultiWinInit();
    int vyxApi_MultiWinGet(ST_MWIN* out);
    int vyxApi_PreviewCh();
    int vyxApi_MultiWinChAlloc(char init);
    int vyxApi_MultiWinChOverlay();
    int vyxApi_MultiWinChInit();
    int vyxApi_inputCvtC331(int port);
    // Dot-by-dot code of an image record's dot-by-dot mode (0..9; any other
    // value is DBD_SINGLE_INPUT).
    static int dbdCode(int mode);

    // Windows are numbered by their image record everywhere: window w is
    // image w, loaded or not (a closed image leaves a gap, never a shift).
    bool winLoaded(int w) const { return w >= 0 && w < kWindows && win_loaded[w] != 0; }
    // "No window" (6) and "no port" (6, 255) never index the per-window and
    // per-port arrays: these say whether an index may.
    static bool winOk(int w) { return w >= 0 && w < kWindows; }
    static bool portOk(int p) { return p >= 0 && p < kPorts; }
    // The window's main (first) input channel, -1 when it has none.
    int mainIch(int w) const { return winOk(w) ? win_ich[w][0] : -1; }

    // ---- window geometry and scaling (c331_window.cpp) ----
    void calc_iwin2(int w);
    void calc_owin2(int w);
    void calc_oact(_ImageWindowDef_st owin, _ImageWindowDef2_St* out, int w);
    void calc_scaling(_ImageWindowDef_st in, _ImageWindowDef_st out, _ScalingSt* s);
    void set_display_window_ich(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w);
    void set_display_window_och(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w);
    void get_och(int w, int out[8]);
    void set_oscwct(int fd, int k);
    void wait1_povs(int fd, int k);
    int check_stitching_win(int* w, int* partner);
    void check_stitching_chg();

    // ---- relayout, layers, fade, freeze (c331_output.cpp) ----
    void set_output(int fd);
    void c331_SetWinOutput(int fd, char w, int data);
    void c331_SetWinDbdMode(int fd, char w, int mode);
    void c331_SetWinAttr(char w, int data);
    void c331_SetWinPriority(int w, int pri);
    void c331_SetWinPriority1(int fd);
    void win_freeze_sel(int fd, int w, int data);
    void set_freeze(int fd, int on);
    void set_layer_coef(int fd, int w, int cnt, int dir);
    void reset_layer_coef(int fd, int mode);
    void update_overlay_info();
    void set_overlay(int fd);
    void reset_act(int fd, int mode);
    void vyxApi_forceColorDisable(int fd);

    // ---- picture controls and test patterns (c331_picture.cpp) ----
    void c331_SetBrightness(unsigned short v);
    void c331_SetContrast(int v);
    void c331_SetSaturation(int v);
    void c331_SetSharpness(int v);
    void c331_SetColorTemp(int word);
    int c331_SetPattern(int n);

    // ---- input ports (c331_input.cpp) ----
    void load_hdmi();
    void check_input_port(int fd);
    void check_port_valid(int fd);
    int vyxApi_GetPortDevId(int port);
    void c331_SetInputsource(int w, int src);
    void set_input_bkg(int fd, int port, int on);
    void set_input_bkg2(int fd, int w, int on);
    void set_pict(int fd, int ddr, int port);
    void set_sypol(int fd, int vbo, int n);
    void set_VBOInput(int fd, int q);
    void set_VBORXfrange(int fd, int q, int toggle, float clk);
    void wait1_pivs(int fd, int ich);
    void wait1_pivs2(int fd);
    int wait_ifld_change(int fd, int port);
    int wait_ofld_change(int fd, int och);
    int vyxApi_IsWinValid(int w);
    int vyxApi_IsPatternGen();

    // ---- input crops (c331_input.cpp) ----
    void c331_SetInputsourceCrop(int w, int word);
    void c331_SetCrop(char w, char enable, ST_RECT* rect);
    int vyxApi_CropGetOffset(int port, ST_RECT* rect, int side);
    void vyxApi_updateCrop(int port);
    int vyxApi_OchGetWinOffset1(ST_WIN_INFO* wi, int side);

    // ---- input channels and dot-by-dot capture (c331_input.cpp) ----
    int vyxApi_GetWinDbdMultiPort(int w, int* ports6 = nullptr);
    int set_input(int w, int port);
    // Releases a window that gets no input channel; 2 (set_input's result).
    int withoutChannels(int w);
    // The window's input channels were taken for another port or mode, or
    // are not as many as it needs now.
    bool channelsStale(int w) const;
    int check_ich_all(int w);
    int check_ich(int ip, int dual);
    int adjust_ich(int ip, int dual, int w);
    void reset_ich(int w);
    void set_ichsel(int fd, int w);
    void set_idual(int fd, int ich, int on, int port);
    void set_display_window_ich_dbd(int fd, int w, int mode);
    int set_dbd_mem(int fd, int w);
    void reset_dbd_mem(int w);
    int check_dbd_input(int fd, int port);

    // ---- noise reduction, deinterlacing, filter tables (c331_input.cpp) ----
    void set_ip(int fd, int ch);
    void set_nr(int fd, int ch, int port);
    void set_nr_block(int fd, int ch, int port);
    void set_nr_b_1080i(int fd, int ch, int port);
    void set_nr_b_1080p(int fd, int ch, int port);
    void set_nr_b_480i(int fd, int ch, int port);
    void set_nr_b_480p(int fd, int ch, int port);
    void set_nr_b_720p(int fd, int ch, int port);
    void set_nr_tpx(int fd, int ch, int port);
    void set_nr_hvpx(int fd, int ch, int port);
    void set_nr_mosq(int fd, int ch, int port);
    void set_diag(int fd, int ch, int port);
    void set_comb(int fd, int ch, int port);
    void set_mvflt(int fd, int ch, int port);
    void set_ipregs(int fd, int ch, int port);
    void set_mct(int fd, int w, int flag);
    void set_iscwct(int fd, int w);
    void set_lut_hshrnk(int fd, int ratio, int ch, int pair);
    void set_lut_vshrnk_4sym(int fd, int ratio, int ch, int pair);
    void set_lut_vzoom_4sym(int fd, int ratio, int och);
    void set_lut_vshrnk(int fd, int ratio, int n);
    void set_lut_hzoom(int fd, int ratio, int och);
    // Coefficient sets of the vertical shrink and zoom (c331_filter_tables.cpp).
    static const int32_t lut[10][24];
    static const int32_t lut_set_lut_vzoom_4sym[24];

    // ---- OSD and the chip's font flash (c331_osd.cpp) ----
    // Flash operations run on the caller's thread (PC, FPGA worker, the
    // manager); flash_mutex makes each whole operation exclusive.
    // Each returns 0, or 255 when the flash or the controller did not get
    // idle in time (a message says which wait) or the arguments are
    // impossible; the controller is left idle either way.
    int erase_flash(int fd, int startUnit, int count, int mode);
    int write_flash(int fd, int addr, int len, unsigned char* buf);
    int read_flash(int fd, int addr, int len, unsigned char* buf);
    int osd_write_dma_sfl(int fd, int flashAddr, int dest, int target, int len);
    void load_char();
    void load_bmp();
    void read_c331_font(int fd);
    void update_font(int fd);
    int vyxApi_OsdSet(int type, int value);
    int vyxApi_OsdSetUnicode(int lineCount, int* lengths, unsigned int lines[][128]);
    void update_osd(int fd);
    void set_osd(int fd, int on);
    void set_scroll(int fd);
    void calc_osd();
    void set_char_color(int fd);

    // ---- diagnostics (c331_diag.cpp) ----
    // The full register dump asked for by the PC; runs on the PC's thread.
    void c331_print();
    int vyxDbg_c331_param();
    int vyxDbg_c331_param(int n);
    int vyxDbg_c331_print_regGrp(int grp);
    int input_slidebar(int fd);
    int output_slidebar(int fd);
    int disable_slidebar(int fd);
    int vbyone_rx_ch1_seq(int fd);
    int vbyone_rx_ch2_seq(int fd);
    int read_c331_b174bug(int fd);
    int write_read_c331_b80_iacthstch5(int fd);
    int sync_c331_device_test_input(int fd);
    int sync_c331_device_test_frame_lock(int fd);
    int sync_c331_device_test_frame_lock_vbyrx2(int fd);
    int sync_c331_device_test_frame_lock_vbyrx3(int fd);

    // =====================================================================
    // State. Everything below belongs to the manager thread unless a
    // comment says otherwise.

    int c331_fd = -1;
    c331_drv* p_c331_drv = nullptr;
    std::atomic<uint8_t> setup_stage{0}; // 0-4 identity polls, 5-7 bring-up, 8 dispatcher
    int32_t pattern_active = 0;          // a test pattern is shown

    // What the chip was last given, by parameter-image byte: the image as it
    // stood at the end of the last dispatcher pass (the snapshot at start).
    // Read and written under para_mutex.
    uint8_t applied[kImageSize];
    // Dispatcher passes and thread turns completed (observability for tests
    // and benches).
    std::atomic<uint32_t> pass_count{0};
    std::atomic<uint32_t> turn_count{0};

    // ---- system parameter block (load_system_param, define_param) ----
    int32_t PS_CLOCK[4];        // Hz; [2] is the reference of the output-rate class
    int32_t PS_REF_CLK;         // a quarter of PS_CLOCK[1]: measurement reference
    int32_t PS_ACTHW, PS_ACTVW; // one output channel's active size
    int32_t PS_HTOTAL, PS_VTOTAL;
    int32_t PS_HSW, PS_HBP, PS_HFP;
    int32_t PS_VSW, PS_VBP;
    int32_t PS_VBOTX_MODE, PS_VBOTX_LAYOUT;
    int32_t PS_CLKDIV1[5];      // bank 0 0x47-0x4B: [3] divider, [4] multiplier of the rate class
    int32_t PS_CLKDIV2[4];      // bank 0 0x51-0x54
    uint32_t PS_MEM_SC[kInChannels][5]; // field-buffer bases per input channel
    uint32_t PS_SFL_ADDR;       // flash controller's chip-memory area, OSD bitmap staging
    uint32_t PS_MEM_OSD, PS_MEM_OSD1;
    uint32_t PS_FONT_ADDR;
    int32_t PS_ACTHST, PS_ACTVST;
    int32_t PS_OAOIHST, PS_OAOIHED, PS_OAOIVST, PS_OAOIVED;
    int32_t PS_PANEL_HW, PS_PANEL_VW, PS_PANEL_HSHAPE, PS_PANEL_VSHAPE;

    // ---- panel (c331_panel.cpp) ----
    ST_PANEL panel;
    // Input-check records reset by a new panel or channel plan (every byte
    // 0xFF) and their changed marks.
    ST_PORT_INFO port_check[7];
    int32_t port_check_changed[kPorts];

    // ---- windows (parameters_txt, then the parameter image) ----
    int32_t PM_WIN_SHAPE[kWindows][2];     // columns, rows of output channels; 0 = absent
    int32_t PM_INPUT[kWindows];            // chip input port; 6 = none
    int32_t PM_WIN_OFFSET[kWindows][4];    // left, right, top, bottom inside the channel block
    int32_t PM_INPUT_OFFSET[kWindows][4];  // crop margins
    int32_t PM_INPUT_OFFSET_EN[kWindows];
    int32_t PM_WIN_NUM[kOutChannels];      // window of each output channel; 6 = none
    int32_t PM_AREA_NUM[kOutChannels];     // tile of the window; 8 = none
    int32_t PM_OVERLAY[kOutChannels];      // mixer 1..8 of each output channel
    int32_t PM_OVERLAY_PRI[kWindows];
    int32_t PM_WIN_SWITCH[2][kWindows];    // two unnamed per-window switches of the table
    int32_t PM_WIN_FADE_EN[kWindows];
    int32_t PM_WIN_FADE_IN[kWindows];      // frames
    int32_t PM_WIN_FADE_OUT[kWindows];
    int32_t PM_WIN_WORD[2][kWindows];      // two unnamed per-window words of the table
    int32_t PM_WIN_DBD_MODE[kWindows];
    int32_t PM_WIN_HMIRROR[kWindows], PM_WIN_VMIRROR[kWindows];
    int32_t PM_IACTHST[kWindows], PM_IACTVST[kWindows]; // window's input start in the port picture
    int32_t PM_MEM_WMODE[kWindows];        // memory write mode chosen
    int32_t PS_MEM_WMODE[kWindows];        // preferred memory write mode
    int32_t dbd_clip[kWindows];
    int32_t stitch_grp[kWindows];

    ST_MWIN mwin;                          // loaded windows
    ST_RECT win_rect[kWindows];
    ST_WIN_INFO pwinfo[kWindows];
    int32_t win_present[kWindows];         // window-present marks of the channel set-up
    int32_t win_loaded[kWindows];          // loaded from its image record (or the default window)
    ST_MWIN_LAYOUT multiwin_layout[10];
    ST_RECT multiwin_table[10][kWindows];

    _ImageWindowDef_st IWIN[kWindows], OWIN[kWindows];
    int32_t win_wide[kWindows];            // read width limited to 2176
    int32_t win_layer[kWindows];
    int32_t win_och[kWindows][kOutChannels];
    int32_t mix_layers[kOutChannels][kOutChannels];
    int32_t mix_count[kOutChannels];
    int32_t win_bufs[kWindows][5];         // B0..B3 the write ring, B4 the spare
    int32_t win_frozen[kWindows];
    int32_t prev_PM_WIN_NUM[kOutChannels];
    int32_t prev_win_ich[kWindows][kInChannels];
    uint8_t vmirror_ok[kWindows];

    // Change marks, consumed by the relayout.
    int32_t g_chg_win[kWindows];           // geometry changed
    int32_t g_chg_input[kWindows];         // 1 source switched, 2 channels moved, 3 both / port changed
    int32_t g_chg_dbd[kWindows];           // input re-setup pending
    int32_t g_chg_attr[kWindows];
    int32_t g_chg_mirror[kWindows];
    int32_t g_chg_stitch[kWindows][2];
    int32_t g_chg_och[kOutChannels];       // per-channel update marks
    int32_t g_chg_all;                     // re-programme everything
    int32_t g_chg_priority;
    int32_t g_chg_overlay;
    int32_t g_och_error;

    // ---- input ports ----
    ST_HDMI_INFO PI_HDMI_INFO[kPorts];
    ST_PORT_INFO PI_PORT_INFO[kPorts];
    int32_t PI_STATE[kPorts];              // port class; 0 no signal
    int32_t PI_SCAN_MODE[kPorts];          // 1 interlaced
    _ImageWindowDef_st PI_ACT[kPorts];
    _ImageWindowDef_st PI_ACT_FULL[kPorts];
    int32_t PI_HTOTAL[kPorts], PI_VTOTAL[kPorts];
    double PI_FPICLK[kPorts], PI_FH[kPorts], PI_FV[kPorts];
    int32_t PI_IFH[kPorts], PI_IFV[kPorts];
    int32_t PI_UPDATE[kPorts];
    int32_t PI_RECORD_NEW[kPorts];         // the timing record changed since the port was described
    int32_t g_chg_hdmi[kPorts];
    int32_t g_port_nosig[kPorts];          // under Utils::_check_nosig_mutex
    uint8_t vbo_retry[2];
    int32_t PS_VBO_2LANE[2], PS_VBO_4LANE[2], PS_VBO_8LANE[2];

    // ---- noise reduction and deinterlacing, per input port ----
    int32_t PM_HNR[kPorts], PM_VNR[kPorts], PM_TNR[kPorts], PM_BNR[kPorts], PM_MNR[kPorts];
    int32_t PM_COMB[kPorts], PM_IPEN[kPorts], PM_DIAG[kPorts], PM_MVFLT[kPorts];
    int32_t PM_22PD[kPorts], PM_23PD[kPorts], PM_22PDSQTH[kPorts], PM_23PDSQTH[kPorts], PM_24SF[kPorts];
    // ... and per deinterlacing input channel 0..3.
    uint32_t PS_MEM_IP_I[4][2], PS_MEM_IP_P[4][2];
    uint32_t PS_MEM_IPYOFF[4];
    int32_t PS_MWI_IP[4];
    static int nren_old[4];
    int32_t ich_mode[kInChannels];         // per-channel mode word

    // ---- input channels and dot-by-dot memory ----
    int32_t ich_win[kInChannels];          // owner window, -1 free
    int32_t win_ich[kWindows][kInChannels]; // ascending, ended by -1
    int32_t win_ich_port[kWindows];        // port and dot-by-dot mode the channels were taken for
    int32_t win_ich_mode[kWindows];
    int32_t dbd_blk_used[6];
    int32_t win_dbd_blk[kWindows][4];
    uint32_t win_dbd_sc[kWindows][5];
    int32_t win_dbd_units[kWindows];
    uint32_t PS_MEM_DBD[5];                // dot-by-dot area bases
    uint32_t PS_DBD_BLK_SIZE;
    int32_t PS_MEM_UNITS;                  // normal memory line width, units of 320 pixels

    // ---- OSD (written by vyxApi_OsdSet from any thread) ----
    std::atomic<int32_t> osd_set_pending{0};
    std::atomic<int32_t> osd_update_pending{0};
    int32_t PM_OSD_EN, PM_OSD_HZOOM_EN, PM_OSD_VZOOM_EN;
    int32_t PM_OSD_DATA_MODE;              // 1 text, 0 bitmap
    int32_t PM_OSD_UPDATE_BUTTON;
    int32_t PM_OSD_SCROLL_MODE;            // 0-8
    int8_t PM_OSD_SCROLL_SPEED;
    int32_t PM_OSD_CHAR_64DOT;
    int32_t PM_OSD_DOUBLE_WIDTH;
    int32_t PM_OSD_OUTPUT_OFFSET[4], PM_OSD_INPUT_OFFSET[4];
    int32_t PM_OSD_CTRL[2];                // two OSD control words of the table
    int32_t PS_BG_HACT, PS_BG_VACT;
    uint32_t PS_BG_COLOR;                  // BBGGRR
    int32_t PS_BG_TRANS;
    int32_t PS_CHAR_HST, PS_CHAR_VST;
    uint32_t PS_CHAR_COLOR;                // BBGGRR
    uint32_t PS_CHAR_ADDR_32ASCII, PS_CHAR_ADDR_32CHN, PS_CHAR_ADDR_64ASCII, PS_CHAR_ADDR_64CHN;
    uint32_t PS_CHAR_SIZE_32ASCII, PS_CHAR_SIZE_32CHN, PS_CHAR_SIZE_64ASCII, PS_CHAR_SIZE_64CHN;
    uint32_t PS_BMP_ADDR, PS_BMPCP_ADDR;
    int32_t PS_BMP_HACT, PS_BMP_VACT;
    uint32_t g_font_addr_32ASCII, g_font_addr_32CHN, g_font_addr_64ASCII, g_font_addr_64CHN;
    // Fonts found in the flash by read_c331_font: bit 0 32-dot Chinese,
    // 1 32-dot ASCII, 2 64-dot Chinese, 3 64-dot ASCII. Written by the
    // manager and PC threads, read by the factory screen.
    std::atomic<uint32_t> font_status{0};
    uint16_t osd_text[64][128];            // UCS-2, high byte first
    int32_t g_unicode_line;
    int32_t osd_line_len[64], osd_line_narrow[64], osd_line_wide[64];
    int32_t osd_line_hoffs[64];
    int32_t osd_valign_offs;
    int32_t osd_halign, osd_valign;
    int32_t osd_text_layout;               // type 33
    int32_t g_osd_mwi, g_osd_mwi_shift;
    ST_OSD_WIN OSD_WIN;

    // ---- diagnostics ----
    uint8_t prnEn[400];                    // group n prints while bit 7 of byte n is set

    // ---- flash ----
    std::recursive_mutex flash_mutex;

    // ---- tests ----
    // The manager without its thread, its chip opened; one turn at a time
    // through runTurn() / c331managerdeal().
    static c331_manage* createForTest();
    // Stops and joins the thread, then deletes the manager.
    static void destroyForTest();
    // Every bring-up step and chip operation the dispatcher calls is named
    // here, with its arguments, as it is called; the steps of a relayout
    // and of the channel set-up follow their operation, indented by two
    // spaces.
    static std::function<void(const std::string&)> op_hook;
    // True while a pass waits for the LED handshake with para_mutex released.
    bool waiting_for_led() const;
    bool threadRunning() const { return m_worker.running(); }
    pthread_t threadHandle() const { return m_worker.handle(); }

private:
    c331_manage();
    ~c331_manage();
    // The object with its layout descriptors, chip not yet opened.
    static c331_manage* create();

    // Bring-up steps.
    void stageIdentity();
    void stage5();
    void stage6();
    void stage7();
    void reloadOsdMenu();

    // Dispatcher.
    void dispatchPass();
    void inputUpkeep();
    void debugRegisters();
    // Waits, with para_mutex released, while the LED handshake is at 1.
    void waitLedHandshake();

    static void traceOp(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    // The thread's doorbell outlives every manager: the input-source thread
    // may ring it while a manager is being replaced.
    static platform::Wakeup& doorbell();

    platform::Worker m_worker;
};

// ---- globals of the scaler ----
extern std::atomic<uint8_t> g_force_bkcolor;      // 1 green backgrounds; 2 once forced colour ended
extern std::atomic<uint8_t> g_fpga_c331_start;    // 1 once the panel was brought up
extern std::atomic<int32_t> g_osd_update;         // reload the OSD menu at the end of this pass
extern std::atomic<int32_t> g_c331_source_online; // a window was re-programmed for its input
// edid_ram_table_from[4] (core/globals.h): the inputs whose EDID comes from a
// stored EDID table (set by the PC).

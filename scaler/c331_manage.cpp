// The scaler manager object, its thread and the thread's pace.
#include "scaler/c331_manage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <chrono>

#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/spi.h"

c331_manage* c331_manage::p_c331_manage = nullptr;
std::function<void(const std::string&)> c331_manage::op_hook;
int c331_manage::nren_old[4] = {-1, -1, -1, -1};

std::atomic<uint8_t> g_force_bkcolor{0};
std::atomic<uint8_t> g_fpga_c331_start{0};
std::atomic<int32_t> g_osd_update{0};
std::atomic<int32_t> g_c331_source_online{0};

namespace {
// Bring-up turns (identity polls, then stages 5-7) follow a tick apart.
constexpr auto kBringUpPause = std::chrono::milliseconds(10);
// From stage 8 the thread sleeps until a request or a rewritten timing
// record wakes it, and otherwise runs the input upkeep at the pace the
// receivers are looked at: a source's change reaches the chip's counters
// and the receiver's record together, and the record wakes the thread.
constexpr auto kUpkeepPause = std::chrono::milliseconds(250);

// Plain-old-data members start at zero; the constructor then sets what the
// chip set gives other starting values.
template <class T>
void zero(T& v)
{
    std::memset(static_cast<void*>(&v), 0, sizeof v);
}
} // namespace

c331_manage::c331_manage()
{
    writeLogMsg(LOG_INFO, "c331_manage::c331_manage()");
    pthread_mutex_init(&para_mutex, nullptr);

    zero(PS_CLOCK); PS_REF_CLK = 0;
    PS_ACTHW = PS_ACTVW = PS_HTOTAL = PS_VTOTAL = PS_HSW = PS_HBP = PS_HFP = PS_VSW = PS_VBP = 0;
    PS_VBOTX_MODE = PS_VBOTX_LAYOUT = 0;
    zero(PS_CLKDIV1); zero(PS_CLKDIV2); zero(PS_MEM_SC);
    PS_SFL_ADDR = PS_MEM_OSD = PS_MEM_OSD1 = PS_FONT_ADDR = 0;
    PS_ACTHST = PS_ACTVST = PS_OAOIHST = PS_OAOIHED = PS_OAOIVST = PS_OAOIVED = 0;
    PS_PANEL_HW = PS_PANEL_VW = PS_PANEL_HSHAPE = PS_PANEL_VSHAPE = 0;
    zero(panel); zero(port_check); zero(port_check_changed);

    zero(PM_WIN_SHAPE); zero(PM_INPUT); zero(PM_WIN_OFFSET); zero(PM_INPUT_OFFSET); zero(PM_INPUT_OFFSET_EN);
    zero(PM_WIN_NUM); zero(PM_AREA_NUM); zero(PM_OVERLAY); zero(PM_OVERLAY_PRI); zero(PM_WIN_SWITCH);
    zero(PM_WIN_FADE_EN); zero(PM_WIN_FADE_IN); zero(PM_WIN_FADE_OUT); zero(PM_WIN_WORD);
    zero(PM_WIN_DBD_MODE); zero(PM_WIN_HMIRROR); zero(PM_WIN_VMIRROR); zero(PM_IACTHST); zero(PM_IACTVST);
    zero(PM_MEM_WMODE); zero(PS_MEM_WMODE); zero(dbd_clip); zero(stitch_grp);
    zero(win_rect); zero(pwinfo); zero(win_present); zero(win_loaded); zero(multiwin_table);
    mwin.n = 0;
    mwin.pwin = win_rect;
    zero(IWIN); zero(OWIN); zero(win_wide); zero(win_layer); zero(win_och); zero(mix_layers); zero(mix_count);
    zero(win_bufs); zero(win_frozen); zero(prev_PM_WIN_NUM); zero(prev_win_ich); zero(vmirror_ok);
    zero(g_chg_win); zero(g_chg_input); zero(g_chg_dbd); zero(g_chg_attr); zero(g_chg_mirror);
    zero(g_chg_stitch); zero(g_chg_och);
    g_chg_all = g_chg_priority = g_chg_overlay = g_och_error = 0;

    zero(PI_HDMI_INFO); zero(PI_PORT_INFO); zero(PI_STATE); zero(PI_SCAN_MODE); zero(PI_ACT); zero(PI_ACT_FULL);
    zero(PI_HTOTAL); zero(PI_VTOTAL); zero(PI_FPICLK); zero(PI_FH); zero(PI_FV); zero(PI_IFH); zero(PI_IFV);
    zero(PI_UPDATE); zero(PI_RECORD_NEW); zero(g_chg_hdmi); zero(g_port_nosig); zero(vbo_retry);
    zero(PS_VBO_2LANE); zero(PS_VBO_4LANE); zero(PS_VBO_8LANE);
    // The first stable record with a signal always counts as a change.
    for (ST_HDMI_INFO& rec : PI_HDMI_INFO)
        rec.nosignal = 1;

    zero(PM_HNR); zero(PM_VNR); zero(PM_TNR); zero(PM_BNR); zero(PM_MNR); zero(PM_COMB); zero(PM_IPEN);
    zero(PM_DIAG); zero(PM_MVFLT); zero(PM_22PD); zero(PM_23PD); zero(PM_22PDSQTH); zero(PM_23PDSQTH);
    zero(PM_24SF); zero(PS_MEM_IP_I); zero(PS_MEM_IP_P); zero(PS_MEM_IPYOFF); zero(PS_MWI_IP); zero(ich_mode);
    for (int c = 0; c < kInChannels; ++c)
        ich_win[c] = -1;
    zero(win_ich_port);
    zero(win_ich_mode);
    for (auto& list : win_ich)
        for (int32_t& c : list)
            c = -1;
    for (int32_t& b : dbd_blk_used)
        b = -1;
    for (auto& list : win_dbd_blk)
        for (int32_t& b : list)
            b = -1;
    zero(win_dbd_sc); zero(win_dbd_units); zero(PS_MEM_DBD);
    PS_DBD_BLK_SIZE = 0;
    PS_MEM_UNITS = 0;

    PM_OSD_EN = PM_OSD_HZOOM_EN = PM_OSD_VZOOM_EN = PM_OSD_DATA_MODE = PM_OSD_UPDATE_BUTTON = 0;
    PM_OSD_SCROLL_MODE = 0;
    PM_OSD_SCROLL_SPEED = 0;
    PM_OSD_CHAR_64DOT = PM_OSD_DOUBLE_WIDTH = 0;
    zero(PM_OSD_OUTPUT_OFFSET); zero(PM_OSD_INPUT_OFFSET); zero(PM_OSD_CTRL);
    PS_BG_HACT = PS_BG_VACT = PS_BG_TRANS = PS_CHAR_HST = PS_CHAR_VST = 0;
    PS_BG_COLOR = PS_CHAR_COLOR = 0;
    PS_CHAR_ADDR_32ASCII = PS_CHAR_ADDR_32CHN = PS_CHAR_ADDR_64ASCII = PS_CHAR_ADDR_64CHN = 0;
    PS_CHAR_SIZE_32ASCII = PS_CHAR_SIZE_32CHN = PS_CHAR_SIZE_64ASCII = PS_CHAR_SIZE_64CHN = 0;
    PS_BMP_ADDR = PS_BMPCP_ADDR = 0;
    PS_BMP_HACT = PS_BMP_VACT = 0;
    g_font_addr_32ASCII = g_font_addr_32CHN = g_font_addr_64ASCII = g_font_addr_64CHN = 0;
    zero(osd_text);
    g_unicode_line = 0;
    zero(osd_line_len); zero(osd_line_narrow); zero(osd_line_wide); zero(osd_line_hoffs);
    osd_valign_offs = osd_halign = osd_valign = osd_text_layout = 0;
    g_osd_mwi = g_osd_mwi_shift = 0;
    zero(OSD_WIN);

    // Print groups 0-5 and 7-11 on; 6 (serial flash) off.
    zero(prnEn);
    for (int g = 0; g <= 11; ++g)
        if (g != 6)
            prnEn[g] = 0x80;

    // The chip starts from what was stored last: the snapshot.
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (store)
        copyShared(applied, store->ram_para_bak, sizeof applied);
    else
        zero(applied);

    p_c331_drv = new c331_drv();
}

c331_manage::~c331_manage()
{
    delete p_c331_drv;
    pthread_mutex_destroy(&para_mutex);
}

namespace {
// Window counts of the ten multi-window layouts.
constexpr int32_t kLayoutCounts[10] = {1, 2, 3, 3, 4, 4, 5, 5, 6, 6};
} // namespace

c331_manage* c331_manage::create()
{
    c331_manage* m = new c331_manage();
    for (int i = 0; i < 10; ++i) {
        m->multiwin_layout[i].n = kLayoutCounts[i];
        m->multiwin_layout[i].table = m->multiwin_table[i];
    }
    m->para_changed = 0;
    m->pattern_active = 0;
    return m;
}

c331_manage* c331_manage::pInstance()
{
    if (!p_c331_manage) {
        p_c331_manage = create();
        p_c331_manage->initialize();
    }
    return p_c331_manage;
}

c331_manage* c331_manage::createForTest()
{
    if (!p_c331_manage) {
        p_c331_manage = create();
        p_c331_manage->c331_fd = p_c331_manage->p_c331_drv->initialize();
    }
    return p_c331_manage;
}

int c331_manage::initialize()
{
    c331_fd = p_c331_drv->initialize();
    VYX_DEBUG("\n c331_fd = %02x \n", c331_fd);
    unsigned id = p_c331_drv->read_C331(c331_fd, 0xB20801, 0);
    VYX_DEBUG("\n c331_id = %02x \n", id);
    if (m_worker.start(c331manageThread, this, "scaler") != 0) {
        VYX_DEBUG("create manage thread failed\n");
        writeLogMsg(LOG_ERROR, "create check source thread failed");
        return 255;
    }
    return 0;
}

void* c331_manage::c331manageThread(void* arg)
{
    if (!arg)
        return nullptr;
    c331_manage* self = static_cast<c331_manage*>(arg);
    while (!self->m_worker.stopRequested()) {
        self->runTurn();
        // A request raised during the turn has rung already: no sleep.
        doorbell().wait(self->setup_stage < 8 ? kBringUpPause : kUpkeepPause);
    }
    return nullptr;
}

platform::Wakeup& c331_manage::doorbell()
{
    static platform::Wakeup bell;
    return bell;
}

void c331_manage::wake() { doorbell().wake(); }

void c331_manage::raise_request(uint8_t code)
{
    if (para_changed < code)
        para_changed = code;
    doorbell().wake();
}

void c331_manage::destroyForTest()
{
    c331_manage* m = p_c331_manage;
    if (!m)
        return;
    doorbell().stop();
    m->m_worker.stopAndJoin();
    doorbell().reset();
    if (m->c331_fd >= 0)
        platform::spi().close(m->c331_fd);
    p_c331_manage = nullptr;
    delete m;
    op_hook = nullptr;
    for (int& n : nren_old)
        n = -1;
    g_force_bkcolor = 0;
    g_fpga_c331_start = 0;
    g_osd_update = 0;
    g_c331_source_online = 0;
    for (auto& f : edid_ram_table_from)
        f = 0;
}

void c331_manage::traceOp(const char* fmt, ...)
{
    if (!op_hook)
        return;
    char text[160];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    op_hook(text);
}

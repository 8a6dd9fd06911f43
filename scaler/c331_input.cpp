// Input ports (timing records, measurement, V-by-One receivers, source
// switch, backgrounds), input crops, input channels with dot-by-dot capture,
// and the noise-reduction, deinterlacing and filter programming.
#include "scaler/c331_manage.h"

#include <cstdio>

#include "core/globals.h"
#include "video_io/zevlosource.h"

int c331_manage::vyxApi_GetPortDevId(int port)
{
    switch (port) {
    case 1: return 1;
    case 2: return 0;
    case 5: return 3;
    case 3:
    case 4: return 255; // not wired
    default: return 2;
    }
}

int c331_manage::vyxApi_IsWinValid(int w) { return w <= 5; }

int c331_manage::vyxApi_IsPatternGen() { return pattern_active != 0; }

int c331_manage::vyxApi_GetWinDbdMultiPort(int w, int* ports6)
{
    int ports[6] = {6, 6, 6, 6, 6, 6};
    int n = 0;
    static const int kIn12[] = {0, 1}, kIn34[] = {2, 3}, kIn123[] = {0, 1, 2}, kIn1234[] = {0, 1, 2, 3},
                     kVbo[] = {5, 4};
    const int* list = nullptr;
    switch (w >= 0 && w < kWindows ? PM_WIN_DBD_MODE[w] : 0) {
    case DBD_CMOS_IN12: case DBD_CMOS_IN12V: list = kIn12; n = 2; break;
    case DBD_CMOS_IN34: case DBD_CMOS_IN34V: list = kIn34; n = 2; break;
    case DBD_CMOS_IN123: list = kIn123; n = 3; break;
    case DBD_CMOS_IN1234: case DBD_CMOS_IN1234Q: list = kIn1234; n = 4; break;
    case DBD_VBO_IN12: case DBD_VBO_IN12V: list = kVbo; n = 2; break;
    default: break;
    }
    for (int i = 0; i < n; ++i)
        ports[i] = list[i];
    if (ports6)
        for (int i = 0; i < 6; ++i)
            ports6[i] = ports[i];
    return list ? 1 : 0;
}

void c331_manage::load_hdmi()
{
    zevlosource* sources = zevlosource::p_zevlo_source;
    if (!sources)
        return;
    for (int p = 0; p < kPorts; ++p) {
        const int dev = vyxApi_GetPortDevId(p);
        if (dev == 255)
            continue;
        // The whole record in one copy under the receivers' lock: never a
        // record half rewritten by the input-source thread.
        const HDMI_INFO rec = sources->get_hdminfo(dev);
        if (!rec.stable)
            continue;
        ST_HDMI_INFO& mine = PI_HDMI_INFO[p];
        bool changed = false;
        auto field = [&](int32_t& dst, uint32_t src, const char* name) {
            if (dst == int32_t(src))
                return;
            VYX_DEBUG("\n [load_hdmi]%s=%d,%d,chaned! \n", name, dst, int32_t(src));
            dst = int32_t(src);
            changed = true;
        };
        field(mine.Hact, rec.Hact, "Hact");
        field(mine.Hsync, rec.Hsync, "Hsync");
        field(mine.Hback, rec.Hback, "Hback");
        field(mine.Hpol, rec.Hpol, "Hpol");
        field(mine.Htotal, rec.Htotal, "Htotal");
        field(mine.Vact, rec.Vact, "Vact");
        field(mine.Vsync, rec.Vsync, "Vsync");
        field(mine.Vback, rec.Vback, "Vback");
        field(mine.Vpol, rec.Vpol, "Vpol");
        field(mine.Vtotal, rec.Vtotal, "Vtotal");
        if (mine.pfreq != rec.pfreq) {
            VYX_DEBUG("\n [load_hdmi]pfreq=%f,%f,chaned! \n", double(mine.pfreq), double(rec.pfreq));
            mine.pfreq = rec.pfreq;
            changed = true;
        }
        field(mine.type, rec.type, "type");
        field(mine.lane, rec.lane, "lane");
        field(mine.ip, rec.ip, "ip");
        field(mine.datamode, rec.datamode, "datamode");
        field(mine.nosignal, rec.nosignal, "nosignal");
        if (!changed)
            continue;
        std::printf("[load_hdmi] chg_input[PI_HDMI_INFO], port:%d, dev_id:%d\n", p, dev);
        for (int w = 0; w < kWindows; ++w) {
            int ports[6];
            if (vyxApi_GetWinDbdMultiPort(w, ports)) {
                bool uses = false;
                for (int port : ports)
                    uses |= port == p;
                if (uses) {
                    g_chg_input[w] = 1;
                    std::printf("\n[load_hdmi] g_chg_input[%d] = 1 for dbd:%d\n", w, PM_WIN_DBD_MODE[w]);
                    set_ichsel(c331_fd, w);
                }
            } else if (PM_INPUT[w] == p) {
                g_chg_input[w] = 1;
                std::printf("\n[load_hdmi] g_chg_input[%d] = 1\n", w);
            }
        }
    }
}

// ---- to be built: input ports ----

void c331_manage::check_input_port(int fd) {}

void c331_manage::check_port_valid(int fd) {}

void c331_manage::c331_SetInputsource(int w, int src) {}

void c331_manage::set_input_bkg(int fd, int port, int on) {}

void c331_manage::set_input_bkg2(int fd, int w, int on) {}

void c331_manage::set_pict(int fd, int ddr, int port) {}

void c331_manage::set_sypol(int fd, int vbo, int n) {}

void c331_manage::set_VBOInput(int fd, int q) {}

void c331_manage::set_VBORXfrange(int fd, int q, int toggle, float clk) {}

void c331_manage::wait1_pivs(int fd, int ich) {}

void c331_manage::wait1_pivs2(int fd) {}

int c331_manage::wait_ifld_change(int fd, int port) { return 0; }

int c331_manage::wait_ofld_change(int fd, int och) { return 0; }

// ---- to be built: input crops ----

void c331_manage::c331_SetInputsourceCrop(int w, int word) {}

void c331_manage::c331_SetCrop(char w, char enable, ST_RECT* rect) {}

int c331_manage::vyxApi_CropGetOffset(int port, ST_RECT* rect, int side) { return 0; }

void c331_manage::vyxApi_updateCrop(int port) {}

// vyxApi_OchGetWinOffset1 is built with the channel allocation (c331_window.cpp).

// ---- to be built: input channels and dot-by-dot capture ----

int c331_manage::set_input(int w, int port) { return 0; }

int c331_manage::check_ich_all(int w) { return 0; }

int c331_manage::check_ich(int ip, int dual) { return -1; }

int c331_manage::adjust_ich(int ip, int dual, int w) { return -1; }

void c331_manage::reset_ich(int w) {}

void c331_manage::set_ichsel(int fd, int w) {}

void c331_manage::set_idual(int fd, int ich, int on, int port) {}

void c331_manage::set_display_window_ich_dbd(int fd, int w, int mode) {}

int c331_manage::set_dbd_mem(int fd, int w) { return -1; }

void c331_manage::reset_dbd_mem(int w) {}

int c331_manage::check_dbd_input(int fd, int port) { return 0; }

// ---- to be built: noise reduction, deinterlacing, filter tables ----

void c331_manage::set_ip(int fd, int ch) {}

void c331_manage::set_nr(int fd, int ch, int port) {}

void c331_manage::set_nr_block(int fd, int ch, int port) {}

void c331_manage::set_nr_b_1080i(int fd, int ch, int port) {}

void c331_manage::set_nr_b_1080p(int fd, int ch, int port) {}

void c331_manage::set_nr_b_480i(int fd, int ch, int port) {}

void c331_manage::set_nr_b_480p(int fd, int ch, int port) {}

void c331_manage::set_nr_b_720p(int fd, int ch, int port) {}

void c331_manage::set_nr_tpx(int fd, int ch, int port) {}

void c331_manage::set_nr_hvpx(int fd, int ch, int port) {}

void c331_manage::set_nr_mosq(int fd, int ch, int port) {}

void c331_manage::set_diag(int fd, int ch, int port) {}

void c331_manage::set_comb(int fd, int ch, int port) {}

void c331_manage::set_mvflt(int fd, int ch, int port) {}

void c331_manage::set_ipregs(int fd, int ch, int port) {}

void c331_manage::set_mct(int fd, int w, int flag) {}

void c331_manage::set_iscwct(int fd, int w) {}

void c331_manage::set_lut_hshrnk(int fd, int ratio, int ch, int pair) {}

void c331_manage::set_lut_vshrnk_4sym(int fd, int ratio, int ch, int pair) {}

void c331_manage::set_lut_vzoom_4sym(int fd, int ratio, int och) {}

void c331_manage::set_lut_vshrnk(int fd, int ratio, int n) {}

void c331_manage::set_lut_hzoom(int fd, int ratio, int och) {}

// Window output: the relayout every window change ends in, the window
// setters, layer mixers, fade and freeze.
#include "scaler/c331_manage.h"

void c331_manage::vyxApi_forceColorDisable(int fd)
{
    g_force_bkcolor = 2;
    for (int k = 0; k < kOutChannels; ++k)
        p_c331_drv->write_C331(fd, 0x084903, 0, 16 * k);
    // A window whose input has no signal shows its background instead.
    for (int w = 0; w < mwin.n && w < kWindows; ++w) {
        const int port = PM_INPUT[w];
        const bool noSignal = port < 0 || port >= kPorts || PI_PORT_INFO[port].nosig == 1;
        const ST_WIN_INFO& info = pwinfo[w];
        for (int j = 0; j < info.hcnt * info.vcnt && j < 8; ++j)
            if (info.och[j] < kOutChannels)
                p_c331_drv->write_C331(fd, 0x084801, noSignal ? 1 : 0, 16 * info.och[j]);
    }
}

// ---- to be built: relayout and window setters ----

void c331_manage::set_output(int fd) {}

void c331_manage::c331_SetWinOutput(int fd, char w, int data) {}

void c331_manage::c331_SetWinDbdMode(int fd, char w, int mode) {}

void c331_manage::c331_SetWinAttr(char w, int data) {}

void c331_manage::c331_SetWinPriority(int w, int pri) {}

void c331_manage::c331_SetWinPriority1(int fd) {}

void c331_manage::win_freeze_sel(int fd, int w, int data) {}

void c331_manage::set_freeze(int fd, int on) {}

void c331_manage::set_layer_coef(int fd, int w, int cnt, int dir) {}

void c331_manage::reset_layer_coef(int fd, int mode) {}

void c331_manage::update_overlay_info() {}

void c331_manage::set_overlay(int fd) {}

void c331_manage::reset_act(int fd, int mode) {}

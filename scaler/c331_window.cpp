// Window load and channel allocation: the image records become up to six
// windows on the output-channel grid; window geometry and scaling.
#include "scaler/c331_manage.h"

int c331_manage::vyxApi_inputCvtC331(int port)
{
    // Sources 0, 1, 2, 3 enter chip ports 2, 1, 0, 5.
    switch (port) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 0;
    case 3: return 5;
    default: return 255;
    }
}

// ---- to be built: window load and channel allocation ----

int c331_manage::vyxApi_initEnvC331() { return 0; }

int c331_manage::vyxApi_initEnvC331Default() { return 0; }

int c331_manage::vyxApi_MultiWinInit() { return 0; }

int c331_manage::vyxApi_MultiWinGet(ST_MWIN* out) { return 0; }

int c331_manage::vyxApi_PreviewCh() { return 0; }

int c331_manage::vyxApi_MultiWinChAlloc(char init) { return 0; }

int c331_manage::vyxApi_MultiWinChOverlay() { return 0; }

int c331_manage::vyxApi_MultiWinChInit() { return 0; }

// ---- to be built: window geometry and scaling ----

void c331_manage::calc_iwin2(int w) {}

void c331_manage::calc_owin2(int w) {}

void c331_manage::calc_oact(_ImageWindowDef_st owin, _ImageWindowDef2_St* out, int w) {}

void c331_manage::calc_scaling(_ImageWindowDef_st in, _ImageWindowDef_st out, _ScalingSt* s) {}

void c331_manage::set_display_window_ich(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w) {}

void c331_manage::set_display_window_och(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w) {}

void c331_manage::get_och(int w, int out[8]) {}

void c331_manage::set_oscwct(int fd, int k) {}

void c331_manage::wait1_povs(int fd, int k) {}

int c331_manage::check_stitching_win(int* w, int* partner) { return 0; }

void c331_manage::check_stitching_chg() {}

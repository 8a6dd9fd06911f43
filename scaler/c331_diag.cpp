// Diagnostics for service engineers: register and parameter dumps, test
// bars, V-by-One receiver sequences, probe reads and device tests.
#include "scaler/c331_manage.h"

// ---- to be built ----

void c331_manage::c331_print() {}

int c331_manage::vyxDbg_c331_param() { return 0; }

int c331_manage::vyxDbg_c331_param(int n) { return 0; }

int c331_manage::vyxDbg_c331_print_regGrp(int grp) { return 0; }

int c331_manage::input_slidebar(int fd) { return 0; }

int c331_manage::output_slidebar(int fd) { return 0; }

int c331_manage::disable_slidebar(int fd) { return 0; }

int c331_manage::vbyone_rx_ch1_seq(int fd) { return 0; }

int c331_manage::vbyone_rx_ch2_seq(int fd) { return 0; }

int c331_manage::read_c331_b174bug(int fd) { return 0; }

int c331_manage::write_read_c331_b80_iacthstch5(int fd) { return 0; }

int c331_manage::sync_c331_device_test_input(int fd) { return 0; }

int c331_manage::sync_c331_device_test_frame_lock(int fd) { return 0; }

int c331_manage::sync_c331_device_test_frame_lock_vbyrx2(int fd) { return 0; }

int c331_manage::sync_c331_device_test_frame_lock_vbyrx3(int fd) { return 0; }

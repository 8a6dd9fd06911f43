// OSD: the chip's serial flash (erase, program, read, DMA into chip memory),
// the OSD fonts kept in it, and the OSD layer drawn over the outputs.
//
// The PC thread, the FPGA worker's upgrade and the manager thread all use
// the one flash controller: every flash operation holds flash_mutex for its
// whole length (after para_mutex, before the chip's bank and SPI locks).
#include "scaler/c331_manage.h"

using FlashLock = std::lock_guard<std::recursive_mutex>;

// ---- to be built: flash ----

int c331_manage::erase_flash(int fd, int startUnit, int count, int mode)
{
    FlashLock lock(flash_mutex);
    return 0;
}

int c331_manage::write_flash(int fd, int addr, int len, unsigned char* buf)
{
    FlashLock lock(flash_mutex);
    return 0;
}

int c331_manage::read_flash(int fd, int addr, int len, unsigned char* buf)
{
    FlashLock lock(flash_mutex);
    return 0;
}

int c331_manage::osd_write_dma_sfl(int fd, int flashAddr, int dest, int target, int len)
{
    FlashLock lock(flash_mutex);
    return 0;
}

// ---- to be built: fonts ----

void c331_manage::load_char() {}

void c331_manage::load_bmp() {}

void c331_manage::read_c331_font(int fd)
{
    FlashLock lock(flash_mutex);
}

void c331_manage::update_font(int fd)
{
    FlashLock lock(flash_mutex);
}

// ---- to be built: OSD ----

int c331_manage::vyxApi_OsdSet(int type, int value) { return 0; }

int c331_manage::vyxApi_OsdSetUnicode(int lineCount, int* lengths, unsigned int lines[][128]) { return 0; }

void c331_manage::update_osd(int fd) {}

void c331_manage::set_osd(int fd, int on) {}

void c331_manage::set_scroll(int fd) {}

void c331_manage::calc_osd() {}

void c331_manage::set_char_color(int fd) {}

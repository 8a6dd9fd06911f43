// Firmware upgrades from a USB stick, run by the worker instead of its
// normal turn while g_usb_grade is set.
#include "fpga/fpga_manage.h"

void fpga_manage::usb_upgrade_manage_deal(void*) { usb_upgrade_deal(); }

void fpga_manage::usb_upgrade_deal() {}

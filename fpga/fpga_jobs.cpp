// The jobs the receiving-card screens post in g_send_para, one step per
// worker turn.
#include "fpga/fpga_manage.h"

void fpga_manage::SmartMapping_deal() {}

void fpga_manage::save_para_deal() {}

void fpga_manage::mapping_enable_deal() {}

void fpga_manage::rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY) {}

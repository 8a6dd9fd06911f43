// Frames to and from the receiving cards behind the output ports.
#include "fpga/fpga_manage.h"

#include <cstdio>

#include "core/globals.h"

int fpga_manage::Dealwith1_PC_to_eth(int length, unsigned char* frame)
{
    uint8_t transport = g_passby_trans_port;
    VYX_DEBUG("PC frame for the cards: %d bytes, transport %u\n", length, unsigned(transport));
    std::fflush(stdout);
    if (pc_frame_hook)
        pc_frame_hook(frame, length, transport);
    return 1;
}

void fpga_manage::reg_IRQ_Dealwith(uint8_t, uint8_t) {}

uint8_t fpga_manage::check_vbo_status(uint8_t) { return 0; }

void fpga_manage::Search_Card_Cmd() {}

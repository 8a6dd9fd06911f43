#include "fpga/fpga_manage.h"

#include <cstdio>

#include "core/globals.h"

fpga_manage* fpga_manage::p_fpga_manage = nullptr;
std::atomic<uint8_t> g_set_led_para{0};
std::atomic<uint8_t> g_set_led_setup{0};
std::function<void(const unsigned char*, int, uint8_t)> fpga_manage::pc_frame_hook;

fpga_manage::fpga_manage()
{
    pthread_mutex_init(&reg_mutex, nullptr);
    pthread_mutex_init(&rcv_mutex, nullptr);
}

fpga_manage* fpga_manage::pInstance()
{
    if (!p_fpga_manage)
        p_fpga_manage = new fpga_manage();
    return p_fpga_manage;
}

int fpga_manage::initialize_start() { return 0; }

int fpga_manage::get_fpga_status() { return 0; }

int fpga_manage::read_from_register(int, int) { return 0; }

int fpga_manage::write_to_register(int, uint8_t, uint8_t, int) { return 0; }

int fpga_manage::Dealwith1_PC_to_eth(int length, unsigned char* frame)
{
    uint8_t transport = g_passby_trans_port;
    VYX_DEBUG("PC frame for the cards: %d bytes, transport %u\n", length, unsigned(transport));
    std::fflush(stdout);
    if (pc_frame_hook)
        pc_frame_hook(frame, length, transport);
    return 1;
}

int fpga_manage::reg_IRQ_Dealwith(int, int) { return 0; }

void fpga_manage::destroyForTest()
{
    delete p_fpga_manage;
    p_fpga_manage = nullptr;
    pc_frame_hook = nullptr;
}

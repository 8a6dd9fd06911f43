#include "fpga/fpga_manage.h"

fpga_manage* fpga_manage::p_fpga_manage = nullptr;

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

int fpga_manage::Dealwith1_PC_to_eth(int, unsigned char*) { return 1; }

int fpga_manage::reg_IRQ_Dealwith(int, int) { return 0; }

void fpga_manage::destroyForTest()
{
    delete p_fpga_manage;
    p_fpga_manage = nullptr;
}

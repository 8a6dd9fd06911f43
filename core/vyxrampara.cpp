#include "core/vyxrampara.h"
#include "core/utils.h"

#include <cstring>

VyxRamPara* VyxRamPara::p_vyxrampara_config = nullptr;

VyxRamPara::VyxRamPara()
    : QObject(nullptr)
{
    std::memset(ram_para, 0, sizeof ram_para);
    std::memset(ram_para_bak, 0, sizeof ram_para_bak);
    std::memset(user_mode, 0, sizeof user_mode);
    std::memset(local_reg, 0, sizeof local_reg);
    pthread_mutex_init(&store_mutex, nullptr);
}

VyxRamPara* VyxRamPara::pInstance()
{
    if (!p_vyxrampara_config)
        p_vyxrampara_config = new VyxRamPara();
    return p_vyxrampara_config;
}

int VyxRamPara::test_signal(int code)
{
    QMutexLocker lock(&Utils::_test_signal_mutex);
    emit sig_update_para(code);
    return 1;
}

void VyxRamPara::destroyForTest()
{
    delete p_vyxrampara_config;
    p_vyxrampara_config = nullptr;
}

unsigned int VyxRamPara::VyxRamParaDeal(unsigned char* data, unsigned short length, unsigned int address)
{
    if (address + length > unsigned(kImageSize))
        return 1;
    std::memcpy(ram_para + address, data, length);
    return 0;
}

unsigned int VyxRamPara::VyxModeUserRamParaDeal(unsigned char* data, unsigned short length, unsigned int address)
{
    unsigned int slot = (address >> 12) & 0xFF;
    if (slot < 1 || slot > unsigned(kModeSlots))
        return 1;
    unsigned int offset = address & 0xFFF;
    // A write stays inside the slot's first 4096 bytes.
    if (offset + length > 4096u)
        return 1;
    std::memcpy(user_mode[slot - 1] + offset, data, length);
    return 0;
}

#include "remote/message_deal.h"
#include "core/change_codes.h"

#include <cstring>
#include <mutex>

#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "remote/file_transfer.h"
#include "remote/protocol_phy.h"
#include "scaler/c331_manage.h"
#include "video_io/zevlosource.h"

namespace {
constexpr int kAt = protocol_phy::kDataAt; // first data byte of request and reply

uint8_t merge(uint8_t old, uint8_t mask, uint8_t value) { return uint8_t((old & ~mask) | (value & mask)); }

// Commands that arrive on different links run one at a time: two PCs that
// write the image or the registers at once never interleave their bytes.
std::mutex g_commandMutex;

// One atomic read-modify-write: the input-source thread clears request bits
// of r0 and r32 atomically at any moment, and neither side may lose the
// other's bits.
void mergeRegister(uint8_t* reg, uint8_t mask, uint8_t value)
{
    uint8_t old = __atomic_load_n(reg, __ATOMIC_RELAXED);
    while (!__atomic_compare_exchange_n(reg, &old, merge(old, mask, value), true, __ATOMIC_ACQ_REL,
                                        __ATOMIC_RELAXED)) {
    }
}
// True when a request's data is longer than its own fields say, or lies
// between the two forms of a command that has an optional part: such a
// request is malformed. Fields too short to be read are left to the
// command, which refuses them as malformed too. 0xBB (its EDID table) and
// 0xC5 (its settings record) check their own length.
bool extraBytes(uint8_t command, const uint8_t* data, int n)
{
    auto counted = [&](int fixed, int lengthAt, int lengthBytes) {
        if (n < fixed)
            return false;
        const int length = lengthBytes == 2 ? le16(data + lengthAt) : data[lengthAt];
        return n > fixed + length;
    };
    switch (command) {
    case message_deal::CMD_WRITE_RAM: return counted(8, 4, 2);
    case message_deal::CMD_READ_RAM: return n > 8;
    case message_deal::CMD_WRITE_REGISTER:
    case message_deal::CMD_READ_REGISTER: return n > 5;
    case message_deal::CMD_WRITE_FILE_START: return n > 9;
    case message_deal::CMD_WRITE_FILE_BLOCK: return counted(6, 4, 2);
    case message_deal::CMD_WRITE_FILE_END: return n > 16;
    case message_deal::CMD_WRITE_DEFINED_FILE_START: return counted(10, 9, 1);
    case message_deal::CMD_READ_FILE_START: return n > 5 && n != 9; // the length limit is optional
    case message_deal::CMD_READ_FILE_BLOCK: return n > 6;
    case message_deal::CMD_READ_DEFINED_FILE_START:
    case message_deal::CMD_DELETE_FILE_NAME: return counted(6, 5, 1);
    case message_deal::CMD_YP_SEND_FILE: return counted(7, 5, 2);
    case message_deal::CMD_YP_SEND_FILE_END: return n > 17;
    case message_deal::CMD_NET_IP_SET: return n > 14 && n != 20; // the MAC address is optional
    case message_deal::CMD_INIT_MAC_ADDRESS: return n > 6;
    case message_deal::CMD_NET_ETH_SEARCH: return counted(1, 0, 1); // the text is optional
    case message_deal::CMD_SET_BARCODE: return counted(1, 0, 1);
    case message_deal::CMD_SET_LCD_LANG_SUPPORT: return n > 5;
    case message_deal::CMD_PARAM_SAVE: return n > 1;
    case message_deal::CMD_ERASE_FLASH: return n > 7;
    case message_deal::CMD_WRITE_FLASH: return counted(6, 4, 2);
    case message_deal::CMD_READ_FLASH: return n > 6;
    case message_deal::CMD_GET_DEVICE_INFO:
    case message_deal::CMD_READ_FILE_END:
    case message_deal::CMD_SET_PARA_SYNC:
    case message_deal::CMD_REG_MCU_FLAG:
    case message_deal::CMD_REG_UPDATE_10:
    case message_deal::CMD_REG_UPDATE_0E:
    case message_deal::CMD_GET_CARD_VERSION: return n > 0;
    default: return false;
    }
}
} // namespace

message_deal::~message_deal() { file_transfer::abandon(this); }

int message_deal::status(uint8_t* body, uint8_t code)
{
    body[kAt] = code;
    return kAt + 1;
}

int message_deal::message_group_deal(uint8_t* body, int length, int capacity)
{
    // Room for every reply of fixed size (the status, at most 20 bytes of
    // fields, the checksum); longer replies check their own length.
    if (length < protocol_phy::kMinBody || capacity < kMinCapacity)
        return 0;
    int dataLength = length - 1 - kAt;
    // Bytes a request's fields do not account for mean the PC and the
    // controller read the layout differently: nothing is done.
    if (extraBytes(body[protocol_phy::kCommandAt], body + kAt, dataLength))
        return status(body, STATUS_MALFORMED);
    std::lock_guard<std::mutex> lock(g_commandMutex);
    switch (body[protocol_phy::kCommandAt]) {
    case CMD_WRITE_RAM: return write_ram(body, dataLength, capacity);
    case CMD_READ_RAM: return read_ram(body, dataLength, capacity);
    case CMD_WRITE_REGISTER: return write_register(body, dataLength, capacity);
    case CMD_READ_REGISTER: return read_register(body, dataLength, capacity);
    case CMD_GET_DEVICE_INFO: return get_device_info(body, dataLength, capacity);
    case CMD_WRITE_FILE_START: return write_file_start(body, dataLength, capacity);
    case CMD_WRITE_FILE_BLOCK: return write_file_block(body, dataLength, capacity);
    case CMD_WRITE_FILE_END: return write_file_end(body, dataLength, capacity);
    case CMD_WRITE_DEFINED_FILE_START: return write_defined_file_start(body, dataLength, capacity);
    case CMD_READ_FILE_START: return read_file_start(body, dataLength, capacity);
    case CMD_READ_FILE_BLOCK: return read_file_block(body, dataLength, capacity);
    case CMD_READ_FILE_END: return read_file_end(body, dataLength, capacity);
    case CMD_READ_DEFINED_FILE_START: return read_defined_file_start(body, dataLength, capacity);
    case CMD_DELETE_FILE_NAME: return delete_file_name(body, dataLength, capacity);
    case CMD_YP_SEND_FILE: return YP_SendFile(body, dataLength, capacity);
    case CMD_YP_SEND_FILE_END: return YP_SendFileEND(body, dataLength, capacity);
    case CMD_WRITE_EDID_TABLE: return write_edid_table(body, dataLength, capacity);
    case CMD_NET_IP_SET: return net_ip_set(body, dataLength, capacity);
    case CMD_INIT_MAC_ADDRESS: return init_MAC_address(body, dataLength, capacity);
    case CMD_NET_ETH_SEARCH: return net_eth_search(body, dataLength, capacity);
    case CMD_SET_BARCODE: return set_barcode(body, dataLength, capacity);
    case CMD_PROJECT_SET_SETPROPERTY: return project_set_setproperty(body, dataLength, capacity);
    case CMD_SET_LCD_LANG_SUPPORT: return set_lcd_lang_support(body, dataLength, capacity);
    case CMD_PARAM_SAVE: return param_save(body, dataLength, capacity);
    case CMD_SET_PARA_SYNC: return set_para_sync(body, dataLength, capacity);
    case CMD_REG_MCU_FLAG: return REG_mcu_flag(body, dataLength, capacity);
    case CMD_REG_UPDATE_10: return RegUpdate10(body, dataLength, capacity);
    case CMD_REG_UPDATE_0E: return RegUpdate0E(body, dataLength, capacity);
    case CMD_ERASE_FLASH: return cmd_erase_flash(body, dataLength, capacity);
    case CMD_WRITE_FLASH: return cmd_write_flash(body, dataLength, capacity);
    case CMD_READ_FLASH: return cmd_read_flash(body, dataLength, capacity);
    case CMD_GET_CARD_VERSION: return get_card_version(body, dataLength, capacity);
    default: return status(body, STATUS_UNKNOWN);
    }
}

// 10-13 address (bits 24..31: the target), 14-15 length n, 16 address class,
// 17 sub-id, 18.. data.
int message_deal::write_ram(uint8_t* body, int dataLength, int)
{
    if (dataLength < 8)
        return status(body, STATUS_MALFORMED);
    uint32_t address = le32(body + kAt);
    uint16_t n = le16(body + kAt + 4);
    uint8_t addressClass = body[kAt + 6];
    if (dataLength < 8 + n)
        return status(body, STATUS_MALFORMED);
    const uint8_t target = uint8_t(address >> kRamTargetShift);
    if (target != kTargetController || addressClass != 0)
        return status(body, uint8_t(fpga_ram_write(target, addressClass, body[kAt + 7], address & 0xFFFFFF,
                                                   body + kAt + 8, n)));
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store)
        return status(body, STATUS_REFUSED);
    unsigned int result = 1;
    if (address < kModeBase)
        result = store->VyxRamParaDeal(body + kAt + 8, n, address);
    else if (address < kModeEnd)
        result = store->VyxModeUserRamParaDeal(body + kAt + 8, n, address);
    return status(body, result == 0 ? STATUS_DONE : STATUS_REFUSED);
}

// Same layout without data; the reply is the status and n bytes.
int message_deal::read_ram(uint8_t* body, int dataLength, int capacity)
{
    if (dataLength < 8)
        return status(body, STATUS_MALFORMED);
    uint32_t address = le32(body + kAt);
    uint16_t n = le16(body + kAt + 4);
    uint8_t addressClass = body[kAt + 6];
    if (kAt + 1 + n + 1 > capacity)
        return status(body, STATUS_REFUSED);
    const uint8_t target = uint8_t(address >> kRamTargetShift);
    if (target != kTargetController || addressClass != 0) {
        int code = fpga_ram_read(target, addressClass, body[kAt + 7], address & 0xFFFFFF, body + kAt + 1, n);
        return status(body, uint8_t(code)) + (code == STATUS_DONE ? n : 0);
    }
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store)
        return status(body, STATUS_REFUSED);
    // The same bounds as the store's write entries.
    const uint8_t* from = nullptr;
    if (address < kModeBase) {
        if (address + n <= unsigned(kImageSize))
            from = store->ram_para + address;
    } else if (address < kModeEnd) {
        uint32_t slot = (address >> 12) & 0xFF;
        uint32_t offset = address & 0xFFF;
        if (slot >= 1 && slot <= unsigned(kModeSlots) && offset + n <= 4096u)
            from = store->user_mode[slot - 1] + offset;
    }
    if (!from)
        return status(body, STATUS_REFUSED);
    copyShared(body + kAt + 1, from, n);
    return status(body, STATUS_DONE) + n;
}

// 10-11 register, 12 mask, 13 value, 14 target.
int message_deal::write_register(uint8_t* body, int dataLength, int)
{
    if (dataLength < 5)
        return status(body, STATUS_MALFORMED);
    int reg = le16(body + kAt);
    uint8_t mask = body[kAt + 2];
    uint8_t value = body[kAt + 3];
    uint8_t target = body[kAt + 4];
    if (target != kTargetController)
        return status(body, uint8_t(fpga_register_write(target, reg, mask, value)));
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store || reg >= kLocalRegCount)
        return status(body, STATUS_REFUSED);
    uint8_t* r = store->local_reg;
    uint8_t acting = value & mask;

    if (reg >= kRegDebugFirst && reg <= kRegDebugLast) {
        // The scaler's diagnostic registers; its thread runs them on the
        // next pass.
        static const int mapped[] = {34, 35, 36, 33};
        int to = mapped[reg - kRegDebugFirst];
        uint8_t v = (reg == 163) ? uint8_t(value + 1) : value;
        mergeRegister(r + to, mask, v);
        return status(body, raiseScalerRequest(1) ? STATUS_DONE : STATUS_REFUSED);
    }

    mergeRegister(r + reg, mask, value);
    // Hot-plug and command requests for the input-source thread.
    if (reg == kRegHotplug || reg == kRegSourceCommand)
        zevlosource::wake();
    if (reg == kRegApply && acting)
        return status(body, raiseScalerRequest(2) ? STATUS_DONE : STATUS_REFUSED);
    if (reg == kRegPrint && (acting & 0x02)) {
        if (c331_manage::p_c331_manage)
            c331_manage::p_c331_manage->c331_print();
    }
    if (reg == kRegNetReset && acting) {
        // Nothing to do when the defaults are already in place.
        if (g_str_ip != QLatin1String("192.168.0.199"))
            store->test_signal(kChangeNetworkReset);
    }
    return status(body, STATUS_DONE);
}

// 10-11 first register, 12 count n, 14 target; the reply is the status and
// n values (an FPGA's from its register shadow).
int message_deal::read_register(uint8_t* body, int dataLength, int capacity)
{
    if (dataLength < 5)
        return status(body, STATUS_MALFORMED);
    int first = le16(body + kAt);
    int n = body[kAt + 2];
    uint8_t target = body[kAt + 4];
    if (kAt + 1 + n + 1 > capacity)
        return status(body, STATUS_REFUSED);
    if (target != kTargetController) {
        int code = fpga_register_read(target, first, n, body + kAt + 1);
        return status(body, uint8_t(code)) + (code == STATUS_DONE ? n : 0);
    }
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store || first + n > kLocalRegCount)
        return status(body, STATUS_REFUSED);
    for (int i = 0; i < n; ++i)
        body[kAt + 1 + i] = __atomic_load_n(store->local_reg + first + i, __ATOMIC_RELAXED);
    return status(body, STATUS_DONE) + n;
}

int message_deal::get_device_info(uint8_t* body, int, int capacity)
{
    if (kAt + 1 + int(sizeof g_pid) + 1 > capacity)
        return status(body, STATUS_REFUSED);
    std::memcpy(body + kAt + 1, g_pid, sizeof g_pid);
    return status(body, STATUS_DONE) + int(sizeof g_pid);
}

bool message_deal::raiseScalerRequest(uint8_t value)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (!scaler)
        return false;
    pthread_mutex_lock(&scaler->para_mutex);
    scaler->raise_request(value);
    pthread_mutex_unlock(&scaler->para_mutex);
    return true;
}

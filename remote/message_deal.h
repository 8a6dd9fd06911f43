#pragma once
// Commands of PC-control frames addressed to the controller itself
// (destination 0xF100 or 0xF101). docs/pc-protocol.md lists them.

#include <QByteArray>
#include <cstdint>

class message_deal {
public:
    enum Command : uint8_t {
        CMD_WRITE_RAM = 0x60,
        CMD_READ_RAM = 0x61,
        CMD_WRITE_REGISTER = 0xA0,
        CMD_READ_REGISTER = 0xA1,
        CMD_WRITE_FILE_START = 0xB0,
        CMD_WRITE_FILE_BLOCK = 0xB1,
        CMD_WRITE_FILE_END = 0xB2,
        CMD_WRITE_DEFINED_FILE_START = 0xB3,
        CMD_READ_FILE_START = 0xB4,
        CMD_READ_FILE_BLOCK = 0xB5,
        CMD_READ_FILE_END = 0xB6,
        CMD_READ_DEFINED_FILE_START = 0xB7,
        CMD_DELETE_FILE_NAME = 0xB8,
        CMD_YP_SEND_FILE = 0xB9,
        CMD_YP_SEND_FILE_END = 0xBA,
        CMD_WRITE_EDID_TABLE = 0xBB,
        CMD_GET_DEVICE_INFO = 0xC0,
        CMD_NET_IP_SET = 0xC1,
        CMD_INIT_MAC_ADDRESS = 0xC2,
        CMD_NET_ETH_SEARCH = 0xC3,
        CMD_SET_BARCODE = 0xC4,
        CMD_PROJECT_SET_SETPROPERTY = 0xC5,
        CMD_SET_LCD_LANG_SUPPORT = 0xC6,
        CMD_PARAM_SAVE = 0xD0,
        CMD_SET_PARA_SYNC = 0xD1,
        CMD_REG_MCU_FLAG = 0xD2,
        CMD_REG_UPDATE_10 = 0xD3,
        CMD_REG_UPDATE_0E = 0xD4,
        CMD_ERASE_FLASH = 0xD5,
        CMD_WRITE_FLASH = 0xD6,
        CMD_READ_FLASH = 0xD7,
        CMD_GET_CARD_VERSION = 0xD8,
    };
    enum Status : uint8_t {
        STATUS_DONE = 0,
        STATUS_REFUSED = 1,   // out of range, an invalid value, or a target this controller does not serve
        STATUS_MALFORMED = 2, // the request is shorter than its command needs
        STATUS_SEQUENCE = 3,  // no transfer open for this PC, or a block not at the next offset
        STATUS_DIGEST = 4,    // the MD5 digest differs: nothing was stored
        STATUS_TOO_LARGE = 5, // beyond the size of the file type or the declared size
        STATUS_BUSY = 6,      // another transfer or firmware upgrade is running
        STATUS_STORAGE = 7,   // the file, flash or FPGA RAM could not be written or read (or read back equal)
        STATUS_NO_FILE = 8,   // the file asked for does not exist
        STATUS_NOT_READY = 9, // FPGA 0 is not running yet
        STATUS_UNKNOWN = 0xFF,
    };
    // Local registers the PC reaches (r0..r169) and the ones that act.
    static constexpr int kLocalRegCount = 170;
    static constexpr int kRegHotplug = 0;       // the input-source thread's hot-plug requests
    static constexpr int kRegApply = 11;        // raises the scaler's request (value 2)
    static constexpr int kRegSourceCommand = 32; // the input-source thread's commands
    static constexpr int kRegPrint = 161;       // bit 1: full scaler register dump
    static constexpr int kRegDebugFirst = 162;  // 162..165 -> r34, r35 (+1), r36, r33
    static constexpr int kRegDebugLast = 165;
    static constexpr int kRegNetReset = 166;    // network settings back to defaults
    // Address ranges of address class 0.
    static constexpr uint32_t kModeBase = 0x1000;
    static constexpr uint32_t kModeEnd = 0x11000;
    // Targets of the register commands (byte 14) and of the RAM commands
    // (address bits 24..31): the controller itself, or FPGA 0 or 1.
    static constexpr uint8_t kTargetController = 0;
    static constexpr uint8_t kTargetFpga0 = 1;
    static constexpr uint8_t kTargetFpga1 = 2;
    static constexpr int kRamTargetShift = 24;
    // Address class 0 of an FPGA: the parameter RAM below, the extension
    // image from here on.
    static constexpr uint32_t kExtensionBase = 0x800;
    // The scaler chip's serial flash, and the most bytes one flash command
    // moves.
    static constexpr uint32_t kScalerFlashSize = 32u << 20;
    static constexpr int kMaxFlashBlock = 16384;

    message_deal() = default;
    // A handler that goes away closes its open file transfer.
    ~message_deal();
    message_deal(const message_deal&) = delete;
    message_deal& operator=(const message_deal&) = delete;

    // On a link that several PCs share (UDP), the PC the next frame comes
    // from: a file transfer belongs to one PC.
    void set_peer(uint64_t peer) { m_peer = peer; }

    // Handles one decoded frame in place: `body` holds `length` bytes (the
    // checksum included) and has room for `capacity` (at least
    // kMinCapacity). The reply keeps bytes 0..9 of the request and puts its
    // data from byte 10. Returns the reply length without checksum, or 0
    // when there is nothing to answer.
    int message_group_deal(uint8_t* body, int length, int capacity);
    static constexpr int kMinCapacity = 10 + 1 + 20 + 1;

    int write_ram(uint8_t* body, int dataLength, int capacity);
    int read_ram(uint8_t* body, int dataLength, int capacity);
    int write_register(uint8_t* body, int dataLength, int capacity);
    int read_register(uint8_t* body, int dataLength, int capacity);
    int get_device_info(uint8_t* body, int dataLength, int capacity);

    // ---- files (message_deal_files.cpp) ----
    int write_file_start(uint8_t* body, int dataLength, int capacity);
    int write_defined_file_start(uint8_t* body, int dataLength, int capacity);
    int write_file_block(uint8_t* body, int dataLength, int capacity);
    int write_file_end(uint8_t* body, int dataLength, int capacity);
    int read_file_start(uint8_t* body, int dataLength, int capacity);
    int read_defined_file_start(uint8_t* body, int dataLength, int capacity);
    int read_file_block(uint8_t* body, int dataLength, int capacity);
    int read_file_end(uint8_t* body, int dataLength, int capacity);
    int delete_file_name(uint8_t* body, int dataLength, int capacity);
    int YP_SendFile(uint8_t* body, int dataLength, int capacity);
    int YP_SendFileEND(uint8_t* body, int dataLength, int capacity);

    // ---- settings (message_deal_settings.cpp) ----
    int write_edid_table(uint8_t* body, int dataLength, int capacity);
    int net_ip_set(uint8_t* body, int dataLength, int capacity);
    int init_MAC_address(uint8_t* body, int dataLength, int capacity);
    int net_eth_search(uint8_t* body, int dataLength, int capacity);
    int set_barcode(uint8_t* body, int dataLength, int capacity);
    int project_set_setproperty(uint8_t* body, int dataLength, int capacity);
    int set_lcd_lang_support(uint8_t* body, int dataLength, int capacity);

    // Applies and stores a barcode or a cloud settings record, as the
    // setters and the cloud settings files carry them; a status.
    static int apply_barcode(const QByteArray& text);
    static int apply_cloud_settings(const QByteArray& record);

    // ---- FPGAs and the scaler (message_deal_fpga.cpp) ----
    int param_save(uint8_t* body, int dataLength, int capacity);
    int set_para_sync(uint8_t* body, int dataLength, int capacity);
    int REG_mcu_flag(uint8_t* body, int dataLength, int capacity);
    int RegUpdate10(uint8_t* body, int dataLength, int capacity);
    int RegUpdate0E(uint8_t* body, int dataLength, int capacity);
    int cmd_erase_flash(uint8_t* body, int dataLength, int capacity);
    int cmd_write_flash(uint8_t* body, int dataLength, int capacity);
    int cmd_read_flash(uint8_t* body, int dataLength, int capacity);
    int get_card_version(uint8_t* body, int dataLength, int capacity);
    // Starts the LED-parameter handshake of the FPGA worker (the PC's
    // registers and the panel's LED-size and reset screens): STATUS_DONE,
    // or REFUSED without an FPGA manager, NOT_READY while FPGA 0 is not
    // ready, BUSY while an applied LED size waits for FPGA 0's restart.
    static int start_led_handshake();

    static int status(uint8_t* body, uint8_t code);

private:
    // False when there is no scaler manager to ask.
    static bool raiseScalerRequest(uint8_t value);
    int fileStart(uint8_t* body, int dataLength, bool writing, bool named);
    // The FPGA images of the RAM commands (address class, sub-id, address
    // without its target) and the FPGA registers; statuses.
    static int fpga_ram_write(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address,
                              const uint8_t* data, uint16_t length);
    static int fpga_ram_read(uint8_t target, uint8_t addressClass, uint8_t sub, uint32_t address, uint8_t* out,
                             uint16_t length);
    static int fpga_register_write(uint8_t target, int reg, uint8_t mask, uint8_t value);
    static int fpga_register_read(uint8_t target, int first, int count, uint8_t* out);

    uint64_t m_peer = 0;
};

#pragma once
// The SPI links to the two sending FPGAs and to their SPI-NOR configuration
// flashes. The FPGAs share one bus with the scaler chip; the SoC pads of
// fpga_pads.h route it. Register and RAM access is framed by fpga_manage;
// this class opens the devices, moves bytes and speaks the flash commands.

#include <atomic>
#include <cstdint>

class fpga_drv {
public:
    // Device index 0 ".1" FPGA 0 registers and RAMs, 1 ".2" FPGA 1's,
    // 2 ".3" FPGA 0's flash, 3 ".4" FPGA 1's flash.
    static constexpr int kDevices = 4;
    static constexpr uint8_t kMode = 3;
    static constexpr uint8_t kBits = 8;
    static constexpr uint32_t kSpeedHz = 10000000;

    static constexpr uint32_t kFlashSize = 0x800000;
    static constexpr uint32_t kReadChunk = 2048;
    static constexpr uint32_t kPage = 256;
    static constexpr uint32_t kSectorUnits = 2048; // 4 KB units in 8 MB
    // The spare bytes the page writer needs in front of the data.
    static constexpr uint32_t kWriteHead = 4;
    // Flash select value of FPGA 0's flash; any other value is FPGA 1's.
    static constexpr int kFlashSel0 = 2;

    fpga_drv();
    ~fpga_drv();
    fpga_drv(const fpga_drv&) = delete;
    fpga_drv& operator=(const fpga_drv&) = delete;

    // Opens device `index` and sets mode 3, 8 bits per word and 10 MHz,
    // reading each back. Returns the descriptor (also kept), or -1.
    int initialize_vbyne1(int index);
    int link_fd(int fpga) const { return fpga == 0 || fpga == 1 ? fd[fpga] : -1; }
    int flash_fd(int fpga) const { return fpga == 0 || fpga == 1 ? fd[2 + fpga] : -1; }

    // One message: full duplex, or transmit only. The request's result; a
    // result of 0 or less is reported.
    int SPI_Transfer(int fd, const uint8_t* tx, uint8_t* rx, int len);
    int SPI_Transfer_Write(int fd, const uint8_t* tx, int len);

    // Flash of FPGA 0 (sel 2) or FPGA 1 (any other sel). 1 done, 0 refused
    // (range, or a flash that stays busy). Each holds Utils::_spi_mutex for
    // the whole operation.
    int FPGA_SPI_FLASH_VBYONE_READ(int sel, uint32_t addr, uint32_t len, uint8_t* buf);
    // `buf` holds the data from its fifth byte on; the first four bytes, and
    // the four in front of each later page, are overwritten with the page
    // commands. Pass a scratch copy, never a live image (flash_write_copy
    // makes one).
    int FPGA_SPI_FLASH_VBYONE_WRITE(int sel, uint32_t addr, uint8_t* buf, uint32_t len);
    // Writes `len` bytes of `data` (left untouched) through a scratch copy.
    int flash_write_copy(int sel, uint32_t addr, const uint8_t* data, uint32_t len);
    // start in 4 KB units; mode 0 4 KB sectors, 1 32 KB blocks, 2 64 KB
    // blocks; count erases (0 erases nothing and is done).
    int FPGA_SPI_FLASH_VBYONE_ERASE(int sel, uint32_t start, int mode, uint32_t count);
    // 8 bytes of the flash's unique id.
    int FPGA_SPI_FLASH_SSTF016B_RD_UID(int sel, uint8_t* buf);
    // Polls the status until the flash is idle: 1, or 0 when it stays busy
    // longer than busy_limit_ms.
    int FPGA_SPI_WAIT_BUSY(int fd);

    // False (reported once) while the SoC window is not mapped: without its
    // pads no access can be routed, so none is made.
    static bool pads_ready();

    // The longest a flash may stay busy (a 64 KB erase takes up to 2 s).
    static std::atomic<unsigned> busy_limit_ms;

    int fd[kDevices];

private:
    class FlashSession;
    static bool inFlash(uint32_t addr, uint32_t len);
};

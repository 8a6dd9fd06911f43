#pragma once
// Register access to the scaler chip over the shared SPI bus.
//
// A register is named by one code 0xBBAANN: bank BB, first address AA
// (0x00-0x7F), byte count NN (1-4); a value spreads little-endian over
// AA, AA+1, ... The bank offset argument is added to BB: register blocks
// that exist once per channel are 16 banks apart.
//
// Every frame is two bytes: bank select 0x80 bank, byte write 0x80|addr
// data, byte read addr 0xFF (the value is the second byte received).

#include <cstdint>

constexpr const char* kC331SpiDevice = "/dev/spidev32766.0";

class c331_drv {
public:
    static constexpr uint32_t kWriteHz = 10000000;
    static constexpr uint32_t kReadHz = 5000000;
    static constexpr int kNoBank = -1;

    c331_drv();

    // Opens the scaler's spidev node and sets mode 3 and 10 MHz; the
    // descriptor as opened (-1 when refused). Results of the set-up requests
    // are not judged, as on the board.
    int initialize();
    // Forgets the cached bank: the next access always selects its bank.
    void init_reg_acc_param();

    void write_C331(int fd, unsigned int code, unsigned int value, int bankOffset);
    unsigned int read_C331(int fd, unsigned int code, int bankOffset);
    // The bits set in mask take value's bits, the others keep the chip's.
    void write_c331_mask(int fd, unsigned int code, unsigned int value, unsigned int mask, int bankOffset);

    // One SPI message of one transfer each; the request's result.
    int SPI_Transfer(int fd, uint8_t* tx, uint8_t* rx, int len);
    int SPI_Transfer_Write(int fd, uint8_t* tx, int len);

    int cachedBank() const { return m_bank; }

private:
    // Under the bank lock: selects the effective bank when it is not the
    // cached one.
    void selectBank(int fd, int bank);
    // Routes the bus to the scaler: both FPGA selects high.
    static void routeBusToScaler();

    int m_bank = kNoBank;
};

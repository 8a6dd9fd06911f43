#pragma once
// A simulated sending FPGA with its SPI-NOR configuration flash, driven only
// by what crosses the simulated bus: the select, command, flash-select and
// reset pads and the transfers on its two spidev nodes.
//
// Register and RAM access: the select pad falling opens a transaction; the
// first transfer (command line high) is the 4-byte command word, the next
// ones (command line low) the data. Registers change only under the write
// mask; RAM banks are 4096 bytes addressed with 12 bits. The flash listens
// while the select and the flash-select pads are both low; every transfer is
// one command, except that a fast read streams on until flash select rises.
//
// Receiving-card chains plug in per port pair (SimFpgaPortPair): frames the
// manager starts on a pair arrive there, and answers queued back land in the
// pair's receive RAM with their ready bit, length registers and the
// interrupt pad, as the FPGA would present them.

#include "platform/spi.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class SimFpga;

class SimFpgaPortPair {
public:
    virtual ~SimFpgaPortPair() = default;
    // The FPGA put `frame` on its output port `port` (0-15 inside this
    // FPGA). Called with the bus lock held; may queue answers at once.
    virtual void frameSent(SimFpga& fpga, int port, const std::vector<uint8_t>& frame) = 0;
    // The FPGA looks at its cables (its link registers are read): a chain
    // may take up new settings here. Bus lock held.
    virtual void refresh(SimFpga& fpga) {}
    // The FPGA model was reset (a chain plugged in for good goes back to
    // its own start).
    virtual void reset() {}
};

class SimFpga : public SimSpiDevice {
public:
    static constexpr uint32_t kFlashSize = 0x800000;
    static constexpr uint32_t kRamSize = 4096;
    static constexpr int kRegisters = 256;
    static constexpr int kPairs = 8;          // send RAMs: ports 0-15
    static constexpr int kReceiveSlots = 5;   // receive RAMs: ports 0-9

    // One decoded register or RAM access.
    struct Access {
        enum Kind : uint8_t { RegRead, RegWrite, RamRead, RamWrite } kind;
        uint8_t id = 0;      // register number or RAM id
        uint16_t addr = 0;   // RAM address (12 bits)
        uint8_t mask = 0;    // register write mask
        std::vector<uint8_t> data;
    };
    // One flash command that changed or read the memory.
    struct FlashOp {
        enum Kind : uint8_t { Read, Program, Erase, Uid } kind;
        uint32_t addr = 0;
        uint32_t length = 0; // bytes read or programmed, bytes erased
    };
    // A frame a pair was started with.
    struct SentFrame {
        int port;
        std::vector<uint8_t> frame;
    };

    explicit SimFpga(int index);
    ~SimFpga() override;

    int index() const { return m_index; }
    // "/dev/spidev32766.1" / ".2" (registers and RAMs), ".3" / ".4" (flash).
    std::string registerNode() const;
    std::string flashNode() const;
    // Attaches to its two nodes of the simulated bus and watches its pads.
    void attach();

    // SimSpiDevice
    void transfer(const std::string& node, const uint8_t* tx, uint8_t* rx, uint32_t len,
                  uint32_t speedHz) override;
    void padWritten(uint32_t offset, uint16_t value) override;
    void padRead(uint32_t offset) override;
    void reset() override;

    // ---- knobs (every one back to its default on reset) ----
    // Start-up failure: no bitstream loads; the FPGA stays unconfigured and
    // every register reads 0.
    void setConfigFails(bool fail);
    // Register 22 bit 3 (start-up step 2 error) while register 3 bit 6 is set.
    void setStep2Error(bool error);
    // After each reset release the FPGA stays unconfigured for this many
    // transactions (default 0).
    void setBootDelay(unsigned transactions);
    // Bit p: output port p+1 of this FPGA has a link (registers 128, 144).
    void setLinks(uint16_t mask);
    uint16_t links() const;
    // Bit p: send pair p reports busy (registers 129/145, odd bits).
    void setSendBusy(uint8_t pairs);
    // The input the FPGA measures (RAM 1 bytes 116-123): width, height and
    // frame period in 50 MHz clocks. A period of 0 means no input: register
    // 22 bit 7 then stays clear. Default 1920x1080, 833333 (60 Hz).
    void setMeasuredInput(uint16_t width, uint16_t height, uint32_t period);
    // Status reads that report busy after a program or erase (default 3);
    // a dead flash reports busy for ever.
    void setFlashBusyReads(int reads);
    void setFlashDead(bool dead);

    // ---- state, for tests and the chains ----
    uint8_t reg(int r) const;       // as the bus would read it
    void setReg(int r, uint8_t value);
    std::vector<uint8_t> ram(int id, uint32_t addr, uint32_t len) const;
    void pokeRam(int id, uint32_t addr, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> flash(uint32_t addr, uint32_t len) const;
    void pokeFlash(uint32_t addr, const std::vector<uint8_t>& bytes);
    bool inReset() const;
    bool configured() const;
    // Reset releases since power-on.
    int resetCount() const;

    // Decoded accesses and flash commands, oldest first (the newest few
    // thousand are kept).
    std::vector<Access> accesses() const;
    std::vector<FlashOp> flashOps() const;
    std::vector<SentFrame> sentFrames() const;
    void clearLogs();

    // ---- receiving-card chains ----
    // The chain behind port pair `pair` (ports 2·pair and 2·pair+1); null
    // leaves the pair's cable empty. Lasts until the next reset.
    void setPortPair(int pair, SimFpgaPortPair* chain);
    // The chains plugged in for good (the simulated cards): every pair gets
    // them now and after every reset, which also resets them.
    void setDefaultPortPairs(SimFpgaPortPair* chain);
    // Queues an answer (checksum included) in receive slot `slot` (0-4,
    // ports 2·slot and 2·slot+1). It is presented when the slot is free;
    // with `delayPolls` only after that many reads of the interrupt pad (the
    // controller's receive polls) have gone by without it.
    void queueAnswer(int slot, const std::vector<uint8_t>& answer, int delayPolls = 0);
    // Answers queued in the slot, presented or waiting their turn (held
    // answers not counted).
    size_t queuedAnswers(int slot) const;
    size_t heldAnswers() const;

private:
    struct State;
    enum class Phase { Idle, Command, Data };

    void powerOn();
    bool alive() const;
    uint8_t readReg(int r) const;
    void writeReg(int r, uint8_t value, uint8_t mask);
    void registerTransfer(const uint8_t* tx, uint8_t* rx, uint32_t len);
    void flashTransfer(const uint8_t* tx, uint8_t* rx, uint32_t len);
    uint8_t* ramBank(int id);
    uint8_t ramByte(int id, uint32_t addr) const;
    uint8_t flashByte(uint32_t addr) const;
    void flashProgram(uint32_t addr, const uint8_t* data, uint32_t len);
    void flashErase(uint32_t addr, uint32_t size);
    void startPair(int pair);
    void presentAnswers();
    void acknowledge(int slot);
    void updateInterrupt();
    void error(const std::string& what) const;
    void logAccess(Access&& a);

    const int m_index;
    std::unique_ptr<State> m_s;
};

} // namespace platform

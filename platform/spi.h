#pragma once
// The one SPI bus of the board: the scaler chip, the two sending FPGAs and
// their configuration flashes, each behind its own spidev node, and the SoC
// register window whose GPIO pads route the bus between them.
//
// On the device the nodes are "/dev/spidev32766.0".."4" and the window is
// mapped from "/dev/mem" at the base "/dev/msys" hands out. On a host the
// simulated bus (SimSpiBus) carries both and lets chip models listen.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class Spi {
public:
    virtual ~Spi() = default;
    // Opens a spidev node read-write; the descriptor, or -1.
    virtual int open(const std::string& devPath) = 0;
    virtual void close(int fd) = 0;
    // The spidev set-up requests: 0 on success, -1 on failure, like the
    // ioctls they stand for.
    virtual int setMode(int fd, uint8_t mode) = 0;
    virtual int getMode(int fd, uint8_t* mode) = 0;
    virtual int setBitsPerWord(int fd, uint8_t bits) = 0;
    virtual int getBitsPerWord(int fd, uint8_t* bits) = 0;
    virtual int setMaxSpeed(int fd, uint32_t hz) = 0;
    virtual int getMaxSpeed(int fd, uint32_t* hz) = 0;
    // One message of one transfer (SPI_IOC_MESSAGE(1)): len bytes out of
    // tx, and into rx when rx is not null; 8 bits per word, no delay, the
    // chip select held for the whole transfer. The request's result: the
    // byte count, or -1.
    virtual int transfer(int fd, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz) = 0;
};

Spi& spi();

// The SoC register window. Pads are named by their offset in the window,
// never by a pointer into it, so nothing can write through a window that
// failed to map: such accesses are skipped (and reported once).
class SocWindow {
public:
    enum MapResult { Mapped = 0, NoMsys, NoMem, RequestRefused, MapFailed };

    virtual ~SocWindow() = default;
    // "/dev/msys" request 0x5315 for the window's base and length, then the
    // shared read-write mapping of "/dev/mem". Mapping twice is harmless.
    virtual MapResult map() = 0;
    virtual bool mapped() const = 0;
    virtual uint32_t length() const = 0;
    virtual void write16(uint32_t offset, uint16_t value) = 0;
    virtual uint16_t read16(uint32_t offset) = 0;
    virtual void write32(uint32_t offset, uint32_t value) = 0;
    virtual uint32_t read32(uint32_t offset) = 0;
};

SocWindow& socWindow();

// ---------------------------------------------------------------------------
// Simulation

// A chip model on the simulated bus. The bus calls it with its own lock
// held, so a model's bus-driven state needs no lock of its own; a model that
// also takes calls from tests guards those with a mutex taken after the
// bus's (never call back into the bus while holding it).
class SimSpiDevice {
public:
    virtual ~SimSpiDevice() = default;
    // One transfer on a node this model is attached to. rx is null for a
    // write-only transfer; it arrives filled with 0xFF (an idle bus).
    virtual void transfer(const std::string& node, const uint8_t* tx, uint8_t* rx, uint32_t len,
                          uint32_t speedHz) = 0;
    // A pad this model watches was written.
    virtual void padWritten(uint32_t offset, uint16_t value) {}
    // A pad this model watches was read (after the value was taken).
    virtual void padRead(uint32_t offset) {}
    // Back to power-on state (Sandbox calls it through SimSpiBus::reset).
    virtual void reset() {}
};

class SimSpiBus : public Spi, public SocWindow {
public:
    // One entry of the bus journal, in the order things happened.
    struct Event {
        enum Kind : uint8_t { PadWrite, Transfer } kind;
        uint32_t offset = 0;        // PadWrite: pad offset
        uint32_t value = 0;         // PadWrite: value written
        std::string node;           // Transfer: spidev node
        uint32_t speedHz = 0;       // Transfer
        bool fullDuplex = false;    // Transfer: rx requested
        std::vector<uint8_t> tx;    // Transfer: bytes sent
        std::vector<uint8_t> rx;    // Transfer: bytes received (full duplex)
    };

    static constexpr uint32_t kWindowLength = 0x300000;
    // A pad nobody wrote reads as a high line.
    static constexpr uint16_t kPadIdle = 16;

    SimSpiBus();

    // Spi
    int open(const std::string& devPath) override;
    void close(int fd) override;
    int setMode(int fd, uint8_t mode) override;
    int getMode(int fd, uint8_t* mode) override;
    int setBitsPerWord(int fd, uint8_t bits) override;
    int getBitsPerWord(int fd, uint8_t* bits) override;
    int setMaxSpeed(int fd, uint32_t hz) override;
    int getMaxSpeed(int fd, uint32_t* hz) override;
    int transfer(int fd, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz) override;

    // SocWindow
    MapResult map() override;
    bool mapped() const override;
    uint32_t length() const override;
    void write16(uint32_t offset, uint16_t value) override;
    uint16_t read16(uint32_t offset) override;
    void write32(uint32_t offset, uint32_t value) override;
    uint32_t read32(uint32_t offset) override;

    // Models: attached for the life of the process (the bus does not own
    // them). A node may have one model; a pad any number of watchers.
    // attach(node, nullptr) leaves the node empty; detach removes a model
    // from every node and pad (a test's own model, before it is destroyed).
    void attach(const std::string& node, SimSpiDevice* device);
    void detach(SimSpiDevice* device);
    void watchPad(uint32_t offset, SimSpiDevice* device);
    // Pad level as last written (or driven by a model), kPadIdle if never.
    uint16_t pad(uint32_t offset) const;
    // A model drives an input pad (interrupt lines); not journaled.
    void drivePad(uint32_t offset, uint16_t value);

    // Something a careful bus master would never do (a transfer nobody is
    // selected for, a scaler frame while an FPGA listens...). Models call it.
    void busError(const std::string& what);
    std::vector<std::string> busErrors() const;

    // The journal keeps the newest `limit` events (0 keeps none). Tests
    // raise the limit; a long host run keeps the default so memory stays flat.
    void setJournalLimit(size_t limit);
    size_t journalLimit() const;
    std::vector<Event> journal() const;
    // Transfers only, of one node (all nodes when empty).
    std::vector<Event> transfers(const std::string& node = std::string()) const;
    uint64_t transferCount() const;
    void clearJournal();

    // Knobs: make the window fail to map (with this result), or a node fail
    // to open.
    void failMap(MapResult result);
    void failOpen(const std::string& node, bool fail);

    // Pads idle, window unmapped, descriptors closed, journal and errors
    // empty, knobs off, and every attached model reset. Models stay attached.
    void reset();

    // The bus lock, for models that must look at pads or the bus from a
    // test thread.
    std::recursive_mutex& mutex() const { return m_mutex; }

private:
    struct Node {
        std::string path;
        uint8_t mode = 0, bits = 8;
        uint32_t speed = 0;
        bool open = false;
    };
    Node* node(int fd);
    template <class F>
    int onNode(int fd, F f);
    void record(Event&& e);

    mutable std::recursive_mutex m_mutex;
    std::vector<Node> m_nodes;
    std::vector<std::pair<std::string, SimSpiDevice*>> m_devices;
    std::vector<std::pair<uint32_t, SimSpiDevice*>> m_watchers;
    std::map<uint32_t, uint32_t> m_pads;
    std::vector<Event> m_journal; // ring once full
    size_t m_journalStart = 0;
    size_t m_journalLimit;
    uint64_t m_transfers = 0;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_failOpen;
    MapResult m_failMap = Mapped;
    bool m_mapped = false;
};

SimSpiBus& simSpiBus();

} // namespace platform

#pragma once
// The simulated scaler chip behind "/dev/spidev32766.0".
//
// It decodes the chip's two-byte frames (bank select, byte write, byte
// read) into a register file of 256 banks x 128 bytes that reads back what
// was written, answers the identity 0x24 at bank 0xB2 address 0x08, and
// reports the status bits the software polls as idle or done so that every
// wait ends at once: flash controller idle, DMA done, 2D engine idle, input
// and output vertical syncs seen. The frame-buffer indexes read as stored
// (buffer 0) until a test presets them.
//
// The input ports measure what reaches them: the board wires the HDMI
// receivers of sources 2, 1, 0 to parallel ports 0, 1, 2 and the V-by-One
// output of source 3's receiver to port 5 (ports 3 and 4 are not wired).
// Each measurement latch (bit 7 of bank 0 address 0x29 set) loads the
// measurement banks 0xAE and 0xAF (line and frame totals and periods in
// 200 MHz ticks, active width, V-by-One lane counters), the V-by-One lock
// bits (bank 0xB2 address 0x63, bits 5 and 7) and each input channel's
// field size (bank 0xA8) from what the simulated receivers drive now, or
// from a feed a test pinned on a port. A port without signal measures
// 0xFFFF / 0xFFFFFF.
//
// Every register byte written is journaled in order; tests read the journal
// by register code (0xBBAANN plus a bank offset), the way the software
// names registers.
//
// The screen: each time a held group of register updates is released (the
// update-timing registers back to normal) the chip composes what it now
// shows (platform/c331_screen.h). With a layout source set, a release that
// changes the screen rewrites "<root>/sim/screen.png" (a picture of the LED
// screen) and "<root>/sim/scaler-registers.bin" (the register file, 256
// banks of 128 bytes, for a reader in another process).
//
// Behind the flash controller (bank 0x04) sit the chip's serial flash, the
// chip memory the flash is copied into and the OSD memory the 2D and
// character engines draw (platform/c331_sim_osd.h); the OSD ports read that
// memory back as text.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/c331_sim_osd.h"
#include "platform/c331_screen.h"
#include "platform/spi.h"
#include "video_io/video_timing.h"

namespace platform {

class SimScalerChip : public SimSpiDevice {
public:
    static constexpr const char* kNode = "/dev/spidev32766.0";
    static constexpr uint8_t kIdentity = 0x24;

    // One register byte written.
    struct Write {
        uint64_t seq;
        uint8_t bank;
        uint8_t addr;
        uint8_t value;
    };

    // SimSpiDevice
    void transfer(const std::string& node, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz) override;
    void reset() override;

    // ---- knobs (all off after reset) ----
    // No chip: frames go nowhere and reads float high (0xFF).
    void setAbsent(bool absent);
    // The identity answers 0x24 only on every other read, first not.
    void setIdentityEveryOther(bool on);
    // Busy bits never clear and vertical syncs never come: flash controller
    // busy, DMA busy, 2D engine busy, no input or output vsync.
    void setStuckBusy(bool on);
    // Vertical syncs never come (input and output), everything else works.
    void setNoVsync(bool on);

    // ---- what reaches the input ports ----
    struct PortFeed {
        bool signal = false;
        uint32_t hact = 0, htotal = 0;
        uint32_t vact = 0, vtotal = 0; // per field when interlaced
        uint32_t pclkKHz = 0;
        int lanes = 0;                 // V-by-One lanes in lock (ports 4, 5)
    };
    static constexpr int kPorts = 6;
    // The feed of a receiver's timing (lanes for the V-by-One port).
    static PortFeed feedOf(const VideoTiming& t, int lanes);
    // Pins what port 0..5 receives, in place of the wired receiver's output.
    void setPortFeed(int port, const PortFeed& feed);
    void clearPortFeeds();
    // The raw counters a latch loads for a port (as the registers hold them:
    // totals less one where the chip counts so); pinning them overrides the
    // port's feed.
    struct Counters {
        uint32_t htt = 0, vtt = 0, fhw = 0, fvm = 0, hw = 0;
    };
    static Counters countersOf(const PortFeed& feed);
    void setPortCounters(int port, const Counters& counters);
    // What the port receives now.
    PortFeed portFeed(int port) const;

    // ---- register file ----
    uint8_t byte(int bank, int addr) const;
    // Current content of a register, little-endian over its bytes (reads
    // the stored bytes, not the synthesised status).
    uint32_t value(uint32_t code, int bankOffset = 0) const;
    // Presets a register without journaling it.
    void set(uint32_t code, uint32_t value, int bankOffset = 0);

    // ---- journal ----
    // Position of the next write; pass it as `since` to see what followed.
    uint64_t mark() const;
    // Values written to a register by whole accesses (its bytes written in
    // a row, first address upward), oldest first.
    std::vector<uint32_t> writes(uint32_t code, int bankOffset = 0, uint64_t since = 0) const;
    // The last of those, or `otherwise` when there is none.
    uint32_t lastWrite(uint32_t code, int bankOffset = 0, uint64_t since = 0, uint32_t otherwise = 0xFFFFFFFFu) const;
    // Every byte written since a mark (the journal keeps the newest ones).
    std::vector<Write> journal(uint64_t since = 0) const;
    void setJournalLimit(size_t limit);
    void clearJournal();

    // ---- the screen ----
    // Where the LED screen lies over the channel canvas (false: not known
    // yet). Asked on the chip's SPI thread at each release; cleared by reset.
    using LayoutSource = std::function<bool(c331screen::ScreenLayout*)>;
    void setScreenLayoutSource(LayoutSource source);
    // A copy of the register file (kRegisterFileBytes).
    std::vector<uint8_t> registerFile() const;
    // The composition the registers hold now.
    c331screen::Composition composition(const c331screen::ScreenLayout& layout) const;
    // What the OSD shows over that composition: its window with the lines of
    // text the OSD memory holds there, in the character colour over the
    // background colour (none when the OSD is off or shows nothing).
    std::vector<c331screen::Overlay> osdOverlays(const c331screen::Composition& screen) const;
    // Screen files written since reset.
    uint64_t screensWritten() const;

    // ---- counters ----
    uint64_t frames() const;         // frames that reached the chip
    uint64_t readFrames() const;
    uint64_t bankSelects() const;
    uint64_t identityReads() const;

    // ---- serial flash, chip memory and OSD memory (c331_sim_osd.h) ----
    using FlashOp = SimScalerMemory::FlashOp;
    using DmaJob = SimScalerMemory::DmaJob;
    using EngineJob = SimScalerMemory::EngineJob;
    using OsdPort = SimScalerMemory::OsdPort;
    using OsdItem = SimScalerMemory::Item;
    static constexpr uint32_t kFlashSize = SimScalerMemory::kFlashSize;
    // Presets flash content (as if programmed at the factory), no record.
    void flashLoad(uint32_t addr, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> flashContent(uint32_t addr, size_t n) const;
    // Erases, page programs, reads and auxiliary commands, oldest first.
    std::vector<FlashOp> flashOps() const;
    std::vector<DmaJob> dmaJobs() const;
    // 2D engine fills and copies, character jobs.
    std::vector<EngineJob> engineJobs() const;
    // Controller and engine misuse (operations the chip would not carry out).
    std::vector<std::string> memoryErrors() const;
    // Forgets the four records above (SimScalerMemory::clearRecords).
    void clearMemoryRecords();
    // Chip memory: fonts copied from the flash, the bitmap staging area.
    std::vector<uint8_t> memory(uint32_t addr, size_t n) const;
    // What each output channel's OSD port is set to.
    std::vector<OsdPort> osdPorts() const;
    // The text the OSD layer shows: the lines of glyphs in what the shown
    // ports read of the OSD memory (empty when the OSD shows nothing).
    std::vector<std::string> osdTexts() const;
    // The text in any rectangle of memory: top-left address, lines `pitch`
    // bytes apart.
    std::vector<std::string> osdTextsAt(uint32_t addr, uint32_t pitch, int w, int h) const;
    // Palette entry as 0xRRGGBB: 1 the OSD background, 2 the characters.
    uint32_t osdPalette(int entry) const;
    // Palette index of an OSD memory pixel.
    uint8_t osdPixel(uint32_t addr) const;
    std::vector<OsdItem> osdItems() const;

private:
    uint8_t readByte(int bank, int addr); // with the status bits
    // Loads the measurement registers from the feeds; called without
    // m_mutex (the receivers are asked on the way).
    void latchMeasurements();
    void writeMeasurements(const PortFeed* feeds);
    void record(uint8_t bank, uint8_t addr, uint8_t value);
    // Composes the screen and rewrites its files when it changed; called
    // without m_mutex.
    void publishScreen();

    mutable std::mutex m_mutex;
    uint8_t m_reg[256][128] = {};
    int m_bank = -1;
    bool m_absent = false;
    bool m_everyOther = false;
    bool m_stuck = false;
    SimScalerMemory m_memory;
    uint64_t m_frames = 0, m_reads = 0, m_selects = 0, m_idReads = 0;
    std::vector<Write> m_journal; // ring once full
    size_t m_journalStart = 0;
    size_t m_journalLimit = kDefaultJournal;
    uint64_t m_seq = 0;
    PortFeed m_feed[kPorts];      // as of the last latch
    bool m_pinned[kPorts] = {};
    PortFeed m_pinnedFeed[kPorts];
    bool m_pinnedRaw[kPorts] = {};
    Counters m_pinnedCounters[kPorts];
    LayoutSource m_layoutSource;
    std::string m_lastScreen;
    uint64_t m_screens = 0;

    static constexpr size_t kDefaultJournal = 1u << 18;
};

SimScalerChip& simScaler();

} // namespace platform

#pragma once
// What sits behind the simulated scaler chip's flash controller and memory
// engines (register bank 0x04): its serial NOR flash, the chip memory the
// flash is copied into, and the OSD memory the 2D and character engines draw.
//
// Flash: 32 MiB, erased = 0xFF. An erase (trigger 4, erase mode) clears the
// 4, 32 or 64 KB block around the address; a page program (program mode,
// register access) ANDs the bytes queued on the data port into the flash
// when the next address is written, wrapping inside its 256-byte page as a
// NOR flash does; a read (register access) streams bytes out of the data
// port from the address set when the read was started. A DMA (trigger 2,
// DMA access) copies flash into chip memory (target 0, destination in
// 0x041104), into the OSD palette (target 4, entry in 0x091F01) or records
// the 16-bit destination of target 1.
//
// OSD memory is kept as a display list, in the engines' own terms: fills,
// glyphs (glyph index, colours, cell, font address) and blits of chip
// memory, each a rectangle of lines `pitch` bytes apart from its top-left
// address. Copies move what lies in their source rectangle. The text an OSD
// port shows is read back from the glyphs in the part of memory the port
// reads.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sim_pages.h"

namespace platform {

// A sparse byte memory of 4 KB pages; pages never written read as `fill`.
class SparseMemory {
public:
    explicit SparseMemory(uint8_t fill) : m_fill(fill) {}
    uint8_t get(uint64_t addr) const;
    void read(uint64_t addr, uint8_t* out, size_t n) const;
    void write(uint64_t addr, const uint8_t* in, size_t n);
    // Each byte keeps only the bits both have (a NOR program); the count of
    // bytes that wanted a bit back that only an erase can give.
    size_t andWrite(uint64_t addr, const uint8_t* in, size_t n);
    void fill(uint64_t addr, size_t n, uint8_t value);
    void copyFrom(const SparseMemory& src, uint64_t srcAddr, uint64_t dstAddr, size_t n);
    void clear() { m_pages.clear(); }

private:
    static constexpr uint64_t kPage = simpages::kPage;
    struct Page {
        uint8_t uniform = 0;                 // every byte, while data is null
        simpages::Page data;
    };
    // Whether [addr, addr+n) reads as one value; which.
    bool uniformRun(uint64_t addr, size_t n, uint8_t* value) const;
    uint8_t* materialise(uint64_t page);
    void setUniform(uint64_t page, uint8_t value);

    std::unordered_map<uint64_t, Page> m_pages;
    uint8_t m_fill;
};

class SimScalerMemory {
public:
    static constexpr uint32_t kFlashSize = 32u << 20;
    static constexpr size_t kMaxItems = 200000;

    using Regs = uint8_t[256][128];

    struct FlashOp {
        enum Kind : uint8_t { Erase, Program, Read, Command } kind;
        uint32_t addr = 0;
        uint32_t length = 0;       // bytes erased, programmed or read; the opcode of a command
        bool crossesPage = false;  // a program whose bytes ran past their page (they wrapped)
        uint32_t unerased = 0;     // programmed bytes that needed an erase first
    };
    struct DmaJob {
        uint32_t flashAddr = 0;
        uint32_t length = 0;
        int target = 0;
        uint32_t dest = 0;
    };
    struct EngineJob {
        int kind = 0; // 1 fill, 2 copy, 3 characters
        uint32_t src = 0, dst = 0;
        int width = 0, height = 0;
        int srcPitch = 0, dstPitch = 0; // 128-byte units
        int fill = 0;
        std::vector<uint16_t> glyphs; // character jobs: glyph indexes in order
    };
    // One rectangle of OSD memory.
    struct Item {
        enum Kind : uint8_t { Fill, Glyph, Blit } kind;
        uint32_t pitch = 0;  // bytes between lines
        int64_t addr = 0;    // top-left
        int w = 0, h = 0;
        // The visible part, relative to (x, y) (copies cut items).
        int cx = 0, cy = 0, cw = 0, ch = 0;
        uint8_t value = 0;   // fill
        uint16_t glyph = 0;  // glyph index
        uint8_t fg = 0, bg = 0;
        int cell = 0;        // glyph cell size (32 or 64)
        bool wide = false;   // double-width character
        uint32_t font = 0;   // glyph table address in chip memory
        uint64_t blitSrc = 0; // blit: chip memory of the item's (0, 0)
        uint32_t blitPitch = 0;
    };
    // What one OSD port (output channel) reads, from its registers.
    struct OsdPort {
        int channel = 0;
        uint16_t control = 0;  // 0x090802
        bool shown = false;    // enabled, with a non-empty window
        int hst = 0, hw = 0, vst = 0, vw = 0;
        uint32_t source = 0;   // 0x091A04
        int mwi = 0;           // 0x091E01
        uint32_t pitch = 0;    // bytes between lines (mwi x 128, x 4 when counted in fours)
        bool hzoom = false, vzoom = false;
        uint8_t scrollControl = 0; // 0x093C01
        int8_t scrollSpeed = 0;    // 0x093D01
        int scrollWidth = 0, scrollHeight = 0;
    };

    void reset();
    // Forgets the flash operations, DMA and engine jobs and errors recorded
    // so far; the flash, memory and display list stay.
    void clearRecords();
    void setNoVsync(bool on) { m_noVsync = on; }
    bool noVsync() const { return m_noVsync; }

    // Hooks of the chip, called under its lock after the register byte was
    // stored.
    void written(Regs& reg, int bank, int addr, uint8_t value);
    // A read the memory side answers (the flash data port); false for the rest.
    bool read(Regs& reg, int bank, int addr, uint8_t* out);

    // ---- flash ----
    void flashLoad(uint32_t addr, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> flashRead(uint32_t addr, size_t n) const;
    const std::vector<FlashOp>& flashOps() const { return m_flashOps; }
    const std::vector<DmaJob>& dmaJobs() const { return m_dma; }
    const std::vector<EngineJob>& engineJobs() const { return m_jobs; }
    // Protocol slips the controller would not have carried out.
    const std::vector<std::string>& errors() const { return m_errors; }

    // ---- chip memory and OSD ----
    std::vector<uint8_t> memory(uint64_t addr, size_t n) const;
    std::vector<OsdPort> osdPorts(const Regs& reg) const;
    // A line of glyphs in a rectangle of memory: where it starts relative to
    // the rectangle, its extent, its text (UTF-8).
    struct TextLine {
        int64_t x = 0, y = 0;
        int w = 0, h = 0;
        std::string text;
    };
    // The lines of glyphs whose top-left corner lies in a rectangle of
    // memory (top-left address, lines `pitch` bytes apart), top to bottom,
    // each left to right; lines without a glyph are left out.
    std::vector<TextLine> linesIn(int64_t addr, uint32_t pitch, int w, int h) const;
    std::vector<std::string> textsIn(int64_t addr, uint32_t pitch, int w, int h) const;
    // What the shown ports read, as one rectangle.
    bool shownRect(const Regs& reg, int64_t* addr, uint32_t* pitch, int* w, int* h) const;
    // Palette entry (R, G, B as 0xRRGGBB); entry 1 the background, 2 the characters.
    uint32_t palette(int entry) const;
    // The OSD memory pixel at an address: a palette index.
    uint8_t pixel(int64_t addr) const;
    const std::vector<Item>& items() const { return m_items; }

private:
    void flashAddressSet(Regs& reg);
    void trigger(Regs& reg, uint8_t value);
    void erase(Regs& reg);
    void dma(Regs& reg);
    void engine(Regs& reg, uint8_t kind);
    void characters(Regs& reg, EngineJob& job);
    void error(const std::string& text);
    // Display list.
    void dropCovered(int64_t addr, uint32_t pitch, int w, int h);
    void add(Item item);

    SparseMemory m_flash{0xFF};
    SparseMemory m_mem{0x00};
    uint32_t m_address = 0;       // the flash address last set
    std::vector<uint8_t> m_queue; // bytes to program
    bool m_reading = false;
    uint32_t m_readPtr = 0;
    uint32_t m_readCount = 0;
    uint32_t m_readStart = 0;
    std::vector<uint8_t> m_commands; // character command port since the last job
    uint8_t m_cellByte = 0;
    int m_palettePos = 0;
    uint8_t m_palette[256 * 3] = {};
    bool m_noVsync = false;
    std::vector<FlashOp> m_flashOps;
    std::vector<DmaJob> m_dma;
    std::vector<EngineJob> m_jobs;
    std::vector<std::string> m_errors;
    std::vector<Item> m_items;
};

} // namespace platform

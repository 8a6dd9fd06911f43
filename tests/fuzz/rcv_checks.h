#pragma once
// What a walk of a recovery or scan file (tests/support/rcv_walk.h) must
// show for the fuzz targets: every record the reader handed on is the one at
// its place in the file, every place lies inside the file, every data range
// lies inside it and holds the file's bytes. The places are worked out here
// from the raw bytes, in 64 bits, independently of the reader.

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/utils.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/rcv_walk.h"

namespace fuzz {

constexpr uint64_t kBlockHead = 4;
constexpr uint64_t kOperation = 18;

// An operation block at `at`: its count lies in the file and the whole
// block fits (the reader refuses a block that does not, before any record).
inline uint16_t checkBlock(const RawFile& f, uint64_t at)
{
    FUZZ_CHECK(f.holds(at, kBlockHead));
    uint16_t count = f.u16(at);
    FUZZ_CHECK(f.holds(at, kBlockHead + kOperation * count));
    return count;
}

// Record k of the block at `block`, its data counted from `base`.
inline void checkOperation(const RawFile& f, uint64_t block, uint16_t count, size_t k, uint64_t base,
                           const rcvwalk::OpSeen& op)
{
    FUZZ_CHECK(k < count);
    const uint64_t at = block + kBlockHead + kOperation * k;
    FUZZ_CHECK(f.holds(at, kOperation));
    FUZZ_CHECK(op.rec.offset == f.u32(at) && op.rec.dataLen == f.u32(at + 4));
    FUZZ_CHECK(op.rec.targetAddr == f.u32(at + 8) && op.rec.timeticks == f.u32(at + 12));
    FUZZ_CHECK(op.rec.type == f.d[at + 16] && op.rec.target == f.d[at + 17]);
    FUZZ_CHECK(uint64_t(op.data_at) == base + op.rec.offset);
    // No data is no place: the reader reads nothing anywhere.
    FUZZ_CHECK(uint64_t(op.data.size()) == op.rec.dataLen);
    FUZZ_CHECK(op.data.isEmpty() || (f.holds(op.data_at, op.rec.dataLen) &&
                                     std::memcmp(op.data.constData(), f.d + op.data_at, size_t(op.data.size())) == 0));
}

// Every operation seen of the block at `block`, data counted from `base`.
inline void checkOperations(const RawFile& f, uint64_t block, uint64_t base, const std::vector<rcvwalk::OpSeen>& ops)
{
    if (ops.empty())
        return;
    const uint16_t count = checkBlock(f, block);
    FUZZ_CHECK(ops.size() <= count);
    for (size_t k = 0; k < ops.size(); ++k)
        checkOperation(f, block, count, k, base, ops[k]);
}

// The walk ended well, in a message, or at its budget.
inline void checkEnding(const rcvwalk::Walk& w)
{
    FUZZ_CHECK(w.failed == RCV_READ_OK || w.failed == RCV_READ_MALFORMED);
    FUZZ_CHECK(w.failed == RCV_READ_OK || !w.why.isEmpty());
    FUZZ_CHECK(!(w.cut && w.failed));
}

// Little-endian bytes for hand-made files.
struct Builder {
    std::vector<uint8_t> b;
    Builder& u8(int v) { b.push_back(uint8_t(v)); return *this; }
    Builder& u16(int v) { return u8(v & 0xFF).u8(v >> 8); }
    Builder& u32(uint32_t v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    Builder& zeros(size_t n) { b.insert(b.end(), n, 0); return *this; }
    Builder& op(uint32_t offset, uint32_t len, uint32_t addr, uint32_t ms, int type, int target)
    {
        return u32(offset).u32(len).u32(addr).u32(ms).u8(type).u8(target);
    }
};

// A well-formed recovery file (one screen with a parameter block, one port
// of two cards) whose every offset, count and value differs from the
// defaults: what a used reader keeps of it must not show in another walk.
inline void writeOtherRecovery(const std::string& absPath)
{
    Builder screen;
    screen.zeros(32);
    screen.b[20] = 1;
    screen.u32(0xA5A5A5A5).u32(1).zeros(28).u32(8).u32(4 + 18 + 4).u32(16).u32(4 + 12 + 2 * 22 + 8);
    Builder xy;
    xy.zeros(16).u16(1).u16(0);
    xy.u16(7).u16(2).u32(16).u32(2 * 22 + 8);
    xy.u16(1).u16(0).op(44, 4, 0x100, 500, 1, 1);
    xy.u16(1).u16(0).op(48, 4, 0x200, 600, 3, 1);
    xy.u32(0x11223344).u32(0x55667788);
    Builder para;
    para.zeros(8).u16(1).u16(0).op(22, 4, 0x30, 700, 1, 2).u32(0x99AABBCC);
    Builder file;
    file.u8(0).u8(0).u8(0).u8(3);
    uint32_t pos = 4 + 3 * 12;
    for (auto member : {std::make_pair(10, &screen), std::make_pair(11, &xy), std::make_pair(12, &para)}) {
        file.u8(member.first).zeros(3).u32(uint32_t(member.second->b.size())).u32(pos);
        pos += uint32_t(member.second->b.size());
    }
    for (Builder* m : {&screen, &xy, &para})
        file.b.insert(file.b.end(), m->b.begin(), m->b.end());
    holdFile(absPath, file.b.data(), file.b.size());
}

// Everything a walk saw, as bytes, to compare two walks of one file.
inline std::string describe(const rcvwalk::Walk& w)
{
    std::string s;
    auto put = [&s](uint64_t v) { s.append(reinterpret_cast<const char*>(&v), sizeof v); };
    auto ops = [&](const std::vector<rcvwalk::OpSeen>& list) {
        put(list.size());
        for (const rcvwalk::OpSeen& op : list) {
            for (uint64_t v : {uint64_t(op.rec.offset), uint64_t(op.rec.dataLen), uint64_t(op.rec.targetAddr),
                               uint64_t(op.rec.timeticks), uint64_t(op.rec.type), uint64_t(op.rec.target),
                               uint64_t(op.data_at)})
                put(v);
            s.append(op.data.constData(), size_t(op.data.size()));
        }
    };
    put(w.failed);
    put(uint64_t(w.reads));
    put(w.cut);
    s += w.why.toStdString();
    for (const RCV_PACKED_FILE_INFO& e : w.entries)
        for (uint64_t v : {uint64_t(e.file_type), uint64_t(e.length), uint64_t(e.offset)})
            put(v);
    for (const rcvwalk::ScreenSeen& sc : w.screens) {
        for (uint64_t v : {uint64_t(sc.rec.config_id), uint64_t(sc.rec.net_use), uint64_t(sc.rec.rcv_para_offset),
                           uint64_t(sc.rec.rcv_para_len), uint64_t(sc.rec.rcv_xy_offset), uint64_t(sc.rec.rcv_xy_len)})
            put(v);
        ops(sc.para);
        for (const rcvwalk::PortSeen& p : sc.ports) {
            for (uint64_t v : {uint64_t(p.rec.net_ledx), uint64_t(p.rec.net_rcv_num), uint64_t(p.rec.net_para_offset),
                               uint64_t(p.rec.net_para_len)})
                put(v);
            put(p.cards.size());
            for (const auto& card : p.cards)
                ops(card);
        }
    }
    return s;
}

} // namespace fuzz

// The packed recovery file "/data/rcvrecovery/TZFX" walked the way the
// recovery job walks it: pack table, screens, parameter blocks, ports, card
// blocks, operations and their data in 1000-byte packets. Every record the
// reader hands on is the one at its place in the file, every data range lies
// in the file and holds its bytes, a failed walk says why, and a reader that
// walked another file first sees exactly what a new one sees.
#include <QString>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/rcv_checks.h"
#include "tests/support/rcv_walk.h"
#include "ui/rcvtools/rcvrecovery.h"

using fuzz::RawFile;
using namespace rcvwalk;

namespace {

const QString kFile = QStringLiteral("/data/rcvrecovery/TZFX");
const QString kOther = QStringLiteral("/data/rcvrecovery/OTHER");
// Reads per walk: counts in the file may ask for millions of small reads
// of overlapping records, which tell nothing more.
constexpr int kBudget = 3000;

// Offset of the member of that type the reader finds: the last of the
// entries seen.
bool member(const Walk& w, uint8_t type, uint64_t* offset)
{
    bool found = false;
    for (const RCV_PACKED_FILE_INFO& e : w.entries)
        if (e.file_type == type) {
            *offset = e.offset;
            found = true;
        }
    return found;
}

void checkWalk(const Walk& w, const RawFile& f)
{
    fuzz::checkEnding(w);
    FUZZ_CHECK(withinFile(w, f.n));
    if (!f.holds(0, 4)) {
        FUZZ_CHECK(w.failed == RCV_READ_MALFORMED && w.reads == 1);
        return;
    }
    const size_t listed = std::min<size_t>(f.d[3], rcvRecovery::kPackedFiles);
    FUZZ_CHECK(w.entries.size() <= listed);
    for (size_t i = 0; i < w.entries.size(); ++i) {
        const uint64_t at = 4 + 12 * uint64_t(i);
        FUZZ_CHECK(f.holds(at, 12));
        FUZZ_CHECK(w.entries[i].file_type == f.d[at] && w.entries[i].length == f.u32(at + 4) &&
                   w.entries[i].offset == f.u32(at + 8));
    }
    if (w.screens.empty())
        return;
    FUZZ_CHECK(w.entries.size() == listed);
    uint64_t s = 0, x = 0, r = 0;
    FUZZ_CHECK(member(w, RCV_SCREEN_FILE, &s));
    FUZZ_CHECK(f.holds(s, 32));
    FUZZ_CHECK(w.screens.size() <= f.d[s + 20]);
    const bool hasXy = member(w, RCV_XY_FILE, &x);
    const bool hasPara = member(w, RCV_PARA_FILE, &r);
    for (size_t i = 0; i < w.screens.size(); ++i) {
        const ScreenSeen& sc = w.screens[i];
        const uint64_t at = s + 32 + 52 * uint64_t(i);
        FUZZ_CHECK(f.holds(at, 52));
        FUZZ_CHECK(sc.rec.config_id == f.u32(at) && sc.rec.net_use == f.u32(at + 4));
        FUZZ_CHECK(sc.rec.rcv_para_offset == f.u32(at + 36) && sc.rec.rcv_para_len == f.u32(at + 40));
        FUZZ_CHECK(sc.rec.rcv_xy_offset == f.u32(at + 44) && sc.rec.rcv_xy_len == f.u32(at + 48));
        if (!sc.para.empty()) {
            FUZZ_CHECK(hasPara && sc.rec.rcv_para_len != 0);
            const uint64_t block = r + sc.rec.rcv_para_offset;
            fuzz::checkOperations(f, block, block, sc.para);
        }
        if (sc.ports.empty())
            continue;
        FUZZ_CHECK(hasXy && sc.rec.rcv_xy_len != 0);
        const uint64_t part = x + sc.rec.rcv_xy_offset;
        FUZZ_CHECK(f.holds(part, 2));
        FUZZ_CHECK(sc.ports.size() <= f.u16(part));
        for (size_t j = 0; j < sc.ports.size(); ++j) {
            const PortSeen& port = sc.ports[j];
            const uint64_t rec = part + 4 + 12 * uint64_t(j);
            FUZZ_CHECK(f.holds(rec, 12));
            FUZZ_CHECK(port.rec.net_ledx == f.u16(rec) && port.rec.net_ledx <= 19);
            FUZZ_CHECK(port.rec.net_rcv_num == f.u16(rec + 2));
            FUZZ_CHECK(port.rec.net_para_offset == f.u32(rec + 4) && port.rec.net_para_len == f.u32(rec + 8));
            FUZZ_CHECK(port.cards.size() <= port.rec.net_rcv_num);
            // Card blocks follow one another from the port's first; every
            // card's data counts from that first block.
            const uint64_t first = part + port.rec.net_para_offset;
            uint64_t block = first;
            for (const std::vector<OpSeen>& card : port.cards) {
                const uint16_t count = fuzz::checkBlock(f, block);
                FUZZ_CHECK(card.size() == count);
                for (size_t k = 0; k < card.size(); ++k)
                    fuzz::checkOperation(f, block, count, k, first, card[k]);
                block += fuzz::kBlockHead + fuzz::kOperation * count;
            }
        }
    }
}

// The readers the recovery job does not use, on what the walk left.
void checkOtherReaders(rcvRecovery& reader, const Walk& w, const RawFile& f)
{
    uint64_t x = 0;
    const bool hasXy = member(w, RCV_XY_FILE, &x);
    uint8_t head[16];
    std::memcpy(head, reader.xy_head, sizeof head);
    const uint32_t got = reader.update_rcvXYHead(kFile);
    if (got == RCV_READ_OK) {
        FUZZ_CHECK(hasXy && f.holds(x, 16) && std::memcmp(reader.xy_head, f.d + x, 16) == 0);
    } else {
        FUZZ_CHECK(got == RCV_READ_MALFORMED && std::memcmp(reader.xy_head, head, sizeof head) == 0);
        FUZZ_CHECK(!hasXy || !f.holds(x, 16));
    }

    // The current record's data at its offset taken as a file offset, into
    // a buffer of 64 bytes.
    uint8_t buf[64 + 1];
    buf[64] = 0xA5;
    uint32_t len = 64;
    const RCV_OPERATE_PARA op = reader.operate_para;
    const uint32_t deal = reader.update_rcvDealData(kFile, buf, &len);
    FUZZ_CHECK(buf[64] == 0xA5);
    if (deal == RCV_READ_OK) {
        FUZZ_CHECK(len == op.dataLen && len <= 64);
        FUZZ_CHECK(len == 0 || (f.holds(op.offset, len) && std::memcmp(buf, f.d + op.offset, len) == 0));
    } else {
        FUZZ_CHECK(deal == RCV_READ_MALFORMED && len == 64);
        FUZZ_CHECK(op.dataLen > 64 || !f.holds(op.offset, op.dataLen));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    static bool ready = false;
    if (!ready) {
        fuzz::writeOtherRecovery(kOther.toStdString());
        ready = true;
    }
    fuzz::holdFile(kFile.toStdString(), data, size);
    const RawFile f{data, size};

    rcvRecovery fresh;
    const Walk w = walkRecovery(fresh, kFile, kBudget);
    checkWalk(w, f);
    checkOtherReaders(fresh, w, f);

    // The worker keeps one reader for every file it walks.
    rcvRecovery used;
    const Walk other = walkRecovery(used, kOther);
    FUZZ_CHECK(other.failed == RCV_READ_OK && other.screens.size() == 1 && other.screens[0].ports.size() == 1);
    FUZZ_CHECK(fuzz::describe(walkRecovery(used, kFile, kBudget)) == fuzz::describe(w));
    return 0;
}

// A scan-parameter file as the worker reads it: walked as one operation
// block after a 16-byte head (the scan job), its head read, and taken as a
// file of 22-byte records from byte 4 (the card-reset values). Every record
// handed on is the one at its place in the file, every data range lies in
// the file and holds its bytes, a record past the end or beyond the count
// is refused and leaves the caller's record as it was, and a reader that
// walked a recovery file first sees what a new one sees.
#include <QString>
#include <cstring>

#include "fpga/scan_record.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/rcv_checks.h"
#include "tests/support/rcv_walk.h"
#include "ui/rcvtools/rcvrecovery.h"

using fuzz::RawFile;
using namespace rcvwalk;

namespace {

const QString kFile = QStringLiteral("/data/smartmapping/FUZZ.tzfile");
const QString kRecovery = QStringLiteral("/data/rcvrecovery/OTHER");

void checkScanWalk(const Walk& w, const RawFile& f)
{
    fuzz::checkEnding(w);
    FUZZ_CHECK(!w.cut && w.entries.empty() && w.screens.size() == 1);
    FUZZ_CHECK(withinFile(w, f.n));
    const std::vector<OpSeen>& ops = w.screens[0].para;
    // The block right after the head; data counted from the block.
    fuzz::checkOperations(f, rcvRecovery::kScanHeadSize, rcvRecovery::kScanHeadSize, ops);
    if (w.failed == RCV_READ_OK) {
        const uint16_t count = fuzz::checkBlock(f, rcvRecovery::kScanHeadSize);
        FUZZ_CHECK(ops.size() == count);
    }
}

bool sameRecord(const ScanRecord& a, const ScanRecord& b)
{
    return a.at0 == b.at0 && a.at2 == b.at2 && a.at6 == b.at6 && a.at10 == b.at10 && a.at14 == b.at14 &&
           a.at18 == b.at18;
}

void checkRecords(const RawFile& f)
{
    ScanRecord untouched;
    untouched.at0 = 0xBEEF;
    untouched.at18 = -7;
    // The first records and those around the end of the file.
    const uint32_t records = uint32_t(f.n / kScanRecordSize) + 2;
    for (uint32_t i = 0; i < records; i = i + 1 == 8 && records > 11 ? records - 3 : i + 1) {
        ScanRecord rec = untouched;
        // Beyond the count the caller gives: refused whatever the file holds.
        FUZZ_CHECK(read_scan_record(kFile, i, i, &rec) == 1 && sameRecord(rec, untouched));
        const int got = read_scan_record(kFile, i, i + 1, &rec);
        const uint64_t at = kScanRecordFirst + uint64_t(kScanRecordSize) * i;
        if (!f.holds(at, kScanRecordSize)) {
            FUZZ_CHECK(got == 2 && sameRecord(rec, untouched));
            continue;
        }
        FUZZ_CHECK(got == 0);
        FUZZ_CHECK(rec.at0 == f.u16(at) && rec.at2 == f.u32(at + 2) && rec.at6 == f.u32(at + 6));
        FUZZ_CHECK(rec.at10 == f.u32(at + 10) && rec.at14 == f.u32(at + 14) && rec.at18 == int32_t(f.u32(at + 18)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    static bool ready = false;
    if (!ready) {
        fuzz::writeOtherRecovery(kRecovery.toStdString());
        ready = true;
    }
    fuzz::holdFile(kFile.toStdString(), data, size);
    const RawFile f{data, size};

    rcvRecovery fresh;
    const Walk w = walkScan(fresh, kFile);
    checkScanWalk(w, f);

    uint8_t head[rcvRecovery::kScanHeadSize];
    std::memcpy(head, fresh.smart_head, sizeof head);
    const uint32_t got = fresh.update_smartDebugingHead(kFile);
    if (f.holds(0, rcvRecovery::kScanHeadSize))
        FUZZ_CHECK(got == RCV_READ_OK && std::memcmp(fresh.smart_head, data, sizeof head) == 0);
    else
        FUZZ_CHECK(got == RCV_READ_MALFORMED && std::memcmp(fresh.smart_head, head, sizeof head) == 0);

    checkRecords(f);

    // The worker walks scan files with the reader it walks recovery files with.
    rcvRecovery used;
    FUZZ_CHECK(walkRecovery(used, kRecovery).failed == RCV_READ_OK);
    FUZZ_CHECK(used.screen_info.rcv_para_offset != 0);
    FUZZ_CHECK(fuzz::describe(walkScan(used, kFile)) == fuzz::describe(w));
    return 0;
}

#pragma once
// Records of a scan-parameter record file: 22-byte records from byte 4, each
// giving the values the card-reset frame carries. The worker's
// get_operate_deal_para places them into its SCAN_PARA.

#include <QString>
#include <cstdint>

struct ScanRecord {
    uint16_t at0 = 0;  // -> SCAN_PARA u16 at 0
    uint32_t at2 = 0;  // -> u32 at 32
    uint32_t at6 = 0;  // -> u32 at 36
    uint32_t at10 = 0; // -> u32 at 44
    uint32_t at14 = 0; // -> u32 at 40
    int32_t at18 = 0;  // divided by 10 -> u32 at 48
};

constexpr uint32_t kScanRecordFirst = 4;
constexpr uint32_t kScanRecordSize = 22;

// Record i of the file at the system path `path` (under
// Utils::_file_deal_mutex). 0 read; 1 when i is not below `count` or the file
// is missing or unreadable; 2 when the record lies past the end of the file.
int read_scan_record(const QString& path, uint32_t i, uint32_t count, ScanRecord* out);

#include "fpga/scan_record.h"

#include "core/file_reader.h"
#include "core/utils.h"
#include "platform/memory_files.h"

int read_scan_record(const QString& path, uint32_t i, uint32_t count, ScanRecord* out)
{
    if (i >= count || !platform::fileExists(path))
        return 1;
    uint8_t r[kScanRecordSize];
    LockedFileReader::Result result;
    uint64_t size;
    {
        LockedFileReader f(path);
        size = f.size();
        result = f.read(kScanRecordFirst + uint64_t(kScanRecordSize) * i, kScanRecordSize, r);
    }
    if (result == LockedFileReader::PastEnd) {
        qWarning("scan record %u of %s lies past the end of the file (%llu bytes)", i, qPrintable(path),
                 static_cast<unsigned long long>(size));
        return 2;
    }
    if (result != LockedFileReader::Ok)
        return 1;
    out->at0 = le16(r);
    out->at2 = le32(r + 2);
    out->at6 = le32(r + 6);
    out->at10 = le32(r + 10);
    out->at14 = le32(r + 14);
    out->at18 = int32_t(le32(r + 18));
    return 0;
}

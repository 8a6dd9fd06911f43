// Records of a scan-parameter record file are read only where the file has them.
#include "tests/support/sandbox.h"

#include "core/utils.h"
#include "fpga/scan_record.h"

using ScanRecordFile = Sandbox;

TEST_F(ScanRecordFile, RecordsWithinTheFileAndTheCount)
{
    QByteArray f(4, '\0');
    for (int i = 0; i < 2; ++i) {
        uint8_t r[kScanRecordSize];
        putLe16(r, uint16_t(0x100 + i));
        putLe32(r + 2, 0x11111111u * uint32_t(i + 1));
        putLe32(r + 6, 6);
        putLe32(r + 10, 10);
        putLe32(r + 14, 14);
        putLe32(r + 18, uint32_t(-250));
        f.append(reinterpret_cast<const char*>(r), kScanRecordSize);
    }
    writeFile("/mnt/usb1/s.tzfile", f);
    ScanRecord rec;
    ASSERT_EQ(read_scan_record("/mnt/usb1/s.tzfile", 1, 2, &rec), 0);
    EXPECT_EQ(rec.at0, 0x101);
    EXPECT_EQ(rec.at2, 0x22222222u);
    EXPECT_EQ(rec.at6, 6u);
    EXPECT_EQ(rec.at10, 10u);
    EXPECT_EQ(rec.at14, 14u);
    EXPECT_EQ(rec.at18 / 10, -25);

    EXPECT_EQ(read_scan_record("/mnt/usb1/s.tzfile", 2, 2, &rec), 1) << "at the count";
    EXPECT_EQ(read_scan_record("/mnt/usb1/s.tzfile", 2, 5, &rec), 2) << "past the end";
    EXPECT_EQ(read_scan_record("/mnt/usb1/none.tzfile", 0, 5, &rec), 1);
    EXPECT_EQ(rec.at0, 0x101) << "a failed read leaves the record";
}

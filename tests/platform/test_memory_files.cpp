// Files held in memory stand in for the root's at their path, for the
// readers that read through LockedFileReader, with the same bounds, and
// only while they are held.
#include "tests/support/sandbox.h"

#include "core/file_reader.h"
#include "fpga/scan_record.h"
#include "platform/memory_files.h"

namespace {

using MemoryFiles = Sandbox;

TEST_F(MemoryFiles, AHeldFileStandsInForTheRootsUntilReleased)
{
    const QString file = QStringLiteral("/data/smartmapping/a.tzfile");
    const QString other = QStringLiteral("/data/smartmapping/b.tzfile");
    writeFile(file.toStdString(), QByteArray("on disk"));
    // A scan record (22 bytes from byte 4): 0x0201 first.
    QByteArray held(4 + kScanRecordSize, '\0');
    held[4] = 0x01;
    held[5] = 0x02;
    platform::holdFile(file, held);
    platform::holdFile(other, QByteArray("xyz"));

    {
        LockedFileReader f(file);
        ASSERT_TRUE(f.isOpen());
        EXPECT_EQ(f.size(), uint64_t(held.size()));
        uint8_t out[4] = {0xA5, 0xA5, 0xA5, 0xA5};
        EXPECT_EQ(f.read(4, 2, out), LockedFileReader::Ok);
        EXPECT_EQ(out[0], 0x01);
        EXPECT_EQ(out[1], 0x02);
        EXPECT_EQ(f.read(uint64_t(held.size()) - 1, 2, out), LockedFileReader::PastEnd);
        EXPECT_EQ(f.read(~uint64_t(0), 0, out), LockedFileReader::Ok);
        EXPECT_EQ(out[2], 0xA5);
    }
    ScanRecord rec;
    EXPECT_EQ(read_scan_record(file, 0, 1, &rec), 0);
    EXPECT_EQ(rec.at0, 0x0201);
    EXPECT_EQ(read_scan_record(other, 0, 1, &rec), 2) << "held bytes are bounded as a file's";
    EXPECT_TRUE(platform::fileExists(other));
    EXPECT_FALSE(exists(other.toStdString())) << "nothing is written under the root";
    EXPECT_EQ(readFile(file.toStdString()), QByteArray("on disk"));

    platform::releaseFile(file);
    platform::releaseFile(other);
    EXPECT_EQ(LockedFileReader(file).size(), 7u);
    EXPECT_FALSE(platform::fileExists(other));
    EXPECT_EQ(read_scan_record(other, 0, 1, &rec), 1);
}

} // namespace

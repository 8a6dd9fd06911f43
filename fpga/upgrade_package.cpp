#include "fpga/upgrade_package.h"

#include <QDir>
#include <QFileInfo>

#include "core/file_reader.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/memory_files.h"
#include "platform/platform.h"

namespace upgrade {

const uint8_t kApplicationVersion[6] = {26, 4, 4, 11, 2, 0};

namespace {

PackageHeader decodeHeader(const uint8_t* h)
{
    PackageHeader p;
    p.FileType = h[0];
    p.FileVersion = h[1];
    p.PublishType = h[2];
    p.ControllerType = le16(h + 18);
    p.FileNum = le16(h + 47);
    return p;
}

ChildHeader decodeChild(const uint8_t* c)
{
    ChildHeader h;
    h.file_type = c[0];
    h.file_len = le32(c + 1);
    h.file_offset = le32(c + 5);
    for (int i = 0; i < 6; ++i)
        h.Version[i] = c[9 + i];
    h.File_Flashaddr = le32(c + 15);
    h.SecNum = le16(c + 19);
    return h;
}

BitstreamHeader decodeBitstream(const uint8_t* b)
{
    BitstreamHeader h;
    h.file_type = b[16];
    h.file_version = b[17];
    h.controller_class = b[18];
    h.controller_class2 = b[20];
    for (int i = 0; i < 4; ++i)
        h.version[i] = b[23 + i];
    h.length = le32(b + 31);
    return h;
}

bool sameAsApplication(const ChildHeader& c)
{
    for (int i = 0; i < 6; ++i)
        if (c.Version[i] != kApplicationVersion[i])
            return false;
    return true;
}

// Year, month and day of the child against the FPGA's BCD registers 31, 30
// and 29; the function byte against register 28 as it stands.
bool sameAsFpga(const ChildHeader& c, const uint8_t* reg)
{
    return c.Version[0] == bcd(reg[3]) && c.Version[1] == bcd(reg[2]) && c.Version[2] == bcd(reg[1]) &&
           c.Version[5] == reg[0];
}

// Font area in the scaler's flash for an encoding and height, up to the next
// font or the OSD bitmap; start 0 when there is none.
struct FontArea {
    uint32_t start;
    uint32_t end;
};

FontArea fontArea(uint8_t encoding, uint8_t height)
{
    constexpr uint32_t kOsdBitmap = 0xED9800;
    if (encoding == 0 && height == 32)
        return {0x10000, 0x410000};
    if (encoding == 0 && height == 64)
        return {0x450000, kOsdBitmap};
    if (encoding == 1 && height == 64)
        return {0x410000, 0x450000};
    return {0, 0};
}

void passOver(Child& c, Verdict v, const QString& why, bool warn)
{
    c.verdict = v;
    c.message = QStringLiteral("child %1 (type %2): %3").arg(c.index).arg(c.header.file_type).arg(why);
    if (warn)
        qWarning("upgrade: %s", qPrintable(c.message));
}

// Every child lies inside the package (misplacedChild has seen to it).
void decide(Child& c, const PackageHeader& p, const Installed& installed, LockedFileReader& f)
{
    const ChildHeader& h = c.header;
    const bool forController = p.ControllerType == kControllerType;
    const bool skipEqual = p.PublishType == kPublishSkipEqual;
    switch (h.file_type) {
    case kFpga0Bitstream:
    case kFpga1Bitstream:
        if (!forController)
            return passOver(c, Verdict::OtherController,
                            QStringLiteral("for controller type %1").arg(p.ControllerType, 0, 16), false);
        if (skipEqual && sameAsFpga(h, installed.fpga_reg[h.file_type - kFpga0Bitstream]))
            return passOver(c, Verdict::SameVersion, QStringLiteral("the FPGA already runs this version"), false);
        break;
    case kApplication:
        if (!forController)
            return passOver(c, Verdict::OtherController,
                            QStringLiteral("for controller type %1").arg(p.ControllerType, 0, 16), false);
        if (skipEqual && sameAsApplication(h))
            return passOver(c, Verdict::SameVersion, QStringLiteral("this application version is installed"), false);
        break;
    case kOsdFont:
        if ((installed.local_reg43 & 0x3F) == 0x3F)
            return passOver(c, Verdict::FontsComplete, QStringLiteral("the scaler holds every font"), false);
        break;
    default:
        return passOver(c, Verdict::Ignored, QStringLiteral("not upgraded by this controller"), false);
    }

    if (h.file_len > kTransferBufferSize)
        return passOver(c, Verdict::Malformed,
                        QStringLiteral("%1 bytes, larger than the %2-byte transfer buffer: passed over")
                            .arg(h.file_len)
                            .arg(kTransferBufferSize),
                        true);

    switch (h.file_type) {
    case kFpga0Bitstream:
    case kFpga1Bitstream: {
        uint8_t b[kBitstreamHeaderSize];
        if (h.file_len < kBitstreamHeaderSize || f.read(h.file_offset, kBitstreamHeaderSize, b) != LockedFileReader::Ok)
            return passOver(c, Verdict::Malformed, QStringLiteral("no bitstream header: passed over"), true);
        c.bitstream = decodeBitstream(b);
        if (c.bitstream.length > h.file_len - kBitstreamHeaderSize)
            return passOver(c, Verdict::Malformed,
                            QStringLiteral("its header names a %1-byte bitstream in a %2-byte child: passed over")
                                .arg(c.bitstream.length)
                                .arg(h.file_len),
                            true);
        if (c.bitstream.length > kBitstreamLimit)
            return passOver(c, Verdict::Malformed,
                            QStringLiteral("a %1-byte bitstream would overwrite the stored parameters: passed over")
                                .arg(c.bitstream.length),
                            true);
        c.data_offset = h.file_offset + kBitstreamHeaderSize;
        c.data_len = c.bitstream.length;
        break;
    }
    case kApplication:
        if (h.file_len == 0)
            return passOver(c, Verdict::Malformed, QStringLiteral("an empty application: passed over"), true);
        c.data_offset = h.file_offset;
        c.data_len = h.file_len;
        break;
    case kOsdFont: {
        uint8_t head[kFontHeadSize];
        if (h.file_len < kFontHeadSize || f.read(h.file_offset, kFontHeadSize, head) != LockedFileReader::Ok)
            return passOver(c, Verdict::Malformed,
                            QStringLiteral("%1 bytes, too short for a font: passed over").arg(h.file_len), true);
        c.font_encoding = head[5];
        c.font_height = head[18];
        const FontArea area = fontArea(c.font_encoding, c.font_height);
        c.flash_addr = area.start;
        if (c.flash_addr == 0)
            return passOver(c, Verdict::NoFontArea,
                            QStringLiteral("no font area for encoding %1 and height %2")
                                .arg(c.font_encoding)
                                .arg(c.font_height),
                            true);
        // Written whole from the area's start, a longer font would overwrite
        // the font after it.
        if (h.file_len > area.end - area.start)
            return passOver(c, Verdict::Malformed,
                            QStringLiteral("a %1-byte font does not fit its %2-byte area at %3: passed over")
                                .arg(h.file_len)
                                .arg(area.end - area.start)
                                .arg(area.start, 0, 16),
                            true);
        c.data_offset = h.file_offset;
        c.data_len = h.file_len;
        break;
    }
    }
    c.verdict = Verdict::Write;
}

// Why the child table does not fit the package, or nothing when every
// child starts at or after the end of the headers and ends inside the file
// (in 64 bits: offset + length never wraps). The first misplaced child is
// named, with how many there are, in one line.
QString misplacedChild(const uint8_t* table, uint16_t count, uint64_t tableEnd, uint64_t size)
{
    QString first;
    int misplaced = 0;
    for (int i = 0; i < count; ++i) {
        const ChildHeader c = decodeChild(table + uint64_t(kChildHeaderSize) * i);
        QString why;
        if (c.file_offset < tableEnd)
            why = QStringLiteral("child %1 (type %2) starts at byte %3, inside the package's headers, which end at byte %4")
                      .arg(i)
                      .arg(c.file_type)
                      .arg(c.file_offset)
                      .arg(tableEnd);
        else if (uint64_t(c.file_offset) + c.file_len > size)
            why = QStringLiteral("child %1 (type %2): %3 bytes at %4 lie past the end of the package (%5 bytes)")
                      .arg(i)
                      .arg(c.file_type)
                      .arg(c.file_len)
                      .arg(c.file_offset)
                      .arg(size);
        else
            continue;
        if (misplaced++ == 0)
            first = why;
    }
    if (misplaced > 1)
        first += QStringLiteral("; %1 of its %2 children do not fit it").arg(misplaced).arg(count);
    return first;
}

void printHeader(const PackageHeader& p)
{
    VYX_DEBUG("FileType = %#x\n", p.FileType);
    VYX_DEBUG("FileVersion = %#x\n", p.FileVersion);
    VYX_DEBUG("PublishType = %#x\n", p.PublishType);
    VYX_DEBUG("ControllerType = %#x\n", p.ControllerType);
    VYX_DEBUG("FileNum = %#x\n", p.FileNum);
}

void printChild(const ChildHeader& c)
{
    VYX_DEBUG("file_type = %#x\n", c.file_type);
    VYX_DEBUG("file_len = %#x\n", c.file_len);
    VYX_DEBUG("file_offset = %#x\n", c.file_offset);
    VYX_DEBUG("Version = %d.%d.%d.%d.%d.%d\n", c.Version[0], c.Version[1], c.Version[2], c.Version[3], c.Version[4],
              c.Version[5]);
    VYX_DEBUG("File_Flashaddr = %#x\n", c.File_Flashaddr);
    VYX_DEBUG("SecNum = %#x\n", c.SecNum);
}

} // namespace

int read_package(const QString& path, const Installed& installed, Package* out)
{
    *out = Package();
    out->path = path;
    if (!platform::fileExists(path)) {
        out->message = QStringLiteral("%1: no such package").arg(path);
        return kReadMissing;
    }
    LockedFileReader f(path);
    uint8_t h[kHeaderSize];
    LockedFileReader::Result r = f.read(0, kHeaderSize, h);
    if (r != LockedFileReader::Ok) {
        out->message = r == LockedFileReader::PastEnd
                           ? QStringLiteral("%1: %2 bytes, shorter than a package header: passed over").arg(path).arg(f.size())
                           : QStringLiteral("%1: cannot be read: passed over").arg(path);
        qWarning("upgrade: %s", qPrintable(out->message));
        return r == LockedFileReader::PastEnd ? kReadMalformed : kReadMissing;
    }
    out->header = decodeHeader(h);
    printHeader(out->header);

    // A child header table that runs past the end is no package: what its
    // headers say within the file is garbage as likely as not, and walking
    // thousands of them would hold the upgrade for minutes.
    const uint64_t tableEnd = kHeaderSize + uint64_t(kChildHeaderSize) * out->header.FileNum;
    if (tableEnd > f.size()) {
        out->message = QStringLiteral("%1: damaged: its %2 child headers would end at byte %3 of a %4-byte package: "
                                      "nothing written from it")
                           .arg(path)
                           .arg(out->header.FileNum)
                           .arg(tableEnd)
                           .arg(f.size());
        qWarning("upgrade: %s", qPrintable(out->message));
        return kReadMalformed;
    }

    std::vector<uint8_t> table(size_t(tableEnd - kHeaderSize));
    r = f.read(kHeaderSize, uint32_t(table.size()), table.data());
    if (r != LockedFileReader::Ok) {
        out->message = QStringLiteral("%1: its child headers cannot be read: nothing written from it").arg(path);
        qWarning("upgrade: %s", qPrintable(out->message));
        return r == LockedFileReader::PastEnd ? kReadMalformed : kReadMissing;
    }
    // The whole table is placed against the file before any child is
    // decided or written. A child that starts inside the headers or ends
    // past the file means the table itself is garbage: a damaged FileNum
    // whose headers still fit reads the children's own bytes as headers,
    // tens of thousands of them.
    const QString misplaced = misplacedChild(table.data(), out->header.FileNum, tableEnd, f.size());
    if (!misplaced.isEmpty()) {
        out->message = QStringLiteral("%1: damaged: %2: nothing written from it").arg(path, misplaced);
        qWarning("upgrade: %s", qPrintable(out->message));
        return kReadMalformed;
    }

    for (int i = 0; i < out->header.FileNum; ++i) {
        Child c;
        c.index = i;
        c.header = decodeChild(table.data() + uint64_t(kChildHeaderSize) * i);
        printChild(c.header);
        decide(c, out->header, installed, f);
        out->children.push_back(c);
    }
    return kReadOk;
}

int read_package_data(const QString& path, uint32_t offset, uint8_t* buf, uint32_t n)
{
    if (!platform::fileExists(path))
        return kReadMissing;
    LockedFileReader f(path);
    LockedFileReader::Result r = f.read(offset, n, buf);
    if (r == LockedFileReader::PastEnd)
        qWarning("upgrade: %s: %u bytes at %u lie past the end of the package (%llu bytes)", qPrintable(path), n,
                 offset, static_cast<unsigned long long>(f.size()));
    return r == LockedFileReader::Ok ? kReadOk : r == LockedFileReader::PastEnd ? kReadMalformed : kReadMissing;
}

QString package_dir(const QString& usb_grade_path)
{
    if (usb_grade_path == QLatin1String(" "))
        return QStringLiteral("/mnt/usb1/");
    return QStringLiteral("/mnt/usb1/") + usb_grade_path;
}

QStringList list_packages(const QString& usb_grade_path)
{
    QString dir = package_dir(usb_grade_path);
    if (!dir.endsWith('/'))
        dir += '/';
    QStringList packages;
    const QFileInfoList entries = QDir(platform::sysPath(dir))
                                      .entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& e : entries) {
        QString suffix = e.suffix();
        if (suffix != QLatin1String("VYX") && suffix != QLatin1String("VYXZK"))
            continue;
        packages << dir + e.fileName();
        if (packages.size() == kMaxPackages)
            break;
    }
    return packages;
}

} // namespace upgrade

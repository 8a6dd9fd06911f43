// A firmware-upgrade package on the USB stick, read as the worker reads it
// before applying it: the header, every child header, and what is to be done
// with each child, once against blank version registers and fonts missing,
// once against the versions of the package's own bitstreams with every font
// present.
// A child marked to be written is one of the types the controller takes, for
// this controller, not the installed version, fits the transfer buffer and
// the package, lies inside its child, stays below the stored parameters (a
// bitstream) or inside its font area (a font), and reads back as the
// package's bytes; a child passed over says why; a package whose child
// headers would run past its end, or any of whose children (of whatever
// type) starts inside its headers or ends past its end, is passed over
// whole, with a message.
#include <QString>
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/utils.h"
#include "fpga/upgrade_package.h"
#include "tests/fuzz/fuzz_support.h"

using fuzz::RawFile;
using namespace upgrade;

namespace {

const QString kPackage = QStringLiteral("/mnt/usb1/FUZZ.VYX");

bool isOurs(uint8_t type)
{
    return type == kFpga0Bitstream || type == kFpga1Bitstream || type == kApplication || type == kOsdFont;
}

bool sameVersion(const ChildHeader& h, const Installed& in)
{
    if (h.file_type == kApplication)
        return std::equal(h.Version, h.Version + 6, kApplicationVersion);
    const uint8_t* reg = in.fpga_reg[h.file_type - kFpga0Bitstream];
    return h.Version[0] == bcd(reg[3]) && h.Version[1] == bcd(reg[2]) && h.Version[2] == bcd(reg[1]) &&
           h.Version[5] == reg[0];
}

// Where the font area at `start` ends: the next font, or the OSD bitmap.
uint64_t fontAreaEnd(uint32_t start)
{
    switch (start) {
    case 0x10000: return 0x410000;
    case 0x410000: return 0x450000;
    case 0x450000: return 0xED9800;
    default: return 0;
    }
}

void checkWrite(const Child& c, const PackageHeader& p, const Installed& in, const RawFile& f)
{
    const ChildHeader& h = c.header;
    FUZZ_CHECK(isOurs(h.file_type) && c.message.isEmpty());
    FUZZ_CHECK(h.file_len <= kTransferBufferSize && f.holds(h.file_offset, h.file_len));
    FUZZ_CHECK(c.data_len <= kTransferBufferSize);
    FUZZ_CHECK(c.data_offset >= h.file_offset &&
               uint64_t(c.data_offset) + c.data_len <= uint64_t(h.file_offset) + h.file_len);
    if (h.file_type != kOsdFont) {
        FUZZ_CHECK(p.ControllerType == kControllerType);
        FUZZ_CHECK(p.PublishType != kPublishSkipEqual || !sameVersion(h, in));
    }
    switch (h.file_type) {
    case kFpga0Bitstream:
    case kFpga1Bitstream:
        FUZZ_CHECK(h.file_len >= kBitstreamHeaderSize && c.data_offset == h.file_offset + kBitstreamHeaderSize);
        FUZZ_CHECK(c.bitstream.length == f.u32(uint64_t(h.file_offset) + 31) && c.data_len == c.bitstream.length);
        FUZZ_CHECK(c.bitstream.file_type == f.d[h.file_offset + 16] && c.bitstream.controller_class == f.d[h.file_offset + 18]);
        FUZZ_CHECK(c.data_len <= kBitstreamLimit && c.flash_addr == 0);
        break;
    case kApplication:
        FUZZ_CHECK(c.data_offset == h.file_offset && c.data_len == h.file_len && c.data_len > 0);
        break;
    case kOsdFont:
        FUZZ_CHECK((in.local_reg43 & 0x3F) != 0x3F);
        FUZZ_CHECK(c.data_offset == h.file_offset && c.data_len == h.file_len && c.data_len >= kFontHeadSize);
        FUZZ_CHECK(c.font_encoding == f.d[h.file_offset + 5] && c.font_height == f.d[h.file_offset + 18]);
        FUZZ_CHECK(uint64_t(c.flash_addr) + c.data_len <= fontAreaEnd(c.flash_addr));
        break;
    }
    std::vector<uint8_t> buf(c.data_len + 1, 0xA5);
    FUZZ_CHECK(read_package_data(kPackage, c.data_offset, buf.data(), c.data_len) == kReadOk);
    FUZZ_CHECK(std::memcmp(buf.data(), f.d + c.data_offset, c.data_len) == 0 && buf[c.data_len] == 0xA5);
}

void checkPassedOver(const Child& c, const PackageHeader& p, const Installed& in)
{
    const ChildHeader& h = c.header;
    const bool forController = p.ControllerType == kControllerType;
    FUZZ_CHECK(!c.message.isEmpty());
    switch (c.verdict) {
    case Verdict::Ignored:
        FUZZ_CHECK(!isOurs(h.file_type));
        break;
    case Verdict::OtherController:
        FUZZ_CHECK(h.file_type != kOsdFont && isOurs(h.file_type) && !forController);
        break;
    case Verdict::SameVersion:
        FUZZ_CHECK(h.file_type != kOsdFont && isOurs(h.file_type) && forController);
        FUZZ_CHECK(p.PublishType == kPublishSkipEqual && sameVersion(h, in));
        break;
    case Verdict::FontsComplete:
        FUZZ_CHECK(h.file_type == kOsdFont && (in.local_reg43 & 0x3F) == 0x3F);
        break;
    case Verdict::NoFontArea:
        FUZZ_CHECK(h.file_type == kOsdFont && c.flash_addr == 0);
        break;
    case Verdict::Malformed:
        FUZZ_CHECK(isOurs(h.file_type));
        break;
    case Verdict::Write:
        FUZZ_CHECK(false);
    }
}

void checkPackage(const Package& p, int rc, const RawFile& f, const Installed& in)
{
    FUZZ_CHECK(p.path == kPackage);
    if (!f.holds(0, kHeaderSize)) {
        FUZZ_CHECK(rc == kReadMalformed && p.children.empty() && !p.message.isEmpty());
        return;
    }
    const PackageHeader& h = p.header;
    FUZZ_CHECK(h.FileType == f.d[0] && h.FileVersion == f.d[1] && h.PublishType == f.d[2]);
    FUZZ_CHECK(h.ControllerType == f.u16(18) && h.FileNum == f.u16(47));
    const uint64_t present = (f.n - kHeaderSize) / kChildHeaderSize;
    if (h.FileNum > present) {
        FUZZ_CHECK(rc == kReadMalformed && p.children.empty() && !p.message.isEmpty());
        return;
    }
    const uint64_t tableEnd = kHeaderSize + kChildHeaderSize * uint64_t(h.FileNum);
    bool placed = true;
    for (uint64_t at = kHeaderSize; at < tableEnd && placed; at += kChildHeaderSize)
        placed = f.u32(at + 5) >= tableEnd && f.holds(f.u32(at + 5), f.u32(at + 1));
    if (!placed) {
        FUZZ_CHECK(rc == kReadMalformed && p.children.empty() && p.message.contains(QStringLiteral(": damaged: child ")));
        return;
    }
    FUZZ_CHECK(rc == kReadOk && p.message.isEmpty());
    FUZZ_CHECK(p.children.size() == h.FileNum);
    for (size_t i = 0; i < p.children.size(); ++i) {
        const Child& c = p.children[i];
        const uint64_t at = kHeaderSize + kChildHeaderSize * uint64_t(i);
        FUZZ_CHECK(c.index == int(i));
        FUZZ_CHECK(c.header.file_type == f.d[at] && c.header.file_len == f.u32(at + 1) &&
                   c.header.file_offset == f.u32(at + 5));
        FUZZ_CHECK(std::memcmp(c.header.Version, f.d + at + 9, 6) == 0);
        FUZZ_CHECK(c.header.File_Flashaddr == f.u32(at + 15) && c.header.SecNum == f.u16(at + 19));
        if (c.verdict == Verdict::Write)
            checkWrite(c, h, in, f);
        else
            checkPassedOver(c, h, in);
    }
}

// Installed versions equal to the last bitstream child of each FPGA, every
// font present.
Installed matching(const Package& p)
{
    auto toBcd = [](uint8_t v) { return uint8_t(((v / 10) << 4) | (v % 10)); };
    Installed in;
    in.local_reg43 = 0x3F;
    for (const Child& c : p.children) {
        const uint8_t t = c.header.file_type;
        if (t != kFpga0Bitstream && t != kFpga1Bitstream)
            continue;
        uint8_t* reg = in.fpga_reg[t - kFpga0Bitstream];
        reg[0] = c.header.Version[5];
        reg[1] = toBcd(uint8_t(c.header.Version[2] % 100));
        reg[2] = toBcd(uint8_t(c.header.Version[1] % 100));
        reg[3] = toBcd(uint8_t(c.header.Version[0] % 100));
    }
    return in;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    fuzz::holdFile(kPackage.toStdString(), data, size);
    const RawFile f{data, size};

    const Installed nothing;
    Package first;
    const int rc = read_package(kPackage, nothing, &first);
    checkPackage(first, rc, f, nothing);

    // Installed versions and fonts decide nothing but whether a child is
    // skipped for them.
    const Installed same = matching(first);
    Package second;
    FUZZ_CHECK(read_package(kPackage, same, &second) == rc);
    checkPackage(second, rc, f, same);
    FUZZ_CHECK(second.children.size() == first.children.size());
    auto skipped = [](const Child& c) { return c.verdict == Verdict::SameVersion || c.verdict == Verdict::FontsComplete; };
    for (size_t i = 0; i < first.children.size(); ++i) {
        const Child& a = first.children[i];
        const Child& b = second.children[i];
        if (!skipped(a) && !skipped(b))
            FUZZ_CHECK(a.verdict == b.verdict && a.data_offset == b.data_offset && a.data_len == b.data_len &&
                       a.flash_addr == b.flash_addr);
    }

    // Reads of package bytes stay inside the package.
    uint8_t buf[64];
    for (uint64_t at : {uint64_t(0), uint64_t(size) / 2, uint64_t(size)}) {
        for (uint32_t n : {0u, 1u, 64u}) {
            const int got = read_package_data(kPackage, uint32_t(at), buf, n);
            FUZZ_CHECK(got == (f.holds(at, n) ? kReadOk : kReadMalformed));
        }
    }
    return 0;
}

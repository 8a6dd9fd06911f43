// The upgrade-package reader: packages written by tools/vyxfiles.py parse to
// the children the tool was given, the gating rules decide which apply, and
// lying packages are passed over, whole or a child at a time, with a
// message instead of handing the writers a range outside the package or the
// transfer buffer.
#include "tests/support/sandbox.h"
#include "tests/support/vyxfiles_tool.h"

#include <QDir>
#include <QFile>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "fpga/upgrade_package.h"

using namespace upgrade;

namespace {

const QString kStickDir = QStringLiteral("/mnt/usb1/VYX-Q71");

class UpgradePackage : public Sandbox {
protected:
    // Writes a package with the tool into the stick's upgrade directory and
    // returns its system path.
    QString make(const QString& name, const QStringList& options, QJsonObject* manifest = nullptr)
    {
        QString sys = kStickDir + "/" + name;
        QDir().mkpath(QString::fromStdString(path(kStickDir.toStdString())));
        QJsonObject m = runVyxFiles(QStringList{"package", QString::fromStdString(path(sys.toStdString()))} + options,
                                    path("/tmp-manifest.json"));
        if (manifest)
            *manifest = m;
        return sys;
    }

    Package read(const QString& sys, const Installed& installed = Installed())
    {
        Package p;
        EXPECT_EQ(read_package(sys, installed, &p), kReadOk) << p.message.toStdString();
        return p;
    }

    std::vector<Verdict> verdicts(const Package& p)
    {
        std::vector<Verdict> v;
        for (const Child& c : p.children)
            v.push_back(c.verdict);
        return v;
    }

    QByteArray childBytes(const QString& sys, const Child& c)
    {
        QByteArray b(int(c.data_len), '\0');
        EXPECT_EQ(read_package_data(sys, c.data_offset, reinterpret_cast<uint8_t*>(b.data()), c.data_len), kReadOk);
        return b;
    }

    QuietLog quiet;
};

// Installed FPGA versions as the registers hold them: year, month, day in
// BCD, the function byte as it is.
Installed fpgaAt(int fpga, uint8_t year, uint8_t month, uint8_t day, uint8_t function)
{
    Installed in;
    auto toBcd = [](uint8_t v) { return uint8_t(((v / 10) << 4) | (v % 10)); };
    in.fpga_reg[fpga][0] = function;
    in.fpga_reg[fpga][1] = toBcd(day);
    in.fpga_reg[fpga][2] = toBcd(month);
    in.fpga_reg[fpga][3] = toBcd(year);
    return in;
}

} // namespace

TEST_F(UpgradePackage, ToolPackageGivesEveryChildAndItsBytes)
{
    QJsonObject m;
    QString sys = make("all.VYX",
                       {"--fpga0", "size:70000", "--fpga1", "size:3000", "--app", "size:50000", "--font", "size:4096",
                        "--font-height", "64", "--app-version", "26,5,1,11,2,0", "--fpga0-version", "25,12,31,1,0,7"},
                       &m);
    Package p = read(sys);
    EXPECT_EQ(p.header.ControllerType, kControllerType);
    EXPECT_EQ(p.header.PublishType, 0);
    EXPECT_EQ(p.header.FileNum, 4);
    ASSERT_EQ(p.children.size(), 4u);
    EXPECT_EQ(verdicts(p), std::vector<Verdict>(4, Verdict::Write));

    QJsonArray made = m["children"].toArray();
    for (size_t i = 0; i < p.children.size(); ++i) {
        const Child& c = p.children[i];
        QJsonObject mc = made[int(i)].toObject();
        EXPECT_EQ(c.header.file_type, jsonU32(mc["file_type"]));
        EXPECT_EQ(c.header.file_len, jsonU32(mc["file_len"]));
        EXPECT_EQ(c.header.file_offset, jsonU32(mc["file_offset"]));
        EXPECT_EQ(c.data_offset, jsonU32(mc["data_offset"]));
        EXPECT_EQ(c.data_len, jsonU32(mc["data_len"]));
        EXPECT_EQ(sha256(childBytes(sys, c)), mc["data_sha256"].toString().toStdString()) << "child " << i;
    }
    const Child& fpga0 = p.children[0];
    EXPECT_EQ(fpga0.header.file_type, kFpga0Bitstream);
    EXPECT_EQ(fpga0.bitstream.length, 70000u);
    EXPECT_EQ(fpga0.bitstream.file_type, 1);
    EXPECT_EQ(fpga0.header.Version[0], 25);
    EXPECT_EQ(fpga0.header.Version[5], 7);
    EXPECT_EQ(p.children[1].bitstream.file_type, 2);
    EXPECT_EQ(p.children[2].header.Version[1], 5);
    const Child& font = p.children[3];
    EXPECT_EQ(font.font_encoding, 0);
    EXPECT_EQ(font.font_height, 64);
    EXPECT_EQ(font.flash_addr, 0x450000u);
    EXPECT_EQ(font.data_len, 4096u) << "the font is written whole, its own head included";
}

TEST_F(UpgradePackage, GatingByControllerPublishTypeAndInstalledVersions)
{
    const QStringList children{"--fpga0", "size:100", "--fpga1", "size:100", "--app", "size:10", "--font", "size:64",
                               "--child", "99:size:5"};

    // Another controller type: no bitstream, no application; the font still applies.
    Package other = read(make("other.VYX", QStringList{"--controller-type", "0x1234"} + children));
    EXPECT_EQ(verdicts(other), (std::vector<Verdict>{Verdict::OtherController, Verdict::OtherController,
                                                     Verdict::OtherController, Verdict::Write, Verdict::Ignored}));

    // PublishType 128 skips what equals the installed version, and only that.
    Installed in = fpgaAt(0, 25, 12, 31, 7);
    in.fpga_reg[1][0] = 7; // FPGA 1 runs another date
    const QStringList same{"--app-version", "26,4,4,11,2,0", "--fpga0-version", "25,12,31,9,9,7", "--fpga1-version",
                           "25,12,31,0,0,7"};
    Package equal = read(make("equal.VYX", QStringList{"--publish-type", "128"} + children + same), in);
    EXPECT_EQ(verdicts(equal), (std::vector<Verdict>{Verdict::SameVersion, Verdict::Write, Verdict::SameVersion,
                                                     Verdict::Write, Verdict::Ignored}));
    // PublishType 0 writes them again.
    Package again = read(make("again.VYX", QStringList{"--publish-type", "0"} + children + same), in);
    EXPECT_EQ(verdicts(again), (std::vector<Verdict>{Verdict::Write, Verdict::Write, Verdict::Write, Verdict::Write,
                                                     Verdict::Ignored}));
    // A function byte that differs is another version.
    Installed fn = fpgaAt(0, 25, 12, 31, 8);
    EXPECT_EQ(read(make("equal.VYX", QStringList{"--publish-type", "128"} + children + same), fn).children[0].verdict,
              Verdict::Write);

    // Fonts: none while the scaler holds all six; areas by encoding and height.
    Installed full;
    full.local_reg43 = 0xFF;
    EXPECT_EQ(read(make("f.VYX", {"--font", "size:64"}), full).children[0].verdict, Verdict::FontsComplete);
    full.local_reg43 = 0x1F;
    EXPECT_EQ(read(make("f.VYX", {"--font", "size:64"}), full).children[0].flash_addr, 0x10000u);
    Child e1 = read(make("f.VYX", {"--font", "size:64", "--font-encoding", "1", "--font-height", "64"})).children[0];
    EXPECT_EQ(e1.flash_addr, 0x410000u);
    EXPECT_EQ(read(make("f.VYX", {"--font", "size:64", "--font-encoding", "1", "--font-height", "32"})).children[0].verdict,
              Verdict::NoFontArea);
    EXPECT_EQ(read(make("f.VYX", {"--font", "size:64", "--font-encoding", "2"})).children[0].verdict,
              Verdict::NoFontArea);
}

TEST_F(UpgradePackage, LyingLengthsPassTheChildOverWithAMessage)
{
    QString sys = make("p.VYX", {"--fpga0", "size:100", "--app", "size:10", "--font", "size:64"});
    const std::string host = path(sys.toStdString());
    const QByteArray good = readFile(sys.toStdString());
    auto patch = [&](int at, uint32_t v) {
        QByteArray b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (8 * i));
        return b;
    };
    auto patched = [&](int at, uint32_t v) {
        writeFile(sys.toStdString(), patch(at, v));
        return read(sys);
    };
    const int child0 = 49, child1 = 49 + 21;

    // A child larger than the transfer buffer, in a package long enough to
    // hold it.
    QByteArray padded = patch(child1 + 1, kTransferBufferSize + 1);
    const uint32_t appAt = le32(reinterpret_cast<const uint8_t*>(good.constData()) + child1 + 5);
    padded.append(QByteArray(int(appAt + kTransferBufferSize + 1) - padded.size(), '\0'));
    writeFile(sys.toStdString(), padded);
    Package big = read(sys);
    ASSERT_EQ(big.children.size(), 3u);
    EXPECT_EQ(big.children[1].verdict, Verdict::Malformed);
    EXPECT_TRUE(big.children[1].message.contains("transfer buffer")) << big.children[1].message.toStdString();
    EXPECT_EQ(big.children[2].verdict, Verdict::Write) << "the rest of the package still applies";

    // A child placed past the end, one whose offset wraps in 32 bits, one
    // inside the headers: the table does not fit the package, which is
    // passed over whole, its good children too.
    for (uint32_t offset : {0xFFFFFFF0u, uint32_t(good.size()) - 5, uint32_t(child1)}) {
        writeFile(sys.toStdString(), patch(child1 + 5, offset));
        Package misplaced;
        EXPECT_EQ(read_package(sys, Installed(), &misplaced), kReadMalformed) << offset;
        EXPECT_TRUE(misplaced.children.empty()) << offset;
        EXPECT_TRUE(misplaced.message.contains(QStringLiteral("damaged: child 1 (type 10)"))) << misplaced.message.toStdString();
        EXPECT_TRUE(misplaced.message.contains("nothing written from it")) << misplaced.message.toStdString();
    }

    // A bitstream header naming more than its child holds.
    uint32_t inner = le32(reinterpret_cast<const uint8_t*>(good.constData()) + child0 + 5);
    Package liar = patched(int(inner) + 31, 0x7FFFFFFFu);
    EXPECT_EQ(liar.children[0].verdict, Verdict::Malformed);
    EXPECT_TRUE(liar.children[0].message.contains("bitstream")) << liar.children[0].message.toStdString();
    // A zero-length bitstream is written as nothing.
    Package none = patched(int(inner) + 31, 0);
    EXPECT_EQ(none.children[0].verdict, Verdict::Write);
    EXPECT_EQ(none.children[0].data_len, 0u);

    // An empty application would replace the controller with nothing.
    EXPECT_EQ(patched(child1 + 1, 0).children[1].verdict, Verdict::Malformed);

    // FileNum beyond the headers present: the package is damaged and passed
    // over whole, before any child of it is decided.
    const int fit = (good.size() - 49) / 21;
    for (int fileNum : {0xFFFF, fit + 1}) {
        QByteArray many = good;
        many[47] = char(fileNum);
        many[48] = char(fileNum >> 8);
        writeFile(sys.toStdString(), many);
        Package cut;
        EXPECT_EQ(read_package(sys, Installed(), &cut), kReadMalformed) << fileNum;
        EXPECT_TRUE(cut.children.empty()) << fileNum;
        EXPECT_TRUE(cut.message.contains(QStringLiteral("damaged: its %1 child headers").arg(fileNum)))
            << cut.message.toStdString();
        EXPECT_TRUE(cut.message.contains("nothing written from it")) << cut.message.toStdString();
    }
    // As many headers as fit: the children's own bytes read as headers, and
    // the real children start inside them. Damaged too.
    QByteArray full = good;
    full[47] = char(fit);
    full[48] = char(fit >> 8);
    writeFile(sys.toStdString(), full);
    Package garbage;
    EXPECT_EQ(read_package(sys, Installed(), &garbage), kReadMalformed);
    EXPECT_TRUE(garbage.children.empty());
    EXPECT_TRUE(garbage.message.contains(
        QStringLiteral("damaged: child 0 (type 7) starts at byte 112, inside the package's headers, which end at byte %1")
            .arg(49 + 21 * fit)))
        << garbage.message.toStdString();

    // Shorter than a header, and no file at all: passed over.
    writeFile(sys.toStdString(), good.left(30));
    Package shortOne;
    EXPECT_EQ(read_package(sys, Installed(), &shortOne), kReadMalformed);
    EXPECT_TRUE(shortOne.children.empty());
    EXPECT_FALSE(shortOne.message.isEmpty());
    EXPECT_EQ(read_package(kStickDir + "/none.VYX", Installed(), &shortOne), kReadMissing);

    // Reads of child bytes stay inside the package.
    uint8_t buf[16];
    EXPECT_EQ(read_package_data(sys, 20, buf, 16), kReadMalformed);
    EXPECT_EQ(read_package_data(sys, 14, buf, 16), kReadOk);
}

TEST_F(UpgradePackage, BitstreamThatWouldReachTheStoredParametersIsRefused)
{
    QString big = QString::fromStdString(path("/big.bin"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.resize(kBitstreamLimit + 1);
    }
    Package p = read(make("big.VYX", {"--fpga0", big}));
    EXPECT_EQ(p.children[0].verdict, Verdict::Malformed);
    QFile(big).resize(kBitstreamLimit);
    EXPECT_EQ(read(make("fits.VYX", {"--fpga0", big})).children[0].verdict, Verdict::Write);
}

TEST_F(UpgradePackage, FontLongerThanItsAreaIsRefused)
{
    // Written whole from its area's start, a longer font would overwrite the
    // font after it: 64-dot ASCII before 64-dot Chinese, 32-dot Chinese
    // before 64-dot ASCII.
    QString font = QString::fromStdString(path("/font.bin"));
    auto fontOf = [&](qint64 size, const QString& encoding, const QString& height) {
        {
            QFile f(font);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.resize(size);
        }
        return read(make("font.VYX", {"--font", font, "--font-encoding", encoding, "--font-height", height})).children[0];
    };
    Child c = fontOf(0x40001, "1", "64");
    EXPECT_EQ(c.verdict, Verdict::Malformed);
    EXPECT_TRUE(c.message.contains("area")) << c.message.toStdString();
    c = fontOf(0x40000, "1", "64");
    EXPECT_EQ(c.verdict, Verdict::Write);
    EXPECT_EQ(c.flash_addr, 0x410000u);
    EXPECT_EQ(fontOf(0x400001, "0", "32").verdict, Verdict::Malformed);
    c = fontOf(0x400000, "0", "32");
    EXPECT_EQ(c.verdict, Verdict::Write);
    EXPECT_EQ(c.data_len, 0x400000u);
    // 64-dot Chinese has room for anything the transfer buffer takes.
    EXPECT_EQ(fontOf(kTransferBufferSize, "0", "64").verdict, Verdict::Write);
}

TEST_F(UpgradePackage, OneListingForWorkerAndScreen)
{
    EXPECT_EQ(package_dir(" "), "/mnt/usb1/");
    EXPECT_EQ(package_dir("VYX-Q71"), "/mnt/usb1/VYX-Q71");
    EXPECT_EQ(package_dir(""), "/mnt/usb1/");

    for (const char* name : {"b.VYXZK", "A.VYX", "update.vyx", "c.VYX.bak", ".h.VYX", "x.b.VYX", "VYX", "z.VYXZ"})
        writeFile("/mnt/usb1/VYX-Q71/" + std::string(name), "x");
    QDir().mkpath(QString::fromStdString(path("/mnt/usb1/VYX-Q71/d.VYX")));
    QFile::link(QString::fromStdString(path("/mnt/usb1/VYX-Q71/A.VYX")),
                QString::fromStdString(path("/mnt/usb1/VYX-Q71/l.VYX")));
    EXPECT_EQ(list_packages("VYX-Q71"),
              (QStringList{"/mnt/usb1/VYX-Q71/A.VYX", "/mnt/usb1/VYX-Q71/b.VYXZK", "/mnt/usb1/VYX-Q71/x.b.VYX"}));
    EXPECT_TRUE(list_packages(" ").isEmpty());
    writeFile("/mnt/usb1/root.VYX", "x");
    EXPECT_EQ(list_packages(" "), QStringList{"/mnt/usb1/root.VYX"});
    EXPECT_TRUE(list_packages("missing").isEmpty());

    // 300 packages: the first 100 by name, the count never wraps.
    for (int i = 0; i < 300; ++i)
        writeFile(QString("/mnt/usb1/many/p%1.VYX").arg(i, 3, 10, QChar('0')).toStdString(), "x");
    QStringList many = list_packages("many");
    ASSERT_EQ(many.size(), kMaxPackages);
    EXPECT_EQ(many.first(), "/mnt/usb1/many/p000.VYX");
    EXPECT_EQ(many.last(), "/mnt/usb1/many/p099.VYX");
}

TEST_F(UpgradePackage, TwoHundredDamagedPackagesEndInMessagesNotCrashes)
{
    QString sys = make("fuzz.VYX", {"--fpga0", "size:300", "--fpga1", "size:80", "--app", "size:200", "--font",
                                    "size:64", "--child", "3:size:20"});
    const QByteArray good = readFile(sys.toStdString());
    g_debugSwitch = 0;
    std::mt19937 rng(7001);
    int passedOver = 0, written = 0;
    for (int n = 0; n < 200; ++n) {
        QByteArray bad = damage(good, rng);
        writeFile(sys.toStdString(), bad);
        Package p;
        int r = read_package(sys, Installed(), &p);
        ASSERT_LE(r, kReadMalformed);
        if (r != kReadOk) {
            EXPECT_FALSE(p.message.isEmpty()) << "case " << n;
            ++passedOver;
            continue;
        }
        for (const Child& c : p.children) {
            if (c.verdict == Verdict::Malformed || c.verdict == Verdict::NoFontArea) {
                EXPECT_FALSE(c.message.isEmpty()) << "case " << n;
                ++passedOver;
            }
            if (c.verdict != Verdict::Write)
                continue;
            ++written;
            EXPECT_LE(uint64_t(c.data_offset) + c.data_len, uint64_t(bad.size())) << "case " << n;
            EXPECT_LE(c.header.file_len, kTransferBufferSize) << "case " << n;
            std::vector<uint8_t> buf(c.data_len + 1);
            EXPECT_EQ(read_package_data(sys, c.data_offset, buf.data(), c.data_len), kReadOk) << "case " << n;
        }
    }
    EXPECT_GT(passedOver, 30);
    EXPECT_GT(written, 100);
}

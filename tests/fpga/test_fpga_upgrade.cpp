// USB firmware upgrades on the simulated device: packages made by
// tools/vyxfiles.py are put on the simulated stick ("<root>/mnt/usb1/"), the
// upgrade is started as the upgrade screen starts it (mailbox step 0,
// g_usb_grade), and the worker's turns write the FPGA flashes, the scaler's
// font flash and the application, then restart what they changed.
#include "fpga_fixture.h"
#include "tests/support/vyxfiles_tool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <random>
#include <thread>

#include "core/screen_hooks.h"
#include "fpga/upgrade_package.h"
#include "platform/c331_sim.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "scaler/c331_manage.h"
#include "ui/shell/mainwindow.h"

namespace {

const std::string kStick = "/mnt/usb1/VYX-Q71";
const std::string kApp = "/data/app/vyxQ58N";
const std::string kStaged = "/data/app/vyxQ58N2";
const std::string kLoader = "/data/configs/led_load_config.ini";
const std::string kMv = "mv /data/app/vyxQ58N2  /data/app/vyxQ58N";

struct FlashCall {
    std::string op;
    uint32_t addr, len;
    QByteArray data;
};

class UsbUpgrade : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 0)));
        g_usb_grade_path = QStringLiteral("VYX-Q71");
        startUp();
        m = fpga_manage::p_fpga_manage;
        scaler = c331_manage::createForTest();
        fpga_manage::scaler_flash_hook = [this](const char* op, uint32_t addr, uint32_t len, const uint8_t* data) {
            flash.push_back({op, addr, len, data ? QByteArray(reinterpret_cast<const char*>(data), int(len)) : QByteArray()});
        };
        writeFile(kApp, "the running application");
        sim(0).clearLogs();
        sim(1).clearLogs();
        platform::simShell().clearLog();
        codes.clear();
    }
    void TearDown() override
    {
        for (int h = 0; h < int(ScreenHook::Count); ++h)
            screen_hooks::set(ScreenHook(h), nullptr);
        delete g_mainwindow;
        g_mainwindow = nullptr;
        platform::setClockForTest(QDateTime());
        FpgaTest::TearDown();
    }

    // A package written by the tool onto the stick; its manifest.
    QJsonObject make(const QString& name, const QStringList& options)
    {
        QDir().mkpath(QString::fromStdString(path(kStick)));
        return runVyxFiles(QStringList{"package", QString::fromStdString(path(kStick + "/" + name.toStdString()))} +
                               options,
                           path("/tmp-manifest.json"));
    }
    QByteArray package(const QString& name) const { return readFile(kStick + "/" + name.toStdString()); }
    // The bytes of child i as the manifest places them in the package.
    QByteArray child(const QString& name, const QJsonObject& manifest, int i) const
    {
        QJsonObject c = manifest["children"].toArray()[i].toObject();
        return package(name).mid(int(jsonU32(c["data_offset"])), int(jsonU32(c["data_len"])));
    }

    // Starts the upgrade as the upgrade screen does and runs the worker's
    // turns until it ends; the number of turns.
    int upgrade()
    {
        g_send_para.step = 0;
        g_usb_grade = 1;
        int turns = 0;
        while (g_usb_grade.load() != 0 && turns < 20) {
            ++G_timeTicks;
            m->usb_upgrade_manage_deal(nullptr);
            ++turns;
        }
        return turns;
    }

    std::vector<SimFpga::FlashOp> ops(int f, SimFpga::FlashOp::Kind kind) const
    {
        std::vector<SimFpga::FlashOp> out;
        for (const SimFpga::FlashOp& op : sim(f).flashOps())
            if (op.kind == kind)
                out.push_back(op);
        return out;
    }
    bool logged(const std::string& command) const
    {
        for (const std::string& c : platform::simShell().log())
            if (c == command)
                return true;
        return false;
    }
    int syncs() const
    {
        int n = 0;
        for (const std::string& c : platform::simShell().log())
            n += c == "sync";
        return n;
    }
    bool reported(const QString& text) const
    {
        for (const QString& line : m->usb_grade_report())
            if (line.contains(text))
                return true;
        return false;
    }
    // Nothing of the application changed: no move, no loader, no reboot.
    void expectApplicationUntouched()
    {
        EXPECT_EQ(readFile(kApp), QByteArray("the running application"));
        EXPECT_FALSE(exists(kStaged));
        EXPECT_FALSE(exists(kLoader));
        EXPECT_FALSE(logged(kMv));
        EXPECT_FALSE(logged("chmod 777 -R /data/app"));
        EXPECT_EQ(g_app_reset_flag.load(), 0);
    }

    // Every flash an upgrade writes, filled as on a running device, to be
    // found byte for byte the same after a package that must write nothing.
    struct Flashes {
        Bytes fpga[2];
        Bytes fonts;
    };
    static constexpr uint32_t kFontsStart = 0x10000, kFontsEnd = 0xED9800; // the three font areas
    Flashes fillFlashes(uint32_t seed)
    {
        std::mt19937 rng(seed);
        auto random = [&rng](size_t n) {
            Bytes b(n);
            for (uint8_t& v : b)
                v = uint8_t(rng());
            return b;
        };
        Flashes was;
        for (int f = 0; f < 2; ++f) {
            was.fpga[f] = random(SimFpga::kFlashSize);
            sim(f).pokeFlash(0, was.fpga[f]);
        }
        was.fonts = random(kFontsEnd - kFontsStart);
        platform::simScaler().flashLoad(kFontsStart, was.fonts);
        return was;
    }
    // Nothing erased, written, installed or restarted.
    void expectNothingWritten(const Flashes& was, const std::string& what)
    {
        for (int f = 0; f < 2; ++f) {
            EXPECT_TRUE(ops(f, SimFpga::FlashOp::Erase).empty()) << what << ", FPGA " << f;
            EXPECT_TRUE(ops(f, SimFpga::FlashOp::Program).empty()) << what << ", FPGA " << f;
            EXPECT_TRUE(sim(f).flash(0, SimFpga::kFlashSize) == was.fpga[f]) << what << ", FPGA " << f;
            EXPECT_EQ(m->rst_pending[f], 0) << what << ", FPGA " << f;
        }
        EXPECT_TRUE(flash.empty()) << what << ": the scaler's flash erased or written";
        EXPECT_TRUE(platform::simScaler().flashContent(kFontsStart, kFontsEnd - kFontsStart) == was.fonts) << what;
        expectApplicationUntouched();
    }

    fpga_manage* m = nullptr;
    c331_manage* scaler = nullptr;
    std::vector<FlashCall> flash;
    QuietLog quiet;
};

TEST_F(UsbUpgrade, PackageWritesEveryChildInstallsTheApplicationAndReboots)
{
    QJsonObject made = make("all.VYX", {"--fpga0", "size:70000", "--app", "size:100000", "--font", "size:40000",
                                        "--font-height", "64"});
    const QByteArray bitstream = child("all.VYX", made, 0), app = child("all.VYX", made, 1),
                     font = child("all.VYX", made, 2);
    ASSERT_EQ(bitstream.size(), 70000);

    EXPECT_EQ(upgrade(), 4);
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_EQ(g_send_para.step.load(), 0);
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
    EXPECT_EQ(m->usb_grade_time(), QStringLiteral("9:5:0    9:5:0"));
    EXPECT_TRUE(m->usb_grade_report().isEmpty()) << m->usb_grade_report().join('\n').toStdString();
    EXPECT_FALSE(m->usb_grade_failed());

    // FPGA 0's flash holds the bitstream: two 32 KB blocks and two 4 KB
    // sectors erased, then written.
    auto erased = ops(0, SimFpga::FlashOp::Erase);
    ASSERT_EQ(erased.size(), 4u);
    EXPECT_EQ(erased[0].addr, 0u);
    EXPECT_EQ(erased[0].length, 32768u);
    EXPECT_EQ(erased[1].addr, 0x8000u);
    EXPECT_EQ(erased[1].length, 32768u);
    EXPECT_EQ(erased[2].addr, 0x10000u);
    EXPECT_EQ(erased[2].length, 4096u);
    EXPECT_EQ(erased[3].addr, 0x11000u);
    Bytes onFlash = sim(0).flash(0, 70000);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(onFlash.data()), 70000), bitstream);
    EXPECT_TRUE(ops(1, SimFpga::FlashOp::Erase).empty());

    // The font went to the 64-dot area of the scaler's flash: erased in
    // one block and two sectors, written in 16 KB pieces.
    ASSERT_EQ(flash.size(), 6u);
    EXPECT_EQ(flash[0].op, "erase");
    EXPECT_EQ(flash[0].addr, 0x450000u);
    EXPECT_EQ(flash[0].len, 32768u);
    EXPECT_EQ(flash[1].addr, 0x458000u);
    EXPECT_EQ(flash[1].len, 4096u);
    EXPECT_EQ(flash[2].addr, 0x459000u);
    QByteArray written;
    uint32_t at = 0x450000;
    for (size_t i = 3; i < flash.size(); ++i) {
        EXPECT_EQ(flash[i].op, "write");
        EXPECT_EQ(flash[i].addr, at);
        at += flash[i].len;
        written += flash[i].data;
    }
    EXPECT_EQ(flash[3].len, 16384u);
    EXPECT_EQ(written, font);

    // The application replaced the running one after its read-back; the
    // loader starts it and the device reboots 300 ticks later.
    EXPECT_EQ(readFile(kApp), app);
    EXPECT_FALSE(exists(kStaged));
    EXPECT_TRUE(logged("chmod 777 -R /data/app"));
    EXPECT_TRUE(logged(kMv));
    QSettings loader(QString::fromStdString(path(kLoader)), QSettings::IniFormat);
    EXPECT_EQ(loader.value("app-1/app_path").toString(), QStringLiteral("/data/app/vyxQ58N -platform linuxfb"));
    EXPECT_EQ(loader.value("app-1/app_name").toString(), QStringLiteral("vyxQ58N"));
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_EQ(G_reboot_tickTicks.load(), G_timeTicks.load() - 1); // stamped in the turn that applied
    // With a reboot coming, the FPGAs are not restarted here.
    EXPECT_EQ(m->rst_pending[0], 0);

    bool rebooted = false;
    platform::simShell().setRebootHandler([&] { rebooted = true; });
    MainWindow window;
    while (Utils::getTimeSpace(G_reboot_tickTicks) < 299)
        window.slot_update_timer_ticks();
    EXPECT_FALSE(logged("reboot"));
    window.slot_update_timer_ticks();
    EXPECT_TRUE(logged("reboot"));
    EXPECT_TRUE(rebooted);
}

TEST_F(UsbUpgrade, ApplicationThatReadsBackDifferentIsNotInstalled)
{
    make("app.VYX", {"--app", "size:5000", "--fpga0", "size:5000"});
    // The storage garbles the staged file between its write and read-back.
    platform::simShell().setObserver([this](const std::string& command) {
        if (command == "sync" && exists(kStaged)) {
            QFile f(QString::fromStdString(path(kStaged)));
            if (f.open(QIODevice::ReadWrite) && f.size() == 5000) {
                f.seek(1234);
                f.write("\x5A\xA5", 2);
            }
        }
    });
    upgrade();
    platform::simShell().setObserver(nullptr);
    expectApplicationUntouched();
    EXPECT_TRUE(reported(QStringLiteral("reads back different at byte 1234"))) << m->usb_grade_report().join('\n').toStdString();
    EXPECT_TRUE(m->usb_grade_failed());
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
    // The bitstream of the same package went in, and FPGA 0 restarts from it.
    EXPECT_EQ(m->rst_pending[0], 1);
    EXPECT_TRUE(sim(0).inReset());
}

TEST_F(UsbUpgrade, ApplicationThatCannotBeWrittenOrReadWholeIsNotInstalled)
{
    make("app.VYX", {"--app", "size:5000"});
    // A directory where the staged file goes: nothing can be written.
    QDir().mkpath(QString::fromStdString(path(kStaged)));
    upgrade();
    EXPECT_EQ(readFile(kApp), QByteArray("the running application"));
    EXPECT_FALSE(logged(kMv));
    EXPECT_EQ(g_app_reset_flag.load(), 0);
    EXPECT_TRUE(reported(QStringLiteral("could not be written whole")));
    QDir(QString::fromStdString(path(kStaged))).removeRecursively();

    // A package cut inside its application child: the child is passed over.
    QByteArray cut = package("app.VYX");
    cut.chop(10);
    writeFile(kStick + "/app.VYX", cut);
    upgrade();
    expectApplicationUntouched();
    EXPECT_TRUE(reported(QStringLiteral("past the end of the package")));

    // A child header naming more than the 5 MB transfer buffer, in a
    // package long enough to hold it.
    QByteArray big = package("app.VYX");
    uint8_t* h = reinterpret_cast<uint8_t*>(big.data()) + upgrade::kHeaderSize;
    putLe32(h + 1, upgrade::kTransferBufferSize + 1);
    big.append(QByteArray(int(le32(h + 5) + upgrade::kTransferBufferSize + 1) - big.size(), '\0'));
    writeFile(kStick + "/app.VYX", big);
    upgrade();
    expectApplicationUntouched();
    EXPECT_TRUE(reported(QStringLiteral("larger than the 5242880-byte transfer buffer")));
}

// The stick pulled while the worker writes the first of two 3 MB
// bitstreams: the package reads short from the middle of that bitstream on.
// Every child is read whole before its flash is erased, so each flash keeps
// what it held, byte for byte, the application stays, nothing restarts, and
// the upgrade ends as a failure.
TEST_F(UsbUpgrade, AStickPulledInsideABitstreamLeavesEveryFlashAsItWas)
{
    QJsonObject made = make("all.VYX", {"--fpga0", "size:3100000", "--fpga1", "size:3100000", "--app", "size:100000",
                                        "--font", "size:40000", "--font-height", "64"});
    std::mt19937 rng(38);
    Bytes running[2];
    for (int f = 0; f < 2; ++f) {
        running[f].resize(3200000);
        for (uint8_t& b : running[f])
            b = uint8_t(rng());
        sim(f).pokeFlash(0, running[f]);
    }
    Bytes font(40000);
    for (uint8_t& b : font)
        b = uint8_t(rng());
    platform::simScaler().flashLoad(0x450000, font);
    const int cut = int(jsonU32(made["children"].toArray()[0].toObject()["data_offset"])) + 1998848;
    bool pulled = false;
    platform::simShell().setObserver([&](const std::string& command) {
        if (command == "sync" && !pulled) {
            QFile package(QString::fromStdString(path(kStick + "/all.VYX")));
            pulled = package.resize(cut);
        }
    });
    upgrade();
    platform::simShell().setObserver(nullptr);
    ASSERT_TRUE(pulled);

    for (int f = 0; f < 2; ++f) {
        EXPECT_TRUE(ops(f, SimFpga::FlashOp::Erase).empty()) << "FPGA " << f;
        EXPECT_TRUE(ops(f, SimFpga::FlashOp::Program).empty()) << "FPGA " << f;
        EXPECT_TRUE(sim(f).flash(0, uint32_t(running[f].size())) == running[f]) << "FPGA " << f;
        EXPECT_EQ(m->rst_pending[f], 0);
    }
    EXPECT_TRUE(flash.empty()) << "nothing erased or written for the font";
    EXPECT_EQ(platform::simScaler().flashContent(0x450000, 40000), font);
    expectApplicationUntouched();
    EXPECT_TRUE(reported(QStringLiteral("all.VYX: FPGA 0 bitstream cannot be read whole: its flash is left as it was")))
        << m->usb_grade_report().join('\n').toStdString();
    EXPECT_TRUE(m->usb_grade_failed());
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
}

// A 100 KB package whose header names 65535 children: its child headers
// would run past its end, so it is passed over at once, with a message and
// nothing written, not walked header by header for minutes.
TEST_F(UsbUpgrade, APackageWhoseChildHeadersRunPastItsEndEndsAtOnce)
{
    std::mt19937 rng(3838);
    QByteArray bad(100 * 1024, '\0');
    for (char& b : bad)
        b = char(rng());
    uint8_t* h = reinterpret_cast<uint8_t*>(bad.data());
    putLe16(h + 18, upgrade::kControllerType);
    putLe16(h + 47, 0xFFFF);
    QDir().mkpath(QString::fromStdString(path(kStick)));
    writeFile(kStick + "/bad.VYX", bad);

    EXPECT_EQ(upgrade(), 4);
    EXPECT_LE(syncs(), 2) << "one look at the package, no walk over its children";
    EXPECT_TRUE(reported(QStringLiteral("damaged: its 65535 child headers would end at byte 1376284 of a "
                                        "102400-byte package: nothing written from it")))
        << m->usb_grade_report().join('\n').toStdString();
    EXPECT_TRUE(m->usb_grade_failed());
    for (int f = 0; f < 2; ++f)
        EXPECT_TRUE(sim(f).flashOps().empty()) << "FPGA " << f;
    EXPECT_TRUE(flash.empty());
    expectApplicationUntouched();
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
}

// FileNum damaged to 0xFFFF in a package long enough that its 65535 child
// headers still end inside it (at byte 1,376,284): from the fourth on they
// are the children's own bytes. And a random file with the same FileNum.
// Each is passed over at once, before anything is written, with one
// message and the upgrade recorded as failed; walked header by header it
// held the "Updating" dialog for nearly two hours and flooded the output.
TEST_F(UsbUpgrade, ADamagedChildCountWhoseHeadersStillFitWritesNothingAndEndsAtOnce)
{
    // A valid 7,350,240-byte package of two 3,000,000-byte bitstreams and
    // a 1,350,000-byte application.
    std::mt19937 rng(0xFFFF);
    auto source = [&](const std::string& name, int n) {
        QByteArray b(n, '\0');
        for (char& c : b)
            c = char(rng());
        writeFile("/src/" + name, b);
        return QString::fromStdString(path("/src/" + name));
    };
    make("three.VYX", {"--fpga0", source("fpga0", 3000000), "--fpga1", source("fpga1", 3000000), "--app",
                       source("app", 1350000)});
    QByteArray three = package("three.VYX");
    ASSERT_EQ(three.size(), 7350240);
    QDir(QString::fromStdString(path(kStick))).removeRecursively();
    putLe16(reinterpret_cast<uint8_t*>(three.data()) + 47, 0xFFFF);

    QByteArray noise(2 * 1024 * 1024, '\0');
    for (char& c : noise)
        c = char(rng());
    putLe16(reinterpret_cast<uint8_t*>(noise.data()) + 18, upgrade::kControllerType);
    putLe16(reinterpret_cast<uint8_t*>(noise.data()) + 47, 0xFFFF);

    const Flashes was = fillFlashes(1376284);
    const struct {
        const char* name;
        const QByteArray& bytes;
        const char* says;
    } cases[] = {
        {"three.VYX", three, "damaged: child 0 (type 7) starts at byte 112, inside the package's headers, which end at "
                             "byte 1376284; "},
        {"noise.VYX", noise, "damaged: child 0 "},
    };
    for (const auto& c : cases) {
        QDir(QString::fromStdString(path(kStick))).removeRecursively();
        QDir().mkpath(QString::fromStdString(path(kStick)));
        writeFile(kStick + "/" + c.name, c.bytes);
        sim(0).clearLogs();
        sim(1).clearLogs();
        platform::simShell().clearLog();
        codes.clear();

        testing::internal::CaptureStdout();
        const int turns = upgrade();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(turns, 4) << c.name;
        EXPECT_LE(syncs(), 2) << c.name << ": one look at the package, no walk over its child headers";
        EXPECT_LE(std::count(out.begin(), out.end(), '\n'), 20) << c.name << ": a line per child header";
        EXPECT_TRUE(m->usb_grade_failed()) << c.name;
        EXPECT_TRUE(reported(QStringLiteral("%1: %2").arg(c.name, c.says)))
            << m->usb_grade_report().join('\n').toStdString();
        EXPECT_TRUE(reported(QStringLiteral("nothing written from it"))) << c.name;
        EXPECT_EQ(count(kChangeUsbUpgrade), 1) << c.name;
        expectNothingWritten(was, c.name);
    }
}

// Every child is placed against the package before anything is written: a
// child that starts inside the package or child headers, or ends past the
// package (offset + length taken in 64 bits), means the table cannot be
// trusted, and the whole package is passed over, the children that do fit
// too, whatever their type.
TEST_F(UsbUpgrade, AChildTableThatDoesNotFitThePackageIsPassedOverWhole)
{
    QJsonObject made = make("t.VYX", {"--fpga0", "size:5000", "--fpga1", "size:3000", "--app", "size:2000", "--font",
                                      "size:4096", "--font-height", "64", "--child", "99:size:5"});
    const QByteArray good = package("t.VYX");
    const uint32_t tableEnd = 49 + 21 * 5, size = uint32_t(good.size());
    auto offsetOf = [&](int i) { return jsonU32(made["children"].toArray()[i].toObject()["file_offset"]); };
    ASSERT_EQ(offsetOf(0), tableEnd);
    ASSERT_EQ(offsetOf(4) + 5, size);

    const struct {
        const char* what;
        int child;
        uint32_t len, offset;
        QString says;
    } cases[] = {
        {"a bitstream placed in the package header", 0, 5064, 40,
         QStringLiteral("child 0 (type 7) starts at byte 40, inside the package's headers, which end at byte 154")},
        {"an application on the last byte of the child headers", 2, 2000, tableEnd - 1,
         QStringLiteral("child 2 (type 10) starts at byte 153, inside the package's headers")},
        {"a font overlapping the child headers and the first child", 3, 4096, tableEnd - 100,
         QStringLiteral("child 3 (type 13) starts at byte 54, inside the package's headers")},
        {"a child of a type not upgraded, one byte past the end", 4, 6, size - 5,
         QStringLiteral("child 4 (type 99): 6 bytes at %1 lie past the end of the package (%2 bytes)").arg(size - 5).arg(size)},
        {"an application starting at the end", 2, 2000, size,
         QStringLiteral("child 2 (type 10): 2000 bytes at %1 lie past the end of the package").arg(size)},
        {"offset and length that wrap in 32 bits", 1, 0x200, 0xFFFFFF00u,
         QStringLiteral("child 1 (type 8): 512 bytes at 4294967040 lie past the end of the package")},
        {"a length of 4 GiB", 0, 0xFFFFFFFFu, tableEnd,
         QStringLiteral("child 0 (type 7): 4294967295 bytes at 154 lie past the end of the package")},
    };
    const Flashes was = fillFlashes(154);
    for (const auto& c : cases) {
        QByteArray bad = good;
        uint8_t* h = reinterpret_cast<uint8_t*>(bad.data()) + 49 + 21 * c.child;
        putLe32(h + 1, c.len);
        putLe32(h + 5, c.offset);
        writeFile(kStick + "/t.VYX", bad);
        sim(0).clearLogs();
        sim(1).clearLogs();
        platform::simShell().clearLog();
        codes.clear();

        EXPECT_EQ(upgrade(), 4) << c.what;
        EXPECT_LE(syncs(), 2) << c.what;
        EXPECT_TRUE(m->usb_grade_failed()) << c.what;
        EXPECT_TRUE(reported(QStringLiteral("t.VYX: damaged: ") + c.says))
            << c.what << ":\n" << m->usb_grade_report().join('\n').toStdString();
        EXPECT_TRUE(reported(QStringLiteral("nothing written from it"))) << c.what;
        EXPECT_EQ(count(kChangeUsbUpgrade), 1) << c.what;
        expectNothingWritten(was, c.what);
    }

    // The same package as made applies.
    writeFile(kStick + "/t.VYX", good);
    upgrade();
    EXPECT_FALSE(m->usb_grade_failed()) << m->usb_grade_report().join('\n').toStdString();
    EXPECT_EQ(ops(0, SimFpga::FlashOp::Erase).size(), 2u);
    EXPECT_EQ(readFile(kApp), child("t.VYX", made, 2));
}

TEST_F(UsbUpgrade, GatingDecidesWhatIsWrittenAndRestarted)
{
    // FPGA 0 runs 25-12-31 function 7 (registers in BCD).
    sim(0).setReg(31, 0x25);
    sim(0).setReg(30, 0x12);
    sim(0).setReg(29, 0x31);
    sim(0).setReg(28, 7);
    make("same.VYX", {"--publish-type", "128", "--fpga0", "size:5000", "--fpga0-version", "25,12,31,0,0,7"});
    upgrade();
    EXPECT_TRUE(ops(0, SimFpga::FlashOp::Erase).empty());
    EXPECT_EQ(m->rst_pending[0], 0);
    EXPECT_FALSE(m->usb_grade_failed()) << "a child skipped as it should be is no failure";

    // PublishType 0 writes it again and restarts FPGA 0 from it.
    QDir(QString::fromStdString(path(kStick))).removeRecursively();
    make("again.VYX", {"--publish-type", "0", "--fpga0", "size:5000", "--fpga0-version", "25,12,31,0,0,7"});
    upgrade();
    EXPECT_EQ(ops(0, SimFpga::FlashOp::Erase).size(), 2u);
    EXPECT_EQ(m->rst_pending[0], 1);
    EXPECT_EQ(m->rst_pending[1], 0);

    // Another controller: neither bitstream nor application, the font still.
    QDir(QString::fromStdString(path(kStick))).removeRecursively();
    sim(1).clearLogs();
    make("other.VYX", {"--controller-type", "0x1234", "--fpga1", "size:5000", "--app", "size:100", "--font",
                       "size:100", "--font-height", "32"});
    upgrade();
    EXPECT_TRUE(ops(1, SimFpga::FlashOp::Erase).empty());
    expectApplicationUntouched();
    ASSERT_FALSE(flash.empty());
    EXPECT_EQ(flash[0].addr, 0x10000u);
    EXPECT_TRUE(reported(QStringLiteral("for controller type 1234")));
    EXPECT_FALSE(m->usb_grade_failed());

    // With every font present (local register 43) the font is left alone.
    flash.clear();
    store->local_reg[43] = 0x3F;
    upgrade();
    EXPECT_TRUE(flash.empty());
}

// A later package whose child equals what is installed does not undo what
// an earlier package wrote.
TEST_F(UsbUpgrade, ASkippedChildLeavesWhatAnEarlierPackageWrote)
{
    QJsonObject made = make("a.VYX", {"--app", "size:3000", "--fpga0", "size:4096"});
    sim(0).setReg(31, 0x25);
    sim(0).setReg(30, 0x12);
    sim(0).setReg(29, 0x31);
    sim(0).setReg(28, 7);
    make("b.VYX", {"--publish-type", "128", "--app", "size:100", "--app-version", "26,4,4,11,2,0", "--fpga0",
                   "size:4096", "--fpga0-version", "25,12,31,0,0,7"});
    upgrade();
    EXPECT_EQ(readFile(kApp), child("a.VYX", made, 1)); // bitstreams come first
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_TRUE(reported(QStringLiteral("this application version is installed")));
}

TEST_F(UsbUpgrade, FpgaOneBitstreamGoesToItsOwnFlash)
{
    QJsonObject made = make("one.VYX", {"--fpga1", "size:9000"});
    upgrade();
    Bytes onFlash = sim(1).flash(0, 9000);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(onFlash.data()), 9000), child("one.VYX", made, 0));
    EXPECT_TRUE(ops(0, SimFpga::FlashOp::Erase).empty());
    EXPECT_EQ(m->rst_pending[1], 1);
}

// The listing is the upgrade screen's: exact suffixes, name order.
TEST_F(UsbUpgrade, OnlyListedPackagesApplyInNameOrder)
{
    make("b.VYXZK", {"--fpga0", "size:4096"});
    make("a.VYX", {"--fpga1", "size:4096"});
    make("update.vyx", {"--app", "size:100"});
    make("c.VYX.bak", {"--app", "size:100"});
    upgrade();
    EXPECT_EQ(m->usb.found, 2);
    ASSERT_EQ(m->usb.packages.size(), 2);
    EXPECT_TRUE(m->usb.packages[0].endsWith("/a.VYX"));
    EXPECT_EQ(m->usb.packages, upgrade::list_packages(g_usb_grade_path));
    EXPECT_EQ(ops(0, SimFpga::FlashOp::Erase).size(), 1u);
    EXPECT_EQ(ops(1, SimFpga::FlashOp::Erase).size(), 1u);
    expectApplicationUntouched();

    // A blank setting lists the stick's root.
    g_usb_grade_path = QStringLiteral(" ");
    upgrade();
    EXPECT_EQ(m->usb.found, 0);
}

// A font the scaler's flash does not take is reported in the upgrade's log,
// not counted as written, and its failed flash asked nothing more.
TEST_F(UsbUpgrade, AFontTheScalersFlashDoesNotTakeIsReported)
{
    make("font.VYX", {"--font", "size:40000", "--font-height", "64"});
    const uint32_t status = scaler->font_status.load();
    platform::simScaler().setStuckBusy(true);
    EXPECT_EQ(upgrade(), 4);
    platform::simScaler().setStuckBusy(false);
    EXPECT_TRUE(reported(QStringLiteral("font.VYX: the scaler's flash could not be erased for the font: not written")))
        << m->usb_grade_report().join('\n').toStdString();
    ASSERT_EQ(flash.size(), 1u);
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
    EXPECT_TRUE(m->usb_grade_failed());
    EXPECT_EQ(scaler->font_status.load(), status) << "no font reloaded";

    // Erased, then stuck at its first write.
    flash.clear();
    fpga_manage::scaler_flash_hook = [this](const char* op, uint32_t addr, uint32_t len, const uint8_t*) {
        flash.push_back({op, addr, len, QByteArray()});
        if (std::string(op) == "write")
            platform::simScaler().setStuckBusy(true);
    };
    upgrade();
    platform::simScaler().setStuckBusy(false);
    EXPECT_TRUE(reported(QStringLiteral("font.VYX: the scaler's flash did not take the font at 450000: not written")))
        << m->usb_grade_report().join('\n').toStdString();
    ASSERT_EQ(flash.size(), 4u);
    EXPECT_EQ(flash.back().op, "write");
    EXPECT_EQ(scaler->font_status.load(), status);
}

TEST_F(UsbUpgrade, NoStickOrAStrayStepEndsTheUpgrade)
{
    EXPECT_EQ(upgrade(), 4);
    EXPECT_EQ(count(kChangeUsbUpgrade), 1);
    EXPECT_EQ(g_update_flag.load(), 0);

    // A step no upgrade has would hold the worker for good: it ends.
    g_send_para.step = 7;
    g_usb_grade = 1;
    m->usb_upgrade_manage_deal(nullptr);
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_EQ(g_send_para.step.load(), 0);
    EXPECT_EQ(count(kChangeUsbUpgrade), 2);
}

// Damaged packages go through the whole upgrade: each ends, nothing lands
// past a bitstream's area in the FPGA flashes, and an application is
// installed only as it stands in the package.
TEST_F(UsbUpgrade, DamagedPackagesEndInMessagesNotInBrokenWrites)
{
    QJsonObject made = make("fuzz.VYX", {"--fpga0", "size:3000", "--fpga1", "size:800", "--app", "size:2000",
                                         "--font", "size:64"});
    const QByteArray good = package("fuzz.VYX");
    g_debugSwitch = 0;
    std::mt19937 rng(5105);
    int installed = 0;
    for (int n = 0; n < 40; ++n) {
        const QByteArray bad = damage(good, rng);
        writeFile(kStick + "/fuzz.VYX", bad);
        writeFile(kApp, "the running application");
        g_app_reset_flag = 0;
        sim(0).clearLogs();
        sim(1).clearLogs();
        platform::simShell().clearLog();
        ASSERT_EQ(upgrade(), 4) << "case " << n;
        for (int f = 0; f < 2; ++f) {
            for (const SimFpga::FlashOp& op : sim(f).flashOps()) {
                if (op.kind != SimFpga::FlashOp::Read) {
                    EXPECT_LE(uint64_t(op.addr) + op.length, uint64_t(upgrade::kBitstreamLimit)) << "case " << n;
                }
            }
        }
        const QByteArray now = readFile(kApp);
        if (now != QByteArray("the running application")) {
            ++installed;
            EXPECT_TRUE(bad.contains(now)) << "case " << n;
            EXPECT_TRUE(logged(kMv)) << "case " << n;
            EXPECT_EQ(g_app_reset_flag.load(), 1) << "case " << n;
        } else {
            EXPECT_EQ(g_app_reset_flag.load(), 0) << "case " << n;
        }
    }
    EXPECT_GT(installed, 0);
}

// The worker asks for the "do not power off" dialog; it is shown and closed
// in the GUI thread, once each, and nothing breaks without a main window.
TEST_F(UsbUpgrade, DialogCallsReachTheGuiThreadOnce)
{
    make("f.VYX", {"--fpga1", "size:4096"});
    std::vector<std::string> calls;
    QThread* gui = QThread::currentThread();
    for (ScreenHook h : {ScreenHook::FirmwareUpdateStart, ScreenHook::FirmwareUpdateOver})
        screen_hooks::set(h, [&calls, gui, h] {
            calls.push_back(h == ScreenHook::FirmwareUpdateStart ? "start" : "over");
            EXPECT_EQ(QThread::currentThread(), gui);
        });

    g_mainwindow = new MainWindow(nullptr);
    std::thread worker([this] { upgrade(); });
    worker.join();
    EXPECT_TRUE(calls.empty());
    pumpEvents();
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "over"}));
    EXPECT_EQ(m->usb_grade_time(), QStringLiteral("9:5:0    9:5:0"));

    // An upgrade already showing the dialog does not open it again.
    calls.clear();
    g_update_flag = 1;
    upgrade();
    pumpEvents();
    EXPECT_EQ(calls, std::vector<std::string>{"over"});

    delete g_mainwindow;
    g_mainwindow = nullptr;
    calls.clear();
    upgrade();
    pumpEvents();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(g_usb_grade.load(), 0u);
}

} // namespace

// PC file transfers through the command handler in this process.
#include "tests/remote/commands_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <thread>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/screen_hooks.h"
#include "fpga/fpga_manage.h"
#include "platform/mtd.h"
#include "platform/shell.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "ui/shell/mainwindow.h"
#include "video_io/edid.h"
#include "video_io/zevlosource.h"

namespace {

using namespace file_transfer;

class FileCommands : public Commands {
protected:
    void SetUp() override
    {
        Commands::SetUp();
        QObject::connect(store, &VyxRamPara::sig_update_para, [this](int code) { codes.push_back(code); });
    }
    void TearDown() override
    {
        for (int h = 0; h < int(ScreenHook::Count); ++h)
            screen_hooks::set(ScreenHook(h), nullptr);
        Commands::TearDown();
    }
    // Records the GUI-thread calls of a hook.
    void watch(ScreenHook which, const char* name)
    {
        screen_hooks::set(which, [this, name] {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            hooked.push_back(name);
        });
    }
    std::string fileText(const std::string& path) const { return readFile(path).toStdString(); }

    std::vector<int> codes;
    std::vector<std::string> hooked;
};


const std::string kAliasPath = "/data/configs/alias.json";

} // namespace

TEST_F(FileCommands, EveryFileTypeIsStoredWhereItsTypeSaysAndFetchedBackEqual)
{
    const std::string scanName = "hall 3 (left).tzfile", edidName = "1920x1080_60.bin";
    const Bytes scan = randomBytes(100000, 1), omenu = randomBytes(70000, 2), alias = randomBytes(1 << 20, 3),
                recovery = randomBytes(40000, 4), edid = edidTable(1920, 1080, 60);
    EXPECT_EQ(send(kTypeAlias, "ALIS", alias), 0);
    EXPECT_EQ(send(kTypeOsdMenu, "OMNU", omenu), 0);
    EXPECT_EQ(send(kTypeRecovery, "TZFX", recovery), 0);
    EXPECT_EQ(send(kTypeScan, "TZFR", scan), 0);
    EXPECT_EQ(send(kTypeScan, "TZFR", scan, &scanName), 0);
    EXPECT_EQ(send(kTypeEdidTable, "EDID", edid, &edidName), 0);

    EXPECT_EQ(readFile(kAliasPath), bytes(alias));
    EXPECT_EQ(readFile("/data/configs/omenu.json"), bytes(omenu));
    EXPECT_EQ(readFile("/data/rcvrecovery/TZFX"), bytes(recovery));
    EXPECT_EQ(readFile("/data/smartmapping/TZFR.tzfile"), bytes(scan));
    EXPECT_EQ(readFile("/data/smartmapping/" + scanName), bytes(scan));
    EXPECT_EQ(readFile("/data/edidramtable/" + edidName), bytes(edid));
    // One change signal per stored file, nothing left over beside them.
    EXPECT_EQ(codes, std::vector<int>(6, kChangeTransferEnd));
    EXPECT_EQ(QDir(QString::fromStdString(path("/data/configs"))).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"alias.json", "omenu.json"}));

    EXPECT_EQ(fetch(pc::readStart(kTypeAlias, "ALIS")), alias);
    EXPECT_EQ(fetch(pc::readStart(kTypeRecovery, "TZFX")), recovery);
    EXPECT_EQ(fetch(pc::readDefinedStart(kTypeScan, "TZFR", scanName)), scan);
    EXPECT_EQ(fetch(pc::readDefinedStart(kTypeEdidTable, "EDID", edidName)), edid);
    // The first bytes only, and any block again in any order.
    EXPECT_EQ(fetch(pc::readStart(kTypeOsdMenu, "OMNU", 1000)), Bytes(omenu.begin(), omenu.begin() + 1000));
    EXPECT_EQ(run(pc::readStart(kTypeOsdMenu, "OMNU"))[0], 0);
    EXPECT_EQ(run(pc::readBlock(69990, 100)), pc::cat({{0}, Bytes(omenu.end() - 10, omenu.end())}));
    EXPECT_EQ(run(pc::readBlock(0, 2)), (Bytes{0, omenu[0], omenu[1]}));
    EXPECT_EQ(run(pc::readBlock(70000, 1)), Bytes{3});
    EXPECT_EQ(run(pc::readBlock(0, kMaxBlock + 1)), Bytes{5});
}

TEST_F(FileCommands, RawFlashPartitionsAreErasedWrittenAndReadBack)
{
    platform::simMtd().declare("/dev/mtd8", 0x60000, 0x10000, 2048);
    platform::simMtd().declare("/dev/mtd10", 0x500000, 0x10000, 2048);
    const Bytes boot = randomBytes(0x60000, 5), kernel = randomBytes(1 << 20, 6);
    EXPECT_EQ(send(kTypeFlashMtd8, "MTD8", boot), 0);
    EXPECT_EQ(send(kTypeFlashMtd10, "MTDA", kernel), 0);
    EXPECT_EQ(readFile("/dev/mtd8"), bytes(boot));
    QByteArray mtd10 = readFile("/dev/mtd10");
    EXPECT_EQ(mtd10.left(1 << 20), bytes(kernel));
    EXPECT_EQ(mtd10.mid(1 << 20), QByteArray(0x500000 - (1 << 20), '\xFF'));
    // Sixteen 64 KiB erase blocks, then the 2 KiB pages, for the 1 MiB.
    int erases = 0;
    for (const auto& op : platform::simMtd().ops())
        erases += op.kind == 'e';
    EXPECT_EQ(erases, 6 + 16);

    EXPECT_EQ(fetch(pc::readStart(kTypeFlashMtd8, "MTD8")), boot);
    EXPECT_EQ(fetch(pc::readStart(kTypeFlashMtd10, "MTDA", 1 << 20)), kernel);
    // Nothing beyond the partition is taken; a failing erase is reported.
    EXPECT_EQ(run(pc::fileStart(kTypeFlashMtd8, "MTD8", 0x60001)), (Bytes{5, 0x00, 0x40}));
    platform::simMtd().failEraseAt(0);
    EXPECT_EQ(send(kTypeFlashMtd8, "MTD8", randomBytes(100, 7)), 7);
}

TEST_F(FileCommands, AFailedCutOrAbandonedTransferLeavesTheOldFile)
{
    const Bytes old = randomBytes(5000, 8), fresh = randomBytes(16000, 9);
    writeFile(kAliasPath, bytes(old));
    auto untouched = [&] {
        EXPECT_EQ(readFile(kAliasPath), bytes(old));
        EXPECT_EQ(QDir(QString::fromStdString(path("/data/configs"))).entryList(QDir::Files | QDir::Hidden), QStringList{"alias.json"});
    };

    // A wrong digest.
    Bytes start = pc::fileStart(kTypeAlias, "ALIS", uint32_t(fresh.size()));
    EXPECT_EQ(run(start), (Bytes{0, 0x00, 0x40}));
    EXPECT_EQ(run(pc::fileBlock(0, fresh)), (Bytes{0, 0x80, 0x3E, 0, 0}));
    Bytes wrong = md5Of(fresh);
    wrong[5] ^= 1;
    EXPECT_EQ(run(pc::fileEnd(wrong)), Bytes{4});
    untouched();
    // The transfer is over: its blocks and end are out of sequence now.
    EXPECT_EQ(run(pc::fileEnd(md5Of(fresh))), Bytes{3});

    // Cut short: the end before the last block.
    EXPECT_EQ(run(start)[0], 0);
    EXPECT_EQ(run(pc::fileBlock(0, Bytes(fresh.begin(), fresh.begin() + 100))), (Bytes{0, 100, 0, 0, 0}));
    // Blocks out of order, beyond the size, too long or empty are refused
    // and the transfer goes on where it was.
    EXPECT_EQ(run(pc::fileBlock(300, Bytes(10, 1))), (Bytes{3, 100, 0, 0, 0}));
    EXPECT_EQ(run(pc::fileBlock(0, Bytes(10, 1))), (Bytes{3, 100, 0, 0, 0}));
    EXPECT_EQ(run(pc::fileBlock(100, Bytes(40000, 1))), (Bytes{5, 100, 0, 0, 0}));
    EXPECT_EQ(run(pc::fileBlock(100, {})), (Bytes{3, 100, 0, 0, 0}));
    Bytes announcedMore = pc::fileBlock(100, Bytes(10, 1));
    announcedMore[14] = 11;
    EXPECT_EQ(run(announcedMore), Bytes{2});
    EXPECT_EQ(run(pc::fileEnd(md5Of(fresh))), Bytes{3});
    untouched();

    // The PC goes away in the middle: its handler ends, and so does its
    // transfer.
    {
        message_deal gone;
        EXPECT_EQ(runOn(gone, start)[0], 0);
        EXPECT_EQ(runOn(gone, pc::fileBlock(0, Bytes(fresh.begin(), fresh.begin() + 8000)))[0], 0);
    }
    EXPECT_EQ(send(kTypeAlias, "ALIS", fresh), 0); // nothing is held by the one that left
    EXPECT_EQ(readFile(kAliasPath), bytes(fresh));

    // A file that cannot be put in place is reported and leaves the old one.
    QDir().mkpath(QString::fromStdString(path("/data/configs/omenu.json/x")));
    EXPECT_EQ(send(kTypeOsdMenu, "OMNU", fresh), 7);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("/data/configs/omenu.json/x"))).isDir());
}

TEST_F(FileCommands, OnlyFileTypesTagsAndNamesTheControllerServesAreTaken)
{
    const std::string bad[] = {"../x.tzfile", "a/b.tzfile", ".hidden.tzfile", "plain.txt", ".tzfile", " lead.tzfile",
                               "bad\x01.tzfile", std::string("zero\0.tzfile", 12), "q?.tzfile",
                               std::string(97, 'a') + ".tzfile", "\xC3.tzfile"};
    for (const std::string& name : bad) {
        EXPECT_EQ(run(pc::definedFileStart(kTypeScan, "TZFR", 10, name)), (Bytes{1, 0x00, 0x40})) << name;
        EXPECT_EQ(run(pc::readDefinedStart(kTypeScan, "TZFR", name)), (Bytes{1, 0, 0, 0, 0})) << name;
        EXPECT_EQ(run(pc::deleteFile(kTypeScan, "TZFR", name)), (Bytes{1, 0, 0})) << name;
    }
    const std::string edidNames[] = {"1920x1080_060.bin", "01920x1080_60.bin", "1920x1080_60.bin.bin", "0x0_0.bin",
                                     "1920X1080_60.bin", "1920x1080_60.BIN"};
    for (const std::string& name : edidNames)
        EXPECT_EQ(run(pc::definedFileStart(kTypeEdidTable, "EDID", 256, name))[0], 1) << name;
    const Bytes refused[] = {
        pc::fileStart(kTypeAlias, "ALIX", 10),             // type and tag must belong together
        pc::fileStart(4, "ALIS", 10),                      // no such type
        pc::fileStart(kTypeEdidTable, "EDID", 256),        // a table needs its name
        pc::definedFileStart(kTypeAlias, "ALIS", 10, "x"), // a fixed file takes no name
        pc::definedFileStart(kTypeRecovery, "TZFX", 10, "TZFX2"),
        pc::readStart(kTypeScan, "TZFX"),
    };
    for (const Bytes& r : refused)
        EXPECT_EQ(run(r)[0], 1) << ::testing::PrintToString(r);
    // Sizes are bounded by type.
    EXPECT_EQ(run(pc::fileStart(kTypeAlias, "ALIS", (1 << 20) + 1))[0], 5);
    EXPECT_EQ(run(pc::definedFileStart(kTypeEdidTable, "EDID", 257, "640x480_60.bin"))[0], 5);
    EXPECT_EQ(run(pc::fileStart(kTypeAlias, "ALIS", 0))[0], 1);
    // An EDID table must be one.
    const std::string name = "640x480_60.bin";
    EXPECT_EQ(send(kTypeEdidTable, "EDID", Bytes(128, 0), &name), 1);
    EXPECT_FALSE(exists("/data/edidramtable/" + name));
    // Nothing to fetch, nothing open, too short.
    EXPECT_EQ(run(pc::readStart(kTypeAlias, "ALIS")), (Bytes{8, 0, 0, 0, 0}));
    EXPECT_EQ(run(pc::readBlock(0, 10)), Bytes{3});
    EXPECT_EQ(run(pc::readEnd()), pc::cat({{3}, Bytes(20, 0)}));
    EXPECT_EQ(run(command(0xB0, {5, 'A', 'L', 'I', 'S', 1, 0, 0})), Bytes{2});
    EXPECT_EQ(run(command(0xB3, {13, 'T', 'Z', 'F', 'R', 1, 0, 0, 0, 5, 'a'})), Bytes{2});
    EXPECT_EQ(run(command(0xB2, Bytes(15, 0))), Bytes{2});
    EXPECT_EQ(run(command(0xB8, {13, 'T', 'Z', 'F', 'R', 3, 'a'})), Bytes{2});
}

TEST_F(FileCommands, OneTransferAtATimeUntilItsPcFallsSilent)
{
    const Bytes data = randomBytes(3000, 10);
    writeFile("/data/configs/omenu.json", "{}");
    message_deal other;
    EXPECT_EQ(run(pc::fileStart(kTypeAlias, "ALIS", 3000))[0], 0);
    EXPECT_EQ(runOn(other, pc::fileStart(kTypeOsdMenu, "OMNU", 3000))[0], 6);
    EXPECT_EQ(runOn(other, pc::readStart(kTypeOsdMenu, "OMNU"))[0], 6);
    EXPECT_EQ(runOn(other, pc::fileBlock(0, data))[0], 3); // not its transfer
    EXPECT_EQ(runOn(other, pc::fileEnd(md5Of(data)))[0], 3);
    // On a link shared by several PCs, each is a peer of its own.
    other.set_peer(1);
    handler.set_peer(2);
    EXPECT_EQ(run(pc::fileBlock(0, data))[0], 3);
    handler.set_peer(0);

    // After 30 s without a block another PC may take over.
    G_timeTicks = kStaleTicks - 1;
    EXPECT_EQ(runOn(other, pc::fileStart(kTypeOsdMenu, "OMNU", 3000))[0], 6);
    EXPECT_EQ(run(pc::fileBlock(0, Bytes(data.begin(), data.begin() + 10)))[0], 0); // fresh again
    G_timeTicks = 2 * kStaleTicks;
    EXPECT_EQ(send(other, kTypeOsdMenu, "OMNU", data), 0);
    EXPECT_EQ(run(pc::fileBlock(10, Bytes(10, 0)))[0], 3);
    EXPECT_FALSE(exists(kAliasPath));

    // A stale transfer nobody takes over closes by itself.
    EXPECT_EQ(run(pc::readStart(kTypeOsdMenu, "OMNU"))[0], 0);
    G_timeTicks = 3 * kStaleTicks;
    expire();
    EXPECT_EQ(run(pc::readBlock(0, 10)), Bytes{3});
}

TEST_F(FileCommands, FirmwareUploadShowsTheUpgradeDialogInstallsAndRestarts)
{
    g_mainwindow = new MainWindow(nullptr);
    watch(ScreenHook::FirmwareUpdateStart, "start");
    watch(ScreenHook::FirmwareUpdateOver, "over");
    const Bytes app = randomBytes(1 << 20, 11);

    // From another thread, as from a PC link.
    uint8_t result = 0xEE;
    std::thread link([&] { result = send(kTypeApplication, "APPL", app); });
    link.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(hooked.empty()); // queued, not called from the link
    pumpEvents();
    EXPECT_EQ(hooked, (std::vector<std::string>{"start", "over"}));
    pumpEvents();
    EXPECT_EQ(codes, (std::vector<int>{kChangeKeyLedsStart, kChangeTransferEnd, kChangeKeyLedsEnd}));
    EXPECT_EQ(g_update_flag.load(), 0);

    EXPECT_EQ(readFile("/data/app/vyxQ58N"), bytes(app));
    EXPECT_FALSE(exists("/data/app/vyxQ58N2"));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("/data/app/vyxQ58N"))).isExecutable());
    QSettings loader(QString::fromStdString(path("/data/configs/led_load_config.ini")), QSettings::IniFormat);
    EXPECT_EQ(loader.value("app-1/app_path").toString(), "/data/app/vyxQ58N -platform linuxfb");
    EXPECT_EQ(loader.value("app-1/app_name").toString(), "vyxQ58N");
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_EQ(fetch(pc::readStart(kTypeApplication, "APPL")), app);

    // A loader that already starts the application in place is left alone;
    // an upload that is cut closes the dialog all the same, without a restart.
    QFile::remove(QString::fromStdString(path("/data/configs/led_load_config.ini")));
    g_update_status = 1;
    g_app_reset_flag = 0;
    hooked.clear();
    {
        message_deal cut;
        EXPECT_EQ(runOn(cut, pc::fileStart(kTypeApplication, "APPL", 100))[0], 0);
        EXPECT_EQ(g_update_flag.load(), 1);
    }
    EXPECT_EQ(g_update_flag.load(), 0);
    EXPECT_EQ(send(kTypeApplication, "APPL", app), 0);
    pumpEvents();
    EXPECT_EQ(hooked, (std::vector<std::string>{"start", "over", "start", "over"}));
    EXPECT_FALSE(exists("/data/configs/led_load_config.ini"));

    // No upload while another upgrade (a USB stick) runs.
    g_update_flag = 1;
    EXPECT_EQ(run(pc::fileStart(kTypeFlashMtd8, "MTD8", 100))[0], 6);
    EXPECT_EQ(g_update_flag.load(), 1);
    delete g_mainwindow;
    g_mainwindow = nullptr;
}

TEST_F(FileCommands, StoredReceivingCardFilesReachTheScreensThatShowThem)
{
    watch(ScreenHook::AdvancedOptionLanguageChanged, "advanced");
    watch(ScreenHook::OptionLanguageChanged, "option");
    watch(ScreenHook::SmartMappingBack, "smart back");
    watch(ScreenHook::RcvRecoveryBack, "recovery back");
    const Bytes file = randomBytes(500, 12);
    const std::string hall = "hall.tzfile";
    // Without the FPGA manager nothing is shown of a received file.
    g_page_focus = kPageAdvancedOption;
    EXPECT_EQ(send(kTypeRecovery, "TZFX", file), 0);
    pumpEvents();
    EXPECT_TRUE(hooked.empty());

    rcvRecovery* reader = fpga_manage::pInstance()->p_rcvRecovery;
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(send(kTypeRecovery, "TZFX", file), 0);
    g_page_focus = kPageSmartMapping;
    EXPECT_EQ(send(kTypeScan, "TZFR", file, &hall), 0);
    EXPECT_EQ(send(kTypeScan, "TZFR", file), 0);
    pumpEvents();
    EXPECT_EQ(hooked, (std::vector<std::string>{"smart back", "smart back"})); // the recovery screen had gone

    // Deleting: one scan file by name, then the rest. The recovery reader's
    // scan list is emptied at once.
    hooked.clear();
    g_page_focus = kPageOption;
    reader->get_dir_file("/data/smartmapping");
    EXPECT_EQ(reader->scan_file_count(), 2);
    EXPECT_EQ(run(pc::deleteFile(kTypeScan, "TZFR", hall)), (Bytes{0, 1, 0}));
    EXPECT_EQ(reader->scan_file_count(), 0);
    EXPECT_EQ(run(pc::deleteFile(kTypeScan, "TZFR", hall)), (Bytes{0, 0, 0}));
    writeFile("/data/smartmapping/other.tzfile", "x");
    EXPECT_EQ(run(pc::deleteFile(kTypeScan, "TZFR")), (Bytes{0, 2, 0}));
    pumpEvents();
    EXPECT_EQ(hooked, (std::vector<std::string>{"option", "option"}));
    hooked.clear();
    g_page_focus = kPageRcvRecovery;
    EXPECT_EQ(run(pc::deleteFile(kTypeRecovery, "TZFX")), (Bytes{0, 1, 0}));
    pumpEvents();
    EXPECT_EQ(hooked, std::vector<std::string>{"recovery back"});
    EXPECT_TRUE(QDir(QString::fromStdString(path("/data/rcvrecovery"))).isEmpty());

    // A fixed file is deleted by its type; the application and the flash
    // partitions are never deleted.
    writeFile(kAliasPath, "{}");
    EXPECT_EQ(run(pc::deleteFile(kTypeAlias, "ALIS")), (Bytes{0, 1, 0}));
    EXPECT_FALSE(exists(kAliasPath));
    EXPECT_EQ(run(pc::deleteFile(kTypeApplication, "APPL")), (Bytes{1, 0, 0}));
    EXPECT_EQ(run(pc::deleteFile(kTypeFlashMtd8, "MTD8")), (Bytes{1, 0, 0}));
}

TEST_F(FileCommands, CloudSettingsFilesAreAppliedAndAskTheLinksToReconfigure)
{
    ConfigEngine::pInstance();
    const Bytes barcode = pc::text("SN-0042 A"), ca = randomBytes(30000, 13);
    const Bytes setinfo = pc::cat({pc::named("cloud.example.org"), pc::u16(9000), pc::named("u-17"), pc::named("Hall A")});
    auto sendCloud = [&](uint8_t kind, const Bytes& data, const Bytes& digest) {
        Bytes r;
        for (size_t at = 0; at < data.size(); at += kMaxBlock) {
            Bytes piece(data.begin() + long(at), data.begin() + long(std::min(data.size(), at + size_t(kMaxBlock))));
            r = run(pc::cloudBlock(kind, uint32_t(at), piece));
            if (r[0] != 0)
                return r[0];
        }
        return run(pc::cloudEnd(kind, digest))[0];
    };
    auto header = [](const Bytes& content) {
        return pc::cat({{0xAA, uint8_t(content.size() >> 8), uint8_t(content.size())}, content});
    };

    // A wrong digest stores and asks nothing.
    Bytes wrong = md5Of(ca);
    wrong[0] ^= 1;
    EXPECT_EQ(sendCloud(kCloudCaFile, ca, wrong), 4);
    EXPECT_FALSE(exists("/data/configs/cloud_cafile"));
    EXPECT_EQ(g_reconfig_4g, 0);
    EXPECT_EQ(g_reconfig_device_ryxacloud, 0);

    EXPECT_EQ(sendCloud(kCloudCaFile, ca, md5Of(ca)), 0);
    EXPECT_EQ(sendCloud(kCloudBarcode, barcode, md5Of(barcode)), 0);
    EXPECT_EQ(sendCloud(kCloudSetInfo, setinfo, md5Of(setinfo)), 0);
    EXPECT_EQ(readFile("/data/configs/cloud_cafile"), bytes(header(ca)));
    EXPECT_EQ(readFile("/data/configs/cloud_barcode"), bytes(header(barcode)));
    EXPECT_EQ(readFile("/data/configs/cloud_setinfo"), bytes(header(setinfo)));
    EXPECT_EQ(g_str_barcode, "SN-0042 A");
    EXPECT_EQ(g_Ryxa_cloudserverip, "cloud.example.org");
    EXPECT_EQ(g_Ryxa_cloudserverport, 9000u);
    EXPECT_EQ(g_Ryxa_clouduserid, "u-17");
    EXPECT_EQ(g_Ryxa_controllername, "Hall A");
    EXPECT_EQ(g_Ryxa_cloud, 1);
    EXPECT_EQ(g_reconfig_4g, 1);
    EXPECT_EQ(g_reconfig_device_ryxacloud, 1);

    // Content that is not a barcode or a settings record is refused; a
    // file longer than its header can say, a block of another kind, an end
    // without a file and an unknown kind too.
    g_reconfig_4g = g_reconfig_device_ryxacloud = 0;
    const Bytes badCode = pc::text("bad\ncode");
    EXPECT_EQ(sendCloud(kCloudBarcode, badCode, md5Of(badCode)), 1);
    EXPECT_EQ(g_str_barcode, "SN-0042 A");
    EXPECT_EQ(sendCloud(kCloudCaFile, randomBytes(0x10000, 14), Bytes(16, 0)), 5);
    EXPECT_EQ(run(pc::cloudBlock(kCloudCaFile, 0, {1}))[0], 0);
    EXPECT_EQ(run(pc::cloudBlock(kCloudBarcode, 1, {1}))[0], 3);
    EXPECT_EQ(run(pc::cloudEnd(kCloudBarcode, Bytes(16, 0)))[0], 3);
    EXPECT_EQ(run(pc::cloudBlock(4, 0, {1}))[0], 1);
    EXPECT_EQ(g_reconfig_4g, 0);
}

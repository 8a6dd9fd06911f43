// The recovery-file reader: files written by tools/vyxfiles.py walk to the
// values the tool was given, the layout rules hold on hand-made bytes, and
// damaged files end in a message, never in a read past the file or a stale
// value taken for a new one.
#include "tests/support/sandbox.h"
#include "tests/support/rcv_walk.h"
#include "tests/support/vyxfiles_tool.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "ui/rcvtools/rcvrecovery.h"

using namespace rcvwalk;

namespace {

const QString kTzfx = QStringLiteral("/data/rcvrecovery/TZFX");

// Little-endian byte builder for hand-made files.
struct RecoveryBytes {
    QByteArray b;
    RecoveryBytes& u8(int v) { b.append(char(v)); return *this; }
    RecoveryBytes& u16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    RecoveryBytes& u32(uint32_t v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    RecoveryBytes& zeros(int n) { b.append(QByteArray(n, '\0')); return *this; }
    RecoveryBytes& op(uint32_t offset, uint32_t len, uint32_t addr, uint32_t ms, int type, int target)
    {
        return u32(offset).u32(len).u32(addr).u32(ms).u8(type).u8(target);
    }
};

void patch32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

void expectOps(const std::vector<OpSeen>& seen, const QJsonArray& made)
{
    ASSERT_EQ(seen.size(), size_t(made.size()));
    for (size_t k = 0; k < seen.size(); ++k) {
        QJsonObject m = made[int(k)].toObject();
        const OpSeen& op = seen[k];
        EXPECT_EQ(op.rec.offset, jsonU32(m["offset"]));
        EXPECT_EQ(op.rec.dataLen, jsonU32(m["dataLen"]));
        EXPECT_EQ(op.rec.targetAddr, jsonU32(m["targetAddr"]));
        EXPECT_EQ(op.rec.timeticks, jsonU32(m["timeticks"]));
        EXPECT_EQ(op.rec.type, jsonU32(m["type"]));
        EXPECT_EQ(op.rec.target, jsonU32(m["target"]));
        EXPECT_EQ(sha256(op.data), m["data_sha256"].toString().toStdString()) << "operation " << k;
    }
}

class RcvRecovery : public Sandbox {
protected:
    QString makeRecovery(const QStringList& options, QJsonObject* manifest, const QString& at = kTzfx)
    {
        QDir().mkpath(QString::fromStdString(path("/data/rcvrecovery")));
        *manifest = runVyxFiles(QStringList{"recovery", QString::fromStdString(path(at.toStdString()))} + options,
                                path("/tmp-manifest.json"));
        return at;
    }
    QuietLog quiet;
    rcvRecovery r;
};

} // namespace

TEST_F(RcvRecovery, ToolRecoveryFileWalksToEveryValueGiven)
{
    QJsonObject m;
    QString file = makeRecovery({"--screens", "2", "--ports", "2,12", "--cards", "3,1", "--config-id", "0x0A0B0C0D",
                                 "--card-op", "1:1:0x100:2500:1000", "--card-op", "2:3:0:0:2000", "--card-op",
                                 "1:2:0x10:4:300", "--para-op", "1:2:0x20:8:500", "--para-op", "6:1:0:0:100"},
                                &m);
    ASSERT_EQ(r.get_dir_file("/data/rcvrecovery"), 0u);
    EXPECT_EQ(r.rcv_file_names(), QStringList{"TZFX"});

    Walk w = walkRecovery(r, file);
    ASSERT_EQ(w.failed, 0u) << w.why.toStdString();

    QJsonArray entries = m["entries"].toArray();
    ASSERT_EQ(w.entries.size(), size_t(entries.size()));
    for (size_t i = 0; i < w.entries.size(); ++i) {
        EXPECT_EQ(w.entries[i].file_type, jsonU32(entries[int(i)].toObject()["file_type"]));
        EXPECT_EQ(w.entries[i].offset, jsonU32(entries[int(i)].toObject()["offset"]));
        EXPECT_EQ(w.entries[i].length, jsonU32(entries[int(i)].toObject()["length"]));
    }
    QJsonArray screens = m["screens"].toArray();
    ASSERT_EQ(w.screens.size(), 2u);
    for (int s = 0; s < 2; ++s) {
        QJsonObject ms = screens[s].toObject();
        const ScreenSeen& ss = w.screens[size_t(s)];
        EXPECT_EQ(ss.rec.config_id, 0x0A0B0C0Du + uint32_t(s));
        EXPECT_EQ(ss.rec.rcv_xy_offset, jsonU32(ms["rcv_xy_offset"]));
        EXPECT_EQ(ss.rec.rcv_para_len, jsonU32(ms["rcv_para_len"]));
        expectOps(ss.para, ms["para_operations"].toArray());
        QJsonArray ports = ms["ports"].toArray();
        ASSERT_EQ(ss.ports.size(), 2u);
        for (int j = 0; j < 2; ++j) {
            QJsonObject mp = ports[j].toObject();
            EXPECT_EQ(ss.ports[size_t(j)].rec.net_ledx, jsonU32(mp["net_ledx"]));
            EXPECT_EQ(ss.ports[size_t(j)].rec.net_para_offset, jsonU32(mp["net_para_offset"]));
            QJsonArray cards = mp["cards"].toArray();
            ASSERT_EQ(ss.ports[size_t(j)].cards.size(), size_t(cards.size()));
            for (int c = 0; c < cards.size(); ++c)
                expectOps(ss.ports[size_t(j)].cards[size_t(c)], cards[c].toObject()["operations"].toArray());
        }
    }
    // Port 12 is port 2 of the second FPGA; the reader hands it on as it is.
    EXPECT_EQ(w.screens[1].ports[1].rec.net_ledx, 12);
    EXPECT_EQ(w.screens[0].ports[0].rec.net_rcv_num, 3);
}

TEST_F(RcvRecovery, ToolScanFileIsOneBlockWithDataAfterTheHead)
{
    std::string scan = "/data/smartmapping/a.tzfile";
    QDir().mkpath(QString::fromStdString(path("/data/smartmapping")));
    QJsonObject m = runVyxFiles({"scan", QString::fromStdString(path(scan)), "--op", "1:2:0x20:4:1000", "--op",
                                 "6:1:0:0:100"},
                                path("/tmp-manifest.json"));
    // Stale screen offsets must not move a scan file's data.
    r.screen_info.rcv_para_offset = 0x1000;
    Walk w = walkScan(r, QString::fromStdString(scan));
    ASSERT_EQ(w.failed, 0u) << w.why.toStdString();
    ASSERT_EQ(w.screens[0].para.size(), 2u);
    expectOps(w.screens[0].para, m["operations"].toArray());
    EXPECT_EQ(w.screens[0].para[0].data_at, 16 + w.screens[0].para[0].rec.offset);
    EXPECT_EQ(r.screen_info.rcv_para_offset, 0u);

    // Records at 20 and 38 (a file whose count is 2).
    QByteArray bytes = readFile(scan);
    EXPECT_EQ(le32(reinterpret_cast<const uint8_t*>(bytes.constData()) + 20), w.screens[0].para[0].rec.offset);
    EXPECT_EQ(uint8_t(bytes[38 + 16]), 6);
}

// The worker asks for an operation's data again on every turn while the
// file is missing (a stick pulled under a load, for 3 s): the warning log
// names the fault once. It is named again when the cause changes, after a
// read that worked, or when it comes back after a quiet second; every read
// still says why in error_text().
TEST_F(RcvRecovery, AFaultMetOnEveryTurnIsWarnedOnceUntilItsCauseChanges)
{
    const std::string scan = "/mnt/usb1/s.tzfile";
    const QString file = QString::fromStdString(scan);
    runVyxFiles({"scan", QString::fromStdString(path(scan)), "--op", "1:1:0x100:2500:1000"},
                path("/tmp-manifest.json"));
    const QByteArray bytes = readFile(scan);
    uint8_t data[16];
    auto read = [&](uint32_t at) { return r.update_rcvOperatedata(file, at, data, sizeof data); };
    auto warned = [](const char* cause) { return QuietLog::warnings().filter(QLatin1String(cause)).size(); };
    QuietLog::warnings().clear();

    ASSERT_EQ(read(16), RCV_READ_OK);
    QFile::remove(QString::fromStdString(path(scan)));
    for (int turn = 0; turn < 300; ++turn) {
        ++G_timeTicks;
        ASSERT_EQ(read(16), RCV_READ_MISSING);
        ASSERT_EQ(r.error_text(), file + ": no such file");
    }
    EXPECT_EQ(warned("s.tzfile: no such file"), 1);

    // Back, and read past its end: another cause, named once.
    writeFile(scan, bytes);
    for (int turn = 0; turn < 50; ++turn)
        ASSERT_EQ(read(uint32_t(bytes.size())), RCV_READ_MALFORMED);
    EXPECT_EQ(warned("lies past the end"), 1);

    // Gone again: the cause changed, so it is named again.
    QFile::remove(QString::fromStdString(path(scan)));
    read(16);
    read(16);
    EXPECT_EQ(warned("s.tzfile: no such file"), 2);

    // A read that works ends the fault: the same one right after is new.
    writeFile(scan, bytes);
    ASSERT_EQ(read(16), RCV_READ_OK);
    EXPECT_TRUE(r.error_text().isEmpty());
    QFile::remove(QString::fromStdString(path(scan)));
    read(16);
    EXPECT_EQ(warned("s.tzfile: no such file"), 3);

    // Asked for again a second after the last time: named again.
    G_timeTicks += 99;
    read(16);
    EXPECT_EQ(warned("s.tzfile: no such file"), 3);
    G_timeTicks += 100;
    read(16);
    EXPECT_EQ(warned("s.tzfile: no such file"), 4);
}

TEST_F(RcvRecovery, LayoutRulesOnHandMadeBytes)
{
    // Head with two rcv xy entries: the later one is the member.
    RecoveryBytes f;
    f.zeros(3).u8(3);
    f.u8(11).zeros(3).u32(0).u32(0x7FFF0000); // an xy entry that is not used
    f.u8(10).zeros(3).u32(84).u32(40);
    f.u8(11).zeros(3).u32(0).u32(124);
    // Screen file at 40: one screen whose XY part starts 16 into the xy file.
    f.zeros(20).u8(1).zeros(11);
    f.u32(0xCAFE).u32(1).zeros(28).u32(0).u32(0).u32(16).u32(200);
    // Rcv xy file at 124, XY part at P = 140: one port record, K = P + 16.
    f.zeros(16);
    f.u16(1).u16(0);
    f.u16(5).u16(3).u32(16).u32(0);
    // K = 156: card 0 with 3 operations, card 1 with none, card 2 with one.
    f.u16(3).u16(0).op(0, 0, 0, 0, 6, 1).op(0, 0, 0, 0, 6, 1).op(0, 0, 0, 0, 6, 1);
    f.u16(0).u16(0);
    f.u16(1).u16(0).op(84, 2, 0x40, 10, 1, 2);
    f.u8(0xD1).u8(0xD2); // K + 84
    writeFile(kTzfx.toStdString(), f.b);

    ASSERT_EQ(r.get_rcvPackedFileNum(kTzfx), 0u);
    for (uint8_t i = 0; i < 3; ++i)
        ASSERT_EQ(r.get_rcvPackedFileInfo(kTzfx, i), 0u);
    EXPECT_EQ(r.find_packed_file(RCV_XY_FILE), 2);
    EXPECT_EQ(r.packed_file_offset(RCV_XY_FILE), 124u);
    EXPECT_EQ(r.packed_file_offset(RCV_PARA_FILE), 0u);
    ASSERT_EQ(r.update_rcvScreenHead(kTzfx), 0u);
    ASSERT_EQ(r.update_rcvScreenIDinfo(kTzfx, 0), 0u);
    EXPECT_EQ(r.screen_info.config_id, 0xCAFEu);
    ASSERT_EQ(r.update_rcvXYscreenNetnum(kTzfx), 0u);
    ASSERT_EQ(r.update_rcvXYscreenNetpara(kTzfx, 0), 0u);
    EXPECT_EQ(r.net_para.net_ledx, 5);

    // Card 0 is read at K without walking; card 2 starts at K + 62 (58 + 4).
    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kTzfx, 0, false), 0u);
    EXPECT_EQ(r.rcv_offset, 0u);
    EXPECT_EQ(r.rcv_operate_times, 3);
    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kTzfx, 2, false), 0u);
    EXPECT_EQ(r.rcv_offset, 62u);
    EXPECT_EQ(r.rcv_operate_times, 1);
    ASSERT_EQ(r.update_rcvXYrcvOperatepara(kTzfx, 0, false), 0u);
    EXPECT_EQ(r.operate_para.type, 1);
    EXPECT_STREQ(rcvRecovery::operate_type_name(r.operate_para.type), "write");
    EXPECT_STREQ(rcvRecovery::operate_target_name(r.operate_para.target), "register");
    // The data of card 2's operation counts from the port's first card block.
    ASSERT_EQ(r.set_xy_operate_data_offset(), 0u);
    EXPECT_EQ(r.operate_data_offset, 156u + 84u);
    uint8_t d[2] = {};
    ASSERT_EQ(r.update_rcvOperatedata(kTzfx, r.operate_data_offset, d, 2), 0u);
    EXPECT_EQ(d[0], 0xD1);
    EXPECT_EQ(d[1], 0xD2);
    uint8_t deal[8];
    uint32_t len = sizeof deal;
    ASSERT_EQ(r.update_rcvDealData(kTzfx, deal, &len), 0u); // the record's offset as a file offset
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(deal[0], uint8_t(f.b[84]));

    // Indices at or beyond the counts the file gives are refused.
    EXPECT_EQ(r.update_rcvScreenIDinfo(kTzfx, 1), RCV_READ_MISSING);
    EXPECT_EQ(r.update_rcvXYscreenNetpara(kTzfx, 1), RCV_READ_MALFORMED);
    EXPECT_EQ(r.update_rcvXYrcvOperateTimes(kTzfx, 3, false), RCV_READ_MALFORMED);
    EXPECT_EQ(r.update_rcvXYrcvOperatepara(kTzfx, 1, false), RCV_READ_MALFORMED);
    EXPECT_EQ(r.update_rcvXYrcvOperateTimes(kTzfx, 0, true), RCV_READ_MALFORMED) << "a scan file has no cards";
    EXPECT_EQ(r.update_smartDebugingOperateTimes(kTzfx, false), RCV_READ_MALFORMED) << "no rcv para file listed";

    r.init_para();
    EXPECT_EQ(r.screen_info.rcv_xy_offset, 0u);
    EXPECT_EQ(r.screen_info.rcv_xy_len, 0u);
    EXPECT_EQ(r.screen_info.config_id, 0xCAFEu);
}

TEST_F(RcvRecovery, DirectoriesAndTheirListsFollowTheExactPaths)
{
    EXPECT_EQ(r.check_file_dir("/data/rcvrecovery"), 0u); // made by the sandbox's data tree
    QDir(QString::fromStdString(path("/data/smartmapping"))).removeRecursively();
    EXPECT_EQ(r.check_file_dir("/data/smartmapping"), 1u);
    EXPECT_TRUE(QDir(QString::fromStdString(path("/data/smartmapping"))).exists());
    EXPECT_EQ(r.check_file_dir("/data/no/such/parent"), 0u) << "creation failed";

    writeFile("/data/rcvrecovery/TZFX", "x");
    writeFile("/data/rcvrecovery/b", "x");
    writeFile("/data/rcvrecovery/.hidden", "x");
    QDir().mkpath(QString::fromStdString(path("/data/rcvrecovery/sub")));
    writeFile("/data/smartmapping/Z.tzfile", "x");
    writeFile("/data/smartmapping/a.txt", "x");
    writeFile("/mnt/usb1/u.tzfile", "x");

    EXPECT_EQ(r.get_dir_file("/data/rcvrecovery/"), 0u); // trailing slash: stores nothing
    EXPECT_EQ(r.rcv_file_count(), 0);
    EXPECT_EQ(r.get_dir_file("/data/rcvrecovery"), 0u);
    EXPECT_EQ(r.rcv_file_names(), (QStringList{"b", "TZFX"})); // by name, ignoring case
    EXPECT_EQ(r.get_dir_file("/data/smartmapping"), 0u);
    EXPECT_EQ(r.scan_file_names(), (QStringList{"a.txt", "Z.tzfile"}));
    EXPECT_EQ(r.get_dir_file("/mnt/usb1/"), 0u);
    EXPECT_EQ(r.scan_file_names(), QStringList{"u.tzfile"});
    EXPECT_EQ(r.get_dir_file("/mnt/usb1"), 0u) << "not the scan path as written";
    EXPECT_EQ(r.scan_file_names(), QStringList{"u.tzfile"});
    EXPECT_EQ(r.get_dir_file("/data/missing"), 1u);
    EXPECT_EQ(r.rcv_file_count(), 2);
    EXPECT_EQ(r.scan_file_count(), 1);
}

TEST_F(RcvRecovery, ListsStayWholeWhileThreeThreadsListAndRead)
{
    writeFile("/data/rcvrecovery/TZFX", "x");
    for (int i = 0; i < 20; ++i)
        writeFile("/data/smartmapping/f" + std::to_string(i) + ".tzfile", "x");
    g_debugSwitch = 0;
    // The GUI lists the scan directories and the PC's delete re-lists the
    // recovery directory while the worker copies both lists.
    std::atomic<int> running{2};
    std::thread gui([&] {
        for (int i = 0; i < 300; ++i)
            r.get_dir_file(i % 2 ? "/data/smartmapping" : "/mnt/usb1/");
        --running;
    });
    std::thread pc([&] {
        for (int i = 0; i < 300; ++i)
            r.get_dir_file("/data/rcvrecovery");
        --running;
    });
    int odd = 0;
    while (running > 0) {
        QStringList scan = r.scan_file_names();
        if (scan.size() != 0 && scan.size() != 20)
            ++odd;
        if (r.rcv_file_count() > 1)
            ++odd;
    }
    gui.join();
    pc.join();
    EXPECT_EQ(odd, 0);
}

TEST_F(RcvRecovery, LyingFilesGiveAMessageAndKeepTheFields)
{
    QJsonObject m;
    QString file = makeRecovery({"--ports", "3", "--cards", "2", "--card-op", "1:1:0:8:10"}, &m);
    const QByteArray good = readFile(kTzfx.toStdString());
    const uint32_t x = jsonU32(m["entries"].toArray()[1].toObject()["offset"]);
    const uint32_t p = x + jsonU32(m["screens"].toArray()[0].toObject()["rcv_xy_offset"]);
    auto load = [&](const QByteArray& bytes) {
        writeFile(kTzfx.toStdString(), bytes);
        ASSERT_EQ(r.get_rcvPackedFileNum(file), 0u);
        for (uint8_t i = 0; i < r.packed_file_num() && i < 6; ++i)
            r.get_rcvPackedFileInfo(file, i);
    };

    // A head that cannot be read leaves no table to find members in.
    load(good);
    EXPECT_EQ(r.find_packed_file(RCV_SCREEN_FILE), 0);
    EXPECT_EQ(r.get_rcvPackedFileNum("/data/rcvrecovery/none"), RCV_READ_MISSING);
    EXPECT_EQ(r.find_packed_file(RCV_SCREEN_FILE), -1);

    // Truncated inside the pack table: the entry that is cut is refused.
    writeFile(kTzfx.toStdString(), good.left(20));
    ASSERT_EQ(r.get_rcvPackedFileNum(file), 0u);
    EXPECT_EQ(r.get_rcvPackedFileInfo(file, 0), 0u);
    EXPECT_EQ(r.get_rcvPackedFileInfo(file, 1), RCV_READ_MALFORMED);
    EXPECT_TRUE(r.error_text().contains("past the end")) << r.error_text().toStdString();
    EXPECT_EQ(r.find_packed_file(RCV_XY_FILE), -1);

    // A head listing 255 packed files keeps six and refuses the rest.
    QByteArray many = good;
    many[3] = char(0xFF);
    writeFile(kTzfx.toStdString(), many);
    ASSERT_EQ(r.get_rcvPackedFileNum(file), 0u);
    EXPECT_EQ(r.get_rcvPackedFileInfo(file, 6), RCV_READ_MALFORMED);
    EXPECT_EQ(r.get_rcvPackedFileInfo(file, 254), RCV_READ_MALFORMED);

    // A screen-file offset past the end (also 2^31, which a 32-bit seek mistakes).
    for (uint32_t lie : {0xFFFFFFF0u, 0x80000000u}) {
        QByteArray bad = good;
        patch32(bad, 12, lie);
        load(bad);
        r.screen_head.screen_num = 77;
        EXPECT_EQ(r.update_rcvScreenHead(file), RCV_READ_MALFORMED);
        EXPECT_EQ(r.screen_head.screen_num, 77) << "the field is left as it was";
    }

    // X + rcv_xy_offset wraps in 32 bits back into the file: refused.
    load(good);
    ASSERT_EQ(r.update_rcvScreenHead(file), 0u);
    ASSERT_EQ(r.update_rcvScreenIDinfo(file, 0), 0u);
    r.packed_file[1].offset = 0xFFFFFFF0u;
    r.screen_info.rcv_xy_offset = 0x20u;
    EXPECT_EQ(r.update_rcvXYscreenNetnum(file), RCV_READ_MALFORMED);
    EXPECT_EQ(r.set_xy_operate_data_offset(), RCV_READ_MALFORMED);

    // A port that does not exist, and a card whose block claims 65535 operations.
    {
        QByteArray bad = good;
        bad[int(p + 4)] = 20;
        load(bad);
        r.update_rcvScreenHead(file);
        r.update_rcvScreenIDinfo(file, 0);
        ASSERT_EQ(r.update_rcvXYscreenNetnum(file), 0u);
        EXPECT_EQ(r.update_rcvXYscreenNetpara(file, 0), RCV_READ_MALFORMED);
        EXPECT_TRUE(r.error_text().contains("port 20")) << r.error_text().toStdString();
    }
    {
        QByteArray bad = good;
        const uint32_t k = p + 16;
        bad[int(k)] = char(0xFF);
        bad[int(k + 1)] = char(0xFF);
        load(bad);
        r.update_rcvScreenHead(file);
        r.update_rcvScreenIDinfo(file, 0);
        r.update_rcvXYscreenNetnum(file);
        ASSERT_EQ(r.update_rcvXYscreenNetpara(file, 0), 0u);
        r.rcv_operate_times = 9;
        EXPECT_EQ(r.update_rcvXYrcvOperateTimes(file, 0, false), RCV_READ_MALFORMED);
        EXPECT_EQ(r.update_rcvXYrcvOperateTimes(file, 1, false), RCV_READ_MALFORMED);
        EXPECT_EQ(r.rcv_operate_times, 9);
    }

    // Data past the end, and a record longer than the caller's buffer.
    load(good);
    uint8_t buf[16];
    EXPECT_EQ(r.update_rcvOperatedata(file, uint32_t(good.size()) - 4, buf, 8), RCV_READ_MALFORMED);
    EXPECT_EQ(r.update_rcvOperatedata(file, uint32_t(good.size()), buf, 0), 0u);
    r.operate_para.offset = 0;
    r.operate_para.dataLen = 0xFFFFFFFFu;
    uint32_t len = sizeof buf;
    EXPECT_EQ(r.update_rcvDealData(file, buf, &len), RCV_READ_MALFORMED);
    EXPECT_EQ(len, sizeof buf);
}

TEST_F(RcvRecovery, TwoHundredDamagedFilesEndInMessagesNotCrashes)
{
    QJsonObject m;
    QString file = makeRecovery({"--screens", "2", "--ports", "1,11", "--cards", "2", "--card-op", "1:1:0x10:12:100",
                                 "--card-op", "7:1:0:0:50", "--para-op", "1:2:0:6:10"},
                                &m);
    const QByteArray goodRecovery = readFile(kTzfx.toStdString());
    const std::string scanPath = "/data/smartmapping/f.tzfile";
    QDir().mkpath(QString::fromStdString(path("/data/smartmapping")));
    runVyxFiles({"scan", QString::fromStdString(path(scanPath)), "--op", "1:2:0:10:5", "--op", "16:1:0:3:5"},
                path("/tmp-manifest.json"));
    const QByteArray goodScan = readFile(scanPath);

    g_debugSwitch = 0; // the diagnostics of 200 walks are of no use here
    std::mt19937 rng(20240613);
    int failed = 0, walked = 0;
    for (int n = 0; n < 200; ++n) {
        bool scan = n % 4 == 3;
        QByteArray bad = damage(scan ? goodScan : goodRecovery, rng);
        writeFile(scan ? scanPath : kTzfx.toStdString(), bad);
        rcvRecovery fresh;
        Walk w = scan ? walkScan(fresh, QString::fromStdString(scanPath)) : walkRecovery(fresh, file);
        if (w.failed) {
            ++failed;
            EXPECT_FALSE(w.why.isEmpty()) << "case " << n << ": a failed read says why";
            EXPECT_LE(w.failed, RCV_READ_MALFORMED);
        } else {
            ++walked;
        }
        // Whatever the file said, every operation handed on lies in it.
        EXPECT_TRUE(withinFile(w, uint64_t(bad.size()))) << "case " << n;
    }
    EXPECT_GT(failed, 50);
    EXPECT_GT(walked, 10);
}

TEST(TzFileName, SetAndGetFromTwoThreads)
{
    g_tzfile_name.set(QString());
    std::thread screen([] {
        for (int i = 0; i < 2000; ++i)
            g_tzfile_name.set(i % 2 ? QStringLiteral("/mnt/usb1/a.tzfile") : QStringLiteral("/data/smartmapping/bb.tzfile"));
    });
    int odd = 0;
    for (int i = 0; i < 2000; ++i) {
        QString v = g_tzfile_name.get();
        if (!v.isEmpty() && v != "/mnt/usb1/a.tzfile" && v != "/data/smartmapping/bb.tzfile")
            ++odd;
    }
    screen.join();
    EXPECT_EQ(odd, 0);
    g_tzfile_name.set(QString());
}

// Recovery and scan-file jobs against the simulated card chains, with files
// made by tools/vyxfiles.py: the check finds the card that lost its set-up
// and lists it, the recovery restores it, a scan file reaches every card of
// the port; files that do not hold what a step needs, or that ask for what
// cannot be sent, end the job with a message; damaged files never crash it.
#include "jobs_fixture.h"

#include "tests/support/vyxfiles_tool.h"

#include <QDir>
#include <QFile>
#include <random>

namespace {

using platform::SimAnswerPolicy;

const std::string kTzfx = "/data/rcvrecovery/TZFX";
const std::string kScan = "/data/smartmapping/a.tzfile";

class RecoveryTest : public JobsTest {
protected:
    void SetUp() override
    {
        JobsTest::SetUp();
        QDir().mkpath(QString::fromStdString(path("/data/rcvrecovery")));
        QDir().mkpath(QString::fromStdString(path("/data/smartmapping")));
    }

    QJsonObject makeRecovery(const QStringList& options)
    {
        return runVyxFiles(QStringList{"recovery", QString::fromStdString(path(kTzfx))} + options,
                           path("/tmp-manifest.json"));
    }
    QJsonObject makeScan(const QStringList& options)
    {
        QJsonObject m = runVyxFiles(QStringList{"scan", QString::fromStdString(path(kScan))} + options,
                                    path("/tmp-manifest.json"));
        g_tzfile_name.set(QString::fromStdString(kScan));
        return m;
    }

    // The data bytes of card operation k, where the recovery file holds them.
    QByteArray cardOpData(const QJsonObject& m, int screen, int port, int card, int k)
    {
        QJsonObject s = m["screens"].toArray()[screen].toObject();
        QJsonObject p = s["ports"].toArray()[port].toObject();
        QJsonObject op = p["cards"].toArray()[card].toObject()["operations"].toArray()[k].toObject();
        uint32_t at = jsonU32(m["entries"].toArray()[1].toObject()["offset"]) + jsonU32(s["rcv_xy_offset"])
                      + jsonU32(p["net_para_offset"]) + jsonU32(op["offset"]);
        return readFile(kTzfx).mid(int(at), int(jsonU32(op["dataLen"])));
    }
    QByteArray scanOpData(const QJsonObject& m, int k)
    {
        QJsonObject op = m["operations"].toArray()[k].toObject();
        return readFile(kScan).mid(16 + int(jsonU32(op["offset"])), int(jsonU32(op["dataLen"])));
    }

    static QByteArray cardRam(const platform::SimCard& card, uint32_t at, int n, bool flash = false)
    {
        QByteArray out;
        for (int i = 0; i < n; ++i) {
            auto& mem = flash ? card.flash : card.ram;
            auto it = mem.find(at + uint32_t(i));
            out.append(char(it == mem.end() ? 0 : it->second));
        }
        return out;
    }

    QuietLog quiet;
};

TEST_F(RecoveryTest, TheCheckFindsTheLostCardAndTheRecoveryRestoresIt)
{
    QJsonObject made = makeRecovery({"--ports", "0,1", "--cards", "4", "--config-id", "0x12345678", "--card-op",
                                  "1:1:0x100:2500:1000", "--card-op", "2:3:0:0:2000", "--para-op", "1:2:0x20:3:500"});
    cards().setConfigId(0, 0x12345678);
    cards().setConfigId(1, 0x12345678);
    cards().loseSetup(1, 2);

    // Check: port 0's chain answers "none", port 1's names card 2.
    ASSERT_TRUE(runJob(5));
    auto searches = framesWith(rcv::kSearchCards);
    ASSERT_EQ(searches.size(), 2u);
    EXPECT_EQ(searches[0].port, 0);
    EXPECT_EQ(searches[1].port, 1);
    EXPECT_EQ(le32(searches[1].frame.data() + 17), 0x12345678u) << "the screen's configuration id";
    EXPECT_EQ(searches[1].frame[16], 1) << "a recovery file is there";
    EXPECT_EQ(g_send_para.result.load(), 2);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0], QStringList{"01/02/03/04"});
    EXPECT_EQ(count(kChangeRefresh), 1);
    EXPECT_EQ(values(recovery).back(), 100);
    EXPECT_TRUE(smart.empty());
    EXPECT_EQ(m->recovery_port, 1);
    EXPECT_EQ(m->recovery_card, 2);

    // A scan file's search on the same chain between check and recovery
    // names no card: only the check's own search does.
    makeScan({"--op", "7:1:0:2:300"});
    line_type.port = 1;
    clearSeen();
    ASSERT_TRUE(runJob(2));
    ASSERT_EQ(framesWith(rcv::kSearchCards).size(), 1u);
    EXPECT_EQ(g_send_para.result.load(), 65535);
    EXPECT_TRUE(lists.empty());
    EXPECT_EQ(m->recovery_card, 2);

    // Recovery: the screen's parameter block first, then the card's own
    // operations, all to card 2 of port 1 only.
    clearSeen();
    ASSERT_TRUE(runJob(6));
    ASSERT_EQ(sent.size(), 5u);
    const uint8_t commands[] = {rcv::kWriteRegister, rcv::kWriteRam, rcv::kWriteRam, rcv::kWriteRam, rcv::kSaveToFlash};
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].frame[9], commands[i]) << i;
        EXPECT_EQ(sent[i].port, 1);
        EXPECT_EQ(le16(sent[i].frame.data()), 0x1002) << i;
    }
    const platform::SimCard card = cards().card(1, 2);
    EXPECT_FALSE(card.needs_recovery);
    EXPECT_EQ(cardRam(card, 0x100, 2500, true), cardOpData(made, 0, 1, 2, 0));
    EXPECT_TRUE(cards().card(1, 1).ram.empty()) << "its neighbours are left alone";
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_TRUE(lists[0].isEmpty()) << "the recovered card leaves the screen's list";
    EXPECT_EQ(count(kChangeRecovery), 1);
    EXPECT_EQ(values(recovery).back(), 100);
    EXPECT_TRUE(m->job_message().isEmpty()) << m->job_message().toStdString();

    // Checked again, nothing needs recovery; and with nothing listed there
    // is nothing to restore.
    clearSeen();
    ASSERT_TRUE(runJob(5));
    EXPECT_EQ(g_send_para.result.load(), 255);
    EXPECT_TRUE(lists.empty());
    ASSERT_TRUE(runJob(6));
    EXPECT_EQ(framesWith(rcv::kSearchCards).size(), 2u) << "only the check's";
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_NE(m->job_message().indexOf("no card to restore"), -1) << m->job_message().toStdString();
}

TEST_F(RecoveryTest, TheCheckAsksEveryPortOfEveryScreenAndWaitsForSilentOnes)
{
    makeRecovery({"--screens", "2", "--ports", "0,1,2", "--cards", "4"});
    for (int p = 0; p < 3; ++p)
        cards().setPolicy(p, SimAnswerPolicy::Silent);
    ASSERT_TRUE(runJob(5));
    auto searches = framesWith(rcv::kSearchCards);
    ASSERT_EQ(searches.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(searches[i].port, int(i % 3));
        EXPECT_EQ(le32(searches[i].frame.data() + 17), 0x12345678u + uint32_t(i / 3));
        if (i) {
            EXPECT_GT(searches[i].tick - searches[i - 1].tick, 500u);
        }
    }
    EXPECT_EQ(g_send_para.result.load(), 65535);
    EXPECT_TRUE(lists.empty());
    EXPECT_EQ(values(recovery).back(), 100);
    EXPECT_EQ(g_send_para.step.load(), 0);
}

TEST_F(RecoveryTest, TheListedLineNamesScreenPortCardAndChainLength)
{
    makeRecovery({"--ports", "2", "--cards", "12"});
    chain(2, 12);
    cards().setConfigId(2, 0x12345678);
    cards().loseSetup(2, 4);
    ASSERT_TRUE(runJob(5));
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0], QStringList{"01/03/05/12"});

    // The file goes away: the next check has nothing to check against and
    // lists nothing, however the last one ended.
    QFile::remove(QString::fromStdString(path(kTzfx)));
    clearSeen();
    ASSERT_TRUE(runJob(5));
    EXPECT_TRUE(lists.empty());
    EXPECT_EQ(g_send_para.result.load(), 65535);
    EXPECT_TRUE(sent.empty());
    // And with two files there is no telling which one holds the screens.
    makeRecovery({"--ports", "2", "--cards", "12"});
    writeFile("/data/rcvrecovery/other", "x");
    clearSeen();
    ASSERT_TRUE(runJob(5));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(lists.empty());
    EXPECT_NE(m->job_message().indexOf("holds 2 files"), -1) << "nothing was checked";
}

TEST_F(RecoveryTest, PortsOfTheSecondFpgaAreCheckedAndRestoredThere)
{
    QJsonObject made = makeRecovery({"--ports", "12", "--cards", "2", "--card-op", "1:1:0x180:4:1000", "--card-op",
                                  "2:3:0:0:1000"});
    platform::simCards(1).setCards(2, 2);
    sim(1).setLinks(uint16_t(sim(1).links() | 0x4));
    platform::simCards(1).setConfigId(2, 0x12345678);
    platform::simCards(1).loseSetup(2, 1);

    // FPGA 1 without its bitstream answers nothing: no card is found there.
    sim(1).setConfigFails(true);
    turn(100);
    EXPECT_EQ(m->shadow(80, 1), 0);
    ASSERT_TRUE(runJob(5));
    EXPECT_TRUE(lists.empty());
    EXPECT_EQ(g_send_para.result.load(), 65535);

    // Running, it is polled like FPGA 0, without anyone telling the manager.
    sim(1).setConfigFails(false);
    clearSeen();
    ASSERT_TRUE(runJob(5));
    EXPECT_EQ(m->shadow(80, 1), 3);
    auto searches = framesWith(rcv::kSearchCards);
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_EQ(searches[0].fpga, 1);
    EXPECT_EQ(searches[0].port, 2);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0], QStringList{"01/13/02/02"});
    EXPECT_EQ(m->rcv_port_card_num(12), 2);

    clearSeen();
    ASSERT_TRUE(runJob(6));
    ASSERT_EQ(sent.size(), 2u);
    for (const Sent& s : sent) {
        EXPECT_EQ(s.fpga, 1);
        EXPECT_EQ(s.port, 2);
    }
    EXPECT_FALSE(platform::simCards(1).card(2, 1).needs_recovery);
    EXPECT_EQ(cardRam(platform::simCards(1).card(2, 1), 0x180, 4), cardOpData(made, 0, 0, 1, 0));
}

TEST_F(RecoveryTest, AScanFileReachesEveryCardOfTheLayoutsPort)
{
    QJsonObject made = makeScan({"--op", "5:1:0:1:200", "--op", "1:1:0x100:2500:200", "--op", "1:1:0x4000:2000:200",
                              "--op", "16:1:0:5:200", "--op", "2:3:0:0:200", "--op", "6:1:0:0:500"});
    line_type.port = 2;
    g_send_para.result = 3; // left by an earlier check
    ASSERT_TRUE(runJob(2));
    EXPECT_TRUE(m->job_message().isEmpty()) << m->job_message().toStdString();

    // Reconfigure goes card by card, from the last one down.
    auto reconfig = framesWith(rcv::kReconfigure);
    ASSERT_EQ(reconfig.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(le16(reconfig[size_t(i)].frame.data()), 0x2000 + 3 - i);
    // RAM writes to every card at once, in packets of 1000 bytes: 2500 as
    // 1000, 1000, 500; 2000 as 1000, 1000 and an empty last one. The
    // user-defined frame after them is one frame, not more RAM writes.
    auto writes = framesWith(rcv::kWriteRam);
    ASSERT_EQ(writes.size(), 6u);
    const uint32_t at[] = {0x100, 0x100 + 1000, 0x100 + 2000, 0x4000, 0x4000 + 1000, 0x4000 + 2000};
    const size_t len[] = {1019, 1019, 519, 1019, 1019, 19};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(le16(writes[i].frame.data()), 0x0FFF);
        EXPECT_EQ(le32(writes[i].frame.data() + 10), at[i]) << i;
        EXPECT_EQ(writes[i].frame.size(), len[i]) << i;
    }
    EXPECT_EQ(framesWith(rcv::kSaveToFlash).size(), 1u);
    for (int k = 0; k < 4; ++k) {
        platform::SimCard card = cards().card(2, k);
        EXPECT_EQ(card.reconfigs, 1);
        EXPECT_EQ(cardRam(card, 0x100, 2500, true), scanOpData(made, 1)) << k;
        EXPECT_EQ(cardRam(card, 0x4000, 2000, true), scanOpData(made, 2)) << k;
    }
    EXPECT_EQ(cards().card(1, 0).saves, 0) << "other ports are left alone";

    // The sleep at the end holds the job 500 ms after the save.
    EXPECT_GE(smart.back().tick - framesWith(rcv::kSaveToFlash)[0].tick, 50u);
    EXPECT_EQ(values(smart).back(), 100);
    EXPECT_TRUE(recovery.empty());
    EXPECT_TRUE(lists.empty()) << "a scan-file run lists no card";
    EXPECT_EQ(g_send_para.result.load(), 65535);
}

TEST_F(RecoveryTest, UnansweredFramesAreSentThreeTimesMoreThenPassedOver)
{
    makeScan({"--op", "1:2:0x20:4:1000", "--op", "7:1:0:2:300", "--op", "6:1:0:0:0xFFFFFFFF"});
    line_type.port = 3;
    cards().setPolicy(3, SimAnswerPolicy::Silent);
    g_send_para.post(2);
    ASSERT_TRUE(finish(20000, 10));
    auto regs = framesWith(rcv::kWriteRegister);
    ASSERT_EQ(regs.size(), 4u);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_GT(regs[i].tick - regs[i - 1].tick, 100u);
    // The search operation is sent once and waited for; the sleep of 49
    // days is held to 300 s.
    auto searches = framesWith(rcv::kSearchCards);
    ASSERT_EQ(searches.size(), 1u);
    const uint32_t sleepFrom = searches[0].tick + 30;
    EXPECT_GE(smart.back().tick - sleepFrom, 30000u - 10u);
    EXPECT_LE(smart.back().tick - sleepFrom, 30000u + 100u);
    EXPECT_EQ(m->job_message().toStdString(), "1 frame got no answer on output port 4");
}

TEST_F(RecoveryTest, FilesThatCannotBeRunEndTheJobWithAMessage)
{
    line_type.port = 2;
    struct Case {
        QStringList ops;
        const char* says;
    };
    const Case cases[] = {
        {{"--op", "1:2:0x20:2000:100"}, "do not fit in a card frame"},  // register write beyond a frame
        {{"--op", "16:1:0:1015:100"}, "do not fit in a card frame"},    // user frame one byte too long
        {{"--op", "4:1:0:4:100"}, "cannot be run"},                     // card upgrade
        {{"--op", "9:1:0:4:100"}, "cannot be run"},                     // no such type
        {{"--op", "1:1:0:300000:100"}, "need more than 255 frames"},    // 301 packets
    };
    for (const Case& c : cases) {
        makeScan(c.ops);
        clearSeen();
        ASSERT_TRUE(runJob(2));
        EXPECT_TRUE(sent.empty()) << c.says;
        EXPECT_NE(m->job_message().indexOf(c.says), -1) << c.says << ": " << m->job_message().toStdString();
        // Closed at once, cleared a second later with a refresh.
        ASSERT_GE(smart.size(), 1u);
        EXPECT_EQ(smart.back().value, 100);
        EXPECT_EQ(count(kChangeRefresh), 1);
    }

    // At the limit the frames are whole 1024-byte frames.
    makeScan({"--op", "1:2:0:1013:100", "--op", "16:1:0:1014:100"});
    clearSeen();
    ASSERT_TRUE(runJob(2));
    EXPECT_TRUE(m->job_message().isEmpty()) << m->job_message().toStdString();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.front().frame.size(), 1024u);
    EXPECT_EQ(sent.back().frame.size(), 1024u);

    // More operations than the job can count.
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << "--op" << "6:1:0:0:0";
    makeScan(many);
    ASSERT_TRUE(runJob(2));
    EXPECT_NE(m->job_message().indexOf("more than the 255"), -1) << m->job_message().toStdString();

    // Data that lies past the end of the file.
    makeScan({"--op", "1:1:0x100:2500:100"});
    QByteArray cut = readFile(kScan);
    writeFile(kScan, cut.left(cut.size() - 100));
    clearSeen();
    ASSERT_TRUE(runJob(2));
    EXPECT_EQ(framesWith(rcv::kWriteRam).size(), 2u) << "the first two packets are whole";
    EXPECT_NE(m->job_message().indexOf("past the end"), -1) << m->job_message().toStdString();

    // The file goes away while the job runs: asked for again for 3 s, then
    // the job ends.
    makeScan({"--op", "1:1:0x100:4:100"});
    clearSeen();
    g_send_para.post(2);
    while (g_send_para.step.load() != 19)
        turn();
    QFile::remove(QString::fromStdString(path(kScan)));
    ASSERT_TRUE(finish(1000));
    EXPECT_TRUE(sent.empty());
    EXPECT_NE(m->job_message().indexOf("no such file"), -1) << m->job_message().toStdString();

    // A recovery file without a screen description.
    makeRecovery({"--ports", "0"});
    QByteArray bytes = readFile(kTzfx);
    bytes[4] = 9;
    writeFile(kTzfx, bytes);
    clearSeen();
    g_send_para.post(5);
    while (recovery.empty() || recovery.back().value != 100)
        turn();
    EXPECT_EQ(recovery.back().job, 0) << "the job word is free when the ring closes";
    EXPECT_EQ(count(kChangeRefresh), 1);
    EXPECT_NE(m->job_message().indexOf("no screen description"), -1) << m->job_message().toStdString();

    // A scan-file run with no cards on the port.
    makeScan({"--op", "6:1:0:0:0"});
    line_type.port = 7;
    ASSERT_TRUE(runJob(2));
    EXPECT_NE(m->job_message().indexOf("no cards on output port 8"), -1) << m->job_message().toStdString();
}

// A scan-file load whose cable or stick is pulled while it runs says why
// in one line on standard output and posts the smart-setup screen's
// failure notice once the 100 that closes its ring is out, the job word
// already 0; a good load does neither.
TEST_F(RecoveryTest, ALoadWhoseCableOrStickIsPulledSaysSoAndAGoodOneDoesNot)
{
    line_type.port = 2;
    const QStringList ops{"--op", "1:1:0x100:2500:200", "--op", "2:3:0:0:200"};
    auto load = [&](const std::function<void()>& meanwhile) {
        return ended(false, [&] {
            g_send_para.post(2);
            meanwhile();
            EXPECT_TRUE(finish(20000, 10));
        });
    };
    const std::string line = "receiving-card scan-file load failed: ";

    makeScan(ops);
    std::string out = load([] {});
    didItsWork(out);
    EXPECT_TRUE(m->job_message().isEmpty()) << m->job_message().toStdString();
    EXPECT_EQ(cards().card(2, 3).saves, 1);

    // The cable goes once the first packet is out: the job keeps to its
    // retries (the other two packets and the save, each sent four times),
    // then says what went unanswered.
    out = load([&] {
        while (framesWith(rcv::kWriteRam).empty())
            turn();
        cards().setCards(2, 0);
        sim(0).setLinks(uint16_t(sim(0).links() & ~(1u << 2)));
    });
    EXPECT_EQ(framesWith(rcv::kWriteRam).size(), 1u + 2 * 4);
    EXPECT_EQ(framesWith(rcv::kSaveToFlash).size(), 4u);
    failedOnce(out, false, line + "3 frames got no answer on output port 3\n");

    // The stick goes with the file while the load waits for its answer.
    chain(2, 4);
    const std::string stick = "/mnt/usb1/u.tzfile";
    runVyxFiles(QStringList{"scan", QString::fromStdString(path(stick))} + ops, path("/tmp-manifest.json"));
    g_tzfile_name.set(QString::fromStdString(stick));
    out = load([&] {
        while (g_send_para.step.load() != 19)
            turn();
        QFile::remove(QString::fromStdString(path(stick)));
    });
    failedOnce(out, false, line + stick + ": no such file");
    EXPECT_EQ(count(kChangeRefresh), 1);
}

// A check that could not ask a chain, or had no one file to ask with, and
// a recovery with nothing to restore post the recovery screen's failure
// notice after their ring closed; a check every chain answered does not,
// whatever the chains' configuration.
TEST_F(RecoveryTest, ACheckOrRecoveryThatCouldNotDoItsWorkSaysSo)
{
    makeRecovery({"--ports", "0,1", "--cards", "4"});
    cards().setConfigId(0, 0x12345678); // port 1 holds other cards: they answer all the same
    auto run = [&](uint8_t job) { return ended(true, [&] { EXPECT_TRUE(runJob(job)); }); };

    std::string out = run(5);
    didItsWork(out);
    EXPECT_EQ(g_send_para.result.load(), 65535);

    cards().setPolicy(1, SimAnswerPolicy::Silent);
    out = run(5);
    failedOnce(out, true, "receiving-card recovery check failed: 1 frame got no answer on output port 2\n");
    cards().setPolicy(1, SimAnswerPolicy::Normal);

    writeFile("/data/rcvrecovery/other", "x");
    out = run(5);
    failedOnce(out, true, "receiving-card recovery check failed: /data/rcvrecovery holds 2 files");
    EXPECT_TRUE(sent.empty());

    out = run(6);
    failedOnce(out, true, "receiving-card recovery failed: no card to restore");
}

TEST_F(RecoveryTest, DamagedFilesEndWithAMessageAndNeverACrash)
{
    makeRecovery({"--screens", "2", "--ports", "0,1", "--cards", "4", "--card-op",
                                   "1:1:0x100:1500:300", "--card-op", "5:1:0:1:300", "--card-op", "2:3:0:0:300",
                                   "--para-op", "1:2:0x20:3:300", "--para-op", "6:1:0:0:100"});
    const QByteArray goodRecovery = readFile(kTzfx);
    makeScan({"--op", "1:1:0x100:1200:300", "--op", "16:1:0:4:300", "--op", "7:1:0:2:300", "--op", "3:1:0:2:300"});
    const QByteArray goodScan = readFile(kScan);
    line_type.port = 1;
    cards().setConfigId(0, 0x12345678);
    cards().setConfigId(1, 0x12345678);

    std::mt19937 rng(20250307);
    int messages = 0;
    for (int i = 0; i < 200; ++i) {
        cards().loseSetup(1, 2);
        writeFile(kTzfx, damage(goodRecovery, rng));
        writeFile(kScan, damage(goodScan, rng));
        for (uint8_t job : {5, 6, 2}) {
            clearSeen();
            ASSERT_TRUE(runJob(job, 100000, 100)) << "file " << i << ", job " << int(job) << " never ended, step "
                                                  << int(g_send_para.step.load()) << "/"
                                                  << int(g_send_para.sub_step);
            for (const Sent& s : sent)
                ASSERT_LE(s.frame.size(), size_t(rcv::kMaxFrame));
            messages += !m->job_message().isEmpty();
        }
    }
    EXPECT_GT(messages, 100) << "damaged files are told, not run";
}

TEST_F(RecoveryTest, ScanRecordsAreReadFromTheChosenFile)
{
    // Two 22-byte records from byte 4.
    QByteArray f(4 + 2 * 22, '\0');
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = char(v >> (8 * i));
    };
    const int r1 = 4 + 22;
    f[r1] = 0x34;
    f[r1 + 1] = 0x12;
    put32(r1 + 2, 0x01020304);
    put32(r1 + 6, 0x05060708);
    put32(r1 + 10, 0x0A0B0C0D);
    put32(r1 + 14, 0x11121314);
    put32(r1 + 18, uint32_t(-125));
    writeFile("/mnt/usb1/rec.tzfile", f);

    m->scan_para_num = 2;
    SCAN_PARA scan;
    g_tzfile_name.set("rec.tzfile"); // a bare name is one on the stick
    ASSERT_EQ(m->get_operate_deal_para(&scan, 1), 0);
    EXPECT_EQ(scan.at0, 0x1234);
    EXPECT_EQ(scan.at32, 0x01020304u);
    EXPECT_EQ(scan.at36, 0x05060708u);
    EXPECT_EQ(scan.at40, 0x11121314u);
    EXPECT_EQ(scan.at44, 0x0A0B0C0Du);
    EXPECT_EQ(scan.at48, uint32_t(-12));
    g_tzfile_name.set("/mnt/usb1/rec.tzfile");
    EXPECT_EQ(m->get_operate_deal_para(&scan, 0), 0);
    EXPECT_EQ(scan.at0, 0);
    EXPECT_EQ(m->get_operate_deal_para(&scan, 2), 1) << "beyond the record count";
    m->scan_para_num = 3;
    EXPECT_EQ(m->get_operate_deal_para(&scan, 2), 1) << "beyond the file";
    g_tzfile_name.set("/mnt/usb1/none.tzfile");
    EXPECT_EQ(m->get_operate_deal_para(&scan, 0), 1);
}

} // namespace

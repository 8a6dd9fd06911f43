// The smart-setup jobs against the simulated card chains: every card gets
// its position, every chain saves and switches its mapping, the progress
// the screens will show, time-outs on silent chains, and PC frames going
// first.
#include "jobs_fixture.h"

#include "remote/pclink.h"
#include "remote/uart_inout.h"

namespace {

using platform::SimAnswerPolicy;
using fpga_layout::kCardCount;
using Jobs = JobsTest;

Bytes sealed(Bytes b)
{
    b.push_back(Utils::BCC(b.data(), unsigned(b.size())));
    return b;
}

// The card table as the idle search would leave it: only `port` has cards.
void onlyPort(uint8_t port, uint16_t count)
{
    for (int p = 0; p < 10; ++p)
        putLe16(fpga_manage::MCU_RAM_PARA_func[0] + kCardCount[p], p == port ? count : 0);
}

TEST_F(Jobs, SaveToFlashReachesEveryCardOfEveryChain)
{
    chain(5, 2);
    clearSeen();
    ASSERT_TRUE(runJob(3));

    // One save frame per port with cards, in port order, each answered at once.
    auto saves = framesWith(rcv::kSaveToFlash);
    ASSERT_EQ(saves.size(), 5u);
    const int ports[] = {0, 1, 2, 3, 5};
    for (size_t i = 0; i < saves.size(); ++i) {
        EXPECT_EQ(saves[i].port, ports[i]);
        EXPECT_EQ(saves[i].frame, sealed({0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, uint8_t(ports[i] + 1), 0x00,
                                          0x81, 0xFF, 0x00}));
    }
    EXPECT_EQ(sent.size(), saves.size()) << "nothing else went out meanwhile";
    for (int p : ports)
        for (int k = 0; k < cards().cards(p); ++k) {
            EXPECT_EQ(cards().card(p, k).saves, 1) << p << "/" << k;
            EXPECT_EQ(cards().card(p, k).flash, cards().card(p, k).ram);
        }

    // The ring restarts per frame, shows 95 when the ports are done and
    // closes 200 ticks later.
    EXPECT_EQ(values(smart), (std::vector<int>{0, 0, 0, 0, 0, 95, 100}));
    EXPECT_GT(smart[6].tick - smart[5].tick, 200u);
    EXPECT_TRUE(recovery.empty());
    EXPECT_EQ(g_send_para.step.load(), 0);
}

TEST_F(Jobs, MappingSwitchesEveryCardOnAndOff)
{
    g_send_para.mapping = 9;
    ASSERT_TRUE(runJob(4));
    auto frames = framesWith(rcv::kWriteRegister);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2].frame,
              sealed({0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0xA0, 0x03, 0x0F, 0x01, 0x09}));
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(cards().card(p, k).mapping(), 9) << p << "/" << k;
    EXPECT_EQ(values(smart), (std::vector<int>{0, 0, 0, 0, 95, 100}));

    g_send_para.mapping = 0;
    ASSERT_TRUE(runJob(4));
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(cards().card(p, k).mapping(), 0) << p << "/" << k;
}

TEST_F(Jobs, EveryCardOfThePortGetsItsPositionThenTheClosingFrame)
{
    chain(1, 3);
    // Three cards in one row of four, snake from the bottom right, offsets
    // (16, 8): the row is the bottom one, read leftward.
    line_type = LINE_TYPE{64, 32, 16, 8, 1, 1, 3, 1};
    clearSeen();
    ASSERT_TRUE(runJob(1));

    ASSERT_EQ(sent.size(), 4u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(sent[size_t(k)].port, 1);
        EXPECT_EQ(sent[size_t(k)].frame.size(), 23u);
        EXPECT_EQ(le16(sent[size_t(k)].frame.data()), 0x1000 + k) << "card " << k << " of port 1";
    }
    EXPECT_EQ(cards().card(1, 0).x(), 16 + 128);
    EXPECT_EQ(cards().card(1, 1).x(), 16 + 64);
    EXPECT_EQ(cards().card(1, 2).x(), 16);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(cards().card(1, k).y(), 8);
    EXPECT_EQ(sent[3].frame,
              sealed({0xFE, 0x1F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xA0, 0x01, 0xFF, 0x01, 0xFF}));
    EXPECT_EQ(cards().card(1, 2).regs[1], 0xFF);

    EXPECT_EQ(values(smart), (std::vector<int>{0, 0, 0, 0, 90, 100}));
    EXPECT_GT(smart[5].tick - smart[4].tick, 200u);
}

TEST_F(Jobs, SilentChainsCostTheirTimeOutAndTheRingKeepsTurning)
{
    // Job 3 with five cards on port 4 only, none answering: one frame, then
    // 100 ticks per card and 1200 more before the job moves on.
    cards().setPolicy(4, SimAnswerPolicy::Silent);
    onlyPort(4, 5);
    g_send_para.post(3);
    while (sent.empty())
        turn();
    ASSERT_EQ(sent[0].port, 4);
    EXPECT_EQ(sent[0].frame.size(), 13u);
    for (int t = 0; t < 1700; ++t) {
        turn();
        ASSERT_EQ(g_send_para.step.load(), 3) << "still waiting " << t + 1 << " ticks after the frame";
    }
    turn();
    EXPECT_EQ(g_send_para.step.load(), 1);
    ASSERT_TRUE(finish());
    EXPECT_EQ(sent.size(), 1u);

    // While it waited the ring pulsed every 101 ticks: 1, 2, ..., 16.
    std::vector<int> v = values(smart);
    ASSERT_EQ(v.size(), 19u);
    EXPECT_EQ(v.front(), 0);
    for (size_t i = 1; i <= 16; ++i) {
        EXPECT_EQ(v[i], int(i));
        EXPECT_EQ(smart[i].tick - smart[i - 1].tick, 101u);
    }
    EXPECT_EQ(v[17], 95);
    EXPECT_EQ(v[18], 100);

    // A longer wait: the pulse runs past 99 back to 1.
    onlyPort(4, 100);
    clearSeen();
    ASSERT_TRUE(runJob(3));
    v = values(smart);
    auto at99 = std::find(v.begin(), v.end(), 99);
    ASSERT_NE(at99, v.end());
    EXPECT_EQ(*(at99 + 1), 1);
    EXPECT_EQ(v.back(), 100);
}

TEST_F(Jobs, WithoutCardsTheJobsCloseAtOnce)
{
    onlyPort(0, 0);
    for (uint8_t job : {3, 4}) {
        clearSeen();
        ASSERT_TRUE(runJob(job));
        EXPECT_TRUE(sent.empty());
        EXPECT_EQ(values(smart), (std::vector<int>{95, 100})) << int(job);
    }
    // Job 1 on a port without cards, and on a port beyond the ten.
    for (uint8_t port : {2, 12}) {
        line_type = LINE_TYPE{64, 32, 0, 0, port, 2, 2, 4};
        clearSeen();
        ASSERT_TRUE(runJob(1));
        EXPECT_TRUE(sent.empty());
        EXPECT_EQ(values(smart), (std::vector<int>{90, 100})) << int(port);
    }
}

// A job that left cards without their frame, or found none to send to,
// says why in one line on standard output and posts the smart-setup
// screen's failure notice after the value that closes the ring, with the
// job word already 0. A job every chain answered posts none.
TEST_F(Jobs, AJobThatLeftCardsWithoutTheirFrameSaysSoOnceItsRingHasClosed)
{
    auto run = [&](uint8_t job) { return ended(false, [&] { EXPECT_TRUE(runJob(job)); }); };

    std::string out = run(3);
    didItsWork(out);
    EXPECT_TRUE(m->job_message().isEmpty()) << m->job_message().toStdString();

    // The chain of output 3 never answers its mapping frame.
    cards().setPolicy(2, SimAnswerPolicy::Silent);
    g_send_para.mapping = 9;
    out = run(4);
    failedOnce(out, false, "receiving-card mapping switch failed: 1 frame got no answer on output port 3\n");
    EXPECT_EQ(framesWith(rcv::kWriteRegister).size(), 4u) << "the other chains had theirs";
    EXPECT_EQ(cards().card(3, 0).mapping(), 9);
    cards().setPolicy(2, SimAnswerPolicy::Normal);

    // One card of three that does not answer its position.
    chain(1, 3);
    cards().setCardSilent(1, 1, true);
    line_type = LINE_TYPE{64, 32, 0, 0, 1, 1, 3, 10};
    out = run(1);
    failedOnce(out, false, "receiving-card position send failed: 1 frame got no answer on output port 2\n");
    EXPECT_EQ(cards().card(1, 2).x(), 128) << "the cards after it had theirs";

    // The cable pulled once the first card has its position: the link goes
    // down with the first answer, and the port's cards with it.
    line_type.port = 3;
    out = ended(false, [&] {
        g_send_para.post(1);
        while (framesWith(rcv::kWriteRam).empty())
            turn();
        cards().setCards(3, 0);
        sim(0).setLinks(uint16_t(sim(0).links() & ~(1u << 3)));
        EXPECT_TRUE(finish());
    });
    failedOnce(out, false, "receiving-card position send failed: the cards of output port 4 went away after 1 of them "
                           "were sent their position\n");
    EXPECT_EQ(framesWith(rcv::kWriteRam).size(), 1u);

    // No cards on the layout's port, and none anywhere.
    line_type.port = 6;
    out = run(1);
    failedOnce(out, false, "receiving-card position send failed: there are no cards on output port 7\n");
    onlyPort(0, 0);
    out = run(3);
    failedOnce(out, false, "receiving-card parameter save failed: there are no cards on output ports 1-10\n");
    EXPECT_EQ(values(smart), (std::vector<int>{95, 100})) << "the ring as before";
    EXPECT_EQ(m->job_message().toStdString(), "there are no cards on output ports 1-10");
}

TEST_F(Jobs, PcFramesGoFirstAndTheJobWaitsForQuiet)
{
    Tz_uart_inout::pInstance(); // a transport for the PC's answers
    auto pcFrame = [&] {
        // The PC reads 4 bytes of card 0 on port 2 (kind 1: port byte 3).
        Bytes f = sealed({0x00, 0x00, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0x61, 0x00, 0x01, 0, 0, 4, 0, 0, 0});
        pthread_mutex_lock(&m->rcv_mutex);
        g_passby_trans_port = pclink::kTransportSerial;
        m->answer_arrived = 0;
        m->Dealwith1_PC_to_eth(int(f.size()), f.data());
        pthread_mutex_unlock(&m->rcv_mutex);
        // What every link does for every PC frame.
        pc_cmd_time = G_timeTicks.load();
        pc_cmd_valid = 1;
    };

    g_send_para.post(3);
    turn();
    turn();
    turn(); // the first save frame is out
    ASSERT_EQ(framesWith(rcv::kSaveToFlash).size(), 1u);
    // The PC talks every 50 ticks for 1000 ticks: its frames go out at once
    // and are answered; the job sends nothing.
    for (int i = 0; i < 20; ++i) {
        pcFrame();
        for (int t = 0; t < 50; ++t) {
            turn();
            if (t == 2) {
                EXPECT_EQ(m->answer_arrived.load(), 1) << "the card answered the PC";
            }
        }
    }
    EXPECT_EQ(framesWith(rcv::kSaveToFlash).size(), 1u);
    EXPECT_EQ(framesWith(rcv::kReadRam).size(), 20u);
    EXPECT_EQ(pc_cmd_valid.load(), 1);

    // 80 quiet ticks later the flag falls, the search-sent mask with it, and
    // the job goes on from where it was.
    m->search_sent_mask = 0x5;
    for (int t = 0; t < 30; ++t)
        turn();
    EXPECT_EQ(pc_cmd_valid.load(), 1);
    turn();
    EXPECT_EQ(pc_cmd_valid.load(), 0);
    EXPECT_EQ(m->search_sent_mask, 0u);
    const uint32_t quiet = G_timeTicks.load();
    ASSERT_TRUE(finish());
    auto saves = framesWith(rcv::kSaveToFlash);
    ASSERT_EQ(saves.size(), 4u);
    EXPECT_GT(saves[1].tick, quiet);
    EXPECT_EQ(values(smart).back(), 100);
}

} // namespace

// PC frames for the receiving cards: where they are sent, how the cards'
// answers are rewritten, collected and queued for the transport that waits.
#include "cards_fixture.h"

#include "remote/pclink.h"
#include "remote/protocol_phy.h"
#include "remote/uart_inout.h"

namespace {

using namespace fpga_layout;

class Passby : public CardsTest {
protected:
    void SetUp() override
    {
        CardsTest::SetUp();
        serial = Tz_uart_inout::pInstance(); // a transport to queue answers for
    }

    // Hands a PC body over as a link does.
    void handOver(Bytes body, uint8_t transport = pclink::kTransportSerial)
    {
        pthread_mutex_lock(&m->rcv_mutex);
        g_passby_trans_port = transport;
        m->answer_arrived = 0;
        m->Dealwith1_PC_to_eth(int(body.size()), body.data());
        pthread_mutex_unlock(&m->rcv_mutex);
    }

    // The decoded answers queued on a serial reply list (taken).
    Bytes queued(ReplyListOf<SerialReplyRecord>& list)
    {
        pthread_mutex_lock(&m->rcv_mutex);
        Bytes body;
        if (!list.empty()) {
            const SerialReplyRecord& r = *list.front();
            EXPECT_EQ(r.handle, serial->uart_fd);
            body.resize(r.length);
            int n = protocol_phy::data_transf_meaning(r.frame + 1, int(r.length) - 2, body.data());
            body.resize(size_t(std::max(n, 0)));
            EXPECT_EQ(list.size(), 1u);
            list.clear();
        }
        pthread_mutex_unlock(&m->rcv_mutex);
        return body;
    }
    Bytes queued() { return queued(serial->ReplyList); }

    static Bytes pcFrame(uint16_t destination, uint8_t family, uint8_t kind, uint8_t portByte, uint8_t command,
                         const Bytes& args)
    {
        Bytes b{uint8_t(destination), uint8_t(destination >> 8), 0x10, 0xF0, 0x10, family, kind, portByte, 0, command};
        b.insert(b.end(), args.begin(), args.end());
        b.push_back(Utils::BCC(b.data(), unsigned(b.size())));
        return b;
    }
    static bool sumOk(const Bytes& b) { return !b.empty() && Utils::BCC(b.data(), unsigned(b.size() - 1)) == b.back(); }

    Tz_uart_inout* serial = nullptr;
};

const Bytes kRead = {0x00, 0x01, 0, 0, 4, 0, 0, 0}; // 4 bytes at 0x100

TEST_F(Passby, FramesGoToThePortTheirAddressingNames)
{
    // Kind 1, port byte 3: port 2, whose bits join the destination, and the
    // checksum follows.
    Bytes f = pcFrame(0x0005, 0x67, 0x01, 3, 0x61, kRead);
    handOver(f);
    auto sent = sim(0).sentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].port, 2);
    Bytes expected = f;
    expected[1] = 0x20;
    expected.back() ^= 0x20;
    EXPECT_EQ(sent[0].frame, expected);
    // The receive acknowledge bits were cleared first.
    EXPECT_EQ(writes(147).back().mask, 0x0F);
    EXPECT_EQ(writes(131).front().mask, 0x0F);

    // Kind 0, port byte 0: port 0, unchanged.
    f = pcFrame(0x1005, 0x67, 0x00, 0, 0x61, kRead);
    handOver(f);
    EXPECT_EQ(sim(0).sentFrames().back().port, 0);
    EXPECT_EQ(sim(0).sentFrames().back().frame, f);
    // Kind 3 or 255 with port byte 0: the port of the destination's bits.
    handOver(pcFrame(0x3002, 0x67, 0xFF, 0, 0x61, kRead));
    EXPECT_EQ(sim(0).sentFrames().back().port, 3);
    handOver(pcFrame(0x0002, 0x67, 0x03, 12, 0x61, kRead));
    EXPECT_EQ(sim(0).sentFrames().back().port, 11);

    // Dropped: a port beyond 15 or 32, another kind, 1024 bytes or more.
    size_t before = sim(0).sentFrames().size();
    handOver(pcFrame(0x0002, 0x67, 0x01, 20, 0x61, kRead));
    handOver(pcFrame(0x0002, 0x67, 0x01, 40, 0x61, kRead));
    handOver(pcFrame(0x0002, 0x67, 0x02, 1, 0x61, kRead));
    handOver(pcFrame(0x0002, 0x67, 0x01, 1, 0x60, Bytes(1013, 0)));
    handOver(Bytes{0x02, 0x00, 0x10, 0xF0, 0x10});
    EXPECT_EQ(sim(0).sentFrames().size(), before);
}

TEST_F(Passby, SinglePortAnswersNameTheirPortAndReachTheWaitingTransport)
{
    // Port 5 has no cards; the answer is made up: byte 7 = 0, source 0x1003.
    handOver(pcFrame(0x0003, 0x67, 0x01, 6, 0x61, kRead));
    const Bytes made = answer(0xF010, 0x1003, 0x67, 0, 0x61, {0, 1, 2, 3, 4});
    sim(0).queueAnswer(2, made);
    poll();
    Bytes got = queued();
    ASSERT_EQ(got.size(), made.size());
    EXPECT_EQ(got[7], 6);
    EXPECT_EQ(got[2] | got[3] << 8, 0x0003);
    EXPECT_TRUE(sumOk(got));
    EXPECT_EQ(g_passby_trans_port.load(), 255);
    EXPECT_EQ(m->answer_arrived.load(), 1);

    // Nobody waits: dropped, no flag.
    m->answer_arrived = 0;
    sim(0).queueAnswer(2, made);
    poll();
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(m->answer_arrived.load(), 0);

    // A wrong checksum reaches the PC as wrong as it came.
    handOver(pcFrame(0x0003, 0x67, 0x01, 6, 0x61, kRead));
    Bytes bad = made;
    bad.back() ^= 0x40;
    sim(0).queueAnswer(2, bad);
    poll();
    got = queued();
    ASSERT_FALSE(got.empty());
    EXPECT_FALSE(sumOk(got));

    // A late answer to an earlier request (another command, or another
    // port) is not taken for the one waiting now.
    handOver(pcFrame(0x0003, 0x67, 0x01, 6, 0x60, {0, 1, 0, 0, 1, 0, 0, 0, 7}));
    sim(0).queueAnswer(2, made);
    sim(0).queueAnswer(0, answer(0xF010, 0x0001, 0x67, 1, 0x60, {0}));
    poll(3);
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(g_passby_trans_port.load(), pclink::kTransportSerial);
}

TEST_F(Passby, TheSimulatedCardsAnswerThePcThroughTheRoad)
{
    // A search of port 0 answers the chain's count and fills the table.
    handOver(pcFrame(0x0FFE, 0xAA, 0xFF, 1, 0x10, {}));
    poll();
    Bytes got = queued();
    ASSERT_EQ(got.size(), 24u);
    EXPECT_EQ(got[9], 0x10);
    EXPECT_EQ(got[11] | got[12] << 8, 4);
    EXPECT_EQ(m->get_port_card_num(0), 4);
    // Write card 2 of port 1, read it back.
    const Bytes data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Bytes write{0x00, 0x05, 0, 0, 16, 0, 0, 0};
    write.insert(write.end(), data.begin(), data.end());
    handOver(pcFrame(0x0002, 0x67, 0x01, 2, 0x60, write));
    poll();
    EXPECT_EQ(queued(), answer(0xF010, 0x0002, 0x67, 2, 0x60, {0}));
    handOver(pcFrame(0x0002, 0x67, 0x01, 2, 0x61, {0x00, 0x05, 0, 0, 16, 0, 0, 0}));
    poll();
    got = queued();
    ASSERT_EQ(got.size(), 28u);
    EXPECT_EQ(Bytes(got.begin() + 11, got.end() - 1), data);
}

TEST_F(Passby, MulticastAnswersOnceWhenEveryPortWithCardsAnswered)
{
    // Ports 0, 1 and 4 linked; cards on ports 0 and 4 only.
    sim(0).setLinks(0x0013);
    cards().setCards(1, 0);
    cards().setCards(4, 2);
    putLe16(image() + kCardCount[0], 4);
    putLe16(image() + kCardCount[4], 2);
    const Bytes write = pcFrame(0x0FFF, 0x67, 0x01, 0xFF, 0x60, {0x00, 0x20, 0, 0, 1, 0, 0, 0, 0x77});
    handOver(write);
    auto sent = sim(0).sentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].port, 0);
    EXPECT_EQ(sent[1].port, 4);
    EXPECT_EQ(sent[1].frame, write); // 4 & 3 = 0: the destination keeps bits 0
    EXPECT_EQ(m->multicast_sent.load(), 1);

    poll(); // port 0's answer: one of two
    EXPECT_TRUE(queued().empty());
    poll(); // port 4's completes the set
    Bytes got = queued();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[2] | got[3] << 8, 0x0FFF);
    EXPECT_EQ(got[7], 0xFF);
    EXPECT_TRUE(sumOk(got));
    EXPECT_EQ(m->multicast_sent.load(), 0);
    EXPECT_EQ(m->answered_ports, 0u);
    EXPECT_EQ(cards().card(0, 3).ramByte(0x2000), 0x77);
    EXPECT_EQ(cards().card(4, 1).ramByte(0x2000), 0x77);

    // A port that stays silent leaves the collection open; the next
    // multicast starts afresh. Sent to 0x0FFE, the answer says so.
    cards().setCardSilent(4, 1, true);
    handOver(write);
    poll(3);
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(m->answered_ports, 1u);
    cards().setCardSilent(4, 1, false);
    Bytes broadcast = pcFrame(0x0FFE, 0x67, 0x01, 0xFF, 0x60, {0x00, 0x20, 0, 0, 1, 0, 0, 0, 0x78});
    handOver(broadcast);
    poll(2);
    got = queued();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[2] | got[3] << 8, 0x0FFE);
    EXPECT_EQ(cards().card(4, 1).ramByte(0x2000), 0x78);
}

TEST_F(Passby, WhileAMulticastCollectsTheReadyBitsAreWatchedWithoutTheInterrupt)
{
    sim(0).setLinks(0x0001);
    putLe16(image() + kCardCount[0], 4);
    cards().setPolicy(0, platform::SimAnswerPolicy::Silent);
    handOver(pcFrame(0x0FFF, 0x67, 0x01, 0xFF, 0x61, kRead));
    pc_cmd_valid = 1;
    sim(0).clearLogs();
    G_timeTicks = 100;
    poll(); // phase 1
    G_timeTicks = 102;
    poll(); // looks at registers 129 and 145
    int reads = 0;
    for (auto& a : sim(0).accesses())
        reads += a.kind == SimFpga::Access::RegRead && (a.id == 129 || a.id == 145);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(m->reply_pending[0], 0u);
}

TEST_F(Passby, ModemAnswersGoToTheModemsOwnList)
{
    Tz_uart_inout_4G* modem = Tz_uart_inout_4G::pInstance();
    handOver(pcFrame(0x0001, 0x67, 0x01, 1, 0x61, kRead), pclink::kTransport4G);
    poll();
    pthread_mutex_lock(&m->rcv_mutex);
    EXPECT_EQ(modem->ReplyList.size(), 1u);
    EXPECT_EQ(modem->ReplyList.empty() ? -2 : modem->ReplyList.front()->handle, modem->uart_fd);
    EXPECT_TRUE(serial->ReplyList.empty());
    pthread_mutex_unlock(&m->rcv_mutex);
}

} // namespace

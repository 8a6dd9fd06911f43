// The links in this process, spoken to over real loopback sockets and the
// simulated serial ports.
#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "core/globals.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/card_sim.h"
#include "platform/serial.h"
#include "platform/sim_chips.h"
#include "remote/networkmanage.h"
#include "remote/pclink.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "scaler/c331_manage.h"
#include "tests/remote/pc_client.h"

namespace {
const Bytes kWrite = pc::writeRam(2176, {0x50, 0x00});

class Links : public Sandbox {
protected:
    // The FPGA manager without its worker, FPGA 0 counted as running so
    // that the links' receive polls read its answers; the simulated cards
    // sit behind its ports (4 cards on each of ports 0-3).
    void SetUp() override
    {
        Sandbox::SetUp();
        VyxRamPara::pInstance();
        c331_manage::createForTest(); // the request protocol alone, no scaler thread
        fpga_manage::pInstance()->write_to_register(80, 0xFF, 3, 0);
    }
    static void startAll()
    {
        networkManage::pInstance();
        udpnetManage::pInstance();
        Tz_uart_inout::pInstance();
        Tz_uart_inout_4G::pInstance();
    }
    // Sends a card frame and returns the answer's data (status first).
    static Bytes askCard(pc::Endpoint& link, const Bytes& request, uint16_t from, int timeoutMs = 2000)
    {
        Bytes answer;
        if (!link.send(request) || !link.receive(&answer, timeoutMs)) {
            ADD_FAILURE() << "no card answer";
            return {};
        }
        return pc::cardAnswer(request, answer, from);
    }
    static platform::SimCardChains& cards() { return platform::simCards(0); }
};
} // namespace

TEST_F(Links, TcpAnswersTheControllerCommands)
{
    networkManage::pInstance();
    pc::TcpClient pc(pcPort(5005));
    G_timeTicks = 1234;
    EXPECT_EQ(pc.ask(kWrite), Bytes{0});
    EXPECT_EQ(pc_cmd_valid.load(), 1);
    EXPECT_EQ(pc_cmd_time.load(), 1234u);

    // Data made only of the escaped values round-trips.
    Bytes readBack{0};
    for (int i = 0; i < 16; ++i)
        readBack.insert(readBack.end(), {0xA5, 0x5A, 0xA6, 0x5B});
    EXPECT_EQ(pc.ask(pc::writeRam(1000, Bytes(readBack.begin() + 1, readBack.end()))), Bytes{0});
    EXPECT_EQ(pc.ask(pc::readRam(1000, 64)), readBack);

    // Register 11 raises the scaler's request.
    EXPECT_EQ(pc.ask(pc::writeRegister(11, 0x01, 0x01)), Bytes{0});
    EXPECT_EQ(c331_manage::p_c331_manage->para_changed, 2);

    // The second port serves the same commands.
    pc::TcpClient second(pcPort(10002));
    EXPECT_EQ(second.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
}

TEST_F(Links, TcpSurvivesBrokenClientsAndBrokenInput)
{
    networkManage::pInstance();
    pc::TcpClient good(pcPort(5005)), bad(pcPort(5005));
    ASSERT_TRUE(good.ok() && bad.ok());
    { // connect and vanish, one half-way through a frame
        pc::TcpClient gone(pcPort(5005)), half(pcPort(5005));
        Bytes frame = pc::encode(kWrite);
        half.sendRaw(Bytes(frame.begin(), frame.begin() + long(frame.size() / 2)));
    }

    Bytes wrongSum = kWrite;
    wrongSum.back() ^= 0x01;
    bad.send(wrongSum);
    std::mt19937 random(5);
    Bytes noise(3000);
    for (uint8_t& b : noise)
        b = uint8_t(random());
    bad.sendRaw(noise);
    bad.sendRaw(Bytes{0xA5, 0xA6, 0x07, 0x5A, 0xA5, 0x01, 0x02, 0x5A, 0x00, 0x00, 0x00}); // broken escape, short body
    bad.sendRaw(pc::encode(pc::body(0xF222, pc::kPc, 0x61, {0, 0, 0, 0, 1, 0, 0, 0})));    // someone else's
    // None of it is answered: the next reply is the one for this request.
    EXPECT_EQ(bad.ask(pc::readRam(2176, 2)), (Bytes{0, 100, 0})); // the default brightness

    // A chunk of nine bytes is dropped whole, so the rest of its frame is
    // noise; then a frame split over segments longer than nine bytes, and
    // two frames in one segment.
    const std::pair<Bytes, Bytes> answered[] = {
        {kWrite, {0}}, {pc::readRam(2176, 1), {0, 0x50}}, {pc::readRam(2177, 1), {0, 0}}};
    for (auto [frame, cut] : std::vector<std::pair<Bytes, int>>{{pc::encode(pc::readRam(2176, 1)), 9},
                                                                {pc::encode(kWrite), 10}}) {
        bad.sendRaw(Bytes(frame.begin(), frame.begin() + cut));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bad.sendRaw(Bytes(frame.begin() + cut, frame.end()));
    }
    Bytes two = pc::encode(answered[1].first), second = pc::encode(answered[2].first);
    two.insert(two.end(), second.begin(), second.end());
    bad.sendRaw(two);
    for (const auto& [request, data] : answered) {
        Bytes reply;
        ASSERT_TRUE(bad.receive(&reply));
        EXPECT_EQ(pc::replyData(request, reply), data);
    }
    EXPECT_EQ(good.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
}

TEST_F(Links, TcpKeepsShortPiecesOfAFrameInAssembly)
{
    networkManage::pInstance();
    pc::TcpClient pc(pcPort(5005));
    // A frame whose last piece is five bytes, then one sent in pieces of
    // eight after its first twelve bytes.
    const Bytes big = pc::encode(pc::writeRam(1000, Bytes(3000, 0x11)));
    pc.sendRaw(Bytes(big.begin(), big.end() - 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pc.sendRaw(Bytes(big.end() - 5, big.end()));
    Bytes reply;
    ASSERT_TRUE(pc.receive(&reply));
    EXPECT_EQ(pc::replyData(pc::writeRam(1000, Bytes(3000, 0x11)), reply), Bytes{0});

    const Bytes read = pc::readRam(3999, 2), frame = pc::encode(read);
    pc.sendRaw(Bytes(frame.begin(), frame.begin() + 12));
    for (size_t at = 12; at < frame.size(); at += 8) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pc.sendRaw(Bytes(frame.begin() + long(at), frame.begin() + long(std::min(frame.size(), at + 8))));
    }
    ASSERT_TRUE(pc.receive(&reply));
    EXPECT_EQ(pc::replyData(read, reply), (Bytes{0, 0x11, 0}));
}

TEST_F(Links, TcpClientsAreProbedWithKeepAlive)
{
    networkManage::pInstance();
    pc::TcpClient pc(pcPort(5005));
    ASSERT_EQ(pc.ask(pc::readRam(0, 1)).size(), 2u);
    // The controller's end of this connection (its control port, remote the
    // client's port) runs the keep-alive timer: "tr" 2 in the kernel table.
    sockaddr_in mine{};
    socklen_t length = sizeof mine;
    ASSERT_EQ(::getsockname(pc.fd(), reinterpret_cast<sockaddr*>(&mine), &length), 0);
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, ":%04X 0100007F:%04X", pcPort(5005), ntohs(mine.sin_port));
    QFile table("/proc/net/tcp");
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    QByteArray row;
    for (QByteArray line : table.readAll().split('\n'))
        if (line.contains(wanted))
            row = line.simplified();
    ASSERT_FALSE(row.isEmpty());
    EXPECT_TRUE(row.split(' ').value(5).startsWith("02:")) << row.toStdString();
}

TEST_F(Links, AFullClientTableDropsTheClientIdleLongest)
{
    networkManage::pInstance();
    std::vector<std::unique_ptr<pc::TcpClient>> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(std::make_unique<pc::TcpClient>(pcPort(5005)));
        ASSERT_EQ(clients.back()->ask(pc::readRam(0, 1)).size(), 2u) << i;
    }
    for (int i = 0; i < 16; ++i) {
        if (i != 3) {
            ASSERT_EQ(clients[size_t(i)]->ask(pc::readRam(0, 1)).size(), 2u) << i;
        }
    }
    pc::TcpClient late(pcPort(5005));
    EXPECT_EQ(late.ask(pc::readRam(0, 1)).size(), 2u);
    Bytes none;
    EXPECT_FALSE(clients[3]->receive(&none, 1000)); // closed by the controller
    EXPECT_EQ(clients[15]->ask(pc::readRam(0, 1)).size(), 2u);
}

TEST_F(Links, ATcpClientThatLeavesEndsItsFileTransfer)
{
    networkManage::pInstance();
    const Bytes start = pc::fileStart(5, "ALIS", 100);
    {
        pc::TcpClient gone(pcPort(5005));
        EXPECT_EQ(gone.ask(start)[0], 0);
        EXPECT_EQ(gone.ask(pc::fileBlock(0, Bytes(50, 1)))[0], 0);
        pc::TcpClient other(pcPort(5005));
        EXPECT_EQ(other.ask(start)[0], 6); // busy while the first is there
    }
    pc::TcpClient next(pcPort(5005));
    EXPECT_EQ(next.ask(start)[0], 0);
    EXPECT_FALSE(exists("/data/configs/alias.json"));
}

TEST_F(Links, EveryLinkAnswersAlikeAndReachesTheCards)
{
    startAll();
    pc::TcpClient tcp(pcPort(5005));
    Bytes expected;
    ASSERT_TRUE(tcp.send(kWrite) && tcp.receive(&expected));
    pc::UdpClient udp5008(pcPort(5008)), udp10005(pcPort(10005));
    pc::SerialClient serial(platform::simSerial().farEnd(2)), modem(platform::simSerial().farEnd(1));
    ASSERT_TRUE(serial.ok() && modem.ok());

    pc::Endpoint* links[] = {&tcp, &udp5008, &udp10005, &serial, &modem};
    for (uint8_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(int(i));
        Bytes reply;
        ASSERT_TRUE(links[i]->send(kWrite) && links[i]->receive(&reply));
        EXPECT_EQ(reply, expected);
        // Card 1 of port 0: its RAM takes the bytes and gives them back; the
        // answer names the card without the port bits.
        G_timeTicks = uint32_t(500 + i);
        const Bytes data{i, 0xA5, 0x5A, uint8_t(0xF0 + i)};
        EXPECT_EQ(askCard(*links[i], pc::cardWrite(0, 1, 0x1000 + 16 * i, data), 0x0001), Bytes{0});
        EXPECT_EQ(pc_cmd_time.load(), 500u + i);
        Bytes readBack{0};
        readBack.insert(readBack.end(), data.begin(), data.end());
        EXPECT_EQ(askCard(*links[i], pc::cardRead(0, 1, 0x1000 + 16 * i, 4), 0x0001), readBack);
        EXPECT_EQ(cards().card(0, 1).ramByte(0x1000 + 16 * i + 3), 0xF0 + i);
    }
    // The 4G requests' answers did not leave through the PC serial port, and
    // a broken serial frame does not hold up the next one.
    Bytes stray;
    EXPECT_FALSE(serial.receive(&stray, 50));
    serial.sendRaw(Bytes{0xA5, 0x01, 0x02, 0x03});
    EXPECT_EQ(serial.ask(pc::readRam(2177, 1)), (Bytes{0, 0x00}));

    // The RS-485 driver is switched on only around each reply (the last
    // switch-off follows the last byte out).
    std::vector<std::pair<int, bool>> directions, fourReplies;
    for (int r = 0; r < 4; ++r)
        fourReplies.insert(fourReplies.end(), {{2, true}, {2, false}});
    waitFor([&] {
        directions.clear();
        for (auto& d : platform::simSerial().directionLog())
            if (d.first == 2)
                directions.push_back(d);
        return directions.size() >= fourReplies.size();
    });
    EXPECT_EQ(directions, fourReplies);
}

TEST_F(Links, ACardsAnswerReachesOnlyTheClientThatAsked)
{
    networkManage::pInstance();
    pc::TcpClient asker(pcPort(5005)), other(pcPort(5005));
    // The chain on port 1 answers only after 20 receive polls.
    cards().setPolicy(1, platform::SimAnswerPolicy::Late, 20);
    const Bytes slow = pc::cardRead(1, 2, 0x180, 4);
    ASSERT_TRUE(asker.send(slow));
    ASSERT_TRUE(waitFor([&] { return platform::simFpga(0).heldAnswers() == 1; }));

    // Meanwhile the other client's controller frames are answered at once,
    // and its card frame, which must not end the first wait, waits its turn.
    EXPECT_EQ(other.ask(pc::readRam(2176, 2)), (Bytes{0, 100, 0}));
    const Bytes quick = pc::cardRead(0, 3, 0x180, 2);
    ASSERT_TRUE(other.send(quick));

    Bytes got;
    ASSERT_TRUE(asker.receive(&got));
    EXPECT_EQ(pc::cardAnswer(slow, got, 0x0002), (Bytes{0, 0, 0, 0, 0}));
    ASSERT_TRUE(other.receive(&got));
    EXPECT_EQ(pc::cardAnswer(quick, got, 0x0003), (Bytes{0, 0, 0}));
    // Each answer was sent once.
    EXPECT_FALSE(asker.receive(&got, 100));
    EXPECT_FALSE(other.receive(&got, 50));
}

TEST_F(Links, AnUnansweredRequestGivesWayToOthersAfterItsTime)
{
    networkManage::pInstance();
    udpnetManage::pInstance();
    pc::TcpClient asker(pcPort(5005));
    pc::UdpClient other(pcPort(10005));
    cards().setCardSilent(2, 3, true);
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    G_timeTicks = 1000;
    ASSERT_TRUE(asker.send(pc::cardRead(2, 3, 0, 4)));
    ASSERT_TRUE(waitFor([] { return g_passby_trans_port == pclink::kTransportTcp; }));

    // Alone, the request keeps waiting past the shorter time.
    G_timeTicks = 1000 + pclink::kCardAnswerTicks + 1;
    pumpEvents(50);
    EXPECT_EQ(g_passby_trans_port.load(), pclink::kTransportTcp);

    // With another waiting it is given up, and the other is served.
    const Bytes next = pc::cardRead(2, 2, 0, 1);
    Bytes got;
    ASSERT_TRUE(other.send(next) && other.receive(&got));
    EXPECT_EQ(pc::cardAnswer(next, got, 0x0002), (Bytes{0, 0}));
    EXPECT_FALSE(asker.receive(&got, 50));
    pthread_mutex_lock(&fpga->rcv_mutex);
    EXPECT_EQ(g_passby_trans_port.load(), 255);
    pthread_mutex_unlock(&fpga->rcv_mutex);

    // With nobody else, the cap ends the wait.
    G_timeTicks = 5000;
    ASSERT_TRUE(asker.send(pc::cardRead(2, 3, 0, 4)));
    ASSERT_TRUE(waitFor([] { return g_passby_trans_port == pclink::kTransportTcp; }));
    G_timeTicks = 5000 + pclink::kCardAnswerCapTicks + 1;
    EXPECT_TRUE(waitFor([] { return g_passby_trans_port == 255; }));
    // The link still answers.
    EXPECT_EQ(asker.ask(pc::readRam(2177, 1)), (Bytes{0, 0}));
}

TEST_F(Links, ANewFrameOfTheWaitingClientEndsItsWait)
{
    Tz_uart_inout::pInstance();
    pc::SerialClient serial(platform::simSerial().farEnd(2));
    cards().setCardSilent(0, 2, true);
    ASSERT_TRUE(serial.send(pc::cardRead(0, 2, 0, 1)));
    ASSERT_TRUE(waitFor([] { return g_passby_trans_port == pclink::kTransportSerial; }));
    // The PC gave up and asks something else: that answer comes at once.
    EXPECT_EQ(askCard(serial, pc::cardRead(0, 1, 0, 1), 0x0001), (Bytes{0, 0}));
}

TEST_F(Links, StopPromptlyAndFreeTheirPorts)
{
    for (int round = 0; round < 2; ++round) {
        startAll();
        pc::TcpClient tcp(pcPort(5005));
        EXPECT_EQ(tcp.ask(pc::readRam(0, 1)).size(), 2u);
        QElapsedTimer t;
        t.start();
        udpnetManage::destroyForTest();
        Tz_uart_inout_4G::destroyForTest();
        networkManage::destroyForTest();
        Tz_uart_inout::destroyForTest();
        EXPECT_LT(t.elapsed(), 500);
        // The client sees the server close its end.
        Bytes none;
        EXPECT_FALSE(tcp.receive(&none, 500));
        EXPECT_FALSE(QFileInfo(QString::fromStdString(path("/dev/ttyS2"))).isSymLink());
    }
}

TEST_F(Links, ServersAreClosedWhenSwitchedOff)
{
    g_networkMode = 0;
    g_udpnetmode = 0;
    networkManage::pInstance();
    udpnetManage::pInstance();
    EXPECT_FALSE(pc::TcpClient(pcPort(5005), 100).ok());
}

TEST_F(Links, TheModemLinkHasItsOwnAnswers)
{
    // Without the PC serial link, the modem's card frames are still served
    // and their answers leave through the modem's port.
    Tz_uart_inout_4G::pInstance();
    pc::SerialClient modem(platform::simSerial().farEnd(1));
    EXPECT_EQ(askCard(modem, pc::cardSearch(0), 0x0003), (Bytes{0, 4, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    EXPECT_EQ(modem.ask(pc::readRam(0, 1)).size(), 2u);
}

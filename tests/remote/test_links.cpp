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
#include "platform/serial.h"
#include "remote/networkmanage.h"
#include "remote/pclink.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "scaler/c331_manage.h"
#include "tests/remote/pc_client.h"

namespace {
const Bytes kWrite = pc::writeRam(2176, {0x50, 0x00});

// What the stand-in for the FPGA manager answers: the frame itself and a
// byte that must be escaped.
Bytes answerTo(const Bytes& frame)
{
    Bytes a(frame);
    a.push_back(0xA5);
    return a;
}

template <class Record>
Record* queueAnswer(ReplyListOf<Record>& list, const Bytes& answer, protocol_phy* phy)
{
    auto r = std::make_unique<Record>();
    Bytes scratch(answer.size());
    r->length = uint32_t(
        protocol_phy::data_re_transf_meaning(phy, r->frame, answer.data(), int(answer.size()), scratch.data()));
    list.clear();
    list.push_back(std::move(r));
    return list.back().get();
}

Bytes cardFrame(uint8_t port)
{
    return pc::body(0x0005, pc::kPc, 0x60, {port, 0, 0, 0, 2, 0, 0, 0, 0xAB, 0xCD});
}

class Links : public Sandbox {
protected:
    // The FPGA manager's entry records what the links hand over and, the way
    // the receiving-card link will, answers through the waiting transport's
    // reply list.
    void SetUp() override
    {
        Sandbox::SetUp();
        VyxRamPara::pInstance();
        c331_manage::createForTest(); // the request protocol alone, no scaler thread
        fpga_manage::pInstance();
        fpga_manage::pc_frame_hook = [this](const unsigned char* frame, int length, uint8_t transport) {
            std::lock_guard<std::mutex> lock(mutex);
            Bytes f(frame, frame + length);
            seen.emplace_back(f, transport);
            if (!answer)
                return;
            if (auto* serial = transport == 1 ? Tz_uart_inout::p_uart_inout : nullptr)
                queueAnswer(serial->ReplyList, answerTo(f), &serial->phy)->handle = serial->uart_fd;
            else if (auto* tcp = transport == 2 ? networkManage::p_networkManage : nullptr)
                queueAnswer(tcp->ReplyList, answerTo(f), &tcp->phy)->client_fd = tcp->client_fd;
            else if (auto* udp = transport == 3 ? udpnetManage::p_udpnetManage : nullptr)
                std::memcpy(queueAnswer(udp->ReplyList, answerTo(f), &udp->phy)->sender, udp->sender,
                            sizeof udp->sender);
            else
                return;
            g_passby_trans_port = 255;
            fpga_manage::p_fpga_manage->answer_arrived = 1;
        };
    }
    std::vector<std::pair<Bytes, uint8_t>> handedOver()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }
    static void startAll()
    {
        networkManage::pInstance();
        udpnetManage::pInstance();
        Tz_uart_inout::pInstance();
        Tz_uart_inout_4G::pInstance();
    }

    std::mutex mutex;
    std::vector<std::pair<Bytes, uint8_t>> seen; // frame, transport
    bool answer = true;
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

TEST_F(Links, EveryLinkAnswersAlikeAndPassesCardFramesOn)
{
    startAll();
    pc::TcpClient tcp(pcPort(5005));
    Bytes expected;
    ASSERT_TRUE(tcp.send(kWrite) && tcp.receive(&expected));
    pc::UdpClient udp5008(pcPort(5008)), udp10005(pcPort(10005));
    pc::SerialClient serial(platform::simSerial().farEnd(2)), modem(platform::simSerial().farEnd(1));
    ASSERT_TRUE(serial.ok() && modem.ok());

    const std::pair<pc::Endpoint*, uint8_t> cases[] = {
        {&tcp, 2}, {&udp5008, 3}, {&udp10005, 3}, {&serial, 1}, {&modem, 1}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        Bytes reply, frame = cardFrame(uint8_t(i + 1));
        ASSERT_TRUE(cases[i].first->send(kWrite) && cases[i].first->receive(&reply));
        EXPECT_EQ(reply, expected);
        G_timeTicks = uint32_t(500 + i);
        ASSERT_TRUE(cases[i].first->send(frame) && cases[i].first->receive(&reply));
        // Exactly what the card side queued, from the port it was asked on.
        EXPECT_EQ(reply, answerTo(frame));
        auto seen = handedOver();
        ASSERT_EQ(seen.size(), i + 1);
        EXPECT_EQ(seen.back(), std::make_pair(frame, cases[i].second));
        EXPECT_EQ(pc_cmd_time.load(), 500 + i);
    }
    // The 4G request's answer did not leave through the PC serial port, and
    // a broken serial frame does not hold up the next one.
    serial.sendRaw(Bytes{0xA5, 0x01, 0x02, 0x03});
    EXPECT_EQ(serial.ask(pc::readRam(2177, 1)), (Bytes{0, 0x00}));

    // The RS-485 driver is switched on only around each reply (it is
    // switched off after the last byte left, which may be after the PC
    // already has the reply).
    std::vector<std::pair<int, bool>> directions;
    waitFor([&] {
        directions.clear();
        for (auto& d : platform::simSerial().directionLog())
            if (d.first == 2)
                directions.push_back(d);
        return directions.size() >= 6;
    });
    EXPECT_EQ(directions, (std::vector<std::pair<int, bool>>{{2, 1}, {2, 0}, {2, 1}, {2, 0}, {2, 1}, {2, 0}}));
}

TEST_F(Links, AnswersAreSentOnlyOnceAndOnlyToTheAsker)
{
    networkManage::pInstance();
    pc::TcpClient asker(pcPort(5005)), other(pcPort(5005));
    answer = false;
    ASSERT_TRUE(asker.send(cardFrame(1)));
    ASSERT_TRUE(waitFor([&] { return handedOver().size() == 1; }));

    // The FPGA manager answers later, from its own thread.
    Bytes late = answerTo(cardFrame(1)), got;
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    networkManage* tcp = networkManage::p_networkManage;
    pthread_mutex_lock(&fpga->rcv_mutex);
    queueAnswer(tcp->ReplyList, late, &tcp->phy)->client_fd = tcp->client_fd;
    fpga->answer_arrived = 1;
    pthread_mutex_unlock(&fpga->rcv_mutex);

    ASSERT_TRUE(asker.receive(&got));
    EXPECT_EQ(got, late);
    EXPECT_FALSE(other.receive(&got, 100));
    EXPECT_FALSE(asker.receive(&got, 50));
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

TEST_F(Links, ModemWithoutThePcSerialLinkPassesNothingOn)
{
    // Its answers could only be queued on the PC serial link.
    Tz_uart_inout_4G::pInstance();
    pc::SerialClient modem(platform::simSerial().farEnd(1));
    ASSERT_TRUE(modem.send(cardFrame(1)));
    EXPECT_EQ(modem.ask(pc::readRam(0, 1)).size(), 2u);
    EXPECT_TRUE(handedOver().empty());
}

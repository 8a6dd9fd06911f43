// The links in this process, spoken to over real loopback sockets and the
// simulated serial ports.
#include "tests/support/sandbox.h"

#include <QElapsedTimer>
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

// Stands in for the FPGA manager: records what the links hand over and
// answers each frame at once through the waiting transport's reply list,
// the way the receiving-card link will.
struct CardSide {
    struct Seen {
        Bytes frame;
        uint8_t transport;
    };
    std::mutex mutex;
    std::vector<Seen> seen;
    bool answer = true;

    static Bytes answerTo(const Bytes& frame)
    {
        Bytes a(frame);
        std::swap(a[0], a[2]);
        std::swap(a[1], a[3]);
        a.insert(a.end() - 1, 0xA5); // a byte that must be escaped
        a.back() = 0;
        for (size_t i = 0; i + 1 < a.size(); ++i)
            a.back() ^= a[i];
        return a;
    }

    template <class Record>
    static void queue(ReplyListOf<Record>& list, const Bytes& answer, protocol_phy* phy, Record** made)
    {
        auto r = std::make_unique<Record>();
        Bytes scratch(answer.size());
        r->length = uint32_t(protocol_phy::data_re_transf_meaning(phy, r->frame, answer.data(), int(answer.size()),
                                                                    scratch.data()));
        *made = r.get();
        list.clear();
        list.push_back(std::move(r));
    }

    void install()
    {
        fpga_manage::pInstance();
        fpga_manage::pc_frame_hook = [this](const unsigned char* frame, int length, uint8_t transport) {
            std::lock_guard<std::mutex> lock(mutex);
            Bytes f(frame, frame + length);
            seen.push_back({f, transport});
            if (!answer)
                return;
            Bytes a = answerTo(f);
            if (transport == 1) {
                Tz_uart_inout* link = Tz_uart_inout::p_uart_inout;
                SerialReplyRecord* r;
                queue(link->ReplyList, a, &link->phy, &r);
                r->handle = link->uart_fd;
            } else if (transport == 2) {
                networkManage* link = networkManage::p_networkManage;
                TcpReplyRecord* r;
                queue(link->ReplyList, a, &link->phy, &r);
                r->client_fd = link->client_fd;
            } else if (transport == 3) {
                udpnetManage* link = udpnetManage::p_udpnetManage;
                UdpReplyRecord* r;
                queue(link->ReplyList, a, &link->phy, &r);
                std::memcpy(r->sender, link->sender, sizeof r->sender);
            } else {
                return;
            }
            g_passby_trans_port = 255;
            fpga_manage::p_fpga_manage->answer_arrived = 1;
        };
    }
    std::vector<Seen> all()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }
};

class Links : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        VyxRamPara::pInstance();
        c331_manage::pInstance();
        cards.install();
    }
    CardSide cards;
};

Bytes cardFrame(uint8_t port)
{
    return pc::body(0x0005, pc::kPc, 0x60, {port, 0, 0, 0, 2, 0, 0, 0, 0xAB, 0xCD});
}
} // namespace

TEST_F(Links, TcpAnswersTheControllerCommands)
{
    networkManage::pInstance();
    pc::TcpClient pc(5005);
    ASSERT_TRUE(pc.ok());
    G_timeTicks = 1234;
    EXPECT_EQ(pc.ask(kWrite), Bytes{0});
    EXPECT_EQ(pc_cmd_valid.load(), 1);
    EXPECT_EQ(pc_cmd_time.load(), 1234u);
    EXPECT_EQ(pc.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
    EXPECT_EQ(pc.ask(pc::readRam(4090, 16)), Bytes{1});

    // Data made only of the escaped values round-trips.
    Bytes nasty;
    for (int i = 0; i < 64; ++i)
        nasty.push_back(Bytes{0xA5, 0x5A, 0xA6, 0x5B}[size_t(i % 4)]);
    EXPECT_EQ(pc.ask(pc::writeRam(1000, nasty)), Bytes{0});
    Bytes back = pc.ask(pc::readRam(1000, 64));
    ASSERT_EQ(back.size(), 65u);
    EXPECT_EQ(Bytes(back.begin() + 1, back.end()), nasty);

    // Register 11 raises the scaler's request.
    EXPECT_EQ(pc.ask(pc::writeRegister(11, 0x01, 0x01)), Bytes{0});
    EXPECT_EQ(c331_manage::p_c331_manage->para_changed, 2);

    // The second port serves the same commands.
    pc::TcpClient second(10002);
    EXPECT_EQ(second.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
}

TEST_F(Links, TcpSurvivesBrokenClientsAndBrokenInput)
{
    networkManage::pInstance();
    pc::TcpClient good(5005);
    pc::TcpClient bad(5005);
    ASSERT_TRUE(good.ok() && bad.ok());

    { // connects and vanishes, half-way through a frame
        pc::TcpClient gone(5005);
        Bytes half = pc::encode(kWrite);
        half.resize(half.size() / 2);
        gone.sendRaw(half);
    }
    { // connects and vanishes without a word
        pc::TcpClient gone(5005);
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
    // noise.
    Bytes frame = pc::encode(pc::readRam(2176, 1));
    bad.sendRaw(Bytes(frame.begin(), frame.begin() + 9));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bad.sendRaw(Bytes(frame.begin() + 9, frame.end()));
    // A frame split over segments longer than nine bytes, then two frames
    // in one segment.
    Bytes split = pc::encode(kWrite);
    bad.sendRaw(Bytes(split.begin(), split.begin() + 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bad.sendRaw(Bytes(split.begin() + 10, split.end()));
    Bytes two = pc::encode(pc::readRam(2176, 1));
    Bytes second = pc::encode(pc::readRam(2177, 1));
    two.insert(two.end(), second.begin(), second.end());
    bad.sendRaw(two);

    Bytes reply;
    ASSERT_TRUE(bad.receive(&reply));
    EXPECT_EQ(pc::replyData(kWrite, reply), Bytes{0});
    ASSERT_TRUE(bad.receive(&reply));
    EXPECT_EQ(pc::replyData(pc::readRam(2176, 1), reply), (Bytes{0, 0x50}));
    ASSERT_TRUE(bad.receive(&reply));
    EXPECT_EQ(pc::replyData(pc::readRam(2177, 1), reply), (Bytes{0, 0x00}));

    EXPECT_EQ(good.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
}

TEST_F(Links, UdpAndSerialAnswerLikeTcp)
{
    networkManage::pInstance();
    udpnetManage::pInstance();
    Tz_uart_inout::pInstance();
    Tz_uart_inout_4G::pInstance();
    pc::TcpClient tcp(5005);
    Bytes expected;
    ASSERT_TRUE(tcp.send(kWrite));
    ASSERT_TRUE(tcp.receive(&expected));

    pc::UdpClient udp5008(5008), udp10005(10005);
    pc::SerialClient serial(platform::simSerial().farEnd(2)), modem(platform::simSerial().farEnd(1));
    ASSERT_TRUE(serial.ok() && modem.ok());
    for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&udp5008, &udp10005, &serial, &modem}) {
        Bytes reply;
        ASSERT_TRUE(link->send(kWrite));
        ASSERT_TRUE(link->receive(&reply));
        EXPECT_EQ(reply, expected);
        EXPECT_EQ(link->ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
    }
    // The RS-485 driver is switched on only around each reply.
    auto directions = platform::simSerial().directionLog();
    std::vector<std::pair<int, bool>> serialOnly;
    for (auto& d : directions)
        if (d.first == 2)
            serialOnly.push_back(d);
    EXPECT_EQ(serialOnly, (std::vector<std::pair<int, bool>>{{2, true}, {2, false}, {2, true}, {2, false}}));

    // A broken serial frame does not hold up the next one.
    serial.sendRaw(Bytes{0xA5, 0x01, 0x02, 0x03});
    EXPECT_EQ(serial.ask(pc::readRam(2177, 1)), (Bytes{0, 0x00}));
}

TEST_F(Links, CardFramesGoToTheFpgaManagerAndTheirAnswersComeBack)
{
    networkManage::pInstance();
    udpnetManage::pInstance();
    Tz_uart_inout::pInstance();
    Tz_uart_inout_4G::pInstance();
    pc::TcpClient tcp(5005);
    pc::UdpClient udp5008(5008), udp10005(10005);
    pc::SerialClient serial(platform::simSerial().farEnd(2)), modem(platform::simSerial().farEnd(1));

    struct Case {
        pc::Endpoint* link;
        uint8_t transport;
    };
    const Case cases[] = {{&tcp, 2}, {&udp5008, 3}, {&udp10005, 3}, {&serial, 1}, {&modem, 1}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(i);
        Bytes frame = cardFrame(uint8_t(i + 1));
        G_timeTicks = uint32_t(500 + i);
        ASSERT_TRUE(cases[i].link->send(frame));
        Bytes answer;
        ASSERT_TRUE(cases[i].link->receive(&answer));
        // Exactly what the card side queued, from the port it was asked on.
        EXPECT_EQ(answer, CardSide::answerTo(frame));
        auto seen = cards.all();
        ASSERT_EQ(seen.size(), i + 1);
        EXPECT_EQ(seen.back().frame, frame);
        EXPECT_EQ(seen.back().transport, cases[i].transport);
        EXPECT_EQ(pc_cmd_time.load(), 500 + i);
    }
    // The 4G request's answer did not leave through the PC serial port.
    Bytes stray;
    EXPECT_FALSE(serial.receive(&stray, 100));
}

TEST_F(Links, AnswersAreSentOnlyOnceAndOnlyToTheAsker)
{
    networkManage::pInstance();
    pc::TcpClient asker(5005), other(5005);
    cards.answer = false;
    ASSERT_TRUE(asker.send(cardFrame(1)));
    ASSERT_TRUE(waitFor([&] { return cards.all().size() == 1; }));

    // The FPGA manager answers later, from its own thread.
    Bytes answer = CardSide::answerTo(cardFrame(1));
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    networkManage* tcp = networkManage::p_networkManage;
    pthread_mutex_lock(&fpga->rcv_mutex);
    TcpReplyRecord* r;
    CardSide::queue(tcp->ReplyList, answer, &tcp->phy, &r);
    r->client_fd = tcp->client_fd;
    fpga->answer_arrived = 1;
    pthread_mutex_unlock(&fpga->rcv_mutex);

    Bytes got;
    ASSERT_TRUE(asker.receive(&got));
    EXPECT_EQ(got, answer);
    EXPECT_FALSE(other.receive(&got, 100));
    EXPECT_FALSE(asker.receive(&got, 50));
    pthread_mutex_lock(&fpga->rcv_mutex);
    EXPECT_EQ(fpga->answer_arrived, 0);
    EXPECT_TRUE(tcp->ReplyList.empty());
    pthread_mutex_unlock(&fpga->rcv_mutex);
}

TEST_F(Links, StopPromptlyAndFreeTheirPorts)
{
    for (int round = 0; round < 2; ++round) {
        networkManage::pInstance();
        udpnetManage::pInstance();
        Tz_uart_inout::pInstance();
        Tz_uart_inout_4G::pInstance();
        pc::TcpClient tcp(5005);
        ASSERT_TRUE(tcp.ok());
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
    pc::TcpClient tcp(5005, 100);
    EXPECT_FALSE(tcp.ok());
}

TEST_F(Links, ModemWithoutThePcSerialLinkPassesNothingOn)
{
    // Its answers could only be queued on the PC serial link.
    Tz_uart_inout_4G::pInstance();
    pc::SerialClient modem(platform::simSerial().farEnd(1));
    ASSERT_TRUE(modem.send(cardFrame(1)));
    EXPECT_EQ(modem.ask(pc::readRam(0, 1)).size(), 2u);
    EXPECT_TRUE(cards.all().empty());
}

// The application itself, spoken to from this separate process.
#include "tests/support/sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include "tests/remote/cloud_server.h"
#include "tests/remote/pc_client.h"

namespace {
// A controller that goes away fails the test instead of ending the test
// program on its next write.
const bool kPipeSignalIgnored = (std::signal(SIGPIPE, SIG_IGN), true);
} // namespace

using Application = Sandbox;

TEST_F(Application, AnswersThePcOverEveryLink)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));

    pc::TcpClient tcp(pcPort(5005), 5000);
    ASSERT_TRUE(tcp.ok()) << app->readAll().toStdString();
    const Bytes write = pc::writeRam(2176, {0x50, 0x00});
    Bytes expected;
    ASSERT_TRUE(tcp.send(write) && tcp.receive(&expected));
    EXPECT_EQ(pc::replyData(write, expected), Bytes{0});
    EXPECT_EQ(tcp.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
    EXPECT_EQ(tcp.ask(pc::readRam(4090, 16)), Bytes{1});

    pc::UdpClient udp5008(pcPort(5008)), udp10005(pcPort(10005));
    const std::string ttyS2 = appRoot + "/dev/ttyS2";
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(ttyS2)).isSymLink(); }, 3000));
    pc::SerialClient serial(ttyS2);
    ASSERT_TRUE(serial.ok());
    for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&udp5008, &udp10005, &serial})
        ASSERT_TRUE(pc::answering(*link));
    for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&udp5008, &udp10005, &serial}) {
        Bytes reply;
        ASSERT_TRUE(link->send(write) && link->receive(&reply));
        EXPECT_EQ(reply, expected);
    }

    // Still serving after all of that.
    EXPECT_EQ(tcp.ask(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, NetworkResetFromThePcRestoresTheDefaultsAndRestarts)
{
    // A controller moved to another address and port by the PC earlier.
    const std::string appRoot = root + "/app-root";
    writeFile("/app-root/data/configs/tcpip.ini",
              "[config]\nTcpPort=6000\nIPAddress=192.168.0.50\nGateWay=192.168.0.2\nSubNetMask=255.255.0.0\n");
    portOffset = freePortOffset({6000});
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    pc::TcpClient tcp(pcPort(6000), 5000);
    ASSERT_TRUE(tcp.ok()) << app->readAll().toStdString();
    EXPECT_EQ(tcp.ask(pc::writeRegister(166, 0x01, 0x01)), Bytes{0});

    // The new port needs a restart: the device reboots 3 s after start at
    // the earliest; on a host that ends the program with its own code.
    ASSERT_TRUE(app->waitForFinished(10000));
    EXPECT_EQ(app->exitCode(), 42);
    QSettings ini(QString::fromStdString(path("/app-root/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/TcpPort").toInt(), 5005);
    EXPECT_EQ(ini.value("config/IPAddress").toString(), "192.168.0.199");
    EXPECT_EQ(ini.value("config/GateWay").toString(), "192.168.0.1");
    EXPECT_EQ(ini.value("config/SubNetMask").toString(), "255.255.255.0");
    QList<QByteArray> shellLog = readFile("/app-root/sim/shell.log").split('\n');
    EXPECT_TRUE(shellLog.contains("ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up"));
    EXPECT_TRUE(shellLog.contains("reboot"));
}

namespace {
// Damage a test server does to its controller, one session each.
struct CloudMisbehaviour {
    const char* what;
    std::function<void(cloud::Server&, const cloud::Frame& login)> act;
};

QByteArray barcodeJson(const char* barcode)
{
    return cloud::json(QJsonObject{{"name", "setProperty"}, {"barcode", barcode}});
}

// Processes of these names (the WiFi tools) on this machine.
int toolsRunning(const QStringList& names)
{
    int found = 0;
    for (const QFileInfo& entry : QDir("/proc").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(entry.absoluteFilePath() + "/comm");
        if (comm.open(QIODevice::ReadOnly) && names.contains(QString::fromLatin1(comm.readAll()).trimmed()))
            ++found;
    }
    return found;
}

// One AT command to the controller's WiFi port (13769 moved by the test's
// port offset) and its reply.
std::string wifiAt(uint16_t port, const std::string& command)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply = "<no reply>";
    char buf[512];
    pollfd p{fd, POLLIN, 0};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::send(fd, command.data(), command.size(), 0) == ssize_t(command.size()) && ::poll(&p, 1, 3000) == 1) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n >= 0)
            reply.assign(buf, size_t(n));
    }
    ::close(fd);
    return reply;
}
} // namespace

TEST_F(Application, TalksWithItsCloudServerAndOutlivesABadOne)
{
    cloud::Server server;
    const std::string appRoot = root + "/app-root";
    writeFile("/app-root/data/configs/tcpip.ini",
              // On a host the cloud port is moved by the port offset too.
              QString("[config]\nRyxacloudserverip=127.0.0.1\nRyxacloudserverport=%1\nRyxaclouduserip=tester\n")
                  .arg(server.port() - portOffset)
                  .toLatin1());
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));

    // Both ways: the controller's login is acknowledged, the server's
    // property set is carried out and acknowledged.
    cloud::Frame login = server.greet(10000);
    EXPECT_EQ(login.object().value("userId").toString(), "tester");
    ASSERT_TRUE(server.send(cloud::frame(cloud::kCommand, 77, login.device, barcodeJson("SN-CLOUD-1"))));
    cloud::Frame ack;
    ASSERT_TRUE(server.receive(&ack, 5000));
    EXPECT_EQ(ack.type, cloud::kAck);
    EXPECT_EQ(ack.sequence, 77);
    EXPECT_EQ(ack.object().value("result").toInt(-1), 0);
    QSettings ini(QString::fromStdString(path("/app-root/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/Barcode").toString(), "SN-CLOUD-1");

    pc::TcpClient pc(pcPort(5005), 5000);
    ASSERT_TRUE(pc.ok());
    const QByteArray command = barcodeJson("SN-NEVER");
    const CloudMisbehaviour cases[] = {
        {"closes", [](cloud::Server& s, const cloud::Frame&) { s.dropClient(); }},
        {"garbage", [](cloud::Server& s, const cloud::Frame&) { s.send({'G', 'E', 'T', ' ', '/', '\r', '\n'}); }},
        {"wrong CRC",
         [&](cloud::Server& s, const cloud::Frame& l) {
             s.send(cloud::frame(cloud::kCommand, 1, l.device, command, cloud::Damage::Crc));
         }},
        {"wrong XOR",
         [&](cloud::Server& s, const cloud::Frame& l) {
             s.send(cloud::frame(cloud::kCommand, 1, l.device, command, cloud::Damage::Xor));
         }},
        {"huge length",
         [&](cloud::Server& s, const cloud::Frame& l) {
             s.send(cloud::frame(cloud::kCommand, 1, l.device, command, cloud::Damage::None, 0x7FFFFFFF));
         }},
        {"stalls half-way",
         [&](cloud::Server& s, const cloud::Frame& l) {
             cloud::Bytes f = cloud::frame(cloud::kCommand, 1, l.device, command);
             s.send(cloud::Bytes(f.begin(), f.begin() + 35));
         }},
    };
    for (const CloudMisbehaviour& m : cases) {
        SCOPED_TRACE(m.what);
        m.act(server, login);
        if (std::string(m.what) != "closes") {
            EXPECT_TRUE(server.peerClosed(8000));
        }
        login = server.greet(8000);
        ASSERT_FALSE(app->waitForFinished(0)) << "the controller ended\n" << app->readAll().toStdString();
        EXPECT_EQ(pc.ask(pc::readRam(0, 1)).size(), 2u);
    }

    // Refused: the controller keeps trying, less often, until the server
    // is back.
    QByteArray seen;
    server.dropClient();
    server.closeListener();
    EXPECT_TRUE(waitFor([&] {
        seen += app->readAll();
        return seen.count("cloud: refused\n") >= 2;
    }, 8000)) << seen.toStdString();
    EXPECT_EQ(pc.ask(pc::readRam(0, 1)).size(), 2u);
    ASSERT_TRUE(server.reopen());
    login = server.greet(10000);
    ASSERT_TRUE(server.send(cloud::frame(cloud::kCommand, 78, login.device, barcodeJson("SN-CLOUD-2"))));
    ASSERT_TRUE(server.receive(&ack, 5000));
    EXPECT_EQ(ack.object().value("barcode").toString(), "SN-CLOUD-2");
    ini.sync();
    EXPECT_EQ(ini.value("config/Barcode").toString(), "SN-CLOUD-2");
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, ConfiguresTheAccessPointOverUdp)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    const std::string shellLog = "/app-root/sim/shell.log";
    const QByteArray hostapd = "/usr/bin/hostapd -B /etc/rtl_hostapd_2G.conf\n";
    const QByteArray udhcpd = "/usr/sbin/udhcpd /etc/udhcpd.conf\n";
    ASSERT_TRUE(waitFor([&] { return readFile(shellLog).contains(udhcpd); }, 10000));
    EXPECT_TRUE(readFile(shellLog).contains("ifconfig wlan1 192.168.22.101 netmask 255.255.255.0 up\n" + hostapd));

    EXPECT_EQ(wifiAt(pcPort(13769), "AT+GETVER"), "OK+GETVER=1.17.0.0\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+SETDATA=1,Stage left,show-2024"), "OK\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+SETDATA=2,192.168.50.1"), "OK\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+SETDATA=3,Venue,venue-pass"), "OK\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+CHECKDATA"), "OK+CHECKDATA=Stage left,show-2024,192.168.50.1,Venue\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+SETDATA=1,x\",12345678"), "ERR\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+BOGUS"), "ERR\r\n");
    EXPECT_TRUE(readFile("/app-root/etc/rtl_hostapd_2G.conf").contains("\nssid=Stage left\n"));
    EXPECT_TRUE(readFile("/app-root/etc/rtl_hostapd_2G.conf").contains("\nwpa_passphrase=show-2024\n"));
    EXPECT_TRUE(readFile("/app-root/etc/udhcpd.conf").contains("\nopt router 192.168.50.1\n"));
    EXPECT_TRUE(readFile("/app-root/etc/wpa_supplicant.conf").contains("ssid=\"Venue\"\n\tpsk=\"venue-pass\"\n"));
    QSettings ini(QString::fromStdString(path("/app-root/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/WifiIPAddress").toString(), "192.168.50.1");

    // The restart, 3 s after the last change: stopped, then started on the
    // new address.
    const QByteArray restart = "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`\n"
                               "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`\n"
                               "ifconfig wlan1 192.168.50.1 netmask 255.255.255.0 up\n"
                               + hostapd + udhcpd;
    EXPECT_TRUE(waitFor([&] { return readFile(shellLog).contains(restart); }, 10000)) << readFile(shellLog).data();
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+RESTORE"), "OK\r\n");
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+CHECKDATA").rfind("OK+CHECKDATA=VYX-", 0), 0u);
    EXPECT_EQ(wifiAt(pcPort(13769), "AT+RST"), "OK\r\n");
    // Recorded, never run.
    EXPECT_EQ(toolsRunning({"hostapd", "udhcpd", "wpa_supplicant", "udhcpc"}), 0);
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, AnswersTheModemOnItsOwnPortOnly)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(appRoot + "/dev/ttyS1")).isSymLink(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(appRoot + "/dev/ttyS2")).isSymLink(); }, 5000));
    pc::SerialClient modem(appRoot + "/dev/ttyS1"), serial(appRoot + "/dev/ttyS2");
    ASSERT_TRUE(modem.ok() && serial.ok());
    const QByteArray json = barcodeJson("SN-4G-1");
    Bytes reply = modem.ask(pc::body(pc::kController, pc::kPc, 0xE0, Bytes(json.begin(), json.end())), 5000);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(reply.data() + 1), int(reply.size() - 1)))
                  .object()
                  .value("result")
                  .toInt(-1),
              0);
    Bytes none;
    EXPECT_FALSE(serial.receive(&none, 300));
    QSettings ini(QString::fromStdString(path("/app-root/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/Barcode").toString(), "SN-4G-1");
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, APortAlreadyTakenIsReportedAndServedOnceFree)
{
    // Someone else has the control port (TCP) and the broadcast port (UDP).
    auto take = [](int type, uint16_t port) {
        int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        if (type == SOCK_STREAM) {
            EXPECT_EQ(::listen(fd, 1), 0);
        }
        return fd;
    };
    int tcpTaken = take(SOCK_STREAM, pcPort(5005));
    int udpTaken = take(SOCK_DGRAM, pcPort(5008));
    std::unique_ptr<AppProcess> app = startApp(root + "/app-root", portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    QByteArray seen;
    const QString taken("vyxQ58N: cannot open %1 port %2: Address already in use; trying again every 1 s\n");
    for (const QString& said : {taken.arg("TCP").arg(pcPort(5005)), taken.arg("UDP").arg(pcPort(5008))})
        EXPECT_TRUE(outputHas(*app, seen, said.toUtf8(), 5000)) << seen.toStdString();

    // The other ports serve meanwhile; the taken one once it is let go.
    pc::TcpClient second(pcPort(10002), 5000);
    EXPECT_EQ(second.ask(pc::readRam(2176, 2)), (Bytes{0, 100, 0}));
    ::close(tcpTaken);
    EXPECT_TRUE(outputHas(*app, seen, QString("vyxQ58N: TCP port %1 is open now\n").arg(pcPort(5005)).toUtf8(), 5000))
        << seen.toStdString();
    pc::TcpClient control(pcPort(5005), 5000);
    EXPECT_EQ(control.ask(pc::readRam(2176, 2)), (Bytes{0, 100, 0}));
    ::close(udpTaken);
    app->kill();
    app->waitForFinished(5000);
}

namespace {
// Asks until the FPGA is up and the cards answer; the card answer's data.
Bytes firstCardAnswer(pc::Endpoint& link, const Bytes& request, uint16_t from, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    Bytes answer;
    for (int sent = 1; t.elapsed() < ms; ++sent) {
        // A new frame of the same client supersedes the unanswered one.
        if (link.send(request) && link.receive(&answer, 300)) {
            // On a loaded machine a frame sent again may be answered twice,
            // the earlier one late: the next request must not read that.
            Bytes late;
            while (sent > 1 && link.receive(&late, 1000))
                ;
            return pc::cardAnswer(request, answer, from);
        }
    }
    ADD_FAILURE() << "the cards never answered";
    return {};
}

Bytes askCard(pc::Endpoint& link, const Bytes& request, uint16_t from, int ms = 3000)
{
    Bytes answer;
    if (!link.send(request) || !link.receive(&answer, ms)) {
        ADD_FAILURE() << "no card answer";
        return {};
    }
    return pc::cardAnswer(request, answer, from);
}

// Status 0, then the search's count, status byte, four zeros, the
// configuration id and the first card needing recovery (none).
Bytes searchData(uint16_t count, uint8_t status)
{
    return {0, uint8_t(count), uint8_t(count >> 8), status, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF};
}
} // namespace

TEST_F(Application, PassesCardFramesToTheSimulatedCardsOverEveryLink)
{
    const std::string appRoot = root + "/app-root";
    // Card 2 of output 3 (port 2) never answers.
    writeFile("/app-root/sim/cards", "3 4 mute=2\n");
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    pc::TcpClient tcp(pcPort(5005), 5000);
    ASSERT_TRUE(tcp.ok()) << app->readAll().toStdString();

    // A search of port 0 answers the chain's card count (and the sensor).
    EXPECT_EQ(firstCardAnswer(tcp, pc::cardSearch(0), 0x0003), searchData(4, 1));
    pc::UdpClient udp(pcPort(5008));
    const std::string ttyS2 = appRoot + "/dev/ttyS2", ttyS1 = appRoot + "/dev/ttyS1";
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(ttyS2)).isSymLink(); }, 3000));
    pc::SerialClient serial(ttyS2), modem(ttyS1);
    ASSERT_TRUE(serial.ok() && modem.ok()) << app->readAll().toStdString();
    EXPECT_EQ(askCard(udp, pc::cardSearch(0), 0x0003), searchData(4, 1));
    EXPECT_EQ(askCard(serial, pc::cardSearch(0), 0x0003), searchData(4, 1));
    EXPECT_EQ(askCard(modem, pc::cardSearch(1), 0x0003), searchData(4, 0));
    Bytes stray;
    EXPECT_FALSE(serial.receive(&stray, 100)); // the modem's answer left through the modem
    for (uint8_t port : {2, 3})
        EXPECT_EQ(askCard(tcp, pc::cardSearch(port), 0x0003), searchData(4, 0));

    // 16 bytes written to card 2 of port 1 come back, over every link.
    Bytes data;
    for (int i = 0; i < 16; ++i)
        data.push_back(uint8_t(0xA0 + i));
    EXPECT_EQ(askCard(tcp, pc::cardWrite(1, 2, 0x300, data), 0x0002), Bytes{0});
    Bytes expected{0};
    expected.insert(expected.end(), data.begin(), data.end());
    for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&tcp, &udp, &serial})
        EXPECT_EQ(askCard(*link, pc::cardRead(1, 2, 0x300, 16), 0x0002), expected);

    // A multicast reaches every linked port with cards and is answered once,
    // for all of them.
    const Bytes everyone = pc::card(0x0FFF, 0x67, 0x01, pc::kMulticast, 0x60,
                                    [] { Bytes a = pc::ramArgs(0x500, 2); a.insert(a.end(), {0x5A, 0xA5}); return a; }());
    EXPECT_EQ(askCard(udp, everyone, 0x0FFF), Bytes{0});
    EXPECT_FALSE(udp.receive(&stray, 200));
    for (uint8_t port = 0; port < 4; ++port)
        EXPECT_EQ(askCard(tcp, pc::cardRead(port, 1, 0x500, 2), 0x0001), (Bytes{0, 0x5A, 0xA5})) << int(port);

    // An unlinked port and a silent card get no answer; the links go on
    // answering the others meanwhile and serve their card frames once the
    // unanswered request's time is up.
    pc::TcpClient other(pcPort(5005));
    for (const Bytes& lost : {pc::cardRead(5, 0, 0, 4), pc::cardRead(2, 2, 0, 4)}) {
        ASSERT_TRUE(tcp.send(lost));
        EXPECT_EQ(other.ask(pc::readRam(2176, 2)).size(), 3u);
        EXPECT_EQ(askCard(udp, pc::cardRead(2, 1, 0x300, 1), 0x0001, 5000), (Bytes{0, 0}));
        EXPECT_FALSE(tcp.receive(&stray, 100));
    }
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, TwentyClientsGetTheirOwnCardAnswers)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    {
        pc::TcpClient first(pcPort(5005), 5000);
        ASSERT_TRUE(first.ok()) << app->readAll().toStdString();
        ASSERT_EQ(firstCardAnswer(first, pc::cardSearch(0), 0x0003).size(), 13u);
    }

    // Ten clients over TCP and ten over UDP, each writing its own bytes to
    // its own place and reading them back, all wifiAt once.
    constexpr int kClients = 20, kRounds = 5;
    std::atomic<int> answered{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            std::unique_ptr<pc::Endpoint> link;
            if (c < 10)
                link = std::make_unique<pc::TcpClient>(pcPort(5005));
            else
                link = std::make_unique<pc::UdpClient>(pcPort(c % 2 ? 5008 : 10005));
            const uint8_t port = uint8_t(c % 4);
            const uint16_t card = uint16_t((c / 4) % 4);
            for (int r = 0; r < kRounds; ++r) {
                const uint32_t wifiAt = 0x1000 + 0x10 * uint32_t(c);
                const Bytes mine{uint8_t(c), uint8_t(r), 0xA5, uint8_t(c * 7 + r)};
                Bytes answer;
                const Bytes write = pc::cardWrite(port, card, wifiAt, mine);
                if (!link->send(write) || !link->receive(&answer, 15000)) {
                    ++wrong;
                    continue;
                }
                ++answered;
                if (answer.size() != 12 || answer[9] != 0x60 || answer[7] != port + 1 || answer[2] != card)
                    ++wrong;
                const Bytes read = pc::cardRead(port, card, wifiAt, 4);
                if (!link->send(read) || !link->receive(&answer, 15000)) {
                    ++wrong;
                    continue;
                }
                ++answered;
                if (answer.size() != 16 || answer[9] != 0x61 || Bytes(answer.begin() + 11, answer.end() - 1) != mine)
                    ++wrong;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(answered.load(), kClients * kRounds * 2);
    EXPECT_EQ(wrong.load(), 0);
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(Application, ASecondInstanceOnTheSamePortsSaysSoAndTakesNoneOfThem)
{
    std::unique_ptr<AppProcess> first = startApp(root + "/first", portOffset);
    ASSERT_TRUE(first->waitForStarted(5000));
    pc::TcpClient tcp(pcPort(5005), 5000);
    ASSERT_TRUE(tcp.ok()) << first->readAll().toStdString();
    pc::UdpClient udp5008(pcPort(5008)), udp10005(pcPort(10005));
    ASSERT_TRUE(pc::answering(udp5008) && pc::answering(udp10005));
    ASSERT_EQ(tcp.ask(pc::writeRam(2176, {61, 0})), Bytes{0});

    // Another root, the same offset: every port it cannot have is named.
    std::unique_ptr<AppProcess> second = startApp(root + "/second", portOffset);
    QByteArray seen;
    const QString taken("vyxQ58N: cannot open %1 port %2: Address already in use; trying again every 1 s\n");
    for (const QString& said : {taken.arg("TCP").arg(pcPort(5005)), taken.arg("TCP").arg(pcPort(10002)),
                                taken.arg("UDP").arg(pcPort(5008)), taken.arg("UDP").arg(pcPort(10005)),
                                taken.arg("UDP").arg(pcPort(13769))})
        EXPECT_TRUE(outputHas(*second, seen, said.toUtf8(), 8000)) << said.toStdString();

    // The first one still gets every datagram (the second's store would
    // answer its own brightness, 100).
    for (int i = 0; i < 5; ++i)
        for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&udp5008, &udp10005})
            EXPECT_EQ(link->ask(pc::readRam(2176, 2)), (Bytes{0, 61, 0}));
    for (auto* p : {first.get(), second.get()}) {
        p->kill();
        p->waitForFinished(5000);
    }
}

TEST_F(Application, AMulticastSearchIsAnsweredOnceForEveryPortAfterTheCardTable)
{
    const std::string appRoot = root + "/app-root";
    writeFile("/app-root/sim/cards", "1 4\n2 4\n3 4\n4 4\n");
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    // A failure shows how the application's output ended.
    struct Tail {
        AppProcess& app;
        ~Tail()
        {
            if (::testing::Test::HasFailure())
                std::cout << "the application's output ends:\n" << app.readAll().right(6000).toStdString() << std::endl;
        }
    } tail{*app};
    ASSERT_TRUE(app->waitForStarted(5000));
    pc::TcpClient tcp(pcPort(5005), 5000);
    ASSERT_TRUE(tcp.ok()) << app->readAll().toStdString();
    EXPECT_EQ(firstCardAnswer(tcp, pc::cardSearch(0), 0x0003), searchData(4, 0));
    // A multicast goes to the ports the card table knows cards on.
    for (uint8_t port = 1; port < 4; ++port)
        EXPECT_EQ(askCard(tcp, pc::cardSearch(port), 0x0003), searchData(4, 0));

    // Output 2 now has three cards; a search of every port at once.
    writeFile("/app-root/sim/cards", "2 3\n");
    QThread::msleep(1500); // the simulation looks at its cards file once a second
    const Bytes everyPort = pc::card(0x0FFE, 0xAA, 0xFF, pc::kMulticast, 0x10, {});
    Bytes answer;
    ASSERT_TRUE(tcp.send(everyPort) && tcp.receive(&answer, 5000)) << "the multicast search got no answer";
    // The collective answer: source 0x0FFE, port byte 255, one port's data.
    const Bytes data = pc::cardAnswer(everyPort, answer, 0x0FFE);
    EXPECT_TRUE(data == searchData(4, 0) || data == searchData(3, 0)) << ::testing::PrintToString(data);
    Bytes stray;
    EXPECT_FALSE(tcp.receive(&stray, 500)) << "answered twice";
    // Each port's count reached the card table (FPGA 0's parameter RAM,
    // u16 at 100, 102, 108, 110 for outputs 1-4).
    const Bytes table = tcp.ask(pc::fpgaReadRam(1, 0, 0, 100, 12));
    ASSERT_EQ(table.size(), 13u);
    EXPECT_EQ(table[0], 0);
    const int counts[4] = {table[1] | table[2] << 8, table[3] | table[4] << 8, table[9] | table[10] << 8,
                           table[11] | table[12] << 8};
    EXPECT_EQ(std::vector<int>(counts, counts + 4), (std::vector<int>{4, 3, 4, 4}));

    // Card frames that arrive together wait their turn and are each
    // answered, in order.
    Bytes together;
    for (uint16_t card = 0; card < 3; ++card) {
        const Bytes e = pc::encode(pc::cardRead(0, card, 0x100, 1));
        together.insert(together.end(), e.begin(), e.end());
    }
    ASSERT_TRUE(tcp.sendRaw(together));
    for (uint16_t card = 0; card < 3; ++card) {
        ASSERT_TRUE(tcp.receive(&answer, 3000)) << "card " << card;
        EXPECT_EQ(answer[2] | answer[3] << 8, card);
    }
    app->kill();
    app->waitForFinished(5000);
}

// The application itself, spoken to from this separate process.
#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <memory>

#include "tests/remote/pc_client.h"

using Application = Sandbox;

TEST_F(Application, AnswersThePcOverEveryLink)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<QProcess> app = startApp(appRoot, portOffset);
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
    for (pc::Endpoint* link : std::initializer_list<pc::Endpoint*>{&udp5008, &udp10005, &serial}) {
        Bytes reply;
        ASSERT_TRUE(link->send(write) && link->receive(&reply));
        EXPECT_EQ(reply, expected);
    }

    // Frames for the receiving cards reach the FPGA manager, marked with
    // the transport that waits for the answer.
    QByteArray seen;
    const Bytes card = pc::body(0x0005, pc::kPc, 0x60, {1, 0, 0, 0, 0, 0, 0, 0});
    for (auto [link, line] : std::vector<std::pair<pc::Endpoint*, const char*>>{
             {&tcp, "transport 2"}, {&udp10005, "transport 3"}, {&serial, "transport 1"}}) {
        ASSERT_TRUE(link->send(card));
        EXPECT_TRUE(outputHas(*app, seen, line)) << line << "\n" << seen.toStdString();
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
    std::unique_ptr<QProcess> app = startApp(appRoot, portOffset);
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
    std::unique_ptr<QProcess> app = startApp(root + "/app-root", portOffset);
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

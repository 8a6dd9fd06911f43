// The program on simulated hardware, driven from separate processes by the
// PC-side client tools/vyxpc.py: every documented controller command, the
// file types end to end, and settings that must outlive a restart.
#include "tests/support/sandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>

#include "tests/remote/commands_fixture.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

class PcTool : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        appRoot = root + "/app-root";
        // A configured control port other than the default; the tests move
        // it, and every other port, by a free offset.
        port = 7000;
        setPort(port);
        portOffset = freePortOffset({port, port + 1});
    }
    void TearDown() override
    {
        stop();
        Sandbox::TearDown();
    }
    void setPort(uint16_t p)
    {
        QDir().mkpath(QString::fromStdString(appRoot + "/data/configs"));
        QSettings ini(QString::fromStdString(appRoot + "/data/configs/tcpip.ini"), QSettings::IniFormat);
        ini.setValue("config/TcpPort", p);
    }
    void start()
    {
        app = startApp(appRoot, portOffset);
        ASSERT_TRUE(app->waitForStarted(5000));
        // Serving once the serial port is open: it is opened after TCP.
        ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(appRoot + "/dev/ttyS2")).isSymLink(); }, 5000));
        pc::TcpClient probe(pcPort(port), 5000);
        ASSERT_TRUE(probe.ok()) << app->readAll().toStdString();
        // The UDP ports are bound last.
        pc::UdpClient udp(pcPort(10005));
        ASSERT_TRUE(pc::answering(udp)) << app->readAll().toStdString();
    }
    void stop()
    {
        if (!app)
            return;
        app->kill();
        app->waitForFinished(5000);
        app.reset();
    }
    // The program restarts the device by itself (3 s after the request); on
    // a host that ends it with its own code.
    void expectRestart()
    {
        ASSERT_TRUE(app->waitForFinished(15000));
        EXPECT_EQ(app->exitCode(), 42);
        app.reset();
    }

    ToolRun tool(const QStringList& args, const QString& link = QString())
    {
        QStringList all{VYX_PC_TOOL};
        all << (link.isEmpty() ? QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(pcPort(port))} : link.split(' '));
        all << args;
        AppProcess p(VYX_PYTHON, all, {}, {}, AppProcess::Separate);
        ToolRun r;
        QElapsedTimer waited;
        waited.start();
        // The program's output is taken meanwhile: a program that prints a
        // lot (the scaler's register dump) must not stall on a full pipe.
        while (!p.waitForFinished(10)) {
            drain();
            if (waited.elapsed() > 60000) {
                p.kill();
                ADD_FAILURE() << "tool hangs: " << all.join(' ').toStdString();
                return r;
            }
        }
        r.exitCode = p.exitCode();
        r.out = p.readAll().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
    // Runs the tool and expects it to succeed; its output.
    std::string ok(const QStringList& args, const QString& link = QString())
    {
        ToolRun r = tool(args, link);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err;
        return r.out;
    }
    // Everything the program printed so far.
    const QByteArray& drain()
    {
        if (app) {
            app->waitForReadyRead(0);
            output += app->readAll();
        }
        return output;
    }
    QString local(const char* name) const { return QString::fromStdString(root + "/" + name); }
    void writeLocal(const char* name, const Bytes& data) const
    {
        QFile f(local(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(data.data()), qint64(data.size()));
    }
    QByteArray readLocal(const char* name) const
    {
        QFile f(local(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray stored(const std::string& absPath) const { return readFile("/app-root" + absPath); }
    QVariant ini(const char* key) const
    {
        QSettings s(QString::fromStdString(appRoot + "/data/configs/tcpip.ini"), QSettings::IniFormat);
        return s.value(QStringLiteral("config/") + key);
    }
    static QByteArray md5(const QByteArray& data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); }

    std::string appRoot;
    uint16_t port = 0;
    std::unique_ptr<AppProcess> app;
    QByteArray output;
};


} // namespace

TEST_F(PcTool, RamRegistersAndDeviceInfoOverEveryLink)
{
    start();
    EXPECT_EQ(ok({"write-ram", "2176", "4b00"}), "done\n");
    const QString serial = QStringLiteral("--serial %1").arg(QString::fromStdString(appRoot + "/dev/ttyS2"));
    for (const QString& link : {QString(), QStringLiteral("--udp 127.0.0.1:%1").arg(pcPort(10005)), serial})
        EXPECT_EQ(ok({"read-ram", "2176", "2"}, link), "4b 00\n") << link.toStdString();
    EXPECT_EQ(ok({"write-reg", "20", "0x55", "--mask", "0x0F"}), "done\n");
    EXPECT_EQ(ok({"read-reg", "20", "1"}), "05\n");
    EXPECT_EQ(ok({"device-info"}).size(), 33u);

    // Refusals come back as a non-zero status.
    ToolRun refused = tool({"read-ram", "4090", "16"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("status 1"), std::string::npos);
    EXPECT_EQ(tool({"raw", "0x7E"}).exitCode, 1);
    // A search reaches the simulated cards once FPGA 0 runs: output 3 has
    // four; output 6 has none and stays silent.
    ToolRun search;
    for (int i = 0; i < 40 && search.exitCode != 0; ++i)
        search = tool({"--timeout", "0.5", "card-search", "3"});
    EXPECT_EQ(search.out, "card 0x0003: 00 04 00 00 00 00 00 00 00 00 00 00 ff\n");
    EXPECT_EQ(tool({"--timeout", "0.3", "card-search", "6"}).exitCode, 2);
}

TEST_F(PcTool, EveryFileTypeRoundTripsWithEqualDigests)
{
    start();
    struct Case {
        const char* type;
        const char* name; // the file's name on the controller, when it has one
        size_t size;
        std::string path;
    };
    const Case cases[] = {
        {"alias", nullptr, 1 << 20, "/data/configs/alias.json"},
        {"omenu", nullptr, 1 << 20, "/data/configs/omenu.json"},
        {"recovery", nullptr, 1 << 20, "/data/rcvrecovery/TZFX"},
        {"scan", nullptr, 1 << 20, "/data/smartmapping/TZFR.tzfile"},
        {"scan", "hall 2.tzfile", 1 << 20, "/data/smartmapping/hall 2.tzfile"},
        {"mtd8", nullptr, 0x60000, "/dev/mtd8"}, // the whole partition
        {"mtd10", nullptr, 1 << 20, "/dev/mtd10"},
    };
    uint32_t seed = 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const Bytes data = std::string(c.type) == "alias" ? aliasDocument(c.size, ++seed) : randomBytes(c.size, ++seed);
        writeLocal("send.bin", data);
        QStringList send{"send-file", c.type, local("send.bin")}, fetch{"fetch-file", c.type, local("back.bin")};
        if (c.name) {
            send << "--name" << c.name;
            fetch << "--name" << c.name;
        }
        if (std::string(c.type) == "mtd10")
            fetch << "--length" << QString::number(c.size);
        ok(send);
        ok(fetch);
        EXPECT_EQ(md5(readLocal("back.bin")), md5(readLocal("send.bin")));
        EXPECT_EQ(stored(c.path).left(int(c.size)), readLocal("send.bin"));
    }
    // An EDID table is one.
    writeLocal("send.bin", edidTable(1280, 720, 60));
    ok({"send-file", "edid", local("send.bin"), "--name", "1280x720_60.bin"});
    ok({"fetch-file", "edid", local("back.bin"), "--name", "1280x720_60.bin"});
    EXPECT_EQ(readLocal("back.bin"), readLocal("send.bin"));

    // The application: installed, then the device restarts into it.
    const Bytes application = randomBytes(1 << 20, 99);
    writeLocal("send.bin", application);
    ok({"send-file", "app", local("send.bin")});
    expectRestart();
    EXPECT_EQ(stored("/data/app/vyxQ58N"), readLocal("send.bin"));
    start();
    ok({"fetch-file", "app", local("back.bin")});
    EXPECT_EQ(md5(readLocal("back.bin")), md5(readLocal("send.bin")));
    // The raw flash kept what it was given across the restart.
    ok({"fetch-file", "mtd8", local("back.bin")});
    EXPECT_EQ(readLocal("back.bin").size(), 0x60000);
}

TEST_F(PcTool, ACutTransferOrAWrongDigestLeavesTheOldFileByteForByte)
{
    start();
    writeLocal("old.bin", randomBytes(200000, 40));
    writeLocal("new.bin", randomBytes(1 << 20, 41));
    // Display names must be JSON to stay.
    writeLocal("old.json", aliasDocument(200000, 40));
    writeLocal("new.json", aliasDocument(1 << 20, 41));
    for (QStringList target : {QStringList{"alias"}, QStringList{"scan", "--name", "a.tzfile"}}) {
        SCOPED_TRACE(target.join(' ').toStdString());
        QStringList extra = target.mid(1);
        const char* oldFile = target[0] == "alias" ? "old.json" : "old.bin";
        const char* newFile = target[0] == "alias" ? "new.json" : "new.bin";
        ok(QStringList{"send-file", target[0], local(oldFile)} + extra);
        // The PC stops after three blocks and goes away.
        EXPECT_EQ(ok(QStringList{"send-file", target[0], local(newFile), "--stop-after", "3"} + extra), "stopped\n");
        ToolRun wrong = tool(QStringList{"send-file", target[0], local(newFile), "--wrong-digest"} + extra);
        EXPECT_EQ(wrong.exitCode, 1);
        EXPECT_NE(wrong.err.find("status 4"), std::string::npos);
        ok(QStringList{"fetch-file", target[0], local("back.bin")} + extra);
        EXPECT_EQ(readLocal("back.bin"), readLocal(oldFile));
    }
    EXPECT_EQ(stored("/data/configs/alias.json"), readLocal("old.json"));
    EXPECT_EQ(QDir(QString::fromStdString(appRoot + "/data/smartmapping")).entryList(QDir::Files),
              QStringList{"a.tzfile"});

    // A cloud file with a wrong digest keeps the old one too.
    writeLocal("ca.bin", randomBytes(20000, 42));
    EXPECT_EQ(ok({"send-cloud-file", "cafile", local("ca.bin")}), "done\n");
    const QByteArray ca = stored("/data/configs/cloud_cafile");
    EXPECT_EQ(ca.mid(3), readLocal("ca.bin"));
    writeLocal("ca2.bin", randomBytes(30000, 43));
    EXPECT_EQ(tool({"send-cloud-file", "cafile", local("ca2.bin"), "--wrong-digest"}).exitCode, 1);
    EXPECT_EQ(stored("/data/configs/cloud_cafile"), ca);

    // Deleting by name, then every scan file; nothing outside the directory.
    EXPECT_EQ(tool({"delete-file", "scan", "--name", "../configs/alias.json"}).exitCode, 1);
    EXPECT_EQ(ok({"delete-file", "scan", "--name", "a.tzfile"}), "deleted 1\n");
    ok({"send-file", "scan", local("old.bin")});
    ok({"send-file", "scan", local("old.bin"), "--name", "b.tzfile"});
    EXPECT_EQ(ok({"delete-file", "scan"}), "deleted 2\n");
    EXPECT_EQ(ok({"delete-file", "alias"}), "deleted 1\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(appRoot + "/data/configs/alias.json")));
}

TEST_F(PcTool, SettingsFromThePcAreStoredAndSurviveARestart)
{
    start();
    EXPECT_EQ(ok({"search"}), QStringLiteral("ip=192.168.0.199 mask=255.255.255.0 gateway=192.168.0.1 port=%1 "
                                             "mac=00:00:00:00:00:00\n")
                                  .arg(port)
                                  .toStdString());
    EXPECT_EQ(tool({"--timeout", "0.5", "search", "10.9.9.9"}).exitCode, 2); // not this one: silent
    EXPECT_EQ(tool({"search", "10.9.9.9; reboot"}).exitCode, 1);
    ok({"set-barcode", "SN-7734"});
    ok({"set-cloud", "cloud.example.net", "8443", "user-9", "Stage left"});
    ok({"set-lang", "0x16", "ru"});
    ok({"set-mac", "02:11:22:33:44:55"});
    writeLocal("edid.bin", edidTable(1280, 720, 60));
    ok({"edid-table", "1", "1280", "720", "60", local("edid.bin")});
    EXPECT_EQ(ok({"read-ram", QString::number(896 + 6), "6"}), "00 05 d0 02 3c 00\n");
    EXPECT_EQ(stored("/data/edidramtable/1280x720_60.bin"), readLocal("edid.bin"));
    EXPECT_NE(stored("/etc/network/interfaces").indexOf("hwaddress ether 02:11:22:33:44:55"), -1);
    EXPECT_EQ(tool({"set-ip", "10.20.30.40", "10.20.31.1", "255.255.255.0", "6000"}).exitCode, 1);
    // Meant for another controller (this one cannot tell its own MAC address
    // in the simulation): no answer, nothing changes.
    EXPECT_EQ(tool({"--timeout", "0.5", "set-ip", "10.20.30.40", "10.20.30.1", "255.255.255.0", "6000", "--mac",
                    "02:00:00:00:00:09"})
                  .exitCode,
              2);
    EXPECT_EQ(ini("IPAddress").toString(), "192.168.0.199");

    // A new address and control port: stored, and the device restarts.
    const uint16_t newPort = uint16_t(port + 1);
    ok({"set-ip", "10.20.30.40", "10.20.30.1", "255.255.0.0", QString::number(newPort)});
    expectRestart();
    EXPECT_EQ(ini("IPAddress").toString(), "10.20.30.40");
    EXPECT_EQ(ini("GateWay").toString(), "10.20.30.1");
    EXPECT_EQ(ini("SubNetMask").toString(), "255.255.0.0");
    EXPECT_EQ(ini("TcpPort").toInt(), newPort);
    EXPECT_EQ(ini("Barcode").toString(), "SN-7734");
    EXPECT_EQ(ini("Ryxacloudserverip").toString(), "cloud.example.net");
    EXPECT_EQ(ini("Ryxacloudserverport").toInt(), 8443);
    EXPECT_EQ(ini("Ryxaclouduserip").toString(), "user-9");
    EXPECT_EQ(ini("Ryxacloudcontrollername").toString(), "Stage left");
    EXPECT_EQ(ini("VyxLCDLang").toUInt(), 0x16u);
    EXPECT_EQ(stored("/data/configs/cloud_barcode"), QByteArray("\xAA\x00\x07SN-7734", 10));

    port = newPort;
    start();
    EXPECT_EQ(ok({"search", "10.20.30.40"}),
              QStringLiteral("ip=10.20.30.40 mask=255.255.0.0 gateway=10.20.30.1 port=%1 mac=00:00:00:00:00:00\n")
                  .arg(port)
                  .toStdString());
    EXPECT_EQ(ok({"read-ram", "768", "1"}), "02\n");
    QList<QByteArray> shellLog = readFile("/app-root/sim/shell.log").split('\n');
    EXPECT_TRUE(shellLog.contains("ifconfig eth0 10.20.30.40 netmask 255.255.0.0 up"));

    // Cloud settings files from the PC.
    writeLocal("code.bin", Bytes{'S', 'N', '-', '9'});
    ok({"send-cloud-file", "barcode", local("code.bin")});
    writeLocal("set.bin", pc::cat({pc::named(" "), pc::u16(0), pc::named(" "), pc::named(" ")}));
    ok({"send-cloud-file", "setinfo", local("set.bin")});
    stop();
    EXPECT_EQ(ini("Barcode").toString(), "SN-9");
    EXPECT_EQ(ini("Ryxacloudserverip").toString(), " ");
}

TEST_F(PcTool, ServiceCommandsForTheWifiAndTheModem)
{
    start();
    const QString wifi = QStringLiteral("--wifi 127.0.0.1:%1").arg(pcPort(13769));
    EXPECT_EQ(ok({"at", "AT+GETVER", "AT+CHECKDATA"}, wifi), "OK+GETVER=1.17.0.0\nOK+CHECKDATA=VYX-AP,12345678,192.168.22.101,\n");
    ToolRun set = tool({"at", "AT+SETDATA=1,Stage left,show-2024", "AT+SETDATA=2,300.1.1.1"}, wifi);
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_EQ(set.out, "OK\nERR\n");
    EXPECT_NE(stored("/etc/rtl_hostapd_2G.conf").indexOf("\nssid=Stage left\n"), -1);
    EXPECT_EQ(tool({"at", "AT+CHECKDATA"}).exitCode, 3) << "the WiFi commands need their own link";

    // The modem's group: on its own port, not on the PC's.
    const QString modem = QStringLiteral("--serial %1").arg(QString::fromStdString(appRoot + "/dev/ttyS1"));
    const QString pcSerial = QStringLiteral("--serial %1").arg(QString::fromStdString(appRoot + "/dev/ttyS2"));
    EXPECT_EQ(ok({"cloud-command", R"({"name":"setProperty","barcode":"SN-MODEM"})"}, modem),
              R"({"barcode":"SN-MODEM","name":"setProperty","result":0})"
              "\n");
    EXPECT_EQ(ini("Barcode").toString(), "SN-MODEM");
    EXPECT_EQ(tool({"cloud-command", R"({"name":"setProperty","barcode":"x"})"}, pcSerial).exitCode, 1);
    // A set-up file the PC sent, read back the way the modem reads it.
    const Bytes ca = randomBytes(2500, 7);
    writeLocal("ca.bin", ca);
    ok({"send-cloud-file", "cafile", local("ca.bin")});
    ok({"read-setup", "cafile", local("back.bin")}, modem);
    EXPECT_EQ(readLocal("back.bin"), readLocal("ca.bin"));
}

TEST_F(PcTool, FpgaImagesRegistersAndScalerCommands)
{
    start();
    // The program brings FPGA 0 up by itself; its state register says when.
    pc::TcpClient tcp(pcPort(port), 5000);
    ASSERT_TRUE(waitFor([&] { return tcp.ask(pc::readRegister(80, 1, 1)) == Bytes{0, 3}; }, 20000));

    // FPGA images, by target and address class.
    EXPECT_EQ(ok({"write-ram", "200", "0a0b0c", "--target", "1"}), "done\n");
    EXPECT_EQ(ok({"read-ram", "200", "3", "--target", "fpga0"}), "0a 0b 0c\n");
    EXPECT_EQ(ok({"read-ram", "200", "3"}), "00 00 00\n"); // the controller's own image is another
    EXPECT_EQ(ok({"write-ram", "40", "1122", "--class", "6", "--target", "2"}), "done\n");
    EXPECT_EQ(ok({"read-ram", "0x828", "2", "--target", "1"}), "11 22\n");
    EXPECT_EQ(ok({"read-ram", "24", "4", "--class", "5", "--target", "1"}), "01 11 00 00\n");
    EXPECT_EQ(ok({"read-ram", "0", "4", "--class", "1", "--sub", "1", "--target", "2"}), "00 00 00 00\n");
    ToolRun beyond = tool({"write-ram", "1020", "0102030405", "--target", "1"});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_NE(beyond.err.find("status 1"), std::string::npos);

    // Registers: the shadow, and the FPGAs' own.
    EXPECT_EQ(ok({"write-reg", "70", "0x5a", "--target", "1"}), "done\n");
    EXPECT_EQ(ok({"read-reg", "70", "1", "--target", "1"}), "5a\n");
    EXPECT_EQ(ok({"read-reg", "28", "4", "--target", "fpga1"}), "01 04 04 25\n");
    EXPECT_EQ(tool({"write-reg", "100", "1", "--target", "1"}).exitCode, 1);
    EXPECT_EQ(ok({"--timeout", "30", "write-reg", "161", "2", "--mask", "2"}), "done\n"); // the scaler's register dump
    // A brightness command in the command image, run by register 2 bit 2.
    EXPECT_EQ(ok({"write-ram", "0", "aa0300000000020000a0", "--class", "5", "--target", "1"}), "done\n");
    EXPECT_EQ(ok({"write-reg", "2", "4", "--mask", "4", "--target", "1"}), "done\n");
    EXPECT_EQ(ok({"read-reg", "64", "1", "--target", "1"}), "a0\n");

    // The default layout (ten ports of 1280 x 512 at the origin) with port 6
    // moved to its right: the LED screen is 1920 x 512.
    EXPECT_EQ(ok({"write-ram", "528", "0005000080020002", "--target", "1"}), "done\n");
    EXPECT_EQ(ok({"led-size"}), "width=1920 height=512\n");
    EXPECT_EQ(ok({"read-ram", "1378", "4"}), "80 07 00 02\n");
    EXPECT_EQ(ok({"param-save", "1"}), "done\n");
    EXPECT_EQ(ok({"param-save", "fpga1"}), "done\n");
    EXPECT_EQ(tool({"param-save", "3"}).exitCode, 1);
    EXPECT_EQ(ok({"led-handshake"}), "done\n");
    EXPECT_EQ(ok({"led-update"}), "done\n");

    // Fonts: the loader is pointed at this application, which the versions
    // then report.
    EXPECT_EQ(ok({"card-version"}), "controller=1.17.0.0 fpga0=01.04.04.25 fpga1=01.04.04.25 loader=other\n");
    EXPECT_EQ(ok({"font-update"}).rfind("fonts=0x", 0), 0u);
    QSettings loader(QString::fromStdString(appRoot + "/data/configs/led_load_config.ini"), QSettings::IniFormat);
    EXPECT_EQ(loader.value("app-1/app_path").toString(), "/data/app/vyxQ58N -platform linuxfb");
    EXPECT_EQ(ok({"card-version"}), "controller=1.17.0.0 fpga0=01.04.04.25 fpga1=01.04.04.25 loader=this\n");

    // The scaler's flash.
    const Bytes font = randomBytes(300, 77);
    writeLocal("font.bin", font);
    EXPECT_EQ(ok({"erase-flash", "16", "1", "--mode", "2"}), "done\n");
    EXPECT_EQ(ok({"write-flash", "0x10000", local("font.bin")}), "written 300 bytes\n");
    EXPECT_EQ(ok({"read-flash", "0x10000", "300", "--out", local("back.bin")}).rfind("read 300 bytes", 0), 0u);
#if __has_include("platform/c331_sim_osd.h") // the simulated scaler flash
    EXPECT_EQ(readLocal("back.bin"), readLocal("font.bin"));
#endif
    EXPECT_EQ(tool({"erase-flash", "17", "1", "--mode", "2"}).exitCode, 1);
    EXPECT_EQ(tool({"read-flash", "0x1FFFFFF", "2"}).exitCode, 1);
}

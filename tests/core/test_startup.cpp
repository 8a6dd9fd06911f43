#include "tests/support/sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <set>

#include "core/globals.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "tests/remote/pc_client.h"

using StartUp = Sandbox;

namespace {
// The names of the process's threads.
std::multiset<std::string> threadNames(qint64 pid)
{
    std::multiset<std::string> names;
    const QString tasks = QString("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + "/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly))
            names.insert(comm.readAll().trimmed().toStdString());
    }
    return names;
}

uint16_t brightness(pc::Endpoint& link)
{
    Bytes reply = link.ask(pc::readRam(2176, 2));
    return reply.size() == 3 ? uint16_t(reply[1] | reply[2] << 8) : 0xFFFF;
}
} // namespace

TEST_F(StartUp, RunsOnAnEmptyRootAndSurvivesAKill)
{
    std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    // Still running after start-up: it is in its event loop.
    EXPECT_FALSE(app->waitForFinished(1500));
    for (const char* dir : {"/data/configs", "/data/modes", "/data/edidramtable", "/mnt/usb1"})
        EXPECT_TRUE(exists("/app-root" + std::string(dir))) << dir;
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(StartUp, SaysWhereItRunsNamesItsThreadsAndStopsOnRequest)
{
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    QByteArray seen;
    const QString line = QString("vyxQ58N on simulated hardware: root %1; PC ports TCP %2 and %3, UDP %4 and %5; "
                                 "serial %1/dev/ttyS2 (PC) and %1/dev/ttyS1 (4G modem); stop with Ctrl+C or kill %6\n")
                             .arg(QString::fromStdString(appRoot))
                             .arg(pcPort(5005))
                             .arg(pcPort(10002))
                             .arg(pcPort(5008))
                             .arg(pcPort(10005))
                             .arg(app->processId());
    ASSERT_TRUE(outputHas(*app, seen, line.toUtf8(), 5000)) << seen.toStdString();
    // Said first; the links it names open at the end of the start-up, the
    // UDP ones last.
    pc::UdpClient udp(pcPort(10005));
    ASSERT_TRUE(pc::answering(udp, 15000));

    // Every thread of its own carries a name; only the main thread has the
    // program's.
    const std::multiset<std::string> names = threadNames(app->processId());
    for (const char* name : {"pc-tcp-5005", "pc-tcp-10002", "pc-udp-5008", "pc-udp-10005", "pc-serial", "pc-4g",
                             "usb-watch", "sources", "scaler", "fpga_manage"})
        EXPECT_EQ(names.count(name), 1u) << name;
#ifdef VYX_TSAN_BUILD
    // ThreadSanitizer's own background thread carries the program's name too.
    EXPECT_LE(names.count("vyxQ58N"), 2u);
#else
    EXPECT_EQ(names.count("vyxQ58N"), 1u);
#endif

    // Asked to stop, it closes its links and leaves nothing behind.
    ::kill(pid_t(app->processId()), SIGTERM);
    ASSERT_TRUE(app->waitForFinished(5000));
    EXPECT_EQ(app->exitStatus(), AppProcess::NormalExit);
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_FALSE(QFileInfo(QString::fromStdString(appRoot + "/dev/ttyS2")).isSymLink());
}

TEST_F(StartUp, ItsLogStartsWithTheStartLineAndTakesWholeLinesAsTheyCome)
{
    // Into a pipe, as into a log file.
    const std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot, portOffset);
    ASSERT_TRUE(app->waitForStarted(5000));
    QByteArray seen;
    // Printed while the program goes on running, not when it ends.
    ASSERT_TRUE(outputHas(*app, seen, "\n[fpga 0] LED output enabled: ready\n", 20000)) << seen.toStdString();
    EXPECT_TRUE(seen.startsWith("vyxQ58N on simulated hardware: root " + QByteArray::fromStdString(appRoot) + ";"))
        << seen.left(300).toStdString();
    // A stick plugged in is taken once the watcher listens (10 s after the
    // start); its message is a line of its own.
    writeFile("/app-root/sim/usb", "in\n");
    EXPECT_TRUE(outputHas(*app, seen, "\n usb have mound ok \n", 30000)) << seen.right(2000).toStdString();
    app->kill();
    app->waitForFinished(5000);
}

TEST_F(StartUp, InstancesRunSideBySideButNeverTwoOnOneRoot)
{
    const std::string rootA = root + "/a", rootB = root + "/b";
    std::unique_ptr<AppProcess> a = startApp(rootA, portOffset);
    // A may not have bound its ports yet: B's offset must not reach them.
    const int pcPorts[] = {5005, 10002, 5008, 10005, 13769};
    auto meetsA = [&](int offset) {
        for (int mine : pcPorts)
            for (int theirs : pcPorts)
                if (mine + offset == theirs + portOffset)
                    return true;
        return false;
    };
    int offsetB = freePortOffset();
    while (meetsA(offsetB))
        offsetB = freePortOffset();
    std::unique_ptr<AppProcess> b = startApp(rootB, offsetB);
    ASSERT_TRUE(a->waitForStarted(5000) && b->waitForStarted(5000));
    pc::TcpClient clientA(pcPort(5005), 5000), clientB(uint16_t(5005 + offsetB), 5000);
    ASSERT_TRUE(clientA.ok() && clientB.ok());
    ASSERT_EQ(clientA.ask(pc::writeRam(2176, {61, 0})), Bytes{0});
    EXPECT_EQ(brightness(clientA), 61);
    EXPECT_EQ(brightness(clientB), 100); // its own store

    // A second one on a root in use says so and goes, whatever its ports.
    std::unique_ptr<AppProcess> again = startApp(rootA, freePortOffset());
    ASSERT_TRUE(again->waitForFinished(5000));
    EXPECT_EQ(again->exitCode(), 1);
    const QByteArray said = again->readAll();
    EXPECT_TRUE(said.contains(QString("vyxQ58N: another instance already runs on %1 (pid %2); stop it first, or give "
                                      "this one another --root\n")
                                  .arg(QString::fromStdString(rootA))
                                  .arg(a->processId())
                                  .toUtf8()))
        << said.toStdString();
    EXPECT_EQ(brightness(clientA), 61);

    // A port offset it cannot use is refused before anything starts.
    auto bad = startApp(root + "/c", platform::kMaxPortOffset + 1);
    ASSERT_TRUE(bad->waitForFinished(5000));
    EXPECT_EQ(bad->exitCode(), 2);
    EXPECT_TRUE(bad->readAll().contains("port offset \"51767\" is not a number from 0 to 51766"));
    for (auto* p : {a.get(), b.get()}) {
        p->kill();
        p->waitForFinished(5000);
    }
}

namespace {
// A directory of stand-ins for the commands a start-up on the device runs
// (address, routes, clock, access point...): each only notes its call in
// "<dir>/ran". Put first on PATH, they keep the machine as it is even when
// something does run.
QString commandStandIns(const std::string& dir)
{
    const QString bin = QString::fromStdString(dir + "/bin");
    QDir().mkpath(bin);
    for (const char* name : {"ifconfig", "route", "ip", "reboot", "hwclock", "date", "chattr", "sync", "kill",
                             "killall", "pidof", "hostapd", "udhcpd", "udhcpc", "wpa_supplicant", "mount", "umount"}) {
        QFile f(bin + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QString("#!/bin/sh\necho \"$0 $*\" >> %1/ran\n").arg(QString::fromStdString(dir)).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return "PATH=" + bin + ":" + QString::fromLocal8Bit(qgetenv("PATH"));
}

// What is in `dir` besides the stand-ins.
QStringList madeIn(const std::string& dir)
{
    QStringList entries = QDir(QString::fromStdString(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    entries.removeAll("bin");
    return entries;
}
} // namespace

TEST_F(StartUp, DeviceBackEndIsRefusedOffTheBoard)
{
    // Never started where it could run: it would take this machine's
    // address and routes. Not on the board, and not with a program that
    // does not know the refusal (one that starts on "--help" instead).
    ASSERT_FALSE(platform::boardMissing().empty()) << "this machine looks like the board; not tried";
    const std::string dir = root + "/cwd";
    const QString path = commandStandIns(dir);
    std::unique_ptr<AppProcess> help = startAppWith({"--help"}, dir, {path});
    ASSERT_TRUE(help->waitForFinished(10000) && help->exitCode() == 0 &&
                help->readAll().contains("--device          the board's own hardware; refused on any other machine"))
        << "the program does not say it refuses --device here; not tried";
    // And where the machine allows it, in a network of its own.
    QStringList wrapper{"unshare", "--net"};
    {
        AppProcess probe("unshare", {"--net", "true"});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
            wrapper.clear();
    }
    std::unique_ptr<AppProcess> app = startAppWith({"--device"}, dir, {path}, wrapper);
    ASSERT_TRUE(app->waitForFinished(10000));
    EXPECT_EQ(app->exitCode(), 1);
    const QByteArray said = app->readAll();
    // Not an ARM processor; or, emulated on one, no scaler device.
    EXPECT_TRUE(said.startsWith("vyxQ58N: --device refused: this machine (") ||
                said.startsWith("vyxQ58N: --device refused: this machine has no /dev/spidev32766.0"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("on any other machine run without --device (simulated hardware).\n"))
        << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString(); // said nothing else, started nothing
    EXPECT_EQ(madeIn(dir), QStringList()) << "ran a command or made a root";
}

TEST_F(StartUp, AnswersHelpAndRefusesACommandLineItCannotFollow)
{
    const std::string dir = root + "/cwd";
    const QString path = commandStandIns(dir);
    std::unique_ptr<AppProcess> help = startAppWith({"--help"}, dir, {path});
    ASSERT_TRUE(help->waitForFinished(10000));
    EXPECT_EQ(help->exitCode(), 0);
    const QByteArray usage = help->readAll();
    EXPECT_TRUE(usage.startsWith("Usage: vyxQ58N [--root DIR] [--port-offset N] [--sim | --device] [Qt options]\n"))
        << usage.toStdString();
    for (const char* option : {"--root DIR", "--port-offset N", "--sim", "--device", "-h, --help", "-platform"})
        EXPECT_TRUE(usage.contains(option)) << option;

    const struct {
        QStringList args;
        const char* says;
    } refused[] = {
        {{"--rooot", "r"}, "vyxQ58N: Unknown option 'rooot'.\n"},
        {{"--root"}, "vyxQ58N: Missing value after '--root'.\n"},
        {{"--root", "r", "--port-offset"}, "vyxQ58N: Missing value after '--port-offset'.\n"},
        {{"--root", "r", "-platform"}, "vyxQ58N: Missing value after '-platform'.\n"},
        {{"--root", "r", "now"}, "vyxQ58N: unexpected argument 'now'.\n"},
        {{"--root", "r", "--sim", "--device"}, "vyxQ58N: --device and --sim exclude each other.\n"},
        {{"--root", ""}, "vyxQ58N: --root needs a directory.\n"},
    };
    for (const auto& r : refused) {
        std::unique_ptr<AppProcess> app = startAppWith(r.args, dir, {path});
        ASSERT_TRUE(app->waitForFinished(10000)) << r.says;
        EXPECT_EQ(app->exitCode(), 2) << r.says;
        const QByteArray said = app->readAll();
        EXPECT_EQ(said, QByteArray(r.says) + "Try 'vyxQ58N --help' for the options.\n");
    }
    // Neither ran a command nor made a root, here or by default.
    EXPECT_EQ(madeIn(dir), QStringList());

    // Qt's own options still reach Qt, in either form.
    const int offset = freePortOffset();
    std::unique_ptr<AppProcess> app = startAppWith(
        {"-platform", "offscreen", "--root", "r", "--port-offset", QString::number(offset), "--reverse"}, dir, {path});
    QByteArray seen;
    EXPECT_TRUE(outputHas(*app, seen, QString("vyxQ58N on simulated hardware: root %1/r;")
                                          .arg(QString::fromStdString(dir)).toUtf8(), 10000))
        << seen.toStdString();
    app->kill();
    app->waitForFinished(5000);
}

TEST(Globals, StartUpValues)
{
    resetGlobalsForTest();
    EXPECT_EQ(g_debugSwitch, 254);
    EXPECT_EQ(g_port.load(), 5005u);
    EXPECT_EQ(g_int_tcp_port.load(), 5005u);
    EXPECT_EQ(g_BPS, 115200u);
    EXPECT_EQ(g_dataLen, 32u);
    EXPECT_EQ(g_passby_trans_port.load(), 255);
    EXPECT_EQ(ScreenState.load(), 1);
    EXPECT_EQ(g_auto_lock_time, 30000u);
    EXPECT_EQ(g_back_to_mainwindow_time, 3000u);
    EXPECT_EQ(g_str_wifi_ip, "192.168.22.101");
    EXPECT_TRUE(g_check_edid.isEmpty());
}

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

TEST_F(StartUp, InstancesRunSideBySideButNeverTwoOnOneRoot)
{
    const std::string rootA = root + "/a", rootB = root + "/b";
    std::unique_ptr<AppProcess> a = startApp(rootA, portOffset);
    const int offsetB = freePortOffset();
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

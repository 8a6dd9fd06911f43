#include "tests/support/sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdlib>
#include <vector>

#include "bench/pc_client.h"
#include "core/globals.h"
#include "core/shutdown.h"
#include "platform/hid.h"
#include "platform/i2c.h"
#include "platform/mtd.h"
#include "platform/platform.h"
#include "platform/serial.h"
#include "platform/shell.h"
#include "platform/spi.h"
#include "platform/uevent.h"
#include "platform/video_sim.h"

namespace {
// The offsets the running test took: kept from other programs until it ends.
std::vector<int>& offsetsTaken()
{
    static std::vector<int> taken;
    return taken;
}
} // namespace

void destroySingletonsForTest() { stopAllForExit(); }

void Sandbox::SetUp()
{
    destroySingletonsForTest();
    char tmpl[] = "/tmp/vyx-test-XXXXXX";
    char* dir = mkdtemp(tmpl);
    ASSERT_NE(dir, nullptr);
    root = dir;
    platform::initForTest(root);
    portOffset = freePortOffset();
    platform::setPortOffset(portOffset);
    platform::setPauseScale(0);
    platform::simShell().clearLog();
    platform::simShell().clearScript();
    platform::simShell().setRebootHandler(nullptr);
    platform::simShell().setObserver(nullptr);
    platform::simMtd().reset();
    platform::simHid().reset();
    platform::simUevents().reset();
    platform::simSerial().reset();
    platform::videoSources().reset();
    platform::simI2c().reset();
    platform::simSpiBus().reset();
    resetGlobalsForTest();
}

void Sandbox::TearDown()
{
    destroySingletonsForTest();
    pumpEvents();
    QDir(QString::fromStdString(root)).removeRecursively();
    for (int offset : offsetsTaken())
        pc::releasePortOffset(offset);
    offsetsTaken().clear();
}

std::string Sandbox::path(const std::string& absPath) const { return root + absPath; }

QByteArray Sandbox::readFile(const std::string& absPath) const
{
    QFile f(QString::fromStdString(path(absPath)));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void Sandbox::writeFile(const std::string& absPath, const QByteArray& data) const
{
    QString p = QString::fromStdString(path(absPath));
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

bool Sandbox::exists(const std::string& absPath) const { return QFile::exists(QString::fromStdString(path(absPath))); }

void pumpEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ms > 0)
            QThread::msleep(1);
    } while (t.elapsed() < ms);
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

int freePortOffset(std::initializer_list<int> extra)
{
    int offset = pc::freePortOffset(extra);
    if (offset < 0) {
        ADD_FAILURE() << "no free PC port offset";
        return 0;
    }
    offsetsTaken().push_back(offset);
    return offset;
}

namespace {
// The application with `args`: a cross-built test starts the cross-built
// application through the same emulator it runs under itself.
QStringList appCommand(const QStringList& args)
{
    QStringList command{QStringLiteral(VYX_APP_PATH)};
    if (!QStringLiteral(VYX_APP_EMULATOR).isEmpty())
        command.prepend(QStringLiteral(VYX_APP_EMULATOR));
    return command + args;
}
} // namespace

std::unique_ptr<AppProcess> startApp(const std::string& root, int portOffset)
{
    QStringList command = appCommand({"--root", QString::fromStdString(root)});
    const QString program = command.takeFirst();
    return std::make_unique<AppProcess>(
        program, command,
        QStringList{"QT_QPA_PLATFORM=offscreen", "VYX_PAUSE_SCALE=0", QStringLiteral("VYX_PORT_OFFSET=%1").arg(portOffset)},
        QStringList{"VYX_ROOT"});
}

std::unique_ptr<AppProcess> startAppWith(const QStringList& args, const std::string& workDir,
                                         const QStringList& setEnv, const QStringList& wrapper)
{
    // env(1) starts it in its working directory.
    QStringList command = wrapper + QStringList{"env", "-C", QString::fromStdString(workDir)} + appCommand(args);
    const QString program = command.takeFirst();
    return std::make_unique<AppProcess>(program, command,
                                        QStringList{"QT_QPA_PLATFORM=offscreen", "VYX_PAUSE_SCALE=0"} + setEnv,
                                        QStringList{"VYX_ROOT", "VYX_PORT_OFFSET"});
}

bool outputHas(AppProcess& app, QByteArray& seen, const QByteArray& text, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!seen.contains(text)) {
        if (t.elapsed() > ms)
            return false;
        app.waitForReadyRead(50);
        seen += app.readAll();
    }
    return true;
}

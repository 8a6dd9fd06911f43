#include "platform/platform.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "platform/mtd.h"
#include "platform/sim_chips.h"
#include "platform/spi.h"

// The files a fresh simulated root starts with are built into the program.
static void initSimResources() { Q_INIT_RESOURCE(sim); }

namespace platform {

namespace {
Backend g_backend = Backend::Sim;
std::string g_root = "vyx-root";
std::atomic<double> g_pauseScale{1.0};

// The scaler's SPI device only exists on the controller board.
const char* const kDeviceMarker = "/dev/spidev32766.0";

void removeArg(int& argc, char** argv, int i, int n)
{
    for (int k = i; k + n <= argc; ++k)
        argv[k] = argv[k + n];
    argc -= n;
}

std::string absolute(const std::string& dir)
{
    QString abs = QDir(QString::fromStdString(dir)).absolutePath();
    return abs.toStdString();
}
} // namespace

void init(int& argc, char** argv)
{
    std::string rootArg;
    bool forceDevice = false, forceSim = false;
    for (int i = 1; i < argc;) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            rootArg = argv[i + 1];
            removeArg(argc, argv, i, 2);
        } else if (std::strcmp(argv[i], "--device") == 0) {
            forceDevice = true;
            removeArg(argc, argv, i, 1);
        } else if (std::strcmp(argv[i], "--sim") == 0) {
            forceSim = true;
            removeArg(argc, argv, i, 1);
        } else {
            ++i;
        }
    }
    if (rootArg.empty()) {
        const char* env = std::getenv("VYX_ROOT");
        if (env && *env)
            rootArg = env;
    }

    // The real hardware is used only when asked for, or when the board's
    // scaler device exists and no host root was given.
    bool device = forceDevice || (!forceSim && rootArg.empty() && access(kDeviceMarker, F_OK) == 0);
    if (device) {
        g_backend = Backend::Device;
        g_root = "";
        return;
    }
    g_backend = Backend::Sim;
    g_root = absolute(rootArg.empty() ? std::string("vyx-root") : rootArg);
    while (g_root.size() > 1 && g_root.back() == '/')
        g_root.pop_back();
    const bool fresh = !QDir(QString::fromStdString(sysPath("/data"))).exists();
    makeDataTree();
    if (fresh)
        seedSimRoot();
    simMtd().declareBoard();
    attachSimChips();
    // The bus journal serves tests; a long run has no reader for it.
    simSpiBus().setJournalLimit(0);
    // Black-box tests shorten the fixed pauses of a simulated run.
    if (const char* scale = std::getenv("VYX_PAUSE_SCALE"))
        g_pauseScale.store(std::atof(scale));
}

void initForTest(const std::string& rootDir)
{
    g_backend = Backend::Sim;
    g_root = absolute(rootDir);
    makeDataTree();
    attachSimChips();
}

Backend backend() { return g_backend; }

const std::string& root() { return g_root; }

std::string sysPath(const std::string& absPath)
{
    if (absPath.empty() || absPath[0] != '/')
        return absPath;
    return g_root + absPath;
}

QString sysPath(const QString& absPath)
{
    return QString::fromStdString(sysPath(absPath.toStdString()));
}

void seedSimRoot()
{
    // A sample OSD menu, so switching the OSD on shows something.
    initSimResources();
    const QString menu = sysPath(QStringLiteral("/data/configs/omenu.json"));
    if (QFile::copy(QStringLiteral(":/sim/omenu.json"), menu))
        QFile::setPermissions(menu, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

void makeDataTree()
{
    if (g_backend == Backend::Device)
        return;
    static const char* const dirs[] = {
        "/data/app", "/data/configs", "/data/modes", "/data/edidramtable", "/data/rcvrecovery",
        "/data/smartmapping", "/mnt/usb1", "/etc", "/proc/scsi", "/dev", "/sim",
    };
    for (const char* d : dirs)
        QDir().mkpath(QString::fromStdString(sysPath(d)));
}

void pause_ms(unsigned int ms) { pause_us(ms * 1000u); }

void pause_us(unsigned int us)
{
    double scaled = us * g_pauseScale.load();
    if (scaled >= 1.0)
        ::usleep(static_cast<useconds_t>(scaled));
}

void setPauseScale(double scale) { g_pauseScale.store(scale); }

} // namespace platform

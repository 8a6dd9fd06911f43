#include "platform/platform.h"
#include "platform/safe_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QStringList>

#include "platform/i2c.h"
#include "platform/mtd.h"
#include "platform/sim_chips.h"
#include "platform/sim_pages.h"
#include "platform/spi.h"

// The files a fresh simulated root starts with are built into the program.
static void initSimResources() { Q_INIT_RESOURCE(sim); }

namespace platform {

namespace {
Backend g_backend = Backend::Sim;
std::string g_root = "vyx-root";
std::atomic<double> g_pauseScale{1.0};
std::atomic<int> g_portOffset{0};

// The scaler's SPI device only exists on the controller board.
const char* const kDeviceMarker = "/dev/spidev32766.0";
const char* const kInstanceLock = "/sim/instance.lock";

// What the command line asked for.
struct Options {
    std::string root, portOffset;
    bool havePortOffset = false;
    bool device = false, sim = false;
};

const char* const kUsage =
    "Usage: vyxQ58N [--root DIR] [--port-offset N] [--sim | --device] [Qt options]\n"
    "The control application of the LED-display video processor. On the controller board it drives the\n"
    "hardware; on any other machine it runs on simulated hardware under a root directory.\n"
    "\n"
    "  --root DIR        the simulated device's files live under DIR (default: $VYX_ROOT, else ./vyx-root)\n"
    "  --port-offset N   every PC port moved by N, 0 to %d (default: $VYX_PORT_OFFSET, else 0)\n"
    "  --sim             simulated hardware even on the board\n"
    "  --device          the board's own hardware; refused on any other machine\n"
    "  -h, --help        this text\n"
    "\n"
    "Qt's own options pass to Qt, e.g. -platform offscreen or -platform linuxfb.\n";

// Qt's own options (QGuiApplication and QApplication), with or without a
// value, in the one- or two-dash form Qt takes.
bool isQtOption(const QString& arg, bool* takesValue)
{
    static const QStringList withValue{"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "style", "stylesheet", "display", "geometry", "name", "title"};
    static const QStringList alone{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability",
                                   "qmljsdebugger"};
    if (!arg.startsWith(QLatin1Char('-')) || arg.size() < 2)
        return false;
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const int equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0)
        name.truncate(equals);
    *takesValue = equals < 0 && withValue.contains(name);
    return withValue.contains(name) || alone.contains(name);
}

[[noreturn]] void refuseCommandLine(const QString& why)
{
    std::fprintf(stderr, "vyxQ58N: %s\nTry 'vyxQ58N --help' for the options.\n", why.toLocal8Bit().constData());
    std::exit(2);
}

// Takes this program's options out of argv, leaving the program's name and
// Qt's own options for the Qt application. Answers --help and ends the
// program; a command line it cannot follow (an unknown option, a missing
// value, a stray argument) is refused before anything is created.
Options parseCommandLine(int& argc, char** argv)
{
    QStringList mine{QStringLiteral("vyxQ58N")};
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool takesValue = false;
        if (!isQtOption(arg, &takesValue)) {
            mine << arg;
            continue;
        }
        if (takesValue && i + 1 >= argc)
            refuseCommandLine(QStringLiteral("Missing value after '%1'.").arg(arg));
        argv[kept++] = argv[i];
        if (takesValue)
            argv[kept++] = argv[++i];
    }
    argc = kept;
    argv[argc] = nullptr;

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption root(QStringLiteral("root"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption offset(QStringLiteral("port-offset"), QString(), QStringLiteral("N"));
    const QCommandLineOption device(QStringLiteral("device"));
    const QCommandLineOption sim(QStringLiteral("sim"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({root, offset, device, sim, help});
    if (!parser.parse(mine))
        refuseCommandLine(parser.errorText());
    if (parser.isSet(help)) {
        std::printf(kUsage, kMaxPortOffset);
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        refuseCommandLine(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(device) && parser.isSet(sim))
        refuseCommandLine(QStringLiteral("--device and --sim exclude each other."));
    Options o;
    o.root = parser.value(root).toLocal8Bit().toStdString();
    if (parser.isSet(root) && o.root.empty())
        refuseCommandLine(QStringLiteral("--root needs a directory."));
    o.havePortOffset = parser.isSet(offset);
    o.portOffset = parser.value(offset).toStdString();
    o.device = parser.isSet(device);
    o.sim = parser.isSet(sim);
    return o;
}

std::string absolute(const std::string& dir)
{
    QString abs = QDir(QString::fromStdString(dir)).absolutePath();
    return abs.toStdString();
}

// 0..kMaxPortOffset, or -1.
int parseOffset(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0 || v > kMaxPortOffset)
        return -1;
    return int(v);
}
} // namespace

namespace {
// A buffer freed after a big one was would otherwise stay with the process:
// the C library raises its threshold for mapping big blocks to the largest
// block freed (the upgrade's transfer buffer, a picture), and keeps
// everything below it in its heaps. Fixed, a big block goes back to the
// system when it is freed.
void keepBigBlocksMapped()
{
    constexpr int kMapAbove = 128 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, kMapAbove);
    ::mallopt(M_TRIM_THRESHOLD, 2 * kMapAbove);
}
} // namespace

std::string boardMissing()
{
    struct utsname machine {};
    const bool named = ::uname(&machine) == 0;
#if defined(__arm__)
    // The board's kernel names an ARM processor (an emulated one does too).
    const bool arm = named && std::strncmp(machine.machine, "arm", 3) == 0;
#else
    const bool arm = false;
#endif
    if (!arm)
        return std::string("this machine (") + (named ? machine.machine : "unknown") +
               ") is not the controller board's ARM processor";
    struct stat device {};
    if (::stat(kDeviceMarker, &device) != 0 || !S_ISCHR(device.st_mode))
        return std::string("this machine has no ") + kDeviceMarker + " (the scaler chip's SPI device)";
    return std::string();
}

void init(int& argc, char** argv)
{
    keepBigBlocksMapped();
    const Options options = parseCommandLine(argc, argv);
    std::string rootArg = options.root, offsetArg = options.portOffset;
    const bool forceDevice = options.device, forceSim = options.sim;
    bool haveOffset = options.havePortOffset;
    if (rootArg.empty()) {
        const char* env = std::getenv("VYX_ROOT");
        if (env && *env)
            rootArg = env;
    }
    if (!haveOffset) {
        const char* env = std::getenv("VYX_PORT_OFFSET");
        if (env && *env) {
            offsetArg = env;
            haveOffset = true;
        }
    }

    // The real hardware is used only on the board: when asked for, or when
    // no host root was given. Anywhere else its shell commands would
    // reconfigure the machine it runs on (its address and routes), so it is
    // refused before anything runs.
    const std::string missing = boardMissing();
    if (forceDevice && !missing.empty()) {
        std::fprintf(stderr,
                     "vyxQ58N: --device refused: %s. The device back-end drives the controller board's hardware "
                     "and network; on any other machine run without --device (simulated hardware).\n",
                     missing.c_str());
        std::exit(1);
    }
    bool device = forceDevice || (!forceSim && rootArg.empty() && missing.empty());
    if (device) {
        g_backend = Backend::Device;
        g_root = "";
        g_portOffset = 0;
        return;
    }
    g_backend = Backend::Sim;
    if (haveOffset) {
        int offset = parseOffset(offsetArg);
        if (offset < 0) {
            std::fprintf(stderr, "vyxQ58N: port offset \"%s\" is not a number from 0 to %d\n", offsetArg.c_str(),
                         kMaxPortOffset);
            std::exit(2);
        }
        g_portOffset = offset;
    }
    g_root = absolute(rootArg.empty() ? std::string("vyx-root") : rootArg);
    while (g_root.size() > 1 && g_root.back() == '/')
        g_root.pop_back();
    const bool fresh = !QDir(QString::fromStdString(sysPath("/data"))).exists();
    makeDataTree();
    if (fresh)
        seedSimRoot();
    simMtd().declareBoard();
    attachSimChips();
    simpages::describe();
    // The journals serve tests; a long run has no reader for them.
    simSpiBus().setJournalLimit(0);
    simScaler().setJournalLimit(0);
    simI2c().setRecordLimit(0);
    // Black-box tests shorten the fixed pauses of a simulated run.
    if (const char* scale = std::getenv("VYX_PAUSE_SCALE"))
        g_pauseScale.store(std::atof(scale));
    // A power cut at a chosen write step, to see what a restart makes of it.
    if (const char* crash = std::getenv("VYX_CRASH_AT_WRITE"))
        crashAtWriteStep(unsigned(std::strtoul(crash, nullptr, 10)));
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

int pcPort(int port)
{
    int moved = port + (g_backend == Backend::Device ? 0 : g_portOffset.load());
    return moved <= 65535 ? moved : -1;
}

int portOffset() { return g_backend == Backend::Device ? 0 : g_portOffset.load(); }

void setPortOffset(int offset) { g_portOffset = offset; }

bool claimRoot(std::string* message)
{
    if (g_backend == Backend::Device)
        return true;
    const std::string file = sysPath(kInstanceLock);
    // Held open for the life of the process; the kernel lets go of the
    // lock however the process ends, so a killed instance leaves none.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *message = "cannot create " + file + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char holder[32] = {};
        ssize_t n = ::pread(fd, holder, sizeof holder - 1, 0);
        holder[n > 0 ? n : 0] = '\0';
        std::string pid = holder;
        while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' '))
            pid.pop_back();
        *message = "another instance already runs on " + g_root + (pid.empty() ? "" : " (pid " + pid + ")")
                   + "; stop it first, or give this one another --root";
        ::close(fd);
        return false;
    }
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        // The lock holds without the number; only the message lacks it.
    }
    return true;
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

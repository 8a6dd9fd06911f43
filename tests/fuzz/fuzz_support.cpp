#include "tests/fuzz/fuzz_support.h"

#include <QDir>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "core/globals.h"
#include "core/vyxrampara.h"
#include "platform/memory_files.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace fuzz {

namespace {
std::string g_root;

void removeRoot() { QDir(QString::fromStdString(g_root)).removeRecursively(); }

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

void begin()
{
    if (g_root.empty()) {
        // In memory where there is a tmpfs: the stores sync what they write,
        // which on a disk costs more than the rest of a run.
        char shm[] = "/dev/shm/vyx-fuzz-XXXXXX";
        char tmp[] = "/tmp/vyx-fuzz-XXXXXX";
        char* dir = ::mkdtemp(shm);
        if (!dir)
            dir = ::mkdtemp(tmp);
        if (!dir)
            std::abort();
        g_root = dir;
        std::atexit(removeRoot);
        // With TZ unset the C library reads the zone file again at every
        // local time it makes, which Qt does for each file time it reads.
        ::setenv("TZ", ":/etc/localtime", 0);
        ::tzset();
        platform::initForTest(g_root);
        platform::setPauseScale(0);
        platform::simShell().setLogFile(false);
        resetGlobalsForTest();
        g_debugSwitch = 0;
        qInstallMessageHandler(dropMessage);
    }
    platform::simShell().clearLog();
}

void writeFile(const std::string& absPath, const uint8_t* data, size_t size)
{
    std::string path = platform::sysPath(absPath);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

void holdFile(const std::string& absPath, const uint8_t* data, size_t size)
{
    platform::holdFile(QString::fromStdString(absPath), QByteArray(reinterpret_cast<const char*>(data), int(size)));
}

VyxRamPara* freshStore()
{
    struct Saved {
        uint8_t ram_para[kImageSize];
        uint8_t ram_para_bak[kImageSize];
        uint8_t user_mode[kModeSlots][kModeSlotSize];
        uint8_t local_reg[kLocalRegs];
    };
    static Saved* saved = nullptr;
    VyxRamPara* p = VyxRamPara::pInstance();
    if (!saved) {
        saved = new Saved;
        std::memcpy(saved->ram_para, p->ram_para, sizeof saved->ram_para);
        std::memcpy(saved->ram_para_bak, p->ram_para_bak, sizeof saved->ram_para_bak);
        std::memcpy(saved->user_mode, p->user_mode, sizeof saved->user_mode);
        std::memcpy(saved->local_reg, p->local_reg, sizeof saved->local_reg);
        return p;
    }
    std::memcpy(p->ram_para, saved->ram_para, sizeof saved->ram_para);
    std::memcpy(p->ram_para_bak, saved->ram_para_bak, sizeof saved->ram_para_bak);
    std::memcpy(p->user_mode, saved->user_mode, sizeof saved->user_mode);
    std::memcpy(p->local_reg, saved->local_reg, sizeof saved->local_reg);
    return p;
}

} // namespace fuzz

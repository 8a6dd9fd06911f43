#include "platform/memory_files.h"
#include "platform/platform.h"

#include <QFileInfo>
#include <QHash>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {
std::mutex g_mutex;
QHash<QString, QByteArray> g_files;
// Readers skip the lock while nothing is held, which is always on the device.
std::atomic<int> g_count{0};
} // namespace

void holdFile(const QString& absPath, const QByteArray& data)
{
    if (isDevice()) {
        std::fprintf(stderr, "platform: files are held in memory in the simulation only\n");
        std::abort();
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_files.insert(absPath, data);
    g_count = g_files.size();
}

void releaseFile(const QString& absPath)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_files.remove(absPath);
    g_count = g_files.size();
}

bool heldFile(const QString& absPath, QByteArray* data)
{
    if (g_count.load() == 0)
        return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_files.constFind(absPath);
    if (it == g_files.constEnd())
        return false;
    *data = it.value();
    return true;
}

bool fileExists(const QString& absPath)
{
    QByteArray held;
    return heldFile(absPath, &held) || QFileInfo::exists(sysPath(absPath));
}

} // namespace platform

#include "platform/safe_file.h"
#include "platform/platform.h"

#include <QFile>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr size_t kWriteChunk = 1024;

// One replacement at a time: the temporary name is fixed per file, so a
// power cut leaves at most one stale temporary next to each file, and the
// next replacement of that file reuses it.
std::mutex g_replaceMutex;

std::atomic<unsigned> g_crashAt{0};
std::atomic<unsigned> g_steps{0};

// Counts a write step; true when the sweep's power cut falls on it.
bool stepDue() { return ++g_steps == g_crashAt.load() && g_crashAt.load() != 0; }

// `unsynced` names the file whose data would be lost with the power (empty
// when everything written so far is on the storage).
[[noreturn]] void powerCut(const std::string& unsynced)
{
    if (!unsynced.empty() && ::truncate(unsynced.c_str(), 0) != 0) {
        // Already gone: nothing to lose.
    }
    ::_exit(kPowerCutExitCode);
}

void step(const std::string& unsynced)
{
    if (stepDue())
        powerCut(unsynced);
}

std::string dirOf(const std::string& file)
{
    size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

std::string tempOf(const std::string& file)
{
    size_t slash = file.rfind('/');
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    return dirOf(file) + "/." + base + ".tmp";
}

bool writeAll(int fd, const uint8_t* data, size_t size, const std::string& unsynced)
{
    size_t done = 0;
    while (done < size) {
        size_t chunk = std::min(kWriteChunk, size - done);
        if (stepDue()) {
            if (::write(fd, data + done, chunk / 2) < 0) {
                // Torn either way.
            }
            powerCut(unsynced);
        }
        ssize_t n = ::write(fd, data + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Makes a rename in `dir` durable. Filesystems that cannot flush a
// directory say EINVAL; their renames are durable by themselves.
bool syncDir(const std::string& dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool replaceResolved(const std::string& file, const uint8_t* data, size_t size)
{
    std::lock_guard<std::mutex> lock(g_replaceMutex);
    const std::string tmp = tempOf(file);
    auto fail = [&](int fd) {
        int saved = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(tmp.c_str());
        errno = saved;
        return false;
    };
    // Where data that has not reached the storage lives: a power cut
    // empties that file. Only the flush clears it.
    std::string unsynced;

    step(unsynced);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    unsynced = tmp;
    struct stat old;
    if (::stat(file.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        return fail(fd);
    if (!writeAll(fd, data, size, unsynced))
        return fail(fd);
    step(unsynced);
    if (::fsync(fd) != 0)
        return fail(fd);
    unsynced.clear();
    step(unsynced);
    if (::close(fd) != 0)
        return fail(-1);
    step(unsynced);
    if (::rename(tmp.c_str(), file.c_str()) != 0)
        return fail(-1);
    if (!unsynced.empty())
        unsynced = file;
    step(unsynced);
    return syncDir(dirOf(file));
}

// Plain read of a resolved path; errno tells why it failed.
bool readResolved(const std::string& file, QByteArray* data)
{
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray all;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        all.append(buf, int(n));
    }
    ::close(fd);
    *data = all;
    return true;
}

} // namespace

bool replaceFile(const std::string& path, const void* data, size_t size)
{
    return replaceResolved(sysPath(path), static_cast<const uint8_t*>(data), size);
}

bool replaceFile(const std::string& path, const QByteArray& data)
{
    return replaceFile(path, data.constData(), size_t(data.size()));
}

bool readFile(const std::string& path, QByteArray* data)
{
    return readResolved(sysPath(path), data);
}

bool copyFile(const std::string& from, const std::string& to)
{
    QByteArray data;
    return readFile(from, &data) && replaceFile(to, data);
}

bool editIniFile(const std::string& path, const std::function<void(QSettings&)>& edit)
{
    const std::string file = sysPath(path);
    QByteArray before;
    const bool existed = readResolved(file, &before);
    const bool missing = !existed && errno == ENOENT;

    // A fresh name for every edit: QSettings caches what it read by file
    // name and would take a rewritten scratch of the same size and time
    // for the one it knows.
    static std::atomic<unsigned long long> counter{0};
    ::mkdir(sysPath("/tmp").c_str(), 01777);
    const QString scratch = QString::fromStdString(sysPath("/tmp") + "/vyx-ini-" + std::to_string(::getpid())
                                                   + "-" + std::to_string(++counter) + ".ini");
    bool staged = missing;
    if (existed) {
        QFile copy(scratch);
        staged = copy.open(QIODevice::WriteOnly | QIODevice::Truncate) && copy.write(before) == before.size();
    }
    if (!staged) {
        // A file that cannot be read, or no room for the scratch copy: the
        // file is edited where it is, as QSettings does by itself.
        QFile::remove(scratch);
        QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
        edit(settings);
        settings.sync();
        return settings.status() == QSettings::NoError;
    }

    QSettings::Status status;
    {
        QSettings settings(scratch, QSettings::IniFormat);
        edit(settings);
        settings.sync();
        status = settings.status();
    }
    QByteArray after;
    const bool written = readResolved(scratch.toStdString(), &after);
    QFile::remove(scratch);
    QFile::remove(scratch + QStringLiteral(".lock"));
    if (status == QSettings::AccessError)
        return false;
    if (!written || (existed && after == before))
        return true; // nothing to store
    return replaceResolved(file, reinterpret_cast<const uint8_t*>(after.constData()), size_t(after.size()));
}

void crashAtWriteStep(unsigned n)
{
    g_steps = 0;
    g_crashAt = n;
}

unsigned writeSteps() { return g_steps.load(); }

} // namespace platform

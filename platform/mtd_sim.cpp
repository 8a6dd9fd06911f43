#include "platform/mtd.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace platform {

namespace {
// Erased flash is written in pieces: a buffer of a whole partition would
// only be held for a moment, and would teach the allocator to keep such
// amounts.
constexpr uint32_t kBlankChunk = 64 * 1024;
} // namespace

Mtd& linuxMtd();

Mtd& mtd()
{
    if (isDevice())
        return linuxMtd();
    return simMtd();
}

SimMtd& simMtd()
{
    static SimMtd instance;
    return instance;
}

void SimMtd::declare(const std::string& path, uint32_t size, uint32_t erasesize, uint32_t writesize, bool keep)
{
    std::string file = sysPath(path);
    struct stat st {};
    if (!keep || ::stat(file.c_str(), &st) != 0 || st.st_size != off_t(size)) {
        if (FILE* f = std::fopen(file.c_str(), "wb")) {
            const std::vector<unsigned char> blank(kBlankChunk, 0xFF);
            for (uint32_t done = 0; done < size; done += kBlankChunk)
                std::fwrite(blank.data(), 1, std::min<uint32_t>(kBlankChunk, size - done), f);
            std::fclose(f);
        }
    }
    char real[PATH_MAX];
    if (::realpath(file.c_str(), real))
        file = real;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parts.push_back(Part{file, MtdInfo{size, erasesize, writesize}});
}

void SimMtd::declareBoard()
{
    declare("/dev/mtd8", 0x60000, 0x10000, 2048, true);
    declare("/dev/mtd10", 0x500000, 0x10000, 2048, true);
}

void SimMtd::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parts.clear();
    m_ops.clear();
    m_failErase = -1;
}

std::vector<SimMtd::Op> SimMtd::ops() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ops;
}

void SimMtd::failEraseAt(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failErase = n;
}

const SimMtd::Part* SimMtd::find(int fd) const
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return nullptr;
    target[n] = 0;
    for (const Part& p : m_parts)
        if (p.file == target)
            return &p;
    return nullptr;
}

int SimMtd::getInfo(int fd, MtdInfo* info)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Part* p = find(fd);
    if (!p)
        return -1;
    *info = p->info;
    return 0;
}

int SimMtd::unlock(int fd, uint32_t start, uint32_t length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Part* p = find(fd);
    if (!p || start + uint64_t(length) > p->info.size)
        return -1;
    m_ops.push_back(Op{'u', start, length});
    return 0;
}

int SimMtd::erase(int fd, uint32_t start, uint32_t length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Part* p = find(fd);
    if (!p || start + uint64_t(length) > p->info.size || start % p->info.erasesize)
        return -1;
    if (m_failErase >= 0 && m_failErase-- == 0)
        return -1;
    m_ops.push_back(Op{'e', start, length});
    const std::vector<unsigned char> blank(std::min<uint32_t>(length, kBlankChunk), 0xFF);
    for (uint32_t done = 0; done < length;) {
        const uint32_t n = std::min<uint32_t>(kBlankChunk, length - done);
        if (::pwrite(fd, blank.data(), n, off_t(start) + done) != ssize_t(n))
            return -1;
        done += n;
    }
    return 0;
}

ssize_t SimMtd::pwrite(int fd, const void* data, size_t length, off_t offset)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Part* p = find(fd);
        if (!p || uint64_t(offset) + length > p->info.size)
            return -1;
        m_ops.push_back(Op{'w', uint32_t(offset), uint32_t(length)});
    }
    return ::pwrite(fd, data, length, offset);
}

} // namespace platform

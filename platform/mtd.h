#pragma once
// Raw flash partitions (MTD character devices).

#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct MtdInfo {
    uint32_t size = 0;
    uint32_t erasesize = 0;
    uint32_t writesize = 0;
};

class Mtd {
public:
    virtual ~Mtd() = default;
    // Each returns 0 on success, -1 on failure (as the ioctls do).
    virtual int getInfo(int fd, MtdInfo* info) = 0;
    virtual int unlock(int fd, uint32_t start, uint32_t length) = 0;
    virtual int erase(int fd, uint32_t start, uint32_t length) = 0;
    virtual ssize_t pwrite(int fd, const void* data, size_t length, off_t offset) = 0;
};

Mtd& mtd();

// Simulated partitions: a file under the root with a set geometry.
class SimMtd : public Mtd {
public:
    struct Op {
        char kind; // 'u' unlock, 'e' erase, 'w' write
        uint32_t offset;
        uint32_t length;
    };

    // Creates "<root><path>" (erased, all 0xFF) with this geometry; with
    // `keep`, a partition file of that size already there keeps its bytes.
    void declare(const std::string& path, uint32_t size, uint32_t erasesize, uint32_t writesize, bool keep = false);
    // The board's partitions the program writes: "/dev/mtd8" and
    // "/dev/mtd10", keeping what a previous run wrote.
    void declareBoard();
    void reset();
    std::vector<Op> ops() const;
    // Makes the n-th erase from now fail (0 = the next one); -1 never.
    void failEraseAt(int n);

    int getInfo(int fd, MtdInfo* info) override;
    int unlock(int fd, uint32_t start, uint32_t length) override;
    int erase(int fd, uint32_t start, uint32_t length) override;
    ssize_t pwrite(int fd, const void* data, size_t length, off_t offset) override;

private:
    struct Part {
        std::string file;
        MtdInfo info;
    };
    const Part* find(int fd) const;

    mutable std::mutex m_mutex;
    std::vector<Part> m_parts;
    std::vector<Op> m_ops;
    int m_failErase = -1;
};

SimMtd& simMtd();

} // namespace platform

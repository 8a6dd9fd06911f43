#pragma once
// One open-read-close of a file under the device root, read-only, under
// Utils::_file_deal_mutex (held from the open to the close). Every read is
// checked against the file's size first, in 64 bits, so an offset or length
// taken from the file itself can never reach past its end. A file a test
// holds in memory (platform/memory_files.h) is read from there.

#include <QByteArray>
#include <QFile>
#include <QMutexLocker>
#include <QString>
#include <cstdint>
#include <optional>

class LockedFileReader {
public:
    enum Result { Ok = 0, Unreadable = 1, PastEnd = 2 };

    // `path` is a system path ("/data/..."); it is resolved under the root.
    explicit LockedFileReader(const QString& path);
    LockedFileReader(const LockedFileReader&) = delete;
    LockedFileReader& operator=(const LockedFileReader&) = delete;

    bool isOpen() const { return m_open; }
    uint64_t size() const { return m_size; }
    bool holds(uint64_t offset, uint64_t n) const { return offset <= m_size && n <= m_size - offset; }
    // n bytes at offset into out: Ok, PastEnd (nothing read) or Unreadable.
    // Zero bytes are read anywhere.
    Result read(uint64_t offset, uint32_t n, uint8_t* out);

private:
    QMutexLocker m_lock; // first: taken before the open, released after the close
    std::optional<QFile> m_file; // none for a file held in memory
    QByteArray m_held;
    bool m_open = false;
    uint64_t m_size = 0;
};

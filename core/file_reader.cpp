#include "core/file_reader.h"

#include <cstring>

#include "core/utils.h"
#include "platform/memory_files.h"
#include "platform/platform.h"

LockedFileReader::LockedFileReader(const QString& path)
    : m_lock(&Utils::_file_deal_mutex)
{
    if (platform::heldFile(path, &m_held)) {
        m_open = true;
        m_size = uint64_t(m_held.size());
        return;
    }
    m_file.emplace(platform::sysPath(path));
    m_open = m_file->open(QIODevice::ReadOnly);
    m_size = m_open ? uint64_t(m_file->size()) : 0;
}

LockedFileReader::Result LockedFileReader::read(uint64_t offset, uint32_t n, uint8_t* out)
{
    if (!m_open)
        return Unreadable;
    if (n == 0)
        return Ok; // nothing is read, wherever the file says it would be
    if (!holds(offset, n))
        return PastEnd;
    if (!m_file) {
        std::memcpy(out, m_held.constData() + offset, n);
        return Ok;
    }
    if (!m_file->seek(qint64(offset)))
        return Unreadable;
    return m_file->read(reinterpret_cast<char*>(out), n) == qint64(n) ? Ok : Unreadable;
}

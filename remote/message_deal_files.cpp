// File transfer commands. docs/pc-protocol.md gives their layouts; the
// transfers themselves are remote/file_transfer.
#include "remote/message_deal.h"

#include <cstring>

#include "core/globals.h"
#include "core/utils.h"
#include "remote/file_transfer.h"
#include "remote/protocol_phy.h"

namespace {
constexpr int kFilesAt = protocol_phy::kDataAt;

// A name of `length` bytes preceded by its length byte at data offset `at`;
// false when the frame is shorter than it says.
bool takeName(const uint8_t* body, int dataLength, int at, QByteArray* name)
{
    if (dataLength < at + 1)
        return false;
    int length = body[kFilesAt + at];
    if (dataLength < at + 1 + length)
        return false;
    *name = QByteArray(reinterpret_cast<const char*>(body + kFilesAt + at + 1), length);
    return true;
}
} // namespace

// 10 type, 11-14 tag, then for writes 15-18 size (a named file: 19 name
// length L, 20.. name), for reads an optional 15-18 length limit (a named
// file: 15 L, 16.. name).
int message_deal::fileStart(uint8_t* body, int dataLength, bool writing, bool named)
{
    const int fixedPart = writing ? 9 : 5;
    if (dataLength < fixedPart)
        return status(body, STATUS_MALFORMED);
    const uint8_t type = body[kFilesAt];
    uint8_t tag[4];
    std::memcpy(tag, body + kFilesAt + 1, 4);
    QByteArray name;
    if (named && !takeName(body, dataLength, fixedPart, &name))
        return status(body, STATUS_MALFORMED);
    const QByteArray* chosen = named ? &name : nullptr;
    const file_transfer::Owner owner{this, m_peer};

    if (writing) {
        uint16_t maxBlock = 0;
        int code = file_transfer::start_write(owner, type, tag, le32(body + kFilesAt + 5), chosen, &maxBlock);
        putLe16(body + kFilesAt + 1, maxBlock);
        return status(body, uint8_t(code)) + 2;
    }
    uint32_t limit = (!named && dataLength >= 9) ? le32(body + kFilesAt + 5) : 0;
    uint32_t size = 0;
    int code = file_transfer::start_read(owner, type, tag, chosen, limit, &size);
    putLe32(body + kFilesAt + 1, size);
    return status(body, uint8_t(code)) + 4;
}

int message_deal::write_file_start(uint8_t* body, int dataLength, int)
{
    return fileStart(body, dataLength, true, false);
}

int message_deal::write_defined_file_start(uint8_t* body, int dataLength, int)
{
    return fileStart(body, dataLength, true, true);
}

int message_deal::read_file_start(uint8_t* body, int dataLength, int)
{
    return fileStart(body, dataLength, false, false);
}

int message_deal::read_defined_file_start(uint8_t* body, int dataLength, int)
{
    return fileStart(body, dataLength, false, true);
}

// 10-13 offset, 14-15 length n, 16.. n bytes; the reply is the status and
// the bytes received so far (u32), which is where the next block starts.
int message_deal::write_file_block(uint8_t* body, int dataLength, int)
{
    if (dataLength < 6 || dataLength < 6 + le16(body + kFilesAt + 4))
        return status(body, STATUS_MALFORMED);
    uint32_t received = 0;
    int code = file_transfer::write_block({this, m_peer}, le32(body + kFilesAt), body + kFilesAt + 6, le16(body + kFilesAt + 4),
                                          &received);
    putLe32(body + kFilesAt + 1, received);
    return status(body, uint8_t(code)) + 4;
}

// 10-25 the MD5 digest of the whole file.
int message_deal::write_file_end(uint8_t* body, int dataLength, int)
{
    if (dataLength < 16)
        return status(body, STATUS_MALFORMED);
    return status(body, uint8_t(file_transfer::end_write({this, m_peer}, body + kFilesAt)));
}

// 10-13 offset, 14-15 length n; the reply is the status and up to n bytes.
int message_deal::read_file_block(uint8_t* body, int dataLength, int capacity)
{
    if (dataLength < 6)
        return status(body, STATUS_MALFORMED);
    uint32_t offset = le32(body + kFilesAt);
    int length = le16(body + kFilesAt + 4);
    if (kFilesAt + 1 + length + 1 > capacity)
        return status(body, STATUS_TOO_LARGE);
    int got = 0;
    int code = file_transfer::read_block({this, m_peer}, offset, length, body + kFilesAt + 1, &got);
    return status(body, uint8_t(code)) + got;
}

// The reply is the status, the MD5 digest (16 bytes) and the size (u32) of
// the file offered.
int message_deal::read_file_end(uint8_t* body, int, int)
{
    uint8_t digest[16] = {};
    uint32_t size = 0;
    int code = file_transfer::end_read({this, m_peer}, digest, &size);
    std::memcpy(body + kFilesAt + 1, digest, 16);
    putLe32(body + kFilesAt + 17, size);
    return status(body, uint8_t(code)) + 20;
}

// 10 type, 11-14 tag, 15 name length L, 16.. name; the reply is the status
// and the number of files deleted (u16).
int message_deal::delete_file_name(uint8_t* body, int dataLength, int)
{
    QByteArray name;
    if (dataLength < 5 || !takeName(body, dataLength, 5, &name))
        return status(body, STATUS_MALFORMED);
    uint8_t tag[4];
    std::memcpy(tag, body + kFilesAt + 1, 4);
    uint16_t count = 0;
    int code = file_transfer::delete_files(body[kFilesAt], tag, name, &count);
    putLe16(body + kFilesAt + 1, count);
    return status(body, uint8_t(code)) + 2;
}

// 10 kind, 11-14 offset, 15-16 length n, 17.. n bytes; offset 0 begins the
// file. The reply is the status and the bytes received so far.
int message_deal::YP_SendFile(uint8_t* body, int dataLength, int)
{
    if (dataLength < 7 || dataLength < 7 + le16(body + kFilesAt + 5))
        return status(body, STATUS_MALFORMED);
    uint32_t received = 0;
    int code = file_transfer::cloud_block({this, m_peer}, body[kFilesAt], le32(body + kFilesAt + 1), body + kFilesAt + 7,
                                          le16(body + kFilesAt + 5), &received);
    putLe32(body + kFilesAt + 1, received);
    return status(body, uint8_t(code)) + 4;
}

// 10 kind, 11-26 the MD5 digest. A complete file is applied and stored, and
// the 4G link and the cloud client are asked to take the new settings.
int message_deal::YP_SendFileEND(uint8_t* body, int dataLength, int)
{
    if (dataLength < 17)
        return status(body, STATUS_MALFORMED);
    const uint8_t kind = body[kFilesAt];
    QByteArray content;
    int code = file_transfer::cloud_end({this, m_peer}, kind, body + kFilesAt + 1, &content);
    if (code != STATUS_DONE)
        return status(body, uint8_t(code));
    if (kind == file_transfer::kCloudBarcode)
        code = apply_barcode(content);
    else if (kind == file_transfer::kCloudSetInfo)
        code = apply_cloud_settings(content);
    else if (!file_transfer::store_cloud_file(kind, content))
        code = STATUS_STORAGE;
    if (code == STATUS_DONE) {
        {
            QMutexLocker lock(&Utils::_reconfig_4g_mutex);
            g_reconfig_4g = 1;
        }
        QMutexLocker lock(&Utils::_reconfig_device_ryxacloud_mutex);
        g_reconfig_device_ryxacloud = 1;
    }
    return status(body, uint8_t(code));
}

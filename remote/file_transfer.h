#pragma once
// Files the PC sends to and fetches from the controller. A file type fixes
// where a file goes (a file or a directory under "/data", or a raw flash
// partition); a name from the PC only ever picks a plain file inside the
// type's directory. One transfer is open at a time, owned by the PC that
// opened it. A received file is kept in memory until its MD5 digest has
// been checked, and only then replaces the stored one, so a transfer that
// fails, is cut or whose PC goes away leaves the old file as it was.
//
// Every function returns a message_deal status code.

#include <QByteArray>
#include <cstdint>
#include <string>

namespace file_transfer {

enum FileType : uint8_t {
    kTypeApplication = 1, // the application, installed as "/data/app/vyxQ58N", then a restart
    kTypeFlashMtd8 = 2,   // raw flash partition "/dev/mtd8"
    kTypeFlashMtd10 = 3,  // raw flash partition "/dev/mtd10"
    kTypeAlias = 5,       // display names "/data/configs/alias.json"
    kTypeOsdMenu = 6,     // OSD menus "/data/configs/omenu.json"
    kTypeEdidTable = 7,   // EDID tables in "/data/edidramtable"
    kTypeRecovery = 9,    // receiving-card recovery file "/data/rcvrecovery/TZFX"
    kTypeScan = 13,       // scan-parameter files in "/data/smartmapping"
};

// The cloud settings files (YP_SendFile).
enum CloudFile : uint8_t {
    kCloudBarcode = 1, // "/data/configs/cloud_barcode"
    kCloudSetInfo = 2, // "/data/configs/cloud_setinfo"
    kCloudCaFile = 3,  // "/data/configs/cloud_cafile"
};
// Header of a stored cloud file: 0xAA, then the content length u16 big-endian.
constexpr int kCloudHeader = 3;
constexpr uint32_t kCloudMaxSize = 0xFFFF;

// Data bytes of one block, either way.
constexpr int kMaxBlock = 16384;
// A transfer without a block for this many ticks (30 s) may be taken over
// by another PC and is closed by expire().
constexpr uint32_t kStaleTicks = 3000;

// Who a transfer belongs to: the command handler of a link or TCP client,
// and on links shared by several PCs (UDP) the PC's address.
struct Owner {
    const void* handler = nullptr;
    uint64_t peer = 0;
};

// `tag`: four bytes; `name`: null for the type's own file, else a name the
// PC chose (the "defined" file).
int start_write(const Owner& owner, uint8_t type, const uint8_t tag[4], uint32_t size, const QByteArray* name,
                uint16_t* maxBlock);
int write_block(const Owner& owner, uint32_t offset, const uint8_t* data, int length, uint32_t* received);
int end_write(const Owner& owner, const uint8_t digest[16]);

// `limit`: 0 for the whole file, else at most that many bytes from its start.
int start_read(const Owner& owner, uint8_t type, const uint8_t tag[4], const QByteArray* name, uint32_t limit,
               uint32_t* size);
// `out` has room for `length` (at most kMaxBlock) bytes; *got may be less at
// the end of the file.
int read_block(const Owner& owner, uint32_t offset, int length, uint8_t* out, int* got);
int end_read(const Owner& owner, uint8_t digest[16], uint32_t* size);

// An empty name deletes the type's own file, or every file of its directory.
int delete_files(uint8_t type, const uint8_t tag[4], const QByteArray& name, uint16_t* count);

// A cloud settings file: the block at offset 0 opens the transfer. The end
// checks the digest and hands the content back; the caller stores it.
int cloud_block(const Owner& owner, uint8_t kind, uint32_t offset, const uint8_t* data, int length,
                uint32_t* received);
int cloud_end(const Owner& owner, uint8_t kind, const uint8_t digest[16], QByteArray* content);
std::string cloud_path(uint8_t kind);
// Stores a cloud settings file: the header, then the content.
bool store_cloud_file(uint8_t kind, const QByteArray& content);

// Closes every transfer of a handler that goes away (a TCP client that
// left, a link that stops).
void abandon(const void* handler);
// Closes a transfer that went stale. Any thread; never waits for a
// transfer that is busy storing.
void expire();

// Replaces `path` (a system path) with `data` so that a failure or a power
// cut leaves the old file or the new one, and reads it back. Holds
// Utils::_file_deal_mutex. False when the new file is not in place.
bool store_file(const std::string& path, const QByteArray& data);

void resetForTest();

} // namespace file_transfer

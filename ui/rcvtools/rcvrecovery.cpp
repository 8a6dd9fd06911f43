#include "ui/rcvtools/rcvrecovery.h"

#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <cstring>
#include <limits>

#include "core/file_reader.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/memory_files.h"
#include "platform/platform.h"

TzFileName g_tzfile_name;

QString TzFileName::get() const
{
    QMutexLocker lock(&m_mutex);
    return m_path;
}

void TzFileName::set(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_path = path;
}

void TzFileName::keep_for_load()
{
    QMutexLocker lock(&m_mutex);
    m_load = m_path;
}

QString TzFileName::load_file() const
{
    QMutexLocker lock(&m_mutex);
    return m_load;
}

namespace {

constexpr uint32_t kHeadSize = 4;
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kScreenHeadSize = 32;
constexpr uint32_t kScreenRecordSize = 52;
constexpr uint32_t kXyHeadSize = 16;
constexpr uint32_t kPortRecordSize = 12;
constexpr uint32_t kBlockHeadSize = 4;
constexpr uint32_t kOperateSize = 18;
constexpr uint16_t kLastPort = 19;

uint64_t blockSize(uint16_t records) { return kBlockHeadSize + uint64_t(kOperateSize) * records; }

QString hex(uint64_t v) { return QStringLiteral("0x") + QString::number(v, 16); }

} // namespace

uint32_t rcvRecovery::fail(uint32_t result, const QString& why)
{
    m_error = why;
    if (m_warned.admit(why))
        qWarning("rcvRecovery: %s", qPrintable(why));
    return result;
}

uint32_t rcvRecovery::ok()
{
    m_error.clear();
    m_warned.clear();
    return RCV_READ_OK;
}

// ---------------------------------------------------------------- directories

uint32_t rcvRecovery::check_file_dir(const QString& dir)
{
    QString real = platform::sysPath(dir);
    if (QDir(real).exists()) {
        VYX_DEBUG("%s exists !/n\n", qPrintable(dir));
        return 0;
    }
    return QDir().mkdir(real) ? 1 : 0;
}

uint32_t rcvRecovery::get_dir_file(const QString& dir)
{
    QDir d(platform::sysPath(dir));
    if (!d.exists())
        return 1;
    VYX_DEBUG("%s exists !/n\n", qPrintable(dir));
    bool recovery = dir == QLatin1String("/data/rcvrecovery");
    bool scan = dir == QLatin1String("/data/smartmapping") || dir == QLatin1String("/mnt/usb1/");
    if (!recovery && !scan)
        return 0;
    QStringList names = d.entryList(QDir::Files); // by name, ignoring case
    QMutexLocker lock(&m_list_mutex);
    (recovery ? m_rcv_files : m_scan_files) = names;
    return 0;
}

QStringList rcvRecovery::rcv_file_names() const
{
    QMutexLocker lock(&m_list_mutex);
    return m_rcv_files;
}

QStringList rcvRecovery::scan_file_names() const
{
    QMutexLocker lock(&m_list_mutex);
    return m_scan_files;
}

int rcvRecovery::rcv_file_count() const
{
    QMutexLocker lock(&m_list_mutex);
    return m_rcv_files.size();
}

void rcvRecovery::clear_scan_files()
{
    QMutexLocker lock(&m_list_mutex);
    m_scan_files.clear();
}

int rcvRecovery::scan_file_count() const
{
    QMutexLocker lock(&m_list_mutex);
    return m_scan_files.size();
}

// ---------------------------------------------------------------- pack table

int rcvRecovery::find_packed_file(uint8_t type) const
{
    int found = -1;
    int count = file_head[3] < kPackedFiles ? file_head[3] : kPackedFiles;
    for (int i = 0; i < count; ++i)
        if (packed_file[i].file_type == type)
            found = i;
    return found;
}

uint32_t rcvRecovery::packed_file_offset(uint8_t type) const
{
    int i = find_packed_file(type);
    return i < 0 ? 0 : packed_file[i].offset;
}

uint32_t rcvRecovery::member(const QString& file, uint8_t type, uint64_t* offset)
{
    int i = find_packed_file(type);
    if (i < 0) {
        const char* name = type == RCV_SCREEN_FILE ? "screen" : type == RCV_XY_FILE ? "rcv xy" : "rcv para";
        return fail(RCV_READ_MALFORMED,
                    QStringLiteral("%1: the pack table lists no %2 file (type %3)").arg(file, name).arg(type));
    }
    *offset = packed_file[i].offset;
    return RCV_READ_OK;
}

const char* rcvRecovery::operate_type_name(uint8_t type)
{
    switch (type) {
    case 1: return "write";
    case 2: return "ram2flash";
    case 3: return "active_firmware";
    case 4: return "upgrade rcv";
    case 5: return "reconfig";
    case 6: return "sleep";
    case 7: return "search rxc";
    case 16: return "user redefined";
    default: return "operate_error";
    }
}

const char* rcvRecovery::operate_target_name(uint8_t target)
{
    switch (target) {
    case 1: return "ram";
    case 2: return "register";
    case 3: return "flash";
    default: return "target_error";
    }
}

// ---------------------------------------------------------------- reading

uint32_t rcvRecovery::read_field(const QString& file, uint64_t offset, uint32_t n, uint8_t* out, const char* what,
                                 bool announce)
{
    if (!platform::fileExists(file))
        return fail(RCV_READ_MISSING, QStringLiteral("%1: no such file").arg(file));
    if (announce)
        qDebug() << "file exists";
    uint32_t result;
    uint64_t size;
    {
        LockedFileReader f(file);
        if (!f.isOpen())
            return fail(RCV_READ_MISSING, QStringLiteral("%1: cannot be opened").arg(file));
        size = f.size();
        result = f.read(offset, n, out);
    }
    if (result == RCV_READ_MALFORMED)
        return fail(result, QStringLiteral("%1: %2 (%3 bytes at %4) lies past the end of the file (%5 bytes)")
                                .arg(file, what)
                                .arg(n)
                                .arg(hex(offset))
                                .arg(size));
    if (result != RCV_READ_OK)
        return fail(result, QStringLiteral("%1: %2 cannot be read").arg(file, what));
    return ok();
}

uint32_t rcvRecovery::get_rcvPackedFileNum(const QString& file)
{
    // A new head starts a new table: nothing of an earlier file may be found
    // through it, whether or not this head can be read.
    for (auto& entry : packed_file)
        entry = RCV_PACKED_FILE_INFO();
    uint8_t head[kHeadSize];
    uint32_t r = read_field(file, 0, kHeadSize, head, "the head", true);
    if (r != RCV_READ_OK) {
        std::memset(file_head, 0, sizeof file_head);
        return r;
    }
    std::memcpy(file_head, head, sizeof file_head);
    VYX_DEBUG("pack file num = %d\n", file_head[3]);
    if (file_head[3] > kPackedFiles)
        qWarning("rcvRecovery: %s lists %d packed files; the first %d are kept", qPrintable(file), file_head[3],
                 kPackedFiles);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::get_rcvPackedFileInfo(const QString& file, uint8_t i)
{
    if (i >= file_head[3])
        return fail(RCV_READ_MALFORMED,
                    QStringLiteral("%1: entry %2 is beyond the %3 the head lists").arg(file).arg(i).arg(file_head[3]));
    if (i >= kPackedFiles)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: entry %2 is beyond the %3 packed files kept")
                                            .arg(file)
                                            .arg(i)
                                            .arg(kPackedFiles));
    uint8_t e[kEntrySize];
    uint32_t r = read_field(file, kHeadSize + uint64_t(kEntrySize) * i, kEntrySize, e, "a pack-table entry", true);
    if (r != RCV_READ_OK)
        return r;
    RCV_PACKED_FILE_INFO& entry = packed_file[i];
    entry.file_type = e[0];
    entry.length = le32(e + 4);
    entry.offset = le32(e + 8);
    VYX_DEBUG("packed file%d info(file_type = %#x)\n", i, entry.file_type);
    VYX_DEBUG("packed file%d info(length = %#x)\n", i, entry.length);
    VYX_DEBUG("packed file%d info(offset = %#x)\n", i, entry.offset);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_rcvScreenHead(const QString& file)
{
    if (!platform::fileExists(file))
        qDebug() << "file error" << file;
    uint64_t s;
    if (member(file, RCV_SCREEN_FILE, &s) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    uint8_t h[kScreenHeadSize];
    uint32_t r = read_field(file, s, kScreenHeadSize, h, "the screen head", true);
    if (r != RCV_READ_OK)
        return r;
    screen_head.type = h[2];
    screen_head.rcv_para_len = le32(h + 4);
    screen_head.rcv_para_crc32 = le32(h + 8);
    screen_head.rcv_xy_len = le32(h + 12);
    screen_head.rcv_xy_crc32 = le32(h + 16);
    screen_head.screen_num = h[20];
    VYX_DEBUG("screen_num (screen_num = %#x)\n", screen_head.screen_num);
    VYX_DEBUG("type (type = %#x)\n", screen_head.type);
    VYX_DEBUG("rcv_para_len (rcv_para_len = %#x)\n", screen_head.rcv_para_len);
    VYX_DEBUG("rcv_para_crc32 (rcv_para_crc32 = %#x)\n", screen_head.rcv_para_crc32);
    VYX_DEBUG("rcv_xy_len (rcv_xy_len = %#x)\n", screen_head.rcv_xy_len);
    VYX_DEBUG("rcv_xy_crc32 (rcv_xy_crc32 = %#x)\n", screen_head.rcv_xy_crc32);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_rcvScreenIDinfo(const QString& file, uint8_t i)
{
    if (screen_head.screen_num == 0 || i >= screen_head.screen_num)
        return fail(RCV_READ_MISSING,
                    QStringLiteral("%1: screen %2 is beyond the %3 screens").arg(file).arg(i).arg(screen_head.screen_num));
    uint64_t s;
    if (member(file, RCV_SCREEN_FILE, &s) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    uint8_t rec[kScreenRecordSize];
    uint32_t r = read_field(file, s + kScreenHeadSize + uint64_t(kScreenRecordSize) * i, kScreenRecordSize, rec,
                            "a screen record", true);
    if (r != RCV_READ_OK)
        return r;
    screen_info.config_id = le32(rec);
    screen_info.net_use = le32(rec + 4);
    screen_info.rcv_para_offset = le32(rec + 36);
    screen_info.rcv_para_len = le32(rec + 40);
    screen_info.rcv_xy_offset = le32(rec + 44);
    screen_info.rcv_xy_len = le32(rec + 48);
    int n = i + 1;
    VYX_DEBUG("screen%d --config id = %#x\n", n, screen_info.config_id);
    VYX_DEBUG("screen%d --net use = %#x\n", n, screen_info.net_use);
    VYX_DEBUG("screen%d --rcv_para_offset = %#x\n", n, screen_info.rcv_para_offset);
    VYX_DEBUG("screen%d --rcv_para_len = %#x\n", n, screen_info.rcv_para_len);
    VYX_DEBUG("screen%d --rcv_xy_offset = %#x\n", n, screen_info.rcv_xy_offset);
    VYX_DEBUG("screen%d --rcv_xy_len = %#x\n", n, screen_info.rcv_xy_len);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_rcvXYHead(const QString& file)
{
    uint64_t x;
    if (member(file, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    uint8_t h[kXyHeadSize];
    uint32_t r = read_field(file, x, kXyHeadSize, h, "the XY head", true);
    if (r == RCV_READ_OK)
        std::memcpy(xy_head, h, sizeof xy_head);
    return r;
}

uint32_t rcvRecovery::update_rcvXYscreenNetnum(const QString& file)
{
    uint64_t x;
    if (member(file, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    uint8_t v[2];
    uint32_t r = read_field(file, x + screen_info.rcv_xy_offset, 2, v, "the screen's port count", true);
    if (r != RCV_READ_OK)
        return r;
    screen_net_num = le16(v);
    VYX_DEBUG("screen_net_num = %d\n", screen_net_num);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_rcvXYscreenNetpara(const QString& file, uint16_t j)
{
    if (j >= screen_net_num)
        return fail(RCV_READ_MALFORMED,
                    QStringLiteral("%1: port record %2 is beyond the %3 of the screen").arg(file).arg(j).arg(screen_net_num));
    uint64_t x;
    if (member(file, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    uint8_t rec[kPortRecordSize];
    uint64_t at = x + screen_info.rcv_xy_offset + kBlockHeadSize + uint64_t(kPortRecordSize) * j;
    uint32_t r = read_field(file, at, kPortRecordSize, rec, "a port record", true);
    if (r != RCV_READ_OK)
        return r;
    uint16_t ledx = le16(rec);
    if (ledx > kLastPort)
        return fail(RCV_READ_MALFORMED,
                    QStringLiteral("%1: port record %2 names output port %3, which does not exist").arg(file).arg(j).arg(ledx));
    net_para.net_ledx = ledx;
    net_para.net_rcv_num = le16(rec + 2);
    net_para.net_para_offset = le32(rec + 4);
    net_para.net_para_len = le32(rec + 8);
    int n = j + 1;
    VYX_DEBUG("net_index%d --net_ledx = %#x\n", n, net_para.net_ledx);
    VYX_DEBUG("net_index%d --net_para_len = %#x\n", n, net_para.net_para_len);
    VYX_DEBUG("net_index%d --net_para_offset = %#x\n", n, net_para.net_para_offset);
    VYX_DEBUG("net_index%d --net_rcv_num = %#x\n", n, net_para.net_rcv_num);
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_rcvXYrcvOperateTimes(const QString& file, uint16_t card, bool scan)
{
    if (scan)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: a scan file has no card blocks").arg(file));
    if (card >= net_para.net_rcv_num)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: card %2 is beyond the %3 cards of the port")
                                            .arg(file)
                                            .arg(card)
                                            .arg(net_para.net_rcv_num));
    uint64_t x;
    if (member(file, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    if (!platform::fileExists(file))
        return fail(RCV_READ_MISSING, QStringLiteral("%1: no such file").arg(file));
    qDebug() << "file exists";
    qDebug() << "rcv_id = " << card;

    const uint64_t k = x + screen_info.rcv_xy_offset + net_para.net_para_offset;
    uint64_t running = 0;
    uint16_t times = 0;
    uint32_t r = RCV_READ_OK;
    QString why;
    {
        LockedFileReader f(file);
        if (!f.isOpen())
            return fail(RCV_READ_MISSING, QStringLiteral("%1: cannot be opened").arg(file));
        for (uint16_t n = 0;; ++n) {
            uint8_t v[2];
            r = f.read(k + running, 2, v);
            if (r == RCV_READ_OK) {
                times = le16(v);
                if (!f.holds(k + running, blockSize(times)))
                    r = RCV_READ_MALFORMED;
            }
            if (r != RCV_READ_OK) {
                why = QStringLiteral("%1: the block of card %2 (at %3, file of %4 bytes) does not fit in the file")
                          .arg(file)
                          .arg(n)
                          .arg(hex(k + running))
                          .arg(f.size());
                break;
            }
            if (n == card)
                break;
            running += blockSize(times);
        }
    }
    if (r != RCV_READ_OK)
        return fail(r, why);
    rcv_offset = uint32_t(running); // below the file's size, which the block fits in
    rcv_operate_times = times;
    VYX_DEBUG("fseek_offset      = %#llx\n", static_cast<unsigned long long>(k + running));
    VYX_DEBUG("rcv_operate_times = %#x\n", rcv_operate_times);
    return ok();
}

void rcvRecovery::print_operate_para(const char* title) const
{
    VYX_DEBUG("%s\n", title);
    VYX_DEBUG("offset        = %#x\n", operate_para.offset);
    VYX_DEBUG("dataLen       = %#x\n", operate_para.dataLen);
    VYX_DEBUG("targetAddr    = %#x\n", operate_para.targetAddr);
    VYX_DEBUG("timeticks     = %#x\n", operate_para.timeticks);
    VYX_DEBUG("type          = %#x\n", operate_para.type);
    VYX_DEBUG("%s\n", operate_type_name(operate_para.type));
    VYX_DEBUG("target        = %#x\n", operate_para.target);
    VYX_DEBUG("%s\n", operate_target_name(operate_para.target));
}

static void decodeOperate(const uint8_t* rec, RCV_OPERATE_PARA& op)
{
    op.offset = le32(rec);
    op.dataLen = le32(rec + 4);
    op.targetAddr = le32(rec + 8);
    op.timeticks = le32(rec + 12);
    op.type = rec[16];
    op.target = rec[17];
}

uint32_t rcvRecovery::update_rcvXYrcvOperatepara(const QString& file, uint16_t k, bool scan)
{
    if (scan)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: a scan file has no card blocks").arg(file));
    if (k >= rcv_operate_times)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: operation %2 is beyond the %3 of the card")
                                            .arg(file)
                                            .arg(k)
                                            .arg(rcv_operate_times));
    uint64_t x;
    if (member(file, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    qDebug() << "operate_id = " << k;
    uint64_t block = x + screen_info.rcv_xy_offset + net_para.net_para_offset + rcv_offset;
    uint8_t rec[kOperateSize];
    uint32_t r = read_field(file, block + kBlockHeadSize + uint64_t(kOperateSize) * k, kOperateSize, rec,
                            "an operation record", true);
    if (r != RCV_READ_OK)
        return r;
    decodeOperate(rec, operate_para);
    VYX_DEBUG("operate_deal_para(xy) ....\n");
    VYX_DEBUG("fseek_offset = %#x , %#x\n", operate_para.offset, rcv_offset);
    print_operate_para("");
    return RCV_READ_OK;
}

// ---------------------------------------------------------------- operation blocks

uint32_t rcvRecovery::update_smartDebugingHead(const QString& file)
{
    uint8_t h[kScanHeadSize];
    uint32_t r = read_field(file, 0, kScanHeadSize, h, "the scan head", true);
    if (r == RCV_READ_OK)
        std::memcpy(smart_head, h, sizeof smart_head);
    return r;
}

uint32_t rcvRecovery::block_base(const QString& file, bool scan, uint64_t* base)
{
    if (scan) {
        *base = kScanHeadSize;
        return RCV_READ_OK;
    }
    uint64_t r;
    if (member(file, RCV_PARA_FILE, &r) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    *base = r + screen_info.rcv_para_offset;
    return RCV_READ_OK;
}

uint32_t rcvRecovery::update_smartDebugingOperateTimes(const QString& file, bool scan)
{
    uint64_t base;
    if (block_base(file, scan, &base) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    if (!platform::fileExists(file))
        return fail(RCV_READ_MISSING, QStringLiteral("%1: no such file").arg(file));
    qDebug() << "file exists";
    uint32_t r;
    uint16_t times = 0;
    uint64_t size;
    {
        LockedFileReader f(file);
        if (!f.isOpen()) {
            qDebug() << "can not open the file";
            return fail(RCV_READ_MISSING, QStringLiteral("%1: cannot be opened").arg(file));
        }
        size = f.size();
        uint8_t v[2];
        r = f.read(base, 2, v);
        if (r == RCV_READ_OK) {
            times = le16(v);
            if (!f.holds(base, blockSize(times)))
                r = RCV_READ_MALFORMED;
        }
    }
    if (r != RCV_READ_OK)
        return fail(r, QStringLiteral("%1: the operation block at %2 (%3 records) does not fit in the file (%4 bytes)")
                           .arg(file)
                           .arg(hex(base))
                           .arg(times)
                           .arg(size));
    rcv_operate_times = times;
    VYX_DEBUG("fseek_offset  = %#llx\n", static_cast<unsigned long long>(base));
    VYX_DEBUG("rcv_operate_times = %d\n", rcv_operate_times);
    return ok();
}

uint32_t rcvRecovery::update_smartDebugingOperatepara(const QString& file, uint16_t k, bool scan)
{
    if (k >= rcv_operate_times)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: operation %2 is beyond the %3 of the block")
                                            .arg(file)
                                            .arg(k)
                                            .arg(rcv_operate_times));
    uint64_t base;
    if (block_base(file, scan, &base) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    if (platform::fileExists(file))
        qDebug() << "file exists " << "smart_rcv:" << (scan ? "true" : "false") << "operate_id:" << k;
    uint8_t rec[kOperateSize];
    uint64_t at = base + kBlockHeadSize + uint64_t(kOperateSize) * k;
    uint32_t r = read_field(file, at, kOperateSize, rec, "an operation record", false);
    if (r != RCV_READ_OK)
        return r;
    decodeOperate(rec, operate_para);
    VYX_DEBUG("operate_deal_para(smart_debug) ....\n");
    VYX_DEBUG("fseek_offset  = %#llx\n", static_cast<unsigned long long>(at));
    print_operate_para("");
    return RCV_READ_OK;
}

// ---------------------------------------------------------------- operation data

uint32_t rcvRecovery::update_rcvOperatedata(const QString& file, uint32_t offset, uint8_t* buf, uint16_t n)
{
    if (n > 0 && !buf)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: no buffer for the operation data").arg(file));
    return read_field(file, offset, n, buf, "the operation data", false);
}

uint32_t rcvRecovery::update_rcvDealData(const QString& file, uint8_t* buf, uint32_t* len)
{
    if (!len || (!buf && operate_para.dataLen > 0))
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: no buffer for the operation data").arg(file));
    if (operate_para.dataLen > *len)
        return fail(RCV_READ_MALFORMED, QStringLiteral("%1: the operation's %2 data bytes exceed the %3-byte buffer")
                                            .arg(file)
                                            .arg(operate_para.dataLen)
                                            .arg(*len));
    uint32_t r = read_field(file, operate_para.offset, operate_para.dataLen, buf, "the operation data", true);
    if (r == RCV_READ_OK)
        *len = operate_para.dataLen;
    return r;
}

uint32_t rcvRecovery::set_data_offset(uint64_t at)
{
    if (at > std::numeric_limits<uint32_t>::max())
        return fail(RCV_READ_MALFORMED,
                    QStringLiteral("%1: the operation's data would lie at %2, beyond any file").arg(file_name, hex(at)));
    operate_data_offset = uint32_t(at);
    return ok();
}

uint32_t rcvRecovery::set_xy_operate_data_offset()
{
    uint64_t x;
    if (member(file_name, RCV_XY_FILE, &x) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    return set_data_offset(x + screen_info.rcv_xy_offset + net_para.net_para_offset + operate_para.offset);
}

uint32_t rcvRecovery::set_para_operate_data_offset(bool scan)
{
    uint64_t base;
    if (block_base(file_name, scan, &base) != RCV_READ_OK)
        return RCV_READ_MALFORMED;
    return set_data_offset(base + operate_para.offset);
}

void rcvRecovery::init_para()
{
    screen_info.rcv_para_offset = 0;
    screen_info.rcv_para_len = 0;
    screen_info.rcv_xy_offset = 0;
    screen_info.rcv_xy_len = 0;
}

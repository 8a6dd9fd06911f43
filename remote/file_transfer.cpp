#include "remote/file_transfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/md5.h"
#include "core/ram_map.h"
#include "core/screen_hooks.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/mtd.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "remote/message_deal.h"
#include "remote/pc_values.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "ui/shell/mainwindow.h"
#include "video_io/edid.h"
#include "video_io/zevlosource.h"

namespace file_transfer {

namespace {

enum class Kind {
    File,        // one file of fixed path
    Directory,   // files in one directory
    RawFlash,    // a raw flash partition, erased and written in place
    Application, // the application, staged, installed, then a restart
};

struct TypeInfo {
    uint8_t type;
    char tag[5];
    Kind kind;
    const char* path;      // the file, directory or device
    const char* ownName;   // Directory: the file used when the PC names none (null: a name is needed)
    const char* suffix;    // Directory: what a name from the PC must end with (null: no names)
    uint32_t maxSize;
    bool firmware;         // an upgrade: the "do not power off" dialog, codes 105 and 106
};

const TypeInfo kTypes[] = {
    {kTypeApplication, "APPL", Kind::Application, "/data/app/vyxQ58N", nullptr, nullptr, 32u << 20, true},
    {kTypeFlashMtd8, "MTD8", Kind::RawFlash, "/dev/mtd8", nullptr, nullptr, 0x60000, true},
    {kTypeFlashMtd10, "MTDA", Kind::RawFlash, "/dev/mtd10", nullptr, nullptr, 0x500000, true},
    {kTypeAlias, "ALIS", Kind::File, "/data/configs/alias.json", nullptr, nullptr, 1u << 20, false},
    {kTypeOsdMenu, "OMNU", Kind::File, "/data/configs/omenu.json", nullptr, nullptr, 1u << 20, false},
    {kTypeEdidTable, "EDID", Kind::Directory, "/data/edidramtable", nullptr, ".bin", kEdidSize, false},
    {kTypeRecovery, "TZFX", Kind::Directory, "/data/rcvrecovery", "TZFX", nullptr, 8u << 20, false},
    {kTypeScan, "TZFR", Kind::Directory, "/data/smartmapping", "TZFR.tzfile", ".tzfile", 8u << 20, false},
};

const char* const kStagedApplication = "/data/app/vyxQ58N2";

struct Session {
    bool open = false;
    bool writing = false;
    Owner owner;
    uint32_t stamp = 0;         // tick of the last request
    const TypeInfo* info = nullptr;
    uint8_t cloudKind = 0;      // non-zero: a cloud settings file
    std::string target;         // system path
    uint32_t size = 0;          // declared size (write) or bytes offered (read)
    QByteArray data;
    MD5 md5;
};

// Guards the session; held while a finished file is stored.
std::mutex g_mutex;
Session g_session;

bool sameOwner(const Owner& a, const Owner& b) { return a.handler == b.handler && a.peer == b.peer; }

const TypeInfo* findType(uint8_t type, const uint8_t tag[4])
{
    for (const TypeInfo& t : kTypes)
        if (t.type == type && std::memcmp(t.tag, tag, 4) == 0)
            return &t;
    return nullptr;
}

// "1920x1080_60.bin": numbers without leading zeros, as the input manager
// names the table of a request.
bool edidTableName(const QByteArray& name)
{
    int w = 0, h = 0, r = 0;
    char tail = 0;
    if (std::sscanf(name.constData(), "%5dx%5d_%3d.bi%c", &w, &h, &r, &tail) != 4 || tail != 'n')
        return false;
    std::string expected = zevlosource::edid_table_path(w, h, r);
    return w > 0 && h > 0 && r > 0 && expected.substr(expected.rfind('/') + 1) == name.toStdString();
}

// The system path of a type's file, or empty when the name does not fit.
std::string targetOf(const TypeInfo& t, const QByteArray* name)
{
    if (t.kind != Kind::Directory)
        return name ? std::string() : std::string(t.path);
    if (!name)
        return t.ownName ? std::string(t.path) + "/" + t.ownName : std::string();
    if (!t.suffix || !pc_values::fileName(*name, t.suffix))
        return std::string();
    if (t.type == kTypeEdidTable && !edidTableName(*name))
        return std::string();
    return std::string(t.path) + "/" + name->toStdString();
}

// The type and the system path a request names; null when either is not
// one the controller serves.
const TypeInfo* resolve(uint8_t type, const uint8_t tag[4], const QByteArray* name, std::string* target)
{
    const TypeInfo* t = findType(type, tag);
    if (!t)
        return nullptr;
    *target = targetOf(*t, name);
    return target->empty() ? nullptr : t;
}

void announce(int code)
{
    if (VyxRamPara* store = VyxRamPara::p_vyxrampara_config)
        store->test_signal(code);
}

void firmwareBegins()
{
    g_update_flag = 1;
    MainWindow::post_update_start();
    announce(kChangeKeyLedsStart);
}

void firmwareEnds()
{
    MainWindow::post_update_over();
    g_update_flag = 0;
    announce(kChangeKeyLedsEnd);
}

void closeSession()
{
    bool firmware = g_session.open && g_session.info && g_session.info->firmware && g_session.writing;
    g_session = Session();
    g_vyx_file_deal_para = VYX_FILE_DEAL_PARA();
    if (firmware)
        firmwareEnds();
}

bool stale() { return Utils::getTimeSpace(g_session.stamp) >= kStaleTicks; }

// Makes room for a new transfer of `owner`: its own open transfer is
// replaced, another PC's only once it went stale.
int claim(const Owner& owner)
{
    if (g_session.open && !sameOwner(g_session.owner, owner) && !stale())
        return message_deal::STATUS_BUSY;
    closeSession();
    return message_deal::STATUS_DONE;
}

void openSession(const Owner& owner, bool writing, const TypeInfo* info, uint8_t cloudKind,
                 const std::string& target, uint32_t size)
{
    g_session.open = true;
    g_session.writing = writing;
    g_session.owner = owner;
    g_session.stamp = G_timeTicks.load();
    g_session.info = info;
    g_session.cloudKind = cloudKind;
    g_session.target = target;
    g_session.size = size;
    g_session.md5.reset();
    g_vyx_file_deal_para.file_type = info ? info->type : 0;
    g_vyx_file_deal_para.path = QString::fromStdString(target);
}

// The open session of `owner` in the given direction, or null.
Session* sessionOf(const Owner& owner, bool writing, bool cloud)
{
    if (!g_session.open || !sameOwner(g_session.owner, owner) || g_session.writing != writing ||
        (g_session.cloudKind != 0) != cloud)
        return nullptr;
    g_session.stamp = G_timeTicks.load();
    return &g_session;
}

int appendBlock(Session& s, uint32_t offset, const uint8_t* data, int length, uint32_t* received)
{
    *received = uint32_t(s.data.size());
    if (offset != uint32_t(s.data.size()) || length < 1)
        return message_deal::STATUS_SEQUENCE;
    if (length > kMaxBlock || uint64_t(offset) + uint64_t(length) > s.size)
        return message_deal::STATUS_TOO_LARGE;
    s.data.append(reinterpret_cast<const char*>(data), length);
    s.md5.update(data, size_t(length));
    *received = uint32_t(s.data.size());
    return message_deal::STATUS_DONE;
}

int checkEnd(Session& s, const uint8_t digest[16])
{
    if (uint32_t(s.data.size()) != s.size)
        return message_deal::STATUS_SEQUENCE;
    if (std::memcmp(s.md5.digest(), digest, 16) != 0)
        return message_deal::STATUS_DIGEST;
    return message_deal::STATUS_DONE;
}

// ---- storing ----

// At most `limit` bytes from the start of a file or device.
bool readAll(const std::string& path, QByteArray* data, uint32_t limit)
{
    int fd = ::open(platform::sysPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    data->resize(int(limit));
    int done = 0;
    while (done < data->size()) {
        ssize_t n = ::read(fd, data->data() + done, size_t(data->size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += int(n);
    }
    ::close(fd);
    data->resize(done);
    return true;
}

// Erases the partition's first blocks and writes the image from offset 0;
// what reads back is what counts.
bool storeRawFlash(const std::string& device, const QByteArray& data)
{
    int fd = ::open(platform::sysPath(device).c_str(), O_RDWR | O_SYNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray image = data;
    bool ok = Utils::non_region_erase(fd, 0, image.size(), 0) == 0 &&
              Utils::non_region_write(fd, reinterpret_cast<unsigned char*>(image.data()), image.size(), 0) == 0;
    if (ok) {
        QByteArray back(image.size(), '\0');
        ok = ::pread(fd, back.data(), size_t(back.size()), 0) == ssize_t(back.size()) && back == image;
    }
    ::close(fd);
    return ok;
}

// The new application takes the place of the running one, the start-up
// loader is pointed at it unless it already starts it, and the device
// restarts 3 s later.
bool installApplication(const TypeInfo& t, const QByteArray& data)
{
    if (!store_file(kStagedApplication, data))
        return false;
    const std::string staged = platform::sysPath(kStagedApplication);
    const std::string installed = platform::sysPath(t.path);
    QFile::setPermissions(QString::fromStdString(staged), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                               QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                               QFileDevice::ExeOther);
    if (::rename(staged.c_str(), installed.c_str()) != 0)
        return false;
    if (g_update_status == 0)
        ConfigEngine::pointLoaderAtApp();
    Utils::system_mutex(QStringLiteral("sync"));
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
    return true;
}

// Inputs that announce stored tables take a replaced one at once.
void refreshEdidInputs(const std::string& target)
{
    zevlosource* inputs = zevlosource::p_zevlo_source;
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!inputs || !store)
        return;
    for (int i = 0; i < kEdidTableInputs; ++i) {
        const uint8_t* req = store->ram_para + ram::edidRequest(i);
        if (edid_ram_table_from[i].load() && zevlosource::edid_table_path(le16(req), le16(req + 2), le16(req + 4)) == target)
            inputs->set_edid_refresh(i);
    }
}

int storeSession(const Session& s)
{
    const TypeInfo& t = *s.info;
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data.constData());
    if (t.type == kTypeEdidTable && !edid_valid(bytes, s.data.size()))
        return message_deal::STATUS_REFUSED;
    bool ok = false;
    switch (t.kind) {
    case Kind::File:
    case Kind::Directory: ok = store_file(s.target, s.data); break;
    case Kind::RawFlash: ok = storeRawFlash(s.target, s.data); break;
    case Kind::Application: ok = installApplication(t, s.data); break;
    }
    if (!ok)
        return message_deal::STATUS_STORAGE;

    announce(kChangeTransferEnd);
    if (t.type == kTypeEdidTable)
        refreshEdidInputs(s.target);
    if (fpga_manage::p_fpga_manage) {
        if (t.type == kTypeRecovery)
            screen_hooks::post(ScreenHook::AdvancedOptionLanguageChanged, kPageAdvancedOption);
        else if (t.type == kTypeScan)
            screen_hooks::post(ScreenHook::SmartMappingBack, kPageSmartMapping);
    }
    return message_deal::STATUS_DONE;
}

int fileSize(const TypeInfo& t, const std::string& target, uint32_t* size)
{
    if (t.kind == Kind::RawFlash) {
        int fd = ::open(platform::sysPath(target).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return message_deal::STATUS_NO_FILE;
        platform::MtdInfo info;
        bool known = platform::mtd().getInfo(fd, &info) == 0;
        ::close(fd);
        if (!known)
            return message_deal::STATUS_NO_FILE;
        *size = info.size < t.maxSize ? info.size : t.maxSize;
        return message_deal::STATUS_DONE;
    }
    QFileInfo file(platform::sysPath(QString::fromStdString(target)));
    if (!file.isFile())
        return message_deal::STATUS_NO_FILE;
    *size = uint32_t(file.size());
    return message_deal::STATUS_DONE;
}

// Deletes the files of a directory (or the one named), not what lies
// below it.
uint16_t removeFiles(const std::string& dir, const QByteArray* name)
{
    QDir d(platform::sysPath(QString::fromStdString(dir)));
    QStringList names = name ? QStringList{QString::fromUtf8(*name)}
                             : d.entryList(QDir::Files | QDir::Hidden | QDir::System);
    uint16_t count = 0;
    QMutexLocker lock(&Utils::_file_deal_mutex);
    for (const QString& n : names) {
        QFileInfo f(d.filePath(n));
        if ((f.isFile() || f.isSymLink()) && QFile::remove(f.filePath()))
            ++count;
    }
    return count;
}

} // namespace

// ---- writing ----

int start_write(const Owner& owner, uint8_t type, const uint8_t tag[4], uint32_t size, const QByteArray* name,
                uint16_t* maxBlock)
{
    *maxBlock = kMaxBlock;
    std::string target;
    const TypeInfo* t = resolve(type, tag, name, &target);
    if (!t)
        return message_deal::STATUS_REFUSED;
    if (size == 0)
        return message_deal::STATUS_REFUSED;
    if (size > t->maxSize)
        return message_deal::STATUS_TOO_LARGE;
    std::lock_guard<std::mutex> lock(g_mutex);
    int status = claim(owner);
    if (status != message_deal::STATUS_DONE)
        return status;
    // Two upgrades at once (a USB stick and the PC, or two PCs) are refused.
    if (t->firmware && g_update_flag.load() != 0)
        return message_deal::STATUS_BUSY;
    openSession(owner, true, t, 0, target, size);
    g_session.data.reserve(int(size));
    if (t->firmware)
        firmwareBegins();
    return message_deal::STATUS_DONE;
}

int write_block(const Owner& owner, uint32_t offset, const uint8_t* data, int length, uint32_t* received)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    *received = 0;
    Session* s = sessionOf(owner, true, false);
    if (!s)
        return message_deal::STATUS_SEQUENCE;
    return appendBlock(*s, offset, data, length, received);
}

int end_write(const Owner& owner, const uint8_t digest[16])
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Session* s = sessionOf(owner, true, false);
    if (!s)
        return message_deal::STATUS_SEQUENCE;
    int status = checkEnd(*s, digest);
    if (status == message_deal::STATUS_DONE)
        status = storeSession(*s);
    // Whatever the outcome the transfer is over; a failed one starts again.
    closeSession();
    return status;
}

// ---- reading ----

int start_read(const Owner& owner, uint8_t type, const uint8_t tag[4], const QByteArray* name, uint32_t limit,
               uint32_t* size)
{
    *size = 0;
    std::string target;
    const TypeInfo* t = resolve(type, tag, name, &target);
    if (!t)
        return message_deal::STATUS_REFUSED;
    uint32_t available = 0;
    int status = fileSize(*t, target, &available);
    if (status != message_deal::STATUS_DONE)
        return status;
    if (available > t->maxSize)
        return message_deal::STATUS_TOO_LARGE;
    uint32_t wanted = (limit && limit < available) ? limit : available;

    std::lock_guard<std::mutex> lock(g_mutex);
    status = claim(owner);
    if (status != message_deal::STATUS_DONE)
        return status;
    QByteArray data;
    {
        QMutexLocker files(&Utils::_file_deal_mutex);
        if (!readAll(target, &data, wanted))
            return message_deal::STATUS_NO_FILE;
    }
    openSession(owner, false, t, 0, target, uint32_t(data.size()));
    g_session.data = data;
    *size = uint32_t(data.size());
    return message_deal::STATUS_DONE;
}

int read_block(const Owner& owner, uint32_t offset, int length, uint8_t* out, int* got)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    *got = 0;
    Session* s = sessionOf(owner, false, false);
    if (!s)
        return message_deal::STATUS_SEQUENCE;
    if (length < 1 || length > kMaxBlock)
        return message_deal::STATUS_TOO_LARGE;
    // Any block may be asked for again.
    if (offset >= uint32_t(s->data.size()))
        return message_deal::STATUS_SEQUENCE;
    int n = std::min<int>(length, s->data.size() - int(offset));
    std::memcpy(out, s->data.constData() + offset, size_t(n));
    *got = n;
    return message_deal::STATUS_DONE;
}

int end_read(const Owner& owner, uint8_t digest[16], uint32_t* size)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    *size = 0;
    Session* s = sessionOf(owner, false, false);
    if (!s)
        return message_deal::STATUS_SEQUENCE;
    // The digest of what was offered, whichever blocks the PC fetched.
    s->md5.reset();
    s->md5.update(s->data.constData(), size_t(s->data.size()));
    std::memcpy(digest, s->md5.digest(), 16);
    *size = uint32_t(s->data.size());
    closeSession();
    return message_deal::STATUS_DONE;
}

// ---- deleting ----

int delete_files(uint8_t type, const uint8_t tag[4], const QByteArray& name, uint16_t* count)
{
    *count = 0;
    const TypeInfo* t = findType(type, tag);
    if (!t || t->kind == Kind::RawFlash || t->kind == Kind::Application)
        return message_deal::STATUS_REFUSED;
    if (t->kind == Kind::File) {
        if (!name.isEmpty())
            return message_deal::STATUS_REFUSED;
        std::string path(t->path);
        QByteArray own = QByteArray::fromStdString(path.substr(path.rfind('/') + 1));
        *count = removeFiles(path.substr(0, path.rfind('/')), &own);
        return message_deal::STATUS_DONE;
    }
    if (!name.isEmpty() && targetOf(*t, &name).empty() && !(t->ownName && name == t->ownName))
        return message_deal::STATUS_REFUSED;
    *count = removeFiles(t->path, name.isEmpty() ? nullptr : &name);
    if (*count == 0)
        return message_deal::STATUS_DONE;
    if (t->type == kTypeScan) {
        fpga_manage* fpga = fpga_manage::p_fpga_manage;
        if (fpga && fpga->p_rcvRecovery)
            fpga->p_rcvRecovery->clear_scan_files();
        screen_hooks::post(ScreenHook::OptionLanguageChanged, kPageOption);
        screen_hooks::post(ScreenHook::SmartMappingBack, kPageSmartMapping);
    } else if (t->type == kTypeRecovery) {
        screen_hooks::post(ScreenHook::AdvancedOptionLanguageChanged, kPageAdvancedOption);
        screen_hooks::post(ScreenHook::RcvRecoveryBack, kPageRcvRecovery);
    }
    return message_deal::STATUS_DONE;
}

// ---- cloud settings files ----

std::string cloud_path(uint8_t kind)
{
    switch (kind) {
    case kCloudBarcode: return "/data/configs/cloud_barcode";
    case kCloudSetInfo: return "/data/configs/cloud_setinfo";
    case kCloudCaFile: return "/data/configs/cloud_cafile";
    default: return std::string();
    }
}

bool store_cloud_file(uint8_t kind, const QByteArray& content)
{
    std::string path = cloud_path(kind);
    if (path.empty() || uint32_t(content.size()) > kCloudMaxSize)
        return false;
    QByteArray file;
    file.append(char(0xAA));
    file.append(char(content.size() >> 8));
    file.append(char(content.size() & 0xFF));
    file.append(content);
    return store_file(path, file);
}

int cloud_block(const Owner& owner, uint8_t kind, uint32_t offset, const uint8_t* data, int length,
                uint32_t* received)
{
    *received = 0;
    if (cloud_path(kind).empty())
        return message_deal::STATUS_REFUSED;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (offset == 0) {
        int status = claim(owner);
        if (status != message_deal::STATUS_DONE)
            return status;
        openSession(owner, true, nullptr, kind, cloud_path(kind), kCloudMaxSize);
    }
    Session* s = sessionOf(owner, true, true);
    if (!s || s->cloudKind != kind)
        return message_deal::STATUS_SEQUENCE;
    return appendBlock(*s, offset, data, length, received);
}

int cloud_end(const Owner& owner, uint8_t kind, const uint8_t digest[16], QByteArray* content)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Session* s = sessionOf(owner, true, true);
    if (!s || s->cloudKind != kind)
        return message_deal::STATUS_SEQUENCE;
    // The length is whatever arrived.
    s->size = uint32_t(s->data.size());
    int status = checkEnd(*s, digest);
    if (status == message_deal::STATUS_DONE)
        *content = s->data;
    closeSession();
    return status;
}

// ---- housekeeping ----

void abandon(const void* handler)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_session.open && g_session.owner.handler == handler)
        closeSession();
}

void expire()
{
    std::unique_lock<std::mutex> lock(g_mutex, std::try_to_lock);
    if (lock.owns_lock() && g_session.open && stale())
        closeSession();
}

bool store_file(const std::string& path, const QByteArray& data)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QDir().mkpath(QFileInfo(platform::sysPath(QString::fromStdString(path))).path());
    QByteArray back;
    // Replaced whole (platform/safe_file.h): a power cut leaves the old
    // file or the new one, and its hidden temporary is never counted among
    // a directory's files.
    bool ok = platform::replaceFile(path, data) && readAll(path, &back, uint32_t(data.size()) + 1) && back == data;
    Utils::system_mutex(QStringLiteral("sync"));
    platform::pause_ms(100);
    return ok;
}

void resetForTest()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_session = Session();
}

} // namespace file_transfer

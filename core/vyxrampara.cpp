#include "core/vyxrampara.h"
#include "core/change_codes.h"

#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "scaler/c331_manage.h"

using namespace ram;

VyxRamPara* VyxRamPara::p_vyxrampara_config = nullptr;

namespace {

const char* const kParamFile = "/data/ram_device_info";

// Writes a whole 4096-byte parameter file.
bool writeWholeFile(const uint8_t* data) { return platform::replaceFile(kParamFile, data, kParamFileSize); }

// Reads the stored part into image bytes 768..4095; a short file leaves the
// bytes it lacks as they were.
bool readPersisted(uint8_t* image)
{
    FILE* f = std::fopen(platform::sysPath(kParamFile).c_str(), "rb");
    if (!f)
        return false;
    uint8_t stored[kPersistLength];
    size_t got = 0;
    bool ok = std::fseek(f, kFileMarkerLength, SEEK_SET) == 0;
    if (ok)
        got = std::fread(stored, 1, kPersistLength, f);
    std::fclose(f);
    copyShared(image + kPersistStart, stored, got);
    return ok;
}

// Puts bytes 768..4095 at file offset 2 and keeps every other byte of the
// file (the marker, and a longer file's tail); a short file grows to hold
// them. A missing file is created in the layout of the default file. The
// whole file is replaced, so a power cut keeps the old or the new one.
bool writePersisted(const uint8_t* image)
{
    QByteArray whole;
    if (!platform::readFile(kParamFile, &whole)) {
        if (errno != ENOENT)
            return false;
        whole = QByteArray(kParamFileSize, '\0');
        whole[0] = whole[1] = char(kMarkerSaved);
    }
    const int needed = kFileMarkerLength + kPersistLength;
    if (whole.size() < needed)
        whole.append(QByteArray(needed - whole.size(), '\0'));
    std::memcpy(whole.data() + kFileMarkerLength, image + kPersistStart, kPersistLength);
    return platform::replaceFile(kParamFile, whole);
}

void useDefaults(uint8_t* image)
{
    copyShared(image + kPersistStart, default_para_ramlist.data() + kFileMarkerLength, kPersistLength);
}

void syncAndSettle()
{
    Utils::system_mutex("sync");
    platform::pause_ms(100);
}

struct RegisterInit {
    int first;
    int last;
    uint8_t value;
};
const RegisterInit kRegisterInit[] = {
    {37, 37, 0x80}, {38, 38, 0x1F}, {39, 39, 0x07}, {40, 52, 0x00}, {53, 53, 0xC3},
    {54, 54, 0x10}, {55, 58, 0xFF}, {59, 59, 0xC0}, {60, 1060, 0xFF},
};

} // namespace

VyxRamPara::VyxRamPara()
    : QObject(nullptr)
{
    // Nothing starts undefined: the registers the table does not list read 0.
    std::memset(ram_para, 0, sizeof ram_para);
    std::memset(ram_para_bak, 0, sizeof ram_para_bak);
    std::memset(user_mode, 0, sizeof user_mode);
    std::memset(local_reg, 0, sizeof local_reg);
    pthread_mutex_init(&store_mutex, nullptr);
}

VyxRamPara* VyxRamPara::pInstance()
{
    // Loaded once: a second call must not throw away live changes.
    if (!p_vyxrampara_config) {
        p_vyxrampara_config = new VyxRamPara();
        p_vyxrampara_config->load();
    }
    return p_vyxrampara_config;
}

void VyxRamPara::load()
{
    const std::string file = platform::sysPath(kParamFile);
    // Defaults first, so a short or unreadable file leaves defaults behind.
    useDefaults(ram_para);

    bool loaded = false;
    struct stat st;
    if (::stat(file.c_str(), &st) == 0) {
        FILE* f = std::fopen(file.c_str(), "rb");
        if (!f) {
            platform::pause_ms(100);
        } else {
            uint8_t marker[2] = {0, 0};
            size_t got = std::fread(marker, 1, 2, f);
            if (got == 2 && marker[0] == kMarkerSaved && marker[1] == kMarkerSaved) {
                uint8_t stored[kPersistLength];
                copyShared(ram_para + kPersistStart, stored, std::fread(stored, 1, kPersistLength, f));
                std::fclose(f);
                loaded = true;
            } else {
                std::fclose(f);
                VYX_DEBUG("\n ram_valid = %#x,%#x \n", marker[0], marker[1]);
                std::remove(file.c_str());
                VYX_DEBUG("\n delete %s ,use the default para\n", kParamFile);
                platform::pause_ms(100);
            }
        }
    } else {
        VYX_DEBUG("\n %s file un exist \n", kParamFile);
    }
    if (!loaded) {
        writeWholeFile(default_para_ramlist.data());
        syncAndSettle();
        readPersisted(ram_para);
    }
    platform::pause_ms(100);

    // Language: keep it within the offered set.
    uint32_t mask = g_lcd_lang_valid.load();
    if ((mask & 0x1) && (mask & (1u << 17)))
        g_lcd_lang_valid = mask & 0xFFFE;
    forceOfferedLanguage();

    // What must not survive a restart.
    for (int w = 0; w < kWindowImages; ++w) {
        uint8_t* out = ram_para + imageRecord(w) + kImgOutput;
        putLe16(out, le16(out) & ~kOutFreeze);
    }
    putLe16(ram_para + kLedOff, 0);
    storeShared(ram_para + kModeSaveRequest + 1, 0);
    fillShared(ram_para + kTestPattern, 0, 4); // test pattern, 865, current user mode
    putLe16(ram_para + kSpliceMode, 0);
    for (int w = 0; w < kImageRecordCount; ++w) {
        storeShared(ram_para + kFadeIn + kFadeStride * w, kFadeAtStart);
        storeShared(ram_para + kFadeOut + kFadeStride * w, kFadeAtStart);
    }

    VyxCropSourceInit();
    copyShared(ram_para_bak, ram_para, kImageSize);

    for (int k = 0; k < kModeSlots; ++k) {
        mode_file_deal(k, 0);
        platform::pause_us(100);
    }

    fillShared(local_reg + 37, 0, 1061 - 37);
    for (const RegisterInit& r : kRegisterInit)
        fillShared(local_reg + r.first, r.value, size_t(r.last - r.first + 1));
}

int VyxRamPara::test_signal(int code)
{
    // From the GUI thread the dispatcher runs inside this call and may open
    // a modal notice with its own event loop; holding the mutex then would
    // block every worker that signals meanwhile.
    if (QThread::currentThread() == thread()) {
        emit sig_update_para(code);
        return 1;
    }
    QMutexLocker lock(&Utils::_test_signal_mutex);
    emit sig_update_para(code);
    return 1;
}

int VyxRamPara::ram_para_save() { return test_signal(kChangeRefresh); }

void VyxRamPara::ram_para_reset()
{
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        if (writeWholeFile(default_para_ramlist.data())) {
            m_persist_pending = false;
            syncAndSettle();
        }
        useDefaults(ram_para);
        if (readPersisted(ram_para))
            syncAndSettle();
    }
    copyShared(ram_para_bak, ram_para, kImageSize);
}

int VyxRamPara::ram_para_persist()
{
    // Work on one copy so that a change made while the file is written is
    // neither half-written nor hidden by the new snapshot.
    uint8_t image[kImageSize];
    // The scaler writes image fields from its thread under its mutex; while
    // it holds it, the save waits for the change signal that ends its pass
    // rather than block the GUI thread or copy a half-written layout.
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (scaler && pthread_mutex_trylock(&scaler->para_mutex) != 0) {
        m_persist_pending = true;
        return 0;
    }
    copyShared(image, ram_para, kImageSize);
    if (scaler)
        pthread_mutex_unlock(&scaler->para_mutex);
    bool changed = std::memcmp(image + kPersistStart, ram_para_bak + kPersistStart, kPersistLength) != 0;
    if (!changed && !m_persist_pending)
        return 0;

    bool written;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        written = writePersisted(image);
        syncAndSettle();
    }
    if (!written)
        VYX_DEBUG("\n save %s failed, retried at the next change \n", kParamFile);
    m_persist_pending = !written;
    // Screens compare against the snapshot, so it follows the image even
    // when the file could not be written. The scaler compares against it
    // too, under its mutex: while it is busy or has a request pending, the
    // snapshot stays until the change signal that ends its pass, so that no
    // change is hidden from it.
    if (changed) {
        if (!scaler) {
            copyShared(ram_para_bak, image, kImageSize);
        } else if (pthread_mutex_trylock(&scaler->para_mutex) == 0) {
            if (scaler->para_changed == 0)
                copyShared(ram_para_bak, image, kImageSize);
            pthread_mutex_unlock(&scaler->para_mutex);
        }
    }
    return written ? 1 : 0;
}

void VyxRamPara::destroyForTest()
{
    delete p_vyxrampara_config;
    p_vyxrampara_config = nullptr;
}

unsigned int VyxRamPara::VyxRamParaDeal(unsigned char* data, unsigned short length, unsigned int address)
{
    if (uint64_t(address) + length > uint64_t(kImageSize))
        return 1;
    copyShared(ram_para + address, data, length);
    return 0;
}

unsigned int VyxRamPara::VyxModeUserRamParaDeal(unsigned char* data, unsigned short length, unsigned int address)
{
    unsigned int slot = (address >> 12) & 0xFF;
    if (slot < 1 || slot > unsigned(kModeSlots))
        return 1;
    unsigned int offset = address & 0xFFF;
    // A write stays inside the slot's first 4096 bytes.
    if (offset + length > unsigned(kModeFileSize))
        return 1;
    copyShared(user_mode[slot - 1] + offset, data, length);
    return 0;
}

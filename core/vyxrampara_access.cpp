// Shared operations on the parameter image: image sources, crops, freeze,
// black, EDID requests and the language check.
#include "core/vyxrampara.h"

#include <cstring>

#include "core/globals.h"
#include "core/utils.h"
#include "scaler/c331_manage.h"

using namespace ram;

uint8_t g_cut_source_state[kCutSourceStateSize];

namespace {

bool validSource(int source) { return source >= 0 && source < kCropSourceIds; }

int cropNumber(uint16_t id) { return ((id >> kCropNumberShift) & kCropNumberMask) + 1; }

bool cropBit(int source, int number)
{
    int bit = source * kCropNumbers + number - 1;
    return (g_cut_source_state[bit / 8] >> (bit % 8)) & 1;
}

// Changes fields the scaler applies when `change` says it may (it returns
// true once it changed them): under the scaler's mutex, then asks it to
// apply. Returns what `change` returned.
template <typename Change>
bool scalerWriteIf(Change&& change)
{
    c331_manage* scaler = c331_manage::p_c331_manage;
    if (!scaler)
        return change();
    pthread_mutex_lock(&scaler->para_mutex);
    const bool changed = change();
    if (changed)
        scaler->raise_request(1);
    pthread_mutex_unlock(&scaler->para_mutex);
    return changed;
}

template <typename Change>
void scalerWrite(Change&& change)
{
    scalerWriteIf([&] {
        change();
        return true;
    });
}

bool cropEntryHolds(const uint8_t* image, int entry, uint16_t id)
{
    return entry >= 0 && entry < kCropEntries && (id & kCropUsed) && le16(image + cropEntry(entry) + kCropId) == id;
}

void putCropRect(uint8_t* entry, const CROP_PARA* in)
{
    putLe16(entry + kCropX, uint16_t(in->x));
    putLe16(entry + kCropY, uint16_t(in->y));
    putLe16(entry + kCropW, uint16_t(in->w));
    putLe16(entry + kCropH, uint16_t(in->h));
}

} // namespace

int VyxRamPara::VyxGetImageSource(unsigned char* buffer, unsigned char image, short* isCrop, char* cropIndex,
                                  unsigned char inSlot)
{
    if (image >= kImageRecordCount) {
        *isCrop = 0;
        return 0xFF;
    }
    // A slot's data part starts with image byte 896.
    const int base = inSlot ? kModeStart : 0;
    const ShownSource shown = shownSource(buffer, le16(buffer + imageRecord(image) + kImgSource - base), base);
    *isCrop = shown.crop >= 0 ? 1 : 0;
    if (shown.crop >= 0)
        *cropIndex = char(shown.crop);
    return shown.source;
}

unsigned char VyxRamPara::VyxSourceId_is_on(unsigned char device)
{
    for (int w = 0; w < kWindowImages; ++w) {
        if (!imageEnabled(ram_para, w))
            continue;
        short isCrop = 0;
        char cropIndex = 0;
        int source = VyxGetImageSource(ram_para, uint8_t(w), &isCrop, &cropIndex, 0);
        int shown = (source >= 1 && source <= 3) ? source : 0;
        if (shown == device)
            return 1;
    }
    return 0;
}

int VyxRamPara::VyxGetSourceNum(int source, int n)
{
    if (!validSource(source))
        return 0;
    if (n > kCropEntries)
        n = kCropEntries;
    int count = 0;
    for (int e = 0; e < n; ++e) {
        uint16_t id = le16(ram_para + cropEntry(e) + kCropId);
        if ((id & kCropUsed) && (id & kCropSourceMask) == source)
            ++count;
    }
    return count;
}

void VyxRamPara::VyxCropSourceInit()
{
    std::memset(g_cut_source_state, 0, sizeof g_cut_source_state);
    for (int e = 0; e < kCropEntries; ++e) {
        uint16_t id = le16(ram_para + cropEntry(e) + kCropId);
        if (!(id & kCropUsed))
            continue;
        int source = id & kCropSourceMask;
        int number = cropNumber(id);
        // The PC may write any id word; the bitmap only has room for
        // sources 0..5 and crop numbers 1..40.
        if (!validSource(source) || number > kCropNumbers)
            continue;
        int bit = source * kCropNumbers + number - 1;
        g_cut_source_state[bit / 8] |= uint8_t(1u << (bit % 8));
    }
}

int VyxRamPara::VyxGetCropID(int source, int k)
{
    if (!validSource(source) || k < 1)
        return 0;
    for (int number = 1; number <= kCropNumbers; ++number)
        if (cropBit(source, number) && --k == 0)
            return number;
    return 0;
}

int VyxRamPara::VyxAddCropID(int source)
{
    if (!validSource(source))
        return 0;
    for (int number = 1; number <= kCropNumbers; ++number)
        if (!cropBit(source, number))
            return number;
    return 0;
}

int VyxRamPara::findCropEntry(int source, int k)
{
    int number = VyxGetCropID(source, k);
    if (number == 0)
        return -1;
    for (int e = 0; e < kCropEntries; ++e) {
        uint16_t id = le16(ram_para + cropEntry(e) + kCropId);
        if ((id & kCropUsed) && (id & kCropSourceMask) == source && cropNumber(id) == number)
            return e;
    }
    return -1;
}

void VyxRamPara::VyxGetCropPara(int source, int k, CROP_PARA* out, int* entryIndex)
{
    int e = findCropEntry(source, k);
    if (e < 0) {
        *entryIndex = kCropEntries;
        return;
    }
    const uint8_t* c = ram_para + cropEntry(e);
    *entryIndex = e;
    out->source = le16(c + kCropId);
    out->x = le16(c + kCropX);
    out->y = le16(c + kCropY);
    out->w = le16(c + kCropW);
    out->h = le16(c + kCropH);
}

void VyxRamPara::VyxSetCropPara(char source, char k, CROP_PARA* in)
{
    int e = findCropEntry(uint8_t(source), uint8_t(k));
    if (e >= 0)
        VyxSetCropParaAt(e, le16(ram_para + cropEntry(e) + kCropId), in);
}

bool VyxRamPara::VyxSetCropParaAt(int entry, uint16_t id, const CROP_PARA* in)
{
    // The crop screen relies on an edited crop being applied like any other.
    return scalerWriteIf([&] {
        if (!cropEntryHolds(ram_para, entry, id))
            return false;
        putCropRect(ram_para + cropEntry(entry), in);
        return true;
    });
}

void VyxRamPara::VyxAddNewCrop(int source, CROP_PARA* in)
{
    int number = VyxAddCropID(source);
    if (number == 0)
        return;
    for (int e = 0; e < kCropEntries; ++e) {
        uint8_t* c = ram_para + cropEntry(e);
        if (le16(c + kCropId) & kCropUsed)
            continue;
        uint16_t id = uint16_t(kCropUsed | (((number - 1) & kCropNumberMask) << kCropNumberShift) |
                               (source & kCropSourceMask));
        scalerWrite([&] {
            putLe16(c + kCropId, id);
            putCropRect(c, in);
        });
        return;
    }
}

void VyxRamPara::VyxDeleteCrop(char source, char k)
{
    int e = findCropEntry(uint8_t(source), uint8_t(k));
    if (e >= 0)
        VyxDeleteCropAt(e, le16(ram_para + cropEntry(e) + kCropId));
}

bool VyxRamPara::VyxDeleteCropAt(int entry, uint16_t id)
{
    const uint16_t whole = id & kCropSourceMask;
    // In the same hold: the scaler never sees an image on the freed entry,
    // which would show DVI, or whatever crop takes the entry next.
    return scalerWriteIf([&] {
        if (!cropEntryHolds(ram_para, entry, id))
            return false;
        putLe16(ram_para + cropEntry(entry) + kCropId, 0);
        for (int w = 0; w < kImageRecordCount; ++w) {
            uint8_t* word = ram_para + imageRecord(w) + kImgSource;
            if ((le16(word) & kSourceIsCrop) && (le16(word) & 0xFF) == entry)
                putLe16(word, whole);
        }
        return true;
    });
}

void VyxRamPara::VyxSetImageSource(int k, char source, char image)
{
    int w = uint8_t(image);
    if (w >= kImageRecordCount)
        return;
    uint16_t word = uint8_t(source);
    if (k > 0) {
        int e = findCropEntry(uint8_t(source), k);
        word = e < 0 ? 0 : uint16_t(kSourceIsCrop | e);
    }
    scalerWrite([&] {
        putLe16(ram_para + imageRecord(w) + kImgSource, word);
        // Once the mode is saved in the file, changing a source leaves it.
        if (le16(ram_para + kCurrentMode) == le16(ram_para_bak + kCurrentMode))
            putLe16(ram_para + kCurrentMode, 0);
    });
}

void VyxRamPara::VyxSetImageFreeze()
{
    int w = g_image_current.load();
    if (w >= kImageRecordCount)
        return;
    scalerWrite([&] {
        if (imageEnabled(ram_para, w)) {
            uint8_t* out = ram_para + imageRecord(w) + kImgOutput;
            putLe16(out, le16(out) ^ kOutFreeze);
        }
    });
}

void VyxRamPara::VyxSetImageBlack()
{
    int w = g_image_current.load();
    if (w >= kImageRecordCount)
        return;
    scalerWrite([&] {
        uint8_t* out = ram_para + imageRecord(w) + kImgOutput;
        putLe16(out, le16(out) ^ kOutBlack);
    });
}

void VyxRamPara::VyxSetEDIDPara(int input, short width, short height, short rate)
{
    if (input < 0 || input >= kEdidRequestCount)
        return;
    scalerWrite([&] {
        uint8_t* r = ram_para + edidRequest(input);
        putLe16(r + 0, uint16_t(width));
        putLe16(r + 2, uint16_t(height));
        putLe16(r + 4, uint16_t(rate));
    });
}

bool VyxRamPara::forceOfferedLanguage()
{
    uint8_t language = loadShared(ram_para + kLanguage);
    g_language = language;
    uint32_t mask = g_lcd_lang_valid.load();
    if (language < 32 && ((mask >> language) & 1))
        return false;
    for (uint8_t n = 0; n <= 4; ++n) {
        if ((mask >> n) & 1) {
            storeShared(ram_para + kLanguage, n);
            g_language = n;
            return true;
        }
    }
    return false;
}

int VyxRamPara::VyxLanguageChanged()
{
    if (le16(ram_para + kLanguage) == le16(ram_para_bak + kLanguage))
        return 0;
    if (forceOfferedLanguage())
        storeShared(ram_para + kLanguageAux, 0);
    return 1;
}

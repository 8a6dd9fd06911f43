// User modes: slot k of the store holds mode k + 1 and lives in the file
// "/data/modes/custom_mode<k+1>", with an optional copy of the OSD menu.
#include "core/vyxrampara.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/safe_file.h"

using namespace ram;

namespace {

const char* const kMenuFile = "/data/configs/omenu.json";

std::string modeFile(int slot) { return "/data/modes/custom_mode" + std::to_string(slot + 1); }

std::string modeMenuCopy(int slot)
{
    char name[40];
    std::snprintf(name, sizeof name, "/data/modes/MO%02x.json", unsigned(slot + 1));
    return name;
}

bool validSlot(int slot) { return slot >= 0 && slot < kModeSlots; }

void shell(const std::string& command) { Utils::system_mutex(QString::fromStdString(command)); }

} // namespace

int VyxRamPara::mode_file_deal(int slot, int op)
{
    if (!validSlot(slot))
        return 0;
    uint8_t* s = user_mode[slot];
    if (op == 1) {
        shell("rm  -rf  " + modeFile(slot));
        platform::pause_us(100);
        if (le16(s + slotOffset(kOsdOn)) == 1) {
            shell("rm  -rf  " + modeMenuCopy(slot));
            putLe16(s + slotOffset(kOsdOn), 0);
        }
        platform::pause_us(100);
        shell("sync");
        platform::pause_us(100);
    }

    QMutexLocker lock(&Utils::_file_deal_mutex);
    FILE* f = std::fopen(platform::sysPath(modeFile(slot)).c_str(), "rb");
    if (!f) {
        fillShared(s, kMarkerEmpty, 2);
        return 0;
    }
    // A short file loads what it holds; the marker is taken as read.
    uint8_t stored[kModeFileSize];
    copyShared(s, stored, std::fread(stored, 1, kModeFileSize, f));
    std::fclose(f);
    shell("sync");
    platform::pause_ms(100);
    return 1;
}

int VyxRamPara::mode_file_write(int slot, int op)
{
    if (!validSlot(slot))
        return 0;
    uint8_t* s = user_mode[slot];
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        // The slot changes only with its file.
        uint8_t file[kModeFileSize];
        copyShared(file, s, kModeFileSize);
        if (op == 1)
            copyShared(file + kSlotData, ram_para + kModeStart, kModeLength);
        file[0] = file[1] = kMarkerSaved;
        bool ok = platform::replaceFile(modeFile(slot), file, kModeFileSize);
        if (ok)
            copyShared(s, file, kModeFileSize);
        shell("sync");
        platform::pause_ms(100);
        if (!ok) {
            VYX_DEBUG("\n write %s failed \n", modeFile(slot).c_str());
            return 0;
        }
    }
    // The menu copy is replaced whole as well; without a menu file the old
    // copy stays.
    if (op == 0 && le16(ram_para + kOsdOn) == 1 && !platform::copyFile(kMenuFile, modeMenuCopy(slot)))
        VYX_DEBUG("\n copy %s to %s failed \n", kMenuFile, modeMenuCopy(slot).c_str());
    shell("sync");
    platform::pause_us(100);
    return 1;
}

int VyxRamPara::VyxUserModeSaved(int n)
{
    if (!validSlot(n))
        return 0;
    return loadShared(user_mode[n]) == kMarkerSaved && loadShared(user_mode[n] + 1) == kMarkerSaved;
}

int VyxRamPara::VyxUserModeIndex(char current, char direction)
{
    // 16 (or more) stands for "no slot": the whole ring is searched.
    int c = uint8_t(current) > kModeSlots ? kModeSlots : uint8_t(current);
    int last = c < kModeSlots ? c : kModeSlots - 1;
    switch (uint8_t(direction)) {
    case 0:
        for (int i = c - 1; i >= 0; --i)
            if (VyxUserModeSaved(i))
                return i;
        for (int i = kModeSlots - 1; i >= c; --i)
            if (VyxUserModeSaved(i))
                return i;
        break;
    case 1:
    case 2:
        for (int i = direction == 1 ? c + 1 : c; i < kModeSlots; ++i)
            if (VyxUserModeSaved(i))
                return i;
        for (int i = 0; i <= last; ++i)
            if (VyxUserModeSaved(i))
                return i;
        break;
    default:
        break;
    }
    return 0x100;
}

int VyxRamPara::VyxGetCurrentModeIndex()
{
    uint8_t mode = loadShared(ram_para + kCurrentMode);
    return mode <= kModeSlots ? mode : 0;
}

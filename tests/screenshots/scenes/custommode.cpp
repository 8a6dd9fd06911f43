// The user-mode screen: a saved mode in use with a display name and four
// images (one of them a crop), the action row, an empty slot, and the
// settings of the mode's OSD menu copy.
#include "tests/screenshots/scenes.h"

#include <cstring>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/safe_file.h"
#include "ui/image/custommode.h"

using namespace ram;

VYX_SCREENSHOTS(custommode)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    uint8_t* slot = store->user_mode[9];
    auto put = [slot](int addr, uint16_t v) { putLe16(slot + slotOffset(addr), v); };
    fillShared(slot, kMarkerSaved, 2);
    copyShared(slot + kSlotData, store->ram_para + kModeStart, kModeLength);
    put(kLedWidth, 3840);
    put(kLedHeight, 1080);
    put(kBrightness, 80);
    put(kContrast, 50);
    put(kAudioImage, 0);
    put(imageRecord(0) + kImgAudio, 0x8000);
    put(kOsdOn, 1);
    const struct {
        uint16_t enable, source, x, y, w, h;
    } images[] = {{1, 1, 0, 0, 1920, 1080}, {1, 0x8000 | 3, 1920, 0, 1920, 1080}, {1, 3, 960, 270, 960, 540},
        {0, 0, 0, 0, 640, 480}};
    for (int k = 0; k < 4; ++k) {
        const int r = imageRecord(k);
        put(r + kImgEnable, images[k].enable);
        put(r + kImgSource, images[k].source);
        put(r + kImgX, images[k].x);
        put(r + kImgY, images[k].y);
        put(r + kImgWidth, images[k].w);
        put(r + kImgHeight, images[k].h);
    }
    put(cropEntry(3) + kCropId, 0x8000 | 2);
    putLe16(store->ram_para + kCurrentMode, 10);

    const char* names = R"({"namelist":{"usermode":[{"id":9,"valid":"on","name":"Concert 舞台 Главный"}]}})";
    platform::replaceFile("/data/configs/alias.json", names, std::strlen(names));
    const char* menu = R"({ "name": "MO0a", "osdcount": 1, "oactcount": 1,
      "menu": [ { "type": 0, "status": "on", "pos": { "x": 0, "y": 960, "w": 3840, "h": 120 },
                  "act": { "effect": 4, "speed": 3, "staytime": 0 },
                  "backpara": { "enable": "on", "color": "202040" },
                  "fontpara": { "startx": 16, "starty": 0, "fontw": 64, "fonth": 64, "wordspace": 2,
                                "verticalspace": 4, "color": "FFD040" },
                  "texts": "Welcome to the show\nDoors open at 19:30\nPlease switch off your phones\nline 4" } ] })";
    platform::replaceFile("/data/modes/MO0a.json", menu, std::strlen(menu));

    g_mainwindow->on_custommode_clicked();
    g_custommode->move(0, 0);
    shot.take("saved");
    paneltest::key(g_custommode, panel::kKeyOk);
    shot.take("actions");
    paneltest::key(g_custommode, panel::kKeyRight);
    paneltest::key(g_custommode, panel::kKeyRight);
    shot.take("osd");
    paneltest::key(g_custommode, panel::kKeyBack);
    paneltest::key(g_custommode, panel::kKeyRight);
    shot.take("empty");
}

// The standby screen over the main window: its tiles with sources, a crop,
// no signal, freeze and a closed image; then display names with the LED
// screen switched dark.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/safe_file.h"
#include "ui/shell/lockwindow.h"

#include <cstring>

using namespace ram;

VYX_SCREENSHOTS(lockwindow)
{
    uint8_t* image = VyxRamPara::pInstance()->ram_para;
    auto put = [image](int addr, uint16_t v) { putLe16(image + addr, v); };
    put(kLedWidth, 3840);
    put(kLedHeight, 1080);
    put(kBrightness, 80);
    put(kContrast, 50);
    put(inputTiming(1) + kTimingWidth, 1920);
    put(inputTiming(1) + kTimingHeight, 1080);
    put(inputTiming(1) + kTimingRate, 60);
    put(inputTiming(2) + kTimingWidth, 3840);
    put(inputTiming(2) + kTimingHeight, 2160);
    put(inputTiming(2) + kTimingRate, 30);
    put(inputTiming(0) + kTimingRate, 0);
    // Image 1 HDMI1 with sound, image 2 DVI without signal, image 3 a crop
    // of HDMI2, frozen; image 4 closed.
    put(imageRecord(0) + kImgSource, 1);
    put(imageRecord(0) + kImgAudio, 0x8000);
    put(kAudioImage, 0);
    put(imageRecord(1) + kImgEnable, 1);
    put(imageRecord(1) + kImgSource, 0);
    put(imageRecord(2) + kImgEnable, 1);
    put(cropEntry(0) + kCropId, 0x8000 | 0 << 8 | 2);
    put(cropEntry(0) + kCropW, 960);
    put(cropEntry(0) + kCropH, 540);
    put(imageRecord(2) + kImgSource, 0x8000 | 0);
    put(imageRecord(2) + kImgOutput, kOutFreeze);
    put(imageRecord(3) + kImgEnable, 0);
    g_image_current = 0;

    auto standby = [] {
        g_lockwindow = new LockWindow(nullptr);
        g_lockwindow->move(0, 0);
        g_page_focus = kPageLockWindow;
        g_lockwindow->show();
    };
    standby();
    shot.take("tiles");

    // Display names as the PC sends them, one for each language's script.
    const char* names = R"({"namelist":{"source":[
        {"id":1,"valid":"on","name":"舞台左 Main stage camera, left side"},
        {"id":0,"valid":"on","name":"Главный экран"}]}})";
    platform::replaceFile("/data/configs/alias.json", names, strlen(names));
    put(kLedOff, 1);
    g_image_current = 2;
    g_lockwindow->syncUpdate();
    shot.take("names-dark");
}

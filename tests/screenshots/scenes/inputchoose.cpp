// The input choice screen with images 1 and 3 in use, image 1 on the second
// crop of HDMI1 (four crops, one with a display name): the tab row, the
// crop button, the input row, the entries of HDMI1 on both pages, and
// those of DVI without signal.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/safe_file.h"
#include "ui/image/inputchoose.h"
#include "ui/shell/mainwindow.h"

#include <cstring>

using namespace ram;

VYX_SCREENSHOTS(inputchoose)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    uint8_t* image = store->ram_para;
    auto put = [image](int addr, uint16_t v) { putLe16(image + addr, v); };
    put(inputTiming(1) + kTimingWidth, 1920);
    put(inputTiming(1) + kTimingHeight, 1080);
    put(inputTiming(1) + kTimingRate, 60);
    put(inputTiming(3) + kTimingWidth, 3840);
    put(inputTiming(3) + kTimingHeight, 2160);
    put(inputTiming(3) + kTimingRate, 60);
    for (int e = 0; e < 4; ++e) {
        put(cropEntry(e) + kCropId, uint16_t(0x8000 | e << 8 | 1));
        put(cropEntry(e) + kCropX, uint16_t(480 * e));
        put(cropEntry(e) + kCropW, 960);
        put(cropEntry(e) + kCropH, 540);
    }
    put(cropEntry(4) + kCropId, 0x8000 | 3);
    put(cropEntry(4) + kCropW, 1920);
    put(cropEntry(4) + kCropH, 2160);
    put(imageRecord(0) + kImgSource, 0x8001);
    put(imageRecord(2) + kImgEnable, 1);
    put(imageRecord(2) + kImgSource, 3);
    std::memcpy(store->ram_para_bak, image, kImageSize);
    const char* names = R"({"namelist":{"crop":[{"id":2,"valid":"on","name":"Left half of the stage"}]}})";
    platform::replaceFile("/data/configs/alias.json", names, strlen(names));
    g_image_current = 0;

    ModalDriver drive;
    drive.then([&] {
        shot.take("tabs");
        paneltest::key(g_inputchoose, panel::kKeyRight);
        paneltest::key(g_inputchoose, panel::kKeyRight);
        shot.take("button");
        paneltest::key(g_inputchoose, panel::kKeyRight);
        paneltest::key(g_inputchoose, panel::kKeyRight);
        paneltest::key(g_inputchoose, panel::kKeyOk);
        shot.take("inputs");
        paneltest::key(g_inputchoose, panel::kKeyOk);
        shot.take("entries");
        paneltest::key(g_inputchoose, panel::kKeyRight);
        shot.take("entries-page2");
        paneltest::key(g_inputchoose, panel::kKeyBack);
        paneltest::key(g_inputchoose, panel::kKeyLeft);
        paneltest::key(g_inputchoose, panel::kKeyOk);
        shot.take("dvi");
        paneltest::key(g_inputchoose, panel::kKeyBack);
        paneltest::key(g_inputchoose, panel::kKeyBack);
        paneltest::key(g_inputchoose, panel::kKeyBack);
    });
    drive.run([] { g_mainwindow->on_inputchoose_clicked(); });
}

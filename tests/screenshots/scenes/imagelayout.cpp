// The image layout screen: image 1 with a display name, then image 2, a
// crop of HDMI2 mirrored left to right with dot by dot on.
#include "tests/screenshots/scenes.h"

#include <cstring>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/safe_file.h"
#include "ui/image/imagelayout.h"

using namespace ram;

VYX_SCREENSHOTS(imagelayout)
{
    uint8_t* image = VyxRamPara::pInstance()->ram_para;
    auto put = [image](int addr, uint16_t v) { putLe16(image + addr, v); };
    put(imageRecord(0) + kImgSource, 1);
    put(imageRecord(0) + kImgWidth, 1920);
    put(imageRecord(0) + kImgHeight, 1080);
    put(imageRecord(1) + kImgEnable, 1);
    put(cropEntry(0) + kCropId, 0x8000 | 2);
    put(imageRecord(1) + kImgSource, 0x8000 | 0);
    put(imageRecord(1) + kImgX, 1920);
    put(imageRecord(1) + kImgY, 540);
    put(imageRecord(1) + kImgWidth, 960);
    put(imageRecord(1) + kImgHeight, 540);
    put(imageRecord(1) + kImgMirror, 1);
    put(imageRecord(1) + kImgOutput, kOutDotByDot);
    put(imageRecord(1) + kImgDotMode, 8);
    g_image_current = 0;
    const char* names = R"({"namelist":{"win":[{"id":0,"valid":"on","name":"Main stage 主舞台 Главный экран"}]}})";
    platform::replaceFile("/data/configs/alias.json", names, std::strlen(names));

    ModalDriver drive;
    drive.then([&] {
        g_imagelayout->move(0, 0);
        shot.take("image1");
        paneltest::key(g_imagelayout, panel::kKeyRight);
        shot.take("image2");
        paneltest::key(g_imagelayout, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_imagelayout, kPageImageLayout); });
}

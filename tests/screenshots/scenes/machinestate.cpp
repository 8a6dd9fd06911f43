// The status screen with FPGA 0 running on the simulated chip: links on
// ports 1-4 and 10, HDMI1 and DVI with a signal, a stored barcode.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/sim_chips.h"
#include "ui/shell/machinestate.h"
#include "video_io/zevlosource.h"

using namespace ram;

VYX_SCREENSHOTS(machinestate)
{
    uint8_t* image = VyxRamPara::pInstance()->ram_para;
    for (int s : {0, 1}) {
        putLe16(image + inputTiming(s) + kTimingWidth, 1920);
        putLe16(image + inputTiming(s) + kTimingHeight, 1080);
        putLe16(image + inputTiming(s) + kTimingRate, 60);
    }
    const uint8_t version[] = {0x05, 0x15, 0x03, 0x24};
    for (int r = 0; r < 4; ++r)
        platform::simFpga(0).setReg(28 + r, version[r]);
    platform::simFpga(0).setLinks(0x020F);
    zevlosource::pInstance()->setup_state[0] = 2;
    fpga_manage* fpga = fpga_manage::pInstance();
    fpga->softinit();
    for (int turn = 0; turn < 5000 && fpga->get_fpga_status() != 1; ++turn) {
        ++G_timeTicks;
        fpga->fpga_manage_deal(nullptr);
    }
    g_str_barcode = QStringLiteral("VX58N2024031500017");

    ModalDriver drive;
    drive.then([&] {
        shot.take("status");
        paneltest::key(g_machinestate, panel::kKeyBack);
    });
    drive.run([] { g_mainwindow->on_machinestate_clicked(); });
}

// The output-port screen on a running FPGA 0: three ports linked, LED2's
// rectangle, then the window scrolled to LED10.
#include "tests/screenshots/scenes.h"

#include "core/utils.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_manage.h"
#include "platform/fpga_sim.h"
#include "platform/sim_chips.h"
#include "ui/setup/netset.h"
#include "video_io/zevlosource.h"

VYX_SCREENSHOTS(netset)
{
    zevlosource::pInstance()->setup_state[0] = 2;
    fpga_manage* fpga = fpga_manage::pInstance();
    fpga->softinit();
    for (int i = 0; i < 5000 && fpga->get_fpga_status() != 1; ++i) {
        ++G_timeTicks;
        fpga->fpga_manage_deal(nullptr);
    }
    platform::simFpga(0).setLinks(0x0207);
    // Two rows of five ports over a 1920 x 1080 screen.
    for (int port = 0; port < 10; ++port) {
        const uint16_t rect[4] = {uint16_t(384 * (port % 5)), uint16_t(540 * (port / 5)), 384, 540};
        uint8_t bytes[8];
        for (int k = 0; k < 4; ++k)
            putLe16(bytes + 2 * k, rect[k]);
        fpga->ram_para_write(0, uint32_t(fpga_layout::rectBase(port)), bytes, sizeof bytes);
    }

    ModalDriver drive;
    drive.then([&] {
        paneltest::key(g_netset, panel::kKeyRight);
        shot.take("led2");
        for (int i = 0; i < 8; ++i)
            paneltest::key(g_netset, panel::kKeyRight);
        shot.take("led10");
        paneltest::key(g_netset, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_netset, kPageNetset); });
}

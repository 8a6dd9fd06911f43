#pragma once
// What the tests of the setup screens share: a screen opened directly (no
// menu below it), FPGA 0 of the simulated device brought up to ready, and a
// change of the panel's language as the dispatcher sees one.

#include <gtest/gtest.h>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "video_io/zevlosource.h"

// Opens a screen as its menu would, shown instead of run modally: the test
// keeps control and drives it by keys.
template <class Screen>
Screen* openScreen(Screen*& global, int page)
{
    Screen* screen = new Screen(nullptr);
    global = screen;
    g_page_focus = uint8_t(page);
    screen->show();
    return screen;
}

inline void bringFpga0Up()
{
    zevlosource::pInstance()->setup_state[0] = 2;
    fpga_manage* fpga = fpga_manage::pInstance();
    fpga->softinit();
    for (int i = 0; i < 5000 && fpga->get_fpga_status() != 1; ++i) {
        ++G_timeTicks;
        fpga->fpga_manage_deal(nullptr);
    }
    ASSERT_EQ(fpga->get_fpga_status(), 1);
}

// Every language offered, `language` chosen in the image and the snapshot
// holding another, then the change code: the open screen re-texts.
inline void switchPanelLanguage(int language)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    g_lcd_lang_valid = 0x1F;
    copyShared(store->ram_para_bak, store->ram_para, ram::kImageSize);
    storeShared(store->ram_para_bak + ram::kLanguage, 0xFF);
    storeShared(store->ram_para + ram::kLanguage, uint8_t(language));
    store->test_signal(kChangeRefresh);
}

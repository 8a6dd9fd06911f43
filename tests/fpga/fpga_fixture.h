#pragma once
// A sandbox with the parameter store, the FPGA manager on the simulated
// FPGAs, and helpers to drive the worker one turn at a time on ticks the
// test sets.

#include "tests/support/sandbox.h"

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_manage.h"
#include "fpga/fpga_pads.h"
#include "platform/sim_chips.h"
#include "platform/spi.h"
#include "video_io/zevlosource.h"

#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
using platform::SimFpga;
using platform::SimSpiBus;

constexpr const char* kNode0 = "/dev/spidev32766.1";
constexpr const char* kNode1 = "/dev/spidev32766.2";
constexpr const char* kFlash0 = "/dev/spidev32766.3";
constexpr const char* kFlash1 = "/dev/spidev32766.4";

class FpgaTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        bus().setJournalLimit(1000000);
        store = VyxRamPara::pInstance();
        QObject::connect(store, &VyxRamPara::sig_update_para, [this](int code) { codes.push_back(code); });
    }

    static SimSpiBus& bus() { return platform::simSpiBus(); }
    static SimFpga& sim(int f) { return platform::simFpga(f); }

    // The manager with its links open and its start-up values, FPGA 0's
    // video link reported up.
    fpga_manage* manager(bool linkUp = true)
    {
        zevlosource::pInstance()->setup_state[0] = linkUp ? 2 : 0;
        fpga_manage* m = fpga_manage::pInstance();
        m->softinit();
        return m;
    }

    // One worker turn per tick.
    void run(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            ++G_timeTicks;
            fpga_manage::p_fpga_manage->fpga_manage_deal(nullptr);
        }
    }

    // Turns until `done` holds; false after `maxTicks`.
    bool runUntil(const std::function<bool()>& done, int maxTicks = 5000)
    {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            run(1);
        }
        return done();
    }

    // Brings FPGA 0 up to ready.
    void startUp()
    {
        manager();
        ASSERT_TRUE(runUntil([] { return fpga_manage::p_fpga_manage->get_fpga_status() == 1; }));
    }

    int count(int code) const
    {
        int n = 0;
        for (int c : codes)
            n += c == code;
        return n;
    }

    uint16_t image16(int offset) const { return le16(store->ram_para + offset); }
    void setImage16(int offset, uint16_t v) { putLe16(store->ram_para + offset, v); }

    std::vector<SimSpiBus::Event> transfers(const std::string& node = std::string()) const
    {
        return bus().transfers(node);
    }

    VyxRamPara* store = nullptr;
    std::vector<int> codes;
};

#pragma once
// A scaler manager without its thread on the simulated chip, the parameter
// store behind it, and a record of every operation its bring-up and
// dispatcher call.

#include "tests/support/sandbox.h"

#include <QObject>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/spi.h"
#include "scaler/c331_manage.h"

class ScalerTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        platform::simSpiBus().map();
        platform::simSpiBus().setJournalLimit(200000);
        store = VyxRamPara::pInstance();
        img = store->ram_para;
        QObject::connect(store, &VyxRamPara::sig_update_para, store, [this](int code) { signals_.push_back(code); });
        scaler = c331_manage::createForTest();
        // The operations, not the steps inside them.
        c331_manage::op_hook = [this](const std::string& op) {
            if (op.compare(0, 2, "  ") != 0)
                ops.push_back(op);
        };
    }

    static platform::SimScalerChip& chip() { return platform::simScaler(); }

    // Turns of the manager thread until the chip is brought up.
    void bringUp()
    {
        for (int turn = 0; turn < 20 && scaler->setup_stage < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
        ops.clear();
    }

    // The writer protocol: change the image under the mutex, raise a request.
    template <class Change>
    void write(Change change, uint8_t request = 1)
    {
        pthread_mutex_lock(&scaler->para_mutex);
        change();
        scaler->para_changed = request;
        pthread_mutex_unlock(&scaler->para_mutex);
    }
    void set16(int offset, uint16_t value) { putLe16(img + offset, value); }
    // A change of one word, and its request.
    void change16(int offset, uint16_t value, uint8_t request = 1)
    {
        write([&] { set16(offset, value); }, request);
    }
    // One dispatcher turn: the pass (when requested), then the upkeep.
    void turn() { c331_manage::c331managerdeal(scaler); }
    // The snapshot taken by a save.
    void save() { std::memcpy(store->ram_para_bak, store->ram_para, ram::kImageSize); }

    // The operations recorded since the last clear, without the upkeep's.
    std::vector<std::string> passOps() const
    {
        static const char* const upkeep[] = {"load_hdmi()", "check_port_valid()", "check_input_port()"};
        std::vector<std::string> out;
        for (const std::string& op : ops)
            if (std::find(std::begin(upkeep), std::end(upkeep), op) == std::end(upkeep))
                out.push_back(op);
        return out;
    }
    bool called(const std::string& op) const { return std::find(ops.begin(), ops.end(), op) != ops.end(); }
    int count(const std::string& op) const { return int(std::count(ops.begin(), ops.end(), op)); }

    VyxRamPara* store = nullptr;
    uint8_t* img = nullptr;
    c331_manage* scaler = nullptr;
    std::vector<std::string> ops;
    std::vector<int> signals_;
};

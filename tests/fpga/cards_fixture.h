#pragma once
// The FPGA manager with FPGA 0 counted as running (its answers are polled)
// and the simulated receiving cards behind the ports: ports 0-3 of FPGA 0
// carry 4 cards each, port 0 also the multi-function card.

#include "fpga_fixture.h"

#include "fpga/fpga_cards.h"
#include "platform/card_sim.h"

#include <pthread.h>

class CardsTest : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        m = manager();
        m->write_to_register(80, 0xFF, 3, 0);
        sim(0).clearLogs();
    }

    static platform::SimCardChains& cards(int f = 0) { return platform::simCards(f); }
    static uint8_t* image(int f = 0) { return fpga_manage::MCU_RAM_PARA_func[f]; }

    // Receive polls as a link makes them.
    void poll(int times = 1, uint8_t fpga = 0)
    {
        for (int i = 0; i < times; ++i) {
            pthread_mutex_lock(&m->rcv_mutex);
            m->reg_IRQ_Dealwith(fpga, 0);
            pthread_mutex_unlock(&m->rcv_mutex);
        }
    }

    // Register writes to `reg` of FPGA f, oldest first.
    static std::vector<SimFpga::Access> writes(int reg, int f = 0)
    {
        std::vector<SimFpga::Access> out;
        for (auto& a : sim(f).accesses())
            if (a.kind == SimFpga::Access::RegWrite && a.id == reg)
                out.push_back(a);
        return out;
    }
    static std::vector<SimFpga::Access> ramWrites(int ram, int f = 0)
    {
        std::vector<SimFpga::Access> out;
        for (auto& a : sim(f).accesses())
            if (a.kind == SimFpga::Access::RamWrite && a.id == ram)
                out.push_back(a);
        return out;
    }

    // A frame from a card: header, command, arguments and checksum.
    static Bytes answer(uint16_t destination, uint16_t source, uint8_t family, uint8_t portByte, uint8_t command,
                        const Bytes& args)
    {
        Bytes a{uint8_t(destination), uint8_t(destination >> 8), uint8_t(source), uint8_t(source >> 8), 0x10, family,
                0x01, portByte, 0, command};
        for (uint8_t b : args)
            a.push_back(b);
        a.push_back(Utils::BCC(a.data(), unsigned(a.size())));
        return a;
    }

    // Builds a frame with a builder and sends it on port `port` of FPGA 0.
    void send(const std::function<int(uint8_t*)>& build, uint8_t port)
    {
        uint8_t frame[rcv::kMaxFrame];
        int n = build(frame);
        ASSERT_GT(n, 0);
        m->Send_to_port(frame, n, port, 0);
    }

    fpga_manage* m = nullptr;
};

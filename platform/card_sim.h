#pragma once
// The LED receiving cards behind the simulated output ports: one chain of
// cards per port, plugged into the simulated sending FPGAs for good. A
// frame the FPGA puts on a port reaches that port's chain; the cards it
// addresses act on it and one answer comes back through the FPGA's receive
// slot of the port pair, as the real cables and cards would do it.
//
// Card addresses: bits 0-11 the card's place on the chain (0-based), bits
// 12-13 the port & 3 (not looked at: the cable decides), 0x0FFF every card,
// 0x0FFE every card of the port (searches), bit 14 the port's
// multi-function card (the light sensor).
//
// What a card understands (bytes of the receiving-card frame; every answer
// starts with the request's header, destination and source exchanged, the
// answering card's address with the port bits as source, byte 8 = 0, byte
// 9 = the command and a status byte at 10, 0 = done; checksum last):
//   0x10 search        answer: 11-12 cards on the chain, 13 status (1 when
//                      the port has a multi-function card), 14-17 zero,
//                      18-21 the cards' configuration id, 22 the first card
//                      that needs recovery or 0xFF. Length 24.
//   0x60 write RAM     u32 address (10), u16 length (14), data from 18.
//   0x61 read RAM      the same without data; answer: the bytes from 11.
//   0xA0 write regs    10 first register, 11 mask, 12 count n, 13.. n values,
//                      each merged under the mask. Register 3 is the mapping
//                      switch (9 on, 0 off).
//   0x81 save          the card's RAM becomes its flash copy. A card that
//                      lost its set-up is whole again once it was written
//                      and then saved.
//   0x84 reconfigure   the card reloads its RAM from its flash copy.
//   0xB4 activate      counted.
//   anything else      counted, answered done.
// The position a card was given is its RAM at 0x180: u16 x, u16 y.
// Broadcasts are answered once, by the last card of the chain. Frames with
// a wrong checksum, to cards beyond the chain or to a port without cards
// are not answered. Ports 10-15 have no cable and no receive slot.
//
// A person sets the chains in "<root>/sim/cards" (reread while the program
// runs; the README's simulation section has the format); tests use the calls
// below. Every call takes the simulated bus's lock.

#include "platform/fpga_sim.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

struct SimCard {
    std::map<uint32_t, uint8_t> ram;   // unwritten bytes read 0
    std::map<uint32_t, uint8_t> flash; // the RAM as last saved
    uint8_t regs[256] = {};
    uint32_t config_id = 0;
    bool needs_recovery = false; // lost its set-up
    bool written = false;        // RAM or registers written since it lost it
    bool silent = false;         // never answers
    int saves = 0, reconfigs = 0, activations = 0, frames = 0;

    uint8_t ramByte(uint32_t addr) const;
    uint16_t x() const;
    uint16_t y() const;
    uint8_t mapping() const { return regs[3]; }
};

enum class SimAnswerPolicy {
    Normal,
    Silent,      // no answers from the port
    BadChecksum, // every answer's checksum is wrong
    Late,        // each answer held for k receive polls
    DropFirst,   // the next k answers are lost
};

class SimCardChains : public SimFpgaPortPair {
public:
    static constexpr int kPorts = 10;       // ports with a cable
    static constexpr int kMaxCards = 512;
    static constexpr int kSensorBytes = 128;
    static constexpr uint32_t kSensorAddress = 0x02000000;

    explicit SimCardChains(int fpga);

    void frameSent(SimFpga& fpga, int port, const std::vector<uint8_t>& frame) override;
    void refresh(SimFpga& fpga) override;
    // Start-up chains: FPGA 0 ports 0-3 with 4 cards each and the
    // multi-function card on port 0; FPGA 1 ports 0-1 with 2 cards each.
    void reset() override;

    // ---- set-up ----
    // `count` cards on the port; cards already there keep their state.
    void setCards(int port, int count);
    void setSensor(int port, bool present);
    // The multi-function card's 128 data bytes (read at 0x02000000). The
    // default: byte 49 = 0xFF (a valid reading), byte 53 = 0x80 (the light).
    void setSensorData(int port, const std::vector<uint8_t>& data);
    void setConfigId(int port, uint32_t id);
    // The card forgets its RAM and registers and needs recovery.
    void loseSetup(int port, int card);
    void setCardSilent(int port, int card, bool silent);
    void setPolicy(int port, SimAnswerPolicy policy, int k = 0);

    // ---- state ----
    int cards(int port) const;
    bool hasSensor(int port) const;
    SimCard card(int port, int index) const; // a copy; empty beyond the chain
    int answers(int port) const;             // answers queued back so far
    int sensorReads(int port) const;

private:
    struct Port {
        std::vector<SimCard> cards;
        bool sensor = false;
        std::vector<uint8_t> sensorData;
        std::map<uint32_t, uint8_t> sensorRam;
        SimAnswerPolicy policy = SimAnswerPolicy::Normal;
        int k = 0;
        int dropped = 0;
        int answers = 0;
        int sensorReads = 0;
    };
    static Port freshPort();
    Port* port(int p);
    const Port* port(int p) const;
    void answer(SimFpga& fpga, int p, std::vector<uint8_t> answer);

    const int m_fpga;
    Port m_ports[kPorts];
};

SimCardChains& simCards(int fpga);

// Plugs both FPGAs' chains in (from attachSimChips).
void attachSimCards();

} // namespace platform

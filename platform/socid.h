#pragma once
// The SoC's unique-ID registers (three 16-bit words in the SoC register
// window reached through "/dev/mem").

#include <cstdint>

namespace platform {

struct SocUniqueId {
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t z = 0;
};

// Reads the three ID registers; false when the register window cannot be
// used (then `id` is left as it was).
bool readSocUniqueId(SocUniqueId* id);

// Simulation: the registers come from "/sim/socid" under the root, a text
// with the three values in hexadecimal ("1234 5678 9abc"); no file, no ID.
constexpr const char* kSimSocIdFile = "/sim/socid";

} // namespace platform

#pragma once
// The chip models on the simulated SPI bus, attached in one place when the
// simulated back-end is chosen.

#include "platform/c331_sim.h"
#include "platform/fpga_sim.h"

namespace platform {

// Attaches every SPI chip model to the simulated bus (again after a test
// detached one), with the receiving-card chains behind the FPGAs' ports.
// Harmless to call more than once.
void attachSimChips();

// The simulated sending FPGA 0 or 1.
SimFpga& simFpga(int index);

} // namespace platform

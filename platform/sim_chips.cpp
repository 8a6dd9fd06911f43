// Every chip model of the simulated SPI bus is attached here.
#include "platform/sim_chips.h"
#include "platform/card_sim.h"
#include "platform/spi.h"

namespace platform {

SimFpga& simFpga(int index)
{
    static SimFpga fpga0(0), fpga1(1);
    return index == 0 ? fpga0 : fpga1;
}

void attachSimChips()
{
    // Attaching again replaces the same model: harmless.
    simFpga(0).attach();
    simFpga(1).attach();
    attachSimCards();
    simSpiBus().attach(SimScalerChip::kNode, &simScaler());
}

} // namespace platform

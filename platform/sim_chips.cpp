// Every simulated chip of the board on the simulated SPI bus.
#include "platform/c331_sim.h"
#include "platform/spi.h"

namespace platform {

void attachSimChips()
{
    // Attaching again replaces the same model: harmless.
    simSpiBus().attach(SimScalerChip::kNode, &simScaler());
}

} // namespace platform

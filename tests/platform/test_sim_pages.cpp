// The simulated chips keep their memories in the region bench/run counts as
// the simulation's share: what they write is counted there, what they drop
// stops counting, and "<root>/sim/memory" tells where the region lies.
#include "tests/support/sandbox.h"

#include <cstdio>

#include "platform/c331_sim_osd.h"
#include "platform/sim_chips.h"
#include "platform/sim_pages.h"

namespace {

namespace simpages = platform::simpages;

using SimPages = Sandbox;

TEST_F(SimPages, ChipMemoriesAreCountedInTheRegionUntilDropped)
{
    if (simpages::regionBegin() == 0)
        GTEST_SKIP() << "the pages come from the heap in this build";
    platform::SimFpga& fpga = platform::simFpga(1);
    fpga.reset();
    const size_t base = simpages::pagesInUse();

    // Two flash sectors and one RAM bank of an FPGA, three pages of the
    // scaler's memory (a page written with one value stays a note).
    fpga.pokeFlash(0x1FF0, std::vector<uint8_t>(32, 0x5A));
    fpga.pokeRam(7, 0x10, {1, 2, 3});
    platform::SparseMemory memory(0xFF);
    const std::vector<uint8_t> data(3 * simpages::kPage, 0x11);
    memory.write(0x8000, data.data(), data.size());
    memory.fill(0x20000, 2 * simpages::kPage, 0x00);
    EXPECT_EQ(simpages::pagesInUse(), base + 6);
    EXPECT_EQ(fpga.flash(0x1FF0, 32), std::vector<uint8_t>(32, 0x5A));

    // Given back, a page is taken again before the region grows, and reads
    // as what its new owner writes.
    memory.clear();
    EXPECT_EQ(simpages::pagesInUse(), base + 3);
    memory.write(0x4000, data.data(), 10);
    EXPECT_EQ(memory.get(0x4009), 0x11);
    EXPECT_EQ(memory.get(0x400A), 0xFF);
    fpga.reset();
    EXPECT_EQ(simpages::pagesInUse(), base + 1);
    EXPECT_EQ(fpga.flash(0x1FF0, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST_F(SimPages, TheMemoryFileNamesTheRegion)
{
    simpages::describe();
    const QByteArray text = readFile("/sim/memory");
    unsigned long begin = 1, end = 1;
    const int at = text.indexOf("region ");
    ASSERT_GE(at, 0) << text.toStdString();
    ASSERT_EQ(std::sscanf(text.constData() + at, "region %lx %lx", &begin, &end), 2);
    EXPECT_EQ(begin, static_cast<unsigned long>(simpages::regionBegin()));
    EXPECT_EQ(end, static_cast<unsigned long>(simpages::regionEnd()));
    if (begin != 0) {
        EXPECT_GT(end, begin);
    }
}

} // namespace

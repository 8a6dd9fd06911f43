// The PC port offsets the test programs hand out: programs starting
// controllers side by side must never give two of them one port, or one
// test's PC talks to another test's controller.
#include <gtest/gtest.h>

#include <set>
#include <unistd.h>

#include "bench/pc_client.h"

namespace {
const int kPcPorts[] = {5005, 10002, 5008, 10005, 13769};
}

TEST(PortOffsets, NoTwoOffsetsHeldAtOnceShareAPortHoweverManyAreTaken)
{
    // 300 offsets of 5 ports in 18,800: an offset checked only for being
    // free now meets an earlier one (the same, or 4,997 apart: one's 10002
    // is the other's 5005) dozens of times.
    std::vector<int> offsets;
    std::set<int> ports;
    for (int i = 0; i < 300; ++i) {
        const int offset = pc::freePortOffset();
        ASSERT_GE(offset, 0);
        offsets.push_back(offset);
        for (int p : kPcPorts)
            EXPECT_TRUE(ports.insert(p + offset).second) << "port " << p + offset << " handed out twice";
    }

    // Anyone else asking for a port of a held offset is refused (a file
    // lock of another open file, as another program's would be) until it is
    // released.
    const int first = offsets.front();
    EXPECT_EQ(pc::lockPort(5005 + first), -1);
    pc::releasePortOffset(first);
    const int fd = pc::lockPort(5005 + first);
    EXPECT_GE(fd, 0);
    ::close(fd);
    for (int offset : offsets)
        pc::releasePortOffset(offset);
}

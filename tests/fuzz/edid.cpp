// An EDID from outside: a stored table "/data/edidramtable/edid<i>.bin" or
// what a source's EDID memory reads back. The check must hold for any bytes;
// a preferred timing read from it, built into an EDID again, must read back
// the same.
#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "video_io/edid.h"
#include "video_io/video_timing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool valid = edid_valid(data, int(size));
    FUZZ_CHECK(!valid || (size >= size_t(kEdidBlock) && size % kEdidBlock == 0));
    if (size < size_t(kEdidBlock))
        return 0;
    VideoTiming t;
    if (!edid_preferred_timing(data, &t))
        return 0;
    uint8_t built[kEdidSize];
    if (!edid_build(t, built))
        return 0;
    FUZZ_CHECK(edid_valid(built, kEdidSize));
    VideoTiming back;
    FUZZ_CHECK(edid_preferred_timing(built, &back));
    FUZZ_CHECK(back == t);
    return 0;
}

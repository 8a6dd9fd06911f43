// Bytes from a PC link (TCP, UDP, RS-485 or the 4G modem), as they arrive:
// frames are collected, unescaped, checked and answered.
#include "remote/message_deal.h"
#include "remote/pclink.h"
#include "tests/fuzz/frame_checks.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    fuzz::freshStore();
    fuzz::feed(fuzz::freshLink(), data, size);
    return 0;
}

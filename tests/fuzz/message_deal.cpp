// The controller's own commands: the input is a frame body without its
// checksum (destination, source, header, command, data). It is sealed with
// the right checksum and escaped as a PC sends it, so that every input gets
// past the frame checks to the command handler.
#include "remote/message_deal.h"
#include "remote/pclink.h"
#include "tests/fuzz/frame_checks.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size + 1 > size_t(protocol_phy::kMaxBody))
        return 0;
    fuzz::begin();
    fuzz::freshStore();

    std::vector<uint8_t> body(data, data + size);
    body.push_back(Utils::BCC(body.data(), unsigned(size)));
    std::vector<uint8_t> frame(2 * body.size() + 2);
    int n = protocol_phy::data_re_transf_meaning(nullptr, frame.data(), body.data(), int(body.size()), nullptr);
    fuzz::feed(fuzz::freshLink(), frame.data(), size_t(n));
    return 0;
}

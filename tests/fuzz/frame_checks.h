#pragma once
// The PC-control road of one link for the fuzz targets, and the properties
// every encoded reply must have.

#include <cstdint>
#include <vector>

#include "core/utils.h"
#include "remote/pclink.h"
#include "remote/protocol_phy.h"
#include "tests/fuzz/fuzz_support.h"

namespace fuzz {

// `out` holds a whole encoded reply to `request` (the decoded request body):
// start and end byte, escapes only inside, a right checksum, the addresses
// exchanged and the command kept.
inline void checkReply(const uint8_t* out, int length, const std::vector<uint8_t>& request)
{
    FUZZ_CHECK(length >= 2 && length <= protocol_phy::kMaxEncoded);
    FUZZ_CHECK(out[0] == protocol_phy::kStart && out[length - 1] == protocol_phy::kEnd);
    std::vector<uint8_t> body(static_cast<size_t>(length));
    int n = protocol_phy::data_transf_meaning(out + 1, length - 2, body.data());
    FUZZ_CHECK(n >= protocol_phy::kMinBody && n <= protocol_phy::kMaxBody);
    FUZZ_CHECK(Utils::BCC(body.data(), unsigned(n - 1)) == body[size_t(n - 1)]);
    FUZZ_CHECK(le16(body.data()) == le16(request.data() + 2) && le16(body.data() + 2) == le16(request.data()));
    FUZZ_CHECK(body[protocol_phy::kCommandAt] == request[protocol_phy::kCommandAt]);
}

// The receive side of one link, as a link that has just started has it.
struct Link {
    protocol_phy phy;
    pclink::Buffers buf;
    message_deal handler;
};

inline Link& freshLink()
{
    static Link link;
    link.phy.resetCollector();
    return link;
}

// Runs every frame the link completes from `data` through the road.
inline void feed(Link& link, const uint8_t* data, size_t size)
{
    protocol_phy& phy = link.phy;
    pclink::Buffers& buf = link.buf;
    for (size_t i = 0; i < size; ++i) {
        if (!phy.collect(data[i]))
            continue;
        FUZZ_CHECK(phy.rawLength() >= 0 && phy.rawLength() <= protocol_phy::kMaxEncoded);
        // The handler answers in place; keep the request to compare.
        std::vector<uint8_t> request(phy.rawLength() + 1);
        int requestLength = protocol_phy::data_transf_meaning(phy.raw(), phy.rawLength(), request.data());
        int length = 0;
        switch (pclink::deal_frame(phy, link.handler, buf, &length)) {
        case pclink::Outcome::Reply:
            FUZZ_CHECK(requestLength >= protocol_phy::kMinBody);
            checkReply(buf.out.data(), length, request);
            break;
        case pclink::Outcome::Cards:
            FUZZ_CHECK(length == requestLength && length <= protocol_phy::kMaxBody);
            break;
        case pclink::Outcome::Dropped:
            break;
        }
    }
}

} // namespace fuzz

// Bytes from a cloud server, as they arrive: frames are cut out of the
// stream and checked; the commands among them are carried out and answered.
#include "core/config_engine.h"
#include "core/utils.h"
#include "remote/message_deal_cloud_4g.h"
#include "remote/protocol_phy_cloud_4g.h"
#include "tests/fuzz/fuzz_support.h"

#include <QByteArray>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    ConfigEngine::pInstance();
    protocol_phy_cloud_4g decoder;
    // The first byte chooses how the stream is cut into reads.
    const size_t piece = size ? 1 + data[0] % 64 : 1;
    for (size_t at = 0; at < size;) {
        size_t used = 0;
        const size_t n = std::min(piece, size - at);
        protocol_phy_cloud_4g::Result r = decoder.data_from_cloud_4g(data + at, n, &used);
        FUZZ_CHECK(used <= n);
        FUZZ_CHECK(used > 0 || r != protocol_phy_cloud_4g::Result::NeedMore);
        at += used;
        if (r != protocol_phy_cloud_4g::Result::Frame)
            continue;
        const std::vector<uint8_t>& payload = decoder.payload();
        FUZZ_CHECK(payload.size() == decoder.header().length);
        FUZZ_CHECK(payload.size() <= protocol_phy_cloud_4g::kMaxPayload);
        FUZZ_CHECK(Utils::calcCRC16(payload.data(), unsigned(payload.size())) == decoder.header().crc);
        if (decoder.header().type == protocol_phy_cloud_4g::kTypeCommand) {
            QByteArray command(reinterpret_cast<const char*>(payload.data()), int(payload.size()));
            std::vector<uint8_t> ack
                = message_deal_cloud_4g::Cloud_MSG_ACK(decoder.header().sequence, message_deal_4g::deal_json(command));
            FUZZ_CHECK(ack.size() >= size_t(protocol_phy_cloud_4g::kHeaderSize));
        }
    }
    return 0;
}

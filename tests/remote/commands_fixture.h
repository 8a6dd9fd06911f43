#pragma once
// The PC command handler in this process, with the parameter store and the
// scaler manager it reaches, and helpers that run whole transfers.

#include "tests/support/sandbox.h"

#include "core/md5.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "remote/file_transfer.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "scaler/c331_manage.h"
#include "tests/remote/pc_client.h"
#include "video_io/edid.h"

inline Bytes md5Of(const Bytes& data)
{
    MD5 md5(data.data(), data.size());
    return Bytes(md5.digest(), md5.digest() + 16);
}

inline Bytes randomBytes(size_t n, uint32_t seed)
{
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x);
    }
    return out;
}

// A display-name file of exactly n bytes (n of 120 or more): valid JSON, as
// the controller deletes any other at its next redraw, whose one name is
// random hexadecimal text.
inline Bytes aliasDocument(size_t n, uint32_t seed)
{
    const std::string head = "{\"filename\": \"/data/configs/alias.json\", \"namelist\": {\"source\": "
                             "[{\"id\": \"0\", \"valid\": \"off\", \"name\": \"";
    const std::string tail = "\"}]}}\n";
    std::string text = head;
    const Bytes noise = randomBytes(n - head.size() - tail.size(), seed);
    for (uint8_t b : noise)
        text += "0123456789abcdef"[b & 0x0F];
    text += tail;
    return Bytes(text.begin(), text.end());
}

// A whole EDID (base block and extension) for a standard timing.
inline Bytes edidTable(int w, int h, int rate)
{
    VideoTiming t;
    EXPECT_TRUE(standardTiming(w, h, rate, &t));
    Bytes e(kEdidSize);
    EXPECT_TRUE(edid_build(t, e.data()));
    return e;
}

class Commands : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        file_transfer::resetForTest();
        store = VyxRamPara::pInstance();
        // The request protocol alone: no scaler thread to take the request.
        scaler = c331_manage::createForTest();
    }
    void TearDown() override
    {
        file_transfer::resetForTest();
        Sandbox::TearDown();
    }

    // Runs one request; returns the reply data (status first), or nothing
    // when the handler does not answer.
    Bytes run(const Bytes& request, int capacity = protocol_phy::kMaxBody) { return runOn(handler, request, capacity); }
    static Bytes runOn(message_deal& h, const Bytes& request, int capacity = protocol_phy::kMaxBody)
    {
        Bytes buf(request);
        buf.resize(size_t(std::max<int>(capacity, int(request.size()))));
        int n = h.message_group_deal(buf.data(), int(request.size()), capacity);
        EXPECT_LT(n, capacity) << "no room left for the checksum";
        return n <= 0 ? Bytes{} : Bytes(buf.begin() + 10, buf.begin() + n);
    }
    Bytes command(uint8_t code, const Bytes& data) { return pc::control(code, data); }

    // A whole transfer; the first status that is not 0, else 0.
    static uint8_t send(message_deal& h, uint8_t type, const std::string& tag, const Bytes& data,
                        const std::string* name = nullptr, int block = file_transfer::kMaxBlock)
    {
        Bytes r = runOn(h, name ? pc::definedFileStart(type, tag, uint32_t(data.size()), *name)
                                : pc::fileStart(type, tag, uint32_t(data.size())));
        if (r.empty() || r[0] != 0)
            return r.empty() ? 0xEE : r[0];
        for (size_t at = 0; at < data.size(); at += size_t(block)) {
            Bytes piece(data.begin() + long(at), data.begin() + long(std::min(data.size(), at + size_t(block))));
            r = runOn(h, pc::fileBlock(uint32_t(at), piece));
            if (r.empty() || r[0] != 0)
                return r.empty() ? 0xEE : r[0];
        }
        r = runOn(h, pc::fileEnd(md5Of(data)));
        return r.empty() ? 0xEE : r[0];
    }
    uint8_t send(uint8_t type, const std::string& tag, const Bytes& data, const std::string* name = nullptr)
    {
        return send(handler, type, tag, data, name);
    }
    // A whole fetch; the data, or nothing with a failure.
    Bytes fetch(const Bytes& start)
    {
        Bytes r = run(start);
        if (r.size() != 5 || r[0] != 0) {
            ADD_FAILURE() << "start: " << ::testing::PrintToString(r);
            return {};
        }
        uint32_t size = le32(r.data() + 1);
        Bytes data;
        while (data.size() < size) {
            r = run(pc::readBlock(uint32_t(data.size()), file_transfer::kMaxBlock));
            if (r.size() < 2 || r[0] != 0) {
                ADD_FAILURE() << "block at " << data.size();
                return {};
            }
            data.insert(data.end(), r.begin() + 1, r.end());
        }
        r = run(pc::readEnd());
        EXPECT_EQ(r, pc::cat({{0}, md5Of(data), pc::u32(size)}));
        return data;
    }
    QByteArray bytes(const Bytes& b) const { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); }

    message_deal handler;
    VyxRamPara* store = nullptr;
    c331_manage* scaler = nullptr;
};

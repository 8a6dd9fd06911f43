// 100,000 frames mutated from valid requests of every command, fed to the
// command handler (two handlers and several peers, so that transfers are
// opened, continued, taken over and abandoned), with the FPGA manager on the
// simulated FPGAs and the scaler manager present. Each is answered within
// its buffer or not at all; a sanitizer build watches every access.
#include "tests/remote/commands_fixture.h"

#include <random>

#include "core/config_engine.h"
#include "core/globals.h"
#include "fpga/fpga_manage.h"
#include "platform/mtd.h"
#include "platform/shell.h"
#include "video_io/edid.h"

namespace {

std::vector<Bytes> validRequests()
{
    const Bytes edid = edidTable(1920, 1080, 60);
    const Bytes small = randomBytes(64, 21);
    const Bytes cloud = pc::cat({pc::named("x.org"), pc::u16(80), pc::named("u"), pc::named("n")});
    std::vector<Bytes> out = {
        pc::writeRam(2176, {50, 0}),
        pc::readRam(0x1000, 16),
        pc::writeRegister(11, 1, 1),
        pc::writeRegister(0, 0xFF, 0x11),
        pc::readRegister(30, 8),
        pc::control(0xC0, {}),
        pc::fileStart(5, "ALIS", 64),
        pc::definedFileStart(13, "TZFR", 64, "a.tzfile"),
        pc::definedFileStart(7, "EDID", 256, "1920x1080_60.bin"),
        pc::fileStart(2, "MTD8", 64),
        pc::fileBlock(0, small),
        pc::fileBlock(0, edid),
        pc::fileEnd(md5Of(small)),
        pc::fileEnd(md5Of(edid)),
        pc::readStart(5, "ALIS"),
        pc::readStart(3, "MTDA", 100),
        pc::readDefinedStart(13, "TZFR", "a.tzfile"),
        pc::readBlock(0, 32),
        pc::readEnd(),
        pc::deleteFile(13, "TZFR", "a.tzfile"),
        pc::deleteFile(7, "EDID"),
        pc::cloudBlock(1, 0, pc::text("SN1")),
        pc::cloudEnd(1, md5Of(pc::text("SN1"))),
        pc::cloudBlock(2, 0, cloud),
        pc::cloudEnd(2, md5Of(cloud)),
        pc::control(0xBB, pc::cat({{1}, pc::u16(1920), pc::u16(1080), pc::u16(60), edid})),
        pc::control(0xC1, {10, 0, 0, 5, 10, 0, 0, 1, 255, 255, 255, 0, 0x8D, 0x13}),
        pc::control(0xC2, {2, 0, 0, 0, 0, 1}),
        pc::control(0xC3, pc::named("10.0.0.5")),
        pc::control(0xC3, {}),
        pc::control(0xC4, pc::named("SN-1")),
        pc::control(0xC5, cloud),
        pc::control(0xC6, pc::cat({pc::u32(0x1F), {1}})),
        // The FPGAs and the scaler.
        pc::fpgaWriteRam(1, 0, 0, 19, small),
        pc::fpgaWriteRam(2, 0, 0, 0x800 + 40, {1, 2}),
        pc::fpgaReadRam(2, 1, 1, 0, 32),
        pc::fpgaWriteRam(1, 1, 2, 1000, {1, 2, 3}),
        pc::fpgaWriteRam(2, 2, 3, 100, {1, 2}),
        pc::fpgaReadRam(1, 2, 0, 0, 16),
        pc::fpgaWriteRam(1, 4, 0, 8, {9}),
        pc::fpgaReadRam(1, 5, 0, 24, 11),
        pc::fpgaWriteRam(1, 6, 0, 29, {0}),
        pc::writeRegister(3, 0x20, 0x20, 1),
        pc::writeRegister(80, 0xFF, 3, 1),
        pc::writeRegister(0, 0x04, 0x04, 2),
        pc::readRegister(28, 4, 2),
        pc::control(0xD0, {1}),
        pc::control(0xD1, {}),
        pc::control(0xD2, {}),
        pc::control(0xD3, {}),
        pc::control(0xD4, {}),
        pc::control(0xD5, pc::cat({pc::u32(16), pc::u16(1), {2}})),
        pc::control(0xD6, pc::cat({pc::u32(0x100), pc::u16(uint16_t(small.size())), small})),
        pc::control(0xD7, pc::cat({pc::u32(0x100), pc::u16(64)})),
        pc::control(0xD8, {}),
    };
    return out;
}

Bytes mutate(Bytes frame, std::mt19937& random)
{
    auto pick = [&](size_t n) { return n ? size_t(random() % n) : 0; };
    const int steps = 1 + int(random() % 4);
    for (int s = 0; s < steps; ++s) {
        switch (random() % 7) {
        case 0: // flip a bit
            if (!frame.empty())
                frame[pick(frame.size())] ^= uint8_t(1u << (random() % 8));
            break;
        case 1: // any byte, in the command's data most of the time
            if (frame.size() > 10)
                frame[10 + pick(frame.size() - 10)] = uint8_t(random());
            break;
        case 2: // an extreme value at a field's place
            if (frame.size() > 11) {
                static const uint8_t extremes[] = {0, 1, 0x7F, 0x80, 0xFE, 0xFF};
                frame[10 + pick(frame.size() - 10)] = extremes[pick(sizeof extremes)];
            }
            break;
        case 3: // cut short
            frame.resize(pick(frame.size() + 1));
            break;
        case 4: // longer
            for (size_t n = 1 + pick(64); n > 0; --n)
                frame.push_back(uint8_t(random()));
            break;
        case 5: // a byte more in the middle
            frame.insert(frame.begin() + long(pick(frame.size() + 1)), uint8_t(random()));
            break;
        case 6: // another command
            if (frame.size() > 9)
                frame[9] = uint8_t(0xB0 + pick(0x30));
            break;
        }
    }
    return frame;
}

class RandomFrames : public Commands {};

} // namespace

TEST_F(RandomFrames, HundredThousandMutatedRequestsAreAnsweredWithinBoundsOrNotAtAll)
{
    ConfigEngine::pInstance();
    platform::simMtd().declareBoard();
    platform::simShell().script("ifconfig eth0", 0, "eth0 HWaddr 02:00:00:00:00:01\n");
    fpga_manage::pInstance()->softinit();
    const std::vector<Bytes> seeds = validRequests();
    std::mt19937 random(20240611);
    message_deal second;
    message_deal* handlers[2] = {&handler, &second};
    int answered = 0;

    for (int i = 0; i < 100000; ++i) {
        Bytes frame = mutate(seeds[random() % seeds.size()], random);
        message_deal& h = *handlers[random() % 2];
        if (random() % 16 == 0)
            h.set_peer(random() % 3);
        if (random() % 64 == 0)
            G_timeTicks += random() % 4000;
        if (random() % 1024 == 0)
            file_transfer::expire();
        if (frame.size() < size_t(protocol_phy::kMinBody))
            frame.resize(protocol_phy::kMinBody);
        // The buffer is exactly as large as the handler is told, so that a
        // write past it is seen.
        const int capacity = std::max<int>(message_deal::kMinCapacity, int(frame.size())) +
                             int(random() % 2 ? random() % 64 : protocol_phy::kMaxBody);
        const int clamped = std::min(capacity, protocol_phy::kMaxBody);
        if (int(frame.size()) > clamped)
            frame.resize(size_t(clamped));
        std::vector<uint8_t> buf(static_cast<size_t>(clamped));
        std::copy(frame.begin(), frame.end(), buf.begin());
        int n = h.message_group_deal(buf.data(), int(frame.size()), clamped);
        ASSERT_GE(n, 0) << i;
        ASSERT_LT(n, clamped) << i << ": no room for the checksum";
        if (n > 0) {
            ASSERT_GE(n, protocol_phy::kDataAt + 1) << i;
            ++answered;
        }
    }
    // Most are answered (with a status), a few are not meant to be.
    EXPECT_GT(answered, 90000);
}

// A receiving card's answer as it arrives in a receive slot of the
// simulated FPGA 0, taken by one receive poll (the poll the PC links and the
// worker make). The input is four bytes of the state the answer meets, then
// the answer:
//   0  bits 0-2 the slot (0-4), bit 3 a PC request waits on the serial
//      link, bit 4 it went to every port, bit 5 to every card of each port,
//      bit 6 the recovery check waits for a search answer
//   1  the port the PC request went to (0xFF: none)
//   2  the PC request's command byte    3  its family byte
// One poll takes the answer and frees the slot; the PC gets it only when it
// answers the request waiting, rewritten in the port and source bytes only,
// its checksum as right or wrong as it came; the controller's own answers,
// the card table and the recovery check take only what the answer says.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_cards.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_manage.h"
#include "platform/fpga_sim.h"
#include "platform/sim_chips.h"
#include "platform/spi.h"
#include "remote/pclink.h"
#include "remote/protocol_phy.h"
#include "remote/uart_inout.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "video_io/zevlosource.h"

using namespace rcv;

namespace {

constexpr uint32_t kConfigId = 0x12345678;
constexpr int kSlots = 5;
constexpr int kCardSlots = 16;

struct Fixture {
    fpga_manage* m = nullptr;
    Tz_uart_inout* serial = nullptr;
    uint8_t image[fpga_manage::kRamImage] = {};
};

// FPGA 0 running with its links as the simulation has them, a serial PC
// link to take answers, four cards on port 0, one empty poll forced so that
// the link state in the image is settled.
Fixture& fixture()
{
    static Fixture* fx = nullptr;
    if (fx)
        return *fx;
    fx = new Fixture;
    fuzz::freshStore();
    platform::simSpiBus().setJournalLimit(0);
    zevlosource::pInstance()->setup_state[0] = 2;
    fx->m = fpga_manage::pInstance();
    fx->m->softinit();
    fx->m->write_to_register(80, 0xFF, 3, 0);
    fx->serial = Tz_uart_inout::pInstance();
    std::atexit([] { Tz_uart_inout::destroyForTest(); }); // its thread stopped before the process ends
    // Cards on port 0 only: an answer to a PC multicast from there completes it.
    putLe16(fpga_manage::MCU_RAM_PARA_func[0] + fpga_layout::kCardCount[0], 4);
    pthread_mutex_lock(&fx->m->rcv_mutex);
    fx->m->reg_IRQ_Dealwith(0, 1);
    pthread_mutex_unlock(&fx->m->rcv_mutex);
    std::memcpy(fx->image, fpga_manage::MCU_RAM_PARA_func[0], sizeof fx->image);
    return *fx;
}

bool sumOk(const uint8_t* b, size_t n) { return n > 0 && Utils::BCC(b, unsigned(n - 1)) == b[n - 1]; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5 || size - 4 > size_t(kMaxFrame))
        return 0;
    fuzz::begin();
    Fixture& fx = fixture();
    fpga_manage* m = fx.m;
    platform::SimFpga& sim = platform::simFpga(0);
    sim.clearLogs();

    const int slot = (data[0] & 7) % kSlots;
    const bool waiting = data[0] & 0x08, everyPort = data[0] & 0x10, portCards = data[0] & 0x20,
               checkWaits = data[0] & 0x40;
    const int port = data[1] == 0xFF ? -1 : data[1] & 0x1F;
    const uint8_t command = data[2], family = data[3];
    const std::vector<uint8_t> answer(data + 4, data + size);
    const size_t n = answer.size();

    pthread_mutex_lock(&m->rcv_mutex);
    uint8_t* image = fpga_manage::MCU_RAM_PARA_func[0];
    std::memcpy(image, fx.image, sizeof fx.image);
    m->write_to_register(80, 0xFF, 3, 0);
    m->ctrl_answer = RCV_CTRL_ANSWER();
    m->search_reply_mask = 0;
    m->expected_command = command;
    m->expected_port = everyPort ? -1 : port;
    m->expected_family = family;
    m->answered_ports = 0;
    m->broadcast_kind = portCards ? 1 : 0;
    m->multicast_sent = everyPort ? 1 : 0;
    {
        QMutexLocker lock(&Utils::_fpga_multicast_mutex);
        m->multicast = everyPort ? 1 : 0;
    }
    m->answer_arrived = 0;
    m->rcv_check_waiting = checkWaits;
    m->p_rcvRecovery->screen_info.config_id = kConfigId;
    fx.serial->ReplyList.clear();
    g_passby_trans_port = waiting ? pclink::kTransportSerial : 255;
    g_send_para.reply = 0;
    g_send_para.result = 0xBEEF;

    sim.queueAnswer(slot, answer);
    m->reg_IRQ_Dealwith(0, 0);

    // The slot is free again: one poll takes what it holds.
    FUZZ_CHECK(sim.queuedAnswers(slot) == 0);
    FUZZ_CHECK(platform::simSpiBus().busErrors().empty());

    const bool valid = n >= size_t(kMinFrame) && sumOk(answer.data(), n);
    const uint16_t destination = n >= 2 ? le16(answer.data()) : 0;
    const uint16_t source = n >= 4 ? le16(answer.data() + 2) : 0;
    const bool frame = n >= size_t(kMinFrame);

    // To the PC only an answer to the request waiting, only its port, source
    // and collective bytes changed, its checksum kept as it came.
    auto& list = fx.serial->ReplyList;
    FUZZ_CHECK(list.size() <= 1);
    if (!list.empty()) {
        FUZZ_CHECK(waiting && frame && m->answer_arrived.load() == 1);
        FUZZ_CHECK(g_passby_trans_port.load() == 255);
        const SerialReplyRecord& r = *list.front();
        FUZZ_CHECK(r.length >= 2 && r.length <= sizeof r.frame);
        FUZZ_CHECK(r.frame[0] == protocol_phy::kStart && r.frame[r.length - 1] == protocol_phy::kEnd);
        std::vector<uint8_t> body(r.length);
        const int got = protocol_phy::data_transf_meaning(r.frame + 1, int(r.length) - 2, body.data());
        FUZZ_CHECK(got == int(n));
        for (size_t i = 0; i + 1 < n; ++i)
            if (i != 2 && i != 3 && i != 7)
                FUZZ_CHECK(body[i] == answer[i]);
        FUZZ_CHECK(sumOk(body.data(), n) == sumOk(answer.data(), n));
        FUZZ_CHECK(body[9] == command);
        FUZZ_CHECK(port < 0 || everyPort || body[7] == port + 1);
        if (!everyPort && answer[7] != kMulticastPort)
            FUZZ_CHECK(body[2] == answer[2] && body[3] == (answer[3] & 0xCF));
    } else {
        FUZZ_CHECK(m->answer_arrived.load() == 0);
    }

    // The controller's own answers: what it asked for, bounded by the store.
    RCV_CTRL_ANSWER own;
    if (m->take_controller_answer(&own)) {
        FUZZ_CHECK(frame && destination == kController);
        FUZZ_CHECK(own.command == answer[9] && (own.command == kReadRam || own.command == kWriteRegister));
        FUZZ_CHECK(own.length == std::min(n - kHead, sizeof own.data));
        FUZZ_CHECK(std::memcmp(own.data, answer.data() + kHead, own.length) == 0);
    }

    // A card's reply to a job: a card answering the controller.
    if (g_send_para.reply.load() == 1)
        FUZZ_CHECK(frame && destination >= kController && destination <= kControllerLast && source < kCardsEnd &&
                   answer[5] == kFamilyCard);

    // Only this slot's search answer is counted.
    FUZZ_CHECK((m->search_reply_mask & ~(1u << slot)) == 0);
    if (m->search_reply_mask)
        FUZZ_CHECK(valid && destination == kController && answer[9] == kSearchCards);

    // The recovery check learns a card only from a search answer for its
    // screen while it waits.
    if (g_send_para.result.load() != 0xBEEF)
        FUZZ_CHECK(checkWaits && valid && n >= 23 && destination == kController && answer[9] == kSearchCards &&
                   answer[10] == 0 && le32(answer.data() + 18) == kConfigId && g_send_para.result.load() == answer[22]);

    // The card table takes the count and status the answer names, nothing
    // else of the image changes.
    uint8_t expected[sizeof fx.image];
    std::memcpy(expected, fx.image, sizeof expected);
    for (int p = 0; p < kCardSlots; ++p) {
        const int c = fpga_layout::kCardCount[p], s = fpga_layout::kCardStatus[p];
        const bool same = image[c] == expected[c] && image[c + 1] == expected[c + 1] && image[s] == expected[s];
        if (!same)
            FUZZ_CHECK(valid && answer[9] == kSearchCards && answer[10] == 0 && image[c] == answer[11] &&
                       image[c + 1] == answer[12] && image[s] == answer[13]);
        expected[c] = image[c];
        expected[c + 1] = image[c + 1];
        expected[s] = image[s];
    }
    FUZZ_CHECK(std::memcmp(image, expected, sizeof expected) == 0);

    list.clear();
    m->answer_arrived = 0;
    m->rcv_check_waiting = false;
    g_passby_trans_port = 255;
    pthread_mutex_unlock(&m->rcv_mutex);
    return 0;
}

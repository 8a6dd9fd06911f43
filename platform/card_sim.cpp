// The simulated receiving-card chains and the file a person sets them in.
#include "platform/card_sim.h"

#include "platform/platform.h"
#include "platform/sim_file.h"
#include "platform/sim_chips.h"
#include "platform/spi.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <sstream>

namespace platform {

namespace {
constexpr uint16_t kEveryCard = 0x0FFF;
constexpr uint16_t kPortCards = 0x0FFE;
constexpr uint16_t kMultiFunction = 0x4000;
constexpr int kHead = 10;          // destination .. command
constexpr int kMaxAnswer = 1024;   // the receive slot's length field holds 10 bits
constexpr int kMaxRead = kMaxAnswer - kHead - 2;
constexpr uint32_t kPositionAt = 0x180;

constexpr uint8_t kSearch = 0x10, kWriteRam = 0x60, kReadRam = 0x61, kWriteRegs = 0xA0, kSave = 0x81,
                  kReconfigure = 0x84, kActivate = 0xB4;
constexpr uint8_t kDone = 0, kRefused = 1;

const char* const kCardsFile = "/sim/cards";
const char kTemplate[] =
    "# Receiving cards behind the simulated output ports; reread while the\n"
    "# program runs. One line per output port as the panel numbers them\n"
    "# (1-10 on FPGA 0, 11-20 on FPGA 1):\n"
    "#   <port> <cards> [sensor] [id=<configuration id>] [lost=<card>]... [mute=<card>]...\n"
    "#          [silent | badsum | late=<polls> | drop=<answers>]\n"
    "#   <port> off\n"
    "# A port named here has a link; \"off\" takes its cable out. Cards count\n"
    "# from 0; \"lost\" makes a card forget its set-up (it then needs recovery),\n"
    "# \"mute\" makes it never answer. Ports not named keep what they have; at\n"
    "# start ports 1-4 carry 4 cards each (a light-sensor card on port 1) and\n"
    "# ports 11-12 two cards each. Example:\n"
    "#   5 8 id=0x1234 lost=3\n";

uint8_t xorOf(const std::vector<uint8_t>& b, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n && i < b.size(); ++i)
        x ^= b[i];
    return x;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> defaultSensorData()
{
    std::vector<uint8_t> d(SimCardChains::kSensorBytes, 0);
    d[49] = 0xFF;
    d[53] = 0x80;
    return d;
}

// The answer's head: the request's header with destination and source
// exchanged, the answering address as source, and a status byte.
std::vector<uint8_t> answerHead(const std::vector<uint8_t>& request, uint16_t from, uint8_t status)
{
    std::vector<uint8_t> a(request.begin(), request.begin() + kHead);
    a[0] = request[2];
    a[1] = request[3];
    a[2] = uint8_t(from);
    a[3] = uint8_t(from >> 8);
    a[8] = 0;
    a.push_back(status);
    return a;
}

// ---- the file ----
struct CardsFile {
    // Looked at when the FPGA worker reads the link registers, which it
    // does several times a second: once a second is soon enough for a
    // person.
    SimFileWatch watch{kCardsFile, kTemplate, std::chrono::seconds(1)};
    std::map<int, std::string> applied; // port (1-20) -> its line as last applied
};
CardsFile& cardsFile()
{
    static CardsFile f;
    return f;
}

bool number(const std::string& text, long* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return false;
    *out = v;
    return true;
}

void applyLine(int outPort, const std::string& line)
{
    int f = (outPort - 1) / 10, p = (outPort - 1) % 10;
    SimCardChains& chains = simCards(f);
    SimFpga& fpga = simFpga(f);
    std::istringstream words(line);
    std::string w;
    words >> w; // the port
    words >> w;
    if (w == "off") {
        fpga.setLinks(uint16_t(fpga.links() & ~(1u << p)));
        chains.setCards(p, 0);
        chains.setSensor(p, false);
        return;
    }
    long count = 0;
    if (!number(w, &count))
        return;
    fpga.setLinks(uint16_t(fpga.links() | (1u << p)));
    chains.setCards(p, int(count));
    bool sensor = false;
    SimAnswerPolicy policy = SimAnswerPolicy::Normal;
    long k = 0;
    while (words >> w) {
        size_t eq = w.find('=');
        std::string key = w.substr(0, eq), value = eq == std::string::npos ? "" : w.substr(eq + 1);
        long v = 0;
        if (w == "sensor")
            sensor = true;
        else if (w == "silent")
            policy = SimAnswerPolicy::Silent;
        else if (w == "badsum")
            policy = SimAnswerPolicy::BadChecksum;
        else if (key == "late" && number(value, &v))
            policy = SimAnswerPolicy::Late, k = v;
        else if (key == "drop" && number(value, &v))
            policy = SimAnswerPolicy::DropFirst, k = v;
        else if (key == "id" && number(value, &v))
            chains.setConfigId(p, uint32_t(v));
        else if (key == "lost" && number(value, &v))
            chains.loseSetup(p, int(v));
        else if (key == "mute" && number(value, &v))
            chains.setCardSilent(p, int(v), true);
    }
    chains.setSensor(p, sensor);
    chains.setPolicy(p, policy, int(k));
}

// Applies the lines that changed since the last look.
void applyFile(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    std::map<int, std::string> now;
    while (std::getline(lines, line)) {
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string first;
        long port = 0;
        if (!(words >> first) || !number(first, &port) || port < 1 || port > 20)
            continue;
        now[int(port)] = line;
    }
    CardsFile& f = cardsFile();
    for (const auto& [port, text] : now) {
        auto it = f.applied.find(port);
        if (it != f.applied.end() && it->second == text)
            continue;
        applyLine(port, text);
    }
    f.applied = now;
}

// Bus lock held.
void pollCardsFile()
{
    std::string text;
    if (cardsFile().watch.poll(&text))
        applyFile(text);
}
} // namespace

// ---------------------------------------------------------------------------
// A card

uint8_t SimCard::ramByte(uint32_t addr) const
{
    auto it = ram.find(addr);
    return it == ram.end() ? 0 : it->second;
}

uint16_t SimCard::x() const { return uint16_t(ramByte(kPositionAt) | ramByte(kPositionAt + 1) << 8); }
uint16_t SimCard::y() const { return uint16_t(ramByte(kPositionAt + 2) | ramByte(kPositionAt + 3) << 8); }

// ---------------------------------------------------------------------------
// The chains

SimCardChains::SimCardChains(int fpga)
    : m_fpga(fpga)
{
    reset();
}

SimCardChains::Port SimCardChains::freshPort()
{
    Port p;
    p.sensorData = defaultSensorData();
    return p;
}

void SimCardChains::reset()
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    for (Port& p : m_ports)
        p = freshPort();
    if (m_fpga == 0) {
        for (int p = 0; p < 4; ++p)
            m_ports[p].cards.resize(4);
        m_ports[0].sensor = true;
    } else {
        for (int p = 0; p < 2; ++p)
            m_ports[p].cards.resize(2);
    }
    cardsFile().watch.forget();
    cardsFile().applied.clear();
}

SimCardChains::Port* SimCardChains::port(int p) { return p >= 0 && p < kPorts ? &m_ports[p] : nullptr; }
const SimCardChains::Port* SimCardChains::port(int p) const { return p >= 0 && p < kPorts ? &m_ports[p] : nullptr; }

void SimCardChains::refresh(SimFpga&) { pollCardsFile(); }

void SimCardChains::answer(SimFpga& fpga, int p, std::vector<uint8_t> a)
{
    Port& P = m_ports[p];
    a.push_back(xorOf(a, a.size()));
    int delay = 0;
    switch (P.policy) {
    case SimAnswerPolicy::Normal:
        break;
    case SimAnswerPolicy::Silent:
        return;
    case SimAnswerPolicy::BadChecksum:
        a.back() ^= 0xFF;
        break;
    case SimAnswerPolicy::Late:
        delay = P.k;
        break;
    case SimAnswerPolicy::DropFirst:
        if (P.dropped < P.k) {
            ++P.dropped;
            return;
        }
        break;
    }
    ++P.answers;
    fpga.queueAnswer(p / 2, a, delay);
}

void SimCardChains::frameSent(SimFpga& fpga, int p, const std::vector<uint8_t>& f)
{
    pollCardsFile();
    Port* P = port(p);
    size_t n = f.size();
    if (!P || n < kHead + 1 || xorOf(f, n - 1) != f[n - 1])
        return;
    const uint16_t destination = le16(f, 0);
    const uint16_t portBits = uint16_t((p & 3) << 12);
    const uint8_t command = f[9];
    const size_t argsEnd = n - 1; // the checksum follows the arguments
    auto args = [&](size_t at) { return at < argsEnd ? argsEnd - at : 0; };
    // 0x60 and 0x61: u32 address at 10, u16 length at 14.
    auto ramRequest = [&](uint32_t* addr, uint32_t* len) {
        if (args(10) < 6)
            return false;
        *addr = le32(f, 10);
        *len = le16(f, 14);
        return true;
    };

    if (destination & kMultiFunction) {
        if (!P->sensor)
            return;
        const uint16_t self = uint16_t(kMultiFunction | portBits);
        uint32_t addr = 0, len = 0;
        if (command == kReadRam) {
            ++P->sensorReads;
            if (!ramRequest(&addr, &len) || len > uint32_t(kMaxRead)) {
                answer(fpga, p, answerHead(f, self, kRefused));
                return;
            }
            std::vector<uint8_t> a = answerHead(f, self, kDone);
            for (uint32_t i = 0; i < len; ++i) {
                uint32_t at = addr + i;
                if (at >= kSensorAddress && at < kSensorAddress + kSensorBytes)
                    a.push_back(P->sensorData[at - kSensorAddress]);
                else
                    a.push_back(P->sensorRam.count(at) ? P->sensorRam[at] : 0);
            }
            answer(fpga, p, std::move(a));
            return;
        }
        if (command == kWriteRam && ramRequest(&addr, &len) && args(18) >= len)
            for (uint32_t i = 0; i < len; ++i)
                P->sensorRam[addr + i] = f[18 + i];
        answer(fpga, p, answerHead(f, self, kDone));
        return;
    }

    if (P->cards.empty())
        return; // nothing on the cable answers
    const uint16_t index = destination & 0x0FFF;
    int first = 0, last = int(P->cards.size()) - 1;
    if (index != kEveryCard && index != kPortCards) {
        if (index > last)
            return;
        first = last = index;
    }
    uint8_t status = kDone;
    for (int c = first; c <= last; ++c)
        ++P->cards[size_t(c)].frames;

    switch (command) {
    case kSearch:
        break;
    case kWriteRam: {
        uint32_t addr = 0, len = 0;
        if (!ramRequest(&addr, &len) || args(18) < len) {
            status = kRefused;
            break;
        }
        for (int c = first; c <= last; ++c) {
            SimCard& card = P->cards[size_t(c)];
            for (uint32_t i = 0; i < len; ++i)
                card.ram[addr + i] = f[18 + i];
            card.written = card.written || card.needs_recovery;
        }
        break;
    }
    case kReadRam: {
        uint32_t addr = 0, len = 0;
        if (!ramRequest(&addr, &len) || len > uint32_t(kMaxRead))
            status = kRefused;
        break;
    }
    case kWriteRegs: {
        size_t have = args(10);
        if (have < 3) {
            status = kRefused;
            break;
        }
        uint8_t reg = f[10], mask = f[11];
        size_t count = std::min<size_t>(f[12], have - 3);
        for (int c = first; c <= last; ++c) {
            SimCard& card = P->cards[size_t(c)];
            for (size_t i = 0; i < count; ++i) {
                uint8_t& r = card.regs[uint8_t(reg + i)];
                r = uint8_t((r & ~mask) | (f[13 + i] & mask));
            }
            card.written = card.written || card.needs_recovery;
        }
        break;
    }
    case kSave:
        for (int c = first; c <= last; ++c) {
            SimCard& card = P->cards[size_t(c)];
            card.flash = card.ram;
            ++card.saves;
            if (card.needs_recovery && card.written)
                card.needs_recovery = card.written = false;
        }
        break;
    case kReconfigure:
        for (int c = first; c <= last; ++c) {
            SimCard& card = P->cards[size_t(c)];
            card.ram = card.flash;
            ++card.reconfigs;
        }
        break;
    case kActivate:
        for (int c = first; c <= last; ++c)
            ++P->cards[size_t(c)].activations;
        break;
    default:
        break;
    }

    const SimCard& from = P->cards[size_t(last)];
    if (from.silent)
        return;
    std::vector<uint8_t> a = answerHead(f, uint16_t(last | portBits), status);
    if (command == kSearch) {
        uint16_t count = uint16_t(P->cards.size());
        uint8_t lost = 0xFF;
        for (size_t c = 0; c < P->cards.size() && c < 0xFF; ++c) {
            if (P->cards[c].needs_recovery) {
                lost = uint8_t(c);
                break;
            }
        }
        uint32_t id = P->cards[0].config_id;
        a.insert(a.end(), {uint8_t(count), uint8_t(count >> 8), uint8_t(P->sensor ? 1 : 0), 0, 0, 0, 0,
                           uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24), lost});
    } else if (command == kReadRam && status == kDone) {
        uint32_t addr = le32(f, 10), len = le16(f, 14);
        for (uint32_t i = 0; i < len; ++i)
            a.push_back(from.ramByte(addr + i));
    }
    answer(fpga, p, std::move(a));
}

// ---------------------------------------------------------------------------
// Set-up and state

void SimCardChains::setCards(int p, int count)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    Port* P = port(p);
    if (!P)
        return;
    count = count < 0 ? 0 : count > kMaxCards ? kMaxCards : count;
    uint32_t id = P->cards.empty() ? 0 : P->cards[0].config_id;
    size_t old = P->cards.size();
    P->cards.resize(size_t(count));
    for (size_t c = old; c < P->cards.size(); ++c)
        P->cards[c].config_id = id;
}

void SimCardChains::setSensor(int p, bool present)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (Port* P = port(p))
        P->sensor = present;
}

void SimCardChains::setSensorData(int p, const std::vector<uint8_t>& data)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (Port* P = port(p)) {
        P->sensorData = data;
        P->sensorData.resize(kSensorBytes, 0);
    }
}

void SimCardChains::setConfigId(int p, uint32_t id)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (Port* P = port(p))
        for (SimCard& c : P->cards)
            c.config_id = id;
}

void SimCardChains::loseSetup(int p, int card)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    Port* P = port(p);
    if (!P || card < 0 || size_t(card) >= P->cards.size())
        return;
    SimCard& c = P->cards[size_t(card)];
    c.ram.clear();
    c.flash.clear();
    std::fill(std::begin(c.regs), std::end(c.regs), 0);
    c.needs_recovery = true;
    c.written = false;
}

void SimCardChains::setCardSilent(int p, int card, bool silent)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    Port* P = port(p);
    if (P && card >= 0 && size_t(card) < P->cards.size())
        P->cards[size_t(card)].silent = silent;
}

void SimCardChains::setPolicy(int p, SimAnswerPolicy policy, int k)
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    if (Port* P = port(p)) {
        P->policy = policy;
        P->k = k < 0 ? 0 : k;
        P->dropped = 0;
    }
}

int SimCardChains::cards(int p) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    const Port* P = port(p);
    return P ? int(P->cards.size()) : 0;
}

bool SimCardChains::hasSensor(int p) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    const Port* P = port(p);
    return P && P->sensor;
}

SimCard SimCardChains::card(int p, int index) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    const Port* P = port(p);
    if (!P || index < 0 || size_t(index) >= P->cards.size())
        return SimCard();
    return P->cards[size_t(index)];
}

int SimCardChains::answers(int p) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    const Port* P = port(p);
    return P ? P->answers : 0;
}

int SimCardChains::sensorReads(int p) const
{
    std::lock_guard<std::recursive_mutex> lock(simSpiBus().mutex());
    const Port* P = port(p);
    return P ? P->sensorReads : 0;
}

SimCardChains& simCards(int fpga)
{
    static SimCardChains chains0(0), chains1(1);
    return fpga == 0 ? chains0 : chains1;
}

void attachSimCards()
{
    simFpga(0).setDefaultPortPairs(&simCards(0));
    simFpga(1).setDefaultPortPairs(&simCards(1));
}

} // namespace platform

// The simulated SPI bus and SoC register window. Chip models attach to
// spidev nodes and watch pads; the bus journals everything that crosses it.
#include "platform/spi.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

Spi& linuxSpi();
SocWindow& linuxSocWindow();

Spi& spi()
{
    if (isDevice())
        return linuxSpi();
    return simSpiBus();
}

SocWindow& socWindow()
{
    if (isDevice())
        return linuxSocWindow();
    return simSpiBus();
}

SimSpiBus& simSpiBus()
{
    static SimSpiBus instance;
    return instance;
}

namespace {
// Descriptors of the simulated nodes, far from any real descriptor so a
// mix-up shows.
constexpr int kFdBase = 7000;
constexpr size_t kDefaultJournal = 4096;

bool knownNode(const std::string& path)
{
    static const char* const nodes[] = {"/dev/spidev32766.0", "/dev/spidev32766.1", "/dev/spidev32766.2",
                                        "/dev/spidev32766.3", "/dev/spidev32766.4"};
    return std::find_if(std::begin(nodes), std::end(nodes), [&](const char* n) { return path == n; }) !=
           std::end(nodes);
}
} // namespace

SimSpiBus::SimSpiBus() : m_journalLimit(kDefaultJournal) {}

SimSpiBus::Node* SimSpiBus::node(int fd)
{
    size_t i = size_t(fd - kFdBase);
    if (fd < kFdBase || i >= m_nodes.size() || !m_nodes[i].open)
        return nullptr;
    return &m_nodes[i];
}

int SimSpiBus::open(const std::string& devPath)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!knownNode(devPath) ||
        std::find(m_failOpen.begin(), m_failOpen.end(), devPath) != m_failOpen.end())
        return -1;
    Node n;
    n.path = devPath;
    n.open = true;
    m_nodes.push_back(n);
    return kFdBase + int(m_nodes.size() - 1);
}

void SimSpiBus::close(int fd)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Node* n = node(fd))
        n->open = false;
}

template <class F>
int SimSpiBus::onNode(int fd, F f)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* n = node(fd);
    if (!n)
        return -1;
    f(*n);
    return 0;
}

int SimSpiBus::setMode(int fd, uint8_t mode) { return onNode(fd, [&](Node& n) { n.mode = mode; }); }
int SimSpiBus::getMode(int fd, uint8_t* mode) { return onNode(fd, [&](Node& n) { *mode = n.mode; }); }
int SimSpiBus::setBitsPerWord(int fd, uint8_t bits) { return onNode(fd, [&](Node& n) { n.bits = bits; }); }
int SimSpiBus::getBitsPerWord(int fd, uint8_t* bits) { return onNode(fd, [&](Node& n) { *bits = n.bits; }); }
int SimSpiBus::setMaxSpeed(int fd, uint32_t hz) { return onNode(fd, [&](Node& n) { n.speed = hz; }); }
int SimSpiBus::getMaxSpeed(int fd, uint32_t* hz) { return onNode(fd, [&](Node& n) { *hz = n.speed; }); }

int SimSpiBus::transfer(int fd, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* n = node(fd);
    if (!n || !tx || len == 0)
        return -1;
    // Nothing a chip does in a transfer opens a node, so the name stays put.
    const std::string& path = n->path;
    ++m_transfers;
    if (rx)
        std::memset(rx, 0xFF, len);
    SimSpiDevice* dev = nullptr;
    for (auto& d : m_devices)
        if (d.first == path)
            dev = d.second;
    if (dev)
        dev->transfer(path, tx, rx, len, speedHz);
    if (m_journalLimit > 0) {
        Event e;
        e.kind = Event::Transfer;
        e.node = path;
        e.speedHz = speedHz;
        e.fullDuplex = rx != nullptr;
        e.tx.assign(tx, tx + len);
        if (rx)
            e.rx.assign(rx, rx + len);
        record(std::move(e));
    }
    if (!dev) {
        busError("transfer on " + path + " with no chip behind it");
        return -1;
    }
    return int(len);
}

SocWindow::MapResult SimSpiBus::map()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_failMap != Mapped)
        return m_failMap;
    m_mapped = true;
    return Mapped;
}

bool SimSpiBus::mapped() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_mapped;
}

uint32_t SimSpiBus::length() const { return mapped() ? kWindowLength : 0; }

void SimSpiBus::write16(uint32_t offset, uint16_t value) { write32(offset, value); }

uint16_t SimSpiBus::read16(uint32_t offset) { return uint16_t(read32(offset)); }

void SimSpiBus::write32(uint32_t offset, uint32_t value)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_mapped || offset >= kWindowLength) {
        busError("pad write to an unmapped window");
        return;
    }
    m_pads[offset] = value;
    if (m_journalLimit > 0) {
        Event e;
        e.kind = Event::PadWrite;
        e.offset = offset;
        e.value = value;
        record(std::move(e));
    }
    for (auto& w : m_watchers)
        if (w.first == offset)
            w.second->padWritten(offset, uint16_t(value));
}

uint32_t SimSpiBus::read32(uint32_t offset)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_mapped || offset >= kWindowLength)
        return 0;
    uint32_t value = pad(offset);
    for (auto& w : m_watchers)
        if (w.first == offset)
            w.second->padRead(offset);
    return value;
}

void SimSpiBus::attach(const std::string& node, SimSpiDevice* device)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_devices.erase(std::remove_if(m_devices.begin(), m_devices.end(),
                                   [&](const auto& d) { return d.first == node; }),
                    m_devices.end());
    if (device)
        m_devices.emplace_back(node, device);
}

void SimSpiBus::detach(SimSpiDevice* device)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto mine = [&](const auto& entry) { return entry.second == device; };
    m_devices.erase(std::remove_if(m_devices.begin(), m_devices.end(), mine), m_devices.end());
    m_watchers.erase(std::remove_if(m_watchers.begin(), m_watchers.end(), mine), m_watchers.end());
}

void SimSpiBus::watchPad(uint32_t offset, SimSpiDevice* device)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto& w : m_watchers)
        if (w.first == offset && w.second == device)
            return;
    m_watchers.emplace_back(offset, device);
}

uint16_t SimSpiBus::pad(uint32_t offset) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_pads.find(offset);
    return it == m_pads.end() ? kPadIdle : uint16_t(it->second);
}

void SimSpiBus::drivePad(uint32_t offset, uint16_t value)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_pads[offset] = value;
}

void SimSpiBus::busError(const std::string& what)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_errors.size() < 1000)
        m_errors.push_back(what);
}

std::vector<std::string> SimSpiBus::busErrors() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_errors;
}

void SimSpiBus::record(Event&& e)
{
    if (m_journal.size() < m_journalLimit) {
        m_journal.push_back(std::move(e));
        return;
    }
    m_journal[m_journalStart] = std::move(e);
    m_journalStart = (m_journalStart + 1) % m_journal.size();
}

void SimSpiBus::setJournalLimit(size_t limit)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Event> kept = journal();
    if (kept.size() > limit)
        kept.erase(kept.begin(), kept.end() - long(limit));
    m_journal = std::move(kept);
    m_journalStart = 0;
    m_journalLimit = limit;
}

size_t SimSpiBus::journalLimit() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_journalLimit;
}

std::vector<SimSpiBus::Event> SimSpiBus::journal() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Event> out;
    out.reserve(m_journal.size());
    for (size_t i = 0; i < m_journal.size(); ++i)
        out.push_back(m_journal[(m_journalStart + i) % m_journal.size()]);
    return out;
}

std::vector<SimSpiBus::Event> SimSpiBus::transfers(const std::string& node) const
{
    std::vector<Event> out;
    for (Event& e : journal())
        if (e.kind == Event::Transfer && (node.empty() || e.node == node))
            out.push_back(std::move(e));
    return out;
}

uint64_t SimSpiBus::transferCount() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_transfers;
}

void SimSpiBus::clearJournal()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_journal.clear();
    m_journalStart = 0;
}

void SimSpiBus::failMap(MapResult result)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_failMap = result;
}

void SimSpiBus::failOpen(const std::string& node, bool fail)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = std::find(m_failOpen.begin(), m_failOpen.end(), node);
    if (fail && it == m_failOpen.end())
        m_failOpen.push_back(node);
    else if (!fail && it != m_failOpen.end())
        m_failOpen.erase(it);
}

void SimSpiBus::reset()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_nodes.clear();
    m_pads.clear();
    m_journal.clear();
    m_journalStart = 0;
    m_journalLimit = kDefaultJournal;
    m_transfers = 0;
    m_errors.clear();
    m_failOpen.clear();
    m_failMap = Mapped;
    m_mapped = false;
    for (auto& d : m_devices)
        d.second->reset();
}

} // namespace platform

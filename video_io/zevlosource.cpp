#include "video_io/zevlosource.h"
#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/i2c_devices.h"
#include "platform/platform.h"
#include "scaler/c331_manage.h"
#include "video_io/edid.h"
#include "video_io/video_timing.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutexLocker>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

zevlosource* zevlosource::p_zevlo_source = nullptr;

namespace {
// ---- parameter image ----
constexpr int kImgInputTiming = 256;   // input i: width, height, rate (u16) at 256 + 6i
constexpr int kImgEdidRequest = 896;   // input i: width, height, rate (u16) at 896 + 6i
constexpr int kImgAudioImage = 2112;   // u16: index of the image whose sound is output
constexpr int kImgImages = 2272;       // 26-byte image records
constexpr int kImageRecords = 16;
constexpr int kImageRecordSize = 26;
constexpr int kRecSource = 8;          // bit 15: bits 0..7 name a crop entry
constexpr int kRecSound = 20;          // bit 15: sound on

// ---- local registers ----
constexpr int kRegHotplug = 0;  // bits 0..3: hot-plug input i; bits 4..7: re-initialise its receiver
constexpr int kRegCommand = 32; // bit 0: repeat the EDID check; bit 1: probe and set up the links again
constexpr int kRegSdi = 37;     // bit 1: SDI-path transmitter present
constexpr int kRegEdid = 38;    // bits 0..3: EDID memory i answered; 5, 6: multiplexers answered
constexpr int kRegTx = 39;      // bits 1, 2: HDMI transmitters present

constexpr uint8_t kCmdEdidCheck = 0x01;
constexpr uint8_t kCmdLinks = 0x02;

// ---- pacing (10 ms ticks) ----
constexpr unsigned kHpdLowTicks = 10;     // a hot-plug pulse holds the line low this long
constexpr unsigned kLinkRetryTicks = 100; // a link that is not up is tried again after this
// The receivers are looked at every quarter second: each look switches the
// multiplexers, the bus is slow, and a receiver takes longer than that to
// lock to a new source anyway. Between looks the thread sleeps until a
// request (a hot-plug or command register, an EDID or audio flag) wakes
// it, or a tick at a time while a hot-plug pulse holds a line low.
constexpr auto kLookPause = std::chrono::milliseconds(250);
constexpr auto kTickPause = std::chrono::milliseconds(10);
constexpr unsigned kEepromWriteMs = 5;    // write cycle of one EDID memory page

const uint8_t kAudioSelect[zevlosource::kInputs] = {64, 32, 16, 4};

uint8_t regLoad(VyxRamPara* s, int r) { return __atomic_load_n(&s->local_reg[r], __ATOMIC_RELAXED); }

void regClear(VyxRamPara* s, int r, uint8_t bits)
{
    __atomic_fetch_and(&s->local_reg[r], uint8_t(~bits), __ATOMIC_RELAXED);
}

void regPut(VyxRamPara* s, int r, int bit, bool on)
{
    if (on)
        __atomic_fetch_or(&s->local_reg[r], uint8_t(1u << bit), __ATOMIC_RELAXED);
    else
        regClear(s, r, uint8_t(1u << bit));
}

// Clearing a request bit of r0 is done under the shell lock, as the PC's
// register writes are.
void clearRequest(VyxRamPara* s, int r, uint8_t bits)
{
    QMutexLocker lock(&Utils::_system_mutex);
    regClear(s, r, bits);
}

uint32_t byteMask(int input) { return 0xFFu << (8 * input); }

HDMI_INFO noSignalRecord()
{
    HDMI_INFO rec;
    std::memset(&rec, 0, sizeof rec);
    rec.nosignal = 1;
    return rec;
}
} // namespace

zevlosource::zevlosource()
    : m_store(VyxRamPara::pInstance())
    , m_it6602{{m_bus, *this, 0}, {m_bus, *this, 1}, {m_bus, *this, 2}}
    , m_ite6805_drv(m_bus, *this)
    , m_ite6805_sys(m_bus, m_ite6805_drv)
{
    for (HDMI_INFO& rec : hdminfo)
        rec = noSignalRecord();
    for (auto& s : setup_state)
        s = 0;
    pthread_mutex_init(&m_mutex, nullptr);
}

zevlosource::~zevlosource() { pthread_mutex_destroy(&m_mutex); }

zevlosource* zevlosource::pInstance()
{
    if (!p_zevlo_source)
        p_zevlo_source = new zevlosource();
    return p_zevlo_source;
}

int zevlosource::initialize()
{
    if (m_worker.running())
        return 0;
    // Both live in the GUI thread; the worker only uses them.
    ConfigEngine::pInstance();
    m_store = VyxRamPara::pInstance();
    m_input_mask = g_check_source.load();
    m_edid_check_once = g_check_edid != QStringLiteral("Never");
    if (m_worker.start(checksourceThread, this, "sources") != 0) {
        writeLogMsg(LOG_ERROR, "create check source thread failed");
        return 255;
    }
    return 0;
}

void zevlosource::destroyForTest()
{
    if (!p_zevlo_source)
        return;
    doorbell().stop();
    p_zevlo_source->m_worker.stopAndJoin();
    doorbell().reset();
    delete p_zevlo_source;
    p_zevlo_source = nullptr;
}

// ---- timing records ----

void zevlosource::write_hdminfo(int source, const HDMI_INFO& rec)
{
    if (source < 0 || source >= kInputs)
        return;
    QMutexLocker lock(&Utils::_source_hdminfo_mutex);
    HDMI_INFO& r = hdminfo[source];
    HDMI_INFO next = rec;
    next.stable = 1;
    // The scaler copies the records when it is woken: only a record that
    // changed wakes it.
    const bool changed = std::memcmp(&r, &next, sizeof r) != 0;
    r.stable = 0;
    r.Hact = rec.Hact;
    r.Hsync = rec.Hsync;
    r.Hback = rec.Hback;
    r.Hpol = rec.Hpol;
    r.Htotal = rec.Htotal;
    r.Vact = rec.Vact;
    r.Vsync = rec.Vsync;
    r.Vback = rec.Vback;
    r.Vpol = rec.Vpol;
    r.Vtotal = rec.Vtotal;
    r.pfreq = rec.pfreq;
    r.type = rec.type;
    r.datamode = rec.datamode;
    r.lane = rec.lane;
    r.ip = rec.ip;
    r.nosignal = rec.nosignal;
    r.stable = 1;
    if (changed)
        c331_manage::wake();
}

void zevlosource::clear_hdminfo(int source) { write_hdminfo(source, noSignalRecord()); }

HDMI_INFO zevlosource::get_hdminfo(int source)
{
    if (source < 0 || source >= kInputs)
        return noSignalRecord();
    QMutexLocker lock(&Utils::_source_hdminfo_mutex);
    return hdminfo[source];
}

// ---- EDID flags ----

void zevlosource::set_edid_refresh(int input)
{
    if (input < 0 || input >= kInputs)
        return;
    edid_hold.fetch_and(~byteMask(input));
    edid_refresh.fetch_or(1u << (8 * input));
    wake();
}

void zevlosource::set_edid_refresh_all()
{
    edid_refresh.store(0x01010101u);
    wake();
}

void zevlosource::set_edid_hold(int input, uint8_t value)
{
    if (input < 0 || input >= kInputs)
        return;
    edid_hold.fetch_and(~byteMask(input));
    edid_hold.fetch_or(uint32_t(value) << (8 * input));
    wake();
}

uint8_t zevlosource::edid_refresh_flag(int input) const { return uint8_t(edid_refresh.load() >> (8 * input)); }

uint8_t zevlosource::edid_hold_flag(int input) const { return uint8_t(edid_hold.load() >> (8 * input)); }

std::string zevlosource::edid_table_path(int width, int height, int rate)
{
    return "/data/edidramtable/" + std::to_string(width) + "x" + std::to_string(height) + "_" +
           std::to_string(rate) + ".bin";
}

// ---- the thread ----

void* zevlosource::checksourceThread(void* arg)
{
    zevlosource* self = static_cast<zevlosource*>(arg);
    {
        QMutexLocker lock(&Utils::_source_init_mutex);
        self->startup();
    }
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextLook = Clock::now();
    while (!self->m_worker.stopRequested()) {
        const bool look = Clock::now() >= nextLook;
        if (look)
            nextLook = Clock::now() + kLookPause;
        self->turn(look);
        auto pause = std::chrono::duration_cast<std::chrono::microseconds>(nextLook - Clock::now());
        if (self->hpd_pulse_running() && pause > kTickPause)
            pause = kTickPause;
        doorbell().wait(std::max(pause, std::chrono::microseconds(0)));
    }
    return nullptr;
}

platform::Wakeup& zevlosource::doorbell()
{
    static platform::Wakeup bell;
    return bell;
}

void zevlosource::wake() { doorbell().wake(); }

void zevlosource::request_audio_route()
{
    audio_route_flag = 1;
    wake();
}

bool zevlosource::hpd_pulse_running() const
{
    for (bool low : m_hpd_low)
        if (low)
            return true;
    return false;
}

void zevlosource::startup()
{
    probe_hardware();
    for (int i = 0; i < kInputs; ++i)
        reinit_receiver(i);
    setup_links();
    if (m_edid_check_once)
        edid_check();
}

void zevlosource::turn(bool look)
{
    serve_commands();
    sourcecheck(look);
    serve_edid();
    serve_audio();
    if ((setup_state[0] != 2 || setup_state[1] != 2) && Utils::getTimeSpace(m_link_stamp) >= kLinkRetryTicks)
        setup_links();
}

void zevlosource::probe_hardware()
{
    regPut(m_store, kRegEdid, 5, m_bus.probe(vbus::kSegMain, vbus::kMux14) == 0);
    regPut(m_store, kRegEdid, 6, m_bus.probe(vbus::kSegMain, vbus::kMux20) == 0);
    for (int i = 0; i < kInputs; ++i)
        regPut(m_store, kRegEdid, i, m_bus.probe(i, vbus::kEeprom) == 0);
    bool sdi = m_bus.probe(vbus::kSegSdi, vbus::kSdiTx) == 0;
    regPut(m_store, kRegSdi, 1, sdi);
    regPut(m_store, kRegTx, 1, m_bus.probe(vbus::kSegMain, vbus::kHdmiTx) == 0);
    regPut(m_store, kRegTx, 2, sdi);
}

void zevlosource::setup_links()
{
    m_link_stamp = G_timeTicks.load();
    uint8_t id = 0;
    bool clock = m_bus.read_reg(vbus::kSegMain, vbus::kClockSynth, vbus::kClkId, &id) == 0 &&
                 id == vbus::kClkIdValue &&
                 m_bus.write_reg(vbus::kSegMain, vbus::kClockSynth, vbus::kClkOutput, 0x80) == 0;
    for (int k = 0; k < kLinks; ++k) {
        if (setup_state[k] == 2)
            continue;
        setup_state[k] = 1;
        uint8_t linkId = 0, status = 0;
        uint8_t addr = vbus::kLinkChip[k];
        if (clock && m_bus.read_reg(vbus::kSegMain, addr, vbus::kLinkId, &linkId) == 0 &&
            linkId == vbus::kLinkIdValue && m_bus.write_reg(vbus::kSegMain, addr, vbus::kLinkCtrl, 1) == 0 &&
            m_bus.read_reg(vbus::kSegMain, addr, vbus::kLinkStatus, &status) == 0 && (status & 1)) {
            setup_state[k] = 2;
            VYX_DEBUG("[zevlosource] video link 0x%02X up\n", addr);
        }
    }
}

void zevlosource::serve_commands()
{
    uint8_t cmd = regLoad(m_store, kRegCommand);
    if (cmd & kCmdEdidCheck) {
        regClear(m_store, kRegCommand, kCmdEdidCheck);
        edid_check();
    }
    if (cmd & kCmdLinks) {
        regClear(m_store, kRegCommand, kCmdLinks);
        probe_hardware();
        for (auto& s : setup_state)
            s = 1;
        setup_links();
    }
}

void zevlosource::sourcecheck(bool look)
{
    uint8_t req = regLoad(m_store, kRegHotplug);
    for (int i = 0; i < kInputs; ++i) {
        if (!(m_input_mask & (1u << i)))
            continue;
        uint8_t reinit = uint8_t(0x10u << i), plug = uint8_t(1u << i);
        if (req & reinit) {
            reinit_receiver(i);
            clearRequest(m_store, kRegHotplug, reinit);
        }
        // A hot-plug request holds the line low for a moment so that the
        // source reads the EDID again.
        if ((req & plug) && !m_hpd_low[i]) {
            set_hpd(i, false);
            m_hpd_low[i] = true;
            m_hpd_stamp[i] = G_timeTicks.load();
        } else if (m_hpd_low[i] && Utils::getTimeSpace(m_hpd_stamp[i]) >= kHpdLowTicks) {
            set_hpd(i, true);
            m_hpd_low[i] = false;
            clearRequest(m_store, kRegHotplug, plug);
        }
        if (look)
            poll_receiver(i);
    }
    publish_timings();
}

void zevlosource::poll_receiver(int input)
{
    if (input < 3)
        m_it6602[input].IT6602_poll();
    else
        m_ite6805_sys.iTE6805_poll();
}

void zevlosource::reinit_receiver(int input)
{
    m_hpd_low[input] = false;
    if (input < 3)
        m_it6602[input].IT6602_init();
    else
        m_ite6805_sys.iTE6805_init();
}

void zevlosource::set_hpd(int input, bool high)
{
    if (input < 3)
        m_it6602[input].IT6602HPDCtrl(high);
    else
        m_ite6805_sys.iTE6805_hpd(high);
}

void zevlosource::publish_timings()
{
    uint16_t want[kInputs][3] = {};
    bool online = false;
    {
        QMutexLocker lock(&Utils::_source_hdminfo_mutex);
        for (int i = 0; i < kInputs; ++i) {
            const HDMI_INFO& r = hdminfo[i];
            if (!r.stable || r.nosignal || !r.Htotal || !r.Vtotal)
                continue;
            want[i][0] = uint16_t(r.Hact);
            // An interlaced source is described per field; its picture has
            // twice the lines.
            want[i][1] = uint16_t(r.ip ? 2 * r.Vact : r.Vact);
            want[i][2] = uint16_t(std::lround(double(r.pfreq) * 1e6 / (double(r.Htotal) * r.Vtotal)));
            online = true;
        }
    }
    bool changed = false;
    pthread_mutex_lock(&m_store->store_mutex);
    for (int i = 0; i < kInputs; ++i) {
        uint8_t* p = m_store->ram_para + kImgInputTiming + 6 * i;
        for (int k = 0; k < 3; ++k) {
            if (le16(p + 2 * k) != want[i][k]) {
                putLe16(p + 2 * k, want[i][k]);
                changed = true;
            }
        }
    }
    pthread_mutex_unlock(&m_store->store_mutex);
    g_source_online = online ? 2 : 0;
    if (changed)
        m_store->test_signal(kChangeInputTiming);
}

// ---- EDID upkeep ----

int zevlosource::expected_edid(int input, uint8_t* edid, int* length)
{
    const uint8_t* req = m_store->ram_para + kImgEdidRequest + 6 * input;
    if (edid_ram_table_from[input].load()) {
        const std::string path = edid_table_path(le16(req), le16(req + 2), le16(req + 4));
        QMutexLocker files(&Utils::_file_deal_mutex);
        QFile table(platform::sysPath(QString::fromStdString(path)));
        if (table.exists()) {
            QByteArray data;
            if (table.open(QIODevice::ReadOnly))
                data = table.read(kEdidSize + 1);
            // Only a whole EDID that fits the memory goes in.
            if (data.size() > kEdidSize || !edid_valid(reinterpret_cast<const uint8_t*>(data.constData()), data.size())) {
                VYX_DEBUG("[zevlosource] %s holds no usable EDID\n", path.c_str());
                return 255;
            }
            std::memcpy(edid, data.constData(), size_t(data.size()));
            *length = data.size();
            return 0;
        }
    }
    VideoTiming t;
    if (!standardTiming(le16(req), le16(req + 2), le16(req + 4), &t) || !edid_build(t, edid)) {
        VYX_DEBUG("[zevlosource] no EDID for %dx%d@%d\n", le16(req), le16(req + 2), le16(req + 4));
        return 255;
    }
    *length = kEdidSize;
    return 0;
}

int zevlosource::read_edid(int input, uint8_t* edid, int length)
{
    return m_bus.read_regs(input, vbus::kEeprom, 0, edid, length);
}

int zevlosource::write_edid(int input, const uint8_t* edid, int length)
{
    int rc = 0;
    bool answered = false;
    for (int off = 0; off < length; off += vbus::kEepromPage) {
        int n = length - off < vbus::kEepromPage ? length - off : vbus::kEepromPage;
        if (m_bus.write_regs(input, vbus::kEeprom, uint8_t(off), edid + off, n) != 0) {
            rc = 255;
            break;
        }
        answered = true;
        platform::pause_ms(kEepromWriteMs);
    }
    // Only what reads back counts as written.
    uint8_t back[kEdidSize];
    if (rc == 0 && (read_edid(input, back, length) != 0 || std::memcmp(back, edid, size_t(length)) != 0))
        rc = 255;
    regPut(m_store, kRegEdid, input, answered);
    return rc;
}

void zevlosource::serve_edid()
{
    if (!edid_refresh.load())
        return;
    pthread_mutex_lock(&m_mutex);
    for (int i = 0; i < kInputs; ++i) {
        if (!edid_refresh_flag(i) || edid_hold_flag(i))
            continue;
        // Cleared before the work: a request raised meanwhile is served on
        // the next turn instead of being lost.
        edid_refresh.fetch_and(~byteMask(i));
        uint8_t edid[kEdidSize];
        int length = 0;
        int rc = expected_edid(i, edid, &length);
        if (rc == 0) {
            QMutexLocker shell(&Utils::_system_mutex);
            rc = write_edid(i, edid, length);
        }
        VYX_DEBUG(rc == 0 ? "edid set ok\n" : "edid set error\n");
    }
    pthread_mutex_unlock(&m_mutex);
}

void zevlosource::edid_check()
{
    for (int i = 0; i < kInputs; ++i) {
        uint8_t want[kEdidSize], have[kEdidSize];
        int length = 0;
        int rc = expected_edid(i, want, &length);
        if (rc == 0 && read_edid(i, have, length) == 0 && std::memcmp(want, have, size_t(length)) == 0) {
            regPut(m_store, kRegEdid, i, true);
            continue;
        }
        if (rc == 0) {
            QMutexLocker shell(&Utils::_system_mutex);
            rc = write_edid(i, want, length);
        }
        VYX_DEBUG(rc == 0 ? "edid set ok\n" : "edid set error\n");
    }
    // The check runs once per installation; the process's copy of the
    // setting follows the file.
    ConfigEngine::pInstance()->write_config_variant(ConfigItem::EDIDCheck, QStringLiteral("Never"));
    if (QCoreApplication* app = QCoreApplication::instance())
        // Reloaded under the lock of every other reload of the globals (a PC
        // thread reloads them after a settings command).
        QMetaObject::invokeMethod(app, [] { Utils::getIPAddress(); }, Qt::QueuedConnection);
    m_edid_check_once = false;
}

// ---- sound ----

int zevlosource::audio_value()
{
    const uint8_t* img = m_store->ram_para;
    unsigned image = le16(img + kImgAudioImage);
    if (image >= unsigned(kImageRecords))
        return 0;
    const uint8_t* rec = img + kImgImages + kImageRecordSize * image;
    if (!(le16(rec + kRecSound) & 0x8000))
        return 0;
    // The input the image shows, through its crop: a word naming no crop
    // in use shows the whole DVI input, whose sound goes with it.
    const ram::ShownSource shown = ram::shownSource(img, le16(rec + kRecSource));
    const unsigned port = shown.crop >= 0 ? shown.source & 0x0Fu : shown.source;
    return port < unsigned(kInputs) ? kAudioSelect[port] : 0;
}

void zevlosource::serve_audio()
{
    if (!audio_route_flag.load())
        return;
    pthread_mutex_lock(&m_mutex);
    // Taken before the image is read: a change raised meanwhile is routed
    // on the next turn.
    if (audio_route_flag.exchange(0)) {
        uint8_t value = uint8_t(audio_value());
        uint8_t out = 0;
        bool ok = m_bus.read_reg(vbus::kSegMain, vbus::kExpander, vbus::kExpOutput, &out) == 0 &&
                  m_bus.write_reg(vbus::kSegMain, vbus::kExpander, vbus::kExpOutput,
                                  uint8_t((out & ~vbus::kExpAudioMask) | value)) == 0;
        if (!ok) {
            audio_route_flag = 1;
            if (!m_audio_failing)
                VYX_DEBUG("[zevlosource] audio route set error\n");
        }
        m_audio_failing = !ok;
    }
    pthread_mutex_unlock(&m_mutex);
}

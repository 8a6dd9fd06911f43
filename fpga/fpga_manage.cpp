// The FPGA manager object: creation, links, start-up values and the worker
// thread's turn.
#include "fpga/fpga_manage.h"

#include <QMutexLocker>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <chrono>

#include "core/globals.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"
#include "remote/pclink.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "video_io/zevlosource.h"

fpga_manage* fpga_manage::p_fpga_manage = nullptr;

uint8_t* fpga_manage::MCU_REG_func[kFpgas] = {};
uint8_t* fpga_manage::MCU_RAM_PARA_func[kFpgas] = {};
uint8_t* fpga_manage::MCU_RAM_RX_func[kFpgas] = {};
uint8_t* fpga_manage::MCU_RAM_TX_func[kFpgas] = {};
uint8_t* fpga_manage::MCU_RAM_ETH_PARA_func[kFpgas] = {};
uint8_t* fpga_manage::MCU_RAM_ETH_BACK_PARA_func[kFpgas] = {};
uint8_t fpga_manage::MCU_RAM_CMD[1024] = {};
uint8_t fpga_manage::MCU_RAM_EXTEND[1024] = {};
uint8_t fpga_manage::MCU_RAM_DEFAULT[2048] = {};
uint8_t fpga_manage::MCU_RAM_ZOOM[1024] = {};

// Bytes 0-255 of a parameter RAM that was never saved to flash.
const uint8_t fpga_manage::RAM1[256] = {
    0x00, 0x05, 0x00, 0x04, 0x76, 0x05, 0xD2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, // 0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, // 16
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // 32
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x04, // 48
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // 64
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // 80
    0x05, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // 96
    0x00, 0x00, 0x00, 0x00, 0x56, 0x05, 0x00, 0x03, 0xD9, 0xB8, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, // 112
};

FPGA_CHANGE g_change;
SEND_PARA g_send_para;
std::atomic<uint8_t> g_fpga_lcd_on{0};
std::atomic<uint32_t> g_usb_grade{0};
std::atomic<uint8_t> g_set_led_para{0};
std::atomic<uint8_t> g_set_led_setup{0};
std::atomic<bool> g_led_size_waiting{false};

namespace {
// The worker's pace. Its steps are measured in 10 ms ticks, so one turn per
// tick serves them; only the start-up's count of calls turns faster. With
// FPGA 0 running and nothing to do it looks around twice per pass of the
// card search (every 0.4 s, and at the tick the next pass is due), or at
// once when woken: whoever raises a flag or posts a job wakes it, the PC's
// card exchanges poll the receive path themselves, and what it keeps up on
// its own (the video link and the port links, the clock, the schedule by
// the minute) needs no faster look. Every wake-up of an idle thread costs
// about as much as the little it then does.
constexpr auto kFastPause = std::chrono::milliseconds(2);
constexpr auto kTickPause = std::chrono::milliseconds(10);
constexpr auto kIdlePause = std::chrono::milliseconds(400);

void clearSendPara()
{
    g_send_para.job = 0;
    g_send_para.step = 255;
    g_send_para.port = g_send_para.packets = g_send_para.packets_sent = 0;
    g_send_para.reply = 0;
    g_send_para.card = g_send_para.cards = g_send_para.frame_length = 0;
    g_send_para.mapping = 0;
    g_send_para.stamp = 0;
    g_send_para.screen = g_send_para.port_record = g_send_para.card_index = g_send_para.operation = 0;
    g_send_para.sub_step = 0;
    g_send_para.result = 0;
    g_send_para.retry = 0;
}
} // namespace

fpga_manage::fpga_manage()
{
    writeLogMsg(LOG_INFO, "====fpga_manage::fpga_manage()=====");
    p_fpga_drv = new fpga_drv();
    for (int f = 0; f < kFpgas; ++f) {
        MCU_REG_func[f] = m_reg_shadow[f];
        MCU_RAM_PARA_func[f] = m_ram_para[f];
        MCU_RAM_RX_func[f] = m_ram_rx[f];
        MCU_RAM_TX_func[f] = m_ram_tx[f];
        MCU_RAM_ETH_PARA_func[f] = m_eth_para[f];
        MCU_RAM_ETH_BACK_PARA_func[f] = m_eth_back_para[f];
        power_state[f] = 0;
        check_state[f] = 0;
    }
    pthread_mutex_init(&reg_mutex, nullptr);
    // Recursive: Send_to_port takes it for callers that do not hold it yet.
    pthread_mutexattr_t recursive;
    pthread_mutexattr_init(&recursive);
    pthread_mutexattr_settype(&recursive, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&rcv_mutex, &recursive);
    pthread_mutexattr_destroy(&recursive);
    p_rcvRecovery = new rcvRecovery();
}

fpga_manage::~fpga_manage()
{
    m_wake.stop();
    m_worker.stopAndJoin();
    delete p_rcvRecovery;
    p_rcvRecovery = nullptr;
    delete p_fpga_drv;
    p_fpga_drv = nullptr;
    for (int f = 0; f < kFpgas; ++f) {
        MCU_REG_func[f] = MCU_RAM_PARA_func[f] = MCU_RAM_RX_func[f] = MCU_RAM_TX_func[f] = nullptr;
        MCU_RAM_ETH_PARA_func[f] = MCU_RAM_ETH_BACK_PARA_func[f] = nullptr;
    }
    pthread_mutex_destroy(&reg_mutex);
    pthread_mutex_destroy(&rcv_mutex);
}

fpga_manage* fpga_manage::pInstance()
{
    if (!p_fpga_manage) {
        p_fpga_manage = new fpga_manage();
        p_fpga_manage->p_rcvRecovery->check_file_dir(QStringLiteral("/data/smartmapping"));
        p_fpga_manage->p_rcvRecovery->check_file_dir(QStringLiteral("/data/rcvrecovery"));
        p_fpga_manage->initialize();
    }
    return p_fpga_manage;
}

uint8_t fpga_manage::initialize()
{
    p_fpga_drv->initialize_vbyne1(0); // FPGA 0 registers and RAMs
    p_fpga_drv->initialize_vbyne1(2); // FPGA 0 flash
    p_fpga_drv->initialize_vbyne1(1); // FPGA 1 registers and RAMs
    p_fpga_drv->initialize_vbyne1(3); // FPGA 1 flash

    platform::SocWindow& pads = platform::socWindow();
    switch (pads.map()) {
    case platform::SocWindow::Mapped:
        break;
    case platform::SocWindow::NoMsys:
        std::printf("\n can't open /dev/msys\n");
        return 255;
    case platform::SocWindow::NoMem:
        std::printf("\ncan't open /dev/mem\n");
        return 255;
    case platform::SocWindow::RequestRefused:
        std::printf("\n DMEM request failed!!\n");
        return 255;
    case platform::SocWindow::MapFailed:
        std::printf("\n NULL pointer!\n");
        return 255;
    }
    pads.write16(fpga_pads::kStartLow[0], 0);
    pads.write16(fpga_pads::kStartLow[1], 0);
    pads.write16(fpga_pads::kStartControl, 1);
    pads.write16(fpga_pads::kCommand[1], fpga_pads::kPadHigh);
    pads.write16(fpga_pads::kFlashSelect[1], fpga_pads::kPadHigh);
    return 0;
}

void fpga_manage::softinit()
{
    uint32_t now = G_timeTicks.load();
    g_change.power_step_stamp[0] = g_change.power_step_stamp[1] = now;
    g_change.rst_release_stamp = now;

    std::memcpy(MCU_RAM_CMD + 24, kControllerVersion, 4);
    std::memset(MCU_RAM_CMD + 30, 0, 4);
    MCU_RAM_CMD[29] = 1;
    MCU_RAM_CMD[28] = 0xFF;
    pthread_mutex_lock(&reg_mutex);
    MCU_RAM_EXTEND[29] = ScreenState.load();
    pthread_mutex_unlock(&reg_mutex);
    MCU_RAM_EXTEND[49] = 0x9F;
    MCU_RAM_EXTEND[50] = 0x1F;

    g_send_para.job = 0;
    g_send_para.reply = 0;
    g_send_para.step = 255;
}

int fpga_manage::initialize_start()
{
    if (m_worker.running())
        return 0;
    softinit();
    if (m_worker.start(fpgamanageThread, this, "fpga_manage") != 0) {
        writeLogMsg(LOG_ERROR, "create check source thread failed");
        return 255;
    }
    return 0;
}

void SEND_PARA::post(uint8_t code)
{
    // A scan-file load reads the chosen file as one of its fields.
    if (code == kJobScanFile)
        g_tzfile_name.keep_for_load();
    step = 0;
    job = code;
    fpga_manage::wake();
}

void fpga_manage::wake()
{
    if (fpga_manage* self = p_fpga_manage)
        self->m_wake.wake();
}

void* fpga_manage::fpgamanageThread(void* arg)
{
    fpga_manage* self = static_cast<fpga_manage*>(arg);
    while (!self->m_worker.stopRequested()) {
        if (g_usb_grade.load() != 0)
            self->usb_upgrade_manage_deal(arg);
        else
            self->fpga_manage_deal(arg);
        self->pace(self->next_pace());
    }
    return nullptr;
}

fpga_manage::Pace fpga_manage::next_pace()
{
    if (g_usb_grade.load() != 0)
        return Pace::Tick;
    if (m_counting)
        return Pace::Fast;
    if (!link_chip_ready())
        return Pace::Idle;
    bool quiet = g_send_para.job.load() == 0 && bri_set_flag.load() == 0 && output_status_flag.load() == 0 &&
                 g_set_led_para.load() == 0 && !rst_pending[0] && !rst_pending[1] && !bri.sensor_waiting;
    return quiet && get_fpga_status() == 1 ? Pace::Idle : Pace::Tick;
}

void fpga_manage::pace(Pace p)
{
    if (p != Pace::Idle) {
        m_wake.wait(p == Pace::Fast ? kFastPause : kTickPause);
        return;
    }
    // While the idle search runs, up to the tick after its next pass falls
    // due: the tick counter may not have moved on the moment the pause ends.
    std::chrono::microseconds pause = kIdlePause;
    if (link_chip_ready() && pc_cmd_valid.load() == 0 && get_fpga_status() == 1) {
        const uint32_t since = Utils::getTimeSpace(search_stamp);
        const uint32_t ticks = since < kSearchQuietTicks ? kSearchQuietTicks - since + 1 : 1;
        pause = std::min<std::chrono::microseconds>(pause, ticks * kTickPause);
    }
    m_wake.wait(pause);
}

bool fpga_manage::link_chip_ready() const
{
    zevlosource* z = zevlosource::p_zevlo_source;
    return z && z->setup_state[0].load() == 2;
}

void fpga_manage::fpga_manage_deal(void*)
{
    check_fpga_rst();
    // The video link into FPGA 0 must be up before FPGA 0 is started and
    // polled, and before the FPGAs are looked at at all; each step asks
    // again.
    if (link_chip_ready())
        check_fpga1_state();
    if (link_chip_ready())
        power_up_fpga_start(1, 0);
    if (link_chip_ready()) {
        pthread_mutex_lock(&rcv_mutex);
        reg_IRQ_Dealwith(0, 0);
        pthread_mutex_unlock(&rcv_mutex);
    }
    if (link_chip_ready())
        power_up_check_fpga_status(0);

    if (bri_set_flag.load() != 0 && set_fpga_bri_val() == 1) {
        QMutexLocker lock(&Utils::_bri_set_mutex);
        bri_set_flag = 0;
    }
    if (g_set_led_para.load() != 0)
        set_led_para_deal();
    if (get_fpga_status() == 1 && Utils::getTimeSpace(time_stamp) >= 26) {
        IT8563WE_Get(&time_record);
        time_stamp = G_timeTicks.load();
    }

    switch (g_send_para.job.load()) {
    case 1:
        SmartMapping_deal();
        break;
    case 2:
        rcv_recovery_check_deal(RCV_SCAN_FILE);
        break;
    case 3:
        save_para_deal();
        break;
    case 4:
        mapping_enable_deal();
        break;
    case 5:
        rcv_recovery_check_deal(RCV_CHECK);
        break;
    case 6:
        rcv_recovery_check_deal(RCV_RECOVERY);
        break;
    default:
        Check_search_card();
        break;
    }

    if (output_status_flag.load() == 1 && set_output_status() == 1) {
        QMutexLocker lock(&Utils::_system_mutex);
        output_status_flag = 0;
    }
}

void fpga_manage::Check_search_card()
{
    if (pc_cmd_valid.load() == 0 && get_fpga_status() == 1) {
        check_vbo_status(0);
        Search_Card_Cmd();
        Extension_function();
        check_wlanonline_state();
    } else if (Utils::getTimeSpace(pc_cmd_time.load()) > 80) {
        pc_cmd_valid = 0;
        search_sent_mask = 0;
    }
}

void fpga_manage::stopWorker()
{
    if (fpga_manage* self = p_fpga_manage) {
        self->m_wake.stop();
        self->m_worker.stopAndJoin();
    }
}

void fpga_manage::destroyForTest()
{
    fpga_manage* self = p_fpga_manage;
    p_fpga_manage = nullptr;
    delete self;
    scaler_flash_hook = nullptr;
    g_change = FPGA_CHANGE();
    clearSendPara();
    line_type = LINE_TYPE();
    g_fpga_lcd_on = 0;
    g_usb_grade = 0;
    g_set_led_para = 0;
    g_set_led_setup = 0;
    g_led_size_waiting = false;
    std::memset(MCU_RAM_CMD, 0, sizeof MCU_RAM_CMD);
    std::memset(MCU_RAM_EXTEND, 0, sizeof MCU_RAM_EXTEND);
    std::memset(MCU_RAM_DEFAULT, 0, sizeof MCU_RAM_DEFAULT);
    std::memset(MCU_RAM_ZOOM, 0, sizeof MCU_RAM_ZOOM);
}

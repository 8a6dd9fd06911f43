// Recovery of receiving cards and scan-parameter files: the check (job 5)
// asks every chain of every screen in the recovery file whether one of its
// cards lost its set-up, the recovery (job 6) replays the stored operations
// of the card the check found, and the scan-file run (job 2) replays a scan
// file's operations on the cards of the layout's port. The walk goes
// through the manager's recovery-file reader, one read per worker turn; a
// file that does not hold what a step needs ends the job with a message,
// and so does a run some chain or card never answered.
#include "fpga/fpga_manage.h"

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/screen_hooks.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_layout.h"
#include "fpga/scan_record.h"
#include "ui/rcvtools/rcvrecovery.h"

namespace {
const char kRecoveryDir[] = "/data/rcvrecovery";
const char kRecoveryFile[] = "/data/rcvrecovery/TZFX";
const char kScanDir[] = "/data/smartmapping";
const char kUsbDir[] = "/mnt/usb1/";

constexpr uint32_t kSettleTicks = 239;       // the first wait, before the file is read
constexpr uint32_t kSettleShownTicks = 80;   // from here on the ring shows it
constexpr uint32_t kSearchAnswerTicks = 500; // a chain's answer to the check
constexpr uint16_t kNotKnown = 65535;        // result: no answer yet
constexpr uint16_t kNoCard = 255;            // result: no card needs recovery
constexpr uint32_t kPacket = 1000;           // data bytes per RAM-write frame
constexpr uint8_t kRetries = 3;
// The mailbox counts screens, port records, operations and packets in
// 8 bits; a file with more of one than that could never be walked to its end.
constexpr uint32_t kMaxIndexed = 255;
// Longest wait an operation may ask for per frame; a damaged file could
// otherwise keep the ring (and the screen under it) for weeks.
constexpr uint32_t kMaxOperationMs = 300000;
// Operation data that cannot be read (the PC may be replacing the file) is
// asked for again on every turn, for this long.
constexpr uint32_t kUnreadableTicks = 300;
constexpr uint32_t kLastPort = 19;

int percent(uint32_t a, uint32_t b) { return b ? int(uint64_t(a) * 100 / b) : 100; }

QString twoDigits(uint32_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

void signal(int code)
{
    if (VyxRamPara::p_vyxrampara_config)
        VyxRamPara::p_vyxrampara_config->test_signal(code);
}

// Sub-step that sends the frame of an operation type (23 RAM write, 24
// register write, 25 activate, 26 save, 27 reconfigure, 29 search, 30 user
// frame); 0 for types that send none.
uint8_t sendStep(const RCV_OPERATE_PARA& op)
{
    switch (op.type) {
    case 1: return op.target == 1 ? 23 : 24;
    case 2: return 26;
    case 3: return 25;
    case 5: return 27;
    case 7: return 29;
    case 16: return 30;
    default: return 0;
    }
}
} // namespace

uint16_t fpga_manage::rcv_port_card_num(uint16_t port)
{
    if (port < kPorts)
        return get_port_card_num(uint8_t(port));
    if (port <= kLastPort)
        return le16(m_ram_para[1] + fpga_layout::kCardCount[port - kPorts]);
    return 0;
}

// ---------------------------------------------------------------------------
// The job

void fpga_manage::rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY mode)
{
    if (job_yields_to_pc())
        return;
    SEND_PARA& q = g_send_para;
    rcvRecovery* r = p_rcvRecovery;
    const bool scan = mode == RCV_SCAN_FILE;
    const uint8_t step = q.step.load();
    if (!r && step < 34) {
        job_fail(QStringLiteral("there is no recovery-file reader"));
        return;
    }
    const QString file = r ? r->file_name : QString();
    auto elapsed = [this] { return Utils::getTimeSpace(search_stamp); };
    auto restamp = [this] { search_stamp = G_timeTicks.load(); };
    // The first steps show the time since the job's last stamp, in fifths.
    auto showElapsed = [&] { job_progress(int(std::min<uint32_t>(elapsed() / 5, 99))); };
    // Ends the job on a read the file could not satisfy.
    auto read = [&](uint32_t result) {
        if (result == RCV_READ_OK)
            return true;
        job_fail(r->error_text().isEmpty() ? QStringLiteral("%1 cannot be read").arg(file) : r->error_text());
        return false;
    };
    auto tooMany = [&](uint32_t count, const char* what) {
        if (count <= kMaxIndexed)
            return false;
        job_fail(QStringLiteral("%1: %2 %3, more than the %4 a job can walk").arg(file).arg(count).arg(what).arg(kMaxIndexed));
        return true;
    };

    switch (step) {
    case 0:
        job_start();
        if (get_fpga_status() != 1) {
            job_fail(QStringLiteral("FPGA 0 is not ready"));
            break;
        }
        // A recovery restores the card the last check found and listed.
        if (mode == RCV_RECOVERY && recovery_line.isEmpty()) {
            job_fail(QStringLiteral("no card to restore: the last check found none"));
            break;
        }
        // Every run starts without a result: an earlier check's card must
        // not be taken for this run's.
        q.result = kNotKnown;
        q.step = 1;
        restamp();
        showElapsed();
        break;
    case 1:
        if (elapsed() > kSettleTicks)
            q.step = 2;
        if (elapsed() >= kSettleShownTicks)
            showElapsed();
        break;
    case 2:
        if (!scan) {
            if (r->get_dir_file(QString::fromLatin1(kRecoveryDir)) != 0) {
                job_fail(QStringLiteral("%1 does not exist").arg(kRecoveryDir));
                break;
            }
            if (r->rcv_file_count() != 1) {
                // None, or several to choose from: nothing to check against.
                job_short(r->rcv_file_count() == 0
                              ? QStringLiteral("%1 holds no recovery file").arg(kRecoveryDir)
                              : QStringLiteral("%1 holds %2 files: there is no telling which one describes the screens")
                                    .arg(kRecoveryDir)
                                    .arg(r->rcv_file_count()));
                q.step = 33;
                break;
            }
            r->file_name = QString::fromLatin1(kRecoveryFile);
            if (!read(r->get_rcvPackedFileNum(r->file_name)))
                break;
            q.step = 3;
        } else {
            bool listed = r->get_dir_file(QString::fromLatin1(kScanDir)) == 0 && r->scan_file_count() > 0;
            if (!listed) {
                if (r->get_dir_file(QString::fromLatin1(kUsbDir)) != 0) {
                    job_fail(QStringLiteral("no scan-parameter file: %1 is empty and there is no USB stick").arg(kScanDir));
                    break;
                }
                if (r->scan_file_count() == 0) {
                    job_short(QStringLiteral("no scan-parameter file: %1 and the USB stick hold none").arg(kScanDir));
                    q.step = 33;
                    break;
                }
            }
            r->init_para();
            r->file_name = g_tzfile_name.load_file();
            q.step = 17;
        }
        restamp();
        showElapsed();
        break;
    case 3: {
        const int entries = std::min<int>(r->packed_file_num(), rcvRecovery::kPackedFiles);
        for (int i = 0; i < entries; ++i)
            if (!read(r->get_rcvPackedFileInfo(file, uint8_t(i))))
                return;
        q.step = 4;
        restamp();
        showElapsed();
        break;
    }
    case 4:
        if (r->find_packed_file(RCV_SCREEN_FILE) < 0) {
            job_fail(QStringLiteral("%1 holds no screen description").arg(file));
            break;
        }
        q.step = 5;
        showElapsed();
        q.result = kNotKnown;
        break;
    case 5:
        if (!read(r->update_rcvScreenHead(file)))
            break;
        if (mode == RCV_CHECK) {
            q.screen = 0;
        } else {
            q.screen = recovery_screen;
            job_progress(percent(5, 35));
        }
        q.step = 6;
        break;
    case 6:
        if (!read(r->update_rcvScreenIDinfo(file, q.screen)))
            break;
        if (mode == RCV_CHECK) {
            q.step = 8;
            job_progress(percent(q.screen + 1u, r->screen_head.screen_num + 1u));
        } else {
            q.step = 7;
        }
        break;
    case 7:
        if (r->screen_info.rcv_para_len == 0) {
            if (r->screen_info.rcv_xy_len == 0)
                job_fail(QStringLiteral("%1: screen %2 has nothing to restore").arg(file).arg(q.screen + 1));
            else if (r->find_packed_file(RCV_XY_FILE) < 0)
                job_fail(QStringLiteral("%1 holds no card positions part").arg(file));
            else
                q.step = 8;
        } else if (r->find_packed_file(RCV_PARA_FILE) < 0) {
            job_fail(QStringLiteral("%1 holds no card parameter part").arg(file));
        } else {
            q.step = 17;
        }
        break;
    case 8:
        if (!read(r->update_rcvXYscreenNetnum(file)) || tooMany(r->screen_net_num, "port records"))
            break;
        if (mode == RCV_CHECK) {
            q.port_record = 0;
            if (r->screen_net_num == 0) {
                q.step = 15; // a screen without ports has nothing to ask
                break;
            }
        } else {
            q.port_record = recovery_port_record;
        }
        job_progress(percent(8, 35));
        q.step = 9;
        break;
    case 9:
        if (!read(r->update_rcvXYscreenNetpara(file, q.port_record)))
            break;
        if (mode == RCV_CHECK) {
            q.step = 13;
            job_progress(percent(q.port_record + 1u, r->screen_net_num + 1u));
        } else if (r->net_para.net_ledx != recovery_port) {
            job_fail(QStringLiteral("%1 changed since the check: port record %2 is no longer output port %3")
                         .arg(file)
                         .arg(q.port_record + 1)
                         .arg(recovery_port + 1));
        } else if (recovery_card < r->net_para.net_rcv_num) {
            q.card_index = recovery_card;
            q.step = 10;
            job_progress(28);
        } else {
            job_fail(QStringLiteral("%1: card %2 is beyond the %3 cards of output port %4")
                         .arg(file)
                         .arg(recovery_card + 1)
                         .arg(r->net_para.net_rcv_num)
                         .arg(recovery_port + 1));
        }
        q.result = kNotKnown;
        break;
    case 10:
        if (!read(r->update_rcvXYrcvOperateTimes(file, q.card_index, false))
            || tooMany(r->rcv_operate_times, "operations for one card"))
            break;
        q.operation = 0;
        q.step = r->rcv_operate_times == 0 ? 33 : 11;
        break;
    case 11:
        if (!read(r->update_rcvXYrcvOperatepara(file, q.operation, false)) || !read(r->set_xy_operate_data_offset()))
            break;
        q.sub_step = 20;
        job_progress(percent(q.operation + 1u, r->rcv_operate_times + 1u));
        g_change.progress_pulse = 0;
        q.step = 12;
        break;
    case 12:
    case 19: {
        const uint8_t done = load_rcv_xy_operate(file, r->operate_data_offset, scan);
        if (done == 0) {
            job_pulse();
        } else if (done == 1) {
            ++q.operation;
            if (q.operation < r->rcv_operate_times) {
                q.sub_step = 20;
                q.step = step == 12 ? 11 : 18;
            } else if (step == 19 && mode == RCV_RECOVERY) {
                q.operation = 0;
                q.step = 8; // the card's positions follow its parameters
            } else {
                q.step = 33;
            }
        }
        break;
    }
    case 13: {
        const uint16_t ledx = r->net_para.net_ledx;
        const uint8_t fpga = ledx >= kPorts ? 1 : 0;
        q.step = 14;
        q.stamp = G_timeTicks.load();
        rcv_check_answered = false;
        rcv_check_waiting = true; // before the frame: a link thread may poll its answer at once
        check_error_rcv_search_card_cmd(uint8_t(ledx - kPorts * fpga), fpga, r->screen_info.config_id,
                                        search_b_enable ? search_b : 0, r->rcv_file_count() > 0 ? 1 : 0);
        job_progress(percent(13, 35));
        restamp();
        g_change.progress_pulse = 0;
        break;
    }
    case 14: {
        if (r->net_para.net_ledx >= kPorts)
            reg_IRQ_Dealwith(1, 0); // the worker's own poll serves FPGA 0 only
        const uint16_t result = q.result.load();
        if (result != kNotKnown) {
            q.step = result == kNoCard ? 15 : 33;
        } else if (Utils::getTimeSpace(q.stamp) > kSearchAnswerTicks) {
            // A chain of other cards answers without naming one; a chain that
            // never answered was not checked.
            if (!rcv_check_answered.load())
                job_unanswered(r->net_para.net_ledx);
            q.step = 15;
        }
        if (q.step != 14)
            rcv_check_waiting = false;
        job_pulse();
        break;
    }
    case 15:
        if (q.port_record + 1u < r->screen_net_num) {
            ++q.port_record;
            q.step = 9;
        } else {
            q.port_record = 0;
            if (q.screen + 1u < r->screen_head.screen_num) {
                ++q.screen;
                q.step = 6;
            } else {
                q.step = 33;
            }
        }
        break;
    case 17:
        if (!read(r->update_smartDebugingOperateTimes(file, scan)) || tooMany(r->rcv_operate_times, "operations"))
            break;
        q.operation = 0;
        if (scan) {
            r->net_para.net_ledx = line_type.port;
            if (get_port_card_num(line_type.port) == 0) {
                job_fail(QStringLiteral("there are no cards on output port %1").arg(line_type.port + 1));
                break;
            }
        } else {
            r->net_para.net_ledx = recovery_port;
            q.card_index = recovery_card;
            const uint16_t cards = rcv_port_card_num(recovery_port);
            if (cards == 0 || q.card_index >= cards) {
                job_fail(QStringLiteral("card %1 of output port %2 cannot be restored: %3 cards answer there")
                             .arg(q.card_index + 1)
                             .arg(recovery_port + 1)
                             .arg(cards));
                break;
            }
        }
        if (r->rcv_operate_times != 0)
            q.step = 18;
        else
            q.step = scan ? 33 : 8;
        break;
    case 18:
        if (!read(r->update_smartDebugingOperatepara(file, q.operation, scan))
            || !read(r->set_para_operate_data_offset(scan)))
            break;
        q.sub_step = 20;
        job_progress(percent(q.operation + 1u, r->rcv_operate_times + 1u));
        g_change.progress_pulse = 0;
        q.step = 19;
        break;
    case 33:
        rcv_job_end(mode);
        break;
    case 34:
        rcv_check_waiting = false;
        job_end();
        restamp();
        signal(kChangeRefresh);
        break;
    default:
        break;
    }
}

void fpga_manage::rcv_job_end(RCV_CHECK_OR_RECOVERY mode)
{
    SEND_PARA& q = g_send_para;
    const uint16_t result = q.result.load();
    if (result == kNoCard || result == kNotKnown) {
        if (mode == RCV_RECOVERY && !recovery_line.isEmpty()) {
            recovery_line.clear();
            screen_hooks::post(ScreenListHook::RcvRecoveryList, QStringList());
            signal(kChangeRecovery);
        }
    } else if (mode == RCV_CHECK && p_rcvRecovery) {
        // A card needs recovery: remember it for job 6 and list it.
        const RCV_NET_PARA& port = p_rcvRecovery->net_para;
        recovery_screen = q.screen;
        recovery_port_record = q.port_record;
        recovery_port = uint8_t(port.net_ledx);
        recovery_card = uint8_t(result);
        recovery_line = QStringList{twoDigits(q.screen + 1u), twoDigits(port.net_ledx + 1u),
                                    twoDigits(result + 1u), twoDigits(port.net_rcv_num)}
                            .join(QLatin1Char('/'));
        screen_hooks::post(ScreenListHook::RcvRecoveryList, QStringList{recovery_line});
        signal(kChangeRefresh);
    }
    job_end();
}

// ---------------------------------------------------------------------------
// One operation

uint8_t fpga_manage::operation_read_failed(uint32_t result, const QString& why)
{
    if (result == RCV_READ_MALFORMED) {
        job_fail(why);
        return 2;
    }
    if (!m_op_read_failing) {
        m_op_read_failing = true;
        m_op_read_fail_stamp = G_timeTicks.load();
    } else if (Utils::getTimeSpace(m_op_read_fail_stamp) > kUnreadableTicks) {
        m_op_read_failing = false;
        job_fail(why + QStringLiteral(" (for %1 s)").arg(kUnreadableTicks / 100));
        return 2;
    }
    g_send_para.stamp = G_timeTicks.load();
    return 0;
}

uint8_t fpga_manage::send_operation_frame(const QString& file, uint32_t offset, bool all)
{
    SEND_PARA& q = g_send_para;
    rcvRecovery* r = p_rcvRecovery;
    const RCV_OPERATE_PARA& op = r->operate_para;
    const uint16_t ledx = r->net_para.net_ledx;
    const uint8_t fpga = ledx >= kPorts ? 1 : 0;
    const uint8_t port = uint8_t(ledx - kPorts * fpga);
    const bool retrying = q.retry != 0;
    const uint8_t sub = q.sub_step;

    uint32_t n = sub == 26 ? 0 : op.dataLen;
    uint64_t at = offset;
    uint64_t address = op.targetAddr;
    if (sub == 23) {
        // Packets of 1000 bytes; the last one carries the rest (0 bytes
        // when the length is a multiple of 1000).
        const uint32_t index = retrying ? q.packets_sent - 1u : q.packets_sent;
        n = index + 1u == q.packets ? op.dataLen % kPacket : kPacket;
        at += uint64_t(kPacket) * index;
        address += uint64_t(kPacket) * index;
    }
    if (n > 0) {
        if (at > std::numeric_limits<uint32_t>::max() || n > sizeof m_job_data)
            return operation_read_failed(RCV_READ_MALFORMED,
                                         QStringLiteral("%1: the data of operation %2 lies beyond any file")
                                             .arg(file)
                                             .arg(q.operation + 1));
        const uint32_t got = r->update_rcvOperatedata(file, uint32_t(at), m_job_data, uint16_t(n));
        if (got != RCV_READ_OK)
            return operation_read_failed(got, r->error_text());
    }
    m_op_read_failing = false;

    const uint16_t card = q.card;
    int length = 0;
    switch (sub) {
    case 23:
        length = load_write_ram_cmd_create(port, card, uint32_t(address), m_job_data, uint16_t(n), m_job_frame, all);
        break;
    case 24:
        length = load_write_reg_cmd_create(port, card, m_job_data, uint16_t(n), m_job_frame, all);
        break;
    case 25:
        length = rcv_active_firmware_cmd_create(port, card, m_job_data, uint16_t(n), m_job_frame);
        break;
    case 26:
        length = save_para2flash_cmd_create(port, card, m_job_frame, all);
        break;
    case 27:
        length = rcv_reconfig_cmd_create(port, card, m_job_data, uint16_t(n), m_job_frame);
        break;
    case 29:
        length = load_search_rxc_cmd_create(port, m_job_data, uint16_t(n), m_job_frame);
        break;
    case 30:
        length = load_write_user_defined_cmd_create(port, card, m_job_data, uint16_t(n), m_job_frame, all);
        break;
    default:
        break;
    }
    if (length == 0) {
        job_fail(QStringLiteral("%1: operation %2 (%3, %4 data bytes) does not fit in a %5-byte card frame")
                     .arg(file)
                     .arg(q.operation + 1)
                     .arg(rcvRecovery::operate_type_name(op.type))
                     .arg(op.dataLen)
                     .arg(rcv::kMaxFrame));
        return 2;
    }
    Send_to_port(m_job_frame, length, port, fpga);
    if (!retrying)
        ++q.packets_sent;
    q.sub_step = 31;
    q.stamp = G_timeTicks.load();
    return 0;
}

uint8_t fpga_manage::load_rcv_xy_operate(const QString& file, uint32_t offset, bool all)
{
    SEND_PARA& q = g_send_para;
    rcvRecovery* r = p_rcvRecovery;
    if (!r) {
        job_fail(QStringLiteral("there is no recovery-file reader"));
        return 2;
    }
    RCV_OPERATE_PARA& op = r->operate_para;
    const uint16_t ledx = r->net_para.net_ledx;
    if (ledx > kLastPort) {
        job_fail(QStringLiteral("output port %1 does not exist").arg(ledx + 1));
        return 2;
    }
    auto refuse = [&](const QString& why) {
        job_fail(QStringLiteral("%1: operation %2 (%3): %4")
                     .arg(file)
                     .arg(q.operation + 1)
                     .arg(rcvRecovery::operate_type_name(op.type))
                     .arg(why));
        return uint8_t(2);
    };
    // Frames carry the data from byte 10 (the user-defined one from byte
    // 9) and a checksum.
    auto fits = [&](uint32_t head) { return op.dataLen <= uint32_t(rcv::kMaxFrame) - head - 1; };

    switch (q.sub_step) {
    case 20:
        q.retry = 0;
        m_op_read_failing = false;
        q.sub_step = 21;
        return 0;
    case 21:
        q.cards = rcv_port_card_num(ledx);
        q.card = all ? (q.cards ? q.cards - 1 : 0) : q.card_index;
        q.sub_step = 22;
        return 0;
    case 22:
        op.timeticks = std::min(op.timeticks, kMaxOperationMs);
        q.packets_sent = 0;
        // Every frame-sending type but the RAM write is one packet; a count
        // left by an earlier operation would send RAM-write frames again.
        q.packets = 1;
        switch (op.type) {
        case 1:
            if (op.target == 1) {
                const uint32_t packets = op.dataLen / kPacket + 1;
                if (packets > kMaxIndexed)
                    return refuse(QStringLiteral("%1 data bytes need more than %2 frames").arg(op.dataLen).arg(kMaxIndexed));
                q.packets = uint8_t(packets);
                q.sub_step = 23;
            } else if (op.target == 2) {
                if (!fits(10))
                    return refuse(QStringLiteral("%1 data bytes do not fit in a card frame").arg(op.dataLen));
                q.sub_step = 24;
            } else {
                job_note(QStringLiteral("%1: operation %2 writes to %3, which cards are not written to: passed over")
                             .arg(file)
                             .arg(q.operation + 1)
                             .arg(rcvRecovery::operate_target_name(op.target)));
                q.sub_step = 32;
            }
            return 0;
        case 2:
            op.timeticks = uint32_t(std::min<uint64_t>(uint64_t(op.timeticks) + 1000u * q.cards,
                                                       std::numeric_limits<uint32_t>::max()));
            q.sub_step = 26;
            return 0;
        case 6:
            q.sub_step = 28;
            q.stamp = G_timeTicks.load();
            return 0;
        case 3:
        case 5:
        case 7:
        case 16:
            if (!fits(op.type == 16 ? 9 : 10))
                return refuse(QStringLiteral("%1 data bytes do not fit in a card frame").arg(op.dataLen));
            q.sub_step = sendStep(op);
            return 0;
        default:
            return refuse(QStringLiteral("type %1 cannot be run").arg(op.type));
        }
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 29:
    case 30:
        return send_operation_frame(file, offset, all);
    case 28:
        if (Utils::getTimeSpace(q.stamp) >= op.timeticks / 10)
            q.sub_step = 32;
        return 0;
    case 31: {
        if (ledx >= kPorts)
            reg_IRQ_Dealwith(1, 0); // the worker's own poll serves FPGA 0 only
        const bool perCard = op.type == 3 || op.type == 5; // addressed to one card at a time
        if (q.reply.load() == 1) {
            q.reply = 0;
            q.retry = 0;
            if (perCard && all && q.card > 0) {
                --q.card;
                q.sub_step = sendStep(op);
            } else if (perCard) {
                q.sub_step = 32;
            } else {
                q.sub_step = q.packets_sent < q.packets ? 23 : 32;
            }
        } else if (Utils::getTimeSpace(q.stamp) > op.timeticks / 10) {
            // A search is answered by whoever is there, or not at all; every
            // other frame is sent three more times, then passed over.
            if (perCard && all && q.card > 0) {
                if (q.retry >= kRetries) {
                    job_unanswered(ledx);
                    --q.card;
                    q.retry = 0;
                } else {
                    ++q.retry;
                }
                q.sub_step = sendStep(op);
            } else if (op.type == 7) {
                q.sub_step = 32;
            } else if (q.retry < kRetries) {
                ++q.retry;
                q.sub_step = sendStep(op);
            } else {
                job_unanswered(ledx);
                q.retry = 0;
                q.sub_step = q.packets_sent < q.packets ? 23 : 32;
            }
        }
        return 0;
    }
    case 32:
        return 1;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Scan-parameter record files

uint8_t fpga_manage::get_operate_deal_para(SCAN_PARA* scan, uint32_t i)
{
    if (!scan)
        return 1;
    // The chosen file is named by its whole path; a bare name is one on
    // the USB stick.
    QString path = g_tzfile_name.get();
    if (!path.startsWith(QLatin1Char('/')))
        path = QString::fromLatin1(kUsbDir) + path;
    ScanRecord rec;
    if (read_scan_record(path, i, scan_para_num, &rec) != 0)
        return 1;
    Utils::system_mutex(QStringLiteral("sync"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    scan->at0 = rec.at0;
    scan->at32 = rec.at2;
    scan->at36 = rec.at6;
    scan->at40 = rec.at14;
    scan->at44 = rec.at10;
    scan->at48 = uint32_t(rec.at18 / 10);
    return 0;
}

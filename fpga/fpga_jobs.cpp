// The jobs the receiving-card screens post in g_send_para, one step per
// worker turn: card positions (job 1), save to the cards' flash (job 3) and
// the mapping switch (job 4), with what every job shares: the PC goes
// first, progress reaches the posting screen through its hook, a job that
// waits for an answer keeps the progress ring turning, and a job that did
// not do its work says so when it ends.
#include "fpga/fpga_manage.h"

#include <cstdio>
#include <mutex>

#include "core/globals.h"
#include "core/screen_hooks.h"
#include "core/utils.h"

namespace {
constexpr uint32_t kPcQuietTicks = 80;      // the PC counts as gone after this
constexpr uint32_t kPulseTicks = 100;       // a waiting job's ring moves this often
constexpr uint32_t kCardAnswerTicks = 1200;
constexpr uint32_t kSaveTicksPerCard = 100; // a chain saves card after card
constexpr uint32_t kCloseTicks = 200;       // the last value stays this long before 100
constexpr uint8_t kLastPort = 9;
constexpr int kPositionsDone = 90;
constexpr int kPortsDone = 95;
} // namespace

// ---------------------------------------------------------------------------
// What every job shares

bool fpga_manage::job_yields_to_pc()
{
    if (pc_cmd_valid.load() != 1)
        return false;
    if (Utils::getTimeSpace(pc_cmd_time.load()) > kPcQuietTicks) {
        pc_cmd_valid = 0;
        pthread_mutex_lock(&rcv_mutex);
        search_sent_mask = 0;
        pthread_mutex_unlock(&rcv_mutex);
    }
    // The job's time-outs start again once the PC has been quiet.
    const uint32_t now = G_timeTicks.load();
    search_stamp = now;
    g_send_para.stamp = now;
    return true;
}

namespace {
bool recoveryScreenJob(uint8_t job) { return job == 5 || job == 6; }

const char* jobName(uint8_t job)
{
    switch (job) {
    case 1: return "position send";
    case 2: return "scan-file load";
    case 3: return "parameter save";
    case 4: return "mapping switch";
    case 5: return "recovery check";
    case 6: return "recovery";
    default: return "job";
    }
}

// "output port 3" or "output ports 2, 5" from bit p = output port p + 1.
QString outputPorts(uint32_t mask)
{
    QStringList ports;
    for (int p = 0; p < 32; ++p)
        if (mask & (1u << p))
            ports << QString::number(p + 1);
    return QStringLiteral("output port%1 %2").arg(ports.size() > 1 ? "s" : "").arg(ports.join(QStringLiteral(", ")));
}
} // namespace

void fpga_manage::job_progress(int value) { job_progress(value, g_send_para.job.load()); }

void fpga_manage::job_progress(int value, uint8_t job)
{
    screen_hooks::post(recoveryScreenJob(job) ? ScreenValueHook::RcvRecoveryProgress
                                              : ScreenValueHook::SmartMappingProgress,
                       value);
}

void fpga_manage::job_pulse()
{
    if (Utils::getTimeSpace(search_stamp) <= kPulseTicks)
        return;
    if (++g_change.progress_pulse > 99)
        g_change.progress_pulse = 1;
    search_stamp = G_timeTicks.load();
    job_progress(int(g_change.progress_pulse));
}

// The ring starts again for every frame a job sends.
void fpga_manage::job_sent_frame()
{
    ++m_job_frames;
    job_progress(0);
    g_change.progress_pulse = 0;
    const uint32_t now = G_timeTicks.load();
    search_stamp = now;
    g_send_para.stamp = now;
}

void fpga_manage::job_start()
{
    m_job_failure.clear();
    m_job_frames = 0;
    m_job_unanswered = 0;
    m_job_unanswered_ports = 0;
    job_note(QString());
}

void fpga_manage::job_short(const QString& why)
{
    if (m_job_failure.isEmpty())
        m_job_failure = why;
}

void fpga_manage::job_fail(const QString& why)
{
    job_short(why);
    g_send_para.step = 34;
}

void fpga_manage::job_unanswered(uint16_t port)
{
    ++m_job_unanswered;
    m_job_unanswered_ports |= 1u << (port & 31);
}

void fpga_manage::job_end()
{
    SEND_PARA& q = g_send_para;
    const uint8_t job = q.job.load();
    // The mailbox is free before the ring closes: the screen takes its next
    // job as soon as the ring is gone. The job code first: a screen that
    // posts in between keeps its job.
    q.job = 0;
    q.step = 0;
    job_progress(100, job);

    QString why = m_job_failure;
    if (m_job_unanswered != 0) {
        const QString unanswered = QStringLiteral("%1 frame%2 got no answer on %3")
                                       .arg(m_job_unanswered)
                                       .arg(m_job_unanswered > 1 ? "s" : "")
                                       .arg(outputPorts(m_job_unanswered_ports));
        why = why.isEmpty() ? unanswered : why + QStringLiteral("; ") + unanswered;
    }
    m_job_failure.clear();
    m_job_unanswered = 0;
    m_job_unanswered_ports = 0;
    if (why.isEmpty())
        return;
    std::printf("receiving-card %s failed: %s\n", jobName(job), qPrintable(why));
    {
        std::lock_guard<std::mutex> lock(m_job_text_mutex);
        m_job_message = why;
    }
    // Queued after the 100: the notice comes once the ring has closed.
    screen_hooks::post(recoveryScreenJob(job) ? ScreenHook::RcvRecoveryJobFailed : ScreenHook::SmartMappingJobFailed);
}

// Steps 4 and 9 of jobs 1, 3 and 4: the last value, and 100 a while later.
void fpga_manage::job_closing(int last)
{
    SEND_PARA& q = g_send_para;
    if (q.step.load() == 4) {
        q.step = 9;
        job_progress(last);
        q.stamp = G_timeTicks.load();
    } else if (Utils::getTimeSpace(q.stamp) > kCloseTicks) {
        job_end();
    }
}

void fpga_manage::job_note(const QString& why)
{
    if (!why.isEmpty())
        std::printf("receiving-card job: %s\n", qPrintable(why));
    std::lock_guard<std::mutex> lock(m_job_text_mutex);
    m_job_message = why;
}

QString fpga_manage::job_message() const
{
    std::lock_guard<std::mutex> lock(m_job_text_mutex);
    return m_job_message;
}

rcvRecovery* fpga_manage::recovery_reader()
{
    fpga_manage* self = p_fpga_manage;
    return self ? self->p_rcvRecovery : nullptr;
}

// ---------------------------------------------------------------------------
// Jobs 3 and 4: one frame to every port with cards, each waiting for one
// answer or its time-out.

void fpga_manage::every_port_deal(bool mapping)
{
    if (job_yields_to_pc())
        return;
    SEND_PARA& q = g_send_para;
    switch (q.step.load()) {
    case 0:
        job_start();
        q.port = 0;
        q.step = 1;
        break;
    case 1:
        if (q.port > kLastPort) {
            if (m_job_frames == 0)
                job_short(QStringLiteral("there are no cards on output ports 1-%1").arg(kLastPort + 1));
            q.step = 4;
            break;
        }
        q.cards = get_port_card_num(q.port);
        if (q.cards != 0)
            q.step = 2;
        else
            ++q.port; // a port without cards costs one turn
        break;
    case 2: {
        int n = mapping ? mapping_enable_cmd_create(q.port, m_job_frame) : save_para_cmd_create(m_job_frame, q.port);
        Send_to_port(m_job_frame, n, q.port, 0);
        ++q.port;
        q.step = 3;
        job_sent_frame();
        break;
    }
    case 3: {
        if (q.reply.load() == 1) {
            q.reply = 0;
            q.step = 1;
        }
        const uint32_t limit = mapping ? kCardAnswerTicks : kSaveTicksPerCard * q.cards + kCardAnswerTicks;
        if (q.step.load() == 3 && Utils::getTimeSpace(q.stamp) > limit) {
            job_unanswered(uint8_t(q.port - 1)); // the port has moved on already
            q.step = 1;
        }
        job_pulse();
        break;
    }
    case 4:
    case 9:
        job_closing(kPortsDone);
        break;
    default:
        break;
    }
}

void fpga_manage::save_para_deal() { every_port_deal(false); }

void fpga_manage::mapping_enable_deal() { every_port_deal(true); }

// ---------------------------------------------------------------------------
// Job 1: positions for every card of the layout's port, then the closing
// register frame to the whole port.

void fpga_manage::SmartMapping_deal()
{
    if (job_yields_to_pc())
        return;
    SEND_PARA& q = g_send_para;
    switch (q.step.load()) {
    case 0:
        job_start();
        q.card = 0;
        q.step = 1;
        q.port = line_type.port;
        break;
    case 1:
        q.cards = get_port_card_num(q.port);
        if (q.cards == 0) {
            // Cards counted before and gone now: the port lost its link.
            job_short(m_job_frames == 0
                          ? QStringLiteral("there are no cards on output port %1").arg(q.port + 1)
                          : QStringLiteral("the cards of output port %1 went away after %2 of them were sent their position")
                                .arg(q.port + 1)
                                .arg(q.card));
            q.step = 4;
        } else if (q.card >= q.cards) {
            q.step = 5;
            q.port = line_type.port;
        } else {
            q.step = 2;
        }
        break;
    case 2: {
        int n = rcv_card_cmd_create(m_job_frame, q.port);
        Send_to_port(m_job_frame, n, q.port, 0);
        ++q.card;
        q.step = 3;
        job_sent_frame();
        break;
    }
    case 3:
    case 6:
        // 3 waits for a position's answer, 6 for the closing frame's.
        if (q.reply.load() == 1) {
            q.reply = 0;
            q.step = q.step == 3 ? 1 : 5;
        } else if (Utils::getTimeSpace(q.stamp) > kCardAnswerTicks) {
            job_unanswered(q.port);
            q.step = q.step == 3 ? 1 : 5;
        }
        job_pulse();
        break;
    case 4:
    case 9:
        job_closing(kPositionsDone);
        break;
    case 5: {
        if (q.card != q.cards) {
            q.step = 4;
            break;
        }
        SCAN_PARA closing;
        closing.at32 = 1;
        closing.at28 = 0xFF;
        closing.at29 = 0xFF;
        ram_reset_cmd_create(m_job_frame, closing, q.port);
        Send_to_port(m_job_frame, q.frame_length, q.port, 0);
        ++q.card;
        q.step = 6;
        job_sent_frame();
        break;
    }
    default:
        break;
    }
}

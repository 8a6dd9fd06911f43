#pragma once
// FPGA 0 started on the simulated chips, the idle search done, and the
// screen hooks the receiving-card screens will fill recorded here: every
// progress value (with the job word as it then stood), recovery list and
// failure notice with the tick it arrived at, every frame sent with the
// tick it went out at. The worker runs one turn at a time on ticks the test
// sets.

#include "cards_fixture.h"

#include <QCoreApplication>
#include <QStringList>

#include "core/screen_hooks.h"
#include "ui/rcvtools/rcvrecovery.h"

struct Seen {
    uint32_t tick;
    int value;
    int job = 0; // the job word when it arrived
};
struct Failed {
    uint32_t tick;
    bool recoveryScreen; // the recovery screen's notice, else the smart-setup screen's
    bool ringClosed;     // after that screen's last progress value, above 99
};
struct Sent {
    uint32_t tick;
    int fpga;
    int port;
    Bytes frame;
};

class JobsTest : public CardsTest {
protected:
    void SetUp() override
    {
        CardsTest::SetUp();
        screen_hooks::set(ScreenValueHook::SmartMappingProgress,
                          [this](int v) { smart.push_back({G_timeTicks.load(), v, g_send_para.job.load()}); });
        screen_hooks::set(ScreenValueHook::RcvRecoveryProgress,
                          [this](int v) { recovery.push_back({G_timeTicks.load(), v, g_send_para.job.load()}); });
        screen_hooks::set(ScreenListHook::RcvRecoveryList, [this](const QStringList& l) { lists.push_back(l); });
        screen_hooks::set(ScreenHook::SmartMappingJobFailed,
                          [this] { failed.push_back({G_timeTicks.load(), false, closedLast(smart)}); });
        screen_hooks::set(ScreenHook::RcvRecoveryJobFailed,
                          [this] { failed.push_back({G_timeTicks.load(), true, closedLast(recovery)}); });
        startUp();
        // The idle search has counted the start-up chains of FPGA 0.
        ASSERT_TRUE(runUntil([this] {
            for (uint8_t p = 0; p < 4; ++p)
                if (m->get_port_card_num(p) != 4)
                    return false;
            return true;
        }));
        clearSeen();
    }

    void TearDown() override
    {
        screen_hooks::set(ScreenValueHook::SmartMappingProgress, nullptr);
        screen_hooks::set(ScreenValueHook::RcvRecoveryProgress, nullptr);
        screen_hooks::set(ScreenListHook::RcvRecoveryList, nullptr);
        screen_hooks::set(ScreenHook::SmartMappingJobFailed, nullptr);
        screen_hooks::set(ScreenHook::RcvRecoveryJobFailed, nullptr);
        CardsTest::TearDown();
    }

    void clearSeen()
    {
        QCoreApplication::processEvents();
        smart.clear();
        recovery.clear();
        lists.clear();
        failed.clear();
        sent.clear();
        codes.clear();
        sim(0).clearLogs();
        sim(1).clearLogs();
    }

    // One worker turn `ticks` after the last, then what it sent and what
    // reached the screens.
    void turn(uint32_t ticks = 1)
    {
        G_timeTicks += ticks;
        m->fpga_manage_deal(nullptr);
        const uint32_t now = G_timeTicks.load();
        for (int f = 0; f < 2; ++f) {
            for (auto& s : sim(f).sentFrames())
                sent.push_back({now, f, s.port, s.frame});
            sim(f).clearLogs();
        }
        QCoreApplication::processEvents();
    }

    // Posts a job as a screen does and turns until it is over; false when it
    // is still running after `maxTurns`.
    bool runJob(uint8_t code, int maxTurns = 20000, uint32_t ticksPerTurn = 1)
    {
        g_send_para.post(code);
        return finish(maxTurns, ticksPerTurn);
    }
    // Turns until the running job is over.
    bool finish(int maxTurns = 20000, uint32_t ticksPerTurn = 1)
    {
        for (int i = 0; i < maxTurns && g_send_para.job.load() != 0; ++i)
            turn(ticksPerTurn);
        return g_send_para.job.load() == 0;
    }

    // `count` cards on port p of FPGA 0, linked, and counted by the idle search.
    void chain(uint8_t p, int count)
    {
        cards().setCards(p, count);
        sim(0).setLinks(uint16_t(sim(0).links() | (1u << p)));
        ASSERT_TRUE(runUntil([&] { return m->get_port_card_num(p) == count; }));
    }

    // Frames with command byte `command` (byte 9).
    std::vector<Sent> framesWith(uint8_t command) const
    {
        std::vector<Sent> out;
        for (const Sent& s : sent)
            if (s.frame.size() > 9 && s.frame[9] == command)
                out.push_back(s);
        return out;
    }

    static std::vector<int> values(const std::vector<Seen>& seen)
    {
        std::vector<int> v;
        for (const Seen& s : seen)
            v.push_back(s.value);
        return v;
    }

    static bool closedLast(const std::vector<Seen>& seen) { return !seen.empty() && seen.back().value > 99; }

    // Runs `body`, which posts a job and turns it out, with standard output
    // captured, and returns what was printed. The job ended on the ring of
    // one screen (the recovery screen's or the smart-setup screen's) with
    // 100, which found the job word already 0.
    std::string ended(bool recoveryScreen, const std::function<void()>& body)
    {
        clearSeen();
        testing::internal::CaptureStdout();
        body();
        const std::string out = testing::internal::GetCapturedStdout();
        const std::vector<Seen>& ring = recoveryScreen ? recovery : smart;
        EXPECT_TRUE(closedLast(ring));
        for (const Seen& s : ring)
            if (s.value > 99) {
                EXPECT_EQ(s.job, 0) << "the ring closed on a busy mailbox";
            }
        EXPECT_TRUE((recoveryScreen ? smart : recovery).empty());
        return out;
    }
    // The job did its work: no notice, no line.
    void didItsWork(const std::string& out)
    {
        EXPECT_TRUE(failed.empty());
        EXPECT_EQ(out.find("receiving-card"), std::string::npos) << out;
    }
    // It did not: that screen's notice once, after its ring closed, and one
    // line on standard output, which holds `says`.
    void failedOnce(const std::string& out, bool recoveryScreen, const std::string& says)
    {
        ASSERT_EQ(failed.size(), 1u) << says;
        EXPECT_EQ(failed[0].recoveryScreen, recoveryScreen);
        EXPECT_TRUE(failed[0].ringClosed) << says;
        EXPECT_EQ(out.find("receiving-card"), out.rfind("receiving-card")) << "one line: " << out;
        EXPECT_NE(out.find(says), std::string::npos) << out;
    }

    std::vector<Seen> smart, recovery;
    std::vector<QStringList> lists;
    std::vector<Failed> failed;
    std::vector<Sent> sent;
};

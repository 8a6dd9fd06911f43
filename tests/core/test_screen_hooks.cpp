// Calls into screens from other threads reach them in the GUI thread, only
// while they are on top, and do nothing while no screen filled the hook.
#include "tests/support/sandbox.h"

#include <QCoreApplication>
#include <QThread>
#include <thread>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/screen_hooks.h"

namespace {
class ScreenHooks : public Sandbox {
protected:
    void TearDown() override
    {
        for (int h = 0; h < int(ScreenHook::Count); ++h)
            screen_hooks::set(ScreenHook(h), nullptr);
        for (int h = 0; h < int(ScreenValueHook::Count); ++h)
            screen_hooks::set(ScreenValueHook(h), nullptr);
        for (int h = 0; h < int(ScreenListHook::Count); ++h)
            screen_hooks::set(ScreenListHook(h), nullptr);
        Sandbox::TearDown();
    }
};
} // namespace

TEST_F(ScreenHooks, PostedCallsRunInTheGuiThreadWhileTheirScreenIsOnTop)
{
    std::vector<std::string> calls;
    screen_hooks::set(ScreenHook::SmartMappingBack, [&] {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        calls.push_back("back");
    });
    screen_hooks::set(ScreenHook::OptionLanguageChanged, [&] { calls.push_back("option"); });

    g_page_focus = kPageSmartMapping;
    std::thread link([] {
        screen_hooks::post(ScreenHook::SmartMappingBack, kPageSmartMapping);
        screen_hooks::post(ScreenHook::OptionLanguageChanged);
        screen_hooks::post(ScreenHook::RcvRecoveryBack, kPageRcvRecovery); // nobody filled it
    });
    link.join();
    EXPECT_TRUE(calls.empty());
    pumpEvents();
    EXPECT_EQ(calls, (std::vector<std::string>{"back", "option"}));

    // The screen closed before the GUI thread got to the call.
    calls.clear();
    screen_hooks::post(ScreenHook::SmartMappingBack, kPageSmartMapping);
    g_page_focus = kPageOption;
    pumpEvents();
    EXPECT_TRUE(calls.empty());

    // A screen may replace or clear its hook; the previous one comes back.
    screen_hooks::Hook previous = screen_hooks::set(ScreenHook::SmartMappingBack, nullptr);
    ASSERT_TRUE(bool(previous));
    screen_hooks::run(ScreenHook::SmartMappingBack);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ScreenHooks, ValuesAndListsReachTheGuiThreadInTheOrderPosted)
{
    std::vector<int> progress;
    std::vector<QStringList> lists;
    screen_hooks::set(ScreenValueHook::RcvRecoveryProgress, [&](int v) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        progress.push_back(v);
    });
    screen_hooks::set(ScreenListHook::RcvRecoveryList, [&](const QStringList& l) {
        lists.push_back(l);
        progress.push_back(-1); // where the list came among the values
    });
    std::thread worker([] {
        screen_hooks::post(ScreenValueHook::RcvRecoveryProgress, 0);
        screen_hooks::post(ScreenValueHook::SmartMappingProgress, 50); // nobody filled it
        screen_hooks::post(ScreenValueHook::RcvRecoveryProgress, 100);
        screen_hooks::post(ScreenListHook::RcvRecoveryList, QStringList{"01/03/05/12"});
        screen_hooks::post(ScreenListHook::RcvRecoveryList, QStringList());
    });
    worker.join();
    EXPECT_TRUE(progress.empty());
    pumpEvents();
    EXPECT_EQ(progress, (std::vector<int>{0, 100, -1, -1}));
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0], QStringList{"01/03/05/12"});
    EXPECT_TRUE(lists[1].isEmpty());

    // The screen closed (its hook cleared) before the GUI thread got there.
    screen_hooks::post(ScreenValueHook::RcvRecoveryProgress, 7);
    screen_hooks::set(ScreenValueHook::RcvRecoveryProgress, nullptr);
    pumpEvents();
    EXPECT_EQ(progress.size(), 4u);
}

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

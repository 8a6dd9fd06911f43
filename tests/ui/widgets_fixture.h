#pragma once
// The shared widgets' tests: a main window in English with every language
// offered, with the tick, the real notice and the keyboard it builds, all
// gone with it after the test.

#include "tests/support/modal_driver.h"
#include "tests/support/panel.h"
#include "tests/support/sandbox.h"

#include "core/globals.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/tip.h"

class WithMainWindow : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        window = new MainWindow(nullptr);
        g_mainwindow = window;
        // After the window: it takes the language of the parameter image.
        g_language = panel::kEnglish;
        g_lcd_lang_valid = 0x1F;
    }
    void TearDown() override
    {
        closeAllScreens();
        delete g_move_update;
        delete window;
        g_mainwindow = nullptr;
        paneltest::flushDeferredDeletes();
        Sandbox::TearDown();
    }

    MainWindow* window = nullptr;
};

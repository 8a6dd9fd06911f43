#pragma once
// A sandbox for the panel's screens: the parameter store, the dispatcher
// connected as main() connects it, a scaler manager without its thread (so
// a raised request stays visible), the pop-up notices counted instead of
// shown, and every screen closed and deleted afterwards.

#include "tests/support/modal_driver.h"
#include "tests/support/panel.h"
#include "tests/support/sandbox.h"

#include <QObject>
#include <vector>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "scaler/c331_manage.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

class PanelTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        store = VyxRamPara::pInstance();
        scaler = c331_manage::createForTest();
        QObject::connect(store, &VyxRamPara::sig_update_para, SyncUpdate::pInstance(), &SyncUpdate::para_sync);
        QObject::connect(store, &VyxRamPara::sig_update_para, store, [this](int code) { codes.push_back(code); });
        previousNotice = SyncUpdate::setNoticeHook([this](int kind) { notices.push_back(kind); });
        g_language = panel::kEnglish;
    }

    void TearDown() override
    {
        closeAllScreens();
        paneltest::flushDeferredDeletes();
        delete window;
        window = nullptr;
        g_mainwindow = nullptr;
        paneltest::flushDeferredDeletes();
        SyncUpdate::setNoticeHook(previousNotice);
        Sandbox::TearDown();
    }

    // The main window, as main() makes it (g_mainwindow), shown.
    MainWindow* mainWindow()
    {
        if (!window) {
            window = new MainWindow(nullptr);
            g_mainwindow = window;
            g_page_focus = kPageMainWindow;
            window->show();
        }
        return window;
    }

    uint16_t image16(int addr) const { return le16(store->ram_para + addr); }
    void setImage16(int addr, uint16_t v) { putLe16(store->ram_para + addr, v); }
    uint16_t snapshot16(int addr) const { return le16(store->ram_para_bak + addr); }
    // The live image becomes the state last persisted.
    void takeSnapshot() { copyShared(store->ram_para_bak, store->ram_para, ram::kImageSize); }
    // The scaler's pending request (1 apply, 2 apply after a reset, 0 none),
    // and taking it as the scaler thread would.
    int request() const { return scaler->para_changed.load(); }
    void serveRequest() { scaler->para_changed = 0; }
    // Marks user-mode slot `slot` saved with `fill` in every stored byte.
    void saveSlot(int slot, uint8_t fill)
    {
        fillShared(store->user_mode[slot], ram::kMarkerSaved, 2);
        fillShared(store->user_mode[slot] + ram::kSlotData, fill, ram::kModeLength);
    }

    VyxRamPara* store = nullptr;
    c331_manage* scaler = nullptr;
    MainWindow* window = nullptr;
    std::vector<int> codes;
    std::vector<int> notices;
    SyncUpdate::NoticeHook previousNotice;
};

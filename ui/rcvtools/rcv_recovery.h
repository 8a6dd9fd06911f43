#pragma once
// Receiving-card recovery (page code 25), under the advanced menu: Query
// asks the FPGA worker to look for a card that lost its set-up (job 5),
// Recovery has it restore the card found (job 6). The screen never reads
// the recovery file itself; it shows what the worker reports.

#include <QStringList>
#include <cstdint>

#include "ui/rcvtools/file_list_frame.h"
#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class rcv_recovery;
}

class rcv_recovery : public PanelDialog {
    Q_OBJECT
public:
    explicit rcv_recovery(QWidget* parent = nullptr);
    ~rcv_recovery() override;

    void language_changed();
    void syncUpdate(int code);
    void menulist_init();
    void menulist_sel_right();
    void menulist_sel_left();
    // Runs the focused item: Query or Recovery.
    void menulist_button_ok_page();
    // Rebuilds the list box from the recovery list.
    void rcv_self_recovery_file_list();

    const QStringList& recovery_list() const { return m_recovery_list; }
    uint8_t entry_count() const { return m_entry_count; }

public slots:
    void menulist_back_page();
    void vyx_button_file_clicked();
    void vyx_Button_previous_clicked();
    void vyx_Button_next_clicked();

signals:
    // Progress in percent of the FPGA worker's job; 100 ends it.
    void sig_qround_bar_update(int value);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void query();
    void recover();
    // A job may be posted: no ring up, no job in the mailbox.
    static bool job_free();
    void post_job(uint8_t code);
    // The worker's report: the entries ("SS/PP/CC/NN") that need recovery.
    void set_recovery_list(const QStringList& lines);
    QString row_text(const QString& entry);

    Ui::rcv_recovery* ui;
    QStringList m_recovery_list;
    uint8_t ui_select = 0;
    // Set while rows are built: the last listed card cannot be restored.
    uint32_t m_start_refused = 0;
    int8_t current_page = 0;
    uint8_t m_last_page = 0;
    uint8_t m_entry_count = 0;
    uint8_t file_select = 0;
    filelist::FileListFrame m_list;
    panel::FocusRing m_ring{ui_select};

    // Calls other threads make into the screen while it is open; they run
    // in the GUI thread, and a back call only while this is still the open
    // recovery screen.
    panel::ScreenHookFill back_hook{ScreenHook::RcvRecoveryBack, [this] {
                                        if (g_rcv_recovery == this)
                                            menulist_back_page();
                                    }};
    panel::ValueHookFill progress_hook{
        ScreenValueHook::RcvRecoveryProgress, [this](int value) { emit sig_qround_bar_update(value); }};
    panel::ListHookFill list_hook{
        ScreenListHook::RcvRecoveryList, [this](const QStringList& lines) { set_recovery_list(lines); }};
    panel::ScreenHookFill failed_hook{ScreenHook::RcvRecoveryJobFailed, [this] {
                                          if (g_rcv_recovery == this)
                                              SyncUpdate::notice(kNoticeCardJobFailed);
                                      }};
};

#pragma once
// The ageing-test monitor (page code 23), under the advanced menu: the
// ageing log the tick fills every 180 s, sixteen lines a page, with the
// five checks of FPGA register 40 in green or red and the counters of how
// far register 42 moved between samples. It only reads.

#include <QFont>
#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QLabel;

namespace Ui {
class factoryage;
}

class factoryage : public PanelDialog {
    Q_OBJECT
public:
    explicit factoryage(QWidget* parent = nullptr);
    ~factoryage() override;

    void syncUpdate();
    // Redraws the open page from the ageing log; the tick calls it after
    // every ageing check.
    void update_agelog();
    // Makes the page area anew and draws it (the waiting text while the log
    // is empty).
    void ageloginit();

public slots:
    void slot_Button_back_clicked();
    void on_ButtonNext_clicked();
    void on_ButtonPriv_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    static constexpr int kLinesPerPage = 16;

    void para_init() { }
    void menulist_init();
    void show_counters();
    int page_count() const;

    Ui::factoryage* ui;
    QWidget* m_page = nullptr; // page container inside the frame
    QFont m_font;
    uint8_t ui_select = 0;     // 0 Next, 1 Priv
    uint8_t m_pageIndex = 0;
    QLabel* m_pageLabel = nullptr;
    QString m_pageText;
    const QString m_buttonStyle;
    const QString m_buttonFocusedStyle;
    panel::FocusRing m_ring;
};

#pragma once
// USB firmware upgrade (page code 26), under the communication menu: lists
// the upgrade packages of the stick's upgrade directory and, on the
// keypad's OK, hands the upgrade to the FPGA worker, which applies every
// package listed there and reports its end with change code 104.

#include <QStringList>
#include <cstdint>

#include "ui/rcvtools/file_list_frame.h"
#include "ui/shell/panel_dialog.h"

class QFrame;
class QLabel;
class QPushButton;

class firmware_usbgrade : public PanelDialog {
    Q_OBJECT
public:
    static constexpr int kMaxPackages = 100;

    explicit firmware_usbgrade(QWidget* parent = nullptr);
    ~firmware_usbgrade() override;

    void language_changed();
    void syncUpdate(int code);
    void menulist_init();
    // Lists the stick's upgrade directory into the package list.
    void get_file_list_smartpath();
    // Rebuilds the list box from the package list.
    void upgrade_file_list();
    // Starts the upgrade (keypad OK).
    void menulist_button_ok_page();

    const QStringList& packages() const { return m_packages; }
    bool downing() const { return file_downing != 0; }

public slots:
    void menulist_back_page();
    void vyx_button_file_clicked();
    void vyx_Button_previous_clicked();
    void vyx_Button_next_clicked();
    // Touch on the OK button: shows the upgrade's time stamps, never
    // starts one.
    void on_Button_grade_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // hour:minute:second now, without leading zeros.
    static QString clock_stamp();

    QFrame* frame;
    QPushButton* Button_grade;
    QLabel* label_log;
    QLabel* label_usb_update;

    QStringList m_packages;   // system paths, in listing order
    uint8_t m_vyx_count = 0;
    uint8_t m_vyxzk_count = 0;
    uint8_t m_highlight[kMaxPackages] = {};
    int8_t current_page = 0;
    uint8_t m_last_page = 0;
    uint8_t file_select = 0;
    uint8_t file_downing = 0;
    QString m_start_stamp;
    uint16_t ui_select = 0;
    filelist::FileListFrame m_list;
};

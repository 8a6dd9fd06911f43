#pragma once
// The status screen (page code 2), read-only: the controller's barcode, the
// links of output ports 1-10, which inputs carry a signal, and the
// controller and FPGA versions. Back returns to the main window, the mode
// key goes to the user modes.

#include "ui/shell/panel_dialog.h"

class QFrame;

namespace Ui {
class MachineState;
}

class MachineState : public PanelDialog {
    Q_OBJECT
public:
    explicit MachineState(QWidget* parent = nullptr);
    ~MachineState() override;

    // Builds the row of output ports anew from FPGA 0's link mask.
    void initWlan();
    // The pictures of the inputs, with or without signal.
    void source_check();
    // The controller and FPGA version lines, written once.
    void version_changed();
    void language_changed();
    // Refresh from the dispatcher while the screen is on top: the inputs
    // always, the port row only on an output-port change (code 11).
    void syncUpdate(int code);

public slots:
    void on_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::MachineState* ui;
    QFrame* m_portFrame = nullptr;
};

#include "ui/shell/machinestate.h"
#include "ui_machinestate.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<MachineState> kMachineStateRefresh(kPageMachineState, g_machinestate);
const panel::Tr5 kMachineStateTitle{"设备信息", "Devices", "Устройство", "Thiết bị", "設備信息"};
} // namespace

MachineState::MachineState(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::MachineState)
{
    ui->setupUi(this);
    language_changed();
}

MachineState::~MachineState() { delete ui; }

void MachineState::language_changed() { ui->label_title->setText(panel::text(kMachineStateTitle)); }

void MachineState::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void MachineState::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_machinestate); });
}

void MachineState::slot_Button_back_clicked() { panel::go_back(this, g_machinestate, g_mainwindow, kPageMainWindow); }

#include "ui/setup/factoryage.h"
#include "ui_factoryage.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<factoryage> kFactoryageRefresh(kPageFactoryage, g_factoryage);
} // namespace

factoryage::factoryage(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::factoryage)
{
    ui->setupUi(this);
}

factoryage::~factoryage() { delete ui; }

void factoryage::syncUpdate() { }

void factoryage::update_agelog() { }

void factoryage::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_factoryage, g_advancedoption, g_option); });
}

void factoryage::slot_Button_back_clicked()
{
    panel::go_back(this, g_factoryage, g_advancedoption, kPageAdvancedOption);
}

#include "ui/setup/temperature.h"
#include "ui_temperature.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<temperature> kTemperatureRefresh(kPageTemperature, g_temperature);
const panel::Tr5 kTemperatureTitle{"色温", "Temperature", "Цветовая температура", "Nhiệt độ màu", "色溫"};
} // namespace

temperature::temperature(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::temperature)
{
    ui->setupUi(this);
    language_changed();
}

temperature::~temperature() { delete ui; }

void temperature::language_changed() { ui->label_title->setText(panel::text(kTemperatureTitle)); }

void temperature::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void temperature::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_temperature, g_imagequality, g_option); });
}

void temperature::slot_Button_back_clicked() { panel::go_back(this, g_temperature, g_imagequality, kPageImageQuality); }

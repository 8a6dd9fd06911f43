#include "ui/setup/quality.h"
#include "ui_quality.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<quality> kQualityRefresh(kPageQuality, g_quality);
const panel::Tr5 kQualityTitle{"画质", "Image quality", "Качество изображения", "Chất lượng hình ảnh", "畫質"};
} // namespace

quality::quality(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::quality)
{
    ui->setupUi(this);
    language_changed();
}

quality::~quality() { delete ui; }

void quality::language_changed() { ui->label_title->setText(panel::text(kQualityTitle)); }

void quality::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void quality::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_quality, g_imagequality, g_option); });
}

void quality::slot_Button_back_clicked() { panel::go_back(this, g_quality, g_imagequality, kPageImageQuality); }

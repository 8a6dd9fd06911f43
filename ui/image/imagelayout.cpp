#include "ui/image/imagelayout.h"
#include "ui_imagelayout.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<ImageLayout> kImageLayoutRefresh(kPageImageLayout, g_imagelayout);
const panel::Tr5 kImageLayoutTitle{"画面布局", "Screen layout", "Расположение", "Bố cục màn hình", "畫麵佈局"};
} // namespace

ImageLayout::ImageLayout(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::ImageLayout)
{
    ui->setupUi(this);
    language_changed();
}

ImageLayout::~ImageLayout() { delete ui; }

void ImageLayout::language_changed() { ui->label_title->setText(panel::text(kImageLayoutTitle)); }

void ImageLayout::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void ImageLayout::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_imagelayout, g_option); });
}

void ImageLayout::slot_Button_back_clicked() { panel::go_back(this, g_imagelayout, g_option, kPageOption); }

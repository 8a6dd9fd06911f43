#include "ui/shell/imagequality.h"
#include "ui_imagequality.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/setup/quality.h"
#include "ui/setup/temperature.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/settings_menus.h"

namespace {
const panel::PageRefresh<ImageQuality> kImageQualityRefresh(kPageImageQuality, g_imagequality);
const panel::Tr5 kImageQualityTitle{"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"};
const panel::Tr5 kImageQualityItems[] = {
    {"画质", "Quality", "Качество", "Chất lượng", "畫質"},
    {"色温", "Temperature", "Оттенок", "Độ màu", "色溫"},
};
} // namespace

ImageQuality::ImageQuality(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::ImageQuality)
{
    ui->setupUi(this);
    para_init();
    language_changed();
    menulist_init();
}

ImageQuality::~ImageQuality() { delete ui; }

void ImageQuality::language_changed()
{
    ui->label_title->setText(panel::text(kImageQualityTitle));
    settings_menus::set_fitting_text(ui->Button_quality, panel::text(kImageQualityItems[0]));
    settings_menus::set_fitting_text(ui->Button_temperature, panel::text(kImageQualityItems[1]));
}

void ImageQuality::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void ImageQuality::menulist_init()
{
    ring.set({ui->Button_quality, ui->Button_temperature}, style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void ImageQuality::keyReleaseEvent(QKeyEvent* event)
{
    settings_menus::log_key_release("ImageQuality", event->key(), ui_select);
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_imagequality, g_option); });
}

void ImageQuality::slot_Button_back_clicked() { panel::go_back(this, g_imagequality, g_option, kPageOption); }

void ImageQuality::open_item(int item)
{
    static void (ImageQuality::*const kOpen[])() = {
        &ImageQuality::on_Button_quality_clicked,
        &ImageQuality::on_Button_temperature_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void ImageQuality::on_Button_quality_clicked() { panel::open_modal(g_quality, kPageQuality); }

void ImageQuality::on_Button_temperature_clicked() { panel::open_modal(g_temperature, kPageTemperature); }

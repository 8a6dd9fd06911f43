#include "ui/setup/lcdshow.h"
#include "ui_lcdshow.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<lcdshow> kLcdshowRefresh(kPageLcdshow, g_lcdshow);
const panel::Tr5 kLcdshowTitle{"液晶显示", "LCD display", "ЖК-дисплей", "Màn hình LCD", "液晶顯示"};
} // namespace

lcdshow::lcdshow(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::lcdshow)
{
    ui->setupUi(this);
    language_changed();
}

lcdshow::~lcdshow() { delete ui; }

void lcdshow::language_changed() { ui->label_title->setText(panel::text(kLcdshowTitle)); }

void lcdshow::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void lcdshow::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_lcdshow, g_advancedoption, g_option); });
}

void lcdshow::slot_Button_back_clicked() { panel::go_back(this, g_lcdshow, g_advancedoption, kPageAdvancedOption); }

#include "ui/setup/testimage.h"
#include "ui_testimage.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::Tr5 kTestimageTitle{"测试画面", "Test pattern", "Тестовое изображение", "Mẫu kiểm tra", "測試畫面"};
} // namespace

testimage::testimage(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::testimage)
{
    ui->setupUi(this);
    language_changed();
}

testimage::~testimage() { delete ui; }

void testimage::language_changed() { ui->label_title->setText(panel::text(kTestimageTitle)); }

void testimage::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void testimage::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_testimage, g_advancedoption, g_option); });
}

void testimage::slot_Button_back_clicked() { panel::go_back(this, g_testimage, g_advancedoption, kPageAdvancedOption); }

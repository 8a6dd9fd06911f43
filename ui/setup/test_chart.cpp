#include "ui/setup/test_chart.h"
#include "ui_test_chart.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<test_chart> kTestchartRefresh(kPageTestChart, g_test_chart);
const panel::Tr5 kTestchartTitle{"测试画面", "Test pattern", "Тестовое изображение", "Mẫu kiểm tra", "測試畫面"};
} // namespace

test_chart::test_chart(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::test_chart)
{
    ui->setupUi(this);
    language_changed();
}

test_chart::~test_chart() { delete ui; }

void test_chart::language_changed() { ui->label_title->setText(panel::text(kTestchartTitle)); }

void test_chart::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void test_chart::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_test_chart, g_option); });
}

void test_chart::slot_Button_back_clicked()
{
    panel::scaler_write([](panel::ScalerWrite& w) { w.put8(ram::kTestPattern, 0); });
    panel::go_back(this, g_test_chart, g_option, kPageOption);
}

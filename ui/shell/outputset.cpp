#include "ui/shell/outputset.h"
#include "ui_outputset.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/setup/ledset.h"
#include "ui/setup/netset.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/settings_menus.h"

namespace {
const panel::PageRefresh<OutputSet> kOutputSetRefresh(kPageOutputSet, g_outputset);
const panel::Tr5 kOutputSetTitle{"输出设置", "Output Seeting", "Выход", "Thông số đầu ra", "輸出設置"};
const panel::Tr5 kOutputSetItems[] = {
    {"LED设置", "LED Setting", "Настройки\nLED", "Cài đặt\nLED", "LED設置"},
    {"网口输出", "Port output", "Настройка\nLAN", "Cài đặt\ncổng MẠNG", "網口輸出"},
};
// The LED screen size set: width, then height.
const panel::Tr5 kOutputSetInfo{"当前设置LED屏宽高为: %1x%2", "LED Screen can be set:%1x%2",
    "Текущий размер LED (px): %1x%2", "Gợi ý: Kích thước màn hình LED hiện tại::%1x%2", "當前設置LED屏寬高爲: %1x%2"};
} // namespace

OutputSet::OutputSet(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::OutputSet)
{
    ui->setupUi(this);
    panel::set_picture(ui->label_note_OK, panel::png_plain(QStringLiteral("OK_Enter")));
    panel::set_picture(ui->label_note_back, panel::png_plain(QStringLiteral("back_return")));
    menulist_init();
    language_changed();
}

OutputSet::~OutputSet() { delete ui; }

void OutputSet::language_changed()
{
    ui->label_title->setText(panel::text(kOutputSetTitle));
    settings_menus::set_fitting_text(ui->Button_ledset, panel::text(kOutputSetItems[0]));
    settings_menus::set_fitting_text(ui->Button_lanset, panel::text(kOutputSetItems[1]));
    // Read again at every re-text: a child that changed the size comes back here.
    ui->label_info->setText(panel::text(kOutputSetInfo)
                                .arg(panel::img16(ram::kLedWidth))
                                .arg(panel::img16(ram::kLedHeight)));
    panel::fit_label(ui->label_info);
}

void OutputSet::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void OutputSet::menulist_init()
{
    ring.set({ui->Button_ledset, ui->Button_lanset}, style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void OutputSet::keyReleaseEvent(QKeyEvent* event)
{
    settings_menus::log_key_release("OutputSet", event->key(), ui_select);
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_outputset, g_option); });
}

void OutputSet::slot_Button_back_clicked() { panel::go_back(this, g_outputset, g_option, kPageOption); }

void OutputSet::open_item(int item)
{
    static void (OutputSet::*const kOpen[])() = {
        &OutputSet::on_Button_ledset_clicked,
        &OutputSet::on_Button_lanset_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void OutputSet::on_Button_ledset_clicked() { panel::open_modal(g_ledset, kPageLedset); }

void OutputSet::on_Button_lanset_clicked() { panel::open_modal(g_netset, kPageNetset); }

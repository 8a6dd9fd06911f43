#include "ui/shell/advancedoption.h"
#include "ui_advancedoption.h"

#include <QKeyEvent>
#include <QPointer>

#include "core/screen_hooks.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/rcvtools/rcv_recovery.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "ui/setup/factory.h"
#include "ui/setup/factoryage.h"
#include "ui/setup/lcdshow.h"
#include "ui/setup/othersetup.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/settings_menus.h"

namespace {
const panel::PageRefresh<AdvancedOption> kAdvancedOptionRefresh(kPageAdvancedOption, g_advancedoption);
const panel::Tr5 kAdvancedOptionTitle{"高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"};
// In ring order.
const panel::Tr5 kAdvancedOptionItems[] = {
    {"液晶显示", "LCD display", "ЖК\nдисплей", "Màn hình\nLCD", "液晶顯示"},
    {"其他设置", "Others", "Другие\nнастройки", "Khôi phục\ncài đăt gốc", "其他設置"},
    {"接收卡自恢复", "Rcv\nself-recovery", "Самовосст\nановление", "Thẻ nhận tự\nphục hồi", "接收卡自恢複"},
    {"工厂设置", "Factory", "Системные\nнастройки", "Khôi phục\ncàiđăt gốc", "工廠設置"},
    {"工厂老化", "Aging", "Сброс\nнастроек", "Lão hóa\nnhà máy", "工廠老化"},
};
constexpr int kItemRecovery = 2;

const char* const kRecoveryDir = "/data/rcvrecovery";
const char* const kAccessCode = "3958";
// What the keyboard shows before the first digit: the code is not shown.
const char* const kHiddenValue = "**********";

const char* const kGrey
    = "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const char* const kGreyFocused
    = "background-color: gray; border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;"
      "color:rgb(255,255,255)";

// Runs in the GUI thread: the menu may have closed since the call was made.
void retext_open_menu()
{
    if (AdvancedOption* menu = g_advancedoption)
        menu->language_changed();
}
} // namespace

AdvancedOption::AdvancedOption(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::AdvancedOption)
{
    ui->setupUi(this);
    panel::set_picture(ui->label_note_OK, panel::png_plain(QStringLiteral("OK_Enter")));
    panel::set_picture(ui->label_note_back, panel::png_plain(QStringLiteral("back_return")));
    para_init();
    language_changed();
    menulist_init();
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this,
            &AdvancedOption::confirmString);
    // The PC file handler's call, run in the GUI thread while page 12 is on top.
    screen_hooks::set(ScreenHook::AdvancedOptionLanguageChanged, retext_open_menu);
}

AdvancedOption::~AdvancedOption()
{
    // Deleted late, an old menu leaves the call to a newer one.
    if (!g_advancedoption || g_advancedoption == this)
        screen_hooks::set(ScreenHook::AdvancedOptionLanguageChanged, nullptr);
    delete ui;
}

QString AdvancedOption::item_style(int index, bool focused) const
{
    if (index == kItemRecovery && !recovery_flag)
        return QLatin1String(focused ? kGreyFocused : kGrey);
    return QLatin1String(focused ? settings_menus::kButtonFocused : settings_menus::kButtonNormal);
}

void AdvancedOption::language_changed()
{
    // A missing directory or reader leaves the flag as it was.
    if (rcvRecovery* reader = fpga_manage::recovery_reader())
        if (reader->get_dir_file(QLatin1String(kRecoveryDir)) == 0)
            recovery_flag = reader->rcv_file_count() > 0 ? 1 : 0;

    ui->label_title->setText(panel::text(kAdvancedOptionTitle));
    QPushButton* const items[] = {
        ui->Button_LCDshow, ui->Button_other, ui->Button_rcv_recovery, ui->Button_factory, ui->Button_age};
    for (int i = 0; i < 5; ++i)
        settings_menus::set_fitting_text(items[i], panel::text(kAdvancedOptionItems[i]));
    ui->Button_rcv_recovery->setStyleSheet(item_style(kItemRecovery, ring.current() == ui->Button_rcv_recovery));
}

void AdvancedOption::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void AdvancedOption::menulist_init()
{
    // Reading order; the grey recovery button stays in the ring.
    ring.set({ui->Button_LCDshow, ui->Button_other, ui->Button_rcv_recovery, ui->Button_factory, ui->Button_age},
        [this](int index, bool focused) { return item_style(index, focused); });
    ring.start(0);
}

void AdvancedOption::keyReleaseEvent(QKeyEvent* event)
{
    settings_menus::log_key_release("AdvancedOption", event->key(), ui_select);
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_advancedoption, g_option); });
}

void AdvancedOption::slot_Button_back_clicked() { panel::go_back(this, g_advancedoption, g_option, kPageOption); }

void AdvancedOption::open_item(int item)
{
    static void (AdvancedOption::*const kOpen[])() = {
        &AdvancedOption::on_Button_LCDshow_clicked,
        &AdvancedOption::on_Button_other_clicked,
        &AdvancedOption::on_Button_rcv_recovery_clicked,
        &AdvancedOption::on_Button_factory_clicked,
        &AdvancedOption::on_Button_age_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void AdvancedOption::on_Button_LCDshow_clicked() { panel::open_modal(g_lcdshow, kPageLcdshow); }

void AdvancedOption::on_Button_other_clicked() { panel::open_modal(g_othersetup, kPageOthersetup); }

void AdvancedOption::on_Button_rcv_recovery_clicked()
{
    if (!recovery_flag)
        return;
    panel::open_modal(g_rcv_recovery, kPageRcvRecovery);
}

void AdvancedOption::on_Button_factory_clicked() { panel::open_modal(g_factory, kPageFactory); }

void AdvancedOption::on_Button_age_clicked()
{
    if (access_flag) {
        panel::open_modal(g_factoryage, kPageFactoryage);
        return;
    }
    NumberKeyboard* keys = g_numberkeyboard;
    if (!keys)
        return;
    const bool russian = panel::language() == panel::kRussian;
    keys->label_show(russian ? QString::fromUtf8("Пароль") : QStringLiteral("key"), QLatin1String(kHiddenValue));
    // The page stays 12 while the keyboard is up. A mode key on the ageing
    // monitor opened from inside this run closes the menu too: it may be
    // gone when the run ends.
    QPointer<AdvancedOption> self(this);
    awaiting_code = true;
    panel::exec_for(this, keys);
    if (self)
        awaiting_code = false;
}

void AdvancedOption::confirmString(QString text)
{
    if (!awaiting_code)
        return;
    awaiting_code = false;
    if (text != QLatin1String(kAccessCode))
        return;
    // The keyboard stays up beneath the monitor and hides once it has closed.
    QPointer<AdvancedOption> self(this);
    access_flag = 1;
    on_Button_age_clicked();
    if (self)
        access_flag = 0;
}

// The smart-setup screen's frame: the main menu and its keys, the refresh
// codes, closing, the texts, the progress ring of its jobs, and the two
// one-button functions, parameter curing and the mapping switch. The wizard
// and the scan-file pages have files of their own.
#include "ui/rcvtools/smartmapping.h"
#include "ui_smartmapping.h"

#include <QAbstractButton>
#include <QDebug>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>

#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<SmartMapping> kSmartMappingRefresh(kPageSmartMapping, g_smartmapping);

const panel::Tr5 kSmartMappingTitle{
    "智能调试", "Smart debugging screen", "Интеллектуальная настройка", "Gỡ lỗi thông minh", "智能調試"};
const panel::Tr5 kSmartMenuTexts[4] = {
    {"屏体\n调试", "Debugging\nscreen", "Настройка\nэкрана", "Gỡ lỗi\nmàn hình", "屏體\n調試"},
    {"加载\n扫描", "Load scan", "Загрузка\nскана", "Tải quét", "加載\n掃描"},
    {"参数\n固化", "Curing\nparameter", "Фиксация\nпараметров", "Cố định\ntham số", "參數\n固化"},
    {"映射", "Mapping", "Маппинг", "Ánh xạ", "映射"},
};
// Point size of the menu buttons' texts, by language.
constexpr int kSmartMenuFont[5] = {9, 7, 7, 7, 9};
// Their height: two lines of the larger fonts need more than English's 30.
constexpr int kSmartMenuHeight[5] = {36, 30, 34, 34, 36};

const panel::Tr5 kSmartCuringTitle{
    "参数固化操作", "Parameter curing operation", "Фиксация параметров", "Thao tác cố định tham số", "參數固化操作"};
const panel::Tr5 kSmartCuringOk{"确定", "OK", "OK", "Đồng ý", "確定"};
const panel::Tr5 kSmartSwitchTitle{"映射开关", "Mapping switch", "Переключатель маппинга", "Công tắc ánh xạ", "映射開關"};

constexpr uint8_t kSmartMappingBit = 0x80; // FPGA 0 register 0: the cards' mapping switch
constexpr uint32_t kSmartMappingOn = 9, kSmartMappingOff = 0;
constexpr uint8_t kSmartJobCuring = 3, kSmartJobMapping = 4;
} // namespace

SmartMapping::SmartMapping(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::SmartMapping)
    , style_normal("background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);")
    , style_focused("background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);")
    , style_entered("color:rgb(255, 255, 255);border:1px solid rgb(71, 119, 255);")
    , style_unavailable("background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)")
    , style_tab("background-color: #4777FF;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);")
    , style_field(style::kFieldNormal)
    , style_field_focused(style::kFieldFocused)
{
    ui->setupUi(this);
    ui->stackedWidget->setCurrentIndex(kPageCabinet);
    touch_selected = ui->Button_shortcut;
    port_tab_button = ui->Button_wlan1;
    for (QPushButton* hidden : {ui->Button_wlan3, ui->Button_wlan4, ui->Button_wlan7, ui->Button_wlan8})
        hidden->hide();
    ui->Button_wlan1->setGeometry(10, 32, 55, 17);
    ui->Button_wlan5->setGeometry(10, 32, 55, 17);
    ui->Button_wlan2->setGeometry(70, 32, 55, 17);
    ui->Button_wlan6->setGeometry(70, 32, 55, 17);

    menu_items[0] = ui->Button_shortcut;
    menu_items[1] = ui->Button_loadscan;
    menu_items[2] = ui->Button_paraweld;
    menu_items[3] = ui->Button_mapping;
    menu_focused = ui->Button_shortcut;
    for (QPushButton* item : menu_items)
        item->setStyleSheet(style_normal);
    ui->Button_shortcut->setStyleSheet(style_focused);
    // Every page item starts without keypad focus.
    for (int i = 0; i < 3; ++i)
        style_item(step1_item(i), false);
    for (int i = 0; i < 4; ++i)
        style_item(step2_item(i), false);
    for (int i = 0; i < 7; ++i)
        style_item(step3_item(i), false);
    for (int i = 0; i < 17; ++i)
        style_item(route_item(i), false);
    for (QPushButton* b : {ui->Button_wlan5, ui->Button_wlan6, ui->Button_next_5, ui->Button_front_6, ui->Button_load,
             ui->Button_confirm, ui->Button_mapping_state})
        b->setStyleSheet(style_normal);
    wlan_foucus_style(ui->Button_wlan1);

    ui_select = 0;
    menu_level = 0;
    language_changed();
    file_page_flag = 0;
    line_type.port = 0;
    line_type.pattern = 1;

    for (QLineEdit* field : number_fields())
        connect(static_cast<My_lineEdit*>(field), &My_lineEdit::send_show, this, &SmartMapping::show_numberkeyboard_ui);
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this, &SmartMapping::confirmString);
}

SmartMapping::~SmartMapping()
{
    // The keyboard must not write into a field that is gone.
    for (QLineEdit* field : number_fields())
        if (g_lineedit == field)
            g_lineedit = nullptr;
    delete ui;
}

// ---------------------------------------------------------------- texts

void SmartMapping::fit_text(std::initializer_list<QWidget*> widgets)
{
    for (QWidget* widget : widgets) {
        QString text;
        int room = widget->width() - 8;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
            if (!button->icon().isNull())
                room -= button->iconSize().width() + 4;
        }
        panel::fit_font(widget, text.split(QLatin1Char('\n')), room, 6);
    }
}

void SmartMapping::language_changed()
{
    // The page of the main index, as it is shown.
    const int page = ui->stackedWidget->currentIndex();
    switch (ui_select) {
    case 0:
        if (page == kPagePort)
            language_for_shortcutt_page1();
        else if (page == kPageLayout)
            language_for_shortcutt_page2();
        else if (page == kPagePatterns)
            language_for_shortcutt_page3();
        else
            language_for_shortcutt_page0();
        break;
    case 1:
        if (page == kPageScanFile)
            language_for_loadscan_page5();
        else
            language_for_loadscan_page4();
        break;
    case 2: language_for_paraweld_page6(); break;
    default: language_for_mapping_page7(); break;
    }

    // Load-scan is offered when "/data/smartmapping" holds any file at all,
    // or else when the stick holds scan files.
    if (rcvRecovery* reader = fpga_manage::recovery_reader())
        if (reader->get_dir_file(QStringLiteral("/data/smartmapping")) == 0)
            loadscan_valid = uint8_t(std::min(reader->scan_file_count(), 255));
    if (loadscan_valid == 0)
        loadscan_valid = uint8_t(scan_files_on_stick());

    ui->label_title->setText(panel::text(kSmartMappingTitle));
    fit_text({ui->label_title});
    QFont font = ui->Button_shortcut->font();
    font.setPointSize(kSmartMenuFont[panel::language()]);
    for (int i = 0; i < 4; ++i) {
        menu_items[i]->setText(panel::text(kSmartMenuTexts[i]));
        menu_items[i]->setFont(font);
        menu_items[i]->setGeometry(5, 42 + 45 * i, 65, kSmartMenuHeight[panel::language()]);
    }
    if (loadscan_valid == 0)
        ui->Button_loadscan->setStyleSheet(style_unavailable);
    else
        ui->Button_loadscan->setStyleSheet(menu_focused == ui->Button_loadscan ? style_focused : style_normal);
}

void SmartMapping::language_for_paraweld_page6()
{
    ui->label_step1_6->setText(panel::text(kSmartCuringTitle));
    ui->Button_confirm->setText(panel::text(kSmartCuringOk));
    fit_text({ui->Button_confirm});
}

void SmartMapping::language_for_mapping_page7() { ui->label_step1_7->setText(panel::text(kSmartSwitchTitle)); }

void SmartMapping::syncUpdate(int code)
{
    switch (code) {
    case kChangeDeviceAdded:
        qDebug("SmartMapping: USB stick added");
        break;
    case kChangeDeviceRemoved:
    case kChangeStorageReady:
        // The stick's files changed: the file page lists again from its
        // first row.
        file_select = 0;
        if (file_page_flag == 1) {
            on_Button_next_5_clicked();
            menulist_loadscan_page2_init();
        }
        break;
    default:
        if (VyxRamPara::pInstance()->VyxLanguageChanged())
            language_changed();
        break;
    }
}

// ------------------------------------------------------------ main menu

void SmartMapping::button_select(QPushButton* button)
{
    if (touch_selected)
        touch_selected->setStyleSheet(
            touch_selected == ui->Button_loadscan && loadscan_valid == 0 ? style_unavailable : style_normal);
    button->setStyleSheet(style_focused);
    touch_selected = button;
}

void SmartMapping::menulist_fuc_sel_default() { menu_focused->setStyleSheet(style_focused); }

void SmartMapping::menulist_main_move(int delta)
{
    if (ui_select < 4)
        menu_focused->setStyleSheet(style_normal);
    if (delta > 0) {
        ++ui_select;
        if (ui_select == 1 && loadscan_valid == 0)
            ++ui_select;
        if (ui_select > 3)
            ui_select = 0;
    } else if (ui_select == 0) {
        ui_select = 3;
    } else {
        --ui_select;
        if (ui_select == 1 && loadscan_valid == 0)
            ui_select = 0;
    }
    menu_focused = menu_items[ui_select];
    menu_focused->setStyleSheet(style_focused);
    menulist_main_sel();
}

void SmartMapping::menulist_main_sel()
{
    switch (ui_select) {
    case 0:
        ui->stackedWidget->setCurrentIndex(kPageCabinet);
        language_for_shortcutt_page0();
        break;
    case 1:
        ui->stackedWidget->setCurrentIndex(kPageScanPort);
        menulist_loadscan_page1_init(0);
        language_for_loadscan_page4();
        break;
    case 2:
        ui->stackedWidget->setCurrentIndex(kPageCuring);
        language_for_paraweld_page6();
        break;
    default:
        on_Button_mapping_clicked();
        break;
    }
}

void SmartMapping::menulist_main_ok()
{
    switch (ui_select) {
    case 0:
        on_Button_shortcut_clicked();
        menulist_shortcut_page1_init();
        break;
    case 1:
        on_Button_loadscan_clicked();
        menulist_loadscan_page1_init(1);
        break;
    case 2:
        on_Button_paraweld_clicked();
        menulist_paraweld_page1_init();
        break;
    default:
        on_Button_mapping_clicked();
        menulist_mapping_page1_init();
        break;
    }
    menu_level = 1;
}

void SmartMapping::page_move(bool right)
{
    // Curing and mapping have one button each: nothing to move to.
    if (ui_select == 0 && wizard_step == 0)
        right ? menulist_shortcut_page1_sel_right() : menulist_shortcut_page1_sel_left();
    else if (ui_select == 0 && wizard_step == 1)
        right ? menulist_shortcut_page2_sel_right() : menulist_shortcut_page2_sel_left();
    else if (ui_select == 0 && picker_flag)
        right ? menulist_shortcut_page3_button_route_sel_right() : menulist_shortcut_page3_button_route_sel_left();
    else if (ui_select == 0)
        right ? menulist_shortcut_page3_sel_right() : menulist_shortcut_page3_sel_left();
    else if (ui_select == 1 && scan_step == 0)
        right ? menulist_loadscan_page1_sel_right() : menulist_loadscan_page1_sel_left();
    else if (ui_select == 1)
        right ? menulist_loadscan_page2_sel_right() : menulist_loadscan_page2_sel_left();
}

void SmartMapping::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool menu = menu_level == 0;
    switch (panel::key_role(key)) {
    case panel::KeyRole::Right:
    case panel::KeyRole::Left:
        if (menu)
            menulist_main_move(panel::key_role(key) == panel::KeyRole::Right ? +1 : -1);
        else
            page_move(panel::key_role(key) == panel::KeyRole::Right);
        break;
    case panel::KeyRole::Ok:
        if (menu)
            menulist_main_ok();
        else if (ui_select == 0)
            menulist_shortcut_button_ok_page();
        else if (ui_select == 1)
            menulist_loadscan_button_ok_page();
        else if (ui_select == 2)
            menulist_paraweld_button_ok_page();
        else
            menulist_mapping_button_ok_page();
        break;
    case panel::KeyRole::Back:
        if (menu)
            Button_back_clicked();
        else if (ui_select == 0)
            menulist_shortcut_back_page();
        else if (ui_select == 1)
            menulist_loadscan_back_page();
        else if (ui_select == 2)
            menulist_paraweld_back_page();
        else
            menulist_mapping_back_page();
        break;
    case panel::KeyRole::Mode:
        // A job's ring keeps the screen, as the panel lock keeps every
        // screen; neither lets the key go further.
        if (g_qround_bar || !panel::mode_key_chain(this, g_smartmapping, g_option))
            return;
        break;
    case panel::KeyRole::None:
        break;
    }
    keyboard.update_usb_keyEvent(key);
}

void SmartMapping::Button_back_clicked()
{
    if (g_qround_bar)
        return;
    panel::go_back(this, g_smartmapping, g_option, kPageOption);
}

// ------------------------------------------------------------------ jobs

bool SmartMapping::job_refused() { return g_qround_bar != nullptr || g_send_para.job.load() != 0; }

void SmartMapping::post_job(uint8_t code)
{
    // The ring of an earlier job closed (hidden) but is still a child here.
    delete ring_shown.data();
    QRoundProgressBar::create_qround_bar(this);
    ring_shown = g_qround_bar;
    disconnect(this, &SmartMapping::sig_qround_bar_update, nullptr, nullptr);
    if (ring_shown)
        connect(this, &SmartMapping::sig_qround_bar_update, ring_shown.data(), &QRoundProgressBar::para_sync);
    g_send_para.post(code);
}

// ---------------------------------------------------- parameter curing

void SmartMapping::on_Button_paraweld_clicked()
{
    if (g_qround_bar)
        return;
    button_select(ui->Button_paraweld);
    ui->stackedWidget->setCurrentIndex(kPageCuring);
    language_for_paraweld_page6();
    file_page_flag = 0;
}

void SmartMapping::on_Button_confirm_clicked()
{
    if (job_refused())
        return;
    post_job(kSmartJobCuring);
}

void SmartMapping::menulist_paraweld_page1_init()
{
    menu_focused->setStyleSheet(style_entered);
    ui->Button_confirm->setStyleSheet(style_focused);
}

void SmartMapping::menulist_paraweld_button_ok_page()
{
    on_Button_confirm_clicked();
    on_Button_paraweld_clicked();
}

void SmartMapping::menulist_paraweld_back_page()
{
    menulist_fuc_sel_default();
    ui->Button_confirm->setStyleSheet(style_normal);
    menu_level = 0;
}

// ------------------------------------------------------- mapping switch

void SmartMapping::show_mapping_state(bool on)
{
    panel::set_icon(ui->Button_mapping_state, panel::png_plain(on ? QStringLiteral("button_on") : QStringLiteral("button_off")),
        QSize(40, 20));
}

void SmartMapping::on_Button_mapping_clicked()
{
    if (g_qround_bar)
        return;
    button_select(ui->Button_mapping);
    bool on = false;
    if (fpga_manage* fpga = fpga_manage::p_fpga_manage) {
        fpga->read_from_register(0, 0);
        on = fpga->shadow(0, 0) & kSmartMappingBit;
    }
    show_mapping_state(on);
    ui->stackedWidget->setCurrentIndex(kPageMapping);
    file_page_flag = 0;
    language_for_mapping_page7();
}

void SmartMapping::on_Button_mapping_state_clicked()
{
    // Tested before the register changes: a refused press leaves the
    // switch as it was.
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga || job_refused())
        return;
    fpga->read_from_register(0, 0);
    const bool on = fpga->shadow(0, 0) & kSmartMappingBit;
    fpga->write_to_register(0, kSmartMappingBit, on ? 0 : kSmartMappingBit, 0);
    show_mapping_state(!on);
    g_send_para.mapping = on ? kSmartMappingOff : kSmartMappingOn;
    post_job(kSmartJobMapping);
}

void SmartMapping::menulist_mapping_page1_init()
{
    menu_focused->setStyleSheet(style_entered);
    ui->Button_mapping_state->setStyleSheet(style_focused);
}

void SmartMapping::menulist_mapping_button_ok_page() { emit ui->Button_mapping_state->clicked(); }

void SmartMapping::menulist_mapping_back_page()
{
    menulist_fuc_sel_default();
    ui->Button_mapping_state->setStyleSheet(style_normal);
    menu_level = 0;
}

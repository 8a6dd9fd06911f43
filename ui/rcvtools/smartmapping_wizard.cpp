// The smart-setup wizard: cabinet size (step 1), output port (step 2, the
// port tiles the scan-file pages share), rows, columns, cabling pattern and
// offsets (step 3) and the picker of the 16 cabling patterns; Send fills
// the layout record and posts job 1. Also the number fields' keyboard.
#include "ui/rcvtools/smartmapping.h"
#include "ui_smartmapping.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>

#include "fpga/fpga_manage.h"
#include "ui/shell/label_fit.h"

namespace {
const panel::Tr5 kWizardStep1{"第一步 箱体设置", "Step 1 Cabinet setup", "Шаг 1 Настройка кабинета", "Bước 1 Cài đặt tủ",
    "第一步 箱體設置"};
const panel::Tr5 kWizardCabinetWidth{"箱体宽度", "Cabinet width", "Ширина кабинета", "Chiều rộng tủ", "箱體寬度"};
const panel::Tr5 kWizardCabinetHeight{"箱体高度", "Cabinet height", "Высота кабинета", "Chiều cao tủ", "箱體高度"};
const panel::Tr5 kWizardNext{"下一步", "Next", "Далее", "Tiếp", "下一步"};
const panel::Tr5 kWizardPrevious{"上一步", "Previous", "Назад", "Trước", "上一步"};
const panel::Tr5 kWizardStep2{"第二步 选择网口", "Step 2 Select port", "Шаг 2 Выбор порта", "Bước 2 Chọn cổng",
    "第二步 選擇網口"};
const panel::Tr5 kWizardStep3{"第三步 屏体参数设置", "Step 3 Screen parameter setting", "Шаг 3 Параметры экрана",
    "Bước 3 Thông số màn hình", "第三步 屏體參數設置"};
const panel::Tr5 kWizardRows{"箱体行数", "Number of Cabinet in rows", "Число рядов кабинетов", "Số hàng tủ", "箱體行數"};
const panel::Tr5 kWizardColumns{
    "箱体列数", "Number of Cabinet in lines", "Число столбцов кабинетов", "Số cột tủ", "箱體列數"};
const panel::Tr5 kWizardRouteWay{"走线方式", "Screen alignment mode", "Схема соединения", "Kiểu đi dây", "走線方式"};
const panel::Tr5 kWizardHorizontal{
    "水平偏移", "Horizontal offset", "Смещение по горизонтали", "Độ lệch ngang", "水平偏移"};
const panel::Tr5 kWizardVertical{"垂直偏移", "Vertical offset", "Смещение по вертикали", "Độ lệch dọc", "垂直偏移"};
const panel::Tr5 kWizardSend{"发送", "Send", "Отправить", "Gửi", "發送"};
// "%1": the pattern's number.
const panel::Tr5 kWizardRouting{"走线%1", "Routing %1", "Схема %1", "Đi dây %1", "走線%1"};
const panel::Tr5 kWizardCancel{"取消", "Cancle", "Отмена", "Hủy", "取消"};

// The number keyboard's title for each field.
struct WizardFieldTitle {
    const char* field;
    panel::Tr5 title;
};
const WizardFieldTitle kWizardFieldTitles[] = {
    {"lineEdit_X", {"箱体宽度", "width", "width", "width", "箱體寬度"}},
    {"lineEdit_Y", {"箱体高度", "height", "height", "height", "箱體高度"}},
    {"lineEdit_line", {"箱体行数", "rows", "rows", "rows", "箱體行數"}},
    {"lineEdit_column", {"箱体列数", "lines", "lines", "lines", "箱體列數"}},
    {"lineEdit_horzion", {"水平偏移", "Horizontal", "Horizontal", "Horizontal", "水平偏移"}},
    {"lineEdit_vert", {"垂直偏移", "Vertical", "Vertical", "Vertical", "垂直偏移"}},
};

const char* const kWizardTileChosen = "background-color: #212435;border:1px solid #00D65B;";
const char* const kWizardTileOther = "background-color: #212435;border:1px solid #FFFFFF;";
constexpr int kWizardTiles = 8;
constexpr uint8_t kWizardJobLayout = 1;

QString wizard_group_text(int first, int last) { return QStringLiteral("LED%1~%2").arg(first).arg(last); }
} // namespace

// ------------------------------------------------------------ the items

QWidget* SmartMapping::step1_item(int cursor) const
{
    QWidget* const items[] = {ui->lineEdit_X, ui->lineEdit_Y, ui->Button_next};
    return cursor >= 0 && cursor < 3 ? items[cursor] : nullptr;
}

QWidget* SmartMapping::step2_item(int cursor) const
{
    QWidget* const items[] = {ui->Button_wlan1, ui->Button_wlan2, ui->Button_front_2, ui->Button_next_2};
    return cursor >= 0 && cursor < 4 ? items[cursor] : nullptr;
}

QWidget* SmartMapping::step3_item(int cursor) const
{
    QWidget* const items[] = {ui->lineEdit_line, ui->lineEdit_column, ui->Button_route, ui->lineEdit_horzion,
        ui->lineEdit_vert, ui->Button_front_3, ui->Button_send};
    return cursor >= 0 && cursor < 7 ? items[cursor] : nullptr;
}

QWidget* SmartMapping::route_item(int cursor) const
{
    if (cursor == 16)
        return ui->Button_cancel;
    return cursor >= 0 && cursor < 16 ? findChild<QWidget*>(QStringLiteral("Button_route%1").arg(cursor + 1)) : nullptr;
}

QString SmartMapping::item_style(QWidget* item, bool focused) const
{
    // Number fields and the picker's buttons have the field look; a port
    // group with the keypad's focus too. The tab look is the touch's alone
    // (wlan_foucus_style): the keypad draws a group it leaves normal.
    const bool fieldLook = qobject_cast<QLineEdit*>(item) || item == ui->Button_cancel
        || (item->objectName().startsWith(QLatin1String("Button_route")) && item != ui->Button_route);
    const bool group = item == ui->Button_wlan1 || item == ui->Button_wlan2 || item == ui->Button_wlan5
        || item == ui->Button_wlan6;
    if (focused)
        return fieldLook || group ? style_field_focused : style_focused;
    return fieldLook ? style_field : style_normal;
}

void SmartMapping::style_item(QWidget* item, bool focused)
{
    if (item)
        item->setStyleSheet(item_style(item, focused));
}

uint16_t SmartMapping::field_value(const QLineEdit* field)
{
    // A decimal integer keeps its low 16 bits; anything else is 0.
    const QString text = field->text().trimmed();
    int i = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        i = 1;
    if (i >= text.size())
        return 0;
    uint16_t value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = uint16_t(value * 10u + uint16_t(c.unicode() - '0'));
    }
    return negative ? uint16_t(-value) : value;
}

// ----------------------------------------------------------------- texts

QString SmartMapping::text_next() { return panel::text(kWizardNext); }

QString SmartMapping::text_previous() { return panel::text(kWizardPrevious); }

void SmartMapping::language_for_shortcutt_page0()
{
    ui->label_step1->setText(panel::text(kWizardStep1));
    ui->label_boxwidth->setText(panel::text(kWizardCabinetWidth));
    ui->label_boxheight->setText(panel::text(kWizardCabinetHeight));
    ui->Button_next->setText(panel::text(kWizardNext));
    fit_text({ui->label_step1, ui->Button_next});
}

void SmartMapping::language_for_shortcutt_page1()
{
    ui->label_step2->setText(panel::text(kWizardStep2));
    ui->Button_wlan1->setText(wizard_group_text(1, 8));
    ui->Button_wlan2->setText(wizard_group_text(9, 10));
    ui->Button_front_2->setText(panel::text(kWizardPrevious));
    ui->Button_next_2->setText(panel::text(kWizardNext));
    fit_text({ui->label_step2, ui->Button_front_2, ui->Button_next_2});
}

void SmartMapping::language_for_shortcutt_page2()
{
    ui->label_step3->setText(panel::text(kWizardStep3));
    ui->label_boxline->setText(panel::text(kWizardRows));
    ui->label_boxlcolumn->setText(panel::text(kWizardColumns));
    ui->label_routeway->setText(panel::text(kWizardRouteWay));
    ui->label_horizon->setText(panel::text(kWizardHorizontal));
    ui->label_vert->setText(panel::text(kWizardVertical));
    ui->Button_send->setText(panel::text(kWizardSend));
    ui->Button_front_3->setText(panel::text(kWizardPrevious));
    fit_text({ui->label_step3, ui->Button_send, ui->Button_front_3});
    // The captions wrap onto two lines; a long one takes a smaller font.
    for (QLabel* caption :
        {ui->label_boxline, ui->label_boxlcolumn, ui->label_routeway, ui->label_horizon, ui->label_vert})
        panel::fit_label(caption);
    line_select(char(line_type.pattern));
}

void SmartMapping::language_for_shortcutt_page3()
{
    for (int p = 1; p <= 16; ++p) {
        auto* button = findChild<QAbstractButton*>(QStringLiteral("Button_route%1").arg(p));
        panel::set_icon(button, panel::png_plain(QStringLiteral("line%1").arg(p)), QSize(40, 25));
        button->setText(panel::text(kWizardRouting).arg(p));
    }
    ui->Button_cancel->setText(panel::text(kWizardCancel));
}

void SmartMapping::line_select(char pattern)
{
    const int p = static_cast<unsigned char>(pattern);
    if (p < 1 || p > 16)
        return;
    panel::set_icon(ui->Button_route, panel::png_plain(QStringLiteral("line%1").arg(p)), QSize(30, 20));
    ui->Button_route->setText(panel::text(kWizardRouting).arg(p));
    fit_text({ui->Button_route});
    line_type.pattern = uint8_t(p);
}

// ---------------------------------------------------------------- touch

void SmartMapping::on_Button_shortcut_clicked()
{
    if (g_qround_bar)
        return;
    ui->stackedWidget->setCurrentIndex(kPageCabinet);
    file_page_flag = 0;
    language_for_shortcutt_page0();
}

void SmartMapping::on_Button_next_clicked()
{
    line_type.width = int16_t(field_value(ui->lineEdit_X));
    line_type.height = int16_t(field_value(ui->lineEdit_Y));
    on_Button_wlan1_clicked();
    language_for_shortcutt_page1();
    ui->stackedWidget->setCurrentIndex(kPagePort);
}

void SmartMapping::on_Button_front_2_clicked() { ui->stackedWidget->setCurrentIndex(kPageCabinet); }

void SmartMapping::on_Button_next_2_clicked()
{
    ui->stackedWidget->setCurrentIndex(kPageLayout);
    language_for_shortcutt_page2();
}

void SmartMapping::on_Button_front_3_clicked()
{
    if (g_qround_bar)
        return;
    ui->stackedWidget->setCurrentIndex(kPagePort);
}

// The picker is refused while a job's ring is up: job 1 reads the pattern
// card by card, and a new one would reach only the cards not yet served.
void SmartMapping::on_Button_route_clicked()
{
    if (g_qround_bar)
        return;
    ui->stackedWidget->setCurrentIndex(kPagePatterns);
    language_for_shortcutt_page3();
}

void SmartMapping::route_clicked(int pattern)
{
    if (g_qround_bar)
        return;
    line_select(char(pattern));
    ui->stackedWidget->setCurrentIndex(kPageLayout);
}

void SmartMapping::on_Button_route1_clicked() { route_clicked(1); }
void SmartMapping::on_Button_route2_clicked() { route_clicked(2); }
void SmartMapping::on_Button_route3_clicked() { route_clicked(3); }
void SmartMapping::on_Button_route4_clicked() { route_clicked(4); }
void SmartMapping::on_Button_route5_clicked() { route_clicked(5); }
void SmartMapping::on_Button_route6_clicked() { route_clicked(6); }
void SmartMapping::on_Button_route7_clicked() { route_clicked(7); }
void SmartMapping::on_Button_route8_clicked() { route_clicked(8); }
void SmartMapping::on_Button_route9_clicked() { route_clicked(9); }
void SmartMapping::on_Button_route10_clicked() { route_clicked(10); }
void SmartMapping::on_Button_route11_clicked() { route_clicked(11); }
void SmartMapping::on_Button_route12_clicked() { route_clicked(12); }
void SmartMapping::on_Button_route13_clicked() { route_clicked(13); }
void SmartMapping::on_Button_route14_clicked() { route_clicked(14); }
void SmartMapping::on_Button_route15_clicked() { route_clicked(15); }
void SmartMapping::on_Button_route16_clicked() { route_clicked(16); }

void SmartMapping::on_Button_cancel_clicked() { ui->stackedWidget->setCurrentIndex(kPageLayout); }

void SmartMapping::on_Button_send_clicked()
{
    if (job_refused())
        return;
    // Everything job 1 reads is in place before the job code.
    line_type.rows = uint8_t(field_value(ui->lineEdit_line));
    line_type.columns = uint8_t(field_value(ui->lineEdit_column));
    line_type.x_offset = field_value(ui->lineEdit_horzion);
    line_type.y_offset = field_value(ui->lineEdit_vert);
    post_job(kWizardJobLayout);
}

// ------------------------------------------------------------ port tiles

void SmartMapping::wlan_foucus_style(QPushButton* button)
{
    QPushButton* previous = port_tab_button;
    port_tab_button = button;
    if (previous && previous != button)
        previous->setStyleSheet(style_normal);
    button->setStyleSheet(style_tab);
}

void SmartMapping::wlan_group_clicked(int k)
{
    wlan_foucus_style(findChild<QPushButton*>(QStringLiteral("Button_wlan%1").arg(k)));
    port_group = uint8_t((k - 1) % 4);
    tile_cursor = 0;
    wlan_init(k <= 4 ? 0 : 1);
}

void SmartMapping::on_Button_wlan1_clicked() { wlan_group_clicked(1); }
void SmartMapping::on_Button_wlan2_clicked() { wlan_group_clicked(2); }
void SmartMapping::on_Button_wlan3_clicked() { wlan_group_clicked(3); }
void SmartMapping::on_Button_wlan4_clicked() { wlan_group_clicked(4); }
void SmartMapping::on_Button_wlan5_clicked() { wlan_group_clicked(5); }
void SmartMapping::on_Button_wlan6_clicked() { wlan_group_clicked(6); }
void SmartMapping::on_Button_wlan7_clicked() { wlan_group_clicked(7); }
void SmartMapping::on_Button_wlan8_clicked() { wlan_group_clicked(8); }

void SmartMapping::wlan_init(unsigned char page)
{
    delete tile_panel;
    tile_panel = new QFrame(ui->stackedWidget->widget(page == 0 ? kPagePort : kPageScanPort));
    tile_panel->setObjectName(QStringLiteral("tile_panel"));
    tile_panel->setGeometry(1, 59, 230, 88);
    tile_count = port_group == 1 ? 2 : kWizardTiles;
    QFont small = font();
    small.setPixelSize(8);
    for (int i = 0; i < kWizardTiles; ++i) {
        tile_frame[i] = nullptr;
        tile_button[i] = nullptr;
    }
    for (int i = 0; i < tile_count; ++i) {
        const int c = i % 4, r = i / 4;
        tile_frame[i] = new QFrame(tile_panel);
        tile_frame[i]->setGeometry(10 + 55 * c, 2 + 45 * r, 50, 40);
        auto* icon = new QLabel(tile_panel);
        icon->setGeometry(25 + 55 * c, 5 + 45 * r, 22, 15);
        panel::set_picture(icon, panel::png_plain(QStringLiteral("offline")));
        auto* name = new QLabel(tile_panel);
        name->setGeometry(14 + 55 * c, 20 + 45 * r, 45, 20);
        name->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        name->setFont(small);
        name->setStyleSheet(QStringLiteral("background-color: #212435;color: #FFFFFF"));
        name->setText(QStringLiteral("LED%1").arg(i + 1 + 8 * port_group));
        tile_button[i] = new QPushButton(tile_panel);
        tile_button[i]->setGeometry(11 + 55 * c, 3 + 45 * r, 48, 38);
        tile_button[i]->setFlat(true);
        tile_button[i]->setFocusPolicy(Qt::NoFocus);
        tile_button[i]->setStyleSheet(QStringLiteral("background-color: transparent;"));
        tile_button[i]->setObjectName(QString::number(i));
        connect(tile_button[i], &QPushButton::clicked, this, &SmartMapping::vyx_button_wlan_clicked);
    }
    mark_port_tile();
    tile_panel->show();
}

// Every tile is drawn from the port byte, so exactly the chosen port is
// marked however the tiles were reached.
void SmartMapping::mark_port_tile()
{
    for (int i = 0; i < tile_count; ++i)
        if (tile_frame[i])
            tile_frame[i]->setStyleSheet(
                QLatin1String(i + 8 * port_group == line_type.port ? kWizardTileChosen : kWizardTileOther));
}

void SmartMapping::vyx_button_wlan_clicked()
{
    bool ok = false;
    const int i = sender() ? sender()->objectName().toInt(&ok) : -1;
    if (!ok || i < 0 || i >= tile_count)
        return;
    tile_cursor = uint8_t(i);
    line_type.port = uint8_t(8 * port_group + i);
    saved_port = line_type.port;
    mark_port_tile();
}

// ------------------------------------------------------------ keyboard

void SmartMapping::show_numberkeyboard_ui(QString)
{
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (!field)
        return;
    QString title;
    for (const WizardFieldTitle& t : kWizardFieldTitles)
        if (field->objectName() == QLatin1String(t.field))
            title = panel::text(t.title);
    panel::open_number_keyboard(field, title);
}

std::array<QLineEdit*, 6> SmartMapping::number_fields() const
{
    return {ui->lineEdit_X, ui->lineEdit_Y, ui->lineEdit_line, ui->lineEdit_column, ui->lineEdit_horzion,
        ui->lineEdit_vert};
}

// OK on a number field opens the keyboard as a touch on it does.
void SmartMapping::open_field(QWidget* item)
{
    if (auto* field = qobject_cast<My_lineEdit*>(item))
        emit field->send_show(field->text());
}

void SmartMapping::confirmString(QString text)
{
    // Only into one of this screen's fields: another screen may have
    // opened the keyboard meanwhile.
    for (QLineEdit* field : number_fields())
        if (g_lineedit == field)
            field->setText(text);
}

// ---------------------------------------------------------------- keypad

void SmartMapping::menulist_shortcut_page1_init()
{
    menu_focused->setStyleSheet(style_entered);
    for (int i = 0; i < 3; ++i)
        style_item(step1_item(i), i == 0);
    wizard_step = 0;
    step1_cursor = 0;
}

void SmartMapping::move_focus(uint8_t& cursor, int count, int delta, QWidget* (SmartMapping::*item)(int) const)
{
    style_item((this->*item)(cursor), false);
    cursor = uint8_t((cursor + delta + count) % count);
    style_item((this->*item)(cursor), true);
}

void SmartMapping::menulist_shortcut_page1_sel_right() { move_focus(step1_cursor, 3, +1, &SmartMapping::step1_item); }

void SmartMapping::menulist_shortcut_page1_sel_left() { move_focus(step1_cursor, 3, -1, &SmartMapping::step1_item); }

void SmartMapping::menulist_shortcut_default()
{
    menulist_fuc_sel_default();
    style_item(step1_item(step1_cursor), false);
}

void SmartMapping::menulist_shortcut_page2_init()
{
    step2_cursor = 0;
    in_grid = 0;
    ui->Button_wlan1->setStyleSheet(style_focused);
    ui->Button_front_2->setStyleSheet(style_normal);
    ui->Button_next_2->setStyleSheet(style_normal);
    wizard_step = 1;
}

void SmartMapping::menulist_shortcut_page2_sel_default()
{
    if (QWidget* item = step2_item(step2_cursor))
        item->setStyleSheet(style_entered);
}

void SmartMapping::menulist_shortcut_page2_sel_recovery() { style_item(step2_item(step2_cursor), true); }

// Moving onto a group button shows that group's tiles; the port stays.
void SmartMapping::step2_move(int delta)
{
    style_item(step2_item(step2_cursor), false);
    step2_cursor = uint8_t((step2_cursor + delta + 4) % 4);
    if (step2_cursor == 0)
        on_Button_wlan1_clicked();
    else if (step2_cursor == 1)
        on_Button_wlan2_clicked();
    style_item(step2_item(step2_cursor), true);
}

void SmartMapping::grid_move(int delta, unsigned char page)
{
    const int count = port_group == 1 ? 2 : kWizardTiles;
    tile_cursor = uint8_t((tile_cursor + delta + count) % count);
    line_type.port = uint8_t(8 * port_group + tile_cursor);
    wlan_init(page);
}

void SmartMapping::menulist_shortcut_page2_sel_right()
{
    if (in_grid)
        grid_move(+1, 0);
    else
        step2_move(+1);
}

void SmartMapping::menulist_shortcut_page2_sel_left()
{
    if (in_grid)
        grid_move(-1, 0);
    else
        step2_move(-1);
}

void SmartMapping::menulist_shortcut_page3_init()
{
    step3_cursor = 0;
    for (int i = 0; i < 7; ++i)
        style_item(step3_item(i), i == 0);
    wizard_step = 2;
}

void SmartMapping::menulist_shortcut_page3_sel_default() { style_item(step3_item(step3_cursor), false); }

void SmartMapping::menulist_shortcut_page3_sel_recovery() { style_item(step3_item(step3_cursor), true); }

void SmartMapping::menulist_shortcut_page3_sel_right() { move_focus(step3_cursor, 7, +1, &SmartMapping::step3_item); }

void SmartMapping::menulist_shortcut_page3_sel_left() { move_focus(step3_cursor, 7, -1, &SmartMapping::step3_item); }

void SmartMapping::menulist_shortcut_page3_button_route_init()
{
    const int pattern = line_type.pattern;
    picker_cursor = uint8_t(pattern >= 1 && pattern <= 16 ? pattern - 1 : 0);
    for (int i = 0; i < 17; ++i)
        style_item(route_item(i), i == picker_cursor);
    picker_flag = 1;
}

void SmartMapping::menulist_shortcut_page3_button_route_sel_right()
{
    move_focus(picker_cursor, 17, +1, &SmartMapping::route_item);
}

void SmartMapping::menulist_shortcut_page3_button_route_sel_left()
{
    move_focus(picker_cursor, 17, -1, &SmartMapping::route_item);
}

void SmartMapping::menulist_shortcut_page3_button_route_ok()
{
    if (picker_cursor < 16)
        route_clicked(picker_cursor + 1);
    else
        on_Button_cancel_clicked();
    picker_flag = 0;
    menulist_shortcut_page3_sel_recovery();
}

void SmartMapping::menulist_shortcut_button_ok_page()
{
    if (wizard_step == 0) {
        if (step1_cursor < 2) {
            open_field(step1_item(step1_cursor));
        } else {
            on_Button_next_clicked();
            menulist_shortcut_page2_init();
        }
    } else if (wizard_step == 1) {
        if (in_grid) {
            in_grid = 0;
            if (tile_cursor < tile_count && tile_button[tile_cursor])
                emit tile_button[tile_cursor]->clicked();
            menulist_shortcut_page2_sel_recovery();
        } else if (step2_cursor < 2) {
            // Into the grid: the group's first port is chosen at once; back
            // restores the port held before.
            in_grid = 1;
            saved_port = line_type.port;
            line_type.port = step2_cursor == 0 ? 0 : 8;
            step2_cursor == 0 ? on_Button_wlan1_clicked() : on_Button_wlan2_clicked();
            menulist_shortcut_page2_sel_default();
        } else if (step2_cursor == 2) {
            on_Button_front_2_clicked();
            wizard_step = 0;
        } else {
            on_Button_next_2_clicked();
            menulist_shortcut_page3_init();
        }
    } else if (picker_flag) {
        menulist_shortcut_page3_button_route_ok();
    } else {
        switch (step3_cursor) {
        case 2:
            if (g_qround_bar)
                break;
            on_Button_route_clicked();
            menulist_shortcut_page3_button_route_init();
            break;
        case 5:
            if (g_qround_bar)
                break;
            on_Button_front_3_clicked();
            wizard_step = 1;
            break;
        case 6: on_Button_send_clicked(); break;
        default: open_field(step3_item(step3_cursor)); break;
        }
    }
}

void SmartMapping::menulist_shortcut_back_page()
{
    if (wizard_step == 0) {
        menu_level = 0;
        menulist_shortcut_default();
    } else if (wizard_step == 1) {
        if (in_grid) {
            in_grid = 0;
            line_type.port = saved_port;
            port_group == 0 ? on_Button_wlan1_clicked() : on_Button_wlan2_clicked();
            menulist_shortcut_page2_sel_recovery();
        } else {
            on_Button_front_2_clicked();
            wizard_step = 0;
            language_for_shortcutt_page0();
        }
    } else if (picker_flag) {
        menulist_shortcut_page3_sel_recovery();
        on_Button_cancel_clicked();
        language_for_shortcutt_page2();
        picker_flag = 0;
    } else if (!g_qround_bar) {
        menulist_shortcut_page3_sel_default();
        on_Button_front_3_clicked();
        wizard_step = 1;
        language_for_shortcutt_page1();
    }
}

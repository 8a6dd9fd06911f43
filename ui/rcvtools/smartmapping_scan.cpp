// Loading a scan-parameter file: the output port (stacked page 4, the
// wizard's port tiles) and the file (page 5): the "tzfile" files of
// "/data/smartmapping" (white) and of the USB stick's root (green), three a
// page. "Load" posts job 2 with the chosen file's absolute path in
// g_tzfile_name and the port in the layout record.
#include "ui/rcvtools/smartmapping.h"
#include "ui_smartmapping.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>

#include "fpga/fpga_manage.h"
#include "platform/platform.h"
#include "ui/rcvtools/rcvrecovery.h"

namespace {
const panel::Tr5 kScanStep1{"第一步 选择网口", "Step 1 Select network port", "Шаг 1 Выбор сетевого порта",
    "Bước 1 Chọn cổng mạng", "第一步 選擇網口"};
const panel::Tr5 kScanStep2{"第二步 上传扫描参数", "Step 2 Upload scan parameters", "Шаг 2 Загрузка параметров скана",
    "Bước 2 Tải tham số quét", "第二步 上傳掃描參數"};
const panel::Tr5 kScanDetected{"检测到以下屏体参数文件", "Detected the following screen parameter\n files",
    "Найдены следующие файлы\nпараметров экрана", "Đã tìm thấy các tệp tham số\nmàn hình sau",
    "檢測到以下屏體參數文件"};
const panel::Tr5 kScanLoad{"加载", "Load", "Загрузить", "Tải", "加載"};
const panel::Tr5 kScanNoFile{"没有可加载的文件!", "No loaded file!", "Нет файлов для загрузки!", "Không có tệp để tải!",
    "沒有可加載的文件!"};

const QString kScanStoredDir = QStringLiteral("/data/smartmapping/");
const QString kScanUsbDir = QStringLiteral("/mnt/usb1/");
constexpr int kScanMaxFiles = 100;
constexpr int kScanRowsPerPage = 3;
constexpr uint8_t kScanJobScanFile = 2;

// Entry styles: [stored, USB][plain, chosen, chosen under the cursor].
const char* const kScanEntryStyle[2][3] = {
    {"background-color: rgb(33, 36, 53);color: #FFFFFF",
        "background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,255,255);",
        "background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,171,84);"},
    {"background-color: rgb(33, 36, 53);color: #00FF00",
        "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,255,255);",
        "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,171,84);"},
};

// The scan files of a directory (a system path ending in '/'): regular,
// not hidden, not links, suffix exactly "tzfile", by name ignoring case;
// at most `limit` absolute paths.
QStringList scan_files_in(const QString& dir, int limit)
{
    QStringList out;
    const QDir d(platform::sysPath(dir));
    const QFileInfoList entries = d.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : entries) {
        if (out.size() >= limit)
            break;
        if (info.suffix() == QLatin1String("tzfile"))
            out << dir + info.fileName();
    }
    return out;
}
} // namespace

// ----------------------------------------------------------------- texts

void SmartMapping::language_for_loadscan_page4()
{
    ui->label_step1_5->setText(panel::text(kScanStep1));
    ui->Button_next_5->setText(text_next());
    ui->Button_wlan5->setText(QStringLiteral("LED%1~%2").arg(1).arg(8));
    ui->Button_wlan6->setText(QStringLiteral("LED%1~%2").arg(9).arg(10));
    fit_text({ui->label_step1_5, ui->Button_next_5});
}

void SmartMapping::language_for_loadscan_page5()
{
    ui->label_step2_6->setText(panel::text(kScanStep2));
    ui->label_step2_7->setText(panel::text(kScanDetected));
    ui->Button_front_6->setText(text_previous());
    ui->Button_load->setText(panel::text(kScanLoad));
    fit_text({ui->label_step2_6, ui->Button_front_6, ui->Button_load});
    if (shown_count == 0 && file_frame)
        if (auto* none = file_frame->findChild<QLabel*>(QStringLiteral("label_nofile")))
            none->setText(panel::text(kScanNoFile));
}

// ---------------------------------------------------------------- listing

int SmartMapping::scan_files_on_stick() const { return scan_files_in(kScanUsbDir, kScanMaxFiles).size(); }

void SmartMapping::get_file_list_smartpath()
{
    const QStringList stored = scan_files_in(kScanStoredDir, kScanMaxFiles);
    file_list += stored;
    stored_count = uint8_t(stored.size());
}

void SmartMapping::get_file_list_usbpath()
{
    const QStringList usb = scan_files_in(kScanUsbDir, kScanMaxFiles - stored_count);
    file_list += usb;
    total_count = uint8_t(stored_count + usb.size());
}

void SmartMapping::on_Button_loadscan_clicked()
{
    if (g_qround_bar)
        return;
    button_select(ui->Button_loadscan);
    ui->stackedWidget->setCurrentIndex(kPageScanPort);
    language_for_loadscan_page4();
    file_page_flag = 0;
}

void SmartMapping::on_Button_next_5_clicked()
{
    shown_count = 0;
    file_list.clear();
    stored_count = total_count = 0;
    get_file_list_smartpath();
    get_file_list_usbpath();
    shown_count = total_count;
    current_page = 0;
    if (total_count == 0)
        last_page = 255;
    else
        last_page = uint8_t(total_count % kScanRowsPerPage ? total_count / kScanRowsPerPage : total_count / kScanRowsPerPage - 1);
    file_page_flag = 1;
    scan_file_list();
    language_for_loadscan_page5();
}

int SmartMapping::entry_index(int row) const { return current_page * kScanRowsPerPage + row; }

int SmartMapping::rows_on_page() const
{
    if (shown_count == 0)
        return 0;
    return shown_count >= (current_page + 1) * kScanRowsPerPage ? kScanRowsPerPage : shown_count % kScanRowsPerPage;
}

void SmartMapping::draw_row(int row, EntryLook look)
{
    if (row < 0 || row >= rows_on_page() || !row_label[row])
        return;
    const bool usb = entry_index(row) >= stored_count;
    row_label[row]->setStyleSheet(QLatin1String(kScanEntryStyle[usb][int(look)]));
}

void SmartMapping::scan_file_list()
{
    delete file_frame;
    for (int r = 0; r < kScanRowsPerPage; ++r) {
        row_label[r] = nullptr;
        row_button[r] = nullptr;
        row_path[r].clear();
    }
    arrow_previous = arrow_next = nullptr;
    file_frame = new QFrame(ui->stackedWidget->widget(kPageScanFile));
    file_frame->setObjectName(QStringLiteral("frame_file"));
    file_frame->setGeometry(10, 55, 220, 90);
    file_frame->setStyleSheet(QStringLiteral("#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}"));
    QFont entryFont = font();
    entryFont.setPointSize(7);

    if (shown_count == 0) {
        auto* none = new QLabel(file_frame);
        none->setObjectName(QStringLiteral("label_nofile"));
        none->setGeometry(5, 5, 200, 40);
        none->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        none->setFont(entryFont);
        none->setStyleSheet(QStringLiteral("background-color: rgb(33, 36, 53);color: #FFFFFF"));
        none->setText(panel::text(kScanNoFile));
        g_tzfile_name.set(QString());
    } else {
        const int rows = rows_on_page();
        for (int r = 0; r < rows; ++r) {
            const QString path = file_list.value(entry_index(r));
            row_path[r] = path;
            row_label[r] = new QLabel(file_frame);
            row_label[r]->setGeometry(5, 25 * r + 5, 190, 20);
            row_label[r]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            row_label[r]->setFont(entryFont);
            row_label[r]->setText(QFileInfo(path).fileName().remove(QLatin1Char('\n')));
            row_button[r] = new QPushButton(file_frame);
            row_button[r]->setGeometry(5, 25 * r + 5, 190, 20);
            row_button[r]->setFlat(true);
            row_button[r]->setFocusPolicy(Qt::NoFocus);
            row_button[r]->setStyleSheet(QStringLiteral("background-color: transparent;"));
            row_button[r]->setObjectName(QString::number(r));
            connect(row_button[r], &QPushButton::clicked, this, &SmartMapping::vyx_button_file_clicked);
            draw_row(r, r == file_select ? EntryLook::UnderCursor : EntryLook::Plain);
        }
        // The chosen file is the one drawn chosen: with the selection past
        // the rows of this page no file is chosen, rather than one that is
        // no longer in sight.
        g_tzfile_name.set(file_select < rows ? row_path[file_select] : QString());
        auto arrow = [&](const char* icon, int y, void (SmartMapping::*slot)()) {
            auto* b = new QPushButton(file_frame);
            b->setGeometry(200, y, 15, 20);
            b->setFocusPolicy(Qt::NoFocus);
            b->setStyleSheet(QStringLiteral("background-color: rgb(33, 36, 53);"));
            panel::set_icon(b, panel::png_plain(QLatin1String(icon)), QSize(15, 20));
            connect(b, &QPushButton::clicked, this, slot);
            return b;
        };
        if (current_page >= 1)
            arrow_previous = arrow("previous", 5, &SmartMapping::vyx_Button_previous_clicked);
        if (current_page < last_page)
            arrow_next = arrow("next", 55, &SmartMapping::vyx_Button_next_clicked);
    }
    file_frame->show();
    ui->stackedWidget->setCurrentIndex(kPageScanFile);
}

// ------------------------------------------------------------------ touch

void SmartMapping::vyx_button_file_clicked()
{
    if (g_qround_bar)
        return;
    bool ok = false;
    const int r = sender() ? sender()->objectName().toInt(&ok) : -1;
    if (!ok || r < 0 || r >= rows_on_page())
        return;
    draw_row(file_select, EntryLook::Plain);
    file_select = uint8_t(r);
    g_tzfile_name.set(row_path[r]);
    draw_row(r, EntryLook::Chosen);
}

void SmartMapping::vyx_Button_previous_clicked()
{
    if (g_qround_bar)
        return;
    if (current_page > 0)
        --current_page;
    scan_file_list();
}

void SmartMapping::vyx_Button_next_clicked()
{
    if (g_qround_bar)
        return;
    current_page = int8_t(current_page >= last_page ? 0 : current_page + 1);
    scan_file_list();
}

void SmartMapping::on_Button_front_6_clicked()
{
    if (g_qround_bar)
        return;
    ui->stackedWidget->setCurrentIndex(kPageScanPort);
}

void SmartMapping::on_Button_load_clicked()
{
    // Job 2 reads the path and the port byte; both are in place.
    if (g_tzfile_name.get().isEmpty() || job_refused())
        return;
    post_job(kScanJobScanFile);
}

// ---------------------------------------------------------- keys: port page

QPushButton* SmartMapping::port_item(int cursor) const
{
    QPushButton* const items[] = {ui->Button_wlan5, ui->Button_wlan6, ui->Button_next_5};
    return cursor >= 0 && cursor < 3 ? items[cursor] : nullptr;
}

QPushButton* SmartMapping::file_button(int cursor) const { return cursor == 0 ? ui->Button_front_6 : ui->Button_load; }

void SmartMapping::menulist_loadscan_page1_sel_default() { style_item(port_item(port_cursor), false); }

void SmartMapping::menulist_loadscan_page1_sel_recovery() { style_item(port_item(port_cursor), true); }

void SmartMapping::menulist_loadscan_page1_init(unsigned char entered)
{
    if (line_type.port < 8)
        on_Button_wlan5_clicked();
    else if (line_type.port < 16)
        on_Button_wlan6_clicked();
    port_cursor = port_group < 2 ? port_group : 0;
    scan_in_grid = 0;
    port_confirmed = 0;
    for (int i = 0; i < 3; ++i)
        style_item(port_item(i), false);
    if (entered) {
        menulist_loadscan_page1_sel_recovery();
        menu_focused->setStyleSheet(style_entered);
    } else {
        menu_focused->setStyleSheet(style_focused);
    }
    scan_step = 0;
}

void SmartMapping::port_page_move(int delta)
{
    if (scan_in_grid) {
        grid_move(delta, 1);
        return;
    }
    menulist_loadscan_page1_sel_default();
    port_cursor = uint8_t((port_cursor + delta + 3) % 3);
    if (port_cursor == 0)
        on_Button_wlan5_clicked();
    else if (port_cursor == 1)
        on_Button_wlan6_clicked();
    menulist_loadscan_page1_sel_recovery();
}

void SmartMapping::menulist_loadscan_page1_sel_right() { port_page_move(+1); }

void SmartMapping::menulist_loadscan_page1_sel_left() { port_page_move(-1); }

// ---------------------------------------------------------- keys: file page

void SmartMapping::menulist_loadscan_page2_sel_default() { file_button(file_cursor)->setStyleSheet(style_normal); }

void SmartMapping::menulist_loadscan_page2_sel_recovery() { file_button(file_cursor)->setStyleSheet(style_focused); }

void SmartMapping::menulist_loadscan_page2_init()
{
    menulist_loadscan_page2_sel_default();
    file_cursor = shown_count ? 1 : 0;
    // The cursor starts on the row drawn under it.
    row_cursor = file_select < rows_on_page() ? file_select : 0;
    file_mode = 0;
    if (shown_count == 0)
        menulist_loadscan_page2_sel_recovery();
    scan_step = 1;
}

void SmartMapping::file_page_move(int delta)
{
    if (shown_count == 0 || file_mode != 0) {
        menulist_loadscan_page2_sel_default();
        file_cursor ^= 1;
        menulist_loadscan_page2_sel_recovery();
        return;
    }
    draw_row(row_cursor, EntryLook::Plain);
    if (delta > 0) {
        ++row_cursor;
        if (row_cursor >= rows_on_page()) {
            row_cursor = 0;
            file_select = 0;
            current_page = int8_t(current_page >= last_page ? 0 : current_page + 1);
            scan_file_list();
        }
    } else if (row_cursor == 0 && current_page == 0) {
        file_select = 0;
        scan_file_list();
    } else if (row_cursor == 0) {
        row_cursor = uint8_t(rows_on_page() - 1);
        file_select = row_cursor;
        --current_page;
        scan_file_list();
    } else {
        --row_cursor;
    }
    file_select = row_cursor;
    draw_row(row_cursor, EntryLook::UnderCursor);
}

void SmartMapping::menulist_loadscan_page2_sel_right() { file_page_move(+1); }

void SmartMapping::menulist_loadscan_page2_sel_left() { file_page_move(-1); }

// ----------------------------------------------------------- keys: OK, back

void SmartMapping::menulist_loadscan_button_ok_page()
{
    if (scan_step == 0) {
        if (scan_in_grid) {
            if (tile_cursor < tile_count && tile_button[tile_cursor])
                emit tile_button[tile_cursor]->clicked();
            scan_in_grid = 0;
            menulist_loadscan_page1_sel_recovery();
            port_confirmed = 1;
        } else if (port_cursor == 2) {
            on_Button_next_5_clicked();
            menulist_loadscan_page2_init();
        } else {
            // The port changes with the first move in the grid.
            scan_in_grid = 1;
            saved_port = line_type.port;
            port_cursor == 0 ? on_Button_wlan5_clicked() : on_Button_wlan6_clicked();
            port_item(port_cursor)->setStyleSheet(style_entered);
        }
        return;
    }
    if (shown_count != 0 && file_mode == 0) {
        if (row_cursor < rows_on_page() && row_button[row_cursor])
            emit row_button[row_cursor]->clicked();
        file_mode = 1;
        menulist_loadscan_page2_sel_recovery();
    } else if (file_cursor == 0) {
        if (g_qround_bar)
            return;
        on_Button_front_6_clicked();
        scan_step = 0;
    } else {
        on_Button_load_clicked();
        menulist_loadscan_page2_sel_default();
        draw_row(row_cursor, EntryLook::UnderCursor);
        file_mode = 0;
    }
}

void SmartMapping::menulist_loadscan_back_page()
{
    if (scan_step == 0) {
        if (scan_in_grid) {
            scan_in_grid = 0;
            if (port_confirmed == 1)
                line_type.port = saved_port;
            port_cursor == 0 ? on_Button_wlan5_clicked() : on_Button_wlan6_clicked();
            menulist_loadscan_page1_sel_recovery();
        } else {
            menu_level = 0;
            menulist_loadscan_page1_sel_default();
            menulist_fuc_sel_default();
        }
        return;
    }
    if (shown_count == 0 || file_mode == 0) {
        // Leaving the file page is refused while its job's ring is up.
        if (g_qround_bar)
            return;
        on_Button_front_6_clicked();
        scan_step = 0;
        language_for_loadscan_page4();
    } else {
        draw_row(file_select, EntryLook::UnderCursor);
        menulist_loadscan_page2_sel_default();
        file_mode = 0;
    }
}

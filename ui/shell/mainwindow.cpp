#include "ui/shell/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFontMetrics>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMutexLocker>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <iterator>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/clock.h"
#include "ui/image/custommode.h"
#include "ui/image/inputchoose.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/setup/factoryage.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/machinestate.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/tip.h"

using namespace ram;

namespace {

const panel::PageRefresh<MainWindow> kMainWindowRefresh(kPageMainWindow, g_mainwindow);

const panel::Tr5 kCallTitle{
    "用户模式调用", "User mode invocation", "Загрузка настроек", "Điều chỉnh chế độ", "用戶模式調用"};
const panel::Tr5 kSaveTitle{"用户模式保存", "User mode save", "Сохранение настроек", "Chế độ lưu", "用戶模式保存"};
const panel::Tr5 kUsing{"使用中\u00AD", "Using", "Использовать", "sử dụng", "使用中\u00AD"};

constexpr const char* kGridPanelStyle
    = "#widget_mode{background-color: rgb(255, 255, 255);border:1px groove gray;border-radius:1px;}";
constexpr const char* kGridButton = "background-color:transparent;";
constexpr const char* kGridButtonCursor
    = "background-color:transparent;border-radius:5px;border:2px solid rgb(255,171,84);";
constexpr const char* kSlotSaved = "background-color: #212435;border-radius:5px;";
constexpr const char* kSlotEmpty = "background-color: #B2B2B2;border-radius:5px;";
constexpr const char* kSlotPressed = "background-color: #00D65B;border-radius:5px;";
constexpr const char* kBadge = "background-color: #4777FF;color: #FFFFFF;border-radius:3px;font: 7px;";
constexpr const char* kUsingLabel = "color: rgb(255, 255, 255); font: 7px;";

constexpr int kMenuItems = 6;  // ring entries 0..5; the tools follow
constexpr int kToolItems = 4;  // ring entries 6..9
constexpr int kLargeItems = 4; // the four menu buttons
constexpr int kGridX = 11, kGridY = 6, kGridW = 270, kGridH = 230;
constexpr int kPointerCallY = 148, kPointerSaveY = 188;

// The ageing log keeps seven days of samples, one per 180 s.
constexpr int kAgeLogLines = 3360;
constexpr unsigned kAgeCheckTicks = 17999;
constexpr unsigned kRebootDelayTicks = 300;
constexpr unsigned kUsbGateTicks = 1000;

// The audio image: byte 2112, taken as image 0 when 6 or more.
int audioImage()
{
    const int k = panel::img8(kAudioImage);
    return k >= kWindowImages ? 0 : k;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->widget->hide();
    mode_init();

    label_pointer = new QLabel(this);
    panel::set_picture(label_pointer, panel::png_plain("pointer"));
    label_pointer->hide();
    ui->label_IP->setText(QString());
    panel::set_picture(ui->label_IP, panel::png_plain("ip"));
    panel::set_icon(ui->Button_lock, panel::png_plain("unlock"), QSize(16, 16));
    panel::set_icon(ui->tools, panel::png_plain("tools"), QSize(16, 16));
    panel::set_icon(ui->toolButton3, panel::png_plain("uncall"), QSize(24, 36));
    panel::set_icon(ui->toolButton4, panel::png_plain("unsave"), QSize(24, 36));

    if (!g_numberkeyboard && !g_tip) {
        m_ownsShared = true;
        g_numberkeyboard = new NumberKeyboard(nullptr);
        g_numberkeyboard->setWindowFlags(g_numberkeyboard->windowFlags() | Qt::FramelessWindowHint);
        g_tip = new TIP(nullptr);
    }

    menulist_init();
    language_changed();
}

MainWindow::~MainWindow()
{
    if (m_ownsShared) {
        delete g_numberkeyboard;
        g_numberkeyboard = nullptr;
        delete g_tip;
        g_tip = nullptr;
    }
    for (QFrame*& frame : g_mode)
        frame = nullptr;
    delete ui;
}

// ---------------------------------------------------------------- texts

void MainWindow::setToolIcon(QPushButton* button, const char* base)
{
    panel::set_icon(button, panel::png(QLatin1String(base)), QSize(24, 36));
}

void MainWindow::language_changed()
{
    const int lang = panel::language();
    const struct {
        QPushButton* button;
        const char* base;
    } menu[] = {{ui->machinestate, "machinestate"}, {ui->inputchoose, "inputchoose"}, {ui->custommode, "custommode"},
        {ui->option, "option"}};
    for (const auto& item : menu)
        panel::set_icon(item.button, panel::png(QLatin1String(item.base)), QSize(64, 64));
    // The input picture carries a longer caption in these languages.
    if (lang == panel::kEnglish)
        ui->inputchoose->setIconSize(QSize(90, 64));
    else if (lang == panel::kRussian || lang == panel::kVietnamese)
        ui->inputchoose->setIconSize(QSize(96, 76));
    setToolIcon(ui->toolButton3, "uncall");
    setToolIcon(ui->toolButton4, "unsave");
    para_init();
    ip_changed();
}

void MainWindow::ip_changed() { ui->label_IPaddr->setText(g_str_ip.get()); }

void MainWindow::para_init()
{
    setToolIcon(ui->toolButton1, panel::img16(kLedOff) == 1 ? "closeled" : "uncloseled");
    const bool soundOn = panel::img16(imageRecord(audioImage()) + kImgAudio) & 0x8000;
    setToolIcon(ui->toolButton2, soundOn ? "unslience" : "slience");
    l_lock_state = panel::img16(kPanelLock) == 1 ? 1 : 0;
    panel::set_icon(ui->Button_lock, panel::png_plain(l_lock_state ? "lock" : "unlock"), QSize(16, 16));
}

void MainWindow::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    const int audio = imageRecord(audioImage()) + kImgAudio;
    if (!panel::changed16(kLedOff) && !panel::changed16(audio) && !panel::changed16(kPanelLock)) {
        ip_changed();
        return;
    }
    para_init();
    ip_changed();
}

// ----------------------------------------------------------- focus ring

void MainWindow::menulist_init()
{
    QWidget* const entries[] = {ui->machinestate, ui->inputchoose, ui->custommode, ui->option, ui->Button_lock,
        ui->tools, ui->toolButton1, ui->toolButton2, ui->toolButton3, ui->toolButton4};
    std::copy(std::begin(entries), std::end(entries), ring);
    ui_select = 0;
    m_cursor = 0;
    for (int i = 0; i < 10; ++i)
        setFocused(i, false);
    setFocused(0, true);
}

void MainWindow::setFocused(int index, bool focused)
{
    QWidget* w = ring[index];
    if (index < kLargeItems)
        w->setStyleSheet(focused ? style::kLargeFocused : style::kLargeNormal);
    else
        w->setStyleSheet(focused ? style::kSmallFocused : style::kSmallNormal);
    if (focused)
        focus_widget = w;
}

void MainWindow::unfocusCurrent()
{
    QWidget** at = std::find(std::begin(ring), std::end(ring), focus_widget);
    if (at != std::end(ring))
        setFocused(int(at - ring), false);
}

bool MainWindow::toolsShown() const { return !ui->widget->isHidden(); }

// ------------------------------------------------------------------ keys

void MainWindow::keyPressEvent(QKeyEvent* event) { panel::log_key_press("MainWindow", event->key()); }

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    qDebug("in MainWindow keyReleaseEvent event %#x", unsigned(key));
    switch (panel::key_role(key)) {
    case panel::KeyRole::Left:
        qDebug("this is left-code [MainWindow][Release] ui_select=%#x", unsigned(ui_select));
        keyLeftRight(-1);
        break;
    case panel::KeyRole::Right:
        qDebug("this is right-code [MainWindow][Release] ui_select=%#x", unsigned(ui_select));
        keyLeftRight(+1);
        break;
    case panel::KeyRole::Ok:
        qDebug("this is OK button(MainWindow)[Release],g_lockwindow=%p\n", static_cast<void*>(g_lockwindow));
        keyOk();
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button(MainWindow)[Release]\n");
        keyBack();
        break;
    case panel::KeyRole::Mode:
        qDebug("this is mode-code [MainWindow][Release]");
        if (panel::panel_locked())
            return;
        g_mode_shortcut_key = 1;
        on_custommode_clicked();
        break;
    case panel::KeyRole::None:
        break;
    }
    keyboard.update_usb_keyEvent(key);
}

void MainWindow::keyLeftRight(int delta)
{
    if (gridOpen()) {
        on_usermodesel_clicked(delta < 0 ? 0 : 1);
        return;
    }
    const bool tools = toolsShown();
    const int count = tools ? kToolItems : kMenuItems;
    const int first = tools ? kMenuItems : 0;
    setFocused(first + ui_select, false);
    ui_select = uint8_t((ui_select + delta + count) % count);
    setFocused(first + ui_select, true);
}

void MainWindow::keyOk()
{
    if (gridOpen()) {
        // As a touch on the slot under the cursor.
        if (widget_mode && mode_button[m_cursor])
            mode_button[m_cursor]->click();
        return;
    }
    const bool tools = toolsShown();
    VYX_DEBUG(tools ? "\n unhidden ui_select = %#x ,l_lock_state = %#x ,l_call_state=%#x\n"
                    : "\n ishidden ui_select = %#x ,l_lock_state = %#x l_call_state=%#x\n",
        unsigned(ui_select), unsigned(l_lock_state), unsigned(l_call_state));
    using Action = void (MainWindow::*)();
    static const Action kMenu[kMenuItems] = {&MainWindow::on_machinestate_clicked, &MainWindow::on_inputchoose_clicked,
        &MainWindow::on_custommode_clicked, &MainWindow::on_option_clicked, &MainWindow::on_Button_lock_clicked,
        &MainWindow::on_tools_clicked};
    static const Action kTools[kToolItems] = {&MainWindow::on_toolButton1_clicked, &MainWindow::on_toolButton2_clicked,
        &MainWindow::on_toolButton3_clicked, &MainWindow::on_toolButton4_clicked};
    if (tools && ui_select < kToolItems)
        (this->*kTools[ui_select])();
    else if (!tools && ui_select < kMenuItems)
        (this->*kMenu[ui_select])();
}

void MainWindow::keyBack()
{
    if (gridOpen()) {
        on_deletewidgetmode_clicked();
        setFocused(kMenuItems + ui_select, true);
        return;
    }
    if (toolsShown()) {
        ui->widget->hide();
        if (ui_select >= kToolItems)
            ui_select = 0;
        setFocused(kMenuItems + ui_select, false);
        ui_select = 5;
        setFocused(ui_select, true);
        on_toolusermode_clicked();
        return;
    }
    leaveToStandby();
}

void MainWindow::leaveToStandby()
{
    mode_window_close();
    panel::open_modeless(g_lockwindow, kPageLockWindow);
}

// --------------------------------------------------------------- openers

void MainWindow::on_machinestate_clicked()
{
    mode_window_close();
    panel::open_modal(g_machinestate, kPageMachineState);
}

void MainWindow::on_inputchoose_clicked()
{
    mode_window_close();
    panel::open_modal(g_inputchoose, kPageInputChoose);
}

void MainWindow::on_option_clicked()
{
    mode_window_close();
    panel::open_modal(g_option, kPageOption);
}

void MainWindow::on_custommode_clicked()
{
    mode_window_close();
    panel::open_modeless(g_custommode, kPageCustomMode);
}

// ----------------------------------------------------------------- tools

void MainWindow::on_tools_clicked()
{
    if (!toolsShown()) {
        ui->widget->show();
        unfocusCurrent();
        ui_select = 0;
        m_cursor = 0;
        setFocused(kMenuItems, true);
        return;
    }
    if (widget_mode) {
        widget_mode->hide();
        widget_mode->deleteLater();
        widget_mode = nullptr;
        for (QFrame*& frame : g_mode)
            frame = nullptr;
        label_pointer->hide();
    }
    l_call_state = 0;
    l_save_state = 0;
    m_cursor = 0;
    setToolIcon(ui->toolButton3, "uncall");
    setToolIcon(ui->toolButton4, "unsave");
    ui->widget->hide();
    // Touched closed, the column leaves the focus on the button that opens
    // it again, as the back key does; otherwise no item would show focus.
    setFocused(kMenuItems + (ui_select < kToolItems ? ui_select : 0), false);
    ui_select = 5;
    setFocused(ui_select, true);
}

void MainWindow::on_toolButton1_clicked()
{
    const uint16_t off = panel::img16(kLedOff) % 2 == 0 ? 1 : 0;
    setToolIcon(ui->toolButton1, off ? "closeled" : "uncloseled");
    panel::scaler_write([off](panel::ScalerWrite& w) { w.put16(kLedOff, off); });
}

void MainWindow::on_toolButton2_clicked()
{
    int k = panel::img8(kAudioImage);
    // An audio index that names no open image falls back to image 0.
    const bool reset = k >= kWindowImages || panel::img16(imageRecord(k) + kImgEnable) == 0;
    if (reset)
        k = 0;
    const int audio = imageRecord(k) + kImgAudio;
    const bool soundOn = panel::img16(audio) & 0x8000;
    setToolIcon(ui->toolButton2, soundOn ? "slience" : "unslience");
    const uint16_t word = soundOn ? 0x0000 : 0x80FF;
    // The index is reset in the same hold, so the scaler never compares a
    // half-made change.
    panel::scaler_write([&](panel::ScalerWrite& w) {
        if (reset)
            w.put16(kAudioImage, 0);
        w.put16(audio, word);
    });
}

void MainWindow::on_Button_lock_clicked()
{
    const uint16_t lock = panel::img16(kPanelLock) % 2 == 0 ? 1 : 0;
    // The one word a screen writes without the scaler's lock: the scaler
    // does not apply it.
    putLe16(VyxRamPara::pInstance()->ram_para + kPanelLock, lock);
    // The icon shows the word written (a word the PC left odd would
    // otherwise show the lock on a panel just unlocked).
    l_lock_state = lock ? 1 : 0;
    panel::set_icon(ui->Button_lock, panel::png_plain(lock ? "lock" : "unlock"), QSize(16, 16));
}

// ------------------------------------------------------------ mode grid

void MainWindow::mode_init()
{
    if (widget_mode) {
        // A grid button's click handler may still be running on the stack.
        widget_mode->hide();
        widget_mode->deleteLater();
    }
    widget_mode = new QWidget(this);
    widget_mode->setObjectName(QStringLiteral("widget_mode"));
    widget_mode->setStyleSheet(kGridPanelStyle);
    widget_mode->hide();
    QFont font = this->font();
    font.setPointSize(9);
    font.setBold(false);
    widget_mode->setFont(font);

    label_mode_title = new QLabel(widget_mode);
    label_mode_title->setGeometry(10, 5, 210, 28);
    label_mode_title->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
    // After the style sheet, which would otherwise put back the default font.
    label_mode_title->setFont(font);

    VyxRamPara* store = VyxRamPara::pInstance();
    const int current = store->VyxGetCurrentModeIndex();
    for (int i = 0; i < kModeGridSlots; ++i) {
        const int x = 15 + 63 * (i % 4), y = 33 + 45 * (i / 4);
        const bool saved = store->VyxUserModeSaved(i);
        QFrame* frame = new QFrame(widget_mode);
        frame->setGeometry(x, y, 50, 40);
        frame->setStyleSheet(saved ? kSlotSaved : kSlotEmpty);
        g_mode[i] = frame;

        QLabel* badge = new QLabel(QString::asprintf("%d", i + 1), widget_mode);
        badge->setGeometry(x, y, 12, 12);
        badge->setAlignment(Qt::AlignCenter);
        badge->setStyleSheet(kBadge);

        QLabel* icon = new QLabel(frame);
        icon->setGeometry(17, 12, 16, 16);
        panel::set_picture(icon, panel::png_plain(saved ? "mode_exist" : "mode_blank"));
        QLabel* inUse = new QLabel(panel::text(kUsing), frame);
        inUse->setAlignment(Qt::AlignCenter);
        inUse->setStyleSheet(kUsingLabel);
        inUse->hide();
        if (saved && current == i + 1) {
            icon->setGeometry(17, 7, 16, 16);
            // A longer word than the frame's middle (Russian) takes the
            // frame's width, less the cursor's border drawn over its edges,
            // and is shortened to that in the style sheet's font.
            constexpr int kRoom = 50 - 2 * 2;
            inUse->ensurePolished();
            const QFontMetrics metrics = inUse->fontMetrics();
            inUse->setText(metrics.elidedText(inUse->text(), Qt::ElideRight, kRoom));
            const int width = qBound(36, metrics.horizontalAdvance(inUse->text()) + 2, kRoom);
            inUse->setGeometry((50 - width) / 2, 23, width, 17);
            inUse->show();
        }

        QPushButton* button = new QPushButton(widget_mode);
        button->setObjectName(QString::number(i));
        button->setGeometry(x, y, 50, 40);
        button->setFocusPolicy(Qt::NoFocus);
        // Flat: the transparent style lets the slot's frame, badge and icon
        // show through instead of a button face.
        button->setFlat(true);
        const bool underCursor = i == m_cursor && (l_save_state || (l_call_state && saved));
        button->setStyleSheet(underCursor ? kGridButtonCursor : kGridButton);
        connect(button, &QPushButton::clicked, this, &MainWindow::vyx_button_mode_clicked);
        mode_button[i] = button;
    }
}

void MainWindow::showGrid(int pointerY)
{
    widget_mode->setGeometry(kGridX, kGridY, kGridW, kGridH);
    label_mode_title->setText(panel::text(l_call_state ? kCallTitle : kSaveTitle));
    widget_mode->show();
    widget_mode->raise();
    if (pointerY >= 0) {
        label_pointer->setGeometry(281, pointerY, 9, 12);
        label_pointer->show();
        label_pointer->raise();
    }
}

void MainWindow::mode_window_close()
{
    if (!widget_mode)
        return;
    l_call_state = 0;
    l_save_state = 0;
    widget_mode->hide();
    label_pointer->hide();
}

void MainWindow::openGrid(bool save)
{
    if (save ? l_save_state : l_call_state)
        return;
    l_call_state = save ? 0 : 1;
    l_save_state = save ? 1 : 0;
    QPushButton* tool = save ? ui->toolButton4 : ui->toolButton3;
    QPushButton* other = save ? ui->toolButton3 : ui->toolButton4;
    setToolIcon(other, save ? "uncall" : "unsave");
    unfocusCurrent();
    // The cursor starts on the first saved slot from where it was.
    const int s = VyxRamPara::pInstance()->VyxUserModeIndex(char(m_cursor), 2);
    if (s < kModeGridSlots) {
        m_cursor = uint8_t(s);
        setToolIcon(tool, save ? "save" : "call");
    } else {
        m_cursor = 0;
    }
    mode_init();
    showGrid(save ? kPointerSaveY : kPointerCallY);
}

void MainWindow::on_toolButton3_clicked() { openGrid(false); }

void MainWindow::on_toolButton4_clicked() { openGrid(true); }

void MainWindow::on_usermodesel_clicked(char direction)
{
    if (l_call_state) {
        const int s = VyxRamPara::pInstance()->VyxUserModeIndex(char(m_cursor), direction);
        m_cursor = s < kModeGridSlots ? uint8_t(s) : 0;
    } else if (l_save_state) {
        m_cursor = uint8_t((m_cursor + (direction ? 1 : kModeGridSlots - 1)) % kModeGridSlots);
    }
    mode_init();
    showGrid(-1);
}

void MainWindow::vyx_button_mode_clicked()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    const int before = g_mode_select.load();
    if (before < kModeGridSlots && g_mode[before])
        g_mode[before]->setStyleSheet(store->VyxUserModeSaved(before) ? kSlotSaved : kSlotEmpty);

    QObject* button = sender();
    if (!button)
        return;
    const int slot = button->objectName().toInt();
    if (slot < 0 || slot >= kModeGridSlots)
        return;
    g_mode_select = uint8_t(slot);

    if (l_save_state == 1) {
        if (panel::img16(kModeSaveRequest) != slot + 1)
            panel::scaler_write([slot](panel::ScalerWrite& w) { w.put16(kModeSaveRequest, uint16_t(slot + 1)); });
        l_save_state = 0;
        on_toolButton4_clicked();
        pending_notice = 1;
    }
    if (l_call_state == 1 && store->VyxUserModeSaved(slot)) {
        panel::scaler_write([slot](panel::ScalerWrite& w) {
            w.copy_slot_in(slot);
            w.put16(kCurrentMode, uint16_t(slot + 1));
            w.put16(kModeSaveRequest, 0);
        });
        l_call_state = 0;
        m_cursor = uint8_t(slot);
        on_toolButton3_clicked();
        pending_notice = 1;
    }
    if (g_mode[slot])
        g_mode[slot]->setStyleSheet(kSlotPressed);
}

void MainWindow::on_deletewidgetmode_clicked()
{
    if (l_save_state) {
        l_save_state = 0;
        setToolIcon(ui->toolButton4, "unsave");
    }
    if (l_call_state) {
        l_call_state = 0;
        setToolIcon(ui->toolButton3, "uncall");
    }
    if (widget_mode)
        widget_mode->hide();
    label_pointer->hide();
}

void MainWindow::on_toolusermode_clicked()
{
    if (!gridOpen())
        return;
    l_call_state = 0;
    l_save_state = 0;
    setToolIcon(ui->toolButton4, "unsave");
    setToolIcon(ui->toolButton3, "uncall");
    if (widget_mode)
        widget_mode->hide();
    label_pointer->hide();
}

// -------------------------------------------------------- firmware dialog

void MainWindow::update_start() { screen_hooks::run(ScreenHook::FirmwareUpdateStart); }

void MainWindow::update_over() { screen_hooks::run(ScreenHook::FirmwareUpdateOver); }

void MainWindow::post_update_start()
{
    panel::post_to_screen<MainWindow>(g_mainwindow, -1, [](MainWindow* w) { w->update_start(); });
}

void MainWindow::post_update_over()
{
    panel::post_to_screen<MainWindow>(g_mainwindow, -1, [](MainWindow* w) { w->update_over(); });
}

// ------------------------------------------------------------------ tick

void MainWindow::slot_update_timer_ticks()
{
    G_timeTicks.fetch_add(1, std::memory_order_relaxed);

    if (g_update_flag && g_move_update)
        g_move_update->update_time_deal();
    if (g_tip_flag && g_tip)
        g_tip->tip_outtime_deal();

    // Once: on a host the simulated shell ends the program; on the device
    // the system goes down.
    if (g_app_reset_flag && !m_rebootSent && Utils::getTimeSpace(G_reboot_tickTicks) >= kRebootDelayTicks) {
        m_rebootSent = true;
        Utils::system_mutex("reboot");
    }

    if (Utils::getTimeSpace(G_factoryage_ticks) > kAgeCheckTicks) {
        G_factoryage_ticks = G_timeTicks.load();
        fpga_manage* fpga = fpga_manage::p_fpga_manage;
        if (fpga && pc_cmd_valid == 0 && fpga->get_fpga_status())
            getagelog();
        if (g_factoryage)
            g_factoryage->update_agelog();
        G_factoryage_ticks = G_timeTicks.load();
    }

    // The USB watcher waits 10 s after start (its stamp is never set).
    if (g_delay_usbserver == 0 && Utils::getTimeSpace(g_delay_usbserver_ticks) >= kUsbGateTicks)
        g_delay_usbserver = 1;
}

void MainWindow::getagelog()
{
    QDateTime now;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        now = platform::currentDateTime();
    }
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return;
    for (uint8_t reg : {40, 42, 43})
        fpga->read_from_register(reg, 0);
    factoryage_log.append(QStringLiteral("%1 %2 %3 %4")
                              .arg(now.toString(QStringLiteral("MM-dd hh:mm")))
                              .arg(fpga->shadow(42, 0))
                              .arg(fpga->shadow(40, 0))
                              .arg(fpga->shadow(43, 0)));
    if (factoryage_log.size() > kAgeLogLines)
        factoryage_log.removeFirst();
    factoryage_log_num = factoryage_log.size();
    if (factoryage_log.size() < 2)
        return;
    // Field 2 is register 42: the time itself holds one space.
    const int prev = factoryage_log.at(factoryage_log.size() - 2).split(' ').value(2).toInt();
    const int cur = factoryage_log.last().split(' ').value(2).toInt();
    int step = cur - prev;
    if (prev > cur)
        step += 256; // the register wraps at 256
    if (step <= 0)
        return;
    if (step < 3)
        ++factoryage_log_diff3;
    else if (step < 5)
        ++factoryage_log_diff5;
    else if (step < 10)
        ++factoryage_log_diff10;
    else if (step < 20)
        ++factoryage_log_diff20;
    else
        ++factoryage_log_diffmore;
}

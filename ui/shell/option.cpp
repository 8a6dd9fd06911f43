#include "ui/shell/option.h"
#include "ui_option.h"

#include <QDir>
#include <QKeyEvent>

#include "core/screen_hooks.h"
#include "core/usbserver.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputcut.h"
#include "ui/rcvtools/smartmapping.h"
#include "ui/setup/test_chart.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/settings_menus.h"

namespace {
const panel::PageRefresh<Option> kOptionRefresh(kPageOption, g_option);
const panel::Tr5 kOptionTitle{"设置", "Setting", "Настройки", "Cài đặt", "設置"};

// Icon widths by language and ring item; every icon is 60 high. The
// captions are drawn in the pictures, so their widths differ by language.
const int kIconWidths[5][8] = {
    {55, 55, 55, 55, 55, 55, 55, 55}, // Simplified Chinese
    {75, 70, 70, 70, 75, 55, 55, 54}, // English
    {55, 70, 55, 70, 55, 55, 55, 70}, // Russian
    {55, 70, 55, 70, 55, 55, 55, 54}, // Vietnamese
    {55, 55, 55, 55, 55, 55, 55, 55}, // Traditional Chinese
};
constexpr int kIconHeight = 60;
// What the focused item's border (2 pixels) and padding (2 across, 4 down)
// leave of a 70 x 80 button for its picture.
const QSize kItemPictureRoom(70 - 2 * (2 + 4), 80 - 2 * (2 + 2));
constexpr int kItemSmartMapping = 6;

// Runs in the GUI thread: the menu may have closed since the call was made.
void retext_open_menu()
{
    if (Option* menu = g_option)
        menu->language_changed();
}

void close_open_menu()
{
    if (Option* menu = g_option)
        menu->slot_Button_back_clicked();
}
} // namespace

Option::Option(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::Option)
{
    ui->setupUi(this);
    panel::set_picture(ui->label_note_OK, panel::png_plain(QStringLiteral("OK_Enter")));
    panel::set_picture(ui->label_note_back, panel::png_plain(QStringLiteral("back_return")));
    menulist_init();
    language_changed();
    // Calls from other threads, run in the GUI thread while page 5 is on top.
    UsbServer::setSettingsMenuCloser(close_open_menu);
    screen_hooks::set(ScreenHook::OptionLanguageChanged, retext_open_menu);
}

Option::~Option()
{
    // Deleted late, an old menu leaves the calls to a newer one.
    if (!g_option || g_option == this) {
        UsbServer::setSettingsMenuCloser(nullptr);
        screen_hooks::set(ScreenHook::OptionLanguageChanged, nullptr);
    }
    delete ui;
}

void Option::language_changed()
{
    ui->label_title->setText(panel::text(kOptionTitle));
    QPushButton* const items[] = {ui->output_set, ui->input_cut, ui->image_layout, ui->link_set, ui->image_quality,
        ui->test_chart, ui->smart_mapping, ui->AdvanceButton};
    const int language = panel::language();
    for (int i = 0; i < 8; ++i) {
        // The pictures carry the widgets' names, but the English picture of
        // the advanced item has a name of its own.
        QString base = items[i]->objectName();
        if (items[i] == ui->AdvanceButton && language == panel::kEnglish)
            base = QStringLiteral("advance_option");
        panel::set_icon(items[i], panel::png(base), QSize(kIconWidths[language][i], kIconHeight));
        // A caption wider than the item would run into its focus border.
        panel::fit_icon(items[i], kItemPictureRoom);
    }
    ui->smart_mapping->setStyleSheet(ui_select == kItemSmartMapping ? settings_menus::kButtonFocused
                                                                     : settings_menus::kButtonNormal);
}

void Option::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void Option::menulist_init()
{
    ring.set({ui->output_set, ui->input_cut, ui->image_layout, ui->link_set, ui->image_quality, ui->test_chart,
                 ui->smart_mapping, ui->AdvanceButton},
        settings_menus::kButtonNormal, settings_menus::kButtonFocused);
    ring.start(0);
}

void Option::keyReleaseEvent(QKeyEvent* event)
{
    settings_menus::log_key_release("Option", event->key(), ui_select);
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_option); });
}

void Option::slot_Button_back_clicked() { panel::go_back(this, g_option, g_mainwindow, kPageMainWindow); }

void Option::open_item(int item)
{
    static void (Option::*const kOpen[])() = {
        &Option::on_output_set_clicked,
        &Option::on_input_cut_clicked,
        &Option::on_image_layout_clicked,
        &Option::on_link_set_clicked,
        &Option::on_image_quality_clicked,
        &Option::on_test_chart_clicked,
        &Option::on_smart_mapping_clicked,
        &Option::on_AdvanceButton_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void Option::on_output_set_clicked() { panel::open_modal(g_outputset, kPageOutputSet); }

void Option::on_input_cut_clicked() { panel::open_modal(g_inputcut, kPageInputCut); }

void Option::on_image_layout_clicked() { panel::open_modal(g_imagelayout, kPageImageLayout); }

void Option::on_link_set_clicked() { panel::open_modal(g_linkoption, kPageLinkOption); }

void Option::on_image_quality_clicked() { panel::open_modal(g_imagequality, kPageImageQuality); }

void Option::on_test_chart_clicked() { panel::open_modal(g_test_chart, kPageTestChart); }

void Option::on_smart_mapping_clicked() { panel::open_modal(g_smartmapping, kPageSmartMapping); }

void Option::on_AdvanceButton_clicked() { panel::open_modal(g_advancedoption, kPageAdvancedOption); }

QImage Option::converToGrayscale(const QImage& image) { return image.convertToFormat(QImage::Format_Grayscale8); }

int Option::get_file_list_usbpath()
{
    const QDir stick(platform::sysPath(QStringLiteral("/mnt/usb1/")));
    int count = 0;
    for (const QFileInfo& info : stick.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        if (info.suffix() == QLatin1String("tzfile"))
            ++count;
    return count;
}

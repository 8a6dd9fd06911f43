#include "ui/shell/option.h"
#include "ui_option.h"

#include <QKeyEvent>

#include "core/usbserver.h"
#include "core/vyxrampara.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputcut.h"
#include "ui/rcvtools/smartmapping.h"
#include "ui/setup/test_chart.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<Option> kOptionRefresh(kPageOption, g_option);
const panel::Tr5 kOptionTitle{"设置", "Setting", "Настройки", "Cài đặt", "設置"};
} // namespace

Option::Option(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::Option)
{
    ui->setupUi(this);
    // A USB stick mounted while the menu is on top closes it.
    UsbServer::setSettingsMenuCloser([this] { slot_Button_back_clicked(); });
    language_changed();
    menulist_init();
}

Option::~Option()
{
    UsbServer::setSettingsMenuCloser(nullptr);
    delete ui;
}

void Option::language_changed()
{
    const QSize kIcon(55, 60);
    ui->label_title->setText(panel::text(kOptionTitle));
    panel::set_icon(ui->output_set, panel::png(QStringLiteral("output_set")), kIcon);
    panel::set_icon(ui->input_cut, panel::png(QStringLiteral("input_cut")), kIcon);
    panel::set_icon(ui->image_layout, panel::png(QStringLiteral("image_layout")), kIcon);
    panel::set_icon(ui->link_set, panel::png(QStringLiteral("link_set")), kIcon);
    panel::set_icon(ui->image_quality, panel::png(QStringLiteral("image_quality")), kIcon);
    panel::set_icon(ui->test_chart, panel::png(QStringLiteral("test_chart")), kIcon);
    panel::set_icon(ui->smart_mapping, panel::png(QStringLiteral("smart_mapping")), kIcon);
    // The English picture of this item has a name of its own.
    const QString advance
        = panel::language() == panel::kEnglish ? QStringLiteral("advance_option") : QStringLiteral("AdvanceButton");
    panel::set_icon(ui->AdvanceButton, panel::png(advance), kIcon);
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
        style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void Option::keyReleaseEvent(QKeyEvent* event)
{
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

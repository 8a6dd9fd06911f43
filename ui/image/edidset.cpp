#include "ui/image/edidset.h"
#include "ui_edidset.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputchoose.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<EDIDset> kEDIDsetRefresh(kPageEDIDset, g_edidset);
const panel::Tr5 kEDIDsetTitle{"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"};
} // namespace

EDIDset::EDIDset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::EDIDset)
{
    ui->setupUi(this);
    language_changed();
}

EDIDset::~EDIDset() { delete ui; }

void EDIDset::language_changed() { ui->label_title->setText(panel::text(kEDIDsetTitle)); }

void EDIDset::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void EDIDset::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_edidset, g_inputchoose, g_imagelayout, g_option); });
}

void EDIDset::slot_Button_back_clicked() { panel::go_back(this, g_edidset, g_inputchoose, kPageInputChoose); }

#include "ui/setup/factory.h"
#include "ui_factory.h"

#include <QKeyEvent>

#include "core/config_engine.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "remote/message_deal.h"
#include "scaler/c331_manage.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_styles.h"
#include "video_io/zevlosource.h"

namespace {
const panel::PageRefresh<factory> kFactoryRefresh(kPageFactory, g_factory);

const panel::Tr5 kFactoryTitle{"工厂设置", "Factory setup", "Заводские настройки", "Cài đặt gốc", "工廠設置"};
const panel::Tr5 kFactoryLanguage{"语言", "language", "Язык", "Ngôn ngữ", "語言"};
const panel::Tr5 kFactoryResetHeading{"恢复出厂设置", "Factory reset", "Сброс настроек", "Khôi phục cài đặt gốc",
                                      "恢復出廠設置"};
const panel::Tr5 kFactoryKeepIp{"保留IP", "Keep IP", "Сохранить IP", "Giữ IP", "保留IP"};
const panel::Tr5 kFactoryKeepIpEdid{"保留IP和EDID", "Keep IP,EDIP", "Сохранить IP и EDID", "Giữ IP và EDID",
                                    "保留IP和EDID"};
const panel::Tr5 kFactoryResetAll{"全部恢复", "Reset ALL", "Сбросить всё", "Khôi phục tất cả", "全部恢復"};
const panel::Tr5 kFactoryPressOk{"按确定键", "Press Ok", "Нажмите OK", "Nhấn OK", "按確定鍵"};
const panel::Tr5 kFactoryFonts{"OSD字库", "OSD fonts", "Шрифты OSD", "Phông OSD", "OSD字庫"};

// Each language by its own name, in language order.
const char* const kLanguageNames[] = {"中文", "English", "Русский", "Tiếng việt", "繁體中文"};
constexpr int kLanguages = 5;
constexpr uint32_t kOfferable = (1u << kLanguages) - 1;

constexpr int kRowLanguage = 0;

const QLatin1String kDefaultIp("192.168.0.199");
const QLatin1String kDefaultMask("255.255.255.0");
const QLatin1String kDefaultGateway("192.168.0.1");

// The EDID requests a "Keep IP,EDIP" reset leaves as they are.
constexpr int kKeptBegin = ram::kEdidRequest; // 896
constexpr int kKeptEnd = 1376;

bool offered(int language) { return language >= 0 && language < kLanguages && (g_lcd_lang_valid.load() >> language) & 1u; }

// ---- font status lines ----
// Bits of the scaler's font word: 32-pixel Chinese, 32-pixel ASCII,
// 64-pixel Chinese, 64-pixel ASCII.
constexpr uint32_t kFont32Chinese = 0x1, kFont32Ascii = 0x2, kFont64Chinese = 0x4, kFont64Ascii = 0x8;

QString plainPiece(const QString& text)
{
    return QStringLiteral("<font style = 'font-size:12px' color = #ffffff >%1</font>").arg(text);
}

QString sizePiece(const QString& text, bool present)
{
    return present ? QStringLiteral("<font style = 'font-size:13px' color = #00ff00 >%1</font>").arg(text)
                   : QStringLiteral("<font style = 'font-size:13px' color = #ff0000 >%1</font>").arg(text);
}

// "CN:" 32|64|128, each size green when its font is there, red when not;
// 64 and 128 both follow the 64-pixel font.
QString fontLine(const QString& label, bool has32, bool has64)
{
    const int language = panel::language();
    const char* suffix = language == panel::kChinese ? "宽" : language == panel::kTraditional ? "寬" : "";
    auto size = [suffix](int px) { return QString::number(px) + QString::fromUtf8(suffix); };
    return plainPiece(label) + sizePiece(size(32), has32) + plainPiece(QStringLiteral("|")) + sizePiece(size(64), has64)
           + plainPiece(QStringLiteral("|")) + sizePiece(size(128), has64);
}

// The network part of "Reset ALL": the default address, mask and gateway
// stored and applied, unless all three are the defaults already.
void restoreDefaultNetwork()
{
    if (g_str_ip == kDefaultIp && g_srt_mask == kDefaultMask && g_str_gateway == kDefaultGateway)
        return;
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::IPAddress, QString(kDefaultIp));
    config->write_config_variant(ConfigItem::SubNetMask, QString(kDefaultMask));
    config->write_config_variant(ConfigItem::GateWay, QString(kDefaultGateway));
    Utils::system_mutex(QStringLiteral("sync"));
    platform::pause_us(100);
    Utils::initIPAddress();
}
} // namespace

factory::factory(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::factory)
    , m_comboStyle(style::kComboNormal)
    , m_comboFocused(style::kComboFocused)
    , m_comboEditing(style::kComboEditing)
    , m_buttonStyle("color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,255,255);")
    , m_buttonFocused("color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);")
    , m_ring(ui_select)
    , m_edit(m_ring, [this](int) { return m_comboEditing; })
{
    ui->setupUi(this);
    for (const char* name : kLanguageNames)
        ui->Box_lang_2->addItem(QString::fromUtf8(name));
    // Keypad only: a touched choice would show a language that is not set.
    panel::ignore_touches(ui->Box_lang_2);
    para_init();
    menulist_init();
    language_changed();
}

factory::~factory() { delete ui; }

void factory::para_init() {}

void factory::menulist_init()
{
    m_ring.set({ui->Box_lang_2, ui->Button_rst1, ui->Button_rst2, ui->Button_rst3}, [this](int index, bool focused) {
        if (index == kRowLanguage)
            return focused ? m_comboFocused : m_comboStyle;
        return focused ? m_buttonFocused : m_buttonStyle;
    });
    m_ring.start(kRowLanguage);
    const int language = g_language.load();
    lcdlang_current = uint8_t(offered(language) ? language : panel::kEnglish);
    show_candidate();
}

void factory::language_changed()
{
    ui->label_factory->setText(panel::text(kFactoryTitle));
    ui->label_lang->setText(panel::text(kFactoryLanguage));
    ui->label_rst->setText(panel::text(kFactoryResetHeading));
    ui->label_ip->setText(panel::text(kFactoryKeepIp));
    ui->label_edid->setText(panel::text(kFactoryKeepIpEdid));
    ui->label_all->setText(panel::text(kFactoryResetAll));
    for (QPushButton* button : {ui->Button_rst1, ui->Button_rst2, ui->Button_rst3})
        button->setText(panel::text(kFactoryPressOk));
    ui->label2->setText(panel::text(kFactoryFonts));

    const c331_manage* scaler = c331_manage::p_c331_manage;
    const uint32_t fonts = scaler ? scaler->font_status.load() : 0;
    const bool chinese = panel::language() == panel::kChinese;
    ui->FontCN->setText(fontLine(chinese ? QStringLiteral("中文:") : QStringLiteral("CN:"), fonts & kFont32Chinese,
                                 fonts & kFont64Chinese));
    ui->FontEN->setText(fontLine(chinese ? QStringLiteral("英文:") : QStringLiteral("EN:"), fonts & kFont32Ascii,
                                 fonts & kFont64Ascii));
}

void factory::syncUpdate()
{
    if (!VyxRamPara::pInstance()->VyxLanguageChanged())
        return;
    const int language = g_language.load();
    if (language < kLanguages) {
        m_edit.end();
        lcdlang_current = uint8_t(language);
        show_candidate();
    }
    language_changed();
}

void factory::show_candidate() { ui->Box_lang_2->setCurrentIndex(lcdlang_current); }

void factory::lcdlang_current_checkplus()
{
    const int c = lcdlang_current;
    if (c >= kLanguages || offered(c))
        return;
    for (int k = c + 1; k < kLanguages; ++k)
        if (offered(k)) {
            lcdlang_current = uint8_t(k);
            return;
        }
    for (int k = 0; k < c; ++k)
        if (offered(k)) {
            lcdlang_current = uint8_t(k);
            return;
        }
}

void factory::lcdlang_current_checkmin()
{
    const int c = lcdlang_current;
    if (c >= kLanguages || offered(c))
        return;
    for (int k = c - 1; k >= 0; --k)
        if (offered(k)) {
            lcdlang_current = uint8_t(k);
            return;
        }
    for (int k = kLanguages - 1; k > c; --k)
        if (offered(k)) {
            lcdlang_current = uint8_t(k);
            return;
        }
}

void factory::step_language(int delta)
{
    // With no language offered the candidate stays where it is: there is
    // nothing to choose from.
    if ((g_lcd_lang_valid.load() & kOfferable) == 0)
        return;
    if (delta > 0) {
        ++lcdlang_current;
        lcdlang_current_checkplus();
        if (lcdlang_current >= kLanguages) {
            lcdlang_current = 0;
            lcdlang_current_checkplus();
        }
    } else {
        lcdlang_current = lcdlang_current == 0 ? uint8_t(kLanguages - 1) : uint8_t(lcdlang_current - 1);
        lcdlang_current_checkmin();
    }
    show_candidate();
}

void factory::on_Button_lang_clicked()
{
    if (!m_edit.editing() || lcdlang_current >= kLanguages || lcdlang_current == panel::img8(ram::kLanguage))
        return;
    g_language = lcdlang_current;
    panel::scaler_write([](panel::ScalerWrite& w) { w.put8(ram::kLanguage, g_language.load()); });
    language_changed();
}

void factory::on_Button_reset1_clicked() { reset(Reset::KeepIp); }

void factory::on_Button_reset2_clicked() { reset(Reset::KeepIpEdid); }

void factory::on_Button_reset3_clicked() { reset(Reset::All); }

void factory::reset(Reset depth)
{
    if (depth == Reset::All)
        restoreDefaultNetwork();
    // Image bytes [from, to) from the default table.
    auto defaults = [](panel::ScalerWrite& w, int from, int to) {
        w.copy_in(from, default_para_ramlist.data() + (from - ram::kFileToImage), to - from);
    };
    panel::scaler_write(
        [&](panel::ScalerWrite& w) {
            if (depth == Reset::KeepIpEdid) {
                defaults(w, ram::kPersistStart, kKeptBegin);
                defaults(w, kKeptEnd, ram::kImageSize);
            } else {
                defaults(w, ram::kPersistStart, ram::kImageSize);
            }
            for (int k = 0; k < ram::kImageRecordCount; ++k) {
                w.put16(ram::kFadeIn + ram::kFadeStride * k, ram::kFadeAtStart);
                w.put16(ram::kFadeOut + ram::kFadeStride * k, ram::kFadeAtStart);
            }
            // Before the request: the scaler must find the handshake
            // started when it takes the new LED size.
            if (panel::changed16(ram::kLedWidth) || panel::changed16(ram::kLedHeight)
                || panel::changed16(ram::kSpliceMode))
                message_deal::start_led_handshake();
            if (depth != Reset::KeepIpEdid)
                if (zevlosource* sources = zevlosource::p_zevlo_source)
                    sources->set_edid_refresh_all();
            for (int slot = 0; slot < ram::kModeSlots; ++slot)
                w.mark_slot(slot, ram::kMarkerEmpty);
        },
        2);
}

void factory::keyReleaseEvent(QKeyEvent* event)
{
    panel::EditActions act;
    act.editable = [](int item) { return item == kRowLanguage; };
    act.value = [this](int) { return int(lcdlang_current); };
    act.step = [this](int, int delta) { step_language(delta); };
    act.apply = [this](int) { on_Button_lang_clicked(); };
    // Back leaves the screen from an edit too; the candidate is dropped.
    act.activate = [this](int item) {
        if (item == 1)
            on_Button_reset1_clicked();
        else if (item == 2)
            on_Button_reset2_clicked();
        else if (item == 3)
            on_Button_reset3_clicked();
    };
    act.back = [this] { slot_Button_back_clicked(); };
    act.mode = [this] { return panel::mode_key_chain(this, g_factory, g_advancedoption, g_option); };
    panel::edit_keys(event->key(), keyboard, m_ring, m_edit, act);
}

void factory::slot_Button_back_clicked() { panel::go_back(this, g_factory, g_advancedoption, kPageAdvancedOption); }

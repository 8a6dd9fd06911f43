#include "ui/image/inputchoose.h"
#include "ui_inputchoose.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/image/alias.h"
#include "ui/image/edidset.h"
#include "ui/image/image_form.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputcut.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/option.h"
#include "ui/shell/tip.h"

using namespace ram;

namespace {
const panel::PageRefresh<InputChoose> kInputChooseRefresh(kPageInputChoose, g_inputchoose);

const panel::Tr5 kInputChooseTitle{
    "信源切换", "Source switch", "Переключение источника", "Chuyển đổi nguồn", "信源切換"};
const panel::Tr5 kInputChooseCut{"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"};
const panel::Tr5 kInputChooseEdid{"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"};
const panel::Tr5 kInputChooseNoSignal{"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};
// The Chinese badge ends in a soft hyphen, in both scripts.
const panel::Tr5 kInputChooseUsing{"使用中\u00AD", "Using", "Использовать", "sử dụng", "使用中\u00AD"};

// The tab selection frame: over the focused tab, over the image's tab while
// the inputs are chosen, hidden while a button has the focus.
const char* const kChooseTabOrange = "border:2px solid rgb(255,171,84);";
const char* const kChooseTabBlue = "border:2px solid rgb(71, 119, 255);";
const char* const kChooseTabHidden = "border:0px solid rgb(255,171,84);";
const char* const kChooseButtonWhite = "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const char* const kChooseButtonOrange = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
// The highlight of the listed input: open at the bottom, joined to the
// entry area below it.
const char* const kChooseHighlightBlue = "border:1px solid;border-left-color:rgb(71, 119, 255);"
                                         "border-right-color:rgb(71, 119, 255);border-top-color:rgb(71, 119, 255);";
const char* const kChooseHighlightOrange = "border:1px solid;border-left-color:rgb(255,171,84);"
                                           "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);";
const char* const kChooseAreaBlue = "#frame{border:1px solid rgb(71, 119, 255);}";
const char* const kChooseAreaOrange = "#frame{border:1px solid rgb(255,171,84);}";
const char* const kChooseEntryInUse = "#source_frame{border:1px solid #00D65B;border-radius:5px;}";
const char* const kChooseEntryOther = "#source_frame{border:1px solid #CCCCCC;border-radius:5px;}";
const char* const kChooseEntryFocused = "#source_frame{border:1px solid #FFAB54;border-radius:5px;}";
const char* const kChooseBadge = "background-color: #00D65B;color: rgb(255, 255, 255);font: 7px;border-radius:5px;";
const char* const kChooseEntryText = "color: rgb(255, 255, 255)";
const char* const kChooseTabColours[InputChoose::kImages] = {"#867AE9", "#005A8D", "#39A9CB", "#EBA83A"};

constexpr int kChooseEntryTextPx = 10;
constexpr int kChooseSmallestEntryTextPx = 7;
constexpr int kChooseBadgePx = 7;
constexpr int kChooseSmallestBadgePx = 5;
constexpr int kChooseBadgeWidest = 52; // from the source icon's end to the frame's
constexpr int kChooseBadgeMargin = 6;
constexpr int kChooseTabTextPx = 9;
constexpr int kChooseSmallestTabTextPx = 6;
constexpr int kChooseNameFontPx = 9;
constexpr int kChooseNameElideMargin = 16;
constexpr int kChooseEntryCountCap = 100;

// The image's tab: image 0 always, the others while their enable word's
// low byte is 1.
bool chooseHasTab(int image) { return image == 0 || panel::img8(imageRecord(image) + kImgEnable) == 1; }

QFont choosePixelFont(int px)
{
    QFont font;
    font.setPixelSize(px);
    return font;
}

// The largest pixel size from `px` down to `smallest` at which `text` is
// at most `room` pixels wide.
int chooseFittedPixels(const QString& text, int room, int px, int smallest)
{
    while (px > smallest && QFontMetrics(choosePixelFont(px)).horizontalAdvance(text) > room)
        --px;
    return px;
}

QLabel* chooseLabel(QWidget* parent, const QRect& at)
{
    auto* label = new QLabel(parent);
    label->setGeometry(at);
    return label;
}

QLabel* choosePicture(QWidget* parent, const QRect& at, const QString& path)
{
    QLabel* label = chooseLabel(parent, at);
    panel::set_picture(label, path);
    return label;
}

// A text line of an entry: white, taken as it stands, 10 pixels high or
// smaller where a long timing or a translation would not fit.
QLabel* chooseEntryText(QWidget* parent, const QRect& at, const QString& text)
{
    QLabel* label = chooseLabel(parent, at);
    label->setStyleSheet(QLatin1String(kChooseEntryText));
    label->setFont(
        choosePixelFont(chooseFittedPixels(text, at.width(), kChooseEntryTextPx, kChooseSmallestEntryTextPx)));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

struct ChosenSource {
    int source = 0;
    bool crop = false;
    int entry = 0; // crop-table entry, when a crop
};

ChosenSource chosenSource(int image)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    short isCrop = 0;
    char entry = 0;
    ChosenSource s;
    s.source = store->VyxGetImageSource(store->ram_para, uint8_t(image), &isCrop, &entry, 0) & 0xFF;
    s.crop = isCrop != 0;
    s.entry = s.crop ? uint8_t(entry) : 0;
    return s;
}

bool chooseInputOnline(int source)
{
    const int t = inputTiming(source);
    return panel::img16(t + kTimingWidth) && panel::img16(t + kTimingHeight) && panel::img16(t + kTimingRate);
}

bool chooseTimingChanged(int source)
{
    const int t = inputTiming(source);
    return panel::changed16(t + kTimingWidth) || panel::changed16(t + kTimingHeight)
        || panel::changed16(t + kTimingRate);
}

bool chooseCropTableChanged()
{
    for (int a = kCropTable; a < cropEntry(kCropEntries); ++a)
        if (panel::img8(a) != panel::snap8(a))
            return true;
    return false;
}

int chooseCropNumber(uint16_t id) { return ((id >> kCropNumberShift) & kCropNumberMask) + 1; }

} // namespace

InputChoose::InputChoose(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::InputChoose)
{
    ui->setupUi(this);
    ui->sourcelistseq4name->hide();
    ui->sourcelistseq4pixmap->hide();
    ui->sourcelistseq5name->hide();
    ui->sourcelistseq5pixmap->hide();

    menulist_init();
    VyxRamPara::pInstance()->VyxCropSourceInit();
    crop_source_num_update();
    initMenu();
    image_select();
    language_changed();
}

InputChoose::~InputChoose() { delete ui; }

void InputChoose::language_changed()
{
    ui->label_title->setText(panel::text(kInputChooseTitle));
    ui->button_inputcut->setText(panel::text(kInputChooseCut));
    ui->button_EDID->setText(panel::text(kInputChooseEdid));
}

// ------------------------------------------------------------ focus start

void InputChoose::menulist_init()
{
    ui_seltype = kLevelTabs;
    current_page = 0;
    source_id = 0;
    const int w = g_image_current.load();
    if (w < kImages && chooseHasTab(w)) {
        current_image = uint8_t(w);
        int tab = 0;
        for (int before = 0; before < w; ++before)
            tab += chooseHasTab(before) ? 1 : 0;
        ui_select = uint8_t(tab);
    } else {
        current_image = 0;
        ui_select = 0;
    }
    // Back from the input row returns to the tab the screen opened on.
    saved_tab = ui_select;
}

// ---------------------------------------------------------------- tab row

void InputChoose::initMenu()
{
    delete tab_row;
    std::fill(std::begin(tab_label), std::end(tab_label), nullptr);
    tab_num = 0;
    tab_row = new QFrame(this);
    tab_row->setObjectName(QStringLiteral("tab_row"));
    tab_row->setGeometry(0, 42, 320, 47);
    // Beneath the boxes: only its border shows around the one it frames.
    tab_frame = new QFrame(tab_row);
    tab_frame->setGeometry(0, 0, 0, 0);
    tab_frame->setStyleSheet(QLatin1String(kChooseTabOrange));

    int t = 0;
    for (int w = 0; w < kImages; ++w) {
        if (!chooseHasTab(w))
            continue;
        auto* box = chooseLabel(tab_row, QRect(50 * t + 10, 3, 45, 40));
        box->setText(QString::asprintf("%d", w + 1));
        box->setAlignment(Qt::AlignCenter);
        box->setStyleSheet(QStringLiteral("background-color: %1;font: 9px").arg(QLatin1String(kChooseTabColours[w])));
        // The source's name along the box's foot, where a crop's name
        // ("HDMI1_Crop2") has the box's whole width.
        tab_label[w] = chooseLabel(box, QRect(1, 27, 43, 12));
        tab_label[w]->setTextFormat(Qt::PlainText);
        tab_label[w]->setAlignment(Qt::AlignCenter);
        choosePicture(box, QRect(33, 1, 7, 7), panel::png_plain(QStringLiteral("state_on")));
        tab_image[t] = uint8_t(w);
        TextCreate(char(w), 0);
        if (w == current_image)
            tab_frame->setGeometry(50 * t + 7, 0, 51, 46);
        ++t;
    }
    tab_row->show();
    tab_num = uint8_t(t);
}

int InputChoose::tab_of(int image) const
{
    for (int t = 0; t < tab_num; ++t)
        if (tab_image[t] == image)
            return t;
    return -1;
}

void InputChoose::place_tab_frame(int tab, const char* style)
{
    if (!tab_frame)
        return;
    if (tab >= 0 && tab < tab_num)
        tab_frame->setGeometry(50 * tab + 7, 0, 51, 46);
    tab_frame->setStyleSheet(QLatin1String(style));
}

void InputChoose::TextCreate(char image, char)
{
    const int w = uint8_t(image);
    if (w >= kImages || !tab_label[w])
        return;
    const ChosenSource s = chosenSource(w);
    QString text = sourceinfo::get_source_name_by_sourceid(uint8_t(s.source));
    // The crop's own number, as the entries list and name it.
    if (s.crop)
        text += QString::asprintf("_Crop%d", chooseCropNumber(panel::img16(cropEntry(s.entry) + kCropId)));
    // Its own font rule: the box's rule would otherwise hold for it too.
    const int px = chooseFittedPixels(text, tab_label[w]->width(), kChooseTabTextPx, kChooseSmallestTabTextPx);
    tab_label[w]->setStyleSheet(QStringLiteral("font: %1px").arg(px));
    tab_label[w]->setText(text);
}

void InputChoose::input_source_changed(char image) { TextCreate(image, 0); }

void InputChoose::imagemenu()
{
    if (!tab_row)
        return;
    if (ui_seltype == kLevelTabs && ui_select < kSelectInputCut) {
        // A tab index the row no longer has picks no image.
        if (ui_select >= tab_num)
            return;
        current_image = tab_image[ui_select];
        if (g_image_current.load() != current_image) {
            g_image_current = current_image;
            VyxRamPara::pInstance()->test_signal(kChangeRefresh);
        }
        saved_tab = ui_select;
    }
    show_tab_focus();
}

void InputChoose::show_tab_focus()
{
    if (ui_seltype == kLevelTabs) {
        const bool onTab = ui_select < kSelectInputCut;
        place_tab_frame(onTab ? ui_select : -1, onTab ? kChooseTabOrange : kChooseTabHidden);
        ui->button_inputcut->setStyleSheet(
            QLatin1String(ui_select == kSelectInputCut ? kChooseButtonOrange : kChooseButtonWhite));
        ui->button_EDID->setStyleSheet(
            QLatin1String(ui_select == kSelectEdid ? kChooseButtonOrange : kChooseButtonWhite));
    } else {
        place_tab_frame(saved_tab, kChooseTabBlue);
    }
}

// -------------------------------------------------------------- input row

void InputChoose::crop_source_num_update()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    for (int s = 0; s < kImages; ++s)
        source_num[s] = uint8_t(store->VyxGetSourceNum(s, kCropEntries) + 1);
    source_name_update();
    source_check_update();
}

uint8_t InputChoose::get_source_num(unsigned char id) const { return id < kImages ? source_num[id] : 0; }

void InputChoose::source_name_update()
{
    QLabel* const names[]
        = {ui->sourcelistseq0name, ui->sourcelistseq1name, ui->sourcelistseq2name, ui->sourcelistseq3name};
    const QFontMetrics metrics(choosePixelFont(kChooseNameFontPx));
    for (int p = 0; p < sourceinfo::kSources; ++p) {
        const uint8_t s = sourceinfo::get_source_id_by_listseq(uint8_t(p));
        const QString name
            = imageform::source_display_name(uint8_t(p), metrics, names[p]->width() - kChooseNameElideMargin);
        // The name goes in as plain text: the rich text escapes it.
        names[p]->setText(sourceinfo::get_source_specialstyle1_by_sourceid(s, name, get_source_num(s)));
    }
}

void InputChoose::source_check_update()
{
    QLabel* const icons[]
        = {ui->sourcelistseq0pixmap, ui->sourcelistseq1pixmap, ui->sourcelistseq2pixmap, ui->sourcelistseq3pixmap};
    for (int p = 0; p < sourceinfo::kSources; ++p) {
        const uint8_t s = sourceinfo::get_source_id_by_listseq(uint8_t(p));
        sourceinfo::set_sourceonline_pixmap(icons[p], s, chooseInputOnline(s) ? 1 : 0);
        icons[p]->setScaledContents(true);
    }
}

void InputChoose::para_source_index_init() { ui_select = source_listseq; }

// ------------------------------------------------------------ entry area

void InputChoose::image_select()
{
    current_page = 0;
    const int s = chosenSource(current_image).source;
    if (ui_seltype == kLevelTabs) {
        source_listseq = sourceinfo::get_listseq_by_source_id(uint8_t(s));
        source_name = sourceinfo::get_source_name_by_sourceid(uint8_t(s));
        source_id = uint8_t(s);
    } else if (ui_seltype == kLevelInputs) {
        source_listseq = ui_select;
    }
    on_Button_source_clicked();
}

void InputChoose::on_Button_source_clicked()
{
    initSource();
    ui->frame1->setGeometry(53 * source_listseq + 1, 95, 53, 33);
    ui->frame1->setStyleSheet(
        QLatin1String(ui_seltype == kLevelInputs ? kChooseHighlightOrange : kChooseHighlightBlue));
}

void InputChoose::source_current_check()
{
    const int n = get_source_num(source_number);
    last_page = uint8_t(n > 0 ? (n + kEntriesPerPage - 1) / kEntriesPerPage - 1 : 0);
}

int InputChoose::entry_of_crop(int source, int entry) const
{
    if (entry < 0 || entry >= kCropEntries)
        return 0;
    const uint16_t id = panel::img16(cropEntry(entry) + kCropId);
    if (!(id & kCropUsed) || (id & kCropSourceMask) != source)
        return 0;
    // Entries are listed by crop number: the rank of this one's number.
    VyxRamPara* store = VyxRamPara::pInstance();
    const int number = chooseCropNumber(id);
    for (int k = 1;; ++k) {
        const int c = store->VyxGetCropID(source, k);
        if (c == 0)
            return 0;
        if (c == number)
            return k;
    }
}

int InputChoose::in_use_entry() const
{
    if (!source_type)
        return 0;
    const int u = entry_of_crop(source_number, crop_id);
    // A crop no longer in the table marks no entry.
    return u > 0 ? u : -1;
}

void InputChoose::initSource()
{
    uint8_t inUseSource = source_id;
    if (ui_seltype == kLevelTabs) {
        const ChosenSource s = chosenSource(current_image);
        source_number = uint8_t(s.source);
        source_type = s.crop ? 1 : 0;
        if (s.crop)
            crop_id = uint8_t(s.entry);
        inUseSource = source_number;
        // The highlight follows too: the input row may have been left on
        // another input.
        source_listseq = sourceinfo::get_listseq_by_source_id(source_number);
    } else {
        source_number = sourceinfo::get_source_id_by_listseq(source_listseq);
    }
    // Name, timing and badge of an entry all describe the listed input.
    source_name = sourceinfo::get_source_name_by_sourceid(source_number);

    source_current_check();
    const int n = get_source_num(source_number);
    const int shown = std::min(kEntriesPerPage, n - kEntriesPerPage * current_page);
    const int u = in_use_entry();

    delete entry_area;
    entry_area = new QFrame(this);
    entry_area->setObjectName(QStringLiteral("frame"));
    entry_area->setGeometry(1, 127, 318, 70);
    entry_area->setStyleSheet(QLatin1String(ui_seltype == kLevelInputs ? kChooseAreaOrange : kChooseAreaBlue));
    for (int i = 0; i < shown; ++i) {
        const int j = kEntriesPerPage * current_page + i;
        add_entry(i, j, j == u && source_number == inUseSource);
    }
    entry_area->lower();
    entry_area->show();

    VYX_DEBUG("initSource [source_type = %d] , [crop_id = %d] [select_sorce = %d],[current_page=%d],"
              "[source_id=%d],[source_number=%d],[ui_select=%d]\n",
        source_type, crop_id, u + 1, current_page, source_id, source_number, ui_select);
}

void InputChoose::add_entry(int i, int j, bool inUse)
{
    auto* frame = new QFrame(entry_area);
    frame->setObjectName(QStringLiteral("source_frame"));
    frame->setGeometry(14 + 95 * i, 10, 92, 50);
    const bool focused = ui_seltype == kLevelEntries && i == ui_select;
    frame->setStyleSheet(QLatin1String(focused ? kChooseEntryFocused : inUse ? kChooseEntryInUse : kChooseEntryOther));
    choosePicture(frame, QRect(3, 5, 7, 7), panel::png_plain(QLatin1String(inUse ? "state_on" : "state_off")));
    QLabel* icon = chooseLabel(frame, QRect(12, 5, 25, 8));
    sourceinfo::set_source_pixmap(icon, source_number);
    icon->setScaledContents(true);

    QString name = source_name;
    QString info;
    if (j == 0) {
        const int t = inputTiming(source_number);
        info = chooseInputOnline(source_number) ? QString::asprintf("%dx%d@%dHz", panel::img16(t + kTimingWidth),
                   panel::img16(t + kTimingHeight), panel::img16(t + kTimingRate))
                                                : panel::text(kInputChooseNoSignal);
    } else {
        CROP_PARA crop{};
        int entry = kCropEntries;
        VyxRamPara::pInstance()->VyxGetCropPara(source_number, j, &crop, &entry);
        if (entry < kCropEntries) {
            name = imageform::display_name(kAliasCrop, entry, QFontMetrics(choosePixelFont(kChooseEntryTextPx)), 80,
                name + QString::asprintf("_crop%d", chooseCropNumber(uint16_t(crop.source))));
            info = QString::asprintf("%dx%d", crop.w, crop.h);
        }
    }
    // Two pixels taller than the lines' font: room for an underscore.
    chooseEntryText(frame, QRect(3, 15, 80, 14), name);
    chooseEntryText(frame, QRect(3, 30, 88, 14), info);

    if (inUse) {
        // The badge grows to the left for a longer word, up to the icons.
        const QString text = panel::text(kInputChooseUsing);
        const int px
            = chooseFittedPixels(text, kChooseBadgeWidest - kChooseBadgeMargin, kChooseBadgePx, kChooseSmallestBadgePx);
        const int width = std::max(30, QFontMetrics(choosePixelFont(px)).horizontalAdvance(text) + kChooseBadgeMargin);
        QLabel* badge = chooseLabel(frame, QRect(90 - width, 0, width, 12));
        badge->setStyleSheet(QString::fromLatin1(kChooseBadge)
                                 .replace(QLatin1String("font: 7px"), QStringLiteral("font: %1px").arg(px)));
        badge->setAlignment(Qt::AlignCenter);
        badge->setText(text);
    }
}

// --------------------------------------------------------------- choosing

void InputChoose::para_uiselect_init()
{
    // The entry the image shows, when it lies on the first page.
    const ChosenSource s = chosenSource(current_image);
    int u = 0;
    if (s.source == source_number)
        u = s.crop ? entry_of_crop(s.source, s.entry) : 0;
    ui_select = uint8_t(u > 0 && u < kEntriesPerPage ? u : 0);
}

void InputChoose::vyx_source_button_clicked()
{
    const int j = ui_select + kEntriesPerPage * current_page;
    // Only an entry on the list is written: a refresh may have taken crops
    // away under the focus.
    if (j >= get_source_num(source_number))
        return;
    VyxRamPara* store = VyxRamPara::pInstance();
    if (j == 0) {
        source_type = 0;
        crop_id = 0;
    } else {
        const int number = store->VyxGetCropID(source_number, j);
        if (number == 0)
            return;
        source_type = 1;
        for (int e = 0; e < kCropEntries; ++e) {
            const uint16_t id = panel::img16(cropEntry(e) + kCropId);
            if ((id & kCropUsed) && (id & kCropSourceMask) == source_number && chooseCropNumber(id) == number) {
                crop_id = uint8_t(e);
                break;
            }
        }
    }
    store->VyxSetImageSource(j, char(source_number), char(current_image));
    source_id = source_number;
    initSource();
    if (TIP* tip = g_tip)
        tip->tip_create(kNoticeDone);
}

// -------------------------------------------------------------- refresh

void InputChoose::syncUpdate(int code)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();

    bool rebuild = false;
    for (int w = 0; w < kImages; ++w) {
        if (panel::changed16(imageRecord(w) + kImgEnable))
            rebuild = true;
        if (panel::changed16(imageRecord(w) + kImgSource))
            input_source_changed(char(w));
    }
    bool timing = false;
    if (panel::changed16(imageRecord(current_image) + kImgSource))
        rebuild = true;
    else
        timing = chooseTimingChanged(source_number);
    const bool crops = chooseCropTableChanged();

    if (rebuild) {
        rebuild_from_images();
    } else if (ui_seltype == kLevelTabs && current_image != g_image_current.load()
        && tab_of(g_image_current.load()) >= 0) {
        // The global keys chose another image with a tab.
        current_image = g_image_current.load();
        ui_select = saved_tab = uint8_t(tab_of(current_image));
        show_tab_focus();
        image_select();
    } else if (timing) {
        initSource();
    }

    if (code == kChangeTransferEnd || crops) {
        VyxRamPara::pInstance()->VyxCropSourceInit();
        crops_changed();
    }
}

void InputChoose::rebuild_from_images()
{
    // The image chosen for stays chosen (the screen's own choice comes back
    // here as a change) while it keeps its tab.
    if (!chooseHasTab(current_image))
        current_image = 0;
    const uint8_t page = current_page;
    image_select();
    initMenu();
    // Tab indexes may have moved: the focus follows the image's tab.
    saved_tab = uint8_t(std::max(0, tab_of(current_image)));
    if (ui_seltype == kLevelTabs && ui_select < kSelectInputCut)
        ui_select = saved_tab;
    if (ui_seltype == kLevelEntries && page != current_page && page <= last_page) {
        // The focus stays on the entry just chosen.
        current_page = page;
        initSource();
    }
    show_tab_focus();
}

void InputChoose::child_closed()
{
    // The crop table, a source or an image may have changed by the panel or
    // a PC while the child was on top; each change was persisted there, so
    // this screen's refresh never sees it. Everything is read anew.
    VyxRamPara::pInstance()->VyxCropSourceInit();
    crop_source_num_update();
    // The global keys may have chosen another image meanwhile: followed as
    // the refresh follows them at the tab row.
    const int chosen = g_image_current.load();
    if (chosen < kImages && chooseHasTab(chosen))
        current_image = uint8_t(chosen);
    rebuild_from_images();
}

void InputChoose::crops_changed()
{
    // Counts first: the entry area lists as many entries as they say. At
    // the tab row the image may show another input now (its crop freed):
    // the highlight follows.
    crop_source_num_update();
    on_Button_source_clicked();
    // A tab names its image's crop by the crop's entry, which may be gone.
    for (int w = 0; w < kImages; ++w)
        input_source_changed(char(w));
}

// ------------------------------------------------------------------ keys

void InputChoose::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const panel::KeyRole role = panel::key_role(key);
    if (role == panel::KeyRole::Mode) {
        if (!panel::mode_key_chain(this, g_inputchoose, g_imagelayout, g_option))
            return;
    } else if (ui_seltype == kLevelTabs) {
        tabs_key(role);
    } else if (ui_seltype == kLevelInputs) {
        inputs_key(role);
    } else {
        entries_key(role);
    }
    keyboard.update_usb_keyEvent(key);
}

void InputChoose::tabs_key(panel::KeyRole role)
{
    const int last = tab_num > 0 ? tab_num - 1 : 0;
    switch (role) {
    case panel::KeyRole::Right:
        ui_select = ui_select == kSelectEdid ? 0
            : ui_select == kSelectInputCut   ? kSelectEdid
            : ui_select >= last              ? kSelectInputCut
                                             : uint8_t(ui_select + 1);
        imagemenu();
        image_select();
        break;
    case panel::KeyRole::Left:
        ui_select = ui_select == 0         ? kSelectEdid
            : ui_select == kSelectEdid     ? kSelectInputCut
            : ui_select == kSelectInputCut ? uint8_t(last)
                                           : uint8_t(ui_select - 1);
        imagemenu();
        image_select();
        break;
    case panel::KeyRole::Ok:
        if (ui_select == kSelectInputCut) {
            vyx_button_inputcut_clicked();
        } else if (ui_select == kSelectEdid) {
            vyx_button_EDID_clicked();
        } else if (ui_select < tab_num) {
            ui_seltype = kLevelInputs;
            imagemenu();
            para_source_index_init();
            current_page = 0;
            on_Button_source_clicked();
        }
        break;
    case panel::KeyRole::Back:
        slot_Button_back_clicked();
        break;
    default:
        break;
    }
}

void InputChoose::inputs_key(panel::KeyRole role)
{
    switch (role) {
    case panel::KeyRole::Right:
        ui_select = uint8_t((ui_select + 1) % sourceinfo::kSources);
        image_select();
        break;
    case panel::KeyRole::Left:
        ui_select = uint8_t((ui_select + sourceinfo::kSources - 1) % sourceinfo::kSources);
        image_select();
        break;
    case panel::KeyRole::Ok:
        ui_seltype = kLevelEntries;
        para_uiselect_init();
        on_Button_source_clicked();
        break;
    case panel::KeyRole::Back:
        ui_seltype = kLevelTabs;
        ui_select = saved_tab;
        imagemenu();
        on_Button_source_clicked();
        break;
    default:
        break;
    }
}

void InputChoose::entries_key(panel::KeyRole role)
{
    const int n = std::min<int>(get_source_num(source_number), kChooseEntryCountCap);
    switch (role) {
    case panel::KeyRole::Right:
        ++ui_select;
        if (kEntriesPerPage * current_page + ui_select >= n) {
            current_page = 0;
            ui_select = 0;
        } else if (ui_select == kEntriesPerPage) {
            ui_select = 0;
            current_page = std::min<uint8_t>(uint8_t(current_page + 1), last_page);
        }
        initSource();
        break;
    case panel::KeyRole::Left:
        if (ui_select == 0) {
            if (current_page > 0) {
                --current_page;
                ui_select = kEntriesPerPage;
            } else {
                current_page = last_page;
                ui_select = uint8_t(n - kEntriesPerPage * last_page);
            }
        }
        --ui_select;
        initSource();
        break;
    case panel::KeyRole::Ok:
        vyx_source_button_clicked();
        TextCreate(char(current_image), 0);
        break;
    case panel::KeyRole::Back:
        ui_seltype = kLevelInputs;
        ui_select = source_listseq;
        current_page = 0;
        on_Button_source_clicked();
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------ navigation

void InputChoose::slot_Button_back_clicked()
{
    if (ImageLayout* layout = g_imagelayout) {
        // The image it shows may have a new source now.
        panel::go_back(this, g_inputchoose, layout, kPageImageLayout, [](ImageLayout* below) {
            below->image_para_update();
            below->image_init();
        });
    } else
        panel::go_back(this, g_inputchoose, g_mainwindow, kPageMainWindow);
}

void InputChoose::vyx_button_inputcut_clicked() { panel::open_modal(g_inputcut, kPageInputCut); }

void InputChoose::vyx_button_EDID_clicked() { panel::open_modal(g_edidset, kPageEDIDset); }

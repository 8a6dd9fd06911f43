#include "ui/image/image_form.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "ui/image/alias.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/label_fit.h"

namespace imageform {

const panel::Tr5 kCancel{"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const panel::Tr5 kDelete{"删除", "Delete", "Удалить", "Xoá bỏ", "删除"};
const panel::Tr5 kWidth{"宽", "W", "Ширина", "Rộng", "寬"};
const panel::Tr5 kHeight{"高", "H", "Высота", "Cao", "高"};
const panel::Tr5 kKeyboardWidth{"宽", "W", "W", "W", "寬"};
const panel::Tr5 kKeyboardHeight{"高", "H", "H", "H", "高"};

void fill_source_row(QLabel* const (&names)[6], QLabel* const (&pictures)[6])
{
    for (int i = 0; i < 6; ++i) {
        if (i >= sourceinfo::kSources) {
            names[i]->hide();
            pictures[i]->hide();
            continue;
        }
        const uint8_t id = sourceinfo::get_source_id_by_listseq(uint8_t(i));
        names[i]->setText(
            sourceinfo::get_source_specialstyle0_by_sourceid(id).arg(sourceinfo::get_source_name_by_sourceid(id)));
        sourceinfo::set_source_pixmap(pictures[i], id);
    }
}

QString display_name(const char* list, int id, const QFontMetrics& metrics, int room, const QString& fallback)
{
    ALIAS_PARA alias;
    if (get_json_alias_para(&alias, list, id))
        return metrics.elidedText(QString::fromStdString(alias.name), Qt::ElideRight, room, Qt::TextShowMnemonic);
    return fallback;
}

QString source_display_name(uint8_t listseq, const QFontMetrics& metrics, int room)
{
    return display_name(kAliasSource, sourceinfo::get_source_id_by_listseq(listseq), metrics, room,
        sourceinfo::get_source_name_by_listseq(listseq));
}

QLabel* make_label(QWidget* parent, const QString& name, const QRect& at, const char* sheet)
{
    QLabel* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(at);
    label->setStyleSheet(QLatin1String(sheet));
    return label;
}

void fit_pixel_font(QLabel* label, int smallest)
{
    QFont font = label->font();
    const int room = label->contentsRect().width();
    while (font.pixelSize() > smallest && QFontMetrics(font).horizontalAdvance(label->text()) > room)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

void fit_caption_row(std::initializer_list<QLabel*> captions)
{
    int smallest = 0;
    for (QLabel* label : captions) {
        panel::fit_label(label);
        const int size = label->font().pointSize();
        smallest = smallest == 0 ? size : qMin(smallest, size);
    }
    for (QLabel* label : captions) {
        QFont font = label->font();
        font.setPointSize(smallest);
        label->setFont(font);
    }
}

void fit_button_text(QPushButton* button, int pixels, int smallest)
{
    // The style's border and a pixel of air on each side.
    const int room = button->width() - 4;
    QFont font = button->font();
    font.setPixelSize(pixels);
    while (font.pixelSize() > smallest && QFontMetrics(font).horizontalAdvance(button->text()) > room)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
}

uint16_t word_of(const QString& text)
{
    // 0 for an empty text, one that is not a number or one out of range.
    return uint16_t(text.toShort(nullptr, 10));
}

} // namespace imageform

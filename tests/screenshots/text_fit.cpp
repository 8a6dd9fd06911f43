#include "tests/screenshots/text_fit.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QToolButton>
#include <functional>

namespace shots {

namespace {

// What the styles leave between a button's picture and its text.
constexpr int kIconSpacing = 4;
// A line edit keeps this much on each side of its text.
constexpr int kLineEditMargin = 2;
// Edge pixels fainter than this are not seen as cut.
constexpr int kFaintAlpha = 64;

// The part of `widget` (in its own coordinates) that its ancestors up to
// its window leave visible.
QRect visibleBox(const QWidget* widget)
{
    QRect box = widget->rect();
    QPoint offset;
    for (const QWidget* w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        offset += w->pos();
        box &= w->parentWidget()->rect().translated(-offset);
    }
    return box;
}

// "widget_mode/QFrame#6/QLabel#1": the object name, or the path
// from the nearest named ancestor with each unnamed step's class and its
// place among its siblings of that class.
QString widgetName(const QWidget* widget)
{
    QStringList steps;
    for (const QObject* o = widget; o; o = o->parent()) {
        if (!o->objectName().isEmpty()) {
            steps.prepend(o->objectName());
            break;
        }
        QString step = QLatin1String(o->metaObject()->className());
        if (const QObject* parent = o->parent()) {
            int index = 0;
            for (const QObject* sibling : parent->children()) {
                if (sibling == o)
                    break;
                if (sibling->metaObject() == o->metaObject())
                    ++index;
            }
            step += QLatin1Char('#') + QString::number(index);
        }
        steps.prepend(step);
    }
    return steps.join(QLatin1Char('/'));
}

// The painted (not transparent) part of an image, in its own coordinates.
QRect paintedPart(const QImage& image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) <= kFaintAlpha)
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// What a widget paints for a text or a picture: the pixels and where they
// lie in the widget.
struct Ink {
    QImage image; // ARGB32, its top left at `origin`
    QPoint origin;
    QRect box() const
    {
        const QRect part = paintedPart(image);
        return part.isNull() ? part : part.translated(origin);
    }
    bool inked(const QPoint& at) const
    {
        const QPoint p = at - origin;
        return image.rect().contains(p) && qAlpha(image.pixel(p)) > kFaintAlpha;
    }
};

// A transparent canvas over `rect` of `widget`, whose fonts are sized for
// its screen.
QImage canvasFor(const QWidget* widget, const QRect& rect)
{
    constexpr double kMetresPerInch = 0.0254;
    QImage image(rect.size(), QImage::Format_ARGB32);
    image.setDotsPerMeterX(qRound(widget->logicalDpiX() / kMetresPerInch));
    image.setDotsPerMeterY(qRound(widget->logicalDpiY() / kMetresPerInch));
    image.fill(Qt::transparent);
    return image;
}

// What `paint` inks, unclipped, within `canvas` (widget coordinates).
Ink inked(const QWidget* widget, const QRect& canvas, const std::function<void(QPainter&)>& paint)
{
    Ink ink{canvasFor(widget, canvas), canvas.topLeft()};
    QPainter painter(&ink.image);
    painter.translate(-canvas.topLeft());
    painter.setPen(Qt::black);
    paint(painter);
    painter.end();
    return ink;
}

// Plain text in `widget`'s font as QStyle::drawItemText lays it into `rect`.
Ink inkedText(const QWidget* widget, const QRect& rect, int flags, const QString& text)
{
    const QFontMetrics metrics = widget->fontMetrics();
    const QRect layout = metrics.boundingRect(rect, flags, text) | rect;
    const int air = metrics.height();
    return inked(widget, layout.adjusted(-air, -air, air, air), [&](QPainter& painter) {
        painter.setFont(widget->font());
        painter.drawText(rect, flags | Qt::TextDontClip, text);
    });
}

// A picture drawn at `at`.
Ink inkedPicture(const QPixmap& pixmap, const QPoint& at)
{
    return Ink{pixmap.toImage().convertToFormat(QImage::Format_ARGB32), at};
}

// Both inks on one canvas.
Ink merged(const QWidget* widget, const Ink& a, const Ink& b)
{
    const QRect canvas = QRect(a.origin, a.image.size()) | QRect(b.origin, b.image.size());
    return inked(widget, canvas, [&](QPainter& painter) {
        painter.drawImage(a.origin, a.image);
        painter.drawImage(b.origin, b.image);
    });
}

// The widgets stacked above `widget` that overlap it: later siblings of it
// and of each of its ancestors.
std::vector<const QWidget*> widgetsAbove(const QWidget* widget)
{
    std::vector<const QWidget*> above;
    for (const QWidget* w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        const QObjectList& siblings = w->parentWidget()->children();
        for (int i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size(); ++i) {
            auto* sibling = qobject_cast<const QWidget*>(siblings[i]);
            if (sibling && !sibling->isWindow() && sibling->isVisible()
                && sibling->geometry().intersects(w->geometry()))
                above.push_back(sibling);
        }
    }
    return above;
}

// What `widget` paints itself (without its children), when that is only a
// border: a focus frame laid over a tile. Anything else stacked above a
// text (a panel, a pop-up) hides it on purpose and is no frame.
QImage borderOnly(const QWidget* widget)
{
    constexpr int kBorderBand = 4;
    QImage image = canvasFor(widget, widget->rect());
    {
        QPainter painter(&image);
        const_cast<QWidget*>(widget)->render(&painter, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    const QRect inner = image.rect().adjusted(kBorderBand, kBorderBand, -kBorderBand, -kBorderBand);
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > kFaintAlpha)
                return QImage();
    return image;
}

// A border stacked above `widget` that is drawn over a pixel of `ink` (in
// `widget`'s coordinates), or null.
const QWidget* borderOver(const QWidget* widget, const Ink& ink)
{
    for (const QWidget* cover : widgetsAbove(widget)) {
        const QImage border = borderOnly(cover);
        if (border.isNull())
            continue;
        const QPoint shift = cover->mapFrom(widget->window(), widget->mapTo(widget->window(), QPoint(0, 0)));
        const QRect area = ink.box().translated(shift) & cover->rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qAlpha(border.pixel(x, y)) > kFaintAlpha && ink.inked(QPoint(x, y) - shift))
                    return cover;
    }
    return nullptr;
}

class Checker {
public:
    std::vector<Misfit> found;

    void label(const QLabel* label);
    void pushButton(const QPushButton* button);
    void toolButton(const QToolButton* button);
    void comboBox(const QComboBox* combo);
    void lineEdit(const QLineEdit* edit);

private:
    // What is inked must lie inside `room` and what the widget's ancestors
    // leave visible, across and down (an accent or a descender cut by a
    // pixel is a cut too), and no border stacked above it may be drawn over
    // it.
    void check(const QWidget* widget, const QString& text, const Ink& ink, const QRect& room);
};

void Checker::check(const QWidget* widget, const QString& text, const Ink& ink, const QRect& room)
{
    const QRect seen = room & visibleBox(widget);
    const QRect needed = ink.box();
    if (needed.isNull())
        return;
    const bool fits = seen.contains(needed);
    const QWidget* cover = borderOver(widget, ink);
    if (!fits || cover)
        found.push_back(Misfit{widgetName(widget), text, needed, seen, cover ? widgetName(cover) : QString()});
}

void Checker::label(const QLabel* label)
{
    const QString text = label->text();
    if (text.isEmpty())
        return;
    // Where QLabel lays its text out: the contents rect less the margin, and
    // less the indent on the sides the text is aligned to.
    QRect room = label->contentsRect();
    const int margin = label->margin();
    room.adjust(margin, margin, -margin, -margin);
    const Qt::Alignment align = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
    int indent = label->indent();
    if (indent < 0 && label->frameWidth())
        indent = label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin;
    if (indent > 0) {
        if (align & Qt::AlignLeft)
            room.setLeft(room.left() + indent);
        if (align & Qt::AlignRight)
            room.setRight(room.right() - indent);
        if (align & Qt::AlignTop)
            room.setTop(room.top() + indent);
        if (align & Qt::AlignBottom)
            room.setBottom(room.bottom() - indent);
    }

    const bool rich = label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich) {
        const int flags = int(align) | Qt::TextExpandTabs | (label->wordWrap() ? Qt::TextWordWrap : 0);
        check(label, text, inkedText(label, room, flags, text), room);
        return;
    }
    // A rich text is a document as wide as the room, aligned within it
    // across, and placed down by the label.
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    document.setHtml(text);
    QTextOption option = document.defaultTextOption();
    option.setAlignment(align);
    option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::ManualWrap);
    document.setDefaultTextOption(option);
    document.setTextWidth(room.width());
    const qreal height = document.documentLayout()->documentSize().height();
    int top = room.top();
    if (align & Qt::AlignVCenter)
        top += qMax(int((room.height() - height) / 2), 0);
    else if (align & Qt::AlignBottom)
        top += qMax(int(room.height() - height), 0);
    const int air = label->fontMetrics().height() + int(document.idealWidth());
    const QRect canvas = room.adjusted(-air, -air, air, air + int(height));
    const Ink ink = inked(label, canvas, [&](QPainter& painter) {
        painter.translate(room.left(), top);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
    });
    check(label, text, ink, room);
}

void Checker::pushButton(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);

    const QString text = button->text();
    const int flags = Qt::TextShowMnemonic | Qt::AlignVCenter;
    if (button->icon().isNull()) {
        if (!text.isEmpty())
            check(button, text, inkedText(button, room, flags | Qt::AlignHCenter, text), room);
        return;
    }
    // The picture and the text are centred together, the text after the
    // picture.
    const QPixmap pixmap = button->icon().pixmap(button->iconSize());
    int labelWidth = pixmap.width();
    if (!text.isEmpty())
        labelWidth += kIconSpacing + button->fontMetrics().boundingRect(room, flags, text).width();
    const QRect iconRect(room.x() + (room.width() - labelWidth) / 2, room.y() + (room.height() - pixmap.height()) / 2,
        pixmap.width(), pixmap.height());
    Ink ink = inkedPicture(pixmap, iconRect.topLeft());
    if (!text.isEmpty()) {
        QRect textRect = room;
        textRect.setLeft(iconRect.right() + 1 + kIconSpacing);
        ink = merged(button, ink, inkedText(button, textRect, flags | Qt::AlignLeft, text));
    }
    check(button, text.isEmpty() ? QStringLiteral("(picture)") : text, ink, room);
}

void Checker::toolButton(const QToolButton* button)
{
    // The style sheet's contents box, as for a push button.
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QString text = button->text();
    const Qt::ToolButtonStyle look = button->toolButtonStyle();
    const bool showText = !text.isEmpty() && look != Qt::ToolButtonIconOnly;
    const bool showIcon = !button->icon().isNull() && look != Qt::ToolButtonTextOnly;
    Ink ink{canvasFor(button, QRect(0, 0, 1, 1)), QPoint()};
    QRect textRoom = room;
    if (showIcon) {
        const QPixmap pixmap = button->icon().pixmap(room.size().boundedTo(button->iconSize()));
        QRect iconRoom = room;
        if (look == Qt::ToolButtonTextUnderIcon) {
            iconRoom.setHeight(pixmap.height() + 4);
            textRoom.setTop(iconRoom.bottom());
            textRoom.setBottom(textRoom.bottom() - 1);
        } else if (look == Qt::ToolButtonTextBesideIcon) {
            iconRoom.setWidth(pixmap.width() + 4);
            textRoom.setLeft(iconRoom.right() + 1);
        }
        const QRect iconRect = QStyle::alignedRect(button->layoutDirection(), Qt::AlignCenter, pixmap.size(), iconRoom);
        ink = inkedPicture(pixmap, iconRect.topLeft());
    }
    if (showText) {
        const int align
            = look == Qt::ToolButtonTextBesideIcon && showIcon ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
        ink = merged(button, ink, inkedText(button, textRoom, align | Qt::TextShowMnemonic, text));
    }
    check(button, showText ? text : QStringLiteral("(picture)"), ink, room);
}

void Checker::comboBox(const QComboBox* combo)
{
    const QString text = combo->currentText();
    if (text.isEmpty() || combo->isEditable())
        return;
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = false;
    option.frame = combo->hasFrame();
    option.currentText = text;
    option.currentIcon = combo->itemIcon(combo->currentIndex());
    option.iconSize = combo->iconSize();
    // A style sheet without padding leaves the label to the application's
    // style, whose field may be narrower: the text must fit both.
    QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        & QApplication::style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    room.adjust(1, 0, -1, 0);
    if (!option.currentIcon.isNull())
        room.setLeft(room.left() + option.iconSize.width() + kIconSpacing);
    check(combo, text, inkedText(combo, room, Qt::AlignLeft | Qt::AlignVCenter, text), room);
}

void Checker::lineEdit(const QLineEdit* edit)
{
    const QString text = edit->displayText();
    if (text.isEmpty())
        return;
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    room = room.marginsRemoved(edit->textMargins());
    room.adjust(kLineEditMargin, 0, -kLineEditMargin, 0);
    // A text wider than the room scrolls: one of its ends is cut.
    const int align = int(QStyle::visualAlignment(edit->layoutDirection(), edit->alignment()));
    check(edit, text, inkedText(edit, room, align, text), room);
}

} // namespace

std::vector<Misfit> misfits(const QWidget* window)
{
    Checker checker;
    for (const QWidget* widget : window->findChildren<const QWidget*>()) {
        if (!widget->isVisible() || widget->window() != window)
            continue;
        if (auto* label = qobject_cast<const QLabel*>(widget))
            checker.label(label);
        else if (auto* pushButton = qobject_cast<const QPushButton*>(widget))
            checker.pushButton(pushButton);
        else if (auto* toolButton = qobject_cast<const QToolButton*>(widget))
            checker.toolButton(toolButton);
        else if (auto* combo = qobject_cast<const QComboBox*>(widget))
            checker.comboBox(combo);
        else if (auto* edit = qobject_cast<const QLineEdit*>(widget))
            checker.lineEdit(edit);
    }
    return checker.found;
}

std::vector<Misfit> misfits()
{
    std::vector<Misfit> all;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        std::vector<Misfit> some = misfits(window);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

} // namespace shots

#include "ui/rcvtools/file_list_frame.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "ui/shell/screen_kit.h"

namespace filelist {

const char* const kRowPlain = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kRowChosen = "background-color:#4777FF;color: #FFFFFF;";

namespace {

const char* const kFrameStyle = "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}";
// A row left by a touch (the box draws its rows without the last ';').
const char* const kRowLeft = "background-color: rgb(33, 36, 53);color: #FFFFFF;";
const char* const kArrowStyle = "background-color: rgb(33, 36, 53);";
// Tall enough for the fourth row and the next arrow, which end 100 pixels
// down.
const QRect kFrameRect(10, 50, 280, 102);

QRect rowRect(int r) { return QRect(5, 5 + 25 * r, 220, 20); }
// The empty line has no arrows beside it: the whole width.
const QRect kEmptyRect(5, 5, 270, 20);

QLabel* rowLabel(QFrame* frame, int r, const QString& text, const char* style)
{
    QLabel* label = new QLabel(frame);
    label->setGeometry(rowRect(r));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setStyleSheet(QLatin1String(style));
    // The rows' small font, set after the style sheet: a label with a style
    // sheet of its own does not take its frame's font.
    label->setFont(frame->font());
    label->setText(text);
    return label;
}

void arrow(QFrame* frame, QObject* receiver, const QPoint& at, const char* name, const char* png, const char* slot)
{
    QPushButton* button = new QPushButton(frame);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(QRect(at, QSize(20, 20)));
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QLatin1String(kArrowStyle));
    panel::set_icon(button, QLatin1String(png), QSize(20, 20));
    QObject::connect(button, SIGNAL(clicked()), receiver, slot);
}

} // namespace

int last_page(int count) { return count > 0 ? (count - 1) / kRowsPerPage : 0; }

int first_row(int page) { return kRowsPerPage * std::max(page, 0); }

int rows_on_page(int count, int page)
{
    return std::max(0, std::min(kRowsPerPage, count - first_row(page)));
}

void page_previous(int8_t& page)
{
    if (page > 0)
        --page;
}

void page_next(int8_t& page, int last)
{
    page = int8_t(page + 1 > last ? 0 : page + 1);
}

void FileListFrame::rebuild(QWidget* parent, QObject* receiver, const std::vector<Row>& rows, const QString& empty,
    bool previous, bool next)
{
    if (QFrame* old = m_frame) {
        old->hide();
        old->setObjectName(QString());
        old->deleteLater();
    }
    for (auto& r : m_rows)
        r = nullptr;

    QFrame* frame = new QFrame(parent);
    m_frame = frame;
    frame->setObjectName(QStringLiteral("frame_file"));
    frame->setGeometry(kFrameRect);
    frame->setStyleSheet(QLatin1String(kFrameStyle));
    QFont font = frame->font();
    font.setPointSize(7);
    frame->setFont(font);

    if (rows.empty())
        rowLabel(frame, 0, empty, kRowPlain)->setGeometry(kEmptyRect);
    const int shown = std::min<int>(int(rows.size()), kRowsPerPage);
    for (int r = 0; r < shown; ++r) {
        const Row& row = rows[size_t(r)];
        m_rows[r] = rowLabel(frame, r, row.text, row.chosen ? kRowChosen : kRowPlain);
        QPushButton* touch = new QPushButton(frame);
        touch->setObjectName(QString::number(r));
        touch->setGeometry(rowRect(r));
        touch->setFlat(true);
        touch->setFocusPolicy(Qt::NoFocus);
        touch->setStyleSheet(QStringLiteral("background: transparent;border:none;"));
        QObject::connect(touch, SIGNAL(clicked()), receiver, SLOT(vyx_button_file_clicked()));
    }
    if (!rows.empty() && previous)
        arrow(frame, receiver, QPoint(250, 5), "Button_previous", ":/png/previous.png", SLOT(vyx_Button_previous_clicked()));
    if (!rows.empty() && next)
        arrow(frame, receiver, QPoint(250, 80), "Button_next", ":/png/next.png", SLOT(vyx_Button_next_clicked()));
    frame->show();
}

void FileListFrame::select(uint8_t& selected, const QObject* sender)
{
    if (!sender)
        return;
    bool ok = false;
    const int r = sender->objectName().toInt(&ok);
    if (!ok || r < 0 || r >= kRowsPerPage)
        return;
    if (QLabel* old = row(selected))
        old->setStyleSheet(QLatin1String(kRowLeft));
    selected = uint8_t(r);
    if (QLabel* now = row(selected))
        now->setStyleSheet(QLatin1String(kRowChosen));
}

QLabel* FileListFrame::row(int r) const { return r >= 0 && r < kRowsPerPage ? m_rows[r].data() : nullptr; }

} // namespace filelist

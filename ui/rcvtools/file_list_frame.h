#pragma once
// The short list of the recovery and USB-upgrade screens: a framed box
// ("frame_file") of at most four rows a page, each row a label under a flat
// touch button named by its row number ("0".."3"), page arrows on the
// right; or one line when there is nothing to list. The screens keep their
// entries, page and selection; this draws them and answers the touches
// through the screen's own slots.

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <vector>

namespace filelist {

constexpr int kRowsPerPage = 4;

// Row styles: plain, and chosen (selected or highlighted).
extern const char* const kRowPlain;
extern const char* const kRowChosen;

// The last page index for `count` entries; 0 when there are none.
int last_page(int count);
// The entries page `page` shows: from 4 × page, at most four, never past
// `count`.
int first_row(int page);
int rows_on_page(int count, int page);
// The arrows: one page lower, not below 0; one page higher, back to 0 past
// `last`.
void page_previous(int8_t& page);
void page_next(int8_t& page, int last);

struct Row {
    QString text; // rich text allowed
    bool chosen = false;
};

class FileListFrame {
public:
    // Replaces the box inside `parent` (at 10,50, 280 x 102) by one showing
    // `rows`, or the line `empty` when there are none, with the arrows
    // asked for. Row buttons call the slot vyx_button_file_clicked() of
    // `receiver`, the arrows vyx_Button_previous_clicked() and
    // vyx_Button_next_clicked(). The old box goes once control is back in
    // the event loop: an arrow that asked for the new page may still be
    // inside its click.
    void rebuild(QWidget* parent, QObject* receiver, const std::vector<Row>& rows, const QString& empty,
        bool previous, bool next);
    // A row was touched: row `selected` is drawn plain, the row named by
    // `sender` becomes `selected` and is drawn chosen.
    void select(uint8_t& selected, const QObject* sender);

    QFrame* frame() const { return m_frame; }
    // The label of row r on the page, or null.
    QLabel* row(int r) const;

private:
    QPointer<QFrame> m_frame;
    QPointer<QLabel> m_rows[kRowsPerPage];
};

} // namespace filelist

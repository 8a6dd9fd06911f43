#pragma once
// What the crop and EDID screens share: their input row, the captions and
// number-keyboard titles of their size fields, the road from a number field
// to the shared keyboard, and how a field's text becomes a parameter word.

#include <QString>
#include <cstdint>
#include <initializer_list>

#include "ui/shell/screen_kit.h"

class QFontMetrics;
class QLabel;
class QPushButton;
class QRect;
class QWidget;

namespace imageform {

extern const panel::Tr5 kCancel;
extern const panel::Tr5 kDelete;
extern const panel::Tr5 kWidth;
extern const panel::Tr5 kHeight;
// An input or crop tile: its frame, icon and texts.
constexpr const char* kTileFrame = "background-color: #212435;border:1px solid #CCCCCC;";
constexpr const char* kTileIcon = "background-color: #212435;";
constexpr const char* kTileText = "background-color:#212435;color:#FFFFFF";

// The keyboard's titles of the width and height fields.
extern const panel::Tr5 kKeyboardWidth;
extern const panel::Tr5 kKeyboardHeight;

// The row of the four inputs in list order: each name label the input's
// built-in name in its rich-text colour, each picture label its icon; the
// labels of positions 4 and 5 hidden.
void fill_source_row(QLabel* const (&names)[6], QLabel* const (&pictures)[6]);

// The display name a PC gave entry `id` of alias list `list`, cut to `room`
// pixels in `metrics`; `fallback` when it has none.
QString display_name(const char* list, int id, const QFontMetrics& metrics, int room, const QString& fallback);
// The name the input at list position `listseq` goes by in the input row.
QString source_display_name(uint8_t listseq, const QFontMetrics& metrics, int room);

// A label made in code: its object name (tests and tools find it by that),
// place and style.
QLabel* make_label(QWidget* parent, const QString& name, const QRect& at, const char* sheet);

// Takes the label's font down a pixel at a time, not below `smallest`
// pixels, until its one-line text fits the label (a timing such as
// "1920x1080@60Hz" in a tile).
void fit_pixel_font(QLabel* label, int smallest);

// The captions of one row of fields, each fitted to its label, then all at
// the smallest of their sizes: a row reads as one size in every language.
void fit_caption_row(std::initializer_list<QLabel*> captions);

// A button's text at `pixels`, or smaller down to `smallest` pixels when it
// is too wide for the button (a Russian "Сохранить").
void fit_button_text(QPushButton* button, int pixels, int smallest);

// The word a field's text stores: the text read as a signed 16-bit decimal
// number, -32768..32767 (a negative one as the same word signed); an empty
// text, one that is not a number or one outside that range stores 0. The
// fields show the words unsigned, so a word above 32767 a PC wrote goes
// back as 0 too.
uint16_t word_of(const QString& text);

} // namespace imageform

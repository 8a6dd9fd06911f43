#pragma once
// Texts that change with the language or the values (a Russian caption, a
// long version line) can be wider than the widget the form gives them. A
// fitted widget keeps its geometry and takes a smaller font, a point at a
// time down to a floor, until its text fits; a later shorter text gets the
// form's size back (kept in the widget's property "formPointSize" on the
// first call).

class QAbstractButton;
class QComboBox;
class QLabel;
class QSize;
class QStringList;
class QWidget;

namespace panel {

// The font of `widget` at which each of `lines` is at most `room` pixels
// wide, never below `smallestPoint` points, set on the widget.
void fit_font(QWidget* widget, const QStringList& lines, int room, int smallestPoint);

// A label's text within what its parent leaves visible of it: one line
// across, or, for a word-wrapped label, its lines within its height too.
// Call after each setText.
void fit_label(QLabel* label);

// The pixels a combo box leaves for its shown entry: its edit field as
// both its style sheet and the application's style draw it (a style sheet
// without padding leaves the text to the application's style, whose field
// keeps room for the arrow even when the sheet draws none).
int combo_text_room(const QComboBox* combo);

// One font for all of a combo box's entries, so stepping through them does
// not change its size, at which the widest fits its text room; at the
// floor, an entry still too wide is shortened with an ellipsis. Call after
// the entries are filled.
void fit_combo(QComboBox* combo, int smallestPoint);

// A button's picture with a caption drawn in it, kept inside `room` (the
// button's contents less its focus border and padding): when what the
// picture paints would run past the room, centred as the button draws it,
// the picture is drawn smaller. The button's icon size stays.
void fit_icon(QAbstractButton* button, const QSize& room);

} // namespace panel

#pragma once
// Texts that change with the language or the values (a Russian caption, a
// long version line) can be wider than the widget the form gives them. A
// fitted widget keeps its geometry and takes a smaller font, a point at a
// time down to a floor, until its text fits; a later shorter text gets the
// form's size back (kept in the widget's property "formPointSize" on the
// first call).

class QLabel;
class QStringList;
class QWidget;

namespace panel {

// The font of `widget` at which each of `lines` is at most `room` pixels
// wide, never below `smallestPoint` points, set on the widget.
void fit_font(QWidget* widget, const QStringList& lines, int room, int smallestPoint);

// A label's one-line text within what its parent leaves visible of it. Call
// after each setText.
void fit_label(QLabel* label);

} // namespace panel

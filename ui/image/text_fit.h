#pragma once
// The same as panel::fit_label (ui/shell/label_fit.h) for widgets that are
// no label: a button's word, a combo's shown item. The widget keeps its
// geometry and takes a smaller font, never below 5 points, until `text`
// fits in `room` pixels; a later shorter text gets the form's size back
// (kept in the property "form_pt" on the first call).

class QString;
class QWidget;

namespace panel {

void fit_text(QWidget* widget, const QString& text, double room);

} // namespace panel

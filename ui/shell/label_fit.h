#pragma once
// Texts that change with the language or the values (a Russian caption, a
// long version line) can be wider than the label the form gives them. A
// label fitted here keeps its geometry and takes a smaller font, never
// below a floor, until its plain text fits; a later shorter text gets the
// form's size back.

class QLabel;

namespace panel {

// Call after each setText. The form's font size is kept in the label's
// property "form_pt" on the first call.
void fit_label(QLabel* label);

} // namespace panel

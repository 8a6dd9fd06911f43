#pragma once
// Texts that do not fit their widgets. For every visible label, button,
// combo box and line edit of the shown windows, the text is painted aside
// in the widget's font as the widget lays it out, and what it inks must lie
// inside the room the widget gives it: the contents rect less the style
// sheet's border and padding, the label's margin and indent, a button's
// picture, and whatever its ancestors cut off. A border stacked above it (a
// focus frame laid over a tile) must not be drawn over it. A caption drawn
// in a button's picture counts as text: the picture's painted part must
// stay inside the room.
//
// Pictures-only labels and empty texts are passed. A text elided on purpose
// (ending with the ellipsis) is measured as any other: it passes when its
// ellipsis is seen, and fails when it was elided for more room than its
// widget has. Every text is measured across and down: an accent above a
// Vietnamese capital or a Cyrillic descender cut by a pixel is a cut.

#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace shots {

struct Misfit {
    QString widget; // object name, or its path from the nearest named ancestor
    QString text;
    QRect needed;  // what the text (or the picture) inks, in the widget's coordinates
    QRect room;    // where it can be seen
    QString under; // a border stacked above that is drawn over it, if any
};

// The misfits among the descendants of the visible top-level windows.
std::vector<Misfit> misfits();

// The misfits among `window`'s visible descendants.
std::vector<Misfit> misfits(const QWidget* window);

} // namespace shots

#pragma once
// A drop-down list between a "<" and a ">" label, stepped by its owner with
// the keypad's left and right keys rather than opened. Two looks: normal
// (orange borders: the list has the focus ring) and modify (blue borders:
// the focus has moved on to what acts on the chosen entry). It takes no
// focus and reacts to nothing itself; the owner fills the list through
// `list` and drives the rest with the three operations.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;

class vyxcontrol : public QWidget {
    Q_OBJECT
public:
    // The rectangles are in the control's own coordinates; the owner places
    // the control itself with setGeometry.
    vyxcontrol(QRect listRect, QRect leftRect, QRect rightRect, QWidget* parent = nullptr);

    void set_box_modify();
    void set_box_default();
    // Shows entry `index` of the list (no range check: an index past the
    // end shows no entry).
    void set_boxindexsel(unsigned char index);

    const QString label_style_normal;
    const QString label_style_modify;
    const QString list_style_normal;
    const QString list_style_modify;
    const QFont font;
    QComboBox* list;
    QLabel* label_left;
    QLabel* label_right;
};

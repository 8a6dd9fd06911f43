#pragma once
// The four video inputs as every panel screen names, orders and draws them.
//
// Two numberings are in use:
//   - the source id, under which the parameter image stores an input (the
//     source word of an image record, the source byte of a crop entry, the
//     index of the input timing at 256 + 6 * id): 0 DVI, 1 HDMI1, 2 HDMI2,
//     3 HDMI3;
//   - the list position, the place of an input in every list the panel
//     draws, which always runs HDMI1, HDMI2, HDMI3, DVI: position 0 is id 1,
//     1 is 2, 2 is 3 and 3 is 0.
//
// Only static operations, no state; GUI thread (they make strings and
// pixmaps). An id or position outside 0..3 is never an error: each
// operation says what it gives then. The user's display names
// (ui/image/alias.h) are looked up by the screens; here are only the
// built-in names.
//
// Rich text: the style templates hold "%1". Fill a template with
// QString::arg on its own, never on a string already holding a name, and
// give a display name as name.toHtmlEscaped() (after eliding it), so that a
// name holding "<", "&" or "%1" shows as typed.
// get_source_specialstyle1_by_sourceid escapes the name it is given itself.

#include <QString>

class QLabel;

class sourceinfo {
public:
    sourceinfo() = delete;

    // Source ids and list positions of the four inputs.
    static constexpr unsigned char kDvi = 0;
    static constexpr unsigned char kHdmi1 = 1;
    static constexpr unsigned char kHdmi2 = 2;
    static constexpr unsigned char kHdmi3 = 3;
    static constexpr int kSources = 4;

    // "DVI", "HDMI1", "HDMI2", "HDMI3" for ids 0..3; "" for any other id.
    static QString get_source_name_by_sourceid(unsigned char id);
    // The name of the input at list position 0..3 ("HDMI1", "HDMI2",
    // "HDMI3", "DVI"); "" for any other position.
    static QString get_source_name_by_listseq(unsigned char listseq);
    // List position -> source id: 0, 1, 2 give 1, 2, 3; every other value,
    // 3 included, gives 0 (DVI).
    static unsigned char get_source_id_by_listseq(unsigned char listseq);
    // Source id -> list position: 0, 1, 2, 3 give 3, 0, 1, 2; any other id
    // gives 0.
    static unsigned char get_listseq_by_source_id(unsigned char id);

    // A one-piece rich-text template still holding "%1": the 9-pixel name in
    // green (#51BB28) for id 3, in white for every other id. Fill it with
    // arg(), normally with get_source_name_by_sourceid(id).
    static QString get_source_specialstyle0_by_sourceid(unsigned char id);
    // A finished rich text: `name` in white (ids 0..2) or green (#12BB32, id
    // 3), then "(", `count` in decimal and ")" in blue (#4777ff); "" for an
    // id above 3. The screens give as count the entries they list for the
    // input (the whole input and its crops). `name` is taken as plain text
    // and escaped here.
    static QString get_source_specialstyle1_by_sourceid(unsigned char id, QString name, unsigned char count);

    // The input's icon (":/png/DVI.png", ":/png/HDMI13.png" for ids 1 and 2,
    // ":/png/HDMI20.png") as the label's picture; any other id leaves the
    // label as it was. Scaling is the caller's choice (setScaledContents).
    // The path is kept in the label's property "png".
    static void set_source_pixmap(QLabel* label, unsigned char id);
    // The input's picture with signal (`online` non-zero: dvilv, HDMI13_lv,
    // HDMI20_lv) or without (DVI, HDMI13_1, HDMI20); any id above 3 leaves
    // the label as it was. Property "png" as above.
    static void set_sourceonline_pixmap(QLabel* label, unsigned char id, unsigned char online);
};

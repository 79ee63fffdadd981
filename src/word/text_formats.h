#pragma once
// Conversions between the stored character/paragraph properties and the
// QTextDocument formats of the model.

#include "word/document.h"
#include "word/sprm.h"

#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextBlock>
#include <QTextListFormat>

#include <QHash>
#include <array>
#include <optional>

class QPaintDevice;
class QTextDocument;

namespace talvora::word {

// Format properties with no Qt counterpart, kept so that a document read and
// written again loses nothing.
enum FormatProperty {
    UnderlineKindProperty = QTextFormat::UserProperty + 0x100, // int: stored underline kind
    KeepWithNextProperty,                                       // bool
    DoubleStrikeProperty,                                       // bool
    RaisePositionProperty,                                      // int: half-points up (> 0) or down
    // A run read from a symbol: the font and code it was inserted with. Its
    // text is what symbolText() gives for them; characters typed into the
    // run that differ from it are ordinary text.
    SymbolFontProperty,                                         // QString
    SymbolCodeProperty,                                         // int: the code as stored
};

// Fields. The runs of a field's result carry its code and a number that
// keeps it apart from a neighbouring field with the same code; the result
// stays ordinary text. A field whose result is empty (or that has no result
// part at all) is one zero-width space, U+200B, carrying the same
// properties with FieldPlaceholderProperty set. Fields nested in a field's
// code stay inside the code string as U+0013 code U+0014 result U+0015, as
// the file stores them.
// Fields nested in a field's result (the links of a table of contents, a
// page reference inside a link): the runs still carry the outermost field
// as above, and FieldNestingProperty lists the nested fields that enclose
// them, outermost first (nestedFieldsOf() in fields.h). Each entry is a
// QVariantList of the code (QString), the id (int, unique like
// FieldIdProperty), the stored type (int) and flags (int: 1 placeholder,
// 2 without separator). The placeholder flags belong to the field nearest the
// run: a nested field with an empty result is a U+200B whose last entry is a
// placeholder, the outermost field's own flags staying clear. Nesting goes
// kMaxFieldNesting deep; deeper fields leave only their result.
enum FieldProperty {
    FieldCodeProperty = QTextFormat::UserProperty + 0x400, // QString: " PAGE \* MERGEFORMAT "
    FieldIdProperty,               // int: the same for all runs of one field, different for the next
    FieldTypeProperty,             // int: the stored type number, kept for codes the writer does not know
    FieldPlaceholderProperty,      // bool: the run is U+200B standing for an empty result
    FieldWithoutSeparatorProperty, // bool: the field has no result part, only its code
    FieldNestingProperty,          // QVariantList: the fields nested in the result around the run
};

// Footnotes and endnotes. The reference mark is a run of its own: the note's
// number (superscript), or its own mark for a note with a custom mark,
// carrying the note's text as NoteContentProperty: the note's paragraphs with
// their formats, as saveNoteContent() in notes.h writes them. The note's own
// leading mark is not part of the content.
enum NoteProperty {
    NoteContentProperty = QTextFormat::UserProperty + 0x410, // QByteArray
    NoteIdProperty,         // int: keeps two neighbouring references apart
    NoteEndnoteProperty,    // bool: an endnote rather than a footnote
    NoteCustomMarkProperty, // bool: the run's text is the note's mark, not its number
    NoteNumberFormatProperty, // int: how the document numbers notes of this kind (ListNumberFormat values)
};

QTextCharFormat toCharFormat(const CharProps& chp, const QStringList& fonts);
QTextBlockFormat toBlockFormat(const ParaProps& pap);

// The inverse, as far as the stored form goes; `fontIndex` maps a family to
// its index in the font table being written.
CharProps fromCharFormat(const QTextCharFormat& fmt, const std::function<uint16_t(const QString&)>& fontIndex,
                         const CharProps& defaults);
ParaProps fromBlockFormat(const QTextBlockFormat& fmt);

// Qt's text layout draws a paragraph's left and right margins and its first
// line's indent in the paint device's own pixels, while it scales every other
// length from 1/96 inch: a copy of a story laid out for a printer or an image
// gets those three in the device's pixels, and its layout paints there.
// Call it once per copy, before its text width or page size is set.
void layOutForDevice(QTextDocument& copy, QPaintDevice& device);

// Lists. A QTextList holds the items of one level of one Word list; what a
// QTextListFormat cannot say is kept in these properties of its format.
enum ListProperty {
    ListIdProperty = QTextFormat::UserProperty + 0x200, // int: the Word list the level belongs to
    ListLevelProperty,        // int: 0–8
    ListLevelTextProperty,    // QString: the number text; U+0000–U+0008 stand for the numbers of levels 1–9
    ListStartProperty,        // int: the first number
    ListNumberFormatProperty, // int: the stored number format (ListNumberFormat values and others)
    ListFollowProperty,       // int: after the number 0 a tab, 1 a space, 2 nothing
    ListAlignmentProperty,    // int: of the number, 0 left, 1 centre, 2 right
    // bool: the list's first item counts its level anew from ListStartProperty,
    // where otherwise it goes on from the items of the same Word list before it.
    ListRestartProperty,
    // int: the level counts on past items of levels at or below this one
    // (0: never restarts); absent, it restarts after an item of any higher level.
    ListRestartLimitProperty,
};

// Stored number formats with a Qt counterpart.
enum ListNumberFormat {
    NumberDecimal = 0,
    NumberUpperRoman = 1,
    NumberLowerRoman = 2,
    NumberUpperLetter = 3,
    NumberLowerLetter = 4,
    NumberDecimalZero = 22, // 01, 02, …
    NumberBullet = 23,
    NumberNone = 255,
};

// One level of a list as the file stores it.
struct ListLevel {
    int start = 1;
    int numberFormat = NumberDecimal;
    int follow = 0;
    int alignment = 0; // of the number: 0 left, 1 centre, 2 right
    QString text;      // with placeholders as in ListLevelTextProperty
    int restartLimit = -1; // as ListRestartLimitProperty; -1 when absent
    bool operator==(const ListLevel&) const = default;
};

QTextListFormat toListFormat(int listId, int level, const ListLevel& def);
// The inverse; lists made in an editor (without the properties) are read
// from their Qt style, prefix and suffix.
ListLevel listLevelOf(const QTextListFormat& fmt);
int listLevelNumber(const QTextListFormat& fmt);
// `n` written in a stored number format.
QString formatListNumber(int n, int numberFormat);
// What a bullet stored in a symbol font looks like in Unicode.
QChar visibleBullet(QChar stored);

// Computes the numbering text of list items, block by block in document
// order, as Word numbers them: the levels of one Word list (ListIdProperty)
// count together across all its QTextLists; a level restarts after an item
// of a higher level of the same list, and where a list says so
// (ListRestartProperty).
class ListNumbering {
public:
    // The label of `block` ("1.", "a)", "•"); empty outside lists. Call it for
    // every block in order, list items or not.
    QString label(const QTextBlock& block);

private:
    struct State {
        std::array<std::optional<int>, 9> numbers;
        std::array<int, 9> formats{};
        // An item of a level below this restarts the level; by default each
        // level restarts after any higher one.
        std::array<int, 9> restartBelow{0, 1, 2, 3, 4, 5, 6, 7, 8};
    };
    QHash<qint64, State> states_;
};

} // namespace talvora::word

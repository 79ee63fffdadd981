#pragma once
// Fields (page numbers, dates, merge fields, …): how the stored marks — begin,
// code, separator, result, end — become runs of the model and back. The model
// convention is in text_formats.h (FieldProperty).

#include "word/sprm.h"

#include <QByteArray>
#include <QString>
#include <QTextCharFormat>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QTextBlock;
class QTextDocument;

namespace talvora::word {

inline constexpr char16_t kFieldBegin = 0x13;
inline constexpr char16_t kFieldSeparator = 0x14;
inline constexpr char16_t kFieldEnd = 0x15;
inline constexpr char16_t kFieldPlaceholder = 0x200B;

inline bool isFieldMark(char16_t c) { return c >= kFieldBegin && c <= kFieldEnd; }

// How deep fields nested in results are kept, the outermost field counted;
// fields deeper down leave only their result, shown as that of the field around them.
inline constexpr size_t kMaxFieldNesting = 20;

// The first word of a code, upper-cased: "PAGE" for " PAGE \* MERGEFORMAT ".
QString fieldKeyword(QStringView code);
// The stored type number of a keyword (PAGE 33, NUMPAGES 26, DATE 31, …); 0 when unknown.
int fieldTypeOfKeyword(const QString& keyword);
// The code as Word shows it: fields nested in it as "{ CODE }", without their results.
QString readableFieldCode(const QString& code);
// The code with its nested marks in order: ends and separators without an
// open field are dropped, a second separator too, and fields left open are closed.
QString balancedFieldCode(const QString& code);

// Puts the numbers of a printed page into the results of the page number
// (PAGE) and page count (NUMPAGES, SECTIONPAGES) fields of a header or
// footer: `page` counts from 1. A "\* ROMAN", "\* roman", "\* ALPHABETIC"
// or "\* alphabetic" switch in the code is followed.
void setPageFieldResults(QTextDocument& story, int page, int pageCount);

// A field as one of its runs carries it.
struct FieldInfo {
    QString code;
    int id = 0;
    int type = 0; // stored type number; 0 when not known
    bool placeholder = false;
    bool withoutSeparator = false;
};
std::optional<FieldInfo> fieldOf(const QTextFormat& format);
void setField(QTextCharFormat& format, const FieldInfo& field);

// The fields nested in the outermost field's result that enclose a run,
// outermost first (FieldNestingProperty); empty when there are none.
std::vector<FieldInfo> nestedFieldsOf(const QTextFormat& format);
// Sets them; an empty chain clears the property.
void setNestedFields(QTextCharFormat& format, const std::vector<FieldInfo>& nested);
// Every field enclosing a run, outermost first: fieldOf() then nestedFieldsOf().
std::vector<FieldInfo> fieldChainOf(const QTextFormat& format);
// The field nearest to the run's text: the last of fieldChainOf().
std::optional<FieldInfo> innermostFieldOf(const QTextFormat& format);

// Stored field types by the CP of their begin marks, sorted.
using FieldTypes = std::vector<std::pair<int32_t, uint8_t>>;
// Adds the begin marks of a stored field table (PLC of 2-byte entries) whose
// CPs count from `base`.
void readFieldTable(ByteView plc, int32_t base, FieldTypes& out);

// Follows the field marks of one story while the reader goes through its
// characters in order. Fields nested in a result are kept (FieldNestingProperty),
// up to kMaxFieldNesting deep. Marks without a partner inside the story (a damaged
// file) are found beforehand and read as nothing, so the text around them
// stays visible.
class FieldReader {
public:
    // `text[from, to)` is the story. `nextId` numbers fields across stories.
    FieldReader(const char16_t* text, int32_t from, int32_t to, const FieldTypes& types, int& nextId);

    // A mark at `cp`, reached with the text before it already out at
    // `position`. True when it ends a field that showed no result there: the
    // caller puts a placeholder with placeholderFormat().
    bool mark(int32_t cp, char16_t ch, bool deleted, int position);
    // Characters of a code are not shown; they are kept for the field.
    bool inCode() const { return openCodes_ > 0; }
    void codeChar(char16_t ch, bool deleted);
    // Whether shown characters now belong to a field's result.
    bool inResult() const { return !open_.empty() && openCodes_ == 0; }
    QTextCharFormat resultFormat(const QTextCharFormat& plain) const;
    QTextCharFormat placeholderFormat(const QTextCharFormat& plain) const;

private:
    // An open field: whether it is still in its code, and whether it is kept
    // as a field of its own (the outermost one and those nested in results)
    // or is part of a kept field's code or, nested too deep, of its result.
    struct Open {
        bool inCode = true;
        bool kept = false;
    };
    // A kept field, with where its result began in the model.
    struct Level {
        FieldInfo info;
        size_t open = 0; // its index in open_
        int resultPosition = -1;
    };

    bool ignored(int32_t cp);
    void begin(int32_t cp, bool deleted);
    void separator(bool deleted, int position);
    bool end(bool deleted, int position);
    // The code that characters now go to: that of the innermost kept field
    // while it is in its code; none inside a field nested too deep.
    QString* code();
    void updateNesting();

    std::vector<int32_t> ignored_; // CPs of marks without a partner, sorted
    size_t ignoredAt_ = 0;
    const FieldTypes& types_;
    int& nextId_;
    std::vector<Open> open_;
    size_t openCodes_ = 0;
    std::vector<Level> levels_; // the kept fields open now, outermost first
    QVariant nesting_;          // FieldNestingProperty of their result text
    std::vector<FieldInfo> ended_; // the last kept field ended, after the fields around it
};

// Writes the marks of fields into the text being put together by the
// writer: begin mark, code, separator before the result runs, end mark after
// them; and keeps their table.
class FieldWriter {
public:
    // `append` adds stored characters with their properties to the text;
    // `position` is the CP the next character gets.
    using Append = std::function<void(const QString& stored, const CharProps& chp)>;
    FieldWriter(Append append, std::function<int32_t()> position);

    // Before the text of a run: ends the open fields the run does not go on
    // with (the innermost first), and begins those of the run's fields not
    // open yet, each inside the result of the one around it. Returns the
    // run's text as it is to be written (a placeholder writes none).
    QString beforeRun(const QTextCharFormat& format, const CharProps& chp, const QString& text);
    // Before the mark that ends `block`: fields go on into the next
    // paragraph of the same frame as far as its first run continues them; the others end here.
    void beforeBlockEnd(const QTextBlock& block, bool cellEnd);
    void close();
    // A field of its own written whole where the text now stands, inside
    // the result of the fields open: begin mark, `code`, the separator with
    // `separator`'s properties, what `result` writes, end mark. An embedded
    // object that has lost its EMBED field gets one this way.
    void writeWhole(const QString& code, const CharProps& chp, const CharProps& separator,
                    const std::function<void()>& result);

    bool empty() const { return entries_.empty(); }
    // The field table of the story [from, to): CPs from `from`, ending with the story's length.
    QByteArray table(int32_t from, int32_t to) const;

private:
    struct Entry {
        int32_t cp;
        uint8_t ch;
        uint8_t data;
    };
    void markAt(char16_t ch, uint8_t data, const CharProps& chp);
    void writeCode(const QString& code, const CharProps& chp);
    void open(const FieldInfo& field, const CharProps& chp);
    // Ends the open fields past the first `keep`, innermost first.
    void closeTo(size_t keep);
    // Content is about to go into the innermost open field: it gets a result part.
    void enterResult(const CharProps& chp);

    Append append_;
    std::function<int32_t()> position_;
    std::vector<Entry> entries_;
    std::vector<FieldInfo> open_; // outermost first; withoutSeparator: no separator written yet
    CharProps openProps_;
};

} // namespace talvora::word

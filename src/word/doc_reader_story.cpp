#include "word/doc_reader_story.h"

#include "word/doc_reader_lists.h"
#include "word/doc_reader_props.h"
#include "word/doc_reader_styles.h"
#include "word/marks_reader.h"
#include "word/drawings.h"
#include "word/embedded_objects.h"
#include "word/notes.h"
#include "word/symbol_fonts.h"
#include "word/table_layout.h"
#include "word/text_formats.h"

#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <optional>

namespace talvora::word {

namespace {

struct Paragraph {
    int32_t start = 0, end = 0; // [start, end) without the mark
    ParaProps pap;
    int startsSection = 0; // ended by a section mark: the section that follows (see sectionAfter)
    TableMark mark;
};

// How a paragraph mark stands in tables. Cells of the outermost tables end
// with U+0007, those of nested tables with paragraph marks flagged as such;
// a row mark holds no text of its own.
TableMark tableMark(const ParaProps& pap, char16_t mark, bool empty)
{
    TableMark m;
    m.depth = pap.inTable ? std::max(1, pap.tableDepth) : 0;
    m.rowEnd = pap.tableRowEnd && empty;
    m.cellEnd = !m.rowEnd && m.depth >= 1 && (mark == 0x07 || (m.depth > 1 && pap.innerCell));
    m.empty = empty;
    return m;
}

// QTextDocument cannot begin a story or a cell with a table: the empty block
// it keeps before one is marked, so that it is not written as a paragraph.
void markPlaceholder(QTextCursor& cursor)
{
    QTextBlockFormat f;
    f.setProperty(PlaceholderBlockProperty, true);
    cursor.mergeBlockFormat(f);
}

struct FormatKey {
    const char* grpprl;
    qsizetype size;
    int piece;
    uint16_t style;
    bool operator==(const FormatKey&) const = default;
};

size_t qHash(const FormatKey& k, size_t seed = 0)
{
    return qHashMulti(seed, quintptr(k.grpprl), k.size, k.piece, k.style);
}

// Builds one story of the model from the stored text [from, to): its
// paragraphs and tables, with their lists, fields, notes and pictures.
class StoryBuilder {
public:
    StoryBuilder(const StorySources& sources, QTextDocument& doc, int32_t from, int32_t to);
    void build();

private:
    struct RunFormat {
        QTextCharFormat format;
        bool special = false;
        bool deleted = false;
        std::optional<uint32_t> picture; // where the picture of a picture character is
        QString symbol; // what each character of an inserted symbol reads as
        std::optional<uint32_t> object; // the embedded object of an object character
    };
    // The paragraph being written, with what a page break inside it takes on.
    struct OpenParagraph {
        const Paragraph& para;
        QTextBlockFormat blockFormat;
        QTextCharFormat markFormat;
    };

    void splitParagraphs();
    bool nextInTable(int32_t cp) const;
    void breakPageBeforeSectionTable(QTextTable* table);
    void emitItems(const StoryItems& items, QTextCursor& cursor, bool fresh);
    void emitParagraph(const Paragraph& para, QTextCursor& cursor, bool& reuseBlock);
    QTextBlockFormat blockFormatOf(const ParaProps& pap) const;
    QTextCharFormat markFormatOf(const Paragraph& para);
    void joinList(const ParaProps& pap, QTextCursor& cursor);
    void emitSegment(const OpenParagraph& open, const Segment& seg, QTextCursor& cursor);
    void emitChar(const OpenParagraph& open, int32_t cp, const RunFormat& run, QTextCursor& cursor);
    void emitFieldMark(int32_t cp, char16_t ch, const RunFormat& run, QTextCursor& cursor);
    void emitNoteReference(const NoteRef& note, char16_t ch, const QTextCharFormat& plain, QTextCursor& cursor);
    void emitShownChar(const OpenParagraph& open, int32_t cp, const RunFormat& run, QTextCursor& cursor);
    void emitPageBreak(const OpenParagraph& open, int32_t cp, QTextCursor& cursor);
    void emitPicture(const RunFormat& run, QTextCursor& cursor);
    void emitObjectBox(uint32_t object, const RunFormat& run, QTextCursor& cursor);
    void emitDrawing(int32_t cp, const RunFormat& run, QTextCursor& cursor);
    void flush(QTextCursor& cursor, const QTextCharFormat& plain);
    // The format of shown text: a field's result keeps its field, text in
    // bookmarks and commented text keep them.
    QTextCharFormat shownFormat(const QTextCharFormat& plain);
    QTextCharFormat fieldFormat(const QTextCharFormat& plain) const;
    const RunFormat& formatOf(const ParaProps& pap, const Segment& seg);
    int32_t plainTextEnd(int32_t cp, int32_t to, const RunFormat& run);
    const NoteRef* noteAt(int32_t cp);
    const NoteRef* noteFrom(int32_t cp); // the first note referred to at `cp` or after

    const StorySources& src_;
    QTextDocument& doc_;
    const char16_t* t_;
    const int32_t from_, to_;
    std::vector<Paragraph> paragraphs_;
    QHash<FormatKey, RunFormat> formats_;
    FieldReader fields_;
    MarkBuilder marks_; // bookmarks and comments on the characters
    int footnote_ = 0;
    int endnote_ = 0;
    size_t nextNote_ = 0; // the characters come in order: the notes are looked at in order
    bool breakBeforeNext_ = false;
    int sectionNext_ = 0; // the section the next paragraph starts
    // The embedded object an EMBED field's separator named: the picture of
    // the field's result shows it.
    std::optional<uint32_t> pendingObject_;
    int cellDepth_ = 0;   // of the cell being filled, 0 outside tables
    size_t segIndex_ = 0;
    QString chunk_; // text not yet inserted, all of one format
    // Per list, the QTextList of each level now in use; an item of a level
    // ends the lists of the levels below it, so that they count anew.
    struct OpenLevel {
        QTextList* list = nullptr;
        const StoredLevel* def = nullptr; // what the list was made from
    };
    QHash<int, std::array<OpenLevel, 9>> openLists_; // by the numbering the lists take part in
    QSet<std::pair<int, int>> restarted_;             // lists and levels whose own start was used
};

StoryBuilder::StoryBuilder(const StorySources& sources, QTextDocument& doc, int32_t from, int32_t to)
    : src_(sources)
    , doc_(doc)
    , t_(sources.text)
    , from_(from)
    , to_(to)
    , fields_(t_, from, to, sources.fieldTypes, sources.fieldIds)
    , marks_(sources.marks, from, to)
{
    chunk_.reserve(1024);
}

void StoryBuilder::build()
{
    splitParagraphs();
    QTextCursor cursor(&doc_);
    // One edit block: the cursor skips layout work after every insertion.
    cursor.beginEditBlock();
    std::vector<TableMark> marks;
    marks.reserve(paragraphs_.size());
    for (const Paragraph& p : paragraphs_)
        marks.push_back(p.mark);
    const StoryItems items = layoutStory(marks, [&](size_t k) { return src_.props.rowDef(paragraphs_[k].end); });
    emitItems(items, cursor, true);
    marks_.finish(doc_);
    cursor.endEditBlock();
}

// Paragraphs of the story: each ends with a paragraph mark (or a table cell
// mark); text after the last mark still makes a paragraph.
void StoryBuilder::splitParagraphs()
{
    int32_t start = from_;
    for (int32_t cp = from_; cp < to_; ++cp) {
        // A section mark ends the paragraph it closes, as a paragraph mark
        // would. One that stands alone starts the paragraph after it with
        // the new section, unless that paragraph is in a table: then it is
        // the empty paragraph that keeps the table apart from what precedes.
        const int section = t_[cp] == 0x0C && (cp > start || nextInTable(cp + 1)) ? sectionAfter(src_.sections, cp) : 0;
        if (t_[cp] == 0x0D || t_[cp] == 0x07 || section) {
            Paragraph p;
            p.startsSection = section;
            p.start = start;
            p.end = cp;
            p.pap = src_.props.paraProps(cp);
            p.mark = tableMark(p.pap, t_[cp], cp == start);
            paragraphs_.push_back(p);
            start = cp + 1;
        }
    }
    if (start < to_) {
        Paragraph p;
        p.start = start;
        p.end = to_;
        p.pap = src_.props.paraProps(to_ - 1);
        paragraphs_.push_back(p);
    }
}

// Whether the paragraph that starts at `cp` is in a table.
bool StoryBuilder::nextInTable(int32_t cp) const
{
    for (; cp < to_; ++cp) {
        if (t_[cp] == 0x0D || t_[cp] == 0x07)
            return src_.props.paraProps(cp).inTable;
        if (t_[cp] == 0x0C)
            return false;
    }
    return false;
}

// A section that starts a page with a table: the table breaks the page (a
// page break of a paragraph in a cell breaks none).
void StoryBuilder::breakPageBeforeSectionTable(QTextTable* table)
{
    if (!table || cellDepth_ > 0)
        return;
    const QTextBlockFormat first = table->cellAt(0, 0).firstCursorPosition().blockFormat();
    if (!first.hasProperty(SectionStartProperty) || first.pageBreakPolicy() != QTextFormat::PageBreak_AlwaysBefore)
        return;
    QTextTableFormat format = table->format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    table->setFormat(format);
}

void StoryBuilder::emitItems(const StoryItems& items, QTextCursor& cursor, bool fresh)
{
    const FillCell fill = [this](const StoryItems& cell, QTextCursor& at, bool empty) {
        ++cellDepth_;
        emitItems(cell, at, empty);
        --cellDepth_;
    };
    bool reuseBlock = fresh;
    for (size_t k = 0; k < items.size(); ++k) {
        if (const TableNode* table = items[k].table.get()) {
            if (reuseBlock && k == 0)
                markPlaceholder(cursor);
            breakPageBeforeSectionTable(insertTable(cursor, *table, fill));
            reuseBlock = true;
        } else {
            emitParagraph(paragraphs_[items[k].paragraph], cursor, reuseBlock);
        }
    }
}

// Writes one paragraph at `cursor`; `reuseBlock` says the cursor stands in
// an empty block made for it (the first of the document or of a cell).
void StoryBuilder::emitParagraph(const Paragraph& para, QTextCursor& cursor, bool& reuseBlock)
{
    OpenParagraph open{para, blockFormatOf(para.pap), markFormatOf(para)};
    if (breakBeforeNext_) {
        open.blockFormat.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        breakBeforeNext_ = false;
    }
    if (sectionNext_) {
        open.blockFormat.setProperty(SectionStartProperty, sectionNext_);
        sectionNext_ = 0;
    }
    if (reuseBlock) {
        cursor.setBlockFormat(open.blockFormat);
        // Merged: the first block of a table cell shares its format with the cell.
        cursor.mergeBlockCharFormat(open.markFormat);
        reuseBlock = false;
    } else {
        cursor.insertBlock(open.blockFormat, open.markFormat);
    }
    joinList(para.pap, cursor);
    const std::vector<Segment>& segments = src_.props.segments();
    for (size_t si = segIndex_; si < segments.size() && segments[si].cpStart < para.end; ++si)
        emitSegment(open, segments[si], cursor);
    // An empty bookmark at the paragraph's end stays in it.
    if (marks_.pending(para.end))
        marks_.advance(para.end, cursor, fieldFormat(open.markFormat));
    if (para.startsSection) {
        // A continuous section (or one in the next column) goes on on the same page.
        breakBeforeNext_ = sectionStartsPage(src_.sections, para.startsSection);
        sectionNext_ = para.startsSection;
    }
}

QTextBlockFormat StoryBuilder::blockFormatOf(const ParaProps& pap) const
{
    QTextBlockFormat blockFormat = toBlockFormat(pap);
    if (const int level = src_.styles.headingLevel(pap.style))
        blockFormat.setHeadingLevel(level);
    return blockFormat;
}

// The character format of the paragraph mark, which goes to the block. Moves
// on to the first segment of the paragraph.
QTextCharFormat StoryBuilder::markFormatOf(const Paragraph& para)
{
    const std::vector<Segment>& segments = src_.props.segments();
    while (segIndex_ < segments.size() && segments[segIndex_].cpEnd <= para.start)
        ++segIndex_;
    size_t markSeg = segIndex_;
    while (markSeg < segments.size() && segments[markSeg].cpEnd <= para.end)
        ++markSeg;
    if (markSeg < segments.size())
        return formatOf(para.pap, segments[markSeg]).format;
    return {};
}

void StoryBuilder::joinList(const ParaProps& pap, QTextCursor& cursor)
{
    int start = 1;
    const StoredLevel* stored = src_.lists.level(pap, &start);
    if (!stored)
        return;
    const int level = std::clamp(pap.listLevel, 0, 8);
    // Lists of one definition count together (a list instance that goes on
    // with another goes on with its numbers); a list that sets a start for a
    // level restarts it where it is first used at that level.
    const int sequence = src_.lists.sequenceOf(pap.listIndex);
    auto& levels = openLists_[sequence];
    for (int l = level + 1; l < 9; ++l)
        levels[size_t(l)] = {};
    OpenLevel& open = levels[size_t(level)];
    const bool restart = src_.lists.restartsLevel(pap) && !restarted_.contains({pap.listIndex, level});
    if (open.list && open.def == stored && !restart) {
        open.list->add(cursor.block());
        return;
    }
    ListLevel def = stored->level;
    def.start = start;
    QTextListFormat format = toListFormat(sequence, level, def);
    if (restart) {
        format.setProperty(ListRestartProperty, true);
        restarted_.insert({pap.listIndex, level});
    }
    open = {cursor.createList(format), stored};
}

// The characters of the segment that lie in the paragraph.
void StoryBuilder::emitSegment(const OpenParagraph& open, const Segment& seg, QTextCursor& cursor)
{
    const int32_t from = std::max(seg.cpStart, open.para.start);
    const int32_t to = std::min(seg.cpEnd, open.para.end);
    if (from >= to)
        return;
    const RunFormat& run = formatOf(open.para.pap, seg);
    chunk_.clear();
    for (int32_t cp = from; cp < to;) {
        // Plain text goes on in one piece; the rest a character at a time.
        const int32_t plain = plainTextEnd(cp, to, run);
        if (plain > cp) {
            chunk_.append(QStringView(t_ + cp, plain - cp));
            cp = plain;
        } else {
            emitChar(open, cp++, run, cursor);
        }
    }
    flush(cursor, run.format);
}

// Where the text from `cp` on stops being characters shown as they stand:
// at a control character, a mark, a note's or a comment's reference.
int32_t StoryBuilder::plainTextEnd(int32_t cp, int32_t to, const RunFormat& run)
{
    if (run.deleted || !run.symbol.isEmpty() || fields_.inCode())
        return cp;
    const NoteRef* note = noteFrom(cp);
    const int32_t stop = std::min({to, marks_.nextStop(cp), note ? note->cp : INT32_MAX});
    int32_t end = cp;
    while (end < stop && t_[end] >= 0x20)
        ++end;
    return end;
}

void StoryBuilder::emitChar(const OpenParagraph& open, int32_t cp, const RunFormat& run, QTextCursor& cursor)
{
    const char16_t ch = t_[cp];
    if (marks_.pending(cp)) {
        flush(cursor, run.format);
        marks_.advance(cp, cursor, fieldFormat(run.format));
    }
    if (isFieldMark(ch)) {
        emitFieldMark(cp, ch, run, cursor);
        return;
    }
    if (fields_.inCode()) {
        fields_.codeChar(ch, run.deleted);
        return;
    }
    if (run.deleted)
        return;
    if (const NoteRef* note = noteAt(cp)) {
        flush(cursor, run.format);
        emitNoteReference(*note, ch, run.format, cursor);
        return;
    }
    if (const CommentInfo* comment = marks_.commentAt(cp)) {
        flush(cursor, run.format);
        QTextCharFormat f = shownFormat(run.format);
        setComment(f, *comment);
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
        return;
    }
    emitShownChar(open, cp, run, cursor);
}

void StoryBuilder::emitFieldMark(int32_t cp, char16_t ch, const RunFormat& run, QTextCursor& cursor)
{
    flush(cursor, run.format);
    // Word and LibreOffice mark an embedded object on the separator of its
    // EMBED field; the result holds the picture shown for it. A result
    // without a picture still keeps the object, shown as a box.
    if (ch == kFieldSeparator && run.object && !run.deleted) {
        pendingObject_ = run.object;
    } else if (ch == kFieldEnd && pendingObject_) {
        emitObjectBox(*pendingObject_, run, cursor);
        pendingObject_.reset();
    }
    if (fields_.mark(cp, ch, run.deleted, cursor.position()))
        cursor.insertText(QString(QChar(kFieldPlaceholder)), marks_.apply(fields_.placeholderFormat(run.format)));
}

// The reference of a numbered note shows its number; one with a mark of its own, the mark.
void StoryBuilder::emitNoteReference(const NoteRef& note, char16_t ch, const QTextCharFormat& plain,
                                                QTextCursor& cursor)
{
    int& number = note.endnote ? endnote_ : footnote_;
    const int format = note.endnote ? src_.notes.endnoteFormat : src_.notes.footnoteFormat;
    const QString mark = note.automatic ? formatListNumber(++number, format)
        : ch >= 0x20                    ? QString(QChar(ch))
                                        : QStringLiteral("*");
    cursor.insertText(mark, marks_.apply(src_.notes.referenceFormat(note, plain)));
}

// A character of the text, or a special one standing for a break or an object.
void StoryBuilder::emitShownChar(const OpenParagraph& open, int32_t cp, const RunFormat& run,
                                            QTextCursor& cursor)
{
    const char16_t ch = t_[cp];
    switch (ch) {
    case 0x09: chunk_.append(QChar(u'\t')); break;
    case 0x0B:
    case 0x0E: chunk_.append(QChar(QChar::LineSeparator)); break;
    case 0x0C:
        flush(cursor, run.format);
        emitPageBreak(open, cp, cursor);
        break;
    case 0x1E: chunk_.append(QChar(0x2011)); break;
    case 0x1F: chunk_.append(QChar(0x00AD)); break;
    case 0x02:
        if (run.special)
            chunk_.append(QString::number(++footnote_));
        break;
    case 0x01: emitPicture(run, cursor); break;
    case 0x08: emitDrawing(cp, run, cursor); break;
    default:
        if (ch >= 0x20) {
            if (run.symbol.isEmpty())
                chunk_.append(QChar(ch));
            else
                chunk_.append(run.symbol);
        }
        // Other control characters mark objects (annotations, say) that
        // the model does not hold yet.
        break;
    }
}

// A page (or section) break: what follows starts a new page.
void StoryBuilder::emitPageBreak(const OpenParagraph& open, int32_t cp, QTextCursor& cursor)
{
    QTextBlockFormat next = open.blockFormat;
    const int section = sectionAfter(src_.sections, cp);
    const bool newPage = !section || sectionStartsPage(src_.sections, section);
    if (newPage)
        next.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (section)
        next.setProperty(SectionStartProperty, section);
    if (cursor.block().length() <= 1) {
        cursor.setBlockFormat(next);
    } else if (cp + 1 < open.para.end) {
        cursor.insertBlock(next, open.markFormat);
    } else {
        breakBeforeNext_ = newPage;
        sectionNext_ = section;
    }
}

void StoryBuilder::emitPicture(const RunFormat& run, QTextCursor& cursor)
{
    if (run.object) {
        // The object on the picture character itself, as older files of ours have it.
        emitObjectBox(*run.object, run, cursor);
        return;
    }
    if (!run.picture)
        return;
    auto image = src_.pictures.imageFormat(*run.picture, shownFormat(run.format), doc_);
    if (pendingObject_) {
        if (image && src_.objects && src_.objects->attach(*pendingObject_, *image))
            pendingObject_.reset();
        else if (!image)
            return; // the field's end shows the object
    }
    if (image) {
        flush(cursor, run.format);
        cursor.insertImage(*image);
    }
}

void StoryBuilder::emitObjectBox(uint32_t object, const RunFormat& run, QTextCursor& cursor)
{
    if (!src_.objects)
        return;
    if (const auto image = src_.objects->imageFormat(object, shownFormat(run.format), doc_)) {
        flush(cursor, run.format);
        cursor.insertImage(*image);
    }
}

// A floating picture, a drawing shape or a text box anchored here.
void StoryBuilder::emitDrawing(int32_t cp, const RunFormat& run, QTextCursor& cursor)
{
    if (!src_.drawings)
        return;
    if (const auto anchored = src_.drawings->anchorAt(cp, shownFormat(run.format), doc_)) {
        flush(cursor, run.format);
        cursor.insertImage(anchored->format, QTextFrameFormat::Position(anchored->position));
    }
}

void StoryBuilder::flush(QTextCursor& cursor, const QTextCharFormat& plain)
{
    if (!chunk_.isEmpty()) {
        cursor.insertText(chunk_, shownFormat(plain));
        chunk_.clear();
    }
}

QTextCharFormat StoryBuilder::shownFormat(const QTextCharFormat& plain)
{
    return marks_.apply(fieldFormat(plain));
}

QTextCharFormat StoryBuilder::fieldFormat(const QTextCharFormat& plain) const
{
    return fields_.inResult() ? fields_.resultFormat(plain) : plain;
}

const StoryBuilder::RunFormat& StoryBuilder::formatOf(const ParaProps& pap, const Segment& seg)
{
    const FormatKey key{seg.grpprl.data(), seg.grpprl.size(), seg.piece, pap.style};
    auto it = formats_.find(key);
    if (it == formats_.end()) {
        const CharProps c = src_.props.charProps(pap, seg);
        const auto picture = c.special && !c.data && !c.ole2 ? c.picLocation : std::nullopt;
        const auto object = c.special && c.ole2 ? c.picLocation : std::nullopt;
        RunFormat run{toCharFormat(c, src_.styles.fonts()), c.special, c.deleted, picture, {}, object};
        if (run.format.hasProperty(SymbolFontProperty))
            run.symbol = symbolText(run.format.stringProperty(SymbolFontProperty), c.symbol->code).text;
        it = formats_.insert(key, run);
    }
    return *it;
}

const NoteRef* StoryBuilder::noteAt(int32_t cp)
{
    const NoteRef* note = noteFrom(cp);
    return note && note->cp == cp ? note : nullptr;
}

const NoteRef* StoryBuilder::noteFrom(int32_t cp)
{
    const std::vector<NoteRef>& refs = src_.notes.refs;
    while (nextNote_ < refs.size() && refs[nextNote_].cp < cp)
        ++nextNote_;
    return nextNote_ < refs.size() ? &refs[nextNote_] : nullptr;
}

} // namespace

QTextCharFormat NoteReferences::referenceFormat(const NoteRef& ref, const QTextCharFormat& plain)
{
    QTextCharFormat f = plain;
    NoteInfo note;
    note.content = ref.content;
    note.id = ++ids_;
    note.endnote = ref.endnote;
    note.customMark = !ref.automatic;
    note.numberFormat = ref.endnote ? endnoteFormat : footnoteFormat;
    setNote(f, note);
    if (ref.automatic && f.verticalAlignment() == QTextCharFormat::AlignNormal)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    return f;
}

void buildStory(const StorySources& sources, QTextDocument& doc, int32_t from, int32_t to)
{
    StoryBuilder(sources, doc, from, to).build();
}

} // namespace talvora::word

#include "word/doc_reader.h"

#include "word/binary.h"
#include "word/doc_pictures.h"
#include "word/doc_reader_file.h"
#include "word/doc_reader_lists.h"
#include "word/doc_reader_props.h"
#include "word/doc_reader_story.h"
#include "word/doc_reader_styles.h"
#include "word/doc_reader_text.h"
#include "word/drawings.h"
#include "word/embedded_objects.h"
#include "word/fib.h"
#include "word/fields.h"
#include "word/marks_reader.h"
#include "word/notes.h"
#include "word/sections.h"
#include "word/word6_format.h"
#include "word/word6_lists.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

namespace talvora::word {

namespace {

// Reads one file: its parts are read in the order they depend on one another,
// then the notes, the main text and the headers and footers are built.
class DocReader {
public:
    explicit DocReader(const QByteArray& bytes);
    DocReader(const DocReader&) = delete;
    DocReader& operator=(const DocReader&) = delete;
    Document read();

private:
    void readHeaders(Document& doc);
    std::unique_ptr<QTextDocument> headerStory(int index, qint64& budget);
    qint64 storyStart(int lwIndex) const;
    void readFieldTypes();
    void readNotes();
    void readNoteNumbering();
    void buildDocument(QTextDocument& doc, int32_t cpFrom, int32_t cpTo);
    void recodeByFonts();
    void numberWord6Paragraphs();
    int headerStoryIndex(size_t section, int kind) const;
    DrawingReader::Layout drawingLayout() const;

    const WordFile file_;
    TextPieces text_; // Word 6.0/95 text is read again in the code page of its fonts
    const int32_t ccpText_; // the main text, within the text there is
    StyleSheet styles_;
    const std::vector<StoredSection> sections_;
    const SectionProps section_; // the first section's, which carries the page set-up of the document
    ListTable lists_; // Word 6.0/95 files add the lists of their numbered paragraphs
    TextProperties props_;
    PictureReader pictures_;
    FieldTypes fieldTypes_;
    int fieldIds_ = 0;
    NoteReferences notes_;
    StoredMarks marks_; // bookmarks and comments
    DrawingReader drawings_; // floating pictures, shapes and text boxes
    ObjectReader objects_;   // embedded objects
    const StorySources sources_;
};

DocReader::DocReader(const QByteArray& bytes)
    : file_(bytes)
    , text_(file_)
    , ccpText_(std::min<int32_t>(file_.storyLength(fib::CcpText), text_.length()))
    , styles_(file_)
    , sections_(readSectionTable(file_.tableRange(fib::PlcfSed), file_.wordStream(), ccpText_, file_.word6()))
    , section_(sections_.empty() ? SectionProps{} : sections_.front().props)
    , lists_(file_)
    , props_(file_, text_, styles_, lists_)
    , pictures_(file_.dataStream())
    , drawings_(file_, drawingLayout())
    , objects_(file_.objectPool())
    , sources_{text_.chars(), props_, styles_, lists_, sections_, pictures_, fieldTypes_, fieldIds_, notes_, &marks_,
               &drawings_, &objects_}
{
    recodeByFonts();
    if (file_.word6())
        numberWord6Paragraphs();
}

// Word 6.0/95 paragraphs carry their own numbering; the lists it makes are
// known once the properties of all paragraphs can be read.
void DocReader::numberWord6Paragraphs()
{
    const CodePage page(file_.codePage());
    const Word6TextSource source{page, [this](int font) { return styles_.fontCharset(uint16_t(font)); }};
    std::vector<int32_t> starts;
    for (int story : {fib::CcpText, fib::CcpFtn, fib::CcpHdd, fib::CcpMcr, fib::CcpAtn, fib::CcpEdn, fib::CcpTxbx,
                      fib::CcpHdrTxbx})
        starts.push_back(int32_t(std::min<qint64>(storyStart(story), text_.length())));
    lists_.addWord6Lists(word::numberWord6Paragraphs(text_.chars(), text_.length(), starts,
                                                     [this](int32_t cp) { return props_.paraProps(cp); }, source));
}

// 8-bit text of Word 6.0/95 files is in the code page of the font of each run,
// where the font names one, and in the document's otherwise; a symbol font's
// characters are its own codes.
void DocReader::recodeByFonts()
{
    if (!file_.word6())
        return;
    const char16_t* t = text_.chars();
    const int32_t length = text_.length();
    int32_t mark = -1;
    ParaProps pap;
    for (const Segment& seg : props_.segments()) {
        if (mark < seg.cpStart) {
            mark = seg.cpStart;
            while (mark + 1 < length && t[mark] != 0x0D && t[mark] != 0x07)
                ++mark;
            pap = props_.paraProps(mark);
        }
        const CharProps c = props_.charProps(pap, seg);
        const uint8_t charset = styles_.fontCharset(c.font);
        const int codePage = codePageOfCharset(charset);
        if (charset == word6::kSymbolCharset)
            text_.recode(seg.cpStart, seg.cpEnd, 0, styles_.fonts().value(c.font));
        else if (codePage && codePage != file_.codePage())
            text_.recode(seg.cpStart, seg.cpEnd, codePage);
    }
}

Document DocReader::read()
{
    readFieldTypes();
    // Bookmarks and comments, with the comments' texts.
    marks_.read(file_, text_.chars(), text_.length(), ccpText_,
                int32_t(std::min<qint64>(storyStart(fib::CcpAtn), text_.length())),
                [this](QTextDocument& doc, int32_t from, int32_t to) { buildDocument(doc, from, to); });
    readNotes();
    drawings_.readTextboxes([this](int32_t from, int32_t to) {
        auto text = Document().takeText();
        buildDocument(*text, from, to);
        return text;
    });

    Document doc;
    doc.page = toPageSetup(section_);
    for (size_t k = 1; k < sections_.size(); ++k)
        doc.laterSections.push_back({toPageSetup(sections_[k].props), {}, {}, {}, {}, {}, {}});
    buildDocument(doc.text(), 0, ccpText_);
    readHeaders(doc);
    return doc;
}

// The header stories follow the main text and the footnotes. The first six
// are the note separators, then six for each section (see HeaderKind). Even
// pages have stories of their own when the document properties say so.
void DocReader::readHeaders(Document& doc)
{
    const ByteView dop = file_.tableRange(fib::Dop);
    doc.oddAndEvenHeaders = dop.ok(0, 1) && (dop.u8(0) & 0x01);
    // Stories of a damaged file may overlap or repeat: what all of them
    // together hold is bounded by the header text itself.
    const qint64 budget = 4 * qint64(file_.storyLength(fib::CcpHdd)) + 65536;
    const auto storyOf = [this](size_t section, HeaderKind kind, qint64& left) {
        return headerStory(headerStoryIndex(section, kind), left);
    };
    readSectionStories(doc, storyOf, budget);
}

// Where story `kind` (a HeaderKind) of section `section` is among the
// header stories, or -1 when the section has none of that kind. Word 97
// keeps six stories for each section after six for the notes; Word 6.0/95
// keeps only those the document (for the notes) and each section say.
int DocReader::headerStoryIndex(size_t section, int kind) const
{
    if (!file_.word6())
        return int(6 + 6 * section) + kind;
    const ByteView dop = file_.tableRange(fib::Dop);
    int index = dop.ok(1, 1) ? std::popcount(unsigned(dop.u8(1))) : 0;
    for (size_t k = 0; k < section && k < sections_.size(); ++k)
        index += std::popcount(unsigned(sections_[k].props.headerStories & 0x3F));
    const unsigned bits = section < sections_.size() ? sections_[section].props.headerStories : 0;
    if (!(bits & (1u << kind)))
        return -1;
    return index + std::popcount(bits & ((1u << kind) - 1));
}

// Story `index` of the header stories, or null where it is empty or out of range.
std::unique_ptr<QTextDocument> DocReader::headerStory(int index, qint64& budget)
{
    const qint64 base = qint64(ccpText_) + file_.storyLength(fib::CcpFtn);
    const qint64 ccpHdd = file_.storyLength(fib::CcpHdd);
    const ByteView plc = file_.tableRange(fib::PlcfHdd);
    if (ccpHdd == 0 || plc.size() < 4 * 2 || base + ccpHdd > text_.length())
        return nullptr;
    const qint64 count = plc.size() / 4;
    // Story `index` runs up to the next CP; the last two CPs begin none.
    if (index < 0 || index + 2 >= count)
        return nullptr;
    const qint64 from = plc.i32(qint64(index) * 4);
    const qint64 to = plc.i32(qint64(index + 1) * 4);
    if (from < 0 || to <= from || to > ccpHdd || to - from > budget)
        return nullptr;
    budget -= to - from;
    auto text = Document().takeText();
    // A story ends with a paragraph mark of its own that only keeps it
    // apart from the next; text before it without a mark of its own
    // still makes a paragraph.
    buildDocument(*text, int32_t(base + from), int32_t(base + to - 1));
    return text;
}

qint64 DocReader::storyStart(int lwIndex) const
{
    // The stories follow one another: main text, footnotes, headers, macros,
    // comments, endnotes.
    // comments, endnotes, text boxes, text boxes of the headers.
    static constexpr int order[] = {fib::CcpText, fib::CcpFtn, fib::CcpHdd,  fib::CcpMcr,
                                    fib::CcpAtn,  fib::CcpEdn, fib::CcpTxbx, fib::CcpHdrTxbx};
    qint64 start = 0;
    for (int index : order) {
        if (index == lwIndex)
            break;
        start += index == fib::CcpText ? ccpText_ : file_.storyLength(index);
    }
    return start;
}

void DocReader::readFieldTypes()
{
    const std::pair<int, int> tables[] = {
        {fib::PlcfFldMom, fib::CcpText},
        {fib::PlcfFldFtn, fib::CcpFtn},
        {fib::PlcfFldHdr, fib::CcpHdd},
        {fib::PlcfFldEdn, fib::CcpEdn},
        {fib::PlcfFldTxbx, fib::CcpTxbx},
        {fib::PlcffldHdrTxbx, fib::CcpHdrTxbx},
    };
    for (auto [index, story] : tables) {
        // Word 6.0/95 files keep their text box fields elsewhere.
        if (file_.word6() && (story == fib::CcpTxbx || story == fib::CcpHdrTxbx))
            continue;
        const qint64 start = storyStart(story);
        if (start <= text_.length())
            readFieldTable(file_.tableRange(index), int32_t(start), fieldTypes_);
    }
    std::sort(fieldTypes_.begin(), fieldTypes_.end());
}

void DocReader::readNotes()
{
    std::vector<NoteRef> refs;
    auto read = [&](int refTable, int textTable, int story, bool endnote) {
        const qint64 start = storyStart(story);
        const qint64 length = file_.storyLength(story);
        if (length == 0 || start + length > text_.length())
            return;
        const auto notes = readNoteTables(file_.tableRange(refTable), file_.tableRange(textTable), ccpText_, int32_t(start),
                                          int32_t(length));
        for (const StoredNote& n : notes) {
            auto content = Document().takeText();
            int32_t from = n.from;
            // The note's text starts with its own numbered mark; the model
            // puts that back when writing.
            if (n.automatic && from < n.to && text_.chars()[from] == u'\x02')
                ++from;
            if (from < n.to)
                buildDocument(*content, from, n.to);
            refs.push_back({n.reference, n.automatic, endnote, saveNoteContent(*content)});
        }
    };
    readNoteNumbering();
    read(fib::PlcffndRef, fib::PlcffndTxt, fib::CcpFtn, false);
    read(fib::PlcfendRef, fib::PlcfendTxt, fib::CcpEdn, true);
    std::stable_sort(refs.begin(), refs.end(), [](const NoteRef& a, const NoteRef& b) { return a.cp < b.cp; });
    // A character is the reference of one note at most.
    refs.erase(std::unique(refs.begin(), refs.end(), [](const NoteRef& a, const NoteRef& b) { return a.cp == b.cp; }),
               refs.end());
    notes_.refs = std::move(refs);
}

void DocReader::readNoteNumbering()
{
    // The section says, or the document properties of Word 97 and later, or
    // those of older versions.
    const ByteView dop = file_.tableRange(fib::Dop);
    if (dop.ok(492, 4)) {
        notes_.footnoteFormat = dop.u16(492);
        notes_.endnoteFormat = dop.u16(494);
    } else if (dop.ok(54, 2)) {
        notes_.footnoteFormat = (dop.u16(54) >> 2) & 0x0F;
        notes_.endnoteFormat = (dop.u16(54) >> 6) & 0x0F;
    }
    notes_.footnoteFormat = section_.footnoteFormat.value_or(notes_.footnoteFormat);
    notes_.endnoteFormat = section_.endnoteFormat.value_or(notes_.endnoteFormat);
    // Formats past the stored field's four bits are not ones notes have.
    for (int* f : {&notes_.footnoteFormat, &notes_.endnoteFormat})
        if (*f < 0 || *f > 15)
            *f = NumberDecimal;
}

DrawingReader::Layout DocReader::drawingLayout() const
{
    DrawingReader::Layout l;
    l.headerBase = int32_t(storyStart(fib::CcpHdd));
    l.textboxBase = int32_t(std::min<qint64>(storyStart(fib::CcpTxbx), text_.length()));
    l.headerTextboxBase = int32_t(std::min<qint64>(storyStart(fib::CcpHdrTxbx), text_.length()));
    l.ccpTxbx = file_.storyLength(fib::CcpTxbx);
    l.ccpHdrTxbx = file_.storyLength(fib::CcpHdrTxbx);
    l.textLength = text_.length();
    l.textWidth = std::max(1440, section_.pageWidth - section_.left - section_.right);
    return l;
}

void DocReader::buildDocument(QTextDocument& doc, int32_t cpFrom, int32_t cpTo)
{
    buildStory(sources_, doc, cpFrom, cpTo);
}

} // namespace

Document readDoc(const QByteArray& docFileBytes)
{
    DocReader reader(docFileBytes);
    return reader.read();
}

} // namespace talvora::word

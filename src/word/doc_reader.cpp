#include "word/doc_reader.h"

#include "common/errors.h"
#include "word/binary.h"
#include "word/compound_file.h"
#include "word/doc_pictures.h"
#include "word/fib.h"
#include "word/fields.h"
#include "word/notes.h"
#include "word/sections.h"
#include "word/sprm.h"
#include "word/table_layout.h"
#include "word/text_formats.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace talvora::word {

namespace {

[[noreturn]] void damaged(const QString& what)
{
    throw Error(QStringLiteral("Документ Word повреждён: %1").arg(what));
}

const QString kEncrypted = QStringLiteral(
    "Документ зашифрован (защищён паролем на открытие) и не может быть прочитан. "
    "Снимите пароль в Word и сохраните документ заново.");
const QString kOldFormat = QStringLiteral(
    "Документ сохранён в формате Word 6.0/95 или более старом, который не поддерживается. "
    "Сохраните его в Word как «Документ Word 97–2003».");

// Bytes 0x80–0x9F of 8-bit text pieces stand for these characters; every
// other byte is the code point of the same value.
constexpr char16_t kCompressedHigh[32] = {
    0x0080, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
};

struct Piece {
    int32_t cpStart = 0, cpEnd = 0;
    uint32_t fc = 0;       // byte offset of the first character
    bool compressed = false;
    uint16_t prm = 0;
    int bytesPerChar() const { return compressed ? 1 : 2; }
};

// A run of a formatted disk page: bytes [fcStart, fcEnd) of the text carry `grpprl`.
struct FkpRun {
    uint32_t fcStart = 0, fcEnd = 0;
    ByteView grpprl;
    uint16_t istd = 0;
};

struct StyleDef {
    bool present = false;
    uint16_t sti = 0x0FFE;
    uint8_t kind = 0; // 1 paragraph, 2 character, 3 table, 4 list
    uint16_t base = 0x0FFF;
    QString name;
    ByteView papx;
    ByteView chpx;
};

// One stretch of main text whose character formatting is the same.
struct Segment {
    int32_t cpStart = 0, cpEnd = 0;
    ByteView grpprl;
    int piece = 0;
};

struct Paragraph {
    int32_t start = 0, end = 0; // [start, end) without the mark
    ParaProps pap;
    int startsSection = 0; // ended by a section mark: the section that follows (see sectionAfter)
    TableMark mark;
};

QByteArray singleModifier(uint16_t prm);

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

// A level of a list definition with the paragraph properties it brings.
struct StoredLevel {
    ListLevel level;
    ByteView papx;
};

struct ListDef {
    int32_t id = 0;
    std::vector<StoredLevel> levels; // one for a simple list, nine otherwise
};

// A list as paragraphs refer to it: a definition, with levels that may be
// restarted or replaced.
struct ListUse {
    int definition = -1;
    std::array<std::optional<int>, 9> start;
    std::array<std::optional<StoredLevel>, 9> replaced;
};

// A footnote or endnote reference of the main text with the note's content.
struct NoteRef {
    int32_t cp = 0;
    bool automatic = true;
    bool endnote = false;
    QByteArray content;
};

class DocReader {
public:
    explicit DocReader(const QByteArray& bytes);
    Document read();

private:
    void readFib();
    void readPieces();
    void readText();
    void readFonts();
    void readStyles();
    void readSection();
    void readLists();
    void readListDefinitions();
    void readListOverrides();
    qint64 readListLevel(ByteView v, qint64 at, StoredLevel& out) const;
    const StoredLevel* listLevel(const ParaProps& pap, int* start = nullptr) const;
    std::vector<FkpRun> readFkps(int plcIndex, bool paragraphs);
    std::pair<uint32_t, uint32_t> fcLcb(int index) const;
    ByteView tableRange(int index) const;

    uint32_t fcOf(int32_t cp, int* pieceIndex = nullptr) const;
    const FkpRun* runAt(const std::vector<FkpRun>& runs, uint32_t fc, size_t* nextIndex = nullptr) const;
    ByteView pieceGrpprl(int piece) const;
    std::vector<QByteArray> prm0_; // per piece: its single modifier, if any

    const ParaProps& styleParaProps(uint16_t istd, int depth = 0);
    const CharProps& styleCharProps(uint16_t istd, int depth = 0);
    CharProps charProps(const ParaProps& pap, const Segment& seg);
    ParaProps paraProps(int32_t markCp);
    TableRowDef rowDef(int32_t markCp);
    void forEachParaSprm(int32_t markCp, uint16_t* istd, const std::function<void(uint16_t, ByteView)>& visit);

    void buildSegments();
    class StoryBuilder;
    void buildDocument(QTextDocument& doc, int32_t cpFrom, int32_t cpTo);
    void readHeaders(Document& doc);
    std::unique_ptr<QTextDocument> headerStory(int index, qint64& budget);
    int sectionAfter(int32_t cp) const;
    qint64 storyStart(int lwIndex) const;
    void readFieldTypes();
    void readNotes();
    void readNoteNumbering();
    QTextCharFormat noteReferenceFormat(const NoteRef& note, const QTextCharFormat& plain);

    QByteArray fileBytes_;
    QByteArray word_;
    QByteArray table_;
    QByteArray data_;
    ByteView wv_, tv_, dv_;
    PictureReader pictures_{ByteView()};

    uint16_t nFib_ = 0;
    uint16_t flags_ = 0;
    std::array<int32_t, 11> lw_{};
    std::vector<std::pair<uint32_t, uint32_t>> fcLcb_;

    std::vector<Piece> pieces_;
    std::vector<ByteView> prcs_;
    QString text_;
    int32_t ccpText_ = 0;
    int32_t textLength_ = 0; // all stories together

    QStringList fonts_;
    std::vector<StyleDef> styles_;
    uint16_t defaultFont_ = 0;
    std::vector<std::optional<ParaProps>> stylePap_;
    std::vector<std::optional<CharProps>> styleChp_;
    std::vector<char> resolving_;

    std::vector<FkpRun> chpRuns_, papRuns_;
    std::vector<Segment> segments_;
    SectionProps section_;
    std::vector<StoredSection> sections_;
    std::vector<ListDef> lists_;
    std::vector<ListUse> listUses_; // paragraphs name them from 1
    FieldTypes fieldTypes_;
    int fieldIds_ = 0;
    std::vector<NoteRef> noteRefs_; // by CP
    int noteIds_ = 0;
    int footnoteFormat_ = NumberDecimal, endnoteFormat_ = NumberDecimal;
};

DocReader::DocReader(const QByteArray& bytes) : fileBytes_(bytes) {}

std::pair<uint32_t, uint32_t> DocReader::fcLcb(int index) const
{
    if (index < 0 || size_t(index) >= fcLcb_.size())
        return {0, 0};
    return fcLcb_[index];
}

ByteView DocReader::tableRange(int index) const
{
    const auto [fc, lcb] = fcLcb(index);
    if (lcb == 0 || !tv_.ok(fc, lcb))
        return {};
    return tv_.sub(fc, lcb);
}

Document DocReader::read()
{
    if (!CompoundFileReader::looksLikeCompoundFile(fileBytes_)) {
        // Word for DOS and Windows up to 2.0 wrote plain files with their own header.
        const ByteView v(fileBytes_);
        if (v.ok(0, 2) && (v.u16(0) == 0xA59B || v.u16(0) == 0xA5DB || v.u16(0) == 0xA5EC))
            throw Error(kOldFormat);
        throw Error(QStringLiteral("Файл не является документом Word 97–2003"));
    }
    CompoundFileReader cfb(fileBytes_);
    if (!cfb.hasStream(QStringLiteral("WordDocument"))) {
        if (cfb.hasStream(QStringLiteral("EncryptionInfo")) || cfb.hasStream(QStringLiteral("EncryptedPackage")))
            throw Error(kEncrypted);
        throw Error(QStringLiteral("Файл не является документом Word: в нём нет потока WordDocument"));
    }
    word_ = cfb.stream(QStringLiteral("WordDocument"));
    wv_ = ByteView(word_);
    readFib();
    const QString tableName = (flags_ & fib::kFlagWhichTable) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    if (!cfb.hasStream(tableName))
        damaged(QStringLiteral("нет потока %1").arg(tableName));
    table_ = cfb.stream(tableName);
    tv_ = ByteView(table_);
    if (cfb.hasStream(QStringLiteral("Data"))) {
        data_ = cfb.stream(QStringLiteral("Data"));
        dv_ = ByteView(data_);
        pictures_ = PictureReader(dv_);
    }

    readPieces();
    readText();
    readFonts();
    readStyles();
    readSection();
    readLists();
    chpRuns_ = readFkps(fib::PlcfBteChpx, false);
    papRuns_ = readFkps(fib::PlcfBtePapx, true);
    buildSegments();
    readFieldTypes();
    readNotes();

    Document doc;
    doc.page = toPageSetup(section_);
    for (size_t k = 1; k < sections_.size(); ++k)
        doc.laterSections.push_back({toPageSetup(sections_[k].props), nullptr, nullptr, nullptr, nullptr});
    buildDocument(doc.text(), 0, ccpText_);
    readHeaders(doc);
    return doc;
}

// The header stories follow the main text and the footnotes. The first six
// are the note separators, then six for each section: even header, odd
// header, even footer, odd footer, first-page header and footer. A section
// whose story is empty goes on with the one of the section before.
void DocReader::readHeaders(Document& doc)
{
    std::unique_ptr<QTextDocument>* first[] = {&doc.header, &doc.footer, &doc.firstHeader, &doc.firstFooter};
    const bool titlePage = section_.titlePage;
    static constexpr int kinds[] = {1, 3, 4, 5};
    std::array<const QTextDocument*, 4> previous{};
    // Stories of a damaged file may overlap or repeat: what all of them
    // together hold is bounded by the header text itself.
    qint64 budget = 4 * qint64(std::max<int32_t>(0, lw_[fib::CcpHdd])) + 65536;
    std::vector<std::unique_ptr<QTextDocument>> unshown; // first-page stories of sections without a title page
    const size_t sectionCount = 1 + doc.laterSections.size();
    for (size_t k = 0; k < sectionCount; ++k) {
        Section* later = k == 0 ? nullptr : &doc.laterSections[k - 1];
        std::unique_ptr<QTextDocument>* targets[] = {later ? &later->header : first[0], later ? &later->footer : first[1],
                                                   later ? &later->firstHeader : first[2],
                                                   later ? &later->firstFooter : first[3]};
        const bool hasFirst = later ? later->page.titlePage : titlePage;
        for (size_t i = 0; i < 4; ++i) {
            auto story = headerStory(int(6 + 6 * k) + kinds[i], budget);
            if (!story && previous[i] && budget >= previous[i]->characterCount()) {
                budget -= previous[i]->characterCount();
                story.reset(previous[i]->clone());
            }
            previous[i] = story.get();
            if (i < 2 || hasFirst)
                *targets[i] = std::move(story);
            else
                unshown.push_back(std::move(story)); // a later section may still go on with it
        }
    }
}

// Story `index` of the header stories, or null where it is empty or out of range.
std::unique_ptr<QTextDocument> DocReader::headerStory(int index, qint64& budget)
{
    const qint64 base = qint64(ccpText_) + std::max<int32_t>(0, lw_[fib::CcpFtn]);
    const qint64 ccpHdd = std::max<int32_t>(0, lw_[fib::CcpHdd]);
    const ByteView plc = tableRange(fib::PlcfHdd);
    if (ccpHdd == 0 || plc.size() < 4 * 2 || base + ccpHdd > textLength_)
        return nullptr;
    const qint64 count = plc.size() / 4;
    // Story `index` runs up to the next CP; the last two CPs begin none.
    if (index + 2 >= count)
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

// The later section (1, 2, …) that starts just past `cp`, or 0.
int DocReader::sectionAfter(int32_t cp) const
{
    // The ends rise: a damaged file with many section marks stays quick.
    const auto it = std::lower_bound(sections_.begin(), sections_.end(), cp + 1,
                                     [](const StoredSection& s, int32_t end) { return s.cpEnd < end; });
    if (it == sections_.end() || it->cpEnd != cp + 1 || it + 1 == sections_.end())
        return 0;
    return int(it - sections_.begin()) + 1;
}

qint64 DocReader::storyStart(int lwIndex) const
{
    // The stories follow one another: main text, footnotes, headers, macros,
    // comments, endnotes.
    static constexpr int order[] = {fib::CcpText, fib::CcpFtn, fib::CcpHdd, fib::CcpMcr, fib::CcpAtn, fib::CcpEdn};
    qint64 start = 0;
    for (int index : order) {
        if (index == lwIndex)
            break;
        start += index == fib::CcpText ? ccpText_ : std::max<int32_t>(0, lw_[size_t(index)]);
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
    };
    for (auto [index, story] : tables) {
        const qint64 start = storyStart(story);
        if (start <= textLength_)
            readFieldTable(tableRange(index), int32_t(start), fieldTypes_);
    }
    std::sort(fieldTypes_.begin(), fieldTypes_.end());
}

void DocReader::readNotes()
{
    std::vector<NoteRef> refs;
    auto read = [&](int refTable, int textTable, int story, bool endnote) {
        const qint64 start = storyStart(story);
        const qint64 length = std::max<int32_t>(0, lw_[size_t(story)]);
        if (length == 0 || start + length > textLength_)
            return;
        const auto notes = readNoteTables(tableRange(refTable), tableRange(textTable), ccpText_, int32_t(start),
                                          int32_t(length));
        for (const StoredNote& n : notes) {
            auto content = Document().takeText();
            int32_t from = n.from;
            // The note's text starts with its own numbered mark; the model
            // puts that back when writing.
            if (n.automatic && from < n.to && text_[from] == u'\x02')
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
    noteRefs_ = std::move(refs);
}

void DocReader::readNoteNumbering()
{
    // The section says, or the document properties of Word 97 and later, or
    // those of older versions.
    const ByteView dop = tableRange(fib::Dop);
    if (dop.ok(492, 4)) {
        footnoteFormat_ = dop.u16(492);
        endnoteFormat_ = dop.u16(494);
    } else if (dop.ok(54, 2)) {
        footnoteFormat_ = (dop.u16(54) >> 2) & 0x0F;
        endnoteFormat_ = (dop.u16(54) >> 6) & 0x0F;
    }
    footnoteFormat_ = section_.footnoteFormat.value_or(footnoteFormat_);
    endnoteFormat_ = section_.endnoteFormat.value_or(endnoteFormat_);
    // Formats past the stored field's four bits are not ones notes have.
    for (int* f : {&footnoteFormat_, &endnoteFormat_})
        if (*f < 0 || *f > 15)
            *f = NumberDecimal;
}

QTextCharFormat DocReader::noteReferenceFormat(const NoteRef& ref, const QTextCharFormat& plain)
{
    QTextCharFormat f = plain;
    NoteInfo note;
    note.content = ref.content;
    note.id = ++noteIds_;
    note.endnote = ref.endnote;
    note.customMark = !ref.automatic;
    note.numberFormat = ref.endnote ? endnoteFormat_ : footnoteFormat_;
    setNote(f, note);
    if (ref.automatic && f.verticalAlignment() == QTextCharFormat::AlignNormal)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    return f;
}

void DocReader::readFib()
{
    if (!wv_.ok(0, fib::kBaseSize + 2))
        damaged(QStringLiteral("заголовок FIB обрезан"));
    const uint16_t ident = wv_.u16(0);
    nFib_ = wv_.u16(2);
    flags_ = wv_.u16(0x0A);
    if (flags_ & (fib::kFlagEncrypted | fib::kFlagObfuscated))
        throw Error(kEncrypted);
    if (ident != fib::kIdent && ident != 0xA5DC)
        throw Error(QStringLiteral("Файл не является документом Word: неверная подпись FIB"));
    if (nFib_ < fib::kWord97)
        throw Error(kOldFormat);

    qint64 at = fib::kBaseSize;
    const uint16_t csw = wv_.u16(at);
    at += 2 + 2 * qint64(csw);
    const uint16_t cslw = wv_.u16(at);
    at += 2;
    for (int i = 0; i < int(lw_.size()) && i < cslw; ++i)
        lw_[i] = wv_.i32(at + 4 * i);
    at += 4 * qint64(cslw);
    const uint16_t cbRgFcLcb = wv_.u16(at);
    at += 2;
    const int pairs = std::min<int>(cbRgFcLcb, fib::kRgFcLcb97Count);
    if (!wv_.ok(at, qint64(pairs) * 8))
        damaged(QStringLiteral("заголовок FIB обрезан"));
    fcLcb_.resize(fib::kRgFcLcb97Count, {0, 0});
    for (int i = 0; i < pairs; ++i)
        fcLcb_[i] = {wv_.u32(at + 8 * i), wv_.u32(at + 8 * i + 4)};
    ccpText_ = std::max<int32_t>(0, lw_[fib::CcpText]);
}

void DocReader::readPieces()
{
    const ByteView clx = tableRange(fib::Clx);
    if (clx.size() == 0)
        damaged(QStringLiteral("нет таблицы фрагментов текста"));
    qint64 at = 0;
    ByteView plc;
    bool found = false;
    while (clx.ok(at, 1)) {
        const uint8_t type = clx.u8(at);
        if (type == 1) {
            const int16_t cb = clx.i16(at + 1);
            if (cb < 0)
                damaged(QStringLiteral("неверная длина свойств фрагмента"));
            prcs_.push_back(clx.sub(at + 3, cb));
            at += 3 + cb;
        } else if (type == 2) {
            const uint32_t lcb = clx.u32(at + 1);
            plc = clx.sub(at + 5, lcb);
            found = true;
            break;
        } else {
            damaged(QStringLiteral("неверная таблица фрагментов текста"));
        }
    }
    if (!found || plc.size() < 4 + 12)
        damaged(QStringLiteral("нет таблицы фрагментов текста"));
    const qint64 n = (plc.size() - 4) / 12;
    pieces_.reserve(size_t(n));
    int32_t previous = 0;
    qint64 totalChars = 0;
    for (qint64 i = 0; i < n; ++i) {
        Piece p;
        p.cpStart = plc.i32(4 * i);
        p.cpEnd = plc.i32(4 * (i + 1));
        const qint64 pcd = 4 * (n + 1) + 8 * i;
        const uint32_t fcRaw = plc.u32(pcd + 2);
        p.prm = plc.u16(pcd + 6);
        p.compressed = (fcRaw & 0x40000000) != 0;
        p.fc = p.compressed ? (fcRaw & 0x3FFFFFFF) / 2 : (fcRaw & 0x3FFFFFFF);
        if (p.cpStart != previous || p.cpEnd < p.cpStart)
            damaged(QStringLiteral("фрагменты текста не следуют друг за другом"));
        const qint64 chars = qint64(p.cpEnd) - p.cpStart;
        if (!wv_.ok(p.fc, chars * p.bytesPerChar()))
            damaged(QStringLiteral("фрагмент текста выходит за границы потока"));
        totalChars += chars;
        // Every character occupies at least one byte of the stream, so a longer
        // text means pieces reuse the same bytes: refuse it rather than grow.
        if (totalChars > wv_.size())
            damaged(QStringLiteral("фрагменты текста длиннее потока"));
        previous = p.cpEnd;
        pieces_.push_back(p);
        prm0_.push_back((p.prm & 1) ? QByteArray() : singleModifier(p.prm));
    }
}

void DocReader::readText()
{
    qint64 total = pieces_.empty() ? 0 : pieces_.back().cpEnd;
    text_.resize(qsizetype(total));
    char16_t* out = reinterpret_cast<char16_t*>(text_.data());
    for (const Piece& p : pieces_) {
        const qint64 chars = qint64(p.cpEnd) - p.cpStart;
        const char* src = wv_.data() + p.fc;
        char16_t* dst = out + p.cpStart;
        if (p.compressed) {
            for (qint64 i = 0; i < chars; ++i) {
                const uint8_t b = uint8_t(src[i]);
                dst[i] = (b >= 0x80 && b <= 0x9F) ? kCompressedHigh[b - 0x80] : char16_t(b);
            }
        } else {
            for (qint64 i = 0; i < chars; ++i)
                dst[i] = le16(src + 2 * i);
        }
    }
    textLength_ = int32_t(total);
    ccpText_ = std::min<int32_t>(ccpText_, textLength_);
}

void DocReader::readFonts()
{
    const ByteView st = tableRange(fib::SttbfFfn);
    if (st.size() < 4)
        return;
    qint64 at = 0;
    int count = st.u16(0);
    if (count == 0xFFFF) {
        count = st.u16(2);
        at = 2;
    }
    const int extra = st.u16(at + 2);
    at += 4;
    for (int i = 0; i < count && st.ok(at, 1); ++i) {
        const int cb = st.u8(at);
        QString name;
        if (st.ok(at + 1, cb)) {
            for (qint64 k = 39; k + 1 < cb; k += 2) {
                const char16_t c = st.u16(at + 1 + k);
                if (c == 0)
                    break;
                name.append(QChar(c));
            }
        }
        fonts_ << name;
        at += 1 + cb + extra;
    }
}

void DocReader::readStyles()
{
    const ByteView s = tableRange(fib::Stshf);
    if (s.size() < 4)
        return;
    const int cbStshi = s.u16(0);
    if (!s.ok(2, cbStshi) || cbStshi < 4)
        return;
    const int cstd = s.u16(2);
    const int cbBase = s.u16(4);
    if (cbStshi >= 14)
        defaultFont_ = s.u16(2 + 12);
    qint64 at = 2 + cbStshi;
    styles_.resize(size_t(cstd));
    for (int i = 0; i < cstd && s.ok(at, 2); ++i) {
        const int cbStd = s.u16(at);
        at += 2;
        if (cbStd == 0)
            continue;
        if (!s.ok(at, cbStd))
            break;
        const ByteView std = s.sub(at, cbStd);
        at += cbStd;
        if (cbStd < cbBase || cbBase < 10)
            continue;
        StyleDef& d = styles_[size_t(i)];
        d.present = true;
        d.sti = std.u16(0) & 0x0FFF;
        d.kind = std.u16(2) & 0x000F;
        d.base = std.u16(2) >> 4;
        const int cupx = std.u16(4) & 0x000F;
        qint64 p = cbBase;
        if (std.ok(p, 2)) {
            const int cch = std.u16(p);
            if (std.ok(p + 2, 2 * qint64(cch))) {
                for (int k = 0; k < cch; ++k)
                    d.name.append(QChar(char16_t(std.u16(p + 2 + 2 * k))));
            }
            p += 2 + 2 * qint64(cch) + 2;
        }
        // The property groups, each with its length, padded to even size.
        std::vector<ByteView> upx;
        for (int k = 0; k < cupx && std.ok(p, 2); ++k) {
            const int cb = std.u16(p);
            if (!std.ok(p + 2, cb))
                break;
            upx.push_back(std.sub(p + 2, cb));
            p += 2 + cb + (cb & 1);
        }
        auto papxOf = [](ByteView u) { return u.size() >= 2 ? u.sub(2, u.size() - 2) : ByteView(); };
        if (d.kind == 1) {
            if (upx.size() > 0)
                d.papx = papxOf(upx[0]);
            if (upx.size() > 1)
                d.chpx = upx[1];
        } else if (d.kind == 2) {
            if (upx.size() > 0)
                d.chpx = upx[0];
        } else if (d.kind == 3) {
            if (upx.size() > 1)
                d.papx = papxOf(upx[1]);
            if (upx.size() > 2)
                d.chpx = upx[2];
        } else if (d.kind == 4) {
            if (upx.size() > 0)
                d.papx = papxOf(upx[0]);
        }
    }
    stylePap_.resize(styles_.size());
    styleChp_.resize(styles_.size());
    resolving_.assign(styles_.size(), 0);
}

// Base chains longer than this come only from damaged files; their far end is ignored.
constexpr int kMaxStyleDepth = 32;

const ParaProps& DocReader::styleParaProps(uint16_t istd, int depth)
{
    static const ParaProps none;
    if (istd >= styles_.size() || !styles_[istd].present || depth > kMaxStyleDepth)
        return none;
    if (stylePap_[istd])
        return *stylePap_[istd];
    if (resolving_[istd] & 1)
        return none; // a base chain that loops back
    resolving_[istd] |= 1;
    const StyleDef& d = styles_[istd];
    ParaProps p = d.base != 0x0FFF && d.base != istd ? styleParaProps(d.base, depth + 1) : ParaProps{};
    forEachSprm(d.papx, [&](uint16_t code, ByteView o) { applyParaSprm(p, code, o); });
    p.style = istd;
    resolving_[istd] &= ~1;
    stylePap_[istd] = p;
    return *stylePap_[istd];
}

const CharProps& DocReader::styleCharProps(uint16_t istd, int depth)
{
    static thread_local CharProps none;
    none = CharProps{};
    none.font = defaultFont_;
    if (istd >= styles_.size() || !styles_[istd].present || depth > kMaxStyleDepth)
        return none;
    if (styleChp_[istd])
        return *styleChp_[istd];
    if (resolving_[istd] & 2)
        return none;
    resolving_[istd] |= 2;
    const StyleDef& d = styles_[istd];
    const CharProps base = d.base != 0x0FFF && d.base != istd ? styleCharProps(d.base, depth + 1) : none;
    CharProps c = base;
    forEachSprm(d.chpx, [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    resolving_[istd] &= ~2;
    styleChp_[istd] = c;
    return *styleChp_[istd];
}

std::vector<FkpRun> DocReader::readFkps(int plcIndex, bool paragraphs)
{
    std::vector<FkpRun> runs;
    const ByteView plc = tableRange(plcIndex);
    if (plc.size() < 12)
        return runs;
    const qint64 n = (plc.size() - 4) / 8;
    std::vector<uint32_t> pages;
    pages.reserve(size_t(n));
    for (qint64 i = 0; i < n; ++i)
        pages.push_back(plc.u32(4 * (n + 1) + 4 * i) & 0x3FFFFF);
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    // A run covers at least one character, so more runs than characters (plus
    // one per page) can only come from a damaged file.
    const size_t maxRuns = size_t(text_.size()) + pages.size() + 16;

    for (uint32_t pn : pages) {
        const qint64 base = qint64(pn) * 512;
        if (!wv_.ok(base, 512))
            continue;
        const ByteView page = wv_.sub(base, 512);
        const int count = page.u8(511);
        const qint64 tableEnd = 4 * qint64(count + 1) + qint64(count) * (paragraphs ? 13 : 1);
        if (count == 0 || tableEnd > 511)
            continue;
        for (int i = 0; i < count; ++i) {
            FkpRun run;
            run.fcStart = page.u32(4 * i);
            run.fcEnd = page.u32(4 * (i + 1));
            if (run.fcEnd <= run.fcStart)
                continue;
            const int b = page.u8(4 * qint64(count + 1) + (paragraphs ? 13 * i : i));
            if (b != 0) {
                const qint64 off = 2 * qint64(b);
                if (!paragraphs) {
                    const int cb = page.u8(off);
                    if (page.ok(off + 1, cb) && off + 1 + cb <= 511)
                        run.grpprl = page.sub(off + 1, cb);
                } else {
                    int cb = page.u8(off);
                    qint64 start = off + 1;
                    qint64 size = 2 * qint64(cb) - 1;
                    if (cb == 0) {
                        size = 2 * qint64(page.u8(off + 1));
                        start = off + 2;
                    }
                    if (size >= 2 && page.ok(start, size) && start + size <= 511) {
                        run.istd = page.u16(start);
                        run.grpprl = page.sub(start + 2, size - 2);
                    }
                }
            }
            runs.push_back(run);
            if (runs.size() > maxRuns)
                damaged(QStringLiteral("слишком много участков форматирования"));
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const FkpRun& a, const FkpRun& b) { return a.fcStart < b.fcStart; });
    return runs;
}

uint32_t DocReader::fcOf(int32_t cp, int* pieceIndex) const
{
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), cp,
                               [](int32_t v, const Piece& p) { return v < p.cpStart; });
    if (it == pieces_.begin())
        return 0;
    --it;
    if (it->cpEnd <= cp && std::next(it) != pieces_.end())
        ++it;
    if (pieceIndex)
        *pieceIndex = int(it - pieces_.begin());
    return it->fc + uint32_t(cp - it->cpStart) * uint32_t(it->bytesPerChar());
}

const FkpRun* DocReader::runAt(const std::vector<FkpRun>& runs, uint32_t fc, size_t* nextIndex) const
{
    auto it = std::upper_bound(runs.begin(), runs.end(), fc, [](uint32_t v, const FkpRun& r) { return v < r.fcStart; });
    if (nextIndex)
        *nextIndex = size_t(it - runs.begin());
    if (it == runs.begin())
        return nullptr;
    const FkpRun& r = *std::prev(it);
    return fc < r.fcEnd ? &r : nullptr;
}

ByteView DocReader::pieceGrpprl(int piece) const
{
    const uint16_t prm = pieces_[size_t(piece)].prm;
    if (prm & 1) {
        const size_t index = prm >> 1;
        if (index < prcs_.size())
            return prcs_[index];
        return {};
    }
    return ByteView(prm0_[size_t(piece)]);
}

// A piece may carry one modifier with a one-byte operand in place of a
// reference to a group: its number selects the modifier.
QByteArray singleModifier(uint16_t prm)
{
    static const std::pair<uint8_t, uint16_t> table[] = {
        {0x04, sprm::PJc80},          {0x05, sprm::PJc80},       {0x07, sprm::PFKeep},
        {0x08, sprm::PFKeepFollow},   {0x09, sprm::PFPageBreakBefore}, {0x18, sprm::PFInTable},
        {0x19, sprm::PFTtp},          {0x41, sprm::CFRMarkDel},  {0x43, sprm::CFFldVanish},
        {0x4D, sprm::CHighlight},     {0x55, sprm::CFBold},      {0x56, sprm::CFItalic},
        {0x57, sprm::CFStrike},       {0x58, sprm::CFOutline},   {0x59, sprm::CFShadow},
        {0x5A, sprm::CFSmallCaps},    {0x5B, sprm::CFCaps},      {0x5C, sprm::CFVanish},
        {0x5E, sprm::CKul},
    };
    const uint8_t isprm = (prm >> 1) & 0x7F;
    const uint8_t value = uint8_t(prm >> 8);
    for (auto [index, code] : table) {
        if (index == isprm) {
            QByteArray g;
            ByteWriter w(g);
            w.u16(code);
            w.u8(value);
            return g;
        }
    }
    return {};
}

void DocReader::readSection()
{
    sections_ = readSectionTable(tableRange(fib::PlcfSed), wv_, ccpText_);
    // The first section carries the page set-up of the document.
    if (!sections_.empty())
        section_ = sections_.front().props;
}

// Limits no real list reaches; a count past them comes from a damaged file.
constexpr int kMaxLists = 4096;

qint64 DocReader::readListLevel(ByteView v, qint64 at, StoredLevel& out) const
{
    // The fixed part (LVLF), the paragraph and character modifiers, then the
    // number text with its length.
    if (!v.ok(at, 28))
        return -1;
    ListLevel& l = out.level;
    l.start = v.i32(at);
    l.numberFormat = v.u8(at + 4);
    l.alignment = std::min(v.u8(at + 5) & 0x03, 2);
    l.follow = std::min<int>(v.u8(at + 15), 2);
    const int cbChpx = v.u8(at + 24);
    const int cbPapx = v.u8(at + 25);
    qint64 p = at + 28;
    if (!v.ok(p, qint64(cbPapx) + cbChpx + 2))
        return -1;
    out.papx = v.sub(p, cbPapx);
    p += cbPapx + cbChpx;
    const int cch = v.u16(p);
    p += 2;
    if (!v.ok(p, 2 * qint64(cch)))
        return -1;
    l.text.clear();
    for (int k = 0; k < cch; ++k) {
        const char16_t c = v.u16(p + 2 * k);
        // Placeholders name levels 1–9; anything else below a space is dropped.
        if (c < 9 || c >= 0x20)
            l.text.append(QChar(c));
    }
    return p + 2 * qint64(cch);
}

void DocReader::readLists()
{
    readListDefinitions();
    readListOverrides();
}

void DocReader::readListDefinitions()
{
    const auto [fcLst, lcbLst] = fcLcb(fib::PlfLst);
    if (lcbLst >= 2 && tv_.ok(fcLst, lcbLst)) {
        const int count = tv_.i16(fcLst);
        // The definitions (LSTF, 28 bytes each), then the levels of all of
        // them one after another, right after the definitions.
        if (count > 0 && count <= kMaxLists && 2 + 28 * qint64(count) <= qint64(lcbLst)) {
            qint64 levelAt = qint64(fcLst) + lcbLst;
            for (int i = 0; i < count; ++i) {
                const qint64 at = fcLst + 2 + 28 * qint64(i);
                ListDef def;
                def.id = tv_.i32(at);
                const bool simple = tv_.u8(at + 26) & 0x01;
                const int levels = simple ? 1 : 9;
                bool whole = true;
                for (int k = 0; k < levels; ++k) {
                    StoredLevel level;
                    const qint64 next = readListLevel(tv_, levelAt, level);
                    if (next < 0) {
                        whole = false;
                        break;
                    }
                    levelAt = next;
                    def.levels.push_back(level);
                }
                if (!def.levels.empty())
                    lists_.push_back(std::move(def));
                if (!whole)
                    break;
            }
        }
    }
}

void DocReader::readListOverrides()
{
    const auto [fcLfo, lcbLfo] = fcLcb(fib::PlfLfo);
    if (lcbLfo < 4 || !tv_.ok(fcLfo, lcbLfo))
        return;
    const ByteView lfo = tv_.sub(fcLfo, lcbLfo);
    const uint32_t count = lfo.u32(0);
    if (count == 0 || count > uint32_t(kMaxLists) || !lfo.ok(4, 16 * qint64(count)))
        return;
    std::vector<int> overrides(count, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const qint64 at = 4 + 16 * qint64(i);
        const int32_t id = lfo.i32(at);
        ListUse use;
        for (size_t d = 0; d < lists_.size(); ++d)
            if (lists_[d].id == id) {
                use.definition = int(d);
                break;
            }
        overrides[i] = lfo.u8(at + 12);
        listUses_.push_back(use);
    }
    // After the lists, for each of them: a position, then its overridden
    // levels, each with a new start value or a whole new level.
    qint64 at = 4 + 16 * qint64(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!lfo.ok(at, 4))
            return;
        at += 4;
        for (int k = 0; k < overrides[i]; ++k) {
            if (!lfo.ok(at, 8))
                return;
            const int32_t start = lfo.i32(at);
            const uint32_t flags = lfo.u32(at + 4);
            at += 8;
            const size_t level = flags & 0x0F;
            std::optional<StoredLevel> replaced;
            if (flags & 0x20) {
                StoredLevel l;
                at = readListLevel(lfo, at, l);
                if (at < 0)
                    return;
                replaced = l;
            }
            if (level >= 9)
                continue;
            if (flags & 0x10)
                listUses_[i].start[level] = start;
            if (replaced)
                listUses_[i].replaced[level] = replaced;
        }
    }
}

const StoredLevel* DocReader::listLevel(const ParaProps& pap, int* start) const
{
    if (pap.listIndex <= 0 || size_t(pap.listIndex) > listUses_.size())
        return nullptr;
    const ListUse& use = listUses_[size_t(pap.listIndex) - 1];
    const size_t level = size_t(std::clamp(pap.listLevel, 0, 8));
    const StoredLevel* l = nullptr;
    if (use.replaced[level])
        l = &*use.replaced[level];
    else if (use.definition >= 0) {
        const auto& levels = lists_[size_t(use.definition)].levels;
        l = &levels[std::min(level, levels.size() - 1)];
    }
    if (l && start)
        *start = use.start[level].value_or(l->level.start);
    return l;
}

void DocReader::buildSegments()
{
    int32_t cp = 0;
    for (size_t pi = 0; pi < pieces_.size() && cp < textLength_; ++pi) {
        const Piece& p = pieces_[pi];
        cp = std::max(cp, p.cpStart);
        const int32_t end = std::min(p.cpEnd, textLength_);
        const int bpc = p.bytesPerChar();
        while (cp < end) {
            const uint32_t fc = p.fc + uint32_t(cp - p.cpStart) * uint32_t(bpc);
            size_t next = 0;
            const FkpRun* run = runAt(chpRuns_, fc, &next);
            uint32_t fcEnd = 0;
            Segment s;
            s.piece = int(pi);
            s.cpStart = cp;
            if (run) {
                fcEnd = run->fcEnd;
                s.grpprl = run->grpprl;
            } else {
                fcEnd = next < chpRuns_.size() ? chpRuns_[next].fcStart : 0xFFFFFFFF;
            }
            const qint64 span = (qint64(fcEnd) - fc + bpc - 1) / bpc;
            s.cpEnd = int32_t(std::min<qint64>(end, cp + std::max<qint64>(1, span)));
            if (!segments_.empty() && segments_.back().cpEnd == s.cpStart
                && segments_.back().grpprl.data() == s.grpprl.data() && segments_.back().grpprl.size() == s.grpprl.size()
                && segments_.back().piece == s.piece)
                segments_.back().cpEnd = s.cpEnd;
            else
                segments_.push_back(s);
            cp = s.cpEnd;
        }
    }
}

void DocReader::forEachParaSprm(int32_t markCp, uint16_t* istd, const std::function<void(uint16_t, ByteView)>& visit)
{
    int piece = 0;
    const uint32_t fc = fcOf(markCp, &piece);
    const FkpRun* run = runAt(papRuns_, fc);
    if (istd)
        *istd = run ? run->istd : 0;
    auto apply = [&](uint16_t code, ByteView o) {
        if (code == sprm::PHugePapx) {
            // The properties did not fit the page; they are in the Data stream.
            const uint32_t at = o.u32(0);
            if (dv_.ok(at, 2) && dv_.ok(at + 2, dv_.u16(at)))
                forEachSprm(dv_.sub(at + 2, dv_.u16(at)), visit);
            return;
        }
        visit(code, o);
    };
    if (run)
        forEachSprm(run->grpprl, apply);
    if (!pieces_.empty())
        forEachSprm(pieceGrpprl(piece), apply);
}

ParaProps DocReader::paraProps(int32_t markCp)
{
    uint16_t istd = 0;
    ParaProps p;
    bool first = true;
    forEachParaSprm(markCp, &istd, [&](uint16_t code, ByteView o) {
        if (first) {
            p = styleParaProps(istd);
            first = false;
        }
        applyParaSprm(p, code, o);
    });
    if (first)
        p = styleParaProps(istd);
    // A list level brings its own indents; the paragraph's own properties
    // come after them.
    if (const StoredLevel* level = listLevel(p); level && level->papx.size() > 0) {
        ParaProps q = styleParaProps(istd);
        forEachSprm(level->papx, [&](uint16_t code, ByteView o) { applyParaSprm(q, code, o); });
        forEachParaSprm(markCp, nullptr, [&](uint16_t code, ByteView o) { applyParaSprm(q, code, o); });
        p = q;
    }
    p.style = istd;
    return p;
}

TableRowDef DocReader::rowDef(int32_t markCp)
{
    TableRowReader reader;
    forEachParaSprm(markCp, nullptr, [&](uint16_t code, ByteView o) { reader.apply(code, o); });
    return reader.finish();
}

CharProps DocReader::charProps(const ParaProps& pap, const Segment& seg)
{
    CharProps base = styleCharProps(pap.style);
    // A character style named in the run applies over the paragraph style.
    uint16_t charStyle = 10;
    forEachSprm(seg.grpprl, [&](uint16_t code, ByteView o) {
        if (code == sprm::CIstd)
            charStyle = o.u16(0);
    });
    if (charStyle != 10 && charStyle < styles_.size() && styles_[charStyle].present && styles_[charStyle].kind == 2) {
        std::vector<uint16_t> chain;
        for (uint16_t s = charStyle; s < styles_.size() && styles_[s].present && styles_[s].kind == 2 && chain.size() < 16;
             s = styles_[s].base)
            chain.push_back(s);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const CharProps before = base;
            forEachSprm(styles_[*it].chpx, [&](uint16_t code, ByteView o) { applyCharSprm(base, before, code, o); });
        }
        base.charStyle = charStyle;
    }
    CharProps c = base;
    forEachSprm(seg.grpprl, [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    forEachSprm(pieceGrpprl(seg.piece), [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    return c;
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
class DocReader::StoryBuilder {
public:
    StoryBuilder(DocReader& reader, QTextDocument& doc, int32_t from, int32_t to);
    void build();

private:
    struct RunFormat {
        QTextCharFormat format;
        bool special = false;
        bool deleted = false;
        std::optional<uint32_t> picture; // where the picture of a picture character is
    };
    // The paragraph being written, with what a page break inside it takes on.
    struct OpenParagraph {
        const Paragraph& para;
        QTextBlockFormat blockFormat;
        QTextCharFormat markFormat;
    };

    void splitParagraphs();
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
    void flush(QTextCursor& cursor, const QTextCharFormat& plain);
    // The format of shown text: a field's result keeps its field.
    QTextCharFormat shownFormat(const QTextCharFormat& plain) const;
    const RunFormat& formatOf(const ParaProps& pap, const Segment& seg);
    const NoteRef* noteAt(int32_t cp);

    DocReader& reader_;
    QTextDocument& doc_;
    const char16_t* t_;
    const int32_t from_, to_;
    std::vector<Paragraph> paragraphs_;
    QHash<FormatKey, RunFormat> formats_;
    FieldReader fields_;
    int footnote_ = 0;
    int endnote_ = 0;
    size_t nextNote_ = 0; // the characters come in order: the notes are looked at in order
    bool breakBeforeNext_ = false;
    int sectionNext_ = 0; // the section the next paragraph starts
    size_t segIndex_ = 0;
    QString chunk_; // text not yet inserted, all of one format
    // Per list, the QTextList of each level now in use; an item of a level
    // ends the lists of the levels below it, so that they count anew.
    QHash<int, std::array<QTextList*, 9>> openLists_;
};

DocReader::StoryBuilder::StoryBuilder(DocReader& reader, QTextDocument& doc, int32_t from, int32_t to)
    : reader_(reader)
    , doc_(doc)
    , t_(reinterpret_cast<const char16_t*>(reader.text_.constData()))
    , from_(from)
    , to_(to)
    , fields_(t_, from, to, reader.fieldTypes_, reader.fieldIds_)
{
    chunk_.reserve(1024);
}

void DocReader::StoryBuilder::build()
{
    splitParagraphs();
    QTextCursor cursor(&doc_);
    // One edit block: the cursor skips layout work after every insertion.
    cursor.beginEditBlock();
    std::vector<TableMark> marks;
    marks.reserve(paragraphs_.size());
    for (const Paragraph& p : paragraphs_)
        marks.push_back(p.mark);
    const StoryItems items = layoutStory(marks, [&](size_t k) { return reader_.rowDef(paragraphs_[k].end); });
    emitItems(items, cursor, true);
    cursor.endEditBlock();
}

// Paragraphs of the story: each ends with a paragraph mark (or a table cell
// mark); text after the last mark still makes a paragraph.
void DocReader::StoryBuilder::splitParagraphs()
{
    int32_t start = from_;
    for (int32_t cp = from_; cp < to_; ++cp) {
        // A section mark ends the paragraph it closes, as a paragraph mark would.
        const int section = t_[cp] == 0x0C && cp > start ? reader_.sectionAfter(cp) : 0;
        if (t_[cp] == 0x0D || t_[cp] == 0x07 || section) {
            Paragraph p;
            p.startsSection = section;
            p.start = start;
            p.end = cp;
            p.pap = reader_.paraProps(cp);
            p.mark = tableMark(p.pap, t_[cp], cp == start);
            paragraphs_.push_back(p);
            start = cp + 1;
        }
    }
    if (start < to_) {
        Paragraph p;
        p.start = start;
        p.end = to_;
        p.pap = reader_.paraProps(to_ - 1);
        paragraphs_.push_back(p);
    }
}

void DocReader::StoryBuilder::emitItems(const StoryItems& items, QTextCursor& cursor, bool fresh)
{
    const FillCell fill = [this](const StoryItems& cell, QTextCursor& at, bool empty) { emitItems(cell, at, empty); };
    bool reuseBlock = fresh;
    for (size_t k = 0; k < items.size(); ++k) {
        if (const TableNode* table = items[k].table.get()) {
            if (reuseBlock && k == 0)
                markPlaceholder(cursor);
            insertTable(cursor, *table, fill);
            reuseBlock = true;
        } else {
            emitParagraph(paragraphs_[items[k].paragraph], cursor, reuseBlock);
        }
    }
}

// Writes one paragraph at `cursor`; `reuseBlock` says the cursor stands in
// an empty block made for it (the first of the document or of a cell).
void DocReader::StoryBuilder::emitParagraph(const Paragraph& para, QTextCursor& cursor, bool& reuseBlock)
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
    const std::vector<Segment>& segments = reader_.segments_;
    for (size_t si = segIndex_; si < segments.size() && segments[si].cpStart < para.end; ++si)
        emitSegment(open, segments[si], cursor);
    if (para.startsSection) {
        breakBeforeNext_ = true;
        sectionNext_ = para.startsSection;
    }
}

QTextBlockFormat DocReader::StoryBuilder::blockFormatOf(const ParaProps& pap) const
{
    QTextBlockFormat blockFormat = toBlockFormat(pap);
    if (pap.style < reader_.styles_.size() && reader_.styles_[pap.style].present) {
        const uint16_t sti = reader_.styles_[pap.style].sti;
        if (sti >= 1 && sti <= 9)
            blockFormat.setHeadingLevel(sti);
    }
    return blockFormat;
}

// The character format of the paragraph mark, which goes to the block. Moves
// on to the first segment of the paragraph.
QTextCharFormat DocReader::StoryBuilder::markFormatOf(const Paragraph& para)
{
    const std::vector<Segment>& segments = reader_.segments_;
    while (segIndex_ < segments.size() && segments[segIndex_].cpEnd <= para.start)
        ++segIndex_;
    size_t markSeg = segIndex_;
    while (markSeg < segments.size() && segments[markSeg].cpEnd <= para.end)
        ++markSeg;
    if (markSeg < segments.size())
        return formatOf(para.pap, segments[markSeg]).format;
    return {};
}

void DocReader::StoryBuilder::joinList(const ParaProps& pap, QTextCursor& cursor)
{
    int start = 1;
    const StoredLevel* stored = reader_.listLevel(pap, &start);
    if (!stored)
        return;
    const int level = std::clamp(pap.listLevel, 0, 8);
    auto& levels = openLists_[pap.listIndex];
    for (int l = level + 1; l < 9; ++l)
        levels[size_t(l)] = nullptr;
    QTextList*& list = levels[size_t(level)];
    if (list) {
        list->add(cursor.block());
    } else {
        ListLevel def = stored->level;
        def.start = start;
        list = cursor.createList(toListFormat(pap.listIndex, level, def));
    }
}

// The characters of the segment that lie in the paragraph.
void DocReader::StoryBuilder::emitSegment(const OpenParagraph& open, const Segment& seg, QTextCursor& cursor)
{
    const int32_t from = std::max(seg.cpStart, open.para.start);
    const int32_t to = std::min(seg.cpEnd, open.para.end);
    if (from >= to)
        return;
    const RunFormat& run = formatOf(open.para.pap, seg);
    chunk_.clear();
    for (int32_t cp = from; cp < to; ++cp)
        emitChar(open, cp, run, cursor);
    flush(cursor, run.format);
}

void DocReader::StoryBuilder::emitChar(const OpenParagraph& open, int32_t cp, const RunFormat& run, QTextCursor& cursor)
{
    const char16_t ch = t_[cp];
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
    emitShownChar(open, cp, run, cursor);
}

void DocReader::StoryBuilder::emitFieldMark(int32_t cp, char16_t ch, const RunFormat& run, QTextCursor& cursor)
{
    flush(cursor, run.format);
    if (fields_.mark(cp, ch, run.deleted, cursor.position()))
        cursor.insertText(QString(QChar(kFieldPlaceholder)), fields_.placeholderFormat(run.format));
}

// The reference of a numbered note shows its number; one with a mark of its own, the mark.
void DocReader::StoryBuilder::emitNoteReference(const NoteRef& note, char16_t ch, const QTextCharFormat& plain,
                                                QTextCursor& cursor)
{
    int& number = note.endnote ? endnote_ : footnote_;
    const int format = note.endnote ? reader_.endnoteFormat_ : reader_.footnoteFormat_;
    const QString mark = note.automatic ? formatListNumber(++number, format)
        : ch >= 0x20                    ? QString(QChar(ch))
                                        : QStringLiteral("*");
    cursor.insertText(mark, reader_.noteReferenceFormat(note, plain));
}

// A character of the text, or a special one standing for a break or an object.
void DocReader::StoryBuilder::emitShownChar(const OpenParagraph& open, int32_t cp, const RunFormat& run,
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
    default:
        if (ch >= 0x20)
            chunk_.append(QChar(ch));
        // Other control characters mark objects (floating drawings,
        // annotations) that the model does not hold yet.
        break;
    }
}

// A page (or section) break: what follows starts a new page.
void DocReader::StoryBuilder::emitPageBreak(const OpenParagraph& open, int32_t cp, QTextCursor& cursor)
{
    QTextBlockFormat next = open.blockFormat;
    next.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    const int section = reader_.sectionAfter(cp);
    if (section)
        next.setProperty(SectionStartProperty, section);
    if (cursor.block().length() <= 1) {
        cursor.setBlockFormat(next);
    } else if (cp + 1 < open.para.end) {
        cursor.insertBlock(next, open.markFormat);
    } else {
        breakBeforeNext_ = true;
        sectionNext_ = section;
    }
}

void DocReader::StoryBuilder::emitPicture(const RunFormat& run, QTextCursor& cursor)
{
    if (!run.picture)
        return;
    if (const auto image = reader_.pictures_.imageFormat(*run.picture, shownFormat(run.format), doc_)) {
        flush(cursor, run.format);
        cursor.insertImage(*image);
    }
}

void DocReader::StoryBuilder::flush(QTextCursor& cursor, const QTextCharFormat& plain)
{
    if (!chunk_.isEmpty()) {
        cursor.insertText(chunk_, shownFormat(plain));
        chunk_.clear();
    }
}

QTextCharFormat DocReader::StoryBuilder::shownFormat(const QTextCharFormat& plain) const
{
    return fields_.inResult() ? fields_.resultFormat(plain) : plain;
}

const DocReader::StoryBuilder::RunFormat& DocReader::StoryBuilder::formatOf(const ParaProps& pap, const Segment& seg)
{
    const FormatKey key{seg.grpprl.data(), seg.grpprl.size(), seg.piece, pap.style};
    auto it = formats_.find(key);
    if (it == formats_.end()) {
        const CharProps c = reader_.charProps(pap, seg);
        const auto picture = c.special && !c.data ? c.picLocation : std::nullopt;
        it = formats_.insert(key, RunFormat{toCharFormat(c, reader_.fonts_), c.special, c.deleted, picture});
    }
    return *it;
}

const NoteRef* DocReader::StoryBuilder::noteAt(int32_t cp)
{
    const std::vector<NoteRef>& refs = reader_.noteRefs_;
    while (nextNote_ < refs.size() && refs[nextNote_].cp < cp)
        ++nextNote_;
    return nextNote_ < refs.size() && refs[nextNote_].cp == cp ? &refs[nextNote_] : nullptr;
}

void DocReader::buildDocument(QTextDocument& doc, int32_t cpFrom, int32_t cpTo)
{
    StoryBuilder(*this, doc, cpFrom, cpTo).build();
}

} // namespace

Document readDoc(const QByteArray& docFileBytes)
{
    DocReader reader(docFileBytes);
    return reader.read();
}

} // namespace talvora::word

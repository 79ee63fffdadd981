#include "word/doc_writer_stories.h"

#include "word/sections.h"
#include "word/symbol_fonts.h"
#include "word/table_format.h"
#include "word/table_plan.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

char16_t storedChar(char16_t c)
{
    switch (c) {
    case QChar::LineSeparator: return 0x0B;
    case 0x00AD: return 0x1F;
    case 0x2011: return 0x1E;
    case QChar::ParagraphSeparator: return 0x0B;
    case QChar::Nbsp: return 0xA0;
    case u'\t': return 0x09;
    default: break;
    }
    // Other control characters have meanings in the stored text (paragraph and
    // cell marks, fields, objects): they must not be written as text.
    if (c < 0x20 || c == QChar::ObjectReplacementCharacter)
        return 0;
    return c;
}

// The text of a run as it may be stored: characters with no place there are left out.
QString storedText(const QString& s)
{
    if (std::all_of(s.begin(), s.end(), [](QChar ch) { return storedChar(ch.unicode()) == ch.unicode(); }))
        return s;
    QString out;
    for (QChar ch : s)
        if (const char16_t c = storedChar(ch.unicode()))
            out += QChar(c);
    return out;
}

} // namespace

StoryWriter::StoryWriter(const CharProps& normal, FontIndex fontIndex)
    : normal_(normal)
    , fontIndex_(std::move(fontIndex))
    , fields_([this](const QString& stored, const CharProps& chp) { append(stored, chp); },
              [this] { return position(); })
{
}

void StoryWriter::write(const Document& document)
{
    const PageSetup& page = document.page;
    textWidth_ = std::max(1440, page.pageWidth - page.marginLeft - page.marginRight);
    laterSections_ = document.laterSections;
    writeMainText(document);
    bounds_.footnoteStarts = writeNotes(footnotes_, bounds_.ccpText);
    bounds_.ccpFtn = position() - bounds_.ccpText;
    bounds_.hddStart = bounds_.ccpText + bounds_.ccpFtn;
    writeHeaders(document);
    // Comments follow the headers, the endnotes the comments.
    bounds_.atnStart = position();
    bounds_.commentStarts = writeComments();
    bounds_.ccpAtn = position() - bounds_.atnStart;
    bounds_.ednStart = position();
    bounds_.endnoteStarts = writeNotes(endnotes_, bounds_.ednStart);
    bounds_.ccpEdn = position() - bounds_.ednStart;
    writeTextboxes();
    // When any story follows the main text, the text ends with one more paragraph mark.
    if (position() > bounds_.ccpText)
        appendEmptyParagraph();
    std::sort(headingLevels_.begin(), headingLevels_.end());
}

void StoryWriter::writeMainText(const Document& document)
{
    text_.reserve(document.text().characterCount() + 1);
    mainStory_ = true;
    writeStory(document.text());
    mainStory_ = false;
    bounds_.ccpText = position();
}

void StoryWriter::writeStory(const QTextDocument& story)
{
    story_ = &story;
    propsOfFormat_.clear(); // format indices count within one QTextDocument
    writeFrame(story.rootFrame());
    fields_.close();
    marks_.endStory();
    story_ = nullptr;
}

// Each note: its numbered mark (unless it has a mark of its own), then its
// paragraphs. One more paragraph mark ends the story. Returns where each
// note starts inside the story.
std::vector<int32_t> StoryWriter::writeNotes(const std::vector<PendingNote>& notes, int32_t storyStart)
{
    std::vector<int32_t> starts;
    for (const PendingNote& note : notes) {
        starts.push_back(position() - storyStart);
        QTextDocument content;
        loadNoteContent(note.content, content);
        if (note.automatic) {
            CharProps mark = normal_;
            mark.special = true;
            mark.iss = 1;
            append(QStringLiteral(u"\x02"), mark);
        }
        writeStory(content);
    }
    if (!notes.empty())
        appendEmptyParagraph();
    return starts;
}

// Each comment: its reference mark, then its paragraphs. One more paragraph
// mark ends the story. Returns where each comment starts inside the story.
std::vector<int32_t> StoryWriter::writeComments()
{
    std::vector<int32_t> starts;
    for (const PendingComment& comment : marks_.comments()) {
        starts.push_back(position() - bounds_.atnStart);
        QTextDocument content;
        loadNoteContent(comment.info.content, content);
        CharProps mark = normal_;
        mark.special = true;
        append(QStringLiteral(u"\x05"), mark);
        writeStory(content);
    }
    if (!starts.empty())
        appendEmptyParagraph();
    return starts;
}

// Headers and footers follow the footnotes as stories of their own: six note
// separators (left empty), then for each section its six stories (see
// HeaderKind). An empty story goes on with the section before's. Each
// non-empty story ends with one more paragraph mark than its paragraphs
// have; one more mark closes them all.
void StoryWriter::writeHeaders(const Document& document)
{
    using Stories = std::array<const QTextDocument*, kHeaderKinds>;
    std::vector<size_t> written{0}; // the sections of the model, in the order they are written
    for (const SectionBreak& b : sectionBreaks_)
        written.push_back(size_t(b.section));
    std::vector<Stories> sections;
    for (size_t k = 0; k < written.size(); ++k) {
        Stories stories{};
        for (int kind = 0; kind < kHeaderKinds; ++kind)
            stories[size_t(kind)] = storyToStore(document, written[k], k ? written[k - 1] : 0, HeaderKind(kind));
        sections.push_back(stories);
    }
    const bool any = std::any_of(sections.begin(), sections.end(), [](const Stories& stories) {
        return std::any_of(stories.begin(), stories.end(), [](const QTextDocument* s) { return s != nullptr; });
    });
    if (!any)
        return;
    const int32_t hddStart = bounds_.hddStart;
    std::vector<int32_t>& starts = bounds_.hddStarts;
    starts.assign(6, 0);
    for (const Stories& stories : sections) {
        for (const QTextDocument* s : stories) {
            starts.push_back(position() - hddStart);
            if (s) {
                headerStory_ = true;
                writeStory(*s);
                headerStory_ = false;
                appendEmptyParagraph(); // keeps the story apart from the next
            }
        }
    }
    starts.push_back(position() - hddStart);
    appendEmptyParagraph();
    bounds_.ccpHdd = position() - hddStart;
    starts.push_back(bounds_.ccpHdd);
}

// The text boxes of the main text, then those of the headers, each in a
// story of its own after the endnotes: each box's paragraphs with one more
// mark that keeps it apart from the next, then one empty paragraph that
// closes the story.
void StoryWriter::writeTextboxes()
{
    for (const bool header : {false, true}) {
        const std::vector<QByteArray> boxes = drawings_.textboxes(header);
        const int32_t start = position();
        (header ? bounds_.hdrTxbxStart : bounds_.txbxStart) = start;
        if (boxes.empty())
            continue;
        std::vector<int32_t>& starts = header ? bounds_.textboxStarts.header : bounds_.textboxStarts.main;
        for (const QByteArray& box : boxes) {
            starts.push_back(position() - start);
            QTextDocument content;
            loadNoteContent(box, content);
            writeStory(content);
            appendEmptyParagraph();
        }
        starts.push_back(position() - start);
        appendEmptyParagraph();
        starts.push_back(position() - start);
        (header ? bounds_.ccpHdrTxbx : bounds_.ccpTxbx) = position() - start;
    }
}

void StoryWriter::writeFrame(const QTextFrame* frame)
{
    for (const CellItem& item : frameItems(*frame)) {
        // A section may start with a table: its first paragraph names the section.
        const QTextBlock first = item.table ? item.table->cellAt(0, 0).firstCursorPosition().block() : item.block;
        if (mainStory_)
            endSectionBefore(first);
        if (item.table)
            writeTable(*item.table, 1, textWidth_);
        else
            writeBlock(item.block, 0x0D, 0, false);
    }
}

// A block that starts a later section ends the section before: the mark of
// the paragraph before becomes the section mark, or, after a table, an empty
// paragraph of its own does. Sections named out of order or not held by the
// document stay part of the section before.
void StoryWriter::endSectionBefore(const QTextBlock& block)
{
    const int section = block.blockFormat().intProperty(SectionStartProperty);
    const int last = sectionBreaks_.empty() ? 0 : sectionBreaks_.back().section;
    if (section <= last || size_t(section) > laterSections_.size() || position() == 0)
        return;
    if (text_.back() == QChar(0x0D) && !paraRuns_.empty() && paraRuns_.back().cpEnd == position()
        && !paraRuns_.back().pap.inTable)
        text_.back() = QChar(0x0C);
    else
        appendEmptyParagraph(0x0C);
    sectionBreaks_.push_back({position(), section});
    // The section break starts the page: the paragraph need not.
    if (startsNewPage(laterSections_[size_t(section - 1)].page.start))
        pageStartBlock_ = block.blockNumber();
}

// A table: its rows one after another, each cell's paragraphs with the last
// one ending in a cell mark, then the row mark with the row's definition.
// Cells of the outermost tables end with U+0007, those of nested tables
// (written inside their cells) with flagged paragraph marks.
void StoryWriter::writeTable(const QTextTable& table, int depth, int width)
{
    for (const PlannedRow& row : planTable(table, width)) {
        for (size_t c = 0; c < row.cells.size(); ++c)
            writeCell(row.cells[c], depth, row.def.bounds[c + 1] - row.def.bounds[c]);
        ParaProps pap;
        pap.inTable = true;
        pap.tableDepth = depth;
        pap.tableRowEnd = true;
        appendEmptyParagraph(depth == 1 ? 0x07 : 0x0D, pap, rowSprms(row.def));
    }
}

void StoryWriter::writeCell(const PlannedCell& cell, int depth, int width)
{
    const char16_t cellMark = depth == 1 ? 0x07 : 0x0D;
    const std::vector<CellItem> items = cellItems(cell.parts, depth < kMaxTableDepth);
    for (size_t k = 0; k < items.size(); ++k) {
        if (items[k].table)
            writeTable(*items[k].table, depth + 1, width);
        else if (k + 1 == items.size())
            writeBlock(items[k].block, cellMark, depth, true);
        else
            writeBlock(items[k].block, 0x0D, depth, false);
    }
    if (items.empty() || items.back().table) {
        // Nothing (the lower part of a vertically merged cell), or a nested
        // table last: the cell mark gets an empty paragraph of its own.
        ParaProps pap;
        pap.inTable = true;
        pap.tableDepth = depth;
        pap.innerCell = depth > 1;
        appendEmptyParagraph(cellMark, pap);
    }
}

// `depth`: of the table the paragraph is in (0 for none); `cellEnd`: its mark ends a cell.
void StoryWriter::writeBlock(const QTextBlock& block, char16_t mark, int depth, bool cellEnd)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.isValid())
            writeFragment(fragment);
    }
    fields_.beforeBlockEnd(block, mark == 0x07);
    text_.append(QChar(mark));
    QTextCharFormat markFormat = block.charFormat();
    if (markFormat.isTableCellFormat())
        markFormat.clearBackground(); // the cell's shading, not the mark's
    addChars(propsOf(markFormat, block.charFormatIndex()));
    const ParaProps pap = paragraphProps(block, depth, cellEnd);
    paraRuns_.push_back({position(), pap, {}});
}

void StoryWriter::writeFragment(const QTextFragment& fragment)
{
    const QTextCharFormat format = fragment.charFormat();
    const CharProps chp = propsOf(format, fragment.charFormatIndex());
    if (format.isImageFormat()) {
        fields_.beforeRun(format, chp, QString()); // a picture may be a field's result
        const int32_t from = position();
        writeImages(fragment);
        marks_.run(format, fragment.text(), from, position());
        return;
    }
    const QString s = fields_.beforeRun(format, chp, fragment.text());
    const int32_t from = position();
    writeRunText(format, chp, s);
    // Bookmarks and commented text the run carries (marks.h).
    marks_.run(format, fragment.text(), from, position());
}

void StoryWriter::writeRunText(const QTextCharFormat& format, const CharProps& chp, QString s)
{
    if (mainStory_ && isNoteReference(format)) {
        writeNoteReference(format, chp, s);
        return;
    }
    if (mainStory_ && isCommentReference(format)) {
        writeCommentReferences(format, chp, s);
        return;
    }
    if (format.hasProperty(BookmarkPointProperty))
        s.remove(QChar(kBookmarkMarker)); // empty bookmarks stand where they are, as nothing
    const QString stored = storedText(s);
    if (stored.isEmpty())
        return;
    if (format.hasProperty(SymbolFontProperty))
        appendSymbols(stored, format, chp);
    else
        append(stored, chp);
}

// Each reference character becomes the stored comment reference mark.
void StoryWriter::writeCommentReferences(const QTextCharFormat& format, const CharProps& chp, const QString& text)
{
    CharProps mark = chp;
    mark.special = true;
    for (QChar c : text) {
        if (c != QChar::ObjectReplacementCharacter)
            continue;
        marks_.reference(format, position());
        append(QStringLiteral(u"\x05"), mark);
    }
}

// A run read from a symbol: each occurrence of the symbol's text is written
// as the symbol again (a "(" that names its font and code), so that Word and
// LibreOffice draw it from that font; other text typed into the run stays text.
void StoryWriter::appendSymbols(const QString& stored, const QTextCharFormat& format, const CharProps& chp)
{
    const QString family = format.stringProperty(SymbolFontProperty);
    const auto code = uint16_t(format.intProperty(SymbolCodeProperty));
    const QString symbol = symbolText(family, code).text;
    if (symbol.isEmpty()) {
        append(stored, chp);
        return;
    }
    CharProps asSymbol = chp;
    asSymbol.special = true;
    asSymbol.symbol = CharProps::Symbol{fontIndex_(family), code};
    qsizetype plainFrom = 0;
    qsizetype at = 0;
    while ((at = stored.indexOf(symbol, at)) >= 0) {
        if (at > plainFrom)
            append(stored.mid(plainFrom, at - plainFrom), chp);
        append(QStringLiteral("("), asSymbol);
        at += symbol.size();
        plainFrom = at;
    }
    if (plainFrom < stored.size())
        append(stored.mid(plainFrom), chp);
}

// Each image becomes a picture character naming its record in the Data stream.
void StoryWriter::writeImages(const QTextFragment& fragment)
{
    const QTextImageFormat image = fragment.charFormat().toImageFormat();
    CharProps chp = propsOf(fragment.charFormat(), fragment.charFormatIndex());
    for (QChar ch : fragment.text()) {
        if (ch != QChar::ObjectReplacementCharacter)
            continue;
        if (isDrawing(image)) {
            // An anchored object: its anchor character; objects of other
            // stories (notes, text boxes) have no place to go.
            const int32_t cp = headerStory_ ? position() - bounds_.hddStart : position();
            if ((mainStory_ || headerStory_) && drawings_.add(cp, headerStory_, image)) {
                CharProps anchor = chp;
                anchor.special = true;
                anchor.picLocation.reset();
                append(QString(QChar(0x08)), anchor);
            }
            continue;
        }
        if (const auto id = objects_.add(image)) {
            writeObject(image, chp, *id);
            continue;
        }
        if (const auto at = pictures_.add(image, *story_)) {
            chp.picLocation = *at;
            append(QString(QChar(0x01)), chp);
        }
    }
}

// An embedded object as Word writes one: the separator of its EMBED field
// names its storage, the field's result is the picture shown for it. An
// object that opens the result of the EMBED field around it in the model
// takes that field's separator; any other gets a field of its own.
void StoryWriter::writeObject(const QTextImageFormat& image, const CharProps& chp, uint32_t id)
{
    CharProps shown = chp;
    auto picture = pictures_.add(image, *story_);
    if (!picture) {
        // Nothing to show for it: a box of its size, which Word and LibreOffice
        // need as the field's result to find the object.
        const QSize pixels(std::clamp(int(std::lround(image.width())), 1, 800),
                           std::clamp(int(std::lround(image.height())), 1, 800));
        QTextDocument scratch;
        QTextImageFormat box = image;
        box.setName(QStringLiteral("object-box"));
        scratch.addResource(QTextDocument::ImageResource, QUrl(box.name()), objectBox(pixels));
        picture = pictures_.add(box, scratch);
    }
    auto writeShown = [&] {
        if (picture) {
            shown.picLocation = *picture;
            append(QString(QChar(0x01)), shown);
        }
    };
    const auto field = innermostFieldOf(image);
    const bool opensEmbed = field && fieldKeyword(field->code) == QLatin1String("EMBED") && !text_.isEmpty()
        && text_.back() == QChar(kFieldSeparator) && !charRuns_.empty() && !charRuns_.back().chp.ole2;
    if (opensEmbed) {
        CharProps separator = charRuns_.back().chp;
        separator.special = true;
        separator.picLocation = id;
        separator.ole2 = true;
        restyleLastChar(separator);
        writeShown();
        return;
    }
    CharProps separator = chp;
    separator.special = true;
    separator.picLocation = id;
    separator.ole2 = true;
    const auto object = embeddedObjectOf(image);
    const QString progId = object ? objectProgId(*object) : QString();
    fields_.writeWhole(QStringLiteral(" EMBED %1 ").arg(progId), chp, separator, writeShown);
}

// `own`: the run's text, the mark of a note that has one of its own.
void StoryWriter::writeNoteReference(const QTextCharFormat& format, const CharProps& chp, const QString& own)
{
    const NoteInfo note = noteOf(format);
    // A run of a numbered note that goes on from the one before is the same note.
    if (note.customMark || note.id != lastNote_.id || note.content != lastNote_.content
        || lastNoteEnd_ != position()) {
        (note.endnote ? endnotes_ : footnotes_)
            .push_back({position(), !note.customMark, note.numberFormat, note.content});
        CharProps mark = chp;
        mark.special = !note.customMark;
        const QString customMark = storedText(own);
        append(!note.customMark       ? QStringLiteral(u"\x02")
               : customMark.isEmpty() ? QStringLiteral("*")
                                      : customMark,
               mark);
    }
    // Text typed after the number in an editor stays, as ordinary text.
    const QString rest = note.customMark ? QString() : storedText(textAfterNoteNumber(own, note.numberFormat));
    if (!rest.isEmpty())
        append(rest, chp);
    lastNote_ = note;
    lastNoteEnd_ = position();
}

ParaProps StoryWriter::paragraphProps(const QTextBlock& block, int depth, bool cellEnd)
{
    ParaProps pap = fromBlockFormat(block.blockFormat());
    if (mainStory_ && block.blockNumber() == pageStartBlock_)
        pap.pageBreakBefore = false;
    pap.inTable = depth > 0;
    pap.tableDepth = depth;
    pap.innerCell = cellEnd && depth > 1;
    if (const QTextList* list = block.textList())
        joinList(*list, pap);
    if (pap.style != 0 && std::find(headingLevels_.begin(), headingLevels_.end(), pap.style) == headingLevels_.end())
        headingLevels_.push_back(pap.style);
    return pap;
}

void StoryWriter::joinList(const QTextList& list, ParaProps& pap)
{
    const QTextListFormat lf = list.format();
    // Levels of one Word list stay one list; a list made in an editor is one of its own.
    const qint64 key = lf.hasProperty(ListIdProperty) ? qint64(lf.intProperty(ListIdProperty))
                                                      : -1 - qint64(list.objectIndex());
    auto it = listIndexOf_.find(key);
    if (it == listIndexOf_.end()) {
        lists_.emplace_back();
        listUses_.push_back({int(lists_.size()) - 1});
        it = listIndexOf_.insert(key, int(listUses_.size()));
    }
    const int definition = listUses_[size_t(*it) - 1].definition;
    pap.listIndex = *it;
    pap.listLevel = listLevelNumber(lf);
    if (lf.boolProperty(ListRestartProperty)) {
        // A list of its own over the same definition, restarting the level.
        auto use = restartUseOf_.find(list.objectIndex());
        if (use == restartUseOf_.end()) {
            listUses_.push_back({definition, pap.listLevel, listLevelOf(lf).start});
            use = restartUseOf_.insert(list.objectIndex(), int(listUses_.size()));
        }
        pap.listIndex = *use;
    }
    auto& level = lists_[size_t(definition)][size_t(pap.listLevel)];
    if (!level)
        level = listLevelOf(lf);
}

void StoryWriter::append(const QString& stored, const CharProps& chp)
{
    text_.append(stored);
    addChars(chp);
}

// A paragraph of nothing but its mark, in the Normal style's character properties.
void StoryWriter::appendEmptyParagraph(char16_t mark, const ParaProps& pap, const QByteArray& tableRow)
{
    append(QString(QChar(mark)), normal_);
    paraRuns_.push_back({position(), pap, tableRow});
}

// The last character appended takes `chp` instead of the properties it had.
void StoryWriter::restyleLastChar(const CharProps& chp)
{
    const int32_t end = position();
    const int32_t start = charRuns_.size() > 1 ? charRuns_[charRuns_.size() - 2].cpEnd : 0;
    if (end - start > 1)
        charRuns_.back().cpEnd = end - 1;
    else
        charRuns_.pop_back();
    addChars(chp);
}

// The characters appended since the last run take `chp`.
void StoryWriter::addChars(const CharProps& chp)
{
    const int32_t end = position();
    if (!charRuns_.empty() && charRuns_.back().chp == chp)
        charRuns_.back().cpEnd = end;
    else if (charRuns_.empty() || charRuns_.back().cpEnd < end)
        charRuns_.push_back({end, chp});
}

CharProps StoryWriter::propsOf(const QTextFormat& format, int index)
{
    auto it = propsOfFormat_.find(index);
    if (it == propsOfFormat_.end())
        it = propsOfFormat_.insert(index, fromCharFormat(format.toCharFormat(), fontIndex_, normal_));
    return *it;
}

} // namespace talvora::word

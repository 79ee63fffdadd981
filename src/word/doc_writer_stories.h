#pragma once
// The stories of a document as the writer stores them: one text holding the
// main text, the footnotes, the headers and footers and the endnotes, with
// the character and paragraph properties of its runs, and what the stories
// name on the way (notes, lists, pictures, fields, heading styles).

#include "word/doc_pictures.h"
#include "word/document.h"
#include "word/drawings.h"
#include "word/embedded_objects.h"
#include "word/fields.h"
#include "word/marks_writer.h"
#include "word/notes.h"
#include "word/sprm.h"
#include "word/text_formats.h"

#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class QTextBlock;
class QTextFragment;
class QTextFrame;
class QTextList;
class QTextTable;

namespace talvora::word {

struct PlannedCell;

// Characters up to `cpEnd` (from the end of the run before) with the same properties.
struct CharRun {
    int32_t cpEnd;
    CharProps chp;
};

struct ParaRun {
    int32_t cpEnd; // just past the paragraph mark
    ParaProps pap;
    QByteArray tableRow; // row modifiers of a row mark
};

// A note met in the main text, written after it.
struct PendingNote {
    int32_t cp;     // of its reference
    bool automatic; // numbered
    int numberFormat;
    QByteArray content;
};

// The levels of one list that paragraphs use.
using ListLevels = std::array<std::optional<ListLevel>, 9>;

// A list as paragraphs name it: a list definition, and the level it starts
// anew where it is first used (the definition's other lists go on counting).
struct ListUse {
    int definition = 0; // into StoryWriter::lists()
    int restartLevel = -1;
    int start = 1;
};

// Where the stories lie in the text (CPs).
struct StoryBounds {
    int32_t ccpText = 0;  // the main text starts the text
    int32_t ccpFtn = 0;   // the footnotes follow it
    int32_t hddStart = 0; // then the headers and footers
    int32_t ccpHdd = 0;
    int32_t atnStart = 0; // then the comments
    int32_t ccpAtn = 0;
    std::vector<int32_t> commentStarts; // where each comment starts inside their story
    int32_t ednStart = 0; // then the endnotes
    int32_t ccpEdn = 0;
    // Where each note starts inside its story.
    std::vector<int32_t> footnoteStarts, endnoteStarts;
    // Where each header story starts inside theirs, then the end of the last
    // and the end of all; empty when the document has no headers or footers.
    std::vector<int32_t> hddStarts;
    // The text boxes of the main text and of the headers follow the endnotes.
    int32_t txbxStart = 0, ccpTxbx = 0, hdrTxbxStart = 0, ccpHdrTxbx = 0;
    DrawingWriter::TextboxBounds textboxStarts;
};

// The main text ends a section just before `cpEnd`, with its section mark;
// `section` (1, 2, …) starts there: Document::laterSections[section - 1].
struct SectionBreak {
    int32_t cpEnd;
    int section;
};

class StoryWriter {
public:
    using FontIndex = std::function<uint16_t(const QString&)>;
    // `normal`: the properties of the Normal style, which runs are written against.
    StoryWriter(const CharProps& normal, FontIndex fontIndex);
    StoryWriter(const StoryWriter&) = delete;
    StoryWriter& operator=(const StoryWriter&) = delete;

    // Writes all the stories of `document`, once.
    void write(const Document& document);

    const QString& text() const { return text_; }
    const std::vector<CharRun>& charRuns() const { return charRuns_; }
    const std::vector<ParaRun>& paraRuns() const { return paraRuns_; }
    const StoryBounds& bounds() const { return bounds_; }
    const std::vector<SectionBreak>& sectionBreaks() const { return sectionBreaks_; }
    const std::vector<PendingNote>& footnotes() const { return footnotes_; }
    const std::vector<PendingNote>& endnotes() const { return endnotes_; }
    const std::vector<ListLevels>& lists() const { return lists_; }
    // The lists paragraphs name, from 1.
    const std::vector<ListUse>& listUses() const { return listUses_; }
    // The heading levels the paragraphs' styles name, in order.
    const std::vector<int>& headingLevels() const { return headingLevels_; }
    // The Data stream's pictures.
    const QByteArray& pictureData() const { return pictures_.data(); }
    // The field table of the story [from, to).
    QByteArray fieldTable(int32_t from, int32_t to) const { return fields_.table(from, to); }
    // The bookmarks and comments of all stories.
    const MarkWriter& marks() const { return marks_; }
    // The objects anchored in the main text and the headers.
    const DrawingWriter& drawings() const { return drawings_; }
    // The embedded objects.
    const ObjectWriter& objects() const { return objects_; }

private:
    void writeMainText(const Document& document);
    void writeHeaders(const Document& document);
    void writeTextboxes();
    std::vector<int32_t> writeNotes(const std::vector<PendingNote>& notes, int32_t storyStart);
    std::vector<int32_t> writeComments();
    void writeStory(const QTextDocument& story);

    void writeFrame(const QTextFrame* frame);
    void endSectionBefore(const QTextBlock& block);
    void writeTable(const QTextTable& table, int depth, int width);
    void writeCell(const PlannedCell& cell, int depth, int width);
    void writeBlock(const QTextBlock& block, char16_t mark, int depth, bool cellEnd);
    void writeFragment(const QTextFragment& fragment);
    void writeRunText(const QTextCharFormat& format, const CharProps& chp, QString s);
    void writeCommentReferences(const QTextCharFormat& format, const CharProps& chp, const QString& text);
    void appendSymbols(const QString& stored, const QTextCharFormat& format, const CharProps& chp);
    void writeImages(const QTextFragment& fragment);
    void writeNoteReference(const QTextCharFormat& format, const CharProps& chp, const QString& own);
    ParaProps paragraphProps(const QTextBlock& block, int depth, bool cellEnd);
    void joinList(const QTextList& list, ParaProps& pap);

    void append(const QString& stored, const CharProps& chp);
    void appendEmptyParagraph(char16_t mark = 0x0D, const ParaProps& pap = {}, const QByteArray& tableRow = {});
    void addChars(const CharProps& chp);
    void restyleLastChar(const CharProps& chp);
    void writeObject(const QTextImageFormat& image, const CharProps& chp, uint32_t id);
    int32_t position() const { return int32_t(text_.size()); }
    CharProps propsOf(const QTextFormat& format, int index);

    CharProps normal_;
    FontIndex fontIndex_;
    // The story being written: the main text, a note, a header or footer.
    const QTextDocument* story_ = nullptr;
    bool mainStory_ = false;
    bool headerStory_ = false; // a header or footer: its objects go to the headers' drawing
    QHash<int, CharProps> propsOfFormat_; // by format index inside the story's document

    QString text_;
    std::vector<CharRun> charRuns_;
    std::vector<ParaRun> paraRuns_;
    StoryBounds bounds_;
    std::vector<int> headingLevels_;
    PictureWriter pictures_;
    FieldWriter fields_;
    MarkWriter marks_;
    DrawingWriter drawings_;
    ObjectWriter objects_;

    // Notes are written after the main text; its references are special
    // characters (numbered notes) or the note's own mark.
    std::vector<PendingNote> footnotes_, endnotes_;
    NoteInfo lastNote_;
    int32_t lastNoteEnd_ = -1;

    QHash<qint64, int> listIndexOf_;           // the definition of each Word list of the model
    QHash<qint64, int> restartUseOf_;          // the list of each QTextList that restarts its level
    std::vector<ListLevels> lists_;
    std::vector<ListUse> listUses_;
    int textWidth_ = 1440;
    std::span<const Section> laterSections_; // the document's
    std::vector<SectionBreak> sectionBreaks_;
    int pageStartBlock_ = -1; // the main text's block that starts a section on a new page
};

} // namespace talvora::word

#pragma once
// Building the stories of a Word 97–2003 file into the model: paragraphs and
// tables with their formats, lists, fields, notes, pictures and section starts.

#include "word/doc_pictures.h"
#include "word/fields.h"
#include "word/sections.h"
#include "word/text_formats.h"

#include <QByteArray>
#include <QTextCharFormat>
#include <QTextDocument>

#include <cstdint>
#include <vector>

namespace talvora::word {

class DrawingReader;
class ObjectReader;
class ListTable;
class StoredMarks;
class StyleSheet;
class TextProperties;

// A footnote or endnote reference of the main text with the note's content.
struct NoteRef {
    int32_t cp = 0;
    bool automatic = true;
    bool endnote = false;
    QByteArray content;
};

// The note references of the main text and how the document numbers notes.
class NoteReferences {
public:
    std::vector<NoteRef> refs; // by CP, one per character at most
    int footnoteFormat = NumberDecimal, endnoteFormat = NumberDecimal;

    // The format of the reference mark of `note`, over the run's format `plain`.
    QTextCharFormat referenceFormat(const NoteRef& note, const QTextCharFormat& plain);

private:
    int ids_ = 0;
};

// What the stories of one file are built from; the counters and caches in it
// run on from one story to the next.
struct StorySources {
    const char16_t* text;
    TextProperties& props;
    const StyleSheet& styles;
    const ListTable& lists;
    const std::vector<StoredSection>& sections;
    PictureReader& pictures;
    const FieldTypes& fieldTypes;
    int& fieldIds;
    NoteReferences& notes;
    StoredMarks* marks = nullptr; // bookmarks and comments (marks_reader.h)
    DrawingReader* drawings = nullptr; // the objects anchored in the text, if the file has any
    ObjectReader* objects = nullptr;   // the embedded objects
};

// Builds the stored text [from, to) into `doc`, which is empty.
void buildStory(const StorySources& sources, QTextDocument& doc, int32_t from, int32_t to);

} // namespace talvora::word

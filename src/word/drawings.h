#pragma once
// Floating pictures, drawing shapes and text boxes: the objects a .doc file
// anchors to a character (U+0008) of the main text or of a header. Where each
// lies is in the anchor tables of the table stream (PlcSpaMom, PlcSpaHdr: one
// FSPA per anchor), what it is in the drawing data (OfficeArt records: a
// drawing group with the blip store that holds the pictures, and one drawing
// for the main text and one for the headers with a shape container per
// object); the text of a text box lies in a text box story of its own.
//
// Model convention: an anchored object is one U+FFFC character whose format is
// a QTextImageFormat with DrawingProperty: the object as stored (its shape
// records, its place and wrapping, the pictures it names and the text of a
// text box). The image shows it: the picture of a floating picture, the framed
// text of a text box (read-only), a filled outline for other shapes; the
// character floats left or right as the stored place says. The writer puts the
// object back at the character's place: editing around it moves it along,
// deleting the character deletes the object. A changed width or height of the
// image is the object's new size.

#include "word/binary.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QTextFormat>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QTextDocument;

namespace talvora::word {

class WordFile;

inline constexpr int DrawingProperty = QTextFormat::UserProperty + 0x780; // QByteArray: StoredDrawing::save()

// Where an object lies (an FSPA without its shape id), twips from what the
// bases say.
struct ShapePlacement {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t flags = 0;

    int horizontalBase() const { return (flags >> 1) & 3; } // 0 margin, 1 page, 2 column
    int verticalBase() const { return (flags >> 3) & 3; }   // 0 margin, 1 page, 2 paragraph
    int wrap() const { return (flags >> 5) & 15; }          // 1: above and below only, 3: none
    // The stored corners may lie anywhere: the size is taken wide.
    qint64 width() const { return qint64(right) - left; }
    qint64 height() const { return qint64(bottom) - top; }
    bool operator==(const ShapePlacement&) const = default;
};

// A picture of the blip store: its entry (FBSE, without a name) and its record.
struct StoredBlip {
    QByteArray entry;
    QByteArray blip;
    bool operator==(const StoredBlip&) const = default;
};

// One anchored object as the model keeps it.
struct StoredDrawing {
    bool header = false;    // anchored in a header or footer
    int order = 0;          // its place among the shapes of its drawing (front ones last)
    ShapePlacement placement;
    QByteArray shape;       // its shape container record as stored
    std::map<uint32_t, StoredBlip> blips; // the pictures it names, by their stored index
    std::optional<QByteArray> textbox;    // the text of a text box (saveNoteContent)

    QByteArray save() const;
    static std::optional<StoredDrawing> load(const QByteArray& bytes);
    bool operator==(const StoredDrawing&) const = default;
};

// The object a character format carries, if any.
std::optional<StoredDrawing> drawingOf(const QTextFormat& format);
bool isDrawing(const QTextFormat& format);

// What a picture of a shape is: "png", "jpeg", "emf", … from its blip record.
QString blipKindName(const QByteArray& blip);
// The picture of a bitmap blip (PNG, JPEG, DIB, TIFF); null for metafiles and bad data.
QImage decodeBlip(const QByteArray& blip);

// The drawing objects of one file being read.
class DrawingReader {
public:
    // `headerBase`: where the header stories start in the text; `textboxBase`,
    // `headerTextboxBase`: where the text box stories start (all CPs of the
    // whole text); `textLength`: how long the whole text is.
    struct Layout {
        int32_t headerBase = 0;
        int32_t textboxBase = 0, headerTextboxBase = 0;
        int32_t ccpTxbx = 0, ccpHdrTxbx = 0;
        int32_t textLength = 0;
        int textWidth = 9355; // twips between the margins, to tell left from right
    };
    DrawingReader(const WordFile& file, const Layout& layout);
    DrawingReader(const DrawingReader&) = delete;
    DrawingReader& operator=(const DrawingReader&) = delete;
    ~DrawingReader();

    // Builds the text of each text box (the stored text [from, to)).
    using BuildStory = std::function<std::unique_ptr<QTextDocument>(int32_t from, int32_t to)>;
    void readTextboxes(const BuildStory& build);

    struct Anchored {
        QTextImageFormat format;
        int position = 0; // QTextFrameFormat::Position
    };
    // The object anchored at character `cp` of the whole text, as the image
    // format of its character over `base`; its image is registered in `doc`.
    std::optional<Anchored> anchorAt(int32_t cp, const QTextCharFormat& base, QTextDocument& doc);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The drawing objects of a document being written.
class DrawingWriter {
public:
    // An object of the main text (or of a header) at `cp` of its story;
    // false when `format` holds none.
    bool add(int32_t cp, bool header, const QTextFormat& format);
    bool empty() const { return anchors_.empty(); }
    // The texts of the text boxes of the main text (headers), in order.
    std::vector<QByteArray> textboxes(bool header) const;

    // Where the text box stories were written: each box's start inside its
    // story, then the start of the closing entry and the story's end.
    struct TextboxBounds {
        std::vector<int32_t> main, header;
    };
    // The tables of the drawing objects by their FIB index. The pictures are
    // appended to `wordStream`, where the blip store names them.
    std::vector<std::pair<int, QByteArray>> tables(QByteArray& wordStream, const TextboxBounds& bounds) const;

private:
    struct Anchor {
        int32_t cp;
        StoredDrawing drawing;
    };
    std::vector<Anchor> anchors_;
};

} // namespace talvora::word

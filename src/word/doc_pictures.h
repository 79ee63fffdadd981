#pragma once
// Inline pictures: their records in the Data stream of a .doc file and the
// image formats that hold them in the model.
//
// Model convention: an inline picture is one U+FFFC character whose format is
// a QTextImageFormat. Its name names an image resource of the QTextDocument,
// its width and height are the display size in the model's lengths (1/96
// inch, document.h). A picture read from a
// file keeps its stored record in PictureRecordProperty and is named after
// it; as long as the name is still that one, the writer puts the record back
// as it was (with only its scaling changed when the size was). Any other
// image (pasted, inserted from a file or from HTML) is written as PNG.
// Pictures that cannot be decoded (metafiles, say) are shown as a light box
// of their size and still written back byte for byte.

#include "word/binary.h"
#include "word/document.h"

#include <QHash>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTextFormat>

#include <optional>

namespace talvora::word {

enum PictureProperty {
    PictureRecordProperty = QTextFormat::UserProperty + 0x300, // QByteArray: the picture record as stored
    PictureKindProperty,                                        // int: PictureKind of its picture data
};

enum class PictureKind { Unknown = 0, Emf, Wmf, Pict, Jpeg, Png, Dib, Tiff };

// "png", "jpeg", "emf", … ("unknown" for data of no known kind).
QString pictureKindName(PictureKind kind);

// A picture record (a header, the shape and the picture data) as stored.
struct StoredPicture {
    QByteArray record;
    PictureKind kind = PictureKind::Unknown;
    qint64 dataOffset = 0; // the picture file data (PNG, JPEG, metafile, …) inside the record
    qint64 dataSize = 0;
    int goalWidth = 0, goalHeight = 0; // the natural size, twips
    int scaleX = 1000, scaleY = 1000;  // per mille
    int cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0; // twips of the natural size
    QString fileName;                  // of a picture linked to a file, if stored

    QByteArray data() const { return record.mid(dataOffset, dataSize); }
    // The size it is shown at, twips; empty when the header gives none.
    QSizeF displaySize() const;
};

// The picture record at `offset` of the Data stream; nothing when no picture
// can be found there. Parts past the end of the stream are not read.
std::optional<StoredPicture> readPictureRecord(ByteView data, qint64 offset);
// The same for a record held in the model.
std::optional<StoredPicture> parsePictureRecord(const QByteArray& record);

// The name of the image resource of a stored picture.
QString pictureResourceName(const QByteArray& record);

// Image formats for the pictures of one Data stream. Each picture is read and
// decoded once however often the text names it; decoding stops at a total
// size beyond which pictures are shown as boxes.
class PictureReader {
public:
    explicit PictureReader(ByteView data) : data_(data) {}
    // The image format of the picture at `offset`, with the character
    // properties of `base`; its image is registered in `doc`.
    std::optional<QTextImageFormat> imageFormat(qint64 offset, const QTextCharFormat& base, QTextDocument& doc);

private:
    struct Entry {
        QTextImageFormat format;
        QImage image;
    };
    const Entry* entry(qint64 offset);
    QImage decode(const StoredPicture& picture);
    QImage placeholderOf(QSizeF size);

    ByteView data_;
    QHash<qint64, std::optional<Entry>> entries_;
    QHash<QSize, QImage> placeholders_; // by size in pixels
    qint64 readBytes_ = 0;
    qint64 decodedBytes_ = 0;
};

// The Data stream of a document being written.
class PictureWriter {
public:
    // Adds the picture of `format`, taking its image from `doc` when it has
    // no stored record of its own; returns its position in the stream, or
    // nothing when there is no image to be had.
    std::optional<uint32_t> add(const QTextImageFormat& format, const QTextDocument& doc);
    const QByteArray& data() const { return data_; }

private:
    QByteArray data_;
    uint32_t nextShapeId_ = 0x401;
};

// What a picture of the model is, for inspection.
struct PictureFacts {
    PictureKind kind = PictureKind::Unknown;
    double width = 0, height = 0; // shown, in the model's lengths (1/96 inch)
    QSize pixels;                 // of the image, when known
    qint64 bytes = -1;            // of the stored picture data; -1 when not stored
};
PictureFacts pictureFacts(const QTextImageFormat& format, const QTextDocument& doc);

// A device-independent bitmap as a BMP file (the file header put before it);
// empty when its header does not hold together.
QByteArray bmpFromDib(const QByteArray& dib);

} // namespace talvora::word

#pragma once
// Embedded objects (OLE: a formula, a spreadsheet, …) of a .doc file. The
// object is an EMBED field: its separator is marked as an object and names
// a storage "_<id>" of the file's ObjectPool storage, which holds the
// object's data; the field's result is the picture Word shows for it.
// (Files we wrote before marked the picture character itself; they are
// still read.)
//
// Model convention: an embedded object is one U+FFFC character whose format
// is a QTextImageFormat with EmbeddedObjectProperty: its whole storage. The
// image is the picture shown for it (a light box of the object's size when
// the file has none); the field around it stays a field. The writer puts
// the storage back into the ObjectPool under the same id (a new one when
// the document already holds that id) and writes the object as an EMBED
// field again; deleting the character deletes the object.

#include "word/compound_file.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QTextFormat>

#include <cstdint>
#include <map>
#include <optional>

class QTextDocument;

namespace talvora::word {

inline constexpr int EmbeddedObjectProperty = QTextFormat::UserProperty + 0x781; // QByteArray: saveStorage()

QByteArray saveStorage(const CompoundStorage& storage);
std::optional<CompoundStorage> loadStorage(const QByteArray& bytes);

// The storage of the object a format carries, if any.
std::optional<CompoundStorage> embeddedObjectOf(const QTextFormat& format);

// What is shown for an object the file gives no picture for: a light box
// of `pixels`.
QImage objectBox(QSize pixels);

// The name of the program an object belongs to ("Equation.3"), as its
// "\x01CompObj" stream gives it; empty when the stream gives none.
QString objectProgId(const CompoundStorage& object);

// The objects of a file being read.
class ObjectReader {
public:
    // `pool`: the file's ObjectPool storage, if it has one.
    explicit ObjectReader(const std::optional<CompoundStorage>& pool) : pool_(pool) {}
    // The image format of object `id` over `base`, its image registered in `doc`.
    std::optional<QTextImageFormat> imageFormat(uint32_t id, const QTextCharFormat& base, QTextDocument& doc);
    // Puts object `id` on `shown`, the picture the file shows for it; false
    // when the file holds no such object.
    bool attach(uint32_t id, QTextImageFormat& shown) const;

private:
    const CompoundStorage* find(uint32_t id) const;

    const std::optional<CompoundStorage>& pool_;
};

// The objects of a document being written.
class ObjectWriter {
public:
    // Keeps the object `format` carries; returns the id its character names,
    // nothing when the format carries none.
    std::optional<uint32_t> add(const QTextFormat& format);
    bool empty() const { return objects_.empty(); }
    // The ObjectPool storage with every object kept.
    CompoundStorage pool() const;

private:
    std::map<uint32_t, CompoundStorage> objects_;
};

} // namespace talvora::word

#include "word/doc_pictures.h"

#include "common/errors.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <vector>

namespace talvora::word {

namespace {

// The picture header (PICF) and the places of its fields.
constexpr qint64 kHeaderSize = 0x44;
constexpr qint64 kAtMapMode = 6;
constexpr qint64 kAtGoalWidth = 28;
constexpr qint64 kAtGoalHeight = 30;
constexpr qint64 kAtScaleX = 32;
constexpr qint64 kAtScaleY = 34;
constexpr qint64 kAtCropLeft = 36;
constexpr qint64 kAtCropTop = 38;
constexpr qint64 kAtCropRight = 40;
constexpr qint64 kAtCropBottom = 42;
// Map modes of records holding a shape with its picture, the second also with a file name.
constexpr int16_t kModeShape = 0x64;
constexpr int16_t kModeShapeFile = 0x66;

// Drawing records.
constexpr uint16_t kShapeContainer = 0xF004;
constexpr uint16_t kShapeRecord = 0xF00A;
constexpr uint16_t kShapeProperties = 0xF00B;
constexpr uint16_t kStoredPicture = 0xF007; // FBSE: a picture with its identity
constexpr uint16_t kBlipEmf = 0xF01A;
constexpr uint16_t kBlipWmf = 0xF01B;
constexpr uint16_t kBlipPict = 0xF01C;
constexpr uint16_t kBlipJpeg = 0xF01D;
constexpr uint16_t kBlipPng = 0xF01E;
constexpr uint16_t kBlipDib = 0xF01F;
constexpr uint16_t kBlipTiff = 0xF029;
constexpr uint16_t kBlipCmykJpeg = 0xF02A;
constexpr uint16_t kPropPicture = 0x0104; // the shape's picture, 1-based among the stored ones
constexpr uint16_t kPropLineFlags = 0x01FF;
constexpr int kMaxNesting = 8;

// Limits for what the model keeps decoded: pictures are decoded at most at
// print resolution of their shown size, and beyond these totals shown as boxes.
constexpr double kDecodeDpi = 300;
constexpr qint64 kMaxSourcePixels = 64LL * 1024 * 1024;
constexpr qint64 kMaxDecodedBytes = 256LL * 1024 * 1024;

const QString kResourcePrefix = QStringLiteral("talvora-picture:");

PictureKind kindOfBlip(uint16_t type)
{
    switch (type) {
    case kBlipEmf: return PictureKind::Emf;
    case kBlipWmf: return PictureKind::Wmf;
    case kBlipPict: return PictureKind::Pict;
    case kBlipJpeg:
    case kBlipCmykJpeg: return PictureKind::Jpeg;
    case kBlipPng: return PictureKind::Png;
    case kBlipDib: return PictureKind::Dib;
    case kBlipTiff: return PictureKind::Tiff;
    default: return PictureKind::Unknown;
    }
}

bool isMetafile(PictureKind kind)
{
    return kind == PictureKind::Emf || kind == PictureKind::Wmf || kind == PictureKind::Pict;
}

struct Blip {
    PictureKind kind = PictureKind::Unknown;
    qint64 dataOffset = 0, dataSize = 0;
};

// The picture record whose header starts at `at` and that ends by `end`.
std::optional<Blip> blipAt(ByteView v, qint64 at, qint64 end)
{
    if (at + 8 > end)
        return std::nullopt;
    const uint16_t instance = v.u16(at) >> 4;
    const PictureKind kind = kindOfBlip(v.u16(at + 2));
    const qint64 length = v.u32(at + 4);
    if (kind == PictureKind::Unknown || length > end - at - 8)
        return std::nullopt;
    // One identifier, or two when the instance is odd; then a tag byte for
    // bitmaps or a metafile header.
    const qint64 header = 16 * (1 + (instance & 1)) + (isMetafile(kind) ? 34 : 1);
    if (length < header)
        return std::nullopt;
    return Blip{kind, at + 8 + header, length - header};
}

// What the drawing records of a picture hold: the pictures in their order
// and which one the shape shows.
struct DrawingScan {
    std::vector<std::optional<Blip>> blips;
    uint32_t shown = 0;
    bool shownKnown = false;
};

uint32_t shownPicture(ByteView v, qint64 body, qint64 end, int count, bool& found)
{
    for (int i = 0; i < count && body + 6 * qint64(i + 1) <= end; ++i) {
        const qint64 at = body + 6 * qint64(i);
        if ((v.u16(at) & 0x3FFF) == kPropPicture) {
            found = true;
            return v.u32(at + 2);
        }
    }
    return 0;
}

void scanDrawing(ByteView v, qint64 from, qint64 to, int depth, DrawingScan& scan)
{
    qint64 at = from;
    while (at + 8 <= to) {
        const uint16_t versionAndInstance = v.u16(at);
        const uint16_t type = v.u16(at + 2);
        const qint64 length = v.u32(at + 4);
        const qint64 body = at + 8;
        if (length > to - body)
            return; // cut short: nothing after it can be trusted
        const qint64 end = body + length;
        if ((versionAndInstance & 0x0F) == 0x0F) {
            if (depth < kMaxNesting)
                scanDrawing(v, body, end, depth + 1, scan);
        } else if (type == kShapeProperties && !scan.shownKnown) {
            scan.shown = shownPicture(v, body, end, versionAndInstance >> 4, scan.shownKnown);
        } else if (type == kStoredPicture) {
            // A fixed part, the name, then the picture itself (unless it is kept elsewhere).
            std::optional<Blip> blip;
            if (length >= 36) {
                const qint64 blipAtOffset = body + 36 + v.u8(body + 33);
                blip = blipAt(v, blipAtOffset, end);
            }
            scan.blips.push_back(blip);
        } else if (kindOfBlip(type) != PictureKind::Unknown) {
            scan.blips.push_back(blipAt(v, at, end));
        }
        at = end;
    }
}


// The file data of a stored picture in a form an image reader takes, if any.
QByteArray decodableData(const StoredPicture& p)
{
    switch (p.kind) {
    case PictureKind::Png:
    case PictureKind::Jpeg:
    case PictureKind::Tiff: return p.data();
    case PictureKind::Dib: return bmpFromDib(p.data());
    default: return {};
    }
}

QSize pixelSizeOf(const StoredPicture& p)
{
    QByteArray bytes = decodableData(p);
    if (bytes.isEmpty())
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.size();
}

// The natural size of an image, twips.
QSize naturalTwips(const QImage& image)
{
    auto twips = [](int pixels, int dotsPerMeter) {
        const double dpi = dotsPerMeter > 0 ? dotsPerMeter * 0.0254 : 96.0;
        return int(std::lround(pixels * 1440.0 / std::clamp(dpi, 24.0, 2400.0)));
    };
    return {twips(image.width(), image.dotsPerMeterX()), twips(image.height(), image.dotsPerMeterY())};
}

// A light box standing for a picture that cannot be shown.
QImage placeholder(QSize pixels)
{
    const int w = pixels.width(), h = pixels.height();
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(0xF2, 0xF2, 0xF2));
    QPainter painter(&image);
    painter.setPen(QColor(0xB0, 0xB0, 0xB0));
    painter.drawRect(0, 0, w - 1, h - 1);
    painter.drawLine(0, 0, w - 1, h - 1);
    painter.drawLine(0, h - 1, w - 1, 0);
    return image;
}

// A share of `length` cut off by a crop of `crop` twips of `goal`.
int cropPixels(int length, int crop, int goal)
{
    if (crop <= 0 || goal <= 0)
        return 0;
    return int(std::lround(double(length) * crop / goal));
}

QImage resolveImage(const QString& name, const QTextDocument& doc)
{
    if (name.isEmpty())
        return {};
    const QVariant v = doc.resource(QTextDocument::ImageResource, QUrl(name));
    switch (v.typeId()) {
    case QMetaType::QImage: return v.value<QImage>();
    case QMetaType::QPixmap: return v.value<QPixmap>().toImage();
    case QMetaType::QByteArray: return QImage::fromData(v.toByteArray());
    default: break;
    }
    // A name the document holds no image under: a file or a resource of the program.
    const QUrl url(name);
    if (url.isLocalFile())
        return QImage(url.toLocalFile());
    if (url.scheme() == QLatin1String("qrc"))
        return QImage(QLatin1Char(':') + url.path());
    if (url.scheme().size() > 1)
        return {};
    return QImage(name);
}

void writeRecordHeader(ByteWriter& w, uint16_t version, uint16_t instance, uint16_t type, qsizetype length)
{
    w.u16(uint16_t((version & 0x0F) | (instance << 4)));
    w.u16(type);
    w.u32(uint32_t(length));
}

// A record for an image written anew: the header, a picture frame shape
// showing picture 1, then the picture as PNG.
QByteArray pngRecord(const QImage& image, QSize shown, uint32_t shapeId)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return {};
    }
    const QByteArray uid = QCryptographicHash::hash(png, QCryptographicHash::Md4);

    QByteArray blip;
    ByteWriter b(blip);
    writeRecordHeader(b, 0, 0x6E0, kBlipPng, 16 + 1 + png.size());
    b.bytes(uid);
    b.u8(0xFF);
    b.bytes(png);

    QByteArray shape;
    ByteWriter s(shape);
    writeRecordHeader(s, 0x0F, 0, kShapeContainer, 8 + 8 + 8 + 2 * 6);
    writeRecordHeader(s, 2, 75, kShapeRecord, 8); // a picture frame
    s.u32(shapeId);
    s.u32(0x0800); // the shape type is given
    writeRecordHeader(s, 3, 2, kShapeProperties, 2 * 6);
    s.u16(kPropPicture | 0x4000);
    s.u32(1);
    s.u16(kPropLineFlags);
    s.u32(0x00080000); // no line around it

    QByteArray stored;
    ByteWriter f(stored);
    writeRecordHeader(f, 2, 6, kStoredPicture, 36 + blip.size());
    f.u8(6); // PNG, for Windows
    f.u8(6); // and for the Mac
    f.bytes(uid);
    f.u16(0xFF);
    f.u32(uint32_t(blip.size()));
    f.u32(1); // used once
    f.u32(0); // not kept elsewhere
    f.u8(0);
    f.u8(0); // no name
    f.u8(0);
    f.u8(0);
    f.bytes(blip);

    // The natural size, with the shown one as a scale of it where that fits.
    const QSize natural = naturalTwips(image);
    int goalW = natural.width(), goalH = natural.height();
    auto scale = [](int shownTwips, int goal) { return goal > 0 ? std::lround(shownTwips * 1000.0 / goal) : 0L; };
    long scaleX = scale(shown.width(), goalW), scaleY = scale(shown.height(), goalH);
    if (goalW < 1 || goalW > 31680 || scaleX < 1 || scaleX > 65535) {
        goalW = shown.width();
        scaleX = 1000;
    }
    if (goalH < 1 || goalH > 31680 || scaleY < 1 || scaleY > 65535) {
        goalH = shown.height();
        scaleY = 1000;
    }

    QByteArray record;
    ByteWriter r(record);
    r.u32(uint32_t(kHeaderSize + shape.size() + stored.size()));
    r.u16(uint16_t(kHeaderSize));
    r.u16(uint16_t(kModeShape));
    r.zeros(6);  // extents, handle
    r.zeros(14); // inner header
    r.i16(int16_t(goalW));
    r.i16(int16_t(goalH));
    r.u16(uint16_t(scaleX));
    r.u16(uint16_t(scaleY));
    r.zeros(8);  // no crop
    r.zeros(2);  // flags, bits per pixel
    r.zeros(16); // no borders
    r.zeros(4);  // origin
    r.u16(0);
    Q_ASSERT(record.size() == kHeaderSize);
    r.bytes(shape);
    r.bytes(stored);
    return record;
}

// The stored record, with its scale changed when it is to be shown at another size.
QByteArray resizedRecord(const StoredPicture& p, QSize shown)
{
    const QSizeF was = p.displaySize();
    QByteArray record = p.record;
    if (!shown.isValid() || shown.isEmpty() || !was.isValid()
        || (std::abs(shown.width() - was.width()) <= 1 && std::abs(shown.height() - was.height()) <= 1))
        return record;
    auto rescale = [&](int shownTwips, int goal, int cropA, int cropB, qint64 atGoal, qint64 atScale, qint64 atCropA,
                       qint64 atCropB) {
        const int net = goal - cropA - cropB;
        const long scale = net > 0 ? std::lround(shownTwips * 1000.0 / net) : 0;
        if (scale >= 1 && scale <= 65535) {
            put16(record, atScale, uint16_t(scale));
            return;
        }
        put16(record, atGoal, uint16_t(std::clamp(shownTwips, 1, 31680)));
        put16(record, atScale, 1000);
        put16(record, atCropA, 0);
        put16(record, atCropB, 0);
    };
    rescale(shown.width(), p.goalWidth, p.cropLeft, p.cropRight, kAtGoalWidth, kAtScaleX, kAtCropLeft, kAtCropRight);
    rescale(shown.height(), p.goalHeight, p.cropTop, p.cropBottom, kAtGoalHeight, kAtScaleY, kAtCropTop, kAtCropBottom);
    return record;
}

QSize shownTwips(const QTextImageFormat& format, QSize natural)
{
    const int w = format.hasProperty(QTextFormat::ImageWidth) ? lengthToTwips(format.width()) : natural.width();
    const int h = format.hasProperty(QTextFormat::ImageHeight) ? lengthToTwips(format.height()) : natural.height();
    return {std::clamp(w, 1, 31680), std::clamp(h, 1, 31680)};
}

// The record a format keeps, when the format still shows it.
std::optional<StoredPicture> keptPicture(const QTextImageFormat& format)
{
    const QByteArray kept = format.property(PictureRecordProperty).toByteArray();
    if (kept.isEmpty() || format.name() != pictureResourceName(kept))
        return std::nullopt;
    return parsePictureRecord(kept);
}

// How much of the stream the record at `offset` takes; a record cut short by
// the end of the stream takes what is there. 0 when no record starts there.
qint64 recordSizeAt(ByteView data, qint64 offset)
{
    if (!data.ok(offset, kHeaderSize) || data.u16(offset + 4) != kHeaderSize || data.i32(offset) < kHeaderSize)
        return 0;
    return std::min<qint64>(data.i32(offset), data.size() - offset);
}

} // namespace

// A device-independent bitmap as a BMP file: the file header is all it lacks.
QByteArray bmpFromDib(const QByteArray& dib)
{
    const ByteView v(dib);
    if (!v.ok(0, 12))
        return {};
    const uint32_t headerSize = v.u32(0);
    qint64 colors = 0, entrySize = 4, masks = 0;
    if (headerSize == 12) {
        const int bits = v.u16(10);
        colors = bits <= 8 ? (1 << bits) : 0;
        entrySize = 3;
    } else if (headerSize >= 40 && v.ok(0, 40)) {
        const int bits = v.u16(14);
        const uint32_t compression = v.u32(16);
        const uint32_t used = v.u32(32);
        colors = used ? qint64(used) : bits <= 8 ? (1 << bits) : 0;
        if (headerSize == 40 && (compression == 3 || compression == 6))
            masks = compression == 3 ? 12 : 16;
    } else {
        return {};
    }
    const qint64 bitsAt = headerSize + masks + colors * entrySize;
    if (colors > 65536 || bitsAt > dib.size())
        return {};
    QByteArray bmp;
    ByteWriter w(bmp);
    w.u8('B');
    w.u8('M');
    w.u32(uint32_t(14 + dib.size()));
    w.u32(0);
    w.u32(uint32_t(14 + bitsAt));
    w.bytes(dib);
    return bmp;
}

QString pictureKindName(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Emf: return QStringLiteral("emf");
    case PictureKind::Wmf: return QStringLiteral("wmf");
    case PictureKind::Pict: return QStringLiteral("pict");
    case PictureKind::Jpeg: return QStringLiteral("jpeg");
    case PictureKind::Png: return QStringLiteral("png");
    case PictureKind::Dib: return QStringLiteral("dib");
    case PictureKind::Tiff: return QStringLiteral("tiff");
    case PictureKind::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QSizeF StoredPicture::displaySize() const
{
    const double w = double(goalWidth - cropLeft - cropRight) * (scaleX ? scaleX : 1000) / 1000;
    const double h = double(goalHeight - cropTop - cropBottom) * (scaleY ? scaleY : 1000) / 1000;
    if (goalWidth <= 0 || goalHeight <= 0 || w < 1 || h < 1)
        return {};
    return {w, h};
}

std::optional<StoredPicture> readPictureRecord(ByteView data, qint64 offset)
{
    const qint64 size = recordSizeAt(data, offset);
    if (size == 0)
        return std::nullopt;
    QByteArray record = data.bytes(offset, size);
    if (size < data.i32(offset))
        put32(record, 0, uint32_t(size));
    return parsePictureRecord(record);
}

std::optional<StoredPicture> parsePictureRecord(const QByteArray& record)
{
    const ByteView v(record);
    if (!v.ok(0, kHeaderSize) || v.u16(4) != kHeaderSize)
        return std::nullopt;
    StoredPicture p;
    p.record = record;
    p.goalWidth = v.i16(kAtGoalWidth);
    p.goalHeight = v.i16(kAtGoalHeight);
    p.scaleX = v.u16(kAtScaleX);
    p.scaleY = v.u16(kAtScaleY);
    p.cropLeft = v.i16(kAtCropLeft);
    p.cropTop = v.i16(kAtCropTop);
    p.cropRight = v.i16(kAtCropRight);
    p.cropBottom = v.i16(kAtCropBottom);
    const int16_t mode = v.i16(kAtMapMode);
    qint64 at = kHeaderSize;
    if (mode == kModeShapeFile) {
        if (!v.ok(at, 1) || !v.ok(at + 1, v.u8(at)))
            return std::nullopt;
        p.fileName = QString::fromLatin1(record.constData() + at + 1, v.u8(at));
        at += 1 + v.u8(at);
    }
    if (mode != kModeShape && mode != kModeShapeFile) {
        // Older records hold the picture data right after the header; it is
        // kept as it is, shown as a box.
        if (record.size() <= at)
            return std::nullopt;
        p.dataOffset = at;
        p.dataSize = record.size() - at;
        return p;
    }
    DrawingScan scan;
    scanDrawing(v, at, record.size(), 0, scan);
    const std::optional<Blip>* chosen = nullptr;
    if (scan.shown >= 1 && scan.shown <= scan.blips.size() && scan.blips[scan.shown - 1])
        chosen = &scan.blips[scan.shown - 1];
    for (size_t i = 0; !chosen && i < scan.blips.size(); ++i)
        if (scan.blips[i])
            chosen = &scan.blips[i];
    if (!chosen)
        return std::nullopt;
    p.kind = (*chosen)->kind;
    p.dataOffset = (*chosen)->dataOffset;
    p.dataSize = (*chosen)->dataSize;
    return p;
}

QString pictureResourceName(const QByteArray& record)
{
    return kResourcePrefix + QString::fromLatin1(QCryptographicHash::hash(record, QCryptographicHash::Md5).toHex());
}

const PictureReader::Entry* PictureReader::entry(qint64 offset)
{
    auto it = entries_.find(offset);
    if (it != entries_.end())
        return *it ? &**it : nullptr;
    it = entries_.insert(offset, std::nullopt);
    // Records of a sound file do not overlap, so together they never exceed
    // the stream; past that, the places named are not read at all.
    const qint64 size = recordSizeAt(data_, offset);
    if (size == 0 || readBytes_ + size > data_.size())
        return nullptr;
    readBytes_ += size;
    std::optional<StoredPicture> stored = readPictureRecord(data_, offset);
    if (!stored)
        return nullptr;

    const QSizeF display = stored->displaySize();
    QImage image = decode(*stored);
    QSizeF shown; // in the model's lengths
    if (display.isValid())
        shown = display / kTwipsPerLength;
    else if (!image.isNull())
        shown = QSizeF(naturalTwips(image)) / kTwipsPerLength;
    else
        shown = QSizeF(96, 96);
    if (image.isNull())
        image = placeholderOf(shown);

    Entry e;
    e.format.setName(pictureResourceName(stored->record));
    e.format.setWidth(shown.width());
    e.format.setHeight(shown.height());
    e.format.setProperty(PictureRecordProperty, stored->record);
    e.format.setProperty(PictureKindProperty, int(stored->kind));
    e.image = image;
    *it = std::move(e);
    return &**it;
}

QImage PictureReader::placeholderOf(QSizeF size)
{
    QSize pixels(std::clamp(int(size.width()), 1, 400), std::clamp(int(size.height()), 1, 400));
    const qint64 cost = qint64(pixels.width()) * pixels.height() * 4;
    if (!placeholders_.contains(pixels) && decodedBytes_ + cost > kMaxDecodedBytes)
        pixels = QSize(16, 16); // past the limit, boxes of one size drawn larger or smaller
    auto it = placeholders_.find(pixels);
    if (it == placeholders_.end()) {
        it = placeholders_.insert(pixels, placeholder(pixels));
        decodedBytes_ += it->sizeInBytes();
    }
    return *it;
}

QImage PictureReader::decode(const StoredPicture& p)
{
    QByteArray bytes = decodableData(p);
    if (bytes.isEmpty())
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > kMaxSourcePixels)
        return {};
    // No more pixels than printing the whole (uncropped) picture at its size takes.
    QSize target = size;
    if (p.goalWidth > 0 && p.goalHeight > 0) {
        const double sx = (p.scaleX ? p.scaleX : 1000) / 1000.0, sy = (p.scaleY ? p.scaleY : 1000) / 1000.0;
        const int w = std::max(1, int(std::ceil(p.goalWidth * sx / 1440.0 * kDecodeDpi)));
        const int h = std::max(1, int(std::ceil(p.goalHeight * sy / 1440.0 * kDecodeDpi)));
        if (w < size.width() && h < size.height())
            target = QSize(w, h);
    }
    const qint64 cost = qint64(target.width()) * target.height() * 4;
    if (decodedBytes_ + cost > kMaxDecodedBytes)
        return {};
    if (target != size)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    const int left = cropPixels(image.width(), p.cropLeft, p.goalWidth);
    const int right = cropPixels(image.width(), p.cropRight, p.goalWidth);
    const int top = cropPixels(image.height(), p.cropTop, p.goalHeight);
    const int bottom = cropPixels(image.height(), p.cropBottom, p.goalHeight);
    if (left || right || top || bottom) {
        const QRect rest(left, top, image.width() - left - right, image.height() - top - bottom);
        if (!rest.isEmpty())
            image = image.copy(rest);
    }
    decodedBytes_ += image.sizeInBytes();
    return image;
}

std::optional<QTextImageFormat> PictureReader::imageFormat(qint64 offset, const QTextCharFormat& base,
                                                          QTextDocument& doc)
{
    const Entry* e = entry(offset);
    if (!e)
        return std::nullopt;
    doc.addResource(QTextDocument::ImageResource, QUrl(e->format.name()), e->image);
    QTextImageFormat f;
    f.merge(base);
    f.merge(e->format);
    return f;
}

std::optional<uint32_t> PictureWriter::add(const QTextImageFormat& format, const QTextDocument& doc)
{
    QByteArray record;
    if (const std::optional<StoredPicture> kept = keptPicture(format))
        record = resizedRecord(*kept, shownTwips(format, kept->displaySize().toSize()));
    if (record.isEmpty()) {
        const QImage image = resolveImage(format.name(), doc);
        if (image.isNull())
            return std::nullopt;
        record = pngRecord(image, shownTwips(format, naturalTwips(image)), nextShapeId_++);
        if (record.isEmpty())
            return std::nullopt;
    }
    const qint64 at = data_.size();
    if (at + record.size() > 0x7FFFFFFF)
        throw Error(QStringLiteral("Рисунки документа слишком велики для записи в формате Word 97–2003"));
    data_.append(record);
    return uint32_t(at);
}

PictureFacts pictureFacts(const QTextImageFormat& format, const QTextDocument& doc)
{
    PictureFacts facts;
    QSize natural;
    if (const std::optional<StoredPicture> kept = keptPicture(format)) {
        facts.kind = kept->kind;
        facts.bytes = kept->dataSize;
        facts.pixels = pixelSizeOf(*kept);
        natural = kept->displaySize().toSize();
    } else {
        // Written as PNG.
        const QImage image = resolveImage(format.name(), doc);
        facts.kind = PictureKind::Png;
        if (!image.isNull()) {
            facts.pixels = image.size();
            natural = naturalTwips(image);
        }
    }
    facts.width = format.hasProperty(QTextFormat::ImageWidth) ? format.width() : twipsToLength(natural.width());
    facts.height = format.hasProperty(QTextFormat::ImageHeight) ? format.height() : twipsToLength(natural.height());
    return facts;
}

} // namespace talvora::word

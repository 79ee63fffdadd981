#include "word/drawings.h"

#include "word/doc_pictures.h"

#include "word/doc_reader_file.h"
#include "word/document.h"
#include "word/fib.h"
#include "word/notes.h"
#include "word/text_formats.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDataStream>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextFrameFormat>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

// Record types of the drawing data.
enum RecordType : uint16_t {
    DggContainer = 0xF000,
    BStoreContainer = 0xF001,
    DgContainer = 0xF002,
    SpgrContainer = 0xF003,
    SpContainer = 0xF004,
    FdggRecord = 0xF006,
    FbseRecord = 0xF007,
    FdgRecord = 0xF008,
    FspgrRecord = 0xF009,
    FspRecord = 0xF00A,
    OptRecord = 0xF00B,
    ClientTextboxRecord = 0xF00D,
    ClientDataRecord = 0xF011,
    BlipFirst = 0xF018,
    BlipLast = 0xF117,
    SplitMenuColors = 0xF11E,
    TertiaryOptRecord = 0xF122,
};

// Shape properties this unit reads or renumbers.
enum PropertyId : uint16_t {
    TextId = 0x0080,        // lTxid: which text box holds the shape's text
    PictureBlip = 0x0104,   // pib
    FillColor = 0x0181,
    FillBlip = 0x0186,
    FillFlags = 0x01BF,
    LineColor = 0x01C0,
    LineFillBlip = 0x01C5,
    LineFlags = 0x01FF,
};

constexpr int kMaxDepth = 16;             // containers inside containers
constexpr qint64 kMaxRecords = 200000;    // records of one file looked at
constexpr qint64 kMaxBlipBytes = 64LL * 1024 * 1024;
constexpr qint64 kMaxSourcePixels = 40LL * 1024 * 1024;
constexpr qint64 kMaxImageBytes = 256LL * 1024 * 1024;
constexpr int kMaxImageSide = 1600;
constexpr int kFspaSize = 26;
constexpr int kFtxbxsSize = 22;
constexpr int kTbkdSize = 6;
constexpr quint8 kSaveVersion = 1;

struct Record {
    uint16_t verInst = 0;
    uint16_t type = 0;
    uint32_t length = 0;
    qint64 at = 0; // of its header

    int version() const { return verInst & 0x0F; }
    int instance() const { return verInst >> 4; }
    bool container() const { return version() == 0x0F; }
    qint64 body() const { return at + 8; }
    qint64 end() const { return at + 8 + qint64(length); }
};

// The record at `at`, if its header and body lie before `limit`.
std::optional<Record> recordAt(ByteView v, qint64 at, qint64 limit)
{
    if (at < 0 || at + 8 > limit || !v.ok(at, 8))
        return std::nullopt;
    Record r{v.u16(at), v.u16(at + 2), v.u32(at + 4), at};
    if (r.end() > limit || !v.ok(at, 8 + qint64(r.length)))
        return std::nullopt;
    return r;
}

// The records one after another in [from, to); stops at the first that does not fit.
std::vector<Record> recordsIn(ByteView v, qint64 from, qint64 to, qint64& budget)
{
    std::vector<Record> out;
    qint64 at = from;
    while (budget > 0) {
        const auto r = recordAt(v, at, to);
        if (!r)
            break;
        --budget;
        out.push_back(*r);
        at = r->end();
    }
    return out;
}

std::vector<Record> childrenOf(ByteView v, const Record& parent, qint64& budget)
{
    return parent.container() ? recordsIn(v, parent.body(), parent.end(), budget) : std::vector<Record>{};
}

// Every record inside `top` (itself included), depth first, down to kMaxDepth.
template <typename Visit>
void walk(ByteView v, const Record& top, qint64& budget, const Visit& visit, int depth = 0)
{
    visit(top);
    if (depth >= kMaxDepth)
        return;
    for (const Record& r : childrenOf(v, top, budget))
        walk(v, r, budget, visit, depth + 1);
}

bool isBlipProperty(uint16_t pid)
{
    return pid == PictureBlip || pid == FillBlip || pid == LineFillBlip;
}

// The properties of the option records of a shape: (position of the value, id, value).
struct Property {
    qint64 valueAt;
    uint16_t opid;
    uint32_t value;
    uint16_t id() const { return opid & 0x3FFF; }
    bool blipId() const { return opid & 0x4000; }
};

std::vector<Property> propertiesOf(ByteView v, const Record& opt)
{
    std::vector<Property> out;
    const qint64 count = std::min<qint64>(opt.instance(), opt.length / 6);
    for (qint64 k = 0; k < count; ++k) {
        const qint64 at = opt.body() + 6 * k;
        out.push_back({at + 2, v.u16(at), v.u32(at + 2)});
    }
    return out;
}

// The shape id of a shape container (or of the group a group container makes).
std::optional<uint32_t> shapeIdOf(ByteView v, const Record& shape)
{
    qint64 budget = 64;
    std::optional<uint32_t> id;
    walk(v, shape, budget, [&](const Record& r) {
        if (!id && r.type == FspRecord && r.length >= 8)
            id = v.u32(r.body());
    });
    return id;
}

// Reads a value of the shape's own options (not of its group's children).
std::optional<uint32_t> propertyOf(ByteView v, const Record& shape, uint16_t id)
{
    if (shape.type != SpContainer)
        return std::nullopt;
    qint64 budget = 64;
    for (const Record& r : childrenOf(v, shape, budget))
        if (r.type == OptRecord || r.type == TertiaryOptRecord)
            for (const Property& p : propertiesOf(v, r))
                if (p.id() == id && !(p.opid & 0x8000))
                    return p.value;
    return std::nullopt;
}

int shapeTypeOf(ByteView v, const Record& shape)
{
    qint64 budget = 64;
    for (const Record& r : childrenOf(v, shape, budget))
        if (r.type == FspRecord)
            return r.instance();
    return 0;
}

uint32_t blipOffset(const Record& blip)
{
    const int uids = (blip.instance() & 1) ? 2 : 1;
    const bool metafile = blip.type == 0xF01A || blip.type == 0xF01B || blip.type == 0xF01C;
    return uint32_t(16 * uids + (metafile ? 34 : 1));
}

QColor colorOf(uint32_t value, QColor fallback)
{
    if (value & 0xFF000000) // a scheme or system colour: not one of its own
        return fallback;
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

// A size in the model's lengths (1/96 inch) in pixels at `dpi`.
QSize pixelsOf(const QSizeF& size, double dpi)
{
    const double scale = dpi / 96.0;
    return QSize(std::clamp(int(std::ceil(size.width() * scale)), 1, kMaxImageSide),
                 std::clamp(int(std::ceil(size.height() * scale)), 1, kMaxImageSide));
}

} // namespace

// ---- the object as the model keeps it

QByteArray StoredDrawing::save() const
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    s << kSaveVersion << header << qint32(order) << qint32(placement.left) << qint32(placement.top)
      << qint32(placement.right) << qint32(placement.bottom) << quint16(placement.flags) << shape
      << quint32(blips.size());
    for (const auto& [index, blip] : blips)
        s << quint32(index) << blip.entry << blip.blip;
    s << textbox.has_value() << textbox.value_or(QByteArray());
    return out;
}

std::optional<StoredDrawing> StoredDrawing::load(const QByteArray& bytes)
{
    QDataStream s(bytes);
    s.setVersion(QDataStream::Qt_6_0);
    quint8 version = 0;
    StoredDrawing d;
    qint32 order = 0, left = 0, top = 0, right = 0, bottom = 0;
    quint16 flags = 0;
    quint32 count = 0;
    s >> version >> d.header >> order >> left >> top >> right >> bottom >> flags >> d.shape >> count;
    if (s.status() != QDataStream::Ok || version != kSaveVersion)
        return std::nullopt;
    d.order = order;
    d.placement = {left, top, right, bottom, flags};
    for (quint32 k = 0; k < count && s.status() == QDataStream::Ok; ++k) {
        quint32 index = 0;
        StoredBlip blip;
        s >> index >> blip.entry >> blip.blip;
        d.blips[index] = blip;
    }
    bool hasTextbox = false;
    QByteArray textbox;
    s >> hasTextbox >> textbox;
    if (s.status() != QDataStream::Ok)
        return std::nullopt;
    if (hasTextbox)
        d.textbox = textbox;
    return d;
}

std::optional<StoredDrawing> drawingOf(const QTextFormat& format)
{
    if (!format.hasProperty(DrawingProperty))
        return std::nullopt;
    return StoredDrawing::load(format.property(DrawingProperty).toByteArray());
}

bool isDrawing(const QTextFormat& format)
{
    return format.hasProperty(DrawingProperty);
}

QString blipKindName(const QByteArray& blip)
{
    if (blip.size() < 8)
        return QStringLiteral("unknown");
    switch (le16(blip.constData() + 2)) {
    case 0xF01A: return QStringLiteral("emf");
    case 0xF01B: return QStringLiteral("wmf");
    case 0xF01C: return QStringLiteral("pict");
    case 0xF01D:
    case 0xF02A: return QStringLiteral("jpeg");
    case 0xF01E: return QStringLiteral("png");
    case 0xF01F: return QStringLiteral("dib");
    case 0xF029: return QStringLiteral("tiff");
    default: return QStringLiteral("unknown");
    }
}

QImage decodeBlip(const QByteArray& blipRecord)
{
    const ByteView v(blipRecord);
    const auto r = recordAt(v, 0, v.size());
    if (!r)
        return {};
    const QString kind = blipKindName(blipRecord);
    const qint64 at = r->body() + blipOffset(*r);
    if (at >= r->end() || kind == QLatin1String("emf") || kind == QLatin1String("wmf") || kind == QLatin1String("pict")
        || kind == QLatin1String("unknown"))
        return {};
    QByteArray data = blipRecord.mid(at, r->end() - at);
    if (kind == QLatin1String("dib"))
        data = bmpFromDib(data);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > kMaxSourcePixels)
        return {};
    if (size.width() > kMaxImageSide || size.height() > kMaxImageSide)
        reader.setScaledSize(size.scaled(kMaxImageSide, kMaxImageSide, Qt::KeepAspectRatio));
    return reader.read();
}

// ---- reading

struct DrawingReader::Impl {
    struct Shape {
        qint64 at = 0; // its record in the table stream
        int order = 0;
        bool header = false;
    };
    struct Anchor {
        uint32_t spid = 0;
        ShapePlacement placement;
        bool header = false;
    };
    struct Blip {
        qint64 entryAt = 0; // in the table stream, 36 bytes
        ByteView record;    // in the table or the WordDocument stream
    };
    struct Textbox {
        std::unique_ptr<QTextDocument> text;
        uint32_t lid = 0;
    };

    Impl(const WordFile& file, const Layout& layout);
    void readBlipStore(const Record& store);
    void readDrawing(const Record& dg, bool header);
    void readAnchors(ByteView plc, int32_t base, bool header);
    void readTextboxes(ByteView plc, int32_t base, int32_t length, int story, const BuildStory& build);
    std::optional<StoredDrawing> stored(const Anchor& anchor, const Shape& shape);
    const Textbox* textboxOf(const Shape& shape, uint32_t spid) const;
    QImage imageOf(const StoredDrawing& drawing, const Shape& shape, uint32_t spid, QSizeF size);
    QImage textboxImage(const QTextDocument& text, QSizeF size);
    QImage shapeImage(const Shape& shape, QSizeF size);
    bool spend(qint64 bytes, qint64& budget) const;

    ByteView table, word;
    Layout layout;
    qint64 records = kMaxRecords;
    std::vector<Blip> blips; // by index - 1
    QHash<uint32_t, Shape> shapes[2]; // main, header; by shape id
    QHash<int32_t, Anchor> anchors;   // by CP of the whole text
    std::vector<Textbox> textboxes[2];
    ByteView textboxPlc[2];
    qint64 copyBudget = 0;
    qint64 imageBudget = kMaxImageBytes;
    QHash<uint32_t, QImage> blipImages;
    int names = 0;
};

DrawingReader::Impl::Impl(const WordFile& file, const Layout& l)
    : table(file.tableStream())
    , word(file.wordStream())
    , layout(l)
    , copyBudget(64LL * 1024 * 1024 + 4 * (qint64(table.size()) + word.size()))
{
    if (file.word6())
        return;
    // The drawing data: the drawing group, then each drawing after a byte
    // that says whose it is (0 the main text's, 1 the headers').
    const auto [fc, lcb] = file.fcLcb(fib::DggInfo);
    if (lcb == 0 || !table.ok(fc, lcb))
        return;
    const qint64 end = qint64(fc) + lcb;
    const auto dgg = recordAt(table, fc, end);
    if (!dgg || dgg->type != DggContainer)
        return;
    for (const Record& r : childrenOf(table, *dgg, records))
        if (r.type == BStoreContainer)
            readBlipStore(r);
    qint64 at = dgg->end();
    for (int k = 0; k < 2 && at + 1 < end; ++k) {
        const bool header = table.u8(at) == 1;
        const auto dg = recordAt(table, at + 1, end);
        if (!dg || dg->type != DgContainer)
            break;
        readDrawing(*dg, header);
        at = dg->end();
    }
    readAnchors(file.tableRange(fib::PlcSpaMom), 0, false);
    readAnchors(file.tableRange(fib::PlcSpaHdr), layout.headerBase, true);
    textboxPlc[0] = file.tableRange(fib::PlcftxbxTxt);
    textboxPlc[1] = file.tableRange(fib::PlcfHdrtxbxTxt);
}

// Each entry of the blip store holds its picture, or names where it lies in
// the WordDocument stream. An entry whose picture cannot be had still counts,
// so that the shapes' indices keep pointing at the right ones.
void DrawingReader::Impl::readBlipStore(const Record& store)
{
    for (const Record& e : childrenOf(table, store, records)) {
        Blip b;
        if (e.type == FbseRecord && e.length >= 36) {
            b.entryAt = e.body();
            const qint64 embedded = e.body() + 36 + table.u8(e.body() + 33);
            const uint32_t size = table.u32(e.body() + 20);
            const uint32_t delay = table.u32(e.body() + 28);
            if (const auto r = recordAt(table, embedded, e.end()); r && r->type >= BlipFirst && r->type <= BlipLast)
                b.record = table.sub(r->at, r->end() - r->at);
            else if (delay != 0xFFFFFFFF && size >= 8 && size <= kMaxBlipBytes) {
                const auto d = recordAt(word, delay, std::min<qint64>(word.size(), qint64(delay) + size));
                if (d && d->type >= BlipFirst && d->type <= BlipLast)
                    b.record = word.sub(d->at, d->end() - d->at);
            }
        } else if (e.type >= BlipFirst && e.type <= BlipLast) {
            b.record = table.sub(e.at, e.end() - e.at);
        }
        blips.push_back(b);
    }
}

void DrawingReader::Impl::readDrawing(const Record& dg, bool header)
{
    QHash<uint32_t, Shape>& found = shapes[header ? 1 : 0];
    for (const Record& r : childrenOf(table, dg, records)) {
        if (r.type != SpgrContainer)
            continue;
        const std::vector<Record> members = childrenOf(table, r, records);
        // The first member is the group all shapes of the drawing make.
        for (size_t k = 1; k < members.size(); ++k) {
            const Record& m = members[k];
            if (m.type != SpContainer && m.type != SpgrContainer)
                continue;
            if (const auto spid = shapeIdOf(table, m); spid && !found.contains(*spid))
                found.insert(*spid, {m.at, int(k), header});
        }
        break;
    }
}

void DrawingReader::Impl::readAnchors(ByteView plc, int32_t base, bool header)
{
    if (plc.size() < 4 + 4 + kFspaSize)
        return;
    const qint64 count = (plc.size() - 4) / (4 + kFspaSize);
    for (qint64 k = 0; k < count; ++k) {
        const int32_t cp = plc.i32(4 * k);
        const qint64 at = 4 * (count + 1) + kFspaSize * k;
        if (cp < 0 || qint64(base) + cp >= layout.textLength)
            continue;
        Anchor a;
        a.spid = plc.u32(at);
        a.placement = {plc.i32(at + 4), plc.i32(at + 8), plc.i32(at + 12), plc.i32(at + 16), plc.u16(at + 20)};
        a.header = header;
        anchors.insert(base + cp, a); // a character anchors one object: the last named
    }
}

// The text box story: each box's text ends with a paragraph mark of its own
// that keeps it apart from the next; the last entry closes the story.
void DrawingReader::Impl::readTextboxes(ByteView plc, int32_t base, int32_t length, int story, const BuildStory& build)
{
    if (length <= 0 || plc.size() < 4 + 4 + kFtxbxsSize || qint64(base) + length > layout.textLength)
        return;
    const qint64 count = (plc.size() - 4) / (4 + kFtxbxsSize);
    int32_t last = 0;
    for (qint64 k = 0; k + 1 <= count; ++k) {
        const int32_t from = plc.i32(4 * k), to = plc.i32(4 * (k + 1));
        Textbox t;
        t.lid = plc.u32(4 * (count + 1) + kFtxbxsSize * k + 14);
        // Boxes follow one another; one that overlaps the one before or lies
        // outside the story has no text.
        if (from >= last && to > from && to <= length) {
            t.text = build(base + from, base + to - 1);
            last = to;
        }
        textboxes[story].push_back(std::move(t));
    }
}

bool DrawingReader::Impl::spend(qint64 bytes, qint64& budget) const
{
    if (bytes > budget)
        return false;
    budget -= bytes;
    return true;
}

const DrawingReader::Impl::Textbox* DrawingReader::Impl::textboxOf(const Shape& shape, uint32_t spid) const
{
    const std::vector<Textbox>& boxes = textboxes[shape.header ? 1 : 0];
    for (const Textbox& t : boxes)
        if (t.lid == spid && t.text)
            return &t;
    const auto r = recordAt(table, shape.at, table.size());
    if (!r)
        return nullptr;
    if (const auto id = propertyOf(table, *r, TextId)) {
        const qint64 index = qint64(*id >> 16) - 1;
        if (index >= 0 && index < qint64(boxes.size()) && boxes[size_t(index)].text)
            return &boxes[size_t(index)];
    }
    return nullptr;
}

std::optional<StoredDrawing> DrawingReader::Impl::stored(const Anchor& anchor, const Shape& shape)
{
    const auto r = recordAt(table, shape.at, table.size());
    if (!r || !spend(r->end() - r->at, copyBudget))
        return std::nullopt;
    StoredDrawing d;
    d.header = anchor.header;
    d.order = shape.order;
    d.placement = anchor.placement;
    d.shape = table.bytes(r->at, r->end() - r->at);
    qint64 budget = 4096;
    walk(table, *r, budget, [&](const Record& opt) {
        if (opt.type != OptRecord && opt.type != TertiaryOptRecord)
            return;
        for (const Property& p : propertiesOf(table, opt)) {
            if (!p.blipId() || !isBlipProperty(p.id()) || p.value == 0 || p.value > blips.size() || d.blips.count(p.value))
                continue;
            const Blip& b = blips[p.value - 1];
            if (b.entryAt && b.record.size() && spend(36 + b.record.size(), copyBudget))
                d.blips[p.value] = {table.bytes(b.entryAt, 36), QByteArray(b.record.data(), b.record.size())};
        }
    });
    if (const Textbox* t = textboxOf(shape, anchor.spid))
        d.textbox = saveNoteContent(*t->text);
    return d;
}

QImage DrawingReader::Impl::imageOf(const StoredDrawing& d, const Shape& shape, uint32_t spid, QSizeF size)
{
    if (const auto r = recordAt(table, shape.at, table.size())) {
        const std::optional<uint32_t> pib = propertyOf(table, *r, PictureBlip);
        if (pib && d.blips.count(*pib)) {
            auto it = blipImages.find(*pib);
            if (it == blipImages.end()) {
                QImage image = decodeBlip(d.blips.at(*pib).blip);
                if (image.sizeInBytes() > imageBudget)
                    image = {};
                imageBudget -= image.sizeInBytes();
                it = blipImages.insert(*pib, image);
            }
            if (!it->isNull())
                return *it;
        }
    }
    if (const Textbox* t = textboxOf(shape, spid))
        return textboxImage(*t->text, size);
    return shapeImage(shape, size);
}

// The text of a text box drawn in its frame, at twice the screen's resolution.
QImage DrawingReader::Impl::textboxImage(const QTextDocument& text, QSizeF size)
{
    constexpr double dpi = 192;
    const QSize pixels = pixelsOf(size, dpi);
    const qint64 cost = qint64(pixels.width()) * pixels.height() * 4;
    if (cost > imageBudget)
        return {};
    imageBudget -= cost;
    QImage image(pixels, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    // Fonts need the windowing system; without it the frame stays empty.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        std::unique_ptr<QTextDocument> copy(text.clone());
        layOutForDevice(*copy, image);
        copy->setDocumentMargin(0.1 / 2.54 * dpi);
        copy->setTextWidth(pixels.width());
        // Text longer than the box is drawn smaller, so that all of it
        // shows: laid out wider, it takes no more lines than before.
        painter.save();
        painter.setClipRect(image.rect());
        const double height = copy->size().height();
        if (height > pixels.height()) {
            const double scale = pixels.height() / height;
            copy->setTextWidth(pixels.width() / scale);
            painter.scale(scale, scale);
        }
        copy->drawContents(&painter);
        painter.restore();
    }
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(QRectF(image.rect()).adjusted(1, 1, -1, -1));
    return image;
}

// Other shapes are drawn as what they are closest to: a box, an oval or an
// arrow in their fill and line colours.
QImage DrawingReader::Impl::shapeImage(const Shape& shape, QSizeF size)
{
    const QSize pixels = pixelsOf(size, 96);
    const qint64 cost = qint64(pixels.width()) * pixels.height() * 4;
    if (cost > imageBudget)
        return {};
    imageBudget -= cost;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const auto r = recordAt(table, shape.at, table.size());
    QColor fill(Qt::white), line(Qt::black);
    int type = 1;
    bool filled = true;
    if (r) {
        fill = colorOf(propertyOf(table, *r, FillColor).value_or(0xFFFFFF), fill);
        line = colorOf(propertyOf(table, *r, LineColor).value_or(0), line);
        const uint32_t flags = propertyOf(table, *r, FillFlags).value_or(0x10);
        filled = !(flags & 0x100000) || (flags & 0x10);
        type = shapeTypeOf(table, *r);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(line, 1));
    painter.setBrush(filled ? QBrush(fill) : QBrush());
    const QRectF box = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (type) {
    case 3: painter.drawEllipse(box); break; // an oval
    case 2: painter.drawRoundedRect(box, box.height() / 6, box.height() / 6); break;
    case 13: { // an arrow to the right
        const double w = box.width(), h = box.height(), head = std::min(w / 2, h);
        QPainterPath path;
        path.moveTo(box.left(), box.top() + h / 4);
        path.lineTo(box.right() - head, box.top() + h / 4);
        path.lineTo(box.right() - head, box.top());
        path.lineTo(box.right(), box.center().y());
        path.lineTo(box.right() - head, box.bottom());
        path.lineTo(box.right() - head, box.bottom() - h / 4);
        path.lineTo(box.left(), box.bottom() - h / 4);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    default: painter.drawRect(box);
    }
    return image;
}

DrawingReader::DrawingReader(const WordFile& file, const Layout& layout) : d_(std::make_unique<Impl>(file, layout)) {}

DrawingReader::~DrawingReader() = default;

void DrawingReader::readTextboxes(const BuildStory& build)
{
    if (d_->anchors.isEmpty())
        return;
    d_->readTextboxes(d_->textboxPlc[0], d_->layout.textboxBase, d_->layout.ccpTxbx, 0, build);
    d_->readTextboxes(d_->textboxPlc[1], d_->layout.headerTextboxBase, d_->layout.ccpHdrTxbx, 1, build);
}

std::optional<DrawingReader::Anchored> DrawingReader::anchorAt(int32_t cp, const QTextCharFormat& base, QTextDocument& doc)
{
    const auto a = d_->anchors.constFind(cp);
    if (a == d_->anchors.constEnd())
        return std::nullopt;
    // Header objects are in the headers' drawing, others in the main text's;
    // a file that puts one in the other's is still read.
    const int own = a->header ? 1 : 0;
    auto s = d_->shapes[own].constFind(a->spid);
    if (s == d_->shapes[own].constEnd()) {
        s = d_->shapes[1 - own].constFind(a->spid);
        if (s == d_->shapes[1 - own].constEnd())
            return std::nullopt;
    }
    const std::optional<StoredDrawing> drawing = d_->stored(*a, *s);
    if (!drawing)
        return std::nullopt;
    const ShapePlacement& p = drawing->placement;
    const QSizeF size(std::clamp<qint64>(p.width(), 20, 31680) / kTwipsPerLength,
                      std::clamp<qint64>(p.height(), 20, 31680) / kTwipsPerLength);
    QImage image = d_->imageOf(*drawing, *s, a->spid, size);
    const QString name = QStringLiteral("drawing-%1").arg(++d_->names);
    if (image.isNull()) {
        image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    Anchored out;
    out.format.merge(base);
    out.format.setName(name);
    out.format.setWidth(size.width());
    out.format.setHeight(size.height());
    out.format.setProperty(DrawingProperty, drawing->save());
    // Above and below the text only: on a line of its own; otherwise beside
    // the text on the side it stands nearer.
    if (p.wrap() == 1)
        out.position = QTextFrameFormat::InFlow;
    else
        out.position = (qint64(p.left) + p.right) / 2 <= d_->layout.textWidth / 2 ? QTextFrameFormat::FloatLeft
                                                                                  : QTextFrameFormat::FloatRight;
    return out;
}

// ---- writing

bool DrawingWriter::add(int32_t cp, bool header, const QTextFormat& format)
{
    std::optional<StoredDrawing> d = drawingOf(format);
    if (!d)
        return false;
    d->header = header;
    // A size changed in the editor is the object's new size.
    const QTextImageFormat image = format.toImageFormat();
    ShapePlacement& p = d->placement;
    auto resized = [](int32_t from, double length) {
        const qint64 to = qint64(from) + std::clamp<qint64>(std::llround(length * kTwipsPerLength), 1, 31680);
        return int32_t(std::clamp<qint64>(to, INT32_MIN, INT32_MAX));
    };
    if (image.hasProperty(QTextFormat::ImageWidth) && std::abs(image.width() * kTwipsPerLength - double(p.width())) >= 10)
        p.right = resized(p.left, image.width());
    if (image.hasProperty(QTextFormat::ImageHeight) && std::abs(image.height() * kTwipsPerLength - double(p.height())) >= 10)
        p.bottom = resized(p.top, image.height());
    anchors_.push_back({cp, std::move(*d)});
    return true;
}

std::vector<QByteArray> DrawingWriter::textboxes(bool header) const
{
    std::vector<QByteArray> out;
    for (const Anchor& a : anchors_)
        if (a.drawing.header == header && a.drawing.textbox)
            out.push_back(*a.drawing.textbox);
    return out;
}

namespace {

QByteArray record(int version, int instance, uint16_t type, const QByteArray& body)
{
    QByteArray out;
    ByteWriter w(out);
    w.u16(uint16_t((version & 0x0F) | (instance << 4)));
    w.u16(type);
    w.u32(uint32_t(body.size()));
    w.bytes(body);
    return out;
}

// What the shapes of the document become when written: new shape ids (the
// ids count within each drawing's clusters of 1024), the pictures' new
// places in the blip store, and the text boxes' new numbers.
struct Renumbering {
    uint32_t nextSpid = 0;
    std::map<uint32_t, uint32_t> blips; // stored index → written index
    std::optional<uint32_t> textId;
    int shapes = 0;
};

// Rewrites the ids the records of one shape hold; returns the shape's own id.
uint32_t renumber(QByteArray& shape, Renumbering& n)
{
    const ByteView v(shape);
    const auto top = recordAt(v, 0, v.size());
    if (!top)
        return 0;
    std::optional<uint32_t> own;
    std::vector<std::pair<qint64, uint32_t>> patches;
    qint64 budget = kMaxRecords;
    walk(v, *top, budget, [&](const Record& r) {
        if (r.type == FspRecord && r.length >= 8) {
            patches.emplace_back(r.body(), n.nextSpid);
            if (!own)
                own = n.nextSpid;
            ++n.nextSpid;
            ++n.shapes;
        } else if (r.type == OptRecord || r.type == TertiaryOptRecord) {
            for (const Property& p : propertiesOf(v, r)) {
                if (p.blipId() && isBlipProperty(p.id())) {
                    const auto it = n.blips.find(p.value);
                    patches.emplace_back(p.valueAt, it == n.blips.end() ? 0 : it->second);
                } else if (p.id() == TextId && !(p.opid & 0x8000) && n.textId) {
                    patches.emplace_back(p.valueAt, *n.textId);
                }
            }
        } else if (r.type == ClientTextboxRecord && r.length >= 4 && n.textId) {
            patches.emplace_back(r.body(), *n.textId);
        }
    });
    for (const auto& [at, value] : patches)
        put32(shape, at, value);
    return own.value_or(0);
}

// A shape container of the patriarch group and, in the main text's drawing,
// the background shape Word keeps.
QByteArray groupShape(uint32_t spid)
{
    QByteArray fsp;
    ByteWriter w(fsp);
    w.u32(spid);
    w.u32(0x0005); // a group, the drawing's own
    return record(0x0F, 0, SpContainer, record(1, 0, FspgrRecord, QByteArray(16, '\0')) + record(2, 0, FspRecord, fsp));
}

QByteArray backgroundShape(uint32_t spid)
{
    QByteArray fsp, opt, data;
    ByteWriter f(fsp), o(opt), c(data);
    f.u32(spid);
    f.u32(0x0E00); // the background, with an anchor and a type
    const std::pair<uint16_t, uint32_t> props[] = {{0x01C0, 0x08000001}, {0x01CB, 0}, {0x01FF, 0x00080008}, {0x0201, 0x08000002}};
    for (auto [id, value] : props) {
        o.u16(id);
        o.u32(value);
    }
    c.u32(1);
    return record(0x0F, 0, SpContainer,
                  record(2, 1, FspRecord, fsp) + record(3, 4, OptRecord, opt) + record(0, 0, ClientDataRecord, data));
}

} // namespace

std::vector<std::pair<int, QByteArray>> DrawingWriter::tables(QByteArray& wordStream, const TextboxBounds& bounds) const
{
    if (anchors_.empty())
        return {};
    // The pictures: each one once in the blip store, however many shapes name it.
    struct Entry {
        QByteArray entry, blip;
        uint32_t refs = 0;
    };
    std::vector<Entry> store;
    QHash<QByteArray, uint32_t> storeIndex;
    std::vector<std::map<uint32_t, uint32_t>> blipMaps(anchors_.size());
    for (size_t k = 0; k < anchors_.size(); ++k) {
        for (const auto& [index, b] : anchors_[k].drawing.blips) {
            if (b.entry.size() < 36 || b.blip.size() < 8)
                continue;
            auto it = storeIndex.find(b.blip);
            if (it == storeIndex.end()) {
                store.push_back({b.entry.left(36), b.blip, 0});
                it = storeIndex.insert(b.blip, uint32_t(store.size()));
            }
            ++store[*it - 1].refs;
            blipMaps[k][index] = *it;
        }
    }
    QByteArray bstore;
    for (Entry& e : store) {
        ByteWriter(wordStream).padTo(2);
        put32(e.entry, 20, uint32_t(e.blip.size()));
        put32(e.entry, 24, e.refs);
        put32(e.entry, 28, uint32_t(wordStream.size()));
        e.entry[33] = 0; // no name
        wordStream.append(e.blip);
        bstore += record(2, uint8_t(e.entry[0]), FbseRecord, e.entry);
    }

    // The drawings, front shapes last as they were; the main text's always.
    std::vector<std::pair<int, QByteArray>> out;
    QByteArray drawings;
    QByteArray idcls;
    uint32_t clusters = 1, spidMax = 0, shapesSaved = 0, drawingCount = 0;
    QByteArray plcSpa[2];
    for (int story = 0; story < 2; ++story) {
        std::vector<size_t> members, byCp;
        for (size_t k = 0; k < anchors_.size(); ++k)
            if (anchors_[k].drawing.header == (story == 1))
                members.push_back(k);
        if (story == 1 && members.empty())
            break;
        byCp = members;
        std::stable_sort(members.begin(), members.end(),
                         [&](size_t a, size_t b) { return anchors_[a].drawing.order < anchors_[b].drawing.order; });
        // Text boxes are numbered in the order of their anchors.
        std::map<size_t, uint32_t> textIds;
        uint32_t box = 0;
        for (size_t k : byCp)
            if (anchors_[k].drawing.textbox)
                textIds[k] = ++box << 16;
        const uint32_t dgid = uint32_t(story + 1);
        const uint32_t firstCluster = clusters;
        Renumbering n;
        n.nextSpid = firstCluster * 1024;
        QByteArray group = groupShape(n.nextSpid++);
        ++n.shapes;
        QByteArray background;
        if (story == 0) {
            background = backgroundShape(n.nextSpid++);
            ++n.shapes;
        }
        std::map<size_t, uint32_t> spids;
        for (size_t k : members) {
            QByteArray shape = anchors_[k].drawing.shape;
            n.blips = blipMaps[k];
            n.textId = textIds.count(k) ? std::optional<uint32_t>(textIds[k]) : std::nullopt;
            spids[k] = renumber(shape, n);
            group += shape;
        }
        const uint32_t lastSpid = n.nextSpid - 1;
        const uint32_t used = lastSpid / 1024 - firstCluster + 1;
        for (uint32_t c = 0; c < used; ++c) {
            ByteWriter w(idcls);
            w.u32(dgid);
            w.u32(c + 1 < used ? 1024 : lastSpid % 1024 + 1);
        }
        clusters += used;
        spidMax = std::max(spidMax, lastSpid);
        shapesSaved += uint32_t(n.shapes);
        ++drawingCount;
        QByteArray fdg;
        ByteWriter(fdg).u32(uint32_t(n.shapes));
        ByteWriter(fdg).u32(lastSpid);
        const QByteArray dg = record(0x0F, 0, DgContainer,
                                     record(0, int(dgid), FdgRecord, fdg) + record(0x0F, 0, SpgrContainer, group)
                                         + background);
        drawings.append(char(story));
        drawings += dg;

        // The anchors, in the order of their characters.
        QByteArray cps, fspas;
        ByteWriter c(cps), f(fspas);
        for (size_t k : byCp) {
            const ShapePlacement& p = anchors_[k].drawing.placement;
            c.i32(anchors_[k].cp);
            f.u32(spids[k]);
            f.i32(p.left);
            f.i32(p.top);
            f.i32(p.right);
            f.i32(p.bottom);
            f.u16(p.flags);
            f.i32(0);
        }
        c.i32(byCp.empty() ? 0 : anchors_[byCp.back()].cp + 1);
        if (!byCp.empty())
            plcSpa[story] = cps + fspas;

        // The text boxes: each names its shape; one empty entry closes the story.
        const std::vector<int32_t>& starts = story == 0 ? bounds.main : bounds.header;
        if (box > 0 && starts.size() == box + 2) {
            QByteArray txbx, bkd, tcps;
            ByteWriter t(txbx), b(bkd), tc(tcps);
            for (int32_t cp : starts)
                tc.i32(cp);
            uint32_t index = 0;
            for (size_t k : byCp) {
                if (!anchors_[k].drawing.textbox)
                    continue;
                t.i32(1); // a chain of one box
                t.i32(0);
                t.u16(0);
                t.i32(-1);
                t.u32(spids[k]);
                t.i32(0);
                b.u16(uint16_t(index++));
                b.u16(0);
                b.u16(0x0800);
            }
            t.zeros(kFtxbxsSize);
            b.zeros(kTbkdSize);
            out.emplace_back(story == 0 ? fib::PlcftxbxTxt : fib::PlcfHdrtxbxTxt, tcps + txbx);
            out.emplace_back(story == 0 ? fib::PlcfTxbxBkd : fib::PlcfTxbxHdrBkd, tcps + bkd);
        }
    }

    QByteArray fdgg;
    ByteWriter g(fdgg);
    g.u32(spidMax);
    g.u32(clusters);
    g.u32(shapesSaved);
    g.u32(drawingCount);
    g.bytes(idcls);
    QByteArray menuColors;
    ByteWriter m(menuColors);
    for (uint32_t color : {0x0800000Du, 0x0800000Cu, 0x08000017u, 0x100000F7u})
        m.u32(color);
    QByteArray dgg = record(0, 0, FdggRecord, fdgg);
    if (!store.empty())
        dgg += record(0x0F, int(store.size()), BStoreContainer, bstore);
    dgg += record(0, 4, SplitMenuColors, menuColors);
    out.emplace_back(fib::DggInfo, record(0x0F, 0, DggContainer, dgg) + drawings);
    if (!plcSpa[0].isEmpty())
        out.emplace_back(fib::PlcSpaMom, plcSpa[0]);
    if (!plcSpa[1].isEmpty())
        out.emplace_back(fib::PlcSpaHdr, plcSpa[1]);
    return out;
}

} // namespace talvora::word

#include "word/embedded_objects.h"

#include "word/binary.h"
#include "word/document.h"

#include <QDataStream>
#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

constexpr quint8 kSaveVersion = 1;
constexpr int kMaxDepth = 8;

void save(QDataStream& s, const CompoundStorage& storage)
{
    s << storage.name << storage.clsid << quint32(storage.streams.size());
    for (const auto& [name, data] : storage.streams)
        s << name << data;
    s << quint32(storage.storages.size());
    for (const CompoundStorage& child : storage.storages)
        save(s, child);
}

bool load(QDataStream& s, CompoundStorage& storage, int depth)
{
    quint32 streams = 0, storages = 0;
    s >> storage.name >> storage.clsid >> streams;
    for (quint32 k = 0; k < streams && s.status() == QDataStream::Ok; ++k) {
        QString name;
        QByteArray data;
        s >> name >> data;
        storage.streams.emplace_back(name, data);
    }
    s >> storages;
    if (storages && depth + 1 >= kMaxDepth)
        return false;
    for (quint32 k = 0; k < storages && s.status() == QDataStream::Ok; ++k) {
        CompoundStorage child;
        if (!load(s, child, depth + 1))
            return false;
        storage.storages.push_back(std::move(child));
    }
    return s.status() == QDataStream::Ok;
}

QString storageName(uint32_t id)
{
    return QLatin1Char('_') + QString::number(id);
}

// The size Word shows the object at, twips: from the picture header (PICF)
// of its "\x03PIC" stream; nothing when it gives none.
std::optional<QSize> shownSize(const CompoundStorage& object)
{
    for (const auto& [name, data] : object.streams) {
        if (name != QStringLiteral("\x03PIC") || data.size() < 0x24)
            continue;
        const ByteView v(data);
        const int goalX = v.i16(0x1C), goalY = v.i16(0x1E);
        const int mx = v.u16(0x20) ? v.u16(0x20) : 1000, my = v.u16(0x22) ? v.u16(0x22) : 1000;
        const int w = int(std::lround(double(goalX) * mx / 1000)), h = int(std::lround(double(goalY) * my / 1000));
        if (w > 0 && h > 0)
            return QSize(std::min(w, 31680), std::min(h, 31680));
    }
    return std::nullopt;
}

} // namespace

QImage objectBox(QSize pixels)
{
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(QColor(0xF7, 0xF7, 0xF7));
    QPainter painter(&image);
    painter.setPen(QColor(0x90, 0x90, 0x90));
    painter.drawRect(0, 0, pixels.width() - 1, pixels.height() - 1);
    return image;
}

QByteArray saveStorage(const CompoundStorage& storage)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    s << kSaveVersion;
    save(s, storage);
    return out;
}

std::optional<CompoundStorage> loadStorage(const QByteArray& bytes)
{
    QDataStream s(bytes);
    s.setVersion(QDataStream::Qt_6_0);
    quint8 version = 0;
    s >> version;
    CompoundStorage storage;
    if (version != kSaveVersion || !load(s, storage, 0))
        return std::nullopt;
    return storage;
}

std::optional<CompoundStorage> embeddedObjectOf(const QTextFormat& format)
{
    if (!format.hasProperty(EmbeddedObjectProperty))
        return std::nullopt;
    return loadStorage(format.property(EmbeddedObjectProperty).toByteArray());
}

const CompoundStorage* ObjectReader::find(uint32_t id) const
{
    if (!pool_)
        return nullptr;
    const QString name = storageName(id);
    const auto object = std::find_if(pool_->storages.begin(), pool_->storages.end(),
                                     [&](const CompoundStorage& s) { return s.name == name; });
    return object == pool_->storages.end() ? nullptr : &*object;
}

bool ObjectReader::attach(uint32_t id, QTextImageFormat& shown) const
{
    const CompoundStorage* object = find(id);
    if (!object)
        return false;
    shown.setProperty(EmbeddedObjectProperty, saveStorage(*object));
    return true;
}

QString objectProgId(const CompoundStorage& object)
{
    const auto compObj = std::find_if(object.streams.begin(), object.streams.end(), [](const auto& s) {
        return s.first == QStringLiteral("\x01" "CompObj");
    });
    if (compObj == object.streams.end())
        return {};
    const ByteView v(compObj->second);
    qint64 at = 28; // the header
    auto next32 = [&](uint32_t& value) {
        if (!v.ok(at, 4))
            return false;
        value = v.u32(at);
        at += 4;
        return true;
    };
    // The user's name of the type, then the clipboard format (a number or a
    // name), each stored with its length.
    uint32_t length = 0;
    if (!next32(length) || !v.ok(at, length))
        return {};
    at += length;
    if (!next32(length))
        return {};
    if (length == 0xFFFFFFFF || length == 0xFFFFFFFE)
        length = 4;
    if (!v.ok(at, length))
        return {};
    at += length;
    // The program's name: at most 39 printable characters.
    if (!next32(length) || length < 2 || length > 40 || !v.ok(at, length))
        return {};
    QString progId;
    for (uint32_t k = 0; k + 1 < length; ++k) {
        const uint8_t c = v.u8(at + k);
        if (c == 0)
            break;
        if (c <= 0x20 || c >= 0x7F)
            return {};
        progId += QLatin1Char(char(c));
    }
    return progId;
}

std::optional<QTextImageFormat> ObjectReader::imageFormat(uint32_t id, const QTextCharFormat& base, QTextDocument& doc)
{
    const CompoundStorage* object = find(id);
    if (!object)
        return std::nullopt;
    const QSize twips = shownSize(*object).value_or(QSize(1440, 720));
    const QSize pixels(std::clamp(twips.width() * 96 / 1440, 1, 800), std::clamp(twips.height() * 96 / 1440, 1, 800));
    const QString resource = QStringLiteral("object-%1").arg(id);
    doc.addResource(QTextDocument::ImageResource, QUrl(resource), objectBox(pixels));
    QTextImageFormat f;
    f.merge(base);
    f.setName(resource);
    f.setWidth(twipsToLength(twips.width()));
    f.setHeight(twipsToLength(twips.height()));
    f.setProperty(EmbeddedObjectProperty, saveStorage(*object));
    return f;
}

std::optional<uint32_t> ObjectWriter::add(const QTextFormat& format)
{
    std::optional<CompoundStorage> object = embeddedObjectOf(format);
    if (!object)
        return std::nullopt;
    bool numbered = false;
    uint32_t id = object->name.mid(1).toUInt(&numbered);
    // An object copied twice into one document is kept twice, under ids of its own.
    if (!numbered || !object->name.startsWith(QLatin1Char('_')) || objects_.count(id)) {
        id = objects_.empty() ? 1 : objects_.rbegin()->first + 1;
        object->name = storageName(id);
    }
    objects_[id] = std::move(*object);
    return id;
}

CompoundStorage ObjectWriter::pool() const
{
    CompoundStorage pool;
    pool.name = QStringLiteral("ObjectPool");
    for (const auto& [id, object] : objects_)
        pool.storages.push_back(object);
    return pool;
}

} // namespace talvora::word

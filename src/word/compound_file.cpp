#include "word/compound_file.h"

#include "common/errors.h"
#include "word/binary.h"

#include <algorithm>
#include <functional>

namespace talvora::word {

namespace {

constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kDifatSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr int kHeaderDifatCount = 109;
constexpr int kDirEntrySize = 128;
constexpr int kMiniSectorSize = 64;
constexpr char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};

[[noreturn]] void corrupt(const QString& what)
{
    throw Error(QStringLiteral("Повреждённый составной файл OLE: %1").arg(what));
}

// Directory order: shorter names first, then by upper-cased UTF-16 code units.
bool cfbNameLess(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].toUpper().unicode();
        const char16_t y = b[i].toUpper().unicode();
        if (x != y)
            return x < y;
    }
    return false;
}

} // namespace

QByteArray wordDocumentClsid()
{
    return QByteArray("\x06\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
}

bool CompoundFileReader::looksLikeCompoundFile(const QByteArray& bytes)
{
    return bytes.size() >= 8 && std::memcmp(bytes.constData(), kSignature, 8) == 0;
}

CompoundFileReader::CompoundFileReader(const QByteArray& bytes) : bytes_(bytes)
{
    if (!looksLikeCompoundFile(bytes))
        throw Error(QStringLiteral("Документ не является составным файлом OLE (документом Word 97–2003)"));
    if (bytes.size() < 512)
        corrupt(QStringLiteral("заголовок обрезан"));
    const ByteView v(bytes_);
    majorVersion_ = v.u16(0x1A);
    if (majorVersion_ != 3 && majorVersion_ != 4)
        corrupt(QStringLiteral("неизвестная версия %1").arg(majorVersion_));
    if (v.u16(0x1C) != 0xFFFE)
        corrupt(QStringLiteral("неверный порядок байтов"));
    sectorShift_ = v.u16(0x1E);
    if (sectorShift_ != 9 && sectorShift_ != 12)
        corrupt(QStringLiteral("неверный размер сектора"));
    if (v.u16(0x20) != 6)
        corrupt(QStringLiteral("неверный размер мини-сектора"));
    const qint64 sectorSize = qint64(1) << sectorShift_;
    if (bytes.size() < sectorSize && sectorShift_ == 12)
        corrupt(QStringLiteral("заголовок обрезан"));
    // Sectors after the header; a last sector cut short still counts.
    sectorCount_ = uint32_t((bytes.size() - sectorSize + sectorSize - 1) / sectorSize);

    const uint32_t fatSectorCount = v.u32(0x2C);
    const uint32_t firstDirSector = v.u32(0x30);
    miniCutoff_ = v.u32(0x38);
    if (miniCutoff_ != 4096)
        corrupt(QStringLiteral("неверная граница мини-потока"));
    const uint32_t firstMiniFat = v.u32(0x3C);
    const uint32_t miniFatCount = v.u32(0x40);
    uint32_t difatSector = v.u32(0x44);
    if (fatSectorCount > sectorCount_)
        corrupt(QStringLiteral("таблица размещения больше файла"));

    auto sectorBytes = [&](uint32_t sector) -> QByteArray {
        if (sector >= sectorCount_)
            corrupt(QStringLiteral("сектор %1 вне файла").arg(sector));
        const qint64 at = (qint64(sector) + 1) * sectorSize;
        QByteArray s = bytes_.mid(at, sectorSize);
        if (s.size() < sectorSize)
            s.append(QByteArray(sectorSize - s.size(), '\0'));
        return s;
    };

    // The sector numbers of the FAT: 109 in the header, the rest in the DIFAT chain.
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < kHeaderDifatCount && fatSectors.size() < fatSectorCount; ++i) {
        const uint32_t s = v.u32(0x4C + 4 * i);
        if (s == kFreeSect)
            break;
        fatSectors.push_back(s);
    }
    const uint32_t perDifat = uint32_t(sectorSize / 4) - 1;
    uint32_t difatSeen = 0;
    while (fatSectors.size() < fatSectorCount && difatSector != kEndOfChain && difatSector != kFreeSect) {
        if (++difatSeen > sectorCount_)
            corrupt(QStringLiteral("цикл в цепочке DIFAT"));
        const QByteArray d = sectorBytes(difatSector);
        for (uint32_t i = 0; i < perDifat && fatSectors.size() < fatSectorCount; ++i) {
            const uint32_t s = le32(d.constData() + 4 * i);
            if (s == kFreeSect)
                break;
            fatSectors.push_back(s);
        }
        difatSector = le32(d.constData() + 4 * perDifat);
    }

    fat_.reserve(fatSectors.size() * (sectorSize / 4));
    for (uint32_t s : fatSectors) {
        const QByteArray f = sectorBytes(s);
        for (qint64 i = 0; i < sectorSize / 4; ++i)
            fat_.push_back(le32(f.constData() + 4 * i));
    }

    // Directory.
    const QByteArray dir = readChain(firstDirSector, std::numeric_limits<uint64_t>::max());
    const int entryCount = int(dir.size() / kDirEntrySize);
    if (entryCount == 0)
        corrupt(QStringLiteral("нет каталога"));
    const ByteView d(dir);
    auto entryName = [&](int i) {
        const qint64 at = qint64(i) * kDirEntrySize;
        int len = d.u16(at + 0x40);
        if (len > 64)
            len = 64;
        QString name;
        for (int k = 0; k + 1 < len; k += 2) {
            const char16_t c = d.u16(at + k);
            if (c == 0)
                break;
            name.append(QChar(c));
        }
        return name;
    };
    auto entrySize = [&](int i) {
        const qint64 at = qint64(i) * kDirEntrySize;
        uint64_t size = majorVersion_ == 3 ? d.u32(at + 0x78) : uint64_t(d.u32(at + 0x78)) | (uint64_t(d.u32(at + 0x7C)) << 32);
        return size;
    };
    if (d.u8(0x42) != 5)
        corrupt(QStringLiteral("нет корневого элемента"));
    rootClsid_ = d.bytes(0x50, 16);

    // Mini stream and its allocation table.
    const uint64_t miniStreamSize = entrySize(0);
    if (miniStreamSize > 0)
        miniStream_ = readChain(d.u32(0x74), miniStreamSize);
    if (miniFatCount > 0 && firstMiniFat != kEndOfChain) {
        const QByteArray mf = readChain(firstMiniFat, std::numeric_limits<uint64_t>::max());
        miniFat_.reserve(mf.size() / 4);
        for (qsizetype i = 0; i + 4 <= mf.size(); i += 4)
            miniFat_.push_back(le32(mf.constData() + i));
    }

    // The root's children: walk the tree, each node at most once.
    std::vector<char> seen(entryCount, 0);
    std::vector<uint32_t> pending;
    pending.push_back(d.u32(0x4C));
    while (!pending.empty()) {
        const uint32_t id = pending.back();
        pending.pop_back();
        if (id == kNoStream)
            continue;
        if (id >= uint32_t(entryCount) || id == 0)
            corrupt(QStringLiteral("ссылка каталога вне таблицы"));
        if (seen[id])
            corrupt(QStringLiteral("цикл в дереве каталога"));
        seen[id] = 1;
        const qint64 at = qint64(id) * kDirEntrySize;
        pending.push_back(d.u32(at + 0x44));
        pending.push_back(d.u32(at + 0x48));
        if (d.u8(at + 0x42) == 2)
            streams_.push_back(Entry{entryName(int(id)), d.u32(at + 0x74), entrySize(int(id))});
    }
}

QByteArray CompoundFileReader::readChain(uint32_t start, uint64_t size) const
{
    const qint64 sectorSize = qint64(1) << sectorShift_;
    const bool untilEnd = size == std::numeric_limits<uint64_t>::max();
    if (!untilEnd && size > uint64_t(sectorCount_) * uint64_t(sectorSize))
        corrupt(QStringLiteral("поток длиннее файла"));
    QByteArray out;
    if (!untilEnd)
        out.reserve(qsizetype(size));
    uint32_t sector = start;
    std::vector<bool> visited(sectorCount_, false);
    while (sector != kEndOfChain) {
        if (!untilEnd && uint64_t(out.size()) >= size)
            break;
        if (sector > kMaxRegSect || sector >= sectorCount_ || sector >= fat_.size())
            corrupt(QStringLiteral("сектор %1 вне файла").arg(sector));
        if (visited[sector])
            corrupt(QStringLiteral("цикл в цепочке секторов"));
        visited[sector] = true;
        const qint64 at = (qint64(sector) + 1) * sectorSize;
        const qint64 n = std::min<qint64>(sectorSize, bytes_.size() - at);
        out.append(bytes_.constData() + at, n);
        if (n < sectorSize)
            out.append(QByteArray(sectorSize - n, '\0'));
        sector = fat_[sector];
    }
    if (!untilEnd) {
        if (uint64_t(out.size()) < size)
            corrupt(QStringLiteral("цепочка секторов короче потока"));
        out.truncate(qsizetype(size));
    }
    return out;
}

QByteArray CompoundFileReader::readMiniChain(uint32_t start, uint64_t size) const
{
    if (size > uint64_t(miniStream_.size()))
        corrupt(QStringLiteral("поток длиннее мини-потока"));
    QByteArray out;
    out.reserve(qsizetype(size));
    uint32_t sector = start;
    std::vector<bool> visited(miniFat_.size(), false);
    while (uint64_t(out.size()) < size) {
        if (sector == kEndOfChain || sector >= miniFat_.size())
            corrupt(QStringLiteral("цепочка мини-секторов оборвана"));
        if (visited[sector])
            corrupt(QStringLiteral("цикл в цепочке мини-секторов"));
        visited[sector] = true;
        const qint64 at = qint64(sector) * kMiniSectorSize;
        if (at + kMiniSectorSize > miniStream_.size())
            corrupt(QStringLiteral("мини-сектор вне мини-потока"));
        out.append(miniStream_.constData() + at, kMiniSectorSize);
        sector = miniFat_[sector];
    }
    out.truncate(qsizetype(size));
    return out;
}

const CompoundFileReader::Entry* CompoundFileReader::find(const QString& name) const
{
    for (const Entry& e : streams_)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

QStringList CompoundFileReader::streamNames() const
{
    QStringList names;
    for (const Entry& e : streams_)
        names << e.name;
    return names;
}

bool CompoundFileReader::hasStream(const QString& name) const
{
    return find(name) != nullptr;
}

QByteArray CompoundFileReader::stream(const QString& name) const
{
    const Entry* e = find(name);
    if (!e)
        throw Error(QStringLiteral("В составном файле нет потока «%1»").arg(name));
    if (e->size == 0)
        return {};
    if (e->size < miniCutoff_)
        return readMiniChain(e->start, e->size);
    return readChain(e->start, e->size);
}

// ---------------------------------------------------------------------------

void CompoundFileWriter::addStream(const QString& name, const QByteArray& data)
{
    streams_.push_back(Stream{name, data});
}

QByteArray CompoundFileWriter::finish() const
{
    constexpr uint32_t sectorSize = 512;
    constexpr uint32_t perSector = sectorSize / 4;
    constexpr uint32_t cutoff = 4096;

    // Small streams go into the mini stream, 64-byte mini sectors each.
    QByteArray mini;
    std::vector<uint32_t> miniFat;
    std::vector<uint32_t> startOf(streams_.size(), kEndOfChain);
    for (size_t i = 0; i < streams_.size(); ++i) {
        const QByteArray& data = streams_[i].data;
        if (data.isEmpty() || data.size() >= qsizetype(cutoff))
            continue;
        const uint32_t first = uint32_t(miniFat.size());
        const uint32_t count = uint32_t((data.size() + kMiniSectorSize - 1) / kMiniSectorSize);
        for (uint32_t k = 0; k < count; ++k)
            miniFat.push_back(k + 1 < count ? first + k + 1 : kEndOfChain);
        startOf[i] = first;
        mini.append(data);
        mini.append(QByteArray(qsizetype(count) * kMiniSectorSize - data.size(), '\0'));
    }

    auto sectorsFor = [](qsizetype bytes) { return uint32_t((bytes + sectorSize - 1) / sectorSize); };

    // Sector layout: big streams, mini stream, mini FAT, directory, FAT, DIFAT.
    uint32_t next = 0;
    std::vector<std::pair<uint32_t, uint32_t>> chains; // (first, count) in file order
    for (size_t i = 0; i < streams_.size(); ++i) {
        const QByteArray& data = streams_[i].data;
        if (data.size() < qsizetype(cutoff))
            continue;
        startOf[i] = next;
        chains.emplace_back(next, sectorsFor(data.size()));
        next += sectorsFor(data.size());
    }
    const uint32_t miniStart = mini.isEmpty() ? kEndOfChain : next;
    const uint32_t miniSectors = sectorsFor(mini.size());
    if (miniSectors)
        chains.emplace_back(next, miniSectors);
    next += miniSectors;
    const uint32_t miniFatStart = miniFat.empty() ? kEndOfChain : next;
    const uint32_t miniFatSectors = sectorsFor(qsizetype(miniFat.size()) * 4);
    if (miniFatSectors)
        chains.emplace_back(next, miniFatSectors);
    next += miniFatSectors;

    const uint32_t entryCount = uint32_t(streams_.size()) + 1;
    const uint32_t dirStart = next;
    const uint32_t dirSectors = sectorsFor(qsizetype(entryCount) * kDirEntrySize);
    chains.emplace_back(next, dirSectors);
    next += dirSectors;

    uint32_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const uint32_t total = next + fatSectors + difatSectors;
        const uint32_t needFat = (total + perSector - 1) / perSector;
        const uint32_t needDifat = needFat > uint32_t(kHeaderDifatCount)
            ? (needFat - kHeaderDifatCount + perSector - 2) / (perSector - 1)
            : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const uint32_t fatStart = next;
    const uint32_t difatStart = fatStart + fatSectors;
    const uint32_t totalSectors = difatStart + difatSectors;

    std::vector<uint32_t> fat(size_t(fatSectors) * perSector, kFreeSect);
    for (auto [first, count] : chains)
        for (uint32_t k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEndOfChain;
    for (uint32_t k = 0; k < fatSectors; ++k)
        fat[fatStart + k] = kFatSect;
    for (uint32_t k = 0; k < difatSectors; ++k)
        fat[difatStart + k] = kDifatSect;

    QByteArray out;
    out.reserve(qsizetype(totalSectors + 1) * sectorSize);
    ByteWriter w(out);

    // Header.
    w.bytes(kSignature, 8);
    w.zeros(16);           // header CLSID
    w.u16(0x003E);         // minor version
    w.u16(0x0003);         // major version
    w.u16(0xFFFE);         // byte order
    w.u16(9);              // sector shift
    w.u16(6);              // mini sector shift
    w.zeros(6);
    w.u32(0);              // directory sectors (0 in version 3)
    w.u32(fatSectors);
    w.u32(dirStart);
    w.u32(0);              // transaction signature
    w.u32(cutoff);
    w.u32(miniFatStart);
    w.u32(miniFatSectors);
    w.u32(difatSectors ? difatStart : kEndOfChain);
    w.u32(difatSectors);
    for (int i = 0; i < kHeaderDifatCount; ++i)
        w.u32(uint32_t(i) < fatSectors ? fatStart + uint32_t(i) : kFreeSect);

    // Big streams.
    for (size_t i = 0; i < streams_.size(); ++i) {
        if (streams_[i].data.size() < qsizetype(cutoff))
            continue;
        w.bytes(streams_[i].data);
        w.padTo(sectorSize);
    }
    w.bytes(mini);
    w.padTo(sectorSize);
    for (uint32_t m : miniFat)
        w.u32(m);
    while ((out.size() % sectorSize) != 0)
        w.u32(kFreeSect);

    // Directory: the root, then the streams as a balanced binary tree (all
    // nodes black, which the red-black rules allow).
    std::vector<uint32_t> order(streams_.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = uint32_t(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return cfbNameLess(streams_[a].name, streams_[b].name);
    });
    std::vector<uint32_t> left(streams_.size(), kNoStream), right(streams_.size(), kNoStream);
    std::function<uint32_t(int, int)> build = [&](int lo, int hi) -> uint32_t {
        if (lo > hi)
            return kNoStream;
        const int mid = (lo + hi) / 2;
        const uint32_t node = order[mid];
        left[node] = build(lo, mid - 1);
        right[node] = build(mid + 1, hi);
        return node + 1; // directory ids: the root is 0
    };
    const uint32_t treeRoot = build(0, int(order.size()) - 1);

    auto entry = [&](const QString& name, uint8_t type, uint32_t l, uint32_t r, uint32_t child,
                     const QByteArray& clsid, uint32_t start, uint64_t size) {
        QByteArray nameBytes(64, '\0');
        const int len = int(std::min<qsizetype>(name.size(), 31));
        for (int k = 0; k < len; ++k)
            put16(nameBytes, 2 * k, name[k].unicode());
        w.bytes(nameBytes);
        w.u16(uint16_t(len ? (len + 1) * 2 : 0));
        w.u8(type);
        w.u8(1); // black
        w.u32(l);
        w.u32(r);
        w.u32(child);
        w.bytes(clsid.size() == 16 ? clsid : QByteArray(16, '\0'));
        w.u32(0); // state bits
        w.zeros(16); // creation and modification times
        w.u32(start);
        w.u64(size);
    };
    entry(QStringLiteral("Root Entry"), 5, kNoStream, kNoStream, treeRoot, rootClsid_, miniStart, uint64_t(mini.size()));
    for (size_t i = 0; i < streams_.size(); ++i)
        entry(streams_[i].name, 2, left[i], right[i],
              kNoStream, QByteArray(16, '\0'), startOf[i], uint64_t(streams_[i].data.size()));
    while ((out.size() % sectorSize) != 0)
        entry(QString(), 0, kNoStream, kNoStream, kNoStream, QByteArray(16, '\0'), 0, 0);

    for (uint32_t f : fat)
        w.u32(f);
    // DIFAT sectors: the FAT sector numbers past the first 109, chained.
    for (uint32_t k = 0; k < difatSectors; ++k) {
        for (uint32_t i = 0; i < perSector - 1; ++i) {
            const uint32_t idx = kHeaderDifatCount + k * (perSector - 1) + i;
            w.u32(idx < fatSectors ? fatStart + idx : kFreeSect);
        }
        w.u32(k + 1 < difatSectors ? difatStart + k + 1 : kEndOfChain);
    }
    return out;
}

} // namespace talvora::word

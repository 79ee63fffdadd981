#include "word/compound_file.h"

#include "common/errors.h"
#include "word/binary.h"

#include <algorithm>
#include <cstring>
#include <tuple>

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
    const HeaderFields header = readHeader();
    readFat(header);
    readDirectory(header);
}

CompoundFileReader::HeaderFields CompoundFileReader::readHeader()
{
    if (bytes_.size() < 512)
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
    if (bytes_.size() < sectorSize && sectorShift_ == 12)
        corrupt(QStringLiteral("заголовок обрезан"));
    // Sectors after the header; a last sector cut short still counts.
    sectorCount_ = uint32_t((bytes_.size() - sectorSize + sectorSize - 1) / sectorSize);

    HeaderFields h;
    h.fatSectorCount = v.u32(0x2C);
    h.firstDirSector = v.u32(0x30);
    miniCutoff_ = v.u32(0x38);
    if (miniCutoff_ != 4096)
        corrupt(QStringLiteral("неверная граница мини-потока"));
    h.firstMiniFat = v.u32(0x3C);
    h.miniFatCount = v.u32(0x40);
    h.firstDifatSector = v.u32(0x44);
    if (h.fatSectorCount > sectorCount_)
        corrupt(QStringLiteral("таблица размещения больше файла"));
    return h;
}

QByteArray CompoundFileReader::sectorBytes(uint32_t sector) const
{
    const qint64 sectorSize = qint64(1) << sectorShift_;
    if (sector >= sectorCount_)
        corrupt(QStringLiteral("сектор %1 вне файла").arg(sector));
    const qint64 at = (qint64(sector) + 1) * sectorSize;
    QByteArray s = bytes_.mid(at, sectorSize);
    if (s.size() < sectorSize)
        s.append(QByteArray(sectorSize - s.size(), '\0'));
    return s;
}

void CompoundFileReader::readFat(const HeaderFields& header)
{
    const qint64 sectorSize = qint64(1) << sectorShift_;
    const ByteView v(bytes_);
    // The sector numbers of the FAT: 109 in the header, the rest in the DIFAT chain.
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < kHeaderDifatCount && fatSectors.size() < header.fatSectorCount; ++i) {
        const uint32_t s = v.u32(0x4C + 4 * i);
        if (s == kFreeSect)
            break;
        fatSectors.push_back(s);
    }
    const uint32_t perDifat = uint32_t(sectorSize / 4) - 1;
    uint32_t difatSector = header.firstDifatSector;
    uint32_t difatSeen = 0;
    while (fatSectors.size() < header.fatSectorCount && difatSector != kEndOfChain && difatSector != kFreeSect) {
        if (++difatSeen > sectorCount_)
            corrupt(QStringLiteral("цикл в цепочке DIFAT"));
        const QByteArray d = sectorBytes(difatSector);
        for (uint32_t i = 0; i < perDifat && fatSectors.size() < header.fatSectorCount; ++i) {
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
}

namespace {

QString directoryEntryName(const ByteView& d, qint64 at)
{
    const int len = std::min<int>(d.u16(at + 0x40), 64);
    QString name;
    for (int k = 0; k + 1 < len; k += 2) {
        const char16_t c = d.u16(at + k);
        if (c == 0)
            break;
        name.append(QChar(c));
    }
    return name;
}

} // namespace

void CompoundFileReader::readDirectory(const HeaderFields& header)
{
    const QByteArray dir = readChain(header.firstDirSector, std::numeric_limits<uint64_t>::max());
    const int entryCount = int(dir.size() / kDirEntrySize);
    if (entryCount == 0)
        corrupt(QStringLiteral("нет каталога"));
    const ByteView d(dir);
    auto entrySize = [&](qint64 at) {
        return majorVersion_ == 3 ? uint64_t(d.u32(at + 0x78))
                                  : uint64_t(d.u32(at + 0x78)) | (uint64_t(d.u32(at + 0x7C)) << 32);
    };
    if (d.u8(0x42) != 5)
        corrupt(QStringLiteral("нет корневого элемента"));
    rootClsid_ = d.bytes(0x50, 16);

    // Mini stream and its allocation table.
    const uint64_t miniStreamSize = entrySize(0);
    if (miniStreamSize > 0)
        miniStream_ = readChain(d.u32(0x74), miniStreamSize);
    if (header.miniFatCount > 0 && header.firstMiniFat != kEndOfChain) {
        const QByteArray mf = readChain(header.firstMiniFat, std::numeric_limits<uint64_t>::max());
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
            streams_.push_back(Entry{directoryEntryName(d, at), d.u32(at + 0x74), entrySize(at)});
        else if (d.u8(at + 0x42) == 1)
            storages_.push_back(Entry{directoryEntryName(d, at), id, 0});
    }
    if (!storages_.empty())
        directory_ = dir;
}

std::optional<CompoundStorage> CompoundFileReader::storage(const QString& name) const
{
    for (const Entry& e : storages_) {
        if (e.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        CompoundStorage s;
        s.name = e.name;
        std::vector<char> seen(size_t(directory_.size() / kDirEntrySize), 0);
        // Streams may share sectors in a damaged file: what is read stays
        // within what the file could hold.
        qint64 budget = 2 * qint64(bytes_.size()) + 65536;
        readStorage(e.start, s, 0, seen, budget);
        return s;
    }
    return std::nullopt;
}

void CompoundFileReader::readStorage(uint32_t id, CompoundStorage& into, int depth, std::vector<char>& seen,
                                     qint64& budget) const
{
    constexpr int kMaxStorageDepth = 8;
    const ByteView d(directory_);
    into.clsid = d.bytes(qint64(id) * kDirEntrySize + 0x50, 16);
    if (into.clsid == QByteArray(16, '\0'))
        into.clsid.clear();
    std::vector<uint32_t> pending{d.u32(qint64(id) * kDirEntrySize + 0x4C)};
    while (!pending.empty()) {
        const uint32_t node = pending.back();
        pending.pop_back();
        if (node == kNoStream || node == 0 || node >= seen.size() || seen[node])
            continue;
        seen[node] = 1;
        const qint64 at = qint64(node) * kDirEntrySize;
        pending.push_back(d.u32(at + 0x44));
        pending.push_back(d.u32(at + 0x48));
        const QString name = directoryEntryName(d, at);
        if (d.u8(at + 0x42) == 2) {
            const uint64_t size = majorVersion_ == 3 ? uint64_t(d.u32(at + 0x78))
                                                     : uint64_t(d.u32(at + 0x78)) | (uint64_t(d.u32(at + 0x7C)) << 32);
            if (size > uint64_t(budget))
                corrupt(QStringLiteral("потоки вложенного хранилища длиннее файла"));
            budget -= qint64(size);
            const QByteArray data = size == 0 ? QByteArray()
                : size < miniCutoff_          ? readMiniChain(d.u32(at + 0x74), size)
                                              : readChain(d.u32(at + 0x74), size);
            into.streams.emplace_back(name, data);
        } else if (d.u8(at + 0x42) == 1 && depth + 1 < kMaxStorageDepth) {
            CompoundStorage child;
            child.name = name;
            readStorage(node, child, depth + 1, seen, budget);
            into.storages.push_back(std::move(child));
        }
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

QStringList CompoundFileReader::storageNames() const
{
    QStringList names;
    for (const Entry& e : storages_)
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

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kPerSector = kSectorSize / 4; // FAT entries in a sector
constexpr uint32_t kMiniCutoff = 4096;           // smaller streams go into the mini stream

uint32_t sectorsFor(qsizetype bytes) { return uint32_t((bytes + kSectorSize - 1) / kSectorSize); }

bool inMiniStream(const QByteArray& data) { return data.size() < qsizetype(kMiniCutoff); }

// The small streams, 64-byte mini sectors each, with the chains of their mini sectors.
struct MiniStream {
    QByteArray bytes;
    std::vector<uint32_t> fat;
    std::vector<uint32_t> startOf; // per stream: its first mini sector, if it is here
};

MiniStream buildMiniStream(const std::vector<QByteArray>& contents)
{
    MiniStream mini;
    mini.startOf.assign(contents.size(), kEndOfChain);
    for (size_t i = 0; i < contents.size(); ++i) {
        const QByteArray& data = contents[i];
        if (data.isEmpty() || !inMiniStream(data))
            continue;
        const uint32_t first = uint32_t(mini.fat.size());
        const uint32_t count = uint32_t((data.size() + kMiniSectorSize - 1) / kMiniSectorSize);
        for (uint32_t k = 0; k < count; ++k)
            mini.fat.push_back(k + 1 < count ? first + k + 1 : kEndOfChain);
        mini.startOf[i] = first;
        mini.bytes.append(data);
        mini.bytes.append(QByteArray(qsizetype(count) * kMiniSectorSize - data.size(), '\0'));
    }
    return mini;
}

// Where the parts of the file lie, in sectors after the header: big
// streams, mini stream, mini FAT, directory, FAT, DIFAT.
struct SectorLayout {
    std::vector<uint32_t> startOf;                     // per stream: first sector, or mini sector
    std::vector<std::pair<uint32_t, uint32_t>> chains; // (first, count) of the parts before the FAT
    uint32_t miniStart = kEndOfChain;
    uint32_t miniFatStart = kEndOfChain, miniFatSectors = 0;
    uint32_t dirStart = 0;
    uint32_t fatStart = 0, fatSectors = 0;
    uint32_t difatStart = 0, difatSectors = 0;
};

// How many FAT and DIFAT sectors describe `sectors` others and themselves.
std::pair<uint32_t, uint32_t> fatSectorCounts(uint32_t sectors)
{
    uint32_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const uint32_t total = sectors + fatSectors + difatSectors;
        const uint32_t needFat = (total + kPerSector - 1) / kPerSector;
        const uint32_t needDifat = needFat > uint32_t(kHeaderDifatCount)
            ? (needFat - kHeaderDifatCount + kPerSector - 2) / (kPerSector - 1)
            : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            return {fatSectors, difatSectors};
        fatSectors = needFat;
        difatSectors = needDifat;
    }
}

SectorLayout layoutSectors(const std::vector<QByteArray>& contents, const MiniStream& mini, size_t entries)
{
    SectorLayout l;
    l.startOf = mini.startOf;
    uint32_t next = 0;
    auto addChain = [&](uint32_t count) {
        const uint32_t first = next;
        if (count)
            l.chains.emplace_back(first, count);
        next += count;
        return first;
    };
    for (size_t i = 0; i < contents.size(); ++i)
        if (!inMiniStream(contents[i]))
            l.startOf[i] = addChain(sectorsFor(contents[i].size()));
    const uint32_t miniStart = addChain(sectorsFor(mini.bytes.size()));
    l.miniStart = mini.bytes.isEmpty() ? kEndOfChain : miniStart;
    l.miniFatSectors = sectorsFor(qsizetype(mini.fat.size()) * 4);
    const uint32_t miniFatStart = addChain(l.miniFatSectors);
    l.miniFatStart = mini.fat.empty() ? kEndOfChain : miniFatStart;
    l.dirStart = addChain(sectorsFor(qsizetype(entries) * kDirEntrySize));
    std::tie(l.fatSectors, l.difatSectors) = fatSectorCounts(next);
    l.fatStart = next;
    l.difatStart = l.fatStart + l.fatSectors;
    return l;
}

std::vector<uint32_t> buildFat(const SectorLayout& l)
{
    std::vector<uint32_t> fat(size_t(l.fatSectors) * kPerSector, kFreeSect);
    for (auto [first, count] : l.chains)
        for (uint32_t k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEndOfChain;
    for (uint32_t k = 0; k < l.fatSectors; ++k)
        fat[l.fatStart + k] = kFatSect;
    for (uint32_t k = 0; k < l.difatSectors; ++k)
        fat[l.difatStart + k] = kDifatSect;
    return fat;
}

void writeHeader(ByteWriter& w, const SectorLayout& l)
{
    w.bytes(kSignature, 8);
    w.zeros(16);           // header CLSID
    w.u16(0x003E);         // minor version
    w.u16(0x0003);         // major version
    w.u16(0xFFFE);         // byte order
    w.u16(9);              // sector shift
    w.u16(6);              // mini sector shift
    w.zeros(6);
    w.u32(0);              // directory sectors (0 in version 3)
    w.u32(l.fatSectors);
    w.u32(l.dirStart);
    w.u32(0);              // transaction signature
    w.u32(kMiniCutoff);
    w.u32(l.miniFatStart);
    w.u32(l.miniFatSectors);
    w.u32(l.difatSectors ? l.difatStart : kEndOfChain);
    w.u32(l.difatSectors);
    for (int i = 0; i < kHeaderDifatCount; ++i)
        w.u32(uint32_t(i) < l.fatSectors ? l.fatStart + uint32_t(i) : kFreeSect);
}

struct DirEntry {
    QString name;
    uint8_t type = 0; // 0 unused, 1 storage, 2 stream, 5 root storage
    uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    QByteArray clsid; // 16 bytes, or none
    uint32_t start = 0;
    uint64_t size = 0;
};

void writeDirEntry(ByteWriter& w, const DirEntry& e)
{
    QByteArray nameBytes(64, '\0');
    const int len = int(std::min<qsizetype>(e.name.size(), 31));
    for (int k = 0; k < len; ++k)
        put16(nameBytes, 2 * k, e.name[k].unicode());
    w.bytes(nameBytes);
    w.u16(uint16_t(len ? (len + 1) * 2 : 0));
    w.u8(e.type);
    w.u8(1); // black
    w.u32(e.left);
    w.u32(e.right);
    w.u32(e.child);
    w.bytes(e.clsid.size() == 16 ? e.clsid : QByteArray(16, '\0'));
    w.u32(0); // state bits
    w.zeros(16); // creation and modification times
    w.u32(e.start);
    w.u64(e.size);
}

// The DIFAT sectors: the FAT sector numbers past the first 109, chained.
void writeDifat(ByteWriter& w, const SectorLayout& l)
{
    for (uint32_t k = 0; k < l.difatSectors; ++k) {
        for (uint32_t i = 0; i < kPerSector - 1; ++i) {
            const uint32_t idx = kHeaderDifatCount + k * (kPerSector - 1) + i;
            w.u32(idx < l.fatSectors ? l.fatStart + idx : kFreeSect);
        }
        w.u32(k + 1 < l.difatSectors ? l.difatStart + k + 1 : kEndOfChain);
    }
}

} // namespace

void CompoundFileWriter::addStream(const QString& name, const QByteArray& data)
{
    streams_.push_back(Stream{name, data});
}

void CompoundFileWriter::addStorage(const CompoundStorage& storage)
{
    storages_.push_back(storage);
}

namespace {

// The directory: the root, then every stream and storage below it; each
// storage's children make a balanced binary tree in directory order (all
// nodes black, which the red-black rules allow).
struct DirNode {
    QString name;
    uint8_t type = 2; // 1 storage, 2 stream, 5 root
    QByteArray clsid;
    int content = -1; // of a stream: its index among the contents
    std::vector<uint32_t> children;
    uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
};

uint32_t linkChildren(std::vector<DirNode>& nodes, const std::vector<uint32_t>& order, int lo, int hi)
{
    if (lo > hi)
        return kNoStream;
    const int mid = (lo + hi) / 2;
    const uint32_t node = order[size_t(mid)];
    nodes[node].left = linkChildren(nodes, order, lo, mid - 1);
    nodes[node].right = linkChildren(nodes, order, mid + 1, hi);
    return node;
}

void addStorageNodes(std::vector<DirNode>& nodes, std::vector<QByteArray>& contents, uint32_t parent,
                     const CompoundStorage& s)
{
    const auto id = uint32_t(nodes.size());
    nodes[parent].children.push_back(id);
    nodes.push_back({s.name, 1, s.clsid, -1, {}});
    for (const auto& [name, data] : s.streams) {
        nodes[id].children.push_back(uint32_t(nodes.size()));
        nodes.push_back({name, 2, {}, int(contents.size()), {}});
        contents.push_back(data);
    }
    for (const CompoundStorage& child : s.storages)
        addStorageNodes(nodes, contents, id, child);
}

} // namespace

QByteArray CompoundFileWriter::finish() const
{
    std::vector<DirNode> nodes{{QStringLiteral("Root Entry"), 5, rootClsid_, -1, {}}};
    std::vector<QByteArray> contents;
    for (const Stream& s : streams_) {
        nodes[0].children.push_back(uint32_t(nodes.size()));
        nodes.push_back({s.name, 2, {}, int(contents.size()), {}});
        contents.push_back(s.data);
    }
    for (const CompoundStorage& s : storages_)
        addStorageNodes(nodes, contents, 0, s);
    for (DirNode& n : nodes) {
        std::vector<uint32_t> order = n.children;
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b) { return cfbNameLess(nodes[a].name, nodes[b].name); });
        n.child = linkChildren(nodes, order, 0, int(order.size()) - 1);
    }
    const MiniStream mini = buildMiniStream(contents);
    const SectorLayout layout = layoutSectors(contents, mini, nodes.size());

    QByteArray out;
    out.reserve(qsizetype(layout.difatStart + layout.difatSectors + 1) * kSectorSize);
    ByteWriter w(out);
    writeHeader(w, layout);
    for (const QByteArray& data : contents) {
        if (inMiniStream(data))
            continue;
        w.bytes(data);
        w.padTo(kSectorSize);
    }
    w.bytes(mini.bytes);
    w.padTo(kSectorSize);
    for (uint32_t m : mini.fat)
        w.u32(m);
    while ((out.size() % kSectorSize) != 0)
        w.u32(kFreeSect);

    for (const DirNode& n : nodes) {
        const bool stream = n.content >= 0;
        const uint32_t start = n.type == 5 ? layout.miniStart : stream ? layout.startOf[size_t(n.content)] : 0;
        const uint64_t size = n.type == 5 ? uint64_t(mini.bytes.size()) : stream ? uint64_t(contents[size_t(n.content)].size()) : 0;
        writeDirEntry(w, {n.name, n.type, n.left, n.right, n.child, n.clsid, start, size});
    }
    while ((out.size() % kSectorSize) != 0)
        writeDirEntry(w, DirEntry{});

    for (uint32_t f : buildFat(layout))
        w.u32(f);
    writeDifat(w, layout);
    return out;
}

} // namespace talvora::word

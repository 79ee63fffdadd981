#pragma once
// OLE compound files (the "structured storage" container of .doc files).
// The reader takes versions 3 (512-byte sectors) and 4 (4096-byte sectors);
// the writer produces version 3. The streams directly under the root storage
// are exposed one by one; a storage under the root (the embedded objects of a
// Word document) is read and written whole.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace talvora::word {

// A storage with all its streams and storages.
struct CompoundStorage {
    QString name;
    QByteArray clsid; // 16 bytes as stored, or empty for none
    std::vector<std::pair<QString, QByteArray>> streams;
    std::vector<CompoundStorage> storages;
    bool operator==(const CompoundStorage&) const = default;
};

class CompoundFileReader {
public:
    // Parses the header, the allocation tables and the directory. Throws
    // talvora::Error when the bytes are not a sound compound file.
    explicit CompoundFileReader(const QByteArray& bytes);

    int majorVersion() const { return majorVersion_; }
    QByteArray rootClsid() const { return rootClsid_; }
    QStringList streamNames() const;
    // The storages directly under the root.
    QStringList storageNames() const;
    bool hasStream(const QString& name) const;
    // The whole stream; throws when it is missing or its sector chain is broken.
    QByteArray stream(const QString& name) const;
    // The storage `name` directly under the root with all it holds; nothing
    // when there is none. Throws when its streams cannot be read; parts of
    // it nested too deep or past what the file can hold are left out.
    std::optional<CompoundStorage> storage(const QString& name) const;

    static bool looksLikeCompoundFile(const QByteArray& bytes);

private:
    struct Entry {
        QString name;
        uint32_t start = 0;
        uint64_t size = 0;
    };

    struct HeaderFields {
        uint32_t fatSectorCount = 0;
        uint32_t firstDirSector = 0;
        uint32_t firstMiniFat = 0;
        uint32_t miniFatCount = 0;
        uint32_t firstDifatSector = 0;
    };

    HeaderFields readHeader();
    void readFat(const HeaderFields& header);
    void readDirectory(const HeaderFields& header);
    QByteArray sectorBytes(uint32_t sector) const;
    QByteArray readChain(uint32_t start, uint64_t size) const;
    QByteArray readMiniChain(uint32_t start, uint64_t size) const;
    const Entry* find(const QString& name) const;
    void readStorage(uint32_t id, CompoundStorage& into, int depth, std::vector<char>& seen, qint64& budget) const;

    QByteArray bytes_;
    int majorVersion_ = 3;
    int sectorShift_ = 9;
    uint32_t sectorCount_ = 0;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    QByteArray miniStream_;
    QByteArray rootClsid_;
    std::vector<Entry> streams_;
    std::vector<Entry> storages_; // under the root; `start` is the directory id
    QByteArray directory_;
};

class CompoundFileWriter {
public:
    // The class id of the root storage, 16 bytes as stored.
    void setRootClsid(const QByteArray& clsid) { rootClsid_ = clsid; }
    void addStream(const QString& name, const QByteArray& data);
    void addStorage(const CompoundStorage& storage);
    QByteArray finish() const;

private:
    struct Stream {
        QString name;
        QByteArray data;
    };
    QByteArray rootClsid_ = QByteArray(16, '\0');
    std::vector<Stream> streams_;
    std::vector<CompoundStorage> storages_;
};

// The class id {00020906-0000-0000-C000-000000000046} of a Word 97–2003 document,
// in its stored byte order.
QByteArray wordDocumentClsid();

} // namespace talvora::word

// Document BLOB and compound file: the containers around the .doc bytes.

#include "test_support.h"
#include "word/compound_file.h"
#include "word/document_blob.h"

#include "common/errors.h"

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

QByteArray pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 31 + seed) & 0xFF);
    return b;
}

// A version 4 file (4096-byte sectors) with one stream, laid out by hand:
// sector 0 the FAT, sector 1 the directory, sectors 2.. the stream.
QByteArray version4File(const QByteArray& data)
{
    const int ss = 4096;
    const int dataSectors = int((data.size() + ss - 1) / ss);
    QByteArray f(ss, '\0');
    std::memcpy(f.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    put16(f, 0x18, 0x3E);
    put16(f, 0x1A, 4);
    put16(f, 0x1C, 0xFFFE);
    put16(f, 0x1E, 12);
    put16(f, 0x20, 6);
    put32(f, 0x28, 1);   // directory sectors
    put32(f, 0x2C, 1);   // FAT sectors
    put32(f, 0x30, 1);   // first directory sector
    put32(f, 0x38, 4096);
    put32(f, 0x3C, 0xFFFFFFFE);
    put32(f, 0x44, 0xFFFFFFFE);
    put32(f, 0x4C, 0);   // the FAT is sector 0
    for (int i = 1; i < 109; ++i)
        put32(f, 0x4C + 4 * i, 0xFFFFFFFF);

    QByteArray fat(ss, '\xFF');
    put32(fat, 0, 0xFFFFFFFD);
    put32(fat, 4, 0xFFFFFFFE);
    for (int k = 0; k < dataSectors; ++k)
        put32(fat, 4 * (2 + k), k + 1 < dataSectors ? uint32_t(3 + k) : 0xFFFFFFFE);

    QByteArray dir(ss, '\0');
    auto entry = [&](int i, const QString& name, uint8_t type, uint32_t child, uint32_t start, uint64_t size) {
        const int at = 128 * i;
        for (int k = 0; k < name.size(); ++k)
            put16(dir, at + 2 * k, name[k].unicode());
        put16(dir, at + 0x40, uint16_t((name.size() + 1) * 2));
        dir[at + 0x42] = char(type);
        dir[at + 0x43] = 1;
        put32(dir, at + 0x44, 0xFFFFFFFF);
        put32(dir, at + 0x48, 0xFFFFFFFF);
        put32(dir, at + 0x4C, child);
        put32(dir, at + 0x74, start);
        put32(dir, at + 0x78, uint32_t(size));
        put32(dir, at + 0x7C, uint32_t(size >> 32));
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, 0xFFFFFFFE, 0);
    entry(1, QStringLiteral("WordDocument"), 2, 0xFFFFFFFF, 2, uint64_t(data.size()));
    for (int i = 2; i < 32; ++i) {
        put32(dir, 128 * i + 0x44, 0xFFFFFFFF);
        put32(dir, 128 * i + 0x48, 0xFFFFFFFF);
        put32(dir, 128 * i + 0x4C, 0xFFFFFFFF);
    }
    QByteArray body = data;
    body.append(QByteArray(dataSectors * ss - data.size(), '\0'));
    return f + fat + dir + body;
}

} // namespace

TEST(DocumentBlob, WrapsAndUnwraps)
{
    const QByteArray inner = pattern(1000, 7);
    const QByteArray blob = wrapDocumentBlob(inner);
    ASSERT_EQ(blob.size(), 1012);
    EXPECT_EQ(blob.left(4), QByteArray("BDOC"));
    EXPECT_EQ(le32(blob.constData() + 4), 1u);
    EXPECT_EQ(le32(blob.constData() + 8), 1000u);
    EXPECT_EQ(unwrapDocumentBlob(blob), inner);
    // Bytes after the announced length are not part of the document.
    EXPECT_EQ(unwrapDocumentBlob(blob + "tail"), inner);
}

TEST(DocumentBlob, RefusesWhatIsNotABlob)
{
    EXPECT_EQ(errorOf([] { unwrapDocumentBlob({}); }), kEmptyBlobReadError);
    EXPECT_EQ(errorOf([] { unwrapDocumentBlob(QByteArray("XDOC\1\0\0\0\0\0\0\0", 12)); }), kInvalidStreamFormat);
    // A raw .doc handed over as a BLOB has another signature too.
    EXPECT_EQ(errorOf([] { unwrapDocumentBlob(test::readData("plain_ru.doc")); }), kInvalidStreamFormat);

    const QString truncated = errorOf([] { unwrapDocumentBlob(QByteArray("BDOC\1\0\0", 7)); });
    EXPECT_TRUE(truncated.contains(QStringLiteral("обрезан"))) << truncated.toStdString();
    EXPECT_TRUE(errorOf([] { unwrapDocumentBlob(QByteArray("BD", 2)); }).startsWith(QStringLiteral("Ошибка чтения")));

    QByteArray overrun = wrapDocumentBlob(pattern(100, 1));
    overrun.chop(1);
    EXPECT_TRUE(errorOf([&] { unwrapDocumentBlob(overrun); }).contains(QStringLiteral("100 байт")));
    QByteArray negative = wrapDocumentBlob(pattern(10, 1));
    put32(negative, 8, 0xFFFFFFF0);
    EXPECT_TRUE(errorOf([&] { unwrapDocumentBlob(negative); }).startsWith(QStringLiteral("Ошибка чтения")));
}

TEST(CompoundFile, WritesStreamsThatReadBack)
{
    CompoundFileWriter w;
    w.setRootClsid(wordDocumentClsid());
    // Small streams live in the mini stream, large ones in ordinary sectors;
    // the cut-off is 4096 bytes exactly.
    const std::vector<std::pair<QString, QByteArray>> streams = {
        {QStringLiteral("WordDocument"), pattern(70000, 1)},
        {QStringLiteral("1Table"), pattern(4095, 2)},
        {QStringLiteral("Data"), pattern(4096, 3)},
        {QStringLiteral("\x01") + QStringLiteral("CompObj"), pattern(106, 4)},
        {QStringLiteral("Empty"), QByteArray()},
        {QStringLiteral("\x05") + QStringLiteral("SummaryInformation"), pattern(1, 5)},
    };
    for (const auto& [name, data] : streams)
        w.addStream(name, data);
    const QByteArray file = w.finish();
    ASSERT_EQ(file.size() % 512, 0);

    CompoundFileReader r(file);
    EXPECT_EQ(r.majorVersion(), 3);
    EXPECT_EQ(r.rootClsid(), wordDocumentClsid());
    EXPECT_EQ(r.streamNames().size(), qsizetype(streams.size()));
    for (const auto& [name, data] : streams)
        EXPECT_EQ(r.stream(name), data) << name.toStdString();
    EXPECT_TRUE(r.hasStream(QStringLiteral("worddocument")));
    EXPECT_FALSE(r.hasStream(QStringLiteral("0Table")));
    EXPECT_THROW(r.stream(QStringLiteral("0Table")), Error);
}

TEST(CompoundFile, LargeStreamNeedsDifatSectors)
{
    // Past 109 FAT sectors (about 7 MB) the FAT is listed in DIFAT sectors.
    const QByteArray big = pattern(8 * 1024 * 1024, 9);
    CompoundFileWriter w;
    w.addStream(QStringLiteral("WordDocument"), big);
    const QByteArray file = w.finish();
    EXPECT_GT(le32(file.constData() + 0x48), 0u);
    EXPECT_EQ(CompoundFileReader(file).stream(QStringLiteral("WordDocument")), big);
}

TEST(CompoundFile, ReadsVersion4)
{
    const QByteArray data = pattern(9000, 11);
    CompoundFileReader r(version4File(data));
    EXPECT_EQ(r.majorVersion(), 4);
    EXPECT_EQ(r.stream(QStringLiteral("WordDocument")), data);
}

TEST(CompoundFile, DamageGivesErrorsNotHangs)
{
    CompoundFileWriter w;
    w.addStream(QStringLiteral("WordDocument"), pattern(20000, 1));
    w.addStream(QStringLiteral("1Table"), pattern(300, 2));
    const QByteArray good = w.finish();
    const uint32_t fatSector = le32(good.constData() + 0x4C);
    const qint64 fatAt = (qint64(fatSector) + 1) * 512;

    // A chain that loops back on itself.
    QByteArray cycle = good;
    put32(cycle, fatAt + 4 * 5, 0);
    EXPECT_THROW(CompoundFileReader(cycle).stream(QStringLiteral("WordDocument")), Error);

    // A chain that leaves the file.
    QByteArray outside = good;
    put32(outside, fatAt + 4 * 5, 0x00FFFFFF);
    EXPECT_THROW(CompoundFileReader(outside).stream(QStringLiteral("WordDocument")), Error);

    // A stream longer than the whole file.
    QByteArray oversize = good;
    const qint64 dirAt = (qint64(le32(good.constData() + 0x30)) + 1) * 512;
    for (int i = 1; i < 4; ++i)
        if (le16(oversize.constData() + dirAt + 128 * i) == u'W')
            put32(oversize, dirAt + 128 * i + 0x78, 0x7FFFFFFF);
    EXPECT_THROW(CompoundFileReader(oversize).stream(QStringLiteral("WordDocument")), Error);

    // A directory tree whose node points back to itself.
    QByteArray loop = good;
    const uint32_t child = le32(good.constData() + dirAt + 0x4C);
    put32(loop, dirAt + 128 * child + 0x44, child);
    EXPECT_THROW(CompoundFileReader{loop}, Error);

    // Cut short, or not a compound file at all.
    EXPECT_THROW(CompoundFileReader(good.left(300)), Error);
    EXPECT_THROW(CompoundFileReader(QByteArray(2000, 'x')), Error);
}

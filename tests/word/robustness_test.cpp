// Damaged and hostile input: every input ends in a model or talvora::Error,
// never a crash, a hang or a huge allocation. Files under data/fuzz come from
// fuzzing runs: one input for each way a damaged file gets refused, and any
// input that ever crashed or hung the reader (named crash-*).

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_blob.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/compound_file.h"

#include "common/errors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

// Reads, and writes again what was read; false when the reader refused.
bool survives(const QByteArray& bytes)
{
    try {
        const Document doc = readDocument(bytes);
        readDoc(writeDoc(doc));
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace

TEST(Robustness, FuzzerFinds)
{
    const QDir dir(test::dataPath(QStringLiteral("fuzz")));
    const QStringList files = dir.entryList(QDir::Files);
    EXPECT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QElapsedTimer t;
        t.start();
        survives(f.readAll());
        EXPECT_LT(t.elapsed(), 5000) << name.toStdString();
    }
}

TEST(Robustness, RandomDamageToReferenceDocuments)
{
    QRandomGenerator rng(20240611);
    for (const char* name : {"plain_ru", "char_formats", "table", "nested_table", "template_discharge"}) {
        const QByteArray good = test::readData(QString::fromLatin1(name) + QStringLiteral(".doc"));
        ASSERT_FALSE(good.isEmpty());
        for (int round = 0; round < 300; ++round) {
            QByteArray bad = good;
            const int changes = 1 + int(rng.bounded(8));
            for (int k = 0; k < changes; ++k) {
                const int at = int(rng.bounded(bad.size()));
                switch (rng.bounded(3)) {
                case 0: bad[at] = char(rng.bounded(256)); break;
                case 1: bad[at] = char(0xFF); break;
                default: put32(bad, std::min<qsizetype>(at, bad.size() - 4), rng.generate()); break;
                }
            }
            survives(bad);
        }
        for (qsizetype cut = 0; cut < good.size(); cut += 97)
            EXPECT_FALSE(survives(good.left(cut)) && cut < 512) << name << " cut at " << cut;
    }
}

TEST(Robustness, DamagedListTablesLeaveTheText)
{
    // Lists are an extra: whatever their tables hold, the text is read.
    const QByteArray good = test::readData(QStringLiteral("lists.doc"));
    const QByteArray word = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    const ByteView fib(word);
    qint64 at = 32;
    at += 2 + 2 * qint64(fib.u16(at));
    at += 2 + 4 * qint64(fib.u16(at));
    at += 2;
    const uint32_t fcLst = fib.u32(at + 8 * 73), fcLfo = fib.u32(at + 8 * 74), lcbLfo = fib.u32(at + 8 * 74 + 4);
    ASSERT_LT(fcLst, fcLfo);
    QStringList items;
    const Document original = readDoc(good);
    for (QTextBlock b = original.text().begin(); b.isValid(); b = b.next())
        items << b.text();
    ASSERT_EQ(items.size(), 8);
    QRandomGenerator rng(20240612);
    for (int round = 0; round < 400; ++round) {
        const QByteArray bad = test::editStream(good, QStringLiteral("1Table"), [&](QByteArray& t) {
            for (int k = 1 + int(rng.bounded(6)); k > 0; --k) {
                const qsizetype pos = fcLst + rng.bounded(fcLfo + lcbLfo - fcLst);
                t[pos] = rng.bounded(2) ? char(0xFF) : char(rng.bounded(256));
            }
        });
        Document d;
        ASSERT_NO_THROW(d = readDoc(bad)) << round;
        const QString text = plainText(d);
        for (const QString& item : items)
            EXPECT_TRUE(text.contains(item)) << round << " " << item.toStdString();
        survives(bad);
    }
}

TEST(Robustness, EndlessStyleChainsAndFieldNesting)
{
    // 65000 paragraph styles, each based on the next: resolving the first
    // must neither exhaust the stack nor take long.
    const int count = 65000;
    QByteArray stsh;
    ByteWriter w(stsh);
    w.u16(18);
    w.u16(uint16_t(count));
    w.u16(10);
    w.zeros(14);
    for (int i = 0; i < count; ++i) {
        w.u16(20);
        w.u16(0);                                                    // sti
        w.u16(uint16_t(1 | ((i + 1 < count ? i + 1 : 0x0FFF) << 4))); // paragraph style, base
        w.u16(2);                                                    // two property groups
        w.u16(0);
        w.u16(0);
        w.u16(0);                                                    // empty name
        w.u16(0);
        w.u16(2);                                                    // paragraph group: istd only
        w.u16(uint16_t(i));
        w.u16(0);                                                    // character group: empty
    }
    // 60000 nested fields, all showing their results and never closed: the
    // text after them is shown without looking at every open field for every
    // character.
    QString text;
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("\x13\x14");
    text += QString(60000, QChar(u'x')) + QStringLiteral("\r");
    test::BuildOptions o;
    o.styleSheet = stsh;
    QElapsedTimer t;
    t.start();
    const Document doc = readDoc(test::buildDoc({{text, false, {}, {}}}, o));
    // A guard against work growing with the square of the nesting (minutes
    // here), not a speed goal: it holds under the sanitizers on a busy machine.
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_EQ(doc.text().toPlainText(), QString(60000, QChar(u'x')));
}

TEST(Robustness, HostileLengthsAreRefused)
{
    const QByteArray good = test::readData("plain_ru.doc");
    // A piece table that claims far more text than the stream holds.
    const QByteArray hugeText = test::editStream(good, QStringLiteral("WordDocument"), [](QByteArray& w) {
        put32(w, 32 + 2 + 28 + 2 + 4 * 3, 0x7FFFFFF0); // ccpText
    });
    EXPECT_TRUE(survives(hugeText)); // clamped to the text that exists

    const QByteArray word = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    const uint32_t fcClx = le32(word.constData() + 32 + 2 + 28 + 2 + 88 + 2 + 33 * 8);
    const QByteArray hugePieces = test::editStream(good, QStringLiteral("1Table"), [&](QByteArray& t) {
        // The piece's end moved far out: it no longer fits the stream.
        ASSERT_EQ(t[fcClx], '\x02');
        put32(t, fcClx + 5 + 4, 0x3FFFFFFF);
    });
    EXPECT_FALSE(survives(hugePieces));

    // A BLOB whose length field points past its end.
    QByteArray blob = wrapDocumentBlob(good);
    put32(blob, 8, uint32_t(good.size() + 1));
    EXPECT_FALSE(survives(blob));
}

// Tables: how the reader builds them from cell and row marks, and what the
// writer makes of the model's tables.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sprm.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextCursor>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

// "row,column span rows x columns: text" of every cell, for comparing shapes.
QStringList shape(const QJsonObject& table)
{
    QStringList out;
    for (const auto& v : table[QStringLiteral("cells")].toArray()) {
        const QJsonObject c = v.toObject();
        out << QStringLiteral("%1,%2 %3x%4: %5")
                   .arg(c[QStringLiteral("row")].toInt())
                   .arg(c[QStringLiteral("column")].toInt())
                   .arg(c[QStringLiteral("rowSpan")].toInt(1))
                   .arg(c[QStringLiteral("columnSpan")].toInt(1))
                   .arg(c[QStringLiteral("text")].toString());
    }
    return out;
}

QJsonArray tablesOf(const Document& d)
{
    return dumpDocument(d)[QStringLiteral("tables")].toArray();
}

QByteArray sprmU8(uint16_t code, uint8_t v)
{
    QByteArray b;
    ByteWriter w(b);
    w.u16(code);
    w.u8(v);
    return b;
}

} // namespace

TEST(Tables, ReferenceTableWithMergedCell)
{
    const Document d = readDoc(test::readData(QStringLiteral("table.doc")));
    const QJsonArray tables = tablesOf(d);
    ASSERT_EQ(tables.size(), 1);
    const QJsonObject t = tables[0].toObject();
    EXPECT_EQ(t[QStringLiteral("rows")].toInt(), 4);
    EXPECT_EQ(t[QStringLiteral("columns")].toInt(), 3);
    const QStringList cells = shape(t);
    ASSERT_EQ(cells.size(), 11);
    EXPECT_EQ(cells[0], QStringLiteral("0,0 1x1: Показатель"));
    EXPECT_EQ(cells[9], QStringLiteral("3,0 1x2: Объединённая ячейка"));
    EXPECT_EQ(cells[10], QStringLiteral("3,2 1x1: конец"));

    // Twelve tables of 6 × 4 in the long document, none taking text from the next.
    const QJsonArray many = tablesOf(readDoc(test::readData(QStringLiteral("long.doc"))));
    ASSERT_EQ(many.size(), 12);
    for (const auto& v : many)
        EXPECT_EQ(v.toObject()[QStringLiteral("cells")].toArray().size(), 24);
}

TEST(Tables, MergesAndCellParagraphsSurviveARoundTrip)
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("до"));
    c.insertBlock();
    QTextTable* t = c.insertTable(3, 3);
    const char* texts[3][3] = {{"a", "", "b"}, {"c", "d", "e"}, {"f", "g", ""}};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            t->cellAt(r, k).firstCursorPosition().insertText(QString::fromUtf8(texts[r][k]));
    t->cellAt(1, 0).lastCursorPosition().insertBlock();
    t->cellAt(1, 0).lastCursorPosition().insertText(QStringLiteral("c2"));
    t->mergeCells(0, 0, 1, 2); // across
    t->mergeCells(1, 2, 2, 1); // down
    QTextCursor after(&d.text());
    after.movePosition(QTextCursor::End);
    after.insertText(QStringLiteral("после"));

    const Document back = readDoc(writeDoc(d));
    EXPECT_EQ(plainText(back), plainText(d));
    const QJsonArray tables = tablesOf(back);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(shape(tables[0].toObject()), shape(tablesOf(d)[0].toObject()));
    EXPECT_EQ(shape(tables[0].toObject()),
              QStringList({"0,0 1x2: a", "0,2 1x1: b", "1,0 1x1: c\nc2", "1,1 1x1: d", "1,2 2x1: e", "2,0 1x1: f",
                           "2,1 1x1: g"}));
}

TEST(Tables, MoreColumnsThanWordAllowsKeepAllText)
{
    Document d;
    QTextCursor c(&d.text());
    QTextTable* t = c.insertTable(1, 80);
    QString expected;
    for (int k = 0; k < 80; ++k)
        t->cellAt(0, k).firstCursorPosition().insertText(QString::number(k));
    const Document back = readDoc(writeDoc(d));
    const QJsonArray tables = tablesOf(back);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_LE(tables[0].toObject()[QStringLiteral("columns")].toInt(), 63);
    QStringList numbers = plainText(back).split(QChar(u'\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(numbers.size(), 80);
    EXPECT_EQ(numbers.last(), QStringLiteral("79"));
}

TEST(Tables, DamagedRowsGiveParagraphsNotCrashes)
{
    const QByteArray inTable = sprmU8(sprm::PFInTable, 1);
    // Cells without a row mark: read as plain paragraphs.
    {
        const Document d = readDoc(test::buildDoc({{QStringLiteral("a\x07" "b\x07"), false, {}, inTable},
                                                   {QStringLiteral("после\r"), false, {}, {}}}));
        EXPECT_TRUE(tablesOf(d).isEmpty());
        EXPECT_EQ(plainText(d), QStringLiteral("a\nb\nпосле\n"));
    }
    // A row definition that claims 200 cells in a few bytes, and one with more
    // boundaries than cells: the row still holds its two cells.
    for (int claimed : {200, 1}) {
        QByteArray rowMark = inTable + sprmU8(sprm::PFTtp, 1);
        ByteWriter w(rowMark);
        w.u16(sprm::TDefTable);
        w.u16(8);
        w.u8(uint8_t(claimed));
        w.i16(0);
        w.i16(1000);
        w.i16(2000);
        // (A table cannot open a QTextDocument: a paragraph goes before it.)
        const Document d = readDoc(test::buildDoc({{QStringLiteral("до\r"), false, {}, {}},
                                                   {QStringLiteral("a\x07" "b\x07"), false, {}, inTable},
                                                   {QStringLiteral("\x07"), false, {}, rowMark},
                                                   {QStringLiteral("после\r"), false, {}, {}}}));
        const QJsonArray tables = tablesOf(d);
        ASSERT_EQ(tables.size(), 1) << claimed;
        EXPECT_EQ(tables[0].toObject()[QStringLiteral("cells")].toArray().size(), 2) << claimed;
        EXPECT_EQ(plainText(d), QStringLiteral("до\na\nb\nпосле\n")) << claimed;
    }
}

// Tables: how the reader builds them from cell and row marks, and what the
// writer makes of the model's tables.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sprm.h"
#include "word/table_format.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <QXmlStreamReader>

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

QByteArray sprmI32(uint16_t code, int32_t v)
{
    QByteArray b;
    ByteWriter w(b);
    w.u16(code);
    w.i32(v);
    return b;
}

// A row definition with boundaries only (Word takes the cells as plain).
QByteArray defTable(const std::vector<int>& bounds)
{
    QByteArray b;
    ByteWriter w(b);
    const int n = int(bounds.size()) - 1;
    w.u16(sprm::TDefTable);
    w.u16(uint16_t(1 + 2 * (n + 1) + 1));
    w.u8(uint8_t(n));
    for (int x : bounds)
        w.i16(int16_t(x));
    return b;
}

// Marks of a table paragraph at `depth`, as Word flags them.
QByteArray inTable(int depth)
{
    return sprmU8(sprm::PFInTable, 1) + sprmI32(sprm::PItap, depth);
}
QByteArray innerCell(int depth)
{
    return inTable(depth) + sprmU8(sprm::PFInnerTableCell, 1);
}
QByteArray innerRowEnd(int depth, const std::vector<int>& bounds)
{
    return innerCell(depth) + sprmU8(sprm::PFInnerTtp, 1) + defTable(bounds);
}
QByteArray rowEnd(const std::vector<int>& bounds)
{
    return inTable(1) + sprmU8(sprm::PFTtp, 1) + defTable(bounds);
}

// A table inside the first cell of each table, `levels` deep, each cell
// holding its level's number before the next table.
Document nestedModel(int levels)
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("до"));
    for (int level = 1; level <= levels; ++level) {
        QTextTable* t = c.insertTable(1, 2);
        t->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("справа %1").arg(level));
        c = t->cellAt(0, 0).firstCursorPosition();
        c.insertText(QStringLiteral("уровень %1").arg(level));
    }
    return d;
}

// How deep the tables nest, following the first nested table of each.
int nestingDepth(const QJsonArray& tables)
{
    int depth = 0;
    QJsonArray level = tables;
    while (!level.isEmpty()) {
        ++depth;
        QJsonArray next;
        for (const auto& cell : level[0].toObject()[QStringLiteral("cells")].toArray())
            if (cell.toObject().contains(QStringLiteral("tables")))
                next = cell.toObject()[QStringLiteral("tables")].toArray();
        level = next;
    }
    return depth;
}

QJsonObject cellOf(const QJsonObject& table, int row, int column)
{
    for (const auto& v : table[QStringLiteral("cells")].toArray())
        if (v.toObject()[QStringLiteral("row")].toInt() == row && v.toObject()[QStringLiteral("column")].toInt() == column)
            return v.toObject();
    return {};
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

// Nested tables -----------------------------------------------------------

TEST(NestedTables, ReferenceFileGivesTablesInsideCells)
{
    // Written by LibreOffice: a 2 × 2 table whose second cell holds a 2 × 2
    // table, one cell of which starts with a third, one-cell table.
    const Document d = readDoc(test::readData(QStringLiteral("nested_table.doc")));
    const QJsonArray tables = tablesOf(d);
    ASSERT_EQ(tables.size(), 1); // nested ones are listed inside their cells
    const QJsonObject outer = tables[0].toObject();
    EXPECT_EQ(shape(outer), QStringList({"0,0 1x1: Внешняя 1", "0,1 1x1: Перед вложенной\nПосле вложенной",
                                         "1,0 1x1: Внешняя 3", "1,1 1x1: Внешняя 4"}));
    const QJsonObject inner = cellOf(outer, 0, 1)[QStringLiteral("tables")].toArray()[0].toObject();
    EXPECT_EQ(shape(inner), QStringList({"0,0 1x1: в1", "0,1 1x1: в2", "1,0 1x1: в3", "1,1 1x1: в4"}));
    const QJsonArray deepest = cellOf(inner, 1, 0)[QStringLiteral("tables")].toArray();
    ASSERT_EQ(deepest.size(), 1);
    EXPECT_EQ(shape(deepest[0].toObject()), QStringList({"0,0 1x1: глубоко"}));
    EXPECT_EQ(nestingDepth(tables), 3);

    // Row height, shading and a wide coloured border of the outer table.
    const QJsonObject first = cellOf(outer, 0, 0);
    EXPECT_EQ(first[QStringLiteral("background")].toString(), QStringLiteral("#ffff00"));
    EXPECT_EQ(first[QStringLiteral("rowHeight")].toObject()[QStringLiteral("value")].toInt(), 850);
    EXPECT_EQ(first[QStringLiteral("rowHeight")].toObject()[QStringLiteral("rule")].toString(), QStringLiteral("atLeast"));
    const QJsonObject right = cellOf(outer, 0, 1)[QStringLiteral("borders")].toObject()[QStringLiteral("right")].toObject();
    EXPECT_EQ(right[QStringLiteral("width")].toDouble(), 2.25);
    EXPECT_EQ(right[QStringLiteral("color")].toString(), QStringLiteral("#ff0000"));
}

TEST(NestedTables, HandBuiltAsWordWritesThem)
{
    // Inner cells end with paragraph marks flagged as cell ends, the inner
    // row with such a mark that also ends the row and defines it; the outer
    // cell goes on after the inner table. Some pieces are 8-bit text. The
    // depth is given outright, or (older files) as a step from depth 1.
    for (bool byStep : {false, true}) {
        const QByteArray depth2 = byStep ? inTable(1) + sprmI32(sprm::PDtap, 1) : inTable(2);
        const QByteArray cell2 = depth2 + sprmU8(sprm::PFInnerTableCell, 1);
        const QByteArray rowEnd2 = cell2 + sprmU8(sprm::PFInnerTtp, 1) + defTable({0, 1000, 2000});
        const Document d = readDoc(test::buildDoc({
            {QStringLiteral("до\r"), false, {}, {}},
            {QStringLiteral("A\x07"), true, {}, inTable(1)},
            {QStringLiteral("перед\r"), false, {}, inTable(1)},
            {QStringLiteral("i1\ri2\r"), true, {}, cell2},
            {QStringLiteral("\r"), false, {}, rowEnd2},
            {QStringLiteral("j1\rj2\r"), false, {}, cell2},
            {QStringLiteral("\r"), true, {}, rowEnd2},
            {QStringLiteral("после\x07"), false, {}, inTable(1)},
            {QStringLiteral("\x07"), false, {}, rowEnd({0, 3000, 6000})},
            {QStringLiteral("end\r"), true, {}, {}},
        }));
        const QJsonArray tables = tablesOf(d);
        ASSERT_EQ(tables.size(), 1) << byStep;
        const QJsonObject outer = tables[0].toObject();
        EXPECT_EQ(shape(outer), QStringList({"0,0 1x1: A", "0,1 1x1: перед\nпосле"})) << byStep;
        const QJsonArray nested = cellOf(outer, 0, 1)[QStringLiteral("tables")].toArray();
        ASSERT_EQ(nested.size(), 1) << byStep;
        EXPECT_EQ(shape(nested[0].toObject()), QStringList({"0,0 1x1: i1", "0,1 1x1: i2", "1,0 1x1: j1", "1,1 1x1: j2"}))
            << byStep;
        EXPECT_EQ(plainText(d), QStringLiteral("до\nA\nперед\ni1\ni2\nj1\nj2\nпосле\nend\n")) << byStep;
    }
}

TEST(NestedTables, RoundTripKeepsShapeAndIsStable)
{
    Document d = nestedModel(3);
    // A cell with a nested table between two paragraphs and a merged cell beside it.
    QTextCursor end(&d.text());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("после"));
    end.insertBlock();
    QTextTable* t = end.insertTable(2, 2);
    t->mergeCells(0, 1, 2, 1);
    QTextCursor c = t->cellAt(0, 0).firstCursorPosition();
    c.insertText(QStringLiteral("над"));
    c.insertBlock();
    QTextTable* inner = c.insertTable(1, 1);
    inner->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("внутри"));
    t->cellAt(0, 0).lastCursorPosition().insertText(QStringLiteral("под"));
    t->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("объединена"));

    const QByteArray once = writeDoc(d);
    const Document back = readDoc(once);
    EXPECT_EQ(plainText(back), plainText(d));
    const QJsonArray expected = tablesOf(d), got = tablesOf(back);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(nestingDepth(got), 3);
    for (qsizetype i = 0; i < got.size(); ++i)
        EXPECT_EQ(shape(got[i].toObject()), shape(expected[i].toObject())) << i;
    EXPECT_EQ(shape(cellOf(got[1].toObject(), 0, 0)[QStringLiteral("tables")].toArray()[0].toObject()),
              QStringList({"0,0 1x1: внутри"}));
    // What was read is written the same way again.
    EXPECT_EQ(writeDoc(back), writeDoc(readDoc(writeDoc(back))));
}

TEST(NestedTables, DeeperThanTheLimitBecomeParagraphsOfTheirCell)
{
    const Document deep = nestedModel(kMaxTableDepth + 4);
    const Document back = readDoc(writeDoc(deep));
    EXPECT_EQ(nestingDepth(tablesOf(back)), kMaxTableDepth);
    EXPECT_EQ(plainText(back), plainText(deep));
    // The flattened levels are text of the deepest cell kept.
    EXPECT_EQ(readDoc(writeDoc(back)).text().toPlainText(), back.text().toPlainText());
}

TEST(NestedTables, DamagedDepthsKeepTheText)
{
    struct Case {
        const char* name;
        QByteArray cells, rowEnd; // of the would-be inner table
        int depth;                // of the tables read
    };
    const std::vector<int> bounds = {0, 1000, 2000};
    const Case cases[] = {
        {"huge", inTable(0x7FFFFFFF) + sprmU8(sprm::PFInnerTableCell, 1),
         inTable(0x7FFFFFFF) + sprmU8(sprm::PFInnerTableCell, 1) + sprmU8(sprm::PFInnerTtp, 1) + defTable(bounds), 1},
        {"negative", inTable(-5) + sprmU8(sprm::PFInnerTableCell, 1),
         inTable(-5) + sprmU8(sprm::PFInnerTableCell, 1) + sprmU8(sprm::PFInnerTtp, 1), 1},
        {"jump to 3", innerCell(3), innerRowEnd(3, bounds), 2},
        {"no inner row end", innerCell(2), innerCell(2), 1},
        {"step below zero", inTable(1) + sprmI32(sprm::PDtap, -100), inTable(1) + sprmI32(sprm::PDtap, INT32_MIN), 1},
        {"hostile definition", innerCell(2), innerCell(2) + sprmU8(sprm::PFInnerTtp, 1) + defTable({0, -30000, 30000, 5}), 2},
    };
    for (const Case& k : cases) {
        const Document d = readDoc(test::buildDoc({
            {QStringLiteral("до\r"), false, {}, {}},
            {QStringLiteral("A\x07"), false, {}, inTable(1)},
            {QStringLiteral("i1\ri2\r"), false, {}, k.cells},
            {QStringLiteral("\r"), false, {}, k.rowEnd},
            {QStringLiteral("B\x07"), true, {}, inTable(1)},
            {QStringLiteral("\x07"), false, {}, rowEnd({0, 3000, 6000})},
            {QStringLiteral("после\r"), false, {}, {}},
        }));
        QString text = plainText(d);
        text.remove(QStringLiteral("\n\n")); // an empty row mark paragraph where rows break down
        for (const char* part : {"до", "A", "i1", "i2", "B", "после"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << k.name << " lost " << part;
        EXPECT_EQ(nestingDepth(tablesOf(d)), k.depth) << k.name;
        // What was read can be written and read again.
        EXPECT_EQ(plainText(readDoc(writeDoc(d))), plainText(d)) << k.name;
    }
}

TEST(NestedTables, StoryOrCellStartingWithATableStaysAsItIs)
{
    // The model needs an empty block before such a table; it is not written,
    // so round trips neither add a paragraph nor change the file.
    const Document read = readDoc(test::buildDoc({
        {QStringLiteral("a\x07" "b\x07"), false, {}, inTable(1)},
        {QStringLiteral("\x07"), false, {}, rowEnd({0, 1000, 2000})},
        {QStringLiteral("после\r"), false, {}, {}},
    }));
    EXPECT_EQ(plainText(read), QStringLiteral("a\nb\nпосле\n"));
    const QByteArray once = writeDoc(read);
    const Document again = readDoc(once);
    EXPECT_EQ(again.text().blockCount(), read.text().blockCount());
    EXPECT_EQ(writeDoc(again), once);

    Document model; // built in the editor: a cell that opens with a table
    QTextTable* t = QTextCursor(&model.text()).insertTable(1, 1);
    t->cellAt(0, 0).firstCursorPosition().insertTable(1, 1)->cellAt(0, 0).firstCursorPosition().insertText(
        QStringLiteral("x"));
    Document first = readDoc(writeDoc(model));
    const Document second = readDoc(writeDoc(first));
    EXPECT_EQ(second.text().blockCount(), first.text().blockCount());
    EXPECT_EQ(writeDoc(second), writeDoc(first));
    // Text typed into the empty block is a paragraph like any other.
    QTextCursor(&first.text()).insertText(QStringLiteral("новый"));
    EXPECT_TRUE(plainText(readDoc(writeDoc(first))).startsWith(QStringLiteral("новый\n")));
}

TEST(Tables, BoundariesOutOfOrderKeepCellsInTheTable)
{
    // The second cell starts where the row ends: it goes to the last column.
    for (const std::vector<int>& bounds : {std::vector<int>{0, 6000, 3000}, std::vector<int>{5000, 0, 0}}) {
        const Document d = readDoc(test::buildDoc({{QStringLiteral("до\r"), false, {}, {}},
                                                   {QStringLiteral("a\x07" "b\x07"), false, {}, inTable(1)},
                                                   {QStringLiteral("\x07"), false, {}, rowEnd(bounds)},
                                                   {QStringLiteral("после\r"), false, {}, {}}}));
        EXPECT_EQ(plainText(d), QStringLiteral("до\na\nb\nпосле\n"));
        ASSERT_EQ(tablesOf(d).size(), 1);
    }
}

TEST(Tables, CellsWithoutRowMarksReadInLinearTime)
{
    // Table paragraphs no row mark ever closes are read as paragraphs once,
    // not searched for their row again from each of them.
    QString cells;
    for (int k = 0; k < 60000; ++k)
        cells += QStringLiteral("c\x07");
    QElapsedTimer timer;
    timer.start();
    const Document d = readDoc(test::buildDoc({{cells, true, {}, inTable(2)}}));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(d.text().blockCount(), 60000);
}

TEST(NestedTables, DamagedRowDefinitionsNeverCrash)
{
    // Nested and formatted tables; bytes of their paragraph property pages
    // (where the row definitions are) changed at random.
    Document model = nestedModel(5);
    QTextCursor c(&model.text());
    c.movePosition(QTextCursor::End);
    QTextTable* t = c.insertTable(3, 4);
    t->mergeCells(0, 0, 2, 2);
    QTextTableCellFormat f;
    f.setBackground(QColor(1, 2, 3));
    f.setTopBorder(3);
    f.setTopBorderStyle(QTextFrameFormat::BorderStyle_Dashed);
    f.setProperty(RowHeightProperty, 500);
    t->cellAt(2, 3).setFormat(f);
    const QByteArray good = writeDoc(model);
    const QByteArray table = CompoundFileReader(good).stream(QStringLiteral("1Table"));
    const QByteArray word = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    const ByteView fib(word);
    const uint32_t plcAt = fib.u32(154 + 8 * 13), plcSize = fib.u32(154 + 8 * 13 + 4);
    const ByteView plc = ByteView(table).sub(plcAt, plcSize);
    std::vector<uint32_t> pages;
    for (qint64 i = 0, n = (plc.size() - 4) / 8; i < n; ++i)
        pages.push_back(plc.u32(4 * (n + 1) + 4 * i));
    ASSERT_FALSE(pages.empty());

    QRandomGenerator rng(1951);
    int read = 0;
    for (int round = 0; round < 400; ++round) {
        const QByteArray bad = test::editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) {
            const qint64 page = 512 * qint64(pages[rng.bounded(quint32(pages.size()))]);
            for (int k = 1 + int(rng.bounded(6)); k > 0; --k)
                w[page + rng.bounded(511)] = char(rng.bounded(256));
        });
        try {
            const Document d = readDoc(bad);
            readDoc(writeDoc(d));
            ++read;
        } catch (const Error&) {
        }
    }
    EXPECT_GT(read, 200); // most damage only spoils formatting
}

// Row and cell properties -----------------------------------------------

namespace {

QTextTableCellFormat bordered(double width, QTextFrameFormat::BorderStyle style, const QColor& color)
{
    QTextTableCellFormat f;
    f.setTopBorder(width);
    f.setLeftBorder(width);
    f.setBottomBorder(width);
    f.setRightBorder(width);
    f.setBorderStyle(style);
    f.setBorderBrush(color);
    return f;
}

// A 2 × 3 table with the properties Word tables commonly carry.
Document formattedTable()
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("до"));
    QTextTableFormat tf;
    tf.setAlignment(Qt::AlignHCenter);
    tf.setHeaderRowCount(1);
    tf.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100), QTextLength(QTextLength::FixedLength, 80),
                                  QTextLength(QTextLength::FixedLength, 60)});
    QTextTable* t = c.insertTable(2, 3, tf);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k)
            t->cellAt(r, k).firstCursorPosition().insertText(QStringLiteral("%1%2").arg(r).arg(k));

    // Half a point and a point and a half, in the model's 1/96 inch.
    QTextTableCellFormat a = bordered(2.0 / 3, QTextFrameFormat::BorderStyle_Dotted, Qt::red);
    a.setTopBorder(2);
    a.setTopBorderStyle(QTextFrameFormat::BorderStyle_Double);
    a.setTopBorderBrush(QColor(0x12, 0x34, 0x56)); // none of Word 97's sixteen colours
    a.setBottomBorderStyle(QTextFrameFormat::BorderStyle_None);
    a.setBackground(QColor(0xC0, 0xFF, 0xEE));
    a.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    a.setProperty(RowHeightProperty, -567);
    t->cellAt(0, 0).setFormat(a);

    // 10 % of the automatic colour: a pattern kept as stored.
    QTextTableCellFormat b = bordered(1, QTextFrameFormat::BorderStyle_Solid, Qt::black);
    QByteArray shd;
    ByteWriter w(shd);
    w.u32(0xFF000000);
    w.u32(0xFF000000);
    w.u16(3);
    b.setProperty(CellShadingProperty, shd);
    b.setBackground(QColor(230, 230, 230));
    b.setProperty(RowHeightProperty, 400);
    b.setProperty(CellBorderTopKindProperty, 2); // thick, shown as solid
    b.setVerticalAlignment(QTextCharFormat::AlignBottom);
    t->cellAt(1, 1).setFormat(b);
    return d;
}

} // namespace

TEST(TableProperties, RowsAndCellsSurviveARoundTrip)
{
    const Document back = readDoc(writeDoc(formattedTable()));
    const QJsonArray tables = tablesOf(back);
    ASSERT_EQ(tables.size(), 1);
    const QJsonObject t = tables[0].toObject();
    EXPECT_EQ(t[QStringLiteral("alignment")].toString(), QStringLiteral("center"));
    EXPECT_EQ(t[QStringLiteral("headerRows")].toInt(), 1);

    const QJsonObject a = cellOf(t, 0, 0);
    EXPECT_EQ(a[QStringLiteral("background")].toString(), QStringLiteral("#c0ffee"));
    EXPECT_EQ(a[QStringLiteral("verticalAlignment")].toString(), QStringLiteral("center"));
    EXPECT_EQ(a[QStringLiteral("rowHeight")].toObject(),
              QJsonObject({{QStringLiteral("value"), 567}, {QStringLiteral("rule"), QStringLiteral("exact")}}));
    const QJsonObject borders = a[QStringLiteral("borders")].toObject();
    EXPECT_EQ(borders[QStringLiteral("top")].toObject(),
              QJsonObject({{QStringLiteral("width"), 1.5}, {QStringLiteral("style"), QStringLiteral("double")},
                           {QStringLiteral("color"), QStringLiteral("#123456")}}));
    EXPECT_EQ(borders[QStringLiteral("left")].toObject(),
              QJsonObject({{QStringLiteral("width"), 0.5}, {QStringLiteral("style"), QStringLiteral("dotted")},
                           {QStringLiteral("color"), QStringLiteral("#ff0000")}}));
    EXPECT_EQ(borders[QStringLiteral("bottom")].toObject()[QStringLiteral("style")].toString(), QStringLiteral("none"));

    const QJsonObject b = cellOf(t, 1, 1);
    EXPECT_EQ(b[QStringLiteral("background")].toString(), QStringLiteral("#e6e6e6"));
    EXPECT_EQ(b[QStringLiteral("verticalAlignment")].toString(), QStringLiteral("bottom"));
    EXPECT_EQ(b[QStringLiteral("rowHeight")].toObject()[QStringLiteral("value")].toInt(), 400);
    // The stored pattern and line kind come back with the cell.
    QTextTable* table = qobject_cast<QTextTable*>(back.text().rootFrame()->childFrames().constFirst());
    const QTextTableCellFormat bf = table->cellAt(1, 1).format().toTableCellFormat();
    EXPECT_EQ(bf.property(CellShadingProperty).toByteArray().right(2), QByteArray("\x03\x00", 2));
    EXPECT_EQ(bf.intProperty(CellBorderTopKindProperty), 2);
    // The cell's shading stays on the cell, not on the text of its paragraphs.
    EXPECT_FALSE(table->cellAt(1, 1).firstCursorPosition().block().begin().fragment().charFormat().hasProperty(
        QTextFormat::BackgroundBrush));

    // A second round trip changes nothing.
    EXPECT_EQ(QJsonDocument(dumpDocument(readDoc(writeDoc(back)))).toJson(), QJsonDocument(dumpDocument(back)).toJson());
}

TEST(TableProperties, IndentAsStoredAndAsEdited)
{
    QByteArray rowMark = rowEnd({-108, 2000, 4000}) + sprmU8(sprm::TTableHeader, 1);
    const Document d = readDoc(test::buildDoc({{QStringLiteral("до\r"), false, {}, {}},
                                               {QStringLiteral("a\x07" "b\x07"), false, {}, inTable(1)},
                                               {QStringLiteral("\x07"), false, {}, rowMark},
                                               {QStringLiteral("после\r"), false, {}, {}}}));
    QTextTable* table = qobject_cast<QTextTable*>(d.text().rootFrame()->childFrames().constFirst());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->format().leftMargin(), 0); // left of the margin: shown at it
    EXPECT_EQ(tablesOf(readDoc(writeDoc(d)))[0].toObject()[QStringLiteral("indent")].toInt(), -108);
    QTextTableFormat f = table->format();
    f.setLeftMargin(48); // moved in the editor: half an inch
    table->setFormat(f);
    EXPECT_EQ(tablesOf(readDoc(writeDoc(d)))[0].toObject()[QStringLiteral("indent")].toInt(), 720);
}

TEST(TableProperties, RowDefinitionModifiersInTheirOrder)
{
    auto brc = [](uint8_t width, uint8_t kind, uint8_t ico) {
        const char b[4] = {char(width), char(kind), char(ico), 0};
        return QByteArray(b, 4);
    };
    QByteArray g;
    ByteWriter w(g);
    // Two cells: the first with its own top border, the second with none given.
    w.u16(sprm::TDefTable);
    w.u16(uint16_t(1 + 6 + 40 + 1));
    w.u8(2);
    for (int x : {0, 1000, 2000})
        w.i16(int16_t(x));
    for (int cell = 0; cell < 2; ++cell) {
        w.u16(cell == 0 ? 0x0080 : 0); // centred, or top
        w.u16(1000);
        w.bytes(cell == 0 ? brc(8, 1, 6) : QByteArray(4, char(0xFF)));
        for (int side = 1; side < 4; ++side)
            w.bytes(QByteArray(4, char(0xFF)));
    }
    // The full-colour shading comes first and still wins over the Word 97 one.
    w.u16(sprm::TDefTableShd);
    w.u8(10);
    w.bytes(QByteArray("\x00\x00\x00\xFF\x11\x22\x33\x00\x00\x00", 10));
    w.u16(sprm::TDefTableShd80);
    w.u8(4);
    w.u16(7 << 5);
    w.u16(2 << 5);
    // Table borders fill what the cells leave open; then one side is set anew,
    // for cells 1 to 199 (only cell 1 exists).
    w.u16(sprm::TTableBorders80);
    w.u8(24);
    for (int side = 0; side < 6; ++side)
        w.bytes(brc(uint8_t(2 + side), 3, 0));
    w.u16(sprm::TSetBrc);
    w.u8(11);
    w.u8(1);
    w.u8(200);
    w.u8(0x08);
    w.bytes(QByteArray("\x01\x02\x03\x00\x10\x07\x00\x00", 8));
    w.u16(sprm::TDyaRowHeight);
    w.i16(-300);

    TableRowReader reader;
    forEachSprm(ByteView(g), [&](uint16_t code, ByteView o) { reader.apply(code, o); });
    TableRowDef def = reader.finish();
    ASSERT_EQ(def.cells.size(), 2u);
    EXPECT_EQ(def.height, -300);
    EXPECT_EQ(def.cells[0].verticalAlignment, 1);
    EXPECT_EQ(def.cells[0].shading->back, qRgb(0x11, 0x22, 0x33));
    EXPECT_EQ(def.cells[1].shading->back, qRgb(0, 0, 255)); // only the Word 97 form for it
    for (size_t c = 0; c < 2; ++c)
        applyTableBorders(def.cells[c], def, true, true, c == 0, c == 1);
    EXPECT_EQ(def.cells[0].borders[SideTop], (BorderLine{8, 1, qRgb(255, 0, 0)}));
    EXPECT_EQ(def.cells[1].borders[SideTop], (BorderLine{2, 3, std::nullopt}));       // the table's top
    EXPECT_EQ(def.cells[0].borders[SideRight], (BorderLine{7, 3, std::nullopt}));     // inside vertical
    EXPECT_EQ(def.cells[1].borders[SideRight], (BorderLine{16, 7, qRgb(1, 2, 3)}));   // set anew
}

TEST(TableProperties, WideRowsKeepAllTheirCells)
{
    // Forty cells with borders and shading do not fit a formatted disk page:
    // their definition goes to the Data stream, after the picture in a cell.
    Document d;
    QTextTable* t = QTextCursor(&d.text()).insertTable(1, 40);
    for (int k = 0; k < 40; ++k) {
        QTextTableCellFormat f = bordered(0.75, QTextFrameFormat::BorderStyle_Solid, QColor(10, 20, k));
        f.setBackground(QColor(200, k, 100));
        t->cellAt(0, k).setFormat(f);
        t->cellAt(0, k).firstCursorPosition().insertText(QString::number(k));
    }
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    t->cellAt(0, 0).lastCursorPosition().insertImage(picture);
    const QByteArray file = writeDoc(d);
    EXPECT_TRUE(CompoundFileReader(file).hasStream(QStringLiteral("Data")));
    const Document read = readDoc(file);
    int pictures = 0;
    for (QTextBlock b = read.text().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            pictures += it.fragment().charFormat().isImageFormat();
    EXPECT_EQ(pictures, 1);
    const QJsonObject back = tablesOf(read)[0].toObject();
    ASSERT_EQ(back[QStringLiteral("cells")].toArray().size(), 40);
    const QJsonObject last = cellOf(back, 0, 39);
    EXPECT_EQ(last[QStringLiteral("text")].toString(), QStringLiteral("39"));
    EXPECT_EQ(last[QStringLiteral("background")].toString(), QColor(200, 39, 100).name());
    EXPECT_EQ(last[QStringLiteral("borders")].toObject()[QStringLiteral("right")].toObject()[QStringLiteral("color")],
              QColor(10, 20, 39).name());
}

// LibreOffice ------------------------------------------------------------

namespace {

// A flat ODF document as LibreOffice wrote it: the nesting of its tables as
// text ("[[a|[[b]]]]": tables, rows in brackets, cells apart by bars) and the
// properties of its automatic styles by name.
struct OdfTables {
    QString nesting;
    QHash<QString, QHash<QString, QString>> styles;
    QStringList cellStyles; // in document order
};

OdfTables readOdf(const QString& xml)
{
    OdfTables out;
    QXmlStreamReader x(xml);
    QString style;
    std::vector<int> cellsInRow;
    while (!x.atEnd()) {
        x.readNext();
        const QStringView name = x.name();
        if (x.isStartElement()) {
            if (name == u"style") {
                style = x.attributes().value(QStringLiteral("style:name")).toString();
            } else if (name.endsWith(u"-properties") && !style.isEmpty()) {
                for (const auto& a : x.attributes())
                    out.styles[style][a.name().toString()] = a.value().toString();
            } else if (name == u"table" && x.namespaceUri().endsWith(u":table:1.0")) {
                out.nesting += QLatin1Char('[');
            } else if (name == u"table-row") {
                out.nesting += QLatin1Char('[');
                cellsInRow.push_back(0);
            } else if (name == u"table-cell") {
                if (cellsInRow.back()++ > 0)
                    out.nesting += QLatin1Char('|');
                out.cellStyles << x.attributes().value(QStringLiteral("table:style-name")).toString();
            } else if (name == u"p" && !cellsInRow.empty()) {
                out.nesting += x.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (x.isEndElement()) {
            if (name == u"table" && x.namespaceUri().endsWith(u":table:1.0"))
                out.nesting += QLatin1Char(']');
            else if (name == u"table-row") {
                out.nesting += QLatin1Char(']');
                cellsInRow.pop_back();
            }
        }
    }
    return out;
}

} // namespace

TEST(TablesInLibreOffice, ReadsNestingAndPropertiesAsWritten)
{
    Document nested;
    {
        QTextCursor c(&nested.text());
        QTextTable* t = c.insertTable(1, 2);
        t->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("a"));
        QTextCursor in = t->cellAt(0, 1).firstCursorPosition();
        in.insertText(QStringLiteral("b"));
        in.insertBlock();
        QTextTable* inner = in.insertTable(1, 2);
        inner->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("c"));
        inner->cellAt(0, 1).firstCursorPosition().insertTable(1, 1)->cellAt(0, 0).firstCursorPosition().insertText(
            QStringLiteral("d"));
    }
    Document wide;
    {
        QTextTable* t = QTextCursor(&wide.text()).insertTable(1, 40);
        for (int k = 0; k < 40; ++k) {
            QTextTableCellFormat f = bordered(1, QTextFrameFormat::BorderStyle_Solid, QColor(10, 20, 30));
            f.setBackground(QColor(200, 100, 50));
            t->cellAt(0, k).setFormat(f);
            t->cellAt(0, k).firstCursorPosition().insertText(QString::number(k));
        }
    }
    const auto converted = test::libreOfficeConversions({{QStringLiteral("nested"), writeDoc(nested)},
                                                         {QStringLiteral("formatted"), writeDoc(formattedTable())},
                                                         {QStringLiteral("wide"), writeDoc(wide)}},
                                                        QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    auto odf = [&](const char* name) { return readOdf(converted->value(QLatin1String(name))); };

    EXPECT_EQ(odf("nested").nesting, QStringLiteral("[[a|b[[c|[[d]]]]]]"));

    const OdfTables f = odf("formatted");
    ASSERT_EQ(f.cellStyles.size(), 6);
    const auto a = f.styles.value(f.cellStyles[0]);
    EXPECT_EQ(a.value(QStringLiteral("background-color")), QStringLiteral("#c0ffee"));
    EXPECT_EQ(a.value(QStringLiteral("vertical-align")), QStringLiteral("middle"));
    EXPECT_TRUE(a.value(QStringLiteral("border-top")).endsWith(QStringLiteral("double #123456")))
        << a.value(QStringLiteral("border-top")).toStdString();
    EXPECT_TRUE(a.value(QStringLiteral("border-left")).endsWith(QStringLiteral("dotted #ff0000")))
        << a.value(QStringLiteral("border-left")).toStdString();
    bool exactRow = false, centred = false;
    for (const auto& props : f.styles) {
        exactRow |= props.value(QStringLiteral("row-height")).startsWith(QStringLiteral("0.393")); // 1 cm
        centred |= props.value(QStringLiteral("align")) == QStringLiteral("center");
    }
    EXPECT_TRUE(exactRow);
    EXPECT_TRUE(centred);

    const OdfTables w = odf("wide");
    ASSERT_EQ(w.cellStyles.size(), 40);
    EXPECT_TRUE(w.nesting.endsWith(QStringLiteral("|38|39]]")));
    EXPECT_EQ(w.styles.value(w.cellStyles[39]).value(QStringLiteral("background-color")), QStringLiteral("#c86432"));
}

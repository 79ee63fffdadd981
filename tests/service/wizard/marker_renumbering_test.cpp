// The import's progress figures and the rewriting of the marker numbers of
// copied templates.

#include "service/department_import.h"
#include "templates/markers.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace talvora::service {
namespace {

TEST(ImportPercent, RoundsHalvesToTheEvenNeighbour)
{
    QList<int> eight;
    for (int i = 1; i <= 8; ++i)
        eight << importPercent(i, 8);
    EXPECT_EQ(eight, (QList<int>{12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(importPercent(1, 3), 33);
    EXPECT_EQ(importPercent(2, 3), 67);
    EXPECT_EQ(importPercent(1, 40), 2);  // 2.5
    EXPECT_EQ(importPercent(3, 40), 8);  // 7.5
    EXPECT_EQ(importPercent(1, 200), 0); // 0.5
    EXPECT_EQ(importPercent(3, 200), 2); // 1.5
    EXPECT_EQ(importPercent(1, 1), 100);
    EXPECT_EQ(importPercent(0, 0), 0);
    EXPECT_EQ(importPercent(70000, 70000), 100);
}

QStringList paragraphs(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

void fill(QTextDocument& doc, const QStringList& lines)
{
    QTextCursor c(&doc);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            c.insertBlock();
        c.insertText(lines[i]);
    }
}

MarkerKeys keys()
{
    MarkerKeys k;
    k.types = {{3, 40}, {35, 99}};
    k.templates = {{5, 1234}, {12, 7}, {99999, 123456}};
    return k;
}

TEST(MarkerRenumbering, RewritesTypeAndTemplateNumbersAndNothingElse)
{
    QTextDocument doc;
    fill(doc, {QStringLiteral("Шапка: <!shabl_5> и <!shabl_12>, снова <!shabl_5>"),
               QStringLiteral("<!grp_3><!fld_3><!trt_3><!grp_9>"),
               QStringLiteral("<!shabl_99999> и <!shabl_4>"),
               QStringLiteral("<!grp_3") + QChar::LineSeparator + QStringLiteral("5>"),
               QStringLiteral("<!grp_ 3 > и <!grp_> и <!grp_3")});
    EXPECT_EQ(renumberMarkers(doc, keys()), 8);
    EXPECT_EQ(paragraphs(doc),
              (QStringList{QStringLiteral("Шапка: <!shabl_1234> и <!shabl_7>, снова <!shabl_1234>"),
                           QStringLiteral("<!grp_40><!fld_3><!trt_3><!grp_9>"),
                           QStringLiteral("<!shabl_123456> и <!shabl_4>"),
                           // A line break ends what is read of a marker, as in the assembly.
                           QStringLiteral("<!grp_40") + QChar::LineSeparator + QStringLiteral("5>"),
                           QStringLiteral("<!grp_40> и <!grp_> и <!grp_40")}));

    // A number too long for the marker's span is still read whole, and
    // rewritten back.
    MarkerKeys back;
    back.templates = {{123456, 5}};
    QTextDocument again;
    fill(again, {QStringLiteral("<!shabl_123456>")});
    EXPECT_EQ(renumberMarkers(again, back), 1);
    EXPECT_EQ(paragraphs(again), QStringList{QStringLiteral("<!shabl_5>")});
    const templates::MarkerReading r = templates::readMarkerText(QStringLiteral("<!shabl_5>"));
    EXPECT_EQ(r.number, 5);
}

TEST(MarkerRenumbering, DigitsKeepTheirFormatAndTablesAndHeadersAreRewritten)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Итог: <!grp_"), plain);
    c.insertText(QStringLiteral("3"), bold);
    c.insertText(QStringLiteral(">"), plain);
    c.insertBlock();
    QTextTable* table = c.insertTable(1, 2);
    QTextCursor cell = table->cellAt(0, 1).firstCursorPosition();
    cell.insertText(QStringLiteral("<!shabl_12>"));
    doc.header = std::make_unique<QTextDocument>();
    QTextCursor(doc.header.get()).insertText(QStringLiteral("<!shabl_5>"));
    doc.laterSections.emplace_back();
    doc.laterSections.back().footer = std::make_unique<QTextDocument>();
    QTextCursor(doc.laterSections.back().footer.get()).insertText(QStringLiteral("<!grp_35>"));

    EXPECT_EQ(renumberMarkers(doc, keys()), 4);
    const QTextBlock first = doc.text().begin();
    EXPECT_EQ(first.text(), QStringLiteral("Итог: <!grp_40>"));
    bool digitsBold = false;
    for (auto it = first.begin(); !it.atEnd(); ++it)
        if (it.fragment().text() == QStringLiteral("40"))
            digitsBold = it.fragment().charFormat().fontWeight() == QFont::Bold;
    EXPECT_TRUE(digitsBold);
    EXPECT_EQ(paragraphs(*doc.header), QStringList{QStringLiteral("<!shabl_1234>")});
    EXPECT_EQ(paragraphs(*doc.laterSections.back().footer), QStringList{QStringLiteral("<!grp_99>")});
    EXPECT_TRUE(word::plainText(doc).contains(QStringLiteral("<!shabl_7>")));
}

TEST(MarkerRenumbering, ABlobIsRewrittenOnlyWhenAMarkerNeedsIt)
{
    word::Document doc;
    QTextCursor(&doc.text()).insertText(QStringLiteral("Анализы: <!grp_3>, шапка <!shabl_12>"));
    const QByteArray blob = word::blobFromDocument(doc);
    const auto rewritten = renumberTemplateMarkers(blob, keys());
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(word::plainText(word::documentFromBlob(*rewritten)),
              QStringLiteral("Анализы: <!grp_40>, шапка <!shabl_7>\n"));

    word::Document other;
    QTextCursor(&other.text()).insertText(QStringLiteral("<!fld_3> <!grp_77> <!trt_1>"));
    EXPECT_FALSE(renumberTemplateMarkers(word::blobFromDocument(other), keys()));
    EXPECT_FALSE(renumberTemplateMarkers(blob, MarkerKeys{}));
    // What is no document is copied as it is.
    EXPECT_FALSE(renumberTemplateMarkers(QByteArray("BDOC-not-a-document"), keys()));
    EXPECT_FALSE(renumberTemplateMarkers(QByteArray(), keys()));
}

} // namespace
} // namespace talvora::service

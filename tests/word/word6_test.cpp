// Word 6.0/95 documents: built here as Word 6.0 and 95 store them, read into
// the model, written back as Word 97 and read again.

#include "test_support.h"
#include "word6_builder.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"

#include "common/errors.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

std::vector<Word6Paragraph> russianLetter()
{
    return {
        {{{QStringLiteral("Выписной эпикриз"), {}}}, w6::align(1), 1},
        {{{QStringLiteral("Пациент: "), {}}, {QStringLiteral("Иванов Пётр"), w6::bold()},
          {QStringLiteral(", 1950 г.р., "), {}}, {QStringLiteral("палата №5"), w6::italic() + w6::underline()}},
         w6::leftIndent(720) + w6::firstLine(360)},
        {{{QStringLiteral("Диагноз: "), w6::font(1) + w6::size(28)}, {QStringLiteral("ишемический инсульт «ЛСМА»"), {}}},
         w6::align(3) + w6::rightIndent(567)},
        {{{QStringLiteral("Ёлка — ёж"), w6::bold() + w6::raised(6)}}, w6::align(2)},
        {{{QStringLiteral("Подпись"), {}}}, {}},
    };
}

QTextCharFormat formatAt(const Document& doc, const QString& word)
{
    const QTextCursor c = doc.text().find(word);
    EXPECT_FALSE(c.isNull()) << word.toStdString();
    QTextCursor at(c);
    at.setPosition(c.selectionStart() + 1);
    return at.charFormat();
}

} // namespace

TEST(Word6, RussianDocumentWithFormatting)
{
    for (bool pieceTable : {true, false}) {
        SCOPED_TRACE(pieceTable ? "fast-saved" : "saved whole");
        Word6Options o;
        o.pieceTable = pieceTable;
        const Document doc = readDoc(buildWord6Doc(russianLetter(), o));
        EXPECT_EQ(plainText(doc), QStringLiteral("Выписной эпикриз\nПациент: Иванов Пётр, 1950 г.р., палата №5\n"
                                                 "Диагноз: ишемический инсульт «ЛСМА»\nЁлка — ёж\n"));
        EXPECT_EQ(doc.text().findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(doc.text().findBlockByNumber(0).blockFormat().headingLevel(), 1);
        EXPECT_TRUE(formatAt(doc, QStringLiteral("Выписной")).font().bold()); // from the heading style
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Выписной")).fontPointSize(), 16);
        EXPECT_TRUE(formatAt(doc, QStringLiteral("Иванов")).font().bold());
        EXPECT_FALSE(formatAt(doc, QStringLiteral("Пациент")).font().bold());
        EXPECT_TRUE(formatAt(doc, QStringLiteral("палата")).font().italic());
        EXPECT_TRUE(formatAt(doc, QStringLiteral("палата")).font().underline());
        EXPECT_FALSE(formatAt(doc, QStringLiteral("Иванов")).font().italic());
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Пациент")).fontPointSize(), 12);
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Диагноз")).fontPointSize(), 14);
        EXPECT_EQ(formatAt(doc, QStringLiteral("Диагноз")).fontFamilies().toStringList(), QStringList{"Arial"});
        EXPECT_EQ(formatAt(doc, QStringLiteral("ишемический")).fontFamilies().toStringList(),
                  QStringList{"Times New Roman"});
        const QTextBlockFormat second = doc.text().findBlockByNumber(1).blockFormat();
        EXPECT_NEAR(second.leftMargin(), 36, 0.01);
        EXPECT_NEAR(second.textIndent(), 18, 0.01);
        const QTextBlockFormat third = doc.text().findBlockByNumber(2).blockFormat();
        EXPECT_EQ(third.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
        EXPECT_NEAR(third.rightMargin(), 567 / 20.0, 0.01);
        EXPECT_EQ(doc.text().findBlockByNumber(3).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    }
}

TEST(Word6, DISABLED_Dump)
{
    Word6Options o;
    o.pieceTable = qEnvironmentVariableIsSet("W6_PIECES");
    QFile f("/tmp/w6probe.doc");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(buildWord6Doc(russianLetter(), o));
}

// List numbering as Word does it: lists of one definition count together,
// whichever list instance a paragraph names; an instance that sets a start
// for a level restarts that level only.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_reader_file.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/fib.h"
#include "word/text_formats.h"

#include <cstring>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

ListLevel level(int depth)
{
    // "1." on the top level, "1.1" below it.
    ListLevel l;
    for (int k = 0; k <= depth; ++k) {
        if (k)
            l.text += QLatin1Char('.');
        l.text += QChar(char16_t(k));
    }
    if (depth == 0)
        l.text += QLatin1Char('.');
    return l;
}

// Adds a paragraph: to `list` when given, else to a new list of `format`.
QTextList* item(QTextCursor& c, const QString& text, QTextList* list, const QTextListFormat& format = {})
{
    if (!c.block().text().isEmpty() || c.block().textList())
        c.insertBlock(QTextBlockFormat());
    c.insertText(text);
    if (list) {
        list->add(c.block());
        return list;
    }
    return c.createList(format);
}

// The paragraphs as plain text shows them, numbers first.
QStringList lines(const Document& doc)
{
    QStringList out = plainText(doc).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& l : out)
        l = l.trimmed();
    return out;
}

// Two Word lists: the headings of a summary, then the sections of its
// second heading numbered by a list of their own.
Document twoLists()
{
    Document doc;
    QTextCursor c(&doc.text());
    QTextList* top = item(c, QStringLiteral("Анамнез"), nullptr, toListFormat(1, 0, level(0)));
    item(c, QStringLiteral("Жалобы"), nullptr, toListFormat(1, 1, level(1)));
    item(c, QStringLiteral("Обследование"), top);
    QTextList* sections = item(c, QStringLiteral("Кровь"), nullptr, toListFormat(2, 1, level(1)));
    for (const char* s : {"Моча", "ЭКГ", "ЭЭГ", "МРТ"})
        item(c, QString::fromUtf8(s), sections);
    return doc;
}

// The same file with the second list instance made one more instance of
// the first list's definition, as Word writes a list continued elsewhere.
QByteArray continuedInAnotherInstance(const QByteArray& file)
{
    const auto [fcLfo, lcbLfo] = WordFile(file).fcLcb(fib::PlfLfo);
    return test::editStream(file, QStringLiteral("1Table"), [&](QByteArray& table) {
        EXPECT_GE(lcbLfo, 4u + 2 * 16u);
        EXPECT_EQ(le32(table.constData() + fcLfo), 2u);
        // The list id each instance names: the second takes the first's.
        std::memcpy(table.data() + fcLfo + 4 + 16, table.constData() + fcLfo + 4, 4);
    });
}

} // namespace

TEST(ListNumbering, AListContinuedInANewInstanceKeepsItsUpperLevel)
{
    const QByteArray written = writeDoc(twoLists());
    // Two lists of their own: the sections count under a first heading of their own.
    EXPECT_EQ(lines(readDoc(written)).mid(3, 2), (QStringList{QStringLiteral("1.1 Кровь"), QStringLiteral("1.2 Моча")}));

    const Document doc = readDoc(continuedInAnotherInstance(written));
    const QStringList expected = {QStringLiteral("1. Анамнез"), QStringLiteral("1.1 Жалобы"),
                                  QStringLiteral("2. Обследование"), QStringLiteral("2.1 Кровь"),
                                  QStringLiteral("2.2 Моча"), QStringLiteral("2.3 ЭКГ"),
                                  QStringLiteral("2.4 ЭЭГ"), QStringLiteral("2.5 МРТ")};
    EXPECT_EQ(lines(doc), expected);
    // Written again and read back: still one numbering.
    EXPECT_EQ(lines(readDoc(writeDoc(doc))), expected);
}

TEST(ListNumbering, AnInstanceThatRestartsALevelRestartsOnlyThatLevel)
{
    Document doc;
    QTextCursor c(&doc.text());
    QTextList* top = item(c, QStringLiteral("Первый"), nullptr, toListFormat(1, 0, level(0)));
    QTextList* sub = item(c, QStringLiteral("а"), nullptr, toListFormat(1, 1, level(1)));
    item(c, QStringLiteral("б"), sub);
    ListLevel again = level(1);
    again.start = 5;
    QTextListFormat restart = toListFormat(1, 1, again);
    restart.setProperty(ListRestartProperty, true);
    QTextList* restarted = item(c, QStringLiteral("в"), nullptr, restart);
    item(c, QStringLiteral("г"), restarted);
    item(c, QStringLiteral("Второй"), top);
    item(c, QStringLiteral("д"), nullptr, toListFormat(1, 1, level(1)));
    const QStringList expected = {QStringLiteral("1. Первый"), QStringLiteral("1.1 а"), QStringLiteral("1.2 б"),
                                  QStringLiteral("1.5 в"),     QStringLiteral("1.6 г"), QStringLiteral("2. Второй"),
                                  QStringLiteral("2.1 д")};
    EXPECT_EQ(lines(doc), expected);

    // Written as a second instance of the list with a start for the level.
    const QByteArray written = writeDoc(doc);
    const WordFile file(written);
    const auto [fcLfo, lcbLfo] = file.fcLcb(fib::PlfLfo);
    ASSERT_GE(lcbLfo, 4u);
    EXPECT_EQ(file.tableStream().u32(fcLfo), 2u);
    const Document read = readDoc(written);
    EXPECT_EQ(lines(read), expected);
    EXPECT_EQ(lines(readDoc(writeDoc(read))), expected);
}

TEST(ListNumbering, ALevelThatDoesNotRestartCountsOnUnderANewParent)
{
    // Level 2 goes on under each new heading; level 3 restarts only after
    // headings (level 1), not after items of level 2.
    Document doc;
    QTextCursor c(&doc.text());
    ListLevel second = level(1);
    second.restartLimit = 0;
    ListLevel third = level(2);
    third.restartLimit = 1;
    QTextList* top = item(c, QStringLiteral("A"), nullptr, toListFormat(1, 0, level(0)));
    QTextList* mid = item(c, QStringLiteral("a"), nullptr, toListFormat(1, 1, second));
    QTextList* low = item(c, QStringLiteral("i"), nullptr, toListFormat(1, 2, third));
    item(c, QStringLiteral("b"), mid);
    item(c, QStringLiteral("ii"), low);
    item(c, QStringLiteral("B"), top);
    item(c, QStringLiteral("c"), nullptr, toListFormat(1, 1, second));
    item(c, QStringLiteral("iii"), nullptr, toListFormat(1, 2, third));
    const QStringList expected = {QStringLiteral("1. A"),     QStringLiteral("1.1 a"), QStringLiteral("1.1.1 i"),
                                  QStringLiteral("1.2 b"),    QStringLiteral("1.2.2 ii"), QStringLiteral("2. B"),
                                  QStringLiteral("2.3 c"),    QStringLiteral("2.3.1 iii")};
    EXPECT_EQ(lines(doc), expected);
    // The levels keep the setting through the file.
    const Document read = readDoc(writeDoc(doc));
    EXPECT_EQ(lines(read), expected);
    EXPECT_EQ(lines(readDoc(writeDoc(read))), expected);
}

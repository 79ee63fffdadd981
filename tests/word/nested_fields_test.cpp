// Fields nested in another field's result — the links and page references
// of a table of contents, a reference inside a link or a condition — kept
// through reading, editing, copying and writing.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/field_ids.h"
#include "word/fields.h"
#include "word/marks.h"
#include "word/text_formats.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

size_t commonFields(const std::vector<FieldInfo>& open, const std::vector<FieldInfo>& chain)
{
    size_t k = 0;
    while (k < open.size() && k < chain.size() && open[k].id == chain[k].id && open[k].code == chain[k].code)
        ++k;
    return k;
}

// The story's text with its fields drawn as {code|result}, fields nested in
// a result inside it; each paragraph ends with "\n". A field goes on into
// the next paragraph as far as that paragraph's first run carries it.
QString fieldTree(const QTextDocument& doc)
{
    QString out;
    std::vector<FieldInfo> open;
    auto closeTo = [&](size_t keep) {
        for (; open.size() > keep; open.pop_back())
            out += QLatin1Char('}');
    };
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const std::vector<FieldInfo> chain = fieldChainOf(frag.charFormat());
            closeTo(commonFields(open, chain));
            for (size_t k = open.size(); k < chain.size(); ++k) {
                out += QLatin1Char('{') + readableFieldCode(chain[k].code).trimmed() + QLatin1Char('|');
                open.push_back(chain[k]);
            }
            out += frag.text().remove(QChar(kFieldPlaceholder));
        }
        const QTextBlock next = b.next();
        closeTo(next.isValid() && next.begin() != next.end()
                    ? commonFields(open, fieldChainOf(next.begin().fragment().charFormat()))
                    : 0);
        out += QLatin1Char('\n');
    }
    closeTo(0);
    return out;
}

// Every field (the outermost and the nested ones) with its code, once, in order of appearance.
struct SeenField {
    QString code;
    int id;
    size_t depth;
};
std::vector<SeenField> fieldsOf(const QTextDocument& doc)
{
    std::vector<SeenField> out;
    QSet<int> seen;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const std::vector<FieldInfo> chain = fieldChainOf(it.fragment().charFormat());
            for (size_t k = 0; k < chain.size(); ++k)
                if (!seen.contains(chain[k].id)) {
                    seen.insert(chain[k].id);
                    out.push_back({readableFieldCode(chain[k].code).trimmed(), chain[k].id, k});
                }
        }
    return out;
}

size_t deepestNesting(const QTextDocument& doc)
{
    size_t deepest = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            deepest = std::max(deepest, fieldChainOf(it.fragment().charFormat()).size());
    return deepest;
}

Document nestedFixture()
{
    return readDoc(test::readData(QStringLiteral("nested/nested_fields.doc")));
}

Document roundTrip(const Document& d)
{
    return readDoc(writeDoc(d));
}

FieldInfo field(const char16_t* code, int id, bool placeholder = false)
{
    FieldInfo f;
    f.code = QString::fromUtf16(code);
    f.id = id;
    f.placeholder = placeholder;
    return f;
}

// Text inside the fields of `chain`, outermost first.
void insertRun(QTextCursor& c, const QString& text, const std::vector<FieldInfo>& chain,
               const QStringList& bookmarks = {})
{
    QTextCharFormat f;
    if (!chain.empty()) {
        setField(f, chain.front());
        setNestedFields(f, std::vector<FieldInfo>(chain.begin() + 1, chain.end()));
    }
    if (!bookmarks.isEmpty())
        f.setProperty(BookmarksProperty, bookmarks);
    c.insertText(text, f);
    c.setCharFormat(QTextCharFormat());
}

const char16_t* const kHeadings[] = {u"Жалобы", u"Анамнез", u"Заключение"};

// A table of contents as Word makes it: each entry a link to its heading's
// bookmark holding the page reference; the headings follow.
void insertWordToc(QTextCursor& c, int firstId)
{
    const FieldInfo toc = field(u" TOC \\o \"1-3\" \\h \\z \\u ", firstId);
    for (int i = 0; i < 3; ++i) {
        const QString mark = QStringLiteral("_Toc10%1").arg(i + 1);
        const FieldInfo link{QStringLiteral(" HYPERLINK \\l \"%1\" ").arg(mark), firstId + 1 + 2 * i};
        const FieldInfo page{QStringLiteral(" PAGEREF %1 \\h ").arg(mark), firstId + 2 + 2 * i};
        insertRun(c, QString::fromUtf16(kHeadings[i]) + QStringLiteral("\t"), {toc, link});
        insertRun(c, QString::number(i + 1), {toc, link, page});
        c.insertBlock();
    }
}

// The Word-like table of contents, its headings, an IF whose result holds a
// reference, and a link holding a page reference with an empty result.
Document wordLikeDocument()
{
    Document d;
    QTextCursor c(&d.text());
    insertWordToc(c, 1);
    for (int i = 0; i < 3; ++i) {
        insertRun(c, QString::fromUtf16(kHeadings[i]), {}, {QStringLiteral("_Toc10%1").arg(i + 1)});
        c.insertBlock();
    }
    insertRun(c, QStringLiteral("Диагноз: "), {});
    insertRun(c, QStringLiteral("мигрень"), {}, {QStringLiteral("Diagnosis")});
    c.insertBlock();
    const FieldInfo cond = field(u" IF 1 = 1 \"да\" \"нет\" ", 20);
    insertRun(c, QStringLiteral("Итог: "), {cond});
    insertRun(c, QStringLiteral("мигрень"), {cond, field(u" REF Diagnosis \\h ", 21)});
    insertRun(c, QStringLiteral("."), {cond});
    c.insertBlock();
    const FieldInfo link = field(u" HYPERLINK \\l \"Diagnosis\" ", 30);
    insertRun(c, QStringLiteral("см. стр. "), {link});
    insertRun(c, QString(QChar(kFieldPlaceholder)), {link, field(u" PAGEREF Diagnosis \\h ", 31, true)});
    return d;
}

// The range of the characters that carry field `id`, outermost or nested.
std::pair<int, int> rangeOfField(const QTextDocument& doc, int id)
{
    int from = -1, to = -1;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            for (const FieldInfo& f : fieldChainOf(frag.charFormat()))
                if (f.id == id) {
                    if (from < 0)
                        from = frag.position();
                    to = frag.position() + frag.length();
                }
        }
    return {from, to};
}

int idOfField(const QTextDocument& doc, const QString& code)
{
    for (const SeenField& f : fieldsOf(doc))
        if (f.code == code)
            return f.id;
    return -1;
}

} // namespace

TEST(NestedFields, ReadFromLibreOfficesTableOfContents)
{
    Document d = nestedFixture();
    const QString tree = fieldTree(d.text());
    // The table of contents: three links in its result, one per paragraph.
    EXPECT_TRUE(tree.startsWith(QStringLiteral("{TOC \\f \\o \"1-1\"|"
                                               "{HYPERLINK  \\l \"__RefHeading___Toc101_1\"|Жалобы\t1}\n"
                                               "{HYPERLINK  \\l \"__RefHeading___Toc102_1\"|Анамнез\t1}\n"
                                               "{HYPERLINK  \\l \"__RefHeading___Toc103_1\"|Заключение\t2}}\n"
                                               "Жалобы\n")))
        << tree.toStdString();
    // A link to a web page is a field of its own, without nesting; a link
    // around a reference holds the reference.
    EXPECT_TRUE(tree.contains(QStringLiteral("Сайт отделения: {HYPERLINK \"https://neuro.example.org/\"|сайт неврологии} конец.\n")))
        << tree.toStdString();
    EXPECT_TRUE(tree.contains(QStringLiteral(
        "Ссылка на диагноз: {HYPERLINK  \\l \"Diagnosis\"|{REF Diagnosis \\h|Мигрень без ауры}}.\n")))
        << tree.toStdString();
    // The text reads as before, and every field has an id of its own.
    EXPECT_TRUE(plainText(d).startsWith(QStringLiteral("Жалобы\t1\nАнамнез\t1\nЗаключение\t2\n")));
    const std::vector<SeenField> fields = fieldsOf(d.text());
    ASSERT_EQ(fields.size(), 7u);
    QSet<int> ids;
    for (const SeenField& f : fields)
        ids.insert(f.id);
    EXPECT_EQ(ids.size(), 7);
    EXPECT_EQ(fields[1].depth, 1u);
    EXPECT_EQ(fields[6].depth, 1u); // the reference in the link

    // Callers that know only the outermost field still see it on the nested text.
    QTextCursor c(&d.text());
    c.setPosition(int(d.text().toPlainText().indexOf(QStringLiteral("Анамнез"))) + 1);
    ASSERT_TRUE(fieldOf(c.charFormat()));
    EXPECT_EQ(fieldKeyword(fieldOf(c.charFormat())->code), QStringLiteral("TOC"));
    EXPECT_EQ(fieldKeyword(innermostFieldOf(c.charFormat())->code), QStringLiteral("HYPERLINK"));

    // The document's description lists the nested fields of a run.
    EXPECT_TRUE(QJsonDocument(dumpDocument(d)).toJson().contains("\"nested\""));
}

TEST(NestedFields, WrittenAndReadAgainTheSame)
{
    for (const Document& d : {nestedFixture(), wordLikeDocument()}) {
        const QByteArray file = writeDoc(d);
        const Document back = readDoc(file);
        EXPECT_EQ(fieldTree(back.text()), fieldTree(d.text()));
        EXPECT_EQ(plainText(back), plainText(d));
        // And once more: nothing drifts.
        EXPECT_EQ(fieldTree(roundTrip(back).text()), fieldTree(d.text()));
    }
    const QString tree = fieldTree(roundTrip(wordLikeDocument()).text());
    EXPECT_TRUE(tree.startsWith(QStringLiteral("{TOC \\o \"1-3\" \\h \\z \\u|"
                                               "{HYPERLINK \\l \"_Toc101\"|Жалобы\t{PAGEREF _Toc101 \\h|1}}\n"
                                               "{HYPERLINK \\l \"_Toc102\"|Анамнез\t{PAGEREF _Toc102 \\h|2}}\n"
                                               "{HYPERLINK \\l \"_Toc103\"|Заключение\t{PAGEREF _Toc103 \\h|3}}}\n")))
        << tree.toStdString();
    EXPECT_TRUE(tree.contains(QStringLiteral("{IF 1 = 1 \"да\" \"нет\"|Итог: {REF Diagnosis \\h|мигрень}.}\n")))
        << tree.toStdString();
    // A nested field with an empty result stays, as a placeholder.
    EXPECT_TRUE(tree.endsWith(QStringLiteral("{HYPERLINK \\l \"Diagnosis\"|см. стр. {PAGEREF Diagnosis \\h|}}\n")))
        << tree.toStdString();
}

TEST(NestedFields, MarksWrittenInOrder)
{
    // One link holding a page reference inside a table of contents: begin,
    // code, separator, result with the inner fields, end — each field's
    // type with its begin mark, ends with their separator flag.
    Document d;
    QTextCursor c(&d.text());
    const FieldInfo toc = field(u" TOC \\h ", 1), link = field(u" HYPERLINK \\l \"_Toc1\" ", 2);
    insertRun(c, QStringLiteral("A\t"), {toc, link});
    insertRun(c, QStringLiteral("5"), {toc, link, field(u" PAGEREF _Toc1 \\h ", 3)});
    const QByteArray file = writeDoc(d);
    const QString stored = QString::fromUtf16(u"\x13 TOC \\h \x14\x13 HYPERLINK \\l \"_Toc1\" \x14"
                                              u"A\t\x13 PAGEREF _Toc1 \\h \x14" u"5\x15\x15\x15");
    const QByteArray word = CompoundFileReader(file).stream(QStringLiteral("WordDocument"));
    EXPECT_TRUE(word.contains(QByteArray(reinterpret_cast<const char*>(stored.utf16()), stored.size() * 2)));
    // Begin marks carry the types: TOC 13, HYPERLINK 88, PAGEREF 37.
    Document back = readDoc(file);
    const std::vector<SeenField> fields = fieldsOf(back.text());
    ASSERT_EQ(fields.size(), 3u);
    QTextCursor at(&back.text());
    at.setPosition(1);
    EXPECT_EQ(fieldChainOf(at.charFormat()).size(), 2u);
    at.setPosition(3);
    const std::vector<FieldInfo> chain = fieldChainOf(at.charFormat());
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[0].type, 13);
    EXPECT_EQ(chain[1].type, 88);
    EXPECT_EQ(chain[2].type, 37);
}

TEST(NestedFields, LibreOfficeSeesTheSameTableOfContents)
{
    const QByteArray theirs = test::readData(QStringLiteral("nested/nested_fields.doc"));
    const auto fodt = test::libreOfficeConversions({{QStringLiteral("theirs"), theirs},
                                                    {QStringLiteral("ours"), writeDoc(readDoc(theirs))},
                                                    {QStringLiteral("word"), writeDoc(wordLikeDocument())}},
                                                   QStringLiteral("fodt"));
    if (!fodt)
        GTEST_SKIP() << "LibreOffice is not installed";
    const auto all = [](const QString& xml, const QString& pattern) { return test::capturesOf(xml, pattern); };
    // The index's entries as text, each with its link.
    auto index = [&](const QString& xml) {
        const QString body = all(xml, QStringLiteral(R"x((?s)<text:index-body>(.*?)</text:index-body>)x")).value(0);
        QStringList entries;
        for (const QString& p : all(body, QStringLiteral(R"x((?s)<text:p[^>]*>(.*?)</text:p>)x"))) {
            QString entry = p;
            entry.replace(QStringLiteral("<text:tab/>"), QStringLiteral("\t"));
            const QString href = all(entry, QStringLiteral(R"x(xlink:href="([^"]*)")x")).value(0);
            entry.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            entries << href + QStringLiteral(" ") + entry;
        }
        return entries;
    };
    const QString ours = fodt->value(QStringLiteral("ours"));
    const QString original = fodt->value(QStringLiteral("theirs"));
    ASSERT_FALSE(ours.isEmpty());
    EXPECT_EQ(ours.count(QLatin1String("<text:table-of-content ")), 1);
    EXPECT_EQ(index(ours), index(original));
    EXPECT_EQ(index(ours).size(), 3);
    EXPECT_TRUE(index(ours).value(0).startsWith(QStringLiteral("#__RefHeading___Toc101_1 Жалобы\t1"))) << index(ours).join(QLatin1Char('|')).toStdString();
    // Every link, the headings' bookmarks they lead to, the reference.
    const QString href = QStringLiteral(R"x(xlink:href="([^"]*)")x");
    EXPECT_EQ(all(ours, href), all(original, href));
    const QString bookmark = QStringLiteral(R"x(<text:bookmark(?:-start)? text:name="([^"]*)")x");
    EXPECT_EQ(all(ours, bookmark), all(original, bookmark));
    const QString ref = QStringLiteral(R"x(<text:bookmark-ref [^>]*text:ref-name="([^"]*)")x");
    EXPECT_EQ(all(ours, ref), all(original, ref));

    // Word's kind, with page references: the same entries, each linking to
    // its heading's bookmark (which LibreOffice names in its own way).
    const QString wordXml = fodt->value(QStringLiteral("word"));
    const QStringList word = index(wordXml);
    const QStringList bookmarks = all(wordXml, bookmark);
    ASSERT_EQ(word.size(), 3) << wordXml.toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString entry = QStringLiteral("_Toc10%1 %2\t%1").arg(i + 1).arg(QString::fromUtf16(kHeadings[i]));
        EXPECT_TRUE(word[i].endsWith(entry)) << word[i].toStdString();
        const QString target = word[i].section(QLatin1Char(' '), 0, 0).mid(1);
        EXPECT_TRUE(bookmarks.contains(target)) << target.toStdString();
    }
}

TEST(NestedFields, DamagedMarksReadWithoutHarm)
{
    struct Case {
        const char16_t* stored;
        const char* text;
        const char* tree; // after writing and reading again
    };
    const Case cases[] = {
        // A nested link never ended, and the field around it neither: their
        // marks count for nothing, the codes show.
        {u"\x13 TOC \x14\x13 HYPERLINK a \x14x\x15\x13 HYPERLINK b \x14y\r", " TOC x HYPERLINK b y\n",
         " TOC {HYPERLINK a|x} HYPERLINK b y\n"},
        // Ends with nothing open inside and after a result.
        {u"\x13 TOC \x14" u"a\x15\x15" u"b\x15\r", "ab\n", "{TOC|a}b\n"},
        // A field without a result part inside a result.
        {u"\x13 TOC \x14" u"a\x13 SET x 1 \x15" u"b\x15\r", "ab\n", "{TOC|a{SET x 1|}b}\n"},
        // A second separator in a nested field: its text stays in the result.
        {u"\x13 A \x14\x13 B \x14x\x14y\x15\x15\r", "xy\n", "{A|{B|xy}}\n"},
        // A nested field whose code holds a field of its own.
        {u"\x13 A \x14\x13 B \x13 C \x14" u"c\x15 \x14" u"b\x15\x15\r", "b\n", "{A|{B { C }|b}}\n"},
    };
    for (const Case& k : cases) {
        const QString stored = QString::fromUtf16(k.stored);
        const Document d = readDoc(test::buildDoc({{stored, false, {}, {}}}));
        EXPECT_EQ(plainText(d), QString::fromUtf8(k.text)) << stored.toStdString();
        const Document back = roundTrip(d);
        EXPECT_EQ(plainText(back), plainText(d)) << stored.toStdString();
        EXPECT_EQ(fieldTree(back.text()), QString::fromUtf8(k.tree)) << stored.toStdString();
        EXPECT_EQ(fieldTree(back.text()), fieldTree(d.text())) << stored.toStdString();
    }

    // Results nested far deeper than kept: the text stays, the depth is
    // bounded, and what was read is written and read the same.
    QString deep;
    for (int i = 0; i < 5000; ++i)
        deep += QString::fromUtf16(u"\x13 IF \x14");
    deep += QStringLiteral("глубоко") + QString(5000, QChar(kFieldEnd)) + QStringLiteral("\r");
    QElapsedTimer timer;
    timer.start();
    const Document d = readDoc(test::buildDoc({{deep, false, {}, {}}}));
    EXPECT_EQ(plainText(d), QStringLiteral("глубоко\n"));
    EXPECT_EQ(deepestNesting(d.text()), kMaxFieldNesting);
    const Document back = roundTrip(d);
    EXPECT_EQ(fieldTree(back.text()), fieldTree(d.text()));
    EXPECT_LT(timer.elapsed(), 10000);

    // A format made by hand with a chain far too long is cut to the bound.
    QTextCharFormat f;
    setField(f, field(u" A ", 1));
    std::vector<FieldInfo> tooMany(200, field(u" B ", 2));
    setNestedFields(f, tooMany);
    EXPECT_EQ(fieldChainOf(f).size(), kMaxFieldNesting);
    f.setProperty(FieldNestingProperty, QVariantList{QStringLiteral("garbage"), 5});
    EXPECT_EQ(fieldChainOf(f).size(), 1u);
}

TEST(NestedFields, EditingInsideKeepsOrRemovesThem)
{
    // Typing inside a link's text keeps it in the link.
    {
        Document d = wordLikeDocument();
        QTextCursor c(&d.text());
        c.setPosition(int(d.text().toPlainText().indexOf(QStringLiteral("Анамнез"))) + 3);
        c.insertText(QStringLiteral("X"));
        EXPECT_TRUE(fieldTree(roundTrip(d).text()).contains(
            QStringLiteral("{HYPERLINK \\l \"_Toc102\"|АнаXмнез\t{PAGEREF _Toc102 \\h|2}}\n")));
    }
    // Deleting a whole entry removes its link and page reference; the
    // table of contents keeps the others.
    {
        Document d = wordLikeDocument();
        QTextCursor c(&d.text());
        c.setPosition(d.text().findBlockByNumber(1).position());
        c.setPosition(d.text().findBlockByNumber(2).position(), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        const Document back = roundTrip(d);
        const QString tree = fieldTree(back.text());
        EXPECT_TRUE(tree.startsWith(QStringLiteral("{TOC \\o \"1-3\" \\h \\z \\u|"
                                                   "{HYPERLINK \\l \"_Toc101\"|Жалобы\t{PAGEREF _Toc101 \\h|1}}\n"
                                                   "{HYPERLINK \\l \"_Toc103\"|Заключение\t{PAGEREF _Toc103 \\h|3}}}\n")))
            << tree.toStdString();
        EXPECT_EQ(idOfField(back.text(), QStringLiteral("HYPERLINK \\l \"_Toc102\"")), -1);
    }
    // Deleting a page reference's number removes the reference, not the link.
    {
        Document d = wordLikeDocument();
        const auto [from, to] = rangeOfField(d.text(), idOfField(d.text(), QStringLiteral("PAGEREF _Toc103 \\h")));
        ASSERT_GE(from, 0);
        QTextCursor c(&d.text());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        EXPECT_TRUE(fieldTree(roundTrip(d).text()).contains(QStringLiteral("{HYPERLINK \\l \"_Toc103\"|Заключение\t}}\n")));
    }
    // Replacing a nested field's whole text keeps the field when the new
    // text takes its format, as typing over a selection does.
    {
        Document d = wordLikeDocument();
        const auto [from, to] = rangeOfField(d.text(), 21); // the reference in the condition
        QTextCursor c(&d.text());
        c.setPosition(from + 1);
        const QTextCharFormat inside = c.charFormat();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        c.insertText(QStringLiteral("эпилепсия"), inside);
        EXPECT_TRUE(fieldTree(roundTrip(d).text()).contains(QStringLiteral("{REF Diagnosis \\h|эпилепсия}")));
    }
}

TEST(NestedFields, CopiesGetIdsOfTheirOwn)
{
    // The same table of contents pasted twice, one after the other: two
    // tables of contents, not one with six entries.
    Document source;
    QTextCursor s(&source.text());
    insertWordToc(s, 1);
    QTextCursor all(&source.text());
    all.select(QTextCursor::Document);
    const QTextDocumentFragment copy(all);

    Document target;
    QTextCursor c(&target.text());
    insertRun(c, QStringLiteral("Оглавление"), {});
    c.insertBlock();
    for (int k = 0; k < 2; ++k) {
        const int from = c.position();
        c.insertFragment(copy);
        separateFieldIds(target.text(), from, c.position());
    }
    const Document back = roundTrip(target);
    std::vector<SeenField> fields = fieldsOf(back.text());
    EXPECT_EQ(std::count_if(fields.begin(), fields.end(), [](const SeenField& f) { return f.code.startsWith(QLatin1String("TOC")); }), 2);
    EXPECT_EQ(fields.size(), 14u);
    // Each field of the copy is renumbered once, all its runs alike.
    fields = fieldsOf(target.text());
    QSet<int> ids;
    for (const SeenField& f : fields)
        ids.insert(f.id);
    EXPECT_EQ(ids.size(), 14);
    EXPECT_EQ(fieldTree(back.text()).count(QStringLiteral("{TOC")), 2);

    // Content whose ids the rest of the document does not use keeps them.
    Document alone;
    QTextCursor a(&alone.text());
    a.insertFragment(copy);
    separateFieldIds(alone.text(), 0, a.position());
    EXPECT_EQ(idOfField(alone.text(), QStringLiteral("PAGEREF _Toc103 \\h")), 7);
}

TEST(NestedFields, PageNumbersInsideAnotherFieldAreFilledIn)
{
    Document d;
    QTextCursor c(&d.text());
    const FieldInfo cond = field(u" IF 1 = 1 \"x\" ", 1);
    insertRun(c, QStringLiteral("стр. "), {cond});
    insertRun(c, QStringLiteral("1"), {cond, field(u" PAGE \\* ROMAN ", 2)});
    insertRun(c, QStringLiteral(" из "), {});
    insertRun(c, QString(QChar(kFieldPlaceholder)), {cond, field(u" NUMPAGES ", 3, true)});
    setPageFieldResults(d.text(), 4, 9);
    EXPECT_EQ(d.text().toPlainText(), QStringLiteral("стр. IV из 9"));
    // The numbers stay the nested fields' results.
    EXPECT_EQ(fieldTree(roundTrip(d).text()), QStringLiteral("{IF 1 = 1 \"x\"|стр. {PAGE \\* ROMAN|IV}} из {IF 1 = 1 \"x\"|{NUMPAGES|9}}\n"));
}

// Printing documents of several sections: each page with the headers and
// footers of its section, first and even pages with their own, blank pages
// before sections that start on an even or odd page.

#include "view_test_support.h"

#include "word/view/document_printing.h"

#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>

using namespace talvora::word;
using namespace talvora::word::test;

namespace {

std::unique_ptr<QTextDocument> storyOf(const QString& text)
{
    auto story = std::make_unique<QTextDocument>();
    QTextCursor(story.get()).insertText(text);
    return story;
}

// Appends a section of `lines` lines that starts as `start` says.
void addSection(Document& doc, SectionStart start, int lines, const QString& name)
{
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat first;
    first.setProperty(SectionStartProperty, int(doc.laterSections.size()) + 1);
    if (startsNewPage(start))
        first.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(first);
    c.insertText(name);
    for (int i = 1; i < lines; ++i) {
        c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("%1, строка %2").arg(name).arg(i));
    }
    Section s;
    s.page.start = start;
    doc.laterSections.push_back(std::move(s));
}

QString headerText(const PrintedPages& pages, int page)
{
    const auto header = pages.headerOf(page);
    return header ? header->toPlainText() : QStringLiteral("<none>");
}

} // namespace

TEST(SectionPrinting, EachPageShowsTheHeadersOfItsSection)
{
    Document doc = docOf({QStringLiteral("Первый раздел")});
    doc.page.titlePage = true;
    doc.oddAndEvenHeaders = true;
    doc.header = storyOf(QStringLiteral("нечётная"));
    doc.evenHeader = storyOf(QStringLiteral("чётная"));
    doc.firstHeader = storyOf(QStringLiteral("титул"));
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    for (int i = 0; i < 120; ++i)
        c.insertText(QStringLiteral("\nСтрока %1").arg(i));
    addSection(doc, SectionStart::NewPage, 3, QStringLiteral("Анализы"));
    doc.laterSections[0].header = storyOf(QStringLiteral("анализы"));
    // A continuous section: its header begins on the page after the one it starts on.
    addSection(doc, SectionStart::Continuous, 120, QStringLiteral("Рекомендации"));
    doc.laterSections[1].header = storyOf(QStringLiteral("рекомендации"));

    QImage canvas(800, 1130, QImage::Format_RGB32);
    const PrintedPages pages(doc, canvas);
    ASSERT_GE(pages.pageCount(), 5);
    EXPECT_EQ(headerText(pages, 1), QStringLiteral("титул"));
    EXPECT_EQ(headerText(pages, 2), QStringLiteral("чётная"));
    int analyses = 0;
    for (int p = 1; p <= pages.pageCount() && !analyses; ++p)
        if (pages.sectionOf(p) == 1)
            analyses = p;
    ASSERT_GT(analyses, 2);
    // The first section's pages go on odd, even, odd…
    for (int p = 2; p < analyses; ++p)
        EXPECT_EQ(headerText(pages, p), p % 2 ? QStringLiteral("нечётная") : QStringLiteral("чётная")) << p;
    // The second section has no header for even pages: it goes on with the first section's.
    EXPECT_EQ(headerText(pages, analyses), analyses % 2 ? QStringLiteral("анализы") : QStringLiteral("чётная"));
    // The continuous section starts on the analyses' page, which keeps their header.
    EXPECT_EQ(pages.sectionOf(analyses + 1), 2u);
    EXPECT_EQ(headerText(pages, analyses + 1), (analyses + 1) % 2 ? QStringLiteral("рекомендации") : QStringLiteral("чётная"));
    EXPECT_EQ(pages.sectionOf(pages.pageCount()), 2u);
    for (int p = 1; p <= pages.pageCount(); ++p)
        EXPECT_FALSE(pages.isBlank(p)) << p;
}

TEST(SectionPrinting, EvenAndOddPageSectionsGetABlankPageWhereNeeded)
{
    Document doc = docOf({QStringLiteral("Первая страница")});
    doc.header = storyOf(QStringLiteral("раздел 0"));
    addSection(doc, SectionStart::EvenPage, 1, QStringLiteral("С чётной")); // page 2: no blank page
    addSection(doc, SectionStart::EvenPage, 1, QStringLiteral("Снова с чётной")); // page 3 would be odd
    addSection(doc, SectionStart::OddPage, 1, QStringLiteral("С нечётной")); // page 5: no blank page
    addSection(doc, SectionStart::OddPage, 1, QStringLiteral("Снова с нечётной")); // page 6 would be even
    for (size_t k = 0; k < doc.laterSections.size(); ++k)
        doc.laterSections[k].header = storyOf(QStringLiteral("раздел %1").arg(k + 1));

    QImage canvas(800, 1130, QImage::Format_RGB32);
    const PrintedPages pages(doc, canvas);
    ASSERT_EQ(pages.pageCount(), 7);
    const std::vector<bool> blank{false, false, true, false, false, true, false};
    const std::vector<size_t> sections{0, 1, 1, 2, 3, 3, 4};
    for (int p = 1; p <= 7; ++p) {
        EXPECT_EQ(pages.isBlank(p), blank[size_t(p - 1)]) << p;
        EXPECT_EQ(pages.sectionOf(p), sections[size_t(p - 1)]) << p;
        EXPECT_EQ(headerText(pages, p), QStringLiteral("раздел %1").arg(sections[size_t(p - 1)])) << p;
    }
    // A blank page prints its header and no text.
    QImage page(canvas.size(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    pages.paint(painter, 3);
    painter.end();
    int dark = 0;
    for (int y = int(pages.bodyRect().top()); y < int(pages.bodyRect().bottom()); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += qGray(page.pixel(x, y)) < 128;
    EXPECT_EQ(dark, 0);
}

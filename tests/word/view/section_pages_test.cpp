// Sections printed on their own paper: a landscape section between portrait
// ones, a section with other margins, sections in columns, page numbers and
// headers running on across them, and what damaged page set-ups do.

#include "view_test_support.h"

#include "word/view/document_printing.h"
#include "word/view/document_view.h"
#include "word/view/page_view.h"

#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

using namespace talvora::word;
using namespace talvora::word::test;

namespace {

constexpr int kA4Width = 11906;
constexpr int kA4Height = 16838;

std::unique_ptr<QTextDocument> storyOf(const QString& text)
{
    auto story = std::make_unique<QTextDocument>();
    QTextCursor(story.get()).insertText(text);
    return story;
}

// The page sizes of a PDF file in points, in page order.
std::vector<QSizeF> mediaBoxes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString pdf = QString::fromLatin1(f.readAll());
    static const QRegularExpression box(
        QStringLiteral(R"(/MediaBox\s*\[\s*([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s*\])"));
    std::vector<QSizeF> sizes;
    for (auto it = box.globalMatch(pdf); it.hasNext();) {
        const auto m = it.next();
        sizes.emplace_back(m.captured(3).toDouble() - m.captured(1).toDouble(),
                           m.captured(4).toDouble() - m.captured(2).toDouble());
    }
    return sizes;
}

// Page `page` painted on an image of its paper, at the canvas's resolution.
QImage paintedPage(const PrintedPages& pages, int page)
{
    const QRectF paper = pages.paperRect(page);
    QImage image(int(paper.width()) + 1, int(paper.height()) + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    pages.paint(painter, page);
    painter.end();
    return image;
}

// Dark pixels in a rectangle of the image.
int inkIn(const QImage& image, const QRectF& area)
{
    const QRect r = area.toAlignedRect().intersected(image.rect());
    int dark = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

int positionOf(const Document& doc, const QString& text)
{
    const QTextCursor found = doc.text().find(text, 0, QTextDocument::FindCaseSensitively);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    return found.isNull() ? -1 : found.selectionStart();
}

// A 96 dpi canvas: twips convert to pixels as 96 / 1440.
QImage canvas96()
{
    QImage canvas(100, 100, QImage::Format_RGB32);
    canvas.setDotsPerMeterX(int(96 / 0.0254));
    canvas.setDotsPerMeterY(int(96 / 0.0254));
    return canvas;
}

double px(int twips) { return twips * 96 / 1440.0; }

void addLines(QTextCursor& c, const QString& name, int lines)
{
    for (int i = 1; i <= lines; ++i) {
        c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("%1, строка %2").arg(name).arg(i));
    }
}

// Appends a section that starts on a new page (or as `start` says) with its page set-up.
void addSection(Document& doc, const PageSetup& page, const QString& name, int lines)
{
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat first;
    first.setProperty(SectionStartProperty, int(doc.laterSections.size()) + 1);
    if (startsNewPage(page.start))
        first.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(first);
    c.insertText(name);
    addLines(c, name, lines);
    Section s;
    s.page = page;
    doc.laterSections.push_back(std::move(s));
}

PageSetup landscapeA4()
{
    PageSetup page;
    page.pageWidth = kA4Height;
    page.pageHeight = kA4Width;
    page.landscape = true;
    return page;
}

} // namespace

// The document LibreOffice made: portrait A4, a landscape A4 section with a
// wide table of results, then portrait again with other margins.
class SectionPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = readDocument(readData(QStringLiteral("pages/section_pages.doc")));
        ASSERT_EQ(doc.laterSections.size(), 2u);
    }
    Document doc;
};

TEST_F(SectionPages, ThePdfHasEachPageOnThePaperOfItsSection)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    writePdf(doc, path);
    const std::vector<QSizeF> boxes = mediaBoxes(path);
    // As LibreOffice prints it: two portrait pages, the table on a landscape one, a portrait one.
    ASSERT_EQ(boxes.size(), 4u);
    const double a4w = kA4Width / 20.0;
    const double a4h = kA4Height / 20.0;
    for (size_t p : {0u, 1u, 3u}) {
        EXPECT_NEAR(boxes[p].width(), a4w, 1) << p;
        EXPECT_NEAR(boxes[p].height(), a4h, 1) << p;
    }
    EXPECT_NEAR(boxes[2].width(), a4h, 1);
    EXPECT_NEAR(boxes[2].height(), a4w, 1);

    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    EXPECT_EQ(pages.pageCount(), 4);
}

TEST_F(SectionPages, TheWideTablePrintsWholeOnTheLandscapePage)
{
    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_EQ(pages.pageCount(), 4);
    const int tablePage = pages.pageOfPosition(positionOf(doc, QStringLiteral("Заключение")));
    ASSERT_EQ(tablePage, 3);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Холестерин"))), 3);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("ШИРОКАЯТАБЛИЦА"))), 3);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Строка первого раздела 1:"))), 1);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Рекомендация 5"))), 4);
    EXPECT_EQ(pages.sectionOf(3), 1u);

    EXPECT_TRUE(pages.pageSetupOf(3).pageWidth > pages.pageSetupOf(3).pageHeight);
    EXPECT_NEAR(pages.paperRect(3).width(), px(kA4Height), 1);
    EXPECT_NEAR(pages.paperRect(3).height(), px(kA4Width), 1);
    // The text area is as wide as the landscape page allows (2 cm margins)…
    EXPECT_NEAR(pages.bodyRect(3).left(), 2 / 2.54 * 96, 1);
    EXPECT_NEAR(pages.bodyRect(3).width(), 25.7 / 2.54 * 96, 1.5);
    // …and the table's right part, past where the portrait text area ends, is printed.
    const QImage page = paintedPage(pages, 3);
    const double portraitRight = pages.bodyRect(3).left() + pages.bodyRect(1).width();
    const QRectF pastPortrait(portraitRight, pages.bodyRect(3).top(), pages.bodyRect(3).right() - portraitRight,
                              pages.bodyRect(3).height());
    EXPECT_GT(inkIn(page, pastPortrait), 100);
}

TEST_F(SectionPages, ASectionWithOtherMarginsPrintsWithItsOwn)
{
    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_EQ(pages.pageCount(), 4);
    // The first section: 3 cm left, 2 cm top; the last: 6 cm left, 4 cm top, 1 cm right.
    EXPECT_NEAR(pages.bodyRect(1).left(), 3 / 2.54 * 96, 1);
    EXPECT_NEAR(pages.bodyRect(4).left(), 6 / 2.54 * 96, 1);
    EXPECT_GE(pages.bodyRect(4).top(), 4 / 2.54 * 96 - 1);
    EXPECT_NEAR(pages.bodyRect(4).right(), (21 - 1) / 2.54 * 96, 1.5);

    const QImage first = paintedPage(pages, 1);
    const QImage last = paintedPage(pages, 4);
    // Between 3 and 6 cm from the left edge the first section has text, the last none.
    const QRectF strip(3.2 / 2.54 * 96, pages.bodyRect(4).top(), 2.6 / 2.54 * 96, pages.bodyRect(4).height());
    EXPECT_GT(inkIn(first, strip), 100);
    EXPECT_EQ(inkIn(last, strip), 0);
    EXPECT_GT(inkIn(last, pages.bodyRect(4)), 100);
}

TEST_F(SectionPages, PageNumbersRunOnAndEachSectionKeepsItsHeader)
{
    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_EQ(pages.pageCount(), 4);
    const QStringList headers{QStringLiteral("Выписка: колонтитул книжного листа"),
                              QStringLiteral("Выписка: колонтитул книжного листа"),
                              QStringLiteral("Анализы: колонтитул альбомного листа"),
                              QStringLiteral("Рекомендации: колонтитул с другими полями")};
    for (int p = 1; p <= 4; ++p) {
        ASSERT_NE(pages.headerOf(p), nullptr) << p;
        EXPECT_EQ(pages.headerOf(p)->toPlainText(), headers[p - 1]) << p;
        ASSERT_NE(pages.footerOf(p), nullptr) << p;
        EXPECT_EQ(pages.footerOf(p)->toPlainText(), QStringLiteral("Страница %1").arg(p)) << p;
        // Headers and footers are as wide as their page's text.
        EXPECT_NEAR(pages.headerOf(p)->textWidth(), pages.bodyRect(p).width(), 0.5) << p;
    }
    // The landscape page's footer sits at the bottom of its own (shorter) paper.
    const QImage landscape = paintedPage(pages, 3);
    EXPECT_GT(inkIn(landscape, QRectF(0, pages.bodyRect(3).bottom(), landscape.width(),
                                      landscape.height() - pages.bodyRect(3).bottom())),
              0);
}

TEST(SectionPagesBuilt, ASectionStartingWithATableGetsItsPaperWithoutAnEmptyPage)
{
    Document doc = docOf({QStringLiteral("Книжный лист")});
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    QTextTableFormat format;
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextTable* table = c.insertTable(3, 10, format);
    QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
    QTextBlockFormat first = cell.blockFormat();
    first.setProperty(SectionStartProperty, 1);
    first.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cell.setBlockFormat(first);
    for (int col = 0; col < 10; ++col)
        table->cellAt(1, col).firstCursorPosition().insertText(QStringLiteral("Показатель%1").arg(col));
    Section s;
    s.page = landscapeA4();
    doc.laterSections.push_back(std::move(s));

    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_EQ(pages.pageCount(), 2);
    EXPECT_FALSE(pages.pageSetupOf(1).pageWidth > pages.pageSetupOf(1).pageHeight);
    EXPECT_TRUE(pages.pageSetupOf(2).pageWidth > pages.pageSetupOf(2).pageHeight);
    EXPECT_EQ(pages.sectionOf(2), 1u);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Показатель9"))), 2);
    EXPECT_GT(inkIn(paintedPage(pages, 2), pages.bodyRect(2)), 0);
}

TEST(SectionPagesBuilt, AContinuousSectionGoesOnOnThePaperOfThePageItStartsOn)
{
    // Word takes the new paper from the next page on; we keep the paper of
    // the run until a section starts a page of its own.
    Document doc = docOf({QStringLiteral("Начало")});
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    addLines(c, QStringLiteral("Первый"), 10);
    PageSetup wide = landscapeA4();
    wide.start = SectionStart::Continuous;
    addSection(doc, wide, QStringLiteral("Продолжение"), 150);
    doc.laterSections[0].header = storyOf(QStringLiteral("второй раздел"));
    addSection(doc, landscapeA4(), QStringLiteral("Альбомный"), 3);

    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_GE(pages.pageCount(), 4);
    const int last = pages.pageCount();
    for (int p = 1; p < last; ++p) {
        EXPECT_NEAR(pages.paperRect(p).width(), px(kA4Width), 1) << p;
        EXPECT_EQ(pages.bodyRect(p), pages.bodyRect(1)) << p;
    }
    EXPECT_NEAR(pages.paperRect(last).width(), px(kA4Height), 1);
    EXPECT_EQ(pages.sectionOf(last), 2u);
    // Its headers begin on the page after the one it starts on.
    EXPECT_EQ(pages.headerOf(1), nullptr);
    EXPECT_EQ(pages.headerOf(2)->toPlainText(), QStringLiteral("второй раздел"));
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Продолжение, строка 150"))), last - 1);
}

TEST(SectionPagesBuilt, ASectionInTwoColumnsFillsTheLeftColumnThenTheRight)
{
    Document doc = docOf({QStringLiteral("Одна колонка")});
    PageSetup twoColumns;
    twoColumns.columns = 2;
    twoColumns.columnSpacing = 720;
    twoColumns.columnLine = true;
    addSection(doc, twoColumns, QStringLiteral("Колонки"), 200);
    addSection(doc, PageSetup{}, QStringLiteral("Снова одна"), 3);

    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    ASSERT_GE(pages.pageCount(), 3);
    EXPECT_EQ(pages.columnsOf(1), 1);
    EXPECT_EQ(pages.columnsOf(2), 2);
    const int top = pages.pageOfPosition(positionOf(doc, QStringLiteral("Колонки, строка 1")));
    const int bottom = pages.pageOfPosition(positionOf(doc, QStringLiteral("Колонки, строка 200")));
    EXPECT_EQ(top, 2);
    // 200 short lines in two columns take about half the pages they take in one.
    PageSetup oneColumn;
    Document single = docOf({QStringLiteral("Одна колонка")});
    addSection(single, oneColumn, QStringLiteral("Колонки"), 200);
    const PrintedPages singlePages(single, canvas);
    const int singleBottom = singlePages.pageOfPosition(positionOf(single, QStringLiteral("Колонки, строка 200")));
    EXPECT_EQ(bottom - 1, (singleBottom - 1 + 1) / 2);
    EXPECT_EQ(pages.pageOfPosition(positionOf(doc, QStringLiteral("Снова одна"))), bottom + 1);
    EXPECT_EQ(pages.columnsOf(bottom + 1), 1);

    // Text in both columns of the first page of the section, and the line between them.
    const QImage page = paintedPage(pages, 2);
    const QRectF body = pages.bodyRect(2);
    const double half = (body.width() - px(720)) / 2;
    EXPECT_GT(inkIn(page, QRectF(body.left(), body.top(), half, body.height())), 100);
    EXPECT_GT(inkIn(page, QRectF(body.right() - half, body.top(), half, body.height())), 100);
    const double line = body.left() + half + px(720) / 2;
    EXPECT_GT(inkIn(page, QRectF(line - 1, body.top(), 3, body.height())), body.height() / 2);
}

TEST(SectionPagesBuilt, DamagedPageSetupsPrintWithoutBlowingUp)
{
    Document doc = docOf({QStringLiteral("Начало")});
    // Paper of nothing, margins wider than the paper, columns narrower than a hair…
    PageSetup nothing;
    nothing.pageWidth = 0;
    nothing.pageHeight = -5;
    addSection(doc, nothing, QStringLiteral("Без бумаги"), 2);
    PageSetup margins;
    margins.marginLeft = 40000;
    margins.marginRight = 40000;
    margins.marginTop = -40000;
    margins.marginBottom = 40000;
    addSection(doc, margins, QStringLiteral("Поля шире листа"), 2);
    PageSetup columns;
    columns.columns = 45;
    columns.columnSpacing = 31680;
    addSection(doc, columns, QStringLiteral("Сорок пять колонок"), 2);
    // …then many sections, each on a paper of another size: only a few
    // layouts are made, the rest print on the first section's paper.
    for (int k = 0; k < 40; ++k) {
        PageSetup page;
        page.pageWidth = 8000 + 200 * k;
        addSection(doc, page, QStringLiteral("Раздел %1.").arg(k), 1);
    }

    QImage canvas = canvas96();
    const PrintedPages pages(doc, canvas);
    EXPECT_GE(pages.pageCount(), 44);
    EXPECT_LE(pages.pageCount(), 50);
    auto pageOf = [&](const QString& text) { return pages.pageOfPosition(positionOf(doc, text)); };
    // The smallest paper is an inch, the smallest text area too.
    const int tiny = pageOf(QStringLiteral("Без бумаги"));
    EXPECT_NEAR(pages.paperRect(tiny).width(), 96, 1);
    EXPECT_GE(pages.bodyRect(pageOf(QStringLiteral("Поля шире листа"))).width(), 95);
    EXPECT_EQ(pages.columnsOf(pageOf(QStringLiteral("Сорок пять колонок"))), 1);
    EXPECT_NEAR(pages.paperRect(pageOf(QStringLiteral("Раздел 0."))).width(), px(8000), 1);
    EXPECT_NEAR(pages.paperRect(pageOf(QStringLiteral("Раздел 39."))).width(), px(kA4Width), 1);
    EXPECT_EQ(pageOf(QStringLiteral("Раздел 39.")), pages.pageCount());
    EXPECT_EQ(pages.pageOfPosition(-1), 0);
    EXPECT_EQ(pages.pageOfPosition(doc.text().characterCount() + 10), 0);
    // Every page paints, and a PDF of them is written.
    for (int p = 1; p <= pages.pageCount(); ++p)
        paintedPage(pages, p);
    QTemporaryDir dir;
    writePdf(doc, dir.filePath(QStringLiteral("damaged.pdf")));
    EXPECT_EQ(int(mediaBoxes(dir.filePath(QStringLiteral("damaged.pdf"))).size()), pages.pageCount());
}

TEST(SectionPagesView, ThePrintPreviewShowsEveryPage)
{
    // The preview cannot change its paper between pages: it still shows them all.
    const Document doc = readDocument(readData(QStringLiteral("pages/section_pages.doc")));
    QPrinter printer(QPrinter::HighResolution);
    applyPageSetup(printer, doc.page);
    QPrintPreviewWidget preview(&printer);
    bool failed = false;
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter* p) {
        try {
            printDocument(doc, *p);
        } catch (...) {
            failed = true;
        }
    });
    preview.updatePreview();
    EXPECT_FALSE(failed);
    EXPECT_EQ(preview.pageCount(), 4);
}

TEST(SectionPagesView, ThePageViewShowsTheFirstSectionsPage)
{
    DocumentView view;
    view.resize(1400, 900);
    view.show();
    view.loadDocument(readDocument(readData(QStringLiteral("pages/section_pages.doc"))));
    auto* page = view.findChild<PageView*>();
    ASSERT_NE(page, nullptr);
    const double dpi = view.logicalDpiX();
    EXPECT_NEAR(page->sheetGeometry().width(), kA4Width / 1440.0 * dpi, 1.5);
    EXPECT_NEAR(view.textEdit()->x(), 3 / 2.54 * dpi, 1.5);
}

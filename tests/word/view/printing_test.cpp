// Printing: pages of the text area, headers and footers on every page.

#include "view_test_support.h"

#include "word/view/document_printing.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
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

// Dark pixels in a band of the page, as a share of its pixels.
double inkIn(const QImage& page, double top, double bottom)
{
    int dark = 0;
    int all = 0;
    for (int y = std::max(0, int(top)); y < std::min(page.height(), int(bottom)); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            ++all;
            if (qGray(page.pixel(x, y)) < 128)
                ++dark;
        }
    }
    return all ? double(dark) / all : 0;
}

QImage rendered(const PrintedPages& pages, QImage& canvas, int page)
{
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    pages.paint(painter, page);
    painter.end();
    return canvas;
}

} // namespace

TEST(Printing, HeaderAndFooterOnEveryPageAroundTheText)
{
    Document doc = docOf({});
    QTextCursor c(&doc.text());
    for (int i = 0; i < 200; ++i)
        c.insertText(QStringLiteral("Строка основного текста номер %1\n").arg(i));
    doc.header = storyOf(QStringLiteral("ГКБ № 1. Неврологическое отделение"));
    doc.footer = storyOf(QStringLiteral("Подвал"));

    QImage canvas(int(doc.page.pageWidth * 96 / 1440.0), int(doc.page.pageHeight * 96 / 1440.0),
                  QImage::Format_RGB32);
    canvas.setDotsPerMeterX(int(96 / 0.0254));
    canvas.setDotsPerMeterY(int(96 / 0.0254));
    const PrintedPages pages(doc, canvas);
    ASSERT_GE(pages.pageCount(), 3);
    const QRectF body = pages.bodyRect();
    EXPECT_NEAR(body.top(), 1134 * 96 / 1440.0, 1);
    EXPECT_NEAR(body.left(), 1701 * 96 / 1440.0, 1);

    for (int p : {1, pages.pageCount()}) {
        const QImage page = rendered(pages, canvas, p);
        EXPECT_GT(inkIn(page, 709 * 96 / 1440.0, body.top()), 0.0) << "header on page " << p;
        EXPECT_GT(inkIn(page, body.bottom(), page.height()), 0.0) << "footer on page " << p;
        EXPECT_GT(inkIn(page, body.top(), body.bottom()), 0.0) << "text on page " << p;
    }
    // Nothing is printed beyond the text area: the last line of page one is
    // not cut in half into the footer's room.
    EXPECT_EQ(inkIn(rendered(pages, canvas, 1), body.bottom(), body.bottom() + 10), 0.0);
}

TEST(Printing, TitlePageHasItsOwnHeaderAndATallHeaderPushesTheTextDown)
{
    Document doc = docOf({QStringLiteral("Текст")});
    doc.header = storyOf(QStringLiteral("Обычный"));
    doc.firstHeader = storyOf(QStringLiteral("Первый\nвторая\nтретья\nчетвёртая\nпятая\nшестая"));
    doc.page.titlePage = true;
    QImage canvas(800, 1130, QImage::Format_RGB32);
    const PrintedPages pages(doc, canvas);
    EXPECT_EQ(pages.headerOf(1)->toPlainText().left(6), QStringLiteral("Первый"));
    EXPECT_EQ(pages.headerOf(2)->toPlainText(), QStringLiteral("Обычный"));
    EXPECT_EQ(pages.footerOf(1), nullptr);
    const double headerBottom = 709 * canvas.logicalDpiY() / 1440.0 + pages.headerOf(1)->size().height();
    EXPECT_GE(pages.bodyRect().top(), headerBottom - 0.5);
}

TEST(Printing, PdfHasAPageForEveryLaidOutPage)
{
    Document doc = readDocument(readData(QStringLiteral("long.doc")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    int expected = 0;
    {
        QPdfWriter pdf(path);
        pdf.setResolution(300);
        expected = PrintedPages(doc, pdf).pageCount();
        printDocument(doc, pdf);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_GT(expected, 5);
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), expected);
}

TEST(Printing, FooterPageNumberCountsThePages)
{
    Document doc = readDocument(readData(QStringLiteral("header_footer.doc")));
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    for (int i = 0; i < 150; ++i)
        c.insertText(QStringLiteral("\nЕщё одна строка %1").arg(i));
    QImage canvas(800, 1130, QImage::Format_RGB32);
    const PrintedPages pages(doc, canvas);
    ASSERT_GE(pages.pageCount(), 3);
    for (int p = 1; p <= pages.pageCount(); ++p) {
        EXPECT_EQ(pages.footerOf(p)->toPlainText(), QStringLiteral("Страница %1").arg(p));
        EXPECT_EQ(pages.headerOf(p)->toPlainText(), QStringLiteral("ГКБ № 1. Неврологическое отделение"));
    }
    // The document itself keeps what was read.
    EXPECT_EQ(doc.footer->toPlainText(), QStringLiteral("Страница 1"));
}

#include "word/view/document_printing.h"

#include "common/errors.h"
#include "word/fields.h"
#include "word/sections.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

// A copy of `story` laid out for `device`, `width` device pixels wide.
std::unique_ptr<QTextDocument> layOut(const QTextDocument& story, QPaintDevice& device, double width)
{
    std::unique_ptr<QTextDocument> copy(story.clone());
    copy->documentLayout()->setPaintDevice(&device);
    copy->setDocumentMargin(0);
    copy->setTextWidth(width);
    return copy;
}

} // namespace

void applyPageSetup(QPrinter& printer, const PageSetup& page)
{
    const double w = std::max(1, page.pageWidth) / 20.0;  // points
    const double h = std::max(1, page.pageHeight) / 20.0;
    const QPageSize size(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Point, QString(),
                         QPageSize::FuzzyOrientationMatch);
    const QPageLayout::Orientation orientation = w > h ? QPageLayout::Landscape : QPageLayout::Portrait;
    auto pt = [](int twips) { return std::max(0.0, twips / 20.0); };
    const QMarginsF margins(pt(page.marginLeft + page.gutter), pt(page.marginTop), pt(page.marginRight),
                            pt(page.marginBottom));
    printer.setPageLayout(QPageLayout(size, orientation, margins, QPageLayout::Point));
}

// --- PrintedPages ---

PrintedPages::PrintedPages(const Document& document, QPaintDevice& device) : document_(document), device_(device)
{
    const double dpiX = device.logicalDpiX();
    const double dpiY = device.logicalDpiY();
    const PageSetup& page = document.page;
    // Word keeps negative margins for "do not move the text"; the size counts.
    auto x = [dpiX](int twips) { return std::abs(twips) * dpiX / 1440.0; };
    auto y = [dpiY](int twips) { return std::abs(twips) * dpiY / 1440.0; };

    paper_ = QRectF(0, 0, x(std::max(1, page.pageWidth)), y(std::max(1, page.pageHeight)));
    const double left = x(page.marginLeft) + x(page.gutter);
    const double width = std::max(paper_.width() / 10, paper_.width() - left - x(page.marginRight));
    headerTop_ = y(page.headerDistance);
    footerBottom_ = paper_.height() - y(page.footerDistance);

    // A header taller than the room above the text pushes the text down, a
    // tall footer pushes its bottom up, as in Word. One text area serves
    // every page: the tallest header and footer of any section count.
    double top = y(page.marginTop);
    double bottom = paper_.height() - y(page.marginBottom);
    for (size_t section = 0; section <= document.laterSections.size(); ++section) {
        for (bool first : {true, false}) {
            for (bool even : {true, false}) {
                top = std::max(top, headerTop_ + storyHeight(word::storyOnPage(document, section, true, first, even), width));
                bottom = std::min(bottom,
                                  footerBottom_ - storyHeight(word::storyOnPage(document, section, false, first, even), width));
            }
        }
    }
    bodyRect_ = QRectF(left, top, width, std::max(paper_.height() / 10, bottom - top));

    body_ = layOut(document.text(), device, bodyRect_.width());
    body_->setPageSize(bodyRect_.size());
    planPages(std::max(1, body_->pageCount()));
}

PrintedPages::~PrintedPages() = default;

// Which body page each later section starts on, then the printed pages:
// each body page with the section in force at its top, and a blank page
// where a section must start on an even or odd page and would not.
void PrintedPages::planPages(int bodyPages)
{
    struct Start {
        int bodyPage;
        size_t section;
        SectionStart kind;
    };
    std::vector<Start> starts;
    const double pageHeight = bodyRect_.height();
    for (QTextBlock b = body_->begin(); b.isValid(); b = b.next()) {
        const int k = b.blockFormat().intProperty(SectionStartProperty);
        if (k < 1 || size_t(k) > document_.laterSections.size() || (!starts.empty() && size_t(k) <= starts.back().section))
            continue;
        // The layout keeps positions in 1/64 pixel: a block at the top of a
        // page may lie a hair above it.
        const double top = body_->documentLayout()->blockBoundingRect(b).top() + 0.5;
        const int bodyPage = std::clamp(int(top / pageHeight) + 1, 1, bodyPages);
        const SectionStart kind = document_.laterSections[size_t(k - 1)].page.start;
        // A continuous section shares its first page with the section before: its headers start on the next.
        starts.push_back({startsNewPage(kind) ? bodyPage : bodyPage + 1, size_t(k), kind});
    }
    pages_.clear();
    size_t section = 0;
    size_t next = 0;
    for (int p = 1; p <= bodyPages; ++p) {
        bool first = p == 1;
        SectionStart kind = document_.page.start;
        while (next < starts.size() && starts[next].bodyPage <= p) {
            section = starts[next].section;
            kind = starts[next].kind;
            first = starts[next].bodyPage == p;
            ++next;
        }
        const bool even = (pages_.size() + 1) % 2 == 0;
        if (first && p > 1 && ((kind == SectionStart::EvenPage && !even) || (kind == SectionStart::OddPage && even)))
            pages_.push_back({0, pages_.empty() ? 0 : pages_.back().section, false});
        pages_.push_back({p, section, first});
    }
}

size_t PrintedPages::sectionOf(int page) const
{
    return page >= 1 && size_t(page) <= pages_.size() ? pages_[size_t(page - 1)].section : 0;
}

bool PrintedPages::isBlank(int page) const
{
    return page >= 1 && size_t(page) <= pages_.size() && pages_[size_t(page - 1)].bodyPage == 0;
}

const QTextDocument* PrintedPages::storyOf(int page, bool header) const
{
    if (page < 1 || pages_.empty())
        return nullptr;
    // A page past the last is one more page of the last section.
    const Page p = size_t(page) <= pages_.size() ? pages_[size_t(page - 1)] : Page{0, pages_.back().section, false};
    return word::storyOnPage(document_, p.section, header, p.firstOfSection, page % 2 == 0);
}

double PrintedPages::storyHeight(const QTextDocument* story, double width) const
{
    if (!story || story->isEmpty())
        return 0;
    return layOut(*story, device_, width)->size().height();
}

std::unique_ptr<QTextDocument> PrintedPages::storyOnPage(int page, bool header) const
{
    const QTextDocument* story = storyOf(page, header);
    if (!story || story->isEmpty())
        return nullptr;
    std::unique_ptr<QTextDocument> copy = layOut(*story, device_, bodyRect_.width());
    // Page numbers and page counts are fields whose result depends on the page.
    setPageFieldResults(*copy, page, pageCount());
    return copy;
}

std::unique_ptr<QTextDocument> PrintedPages::headerOf(int page) const { return storyOnPage(page, true); }

std::unique_ptr<QTextDocument> PrintedPages::footerOf(int page) const { return storyOnPage(page, false); }

void PrintedPages::paint(QPainter& painter, int page) const
{
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);

    const int bodyPage = page >= 1 && size_t(page) <= pages_.size() ? pages_[size_t(page - 1)].bodyPage : 0;
    if (bodyPage > 0) {
        painter.save();
        painter.setClipRect(bodyRect_);
        painter.translate(bodyRect_.left(), bodyRect_.top() - (bodyPage - 1) * bodyRect_.height());
        context.clip = QRectF(0, (bodyPage - 1) * bodyRect_.height(), bodyRect_.width(), bodyRect_.height());
        body_->documentLayout()->draw(&painter, context);
        painter.restore();
    }

    context.clip = QRectF();
    if (const auto header = headerOf(page)) {
        painter.save();
        painter.translate(bodyRect_.left(), headerTop_);
        header->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    if (const auto footer = footerOf(page)) {
        painter.save();
        painter.translate(bodyRect_.left(), footerBottom_ - footer->size().height());
        footer->documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

// --- printing ---

void printDocument(const Document& document, QPagedPaintDevice& device, int fromPage, int toPage)
{
    // We place the margins, headers and footers ourselves: the painter
    // starts at the corner of the paper.
    QPageLayout layout = device.pageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(layout);

    const PrintedPages pages(document, device);
    QPainter painter;
    if (!painter.begin(&device))
        throw Error(QStringLiteral("Не удалось начать печать документа"));
    const int first = std::max(1, fromPage);
    const int last = toPage > 0 ? std::min(toPage, pages.pageCount()) : pages.pageCount();
    for (int p = first; p <= last; ++p) {
        if (p > first && !device.newPage())
            throw Error(QStringLiteral("Не удалось начать новую страницу при печати"));
        pages.paint(painter, p);
    }
    painter.end();
}

void printDocument(const Document& document, QPrinter& printer)
{
    printer.setFullPage(true);
    // The range chosen in the print dialog, if any.
    printDocument(document, static_cast<QPagedPaintDevice&>(printer), printer.fromPage(), printer.toPage());
}

void writePdf(const Document& document, const QString& path)
{
    {
        // QPrinter reports no write failure; find it out first.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw Error(QStringLiteral("Не удалось записать файл «%1»: %2").arg(path, probe.errorString()));
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCreator(QStringLiteral("Talvora"));
    applyPageSetup(printer, document.page);
    printDocument(document, printer);
    if (QFile(path).size() == 0)
        throw Error(QStringLiteral("Не удалось записать файл «%1»").arg(path));
}

} // namespace talvora::word

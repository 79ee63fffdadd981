#include "word/view/document_printing.h"

#include "common/errors.h"
#include "word/fields.h"
#include "word/sections.h"
#include "word/text_formats.h"
#include "word/view/list_labels.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

// A copy of `story` laid out for `device`, `width` device pixels wide.
std::unique_ptr<QTextDocument> layOut(const QTextDocument& story, QPaintDevice& device, double width)
{
    std::unique_ptr<QTextDocument> copy(story.clone());
    layOutForDevice(*copy, device);
    copy->setDocumentMargin(0);
    copy->setTextWidth(width);
    return copy;
}

// Distinct text areas laid out at most; a damaged file with more page sizes
// prints the rest of its sections on the first section's paper.
constexpr size_t kMaxLayouts = 8;
// The narrowest column Word allows (half an inch); narrower ones print as one.
constexpr int kMinColumnTwips = 720;
// The smallest text area and the paper sizes printed, as Word allows them.
constexpr int kMinTextTwips = 1440;
constexpr int kMinPaperTwips = 1440;
constexpr int kMaxPaperTwips = 31680;

int paperTwips(int twips) { return std::clamp(twips, kMinPaperTwips, kMaxPaperTwips); }

// Draws a laid out story, with Word's list labels where Qt's differ.
void drawStory(QPainter& painter, const QTextDocument& story, const QAbstractTextDocumentLayout::PaintContext& context)
{
    story.documentLayout()->draw(&painter, context);
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), story.size());
    paintListLabels(painter, differingListLabels(story, clip.bottom()), clip, Qt::white);
}

} // namespace

QPageLayout pageLayoutOf(const PageSetup& page)
{
    const double w = paperTwips(page.pageWidth) / 20.0; // points
    const double h = paperTwips(page.pageHeight) / 20.0;
    const QPageSize size(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Point, QString(),
                         QPageSize::FuzzyOrientationMatch);
    const QPageLayout::Orientation orientation = w > h ? QPageLayout::Landscape : QPageLayout::Portrait;
    auto pt = [](int twips) { return std::max(0.0, twips / 20.0); };
    const QMarginsF margins(pt(page.marginLeft + page.gutter), pt(page.marginTop), pt(page.marginRight),
                            pt(page.marginBottom));
    QPageLayout layout(size, orientation, margins, QPageLayout::Point);
    if (!layout.isValid() || layout.margins() != margins) {
        // Margins wider than the paper: the paper still counts.
        layout = QPageLayout(size, orientation, QMarginsF(), QPageLayout::Point);
    }
    return layout;
}

void applyPageSetup(QPrinter& printer, const PageSetup& page)
{
    printer.setPageLayout(pageLayoutOf(page));
}

// --- PrintedPages ---

namespace {

const PageSetup& pageOf(const Document& doc, size_t section)
{
    return section == 0 ? doc.page : doc.laterSections[section - 1].page;
}

// Word breaks no page at a paragraph inside a table (a section that starts
// with a table breaks it before the table); the text layout would leave an
// empty page before the table.
void dropPageBreaksInTables(QTextDocument& text)
{
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        if (!(f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
            continue;
        QTextCursor at(b);
        if (!at.currentTable())
            continue;
        f.setPageBreakPolicy(f.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
        at.setBlockFormat(f);
    }
}

} // namespace

// The body laid out for one size of column: every run of pages whose text
// area has that size prints its pages from it.
struct PrintedPages::Layout {
    std::unique_ptr<QTextDocument> body;
    QSizeF column;
    int pages = 1;
};

// A later section inside a run: it goes on in the run's text area.
struct PrintedPages::SectionChange {
    int position = 0;
    size_t section = 0;
    SectionStart kind = SectionStart::Continuous;
};

// Pages in a row with the paper and text area of the section that starts them.
struct PrintedPages::Run {
    size_t section = 0;
    int position = 0;        // where its text starts
    bool breaksTable = false; // it starts with a table, which breaks the page
    std::vector<SectionChange> changes;
    QRectF paper;
    QRectF body;
    double headerTop = 0;
    double footerBottom = 0;
    int columns = 1;
    double columnWidth = 0;
    double columnGap = 0;
    size_t layout = 0;
    int firstLayoutPage = 0; // 0-based, the run's pages in its layout: [first, end)
    int endLayoutPage = 0;
};

PrintedPages::PrintedPages(const Document& document, QPaintDevice& device) : document_(document), device_(device)
{
    planRuns();
    for (Run& run : runs_)
        placeRun(run);
    layOutRuns();
    planPages();
}

PrintedPages::~PrintedPages() = default;

// Where each later section starts in the text: one that starts on a page of
// its own at the top of a page or with a table there starts a run; the others
// go on in the run they start in.
void PrintedPages::planRuns()
{
    runs_.clear();
    runs_.push_back(Run{});
    const QTextDocument& text = document_.text();
    size_t last = 0;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        const int k = b.blockFormat().intProperty(SectionStartProperty);
        if (k < 1 || size_t(k) > document_.laterSections.size() || size_t(k) <= last)
            continue;
        last = size_t(k);
        const SectionStart kind = document_.laterSections[last - 1].page.start;
        // A run starts where a page break can be made: a paragraph of the
        // main text, or the first cell of a table of the main text.
        const QTextCursor at(b);
        const QTextTable* table = at.currentTable();
        const bool topLevel = at.currentFrame() == text.rootFrame();
        const bool tableStart = table && table->parentFrame() == text.rootFrame() &&
                                table->cellAt(0, 0).firstPosition() == b.position();
        if (startsNewPage(kind) && b.position() > 0 && (topLevel || tableStart)) {
            Run run;
            run.section = last;
            run.position = tableStart ? table->firstPosition() - 1 : b.position();
            run.breaksTable = tableStart;
            runs_.push_back(std::move(run));
        } else {
            runs_.back().changes.push_back({b.position(), last, kind});
        }
    }
}

// The run's paper, text area and columns, from the page set-up of the
// section that starts it. A header taller than the room above the text pushes
// the text down, a tall footer pushes its bottom up, as in Word: the tallest
// of the run's sections count.
void PrintedPages::placeRun(Run& run)
{
    const double dpiX = device_.logicalDpiX();
    const double dpiY = device_.logicalDpiY();
    const PageSetup& page = pageOf(document_, run.section);
    // Word keeps negative margins for "do not move the text"; the size counts.
    auto x = [dpiX](int twips) { return std::abs(twips) * dpiX / 1440.0; };
    auto y = [dpiY](int twips) { return std::abs(twips) * dpiY / 1440.0; };

    run.paper = QRectF(0, 0, x(paperTwips(page.pageWidth)), y(paperTwips(page.pageHeight)));
    const double left = x(page.marginLeft) + x(page.gutter);
    // Margins wider than the paper still leave an inch of text: the whole
    // text is laid out in it, a line of a few letters would give it pages without end.
    const double width = std::max(x(kMinTextTwips), run.paper.width() - left - x(page.marginRight));
    run.headerTop = y(page.headerDistance);
    run.footerBottom = run.paper.height() - y(page.footerDistance);

    double top = y(page.marginTop);
    double bottom = run.paper.height() - y(page.marginBottom);
    std::vector<size_t> sections{run.section};
    for (const SectionChange& change : run.changes)
        sections.push_back(change.section);
    for (size_t section : sections) {
        for (bool first : {true, false}) {
            for (bool even : {true, false}) {
                top = std::max(top, run.headerTop + storyHeight(word::storyOnPage(document_, section, true, first, even), width));
                bottom = std::min(bottom, run.footerBottom - storyHeight(word::storyOnPage(document_, section, false, first, even), width));
            }
        }
    }
    run.body = QRectF(left, top, width, std::max(y(kMinTextTwips), bottom - top));

    run.columns = 1;
    run.columnWidth = width;
    if (page.columns > 1) {
        const double gap = x(page.columnSpacing);
        const double column = (width - gap * (page.columns - 1)) / page.columns;
        if (column >= x(kMinColumnTwips)) {
            run.columns = page.columns;
            run.columnWidth = column;
            run.columnGap = gap;
        }
    }
}

// One copy of the text per size of column, with a page break before every
// run's start; each run finds its pages in the copy of its size.
void PrintedPages::layOutRuns()
{
    layouts_.clear();
    auto sameSize = [](QSizeF a, QSizeF b) {
        return std::abs(a.width() - b.width()) < 0.01 && std::abs(a.height() - b.height()) < 0.01;
    };
    for (Run& run : runs_) {
        const QSizeF column(run.columnWidth, run.body.height());
        auto found = std::find_if(layouts_.begin(), layouts_.end(), [&](const Layout& l) { return sameSize(l.column, column); });
        if (found == layouts_.end() && layouts_.size() >= kMaxLayouts) {
            // Too many sizes: the run prints as the first one does.
            const Run& first = runs_.front();
            run.paper = first.paper;
            run.body = first.body;
            run.headerTop = first.headerTop;
            run.footerBottom = first.footerBottom;
            run.columns = first.columns;
            run.columnWidth = first.columnWidth;
            run.columnGap = first.columnGap;
            run.layout = first.layout;
            continue;
        }
        if (found != layouts_.end()) {
            run.layout = size_t(found - layouts_.begin());
            continue;
        }
        Layout layout;
        layout.column = column;
        layout.body.reset(document_.text().clone());
        dropPageBreaksInTables(*layout.body);
        for (const Run& r : runs_) {
            if (r.position == 0)
                continue;
            QTextCursor at(layout.body.get());
            at.setPosition(r.breaksTable ? r.position + 1 : r.position);
            if (QTextTable* table = r.breaksTable ? at.currentTable() : nullptr) {
                QTextTableFormat f = table->format();
                f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
                table->setFormat(f);
            } else if (!r.breaksTable) {
                QTextBlockFormat f = at.blockFormat();
                f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
                at.setBlockFormat(f);
            }
        }
        layOutForDevice(*layout.body, device_);
        layout.body->setDocumentMargin(0);
        layout.body->setPageSize(column);
        layout.pages = std::max(1, layout.body->pageCount());
        run.layout = layouts_.size();
        layouts_.push_back(std::move(layout));
    }

    // The page of each run's start in a layout.
    auto pageIn = [](const Layout& layout, int position) {
        const QTextBlock block = layout.body->findBlock(position);
        // The layout keeps positions in 1/64 pixel: a block at the top of a
        // page may lie a hair above it.
        const double top = layout.body->documentLayout()->blockBoundingRect(block).top() + 0.5;
        return std::clamp(int(top / layout.column.height()), 0, layout.pages);
    };
    for (size_t k = 0; k < runs_.size(); ++k) {
        Run& run = runs_[k];
        const Layout& layout = layouts_[run.layout];
        run.firstLayoutPage = k == 0 ? 0 : pageIn(layout, run.breaksTable ? run.position + 1 : run.position);
        run.endLayoutPage = k + 1 < runs_.size()
                                ? pageIn(layout, runs_[k + 1].breaksTable ? runs_[k + 1].position + 1 : runs_[k + 1].position)
                                : layout.pages;
        run.endLayoutPage = std::max(run.endLayoutPage, run.firstLayoutPage);
    }
}

// The printed pages: each run's pages with the section in force at their
// top, and a blank page where a section must start on an even or odd page
// and would not.
void PrintedPages::planPages()
{
    pages_.clear();
    size_t section = 0;
    for (size_t r = 0; r < runs_.size(); ++r) {
        const Run& run = runs_[r];
        const int count = (run.endLayoutPage - run.firstLayoutPage + run.columns - 1) / run.columns;
        if (count <= 0)
            continue;
        const Layout& layout = layouts_[run.layout];
        // Where the sections inside the run take over: a continuous section
        // shares its first page with the section before, its headers start on the next.
        struct Takeover {
            int page;
            size_t section;
            SectionStart kind;
        };
        std::vector<Takeover> takeovers{{0, run.section, pageOf(document_, run.section).start}};
        for (const SectionChange& change : run.changes) {
            const double top =
                layout.body->documentLayout()->blockBoundingRect(layout.body->findBlock(change.position)).top() + 0.5;
            const int layoutPage = std::clamp(int(top / layout.column.height()), run.firstLayoutPage, run.endLayoutPage);
            const int page = (layoutPage - run.firstLayoutPage) / run.columns;
            takeovers.push_back({startsNewPage(change.kind) ? page : page + 1, change.section, change.kind});
        }
        size_t next = 0;
        for (int i = 0; i < count; ++i) {
            bool first = false;
            SectionStart kind = SectionStart::Continuous;
            while (next < takeovers.size() && takeovers[next].page <= i) {
                section = takeovers[next].section;
                kind = takeovers[next].kind;
                first = takeovers[next].page == i;
                ++next;
            }
            if (pages_.empty())
                first = true;
            const bool even = (pages_.size() + 1) % 2 == 0;
            if (first && !pages_.empty() &&
                ((kind == SectionStart::EvenPage && !even) || (kind == SectionStart::OddPage && even)))
                pages_.push_back({0, pages_.back().run, pages_.back().section, false});
            pages_.push_back({run.firstLayoutPage + i * run.columns + 1, r, section, first});
        }
    }
    if (pages_.empty())
        pages_.push_back({1, 0, 0, true});
}

const PrintedPages::Page* PrintedPages::pageAt(int page) const
{
    return page >= 1 && size_t(page) <= pages_.size() ? &pages_[size_t(page - 1)] : nullptr;
}

const PrintedPages::Run& PrintedPages::runOf(int page) const
{
    const Page* p = pageAt(page);
    // A page past the last is one more page of the last run.
    return runs_[p ? p->run : pages_.back().run];
}

size_t PrintedPages::sectionOf(int page) const
{
    const Page* p = pageAt(page);
    return p ? p->section : 0;
}

bool PrintedPages::isBlank(int page) const
{
    const Page* p = pageAt(page);
    return p && p->bodyPage == 0;
}

QRectF PrintedPages::paperRect(int page) const { return runOf(page).paper; }

QRectF PrintedPages::bodyRect(int page) const { return runOf(page).body; }

const PageSetup& PrintedPages::pageSetupOf(int page) const { return pageOf(document_, runOf(page).section); }

int PrintedPages::columnsOf(int page) const { return runOf(page).columns; }

int PrintedPages::pageOfPosition(int position) const
{
    if (position < 0 || position >= document_.text().characterCount())
        return 0;
    // The last run that starts at or before the position.
    size_t r = 0;
    while (r + 1 < runs_.size() && runs_[r + 1].position <= position)
        ++r;
    const Run& run = runs_[r];
    const Layout& layout = layouts_[run.layout];
    const QTextBlock block = layout.body->findBlock(position);
    double top = layout.body->documentLayout()->blockBoundingRect(block).top();
    if (const QTextLayout* lines = block.layout()) {
        const QTextLine line = lines->lineForTextPosition(position - block.position());
        if (line.isValid())
            top += line.y();
    }
    const int layoutPage = int((top + 0.5) / layout.column.height());
    for (size_t p = 0; p < pages_.size(); ++p) {
        const Page& page = pages_[p];
        if (page.run == r && page.bodyPage > 0 && layoutPage >= page.bodyPage - 1 &&
            layoutPage < page.bodyPage - 1 + run.columns)
            return int(p) + 1;
    }
    return 0;
}

const QTextDocument* PrintedPages::storyOf(int page, bool header) const
{
    if (page < 1)
        return nullptr;
    // A page past the last is one more page of the last section.
    const Page p = size_t(page) <= pages_.size() ? pages_[size_t(page - 1)] : Page{0, pages_.back().run, pages_.back().section, false};
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
    std::unique_ptr<QTextDocument> copy = layOut(*story, device_, runOf(page).body.width());
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

    const Run& run = runOf(page);
    const Page* p = pageAt(page);
    const int bodyPage = p ? p->bodyPage : 0;
    if (bodyPage > 0) {
        const Layout& layout = layouts_[run.layout];
        const double height = layout.column.height();
        for (int c = 0; c < run.columns; ++c) {
            const int layoutPage = bodyPage - 1 + c;
            if (layoutPage >= run.endLayoutPage)
                break;
            const QRectF column(run.body.left() + c * (run.columnWidth + run.columnGap), run.body.top(), run.columnWidth,
                                run.body.height());
            painter.save();
            painter.setClipRect(column);
            painter.translate(column.left(), column.top() - layoutPage * height);
            context.clip = QRectF(0, layoutPage * height, column.width(), height);
            drawStory(painter, *layout.body, context);
            painter.restore();
            if (c > 0 && pageOf(document_, run.section).columnLine) {
                const double x = column.left() - run.columnGap / 2;
                painter.save();
                painter.setPen(QPen(Qt::black, 0));
                painter.drawLine(QPointF(x, column.top()), QPointF(x, column.bottom()));
                painter.restore();
            }
        }
    }

    context.clip = QRectF();
    if (const auto header = headerOf(page)) {
        painter.save();
        painter.translate(run.body.left(), run.headerTop);
        drawStory(painter, *header, context);
        painter.restore();
    }
    if (const auto footer = footerOf(page)) {
        painter.save();
        painter.translate(run.body.left(), run.footerBottom - footer->size().height());
        drawStory(painter, *footer, context);
        painter.restore();
    }
}

// --- printing ---

void printDocument(const Document& document, QPagedPaintDevice& device, int fromPage, int toPage)
{
    const PrintedPages pages(document, device);
    // Each page on the paper of its section. We place the margins, headers
    // and footers ourselves: the painter starts at the corner of the paper.
    auto paperOf = [&](int page) {
        QPageLayout layout = pageLayoutOf(pages.pageSetupOf(page));
        layout.setMargins(QMarginsF());
        layout.setMode(QPageLayout::FullPageMode);
        return layout;
    };
    const int first = std::max(1, fromPage);
    const int last = toPage > 0 ? std::min(toPage, pages.pageCount()) : pages.pageCount();
    device.setPageLayout(paperOf(first));
    QPainter painter;
    if (!painter.begin(&device))
        throw Error(QStringLiteral("Не удалось начать печать документа"));
    for (int p = first; p <= last; ++p) {
        if (p > first) {
            // Only the engines that write PDF (files, and printing through
            // CUPS) change the paper between pages; the print preview keeps
            // the first page's.
            const QPageLayout paper = paperOf(p);
            if (device.paintEngine() && device.paintEngine()->type() == QPaintEngine::Pdf &&
                !paper.isEquivalentTo(device.pageLayout()))
                device.setPageLayout(paper);
            if (!device.newPage())
                throw Error(QStringLiteral("Не удалось начать новую страницу при печати"));
        }
        // A page larger than the paper it got (a landscape page in the
        // preview) is shown whole, scaled down.
        const QRectF paper = device.pageLayout().fullRectPoints();
        const double fit = std::min({1.0, paper.width() * device.logicalDpiX() / 72.0 / pages.paperRect(p).width(),
                                     paper.height() * device.logicalDpiY() / 72.0 / pages.paperRect(p).height()});
        painter.save();
        if (fit < 0.999)
            painter.scale(fit, fit);
        pages.paint(painter, p);
        painter.restore();
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

#pragma once
// Printing a document on paper or into a PDF file with its page set-up,
// headers and footers.

#include "word/document.h"

#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;
class QPaintDevice;
class QPrinter;
class QTextDocument;

namespace talvora::word {

// The paper size, orientation and margins of the page set-up.
QPageLayout pageLayoutOf(const PageSetup& page);
// Sets the printer's paper size, orientation and margins from the page set-up.
void applyPageSetup(QPrinter& printer, const PageSetup& page);

// A document laid out on the pages of a paint device: the body cut into
// pages of the text area, each page with the paper, margins and columns of
// its section and the header and footer of its section (the first page's,
// an even page's where the section has such), their page number and page
// count fields filled in. A section that starts on a page of its own starts
// a new run of pages with its own paper and text area; a continuous section
// goes on in the text area of the page it starts on and its headers begin on
// the next page. A section that starts on an even (odd) page gets a blank
// page before it where it would fall on an odd (even) one. Page numbers run
// on across sections. Positions are in the device's pixels from the top left
// corner of each page's paper.
class PrintedPages {
public:
    PrintedPages(const Document& document, QPaintDevice& device);
    ~PrintedPages();
    PrintedPages(const PrintedPages&) = delete;
    PrintedPages& operator=(const PrintedPages&) = delete;

    int pageCount() const { return int(pages_.size()); }
    // The section (0 for the first) page `page` (1-based) belongs to.
    size_t sectionOf(int page) const;
    // Whether page `page` is one left blank before a section that starts on
    // an even or odd page.
    bool isBlank(int page) const;
    // The paper of page `page` and the area its text is printed in.
    QRectF paperRect(int page = 1) const;
    QRectF bodyRect(int page = 1) const;
    // The page set-up page `page` is printed with: that of the section that
    // started the run of pages it is in.
    const PageSetup& pageSetupOf(int page) const;
    // How many columns the text of page `page` runs in.
    int columnsOf(int page) const;
    // The page (1-based) the character at `position` of the text prints on; 0 when there is none.
    int pageOfPosition(int position) const;
    // The header or footer as printed on page `page` (1-based); null when
    // that page has none.
    std::unique_ptr<QTextDocument> headerOf(int page) const;
    std::unique_ptr<QTextDocument> footerOf(int page) const;
    // Paints page `page` (1-based) with the painter's origin at the paper's corner.
    void paint(QPainter& painter, int page) const;

private:
    struct Layout;
    struct Run;
    struct SectionChange;
    // A printed page: a page of its run's layout (1-based; 0 for a blank one;
    // with columns the first of the pages side by side), the run whose paper
    // it has and the section whose headers it shows.
    struct Page {
        int bodyPage = 1;
        size_t run = 0;
        size_t section = 0;
        bool firstOfSection = false;
    };

    void planRuns();
    void placeRun(Run& run);
    void layOutRuns();
    void planPages();
    const Page* pageAt(int page) const;
    const Run& runOf(int page) const;
    const QTextDocument* storyOf(int page, bool header) const;
    std::unique_ptr<QTextDocument> storyOnPage(int page, bool header) const;
    double storyHeight(const QTextDocument* story, double width) const;

    const Document& document_;
    QPaintDevice& device_;
    std::vector<Run> runs_;
    std::vector<Layout> layouts_;
    std::vector<Page> pages_;
};

// Prints the document as it is now (a copy is laid out for the printer).
void printDocument(const Document& document, QPrinter& printer);
// Lays the document out on any paged device (a printer, a PDF writer), each
// page on the paper of its section; pages `fromPage` to `toPage` (1-based, 0
// for no bound).
void printDocument(const Document& document, QPagedPaintDevice& device, int fromPage = 0, int toPage = 0);
// Writes the document as a PDF file; throws talvora::Error when the file
// cannot be written.
void writePdf(const Document& document, const QString& path);

} // namespace talvora::word

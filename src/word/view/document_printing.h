#pragma once
// Printing a document on paper or into a PDF file with its page set-up,
// headers and footers.

#include "word/document.h"

#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPaintDevice;
class QPrinter;
class QTextDocument;

namespace talvora::word {

// Sets the printer's paper size, orientation and margins from the page set-up.
void applyPageSetup(QPrinter& printer, const PageSetup& page);

// A document laid out on the pages of a paint device: the body cut into
// pages of the text area, each page with the header and footer of its
// section (the first page's, an even page's where the section has such),
// their page number and page count fields filled in. A section that starts
// on an even (odd) page gets a blank page before it where it would fall on
// an odd (even) one; a continuous section's headers begin on the next page.
// Positions are in the device's pixels from the top left corner of the paper.
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
    QRectF bodyRect() const { return bodyRect_; }
    // The header or footer as printed on page `page` (1-based); null when
    // that page has none.
    std::unique_ptr<QTextDocument> headerOf(int page) const;
    std::unique_ptr<QTextDocument> footerOf(int page) const;
    // Paints page `page` (1-based) with the painter's origin at the paper's corner.
    void paint(QPainter& painter, int page) const;

private:
    // A printed page: a page of the body (0 for a blank one) and the section whose headers it shows.
    struct Page {
        int bodyPage = 1;
        size_t section = 0;
        bool firstOfSection = false;
    };

    void planPages(int bodyPages);
    const QTextDocument* storyOf(int page, bool header) const;
    std::unique_ptr<QTextDocument> storyOnPage(int page, bool header) const;
    double storyHeight(const QTextDocument* story, double width) const;

    const Document& document_;
    QPaintDevice& device_;
    std::unique_ptr<QTextDocument> body_;
    QRectF paper_;
    QRectF bodyRect_;
    double headerTop_ = 0;
    double footerBottom_ = 0;
    std::vector<Page> pages_;
};

// Prints the document as it is now (a copy is laid out for the printer).
void printDocument(const Document& document, QPrinter& printer);
// Lays the document out on any paged device (a printer, a PDF writer);
// pages `fromPage` to `toPage` (1-based, 0 for no bound).
void printDocument(const Document& document, QPagedPaintDevice& device, int fromPage = 0, int toPage = 0);
// Writes the document as a PDF file; throws talvora::Error when the file
// cannot be written.
void writePdf(const Document& document, const QString& path);

} // namespace talvora::word

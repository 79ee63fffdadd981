#include "word/view/document_printing.h"

#include "common/errors.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTextDocument>
#include <QTextFrame>

#include <memory>

namespace talvora::word {

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

void printDocument(const Document& document, QPrinter& printer)
{
    std::unique_ptr<QTextDocument> copy(document.text().clone());
    copy->setDocumentMargin(0);
    copy->print(&printer);
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

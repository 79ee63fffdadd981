#pragma once
// Printing a document on paper or into a PDF file with its page set-up.

#include "word/document.h"

#include <QString>

class QPrinter;

namespace talvora::word {

// Sets the printer's paper size, orientation and margins from the page set-up.
void applyPageSetup(QPrinter& printer, const PageSetup& page);
// Prints the document as it is now (a copy is laid out for the printer).
void printDocument(const Document& document, QPrinter& printer);
// Writes the document as a PDF file; throws talvora::Error when the file
// cannot be written.
void writePdf(const Document& document, const QString& path);

} // namespace talvora::word

#pragma once
// Writing the model as a Word 97–2003 document (.doc): one Unicode text
// piece, character and paragraph properties in formatted disk pages, a style
// sheet, a font table, document properties and one section with the page set-up.

#include "word/document.h"

#include <QByteArray>

namespace talvora::word {

// The .doc file (an OLE compound file) of the document.
QByteArray writeDoc(const Document& document);

} // namespace talvora::word

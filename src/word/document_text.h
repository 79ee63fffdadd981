#pragma once
// Plain-text and JSON views of a document model, for inspection and tests.

#include "word/document.h"

#include <QJsonObject>
#include <QString>

namespace talvora::word {

// The main text, one paragraph a line (each line ends with '\n'); a line
// break inside a paragraph also starts a new line.
QString plainText(const Document& document);

// Page set-up, then paragraphs with their properties and runs with their
// character properties (and inline pictures). Lengths are in twips, font
// sizes and picture sizes in points.
QJsonObject dumpDocument(const Document& document);

} // namespace talvora::word

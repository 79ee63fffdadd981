#pragma once
// Reading Word documents (.doc) of Word 97–2003, and of Word 6.0 and 95, into the model.

#include "word/document.h"

#include <QByteArray>

namespace talvora::word {

// Reads a .doc file (an OLE compound file). Throws talvora::Error with a
// message for the user when the bytes are not a readable Word document:
// damaged, encrypted, or older than Word 6.0.
Document readDoc(const QByteArray& docFileBytes);

} // namespace talvora::word

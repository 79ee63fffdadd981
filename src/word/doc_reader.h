#pragma once
// Reading Word 97–2003 documents (.doc) into the model.

#include "word/document.h"

#include <QByteArray>

namespace talvora::word {

// Reads a .doc file (an OLE compound file). Throws talvora::Error with a
// message for the user when the bytes are not a readable Word 97–2003
// document: damaged, encrypted, or of Word 6.0/95 or older.
Document readDoc(const QByteArray& docFileBytes);

} // namespace talvora::word

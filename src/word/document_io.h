#pragma once
// Loading and storing documents in the forms the program meets: the document
// BLOB of the database and a plain .doc file.

#include "word/document.h"

#include <QByteArray>

namespace talvora::word {

// The model of a document BLOB.
Document documentFromBlob(const QByteArray& blob);
// The document BLOB of a model (a .doc inside).
QByteArray blobFromDocument(const Document& document);

// The .doc bytes of either form: a BLOB is unwrapped, anything else is taken
// as a .doc file as it is.
QByteArray docBytesOf(const QByteArray& blobOrDoc);
// Reads either form.
Document readDocument(const QByteArray& blobOrDoc);

} // namespace talvora::word

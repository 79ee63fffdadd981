#pragma once
// The stored form of every document in the database: the signature "BDOC",
// the draw aspect (int32 LE, always 1), the length N of the rest (int32 LE),
// then N bytes of an OLE compound file holding a Word 97–2003 document.

#include <QByteArray>
#include <QString>

namespace talvora::word {

// The message of a BLOB whose first four bytes are not "BDOC".
inline const QString kInvalidStreamFormat = QStringLiteral("Invalid stream format");
// The message of reading an empty BLOB (nothing stored yet).
inline const QString kEmptyBlobReadError = QStringLiteral("Ошибка чтения потока: документ пуст");

// Puts the compound file bytes behind the BLOB header.
QByteArray wrapDocumentBlob(const QByteArray& compoundFile);

// The compound file inside a BLOB. Throws talvora::Error: kEmptyBlobReadError
// for an empty buffer, kInvalidStreamFormat for another signature, and a read
// error for a truncated header or a length that overruns the bytes.
QByteArray unwrapDocumentBlob(const QByteArray& blob);

// True when the bytes start with the BLOB signature.
bool looksLikeDocumentBlob(const QByteArray& bytes);

} // namespace talvora::word

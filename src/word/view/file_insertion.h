#pragma once
// "Вставить файл…": the content of another document put into the one being
// edited, at the cursor. Word documents are read by the program itself;
// .docx, .odt and .rtf files go through LibreOffice (OfficeConverter) first.

#include "word/document.h"

#include <QString>
#include <QStringList>

class QTextCursor;

namespace talvora::word {

class OfficeConverter;

// The file types the file chooser offers.
QString insertableFileFilter();
// The suffixes that go through LibreOffice: "docx", "odt", "rtf".
QStringList convertedSuffixes();

// The document in the file at `path`, ready to be inserted. What the file
// holds decides, its name only where its bytes do not: a Word 97–2003
// document (or a document BLOB) is read directly; RTF, zipped documents
// (.docx, .odt) and the suffixes of convertedSuffixes() are converted by
// `converter` first. Throws talvora::Error with a message naming the file
// when it cannot be read, is not a document, or cannot be converted.
Document readFileToInsert(const QString& path, const OfficeConverter& converter);

// Inserts `source` at the cursor, replacing its selection: its text with
// the character and paragraph formats, tables, pictures, lists, fields and
// notes, as one undo step. The cursor ends after the inserted content.
// The source's lists, fields and notes are kept apart from those of the
// target (a list of the inserted document does not go on numbering a list
// of the target), and its section breaks are left out: the inserted text
// joins the section at the cursor. Its headers and footers are not
// inserted.
void insertDocument(QTextCursor& cursor, Document source);

} // namespace talvora::word

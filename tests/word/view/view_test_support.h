#pragma once
// Helpers of the document view tests: fixtures, small documents built in
// code, and the formats found at a piece of text.

#include "word/document.h"
#include "word/document_io.h"

#include <QFile>
#include <gtest/gtest.h>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace talvora::word::test {

inline QByteArray readData(const QString& name)
{
    QFile f(QStringLiteral(TALVORA_TEST_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// A document of the given paragraphs; "*text*" pieces are bold.
inline Document docOf(const QStringList& paragraphs)
{
    Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("Times New Roman")});
    plain.setFontPointSize(12);
    QTextCharFormat bold = plain;
    bold.setFontWeight(QFont::Bold);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            c.insertBlock();
        const QStringList parts = paragraphs[i].split(u'*');
        for (qsizetype k = 0; k < parts.size(); ++k)
            if (!parts[k].isEmpty())
                c.insertText(parts[k], k % 2 ? bold : plain);
    }
    return doc;
}

inline QByteArray blobOf(const QStringList& paragraphs)
{
    return blobFromDocument(docOf(paragraphs));
}

// The character format of the first character of `text` in the document;
// fails the test when the text is not there.
inline QTextCharFormat formatAt(const QTextDocument& doc, const QString& text)
{
    const QTextCursor found = doc.find(text, 0, QTextDocument::FindCaseSensitively);
    if (found.isNull()) {
        ADD_FAILURE() << "not in the document: " << text.toStdString();
        return {};
    }
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

} // namespace talvora::word::test

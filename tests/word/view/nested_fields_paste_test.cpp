// A table of contents (links nested in its result) pasted or inserted twice
// stays two tables of contents: each copy's fields get numbers of their own.

#include "view_test_support.h"

#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_io.h"
#include "word/fields.h"
#include "word/view/document_view.h"
#include "word/view/file_insertion.h"
#include "word/view/transfer_buffer.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

using namespace talvora;
using namespace talvora::word;

namespace {

// A table of contents alone: three entries, each a link holding a page reference.
Document tableOfContents()
{
    Document d;
    QTextCursor c(&d.text());
    FieldInfo toc;
    toc.code = QStringLiteral(" TOC \\o \"1-3\" \\h ");
    toc.id = 1;
    for (int i = 0; i < 3; ++i) {
        const FieldInfo link{QStringLiteral(" HYPERLINK \\l \"_Toc%1\" ").arg(i), 2 + 2 * i};
        const FieldInfo page{QStringLiteral(" PAGEREF _Toc%1 \\h ").arg(i), 3 + 2 * i};
        QTextCharFormat f;
        setField(f, toc);
        setNestedFields(f, {link});
        c.insertText(QStringLiteral("Раздел %1\t").arg(i + 1), f);
        setNestedFields(f, {link, page});
        c.insertText(QString::number(i + 1), f);
        c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    return d;
}

// The fields of a story: how many tables of contents, how many fields in all, by distinct id.
std::pair<int, int> countFields(const QTextDocument& doc)
{
    QSet<int> tocs, all;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            for (const FieldInfo& f : fieldChainOf(it.fragment().charFormat())) {
                all.insert(f.id);
                if (fieldKeyword(f.code) == QLatin1String("TOC"))
                    tocs.insert(f.id);
            }
    return {int(tocs.size()), int(all.size())};
}

} // namespace

TEST(NestedFieldsPaste, TwoInsertedTablesOfContentsStayTwo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("toc.doc"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(writeDoc(tableOfContents()));
    }
    DocumentView view;
    view.loadDocument(tableOfContents());
    view.activate();
    for (int k = 0; k < 2; ++k) {
        QTextCursor end(&view.textDocument());
        end.movePosition(QTextCursor::End);
        view.setSelectionCursor(end);
        view.insertFile(path);
    }
    EXPECT_EQ(countFields(view.textDocument()), std::make_pair(3, 21));
    const Document stored = documentFromBlob(view.saveToBlob());
    EXPECT_EQ(countFields(stored.text()), std::make_pair(3, 21));
}

TEST(NestedFieldsPaste, TemplateContentPastedTwiceStaysTwo)
{
    // As an assembly pastes a template: through the transfer buffer.
    Document source = tableOfContents();
    QTextCursor all(&source.text());
    all.select(QTextCursor::Document);
    TransferBuffer buffer;
    buffer.copyFrom(all);

    Document target = tableOfContents();
    QTextCursor c(&target.text());
    c.movePosition(QTextCursor::End);
    buffer.pasteInto(c);
    buffer.pasteInto(c);
    EXPECT_EQ(countFields(target.text()), std::make_pair(3, 21));
    EXPECT_EQ(countFields(readDoc(writeDoc(target)).text()), std::make_pair(3, 21));
}

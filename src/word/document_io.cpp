#include "word/document_io.h"

#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_blob.h"

namespace talvora::word {

Document documentFromBlob(const QByteArray& blob)
{
    return readDoc(unwrapDocumentBlob(blob));
}

QByteArray blobFromDocument(const Document& document)
{
    return wrapDocumentBlob(writeDoc(document));
}

QByteArray docBytesOf(const QByteArray& blobOrDoc)
{
    if (blobOrDoc.isEmpty() || looksLikeDocumentBlob(blobOrDoc))
        return unwrapDocumentBlob(blobOrDoc);
    return blobOrDoc;
}

Document readDocument(const QByteArray& blobOrDoc)
{
    return readDoc(docBytesOf(blobOrDoc));
}

} // namespace talvora::word

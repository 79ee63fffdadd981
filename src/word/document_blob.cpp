#include "word/document_blob.h"

#include "common/errors.h"
#include "word/binary.h"

namespace talvora::word {

namespace {
constexpr char kSignature[4] = {'B', 'D', 'O', 'C'};
constexpr int kHeaderSize = 12;
constexpr int32_t kDrawAspectContent = 1;
} // namespace

QByteArray wrapDocumentBlob(const QByteArray& compoundFile)
{
    if (compoundFile.size() > 0x7FFFFFFF - kHeaderSize)
        throw Error(QStringLiteral("Документ слишком велик для сохранения"));
    QByteArray out;
    out.reserve(kHeaderSize + compoundFile.size());
    ByteWriter w(out);
    w.bytes(kSignature, 4);
    w.i32(kDrawAspectContent);
    w.i32(int32_t(compoundFile.size()));
    w.bytes(compoundFile);
    return out;
}

bool looksLikeDocumentBlob(const QByteArray& bytes)
{
    return bytes.size() >= 4 && std::memcmp(bytes.constData(), kSignature, 4) == 0;
}

QByteArray unwrapDocumentBlob(const QByteArray& blob)
{
    if (blob.isEmpty())
        throw Error(kEmptyBlobReadError);
    if (blob.size() < 4) // the signature itself cannot be read
        throw Error(QStringLiteral("Ошибка чтения потока: заголовок документа обрезан"));
    if (!looksLikeDocumentBlob(blob))
        throw Error(kInvalidStreamFormat);
    if (blob.size() < kHeaderSize)
        throw Error(QStringLiteral("Ошибка чтения потока: заголовок документа обрезан"));
    // The draw aspect is not checked: every value reads the same content.
    const int32_t length = int32_t(le32(blob.constData() + 8));
    if (length < 0 || length > blob.size() - kHeaderSize)
        throw Error(QStringLiteral("Ошибка чтения потока: длина документа (%1 байт) больше сохранённых данных (%2 байт)")
                        .arg(length)
                        .arg(blob.size() - kHeaderSize));
    return blob.mid(kHeaderSize, length);
}

} // namespace talvora::word

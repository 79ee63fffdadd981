#include "word/doc_reader_file.h"

#include "common/errors.h"
#include "word/compound_file.h"
#include "word/fib.h"
#include "word/word6_format.h"

#include <algorithm>

namespace talvora::word {

namespace {

const QString kEncrypted = QStringLiteral(
    "Документ зашифрован (защищён паролем на открытие) и не может быть прочитан. "
    "Снимите пароль в Word и сохраните документ заново.");
const QString kWord2 = QStringLiteral(
    "Документ сохранён в формате Word для Windows 2.0 (или более старом), который не поддерживается. "
    "Откройте его в Word или LibreOffice и сохраните как «Документ Word 97–2003».");
const QString kOldFormat = QStringLiteral(
    "Документ сохранён в версии формата Word, которая не поддерживается (номер версии %1). "
    "Откройте его в Word или LibreOffice и сохраните как «Документ Word 97–2003».");

} // namespace

void damagedDoc(const QString& what)
{
    throw Error(QStringLiteral("Документ Word повреждён: %1").arg(what));
}

WordFile::WordFile(const QByteArray& fileBytes)
{
    if (!CompoundFileReader::looksLikeCompoundFile(fileBytes)) {
        // Word for Windows up to 2.0 wrote plain files with their own header.
        const ByteView v(fileBytes);
        if (v.ok(0, 2) && (v.u16(0) == 0xA59B || v.u16(0) == 0xA5DB || v.u16(0) == 0xA5EC)) {
            if (v.ok(0x0A, 2) && (v.u16(0x0A) & fib::kFlagEncrypted))
                throw Error(kEncrypted);
            throw Error(kWord2);
        }
        throw Error(QStringLiteral("Файл не является документом Word 97–2003"));
    }
    CompoundFileReader cfb(fileBytes);
    if (!cfb.hasStream(QStringLiteral("WordDocument"))) {
        if (cfb.hasStream(QStringLiteral("EncryptionInfo")) || cfb.hasStream(QStringLiteral("EncryptedPackage")))
            throw Error(kEncrypted);
        throw Error(QStringLiteral("Файл не является документом Word: в нём нет потока WordDocument"));
    }
    word_ = cfb.stream(QStringLiteral("WordDocument"));
    wv_ = ByteView(word_);
    readFib();
    if (word6_) {
        // One stream holds the text, the tables and the pictures.
        tv_ = wv_;
        dv_ = wv_;
        return;
    }
    const QString tableName = (flags_ & fib::kFlagWhichTable) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    if (!cfb.hasStream(tableName))
        damagedDoc(QStringLiteral("нет потока %1").arg(tableName));
    table_ = cfb.stream(tableName);
    tv_ = ByteView(table_);
    if (cfb.hasStream(QStringLiteral("Data"))) {
        data_ = cfb.stream(QStringLiteral("Data"));
        dv_ = ByteView(data_);
    }
    try {
        objectPool_ = cfb.storage(QStringLiteral("ObjectPool"));
    } catch (const Error&) {
        // The objects are lost; the text is still read.
    }
}

std::pair<uint32_t, uint32_t> WordFile::fcLcb(int index) const
{
    if (index < 0 || size_t(index) >= fcLcb_.size())
        return {0, 0};
    return fcLcb_[index];
}

ByteView WordFile::tableRange(int index) const
{
    const auto [fc, lcb] = fcLcb(index);
    if (lcb == 0 || !tv_.ok(fc, lcb))
        return {};
    return tv_.sub(fc, lcb);
}

int32_t WordFile::storyLength(int lwIndex) const
{
    return std::max<int32_t>(0, lw_[size_t(lwIndex)]);
}

void WordFile::readFib()
{
    if (!wv_.ok(0, fib::kBaseSize + 2))
        damagedDoc(QStringLiteral("заголовок FIB обрезан"));
    const uint16_t ident = wv_.u16(0);
    nFib_ = wv_.u16(2);
    flags_ = wv_.u16(0x0A);
    if (flags_ & (fib::kFlagEncrypted | fib::kFlagObfuscated))
        throw Error(kEncrypted);
    if (ident != fib::kIdent && ident != 0xA5DC)
        throw Error(QStringLiteral("Файл не является документом Word: неверная подпись FIB"));
    if (nFib_ >= word6::kFirstNFib && nFib_ <= word6::kLastNFib) {
        readWord6Fib();
        return;
    }
    if (nFib_ < word6::kFirstNFib)
        throw Error(kWord2);
    if (nFib_ < fib::kWord97)
        throw Error(kOldFormat.arg(nFib_));

    qint64 at = fib::kBaseSize;
    const uint16_t csw = wv_.u16(at);
    at += 2 + 2 * qint64(csw);
    const uint16_t cslw = wv_.u16(at);
    at += 2;
    for (int i = 0; i < int(lw_.size()) && i < cslw; ++i)
        lw_[i] = wv_.i32(at + 4 * i);
    at += 4 * qint64(cslw);
    const uint16_t cbRgFcLcb = wv_.u16(at);
    at += 2;
    const int pairs = std::min<int>(cbRgFcLcb, fib::kRgFcLcb97Count);
    if (!wv_.ok(at, qint64(pairs) * 8))
        damagedDoc(QStringLiteral("заголовок FIB обрезан"));
    fcLcb_.resize(fib::kRgFcLcb97Count, {0, 0});
    for (int i = 0; i < pairs; ++i)
        fcLcb_[i] = {wv_.u32(at + 8 * i), wv_.u32(at + 8 * i + 4)};
}

} // namespace talvora::word

namespace talvora::word {

void WordFile::readWord6Fib()
{
    if (!wv_.ok(0, word6::kFibSize))
        damagedDoc(QStringLiteral("заголовок FIB обрезан"));
    word6_ = true;
    codePage_ = codePageOfLanguage(wv_.u16(word6::kLid));
    fcMin_ = wv_.u32(word6::kFcMin);
    fcMac_ = wv_.u32(word6::kFcMac);
    lw_[fib::CbMac] = wv_.i32(word6::kCbMac);
    for (int i = fib::CcpText; i <= fib::CcpHdrTxbx; ++i)
        lw_[size_t(i)] = wv_.i32(word6::kCcpText + 4 * (i - fib::CcpText));
    fcLcb_.assign(fib::kRgFcLcb97Count, {0, 0});
    for (int i = 0; i < word6::kFcLcbCount; ++i)
        fcLcb_[size_t(i)] = {wv_.u32(word6::kFcLcb + 8 * i), wv_.u32(word6::kFcLcb + 8 * i + 4)};
    // The endnotes' tables and fields, where the FIB holds them.
    for (const int index : {fib::PlcfendRef, fib::PlcfendTxt, fib::PlcfFldEdn}) {
        const qint64 at = word6::kFcLcbMore + 8 * qint64(index - word6::kFcLcbMoreFirst);
        if (at + 8 <= qint64(fcMin_) && wv_.ok(at, 8))
            fcLcb_[size_t(index)] = {wv_.u32(at), wv_.u32(at + 4)};
    }
    pnChpFirst_ = wv_.u16(word6::kPnChpFirst);
    pnPapFirst_ = wv_.u16(word6::kPnPapFirst);
    cpnBteChp_ = wv_.u16(word6::kCpnBteChp);
    cpnBtePap_ = wv_.u16(word6::kCpnBtePap);
}

} // namespace talvora::word

// Feeds arbitrary bytes to the document reader, as a BLOB or a raw .doc, and
// writes and reads again whatever it accepts. Any input must end in a model
// or a talvora::Error: a crash, a hang or a runaway allocation is a find.
//
//   doc_reader_fuzz -max_len=65536 -timeout=10 -rss_limit_mb=2048 corpus/ seeds/
//
// Good seeds are the documents of tests/word/data; image.doc carries an
// inline picture, so the picture records of the Data stream get mutated too.
// The Word 6.0/95 seeds (data/fuzz/seed-word6-*.doc, made by the tests'
// builder) take it through the older FIB, 8-bit text, bookmarks, endnotes and
// numbered paragraphs.

#include "common/errors.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_io.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

// Fontconfig keeps the fonts it has looked up (text boxes are drawn with
// text) until the process ends: not a leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray again;
    try {
        const talvora::word::Document doc = talvora::word::readDocument(bytes);
        again = talvora::word::writeDoc(doc);
    } catch (const talvora::Error&) {
        return 0;
    }
    try {
        talvora::word::readDoc(again); // our own output must always read back
    } catch (const talvora::Error&) {
        std::abort();
    }
    return 0;
}

// Damages the streams of real documents rather than the raw file: each input
// picks a seed document and patches bytes of its WordDocument, 1Table or Data
// stream, so the fuzzer spends its time in the tables, lists, fields,
// pictures and stories instead of in the container. Whatever the reader
// accepts is written and read again.
//
//   TALVORA_FUZZ_SEEDS=tests/word/data doc_streams_fuzz -timeout=10 -rss_limit_mb=2048 corpus/
//
// TALVORA_FUZZ_SAVE=FILE writes the damaged document of the input run into
// FILE (to keep a find as a regression test).

#include "common/errors.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace talvora::word;

struct Seed {
    QByteArray wordDocument;
    QByteArray table;
    QByteArray data;
};

std::vector<Seed>& seeds()
{
    static std::vector<Seed> all;
    return all;
}

void addSeed(const QByteArray& docBytes)
{
    try {
        const CompoundFileReader cfb(docBytes);
        Seed s;
        s.wordDocument = cfb.stream(QStringLiteral("WordDocument"));
        // Word 6.0/95 files (seed-word6-*.doc) have no table stream: their
        // tables lie in WordDocument, which gets damaged instead.
        if (cfb.hasStream(QStringLiteral("1Table")))
            s.table = cfb.stream(QStringLiteral("1Table"));
        else if (cfb.hasStream(QStringLiteral("0Table")))
            s.table = cfb.stream(QStringLiteral("0Table"));
        if (cfb.hasStream(QStringLiteral("Data")))
            s.data = cfb.stream(QStringLiteral("Data"));
        seeds().push_back(std::move(s));
    } catch (const talvora::Error&) {
    }
}

// Every .doc of the seed folder, as it is and as our writer writes it.
void loadSeeds()
{
    const QDir top(qEnvironmentVariable("TALVORA_FUZZ_SEEDS", QStringLiteral(TALVORA_FUZZ_SEEDS)));
    // Also the seeds made for particular structures (bookmarks, comments,
    // drawings, sections: seed-*.doc) among the fuzzers' finds in fuzz/.
    QStringList paths;
    for (const QDir& dir : {top, QDir(top.filePath(QStringLiteral("fuzz")))})
        for (const QString& name : dir.entryList({QStringLiteral("*.doc")}, QDir::Files, QDir::Name))
            paths << dir.filePath(name);
    for (const QString& path : paths) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.size() > 200 * 1024)
            continue;
        const QByteArray bytes = f.readAll();
        addSeed(bytes);
        try {
            addSeed(writeDoc(readDoc(bytes)));
        } catch (const talvora::Error&) {
        }
    }
    if (seeds().empty())
        std::abort(); // nothing to damage: the seed folder is wrong
}

QByteArray damaged(const uint8_t* data, size_t size)
{
    Seed s = seeds()[data[0] % seeds().size()];
    QByteArray* streams[] = {&s.wordDocument, &s.table, &s.data};
    // Records of 8 bytes: stream, operation, offset (4 bytes), value (2 bytes).
    for (size_t at = 1; at + 8 <= size; at += 8) {
        QByteArray& stream = *streams[data[at] % 3];
        if (stream.isEmpty())
            continue;
        uint32_t offset = 0;
        std::memcpy(&offset, data + at + 2, 4);
        uint16_t value = 0;
        std::memcpy(&value, data + at + 6, 2);
        const qsizetype pos = qsizetype(offset % uint32_t(stream.size()));
        auto put = [&](qsizetype p, uint8_t b) {
            if (p < stream.size())
                stream[p] = char(b);
        };
        switch (data[at + 1] % 4) {
        case 0: put(pos, uint8_t(value)); break;
        case 1: put(pos, uint8_t(value)); put(pos + 1, uint8_t(value >> 8)); break;
        case 2: // a small or a huge 32-bit number
            for (int i = 0; i < 4; ++i)
                put(pos + i, uint8_t((value & 0x8000) ? 0xFF : (i == 0 ? value : 0)));
            break;
        case 3: { // add to a 16-bit number in place
            if (pos + 1 < stream.size()) {
                uint16_t v = uint16_t(uint8_t(stream[pos]) | (uint8_t(stream[pos + 1]) << 8));
                v = uint16_t(v + value);
                put(pos, uint8_t(v));
                put(pos + 1, uint8_t(v >> 8));
            }
            break;
        }
        }
    }
    CompoundFileWriter out;
    out.setRootClsid(wordDocumentClsid());
    out.addStream(QStringLiteral("WordDocument"), s.wordDocument);
    if (!s.table.isEmpty())
        out.addStream(QStringLiteral("1Table"), s.table);
    if (!s.data.isEmpty())
        out.addStream(QStringLiteral("Data"), s.data);
    return out.finish();
}

} // namespace

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
    loadSeeds();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray doc = damaged(data, size);
    if (qEnvironmentVariableIsSet("TALVORA_FUZZ_SAVE")) {
        QFile f(qEnvironmentVariable("TALVORA_FUZZ_SAVE"));
        if (f.open(QIODevice::WriteOnly))
            f.write(doc);
    }
    QByteArray again;
    try {
        again = writeDoc(readDoc(doc));
    } catch (const talvora::Error&) {
        return 0;
    }
    try {
        readDoc(again); // our own output must always read back
    } catch (const talvora::Error&) {
        std::abort();
    }
    return 0;
}

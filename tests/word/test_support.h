#pragma once
// Helpers shared by the document tests: fixture access and a builder of small
// .doc files with hand-made piece tables, as Word writes them (several pieces,
// 8-bit pieces beside Unicode ones, text stored out of order).

#include "word/binary.h"
#include "word/compound_file.h"
#include "word/document.h"
#include "word/document_text.h"
#include "word/fields.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <utility>
#include <vector>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace talvora::word::test {

inline QString dataPath(const QString& name)
{
    return QStringLiteral(TALVORA_TEST_DATA "/") + name;
}

inline QByteArray readData(const QString& name)
{
    QFile f(dataPath(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The first captured group of every match of `pattern` in `xml`, in order:
// the names of the objects of a kind in LibreOffice's own format.
inline QStringList capturesOf(const QString& xml, const QString& pattern)
{
    QStringList found;
    const QRegularExpression re(pattern);
    for (auto it = re.globalMatch(xml); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

// What LibreOffice makes of documents we wrote: each (name, .doc bytes) is
// converted to `format` ("fodt", "txt:Text", …) and the results come back
// by name, as UTF-8 text. Nothing when LibreOffice is not installed: the
// caller skips its test then. A document LibreOffice could not convert maps
// to an empty text.
inline std::optional<QHash<QString, QString>> libreOfficeConversions(
    const std::vector<std::pair<QString, QByteArray>>& documents, const QString& format)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return std::nullopt;
    QTemporaryDir dir;
    QStringList inputs;
    for (const auto& [name, bytes] : documents) {
        QFile f(dir.filePath(name + QStringLiteral(".doc")));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        inputs << f.fileName();
    }
    QProcess p;
    p.start(soffice, QStringList{QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                                 QStringLiteral("--headless"), QStringLiteral("--convert-to"), format,
                                 QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out"))}
                + inputs);
    p.waitForFinished(300000);
    const QString suffix = format.section(QLatin1Char(':'), 0, 0);
    QHash<QString, QString> out;
    for (const auto& [name, bytes] : documents) {
        QFile f(dir.filePath(QStringLiteral("out/%1.%2").arg(name, suffix)));
        out[name] = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    return out;
}

// Fields whose result LibreOffice works out anew when it opens a file: the
// date and time, its own file name and size, its own page and word counts.
// What it shows for them is not what the file keeps.
inline bool recomputedByLibreOffice(const QString& fieldCode)
{
    static const QStringList keywords = {
        QStringLiteral("DATE"),     QStringLiteral("TIME"),     QStringLiteral("CREATEDATE"),
        QStringLiteral("SAVEDATE"), QStringLiteral("PRINTDATE"), QStringLiteral("EDITTIME"),
        QStringLiteral("FILENAME"), QStringLiteral("FILESIZE"), QStringLiteral("PAGE"),
        QStringLiteral("NUMPAGES"), QStringLiteral("SECTIONPAGES"), QStringLiteral("SECTION"),
        QStringLiteral("NUMWORDS"), QStringLiteral("NUMCHARS"),
    };
    return keywords.contains(fieldKeyword(fieldCode));
}

// Whether `got`, LibreOffice's plain text of a file written from `doc`, is
// the main text of `doc` (as plainText() gives it). The fields LibreOffice
// recomputes are known by their code: their results may read anything
// within their line; everything else must be the same.
inline ::testing::AssertionResult sameTextBesideRecomputedFields(const Document& doc, QString got)
{
    const QChar slot(0xE000);
    Document copy = doc.clone();
    QTextDocument& text = copy.text();
    struct Range {
        int from, to, field;
    };
    std::vector<Range> ranges;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const auto field = fieldOf(f.charFormat());
            if (!field || !recomputedByLibreOffice(field->code))
                continue;
            const int end = f.position() + f.length();
            if (!ranges.empty() && ranges.back().to == f.position() && ranges.back().field == field->id)
                ranges.back().to = end;
            else
                ranges.push_back({f.position(), end, field->id});
        }
    }
    for (auto r = ranges.rbegin(); r != ranges.rend(); ++r) {
        QTextCursor c(&text);
        c.setPosition(r->from);
        c.setPosition(r->to, QTextCursor::KeepAnchor);
        c.insertText(QString(slot));
    }
    const QString expected = plainText(copy).trimmed();
    if (got.startsWith(QChar(0xFEFF)))
        got.remove(0, 1);
    got.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    got = got.trimmed();

    // The literal parts in order, each recomputed result between two of them
    // on one line.
    const QStringList parts = expected.split(slot);
    qsizetype at = 0;
    bool same = got.startsWith(parts.front());
    at = parts.front().size();
    for (qsizetype k = 1; same && k < parts.size(); ++k) {
        const bool last = k + 1 == parts.size();
        const qsizetype found = last ? got.size() - parts[k].size() : got.indexOf(parts[k], at);
        same = found >= at && got.mid(found, parts[k].size()) == parts[k]
            && !got.mid(at, found - at).contains(QChar(u'\n'));
        at = found + parts[k].size();
    }
    same = same && at == got.size();
    if (same)
        return ::testing::AssertionSuccess();
    QString shown = expected;
    shown.replace(slot, QStringLiteral("<поле>"));
    return ::testing::AssertionFailure() << "expected\n" << shown.toStdString() << "\ngot\n" << got.toStdString();
}

struct TestPiece {
    QString text;
    bool compressed = false;   // stored as 8-bit text
    QByteArray chpx;           // character modifiers for the whole piece
    QByteArray papx;           // paragraph modifiers for marks inside the piece
    uint16_t prm = 0;          // the piece's own property modifier
};

struct BuildOptions {
    uint16_t nFib = 0x00C1;
    uint16_t flags = 0x0200;   // the 1Table stream
    uint16_t fcLcbCount = 93;  // pairs in the FIB
    QByteArray sepx;           // section modifiers
    QByteArray styleSheet;     // the style sheet as stored, if any
    QStringList fonts;         // the font table, if any
};

// 8-bit text as stored: the byte of each character (callers use characters
// that have one).
inline QByteArray compressedBytes(const QString& s)
{
    static const std::pair<char16_t, uint8_t> high[] = {
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2013, 0x96}, {0x2014, 0x97}, {0x2026, 0x85}, {0x2122, 0x99}};
    QByteArray out;
    for (QChar c : s) {
        uint8_t b = uint8_t(c.unicode());
        for (auto [u, v] : high)
            if (c.unicode() == u)
                b = v;
        out.append(char(b));
    }
    return out;
}

inline QByteArray buildDoc(const std::vector<TestPiece>& pieces, const BuildOptions& o = {})
{
    QByteArray word(0x800, '\0'); // room for the longest FIB
    ByteWriter w(word);
    // Pieces are stored last first, so the stored order differs from the text order.
    std::vector<uint32_t> fcs(pieces.size());
    for (size_t k = pieces.size(); k-- > 0;) {
        fcs[k] = uint32_t(word.size());
        if (pieces[k].compressed)
            w.bytes(compressedBytes(pieces[k].text));
        else
            for (QChar c : pieces[k].text)
                w.u16(c.unicode());
        w.padTo(2);
    }
    w.padTo(512);

    struct Span { uint32_t start, end; QByteArray prop; };
    auto fkp = [&](bool para) {
        std::vector<Span> spans;
        for (size_t k = 0; k < pieces.size(); ++k) {
            const uint32_t len = uint32_t(pieces[k].text.size()) * (pieces[k].compressed ? 1 : 2);
            spans.push_back({fcs[k], fcs[k] + len, para ? pieces[k].papx : pieces[k].chpx});
        }
        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
        // Contiguous runs: gaps between pieces become runs without properties.
        std::vector<Span> runs;
        for (const Span& s : spans) {
            if (!runs.empty() && runs.back().end < s.start)
                runs.push_back({runs.back().end, s.start, {}});
            runs.push_back(s);
        }
        QByteArray page(512, '\0');
        const int n = int(runs.size());
        for (int i = 0; i < n; ++i)
            put32(page, 4 * i, runs[i].start);
        put32(page, 4 * n, runs.back().end);
        int end = 511;
        for (int i = 0; i < n; ++i) {
            QByteArray rec;
            if (para) {
                QByteArray body(2, '\0'); // style 0
                body += runs[i].prop;
                if (body.size() % 2)
                    rec = QByteArray(1, char((body.size() + 1) / 2)) + body;
                else
                    rec = QByteArray(1, '\0') + QByteArray(1, char(body.size() / 2)) + body;
            } else if (!runs[i].prop.isEmpty()) {
                rec = QByteArray(1, char(runs[i].prop.size())) + runs[i].prop;
            }
            if (rec.isEmpty())
                continue;
            end = (end - int(rec.size())) & ~1;
            std::memcpy(page.data() + end, rec.constData(), size_t(rec.size()));
            page[4 * (n + 1) + (para ? 13 : 1) * i] = char(end / 2);
        }
        page[511] = char(n);
        const uint32_t pn = uint32_t(word.size() / 512);
        word.append(page);
        QByteArray plc;
        ByteWriter p(plc);
        p.u32(runs.front().start);
        p.u32(runs.back().end);
        p.u32(pn);
        return plc;
    };
    const QByteArray plcChpx = fkp(false);
    const QByteArray plcPapx = fkp(true);
    uint32_t fcSepx = 0xFFFFFFFF;
    if (!o.sepx.isEmpty()) {
        fcSepx = uint32_t(word.size());
        w.u16(uint16_t(o.sepx.size()));
        w.bytes(o.sepx);
    }

    QByteArray table;
    ByteWriter t(table);
    std::vector<std::pair<uint32_t, uint32_t>> fcLcb(std::max<int>(o.fcLcbCount, 34), {0, 0});
    auto place = [&](int index, const QByteArray& b) {
        fcLcb[size_t(index)] = {uint32_t(table.size()), uint32_t(b.size())};
        t.bytes(b);
    };
    int32_t cp = 0;
    QByteArray clx;
    ByteWriter c(clx);
    c.u8(2);
    c.u32(uint32_t(4 * (pieces.size() + 1) + 8 * pieces.size()));
    for (const TestPiece& p : pieces) {
        c.i32(cp);
        cp += int32_t(p.text.size());
    }
    c.i32(cp);
    for (size_t k = 0; k < pieces.size(); ++k) {
        c.u16(0);
        c.u32(pieces[k].compressed ? (fcs[k] * 2) | 0x40000000 : fcs[k]);
        c.u16(pieces[k].prm);
    }
    place(33, clx);
    if (!o.styleSheet.isEmpty())
        place(1, o.styleSheet);
    if (!o.fonts.isEmpty()) {
        // Each font: its record's size less one, the fixed part (pitch and
        // family, weight, character set, alternative name, PANOSE, signature),
        // then the name.
        QByteArray ffn;
        ByteWriter n(ffn);
        n.u16(uint16_t(o.fonts.size()));
        n.u16(0);
        for (const QString& name : o.fonts) {
            n.u8(uint8_t(39 + 2 * (name.size() + 1)));
            n.u8(0x16);
            n.u16(400);
            n.u8(name == QLatin1String("Symbol") || name == QLatin1String("Wingdings") ? 2 : 204);
            n.u8(0);
            n.zeros(34);
            for (QChar ch : name)
                n.u16(ch.unicode());
            n.u16(0);
        }
        place(15, ffn);
    }
    place(12, plcChpx);
    place(13, plcPapx);
    if (fcSepx != 0xFFFFFFFF) {
        QByteArray sed;
        ByteWriter s(sed);
        s.i32(0);
        s.i32(cp);
        s.u16(0);
        s.u32(fcSepx);
        s.u16(0);
        s.u32(0xFFFFFFFF);
        place(6, sed);
    }

    QByteArray f;
    ByteWriter fw(f);
    fw.u16(0xA5EC);
    fw.u16(o.nFib);
    fw.u16(0);
    fw.u16(0x0419);
    fw.u16(0);
    fw.u16(o.flags);
    fw.u16(0xBF);
    fw.zeros(32 - f.size());
    fw.u16(14);
    fw.zeros(28);
    fw.u16(22);
    for (int i = 0; i < 22; ++i)
        fw.i32(i == 3 ? cp : i == 0 ? int32_t(word.size()) : 0);
    fw.u16(o.fcLcbCount);
    for (int i = 0; i < o.fcLcbCount; ++i) {
        fw.u32(fcLcb[size_t(i)].first);
        fw.u32(fcLcb[size_t(i)].second);
    }
    fw.u16(0);
    std::memcpy(word.data(), f.constData(), size_t(f.size()));

    CompoundFileWriter cfb;
    cfb.setRootClsid(wordDocumentClsid());
    cfb.addStream(QStringLiteral("WordDocument"), word);
    cfb.addStream((o.flags & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table"), table);
    return cfb.finish();
}

// The same compound file with one stream changed by `edit`.
template <typename Edit>
QByteArray editStream(const QByteArray& file, const QString& name, Edit edit)
{
    CompoundFileReader in(file);
    CompoundFileWriter out;
    out.setRootClsid(in.rootClsid());
    for (const QString& s : in.streamNames()) {
        QByteArray bytes = in.stream(s);
        if (s == name)
            edit(bytes);
        out.addStream(s, bytes);
    }
    return out.finish();
}

} // namespace talvora::word::test

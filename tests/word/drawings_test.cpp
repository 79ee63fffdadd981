// Floating pictures, drawing shapes and text boxes: read from files LibreOffice
// wrote, kept in the model at their anchor characters, written back so that
// LibreOffice sees the same objects, and damaged drawing data survived.

#include "test_support.h"

#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/drawings.h"
#include "word/embedded_objects.h"
#include "word/fib.h"
#include "word/notes.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextFrameFormat>

#include <gtest/gtest.h>

#include <random>

namespace talvora::word::test {

namespace {

// An anchored object of a story with where it stands.
struct Found {
    int block = 0;       // the paragraph's number in the story
    int offset = 0;      // of its character in the paragraph
    int position = 0;    // of its character in the story
    QTextImageFormat format;
    StoredDrawing drawing;
};

std::vector<Found> drawingsIn(const QTextDocument& doc)
{
    std::vector<Found> out;
    int number = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next(), ++number) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const auto d = drawingOf(f.charFormat());
            if (!d)
                continue;
            for (int k = 0; k < f.length(); ++k)
                out.push_back({number, f.position() + k - b.position(), f.position() + k, f.charFormat().toImageFormat(), *d});
        }
    }
    return out;
}

QString textboxText(const StoredDrawing& d)
{
    return d.textbox ? noteText(*d.textbox) : QString();
}

// The position of an anchored image: where QTextDocument lays it.
int floatOf(const QTextDocument& doc, const QTextImageFormat& f)
{
    const auto* frame = qobject_cast<QTextFrame*>(doc.objectForFormat(f));
    return frame ? int(frame->frameFormat().position()) : -1;
}

const QStringList kFixtures = {QStringLiteral("logo"), QStringLiteral("shapes"), QStringLiteral("textbox"),
                               QStringLiteral("header")};

// The objects of the main text, then those of the header.
std::vector<Found> allDrawings(const Document& doc)
{
    std::vector<Found> out = drawingsIn(doc.text());
    if (doc.header)
        for (Found& f : drawingsIn(*doc.header))
            out.push_back(std::move(f));
    return out;
}

QByteArray fixture(const QString& name)
{
    return readData(QStringLiteral("drawings/drawing_%1.doc").arg(name));
}

// The FIB's (fc, lcb) pair `index` of a Word 97 file's WordDocument stream.
constexpr int kFcLcbAt = 32 + 2 + 28 + 2 + 88 + 2;
std::pair<uint32_t, uint32_t> fcLcb(const QByteArray& word, int index)
{
    return {le32(word.constData() + kFcLcbAt + 8 * index), le32(word.constData() + kFcLcbAt + 8 * index + 4)};
}

// The file with its streams changed by `change(word, table)`.
template <typename Change>
QByteArray changed(const QByteArray& file, const Change& change)
{
    CompoundFileReader in(file);
    QByteArray word = in.stream(QStringLiteral("WordDocument"));
    QByteArray table = in.stream(QStringLiteral("1Table"));
    change(word, table);
    CompoundFileWriter out;
    out.setRootClsid(in.rootClsid());
    out.addStream(QStringLiteral("WordDocument"), word);
    out.addStream(QStringLiteral("1Table"), table);
    return out.finish();
}

} // namespace

TEST(Drawings, LogoFloatsLeftOfTheHeadingAtItsSize)
{
    const Document doc = readDoc(fixture(QStringLiteral("logo")));
    const auto found = drawingsIn(doc.text());
    ASSERT_EQ(found.size(), 1u);
    const Found& logo = found.front();
    EXPECT_EQ(logo.block, 0);
    EXPECT_EQ(logo.offset, 0);
    EXPECT_EQ(doc.text().begin().text().mid(1), QStringLiteral("ГКБ №12 Неврологическое отделение"));
    // 2 × 1.5 cm, beside the text on the left, over a picture of its own.
    EXPECT_NEAR(logo.format.width() * kTwipsPerLength, 1134, 1.5);
    EXPECT_NEAR(logo.format.height() * kTwipsPerLength, 850, 1.5);
    EXPECT_EQ(logo.drawing.placement.width(), 1133);
    EXPECT_EQ(logo.drawing.placement.wrap(), 2);
    EXPECT_EQ(floatOf(doc.text(), logo.format), int(QTextFrameFormat::FloatLeft));
    ASSERT_EQ(logo.drawing.blips.size(), 1u);
    EXPECT_EQ(blipKindName(logo.drawing.blips.begin()->second.blip), QStringLiteral("png"));
    const QImage image = doc.text().resource(QTextDocument::ImageResource, QUrl(logo.format.name())).value<QImage>();
    EXPECT_EQ(image.size(), QSize(60, 40));
    EXPECT_EQ(QColor(image.pixel(30, 20)), QColor(20, 90, 200));
    // The rest of the text reads as before.
    EXPECT_EQ(doc.text().begin().next().text(), QStringLiteral("Адрес больницы и телефон."));
}

TEST(Drawings, ShapesAndTextBoxesAreKeptAtTheirAnchors)
{
    const Document shapes = readDoc(fixture(QStringLiteral("shapes")));
    const auto found = drawingsIn(shapes.text());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].block, 0);
    EXPECT_EQ(found[1].block, 1);
    EXPECT_EQ(found[0].drawing.placement.width(), 1700); // 3 cm
    EXPECT_EQ(found[1].drawing.placement.width(), 2267); // 4 cm
    EXPECT_FALSE(found[0].drawing.textbox);
    EXPECT_TRUE(found[0].drawing.blips.empty());

    const Document box = readDoc(fixture(QStringLiteral("textbox")));
    const auto boxes = drawingsIn(box.text());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(textboxText(boxes[0].drawing), QStringLiteral("Заведующий отделением\nИванов И. И."));
    EXPECT_EQ(floatOf(box.text(), boxes[0].format), int(QTextFrameFormat::FloatRight));
    // A logo in the header, a text box in the text: each in its own drawing.
    const Document header = readDoc(fixture(QStringLiteral("header")));
    ASSERT_TRUE(header.header);
    const auto logos = drawingsIn(*header.header);
    ASSERT_EQ(logos.size(), 1u);
    EXPECT_TRUE(logos[0].drawing.header);
    EXPECT_EQ(logos[0].drawing.blips.size(), 1u);
    EXPECT_EQ(header.header->begin().text().mid(1), QStringLiteral("ГКБ №12"));
    const auto marks = drawingsIn(header.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_FALSE(marks[0].drawing.header);
    EXPECT_EQ(textboxText(marks[0].drawing), QStringLiteral("Отметка врача"));

    // The text box's text is not part of the main text.
    EXPECT_EQ(plainText(box).trimmed(), QStringLiteral("Перед надписью и после.\nВторой абзац документа."));
}

TEST(Drawings, WrittenAndReadAgainTheObjectsAreTheSame)
{
    for (const QString& name : kFixtures) {
        SCOPED_TRACE(name.toStdString());
        const Document first = readDoc(fixture(name));
        const Document second = readDoc(writeDoc(first));
        const auto a = allDrawings(first);
        const auto b = allDrawings(second);
        ASSERT_EQ(a.size(), b.size());
        ASSERT_FALSE(a.empty());
        for (size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].position, b[k].position);
            EXPECT_EQ(a[k].drawing.placement, b[k].drawing.placement);
            EXPECT_EQ(a[k].drawing.order, b[k].drawing.order);
            EXPECT_EQ(textboxText(a[k].drawing), textboxText(b[k].drawing));
            ASSERT_EQ(a[k].drawing.blips.size(), b[k].drawing.blips.size());
            if (!a[k].drawing.blips.empty()) {
                EXPECT_EQ(a[k].drawing.blips.begin()->second.blip, b[k].drawing.blips.begin()->second.blip);
            }
            EXPECT_EQ(a[k].drawing.header, b[k].drawing.header);
        }
        EXPECT_EQ(plainText(first), plainText(second));
        // Once written by us, a file is written again the same.
        EXPECT_EQ(writeDoc(second), writeDoc(readDoc(writeDoc(second))));
    }
}

TEST(Drawings, EditingAroundAnAnchorMovesItAlongAndDeletingItDeletesTheObject)
{
    Document doc = readDoc(fixture(QStringLiteral("shapes")));
    {
        QTextCursor c(&doc.text());
        c.insertText(QStringLiteral("Новый первый абзац.\n"));
        c.movePosition(QTextCursor::NextBlock);
        c.insertText(QStringLiteral("Вставка "));
    }
    Document again = readDoc(writeDoc(doc));
    auto found = drawingsIn(again.text());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].block, 1);
    EXPECT_EQ(found[1].block, 2);
    EXPECT_EQ(again.text().findBlockByNumber(2).text().left(9), QStringLiteral("Вставка ") + QChar(QChar::ObjectReplacementCharacter));
    EXPECT_EQ(found[1].drawing.placement.width(), 2267);

    // The rectangle's character deleted: only the arrow is written.
    {
        QTextCursor c(&again.text());
        c.setPosition(found[0].position);
        c.deleteChar();
    }
    Document one = readDoc(writeDoc(again));
    found = drawingsIn(one.text());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].drawing.placement.width(), 2267);
    EXPECT_EQ(found[0].block, 2);

    // All gone: no drawing data at all.
    {
        QTextCursor c(&one.text());
        c.setPosition(found[0].position);
        c.deleteChar();
    }
    const QByteArray none = writeDoc(one);
    CompoundFileReader cfb(none);
    EXPECT_EQ(fcLcb(cfb.stream(QStringLiteral("WordDocument")), fib::DggInfo).second, 0u);
    EXPECT_TRUE(drawingsIn(readDoc(none).text()).empty());
}

TEST(Drawings, ResizedInTheEditorTheObjectIsWrittenAtItsNewSize)
{
    Document doc = readDoc(fixture(QStringLiteral("logo")));
    const Found logo = drawingsIn(doc.text()).front();
    QTextCursor c(&doc.text());
    c.setPosition(logo.position);
    c.setPosition(logo.position + 1, QTextCursor::KeepAnchor);
    QTextImageFormat bigger = logo.format;
    bigger.setWidth(151.2); // 4 cm
    bigger.setHeight(113.3333);
    c.setCharFormat(bigger);
    const Found written = drawingsIn(readDoc(writeDoc(doc)).text()).front();
    EXPECT_EQ(written.drawing.placement.width(), 2268);
    EXPECT_EQ(written.drawing.placement.height(), 1700);
    EXPECT_EQ(written.drawing.placement.left, logo.drawing.placement.left);
}

TEST(Drawings, CopiedDocumentsKeepTheirObjects)
{
    const Document doc = readDoc(fixture(QStringLiteral("textbox")));
    const Document copy = doc.clone();
    const auto a = drawingsIn(doc.text());
    const auto b = drawingsIn(copy.text());
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].drawing, b[0].drawing);
    EXPECT_EQ(floatOf(copy.text(), b[0].format), int(QTextFrameFormat::FloatRight));
}

namespace {

// What LibreOffice shows of a file: its frames with pictures, its drawing
// shapes and its text boxes with their sizes in twips, and the texts of the boxes.
struct Seen {
    std::vector<std::pair<QString, QSize>> objects; // kind and size
    QStringList boxTexts;
};

int twipsOf(const QString& length)
{
    static const QRegularExpression re(QStringLiteral("^([-0-9.]+)(cm|mm|in|pt)$"));
    const auto m = re.match(length);
    if (!m.hasMatch())
        return -1;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    const double inches = unit == QLatin1String("cm") ? v / 2.54
        : unit == QLatin1String("mm")                 ? v / 25.4
        : unit == QLatin1String("pt")                 ? v / 72
                                                      : v;
    return int(std::lround(inches * 1440));
}

Seen seenIn(const QString& fodt)
{
    Seen seen;
    static const QRegularExpression object(
        QStringLiteral("<draw:(frame|custom-shape)\\b([^>]*)>(.*?)</draw:\\1>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression width(QStringLiteral("svg:width=\"([^\"]+)\""));
    static const QRegularExpression height(QStringLiteral("svg:height=\"([^\"]+)\""));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression paragraphEnd(QStringLiteral("</text:p>"));
    for (auto it = object.globalMatch(fodt); it.hasNext();) {
        const auto m = it.next();
        QString kind = m.captured(1);
        const QString inner = m.captured(3);
        if (inner.contains(QLatin1String("<draw:image")))
            kind += QStringLiteral("/image");
        if (inner.contains(QLatin1String("<draw:text-box"))) {
            kind += QStringLiteral("/text-box");
            QString text = inner;
            text.replace(paragraphEnd, QStringLiteral("\n"));
            text.remove(tags);
            seen.boxTexts << text.trimmed();
        }
        // A text box grows with its text: LibreOffice gives its least height.
        const QString attrs = m.captured(2) + inner.left(inner.indexOf(QLatin1Char('>')) + 1);
        seen.objects.push_back({kind, QSize(twipsOf(width.match(attrs).captured(1)), twipsOf(height.match(attrs).captured(1)))});
    }
    return seen;
}

} // namespace

TEST(Drawings, LibreOfficeSeesTheSameObjectsInWhatWeWrite)
{
    std::vector<std::pair<QString, QByteArray>> files;
    for (const QString& name : kFixtures) {
        files.push_back({name, fixture(name)});
        files.push_back({name + QStringLiteral("-ours"), writeDoc(readDoc(fixture(name)))});
    }
    const auto converted = libreOfficeConversions(files, QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const QString& name : kFixtures) {
        SCOPED_TRACE(name.toStdString());
        const Seen before = seenIn(converted->value(name));
        const Seen after = seenIn(converted->value(name + QStringLiteral("-ours")));
        ASSERT_FALSE(before.objects.empty());
        ASSERT_EQ(before.objects.size(), after.objects.size());
        for (size_t k = 0; k < before.objects.size(); ++k) {
            EXPECT_EQ(before.objects[k].first, after.objects[k].first);
            EXPECT_NEAR(before.objects[k].second.width(), after.objects[k].second.width(), 1);
            EXPECT_NEAR(before.objects[k].second.height(), after.objects[k].second.height(), 1);
        }
        EXPECT_EQ(before.boxTexts, after.boxTexts);
    }
}

// Damaged drawing data: record lengths that lie, containers nested without
// end, counts far past what is there, pictures that are missing. The text
// is read whatever the drawings hold, and what is read can be written.
TEST(Drawings, DamagedDrawingDataLeavesTheText)
{
    auto survives = [](const QByteArray& file) {
        try {
            const Document doc = readDoc(file);
            readDoc(writeDoc(doc));
            return true;
        } catch (const Error&) {
            return true; // refused with a message is fine too
        }
    };
    std::mt19937 random(18);
    for (const QString& name : kFixtures) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray file = fixture(name);
        // Bytes of the drawing data and of the anchor and text box tables flipped.
        for (int round = 0; round < 150; ++round) {
            const QByteArray bad = changed(file, [&](QByteArray& word, QByteArray& table) {
                for (int index : {int(fib::DggInfo), int(fib::PlcSpaMom), int(fib::PlcftxbxTxt)}) {
                    const auto [fc, lcb] = fcLcb(word, index);
                    for (int k = 0; lcb && k < 4; ++k)
                        table[fc + random() % lcb] = char(random());
                }
            });
            EXPECT_TRUE(survives(bad));
        }
        // Every record length of the drawing data made huge, one at a time.
        const auto [fc, lcb] = fcLcb(CompoundFileReader(file).stream(QStringLiteral("WordDocument")), fib::DggInfo);
        for (uint32_t at = fc; at + 8 <= fc + lcb; ++at) {
            const QByteArray bad = changed(file, [&](QByteArray&, QByteArray& table) {
                if (le16(table.constData() + at + 2) >= 0xF000)
                    put32(table, at + 4, 0x7FFFFFF0);
            });
            EXPECT_TRUE(survives(bad));
        }
    }

    // A drawing of containers nested ten thousand deep, anchored.
    const QByteArray deep = changed(fixture(QStringLiteral("shapes")), [](QByteArray& word, QByteArray& table) {
        const auto [fc, lcb] = fcLcb(word, fib::DggInfo);
        QByteArray nested;
        for (int k = 0; k < 10000; ++k) {
            QByteArray outer;
            ByteWriter w(outer);
            w.u16(0x000F);
            w.u16(0xF004);
            w.u32(uint32_t(nested.size()));
            nested = outer + nested;
        }
        // Replaces the first shape of the drawing with the nest, lengths kept right around it.
        const int shape = table.indexOf(QByteArray::fromHex("0f0004f0"), fc + 8 + 56 + 1 + 8 + 16 + 8 + 40);
        ASSERT_GT(shape, 0);
        QByteArray content = table.mid(fc, lcb);
        content.replace(shape - fc, 8 + le32(table.constData() + shape + 4), nested);
        const qsizetype added = content.size() - qsizetype(lcb);
        // The drawing and group containers that hold it grow with it.
        for (qsizetype at : {qsizetype(56 + 8 + 1 + 4), qsizetype(56 + 8 + 1 + 8 + 16 + 4)})
            put32(content, at, uint32_t(le32(content.constData() + at) + added));
        put32(word, kFcLcbAt + 8 * fib::DggInfo, uint32_t(table.size()));
        put32(word, kFcLcbAt + 8 * fib::DggInfo + 4, uint32_t(content.size()));
        table.append(content);
    });
    EXPECT_TRUE(survives(deep));
    EXPECT_EQ(plainText(readDoc(deep)), plainText(readDoc(fixture(QStringLiteral("shapes")))));

    // Anchors by the thousand for one shape, and a picture that is not there.
    const QByteArray many = changed(fixture(QStringLiteral("logo")), [](QByteArray& word, QByteArray& table) {
        const auto [fc, lcb] = fcLcb(word, fib::PlcSpaMom);
        QByteArray plc;
        ByteWriter w(plc);
        constexpr int count = 20000;
        for (int k = 0; k <= count; ++k)
            w.i32(0);
        for (int k = 0; k < count; ++k)
            w.bytes(table.mid(fc + 8, 26));
        put32(word, kFcLcbAt + 8 * fib::PlcSpaMom, uint32_t(table.size()));
        put32(word, kFcLcbAt + 8 * fib::PlcSpaMom + 4, uint32_t(plc.size()));
        table.append(plc);
        const auto [dfc, dlcb] = fcLcb(word, fib::DggInfo);
        const int bse = table.indexOf(QByteArray::fromHex("07f0"), dfc) - 2;
        put32(table, bse + 8 + 28, 0x7FFFFF00); // the picture's place, far past the stream
    });
    const Document doc = readDoc(many);
    const auto found = drawingsIn(doc.text());
    ASSERT_EQ(found.size(), 1u); // one character anchors one object
    EXPECT_TRUE(found[0].drawing.blips.empty());
    EXPECT_TRUE(survives(many));

    // Corners far out on either side: the size does not wrap around.
    const QByteArray far = changed(fixture(QStringLiteral("logo")), [](QByteArray& word, QByteArray& table) {
        const auto [fc, lcb] = fcLcb(word, fib::PlcSpaMom);
        put32(table, fc + 8 + 4, uint32_t(-1895828810));
        put32(table, fc + 8 + 12, 1895828830);
    });
    Document farDoc = readDoc(far);
    const Found wide = drawingsIn(farDoc.text()).front();
    EXPECT_DOUBLE_EQ(wide.format.width(), twipsToLength(31680));
    QTextCursor c(&farDoc.text());
    c.setPosition(wide.position);
    c.setPosition(wide.position + 1, QTextCursor::KeepAnchor);
    QTextImageFormat smaller = wide.format;
    smaller.setWidth(100);
    c.setCharFormat(smaller);
    EXPECT_EQ(drawingsIn(readDoc(writeDoc(farDoc)).text()).front().drawing.placement.width(), 1500);
}

} // namespace talvora::word::test

namespace talvora::word::test {

namespace {

// A formula object as Word stores one: its class, its picture header
// (1134 × 454 twips) with a small metafile, and its own data.
CompoundStorage formulaObject(uint32_t id)
{
    CompoundStorage s;
    s.name = QStringLiteral("_%1").arg(id);
    s.clsid = QByteArray::fromHex("02ce020000000000c000000000000046"); // Equation.3
    QByteArray pic(0x44, '\0');
    put32(pic, 0, 0x44);
    put16(pic, 4, 0x44);
    put16(pic, 6, 8); // MM_ANISOTROPIC
    put16(pic, 8, 2000);
    put16(pic, 10, 800);
    put16(pic, 0x1C, 1134);
    put16(pic, 0x1E, 454);
    put16(pic, 0x20, 1000);
    put16(pic, 0x22, 1000);
    // A metafile: its header, one rectangle, its end.
    QByteArray wmf;
    ByteWriter w(wmf);
    w.u16(1);
    w.u16(9);
    w.u16(0x0300);
    w.u32(9 + 7 + 3);
    w.u16(0);
    w.u32(7);
    w.u16(0);
    w.u32(7);
    w.u16(0x041B); // Rectangle
    w.u16(10);
    w.u16(10);
    w.u16(0);
    w.u16(0);
    w.u32(3);
    w.u16(0);
    QByteArray objInfo(6, '\0');
    objInfo[0] = 0x00;
    s.streams = {{QStringLiteral("\x01") + QStringLiteral("CompObj"), QByteArray(64, '\x01')},
                 {QStringLiteral("\x03") + QStringLiteral("ObjInfo"), objInfo},
                 {QStringLiteral("\x03") + QStringLiteral("PIC"), pic},
                 {QStringLiteral("\x03") + QStringLiteral("META"), wmf},
                 {QStringLiteral("Equation Native"), QByteArray(5000, '\x2A')}};
    CompoundStorage inner;
    inner.name = QStringLiteral("Nested");
    inner.streams = {{QStringLiteral("Inside"), QByteArray("вложенные данные")}};
    s.storages.push_back(inner);
    return s;
}

Document documentWithObjects(int count)
{
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Формула: "));
    for (int k = 0; k < count; ++k) {
        QTextImageFormat f;
        f.setWidth(twipsToLength(1134));
        f.setHeight(twipsToLength(454));
        f.setProperty(EmbeddedObjectProperty, saveStorage(formulaObject(4711)));
        c.insertImage(f);
    }
    c.insertText(QStringLiteral(" конец."));
    return doc;
}

std::vector<CompoundStorage> objectsIn(const QTextDocument& doc)
{
    std::vector<CompoundStorage> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const auto o = embeddedObjectOf(it.fragment().charFormat()))
                for (int k = 0; k < it.fragment().length(); ++k)
                    out.push_back(*o);
    return out;
}

} // namespace

TEST(EmbeddedObjects, StoragesWithStoragesInsideAreWrittenAndReadWhole)
{
    CompoundFileWriter w;
    w.addStream(QStringLiteral("WordDocument"), QByteArray(5000, 'w'));
    CompoundStorage pool;
    pool.name = QStringLiteral("ObjectPool");
    pool.storages = {formulaObject(1), formulaObject(22)};
    w.addStorage(pool);
    const CompoundFileReader r(w.finish());
    EXPECT_EQ(r.stream(QStringLiteral("WordDocument")), QByteArray(5000, 'w'));
    const auto back = r.storage(QStringLiteral("ObjectPool"));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->storages.size(), 2u);
    // The reader meets the entries in tree order: compare them sorted.
    auto sorted = [](CompoundStorage s) {
        std::sort(s.streams.begin(), s.streams.end());
        std::sort(s.storages.begin(), s.storages.end(),
                  [](const CompoundStorage& a, const CompoundStorage& b) { return a.name < b.name; });
        return s;
    };
    std::vector<CompoundStorage> objects = back->storages;
    std::sort(objects.begin(), objects.end(), [](const CompoundStorage& a, const CompoundStorage& b) { return a.name < b.name; });
    EXPECT_EQ(sorted(objects[0]), sorted(formulaObject(1)));
    EXPECT_EQ(sorted(objects[1]), sorted(formulaObject(22)));
    EXPECT_FALSE(r.storage(QStringLiteral("Missing")));
}

TEST(EmbeddedObjects, ObjectsAreKeptWithTheirStoragesAndDeletedWithTheirCharacters)
{
    const Document doc = documentWithObjects(2);
    const QByteArray file = writeDoc(doc);
    // Two copies of one object: two storages of their own.
    const auto pool = CompoundFileReader(file).storage(QStringLiteral("ObjectPool"));
    ASSERT_TRUE(pool);
    ASSERT_EQ(pool->storages.size(), 2u);
    EXPECT_NE(pool->storages[0].name, pool->storages[1].name);

    Document read = readDoc(file);
    const auto objects = objectsIn(read.text());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].streams.size(), formulaObject(1).streams.size());
    EXPECT_EQ(objects[0].storages.size(), 1u);
    EXPECT_EQ(plainText(read).trimmed(), QStringLiteral("Формула:  конец."));
    QTextImageFormat shown;
    for (auto it = read.text().begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isImageFormat())
            shown = it.fragment().charFormat().toImageFormat();
    // The size of the picture shown for it, as pictures are read (to a hundredth).
    EXPECT_NEAR(shown.width(), twipsToLength(1134), 0.03);
    EXPECT_NEAR(shown.height(), twipsToLength(454), 0.03);

    // Written again, the same objects under the same names.
    const auto again = CompoundFileReader(writeDoc(read)).storage(QStringLiteral("ObjectPool"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->storages.size(), 2u);

    // Both characters deleted: no object pool.
    QTextCursor c(&read.text());
    c.setPosition(9);
    c.setPosition(11, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    EXPECT_FALSE(CompoundFileReader(writeDoc(read)).storage(QStringLiteral("ObjectPool")));
}

TEST(EmbeddedObjects, DamagedObjectPoolLeavesTheText)
{
    const QByteArray file = writeDoc(documentWithObjects(1));
    std::mt19937 random(4711);
    for (int round = 0; round < 200; ++round) {
        QByteArray bad = file;
        for (int k = 0; k < 8; ++k)
            bad[qsizetype(random() % bad.size())] = char(random());
        try {
            const Document doc = readDoc(bad);
            readDoc(writeDoc(doc));
        } catch (const Error&) {
        }
    }
    // A stored object that names no storage is left out; the text stays.
    QByteArray noPool = changed(file, [](QByteArray&, QByteArray&) {});
    const Document doc = readDoc(noPool);
    EXPECT_TRUE(objectsIn(doc.text()).empty());
    EXPECT_EQ(plainText(doc).trimmed(), QStringLiteral("Формула:  конец."));
}

} // namespace talvora::word::test

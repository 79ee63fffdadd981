// Inline pictures: read from the Data stream into image formats, written
// back from them, kept byte for byte when they cannot be shown, and damaged
// picture data that leaves the text in place.

#include "test_support.h"
#include "word/doc_pictures.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sprm.h"

#include "common/errors.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

// The pictures of a story in text order.
std::vector<QTextImageFormat> imagesOf(const QTextDocument& doc)
{
    std::vector<QTextImageFormat> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                for (int i = 0; i < it.fragment().length(); ++i)
                    out.push_back(it.fragment().charFormat().toImageFormat());
    return out;
}

QImage imageOf(const QTextDocument& doc, const QTextImageFormat& f)
{
    return doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
}

QByteArray streamOf(const QByteArray& file, const QString& name)
{
    return CompoundFileReader(file).stream(name);
}

QByteArray withStream(const QByteArray& file, const QString& name, const QByteArray& bytes)
{
    CompoundFileReader in(file);
    CompoundFileWriter out;
    out.setRootClsid(in.rootClsid());
    for (const QString& s : in.streamNames())
        if (s != name)
            out.addStream(s, in.stream(s));
    out.addStream(name, bytes);
    return out.finish();
}

// Drawing records as Word stores them.
QByteArray drawingRecord(uint16_t version, uint16_t instance, uint16_t type, const QByteArray& body)
{
    QByteArray r;
    ByteWriter w(r);
    w.u16(uint16_t(version | (instance << 4)));
    w.u16(type);
    w.u32(uint32_t(body.size()));
    w.bytes(body);
    return r;
}

QByteArray blip(uint16_t type, uint16_t instance, const QByteArray& data, bool metafile)
{
    QByteArray body(16 * (1 + (instance & 1)), '\x5A'); // one identifier or two
    if (metafile) {
        ByteWriter w(body);
        w.u32(uint32_t(data.size())); // uncompressed size
        w.zeros(16);                  // bounds
        w.u32(12700 * 72);            // size in EMUs
        w.u32(12700 * 36);
        w.u32(uint32_t(data.size())); // saved size
        w.u8(0xFE);                   // not compressed
        w.u8(0xFE);
    } else {
        body.append(char(0xFF));
    }
    return drawingRecord(0, instance, type, body + data);
}

QByteArray stored(const QByteArray& blipRecord)
{
    QByteArray body;
    ByteWriter w(body);
    w.u8(2);
    w.u8(2);
    w.zeros(16);
    w.u16(0xFF);
    w.u32(uint32_t(blipRecord.size()));
    w.u32(1);
    w.u32(0);
    w.zeros(4);
    return drawingRecord(2, 2, 0xF007, body + blipRecord);
}

QByteArray shape(uint32_t shownPicture)
{
    QByteArray props;
    ByteWriter w(props);
    w.u16(0x4104);
    w.u32(shownPicture);
    QByteArray fsp(8, '\0');
    put32(fsp, 0, 0x401);
    put32(fsp, 4, 0x800);
    return drawingRecord(0x0F, 0, 0xF004, drawingRecord(2, 75, 0xF00A, fsp) + drawingRecord(3, 1, 0xF00B, props));
}

struct Header {
    int16_t mode = 0x64;
    int16_t goalWidth = 1440, goalHeight = 720; // 72 × 36 pt
    uint16_t scaleX = 1000, scaleY = 1000;
    int16_t crop[4] = {0, 0, 0, 0};             // left, top, right, bottom
};

QByteArray pictureRecord(const QByteArray& body, const Header& h = {})
{
    QByteArray r;
    ByteWriter w(r);
    w.u32(uint32_t(0x44 + body.size()));
    w.u16(0x44);
    w.i16(h.mode);
    w.zeros(20);
    w.i16(h.goalWidth);
    w.i16(h.goalHeight);
    w.u16(h.scaleX);
    w.u16(h.scaleY);
    for (int16_t c : h.crop)
        w.i16(c);
    w.zeros(24);
    return r + body;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    image.save(&b, format);
    return bytes;
}

QImage testImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 40));
    image.setPixelColor(0, 0, QColor(0, 0, 255));
    return image;
}

QByteArray charProps(uint32_t location, bool data = false)
{
    QByteArray g;
    ByteWriter w(g);
    w.u16(sprm::CFSpec);
    w.u8(1);
    w.u16(sprm::CPicLocation);
    w.u32(location);
    if (data) {
        w.u16(sprm::CFData);
        w.u8(1);
    }
    return g;
}

// "До " + picture characters at `locations` of `dataStream` + " после".
QByteArray docWithPictures(const QByteArray& dataStream, const std::vector<uint32_t>& locations, bool data = false)
{
    std::vector<test::TestPiece> pieces{{QStringLiteral("До "), false, {}, {}}};
    for (uint32_t at : locations)
        pieces.push_back({QString(QChar(1)), false, charProps(at, data), {}});
    pieces.push_back({QStringLiteral(" после\r"), false, {}, {}});
    return withStream(test::buildDoc(pieces), QStringLiteral("Data"), dataStream);
}

QByteArray docWithPicture(const QByteArray& dataStream, uint32_t location = 0, bool data = false)
{
    return docWithPictures(dataStream, {location}, data);
}

// A model holding a stored record, as the reader leaves it.
Document modelWithRecord(const QByteArray& record)
{
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Схема: "));
    QTextImageFormat f;
    f.setName(pictureResourceName(record));
    f.setProperty(PictureRecordProperty, record);
    c.insertImage(f);
    c.insertText(QStringLiteral(" конец"));
    return doc;
}

const QString kText = QStringLiteral("До  после\n");

// Qt's image decoders complain of damaged data; here that is expected.
class QuietDecoders {
public:
    QuietDecoders() : previous_(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietDecoders() { qInstallMessageHandler(previous_); }

private:
    QtMessageHandler previous_;
};

} // namespace

TEST(Pictures, FixtureReadsAsAnImageOfItsShownSize)
{
    const Document doc = readDoc(test::readData(QStringLiteral("image.doc")));
    const auto images = imagesOf(doc.text());
    ASSERT_EQ(images.size(), 1u);
    const QTextImageFormat& f = images[0];
    // 1.27 × 0.85 cm: a 360 × 240 twip picture scaled by 200 % and 200.8 %.
    EXPECT_DOUBLE_EQ(f.width(), 36.0);
    EXPECT_NEAR(f.height(), 24.096, 0.001);
    EXPECT_EQ(f.intProperty(PictureKindProperty), int(PictureKind::Png));
    const QImage image = imageOf(doc.text(), f);
    EXPECT_EQ(image.size(), QSize(24, 16));
    // The picture adds nothing to the text.
    EXPECT_EQ(plainText(doc).section(QChar(u'\n'), 0, 0), QStringLiteral("Логотип больницы:  после рисунка."));

    const QJsonArray runs = dumpDocument(doc)[QStringLiteral("paragraphs")][0][QStringLiteral("runs")].toArray();
    QJsonObject picture;
    for (const auto& run : runs)
        if (run.toObject().contains(QStringLiteral("picture")))
            picture = run[QStringLiteral("picture")].toObject();
    EXPECT_EQ(picture[QStringLiteral("type")].toString(), QStringLiteral("png"));
    EXPECT_EQ(picture[QStringLiteral("width")].toDouble(), 36.0);
    EXPECT_EQ(picture[QStringLiteral("pixelWidth")].toInt(), 24);
    EXPECT_EQ(picture[QStringLiteral("pixelHeight")].toInt(), 16);
    EXPECT_EQ(picture[QStringLiteral("bytes")].toInt(), 728);

    // A copy of the document shows the same image.
    const Document copy = doc.clone();
    EXPECT_EQ(imageOf(copy.text(), imagesOf(copy.text())[0]).size(), QSize(24, 16));
}

TEST(Pictures, UneditedPictureIsWrittenBackAsItWas)
{
    const QByteArray original = test::readData(QStringLiteral("image.doc"));
    const QByteArray written = writeDoc(readDoc(original));
    EXPECT_EQ(streamOf(written, QStringLiteral("Data")), streamOf(original, QStringLiteral("Data")));
    const Document again = readDoc(written);
    ASSERT_EQ(imagesOf(again.text()).size(), 1u);
    EXPECT_EQ(imagesOf(again.text())[0].width(), 36.0);
}

TEST(Pictures, ResizedPictureKeepsItsDataAndTakesTheNewSize)
{
    Document doc = readDoc(test::readData(QStringLiteral("image.doc")));
    const QByteArray before = parsePictureRecord(imagesOf(doc.text())[0].property(PictureRecordProperty).toByteArray())->data();
    QTextCursor c(&doc.text());
    c.setPosition(doc.text().toPlainText().indexOf(QChar::ObjectReplacementCharacter));
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    QTextImageFormat f = c.charFormat().toImageFormat();
    f.setWidth(72);
    f.setHeight(48);
    c.setCharFormat(f);

    const Document again = readDoc(writeDoc(doc));
    const auto images = imagesOf(again.text());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_NEAR(images[0].width(), 72, 0.05);
    EXPECT_NEAR(images[0].height(), 48, 0.05);
    EXPECT_EQ(parsePictureRecord(images[0].property(PictureRecordProperty).toByteArray())->data(), before);
}

TEST(Pictures, PicturesThatCannotBeShownAreKeptByteForByte)
{
    const QByteArray emf = QByteArray::fromHex("0100000084000000") + QByteArray(120, '\x11');
    const QByteArray wmf = QByteArray::fromHex("d7cdc69a0000") + QByteArray(60, '\x22');
    for (const auto& [type, instance, data, kind] : {std::tuple{uint16_t(0xF01A), uint16_t(0x3D4), emf, PictureKind::Emf},
                                                     std::tuple{uint16_t(0xF01B), uint16_t(0x217), wmf, PictureKind::Wmf}}) {
        const QByteArray record = pictureRecord(shape(1) + stored(blip(type, instance, data, true)));

        // Read from a file: a box of the picture's size, the record kept.
        const Document read = readDoc(docWithPicture(record));
        EXPECT_EQ(plainText(read), kText);
        const auto images = imagesOf(read.text());
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].intProperty(PictureKindProperty), int(kind));
        EXPECT_EQ(images[0].width(), 72.0);
        EXPECT_EQ(images[0].height(), 36.0);
        EXPECT_FALSE(imageOf(read.text(), images[0]).isNull());
        EXPECT_EQ(images[0].property(PictureRecordProperty).toByteArray(), record);
        EXPECT_EQ(parsePictureRecord(record)->data(), data);

        // Through our writer, twice: the same record.
        const QByteArray once = writeDoc(read);
        EXPECT_EQ(streamOf(once, QStringLiteral("Data")), record);
        EXPECT_EQ(streamOf(writeDoc(readDoc(once)), QStringLiteral("Data")), record);
        // A model carrying the record (as after a copy and paste) writes it too.
        EXPECT_EQ(streamOf(writeDoc(modelWithRecord(record)), QStringLiteral("Data")), record);
    }
}

TEST(Pictures, BitmapKindsAreDecoded)
{
    const QImage image = testImage(6, 4);
    QByteArray dib = encoded(image, "BMP").mid(14); // a BMP file without its file header
    struct Case {
        uint16_t type, instance;
        QByteArray data;
        PictureKind kind;
    };
    for (const Case& k : {Case{0xF01D, 0x46A, encoded(image, "JPEG"), PictureKind::Jpeg},
                          Case{0xF01E, 0x6E1, encoded(image, "PNG"), PictureKind::Png},
                          Case{0xF01F, 0x7A8, dib, PictureKind::Dib}}) {
        const QByteArray body = shape(1) + stored(blip(k.type, k.instance, k.data, false));
        const Document doc = readDoc(docWithPicture(pictureRecord(body)));
        const auto images = imagesOf(doc.text());
        ASSERT_EQ(images.size(), 1u) << int(k.kind);
        EXPECT_EQ(images[0].intProperty(PictureKindProperty), int(k.kind));
        const QImage shown = imageOf(doc.text(), images[0]);
        ASSERT_EQ(shown.size(), QSize(6, 4)) << int(k.kind);
        if (k.kind != PictureKind::Jpeg) { // lossy
            EXPECT_EQ(shown.pixelColor(0, 0), QColor(0, 0, 255)) << int(k.kind);
        }
        EXPECT_EQ(pictureFacts(images[0], doc.text()).pixels, QSize(6, 4));
    }
}

TEST(Pictures, ShapeChoosesAmongStoredPicturesAndCropCutsThem)
{
    const QByteArray first = blip(0xF01E, 0x6E0, encoded(testImage(2, 2), "PNG"), false);
    const QByteArray second = blip(0xF01E, 0x6E0, encoded(testImage(40, 20), "PNG"), false);
    Header h;
    h.crop[0] = 360; // a quarter of the 1440-twip width off the left
    const QByteArray record = pictureRecord(shape(2) + stored(first) + stored(second), h);
    const Document doc = readDoc(docWithPicture(record));
    const auto images = imagesOf(doc.text());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width(), 54.0);
    EXPECT_EQ(imageOf(doc.text(), images[0]).size(), QSize(30, 20));
    EXPECT_EQ(pictureFacts(images[0], doc.text()).pixels, QSize(40, 20));

    // A linked picture has the file name before its shape.
    Header linked;
    linked.mode = 0x66;
    const QByteArray name("C:\\logo.png");
    const QByteArray linkedRecord = pictureRecord(char(name.size()) + name + shape(1) + stored(first), linked);
    const std::optional<StoredPicture> p = parsePictureRecord(linkedRecord);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->fileName, QString::fromLatin1(name));
    EXPECT_EQ(p->kind, PictureKind::Png);
}

TEST(Pictures, ImagesWithoutStoredRecordsAreWrittenAsPng)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(testImage(10, 8).save(file));

    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Вставлено: "));
    const QImage pasted = testImage(30, 20);
    doc.text().addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted-1")), pasted);
    QTextImageFormat sized;
    sized.setName(QStringLiteral("pasted-1"));
    sized.setWidth(45);
    sized.setHeight(30);
    c.insertImage(sized);
    c.insertImage(pasted); // its own size: 30 × 20 px at 96 dpi
    QTextImageFormat fromFile;
    fromFile.setName(QUrl::fromLocalFile(file).toString());
    c.insertImage(fromFile);
    QTextImageFormat missing;
    missing.setName(QStringLiteral("nowhere.png"));
    c.insertImage(missing);
    c.insertText(QStringLiteral(" конец"));

    const Document again = readDoc(writeDoc(doc));
    EXPECT_EQ(plainText(again), QStringLiteral("Вставлено:  конец\n"));
    const auto images = imagesOf(again.text());
    ASSERT_EQ(images.size(), 3u); // the one that names no image is left out
    const QSizeF sizes[] = {{45, 30}, {22.5, 15}, {7.5, 6}};
    const QSize pixels[] = {{30, 20}, {30, 20}, {10, 8}};
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].intProperty(PictureKindProperty), int(PictureKind::Png)) << i;
        EXPECT_NEAR(images[i].width(), sizes[i].width(), 0.05) << i;
        EXPECT_NEAR(images[i].height(), sizes[i].height(), 0.05) << i;
        const QImage shown = imageOf(again.text(), images[i]);
        EXPECT_EQ(shown.size(), pixels[i]) << i;
        EXPECT_EQ(shown.pixelColor(0, 0), QColor(0, 0, 255)) << i;
        EXPECT_EQ(shown.pixelColor(5, 5), QColor(200, 30, 40)) << i;
    }
}

TEST(Pictures, HeaderPictureIsWrittenAndReadBack)
{
    Document doc;
    QTextCursor(&doc.text()).insertText(QStringLiteral("Текст"));
    doc.header = Document().takeText();
    QTextCursor h(doc.header.get());
    h.insertImage(testImage(12, 12));
    h.insertText(QStringLiteral(" ГКБ № 1"));

    const Document again = readDoc(writeDoc(doc));
    EXPECT_EQ(plainText(again), QStringLiteral("Текст\n"));
    ASSERT_TRUE(again.header);
    EXPECT_EQ(again.header->toPlainText().remove(QChar::ObjectReplacementCharacter), QStringLiteral(" ГКБ № 1"));
    const auto images = imagesOf(*again.header);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(imageOf(*again.header, images[0]).size(), QSize(12, 12));
    EXPECT_TRUE(imagesOf(again.text()).empty());
}

TEST(Pictures, DamagedPictureDataLeavesTheText)
{
    const QuietDecoders quiet;
    const QByteArray good = pictureRecord(shape(1) + stored(blip(0xF01E, 0x6E0, encoded(testImage(4, 4), "PNG"), false)));
    auto pictureCount = [](const QByteArray& file) {
        const Document doc = readDoc(file);
        EXPECT_EQ(plainText(doc), kText);
        writeDoc(doc);
        return imagesOf(doc.text()).size();
    };
    EXPECT_EQ(pictureCount(docWithPicture(good)), 1u);

    // Where no picture can be found, there is none.
    EXPECT_EQ(pictureCount(docWithPicture(good, uint32_t(good.size()))), 0u);   // past the end
    EXPECT_EQ(pictureCount(docWithPicture(good, 0xFFFFFFF0)), 0u);              // far past it
    EXPECT_EQ(pictureCount(docWithPicture(good.left(0x30))), 0u);               // no whole header
    EXPECT_EQ(pictureCount(docWithPicture(good, 0, true)), 0u);                 // the data of a field
    EXPECT_EQ(pictureCount(test::buildDoc({{QStringLiteral("До "), false, {}, {}},
                                           {QString(QChar(1)), false, charProps(0), {}},
                                           {QStringLiteral(" после\r"), false, {}, {}}})), 0u); // no Data stream
    QByteArray header = good;
    put16(header, 4, 0x40);
    EXPECT_EQ(pictureCount(docWithPicture(header)), 0u);
    EXPECT_EQ(pictureCount(docWithPicture(pictureRecord(shape(1)))), 0u); // a shape without a picture
    EXPECT_EQ(pictureCount(docWithPicture(pictureRecord(drawingRecord(0, 0, 0xF123, QByteArray(40, 'x'))))), 0u);

    // A record longer than the stream: what is there is read.
    QByteArray longer = good;
    put32(longer, 0, 0x7FFFFFFF);
    EXPECT_EQ(pictureCount(docWithPicture(longer)), 1u);
    // A picture record claiming more than its container holds is passed over.
    QByteArray overlong = good;
    const qsizetype blipSize = blip(0xF01E, 0x6E0, encoded(testImage(4, 4), "PNG"), false).size();
    put32(overlong, overlong.size() - blipSize + 4, 0x10000000);
    EXPECT_EQ(pictureCount(docWithPicture(overlong)), 0u);
    // Containers nested deeper than any drawing are not followed.
    QByteArray nested = stored(blip(0xF01E, 0x6E0, encoded(testImage(4, 4), "PNG"), false));
    for (int i = 0; i < 64; ++i)
        nested = drawingRecord(0x0F, 0, 0xF003, nested);
    EXPECT_EQ(pictureCount(docWithPicture(pictureRecord(nested))), 0u);
    // Unknown records beside the known ones are skipped.
    EXPECT_EQ(pictureCount(docWithPicture(pictureRecord(drawingRecord(0, 0, 0xF123, QByteArray("??")) + shape(1)
                                                         + stored(blip(0xF01E, 0x6E0, encoded(testImage(4, 4), "PNG"), false))))),
              1u);

    // Records overlapping one another are read only as far as the stream is long.
    const QByteArray outer = pictureRecord(shape(1) + stored(blip(0xF01E, 0x6E0, encoded(testImage(4, 4), "PNG"), false)) + good);
    EXPECT_EQ(pictureCount(docWithPictures(outer, {0, uint32_t(outer.size() - good.size())})), 1u);
    // With room for both, both are read; a place named again is the same picture again.
    EXPECT_EQ(pictureCount(docWithPictures(outer + good, {0, uint32_t(outer.size() - good.size()), 0})), 3u);

    // Picture data no decoder takes is kept, and shown as a box.
    const QByteArray garbage = pictureRecord(shape(1) + stored(blip(0xF01E, 0x6E0, QByteArray(50, '\x7F'), false)));
    const Document doc = readDoc(docWithPicture(garbage));
    const auto images = imagesOf(doc.text());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_FALSE(imageOf(doc.text(), images[0]).isNull());
    EXPECT_EQ(streamOf(writeDoc(doc), QStringLiteral("Data")), garbage);
}

TEST(Pictures, RandomDamageToThePictureRecord)
{
    const QuietDecoders quiet;
    const QByteArray original = test::readData(QStringLiteral("image.doc"));
    const QByteArray data = streamOf(original, QStringLiteral("Data"));
    QRandomGenerator rng(7003);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = data;
        const int hits = 1 + int(rng.bounded(8));
        for (int i = 0; i < hits; ++i)
            damaged[int(rng.bounded(qint64(damaged.size())))] = char(rng.bounded(256));
        if (round % 10 == 0)
            damaged.truncate(int(rng.bounded(qint64(damaged.size()))));
        const Document doc = readDoc(withStream(original, QStringLiteral("Data"), damaged));
        EXPECT_EQ(plainText(doc), plainText(readDoc(original))) << round;
        readDoc(writeDoc(doc));
    }
}

TEST(Pictures, ToolDumpsPicturesAndFindsThoseOfHtmlBesideThePage)
{
    auto tool = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TALVORA_DOC_TOOL), args);
        p.waitForFinished(60000);
        return p.readAllStandardOutput();
    };
    const QByteArray dump = tool({QStringLiteral("dump"), test::dataPath(QStringLiteral("image.doc"))});
    EXPECT_TRUE(dump.contains("\"type\": \"png\"")) << dump.toStdString();
    EXPECT_TRUE(dump.contains("\"pixelWidth\": 24"));
    EXPECT_TRUE(dump.contains("\"bytes\": 728"));

    // The tool runs elsewhere; the page names its picture relative to itself.
    QTemporaryDir dir;
    ASSERT_TRUE(testImage(24, 16).save(dir.filePath(QStringLiteral("logo.png"))));
    QFile html(dir.filePath(QStringLiteral("page.html")));
    ASSERT_TRUE(html.open(QIODevice::WriteOnly));
    html.write("<p>Логотип: <img src=\"logo.png\" width=\"48\" height=\"32\"> конец</p>");
    html.close();
    const QString out = dir.filePath(QStringLiteral("page.doc"));
    tool({QStringLiteral("from-html"), html.fileName(), out});
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const Document doc = readDoc(written.readAll());
    const auto images = imagesOf(doc.text());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(imageOf(doc.text(), images[0]).size(), QSize(24, 16));
    EXPECT_NEAR(images[0].width(), 48, 0.05);
}

TEST(Pictures, LibreOfficeShowsOurPicturesAtTheirSize)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    Document pasted;
    QTextCursor c(&pasted.text());
    c.insertText(QStringLiteral("Вставлено: "));
    pasted.text().addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("p")), testImage(30, 20));
    QTextImageFormat f;
    f.setName(QStringLiteral("p"));
    f.setWidth(72); // 1 in
    f.setHeight(36);
    c.insertImage(f);
    const std::pair<QString, QByteArray> files[] = {
        {QStringLiteral("fixture.doc"), writeDoc(readDoc(test::readData(QStringLiteral("image.doc"))))},
        {QStringLiteral("pasted.doc"), writeDoc(pasted)},
    };
    QStringList inputs;
    for (const auto& [name, bytes] : files) {
        QFile out(dir.filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        inputs << out.fileName();
    }
    QProcess p;
    p.start(soffice, QStringList{QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                                 QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("fodt"),
                                 QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out"))}
                + inputs);
    ASSERT_TRUE(p.waitForFinished(300000));

    // The frame of the picture and its size in inches.
    auto frame = [&](const QString& name) -> QSizeF {
        QFile in(dir.filePath(QStringLiteral("out/") + name + QStringLiteral(".fodt")));
        if (!in.open(QIODevice::ReadOnly))
            return {};
        const QString xml = QString::fromUtf8(in.readAll());
        const auto m = QRegularExpression(QStringLiteral("<draw:frame[^>]*svg:width=\"([0-9.]+)in\" svg:height=\"([0-9.]+)in\"[^>]*>\\s*<draw:image"))
                           .match(xml);
        return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    };
    const QSizeF fixture = frame(QStringLiteral("fixture"));
    EXPECT_NEAR(fixture.width(), 0.5, 0.005);
    EXPECT_NEAR(fixture.height(), 0.334, 0.005);
    const QSizeF ours = frame(QStringLiteral("pasted"));
    EXPECT_NEAR(ours.width(), 1.0, 0.005);
    EXPECT_NEAR(ours.height(), 0.5, 0.005);
}

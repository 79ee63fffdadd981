// Inline pictures: read from the Data stream into image formats, written back
// (byte for byte when unedited or not decodable), and damaged picture data
// that leaves the text in place.

#include "test_support.h"
#include "word/doc_pictures.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sprm.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace talvora::word;

namespace {

std::vector<QTextImageFormat> imagesOf(const QTextDocument& doc)
{
    std::vector<QTextImageFormat> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            for (int i = 0; i < it.fragment().length() && it.fragment().charFormat().isImageFormat(); ++i)
                out.push_back(it.fragment().charFormat().toImageFormat());
    return out;
}

QImage imageOf(const QTextDocument& doc, const QTextImageFormat& f)
{
    return doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
}

QByteArray dataOf(const QByteArray& file)
{
    return CompoundFileReader(file).stream(QStringLiteral("Data"));
}

QByteArray withData(const QByteArray& file, const QByteArray& data)
{
    CompoundFileReader in(file);
    CompoundFileWriter out;
    out.setRootClsid(in.rootClsid());
    for (const QString& s : in.streamNames())
        if (s != QLatin1String("Data"))
            out.addStream(s, in.stream(s));
    out.addStream(QStringLiteral("Data"), data);
    return out.finish();
}

QByteArray drawing(uint16_t version, uint16_t instance, uint16_t type, const QByteArray& body)
{
    QByteArray r;
    ByteWriter w(r);
    w.u16(uint16_t(version | (instance << 4)));
    w.u16(type);
    w.u32(uint32_t(body.size()));
    return r + body;
}

// A picture record of its kind: identifiers, then a tag byte or a metafile header.
QByteArray blip(uint16_t type, uint16_t instance, const QByteArray& data)
{
    const bool metafile = type >= 0xF01A && type <= 0xF01C;
    return drawing(0, instance, type, QByteArray(16 * (1 + (instance & 1)) + (metafile ? 34 : 1), '\0') + data);
}

// Red, with a blue first pixel.
QImage testImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 40));
    image.setPixelColor(0, 0, QColor(0, 0, 255));
    return image;
}

QByteArray png(const QImage& image = testImage(4, 4), const char* format = "PNG")
{
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    image.save(&b, format);
    return bytes;
}

QByteArray stored(const QByteArray& blipRecord)
{
    return drawing(2, 2, 0xF007, QByteArray(36, '\0') + blipRecord);
}

// A picture frame showing stored picture `shown` (1-based).
QByteArray shape(uint32_t shown)
{
    QByteArray props;
    ByteWriter(props).u16(0x4104);
    ByteWriter(props).u32(shown);
    return drawing(0x0F, 0, 0xF004, drawing(2, 75, 0xF00A, QByteArray(8, '\0')) + drawing(3, 1, 0xF00B, props));
}

// The header: 72 × 36 pt at 100 %, cropped by `cropLeft` twips.
QByteArray record(const QByteArray& body, int16_t mode = 0x64, int16_t cropLeft = 0)
{
    QByteArray r(0x44, '\0');
    put32(r, 0, uint32_t(0x44 + body.size()));
    put16(r, 4, 0x44);
    put16(r, 6, uint16_t(mode));
    put16(r, 28, 1440);
    put16(r, 30, 720);
    put16(r, 32, 1000);
    put16(r, 34, 1000);
    put16(r, 36, uint16_t(cropLeft));
    return r + body;
}

// "До " + picture characters at `locations` of `data` + " после".
QByteArray docWithPictures(const QByteArray& data, const std::vector<uint32_t>& locations, bool fieldData = false)
{
    std::vector<test::TestPiece> pieces{{QStringLiteral("До "), false, {}, {}}};
    for (uint32_t at : locations) {
        QByteArray g;
        ByteWriter w(g);
        w.u16(sprm::CFSpec);
        w.u8(1);
        w.u16(sprm::CPicLocation);
        w.u32(at);
        if (fieldData) {
            w.u16(sprm::CFData);
            w.u8(1);
        }
        pieces.push_back({QString(QChar(1)), false, g, {}});
    }
    pieces.push_back({QStringLiteral(" после\r"), false, {}, {}});
    return withData(test::buildDoc(pieces), data);
}

const QString kText = QStringLiteral("До  после\n");

} // namespace

TEST(Pictures, FixtureIsReadAtItsSizeAndWrittenBackUnchanged)
{
    const QByteArray original = test::readData(QStringLiteral("image.doc"));
    const Document doc = readDoc(original);
    const auto images = imagesOf(doc.text());
    ASSERT_EQ(images.size(), 1u);
    // 1.27 × 0.85 cm: 360 × 240 twips scaled by 200 % and 200.8 %.
    EXPECT_DOUBLE_EQ(images[0].width(), twipsToLength(720));
    EXPECT_NEAR(images[0].height(), 32.128, 0.001);
    EXPECT_EQ(imageOf(doc.text(), images[0]).size(), QSize(24, 16));
    EXPECT_EQ(imageOf(doc.clone().text(), images[0]).size(), QSize(24, 16));
    EXPECT_EQ(plainText(doc).section(QChar(u'\n'), 0, 0), QStringLiteral("Логотип больницы:  после рисунка."));
    const QJsonObject picture = dumpDocument(doc)[QStringLiteral("paragraphs")][0][QStringLiteral("runs")][1]
                                    .toObject()[QStringLiteral("picture")].toObject();
    EXPECT_EQ(picture, (QJsonObject{{QStringLiteral("type"), QStringLiteral("png")}, {QStringLiteral("width"), 36},
                                    {QStringLiteral("height"), 24.1}, {QStringLiteral("pixelWidth"), 24},
                                    {QStringLiteral("pixelHeight"), 16}, {QStringLiteral("bytes"), 728}}));

    EXPECT_EQ(dataOf(writeDoc(doc)), dataOf(original));

    // Resized: the same picture data at the new size.
    Document edited = readDoc(original);
    QTextCursor c(&edited.text());
    c.setPosition(edited.text().toPlainText().indexOf(QChar::ObjectReplacementCharacter));
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    QTextImageFormat f = images[0];
    f.setWidth(72);
    f.setHeight(48);
    c.setCharFormat(f);
    const auto resized = imagesOf(readDoc(writeDoc(edited)).text());
    ASSERT_EQ(resized.size(), 1u);
    EXPECT_NEAR(resized[0].width(), 72, 0.05);
    EXPECT_NEAR(resized[0].height(), 48, 0.05);
    const auto dataIn = [](const QTextImageFormat& i) { return parsePictureRecord(i.property(PictureRecordProperty).toByteArray())->data(); };
    EXPECT_EQ(dataIn(resized[0]), dataIn(images[0]));
}

TEST(Pictures, MetafilesAreKeptByteForByte)
{
    for (const auto& [type, instance, kind] : {std::tuple{0xF01A, 0x3D4, PictureKind::Emf}, std::tuple{0xF01B, 0x217, PictureKind::Wmf}}) {
        const QByteArray data = QByteArray(100, char(type));
        const QByteArray r = record(shape(1) + stored(blip(uint16_t(type), uint16_t(instance), data)));
        const Document read = readDoc(docWithPictures(r, {0}));
        EXPECT_EQ(plainText(read), kText);
        const auto images = imagesOf(read.text());
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].intProperty(PictureKindProperty), int(kind));
        EXPECT_EQ(QSizeF(images[0].width(), images[0].height()), QSizeF(96, 48));
        EXPECT_FALSE(imageOf(read.text(), images[0]).isNull()); // a box
        EXPECT_EQ(parsePictureRecord(r)->data(), data);
        const QByteArray once = writeDoc(read);
        EXPECT_EQ(dataOf(once), r);
        EXPECT_EQ(dataOf(writeDoc(readDoc(once))), r);
    }
}

TEST(Pictures, StoredBitmapsAreDecodedChosenAndCropped)
{
    const QImage image = testImage(40, 20);
    for (const auto& [data, type, instance] : {std::tuple{png(image, "JPEG"), 0xF01D, 0x46A},
                                               std::tuple{png(image), 0xF01E, 0x6E1},
                                               std::tuple{png(image, "BMP").mid(14), 0xF01F, 0x7A8}}) {
        // The shape shows the second picture, a quarter of it cut off on the left.
        const QByteArray body = shape(2) + stored(blip(0xF01E, 0x6E0, png())) + stored(blip(uint16_t(type), uint16_t(instance), data));
        const Document doc = readDoc(docWithPictures(record(body, 0x64, 360), {0}));
        const auto images = imagesOf(doc.text());
        ASSERT_EQ(images.size(), 1u) << type;
        EXPECT_EQ(images[0].width(), 72.0);
        const QImage shown = imageOf(doc.text(), images[0]);
        EXPECT_EQ(shown.size(), QSize(30, 20)) << type;
        if (type != 0xF01D) { // JPEG is lossy
            EXPECT_EQ(shown.pixelColor(29, 0), QColor(200, 30, 40)) << type;
        }
        EXPECT_EQ(pictureFacts(images[0], doc.text()).pixels, QSize(40, 20)) << type;
    }
    // A linked picture has its file name before the shape.
    const auto linked = parsePictureRecord(record(QByteArray("\x05" "a.png") + shape(1) + stored(blip(0xF01E, 0x6E0, png())), 0x66));
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->fileName, QStringLiteral("a.png"));
    EXPECT_EQ(linked->kind, PictureKind::Png);
}

TEST(Pictures, ImagesWithoutStoredRecordsAreWrittenAsPng)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(testImage(10, 8).save(file));
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Вставлено: "));
    doc.text().addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted-1")), testImage(30, 20));
    QTextImageFormat sized, fromFile, missing;
    sized.setName(QStringLiteral("pasted-1"));
    sized.setWidth(45);
    sized.setHeight(30);
    fromFile.setName(QUrl::fromLocalFile(file).toString());
    missing.setName(QStringLiteral("nowhere.png"));
    c.insertImage(sized);
    c.insertImage(testImage(30, 20)); // its own size: 30 × 20 px at 96 dpi
    c.insertImage(fromFile);
    c.insertImage(missing);
    doc.header = Document().takeText();
    QTextCursor(doc.header.get()).insertImage(testImage(12, 12));

    const Document again = readDoc(writeDoc(doc));
    EXPECT_EQ(plainText(again), QStringLiteral("Вставлено: \n"));
    const auto images = imagesOf(again.text());
    ASSERT_EQ(images.size(), 3u); // the one naming no image is left out
    const QSizeF sizes[] = {{45, 30}, {30, 20}, {10, 8}};
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
    ASSERT_TRUE(again.header);
    ASSERT_EQ(imagesOf(*again.header).size(), 1u);
    EXPECT_EQ(imageOf(*again.header, imagesOf(*again.header)[0]).size(), QSize(12, 12));
}

TEST(Pictures, DamagedPictureDataLeavesTheText)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}); // decoders complain
    const QByteArray good = record(shape(1) + stored(blip(0xF01E, 0x6E0, png())));
    QByteArray badHeader = good, longer = good, overlong = good;
    put16(badHeader, 4, 0x40);
    put32(longer, 0, 0x7FFFFFFF);
    put32(overlong, overlong.size() - png().size() - 25 + 4, 0x10000000); // the bitmap's own length
    QByteArray nested = stored(blip(0xF01E, 0x6E0, png()));
    for (int i = 0; i < 64; ++i)
        nested = drawing(0x0F, 0, 0xF003, nested);
    const QByteArray outer = record(shape(1) + stored(blip(0xF01E, 0x6E0, png())) + good);
    const uint32_t inner = uint32_t(outer.size() - good.size());
    const QByteArray undecodable = record(shape(1) + stored(blip(0xF01E, 0x6E0, QByteArray(50, '\x7F'))));
    const struct {
        QByteArray data;
        std::vector<uint32_t> at;
        size_t pictures;
        bool fieldData = false;
    } cases[] = {
        {good, {0}, 1},
        {good, {uint32_t(good.size())}, 0},
        {good, {0xFFFFFFF0}, 0},
        {good.left(0x30), {0}, 0},
        {good, {0}, 0, true}, // the data of a field, not a picture
        {badHeader, {0}, 0},
        {record(shape(1)), {0}, 0},
        {longer, {0}, 1},      // what there is of it is read
        {overlong, {0}, 0},
        {record(nested), {0}, 0},
        {record(drawing(0, 0, 0xF123, "??") + shape(1) + stored(blip(0xF01E, 0x6E0, png()))), {0}, 1},
        // Overlapping records are read only as far as the stream is long.
        {outer, {0, inner}, 1},
        {outer + good, {0, inner, 0}, 3},
        {undecodable, {0}, 1}, // kept, shown as a box
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Document doc = readDoc(docWithPictures(cases[i].data, cases[i].at, cases[i].fieldData));
        EXPECT_EQ(plainText(doc), kText) << i;
        EXPECT_EQ(imagesOf(doc.text()).size(), cases[i].pictures) << i;
        writeDoc(doc);
    }
    EXPECT_EQ(dataOf(writeDoc(readDoc(docWithPictures(undecodable, {0})))), undecodable);

    const QByteArray original = test::readData(QStringLiteral("image.doc"));
    const QString text = plainText(readDoc(original));
    QRandomGenerator rng(7003);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = dataOf(original);
        const int hits = 1 + int(rng.bounded(8));
        for (int i = 0; i < hits; ++i)
            damaged[int(rng.bounded(qint64(damaged.size())))] = char(rng.bounded(256));
        if (round % 10 == 0)
            damaged.truncate(int(rng.bounded(qint64(damaged.size()))));
        const Document doc = readDoc(withData(original, damaged));
        EXPECT_EQ(plainText(doc), text) << round;
        readDoc(writeDoc(doc));
    }
    qInstallMessageHandler(nullptr);
}

TEST(Pictures, LibreOfficeShowsOurPicturesAtTheirSize)
{
    Document pasted;
    QTextImageFormat f;
    f.setName(QStringLiteral("p"));
    f.setWidth(96); // an inch
    f.setHeight(48);
    pasted.text().addResource(QTextDocument::ImageResource, QUrl(f.name()), testImage(30, 20));
    QTextCursor(&pasted.text()).insertImage(f);
    const auto fodt = test::libreOfficeConversions(
        {{QStringLiteral("fixture"), writeDoc(readDoc(test::readData(QStringLiteral("image.doc"))))},
         {QStringLiteral("pasted"), writeDoc(pasted)}},
        QStringLiteral("fodt"));
    if (!fodt)
        GTEST_SKIP() << "LibreOffice is not installed";
    // The frame around the picture, in inches.
    auto frame = [&](const QString& name) {
        const auto m = QRegularExpression(QStringLiteral("<draw:frame[^>]*svg:width=\"([0-9.]+)in\" svg:height=\"([0-9.]+)in\"[^>]*>\\s*<draw:image"))
                           .match(fodt->value(name));
        return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    };
    const QSizeF fixture = frame(QStringLiteral("fixture")), ours = frame(QStringLiteral("pasted"));
    EXPECT_NEAR(fixture.width(), 0.5, 0.005);
    EXPECT_NEAR(fixture.height(), 0.334, 0.005);
    EXPECT_NEAR(ours.width(), 1.0, 0.005);
    EXPECT_NEAR(ours.height(), 0.5, 0.005);
}

// Formulas embedded by LibreOffice in a .doc: read as object characters at
// their places in the text, written back so that LibreOffice loads the same
// formulas, and after editing around them it finds the ones left.

#include "test_support.h"

#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/embedded_objects.h"
#include "word/fields.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace talvora::word::test {

namespace {

// Two formulas in Russian text: the dose in the second paragraph, the
// creatinine clearance (a fraction) in the third.
QByteArray formulasFixture()
{
    return readData(QStringLiteral("objects/objects_formulas.doc"));
}

const QString kDosePrefix = QStringLiteral("Суточная доза: ");
const QString kClearancePrefix = QStringLiteral("Клиренс креатинина: ");

// An embedded object of the main text with where it stands.
struct Placed {
    int block = 0;  // the paragraph's number
    int offset = 0; // of its character in the paragraph's text
    int position = 0;
    CompoundStorage storage;
};

// A storage with its parts in name order: a compound file lists them in its own.
CompoundStorage sorted(CompoundStorage s)
{
    std::sort(s.streams.begin(), s.streams.end());
    for (CompoundStorage& child : s.storages)
        child = sorted(std::move(child));
    std::sort(s.storages.begin(), s.storages.end(),
              [](const CompoundStorage& a, const CompoundStorage& b) { return a.name < b.name; });
    return s;
}

std::vector<Placed> objectsOf(const QTextDocument& doc)
{
    std::vector<Placed> out;
    int number = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next(), ++number)
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (const auto o = embeddedObjectOf(f.charFormat()))
                for (int k = 0; k < f.length(); ++k)
                    out.push_back({number, f.position() + k - b.position(), f.position() + k, *o});
        }
    return out;
}

// What LibreOffice shows for one embedded object in its flat format: the
// element that holds it ("object" when it loaded the object, "object-ole"
// when it keeps only its bytes) and, for a formula, its MathML with the
// layout between tags taken out.
struct LoObject {
    QString kind;
    QString formula;
    bool operator==(const LoObject&) const = default;
};

std::vector<LoObject> objectsSeenBy(const QString& fodt)
{
    static const QRegularExpression element(QStringLiteral(R"(<draw:(object|object-ole)\b[^>]*?(/>|>(.*?)</draw:\1>))"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression math(QStringLiteral(R"(<math\b.*</math>)"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression between(QStringLiteral(R"(>\s+<)"));
    std::vector<LoObject> out;
    for (auto it = element.globalMatch(fodt); it.hasNext();) {
        const auto m = it.next();
        QString formula = math.match(m.captured(3)).captured(0);
        formula.replace(between, QStringLiteral("><"));
        out.push_back({m.captured(1), formula});
    }
    return out;
}

// The text of LibreOffice's paragraph that holds its `k`-th object, its tags taken out.
QString paragraphTextAround(const QString& fodt, int k)
{
    static const QRegularExpression paragraph(QStringLiteral(R"(<text:p\b[^>]*>(.*?)</text:p>)"),
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression objects(QStringLiteral(R"(<draw:frame\b.*?</draw:frame>)"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    int seen = 0;
    for (auto it = paragraph.globalMatch(fodt); it.hasNext();) {
        QString inner = it.next().captured(1);
        const int here = int(inner.count(QLatin1String("<draw:object")));
        if (k < seen + here) {
            inner.replace(objects, QStringLiteral("[объект]"));
            return inner.remove(tags);
        }
        seen += here;
    }
    return {};
}

std::ostream& operator<<(std::ostream& os, const LoObject& o)
{
    return os << o.kind.toStdString() << ": " << o.formula.toStdString();
}

// LibreOffice's flat text of each document, or a reason to skip: LibreOffice
// missing, or its Math module missing (it then drops the formulas of the
// fixture itself).
struct Conversions {
    QHash<QString, QString> fodt;
    QString skip;
};

Conversions convertWithFixture(std::vector<std::pair<QString, QByteArray>> documents)
{
    documents.insert(documents.begin(), {QStringLiteral("fixture"), formulasFixture()});
    const auto converted = libreOfficeConversions(documents, QStringLiteral("fodt"));
    if (!converted)
        return {{}, QStringLiteral("LibreOffice (soffice) is not installed")};
    const auto original = objectsSeenBy(converted->value(QStringLiteral("fixture")));
    if (original.size() != 2 || original[0].kind != QLatin1String("object") || original[0].formula.isEmpty())
        return {{}, QStringLiteral("LibreOffice's Math module is not installed (libreoffice-math-nogui): "
                                   "it does not load the fixture's formulas")};
    return {*converted, {}};
}

} // namespace

TEST(EmbeddedFormulas, ReadAsObjectCharactersAtTheirPlacesWithTheirWholeStorage)
{
    const QByteArray file = formulasFixture();
    ASSERT_FALSE(file.isEmpty());
    const auto pool = CompoundFileReader(file).storage(QStringLiteral("ObjectPool"));
    ASSERT_TRUE(pool);
    ASSERT_EQ(pool->storages.size(), 2u);

    const Document doc = readDoc(file);
    const auto objects = objectsOf(doc.text());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].block, 1);
    EXPECT_EQ(objects[0].offset, doc.text().findBlockByNumber(1).text().indexOf(QChar::ObjectReplacementCharacter));
    EXPECT_TRUE(doc.text().findBlockByNumber(1).text().startsWith(kDosePrefix));
    EXPECT_EQ(objects[1].block, 2);
    EXPECT_TRUE(doc.text().findBlockByNumber(2).text().startsWith(kClearancePrefix));
    // Each character carries the storage it names, as the file holds it.
    for (const Placed& o : objects) {
        const auto stored = std::find_if(pool->storages.begin(), pool->storages.end(),
                                         [&](const CompoundStorage& s) { return s.name == o.storage.name; });
        ASSERT_NE(stored, pool->storages.end()) << o.storage.name.toStdString();
        EXPECT_EQ(o.storage, *stored);
    }
    EXPECT_NE(objects[0].storage.name, objects[1].storage.name);
    EXPECT_EQ(plainText(doc).count(QStringLiteral("Конец расчёта.")), 1);
}

TEST(EmbeddedFormulas, LibreOfficeLoadsTheSameFormulasFromWhatWeWrite)
{
    const Document doc = readDoc(formulasFixture());
    const QByteArray ours = writeDoc(doc);
    const QByteArray again = writeDoc(readDoc(ours));
    const Conversions c = convertWithFixture({{QStringLiteral("ours"), ours}, {QStringLiteral("again"), again}});
    if (!c.skip.isEmpty())
        GTEST_SKIP() << c.skip.toStdString();
    const QString fixture = c.fodt.value(QStringLiteral("fixture"));
    const auto original = objectsSeenBy(fixture);
    for (const QString& name : {QStringLiteral("ours"), QStringLiteral("again")}) {
        SCOPED_TRACE(name.toStdString());
        const QString written = c.fodt.value(name);
        ASSERT_FALSE(written.isEmpty()) << "LibreOffice could not open the file";
        EXPECT_EQ(objectsSeenBy(written), original);
        for (int k = 0; k < 2; ++k)
            EXPECT_EQ(paragraphTextAround(written, k), paragraphTextAround(fixture, k));
    }
}

TEST(EmbeddedFormulas, LibreOfficeFindsTheFormulaLeftAfterEditingAroundIt)
{
    Document doc = readDoc(formulasFixture());
    auto objects = objectsOf(doc.text());
    ASSERT_EQ(objects.size(), 2u);
    QTextCursor c(&doc.text());
    // The second formula deleted, then text typed just before the first.
    c.setPosition(objects[1].position);
    c.setPosition(objects[1].position + 1, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    c.setPosition(objects[0].position);
    c.insertText(QStringLiteral("ровно "));

    const QByteArray edited = writeDoc(doc);
    const auto left = objectsOf(readDoc(edited).text());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(sorted(left[0].storage), sorted(objects[0].storage));
    const auto pool = CompoundFileReader(edited).storage(QStringLiteral("ObjectPool"));
    ASSERT_TRUE(pool);
    EXPECT_EQ(pool->storages.size(), 1u);

    const Conversions conv = convertWithFixture({{QStringLiteral("edited"), edited}});
    if (!conv.skip.isEmpty())
        GTEST_SKIP() << conv.skip.toStdString();
    const auto original = objectsSeenBy(conv.fodt.value(QStringLiteral("fixture")));
    const QString written = conv.fodt.value(QStringLiteral("edited"));
    const auto seen = objectsSeenBy(written);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], original[0]);
    EXPECT_TRUE(paragraphTextAround(written, 0).startsWith(kDosePrefix + QStringLiteral("ровно [объект]")))
        << paragraphTextAround(written, 0).toStdString();
    EXPECT_TRUE(written.contains(kClearancePrefix));
}

// An object whose EMBED field was lost (pasted without it, or kept on the
// picture character alone as older files of ours have it) gets a field of
// its own: Word and LibreOffice look for the object on a field's separator.
TEST(EmbeddedFormulas, AnObjectWithoutItsFieldIsWrittenInAFieldOfItsOwn)
{
    const auto fixtureObjects = objectsOf(readDoc(formulasFixture()).text());
    ASSERT_EQ(fixtureObjects.size(), 2u);
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Доза: "));
    QTextImageFormat f;
    f.setWidth(twipsToLength(1134));
    f.setHeight(twipsToLength(454));
    f.setProperty(EmbeddedObjectProperty, saveStorage(fixtureObjects[0].storage));
    c.insertImage(f);
    c.insertText(QStringLiteral(" в сутки."));

    const QByteArray written = writeDoc(doc);
    const Document read = readDoc(written);
    const auto objects = objectsOf(read.text());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].offset, 6);
    EXPECT_EQ(sorted(objects[0].storage), sorted(fixtureObjects[0].storage));
    QTextCursor at(const_cast<QTextDocument*>(&read.text()));
    at.setPosition(objects[0].position + 1);
    const auto field = innermostFieldOf(at.charFormat());
    ASSERT_TRUE(field);
    EXPECT_EQ(fieldKeyword(field->code), QStringLiteral("EMBED"));
    EXPECT_EQ(plainText(read).trimmed(), QStringLiteral("Доза:  в сутки."));
    // Written again, the field it now has is used, not doubled.
    EXPECT_EQ(objectsOf(readDoc(writeDoc(read)).text()).size(), 1u);

    const Conversions conv = convertWithFixture({{QStringLiteral("own"), written}});
    if (!conv.skip.isEmpty())
        GTEST_SKIP() << conv.skip.toStdString();
    const auto seen = objectsSeenBy(conv.fodt.value(QStringLiteral("own")));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], objectsSeenBy(conv.fodt.value(QStringLiteral("fixture")))[0]);
}

// The program an object belongs to, from its CompObj stream; streams that
// end early or hold nonsense give none.
TEST(EmbeddedFormulas, ProgramNameOfAnObject)
{
    auto compObj = [](const QByteArray& userType, uint32_t clipboard, const QByteArray& progId) {
        QByteArray b(28, '\0');
        ByteWriter w(b);
        w.u32(uint32_t(userType.size() + 1));
        w.bytes(userType + '\0');
        w.u32(clipboard);
        if (clipboard == 0xFFFFFFFF)
            w.u32(3);
        w.u32(uint32_t(progId.size() + 1));
        w.bytes(progId + '\0');
        return b;
    };
    auto object = [](const QByteArray& stream) {
        CompoundStorage s;
        s.streams = {{QStringLiteral("\x01") + QStringLiteral("CompObj"), stream}};
        return s;
    };
    EXPECT_EQ(objectProgId(object(compObj("Microsoft Equation 3.0", 0, "Equation.3"))), QStringLiteral("Equation.3"));
    EXPECT_EQ(objectProgId(object(compObj("Лист", 0xFFFFFFFF, "Excel.Sheet.8"))), QStringLiteral("Excel.Sheet.8"));
    const QByteArray whole = compObj("Microsoft Equation 3.0", 0, "Equation.3");
    for (qsizetype cut = 0; cut < whole.size() - 1; ++cut)
        EXPECT_TRUE(objectProgId(object(whole.left(cut))).isEmpty()) << cut;
    EXPECT_TRUE(objectProgId(object(compObj("x", 0, "EMBED \"bad\" name"))).isEmpty());
    EXPECT_TRUE(objectProgId(object(QByteArray(64, '\xFF'))).isEmpty());
    EXPECT_TRUE(objectProgId(CompoundStorage{}).isEmpty());
}

// talvora-doc info lists the object pool with a storage for each object.
TEST(EmbeddedFormulas, ToolInfoListsTheObjectPool)
{
    QProcess p;
    p.start(QStringLiteral(TALVORA_DOC_TOOL), {QStringLiteral("info"), dataPath(QStringLiteral("objects/objects_formulas.doc"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("\nWordDocument ")));
    EXPECT_TRUE(out.contains(QStringLiteral("\nObjectPool/\n"))) << out.toStdString();
    static const QRegularExpression object(QStringLiteral(R"(\n  _\d+/ clsid [0-9a-f]{32}\n(    \S+( \S+)* \d+\n)*    Equation Native \d+\n)"));
    EXPECT_EQ(out.count(object), 2) << out.toStdString();
}

} // namespace talvora::word::test

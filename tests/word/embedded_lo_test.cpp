// Formulas embedded by LibreOffice in a .doc: read as object characters at
// their places in the text, written back so that LibreOffice loads the same
// formulas, and after editing around them it finds the ones left.

#include "test_support.h"

#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/embedded_objects.h"
#include "word/fields.h"

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

} // namespace talvora::word::test

// The starter department's boilerplates ("рыбы"): one of each kind fits every
// adult patient, their plain text is what the program reads from their
// documents, their texts read as a neurologist writes them, and a faulty set
// is refused before anything is written.

#include "starter_department.h"
#include "tool_databases.h"

#include "../word/test_support.h"

#include "boilerplates/boilerplate_selection.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "data/sqlite_db.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace talvora;
using namespace talvora::tools::test;

namespace {

struct StoredBoilerplate {
    qint64 id = 0;
    qint64 department = 0;
    QString name;
    int kind = 0, minAge = 0, maxAge = 0, sex = 0;
    QByteArray document;
    QString text;
};

enum Kind { Anamnesis = 1, NeuroStatus = 2, SomaticStatus = 3, Recommendations = 4 };
enum Sex { Male = 1, Female = 2, Either = 3 };

// One database made by `init` for the tests that only read it.
class StarterBoilerplates : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db_ = new Databases;
        const ToolRun run = db_->tool({QStringLiteral("init")});
        ASSERT_EQ(run.rc, 0) << run.err.toStdString();
        output_ = run.out;
        for (const QVariantMap& r :
             db_->rows(QStringLiteral("select FID, Fotd, Fname, FType, Fres, Fmin, Fmax, Fmem, Fmale from Fish order by FID"))) {
            StoredBoilerplate b;
            b.id = r.value(QStringLiteral("FID")).toLongLong();
            b.department = r.value(QStringLiteral("Fotd")).toLongLong();
            b.name = r.value(QStringLiteral("Fname")).toString();
            b.kind = r.value(QStringLiteral("FType")).toInt();
            b.document = r.value(QStringLiteral("Fres")).toByteArray();
            b.minAge = r.value(QStringLiteral("Fmin")).toInt();
            b.maxAge = r.value(QStringLiteral("Fmax")).toInt();
            b.text = r.value(QStringLiteral("Fmem")).toString();
            b.sex = r.value(QStringLiteral("Fmale")).toInt();
            stored_.push_back(b);
        }
    }
    static void TearDownTestSuite()
    {
        delete db_;
        db_ = nullptr;
        stored_.clear();
    }

    static std::vector<StoredBoilerplate> ofKind(int kind)
    {
        std::vector<StoredBoilerplate> out;
        for (const StoredBoilerplate& b : stored_)
            if (b.kind == kind)
                out.push_back(b);
        return out;
    }
    // The one a patient of that age and sex is given.
    static const StoredBoilerplate& fitting(int kind, int age, int sex)
    {
        for (const StoredBoilerplate& b : stored_)
            if (b.kind == kind && b.minAge <= age && age <= b.maxAge && (b.sex == sex || b.sex == Either))
                return b;
        ADD_FAILURE() << "no boilerplate of kind " << kind << " for age " << age << ", sex " << sex;
        static const StoredBoilerplate none;
        return none;
    }

    static Databases* db_;
    static QString output_;
    static std::vector<StoredBoilerplate> stored_;
};

Databases* StarterBoilerplates::db_ = nullptr;
QString StarterBoilerplates::output_;
std::vector<StoredBoilerplate> StarterBoilerplates::stored_;

} // namespace

// ---- The rows --------------------------------------------------------------

TEST_F(StarterBoilerplates, TheDepartmentKeepsTheThreeTextsByAgeAndSexAndOneRecommendation)
{
    const qint64 oid = db_->rows(QStringLiteral("select OID from Otdelen")).at(0).value(QStringLiteral("OID")).toLongLong();
    QSet<QString> names;
    for (const StoredBoilerplate& b : stored_) {
        SCOPED_TRACE(b.name.toStdString());
        EXPECT_EQ(b.department, oid);
        EXPECT_FALSE(b.name.isEmpty());
        EXPECT_LE(b.name.size(), 100);
        EXPECT_FALSE(names.contains(b.name));
        names.insert(b.name);
        EXPECT_TRUE(b.kind >= Anamnesis && b.kind <= Recommendations);
        EXPECT_TRUE(b.sex == Male || b.sex == Female || b.sex == Either);
        EXPECT_LE(b.minAge, b.maxAge);
    }
    // The anamnesis and the neurological status differ by sex, the somatic
    // status does not; one recommendation serves every adult.
    for (const int kind : {Anamnesis, NeuroStatus}) {
        std::set<int> sexes;
        for (const StoredBoilerplate& b : ofKind(kind))
            sexes.insert(b.sex);
        EXPECT_EQ(sexes, (std::set<int>{Male, Female})) << kind;
    }
    for (const StoredBoilerplate& b : ofKind(SomaticStatus))
        EXPECT_EQ(b.sex, Either) << b.name.toStdString();
    const auto recommendations = ofKind(Recommendations);
    ASSERT_EQ(recommendations.size(), 1u);
    EXPECT_EQ(recommendations[0].minAge, 18);
    EXPECT_EQ(recommendations[0].maxAge, 120);
    EXPECT_EQ(recommendations[0].sex, Either);
    EXPECT_TRUE(output_.contains(QStringLiteral("рыб: %1").arg(stored_.size()))) << output_.toStdString();
}

TEST_F(StarterBoilerplates, ExactlyOneOfEachKindFitsEveryAdultOfEitherSex)
{
    data::TDM dm(db_->aliases());
    for (const int kind : {Anamnesis, NeuroStatus, SomaticStatus, Recommendations}) {
        for (const int sex : {Male, Female}) {
            for (int age = 17; age <= 121; ++age) {
                SCOPED_TRACE(testing::Message() << "kind " << kind << ", sex " << sex << ", age " << age);
                const bool adult = age >= tools::kAdultAgeFrom && age <= tools::kAdultAgeTo;
                EXPECT_EQ(boilerplates::SelectBoilerplates(dm, kind, age, sex), adult);
                ASSERT_EQ(dm.Fish_q->recordCount(), adult ? 1 : 0);
                if (!adult)
                    continue;
                // The row the patient's text is filled from is that of the patient's sex.
                const int rowSex = dm.Fish_q->field(QStringLiteral("Fmale")).asInteger();
                EXPECT_TRUE(rowSex == sex || rowSex == Either) << rowSex;
            }
        }
    }
    // A patient whose sex is not entered still gets a text of every kind.
    for (int age = tools::kAdultAgeFrom; age <= tools::kAdultAgeTo; ++age)
        for (const int kind : {Anamnesis, NeuroStatus, SomaticStatus})
            EXPECT_TRUE(boilerplates::SelectBoilerplates(dm, kind, age, QVariant())) << kind << ", age " << age;
}

// ---- The documents and their text ------------------------------------------

TEST_F(StarterBoilerplates, TheStoredTextIsWhatTheEditorReadsFromTheDocument)
{
    for (const StoredBoilerplate& b : stored_) {
        SCOPED_TRACE(b.name.toStdString());
        // The program reads a document's plain text with the whole document
        // selected in a document view.
        word::DocumentView view;
        ASSERT_NO_THROW(view.loadFromBlob(b.document));
        view.automation().activeDocument().select();
        EXPECT_EQ(view.automation().selection().rangeText(), b.text);
        // The same paragraphs as the document model gives them.
        EXPECT_EQ(word::plainText(word::documentFromBlob(b.document)), QString(b.text).replace(u'\r', u'\n') + u'\n');

        // A status filled from the text into the editor reads back as it was.
        word::DocumentView status;
        status.loadDocument(word::Document());
        status.automation().selection().wholeStory();
        status.automation().selection().setText(b.text);
        status.automation().activeDocument().select();
        EXPECT_EQ(status.automation().selection().rangeText(), b.text);
    }
}

TEST_F(StarterBoilerplates, EveryDocumentIsWrittenAsTheTemplatesAreAndCarriesNoMarker)
{
    for (const StoredBoilerplate& b : stored_) {
        SCOPED_TRACE(b.name.toStdString());
        ASSERT_TRUE(b.document.startsWith("BDOC"));
        const QString text = word::plainText(word::documentFromBlob(b.document));
        EXPECT_GT(text.trimmed().size(), 200);
        EXPECT_FALSE(text.contains(QStringLiteral("{{")));
        EXPECT_FALSE(text.contains(QStringLiteral("<!")));
        EXPECT_FALSE(text.contains(QStringLiteral("&lt;")) || text.contains(QStringLiteral("&nbsp;")));
    }
}

TEST_F(StarterBoilerplates, LibreOfficeOpensEveryBoilerplate)
{
    std::vector<std::pair<QString, QByteArray>> docs;
    for (const StoredBoilerplate& b : stored_)
        docs.emplace_back(QStringLiteral("f%1").arg(b.id), word::docBytesOf(b.document));
    const auto converted = word::test::libreOfficeConversions(docs, QStringLiteral("txt:Text"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const StoredBoilerplate& b : stored_) {
        SCOPED_TRACE(b.name.toStdString());
        const QString theirs = converted->value(QStringLiteral("f%1").arg(b.id));
        for (const QString& paragraph : b.text.split(u'\r'))
            EXPECT_TRUE(theirs.contains(paragraph.trimmed())) << paragraph.toStdString();
    }
}

// ---- The texts ---------------------------------------------------------------

TEST_F(StarterBoilerplates, TextsHoldWhatANeurologistWritesThere)
{
    const auto holds = [](const StoredBoilerplate& b, std::initializer_list<const char*> parts) {
        for (const char* part : parts)
            EXPECT_TRUE(b.text.contains(QString::fromUtf8(part))) << b.name.toStdString() << ": " << part;
    };
    for (const StoredBoilerplate& b : ofKind(Anamnesis)) {
        // The complaints are the card's own field, printed above the anamnesis.
        EXPECT_FALSE(b.text.contains(QStringLiteral("Жалобы:"))) << b.name.toStdString();
        // The disease comes first, under the summary's own caption "Анамнез:".
        EXPECT_TRUE(b.text.startsWith(QStringLiteral("Считает себя")) || b.text.startsWith(QStringLiteral("Сведения получены")))
            << b.name.toStdString();
        holds(b, { "Анамнез жизни:", "Перенесённые заболевания:", "Аллергоанамнез:",
                  "Вредные привычки:", "Наследственность:", "___"});
        EXPECT_EQ(b.text.contains(QStringLiteral("Гинекологический анамнез:")), b.sex == Female) << b.name.toStdString();
    }
    for (const StoredBoilerplate& b : ofKind(NeuroStatus))
        holds(b, {"Сознание:", "Менингеальные знаки:", "I пара", "II пара", "III, IV, VI пары", "V пара", "VII пара",
                  "VIII пара", "IX, X пары", "XI пара", "XII пара", "Двигательная сфера:", "Рефлексы:",
                  "Патологические знаки:", "Чувствительность:", "Координация:", "Поза Ромберга:",
                  "Высшие корковые функции:", "Тазовые функции:"});
    for (const StoredBoilerplate& b : ofKind(SomaticStatus))
        holds(b, {"Общее состояние", "Кожные покровы", "Дыхание", "ЧДД ___", "АД ___/___", "ЧСС ___", "Живот", "Отёк",
                  "Мочеиспускание"});
    for (const StoredBoilerplate& b : ofKind(Recommendations)) {
        holds(b, {"невролога и терапевта по месту жительства", "артериального давления", "Режим", "Диета", "ЛФК",
                  "Повторный осмотр"});
        // Doses are the doctor's: none is written in advance.
        static const QRegularExpression dose(QStringLiteral("\\d\\s*(мг|мкг|мл|ЕД|таб)"));
        EXPECT_FALSE(dose.match(b.text).hasMatch()) << dose.match(b.text).captured(0).toStdString();
    }

    // The discharge summary writes its own caption before each text: a text
    // does not begin with its kind's name again.
    for (const StoredBoilerplate& b : stored_)
        for (const char* caption : {"Анамнез", "Неврологический статус", "Соматический статус", "Рекомендации"})
            EXPECT_FALSE(b.text.startsWith(QString::fromUtf8(caption), Qt::CaseInsensitive)) << b.name.toStdString();

    // The findings to look for in the old: weaker ankle jerks and vibration
    // sense in the feet, cognition by a scale; the young are written normal.
    holds(fitting(NeuroStatus, 80, Male), {"ахилловы ослаблены", "Вибрационная чувствительность в стопах снижена", "MMSE"});
    holds(fitting(NeuroStatus, 80, Female), {"ахилловы ослаблены", "Вибрационная чувствительность в стопах снижена"});
    holds(fitting(NeuroStatus, 30, Female), {"ахилловы средней живости", "Ориентирована в месте, времени"});
    EXPECT_FALSE(fitting(NeuroStatus, 30, Male).text.contains(QStringLiteral("MMSE")));
    holds(fitting(Anamnesis, 80, Female), {"Самообслуживание", "Падения", "менопауза с ___ лет"});
    holds(fitting(Anamnesis, 30, Female), {"Беременность в настоящее время"});
}

TEST_F(StarterBoilerplates, EachTextSpeaksOfThePatientInTheFormsOfTheirSex)
{
    const QStringList masculine = {QStringLiteral("Ориентирован в"), QStringLiteral("Контактен"), QStringLiteral("себя больным"),
                                   QStringLiteral("обследовался"),   QStringLiteral("Госпитализирован "),
                                   QStringLiteral("не выезжал,"),    QStringLiteral("устойчив;"), QStringLiteral("Пенсионер.")};
    const QStringList feminine = {QStringLiteral("Ориентирована"),    QStringLiteral("Контактна"),  QStringLiteral("себя больной"),
                                  QStringLiteral("обследовалась"),    QStringLiteral("Госпитализирована"),
                                  QStringLiteral("не выезжала"),      QStringLiteral("устойчива;"), QStringLiteral("Пенсионерка")};
    for (const StoredBoilerplate& b : stored_) {
        if (b.sex == Either)
            continue;
        for (const QString& word : b.sex == Male ? feminine : masculine)
            EXPECT_FALSE(b.text.contains(word, Qt::CaseInsensitive)) << b.name.toStdString() << ": " << word.toStdString();
    }
}

// ---- A faulty set ------------------------------------------------------------

namespace {

// A set given to addBoilerplates on a database of its own.
class BoilerplateSet : public ::testing::Test {
protected:
    BoilerplateSet() : db_(dir_.filePath(QStringLiteral("t.sqlite")), true)
    {
        for (const QString& sql : data::workstationSchema().createStatements())
            db_.exec(sql);
        db_.exec(QStringLiteral("insert into Otdelen (Oboln, Ootd) values ('Больница', 'Отделение')"));
    }

    int count()
    {
        data::SqliteStatement st = db_.prepare(QStringLiteral("select count(*) from Fish"));
        st.step();
        return static_cast<int>(st.int64(0));
    }

    static QJsonObject boilerplate(const QString& name, const char* kind, const char* sex, int from, int to)
    {
        return {{QStringLiteral("name"), name},
                {QStringLiteral("kind"), QString::fromLatin1(kind)},
                {QStringLiteral("sex"), QString::fromLatin1(sex)},
                {QStringLiteral("minAge"), from},
                {QStringLiteral("maxAge"), to},
                {QStringLiteral("source"), QStringLiteral("boilerplates/somatic_status_18_44.html")}};
    }

    // Each of the three texts for every adult.
    static QJsonArray soundSet()
    {
        return {boilerplate(QStringLiteral("Анамнез"), "anamnesis", "either", 18, 120),
                boilerplate(QStringLiteral("Невростатус"), "neuroStatus", "either", 18, 120),
                boilerplate(QStringLiteral("Соматический статус"), "somaticStatus", "either", 18, 120)};
    }

    static QJsonArray withChanged(int index, const char* member, const QJsonValue& value)
    {
        QJsonArray set = soundSet();
        QJsonObject b = set[index].toObject();
        if (value.isUndefined())
            b.remove(QLatin1String(member));
        else
            b.insert(QLatin1String(member), value);
        set[index] = b;
        return set;
    }

    static QJsonArray withAdded(const QJsonObject& extra)
    {
        QJsonArray set = soundSet();
        set.append(extra);
        return set;
    }

    QTemporaryDir dir_;
    data::SqliteConnection db_;
};

} // namespace

TEST_F(BoilerplateSet, AFaultySetWritesNothing)
{
    const QString name100(100, u'р');
    QJsonArray twoSexes = soundSet();
    twoSexes[2] = boilerplate(QStringLiteral("Соматический статус"), "somaticStatus", "male", 18, 120);
    const std::vector<std::pair<const char*, QJsonArray>> faulty = {
        {"a name one character too long", withChanged(0, "name", name100 + u'р')},
        {"a blank name", withChanged(0, "name", QStringLiteral("  "))},
        {"an unknown kind", withChanged(0, "kind", QStringLiteral("treatment"))},
        {"a kind as a number", withChanged(0, "kind", 1)},
        {"an unknown sex", withChanged(0, "sex", QStringLiteral("any"))},
        {"an age not whole", withChanged(0, "minAge", 17.5)},
        {"an age below zero", withChanged(0, "minAge", -1)},
        {"an age as text", withChanged(0, "maxAge", QStringLiteral("120"))},
        {"no upper bound", withChanged(0, "maxAge", QJsonValue::Undefined)},
        {"reversed bounds", withAdded(boilerplate(QStringLiteral("Дети"), "anamnesis", "either", 17, 0))},
        {"a misspelt member", withChanged(0, "maxage", 120)},
        {"a missing page", withChanged(0, "source", QStringLiteral("boilerplates/none.html"))},
        {"a page with a marker", withChanged(0, "source", QStringLiteral("discharge_summary.html"))},
        {"two of one kind for one patient",
         withAdded(boilerplate(QStringLiteral("Анамнез, мужчины"), "anamnesis", "male", 40, 50))},
        {"the same name twice", withAdded(boilerplate(QStringLiteral("Анамнез"), "recommendations", "either", 18, 120))},
        {"an adult age left out", withChanged(1, "maxAge", 119)},
        {"women left out", twoSexes},
        {"not a record", [] {
             QJsonArray set = soundSet();
             set.append(3);
             return set;
         }()},
    };
    for (const auto& [what, set] : faulty) {
        SCOPED_TRACE(what);
        EXPECT_THROW(tools::addBoilerplates(db_, 1, set), Error);
        EXPECT_EQ(count(), 0);
    }

    // Bands that meet without overlapping, a band below the adults and a
    // name as wide as its field are taken.
    QJsonArray sound = withChanged(0, "name", name100);
    sound[2] = boilerplate(QStringLiteral("Соматический статус, мужчины"), "somaticStatus", "male", 18, 120);
    sound.append(boilerplate(QStringLiteral("Соматический статус, женщины до 60"), "somaticStatus", "female", 18, 59));
    sound.append(boilerplate(QStringLiteral("Соматический статус, женщины от 60"), "somaticStatus", "female", 60, 120));
    sound.append(boilerplate(QStringLiteral("Анамнез, дети"), "anamnesis", "either", 0, 17));
    EXPECT_EQ(tools::addBoilerplates(db_, 1, sound), 6);
    data::SqliteStatement st =
        db_.prepare(QStringLiteral("select Fotd, Fname, FType, Fmin, Fmax, Fmale, Fmem from Fish where Fname = ?"));
    st.bind(1, name100);
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.int64(0), 1);
    EXPECT_EQ(st.int64(2), 1);
    EXPECT_EQ(st.int64(3), 18);
    EXPECT_EQ(st.int64(4), 120);
    EXPECT_EQ(st.int64(5), 3);
    EXPECT_TRUE(st.text(6).startsWith(QStringLiteral("Общее состояние")));
}

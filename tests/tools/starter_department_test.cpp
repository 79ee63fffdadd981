// talvora-db init: the starter department a new database gets, the empty
// database of --empty, and databases that already exist.

#include "db_tool.h"
#include "starter_department.h"
#include "tool_databases.h"

#include "../word/test_support.h"

#include "common/errors.h"
#include "data/database.h"
#include "data/query_dataset.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace talvora;
using namespace talvora::tools::test;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Marker {
    QString kind;
    qint64 number;
};

// The markers of a text by the reading rule: each "<!" must begin a marker of
// a known kind whose number and closing ">" lie within 14 characters.
// Anything else is listed in `malformed`.
std::vector<Marker> markersOf(const QString& text, QStringList& malformed)
{
    static const QRegularExpression marker(QStringLiteral("^<!(fld|grp|trt|shabl)_([0-9]+)>"));
    std::vector<Marker> out;
    for (qsizetype at = text.indexOf(QStringLiteral("<!")); at >= 0; at = text.indexOf(QStringLiteral("<!"), at + 2)) {
        const QRegularExpressionMatch m = marker.match(text.mid(at, 14));
        if (m.hasMatch())
            out.push_back({m.captured(1), m.captured(2).toLongLong()});
        else
            malformed << text.mid(at, 16);
    }
    return out;
}

bool hasTable(const QTextDocument& doc)
{
    for (QTextFrame* frame : doc.rootFrame()->childFrames())
        if (qobject_cast<QTextTable*>(frame))
            return true;
    return false;
}

struct StoredTemplate {
    qint64 id = 0;
    qint64 department = 0;
    QString name;
    QString type; // the name of its template type
    QVariant isDefault;
    QByteArray blob;
};

// One database made by `init` for the tests that only read it.
class StarterDepartment : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db_ = new Databases;
        const ToolRun run = db_->tool({QStringLiteral("init")});
        ASSERT_EQ(run.rc, 0) << run.err.toStdString();
        for (const QVariantMap& r : db_->rows(QStringLiteral("select ShTID, ShTName, ShTotd from SHablonType")))
            types_[r.value(QStringLiteral("ShTID")).toLongLong()] = r.value(QStringLiteral("ShTName")).toString();
        for (const QVariantMap& r :
             db_->rows(QStringLiteral("select ShId, ShOtd, ShType, ShName, Sh_def, ShRes from SHablon order by ShId"))) {
            StoredTemplate t;
            t.id = r.value(QStringLiteral("ShId")).toLongLong();
            t.department = r.value(QStringLiteral("ShOtd")).toLongLong();
            t.name = r.value(QStringLiteral("ShName")).toString();
            t.type = types_.count(r.value(QStringLiteral("ShType")).toLongLong())
                         ? types_.at(r.value(QStringLiteral("ShType")).toLongLong())
                         : QString();
            t.isDefault = r.value(QStringLiteral("Sh_def"));
            t.blob = r.value(QStringLiteral("ShRes")).toByteArray();
            templates_.push_back(t);
        }
    }
    static void TearDownTestSuite()
    {
        delete db_;
        db_ = nullptr;
        templates_.clear();
        types_.clear();
    }

    static const StoredTemplate& named(const QString& name)
    {
        for (const StoredTemplate& t : templates_)
            if (t.name == name)
                return t;
        ADD_FAILURE() << "no template " << name.toStdString();
        static const StoredTemplate none;
        return none;
    }
    static qint64 typeKey(const QString& name)
    {
        for (const auto& [key, typeName] : types_)
            if (typeName == name)
                return key;
        return -1;
    }
    static QString textOf(const StoredTemplate& t) { return word::plainText(word::documentFromBlob(t.blob)); }

    static Databases* db_;
    static std::vector<StoredTemplate> templates_;
    static std::map<qint64, QString> types_;
};

Databases* StarterDepartment::db_ = nullptr;
std::vector<StoredTemplate> StarterDepartment::templates_;
std::map<qint64, QString> StarterDepartment::types_;

const QString kDischargeType = QStringLiteral("Выписки");
const QString kLaboratory = QStringLiteral("Лабораторные исследования");
const QString kInstrumental = QStringLiteral("Инструментальные исследования");
const QString kConsultation = QStringLiteral("Консультации");
const QString kHeading = QStringLiteral("Шапка выписки");
const QString kDischarge = QStringLiteral("Выписной эпикриз");

} // namespace

// ---- The rows of the department ------------------------------------------

TEST_F(StarterDepartment, OneHospitalDepartmentOwnsEveryTypeAndTemplate)
{
    const auto departments = db_->rows(QStringLiteral("select OID, Oboln, Ootd from Otdelen"));
    ASSERT_EQ(departments.size(), 1u);
    const qint64 oid = departments[0].value(QStringLiteral("OID")).toLongLong();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ГКБ №\\s?[0-9]+$"))
                    .match(departments[0].value(QStringLiteral("Oboln")).toString())
                    .hasMatch())
        << departments[0].value(QStringLiteral("Oboln")).toString().toStdString();
    EXPECT_EQ(departments[0].value(QStringLiteral("Ootd")).toString(), QStringLiteral("Неврологическое отделение"));

    for (const QVariantMap& r : db_->rows(QStringLiteral("select ShTotd from SHablonType")))
        EXPECT_EQ(r.value(QStringLiteral("ShTotd")).toLongLong(), oid);
    for (const QVariantMap& r : db_->rows(QStringLiteral("select VTOtd from VipisType")))
        EXPECT_EQ(r.value(QStringLiteral("VTOtd")).toLongLong(), oid);
    for (const StoredTemplate& t : templates_)
        EXPECT_EQ(t.department, oid) << t.name.toStdString();
    // Nothing else is made: no patients, documents or investigations.
    EXPECT_EQ(db_->count(QStringLiteral("Pacient")), 0);
    EXPECT_EQ(db_->count(QStringLiteral("Vipis")), 0);
    EXPECT_EQ(db_->count(QStringLiteral("Issled")), 0);
    EXPECT_EQ(db_->count(QStringLiteral("Errors"), kErrors), 0);
}

TEST_F(StarterDepartment, TypesAndTemplatesAreThoseOfANeurologyDepartment)
{
    QStringList typeNames;
    for (const auto& [key, name] : types_)
        typeNames << name;
    EXPECT_EQ(typeNames, (QStringList{kDischargeType, kLaboratory, kInstrumental, kConsultation}));

    QStringList documentTypes;
    for (const QVariantMap& r : db_->rows(QStringLiteral("select VTName from VipisType order by VTid")))
        documentTypes << r.value(QStringLiteral("VTName")).toString();
    ASSERT_EQ(documentTypes.size(), 4);
    EXPECT_EQ(documentTypes.first(), QStringLiteral("Выписка"));
    EXPECT_EQ(QSet<QString>(documentTypes.begin(), documentTypes.end()).size(), 4);

    const std::map<QString, QString> expected = {
        {kHeading, kDischargeType},
        {kDischarge, kDischargeType},
        {QStringLiteral("Общий анализ крови"), kLaboratory},
        {QStringLiteral("Общий анализ мочи"), kLaboratory},
        {QStringLiteral("Биохимический анализ крови"), kLaboratory},
        {QStringLiteral("ЭКГ"), kInstrumental},
        {QStringLiteral("ЭЭГ"), kInstrumental},
        {QStringLiteral("МРТ головного мозга"), kInstrumental},
        {QStringLiteral("Осмотр офтальмолога"), kConsultation},
    };
    std::map<QString, QString> stored;
    for (const StoredTemplate& t : templates_)
        stored[t.name] = t.type;
    EXPECT_EQ(stored, expected);
}

TEST_F(StarterDepartment, OnlyTheDischargeSummaryIsTheDefault)
{
    for (const StoredTemplate& t : templates_) {
        if (t.name == kDischarge) {
            EXPECT_EQ(t.isDefault.toInt(), 1);
        } else {
            EXPECT_FALSE(t.isDefault.toInt() > 0) << t.name.toStdString();
        }
    }
    // The statement of the default discharge finds it.
    const QString oid = db_->rows(QStringLiteral("select OID from Otdelen")).at(0).value(QStringLiteral("OID")).toString();
    const auto found = db_->rows(QStringLiteral("select ShName, Sh_def, ShId from SHablon where  (ShOtd = ") + oid
                                 + QStringLiteral(") and (Sh_def = 1)"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].value(QStringLiteral("ShName")).toString(), kDischarge);
}

TEST_F(StarterDepartment, EveryTemplateIsFoundByItsOwnName)
{
    // Templates are found by the first name, in key order, that begins with
    // the name asked for: no name may begin another, nor exceed its field.
    for (const StoredTemplate& a : templates_) {
        EXPECT_LE(a.name.size(), 50) << a.name.toStdString();
        for (const StoredTemplate& b : templates_) {
            if (a.id != b.id) {
                EXPECT_FALSE(b.name.startsWith(a.name)) << a.name.toStdString() << " / " << b.name.toStdString();
            }
        }
    }
}

// ---- The template documents ------------------------------------------------

TEST_F(StarterDepartment, DischargeSummaryStartsWithTheHeadingAndNamesTheDepartmentsInvestigationTypes)
{
    const QString text = textOf(named(kDischarge));
    EXPECT_TRUE(text.startsWith(QStringLiteral("<!shabl_%1>\n").arg(named(kHeading).id))) << text.left(40).toStdString();

    QStringList malformed;
    std::set<qint64> fields, groups, treatments, nested;
    for (const Marker& m : markersOf(text, malformed)) {
        if (m.kind == u"fld")
            fields.insert(m.number);
        else if (m.kind == u"grp")
            groups.insert(m.number);
        else if (m.kind == u"trt")
            treatments.insert(m.number);
        else
            nested.insert(m.number);
    }
    EXPECT_TRUE(malformed.isEmpty()) << malformed.join(u' ').toStdString();
    EXPECT_EQ(nested, (std::set<qint64>{named(kHeading).id}));
    EXPECT_EQ(groups, (std::set<qint64>{typeKey(kLaboratory), typeKey(kInstrumental), typeKey(kConsultation)}));
    EXPECT_EQ(treatments, (std::set<qint64>{2}));
    std::set<qint64> card;
    for (qint64 n = 1; n <= 18; ++n)
        card.insert(n);
    card.insert(31);
    card.insert(32);
    EXPECT_EQ(fields, card);
    EXPECT_TRUE(text.contains(QStringLiteral("Лечащий врач")));
    EXPECT_TRUE(text.contains(QStringLiteral("Заведующий отделением")));
}

TEST_F(StarterDepartment, EveryTemplateReadsBackWithWellFormedMarkersOnly)
{
    std::set<qint64> templateKeys;
    for (const StoredTemplate& t : templates_)
        templateKeys.insert(t.id);
    for (const StoredTemplate& t : templates_) {
        SCOPED_TRACE(t.name.toStdString());
        ASSERT_TRUE(t.blob.startsWith("BDOC"));
        const word::Document doc = word::documentFromBlob(t.blob);
        const QString text = word::plainText(doc);
        EXPECT_GT(text.trimmed().size(), 20);
        EXPECT_FALSE(text.contains(QStringLiteral("{{")));
        QStringList malformed;
        const std::vector<Marker> markers = markersOf(text, malformed);
        EXPECT_TRUE(malformed.isEmpty()) << malformed.join(u' ').toStdString();
        for (const Marker& m : markers) {
            if (m.kind == u"fld") {
                EXPECT_TRUE((m.number >= 1 && m.number <= 18) || m.number == 29 || m.number == 31 || m.number == 32)
                    << m.number;
            } else if (m.kind == u"grp") {
                EXPECT_TRUE(types_.count(m.number)) << m.number;
            } else if (m.kind == u"shabl") {
                EXPECT_TRUE(templateKeys.count(m.number) && m.number != t.id) << m.number;
            }
        }
        if (t.type != kDischargeType) {
            // An investigation is filled in by hand and pulled into the
            // summary after its markers were replaced: it must carry none.
            EXPECT_TRUE(markers.empty());
            EXPECT_TRUE(hasTable(doc.text()));
        }
    }
}

TEST_F(StarterDepartment, LibreOfficeOpensEveryTemplate)
{
    std::vector<std::pair<QString, QByteArray>> docs;
    for (const StoredTemplate& t : templates_)
        docs.emplace_back(QStringLiteral("t%1").arg(t.id), word::docBytesOf(t.blob));
    const auto converted = word::test::libreOfficeConversions(docs, QStringLiteral("txt:Text"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const StoredTemplate& t : templates_) {
        SCOPED_TRACE(t.name.toStdString());
        const QString theirs = converted->value(QStringLiteral("t%1").arg(t.id));
        const QString ours = textOf(t);
        EXPECT_TRUE(theirs.contains(ours.section(u'\n', 0, 0).trimmed())) << theirs.left(200).toStdString();
        QStringList malformed;
        for (const Marker& m : markersOf(ours, malformed))
            EXPECT_TRUE(theirs.contains(QStringLiteral("<!%1_%2>").arg(m.kind).arg(m.number)));
    }
}

// ---- The drug reference ------------------------------------------------------

namespace {

struct StoredDrug {
    QString name, latin, notes;
    QVariant dose, perDay, price;
    qint64 group = 0;
};

// The drugs as the window lists them: the macrogroup list, the groups of each
// macrogroup and the drugs of each group, each by the window's own statement.
// Drug name → its row, with the names of its group and macrogroup.
struct ListedDrug {
    StoredDrug drug;
    QString group, macrogroup;
};

std::map<QString, ListedDrug> drugsAsListed(const Databases& db)
{
    std::map<QString, ListedDrug> out;
    const auto macrogroups =
        db.rows(QStringLiteral("SELECT TrTid, TrTname, TrTself FROM TreatType.DB  WHERE  TrTself = 0ORDER BY TrTname"));
    for (const QVariantMap& m : macrogroups) {
        const QString mid = m.value(QStringLiteral("TrTid")).toString();
        const auto groups = db.rows(QStringLiteral("SELECT TrTid, TrTname, TrTself \r\nFROM TreatType.DB \r\n WHERE  TrTself =")
                                    + mid + QStringLiteral("\r\n ORDER BY TrTname \r\n"));
        for (const QVariantMap& g : groups) {
            const QString gid = g.value(QStringLiteral("TrTid")).toString();
            const auto drugs = db.rows(QStringLiteral("SELECT Tid, TrType, Tname_r, Tname_l, Tdose, Tkratn, Tprim, Tprice\n"
                                                      "FROM \"Treat.DB\" Treat\nWHERE  TrType = ")
                                       + gid + QStringLiteral(" \n"));
            for (const QVariantMap& d : drugs) {
                ListedDrug listed;
                listed.drug.name = d.value(QStringLiteral("Tname_r")).toString();
                listed.drug.latin = d.value(QStringLiteral("Tname_l")).toString();
                listed.drug.notes = d.value(QStringLiteral("Tprim")).toString();
                listed.drug.dose = d.value(QStringLiteral("Tdose"));
                listed.drug.perDay = d.value(QStringLiteral("Tkratn"));
                listed.drug.price = d.value(QStringLiteral("Tprice"));
                listed.drug.group = d.value(QStringLiteral("TrType")).toLongLong();
                listed.group = g.value(QStringLiteral("TrTname")).toString();
                listed.macrogroup = m.value(QStringLiteral("TrTname")).toString();
                EXPECT_FALSE(out.count(listed.drug.name)) << "listed twice: " << listed.drug.name.toStdString();
                out[listed.drug.name] = listed;
            }
        }
    }
    return out;
}

QJsonObject starterDrugsSource()
{
    QFile f(QStringLiteral(":/starter/drugs.json"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(f.readAll()).object();
}

} // namespace

TEST_F(StarterDepartment, DrugGroupsHangUnderMacrogroupsOnly)
{
    std::map<qint64, std::pair<QString, qint64>> types; // TrTid → name, TrTself
    for (const QVariantMap& r : db_->rows(QStringLiteral("select TrTid, TrTname, TrTself from TreatType")))
        types[r.value(QStringLiteral("TrTid")).toLongLong()] = {r.value(QStringLiteral("TrTname")).toString(),
                                                                r.value(QStringLiteral("TrTself")).toLongLong()};
    std::map<QString, QSet<QString>> groupsOf; // macrogroup name → its groups
    for (const auto& [id, type] : types)
        if (type.second == 0)
            groupsOf[type.first];
    for (const auto& [id, type] : types) {
        if (type.second == 0)
            continue;
        // Two levels exactly: the parent exists and is itself a macrogroup.
        ASSERT_TRUE(types.count(type.second)) << type.first.toStdString();
        const auto& parent = types.at(type.second);
        EXPECT_EQ(parent.second, 0) << type.first.toStdString() << " under the group " << parent.first.toStdString();
        groupsOf[parent.first].insert(type.first);
    }
    for (const auto& [macrogroup, groups] : groupsOf)
        EXPECT_FALSE(groups.isEmpty()) << "no groups in " << macrogroup.toStdString();

    const std::map<QString, QStringList> expected = {
        {QStringLiteral("Ноотропы и нейрометаболические средства"),
         {QStringLiteral("Ноотропы"), QStringLiteral("Нейропротекторы и антиоксиданты")}},
        {QStringLiteral("Сосудистые средства"),
         {QStringLiteral("Вазоактивные средства"), QStringLiteral("Антиагреганты"), QStringLiteral("Антикоагулянты")}},
        {QStringLiteral("Антигипертензивные средства"),
         {QStringLiteral("Ингибиторы АПФ"), QStringLiteral("Блокаторы кальциевых каналов"),
          QStringLiteral("Бета-адреноблокаторы"), QStringLiteral("Диуретики")}},
        {QStringLiteral("Гиполипидемические средства"), {QStringLiteral("Статины")}},
        {QStringLiteral("Витамины"), {QStringLiteral("Витамины группы B")}},
        {QStringLiteral("Противоэпилептические средства"), {}},
        {QStringLiteral("Анальгетики и НПВС"), {QStringLiteral("НПВС")}},
        {QStringLiteral("Миорелаксанты"), {}},
    };
    for (const auto& [macrogroup, groups] : expected) {
        ASSERT_TRUE(groupsOf.count(macrogroup)) << macrogroup.toStdString();
        for (const QString& g : groups)
            EXPECT_TRUE(groupsOf.at(macrogroup).contains(g)) << macrogroup.toStdString() << " / " << g.toStdString();
    }
}

TEST_F(StarterDepartment, EveryDrugIsListedUnderItsGroupAsTheReferenceGivesIt)
{
    const std::map<QString, ListedDrug> listed = drugsAsListed(*db_);
    // Every drug is reached through a macrogroup and one of its groups: none
    // hangs under a macrogroup or a missing group.
    EXPECT_EQ(static_cast<int>(listed.size()), db_->count(QStringLiteral("Treat")));

    // Stored whole: the source's texts and numbers, none cut to its field.
    int inSource = 0;
    for (const QJsonValue& m : starterDrugsSource().value(QStringLiteral("macrogroups")).toArray()) {
        for (const QJsonValue& g : m.toObject().value(QStringLiteral("groups")).toArray()) {
            for (const QJsonValue& dv : g.toObject().value(QStringLiteral("drugs")).toArray()) {
                const QJsonObject d = dv.toObject();
                const QString name = d.value(QStringLiteral("name")).toString();
                SCOPED_TRACE(name.toStdString());
                ++inSource;
                const auto it = listed.find(name);
                ASSERT_NE(it, listed.end());
                const ListedDrug& l = it->second;
                EXPECT_EQ(l.macrogroup, m.toObject().value(QStringLiteral("name")).toString());
                EXPECT_EQ(l.group, g.toObject().value(QStringLiteral("name")).toString());
                EXPECT_EQ(l.drug.latin, d.value(QStringLiteral("latin")).toString());
                EXPECT_EQ(l.drug.notes, d.value(QStringLiteral("notes")).toString());
                EXPECT_EQ(l.drug.perDay.isNull(), !d.contains(QStringLiteral("perDay")));
                EXPECT_EQ(l.drug.perDay.toInt(), d.value(QStringLiteral("perDay")).toInt());
                EXPECT_EQ(l.drug.dose.isNull(), !d.contains(QStringLiteral("mgPerKgPerDay")));
                EXPECT_EQ(l.drug.dose.toInt(), d.value(QStringLiteral("mgPerKgPerDay")).toInt());
                EXPECT_TRUE(l.drug.price.isNull());
            }
        }
    }
    EXPECT_EQ(inSource, static_cast<int>(listed.size()));
}

TEST_F(StarterDepartment, DrugsAreTheDepartmentsEverydayOnesWithSoundDoses)
{
    const std::map<QString, ListedDrug> listed = drugsAsListed(*db_);
    EXPECT_GE(listed.size(), 55u);
    EXPECT_LE(listed.size(), 70u);
    for (const char* name : {"Мексидол", "Цитиколин", "Пирацетам", "Винпоцетин", "Пентоксифиллин",
                             "Ацетилсалициловая к-та", "Клопидогрел", "Гепарин натрия", "Эноксапарин натрия",
                             "Варфарин", "Дабигатрана этексилат", "Ривароксабан", "Эналаприл", "Амлодипин",
                             "Бисопролол", "Индапамид", "Аторвастатин", "Тиамин", "Пиридоксин", "Цианокобаламин",
                             "Карбамазепин", "Вальпроевая кислота", "Леветирацетам", "Ламотриджин", "Габапентин",
                             "Прегабалин", "Диклофенак", "Мелоксикам", "Кеторолак", "Ибупрофен", "Тизанидин",
                             "Толперизон", "Баклофен"})
        EXPECT_TRUE(listed.count(QString::fromUtf8(name))) << name;

    // A dose per kilogram only where the notes give the customary range, and
    // within it; the intakes a plausible count.
    static const QRegularExpression range(QStringLiteral("(\\d+)–(\\d+) мг/кг/сут"));
    int withDose = 0;
    for (const auto& [name, l] : listed) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_LE(name.size(), 25);
        EXPECT_LE(l.drug.latin.size(), 25);
        EXPECT_FALSE(l.drug.latin.isEmpty());
        EXPECT_FALSE(l.drug.notes.isEmpty());
        if (!l.drug.perDay.isNull()) {
            EXPECT_GE(l.drug.perDay.toInt(), 1);
            EXPECT_LE(l.drug.perDay.toInt(), 6);
        }
        if (l.drug.dose.isNull())
            continue;
        ++withDose;
        const QRegularExpressionMatch m = range.match(l.drug.notes);
        ASSERT_TRUE(m.hasMatch()) << l.drug.notes.toStdString();
        EXPECT_GE(l.drug.dose.toInt(), m.captured(1).toInt());
        EXPECT_LE(l.drug.dose.toInt(), m.captured(2).toInt());
    }
    EXPECT_GE(withDose, 3);
    EXPECT_EQ(listed.at(QStringLiteral("Вальпроевая кислота")).drug.dose.toInt(), 20);
    EXPECT_TRUE(listed.at(QStringLiteral("Амлодипин")).drug.dose.isNull());
}

// A reference given to addDrugReference on a database of its own.
class DrugReference : public ::testing::Test {
protected:
    DrugReference() : db_(dir_.filePath(QStringLiteral("t.sqlite")), true)
    {
        for (const QString& sql : data::workstationSchema().createStatements())
            db_.exec(sql);
        // The department's own rows, which a refused reference leaves alone.
        db_.exec(QStringLiteral("insert into TreatType (TrTname, TrTself) values ('Своя', 0)"));
        db_.exec(QStringLiteral("insert into TreatType (TrTname, TrTself) values ('Своя группа', 1)"));
    }

    int count(const QString& table)
    {
        data::SqliteStatement st = db_.prepare(QStringLiteral("select count(*) from ") + table);
        st.step();
        return static_cast<int>(st.int64(0));
    }

    static QJsonObject drugsIn(const QJsonArray& drugs)
    {
        const QJsonObject group{{QStringLiteral("name"), QStringLiteral("Антиагреганты")},
                                {QStringLiteral("drugs"), drugs}};
        const QJsonObject macrogroup{{QStringLiteral("name"), QStringLiteral("Сосудистые средства")},
                                     {QStringLiteral("groups"), QJsonArray{group}}};
        return QJsonObject{{QStringLiteral("macrogroups"), QJsonArray{macrogroup}}};
    }

    static QJsonObject clopidogrel()
    {
        return {{QStringLiteral("name"), QStringLiteral("Клопидогрел")},
                {QStringLiteral("latin"), QStringLiteral("Clopidogrelum")},
                {QStringLiteral("notes"), QStringLiteral("табл. 75 мг")},
                {QStringLiteral("perDay"), 1}};
    }

    QTemporaryDir dir_;
    data::SqliteConnection db_;
};

TEST_F(DrugReference, AFaultyReferenceWritesNothing)
{
    const auto with = [](const char* member, const QJsonValue& value) {
        QJsonObject d = clopidogrel();
        if (value.isUndefined())
            d.remove(QLatin1String(member));
        else
            d.insert(QLatin1String(member), value);
        return drugsIn({d});
    };
    const QString name24 = QStringLiteral("Ацетилсалициловая кислот"); // 24 characters
    std::vector<std::pair<const char*, QJsonObject>> faulty = {
        {"a name one character too long", with("name", name24 + QStringLiteral("аа"))},
        {"a Latin name too long", with("latin", QStringLiteral("Acidum acetylsalicylicum2x"))},
        {"no notes", with("notes", QJsonValue::Undefined)},
        {"a blank name", with("name", QStringLiteral("  "))},
        {"a misspelt member", with("mgPerKg", 20)},
        {"no whole number", with("perDay", 1.5)},
        {"zero intakes", with("perDay", 0)},
        {"a number as text", with("mgPerKgPerDay", QStringLiteral("20"))},
        {"drugs not a list", QJsonObject{{QStringLiteral("macrogroups"),
                                          QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("М")},
                                                                 {QStringLiteral("groups"),
                                                                  QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("Г")},
                                                                                         {QStringLiteral("drugs"), 3}}}}}}}}},
        {"no macrogroups", QJsonObject{{QStringLiteral("macrogroup"), QJsonArray{}}}},
    };
    // The second drug is refused after the first was found sound.
    faulty.emplace_back("the same drug twice", drugsIn({clopidogrel(), clopidogrel()}));

    for (const auto& [what, reference] : faulty) {
        SCOPED_TRACE(what);
        EXPECT_THROW(tools::addDrugReference(db_, reference), Error);
        EXPECT_EQ(count(QStringLiteral("TreatType")), 2);
        EXPECT_EQ(count(QStringLiteral("Treat")), 0);
    }
    // A name exactly as wide as its field is taken whole.
    EXPECT_NO_THROW(tools::addDrugReference(db_, with("name", name24 + QStringLiteral("а"))));
    data::SqliteStatement st = db_.prepare(QStringLiteral("select Tname_r from Treat"));
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.text(0).size(), 25);
}

// ---- init on new and existing databases ------------------------------------

TEST(StarterInit, EmptyMakesEveryTableWithoutRows)
{
    Databases db;
    const ToolRun run = db.tool({QStringLiteral("init"), QStringLiteral("--empty")});
    ASSERT_EQ(run.rc, 0) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("Начальное отделение")));
    for (const data::TableDef& t : data::workstationSchema().tables())
        EXPECT_EQ(db.count(t.name), 0) << t.name.toStdString();
    for (const data::TableDef& t : data::errorSchema().tables())
        EXPECT_EQ(db.count(t.name, kErrors), 0) << t.name.toStdString();
}

TEST(StarterInit, AnExistingDatabaseIsNeverTouched)
{
    Databases db;
    ASSERT_EQ(db.tool({QStringLiteral("init"), QStringLiteral("--empty")}).rc, 0);
    ASSERT_EQ(db.tool({QStringLiteral("sql"), QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"Своя больница\", \"Своё отделение\")")}).rc, 0);
    const QByteArray workstation = fileBytes(db.file(kPacientdata));
    const QByteArray errors = fileBytes(db.file(kErrors));

    const ToolRun refused = db.tool({QStringLiteral("init")});
    EXPECT_EQ(refused.rc, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("уже существует"))) << refused.err.toStdString();
    const ToolRun skipped = db.tool({QStringLiteral("init"), QStringLiteral("--if-missing")});
    EXPECT_EQ(skipped.rc, 0) << skipped.err.toStdString();
    EXPECT_TRUE(skipped.out.isEmpty()) << skipped.out.toStdString();

    EXPECT_EQ(fileBytes(db.file(kPacientdata)), workstation);
    EXPECT_EQ(fileBytes(db.file(kErrors)), errors);
    EXPECT_EQ(QDir(db.directory(kPacientdata)).entryList(QDir::Files), QStringList{QStringLiteral("database.sqlite")});
    EXPECT_EQ(db.count(QStringLiteral("SHablon")), 0);
}

TEST(StarterInit, IfMissingMakesOnlyTheMissingDatabaseWithTheDepartment)
{
    Databases db;
    ASSERT_EQ(db.tool({QStringLiteral("init"), QStringLiteral("--empty")}).rc, 0);
    ASSERT_TRUE(QFile::remove(db.file(kPacientdata)));
    const QByteArray errors = fileBytes(db.file(kErrors));

    const ToolRun run = db.tool({QStringLiteral("init"), QStringLiteral("--if-missing")});
    ASSERT_EQ(run.rc, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count(QStringLiteral("Создана база данных")), 1);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Начальное отделение"))) << run.out.toStdString();
    EXPECT_EQ(fileBytes(db.file(kErrors)), errors);
    EXPECT_EQ(db.count(QStringLiteral("Otdelen")), 1);
    EXPECT_EQ(db.count(QStringLiteral("SHablon")), 9);
    EXPECT_GT(db.count(QStringLiteral("Treat")), 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("справочник лекарств"))) << run.out.toStdString();
}

TEST(StarterInit, ARefusalMakesNoDatabaseAtAll)
{
    Databases db;
    ASSERT_EQ(db.tool({QStringLiteral("init"), QStringLiteral("--empty")}).rc, 0);
    ASSERT_TRUE(QFile::remove(db.file(kPacientdata)));
    // The error database exists: without --if-missing nothing is made.
    EXPECT_EQ(db.tool({QStringLiteral("init")}).rc, 1);
    EXPECT_FALSE(QFile::exists(db.file(kPacientdata)));
}

// ---- Template sources --------------------------------------------------------

TEST(StarterSources, PlaceholdersBecomeMarkersWithTheKeysOfTheirRows)
{
    const tools::StarterKeys keys = {{QStringLiteral("grp_laboratory"), 7}, {QStringLiteral("shabl_heading"), 12}};
    EXPECT_EQ(tools::expandTemplateSource(
                  QStringLiteral("<p>{{shabl_heading}}</p><p>ФИО: {{fld_1}} {{fld_2}}</p><p>{{grp_laboratory}}{{grp_3}}</p><p>{{trt_2}}</p>"),
                  keys),
              QStringLiteral("<p>&lt;!shabl_12&gt;</p><p>ФИО: &lt;!fld_1&gt; &lt;!fld_2&gt;</p>"
                             "<p>&lt;!grp_7&gt;&lt;!grp_3&gt;</p><p>&lt;!trt_2&gt;</p>"));
    // Comments are the source's own notes, placeholders in them included.
    EXPECT_EQ(tools::expandTemplateSource(QStringLiteral("<!-- {{fld_N}} and {{grp_TYPE}}\n -->x"), keys),
              QStringLiteral("x"));
}

TEST(StarterSources, AWrongPlaceholderIsAnError)
{
    const tools::StarterKeys keys = {{QStringLiteral("grp_laboratory"), 7}};
    // A name of another kind, an unknown name and a misspelt placeholder.
    EXPECT_THROW(tools::expandTemplateSource(QStringLiteral("{{shabl_laboratory}}"), keys), Error);
    EXPECT_THROW(tools::expandTemplateSource(QStringLiteral("{{grp_radiology}}"), keys), Error);
    EXPECT_THROW(tools::expandTemplateSource(QStringLiteral("{{fId_1}}"), keys), Error);
    EXPECT_THROW(tools::expandTemplateSource(QStringLiteral("{{fld 1}}"), keys), Error);
}

TEST(StarterSources, AMarkerInATableCellIsWrittenWhole)
{
    const QByteArray blob = tools::templateDocumentBlob(tools::expandTemplateSource(
        QStringLiteral("<html><body><p><b>Диагноз:</b> {{fld_12}}</p>\n\n<table><tr><td>{{grp_5}}</td></tr></table>\n</body></html>\n"),
        {}));
    const word::Document doc = word::documentFromBlob(blob);
    EXPECT_EQ(word::plainText(doc), QStringLiteral("Диагноз: <!fld_12>\n<!grp_5>\n\n"));
    EXPECT_TRUE(hasTable(doc.text()));
}

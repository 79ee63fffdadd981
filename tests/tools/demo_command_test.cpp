#include "demo_command.h"
#include "starter_department.h"
#include "tool_databases.h"

#include "common/errors.h"
#include "data/values.h"
#include "patient/patient_card.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace talvora;
using tools::test::Databases;

namespace {

const QDate kToday(2024, 3, 15);

tools::DemoOptions defaults()
{
    tools::DemoOptions o;
    o.today = kToday;
    return o;
}

QString squeezed(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

QString summaryText(const QVariant& blob)
{
    return squeezed(word::plainText(word::readDocument(blob.toByteArray())));
}

QJsonObject demoJson()
{
    QFile f(QStringLiteral(":/starter/demo.json"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(f.readAll()).object();
}

// One default run shared by the checks that only read it.
class DefaultDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = std::make_unique<Databases>();
        summary = tools::addDemoPatients(db->aliases(), defaults());
    }
    static void TearDownTestSuite() { db.reset(); }

    static inline std::unique_ptr<Databases> db;
    static inline tools::DemoSummary summary;
};

} // namespace

TEST_F(DefaultDemo, SixtyPatientsInTheStarterDepartmentAndAWizardMadeOne)
{
    ASSERT_EQ(summary.departments.size(), 2);
    EXPECT_TRUE(summary.secondDepartmentMade);
    EXPECT_EQ(summary.patients, 60);
    EXPECT_EQ(db->count(QStringLiteral("pacient")), 60);
    const qint64 first = summary.departments[0], second = summary.departments[1];
    EXPECT_EQ(first, 1);
    const auto perDepartment = db->rows(QStringLiteral("select Potd, count(*) as n from pacient group by Potd order by Potd"));
    ASSERT_EQ(perDepartment.size(), 2u) << "both departments have patients";
    EXPECT_GE(perDepartment[1].value(QStringLiteral("n")).toInt(), 10);
    EXPECT_GE(perDepartment[0].value(QStringLiteral("n")).toInt(), 10);

    // The second department: the wizard's document types, and the starter
    // department's templates and boilerplates copied under its own types.
    const auto types = db->rows(QStringLiteral("select VTName from VipisType where VTOtd = %1 order by VTid").arg(second));
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[3].value(QStringLiteral("VTName")).toString(), QStringLiteral("Выписки"));
    const auto templates = [&](qint64 d) {
        QStringList names;
        for (const auto& r : db->rows(QStringLiteral("select ShName, ShType, Sh_def from SHablon where ShOtd = %1 order by ShId").arg(d)))
            names << r.value(QStringLiteral("ShName")).toString() + u'/' + r.value(QStringLiteral("Sh_def")).toString();
        names.sort();
        return names;
    };
    EXPECT_EQ(templates(second), templates(first));
    EXPECT_FALSE(templates(second).isEmpty());
    const auto foreignTypes = db->rows(QStringLiteral("select count(*) as n from SHablon s, SHablonType t where s.ShType = t.ShTID "
                                                      "and s.ShOtd = %1 and t.ShTotd <> %1").arg(second));
    EXPECT_EQ(foreignTypes.at(0).value(QStringLiteral("n")).toInt(), 0) << "copied templates refer to the copied types";
    EXPECT_EQ(db->rows(QStringLiteral("select count(*) as n from Fish where Fotd = %1").arg(second)).at(0).value(QStringLiteral("n")),
              db->rows(QStringLiteral("select count(*) as n from Fish where Fotd = %1").arg(first)).at(0).value(QStringLiteral("n")));
}

TEST_F(DefaultDemo, EveryDischargedPatientHasASummaryWithTheirNameAndDiagnosis)
{
    const auto patients = db->rows(QStringLiteral("select PID, Potd, PdV, Pname_f, Pname_n, Pname_o, PdiaK from pacient order by PID"));
    int current = 0;
    for (const auto& p : patients) {
        const qint64 pid = p.value(QStringLiteral("PID")).toLongLong();
        const auto docs = db->rows(QStringLiteral("select v.Vres, v.Vdate, t.VTName, t.VTOtd from Vipis v, VipisType t "
                                                  "where v.Vtype = t.VTid and v.Vpac = %1").arg(pid));
        if (p.value(QStringLiteral("PdV")).toDate() == data::emptyDate()) {
            ++current;
            EXPECT_TRUE(docs.empty()) << "no summary before the discharge, patient " << pid;
            continue;
        }
        ASSERT_EQ(docs.size(), 1u) << "patient " << pid;
        const auto& doc = docs[0];
        EXPECT_TRUE(doc.value(QStringLiteral("VTName")).toString().startsWith(QStringLiteral("Выписк")));
        EXPECT_EQ(doc.value(QStringLiteral("VTOtd")), p.value(QStringLiteral("Potd"))) << "the type of the patient's department";
        EXPECT_EQ(doc.value(QStringLiteral("Vdate")).toDateTime().date(), p.value(QStringLiteral("PdV")).toDate());
        const QString text = summaryText(doc.value(QStringLiteral("Vres")));
        const QString name = p.value(QStringLiteral("Pname_f")).toString() + u' ' + p.value(QStringLiteral("Pname_n")).toString() +
                             u' ' + p.value(QStringLiteral("Pname_o")).toString();
        EXPECT_TRUE(text.contains(name)) << pid << ": " << name.toStdString();
        EXPECT_TRUE(text.contains(squeezed(p.value(QStringLiteral("PdiaK")).toString()))) << pid;
        EXPECT_FALSE(text.contains(QStringLiteral("<!"))) << "every marker replaced, patient " << pid;
        // Only the signature lines are left to write, by hand.
        const QString written = QString(text).remove(QRegularExpression(QStringLiteral("(Лечащий врач|Заведующий отделением) _+ /_+/")));
        EXPECT_FALSE(written.contains(QStringLiteral("__")))
            << "no blank of a form left, patient " << pid << ": " << written.mid(written.indexOf(QStringLiteral("__")) - 80, 120).toStdString();
    }
    EXPECT_EQ(current, summary.notDischarged);
    EXPECT_GE(current, 1) << "a few patients are still in hospital";
    EXPECT_LE(current, 20);
    EXPECT_EQ(summary.summariesCopied, 0) << "a small run assembles every summary";
}

TEST_F(DefaultDemo, SummariesCarryTheInvestigationsAndTheTreatment)
{
    const auto p = db->rows(QStringLiteral("select PID from pacient where PdV <> \"30.12.1899\" order by PID")).at(0);
    const qint64 pid = p.value(QStringLiteral("PID")).toLongLong();
    const QString text = summaryText(
        db->rows(QStringLiteral("select Vres from Vipis where Vpac = %1").arg(pid)).at(0).value(QStringLiteral("Vres")));
    for (const auto& drug : db->rows(QStringLiteral("select Nname, Nrej from Nazn where Npac = %1").arg(pid)))
        EXPECT_TRUE(text.contains(drug.value(QStringLiteral("Nname")).toString())) << drug.value(QStringLiteral("Nname")).toString().toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ОБЩИЙ (КЛИНИЧЕСКИЙ) АНАЛИЗ КРОВИ")));
    EXPECT_TRUE(text.contains(QStringLiteral("ЭЛЕКТРОКАРДИОГРАФИЯ")));
}

TEST_F(DefaultDemo, DatesAreConsistent)
{
    for (const auto& p : db->rows(QStringLiteral("select PID, PdB, PdP, PdV from pacient"))) {
        const QDate birth = p.value(QStringLiteral("PdB")).toDate(), in = p.value(QStringLiteral("PdP")).toDate(),
                    out = p.value(QStringLiteral("PdV")).toDate();
        const qint64 pid = p.value(QStringLiteral("PID")).toLongLong();
        EXPECT_NE(birth, data::emptyDate());
        EXPECT_LT(birth, in) << pid;
        EXPECT_GE(birth.daysTo(in) / 365, 18) << pid;
        EXPECT_LE(in, kToday) << pid;
        EXPECT_GE(in, kToday.addDays(-42)) << "a few weeks' work";
        if (out == data::emptyDate()) {
            EXPECT_LT(in.daysTo(kToday), 7) << "only the recently admitted are still in hospital, " << pid;
            continue;
        }
        EXPECT_LE(in, out) << pid;
        EXPECT_LE(out, kToday) << pid;
        EXPECT_LE(in.daysTo(out), 21) << pid;
        EXPECT_TRUE(in.daysTo(out) >= 7 || out == kToday) << pid;
        for (const auto& i : db->rows(QStringLiteral("select Idate from Issled where Ipac = %1").arg(pid))) {
            const QDate day = i.value(QStringLiteral("Idate")).toDateTime().date();
            EXPECT_TRUE(day >= in && day <= out) << pid;
        }
    }
}

TEST_F(DefaultDemo, NamesAreFictionalCombinationsOfCommonNames)
{
    const QJsonObject demo = demoJson();
    QSet<QString> surnames[2], patronymics[2], firstNames[2];
    for (const auto& pair : demo.value(QStringLiteral("surnames")).toArray())
        for (int s = 0; s < 2; ++s)
            surnames[s].insert(pair.toArray().at(s).toString());
    for (const auto& pair : demo.value(QStringLiteral("patronymics")).toArray())
        for (int s = 0; s < 2; ++s)
            patronymics[s].insert(pair.toArray().at(s).toString());
    for (const auto& n : demo.value(QStringLiteral("maleNames")).toArray())
        firstNames[0].insert(n.toString());
    for (const auto& n : demo.value(QStringLiteral("femaleNames")).toArray())
        firstNames[1].insert(n.toString());
    int sexes[2] = {0, 0};
    for (const auto& p : db->rows(QStringLiteral("select Pname, Pname_f, Pname_n, Pname_o, Pmale, Pprof from pacient"))) {
        const int s = p.value(QStringLiteral("Pmale")).toInt() - 1;
        ASSERT_TRUE(s == 0 || s == 1);
        ++sexes[s];
        const QString f = p.value(QStringLiteral("Pname_f")).toString(), n = p.value(QStringLiteral("Pname_n")).toString(),
                      o = p.value(QStringLiteral("Pname_o")).toString();
        EXPECT_TRUE(surnames[s].contains(f)) << f.toStdString();
        EXPECT_TRUE(firstNames[s].contains(n)) << n.toStdString();
        EXPECT_TRUE(patronymics[s].contains(o)) << o.toStdString();
        EXPECT_EQ(p.value(QStringLiteral("Pname")).toString(), patient::DisplayName(f, n, o));
        EXPECT_FALSE(p.value(QStringLiteral("Pprof")).toString().isEmpty());
    }
    EXPECT_GT(sexes[0], 10);
    EXPECT_GT(sexes[1], 10);
}

// The first word of each paragraph that opens with a heading ("Рефлексы:",
// "3. Режим:"), empty for the others: a filled text keeps its boilerplate's
// paragraphs and headings.
QStringList headings(const QString& text, const QString& form)
{
    static const QRegularExpression first(QStringLiteral("^[\\p{L}\\d]+"), QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression heading(QStringLiteral("^[^_:.]{1,40}:"));
    const QStringList paragraphs = text.split(u'\r'), forms = form.split(u'\r');
    QStringList out;
    for (qsizetype i = 0; i < forms.size(); ++i)
        out << (heading.match(forms[i]).hasMatch() ? first.match(paragraphs.value(i)).captured() : QString());
    return out;
}

TEST_F(DefaultDemo, TextsAreTheBoilerplatesOfTheAgeAndSexFilledIn)
{
    for (const auto& p : db->rows(QStringLiteral("select PID, Potd, PdB, PdP, Pmale, PanM, Pnst, Psomat, Precom, PanW, Pjal from pacient"))) {
        const int age = int(p.value(QStringLiteral("PdB")).toDate().daysTo(p.value(QStringLiteral("PdP")).toDate()) / 365.25);
        const qint64 pid = p.value(QStringLiteral("PID")).toLongLong();
        const auto fish = [&](int kind) {
            return db->rows(QStringLiteral("select Fmem from Fish where Fotd = %1 and FType = %2 and Fmin <= %3 and Fmax >= %3 "
                                           "and (Fmale = %4 or Fmale = 3)")
                                .arg(p.value(QStringLiteral("Potd")).toLongLong())
                                .arg(kind)
                                .arg(age)
                                .arg(p.value(QStringLiteral("Pmale")).toInt()));
        };
        const auto anamnesis = fish(1), neuro = fish(2), somatic = fish(3), advice = fish(4);
        ASSERT_EQ(anamnesis.size(), 1u) << "age " << age;
        ASSERT_EQ(neuro.size(), 1u);
        ASSERT_EQ(somatic.size(), 1u);
        ASSERT_EQ(advice.size(), 1u);
        const auto filledFrom = [&](const char* column, const QVariantMap& boilerplate) {
            const QString text = p.value(QString::fromLatin1(column)).toString();
            const QString form = boilerplate.value(QStringLiteral("Fmem")).toString();
            EXPECT_TRUE(form.contains(QStringLiteral("___"))) << "the boilerplate is a form";
            EXPECT_FALSE(text.contains(QStringLiteral("__"))) << column << " of " << pid << ": " << text.toStdString();
            EXPECT_EQ(headings(text, form), headings(form, form)) << column << " of " << pid;
        };
        filledFrom("PanM", anamnesis[0]);
        filledFrom("Pnst", neuro[0]);
        filledFrom("Psomat", somatic[0]);
        filledFrom("Precom", advice[0]);
        // The anamnesis document says what its text says, headings and all.
        const QByteArray document = p.value(QStringLiteral("PanW")).toByteArray();
        ASSERT_FALSE(document.isEmpty());
        EXPECT_EQ(tools::documentPlainText(document), p.value(QStringLiteral("PanM")).toString()) << pid;
        // The diagnosis's findings follow the status in a paragraph of their own.
        const QString status = p.value(QStringLiteral("Pnst")).toString();
        EXPECT_EQ(status.count(u'\r'), neuro[0].value(QStringLiteral("Fmem")).toString().count(u'\r') + 1) << pid;
        EXPECT_TRUE(status.section(u'\r', -1).startsWith(QStringLiteral("Очаг"))) << status.section(u'\r', -1).toStdString();
        EXPECT_TRUE(p.value(QStringLiteral("Pjal")).toString().startsWith(QStringLiteral("на ")));
    }
}

TEST_F(DefaultDemo, TheAnamnesisDocumentKeepsItsBoldHeadings)
{
    const QByteArray document =
        db->rows(QStringLiteral("select PanW from pacient order by PID")).at(0).value(QStringLiteral("PanW")).toByteArray();
    const QJsonObject dump = word::dumpDocument(word::readDocument(document));
    int bold = 0;
    QString boldText;
    for (const QJsonValue& paragraph : dump.value(QStringLiteral("paragraphs")).toArray())
        for (const QJsonValue& run : paragraph.toObject().value(QStringLiteral("runs")).toArray())
            if (run.toObject().value(QStringLiteral("bold")).toBool()) {
                ++bold;
                boldText += run.toObject().value(QStringLiteral("text")).toString();
            }
    EXPECT_GE(bold, 5);
    EXPECT_TRUE(boldText.contains(QStringLiteral("Аллергоанамнез:"))) << boldText.toStdString();
    EXPECT_FALSE(boldText.contains(QStringLiteral("отрицает"))) << "the filled-in words are not bold: " << boldText.toStdString();
}

TEST_F(DefaultDemo, InvestigationsAreTheDepartmentsFormsFilledIn)
{
    const auto rows = db->rows(QStringLiteral("select i.Iname, i.Idate, i.Ires, i.Itype, p.Potd from Issled i, pacient p where i.Ipac = p.PID"));
    ASSERT_GE(rows.size(), 60u * 3);
    std::map<std::pair<qint64, QString>, QVariant> formTypes; // the first form of a name in each department
    for (const auto& f : db->rows(QStringLiteral("select ShOtd, ShName, ShType from SHablon order by ShId")))
        formTypes.emplace(std::make_pair(f.value(QStringLiteral("ShOtd")).toLongLong(), f.value(QStringLiteral("ShName")).toString()),
                          f.value(QStringLiteral("ShType")));
    for (const auto& r : rows) {
        const QString name = r.value(QStringLiteral("Iname")).toString();
        const auto form = formTypes.find({r.value(QStringLiteral("Potd")).toLongLong(), name});
        ASSERT_NE(form, formTypes.end()) << name.toStdString();
        EXPECT_EQ(r.value(QStringLiteral("Itype")).toLongLong(), form->second.toLongLong()) << "filed under the form's type";
        const QString text = summaryText(r.value(QStringLiteral("Ires")));
        EXPECT_TRUE(text.contains(r.value(QStringLiteral("Idate")).toDateTime().date().toString(QStringLiteral("dd.MM.yyyy"))))
            << name.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Дата взятия материала: _"))) << name.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Заключение: _"))) << name.toStdString();
    }
    // A blood count of a woman holds a haemoglobin in the women's range.
    const auto counts = db->rows(QStringLiteral("select i.Ires, p.Pmale from Issled i, pacient p where i.Ipac = p.PID and "
                                                "i.Iname = \"Общий анализ крови\""));
    ASSERT_FALSE(counts.empty());
    for (const auto& c : counts) {
        const QString text = summaryText(c.value(QStringLiteral("Ires")));
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Гемоглобин \\(HGB\\) (\\d+) г/л")).match(text);
        ASSERT_TRUE(m.hasMatch()) << text.left(300).toStdString();
        const int hb = m.captured(1).toInt();
        if (c.value(QStringLiteral("Pmale")).toInt() == 2)
            EXPECT_TRUE(hb >= 115 && hb <= 142) << hb;
        else
            EXPECT_TRUE(hb >= 128 && hb <= 162) << hb;
    }
}

TEST_F(DefaultDemo, PrescriptionsComeFromTheDrugReference)
{
    const auto rows = db->rows(QStringLiteral("select n.Nname, n.Nrej, n.Ndate, t.Tname_r, p.PdP from Nazn n, Treat t, pacient p "
                                              "where n.Ntr = t.Tid and n.Npac = p.PID"));
    EXPECT_EQ(int(rows.size()), db->count(QStringLiteral("Nazn"))) << "every prescription names a drug of the reference";
    EXPECT_EQ(int(rows.size()), summary.prescriptions);
    EXPECT_GE(rows.size(), 60u * 2);
    for (const auto& r : rows) {
        EXPECT_EQ(r.value(QStringLiteral("Nname")), r.value(QStringLiteral("Tname_r")));
        EXPECT_FALSE(r.value(QStringLiteral("Nrej")).toString().isEmpty());
        EXPECT_EQ(r.value(QStringLiteral("Ndate")).toDate(), r.value(QStringLiteral("PdP")).toDate());
    }
}

TEST_F(DefaultDemo, CaseHistoryNumbersRiseEachYearInEachDepartment)
{
    std::map<std::pair<int, int>, int> last;
    for (const auto& p : db->rows(QStringLiteral("select Potd, PdP, Phist from pacient order by PID"))) {
        const auto key = std::make_pair(p.value(QStringLiteral("Potd")).toInt(), p.value(QStringLiteral("PdP")).toDate().year());
        const int n = p.value(QStringLiteral("Phist")).toInt();
        EXPECT_EQ(n, last[key] + 1);
        last[key] = n;
    }
}

TEST(Demo, TheSameSeedMakesTheSameDepartmentAndAnotherSeedAnother)
{
    tools::DemoOptions o = defaults();
    o.patients = 12;
    const auto content = [&](quint32 seed) {
        Databases db;
        o.seed = seed;
        tools::addDemoPatients(db.aliases(), o);
        QStringList rows;
        for (const auto& p : db.rows(QStringLiteral("select PID, Pname, Potd, PdB, PdP, PdV, PdiaK, PdiaV, Pves, Phist from pacient order by PID")))
            rows << QStringList{p.value(QStringLiteral("Pname")).toString(), p.value(QStringLiteral("Potd")).toString(),
                                p.value(QStringLiteral("PdB")).toString(), p.value(QStringLiteral("PdP")).toString(),
                                p.value(QStringLiteral("PdV")).toString(), p.value(QStringLiteral("PdiaK")).toString(),
                                p.value(QStringLiteral("PdiaV")).toString(), p.value(QStringLiteral("Pves")).toString(),
                                p.value(QStringLiteral("Phist")).toString()}
                        .join(u'|');
        for (const auto& i : db.rows(QStringLiteral("select Ipac, Idate, Ires from Issled order by Iid")))
            rows << i.value(QStringLiteral("Idate")).toString() + summaryText(i.value(QStringLiteral("Ires")));
        for (const auto& v : db.rows(QStringLiteral("select Vpac, Vres from Vipis order by VID")))
            rows << summaryText(v.value(QStringLiteral("Vres")));
        return rows;
    };
    const QStringList a = content(7);
    EXPECT_EQ(a, content(7));
    EXPECT_NE(a, content(8));
}

TEST(Demo, ARunOnAFilledDatabaseAddsToTheSameTwoDepartments)
{
    Databases db;
    tools::DemoOptions o = defaults();
    o.patients = 10;
    const tools::DemoSummary first = tools::addDemoPatients(db.aliases(), o);
    o.seed = 99;
    const tools::DemoSummary again = tools::addDemoPatients(db.aliases(), o);
    EXPECT_FALSE(again.secondDepartmentMade);
    EXPECT_EQ(again.departments, first.departments);
    EXPECT_EQ(db.count(QStringLiteral("Otdelen")), 2);
    EXPECT_EQ(db.count(QStringLiteral("pacient")), 20);
    // The case-history numbers go on from those given before.
    const auto dup = db.rows(QStringLiteral("select count(*) as n from pacient a, pacient b where a.PID < b.PID and "
                                            "a.Potd = b.Potd and a.Phist = b.Phist"));
    EXPECT_EQ(dup.at(0).value(QStringLiteral("n")).toInt(), 0);
}

TEST(Demo, BeyondTheAssembledShareSummariesAreCopiesOfTheDepartmentsOwn)
{
    Databases db;
    tools::DemoOptions o = defaults();
    o.patients = 40;
    o.years = 1;
    o.assembledRecent = 3;
    const tools::DemoSummary s = tools::addDemoPatients(db.aliases(), o);
    EXPECT_GT(s.summariesCopied, 0);
    EXPECT_LE(s.summariesAssembled, 3 + 2 * 8);
    EXPECT_EQ(s.summariesAssembled + s.summariesCopied + s.notDischarged, 40);
    EXPECT_EQ(db.count(QStringLiteral("Vipis")), s.summariesAssembled + s.summariesCopied);
    // A copy comes from the patient's own department: its heading and types.
    const auto foreign = db.rows(QStringLiteral("select count(*) as n from Vipis v, VipisType t, pacient p where v.Vtype = t.VTid "
                                                "and v.Vpac = p.PID and t.VTOtd <> p.Potd"));
    EXPECT_EQ(foreign.at(0).value(QStringLiteral("n")).toInt(), 0);
    for (const auto& p : db.rows(QStringLiteral("select PdP from pacient")))
        EXPECT_GE(p.value(QStringLiteral("PdP")).toDate(), kToday.addYears(-1).addDays(-31));
}

TEST(Demo, TheCommandLine)
{
    Databases db;
    auto run = [&](QStringList args) {
        args << QStringLiteral("--alias") << QStringLiteral("pacientdata=") + db.directory(tools::test::kPacientdata)
             << QStringLiteral("--alias") << QStringLiteral("Errors=") + db.directory(tools::test::kErrors);
        QString out, err;
        QTextStream o(&out), e(&err);
        const int rc = tools::runDemoCommand(args, o, e);
        o.flush();
        e.flush();
        return tools::test::ToolRun{rc, out, err};
    };
    const auto bad = run({"--patients", "0"});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--patients")));
    EXPECT_EQ(run({"--years"}).rc, 1);
    EXPECT_EQ(run({"--frobnicate", "1"}).rc, 1);
    EXPECT_FALSE(QFile::exists(db.file(tools::test::kPacientdata))) << "a refused command makes nothing";

    // Without a database it makes one with the starter department first.
    const auto ok = run({"--patients", "4", "--seed", "3"});
    EXPECT_EQ(ok.rc, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("Добавлено пациентов: 4"))) << ok.out.toStdString();
    EXPECT_EQ(db.count(QStringLiteral("pacient")), 4);
}

TEST(Demo, ADatabaseWithoutADepartmentIsRefused)
{
    Databases db;
    tools::initDatabases(db.aliases(), false, tools::InitContent::Empty);
    try {
        tools::addDemoPatients(db.aliases(), defaults());
        FAIL() << "no department to fill";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("init")));
    }
    EXPECT_EQ(db.count(QStringLiteral("Otdelen")), 0);
    EXPECT_EQ(db.count(QStringLiteral("pacient")), 0);
}

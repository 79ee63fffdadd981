// The wizard's operations on a database with the starter department: the
// new workplace, and the import with new keys, rewritten markers, one unit
// of work, and nothing copied that belongs to patients.

#include "wizard_fixture.h"

#include "common/errors.h"
#include "data/unit_of_work.h"
#include "templates/document_assembly.h"
#include "templates/markers.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QProgressBar>
#include <QRegularExpression>
#include <QWidget>

namespace talvora::test {
namespace {

using service::DepartmentImport;
using service::ImportSummary;
using templates::MarkerKind;
using templates::markerText;

const QString kSummary = QStringLiteral("Выписной эпикриз");

class WizardImport : public StarterDatabase {
protected:
    WizardImport()
    {
        start();
        wizard = std::make_unique<service::SetupWizard>(*dm);
    }

    // "Создать  !" answered with Yes; the new department's key.
    qint64 create(const QString& department)
    {
        dialogs.yes();
        EXPECT_TRUE(wizard->CreateWorkplace(workplace(department)));
        return wizard->newDepartmentKey();
    }

    void chooseSource(qint64 department) { ASSERT_TRUE(dm->Otd->locate(QStringLiteral("OID"), department)); }

    ImportSummary importFrom(qint64 source)
    {
        chooseSource(source);
        return wizard->StartImport();
    }

    // The department's templates with the name of their type, in name order.
    QList<QVariantList> templatesWithTypes(qint64 department)
    {
        return rows(QStringLiteral("select s.ShName, t.ShTName, s.Sh_min, s.Sh_max, s.Sh_def from SHablon s, SHablonType t "
                                   "where s.ShType = t.ShTID and s.ShOtd = %1 and t.ShTotd = %1 order by s.ShName")
                        .arg(department));
    }

    QList<QVariantList> boilerplates(qint64 department)
    {
        return rows(QStringLiteral("select FName, FType, Fmin, Fmax, Fmale, Fmem, Fres from Fish where Fotd = %1 "
                                   "order by FName")
                        .arg(department));
    }

    std::unique_ptr<service::SetupWizard> wizard;
};

TEST_F(WizardImport, CreatingAWorkplaceStoresTheDepartmentAndItsFourDocumentTypesAndAsks)
{
    dialogs.yes();
    service::NewWorkplace w = workplace(QStringLiteral("Неврология-2"));
    w.hospital = QStringLiteral("ГКБ №7 ") + QString(300, u'я');
    EXPECT_TRUE(wizard->CreateWorkplace(w));
    const qint64 key = wizard->newDepartmentKey();
    EXPECT_GT(key, starter);
    EXPECT_EQ(dialogs.asked().at(0).kind, DialogKind::ConfirmOrCancel);
    EXPECT_EQ(dialogs.asked().at(0).text,
              "Импортировать шаблоны и Рыбы из другого отделения ? \r\n (Cansel - ввести \"рыбы\" вручную)");

    // Stored cut to the field's width; the import page names it as stored.
    const QString hospital = dbs.scalar(QStringLiteral("select Oboln from Otdelen where OID = %1").arg(key)).toString();
    EXPECT_EQ(hospital.size(), 255);
    EXPECT_EQ(wizard->targetName(), hospital + QStringLiteral(" Неврология-2"));
    EXPECT_EQ(rows(QStringLiteral("select VTName from VipisType where VTOtd = %1 order by VTid").arg(key)),
              (QList<QVariantList>{{"Осмотр по дежурству"}, {"Этапный эпикриз"}, {"Совместный осмотр"}, {"Выписки"}}));

    // The new department is the current one, with its document types.
    EXPECT_EQ(dm->Otd->field(QStringLiteral("OID")).value().toLongLong(), key);
    EXPECT_EQ(dm->VType->recordCount(), 4);
    EXPECT_EQ(holdings(key), Holdings{});

    // Cancel is the answer that enters the boilerplates by hand; empty names are taken.
    dialogs.cancel();
    EXPECT_FALSE(wizard->CreateWorkplace({QString(), QString(), {QString(), QString(), QString(), QString()}}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from VipisType where VTOtd = %1").arg(wizard->newDepartmentKey())), 4);
    EXPECT_EQ(wizard->targetName(), " ");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(WizardImport, CopiesGetNewKeysAndEveryTemplatePointsAtItsCopiedType)
{
    const Holdings source = holdings(starter);
    ASSERT_EQ(source, (Holdings{21, 4, 9}));
    const QByteArray sourceSummary = templateBlob(starter, kSummary);
    const qint64 target = create(QStringLiteral("Неврология-2"));

    const ImportSummary done = importFrom(starter);
    EXPECT_EQ(done, (ImportSummary{21, 4, 9, 1}));
    EXPECT_EQ(holdings(target), source);

    // The same types by name, none under a key of the source.
    const auto sourceTypes = rows(QStringLiteral("select ShTID, ShTName from SHablonType where ShTotd = %1").arg(starter));
    const auto newTypes = rows(QStringLiteral("select ShTID, ShTName from SHablonType where ShTotd = %1").arg(target));
    ASSERT_EQ(newTypes.size(), sourceTypes.size());
    for (int i = 0; i < newTypes.size(); ++i) {
        EXPECT_EQ(newTypes[i][1], sourceTypes[i][1]);
        for (const QVariantList& s : sourceTypes)
            EXPECT_NE(newTypes[i][0], s[0]);
    }
    // Every template is under its type's copy, with its bounds and default mark.
    EXPECT_EQ(templatesWithTypes(target), templatesWithTypes(starter));
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShOtd = %1 and Sh_def > 0").arg(target)), 1);
    // Boilerplates, documents and texts byte for byte.
    EXPECT_EQ(boilerplates(target), boilerplates(starter));
    // A template without markers is its source's document unchanged.
    EXPECT_EQ(templateBlob(target, QStringLiteral("ЭКГ")), templateBlob(starter, QStringLiteral("ЭКГ")));
    // The source is left as it was.
    EXPECT_EQ(templateBlob(starter, kSummary), sourceSummary);
    EXPECT_EQ(holdings(starter), source);
}

TEST_F(WizardImport, TheCopiedSummarysMarkersNameTheCopiesAndItAssemblesInTheNewDepartment)
{
    const qint64 target = create(QStringLiteral("Неврология-2"));
    importFrom(starter);

    const QString text = templateText(target, kSummary);
    const QString sourceText = templateText(starter, kSummary);
    for (const QString& type : {QStringLiteral("Лабораторные исследования"), QStringLiteral("Инструментальные исследования"),
                                QStringLiteral("Консультации")}) {
        const QString mine = markerText(MarkerKind::Group, int(typeKey(target, type)));
        const QString theirs = markerText(MarkerKind::Group, int(typeKey(starter, type)));
        EXPECT_TRUE(text.contains(mine)) << type.toStdString();
        EXPECT_FALSE(text.contains(theirs)) << type.toStdString();
        EXPECT_TRUE(sourceText.contains(theirs)) << type.toStdString();
    }
    const QString heading = markerText(MarkerKind::Template, int(templateKey(target, QStringLiteral("Шапка выписки"))));
    EXPECT_EQ(text.count(heading), 1);
    // Nothing else of the text changed.
    QString back = text;
    back.replace(QRegularExpression(QStringLiteral("<!(grp|shabl)_\\d+>")), QStringLiteral("<!marker>"));
    QString sourceBack = sourceText;
    sourceBack.replace(QRegularExpression(QStringLiteral("<!(grp|shabl)_\\d+>")), QStringLiteral("<!marker>"));
    EXPECT_EQ(back, sourceBack);

    // The new department's own heading, and a patient of it with a blood count
    // of its laboratory type; a result under the source's type is not its own.
    data::Params h;
    h.set(QStringLiteral("res"), word::blobFromDocument([] {
              word::Document d;
              QTextCursor(&d.text()).insertText(QStringLiteral("ШАПКА НОВОГО ОТДЕЛЕНИЯ"));
              return d;
          }()));
    h.set(QStringLiteral("id"), templateKey(target, QStringLiteral("Шапка выписки")));
    dbs.sql(QStringLiteral("update SHablon set ShRes = :res where ShId = :id"), h);
    const qint64 patient = dbs.ppp().insertRow(
        QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Pmale) values "
                       "(\"Громова Е.С.\", \"Громова\", \"Елена\", \"Сергеевна\", %1, \"01.02.2024\", \"12.02.2024\", "
                       "\"12.03.1958\", 2)")
            .arg(target),
        {});
    const auto investigation = [&](qint64 type, const QString& result) {
        word::Document d;
        QTextCursor(&d.text()).insertText(result);
        data::Params p;
        p.set(QStringLiteral("pac"), patient);
        p.set(QStringLiteral("type"), type);
        p.set(QStringLiteral("res"), word::blobFromDocument(d));
        dbs.ppp().insertRow(QStringLiteral("insert into Issled (Ipac, Idate, Itype, Iname, Ires) values "
                                           "(:pac, \"05.02.2024\", :type, \"Общий анализ крови\", :res)"),
                            p);
    };
    investigation(typeKey(target, QStringLiteral("Лабораторные исследования")), QStringLiteral("Гемоглобин 128 г/л"));
    investigation(typeKey(starter, QStringLiteral("Лабораторные исследования")), QStringLiteral("Чужой результат"));

    // The doctor works in the new department.
    chooseSource(target);
    dm->Pac_q->open();
    ASSERT_TRUE(dm->Pac_q->locate(QStringLiteral("pID"), patient));
    templates::DocumentAssembly assembly(*dm);
    word::DocumentView view, aux;
    word::MarkerTextBox box;
    QWidget panel;
    QProgressBar bar(&panel);
    view.loadFromBlob(templateBlob(target, kSummary));
    assembly.AssembleDocument(view, aux, box, {&panel, &bar});
    const QString assembled = word::plainText(word::documentFromBlob(view.saveToBlob()));
    EXPECT_EQ(assembled.count(QStringLiteral("ШАПКА НОВОГО ОТДЕЛЕНИЯ")), 1) << assembled.toStdString();
    EXPECT_FALSE(assembled.contains(QStringLiteral("ГОРОДСКАЯ КЛИНИЧЕСКАЯ БОЛЬНИЦА №12")));
    EXPECT_TRUE(assembled.contains(QStringLiteral("Гемоглобин 128 г/л")));
    EXPECT_FALSE(assembled.contains(QStringLiteral("Чужой результат")));
    EXPECT_TRUE(assembled.contains(QStringLiteral("Громова")));
    EXPECT_FALSE(assembled.contains(QStringLiteral("<!"))) << assembled.toStdString();
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(WizardImport, ProgressNamesEachPartAndCountsTheRowsOfTheCopyRunning)
{
    create(QStringLiteral("Неврология-2"));
    QStringList stages;
    QString part;
    QHash<QString, QList<int>> steps; // the rows counted, by what was copied
    QStringList failures;
    int rowsOfPart = 0;
    service::ImportProgress progress;
    progress.stage = [&](const QString& what, int rows) {
        stages << QStringLiteral("%1 %2").arg(what).arg(rows);
        part = what;
        rowsOfPart = rows;
    };
    progress.step = [&](int row, int rows) {
        if (rows != rowsOfPart || row < 1 || row > rows)
            failures << QStringLiteral("%1 of %2 in %3").arg(row).arg(rows).arg(stages.back());
        steps[part] << row;
    };
    chooseSource(starter);
    wizard->StartImport(progress);
    EXPECT_EQ(failures, QStringList{});
    EXPECT_EQ(steps[DepartmentImport::copyingBoilerplates()].size(), 21);
    EXPECT_EQ(steps[DepartmentImport::copyingTemplateTypes()], (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(steps[DepartmentImport::copyingTemplates()], (QList<int>{1, 2, 1, 2, 3, 1, 2, 3, 1}));
    EXPECT_EQ(steps[DepartmentImport::rewritingMarkers()], (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Types in key order: the discharge summaries (2 templates), laboratory (3),
    // instrumental (3), consultations (1); the types' bar resumes at the next type.
    EXPECT_EQ(stages, (QStringList{"Копируются \"Рыбы\" 21", "Копируются типы Шаблонов 4", "Копируются Шаблоны 2",
                                   "Копируются типы Шаблонов 4", "Копируются Шаблоны 3", "Копируются типы Шаблонов 4",
                                   "Копируются Шаблоны 3", "Копируются типы Шаблонов 4", "Копируются Шаблоны 1",
                                   "Исправляются метки в Шаблонах 9"}));
}

TEST_F(WizardImport, AFailureHalfWayLeavesNothingCopiedAndTheImportCanBeRunAgain)
{
    const qint64 target = create(QStringLiteral("Неврология-2"));
    dbs.ppp().connection().exec(QStringLiteral(
        "create trigger refuse_ecg before insert on SHablon when new.ShName = 'ЭКГ' "
        "begin select raise(abort, 'шаблон ЭКГ не принят'); end"));
    QStringList stages;
    service::ImportProgress progress;
    progress.stage = [&](const QString& what, int) { stages << what; };
    chooseSource(starter);
    try {
        wizard->StartImport(progress);
        ADD_FAILURE() << "the import went through";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("шаблон ЭКГ не принят"))) << e.message().toStdString();
    }
    // Boilerplates and types had been copied when the templates failed.
    EXPECT_EQ(stages.count(DepartmentImport::copyingTemplates()), 3);
    EXPECT_EQ(holdings(target), Holdings{});
    EXPECT_EQ(holdings(starter), (Holdings{21, 4, 9}));
    EXPECT_FALSE(dm->Fish_q2->active());
    EXPECT_FALSE(dm->Sh_q2->active());

    dbs.ppp().connection().exec(QStringLiteral("drop trigger refuse_ecg"));
    EXPECT_EQ(importFrom(starter), (ImportSummary{21, 4, 9, 1}));
    EXPECT_EQ(holdings(target), (Holdings{21, 4, 9}));
}

TEST_F(WizardImport, ImportingFromTheNewDepartmentItselfCopiesNothing)
{
    // Without choosing another department the cursor is on the new one.
    const qint64 target = create(QStringLiteral("Неврология-2"));
    EXPECT_EQ(wizard->StartImport(), ImportSummary{});
    EXPECT_EQ(holdings(target), Holdings{});

    // Nor once it holds copies: nothing is doubled.
    importFrom(starter);
    EXPECT_EQ(importFrom(target), ImportSummary{});
    EXPECT_EQ(holdings(target), (Holdings{21, 4, 9}));
}

TEST_F(WizardImport, CreatingTwiceMakesTwoDepartmentsAndImportsGoToTheLastOneEachTime)
{
    const qint64 first = create(QStringLiteral("Первое"));
    const qint64 second = create(QStringLiteral("Второе"));
    EXPECT_NE(first, second);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Otdelen")), 3);
    importFrom(starter);
    EXPECT_EQ(holdings(first), Holdings{});
    EXPECT_EQ(holdings(second), (Holdings{21, 4, 9}));

    // Again in the same run, for a third department, from the second: its
    // summary names its own copies, not the second's.
    const qint64 third = create(QStringLiteral("Третье"));
    EXPECT_EQ(importFrom(second), (ImportSummary{21, 4, 9, 1}));
    const QString text = templateText(third, kSummary);
    EXPECT_TRUE(text.contains(markerText(MarkerKind::Template, int(templateKey(third, QStringLiteral("Шапка выписки"))))));
    EXPECT_FALSE(text.contains(markerText(MarkerKind::Template, int(templateKey(second, QStringLiteral("Шапка выписки"))))));
    EXPECT_TRUE(text.contains(markerText(MarkerKind::Group, int(typeKey(third, QStringLiteral("Консультации"))))));
}

TEST_F(WizardImport, PatientsInvestigationsDocumentsAndDocumentTypesAreNeverCopied)
{
    const qint64 patient = dbs.ppp().insertRow(
        QStringLiteral("insert into pacient (Pname, Potd, PdP) values (\"Петров П.П.\", %1, \"01.02.2024\")").arg(starter),
        {});
    dbs.sql(QStringLiteral("insert into Issled (Ipac, Itype, Iname) values (%1, %2, \"ЭКГ\")")
                .arg(patient)
                .arg(typeKey(starter, QStringLiteral("Инструментальные исследования"))));
    dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (%1, 1)").arg(patient));
    const auto others = [&] {
        return QList<int>{count(QStringLiteral("select count(*) from pacient")),
                          count(QStringLiteral("select count(*) from Issled")),
                          count(QStringLiteral("select count(*) from Vipis")),
                          count(QStringLiteral("select count(*) from VipisType"))};
    };
    const auto before = others();
    const qint64 target = create(QStringLiteral("Неврология-2"));
    importFrom(starter);
    auto after = others();
    after[3] -= 4; // the four of the naming page
    EXPECT_EQ(after, before);
    EXPECT_EQ(rows(QStringLiteral("select VTName from VipisType where VTOtd = %1 order by VTid").arg(target)),
              (QList<QVariantList>{{"Осмотр по дежурству"}, {"Этапный эпикриз"}, {"Совместный осмотр"}, {"Выписки"}}));
}

TEST_F(WizardImport, BoilerplateBoundsGivenTheWrongWayRoundAreStoredInOrder)
{
    const qint64 source = addDepartment(QStringLiteral("Источник"));
    dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, FName, Fmin, Fmax, Fmale) values (%1, 1, \"Обратные\", 60, 18, 3)")
                .arg(source));
    dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, FName, Fmin, Fmale) values (%1, 2, \"Без верхней\", 5, 1)")
                .arg(source));
    dm->Otd->refresh();
    const qint64 target = create(QStringLiteral("Неврология-2"));
    EXPECT_EQ(importFrom(source), (ImportSummary{2, 0, 0, 0}));
    EXPECT_EQ(rows(QStringLiteral("select FName, Fmin, Fmax from Fish where Fotd = %1 order by FName").arg(target)),
              (QList<QVariantList>{{"Без верхней", QVariant(), 5}, {"Обратные", 18, 60}}));
}

TEST_F(WizardImport, ADepartmentGoneSinceItWasCreatedTakesNothing)
{
    const qint64 target = create(QStringLiteral("Неврология-2"));
    dbs.sql(QStringLiteral("delete from Otdelen where OID = %1").arg(target));
    dm->Otd->refresh();
    chooseSource(starter);
    EXPECT_THROW(wizard->StartImport(), Error);
    EXPECT_EQ(holdings(target), Holdings{});
}

} // namespace
} // namespace talvora::test

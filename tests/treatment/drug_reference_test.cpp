#include "treatment_fixture.h"

#include "common/errors.h"
#include "treatment/drug_reference.h"

#include <memory>

using namespace talvora;
using talvora::treatment::DrugReference;

namespace {

class Drugs : public test::TreatmentData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        dm->Pac_q->open();
        ref = std::make_unique<DrugReference>(*dm);
        ref->Open();
    }

    QStringList names(data::Dataset& list, const char* field = "TrTname")
    {
        QStringList out;
        for (int row = 0; row < list.recordCount(); ++row)
            out << list.rowValue(row, list.fieldIndex(QString::fromLatin1(field))).toString();
        return out;
    }

    QString stored(const QString& statement) { return dbs.scalar(statement).toString(); }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<DrugReference> ref;
};

TEST_F(Drugs, OpeningShowsTheFirstMacrogroupItsGroupsAndTheDrugsOfTheFirstGroup)
{
    const int nootropics = addTreatType("Ноотропы", 0);
    addTreatType("Нейропротекторы", nootropics);
    addTreatType("Ноотропы (собственно)", nootropics);
    start();
    EXPECT_EQ(names(*dm->TrType_q_0), (QStringList{"Ноотропы", "Сосудистые средства"}));
    EXPECT_EQ(names(*dm->TrType_q_1), (QStringList{"Нейропротекторы", "Ноотропы (собственно)"}));
    EXPECT_TRUE(names(*dm->Treat_q, "Tname_r").isEmpty());

    // A click on the other macrogroup and its group.
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    ref->ShowDrugsOfGroup();
    EXPECT_EQ(names(*dm->TrType_q_1), QStringList{"Антиагреганты"});
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), (QStringList{"Ацетилсалициловая к-та", "Клопидогрел"}));
    // The current drug follows the click in the drug list.
    dm->Treat_q->locate("Tid", clopidogrel);
    ref->SelectDrug();
    EXPECT_EQ(ref->currentDrug().toInt(), clopidogrel);
}

TEST_F(Drugs, NamesAreStoredAsTypedAndTheNewRowBecomesCurrent)
{
    start();
    dialogs.type("Мексидол \"ампулы\" О'Брайен");
    const qint64 macro = ref->AddTreatType(0);
    EXPECT_EQ(stored(QStringLiteral("select TrTname from TreatType where TrTid = %1").arg(macro)),
              "Мексидол \"ампулы\" О'Брайен");
    EXPECT_EQ(ref->currentMacrogroup().toLongLong(), macro);
    EXPECT_EQ(dialogs.asked().at(0).caption, "Название Макрогруппы ЛВ");
    EXPECT_EQ(dialogs.asked().at(0).text, "Введите название лекарственной макрогруппы");
    EXPECT_EQ(dialogs.asked().at(0).defaultText, "..");

    // A group under it; cancelling the input names it "..".
    dialogs.cancel();
    const qint64 group = ref->AddGroup();
    EXPECT_EQ(stored(QStringLiteral("select TrTname from TreatType where TrTid = %1").arg(group)), "..");
    EXPECT_EQ(count(QStringLiteral("select TrTself from TreatType where TrTid = %1").arg(group)), macro);
    EXPECT_EQ(ref->currentMacrogroup().toLongLong(), macro);
    EXPECT_EQ(ref->currentGroup().toLongLong(), group);
    EXPECT_EQ(dialogs.asked().at(1).caption, "Название группы ЛВ");

    // A name longer than the column is cut to its width.
    dialogs.type(QString(300, u'щ'));
    const qint64 longName = ref->AddTreatType(0);
    EXPECT_EQ(stored(QStringLiteral("select TrTname from TreatType where TrTid = %1").arg(longName)).size(), 250);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Drugs, RenamingProposesTheOldNameAndCancellingKeepsIt)
{
    start();
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    dialogs.type("Вазоактивные \"и\" прочие");
    ref->RenameMacrogroup();
    EXPECT_EQ(dialogs.asked().at(0).defaultText, "Сосудистые средства");
    EXPECT_EQ(stored(QStringLiteral("select TrTname from TreatType where TrTid = %1").arg(vascular)),
              "Вазоактивные \"и\" прочие");
    EXPECT_EQ(ref->currentMacrogroup().toInt(), vascular);

    dialogs.cancel();
    ref->RenameCurrentGroup();
    EXPECT_EQ(dialogs.asked().at(1).defaultText, "Антиагреганты");
    EXPECT_EQ(stored(QStringLiteral("select TrTname from TreatType where TrTid = %1").arg(antiplatelets)), "Антиагреганты");
    dialogs.type("Антитромбоцитарные");
    ref->RenameCurrentGroup();
    EXPECT_EQ(names(*dm->TrType_q_1), QStringList{"Антитромбоцитарные"});
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Drugs, DeletingAMacrogroupDeletesItsGroupsAndTheirDrugsButNotPrescriptions)
{
    const int other = addTreatType("Витамины", 0);
    const int b = addTreatType("Витамины группы B", other);
    addDrug(b, "Тиамин", QVariant(), 1);
    const int anticoagulants = addTreatType("Антикоагулянты", vascular);
    addDrug(anticoagulants, "Гепарин", QVariant(), 4);
    dbs.sql(QStringLiteral("insert into Nazn (Npac, Ntr, Nname, Nrej) values (%1, %2, \"Клопидогрел\", \"75 мг\")")
                .arg(patient)
                .arg(clopidogrel));
    start();
    dm->TrType_q_0->locate("TrTid", vascular);

    dialogs.no();
    ref->DeleteCurrentMacrogroup();
    EXPECT_EQ(dialogs.asked().at(0).text, "Макрогруппа может содержать вложенные записи\r\nпри ее удадении будет "
                                          "удалено и все ее содержимое. Продолжать?");
    EXPECT_EQ(count("select count(*) from TreatType"), 5);

    dialogs.yes();
    ref->DeleteCurrentMacrogroup();
    EXPECT_EQ(count("select count(*) from TreatType"), 2);
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), QStringList{"Тиамин"});
    EXPECT_EQ(count("select count(*) from Treat"), 1);
    EXPECT_EQ(stored("select Nname from Nazn"), "Клопидогрел");
    EXPECT_EQ(names(*dm->TrType_q_0), QStringList{"Витамины"});
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Drugs, AFailedMacrogroupDeletionDeletesNothing)
{
    dbs.ppp().connection().exec(
        "CREATE TRIGGER refuse BEFORE DELETE ON TreatType WHEN old.TrTself = 0 BEGIN SELECT RAISE(ABORT, 'нет доступа'); END");
    start();
    dialogs.yes();
    EXPECT_THROW(ref->DeleteCurrentMacrogroup(), Error);
    EXPECT_EQ(count("select count(*) from TreatType"), 2);
    EXPECT_EQ(count("select count(*) from Treat"), 2);
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r").size(), 2);
}

TEST_F(Drugs, DeletingAGroupAsksByNameAndTakesItsDrugsAlong)
{
    const int anticoagulants = addTreatType("Антикоагулянты", vascular);
    addDrug(anticoagulants, "Гепарин", QVariant(), 4);
    start();
    dialogs.yes();
    ref->DeleteCurrentGroup(); // the first by name
    EXPECT_EQ(dialogs.asked().at(0).text, "Удалить лекарственную группу \r\nАнтиагреганты ?");
    EXPECT_EQ(names(*dm->TrType_q_1), QStringList{"Антикоагулянты"});
    EXPECT_EQ(count("select count(*) from Treat"), 1);
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), QStringList{"Гепарин"});
}

TEST_F(Drugs, TheDrugEditorStoresANewDrugOfTheCurrentGroup)
{
    start();
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    ref->NewDrug();
    EXPECT_EQ(ref->editorState(), DrugReference::EditorState::NewDrug);
    EXPECT_FALSE(dm->Treat_q->active());
    EXPECT_EQ(dm->Treat->field("Tprim").asString(), "Введите примечания");

    // Without a name it is not stored, and the editor keeps what was typed.
    dm->Treat->field("Tdose").setValue(2);
    EXPECT_THROW(ref->StoreDrug(), Error);
    EXPECT_EQ(ref->editorState(), DrugReference::EditorState::NewDrug);
    EXPECT_EQ(dm->Treat->field("Tdose").asInteger(), 2);

    dm->Treat->field("Tname_r").setValue("Тикагрелор — очень длинное название препарата");
    dm->Treat->field("Tkratn").setValue(2);
    ref->StoreDrug();
    EXPECT_EQ(ref->editorState(), DrugReference::EditorState::Browse);
    EXPECT_EQ(count("select count(*) from Treat"), 3);
    EXPECT_EQ(stored(QStringLiteral("select Tname_r from Treat where TrType = %1 and Tkratn = 2").arg(antiplatelets)),
              QString("Тикагрелор — очень длинное название препарата").left(25));
    EXPECT_EQ(dm->Treat_q->field("Tname_r").asString(), QString("Тикагрелор — очень длинное название препарата").left(25));
    EXPECT_EQ(stored("select Tprim from Treat where Tkratn = 2"), "Введите примечания");
}

TEST_F(Drugs, CancelDropsTheEditorsChanges)
{
    start();
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    ref->NewDrug();
    dm->Treat->field("Tname_r").setValue("Варфарин");
    ref->CancelDrug();
    EXPECT_EQ(count("select count(*) from Treat"), 2);
    EXPECT_TRUE(dm->Treat_q->active());

    dm->Treat_q->locate("Tid", aspirin);
    ref->ChangeDrug();
    EXPECT_EQ(ref->editorState(), DrugReference::EditorState::ChangeDrug);
    dm->Treat->edit();
    dm->Treat->field("Tname_r").setValue("Аспирин");
    ref->CancelDrug();
    EXPECT_EQ(stored(QStringLiteral("select Tname_r from Treat where Tid = %1").arg(aspirin)), "Ацетилсалициловая к-та");
    EXPECT_EQ(dm->Treat_q->field("Tid").asInteger(), aspirin);
}

TEST_F(Drugs, ANewDrugNeedsAGroup)
{
    start();
    dialogs.type("Пустая");
    ref->AddTreatType(0); // current now, without groups
    ref->NewDrug();
    EXPECT_EQ(ref->editorState(), DrugReference::EditorState::Browse);
    EXPECT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked().at(1).kind, DialogKind::Notice);
}

TEST_F(Drugs, DeletingADrugAsksByItsName)
{
    start();
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    ref->ShowDrugsOfGroup();
    dm->Treat_q->locate("Tid", clopidogrel);
    dialogs.no().yes();
    ref->DeleteDrug();
    EXPECT_EQ(count("select count(*) from Treat"), 2);
    ref->DeleteDrug();
    EXPECT_EQ(dialogs.asked().at(1).text, "Удалить запись Клопидогрел ?");
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), QStringList{"Ацетилсалициловая к-та"});
}

TEST_F(Drugs, ATitleClickSortsTheListAndTheDrugListKeepsItsOrderAcrossGroups)
{
    addDrug(antiplatelets, "Дипиридамол", 3, 3);
    const int other = addTreatType("Антикоагулянты", vascular);
    addDrug(other, "Варфарин", QVariant(), 1);
    addDrug(other, "Апиксабан", QVariant(), 2);
    start();
    dm->TrType_q_0->locate("TrTid", vascular);
    ref->ShowGroupsOfMacrogroup();
    dm->TrType_q_1->locate("TrTid", antiplatelets);
    ref->ShowDrugsOfGroup();
    ref->SortByColumn(*dm->Treat_q, "Tname_r");
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), (QStringList{"Ацетилсалициловая к-та", "Дипиридамол", "Клопидогрел"}));
    ref->SortByColumn(*dm->Treat_q, "Tdose");
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r").last(), "Дипиридамол");
    // Another group: the same order.
    ref->SortByColumn(*dm->Treat_q, "Tkratn");
    dm->TrType_q_1->locate("TrTid", other);
    ref->ShowDrugsOfGroup();
    EXPECT_EQ(names(*dm->Treat_q, "Tname_r"), (QStringList{"Варфарин", "Апиксабан"}));

    // The group list sorted by its key, and back to names when it is rebuilt.
    ref->SortByColumn(*dm->TrType_q_1, "TrTid");
    EXPECT_EQ(names(*dm->TrType_q_1), (QStringList{"Антиагреганты", "Антикоагулянты"}));
    ref->SortByColumn(*dm->TrType_q_1, "TrTname DESC");
    EXPECT_EQ(names(*dm->TrType_q_1), (QStringList{"Антикоагулянты", "Антиагреганты"}));
    ref->ShowGroupsOfMacrogroup();
    EXPECT_EQ(names(*dm->TrType_q_1), (QStringList{"Антиагреганты", "Антикоагулянты"}));
}

} // namespace

// Finding, locating and deleting templates, and deleting a template type
// with its templates, on a real database.

#include "assembly_fixture.h"

#include "common/errors.h"
#include "data/sqlite_db.h"

using namespace talvora;
using namespace talvora::test;

namespace {

class Operations : public AssemblyData {
protected:
    int count(const QString& statement) { return dbs.scalar(statement).toInt(); }
    QString currentName() const { return dm->Sh->field(QStringLiteral("ShName")).asString(); }
    int currentId() const { return dm->Sh->field(QStringLiteral("ShId")).asInteger(); }

    QStringList listed()
    {
        QStringList out;
        for (int r = 0; r < dm->Sh_q->recordCount(); ++r)
            out << dm->Sh_q->rowValue(r, dm->Sh_q->fieldIndex(QStringLiteral("ShName"))).toString();
        return out;
    }

    void showType(int type)
    {
        ASSERT_TRUE(dm->ShType->locate(QStringLiteral("ShTID"), type));
        ASSERT_TRUE(dm->OpenTemplatesOfType());
    }
};

TEST_F(Operations, FindByNameTakesTheFirstInKeyOrderWhoseNameBeginsSoLocateTakesTheKey)
{
    const int type = addType(1, "Выписки");
    const int ab = addTemplate(1, type, "AB", blobOf({"первый"}));
    const int a = addTemplate(1, type, "A", blobOf({"второй"}));
    const int twin = addTemplate(1, type, "AB", blobOf({"третий"}));
    start();

    ASSERT_TRUE(operations->FindTemplateByName("A"));
    EXPECT_EQ(currentId(), ab); // a prefix of another name, with a lower key
    ASSERT_TRUE(operations->FindTemplateByName("AB"));
    EXPECT_EQ(currentId(), ab);
    EXPECT_FALSE(operations->FindTemplateByName("ab")); // letter case counts
    EXPECT_EQ(currentId(), ab);                          // and nothing moved

    // By key each row reaches its own template, names or no names.
    ASSERT_TRUE(operations->LocateTemplate(a));
    EXPECT_EQ(currentName(), "A");
    ASSERT_TRUE(operations->LocateTemplate(twin));
    EXPECT_EQ(currentId(), twin);
    EXPECT_FALSE(operations->LocateTemplate(9999));
    EXPECT_EQ(currentId(), twin);

    // A template stored since Sh was read is found all the same.
    const int later = addTemplate(2, type, "Новый", blobOf({"x"}));
    ASSERT_TRUE(operations->LocateTemplate(later));
    EXPECT_EQ(currentName(), "Новый");
}

TEST_F(Operations, DeleteTemplateDeletesOnlyTheTemplateOfTheRow)
{
    const int type = addType(1, "Выписки");
    const int other = addType(1, "ЭЭГ");
    addTemplate(1, type, "Выписка", blobOf({"1"}));
    const int shortName = addTemplate(1, type, "Вып", blobOf({"2"}));
    const int twin = addTemplate(1, type, "Выписка", blobOf({"3"}));
    addTemplate(1, other, "ЭЭГ", blobOf({"4"}));
    start();
    showType(type);
    ASSERT_EQ(listed(), (QStringList{"Выписка", "Вып", "Выписка"}));

    // "Вып" begins "Выписка" (lower key) and the second "Выписка" repeats the
    // first: by name either would take the wrong row.
    EXPECT_TRUE(operations->DeleteTemplate(shortName));
    EXPECT_EQ(listed(), (QStringList{"Выписка", "Выписка"}));
    EXPECT_TRUE(operations->DeleteTemplate(twin));
    EXPECT_EQ(listed(), (QStringList{"Выписка"}));
    EXPECT_EQ(count("select count(*) from SHablon where ShId = " + QString::number(twin)), 0);
    EXPECT_EQ(count("select count(*) from SHablon"), 2);

    // A key that is gone: nothing deleted, nothing said, the list re-read.
    dm->Sh_q->close();
    EXPECT_FALSE(operations->DeleteTemplate(twin));
    EXPECT_TRUE(dm->Sh_q->active());
    EXPECT_EQ(listed(), (QStringList{"Выписка"}));
    EXPECT_EQ(count("select count(*) from SHablon"), 2);
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

TEST_F(Operations, TypeDeletionAsksAndNoKeepsTheTypeWithItsTemplates)
{
    const int type = addType(1, "Выписки");
    addTemplate(1, type, "Выписка", blobOf({"1"}));
    addTemplate(1, type, "Этапный", blobOf({"2"}));
    start();
    showType(type);

    dialogs.no();
    EXPECT_THROW(dm->ShType->remove(), SilentAbort);
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Confirm);
    EXPECT_EQ(dialogs.asked()[0].text,
              "Действительно удалить ТИП шаблона??\r\nОсторожно все шаблоны этого типа будут удалены!!");
    EXPECT_EQ(dm->ShType->recordCount(), 1);
    EXPECT_EQ(count("select count(*) from SHablonType"), 1);
    EXPECT_EQ(count("select count(*) from SHablon where ShType = " + QString::number(type)), 2);
    EXPECT_EQ(listed().size(), 2);
}

TEST_F(Operations, TypeDeletionWithYesTakesEveryTemplateOfTheTypeAndNoOther)
{
    const int type = addType(1, "Выписки");
    const int kept = addType(1, "ЭЭГ");
    const int gone = addTemplate(1, type, "Выписка", blobOf({"удалённый"}));
    addTemplate(2, type, "Чужой", blobOf({"2"})); // same type key, another department
    addTemplate(1, kept, "ЭЭГ", blobOf({"3"}));
    start();
    showType(type);

    dialogs.yes();
    dm->ShType->remove();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(count("select count(*) from SHablon where ShType = " + QString::number(type)), 0);
    EXPECT_EQ(count("select count(*) from SHablonType where ShTID = " + QString::number(type)), 0);
    EXPECT_EQ(count("select count(*) from SHablon"), 1);
    EXPECT_EQ(dm->ShType->recordCount(), 1);
    // The list query has its own statement back.
    EXPECT_TRUE(dm->Sh_q->sqlText().startsWith("select ShName, Sh_def, ShId from SHablon"));

    // The template table no longer offers a deleted template to the assembly.
    EXPECT_FALSE(operations->LocateTemplate(gone));
    assemble(blobOf({QStringLiteral("[<!shabl_%1>]").arg(gone)}));
    EXPECT_EQ(line(), "[ ]");
}

TEST_F(Operations, TypeDeletionThatFailsLeavesTheTypeAndItsTemplatesBoth)
{
    const int type = addType(1, "Выписки");
    addTemplate(1, type, "Выписка", blobOf({"1"}));
    start();
    showType(type);
    // The type's row cannot be deleted: the templates deleted before it in
    // the same unit come back.
    dbs.ppp().connection().exec(QStringLiteral(
        "CREATE TRIGGER keep_types BEFORE DELETE ON SHablonType BEGIN SELECT RAISE(ABORT, 'locked'); END"));

    dialogs.yes();
    try {
        dm->ShType->remove();
        FAIL() << "the deletion went through";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Тип шаблона не удалён"));
    }
    EXPECT_EQ(count("select count(*) from SHablon where ShType = " + QString::number(type)), 1);
    EXPECT_EQ(count("select count(*) from SHablonType"), 1);
    EXPECT_EQ(dm->ShType->recordCount(), 1);
    EXPECT_EQ(listed(), (QStringList{"Выписка"}));
}

} // namespace

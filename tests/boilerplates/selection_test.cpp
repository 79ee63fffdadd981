#include "boilerplates_fixture.h"

#include "boilerplates/boilerplate_selection.h"

#include <memory>

using namespace talvora;
using talvora::boilerplates::SelectBoilerplates;

namespace {

class Selection : public test::BoilerplateData {
protected:
    QStringList offered(int kind, int age, const QVariant& sex)
    {
        if (!dm) {
            dm = std::make_unique<data::TDM>(dbs.aliases());
            dm->Otd->locate("OID", department);
        }
        SelectBoilerplates(*dm, kind, age, sex);
        QStringList names;
        for (int row = 0; row < dm->Fish_q->recordCount(); ++row)
            names << dm->Fish_q->rowValue(row, dm->Fish_q->fieldIndex("FName")).toString();
        names.sort();
        return names;
    }

    std::unique_ptr<data::TDM> dm;
};

TEST_F(Selection, BoundsAreInclusiveAndAnEmptyBoundIsNeverOffered)
{
    addBoilerplate(2, "дети", 0, 17, 3, "ребёнок");
    addBoilerplate(2, "ровно 18", 18, 18, 3, "восемнадцать");
    addBoilerplate(2, "без верхней границы", 18, QVariant(), 3, "никогда");
    addBoilerplate(1, "другой вид", 0, 900, 3, "анамнез");
    addBoilerplate(2, "другое отделение", 0, 900, 3, "кардио", department + 1);
    EXPECT_EQ(offered(2, 17, 1), QStringList{"дети"});
    EXPECT_EQ(offered(2, 18, 1), QStringList{"ровно 18"});
    EXPECT_EQ(offered(2, 19, 1), QStringList{});
    EXPECT_FALSE(dm->Fish_q->active() && !dm->Fish_q->isEmpty());
}

TEST_F(Selection, ABoilerplateOfOneSexIsOfferedToThatSexOnlyAndEveryoneGetsTheOnesOfEither)
{
    addBoilerplate(3, "мужской", 18, 900, 1, "м");
    addBoilerplate(3, "женский", 18, 900, 2, "ж");
    addBoilerplate(3, "не важно", 18, 900, 3, "н");
    addBoilerplate(3, "без пола", 18, 900, 0, "0");
    EXPECT_EQ(offered(3, 40, 1), (QStringList{"без пола", "мужской", "не важно"}));
    EXPECT_EQ(offered(3, 40, 2), (QStringList{"без пола", "женский", "не важно"}));
    // A patient whose sex is not given gets every boilerplate of the kind and age.
    EXPECT_EQ(offered(3, 40, QVariant()).size(), 4);
    EXPECT_EQ(offered(3, 40, 3).size(), 4);
}

} // namespace

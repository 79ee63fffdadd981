#pragma once
// Which boilerplates ("рыбы") fit: the selection rule shared by the patient
// texts (by the patient's age and sex) and the settings page (all of a kind).
// Both fill the data module's list Fish_q, whose first row is the one a
// patient text starts from.

#include <QStringList>
#include <QVariant>

namespace talvora::data {
class TDM;
}

namespace talvora::boilerplates {

// The boilerplate kinds (FType); the text editor's modes use the same numbers.
enum BoilerplateKind {
    Anamnesis = 1,
    NeuroStatus = 2,
    SomaticStatus = 3,
    Recommendations = 4,
    TreatmentComments = 5,
};

// The kind's choice on the settings page: "Анамнезы", "Невростатусы", …;
// empty for a number that is no kind.
QString kindCaption(int kind);

// The statement of the list: department, kind and age bounds, and the sex
// condition when `withSex` (a boilerplate of the patient's sex or of either).
QStringList selectionStatement(bool withSex);

// Fish_q becomes the boilerplates of the current department and `kind` for
// a patient of `age` full years and of sex `sex` (1 or 2; anything else:
// every boilerplate matches), on its first row. A boilerplate with an empty
// bound is never offered. Returns whether one was found.
bool SelectBoilerplates(data::TDM& dm, int kind, int age, const QVariant& sex);

} // namespace talvora::boilerplates

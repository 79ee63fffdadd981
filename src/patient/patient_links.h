#pragma once
// What the patient window asks of the other windows. The start-up code hands
// these in (see Workstation); each does nothing until the window it reaches
// is built, so the patient window builds and is tested alone.

#include <QString>

#include <functional>

namespace talvora::patient {

struct PatientWindowLinks {
    // The panel "Исследования и лечение".
    std::function<void()> openTreatment;
    // The panel "Выписка (по умолчанию)".
    std::function<void()> startDefaultDischarge;
    // "редактировать" and the double-clicks on the status texts: the text
    // editor for text kind 1 (anamnesis) to 5.
    std::function<void(int kind)> editPatientText;
    // The birth date, the admission date or the sex was left: the texts fill
    // themselves from the boilerplates.
    std::function<void()> autoFillTexts;
    // A right-click on a card control or patient text while the designer's
    // insertion mode is on; `column` is the patient field it shows.
    std::function<void(const QString& column)> insertFieldMarker;
};

} // namespace talvora::patient

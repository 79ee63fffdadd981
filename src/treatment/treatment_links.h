#pragma once
// What the investigations and treatment window asks of the other windows.
// The start-up code fills these in (see Workstation); each does nothing while
// empty, so the window builds and is tested alone.

#include <QString>

#include <functional>

namespace talvora::treatment {

struct TreatmentWindowLinks {
    // The marker calls come only while the designer's insertion mode is on
    // (programSwitches().MarkerInsertion), after a right-click on a data control.
    // A field marker <!fld_N>: 29 (all investigations), 31 (recommendations),
    // 32 (course of treatment).
    std::function<void(int fieldNumber)> insertFieldMarker;
    // A group marker <!grp_N> for the template type N.
    std::function<void(int typeId)> insertGroupMarker;
    // The treatment marker; the designer asks in which form.
    std::function<void()> insertTreatmentMarker;
    // The text editor of the patient texts for kind 4 (recommendations) or
    // 5 (course of treatment).
    std::function<void(int kind)> editPatientText;
    // "не равные дозы": the dialog TForm8 for the current prescription, with
    // the patient's weight (its text as the card stores it).
    std::function<void(const QString& weight)> showDoseDialog;
    // "Сохранить изменения" with the texts changed: the patient record is
    // stored with the card (its save takes this window's two texts).
    std::function<void()> savePatientCard;
};

} // namespace talvora::treatment

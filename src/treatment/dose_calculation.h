#pragma once
// The dose arithmetic and the regimen texts of the dose calculator, without
// widgets: the page's equal-doses calculator and the dialog TForm8 both read
// their fields into these inputs and write the result into the current
// prescription.

#include <QString>
#include <QStringList>

#include <array>

namespace talvora::treatment {

// What a calculation shows and writes into the prescription.
struct DoseResult {
    QString dailyDose;      // the daily-dose display
    QString dosePerKg;      // the per-kilogram display; empty when the weight is unknown or 0
    QString regimen;        // Nrej
    QString dailyDoseText;  // NmgS
    QString dosePerKgText;  // NmgKgS; empty when the weight is unknown or 0
    QString notice;         // said to the user after writing (the weight is unknown); empty otherwise
};

// One fraction box: the position of its selected entry (-1: none) and its text.
struct FractionChoice {
    int position = -1;
    QString text;
};

// The equal-doses inputs, as typed.
struct EqualDosesInput {
    QString dose;       // mg in one tablet
    QString tablets;    // whole tablets per intake
    FractionChoice fraction;
    QString intakes;    // intakes per day
    QString weight;     // the patient's body weight in kg
};

// One intake of the unequal-doses mode, as typed.
struct IntakeInput {
    QString dose;
    QString tablets;
    FractionChoice fraction;
};

// Morning, day, day, evening.
struct UnequalDosesInput {
    std::array<IntakeInput, 4> rows;
    QString weight;
};

} // namespace talvora::treatment

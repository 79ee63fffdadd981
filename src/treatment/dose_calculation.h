#pragma once
// The dose arithmetic and the regimen texts of the dose calculator, without
// widgets: the page's equal-doses calculator and the dialog TForm8 both read
// their fields into these inputs and write the result into the current
// prescription.
//
// Every number is typed as a text of digits; the texts go into the regimen
// as typed (leading zeros included), the values into the arithmetic. Doses
// are shown and written with five significant digits (FormatDose).

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

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

// One intake of the unequal-doses mode, as numbers.
struct IntakeRow {
    double dose = 0;     // mg in one tablet
    double tablets = 0;  // whole tablets
    double fraction = 0; // the added part of a tablet
    int intakes = 1;
};

// The message of every input that is not a text of digits.
QString DigitsMessage();

// The entries of every fraction box, by position: "0", "1\8", "1\4",
// "1\4 + 1\8", "1\2", "1\2 +1\8", "3\4", "3\4 +1\8".
const QStringList& FractionCaptions();

// The position of the entry whose caption is exactly `text`; -1 for any other
// text (a fraction typed into the box counts as none).
int FractionPosition(const QString& text);

// The part of a tablet that a fraction box adds: position / 8; no entry (or a
// position outside the list) adds nothing.
double TabletFraction(int position);
double TabletFraction(const FractionChoice& choice);

// (tablets + fraction) * dose * intakes.
double DailyDose(double dose, double tablets, double fraction, int intakes);

// The daily dose per kilogram of body weight; none for a weight of 0 (or one
// that is negative or not a number).
std::optional<double> DosePerKg(double dailyDose, double weight);

// The sum of (tablets + fraction) * dose over the rows, morning to evening.
double SumIntakeDoses(const std::array<IntakeRow, 4>& rows);

// A dose rounded to five significant digits (halves away from zero) without
// trailing zeros: fixed notation from 0,0001 up to 99999, otherwise
// scientific ("1,2346E5", "1,234E-5"). Zero is "0".
QString FormatDose(double value, QChar separator);
// The same with the decimal separator of the program's locale.
QString FormatDose(double value);

// The decimal separator of the program's locale (a comma in Russian).
QChar DecimalSeparator();

// The equal-doses calculation: the displays and the three texts of the
// prescription. Throws talvora::Error with DigitsMessage() when the dose, the
// tablets or the intakes are not digits (checked in that order), and with a
// message naming the field when a number is too large to calculate with.
// An empty, zero or unreadable weight leaves the per-kilogram texts empty and
// sets the notice.
DoseResult CalculateEqualDoses(const EqualDosesInput& input, QChar separator = DecimalSeparator());

// The unequal-doses calculation over the four rows. The tablets and the dose
// of each row, morning to evening, and then the weight must be digits
// (DigitsMessage() otherwise). A row whose dose text is exactly "0" gives no
// line of the regimen; every other row gives one line ending in CR LF.
DoseResult CalculateUnequalDoses(const UnequalDosesInput& input, QChar separator = DecimalSeparator());

} // namespace talvora::treatment

#pragma once
// Template markers and what they stand for, without any document or window.
//
// A marker is "<!", a kind word, "_", a decimal number and ">" with no blank
// inside: <!fld_12>, <!grp_3>, <!trt_1>, <!shabl_5>. The assembly finds a
// marker by its prefix, copies the 14 characters that begin at its "<" and
// reads them with readMarkerText(): the marker ends at the first ">", and its
// number is made of every decimal digit before that ">". So a marker fits in
// 14 characters: 7 digits after "<!fld_", "<!grp_" and "<!trt_", 5 after
// "<!shabl_". A sixth digit after "<!shabl_" pushes the ">" out of the copy;
// the marker is then taken as 15 characters long and still read whole.
//
// Here too: the field table (which value of the patient row each field
// number stands for), the text a plain field becomes, and the text of the
// treatment scheme.

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <functional>
#include <span>
#include <vector>

namespace talvora::templates {

enum class MarkerKind {
    Field,     // <!fld_N>   one value of the current patient (field table)
    Group,     // <!grp_N>   the patient's investigation documents of template type N
    Treatment, // <!trt_N>   the treatment scheme: N = 1 on one line, else a drug a line
    Template,  // <!shabl_N> the whole content of template N
};

// "<!fld_", "<!grp_", "<!trt_", "<!shabl_".
QString markerPrefix(MarkerKind kind);
// The marker as it is written into a template: markerText(Field, 12) is "<!fld_12>".
QString markerText(MarkerKind kind, int number);

// How many characters, from the "<", the assembly copies to read a marker.
inline constexpr int kMarkerSpan = 14;

struct MarkerReading {
    // L: the marker's length, up to and including its ">"; one more than the
    // text's length when the text has no ">".
    int length = 0;
    // N, when ok().
    int number = 0;
    // Why the number cannot be read (no digit, or beyond the 32-bit integer
    // range): the message the assembly stops with. Empty when ok().
    QString failure;

    bool ok() const { return failure.isEmpty(); }
};

// Reads the text copied from a marker's "<" (the assembly hands it the
// kMarkerSpan characters it copied; fewer at the document's end).
MarkerReading readMarkerText(QStringView copied);

// --- the field table

enum class FieldSource {
    Text,              // the column's value as text: numbers in digits, memo texts as stored
    Date,              // the column's date as dd.mm.yyyy; the empty date gives the empty text
    AgeAtAdmission,    // the age on the day of admission in words; empty without a birth date
    DaysInHospital,    // whole days from admission to discharge (or to now), then "дн. "
    Anamnesis,         // the anamnesis document, or the anamnesis text when there is none
    AllInvestigations, // the documents of all the patient's investigations
};

struct FieldEntry {
    int number;
    FieldSource source;
    // The column of the patient row (Pac_q); for the age, the days and the
    // anamnesis the first of two, the second in `column2`.
    const char* column;
    const char* column2 = nullptr;
};

// Every field number with a meaning (1 to 18, 29, 31, 32), in number order.
std::span<const FieldEntry> fieldTable();
// The entry of a field number; null for a number that stands for nothing
// (the assembly leaves such a marker as it is).
const FieldEntry* findField(int number);

// A value of the current patient row by column name; null when it holds nothing.
using PatientValue = std::function<QVariant(const QString& column)>;

// The text a field of source Text, Date, AgeAtAdmission or DaysInHospital
// stands for (for Anamnesis: the text of its second column, the fallback).
// `now` stands in for a discharge date that is still empty. An empty text is
// typed as one blank by the assembly.
QString fieldText(const FieldEntry& field, const PatientValue& value, const QDateTime& now);

// --- the treatment scheme

struct Prescription {
    QString name;      // Nname
    QString regimen;   // Nrej
    QString dosePerKg; // NmgKgS
    QString course;    // Nkurs
};

// What <!trt_N> becomes: every row as name, " ", regimen, " (" dose ") " when
// there is a dose, course and " ", the rows one after another for N = 1 and
// each followed by a paragraph break ("\r\n") for any other number.
QString treatmentText(const std::vector<Prescription>& scheme, int number);

} // namespace talvora::templates

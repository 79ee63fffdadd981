#pragma once
// The patient card as the doctor typed it, and the rules that turn it into
// the values of a patient row: the display name, the three-part dates, the
// number fields, the age and length-of-stay labels. No window and no
// database here.

#include "common/dates.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

namespace talvora::patient {

// What the card's controls hold, as texts (the dates in three parts each).
struct PatientCard {
    QString surname, firstName, patronymic;
    DateParts birth;
    QString weight;
    QString profession;
    int sex = 1; // 1 "мужской ", 2 "женский"
    DateParts admission, discharge;
    QString history; // "№ ИБ"
    QString ward;    // "Палата"
    // The six texts below the card.
    QString diagnosisClinical, diagnosisConcomitant, complaints, anamnesis, somaticStatus, neuroStatus;

    bool operator==(const PatientCard&) const = default;
};

// The two texts of the investigations and treatment window that the card
// save writes with the card; absent when that window has nothing to say.
struct TreatmentTexts {
    QString course;          // PanV, "ход лечения"
    QString recommendations; // Precom
};

// What the automatic filling gives the card: the age label and the three
// texts filled from boilerplates (a text the doctor wrote comes back as it was).
struct FilledTexts {
    QString age;
    QString anamnesis, neuroStatus, somaticStatus;
};

// The values of a patient row that a card save writes, checked and converted.
struct PatientRowValues {
    QString displayName;
    QVariant history, ward, weight; // null when the control was empty
    QDate admission, discharge, birth; // the empty date when the parts were empty
    QString surname, firstName, patronymic, profession;
    int sex = 1;
    QString diagnosisClinical, diagnosisConcomitant, complaints, anamnesis, somaticStatus, neuroStatus;
};

// "Иванов И.П.": the surname, a blank when it is not empty, then the first
// letters of the first name and the patronymic, each followed by ".".
QString DisplayName(const QString& surname, const QString& firstName, const QString& patronymic);

// The length of stay as the card shows it: whole days from admission to
// discharge, or to `now` while the patient is not discharged.
QString StayText(const QDate& admission, const QDate& discharge, const QDateTime& now);

// The age label: the age on the admission day; empty without a birth date.
QString AgeLabel(const QDate& birth, const QDate& admission);

// A number typed into "№ ИБ", "Палата" or "Вес": empty gives no value;
// anything else must be a whole number within the column's range, or an
// Error names the field and says what is wrong.
QVariant CardNumber(const QString& caption, const QString& text, qint64 min, qint64 max);

// Checks every control and converts the card; throws talvora::Error with a
// message that names the field at the first value that cannot be stored.
// `now` completes two-digit years.
PatientRowValues CheckedCard(const PatientCard& card, int currentYear);

// Whether a key typed into a number control is let through: a sign or a digit.
bool IsNumberKey(QChar c);

} // namespace talvora::patient

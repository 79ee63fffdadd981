#pragma once
// Values on their way between the windows, the datasets and the database
// files, in one place:
//
// - the date 30.12.1899 stands for "no date"; a field holding nothing reads
//   as that date;
// - dates are stored as ISO text, "yyyy-MM-dd" for a date and
//   "yyyy-MM-dd HH:mm:ss" for a date-time, and read back into QDate and
//   QDateTime;
// - texts written to a number or date field are converted to what the field
//   keeps; dates are typed and shown as dd.MM.yyyy.

#include "schema.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

namespace talvora::data {

// The date that means "no date" (the windows' EmptyDate()).
QDate emptyDate();

// A field's value read as a date or date-time: null reads as the empty date,
// a date-time as its date, a date as its midnight.
QDate dateOf(const QVariant& value);
QDateTime dateTimeOf(const QVariant& value);

// --- stored forms

QString storedDate(const QDate& date);             // "yyyy-MM-dd"
QString storedDateTime(const QDateTime& dateTime); // "yyyy-MM-dd HH:mm:ss"

// Reads a stored date, "yyyy-MM-dd" with an optional " HH:mm:ss" ('T' also
// taken for the space), straight from the database's UTF-8 bytes. An invalid
// QDateTime when the text does not start with a valid date; a time out of
// range reads as midnight. Every date of every row read goes through here,
// so it does without a general parser.
QDateTime readStoredDateTime(QByteArrayView text);
// The same in parts, false when the text is not a stored date. A date alone
// is read this way: making a local QDateTime asks the C library for the time
// zone, which costs a file system call on every row of a long list.
bool readStoredDateParts(QByteArrayView text, QDate& date, QTime& time);

// Parses a date or date-time as the department types and writes it in
// statements, dd.mm.yyyy[ hh:mm[:ss]] ("/" and "-" also separate), or ISO.
// An invalid QDateTime when it is neither; `hasTime` tells whether a time
// was written.
QDateTime parseDateLiteral(const QString& text, bool* hasTime = nullptr);

// What is written to the database for a value bound to a column of type
// `partner`: dates in their stored form, a text given for a date column read
// as a date (an empty text is null, a text that is no date throws
// talvora::Error); other values as they are.
QVariant storageValue(const QVariant& value, FieldType partner);

// The value a field keeps when `value` is written to it: texts cut to `size`
// characters (when it is above 0), texts given to number, boolean and date
// fields converted (an empty one clears the field), integers checked against
// the field's range. Throws talvora::Error naming the value, or the field
// `fieldName`, when the value does not fit.
QVariant fieldValue(const QVariant& value, FieldType type, int size, const QString& fieldName);

// --- shown forms

inline constexpr QStringView kDisplayDateFormat = u"dd.MM.yyyy";

QString displayDate(const QDate& date);             // "dd.MM.yyyy"
QString displayDateTime(const QDateTime& dateTime); // "dd.MM.yyyy H:mm:ss"

} // namespace talvora::data

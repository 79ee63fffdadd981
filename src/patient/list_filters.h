#pragma once
// The patient list's filters as plain rules: reading the extra-filter panel,
// the key-list condition, the WHERE line, and the word and age tests. The
// list statement is five lines; the filters address them from the end.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace talvora::patient {

// Lines of the list statement, counted from 0 at its start.
inline constexpr int kListWhereLine = 2;      // "WHERE potd =:potd", rewritten by the extra filters
inline constexpr int kListDischargeLine = 3;  // empty, or the not-discharged condition
inline constexpr int kListOrderLine = 4;      // the ORDER BY line, rewritten by the title clicks
inline const QString kNotDischargedLine = QStringLiteral("AND PdV = \"30.12.1899\"");

// What the extra-filter panel holds, as typed.
struct ExtraFilterInput {
    bool wordOn = false;
    QString word;
    bool dateOn = false;
    QString day, month, year;
    bool ageOn = false;
    QString ageFrom, ageTo;
    bool historyOn = false;
    QString historyFrom, historyTo;
    bool wholeDatabase = false;
};

// The panel read into values; the flags say what the panel must show after.
struct ExtraFilterValues {
    QString word;         // empty: no word condition
    QDate admittedAfter;  // the fixed 12.12.2002 when the date is off or invalid
    int ageFrom = 0, ageTo = 0;
    int historyFrom = 0, historyTo = 0;
    bool wholeDatabase = false;
    // The admission check box is cleared when its date was not taken.
    bool clearDateCheck = false;
    // Number edits whose text was not a number (shown in red): age from, to;
    // history from, to.
    bool badAgeFrom = false, badAgeTo = false, badHistoryFrom = false, badHistoryTo = false;
};

ExtraFilterValues ReadExtraFilters(const ExtraFilterInput& in, int currentYear);

// "(Pid=12) OR(Pid=15) " for the keys 12 and 15; empty for no keys. A long
// list (more than kLongKeyList keys) is written "(Pid IN (12,15,...)) "
// instead: the engine nests an OR chain one level per key and refuses very
// deep expressions, and an IN list is also faster to test.
inline constexpr int kLongKeyList = 200;
QString KeyListCondition(const QStringList& keys, const QString& column);

// The WHERE line of the filtered list.
struct WhereParts {
    QString department;        // the department key, decimal
    bool wholeDatabase = false;
    QString nameCondition;     // a key-list condition or empty
    QDate admittedAfter;       // the empty date: no date condition
    QString ageCondition;      // a key-list condition or empty
    int historyFrom = 0, historyTo = 0;
};
QString WhereLine(const WhereParts& parts);

// The word test: a substring test after both texts are upper-cased by the
// Russian rules; an empty diagnosis never matches. `upperWord` is already
// upper-cased (UpperCased).
QString UpperCased(const QString& text);
bool DiagnosisContains(const QString& diagnosis, const QString& upperWord);

// The age test: the whole years between birth and admission lie strictly
// between the two bounds (in either order). A missing birth date counts as
// the empty date 30.12.1899.
bool AgeWithin(const QDate& birth, const QDate& admission, int boundA, int boundB);

} // namespace talvora::patient

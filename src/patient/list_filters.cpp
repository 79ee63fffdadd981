#include "list_filters.h"

#include "common/dates.h"

#include <QLocale>

#include <algorithm>

namespace talvora::patient {

namespace {

// A bound typed into a number edit: its number, or 0 and `bad` when it is
// not a digit string.
int bound(const QString& text, bool& bad)
{
    if (!IsDigitString(text)) {
        bad = true;
        return 0;
    }
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok) { // more digits than a number holds
        bad = true;
        return 0;
    }
    return v;
}

} // namespace

ExtraFilterValues ReadExtraFilters(const ExtraFilterInput& in, int currentYear)
{
    ExtraFilterValues v;
    if (in.wordOn && !in.word.isEmpty())
        v.word = in.word;
    bool dateTaken = false;
    if (in.dateOn && IsValidDateParts(in.day, in.month, in.year)) {
        try {
            v.admittedAfter = DateFromParts(in.day, in.month, in.year, currentYear);
            dateTaken = true;
        } catch (const std::exception&) {
            // 31.04 and the like: no such day, the fixed bound below.
        }
    }
    if (!dateTaken) {
        v.admittedAfter = DateFromText(QStringLiteral("12.12.02"), currentYear);
        v.clearDateCheck = true;
    }
    if (in.ageOn) {
        v.ageFrom = bound(in.ageFrom, v.badAgeFrom);
        v.ageTo = bound(in.ageTo, v.badAgeTo);
    }
    if (in.historyOn) {
        v.historyFrom = bound(in.historyFrom, v.badHistoryFrom);
        v.historyTo = bound(in.historyTo, v.badHistoryTo);
    }
    v.wholeDatabase = in.wholeDatabase;
    return v;
}

QString KeyListCondition(const QStringList& keys, const QString& column)
{
    if (keys.size() > kLongKeyList)
        return QStringLiteral("(%1 IN (%2)) ").arg(column, keys.join(u','));
    QString chain;
    for (qsizetype i = 0; i < keys.size(); ++i)
        chain += u'(' + column + u'=' + keys[i] + (i + 1 < keys.size() ? QStringLiteral(") OR") : QStringLiteral(") "));
    return chain;
}

QString WhereLine(const WhereParts& p)
{
    auto wrapped = [](const QString& condition) {
        return condition.isEmpty() ? QString() : QStringLiteral(" AND (") + condition + u')';
    };
    QString date;
    if (!IsEmptyDate(p.admittedAfter))
        date = QStringLiteral("PdP>\"") + p.admittedAfter.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral("\" ");
    QString history;
    if (p.historyFrom != 0 || p.historyTo != 0)
        history = QStringLiteral(" ( (Phist>%1) AND (Phist<%2)) ")
                      .arg(std::min(p.historyFrom, p.historyTo))
                      .arg(std::max(p.historyFrom, p.historyTo));
    const QString department = p.wholeDatabase ? QStringLiteral("Potd > 0") : QStringLiteral("Potd=") + p.department;
    return QStringLiteral("WHERE (") + department + u' ' + wrapped(p.nameCondition) + wrapped(date) +
           wrapped(p.ageCondition) + wrapped(history) + u')';
}

QString UpperCased(const QString& text)
{
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    return russian.toUpper(text);
}

bool DiagnosisContains(const QString& diagnosis, const QString& upperWord)
{
    if (diagnosis.isEmpty())
        return false;
    return diagnosis.contains(upperWord, Qt::CaseInsensitive);
}

bool AgeWithin(const QDate& birth, const QDate& admission, int boundA, int boundB)
{
    const int lower = std::min(boundA, boundB), upper = std::max(boundA, boundB);
    const int age = WholeYearsBetween(birth.isValid() ? birth : EmptyDate(), admission.isValid() ? admission : EmptyDate());
    return lower < age && age < upper;
}

} // namespace talvora::patient

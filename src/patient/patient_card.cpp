#include "patient_card.h"

#include "common/errors.h"

#include <limits>

namespace talvora::patient {

QString DisplayName(const QString& surname, const QString& firstName, const QString& patronymic)
{
    QString name = surname;
    if (!surname.isEmpty())
        name += u' ';
    if (!firstName.isEmpty())
        name += firstName.front() + QStringLiteral(".");
    if (!patronymic.isEmpty())
        name += patronymic.front() + QStringLiteral(".");
    return name;
}

QString StayText(const QDate& admission, const QDate& discharge, const QDateTime& now)
{
    const QDateTime from(admission.isValid() ? admission : EmptyDate(), QTime(0, 0));
    const QDateTime to = IsEmptyDate(discharge) ? now : QDateTime(discharge, QTime(0, 0));
    return QString::number(WholeDaysBetween(to, from));
}

QString AgeLabel(const QDate& birth, const QDate& admission)
{
    if (IsEmptyDate(birth))
        return {};
    return AgeText(admission.isValid() ? admission : EmptyDate(), birth);
}

QVariant CardNumber(const QString& caption, const QString& text, qint64 min, qint64 max)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    if (!ok || v < min || v > max)
        throw Error(QStringLiteral("В поле «%1» должно быть целое число от %2 до %3, а введено «%4».\n"
                                   "Карточка не сохранена.")
                        .arg(caption)
                        .arg(min)
                        .arg(max)
                        .arg(text));
    return v;
}

namespace {

QDate checkedDate(const QString& caption, const DateParts& parts, int currentYear)
{
    try {
        return DateFromParts(parts, currentYear);
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1: %2\nКарточка не сохранена.").arg(caption, e.message()));
    }
}

} // namespace

PatientRowValues CheckedCard(const PatientCard& card, int currentYear)
{
    constexpr qint64 smallMin = std::numeric_limits<qint16>::min(), smallMax = std::numeric_limits<qint16>::max();
    constexpr qint64 intMin = std::numeric_limits<qint32>::min(), intMax = std::numeric_limits<qint32>::max();
    PatientRowValues v;
    v.birth = checkedDate(QStringLiteral("Дата рождения"), card.birth, currentYear);
    v.admission = checkedDate(QStringLiteral("Дата поступления"), card.admission, currentYear);
    v.discharge = checkedDate(QStringLiteral("Дата выписки"), card.discharge, currentYear);
    v.history = CardNumber(QStringLiteral("№ ИБ"), card.history, smallMin, smallMax);
    v.ward = CardNumber(QStringLiteral("Палата"), card.ward, smallMin, smallMax);
    v.weight = CardNumber(QStringLiteral("Вес"), card.weight, intMin, intMax);
    // Blanks around a name are never meant (a new patient's name fields
    // hold one blank until typed over).
    v.surname = card.surname.trimmed();
    v.firstName = card.firstName.trimmed();
    v.patronymic = card.patronymic.trimmed();
    v.profession = card.profession.trimmed();
    v.displayName = DisplayName(v.surname, v.firstName, v.patronymic);
    v.sex = card.sex == 2 ? 2 : 1;
    v.diagnosisClinical = card.diagnosisClinical;
    v.diagnosisConcomitant = card.diagnosisConcomitant;
    v.complaints = card.complaints;
    v.anamnesis = card.anamnesis;
    v.somaticStatus = card.somaticStatus;
    v.neuroStatus = card.neuroStatus;
    return v;
}

bool IsNumberKey(QChar c)
{
    return c == u'+' || c == u'-' || (c >= u'0' && c <= u'9');
}

} // namespace talvora::patient

#include "values.h"

#include "common/dates.h"
#include "common/errors.h"

#include <QLocale>
#include <QRegularExpression>

namespace talvora::data {

namespace {

// The value of n decimal digits; -1 when one of them is not a digit.
int digits(const char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

QVariant integerValue(const QVariant& in, FieldType type, const QString& fieldName)
{
    qint64 v = 0;
    bool ok = true;
    if (in.typeId() == QMetaType::QString) {
        const QString text = in.toString().trimmed();
        if (text.isEmpty())
            return {};
        v = text.toLongLong(&ok);
    } else if (in.typeId() == QMetaType::Double) {
        v = qRound64(in.toDouble());
    } else {
        v = in.toLongLong(&ok);
    }
    if (!ok)
        throw Error(QStringLiteral("«%1» не является целым числом").arg(in.toString()));
    const qint64 lo = type == FieldType::Smallint ? -32768 : -2147483648LL;
    const qint64 hi = type == FieldType::Smallint ? 32767 : 2147483647LL;
    if (v < lo || v > hi)
        throw Error(QStringLiteral("Число %1 вне допустимого диапазона поля %2 (от %3 до %4)")
                        .arg(v).arg(fieldName).arg(lo).arg(hi));
    return int(v);
}

QVariant floatValue(const QVariant& in)
{
    if (in.typeId() != QMetaType::QString)
        return in.toDouble();
    const QString text = in.toString().trimmed();
    if (text.isEmpty())
        return {};
    bool ok = false;
    double d = QLocale(QLocale::Russian).toDouble(text, &ok);
    if (!ok)
        d = text.toDouble(&ok);
    if (!ok)
        throw Error(QStringLiteral("«%1» не является числом").arg(in.toString()));
    return d;
}

QVariant booleanValue(const QVariant& in)
{
    if (in.typeId() != QMetaType::QString)
        return in.toBool();
    const QString t = in.toString().trimmed().toLower();
    if (t.isEmpty())
        return {};
    return t == u"true" || t == u"1" || t == u"да";
}

QVariant dateValue(const QVariant& in, FieldType type, const QString& fieldName)
{
    QDateTime dt;
    if (in.typeId() == QMetaType::QDate) {
        dt = QDateTime(in.toDate(), QTime(0, 0));
    } else if (in.typeId() == QMetaType::QDateTime) {
        dt = in.toDateTime();
    } else if (in.typeId() == QMetaType::QString) {
        const QString text = in.toString();
        if (text.trimmed().isEmpty())
            return {};
        dt = parseDateLiteral(text);
        if (!dt.isValid())
            throw Error(QStringLiteral("«%1» не является датой").arg(text));
    } else {
        throw Error(QStringLiteral("Значение не является датой (поле %1)").arg(fieldName));
    }
    if (!dt.isValid())
        return {};
    return type == FieldType::Date ? QVariant(dt.date()) : QVariant(dt);
}

} // namespace

QDate emptyDate() { return EmptyDate(); }

QDate dateOf(const QVariant& value)
{
    if (value.isNull())
        return emptyDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return value.toDate();
}

QDateTime dateTimeOf(const QVariant& value)
{
    if (value.isNull())
        return QDateTime(emptyDate(), QTime(0, 0));
    if (value.typeId() == QMetaType::QDate)
        return QDateTime(value.toDate(), QTime(0, 0));
    return value.toDateTime();
}

QString storedDate(const QDate& date) { return date.toString(Qt::ISODate); }

QString storedDateTime(const QDateTime& dateTime) { return dateTime.toString(u"yyyy-MM-dd HH:mm:ss"); }

bool readStoredDateParts(QByteArrayView text, QDate& date, QTime& time)
{
    const char* p = text.data();
    const qsizetype n = text.size();
    if (n < 10 || p[4] != '-' || p[7] != '-')
        return false;
    const int y = digits(p, 4), m = digits(p + 5, 2), d = digits(p + 8, 2);
    if (y < 0 || m < 0 || d < 0)
        return false;
    date = QDate(y, m, d);
    if (!date.isValid())
        return false;
    time = QTime(0, 0);
    if (n >= 19 && (p[10] == ' ' || p[10] == 'T')) {
        const int hh = digits(p + 11, 2), mm = digits(p + 14, 2), ss = digits(p + 17, 2);
        if (hh < 0 || mm < 0 || ss < 0)
            return false;
        time = QTime(hh, mm, ss);
        if (!time.isValid())
            time = QTime(0, 0);
    }
    return true;
}

QDateTime readStoredDateTime(QByteArrayView text)
{
    QDate date;
    QTime time;
    return readStoredDateParts(text, date, time) ? QDateTime(date, time) : QDateTime();
}

QDateTime parseDateLiteral(const QString& text, bool* hasTime)
{
    static const QRegularExpression local(QStringLiteral(
        R"(^\s*(\d{1,2})[./-](\d{1,2})[./-](\d{4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    static const QRegularExpression iso(QStringLiteral(
        R"(^\s*(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    int d = 0, m = 0, y = 0, hh = 0, mm = 0, ss = 0;
    bool timePart = false;
    if (auto r = local.match(text); r.hasMatch()) {
        d = r.captured(1).toInt();
        m = r.captured(2).toInt();
        y = r.captured(3).toInt();
        timePart = r.hasCaptured(4) && !r.captured(4).isEmpty();
        if (timePart) {
            hh = r.captured(4).toInt();
            mm = r.captured(5).toInt();
            ss = r.captured(6).isEmpty() ? 0 : r.captured(6).toInt();
        }
    } else if (auto r2 = iso.match(text); r2.hasMatch()) {
        y = r2.captured(1).toInt();
        m = r2.captured(2).toInt();
        d = r2.captured(3).toInt();
        timePart = r2.hasCaptured(4) && !r2.captured(4).isEmpty();
        if (timePart) {
            hh = r2.captured(4).toInt();
            mm = r2.captured(5).toInt();
            ss = r2.captured(6).isEmpty() ? 0 : r2.captured(6).toInt();
        }
    } else {
        return {};
    }
    const QDate date(y, m, d);
    const QTime time(hh, mm, ss);
    if (!date.isValid() || !time.isValid())
        return {};
    if (hasTime)
        *hasTime = timePart;
    return QDateTime(date, time);
}

QVariant storageValue(const QVariant& value, FieldType partner)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (isDateType(partner)) {
        QDateTime dt;
        if (value.typeId() == QMetaType::QDate) {
            dt = QDateTime(value.toDate(), QTime(0, 0));
        } else if (value.typeId() == QMetaType::QDateTime) {
            dt = value.toDateTime();
        } else if (value.typeId() == QMetaType::QString) {
            if (value.toString().trimmed().isEmpty())
                return {};
            dt = parseDateLiteral(value.toString());
            if (!dt.isValid())
                throw Error(QStringLiteral("«%1» не является датой").arg(value.toString()));
        } else {
            return value;
        }
        return partner == FieldType::Date ? storedDate(dt.date()) : storedDateTime(dt);
    }
    if (value.typeId() == QMetaType::QDate)
        return storedDate(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return storedDateTime(value.toDateTime());
    return value;
}

QVariant fieldValue(const QVariant& value, FieldType type, int size, const QString& fieldName)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case FieldType::String: {
        QString s = value.toString();
        if (size > 0 && s.size() > size)
            s.truncate(size);
        return s;
    }
    case FieldType::Memo:
        return value.toString();
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::Smallint:
        return integerValue(value, type, fieldName);
    case FieldType::Boolean:
        return booleanValue(value);
    case FieldType::Currency:
    case FieldType::Float:
        return floatValue(value);
    case FieldType::Date:
    case FieldType::DateTime:
        return dateValue(value, type, fieldName);
    case FieldType::FmtMemo:
    case FieldType::Blob:
        return value.toByteArray();
    case FieldType::Unknown:
        break;
    }
    return value;
}

QString displayDate(const QDate& date) { return date.toString(kDisplayDateFormat); }

QString displayDateTime(const QDateTime& dateTime) { return dateTime.toString(u"dd.MM.yyyy H:mm:ss"); }

} // namespace talvora::data

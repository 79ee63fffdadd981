#include "templates/markers.h"

#include "common/dates.h"

#include <array>
#include <limits>

namespace talvora::templates {

QString markerPrefix(MarkerKind kind)
{
    switch (kind) {
    case MarkerKind::Field: return QStringLiteral("<!fld_");
    case MarkerKind::Group: return QStringLiteral("<!grp_");
    case MarkerKind::Treatment: return QStringLiteral("<!trt_");
    case MarkerKind::Template: break;
    }
    return QStringLiteral("<!shabl_");
}

QString markerText(MarkerKind kind, int number)
{
    return markerPrefix(kind) + QString::number(number) + u'>';
}

MarkerReading readMarkerText(QStringView copied)
{
    MarkerReading r;
    const qsizetype close = copied.indexOf(u'>');
    r.length = int(close < 0 ? copied.size() : close) + 1;

    const QStringView head = copied.left(r.length - 1);
    QString digits;
    for (QChar c : head)
        if (c >= u'0' && c <= u'9')
            digits += c;

    // Digits only, so the value is never negative; what does not fit a
    // 32-bit integer is refused like a number part without any digit.
    bool ok = !digits.isEmpty();
    qint64 value = 0;
    for (QChar c : digits) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max()) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        const QString marker = close < 0 ? copied.toString() : copied.left(close + 1).toString();
        r.failure = QStringLiteral("Ошибка в метке шаблона «%1»: «%2» не является допустимым целым числом.")
                        .arg(marker, digits);
        return r;
    }
    r.number = int(value);
    return r;
}

// ---------------------------------------------------------------- fields

namespace {

constexpr std::array<FieldEntry, 21> kFields{{
    {1, FieldSource::Text, "pName_f"},
    {2, FieldSource::Text, "Pname_n"},
    {3, FieldSource::Text, "Pname_o"},
    {4, FieldSource::Text, "Pprof"},
    {5, FieldSource::Date, "pdb"},
    {6, FieldSource::Date, "Pdp"},
    {7, FieldSource::Date, "pdv"},
    {8, FieldSource::Text, "Phist"},
    {9, FieldSource::Text, "Palat"},
    {10, FieldSource::AgeAtAdmission, "pdb", "Pdp"},
    {11, FieldSource::DaysInHospital, "Pdp", "pdv"},
    {12, FieldSource::Text, "PdiaK"},
    {13, FieldSource::Text, "PdiaV"},
    {14, FieldSource::Text, "Pjal"},
    {15, FieldSource::Anamnesis, "PanW", "PanM"},
    {16, FieldSource::Text, "Psomat"},
    {17, FieldSource::Text, "Pnst"},
    {18, FieldSource::Text, "Pves"},
    {29, FieldSource::AllInvestigations, ""},
    {31, FieldSource::Text, "Precom"},
    {32, FieldSource::Text, "PanV"},
}};

QDate dateValue(const QVariant& v)
{
    if (v.isNull())
        return EmptyDate();
    return v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
}

QString plainText(const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return DateText(dateValue(v));
    default:
        return v.toString();
    }
}

} // namespace

std::span<const FieldEntry> fieldTable()
{
    return kFields;
}

const FieldEntry* findField(int number)
{
    for (const FieldEntry& f : kFields)
        if (f.number == number)
            return &f;
    return nullptr;
}

QString fieldText(const FieldEntry& field, const PatientValue& value, const QDateTime& now)
{
    const auto column = [&](const char* name) { return value(QString::fromLatin1(name)); };
    switch (field.source) {
    case FieldSource::Text:
        return plainText(column(field.column));
    case FieldSource::Date:
        return DateText(dateValue(column(field.column)));
    case FieldSource::AgeAtAdmission: {
        const QDate birth = dateValue(column(field.column));
        if (IsEmptyDate(birth))
            return {};
        return AgeText(birth, dateValue(column(field.column2)));
    }
    case FieldSource::DaysInHospital: {
        const QDate admission = dateValue(column(field.column));
        const QDate discharge = dateValue(column(field.column2));
        const QDateTime until = IsEmptyDate(discharge) ? now : QDateTime(discharge, QTime(0, 0));
        return QString::number(WholeDaysBetween(QDateTime(admission, QTime(0, 0)), until)) + QStringLiteral("дн. ");
    }
    case FieldSource::Anamnesis:
        return plainText(column(field.column2));
    case FieldSource::AllInvestigations:
        break;
    }
    return {};
}

// ---------------------------------------------------------------- treatment

QString treatmentText(const std::vector<Prescription>& scheme, int number)
{
    const QString separator = number == 1 ? QString() : QStringLiteral("\r\n");
    QString text;
    for (const Prescription& p : scheme) {
        text += p.name + u' ' + p.regimen;
        if (!p.dosePerKg.isEmpty())
            text += QStringLiteral(" (") + p.dosePerKg + QStringLiteral(") ");
        text += p.course + u' ' + separator;
    }
    return text;
}

} // namespace talvora::templates

#include "dose_calculation.h"

#include "common/dates.h"
#include "common/errors.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

namespace talvora::treatment {

namespace {

// Written exactly so: the "x" of " таб. x " and the "c" before "ут" in the two
// dose texts are Latin letters, the "с" of " р\сут " is Cyrillic.
const QString kTabletsTimes = QStringLiteral(" таб. x ");
const QString kPerDay = QStringLiteral(" р\\сут ");
const QString kMgPerDay = QStringLiteral(" мг\\cут");
const QString kMgPerKgPerDay = QStringLiteral(" мг\\кг\\cут");
const QString kMgBy = QStringLiteral("мг  по ");

void requireDigits(const QString& text)
{
    if (!IsDigitString(text))
        throw Error(DigitsMessage());
}

QString tooLargeMessage(const QString& field)
{
    return QStringLiteral("Число в поле «%1» слишком велико для расчета !").arg(field);
}

// A text of digits as a real number; refused when it is beyond a double.
double realOf(const QString& digits, const QString& field)
{
    const QByteArray bytes = digits.toLatin1();
    double value = 0;
    const auto [end, ec] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (ec != std::errc() || end != bytes.constData() + bytes.size() || !std::isfinite(value))
        throw Error(tooLargeMessage(field));
    return value;
}

// A text of digits as a 32-bit count; refused beyond its range.
int countOf(const QString& digits, const QString& field)
{
    const QByteArray bytes = digits.toLatin1();
    int value = 0;
    const auto [end, ec] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (ec != std::errc() || end != bytes.constData() + bytes.size())
        throw Error(tooLargeMessage(field));
    return value;
}

// The weight as the page or the dialog shows it; none when it is empty or
// not a number.
std::optional<double> weightOf(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double w = t.toDouble(&ok);
    if (!ok)
        w = QLocale().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    return w;
}

void requireFinite(double dailyDose)
{
    if (!std::isfinite(dailyDose))
        throw Error(QStringLiteral("Суточная доза слишком велика для расчета: проверьте исходные данные !"));
}

QString fractionText(const FractionChoice& choice)
{
    return TabletFraction(choice) > 0 ? QStringLiteral(" + ") + choice.text : QString();
}

QString weightNotice()
{
    return QStringLiteral("Вес пациента в карте не указан или равен нулю, поэтому суточная доза "
                          "на кг массы тела не рассчитана.");
}

// The displays and the two dose texts from the daily dose and the weight.
void fillDoses(DoseResult& result, double dailyDose, std::optional<double> weight, QChar separator)
{
    requireFinite(dailyDose);
    result.dailyDose = FormatDose(dailyDose, separator);
    result.dailyDoseText = result.dailyDose + kMgPerDay;
    const std::optional<double> perKg = weight ? DosePerKg(dailyDose, *weight) : std::optional<double>();
    if (perKg && std::isfinite(*perKg)) {
        result.dosePerKg = FormatDose(*perKg, separator);
        result.dosePerKgText = result.dosePerKg + kMgPerKgPerDay;
    } else {
        result.notice = weightNotice();
    }
}

} // namespace

QString DigitsMessage()
{
    return QStringLiteral("В исходные данные необходимо внести ЦИФРЫ !");
}

const QStringList& FractionCaptions()
{
    static const QStringList captions{
        QStringLiteral("0"),        QStringLiteral("1\\8"),      QStringLiteral("1\\4"),
        QStringLiteral("1\\4 + 1\\8"), QStringLiteral("1\\2"),   QStringLiteral("1\\2 +1\\8"),
        QStringLiteral("3\\4"),     QStringLiteral("3\\4 +1\\8"),
    };
    return captions;
}

int FractionPosition(const QString& text)
{
    return int(FractionCaptions().indexOf(text));
}

double TabletFraction(int position)
{
    if (position < 0 || position >= FractionCaptions().size())
        return 0;
    return position / 8.0;
}

double TabletFraction(const FractionChoice& choice)
{
    return TabletFraction(choice.position);
}

double DailyDose(double dose, double tablets, double fraction, int intakes)
{
    return (tablets + fraction) * dose * intakes;
}

std::optional<double> DosePerKg(double dailyDose, double weight)
{
    if (!(weight > 0) || !std::isfinite(weight))
        return std::nullopt;
    return dailyDose / weight;
}

double SumIntakeDoses(const std::array<IntakeRow, 4>& rows)
{
    double sum = 0;
    for (const IntakeRow& row : rows)
        sum += (row.tablets + row.fraction) * row.dose;
    return sum;
}

QChar DecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u',') : point.at(0);
}

QString FormatDose(double value)
{
    return FormatDose(value, DecimalSeparator());
}

QString FormatDose(double value, QChar separator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    QString out;
    if (value < 0) {
        out += u'-';
        value = -value;
    }

    // The value with the 15 significant digits a double holds: a sum that
    // should be 6.42855 but came out 6.4285499999999999 is 6.42855 here, and
    // rounds up below as the decimal number does.
    // "d.dddddddddddddde±x": fifteen digits and the exponent of the first.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const QLatin1StringView text(buf, written.ptr);
    const qsizetype ePos = text.indexOf(u'e');
    QString mantissa = QString(text.left(ePos)).remove(1, 1);
    int e = text.mid(ePos + 1).toInt() + 1; // value = 0.mantissa * 10^e

    // Five significant digits, halves away from zero.
    QString d = mantissa.left(5);
    if (mantissa.at(5) >= u'5') {
        qsizetype i = 4;
        while (i >= 0 && d.at(i) == u'9')
            d[i--] = u'0';
        if (i < 0) {
            d = QStringLiteral("1");
            ++e;
        } else {
            d[i] = QChar(d.at(i).unicode() + 1);
        }
    }
    while (d.size() > 1 && d.endsWith(u'0'))
        d.chop(1);

    const int k = int(d.size());
    if (e >= -3 && e <= 5) {
        if (e <= 0) {
            out += u'0';
            out += separator;
            out += QString(-e, u'0');
            out += d;
        } else {
            out += d.left(e);
            if (k < e)
                out += QString(e - k, u'0');
            if (k > e) {
                out += separator;
                out += d.mid(e);
            }
        }
    } else {
        out += d.at(0);
        if (k > 1) {
            out += separator;
            out += d.mid(1);
        }
        out += u'E';
        out += QString::number(e - 1);
    }
    return out;
}

DoseResult CalculateEqualDoses(const EqualDosesInput& input, QChar separator)
{
    requireDigits(input.dose);
    requireDigits(input.tablets);
    requireDigits(input.intakes);

    const double dose = realOf(input.dose, QStringLiteral("Доза в 1-й таблетке"));
    const double tablets = realOf(input.tablets, QStringLiteral("количество табл. в 1 прием"));
    const int intakes = countOf(input.intakes, QStringLiteral("количество приемов в сутки"));

    DoseResult result;
    fillDoses(result, DailyDose(dose, tablets, TabletFraction(input.fraction), intakes), weightOf(input.weight),
              separator);
    result.regimen = input.dose + kMgBy + input.tablets + fractionText(input.fraction) + kTabletsTimes
        + input.intakes + kPerDay;
    return result;
}

DoseResult CalculateUnequalDoses(const UnequalDosesInput& input, QChar separator)
{
    for (const IntakeInput& row : input.rows) {
        requireDigits(row.tablets);
        requireDigits(row.dose);
    }
    requireDigits(input.weight);

    static const std::array<QString, 4> prefixes{QStringLiteral("утром: "), QStringLiteral("днем: "),
                                                  QStringLiteral("днем: "), QStringLiteral("вечером: ")};
    static const std::array<QString, 4> rowNames{QStringLiteral("утром"), QStringLiteral("днем, 1-й прием"),
                                                  QStringLiteral("днем, 2-й прием"), QStringLiteral("вечером")};

    std::array<IntakeRow, 4> rows;
    QString regimen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const IntakeInput& in = input.rows[i];
        rows[i].tablets = realOf(in.tablets, QStringLiteral("%1: количество таблеток").arg(rowNames[i]));
        rows[i].dose = realOf(in.dose, QStringLiteral("%1: доза в 1-й таблетке").arg(rowNames[i]));
        rows[i].fraction = TabletFraction(in.fraction);
        if (in.dose != QStringLiteral("0")) {
            regimen += prefixes[i] + in.dose + kMgBy + in.tablets + fractionText(in.fraction)
                + QStringLiteral(" таб.\r\n");
        }
    }

    DoseResult result;
    // The weight passed the digit check; a text too long for a number counts as unknown.
    std::optional<double> weight;
    {
        const QByteArray bytes = input.weight.toLatin1();
        double w = 0;
        const auto [end, ec] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), w);
        if (ec == std::errc() && end == bytes.constData() + bytes.size())
            weight = w;
    }
    fillDoses(result, SumIntakeDoses(rows), weight, separator);
    result.regimen = regimen;
    return result;
}

} // namespace talvora::treatment

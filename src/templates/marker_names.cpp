#include "templates/marker_names.h"

#include <array>

namespace talvora::templates {

namespace {

struct FieldName {
    int number;
    const char* name; // UTF-8
};

// Named after the patient window's captions where it has them.
constexpr std::array<FieldName, 21> kFieldNames{{
    {1, "Фамилия"},
    {2, "Имя"},
    {3, "Отчество"},
    {4, "Профессия"},
    {5, "Дата рождения"},
    {6, "Дата поступления"},
    {7, "Дата выписки"},
    {8, "Номер истории болезни"},
    {9, "Палата"},
    {10, "Возраст на день поступления"},
    {11, "Срок госпитализации в днях"},
    {12, "Клинический диагноз"},
    {13, "Сопутствующий диагноз"},
    {14, "Жалобы"},
    {15, "Анамнез"},
    {16, "Соматический статус"},
    {17, "Неврологический статус"},
    {18, "Вес"},
    {29, "Все исследования пациента"},
    {31, "Рекомендации при выписке"},
    {32, "Ход лечения"},
}};

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QString lowerFirst(const QString& text)
{
    if (text.isEmpty())
        return text;
    return text.left(1).toLower() + text.mid(1);
}

MarkerDescription failed(QString reason)
{
    return {QString(), std::move(reason)};
}

} // namespace

QString fieldName(int number)
{
    for (const FieldName& f : kFieldNames)
        if (f.number == number)
            return QString::fromUtf8(f.name);
    return {};
}

QString treatmentName(int number)
{
    return number == 1 ? QStringLiteral("Лечение — одной строкой") : QStringLiteral("Лечение — в столбик");
}

int maxMarkerDigits(MarkerKind kind)
{
    return kMarkerSpan - 1 - int(markerPrefix(kind).size());
}

const NamedKey* MarkerCatalog::findType(qint64 key) const
{
    for (const NamedKey& t : templateTypes)
        if (t.key == key)
            return &t;
    return nullptr;
}

const NamedKey* MarkerCatalog::findTemplate(qint64 key) const
{
    for (const NamedKey& t : templates)
        if (t.key == key)
            return &t;
    return nullptr;
}

MarkerDescription describeMarker(MarkerKind kind, QStringView number, const MarkerCatalog& catalog)
{
    QString digits;
    for (QChar c : number)
        if (isDigit(c))
            digits += c;
    if (digits.isEmpty())
        return failed(QStringLiteral("В метке нет номера: сборка документа остановится на ней с ошибкой."));
    if (digits.size() != number.size())
        return failed(QStringLiteral("В номере метки есть знаки, кроме цифр: сборка документа возьмёт из "
                                     "него одни цифры (%1).")
                          .arg(digits));
    const int allowed = maxMarkerDigits(kind);
    if (digits.size() > allowed)
        return failed(QStringLiteral("В номере метки %1 цифр, а допустимо не больше %2: метка длиннее %3 "
                                     "знаков, и сборка документа прочтёт её неверно.")
                          .arg(digits.size())
                          .arg(allowed)
                          .arg(kMarkerSpan));
    const int n = digits.toInt(); // at most 7 digits here

    switch (kind) {
    case MarkerKind::Field: {
        const QString name = fieldName(n);
        if (name.isEmpty())
            return failed(QStringLiteral("Поля с номером %1 нет: сборка документа оставит метку как есть.")
                              .arg(n));
        return {name, {}};
    }
    case MarkerKind::Group: {
        const NamedKey* type = catalog.findType(n);
        if (!type)
            return failed(QStringLiteral("Типа шаблона с номером %1 в отделении нет: сборка документа "
                                         "поставит на место метки пробел.")
                              .arg(n));
        return {QStringLiteral("Исследования типа «%1»").arg(type->name), {}};
    }
    case MarkerKind::Treatment:
        return {treatmentName(n), {}};
    case MarkerKind::Template:
        break;
    }
    const NamedKey* shablon = catalog.findTemplate(n);
    if (!shablon)
        return failed(QStringLiteral("Шаблона с номером %1 нет: сборка документа поставит на место метки "
                                     "пробел.")
                          .arg(n));
    return {QStringLiteral("Шаблон «%1»").arg(shablon->name), {}};
}

MarkerDescription describeMarker(MarkerKind kind, qint64 number, const MarkerCatalog& catalog)
{
    if (number < 0)
        return describeMarker(kind, QStringView(), catalog);
    return describeMarker(kind, QString::number(number), catalog);
}

std::vector<FoundMarker> findMarkers(QStringView paragraph, const MarkerCatalog& catalog)
{
    static constexpr std::array kKinds{MarkerKind::Field, MarkerKind::Group, MarkerKind::Treatment,
                                       MarkerKind::Template};
    std::vector<FoundMarker> found;
    qsizetype from = 0;
    while (from < paragraph.size()) {
        // The nearest prefix of any kind.
        qsizetype at = -1;
        MarkerKind kind = MarkerKind::Field;
        qsizetype prefixLength = 0;
        for (MarkerKind k : kKinds) {
            const QString prefix = markerPrefix(k);
            const qsizetype i = paragraph.indexOf(prefix, from, Qt::CaseInsensitive);
            if (i >= 0 && (at < 0 || i < at)) {
                at = i;
                kind = k;
                prefixLength = prefix.size();
            }
        }
        if (at < 0)
            break;

        const qsizetype numberStart = at + prefixLength;
        qsizetype i = numberStart;
        while (i < paragraph.size() && isDigit(paragraph[i]))
            ++i;
        qsizetype end = i; // past the marker's last character
        QStringView number = paragraph.mid(numberStart, i - numberStart);
        MarkerDescription description;
        if (i < paragraph.size() && paragraph[i] == u'>') {
            end = i + 1;
            description = describeMarker(kind, number, catalog);
        } else {
            // The assembly reads a marker up to the first ">" of the
            // characters it copies.
            const qsizetype close = paragraph.mid(at, kMarkerSpan).indexOf(u'>');
            if (close >= 0) {
                end = at + close + 1;
                number = paragraph.mid(numberStart, end - 1 - numberStart);
                description = describeMarker(kind, number, catalog);
            } else if (i - numberStart > maxMarkerDigits(kind)) {
                description = describeMarker(kind, number, catalog);
            } else {
                description = failed(QStringLiteral("У метки нет закрывающего знака «>»: сборка документа "
                                                    "прочтёт её вместе с текстом, что идёт за ней."));
            }
        }
        found.push_back({int(at), int(end - at), kind, std::move(description)});
        from = end;
    }
    return found;
}

QString markerToolTip(QStringView markerText, const MarkerDescription& description)
{
    if (description.ok())
        return markerText.toString() + QStringLiteral(" — ") + lowerFirst(description.name);
    return markerText.toString() + QStringLiteral(" — ошибка. ") + description.error;
}

} // namespace talvora::templates

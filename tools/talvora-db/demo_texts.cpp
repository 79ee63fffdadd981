#include "demo_texts.h"

#include "common/errors.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

namespace talvora::tools {

namespace {

constexpr auto kOptions = QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

// The values a phrase may name as "{name}"; drawn by DemoTexts::prepare.
const QStringList& valueNames()
{
    static const QStringList names{
        QStringLiteral("temp"),        QStringLiteral("rr"),           QStringLiteral("spo2"),
        QStringLiteral("ad"),          QStringLiteral("ad_left"),      QStringLiteral("ad_usual"),
        QStringLiteral("ad_max"),      QStringLiteral("target_ad"),    QStringLiteral("hr"),
        QStringLiteral("pulse"),       QStringLiteral("deficit"),      QStringLiteral("mmse"),
        QStringLiteral("moca"),        QStringLiteral("clock"),        QStringLiteral("vibration"),
        QStringLiteral("htn_from"),    QStringLiteral("smoke_years"),  QStringLiteral("pregnancies"),
        QStringLiteral("births"),      QStringLiteral("abortions"),    QStringLiteral("menopause"),
        QStringLiteral("admission"),   QStringLiteral("work"),         QStringLiteral("hazards"),
        QStringLiteral("education"),   QStringLiteral("home_drugs"),   QStringLiteral("lasting_drugs"),
    };
    return names;
}

int between(QRandomGenerator& random, int lo, int hi)
{
    return hi <= lo ? lo : lo + int(random.bounded(quint32(hi - lo + 1)));
}

// "lo..hi" (either may be negative).
bool readRange(const QString& text, int& lo, int& hi)
{
    const qsizetype dots = text.indexOf(QStringLiteral(".."));
    if (dots <= 0)
        return false;
    bool a = false, b = false;
    lo = text.left(dots).toInt(&a);
    hi = text.mid(dots + 2).toInt(&b);
    return a && b && lo <= hi;
}

QString dayText(const QDate& day)
{
    return day.toString(QStringLiteral("dd.MM.yyyy"));
}

QStringList stringList(const QJsonValue& v)
{
    QStringList out;
    for (const QJsonValue& s : v.toArray())
        out << s.toString();
    return out;
}

} // namespace

struct DemoTextCase {
    QStringList all;  // tags that must be there
    QStringList none; // tags that must not
    int ageFrom = 0, ageTo = 1000;
    QStringList put; // one drawn
};

struct DemoTextRule {
    QString find;
    QRegularExpression pattern;
    QString anchor; // a word the paragraph must hold, lower case
    bool needsBlank = false;
    bool endsWithBlank = false;
    std::vector<DemoTextCase> cases;
};

struct DemoTexts::Diagnosis {
    struct Variant {
        QStringList tags;
        QJsonObject scales;
        std::vector<DemoTextRule> rules;
        QString focal;
    };
    QString key;
    QStringList tags;
    QJsonObject scales;
    std::vector<DemoTextRule> rules;
    QString focal;
    std::vector<Variant> variants;
};

namespace {

void checkPhrase(const QString& phrase, const QString& where)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{([^{}]*)\\}"));
    for (auto it = placeholder.globalMatch(phrase); it.hasNext();) {
        const QString name = it.next().captured(1);
        int lo = 0, hi = 0;
        const qsizetype colon = name.indexOf(u':');
        const QString kind = name.left(colon);
        const bool ok = name.contains(u'|') ||
                        (colon > 0 &&
                         (kind == u"n" || kind == u"date" || kind == u"ddate" || kind == u"year") &&
                         readRange(name.mid(colon + 1), lo, hi)) ||
                        valueNames().contains(name);
        if (!ok)
            throw Error(QStringLiteral("demo: неизвестная подстановка {%1} в «%2»").arg(name, where));
    }
}

// The pattern's text as a regular expression (see the header).
QRegularExpression compilePattern(const QString& find, QString& anchor, bool& endsWithBlank)
{
    QString re;
    QString word, longest;
    // The anchor is a whole word: not one that a blank, "…" or "{a|b}" cuts.
    bool cut = false;
    const auto endWord = [&] {
        if (!cut && word.size() > longest.size())
            longest = word;
        word.clear();
        cut = false;
    };
    const auto cutWord = [&] {
        word.clear();
        cut = true;
    };
    endsWithBlank = false;
    for (qsizetype i = 0; i < find.size();) {
        const QChar c = find[i];
        if (c == u'_' && i + 1 < find.size() && find[i + 1] == u'_') {
            cutWord();
            while (i < find.size() && find[i] == u'_')
                ++i;
            re += QStringLiteral("_{2,}");
            endsWithBlank = true;
            continue;
        }
        endsWithBlank = false;
        if (find.mid(i, 3) == QStringLiteral("(…)")) {
            endWord();
            // The space before the hint is part of it.
            if (re.endsWith(QStringLiteral("\\s+")))
                re.chop(3);
            re += QStringLiteral("\\s*\\([^()]*\\)");
            i += 3;
            continue;
        }
        if (c == u'…') {
            cutWord();
            re += i + 1 == find.size() ? QStringLiteral(".*") : QStringLiteral(".*?");
            ++i;
            continue;
        }
        if (c == u'{') {
            const qsizetype close = find.indexOf(u'}', i);
            if (close < 0)
                throw Error(QStringLiteral("demo: незакрытая { в «%1»").arg(find));
            cutWord();
            QStringList parts;
            for (const QString& p : find.mid(i + 1, close - i - 1).split(u'|'))
                parts << QRegularExpression::escape(p);
            re += QStringLiteral("(?:") + parts.join(u'|') + u')';
            i = close + 1;
            continue;
        }
        if (c.isSpace()) {
            cut = cut && !word.isEmpty();
            endWord();
            re += QStringLiteral("\\s+");
            ++i;
            continue;
        }
        if (c.isLetterOrNumber()) {
            word += c.toLower();
        } else {
            cut = cut && !word.isEmpty();
            endWord();
        }
        re += QRegularExpression::escape(QString(c));
        ++i;
    }
    endWord();
    anchor = longest;
    // A pattern written with a capital opens a sentence or a heading's text:
    // "Операции ___." is not the end of "…заболевания и операции ___.".
    if (!find.isEmpty() && find[0].isUpper())
        re.prepend(QStringLiteral("(?<![\\p{L}\\d]\\s)(?<![\\p{L}\\d])"));
    QRegularExpression pattern(re, kOptions);
    if (!pattern.isValid())
        throw Error(QStringLiteral("demo: шаблон «%1»: %2").arg(find, pattern.errorString()));
    pattern.optimize();
    return pattern;
}

QStringList phrases(const QJsonValue& put, const QString& where)
{
    QStringList out = put.isArray() ? stringList(put) : QStringList{put.toString()};
    if (put.isUndefined() || put.isNull() || out.isEmpty())
        throw Error(QStringLiteral("demo: у правила «%1» нет put").arg(where));
    for (const QString& p : out)
        checkPhrase(p, where);
    return out;
}

DemoTextCase readCase(const QJsonObject& o, const QString& where)
{
    DemoTextCase c;
    for (const QString& tag : stringList(o.value(QStringLiteral("if")))) {
        if (tag.startsWith(u'!'))
            c.none << tag.mid(1);
        else
            c.all << tag;
    }
    const QJsonArray age = o.value(QStringLiteral("age")).toArray();
    if (age.size() == 2) {
        c.ageFrom = age.at(0).toInt();
        c.ageTo = age.at(1).toInt();
    }
    c.put = phrases(o.value(QStringLiteral("put")), where);
    return c;
}

std::vector<DemoTextRule> readRules(const QJsonValue& list)
{
    std::vector<DemoTextRule> rules;
    for (const QJsonValue& v : list.toArray()) {
        const QJsonObject o = v.toObject();
        DemoTextRule r;
        r.find = o.value(QStringLiteral("find")).toString();
        if (r.find.isEmpty())
            throw Error(QStringLiteral("demo: правило без find"));
        r.pattern = compilePattern(r.find, r.anchor, r.endsWithBlank);
        r.needsBlank = r.find.contains(QStringLiteral("__"));
        if (o.contains(QStringLiteral("cases"))) {
            for (const QJsonValue& c : o.value(QStringLiteral("cases")).toArray())
                r.cases.push_back(readCase(c.toObject(), r.find));
        } else {
            r.cases.push_back(readCase(o, r.find));
        }
        rules.push_back(std::move(r));
    }
    return rules;
}

bool holds(const DemoTextCase& c, const DemoCase& patient)
{
    if (patient.person.age < c.ageFrom || patient.person.age > c.ageTo)
        return false;
    for (const QString& t : c.all)
        if (!patient.tags.contains(t))
            return false;
    for (const QString& t : c.none)
        if (patient.tags.contains(t))
            return false;
    return true;
}

int roundTo(int value, int step)
{
    return (value + step / 2) / step * step;
}

QString pressure(int systolic, int diastolic)
{
    return QStringLiteral("%1/%2").arg(systolic).arg(diastolic);
}

std::pair<int, int> scale(const QJsonObject& own, const QJsonObject& diagnosis, const QString& name, std::pair<int, int> byAge)
{
    for (const QJsonObject* o : {&own, &diagnosis}) {
        const QJsonArray r = o->value(name).toArray();
        if (r.size() == 2)
            return {r.at(0).toInt(), r.at(1).toInt()};
    }
    return byAge;
}

// ---------------------------------------------------------------- the form's leftovers

// "___ (a / b / c)": the first alternative without a blank.
void resolveChoices(QString& text)
{
    static const QRegularExpression choice(QStringLiteral("_{2,}\\s*\\(([^()]*/[^()]*)\\)"));
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = choice.match(text, from);
        if (!m.hasMatch())
            return;
        QString chosen;
        for (const QString& alternative : m.captured(1).split(u'/')) {
            if (!alternative.contains(QStringLiteral("__")) && !alternative.trimmed().isEmpty()) {
                chosen = alternative.trimmed();
                break;
            }
        }
        if (chosen.isEmpty()) {
            from = m.capturedEnd();
            continue;
        }
        text.replace(m.capturedStart(), m.capturedLength(), chosen);
        from = m.capturedStart() + chosen.size();
    }
}

// "X / ___ (hint)" keeps X; "___ / Y" keeps Y.
void keepTheWrittenAlternative(QString& text)
{
    static const QRegularExpression after(
        QStringLiteral("\\s+/\\s+[^,.;:/()]*_{2,}[^,.;:/()]*(?:\\s*\\([^()]*\\))?"));
    static const QRegularExpression before(
        QStringLiteral("(^|[,.;:(]\\s*)[^,.;:/()]*_{2,}[^,.;:/()]*(?:\\s*\\([^()]*\\))?\\s+/\\s+(?=[^\\s_])"));
    text.replace(after, QString());
    text.replace(before, QStringLiteral("\\1"));
}

// Sentences (and the parts between semicolons) that still hold a blank go,
// the paragraph's heading ("Рефлексы:") stays while something follows it.
// Null when nothing but the heading would be left.
QString dropBlankSentences(const QString& text)
{
    if (!text.contains(QStringLiteral("__")))
        return text;
    QStringList parts;
    qsizetype start = 0;
    // A heading: words up to a colon, before any blank or full stop.
    const qsizetype colon = text.indexOf(u':');
    qsizetype heading = 0;
    if (colon > 0 && colon < 60 && !text.left(colon).contains(u'.') && !text.left(colon).contains(QStringLiteral("__")) &&
        text.at(0).isUpper()) {
        heading = colon + 1;
        parts << text.left(heading);
        start = heading;
    }
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text[i];
        bool end = false;
        if (c == u';')
            end = true;
        else if (c == u'.' || c == u'!' || c == u'?') {
            qsizetype j = i + 1;
            while (j < text.size() && text[j].isSpace())
                ++j;
            end = j == text.size() || (j > i + 1 && (text[j].isUpper() || text[j].isDigit()));
        }
        if (end || i + 1 == text.size()) {
            parts << text.mid(start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < text.size())
        parts << text.mid(start);

    QString out;
    bool said = false;
    for (qsizetype p = 0; p < parts.size(); ++p) {
        if (parts[p].contains(QStringLiteral("__")))
            continue;
        out += parts[p];
        if (p > 0 || heading == 0)
            said = said || !parts[p].trimmed().isEmpty();
    }
    if (!said)
        return {};
    out = out.trimmed();
    if (out.endsWith(u';') || out.endsWith(u','))
        out[out.size() - 1] = u'.';
    else if (!out.endsWith(u'.') && text.trimmed().endsWith(u'.'))
        out += u'.';
    return out;
}

QString tidy(QString text)
{
    static const QList<std::pair<QRegularExpression, QString>> fixes{
        {QRegularExpression(QStringLiteral("\\(\\s*\\)")), QString()},
        {QRegularExpression(QStringLiteral("\\s+/\\s*(?=[,.;:]|$)")), QString()},
        {QRegularExpression(QStringLiteral("[ \\t]{2,}")), QStringLiteral(" ")},
        {QRegularExpression(QStringLiteral(" +([,.;:!?)])")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\( +")), QStringLiteral("(")},
        {QRegularExpression(QStringLiteral(",\\s*(?=[,.;])")), QString()},
        {QRegularExpression(QStringLiteral(";\\s*(?=[.;])")), QString()},
        {QRegularExpression(QStringLiteral("\\.{2}(?!\\.)")), QStringLiteral(".")},
        {QRegularExpression(QStringLiteral(":\\s*\\.")), QStringLiteral(".")},
    };
    for (const auto& [re, put] : fixes)
        text.replace(re, put);
    return text.trimmed();
}

} // namespace

// ---------------------------------------------------------------- numbers

QString agreeNumbers(QString text)
{
    if (!text.contains(QStringLiteral("балл")) && !text.contains(QStringLiteral("лет")) && !text.contains(QStringLiteral("год")))
        return text;
    static const QRegularExpression points(QStringLiteral("(?<![\\d,])(\\d+) (балл|балла|баллов)(?!\\p{L})"), kOptions);
    static const QRegularExpression years(
        QStringLiteral("(?:(?<!\\p{L})(с|в течение|около|более|до|от) )?(?<![\\d,])(\\d{1,3}) (лет|года|год)(?!\\p{L})"), kOptions);
    const auto counted = [](qint64 n, const QString& one, const QString& few, const QString& many) {
        const qint64 tens = n % 100, units = n % 10;
        if (tens >= 11 && tens <= 14)
            return many;
        return units == 1 ? one : units >= 2 && units <= 4 ? few : many;
    };
    QString out;
    qsizetype last = 0;
    for (auto it = points.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        out += m.captured(1) + u' ' +
               counted(m.captured(1).toLongLong(), QStringLiteral("балл"), QStringLiteral("балла"), QStringLiteral("баллов"));
        last = m.capturedEnd();
    }
    text = out + text.mid(last);
    out.clear();
    last = 0;
    for (auto it = years.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const qint64 n = m.captured(2).toLongLong();
        QString word;
        if (m.capturedLength(1) > 0) // "с 51 года", "в течение 3 лет"
            word = n % 10 == 1 && n % 100 != 11 ? QStringLiteral("года") : QStringLiteral("лет");
        else
            word = counted(n, QStringLiteral("год"), QStringLiteral("года"), QStringLiteral("лет"));
        out += (m.capturedLength(1) > 0 ? m.captured(1) + u' ' : QString()) + m.captured(2) + u' ' + word;
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

// ---------------------------------------------------------------- DemoTexts

DemoTexts::DemoTexts(const QJsonObject& phrases, const QJsonArray& diagnoses)
    : general_(readRules(phrases.value(QStringLiteral("rules")))), tables_(phrases)
{
    for (const QJsonValue& v : diagnoses) {
        const QJsonObject o = v.toObject();
        auto d = std::make_unique<Diagnosis>();
        d->key = o.value(QStringLiteral("key")).toString();
        d->tags = stringList(o.value(QStringLiteral("tags")));
        d->scales = o.value(QStringLiteral("scales")).toObject();
        d->rules = readRules(o.value(QStringLiteral("texts")));
        d->focal = o.value(QStringLiteral("focal")).toString();
        checkPhrase(d->focal, d->key);
        for (const QJsonValue& c : o.value(QStringLiteral("clinical")).toArray()) {
            Diagnosis::Variant variant;
            if (c.isObject()) {
                const QJsonObject co = c.toObject();
                variant.tags = stringList(co.value(QStringLiteral("tags")));
                variant.scales = co.value(QStringLiteral("scales")).toObject();
                variant.rules = readRules(co.value(QStringLiteral("texts")));
                variant.focal = co.value(QStringLiteral("focal")).toString();
                checkPhrase(variant.focal, d->key);
            }
            d->variants.push_back(std::move(variant));
        }
        if (d->variants.empty())
            d->variants.emplace_back();
        diagnoses_.push_back(std::move(d));
    }
}

DemoTexts::~DemoTexts() = default;

QJsonObject DemoTexts::resource(const QString& name)
{
    QFile f(QStringLiteral(":/starter/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Нет данных демонстрационных пациентов (%1) в программе").arg(name));
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &e);
    if (!doc.isObject())
        throw Error(QStringLiteral("%1: %2").arg(name, e.errorString()));
    return doc.object();
}

const DemoTexts::Diagnosis& DemoTexts::diagnosis(const QString& key) const
{
    for (const auto& d : diagnoses_)
        if (d->key == key)
            return *d;
    throw Error(QStringLiteral("demo: нет диагноза «%1»").arg(key));
}

DemoCase DemoTexts::prepare(const DemoPerson& person, QRandomGenerator& random) const
{
    const Diagnosis& dx = diagnosis(person.diagnosis);
    const Diagnosis::Variant& variant = dx.variants[size_t(std::clamp(person.variant, 0, int(dx.variants.size()) - 1))];
    DemoCase c;
    c.person = person;
    const int age = person.age;
    const bool woman = person.sex == 2;

    c.tags << (woman ? QStringLiteral("female") : QStringLiteral("male")) << QStringLiteral("dx:") + dx.key;
    for (const QString& t : dx.tags + variant.tags)
        c.tags << t;
    for (const QString& k : person.comorbidities)
        c.tags << QStringLiteral("co:") + k;
    const QJsonObject professions = tables_.value(QStringLiteral("professions")).toObject();
    if (stringList(professions.value(QStringLiteral("retired"))).contains(person.profession))
        c.tags << QStringLiteral("retired");
    else if (stringList(professions.value(QStringLiteral("jobless"))).contains(person.profession))
        c.tags << QStringLiteral("jobless");
    else
        c.tags << QStringLiteral("working");
    c.tags << (person.discharge.isValid() ? QStringLiteral("discharged") : QStringLiteral("inpatient"));
    if (!person.homeDrugs.isEmpty())
        c.tags << QStringLiteral("home_drugs");
    if (!person.lastingDrugs.isEmpty())
        c.tags << QStringLiteral("lasting_drugs");
    for (const QJsonValue& v : tables_.value(QStringLiteral("randomTags")).toArray()) {
        const QJsonObject o = v.toObject();
        DemoTextCase when;
        for (const QString& tag : stringList(o.value(QStringLiteral("if"))))
            (tag.startsWith(u'!') ? when.none : when.all) << tag.mid(tag.startsWith(u'!') ? 1 : 0);
        const QJsonArray ages = o.value(QStringLiteral("age")).toArray();
        if (ages.size() == 2) {
            when.ageFrom = ages.at(0).toInt();
            when.ageTo = ages.at(1).toInt();
        }
        // Drawn whether or not it applies, so that one tag does not shift the others.
        const bool drawn = between(random, 1, 100) <= o.value(QStringLiteral("share")).toInt();
        if (drawn && holds(when, c))
            c.tags << o.value(QStringLiteral("tag")).toString();
    }

    auto& v = c.values;
    v[QStringLiteral("temp")] = QStringLiteral("36,%1").arg(between(random, 4, 8));
    v[QStringLiteral("rr")] = QString::number(between(random, 14, 18));
    v[QStringLiteral("spo2")] = QString::number(age >= 75 ? between(random, 95, 97) : between(random, 96, 99));

    // Blood pressure: by age, higher with hypertension and in the acute
    // stroke; the left arm within 10/5 of the right.
    const bool hypertension = c.tags.contains(QStringLiteral("co:hypertension"));
    const bool stroke = c.tags.contains(QStringLiteral("stroke"));
    int sys = 0, dia = 0;
    if (hypertension) {
        sys = stroke ? between(random, 145, 175) : between(random, 135, 160);
        dia = stroke ? between(random, 85, 100) : between(random, 80, 95);
    } else if (stroke) {
        sys = between(random, 130, 145);
        dia = between(random, 75, 90);
    } else if (age < 45) {
        sys = between(random, 110, 125);
        dia = between(random, 70, 80);
    } else {
        sys = between(random, 115, 135);
        dia = between(random, 70, 85);
    }
    sys = roundTo(sys, 5);
    dia = roundTo(dia, 5);
    v[QStringLiteral("ad")] = pressure(sys, dia);
    v[QStringLiteral("ad_left")] = pressure(sys + 5 * between(random, -2, 1), dia + 5 * between(random, -1, 0));
    v[QStringLiteral("ad_usual")] = pressure(roundTo(between(random, 130, 145), 5), roundTo(between(random, 80, 90), 5));
    v[QStringLiteral("ad_max")] = pressure(roundTo(between(random, 170, 220), 10), roundTo(between(random, 95, 120), 5));
    v[QStringLiteral("target_ad")] =
        hypertension || c.tags.contains(QStringLiteral("vascular")) ? QStringLiteral("130/80") : QStringLiteral("140/90");

    // In sinus rhythm the pulse is the heart rate; in atrial fibrillation
    // some beats do not reach the wrist.
    if (c.tags.contains(QStringLiteral("co:af"))) {
        const int hr = between(random, 78, 102), deficit = between(random, 4, 12);
        v[QStringLiteral("hr")] = QString::number(hr);
        v[QStringLiteral("pulse")] = QString::number(hr - deficit);
        v[QStringLiteral("deficit")] = QString::number(deficit);
    } else {
        const QString hr = QString::number(between(random, 62, 84));
        v[QStringLiteral("hr")] = hr;
        v[QStringLiteral("pulse")] = hr;
        v[QStringLiteral("deficit")] = QStringLiteral("0");
    }

    const auto draw = [&](const QString& name, std::pair<int, int> byAge) {
        const auto [lo, hi] = scale(variant.scales, dx.scales, name, byAge);
        return between(random, lo, hi);
    };
    const int mmse = draw(QStringLiteral("mmse"), age < 60 ? std::pair{28, 30} : age < 75 ? std::pair{27, 30} : std::pair{25, 28});
    const int moca = std::min(mmse, draw(QStringLiteral("moca"), age < 60 ? std::pair{26, 30} : age < 75 ? std::pair{25, 29} : std::pair{22, 26}));
    v[QStringLiteral("mmse")] = QString::number(mmse);
    v[QStringLiteral("moca")] = QString::number(moca);
    v[QStringLiteral("clock")] = QString::number(mmse >= 27 ? between(random, 9, 10) : mmse >= 24 ? between(random, 7, 8) : between(random, 4, 6));
    v[QStringLiteral("vibration")] =
        QString::number(draw(QStringLiteral("vibration"), age < 60 ? std::pair{12, 16} : age < 75 ? std::pair{10, 13} : std::pair{6, 9}));

    // Durations never longer than the life they are part of.
    const int htnFrom = std::max(30, age - 25);
    v[QStringLiteral("htn_from")] =
        QString::number(age < 32 ? std::max(18, age - 2) : between(random, htnFrom, std::max(htnFrom, age - 5)));
    v[QStringLiteral("smoke_years")] = QString::number(between(random, std::max(1, std::min(5, age - 17)), std::max(1, std::min(45, age - 16))));
    const int pregnancies = age < 22 ? between(random, 0, 1) : between(random, 1, 4);
    const int births = pregnancies == 0 ? 0 : between(random, 1, std::min(pregnancies, 3));
    v[QStringLiteral("pregnancies")] = QString::number(pregnancies);
    v[QStringLiteral("births")] = QString::number(births);
    v[QStringLiteral("abortions")] = QString::number(pregnancies - births);
    v[QStringLiteral("menopause")] = QString::number(between(random, 45, std::max(45, std::min(55, age - 1))));
    v[QStringLiteral("admission")] = dayText(person.admission);

    const QString job = person.profession;
    const QJsonObject instrumental = professions.value(QStringLiteral("instrumental")).toObject();
    v[QStringLiteral("work")] = instrumental.contains(job) ? instrumental.value(job).toString()
                                                           : QStringLiteral("(профессия — %1)").arg(job);
    const QJsonObject hazards = professions.value(QStringLiteral("hazards")).toObject();
    v[QStringLiteral("hazards")] =
        hazards.contains(job) ? QStringLiteral("— ") + hazards.value(job).toString() : QStringLiteral("отрицает");
    const QJsonObject education = professions.value(QStringLiteral("education")).toObject();
    const QStringList anyEducation{QStringLiteral("среднее"), QStringLiteral("среднее специальное"), QStringLiteral("высшее")};
    const QString drawnEducation = anyEducation.at(between(random, 0, 2));
    v[QStringLiteral("education")] = education.contains(job) ? education.value(job).toString() : drawnEducation;
    v[QStringLiteral("home_drugs")] = person.homeDrugs.join(QStringLiteral(", "));
    v[QStringLiteral("lasting_drugs")] = person.lastingDrugs.join(QStringLiteral(", "));

    c.rules = {&variant.rules, &dx.rules, &general_};
    return c;
}

QString DemoTexts::expand(const QString& phrase, const DemoCase& patient, QRandomGenerator& random) const
{
    const DemoPerson& p = patient.person;
    QString out;
    qsizetype last = 0;
    for (qsizetype open = phrase.indexOf(u'{'); open >= 0; open = phrase.indexOf(u'{', last)) {
        const qsizetype close = phrase.indexOf(u'}', open);
        if (close < 0)
            break;
        out += phrase.mid(last, open - last);
        const QString name = phrase.mid(open + 1, close - open - 1);
        last = close + 1;
        if (name.contains(u'|')) {
            const QStringList forms = name.split(u'|');
            out += p.sex == 2 ? forms.value(1) : forms.value(0);
            continue;
        }
        const qsizetype colon = name.indexOf(u':');
        int lo = 0, hi = 0;
        if (colon > 0 && readRange(name.mid(colon + 1), lo, hi)) {
            const QString kind = name.left(colon);
            const int n = between(random, lo, hi);
            if (kind == u"n") {
                out += QString::number(n);
            } else if (kind == u"date") {
                out += dayText(p.admission.addDays(n));
            } else if (kind == u"ddate") {
                const QDate base = p.discharge.isValid() ? p.discharge : p.admission.addDays(14);
                out += dayText(base.addDays(n));
            } else { // year: not before the patient was 16
                const int ago = std::min(-n, std::max(0, p.age - 16));
                out += QString::number(p.admission.year() - ago);
            }
            continue;
        }
        out += patient.values.value(name);
    }
    return out + phrase.mid(last);
}

QString DemoTexts::paragraph(QString text, const DemoCase& patient, QRandomGenerator& random) const
{
    static const QRegularExpression hint(QStringLiteral("^\\s*\\([^()_]*\\)"));
    const QString original = text;
    // The paragraph's words and whether it has a blank, looked up by every rule.
    QSet<QString> words;
    bool blank = false;
    const auto read = [&] {
        words.clear();
        blank = text.contains(QStringLiteral("__"));
        qsizetype start = -1;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool letter = i < text.size() && text[i].isLetterOrNumber();
            if (letter && start < 0)
                start = i;
            else if (!letter && start >= 0) {
                words.insert(text.mid(start, i - start).toLower());
                start = -1;
            }
        }
    };
    read();
    for (const std::vector<DemoTextRule>* rules : patient.rules) {
        for (const DemoTextRule& rule : *rules) {
            if (rule.needsBlank && !blank)
                continue;
            if (!rule.anchor.isEmpty() && !words.contains(rule.anchor))
                continue;
            const DemoTextCase* chosen = nullptr;
            for (const DemoTextCase& c : rule.cases)
                if (holds(c, patient)) {
                    chosen = &c;
                    break;
                }
            if (!chosen)
                continue;
            qsizetype from = 0;
            for (;;) {
                const QRegularExpressionMatch m = rule.pattern.match(text, from);
                if (!m.hasMatch())
                    break;
                QString put = expand(chosen->put.at(between(random, 0, int(chosen->put.size()) - 1)), patient, random);
                const QString found = m.captured();
                if (!put.isEmpty() && put[0].isLetter() && found[0].isLetter())
                    put[0] = found[0].isUpper() ? put[0].toUpper() : put[0].toLower();
                qsizetype end = m.capturedEnd();
                // The hint of a blank goes once the blank is filled.
                if (rule.endsWithBlank) {
                    const QRegularExpressionMatch h = hint.match(QStringView(text).mid(end));
                    if (h.hasMatch())
                        end += h.capturedEnd();
                }
                text.replace(m.capturedStart(), end - m.capturedStart(), put);
                from = m.capturedStart() + put.size();
                if (end == m.capturedStart())
                    ++from;
                read();
                if (from > text.size())
                    break;
            }
        }
    }
    if (text == original && !text.contains(QStringLiteral("__")))
        return text; // nothing to fill: the boilerplate's own words
    resolveChoices(text);
    keepTheWrittenAlternative(text);
    text = dropBlankSentences(text);
    if (text.isNull())
        return {};
    return agreeNumbers(tidy(text));
}

QStringList DemoTexts::fill(const QStringList& paragraphs, const DemoCase& patient, QRandomGenerator& random) const
{
    QStringList out;
    out.reserve(paragraphs.size());
    for (const QString& p : paragraphs) {
        if (p.trimmed().isEmpty()) {
            out << (p.isNull() ? QString::fromLatin1("") : p); // null means taken out
            continue;
        }
        out << paragraph(p, patient, random);
    }
    return out;
}

QString DemoTexts::fillText(const QString& text, const DemoCase& patient, QRandomGenerator& random) const
{
    if (text.isEmpty())
        return text;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList kept;
    for (const QString& p : fill(text.split(lineEnd), patient, random))
        if (!p.isNull())
            kept << p;
    return kept.join(u'\r');
}

QString DemoTexts::focal(const DemoCase& patient) const
{
    const Diagnosis& dx = diagnosis(patient.person.diagnosis);
    const Diagnosis::Variant& variant = dx.variants[size_t(std::clamp(patient.person.variant, 0, int(dx.variants.size()) - 1))];
    QRandomGenerator none(1);
    return expand(variant.focal.isEmpty() ? dx.focal : variant.focal, patient, none);
}

} // namespace talvora::tools

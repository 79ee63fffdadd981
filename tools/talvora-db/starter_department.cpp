#include "starter_department.h"

#include "common/errors.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/view/text_edits.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

namespace talvora::tools {

using data::SqliteConnection;

namespace {

QString resourceText(const QString& name)
{
    QFile f(QStringLiteral(":/starter/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Начальное отделение: нет файла «%1» среди данных программы").arg(name));
    return QString::fromUtf8(f.readAll());
}

QJsonObject readJsonObject(const QString& name)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(resourceText(name).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw Error(QStringLiteral("Начальное отделение: %1 не прочитан (%2)").arg(name, error.errorString()));
    return doc.object();
}

// A text of the manifest, checked against the width of the field it goes to:
// these rows bypass the engine, which would otherwise cut a long value.
// `where` names the row in the message when the member alone does not.
QString fieldText(const QJsonObject& object, const char* member, const char* table, const char* field,
                  const QString& where = {})
{
    const QString in = where.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(where);
    const QJsonValue v = object.value(QLatin1String(member));
    const QString text = v.toString().trimmed();
    if (!v.isString() || text.isEmpty())
        throw Error(QStringLiteral("Начальное отделение: не задано «%1»%2").arg(QLatin1String(member), in));
    const data::FieldDef* def = data::workstationSchema().table(QLatin1String(table))->field(QLatin1String(field));
    if (def->size > 0 && text.size() > def->size)
        throw Error(QStringLiteral("Начальное отделение: «%1» длиннее поля %2.%3 (%4 знаков)")
                        .arg(text, QLatin1String(table), QLatin1String(field))
                        .arg(def->size));
    return text;
}

QString uniqueKey(const QJsonObject& object, QSet<QString>& seen)
{
    const QString key = object.value(QStringLiteral("key")).toString();
    static const QRegularExpression word(QStringLiteral("^\\w+$"));
    if (!word.match(key).hasMatch())
        throw Error(QStringLiteral("Начальное отделение: ключ «%1» — не слово").arg(key));
    if (seen.contains(key))
        throw Error(QStringLiteral("Начальное отделение: ключ «%1» повторяется").arg(key));
    seen.insert(key);
    return key;
}

qint64 insertRow(SqliteConnection& db, const QString& sql, std::initializer_list<QVariant> values)
{
    data::SqliteStatement st = db.prepare(sql);
    int index = 0;
    for (const QVariant& v : values)
        st.bind(++index, v);
    st.step();
    return db.lastInsertRowId();
}

// ---- The drug reference --------------------------------------------------

struct StarterDrug {
    QString name, latin, notes;
    QVariant perDay, mgPerKgPerDay; // empty when the reference gives none
};

struct StarterDrugGroup {
    QString name;
    std::vector<StarterDrug> drugs;
};

struct StarterMacrogroup {
    QString name;
    std::vector<StarterDrugGroup> groups;
};

// The members an object of the reference may have: a misspelt one would
// otherwise be dropped without a word.
void requireMembers(const QJsonObject& object, std::initializer_list<const char*> known, const QString& where)
{
    for (const QString& member : object.keys()) {
        bool found = false;
        for (const char* k : known)
            found = found || member == QLatin1String(k);
        if (!found)
            throw Error(QStringLiteral("Начальное отделение: неизвестное поле «%1» (%2)").arg(member, where));
    }
}

QJsonArray arrayMember(const QJsonObject& object, const char* member, const QString& where)
{
    const QJsonValue v = object.value(QLatin1String(member));
    if (!v.isArray())
        throw Error(QStringLiteral("Начальное отделение: «%1» должно быть списком (%2)").arg(QLatin1String(member), where));
    return v.toArray();
}

QJsonObject objectOf(const QJsonValue& v, const QString& where)
{
    if (!v.isObject())
        throw Error(QStringLiteral("Начальное отделение: ожидалась запись (%1)").arg(where));
    return v.toObject();
}

// An optional whole number from 1 for an Integer field; empty when absent.
QVariant positiveNumber(const QJsonObject& object, const char* member, const QString& where)
{
    const QJsonValue v = object.value(QLatin1String(member));
    if (v.isUndefined())
        return {};
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d < 1 || d > 1e6 || d != static_cast<double>(static_cast<qint64>(d)))
        throw Error(QStringLiteral("Начальное отделение: «%1» — не целое положительное число (%2)")
                        .arg(QLatin1String(member), where));
    return static_cast<int>(d);
}

void requireNew(QSet<QString>& seen, const QString& name, const QString& kind)
{
    if (seen.contains(name))
        throw Error(QStringLiteral("Начальное отделение: %1 «%2» повторяется").arg(kind, name));
    seen.insert(name);
}

std::vector<StarterMacrogroup> readDrugReference(const QJsonObject& reference)
{
    requireMembers(reference, {"macrogroups"}, QStringLiteral("справочник лекарств"));
    std::vector<StarterMacrogroup> out;
    QSet<QString> macrogroupNames, groupNames, drugNames;
    for (const QJsonValue& mv : arrayMember(reference, "macrogroups", QStringLiteral("справочник лекарств"))) {
        const QJsonObject m = objectOf(mv, QStringLiteral("макрогруппа"));
        StarterMacrogroup macrogroup;
        macrogroup.name = fieldText(m, "name", "TreatType", "TrTname", QStringLiteral("макрогруппа"));
        const QString inMacrogroup = QStringLiteral("макрогруппа «%1»").arg(macrogroup.name);
        requireMembers(m, {"name", "groups"}, inMacrogroup);
        requireNew(macrogroupNames, macrogroup.name, QStringLiteral("макрогруппа"));
        for (const QJsonValue& gv : arrayMember(m, "groups", inMacrogroup)) {
            const QJsonObject g = objectOf(gv, inMacrogroup);
            StarterDrugGroup group;
            group.name = fieldText(g, "name", "TreatType", "TrTname", inMacrogroup);
            const QString inGroup = QStringLiteral("группа «%1»").arg(group.name);
            requireMembers(g, {"name", "drugs"}, inGroup);
            requireNew(groupNames, group.name, QStringLiteral("группа"));
            for (const QJsonValue& dv : arrayMember(g, "drugs", inGroup)) {
                const QJsonObject d = objectOf(dv, inGroup);
                StarterDrug drug;
                drug.name = fieldText(d, "name", "Treat", "Tname_r", inGroup);
                const QString inDrug = QStringLiteral("препарат «%1»").arg(drug.name);
                requireMembers(d, {"name", "latin", "notes", "perDay", "mgPerKgPerDay"}, inDrug);
                requireNew(drugNames, drug.name, QStringLiteral("препарат"));
                drug.latin = fieldText(d, "latin", "Treat", "Tname_l", inDrug);
                drug.notes = fieldText(d, "notes", "Treat", "Tprim", inDrug);
                drug.perDay = positiveNumber(d, "perDay", inDrug);
                drug.mgPerKgPerDay = positiveNumber(d, "mgPerKgPerDay", inDrug);
                group.drugs.push_back(std::move(drug));
            }
            macrogroup.groups.push_back(std::move(group));
        }
        out.push_back(std::move(macrogroup));
    }
    return out;
}

// ---- The boilerplates ----------------------------------------------------

struct StarterBoilerplate {
    QString name;
    int kind = 0;
    int sex = 0; // Fmale: 1 male, 2 female, 3 either
    int minAge = 0, maxAge = 0;
    QByteArray document;
    QString text;
};

struct NamedNumber {
    const char* word;
    int number;
    const char* caption; // for messages
};

// FType of the kinds a starter boilerplate may serve.
constexpr NamedNumber kKinds[] = {
    {"anamnesis", 1, "анамнез"},
    {"neuroStatus", 2, "неврологический статус"},
    {"somaticStatus", 3, "соматический статус"},
    {"recommendations", 4, "рекомендации"},
};
// Fmale: 3 is "не важно".
constexpr NamedNumber kSexes[] = {
    {"male", 1, "мужчин"},
    {"female", 2, "женщин"},
    {"either", 3, "мужчин и женщин"},
};

const NamedNumber& namedNumber(const QJsonObject& object, const char* member, std::span<const NamedNumber> known,
                               const QString& where)
{
    const QString word = object.value(QLatin1String(member)).toString();
    for (const NamedNumber& n : known)
        if (word == QLatin1String(n.word))
            return n;
    throw Error(QStringLiteral("Начальное отделение: неизвестное значение «%2» поля «%1» (%3)")
                    .arg(QLatin1String(member), word, where));
}

const char* captionOf(std::span<const NamedNumber> known, int number)
{
    for (const NamedNumber& n : known)
        if (n.number == number)
            return n.caption;
    return "";
}

// A bound of an age range: a whole number of years from 0 to 150.
int ageBound(const QJsonObject& object, const char* member, const QString& where)
{
    const QJsonValue v = object.value(QLatin1String(member));
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d < 0 || d > 150 || d != static_cast<double>(static_cast<int>(d)))
        throw Error(QStringLiteral("Начальное отделение: «%1» — не возраст в полных годах (%2)")
                        .arg(QLatin1String(member), where));
    return static_cast<int>(d);
}

bool sexesMeet(int a, int b) { return a == b || a == 3 || b == 3; }

bool fits(const StarterBoilerplate& b, int kind, int age, int sex)
{
    return b.kind == kind && b.minAge <= age && age <= b.maxAge && sexesMeet(b.sex, sex);
}

StarterBoilerplate readBoilerplate(const QJsonValue& value)
{
    const QJsonObject o = objectOf(value, QStringLiteral("рыба"));
    StarterBoilerplate b;
    b.name = fieldText(o, "name", "Fish", "Fname", QStringLiteral("рыба"));
    const QString where = QStringLiteral("рыба «%1»").arg(b.name);
    requireMembers(o, {"name", "kind", "sex", "minAge", "maxAge", "source"}, where);
    b.kind = namedNumber(o, "kind", kKinds, where).number;
    b.sex = namedNumber(o, "sex", kSexes, where).number;
    b.minAge = ageBound(o, "minAge", where);
    b.maxAge = ageBound(o, "maxAge", where);
    if (b.maxAge < b.minAge)
        throw Error(QStringLiteral("Начальное отделение: возраст «от» больше возраста «до» (%1)").arg(where));
    // No keys are known to a boilerplate: a placeholder in its page is an error.
    const QString source = o.value(QStringLiteral("source")).toString();
    if (source.isEmpty())
        throw Error(QStringLiteral("Начальное отделение: не задано «source» (%1)").arg(where));
    b.document = templateDocumentBlob(expandTemplateSource(resourceText(source), StarterKeys()));
    b.text = documentPlainText(b.document);
    if (b.text.trimmed().isEmpty())
        throw Error(QStringLiteral("Начальное отделение: пустая страница (%1)").arg(where));
    // The text goes into the patient's card and from there into documents
    // whose markers are read: it must hold none.
    if (b.text.contains(QStringLiteral("<!")))
        throw Error(QStringLiteral("Начальное отделение: в тексте рыбы не может быть метки «<!» (%1)").arg(where));
    return b;
}

// The first fitting boilerplate is the one a patient's text is filled with:
// two that fit one patient leave the choice to the order of the rows.
void requireOneFitEach(const std::vector<StarterBoilerplate>& set)
{
    for (std::size_t i = 0; i < set.size(); ++i)
        for (std::size_t j = i + 1; j < set.size(); ++j) {
            const StarterBoilerplate& a = set[i];
            const StarterBoilerplate& b = set[j];
            if (a.kind == b.kind && sexesMeet(a.sex, b.sex) && a.minAge <= b.maxAge && b.minAge <= a.maxAge)
                throw Error(QStringLiteral("Начальное отделение: рыбы «%1» и «%2» подходят одному пациенту")
                                .arg(a.name, b.name));
        }
    for (const int kind : {1, 2, 3})
        for (const int sex : {1, 2})
            for (int age = kAdultAgeFrom; age <= kAdultAgeTo; ++age)
                if (std::none_of(set.begin(), set.end(),
                                 [&](const StarterBoilerplate& b) { return fits(b, kind, age, sex); }))
                    throw Error(QStringLiteral("Начальное отделение: нет рыбы «%1» для %2 %3 лет")
                                    .arg(QString::fromUtf8(captionOf(kKinds, kind)),
                                         QString::fromUtf8(captionOf(kSexes, sex)))
                                    .arg(age));
}

} // namespace

QString expandTemplateSource(const QString& source, const StarterKeys& keys)
{
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{(fld|grp|trt|shabl)_(\\w+)\\}\\}"));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    QString html = source;
    html.remove(comment);
    QString out;
    qsizetype done = 0;
    for (auto it = placeholder.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString kind = m.captured(1);
        const QString name = m.captured(2);
        qint64 number = 0;
        if (digits.match(name).hasMatch()) {
            number = name.toLongLong();
        } else {
            const auto key = keys.constFind(kind + u'_' + name);
            if (key == keys.constEnd())
                throw Error(QStringLiteral("Начальное отделение: подстановка «%1» не знает ключа «%2»")
                                .arg(m.captured(0), name));
            number = *key;
        }
        out += QStringView(html).mid(done, m.capturedStart() - done);
        out += QStringLiteral("&lt;!%1_%2&gt;").arg(kind).arg(number);
        done = m.capturedEnd();
    }
    out += QStringView(html).mid(done);
    const qsizetype stray = out.indexOf(QStringLiteral("{{"));
    if (stray >= 0)
        throw Error(QStringLiteral("Начальное отделение: непонятная подстановка «%1»").arg(out.mid(stray, 24)));
    return out;
}

void requireDocumentWriter()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error(QStringLiteral("Шаблоны начального отделения пишутся только в программе с QGuiApplication"));
}

QByteArray templateDocumentBlob(const QString& html)
{
    requireDocumentWriter();
    word::Document document;
    document.text().setDefaultStyleSheet(resourceText(QStringLiteral("style.css")));
    // The pages keep one element a line; Qt's reader would end a paragraph
    // followed by a line break and an empty line, or by the page's end, with
    // a blank. Line breaks between tags are layout of the source only.
    static const QRegularExpression betweenTags(QStringLiteral(">\\s*\n\\s*<"));
    document.text().setHtml(QString(html).replace(betweenTags, QStringLiteral("><")).trimmed());
    return word::blobFromDocument(document);
}

DrugReferenceCount addDrugReference(SqliteConnection& db, const QJsonObject& reference)
{
    const std::vector<StarterMacrogroup> macrogroups = readDrugReference(reference);
    DrugReferenceCount count;
    const QString addType = QStringLiteral("INSERT INTO \"TreatType\" (\"TrTname\", \"TrTself\") VALUES (?, ?)");
    for (const StarterMacrogroup& m : macrogroups) {
        const qint64 macrogroupKey = insertRow(db, addType, {m.name, 0});
        ++count.macrogroups;
        for (const StarterDrugGroup& g : m.groups) {
            const qint64 groupKey = insertRow(db, addType, {g.name, macrogroupKey});
            ++count.groups;
            for (const StarterDrug& d : g.drugs) {
                // Tprice stays empty: prices are the department's own.
                insertRow(db,
                          QStringLiteral("INSERT INTO \"Treat\" (\"TrType\", \"Tname_r\", \"Tname_l\", "
                                         "\"Tdose\", \"Tkratn\", \"Tprim\") VALUES (?, ?, ?, ?, ?, ?)"),
                          {groupKey, d.name, d.latin, d.mgPerKgPerDay, d.perDay, d.notes});
                ++count.drugs;
            }
        }
    }
    return count;
}

QString documentPlainText(const QByteArray& blob)
{
    word::Document document = word::documentFromBlob(blob);
    QTextCursor all(&document.text());
    all.setPosition(word::lastPosition(document.text()), QTextCursor::KeepAnchor);
    return word::wordText(all);
}

int addBoilerplates(SqliteConnection& db, qint64 department, const QJsonArray& boilerplates)
{
    std::vector<StarterBoilerplate> set;
    QSet<QString> names;
    for (const QJsonValue& v : boilerplates) {
        set.push_back(readBoilerplate(v));
        requireNew(names, set.back().name, QStringLiteral("рыба"));
    }
    requireOneFitEach(set);
    for (const StarterBoilerplate& b : set)
        insertRow(db,
                  QStringLiteral("INSERT INTO \"Fish\" (\"Fotd\", \"Fname\", \"FType\", \"Fres\", \"Fmin\", \"Fmax\", "
                                 "\"Fmem\", \"Fmale\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                  {department, b.name, b.kind, b.document, b.minAge, b.maxAge, b.text, b.sex});
    return static_cast<int>(set.size());
}

StarterSummary addStarterDepartment(SqliteConnection& db)
{
    requireDocumentWriter();
    const QJsonObject manifest = readJsonObject(QStringLiteral("department.json"));
    StarterSummary summary;
    summary.hospital = fieldText(manifest, "hospital", "Otdelen", "Oboln");
    summary.department = fieldText(manifest, "department", "Otdelen", "Ootd");
    const qint64 oid = insertRow(db, QStringLiteral("INSERT INTO \"Otdelen\" (\"Oboln\", \"Ootd\") VALUES (?, ?)"),
                                 {summary.hospital, summary.department});
    summary.departmentKey = oid;

    StarterKeys keys;
    QHash<QString, qint64> typeKeys;
    QSet<QString> seen;
    for (const QJsonValue& v : manifest.value(QStringLiteral("templateTypes")).toArray()) {
        const QJsonObject type = v.toObject();
        const QString key = uniqueKey(type, seen);
        const qint64 id = insertRow(
            db, QStringLiteral("INSERT INTO \"SHablonType\" (\"ShTName\", \"ShTotd\") VALUES (?, ?)"),
            {fieldText(type, "name", "SHablonType", "ShTName"), oid});
        typeKeys.insert(key, id);
        keys.insert(QStringLiteral("grp_") + key, id);
        ++summary.templateTypes;
    }

    for (const QJsonValue& v : manifest.value(QStringLiteral("documentTypes")).toArray()) {
        const QJsonObject type{{QStringLiteral("name"), v}};
        insertRow(db, QStringLiteral("INSERT INTO \"VipisType\" (\"VTName\", \"VTOtd\") VALUES (?, ?)"),
                  {fieldText(type, "name", "VipisType", "VTName"), oid});
        ++summary.documentTypes;
    }

    seen.clear();
    for (const QJsonValue& v : manifest.value(QStringLiteral("templates")).toArray()) {
        const QJsonObject t = v.toObject();
        const QString key = uniqueKey(t, seen);
        const QString name = fieldText(t, "name", "SHablon", "ShName");
        const QString typeKey = t.value(QStringLiteral("type")).toString();
        if (!typeKeys.contains(typeKey))
            throw Error(QStringLiteral("Начальное отделение: у шаблона «%1» неизвестный тип «%2»").arg(name, typeKey));
        const QString html = expandTemplateSource(resourceText(t.value(QStringLiteral("source")).toString()), keys);
        // Sh_def stays empty on every template but the default ones, as the windows store them.
        const QVariant isDefault = t.value(QStringLiteral("default")).toBool() ? QVariant(1) : QVariant();
        const qint64 id = insertRow(db,
                                    QStringLiteral("INSERT INTO \"SHablon\" (\"ShOtd\", \"ShType\", \"ShName\", "
                                                   "\"ShRes\", \"Sh_def\") VALUES (?, ?, ?, ?, ?)"),
                                    {oid, typeKeys.value(typeKey), name, templateDocumentBlob(html), isDefault});
        keys.insert(QStringLiteral("shabl_") + key, id);
        ++summary.templates;
    }

    const DrugReferenceCount drugs =
        addDrugReference(db, readJsonObject(manifest.value(QStringLiteral("drugReference")).toString()));
    summary.drugMacrogroups = drugs.macrogroups;
    summary.drugGroups = drugs.groups;
    summary.drugs = drugs.drugs;

    summary.boilerplates = addBoilerplates(db, oid, arrayMember(manifest, "boilerplates", QStringLiteral("department.json")));
    return summary;
}

} // namespace talvora::tools

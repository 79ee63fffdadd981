#include "starter_department.h"

#include "common/errors.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
#include "word/document.h"
#include "word/document_io.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QVariant>

#include <initializer_list>

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

QJsonObject readManifest()
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(resourceText(QStringLiteral("department.json")).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw Error(QStringLiteral("Начальное отделение: department.json не прочитан (%1)").arg(error.errorString()));
    return doc.object();
}

// A text of the manifest, checked against the width of the field it goes to:
// these rows bypass the engine, which would otherwise cut a long value.
QString fieldText(const QJsonObject& object, const char* member, const char* table, const char* field)
{
    const QJsonValue v = object.value(QLatin1String(member));
    const QString text = v.toString().trimmed();
    if (!v.isString() || text.isEmpty())
        throw Error(QStringLiteral("Начальное отделение: не задано «%1»").arg(QLatin1String(member)));
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

StarterSummary addStarterDepartment(SqliteConnection& db)
{
    requireDocumentWriter();
    const QJsonObject manifest = readManifest();
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
    return summary;
}

} // namespace talvora::tools

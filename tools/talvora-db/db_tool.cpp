#include "db_tool.h"

#include "common/errors.h"
#include "data/database.h"
#include "data/query_dataset.h"
#include "data/sqlite_db.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace talvora::tools {

using namespace talvora::data;

namespace {

struct Target {
    QString alias;
    const Schema* schema;
};

const Target kTargets[] = {
    {QString::fromLatin1(kWorkstationAlias), &workstationSchema()},
    {QString::fromLatin1(kErrorAlias), &errorSchema()},
};

QString cell(const ConstField& f)
{
    if (f.isNull())
        return {};
    switch (f.type()) {
    case FieldType::Date:
        return f.asDate().toString(QStringLiteral("dd.MM.yyyy"));
    case FieldType::DateTime:
        return f.asDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    case FieldType::FmtMemo:
    case FieldType::Blob:
        return QString::number(f.asBytes().size());
    default:
        break;
    }
    if (f.value().typeId() == QMetaType::QByteArray)
        return QString::number(f.asBytes().size());
    QString s = f.asString();
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'\t', QStringLiteral("\\t"));
    s.replace(u'\n', QStringLiteral("\\n"));
    s.replace(u'\r', QStringLiteral("\\r"));
    return s;
}

const Schema& schemaFor(const QString& alias)
{
    for (const Target& t : kTargets)
        if (t.alias.compare(alias, Qt::CaseInsensitive) == 0)
            return *t.schema;
    throw Error(QStringLiteral("Неизвестный псевдоним «%1» (ожидается pacientdata или Errors)").arg(alias));
}

// Removes a file on the way out unless released.
class TemporaryFile {
public:
    explicit TemporaryFile(QString path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.isEmpty())
            QFile::remove(path_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void release() { path_.clear(); }

private:
    QString path_;
};

QVariant paramValue(const QString& text)
{
    bool ok = false;
    const int i = text.toInt(&ok);
    if (ok)
        return i;
    return text;
}

} // namespace

InitReport initDatabases(const AliasResolver& aliases, bool skipExisting, InitContent content)
{
    // Everything that refuses comes before the first file is made.
    std::vector<const Target*> missing;
    for (const Target& t : kTargets) {
        const QString file = aliases.databaseFile(t.alias);
        if (!QFileInfo::exists(file))
            missing.push_back(&t);
        else if (!skipExisting)
            throw Error(QStringLiteral("База данных «%1» уже существует (%2); она не изменена.").arg(t.alias, file));
    }
    const auto starterFor = [&](const Target& t) {
        return content == InitContent::StarterDepartment && t.schema == &workstationSchema();
    };
    for (const Target* t : missing)
        if (starterFor(*t))
            requireDocumentWriter();

    InitReport report;
    for (const Target* target : missing) {
        const Target& t = *target;
        const QString file = aliases.databaseFile(t.alias);
        if (!QDir().mkpath(aliases.directory(t.alias)))
            throw Error(QStringLiteral("Не удалось создать каталог %1").arg(aliases.directory(t.alias)));
        // Build under a temporary name so that a failure leaves no half-made database.
        const QString temp = file + QStringLiteral(".new");
        QFile::remove(temp);
        TemporaryFile guard(temp);
        std::optional<StarterSummary> starter;
        {
            SqliteConnection conn(temp, true);
            SqliteTransaction tx(conn);
            for (const QString& sql : t.schema->createStatements())
                conn.exec(sql);
            if (starterFor(t))
                starter = addStarterDepartment(conn);
            tx.commit();
        }
        if (!QFile::rename(temp, file))
            throw Error(QStringLiteral("Не удалось создать файл %1").arg(file));
        guard.release();
        report.created << file;
        if (starter)
            report.starter = std::move(starter);
    }
    return report;
}

void runStatement(const AliasResolver& aliases, const QString& alias, const QString& statement,
                  const Params& params, QTextStream& out)
{
    const Schema& schema = schemaFor(alias);
    Database db(QStringLiteral("tool"), alias, QStringLiteral("TOOL"), schema, aliases);
    db.open();
    const TranslatedStatement t = db.translate(statement);
    if (t.kind != StatementKind::Select) {
        out << db.execute(statement, params) << '\n';
        return;
    }
    QueryDataset q(QStringLiteral("query"), db);
    q.setSqlText(statement);
    for (const auto& [name, value] : params.items())
        if (q.hasParam(name))
            q.setParam(name, value);
    q.open();
    out << q.fieldNames().join(u'\t') << '\n';
    for (int r = 0; r < q.recordCount(); ++r) {
        q.moveTo(r);
        QStringList cells;
        for (int f = 0; f < q.fieldCount(); ++f)
            cells << cell(q.fieldAt(f));
        out << cells.join(u'\t') << '\n';
    }
}

int runCommandLine(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const QString usage = QStringLiteral(
        "Использование:\n"
        "  talvora-db init [--alias ИМЯ=КАТАЛОГ ...] [--if-missing] [--empty]\n"
        "  talvora-db assemble --patient PID --template SHID --out ФАЙЛ.doc [--blob] [--alias ИМЯ=КАТАЛОГ ...]\n"
        "  talvora-db sql [--alias pacientdata|Errors] [--alias ИМЯ=КАТАЛОГ ...] [--param ИМЯ=ЗНАЧЕНИЕ ...] 'ОПЕРАТОР'\n"
        "  talvora-db demo [--patients N] [--years ЛЕТ] [--seed ЧИСЛО] [--assembled N] [--alias ИМЯ=КАТАЛОГ ...]\n"
        "  talvora-db export --department OID --folder КАТАЛОГ [--alias ИМЯ=КАТАЛОГ ...]\n"
        "  talvora-db backup ФАЙЛ.7z [--alias pacientdata=КАТАЛОГ]\n"
        "  talvora-db restore ФАЙЛ.7z [--alias pacientdata=КАТАЛОГ]\n");
    try {
        if (args.isEmpty()) {
            err << usage;
            return 1;
        }
        const QString command = args.first();
        AliasResolver aliases;
        QString alias = QString::fromLatin1(kWorkstationAlias);
        Params params;
        QStringList rest;
        bool ifMissing = false;
        bool empty = false;
        for (int i = 1; i < args.size(); ++i) {
            const QString& a = args[i];
            if (a == u"--alias" || a == u"--param") {
                if (i + 1 >= args.size())
                    throw Error(QStringLiteral("После %1 нужно значение").arg(a));
                const QString v = args[++i];
                const int eq = v.indexOf(u'=');
                if (a == u"--alias") {
                    if (eq > 0)
                        aliases.setDirectory(v.left(eq), v.mid(eq + 1));
                    else
                        alias = v;
                } else {
                    if (eq <= 0)
                        throw Error(QStringLiteral("Параметр задаётся как ИМЯ=ЗНАЧЕНИЕ: %1").arg(v));
                    params.set(v.left(eq), paramValue(v.mid(eq + 1)));
                }
            } else if (a == u"--if-missing") {
                ifMissing = true;
            } else if (a == u"--empty") {
                empty = true;
            } else {
                rest << a;
            }
        }
        if (command == u"init") {
            const InitReport report = initDatabases(
                aliases, ifMissing, empty ? InitContent::Empty : InitContent::StarterDepartment);
            for (const QString& f : report.created)
                out << QStringLiteral("Создана база данных: %1\n").arg(f);
            if (const auto& s = report.starter)
                out << QStringLiteral("Начальное отделение: %1, %2 (типов шаблонов: %3, типов документов: %4, шаблонов: %5, "
                                      "рыб: %6; справочник лекарств: макрогрупп %7, групп %8, препаратов %9)\n")
                           .arg(s->hospital, s->department)
                           .arg(s->templateTypes)
                           .arg(s->documentTypes)
                           .arg(s->templates)
                           .arg(s->boilerplates)
                           .arg(s->drugMacrogroups)
                           .arg(s->drugGroups)
                           .arg(s->drugs);
            return 0;
        }
        if (command == u"sql") {
            if (rest.size() != 1) {
                err << usage;
                return 1;
            }
            runStatement(aliases, alias, rest.first(), params, out);
            return 0;
        }
        err << usage;
        return 1;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }
}

} // namespace talvora::tools

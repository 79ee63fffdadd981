#include "export_command.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "service/document_export.h"

namespace talvora::tools {

namespace {

struct Options {
    data::AliasResolver aliases;
    qlonglong department = 0;
    QString folder;
};

Options parse(const QStringList& args)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (i + 1 >= args.size())
            throw Error(QStringLiteral("После %1 нет значения").arg(a));
        const QString v = args[++i];
        if (a == u"--department") {
            bool ok = false;
            o.department = v.toLongLong(&ok);
            if (!ok || o.department <= 0)
                throw Error(QStringLiteral("%1: ожидается ключ отделения (целое число больше 0), а не «%2»").arg(a, v));
        } else if (a == u"--folder") {
            o.folder = v;
        } else if (a == u"--alias" && v.indexOf(u'=') > 0) {
            o.aliases.setDirectory(v.left(v.indexOf(u'=')), v.mid(v.indexOf(u'=') + 1));
        } else {
            throw Error(QStringLiteral("Неизвестный параметр «%1»").arg(a));
        }
    }
    if (o.department == 0 || o.folder.isEmpty())
        throw Error(QStringLiteral("Нужны --department OID и --folder КАТАЛОГ"));
    return o;
}

} // namespace

int runExportCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        const Options o = parse(args);
        data::TDM dm(o.aliases);
        service::DocumentExport exporter(dm);
        const service::ExportResult result = exporter.ExportDepartment(o.department, o.folder);
        out << service::ExportSummary(result) << Qt::endl;
        return result.failed.isEmpty() ? 0 : 2;
    } catch (const Error& e) {
        err << e.message() << Qt::endl;
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << Qt::endl;
    }
    return 1;
}

} // namespace talvora::tools

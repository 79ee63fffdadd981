#include "assemble_command.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "templates/document_assembly.h"
#include "ui/dialog_service.h"
#include "word/document_io.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QFile>

namespace talvora::tools {

namespace {

// No one to ask: notices go to the error stream, questions answer No.
class ConsoleDialogs : public DialogService {
public:
    explicit ConsoleDialogs(QTextStream& err) : err_(err) {}
    bool confirm(const QString&, const QString&) override { return false; }
    bool confirmOrCancel(const QString&, const QString&) override { return false; }
    void notice(const QString& text, const QString&) override { err_ << text << Qt::endl; }
    void error(const QString& text, const QString&) override { err_ << text << Qt::endl; }
    QString input(const QString&, const QString&, const QString& defaultText) override { return defaultText; }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }

private:
    QTextStream& err_;
};

struct Options {
    data::AliasResolver aliases;
    int patient = 0;
    int templateKey = 0;
    QString out;
    bool blob = false;
};

Options parse(const QStringList& args)
{
    Options o;
    auto number = [](const QString& flag, const QString& v) {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n <= 0)
            throw Error(QStringLiteral("%1: ожидается ключ (целое число больше 0), а не «%2»").arg(flag, v));
        return n;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--blob") {
            o.blob = true;
            continue;
        }
        if (i + 1 >= args.size())
            throw Error(QStringLiteral("После %1 нет значения").arg(a));
        const QString v = args[++i];
        if (a == u"--patient")
            o.patient = number(a, v);
        else if (a == u"--template")
            o.templateKey = number(a, v);
        else if (a == u"--out")
            o.out = v;
        else if (a == u"--alias" && v.contains(u'='))
            o.aliases.setDirectory(v.left(v.indexOf(u'=')), v.mid(v.indexOf(u'=') + 1));
        else
            throw Error(QStringLiteral("Неизвестный параметр «%1»").arg(a));
    }
    if (o.patient == 0 || o.templateKey == 0 || o.out.isEmpty())
        throw Error(QStringLiteral("Нужны --patient PID, --template SHID и --out ФАЙЛ"));
    return o;
}

void assemble(const Options& o, QTextStream& out)
{
    data::TDM dm(o.aliases);
    if (!dm.Pac_q->active())
        dm.Pac_q->open();
    if (!dm.Pac_q->locate(QStringLiteral("pID"), o.patient))
        throw Error(QStringLiteral("Нет пациента с ключом %1").arg(o.patient));
    const QVariant department = dm.Pac_q->field(QStringLiteral("Potd")).value();
    if (!dm.Otd->locate(QStringLiteral("OID"), department))
        throw Error(QStringLiteral("Отделения пациента (%1) нет в базе").arg(department.toString()));
    dm.Sh->open();
    if (!dm.Sh->locate(QStringLiteral("ShId"), o.templateKey))
        throw Error(QStringLiteral("Нет шаблона с ключом %1").arg(o.templateKey));

    word::DocumentView target, aux;
    word::MarkerTextBox box;
    target.loadFromBlob(dm.Sh->field(QStringLiteral("ShRes")).asBytes());
    templates::DocumentAssembly(dm).AssembleDocument(target, aux, box, {});
    const QByteArray blob = target.saveToBlob();
    const QByteArray bytes = o.blob ? blob : word::docBytesOf(blob);
    QFile file(o.out);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw Error(QStringLiteral("Не удалось записать %1: %2").arg(o.out, file.errorString()));
    out << QStringLiteral("Собран документ: %1 (%2 байт)").arg(o.out).arg(bytes.size()) << Qt::endl;
}

} // namespace

int runAssembleCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    ConsoleDialogs console(err);
    DialogService* before = setDialogs(&console);
    int rc = 0;
    try {
        assemble(parse(args), out);
    } catch (const Error& e) {
        err << e.message() << Qt::endl;
        rc = 1;
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << Qt::endl;
        rc = 1;
    }
    setDialogs(before);
    return rc;
}

} // namespace talvora::tools

#include "assemble_command.h"
#include "backup_command.h"
#include "db_tool.h"
#include "demo_command.h"
#include "export_command.h"

#include <QApplication>

#include <cstdio>

namespace {

// Qt's own notices (a missing runtime directory and the like) are not the
// tool's output; only errors reach stderr.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    // The starter templates are written, and documents assembled, with Qt's
    // GUI classes; they need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    int rc = 0;
    if (!args.isEmpty() && args.first() == u"assemble")
        rc = talvora::tools::runAssembleCommand(args.mid(1), out, err);
    else if (!args.isEmpty() && (args.first() == u"backup" || args.first() == u"restore"))
        rc = talvora::tools::runBackupCommand(args, out, err);
    else if (!args.isEmpty() && args.first() == u"demo")
        rc = talvora::tools::runDemoCommand(args.mid(1), out, err);
    else if (!args.isEmpty() && args.first() == u"export")
        rc = talvora::tools::runExportCommand(args.mid(1), out, err);
    else
        rc = talvora::tools::runCommandLine(args, out, err);
    out.flush();
    err.flush();
    return rc;
}

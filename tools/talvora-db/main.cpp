#include "db_tool.h"

#include <QGuiApplication>

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
    // The starter templates are written with Qt's GUI classes (fonts, the HTML
    // reader); they need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int rc = talvora::tools::runCommandLine(args, out, err);
    out.flush();
    err.flush();
    return rc;
}

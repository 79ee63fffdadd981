#include "db_tool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int rc = talvora::tools::runCommandLine(args, out, err);
    out.flush();
    err.flush();
    return rc;
}

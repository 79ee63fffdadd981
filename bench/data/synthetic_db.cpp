#include "synthetic_db.h"

#include "db_tool.h"
#include "demo_command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace talvora::bench {

data::AliasResolver syntheticDatabase(const QString& directory, const SyntheticSize& size)
{
    data::AliasResolver aliases;
    aliases.setDirectory(QStringLiteral("pacientdata"), directory + QStringLiteral("/pacientdata"));
    aliases.setDirectory(QStringLiteral("Errors"), directory + QStringLiteral("/errors"));
    const QString marker = directory + QStringLiteral("/complete");
    if (QFileInfo::exists(marker))
        return aliases;
    QDir(directory).removeRecursively();
    QDir().mkpath(directory);
    std::fprintf(stderr, "Making the benchmark database in %s (some minutes, once)\n", qPrintable(directory));
    tools::initDatabases(aliases, false, tools::InitContent::StarterDepartment);
    tools::DemoOptions demo;
    demo.patients = size.patients;
    demo.years = size.years;
    demo.today = size.today;
    tools::addDemoPatients(aliases, demo);
    QFile f(marker);
    f.open(QIODevice::WriteOnly);
    return aliases;
}

const data::AliasResolver& benchDatabase()
{
    static const data::AliasResolver aliases = [] {
        const QByteArray dir = qgetenv("TALVORA_BENCH_DIR");
        return syntheticDatabase(dir.isEmpty() ? QStringLiteral("/tmp/talvora-bench") : QString::fromLocal8Bit(dir));
    }();
    return aliases;
}

} // namespace talvora::bench

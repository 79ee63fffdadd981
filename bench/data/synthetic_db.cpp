#include "synthetic_db.h"

#include "db_tool.h"
#include "demo_command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace talvora::bench {

namespace {
// Raised when the demo data changes in a way that matters to the figures,
// so that benchmark databases made before are made again.
constexpr int kGeneration = 2;
} // namespace

data::AliasResolver syntheticDatabase(const QString& directory, const SyntheticSize& size)
{
    data::AliasResolver aliases;
    aliases.setDirectory(QStringLiteral("pacientdata"), directory + QStringLiteral("/pacientdata"));
    aliases.setDirectory(QStringLiteral("Errors"), directory + QStringLiteral("/errors"));
    // The marker names what made the database, so that one made by an older
    // generator, or of another size, is made again instead of measured.
    const QString marker = directory + QStringLiteral("/complete");
    const QByteArray made = QStringLiteral("talvora-db demo --patients %1 --years %2 --today %3 (generation %4)\n")
                                .arg(size.patients)
                                .arg(size.years)
                                .arg(size.today.toString(Qt::ISODate))
                                .arg(kGeneration)
                                .toUtf8();
    {
        QFile existing(marker);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == made)
            return aliases;
    }
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
    if (!f.open(QIODevice::WriteOnly) || f.write(made) != made.size())
        std::fprintf(stderr, "Could not write %s: the database will be made again next time\n", qPrintable(marker));
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

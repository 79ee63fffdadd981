#include "backup_command.h"

#include "common/errors.h"
#include "data/aliases.h"
#include "service/archiver.h"
#include "service/database_backup.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>

namespace talvora::tools {

namespace {

const QString kUsage = QStringLiteral(
    "Использование:\n"
    "  talvora-db backup ФАЙЛ.7z [--alias pacientdata=КАТАЛОГ]   копия базы рабочего места (программа может работать)\n"
    "  talvora-db restore ФАЙЛ.7z [--alias pacientdata=КАТАЛОГ]  восстановление из архива (закройте программу);\n"
    "                                                            прежняя база остаётся в каталоге рядом\n");

} // namespace

int runBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        data::AliasResolver aliases;
        QStringList files;
        for (int i = 1; i < args.size(); ++i) {
            if (args[i] == u"--alias") {
                const QString v = i + 1 < args.size() ? args[++i] : QString();
                const qsizetype eq = v.indexOf(u'=');
                if (eq <= 0)
                    throw Error(QStringLiteral("Псевдоним задаётся как ИМЯ=КАТАЛОГ: %1").arg(v));
                aliases.setDirectory(v.left(eq), v.mid(eq + 1));
            } else {
                files << args[i];
            }
        }
        if (args.isEmpty() || files.size() != 1) {
            err << kUsage;
            return 1;
        }
        const QString archive = QFileInfo(files.first()).absoluteFilePath();
        const QString directory = aliases.directory(QString::fromLatin1(data::kWorkstationAlias));
        const QString program = service::archiverProgram();
        if (args.first() == u"backup") {
            QElapsedTimer timer;
            timer.start();
            const qint64 size = service::backupDatabase(program, directory, archive);
            out << QStringLiteral("Архив базы данных %1: %2 (%3 байт, %4 с)\n")
                       .arg(directory, archive, QLocale::c().toString(size))
                       .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1);
            return 0;
        }
        if (args.first() == u"restore") {
            service::CheckArchiver(program);
            const service::ExtractedDatabase restored = service::extractDatabase(program, archive, directory);
            const QString safety = service::replaceDatabase(restored.directory, directory);
            out << QStringLiteral("База данных %1 восстановлена из архива %2\n").arg(directory, archive);
            if (!safety.isEmpty())
                out << QStringLiteral("Прежняя база данных сохранена в %1\n").arg(safety);
            return 0;
        }
        err << kUsage;
        return 1;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    }
}

} // namespace talvora::tools

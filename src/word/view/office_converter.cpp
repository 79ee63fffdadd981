#include "word/view/office_converter.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace talvora::word {

namespace {

// What LibreOffice said last, short enough for a message box.
QString lastWords(QByteArray output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    QString last = lines.isEmpty() ? QString() : QString::fromLocal8Bit(lines.last()).trimmed();
    if (last.size() > 200)
        last = last.left(200) + QStringLiteral("…");
    return last;
}

// Stops the process and everything it started: it leads a process group of
// its own (LibreOffice's launcher leaves the office itself running as its
// child, and a script leaves its commands).
void stopGroup(QProcess& process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.waitForFinished(5000);
}

} // namespace

OfficeConverter::OfficeConverter(QString program, std::chrono::milliseconds timeLimit)
    : program_(std::move(program)), timeLimit_(timeLimit)
{
}

QString OfficeConverter::program() const
{
    if (!program_.isEmpty()) {
        const QFileInfo info(program_);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    for (const QString& name : {QStringLiteral("soffice"), QStringLiteral("libreoffice")}) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QByteArray OfficeConverter::convertToDoc(const QString& path) const
{
    const QString name = QFileInfo(path).fileName();
    const QString soffice = program();
    if (soffice.isEmpty())
        throw Error(QStringLiteral("Файл «%1» нельзя вставить: документы .docx, .odt и .rtf вставляются через "
                                   "LibreOffice, а LibreOffice не установлен. Установите LibreOffice Writer "
                                   "или сохраните документ в формате Word 97–2003 (.doc).")
                        .arg(name));

    const QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("talvora-convert-XXXXXX")));
    if (!dir.isValid())
        throw Error(QStringLiteral("Не удалось создать временную папку для преобразования файла «%1»: %2")
                        .arg(name, dir.errorString()));
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString input =
        dir.filePath(suffix.isEmpty() ? QStringLiteral("source") : QStringLiteral("source.") + suffix);
    if (!QFile::copy(path, input))
        throw Error(QStringLiteral("Не удалось прочитать файл «%1»").arg(path));
    const QString outDir = dir.filePath(QStringLiteral("out"));

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.setWorkingDirectory(dir.path());
    process.start(soffice, {QStringLiteral("-env:UserInstallation=")
                                + QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                            QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                            QStringLiteral("--nolockcheck"), QStringLiteral("--convert-to"),
                            QStringLiteral("doc:MS Word 97"), QStringLiteral("--outdir"), outDir, input});
    if (!process.waitForStarted(10000)) {
        const QString why = process.errorString();
        stopGroup(process);
        throw Error(QStringLiteral("Не удалось запустить LibreOffice (%1): %2").arg(soffice, why));
    }
    if (!process.waitForFinished(int(timeLimit_.count()))) {
        stopGroup(process);
        throw Error(QStringLiteral("LibreOffice не преобразовал файл «%1» за %2 с; файл не вставлен.")
                        .arg(name)
                        .arg((timeLimit_.count() + 999) / 1000));
    }
    // Whatever the office left running goes with the folder.
    stopGroup(process);

    QFile out(QDir(outDir).filePath(QFileInfo(input).completeBaseName() + QStringLiteral(".doc")));
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !out.open(QIODevice::ReadOnly)) {
        const QString said = lastWords(process.readAll());
        throw Error(QStringLiteral("LibreOffice не смог преобразовать файл «%1»%2")
                        .arg(name, said.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + said));
    }
    return out.readAll();
}

} // namespace talvora::word

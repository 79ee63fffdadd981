#include "archiver.h"

#include "common/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifndef TALVORA_ARCHIVER
#define TALVORA_ARCHIVER "/usr/bin/7z"
#endif

namespace talvora::service {

namespace {

// The directories of a path, without empty parts; "/opt/prog/Data/" gives
// opt, prog, Data.
QStringList directories(const QString& path)
{
    return path.split(u'/', Qt::SkipEmptyParts);
}

// The directory part of a name: everything up to and including its last
// separator ("/opt/prog" gives "/opt/", "/opt/prog/" stays).
QString directoryPart(const QString& name)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    return slash < 0 ? QString() : name.left(slash + 1);
}

QString fileNamePart(const QString& name)
{
    return name.mid(name.lastIndexOf(u'/') + 1);
}

// The last lines the archiver wrote, to say why it failed.
QString tail(const QByteArray& output, int lines)
{
    QStringList all = QString::fromLocal8Bit(output).split(u'\n', Qt::SkipEmptyParts);
    for (QString& l : all)
        l = l.trimmed();
    all.removeAll(QString());
    if (all.size() > lines)
        all = all.mid(all.size() - lines);
    return all.join(u'\n');
}

QString exitMeaning(int code)
{
    switch (code) {
    case 1: return QStringLiteral("предупреждение: часть файлов не обработана");
    case 2: return QStringLiteral("неустранимая ошибка");
    case 7: return QStringLiteral("ошибка в командной строке");
    case 8: return QStringLiteral("недостаточно памяти");
    case 255: return QStringLiteral("работа прервана");
    default: return QStringLiteral("код завершения %1").arg(code);
    }
}

} // namespace

QString relativePath(const QString& baseName, const QString& targetDir)
{
    const QStringList base = directories(directoryPart(baseName));
    const QStringList target = directories(directoryPart(targetDir));
    qsizetype shared = 0;
    while (shared < base.size() && shared < target.size() && base[shared] == target[shared])
        ++shared;
    QString result;
    for (qsizetype i = shared; i < base.size(); ++i)
        result += QStringLiteral("../");
    for (qsizetype i = shared; i < target.size(); ++i)
        result += target[i] + u'/';
    return result + fileNamePart(targetDir);
}

QString archiverProgram()
{
    return QStringLiteral(TALVORA_ARCHIVER);
}

void RunArchiver(const QStringList& arguments, const QString& workingDirectory)
{
    RunArchiver(archiverProgram(), arguments, workingDirectory);
}

void CheckArchiver(const QString& program)
{
    const QFileInfo info(program);
    if (!info.exists() || !info.isFile())
        throw Error(QStringLiteral("Архиватор 7-Zip не найден: нет программы %1.\n"
                                   "Установите пакет 7zip (scripts/install-deps.sh) и повторите.")
                        .arg(program));
    if (!info.isExecutable())
        throw Error(QStringLiteral("Архиватор 7-Zip (%1) нельзя запустить: у файла нет права на выполнение.")
                        .arg(program));
}

void RunArchiver(const QString& program, const QStringList& arguments, const QString& workingDirectory)
{
    CheckArchiver(program);
    if (!workingDirectory.isEmpty() && !QFileInfo(workingDirectory).isDir())
        throw Error(QStringLiteral("Архиватор не запущен: нет каталога %1.").arg(workingDirectory));

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(30000))
        throw Error(QStringLiteral("Не удалось запустить архиватор %1: %2").arg(program, process.errorString()));
    // The archiver never gets an answer from us: a question (a password) ends it.
    process.closeWriteChannel();

    QByteArray output;
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            break;
        output += process.readAll();
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    output += process.readAll();

    if (process.exitStatus() != QProcess::NormalExit)
        throw Error(QStringLiteral("Архиватор %1 завершился аварийно.\n%2").arg(program, tail(output, 6)));
    if (process.exitCode() != 0)
        throw Error(QStringLiteral("Архиватор завершился с ошибкой (%1).\n%2")
                        .arg(exitMeaning(process.exitCode()), tail(output, 6))
                        .trimmed());
}

} // namespace talvora::service

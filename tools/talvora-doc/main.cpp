// talvora-doc: inspection and conversion of Word 97–2003 documents and of the
// document BLOBs the database stores. Every command that reads a document
// takes either form; the BLOB is recognised by its signature.

#include "common/errors.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_blob.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QApplication>
#include <QGuiApplication>
#include <QLocale>

#include "word/view/separate_window.h"

#include <cstring>
#include <QJsonDocument>
#include <QTextDocument>

#include <cstdio>

using namespace talvora;
using namespace talvora::word;

namespace {

const char* kUsage =
    "Использование: talvora-doc КОМАНДА ...\n"
    "  text ФАЙЛ               основной текст документа (UTF-8)\n"
    "  dump ФАЙЛ               разметка страницы, абзацы, таблицы, списки, рисунки, поля и сноски с оформлением (JSON)\n"
    "  roundtrip ВХОД ВЫХОД    прочитать и записать заново как .doc\n"
    "  wrap ВХОД.doc ВЫХОД     упаковать .doc в BLOB документа\n"
    "  unwrap ВХОД ВЫХОД.doc   извлечь .doc из BLOB документа\n"
    "  from-html ВХОД.html ВЫХОД.doc  записать HTML как .doc\n"
    "  info ФАЙЛ               потоки и хранилища (внедрённые объекты) составного файла\n"
    "  stream ФАЙЛ ИМЯ         содержимое потока (\\x01CompObj — с кодом символа)\n"
    "  edit ФАЙЛ               открыть документ в отдельном окне редактора\n"
    "ФАЙЛ — документ .doc или BLOB документа (начинается с «BDOC»).\n";

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, f.errorString()));
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2").arg(path, f.errorString()));
}

// A stream's or storage's name, a leading control character written as "\x01".
QByteArray readableEntryName(QString name)
{
    if (!name.isEmpty() && name[0] < QChar(0x20))
        name = QStringLiteral("\\x%1").arg(name[0].unicode(), 2, 16, QChar(u'0')) + name.mid(1);
    return name.toUtf8();
}

void listStorage(const CompoundStorage& storage, int depth, QByteArray& out)
{
    const QByteArray indent(2 * depth, ' ');
    out += indent + readableEntryName(storage.name) + "/";
    if (!storage.clsid.isEmpty() && storage.clsid != QByteArray(16, '\0'))
        out += " clsid " + storage.clsid.toHex();
    out += "\n";
    for (const auto& [name, data] : storage.streams)
        out += indent + "  " + readableEntryName(name) + " " + QByteArray::number(data.size()) + "\n";
    for (const CompoundStorage& child : storage.storages)
        listStorage(child, depth + 1, out);
}

void writeStdout(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int run(const QStringList& args)
{
    if (args.isEmpty())
        throw Error(QString::fromUtf8(kUsage));
    const QString command = args[0];
    auto need = [&](int count) {
        if (args.size() != count + 1)
            throw Error(QString::fromUtf8(kUsage));
    };
    if (command == QLatin1String("text")) {
        need(1);
        writeStdout(plainText(readDocument(readFile(args[1]))).toUtf8());
    } else if (command == QLatin1String("dump")) {
        need(1);
        writeStdout(QJsonDocument(dumpDocument(readDocument(readFile(args[1])))).toJson(QJsonDocument::Indented));
    } else if (command == QLatin1String("roundtrip")) {
        need(2);
        writeFile(args[2], writeDoc(readDocument(readFile(args[1]))));
    } else if (command == QLatin1String("wrap")) {
        need(2);
        const QByteArray doc = docBytesOf(readFile(args[1]));
        CompoundFileReader check(doc); // refuse to wrap what is not a compound file
        writeFile(args[2], wrapDocumentBlob(doc));
    } else if (command == QLatin1String("unwrap")) {
        need(2);
        writeFile(args[2], docBytesOf(readFile(args[1])));
    } else if (command == QLatin1String("from-html")) {
        need(2);
        Document document;
        // Pictures named relative to the page are found beside it.
        document.text().setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(QFileInfo(args[1]).absoluteFilePath()).toString());
        document.text().setHtml(QString::fromUtf8(readFile(args[1])));
        writeFile(args[2], writeDoc(document));
    } else if (command == QLatin1String("info")) {
        need(1);
        CompoundFileReader cfb(docBytesOf(readFile(args[1])));
        QByteArray out = "version " + QByteArray::number(cfb.majorVersion()) + "\nclsid "
            + cfb.rootClsid().toHex() + "\n";
        for (const QString& name : cfb.streamNames())
            out += readableEntryName(name) + " " + QByteArray::number(cfb.stream(name).size()) + "\n";
        // Storages (the embedded objects' ObjectPool): their storages and streams, indented.
        for (const QString& name : cfb.storageNames())
            if (const auto storage = cfb.storage(name))
                listStorage(*storage, 0, out);
        writeStdout(out);
    } else if (command == QLatin1String("stream")) {
        need(2);
        CompoundFileReader cfb(docBytesOf(readFile(args[1])));
        QString name = args[2];
        if (name.startsWith(QLatin1String("\\x")) && name.size() >= 4)
            name = QChar(char16_t(name.mid(2, 2).toUShort(nullptr, 16))) + name.mid(4);
        writeStdout(cfb.stream(name));
    } else {
        throw Error(QString::fromUtf8(kUsage));
    }
    return 0;
}

// Qt's own notices (missing runtime directory and the like) are not the
// tool's output; only errors of the command reach stderr.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

// "edit" opens a window on the user's display; every other command works
// without one.
int runEditor(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvora"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "%s", kUsage);
        return 1;
    }
    return word::runSeparateWindowEditor(args[2]);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "edit") == 0)
        return runEditor(argc, argv);
    qInstallMessageHandler(quietMessages);
    // Formats and HTML parsing need the GUI classes, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    try {
        return run(args);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return 1;
}

#include "word/view/file_insertion.h"

#include "common/errors.h"
#include "word/document_io.h"
#include "word/table_format.h"
#include "word/text_formats.h"
#include "word/view/office_converter.h"
#include "word/view/transfer_buffer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <functional>

namespace talvora::word {

namespace {

// Far beyond any document a department writes; a bigger file is refused
// before it is read into memory.
constexpr qint64 kMaxInsertedFileSize = 256LL * 1024 * 1024;

const QByteArray kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

enum class FileKind { Word, Converted, Unknown };

FileKind kindOf(const QByteArray& head, const QString& suffix)
{
    if (head.startsWith(kCompoundFileSignature) || head.startsWith("BDOC"))
        return FileKind::Word;
    if (head.startsWith("{\\rtf") || head.startsWith("PK\x03\x04"))
        return FileKind::Converted;
    if (convertedSuffixes().contains(suffix))
        return FileKind::Converted;
    if (suffix == QLatin1String("doc") || suffix == QLatin1String("dot"))
        return FileKind::Word; // the reader says what is wrong with it
    return FileKind::Unknown;
}

Document readWordBytes(const QByteArray& bytes, const QString& name)
{
    try {
        return readDocument(bytes);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Не удалось вставить файл «%1»: %2").arg(name, e.message()));
    }
}

// Every text fragment of the document, tables included, in order.
void forEachFragment(const QTextDocument& doc, const std::function<void(const QTextFragment&)>& f)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            f(it.fragment());
}

// The first number above zero that is not in `used`; it is then used.
int freshId(QSet<int>& used)
{
    int id = 1;
    while (used.contains(id))
        ++id;
    used.insert(id);
    return id;
}

// Gives the source's lists that share a Word list number with a list of the
// target numbers of their own: otherwise the inserted items would go on
// counting from the target's.
void separateLists(const QTextDocument& target, QTextDocument& source)
{
    QSet<int> targetIds;
    for (QTextBlock b = target.begin(); b.isValid(); b = b.next())
        if (const QTextList* list = b.textList(); list && list->format().hasProperty(ListIdProperty))
            targetIds.insert(list->format().intProperty(ListIdProperty));
    if (targetIds.isEmpty())
        return;
    QSet<int> used = targetIds;
    QList<QTextList*> lists;
    for (QTextBlock b = source.begin(); b.isValid(); b = b.next())
        if (QTextList* list = b.textList(); list && !lists.contains(list)) {
            lists.append(list);
            if (list->format().hasProperty(ListIdProperty))
                used.insert(list->format().intProperty(ListIdProperty));
        }
    QHash<int, int> renamed;
    for (QTextList* list : lists) {
        QTextListFormat format = list->format();
        if (!format.hasProperty(ListIdProperty))
            continue;
        const int id = format.intProperty(ListIdProperty);
        if (!targetIds.contains(id))
            continue;
        if (!renamed.contains(id))
            renamed.insert(id, freshId(used));
        format.setProperty(ListIdProperty, renamed.value(id));
        list->setFormat(format);
    }
}

// The same for the numbers that keep neighbouring note references apart:
// an inserted reference next to a target's one with the same number would
// be written as one.
void separateRunIds(const QTextDocument& target, QTextDocument& source, int property)
{
    QSet<int> targetIds;
    forEachFragment(target, [&](const QTextFragment& f) {
        if (f.charFormat().hasProperty(property))
            targetIds.insert(f.charFormat().intProperty(property));
    });
    if (targetIds.isEmpty())
        return;
    QSet<int> used = targetIds;
    struct Span {
        int from, to, id;
    };
    std::vector<Span> spans;
    forEachFragment(source, [&](const QTextFragment& f) {
        if (!f.charFormat().hasProperty(property))
            return;
        const int id = f.charFormat().intProperty(property);
        used.insert(id);
        if (targetIds.contains(id))
            spans.push_back({f.position(), f.position() + f.length(), id});
    });
    QHash<int, int> renamed;
    for (const Span& s : spans) {
        if (!renamed.contains(s.id))
            renamed.insert(s.id, freshId(used));
        QTextCursor c(&source);
        c.setPosition(s.from);
        c.setPosition(s.to, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setProperty(property, renamed.value(s.id));
        c.mergeCharFormat(f);
    }
}

// Section breaks name the source's own sections, which the target does not
// have: the marks are taken off.
void dropSectionStarts(QTextDocument& source)
{
    for (QTextBlock b = source.begin(); b.isValid(); b = b.next()) {
        if (!b.blockFormat().hasProperty(SectionStartProperty))
            continue;
        QTextBlockFormat f = b.blockFormat();
        f.clearProperty(SectionStartProperty);
        QTextCursor(b).setBlockFormat(f);
    }
}

} // namespace

QString insertableFileFilter()
{
    return QStringLiteral("Документы (*.doc *.docx *.odt *.rtf);;Документ Word 97–2003 (*.doc);;"
                          "Документ Word (*.docx);;Текст OpenDocument (*.odt);;Текст RTF (*.rtf);;Все файлы (*)");
}

QStringList convertedSuffixes()
{
    return {QStringLiteral("docx"), QStringLiteral("odt"), QStringLiteral("rtf")};
}

Document readFileToInsert(const QString& path, const OfficeConverter& converter)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    QFile file(path);
    if (!info.isFile())
        throw Error(QStringLiteral("Не удалось открыть файл «%1»: файла нет").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString()));
    if (file.size() > kMaxInsertedFileSize)
        throw Error(QStringLiteral("Файл «%1» слишком велик для вставки (больше %2 МБ).")
                        .arg(name)
                        .arg(kMaxInsertedFileSize / (1024 * 1024)));
    switch (kindOf(file.peek(8), info.suffix().toLower())) {
    case FileKind::Word:
        return readWordBytes(file.readAll(), name);
    case FileKind::Converted:
        file.close();
        return readWordBytes(converter.convertToDoc(path), name);
    case FileKind::Unknown:
        break;
    }
    throw Error(QStringLiteral("Файл «%1» нельзя вставить: вставляются документы Word (.doc), а через LibreOffice "
                               "также .docx, .odt и .rtf.")
                    .arg(name));
}

void insertDocument(QTextCursor& cursor, Document source)
{
    QTextDocument& from = source.text();
    const QTextDocument& target = *cursor.document();
    from.setUndoRedoEnabled(false);
    separateLists(target, from);
    // Field ids (nested ones too) are made the copy's own by the paste.
    separateRunIds(target, from, NoteIdProperty);
    dropSectionStarts(from);

    QTextCursor all(&from);
    all.select(QTextCursor::Document);
    TransferBuffer content;
    content.copyFrom(all);
    content.pasteInto(cursor);
}

} // namespace talvora::word

#include "document_export.h"

#include "common/dates.h"
#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "patient/list_filters.h"
#include "patient/patient_filters.h"
#include "ui/dialog_service.h"
#include "word/document_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace talvora::service {

namespace {

const QString kDocExtension = QStringLiteral(".doc");
// Failures listed by name in the closing message; the rest are counted.
constexpr int kListedFailures = 20;
// Copies of one name tried before a document is given up.
constexpr int kMaxCopies = 100000;

bool unsafeInName(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
        return true;
    switch (u) {
    case u'/': case u'\\': case u':': case u'*': case u'?': case u'"': case u'<': case u'>': case u'|':
        return true;
    default:
        return false;
    }
}

int utf8Size(const QString& text) { return int(text.toUtf8().size()); }

// Drops the last character (never half of a surrogate pair).
void dropLast(QString& text)
{
    if (text.isEmpty())
        return;
    const qsizetype n = text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate() ? 2 : 1;
    text.chop(n);
}

// Dots and blanks at the end of a stem: Windows drops them, and before
// ".doc" they would make "..".
void trimStemEnd(QString& stem)
{
    while (!stem.isEmpty() && (stem.back() == u'.' || stem.back() == u' '))
        stem.chop(1);
}

// The card does not follow the patient list while the export reads it; it
// does again afterwards, whatever happens.
class CardStaysPut {
public:
    CardStaysPut() { programSwitches().CardFollowsList = false; }
    ~CardStaysPut() { programSwitches().CardFollowsList = true; }
    CardStaysPut(const CardStaysPut&) = delete;
    CardStaysPut& operator=(const CardStaysPut&) = delete;
};

class ProgressRun {
public:
    ProgressRun(const ExportProgress& p, int documents) : p_(p)
    {
        if (p_.started)
            p_.started(documents);
    }
    ~ProgressRun()
    {
        if (p_.finished)
            p_.finished();
    }
    void advanced(int done) const
    {
        if (p_.advanced)
            p_.advanced(done);
    }
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;

private:
    const ExportProgress& p_;
};

// Writes `bytes` into a file of `dir` that did not exist before: the first
// free copy of the document's name, starting at `copy`. Returns the name.
QString writeNewFile(const QDir& dir, const QString& patient, const QDate& date, const QString& type,
                     const QByteArray& bytes, int& copy)
{
    for (int tries = 0; tries < kMaxCopies; ++tries, ++copy) {
        const QString name = ExportFileName(patient, date, type, copy);
        if (name.contains(u'/') || name == u"." || name == u"..")
            throw Error(QStringLiteral("Недопустимое имя файла «%1»").arg(name));
        const QString path = dir.filePath(name);
        QFile file(path);
        // Created here or not at all: an existing file, or a link, is never written through.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QFileInfo there(path);
            if (there.exists() || there.isSymLink())
                continue;
            throw Error(QStringLiteral("Не удалось создать файл: %1").arg(file.errorString()));
        }
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            const QString why = file.errorString();
            file.close();
            file.remove();
            throw Error(QStringLiteral("Не удалось записать файл: %1").arg(why));
        }
        file.close();
        if (file.error() != QFileDevice::NoError) {
            const QString why = file.errorString();
            file.remove();
            throw Error(QStringLiteral("Не удалось записать файл: %1").arg(why));
        }
        return name;
    }
    throw Error(QStringLiteral("Слишком много файлов с таким именем"));
}

} // namespace

QString SafeNamePart(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate() || unsafeInName(c)) {
            out += u'_';
        } else if (c == u'.' && out.endsWith(u'.')) {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

QString ExportFileName(const QString& patientName, const QDate& date, const QString& typeName, int copy)
{
    const QString type = typeName.trimmed().isEmpty() ? kUntypedDocumentName : typeName;
    const QDate day = date.isValid() ? date : EmptyDate();
    QString stem = SafeNamePart(patientName + u'_' + day.toString(QStringLiteral("dd.MM.yyyy")) + u'_' + type);
    // No hidden file, no "." or "..".
    while (stem.startsWith(u'.'))
        stem.replace(0, 1, u'_');
    const QString tail = (copy > 1 ? QStringLiteral(" (%1)").arg(copy) : QString()) + kDocExtension;
    const int room = kMaxFileNameBytes - utf8Size(tail);
    if (utf8Size(stem) > room) {
        // Cut by characters; the byte count of the rest is checked as it shrinks.
        while (!stem.isEmpty() && utf8Size(stem) > room)
            dropLast(stem);
    }
    trimStemEnd(stem);
    if (stem.isEmpty())
        stem = QStringLiteral("_");
    return stem + tail;
}

QString ExportSummary(const ExportResult& r)
{
    QString text = QStringLiteral("Выгружено документов: %1 из %2.").arg(r.written).arg(r.documents);
    if (r.failed.isEmpty())
        return text;
    text += QStringLiteral("\nНе удалось выгрузить (%1):").arg(r.failed.size());
    const qsizetype shown = std::min<qsizetype>(r.failed.size(), kListedFailures);
    for (qsizetype i = 0; i < shown; ++i)
        text += QStringLiteral("\n%1 — %2").arg(r.failed[i].document, r.failed[i].reason);
    if (r.failed.size() > shown)
        text += QStringLiteral("\n… и ещё %1").arg(r.failed.size() - shown);
    return text;
}

DocumentExport::DocumentExport(data::TDM& dm) : dm_(dm) {}

QStringList DocumentExport::ListedPatients() const
{
    const data::QueryDataset& list = *dm_.pac_q1;
    QStringList keys;
    if (!list.active())
        return keys;
    const int pid = list.fieldIndex(QStringLiteral("Pid"));
    if (pid < 0)
        return keys;
    keys.reserve(list.recordCount());
    // Read row by row without moving the list.
    for (int r = 0; r < list.recordCount(); ++r)
        keys << QString::number(list.rowValue(r, pid).toLongLong());
    return keys;
}

QStringList DocumentExport::DepartmentPatients(const QVariant& department) const
{
    data::Database& db = *dm_.Pacents;
    data::Params p;
    p.set(QStringLiteral("potd"), department);
    data::SqliteStatement st = db.prepareBound(
        db.translate(QStringLiteral("Select Pid FROM pacient WHERE potd =:potd order by Palat, PName"),
                     data::TranslateOptions{false}),
        p);
    QStringList keys;
    while (st.step())
        keys << QString::number(st.int64(0));
    return keys;
}

int DocumentExport::OpenDocumentsOf(const QStringList& keys)
{
    // The condition is made of keys written here, never of text as it came.
    QStringList numbers;
    numbers.reserve(keys.size());
    for (const QString& key : keys) {
        bool ok = false;
        const qlonglong n = key.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("Неверный ключ пациента «%1»").arg(key));
        numbers << QString::number(n);
    }
    if (numbers.isEmpty())
        throw Error(QStringLiteral("В списке нет пациентов: выгружать нечего."));
    data::QueryDataset& q = *dm_.Upload_q;
    q.close();
    // Documents without a type are exported too, under kUntypedDocumentName.
    q.setSql({QStringLiteral("SELECT Vipis.VID, Vipis.Vpac, Vipis.Vdate, Vipis.Vres, Pacient.Pname, Vipistype.VTName FROM "
                             "\"Vipis.DB\" Vipis INNER JOIN \"Pacient.DB\" Pacient ON  (Vipis.Vpac = Pacient.PID)  LEFT JOIN "
                             "\"VipisType.DB\" Vipistype ON  (Vipis.Vtype = Vipistype.VTid)  WHERE ") +
                  patient::KeyListCondition(numbers, QStringLiteral("Vipis.Vpac")),
              QStringLiteral("ORDER BY Vipis.VID")});
    q.run();
    // Counted, not held: the rows are read one at a time as they are written.
    data::Database& db = *dm_.Pacents;
    data::SqliteStatement st = db.prepareBound(db.translate(q.sqlText()), {});
    int documents = 0;
    while (st.step())
        ++documents;
    return documents;
}

ExportResult DocumentExport::WriteDocuments(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        throw Error(QStringLiteral("Папка «%1» не найдена.").arg(folder));

    data::Database& db = *dm_.Pacents;
    // One state of the database for the whole walk, the file lock taken once.
    const data::ReadTransaction snapshot(db);
    const data::TranslatedStatement t = db.translate(dm_.Upload_q->sqlText());
    const auto column = [&t](const char* name) {
        for (size_t c = 0; c < t.columns.size(); ++c)
            if (t.columns[c].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return int(c);
        throw Error(QStringLiteral("В запросе выгрузки нет поля %1").arg(QLatin1String(name)));
    };
    const int cName = column("Pname"), cDate = column("Vdate"), cType = column("VTName"), cBody = column("Vres");
    const data::ResultColumn body = t.columns[size_t(cBody)];

    // The statement is walked twice: once to count (for the progress), once
    // to write. No row is kept beyond its own turn.
    data::SqliteStatement st = db.prepareBound(t, {});
    ExportResult result;
    while (st.step())
        ++result.documents;
    st.reset();
    const ProgressRun run(progress, result.documents);

    // The next copy number to try for a name that was found taken, so that
    // many documents of one name do not try every taken copy again. Only
    // such names are kept.
    QHash<QString, int> nextCopy;
    int done = 0;
    while (st.step() && done < result.documents) {
        const QString patient = st.text(cName);
        const QVariant stamp = data::valueFromStatement(st, cDate, data::FieldType::DateTime);
        const QDate date = stamp.isNull() ? EmptyDate() : stamp.toDateTime().date();
        const QString type = st.isNull(cType) ? QString() : st.text(cType);
        const QString base = ExportFileName(patient, date, type);
        try {
            // Only this document's bytes are held, and only until written.
            const QByteArray stored = body.lazy ? db.readColumn(body.table, body.field, st.int64(cBody), data::FieldType::Blob).toByteArray()
                                                : st.blob(cBody);
            const QByteArray doc = word::docBytesOf(stored);
            int copy = nextCopy.value(base, 1);
            writeNewFile(dir, patient, date, type, doc, copy);
            if (copy > 1)
                nextCopy.insert(base, copy + 1);
            ++result.written;
        } catch (const Error& e) {
            result.failed.append({base, e.message()});
        } catch (const std::exception& e) {
            result.failed.append({base, QString::fromLocal8Bit(e.what())});
        }
        run.advanced(++done);
    }
    return result;
}

ExportResult DocumentExport::ExportDepartment(const QVariant& department, const QString& folder)
{
    data::Database& db = *dm_.Pacents;
    data::Params p;
    p.set(QStringLiteral("OID"), department);
    data::SqliteStatement st = db.prepareBound(
        db.translate(QStringLiteral("select count(*) from Otdelen where OID = :OID"), data::TranslateOptions{false}), p);
    if (!st.step() || st.int64(0) == 0)
        throw Error(QStringLiteral("Нет отделения с ключом %1").arg(department.toString()));
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("Не удалось создать папку «%1»").arg(folder));
    const QStringList keys = DepartmentPatients(department);
    if (keys.isEmpty())
        return {};
    if (OpenDocumentsOf(keys) == 0)
        return {};
    return WriteDocuments(folder);
}

void DocumentExport::ExportDocuments(patient::PatientFilters* filters)
{
    const CardStaysPut card;
    const QStringList keys = ListedPatients();
    if (filters)
        filters->setKeyList(keys);
    if (keys.isEmpty()) {
        dialogs().notice(QStringLiteral("В списке нет пациентов: выгружать нечего."));
        return;
    }
    if (OpenDocumentsOf(keys) == 0) {
        dialogs().notice(QStringLiteral("У пациентов списка нет сохранённых документов."));
        return;
    }
    FileDialogRequest request;
    request.caption = QStringLiteral("Папка для документов");
    const QString folder = dialogs().folderName(request);
    if (folder.isEmpty())
        return;
    const ExportResult result = WriteDocuments(folder);
    if (result.failed.isEmpty())
        dialogs().notice(ExportSummary(result));
    else
        dialogs().error(ExportSummary(result));
}

} // namespace talvora::service

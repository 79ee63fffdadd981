#pragma once
// Export of the listed patients' documents into a folder: every stored
// document becomes one Word 97 file named after the patient, the document
// date and the document type ("Иванов И.И._23.06.2008_Выписки.doc").
//
// Names are made safe for any file system the folder may be on, a name that
// is taken gets " (2)", " (3)" … instead of overwriting, and a document that
// cannot be written is noted and the export goes on. Documents are read and
// written one at a time, so memory does not grow with their number.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace talvora::data {
class TDM;
}
namespace talvora::patient {
class PatientFilters;
}

namespace talvora::service {

// The type part of the name of a document stored without a type.
inline const QString kUntypedDocumentName = QStringLiteral("Без типа");
// The longest file name, in bytes of its UTF-8 form, that Linux file systems take.
inline constexpr int kMaxFileNameBytes = 255;

// One part of a file name made safe: path separators, ":", the characters
// Windows refuses in names (* ? " < > |) and control characters become "_";
// runs of dots become one dot.
QString SafeNamePart(const QString& text);

// The file name (without folder) of a document: patient name, "_", the date
// as dd.mm.yyyy, "_", the type name (kUntypedDocumentName when empty) and
// ".doc"; copy 2, 3, … adds " (2)", " (3)" … before ".doc". The name never
// holds a separator or "..", never begins with a dot, and is cut at the end
// of its stem to fit kMaxFileNameBytes, keeping the copy number and ".doc".
QString ExportFileName(const QString& patientName, const QDate& date, const QString& typeName, int copy = 1);

struct ExportFailure {
    QString document; // the file name the document was given
    QString reason;
};

struct ExportResult {
    int documents = 0; // documents found for the listed patients
    int written = 0;
    QList<ExportFailure> failed;
};

// What is shown at the end: how many were written, and which failed and why.
QString ExportSummary(const ExportResult& result);

// The progress of a running export; every call may be left empty.
struct ExportProgress {
    std::function<void(int documents)> started;
    std::function<void(int done)> advanced;
    std::function<void()> finished;
};

class DocumentExport {
public:
    explicit DocumentExport(data::TDM& dm);

    ExportProgress progress;

    // "Выгрузить документы в папку": the documents of the patients in the
    // patient list (the list is not moved and the card not reloaded), into
    // a folder the user chooses; the result is shown at the end. The
    // filters' patient key list is given the listed keys.
    void ExportDocuments(patient::PatientFilters* filters);

    // The documents of every patient of a department, into `folder`
    // (made when missing). Throws talvora::Error when the department does
    // not exist or the folder cannot be made.
    ExportResult ExportDepartment(const QVariant& department, const QString& folder);

    // The keys of the rows of the patient list, in its order.
    QStringList ListedPatients() const;
    // The keys of a department's patients, in the list's order.
    QStringList DepartmentPatients(const QVariant& department) const;

    // Gives the export query (Upload_q) the statement over the documents of
    // the patients `keys` (decimal keys; anything else is refused) and
    // returns how many documents there are. The query is not opened: its
    // rows are read one at a time by WriteDocuments.
    int OpenDocumentsOf(const QStringList& keys);
    // Writes every document of the export query's statement into `folder`,
    // reading one row and one document at a time.
    ExportResult WriteDocuments(const QString& folder);

private:
    data::TDM& dm_;
};

} // namespace talvora::service

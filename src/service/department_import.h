#pragma once
// The first-run wizard's operations: making the workplace of a new department
// (its row and document types) and importing another department's
// boilerplates, template types and templates into it.
//
// A copied template keeps its document, but the numbers of its <!grp_N> and
// <!shabl_N> markers name the source department's types and templates; the
// import rewrites them to the keys the copies got, so that the new
// department's documents pull in its own investigations and templates. The
// import is one unit of work: it is stored whole or not at all.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTextDocument;

namespace talvora::data {
class TDM;
}
namespace talvora::word {
class Document;
}

namespace talvora::service {

// The percentage shown for row `row` of `rows`: row / rows × 100 to the
// nearest whole number, halves to the even neighbour (8 rows: 12, 25, 38,
// 50, 62, 75, 88, 100). 0 when there are no rows.
int importPercent(int row, int rows);

// Old key → new key, for the markers of each kind.
struct MarkerKeys {
    QHash<qint64, qint64> types;     // <!grp_N>: ShTID
    QHash<qint64, qint64> templates; // <!shabl_N>: ShId
};

// Rewrites the numbers of the <!grp_N> and <!shabl_N> markers found in
// `keys`, read as the assembly reads them (the characters after the "<" up
// to the paragraph's end or a line break); the digits take the format of the
// first digit they replace. Other markers, and numbers not in `keys`, stay as
// they are. Returns the number of markers rewritten.
int renumberMarkers(QTextDocument& text, const MarkerKeys& keys);
// The same in the main text, the headers and footers of every section.
int renumberMarkers(word::Document& document, const MarkerKeys& keys);
// The same on a document BLOB: the rewritten BLOB, or nothing when no marker
// needed it (the document is then left byte for byte) or when the BLOB is no
// readable document.
std::optional<QByteArray> renumberTemplateMarkers(const QByteArray& blob, const MarkerKeys& keys);

// What the import shows while it runs. Each is harmless while empty.
struct ImportProgress {
    // A part begins: what is copied ("Копируются Шаблоны") and how many rows it has.
    std::function<void(const QString& what, int rows)> stage;
    // Row `row` (from 1) of the part's `rows` is being copied.
    std::function<void(int row, int rows)> step;
};

struct ImportSummary {
    int boilerplates = 0;
    int templateTypes = 0;
    int templates = 0;
    int markersRewritten = 0; // in how many copied templates markers were rewritten
    bool operator==(const ImportSummary&) const = default;
};

// Copies the boilerplates (Fish), template types (SHablonType) and their
// templates (SHablon) of one department into another, in one unit of work.
// Investigations, patients, documents and document types are never copied.
class DepartmentImport {
public:
    explicit DepartmentImport(data::TDM& dm) : dm_(dm) {}

    // Copies from `source` into `target`. A source that is the target copies
    // nothing. Throws talvora::Error (nothing copied) when the target
    // department does not exist or a step fails.
    ImportSummary Import(qint64 source, qint64 target, const ImportProgress& progress = {});

    // The texts of the naming label.
    static QString copyingBoilerplates();   // Копируются "Рыбы"
    static QString copyingTemplateTypes();  // Копируются типы Шаблонов
    static QString copyingTemplates();      // Копируются Шаблоны
    static QString rewritingMarkers();      // Исправляются метки в Шаблонах

private:
    int copyBoilerplates(qint64 source, qint64 target, const ImportProgress& progress);
    int copyTemplates(qint64 source, qint64 sourceType, qint64 target, qint64 targetType,
                      const ImportProgress& progress, MarkerKeys& keys, QList<qint64>& copies);
    int rewriteMarkers(const QList<qint64>& copies, const MarkerKeys& keys, const ImportProgress& progress);

    data::TDM& dm_;
};

// The fields of the naming page that "Создать  !" stores.
struct NewWorkplace {
    QString hospital;
    QString department;
    QStringList documentTypes; // in their order from top to bottom
};

// The wizard's operations on the data module; the window holds one for the run.
class SetupWizard : public QObject {
    Q_OBJECT

public:
    explicit SetupWizard(data::TDM& dm, QObject* parent = nullptr);

    // "Создать  !": stores the department and its document types (together or
    // not at all), makes it the current department and remembers its key as
    // the new department key. Then asks whether to import; true for Yes.
    bool CreateWorkplace(const NewWorkplace& workplace);

    // "Начать импорт!": imports from the department under the cursor into the
    // new department.
    ImportSummary StartImport(const ImportProgress& progress = {});

    // The key of the department made by the last "Создать  !"; 0 before any.
    qint64 newDepartmentKey() const { return newDepartment_; }
    // Its hospital name, a blank and its department name, as stored.
    const QString& targetName() const { return targetName_; }

    static QString importQuestion();

signals:
    void targetChanged(const QString& name);

private:
    data::TDM& dm_;
    qint64 newDepartment_ = 0;
    QString targetName_;
};

} // namespace talvora::service

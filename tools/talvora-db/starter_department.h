#pragma once
// The department a new workstation database starts with, so that the doctors
// can work from the first start: a hospital with its neurology department,
// template and document types, templates written as Word 97 documents, and a
// drug reference of macrogroups, groups and drugs for the doctors to edit,
// and boilerplates ("рыбы") of the patient texts for adults.
//
// The content lives beside this file in starter/: department.json lists the
// rows and names the drug reference (drugs.json), and each template and
// boilerplate is an HTML page written into a .doc by the project's own
// writer when the database is made. A page names the keys the
// rows get only then through placeholders:
//   {{fld_N}}, {{trt_N}}, {{grp_N}}, {{shabl_N}}  the marker <!kind_N> as it is;
//   {{grp_TYPE}}       <!grp_N> with the ShTID of the template type keyed TYPE;
//   {{shabl_TEMPLATE}} <!shabl_N> with the ShId of the template keyed TEMPLATE
//                      (a template listed before the page that names it).

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace talvora::data {
class SqliteConnection;
}

namespace talvora::tools {

// Keys by placeholder name: "grp_TYPE" → ShTID, "shabl_TEMPLATE" → ShId.
using StarterKeys = QHash<QString, qint64>;

struct StarterSummary {
    qint64 departmentKey = 0;
    QString hospital;
    QString department;
    int templateTypes = 0;
    int documentTypes = 0;
    int templates = 0;
    int drugMacrogroups = 0;
    int drugGroups = 0;
    int drugs = 0;
    int boilerplates = 0;
};

struct DrugReferenceCount {
    int macrogroups = 0;
    int groups = 0;
    int drugs = 0;
};

// The HTML a template is written from: comments of the source are dropped and
// every placeholder becomes its marker (escaped for HTML). A name missing from
// `keys`, or a "{{" that is no placeholder, is an error.
QString expandTemplateSource(const QString& source, const StarterKeys& keys);

// The document BLOB of a page, laid out with the templates' shared style sheet.
QByteArray templateDocumentBlob(const QString& html);

// Writing documents needs Qt's GUI classes (fonts, the HTML reader): an
// error unless the process runs a QGuiApplication.
void requireDocumentWriter();

// Adds a drug reference in the form of drugs.json:
//   {"macrogroups": [{"name": …, "groups": [{"name": …, "drugs": [drug, …]}, …]}, …]}
// where a drug is {"name": Tname_r, "latin": Tname_l, "notes": Tprim,
// "perDay": Tkratn, "mgPerKgPerDay": Tdose}; the two numbers are optional
// whole numbers from 1 and stay empty when absent. Each group refers to the
// key its macrogroup's row got, each drug to the key of its group's row.
// The whole reference is checked before the first row is written: a text too
// long for its field (it would be stored cut), a missing text, an unknown
// member, a number that is not a positive whole number, or a name given twice
// (two macrogroups, two groups or two drugs of one name) is an error, and
// nothing is written.
DrugReferenceCount addDrugReference(data::SqliteConnection& db, const QJsonObject& reference);

// The ages every starter set of boilerplates covers: adults, in full years.
constexpr int kAdultAgeFrom = 18;
constexpr int kAdultAgeTo = 120;

// The plain text of a document BLOB as the program reads it from a document
// view (the whole document selected): paragraphs separated by "\r", line
// breaks as "\v". A boilerplate's Fmem is this text of its Fres.
QString documentPlainText(const QByteArray& blob);

// Adds the boilerplates of department `department` (Fish rows), each in the
// form of department.json's "boilerplates":
//   {"name": Fname, "kind": "anamnesis" | "neuroStatus" | "somaticStatus" |
//    "recommendations", "sex": "male" | "female" | "either",
//    "minAge": Fmin, "maxAge": Fmax, "source": the page among the starter files}
// Each is written as its page's document (Fres) with that document's plain
// text (Fmem); a page carries no markers. The whole set is checked before
// the first row is written: a text too long for its field, an unknown kind,
// sex or member, bounds that are no whole numbers from 0 to 150 or are
// reversed, a name given twice, a page that is missing, empty or holds a
// marker, two boilerplates of one kind that fit one patient (bands of a
// kind overlapping for a common sex), or an adult age (kAdultAgeFrom to
// kAdultAgeTo) for which a man or a woman gets no anamnesis, neurological or
// somatic status, is an error, and nothing is written. Returns the rows added.
int addBoilerplates(data::SqliteConnection& db, qint64 department, const QJsonArray& boilerplates);

// Adds the starter department to a database just created, on the caller's
// connection (inside its transaction).
StarterSummary addStarterDepartment(data::SqliteConnection& db);

} // namespace talvora::tools

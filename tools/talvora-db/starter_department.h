#pragma once
// The department a new workstation database starts with, so that the doctors
// can work from the first start: a hospital with its neurology department,
// template and document types, and templates written as Word 97 documents.
//
// The content lives beside this file in starter/: department.json lists the
// rows, and each template is an HTML page written into a .doc by the
// project's own writer when the database is made. A page names the keys the
// rows get only then through placeholders:
//   {{fld_N}}, {{trt_N}}, {{grp_N}}, {{shabl_N}}  the marker <!kind_N> as it is;
//   {{grp_TYPE}}       <!grp_N> with the ShTID of the template type keyed TYPE;
//   {{shabl_TEMPLATE}} <!shabl_N> with the ShId of the template keyed TEMPLATE
//                      (a template listed before the page that names it).

#include <QByteArray>
#include <QHash>
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

// Adds the starter department to a database just created, on the caller's
// connection (inside its transaction).
StarterSummary addStarterDepartment(data::SqliteConnection& db);

} // namespace talvora::tools

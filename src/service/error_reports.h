#pragma once
// The error reports' operations on the data module: a report is appended to
// the workstation's error list with the window it came from, and every new
// error record gets its defaults (date, program, version, disk serial,
// status 1) while an edit of one renews its date.
//
// Building it installs the data module's error-report hooks.

#include <QString>

namespace talvora::data {
class Dataset;
class TDM;
}

namespace talvora {

class ErrorReports {
public:
    // The program version written into every report.
    static constexpr int kVersion = 230608;

    explicit ErrorReports(data::TDM& dm);
    ErrorReports(const ErrorReports&) = delete;
    ErrorReports& operator=(const ErrorReports&) = delete;

    // Appends one report to the error list: its name is the window's prefix
    // and the title (cut to the field's width), its text the description
    // with CR LF line breaks. A report that cannot be stored leaves nothing
    // half-written behind, and the error is passed on.
    void SaveReport(int windowNumber, const QString& prefix, const QString& title, const QString& description);

private:
    data::TDM& dm_;
};

// The defaults of a new error record; on the start of an edit only the date
// is renewed.
void SetErrorRecordDefaults(data::Dataset& ds);

} // namespace talvora

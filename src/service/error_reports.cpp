#include "error_reports.h"

#include "common/disk_serial.h"
#include "data/data_module.h"

#include <QDate>

namespace talvora {

ErrorReports::ErrorReports(data::TDM& dm) : dm_(dm)
{
    dm_.hooks.errors.ErrorRecordDefaults = [](data::Dataset& ds) { SetErrorRecordDefaults(ds); };
}

void ErrorReports::SaveReport(int windowNumber, const QString& prefix, const QString& title,
                              const QString& description)
{
    data::Dataset& errors = *dm_.Error_t;
    errors.open();
    try {
        errors.append();
        errors.field(QStringLiteral("ErrForm")).setValue(windowNumber);
        errors.field(QStringLiteral("ErrName")).setValue(prefix + title);
        QString text = description;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\n', QStringLiteral("\r\n"));
        errors.field(QStringLiteral("ErrMem")).setValue(text);
        errors.post();
    } catch (...) {
        if (errors.editing())
            errors.cancel();
        throw;
    }
}

void SetErrorRecordDefaults(data::Dataset& ds)
{
    ds.field(QStringLiteral("ErrDate")).setValue(QDate::currentDate());
    if (ds.state() != data::DatasetState::Insert)
        return;
    ds.field(QStringLiteral("ErrProg")).setValue(QStringLiteral("Talvora"));
    ds.field(QStringLiteral("ErrVers")).setValue(ErrorReports::kVersion);
    ds.field(QStringLiteral("ErrOwner")).setValue(DiskSerial());
    ds.field(QStringLiteral("ErrStatus")).setValue(1);
}

} // namespace talvora

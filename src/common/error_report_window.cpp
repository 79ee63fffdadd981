#include "error_report_window.h"

#include "data/data_module.h"
#include "disk_serial.h"
#include "ui/error_display.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvora {

TForm9::TForm9(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Сообщение об ошибке программы"), QSize(505, 363), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm9"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Сообщение об ошибке программы"), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    heading->setFont(big);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(QStringLiteral("Название сообщения"), this));
    title_ = new QLineEdit(this);
    layout->addWidget(title_);
    save_ = new QPushButton(QStringLiteral("Сохранить!"), this);
    layout->addWidget(save_, 0, Qt::AlignLeft);
    layout->addWidget(new QLabel(QStringLiteral("Подробное описание"), this));
    description_ = new QPlainTextEdit(this);
    description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(description_, 1);

    connect(save_, &QPushButton::clicked, this, ui::guarded([this] { SaveReport(); }));
    dm_.hooks.errors.ErrorRecordDefaults = [](data::Dataset& ds) { SetErrorRecordDefaults(ds); };
    ui::setReportErrorHandler([this](int n, const QString& p) { ReportError(n, p); });
}

TForm9::~TForm9()
{
    ui::setReportErrorHandler({});
}

void TForm9::ReportError(int windowNumber, const QString& prefix)
{
    windowNumber_ = windowNumber;
    prefix_ = prefix;
    open();
}

void TForm9::SaveReport()
{
    data::Dataset& errors = *dm_.Error_t;
    errors.open();
    errors.append();
    try {
        errors.field(QStringLiteral("ErrForm")).setValue(windowNumber_);
        errors.field(QStringLiteral("ErrName")).setValue(prefix_ + title_->text());
        QString text = description_->toPlainText();
        text.replace(u'\n', QStringLiteral("\r\n"));
        errors.field(QStringLiteral("ErrMem")).setValue(text);
        errors.post();
    } catch (...) {
        if (errors.editing())
            errors.cancel();
        throw;
    }
    hide();
}

void SetErrorRecordDefaults(data::Dataset& ds)
{
    ds.field(QStringLiteral("ErrDate")).setValue(QDate::currentDate());
    if (ds.state() != data::DatasetState::Insert)
        return;
    ds.field(QStringLiteral("ErrProg")).setValue(QStringLiteral("Talvora"));
    ds.field(QStringLiteral("ErrVers")).setValue(TForm9::kVersion);
    ds.field(QStringLiteral("ErrOwner")).setValue(DiskSerial());
    ds.field(QStringLiteral("ErrStatus")).setValue(1);
}

} // namespace talvora

#include "error_report_window.h"

#include "ui/error_display.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvora {

TForm9::TForm9(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Сообщение об ошибке программы"), QSize(505, 363), parent),
      reports_(dm)
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
    title_->setAccessibleName(QStringLiteral("Название сообщения"));
    layout->addWidget(title_);
    save_ = new QPushButton(QStringLiteral("Сохранить!"), this);
    save_->setAccessibleName(save_->text());
    layout->addWidget(save_, 0, Qt::AlignLeft);
    layout->addWidget(new QLabel(QStringLiteral("Подробное описание"), this));
    description_ = new QPlainTextEdit(this);
    description_->setAccessibleName(QStringLiteral("Подробное описание"));
    description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(description_, 1);

    connect(save_, &QPushButton::clicked, this, ui::guarded([this] { SaveReport(); }));
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
    reports_.SaveReport(windowNumber_, prefix_, title_->text(), description_->toPlainText());
    hide();
}

} // namespace talvora

#include "document_type_dialog.h"

#include "data/data_module.h"
#include "ui/db_grid.h"
#include "ui/error_display.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvora {

TForm7::TForm7(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Тип документа при сохранении"), QSize(420, 320),
                            7, QStringLiteral("Тип документа при сохранении: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm7"));
    auto* heading = new QLabel(QStringLiteral("Выберите тип документа"), this);
    QFont f = heading->font();
    f.setBold(true);
    heading->setFont(f);
    frameLayout()->addWidget(heading);
    whose_ = new QLabel(this);
    whose_->setObjectName(QStringLiteral("documentOwner"));
    frameLayout()->addWidget(whose_);
    grid_ = new ui::DBGrid(this);
    grid_->setObjectName(QStringLiteral("documentTypes"));
    grid_->setAccessibleName(QStringLiteral("Тип документа"));
    grid_->bind(dm_.VType.get(), {{QStringLiteral("VTName"), QStringLiteral("Тип документа"), 0}});
    heading->setBuddy(grid_);
    frameLayout()->addWidget(grid_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    frameLayout()->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, ui::guarded([this] { accept(); }));
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
    connect(grid_, &QAbstractItemView::doubleClicked, this, ui::guarded([this] { accept(); }));
}

void TForm7::ask(const patient::PendingDocument& document)
{
    pending_ = document;
    whose_->setText(QStringLiteral("Документ пациента: %1").arg(document.patientName));
    open();
}

void TForm7::accept()
{
    const QVariant type = dm_.VType->active() && !dm_.VType->isEmpty() ? dm_.VType->field(QStringLiteral("VTid")).value()
                                                                       : QVariant(0);
    if (store)
        store(pending_, type);
    pending_ = {};
    hide();
}

} // namespace talvora

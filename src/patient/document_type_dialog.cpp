#include "document_type_dialog.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm7::TForm7(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Тип документа при сохранении"), QSize(420, 320), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm7"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(7, QStringLiteral("Тип документа при сохранении: ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

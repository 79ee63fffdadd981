#include "designer_window.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm2::TForm2(QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Конструктор шаблонов"), QSize(784, 539), parent)
{
    setObjectName(QStringLiteral("TForm2"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(2, QStringLiteral("Конструктор шаблонов: ")));
    layout->addLayout(top);
    layout->addStretch();
}

void TForm2::attachData(data::TDM& dm)
{
    dm_ = &dm;
}

} // namespace talvora

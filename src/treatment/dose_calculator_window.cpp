#include "dose_calculator_window.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm8::TForm8(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("калькулятор дозы"), QSize(520, 223), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm8"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(8, QStringLiteral("Калькулятор дозы: ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

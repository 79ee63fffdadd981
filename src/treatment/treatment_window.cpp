#include "treatment_window.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm6::TForm6(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Обследования и лечение"), QSize(1000, 700), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm6"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(6, QStringLiteral("Исследования: ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

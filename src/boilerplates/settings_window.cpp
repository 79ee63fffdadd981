#include "settings_window.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm5::TForm5(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Настройки"), QSize(738, 545), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm5"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(4, QStringLiteral("Настройки: ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

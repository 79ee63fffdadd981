#include "setup_wizard.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm11::TForm11(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Мастер первичной настройки"), QSize(640, 480), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm11"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(11, QStringLiteral("Мастер 1-чн настр (названия): ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

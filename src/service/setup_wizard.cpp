#include "setup_wizard.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm11::TForm11(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Мастер первичной настройки"), QSize(640, 480),
                            11, QStringLiteral("Мастер 1-чн настр (названия): "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm11"));
    frameLayout()->addStretch();
}

} // namespace talvora

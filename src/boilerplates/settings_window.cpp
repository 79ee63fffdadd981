#include "settings_window.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm5::TForm5(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Настройки"), QSize(738, 545),
                            4, QStringLiteral("Настройки: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm5"));
    frameLayout()->addStretch();
}

} // namespace talvora

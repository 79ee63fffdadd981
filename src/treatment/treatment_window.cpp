#include "treatment_window.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm6::TForm6(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Обследования и лечение"), QSize(1000, 700),
                            6, QStringLiteral("Исследования: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm6"));
    frameLayout()->addStretch();
}

} // namespace talvora

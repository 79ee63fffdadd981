#include "dose_calculator_window.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm8::TForm8(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("калькулятор дозы"), QSize(520, 223),
                            8, QStringLiteral("Калькулятор дозы: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm8"));
    frameLayout()->addStretch();
}

} // namespace talvora

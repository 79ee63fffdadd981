#include "designer_window.h"

#include "common/program_state.h"
#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm2::TForm2(QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Конструктор шаблонов"), QSize(784, 539),
                            2, QStringLiteral("Конструктор шаблонов: "), parent)
{
    setObjectName(QStringLiteral("TForm2"));
    frameLayout()->addStretch();
    beforeAssemblyBuffer().emplace();
}

TForm2::~TForm2()
{
    beforeAssemblyBuffer().reset();
}

void TForm2::attachData(data::TDM& dm)
{
    dm_ = &dm;
}

} // namespace talvora

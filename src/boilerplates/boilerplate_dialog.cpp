#include "boilerplate_dialog.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace talvora {

TForm10::TForm10(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Создание шаблона"), QSize(606, 357), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm10"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
}

} // namespace talvora

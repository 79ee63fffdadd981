#include "document_type_dialog.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm7::TForm7(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Тип документа при сохранении"), QSize(420, 320),
                            7, QStringLiteral("Тип документа при сохранении: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm7"));
    frameLayout()->addStretch();
}

} // namespace talvora

#include "text_editor_window.h"

#include "data/data_module.h"

#include <QVBoxLayout>

namespace talvora {

TForm4::TForm4(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Ананмнез пациента"), QSize(810, 500),
                            4, QStringLiteral("Анамнез пациента WORD: "), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm4"));
    frameLayout()->addStretch();
}

} // namespace talvora

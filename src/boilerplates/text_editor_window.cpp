#include "text_editor_window.h"

#include "data/data_module.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

TForm4::TForm4(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Ананмнез пациента"), QSize(810, 500), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm4"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(4, QStringLiteral("Анамнез пациента WORD: ")));
    layout->addLayout(top);
    layout->addStretch();
}

} // namespace talvora

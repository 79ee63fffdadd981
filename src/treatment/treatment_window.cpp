#include "treatment_window.h"

#include "data/data_module.h"
#include "drug_reference.h"
#include "investigations.h"
#include "investigations_page.h"
#include "treatment_page.h"
#include "treatment_scheme.h"
#include "ui/error_display.h"
#include "word/view/document_view.h"

#include <QEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvora {

TForm6::TForm6(data::TDM& dm, templates::TemplateOperations& templates, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Обследования и лечение"), QSize(1100, 760), parent), dm_(dm),
      investigations_(std::make_unique<treatment::Investigations>(dm, templates, *new word::DocumentView(this))),
      scheme_(std::make_unique<treatment::TreatmentScheme>(dm)),
      drugs_(std::make_unique<treatment::DrugReference>(dm))
{
    setObjectName(QStringLiteral("TForm6"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    c_.pages = new QTabWidget(this);
    c_.pages->setAccessibleName(QStringLiteral("Обследования и лечение"));
    c_.investigations = new treatment::InvestigationsPage(*investigations_, links, c_.pages);
    c_.treatment = new treatment::TreatmentPage(dm_, *scheme_, *drugs_, links,
                                                makeErrorReportButton(6, QStringLiteral("Лечение: ")), c_.pages);
    c_.pages->addTab(c_.investigations, QStringLiteral("Исследования"));
    c_.pages->addTab(c_.treatment, QStringLiteral("Лечение"));
    c_.pages->setCurrentWidget(c_.treatment);
    layout->addWidget(c_.pages);
    scheme_->savePatientCard = [this] {
        if (links.savePatientCard)
            links.savePatientCard();
    };
}

TForm6::~TForm6() = default;

void TForm6::showEvent(QShowEvent* event)
{
    ui::WorkstationWindow::showEvent(event);
    ui::guarded([this] { c_.treatment->windowShown(); })();
    activated();
}

void TForm6::changeEvent(QEvent* event)
{
    ui::WorkstationWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
}

void TForm6::activated()
{
    c_.investigations->windowActivated();
    ui::guarded([this] { c_.treatment->windowActivated(); })();
}

} // namespace talvora

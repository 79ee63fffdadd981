#pragma once
// The window "Обследования и лечение": the page "Исследования" (the
// patient's investigations written from the department's forms) and the
// page "Лечение" (the treatment scheme, the dose calculator and the drug
// reference), on which it opens. Its operations live in Investigations,
// TreatmentScheme and DrugReference; the window only builds the pages.

#include "treatment_links.h"
#include "ui/workstation_window.h"

#include <memory>

class QTabWidget;

namespace talvora::data {
class TDM;
}
namespace talvora::templates {
class TemplateOperations;
}

namespace talvora::treatment {
class DrugReference;
class Investigations;
class InvestigationsPage;
class TreatmentPage;
class TreatmentScheme;
}

namespace talvora {

class TForm6 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    TForm6(data::TDM& dm, templates::TemplateOperations& templates, QWidget* parent = nullptr);
    ~TForm6() override;

    // Filled in by the start-up code (Workstation).
    treatment::TreatmentWindowLinks links;

    treatment::Investigations& investigations() const { return *investigations_; }
    treatment::TreatmentScheme& scheme() const { return *scheme_; }
    treatment::DrugReference& drugs() const { return *drugs_; }

    struct Controls {
        QTabWidget* pages = nullptr;
        treatment::InvestigationsPage* investigations = nullptr;
        treatment::TreatmentPage* treatment = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void activated();

    data::TDM& dm_;
    std::unique_ptr<treatment::Investigations> investigations_;
    std::unique_ptr<treatment::TreatmentScheme> scheme_;
    std::unique_ptr<treatment::DrugReference> drugs_;
    Controls c_;
};

} // namespace talvora

#pragma once
// The page "Лечение" of the window "Обследования и лечение": above, the
// current patient's treatment scheme with the regimen field, the equal-doses
// calculator, the scheme's buttons and the two patient texts; below, the
// drug reference. It builds the controls and wires them to TreatmentScheme
// and DrugReference; the operations live there.

#include "treatment_links.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
}

namespace talvora::treatment {

class DrugReference;
class DrugReferencePanel;
class EqualDosesCalculator;
class TreatmentScheme;

class TreatmentPage : public QWidget {
    Q_OBJECT

public:
    // `links` is kept by reference: the window fills it in later.
    // `errorButton` is the page's error-report button, made by the window.
    TreatmentPage(data::TDM& dm, TreatmentScheme& scheme, DrugReference& drugs, const TreatmentWindowLinks& links,
                  QToolButton* errorButton, QWidget* parent = nullptr);

    // The window was shown: the drug reference is read again.
    void windowShown();
    // The window became active: the patient's name, weight and texts are
    // shown anew (texts changed here and not stored yet stay).
    void windowActivated();
    // The text editor stored the recommendations (kind 4) or the course of
    // treatment (kind 5) of `patient`: that memo shows the stored text.
    void textStored(int kind, const QVariant& patient);

    // The upper area's heights: the scheme alone, and with a text below.
    static constexpr int kSchemeHeight = 144;
    static constexpr int kSchemeWithTextHeight = 296;

    struct Controls {
        QWidget* upper = nullptr;
        QLabel *patientName = nullptr, *weight = nullptr;
        QToolButton* errorReport = nullptr;
        ui::DBGrid* scheme = nullptr;
        QLineEdit* regimen = nullptr;
        EqualDosesCalculator* calculator = nullptr;
        QPushButton *addToTreatment = nullptr, *removeFromTreatment = nullptr, *saveChanges = nullptr;
        QRadioButton *recommendationsChoice = nullptr, *courseChoice = nullptr, *referenceChoice = nullptr;
        QStackedWidget* texts = nullptr;
        QPlainTextEdit *recommendations = nullptr, *course = nullptr;
        DrugReferencePanel* reference = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildScheme(QWidget* left);
    void buildRight(QWidget* right);
    void wire();
    void showRegimen();
    void showTextChoice();
    void showPatient();
    void setTexts(const QString& recommendations, const QString& course);

    data::TDM& dm_;
    TreatmentScheme& scheme_;
    DrugReference& drugs_;
    const TreatmentWindowLinks& links_;
    Controls c_;
    bool loadingTexts_ = false;
};

} // namespace talvora::treatment

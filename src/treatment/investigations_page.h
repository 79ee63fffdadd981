#pragma once
// The page "Исследования" of the window "Обследования и лечение": the
// patient's name, the template-type list with the filter switch, the
// investigation list and the template list with their buttons, and the
// embedded editor. It builds the controls and wires them to Investigations;
// the operations live there.

#include "treatment_links.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace talvora::ui {
class DBGrid;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora::treatment {

class Investigations;

class InvestigationsPage : public QWidget {
    Q_OBJECT

public:
    // The page takes the editor of `ops` into its right part. `links` is
    // kept by reference: the window fills it in later.
    InvestigationsPage(Investigations& ops, const TreatmentWindowLinks& links, QWidget* parent = nullptr);

    // The window became active: the lists are read again after the filter
    // switch and the patient's name is shown anew. Errors are shown, not thrown.
    void windowActivated();

    word::DocumentView& editor() const;

    // The controls, for the window's tests.
    struct Controls {
        QLabel* patientName = nullptr;
        ui::DBGrid* typeList = nullptr;
        QCheckBox* filterOff = nullptr;
        QToolButton *deactivateWord = nullptr, *activateWord = nullptr;
        QToolButton* errorReport = nullptr;
        ui::DBGrid* investigationList = nullptr;
        QPushButton *addInvestigation = nullptr, *showInvestigation = nullptr;
        QToolButton* deleteInvestigation = nullptr;
        QPushButton *addTemplate = nullptr, *showTemplate = nullptr;
        QToolButton* deleteTemplate = nullptr;
        ui::DBGrid* templateList = nullptr;
        word::DocumentView* editor = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopBand();
    void buildLists(QWidget* left);
    void wire();
    void showFilter(bool off);
    void insertMarker();

    Investigations& ops_;
    const TreatmentWindowLinks& links_;
    Controls c_;
};

} // namespace talvora::treatment

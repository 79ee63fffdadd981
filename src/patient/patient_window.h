#pragma once
// The patient window "Пациент": the card, the six patient texts, the patient
// list with its filter band, and the tab "Отчеты". It builds the controls and
// wires them to the patient register; the operations live there.

#include "patient_card.h"
#include "patient_links.h"
#include "ui/workstation_window.h"

#include <QVariant>

#include <memory>

class QCheckBox;
class QProgressBar;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
class DBNavigator;
}
namespace talvora::word {
class DocumentView;
class MarkerTextBox;
}

namespace talvora {

namespace patient {
class PatientDocuments;
class PatientRegister;
}

class TForm3 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    // Building the window reads the patient list of the current department.
    explicit TForm3(data::TDM& dm, QWidget* parent = nullptr);
    ~TForm3() override;

    patient::PatientRegister& patients() const { return *register_; }
    patient::PatientDocuments& documents() const { return *documents_; }
    patient::PatientWindowLinks links;

    // The operations the other windows call (through the start-up's links).
    void RefreshPatientList();
    void DepartmentChanged();
    void SavePatientCard();
    // The panel "Выписка (по умолчанию)": the tab "Отчеты", the department's
    // default template, assembled for the patient on the card. Without a
    // default template nothing more happens.
    void StartDefaultDischarge();
    // "Собрать документ" on the tab's view.
    void AssembleInView();
    // The parts of the tab an assembly from another window uses (the progress panel).
    patient::AssemblyParts assemblyParts() const;
    // The department key of the list, taken when the list is re-read.
    const QVariant& currentDepartment() const;

    // What the card's controls hold now.
    patient::PatientCard cardFromControls() const;

    // The controls, for the windows' tests.
    struct Controls {
        QTabWidget* tabs = nullptr;
        QFrame* cardBand = nullptr;
        QLineEdit *surname = nullptr, *firstName = nullptr, *patronymic = nullptr;
        QLineEdit *birthDay = nullptr, *birthMonth = nullptr, *birthYear = nullptr;
        QLabel* age = nullptr;
        QLineEdit* weight = nullptr;
        QLineEdit* profession = nullptr;
        QRadioButton *male = nullptr, *female = nullptr;
        QLineEdit *admissionDay = nullptr, *admissionMonth = nullptr, *admissionYear = nullptr;
        QLineEdit *dischargeDay = nullptr, *dischargeMonth = nullptr, *dischargeYear = nullptr;
        QLineEdit *history = nullptr, *ward = nullptr;
        QLabel* stay = nullptr;
        QToolButton *create = nullptr, *save = nullptr, *remove = nullptr;
        QPushButton *treatment = nullptr, *discharge = nullptr;
        QPlainTextEdit *diagnosisClinical = nullptr, *diagnosisConcomitant = nullptr, *complaints = nullptr,
                       *anamnesis = nullptr, *somaticStatus = nullptr, *neuroStatus = nullptr;
        QPushButton* editAnamnesis = nullptr;
        QLabel* anamnesisCaption = nullptr;
        // The filter band.
        QRadioButton *notDischarged = nullptr, *all = nullptr;
        QCheckBox* extraFilters = nullptr;
        QLabel* found = nullptr;
        QFrame* extraPanel = nullptr;
        QCheckBox *wordOn = nullptr, *dateOn = nullptr, *ageOn = nullptr, *historyOn = nullptr, *wholeDatabase = nullptr;
        QLineEdit* word = nullptr;
        QLineEdit *filterDay = nullptr, *filterMonth = nullptr, *filterYear = nullptr;
        QLineEdit *ageFrom = nullptr, *ageTo = nullptr, *historyFrom = nullptr, *historyTo = nullptr;
        QToolButton* applyFilters = nullptr;
        ui::DBGrid* list = nullptr;
        QWidget* reportsTab = nullptr;
        // The tab "Отчеты".
        QToolButton *showDocument = nullptr, *storeDocument = nullptr, *deleteDocument = nullptr,
                    *exportDocument = nullptr, *cancelAssembly = nullptr, *assemble = nullptr;
        ui::DBGrid* documentList = nullptr;
        QCheckBox* showTemplates = nullptr;
        QWidget* templateChooser = nullptr;
        ui::DBGrid* typeGrid = nullptr;
        ui::DBNavigator* typeNavigator = nullptr;
        QPushButton* showTemplate = nullptr;
        QCheckBox* defaultTemplate = nullptr;
        ui::DBNavigator* templateNavigator = nullptr;
        ui::DBGrid* templateList = nullptr;
        QPushButton *closeDocument = nullptr, *activateDocument = nullptr;
        QToolButton* reportsErrorButton = nullptr;
        QWidget* progressPanel = nullptr;
        QProgressBar* progressBar = nullptr;
        word::DocumentView* view = nullptr;
        word::DocumentView* auxView = nullptr;
        word::MarkerTextBox* markerBox = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildCard(QWidget* page);
    void buildTexts(QWidget* page);
    void buildFilterBand(QWidget* page);
    void buildReportsTab();
    void wireReports();
    void wire();
    void showCard(const patient::PatientCard& card, const QString& age, const QString& stay);
    void birthYearLeft();
    void autoFillTexts();
    void focusMoved(QWidget* from, QWidget* to);
    void applyExtraFilters();
    void extraFiltersToggled(bool on);
    void clearExtraFilters();
    void setMarkerColumn(QWidget* w, const char* column);

    data::TDM& dm_;
    std::unique_ptr<patient::PatientRegister> register_;
    std::unique_ptr<patient::PatientDocuments> documents_;
    Controls c_;
    bool showing_ = false;
};

} // namespace talvora

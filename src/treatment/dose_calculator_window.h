#pragma once
// The dose calculator "калькулятор дозы": equal doses at every intake, or
// unequal doses over up to four intakes a day (morning, day, day, evening).
//
// The window holds no data: the page shows it with the patient's weight,
// gives it the regimen of the current prescription to show and writes what
// `calculated` and `regimenEdited` carry into that prescription.

#include "treatment/dose_calculation.h"
#include "ui/workstation_window.h"

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm8 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm8(data::TDM& dm, QWidget* parent = nullptr);

    // The heights of the two modes.
    static constexpr int kEqualDosesHeight = 223;
    static constexpr int kUnequalDosesHeight = 400;

    // The weight display: the patient's weight as the card shows it.
    void setPatientWeight(const QString& weightText);
    // The regimen of the current prescription, shown under "Результат: режим приема".
    void setRegimen(const QString& regimen);
    // What the page does: the weight, the mode "не равные дозы" (applied even
    // when it is already chosen) and the window shown.
    void showUnequalDoses(const QString& weightText);

    // The fields read into inputs (the weight is the weight display's text).
    treatment::EqualDosesInput equalDosesInput() const;
    treatment::UnequalDosesInput unequalDosesInput() const;

    // The two buttons "Вычислить": calculate, show the result and emit
    // `calculated`. They throw talvora::Error (the digits message) and then
    // show and emit nothing.
    void calculateEqualDoses();
    void calculateUnequalDoses();

    struct IntakeControls {
        QLabel* caption = nullptr;
        QLineEdit* dose = nullptr;
        QLineEdit* tablets = nullptr;
        QComboBox* fraction = nullptr;
    };
    struct Controls {
        QLabel* weight = nullptr;
        QRadioButton* equalDoses = nullptr;
        QRadioButton* unequalDoses = nullptr;
        QLineEdit* regimen = nullptr;
        // "Равные дозы"
        QGroupBox* equalPanel = nullptr;
        QLineEdit* dose = nullptr;
        QLineEdit* tablets = nullptr;
        QComboBox* fraction = nullptr;
        QLineEdit* intakes = nullptr;
        QLabel* equalDailyDose = nullptr;
        QLabel* equalDosePerKg = nullptr;
        QPushButton* calculateEqual = nullptr;
        // "Не равные дозы"
        QGroupBox* unequalPanel = nullptr;
        std::array<IntakeControls, 4> intakeRows;
        QLabel* unequalDailyDose = nullptr;
        QLabel* unequalDosePerKg = nullptr;
        QPushButton* calculateUnequal = nullptr;
    };
    const Controls& controls() const { return c_; }

signals:
    // The result to write into the current prescription.
    void calculated(const talvora::treatment::DoseResult& result);
    // The user changed the regimen text and left the field.
    void regimenEdited(const QString& regimen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopBand();
    void buildEqualPanel();
    void buildUnequalPanel();
    // Shows the panel of the chosen mode and sets the height.
    void applyMode();

    [[maybe_unused]] data::TDM& dm_;
    Controls c_;
};

} // namespace talvora

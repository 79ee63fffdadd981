#pragma once
// The equal-doses calculator of the page "Лечение": dose in one tablet *
// (whole tablets + a fraction) * intakes per day = the daily dose and the
// daily dose per kilogram of the patient's weight.
//
// It touches no data: the page gives it the patient's weight and writes what
// `calculated` carries into the current prescription. Only the button
// "Вычислить !" asks for that write; leaving the intakes field recomputes the
// displays alone. Choosing "не равные дозы" asks the page for the dialog.

#include "dose_calculation.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace talvora::treatment {

// A fraction box: the fraction list, "0" shown with no entry selected, a text
// may be typed.
QComboBox* makeFractionBox(QWidget* parent);
// What a fraction box counts: the entry whose caption its text is, or none.
FractionChoice fractionChoiceOf(const QComboBox* box);

// True when a focus change means the user left the field (not a window
// switch or a popup menu).
bool leftByUser(Qt::FocusReason reason);

class EqualDosesCalculator : public QWidget {
    Q_OBJECT

public:
    // `patientWeight` gives the current patient's weight as the card shows it
    // (empty when not set).
    explicit EqualDosesCalculator(std::function<QString()> patientWeight = {}, QWidget* parent = nullptr);

    void setPatientWeight(std::function<QString()> patientWeight);

    // The fields as typed, with the patient's weight.
    EqualDosesInput input() const;

    // Calculates from the fields and shows the result; throws talvora::Error
    // (the digits message) and then shows nothing.
    DoseResult recalculate();
    // The button: recalculate, then emit `calculated`.
    void calculate();

    struct Controls {
        QRadioButton* equalDoses = nullptr;
        QRadioButton* unequalDoses = nullptr;
        QLineEdit* dose = nullptr;
        QLineEdit* tablets = nullptr;
        QComboBox* fraction = nullptr;
        QLineEdit* intakes = nullptr;
        QLabel* dailyDose = nullptr;
        QLabel* dosePerKg = nullptr;
        QToolButton* calculate = nullptr;
    };
    const Controls& controls() const { return c_; }

signals:
    // The result to write into the current prescription.
    void calculated(const talvora::treatment::DoseResult& result);
    // "не равные дозы" has just been chosen.
    void unequalDosesChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<QString()> patientWeight_;
    Controls c_;
};

} // namespace talvora::treatment

#pragma once
// The start window "Старт": the department choice, the buttons that open
// the other windows, the service buttons and the error list below.

#include "ui/db_grid.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QProgressBar;
class QToolButton;
class QFrame;

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm1 : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeightWithoutErrors = 211;
    static constexpr int kHeightWithErrors = 465;

    // Created before the data module: the switches are set here, the data are
    // attached once the data module exists.
    explicit TForm1(QWidget* parent = nullptr);

    void attachData(data::TDM& dm);

    // What the buttons open; connected by the start-up.
    std::function<void()> openPatientWindow;
    std::function<void()> openTemplateDesigner;
    std::function<void()> openSettings;
    // The service buttons: archive, restore, export.
    std::function<void()> archiveDatabase;
    std::function<void()> restoreDatabase;
    std::function<void()> exportDocuments;
    // A click on a department cell: the patient list is re-read for it.
    std::function<void()> departmentClicked;
    // The window was closed: the program ends.
    std::function<void()> closed;

    ui::DBGrid* departmentGrid() const { return grid_; }
    QPushButton* patientButton() const { return patientButton_; }
    QPushButton* templatesButton() const { return templatesButton_; }
    QPushButton* settingsButton() const { return settingsButton_; }
    QToolButton* restoreButton() const { return restoreButton_; }
    QToolButton* archiveButton() const { return archiveButton_; }
    QToolButton* exportButton() const { return exportButton_; }
    QToolButton* errorListButton() const { return errorListButton_; }
    QProgressBar* progressBar() const { return progress_; }
    QFrame* documentViewSlot() const { return documentSlot_; }
    QWidget* errorListArea() const { return errorArea_; }

    // "сообщить об ошибке в программе": shows or hides the error list.
    void toggleErrorList();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ui::DBGrid* grid_ = nullptr;
    QPushButton* patientButton_ = nullptr;
    QPushButton* templatesButton_ = nullptr;
    QPushButton* settingsButton_ = nullptr;
    QToolButton* restoreButton_ = nullptr;
    QToolButton* archiveButton_ = nullptr;
    QToolButton* exportButton_ = nullptr;
    QToolButton* errorListButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QFrame* documentSlot_ = nullptr;
    QWidget* errorArea_ = nullptr;
};

} // namespace talvora

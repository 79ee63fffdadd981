#pragma once
// The settings window "Настройки": the departments with their template and
// document types on one page, the boilerplate library ("Рыбы") on the other.
// Its operations live in BoilerplateLibrary; the window only builds the
// controls and wires them.

#include "ui/workstation_window.h"

#include <QList>

#include <functional>
#include <memory>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBEdit;
class DBGrid;
class DBNavigator;
class DBRadioGroup;
}
namespace talvora::word {
class DocumentView;
}
namespace talvora::boilerplates {
class BoilerplateLibrary;
}

namespace talvora {

class TForm5 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm5(data::TDM& dm, QWidget* parent = nullptr);
    ~TForm5() override;

    // Filled in by the start-up code; each does nothing while empty.
    struct Links {
        // "Мастер настройки": the first-run setup wizard.
        std::function<void()> openWizard;
        // "Создать шаблон ": the creation dialog, which begins the new row.
        std::function<void()> openCreationDialog;
    };
    Links links;

    boilerplates::BoilerplateLibrary& library() const { return *library_; }

    struct Controls {
        QToolButton* wizard = nullptr;
        QTabWidget* pages = nullptr;
        QWidget* departmentPage = nullptr;
        QWidget* boilerplatePage = nullptr;
        // "Отделение и типы документов"
        ui::DBGrid* departments = nullptr;
        ui::DBNavigator* departmentNavigator = nullptr;
        ui::DBGrid* templateTypes = nullptr;
        ui::DBNavigator* templateTypeNavigator = nullptr;
        ui::DBGrid* documentTypes = nullptr;
        ui::DBNavigator* documentTypeNavigator = nullptr;
        // "Рыбы"
        ui::DBGrid* boilerplateDepartments = nullptr;
        QButtonGroup* kinds = nullptr;
        QList<QRadioButton*> kindChoices; // kinds 1 to 5
        ui::DBGrid* boilerplates = nullptr;
        QPushButton* create = nullptr;
        ui::DBRadioGroup* sex = nullptr;
        QLabel* minLabel = nullptr;
        ui::DBEdit* minAge = nullptr;
        QLabel* maxLabel = nullptr;
        ui::DBEdit* maxAge = nullptr;
        QLabel* years = nullptr;
        QToolButton* save = nullptr;
        QToolButton* remove = nullptr;
        QToolButton* deactivateWord = nullptr;
        QToolButton* activateWord = nullptr;
        word::DocumentView* editor = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildDepartmentPage();
    QWidget* buildBoilerplatePage();
    void wire();
    void showKind(int kind);

    data::TDM& dm_;
    std::unique_ptr<boilerplates::BoilerplateLibrary> library_;
    Controls c_;
};

} // namespace talvora

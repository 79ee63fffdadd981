#pragma once
// The first-run setup wizard "Мастер первичной настройки": a naming page that
// creates the workplace of a new department, and an import page that copies
// another department's boilerplates, template types and templates into it.
// Its operations live in service::SetupWizard; the window builds the two
// pages and wires them. It keeps its page and field contents between
// openings.

#include "ui/workstation_window.h"

#include <QList>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
}
namespace talvora::service {
class SetupWizard;
}

namespace talvora {

class TForm11 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm11(data::TDM& dm, QWidget* parent = nullptr);
    ~TForm11() override;

    // Filled in by the start-up code; each does nothing while empty.
    struct Links {
        // The settings window with its page of boilerplates in front (the
        // boilerplates are then entered by hand).
        std::function<void()> openBoilerplateSettings;
    };
    Links links;

    service::SetupWizard& wizard() const { return *wizard_; }

    struct Controls {
        QStackedWidget* pages = nullptr;
        QWidget* namingPage = nullptr;
        QWidget* importPage = nullptr;
        // "Название больницы и отделения"
        QLineEdit* hospital = nullptr;
        QLineEdit* department = nullptr;
        // "Типы шаблонов служебных документов": the document types stored
        QList<QLineEdit*> documentTypes;
        // "Типы результирующих документов": shown, nothing stored from them
        QList<QLineEdit*> resultTypes;
        QToolButton* namingErrorReport = nullptr;
        QPushButton* create = nullptr;
        // The import page.
        QLabel* target = nullptr;
        ui::DBGrid* sources = nullptr;
        QPushButton* startImport = nullptr;
        QToolButton* importErrorReport = nullptr;
        QWidget* progressPanel = nullptr;
        QProgressBar* progressBar = nullptr;
        QLabel* percent = nullptr;
        QLabel* copying = nullptr;
    };
    const Controls& controls() const { return c_; }

    // "Создать  !" and "Начать импорт!".
    void CreateClick();
    void StartImportClick();

private:
    QWidget* buildNamingPage();
    QWidget* buildImportPage();

    data::TDM& dm_;
    std::unique_ptr<service::SetupWizard> wizard_;
    Controls c_;
};

} // namespace talvora

#pragma once
// The template designer: templates are viewed, edited, stored and test-assembled here.
// The window builds the controls and wires them to TemplateDesigner; beside
// the document, the marker panel; in the document, the markers highlighted.

#include "templates/document_assembly.h"
#include "ui/workstation_window.h"

#include <functional>
#include <memory>

class QCheckBox;
class QProgressBar;
class QSplitter;
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

namespace talvora::templates {
class MarkerHighlighter;
class MarkerPanel;
class MarkerToolTips;
class TemplateDesigner;
class TemplateOperations;
}

namespace talvora {

// What the designer asks of the other windows; empty links do nothing.
struct DesignerLinks {
    // The patient window's progress panel, shown while a test assembly runs.
    std::function<templates::AssemblyProgress()> assemblyProgress;
};

class TForm2 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    struct Controls {
        QProgressBar* progress = nullptr; // stays hidden
        QToolButton* showTemplate = nullptr;
        QToolButton* storeTemplate = nullptr;
        QToolButton* replaceTemplate = nullptr;
        QToolButton* newTemplate = nullptr;
        QToolButton* activateWord = nullptr;
        QToolButton* deactivateWord = nullptr;
        QToolButton* insertTemplateMarker = nullptr;
        QToolButton* assemble = nullptr;
        QToolButton* cancelAssembly = nullptr; // "<-"
        QCheckBox* insertionMode = nullptr;
        ui::DBGrid* departments = nullptr;
        ui::DBNavigator* departmentNavigator = nullptr;
        ui::DBGrid* templateTypes = nullptr;
        ui::DBNavigator* typeNavigator = nullptr;
        ui::DBNavigator* templateNavigator = nullptr;
        QToolButton* deleteTemplate = nullptr;
        QCheckBox* viewMode = nullptr;
        ui::DBGrid* templates = nullptr;
        QSplitter* splitter = nullptr;
        word::DocumentView* view = nullptr;
        templates::MarkerPanel* markerPanel = nullptr;
        word::DocumentView* auxView = nullptr;   // hidden
        word::MarkerTextBox* markerBox = nullptr; // hidden
    };

    // Built before the data module; attachData connects it once that exists.
    // Creates the program's before-assembly buffer; the destructor frees it.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;
    void attachData(data::TDM& dm, templates::TemplateOperations& operations, templates::DocumentAssembly& assembly);

    const Controls& controls() const { return c_; }
    // Null until attachData.
    templates::TemplateDesigner* designer() const { return designer_; }
    templates::MarkerHighlighter* highlighter() const { return highlighter_; }

    // Reads the department's template types and templates again for the
    // marker panel and the highlighter.
    void reloadMarkers();

    DesignerLinks links;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLeftColumn(QWidget* column);
    void wire();

    Controls c_;
    data::TDM* dm_ = nullptr;
    templates::TemplateDesigner* designer_ = nullptr;
    templates::MarkerHighlighter* highlighter_ = nullptr;
};

} // namespace talvora

#pragma once
// The lower area of the page "Лечение": the drug reference in three columns
// (macrogroups, groups, drugs), the drug editor and the notes. It builds
// the controls and wires them to DrugReference; the operations live there.

#include "drug_reference.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBEdit;
class DBGrid;
class DBMemo;
}

namespace talvora::treatment {

class DrugReferencePanel : public QWidget {
    Q_OBJECT

public:
    DrugReferencePanel(data::TDM& dm, DrugReference& drugs, QWidget* parent = nullptr);

    struct Controls {
        QToolButton *newMacrogroup = nullptr, *renameMacrogroup = nullptr, *deleteMacrogroup = nullptr;
        QToolButton *newGroup = nullptr, *renameGroup = nullptr, *deleteGroup = nullptr;
        QToolButton *newDrug = nullptr, *changeDrug = nullptr, *deleteDrug = nullptr;
        ui::DBGrid *macrogroups = nullptr, *groups = nullptr, *drugs = nullptr;
        QStackedWidget* notesStrip = nullptr;
        QWidget *details = nullptr, *editor = nullptr;
        ui::DBEdit *name = nullptr, *dose = nullptr, *intakes = nullptr, *latinName = nullptr, *price = nullptr;
        QPushButton *storeDrug = nullptr, *cancelDrug = nullptr;
        ui::DBMemo* notes = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMacrogroups(QWidget* column);
    void buildGroups(QWidget* column);
    void buildDrugs(QWidget* column);
    void wire();
    void showEditorState(DrugReference::EditorState state);
    void flushEditor();
    void macrogroupChosen();

    data::TDM& dm_;
    DrugReference& drugs_;
    Controls c_;
};

} // namespace talvora::treatment

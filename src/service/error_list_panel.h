#pragma once
// The error list at the bottom of the start window: the header with the
// filter switch, the send button and the record navigator, the filter band,
// the grid of reports (edited in place, sorted by a title click) and the
// description of the current report. The operations live in ErrorList.

#include "service/error_list.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QGroupBox;
class QRadioButton;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
class DBMemo;
class DBNavigator;
}

namespace talvora::service {

class ErrorListPanel : public QWidget {
    Q_OBJECT

public:
    explicit ErrorListPanel(data::TDM& dm, QWidget* parent = nullptr);

    ErrorList& errorList() { return list_; }

    struct Controls {
        QLabel* header = nullptr;
        QCheckBox* showFilters = nullptr;
        QToolButton* send = nullptr;
        ui::DBNavigator* navigator = nullptr;
        QWidget* filterBand = nullptr;
        QLineEdit *form = nullptr, *status = nullptr;
        QGroupBox* conjunction = nullptr;
        QRadioButton *andChoice = nullptr, *orChoice = nullptr;
        QToolButton* applyFilter = nullptr;
        QLabel* message = nullptr;
        ui::DBGrid* grid = nullptr;
        ui::DBMemo* description = nullptr;
    };
    const Controls& controls() const { return c_; }

private:
    void buildHeader();
    void buildFilterBand();
    void buildList();
    void wire();
    void filtersSwitched(bool on);
    void applyFilter();
    void send();

    data::TDM& dm_;
    ErrorList list_;
    Controls c_;
};

} // namespace talvora::service

#pragma once
// The dialog "Создание шаблона": a new boilerplate of the kind chosen on the
// settings page, with its name, age bounds, sex and document. The row it
// fills is begun and stored (or dropped) by BoilerplateLibrary; the dialog
// is not modal, so the kind may still be changed on the settings page while
// it is open.

#include "ui/workstation_window.h"

#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace talvora::data {
class TDM;
}
namespace talvora::word {
class DocumentView;
}
namespace talvora::boilerplates {
class BoilerplateLibrary;
}

namespace talvora {

class TForm10 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm10(data::TDM& dm, QWidget* parent = nullptr);
    ~TForm10() override;

    // The library whose rows the dialog makes (the settings window's).
    void attach(boilerplates::BoilerplateLibrary& library);
    // "Создать шаблон ": begins the new row and shows the dialog, centred on
    // the screen, with empty name and bounds.
    void openForNewBoilerplate();

    // "Сохранить ": stores the boilerplate and hides the dialog; when the
    // bounds are to be corrected it stays open. "Cancel": drops the row.
    void save();
    void cancel();

    struct Controls {
        QLabel* nameLabel = nullptr;
        QLineEdit* name = nullptr;
        QLabel* boundsLabel = nullptr;
        QLabel* minLabel = nullptr;
        QLineEdit* minAge = nullptr;
        QLabel* maxLabel = nullptr;
        QLineEdit* maxAge = nullptr;
        QLabel* sexLabel = nullptr;
        QRadioButton *male = nullptr, *female = nullptr, *either = nullptr;
        QPushButton* save = nullptr;
        QPushButton* cancel = nullptr;
        QToolButton* activateWord = nullptr;
        QToolButton* deactivateWord = nullptr;
        word::DocumentView* editor = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    int chosenSex() const;

    data::TDM& dm_;
    QPointer<boilerplates::BoilerplateLibrary> library_;
    Controls c_;
};

} // namespace talvora

#pragma once
// The text editor of the patient texts (anamnesis, the two statuses, the
// recommendations and the treatment comments): the boilerplates that fit the
// patient above, the document below. Who it edits for and what it stores is
// PatientTexts'; the window shows, asks before closing unsaved, and hands
// "Сохранить изменения" to its link.

#include "ui/workstation_window.h"

#include <functional>

class QToolButton;
class QPushButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora {

class TForm4 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm4(data::TDM& dm, QWidget* parent = nullptr);

    struct Links {
        // "Сохранить изменения": the editor's text into the patient row.
        std::function<void()> store;
        // "Настр. шаблонов": the settings window.
        std::function<void()> openSettings;
    };
    Links links;

    // Shows the window for a text kind with its caption; not saved yet.
    void openFor(int kind, const QString& caption);
    int mode() const { return mode_; }
    bool saved() const { return saved_; }

    // A boilerplate became current in the list: it replaces the editor's
    // document, after a question when the doctor changed that document.
    // Ignored while the window is hidden (an opening fills it anew).
    void offerBoilerplate(const QByteArray& blob);

    word::DocumentView& editor() const { return *c_.editor; }

    // "Сохранить изменения": stores, marks saved and hides the window.
    void save();

    struct Controls {
        QToolButton *closeDocument = nullptr, *activateDocument = nullptr, *save = nullptr, *showBoilerplate = nullptr,
                    *toggleToolbars = nullptr;
        QPushButton* settings = nullptr;
        ui::DBGrid* boilerplates = nullptr;
        word::DocumentView* editor = nullptr;
    };
    const Controls& controls() const { return c_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showCurrentBoilerplate();
    void toggleToolbars();

    data::TDM& dm_;
    Controls c_;
    int mode_ = 0;
    bool saved_ = false;
};

} // namespace talvora

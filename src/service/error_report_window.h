#pragma once
// The error-report dialog "Сообщение об ошибке программы": the user writes a
// title and a description, "Сохранить!" stores them in the workstation's
// error list with the window the report came from. Not modal; its fields
// keep their text between openings.

#include "service/error_reports.h"
#include "ui/workstation_window.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm9 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    static constexpr int kVersion = ErrorReports::kVersion;

    explicit TForm9(data::TDM& dm, QWidget* parent = nullptr);
    ~TForm9() override;

    // Remembers the window and the prefix, shows the dialog.
    void ReportError(int windowNumber, const QString& prefix);
    int windowNumber() const { return windowNumber_; }
    const QString& prefix() const { return prefix_; }

    QLineEdit* titleEdit() const { return title_; }
    QPlainTextEdit* descriptionEdit() const { return description_; }
    QPushButton* saveButton() const { return save_; }

    // "Сохранить!": appends the report to the error list and hides the dialog.
    void SaveReport();

private:
    ErrorReports reports_;
    QLineEdit* title_;
    QPlainTextEdit* description_;
    QPushButton* save_;
    int windowNumber_ = 0;
    QString prefix_;
};

} // namespace talvora

#pragma once
// The frame every window of the workstation shares: its caption and size,
// hidden until opened, and the small button "сообщить об ошибке в программе"
// that opens the error-report dialog with the window's number and prefix.
//
// A window made with a number and a prefix gets a vertical layout whose first
// row is a bar with the error-report button at its right end; the window adds
// its own content below (or moves the button where its design wants it).

#include <QWidget>

#include <functional>

class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

namespace talvora::ui {

class WorkstationWindow : public QWidget {
    Q_OBJECT

public:
    // A window without the error-report button (the dialogs that have none).
    WorkstationWindow(const QString& caption, QSize size, QWidget* parent = nullptr);
    // A window with the error-report button for ReportError(windowNumber, prefix).
    WorkstationWindow(const QString& caption, QSize size, int windowNumber, const QString& prefix,
                      QWidget* parent = nullptr);

    // A button with the error-report hint that calls ReportError(window, prefix).
    QToolButton* makeErrorReportButton(int windowNumber, const QString& prefix, QWidget* parent = nullptr);

    // The frame's parts; null for a window made without a number.
    QToolButton* errorReportButton() const { return errorButton_; }
    QVBoxLayout* frameLayout() const { return frameLayout_; }
    QHBoxLayout* topBar() const { return topBar_; }

    // Shows the window beside the one it was opened from and brings it forward.
    void open();

private:
    QToolButton* errorButton_ = nullptr;
    QVBoxLayout* frameLayout_ = nullptr;
    QHBoxLayout* topBar_ = nullptr;
};

// Opens the error-report dialog for a window; the dialog registers itself.
void ReportError(int windowNumber, const QString& prefix);
void setReportErrorHandler(std::function<void(int, const QString&)> handler);

inline const char* const kErrorReportHint = "сообщить об ошибке в программе";

} // namespace talvora::ui

#pragma once
// The frame every window of the workstation shares: its caption and size,
// hidden until opened, and the small button "сообщить об ошибке в программе"
// that opens the error-report dialog with the window's number and prefix.

#include <QWidget>

#include <functional>

class QToolButton;

namespace talvora::ui {

class WorkstationWindow : public QWidget {
    Q_OBJECT

public:
    WorkstationWindow(const QString& caption, QSize size, QWidget* parent = nullptr);

    // A button with the error-report hint that calls ReportError(window, prefix).
    QToolButton* makeErrorReportButton(int windowNumber, const QString& prefix, QWidget* parent = nullptr);

    // Shows the window beside the one it was opened from and brings it forward.
    void open();
};

// Opens the error-report dialog for a window; the dialog registers itself.
void ReportError(int windowNumber, const QString& prefix);
void setReportErrorHandler(std::function<void(int, const QString&)> handler);

inline const char* const kErrorReportHint = "сообщить об ошибке в программе";

} // namespace talvora::ui

#include "workstation_window.h"

#include "error_display.h"
#include "hint_button.h"

#include <QStyle>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::ui {

namespace {

std::function<void(int, const QString&)>& reportHandler()
{
    static std::function<void(int, const QString&)> handler;
    return handler;
}

} // namespace

WorkstationWindow::WorkstationWindow(const QString& caption, QSize size, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(caption);
    resize(size);
}

WorkstationWindow::WorkstationWindow(const QString& caption, QSize size, int windowNumber, const QString& prefix,
                                     QWidget* parent)
    : WorkstationWindow(caption, size, parent)
{
    frameLayout_ = new QVBoxLayout(this);
    topBar_ = new QHBoxLayout;
    topBar_->addStretch();
    errorButton_ = makeErrorReportButton(windowNumber, prefix);
    topBar_->addWidget(errorButton_);
    frameLayout_->addLayout(topBar_);
}

QToolButton* WorkstationWindow::makeErrorReportButton(int windowNumber, const QString& prefix, QWidget* parent)
{
    QToolButton* b = hintButton(parent ? parent : this, QStyle::SP_MessageBoxWarning, QString::fromUtf8(kErrorReportHint),
                                "errorReportButton");
    connect(b, &QToolButton::clicked, this, guarded([windowNumber, prefix] { ReportError(windowNumber, prefix); }));
    return b;
}

void WorkstationWindow::open()
{
    show();
    raise();
    activateWindow();
}

void ReportError(int windowNumber, const QString& prefix)
{
    if (reportHandler())
        reportHandler()(windowNumber, prefix);
}

void setReportErrorHandler(std::function<void(int, const QString&)> handler)
{
    reportHandler() = std::move(handler);
}

} // namespace talvora::ui

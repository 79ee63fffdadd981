#include "dialog_service.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace talvora {

namespace {

DialogService* installed = nullptr;

QString orDefault(const QString& caption, const QString& fallback)
{
    return caption.isEmpty() ? fallback : caption;
}

QString programCaption()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Talvora") : name;
}

// Shows a question box and tells whether Yes was the button pressed.
bool askYes(QWidget* parent, const QString& caption, const QString& text,
            QMessageBox::StandardButton other)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | other, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(other);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

void tell(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

QString runFileDialog(QWidget* parent, const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent, request.caption, request.directory, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

} // namespace

QtDialogService::QtDialogService(QWidget* parent) : parent_(parent) {}

QWidget* QtDialogService::parentWidget() const
{
    return parent_ ? parent_ : QApplication::activeWindow();
}

bool QtDialogService::confirm(const QString& text, const QString& caption)
{
    return askYes(parentWidget(), orDefault(caption, QStringLiteral("Подтверждение")), text,
                  QMessageBox::No);
}

bool QtDialogService::confirmOrCancel(const QString& text, const QString& caption)
{
    return askYes(parentWidget(), orDefault(caption, QStringLiteral("Подтверждение")), text,
                  QMessageBox::Cancel);
}

void QtDialogService::notice(const QString& text, const QString& caption)
{
    tell(parentWidget(), QMessageBox::NoIcon, orDefault(caption, programCaption()), text);
}

void QtDialogService::error(const QString& text, const QString& caption)
{
    tell(parentWidget(), QMessageBox::Critical, orDefault(caption, QStringLiteral("Ошибка")), text);
}

QString QtDialogService::input(const QString& caption, const QString& prompt,
                               const QString& defaultText)
{
    QInputDialog dialog(parentWidget());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return defaultText;
    return dialog.textValue();
}

QString QtDialogService::openFileName(const FileDialogRequest& request)
{
    return runFileDialog(parentWidget(), request, /*save=*/false);
}

QString QtDialogService::saveFileName(const FileDialogRequest& request)
{
    return runFileDialog(parentWidget(), request, /*save=*/true);
}

QString QtDialogService::folderName(const FileDialogRequest& request)
{
    return QFileDialog::getExistingDirectory(parentWidget(), request.caption, request.directory);
}

QString DialogService::folderName(const FileDialogRequest& request)
{
    const QString file = openFileName(request);
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}

DialogService& dialogs()
{
    static QtDialogService real;
    return installed ? *installed : real;
}

DialogService* setDialogs(DialogService* service)
{
    DialogService* before = installed;
    installed = service;
    return before;
}

} // namespace talvora

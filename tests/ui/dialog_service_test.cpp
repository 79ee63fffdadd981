// The real dialogs, shown offscreen and answered by a timer.
#include "ui/dialog_service.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace talvora;

namespace {

// Runs `act` on the modal dialog of type D as soon as it shows. A dialog of
// another type, or none within five seconds, fails the test and is closed.
template <class D>
void whenShown(std::function<void(D*)> act)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<D*>(modal)) {
            timer->stop();
            act(dialog);
        } else if (clock->elapsed() > 5000) {
            timer->stop();
            ADD_FAILURE() << "the expected dialog did not show";
            if (auto* other = qobject_cast<QDialog*>(modal))
                other->reject();
        } else {
            return;
        }
        timer->deleteLater();
        delete clock;
    });
    timer->start();
}

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString caption;
    QString text;
};

// Shows nothing itself: notes what the box showed, then presses `button`
// (or Escape when `button` is NoButton).
void answerBox(SeenBox& seen, QMessageBox::StandardButton button)
{
    whenShown<QMessageBox>([&seen, button](QMessageBox* box) {
        seen = {box->icon(), box->standardButtons(), box->windowTitle(), box->text()};
        if (button == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(button)->click();
    });
}

// Accepts the file dialog as a user would: typing `path` (when given) into
// the name field and pressing the accept button.
void acceptFile(QFileDialog* dialog, const QString& path)
{
    if (!path.isEmpty())
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
    static_cast<QDialog*>(dialog)->accept();
    if (dialog->isVisible()) {
        ADD_FAILURE() << "the file dialog did not accept " << path.toStdString();
        dialog->reject();
    }
}

} // namespace

TEST(QtDialogs, QuestionsGoOnOnlyWithYesAndNoticesArePlain)
{
    QtDialogService service;
    SeenBox seen;

    answerBox(seen, QMessageBox::Yes);
    EXPECT_TRUE(service.confirm("Удалить документ ?"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.text, "Удалить документ ?");
    answerBox(seen, QMessageBox::No);
    EXPECT_FALSE(service.confirm("Удалить шаблон?", "Шаблоны"));
    EXPECT_EQ(seen.caption, "Шаблоны");
    answerBox(seen, QMessageBox::NoButton);
    EXPECT_FALSE(service.confirm("Удалить шаблон?"));

    answerBox(seen, QMessageBox::Yes);
    EXPECT_TRUE(service.confirmOrCancel("Импортировать?"));
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::Cancel);
    answerBox(seen, QMessageBox::NoButton);
    EXPECT_FALSE(service.confirmOrCancel("Импортировать?"));

    answerBox(seen, QMessageBox::Ok);
    service.notice("Сначала выбрать препарат !");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    answerBox(seen, QMessageBox::Ok);
    service.error("Нет базы данных");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(QtDialogs, InputBoxGivesTheTypedTextOrOnCancelTheDefault)
{
    QtDialogService service;
    QString caption, prompt, shown;

    whenShown<QInputDialog>([&](QInputDialog* dialog) {
        caption = dialog->windowTitle();
        prompt = dialog->labelText();
        shown = dialog->textValue();
        dialog->setTextValue("Выписка 2");
        dialog->accept();
    });
    EXPECT_EQ(service.input("Новый шаблон", "Имя шаблона", "Шаблон"), "Выписка 2");
    EXPECT_EQ(caption, "Новый шаблон");
    EXPECT_EQ(prompt, "Имя шаблона");
    EXPECT_EQ(shown, "Шаблон");

    // What was typed before cancelling does not count.
    whenShown<QInputDialog>([](QInputDialog* dialog) {
        dialog->setTextValue("не то");
        dialog->reject();
    });
    EXPECT_EQ(service.input("Новый шаблон", "Имя шаблона", "Шаблон"), "Шаблон");
}

TEST(QtDialogs, FileDialogsReturnThePathOrNothingOnCancel)
{
    QtDialogService service;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString archive = dir.filePath("Base01.rar");
    QFile(archive).open(QIODevice::WriteOnly);

    const FileDialogRequest open{"Архив", dir.path(), {}, "RAR files (*.rar)", {}};
    QStringList filters;
    QString directory;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        directory = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_EQ(service.openFileName(open), "");
    EXPECT_EQ(filters, QStringList{"RAR files (*.rar)"});
    EXPECT_EQ(directory, QDir(dir.path()).absolutePath());

    whenShown<QFileDialog>([&](QFileDialog* dialog) { acceptFile(dialog, archive); });
    EXPECT_EQ(service.openFileName(open), archive);

    // A save dialog proposes the name and adds the extension.
    const FileDialogRequest save{"Сохранить архив", dir.path(), "base", "RAR files (*.rar)", "rar"};
    whenShown<QFileDialog>([](QFileDialog* dialog) { acceptFile(dialog, QString()); });
    EXPECT_EQ(service.saveFileName(save), dir.filePath("base.rar"));

    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(service.saveFileName(save), "");
}

TEST(QtDialogs, TheProgramUsesTheRealDialogsUnlessTold)
{
    EXPECT_NE(dynamic_cast<QtDialogService*>(&dialogs()), nullptr);
    QtDialogService other;
    EXPECT_EQ(setDialogs(&other), nullptr);
    EXPECT_EQ(&dialogs(), &other);
    EXPECT_EQ(setDialogs(nullptr), &other);
}

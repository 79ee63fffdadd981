#include "app/workstation.h"
#include "boilerplates/boilerplate_dialog.h"
#include "boilerplates/settings_window.h"
#include "boilerplates/text_editor_window.h"
#include "common/disk_serial.h"
#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "patient/document_type_dialog.h"
#include "patient/patient_window.h"
#include "service/error_report_window.h"
#include "service/error_reports.h"
#include "service/setup_wizard.h"
#include "templates/designer_window.h"
#include "temp_databases.h"
#include "treatment/dose_calculator_window.h"
#include "treatment/treatment_window.h"
#include "ui/scripted_dialogs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace talvora;

namespace {

class FixedSerial : public DiskSerialSource {
public:
    QString serial() override { return QStringLiteral("WD-123456"); }
};

class ErrorReporting : public ::testing::Test {
protected:
    void SetUp() override { setDiskSerialSource(&serial); }
    void TearDown() override { setDiskSerialSource(nullptr); }

    test::TempDatabases dbs;
    ScriptedDialogs dialogs;
    FixedSerial serial;
};

} // namespace

TEST_F(ErrorReporting, AWindowsButtonOpensTheDialogAndSavingStoresTheReport)
{
    Workstation ws(dbs.aliases());
    auto* button = ws.form3->findChild<QToolButton*>(QStringLiteral("errorReportButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    TForm9& dialog = *ws.form9;
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowNumber(), 3);
    EXPECT_EQ(dialog.prefix(), QStringLiteral("Пациент: "));

    dialog.titleEdit()->setText(QString(300, u'т'));
    dialog.descriptionEdit()->setPlainText(QStringLiteral("строка 1\nстрока 2"));
    dialog.saveButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    // The fields keep their text for the next opening.
    EXPECT_EQ(dialog.titleEdit()->text().size(), 300);

    const QVariant name = dbs.scalar(QStringLiteral("select ErrName from Errors"));
    EXPECT_EQ(name.toString().size(), 255);
    EXPECT_TRUE(name.toString().startsWith(QStringLiteral("Пациент: ттт")));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrMem from Errors")).toString(), QStringLiteral("строка 1\r\nстрока 2"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrProg from Errors")).toString(), QStringLiteral("Talvora"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrVers from Errors")).toInt(), 230608);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrOwner from Errors")).toString(), QStringLiteral("WD-123456"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrStatus from Errors")).toInt(), 1);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrForm from Errors")).toInt(), 3);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrDate from Errors")).toDate(), QDate::currentDate());
}

TEST_F(ErrorReporting, EveryWindowsButtonsReportTheirOwnNumberAndPrefix)
{
    Workstation ws(dbs.aliases());
    const struct {
        ui::WorkstationWindow* window;
        int number;
        QStringList prefixes; // one per button, in the window's order
    } windows[] = {
        {ws.form2.get(), 2, {"Конструктор шаблонов: "}},
        {ws.form3.get(), 3, {"Пациент: "}},
        {ws.form4.get(), 4, {"Анамнез пациента WORD: "}},
        {ws.form5.get(), 4, {"Настройки: "}},
        {ws.form6.get(), 6, {"Исследования: ", "Лечение: "}},
        {ws.form7.get(), 7, {"Тип документа при сохранении: "}},
        {ws.form8.get(), 8, {"Калькулятор дозы: "}},
        {ws.form11.get(), 11, {"Мастер 1-чн настр (импорт): ", "Мастер 1-чн настр (названия): "}},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.window->objectName().toStdString());
        const auto buttons = w.window->findChildren<QToolButton*>(QStringLiteral("errorReportButton"));
        ASSERT_EQ(buttons.size(), w.prefixes.size());
        QStringList reported;
        for (QToolButton* b : buttons) {
            EXPECT_EQ(b->accessibleName(), QString::fromUtf8(ui::kErrorReportHint));
            b->click();
            EXPECT_EQ(ws.form9->windowNumber(), w.number);
            reported << ws.form9->prefix();
            ws.form9->hide();
        }
        reported.sort();
        EXPECT_EQ(reported, w.prefixes);
    }
    // The boilerplate creation dialog has no button of its own.
    EXPECT_EQ(ws.form10->findChild<QToolButton*>(QStringLiteral("errorReportButton")), nullptr);
    EXPECT_EQ(ws.form10->errorReportButton(), nullptr);
}

TEST_F(ErrorReporting, DefaultsOnNewRowsOfTheListAndTheDateRenewedOnEdit)
{
    dbs.sql(QStringLiteral("insert into Errors (ErrName, ErrDate, ErrStatus, ErrOwner) values (\"старое\", \"01.01.2020\", 2, \"X\")"));
    Workstation ws(dbs.aliases());
    data::Dataset& list = *ws.dm->Err_q;
    list.edit();
    EXPECT_EQ(list.field(QStringLiteral("ErrDate")).asDate(), QDate::currentDate());
    EXPECT_EQ(list.field(QStringLiteral("ErrStatus")).asInteger(), 2);
    EXPECT_EQ(list.field(QStringLiteral("ErrOwner")).asString(), QStringLiteral("X"));
    list.cancel();
    list.append();
    EXPECT_EQ(list.field(QStringLiteral("ErrStatus")).asInteger(), 1);
    EXPECT_EQ(list.field(QStringLiteral("ErrProg")).asString(), QStringLiteral("Talvora"));
    EXPECT_TRUE(list.field(QStringLiteral("ErrForm")).isNull());
    list.post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 2);
}

TEST_F(ErrorReporting, AReportWithoutADiskSerialIsStoredAllTheSame)
{
    class NoSerial : public DiskSerialSource {
    public:
        QString serial() override { return {}; }
    } none;
    setDiskSerialSource(&none);
    Workstation ws(dbs.aliases());
    ui::ReportError(8, QStringLiteral("Калькулятор дозы: "));
    ws.form9->titleEdit()->setText(QStringLiteral("не считает"));
    ws.form9->SaveReport();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrName from Errors")).toString(), QStringLiteral("Калькулятор дозы: не считает"));
    EXPECT_TRUE(dbs.scalar(QStringLiteral("select ErrOwner from Errors")).toString().isEmpty());
}

TEST_F(ErrorReporting, AReportThatCannotBeStoredLeavesNothingHalfWritten)
{
    data::TDM dm(dbs.aliases());
    ErrorReports reports(dm);
    bool refuse = true;
    dm.Error_t->beforePost = [&](data::Dataset&) {
        if (refuse)
            throw Error(QStringLiteral("диск полон"));
    };
    EXPECT_THROW(reports.SaveReport(6, QStringLiteral("Исследования: "), QStringLiteral("первое"), {}), Error);
    EXPECT_FALSE(dm.Error_t->editing());

    // The next report is stored alone, not together with the failed one.
    refuse = false;
    reports.SaveReport(8, QStringLiteral("Калькулятор дозы: "), QStringLiteral("второе"),
                       QStringLiteral("строка 1\r\nстрока 2\nстрока 3"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 1);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrName from Errors")).toString(),
              QStringLiteral("Калькулятор дозы: второе"));
    // Line breaks are stored as CR LF once, whichever form they came in.
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrMem from Errors")).toString(),
              QStringLiteral("строка 1\r\nстрока 2\r\nстрока 3"));
}

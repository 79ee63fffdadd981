// Pictures of the program for the README, taken from the databases the
// program itself would open (scripts/screenshots.sh points them at a demo
// department): the patient window with a discharged patient chosen, and
// that patient's stored discharge summary shown in the "Отчеты" tab.
//
//     talvora-screenshots DIR    writes DIR/patient_window.png and DIR/discharge_summary.png

#include "app/application.h"
#include "app/start_window.h"
#include "app/workstation.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "data/query_dataset.h"
#include "patient/patient_window.h"
#include "ui/db_grid.h"
#include "word/view/document_view.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include <cstdio>

using namespace talvora;

namespace {

// Lets the windows lay themselves out and paint.
void settle(int ms = 300)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* w, const QString& file)
{
    const bool ok = w->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

// Moves `grid` to the row whose `field` is `value` and clicks it, as a doctor does.
bool clickRow(ui::DBGrid* grid, const QString& field, const QVariant& value)
{
    if (!grid->dataset()->locate(field, value))
        return false;
    emit grid->cellClicked(grid->dataset()->recNo(), 0);
    return true;
}

// The first listed patient who has a stored discharge summary.
bool choosePatientWithSummary(Workstation& ws)
{
    data::QueryDataset& list = *ws.dm->pac_q1;
    for (list.first(); !list.eof(); list.next()) {
        settle(0);
        if (!ws.form3->controls().documentList->dataset()->isEmpty())
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    TalvoraApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvora-screenshots DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    try {
        Workstation ws;
        ws.show();
        settle();
        if (!clickRow(ws.form1->departmentGrid(), QStringLiteral("Ootd"), QStringLiteral("Неврологическое отделение"))) {
            std::fprintf(stderr, "the starter department is not in the database: run `talvora-db demo` first\n");
            return 1;
        }
        ws.form1->patientButton()->click();
        settle();
        if (!ws.form3 || !choosePatientWithSummary(ws)) {
            std::fprintf(stderr, "no patient with a stored discharge summary: run `talvora-db demo` first\n");
            return 1;
        }
        const auto& c = ws.form3->controls();
        c.tabs->setCurrentIndex(0);
        settle();
        bool ok = save(ws.form3.get(), out.filePath(QStringLiteral("patient_window.png")));
        c.tabs->setCurrentWidget(c.reportsTab);
        c.showDocument->click();
        settle(1000);
        ok = save(ws.form3.get(), out.filePath(QStringLiteral("discharge_summary.png"))) && ok;
        return ok ? 0 : 1;
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}

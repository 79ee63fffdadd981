#include "patient_window.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "ui/dialog_service.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

namespace {

void showError(const std::exception& e)
{
    if (dynamic_cast<const SilentAbort*>(&e))
        return;
    const auto* err = dynamic_cast<const Error*>(&e);
    dialogs().error(err ? err->message() : QString::fromLocal8Bit(e.what()), QStringLiteral("Talvora"));
}

} // namespace

TForm3::TForm3(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Пациент"), QSize(1000, 700), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm3"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(makeErrorReportButton(3, QStringLiteral("Пациент: ")));
    layout->addLayout(top);
    layout->addStretch();

    try {
        RefreshPatientList();
    } catch (const std::exception& e) {
        // Reported, and the window is built all the same.
        showError(e);
    }
}

void TForm3::RefreshPatientList()
{
    dm_.Pac_q->close();
    dm_.pac_q1->close();
    department_ = dm_.Otd->active() && !dm_.Otd->isEmpty() ? dm_.Otd->field(QStringLiteral("OID")).value() : QVariant();
    if (dm_.pac_q1->hasParam(QStringLiteral("potd")))
        dm_.pac_q1->setParam(QStringLiteral("potd"), department_);
    dm_.pac_q1->run();
    dm_.Pac_q->open();
    dm_.pac_q1->open();
    if (!dm_.pac_q1->isEmpty())
        dm_.pac_q1->first();
    if (dm_.hooks.patient.LoadPatientCard)
        dm_.hooks.patient.LoadPatientCard();
}

} // namespace talvora

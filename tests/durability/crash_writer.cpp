// Stores a patient's card, a document and a batch of prescriptions over and
// over through the program's own operations, and prints a line after each
// of them is committed; the durability test kills it at random moments.
//
//   crash_writer ROOT FIRST [COUNT]
//
// ROOT holds the databases (ROOT/pacientdata, ROOT/errors) with one
// department, one patient and one drug. Generations FIRST, FIRST+1, … are
// written (COUNT of them, or until killed); the lines are
//   ready
//   card G / document G KEY / batch G
// and a failure is printed as "error: …" with exit code 1.

#include "durable_writes.h"

#include "data/aliases.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "patient/patient_documents.h"
#include "patient/patient_register.h"
#include "treatment/drug_reference.h"
#include "treatment/treatment_scheme.h"
#include "common/errors.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"

#include <QApplication>
#include <QTextCursor>

#include <cstdio>

using namespace talvora;
namespace dw = talvora::test::durability;

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

patient::PatientCard cardOf(const patient::PatientCard& loaded, qint64 g)
{
    patient::PatientCard c = loaded;
    c.history = QString::number(g);
    c.ward = QString::number(dw::wardOf(g));
    c.profession = dw::professionText(g);
    c.diagnosisClinical = dw::cardText("PdiaK", g);
    c.diagnosisConcomitant = dw::cardText("PdiaV", g);
    c.complaints = dw::cardText("Pjal", g);
    c.somaticStatus = dw::cardText("Psomat", g);
    c.anamnesis = dw::cardText("PanM", g);
    c.neuroStatus = dw::cardText("Pnst", g);
    return c;
}

QByteArray documentBlob(qint64 g)
{
    word::Document doc;
    QTextCursor(&doc.text()).insertText(dw::documentText(g));
    return word::blobFromDocument(doc);
}

int run(const QString& root, qint64 first, qint64 count)
{
    ScriptedDialogs dialogs; // no question is expected; one would fail the run
    data::AliasResolver aliases;
    aliases.setDirectory(QString::fromLatin1(data::kWorkstationAlias), dw::workstationFolder(root));
    aliases.setDirectory(QString::fromLatin1(data::kErrorAlias), dw::errorsFolder(root));
    data::TDM dm(aliases);

    patient::PatientRegister patients(dm);
    patient::PatientCard typed;
    std::optional<patient::TreatmentTexts> treatmentTexts;
    patients.readCard = [&] { return typed; };
    patients.treatmentTexts = [&] { return treatmentTexts; };
    patients.RefreshPatientList();
    if (patients.patientKey().isNull())
        throw Error(QStringLiteral("no patient in the list"));
    patient::PatientDocuments documents(dm, patients);

    treatment::DrugReference drugs(dm);
    treatment::TreatmentScheme scheme(dm);
    drugs.Open();
    drugs.ShowGroupsOfMacrogroup();
    drugs.ShowDrugsOfGroup();
    drugs.SelectDrug();
    say(QStringLiteral("ready"));

    const qint64 last = std::min(first + count - 1, dw::kLastGeneration);
    for (qint64 g = first; g <= last; ++g) {
        typed = cardOf(patients.loadedCard(), g);
        treatmentTexts = patient::TreatmentTexts{dw::cardText("PanV", g), dw::cardText("Precom", g)};
        patients.setCardEdited();
        patients.SavePatientCard();
        say(QStringLiteral("card %1").arg(g));

        const patient::PendingDocument pending{patients.patientKey(), patients.selectedName(), documentBlob(g)};
        const int key = documents.SaveAssembledDocument(pending, QVariant());
        say(QStringLiteral("document %1 %2").arg(g).arg(key));

        {
            data::UnitOfWork unit(*dm.Pacents);
            for (int i = 1; i <= dw::kBatchSize; ++i) {
                if (scheme.AddToTreatment() == 0)
                    throw Error(QStringLiteral("no prescription was added"));
                scheme.WriteRegimen(dw::regimenText(g, i));
            }
            unit.commit();
        }
        say(QStringLiteral("batch %1").arg(g));
    }
    if (!dialogs.asked().isEmpty())
        throw Error(QStringLiteral("a dialog was shown: ") + dialogs.asked().constFirst().text);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: crash_writer ROOT FIRST [COUNT]\n");
        return 2;
    }
    try {
        return run(args.at(1), args.at(2).toLongLong(), args.size() > 3 ? args.at(3).toLongLong() : dw::kLastGeneration);
    } catch (const Error& e) {
        say(QStringLiteral("error: ") + e.message());
    } catch (const std::exception& e) {
        say(QStringLiteral("error: ") + QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

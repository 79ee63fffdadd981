#include "workstation.h"

#include "boilerplates/boilerplate_dialog.h"
#include "boilerplates/boilerplate_library.h"
#include "boilerplates/patient_texts.h"
#include "boilerplates/settings_window.h"
#include "boilerplates/text_editor_window.h"
#include "service/error_list_panel.h"
#include "service/error_report_window.h"
#include "service/database_archive.h"
#include "data/data_module.h"
#include "patient/document_type_dialog.h"
#include "patient/patient_documents.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "service/document_export.h"
#include "service/setup_wizard.h"
#include "start_window.h"
#include "templates/designer_window.h"
#include "templates/document_assembly.h"
#include "templates/template_designer.h"
#include "templates/template_operations.h"
#include "treatment/dose_calculator_window.h"
#include "treatment/treatment_page.h"
#include "treatment/treatment_scheme.h"
#include "treatment/treatment_window.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "word/view/document_view.h"
#include "word/view/spell_checker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace talvora {

Workstation::Workstation(data::AliasResolver aliases, PatientWindowFactory makePatientWindow)
{
    auto built = [this](const char* name) { creationOrder << QString::fromLatin1(name); };
    form1 = std::make_unique<TForm1>();
    built("TForm1");
    form2 = std::make_unique<TForm2>();
    built("TForm2");
    dm = std::make_unique<data::TDM>(std::move(aliases));
    built("TDM");
    templateOperations = std::make_unique<templates::TemplateOperations>(*dm);
    assembly = std::make_unique<templates::DocumentAssembly>(*dm);
    form1->attachData(*dm);
    form2->attachData(*dm, *templateOperations, *assembly);
    try {
        form3 = makePatientWindow ? makePatientWindow(*dm) : std::make_unique<TForm3>(*dm);
        built("TForm3");
    } catch (...) {
        form3.reset(); // the rest of the workstation starts without it
    }
    form4 = std::make_unique<TForm4>(*dm);
    built("TForm4");
    form5 = std::make_unique<TForm5>(*dm);
    built("TForm5");
    form6 = std::make_unique<TForm6>(*dm, *templateOperations);
    built("TForm6");
    form7 = std::make_unique<TForm7>(*dm);
    built("TForm7");
    form8 = std::make_unique<TForm8>(*dm);
    built("TForm8");
    form9 = std::make_unique<TForm9>(*dm);
    built("TForm9");
    form10 = std::make_unique<TForm10>(*dm);
    built("TForm10");
    form11 = std::make_unique<TForm11>(*dm);
    built("TForm11");

    giveSpellChecker();
    connectWindows();
    connectErrorList();
    connectArchive();
}

// One checker for every document editor of the program: the dictionaries are
// read once, and a word added to the dictionary in one editor counts in all.
void Workstation::giveSpellChecker()
{
    spellChecker = std::make_shared<word::SpellChecker>(word::SpellCheckerPlaces::defaults());
    for (QWidget* window : std::initializer_list<QWidget*>{form1.get(), form2.get(), form3.get(), form4.get(),
                                                           form5.get(), form6.get(), form7.get(), form10.get(),
                                                           form11.get()})
        if (window)
            for (word::DocumentView* view : window->findChildren<word::DocumentView*>())
                view->setSpellChecker(spellChecker);
}

// Every link between the windows, in one place. A window reaches another
// only through the callbacks handed to it here.
void Workstation::connectWindows()
{
    form1->openPatientWindow = [this] { openPatientWindow(); };
    form1->openTemplateDesigner = [this] { form2->open(); };
    form1->openSettings = [this] { form5->open(); };
    form1->departmentClicked = [this] {
        if (form3)
            form3->DepartmentChanged();
    };
    // Closing the start window ends the program, whatever else is open.
    form1->closed = [this] { closeAll(); };

    connectTreatment();
    connectPatientTexts();
    connectWizard();
    connectExport();
    connectDesigner();
    if (form3) {
        form3->links.openTreatment = [this] { form6->open(); };
        form3->links.assemble = [this](const patient::AssemblyParts& p) {
            assembly->AssembleDocument(*p.target, *p.aux, *p.markerBox, {p.progressPanel, p.progressBar});
        };
        form3->links.cancelAssembly = [this](word::DocumentView& view) { assembly->CancelAssembly(view); };
        form3->links.chooseDocumentType = [this](const patient::PendingDocument& d) { form7->ask(d); };
        form7->store = [this](const patient::PendingDocument& d, const QVariant& type) {
            if (form3)
                form3->documents().SaveAssembledDocument(d, type);
        };
    }
}

// The template designer and the controls that put markers into its
// document: right-clicks on the patient window's card and texts, on the
// investigation lists and the treatment page, while the insertion mode is on.
void Workstation::connectDesigner()
{
    templates::TemplateDesigner& designer = *form2->designer();
    form6->links.insertFieldMarker = [&designer](int number) { designer.InsertFieldMarker(number); };
    form6->links.insertGroupMarker = [&designer](int typeId) { designer.InsertGroupMarker(typeId); };
    form6->links.insertTreatmentMarker = [&designer] { designer.InsertTreatmentMarker(); };
    if (!form3)
        return;
    form3->links.insertFieldMarker = [&designer](const QString& column) { designer.InsertFieldMarkerOfColumn(column); };
    form2->links.assemblyProgress = [this] {
        const patient::AssemblyParts parts = form3->assemblyParts();
        return templates::AssemblyProgress{parts.progressPanel, parts.progressBar};
    };
}

// The treatment window, its dose dialog and the patient card it shares the
// patient record with.
void Workstation::connectTreatment()
{
    treatment::TreatmentScheme& scheme = form6->scheme();
    form6->links.showDoseDialog = [this](const QString& weight) { form8->showUnequalDoses(weight); };
    QObject::connect(form8.get(), &TForm8::calculated, form6.get(),
                     ui::guarded([&scheme](const treatment::DoseResult& r) { scheme.WriteDoseResult(r); }));
    QObject::connect(form8.get(), &TForm8::regimenEdited, form6.get(),
                     ui::guarded([&scheme](const QString& text) { scheme.WriteRegimen(text); }));
    const auto showRegimen = [this, &scheme] { form8->setRegimen(scheme.currentRegimen()); };
    QObject::connect(&scheme, &treatment::TreatmentScheme::schemeChanged, form8.get(), showRegimen);
    QObject::connect(dm->Nazn.get(), &data::Dataset::currentRowChanged, form8.get(), showRegimen);
    QObject::connect(dm->Nazn.get(), &data::Dataset::dataReset, form8.get(), showRegimen);
    if (!form3)
        return;
    patient::PatientRegister& patients = form3->patients();
    form6->links.savePatientCard = [&patients] { patients.SavePatientCard(); };
    patients.treatmentTexts = [&patients, &scheme]() -> std::optional<patient::TreatmentTexts> {
        const auto texts = scheme.PendingTexts(patients.patientKey());
        if (!texts)
            return std::nullopt;
        return patient::TreatmentTexts{texts->course, texts->recommendations};
    };
    patients.treatmentTextsStored = [&scheme] { scheme.TextsStored(); };
}

// The text editor and the patient texts it writes: opened from the card and
// from the treatment window, filling the card while it is typed.
void Workstation::connectPatientTexts()
{
    form4->links.openSettings = [this] { form5->open(); };
    form10->attach(form5->library());
    form5->links.openCreationDialog = [this] { form10->openForNewBoilerplate(); };
    form5->links.openWizard = [this] { form11->open(); };
    QObject::connect(&form5->library(), &boilerplates::BoilerplateLibrary::boilerplateShown, form4.get(),
                     ui::guarded([this](const QByteArray& blob) { form4->offerBoilerplate(blob); }));
    if (!form3)
        return;
    patientTexts = std::make_unique<boilerplates::PatientTexts>(*dm, form3->patients(), form4->editor());
    boilerplates::PatientTexts& texts = *patientTexts;
    QObject::connect(&texts, &boilerplates::PatientTexts::editorOpened, form4.get(),
                     [this](int kind, const QString& caption) { form4->openFor(kind, caption); });
    QObject::connect(&texts, &boilerplates::PatientTexts::textStored, form6.get(),
                     [this](int kind, const QVariant& patient) { form6->controls().treatment->textStored(kind, patient); });
    form4->links.store = [&texts] { texts.StoreEditedText(); };
    const auto edit = [&texts](int kind) { texts.EditPatientText(kind); };
    form3->links.editPatientText = edit;
    form6->links.editPatientText = edit;
    form3->links.autoFillTexts = [&texts](const patient::PatientCard& card) { return texts.AutoFillTexts(card); };
    form3->links.anamnesisText = [&texts] { return texts.RefreshAnamnesisText(); };
}

// The wizard hands the boilerplates, when they are to be entered by hand,
// to the settings window's page of boilerplates.
void Workstation::connectWizard()
{
    form11->links.openBoilerplateSettings = [this] {
        form5->open();
        form5->controls().pages->setCurrentWidget(form5->controls().boilerplatePage);
    };
}

// The error list in the lower part of the start window.
void Workstation::connectErrorList()
{
    QWidget* area = form1->errorListArea();
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new service::ErrorListPanel(*dm, area));
}

// The start window's archive and restore buttons. While the archiver works
// the progress bar runs and the cursor waits; a success closes the start
// window, which ends the program.
void Workstation::connectArchive()
{
    auto archive = std::make_shared<service::DatabaseArchive>(*dm);
    archive->busy = [bar = form1->progressBar()](bool on) {
        if (on) {
            bar->setRange(0, 0);
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
            bar->setRange(0, 100);
            bar->setValue(0);
        }
    };
    archive->finished = [this] { form1->close(); };
    form1->archiveDatabase = [archive] { archive->Archive(); };
    form1->restoreDatabase = [archive] { archive->Restore(); };
}

void Workstation::closeAll()
{
    for (QWidget* w : std::initializer_list<QWidget*>{form2.get(), form3.get(), form4.get(), form5.get(), form6.get(),
                                                      form7.get(), form8.get(), form9.get(), form10.get(), form11.get()})
        if (w)
            w->hide();
    QCoreApplication::quit();
}

Workstation::~Workstation()
{
    // Windows first (they use the data module), the start window last.
    patientTexts.reset();
    form11.reset();
    form10.reset();
    form9.reset();
    form8.reset();
    form7.reset();
    form6.reset();
    form5.reset();
    form4.reset();
    form3.reset();
    form2.reset();
    assembly.reset();
    templateOperations.reset();
    dm.reset();
    form1.reset();
}

void Workstation::show() { form1->show(); }

void Workstation::openPatientWindow()
{
    if (!form3) {
        dialogs().notice(QStringLiteral("Окно «Пациент» не удалось построить при запуске программы.\n"
                                        "Закройте программу и запустите её снова; если ошибка повторится, "
                                        "сообщите о ней разработчику."));
        return;
    }
    form3->open();
}

QString startupFailureMessage(const QString& engineMessage)
{
    return QStringLiteral("Не удалось открыть базу данных, программа будет закрыта.\n\n%1").arg(engineMessage);
}

// "Выгрузить документы в папку": the patient window's list, written into a
// folder with the start window's progress bar.
void Workstation::connectExport()
{
    form1->exportDocuments = [this] {
        QProgressBar* bar = form1->progressBar();
        service::DocumentExport exporter(*dm);
        exporter.progress.started = [bar](int documents) {
            bar->setRange(0, std::max(documents, 1));
            bar->setValue(0);
        };
        // Painted at once: the export runs to its end before the event loop comes back.
        exporter.progress.advanced = [bar](int done) {
            bar->setValue(done);
            if (bar->isVisible())
                bar->repaint();
        };
        exporter.progress.finished = [bar] { bar->setValue(0); };
        exporter.ExportDocuments(form3 ? &form3->patients().filters() : nullptr);
    };
}

} // namespace talvora

#include "patient_documents.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "patient_register.h"
#include "ui/dialog_service.h"
#include "word/view/document_view.h"
#include "word/view/separate_window.h"

#include <QDateTime>

namespace talvora::patient {

using data::UpdateSql;

namespace {

QVariant current(const data::Dataset& ds, const QString& field)
{
    if (!ds.active() || ds.isEmpty())
        return {};
    return ds.field(field).value();
}

} // namespace

PatientDocuments::PatientDocuments(data::TDM& dm, const PatientRegister& patients, QObject* parent)
    : QObject(parent), dm_(dm), patients_(patients)
{
    dm_.hooks.patient.OpenPatientDocuments = [this] { OpenPatientDocuments(); };
    dm_.hooks.templates.SetDefaultTemplateCheck = [this](bool on) { emit defaultFlagShown(on); };
}

PatientDocuments::~PatientDocuments()
{
    dm_.hooks.patient.OpenPatientDocuments = [dm = &dm_] { dm->ReadPatientDocuments(); };
    dm_.hooks.templates.SetDefaultTemplateCheck = {};
}

void PatientDocuments::OpenPatientDocuments()
{
    dm_.ReadPatientDocuments();
}

QVariant PatientDocuments::selectedDocument() const { return current(*dm_.Vipis_q, QStringLiteral("VID")); }
QVariant PatientDocuments::selectedTemplate() const { return current(*dm_.Sh_q, QStringLiteral("ShId")); }

void PatientDocuments::ShowStoredDocument(word::DocumentView& view)
{
    if (selectedDocument().isNull())
        return;
    view.loadFromBlob(dm_.Vipis_q->field(QStringLiteral("Vres")).asBytes());
}

void PatientDocuments::OpenTemplatesOfType()
{
    dm_.OpenTemplatesOfType();
}

void PatientDocuments::ShowTemplate(word::DocumentView& view)
{
    const QVariant key = selectedTemplate();
    if (key.isNull())
        return;
    data::TableDataset& sh = *dm_.Sh;
    sh.open();
    if (!sh.locate(QStringLiteral("ShId"), key)) {
        sh.refresh();
        if (!sh.locate(QStringLiteral("ShId"), key))
            throw Error(QStringLiteral("Шаблон «%1» уже удалён.").arg(dm_.Sh_q->field(QStringLiteral("ShName")).asString()));
    }
    view.loadFromBlob(sh.field(QStringLiteral("ShRes")).asBytes());
}

void PatientDocuments::SetDefaultTemplateFlag(bool on)
{
    const QVariant key = selectedTemplate();
    if (key.isNull())
        return;
    try {
        data::TableDataset& sh = *dm_.Sh;
        sh.open();
        if (sh.locate(QStringLiteral("ShId"), key)) {
            sh.edit();
            sh.field(QStringLiteral("Sh_def")).setValue(on ? 1 : 0);
            sh.post();
        }
    } catch (const std::exception&) {
        if (dm_.Sh->editing())
            dm_.Sh->cancel();
    }
    // The list is read again and stands on its first row.
    dm_.Sh_q->close();
    dm_.Sh_q->open();
}

PendingDocument PatientDocuments::CaptureDocument(const word::DocumentView& view) const
{
    if (patients_.patientKey().isNull())
        throw Error(QStringLiteral("Не выбран пациент: документ сохранять некому."));
    PendingDocument d;
    d.patient = patients_.patientKey();
    d.patientName = DisplayName(patients_.loadedCard().surname, patients_.loadedCard().firstName,
                                patients_.loadedCard().patronymic);
    d.blob = view.saveToBlob();
    if (d.blob.isEmpty())
        throw Error(QStringLiteral("В окне документа ничего нет: сохранять нечего."));
    return d;
}

int PatientDocuments::SaveAssembledDocument(const PendingDocument& document, const QVariant& type)
{
    if (document.blob.isEmpty())
        throw Error(QStringLiteral("Документ пуст: сохранять нечего."));
    const QDateTime now = QDateTime::currentDateTime();
    dm_.Vipis_q->close();
    qint64 key = 0;
    try {
        data::inUnitOfWork(*dm_.Pacents, [&] {
            key = dm_.UpdateSQL3->runInsertInSlot(
                UpdateSql::Insert, QStringLiteral("insert into Vipis  (Vpac, Vdate, Vtype)  values (:Vpac, :Vdate, :Vtype)"),
                [&](data::Params& p) {
                    p.set(QStringLiteral("Vpac"), document.patient);
                    p.set(QStringLiteral("Vdate"), now);
                    p.set(QStringLiteral("Vtype"), type.isNull() ? QVariant(0) : type);
                });
            dm_.UpdateSQL3->runInSlot(UpdateSql::Modify,
                                      QStringLiteral("update vipis set   Vres = :Vres \r\nwhere VID =") + QString::number(key),
                                      [&](data::Params& p) { p.set(QStringLiteral("Vres"), document.blob); });
        });
    } catch (...) {
        OpenPatientDocuments();
        throw;
    }
    OpenPatientDocuments();
    dm_.Vipis_q->locate(QStringLiteral("VID"), int(key));
    return int(key);
}

void PatientDocuments::DeleteDocument()
{
    const QVariant key = selectedDocument();
    if (key.isNull())
        return;
    if (!dialogs().confirm(QStringLiteral("Удалить документ ?")))
        return;
    dm_.Vipis_q->close();
    dm_.UpdateSQL3->runInSlot(UpdateSql::Delete,
                              QStringLiteral("delete from Vipis where VID = ") + QString::number(key.toLongLong()));
    dm_.Vipis_q->open();
    dm_.Vipis_q->refresh();
}

void PatientDocuments::ExportToSeparateWord(word::DocumentView& aux)
{
    if (selectedDocument().isNull())
        return;
    struct Closing {
        word::DocumentView& view;
        ~Closing() { view.close(); }
    } closing{aux};
    aux.loadFromBlob(dm_.Vipis_q->field(QStringLiteral("Vres")).asBytes());
    aux.activate();
    word::WordApplication& app = aux.automation();
    app.selection().wholeStory();
    app.selection().copy();
    word::SeparateDocumentWindow* window = word::openSeparateWindow();
    window->view().setSpellChecker(aux.spellChecker());
    window->automation().setVisible(true);
    window->automation().selection().wholeStory();
    window->automation().selection().paste();
}

bool PatientDocuments::OpenDefaultTemplates()
{
    const QVariant otd = current(*dm_.Otd, QStringLiteral("OID"));
    dm_.Sh_q->close();
    dm_.Sh_q->setSqlText(QStringLiteral("select ShName, Sh_def, ShId from SHablon where  (ShOtd = ") +
                         QString::number(otd.toLongLong()) + QStringLiteral(")") +
                         QStringLiteral(" and (Sh_def = 1) order by ShId"));
    dm_.Sh_q->open();
    return !dm_.Sh_q->isEmpty();
}

} // namespace talvora::patient

#include "investigations.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "templates/template_operations.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "word/document_io.h"
#include "word/view/document_view.h"

#include <QDateTime>

namespace talvora::treatment {

using data::UpdateSql;

namespace {

// Names are stored cut to the width of Iname and ShName.
constexpr int kNameWidth = 50;

const QString kDefaultName = QStringLiteral(" ..");
const QString kNamePrompt = QStringLiteral("введите название");
// The caption is spelled the way the program has always spelled it.
const QString kInvestigationNameCaption = QStringLiteral("Название иccледования");
const QString kTemplateNameCaption = QStringLiteral("Название шаблона");

QVariant current(const data::Dataset& ds, const QString& field)
{
    if (!ds.active() || ds.isEmpty())
        return {};
    const auto f = ds.findField(field);
    return f ? f->value() : QVariant();
}

QString messageOf(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->message();
    return QString::fromUtf8(e.what());
}

// The current time to the second, as the stored times are.
QDateTime now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return QDateTime(t.date(), QTime(t.time().hour(), t.time().minute(), t.time().second()));
}

} // namespace

// Automatic display stays off while a document is being stored, so that the
// re-read list does not replace it; it comes back on however the storing ends.
struct Investigations::AutoDisplayPause {
    explicit AutoDisplayPause(bool& flag) : flag_(flag) { flag_ = false; }
    ~AutoDisplayPause() { flag_ = true; }
    AutoDisplayPause(const AutoDisplayPause&) = delete;
    AutoDisplayPause& operator=(const AutoDisplayPause&) = delete;

private:
    bool& flag_;
};

Investigations::Investigations(data::TDM& dm, templates::TemplateOperations& templates, word::DocumentView& editor,
                               QObject* parent)
    : QObject(parent), dm_(dm), templates_(templates), editor_(editor)
{
    if (editor_.isEmpty())
        editor_.loadDocument(word::Document());
    dm_.hooks.treatment.InvestigationAutoDisplay = [this] { return autoDisplay_; };
    dm_.hooks.treatment.ShowInvestigationResult = [this] { showAutomatically(Display::Automatic); };
    dm_.hooks.templates.ShowSelectedTemplate = [this] {
        // Sh_q moved (from this page or from any window that shares it).
        try {
            ShowSelectedTemplate(Display::Automatic);
        } catch (...) {
            ui::showGeneralError(std::current_exception());
        }
    };
}

Investigations::~Investigations()
{
    dm_.hooks.treatment.InvestigationAutoDisplay = {};
    dm_.hooks.treatment.ShowInvestigationResult = {};
    dm_.hooks.templates.ShowSelectedTemplate = {};
}

QString Investigations::deleteInvestigationQuestion(const QString& name)
{
    return QStringLiteral("Удалить исследование ? ") + name;
}

QString Investigations::deleteTemplateQuestion()
{
    return QStringLiteral("Удалить шаблон?");
}

QString Investigations::templateTypeNeeded()
{
    return QStringLiteral("Необходимо указывать тип создаваемого шаблона !");
}

// ---------------------------------------------------------------- lists

void Investigations::setFilterOff(bool off)
{
    filterOff_ = off;
    ApplyInvestigationFilter();
}

void Investigations::ApplyInvestigationFilter()
{
    emit filterApplied(filterOff_);
    // A list that cannot be read is left closed (empty); the page goes on.
    if (filterOff_) {
        dm_.OpenAllTemplates();
        dm_.OpenAllInvestigations();
    } else {
        dm_.OpenTemplatesOfType();
        dm_.OpenInvestigationsOfType();
    }
}

void Investigations::ApplyTypeFilter()
{
    if (filterOff_)
        return; // the type list takes no part while the filter is off
    ApplyInvestigationFilter();
}

data::TableDataset& Investigations::templateTypes() const
{
    return *dm_.ShType;
}

data::QueryDataset& Investigations::investigationList() const
{
    return *dm_.Issled_q;
}

data::QueryDataset& Investigations::templateList() const
{
    return filterOff_ ? *dm_.Sh_q_all : *dm_.Sh_q;
}

QString Investigations::patientName() const
{
    return current(*dm_.Pac_q, QStringLiteral("PName")).toString();
}

void Investigations::reopenInvestigations()
{
    if (filterOff_)
        dm_.OpenAllInvestigations();
    else
        dm_.OpenInvestigationsOfType();
}

// ---------------------------------------------------------------- showing

void Investigations::showAutomatically(Display what)
{
    try {
        ShowInvestigationResult(what);
    } catch (...) {
        // A list move must not fail because of the document it came to.
        ui::showGeneralError(std::current_exception());
    }
}

bool Investigations::mayReplaceEditorDocument(Display how, const QString& what) const
{
    if (!editor_.changedSinceLoaded())
        return true;
    if (how == Display::Automatic)
        return false;
    return dialogs().confirm(
        QStringLiteral("Документ в окне изменён и не сохранён. Заменить его (%1)? Изменения будут потеряны.").arg(what));
}

void Investigations::loadIntoEditor(const QByteArray& blob, const QString& what)
{
    // Read first: a document that cannot be read leaves the editor as it was.
    if (blob.isEmpty())
        throw Error(QStringLiteral("%1: документ не сохранён, показывать нечего.").arg(what));
    word::Document document;
    try {
        document = word::documentFromBlob(blob);
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("%1: документ не удаётся прочитать (%2).").arg(what, messageOf(e)));
    }
    editor_.loadDocument(std::move(document));
}

void Investigations::ShowInvestigationResult(Display how)
{
    data::QueryDataset& list = *dm_.Issled_q;
    if (current(list, QStringLiteral("Iid")).isNull())
        return;
    const QString name = list.field(QStringLiteral("Iname")).asString();
    if (!mayReplaceEditorDocument(how, QStringLiteral("исследование «%1»").arg(name)))
        return;
    loadIntoEditor(list.field(QStringLiteral("Ires")).asBytes(), QStringLiteral("Исследование «%1»").arg(name));
}

void Investigations::ShowSelectedTemplate(Display how)
{
    const data::QueryDataset& list = templateList();
    const QVariant key = current(list, QStringLiteral("ShId"));
    if (key.isNull())
        return;
    const QString name = list.field(QStringLiteral("ShName")).asString();
    if (!mayReplaceEditorDocument(how, QStringLiteral("шаблон «%1»").arg(name)))
        return;
    if (!templates_.LocateTemplate(key.toLongLong())) {
        if (how == Display::Automatic)
            return; // a list that is not read again yet; the button says so
        throw Error(QStringLiteral("Шаблон «%1» уже удалён.").arg(name));
    }
    loadIntoEditor(dm_.Sh->field(QStringLiteral("ShRes")).asBytes(), QStringLiteral("Шаблон «%1»").arg(name));
}

// ---------------------------------------------------------------- storing

QByteArray Investigations::editorDocument() const
{
    if (editor_.isEmpty() || editor_.textDocument().isEmpty())
        throw Error(QStringLiteral("В окне документа ничего нет: сохранять нечего."));
    return editor_.saveToBlob();
}

void Investigations::writeResult(qint64 iid, const QByteArray& document, const QDateTime& when)
{
    const int rows = dm_.UpdateSQL2->runInSlot(
        UpdateSql::Modify, QStringLiteral("UPDATE Issled SET Idate =:Idate, Ires =:Ires WHERE Iid =:N_Iid "),
        [&](data::Params& p) {
            p.set(QStringLiteral("Idate"), when);
            p.set(QStringLiteral("Ires"), document);
            p.set(QStringLiteral("N_Iid"), iid);
        });
    if (rows == 0)
        throw Error(QStringLiteral("Исследование №%1 не найдено (удалено?): результат не записан.").arg(iid));
}

qint64 Investigations::AddInvestigation()
{
    const QVariant patient = current(*dm_.Pac_q, QStringLiteral("pID"));
    if (patient.isNull())
        throw Error(QStringLiteral("Не выбран пациент: исследование записывать некому."));
    const QByteArray document = editorDocument();
    // Filed under the type current in the type list, also while it is disabled.
    const QVariant type = current(*dm_.ShType, QStringLiteral("ShTID"));

    const AutoDisplayPause pause(autoDisplay_);
    dm_.Issled_q->close();
    const QString name = dialogs().input(kInvestigationNameCaption, kNamePrompt, kDefaultName).left(kNameWidth);
    const QDateTime when = now();
    qint64 key = 0;
    try {
        // The row comes with its document: one statement, standing or
        // falling whole.
        key = dm_.UpdateSQL2->runInsertInSlot(
            UpdateSql::Insert,
            QStringLiteral("INSERT INTO Issled(Ipac, Idate, Itype, Iname, Ires)  VALUES (:Ipac, :Idate, :Itype, :Iname, :Ires)"),
            [&](data::Params& p) {
                p.set(QStringLiteral("Ipac"), patient);
                p.set(QStringLiteral("Idate"), when);
                p.set(QStringLiteral("Itype"), type.isNull() ? QVariant(0) : type);
                p.set(QStringLiteral("Iname"), name);
                p.set(QStringLiteral("Ires"), document);
            });
    } catch (...) {
        reopenInvestigations();
        throw;
    }
    reopenInvestigations();
    dm_.Issled_q->locate(QStringLiteral("Iid"), key);
    editor_.markUnchanged();
    editor_.close();
    return key;
}

void Investigations::StoreInvestigationResult(qint64 iid)
{
    const QByteArray document = editorDocument();
    const AutoDisplayPause pause(autoDisplay_);
    dm_.Issled_q->close();
    try {
        writeResult(iid, document, now());
    } catch (...) {
        reopenInvestigations();
        throw;
    }
    reopenInvestigations();
    dm_.Issled_q->locate(QStringLiteral("Iid"), iid);
    editor_.markUnchanged();
}

void Investigations::DeleteInvestigation()
{
    const QVariant key = current(*dm_.Issled_q, QStringLiteral("Iid"));
    if (key.isNull())
        return;
    if (!dialogs().confirm(deleteInvestigationQuestion(dm_.Issled_q->field(QStringLiteral("Iname")).asString())))
        return;
    dm_.Issled_q->close();
    try {
        dm_.UpdateSQL2->runInSlot(UpdateSql::Delete, QStringLiteral("delete from Issled where Iid = :OLD_Iid"),
                                  [&](data::Params& p) { p.set(QStringLiteral("OLD_Iid"), key); });
    } catch (...) {
        ApplyInvestigationFilter();
        throw;
    }
    ApplyInvestigationFilter();
}

qint64 Investigations::AddTemplate()
{
    if (filterOff_) {
        dialogs().notice(templateTypeNeeded());
        setFilterOff(false);
        return 0;
    }
    const QVariant type = current(*dm_.ShType, QStringLiteral("ShTID"));
    const QVariant department = current(*dm_.Otd, QStringLiteral("OID"));
    if (type.isNull() || department.isNull())
        throw Error(QStringLiteral("Не выбран тип шаблона: шаблон сохранять некуда."));
    const QByteArray document = editorDocument();
    const QString name = dialogs().input(kTemplateNameCaption, kNamePrompt, kDefaultName).left(kNameWidth);

    data::Params p;
    p.set(QStringLiteral("ShType"), type);
    p.set(QStringLiteral("ShOtd"), department);
    p.set(QStringLiteral("ShName"), name);
    p.set(QStringLiteral("ShRes"), document);
    const qint64 key = dm_.Pacents->insertRow(
        QStringLiteral("INSERT INTO SHablon (ShType, ShOtd, ShName, ShRes) VALUES (:ShType, :ShOtd, :ShName, :ShRes)"), p);
    // What the editor holds is stored now: the list may show the new template in its place.
    editor_.markUnchanged();
    dm_.OpenTemplatesOfType();
    dm_.Sh_q->locate(QStringLiteral("ShId"), key);
    return key;
}

void Investigations::DeleteSelectedTemplate()
{
    const QVariant key = current(templateList(), QStringLiteral("ShId"));
    if (key.isNull())
        return;
    if (!dialogs().confirm(deleteTemplateQuestion()))
        return;
    if (filterOff_) {
        // Not offered while the deletion re-reads Sh_q (which shows the
        // selected template of the list shown), and read again after it.
        dm_.Sh_q_all->close();
        templates_.DeleteTemplate(key.toLongLong());
        dm_.OpenAllTemplates();
    } else {
        templates_.DeleteTemplate(key.toLongLong()); // re-reads Sh_q
    }
}

} // namespace talvora::treatment

#include "templates/template_designer.h"

#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "templates/markers.h"
#include "templates/template_operations.h"
#include "ui/dialog_service.h"
#include "word/document.h"
#include "word/view/document_view.h"

namespace talvora::templates {

namespace {

constexpr int kNameWidth = 50; // SHablon.ShName

QString keyMarker(MarkerKind kind, qint64 key)
{
    return markerPrefix(kind) + QString::number(key) + u'>';
}

bool hasRow(const data::Dataset& ds)
{
    return ds.active() && !ds.isEmpty();
}

// Whether a statement finds a row.
bool exists(data::Database& db, const QString& statement, const data::Params& params)
{
    data::SqliteStatement st = db.prepareBound(db.translate(statement, data::TranslateOptions{false}), params);
    return st.step();
}

QString reason(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->message();
    return QString::fromUtf8(e.what());
}

} // namespace

int fieldNumberOfColumn(const QString& column)
{
    if (column.compare(QStringLiteral("age"), Qt::CaseInsensitive) == 0)
        return 10;
    if (column.compare(QStringLiteral("stay"), Qt::CaseInsensitive) == 0)
        return 11;
    // A column that a field shows directly first (Pdp is the admission date,
    // not the days in hospital that also read it), then the anamnesis text
    // that stands in for the anamnesis document.
    for (const FieldEntry& f : fieldTable())
        if (column.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0 &&
            (f.source == FieldSource::Text || f.source == FieldSource::Date))
            return f.number;
    for (const FieldEntry& f : fieldTable())
        if (f.source == FieldSource::Anamnesis &&
            (column.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0 ||
             column.compare(QLatin1String(f.column2), Qt::CaseInsensitive) == 0))
            return f.number;
    return 0;
}

TemplateDesigner::TemplateDesigner(data::TDM& dm, TemplateOperations& operations, DocumentAssembly& assembly,
                                   DesignerViews views, QObject* parent)
    : QObject(parent), dm_(dm), operations_(operations), assembly_(assembly), views_(views)
{
}

bool TemplateDesigner::insertionMode()
{
    return programSwitches().MarkerInsertion;
}

void TemplateDesigner::setInsertionMode(bool on)
{
    programSwitches().MarkerInsertion = on;
}

QString TemplateDesigner::treatmentQuestion()
{
    return QStringLiteral("В каком виде отображать лечение??\r\nЕдиной строкой - Yes, в столбик - No!!");
}

QString TemplateDesigner::deleteQuestion()
{
    return QStringLiteral("Удалить шаблон?");
}

QString TemplateDesigner::unsavedEditsQuestion()
{
    return QStringLiteral("Шаблон в конструкторе изменён и не сохранён.\r\nЗаменить его, не сохраняя изменений?");
}

QString TemplateDesigner::defaultTemplateName()
{
    return QStringLiteral(" ..");
}

// ---------------------------------------------------------------- markers

bool TemplateDesigner::InsertMarker(const QString& text)
{
    word::DocumentView& view = *views_.document;
    if (view.isEmpty())
        return false;
    try {
        view.activate();
        view.automation().selection().insertAfter(text);
        return true;
    } catch (const std::exception&) {
        return false; // a marker that cannot reach the document is dropped without a word
    }
}

bool TemplateDesigner::InsertFieldMarker(int number)
{
    return insertionMode() && InsertMarker(markerText(MarkerKind::Field, number));
}

bool TemplateDesigner::InsertFieldMarkerOfColumn(const QString& column)
{
    const int number = fieldNumberOfColumn(column);
    return number > 0 && InsertFieldMarker(number);
}

bool TemplateDesigner::InsertGroupMarker(qint64 typeId)
{
    return insertionMode() && InsertMarker(keyMarker(MarkerKind::Group, typeId));
}

bool TemplateDesigner::InsertTreatmentMarker()
{
    if (!insertionMode())
        return false;
    const int form = dialogs().confirm(treatmentQuestion()) ? 1 : 2;
    return InsertMarker(markerText(MarkerKind::Treatment, form));
}

bool TemplateDesigner::InsertTemplateMarker()
{
    const qint64 key = selectedTemplate();
    return key > 0 && InsertMarker(keyMarker(MarkerKind::Template, key));
}

// ---------------------------------------------------------------- templates

qint64 TemplateDesigner::selectedTemplate() const
{
    const data::Dataset& list = *dm_.Sh_q;
    if (!hasRow(list))
        return 0;
    return list.field(QStringLiteral("ShId")).asInteger();
}

void TemplateDesigner::OpenTemplates()
{
    dm_.OpenTemplatesOfType();
}

bool TemplateDesigner::hasUnsavedEdits() const
{
    const word::DocumentView& view = *views_.document;
    if (assembled_ || view.isEmpty())
        return false;
    return restoredUnsaved_ || view.changedSinceLoaded();
}

bool TemplateDesigner::mayReplaceDocument()
{
    return !hasUnsavedEdits() || dialogs().confirm(unsavedEditsQuestion());
}

void TemplateDesigner::documentReplaced(qint64 shown)
{
    shown_ = shown;
    assembled_ = false;
    restoredUnsaved_ = false;
    unsavedBeforeAssembly_ = false;
}

bool TemplateDesigner::ShowDesignerTemplate()
{
    const qint64 key = selectedTemplate();
    if (key <= 0 || !mayReplaceDocument())
        return false;
    if (!operations_.LocateTemplate(key)) {
        OpenTemplates();
        throw Error(QStringLiteral("Шаблона больше нет в базе: его удалили."));
    }
    const QByteArray blob = dm_.Sh->field(QStringLiteral("ShRes")).asBytes();
    documentReplaced(0);
    views_.document->loadFromBlob(blob); // on failure the view is left empty
    shown_ = key;
    return true;
}

bool TemplateDesigner::NewTemplate()
{
    if (!mayReplaceDocument())
        return false;
    views_.document->loadDocument(word::Document());
    documentReplaced(0);
    return true;
}

QByteArray TemplateDesigner::documentToStore() const
{
    if (views_.document->isEmpty())
        throw Error(QStringLiteral("В конструкторе нет документа: покажите шаблон или начните новый."));
    return views_.document->saveToBlob();
}

qint64 TemplateDesigner::StoreNewTemplate()
{
    const QByteArray blob = documentToStore();
    const data::Dataset& types = *dm_.ShType;
    const data::Dataset& departments = *dm_.Otd;
    if (!hasRow(types) || !hasRow(departments))
        throw Error(QStringLiteral("Шаблон не сохранён: выберите отделение и тип шаблона."));
    const qint64 type = types.field(QStringLiteral("ShTID")).asInteger();
    const qint64 department = departments.field(QStringLiteral("OID")).asInteger();

    const QString name =
        dialogs().input(QStringLiteral("Название шаблона"), QStringLiteral("введите название"), defaultTemplateName())
            .left(kNameWidth);
    if (name.trimmed().isEmpty())
        throw Error(QStringLiteral("Шаблон не сохранён: у шаблона должно быть название."));

    qint64 key = 0;
    try {
        key = data::inUnitOfWork(*dm_.Pacents, [&] {
            data::Params type_;
            type_.set(QStringLiteral("t"), type);
            if (!exists(*dm_.Pacents, QStringLiteral("select ShTID from SHablonType where ShTID = :t"), type_))
                throw Error(QStringLiteral("этого типа шаблона больше нет в базе"));
            data::Params p;
            p.set(QStringLiteral("ShOtd"), department);
            p.set(QStringLiteral("ShType"), type);
            p.set(QStringLiteral("ShName"), name);
            p.set(QStringLiteral("ShRes"), blob);
            return dm_.Pacents->insertRow(
                QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes) values (:ShOtd, :ShType, :ShName, :ShRes)"),
                p);
        });
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("Шаблон не сохранён: %1").arg(reason(e)));
    }
    OpenTemplates();
    dm_.Sh_q->locate(QStringLiteral("ShId"), key);
    views_.document->markUnchanged();
    documentReplaced(key);
    emit templatesChanged();
    return key;
}

void TemplateDesigner::ReplaceShownTemplate()
{
    if (shown_ <= 0 || assembled_)
        throw Error(QStringLiteral("Шаблон не сохранён: в конструкторе нет показанного шаблона. Сохраните документ как новый."));
    const QByteArray blob = documentToStore();
    try {
        data::inUnitOfWork(*dm_.Pacents, [&] {
            data::Params p;
            p.set(QStringLiteral("ShRes"), blob);
            p.set(QStringLiteral("ShId"), shown_);
            if (dm_.Pacents->execute(QStringLiteral("update SHablon set ShRes = :ShRes where ShId = :ShId"), p) != 1)
                throw Error(QStringLiteral("шаблона больше нет в базе"));
        });
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("Шаблон не сохранён: %1").arg(reason(e)));
    }
    views_.document->markUnchanged();
    documentReplaced(shown_);
    emit templatesChanged();
}

bool TemplateDesigner::DeleteSelectedTemplate()
{
    const qint64 key = selectedTemplate();
    if (key <= 0 || !dialogs().confirm(deleteQuestion()))
        return false;
    const bool deleted = operations_.DeleteTemplate(key);
    if (deleted && key == shown_)
        shown_ = 0; // the document stays, as a new template
    emit templatesChanged();
    return deleted;
}

// ---------------------------------------------------------------- the test assembly

bool TemplateDesigner::AssembleForSelectedPatient(const AssemblyProgress& progress)
{
    if (views_.document->isEmpty())
        throw Error(QStringLiteral("В конструкторе нет документа: покажите шаблон."));
    if (!hasRow(*dm_.Pac_q))
        throw Error(QStringLiteral("Пациент не выбран: выберите его в окне «Пациент»."));
    if (!mayReplaceDocument())
        return false;
    unsavedBeforeAssembly_ = hasUnsavedEdits();
    restoredUnsaved_ = false;
    assembled_ = true;
    assembly_.AssembleDocument(*views_.document, *views_.aux, *views_.markerBox, progress);
    return true;
}

void TemplateDesigner::CancelAssembly()
{
    assembly_.CancelAssembly(*views_.document);
    assembled_ = false;
    restoredUnsaved_ = unsavedBeforeAssembly_;
}

} // namespace talvora::templates

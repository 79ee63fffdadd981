#include "templates/template_operations.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "ui/dialog_service.h"

namespace talvora::templates {

namespace {

const QString kShId = QStringLiteral("ShId");

} // namespace

TemplateOperations::TemplateOperations(data::TDM& dm) : dm_(dm)
{
    dm_.hooks.templates.DeleteTemplateType = [this] { DeleteTemplateType(); };
}

TemplateOperations::~TemplateOperations()
{
    dm_.hooks.templates.DeleteTemplateType = {};
}

QString TemplateOperations::deleteTypeQuestion()
{
    return QStringLiteral("Действительно удалить ТИП шаблона??\r\nОсторожно все шаблоны этого типа будут удалены!!");
}

bool TemplateOperations::FindTemplateByName(const QString& name)
{
    data::TableDataset& sh = *dm_.Sh;
    if (!sh.active())
        sh.open();
    data::LocateOptions partial;
    partial.partialKey = true;
    return sh.locate(QStringLiteral("ShName"), name, partial);
}

bool TemplateOperations::LocateTemplate(qint64 shId)
{
    data::TableDataset& sh = *dm_.Sh;
    if (!sh.active())
        sh.open();
    if (sh.locate(kShId, shId))
        return true;
    refreshTemplates();
    return sh.locate(kShId, shId);
}

bool TemplateOperations::DeleteTemplate(qint64 shId)
{
    bool deleted = false;
    try {
        if (LocateTemplate(shId)) {
            dm_.Sh->remove();
            deleted = true;
        }
    } catch (const std::exception&) {
        // Nothing is said; the list below shows what is left.
    }
    dm_.OpenTemplatesOfType();
    return deleted;
}

void TemplateOperations::DeleteTemplateType()
{
    const data::TableDataset& types = *dm_.ShType;
    if (!types.active() || types.isEmpty())
        return;
    if (!dialogs().confirm(deleteTypeQuestion()))
        throw SilentAbort();

    const QString type = QString::number(types.field(QStringLiteral("ShTID")).asInteger());
    try {
        // The hook runs before the dataset deletes the type's row, and that
        // deletion is a transaction of its own. So the type's row goes here,
        // in one unit with its templates: either both are gone or neither
        // is. The dataset's own deletion then finds the row gone already and
        // only drops it from its rows.
        data::inUnitOfWork(*dm_.Pacents, [&] {
            dm_.Sh_q->close();
            dm_.Sh_q->setSqlText(QStringLiteral("delete from Shablon where ShType = ") + type);
            dm_.Sh_q->run();
            dm_.Pacents->execute(QStringLiteral("delete from SHablonType where ShTID = ") + type, {});
        });
    } catch (const Error& e) {
        dm_.OpenTemplatesOfType();
        throw Error(QStringLiteral("Тип шаблона не удалён: %1").arg(e.message()));
    } catch (const std::exception& e) {
        dm_.OpenTemplatesOfType();
        throw Error(QStringLiteral("Тип шаблона не удалён: %1").arg(QString::fromUtf8(e.what())));
    }
    dm_.OpenTemplatesOfType();
    refreshTemplates();
}

void TemplateOperations::refreshTemplates()
{
    // Sh must not go on offering templates that a statement deleted (nor
    // miss ones a statement stored); a template being edited keeps it as it is.
    data::TableDataset& sh = *dm_.Sh;
    try {
        if (!sh.active())
            sh.open();
        else if (!sh.editing())
            sh.refresh();
    } catch (const std::exception&) {
    }
}

} // namespace talvora::templates

#include "drug_reference.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "data/sort_query.h"
#include "data/unit_of_work.h"
#include "ui/dialog_service.h"

namespace talvora::treatment {

namespace {

const QString kTrTid = QStringLiteral("TrTid");

QVariant currentKey(const data::Dataset& ds, const QString& field)
{
    if (!ds.active() || ds.isEmpty() || ds.state() == data::DatasetState::Insert)
        return {};
    return ds.field(field).value();
}

// A typed name as the column keeps it: cut to the column's width.
QString fitted(const data::Database& db, const char* table, const char* field, const QString& text)
{
    const data::TableDef* t = db.schema().table(QString::fromLatin1(table));
    const data::FieldDef* f = t ? t->field(QString::fromLatin1(field)) : nullptr;
    return f && f->size > 0 && text.size() > f->size ? text.left(f->size) : text;
}

} // namespace

const QString DrugReference::kNewDrugNotes = QStringLiteral("Введите примечания");

QStringList groupListStatement(qint64 macrogroup)
{
    return {QStringLiteral("SELECT TrTid, TrTname, TrTself "), QStringLiteral("FROM TreatType.DB "),
            QStringLiteral(" WHERE  TrTself =") + QString::number(macrogroup), QStringLiteral(" ORDER BY TrTname ")};
}

DrugReference::DrugReference(data::TDM& dm, QObject* parent) : QObject(parent), dm_(dm) {}

QVariant DrugReference::currentMacrogroup() const { return currentKey(*dm_.TrType_q_0, kTrTid); }
QVariant DrugReference::currentGroup() const { return currentKey(*dm_.TrType_q_1, kTrTid); }
QVariant DrugReference::currentDrug() const { return currentKey(*dm_.Treat, QStringLiteral("Tid")); }

void DrugReference::Open()
{
    reopenMacrogroups(currentMacrogroup());
    ShowGroupsOfMacrogroup();
    ShowDrugsOfGroup();
}

// ---------------------------------------------------------------- lists

void DrugReference::reopenMacrogroups(const QVariant& select)
{
    data::QueryDataset& q = *dm_.TrType_q_0;
    q.close();
    q.open(); // its statement is set before every opening
    if (!select.isNull())
        q.locate(kTrTid, select);
}

void DrugReference::reopenGroups(const QVariant& select)
{
    ShowGroupsOfMacrogroup();
    if (!select.isNull())
        dm_.TrType_q_1->locate(kTrTid, select);
}

void DrugReference::ShowGroupsOfMacrogroup()
{
    data::QueryDataset& q = *dm_.TrType_q_1;
    const QVariant macrogroup = currentMacrogroup();
    q.close();
    q.setSql(groupListStatement(macrogroup.isNull() ? -1 : macrogroup.toLongLong()));
    q.run();
    q.open();
}

void DrugReference::ShowDrugsOfGroup()
{
    data::QueryDataset& q = *dm_.Treat_q;
    q.close();
    q.setParam(QStringLiteral("N_TrType"), currentGroup());
    q.run();
    q.open();
    if (!dm_.Treat->active())
        dm_.Treat->open();
    // The drug prescribed is the one the list shows selected, whatever its order.
    SelectDrug();
}

void DrugReference::SelectDrug()
{
    const QVariant tid = currentKey(*dm_.Treat_q, QStringLiteral("Tid"));
    if (tid.isNull() || !dm_.Treat->active())
        return;
    if (!dm_.Treat->locate(QStringLiteral("Tid"), tid)) {
        dm_.Treat->refresh();
        dm_.Treat->locate(QStringLiteral("Tid"), tid);
    }
}

void DrugReference::SortByColumn(data::QueryDataset& list, const QString& field)
{
    data::SortQueryByColumn(list, field);
}

// ---------------------------------------------------------------- macrogroups and groups

QString DrugReference::askName(bool macrogroup, const QString& proposed) const
{
    if (macrogroup)
        return dialogs().input(QStringLiteral("Название Макрогруппы ЛВ"),
                               QStringLiteral("Введите название лекарственной макрогруппы"), proposed);
    return dialogs().input(QStringLiteral("Название группы ЛВ"), QStringLiteral("Введите название лекарственной группы"),
                           proposed);
}

qint64 DrugReference::AddTreatType(qint64 parent)
{
    const QString name = askName(parent == 0, QStringLiteral(".."));
    data::Params p;
    p.set(QStringLiteral("name"), fitted(*dm_.Pacents, "TreatType", "TrTname", name));
    p.set(QStringLiteral("parent"), parent);
    const qint64 key =
        dm_.Pacents->insertRow(QStringLiteral("insert into TreatType (TrTname, TrTself) values (:name, :parent)"), p);
    if (parent == 0) {
        reopenMacrogroups(key);
        ShowGroupsOfMacrogroup();
    } else {
        reopenMacrogroups(parent);
        reopenGroups(key);
    }
    ShowDrugsOfGroup();
    return key;
}

qint64 DrugReference::AddGroup()
{
    const QVariant macrogroup = currentMacrogroup();
    if (macrogroup.isNull()) {
        dialogs().notice(QStringLiteral("Сначала создайте или выберите макрогруппу ЛВ."));
        return 0;
    }
    return AddTreatType(macrogroup.toLongLong());
}

void DrugReference::RenameMacrogroup()
{
    const QVariant id = currentMacrogroup();
    if (id.isNull())
        return;
    const QString name = askName(true, dm_.TrType_q_0->field(QStringLiteral("TrTname")).asString());
    data::Params p;
    p.set(QStringLiteral("name"), fitted(*dm_.Pacents, "TreatType", "TrTname", name));
    p.set(QStringLiteral("id"), id);
    dm_.Pacents->execute(QStringLiteral("UPDATE TreatType SET TrTname = :name WHERE TrTid = :id"), p);
    reopenMacrogroups(id);
    if (dm_.TrType->active())
        dm_.TrType->refresh();
}

void DrugReference::RenameGroup(qint64 id, const QString& name)
{
    const QString answer = askName(false, name);
    data::Params p;
    p.set(QStringLiteral("name"), fitted(*dm_.Pacents, "TreatType", "TrTname", answer));
    p.set(QStringLiteral("id"), id);
    dm_.Pacents->execute(QStringLiteral("UPDATE TreatType SET TrTname = :name WHERE TrTid = :id"), p);
    reopenGroups(id);
    if (dm_.TrType->active())
        dm_.TrType->refresh();
}

void DrugReference::RenameCurrentGroup()
{
    const QVariant id = currentGroup();
    if (id.isNull())
        return;
    RenameGroup(id.toLongLong(), dm_.TrType_q_1->field(QStringLiteral("TrTname")).asString());
}

void DrugReference::DeleteGroup(qint64 id)
{
    data::Params p;
    p.set(QStringLiteral("id"), id);
    data::inUnitOfWork(*dm_.Pacents, [&] {
        dm_.Pacents->execute(QStringLiteral("delete from Treat where TrType = :id"), p);
        dm_.Pacents->execute(QStringLiteral("delete from TreatType  where TrTid = :id"), p);
    });
}

void DrugReference::DeleteMacrogroup(qint64 id)
{
    data::Params p;
    p.set(QStringLiteral("id"), id);
    try {
        data::inUnitOfWork(*dm_.Pacents, [&] {
            dm_.Pacents->execute(
                QStringLiteral("delete from Treat where TrType in (select TrTid from TreatType where TrTself = :id)"), p);
            dm_.Pacents->execute(QStringLiteral("delete from Treat where TrType = :id"), p);
            dm_.Pacents->execute(QStringLiteral("delete from TreatType  where TrTself = :id"), p);
            dm_.Pacents->execute(QStringLiteral("delete from TreatType  where TrTid = :id"), p);
        });
    } catch (...) {
        // Nothing was deleted; the lists show what is stored.
        reopenMacrogroups(id);
        ShowGroupsOfMacrogroup();
        ShowDrugsOfGroup();
        throw;
    }
    reopenMacrogroups({});
    if (dm_.TrType->active())
        dm_.TrType->refresh();
    ShowGroupsOfMacrogroup();
    ShowDrugsOfGroup();
}

void DrugReference::DeleteCurrentGroup()
{
    const QVariant id = currentGroup();
    if (id.isNull())
        return;
    const QString name = dm_.TrType_q_1->field(QStringLiteral("TrTname")).asString();
    if (!dialogs().confirm(QStringLiteral("Удалить лекарственную группу \r\n") + name + QStringLiteral(" ?")))
        return;
    try {
        DeleteGroup(id.toLongLong());
    } catch (...) {
        ShowGroupsOfMacrogroup();
        ShowDrugsOfGroup();
        throw;
    }
    ShowGroupsOfMacrogroup();
    ShowDrugsOfGroup();
}

void DrugReference::DeleteCurrentMacrogroup()
{
    const QVariant id = currentMacrogroup();
    if (id.isNull())
        return;
    if (!dialogs().confirm(QStringLiteral("Макрогруппа может содержать вложенные записи\r\nпри ее удадении будет удалено "
                                          "и все ее содержимое. Продолжать?")))
        return;
    DeleteMacrogroup(id.toLongLong());
}

// ---------------------------------------------------------------- the drug editor

void DrugReference::setState(EditorState state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit editorStateChanged(state);
}

void DrugReference::NewDrug()
{
    if (state_ != EditorState::Browse)
        return;
    if (currentGroup().isNull()) {
        dialogs().notice(QStringLiteral("Сначала выберите подгруппу ЛВ, в которую добавляется препарат."));
        return;
    }
    data::TableDataset& t = *dm_.Treat;
    if (!t.active())
        t.open();
    dm_.Treat_q->close();
    t.append(); // the master link gives it the current group
    t.field(QStringLiteral("Tprim")).setValue(kNewDrugNotes);
    setState(EditorState::NewDrug);
}

void DrugReference::ChangeDrug()
{
    if (state_ != EditorState::Browse)
        return;
    SelectDrug();
    if (currentDrug().isNull()) {
        dialogs().notice(QStringLiteral("Выберите препарат в списке."));
        return;
    }
    setState(EditorState::ChangeDrug);
}

void DrugReference::StoreDrug()
{
    if (state_ == EditorState::Browse)
        return;
    data::TableDataset& t = *dm_.Treat;
    if (t.editing()) {
        if (t.field(QStringLiteral("Tname_r")).asString().trimmed().isEmpty())
            throw Error(QStringLiteral("Введите название препарата (поле «Название ЛВ»)."));
        t.post(); // a failure leaves the editor open with what was typed
    }
    const QVariant stored = currentDrug();
    setState(EditorState::Browse);
    ShowDrugsOfGroup();
    if (!stored.isNull())
        dm_.Treat_q->locate(QStringLiteral("Tid"), stored);
}

void DrugReference::CancelDrug()
{
    if (state_ == EditorState::Browse)
        return;
    const QVariant drug = state_ == EditorState::ChangeDrug ? currentDrug() : QVariant();
    if (dm_.Treat->editing())
        dm_.Treat->cancel();
    setState(EditorState::Browse);
    ShowDrugsOfGroup();
    if (!drug.isNull())
        dm_.Treat_q->locate(QStringLiteral("Tid"), drug);
}

void DrugReference::DeleteDrug()
{
    const QVariant tid = currentKey(*dm_.Treat_q, QStringLiteral("Tid"));
    if (tid.isNull())
        return;
    const QString name = dm_.Treat_q->field(QStringLiteral("Tname_r")).asString();
    if (!dialogs().confirm(QStringLiteral("Удалить запись ") + name + QStringLiteral(" ?")))
        return;
    data::Params p;
    p.set(QStringLiteral("id"), tid);
    dm_.Pacents->execute(QStringLiteral("delete from Treat where Tid = :id"), p);
    if (dm_.Treat->active())
        dm_.Treat->refresh();
    ShowDrugsOfGroup();
}

} // namespace talvora::treatment

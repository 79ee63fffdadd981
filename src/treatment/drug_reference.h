#pragma once
// The department's drug reference ("Фармакологический справочник"): drugs
// arranged in macrogroups and groups, edited in place. The macrogroup list
// is TrType_q_0, the group list TrType_q_1 (the groups of the current
// macrogroup), the drug list Treat_q (the drugs of the current group); the
// current drug is the current row of the table Treat, the one that is
// prescribed and that the drug editor changes.
//
// Names typed by the doctor reach the database as parameters; a new row is
// selected by the key its insert returned.

#include <QObject>
#include <QString>
#include <QVariant>

namespace talvora::data {
class QueryDataset;
class TDM;
}

namespace talvora::treatment {

class DrugReference : public QObject {
    Q_OBJECT

public:
    enum class EditorState { Browse, NewDrug, ChangeDrug };

    explicit DrugReference(data::TDM& dm, QObject* parent = nullptr);

    // The window was shown: the macrogroups are read again (staying on the
    // current one), then its groups and the drugs of the current group.
    void Open();

    // --- lists
    // The group list becomes the groups of the current macrogroup, by name.
    void ShowGroupsOfMacrogroup();
    // The drug list becomes the drugs of the current group, in its order;
    // the current drug is the row it shows selected.
    void ShowDrugsOfGroup();
    // The drug selected in the drug list becomes the current drug.
    void SelectDrug();
    // A click on a column title of one of the three lists.
    void SortByColumn(data::QueryDataset& list, const QString& field);

    // --- macrogroups and groups
    // Asks a name and stores a new macrogroup (parent 0) or a group of the
    // macrogroup `parent`; the new row becomes current. Returns its key.
    qint64 AddTreatType(qint64 parent);
    // "Новая подгруппа": a group of the current macrogroup; 0 and a message
    // when there is no macrogroup.
    qint64 AddGroup();
    // Asks the new name of the current macrogroup (its old name proposed).
    void RenameMacrogroup();
    // Asks the new name of the group `id` (`name` proposed).
    void RenameGroup(qint64 id, const QString& name);
    void RenameCurrentGroup();
    // Deletes the group `id` with its drugs, all or nothing.
    void DeleteGroup(qint64 id);
    // Asks, then deletes the macrogroup `id`, its groups and their drugs, all
    // or nothing. Prescriptions keep their copied drug names.
    void DeleteMacrogroup(qint64 id);
    // The delete buttons: ask first.
    void DeleteCurrentGroup();
    void DeleteCurrentMacrogroup();

    // --- the drug editor
    // "Новый препарат": a new drug of the current group in the editor.
    void NewDrug();
    // "Измененить запись": the current drug in the editor.
    void ChangeDrug();
    // "Сохранить изменения": stores the drug; the editor stays open when
    // the drug cannot be stored (no name).
    void StoreDrug();
    // "Cancel": the editor's changes are dropped (a new drug with them).
    void CancelDrug();
    // "Удалить препарат": asks, then deletes the drug selected in the list.
    void DeleteDrug();

    EditorState editorState() const { return state_; }

    // Keys of the current rows; null when the list has none.
    QVariant currentMacrogroup() const;
    QVariant currentGroup() const;
    QVariant currentDrug() const;

    static const QString kNewDrugNotes;

signals:
    void editorStateChanged(talvora::treatment::DrugReference::EditorState state);

private:
    void setState(EditorState state);
    void reopenMacrogroups(const QVariant& select);
    void reopenGroups(const QVariant& select);
    QString askName(bool macrogroup, const QString& proposed) const;

    data::TDM& dm_;
    EditorState state_ = EditorState::Browse;
};

// The statement of the group list for a macrogroup: its last line is the
// ORDER BY clause, which a title click replaces.
QStringList groupListStatement(qint64 macrogroup);

} // namespace talvora::treatment

#pragma once
// The data module: owner of both database connections and of every shared
// dataset, statement slot and the batch copy. Windows read and write data
// only through it; current rows are shared, so the department chosen on the
// start window and the patient chosen in the list are everybody's.

#include "aliases.h"
#include "batch_move.h"
#include "database.h"
#include "query_dataset.h"
#include "table_dataset.h"
#include "update_sql.h"

#include <functional>
#include <memory>

namespace talvora::data {

// Calls from the data module into the windows, grouped by the area whose
// operations they run. Each area's operations class installs its own group
// when it is built; until then every call does nothing (and a "before" hook
// lets the action go on).
struct PatientHooks {
    std::function<void()> OpenPatientDocuments;              // Pac_q moved (the data module re-reads them by default)
    std::function<void(int)> ShowFoundCount;                 // pac_q1 opened
    std::function<void()> LoadPatientCard;                   // pac_q1 moved (while CardFollowsList)
    std::function<void()> LeavePatient;                      // pac_q1 about to move (while CardFollowsList); throws to stay
};

struct TemplateHooks {
    std::function<void()> DeleteTemplateType;                // before an ShType row is deleted; throws SilentAbort to keep it
    std::function<void()> ShowSelectedTemplate;              // Sh_q moved
    std::function<void(bool)> SetDefaultTemplateCheck;       // Sh_q moved: "Выписка по умолч"
};

struct TreatmentHooks {
    std::function<bool()> InvestigationAutoDisplay;          // whether Issled_q moves show the result
    std::function<void()> ShowInvestigationResult;           // Issled_q moved
    std::function<void()> NaznAfterInsert;                   // Nazn row inserted
};

struct BoilerplateHooks {
    std::function<void()> FishQAfterScroll;                  // Fish_q moved
    std::function<void()> FishTBeforePost;                   // Fish_t row about to be stored
    std::function<void()> SelectFirstBoilerplateKind;        // department moved (not the first time)
};

struct ErrorReportHooks {
    std::function<void(Dataset&)> ErrorRecordDefaults;       // Error_t / Err_q new row and start of edit
};

struct TDMHooks {
    PatientHooks patient;
    TemplateHooks templates;
    TreatmentHooks treatment;
    BoilerplateHooks boilerplates;
    ErrorReportHooks errors;
};

class TDM {
public:
    // Connects the workstation database and opens the datasets that are open
    // from the start; throws talvora::Error with the engine's message when
    // anything fails.
    explicit TDM(AliasResolver aliases = {});
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    TDMHooks hooks;

    // Connections.
    std::unique_ptr<Database> Pacents; // pacientdata, PPP
    std::unique_ptr<Database> Errors;  // Errors, EEE

    // Tables.
    std::unique_ptr<TableDataset> Otd, ShType, ShType2, Sh, VType, Pac_t, Error_t, Fish_t, TrType,
        Treat, Nazn, Err;
    // Queries.
    std::unique_ptr<QueryDataset> Pac_q, pac_q1, Vipis_q, Sh_q, Sh_q_all, Issled_q, TrType_q_0,
        TrType_q_1, Treat_q, Err_q, Fish_q, Fish_q2, ShType_q, Sh_q2, Upload_q;
    // The document assembly's own investigation list: walking it moves
    // neither the investigations page's list (Issled_q) nor its editor.
    std::unique_ptr<QueryDataset> Issled_q2;
    // Statement slots and the batch copy.
    std::unique_ptr<UpdateSql> UpdateSQL1, UpdateSQL2, UpdateSQL3;
    std::unique_ptr<BatchMove> BatchMove1;

    // The list operations; each returns false (and leaves its list closed) when a step fails.
    bool OpenTemplatesOfType();
    bool OpenAllTemplates();
    bool OpenInvestigationsOfType();
    bool OpenAllInvestigations();
    // The same selections on another investigation list (Issled_q2).
    bool OpenInvestigationsOfType(QueryDataset& list);
    bool OpenAllInvestigations(QueryDataset& list);

    // Re-reads the documents of the current patient into Vipis_q.
    void ReadPatientDocuments();

    // The handler of every move of the department cursor.
    void DepartmentMoved();

    static QStringList pacQStatement();
    static QStringList pacQ1Statement();
    static QStringList vipisQStatement();
    static QString trTypeQ0Statement();
    static QStringList fishQStatement();
    static QStringList createPatientStatement();
    static QStringList deletePatientStatement();

private:
    void createDatasets();
    void connectEvents();
    void openFromStart();
    bool reopenList(QueryDataset& q, const QString& statement);
};

} // namespace talvora::data

#include "data_module.h"

#include "common/errors.h"
#include "common/program_state.h"

namespace talvora::data {

namespace {

template <class F, class... A>
void call(const F& f, A&&... args)
{
    if (f)
        f(std::forward<A>(args)...);
}

} // namespace

QStringList TDM::pacQStatement()
{
    return {QStringLiteral("Select pID, PName, Phist, Potd, "),
            QStringLiteral("Pdp, pdv, PdiaK, PdiaV, PanM, PanV, Palat, "),
            QStringLiteral("PanW, pName_f, Pname_n, Pname_o,"),
            QStringLiteral("Pprof, Pmale, pdb, Pjal, Psomat, Pnst, Pves, Precom"),
            QString(),
            QString(),
            QString(),
            QStringLiteral(" from pacient ")};
}

QStringList TDM::pacQ1Statement()
{
    return {QStringLiteral("Select Palat,  PName, Pid, PdP"), QStringLiteral("FROM pacient "),
            QStringLiteral("WHERE potd =:potd"), QString(), QStringLiteral("order by Palat, PName")};
}

QStringList TDM::vipisQStatement()
{
    return {QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres"), QStringLiteral("FROM Vipis"),
            QStringLiteral("WHERE Vpac = :Vpac"), QStringLiteral("ORDER BY Vdate")};
}

QString TDM::trTypeQ0Statement()
{
    return QStringLiteral("SELECT TrTid, TrTname, TrTself FROM TreatType.DB  WHERE  TrTself = 0ORDER BY TrTname");
}

QStringList TDM::fishQStatement()
{
    return {QStringLiteral("SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale"),
            QStringLiteral("FROM Fish"), QStringLiteral("WHERE "),
            QStringLiteral("  (Fotd = :otd) AND  (FType = :type)  AND ( (Fmin < :min) OR (Fmin =:min))  "
                           "AND  ( (Fmax > :max) OR (Fmax =:max) )  ")};
}

QStringList TDM::createPatientStatement()
{
    return {QStringLiteral("insert into pacient"),
            QStringLiteral("  (PName, Phist, Potd, Pdp, pdv, PdiaK, PdiaV, PanM, Palat, PanW,"),
            QStringLiteral("   pName_f, Pname_n, Pname_o, Pprof, Pmale, pdb, Pjal, Psomat)"),
            QStringLiteral("values"),
            QStringLiteral("  (\"АА_Новый\", 0, :Potd, :Pdp, :pdv, \" \", \" \", \" \", 0, :PanW,"),
            QStringLiteral("   \" \", \" \", \" \", \" \", 1, :pdb, \" \", :Psomat)")};
}

QStringList TDM::deletePatientStatement()
{
    return {QStringLiteral("delete from pacient"), QStringLiteral("where"), QStringLiteral("  PID = :OLD_PID")};
}

TDM::TDM(AliasResolver aliases)
{
    Pacents = std::make_unique<Database>(QStringLiteral("Pacents"), QString::fromLatin1(kWorkstationAlias),
                                         QStringLiteral("PPP"), workstationSchema(), aliases);
    Errors = std::make_unique<Database>(QStringLiteral("Errors"), QString::fromLatin1(kErrorAlias),
                                        QStringLiteral("EEE"), errorSchema(), aliases);
    hooks.patient.OpenPatientDocuments = [this] { ReadPatientDocuments(); };
    createDatasets();
    connectEvents();
    Pacents->open();
    openFromStart();
}

TDM::~TDM() = default;

void TDM::createDatasets()
{
    Database& ppp = *Pacents;
    using Q = QueryDataset::Mode;

    Otd = std::make_unique<TableDataset>(QStringLiteral("Otd"), ppp, QStringLiteral("Otdelen.DB"));
    ShType = std::make_unique<TableDataset>(QStringLiteral("ShType"), ppp, QStringLiteral("SHablonType.db"));
    ShType->setIndexField(QStringLiteral("ShTotd"));
    ShType->setMasterLink(Otd.get(), QStringLiteral("OID"), QStringLiteral("ShTotd"));
    ShType2 = std::make_unique<TableDataset>(QStringLiteral("ShType2"), ppp, QStringLiteral("SHablonType.DB"));
    Sh = std::make_unique<TableDataset>(QStringLiteral("Sh"), ppp, QStringLiteral("SHablon.DB"));
    VType = std::make_unique<TableDataset>(QStringLiteral("VType"), ppp, QStringLiteral("VipisType.DB"));
    VType->setIndexField(QStringLiteral("VTOtd"));
    VType->setMasterLink(Otd.get(), QStringLiteral("OID"), QStringLiteral("VTOtd"));
    Pac_t = std::make_unique<TableDataset>(QStringLiteral("Pac_t"), ppp, QStringLiteral("Pacient.DB"));
    Error_t = std::make_unique<TableDataset>(QStringLiteral("Error_t"), ppp, QStringLiteral("Errors.db"));
    Fish_t = std::make_unique<TableDataset>(QStringLiteral("Fish_t"), ppp, QStringLiteral("Fish.db"));

    TrType_q_0 = std::make_unique<QueryDataset>(QStringLiteral("TrType_q_0"), ppp, Q::Cached);
    TrType_q_0->setSqlText(trTypeQ0Statement());
    TrType_q_1 = std::make_unique<QueryDataset>(QStringLiteral("TrType_q_1"), ppp);
    TrType_q_1->setSql({QStringLiteral("SELECT TrTid, TrTname, TrTself"), QString(),
                        QStringLiteral("FROM \"TreatType.DB\" Treattype"), QString(),
                        QStringLiteral("WHERE  TrTself = 1"), QString(), QString()});

    TrType = std::make_unique<TableDataset>(QStringLiteral("TrType"), ppp, QStringLiteral("TreatType.DB"));
    TrType->setMasterLink(TrType_q_0.get(), QStringLiteral("TrTid"), QStringLiteral("TrTid"));
    Treat = std::make_unique<TableDataset>(QStringLiteral("Treat"), ppp, QStringLiteral("Treat.DB"));
    Treat->setIndexField(QStringLiteral("TrType"));
    Treat->setMasterLink(TrType_q_1.get(), QStringLiteral("TrTid"), QStringLiteral("TrType"));

    Pac_q = std::make_unique<QueryDataset>(QStringLiteral("Pac_q"), ppp, Q::Cached);
    Pac_q->setSql(pacQStatement());
    Pac_q->setRowsOnDemand(true); // all patients; the card shows one at a time
    Nazn = std::make_unique<TableDataset>(QStringLiteral("Nazn"), ppp, QStringLiteral("Nazn.DB"));
    Nazn->setIndexField(QStringLiteral("Npac"));
    Nazn->setMasterLink(Pac_q.get(), QStringLiteral("pID"), QStringLiteral("Npac"));

    pac_q1 = std::make_unique<QueryDataset>(QStringLiteral("pac_q1"), ppp);
    pac_q1->setSql(pacQ1Statement());

    Vipis_q = std::make_unique<QueryDataset>(QStringLiteral("Vipis_q"), ppp, Q::Cached);
    Vipis_q->setSql(vipisQStatement());
    Vipis_q->addLookupField(QStringLiteral("Podst_t"), QStringLiteral("Vtype"), VType.get(),
                            QStringLiteral("VTid"), QStringLiteral("VTName"));

    Sh_q = std::make_unique<QueryDataset>(QStringLiteral("Sh_q"), ppp);
    Sh_q->setSqlText(QStringLiteral("select ShName, Sh_def, ShId from SHablon where (ShType = 0) and (ShOtd = 0)"));
    Sh_q_all = std::make_unique<QueryDataset>(QStringLiteral("Sh_q_all"), ppp);
    Sh_q_all->setSqlText(QStringLiteral("select ShName, ShId from SHablon where ShOtd = 0"));

    Issled_q = std::make_unique<QueryDataset>(QStringLiteral("Issled_q"), ppp, Q::Cached);
    Issled_q->setSqlText(QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE Ipac =0"));
    Issled_q2 = std::make_unique<QueryDataset>(QStringLiteral("Issled_q2"), ppp);
    Issled_q2->setSqlText(QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE Ipac =0"));

    Treat_q = std::make_unique<QueryDataset>(QStringLiteral("Treat_q"), ppp);
    Treat_q->setSql({QStringLiteral("SELECT Tid, TrType, Tname_r, Tname_l, Tdose, Tkratn, Tprim, Tprice"),
                     QStringLiteral("FROM \"Treat.DB\" Treat"), QStringLiteral("WHERE  TrType = :N_TrType "),
                     QString()});

    Err_q = std::make_unique<QueryDataset>(QStringLiteral("Err_q"), ppp, Q::Live);
    Err_q->setSql({QStringLiteral("SELECT "),
                   QStringLiteral("  ErrID, ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, ErrOwner, ErrStatus"),
                   QStringLiteral("FROM Errors"), QStringLiteral("WHERE ErrStatus < 3"), QString(), QString(),
                   QString()});

    Fish_q = std::make_unique<QueryDataset>(QStringLiteral("Fish_q"), ppp, Q::Live);
    Fish_q->setSql(fishQStatement());
    Fish_q2 = std::make_unique<QueryDataset>(QStringLiteral("Fish_q2"), ppp);
    Fish_q2->setSql({QStringLiteral("SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale"),
                     QStringLiteral("FROM Fish"), QStringLiteral("WHERE"), QStringLiteral("  Fotd =:_Fotd"),
                     QString()});
    ShType_q = std::make_unique<QueryDataset>(QStringLiteral("ShType_q"), ppp);
    ShType_q->setSql({QStringLiteral("SELECT ShTID, ShTName, ShTotd "), QStringLiteral("FROM ShablonType "),
                      QStringLiteral("WHERE "), QStringLiteral("  ShTotd=:_ShTotd")});
    Sh_q2 = std::make_unique<QueryDataset>(QStringLiteral("Sh_q2"), ppp);
    Sh_q2->setSql({QStringLiteral("SELECT ShId, ShOtd, ShType, ShName, ShRes, Sh_min, Sh_max,  Sh_def"),
                   QStringLiteral("FROM SHablon "),
                   QStringLiteral("WHERE (ShOtd =:_ShOtd) AND (ShType=:_ShType)")});
    Upload_q = std::make_unique<QueryDataset>(QStringLiteral("Upload_q"), ppp);
    Upload_q->setSqlText(QStringLiteral(
        "SELECT Vipis.VID, Vipis.Vpac, Vipis.Vdate, Vipis.Vres, Pacient.Pname, Vipistype.VTName FROM "
        "\"Vipis.DB\" Vipis INNER JOIN \"Pacient.DB\" Pacient ON  (Vipis.Vpac = Pacient.PID)  INNER JOIN "
        "\"VipisType.DB\" Vipistype ON  (Vipis.Vtype = Vipistype.VTid)  WHERE Vipis.Vpac = 0"));

    Err = std::make_unique<TableDataset>(QStringLiteral("Err"), *Errors, QStringLiteral("Errors.DB"));

    UpdateSQL1 = std::make_unique<UpdateSql>(QStringLiteral("UpdateSQL1"), ppp);
    UpdateSQL1->setSql(UpdateSql::Insert, createPatientStatement());
    UpdateSQL1->setSql(UpdateSql::Delete, deletePatientStatement());
    UpdateSQL2 = std::make_unique<UpdateSql>(QStringLiteral("UpdateSQL2"), ppp);
    UpdateSQL3 = std::make_unique<UpdateSql>(QStringLiteral("UpdateSQL3"), ppp);

    BatchMove1 = std::make_unique<BatchMove>(ppp, QStringLiteral("Errors.db"), *Errors, QStringLiteral("Errors.DB"));
}

void TDM::connectEvents()
{
    Otd->afterScroll = [this](Dataset&) { DepartmentMoved(); };
    ShType->beforeDelete = [this](Dataset&) { call(hooks.templates.DeleteTemplateType); };
    Pac_q->afterScroll = [this](Dataset&) { call(hooks.patient.OpenPatientDocuments); };
    pac_q1->afterOpen = [this](Dataset& ds) { call(hooks.patient.ShowFoundCount, ds.recordCount()); };
    pac_q1->beforeScroll = [this](Dataset&) {
        if (programSwitches().CardFollowsList)
            call(hooks.patient.LeavePatient);
    };
    pac_q1->afterScroll = [this](Dataset&) {
        if (programSwitches().CardFollowsList)
            call(hooks.patient.LoadPatientCard);
    };
    Vipis_q->beforeOpen = [this](Dataset& ds) {
        auto& q = static_cast<QueryDataset&>(ds);
        if (q.hasParam(QStringLiteral("Vpac")))
            q.setParam(QStringLiteral("Vpac"), Pac_q->active() && !Pac_q->isEmpty()
                                                   ? Pac_q->field(QStringLiteral("pID")).value()
                                                   : QVariant());
    };
    Sh_q->afterScroll = [this](Dataset& ds) {
        call(hooks.templates.ShowSelectedTemplate);
        const auto def = ds.findField(QStringLiteral("Sh_def"));
        call(hooks.templates.SetDefaultTemplateCheck, def && def->asInteger() > 0);
    };
    Issled_q->afterScroll = [this](Dataset&) {
        if (hooks.treatment.InvestigationAutoDisplay && hooks.treatment.InvestigationAutoDisplay())
            call(hooks.treatment.ShowInvestigationResult);
    };
    TrType_q_0->beforeOpen = [](Dataset& ds) {
        static_cast<QueryDataset&>(ds).setSqlText(trTypeQ0Statement());
    };
    auto errorDefaults = [this](Dataset& ds) { call(hooks.errors.ErrorRecordDefaults, ds); };
    Error_t->onNewRecord = errorDefaults;
    Error_t->afterEdit = errorDefaults;
    Err_q->onNewRecord = errorDefaults;
    Err_q->afterEdit = errorDefaults;
    Nazn->afterInsert = [this](Dataset&) { call(hooks.treatment.NaznAfterInsert); };
    Fish_q->afterScroll = [this](Dataset&) { call(hooks.boilerplates.FishQAfterScroll); };
    Fish_t->beforePost = [this](Dataset&) { call(hooks.boilerplates.FishTBeforePost); };
}

void TDM::openFromStart()
{
    for (Dataset* ds : std::initializer_list<Dataset*>{
             Sh.get(), Otd.get(), ShType.get(), Issled_q.get(), VType.get(), TrType.get(), Treat.get(),
             Nazn.get(), TrType_q_0.get(), TrType_q_1.get(), Pac_t.get(), Error_t.get(), Err_q.get(),
             Fish_t.get(), ShType2.get()})
        ds->open();
}

void TDM::DepartmentMoved()
{
    // Any failure here ends the handler quietly.
    try {
        Fish_q->close();
        const QVariant oid = Otd->active() && !Otd->isEmpty() ? Otd->field(QStringLiteral("OID")).value() : QVariant();
        Fish_q->setParam(QStringLiteral("otd"), oid);
        Fish_q->setParam(QStringLiteral("type"), 1);
        if (programSwitches().FirstOtdScroll)
            programSwitches().FirstOtdScroll = false;
        else
            call(hooks.boilerplates.SelectFirstBoilerplateKind);
        Fish_q->setParam(QStringLiteral("min"), 0);
        Fish_q->setParam(QStringLiteral("max"), 900);
        try {
            Fish_q->run();
        } catch (const std::exception&) {
            Fish_q->setParam(QStringLiteral("min"), 0);
            Fish_q->setParam(QStringLiteral("max"), 900);
        }
        if (!Fish_q->active())
            Fish_q->open();
    } catch (const std::exception&) {
    }
}

void TDM::ReadPatientDocuments()
{
    Vipis_q->close();
    Vipis_q->setSqlText(QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres FROM Vipis WHERE Vpac = :Vpac ORDER BY Vdate "));
    const QVariant pid = Pac_q->active() && !Pac_q->isEmpty() ? Pac_q->field(QStringLiteral("pID")).value() : QVariant();
    Vipis_q->setParam(QStringLiteral("Vpac"), pid);
    Vipis_q->run();
    Vipis_q->open();
    Vipis_q->refresh();
}

bool TDM::reopenList(QueryDataset& q, const QString& statement)
{
    try {
        q.close();
        q.setSqlText(statement);
        q.run();
        q.open();
        return true;
    } catch (const std::exception&) {
        q.close();
        return false;
    }
}

namespace {

QString currentNumber(const Dataset& ds, const char* field)
{
    if (!ds.active() || ds.isEmpty())
        return QStringLiteral("0");
    return QString::number(ds.field(QString::fromLatin1(field)).asInteger());
}

} // namespace

bool TDM::OpenTemplatesOfType()
{
    return reopenList(*Sh_q, QStringLiteral("select ShName, Sh_def, ShId from SHablon where (ShType = ") +
                                 currentNumber(*ShType, "ShTID") + QStringLiteral(")") +
                                 QStringLiteral(" and (ShOtd = ") + currentNumber(*Otd, "OID") +
                                 QStringLiteral(")"));
}

bool TDM::OpenAllTemplates()
{
    // ShId too: a row names its template by its key (names repeat and may
    // begin one another).
    return reopenList(*Sh_q_all, QStringLiteral("select ShName, ShId from SHablon where ShOtd = ") + currentNumber(*Otd, "OID"));
}

bool TDM::OpenInvestigationsOfType()
{
    return OpenInvestigationsOfType(*Issled_q);
}

bool TDM::OpenAllInvestigations()
{
    return OpenAllInvestigations(*Issled_q);
}

bool TDM::OpenInvestigationsOfType(QueryDataset& list)
{
    return reopenList(list, QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE (Ipac =") +
                                currentNumber(*Pac_q, "pID") + QStringLiteral(") and (Itype = ") +
                                currentNumber(*ShType, "ShTID") + QStringLiteral(")"));
}

bool TDM::OpenAllInvestigations(QueryDataset& list)
{
    return reopenList(list, QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE Ipac =") +
                                currentNumber(*Pac_q, "pID"));
}

} // namespace talvora::data

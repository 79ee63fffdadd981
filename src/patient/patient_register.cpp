#include "patient_register.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "patient_filters.h"
#include "ui/dialog_service.h"

#include <QDateTime>

namespace talvora::patient {

using data::UpdateSql;

namespace {

const QString kPid = QStringLiteral("Pid");
const QString kPacPid = QStringLiteral("pID");

QVariant currentValue(const data::Dataset& ds, const QString& field)
{
    if (!ds.active() || ds.isEmpty())
        return {};
    return ds.field(field).value();
}

QString text(const data::Dataset& ds, const char* field)
{
    return ds.field(QString::fromLatin1(field)).asString();
}

} // namespace

PatientRegister::PatientRegister(data::TDM& dm, QObject* parent)
    : QObject(parent), dm_(dm), filters_(std::make_unique<PatientFilters>(dm, *this))
{
    dm_.hooks.patient.LoadPatientCard = [this] {
        if (quiet_ == 0)
            LoadPatientCard();
    };
    dm_.hooks.patient.ShowFoundCount = [this](int n) { emit foundCountChanged(n); };
    dm_.hooks.patient.LeavePatient = [this] {
        if (quiet_ == 0)
            leavingPatient();
    };
}

PatientRegister::~PatientRegister()
{
    dm_.hooks.patient.LoadPatientCard = {};
    dm_.hooks.patient.ShowFoundCount = {};
    dm_.hooks.patient.LeavePatient = {};
}

void PatientRegister::quietly(const std::function<void()>& f)
{
    struct Guard {
        int& n;
        explicit Guard(int& c) : n(c) { ++n; }
        ~Guard() { --n; }
    } guard(quiet_);
    f();
}

QString PatientRegister::departmentText() const
{
    return department_.isNull() ? QStringLiteral("0") : QString::number(department_.toLongLong());
}

QString PatientRegister::selectedName() const
{
    return currentValue(*dm_.pac_q1, QStringLiteral("PName")).toString();
}

// ---------------------------------------------------------------- the card

void PatientRegister::LoadPatientCard()
{
    const QVariant key = currentValue(*dm_.pac_q1, kPid);
    if (key.isNull())
        showEmptyCard();
    else
        showPatient(key);
}

void PatientRegister::showEmptyCard()
{
    patientKey_ = {};
    loaded_ = {};
    edited_ = false;
    emit cardLoaded(loaded_, QString(), QString());
}

void PatientRegister::showPatient(const QVariant& key)
{
    data::QueryDataset& q = *dm_.Pac_q;
    if (!q.active())
        q.open();
    if (!q.locate(kPacPid, key)) {
        // Inserted since Pac_q was read: read it again.
        q.refresh();
        if (!q.locate(kPacPid, key)) {
            showEmptyCard();
            return;
        }
    }
    if (text(q, "Pname_f").isEmpty())
        fillEmptySurname(key);

    PatientCard c;
    c.surname = text(q, "Pname_f");
    c.firstName = text(q, "Pname_n");
    c.patronymic = text(q, "Pname_o");
    const QDate birth = q.field(QStringLiteral("PdB")).asDate();
    const QDate admission = q.field(QStringLiteral("PdP")).asDate();
    const QDate discharge = q.field(QStringLiteral("PdV")).asDate();
    c.birth = ShowDateInParts(birth);
    c.admission = ShowDateInParts(admission);
    c.discharge = ShowDateInParts(discharge);
    c.weight = text(q, "Pves");
    c.profession = text(q, "Pprof");
    c.sex = q.field(QStringLiteral("Pmale")).asInteger() == 2 ? 2 : 1;
    c.history = text(q, "Phist");
    c.ward = text(q, "Palat");
    c.diagnosisClinical = text(q, "PdiaK");
    c.diagnosisConcomitant = text(q, "PdiaV");
    c.complaints = text(q, "Pjal");
    c.anamnesis = text(q, "PanM");
    c.somaticStatus = text(q, "Psomat");
    c.neuroStatus = text(q, "Pnst");

    patientKey_ = key;
    loaded_ = c;
    edited_ = false;
    emit cardLoaded(c, AgeLabel(birth, admission), StayText(admission, discharge, QDateTime::currentDateTime()));
}

void PatientRegister::fillEmptySurname(const QVariant& key)
{
    // A row written before surnames had a field of their own: its surname is
    // taken from its display name. Only this patient's row, and only while
    // its surname is still empty.
    const QString name = text(*dm_.Pac_q, "PName");
    if (name.isEmpty())
        return;
    const int changed = dm_.UpdateSQL1->runInSlot(
        UpdateSql::Modify,
        QStringLiteral("update pacient set   PName_f = :PName where (PID = :PID) and ((PName_f is null) or (PName_f = \"\"))"),
        [&](data::Params& p) {
            p.set(QStringLiteral("PName"), name);
            p.set(QStringLiteral("PID"), key);
        });
    if (changed > 0) {
        dm_.Pac_q->refresh();
        dm_.Pac_q->locate(kPacPid, key);
    }
}

void PatientRegister::writeCard(const QVariant& key)
{
    const PatientRowValues v = CheckedCard(readCard ? readCard() : loaded_, QDate::currentDate().year());
    const std::optional<TreatmentTexts> treatment = treatmentTexts ? treatmentTexts() : std::nullopt;

    data::TableDataset& t = *dm_.Pac_t;
    t.open();
    if (!t.locate(QStringLiteral("PID"), key)) {
        t.refresh();
        if (!t.locate(QStringLiteral("PID"), key))
            throw Error(QStringLiteral("Запись об этом пациенте уже удалена (возможно, в другом окне).\n"
                                       "Карточка не сохранена."));
    }
    t.edit();
    try {
        auto set = [&t](const char* field, const QVariant& value) { t.field(QString::fromLatin1(field)).setValue(value); };
        set("Pname", v.displayName);
        set("Phist", v.history);
        set("PdP", v.admission);
        set("PdV", v.discharge);
        set("PdiaK", v.diagnosisClinical);
        set("PdiaV", v.diagnosisConcomitant);
        set("Pjal", v.complaints);
        set("Psomat", v.somaticStatus);
        set("PanM", v.anamnesis);
        set("Pnst", v.neuroStatus);
        if (treatment) {
            set("PanV", treatment->course);
            set("Precom", treatment->recommendations);
        }
        set("Palat", v.ward);
        set("Pname_f", v.surname);
        set("Pname_n", v.firstName);
        set("Pname_o", v.patronymic);
        set("Pprof", v.profession);
        set("Pmale", v.sex);
        set("PdB", v.birth);
        set("Pves", v.weight);
        t.post();
    } catch (...) {
        if (t.editing())
            t.cancel();
        throw;
    }
    edited_ = false;
    if (treatment && treatmentTextsStored)
        treatmentTextsStored();
}

void PatientRegister::SavePatientCard()
{
    const QVariant key = patientKey_;
    if (key.isNull())
        return;
    writeCard(key);
    rereadList();
    positionList(key);
}

bool PatientRegister::hasUnstoredChanges() const
{
    return edited_ || (treatmentTexts && treatmentTexts());
}

void PatientRegister::ReloadPatient(const QVariant& key)
{
    if (key.isNull())
        return;
    rereadList();
    positionList(key);
}

void PatientRegister::StoreCardIfEdited()
{
    if (!hasUnstoredChanges() || patientKey_.isNull())
        return;
    writeCard(patientKey_);
}

void PatientRegister::leavingPatient()
{
    if (!hasUnstoredChanges() || patientKey_.isNull())
        return;
    // Throws when the card cannot be stored: the list then stays here.
    writeCard(patientKey_);
    // The list shows the stored display name once the move is over.
    QMetaObject::invokeMethod(this, [this] { refreshListNames(); }, Qt::QueuedConnection);
}

void PatientRegister::refreshListNames()
{
    data::QueryDataset& list = *dm_.pac_q1;
    if (!list.active())
        return;
    const QVariant key = currentValue(list, kPid);
    quietly([&] {
        list.refresh();
        if (!key.isNull())
            list.locate(kPid, key);
    });
    dm_.Pac_q->refresh();
}

void PatientRegister::positionList(const QVariant& key)
{
    // The list on the patient when it shows it; the card on the patient in any case.
    quietly([&] {
        if (dm_.pac_q1->active())
            dm_.pac_q1->locate(kPid, key);
    });
    showPatient(key);
}

void PatientRegister::CreatePatient()
{
    StoreCardIfEdited();
    if (department_.isNull())
        throw Error(QStringLiteral("В базе нет ни одного отделения: новому пациенту не к чему относиться.\n"
                                   "Добавьте отделение в окне «Настройки» (кнопка «Мастер настройки»)."));
    dm_.Pac_q->close();
    data::UpdateSql& slot = *dm_.UpdateSQL1;
    slot.params().clear();
    slot.setParam(QStringLiteral("Potd"), department_);
    slot.setParam(QStringLiteral("Pdp"), QDate::currentDate());
    slot.setParam(QStringLiteral("pdv"), EmptyDate());
    slot.setParam(QStringLiteral("PanW"), QVariant());
    slot.setParam(QStringLiteral("pdb"), EmptyDate());
    slot.setParam(QStringLiteral("Psomat"), QString());
    qint64 key = 0;
    try {
        key = slot.execInsert(UpdateSql::Insert);
    } catch (...) {
        dm_.Pac_q->open();
        throw;
    }
    rereadList();
    positionList(int(key));
    textsTouched_ = false;
}

void PatientRegister::DeletePatient()
{
    const QVariant key = currentValue(*dm_.pac_q1, kPid);
    if (key.isNull())
        return;
    if (!dialogs().confirm(QStringLiteral("Удалить запись о пациенте ") + selectedName() +
                           QStringLiteral("и все обследования? ")))
        return;
    const QString k = QString::number(key.toLongLong());
    if (patientKey_ == key)
        edited_ = false; // what was typed on this card goes with the patient

    dm_.Pac_q->close();
    dm_.Vipis_q->close();
    try {
        data::inUnitOfWork(*dm_.Pacents, [&] {
            dm_.UpdateSQL1->params().clear();
            dm_.UpdateSQL1->setParam(QStringLiteral("OLD_PID"), key);
            dm_.UpdateSQL1->execSql(UpdateSql::Delete);
            dm_.UpdateSQL2->runInSlot(UpdateSql::Delete, QStringLiteral("delete from Issled  where Ipac =") + k + u' ');
            dm_.UpdateSQL2->runInSlot(UpdateSql::Delete, QStringLiteral("delete from Nazn  where Npac =") + k + u' ');
            dm_.UpdateSQL3->runInSlot(UpdateSql::Delete, QStringLiteral("delete from Vipis  where Vpac=") + k + u' ');
        });
    } catch (const std::exception& e) {
        rereadList();
        positionList(key);
        const auto* err = dynamic_cast<const Error*>(&e);
        throw Error(QStringLiteral("Пациент не удалён: при удалении его данных произошла ошибка, "
                                   "ничего не удалено.\n%1")
                        .arg(err ? err->message() : QString::fromLocal8Bit(e.what())));
    }
    RefreshPatientList();
    if (dm_.Nazn->active())
        dm_.Nazn->refresh();
    dm_.ReadPatientDocuments();
}

// ---------------------------------------------------------------- the list

void PatientRegister::RefreshPatientList()
{
    StoreCardIfEdited();
    rereadList();
    LoadPatientCard();
}

void PatientRegister::rereadList()
{
    data::QueryDataset& list = *dm_.pac_q1;
    quietly([&] {
        dm_.Pac_q->close();
        list.close();
        department_ = currentValue(*dm_.Otd, QStringLiteral("OID"));
        if (list.hasParam(QStringLiteral("potd")))
            list.setParam(QStringLiteral("potd"), department_);
        list.run();
        dm_.Pac_q->open();
        list.open();
        if (!list.isEmpty())
            list.first();
    });
}

void PatientRegister::DepartmentChanged()
{
    StoreCardIfEdited();
    if (filters_->listRewritten()) {
        filters_->dropRewrittenStatement();
        emit extraFiltersDropped();
    }
    RefreshPatientList();
}

} // namespace talvora::patient

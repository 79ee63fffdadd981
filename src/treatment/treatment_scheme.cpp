#include "treatment_scheme.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "dose_calculation.h"
#include "ui/dialog_service.h"

#include <QDate>

namespace talvora::treatment {

namespace {

const QString kNid = QStringLiteral("NID");

bool hasRow(const data::Dataset& ds)
{
    return ds.active() && !ds.isEmpty();
}

QString numberText(const QVariant& v)
{
    return v.isNull() || !v.isValid() ? QString() : QString::number(v.toLongLong());
}

} // namespace

TreatmentScheme::TreatmentScheme(data::TDM& dm, QObject* parent) : QObject(parent), dm_(dm)
{
    dm_.hooks.treatment.NaznAfterInsert = [this] { NaznAfterInsert(); };
}

TreatmentScheme::~TreatmentScheme()
{
    dm_.hooks.treatment.NaznAfterInsert = nullptr;
}

QString TreatmentScheme::defaultRegimen(const QVariant& dosePerKg, const QVariant& intakes)
{
    return numberText(dosePerKg) + QStringLiteral("мг\\кг\\с ") + numberText(intakes) + QStringLiteral(" р\\д ");
}

// ---------------------------------------------------------------- prescriptions

qint64 TreatmentScheme::AddToTreatment()
{
    data::TableDataset& drug = *dm_.Treat;
    if (!hasRow(drug) || drug.editing() || drug.field(QStringLiteral("Tname_r")).asString().isEmpty()) {
        dialogs().notice(QStringLiteral("Сначала выбрать препарат !"));
        return 0;
    }
    if (!hasRow(*dm_.Pac_q))
        throw Error(QStringLiteral("Пациент не выбран: выберите его в окне «Пациент»."));
    data::TableDataset& nazn = *dm_.Nazn;
    if (!nazn.active())
        nazn.open();
    nazn.checkBrowseMode();
    try {
        nazn.append(); // NaznAfterInsert fills and stores it
    } catch (...) {
        if (nazn.editing())
            nazn.cancel();
        throw;
    }
    if (nazn.editing()) { // the handler was not installed or did not store it
        nazn.cancel();
        return 0;
    }
    const qint64 key = nazn.field(kNid).value().toLongLong();
    nazn.refresh();
    nazn.locate(kNid, key);
    emit schemeChanged();
    return key;
}

void TreatmentScheme::NaznAfterInsert()
{
    data::TableDataset& nazn = *dm_.Nazn;
    const data::TableDataset& drug = *dm_.Treat;
    const QString name = hasRow(drug) ? drug.field(QStringLiteral("Tname_r")).asString() : QString();
    if (name.isEmpty()) {
        dialogs().notice(QStringLiteral("Сначала выбрать препарат !"));
        return; // the caller drops the row
    }
    auto set = [&nazn](const char* field, const QVariant& value) { nazn.field(QString::fromLatin1(field)).setValue(value); };
    set("Npac", dm_.Pac_q->field(QStringLiteral("pID")).value());
    set("Ndate", QDate::currentDate());
    set("Ntr", drug.field(QStringLiteral("Tid")).value());
    set("Nrej", defaultRegimen(drug.field(QStringLiteral("Tdose")).value(), drug.field(QStringLiteral("Tkratn")).value()));
    set("Nname", name);
    nazn.post();
}

void TreatmentScheme::RemoveFromTreatment()
{
    if (!hasPrescription())
        return;
    if (!dialogs().confirm(QStringLiteral("Удалить препарат из схемы лечения ?")))
        return;
    data::TableDataset& nazn = *dm_.Nazn;
    if (nazn.editing())
        nazn.cancel();
    nazn.remove();
    emit schemeChanged();
}

bool TreatmentScheme::hasPrescription() const
{
    const data::TableDataset& nazn = *dm_.Nazn;
    return hasRow(nazn) && nazn.state() != data::DatasetState::Insert;
}

QString TreatmentScheme::currentRegimen() const
{
    return hasPrescription() ? dm_.Nazn->field(QStringLiteral("Nrej")).asString() : QString();
}

bool TreatmentScheme::requirePrescription(const QString& what) const
{
    if (hasPrescription())
        return true;
    dialogs().notice(QStringLiteral("В схеме лечения нет препарата, в который можно записать %1.\n"
                                    "Сначала добавьте препарат кнопкой «Добавить в лечение».")
                         .arg(what));
    return false;
}

void TreatmentScheme::WriteRegimen(const QString& text)
{
    if (!hasPrescription()) {
        if (!text.trimmed().isEmpty())
            requirePrescription(QStringLiteral("режим приема"));
        return;
    }
    data::TableDataset& nazn = *dm_.Nazn;
    if (!nazn.editing())
        nazn.edit();
    nazn.field(QStringLiteral("Nrej")).setValue(text);
    nazn.post();
    emit schemeChanged();
}

void TreatmentScheme::WriteDoseResult(const DoseResult& result)
{
    if (!requirePrescription(QStringLiteral("результат расчета дозы")))
        return;
    data::TableDataset& nazn = *dm_.Nazn;
    if (!nazn.editing())
        nazn.edit();
    nazn.field(QStringLiteral("Nrej")).setValue(result.regimen);
    nazn.field(QStringLiteral("NmgS")).setValue(result.dailyDoseText);
    nazn.field(QStringLiteral("NmgKgS")).setValue(result.dosePerKgText);
    nazn.post();
    emit schemeChanged();
    if (!result.notice.isEmpty())
        dialogs().notice(result.notice);
}

void TreatmentScheme::SaveChanges()
{
    data::TableDataset& nazn = *dm_.Nazn;
    QString failure;
    try {
        if (nazn.active())
            nazn.checkBrowseMode();
    } catch (const Error& e) {
        failure = e.message();
    }
    if (textsChanged_ && savePatientCard) {
        savePatientCard(); // clears the mark through TextsStored once stored
        textsChanged_ = false;
    }
    if (!failure.isEmpty())
        throw Error(QStringLiteral("Изменения в схеме лечения не сохранены:\n%1").arg(failure));
}

// ---------------------------------------------------------------- the patient's texts

SchemePatient TreatmentScheme::CurrentPatient() const
{
    const data::QueryDataset& q = *dm_.Pac_q;
    SchemePatient p;
    if (!hasRow(q))
        return p;
    const auto text = [&q](const char* field) { return q.field(QString::fromLatin1(field)).asString(); };
    p.key = q.field(QStringLiteral("pID")).value();
    p.name = text("PName");
    p.weight = numberText(q.field(QStringLiteral("Pves")).value());
    p.recommendations = text("Precom");
    p.course = text("PanV");
    return p;
}

void TreatmentScheme::patientShown(const QVariant& key)
{
    shownPatient_ = key;
    textsChanged_ = false;
}

std::optional<SchemeTexts> TreatmentScheme::PendingTexts(const QVariant& patient) const
{
    if (!textsChanged_ || !readTexts || shownPatient_.isNull() || patient.isNull() ||
        shownPatient_.toLongLong() != patient.toLongLong())
        return std::nullopt;
    return readTexts();
}

} // namespace talvora::treatment

#include "patient_texts.h"

#include "boilerplate_selection.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "patient/patient_register.h"
#include "ui/dialog_service.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QTextCursor>

namespace talvora::boilerplates {

namespace {

const QString kPid = QStringLiteral("PID");

// Line ends as the card's memos keep them.
QString memoText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// A document's plain text without the final paragraph mark.
QString documentText(const word::Document& doc)
{
    QString text = word::plainText(doc);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

} // namespace

QString refilled(const QString& current, const QString& lastFilled, const std::optional<QString>& boilerplate)
{
    if (!boilerplate)
        return current;
    if (current.trimmed().isEmpty() || current == lastFilled)
        return *boilerplate;
    return current;
}

const char* textColumn(int kind)
{
    switch (kind) {
    case Anamnesis:
        return "PanM";
    case NeuroStatus:
        return "Pnst";
    case SomaticStatus:
        return "Psomat";
    case Recommendations:
        return "Precom";
    case TreatmentComments:
        return "PanV";
    default:
        return nullptr;
    }
}

PatientTexts::PatientTexts(data::TDM& dm, patient::PatientRegister& patients, word::DocumentView& editor,
                           QObject* parent)
    : QObject(parent), dm_(dm), patients_(patients), editor_(editor)
{
}

QString PatientTexts::editorCaption(int kind)
{
    switch (kind) {
    case Anamnesis:
        return QStringLiteral("Анамнез. ");
    case NeuroStatus:
        return QStringLiteral("Неврологический статус");
    case SomaticStatus:
        return QStringLiteral("Соматический статус");
    case Recommendations:
        return QStringLiteral("Рекомендации при выписке");
    case TreatmentComments:
        return QStringLiteral("Коментарии к лечению");
    default:
        return {};
    }
}

QString PatientTexts::windowCaption() const
{
    const QString kind = editorCaption(session_.kind).trimmed();
    return session_.patientName.isEmpty() ? kind : kind + QStringLiteral(" — ") + session_.patientName;
}

QVariant PatientTexts::cardPatient() const { return patients_.patientKey(); }

// ---------------------------------------------------------------- selection

bool PatientTexts::SelectBoilerplatesForPatient(int kind)
{
    const patient::PatientCard card = patients_.readCard ? patients_.readCard() : patients_.loadedCard();
    // The age today; a card without a birth date counts from the empty date,
    // which makes the patient older than any boilerplate's bound.
    const QDate birth = DateFromParts(card.birth);
    return SelectBoilerplates(dm_, kind, WholeYearsBetween(QDate::currentDate(), birth), card.sex);
}

std::optional<QString> PatientTexts::firstBoilerplateText() const
{
    const data::QueryDataset& q = *dm_.Fish_q;
    if (!q.active() || q.isEmpty())
        return std::nullopt;
    return memoText(q.field(QStringLiteral("Fmem")).asString());
}

QByteArray PatientTexts::firstBoilerplateDocument() const
{
    const data::QueryDataset& q = *dm_.Fish_q;
    if (!q.active() || q.isEmpty())
        return {};
    return q.field(QStringLiteral("Fres")).asBytes();
}

// ---------------------------------------------------------------- the editor

data::TableDataset& PatientTexts::patientRow() const
{
    data::TableDataset& t = *dm_.Pac_t;
    t.open();
    if (!t.locate(kPid, session_.patient)) {
        t.refresh();
        if (!t.locate(kPid, session_.patient))
            throw Error(QStringLiteral("Запись об этом пациенте уже удалена (возможно, в другом окне)."));
    }
    return t;
}

QString PatientTexts::storedText(const char* column) const
{
    return memoText(patientRow().field(QString::fromLatin1(column)).asString());
}

void PatientTexts::showText(const QString& text)
{
    word::Document doc;
    QTextCursor(&doc.text()).insertText(text);
    editor_.loadDocument(std::move(doc));
    editor_.markUnchanged();
}

void PatientTexts::EditPatientText(int kind)
{
    if (!textColumn(kind))
        return;
    const QVariant key = cardPatient();
    if (key.isNull())
        throw Error(QStringLiteral("Пациент не выбран: выберите его в списке окна «Пациент»."));
    session_ = {key, patients_.selectedName(), kind};
    if (session_.patientName.isEmpty() && dm_.Pac_q->active() && !dm_.Pac_q->isEmpty())
        session_.patientName = dm_.Pac_q->field(QStringLiteral("PName")).asString();
    emit editorOpened(kind, windowCaption());

    switch (kind) {
    case NeuroStatus:
    case SomaticStatus: {
        SelectBoilerplatesForPatient(kind);
        const QString stored = storedText(textColumn(kind));
        showText(!stored.isEmpty() ? stored : firstBoilerplateText().value_or(QString()));
        break;
    }
    case Recommendations: {
        // A stored recommendation is shown whether or not a boilerplate fits.
        bool found = false;
        try {
            found = SelectBoilerplatesForPatient(kind);
        } catch (const Error&) {
        }
        const QString stored = storedText(textColumn(kind));
        showText(!stored.isEmpty() ? stored : found ? firstBoilerplateText().value_or(QString()) : QString());
        break;
    }
    case TreatmentComments:
        showText(storedText(textColumn(kind)));
        break;
    case Anamnesis: {
        SelectBoilerplatesForPatient(kind);
        const QByteArray stored = patientRow().field(QStringLiteral("PanW")).asBytes();
        const QByteArray source = !stored.isEmpty() ? stored : firstBoilerplateDocument();
        if (source.isEmpty()) {
            showText(QString());
            break;
        }
        try {
            editor_.loadFromBlob(source);
            editor_.markUnchanged();
        } catch (const Error& e) {
            // An unreadable stored document is not replaced by an empty one:
            // its plain text is there to go on from.
            showText(memoText(dm_.Pac_t->field(QStringLiteral("PanM")).asString()));
            if (!stored.isEmpty())
                dialogs().error(QStringLiteral("Документ анамнеза не удалось прочитать (%1).\n"
                                               "В редакторе его текст без оформления.")
                                    .arg(e.message()));
        }
        break;
    }
    default:
        break;
    }
}

void PatientTexts::StoreEditedText()
{
    const int kind = session_.kind;
    const char* column = textColumn(kind);
    if (session_.patient.isNull() || !column)
        return;
    const bool onCard = cardPatient() == session_.patient;
    // The card's own unsaved changes go first, so that showing it again loses nothing.
    if (onCard)
        patients_.StoreCardIfEdited();

    const word::Document* doc = editor_.document();
    const QString text = doc ? documentText(*doc) : QString();
    const QByteArray blob = kind == Anamnesis ? editor_.saveToBlob() : QByteArray();
    const auto write = [&] {
        data::TableDataset& t = patientRow();
        t.edit();
        try {
            t.field(QString::fromLatin1(column)).setValue(text);
            if (kind == Anamnesis)
                t.field(QStringLiteral("PanW")).setValue(blob);
            t.post();
        } catch (...) {
            if (t.editing())
                t.cancel();
            throw;
        }
    };
    try {
        write();
    } catch (const Error&) {
        write(); // once more; a second failure is reported
    }
    editor_.markUnchanged();
    if (onCard && cardPatient() == session_.patient)
        patients_.ReloadPatient(session_.patient);
    else if (dm_.Pac_q->active())
        dm_.Pac_q->refresh();
    emit textStored(kind, session_.patient);
}

// ---------------------------------------------------------------- the card's texts

std::optional<patient::FilledTexts> PatientTexts::AutoFillTexts(const patient::PatientCard& card)
{
    if (!IsValidDateParts(card.birth))
        return std::nullopt;
    QDate birth, reference = QDate::currentDate();
    try {
        birth = DateFromParts(card.birth);
        if (IsValidDateParts(card.admission))
            reference = DateFromParts(card.admission);
    } catch (const Error&) {
        if (!birth.isValid())
            return std::nullopt;
    }
    patient::FilledTexts out{AgeText(reference, birth), card.anamnesis, card.neuroStatus, card.somaticStatus};
    const QVariant key = cardPatient();
    if (filledFor_ != key) {
        filledFor_ = key;
        filled_ = {};
    }
    const int age = WholeYearsBetween(reference, birth);
    const struct {
        int kind;
        QString patient::FilledTexts::*text;
    } texts[] = {{Anamnesis, &patient::FilledTexts::anamnesis},
                 {NeuroStatus, &patient::FilledTexts::neuroStatus},
                 {SomaticStatus, &patient::FilledTexts::somaticStatus}};
    try {
        for (const auto& t : texts) {
            SelectBoilerplates(dm_, t.kind, age, card.sex);
            const std::optional<QString> boilerplate = firstBoilerplateText();
            QString& current = out.*t.text;
            QString& last = filled_.*t.text;
            const QString next = refilled(current, last, boilerplate);
            if (boilerplate && next == *boilerplate)
                last = next;
            current = next;
        }
    } catch (const std::exception&) {
        // The texts filled so far stay filled.
    }
    return out;
}

std::optional<QString> PatientTexts::RefreshAnamnesisText() const
{
    const QVariant key = cardPatient();
    if (key.isNull())
        return std::nullopt;
    data::TableDataset& t = *dm_.Pac_t;
    t.open();
    if (!t.locate(kPid, key)) {
        t.refresh();
        if (!t.locate(kPid, key))
            return std::nullopt;
    }
    const QByteArray stored = t.field(QStringLiteral("PanW")).asBytes();
    if (stored.isEmpty())
        return std::nullopt;
    try {
        return documentText(word::documentFromBlob(stored));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace talvora::boilerplates

#include "boilerplate_library.h"

#include "boilerplate_selection.h"
#include "common/dates.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "word/document.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <limits>
#include <optional>

namespace talvora::boilerplates {

namespace {

const QString kFid = QStringLiteral("FID");
const QString kMin = QStringLiteral("Fmin");
const QString kMax = QStringLiteral("Fmax");

// The page takes this widest age range: every boilerplate with both bounds.
constexpr int kListMin = 900;
constexpr int kListMax = 0;

// A bound typed as digits; nothing when the text is anything else, too big
// for the field, or the page's "not given" value.
std::optional<int> typedBound(const QString& text)
{
    if (!IsDigitString(text))
        return std::nullopt;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v > std::numeric_limits<int>::max() || v == BoilerplateLibrary::kNotGiven)
        return std::nullopt;
    return int(v);
}

// A bound of a new boilerplate: digits, or a number with a sign, or empty.
QVariant newBound(const QString& text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return {};
    return int(v);
}

// The document's text as the boilerplate keeps it: paragraphs on lines
// ending in CR LF, without the final paragraph mark.
QString documentText(const word::Document& doc)
{
    QString text = word::plainText(doc);
    if (text.endsWith(u'\n'))
        text.chop(1);
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

int boundOrZero(const data::ConstField& f) { return f.isNull() ? 0 : f.asInteger(); }

} // namespace

// While set, moves of the list leave the editor alone; the operation that
// moves the list brings the editor up to date at its end.
struct BoilerplateLibrary::Quiet {
    explicit Quiet(BoilerplateLibrary& lib) : lib_(lib), was_(lib.quiet_) { lib_.quiet_ = true; }
    ~Quiet() { lib_.quiet_ = was_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    BoilerplateLibrary& lib_;
    bool was_;
};

BoilerplateLibrary::BoilerplateLibrary(data::TDM& dm, word::DocumentView& editor, QObject* parent)
    : QObject(parent), dm_(dm), editor_(editor)
{
    if (editor_.isEmpty())
        editor_.loadDocument(word::Document{});
    wasActive_ = editor_.isActive();
    connect(&editor_, &word::DocumentView::stateChanged, this, [this](word::DocumentView::State state) {
        const bool active = state == word::DocumentView::State::Active;
        if (wasActive_ && !active && !loading_)
            captureEditor(); // a deactivation
        wasActive_ = active;
    });

    data::BoilerplateHooks& hooks = dm_.hooks.boilerplates;
    hooks.FishQAfterScroll = [this] { listMoved(); };
    hooks.FishTBeforePost = [this] { FishTBeforePost(); };
    hooks.SelectFirstBoilerplateKind = [this] { ListBoilerplates(Anamnesis); };
}

BoilerplateLibrary::~BoilerplateLibrary()
{
    // A begun row does not outlive the dialog that began it.
    if (creating_ && dm_.Fish_t->state() == data::DatasetState::Insert)
        dm_.Fish_t->cancel();
    dm_.hooks.boilerplates = {};
}

data::QueryDataset& BoilerplateLibrary::list() const { return *dm_.Fish_q; }

QString BoilerplateLibrary::boundsQuestion()
{
    return QStringLiteral(
        "Возрастные границы должны быть цифрами! \r\nYes - исправить, No - использовать диапазон по умолчанию ?");
}

QString BoilerplateLibrary::saveChangesQuestion(const QString& name)
{
    return QStringLiteral("Сохранить изменения шаблона «%1»?").arg(name);
}

QString BoilerplateLibrary::noDocumentMessage(const QString& name)
{
    return QStringLiteral("У шаблона «%1» нет документа. Напишите его в редакторе и сохраните изменения.").arg(name);
}

QVariant BoilerplateLibrary::currentDepartment() const
{
    const data::TableDataset& otd = *dm_.Otd;
    return otd.active() && !otd.isEmpty() ? otd.field(QStringLiteral("OID")).value() : QVariant();
}

qint64 BoilerplateLibrary::currentFid() const
{
    const data::QueryDataset& q = *dm_.Fish_q;
    if (!q.active() || q.isEmpty() || q.state() == data::DatasetState::Insert)
        return 0;
    return q.field(kFid).value().toLongLong();
}

bool BoilerplateLibrary::hasUnsavedChanges() const
{
    return shownFid_ != 0 && !editor_.isEmpty() && editor_.changedSinceLoaded();
}

// ---------------------------------------------------------------- the list

bool BoilerplateLibrary::ListBoilerplates(int kind)
{
    if (editorShown())
        settleUnsavedChanges();
    data::QueryDataset& q = *dm_.Fish_q;
    try {
        Quiet quiet(*this);
        q.close();
        q.setSql(selectionStatement(false));
        q.setParam(QStringLiteral("otd"), currentDepartment());
        q.setParam(QStringLiteral("type"), kind);
        q.setParam(QStringLiteral("min"), kListMin);
        q.setParam(QStringLiteral("max"), kListMax);
        q.open();
        q.refresh();
    } catch (const std::exception&) {
        q.close();
        return false;
    }
    kind_ = kind;
    emit kindSelected(kind);
    ui::guarded([this] { listMoved(); })();
    return true;
}

void BoilerplateLibrary::ShowSettings()
{
    int kind = kind_;
    if (kind == 0 && dm_.Fish_q->hasParam(QStringLiteral("type")))
        kind = dm_.Fish_q->param(QStringLiteral("type")).toInt();
    ListBoilerplates(kind);
}

void BoilerplateLibrary::reopenList(qint64 stayOn)
{
    data::QueryDataset& q = *dm_.Fish_q;
    {
        Quiet quiet(*this);
        q.close();
        q.setSql(selectionStatement(false));
        q.setParam(QStringLiteral("otd"), currentDepartment());
        q.setParam(QStringLiteral("type"), kind_);
        q.setParam(QStringLiteral("min"), kListMin);
        q.setParam(QStringLiteral("max"), kListMax);
        q.open();
        q.refresh();
        if (stayOn)
            q.locate(kFid, stayOn);
    }
    listMoved();
}

bool BoilerplateLibrary::editorShown() const
{
    return editor_.window()->isVisible();
}

void BoilerplateLibrary::offerToOthers()
{
    const qint64 fid = currentFid();
    if (fid == 0)
        return;
    const QByteArray blob =
        dm_.Pacents->readColumn(QStringLiteral("Fish"), QStringLiteral("Fres"), fid, data::FieldType::FmtMemo)
            .toByteArray();
    if (!blob.isEmpty())
        emit boilerplateShown(blob);
}

void BoilerplateLibrary::listMoved()
{
    if (quiet_)
        return;
    // A hook of the data module: whatever fails is shown here and goes no further.
    ui::guarded([this] {
        if (!editorShown()) {
            // The page is closed: it catches up when it is shown (ShowSettings).
            offerToOthers();
        } else if (currentFid() != 0) {
            ShowCurrentBoilerplate();
        } else if (shownFid_ != 0 && !hasUnsavedChanges()) {
            // Nothing in the list: the editor shows no boilerplate either.
            loadIntoEditor({});
            shownFid_ = 0;
            shownName_.clear();
        }
    })();
}

void BoilerplateLibrary::ShowCurrentBoilerplate()
{
    const qint64 fid = currentFid();
    if (fid == 0)
        return;
    if (fid != shownFid_ && !settleUnsavedChanges())
        return; // the changes could not be stored: they stay in the editor
    const QString name = dm_.Fish_q->field(QStringLiteral("FName")).asString();
    const QByteArray blob =
        dm_.Pacents->readColumn(QStringLiteral("Fish"), QStringLiteral("Fres"), fid, data::FieldType::FmtMemo)
            .toByteArray();
    if (!(fid == shownFid_ && hasUnsavedChanges())) {
        shownFid_ = 0;
        dropEdits();
        try {
            loadIntoEditor(blob);
        } catch (...) {
            loadIntoEditor({});
            shownFid_ = fid;
            shownName_ = name;
            throw;
        }
        shownFid_ = fid;
        shownName_ = name;
    }
    if (blob.isEmpty())
        throw Error(noDocumentMessage(name));
    emit boilerplateShown(blob);
}

// Loads a document into the editor, an empty document for an empty BLOB.
void BoilerplateLibrary::loadIntoEditor(const QByteArray& blob)
{
    loading_ = true;
    try {
        if (blob.isEmpty())
            editor_.loadDocument(word::Document{});
        else
            editor_.loadFromBlob(blob);
    } catch (...) {
        editor_.loadDocument(word::Document{});
        editor_.markUnchanged();
        loading_ = false;
        wasActive_ = false;
        throw;
    }
    editor_.markUnchanged();
    loading_ = false;
    wasActive_ = editor_.isActive();
}

// ---------------------------------------------------------------- the edited document

void BoilerplateLibrary::captureEditor()
{
    if (editor_.isEmpty() || shownFid_ == 0)
        return;
    buffer_ = editor_.saveToBlob();
    try {
        bufferText_ = documentText(*editor_.document());
    } catch (const std::exception&) {
        bufferText_.clear();
    }
    bufferFid_ = shownFid_;
}

void BoilerplateLibrary::dropEdits()
{
    buffer_.clear();
    bufferText_.clear();
    bufferFid_ = 0;
}

// Before the editor leaves its boilerplate: unsaved changes are stored into
// that boilerplate or dropped, as the user answers. False when they were to
// be stored and storing failed (the error is shown; they stay in the editor).
bool BoilerplateLibrary::settleUnsavedChanges()
{
    if (!hasUnsavedChanges()) {
        dropEdits();
        return true;
    }
    if (dialogs().confirm(saveChangesQuestion(shownName_))) {
        try {
            storeEditedDocument(shownFid_);
        } catch (...) {
            ui::showGeneralError(std::current_exception());
            return false;
        }
    } else {
        // Back to the stored document, so that what the editor shows is stored.
        const QByteArray stored = dm_.Pacents->readColumn(QStringLiteral("Fish"), QStringLiteral("Fres"), shownFid_,
                                                          data::FieldType::FmtMemo)
                                      .toByteArray();
        try {
            loadIntoEditor(stored);
        } catch (const std::exception&) {
        }
    }
    dropEdits();
    return true;
}

// The editor's document and its text into boilerplate `fid`, nothing else.
void BoilerplateLibrary::storeEditedDocument(qint64 fid)
{
    if (shownFid_ == fid && (editor_.isActive() || editor_.changedSinceLoaded()))
        captureEditor();
    if (bufferFid_ != fid || buffer_.isEmpty())
        return;
    data::Params p;
    p.set(QStringLiteral("res"), buffer_);
    p.set(QStringLiteral("mem"), bufferText_);
    p.set(QStringLiteral("fid"), fid);
    dm_.Pacents->execute(QStringLiteral("update Fish set Fres = :res, Fmem = :mem where FID = :fid"), p);
    if (shownFid_ == fid)
        editor_.markUnchanged();
}

// ---------------------------------------------------------------- storing and deleting

void BoilerplateLibrary::FishTBeforePost()
{
    data::TableDataset& t = *dm_.Fish_t;
    data::Field lo = t.field(kMin);
    data::Field hi = t.field(kMax);
    if (boundOrZero(hi) < boundOrZero(lo)) {
        const QVariant was = lo.value();
        lo.setValue(hi.value());
        hi.setValue(was);
    }
}

bool BoilerplateLibrary::locateInTable(qint64 fid)
{
    data::TableDataset& t = *dm_.Fish_t;
    if (t.locate(kFid, fid))
        return true;
    // A row stored since the table was read (by a statement) is found after a re-read.
    t.refresh();
    return t.locate(kFid, fid);
}

void BoilerplateLibrary::SaveBoilerplateChanges(const QString& minText, const QString& maxText)
{
    if (creating_)
        throw Error(QStringLiteral("Сначала сохраните или отмените создаваемый шаблон."));
    const qint64 fid = currentFid();
    if (fid == 0 || !locateInTable(fid))
        return;

    const std::optional<int> lo = typedBound(minText);
    const std::optional<int> hi = typedBound(maxText);

    data::QueryDataset& q = *dm_.Fish_q;
    const QVariant name = q.field(QStringLiteral("FName")).value();
    const QVariant sex = q.field(QStringLiteral("Fmale")).value();
    {
        Quiet quiet(*this);
        q.close(); // drops what the list held unsaved
    }

    // The edited document, only when it is this boilerplate's.
    if (shownFid_ == fid && (editor_.isActive() || editor_.changedSinceLoaded()))
        captureEditor();
    const bool ownDocument = bufferFid_ == fid && !buffer_.isEmpty();

    data::TableDataset& t = *dm_.Fish_t;
    try {
        t.edit();
        if (lo)
            t.field(kMin).setValue(*lo);
        if (hi)
            t.field(kMax).setValue(*hi);
        t.field(QStringLiteral("Fname")).setValue(name);
        if (ownDocument) {
            t.field(QStringLiteral("Fres")).setValue(buffer_);
            t.field(QStringLiteral("Fmem")).setValue(bufferText_);
        }
        t.field(QStringLiteral("Fmale")).setValue(sex);
    } catch (const std::exception&) {
        if (t.editing())
            t.cancel();
        reopenList(fid);
        throw;
    }
    dropEdits();

    for (int attempt = 1;; ++attempt) {
        try {
            t.post();
            break;
        } catch (const std::exception& e) {
            if (attempt < 2)
                continue;
            const QString why = dynamic_cast<const Error*>(&e) ? static_cast<const Error&>(e).message()
                                                                : QString::fromLocal8Bit(e.what());
            if (t.editing())
                t.cancel();
            reopenList(fid);
            throw Error(QStringLiteral("Не удалось сохранить изменения шаблона «%1»: %2").arg(name.toString(), why));
        }
    }
    if (ownDocument && shownFid_ == fid)
        editor_.markUnchanged();
    reopenList(fid);
}

void BoilerplateLibrary::DeleteBoilerplate()
{
    if (creating_)
        throw Error(QStringLiteral("Сначала сохраните или отмените создаваемый шаблон."));
    const qint64 fid = currentFid();
    if (fid == 0 || !locateInTable(fid))
        return;
    {
        Quiet quiet(*this);
        dm_.Fish_q->close();
    }
    if (shownFid_ == fid) {
        // Its unsaved changes go with it.
        dropEdits();
        editor_.markUnchanged();
    }
    try {
        dm_.Fish_t->remove();
    } catch (...) {
        reopenList(fid);
        throw;
    }
    reopenList(0);
}

// ---------------------------------------------------------------- a new boilerplate

void BoilerplateLibrary::BeginBoilerplate()
{
    if (creating_ && dm_.Fish_t->state() == data::DatasetState::Insert)
        return;
    settleUnsavedChanges();
    {
        Quiet quiet(*this);
        dm_.Fish_q->close();
    }
    data::TableDataset& t = *dm_.Fish_t;
    if (t.editing())
        t.cancel();
    t.append();
    t.field(QStringLiteral("Fotd")).setValue(currentDepartment());
    creating_ = true;
}

bool BoilerplateLibrary::StoreNewBoilerplate(const NewBoilerplate& input)
{
    data::TableDataset& t = *dm_.Fish_t;
    if (!creating_ || t.state() != data::DatasetState::Insert)
        throw Error(QStringLiteral("Создание шаблона не начато."));

    QVariant lo, hi;
    if (!input.minText.isEmpty() && !input.maxText.isEmpty() &&
        (!IsDigitString(input.minText) || !IsDigitString(input.maxText))) {
        if (dialogs().confirm(boundsQuestion()))
            return false; // the user corrects them
        lo = 0;
        hi = 900;
    } else {
        lo = newBound(input.minText);
        hi = newBound(input.maxText);
    }

    t.field(QStringLiteral("Fname")).setValue(input.name); // cut to the column's width
    t.field(kMin).setValue(lo);
    t.field(kMax).setValue(hi);
    t.field(QStringLiteral("Fotd")).setValue(currentDepartment());
    t.field(QStringLiteral("FType")).setValue(kind_);
    t.field(QStringLiteral("Fmale")).setValue(input.sex >= 1 && input.sex <= 3 ? input.sex : 3);
    t.field(QStringLiteral("Fres")).setValue(input.document.isEmpty() ? QVariant() : QVariant(input.document));
    t.field(QStringLiteral("Fmem")).setValue(input.text);
    t.post(); // a refusal keeps the row begun and the dialog open
    const qint64 fid = t.field(kFid).value().toLongLong();
    creating_ = false;
    reopenList(fid);
    emit creationFinished();
    return true;
}

void BoilerplateLibrary::CancelNewBoilerplate()
{
    if (!creating_)
        return;
    creating_ = false;
    data::TableDataset& t = *dm_.Fish_t;
    if (t.state() == data::DatasetState::Insert)
        t.cancel();
    emit creationFinished();
    reopenList(shownFid_);
}

} // namespace talvora::boilerplates

#include "templates/document_assembly.h"

#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "templates/markers.h"
#include "ui/dialog_service.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QDateTime>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace talvora::templates {

namespace {

const QString kNoInvestigations =
    QStringLiteral(" лабораторные и иниструментальные исследования не проводились ");
const QString kCaption = QStringLiteral("Сборка документа");

QString messageOf(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->message();
    return QString::fromUtf8(e.what());
}

// Content pasted for a nested template in one pass, in that pass's final
// positions, with the templates that brought it in (outermost first, the
// pasted template last).
struct Inserted {
    int start = 0;
    int end = 0;
    std::vector<qint64> chain;
};

// The templates that brought in the text [from, to) (positions of the
// previous pass's end): those of every piece pasted there. An empty piece
// (a template without content) counts when it lies inside the text.
std::vector<qint64> chainAt(const std::vector<Inserted>& pasted, int from, int to)
{
    std::vector<qint64> chain;
    for (const Inserted& piece : pasted) {
        const bool overlaps = piece.start < piece.end ? piece.start < to && from < piece.end
                                                      : from < piece.start && piece.start < to;
        if (!overlaps)
            continue;
        for (qint64 id : piece.chain)
            if (std::find(chain.begin(), chain.end(), id) == chain.end())
                chain.push_back(id);
    }
    return chain;
}

} // namespace

// One run of the assembly: its scan steps and phases over the views it was
// given.
class DocumentAssembly::Run {
public:
    Run(data::TDM& dm, word::DocumentView& target, word::DocumentView& aux, word::MarkerTextBox& box,
        const AssemblyProgress& progress)
        : dm_(dm), target_(target), aux_(aux), box_(box), progress_(progress),
          now_(QDateTime::currentDateTime())
    {
    }

    void begin(QByteArray& beforeAssembly);
    void nestedTemplates();
    void fields();
    void groups();
    void treatment();
    // Whatever happened before: the panel hidden, the verb menu back on.
    void finish() noexcept;

    // The templates found to include themselves; empty when none did.
    QString loopNotice() const;

private:
    struct Loop {
        qint64 id;                 // the template that would have come in again
        std::vector<qint64> chain; // the templates it sat in, outermost first
    };

    // --- scan steps
    word::WordSelection& sel() { return target_.automation().selection(); }
    void goToStart();
    bool findMarker(MarkerKind kind);
    void selectWindow(int start, int prefixLength);
    int readMarker();
    void typeValue(const QString& text);
    void insertStoredDocument(int pos);
    void insertDocumentAtMarker(QByteArray document);
    void pasteTemplate(qint64 id);

    // --- data
    bool locateTemplate(qint64 id);
    QVariant patientValue(const QString& column) const;
    std::vector<Prescription> scheme() const;
    void insertInvestigations();
    QString templateName(qint64 id) const;
    void noteLoop(std::vector<qint64> chain, qint64 id);

    // --- progress
    void advance(int by);
    void setPosition(int value);

    data::TDM& dm_;
    word::DocumentView& target_;
    word::DocumentView& aux_;
    word::MarkerTextBox& box_;
    AssemblyProgress progress_;
    QDateTime now_;
    int window_ = kMarkerSpan; // characters of the marker's text selected by findMarker
    QByteArray transfer_;      // a stored document on its way into the auxiliary view
    std::vector<Loop> loops_;
};

// ---------------------------------------------------------------- scan steps

void DocumentAssembly::Run::goToStart()
{
    try {
        sel().setEnd(0);
        sel().setStart(0);
    } catch (const Error&) {
    }
}

bool DocumentAssembly::Run::findMarker(MarkerKind kind)
{
    try {
        word::WordSelection& s = sel();
        word::WordFind& find = s.find();
        const QString prefix = markerPrefix(kind);
        find.setForward(true);
        find.setText(prefix);
        if (!find.execute())
            return false;
        selectWindow(s.start(), int(prefix.size()));
        return true;
    } catch (const Error&) {
        return false;
    }
}

void DocumentAssembly::Run::selectWindow(int start, int prefixLength)
{
    // The marker is read from the kMarkerSpan characters after its "<", but
    // never from beyond the end of its paragraph or table cell: a selection
    // reaching into the next cell takes whole cells, and both the reading
    // and the replacing would go wrong. Inside a paragraph this is the same
    // text, since the marker box keeps the first line only.
    word::WordSelection& s = sel();
    int window = prefixLength;
    while (window < kMarkerSpan) {
        s.setEnd(start + window + 1);
        if (s.start() != start || s.end() != start + window + 1)
            break; // the document's end, or whole cells
        const QString text = s.rangeText();
        if (text.size() != window + 1 || text.back() == u'\r' || text.back() == u'\v')
            break; // a paragraph or line end, or something that is not text
        ++window;
    }
    window_ = window;
    s.setEnd(0);
    s.setStart(start);
    s.setEnd(start + window);
}

int DocumentAssembly::Run::readMarker()
{
    word::WordSelection& s = sel();
    s.copy();
    box_.clear();
    box_.pasteTransfer();
    const MarkerReading reading = readMarkerText(box_.takeText());
    if (!reading.ok())
        throw Error(reading.failure);
    // A marker without its ">" ends where its text does, not in the next
    // paragraph or cell.
    const int length = window_ < kMarkerSpan ? std::min(reading.length, window_) : reading.length;
    s.setEnd(s.start() + length);
    return reading.number;
}

void DocumentAssembly::Run::typeValue(const QString& text)
{
    sel().typeText(text.isEmpty() ? QStringLiteral(" ") : text);
}

void DocumentAssembly::Run::insertStoredDocument(int pos)
{
    bool loaded = false;
    try {
        aux_.loadFromBlob(transfer_);
        loaded = true;
    } catch (const std::exception&) {
        try {
            aux_.activate();
        } catch (const std::exception&) {
        }
        try {
            aux_.loadFromBlob(transfer_);
            loaded = true;
        } catch (const std::exception&) {
        }
    }
    transfer_.clear();
    if (!loaded) {
        // A document that cannot be read leaves blanks; the run goes on.
        typeValue(QStringLiteral(" "));
        return;
    }
    aux_.activate();
    word::WordSelection& from = aux_.automation().selection();
    from.wholeStory();
    from.copy();
    target_.activate();
    sel().setStart(pos);
    sel().setEnd(pos + 1);
    sel().paste();
}

void DocumentAssembly::Run::insertDocumentAtMarker(QByteArray document)
{
    transfer_ = std::move(document);
    const int pos = sel().start();
    typeValue(QStringLiteral(" "));
    insertStoredDocument(pos);
}

void DocumentAssembly::Run::pasteTemplate(qint64 id)
{
    transfer_ = dm_.Sh->field(QStringLiteral("ShRes")).asBytes();
    try {
        aux_.loadFromBlob(transfer_);
    } catch (const std::exception& e) {
        transfer_.clear();
        throw Error(QStringLiteral("Вложенный шаблон «%1» (№%2) не удалось загрузить: %3")
                        .arg(templateName(id))
                        .arg(id)
                        .arg(messageOf(e)));
    }
    transfer_.clear();
    aux_.activate();
    word::WordSelection& from = aux_.automation().selection();
    from.wholeStory();
    from.copy();
    target_.activate();
    sel().paste();
}

// ---------------------------------------------------------------- phases

void DocumentAssembly::Run::begin(QByteArray& beforeAssembly)
{
    if (progress_.panel)
        progress_.panel->show();
    setPosition(0);
    target_.setAutoVerbMenu(false);

    target_.activate();
    target_.automation();

    QByteArray snapshot = target_.saveToBlob();
    beforeAssembly = std::move(snapshot);
    transfer_.clear();
}

void DocumentAssembly::Run::nestedTemplates()
{
    // Content pasted in one pass may bring markers of its own; they are
    // expanded on the next pass, so nesting has no depth limit. Each piece
    // of pasted content remembers the templates it came through: a marker
    // inside it that names one of them would start the loop again and gets
    // a blank instead. Without a loop no chain is longer than the number
    // of templates, which also bounds the passes.
    std::vector<Inserted> previous;
    int pass = 0;
    goToStart();
    while (findMarker(MarkerKind::Template)) {
        goToStart();
        advance(1);
        ++pass;
        const bool tooDeep = pass > dm_.Sh->recordCount() + 1;
        std::vector<Inserted> current;
        int growth = 0; // how much this pass has lengthened the text before the marker at hand
        while (findMarker(MarkerKind::Template)) {
            const qint64 id = readMarker();
            const int at = sel().start();
            const int markerEnd = sel().end();
            std::vector<qint64> chain = chainAt(previous, at - growth, markerEnd - growth);
            if (tooDeep || std::find(chain.begin(), chain.end(), id) != chain.end()) {
                noteLoop(chain, id);
                typeValue(QStringLiteral(" "));
            } else if (!locateTemplate(id)) {
                typeValue(QStringLiteral(" "));
            } else {
                pasteTemplate(id);
                chain.push_back(id);
                current.push_back({at, sel().start(), std::move(chain)});
            }
            growth += sel().start() - markerEnd;
        }
        previous = std::move(current);
        goToStart();
    }
}

void DocumentAssembly::Run::fields()
{
    advance(30);
    transfer_.clear();
    goToStart();
    const PatientValue value = [this](const QString& column) { return patientValue(column); };
    while (findMarker(MarkerKind::Field)) {
        advance(1);
        const FieldEntry* field = findField(readMarker());
        if (!field)
            continue; // stands for nothing: it stays, and the search goes on after it
        switch (field->source) {
        case FieldSource::Anamnesis: {
            QByteArray document = patientValue(QString::fromLatin1(field->column)).toByteArray();
            if (!document.isEmpty())
                insertDocumentAtMarker(std::move(document));
            else
                typeValue(fieldText(*field, value, now_));
            break;
        }
        case FieldSource::AllInvestigations:
            if (!dm_.OpenAllInvestigations(*dm_.Issled_q2))
                throw Error(QStringLiteral("Не удалось прочитать обследования пациента."));
            insertInvestigations();
            break;
        default:
            typeValue(fieldText(*field, value, now_));
            break;
        }
    }
}

void DocumentAssembly::Run::insertInvestigations()
{
    data::QueryDataset& q = *dm_.Issled_q2;
    if (q.isEmpty()) {
        typeValue(kNoInvestigations);
        return;
    }
    for (int row = 0; row < q.recordCount(); ++row) {
        q.moveTo(row);
        insertDocumentAtMarker(q.field(QStringLiteral("Ires")).asBytes());
    }
}

void DocumentAssembly::Run::groups()
{
    setPosition(60);
    goToStart();
    data::TableDataset& types = *dm_.ShType;
    while (findMarker(MarkerKind::Group)) {
        advance(10);
        const int type = readMarker();
        // ShType holds the current department's types only.
        if (!types.active() || !types.locate(QStringLiteral("ShTID"), type)) {
            typeValue(QStringLiteral(" "));
            continue;
        }
        if (!dm_.OpenInvestigationsOfType(*dm_.Issled_q2))
            throw Error(QStringLiteral("Не удалось прочитать обследования пациента."));
        data::QueryDataset& q = *dm_.Issled_q2;
        if (q.isEmpty()) {
            typeValue(QStringLiteral(" "));
            continue;
        }
        for (int row = 0; row < q.recordCount(); ++row) {
            q.moveTo(row);
            insertDocumentAtMarker(q.field(QStringLiteral("Ires")).asBytes());
            if (row > 0)
                advance(1);
        }
    }
}

void DocumentAssembly::Run::treatment()
{
    goToStart();
    while (findMarker(MarkerKind::Treatment)) {
        advance(10);
        const int number = readMarker();
        typeValue(treatmentText(scheme(), number));
    }
}

void DocumentAssembly::Run::finish() noexcept
{
    try {
        advance(99);
        transfer_.clear();
        target_.setAutoVerbMenu(true);
        if (progress_.panel)
            progress_.panel->hide();
    } catch (...) {
    }
}

// ---------------------------------------------------------------- data

bool DocumentAssembly::Run::locateTemplate(qint64 id)
{
    data::TableDataset& sh = *dm_.Sh;
    if (!sh.active())
        sh.open();
    if (sh.locate(QStringLiteral("ShId"), id))
        return true;
    // Stored since Sh was read (by a statement of another window): read it again once.
    if (sh.editing())
        return false;
    sh.refresh();
    return sh.locate(QStringLiteral("ShId"), id);
}

QVariant DocumentAssembly::Run::patientValue(const QString& column) const
{
    const data::QueryDataset& q = *dm_.Pac_q;
    if (!q.active() || q.isEmpty())
        return {};
    return q.field(column).value();
}

std::vector<Prescription> DocumentAssembly::Run::scheme() const
{
    std::vector<Prescription> rows;
    data::TableDataset& nazn = *dm_.Nazn;
    if (!nazn.active() || nazn.isEmpty())
        return rows;
    for (int row = 0; row < nazn.recordCount(); ++row) {
        nazn.moveTo(row);
        const auto text = [&nazn](const char* field) { return nazn.field(QString::fromLatin1(field)).asString(); };
        rows.push_back({text("Nname"), text("Nrej"), text("NmgKgS"), text("Nkurs")});
    }
    return rows;
}

QString DocumentAssembly::Run::templateName(qint64 id) const
{
    return dm_.Sh->lookup(QStringLiteral("ShId"), id, QStringLiteral("ShName")).toString();
}

void DocumentAssembly::Run::noteLoop(std::vector<qint64> chain, qint64 id)
{
    for (const Loop& loop : loops_)
        if (loop.id == id)
            return;
    loops_.push_back({id, std::move(chain)});
}

QString DocumentAssembly::Run::loopNotice() const
{
    QStringList lines;
    for (const Loop& loop : loops_) {
        const auto named = [this](qint64 id) { return QStringLiteral("«%1» (№%2)").arg(templateName(id)).arg(id); };
        const auto from = std::find(loop.chain.begin(), loop.chain.end(), loop.id);
        if (from == loop.chain.end()) {
            lines << QStringLiteral("Шаблон %1 вложен слишком глубоко; дальше он не раскрыт.").arg(named(loop.id));
            continue;
        }
        QStringList path;
        for (auto it = from; it != loop.chain.end(); ++it)
            path << named(*it);
        path << named(loop.id);
        lines << (path.size() == 2 ? QStringLiteral("Шаблон %1 включает сам себя.").arg(named(loop.id))
                                   : QStringLiteral("Шаблон %1 включает сам себя через другие шаблоны: %2.")
                                         .arg(named(loop.id), path.join(QStringLiteral(" → "))));
    }
    if (lines.isEmpty())
        return {};
    return lines.join(u'\n') +
           QStringLiteral("\nПовторно такой шаблон не вставляется: на его месте в документе оставлен пробел.");
}

// ---------------------------------------------------------------- progress

void DocumentAssembly::Run::setPosition(int value)
{
    if (QProgressBar* bar = progress_.bar)
        bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
}

void DocumentAssembly::Run::advance(int by)
{
    // A bar stops at the end of its range.
    if (QProgressBar* bar = progress_.bar)
        setPosition(std::max(bar->value(), bar->minimum()) + by);
}

// ---------------------------------------------------------------- DocumentAssembly

DocumentAssembly::DocumentAssembly(data::TDM& dm) : dm_(dm) {}

QByteArray& DocumentAssembly::beforeAssembly()
{
    std::optional<QByteArray>& shared = beforeAssemblyBuffer();
    return shared ? *shared : ownBeforeAssembly_;
}

void DocumentAssembly::AssembleDocument(word::DocumentView& target, word::DocumentView& aux,
                                        word::MarkerTextBox& box, const AssemblyProgress& progress)
{
    Run run(dm_, target, aux, box, progress);
    try {
        struct Finish {
            Run& run;
            ~Finish() { run.finish(); }
        } finish{run};
        run.begin(beforeAssembly());
        run.nestedTemplates();
        run.fields();
        run.groups();
        run.treatment();
    } catch (const Error& e) {
        const QString loops = run.loopNotice();
        if (loops.isEmpty())
            throw;
        throw Error(e.message() + QStringLiteral("\n\n") + loops);
    }
    const QString loops = run.loopNotice();
    if (!loops.isEmpty())
        dialogs().notice(loops, kCaption);
}

void DocumentAssembly::CancelAssembly(word::DocumentView& view)
{
    const QByteArray& before = beforeAssembly();
    if (before.isEmpty())
        throw Error(QStringLiteral("Отменять нечего: документ ещё не собирался."));
    view.loadFromBlob(before);
}

} // namespace talvora::templates

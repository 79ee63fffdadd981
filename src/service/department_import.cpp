#include "service/department_import.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "templates/markers.h"
#include "ui/dialog_service.h"
#include "word/document.h"
#include "word/document_io.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace talvora::service {

using templates::MarkerKind;

int importPercent(int row, int rows)
{
    if (rows <= 0)
        return 0;
    const qint64 scaled = qint64(row) * 100;
    qint64 whole = scaled / rows;
    const qint64 twiceRest = (scaled % rows) * 2;
    if (twiceRest > rows || (twiceRest == rows && whole % 2 != 0))
        ++whole;
    return int(whole);
}

// ---------------------------------------------------------------- markers

namespace {

bool endsMarkerWindow(QChar c)
{
    // What the assembly never reads a marker across: a paragraph, line or
    // cell end, and objects that are not text (pictures).
    return c == u'\r' || c == u'\n' || c == u'\v' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator ||
           c == QChar::ObjectReplacementCharacter;
}

struct NumberEdit {
    int from = 0;   // in the block's text
    int length = 0; // characters of the old number part
    QString digits;
};

void collectEdits(const QString& text, MarkerKind kind, const QHash<qint64, qint64>& keys,
                  std::vector<NumberEdit>& edits)
{
    if (keys.isEmpty())
        return;
    const QString prefix = templates::markerPrefix(kind);
    for (qsizetype at = text.indexOf(prefix); at >= 0; at = text.indexOf(prefix, at + prefix.size())) {
        QStringView window = QStringView(text).mid(at, templates::kMarkerSpan);
        for (qsizetype i = prefix.size(); i < window.size(); ++i)
            if (endsMarkerWindow(window[i])) {
                window = window.left(i);
                break;
            }
        const templates::MarkerReading reading = templates::readMarkerText(window);
        if (!reading.ok())
            continue;
        const auto found = keys.constFind(reading.number);
        if (found == keys.constEnd())
            continue;
        // The number part runs from the prefix to the ">" (or to the end of
        // what was read when there is none).
        const int numberEnd = int(std::min<qsizetype>(reading.length - 1, window.size()));
        const int from = int(at + prefix.size());
        edits.push_back({from, numberEnd - int(prefix.size()), QString::number(*found)});
    }
}

} // namespace

int renumberMarkers(QTextDocument& text, const MarkerKeys& keys)
{
    int rewritten = 0;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QString content = block.text();
        std::vector<NumberEdit> edits;
        collectEdits(content, MarkerKind::Group, keys.types, edits);
        collectEdits(content, MarkerKind::Template, keys.templates, edits);
        if (edits.empty())
            continue;
        // From the end of the block, so that earlier places stay where they are.
        std::sort(edits.begin(), edits.end(), [](const NumberEdit& a, const NumberEdit& b) { return a.from > b.from; });
        const int base = block.position();
        for (const NumberEdit& e : edits) {
            QTextCursor cursor(&text);
            cursor.setPosition(base + e.from + 1);
            const QTextCharFormat format = cursor.charFormat(); // of the first digit
            cursor.setPosition(base + e.from);
            cursor.setPosition(base + e.from + e.length, QTextCursor::KeepAnchor);
            cursor.insertText(e.digits, format);
            ++rewritten;
        }
    }
    return rewritten;
}

namespace {

int renumberIn(const std::unique_ptr<QTextDocument>& story, const MarkerKeys& keys)
{
    return story ? renumberMarkers(*story, keys) : 0;
}

} // namespace

int renumberMarkers(word::Document& document, const MarkerKeys& keys)
{
    int rewritten = renumberMarkers(document.text(), keys);
    for (const auto* story : {&document.header, &document.footer, &document.firstHeader, &document.firstFooter,
                              &document.evenHeader, &document.evenFooter})
        rewritten += renumberIn(*story, keys);
    for (word::Section& section : document.laterSections)
        for (const auto* story : {&section.header, &section.footer, &section.firstHeader, &section.firstFooter,
                                  &section.evenHeader, &section.evenFooter})
            rewritten += renumberIn(*story, keys);
    return rewritten;
}

std::optional<QByteArray> renumberTemplateMarkers(const QByteArray& blob, const MarkerKeys& keys)
{
    if (keys.types.isEmpty() && keys.templates.isEmpty())
        return std::nullopt;
    std::optional<word::Document> document;
    try {
        document.emplace(word::documentFromBlob(blob));
    } catch (const Error&) {
        // Nothing to rewrite in what cannot be read: the copy keeps the bytes
        // it had, as the source does.
        return std::nullopt;
    }
    if (renumberMarkers(*document, keys) == 0)
        return std::nullopt;
    return word::blobFromDocument(*document);
}

// ---------------------------------------------------------------- the import

namespace {

QVariant keyOrNull(const data::Dataset& ds, const char* field)
{
    if (!ds.active() || ds.isEmpty())
        return {};
    return ds.field(QString::fromLatin1(field)).value();
}

// A text cut to its field's width, as the datasets store it.
QString fitted(const data::Database& db, const char* table, const char* field, const QString& text)
{
    const data::TableDef* t = db.schema().table(QString::fromLatin1(table));
    const data::FieldDef* f = t ? t->field(QString::fromLatin1(field)) : nullptr;
    return f && f->size > 0 ? text.left(f->size) : text;
}

// The boilerplate table's rule before a row is stored: bounds given the wrong
// way round are exchanged (an empty bound counts as 0).
void orderBounds(QVariant& lower, QVariant& upper)
{
    const auto bound = [](const QVariant& v) { return v.isNull() ? 0 : v.toInt(); };
    if (bound(upper) < bound(lower))
        std::swap(lower, upper);
}

void reportStage(const ImportProgress& p, const QString& what, int rows)
{
    if (p.stage)
        p.stage(what, rows);
}

void reportStep(const ImportProgress& p, int row, int rows)
{
    if (p.step)
        p.step(row, rows);
}

// Re-reads a query with one more parameter bound.
void reopen(data::QueryDataset& q, std::initializer_list<std::pair<const char*, QVariant>> params)
{
    q.close();
    for (const auto& [name, value] : params)
        q.setParam(QString::fromLatin1(name), value);
    q.open();
}

} // namespace

QString DepartmentImport::copyingBoilerplates() { return QStringLiteral("Копируются \"Рыбы\""); }
QString DepartmentImport::copyingTemplateTypes() { return QStringLiteral("Копируются типы Шаблонов"); }
QString DepartmentImport::copyingTemplates() { return QStringLiteral("Копируются Шаблоны"); }
QString DepartmentImport::rewritingMarkers() { return QStringLiteral("Исправляются метки в Шаблонах"); }

ImportSummary DepartmentImport::Import(qint64 source, qint64 target, const ImportProgress& progress)
{
    ImportSummary summary;
    if (source == target)
        return summary;
    data::Database& db = *dm_.Pacents;
    struct CloseLists {
        data::TDM& dm;
        ~CloseLists()
        {
            dm.Fish_q2->close();
            dm.ShType_q->close();
            dm.Sh_q2->close();
        }
    } closeLists{dm_};

    data::UnitOfWork unit(db);
    {
        data::Params p;
        p.set(QStringLiteral("oid"), target);
        data::SqliteStatement exists =
            db.prepareBound(db.translate(QStringLiteral("select OID from Otdelen where OID = :oid")), p);
        if (!exists.step())
            throw Error(QStringLiteral("Отделения, в которое нужно импортировать настройки, больше нет в базе данных.\n"
                                       "Создайте рабочее место заново кнопкой «Создать  !»."));
    }
    summary.boilerplates = copyBoilerplates(source, target, progress);

    data::QueryDataset& types = *dm_.ShType_q;
    reopen(types, {{"_ShTotd", source}});
    const int typeCount = types.recordCount();
    reportStage(progress, copyingTemplateTypes(), typeCount);
    MarkerKeys keys;
    QList<qint64> copies;
    int row = 0;
    for (types.first(); !types.eof(); types.next()) {
        ++row;
        if (row > 1) // the bar showed the templates of the type before
            reportStage(progress, copyingTemplateTypes(), typeCount);
        reportStep(progress, row, typeCount);
        const qint64 sourceType = types.field(QStringLiteral("ShTID")).value().toLongLong();
        data::Params t;
        t.set(QStringLiteral("name"), types.field(QStringLiteral("ShTName")).value());
        t.set(QStringLiteral("otd"), target);
        const qint64 newType =
            db.insertRow(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (:name, :otd)"), t);
        keys.types.insert(sourceType, newType);
        ++summary.templateTypes;
        summary.templates += copyTemplates(source, sourceType, target, newType, progress, keys, copies);
    }
    summary.markersRewritten = rewriteMarkers(copies, keys, progress);
    unit.commit();
    return summary;
}

int DepartmentImport::copyBoilerplates(qint64 source, qint64 target, const ImportProgress& progress)
{
    data::Database& db = *dm_.Pacents;
    data::QueryDataset& fish = *dm_.Fish_q2;
    reopen(fish, {{"_Fotd", source}});
    const int rows = fish.recordCount();
    reportStage(progress, copyingBoilerplates(), rows);
    int row = 0;
    for (fish.first(); !fish.eof(); fish.next()) {
        reportStep(progress, ++row, rows);
        QVariant lower = fish.field(QStringLiteral("Fmin")).value();
        QVariant upper = fish.field(QStringLiteral("Fmax")).value();
        orderBounds(lower, upper);
        data::Params p;
        p.set(QStringLiteral("otd"), target);
        p.set(QStringLiteral("name"), fish.field(QStringLiteral("FName")).value());
        p.set(QStringLiteral("type"), fish.field(QStringLiteral("FType")).value());
        p.set(QStringLiteral("res"), fish.field(QStringLiteral("Fres")).value());
        p.set(QStringLiteral("min"), lower);
        p.set(QStringLiteral("max"), upper);
        p.set(QStringLiteral("mem"), fish.field(QStringLiteral("Fmem")).value());
        p.set(QStringLiteral("male"), fish.field(QStringLiteral("Fmale")).value());
        db.insertRow(QStringLiteral("insert into Fish (Fotd, Fname, FType, Fres, Fmin, Fmax, Fmem, Fmale) "
                                    "values (:otd, :name, :type, :res, :min, :max, :mem, :male)"),
                     p);
    }
    return row;
}

int DepartmentImport::copyTemplates(qint64 source, qint64 sourceType, qint64 target, qint64 targetType,
                                    const ImportProgress& progress, MarkerKeys& keys, QList<qint64>& copies)
{
    data::Database& db = *dm_.Pacents;
    data::QueryDataset& list = *dm_.Sh_q2;
    reopen(list, {{"_ShOtd", source}, {"_ShType", sourceType}});
    const int rows = list.recordCount();
    reportStage(progress, copyingTemplates(), rows);
    int row = 0;
    for (list.first(); !list.eof(); list.next()) {
        reportStep(progress, ++row, rows);
        data::Params p;
        p.set(QStringLiteral("otd"), target);
        p.set(QStringLiteral("type"), targetType);
        p.set(QStringLiteral("name"), list.field(QStringLiteral("ShName")).value());
        p.set(QStringLiteral("res"), list.field(QStringLiteral("ShRes")).value());
        p.set(QStringLiteral("min"), list.field(QStringLiteral("Sh_min")).value());
        p.set(QStringLiteral("max"), list.field(QStringLiteral("Sh_max")).value());
        p.set(QStringLiteral("def"), list.field(QStringLiteral("Sh_def")).value());
        const qint64 copy = db.insertRow(
            QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_min, Sh_max, Sh_def) "
                           "values (:otd, :type, :name, :res, :min, :max, :def)"),
            p);
        keys.templates.insert(list.field(QStringLiteral("ShId")).value().toLongLong(), copy);
        copies << copy;
    }
    list.close();
    return row;
}

int DepartmentImport::rewriteMarkers(const QList<qint64>& copies, const MarkerKeys& keys,
                                     const ImportProgress& progress)
{
    // Only now are the keys of every copied type and template known: a
    // template may name one of a type copied after its own.
    data::Database& db = *dm_.Pacents;
    const int rows = int(copies.size());
    reportStage(progress, rewritingMarkers(), rows);
    int rewritten = 0;
    int row = 0;
    for (const qint64 copy : copies) {
        reportStep(progress, ++row, rows);
        const QByteArray blob =
            db.readColumn(QStringLiteral("SHablon"), QStringLiteral("ShRes"), copy, data::FieldType::FmtMemo).toByteArray();
        const std::optional<QByteArray> renumbered = renumberTemplateMarkers(blob, keys);
        if (!renumbered)
            continue;
        data::Params p;
        p.set(QStringLiteral("res"), *renumbered);
        p.set(QStringLiteral("id"), copy);
        db.execute(QStringLiteral("update SHablon set ShRes = :res where ShId = :id"), p);
        ++rewritten;
    }
    return rewritten;
}

// ---------------------------------------------------------------- the wizard

SetupWizard::SetupWizard(data::TDM& dm, QObject* parent) : QObject(parent), dm_(dm) {}

QString SetupWizard::importQuestion()
{
    return QStringLiteral("Импортировать шаблоны и Рыбы из другого отделения ? \r\n (Cansel - ввести \"рыбы\" вручную)");
}

bool SetupWizard::CreateWorkplace(const NewWorkplace& workplace)
{
    data::Database& db = *dm_.Pacents;
    const QString hospital = fitted(db, "Otdelen", "Oboln", workplace.hospital);
    const QString department = fitted(db, "Otdelen", "Ootd", workplace.department);
    qint64 key = 0;
    {
        data::UnitOfWork unit(db);
        data::Params p;
        p.set(QStringLiteral("boln"), hospital);
        p.set(QStringLiteral("otd"), department);
        key = db.insertRow(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (:boln, :otd)"), p);
        for (const QString& name : workplace.documentTypes) {
            data::Params t;
            t.set(QStringLiteral("name"), fitted(db, "VipisType", "VTName", name));
            t.set(QStringLiteral("otd"), key);
            db.insertRow(QStringLiteral("insert into VipisType (VTName, VTOtd) values (:name, :otd)"), t);
        }
        unit.commit();
    }
    newDepartment_ = key;
    targetName_ = hospital + u' ' + department;
    emit targetChanged(targetName_);

    // The new department becomes the current one; its document types follow it.
    data::QueryDataset& documents = *dm_.Vipis_q;
    const bool documentsOpen = documents.active();
    documents.close();
    data::TableDataset& departments = *dm_.Otd;
    departments.checkBrowseMode();
    if (departments.active())
        departments.refresh();
    else
        departments.open();
    departments.locate(QStringLiteral("OID"), key);
    if (documentsOpen)
        documents.open();

    return dialogs().confirmOrCancel(importQuestion());
}

ImportSummary SetupWizard::StartImport(const ImportProgress& progress)
{
    if (newDepartment_ == 0)
        throw Error(QStringLiteral("Сначала создайте рабочее место кнопкой «Создать  !»."));
    const QVariant source = keyOrNull(*dm_.Otd, "OID");
    if (source.isNull())
        throw Error(QStringLiteral("Выберите источник импорта: в списке нет отделений."));
    return DepartmentImport(dm_).Import(source.toLongLong(), newDepartment_, progress);
}

} // namespace talvora::service

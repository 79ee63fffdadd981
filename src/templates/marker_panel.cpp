#include "templates/marker_panel.h"

#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "ui/error_display.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvora::templates {

namespace {

QTreeWidgetItem* addGroup(QTreeWidget* list, const QString& caption)
{
    auto* group = new QTreeWidgetItem(list, QStringList{caption});
    group->setData(0, Qt::AccessibleTextRole, caption);
    group->setFlags(Qt::ItemIsEnabled);
    return group;
}

void addMarker(QTreeWidgetItem* group, const QString& marker, const QString& name)
{
    const QString text = marker + QStringLiteral(" — ") + name;
    auto* item = new QTreeWidgetItem(group, QStringList{text});
    item->setData(0, MarkerPanel::MarkerRole, marker);
    item->setData(0, Qt::AccessibleTextRole, text);
    item->setToolTip(0, text);
}

// The marker of a row's key (keys are not cut to an int).
QString keyMarker(MarkerKind kind, qint64 key)
{
    return markerPrefix(kind) + QString::number(key) + u'>';
}

std::vector<NamedKey> readKeys(data::Database& db, const QString& statement, const data::Params& params)
{
    std::vector<NamedKey> rows;
    data::SqliteStatement st = db.prepareBound(db.translate(statement, data::TranslateOptions{false}), params);
    while (st.step())
        rows.push_back({st.int64(0), st.text(1)});
    return rows;
}

} // namespace

MarkerCatalog readMarkerCatalog(data::TDM& dm, bool everyDepartment)
{
    const data::Dataset& otd = *dm.Otd;
    const qint64 department = otd.active() && !otd.isEmpty() ? otd.field(QStringLiteral("OID")).asInteger() : 0;
    data::Params params;
    params.set(QStringLiteral("otd"), department);

    data::Database& db = *dm.Pacents;
    const data::ReadTransaction snapshot(db);
    MarkerCatalog catalog;
    catalog.templateTypes = readKeys(
        db, QStringLiteral("select ShTID, ShTName from SHablonType where ShTotd = :otd order by ShTID"), params);
    catalog.templates = everyDepartment
                            ? readKeys(db, QStringLiteral("select ShId, ShName from SHablon order by ShId"), {})
                            : readKeys(db,
                                       QStringLiteral("select ShId, ShName from SHablon where ShOtd = :otd "
                                                      "order by ShId"),
                                       params);
    return catalog;
}

MarkerPanel::MarkerPanel(MarkerCatalogSource source, QWidget* parent)
    : QWidget(parent), source_(std::move(source))
{
    setObjectName(QStringLiteral("MarkerPanel"));
    auto* caption = new QLabel(QStringLiteral("Метки шаблона"), this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("MarkerList"));
    list_->setHeaderHidden(true);
    list_->setColumnCount(1);
    list_->setRootIsDecorated(true);
    list_->setExpandsOnDoubleClick(true);
    list_->setAccessibleName(caption->text());
    list_->setAccessibleDescription(QStringLiteral("Двойной щелчок или Enter вставляет метку в документ"));
    list_->setToolTip(list_->accessibleDescription());
    caption->setBuddy(list_);
    caption->setAccessibleName(caption->text());
    setAccessibleName(caption->text());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(list_, 1);

    // Not `activated`: some styles activate on a single click.
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            ui::guarded([this](QTreeWidgetItem* item, int) { request(item); }));
    list_->installEventFilter(this);
    rebuild(MarkerCatalog{});
}

QString MarkerPanel::fieldsCaption()
{
    return QStringLiteral("Поля карты пациента");
}

QString MarkerPanel::groupsCaption()
{
    return QStringLiteral("Исследования по типам шаблонов");
}

QString MarkerPanel::treatmentCaption()
{
    return QStringLiteral("Лечение");
}

QString MarkerPanel::templatesCaption()
{
    return QStringLiteral("Вложенные шаблоны");
}

void MarkerPanel::reload()
{
    rebuild(source_ ? source_() : MarkerCatalog{});
}

void MarkerPanel::rebuild(const MarkerCatalog& catalog)
{
    const QTreeWidgetItem* current = list_->currentItem();
    const QString kept = current ? current->data(0, MarkerRole).toString() : QString();

    list_->clear();
    QTreeWidgetItem* fields = addGroup(list_, fieldsCaption());
    for (const FieldEntry& f : fieldTable())
        addMarker(fields, markerText(MarkerKind::Field, f.number), fieldName(f.number));

    QTreeWidgetItem* groups = addGroup(list_, groupsCaption());
    for (const NamedKey& t : catalog.templateTypes)
        addMarker(groups, keyMarker(MarkerKind::Group, t.key), t.name);

    QTreeWidgetItem* treatment = addGroup(list_, treatmentCaption());
    for (int n : {1, 2})
        addMarker(treatment, markerText(MarkerKind::Treatment, n), treatmentName(n));

    QTreeWidgetItem* templates = addGroup(list_, templatesCaption());
    for (const NamedKey& t : catalog.templates)
        addMarker(templates, keyMarker(MarkerKind::Template, t.key), t.name);

    list_->expandAll();
    QTreeWidgetItem* again = kept.isEmpty() ? nullptr : itemOf(kept);
    list_->setCurrentItem(again ? again : fields->child(0));
}

QTreeWidgetItem* MarkerPanel::itemOf(const QString& markerText) const
{
    for (int g = 0; g < list_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = list_->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i)
            if (group->child(i)->data(0, MarkerRole).toString() == markerText)
                return group->child(i);
    }
    return nullptr;
}

void MarkerPanel::request(const QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString marker = item->data(0, MarkerRole).toString();
    if (!marker.isEmpty())
        emit insertRequested(marker);
}

bool MarkerPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list_->currentItem()
            && !list_->currentItem()->data(0, MarkerRole).isNull()) {
            ui::guarded([this] { request(list_->currentItem()); })();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace talvora::templates

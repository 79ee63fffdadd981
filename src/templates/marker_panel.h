#pragma once
// The marker panel beside the designer's document: every marker a template
// can carry, in groups, each with what it stands for ("<!fld_12> — Клинический
// диагноз"). A double click or Enter on a marker asks for it to be inserted
// at the document's selection, whether or not the insertion mode is on.

#include "templates/marker_names.h"

#include <QString>
#include <QWidget>

#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace talvora::data {
class TDM;
}

namespace talvora::templates {

// The department's template types and templates, read when the panel is
// (re)loaded.
using MarkerCatalogSource = std::function<MarkerCatalog()>;

// The catalog of the department of the current row of Otd, read from the
// database without moving any dataset: the department's template types and
// its templates, in key order. With `everyDepartment` the templates of all
// departments: the assembly pulls a nested template in whatever its
// department, so that is what a marker is checked against. Throws
// talvora::Error when the database cannot be read.
MarkerCatalog readMarkerCatalog(data::TDM& dm, bool everyDepartment = false);

class MarkerPanel : public QWidget {
    Q_OBJECT

public:
    // Item data: the marker text of a marker row; nothing on a group row.
    static constexpr int MarkerRole = Qt::UserRole + 1;

    // Lists the field and treatment markers at once; the department's types
    // and templates come with the first reload(), once there is data to read.
    explicit MarkerPanel(MarkerCatalogSource source, QWidget* parent = nullptr);

    // Reads the catalog and rebuilds the list; the marker that was current
    // stays current when it is still listed. What the source throws goes
    // to the caller, and the list stays as it was.
    void reload();

    QTreeWidget* list() const { return list_; }
    // The row of a marker text, or null.
    QTreeWidgetItem* itemOf(const QString& markerText) const;

    // Group captions.
    static QString fieldsCaption();
    static QString groupsCaption();
    static QString treatmentCaption();
    static QString templatesCaption();

signals:
    void insertRequested(const QString& markerText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild(const MarkerCatalog& catalog);
    void request(const QTreeWidgetItem* item);

    MarkerCatalogSource source_;
    QTreeWidget* list_ = nullptr;
};

} // namespace talvora::templates

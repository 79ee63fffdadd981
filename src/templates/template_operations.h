#pragma once
// The operations on the template table that several windows share: finding
// a template, deleting one, and the question that comes before a template
// type is deleted.
//
// Template names are not unique, and a name may begin the name of another
// template, so a name does not always identify the template a list shows.
// A list row therefore names its template by its key (ShId): showing,
// assembling, deleting and flagging a template go through LocateTemplate;
// FindTemplateByName is only the name search.

#include <QString>

namespace talvora::data {
class TDM;
}

namespace talvora::templates {

// One instance serves the whole program: it holds the data module's hook,
// and the start-up code hands it to the windows that need it.
class TemplateOperations {
public:
    // Installs the data module's DeleteTemplateType hook (before a row of
    // ShType is deleted); the destructor takes it away again.
    explicit TemplateOperations(data::TDM& dm);
    ~TemplateOperations();
    TemplateOperations(const TemplateOperations&) = delete;
    TemplateOperations& operator=(const TemplateOperations&) = delete;

    // Moves the template table Sh to the first template in key order whose
    // name begins with `name` (letter case counts). False, and no move, when
    // there is none.
    bool FindTemplateByName(const QString& name);

    // Moves Sh to the template with this key. Sh is read again once when the
    // key is not among its rows (a template stored since by a statement).
    // False, and no move, when there is no such template.
    bool LocateTemplate(qint64 shId);

    // Deletes the template with this key and nothing else, then re-reads the
    // list of the current type (OpenTemplatesOfType) whatever happened. Says
    // nothing when the template is not there or cannot be deleted; the
    // result tells whether it was deleted.
    bool DeleteTemplate(qint64 shId);

    // Before the current row of ShType is deleted: asks, and on Yes deletes
    // the templates of that type together with the type's row, all or
    // nothing. On No, or when the deletion fails (talvora::Error), the type
    // and its templates stay: the row's deletion is cancelled.
    void DeleteTemplateType();

    static QString deleteTypeQuestion();

private:
    void refreshTemplates();

    data::TDM& dm_;
};

} // namespace talvora::templates

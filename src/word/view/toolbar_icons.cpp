#include "word/view/toolbar_icons.h"

#include <vector>

namespace talvora::word {

namespace {

struct CommandIcon {
    const char* command;
    // The theme's names, the first one found wins: the freedesktop name
    // first, then names common themes use where the freedesktop list has
    // none.
    std::vector<const char*> themeNames;
    const char* bundled; // icons/<bundled>.svg
};

const std::vector<CommandIcon>& table()
{
    static const std::vector<CommandIcon> icons = {
        {"saveAs", {"document-save-as", "document-save"}, "save"},
        {"print", {"document-print"}, "print"},
        {"preview", {"document-print-preview"}, "preview"},
        {"pdf", {"application-pdf", "document-export"}, "pdf"},
        {"undo", {"edit-undo"}, "undo"},
        {"redo", {"edit-redo"}, "redo"},
        {"cut", {"edit-cut"}, "cut"},
        {"copy", {"edit-copy"}, "copy"},
        {"paste", {"edit-paste"}, "paste"},
        {"insertFile", {"document-import", "insert-object"}, "insert-file"},
        {"selectAll", {"edit-select-all"}, "select-all"},
        {"bold", {"format-text-bold"}, "bold"},
        {"italic", {"format-text-italic"}, "italic"},
        {"underline", {"format-text-underline"}, "underline"},
        {"color", {"format-text-color", "format-stroke-color"}, "color"},
        {"alignLeft", {"format-justify-left"}, "align-left"},
        {"alignCenter", {"format-justify-center"}, "align-center"},
        {"alignRight", {"format-justify-right"}, "align-right"},
        {"alignJustify", {"format-justify-fill"}, "align-justify"},
        {"numbered", {"format-list-ordered"}, "numbered"},
        {"bulleted", {"format-list-unordered"}, "bulleted"},
        {"outdent", {"format-indent-less"}, "outdent"},
        {"indent", {"format-indent-more"}, "indent"},
        {"insertTable", {"insert-table"}, "table"},
        {"insertPicture", {"insert-image"}, "picture"},
        {"insertRow", {"edit-table-insert-row-below", "insert-table-row"}, "row-insert"},
        {"deleteRow", {"edit-table-delete-row", "delete-table-row"}, "row-delete"},
        {"insertColumn", {"edit-table-insert-column-right", "insert-table-column"}, "column-insert"},
        {"deleteColumn", {"edit-table-delete-column", "delete-table-column"}, "column-delete"},
    };
    return icons;
}

const CommandIcon* find(const QString& command)
{
    for (const CommandIcon& icon : table())
        if (command == QLatin1String(icon.command))
            return &icon;
    return nullptr;
}

} // namespace

QStringList iconCommands()
{
    QStringList names;
    for (const CommandIcon& icon : table())
        names << QString::fromLatin1(icon.command);
    return names;
}

QIcon bundledCommandIcon(const QString& command)
{
    const CommandIcon* icon = find(command);
    if (!icon)
        return {};
    // Drawn by Qt's SVG icon engine at the size asked for (package libqt6svg6).
    return QIcon(QStringLiteral(":/talvora/word/icons/%1.svg").arg(QLatin1String(icon->bundled)));
}

QIcon commandIcon(const QString& command)
{
    const CommandIcon* icon = find(command);
    if (!icon)
        return {};
    for (const char* name : icon->themeNames)
        if (QIcon::hasThemeIcon(QLatin1String(name)))
            return QIcon::fromTheme(QLatin1String(name));
    return bundledCommandIcon(command);
}

} // namespace talvora::word

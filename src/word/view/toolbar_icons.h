#pragma once
// The icons of the editor's commands. The desktop's icon theme gives them
// by their freedesktop names (document-print, edit-copy, format-text-bold,
// …); where the theme has none, our own drawing (icons/*.svg, built into
// the program, drawn by the SVG icon engine of package libqt6svg6) stands
// in, so every command has one on any desktop.

#include <QIcon>
#include <QString>
#include <QStringList>

namespace talvora::word {

// The commands that have an icon, by their action names ("bold", "print", …).
QStringList iconCommands();
// The theme's icon of the command, else our own; null for a command not in
// iconCommands().
QIcon commandIcon(const QString& command);
// Our own drawing of the command's icon, whatever the theme has; null for a
// command not in iconCommands().
QIcon bundledCommandIcon(const QString& command);

} // namespace talvora::word

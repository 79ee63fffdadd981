#pragma once
// A picture button without a caption: its hint is its tool tip and its
// accessible name, so that a screen reader and a UI test find it by the
// words a user reads on hovering.

#include <QStyle>

class QString;
class QToolButton;
class QWidget;

namespace talvora::ui {

// `name`, when given, is the object name.
QToolButton* hintButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& hint, const char* name = nullptr);

} // namespace talvora::ui

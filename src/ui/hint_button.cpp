#include "hint_button.h"

#include <QToolButton>

namespace talvora::ui {

QToolButton* hintButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& hint, const char* name)
{
    auto* b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(hint);
    // A hint may run over two lines; the name is one.
    b->setAccessibleName(hint.simplified());
    if (name)
        b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace talvora::ui

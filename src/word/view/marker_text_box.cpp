#include "word/view/marker_text_box.h"

#include "word/view/transfer_buffer.h"

#include <QRegularExpression>

namespace talvora::word {

MarkerTextBox::MarkerTextBox(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("markerTextBox"));
    setVisible(false);
}

void MarkerTextBox::pasteTransfer()
{
    QString text = transferBuffer().plainText();
    const qsizetype lineEnd = text.indexOf(QRegularExpression(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]")));
    if (lineEnd >= 0)
        text.truncate(lineEnd);
    insert(text);
}

QString MarkerTextBox::takeText()
{
    const QString t = text();
    clear();
    return t;
}

} // namespace talvora::word

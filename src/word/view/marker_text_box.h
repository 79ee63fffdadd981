#pragma once
// The hidden one-line text box through which the document assembly reads a
// marker: the marker is copied from the document into the transfer buffer,
// pasted here and read back as plain text.

#include <QLineEdit>

namespace talvora::word {

class MarkerTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit MarkerTextBox(QWidget* parent = nullptr);

    // Pastes the transfer buffer's text at the box's cursor. Like any
    // one-line box it keeps the first line only.
    void pasteTransfer();
    // The box's text; the box is left empty.
    QString takeText();
};

} // namespace talvora::word

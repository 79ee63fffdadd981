#pragma once
// The page the editor sits on: a white sheet as wide as the document's page,
// with its margins, centred on a grey desk. A view narrower than the page
// shows the sheet scaled down, margins included.

#include "word/document.h"

#include <QWidget>

class QFrame;
class QTextEdit;

namespace talvora::word {

class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QTextEdit* editor, QWidget* parent = nullptr);

    void setPageSetup(const PageSetup& page);
    const PageSetup& pageSetup() const { return page_; }
    // The sheet's geometry in this widget, and the editor's in the sheet.
    QRect sheetGeometry() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeSheet();
    double twipsToPixels(int twips) const;

    PageSetup page_;
    QFrame* sheet_ = nullptr;
    QTextEdit* editor_ = nullptr;
};

} // namespace talvora::word

#pragma once
// A document view on the screen with a document loaded and the editor
// active, as a user has it in front of them.

#include "word/document.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QSize>
#include <QTextEdit>

#include <utility>

namespace talvora::word::test {

struct ShownView {
    explicit ShownView(Document doc, QSize size = QSize(800, 600))
    {
        view.resize(size);
        view.loadDocument(std::move(doc));
        view.show();
        view.activate();
        QApplication::processEvents();
    }
    QTextEdit* editor() const { return view.textEdit(); }
    QTextDocument& text() const { return *view.textEdit()->document(); }

    DocumentView view;
};

} // namespace talvora::word::test

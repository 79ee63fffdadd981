#pragma once
// The automation calls of one DocumentView (see word_automation.h).

#include "word/view/word_automation.h"

#include <QString>

#include <memory>

namespace talvora::word {

class DocumentView;

class ViewAutomation : public WordApplication {
public:
    explicit ViewAutomation(DocumentView& view);
    ~ViewAutomation() override;

    WordSelection& selection() override;
    WordDocument& activeDocument() override;
    WordCommandBars& commandBars() override;
    bool visible() const override;
    void setVisible(bool visible) override;

private:
    class Find;
    class Selection;
    class ActiveDocument;
    class Bar;
    class Bars;
    DocumentView& view_;
    std::unique_ptr<Selection> selection_;
    std::unique_ptr<ActiveDocument> document_;
    std::unique_ptr<Bars> bars_;
};

} // namespace talvora::word

#pragma once
// The program-wide state shared between windows and the data module. Nothing
// else is global: every other link between windows is handed to them by the
// start-up code.

#include <QByteArray>

#include <optional>

namespace talvora {

struct ProgramSwitches {
    // While true, every move of the patient list loads the moved-to patient into the card.
    bool CardFollowsList = true;
    // True until the first move of the department cursor has been handled.
    bool FirstOtdScroll = true;
    // The template designer's "режим вставки полей": while on, a right-click on
    // a data control inserts its marker into the designer's document. Off at
    // start; stays on while the designer is hidden.
    bool MarkerInsertion = false;
};

// The one instance for the whole run.
ProgramSwitches& programSwitches();

// The before-assembly buffer: the document (a document BLOB) that a view held
// when the latest assembly started, from whichever window. The template
// designer creates it when it is built and frees it when it is destroyed; the
// patient window shares it. Empty (no value) while there is no designer.
std::optional<QByteArray>& beforeAssemblyBuffer();

} // namespace talvora

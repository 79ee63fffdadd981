#pragma once
// The program-wide switches shared between windows and the data module.

namespace talvora {

struct ProgramSwitches {
    // While true, every move of the patient list loads the moved-to patient into the card.
    bool CardFollowsList = true;
    // True until the first move of the department cursor has been handled.
    bool FirstOtdScroll = true;
};

// The one instance for the whole run.
ProgramSwitches& programSwitches();

} // namespace talvora

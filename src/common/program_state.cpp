#include "program_state.h"

namespace talvora {

ProgramSwitches& programSwitches()
{
    static ProgramSwitches switches;
    return switches;
}

} // namespace talvora

#include "program_state.h"

namespace talvora {

ProgramSwitches& programSwitches()
{
    static ProgramSwitches switches;
    return switches;
}

std::optional<QByteArray>& beforeAssemblyBuffer()
{
    static std::optional<QByteArray> buffer;
    return buffer;
}

} // namespace talvora

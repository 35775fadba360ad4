// As control_header.cpp, but reaching the control API by a relative path,
// which no include path can forbid: the header itself must then stop the
// compilation of program code.
#include <windows.h>

#include "../../../winsim/sim/sim_machine.h"

void ProbeResetsTheMachine() { winsim::Reset(); }

// Compiled by the test "program_code_cannot_include_the_control_api" with a
// program target's include paths and definitions, where it must fail: the
// control API's folder is not on a program's path. With a test target's
// paths it compiles (test "tests_include_the_control_api").
#include <windows.h>

#include "sim_machine.h"

void ProbeResetsTheMachine() { winsim::Reset(); }

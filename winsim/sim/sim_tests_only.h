// Every header of winsim's test-control API includes this one. The API sets
// up and inspects the simulated machine; program code must never reach it,
// or a program could pass its tests by asking the simulation what a real
// Windows would never tell it. The program targets of the native build
// define WINSIM_PROGRAM_CODE (cmake/common.cmake) and do not have sim/ on
// their include path; this check also stops a relative include.
#pragma once

#ifdef WINSIM_PROGRAM_CODE
#error "winsim's test-control API (sim_*.h) is for tests only: program code includes <windows.h> and <mmsystem.h>"
#endif

// Dynamic libraries: loaded by file name, entry points looked up by export
// name. The libraries are ones a test registered (see sim/sim_libraries.h).
#pragma once

#include "types.h"

// The file name is matched case-insensitively; a name without an extension
// gets ".DLL", as on Windows. A name with a folder part is not modelled.
HMODULE WINAPI LoadLibraryA(LPCSTR fileName);

// Export names are matched exactly (case-sensitively). Lookup by ordinal is
// not modelled.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);

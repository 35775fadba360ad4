// Shared by the window and resource parts of the simulated platform.
#pragma once

#include <windows.h>

#include "sim_dialogs.h"

namespace winsim::detail {

// The program's dialog template with that id, or null.
const DialogTemplate* ProgramDialog(int id);
// True for a handle LoadIconA returned.
bool IsIcon(HICON icon);

}  // namespace winsim::detail

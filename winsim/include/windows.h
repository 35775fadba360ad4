// The Win32 subset that the programs use, in the platform's own shape, for
// the native build. Each domain has its own header; a program file includes
// <windows.h> and cannot tell which platform it was built for.
#pragma once

#include "winsim/types.h"
#include "winsim/errors.h"
#include "winsim/system.h"
#include "winsim/codepage.h"
#include "winsim/heap.h"
#include "winsim/memory.h"
#include "winsim/threads.h"
#include "winsim/registry.h"
#include "winsim/files.h"
#include "winsim/process.h"
#include "winsim/libraries.h"
#include "winsim/devices.h"
#include "winsim/user.h"
#include "winsim/dialogs.h"
#include "winsim/message_loop.h"

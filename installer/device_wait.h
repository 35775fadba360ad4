// Phase A: waiting for the card's virtual game-port device, which the card's
// Windows driver makes Plug and Play register shortly after start-up.
#pragma once

#include <windows.h>

class StatusWindow;

// The instance keys of the game-port device lie below this key of
// HKEY_LOCAL_MACHINE.
#define GAMEPORT_ENUM_KEY "Enum\\VIRTUAL\\*PNPB02F\\"

// A subkey belongs to the card when its name holds "PCI" and "VEN_4E51",
// both case-sensitive.
BOOL IsGamePortCandidate(LPCSTR subkeyName);

// Returns TRUE once a candidate's "DeviceDesc" holds a non-empty text. Each
// candidate gets up to 24 attempts, 5 s apart. Each 5 s wait is shown in the
// status window, with the bar at the candidate's attempt; the window is
// hidden when the phase ends, before any box of phase B.
BOOL WaitForGamePort(StatusWindow& status);

// The system's ANSI code page, as far as the programs read paths: which
// bytes begin a double-byte character.
#pragma once

#include "types.h"

// TRUE when `byte` is the first of the two bytes of a character in the
// system's ANSI code page (the East Asian editions: 932, 936, 949, 950).
// Always FALSE in a single-byte code page, such as 1252.
BOOL WINAPI IsDBCSLeadByte(BYTE byte);

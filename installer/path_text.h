// Building path texts in place in MAX_PATH (260-byte) buffers. Every helper
// refuses, and leaves the buffer as it was, when the result would need more
// than 259 characters plus the terminator: a path that does not fit is never
// cut short into a different path.
#pragma once

#include <windows.h>

BOOL PathTextCopy(LPSTR dst, LPCSTR src);
BOOL PathTextAppend(LPSTR dst, LPCSTR tail);
// Appends the first `count` characters of `tail` (all of it if shorter).
BOOL PathTextAppendPart(LPSTR dst, LPCSTR tail, size_t count);
// Appends a backslash unless the text already ends with one.
BOOL PathTextAddBackslash(LPSTR dst);
// TRUE when the text ends with a backslash.
BOOL PathTextEndsWithBackslash(LPCSTR text);

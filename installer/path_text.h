// Building path texts in place in MAX_PATH (260-byte) buffers. Every helper
// refuses, and leaves the buffer as it was, when the result would need more
// than 259 bytes plus the terminator: a path that does not fit is never cut
// short into a different path.
//
// A path is read a character at a time, from its start. In the double-byte
// code pages of the East Asian editions of Windows (932, 936, 950) the
// second byte of a character may be 0x5C, the byte of a backslash (ソ is
// 83 5C in 932), and only a walk from the start of the text tells a lead
// byte, a trail byte and a character of its own apart. In a single-byte
// code page every byte is a character, and the helpers work byte by byte.
//
// A text that ends with a lead byte and no trail byte (a text cut inside a
// character) cannot be extended: whatever came next would become the
// missing trail byte. The helpers that append refuse such a text.
#pragma once

#include <windows.h>

BOOL PathTextCopy(LPSTR dst, LPCSTR src);
BOOL PathTextAppend(LPSTR dst, LPCSTR tail);
// Appends the first `count` bytes of `tail` (all of it if shorter); refuses
// a count that ends inside a character of `tail`.
BOOL PathTextAppendPart(LPSTR dst, LPCSTR tail, size_t count);
// Appends a backslash unless the text already ends with one.
BOOL PathTextAddBackslash(LPSTR dst);
// TRUE when the last character of the text is a backslash.
BOOL PathTextEndsWithBackslash(LPCSTR text);
// Up one folder: cuts the text right after the last backslash that comes
// before its last character and after its first: D:\A\B\ becomes D:\A\ and
// D:\A\ becomes D:\ (the root). FALSE, with the text unchanged, when there
// is no such backslash (a drive root).
BOOL PathTextCutToParent(LPSTR folder);

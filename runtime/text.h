// The few string and memory routines the programs need, in place of the C
// library's. The Windows build links no C run-time at all (the first
// Windows 95 release has no msvcrt.dll, and the toolchain's prebuilt
// run-time is compiled for newer processors), and the native build uses the
// same routines, so the tests cover what ships.
//
// Every comparison is byte by byte on unsigned bytes, exactly as strcmp and
// strstr compare: no locale, no case folding. (lstrcmpA would not do: it
// compares by the locale's word sort.)
#pragma once

#include <stddef.h>

// The number of bytes before the terminator.
size_t TextLength(const char* text);
// <0, 0 or >0 as `a` sorts before, equal to or after `b`, comparing bytes
// as unsigned values; a shorter text that is a prefix of the other sorts first.
int TextCompare(const char* a, const char* b);
// The first place where `needle` occurs in `text`, or NULL; an empty needle
// is found at the start.
const char* TextFind(const char* text, const char* needle);

// Copies `count` bytes; the two ranges must not overlap.
void MemoryCopy(void* dst, const void* src, size_t count);
// Copies `count` bytes, correct however the two ranges overlap.
void MemoryMove(void* dst, const void* src, size_t count);
void MemoryFill(void* dst, unsigned char value, size_t count);
// <0, 0 or >0 as the first differing byte (unsigned) is smaller or larger.
int MemoryCompare(const void* a, const void* b, size_t count);

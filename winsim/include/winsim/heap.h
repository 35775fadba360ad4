// The process heap: blocks the programs allocate in place of the C heap.
#pragma once

#include <stddef.h>

#include "types.h"

typedef size_t SIZE_T;

#define HEAP_ZERO_MEMORY 0x00000008

HANDLE WINAPI GetProcessHeap();
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// Like Windows, refuses a NULL block; on failure the block is untouched.
LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block);

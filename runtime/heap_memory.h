// Heap blocks from the process heap (KERNEL32's HeapAlloc family, which
// Windows 95 and NT 4.0 both have), in place of malloc, realloc and free.
#pragma once

#include <stddef.h>

// A block of `bytes` bytes, or NULL when there is no memory.
void* HeapMemoryAlloc(size_t bytes);
// The block grown or shrunk to `bytes` (a NULL block is allocated afresh),
// its contents kept; NULL when there is no memory, and then `block` is
// unchanged and still owned by the caller.
void* HeapMemoryResize(void* block, size_t bytes);
// Frees a block; NULL is ignored.
void HeapMemoryFree(void* block);

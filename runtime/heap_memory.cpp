#include "heap_memory.h"

#include <windows.h>

void* HeapMemoryAlloc(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

void* HeapMemoryResize(void* block, size_t bytes) {
  // HeapReAlloc refuses a NULL block.
  if (block == NULL) return HeapMemoryAlloc(bytes);
  return HeapReAlloc(GetProcessHeap(), 0, block, bytes);
}

void HeapMemoryFree(void* block) {
  if (block != NULL) HeapFree(GetProcessHeap(), 0, block);
}

// The handful of symbols that compiled C++ code calls on its own, with no
// call written in the source: block copies and fills for structures, and
// the C++ delete operators behind virtual destructors. The Windows build
// links no C run-time, so they are provided here over text.h and
// heap_memory.h. Compiled with loop-pattern recognition off (see the
// Windows settings in cmake/), so these loops never become calls of
// themselves.
#include <stddef.h>
#include <windows.h>

#include "heap_memory.h"
#include "text.h"

extern "C" void* memcpy(void* dst, const void* src, size_t count) {
  MemoryCopy(dst, src, count);
  return dst;
}

extern "C" void* memmove(void* dst, const void* src, size_t count) {
  MemoryMove(dst, src, count);
  return dst;
}

extern "C" void* memset(void* dst, int value, size_t count) {
  MemoryFill(dst, static_cast<unsigned char>(value), count);
  return dst;
}

extern "C" int memcmp(const void* a, const void* b, size_t count) { return MemoryCompare(a, b, count); }

// Only the delete operators: a virtual destructor refers to one. The
// programs never allocate objects with new (it cannot report a failure
// without exceptions), so a use of it fails the link.
void operator delete(void* block) noexcept { HeapMemoryFree(block); }
void operator delete[](void* block) noexcept { HeapMemoryFree(block); }
void operator delete(void* block, size_t) noexcept { HeapMemoryFree(block); }
void operator delete[](void* block, size_t) noexcept { HeapMemoryFree(block); }

// Reached only through a call of a pure virtual function during a
// constructor or destructor: a programming error, ended at once.
extern "C" void __cxa_pure_virtual(void) { ExitProcess(3); }

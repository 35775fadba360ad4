// The process heap over the host's allocator. HeapAlloc and HeapReAlloc
// take part in fault injection (a due call returns NULL, as Windows does
// when the heap is exhausted), so a test can run the programs out of memory.
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "sim_machine.h"

namespace {
// Any distinct non-null value: the programs only pass it back.
char sProcessHeap;
}  // namespace

HANDLE WINAPI GetProcessHeap() { return &sProcessHeap; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != &sProcessHeap) winsim::Unmodelled("HeapAlloc on a heap other than the process heap");
  DWORD error = 0;
  if (winsim::detail::FaultDue("HeapAlloc", &error)) return NULL;
  // malloc(0) may return NULL; Windows hands out a zero-length block.
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != NULL && (flags & HEAP_ZERO_MEMORY) != 0) std::memset(block, 0, bytes);
  return block;
}

LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
  if (heap != &sProcessHeap || block == NULL || flags != 0)
    winsim::Unmodelled("HeapReAlloc other than of a process heap block with no flags");
  DWORD error = 0;
  if (winsim::detail::FaultDue("HeapReAlloc", &error)) return NULL;
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID block) {
  if (heap != &sProcessHeap) winsim::Unmodelled("HeapFree on a heap other than the process heap");
  std::free(block);
  return TRUE;
}

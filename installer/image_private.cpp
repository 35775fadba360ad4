#include "image_private.h"

namespace {

const DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

void WriteEachPage(const MEMORY_BASIC_INFORMATION& region, DWORD pageSize) {
  // Code stays executable while it is written: this very function lies in
  // one of the regions.
  DWORD writable = (region.Protect & kExecutable) != 0 ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE;
  DWORD old;
  if (!VirtualProtect(region.BaseAddress, region.RegionSize, writable, &old)) return;
  BYTE* first = static_cast<BYTE*>(region.BaseAddress);
  for (BYTE* page = first; page < first + region.RegionSize; page += pageSize) {
    LONG volatile* word = reinterpret_cast<LONG volatile*>(page);
    InterlockedExchange(word, *word);
  }
  VirtualProtect(region.BaseAddress, region.RegionSize, old, &old);
}

}  // namespace

void MakeImagePrivate() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  HMODULE image = GetModuleHandleA(NULL);
  MEMORY_BASIC_INFORMATION region;
  BYTE* at = reinterpret_cast<BYTE*>(image);
  while (VirtualQuery(at, &region, sizeof region) == sizeof region && region.AllocationBase == image &&
         region.RegionSize != 0) {
    if (region.State == MEM_COMMIT && (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0)
      WriteEachPage(region, system.dwPageSize);
    at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize;
  }
}

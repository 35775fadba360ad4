// The program's own image: a fixed layout of pages in real memory, so that
// the program can read and write its words, with a protection per page and
// whether the page is still backed by the file on the disc. Regions are
// runs of pages with the same protection, as VirtualQuery reports them.
#include <windows.h>

#include <string>
#include <vector>

#include "internal.h"
#include "sim_image.h"
#include "sim_machine.h"

namespace {

const size_t kPageSize = 4096;
const char kImageDrive = 'D';

struct Section {
  int pages;
  DWORD protect;
};
// A small program as the loader maps it.
const Section kLayout[] = {
    {1, PAGE_READONLY},               // headers
    {4, PAGE_EXECUTE_READ},           // code
    {2, PAGE_READONLY},               // constants and imports
    {1, PAGE_WRITECOPY},              // data the program has not written yet
    {1, PAGE_READWRITE | PAGE_GUARD},  // never touched
    {1, PAGE_NOACCESS},               // never touched
    {2, PAGE_READONLY},               // resources
};
const int kImagePages = 12;

struct Page {
  DWORD protect;
  bool onDisc;
};

alignas(4096) unsigned char sImage[kImagePages * kPageSize];
Page sPages[kImagePages];
std::vector<int> sPagesAtEjects;

unsigned char* ImageEnd() { return sImage + sizeof sImage; }

// The page of an address in the image, or -1.
int PageOf(const volatile void* address) {
  const unsigned char* at = static_cast<const unsigned char*>(const_cast<const void*>(address));
  if (at < sImage || at >= ImageEnd()) return -1;
  return static_cast<int>(static_cast<size_t>(at - sImage) / kPageSize);
}

bool Untouchable(DWORD protect) { return (protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0; }

bool Writable(DWORD protect) {
  return !Untouchable(protect) &&
         (protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

}  // namespace

namespace winsim {

int ImagePagesOnDisc() {
  int pages = 0;
  for (const Page& page : sPages) pages += page.onDisc && !Untouchable(page.protect) ? 1 : 0;
  return pages;
}

const std::vector<int>& ImagePagesOnDiscAtEjects() { return sPagesAtEjects; }

namespace detail {

void ResetImage() {
  int at = 0;
  for (const Section& section : kLayout)
    for (int i = 0; i < section.pages; ++i) sPages[at++] = Page{section.protect, true};
  sPagesAtEjects.clear();
}

void NoteEjection(char letter) {
  if (letter == kImageDrive) sPagesAtEjects.push_back(ImagePagesOnDisc());
}

}  // namespace detail
}  // namespace winsim

void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
  if (info == nullptr) winsim::Unmodelled("GetSystemInfo with no record");
  *info = SYSTEM_INFO{};
  info->dwPageSize = static_cast<DWORD>(kPageSize);
  info->dwNumberOfProcessors = 1;
  info->dwProcessorType = 586;
  info->dwAllocationGranularity = 65536;
  info->wProcessorLevel = 5;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName != nullptr) winsim::Unmodelled(std::string("GetModuleHandleA of another module: ") + moduleName);
  return reinterpret_cast<HMODULE>(sImage);
}

SIZE_T WINAPI VirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T length) {
  if (info == nullptr || length < sizeof *info) winsim::Unmodelled("VirtualQuery with no room for its record");
  *info = MEMORY_BASIC_INFORMATION{};
  if (address == ImageEnd()) {  // what follows the image: free
    info->BaseAddress = ImageEnd();
    info->RegionSize = 16 * kPageSize;
    info->State = MEM_FREE;
    info->Protect = PAGE_NOACCESS;
    return sizeof *info;
  }
  int first = PageOf(address);
  if (first < 0) winsim::Unmodelled("VirtualQuery of an address outside the program's image");
  int last = first;
  while (last + 1 < kImagePages && sPages[last + 1].protect == sPages[first].protect) ++last;
  info->BaseAddress = sImage + static_cast<size_t>(first) * kPageSize;
  info->AllocationBase = sImage;
  info->AllocationProtect = PAGE_EXECUTE_WRITECOPY;
  info->RegionSize = static_cast<SIZE_T>(last - first + 1) * kPageSize;
  info->State = MEM_COMMIT;
  info->Protect = sPages[first].protect;
  info->Type = MEM_IMAGE;
  return sizeof *info;
}

BOOL WINAPI VirtualProtect(LPVOID address, SIZE_T size, DWORD newProtect, PDWORD oldProtect) {
  int first = PageOf(address);
  int last = size == 0 ? -1 : PageOf(static_cast<unsigned char*>(address) + size - 1);
  if (first < 0 || last < 0 || oldProtect == nullptr)
    winsim::Unmodelled("VirtualProtect other than of pages of the program's image, with the old protection asked");
  DWORD error = 0;
  if (winsim::detail::FaultDue("VirtualProtect", &error)) {
    SetLastError(error);
    return FALSE;
  }
  *oldProtect = sPages[first].protect;
  for (int page = first; page <= last; ++page) sPages[page].protect = newProtect;
  return TRUE;
}

LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value) {
  int page = PageOf(target);
  if (page >= 0) {
    if (!Writable(sPages[page].protect))
      winsim::detail::Stop("access violation: a write to page " + std::to_string(page) +
                           " of the program's image, whose protection " + std::to_string(sPages[page].protect) +
                           " forbids it");
    // The first write makes the page the program's own; a copy-on-write
    // page then reads as plainly writable, as NT reports it.
    sPages[page].onDisc = false;
    if (sPages[page].protect == PAGE_WRITECOPY) sPages[page].protect = PAGE_READWRITE;
    if (sPages[page].protect == PAGE_EXECUTE_WRITECOPY) sPages[page].protect = PAGE_EXECUTE_READWRITE;
  }
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

#include <cstdio>
#include <cstdlib>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"

namespace winsim {

void Reset() {
  detail::ResetSystem();
  detail::ResetRegistry();
  detail::ResetUser();
  detail::ResetFiles();
  detail::ResetProcess();
  detail::ResetLibraries();
  detail::ResetDevices();
  detail::ResetDialogs();
  detail::ResetMultimedia();
}

void Unmodelled(const std::string& what) {
  std::fprintf(stderr, "winsim: unmodelled call: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

namespace detail {

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'a' && ca <= 'z') ca -= 32;
    if (cb >= 'a' && cb <= 'z') cb -= 32;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace detail
}  // namespace winsim

namespace {
thread_local DWORD tLastError = 0;
}

DWORD WINAPI GetLastError() { return tLastError; }
void WINAPI SetLastError(DWORD code) { tLastError = code; }

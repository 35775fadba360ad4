// The ANSI code page of the machine: 1252 after Reset, or one of the
// double-byte code pages of the East Asian editions. Whatever depends on
// where a character begins is decided here: a lead byte, a character's
// length, and whether two names are the same without case.
//
// The lead-byte ranges are those of the code page tables (the LeadByte
// ranges of CPINFO): Wine 8 ships the same in its tables
// (/usr/share/wine/nls/c_932.nls and the others), which
// CodePageTest.LeadBytesAreThoseOfWinesTables compares. A byte is a lead
// byte whether or not a character is assigned to every pair it begins.
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"

namespace {

struct LeadRange {
  unsigned char first;
  unsigned char last;
};

struct CodePageTable {
  unsigned number;
  int rangeCount;
  LeadRange ranges[2];
};

const CodePageTable kCodePages[] = {
    {1252, 0, {}},
    {932, 2, {{0x81, 0x9F}, {0xE0, 0xFC}}},  // Japanese
    {936, 1, {{0x81, 0xFE}}},                // Simplified Chinese
    {949, 1, {{0x81, 0xFE}}},                // Korean
    {950, 1, {{0x81, 0xFE}}},                // Traditional Chinese
};

const CodePageTable* sCodePage = &kCodePages[0];

}  // namespace

namespace winsim {

void SetCodePage(unsigned number) {
  for (const CodePageTable& table : kCodePages) {
    if (table.number == number) {
      sCodePage = &table;
      return;
    }
  }
  Unmodelled("the ANSI code page " + std::to_string(number));
}

namespace detail {

bool IsLeadByte(unsigned char byte) {
  for (int i = 0; i < sCodePage->rangeCount; ++i) {
    if (byte >= sCodePage->ranges[i].first && byte <= sCodePage->ranges[i].last) return true;
  }
  return false;
}

size_t CharLength(std::string_view text, size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  bool trail = false;  // the byte at i is the second of a double-byte character in `a`
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if (!trail && ca >= 'a' && ca <= 'z') ca -= 32;
    if (!trail && cb >= 'a' && cb <= 'z') cb -= 32;
    if (ca != cb) return ca < cb ? -1 : 1;
    // Equal so far, so both texts split into the same characters up to here.
    trail = !trail && IsLeadByte(static_cast<unsigned char>(a[i]));
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void ResetCodePage() { sCodePage = &kCodePages[0]; }

}  // namespace detail
}  // namespace winsim

BOOL WINAPI IsDBCSLeadByte(BYTE byte) { return winsim::detail::IsLeadByte(byte) ? TRUE : FALSE; }

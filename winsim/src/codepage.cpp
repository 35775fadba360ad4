// The ANSI code page of the machine: 1252 after Reset, or one of the
// double-byte code pages of the East Asian editions.
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

unsigned CodePage() { return sCodePage->number; }

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

void ResetCodePage() { sCodePage = &kCodePages[0]; }

}  // namespace detail
}  // namespace winsim

BOOL WINAPI IsDBCSLeadByte(BYTE byte) { return winsim::detail::IsLeadByte(byte) ? TRUE : FALSE; }

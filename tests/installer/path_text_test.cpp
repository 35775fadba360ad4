// The path helpers read a path a character at a time. Each row runs one
// helper on a poisoned 260-byte buffer under one ANSI code page; a helper
// that refuses must leave the whole buffer as it was. In 932, 表 is 95 5C
// and ソフト is 83 5C 83 74 83 67; in 950, 許 is B3 5C and 功 is A5 5C. The
// same bytes under 1252 are single characters, and must read as today.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "path_text.h"
#include "sim_machine.h"

namespace qtest {
namespace {

enum class Op { kEnds, kAdd, kCut, kAppend, kAppendOne };

struct Row {
  int number;
  unsigned codePage;
  Op op;
  std::string text;      // the buffer's text before the call
  std::string argument;  // the tail of kAppend and kAppendOne
  BOOL result;
  std::string after;     // the buffer's text after the call
};

const std::string kSo = "\x83\x5C";  // ソ in 932
const std::string kSoft = kSo + "\x83\x74\x83\x67";
const std::string kHyo = "\x95\x5C";  // 表 in 932
const std::string kKyo = "\xB3\x5C";  // 許 in 950
const std::string kKo = "\xA5\x5C";   // 功 in 950
const std::string kLead = "\x95";     // a lead byte in 932 and 950, cut from its trail

// A text of exactly `length` bytes: "D:\" padded with X, then `end`.
std::string Long(size_t length, const std::string& end) {
  return "D:\\" + std::string(length - 3 - end.size(), 'X') + end;
}

const Row kRows[] = {
    // Single-byte: the bytes are the characters, as before.
    {1, 1252, Op::kEnds, "D:\\", "", TRUE, "D:\\"},
    {2, 1252, Op::kEnds, "", "", FALSE, ""},
    {3, 1252, Op::kEnds, "D:\\" + kHyo, "", TRUE, "D:\\" + kHyo},
    {4, 1252, Op::kAdd, "D:\\" + kHyo, "", TRUE, "D:\\" + kHyo},
    {5, 1252, Op::kAdd, "D:\\A", "", TRUE, "D:\\A\\"},
    {6, 1252, Op::kCut, "D:\\" + kSoft + "\\", "", TRUE, "D:\\\x83\\"},
    {7, 1252, Op::kCut, "D:\\A\\", "", TRUE, "D:\\"},
    {8, 1252, Op::kCut, "D:\\", "", FALSE, "D:\\"},
    {9, 1252, Op::kCut, "D:\\" + kHyo + "\\", "", TRUE, "D:\\\x95\\"},
    {10, 1252, Op::kAppend, "D:\\" + kLead, "\\A", TRUE, "D:\\" + kLead + "\\A"},
    // Japanese: a trail byte 5C is not a backslash.
    {11, 932, Op::kEnds, "D:\\" + kHyo, "", FALSE, "D:\\" + kHyo},
    {12, 932, Op::kEnds, "D:\\" + kHyo + "\\", "", TRUE, "D:\\" + kHyo + "\\"},
    {13, 932, Op::kAdd, "D:\\" + kHyo, "", TRUE, "D:\\" + kHyo + "\\"},
    {14, 932, Op::kAdd, "D:\\" + kHyo + "\\", "", TRUE, "D:\\" + kHyo + "\\"},
    {15, 932, Op::kCut, "D:\\" + kSoft + "\\DRIVERS\\", "", TRUE, "D:\\" + kSoft + "\\"},
    {16, 932, Op::kCut, "D:\\" + kSoft + "\\", "", TRUE, "D:\\"},
    {17, 932, Op::kCut, "D:\\" + kSo + "\\" + kHyo + "\\", "", TRUE, "D:\\" + kSo + "\\"},
    {18, 932, Op::kCut, "D:\\" + kHyo + "\\", "", TRUE, "D:\\"},
    {19, 932, Op::kAppend, "D:\\" + kHyo, "\\A", TRUE, "D:\\" + kHyo + "\\A"},
    // A text cut inside a character takes nothing more.
    {20, 932, Op::kEnds, "D:\\" + kLead, "", FALSE, "D:\\" + kLead},
    {21, 932, Op::kAdd, "D:\\" + kLead, "", FALSE, "D:\\" + kLead},
    {22, 932, Op::kAppend, "D:\\" + kLead, "A", FALSE, "D:\\" + kLead},
    {23, 932, Op::kAppendOne, "D:\\", kHyo + "\\", FALSE, "D:\\"},
    {24, 932, Op::kAppendOne, "D:\\", "A" + kHyo, TRUE, "D:\\A"},
    // The 259-byte edge: no room for a backslash either way.
    {25, 932, Op::kAdd, Long(259, kHyo), "", FALSE, Long(259, kHyo)},
    {26, 932, Op::kAdd, Long(259, kLead), "", FALSE, Long(259, kLead)},
    {27, 932, Op::kAdd, Long(258, kHyo), "", TRUE, Long(258, kHyo) + "\\"},
    {28, 932, Op::kAdd, Long(258, kLead), "", FALSE, Long(258, kLead)},
    // Traditional Chinese.
    {29, 950, Op::kEnds, "D:\\" + kKyo, "", FALSE, "D:\\" + kKyo},
    {30, 950, Op::kAdd, "D:\\" + kKyo, "", TRUE, "D:\\" + kKyo + "\\"},
    {31, 950, Op::kCut, "D:\\" + kKo + "\\" + kKyo + "\\", "", TRUE, "D:\\" + kKo + "\\"},
    {32, 950, Op::kCut, "D:\\" + kKo + "\\", "", TRUE, "D:\\"},
    {33, 950, Op::kAdd, "D:\\" + kLead, "", FALSE, "D:\\" + kLead},
    // A lone backslash is a text that ends with one.
    {34, 1252, Op::kEnds, "\\", "", TRUE, "\\"},
    {35, 932, Op::kEnds, "\\", "", TRUE, "\\"},
    // A lead byte right before the terminator is a character of its own: a
    // tail cut inside its last character is taken whole, and only what
    // follows is refused (row 22).
    {36, 932, Op::kAppend, "D:\\", "A" + kLead, TRUE, "D:\\A" + kLead},
};

BOOL Apply(const Row& row, LPSTR buffer) {
  switch (row.op) {
    case Op::kEnds: return PathTextEndsWithBackslash(buffer);
    case Op::kAdd: return PathTextAddBackslash(buffer);
    case Op::kCut: return PathTextCutToParent(buffer);
    case Op::kAppend: return PathTextAppend(buffer, row.argument.c_str());
    case Op::kAppendOne: return PathTextAppendPart(buffer, row.argument.c_str(), 1);
  }
  return FALSE;
}

TEST(PathTextTest, ReadsCharactersOfTheCodePageAndLeavesARefusedBufferAsItWas) {
  for (const Row& row : kRows) {
    SCOPED_TRACE("row " + std::to_string(row.number));
    winsim::Reset();
    winsim::SetCodePage(row.codePage);
    char buffer[MAX_PATH];
    std::memset(buffer, 0xCC, sizeof buffer);
    std::memcpy(buffer, row.text.c_str(), row.text.size() + 1);
    char before[MAX_PATH];
    std::memcpy(before, buffer, sizeof buffer);

    EXPECT_EQ(Apply(row, buffer), row.result);
    EXPECT_EQ(std::string(buffer), row.after);
    if (row.after == row.text) {
      EXPECT_EQ(std::memcmp(buffer, before, sizeof buffer), 0) << "an unchanged text, yet the buffer changed";
    }
  }
  winsim::Reset();
}

}  // namespace
}  // namespace qtest

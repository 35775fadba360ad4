// The string, memory, heap and start-up helpers that stand in for the C
// run-time in both builds: each compared with the C library routine it
// replaces, over inputs where a careless version goes wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_line.h"
#include "heap_memory.h"
#include "sim_faults.h"
#include "sim_machine.h"
#include "text.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(TextHelpersTest, LengthCompareAndFindAgreeWithTheCLibrary) {
  // Bytes above 0x7F sort after ASCII, as unsigned bytes: "\xE9" (e acute
  // in the ANSI code page) comes after "z", and a prefix sorts first.
  const char* texts[] = {"", "a", "ab", "abc", "b", "B", "z", "\xE9", "\xE9t\xE9", "[..]", "[.]", "PCI", "pci"};
  for (const char* a : texts) {
    EXPECT_EQ(TextLength(a), std::strlen(a)) << a;
    for (const char* b : texts) {
      SCOPED_TRACE(std::string(a) + " | " + b);
      EXPECT_EQ(Sign(TextCompare(a, b)), Sign(std::strcmp(a, b)));
    }
  }
  struct { const char* text; const char* needle; } finds[] = {
      /* 1 */ {"PCI\\VEN_4E51&DEV_0001", "VEN_4E51"},
      /* 2 */ {"PCI\\VEN_4E5", "VEN_4E51"},   // needle longer than what is left
      /* 3 */ {"VEN_4E5VEN_4E51", "VEN_4E51"}, // a false start just before the match
      /* 4 */ {"abc", ""},                     // an empty needle is found at the start
      /* 5 */ {"", "a"},
      /* 6 */ {"", ""},
      /* 7 */ {"pci", "PCI"},                  // byte by byte: no case folding
      /* 8 */ {"aaab", "aab"},
  };
  for (const auto& f : finds) {
    SCOPED_TRACE(std::string(f.text) + " / " + f.needle);
    EXPECT_EQ(TextFind(f.text, f.needle), std::strstr(f.text, f.needle));
  }
}

TEST(TextHelpersTest, MemoryRoutinesHandleOverlapAndCompareUnsigned) {
  char buffer[16];
  for (int shift : {-3, -1, 1, 3}) {
    SCOPED_TRACE(shift);
    char expected[16];
    std::memcpy(buffer, "0123456789ABCDEF", 16);
    std::memcpy(expected, buffer, 16);
    std::memmove(expected + 4 + shift, expected + 4, 8);
    MemoryMove(buffer + 4 + shift, buffer + 4, 8);
    EXPECT_EQ(std::memcmp(buffer, expected, 16), 0);
  }
  MemoryFill(buffer, 0xCC, sizeof buffer);
  MemoryCopy(buffer + 2, "xyz", 3);
  EXPECT_EQ(std::string(buffer + 2, 3), "xyz");
  EXPECT_EQ(static_cast<unsigned char>(buffer[1]), 0xCC);  // nothing outside the range is touched
  EXPECT_EQ(static_cast<unsigned char>(buffer[5]), 0xCC);
  EXPECT_GT(MemoryCompare("\x80", "\x7F", 1), 0);
  EXPECT_LT(MemoryCompare("ab", "ac", 2), 0);
  EXPECT_EQ(MemoryCompare("ab", "ac", 1), 0);
  EXPECT_EQ(MemoryCompare("x", "y", 0), 0);
}

TEST(CommandLineTest, ArgumentsFollowTheProgramNameAsTheStartUpSkipsIt) {
  struct { const char* line; const char* arguments; } rows[] = {
      /* 1 */ {"C:\\Q\\Qtmpu.exe", ""},
      /* 2 */ {"C:\\Q\\Qtmpu.exe alpha beta", "alpha beta"},
      /* 3 */ {"C:\\Q\\Qtmpu.exe \t  alpha ", "alpha "},
      /* 4 */ {"\"C:\\My Drivers\\Qtmpu.exe\" alpha", "alpha"},
      /* 5 */ {"\"C:\\My Drivers\\Qtmpu.exe\"", ""},
      /* 6 */ {"\"C:\\unclosed quote alpha", ""},
      /* 7 */ {"Qtmpu.exe\talpha", "alpha"},
      /* 8 */ {"", ""},
      /* 9 */ {"  alpha", "alpha"},  // no program name before the blanks
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    std::string line = row.line;
    EXPECT_STREQ(CommandLineArguments(&line[0]), row.arguments);
  }
  EXPECT_STREQ(CommandLineArguments(NULL), "");
  EXPECT_EQ(StartupShowCommand(STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE), SW_SHOWMINNOACTIVE);
  EXPECT_EQ(StartupShowCommand(STARTF_USESHOWWINDOW, SW_HIDE), SW_HIDE);
  EXPECT_EQ(StartupShowCommand(0, SW_SHOWMINNOACTIVE), SW_SHOWDEFAULT);
}

class HeapMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override { winsim::Reset(); }
};

TEST_F(HeapMemoryTest, ResizeKeepsContentsAndAFailureKeepsTheBlock) {
  char* block = static_cast<char*>(HeapMemoryResize(NULL, 4));
  ASSERT_NE(block, nullptr);
  MemoryCopy(block, "abc", 4);
  winsim::InjectFault("HeapReAlloc", 1, 8 /* ERROR_NOT_ENOUGH_MEMORY */);
  EXPECT_EQ(HeapMemoryResize(block, 4096), nullptr);
  EXPECT_STREQ(block, "abc");  // still the caller's, still whole
  block = static_cast<char*>(HeapMemoryResize(block, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "abc");
  HeapMemoryFree(block);
  HeapMemoryFree(NULL);
}

}  // namespace

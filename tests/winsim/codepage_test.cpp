// The machine's ANSI code page: which bytes lead a double-byte character,
// and every path and name the machine reads split into the code page's
// characters. In 932, 表 is 95 5C, ポ is 83 7C (a second byte '|'), and ア
// and ヂ (83 41, 83 61) differ only in a second byte that has the value of
// an ASCII letter. Under 1252 the same bytes are single characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_files.h"
#include "sim_machine.h"
#include "sim_registry.h"
#include "temp_folder.h"

namespace {

const unsigned kCodePages[] = {1252, 932, 936, 949, 950};

// The lead-byte ranges a code page table of Wine's gives (the header's
// LeadByte field: up to six pairs, ending with a zero pair).
std::vector<std::pair<int, int>> WineLeadRanges(unsigned codePage) {
  std::string path = "/usr/share/wine/nls/c_" + std::to_string(codePage) + ".nls";
  std::ifstream in(path, std::ios::binary);
  unsigned char header[26];
  std::vector<std::pair<int, int>> ranges;
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
    ADD_FAILURE() << "no code page table " << path << " (scripts/setup.sh installs Wine)";
    return ranges;
  }
  for (int i = 14; i < 26 && header[i] != 0; i += 2) ranges.emplace_back(header[i], header[i + 1]);
  return ranges;
}

TEST(CodePageTest, LeadBytesAreThoseOfWinesTables) {
  for (unsigned codePage : kCodePages) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    winsim::Reset();
    winsim::SetCodePage(codePage);
    std::vector<std::pair<int, int>> ranges = WineLeadRanges(codePage);
    for (int byte = 0; byte < 256; ++byte) {
      bool lead = false;
      for (const auto& range : ranges) lead = lead || (byte >= range.first && byte <= range.second);
      EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE, lead) << "byte " << byte;
    }
  }
  winsim::Reset();
}

class CodePagePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    ASSERT_FALSE(temp_.path().empty());
    for (const char* name : {"\x95\x5C", "\x83\x7C", "\x83\x41", "\x83\x61"}) {
      std::filesystem::create_directories(temp_.path() + "/" + name);
      std::ofstream(temp_.path() + "/" + name + "/in.txt") << name;
    }
    std::ofstream(temp_.path() + "/\x8F\x5C") << "a file named 十";
  }
  void TearDown() override { winsim::Reset(); }

  // Maps D: once the code page is set, as a test of a double-byte system does.
  void Machine(unsigned codePage) {
    winsim::SetCodePage(codePage);
    winsim::MapDrive('D', winsim::kDriveCdrom, temp_.path());
  }

  // What opening the path for reading gives: 0 or the error.
  static DWORD OpenError(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return 0;
  }

  static std::vector<std::string> Search(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
  }

  TempFolder temp_{"qtonal-codepage"};
};

TEST_F(CodePagePathsTest, NamesWithSecondBytesOfSeparatorsAndLettersAreFolders) {
  Machine(932);
  // Every name is one of its own, listed in byte order of the names.
  EXPECT_EQ(Search("D:\\*.*"),
            (std::vector<std::string>{"\x83\x41", "\x83\x61", "\x83\x7C", "\x8F\x5C", "\x95\x5C"}));
  EXPECT_EQ(Search("D:\\\x95\x5C\\*.*"), (std::vector<std::string>{".", "..", "in.txt"}));
  EXPECT_EQ(Search("D:\\?").size(), 5u) << "'?' matches one double-byte character";
  EXPECT_EQ(Search("D:\\\x95\x5C*"), (std::vector<std::string>{"\x95\x5C"}));
  struct Row {
    const char* path;
    DWORD error;
  } rows[] = {
      {"D:\\\x95\x5C\\in.txt", 0},
      {"D:/\x95\x5C/in.txt", 0},
      {"D:\\\x83\x7C\\in.txt", 0},
      {"D:\\\x95\x5C", ERROR_ACCESS_DENIED},  // a folder, not a name with a trailing backslash
      {"D:\\\x95\x5C\\", ERROR_ACCESS_DENIED},
      {"D:\\\x8F\x5C", 0},  // a file, not a name with a trailing backslash
  };
  for (const Row& row : rows) EXPECT_EQ(OpenError(row.path), row.error) << row.path;
  // Second bytes with the value of a letter do not fold: two folders.
  std::ifstream a(winsim::HostPathOf("D:\\\x83\x41\\in.txt"));
  std::ifstream b(winsim::HostPathOf("D:\\\x83\x61\\in.txt"));
  std::string textA, textB;
  a >> textA;
  b >> textB;
  EXPECT_EQ(textA, "\x83\x41");
  EXPECT_EQ(textB, "\x83\x61");
}

TEST_F(CodePagePathsTest, TheSameBytesUnder1252AreSingleCharacters) {
  Machine(1252);
  // 95 5C holds a backslash and 83 7C a '|': no Windows path names them;
  // 83 41 and 83 61 are one name in two cases.
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"\x83\x41", "\x83\x61"}));
  EXPECT_EQ(OpenError("D:\\\x8F\x5C"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\\x95\x5C\\in.txt"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\\x83\x7C\\in.txt"), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(winsim::HostPathOf("D:\\\x83\x41"), winsim::HostPathOf("D:\\\x83\x61"));
}

TEST_F(CodePagePathsTest, RegistryNamesAreReadByCharacter) {
  for (unsigned codePage : {932u, 1252u}) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    winsim::Reset();
    winsim::SetCodePage(codePage);
    winsim::RegCreateKeyPath("HKLM\\\x95\x5C");
    HKEY key;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\x95\x5C", 0, KEY_READ, &key);
    // Under 1252 the test path itself is "\x95" and a key below it.
    EXPECT_EQ(opened == ERROR_SUCCESS, true);
    if (opened == ERROR_SUCCESS) RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\x95", 0, KEY_READ, &key) == ERROR_SUCCESS, codePage == 1252);
    if (codePage == 1252) RegCloseKey(key);
  }
}

}  // namespace

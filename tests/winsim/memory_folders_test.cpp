// Folders held in memory read exactly as the same tree made on the host:
// every search, open, profile read and attribute query gives the same
// answer on a memory drive as on a host drive, and what a memory folder
// cannot do (writes, malformed trees) stops the test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_files.h"
#include "sim_machine.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

// One tree, as (path, content) with "/" for a folder's content.
const std::vector<std::pair<std::string, std::string>> kTree = {
    {"Audio", "/"},
    {"Audio/RiZiDiD.ini", "[Setup]\r\nDriversPath=\\DRIVERS\r\n"},
    {"DRIVERS", "/"},
    {"DRIVERS/W95-98", "/"},
    {"DRIVERS/W95-98/app", "/"},
    {"DRIVERS/W95-98/app/W98", "/"},
    {"DRIVERS/W95-98/app/W98/Setup.exe", "setup program"},
    {"DRIVERS/readme.txt", ""},
    {"DRIVERS/b", "/"},
    {"DRIVERS/B.txt", "bee"},
    {"DRIVERS/a b.DOC", "spaced"},
    {".hidden", "/"},
    {"trailing.", "unaddressable"},
    {"bad:name", "unaddressable"},
    {"Q Tonal", "/"},
    {"Q Tonal/Disk 1", "/"},
    {"Q Tonal-2", "x"},
};

class MemoryFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    root_ = temp_.path();
    ASSERT_FALSE(root_.empty()) << "no temporary folder";
    fs::create_directory(root_ + "/H");
    std::string memory = winsim::MemoryFolder("M");
    EXPECT_EQ(memory, "memory:M");
    for (const auto& [path, content] : kTree) {
      if (content == "/") {
        fs::create_directory(root_ + "/H/" + path);
        winsim::MemoryFolder("M/" + path);
      } else {
        std::ofstream(root_ + "/H/" + path, std::ios::binary) << content;
        winsim::MemoryFile("M/" + path, content);
      }
    }
    winsim::MapDrive('H', winsim::kDriveCdrom, root_ + "/H");
    winsim::MapDrive('M', winsim::kDriveCdrom, memory);
  }
  void TearDown() override {
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0);
    EXPECT_EQ(winsim::OpenSearchHandleCount(), 0);
    winsim::Reset();
  }
  TempFolder temp_{"qtonal-memory"};  // removed after TearDown
  std::string root_;
};

// What a search tells, entry by entry, without the write times (a memory
// entry has none), and how it ends.
std::string SearchStory(const std::string& pattern) {
  std::string story;
  WIN32_FIND_DATAA data;
  SetLastError(0);
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
  do {
    story += std::string(data.cFileName) + " attributes " + std::to_string(data.dwFileAttributes) + " size " +
             std::to_string(data.nFileSizeLow) + "; ";
  } while (FindNextFileA(search, &data));
  story += "end " + std::to_string(GetLastError());
  FindClose(search);
  return story;
}

std::string OpenStory(const std::string& path) {
  SetLastError(0);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
  CloseHandle(file);
  return "opened";
}

std::string ProfileStory(const std::string& path) {
  char value[64];
  DWORD copied = GetPrivateProfileStringA("setup", "DRIVERSPATH", "none", value, sizeof value, path.c_str());
  return std::to_string(copied) + " " + value;
}

std::string AttributesStory(const std::string& path) {
  SetLastError(0);
  DWORD attributes = GetFileAttributesA(path.c_str());
  return std::to_string(attributes) + " error " + std::to_string(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0);
}

TEST_F(MemoryFoldersTest, EveryReadGivesWhatTheSameHostTreeGives) {
  // Paths below the drive root, each asked on both drives.
  const char* const patterns[] = {"*.*", "*", "Audio\\*.*", "drivers\\*.*", "DRIVERS\\*.txt", "drivers\\B*",
                                  "Q Tonal\\*", "Q Tonal\\Disk 1\\*.*", "nothing\\*.*", "Audio\\none*",
                                  "DRIVERS\\W95-98\\APP\\w98\\setup.exe", ".hidden\\*.*", "Audio\\rizidid.ini\\*"};
  for (const char* pattern : patterns)
    EXPECT_EQ(SearchStory(std::string("M:\\") + pattern), SearchStory(std::string("H:\\") + pattern)) << pattern;

  const char* const paths[] = {"Audio\\rizidid.ini", "AUDIO\\RIZIDID.INI", "Audio", "Audio\\rizidid.ini\\",
                               "Audio\\missing.ini", "Missing\\rizidid.ini", "DRIVERS\\.\\..\\Audio\\rizidid.ini",
                               "drivers\\w95-98\\app\\W98\\Setup.exe", "trailing", "bad:name", "Q Tonal-2",
                               "DRIVERS\\readme.txt", ".hidden"};
  for (const char* path : paths) {
    std::string m = std::string("M:\\") + path, h = std::string("H:\\") + path;
    EXPECT_EQ(OpenStory(m), OpenStory(h)) << path;
    EXPECT_EQ(ProfileStory(m), ProfileStory(h)) << path;
    EXPECT_EQ(AttributesStory(m), AttributesStory(h)) << path;
    EXPECT_EQ(winsim::IsFileOnMachine(m), winsim::IsFileOnMachine(h)) << path;
  }
  // The answers above are not all failures.
  EXPECT_EQ(ProfileStory("M:\\Audio\\rizidid.ini"), "8 \\DRIVERS");
  EXPECT_TRUE(winsim::IsFileOnMachine("M:\\drivers\\w95-98\\app\\W98\\Setup.exe"));
  EXPECT_FALSE(winsim::IsFileOnMachine("M:\\DRIVERS"));
  EXPECT_EQ(winsim::HostPathOf("m:\\audio\\RIZIDID.INI"), "memory:M/Audio/RiZiDiD.ini");
}

TEST_F(MemoryFoldersTest, ShareModesHoldBetweenOpensOfOneMemoryFileOnly) {
  int held = winsim::HoldFileOpen("M:\\Audio\\rizidid.ini", GENERIC_READ, 0);
  ASSERT_NE(held, 0);
  EXPECT_EQ(OpenStory("M:\\AUDIO\\RiZiDiD.INI"), "error " + std::to_string(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenStory("M:\\DRIVERS\\B.txt"), "opened");
  EXPECT_EQ(OpenStory("H:\\Audio\\RiZiDiD.ini"), "opened");  // the same name on another drive
  winsim::ReleaseFile(held);
  EXPECT_EQ(OpenStory("M:\\Audio\\rizidid.ini"), "opened");
}

TEST_F(MemoryFoldersTest, FrozenListingsOfMemoryFoldersAreTheSame) {
  std::string before = SearchStory("M:\\DRIVERS\\*.*");
  winsim::FreezeHostFolders();
  EXPECT_EQ(SearchStory("M:\\DRIVERS\\*.*"), before);
  EXPECT_EQ(SearchStory("M:\\DRIVERS\\*.*"), before);
}

TEST(MemoryFoldersResetTest, ResetDropsThemAndTheSamePathsCanBeMadeAgain) {
  winsim::Reset();
  winsim::MapDrive('M', winsim::kDriveFixed, winsim::MemoryFolder("M"));
  winsim::MemoryFile("M/a.txt", "a");
  EXPECT_TRUE(winsim::IsFileOnMachine("M:\\a.txt"));
  winsim::Reset();
  winsim::MapDrive('M', winsim::kDriveFixed, "memory:M");
  EXPECT_FALSE(winsim::IsFileOnMachine("M:\\a.txt"));
  EXPECT_EQ(OpenStory("M:\\a.txt"), "error " + std::to_string(ERROR_NOT_READY));  // the folder is gone too
  winsim::MemoryFolder("M");
  winsim::MemoryFile("M/a.txt", "again");
  EXPECT_EQ(OpenStory("M:\\a.txt"), "opened");
  winsim::Reset();
}

TEST(MemoryFoldersDeathTest, MalformedTreesAndWritesStopTheTest) {
  auto fresh = [] {
    winsim::Reset();
    winsim::MapDrive('M', winsim::kDriveFixed, winsim::MemoryFolder("M"));
    winsim::MemoryFile("M/file", "x");
  };
  EXPECT_DEATH((fresh(), winsim::MemoryFolder("M/missing/child")), "parent is no memory folder");
  EXPECT_DEATH((fresh(), winsim::MemoryFile("M/file/child", "x")), "parent is no memory folder");
  EXPECT_DEATH((fresh(), winsim::MemoryFile("M/file", "again")), "made twice");
  EXPECT_DEATH((fresh(), winsim::MemoryFolder("M//x")), "not names separated");
  EXPECT_DEATH((fresh(), winsim::MemoryFolder("")), "not names separated");
  EXPECT_DEATH((fresh(), CreateDirectoryA("M:\\new", nullptr)), "folder creation in a memory folder");
  EXPECT_DEATH((fresh(), CopyFileA("M:\\file", "M:\\copy", FALSE)), "in a memory folder");
  EXPECT_DEATH((fresh(), SetFileAttributesA("M:\\file", FILE_ATTRIBUTE_READONLY)),
               "attribute change in a memory folder");
  winsim::Reset();
}

}  // namespace

// The simulated file system behaves as Windows (and Wine) do where the
// programs rely on it: drives, path resolution, folder searches, opening for
// reading, profile reading, and injected faults.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_faults.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    root_ = temp_.path();
    ASSERT_FALSE(root_.empty()) << "no temporary folder";
  }
  void TearDown() override {
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0);
    EXPECT_EQ(winsim::OpenSearchHandleCount(), 0);
  }
  std::string Folder(const std::string& relative) {
    fs::create_directories(fs::path(root_) / relative);
    return (fs::path(root_) / relative).string();
  }
  void File(const std::string& relative, const std::string& content = "x") {
    fs::path path = fs::path(root_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  // The names a search returns, in order.
  static std::vector<std::string> Search(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(search);
    return names;
  }
  static DWORD OpenError(const char* path) {
    SetLastError(0xdeadbeef);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return 0;
  }
  TempFolder temp_{"qtonal-winsim"};  // removed after TearDown
  std::string root_;
};

TEST_F(FilesTest, DriveStringsInLetterOrderWithTheirTypes) {
  winsim::MapDrive('e', winsim::kDriveCdrom, Folder("e"));
  winsim::MapDrive('C', winsim::kDriveFixed, Folder("c"));
  winsim::MapEmptyDrive('A', winsim::kDriveRemovable);
  char buffer[64];
  std::memset(buffer, 0xcc, sizeof buffer);
  ASSERT_EQ(GetLogicalDriveStringsA(sizeof buffer, buffer), 12u);
  EXPECT_EQ(std::string(buffer, 13), std::string("A:\\\0C:\\\0E:\\\0\0", 13));
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));  // no medium, type kept
  EXPECT_EQ(GetDriveTypeA("c:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA("E:"), static_cast<UINT>(DRIVE_CDROM));
  EXPECT_EQ(GetDriveTypeA("F:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  EXPECT_EQ(GetDriveTypeA("C:\\x\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(FilesTest, DriveStringsBufferExactAndOneShort) {
  winsim::MapDrive('C', winsim::kDriveFixed, Folder("c"));
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  char buffer[16];
  std::memset(buffer, 0xcc, sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(9, buffer), 8u);  // exact: 8 characters and the final NUL
  std::memset(buffer, 0xcc, sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(8, buffer), 9u);  // one short: the size needed, nothing written
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0xccu);
  winsim::Reset();
  EXPECT_EQ(GetLogicalDriveStringsA(sizeof buffer, buffer), 0u);
}

TEST_F(FilesTest, PathsResolveWithoutCaseAndFoldSeparatorsAsWindowsDoes) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/Drivers/W95-98/Setup.exe");
  for (const char* path : {"D:\\Drivers\\W95-98\\Setup.exe",      // 1 as stored
                           "d:\\DRIVERS\\w95-98\\SETUP.EXE",      // 2 any case
                           "D:\\\\Drivers\\\\W95-98\\Setup.exe",  // 3 doubled backslashes
                           "D:/Drivers/W95-98/Setup.exe",         // 4 forward slashes
                           "D:\\Drivers\\.\\X\\..\\W95-98\\Setup.exe",  // 5 "." and ".."
                           "D:\\..\\Drivers\\W95-98\\Setup.exe",  // 6 ".." stops at the root
                           "D:\\Drivers.\\W95-98 \\Setup.exe"})   // 7 trailing dots and blanks dropped
    EXPECT_EQ(OpenError(path), 0u) << path;
  EXPECT_EQ(winsim::HostPathOf("d:\\drivers"), root_ + "/d/Drivers");
  EXPECT_EQ(winsim::FileOpens().size(), 7u);
  EXPECT_EQ(winsim::FileOpens()[1].path, "d:\\DRIVERS\\w95-98\\SETUP.EXE");
}

TEST_F(FilesTest, OpeningForReadingFailsWithWindowsErrors) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  winsim::MapEmptyDrive('E', winsim::kDriveCdrom);
  File("d/A/file.txt");
  EXPECT_EQ(OpenError("D:\\A\\missing.txt"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\B\\file.txt"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\A\\file.txt\\x"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\A\\"), static_cast<DWORD>(ERROR_ACCESS_DENIED));  // a folder
  EXPECT_EQ(OpenError("D:\\A"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError("D:\\A\\file.txt\\"), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(OpenError("E:\\file.txt"), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(OpenError("F:\\file.txt"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\A\\fi|e.txt"), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(OpenError("\\\\server\\share\\file.txt"), 53u);  // ERROR_BAD_NETPATH
  EXPECT_EQ(winsim::FileOpens().back().opened, false);
}

TEST_F(FilesTest, PathOf259CharactersIsTakenAndOf260Refused) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  std::string name(255, 'n');
  std::string host = std::string("d/") + name;
  // "D:\" + 255 + "\" = 259 characters.
  fs::create_directories(fs::path(root_) / host);
  std::string path = "D:\\" + name + "\\";
  ASSERT_EQ(path.size(), 259u);
  EXPECT_EQ(OpenError(path.c_str()), static_cast<DWORD>(ERROR_ACCESS_DENIED));  // found: a folder
  path += "x";
  EXPECT_EQ(OpenError(path.c_str()), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(FilesTest, RelativePathsResolveAgainstTheCurrentFolder) {
  winsim::MapDrive('C', winsim::kDriveFixed, Folder("c"));
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/Sub/a.txt");
  File("c/b.txt");
  winsim::SetCurrentFolder("D:\\Sub\\");
  EXPECT_EQ(OpenError("a.txt"), 0u);
  EXPECT_EQ(OpenError("\\Sub\\a.txt"), 0u);
  EXPECT_EQ(OpenError("D:a.txt"), 0u);
  EXPECT_EQ(OpenError("C:b.txt"), 0u);  // another drive: from its root
}

TEST_F(FilesTest, SearchOrderIsWinesDotsFirstBelowARootThenAlphabeticalWithoutCase) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  Folder("d/beta");
  Folder("d/Alpha");
  File("d/GAMMA.TXT");
  Folder("d/Alpha/Sub");
  File("d/Alpha/zeta.ini");
  File("d/Alpha/Eta.ini");
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"Alpha", "beta", "GAMMA.TXT"}));
  EXPECT_EQ(Search("d:\\ALPHA\\*.*"), (std::vector<std::string>{".", "..", "Eta.ini", "Sub", "zeta.ini"}));
  EXPECT_EQ(Search("D:\\Alpha\\*.ini"), (std::vector<std::string>{"Eta.ini", "zeta.ini"}));
  EXPECT_EQ(Search("D:\\Alpha\\?ub"), (std::vector<std::string>{"Sub"}));
  EXPECT_EQ(winsim::FileSearches().size(), 4u);
}

TEST_F(FilesTest, SearchReportsAttributesAndHidesNamesWindowsCannotAddress) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  Folder("d/.hidden");
  Folder("d/folder");
  File("d/file.txt", "12345");
  File("d/ro.txt");
  File("d/bad:name");
  File("d/trailing.");
  ASSERT_EQ(chmod((root_ + "/d/ro.txt").c_str(), 0444), 0);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("D:\\*.*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::pair<std::string, DWORD>> seen;
  do seen.emplace_back(data.cFileName, data.dwFileAttributes);
  while (FindNextFileA(search, &data));
  FindClose(search);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, DWORD>>{
                      {".hidden", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
                      {"file.txt", FILE_ATTRIBUTE_ARCHIVE},
                      {"folder", FILE_ATTRIBUTE_DIRECTORY},
                      {"ro.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY}}));
}

TEST_F(FilesTest, SearchFailuresAndTheEndOfASearch) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  winsim::MapEmptyDrive('E', winsim::kDriveCdrom);
  winsim::MapDrive('F', winsim::kDriveCdrom, Folder("f"));
  Folder("d/empty");
  WIN32_FIND_DATAA data;
  struct Row {
    const char* pattern;
    DWORD error;
  };
  for (const Row& row : {Row{"E:\\*.*", ERROR_NOT_READY},            // 1 no medium
                         Row{"F:\\*.*", ERROR_FILE_NOT_FOUND},       // 2 an empty root has no dots
                         Row{"D:\\missing\\*.*", ERROR_PATH_NOT_FOUND},  // 3
                         Row{"D:\\empty\\*.ini", ERROR_FILE_NOT_FOUND},  // 4 no match
                         Row{"G:\\*.*", ERROR_PATH_NOT_FOUND}}) {    // 5 no such drive
    SetLastError(0);
    EXPECT_EQ(FindFirstFileA(row.pattern, &data), INVALID_HANDLE_VALUE) << row.pattern;
    EXPECT_EQ(GetLastError(), row.error) << row.pattern;
  }
  EXPECT_EQ(Search("D:\\empty\\*.*"), (std::vector<std::string>{".", ".."}));
  EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(&data)));
}

TEST_F(FilesTest, MediumCanBeTakenOutAndPutBack) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/a.txt");
  winsim::EjectMedium('D');
  EXPECT_EQ(OpenError("D:\\a.txt"), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
  winsim::InsertMedium('D', Folder("d"));
  EXPECT_EQ(OpenError("D:\\a.txt"), 0u);
}

// Frozen host folders: what the platform saw stays, a change behind its back
// is not seen, and each of its own writes is seen at once.
TEST_F(FilesTest, FrozenHostFoldersKeepWhatWasSeenUntilThePlatformWrites) {
  winsim::MapDrive('D', winsim::kDriveFixed, Folder("d"));
  File("d/a.txt");
  winsim::FreezeHostFolders();
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"a.txt"}));
  File("d/b.txt");                       // behind the platform's back
  fs::remove(fs::path(root_) / "d/a.txt");
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(GetFileAttributesA("D:\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(OpenError("D:\\b.txt"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // The platform's own folder creation drops what was kept.
  ASSERT_TRUE(CreateDirectoryA("D:\\made", nullptr));
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"b.txt", "made"}));
  EXPECT_EQ(OpenError("D:\\b.txt"), 0u);
  // So does an attribute change: the new attributes show at once.
  ASSERT_TRUE(SetFileAttributesA("D:\\b.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("D:\\b.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA("D:\\b.txt", FILE_ATTRIBUTE_NORMAL));

  // Reset ends the promise: the host is looked at again on every call.
  winsim::Reset();
  winsim::MapDrive('D', winsim::kDriveFixed, Folder("d"));
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"b.txt", "made"}));
  File("d/c.txt");
  EXPECT_EQ(Search("D:\\*.*"), (std::vector<std::string>{"b.txt", "c.txt", "made"}));
}

TEST_F(FilesTest, InjectedFaultsHitTheNthCallOnceOrFromThenOn) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/a.txt");
  winsim::InjectFault("CreateFileA", 2, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenError("D:\\a.txt"), 0u);
  EXPECT_EQ(OpenError("D:\\a.txt"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError("D:\\a.txt"), 0u);
  EXPECT_EQ(winsim::CallCount("CreateFileA"), 3);
  winsim::InjectFault("GetDriveTypeA", 1, ERROR_NOT_READY, 0);
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_UNKNOWN));
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_UNKNOWN));
  winsim::Reset();
  EXPECT_EQ(winsim::CallCount("CreateFileA"), 0);
}

// GetPrivateProfileStringA with Windows' rules, one row per rule.
struct ProfileRow {
  const char* content;
  const char* section;
  const char* key;
  const char* expected;
};

class ProfileTest : public FilesTest, public ::testing::WithParamInterface<ProfileRow> {};

TEST_P(ProfileTest, ReadsAsWindowsDoes) {
  const ProfileRow& row = GetParam();
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/Audio/rizidid.ini", row.content);
  char buffer[64];
  std::memset(buffer, 0xcc, sizeof buffer);
  DWORD copied = GetPrivateProfileStringA(row.section, row.key, "", buffer, sizeof buffer, "D:\\Audio\\rizidid.ini");
  EXPECT_STREQ(buffer, row.expected);
  EXPECT_EQ(copied, std::strlen(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileTest,
    ::testing::Values(ProfileRow{"[Setup]\r\nDriversPath=\\DRIVERS\r\n", "Setup", "DriversPath", "\\DRIVERS"},  // 1
                      ProfileRow{"[SETUP]\ndriverspath=x\n", "setup", "DRIVERSPATH", "x"},         // 2 no case
                      ProfileRow{"[Setup]\n  DriversPath  =  a b  \n", "Setup", "DriversPath", "a b"},  // 3 trimmed
                      ProfileRow{"[Setup]\nDriversPath=\"\\DRIVERS\"\n", "Setup", "DriversPath", "\\DRIVERS"},  // 4
                      ProfileRow{"[Setup]\nDriversPath='x'\n", "Setup", "DriversPath", "x"},        // 5 single quotes
                      ProfileRow{"[Setup]\nDriversPath=\"x'\n", "Setup", "DriversPath", "\"x'"},    // 6 unmatched kept
                      ProfileRow{"[Setup]\nDriversPath=\n", "Setup", "DriversPath", ""},            // 7 empty value
                      ProfileRow{"[Setup]\nDriversPath\n", "Setup", "DriversPath", ""},             // 8 no '='
                      ProfileRow{"[Other]\nDriversPath=x\n", "Setup", "DriversPath", ""},           // 9 no section
                      ProfileRow{"DriversPath=x\n[Setup]\n", "Setup", "DriversPath", ""},           // 10 before it
                      ProfileRow{"[Setup]\nA=1\n[Setup]\nDriversPath=x\n", "Setup", "DriversPath", ""},  // 11 first only
                      ProfileRow{"[Setup]\nDriversPath=1\nDriversPath=2\n", "Setup", "DriversPath", "1"},  // 12
                      ProfileRow{"[ Setup ]\nDriversPath=x\n", "Setup", "DriversPath", ""},         // 13 name as written
                      ProfileRow{"\xEF\xBB\xBF[Setup]\nDriversPath=x\n", "Setup", "DriversPath", "x"},  // 14 UTF-8 mark
                      ProfileRow{"[Setup]\n;DriversPath=x\n", "Setup", "DriversPath", ""},          // 15 comment
                      ProfileRow{"[Setup] junk\r\r\nDriversPath=a=b\n", "Setup", "DriversPath", "a=b"},  // 16
                      ProfileRow{"[Setup]\nDriversPath=a\0b\n", "Setup", "DriversPath", "a"}));     // 17 NUL ends

TEST_F(FilesTest, ProfileBufferLargeExactAndOneShort) {
  winsim::MapDrive('D', winsim::kDriveCdrom, Folder("d"));
  File("d/r.ini", "[Setup]\nDriversPath=\"abcd\"\n");
  for (DWORD size : {16u, 5u, 4u, 1u}) {
    char buffer[17];
    std::memset(buffer, 0xcc, sizeof buffer);
    DWORD copied = GetPrivateProfileStringA("Setup", "DriversPath", nullptr, buffer, size, "D:\\r.ini");
    std::string expected = std::string("abcd").substr(0, size - 1);
    EXPECT_EQ(copied, expected.size()) << size;
    EXPECT_EQ(std::string(buffer), expected) << size;
    EXPECT_EQ(static_cast<unsigned char>(buffer[size]), 0xccu) << "wrote past the given size " << size;
  }
}

TEST_F(FilesTest, ProfileFallsBackToTheDefaultWhenTheFileCannotBeRead) {
  winsim::MapEmptyDrive('E', winsim::kDriveCdrom);
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("Setup", "DriversPath", "dflt  ", buffer, sizeof buffer, "E:\\r.ini"), 4u);
  EXPECT_STREQ(buffer, "dflt");
  EXPECT_EQ(GetPrivateProfileStringA("Setup", "DriversPath", nullptr, buffer, sizeof buffer, "E:\\r.ini"), 0u);
  EXPECT_STREQ(buffer, "");
  ASSERT_EQ(winsim::ProfileReads().size(), 2u);
  EXPECT_EQ(winsim::ProfileReads()[0].text, "dflt");
}

}  // namespace

namespace {

// Share modes: another program holds a file open, and opens for reading
// follow Windows' rules against it.
class ShareModeTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    winsim::MapDrive('C', winsim::kDriveFixed, Folder("c"));
    winsim::MapDrive('E', winsim::kDriveFixed, Folder("c"));  // the same folder under another letter
    File("c/Held.txt");
    File("c/Other.txt");
  }
  static DWORD OpenSharing(const char* path, DWORD share) {
    SetLastError(0xdeadbeef);
    HANDLE file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return 0;
  }
};

TEST_F(ShareModeTest, ReadingAFileAnotherProgramHoldsFollowsTheShareRules) {
  const DWORD kR = GENERIC_READ, kW = GENERIC_WRITE;
  const DWORD kShareR = FILE_SHARE_READ, kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD kViolation = ERROR_SHARING_VIOLATION;
  struct Row {
    DWORD heldAccess, heldShare, openShare, error;
  };
  const Row rows[] = {
      {kW, kShareRW, kShareR, kViolation},           // 1 a writer: reading must share writing
      {kW, kShareRW, kShareRW, 0},                   // 2
      {kW, kShareR, kShareRW, 0},                    // 3 the writer lets readers in
      {kW, FILE_SHARE_WRITE, kShareRW, kViolation},  // 4 the writer keeps readers out
      {kR | kW, 0, kShareRW, kViolation},            // 5 shares nothing
      {kR, kShareR, kShareR, 0},                     // 6 readers among themselves
      {kR, kShareRW, kShareR, 0},                    // 7
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(++number);
    int held = winsim::HoldFileOpen("C:\\Held.txt", row.heldAccess, row.heldShare);
    ASSERT_NE(held, 0);
    EXPECT_EQ(OpenSharing("C:\\held.TXT", row.openShare), row.error);
    EXPECT_EQ(OpenSharing("E:\\Held.txt", row.openShare), row.error) << "the same file through another drive";
    EXPECT_EQ(OpenSharing("C:\\Other.txt", FILE_SHARE_READ), 0u) << "another file is not affected";
    winsim::ReleaseFile(held);
    EXPECT_EQ(OpenSharing("C:\\Held.txt", FILE_SHARE_READ), 0u) << "released";
  }
  ASSERT_EQ(winsim::FileOpens().size(), 28u);
  EXPECT_EQ(winsim::FileOpens()[0].error, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
}

TEST_F(ShareModeTest, TheProgramsOwnOpenKeepsAWriterOutUnlessItSharesWriting) {
  const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE file = CreateFileA("C:\\Held.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(winsim::HoldFileOpen("C:\\Held.txt", GENERIC_WRITE, kShareRW), 0);
  CloseHandle(file);
  file = CreateFileA("C:\\Held.txt", GENERIC_READ, kShareRW, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  int writer = winsim::HoldFileOpen("C:\\Held.txt", GENERIC_WRITE, kShareRW);
  EXPECT_NE(writer, 0);
  winsim::ReleaseFile(writer);
  CloseHandle(file);
}

}  // namespace

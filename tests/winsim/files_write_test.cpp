// Writing in the simulated file system as Windows does, and as Wine was seen
// to do (see each case): folder creation, copies with their read-only rule,
// attributes, write-protected drives, faults and changes at a chosen call.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim_faults.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class FilesWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    root_ = temp_.path();
    ASSERT_FALSE(root_.empty()) << "no temporary folder";
    fs::create_directories(root_ + "/c");
    fs::create_directories(root_ + "/d");
    winsim::MapDrive('C', winsim::kDriveFixed, root_ + "/c");
    winsim::MapDrive('D', winsim::kDriveCdrom, root_ + "/d");
  }
  void File(const std::string& relative, const std::string& content = "x", bool readOnly = false) {
    fs::path path = fs::path(root_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    if (readOnly) {
      ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    }
  }
  std::string Content(const std::string& relative) {
    std::ifstream in(fs::path(root_) / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static DWORD CreateError(const char* path) {
    SetLastError(0xdeadbeef);
    if (CreateDirectoryA(path, nullptr)) return 0;
    return GetLastError();
  }
  static DWORD CopyError(const char* from, const char* to, BOOL failIfExists = FALSE) {
    SetLastError(0xdeadbeef);
    if (CopyFileA(from, to, failIfExists)) return 0;
    return GetLastError();
  }
  TempFolder temp_{"qtonal-winsim"};  // removed after TearDown
  std::string root_;
};

TEST_F(FilesWriteTest, CreateDirectoryResultsAsWineGivesThem) {
  winsim::MapEmptyDrive('E', winsim::kDriveCdrom);
  File("c/file.txt");
  EXPECT_EQ(CreateError("C:\\New\\"), 0u);  // a trailing backslash is fine
  EXPECT_TRUE(fs::is_directory(root_ + "/c/New"));
  EXPECT_EQ(CreateError("c:\\NEW"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));  // any case
  EXPECT_EQ(CreateError("C:\\file.txt"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(CreateError("C:\\Nope\\Sub\\"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(CreateError("C:\\"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(CreateError("E:\\X"), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(CreateError("C:\\a|b"), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(CreateError("C:\\New\\Sub"), 0u);
  ASSERT_EQ(winsim::FolderCreations().size(), 8u);
  EXPECT_EQ(winsim::FolderCreations()[1].path, "c:\\NEW");
  EXPECT_FALSE(winsim::FolderCreations()[1].created);
}

TEST_F(FilesWriteTest, CopyKeepsBytesTimeAndReadOnlyAndOverwrites) {
  File("d/A/RO.TXT", "read-only source", true);
  File("d/A/RW.TXT", "writable source");
  fs::create_directories(root_ + "/c/T");
  fs::last_write_time(root_ + "/d/A/RW.TXT", fs::file_time_type::clock::now() - std::chrono::hours(48));
  EXPECT_EQ(CopyError("D:\\A\\RW.TXT", "C:\\T\\rw.txt"), 0u);
  EXPECT_EQ(Content("c/T/rw.txt"), "writable source");
  EXPECT_EQ(fs::last_write_time(root_ + "/c/T/rw.txt"), fs::last_write_time(root_ + "/d/A/RW.TXT"));
  EXPECT_EQ(GetFileAttributesA("C:\\T\\rw.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  // Overwriting a writable copy with a read-only source: the copy takes the
  // source's read-only attribute, as on Windows. (Wine keeps the
  // destination's own attribute when it overwrites.)
  EXPECT_EQ(CopyError("D:\\A\\RO.TXT", "C:\\T\\RW.TXT"), 0u);
  EXPECT_EQ(Content("c/T/rw.txt"), "read-only source");
  EXPECT_EQ(GetFileAttributesA("C:\\T\\rw.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(CopyError("D:\\A\\RW.TXT", "C:\\T\\rw.txt", TRUE), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

// Windows opens the destination for writing, which a read-only file refuses;
// Wine does the same when not running as root (seen with Wine 8.0 as the
// user nobody: error 5; as root the copy went through).
TEST_F(FilesWriteTest, ReadOnlyDestinationIsRefusedUntilTheAttributeIsCleared) {
  File("d/RO.TXT", "new", true);
  File("c/RO.TXT", "old", true);
  EXPECT_EQ(CopyError("D:\\RO.TXT", "C:\\RO.TXT"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Content("c/RO.TXT"), "old");
  EXPECT_TRUE(SetFileAttributesA("C:\\RO.TXT", FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\RO.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(CopyError("D:\\RO.TXT", "C:\\RO.TXT"), 0u);
  EXPECT_EQ(Content("c/RO.TXT"), "new");
  EXPECT_EQ(winsim::AttributeChanges().size(), 1u);
  EXPECT_TRUE(SetFileAttributesA("C:\\RO.TXT", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(SetFileAttributesA("C:\\RO.TXT", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\RO.TXT") & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// NT creates a copy as CreateFile does with CREATE_ALWAYS and the source's
// attributes, which CreateFile documents to fail with ERROR_ACCESS_DENIED on
// an existing hidden or system file unless the new attributes have them too.
// Windows 95 and 98 overwrite such a file (and so does Wine 8.0 on every
// version, keeping the destination's attributes). A copy takes the source's
// hidden and system attributes, as it takes read-only.
TEST_F(FilesWriteTest, HiddenOrSystemDestinationIsRefusedOnNtUnlessTheSourceHasThem) {
  const DWORD h = FILE_ATTRIBUTE_HIDDEN, s = FILE_ATTRIBUTE_SYSTEM;
  struct Row {
    winsim::Version version;
    DWORD source;
    DWORD destination;
    DWORD error;
    bool versionQueryFails = false;  // the program's GetVersionExA fails
  } rows[] = {
      {winsim::kNT40, 0, h, ERROR_ACCESS_DENIED},          // 1
      {winsim::kNT40, 0, s, ERROR_ACCESS_DENIED},          // 2
      {winsim::kNT40, h, h | s, ERROR_ACCESS_DENIED},      // 3 system not given
      {winsim::kNT40, h | s, s, 0},                        // 4 more given is fine
      {winsim::kNT40, 0, FILE_ATTRIBUTE_ARCHIVE, 0},       // 5
      {winsim::kWin95, 0, h | s, 0},                       // 6
      {winsim::kNT40, 0, h, ERROR_ACCESS_DENIED, true},    // 7 the machine is NT all the same
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(++number);
    winsim::SetVersion(row.version);
    winsim::FailVersionQuery(row.versionQueryFails);
    File("d/S.TXT", "new");
    File("c/T.TXT", "old");
    ASSERT_TRUE(SetFileAttributesA("D:\\S.TXT", row.source != 0 ? row.source : FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesA("C:\\T.TXT", row.destination));
    EXPECT_EQ(CopyError("D:\\S.TXT", "C:\\T.TXT"), row.error);
    EXPECT_EQ(Content("c/T.TXT"), row.error == 0 ? "new" : "old");
    EXPECT_EQ(GetFileAttributesA("C:\\T.TXT"),
              FILE_ATTRIBUTE_ARCHIVE | (row.error == 0 ? row.source : row.destination));
  }
}

TEST_F(FilesWriteTest, CopyFailuresAsWineGivesThem) {
  winsim::MapEmptyDrive('E', winsim::kDriveCdrom);
  File("d/A/F.TXT");
  fs::create_directories(root_ + "/c/Folder");
  struct Row {
    const char* from;
    const char* to;
    DWORD error;
  } rows[] = {
      {"D:\\A", "C:\\X", ERROR_ACCESS_DENIED},                 // 1 a folder
      {"D:\\A\\F.TXT", "C:\\Folder", ERROR_ACCESS_DENIED},     // 2 onto a folder
      {"D:\\A\\F.TXT", "C:\\None\\F.TXT", ERROR_PATH_NOT_FOUND},  // 3 no destination folder
      {"D:\\A\\NONE.TXT", "C:\\F.TXT", ERROR_FILE_NOT_FOUND},  // 4 no source
      {"D:\\B\\F.TXT", "C:\\F.TXT", ERROR_PATH_NOT_FOUND},     // 5 no source folder
      {"E:\\F.TXT", "C:\\F.TXT", ERROR_NOT_READY},             // 6 no disc
      {"D:\\A\\F.TXT", "d:\\a\\f.txt", ERROR_SHARING_VIOLATION},  // 7 onto itself
  };
  for (const Row& row : rows) EXPECT_EQ(CopyError(row.from, row.to), row.error) << row.from << " -> " << row.to;
  EXPECT_FALSE(fs::exists(root_ + "/c/F.TXT"));
  EXPECT_EQ(winsim::FileCopies().size(), 7u);
}

TEST_F(FilesWriteTest, WriteProtectedDriveRefusesEveryChange) {
  File("d/F.TXT");
  File("c/OLD.TXT", "old");
  winsim::ProtectDrive('C', true);
  EXPECT_EQ(CreateError("C:\\New"), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(CopyError("D:\\F.TXT", "C:\\F.TXT"), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(CopyError("D:\\F.TXT", "C:\\OLD.TXT"), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_FALSE(SetFileAttributesA("C:\\OLD.TXT", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(Content("c/OLD.TXT"), "old");
  EXPECT_EQ(GetFileAttributesA("C:\\OLD.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));  // reading works
  winsim::ProtectDrive('C', false);
  EXPECT_EQ(CreateError("C:\\New"), 0u);
}

TEST_F(FilesWriteTest, AttributesOfWhatIsThereAndOfWhatIsNot) {
  File("d/.HIDDEN");
  fs::create_directories(root_ + "/d/Folder");
  EXPECT_EQ(GetFileAttributesA("D:\\.hidden"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
  // Hidden and system are stored, and a search reports them too.
  File("c/SYS.TXT");
  EXPECT_TRUE(SetFileAttributesA("C:\\sys.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  WIN32_FIND_DATAA found = {};
  FindClose(FindFirstFileA("C:\\SYS.*", &found));
  EXPECT_EQ(found.dwFileAttributes,
            static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(SetFileAttributesA("C:\\SYS.TXT", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\SYS.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("D:\\Folder\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("D:\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesA("D:\\NONE"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(SetFileAttributesA("D:\\NONE", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesWriteTest, InjectedFaultsFailWithoutTouchingTheDestination) {
  File("d/F.TXT", "new");
  File("c/F.TXT", "old");
  winsim::InjectFault("CopyFileA", 2, ERROR_DISK_FULL);
  winsim::InjectFault("CreateDirectoryA", 1, ERROR_ACCESS_DENIED);
  winsim::InjectFault("GetFileAttributesA", 1, ERROR_NOT_READY);
  winsim::InjectFault("SetFileAttributesA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateError("C:\\New"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(fs::exists(root_ + "/c/New"));
  EXPECT_EQ(GetFileAttributesA("C:\\F.TXT"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(SetFileAttributesA("C:\\F.TXT", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\F.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(CopyError("D:\\F.TXT", "C:\\F.TXT"), 0u);
  File("c/F.TXT", "old");
  EXPECT_EQ(CopyError("D:\\F.TXT", "C:\\F.TXT"), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(Content("c/F.TXT"), "old");
  EXPECT_EQ(CopyError("D:\\F.TXT", "C:\\F.TXT"), 0u);  // once only
  EXPECT_EQ(winsim::CallCount("CopyFileA"), 3);
}

TEST_F(FilesWriteTest, CopyFailingPartWayLeavesNoDestination) {
  File("d/BIG.BIN", std::string(200000, 'b'));
  File("c/BIG.BIN", "old");
  File("d/SMALL.TXT", "s");
  winsim::InjectFault("CopyFileA.write", 2, ERROR_DISK_FULL);
  EXPECT_EQ(CopyError("D:\\SMALL.TXT", "C:\\SMALL.TXT"), 0u);  // the 1st copy to write
  EXPECT_EQ(CopyError("D:\\BIG.BIN", "C:\\BIG.BIN"), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_FALSE(fs::exists(root_ + "/c/BIG.BIN"));  // the old copy is gone with the partial one
  EXPECT_EQ(fs::file_size(root_ + "/d/BIG.BIN"), 200000u);
  EXPECT_EQ(CopyError("D:\\BIG.BIN", "C:\\BIG.BIN"), 0u);
  EXPECT_EQ(fs::file_size(root_ + "/c/BIG.BIN"), 200000u);
}

TEST_F(FilesWriteTest, ChangeRunsOnceJustBeforeTheChosenCall) {
  File("d/A.TXT");
  File("d/B.TXT");
  int runs = 0;
  winsim::BeforeCall("CopyFileA", 2, [&runs] {
    ++runs;
    winsim::EjectMedium('D');  // the change may call into the machine
  });
  EXPECT_EQ(CopyError("D:\\A.TXT", "C:\\A.TXT"), 0u);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(CopyError("D:\\B.TXT", "C:\\B.TXT"), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(runs, 1);
  winsim::InsertMedium('D', root_ + "/d");
  EXPECT_EQ(CopyError("D:\\B.TXT", "C:\\B.TXT"), 0u);
  EXPECT_EQ(runs, 1);
}

}  // namespace

// The simulated file system as a test sees it: drive letters mapped onto host
// folders, drives without a medium, and a record of what the program opened
// and read.
//
// Paths on a drive resolve onto the host folder one name at a time, comparing
// names without case. Host names that Windows could not address (holding one
// of \ / : * ? " < > | or a control character, or ending in a dot or a blank)
// are invisible. Names beginning with a dot read as hidden, and files and
// folders without any write permission as read-only, as under Wine.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

// Drive types, as GetDriveTypeA reports them.
constexpr unsigned kDriveRemovable = 2;
constexpr unsigned kDriveFixed = 3;
constexpr unsigned kDriveRemote = 4;
constexpr unsigned kDriveCdrom = 5;
constexpr unsigned kDriveRamdisk = 6;

// Maps a drive letter (either case) onto a host folder, replacing any earlier
// mapping of that letter.
void MapDrive(char letter, unsigned type, const std::string& hostFolder);
// A drive that is listed with its type but holds no medium: every path on it
// fails with ERROR_NOT_READY, and searches on it find nothing.
void MapEmptyDrive(char letter, unsigned type);
// Takes the medium out of a mapped drive, or puts one in (a host folder).
void EjectMedium(char letter);
void InsertMedium(char letter, const std::string& hostFolder);
void UnmapDrive(char letter);
// A write-protected drive refuses folder creation, copies onto it and
// attribute changes with ERROR_WRITE_PROTECT; reading is unchanged.
void ProtectDrive(char letter, bool writeProtected);

// From now until Reset the drive has only `bytes` free: a copy that does not
// fit writes what fits, then fails with ERROR_DISK_FULL and leaves no
// destination (the file it replaced is gone too, as CopyFileA truncates it
// first). Copies use the room up and give back what they replace.
void SetFreeSpace(char letter, uint64_t bytes);

// A promise that the host folders change only through the platform itself
// until the next Reset: folder listings and the host's answers on what a
// path is are then kept, and every folder creation, copy or attribute change
// of the platform drops them. A change made behind the platform's back after
// this call stays unseen. For tests that build their trees first and then
// run many reads over them (the fuzz targets).
void FreezeHostFolders();

// Folders held in memory instead of on the host, for tests that only read
// their drives and build a new tree for every run (the fuzz targets): no
// host folder to make or remove. MemoryFolder makes a folder at a path of
// names separated by '/' ("A", "A/Audio"; its parent must be a memory folder
// already) and returns the host path to map a drive onto ("memory:A"),
// which MemoryHostPath gives before the folder is made; MemoryFile makes a
// file there. Paths, searches, opens and profile reads
// see them as they see host folders with full permissions; a folder
// creation, copy or attribute change in one is unmodelled. Reset drops them.
std::string MemoryFolder(const std::string& path);
std::string MemoryHostPath(const std::string& path);
void MemoryFile(const std::string& path, const std::string& content);

// The current folder that relative paths ("x", "\x", "C:x") resolve against;
// "C:\" at power-on.
void SetCurrentFolder(const std::string& windowsPath);

// The host path a Windows path resolves to, or "" when it names nothing.
std::string HostPathOf(const std::string& windowsPath);
// Whether a Windows path names a file (not a folder) on the machine, as a
// test's own check, outside the program's calls.
bool IsFileOnMachine(const std::string& windowsPath);

struct FileOpenRecord {
  std::string path;  // as the program passed it
  uint32_t access;
  uint32_t disposition;
  bool opened;
  uint32_t error;  // GetLastError when not opened
};
// Every CreateFileA on a path that is not a device name, in order.
const std::vector<FileOpenRecord>& FileOpens();
// Every search pattern given to FindFirstFileA, in order.
const std::vector<std::string>& FileSearches();

struct ProfileReadRecord {
  std::string file;
  std::string section;
  std::string key;
  std::string text;  // what was copied into the buffer
  uint32_t returned;
};
const std::vector<ProfileReadRecord>& ProfileReads();

// Every CreateDirectoryA, in order.
struct FolderCreateRecord {
  std::string path;  // as the program passed it
  bool created;
  uint32_t error;  // GetLastError when not created
};
const std::vector<FolderCreateRecord>& FolderCreations();

// Every CopyFileA, in order.
struct FileCopyRecord {
  std::string from;  // as the program passed them
  std::string to;
  bool failIfExists;
  bool copied;
  uint32_t error;  // GetLastError when not copied
};
const std::vector<FileCopyRecord>& FileCopies();

// Every SetFileAttributesA, in order.
struct AttributeChangeRecord {
  std::string path;
  uint32_t attributes;
  bool changed;
  uint32_t error;
};
const std::vector<AttributeChangeRecord>& AttributeChanges();

// Another program opens an existing file with `access` (GENERIC_READ and/or
// GENERIC_WRITE) and `share` (FILE_SHARE_READ and/or FILE_SHARE_WRITE) and
// holds it open until ReleaseFile or Reset. The program's CreateFileA then
// follows Windows' share rules: an open fails with ERROR_SHARING_VIOLATION
// unless every open of the file so far shares the access it asks for and it
// shares the access each of them holds. Returns an id, or 0 when an open
// already there does not allow this one. Copies follow the same rules:
// CopyFileA reads its source sharing reading and writes its destination
// sharing nothing. (Profile reads do not look at share modes.)
int HoldFileOpen(const std::string& windowsPath, uint32_t access, uint32_t share);
void ReleaseFile(int id);

// File and search handles the program holds open.
int OpenFileHandleCount();
int OpenSearchHandleCount();

}  // namespace winsim

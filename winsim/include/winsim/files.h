// The file system: logical drives and their types, folder searches, and
// profile (INI) reading. Opening a file (CreateFileA, CloseHandle) is declared
// with the devices in devices.h, since one CreateFileA serves both; devices
// hand file paths and file handles on to the file part (src/opens.cpp).
//
// A drive letter maps to a host folder (see sim/sim_files.h). "X:\..." paths are
// resolved onto it case-insensitively, with '/' taken as '\', repeated
// separators folded and "." and ".." collapsed, as Windows does.
#pragma once

#include "types.h"

// GetDriveTypeA
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

// Writes "A:\", NUL, "C:\", NUL, ..., NUL for the mapped drives in letter
// order and returns the length without the final NUL; when the buffer is too
// small, writes nothing and returns the size needed.
DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer);
// The type of a root ("D:\" or "D:"); DRIVE_NO_ROOT_DIR for anything else.
// A drive with no medium keeps its type.
UINT WINAPI GetDriveTypeA(LPCSTR rootPath);

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

typedef struct _WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
typedef WIN32_FIND_DATAA WIN32_FIND_DATA;

// Searches a folder for the names matching the last part of the pattern ('*'
// and '?' as wildcards, "*.*" matching every name). The order is Wine's:
// "." and "..", which exist below a root and not at a drive root, then the
// other names in case-insensitive alphabetical order. A drive with no medium
// fails with ERROR_NOT_READY; no match fails with ERROR_FILE_NOT_FOUND.
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE handle);

// Reads a profile file with Windows' rules: section and key compared without
// case, the value trimmed of blanks and of one pair of surrounding quotes, at
// most size-1 characters copied. Returns the number of characters copied, so
// an empty or missing value returns 0 (the default, if any, is copied then).
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName);

// Writing, as deployment does it.
//
// A drive that a test write-protects (sim/sim_files.h) refuses every change with
// ERROR_WRITE_PROTECT. Attributes are those searches report: read-only is
// the host's write permission, hidden a name beginning with a dot, archive
// every file; hidden, system and archive cannot be changed.

// Creates one folder; its parent must exist. ERROR_ALREADY_EXISTS when the
// name is taken (by a folder or a file), ERROR_PATH_NOT_FOUND when the parent
// is missing, ERROR_ACCESS_DENIED for a drive root. A trailing backslash is
// accepted. Security attributes are not modelled: they must be NULL.
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);

// Copies a file's bytes, last-write time and read-only attribute, as
// Windows does: the copy, new or overwritten, takes the source's read-only
// attribute. With failIfExists FALSE an existing file is overwritten, except
// that a read-only destination is refused with ERROR_ACCESS_DENIED (Windows
// refuses it; Wine running as root overwrites it, and when it overwrites it
// keeps the destination's own read-only state). Copying a folder, or onto a
// folder, fails with ERROR_ACCESS_DENIED; a missing source with
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND; a missing destination folder
// with ERROR_PATH_NOT_FOUND; a file onto itself with ERROR_SHARING_VIOLATION.
BOOL WINAPI CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);

// INVALID_FILE_ATTRIBUTES with the error (as for opening) when the path
// names nothing.
DWORD WINAPI GetFileAttributesA(LPCSTR path);
// Only the read-only attribute takes effect; FILE_ATTRIBUTE_NORMAL clears it.
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes);

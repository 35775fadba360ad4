// Windows paths and file names: how a text is taken apart, which names a
// path can hold, how names compare and match a pattern, and where a path
// lands on the host. Every file call of the machine reads its paths through
// here, one character at a time, and nowhere else.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace winsim::detail {

bool IsDriveLetter(char c);
char UpperDriveLetter(char c);

// A Windows path taken apart: the drive letter (upper case) and the names
// below its root, with "." and ".." collapsed and empty names folded away.
struct WinPath {
  char drive = 0;
  std::vector<std::string> names;
  bool trailingSeparator = false;  // the text ended with '\' or '/'
};

// Parses a path against the current folder. Returns 0, or the error Windows
// gives for such a text (too long, a network path, an invalid character).
DWORD ParseWinPath(const std::string& text, WinPath* out);

// Takes a search pattern apart into the folder it searches and the mask for
// the last name ("*.*", "?ub"). Returns 0, or the error FindFirstFileA gives
// for the text itself.
DWORD ParseSearchPattern(const std::string& pattern, WinPath* folder, std::string* mask);

// Whether a text names a drive's root ("C:\", "c:", "C:/"); *letter is then
// its drive letter.
bool ParseDriveRoot(const std::string& text, char* letter);

// Whether a file name has a folder part (a separator or a drive).
bool HasFolderPart(const std::string& text);

// Whether a host name can be named by a Windows path at all.
bool IsAddressableName(const std::string& name);

// Where the last separator character ('\\' or '/') of a path begins, read
// a character at a time; npos when there is none.
size_t LastPathSeparator(std::string_view text);

// Orders file names as the platform compares them: without case.
int CompareFileNames(std::string_view a, std::string_view b);

// Whether a name matches a search mask: '*' any run of characters, '?' any
// one, case ignored, "*" and "*.*" every name.
bool MatchesMask(const std::string& mask, const std::string& name);

// Resolves a parsed path onto the host. Returns 0 with the host path and
// whether it is a folder, or the error: ERROR_NOT_READY (no medium),
// ERROR_PATH_NOT_FOUND (a missing drive or folder on the way) or
// ERROR_FILE_NOT_FOUND (the last name is missing).
DWORD ResolveOnHost(const WinPath& path, std::string* host, bool* isFolder);

// Parses and resolves in one; for the test-control API and for calls that
// only need to know where an existing path lies.
DWORD ResolvePath(const std::string& text, WinPath* path, std::string* host, bool* isFolder);

}  // namespace winsim::detail

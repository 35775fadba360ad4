// Windows paths and file names as text: how a text is taken apart, which
// names a path can hold, and how names compare and match a pattern. Every
// file call of the machine reads its paths through here, one character at a
// time, and nowhere else. Nothing here looks at a drive or the host; where a
// path lands is resolve.h's question.
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

}  // namespace winsim::detail

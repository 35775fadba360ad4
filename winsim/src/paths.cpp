// Windows paths and file names as text (see paths.h): parsing against the
// current folder, the characters a name may hold, how names compare and
// match a search mask.
#include <algorithm>
#include <cstring>
#include <string>
#include <windows.h>

#include "internal.h"
#include "paths.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

const DWORD kErrorBadNetPath = 53;

std::string sCurrentFolder = "C:\\";  // always "X:\...\" with a trailing backslash

using winsim::detail::CharLength;

// Under a double-byte code page a path is read a character at a time from
// its start: the second byte of a character may be 0x5C ('\\') or 0x7C
// ('|') and is then no separator and no refused character. '/' and the
// other refused characters lie below every second byte, so they can only be
// characters of their own.

// Characters Windows refuses in a file name; '*' and '?' are wildcards in a
// search pattern.
bool IsInvalidNameChar(char c, bool pattern) {
  if (static_cast<unsigned char>(c) < 32) return true;
  if (pattern && (c == '*' || c == '?')) return false;
  return std::strchr("<>:\"|?*", c) != nullptr;
}

// Whether a name holds a character Windows refuses.
bool HasInvalidChar(std::string_view name, bool pattern) {
  for (size_t at = 0; at < name.size(); at += CharLength(name, at))
    if (CharLength(name, at) == 1 && IsInvalidNameChar(name[at], pattern)) return true;
  return false;
}

// Where the last character of the text that is one of `separators` begins;
// npos when there is none.
size_t LastSeparator(std::string_view text, std::string_view separators) {
  size_t found = std::string_view::npos;
  for (size_t at = 0; at < text.size(); at += CharLength(text, at))
    if (CharLength(text, at) == 1 && separators.find(text[at]) != std::string_view::npos) found = at;
  return found;
}

// Windows drops trailing dots and blanks from every name of a path.
std::string StripTrailingDotsAndBlanks(const std::string& name) {
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return name.substr(0, end);
}

// The text as an absolute path "X:\...", from the current folder where it is
// relative ("name", "\name", "C:name").
std::string Absolute(const std::string& path) {
  if (path.size() >= 2 && winsim::detail::IsDriveLetter(path[0]) && path[1] == ':') {
    char drive = winsim::detail::UpperDriveLetter(path[0]);
    std::string rest = path.substr(2);
    if (!rest.empty() && rest[0] == '\\') return std::string(1, drive) + ":" + rest;
    // "C:name": relative to the current folder if it is on that drive.
    std::string base = sCurrentFolder[0] == drive ? sCurrentFolder : std::string(1, drive) + ":\\";
    return base + rest;
  }
  if (path[0] == '\\') return sCurrentFolder.substr(0, 2) + path;
  return sCurrentFolder + path;
}

// The names below the root of an absolute path, "." and ".." collapsed.
DWORD SplitNames(const std::string& full, std::vector<std::string>* names) {
  std::string name;
  for (size_t at = 2; at <= full.size();) {
    if (at < full.size() && full[at] != '\\') {
      size_t length = CharLength(full, at);
      name.append(full, at, length);
      at += length;
      continue;
    }
    if (name == "..") {
      if (!names->empty()) names->pop_back();
    } else if (!name.empty() && name != ".") {
      if (HasInvalidChar(name, false)) return ERROR_INVALID_NAME;
      std::string stripped = StripTrailingDotsAndBlanks(name);
      if (!stripped.empty()) names->push_back(stripped);
    }
    name.clear();
    ++at;
  }
  return 0;
}

// '*' matches any run of characters, '?' any one; case is ignored. Both
// texts begin at a character.
bool MatchMask(std::string_view mask, std::string_view name) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*') {
    for (size_t rest = 0;; rest += CharLength(name, rest)) {
      if (MatchMask(mask.substr(1), name.substr(rest))) return true;
      if (rest >= name.size()) return false;
    }
  }
  if (name.empty()) return false;
  size_t maskChar = CharLength(mask, 0);
  size_t nameChar = CharLength(name, 0);
  bool any = maskChar == 1 && mask[0] == '?';
  if (!any && winsim::detail::CompareFileNames(mask.substr(0, maskChar), name.substr(0, nameChar)) != 0) return false;
  return MatchMask(mask.substr(maskChar), name.substr(nameChar));
}

}  // namespace

namespace winsim {

void SetCurrentFolder(const std::string& windowsPath) {
  detail::WinPath path;
  if (detail::ParseWinPath(windowsPath, &path) != 0) Unmodelled("a current folder that is not a path: " + windowsPath);
  std::string folder = std::string(1, path.drive) + ":\\";
  for (const auto& name : path.names) folder += name + "\\";
  sCurrentFolder = folder;
}

namespace detail {

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char UpperDriveLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

DWORD ParseWinPath(const std::string& text, WinPath* out) {
  *out = WinPath();
  // The ANSI functions take at most MAX_PATH - 1 characters.
  if (text.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (text.empty()) return ERROR_PATH_NOT_FOUND;
  std::string path = text;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.compare(0, 2, "\\\\") == 0) return kErrorBadNetPath;
  std::string full = Absolute(path);
  out->drive = full[0];
  out->trailingSeparator = LastSeparator(full, "\\") == full.size() - 1;
  return SplitNames(full, &out->names);
}

DWORD ParseSearchPattern(const std::string& pattern, WinPath* folder, std::string* mask) {
  std::string text = pattern;
  std::replace(text.begin(), text.end(), '/', '\\');
  size_t split = LastSeparator(text, "\\");
  *mask = split == std::string::npos ? text : text.substr(split + 1);
  std::string folderText = split == std::string::npos ? "." : text.substr(0, split + 1);
  if (folderText.size() == 2 && folderText[1] == ':') folderText += ".";  // "C:*.*"
  if (text.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (mask->empty()) return ERROR_FILE_NOT_FOUND;
  if (HasInvalidChar(*mask, true)) return ERROR_INVALID_NAME;
  return ParseWinPath(folderText, folder);
}

bool ParseDriveRoot(const std::string& text, char* letter) {
  bool isRoot = text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == ':' &&
                (text.size() == 2 || (text.size() == 3 && (text[2] == '\\' || text[2] == '/')));
  if (isRoot) *letter = text[0];
  return isRoot;
}

bool HasFolderPart(const std::string& text) { return LastSeparator(text, "\\/:") != std::string_view::npos; }

bool IsAddressableName(const std::string& name) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  if (HasInvalidChar(name, false) || LastSeparator(name, "\\/") != std::string_view::npos) return false;
  char last = name.back();  // '.' and ' ' are never the second byte of a character
  return name == "." || name == ".." || (last != '.' && last != ' ');
}

int CompareFileNames(std::string_view a, std::string_view b) { return CompareNoCase(a, b); }

bool MatchesMask(const std::string& mask, const std::string& name) {
  return mask == "*" || mask == "*.*" || MatchMask(mask, name);
}

size_t LastPathSeparator(std::string_view text) { return LastSeparator(text, "\\/"); }

void ResetPaths() { sCurrentFolder = "C:\\"; }

}  // namespace detail
}  // namespace winsim

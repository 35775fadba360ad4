// Reading profile files (GetPrivateProfileStringA) with Windows' rules. The
// file is read afresh on every call.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

#include "host_files.h"
#include "internal.h"
#include "paths.h"
#include "resolve.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

using winsim::detail::CompareNoCase;

std::vector<winsim::ProfileReadRecord> sProfileReads;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The next line of the text from *pos on, as the reader sees it: up to a
// line break, cut at a NUL byte, trimmed. *pos moves past the line breaks.
std::string NextLine(const std::string& bytes, size_t* pos) {
  size_t end = *pos;
  while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
  std::string line = bytes.substr(*pos, end - *pos);
  *pos = end;
  while (*pos < bytes.size() && (bytes[*pos] == '\n' || bytes[*pos] == '\r')) ++*pos;
  size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  return Trim(line);
}

// Looks a key up in profile text as Windows' profile reader does: the first
// section whose name matches (the name between '[' and the line's last ']',
// untrimmed), and in it the first key before its first '='. A key line
// without '=' has no value. Returns false when there is no value.
bool ProfileLookup(const std::string& bytes, const std::string& section, const std::string& key,
                   std::string* value) {
  std::string wantedSection = Trim(section);
  std::string wantedKey = Trim(key);
  size_t pos = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  // Keys before any section header form a first section with an empty name.
  bool inSection = wantedSection.empty();
  while (pos < bytes.size()) {
    std::string line = NextLine(bytes, &pos);
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close != std::string::npos && close > 0) {
        // Only the first section of that name is searched.
        if (inSection) return false;
        inSection = CompareNoCase(line.substr(1, close - 1), wantedSection) == 0;
        continue;
      }
      // Without a closing bracket the line is an ordinary key line.
    }
    if (!inSection) continue;
    size_t equals = line.find('=');
    std::string name = Trim(line.substr(0, equals));
    if (CompareNoCase(name, wantedKey) != 0) continue;
    if (equals == std::string::npos) return false;
    *value = Trim(line.substr(equals + 1));
    return true;
  }
  return false;
}

// One pair of matching quotes around a value is removed.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// The value of the key in the file, or the default: the default loses its
// trailing blanks, and either loses one pair of quotes.
std::string ProfileValue(const std::string& file, const char* section, const char* key, const char* defaultValue) {
  std::string text = defaultValue != nullptr ? defaultValue : "";
  while (!text.empty() && text.back() == ' ') text.pop_back();
  DWORD error = 0;
  if (!winsim::detail::FaultDue("GetPrivateProfileStringA", &error)) {
    winsim::detail::WinPath path;
    std::string host, bytes, value;
    bool folder = false;
    if (winsim::detail::ResolvePath(file, &path, &host, &folder) == 0 && !folder &&
        winsim::detail::HostReadFile(host, &bytes) && ProfileLookup(bytes, section, key, &value))
      text = value;
  }
  return Unquote(text);
}

}  // namespace

namespace winsim {

const std::vector<ProfileReadRecord>& ProfileReads() { return sProfileReads; }

namespace detail {
void ResetProfileReads() { sProfileReads.clear(); }
}  // namespace detail
}  // namespace winsim

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName) {
  if (section == nullptr || key == nullptr) winsim::Unmodelled("GetPrivateProfileStringA listing sections or keys");
  if (fileName == nullptr) winsim::Unmodelled("GetPrivateProfileStringA with no file");
  std::string file = fileName;
  if (!winsim::detail::HasFolderPart(file))
    winsim::Unmodelled("GetPrivateProfileStringA on a file in the Windows folder: " + file);
  if (buffer == nullptr || size == 0) return 0;
  std::string text = ProfileValue(file, section, key, defaultValue);
  size_t copied = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  sProfileReads.push_back(winsim::ProfileReadRecord{file, section, key, std::string(buffer, copied),
                                                    static_cast<uint32_t>(copied)});
  return static_cast<DWORD>(copied);
}

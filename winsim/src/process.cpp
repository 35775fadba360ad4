// Starting programs: WinExec finds the program as Windows does and records
// the start, with the error mode the program would inherit; nothing runs.
#include <string>
#include <vector>
#include <windows.h>

#include "internal.h"
#include "paths.h"
#include "resolve.h"
#include "sim_machine.h"
#include "sim_dialogs.h"
#include "sim_process.h"
#include "sim_threads.h"

namespace {

// WinExec's results.
const UINT kStarted = 33;  // any value above 31 means started; Wine gives 33
const UINT kNoSuchProgram = 2;

std::vector<winsim::ProcessStartRecord> sStarts;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program a candidate text names, if it is an existing file: ".exe" is
// added when the last name has no extension.
bool NamesProgram(const std::string& candidate, std::string* program) {
  if (candidate.size() < 3 || candidate[1] != ':' || (candidate[2] != '\\' && candidate[2] != '/'))
    winsim::Unmodelled("WinExec of a program found through the search path: " + candidate);
  std::string name = candidate;
  size_t lastSeparator = winsim::detail::LastPathSeparator(name);
  if (name.find('.', lastSeparator) == std::string::npos) name += ".exe";
  winsim::detail::WinPath path;
  std::string host;
  bool isFolder = false;
  if (winsim::detail::ParseWinPath(name, &path) != 0 || winsim::detail::ResolveOnHost(path, &host, &isFolder) != 0 ||
      isFolder)
    return false;
  *program = name;
  return true;
}

// Finds the program of a command line; false when it names none.
bool FindProgram(const std::string& commandLine, std::string* program) {
  size_t start = 0;
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  std::string text = commandLine.substr(start);
  if (text.empty()) return false;
  if (text[0] == '"') {
    // Up to the closing quote, or the end of the text if there is none.
    size_t close = text.find('"', 1);
    return NamesProgram(text.substr(1, close == std::string::npos ? std::string::npos : close - 1), program);
  }
  // Cut at each blank in turn: "C:\My Drivers\Setup.exe" tries C:\My first.
  for (size_t end = 0; end <= text.size(); ++end) {
    if (end < text.size() && !IsBlank(text[end])) continue;
    if (end > 0 && !IsBlank(text[end - 1]) && NamesProgram(text.substr(0, end), program)) return true;
  }
  return false;
}

}  // namespace

namespace winsim {

const std::vector<ProcessStartRecord>& ProcessStarts() { return sStarts; }

namespace detail {
void ResetProcess() { sStarts.clear(); }
}  // namespace detail
}  // namespace winsim

UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand) {
  if (commandLine == nullptr) winsim::Unmodelled("WinExec with no command line");
  winsim::ProcessStartRecord record{commandLine, showCommand, 0, "", winsim::ErrorMode(), winsim::WindowCount(),
                                    winsim::ProgramThreadsRunning()};
  DWORD error = 0;
  if (winsim::detail::FaultDue("WinExec", &error))
    record.result = error;
  else
    record.result = FindProgram(commandLine, &record.program) ? kStarted : kNoSuchProgram;
  UINT result = record.result;
  sStarts.push_back(record);
  return result;
}

// Fault injection by call name and count.
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "internal.h"
#include "sim_faults.h"

namespace {

// Every name a fault or a change can be attached to: each is asked for by
// exactly one place in the machine (FaultDue). A name outside this table
// would never be asked for, so a misspelt fault would silently never fire;
// it aborts instead, as SQLite's test_syscall.c refuses unknown names.
const char* const kFaultPoints[] = {
    "CopyFileA",                 // files_write.cpp: before anything is touched
    "CopyFileA.write",           // files_write.cpp: half the bytes written
    "CreateDirectoryA",          // files_write.cpp
    "CreateEventA",              // sync_objects.cpp: NULL
    "CreateFileA",               // opens.cpp: file paths, not device names
    "CreateThread",              // sync_objects.cpp: NULL, no thread
    "CreateWindowExA",           // top_windows.cpp: NULL, no window
    "DialogBoxParamA",           // dialogs.cpp: -1
    "FindFirstFileA",            // searches.cpp
    "FindNextFileA",             // searches.cpp
    "GetDriveTypeA",             // drives.cpp: DRIVE_UNKNOWN
    "GetFileAttributesA",        // files_write.cpp
    "GetLogicalDriveStringsA",   // drives.cpp: 0
    "GetPrivateProfileStringA",  // profile.cpp: as if the file were missing
    "HeapAlloc",                 // heap.cpp: NULL, no memory
    "HeapReAlloc",               // heap.cpp: NULL, the block untouched
    "LB_ADDSTRING",              // dialogs.cpp: LB_ERRSPACE, the line not added
    "RegisterClassExA",          // top_windows.cpp: 0, no class
    "SetFileAttributesA",        // files_write.cpp
    "VirtualProtect",            // image.cpp: the protection stays as it was
    "WinExec",                   // process.cpp: the error is the result
};

bool IsFaultPoint(const char* name) {
  for (const char* point : kFaultPoints)
    if (std::strcmp(point, name) == 0) return true;
  return false;
}

// Ends the test loudly, naming the name and the ones it could have been.
void CheckFaultPoint(const char* api, const char* name) {
  if (IsFaultPoint(name)) return;
  std::string known;
  for (const char* point : kFaultPoints) known += std::string(known.empty() ? "" : ", ") + point;
  winsim::detail::Stop(std::string(api) + ": no fault point named \"" + name + "\"; the names are: " + known);
}

struct Rule {
  std::string function;
  int first;
  int times;  // 0: from `first` on
  uint32_t error;
};

struct Change {
  std::string function;
  int nth;
  std::function<void()> change;
};

std::mutex sMutex;
std::vector<Rule> sRules;
std::vector<Change> sChanges;
std::map<std::string, int> sCounts;

}  // namespace

namespace winsim {

void InjectFault(const std::string& function, int nth, uint32_t error, int times) {
  CheckFaultPoint("InjectFault", function.c_str());
  std::lock_guard<std::mutex> lock(sMutex);
  sRules.push_back(Rule{function, nth, times, error});
}

void BeforeCall(const std::string& function, int nth, std::function<void()> change) {
  CheckFaultPoint("BeforeCall", function.c_str());
  std::lock_guard<std::mutex> lock(sMutex);
  sChanges.push_back(Change{function, nth, std::move(change)});
}

int CallCount(const std::string& function) {
  CheckFaultPoint("CallCount", function.c_str());
  std::lock_guard<std::mutex> lock(sMutex);
  auto it = sCounts.find(function);
  return it == sCounts.end() ? 0 : it->second;
}

namespace detail {

bool FaultDue(const char* function, DWORD* error) {
  CheckFaultPoint("FaultDue", function);
  std::unique_lock<std::mutex> lock(sMutex);
  int call = ++sCounts[function];
  // A change runs without the lock held: it may call into the machine.
  std::vector<std::function<void()>> due;
  for (auto it = sChanges.begin(); it != sChanges.end();) {
    if (it->function == function && it->nth == call) {
      due.push_back(std::move(it->change));
      it = sChanges.erase(it);
    } else {
      ++it;
    }
  }
  if (!due.empty()) {
    lock.unlock();
    for (const auto& change : due) change();
    lock.lock();
  }
  for (const Rule& rule : sRules) {
    if (rule.function != function || call < rule.first) continue;
    if (rule.times != 0 && call >= rule.first + rule.times) continue;
    *error = rule.error;
    return true;
  }
  return false;
}

void ResetFaults() {
  std::lock_guard<std::mutex> lock(sMutex);
  sRules.clear();
  sChanges.clear();
  sCounts.clear();
}

}  // namespace detail
}  // namespace winsim

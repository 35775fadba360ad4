// Fault injection by call name and count.
#include <map>
#include <mutex>
#include <vector>

#include "files_internal.h"
#include "internal.h"
#include "sim_faults.h"

namespace {

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
  std::lock_guard<std::mutex> lock(sMutex);
  sRules.push_back(Rule{function, nth, times, error});
}

void BeforeCall(const std::string& function, int nth, std::function<void()> change) {
  std::lock_guard<std::mutex> lock(sMutex);
  sChanges.push_back(Change{function, nth, std::move(change)});
}

int CallCount(const std::string& function) {
  std::lock_guard<std::mutex> lock(sMutex);
  auto it = sCounts.find(function);
  return it == sCounts.end() ? 0 : it->second;
}

namespace detail {

bool FaultDue(const char* function, DWORD* error) {
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

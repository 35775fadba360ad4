// Fault injection by call name and count.
#include <map>
#include <mutex>
#include <vector>

#include "files_internal.h"
#include "internal.h"
#include "sim/faults.h"

namespace {

struct Rule {
  std::string function;
  int first;
  int times;  // 0: from `first` on
  uint32_t error;
};

std::mutex sMutex;
std::vector<Rule> sRules;
std::map<std::string, int> sCounts;

}  // namespace

namespace winsim {

void InjectFault(const std::string& function, int nth, uint32_t error, int times) {
  std::lock_guard<std::mutex> lock(sMutex);
  sRules.push_back(Rule{function, nth, times, error});
}

int CallCount(const std::string& function) {
  std::lock_guard<std::mutex> lock(sMutex);
  auto it = sCounts.find(function);
  return it == sCounts.end() ? 0 : it->second;
}

namespace detail {

bool FaultDue(const char* function, DWORD* error) {
  std::lock_guard<std::mutex> lock(sMutex);
  int call = ++sCounts[function];
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
  sCounts.clear();
}

}  // namespace detail
}  // namespace winsim

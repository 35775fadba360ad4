// The simulated user: message boxes are answered from a script and recorded.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace winsim {

struct BoxRecord {
  bool hasOwner;
  std::string text;
  std::string caption;
  uint32_t type;
  int answer;
  // Windows of the program's own classes on screen when the box appeared
  // (sim_windows.h).
  int visibleWindows;
};

// Answers for the coming message boxes, in order. A box shown with no answer
// left ends the test loudly, naming the box.
void ScriptBoxAnswers(std::initializer_list<int> answers);
void AddBoxAnswer(int answer);
// Alternatively, decides each answer from the box itself (takes precedence
// over the script while set).
void SetBoxHandler(std::function<int(const BoxRecord&)> handler);
std::vector<BoxRecord> Boxes();
size_t PendingBoxAnswers();

}  // namespace winsim

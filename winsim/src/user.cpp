// Message boxes, answered by the test's script and recorded in order. Boxes
// may come from any thread (the emulator shows one inside a procedure call).
#include <mutex>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_user.h"
#include "windows_internal.h"

namespace {

std::mutex sMutex;
std::deque<int> sAnswers;
std::function<int(const winsim::BoxRecord&)> sHandler;
std::vector<winsim::BoxRecord> sBoxes;

}  // namespace

namespace winsim {

void ScriptBoxAnswers(std::initializer_list<int> answers) {
  std::lock_guard<std::mutex> lock(sMutex);
  sAnswers.assign(answers.begin(), answers.end());
}

void AddBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(sMutex);
  sAnswers.push_back(answer);
}

void SetBoxHandler(std::function<int(const BoxRecord&)> handler) {
  std::lock_guard<std::mutex> lock(sMutex);
  sHandler = std::move(handler);
}

std::vector<BoxRecord> Boxes() {
  std::lock_guard<std::mutex> lock(sMutex);
  return sBoxes;
}

size_t PendingBoxAnswers() {
  std::lock_guard<std::mutex> lock(sMutex);
  return sAnswers.size();
}

namespace detail {
void ResetUser() {
  std::lock_guard<std::mutex> lock(sMutex);
  sAnswers.clear();
  sHandler = nullptr;
  sBoxes.clear();
}
}  // namespace detail
}  // namespace winsim

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  winsim::BoxRecord box{owner != nullptr, text ? text : "", caption ? caption : "Error", type, 0,
                        winsim::detail::VisibleProgramWindows()};
  std::function<int(const winsim::BoxRecord&)> handler;
  {
    std::lock_guard<std::mutex> lock(sMutex);
    handler = sHandler;
    if (!handler) {
      if (sAnswers.empty())
        winsim::Unmodelled("MessageBoxA not answered by the script: \"" + box.caption + "\" / \"" + box.text + "\"");
      box.answer = sAnswers.front();
      sAnswers.pop_front();
    }
  }
  if (handler) box.answer = handler(box);
  std::lock_guard<std::mutex> lock(sMutex);
  sBoxes.push_back(box);
  return box.answer;
}

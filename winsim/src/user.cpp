// Message boxes, answered by the test's script and recorded in order. Boxes
// may come from any thread (the emulator shows one inside a procedure call).
#include <mutex>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_user.h"

namespace {

std::mutex gMutex;
std::deque<int> gAnswers;
std::function<int(const winsim::BoxRecord&)> gHandler;
std::vector<winsim::BoxRecord> gBoxes;

}  // namespace

namespace winsim {

void ScriptBoxAnswers(std::initializer_list<int> answers) {
  std::lock_guard<std::mutex> lock(gMutex);
  gAnswers.assign(answers.begin(), answers.end());
}

void AddBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(gMutex);
  gAnswers.push_back(answer);
}

void SetBoxHandler(std::function<int(const BoxRecord&)> handler) {
  std::lock_guard<std::mutex> lock(gMutex);
  gHandler = std::move(handler);
}

std::vector<BoxRecord> Boxes() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gBoxes;
}

size_t PendingBoxAnswers() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gAnswers.size();
}

namespace detail {
void ResetUser() {
  std::lock_guard<std::mutex> lock(gMutex);
  gAnswers.clear();
  gHandler = nullptr;
  gBoxes.clear();
}
}  // namespace detail
}  // namespace winsim

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  winsim::BoxRecord box{owner != nullptr, text ? text : "", caption ? caption : "Error", type, 0};
  std::function<int(const winsim::BoxRecord&)> handler;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    handler = gHandler;
    if (!handler) {
      if (gAnswers.empty())
        winsim::Unmodelled("MessageBoxA not answered by the script: \"" + box.caption + "\" / \"" + box.text + "\"");
      box.answer = gAnswers.front();
      gAnswers.pop_front();
    }
  }
  if (handler) box.answer = handler(box);
  std::lock_guard<std::mutex> lock(gMutex);
  gBoxes.push_back(box);
  return box.answer;
}

#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <iconv.h>
#include <windows.h>

namespace qtest {
namespace {

// A UTF-8 text in a Windows code page; false when a character has no place
// in it (or the text is no UTF-8).
bool ToCodePage(const std::string& utf8, unsigned codePage, std::string* out) {
  iconv_t convert = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  out->assign(in.size() * 2 + 1, '\0');
  char* from = in.data();
  char* to = out->data();
  size_t fromLeft = in.size();
  size_t toLeft = out->size();
  bool ok = iconv(convert, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1);
  iconv_close(convert);
  out->resize(out->size() - toLeft);
  return ok;
}

// Puts every field into the code page a "codepage" line names.
void ConvertFields(Scenario* scenario) {
  for (const auto& line : scenario->lines) {
    if (line.fields[0] != "codepage" || line.fields.size() != 2) continue;
    const std::string& number = line.fields[1];
    // Anything but a short number names no code page (0), which iconv refuses.
    bool digits = !number.empty() && number.size() <= 5 &&
                  number.find_first_not_of("0123456789") == std::string::npos;
    scenario->codePage = digits ? static_cast<unsigned>(std::stoul(number)) : 0;
  }
  for (auto& line : scenario->lines) {
    for (auto& field : line.fields) {
      std::string converted;
      if (!ToCodePage(field, scenario->codePage, &converted) && scenario->error.empty())
        scenario->error = "line " + std::to_string(line.number) + " has no place in code page " +
                          std::to_string(scenario->codePage);
      field = converted;
    }
  }
}

// The status lines from `*at` up to the next other line, which `*at` is
// then left at.
std::vector<std::string> StatusStretch(const std::vector<std::string>& lines, size_t* at) {
  std::vector<std::string> stretch;
  while (*at < lines.size() && lines[*at].rfind("status\t", 0) == 0) stretch.push_back(lines[(*at)++]);
  return stretch;
}

}  // namespace

std::vector<std::string> StatusLinesAsExpected(const std::vector<std::string>& expected,
                                               const std::vector<std::string>& seen) {
  std::vector<std::string> out;
  size_t e = 0;
  size_t s = 0;
  for (;;) {
    std::vector<std::string> want = StatusStretch(expected, &e);
    std::vector<std::string> have = StatusStretch(seen, &s);
    size_t found = 0;
    for (const std::string& line : have)
      if (found < want.size() && line == want[found]) ++found;
    const std::vector<std::string>& kept = found == want.size() ? want : have;
    out.insert(out.end(), kept.begin(), kept.end());
    if (s == seen.size()) return out;
    out.push_back(seen[s++]);
    if (e < expected.size()) ++e;
  }
}

Scenario ReadScenario(const std::string& path) {
  Scenario scenario;
  size_t slash = path.find_last_of('/');
  scenario.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  std::ifstream in(path);
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    ScenarioLine line{number, {}};
    size_t start = 0;
    for (;;) {
      size_t tab = text.find('\t', start);
      line.fields.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    scenario.lines.push_back(line);
  }
  ConvertFields(&scenario);
  return scenario;
}

std::vector<std::string> ScenarioFiles(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".scn") == 0) files.push_back(folder + "/" + name);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'r')) {
      out += text[i + 1] == 'n' ? '\n' : '\r';
      ++i;
    } else {
      // A double-byte character whose second byte is a backslash escapes nothing.
      if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) out += text[i++];
      out += text[i];
    }
  }
  return out;
}

void OperateDialogStep(winsim::DialogUser& user, const std::string& step) {
  size_t gap = step.find_first_of("\t ");
  std::string verb = step.substr(0, gap);
  std::string argument = gap == std::string::npos ? "" : step.substr(gap + 1);
  if (verb == "select")
    user.Select(std::stoi(argument));
  else if (verb == "type")
    user.Type(Unescape(argument));
  else if (verb == "press" && argument == "OK")
    user.PressOK();
  else if (verb == "press" && argument == "CANCEL")
    user.PressCancel();
  else
    ADD_FAILURE() << "a dialog step that is none of the scenario verbs: " << step;
}

winsim::DialogScript DialogStepsScript(std::vector<std::string> steps) {
  return [steps = std::move(steps)](winsim::DialogUser& user) {
    for (const std::string& step : steps) OperateDialogStep(user, step);
  };
}

}  // namespace qtest

#include "scenario.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>

namespace qtest {

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
      out += text[i];
    }
  }
  return out;
}

}  // namespace qtest

// Installer scenarios as data: one description of a machine, a user and the
// expected outcome, run both on the simulated platform and under Wine.
// The format is described in tests/scenarios/README.md.
#pragma once

#include <string>
#include <vector>

namespace qtest {

struct ScenarioLine {
  int number;                       // line in the file, for messages
  std::vector<std::string> fields;  // tab-separated fields, the verb first
};

struct Scenario {
  std::string name;
  std::vector<ScenarioLine> lines;
};

// Reads one scenario file; comment and blank lines are dropped.
Scenario ReadScenario(const std::string& path);
// Every *.scn file of a folder, in name order.
std::vector<std::string> ScenarioFiles(const std::string& folder);

// "\n" in a scenario text stands for a line-feed, "\r" for a carriage
// return; EscapeText (escape_text.h) writes a text so.
std::string Unescape(const std::string& text);

}  // namespace qtest

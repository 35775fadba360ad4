// Installer scenarios as data: one description of a machine, a user and the
// expected outcome, run both on the simulated platform and under Wine.
// The format is described in tests/scenarios/README.md.
#pragma once

#include <string>
#include <vector>

#include "sim_dialogs.h"

namespace qtest {

struct ScenarioLine {
  int number;                       // line in the file, for messages
  std::vector<std::string> fields;  // tab-separated fields, the verb first
};

struct Scenario {
  std::string name;
  unsigned codePage = 1252;  // the machine's ANSI code page (a "codepage" line)
  std::vector<ScenarioLine> lines;
  std::string error;  // why the file could not be read as written, or ""
};

// Reads one scenario file; comment and blank lines are dropped. The file is
// UTF-8; every field is handed over in the scenario's code page, as the
// program reads and writes its texts.
Scenario ReadScenario(const std::string& path);
// Every *.scn file of a folder, in name order.
std::vector<std::string> ScenarioFiles(const std::string& folder);

// "\n" in a scenario text stands for a line-feed, "\r" for a carriage
// return; EscapeText (escape_text.h) writes a text so. Read by character in
// the machine's code page.
std::string Unescape(const std::string& text);

// `seen` with its "status" lines as `expected` names them. Between two other
// lines, the status lines expected there must be seen in that order, among
// any others (the robot under Wine may miss a state of a few milliseconds,
// and sees more than a scenario names): then the others are dropped. Where
// they are not, that stretch stays as seen, so that the two differ.
std::vector<std::string> StatusLinesAsExpected(const std::vector<std::string>& expected,
                                               const std::vector<std::string>& seen);

// One step of the user in the folder dialog, in the scenarios' words:
// "select N", "type TEXT" or "press OK" / "press CANCEL", the verb and its
// argument apart by a tab (as in a scenario line) or a blank. A step that is
// none of these fails the test.
void OperateDialogStep(winsim::DialogUser& user, const std::string& step);
// The steps of one showing of the dialog, as a script for winsim.
winsim::DialogScript DialogStepsScript(std::vector<std::string> steps);

}  // namespace qtest

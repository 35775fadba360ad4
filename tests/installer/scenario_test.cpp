// Every installer scenario, run on the simulated platform. The same files
// are run under Wine by tests/wine/run_installer_scenarios.py.
#include <map>

#include "installer_fixture.h"
#include "scenario.h"

#ifndef QT_SCENARIO_DIR
#error "QT_SCENARIO_DIR must name the folder of the scenario files"
#endif

namespace qtest {
namespace {

const std::map<std::string, winsim::Version> kVersions = {
    {"win95", winsim::kWin95}, {"win98", winsim::kWin98}, {"winme", winsim::kWinMe},
    {"nt40", winsim::kNT40},   {"win31", winsim::kWin31},
};

// What the run showed, in the robot's transcript form.
std::vector<std::string> Transcript(int exitCode) {
  std::vector<std::string> lines;
  for (const auto& box : winsim::Boxes()) {
    std::string buttons = box.type == MB_YESNO ? "YESNO" : box.type == MB_OK ? "OK" : "TYPE" + std::to_string(box.type);
    std::string answer = box.answer == IDYES ? "YES" : box.answer == IDNO ? "NO" : box.answer == IDOK ? "OK" : "?";
    lines.push_back("box\t" + box.caption + "\t" + Escape(box.text) + "\t" + buttons + "\t" + answer);
  }
  lines.push_back("exit\t" + std::to_string(exitCode));
  return lines;
}

int AnswerOf(const std::string& word) {
  if (word == "YES") return IDYES;
  if (word == "NO") return IDNO;
  if (word == "OK") return IDOK;
  ADD_FAILURE() << "unknown answer " << word;
  return 0;
}

std::string Join(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? "\t" : "") + fields[i];
  return out;
}

// Sets up the machine and the user from the scenario; returns the expected
// transcript.
std::vector<std::string> Prepare(const Scenario& scenario) {
  std::vector<std::string> expected;
  for (const auto& line : scenario.lines) {
    const auto& f = line.fields;
    SCOPED_TRACE(scenario.name + ":" + std::to_string(line.number));
    if (f[0] == "version" && f.size() == 2 && kVersions.count(f[1])) {
      winsim::SetVersion(kVersions.at(f[1]));
    } else if (f[0] == "reg" && f.size() == 5 && f[3] == "sz") {
      winsim::RegSetString(f[1], f[2], f[4]);
    } else if (f[0] == "regkey" && f.size() == 2) {
      winsim::RegCreateKeyPath(f[1]);
    } else if (f[0] == "box" && f.size() == 5) {
      winsim::AddBoxAnswer(AnswerOf(f[4]));
      expected.push_back(Join(f));
    } else if (f[0] == "exit" && f.size() == 2) {
      expected.push_back(Join(f));
    } else {
      ADD_FAILURE() << "scenario line not understood: " << Join(f);
    }
  }
  return expected;
}

class ScenarioTest : public InstallerTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ScenarioTest, RunsAsDescribed) {
  Scenario scenario = ReadScenario(GetParam());
  ASSERT_FALSE(scenario.lines.empty()) << GetParam();
  std::vector<std::string> expected = Prepare(scenario);
  int exitCode = RunInstaller();
  EXPECT_EQ(Transcript(exitCode), expected);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = ReadScenario(info.param).name;
  name = name.substr(0, name.size() - 4);
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenario, ScenarioTest, ::testing::ValuesIn(ScenarioFiles(QT_SCENARIO_DIR)), TestName);

}  // namespace
}  // namespace qtest

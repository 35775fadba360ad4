// Every installer scenario, run on the simulated platform. The same files
// are run under Wine by tests/wine/run_installer_scenarios.py; the format is
// described in tests/scenarios/README.md.
#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>

#include <sys/stat.h>

#include "escape_text.h"
#include "installer_fixture.h"
#include "known_gap.h"
#include "scenario.h"
#include "sim_process.h"
#include "temp_folder.h"

#ifndef QT_SCENARIO_DIR
#error "QT_SCENARIO_DIR must name the folder of the scenario files"
#endif
#ifndef QT_MEDIA_DIR
#error "QT_MEDIA_DIR must name the folder of the test media"
#endif

namespace qtest {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, winsim::Version> kVersions = {
    {"win95", winsim::kWin95}, {"win98", winsim::kWin98}, {"winme", winsim::kWinMe},
    {"nt40", winsim::kNT40},   {"win31", winsim::kWin31},
};

// The top-level folders of a fresh Wine prefix's drive C:, so that the
// folder dialog lists the same lines on both platforms.
const char* const kSystemFolders[] = {"Program Files", "ProgramData", "users", "windows"};

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
  return out;
}

std::string ButtonsOf(uint32_t type) {
  if (type == MB_YESNO) return "YESNO";
  if (type == MB_OK) return "OK";
  return "TYPE" + std::to_string(type);
}

int AnswerOf(const std::string& word) {
  if (word == "YES") return IDYES;
  if (word == "NO") return IDNO;
  return IDOK;
}

// Every file below a host folder, as "A\B" paths in case-insensitive order.
std::string TreeOf(const std::string& host) {
  if (host.empty() || !fs::is_directory(host)) return "(missing)";
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(host)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), host).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    files.push_back(relative);
  }
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  });
  return Join(files, "|");
}

// What the program would see of a file: "readonly", "normal" or "(missing)".
std::string AttributesOf(const std::string& windowsPath) {
  DWORD attributes = GetFileAttributesA(windowsPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "(missing)";
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? "readonly" : "normal";
}

class ScenarioTest : public InstallerTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // Applies one machine line; false when the line is not a machine line.
  bool ApplyMachineLine(const std::vector<std::string>& f) {
    if (f[0] == "version" && f.size() == 2 && kVersions.count(f[1])) {
      winsim::SetVersion(kVersions.at(f[1]));
    } else if (f[0] == "drive" && f.size() == 4) {
      MapScenarioDrive(f[1][0], f[2] == "cdrom" ? winsim::kDriveCdrom : winsim::kDriveFixed, f[3]);
    } else if (f[0] == "put" && f.size() == 3) {
      std::string host = HostOfNew(f[1]);
      fs::create_directories(fs::path(host).parent_path());
      std::ofstream(host, std::ios::binary) << Unescape(f[2]);
    } else if (f[0] == "big" && f.size() == 3) {
      std::string host = HostOfNew(f[1]);
      fs::create_directories(fs::path(host).parent_path());
      std::ofstream(host, std::ios::binary).close();
      fs::resize_file(host, std::stoull(f[2]) << 20);
    } else if (f[0] == "move" && f.size() == 3) {
      std::string target = HostOfNew(f[2]);
      fs::create_directories(fs::path(target).parent_path());
      fs::rename(winsim::HostPathOf(f[1]), target);
    } else if (f[0] == "codepage" && f.size() == 2) {
      // Set before the machine was laid out (RunsAsDescribed).
    } else if (f[0] == "remove" && f.size() == 2) {
      EXPECT_TRUE(fs::remove(winsim::HostPathOf(f[1]))) << f[1];
    } else if (f[0] == "readonly" && f.size() == 2) {
      MakeReadOnly(winsim::HostPathOf(f[1].size() == 1 ? f[1] + ":\\" : f[1]));
    } else if (f[0] == "reg" && f.size() == 5 && f[3] == "sz") {
      winsim::RegSetString(f[1], f[2], f[4]);
    } else if (f[0] == "reg" && f.size() == 5 && f[3] == "dword") {
      uint32_t value = static_cast<uint32_t>(std::stoul(f[4]));
      winsim::RegSetValue(f[1], f[2], REG_DWORD,
                          {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
    } else if (f[0] == "regkey" && f.size() == 2) {
      winsim::RegCreateKeyPath(f[1]);
    } else {
      return false;
    }
    return true;
  }

  void MapScenarioDrive(char letter, unsigned type, const std::string& media) {
    if (media == "-") {
      winsim::MapEmptyDrive(letter, type);
      return;
    }
    std::string folder = HostFolder(std::string("drive-") + letter);
    if (media == "system") {
      for (const char* name : kSystemFolders) fs::create_directories(fs::path(folder) / name);
    } else {
      fs::copy(fs::path(QT_MEDIA_DIR) / media, folder, fs::copy_options::recursive);
    }
    winsim::MapDrive(letter, type, folder);
  }

  // Files of a CD: every file without write permission, which reads as
  // read-only on both platforms.
  static void MakeReadOnly(const std::string& host) {
    if (fs::is_regular_file(host)) chmod(host.c_str(), 0444);
    if (!fs::is_directory(host)) return;
    for (const auto& entry : fs::recursive_directory_iterator(host))
      if (entry.is_regular_file()) chmod(entry.path().c_str(), 0444);
  }

  // The host path for a file that may not exist yet: its drive's folder
  // joined with the rest of the path, whose names lie on the host as the
  // code page's bytes. Read by character: a trail byte may be a backslash.
  static std::string HostOfNew(const std::string& windowsPath) {
    std::string host = winsim::HostPathOf(windowsPath.substr(0, 3)) + "/";
    for (size_t i = 3; i < windowsPath.size(); ++i) {
      bool pair = IsDBCSLeadByte(static_cast<BYTE>(windowsPath[i])) && i + 1 < windowsPath.size();
      host += windowsPath[i] == '\\' ? '/' : windowsPath[i];
      if (pair) host += windowsPath[++i];
    }
    return host;
  }

  // Sets the user up to act as the scenario says and to write down what was
  // shown, in order, in the robot's transcript form.
  void PrepareUser(const Scenario& scenario) {
    std::vector<std::string> group;
    std::string showing;  // the text of a status line no box or dialog step followed yet
    for (const auto& line : scenario.lines) {
      const auto& f = line.fields;
      if (f[0] == "box" && f.size() == 5) {
        boxAnswers_.push_back(f[4]);
        expected_.push_back(Join(f, "\t"));
        showing.clear();
      } else if (f[0] == "status" && f.size() == 2) {
        expected_.push_back(Join(f, "\t"));
        showing = f[1] == "hidden" ? "" : f[1];
      } else if (f[0] == "shot" && f.size() == 2 && !showing.empty()) {
        // A picture of the status window, taken under Wine only.
      } else if (f[0] == "arrives" && f.size() == 4 && !showing.empty()) {
        ArriveDuringFirstWait(showing, f[1], f[2], f[3]);
      } else if (f[0] == "dialog" || f[0] == "select" || f[0] == "type" || f[0] == "press" || f[0] == "shot") {
        if (f[0] == "dialog") expected_.push_back(Join(f, "\t"));
        group.push_back(Join(f, "\t"));
        showing.clear();
        if (f[0] == "press") {
          dialogGroups_.push_back(group);
          group.clear();
        }
      } else if (f[0] == "exit" && f.size() == 2) {
        expected_.push_back(Join(f, "\t"));
      } else if (f[0] == "eject" && f.size() == 3) {
        EjectOnceThere(f[1][0], f[2]);
      } else if (f[0] == "insert" && f.size() == 2) {
        insertAtNextBox_ = f[1][0];
      } else if ((f[0] == "tree" || f[0] == "content" || f[0] == "attributes") && f.size() == 3) {
        outcomes_.push_back(f);
      } else if (f[0] == "started" && f.size() == 3) {
        starts_.push_back(Join(f, "\t"));
      } else if (f[0] == "gap" && f.size() == 3 && (f[1] == "winsim" || f[1] == "wine")) {
        if (f[1] == "winsim") gap_ = f[2];
      } else if (!ApplyMachineLine(f)) {
        ADD_FAILURE() << scenario.name << ":" << line.number << ": line not understood: " << Join(f, "\t");
      }
    }
    EXPECT_TRUE(group.empty()) << scenario.name << ": dialog steps without a final press";
    winsim::SetBoxHandler([this](const winsim::BoxRecord& box) { return AnswerBox(box); });
    winsim::SetDialogHandler([this](winsim::DialogUser& user) { OperateDialog(user); });
  }

  // Windows writes the value half way through the installer's first 5 s
  // wait for the device, when the status window shows `text` (under Wine
  // the robot writes it once it sees that).
  static void ArriveDuringFirstWait(const std::string& text, const std::string& key, const std::string& name,
                                    const std::string& value) {
    winsim::ScheduleAt(winsim::Now() + 2500, [=] {
      std::vector<winsim::WindowInfo> windows = winsim::ProgramWindows();
      bool shown = windows.size() == 1 && windows[0].visible && !windows[0].controls.empty() &&
                   EscapeText(windows[0].controls[0].text) == text;
      EXPECT_TRUE(shown) << key << " arrives while the status window does not show " << text;
      winsim::RegSetString(key, name, value);
    });
  }

  // The status window's changes since the last call, as the robot writes
  // them: its text each time it comes into sight or shows another one,
  // "hidden" when it goes.
  void TakeStatusLines() {
    std::vector<winsim::ScreenChange> changes = winsim::ScreenChanges();
    for (; statusTaken_ < changes.size(); ++statusTaken_) {
      const winsim::WindowInfo& window = changes[statusTaken_].window;
      std::string text = window.controls.empty() ? "" : EscapeText(window.controls[0].text);
      if (window.visible && (!statusVisible_ || text != statusText_))
        seen_.push_back("status\t" + text);
      else if (!window.visible && statusVisible_)
        seen_.push_back("status\thidden");
      statusVisible_ = window.visible;
      statusText_ = text;
    }
  }

  // The disc goes out of drive `letter` before the first copy that comes
  // after `file` exists.
  void EjectOnceThere(char letter, const std::string& file) {
    winsim::BeforeCall("CopyFileA", winsim::CallCount("CopyFileA") + 1, [this, letter, file] {
      if (fs::exists(winsim::HostPathOf(file)))
        winsim::EjectMedium(letter);
      else
        EjectOnceThere(letter, file);
    });
  }

  int AnswerBox(const winsim::BoxRecord& box) {
    TakeStatusLines();
    if (insertAtNextBox_ != 0) {  // the disc goes back in while the box is up
      winsim::InsertMedium(insertAtNextBox_, HostFolder(std::string("drive-") + insertAtNextBox_));
      insertAtNextBox_ = 0;
    }
    std::string shown = "box\t" + box.caption + "\t" + EscapeText(box.text) + "\t" + ButtonsOf(box.type);
    if (boxAnswers_.empty()) {
      // Unforeseen: answered so that the run heads for its end.
      seen_.push_back("unexpected\t" + shown);
      return box.type == MB_YESNO ? IDYES : IDOK;
    }
    std::string answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    seen_.push_back(shown + "\t" + answer);
    return AnswerOf(answer);
  }

  void OperateDialog(winsim::DialogUser& user) {
    TakeStatusLines();
    if (dialogGroups_.empty()) {
      seen_.push_back("unexpected\tdialog\t" + user.Caption() + "\t" + user.Field());
      user.PressCancel();
      return;
    }
    std::vector<std::string> steps = dialogGroups_.front();
    dialogGroups_.pop_front();
    for (const auto& step : steps) {
      std::string verb = step.substr(0, step.find('\t'));
      if (verb == "dialog") {
        seen_.push_back("dialog\t" + user.Caption() + "\t" + user.Field() + "\t" + std::to_string(user.Selection()) +
                        "\t" + Join(user.Lines(), "|"));
      } else if (verb != "shot") {  // a picture is taken under Wine only
        OperateDialogStep(user, step);
      }
    }
  }

  std::vector<std::string> expected_;
  std::vector<std::string> seen_;
  std::deque<std::string> boxAnswers_;
  std::deque<std::vector<std::string>> dialogGroups_;
  std::vector<std::vector<std::string>> outcomes_;
  std::vector<std::string> starts_;
  std::string gap_;  // why the simulation is known to differ here, if it is
  char insertAtNextBox_ = 0;
  // The status window's changes written down so far, and how they left it.
  size_t statusTaken_ = 0;
  bool statusVisible_ = false;
  std::string statusText_;
};

TEST_P(ScenarioTest, RunsAsDescribed) {
  Scenario scenario = ReadScenario(GetParam());
  ASSERT_FALSE(scenario.lines.empty()) << GetParam();
  ASSERT_EQ(scenario.error, "") << GetParam();
  // The code page comes first: the machine's names are read in it.
  winsim::SetCodePage(scenario.codePage);
  // The scenario describes the whole machine: nothing of the typical one stays.
  ClearDrives();
  MapScenarioDrive('C', winsim::kDriveFixed, "system");
  PrepareUser(scenario);

  int exitCode = RunInstaller();
  TakeStatusLines();
  seen_.push_back("exit\t" + std::to_string(exitCode));
  // Programs started: the program's Windows path and its command line.
  for (const auto& start : winsim::ProcessStarts())
    if (start.result > 31) seen_.push_back("started\t" + start.program + "\t" + start.commandLine);
  expected_.insert(expected_.end(), starts_.begin(), starts_.end());
  for (const auto& outcome : outcomes_) {
    expected_.push_back(Join(outcome, "\t"));
    std::string host = winsim::HostPathOf(outcome[1]);
    if (outcome[0] == "tree") {
      seen_.push_back("tree\t" + outcome[1] + "\t" + TreeOf(host));
    } else if (outcome[0] == "attributes") {
      seen_.push_back("attributes\t" + outcome[1] + "\t" + AttributesOf(outcome[1]));
    } else {
      std::ifstream in(host, std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      seen_.push_back("content\t" + outcome[1] + "\t" + (in ? EscapeText(text) : "(missing)"));
    }
  }
  // A scenario marked as a known gap of the simulation must differ.
  std::optional<KnownGap> gap;
  if (!gap_.empty()) gap.emplace(scenario.name + ": " + gap_, __FILE__, __LINE__);
  EXPECT_EQ(StatusLinesAsExpected(expected_, seen_), expected_) << "seen:\n" << Join(seen_, "\n");
}

// A scenario the runners cannot read as written says why instead of
// running under another code page.
TEST(ScenarioReaderTest, TextsWithNoPlaceInTheCodePageAreRefused) {
  TempFolder folder("qtonal-scenario");
  const char* const texts[] = {
      "codepage\t99999999999999999999\n",  // no code page, and too long a number
      "codepage\t93x\n",
      "codepage\t1252\nput\tD:\\\xE8\xA1\xA8\tx\n",   // 表 has no place in 1252
      "codepage\t932\nput\tD:\\\xE8\xA1\tx\n",        // not UTF-8
  };
  for (const char* text : texts) {
    std::ofstream(folder.path() + "/a.scn", std::ios::binary) << text;
    EXPECT_NE(ReadScenario(folder.path() + "/a.scn").error, "") << text;
  }
  std::ofstream(folder.path() + "/a.scn", std::ios::binary) << "codepage\t932\nput\tD:\\\xE8\xA1\xA8\tx\n";
  Scenario read = ReadScenario(folder.path() + "/a.scn");
  EXPECT_EQ(read.error, "");
  EXPECT_EQ(read.lines[1].fields[1], "D:\\\x95\x5C");
}

// The status lines a scenario names are found in order between the same
// box lines, among any others.
TEST(ScenarioReaderTest, ExpectedStatusLinesAreSeenInOrderBetweenTheSameBoxes) {
  const std::vector<std::string> expected = {"status\tA", "status\tB", "box\tX", "status\thidden", "exit\t0"};
  const std::pair<std::vector<std::string>, bool> rows[] = {
      {{"status\tA", "status\tZ", "status\tB", "box\tX", "status\tC", "status\thidden", "exit\t0"}, true},
      {{"status\tB", "status\tA", "box\tX", "status\thidden", "exit\t0"}, false},  // out of order
      {{"status\tA", "box\tX", "status\tB", "status\thidden", "exit\t0"}, false},  // after the box
      {{"status\tA", "status\tB", "box\tX", "exit\t0"}, false},                    // one not seen
  };
  for (const auto& [seen, passes] : rows)
    EXPECT_EQ(StatusLinesAsExpected(expected, seen) == expected, passes) << Join(seen, " ");
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

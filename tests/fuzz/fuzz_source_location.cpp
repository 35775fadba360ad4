// Fuzz target: the marker INI file's bytes and the drive layout, through
// phases D to F (drive list, INI search, drivers folder), with a user who
// operates the folder dialog a few times and then cancels and exits.
//
// Each input builds a machine: a Windows version, up to six drives of any
// type (with or without a medium), INI files in "Audio\" or the root with
// bytes from the input, drivers trees with some of the setup programs, and
// now and then an injected platform fault. The real phases then run, and the
// outcome is checked against what the installer must do:
//   - a drivers folder handed on ends with a backslash, fits 259
//     characters, and its setup program for this Windows exists;
//   - the drive list holds exactly the CD-ROM and fixed drives, in order;
//   - the INI route reads the first INI in drive order, and a value of no
//     characters ends the run with nothing shown;
//   - the folder the run settles on is the one the route predicts;
//   - only the installer's own boxes appear, ownerless, OK or Yes/No;
//   - no key, file, search or window is left open.
// Without injected faults the exact route is predicted; with them only what
// must hold whatever the platform did.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "box_texts.h"
#include "drive_list.h"
#include "fuzz_support.h"
#include "os_kind.h"
#include "sim_faults.h"
#include "sim_machine.h"
#include "sim_user.h"
#include "source_location.h"

namespace {

using qfuzz::Fail;
using qfuzz::Require;
using qfuzz::RequireSame;

// Four showings reach every route (the third failed showing ends the dialog
// route) at two thirds of the cost of six.
const int kShowingsBeforeLeaving = 4;

const winsim::Version kVersions[] = {winsim::kWin95, winsim::kWin98, winsim::kWinMe, winsim::kNT40,
                                     winsim::kWin31};
const unsigned kDriveTypes[] = {winsim::kDriveFixed, winsim::kDriveCdrom, winsim::kDriveRemovable,
                                winsim::kDriveRemote, winsim::kDriveRamdisk, 0, 1};
// Host forms of the kind setup paths, in the order Win95, Win98, NT.
const char* const kSetupFiles[] = {"W95-98/app/W95/Setup.exe", "W95-98/app/W98/Setup.exe", "NT40/app/Setup.exe"};

// The code page of this input's machine, as the model reads it.
qfuzz::CodePageModel sCodePage;

// A name a drivers tree may have on the medium (host form, '/' between
// folders), from a few typical ones or from the input.
std::string TreeName(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return "DRIVERS";
    case 1: return "drivers";
    case 2: return "Q Tonal/Disk 1";
    case 3: return std::string(in.ConsumeIntegralInRange<size_t>(1, 240), 'L');
    case 4: {
      // Double-byte names whose second bytes may be a backslash.
      std::string name = qfuzz::DoubleByteName(in, sCodePage.number);
      return in.ConsumeBool() ? name + "/" + qfuzz::DoubleByteName(in, sCodePage.number) : name;
    }
    default: {
      // Printable characters a folder name can hold on both sides.
      std::string name = in.ConsumeRandomLengthString(64);
      std::string clean;
      for (char c : name)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-')
          clean += c;
      return clean.empty() ? "X" : clean;
    }
  }
}

// The text of "DriversPath", often built around a tree that exists.
std::string DriversPathValue(FuzzedDataProvider& in, const std::string& tree) {
  std::string value(in.ConsumeIntegralInRange<size_t>(0, 3), '\\');
  value += in.ConsumeBool() ? qfuzz::WindowsForm(tree) : in.ConsumeRandomLengthString(300);
  if (in.ConsumeBool()) value += "\\";
  if (in.ConsumeBool()) value += in.ConsumeRandomLengthString(8);
  return value;
}

// An INI file's bytes: raw from the input, or a profile around the entry.
std::string IniBytes(FuzzedDataProvider& in, const std::string& tree) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeRandomLengthString(2048);
    case 1: return "[Setup]\r\nDriversPath=" + DriversPathValue(in, tree) + "\r\n";
    case 2: {
      std::string text = in.ConsumeRandomLengthString(64) + "\n";
      text += in.ConsumeBool() ? "[ setup ]\n" : "[SETUP]\n";
      text += in.ConsumeBool() ? "driverspath = \"" + DriversPathValue(in, tree) + "\"\n" : "DriversPath\n";
      return text + in.ConsumeRandomLengthString(64);
    }
    default:
      return "[Other]\nDriversPath=x\n[Setup]\n" + in.ConsumeRandomLengthString(16) + "=" +
             DriversPathValue(in, tree) + "\n";
  }
}

struct MachineDrive {
  unsigned type;
  bool medium;
  std::string tree;  // host form, below the drive's folder
};

// What the user does in one showing of the dialog.
enum UserAction { kCancel, kEscape, kClose, kOkAsShown, kTypeAndOk, kTypeTreeAndOk, kNavigateAndOk, kActions };

struct Story {
  winsim::Version version{};
  std::map<char, MachineDrive> drives;
  bool faults = false;
};

// The setup program of this Windows below `folder`, as the proof asks for
// it; "" on a system that has none.
std::string SetupPathFor(const OsKind& os) {
  if (os.isWin95) return "W95-98\\app\\W95\\Setup.exe";
  if (os.isWin98) return "W95-98\\app\\W98\\Setup.exe";
  if (os.isNT) return "NT40\\app\\Setup.exe";
  return "";
}

// Whether a folder passes the proof, judged from the machine itself: it ends
// with a backslash character and its setup program is a file there.
bool PassesOnTheMachine(const std::string& folder, const OsKind& os) {
  std::string setup = SetupPathFor(os);
  if (setup.empty() || !sCodePage.LastIsBackslash(folder)) return false;
  return winsim::IsFileOnMachine(folder + setup);
}

// What OK hands back for the field's text: at most 259 bytes, up to the
// first NUL, with a backslash added when there is room and the text does
// not end inside a character.
std::string FolderFromField(std::string text) {
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  if (text.size() > MAX_PATH - 1) text.resize(MAX_PATH - 1);
  sCodePage.AppendBackslash(&text);
  return text;
}

// The INI route's folder for a value, or "" when it does not fit.
std::string IniFolder(const std::string& root, std::string value) {
  if (!value.empty() && value[0] == '\\') value.erase(0, 1);
  std::string folder = root + value;
  if (folder.size() > MAX_PATH - 1 || !sCodePage.AppendBackslash(&folder)) return "";
  return folder;
}

void BuildMachine(FuzzedDataProvider& in, Story* story) {
  qfuzz::Scratch& scratch = qfuzz::Scratch::InMemory();
  scratch.Plan();
  sCodePage.number = qfuzz::PickCodePage(in);
  winsim::SetCodePage(sCodePage.number);
  story->version = kVersions[in.ConsumeIntegralInRange<size_t>(0, 4)];
  winsim::SetVersion(story->version);

  size_t count = in.ConsumeIntegralInRange<size_t>(0, 6);
  for (size_t i = 0; i < count; ++i) {
    char letter = static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25));
    MachineDrive drive{kDriveTypes[in.ConsumeIntegralInRange<size_t>(0, 6)], in.ConsumeIntegralInRange(0, 4) != 0,
                       TreeName(in)};
    story->drives[letter] = drive;
    std::string base(1, letter);
    if (!drive.medium) {
      winsim::MapEmptyDrive(letter, drive.type);
      continue;
    }
    winsim::MapDrive(letter, drive.type, scratch.Folder(base));
    // The setup programs of some kinds, and the driver folders.
    unsigned kinds = in.ConsumeIntegral<uint8_t>();
    for (int kind = 0; kind < 3; ++kind)
      if (kinds & (1u << kind)) scratch.File(base + "/" + drive.tree + "/" + kSetupFiles[kind], "setup");
    // A setup program that is a folder cannot be opened.
    if (kinds & 8u) scratch.Folder(base + "/" + drive.tree + "/" + kSetupFiles[1]);
    // The INI files: none, a file, or a folder in the file's place.
    const char* const iniNames[][2] = {{"Audio/rizidid.ini", "AUDIO/RIZIDID.INI"}, {"rizidid.ini", "RiZiDiD.InI"}};
    for (const auto& names : iniNames) {
      int what = in.ConsumeIntegralInRange(0, 3);
      const char* name = names[in.ConsumeBool() ? 1 : 0];
      if (what == 1 || what == 2) scratch.File(base + "/" + name, IniBytes(in, drive.tree));
      if (what == 3) scratch.Folder(base + "/" + name);
    }
  }
  scratch.Build();

  // Now and then the platform fails somewhere along the way.
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    static const char* const kFunctions[] = {"GetLogicalDriveStringsA", "GetDriveTypeA", "CreateFileA",
                                             "GetPrivateProfileStringA", "FindFirstFileA", "FindNextFileA",
                                             "DialogBoxParamA"};
    static const uint32_t kErrors[] = {ERROR_NOT_READY, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND,
                                       ERROR_SHARING_VIOLATION};
    int rules = in.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < rules; ++i)
      winsim::InjectFault(kFunctions[in.ConsumeIntegralInRange<size_t>(0, 6)], in.ConsumeIntegralInRange(1, 12),
                          kErrors[in.ConsumeIntegralInRange<size_t>(0, 3)], in.ConsumeIntegralInRange(0, 3));
    story->faults = true;
  }
}

// The scripted user. Each showing of the dialog is operated as the input
// says, until the user has seen it often enough, or the input ends, and
// leaves: Cancel, then Yes.
struct User {
  FuzzedDataProvider* in;
  const Story* story;
  OsKind os;
  int showings = 0;
  bool leaving = false;
  // What each OK handed back, in order, as the dialog route must take it.
  std::vector<std::string> okFolders;
  std::vector<std::string> firstLines;  // the drive lines the first showing began with

  void Operate(winsim::DialogUser& user) {
    ++showings;
    if (showings == 1) firstLines = user.Lines();
    // The user leaves after enough showings, or as soon as the input has
    // nothing more to say: a short input then costs one showing, not four.
    if (showings >= kShowingsBeforeLeaving || in->remaining_bytes() == 0) {
      leaving = true;
      user.PressCancel();
      return;
    }
    switch (in->ConsumeIntegralInRange(0, kActions - 1)) {
      case kCancel: user.PressCancel(); return;
      case kEscape: user.PressEscape(); return;
      case kClose: user.Close(); return;
      case kOkAsShown: break;
      case kTypeAndOk: user.Type(in->ConsumeRandomLengthString(600)); break;
      case kTypeTreeAndOk: {
        // The drivers tree of one of the drives, typed as a user would.
        std::string typed = "C:\\";
        if (!story->drives.empty()) {
          auto it = story->drives.begin();
          std::advance(it, in->ConsumeIntegralInRange<size_t>(0, story->drives.size() - 1));
          typed = std::string(1, it->first) + ":\\" + qfuzz::WindowsForm(it->second.tree);
        }
        if (in->ConsumeBool()) typed += "\\";
        user.Type(typed);
        break;
      }
      default: {
        int steps = in->ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < steps; ++i) {
          size_t lines = user.Lines().size();
          if (lines == 0) break;
          user.Select(static_cast<int>(in->ConsumeIntegralInRange<size_t>(0, lines - 1)));
        }
        break;
      }
    }
    okFolders.push_back(FolderFromField(user.Field()));
    if (in->ConsumeBool()) user.PressEnter();
    else user.PressOK();
  }

  int Answer(const winsim::BoxRecord& box) {
    Require(!box.hasOwner, "a box with an owner window");
    if (box.text == texts::kNoDrivers) {
      Require(box.type == MB_OK && box.caption == texts::kWarningCaption,
              "the no-drivers box is not an OK box captioned Warning");
      return IDOK;
    }
    if (box.text == texts::kExit) {
      Require(box.type == MB_YESNO && box.caption == texts::kWarningCaption,
              "the exit prompt is not a Yes/No box captioned Warning");
      if (leaving) return IDYES;
      return in->ConsumeBool() ? IDNO : (in->ConsumeBool() ? IDOK : 0);  // anything but Yes goes on
    }
    Fail("a box phases D to F never show: \"" + box.caption + "\" / \"" + box.text + "\"");
  }
};

}  // namespace

void qfuzz::RunInstallerInput(FuzzedDataProvider& in) {
  winsim::Reset();
  Story story;
  BuildMachine(in, &story);
  // The phases only read the drives: their listings are kept from here on.
  winsim::FreezeHostFolders();

  OsKind os = ClassifyOs();
  User user{&in, &story, os, 0, false, {}, {}};
  winsim::SetBoxHandler([&user](const winsim::BoxRecord& box) { return user.Answer(box); });
  winsim::SetDialogHandler([&user](winsim::DialogUser& dialog) { user.Operate(dialog); });

  DriveList drives;
  ListDrives(&drives);
  char folder[MAX_PATH];  // exactly the program's buffer: a write past it is caught
  memset(folder, 0x5A, sizeof folder);
  BOOL located = LocateDriversFolder(os, drives, folder);

  qfuzz::RequireNothingLeftOpen();
  Require(winsim::PendingDialogScripts() == 0, "scripted dialogs left over");

  std::string result;
  if (located) {
    Require(memchr(folder, '\0', MAX_PATH) != nullptr, "the drivers folder is not terminated within MAX_PATH");
    result = folder;
    Require(sCodePage.LastIsBackslash(result), "the drivers folder does not end with a backslash: " + result);
    Require(result.size() <= MAX_PATH - 1, "the drivers folder is longer than 259 characters");
    Require(PassesOnTheMachine(result, os), "the drivers folder has no setup program for this Windows: " + result);
  }

  std::vector<winsim::DialogRecord> dialogs = winsim::Dialogs();
  std::vector<winsim::BoxRecord> boxes = winsim::Boxes();
  for (const auto& dialog : dialogs)
    Require(dialog.templateId == 102, "a dialog other than the source folder dialog was shown");

  // The user left only through Cancel and Yes, or the run ended on the INI
  // route, or (with faults) the dialog could not be shown three times.
  if (!located && !dialogs.empty()) {
    bool leftByYes = !boxes.empty() && boxes.back().text == texts::kExit && boxes.back().answer == IDYES;
    bool failedShowings = dialogs.size() >= 3 && dialogs.back().result == -1 && !boxes.empty() &&
                          boxes.back().text == texts::kNoDrivers;
    Require(leftByYes || failedShowings, "the run ended in the dialog route without the user leaving");
    Require(story.faults || leftByYes, "the run ended without the user leaving, with no fault injected");
  }

  if (story.faults) return;

  // ---- The exact route, predicted from the machine. ----
  std::vector<std::string> roots;
  for (const auto& entry : story.drives)
    if (entry.second.type == winsim::kDriveCdrom || entry.second.type == winsim::kDriveFixed)
      roots.push_back(std::string(1, entry.first) + ":\\");
  qfuzz::RequireEqual(drives.Count(), static_cast<int>(roots.size()), "drives in the drive list");
  for (size_t i = 0; i < roots.size(); ++i) RequireSame(drives.At(static_cast<int>(i)), roots[i], "drive list entry");
  if (!dialogs.empty()) {
    Require(user.firstLines.size() >= roots.size(), "the dialog shows fewer lines than there are drives");
    for (size_t i = 0; i < roots.size(); ++i)
      RequireSame(user.firstLines[i], "[" + roots[i].substr(0, 2) + "]", "drive line of the dialog");
  }

  // The INI search: the first drive in list order with either file.
  std::string iniPath, iniRoot;
  for (const std::string& root : roots) {
    for (const char* candidate : {"Audio\\rizidid.ini", "rizidid.ini"}) {
      if (iniPath.empty() && winsim::IsFileOnMachine(root + candidate)) {
        iniPath = root + candidate;
        iniRoot = root;
      }
    }
  }
  const auto& reads = winsim::ProfileReads();
  bool dialogRoute = true;
  if (!iniPath.empty()) {
    qfuzz::RequireEqual(reads.size(), static_cast<size_t>(1), "profile reads");
    RequireSame(reads[0].file, iniPath, "the INI file read");
    RequireSame(reads[0].section, "Setup", "the section read");
    RequireSame(reads[0].key, "DriversPath", "the key read");
    if (reads[0].returned == 0) {
      Require(!located && dialogs.empty() && boxes.empty(), "an empty DriversPath did not end the run silently");
      return;
    }
    std::string expected = IniFolder(iniRoot, reads[0].text);
    if (!expected.empty() && PassesOnTheMachine(expected, os)) {
      Require(located && dialogs.empty() && boxes.empty(), "a proved INI folder was not taken at once");
      RequireSame(result, expected, "the INI route's drivers folder");
      dialogRoute = false;
    }
  } else {
    Require(reads.empty(), "a profile was read although no INI file exists");
  }
  if (!dialogRoute) return;

  // The dialog route: each OK takes what the field held, and the first one
  // that passes ends the route; every other OK is told that nothing was found.
  Require(!dialogs.empty(), "neither route located a folder, yet no dialog was shown");
  size_t warnings = 0;
  for (const auto& box : boxes) warnings += box.text == texts::kNoDrivers ? 1 : 0;
  std::string firstPassing;
  size_t failingOks = 0;
  for (const std::string& ok : user.okFolders) {
    if (PassesOnTheMachine(ok, os)) {
      firstPassing = ok;
      break;
    }
    ++failingOks;
  }
  if (!firstPassing.empty()) {
    Require(located, "an OK on a folder that passes did not locate it: " + firstPassing);
    RequireSame(result, firstPassing, "the dialog route's drivers folder");
  } else {
    Require(!located, "located a folder although no OK passed");
  }
  qfuzz::RequireEqual(warnings, failingOks, "no-drivers warnings");
  if (os.isWin95 == 0 && os.isWin98 == 0 && os.isNT == 0) Require(!located, "a folder passed on an unknown Windows");
}

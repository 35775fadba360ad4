// Fuzz target: the source folder dialog over a random folder tree (long,
// odd and deep names, hidden folders, files among them) on a few drives,
// operated by a user who clicks lines, types texts, paints the minimised
// dialog and ends it with OK, Enter, Cancel, Escape or Close.
//
// A small model of the dialog runs beside it and predicts, after every
// action, the lines, the selection, the field and the dialog's current
// folder. Folder listings are taken from the platform's own folder search,
// in the order it returns them, as the dialog is to show them; everything
// else (drive lines first, where a click leads, what stays when a folder
// cannot be entered, what OK hands back) is the model's own. It also checks
// that the current folder never exceeds 259 characters, that the painting
// centres the icon, and that no window or search is left behind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "drive_list.h"
#include "fuzz_support.h"
#include "sim_machine.h"
#include "source_dir_dlg.h"

namespace {

using qfuzz::Fail;
using qfuzz::Require;
using qfuzz::RequireSame;

// Bounds on what one input decodes: a tree of a dozen entries per drive
// (two long names already reach past 259 characters) and a dozen actions per
// showing keep an input short, so that the fuzzer runs many of them.
const size_t kMaxEntries = 12;
const int kMaxActions = 12;

// The code page of this input's machine, as the model reads it.
qfuzz::CodePageModel sCodePage;

// A folder or file name as the host can hold it: any bytes but '/' and NUL,
// at most 255 of them. Many are names Windows cannot address (the platform
// hides them); some are long enough to push a path past 259 characters;
// some hold double-byte characters whose second byte is a backslash.
std::string HostName(FuzzedDataProvider& in) {
  std::string name;
  switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0: name = std::string(in.ConsumeIntegralInRange<size_t>(1, 255), 'n'); break;
    case 1: name = "." + in.ConsumeRandomLengthString(20); break;  // hidden
    case 2: name = in.ConsumeBool() ? "DRIVERS" : "drivers"; break;
    case 3: name = qfuzz::DoubleByteName(in, sCodePage.number); break;
    default: name = in.ConsumeRandomLengthString(255); break;
  }
  std::string clean;
  for (char c : name)
    if (c != '/' && c != '\0') clean += c;
  if (clean.size() > 255) clean.resize(255);
  if (clean.empty() || clean == "." || clean == "..") clean = "x";
  return clean;
}

// Plans a tree below `base` (relative to the scratch folder): each new
// entry goes into one of the folders made so far, so depth comes by itself;
// some runs grow one deep chain.
void PlanTree(FuzzedDataProvider& in, qfuzz::Scratch& scratch, const std::string& base) {
  std::vector<std::string> folders = {base};
  bool chain = in.ConsumeIntegralInRange(0, 3) == 0;
  size_t entries = in.ConsumeIntegralInRange<size_t>(0, kMaxEntries);
  for (size_t i = 0; i < entries; ++i) {
    const std::string& parent = chain ? folders.back() : folders[in.ConsumeIntegralInRange<size_t>(0, folders.size() - 1)];
    std::string path = parent + "/" + HostName(in);
    if (in.ConsumeIntegralInRange(0, 4) == 0) {
      scratch.File(path, "file");
    } else if (scratch.NewFolder(path)) {
      folders.push_back(path);
    }
  }
}

// The dialog as it must be, computed beside it.
struct Model {
  std::vector<std::string> roots;  // the drive list
  std::vector<std::string> lines;
  int selection = -1;
  std::string field;
  std::string path;
  // Listings taken so far in this run, by folder: the tree does not change
  // while the dialogs run, and searching again cost as much as the dialog's
  // own search.
  std::map<std::string, std::vector<std::string>>* listings = nullptr;

  std::vector<std::string> Listing(const std::string& folder) {
    auto known = listings->find(folder);
    if (known != listings->end()) return known->second;
    return (*listings)[folder] = Search(folder);
  }

  // The folder lines of a listing, from the platform's search.
  static std::vector<std::string> Search(const std::string& folder) {
    std::vector<std::string> lines;
    if (folder.size() + 3 >= MAX_PATH) return lines;  // the pattern does not fit
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return lines;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) lines.push_back("[" + std::string(found.cFileName) + "]");
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return lines;
  }

  std::vector<std::string> DriveLines() const {
    std::vector<std::string> drives;
    for (const std::string& root : roots) drives.push_back("[" + root.substr(0, root.size() - 1) + "]");
    return drives;
  }

  void Init() {
    lines = DriveLines();
    if (roots.empty()) return;
    std::vector<std::string> listed = Listing(roots[0]);
    lines.insert(lines.end(), listed.begin(), listed.end());
    field = path = roots[0];
    selection = 0;
  }

  void Show(std::string folder) {
    lines = DriveLines();
    if (!roots.empty()) {
      if (folder.empty()) folder = roots[0];
      std::vector<std::string> listed = Listing(folder);
      lines.insert(lines.end(), listed.begin(), listed.end());
    }
    if (!lines.empty()) {
      field = path = folder;
      selection = 0;
    } else {
      field = path = "";
      selection = -1;
    }
  }

  void Select(int line) {
    selection = line;
    const std::string& text = lines[static_cast<size_t>(line)];
    if (line < static_cast<int>(roots.size())) return Show(roots[static_cast<size_t>(line)]);
    if (text == "[.]") return;
    if (text == "[..]") return Show(sCodePage.ParentOf(path));
    // The name between the brackets, read by character: a name whose last
    // byte leads a character (whose second byte would be the bracket) is
    // not entered, and neither is a folder too long to hold or to search.
    std::string name = text.substr(1, text.size() - 2);
    if (!sCodePage.KeepsCharsWhole(text.substr(1), name.size())) return;
    std::string folder = path + name;
    if (folder.size() > MAX_PATH - 1 || !sCodePage.AppendBackslash(&folder) || folder.size() + 3 >= MAX_PATH) return;
    Show(folder);
  }
};

std::string Quoted(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + " ";
  return text;
}

void Compare(const winsim::DialogUser& user, const Model& model, const CSourceDirDlg& dialog, const char* after) {
  std::vector<std::string> lines = user.Lines();
  if (lines != model.lines) Fail(std::string("lines after ") + after + ": " + Quoted(lines) + "| expected " + Quoted(model.lines));
  qfuzz::RequireEqual(user.Selection(), model.selection, std::string("selection after ") + after);
  RequireSame(user.Field(), model.field, std::string("field after ") + after);
  Require(memchr(dialog.path, '\0', MAX_PATH) != nullptr, "the dialog's folder is not terminated");
  RequireSame(dialog.path, model.path, std::string("current folder after ") + after);
}

void CheckPaint(winsim::DialogUser& user, FuzzedDataProvider& in) {
  int width = in.ConsumeIntegralInRange(0, 2000);
  int height = in.ConsumeIntegralInRange(0, 2000);
  user.Minimise(width, height);
  std::vector<winsim::PaintEvent> paint = user.Paint();
  Require(paint.size() == 4 && paint[0].kind == winsim::PaintEvent::kBeginPaint &&
              paint[1].kind == winsim::PaintEvent::kIconBackground && paint[2].kind == winsim::PaintEvent::kDrawIcon &&
              paint[3].kind == winsim::PaintEvent::kEndPaint,
          "minimised painting is not begin, erase, icon, end");
  qfuzz::RequireEqual(paint[2].x, (width - 32 + 1) / 2, "icon x");
  qfuzz::RequireEqual(paint[2].y, (height - 32 + 1) / 2, "icon y");
  Require(paint[2].icon == user.Icon(true) && paint[2].icon != nullptr, "the painted icon is not the dialog's");
  Require(user.DragIcon() == paint[2].icon, "the drag icon is not the dialog's icon");
  user.Restore();
}

}  // namespace

void qfuzz::RunInstallerInput(FuzzedDataProvider& in) {
  winsim::Reset();
  sCodePage.number = qfuzz::PickCodePage(in);
  winsim::SetCodePage(sCodePage.number);
  qfuzz::Scratch& scratch = qfuzz::Scratch::InMemory();
  scratch.Plan();

  // Up to four drives of the two listed kinds (and now and then another
  // kind, which the drive list leaves out), with trees or without a disc.
  size_t count = in.ConsumeIntegralInRange<size_t>(0, 4);
  for (size_t i = 0; i < count; ++i) {
    char letter = static_cast<char>('C' + in.ConsumeIntegralInRange(0, 5));
    unsigned type = in.ConsumeIntegralInRange(0, 5) == 0 ? winsim::kDriveRemovable
                    : in.ConsumeBool()                    ? winsim::kDriveFixed
                                                          : winsim::kDriveCdrom;
    if (in.ConsumeIntegralInRange(0, 3) == 0) {
      winsim::MapEmptyDrive(letter, type);
      continue;
    }
    std::string base(1, letter);
    std::string host = scratch.Folder(base);
    PlanTree(in, scratch, base);
    winsim::MapDrive(letter, type, host);
  }
  scratch.Build();
  // The dialog only reads the trees: their listings are kept from here on.
  winsim::FreezeHostFolders();
  DriveList drives;
  ListDrives(&drives);
  std::vector<std::string> before;
  for (int i = 0; i < drives.Count(); ++i) before.push_back(drives.At(i));

  int showings = in.ConsumeIntegralInRange(1, 3);
  std::map<std::string, std::vector<std::string>> listings;
  for (int showing = 0; showing < showings; ++showing) {
    Model model;
    model.roots = before;
    model.listings = &listings;
    CSourceDirDlg dialog(drives);
    INT_PTR expectedResult = IDCANCEL;
    std::string expectedPath;
    winsim::SetDialogHandler([&](winsim::DialogUser& user) {
      model.Init();
      Compare(user, model, dialog, "initialisation");
      for (int action = 0;; ++action) {
        int kind = action >= kMaxActions ? 0 : in.ConsumeIntegralInRange(0, 9);
        switch (kind) {
          case 0: {  // the end: OK, Enter, Cancel, Escape or Close
            int how = in.ConsumeIntegralInRange(0, 4);
            if (how <= 1) {
              expectedResult = IDOK;
              std::string text = model.field;
              size_t nul = text.find('\0');
              if (nul != std::string::npos) text.resize(nul);
              if (text.size() > MAX_PATH - 1) text.resize(MAX_PATH - 1);
              sCodePage.AppendBackslash(&text);  // refused: handed back as read
              expectedPath = text;
              if (how == 0) user.PressOK();
              else user.PressEnter();
            } else {
              expectedResult = IDCANCEL;
              if (how == 2) user.PressCancel();
              else if (how == 3) user.PressEscape();
              else user.Close();
            }
            return;
          }
          case 1: {
            std::string text = in.ConsumeRandomLengthString(700);
            user.Type(text);
            model.field = text;
            Compare(user, model, dialog, "typing");
            break;
          }
          case 2: CheckPaint(user, in); break;
          default: {
            if (model.lines.empty()) break;
            int line = static_cast<int>(in.ConsumeIntegralInRange<size_t>(0, model.lines.size() - 1));
            std::string text = model.lines[static_cast<size_t>(line)];
            user.Select(line);
            model.Select(line);
            Compare(user, model, dialog, ("a click on " + text).c_str());
            break;
          }
        }
      }
    });
    INT_PTR result = dialog.DoModal();
    qfuzz::RequireEqual(result, expectedResult, "the dialog's result");
    if (result == IDOK) {
      Require(memchr(dialog.path, '\0', MAX_PATH) != nullptr, "the folder handed back is not terminated");
      RequireSame(dialog.path, expectedPath, "the folder handed back");
      size_t length = strlen(dialog.path);
      Require(length <= MAX_PATH - 1, "the folder handed back is longer than 259 characters");
      Require(length == MAX_PATH - 1 || sCodePage.LastIsBackslash(dialog.path) ||
                  sCodePage.LastIsLoneLead(dialog.path),
              "the folder handed back does not end with a backslash");
    }
    qfuzz::RequireNothingLeftOpen();
  }
  // The dialog never changes the drive list it borrows.
  qfuzz::RequireEqual(static_cast<size_t>(drives.Count()), before.size(), "drives after the dialogs");
  for (size_t i = 0; i < before.size(); ++i)
    RequireSame(drives.At(static_cast<int>(i)), before[i], "drive after the dialogs");
}

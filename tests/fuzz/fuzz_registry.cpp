// Fuzz target: registry contents for the wait for the game-port device
// (phase A) and for the test whether the suite is installed (phase H).
//
// Each input builds the game-port instance keys (names that are candidates
// or nearly so, long names, names that differ only in case), their
// "DeviceDesc" values of any type and size, keys that refuse to open, and
// changes scheduled at virtual times while the installer waits; and the four
// uninstall keys with "Path" values of any type, size and name. A model of
// both phases, written here from how they must behave, predicts every key
// opened (in order, with the access asked for), every 5 s wait, the
// enumeration calls and both answers; the virtual clock makes the waits free.
// Some inputs run the whole installer instead, which must then ask for
// confirmation exactly when no device was seen and start the setup program
// exactly when the suite does not count as installed. No key may stay open.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "box_texts.h"
#include "device_wait.h"
#include "fuzz_support.h"
#include "sim_machine.h"
#include "sim_process.h"
#include "sim_user.h"
#include "status_window.h"
#include "suite_launch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

using qfuzz::Fail;
using qfuzz::Require;
using qfuzz::RequireEqual;

const std::string kEnum = "HKLM\\Enum\\VIRTUAL\\*PNPB02F";
const std::string kUninstallKeys[4] = {
    "HKLM\\Software\\Plurava Applications\\Uninstall", "HKLM\\Software\\Q-Tonal\\Uninstall",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava Applications",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava WinNT Applications"};
const uint32_t kAllAccess = 0xF003F;
const uint32_t kQueryValue = 1;

// Registry names compare without case, folding only a-z, as the platform
// compares them; subkeys enumerate in that order. Without coverage counters:
// the model's comparisons of names up to 1100 characters long were a fifth
// of every run and guide the fuzzer nowhere.
__attribute__((no_sanitize("coverage"))) int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'a' && ca <= 'z') ca -= 32;
    if (cb >= 'a' && cb <= 'z') cb -= 32;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
struct LessNoCase {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

struct Value {
  bool present = false;
  uint32_t type = REG_SZ;
  std::vector<uint8_t> bytes;
};

struct Instance {
  bool opens = true;
  Value description;
};

// A name for an instance key: pieces of a candidate's name in any order and
// case, or anything else without a backslash or NUL, now and then longer
// than the 1024-byte buffer the enumeration reads names into.
std::string InstanceName(FuzzedDataProvider& in) {
  static const char* const kPieces[] = {"PCI", "pci", "VEN_4E51", "VEN_4e51", "ven_4E51", "&DEV_0001",
                                        "&DEV_0002", "_", "\\", "ROOT", "VEN_4E5"};
  std::string name;
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: name = "PCI_VEN_4E51&DEV_000" + std::to_string(in.ConsumeIntegralInRange(0, 9)); break;
    case 1: name = std::string(in.ConsumeIntegralInRange<size_t>(1020, 1100), 'P') + "PCI_VEN_4E51"; break;
    case 2: name = in.ConsumeRandomLengthString(64); break;
    default: {
      int pieces = in.ConsumeIntegralInRange(1, 5);
      for (int i = 0; i < pieces; ++i) name += kPieces[in.ConsumeIntegralInRange<size_t>(0, 10)];
      break;
    }
  }
  std::string clean;
  for (char c : name)
    if (c != '\\' && c != '\0') clean += c;
  return clean.empty() ? "PCI" : clean;
}

Value RandomValue(FuzzedDataProvider& in) {
  static const uint32_t kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, 0};
  Value value;
  value.present = in.ConsumeIntegralInRange(0, 4) != 0;
  value.type = kTypes[in.ConsumeIntegralInRange<size_t>(0, 5)];
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {  // a text with its terminator, short or around the buffer sizes
      size_t length = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 8)
                                       : in.ConsumeIntegralInRange<size_t>(250, 265);
      value.bytes.assign(length, 'g');
      value.bytes.push_back(0);
      break;
    }
    case 1: value.bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300)); break;
    case 2: value.bytes = {0}; break;  // the empty text
    default: break;                      // no bytes at all
  }
  return value;
}

void Store(const std::string& key, const std::string& name, const Value& value) {
  if (value.present) winsim::RegSetValue(key, name, value.type, value.bytes);
  else winsim::RegCreateKeyPath(key);
}

// Changes the machine makes while the installer waits, and the model with it.
struct Change {
  uint64_t when;
  int kind;  // 0 description set, 1 description removed, 2 key made, 3 key deleted, 4 key refuses to open
  std::string name;
  Value value;
};

struct Model {
  std::map<std::string, Instance, LessNoCase> instances;
  bool enumOpens = false;
  std::vector<Change> changes;  // in time order, ties in the order scheduled
  size_t nextChange = 0;

  void Apply(const Change& change) {
    switch (change.kind) {
      case 0: instances[change.name].description = change.value; break;
      case 1: {
        auto it = instances.find(change.name);
        if (it != instances.end()) it->second.description.present = false;
        break;
      }
      case 2: instances[change.name]; break;
      case 3: instances.erase(change.name); break;
      default: instances[change.name].opens = false; break;
    }
  }

  // Phase A as it must run: the keys opened, the waits, the enumeration
  // calls, and whether the device was found.
  bool Wait(std::vector<std::string>* opens, uint64_t* now, int* enumCalls) {
    opens->push_back(kEnum);
    if (!enumOpens) return false;
    bool found = false;
    for (size_t index = 0;; ++index) {
      ++*enumCalls;
      if (index >= instances.size()) break;
      std::string name = std::next(instances.begin(), static_cast<long>(index))->first;
      if (name.size() + 1 > 1024) break;  // the name does not fit: the enumeration ends
      bool candidate = name.find("PCI") != std::string::npos && name.find("VEN_4E51") != std::string::npos;
      if (found || !candidate) continue;
      for (int attempt = 0; attempt < 24 && !found; ++attempt) {
        opens->push_back(kEnum + "\\" + name);
        auto it = instances.find(name);
        if (it == instances.end() || !it->second.opens) continue;  // no wait
        const Value& description = it->second.description;
        if (description.present && !description.bytes.empty() && description.bytes.size() <= 256 &&
            description.bytes[0] != 0) {
          found = true;
        } else {
          *now += 5000;
          while (nextChange < changes.size() && changes[nextChange].when <= *now) Apply(changes[nextChange++]);
        }
      }
    }
    return found;
  }
};

struct UninstallKey {
  bool exists = false;
  bool opens = true;
  std::string pathName = "Path";
  Value path;
};

bool PathCounts(const UninstallKey& key) {
  return CompareNoCase(key.pathName, "Path") == 0 && key.path.present && !key.path.bytes.empty() &&
         key.path.bytes.size() <= MAX_PATH;
}

// Phase H as it must run.
bool Installed(const UninstallKey keys[4], std::vector<std::string>* opens) {
  auto opened = [&](int i) {
    opens->push_back(kUninstallKeys[i]);
    return keys[i].exists && keys[i].opens;
  };
  if (opened(0)) {
    if (PathCounts(keys[0])) return true;
    return opened(1) && PathCounts(keys[1]);
  }
  if (opened(2)) return true;
  return opened(3);
}

// A key path written with its letters in a random case: names are the same.
std::string AnyCase(FuzzedDataProvider& in, std::string path) {
  uint64_t flips = in.ConsumeIntegral<uint64_t>();
  for (size_t i = 5; i < path.size(); ++i) {  // "HKLM\" stays
    char& c = path[i];
    if ((flips >> (i % 64)) & 1u) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
  }
  return path;
}

// The media of a whole run, built once: C: and the CD in D:. The copies
// the installer makes on C: stay and are overwritten by the next run.
void MapMedia() {
  static std::string c, d;
  if (c.empty()) {
    qfuzz::Scratch& scratch = qfuzz::Scratch::OnHost();
    scratch.Plan();
    scratch.File("d/Audio/rizidid.ini", "[Setup]\r\nDriversPath=\\DRIVERS\r\n");
    scratch.File("d/DRIVERS/W95-98/app/W98/Setup.exe", "setup");
    scratch.File("d/DRIVERS/Dosdrv/QTDOS.SYS", "dos");
    scratch.File("d/DRIVERS/W95-98/drv/QTONAL.VXD", "vxd");
    c = scratch.Folder("c");
    d = scratch.Folder("d");
    scratch.Build();
  }
  winsim::MapDrive('C', winsim::kDriveFixed, c);
  winsim::MapDrive('D', winsim::kDriveCdrom, d);
}

}  // namespace

void qfuzz::RunInstallerInput(FuzzedDataProvider& in) {
  winsim::Reset();
  Model model;

  // The game-port tree.
  int enumState = in.ConsumeIntegralInRange(0, 5);  // 0 missing, 1 refuses to open, else present
  model.enumOpens = enumState >= 2;
  std::vector<std::string> names;
  if (enumState >= 1) {
    winsim::RegCreateKeyPath(kEnum);
    if (enumState == 1) winsim::RegFailOpen(kEnum, ERROR_ACCESS_DENIED);
    size_t count = in.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < count; ++i) {
      std::string name = InstanceName(in);
      names.push_back(name);
      std::string key = kEnum + "\\" + name;
      // A name that equals an earlier one but for case names the same key:
      // a value given again replaces the earlier one, none leaves it.
      bool existed = model.instances.count(name) != 0;
      Instance& instance = model.instances[name];
      Value description = RandomValue(in);
      if (description.present || !existed) instance.description = description;
      std::string valueName = in.ConsumeIntegralInRange(0, 5) == 0 ? "DEVICEDESC" : "DeviceDesc";
      Store(key, valueName, description);
      if (in.ConsumeIntegralInRange(0, 5) == 0) {
        instance.opens = false;
        winsim::RegFailOpen(key, ERROR_ACCESS_DENIED);
      }
    }
    // Changes while the installer waits, at times around its 5 s steps.
    size_t changes = in.ConsumeIntegralInRange<size_t>(0, 3);
    for (size_t i = 0; i < changes; ++i) {
      Change change;
      change.when = in.ConsumeIntegralInRange<uint64_t>(0, 300) * 1000;
      change.kind = in.ConsumeIntegralInRange(0, 4);
      change.name = !names.empty() && in.ConsumeBool() ? names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)]
                                                       : InstanceName(in);
      change.value = RandomValue(in);
      change.value.present = true;
      model.changes.push_back(change);
      std::string key = kEnum + "\\" + change.name;
      winsim::ScheduleAt(change.when, [change, key] {
        switch (change.kind) {
          case 0: winsim::RegSetValue(key, "DeviceDesc", change.value.type, change.value.bytes); break;
          case 1: winsim::RegDeleteValue(key, "DeviceDesc"); break;
          case 2: winsim::RegCreateKeyPath(key); break;
          case 3: winsim::RegDeleteKeyPath(key); break;
          default: winsim::RegFailOpen(key, ERROR_ACCESS_DENIED); break;
        }
      });
    }
    std::stable_sort(model.changes.begin(), model.changes.end(),
                     [](const Change& a, const Change& b) { return a.when < b.when; });
  }

  // The uninstall keys.
  UninstallKey keys[4];
  for (int i = 0; i < 4; ++i) {
    keys[i].exists = in.ConsumeIntegralInRange(0, 2) == 0;
    if (!keys[i].exists) continue;
    std::string key = AnyCase(in, kUninstallKeys[i]);
    keys[i].path = RandomValue(in);
    static const char* const kValueNames[] = {"Path", "PATH", "path", "Path ", "", "Paths"};
    keys[i].pathName = kValueNames[in.ConsumeIntegralInRange<size_t>(0, 5)];
    Store(key, keys[i].pathName, keys[i].path);
    if (in.ConsumeIntegralInRange(0, 4) == 0) {
      keys[i].opens = false;
      winsim::RegFailOpen(key, ERROR_FILE_NOT_FOUND);
    }
  }
  if (in.ConsumeBool()) winsim::RegSetString(kUninstallKeys[0] + " Old", "Path", "C:\\Old");  // a neighbour

  std::vector<std::string> expectedOpens;
  uint64_t expectedNow = 0;
  int expectedEnumCalls = 0;
  // The whole installer copies the drivers onto the host disk, which costs
  // ten times a run of the two phases: one input in sixteen asks for it,
  // and never one whose bytes ran out.
  bool wholeRun = in.ConsumeIntegralInRange(0, 15) == 15;
  bool found = model.Wait(&expectedOpens, &expectedNow, &expectedEnumCalls);
  size_t waitOpens = expectedOpens.size();
  bool installed = Installed(keys, &expectedOpens);

  if (wholeRun) {
    MapMedia();
    // Only the installer changes the host folders from here on: listings
    // are kept between its writes.
    winsim::FreezeHostFolders();
    winsim::SetBoxHandler([](const winsim::BoxRecord& box) {
      if (box.text != texts::kConfirm) Fail("a box the run should not show: " + box.text);
      return IDYES;
    });
    RequireEqual(WinMain(nullptr, nullptr, const_cast<char*>(""), 1), 0, "the installer's exit code");
    RequireEqual(winsim::Boxes().size(), static_cast<size_t>(found ? 0 : 1), "confirmation boxes");
    RequireEqual(winsim::ProcessStarts().size(), static_cast<size_t>(installed ? 0 : 1), "setup programs started");
  } else {
    StatusWindow noWindow;  // never opened: the wait alone
    RequireEqual(WaitForGamePort(noWindow) != FALSE, found, "device found");
    RequireEqual(SuiteCountsAsInstalled() != FALSE, installed, "suite counts as installed");
  }

  // Every key opened, in order, with the access asked for.
  const auto& opens = winsim::RegOpens();
  RequireEqual(opens.size(), expectedOpens.size(), "registry keys opened");
  for (size_t i = 0; i < opens.size(); ++i) {
    if (CompareNoCase(opens[i].path, expectedOpens[i]) != 0)
      Fail("key opened as number " + std::to_string(i) + ": " + opens[i].path + ", expected " + expectedOpens[i]);
    RequireEqual(opens[i].sam, i < waitOpens ? kAllAccess : kQueryValue, "access asked for " + opens[i].path);
  }
  RequireEqual(winsim::Now(), expectedNow, "virtual time waited");
  for (uint32_t sleep : winsim::SleepCalls()) RequireEqual(sleep, 5000u, "a wait");
  RequireEqual(winsim::RegEnumCalls(), expectedEnumCalls, "enumeration calls");
  qfuzz::RequireNothingLeftOpen();
}

// Common ground of the fuzz targets: a check that ends the run loudly (the
// fuzzer keeps the input that broke it), a scratch folder for the drives of
// the simulated machine, and the handles every run must have closed.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "sim_dialogs.h"
#include "sim_files.h"
#include "sim_registry.h"

namespace qfuzz {

// An outcome the programs do not have: reported with the input's story and
// ended as a crash, so that libFuzzer saves the input.
[[noreturn]] inline void Fail(const std::string& what) {
  fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  fflush(stderr);
  abort();
}

inline void Require(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

template <typename A, typename B>
void RequireEqual(const A& actual, const B& expected, const std::string& what) {
  if (!(actual == expected)) Fail(what + ": got " + std::to_string(actual) + ", expected " + std::to_string(expected));
}

inline void RequireSame(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual != expected) Fail(what + ": got \"" + actual + "\", expected \"" + expected + "\"");
}

// One folder per fuzzing process for the host side of the drives. An input
// plans the tree it wants (Plan, Folder, File) and Build makes the folder
// hold exactly that tree, touching only what differs from the last input's:
// the mutations of one input that libFuzzer runs in a row mostly share their
// trees, and making and removing host folders was half of every run's time.
// Only the targets write below the folder (the phases they run only read
// it), so what was built last is known without looking. The folder lies in
// QT_FUZZ_TMP when that is set, else in /dev/shm (memory) when there is one.
class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }

  // Starts the plan of an input's tree: nothing yet.
  void Plan() { wanted_.clear(); }

  // Plans a folder below the root, as create_directory would make it: false
  // (and nothing planned) when the path is taken, by a folder or a file, or
  // its parent is not a folder.
  bool NewFolder(const std::string& relative) {
    if (wanted_.count(relative) != 0 || !ParentIsFolder(relative)) return false;
    wanted_[relative] = Entry{true, ""};
    return true;
  }

  // Plans a folder with its parents, as create_directories would, and
  // returns its host path. A file on the way leaves the rest unplanned.
  std::string Folder(const std::string& relative) {
    PlanParents(relative + "/");
    auto it = wanted_.find(relative);
    if (it == wanted_.end() && ParentIsFolder(relative)) wanted_[relative] = Entry{true, ""};
    return root_ + "/" + relative;
  }

  // Plans a file with its folders, as writing it through create_directories
  // and an ofstream would: a folder in its place or a file on its way leaves
  // it unwritten, an earlier file there is overwritten.
  void File(const std::string& relative, const std::string& content) {
    if (!PlanParents(relative)) return;
    auto it = wanted_.find(relative);
    if (it != wanted_.end() && it->second.folder) return;
    wanted_[relative] = Entry{false, content};
  }

  // Makes the host folder hold the planned tree.
  void Build() {
    std::error_code ignored;
    // Away with what is not planned, or not so: children before parents,
    // so that a folder is empty when its turn comes (everything below a
    // folder that goes goes too). Plain unlink and rmdir: remove_all reads
    // each path as a folder first, which cost a third of the run.
    for (auto it = built_.rbegin(); it != built_.rend(); ++it) {
      auto want = wanted_.find(it->first);
      if (want != wanted_.end() && want->second.folder == it->second.folder) continue;
      std::string host = root_ + "/" + it->first;
      if ((it->second.folder ? ::rmdir(host.c_str()) : ::unlink(host.c_str())) != 0)
        std::filesystem::remove_all(host, ignored);
    }
    // Then what is missing or different: parents before children.
    for (const auto& [relative, entry] : wanted_) {
      auto had = built_.find(relative);
      bool present = had != built_.end() && had->second.folder == entry.folder;
      if (entry.folder) {
        if (!present) std::filesystem::create_directory(root_ + "/" + relative, ignored);
      } else if (!present || had->second.content != entry.content) {
        std::ofstream(root_ + "/" + relative, std::ios::binary | std::ios::trunc) << entry.content;
      }
    }
    // Moved, not copied (every path and file content again). The old tree
    // is freed here, in the input that allocated the new one: an input with
    // more allocations than frees is run a second time by libFuzzer, to
    // look for a leak.
    built_ = std::move(wanted_);
    wanted_.clear();
    if (checkBuilds_) CheckBuilt();
  }

  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  struct Entry {
    bool folder;
    std::string content;
  };

  Scratch() {
    const char* base = getenv("QT_FUZZ_TMP");
    std::string folder = base != nullptr && base[0] != '\0' ? base : "";
    if (folder.empty()) folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    root_ = folder + "/qtonal-fuzz-" + std::to_string(getpid());
    checkBuilds_ = getenv("QT_FUZZ_CHECK_SCRATCH") != nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::create_directories(root_, ignored);
  }

  // With QT_FUZZ_CHECK_SCRATCH set, every Build compares the host folder
  // with the plan (slow; for changes to this class).
  void CheckBuilt() const {
    std::map<std::string, Entry> found;
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(root_, ignored), end; it != end; it.increment(ignored)) {
      std::string relative = it->path().string().substr(root_.size() + 1);
      Entry entry{it->is_directory(), ""};
      if (!entry.folder) {
        std::ifstream file(it->path(), std::ios::binary);
        entry.content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
      }
      found[relative] = entry;
    }
    bool same = found.size() == built_.size();
    for (auto a = found.cbegin(), b = built_.cbegin(); same && a != found.cend(); ++a, ++b)
      same = a->first == b->first && a->second.folder == b->second.folder && a->second.content == b->second.content;
    Require(same, "the scratch folder does not hold the planned tree");
  }

  bool ParentIsFolder(const std::string& relative) const {
    size_t slash = relative.rfind('/');
    if (slash == std::string::npos) return true;  // the root
    auto it = wanted_.find(std::string_view(relative).substr(0, slash));
    return it != wanted_.end() && it->second.folder;
  }

  // Plans every folder on the way to `relative` (up to its last '/');
  // false when a file is in the way.
  bool PlanParents(const std::string& relative) {
    for (size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
      if (slash == 0) continue;
      std::string_view parent = std::string_view(relative).substr(0, slash);
      auto it = wanted_.find(parent);
      if (it == wanted_.end()) wanted_.emplace(std::string(parent), Entry{true, ""});
      else if (!it->second.folder) return false;
    }
    return true;
  }

  std::string root_;
  bool checkBuilds_ = false;
  // Ordered by path, so that a folder comes before everything below it
  // ("a" < "a/b"; "a-c" may lie between, which does no harm).
  // std::less<> looks up a parent's part of a path without copying it.
  std::map<std::string, Entry, std::less<>> wanted_;
  std::map<std::string, Entry, std::less<>> built_;
};

// What every run of the installer must have closed again.
inline void RequireNothingLeftOpen() {
  RequireEqual(winsim::RegOpenHandleCount(), 0, "registry keys left open");
  RequireEqual(winsim::OpenFileHandleCount(), 0, "files left open");
  RequireEqual(winsim::OpenSearchHandleCount(), 0, "folder searches left open");
  RequireEqual(winsim::WindowCount(), 0, "windows left behind");
}

// The Windows form of a relative host path ("a/b" -> "a\b").
inline std::string WindowsForm(std::string relative) {
  for (char& c : relative)
    if (c == '/') c = '\\';
  return relative;
}

}  // namespace qfuzz

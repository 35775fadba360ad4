// Common ground of the fuzz targets: a check that ends the run loudly (the
// fuzzer keeps the input that broke it), a scratch folder for the drives of
// the simulated machine, the handles every run must have closed, and the
// installer targets' one input.
#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory_resource>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "sim_dialogs.h"
#include "sim_files.h"
#include "sim_registry.h"

namespace qfuzz {

// One input of an installer target: each target defines it, and
// installer_entry.cpp gives the three their libFuzzer entry points.
void RunInstallerInput(FuzzedDataProvider& in);

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

// The drives' trees of a fuzz input. An input plans the tree it wants (Plan,
// Folder, File) and Build makes it, in one of two places:
//   - InMemory: winsim's memory folders, made anew for every input and
//     dropped by the Reset that ends it. For the targets whose phases only
//     read their drives: making and removing host folders was half of every
//     run's time.
//   - OnHost: one host folder per fuzzing process, for phases that write.
//     Build then touches only what differs from the last input's tree (the
//     mutations of one input that libFuzzer runs in a row mostly share
//     their trees). Only the targets write below the folder, so what was
//     built last is known without looking. The folder lies in QT_FUZZ_TMP
//     when that is set, else in /dev/shm (memory) when there is one.
//
// The plans live in a memory pool of their own that keeps what it was given
// back: after the first inputs they cost no malloc and no free. Through the
// sanitizer's allocator they were a third of the run, and since the tree
// kept for the next input is freed by that input, libFuzzer saw more
// mallocs than frees in every input with a larger tree than the last and
// ran it a second time, to look for a leak.
class Scratch {
 public:
  static Scratch& InMemory() {
    static Scratch scratch(true);
    return scratch;
  }
  static Scratch& OnHost() {
    static Scratch scratch(false);
    return scratch;
  }

  // Starts the plan of an input's tree: nothing yet.
  void Plan() { wanted_.clear(); }

  // Plans a folder below the root, as create_directory would make it: false
  // (and nothing planned) when the path is taken, by a folder or a file, or
  // its parent is not a folder.
  bool NewFolder(std::string_view relative) {
    if (wanted_.find(relative) != wanted_.end() || !ParentIsFolder(relative)) return false;
    Want(relative, true, "");
    return true;
  }

  // Plans a folder with its parents, as create_directories would, and
  // returns its host path (for MapDrive). A file on the way leaves the rest
  // unplanned.
  std::string Folder(std::string_view relative) {
    PlanParents(relative, relative.size());
    if (wanted_.find(relative) == wanted_.end() && ParentIsFolder(relative)) Want(relative, true, "");
    if (memory_) return winsim::MemoryHostPath(std::string(relative));
    return std::string(root_).append("/").append(relative);
  }

  // Plans a file with its folders, as writing it through create_directories
  // and an ofstream would: a folder in its place or a file on its way leaves
  // it unwritten, an earlier file there is overwritten.
  void File(std::string_view relative, std::string_view content) {
    if (!PlanParents(relative, relative.rfind('/'))) return;
    auto it = wanted_.find(relative);
    if (it == wanted_.end()) Want(relative, false, content);
    else if (!it->second.folder) it->second.content.assign(content);
  }

  // Makes the planned tree.
  void Build() {
    if (memory_) {
      // Parents come before their children in the plan's order.
      for (const auto& [relative, entry] : wanted_) {
        if (entry.folder) winsim::MemoryFolder(std::string(relative));
        else winsim::MemoryFile(std::string(relative), std::string(entry.content));
      }
      wanted_.clear();
      return;
    }
    // Away with what is not planned, or not so: children before parents,
    // so that a folder is empty when its turn comes (everything below a
    // folder that goes goes too). Plain unlink and rmdir: remove_all reads
    // each path as a folder first, which cost a third of the run.
    for (auto it = built_.rbegin(); it != built_.rend(); ++it) {
      auto want = wanted_.find(it->first);
      if (want != wanted_.end() && want->second.folder == it->second.folder) continue;
      const char* host = HostPath(it->first);
      if ((it->second.folder ? ::rmdir(host) : ::unlink(host)) != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(host, ignored);
      }
    }
    // Then what is missing or different: parents before children.
    for (const auto& [relative, entry] : wanted_) {
      auto had = built_.find(relative);
      bool present = had != built_.end() && had->second.folder == entry.folder;
      if (entry.folder) {
        if (!present) ::mkdir(HostPath(relative), 0777);
      } else if (!present || had->second.content != entry.content) {
        WriteFile(HostPath(relative), entry.content);
      }
    }
    // The plan becomes what is built; the old tree's memory goes back to
    // the pool for the next plan.
    built_.swap(wanted_);
    wanted_.clear();
    if (checkBuilds_) CheckBuilt();
  }

  ~Scratch() {
    std::error_code ignored;
    if (!memory_) std::filesystem::remove_all(root_, ignored);
  }

 private:
  using Text = std::pmr::string;
  struct Entry {
    bool folder;
    Text content;
  };
  // Ordered by path, so that a folder comes before everything below it
  // ("a" < "a/b"; "a-c" may lie between, which does no harm).
  // std::less<> looks up a part of a path without copying it.
  using Tree = std::pmr::map<Text, Entry, std::less<>>;

  explicit Scratch(bool memory) : memory_(memory) {
    if (memory_) return;
    const char* base = getenv("QT_FUZZ_TMP");
    std::string folder = base != nullptr && base[0] != '\0' ? base : "";
    if (folder.empty()) folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    root_ = folder + "/qtonal-fuzz-" + std::to_string(getpid());
    checkBuilds_ = getenv("QT_FUZZ_CHECK_SCRATCH") != nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::create_directories(root_, ignored);
  }

  void Want(std::string_view relative, bool folder, std::string_view content) {
    wanted_.emplace(std::piecewise_construct, std::forward_as_tuple(relative),
                    std::forward_as_tuple(Entry{folder, Text(content, &pool_)}));
  }

  // The host path of a relative one, in a buffer that keeps its size.
  const char* HostPath(std::string_view relative) {
    host_.assign(root_).append("/").append(relative);
    return host_.c_str();
  }

  // Writes a whole file as an ofstream would, with no stream buffer to make.
  static void WriteFile(const char* host, std::string_view content) {
    int fd = ::open(host, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return;
    for (size_t done = 0; done < content.size();) {
      ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
      if (wrote <= 0) break;
      done += static_cast<size_t>(wrote);
    }
    ::close(fd);
  }

  // With QT_FUZZ_CHECK_SCRATCH set, every Build compares the host folder
  // with the plan (slow; for changes to this class).
  void CheckBuilt() const {
    std::map<std::string, std::pair<bool, std::string>> found;
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(root_, ignored), end; it != end; it.increment(ignored)) {
      std::string relative = it->path().string().substr(root_.size() + 1);
      std::pair<bool, std::string> entry{it->is_directory(), ""};
      if (!entry.first) {
        std::ifstream file(it->path(), std::ios::binary);
        entry.second.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
      }
      found[relative] = entry;
    }
    bool same = found.size() == built_.size();
    for (auto a = found.cbegin(); same && a != found.cend(); ++a) {
      auto b = built_.find(std::string_view(a->first));
      same = b != built_.end() && a->second.first == b->second.folder &&
             std::string_view(a->second.second) == std::string_view(b->second.content);
    }
    Require(same, "the scratch folder does not hold the planned tree");
  }

  bool ParentIsFolder(std::string_view relative) const {
    size_t slash = relative.rfind('/');
    if (slash == std::string_view::npos) return true;  // the root
    auto it = wanted_.find(relative.substr(0, slash));
    return it != wanted_.end() && it->second.folder;
  }

  // Plans every folder on the way to `relative` whose path ends before
  // `end` (a '/' or the path's size); false when a file is in the way.
  bool PlanParents(std::string_view relative, size_t end) {
    if (end == std::string_view::npos) return true;
    for (size_t cut = relative.find('/');; cut = relative.find('/', cut + 1)) {
      if (cut == std::string_view::npos || cut > end) cut = end;
      if (cut != 0) {
        auto it = wanted_.find(relative.substr(0, cut));
        if (it == wanted_.end()) Want(relative.substr(0, cut), true, "");
        else if (!it->second.folder) return false;
      }
      if (cut == end) return true;
    }
  }

  bool memory_;
  std::string root_;
  std::string host_;
  bool checkBuilds_ = false;
  // Declared before the trees, which give their memory back to it.
  std::pmr::unsynchronized_pool_resource pool_{std::pmr::pool_options{0, 1 << 16}};
  Tree wanted_{&pool_};
  Tree built_{&pool_};
};

// What every run of the installer must have closed again.
inline void RequireNothingLeftOpen() {
  RequireEqual(winsim::RegOpenHandleCount(), 0, "registry keys left open");
  RequireEqual(winsim::OpenFileHandleCount(), 0, "files left open");
  RequireEqual(winsim::OpenSearchHandleCount(), 0, "folder searches left open");
  RequireEqual(winsim::WindowCount(), 0, "windows left behind");
}

// The model's own reading of an ANSI path in the machine's code page, kept
// apart from the platform's: the text is first taken apart into its
// characters (one byte, or a lead byte and the byte after it, by the code
// page tables' lead-byte ranges), and every question is then answered on
// that list. A lead byte that is the text's last byte has nothing to pair
// with and stands alone, as Windows' CharNext steps over it onto the end.
struct CodePageModel {
  using Chars = std::vector<std::string>;
  unsigned number = 1252;

  bool LeadsPair(char c) const {
    unsigned byte = static_cast<unsigned char>(c);
    if (number == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    if (number == 936 || number == 949 || number == 950) return byte >= 0x81 && byte <= 0xFE;
    return false;
  }
  Chars Split(const std::string& text) const {
    Chars chars;
    bool open = false;  // the last character is a lead byte awaiting its pair
    for (char byte : text) {
      if (open) chars.back() += byte;
      else chars.emplace_back(1, byte);
      open = !open && LeadsPair(byte);
    }
    return chars;
  }
  bool LastIsBackslash(const std::string& text) const {
    Chars chars = Split(text);
    return !chars.empty() && chars.back() == "\\";
  }
  // A text cut inside a character: whatever came next would pair with it.
  bool LastIsLoneLead(const std::string& text) const {
    Chars chars = Split(text);
    return !chars.empty() && chars.back().size() == 1 && LeadsPair(chars.back()[0]);
  }
  // Whether the first `count` bytes are whole characters of `text`: read on
  // their own they are then the leading characters of the whole text.
  bool KeepsCharsWhole(const std::string& text, size_t count) const {
    Chars whole = Split(text), head = Split(text.substr(0, count));
    return head.size() <= whole.size() && std::equal(head.begin(), head.end(), whole.begin());
  }
  // The text with a backslash character at its end; false, with the text as
  // it was, when it needs one that does not fit in 259 bytes or would pair
  // with a lone lead byte.
  bool AppendBackslash(std::string* text) const {
    if (LastIsBackslash(*text)) return true;
    if (text->size() >= MAX_PATH - 1 || LastIsLoneLead(*text)) return false;
    *text += '\\';
    return true;
  }
  // Up one folder: drop the last character, then characters from the end
  // until a backslash character ends the text; the first character is never
  // that backslash. The folder as it was when none is left.
  std::string ParentOf(const std::string& folder) const {
    Chars chars = Split(folder);
    if (!chars.empty()) chars.pop_back();
    while (chars.size() > 1 && chars.back() != "\\") chars.pop_back();
    if (chars.size() < 2) return folder;
    std::string parent;
    for (const std::string& c : chars) parent += c;
    return parent;
  }
};

// The code pages an input runs under: the Western one, and two whose second
// bytes may be a backslash.
inline unsigned PickCodePage(FuzzedDataProvider& in) {
  static const unsigned kCodePages[] = {1252, 932, 950};
  return kCodePages[in.ConsumeIntegralInRange<size_t>(0, 2)];
}

// A name of double-byte characters of the code page (and a few ASCII ones)
// whose second bytes are a backslash, '|' or an ASCII letter, the bytes a
// path reader must not take for characters of their own; under 1252 the
// same bytes are single characters.
inline std::string DoubleByteName(FuzzedDataProvider& in, unsigned codePage) {
  static const char* const k932[] = {"\x95\x5C", "\x83\x5C", "\x94\x5C", "\x8F\x5C", "\x83\x7C", "\x83\x41", "\x83\x74"};
  static const char* const k950[] = {"\xB3\x5C", "\xA5\x5C", "\xA4\x7C", "\xA4\x61"};
  std::string name;
  size_t count = in.ConsumeIntegralInRange<size_t>(1, 4);
  for (size_t i = 0; i < count; ++i) {
    if (in.ConsumeIntegralInRange(0, 3) == 0) {
      name += static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25));
    } else if (codePage == 950) {
      name += k950[in.ConsumeIntegralInRange<size_t>(0, 3)];
    } else {
      name += k932[in.ConsumeIntegralInRange<size_t>(0, 6)];
    }
  }
  return name;
}

// The Windows form of a relative host path ("a/b" -> "a\b").
inline std::string WindowsForm(std::string relative) {
  for (char& c : relative)
    if (c == '/') c = '\\';
  return relative;
}

}  // namespace qfuzz

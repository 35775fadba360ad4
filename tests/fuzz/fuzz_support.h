// Common ground of the fuzz targets: a check that ends the run loudly (the
// fuzzer keeps the input that broke it), a scratch folder for the drives of
// the simulated machine, and the handles every run must have closed.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

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

// One folder per fuzzing process for the host side of the drives, emptied
// at the start of every input so that the disk never fills. It lies in
// QT_FUZZ_TMP when that is set, else in /dev/shm (memory) when there is one.
class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }

  // Empties the folder and returns it.
  const std::string& Fresh() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::create_directories(root_, ignored);
    return root_;
  }

  const std::string& Root() const { return root_; }

  // A folder below the root (created), as a host path.
  std::string Folder(const std::string& relative) const {
    std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return path.string();
  }

  // A file below the root, with its folders.
  void File(const std::string& relative, const std::string& content) const {
    std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream(path, std::ios::binary) << content;
  }

  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  Scratch() {
    const char* base = getenv("QT_FUZZ_TMP");
    std::string folder = base != nullptr && base[0] != '\0' ? base : "";
    if (folder.empty()) folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    root_ = folder + "/qtonal-fuzz-" + std::to_string(getpid());
  }

  std::string root_;
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

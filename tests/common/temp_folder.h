// A fresh folder below /tmp for one test, removed with everything in it when
// the object goes (a fixture member: after the fixture's TearDown).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // "" when no folder could be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

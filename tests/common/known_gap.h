// Known differences from Windows, marked in the tests themselves (in the
// spirit of Wine's todo_wine). The checks inside a marked block still run:
//   - when one of them fails, the difference is as known: the failures are
//     held back, the test passes, and a line "known gap: TEST: REASON" goes
//     to the test's output, which scripts/test-all.sh counts;
//   - when they all agree, the gap was mended: the test fails, so that the
//     mark is taken away and the checks guard the behaviour again.
//
//   QT_KNOWN_GAP("winsim starts any existing file as a program") {
//     EXPECT_EQ(WinExec("C:\\README.TXT", SW_SHOW), ERROR_BAD_FORMAT);
//   }
//
// A test that is a known gap only on some condition (a scenario file that
// names one) holds a std::optional<KnownGap> around its checks.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qtest {

class KnownGap {
 public:
  KnownGap(std::string reason, const char* file, int line);
  ~KnownGap();  // gives the verdict
  KnownGap(const KnownGap&) = delete;
  KnownGap& operator=(const KnownGap&) = delete;

  // For the macro's one pass through its block.
  bool Once() {
    if (entered_) return false;
    entered_ = true;
    return true;
  }

 private:
  std::string reason_;
  const char* file_;
  int line_;
  bool entered_ = false;
  ::testing::TestPartResultArray held_;
  std::unique_ptr<::testing::ScopedFakeTestPartResultReporter> reporter_;
};

// The line a held-back difference writes to the test's output.
extern const char kKnownGapMarker[];

}  // namespace qtest

#define QT_KNOWN_GAP(reason) \
  for (::qtest::KnownGap qt_known_gap_(reason, __FILE__, __LINE__); qt_known_gap_.Once();)

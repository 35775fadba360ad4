#include "known_gap.h"

#include <cstdio>

namespace qtest {

const char kKnownGapMarker[] = "known gap: ";

KnownGap::KnownGap(std::string reason, const char* file, int line)
    : reason_(std::move(reason)),
      file_(file),
      line_(line),
      // Every thread: the programs under test run threads of their own.
      reporter_(std::make_unique<::testing::ScopedFakeTestPartResultReporter>(
          ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &held_)) {}

KnownGap::~KnownGap() {
  reporter_.reset();  // what follows is reported as usual
  const ::testing::TestPartResult* first = nullptr;
  for (int i = 0; i < held_.size() && first == nullptr; ++i)
    if (held_.GetTestPartResult(i).failed()) first = &held_.GetTestPartResult(i);
  if (first == nullptr) {
    ADD_FAILURE_AT(file_, line_) << "known gap mended: every check agrees now; take the mark away: " << reason_;
    return;
  }
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "?";
  std::printf("%s%s: %s\n", kKnownGapMarker, name.c_str(), reason_.c_str());
  std::string summary = first->summary();
  std::printf("  as expected, it differs (%s:%d): %s\n", first->file_name() ? first->file_name() : "?",
              first->line_number(), summary.substr(0, summary.find('\n')).c_str());
  std::fflush(stdout);
  ::testing::Test::RecordProperty("known_gap", reason_);
}

}  // namespace qtest

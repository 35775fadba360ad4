// The known-gap mark itself: what it holds back, what it lets through, and
// that a mended gap fails. Each case runs the mark under an outer recorder,
// so that the verdicts can be looked at instead of failing this test.
#include <string>
#include <thread>

#include "known_gap.h"

namespace qtest {
namespace {

using ::testing::ScopedFakeTestPartResultReporter;
using ::testing::TestPartResultArray;

int Failures(const TestPartResultArray& results) {
  int count = 0;
  for (int i = 0; i < results.size(); ++i) count += results.GetTestPartResult(i).failed();
  return count;
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(KnownGapTest, AFailingCheckInsideIsHeldBackAndNamedInTheOutput) {
  TestPartResultArray outer;
  ::testing::internal::CaptureStdout();
  {
    ScopedFakeTestPartResultReporter recorder(ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &outer);
    QT_KNOWN_GAP("two is not three here") { EXPECT_EQ(2, 3); }
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Failures(outer), 0);
  EXPECT_TRUE(Holds(out, "known gap: KnownGapTest.AFailingCheckInsideIsHeldBackAndNamedInTheOutput: "
                         "two is not three here\n"))
      << out;
  EXPECT_TRUE(Holds(out, "as expected, it differs")) << out;
}

TEST(KnownGapTest, AMendedGapFailsAndSaysSo) {
  TestPartResultArray outer;
  ::testing::internal::CaptureStdout();
  {
    ScopedFakeTestPartResultReporter recorder(ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &outer);
    QT_KNOWN_GAP("no longer differs") { EXPECT_EQ(2, 2); }
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(Failures(outer), 1);
  EXPECT_TRUE(Holds(outer.GetTestPartResult(0).message(), "known gap mended")) << outer.GetTestPartResult(0).message();
  EXPECT_TRUE(Holds(outer.GetTestPartResult(0).message(), "no longer differs"));
  EXPECT_FALSE(Holds(out, "known gap: ")) << "a mended gap is not counted as a gap";
}

TEST(KnownGapTest, OnlyTheMarkedBlockIsHeldBack) {
  TestPartResultArray outer;
  ::testing::internal::CaptureStdout();
  {
    ScopedFakeTestPartResultReporter recorder(ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &outer);
    EXPECT_EQ(1, 0) << "before";
    QT_KNOWN_GAP("inside") { EXPECT_EQ(2, 3); }
    EXPECT_EQ(1, 0) << "after";
  }
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Failures(outer), 2);
}

void FatalInsideTheMark(bool* reached) {
  QT_KNOWN_GAP("fatal inside") {
    ASSERT_TRUE(false);
    *reached = true;
  }
}

TEST(KnownGapTest, AFatalFailureEndsTheBlockAndIsHeldBackToo) {
  TestPartResultArray outer;
  bool reached = false;
  ::testing::internal::CaptureStdout();
  {
    ScopedFakeTestPartResultReporter recorder(ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &outer);
    FatalInsideTheMark(&reached);
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(reached);
  EXPECT_EQ(Failures(outer), 0);
  EXPECT_TRUE(Holds(out, "known gap: ")) << out;
}

TEST(KnownGapTest, AFailureOnAnotherThreadOfTheProgramIsHeldBack) {
  TestPartResultArray outer;
  ::testing::internal::CaptureStdout();
  {
    ScopedFakeTestPartResultReporter recorder(ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &outer);
    QT_KNOWN_GAP("on a worker thread") {
      std::thread worker([] { EXPECT_EQ(2, 3); });
      worker.join();
    }
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Failures(outer), 0);
  EXPECT_TRUE(Holds(out, "known gap: ")) << out;
}

}  // namespace
}  // namespace qtest

// Fault injection takes only the names of its one table: a name that no call
// of the machine asks for would never fire, so it ends the test at once,
// naming itself, instead of letting the test pass without its fault.
#include <gtest/gtest.h>
#include <windows.h>

#include "sim_faults.h"
#include "sim_machine.h"

namespace {

class FaultNameTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override { winsim::Reset(); }
};

using FaultNameDeathTest = FaultNameTest;

// Near misses of real names: a missing suffix, another case, a wrong suffix,
// a function the machine has but does not fail, and one it does not have.
TEST_F(FaultNameDeathTest, UnknownNamesAbortNamingThemselves) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(winsim::InjectFault("CopyFile", 1, ERROR_ACCESS_DENIED),
               "InjectFault: no fault point named \"CopyFile\"; the names are: CopyFileA, ");
  EXPECT_DEATH(winsim::InjectFault("copyfilea", 1, ERROR_ACCESS_DENIED), "no fault point named \"copyfilea\"");
  EXPECT_DEATH(winsim::InjectFault("CopyFileA.Write", 2, ERROR_DISK_FULL, 0),
               "no fault point named \"CopyFileA\\.Write\"");
  EXPECT_DEATH(winsim::InjectFault("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED), "no fault point named \"RegOpenKeyExA\"");
  EXPECT_DEATH(winsim::InjectFault("", 1, ERROR_ACCESS_DENIED), "no fault point named \"\"");
  EXPECT_DEATH(winsim::BeforeCall("WinExecA", 1, [] {}), "BeforeCall: no fault point named \"WinExecA\"");
  EXPECT_DEATH(winsim::CallCount("CreateFile"), "CallCount: no fault point named \"CreateFile\"");
}

// Every name the table lists is taken, and a fault given by it fires.
TEST_F(FaultNameTest, KnownNamesAreTakenAndTheirFaultsFire) {
  for (const char* name : {"CopyFileA", "CopyFileA.write", "CreateDirectoryA", "CreateFileA", "DialogBoxParamA",
                           "FindFirstFileA", "FindNextFileA", "GetDriveTypeA", "GetFileAttributesA",
                           "GetLogicalDriveStringsA", "GetPrivateProfileStringA", "SetFileAttributesA", "WinExec"}) {
    winsim::InjectFault(name, 1, ERROR_NOT_READY);
    winsim::BeforeCall(name, 1, [] {});
    EXPECT_EQ(winsim::CallCount(name), 0) << name;
  }
  char drives[8];
  EXPECT_EQ(GetLogicalDriveStringsA(sizeof drives, drives), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(winsim::CallCount("GetLogicalDriveStringsA"), 1);
}

}  // namespace

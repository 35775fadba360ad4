// Phase A: the wait for the game-port device, measured in virtual time, and
// what the status window shows of it.
#include "device_wait.h"
#include "installer_fixture.h"
#include "status_window.h"

namespace qtest {
namespace {

using winsim::RegSetString;

class DeviceWaitTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(status_.Open(nullptr));
  }
  void TearDown() override {
    status_.Close();
    InstallerTest::TearDown();
  }
  BOOL WaitForGamePort() { return ::WaitForGamePort(status_); }

  StatusWindow status_;
};

TEST_F(DeviceWaitTest, MissingEnumKeyIsNotFoundWithoutWaiting) {
  EXPECT_FALSE(WaitForGamePort());
  EXPECT_TRUE(winsim::SleepCalls().empty());
  EXPECT_TRUE(ScreenSeen().empty());
  ASSERT_EQ(winsim::RegOpens().size(), 1u);
  EXPECT_EQ(winsim::RegOpens()[0].path, "HKLM\\Enum\\VIRTUAL\\*PNPB02F");
  EXPECT_EQ(winsim::RegOpens()[0].sam, 0xF003Fu);
}

TEST_F(DeviceWaitTest, DescriptionPresentFromTheStartCostsNoWait) {
  DevicePresent();
  EXPECT_TRUE(WaitForGamePort());
  EXPECT_EQ(winsim::Now(), 0u);
  EXPECT_TRUE(ScreenSeen().empty()) << "nothing appears when the device is there at once";
}

TEST_F(DeviceWaitTest, DescriptionFilledAfterTwelveSecondsCostsThreeWaits) {
  RegSetString(GamePortKey(kCard), "DeviceDesc", "");
  winsim::ScheduleAt(12000, [] { RegSetString(GamePortKey(kCard), "DeviceDesc", "Game port"); });
  EXPECT_TRUE(WaitForGamePort());
  EXPECT_EQ(winsim::SleepCalls(), (std::vector<uint32_t>{5000, 5000, 5000}));
  EXPECT_EQ(winsim::Now(), 15000u);
  // Each wait shown before it begins, the bar at its attempt; hidden at the end.
  EXPECT_EQ(ScreenSeen(), (std::vector<std::string>{WaitSeen(0, 1), WaitSeen(5000, 2), WaitSeen(10000, 3),
                                                    "@15000 hidden"}));
}

TEST_F(DeviceWaitTest, EmptyDescriptionCostsTwentyFourWaitsThenTheNextCandidate) {
  RegSetString(GamePortKey("PCI_VEN_4E51&DEV_0001"), "DeviceDesc", "");
  winsim::RegCreateKeyPath(GamePortKey("PCI_VEN_4E51&DEV_0002"));  // no value at all
  EXPECT_FALSE(WaitForGamePort());
  EXPECT_EQ(winsim::SleepCalls().size(), 48u);
  EXPECT_EQ(winsim::Now(), 240000u);
  // The bar counts each candidate's attempts afresh.
  std::vector<std::string> seen = ScreenSeen();
  ASSERT_EQ(seen.size(), 49u);
  EXPECT_EQ(seen[23], WaitSeen(115000, 24));
  EXPECT_EQ(seen[24], WaitSeen(120000, 1));
  EXPECT_EQ(seen[48], "@240000 hidden");
}

TEST_F(DeviceWaitTest, SecondCandidateFoundAfterTheFirstTimesOut) {
  RegSetString(GamePortKey("PCI_VEN_4E51&DEV_0001"), "DeviceDesc", "");
  RegSetString(GamePortKey("PCI_VEN_4E51&DEV_0002"), "DeviceDesc", "Game port");
  EXPECT_TRUE(WaitForGamePort());
  EXPECT_EQ(winsim::Now(), 120000u);
}

TEST_F(DeviceWaitTest, KeyThatCannotBeOpenedCostsNoWait) {
  winsim::RegCreateKeyPath(GamePortKey("PCI_VEN_4E51&DEV_0001"));
  winsim::RegFailOpen(GamePortKey("PCI_VEN_4E51&DEV_0001"), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WaitForGamePort());
  EXPECT_TRUE(winsim::SleepCalls().empty());
  EXPECT_TRUE(ScreenSeen().empty());
  // All 24 attempts are still made, each failing at once.
  int opens = 0;
  for (const auto& open : winsim::RegOpens())
    if (open.path.find("DEV_0001") != std::string::npos) ++opens;
  EXPECT_EQ(opens, 24);
}

TEST_F(DeviceWaitTest, FoundDeviceStopsLaterCandidatesButEnumerationRunsToTheEnd) {
  RegSetString(GamePortKey("PCI_VEN_4E51&DEV_0001"), "DeviceDesc", "Game port");
  RegSetString(GamePortKey("PCI_VEN_4E51&DEV_0002"), "DeviceDesc", "");
  winsim::RegCreateKeyPath(GamePortKey("ZZZ"));
  EXPECT_TRUE(WaitForGamePort());
  for (const auto& open : winsim::RegOpens()) EXPECT_EQ(open.path.find("DEV_0002"), std::string::npos) << open.path;
  // Three subkeys and the call that reports no more items.
  EXPECT_EQ(winsim::RegEnumCalls(), 4);
  EXPECT_TRUE(winsim::SleepCalls().empty());
}

TEST_F(DeviceWaitTest, ValueTooLongForItsBufferCountsAsUnreadable) {
  RegSetString(GamePortKey(kCard), "DeviceDesc", std::string(255, 'x'));  // 256 bytes: fits
  EXPECT_TRUE(WaitForGamePort());
  status_.Close();  // its thread must have ended before the machine resets
  winsim::Reset();
  RegSetString(GamePortKey(kCard), "DeviceDesc", std::string(256, 'x'));  // 257 bytes: does not
  EXPECT_FALSE(WaitForGamePort());
  EXPECT_EQ(winsim::SleepCalls().size(), 24u);
}

// Which subkey names are the card's.
struct CandidateRow {
  const char* name;
  bool candidate;
};

class CandidateTest : public ::testing::TestWithParam<CandidateRow> {};

TEST_P(CandidateTest, NameHoldsPciAndVendorCaseSensitively) {
  EXPECT_EQ(IsGamePortCandidate(GetParam().name) != FALSE, GetParam().candidate) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, CandidateTest,
                         ::testing::Values(CandidateRow{"PCI_VEN_4E51&DEV_0001", true},   // 1
                                           CandidateRow{"XPCIYVEN_4E51", true},            // 2 substrings anywhere
                                           CandidateRow{"VEN_4E51&PCI", true},             // 3 any order
                                           CandidateRow{"PCI_VEN_4e51&DEV_0001", false},   // 4 lower-case hex
                                           CandidateRow{"pci_VEN_4E51&DEV_0001", false},   // 5 lower-case bus
                                           CandidateRow{"PCI_VEN_1234&DEV_0001", false},   // 6 other vendor
                                           CandidateRow{"ISAPNP_VEN_4E51", false},         // 7 no PCI
                                           CandidateRow{"", false}));                      // 8

TEST_F(DeviceWaitTest, NonCandidatesAreNeverOpened) {
  RegSetString(GamePortKey("PCI_VEN_4e51&DEV_0001"), "DeviceDesc", "");
  RegSetString(GamePortKey("ROOT_0000"), "DeviceDesc", "Game port");
  EXPECT_FALSE(WaitForGamePort());
  EXPECT_EQ(winsim::RegOpens().size(), 1u);
}

}  // namespace
}  // namespace qtest

// Files another program holds open for writing (an editor on the marker INI
// file, a copy still writing the setup program) still count as present: the
// existence tests let readers and writers share the file.
#include <functional>
#include <string>

#include "installer_fixture.h"
#include "sim_process.h"

namespace qtest {
namespace {

const char* const kMarker = "D:\\Audio\\rizidid.ini";
const char* const kSetup = "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe";

struct HeldRow {
  const char* name;
  // Makes another program hold its file open, at once or later in the run.
  std::function<void()> hold;
};

void HoldForWriting(const char* path) {
  ASSERT_NE(winsim::HoldFileOpen(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE), 0) << path;
}

class HeldFileTest : public InstallerTest, public ::testing::WithParamInterface<HeldRow> {};

TEST_P(HeldFileTest, FileHeldOpenForWritingStillCounts) {
  DevicePresent();
  // Should the file count as missing, the run would ask: the user cancels
  // and leaves, so that the test ends and tells what went wrong.
  winsim::SetDialogHandler([](winsim::DialogUser& user) { user.PressCancel(); });
  winsim::SetBoxHandler([](const winsim::BoxRecord& box) { return (box.type & 0xF) == MB_YESNO ? IDYES : IDOK; });
  GetParam().hold();
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::Dialogs().empty()) << "the drivers folder was found without asking";
  EXPECT_TRUE(winsim::Boxes().empty());
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_EQ(winsim::ProcessStarts()[0].commandLine, std::string("\"") + kSetup + "\"");
  // No existence test was refused for sharing.
  for (const auto& open : winsim::FileOpens())
    EXPECT_NE(open.error, static_cast<uint32_t>(ERROR_SHARING_VIOLATION)) << open.path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HeldFileTest,
    ::testing::Values(HeldRow{"MarkerIni", [] { HoldForWriting(kMarker); }},
                      HeldRow{"SetupFromTheStart", [] { HoldForWriting(kSetup); }},
                      // Held only after the proof, while the copies run: the test before the launch.
                      HeldRow{"SetupBeforeLaunch",
                              [] { winsim::BeforeCall("CopyFileA", 1, [] { HoldForWriting(kSetup); }); }}),
    [](const ::testing::TestParamInfo<HeldRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qtest

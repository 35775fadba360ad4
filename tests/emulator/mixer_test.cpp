// The mixer probe: which device is the card's, and what counts as free.
#include "emulator_fixture.h"

namespace qtest {
namespace {

struct MixerRow {
  const char* what;
  std::vector<winsim::MixerSpec> mixers;
  int free;
  std::vector<std::string> log;
};

// Names the row in test listings by what it checks.
void PrintTo(const MixerRow& row, std::ostream* out) { *out << row.what; }

class MixerProbeTest : public ::testing::TestWithParam<MixerRow> {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override { winsim::Reset(); }
};

TEST_P(MixerProbeTest, FindsTheCardByNameAndAsksItsDriver) {
  const MixerRow& row = GetParam();
  for (const auto& mixer : row.mixers) winsim::AddMixer(mixer);
  EXPECT_EQ(IsMixerFree(), row.free) << row.what;
  EXPECT_EQ(winsim::MixerLog(), row.log) << row.what;
  EXPECT_EQ(winsim::OpenMixerCount(), 0) << "every opened mixer is closed";
}

const std::vector<std::string> kFreeLogAt0{"count 1", "caps 0", "open 0 0 0 0x80000000", "message 0 0x4000 293 0",
                                           "close 0"};

winsim::MixerSpec Mixer(const char* name, DWORD answer = 292, MMRESULT caps = 0, MMRESULT open = 0) {
  return winsim::MixerSpec{name, caps, open, answer};
}

INSTANTIATE_TEST_SUITE_P(
    Table, MixerProbeTest,
    ::testing::Values(
        /* 1 */ MixerRow{"exact name, free", {Mixer("Q-Tonal Audio Mixer")}, 1, kFreeLogAt0},
        /* 2 */ MixerRow{"name in another case", {Mixer("q-tonal AUDIO mixer")}, 1, kFreeLogAt0},
        /* 3 */ MixerRow{"longer name that begins with the card's", {Mixer("Q-Tonal Audio Mixer [Card 2] rev.B")}, 1,
                         kFreeLogAt0},
        /* 4 */ MixerRow{"answer 291 is busy",
                         {Mixer("Q-Tonal Audio Mixer", 291)},
                         0,
                         {"count 1", "caps 0", "open 0 0 0 0x80000000", "message 0 0x4000 293 0", "close 0"}},
        /* 5 */ MixerRow{"answer 0 is busy", {Mixer("Q-Tonal Audio Mixer", 0)}, 0, kFreeLogAt0},
        /* 6 */ MixerRow{"no mixer at all", {}, 0, {"count 0"}},
        /* 7 */ MixerRow{"one character short", {Mixer("Q-Tonal Audio Mixe")}, 0, {"count 1", "caps 0"}},
        /* 8 */ MixerRow{"card's name not at the start", {Mixer("My Q-Tonal Audio Mixer")}, 0, {"count 1", "caps 0"}},
        /* 9 */ MixerRow{"other mixers first",
                         {Mixer("SB16 Mixer"), Mixer("Q-Tonal Audio Mixer")},
                         1,
                         {"count 2", "caps 0", "caps 1", "open 1 0 0 0x80000000", "message 1 0x4000 293 0",
                          "close 1"}},
        /* 10 */ MixerRow{"capabilities fail: skipped",
                          {Mixer("Q-Tonal Audio Mixer", 292, MMSYSERR_NODRIVER), Mixer("Q-Tonal Audio Mixer")},
                          1,
                          {"count 2", "caps 0", "caps 1", "open 1 0 0 0x80000000", "message 1 0x4000 293 0",
                           "close 1"}},
        /* 11 */ MixerRow{"first match only, even when busy",
                          {Mixer("Q-Tonal Audio Mixer", 291), Mixer("Q-Tonal Audio Mixer", 292)},
                          0,
                          {"count 2", "caps 0", "open 0 0 0 0x80000000", "message 0 0x4000 293 0", "close 0"}},
        /* 12 */ MixerRow{"open fails: no message",
                          {Mixer("Q-Tonal Audio Mixer", 292, 0, MMSYSERR_ALLOCATED)},
                          0,
                          {"count 1", "caps 0", "open 0 0 0 0x80000000"}},
        /* 13 */ MixerRow{"31-character name that begins with the card's",
                          {Mixer("Q-Tonal Audio MixerXXXXXXXXXXXXXXXXXXXXXXXXXXXX")},
                          1,
                          kFreeLogAt0}));

}  // namespace
}  // namespace qtest

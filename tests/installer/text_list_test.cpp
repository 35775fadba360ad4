// The owned list of texts behind the drive list and the dialog's line tags.
#include <gtest/gtest.h>

#include <string>

#include "sim_faults.h"
#include "sim_machine.h"
#include "text_list.h"

namespace {

TEST(TextListTest, KeepsCopiesInOrderAcrossGrowth) {
  TextList* list = TextList::Create();
  ASSERT_NE(list, nullptr);
  char text[16];
  for (int i = 0; i < 100; ++i) {
    snprintf(text, sizeof text, "D%d:\\", i);
    ASSERT_TRUE(list->Add(text));
  }
  text[0] = 'X';  // the list holds its own copy, not the caller's buffer
  ASSERT_EQ(list->Count(), 100);
  EXPECT_STREQ(list->At(0), "D0:\\");
  EXPECT_STREQ(list->At(99), "D99:\\");
  EXPECT_EQ(list->At(-1), nullptr);
  EXPECT_EQ(list->At(100), nullptr);
  list->RemoveAll();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->At(0), nullptr);
  EXPECT_TRUE(list->Add(""));
  EXPECT_STREQ(list->At(0), "");
  TextList::Destroy(list);
  TextList::Destroy(nullptr);  // as free(NULL): nothing happens
}

class HeapMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override { winsim::Reset(); }
};

TEST_F(HeapMemoryTest, TextListReportsNoMemoryAndKeepsWhatItHad) {
  TextList* list = TextList::Create();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->Add("C:\\"));
  // The copy of the text cannot be made: nothing changes.
  winsim::InjectFault("HeapAlloc", winsim::CallCount("HeapAlloc") + 1, 8);
  EXPECT_FALSE(list->Add("D:\\"));
  EXPECT_EQ(list->Count(), 1);
  // The ninth text needs a larger table, which cannot be had: nothing changes.
  for (int i = 1; i < 8; ++i) ASSERT_TRUE(list->Add("E:\\"));
  winsim::InjectFault("HeapReAlloc", winsim::CallCount("HeapReAlloc") + 1, 8);
  EXPECT_FALSE(list->Add("F:\\"));
  EXPECT_EQ(list->Count(), 8);
  EXPECT_STREQ(list->At(0), "C:\\");
  EXPECT_TRUE(list->Add("F:\\"));
  EXPECT_STREQ(list->At(8), "F:\\");
  TextList::Destroy(list);
  // No memory for the list itself.
  winsim::InjectFault("HeapAlloc", winsim::CallCount("HeapAlloc") + 1, 8);
  EXPECT_EQ(TextList::Create(), nullptr);
}

}  // namespace

// The owned list of texts behind the drive list and the dialog's line tags.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace

// trel::Error: formatting, copying and the bound on message length.
#include "trel/error.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Error, FormatsLikePrintf) {
  EXPECT_STREQ(trel::Error("Nothing to format!").what(), "Nothing to format!");
  EXPECT_STREQ(trel::Error("Frame i=%d: %s!", 7, "broken").what(), "Frame i=7: broken!");
  EXPECT_STREQ(trel::Error("%s", "").what(), "");
}

TEST(Error, CopiesAndAssignmentsKeepTheText) {
  const trel::Error original("Input parameter %d: Only %s numbers supported!", 3, "positive");
  const trel::Error copy(original);
  EXPECT_STREQ(copy.what(), original.what());
  trel::Error assigned("other");
  assigned = original;
  EXPECT_STREQ(assigned.what(), original.what());
  trel::Error& self = assigned;
  assigned = self;
  EXPECT_STREQ(assigned.what(), "Input parameter 3: Only positive numbers supported!");
}

TEST(Error, LongMessagesAreCutAt1023Characters) {
  const std::string name(5000, 'x');
  const trel::Error e("Frame i=%d: Image data cannot be loaded! (%s)", 1, name.c_str());
  const std::string text = e.what();
  EXPECT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.rfind("Frame i=1: Image data cannot be loaded! (", 0), 0u);
}

TEST(Error, IsCaughtAsStdException) {
  try {
    throw trel::Error("Index i=%d is out of the range <0,%d>!", 5, 4);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Index i=5 is out of the range <0,4>!");
  }
}

}  // namespace

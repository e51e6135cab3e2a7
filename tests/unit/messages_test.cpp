// The timed message slots.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "world/world.h"

namespace {
int visible() {
  int n = 0;
  for (const Message& m : messages) n += m.time_left > 0;
  return n;
}
}  // namespace

TEST(Messages, TakeTheLowestFreeSlotAndDropWhenFull) {
  clear_messages();
  show_message("first", 500);
  show_message("second", 3);
  EXPECT_STREQ(messages[0].text.data(), "first");
  EXPECT_STREQ(messages[1].text.data(), "second");
  for (int i = 2; i < MAX_MESSAGES; ++i) show_message("filler", 10);
  EXPECT_EQ(visible(), MAX_MESSAGES);
  show_message("dropped", 10);
  for (const Message& m : messages) EXPECT_STRNE(m.text.data(), "dropped");
  EXPECT_EQ(messages[0].time_left, 500);

  // Slot 1 runs out after its third countdown and is taken again first.
  for (int i = 0; i < 3; ++i) tick_messages();
  EXPECT_EQ(messages[1].time_left, 0);
  EXPECT_EQ(messages[0].time_left, 497);
  show_message("again", 1);
  EXPECT_STREQ(messages[1].text.data(), "again");
}

TEST(Messages, OneTickMessageIsGoneAfterItsTick) {
  clear_messages();
  show_message("You fail it!!!1", 1);
  tick_messages();
  EXPECT_EQ(visible(), 0);
  tick_messages();  // a free slot is not counted below 0
  EXPECT_EQ(messages[0].time_left, 0);
}

TEST(Messages, ClearFreesEverySlotAndKeepsTheTexts) {
  show_message("kept text", 50);
  clear_messages();
  EXPECT_EQ(visible(), 0);
  show_message("new", 5);
  EXPECT_STREQ(messages[0].text.data(), "new");
}

TEST(Messages, LongTextIsCutNeverWrittenPastTheSlot) {
  clear_messages();
  const std::string long_text(100, 'x');
  show_message(long_text.c_str(), 5);
  EXPECT_EQ(std::strlen(messages[0].text.data()), 31u);
  show_message("You are a winner!!!11", 10000);
  EXPECT_STREQ(messages[1].text.data(), "You are a winner!!!11");
}

#include <gtest/gtest.h>

#include "reader/message_base_reader.h"

TEST(MessageBaseReader, StartsEmpty) {
  vireo::MessageBaseReader reader;
  EXPECT_EQ(reader.count(), 0);
  EXPECT_EQ(reader.capacity, 500);
}

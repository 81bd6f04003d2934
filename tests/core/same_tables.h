#pragma once
// Two readers' tables compared field by field, block lists included: the one-read paths must give
// exactly the table of the reading they replace.
#include <gtest/gtest.h>

#include "reader/message_base_reader.h"

namespace vireo::testing {

inline void expectSameTables(const MessageBaseReader& got, const MessageBaseReader& want) {
  ASSERT_EQ(got.count(), want.count());
  EXPECT_EQ(got.validCount, want.validCount);
  for (int r = 0; r < got.count(); ++r) {
    const MessageRecord& a = got.row(r);
    const MessageRecord& b = want.row(r);
    ASSERT_EQ(a.invalid, b.invalid) << r;
    EXPECT_EQ(a.number, b.number) << r;
    EXPECT_EQ(a.size, b.size) << r;
    EXPECT_EQ(a.deleted, b.deleted) << r;
    EXPECT_EQ(a.fragment, b.fragment) << r;
    EXPECT_EQ(a.unindexed, b.unindexed) << r;
    EXPECT_EQ(a.subject(), b.subject()) << r;
    EXPECT_EQ(a.from(), b.from()) << r;
    EXPECT_EQ(a.to(), b.to()) << r;
    EXPECT_EQ(a.dateText(), b.dateText()) << r;
    EXPECT_EQ(a.time, b.time) << r;
    EXPECT_EQ(a.codePage, b.codePage) << r;
    EXPECT_EQ(a.attachment, b.attachment) << r;
    const BlockSpan x = got.blocksOf(static_cast<size_t>(r));
    const BlockSpan y = want.blocksOf(static_cast<size_t>(r));
    ASSERT_EQ(x.size(), y.size()) << r;
    for (size_t k = 0; k < x.size(); ++k) {
      EXPECT_EQ(x[k].offset, y[k].offset) << r;
      EXPECT_EQ(x[k].length, y[k].length) << r;
    }
  }
}

}  // namespace vireo::testing

// SPDX-License-Identifier: BSD-2-Clause
// The checked reader every format parses its input with: reads never pass
// the end, whatever the sizes, and narrowed readers keep their place in the
// buffer they were cut from.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/byte_reader.h"

using quillar::ByteReader;

namespace {

const uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};

TEST(ByteReader, ReadsBothByteOrdersAndStopsAtTheEnd) {
  ByteReader r(kBytes, sizeof kBytes);
  uint16_t be16 = 0;
  uint32_t le24 = 0, be32 = 0;
  uint8_t u8 = 0;
  ASSERT_TRUE(r.read_be16(&be16) && r.read_le24(&le24) && r.read_be32(&be32));
  EXPECT_EQ(be16, 0x0102);
  EXPECT_EQ(le24, 0x050403u);
  EXPECT_EQ(be32, 0x06070809u);
  uint32_t le32 = 0xDEADBEEF;
  EXPECT_FALSE(r.read_le32(&le32)) << "one byte left";
  EXPECT_EQ(le32, 0xDEADBEEFu) << "a failed read leaves its output alone";
  EXPECT_EQ(r.pos(), 9u) << "and consumes nothing";
  ASSERT_TRUE(r.peek_u8(&u8));
  EXPECT_EQ(u8, 0x0A);
  EXPECT_EQ(r.pos(), 9u) << "peeking consumes nothing";
  ASSERT_TRUE(r.read_u8(&u8));
  EXPECT_FALSE(r.peek_u8(&u8));
  EXPECT_FALSE(r.read_u8(&u8));
  EXPECT_TRUE(r.skip(0));
  EXPECT_EQ(r.remaining(), 0u);
}

// Lengths near SIZE_MAX must not wrap the check into a pass.
TEST(ByteReader, HugeLengthsFailWithoutMoving) {
  for (size_t n : {SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - 8, SIZE_MAX / 2 + 1, sizeof kBytes + 1}) {
    ByteReader r(kBytes, sizeof kBytes);
    ASSERT_TRUE(r.skip(3));
    ByteReader sub;
    EXPECT_FALSE(r.has(n)) << n;
    EXPECT_FALSE(r.skip(n)) << n;
    EXPECT_FALSE(r.sub(n, &sub)) << n;
    EXPECT_FALSE(r.seek(n)) << n;
    EXPECT_FALSE(r.truncate(n)) << n;
    EXPECT_EQ(r.pos(), 3u);
    EXPECT_EQ(r.size(), sizeof kBytes);
  }
}

TEST(ByteReader, NullDataReadsAsEmpty) {
  ByteReader r(nullptr, 100);
  uint8_t v = 0;
  ByteReader sub;
  EXPECT_EQ(r.size(), 0u);
  EXPECT_FALSE(r.read_u8(&v));
  EXPECT_FALSE(r.skip(1));
  EXPECT_TRUE(r.sub(0, &sub));
  EXPECT_EQ(sub.size(), 0u);
  ByteReader empty;
  EXPECT_EQ(empty.remaining(), 0u);
  EXPECT_FALSE(empty.peek_u8(&v));
}

TEST(ByteReader, SubReadersAreNarrowedAndKnowTheirOffset) {
  ByteReader r(kBytes, sizeof kBytes);
  ByteReader outer, inner;
  ASSERT_TRUE(r.skip(2) && r.sub(6, &outer));
  EXPECT_EQ(r.pos(), 8u) << "the parent skips what the sub-reader covers";
  ASSERT_TRUE(outer.skip(1) && outer.sub(3, &inner));
  uint8_t v = 0;
  ASSERT_TRUE(inner.read_u8(&v));
  EXPECT_EQ(v, 0x04);
  EXPECT_EQ(inner.pos(), 1u);
  EXPECT_EQ(inner.offset(), 4u) << "counted from the first reader";
  uint32_t past = 0;
  EXPECT_FALSE(inner.read_le24(&past)) << "two bytes left inside, though the buffer has more";
  EXPECT_FALSE(inner.seek(4));
}

TEST(ByteReader, TruncateDropsTheTailButNotWhatWasRead) {
  ByteReader r(kBytes, sizeof kBytes);
  ASSERT_TRUE(r.skip(4));
  EXPECT_FALSE(r.truncate(3)) << "below the position";
  ASSERT_TRUE(r.truncate(6));
  EXPECT_EQ(r.remaining(), 2u);
  uint32_t v = 0;
  EXPECT_FALSE(r.read_le32(&v));
  EXPECT_FALSE(r.truncate(7)) << "a reader never grows back";
  EXPECT_TRUE(r.truncate(4));
  EXPECT_EQ(r.remaining(), 0u);
}

}  // namespace

// SPDX-License-Identifier: BSD-2-Clause
// Growable arrays, pointer arrays and the string and memory helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quillar/garray.h"

namespace {

// Every byte from the end of the elements in use to the end of the storage
// is zero (the terminator slot among them).
void expect_zero_tail(const GArray *a) {
  for (size_t i = static_cast<size_t>(a->len) * a->element_size; i < a->allocated_bytes; i++)
    ASSERT_EQ(a->data[i], 0) << "byte " << i << " of " << a->allocated_bytes;
}

std::vector<uint32_t> values(const GArray *a) {
  std::vector<uint32_t> out;
  for (guint i = 0; i < a->len; i++) out.push_back(g_array_index(a, uint32_t, i));
  return out;
}

TEST(GArray, TerminatedArrayGrowsInPowersOfTwoFrom16Bytes) {
  GArray *a = g_array_new(1, 0, 4);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->allocated_bytes, 16u) << "room for the terminator at once";
  EXPECT_EQ(a->len, 0u);
  for (uint32_t i = 1; i <= 15; i++) {
    uint32_t v = 0xA0A0A000u + i;
    g_array_append_val(a, v);
    const guint32 expected = i <= 3 ? 16 : i <= 7 ? 32 : 64;
    EXPECT_EQ(a->allocated_bytes, expected) << "after " << i << " elements";
    expect_zero_tail(a);
  }
  EXPECT_EQ(g_array_index(a, uint32_t, 14), 0xA0A0A00Fu);
  g_array_free(a, 1);

  a = g_array_new(1, 0, 4);
  const uint32_t three[] = {1, 2, 3};
  g_array_append_vals(a, three, 3);
  EXPECT_EQ(a->len, 3u);
  EXPECT_EQ(a->allocated_bytes, 16u);
  expect_zero_tail(a);
  g_array_free(a, 1);
}

TEST(GArray, UnterminatedArrayHasNoStorageUntilTheFirstAppend) {
  GArray *a = g_array_new(0, 1, 4);
  EXPECT_EQ(a->data, nullptr);
  EXPECT_EQ(a->allocated_bytes, 0u);
  EXPECT_EQ(a->clear_new, 1u);
  uint32_t v = 7;
  g_array_append_val(a, v);
  EXPECT_EQ(a->allocated_bytes, 16u);
  expect_zero_tail(a);
  g_array_free(a, 1);

  a = g_array_sized_new(0, 0, 3, 10);  // 30 bytes reserved: 32
  EXPECT_EQ(a->allocated_bytes, 32u);
  EXPECT_EQ(a->len, 0u);
  g_array_free(a, 1);
  EXPECT_EQ(g_array_new(0, 0, 0), nullptr);
  EXPECT_EQ(g_array_sized_new(1, 1, 0, 4), nullptr);
}

TEST(GArray, AppendOfNothingRewritesTheTerminator) {
  GArray *a = g_array_new(1, 0, 4);
  uint32_t v = 5;
  g_array_append_val(a, v);
  memset(a->data + 4, 0xFF, 4);  // a caller scribbles on the terminator
  EXPECT_EQ(g_array_append_vals(a, nullptr, 0), a);
  EXPECT_EQ(a->len, 1u);
  expect_zero_tail(a);
  g_array_free(a, 1);
}

TEST(GArray, RemoveIndexMovesLaterElementsDownAndKeepsStorage) {
  GArray *a = g_array_new(1, 0, 4);
  const uint32_t four[] = {10, 11, 12, 13};
  g_array_append_vals(a, four, 4);
  const guint32 storage = a->allocated_bytes;
  EXPECT_EQ(g_array_remove_index(a, 0), a);
  EXPECT_EQ(values(a), (std::vector<uint32_t>{11, 12, 13}));
  expect_zero_tail(a);
  EXPECT_EQ(g_array_remove_index(a, 2), a);  // the last one: nothing moves
  EXPECT_EQ(values(a), (std::vector<uint32_t>{11, 12}));
  expect_zero_tail(a);
  EXPECT_EQ(a->allocated_bytes, storage) << "removal never shrinks";
  EXPECT_EQ(g_array_remove_index(a, a->len), nullptr);
  EXPECT_EQ(values(a), (std::vector<uint32_t>{11, 12}));
  EXPECT_EQ(g_array_remove_index(nullptr, 0), nullptr);
  g_array_free(a, 1);
}

TEST(GArray, FreeWithoutDataHandsTheStorageOver) {
  GArray *a = g_array_new(0, 0, 1);
  g_array_append_vals(a, "abc", 3);
  gchar *data = g_array_free(a, 0);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(memcmp(data, "abc", 3), 0);
  free(data);
  EXPECT_EQ(g_array_free(nullptr, 1), nullptr);
}

// Growth is computed in 64 bits and capped at 2^30 bytes: a request whose
// 32-bit size would wrap (here 2^32 bytes, which wraps to 0) used to be taken
// as already satisfied and the copy ran past the storage.
TEST(GArray, GrowthThatWouldWrap32BitsIsRefusedAndLeavesTheArrayAsItWas) {
  GArray *a = g_array_new(1, 0, 0x10000);
  ASSERT_NE(a, nullptr);
  const gchar *before = a->data;
  const guint32 storage = a->allocated_bytes;
  static const uint8_t small[16] = {};
  EXPECT_EQ(g_array_append_vals(a, small, 0xFFFF), a);  // 2^32 bytes with the terminator
  EXPECT_EQ(a->len, 0u);
  EXPECT_EQ(a->data, before);
  EXPECT_EQ(a->allocated_bytes, storage);
  g_array_free(a, 1);

  a = g_array_new(0, 0, 4);
  g_array_append_vals(a, small, (1u << 28) + 1);  // one element past 2^30 bytes
  EXPECT_EQ(a->len, 0u);
  EXPECT_EQ(a->data, nullptr);
  g_array_append_vals(a, small, 4);
  EXPECT_EQ(a->len, 4u) << "the array still works after a refusal";
  g_array_free(a, 1);
}

TEST(GArray, SizedNewPastTheLimitReturnsNull) {
  EXPECT_EQ(g_array_sized_new(0, 0, 8, 0x20000000u), nullptr);  // 2^32 bytes: wraps in 32 bits
  EXPECT_EQ(g_array_sized_new(0, 0, 1, (1u << 30) + 1), nullptr);
  EXPECT_EQ(g_array_sized_new(1, 0, 0xFFFFFFFFu, 0), nullptr) << "the terminator alone is too big";
}

TEST(GArray, AppendFromNullValuesCopiesNothing) {
  GArray *a = g_array_new(0, 0, 4);
  EXPECT_EQ(g_array_append_vals(a, nullptr, 2), a);
  EXPECT_EQ(a->len, 0u);
  g_array_free(a, 1);
}

TEST(GPtrArray, ForeachRereadsLengthAndFreeRunsElementFree) {
  GPtrArray *p = g_ptr_array_sized_new(50);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->items, nullptr) << "the reserve is ignored";
  EXPECT_EQ(p->len, 0u);
  EXPECT_EQ(p->element_free, nullptr);

  p->items = static_cast<gpointer *>(malloc(3 * sizeof(gpointer)));
  for (int i = 0; i < 3; i++) p->items[i] = malloc(1);
  p->len = 3;
  int calls = 0;
  struct Ctx {
    GPtrArray *p;
    int *calls;
  } ctx = {p, &calls};
  g_ptr_array_foreach(p, [](gpointer, gpointer c) {
    auto *x = static_cast<Ctx *>(c);
    ++*x->calls;
    x->p->len = 2;  // shrinking during the walk ends it early
  }, &ctx);
  EXPECT_EQ(calls, 2);
  p->len = 3;
  p->element_free = free;
  EXPECT_EQ(g_ptr_array_free(p, 1), nullptr);  // LeakSanitizer checks the elements

  p = g_ptr_array_new();
  p->items = static_cast<gpointer *>(malloc(sizeof(gpointer)));
  gpointer *items = g_ptr_array_free(p, 0);
  EXPECT_NE(items, nullptr);
  free(items);
  EXPECT_EQ(g_ptr_array_free(nullptr, 1), nullptr);
  g_ptr_array_foreach(nullptr, nullptr, nullptr);
}

TEST(Strings, StrndupStopsAtNOrTheNulAndNeverReadsPast) {
  gchar *s = g_strndup("abc", 2);
  EXPECT_STREQ(s, "ab");
  free(s);
  s = g_strndup("ab", 5);
  EXPECT_STREQ(s, "ab");
  free(s);
  // Exactly n bytes with no NUL: reading one more would be an overflow.
  auto *raw = static_cast<gchar *>(malloc(4));
  memcpy(raw, "wxyz", 4);
  s = g_strndup(raw, 4);
  EXPECT_STREQ(s, "wxyz");
  free(s);
  free(raw);
  s = g_strndup("abc", 0);
  EXPECT_STREQ(s, "");
  free(s);
  EXPECT_EQ(g_strndup(nullptr, 3), nullptr);
  s = g_strdup("hello");
  EXPECT_STREQ(s, "hello");
  free(s);
  EXPECT_EQ(g_strdup(nullptr), nullptr);
}

TEST(Strings, MemoryHelpersFollowTheirNullAndZeroRules) {
  const uint8_t bytes[] = {1, 2, 3, 4};
  auto *copy = static_cast<uint8_t *>(g_memdup(bytes, 4));
  EXPECT_EQ(memcmp(copy, bytes, 4), 0);
  free(copy);
  EXPECT_EQ(g_memdup(nullptr, 4), nullptr);
  void *empty = g_memdup(bytes, 0);
  EXPECT_NE(empty, nullptr) << "glibc's malloc(0)";
  free(empty);

  EXPECT_EQ(_g_new0(8, 0), nullptr);
  EXPECT_EQ(_g_new0(0, 8), nullptr);
  EXPECT_EQ(_g_new0(SIZE_MAX / 2, 4), nullptr) << "an overflowing product fails";
  auto *zeroed = static_cast<uint8_t *>(_g_new0(3, 5));
  for (int i = 0; i < 15; i++) EXPECT_EQ(zeroed[i], 0);

  auto *grown = static_cast<uint8_t *>(_g_try_renew(zeroed, 4, 8));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(grown[14], 0);
  EXPECT_EQ(_g_try_renew(grown, SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(grown[0], 0) << "a failed renew leaves the memory alone";
  free(grown);
  void *fresh = _g_try_renew(nullptr, 2, 2);
  EXPECT_NE(fresh, nullptr);
  free(fresh);
}

TEST(Strings, HasPrefix) {
  EXPECT_TRUE(g_str_has_prefix("video/x-vp8", "video/"));
  EXPECT_FALSE(g_str_has_prefix("vid", "video"));
  EXPECT_TRUE(g_str_has_prefix("anything", ""));
  EXPECT_TRUE(g_str_has_prefix("", ""));
  EXPECT_FALSE(g_str_has_prefix(nullptr, "a"));
  EXPECT_FALSE(g_str_has_prefix("a", nullptr));
}

}  // namespace

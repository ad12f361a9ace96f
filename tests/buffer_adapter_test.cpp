// SPDX-License-Identifier: BSD-2-Clause
// Buffers, sub-buffers and the byte adapter.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/internal.h"
#include "quillar/gstadapter.h"
#include "support/chain_driver.h"

namespace {

using qtest::buffer_of;

GstBuffer *buffer_counting(uint32_t size, uint8_t first) {
  GstBuffer *b = gst_buffer_new_and_alloc(size);
  for (uint32_t i = 0; i < size; i++) b->data[i] = static_cast<uint8_t>(first + i);
  return b;
}

struct AdapterTest : ::testing::Test {
  GstAdapter *a = gst_adapter_new();
  ~AdapterTest() override { gst_adapter_unref(a); }
};

TEST(Buffer, SubBufferNamesTheRootAndCopiesMetadataByRange) {
  GstBuffer *root = buffer_counting(100, 0);
  root->timestamp = 7;
  root->duration = 8;
  root->offset = 9;
  root->offset_end = 10;

  GstBuffer *whole = gst_buffer_create_sub(root, 0, 100);
  EXPECT_EQ(whole->parent, root);
  EXPECT_EQ(whole->timestamp, 7u);
  EXPECT_EQ(whole->duration, 8u);
  EXPECT_EQ(whole->offset, 9u);
  EXPECT_EQ(whole->offset_end, 10u);
  EXPECT_EQ(whole->owned_data, nullptr);

  GstBuffer *head = gst_buffer_create_sub(whole, 0, 50);
  EXPECT_EQ(head->parent, root) << "a sub-buffer of a sub-buffer names the root";
  EXPECT_EQ(head->timestamp, 7u);
  EXPECT_EQ(head->offset, 9u);
  EXPECT_EQ(head->duration, GST_CLOCK_TIME_NONE);
  EXPECT_EQ(head->offset_end, GST_BUFFER_OFFSET_NONE);

  GstBuffer *tail = gst_buffer_create_sub(root, 10, 90);
  EXPECT_EQ(tail->data, root->data + 10);
  EXPECT_EQ(tail->timestamp, GST_CLOCK_TIME_NONE);
  EXPECT_EQ(tail->offset, GST_BUFFER_OFFSET_NONE);
  EXPECT_EQ(root->refcount, 4);

  EXPECT_EQ(gst_buffer_create_sub(root, 10, 91), nullptr);
  EXPECT_EQ(gst_buffer_create_sub(root, 0xFFFFFFF0u, 0x20), nullptr) << "range test must not wrap";
  EXPECT_EQ(gst_buffer_create_sub(nullptr, 0, 0), nullptr);

  gst_buffer_unref(root);  // the sub-buffers keep it alive
  EXPECT_EQ(tail->parent->refcount, 3);
  gst_buffer_unref(whole);
  gst_buffer_unref(head);
  gst_buffer_unref(tail);  // frees the root too (checked by the leak sanitizer)
}

TEST(Buffer, ReplaceAndMiniObjectCounts) {
  GstBuffer *a = gst_buffer_new();
  GstBuffer *b = gst_buffer_new();
  GstBuffer *slot = a;
  gst_buffer_replace(&slot, a);
  EXPECT_EQ(a->refcount, 1) << "replacing with the same value changes nothing";
  gst_buffer_ref(a);
  gst_buffer_replace(&slot, b);
  EXPECT_EQ(slot, b);
  EXPECT_EQ(a->refcount, 1);
  EXPECT_EQ(b->refcount, 2);
  gst_buffer_replace(nullptr, a);
  gst_buffer_replace(&slot, nullptr);
  EXPECT_EQ(b->refcount, 1);
  gst_buffer_unref(a);
  gst_buffer_unref(b);

  auto *m = static_cast<GstMiniObject *>(calloc(1, sizeof(GstMiniObject)));
  m->refcount = 1;
  EXPECT_EQ(gst_mini_object_ref(m), m);
  gst_mini_object_unref(m);
  EXPECT_EQ(m->refcount, 1);
  gst_mini_object_unref(m);  // frees
  gst_mini_object_unref(nullptr);
  EXPECT_EQ(gst_mini_object_ref(nullptr), nullptr);
}

TEST_F(AdapterTest, PeekRefusesEmptyAndOversizedRequests) {
  gst_adapter_push(a, buffer_of({1, 2, 3}));
  EXPECT_EQ(gst_adapter_peek(a, 0), nullptr);
  EXPECT_EQ(gst_adapter_peek(a, 4), nullptr);
  gst_adapter_push(a, nullptr);
  gst_adapter_push(nullptr, nullptr);
  EXPECT_EQ(gst_adapter_available(a), 3u);
  EXPECT_EQ(gst_adapter_available(nullptr), 0u);
}

TEST_F(AdapterTest, PeekInsideOneBufferPointsIntoIt) {
  GstBuffer *b = buffer_counting(10, 0);
  gst_adapter_push(a, b);
  gst_adapter_flush(a, 3);
  EXPECT_EQ(gst_adapter_peek(a, 5), b->data + 3);
  EXPECT_EQ(a->scratch, nullptr) << "no copy for a range inside one buffer";
  EXPECT_EQ(gst_adapter_available_fast(a), 7u);
}

TEST_F(AdapterTest, PeekAcrossBuffersAssemblesInScratchAndReusesIt) {
  gst_adapter_push(a, buffer_of({1, 2, 3, 4}));
  gst_adapter_push(a, buffer_of({5, 6, 7, 8}));
  const guint8 *p = gst_adapter_peek(a, 6);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p, a->scratch);
  EXPECT_EQ(a->scratch_capacity, 4096u);
  EXPECT_EQ(0, memcmp(p, "\1\2\3\4\5\6", 6));
  EXPECT_EQ(gst_adapter_peek(a, 5), p) << "a smaller peek reuses the scratch bytes";
  EXPECT_EQ(gst_adapter_available_fast(a), 6u);
  gst_adapter_flush(a, 1);
  EXPECT_EQ(a->scratch_valid, 0u);
  p = gst_adapter_peek(a, 5);
  EXPECT_EQ(0, memcmp(p, "\2\3\4\5\6", 5));
}

TEST_F(AdapterTest, ScratchGrowsInStepsOf4096) {
  gst_adapter_push(a, buffer_counting(3000, 0));
  gst_adapter_push(a, buffer_counting(3000, 0));
  ASSERT_NE(gst_adapter_peek(a, 4096), nullptr);
  EXPECT_EQ(a->scratch_capacity, 8192u);
  ASSERT_NE(gst_adapter_peek(a, 4097), nullptr);
  EXPECT_EQ(a->scratch_capacity, 8192u);
}

TEST_F(AdapterTest, TakeBufferOfExactlyTheFirstBufferReturnsIt) {
  GstBuffer *b = buffer_counting(8, 0);
  gst_adapter_push(a, b);
  gst_adapter_push(a, buffer_counting(8, 0));
  GstBuffer *t = gst_adapter_take_buffer(a, 8);
  EXPECT_EQ(t, b);
  EXPECT_EQ(t->refcount, 1) << "the adapter's reference went to the caller";
  EXPECT_EQ(gst_adapter_available(a), 8u);
  gst_buffer_unref(t);
}

TEST_F(AdapterTest, TakeBufferInsideTheFirstBufferSharesItsMemory) {
  GstBuffer *b = buffer_counting(16, 0);
  gst_adapter_push(a, b);
  gst_adapter_flush(a, 2);
  GstBuffer *t = gst_adapter_take_buffer(a, 10);
  EXPECT_EQ(t->parent, b);
  EXPECT_EQ(t->data, b->data + 2);
  gst_adapter_flush(a, 4);  // the adapter lets go of b
  EXPECT_EQ(gst_adapter_available(a), 0u);
  EXPECT_EQ(b->refcount, 1);
  gst_buffer_unref(t);  // frees t and b
}

TEST_F(AdapterTest, TakeAcrossBuffersCopiesOnceAndKeepsOrder) {
  for (int i = 0; i < 5; i++) gst_adapter_push(a, buffer_counting(3, static_cast<uint8_t>(3 * i)));
  gst_adapter_flush(a, 1);
  GstBuffer *t = gst_adapter_take_buffer(a, 10);
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < 10; i++) EXPECT_EQ(t->data[i], i + 1);
  EXPECT_EQ(t->owned_data, t->data);
  gst_buffer_unref(t);
  guint8 *raw = gst_adapter_take(a, 4);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw[0], 11);
  EXPECT_EQ(raw[3], 14);
  free(raw);
  EXPECT_EQ(gst_adapter_available(a), 0u);
  EXPECT_EQ(a->buffers, nullptr);
  EXPECT_EQ(a->buffers_tail, nullptr);
}

TEST_F(AdapterTest, TakeHandsOverTheScratchAreaWhenItHoldsTheBytes) {
  gst_adapter_push(a, buffer_counting(4, 0));
  gst_adapter_push(a, buffer_counting(4, 4));
  const guint8 *p = gst_adapter_peek(a, 6);
  guint8 *t = gst_adapter_take(a, 7);
  EXPECT_EQ(t, p) << "the scratch area itself goes to the caller";
  for (int i = 0; i < 7; i++) EXPECT_EQ(t[i], i);
  EXPECT_NE(a->scratch, t);
  EXPECT_EQ(a->scratch_capacity, 4096u);
  free(t);
}

TEST_F(AdapterTest, AdjacentSpansOfOneParentAreJoinedByReference) {
  GstBuffer *root = buffer_counting(20, 0);
  gst_adapter_push(a, gst_buffer_create_sub(root, 0, 8));
  gst_adapter_push(a, gst_buffer_create_sub(root, 8, 12));
  const guint8 *p = gst_adapter_peek(a, 15);
  EXPECT_EQ(p, root->data) << "joined, not copied";
  EXPECT_EQ(a->scratch, nullptr);
  EXPECT_EQ(g_slist_length(a->buffers), 1u);
  GstBuffer *t = gst_adapter_take_buffer(a, 20);
  EXPECT_EQ(t->parent, root);
  gst_buffer_unref(t);
  gst_buffer_unref(root);
}

TEST_F(AdapterTest, FlushAndCopyIgnoreOutOfRangeRequests) {
  gst_adapter_push(a, buffer_counting(5, 0));
  gst_adapter_flush(a, 0);
  gst_adapter_flush(a, 6);
  EXPECT_EQ(gst_adapter_available(a), 5u);
  guint8 out[4] = {9, 9, 9, 9};
  gst_adapter_copy(a, out, 2, 4);
  EXPECT_EQ(out[0], 9) << "a copy past the end does nothing";
  gst_adapter_copy(a, out, 0xFFFFFFFFu, 2);
  EXPECT_EQ(out[0], 9) << "the range test must not wrap";
  gst_adapter_copy(a, out, 1, 4);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[3], 4);
}

TEST_F(AdapterTest, DistanceCountsFlushedBytesAndClearResetsIt) {
  gst_adapter_push(a, buffer_counting(5, 0));
  gst_adapter_push(a, buffer_counting(5, 0));
  gst_adapter_flush(a, 3);
  gst_adapter_flush(a, 4);
  guint64 distance = 0;
  EXPECT_EQ(gst_adapter_prev_timestamp(a, &distance), 0u);
  EXPECT_EQ(distance, 7u);
  gst_adapter_clear(a);
  EXPECT_EQ(gst_adapter_prev_timestamp(a, &distance), GST_CLOCK_TIME_NONE);
  EXPECT_EQ(distance, 0u);
  EXPECT_EQ(gst_adapter_prev_timestamp(nullptr, nullptr), GST_CLOCK_TIME_NONE);
}

TEST_F(AdapterTest, TakeListReturnsOnePiecePerBufferTouched) {
  gst_adapter_push(a, buffer_counting(4, 0));
  gst_adapter_push(a, buffer_counting(0, 0));
  gst_adapter_push(a, buffer_counting(4, 4));
  gst_adapter_push(a, buffer_counting(4, 8));
  gst_adapter_flush(a, 1);
  GList *list = gst_adapter_take_list(a, 9);
  std::vector<uint32_t> sizes;
  std::vector<uint8_t> bytes;
  for (GList *l = list; l; l = l->next) {
    auto *b = static_cast<GstBuffer *>(l->data);
    sizes.push_back(b->size);
    bytes.insert(bytes.end(), b->data, b->data + b->size);
    gst_buffer_unref(b);
  }
  while (list) {
    GList *next = list->next;
    free(list);
    list = next;
  }
  EXPECT_EQ(sizes, (std::vector<uint32_t>{3, 4, 2}));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(gst_adapter_available(a), 2u);
}

TEST_F(AdapterTest, MaskedScanFindsAStartCode) {
  gst_adapter_push(a, buffer_of({0x00, 0x00, 0x01, 0xB6}));
  guint32 value = 0;
  EXPECT_EQ(gst_adapter_masked_scan_uint32_peek(a, 0xFFFFFF00u, 0x00000100u, 0, 4, &value), 0u);
  EXPECT_EQ(value, 0x000001B6u);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFF00u, 0x00000100u, 0, 3), 0xFFFFFFFFu);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFF, 0x100, 0, 4), 0xFFFFFFFFu)
      << "a pattern bit outside the mask never matches";
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFFFFu, 0, 0xFFFFFFFEu, 4), 0xFFFFFFFFu);
}

TEST_F(AdapterTest, MaskedScanCrossesBuffersAndResumesForward) {
  gst_adapter_push(a, buffer_of({9, 9, 0x00}));
  gst_adapter_push(a, buffer_of({0x00}));
  gst_adapter_push(a, buffer_of({0x01, 0xB3, 9, 0x00, 0x00, 0x01, 0xB6, 9}));
  const guint32 avail = gst_adapter_available(a);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFF00u, 0x100u, 0, avail), 2u);
  EXPECT_NE(a->extra->scan_node, nullptr);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFF00u, 0x100u, 3, avail - 3), 7u);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFFFFu, 0x000001B3u, 0, avail), 2u)
      << "a scan behind the resume point starts again from the first buffer";
  gst_adapter_flush(a, 1);
  EXPECT_EQ(a->extra->scan_node, nullptr);
  EXPECT_EQ(gst_adapter_masked_scan_uint32(a, 0xFFFFFFFFu, 0x000001B6u, 0, avail - 1), 6u);
}

TEST_F(AdapterTest, PushPastFourGibibytesIsRefused) {
  GstBuffer *big = gst_buffer_new();
  big->size = 0xFFFFFFF0u;  // no memory behind it: only the size is looked at
  EXPECT_TRUE(quillar::adapter_push(a, big));
  GstBuffer *more = gst_buffer_new_and_alloc(32);
  EXPECT_FALSE(quillar::adapter_push(a, more));
  EXPECT_EQ(gst_adapter_available(a), 0xFFFFFFF0u);
  gst_adapter_clear(a);
}

}  // namespace

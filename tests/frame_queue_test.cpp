// SPDX-License-Identifier: BSD-2-Clause
// The formats' frame queue: queue_frame appends at a remembered tail while
// consumers take frames from the head (as the front end does) or clear the
// list (as tools and tests do). Checked against a model over random mixes.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "format/format.h"

namespace {

std::vector<GstBuffer *> contents(const GSList *list) {
  std::vector<GstBuffer *> out;
  for (; list; list = list->next) out.push_back(static_cast<GstBuffer *>(list->data));
  return out;
}

void take_head(ParserOutput *output) {
  gst_buffer_unref(static_cast<GstBuffer *>(output->frames->data));
  output->frames = g_slist_delete_link(output->frames, output->frames);
}

TEST(FrameQueue, AppendsInOrderWhileTheHeadIsTakenOrTheListCleared) {
  std::mt19937 random(18);
  ParserOutput output{};
  quillar::FrameTail tail{};
  std::deque<GstBuffer *> model;
  for (int step = 0; step < 4000; step++) {
    const unsigned action = random() % 10;
    if (action < 6) {  // appends come in runs, as one chain call queues several
      GstBuffer *frame = gst_buffer_new_and_alloc(1);
      ASSERT_TRUE(quillar::queue_frame(&output, &tail, frame));
      model.push_back(frame);
    } else if (action < 9 && !model.empty()) {
      take_head(&output);
      model.pop_front();
    } else if (action == 9) {
      while (output.frames) take_head(&output);
      model.clear();
    }
    ASSERT_EQ(contents(output.frames), std::vector<GstBuffer *>(model.begin(), model.end())) << "step " << step;
  }
  while (output.frames) take_head(&output);
}

TEST(FrameQueue, WithoutATailAFrameStillGoesLastAndNullIsRefused) {
  ParserOutput output{};
  quillar::FrameTail tail{};
  GstBuffer *first = gst_buffer_new_and_alloc(1), *second = gst_buffer_new_and_alloc(1);
  ASSERT_TRUE(quillar::queue_frame(&output, &tail, first));
  quillar::FrameTail fresh{};  // knows nothing of the list: walks it to its end
  ASSERT_TRUE(quillar::queue_frame(&output, &fresh, second));
  EXPECT_FALSE(quillar::queue_frame(&output, &tail, nullptr));
  EXPECT_EQ(contents(output.frames), (std::vector<GstBuffer *>{first, second}));
  GstBuffer *third = gst_buffer_new_and_alloc(1);
  ASSERT_TRUE(quillar::queue_frame(&output, &tail, third));  // the tail's end was passed by
  EXPECT_EQ(contents(output.frames), (std::vector<GstBuffer *>{first, second, third}));
  while (output.frames) take_head(&output);
}

}  // namespace

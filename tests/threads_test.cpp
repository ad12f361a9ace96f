// SPDX-License-Identifier: BSD-2-Clause
// Many host threads at once. Contexts share nothing, so N contexts over every
// input, from files and from pipes, give each exactly the single-threaded
// items; the registration helpers, which are process-wide, hand out numbers
// and references without losing or repeating any. The suites are named
// Threaded* so that the ThreadSanitizer run picks them out.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "quillar/gstcaps.h"
#include "quillar/gstparser.h"
#include "quillar/gsttype.h"
#include "support/streams.h"

using namespace qtest;

namespace {

constexpr int kThreads = 8;

bool same_items(const HostRun &a, const HostRun &b) {
  if (a.end != b.end || a.items.size() != b.items.size()) return false;
  for (size_t i = 0; i < a.items.size(); i++)
    if (a.items[i].kind != b.items[i].kind || a.items[i].data != b.items[i].data) return false;
  return true;
}

HostRun run_from(const StreamInput &in, bool pipe) {
  if (pipe) {
    PipeFeeder feed(in.data, 4000);
    FILE *f = feed.open();
    HostRun r = run_stream(f, in.standard);
    fclose(f);
    return r;
  }
  return run_file(in);
}

TEST(ThreadedHosts, EveryInputFromFilesAndPipesAtOnce) {
  const std::vector<StreamInput> &inputs = stream_inputs();
  std::vector<HostRun> reference;
  for (const StreamInput &in : inputs) {
    reference.push_back(run_from(in, false));
    ASSERT_EQ(reference.back().end, PARSER_END_OF_STREAM) << in.name;
  }
  // Each input twice from a file and twice from a pipe, all at once.
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int round = 0; round < 2; round++)
    for (size_t i = 0; i < inputs.size(); i++)
      for (bool pipe : {false, true})
        threads.emplace_back([&, i, pipe] {
          if (!same_items(run_from(inputs[i], pipe), reference[i])) mismatches.fetch_add(1);
        });
  for (std::thread &t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// Numbers come from one counter: no number twice, each thread's numbers
// increasing, as many numbers as calls.
TEST(ThreadedRegistration, PointerTypesAreNeverHandedOutTwice) {
  constexpr int kCalls = 20000;
  std::vector<std::vector<GType>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([&seen, t] {
      for (int i = 0; i < kCalls; i++) seen[t].push_back(g_pointer_type_register_static("T"));
    });
  for (std::thread &t : threads) t.join();
  std::set<GType> all;
  for (const std::vector<GType> &s : seen) {
    EXPECT_TRUE(std::is_sorted(s.begin(), s.end()) && std::adjacent_find(s.begin(), s.end()) == s.end());
    all.insert(s.begin(), s.end());
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads) * kCalls);
}

// Every thread gets the one cached number, and it stays cached.
TEST(ThreadedRegistration, CachedTypesAreTheSameInEveryThread) {
  for (GType (*get)(void) : {gst_static_caps_get_type, gst_static_pad_template_get_type}) {
    std::vector<GType> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) threads.emplace_back([&got, get, t] { got[t] = get(); });
    for (std::thread &t : threads) t.join();
    // A 0 is the process's very first number, which is never cached.
    std::erase(got, 0u);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(std::count(got.begin(), got.end(), got[0]), static_cast<long>(got.size()));
    EXPECT_EQ(get(), got[0]);
  }
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([&wrong] {
      if (gst_adapter_get_type() != 81) wrong.fetch_add(1);
    });
  for (std::thread &t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

// Static caps met by several threads on first use: set up once, and every
// reference counted (the static caps' own plus one per get, less the unrefs).
TEST(ThreadedRegistration, StaticCapsCountEveryReference) {
  constexpr int kGets = 2000;
  for (int trial = 0; trial < 20; trial++) {
    GstStaticCaps caps = GST_STATIC_CAPS("video/x-vp8");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < kThreads; t++)
      threads.emplace_back([&caps, &wrong] {
        for (int i = 0; i < kGets; i++) {
          GstCaps *got = gst_static_caps_get(&caps);
          if (got != &caps.caps) wrong.fetch_add(1);
          if (i % 2) gst_caps_unref(got);
        }
      });
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    ASSERT_EQ(caps.caps.refcount, 1u + kThreads * kGets / 2) << "trial " << trial;
    ASSERT_NE(caps.caps.structures, nullptr);
    g_ptr_array_free(caps.caps.structures, 1);  // static caps keep theirs for good
  }
}

}  // namespace

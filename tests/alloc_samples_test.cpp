// SPDX-License-Identifier: BSD-2-Clause
// Running out of memory anywhere while a bundled sample is read: the n-th
// allocation of a run fails, for every n up to the run's total (with a
// stride for samples that make many allocations). Each run must end with a
// published result code, hand out no null or damaged item, and the items it
// did hand out must be the first items of the clean run; under the
// sanitizer build nothing may leak either.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "quillar/gstparser.h"
#include "support/alloc_fail.h"
#include "support/host.h"

using namespace qtest;

namespace {

struct Sample {
  std::string name;
  uint32_t standard;
};

void PrintTo(const Sample &s, std::ostream *os) { *os << s.name << " (standard " << s.standard << ")"; }

std::vector<Sample> samples() {
  const struct {
    const char *suffix;
    uint32_t standard;
  } kinds[] = {{".ivf", 10}, {".webp", 10}, {".rcv", 5}, {".wmv", 5},
               {".rm", 7},    {".avi", 8},   {".vp6", 9}, {".flv", 9},
               {".webm", 10}, {".mkv", 7}};
  std::vector<Sample> found;
  DIR *d = opendir(QUILLAR_SOURCE_DIR "/samples");
  while (dirent *e = d ? readdir(d) : nullptr) {
    const std::string name = e->d_name;
    for (const auto &k : kinds) {
      const std::string suffix = k.suffix;
      if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        found.push_back({name, k.standard});
    }
  }
  if (d) closedir(d);
  return found;
}

Bytes read_file(const std::string &path) {
  Bytes b;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return b;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) b.insert(b.end(), chunk, chunk + n);
  fclose(f);
  return b;
}

// At most this many failure points per sample and capacity keep the sweep
// within seconds (every allocation is tried when a run makes fewer).
constexpr size_t kMaxPoints = 300;

void sweep(const Sample &s, uint32_t capacity) {
  const Bytes file = read_file(QUILLAR_SOURCE_DIR "/samples/" + s.name);
  ASSERT_FALSE(file.empty()) << s.name;
  HostRun clean;
  size_t total = 0;
  {
    StdoutCapture quiet;
    const size_t before = allocation_count();
    clean = run_host(file, s.standard, capacity);
    total = allocation_count() - before;
  }
  ASSERT_EQ(clean.end, PARSER_END_OF_STREAM) << s.name;
  const size_t stride = total / kMaxPoints + 1;
  size_t failed_runs = 0;
  for (size_t n = 0; n < total; n += stride) {
    HostRun r;
    bool triggered = false;
    {
      StdoutCapture quiet;
      FailAllocation fail(static_cast<long>(n));
      r = run_host(file, s.standard, capacity);
      triggered = fail.triggered();
    }
    const std::string where = s.name + ", allocation " + std::to_string(n) + " of " + std::to_string(total);
    ASSERT_TRUE(triggered) << where;
    if (!r.initialised) continue;  // the context itself could not be made
    ASSERT_TRUE(r.end == PARSER_END_OF_STREAM || r.end == PARSER_ERROR_CHAIN) << where << ": " << r.end;
    if (r.end == PARSER_ERROR_CHAIN) failed_runs++;
    if (r.end == PARSER_END_OF_STREAM) {
      EXPECT_EQ(r.items.size(), clean.items.size()) << where << ": an item was lost without an error";
    }
    ASSERT_LE(r.items.size(), clean.items.size()) << where;
    for (size_t i = 0; i < r.items.size(); i++) {
      ASSERT_EQ(r.items[i].kind, clean.items[i].kind) << where << ", item " << i;
      ASSERT_TRUE(r.items[i].data == clean.items[i].data) << where << ", item " << i;
    }
  }
  EXPECT_GT(failed_runs, 0u) << s.name << ": no failure was ever reported";
}

class SampleAllocation : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleAllocation, EveryFailurePointEndsCleanlyWithAPrefixOfTheItems) {
  sweep(GetParam(), 4096);
  sweep(GetParam(), 1u << 24);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleAllocation, ::testing::ValuesIn(samples()),
                         [](const ::testing::TestParamInfo<Sample> &p) {
                           std::string n = p.param.name;
                           for (char &c : n)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

}  // namespace

// SPDX-License-Identifier: BSD-2-Clause
#include "support/interop.h"

#include <gtest/gtest.h>

namespace qtest {

void expect_frames_match(const std::string &path, uint32_t standard,
                         const std::vector<ProbePacket> &expected) {
  ASSERT_FALSE(expected.empty()) << "ffprobe found no packets in " << path;
  HostRun r = run_host_all_capacities(read_bytes(path), standard);
  std::vector<const Item *> frames;
  for (const Item &item : r.items)
    if (item.kind == 1) frames.push_back(&item);
  ASSERT_EQ(frames.size(), expected.size()) << path;
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_EQ(frames[i]->data.size(), expected[i].size) << path << " frame " << i;
    EXPECT_EQ(md5_hex(frames[i]->data), expected[i].md5) << path << " frame " << i;
  }
  EXPECT_EQ(r.end, 12) << path << " should end with end of stream";
}

}  // namespace qtest

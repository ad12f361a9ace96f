// SPDX-License-Identifier: BSD-2-Clause
// Comparing the library's items with ffprobe's packets for a real file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/host.h"
#include "support/media.h"

namespace qtest {

// A test fixture with a scratch directory for files made by ffmpeg.
class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_dir(); }
  void TearDown() override { remove_tree(dir_); }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  // Makes a file with ffmpeg or fails the test with ffmpeg's message.
  std::string make(const std::string &name, const std::string &args) {
    std::string why;
    const std::string out = path(name);
    EXPECT_TRUE(ffmpeg(args, out, &why)) << "ffmpeg " << args << ":\n" << why;
    return out;
  }
  std::string dir_;
};

// Runs `path` at every host capacity and checks the frames, in order, against
// `expected` (size and MD5). Codec-data items are skipped over here.
void expect_frames_match(const std::string &path, uint32_t standard,
                         const std::vector<ProbePacket> &expected);

}  // namespace qtest

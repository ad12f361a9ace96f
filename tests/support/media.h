// SPDX-License-Identifier: BSD-2-Clause
// Real files made by ffmpeg at test time, checked against ffprobe's packets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qtest {

struct ProbePacket {
  int stream_index = 0;
  uint64_t size = 0;
  int64_t pos = -1;
  std::string md5;
  std::string codec_type;  // "video", "audio", ...
};

// Whether a command exists on PATH.
bool have_tool(const char *name);
// Runs a shell command; returns its exit status. Output goes to `log` when given.
int run_command(const std::string &command, std::string *log = nullptr);
// A fresh directory for one test's files, removed by the caller's fixture.
std::string temp_dir();
void remove_tree(const std::string &dir);
// Makes `out` with ffmpeg from the given arguments (input and codec
// options). Returns false, with the reason in *why, when ffmpeg fails.
bool ffmpeg(const std::string &args, const std::string &out, std::string *why);
// ffprobe's packets of `path` (extra arguments such as "-fflags +ignidx"
// go before the input), in file order.
std::vector<ProbePacket> probe_packets(const std::string &path, const std::string &extra = "");
// A stream's extradata as ffprobe reports it, as bytes (empty when none).
std::vector<uint8_t> probe_extradata(const std::string &path, int stream_index);

}  // namespace qtest

// Skips the current test, visibly, when ffmpeg or ffprobe is missing.
#define QTEST_REQUIRE_FFMPEG()                                                       \
  do {                                                                               \
    if (!qtest::have_tool("ffmpeg") || !qtest::have_tool("ffprobe"))                 \
      GTEST_SKIP() << "ffmpeg/ffprobe not installed: interop test skipped";          \
  } while (0)

// SPDX-License-Identifier: BSD-2-Clause
// Driving the library through its four host calls, as a decoder host does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/writer.h"

namespace qtest {

struct Item {
  uint32_t kind = 0;      // BUFFER_KIND_*
  Bytes data;
  uint32_t skipped = 0;   // skipped_frames summed over the item's calls
  int pieces = 0;         // calls it took
};

struct HostRun {
  bool initialised = false;
  std::vector<Item> items;
  int32_t end = 0;              // the result that ended the run
  uint32_t end_skipped = 0;     // skipped_frames reported with end of stream
  uint32_t config[2] = {0, 0};  // codec config after the run (height, width)
  int32_t config_result = -1;
  size_t items_before_error = 0;
};

// Runs `file` (the whole content) through GSTPARSER_* with a host buffer of
// `capacity` bytes until end of stream or an error (or max_calls calls).
HostRun run_host(const Bytes &file, uint32_t standard, uint32_t capacity,
                 size_t max_calls = 1000000);
HostRun run_host_file(const std::string &path, uint32_t standard, uint32_t capacity);
// The same over a stream the caller opened (and closes).
HostRun run_host_stream(FILE *f, uint32_t standard, uint32_t capacity, size_t max_calls = 100000000);

// The capacities every file is run through: 1, 7, 4096 and whole items.
extern const uint32_t kCapacities[4];

// Runs the file at every capacity and checks that each run gives the same
// items as the run with whole-item capacity, which is returned.
HostRun run_host_all_capacities(const Bytes &file, uint32_t standard);

std::string md5_hex(const Bytes &data);

// Captures what the library prints on standard output while it lives.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string text();  // stops capturing and returns what was printed

 private:
  int saved_fd_ = -1;
  std::string path_;
  bool done_ = false;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const Bytes &data);
Bytes read_bytes(const std::string &path);

}  // namespace qtest

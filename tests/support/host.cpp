// SPDX-License-Identifier: BSD-2-Clause
#include "support/host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "md5.h"
#include "quillar/gstparser.h"

namespace qtest {

const uint32_t kCapacities[4] = {1, 7, 4096, 64u << 20};

static HostRun run(FILE *f, uint32_t standard, uint32_t capacity, size_t max_calls) {
  HostRun r;
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, standard, f);
  if (!ctx) return r;
  r.initialised = true;
  std::vector<uint8_t> buffer(capacity ? capacity : 1);
  Item item;
  bool in_item = false;
  for (size_t call = 0; call < max_calls; call++) {
    BitStrBufInfo info = {0xDEAD, 0xDEAD, in_item ? item.kind : 0xDEADu, 0xDEAD};
    uint32_t cap = capacity;
    const int32_t result = GSTPARSER_BitStrBufFill(ctx, buffer.data(), &cap, &info);
    if (result != PARSER_OK) {
      r.end = result;
      if (result == PARSER_END_OF_STREAM) r.end_skipped = info.skipped_frames;
      EXPECT_FALSE(in_item) << "an item was left unfinished";
      break;
    }
    if (!in_item) {
      item = Item();
      item.kind = info.buffer_kind;
      in_item = true;
    } else {
      EXPECT_EQ(info.buffer_kind, item.kind) << "a continuing call rewrote buffer_kind";
    }
    EXPECT_LE(info.copied_bytes, capacity);
    item.data.insert(item.data.end(), buffer.begin(), buffer.begin() + static_cast<long>(info.copied_bytes));
    item.skipped += info.skipped_frames;
    item.pieces++;
    if (info.frame_complete == 1) {
      r.items.push_back(std::move(item));
      in_item = false;
    } else {
      EXPECT_EQ(info.frame_complete, 0u);
      EXPECT_EQ(info.copied_bytes, capacity) << "an unfinished piece must fill the buffer";
    }
  }
  r.items_before_error = r.items.size();
  r.config_result = GSTPARSER_GetCodecConfig(ctx, r.config);
  GSTPARSER_Deinitialise(ctx);
  return r;
}

HostRun run_host(const Bytes &file, uint32_t standard, uint32_t capacity, size_t max_calls) {
  // fmemopen of 0 bytes fails; an empty file is a one-byte buffer opened
  // at size... instead use a temporary file for it.
  FILE *f = file.empty() ? tmpfile()
                         : fmemopen(const_cast<uint8_t *>(file.data()), file.size(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open the in-memory file";
    return HostRun();
  }
  HostRun r = run(f, standard, capacity, max_calls);
  fclose(f);
  return r;
}

HostRun run_host_stream(FILE *f, uint32_t standard, uint32_t capacity, size_t max_calls) {
  return run(f, standard, capacity, max_calls);
}

HostRun run_host_file(const std::string &path, uint32_t standard, uint32_t capacity) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open " << path;
    return HostRun();
  }
  HostRun r = run(f, standard, capacity, 100000000);
  fclose(f);
  return r;
}

HostRun run_host_all_capacities(const Bytes &file, uint32_t standard) {
  HostRun whole = run_host(file, standard, kCapacities[3]);
  for (int i = 0; i < 3; i++) {
    HostRun r = run_host(file, standard, kCapacities[i]);
    EXPECT_EQ(r.end, whole.end) << "capacity " << kCapacities[i];
    EXPECT_EQ(r.items.size(), whole.items.size()) << "capacity " << kCapacities[i];
    for (size_t k = 0; k < r.items.size() && k < whole.items.size(); k++) {
      EXPECT_EQ(r.items[k].kind, whole.items[k].kind) << "item " << k << " capacity " << kCapacities[i];
      EXPECT_TRUE(r.items[k].data == whole.items[k].data) << "item " << k << " capacity " << kCapacities[i];
    }
  }
  return whole;
}

std::string md5_hex(const Bytes &data) {
  Md5 m;
  md5_init(&m);
  md5_update(&m, data.data(), data.size());
  char hex[33];
  md5_final_hex(&m, hex);
  return hex;
}

StdoutCapture::StdoutCapture() {
  fflush(stdout);
  char tmpl[] = "/tmp/quillar-stdout-XXXXXX";
  int fd = mkstemp(tmpl);
  path_ = tmpl;
  saved_fd_ = dup(1);
  dup2(fd, 1);
  close(fd);
}

std::string StdoutCapture::text() {
  if (!done_) {
    fflush(stdout);
    dup2(saved_fd_, 1);
    close(saved_fd_);
    done_ = true;
  }
  std::string t = read_file(path_);
  return t;
}

StdoutCapture::~StdoutCapture() {
  text();
  unlink(path_.c_str());
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Bytes read_bytes(const std::string &path) {
  std::string s = read_file(path);
  return Bytes(s.begin(), s.end());
}

void write_file(const std::string &path, const Bytes &data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
}

}  // namespace qtest

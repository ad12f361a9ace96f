// SPDX-License-Identifier: BSD-2-Clause
// Micro-benchmarks of the hot paths.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "core/internal.h"
#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/gstparser.h"

namespace {

GstBuffer *block(uint32_t size) {
  GstBuffer *b = gst_buffer_new_and_alloc(size);
  memset(b->data, 0x5A, size);
  return b;
}

// Frames of `frame` bytes behind 12-byte headers cut from 8192-byte blocks,
// as the IVF framer does: peek the header, flush it, take the frame.
void BM_AdapterFrames(benchmark::State &state) {
  const auto frame = static_cast<uint32_t>(state.range(0));
  GstAdapter *a = gst_adapter_new();
  uint64_t frames = 0;
  for (auto _ : state) {
    gst_adapter_push(a, block(8192));
    while (gst_adapter_available(a) >= frame + 12) {
      benchmark::DoNotOptimize(gst_adapter_peek(a, 12));
      gst_adapter_flush(a, 12);
      gst_buffer_unref(gst_adapter_take_buffer(a, frame));
      frames++;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8192);
  gst_adapter_unref(a);
}
BENCHMARK(BM_AdapterFrames)->Arg(100)->Arg(1500)->Arg(60000);

// A 12-byte header that straddles two pushed blocks: the adapter copies it
// into its scratch area (blocks of separate allocations cannot be joined).
void BM_AdapterPeekAcrossBlocks(benchmark::State &state) {
  GstAdapter *a = gst_adapter_new();
  for (auto _ : state) {
    gst_adapter_push(a, block(8192));
    gst_adapter_push(a, block(8192));
    gst_adapter_flush(a, 8186);
    benchmark::DoNotOptimize(gst_adapter_peek(a, 12));
    gst_buffer_unref(gst_adapter_take_buffer(a, 8192 - 6 + 8192 - 12));  // assembled copy
    gst_adapter_flush(a, 12);
  }
  gst_adapter_unref(a);
}
BENCHMARK(BM_AdapterPeekAcrossBlocks);

void BM_MaskedScan(benchmark::State &state) {
  GstAdapter *a = gst_adapter_new();
  for (int i = 0; i < 8; i++) gst_adapter_push(a, block(8192));
  const uint32_t n = gst_adapter_available(a);
  for (auto _ : state) benchmark::DoNotOptimize(gst_adapter_masked_scan_uint32(a, 0xFFFFFF00u, 0x100u, 0, n));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n);
  gst_adapter_unref(a);
}
BENCHMARK(BM_MaskedScan);

void BM_ListAppend(benchmark::State &state) {
  const auto n = static_cast<int>(state.range(0));
  int dummy = 0;
  for (auto _ : state) {
    GSList *list = nullptr;
    for (int i = 0; i < n; i++) list = g_slist_append(list, &dummy);
    while (list) list = g_slist_delete_link(list, list);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_ListAppend)->Arg(1)->Arg(4)->Arg(64);

// Frames queued on ParserOutput.frames as demultiplexers do, then taken
// from the head as the front end does: `n` frames per chain call.
void BM_QueueFrames(benchmark::State &state) {
  const auto n = static_cast<int>(state.range(0));
  ParserOutput out = {};
  quillar::FrameTail tail = {};
  GstBuffer *frame = gst_buffer_new();
  for (auto _ : state) {
    for (int i = 0; i < n; i++) quillar::queue_frame(&out, &tail, gst_buffer_ref(frame));
    while (out.frames) {
      gst_buffer_unref(static_cast<GstBuffer *>(out.frames->data));
      out.frames = g_slist_delete_link(out.frames, out.frames);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  gst_buffer_unref(frame);
}
BENCHMARK(BM_QueueFrames)->Arg(1)->Arg(8)->Arg(64);

// The whole hand-out path over an in-memory IVF file of 1500-byte frames.
void BM_HandOutIvf(benchmark::State &state) {
  std::vector<uint8_t> file(32, 0);
  memcpy(file.data(), "DKIF", 4);
  file[6] = 32;
  memcpy(file.data() + 8, "VP80", 4);
  for (int i = 0; i < 2000; i++) {
    uint8_t header[12] = {0xDC, 0x05};  // 1500
    file.insert(file.end(), header, header + 12);
    file.insert(file.end(), 1500, static_cast<uint8_t>(i));
  }
  std::vector<uint8_t> host(1 << 20);
  // The library's messages go to /dev/null while it runs; the report after.
  fflush(stdout);
  const int saved = dup(1);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  close(devnull);
  for (auto _ : state) {
    FILE *f = fmemopen(file.data(), file.size(), "rb");
    ParserContext *ctx = nullptr;
    GSTPARSER_Initialise(&ctx, 10, f);
    uint32_t cap = static_cast<uint32_t>(state.range(0));
    BitStrBufInfo info;
    while (GSTPARSER_BitStrBufFill(ctx, host.data(), &cap, &info) == PARSER_OK) {
    }
    GSTPARSER_Deinitialise(ctx);
    fclose(f);
  }
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
// Host buffers of 4 KiB (items of 1500 bytes fit) and 1 MiB, and of 512
// bytes (every item handed out over three calls).
BENCHMARK(BM_HandOutIvf)->Arg(512)->Arg(4096)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();

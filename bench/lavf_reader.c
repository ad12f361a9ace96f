/* SPDX-License-Identifier: BSD-2-Clause */
/* Benchmark reader: the peer. The file through libavformat's av_read_frame.
 * Usage: lavf_reader FILE [video] [copy]
 * With "video", only packets of video streams are counted and touched (for
 * containers where libQuillar hands out video only). With "copy", each
 * packet is first copied into a host buffer of 1 MiB (the capacity the
 * library's reader hands items into), as a decoder host that reads with
 * libavformat does, and the copy is touched; a packet larger than the
 * buffer is copied in buffer-sized pieces.
 * Prints: items=N bytes=B sum=S seconds=T */
#include <inttypes.h>
#include <libavformat/avformat.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "touch.h"

static double now(void) { return clock_seconds(CLOCK_MONOTONIC); }

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  int video_only = 0, copy = 0;
  for (int i = 2; i < argc; i++) {
    if (strcmp(argv[i], "video") == 0) video_only = 1;
    else if (strcmp(argv[i], "copy") == 0) copy = 1;
    else return 2;
  }
  enum { kHostCapacity = 1 << 20 };
  uint8_t *host = copy ? malloc(kHostCapacity) : NULL;
  if (copy && !host) return 1;
  av_log_set_level(AV_LOG_QUIET);
  const double start = now(), cpu_start = clock_seconds(CLOCK_PROCESS_CPUTIME_ID);
  AVFormatContext *fmt = NULL;
  if (avformat_open_input(&fmt, argv[1], NULL, NULL) < 0) {
    fprintf(stderr, "libavformat cannot open %s\n", argv[1]);
    return 1;
  }
  AVPacket *pkt = av_packet_alloc();
  uint64_t items = 0, bytes = 0, sum = 0;
  while (av_read_frame(fmt, pkt) >= 0) {
    const AVStream *st = fmt->streams[pkt->stream_index];
    if (!video_only || st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (copy) {
        for (size_t done = 0, size = (size_t)pkt->size; done < size;) {
          const size_t n = size - done < kHostCapacity ? size - done : kHostCapacity;
          memcpy(host, pkt->data + done, n);
          sum = touch_bytes(sum, host, n);
          done += n;
        }
      } else {
        sum = touch_bytes(sum, pkt->data, (size_t)pkt->size);
      }
      bytes += (uint64_t)pkt->size;
      items++;
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&fmt);
  free(host);
  const double seconds = now() - start, cpu = clock_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
  printf("items=%" PRIu64 " bytes=%" PRIu64 " sum=%" PRIu64 " seconds=%.6f cpu_seconds=%.6f end=0 rss_kib=%ld\n", items, bytes, sum,
         seconds, cpu, peak_rss_kib());
  return 0;
}

// SPDX-License-Identifier: BSD-2-Clause
// Hostile files against the memory bound: each case writes a file of a few
// hundred MiB to a scratch directory (streamed, never held in memory) that
// declares impossible sizes or runs a parser into a dead end, runs the
// quillar host tool over it and checks the tool's peak RSS (wait4) against
// the bound the README states:
//   dead end:      base + kFixedMiB (nothing grows with the file)
//   awaited item:  base + kFixedMiB + the bytes the file has for the item
//                  (+ 1/32 for the adapter's block records)
//   items:         base + kFixedMiB + twice the largest item (one being
//                  assembled while the one before it is handed out)
// base is the tool's peak RSS on a small valid file. The checker itself stays
// small (no case holds its file in memory): a forked child's peak RSS counts
// what it shared with its parent before exec.
// Usage: hostile_check QUILLAR_TOOL [MIB=256] [SCRATCH_DIR=/tmp] [CASE...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/asf_writer.h"
#include "support/avi_writer.h"
#include "support/ivf_writer.h"
#include "support/mkv_writer.h"
#include "support/rcv_writer.h"
#include "support/rm_writer.h"
#include "support/webp_writer.h"

namespace {

using namespace qtest;

constexpr long kFixedMiB = 24;

enum class Bound { kDeadEnd, kAwaited, kItems };

struct Case {
  const char *name;
  int standard;
  Bytes head;   // written once
  Bytes unit;   // then repeated up to the file size (empty: zero bytes)
  Bound bound;
  const char *what;
  uint32_t unit_fill = 0;  // bytes of 0x55 after each `unit`
};

Bytes cat(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes ivf_head() { return IvfWriter("VP80", 1).take(); }

Bytes avi_head() {
  avi::File f = avi::av_file();
  f.movi = {avi::chunk("00dc", pattern(60, 1))};
  return f.build();
}

Bytes asf_valid(uint32_t packet_size, uint32_t total_packets_extra = 0) {
  AsfFile f;
  f.packet_size = packet_size;
  f.header_objects = asf_usual_header(packet_size, {0x4E, 0x29, 0x1A, 0x01});
  f.packets_from(asf_packetize({{1, pattern(90, 2)}}, packet_size, AsfLayout()));
  if (total_packets_extra) f.total_packets = static_cast<int64_t>(f.packets.size() + total_packets_extra);
  return f.build();
}

// An ASF packet whose one payload starts a media object of nearly 4 GiB.
Bytes asf_huge_object_packet(uint32_t packet_size, uint32_t number) {
  AsfPayload p;
  p.object_number = number & 0xFF;
  p.object_size = 0xFFFFFFF0u;
  p.data = pattern(64, number);
  return asf_packet(packet_size, AsfLayout(), {p});
}

Bytes rm_valid() {
  const Bytes codec = {0x10, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};
  return RmWriter()
      .file_header()
      .properties()
      .video_stream(1, 320, 240, codec)
      .data({rm_packet(1, rv_whole(pattern(100, 3)))})
      .take();
}

// A live WebM start: EBML header, unknown-size Segment, track list, one
// cluster of unknown size with one VP8 frame, then `tail`.
Bytes mkv_live(const Bytes &tail) {
  namespace m = qtest::mkv;
  const m::Track vp8 = {1, 1, "V_VP8", {}, 320, 240, {}};
  return m::cat({m::ebml_header(), m::id_bytes(m::kSegment), m::unknown_size(), m::tracks({vp8}),
                 m::id_bytes(m::kCluster), m::unknown_size(), m::uint_el(m::kTimestamp, 0),
                 m::simple_block(1, pattern(100, 6)), tail});
}

std::vector<Case> cases() {
  std::vector<Case> c;
  c.push_back({"ivf-frame-past-4GiB", 10, cat(ivf_head(), Writer().le32(0xFFFFFFF8u).le64(0).take()), {},
               Bound::kDeadEnd, "a frame that can never be buffered, then data"});
  c.push_back({"ivf-frame-never-arrives", 10, cat(ivf_head(), Writer().le32(0xF0000000u).le64(0).take()), {},
               Bound::kAwaited, "a 3.75 GiB frame whose bytes never all arrive"});
  c.push_back({"vp6-frame-past-4GiB", 9, Writer().le32(0xFFFFFFFEu).take(), {}, Bound::kDeadEnd,
               "a frame that can never be buffered, then data"});
  c.push_back({"vp6-frame-never-arrives", 9, Writer().le32(0xF0000000u).take(), {}, Bound::kAwaited,
               "a 3.75 GiB frame whose bytes never all arrive"});
  RcvHeader bad;
  bad.config_length = 9;
  c.push_back({"rcv-rejected-header", 5, RcvWriter(bad).take(), {}, Bound::kDeadEnd,
               "a refused file header, then data"});
  c.push_back({"rcv-largest-frames", 5, RcvWriter().take(), Writer().le24(0xFFFFFF).u8(0x80).le32(0).take(),
               Bound::kItems, "16 MiB frames (the largest RCV allows), one after the other", 0xFFFFFF});
  WebpFile lossless;
  lossless.chunk = "VP8L";
  lossless.payload = pattern(64, 4);
  c.push_back({"webp-lossless", 10, lossless.bytes(), {}, Bound::kDeadEnd, "a refused image, then data"});
  WebpFile huge;
  huge.chunk_size = 0xFFFFFF00u - 12;
  huge.riff_size = 0xFFFFFF00u;
  c.push_back({"webp-chunk-never-arrives", 10, huge.bytes(), {}, Bound::kAwaited,
               "a 4 GiB VP8 chunk whose bytes never all arrive"});
  c.push_back({"avi-junk-2GiB", 8,
               cat(Writer().tag("RIFF").le32(0xFFFFFFF0u).tag("AVI ").take(),
                   Writer().tag("JUNK").le32(0x7FFFFFF0u).take()),
               {}, Bound::kDeadEnd, "a 2 GiB chunk before the header list"});
  const Bytes avi_hdrl = avi::list_of("hdrl", {avi::avih(2), avi::video_strl(), avi::audio_strl()});
  c.push_back({"avi-list-before-movi-1GiB", 8,
               Writer().tag("RIFF").le32(0xFFFFFFF0u).tag("AVI ").bytes(avi_hdrl)
                   .tag("LIST").le32(0x3FFFFFF0u).tag("INFO").take(),
               {}, Bound::kDeadEnd, "an INFO list of just under 1 GiB before the movie list"});
  c.push_back({"avi-junk-in-movi-1GiB", 8,
               Writer().tag("RIFF").le32(0xFFFFFFF0u).tag("AVI ").bytes(avi_hdrl)
                   .tag("LIST").le32(0xFFFFFF00u).tag("movi").bytes(avi::chunk("00dc", pattern(40, 5)))
                   .tag("JUNK").le32(0x3FFFFFF0u).take(),
               {}, Bound::kDeadEnd, "a filler chunk of just under 1 GiB in the movie list"});
  c.push_back({"avi-data-after-end", 8, avi_head(), {}, Bound::kDeadEnd,
               "a whole file, then data after its RIFF list"});
  c.push_back({"avi-movi-chunk-never-arrives", 8,
               Writer()
                   .tag("RIFF").le32(0xFFFFFFF0u).tag("AVI ")
                   .bytes(avi_hdrl)
                   .tag("LIST").le32(0xFFFFFF00u).tag("movi")
                   .tag("00dc").le32(0x3FFFFFF0u)
                   .take(),
               {}, Bound::kAwaited, "a video chunk of just under 1 GiB that never arrives"});
  c.push_back({"asf-data-after-packets", 5, asf_valid(256), {}, Bound::kDeadEnd,
               "a whole file, then data that is no header object"});
  c.push_back({"asf-header-never-arrives", 5,
               Writer().bytes(asfguid::kHeader).le64(0xFFFFFF00u).le32(5).u8(1).u8(2).take(), {},
               Bound::kAwaited, "a 4 GiB header object whose bytes never all arrive"});
  {
    const uint32_t packet_size = 256;
    Bytes head = asf_valid(packet_size, 0x7FFFFFFF);
    Bytes unit;
    for (uint32_t i = 0; i < 64; i++) unit = cat(unit, asf_huge_object_packet(packet_size, i));
    c.push_back({"asf-4GiB-objects", 5, head, unit, Bound::kDeadEnd,
                 "packets that each start a 4 GiB media object"});
  }
  c.push_back({"rm-data-after-end", 7, rm_valid(), {}, Bound::kDeadEnd,
               "a whole file, then data after its last chunk"});
  c.push_back({"rm-unknown-chunk-4GiB", 7,
               cat(RmWriter().file_header().properties().take(), Writer().tag("ZZZZ").be32(0xFFFFFFF0u).be16(0).take()),
               {}, Bound::kDeadEnd, "an unknown chunk of 4 GiB, then data"});
  // FLV: the back-pointer before each tag, then its header; the fill is the
  // tag's data.
  const Bytes flv_head = Writer().raw("FLV", 3).u8(1).u8(5).be32(9).take();
  c.push_back({"flv-skipped-tags-16MiB", 9, flv_head,
               Writer().be32(0).u8(18).be24(0xFFFFFF).be24(0).u8(0).be24(0).take(), Bound::kDeadEnd,
               "script tags of 16 MiB (the largest), one after the other", 0xFFFFFF});
  c.push_back({"flv-largest-frames", 9, flv_head,
               Writer().be32(0).u8(9).be24(0xFFFFFF).be24(0).u8(0).be24(0).u8(0x24).u8(0).take(),
               Bound::kItems, "VP6 frame tags of 16 MiB (the largest), one after the other", 0xFFFFFF - 2});
  c.push_back({"flv-header-4GiB", 9, Writer().raw("FLV", 3).u8(1).u8(5).be32(0xFFFFFFFFu).take(), {},
               Bound::kDeadEnd, "a file header declaring itself 4 GiB long"});
  namespace m = qtest::mkv;
  c.push_back({"mkv-attachments-4GiB", 10,
               mkv_live(m::cat({m::el_header(m::kAttachments, uint64_t{4} << 30)})), {}, Bound::kDeadEnd,
               "an Attachments element of 4 GiB in a live segment, skipped as it streams past"});
  c.push_back({"mkv-void-2^56", 10, mkv_live(m::el_header(m::kVoid, (uint64_t{1} << 56) - 2, 8)), {},
               Bound::kDeadEnd, "a Void element with the largest 8-byte size"});
  c.push_back({"mkv-other-track-blocks", 10, mkv_live({}),
               m::el_header(m::kSimpleBlock, (60u << 20) + 4, 8), Bound::kDeadEnd,
               "60 MiB blocks of an undeclared track, dropped as they stream past", (60u << 20) + 4});
  c.push_back({"mkv-block-past-limit", 10,
               mkv_live(m::cat({m::el_header(m::kSimpleBlock, 1u << 30), {0x81, 0, 0, 0x80}})), {},
               Bound::kDeadEnd, "a 1 GiB block of the played track (refused: above the 64 MiB limit)"});
  {
    // The largest blocks the demultiplexer holds (64 MiB), one after the other.
    const uint32_t block = 64u << 20;
    c.push_back({"mkv-largest-blocks", 10, mkv_live({}),
                 m::cat({m::el_header(m::kSimpleBlock, block, 8), {0x81, 0, 0, 0x80}}), Bound::kItems,
                 "64 MiB blocks (the largest held), one after the other", block - 4});
  }
  c.push_back({"mkv-refused-clusters-first", 10,
               m::cat({m::ebml_header(), m::id_bytes(m::kSegment), m::unknown_size(),
                       m::id_bytes(m::kCluster), m::unknown_size()}),
               {}, Bound::kDeadEnd, "a cluster before the track list (refused), then data"});
  return c;
}

bool write_file(const std::string &path, const Case &c, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::vector<uint8_t> block(1 << 20);
  bool ok = write(fd, c.head.data(), c.head.size()) == static_cast<ssize_t>(c.head.size());
  size_t unit_at = 0;
  const size_t period = c.unit.size() + c.unit_fill;
  for (size_t written = c.head.size(); ok && written < size;) {
    const size_t n = std::min(block.size(), size - written);
    for (size_t i = 0; i < n; i++, unit_at = (unit_at + 1) % (period ? period : 1))
      block[i] = unit_at < c.unit.size() ? c.unit[unit_at] : period ? 0x55 : 0;
    ok = write(fd, block.data(), n) == static_cast<ssize_t>(n);
    written += n;
  }
  return close(fd) == 0 && ok;
}

// Runs the tool; returns its peak RSS in KiB, or -1 if it did not exit
// normally with 0 or 1. *ending says how the stream ended (from the tool's
// summary line).
long run_tool(const char *tool, int standard, const std::string &path, std::string *ending) {
  const std::string report = path + ".out";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(out, 1);
    dup2(null, 2);
    const std::string code = std::to_string(standard);
    execl(tool, tool, "-q", "-s", code.c_str(), path.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  char text[4096] = {0};
  FILE *f = fopen(report.c_str(), "r");
  const size_t got = f ? fread(text, 1, sizeof text - 1, f) : 0;
  if (f) fclose(f);
  unlink(report.c_str());
  text[got] = 0;
  *ending = strstr(text, "end of stream") ? "end of stream" : strstr(text, "parse error") ? "parse error" : "?";
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: hostile_check QUILLAR_TOOL [MIB] [SCRATCH_DIR] [CASE...]\n");
    return 2;
  }
  const char *tool = argv[1];
  const size_t mib = argc > 2 ? strtoul(argv[2], nullptr, 10) : 256;
  const std::string dir = argc > 3 ? argv[3] : "/tmp";
  const size_t size = mib << 20;
  const std::string path = dir + "/quillar-hostile-" + std::to_string(getpid());

  // The base: the tool on a small valid file.
  Case small{"base", 10, IvfWriter("VP80", 1).frame(pattern(100, 9)).take(), {}, Bound::kDeadEnd, ""};
  if (!write_file(path, small, small.head.size())) return 2;
  std::string ending;
  const long base = run_tool(tool, small.standard, path, &ending);
  if (base < 0) {
    fprintf(stderr, "the tool does not run: %s\n", tool);
    return 2;
  }
  printf("%-29s %8s %8s %9s  %-13s  %s\n", "case", "file MiB", "peak MiB", "bound MiB", "ends with", "what");
  int failures = 0;
  for (const Case &c : cases()) {
    bool wanted = argc <= 4;
    for (int i = 4; i < argc; i++) wanted = wanted || strcmp(argv[i], c.name) == 0;
    if (!wanted) continue;
    if (!write_file(path, c, size)) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      return 2;
    }
    const long peak = run_tool(tool, c.standard, path, &ending);
    long bound = base + (kFixedMiB << 10);
    if (c.bound == Bound::kAwaited) bound += static_cast<long>((size + size / 32) >> 10);
    if (c.bound == Bound::kItems) bound += static_cast<long>(2 * static_cast<size_t>(c.unit_fill) >> 10);
    const bool ok = peak >= 0 && peak <= bound;
    failures += !ok;
    printf("%-29s %8zu %8.1f %9.1f  %-13s  %s%s\n", c.name, mib, peak / 1024.0, bound / 1024.0,
           ending.c_str(), c.what,
           ok ? "" : peak < 0 ? "  FAILED (the tool crashed)" : "  FAILED (over the bound)");
    fflush(stdout);
  }
  unlink(path.c_str());
  printf("base (a small valid file): %.1f MiB; %d case(s) failed\n", base / 1024.0, failures);
  return failures ? 1 : 0;
}

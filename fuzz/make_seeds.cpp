// SPDX-License-Identifier: BSD-2-Clause
// Writes the writer-made seeds of every fuzz target: make_seeds CORPUS_DIR
// (fuzz/corpus). Each target's input layout is the one its
// LLVMFuzzerTestOneInput decodes; the files are small on purpose.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/asf_writer.h"
#include "support/avi_writer.h"
#include "support/flv_writer.h"
#include "support/ivf_writer.h"
#include "support/mkv_writer.h"
#include "support/rcv_writer.h"
#include "support/rm_writer.h"
#include "support/vp6_writer.h"
#include "support/webp_writer.h"

namespace {

using namespace qtest;

std::string g_root;
bool g_ok = true;

void write(const std::string &target, const std::string &name, const Bytes &data) {
  const std::string dir = g_root + "/" + target;
  mkdir(dir.c_str(), 0755);
  const std::string path = dir + "/" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (!f || fwrite(data.data(), 1, data.size(), f) != data.size()) g_ok = false;
  if (f && fclose(f) != 0) g_ok = false;
}

Bytes concat(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Host targets: the file, then two bytes that choose the capacity (see
// host_fuzz.cpp): 7 bytes, 4096 bytes, and whole items.
void host_seeds(const std::string &target, const std::string &name, const Bytes &file) {
  write(target, name + "-cap7", concat(file, {6, 0}));
  write(target, name + "-cap4096", concat(file, {4095 & 0xFF, 4095 >> 8}));
  write(target, name + "-whole", concat(file, {0x00, 0xF0}));
}

// Chain targets: the file as pushes of `slice` bytes (at most 4095), each
// followed by a drain call when `drain` is set (see chain_fuzz.cpp).
Bytes as_pushes(const Bytes &file, size_t slice, bool drain) {
  Writer w;
  for (size_t at = 0; at < file.size(); at += slice) {
    const size_t n = std::min(slice, file.size() - at);
    w.le16(static_cast<uint32_t>(n << 4 | 1)).raw(file.data() + at, n);
    if (drain) w.le16(0);
  }
  return w.take();
}

void chain_seeds(const std::string &parser, const std::string &name, const Bytes &file) {
  const std::string target = "chain_" + parser;
  write(target, name + "-whole", as_pushes(file, 4095, false));
  write(target, name + "-by7", as_pushes(file, 7, false));
  write(target, name + "-by100-drain", as_pushes(file, 100, true));
}

void format_seeds(int standard, const std::string &parser, const std::string &name, const Bytes &file) {
  host_seeds("host_" + std::to_string(standard), name, file);
  chain_seeds(parser, name, file);
}

Bytes ivf_file(const char *codec) {
  IvfWriter w(codec, 3);
  return w.frame(pattern(40, 1), 0).frame({}, 1).frame(pattern(300, 2), 2).take();
}

Bytes vp6_file() {
  Vp6Writer w;
  return w.frame(pattern(30, 3)).skipped().frame(pattern(200, 4)).take();
}

// VP6 frames with and without alpha between audio and script tags, a
// command frame, a tag without frame data and a wrong back-pointer.
Bytes flv_file() {
  FlvWriter w;
  w.script(flv_metadata(0.2, 64, 48, 4)).video(flv_vp6(pattern(40, 28), 1, 0x22), 0);
  w.audio(flv_audio(pattern(30, 29)), 0).video({0x54, 0x00}, 40).video(flv_vp6({}), 40);
  FlvTag alpha{9, flv_vp6_alpha(pattern(50, 30), pattern(20, 31)), 0x01000050};
  alpha.back_pointer = 0;
  return w.tag(alpha).video(flv_vp6(pattern(300, 32)), 120).take();
}

// Tags nobody reads, larger than a push, between frames
// (they are released as they arrive).
Bytes flv_large_tags_file() {
  FlvWriter w(5, 30);
  w.video(flv_vp6(pattern(20, 33), 1)).script(Bytes(5000, 'm')).tag({0x1F, Bytes(4500, 7)});
  return w.audio(flv_audio(pattern(6000, 34))).video(flv_vp6(pattern(25, 35))).take();
}

Bytes rcv_file() {
  RcvWriter w;
  return w.frame(pattern(50, 5), true).frame_header(0).frame(pattern(120, 6)).take();
}

Bytes webp_file() {
  WebpFile f;
  f.payload = pattern(78, 7);
  return f.bytes();
}

Bytes avi_file() {
  avi::File f = avi::av_file();
  f.movi = {avi::chunk("00dc", pattern(60, 8)), avi::chunk("01wb", pattern(21, 9)),
            avi::list("rec ", {avi::chunk("00dc", pattern(33, 10))})};
  f.after_movi = {avi::chunk("idx1", Bytes(32, 0))};
  return f.build();
}

// Regression input: filler and lists nobody reads, larger than a push, before
// and inside the movie list (they are released as they arrive).
Bytes avi_filler_file() {
  avi::File f = avi::av_file();
  f.before_movi = {avi::list("INFO", {avi::chunk("ISFT", Bytes(700, 'q'))}), avi::chunk("JUNK", Bytes(1501, 0))};
  f.movi = {avi::chunk("JUNK", Bytes(2001, 0)), avi::chunk("00dc", pattern(60, 26)),
            avi::chunk("ix00", Bytes(900, 1)), avi::chunk("01wb", pattern(21, 27))};
  return f.build();
}

std::vector<Bytes> asf_packets(uint32_t packet_size, const AsfLayout &layout) {
  const std::vector<AsfObject> objects = {{1, pattern(90, 11)}, {2, pattern(40, 12)},
                                          {1, pattern(300, 13)}, {1, pattern(20, 14)}};
  return asf_packetize(objects, packet_size, layout);
}

Bytes asf_file(const AsfLayout &layout) {
  AsfFile f;
  f.packet_size = 128;
  f.header_objects = asf_usual_header(f.packet_size, {0x4E, 0x29, 0x1A, 0x01});
  f.packets_from(asf_packets(f.packet_size, layout));
  f.tail = asf_object(asfguid::kSimpleIndex, Bytes(32, 0));
  return f.build();
}

// Regression input: a media object declared at nearly 4 GiB, then a
// fragment at its far end that would complete it.
Bytes asf_huge_object_file() {
  const uint32_t packet_size = 256;
  AsfLayout layout;
  AsfPayload huge;
  huge.object_size = 0xFFFFFFF0u;
  huge.data = pattern(40, 25);
  AsfPayload far_end = huge;
  far_end.offset = 0xFFFFFFF0u - 40;
  AsfFile f;
  f.packet_size = packet_size;
  f.header_objects = asf_usual_header(packet_size, {1, 2, 3, 4});
  f.packets_from({asf_packet(packet_size, layout, {huge}), asf_packet(packet_size, layout, {far_end})});
  return f.build();
}

Bytes rm_file() {
  const Bytes codec = {0x10, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};
  const Bytes f1 = pattern(200, 15), f2 = pattern(30, 16);
  Bytes packed = rv_packed(f2);
  packed = concat(packed, rv_packed(pattern(25, 17)));
  return RmWriter()
      .file_header()
      .properties()
      .content("Quillar")
      .video_stream(1, 320, 240, codec)
      .audio_stream(2)
      .data({rm_packet(1, rv_whole(f1)), rm_packet(2, pattern(40, 18)), rm_packet(1, packed, 1),
             rm_packet(1, rv_part(1, 120, 0, pattern(60, 19))),
             rm_packet(1, rv_last(2, 120, pattern(60, 20)))})
      .index(1, 2)
      .take();
}

// Matroska: VP8 with Vorbis (every lacing form, a block group, header
// stripping, unknown sizes, elements skipped as they stream past), VC-1 and
// RealVideo with their codec-private data.
Bytes mkv_webm_file() {
  using namespace qtest::mkv;
  const Track audio = {1, 2, "A_VORBIS", {2, 1, 1}, 0, 0, {}};
  Track video = {2, 1, "V_VP8", {}, 320, 240, content_encoding(3, {0x9D, 0x01})};
  const std::vector<Bytes> lace = {pattern(300, 30), pattern(20, 31), pattern(5, 32)};
  return file({el(kSeekHead, pattern(20, 33)), tracks({audio, video}),
               cluster({simple_block(2, pattern(90, 34)),
                        el(kSimpleBlock, block_payload(1, lace, Lacing::kXiph)),
                        el(kSimpleBlock, block_payload(2, lace, Lacing::kEbmlSizes)),
                        el(kSimpleBlock, block_payload(2, {pattern(8, 35), pattern(8, 36)}, Lacing::kFixed)),
                        block_group(2, pattern(40, 37)), el(kVoid, {0, 0})}, true),
               el(kCues, pattern(30, 38)), cluster({el(kCrc32, {1, 2, 3, 4}), simple_block(2, {})})},
              true);
}

Bytes mkv_codec_file(const char *codec, const Bytes &codec_private) {
  using namespace qtest::mkv;
  const Track video = {1, 1, codec, codec_private, 176, 144, {}};
  return file({tracks({video}), cluster({simple_block(1, pattern(60, 40)), simple_block(1, pattern(9, 41))}),
               el(kTags, pattern(10, 42))}, false, "matroska");
}

Bytes payload_of(const Bytes &chunk) { return Bytes(chunk.begin() + 8, chunk.end()); }

void record_seeds() {
  const Bytes strl = payload_of(avi::video_strl());  // "strl" + children
  write("riff", "chunks", concat({0}, Bytes(strl.begin() + 4, strl.end())));
  write("riff", "file-header", concat({1}, Writer().tag("RIFF").le32(100).tag("AVI ").take()));
  write("riff", "strh", concat({2}, payload_of(avi::strh({}))));
  write("riff", "strf-vids", concat({3}, payload_of(avi::strf_vids(pattern(9, 21), 49))));
  write("riff", "strf-auds", concat({4}, payload_of(avi::strf_auds({}, Writer().le16(4).le32(7).take()))));
  write("riff", "strf-iavs", concat({5}, pattern(32, 22)));
}

void asf_packet_seeds() {
  struct Case {
    const char *name;
    AsfLayout layout;
  };
  AsfLayout single, multiple, corrected, implicit;
  multiple.multiple = true;
  corrected.error_correction = true;
  corrected.multiple = true;
  corrected.payload_length_type = 1;
  implicit.implicit_padding = true;
  implicit.packet_length_type = 2;
  const Case cases[] = {{"single", single}, {"multiple", multiple}, {"corrected", corrected},
                        {"implicit-padding", implicit}};
  const uint32_t packet_size = 100;
  for (const Case &c : cases) {
    // One registered stream (1), packet size 100.
    Writer w;
    w.u8(0).u8(1).le16(packet_size - 8);
    for (const Bytes &p : asf_packets(packet_size, c.layout)) w.bytes(p);
    write("asf_packet", c.name, w.take());
  }
  // A compressed payload: three sub-payloads of one media object each.
  AsfPayload compressed;
  compressed.replicated_length = 1;
  compressed.data = Writer().u8(5).bytes(pattern(5, 23)).u8(0).u8(9).bytes(pattern(9, 24)).take();
  Writer w;
  w.u8(1).u8(1).u8(2).le16(packet_size - 8).bytes(asf_packet(packet_size, multiple, {compressed}));
  write("asf_packet", "compressed", w.take());
}

void string_seeds() {
  write("rm_strings", "both", Writer().u8(0).u8(5).raw("Hello", 5).u8(1).be16(3).raw("a\0b", 3).take());
  write("rm_strings", "short", Writer().u8(1).be16(40).raw("xy", 2).take());
}

// Container targets: a fixed pseudo-random operation stream per family.
void container_seeds() {
  for (uint8_t family = 0; family < 3; family++)
    write("lists", "family" + std::to_string(family), concat({family}, pattern(600, 30 + family)));
  write("arrays", "array-terminated", concat({0, 0x85, 2}, pattern(400, 40)));
  write("arrays", "array-bytes", concat({0, 0x00, 0}, pattern(400, 41)));
  write("arrays", "strings", concat({1, 20}, Writer().raw("quillar\0tail", 12).take()));
  write("adapter", "ops", pattern(2000, 50));
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds CORPUS_DIR\n");
    return 2;
  }
  g_root = argv[1];
  mkdir(g_root.c_str(), 0755);
  format_seeds(10, "ivf", "ivf-vp8", ivf_file("VP80"));
  format_seeds(10, "ivf", "ivf-vp9", ivf_file("VP90"));
  format_seeds(10, "webp", "webp", webp_file());
  format_seeds(9, "vp6", "vp6", vp6_file());
  format_seeds(9, "flv", "flv", flv_file());
  format_seeds(9, "flv", "flv-large-tags", flv_large_tags_file());
  format_seeds(5, "rcv", "rcv", rcv_file());
  AsfLayout multiple;
  multiple.multiple = true;
  format_seeds(5, "asf", "asf-single", asf_file(AsfLayout()));
  format_seeds(5, "asf", "asf-multiple", asf_file(multiple));
  format_seeds(5, "asf", "regress-asf-4GiB-object", asf_huge_object_file());
  format_seeds(8, "avi", "avi", avi_file());
  format_seeds(8, "avi", "regress-avi-skipped-filler", avi_filler_file());
  format_seeds(7, "rm", "rm", rm_file());
  format_seeds(10, "matroska", "mkv-webm", mkv_webm_file());
  format_seeds(5, "matroska", "mkv-vc1",
               mkv_codec_file("V_MS/VFW/FOURCC", concat(Writer().le32(44).le32(176).le32(144).le16(1).le16(24)
                                                            .tag("WMV3").fill(20, 0).take(), {0x4E, 0x29, 0x1A, 0x01})));
  format_seeds(7, "matroska", "mkv-rv20",
               mkv_codec_file("V_REAL/RV20", Writer().be32(34).tag("VIDO").tag("RV20").be16(176).be16(144)
                                                 .be16(12).be32(0).be32(15 << 16).be32(0x10000000).be32(0x20100001).take()));
  record_seeds();
  asf_packet_seeds();
  string_seeds();
  container_seeds();
  return g_ok ? 0 : 1;
}

// SPDX-License-Identifier: BSD-2-Clause
// The quillar host tool run as its own process, as a user runs it (through
// qemu-aarch64 on the cross build), grouped by what a user meets: the items
// against ffprobe, pipes, data safety, exit statuses and messages, options,
// JSON.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/host.h"
#include "support/interop.h"
#include "support/ivf_writer.h"
#include "support/media.h"
#include "support/webp_writer.h"

using namespace qtest;

namespace {

const std::string kTool = QUILLAR_TOOL_COMMAND;
const std::string kSamples = std::string(QUILLAR_SOURCE_DIR) + "/samples/";
const std::string kSample = kSamples + "testsrc-vp8.ivf";

struct ToolRun {
  int status = -1;
  std::string out, err;
};

// Runs the tool with `args` (shell words); `before` is a shell pipeline
// whose output becomes the tool's standard input ("" for none); standard
// output goes to `out_path` when given.
ToolRun tool(const std::string &args, const std::string &before = "",
             const std::string &out_path = "") {
  const std::string dir = temp_dir();
  ToolRun r;
  std::string ignored;
  const std::string pipe = before.empty() ? "" : before + " | ";
  const std::string out = out_path.empty() ? dir + "/out" : out_path;
  r.status = run_command("(" + pipe + kTool + " " + args + " >" + out + " 2>" + dir + "/err)",
                         &ignored);
  r.out = read_file(dir + "/out");
  r.err = read_file(dir + "/err");
  remove_tree(dir);
  return r;
}

bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

size_t count(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

struct ItemLine {
  unsigned long index = 0;
  std::string kind;
  unsigned long long size = 0;
  std::string md5;
  bool operator==(const ItemLine &o) const {
    return index == o.index && kind == o.kind && size == o.size && md5 == o.md5;
  }
};

// The table's item lines: "index kind bytes skipped md5".
std::vector<ItemLine> item_lines(const std::string &out) {
  std::vector<ItemLine> items;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    ItemLine item;
    unsigned long skipped = 0;
    if (fields >> item.index >> item.kind >> item.size >> skipped >> item.md5 &&
        item.md5.size() == 32)
      items.push_back(item);
  }
  return items;
}

// A scratch directory removed at the end of the test.
struct Scratch {
  std::string dir = temp_dir();
  ~Scratch() { remove_tree(dir); }
  std::string put(const std::string &name, const Bytes &data) const {
    run_command("mkdir -p \"$(dirname '" + dir + "/" + name + "')\"");
    write_file(dir + "/" + name, data);
    return dir + "/" + name;
  }
};

Bytes sample_bytes(const char *name) { return read_bytes(kSamples + name); }

Bytes cut(Bytes data, size_t size) {
  data.resize(size);
  return data;
}

// --- what comes out ----------------------------------------------------

TEST(Tool, PrintsOneLinePerItemAndKeepsLibraryMessagesOut) {
  ToolRun r = tool(kSample);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "       0  frame        3498        0  8c1bc790c25c63efd632e2b4cbce70d4\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "30 items (30 frames, 0 codec), 19168 bytes, 0 skipped frames, end of stream"));
  EXPECT_TRUE(has(r.out, "IVF, VP8, video standard 10")) << r.out;
  EXPECT_FALSE(has(r.out, "In IVF")) << "library diagnostics leaked into the table";
  EXPECT_EQ(r.err, "") << "no progress line or message on a non-terminal";

  ToolRun v = tool("-v -q " + kSample);
  EXPECT_TRUE(has(v.err, "In IVF Pushing buffer of size 8192 to adapter\n")) << v.err;
  EXPECT_FALSE(has(v.out, "In IVF"));

  // Both streams on one pipe, as on a terminal: whole lines, in order.
  Scratch s;
  const std::string bad = s.put("bad.webp", cut(sample_bytes("testsrc-320x240.webp"), 40));
  std::string merged;
  EXPECT_EQ(run_command(kTool + " -v " + kSample + " " + bad, &merged), 1);
  EXPECT_LT(merged.find("IVF, VP8, video standard 10"), merged.find("In IVF Pushing")) << merged;
  std::istringstream lines(merged);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.find("quillar:") == std::string::npos || line.rfind("quillar: ", 0) == 0)
        << "a line split by another: " << line;
}

TEST(Tool, SampleItemsMatchFfprobeWholeAndInSmallPieces) {
  QTEST_REQUIRE_FFMPEG();
  for (const char *name : {"testsrc-vp8.ivf", "testsrc2-vp9.ivf"}) {
    const std::vector<ProbePacket> packets = probe_packets(kSamples + name);
    ASSERT_EQ(packets.size(), 30u) << name;
    for (const char *capacity : {"7", "8388608"}) {
      const ToolRun r = tool(std::string("--capacity ") + capacity + " '" + kSamples + name + "'");
      ASSERT_EQ(r.status, 0) << r.err;
      const std::vector<ItemLine> items = item_lines(r.out);
      ASSERT_EQ(items.size(), packets.size()) << r.out;
      for (size_t i = 0; i < items.size(); i++) {
        EXPECT_EQ(items[i].index, i) << name;
        EXPECT_EQ(items[i].kind, "frame") << name << " item " << i;
        EXPECT_EQ(items[i].size, packets[i].size) << name << " item " << i;
        EXPECT_EQ(items[i].md5, packets[i].md5) << name << " item " << i;
      }
      EXPECT_TRUE(has(r.out, "30 items (30 frames, 0 codec)")) << r.out;
    }
  }
  EXPECT_TRUE(has(tool(kSamples + "testsrc2-vp9.ivf").out, "IVF, VP9,")) << "label from the fourcc";
}

// --- pipes and standard input -------------------------------------------

struct Sample {
  const char *name, *args;
};
const Sample kEverySample[] = {
    {"testsrc-vp8.ivf", ""},       {"testsrc-320x240.webp", ""}, {"testsrc-mpeg4-mp3.avi", ""},
    {"testsrc-wmv2-wmav2.wmv", ""}, {"filler-176x144.rcv", ""},   {"testsrc-rv20-ac3.rm", ""},
    {"filler.vp6", "-s vp6"},
};

TEST(ToolPipes, EveryFormatGivesTheFileItemsThroughAPipeAndStandardInput) {
  for (const Sample &s : kEverySample) {
    const std::string f = "'" + kSamples + s.name + "'";
    const ToolRun file = tool(std::string(s.args) + " " + f);
    ASSERT_EQ(file.status, 0) << s.name << file.err;
    ASSERT_FALSE(item_lines(file.out).empty()) << s.name;
    for (const char *input : {"-", "/dev/stdin"}) {
      const ToolRun piped = tool(std::string(s.args) + " --capacity=4096 " + input, "cat " + f);
      EXPECT_EQ(piped.status, 0) << s.name << " " << input << ": " << piped.err;
      EXPECT_EQ(item_lines(piped.out), item_lines(file.out)) << s.name << " " << input;
    }
    const ToolRun redirected = tool(std::string(s.args) + " - < " + f);
    EXPECT_EQ(redirected.status, 0) << s.name << redirected.err;
    EXPECT_EQ(item_lines(redirected.out), item_lines(file.out)) << s.name;
  }
}

TEST(ToolPipes, ACutStreamIsCaughtOnAPipeToo) {
  Scratch s;
  const std::string cut_ivf = s.put("cut.ivf", cut(sample_bytes("testsrc-vp8.ivf"), 9000));
  const ToolRun r = tool("-q -", "cat " + cut_ivf);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "standard input: the file ends early")) << r.err;
}

// --- data safety ---------------------------------------------------------

TEST(ToolSafety, TargetsThatAreInputsOrNotEmptyAreRefused) {
  Scratch s;
  const Bytes ivf = sample_bytes("testsrc-vp8.ivf");
  const std::string in = s.put("in.ivf", ivf);
  ASSERT_EQ(run_command("ln '" + in + "' '" + s.dir + "/link.bin'"), 0);
  s.put("full.bin", Bytes{1});
  s.put("dir/keep.txt", Bytes{});  // write_file makes no directories
  struct Case {
    std::string args, message;
    int status;
  } cases[] = {
      {"-q -o " + in + " " + in, "is the input", 2},
      {"-q -o " + s.dir + "/link.bin " + in, "is the input", 2},
      {"-q -o " + s.dir + "/full.bin " + in, "not empty (--force overwrites it)", 2},
      {"-q -o " + s.dir + "/dir " + in, "is a directory", 2},
      {"-q -f -o " + in + " " + in, "is the input", 2},
      {"-q -x " + s.dir + " " + in, "not empty", 2},
      {"-q -o /dev/full " + in, "cannot write", 1},
  };
  for (const Case &c : cases) {
    const ToolRun r = tool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << c.args << ": " << r.err;
    EXPECT_LE(count(r.err, "cannot write"), 1u) << "a write error is reported once: " << r.err;
    EXPECT_EQ(read_bytes(in), ivf) << c.args << " changed the input";
  }
  const ToolRun forced = tool("-q --force -o " + s.dir + "/full.bin " + in);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(read_file(s.dir + "/full.bin").size(), 19168u);

  const ToolRun table = tool("-q " + in, "", "/dev/full");
  EXPECT_EQ(table.status, 1);
  EXPECT_EQ(count(table.err, "cannot write the table"), 1u) << table.err;
}

TEST(ToolSafety, ExtractWritesOneDirectoryPerInputAndForceReplacesOldItems) {
  Scratch s;
  const std::string a = s.put("a/same.ivf", Bytes{});
  ASSERT_EQ(run_command("cp '" + kSample + "' '" + a + "' && mkdir -p '" + s.dir + "/b' && cp '" +
                        kSamples + "testsrc-rv20-ac3.rm' '" + s.dir + "/b/same.ivf'"),
            0);
  const std::string out = s.dir + "/items";
  ToolRun r = tool("-q -x " + out + " " + a + " " + s.dir + "/b/same.ivf");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(out + "/same.ivf/000000.frame").size(), 3498u);
  EXPECT_EQ(read_file(out + "/same.ivf.2/000000.codec").empty(), false) << "the RealMedia codec item";

  ToolRun single = tool("-q -x " + s.dir + "/one " + kSample);
  ASSERT_EQ(single.status, 0);
  EXPECT_EQ(read_file(s.dir + "/one/000029.frame").empty(), false);
  write_file(s.dir + "/one/000099.frame", Bytes{1});
  write_file(s.dir + "/one/notes.txt", Bytes{2});
  EXPECT_EQ(tool("-q -x " + s.dir + "/one " + kSample).status, 2);
  EXPECT_EQ(tool("-q --force -x " + s.dir + "/one " + kSample).status, 0);
  EXPECT_EQ(read_bytes(s.dir + "/one/000099.frame"), Bytes{}) << "a stale item stayed";
  EXPECT_EQ(read_bytes(s.dir + "/one/notes.txt"), Bytes{2}) << "only item files are replaced";
  EXPECT_EQ(read_file(s.dir + "/one/000000.frame").size(), 3498u);
}

TEST(Tool, OutputAndExtractWriteWhatTheDecoderWouldGet) {
  Scratch s;
  ToolRun r = tool("-q -o " + s.dir + "/all.bin -x " + s.dir + "/items " + kSample);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(s.dir + "/all.bin").size(), 19168u);
  EXPECT_EQ(read_file(s.dir + "/items/000000.frame").size(), 3498u);
  EXPECT_EQ(read_file(s.dir + "/items/000029.frame").empty(), false);
  ToolRun to_stdout = tool("-o - " + kSample);
  EXPECT_EQ(to_stdout.status, 0);
  EXPECT_EQ(to_stdout.out.size(), 19168u) << "-o - writes the items, and only them, to stdout";
  EXPECT_TRUE(has(to_stdout.err, "30 items")) << "the table goes to standard error";
}

// --- exit statuses and messages ------------------------------------------

TEST(ToolStatus, EveryOutcomeHasItsStatusAndSaysWhy) {
  Scratch s;
  const Bytes ivf = sample_bytes("testsrc-vp8.ivf");
  Bytes unknown_count = ivf;
  unknown_count[24] = 0;  // the header's frame count: not stated
  Bytes piped_count = ivf;  // all ones: what a writer to a pipe leaves
  for (int i = 24; i < 28; i++) piped_count[i] = 0xFF;
  WebpFile webp;
  webp.payload = pattern(100, 1);
  Bytes junk_after = webp.bytes();
  junk_after.insert(junk_after.end(), 10, 0);
  webp.chunk = "VP8L";  // lossless
  const Bytes lossless = webp.bytes();
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  png.resize(100);
  struct Case {
    std::string args;
    int status;
    std::vector<std::string> err;  // parts of standard error
  } cases[] = {
      {"/nonexistent/file.ivf", 1, {"cannot open: No such file"}},
      {s.dir, 1, {"is a directory"}},
      {s.put("empty.ivf", {}), 1, {"is empty"}},
      {"/dev/null", 1, {"is empty"}},
      {"--standard 10 /dev/null", 1, {"is empty"}},
      {s.put("unknown.bin", pattern(64, 2)), 1, {"cannot tell the format", "-s vp6"}},
      {"--standard 6 " + kSample, 1, {"refused video standard 6"}},
      {"-s rm " + kSample, 1, {"looks like IVF (video standard 10)", "no item came out"}},
      {"-s vp6 " + kSamples + "testsrc-wmv2-wmav2.wmv", 1, {"looks like ASF", "no item came out"}},
      {"-s vp6 " + s.put("picture.png", png), 1, {"looks like PNG image", "no item came out"}},
      {s.put("picture2.png", png), 1, {"this is PNG image"}},
      {s.put("cut.ivf", cut(ivf, 9000)), 1, {"IVF header declares 30 frames, 10 came out"}},
      {s.put("cut0.ivf", cut(unknown_count, 9000)), 1, {"no whole frame record", "left unread"}},
      {s.put("cut.webp", cut(sample_bytes("testsrc-320x240.webp"), 2000)), 1,
       {"the file ends early: the RIFF header declares 3132 bytes, the file has 2000"}},
      {s.put("cut.rcv", cut(sample_bytes("filler-176x144.rcv"), 5000)), 1, {"ends early"}},
      {s.put("cut.wmv", cut(sample_bytes("testsrc-wmv2-wmav2.wmv"), 20000)), 1,
       {"ASF data object's packet count declares"}},
      {s.put("cut.avi", cut(sample_bytes("testsrc-mpeg4-mp3.avi"), 30000)), 1, {"ends early"}},
      {s.put("lossless.webp", lossless), 1,
       {"rejected the data at item 0", "Only lossy coding is supported."}},
      {s.put("bad.ivf", Bytes{'D', 'K', 'I', 'F', 1, 0, 32, 0, 'V', 'P', '8', '0', 0, 0, 0, 0, 0, 0,
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}),
       1, {"rejected the data at item 0", "Not a Valid IVF Input File"}},
      {s.put("piped.ivf", piped_count), 0, {}},
      {s.put("junk.webp", junk_after), 0, {"warning: 10 bytes after the end", "left unread"}},
  };
  for (const Case &c : cases) {
    const ToolRun r = tool("-q " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    for (const std::string &part : c.err) EXPECT_TRUE(has(r.err, part)) << c.args << ": " << r.err;
  }
  ToolRun bad = tool(s.dir + "/bad.ivf");
  EXPECT_TRUE(has(bad.out, "parse error")) << bad.out;
  EXPECT_TRUE(has(tool(kSamples + "testsrc-320x240.webp").out, ": 1 item (1 frame, 0 codec)"));
}

TEST(ToolStatus, UsageErrorsExitWithTwoAndLeakNothing) {
  // The host used to return from a usage error without freeing its file
  // list; under LeakSanitizer that turned exit status 2 into 1.
  for (const char *args : {"--no-such-option x.ivf", "--capacity 0 x.ivf", "--capacity=-1 x.ivf",
                           "--standard", "--standard bogus x.ivf", "-s vp7 x.ivf", "--hash=sha1 x.ivf",
                           "--frobnicate x.ivf", "-Z x.ivf", ""}) {
    const ToolRun r = tool(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(has(r.err, "quillar: ")) << args << ": " << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
  for (const char *args : {"--help", "-h"}) {
    const ToolRun help = tool(args);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "Usage: quillar")) << "help goes to standard output";
    EXPECT_TRUE(has(help.out, "Exit status:"));
  }
  const ToolRun version = tool("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quillar " QUILLAR_VERSION "\n");
}

// --- options and aliases ----------------------------------------------------

TEST(ToolOptions, GnuFormsAndStandardNamesGiveTheSameItems) {
  const ToolRun plain = tool(kSample);
  ASSERT_EQ(item_lines(plain.out).size(), 30u);
  for (const char *args : {"--capacity=1", "-c1", "--standard=10", "-s vp9", "-s VP8", "-s IVF",
                           "-s WebP", "--stand=10", "-- ", "--hash=md5 -c 7"}) {
    const ToolRun r = tool(std::string(args) + " " + kSample);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_EQ(item_lines(r.out), item_lines(plain.out)) << args;
  }
  for (const char *args : {"-s 5", "-s VC1", "-s wmv", "-s asf", "-s RCV"})
    EXPECT_EQ(tool(std::string(args) + " -q " + kSamples + "filler-176x144.rcv").status, 0) << args;
  for (const char *args : {"-s rm", "-s RV", "-s realvideo"})
    EXPECT_EQ(tool(std::string(args) + " -q " + kSamples + "testsrc-rv20-ac3.rm").status, 0) << args;
  EXPECT_EQ(tool("-s AVI -q " + kSamples + "testsrc-mpeg4-mp3.avi").status, 0);

  Scratch s;
  const std::string upper = s.put("up.VP6", sample_bytes("filler.vp6"));
  const ToolRun vp6 = tool("-q " + upper);
  EXPECT_EQ(vp6.status, 0) << vp6.err;
  EXPECT_TRUE(has(vp6.out, "10 items (10 frames, 0 codec), 20411 bytes, 3 skipped frames")) << vp6.out;

  const ToolRun none = tool("--hash=none " + kSample);
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(item_lines(none.out).empty()) << "no checksums: " << none.out;
  EXPECT_TRUE(has(none.out, "       0  frame        3498        0  -\n")) << none.out;
  EXPECT_TRUE(has(plain.out, "library ") && has(plain.out, "md5 ")) << "rates in the summary";
}

// --- JSON ----------------------------------------------------------------

TEST(ToolJson, OneDocumentWithEveryFileFailuresIncluded) {
  const ToolRun whole = tool("--json " + kSample);
  const ToolRun small = tool("--json --capacity 7 " + kSample);
  ASSERT_EQ(whole.status, 0);
  EXPECT_TRUE(has(whole.out, "\"items\":30,")) << whole.out;
  const auto items = [](const std::string &s) {
    return s.substr(s.find("\"items\":["), s.find("],\"summary\"") - s.find("\"items\":["));
  };
  EXPECT_EQ(items(whole.out), items(small.out));

  const ToolRun both = tool("-qj " + kSample + " /nonexistent.ivf");
  EXPECT_EQ(both.status, 1);
  EXPECT_TRUE(has(both.out, "\"items\":[],")) << "-q leaves the items out: " << both.out;
  EXPECT_EQ(count(both.out, "{\"file\":"), 2u) << both.out;
  EXPECT_EQ(count(both.out, "\"error\":"), 1u) << both.out;
  const ToolRun lines = tool("-q --json-lines " + kSample + " /nonexistent.ivf");
  EXPECT_EQ(count(lines.out, "\n"), 2u) << lines.out;
  if (!have_tool("python3")) GTEST_SKIP() << "python3 not installed: JSON not parsed";
  const std::string check =
      "import json,sys; d=json.load(sys.stdin); f=d['files']; "
      "assert len(f)==2 and f[0]['summary']['items']==30 and 'error' not in f[0] "
      "and 'cannot open' in f[1]['error'], d";
  EXPECT_EQ(run_command("printf '%s' '" + both.out + "' | python3 -c \"" + check + "\""), 0)
      << both.out;
  EXPECT_EQ(run_command("printf '%s' '" + lines.out +
                        "' | python3 -c \"import json,sys; [json.loads(l) for l in sys.stdin]\""),
            0)
      << lines.out;
}

}  // namespace

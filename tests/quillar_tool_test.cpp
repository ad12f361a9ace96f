// The quillar host program run as its own process, as an integrator runs it
// (through qemu-aarch64 on the cross build), checked against ffprobe.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/interop.h"

using namespace qtest;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;  // standard output and standard error
};

ToolRun quillar(const std::string &args) {
  ToolRun r;
  r.status = run_command(std::string(QUILLAR_TOOL_COMMAND) + " " + args, &r.out);
  return r;
}

struct ItemLine {
  unsigned long index = 0;
  std::string kind;
  unsigned long long size = 0;
  std::string md5;
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

TEST(QuillarTool, SampleItemsMatchFfprobeWholeAndInSmallPieces) {
  QTEST_REQUIRE_FFMPEG();
  for (const char *name : {"testsrc-vp8.ivf", "testsrc2-vp9.ivf"}) {
    const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/" + name;
    const std::vector<ProbePacket> packets = probe_packets(f);
    ASSERT_EQ(packets.size(), 30u) << f;
    for (const char *capacity : {"7", "8388608"}) {
      const ToolRun r = quillar(std::string("--capacity ") + capacity + " '" + f + "'");
      ASSERT_EQ(r.status, 0) << r.out;
      const std::vector<ItemLine> items = item_lines(r.out);
      ASSERT_EQ(items.size(), packets.size()) << r.out;
      for (size_t i = 0; i < items.size(); i++) {
        EXPECT_EQ(items[i].index, i) << name;
        EXPECT_EQ(items[i].kind, "frame") << name << " item " << i;
        EXPECT_EQ(items[i].size, packets[i].size) << name << " item " << i;
        EXPECT_EQ(items[i].md5, packets[i].md5) << name << " item " << i;
      }
      EXPECT_NE(r.out.find("30 items (30 frames, 0 codec)"), std::string::npos) << r.out;
    }
  }
}

TEST(QuillarTool, UnreadableAndRefusedFilesExitWithOne) {
  EXPECT_EQ(quillar("/nonexistent/quillar-input.ivf").status, 1);
  EXPECT_EQ(quillar("--standard 10 /dev/null").status, 1) << "an empty file is refused";
}

// The host used to return from a usage error without freeing its file list;
// under LeakSanitizer that turned exit status 2 into 1.
TEST(QuillarTool, UsageErrorsExitWithTwoAndLeakNothing) {
  EXPECT_EQ(quillar("--no-such-option x.ivf").status, 2);
  EXPECT_EQ(quillar("--capacity 0 x.ivf").status, 2);
  EXPECT_EQ(quillar("--standard").status, 2) << "option without its value";
  EXPECT_EQ(quillar("").status, 2) << "no file given";
}

}  // namespace

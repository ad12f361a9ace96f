// The quillar host tool, run as a user would run it.
#include <gtest/gtest.h>

#include <string>

#include "support/host.h"
#include "support/media.h"

using namespace qtest;

namespace {

const std::string kTool = QUILLAR_TOOL_COMMAND;
const std::string kSample = std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-vp8.ivf";

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun tool(const std::string &args) {
  const std::string dir = temp_dir();
  ToolRun r;
  std::string ignored;
  r.status = run_command("(" + kTool + " " + args + " >" + dir + "/out 2>" + dir + "/err)", &ignored);
  r.out = read_file(dir + "/out");
  r.err = read_file(dir + "/err");
  remove_tree(dir);
  return r;
}

TEST(Tool, PrintsOneLinePerItemAndKeepsLibraryMessagesOut) {
  ToolRun r = tool(kSample);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("       0  frame        3498        0  8c1bc790c25c63efd632e2b4cbce70d4\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("30 items (30 frames, 0 codec), 19168 bytes, 0 skipped frames, end of stream"),
            std::string::npos);
  EXPECT_EQ(r.out.find("In IVF"), std::string::npos) << "library diagnostics leaked into the table";
  EXPECT_EQ(r.err, "");

  ToolRun v = tool("-v -q " + kSample);
  EXPECT_NE(v.err.find("In IVF Pushing buffer of size 8192 to adapter"), std::string::npos);
  EXPECT_EQ(v.out.find("In IVF"), std::string::npos);
}

TEST(Tool, JsonAndSmallCapacitiesGiveTheSameItems) {
  ToolRun whole = tool("--json " + kSample);
  ToolRun small = tool("--json --capacity 7 " + kSample);
  ASSERT_EQ(whole.status, 0);
  EXPECT_NE(whole.out.find("\"items\":30,"), std::string::npos) << whole.out;
  const auto items = [](const std::string &s) { return s.substr(s.find("\"items\":["), s.find("],\"summary\"") - s.find("\"items\":[")); };
  EXPECT_EQ(items(whole.out), items(small.out));
}

TEST(Tool, OutputAndExtractWriteWhatTheDecoderWouldGet) {
  const std::string dir = temp_dir();
  ToolRun r = tool("-q -o " + dir + "/all.bin -x " + dir + "/items " + kSample);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir + "/all.bin").size(), 19168u);
  EXPECT_EQ(read_file(dir + "/items/000000.frame").size(), 3498u);
  EXPECT_EQ(read_file(dir + "/items/000029.frame").empty(), false);
  remove_tree(dir);
}

TEST(Tool, ErrorsSayWhatWentWrongWithANonZeroStatus) {
  ToolRun missing = tool("/nonexistent/file.ivf");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);

  ToolRun refused = tool("--standard 6 " + kSample);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("refused video standard 6"), std::string::npos);

  EXPECT_EQ(tool("--standard bogus " + kSample).status, 2);
  EXPECT_EQ(tool("--capacity 0 " + kSample).status, 2);
  EXPECT_EQ(tool("--frobnicate " + kSample).status, 2);
  EXPECT_EQ(tool("").status, 2);
  ToolRun help = tool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: quillar"), std::string::npos);

  const std::string dir = temp_dir();
  write_file(dir + "/bad.ivf", Bytes{'D', 'K', 'I', 'F', 1, 0, 32, 0, 'V', 'P', '8', '0', 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9});
  ToolRun bad = tool(dir + "/bad.ivf");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("rejected the data at item 0"), std::string::npos) << bad.err;
  EXPECT_NE(bad.out.find("parse error"), std::string::npos);
  remove_tree(dir);
}

}  // namespace

// A publication played through the exported entry points, as the host plays
// it: the bundled knowledge base, the bundled sample picture from a file and
// from base64 text in a host variable, recognition, and removal.
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeHost.h"
#include "TestFiles.h"
#include "host/PlugInUtils.h"

namespace kyt::test {
namespace {

std::string Source(const std::string& relative) { return std::string(KYT_SOURCE_DIR) + "/" + relative; }

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Publication, RecognisesTheBundledSampleThenFailsOnceTheWindowIsGone) {
  const std::string kb = Source("data/kb/latin.dcr");
  const std::string sample = Source("data/samples/sample.png");
  const std::string expectedPath = Source("data/samples/sample.txt");
  for (const std::string& file : {kb, sample, expectedPath})
    ASSERT_TRUE(std::filesystem::is_regular_file(file)) << "bundled file missing: " << file;
  // The expected text is stored as the kytdcr tool prints it: the recognised
  // text followed by one line feed, which the host variable does not get.
  std::string expected = ReadText(expectedPath);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(expected.back(), '\n');
  expected.pop_back();

  FakeHost host;
  host.Register();
  char* title = nullptr;
  char* publisher = nullptr;
  char* hint = nullptr;
  nbInitPlugIn(0, &title, &publisher, &hint);
  nbMessage(1);
  host.AddObject("Rect1", 640, 480);

  ASSERT_TRUE(host.Exec(1, {"Rect1"})) << host.LastError();
  ASSERT_TRUE(host.Exec(3, {"Rect1", kb, "196", "10", "22"})) << host.LastError();
  ASSERT_TRUE(host.Exec(4, {"Rect1", sample})) << host.LastError();
  ASSERT_TRUE(host.Exec(5, {"Rect1", "Result"})) << host.LastError();
  EXPECT_EQ(host.Var("[Result]"), expected);

  // The same picture handed over as base64 text in a host variable.
  host.SetVar("[sample.png.MimeStreamContent]", Base64(ReadBytes(sample)));
  host.variables.erase("[Result]");
  ASSERT_TRUE(host.Exec(4, {"Rect1", "mimestream:\\\\\\sample.png"})) << host.LastError();
  ASSERT_TRUE(host.Exec(5, {"Rect1", "Result"})) << host.LastError();
  EXPECT_EQ(host.Var("[Result]"), expected);
  EXPECT_TRUE(host.getLog.size() >= 1 && host.getLog.back() == "[sample.png.MimeStreamContent]");
  EXPECT_FALSE(host.Var("[LastError]").has_value()) << host.LastError();
  EXPECT_TRUE(host.platform.Messages.empty());

  // Removed: the window is gone from the object and the actions say so.
  ASSERT_TRUE(host.Exec(2, {"Rect1"}));
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_FALSE(host.Exec(2, {"Rect1"}));
  EXPECT_FALSE(host.Var("[LastError]").has_value()) << "removing nothing reports nothing";
  const std::string gone = "There is no DCR control attached to an object named Rect1.";
  EXPECT_FALSE(host.Exec(3, {"Rect1", kb, "196", "10", "22"}));
  EXPECT_EQ(host.LastError(), gone);
  host.variables.erase("[LastError]");
  EXPECT_FALSE(host.Exec(4, {"Rect1", sample}));
  EXPECT_EQ(host.LastError(), gone);
  host.variables.erase("[LastError]");
  host.variables.erase("[Result]");
  EXPECT_FALSE(host.Exec(5, {"Rect1", "Result"}));
  EXPECT_EQ(host.LastError(), gone);
  EXPECT_FALSE(host.Var("[Result]").has_value());

  FreeHostString(&title);
  FreeHostString(&publisher);
  FreeHostString(&hint);
}

}  // namespace
}  // namespace kyt::test

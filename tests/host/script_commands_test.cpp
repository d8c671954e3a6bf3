// kytDCRCmdList and kytDCRExec, the script hosts' interface.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeHost.h"
#include "TestFiles.h"
#include "host/DcrRegistry.h"
#include "recognition/BackPropCls.h"
#include "window/kytForm.h"

namespace kyt::test {
namespace {

const std::string kListForm =
    "(list "
    "(list \"kytDcrCreate\"  \"1\" 1)"
    "(list \"kytDcrRemove\"  \"2\" 1)"
    "(list \"kytDcrLoadKnowledgebase\"  \"3\" 5)"
    "(list \"kytDcrLoadPicture\"  \"4\" 2)"
    "(list \"kytDcrRecognize\"  \"5\" 2)"
    ")";
const std::string kLineForm =
    "kytDcrCreate|1|1\r\n"
    "kytDcrRemove|2|1\r\n"
    "kytDcrLoadKnowledgebase|3|5\r\n"
    "kytDcrLoadPicture|4|2\r\n"
    "kytDcrRecognize|5|2\r\n";

std::string CmdList(const char* format) {
  std::vector<char> buffer(400, '\x55');
  EXPECT_EQ(kytDCRCmdList("ignored", format, buffer.data()), 1);
  const std::string text(buffer.data());
  // Nothing is written past the terminating zero.
  for (size_t i = text.size() + 1; i < buffer.size(); ++i)
    if (buffer[i] != '\x55') {
      ADD_FAILURE() << "byte " << i << " written past the list";
      break;
    }
  return text;
}

TEST(CmdList, TheTwoFormsByteForByte) {
  FakeHost host;
  host.Register();
  ASSERT_EQ(kListForm.size(), 166u);
  ASSERT_EQ(kLineForm.size(), 109u);
  EXPECT_EQ(CmdList("LISP"), kListForm);
  EXPECT_EQ(CmdList("lisp"), kListForm);
  EXPECT_EQ(CmdList("LiSp"), kListForm);
  for (const char* other : {"LISP ", " LISP", "", "LIST", "lisp2"}) EXPECT_EQ(CmdList(other), kLineForm) << other;
  EXPECT_EQ(CmdList(nullptr), kLineForm);
}

TEST(CmdList, ExactBuffersSufficeTheIniChangesNothingAndANullDestinationIsRefused) {
  FakeHost host;
  host.WriteIni("[CommandDescription]\nkytDcrCreate=Other\n[GroupDescription]\n1=G\n");
  host.Register();
  std::vector<char> list(167), line(110);
  EXPECT_EQ(kytDCRCmdList(nullptr, "LISP", list.data()), 1);
  EXPECT_EQ(std::string(list.data(), 166), kListForm);
  EXPECT_EQ(list[166], '\0');
  EXPECT_EQ(kytDCRCmdList(nullptr, "", line.data()), 1);
  EXPECT_EQ(std::string(line.data(), 109), kLineForm);
  EXPECT_EQ(line[109], '\0');
  EXPECT_EQ(kytDCRCmdList(nullptr, "LISP", nullptr), 0);
  EXPECT_EQ(kytDCRCmdList(nullptr, nullptr, nullptr), 0);
}

// Runs the same publication once through nbExecAction and once through
// kytDCRExec and records what the host saw.
struct Outcome {
  std::vector<bool> results;
  std::vector<std::pair<std::string, std::string>> setLog;
  std::vector<int32_t> frame;
  bool operator==(const Outcome&) const = default;
};

Outcome Play(bool viaExec) {
  FakeHost host;
  host.Register();
  host.AddObject("Rect1", 300, 200);
  const std::string kb = host.Folder() + "/kb.dcr";
  WriteBytes(kb, KnowledgeBaseBytes(3, 3, 1, 1, 2, {"z"}));
  Bitmap picture(50, 30, kWhite);
  picture.FillRect(10, 10, 16, 22, kBlack);
  const std::string pic = host.Folder() + "/p.bmp";
  WriteBytes(pic, BmpBytes(picture));

  const std::vector<std::vector<std::string>> script = {
      {"1", "Rect1"},
      {"3", "Rect1", kb, "150", "x", "9"},  // conversion error: false
      {"3", "Rect1", kb, "150", "3", "9"},
      {"4", "Rect1", pic},
      {"4", "Ghost", pic},
      {"5", "Rect1", "Result"},
      {"5", "Ghost", "Result"},
      {"2", "Rect1"},
      {"2", "Rect1"},
  };
  Outcome out;
  for (const auto& step : script) {
    const int32_t action = std::stoi(step[0]);
    std::vector<std::optional<std::string>> params(step.begin() + 1, step.end());
    if (viaExec) {
      std::string p[5];
      for (size_t i = 1; i < step.size(); ++i) p[i - 1] = step[i];
      // Leading blanks are accepted in the command text.
      const std::string command = "  " + step[0];
      out.results.push_back(kytDCRExec(nullptr, command.c_str(), p[0].c_str(), p[1].c_str(), p[2].c_str(),
                                       p[3].c_str(), p[4].c_str(), nullptr, nullptr, nullptr, nullptr,
                                       nullptr) != 0);
    } else {
      out.results.push_back(host.Exec(action, params));
    }
    if (action == 3 && FindDcrWindow("Rect1") >= 0) {
      const TDCRFrame& f = DcrWindowAt(FindDcrWindow("Rect1")).DCR;
      out.frame.insert(out.frame.end(), {f.BWThreshold, f.NoiseThreshold, f.SpaceWidth, DcrNetwork()->InputCols});
    }
  }
  out.setLog = host.setLog;
  return out;
}

TEST(Exec, RunsTheSameImplementationsAsNbExecAction) {
  const Outcome direct = Play(false);
  const Outcome script = Play(true);
  EXPECT_EQ(direct.results, (std::vector<bool>{true, false, true, true, false, true, false, true, false}));
  EXPECT_EQ(script.results, direct.results);
  EXPECT_EQ(script.frame, direct.frame);
  EXPECT_EQ(script.setLog, direct.setLog);
  EXPECT_FALSE(direct.setLog.empty());
}

TEST(Exec, CommandsThatAreNoActionNumberReturnFalseAndDoNothing) {
  FakeHost host;
  host.Register();
  host.AddObject("Rect1", 300, 200);
  for (const char* command : {"0", "6", "-1", "abc", "", " ", "1x", "2147483648"}) {
    EXPECT_EQ(kytDCRExec(nullptr, command, "Rect1", "", "", "", "", nullptr, nullptr, nullptr, nullptr, nullptr), 0)
        << command;
  }
  EXPECT_EQ(kytDCRExec(nullptr, nullptr, "Rect1", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr),
            0);
  EXPECT_TRUE(host.setLog.empty());
  EXPECT_TRUE(host.requests.empty());
  EXPECT_TRUE(host.platform.Peers().empty());

  // Hexadecimal and signed command texts follow the number syntax; null parameters are empty texts.
  EXPECT_EQ(kytDCRExec(nullptr, "$1", "Rect1", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr),
            1);
  EXPECT_EQ(kytDCRExec(nullptr, "+0x5", "Rect1", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr),
            1);
  EXPECT_EQ(host.Var("[]"), "") << "a null variable name is the empty name";
}

}  // namespace
}  // namespace kyt::test

// The page reader's classifier remembers every grid's scores: its rankings
// and the pages it reads are those of a classifier that runs the network for
// every piece.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <memory>
#include <random>

#include "FontGlyphs.h"
#include "KnowledgeBase.h"
#include "reader/Reader.h"
#include "reader/Stages.h"

namespace kytdcr::reader {
namespace {

kyt::TBackProp& Network(const std::string& name) {
  static std::map<std::string, std::unique_ptr<kyt::TBackProp>> loaded;
  auto& slot = loaded[name];
  if (!slot) slot = LoadKnowledgeBase(ResolveKnowledgeBase(name));
  return *slot;
}

// The same network as a class of its own, for which nothing is remembered.
class EveryPiece : public kyt::TBackProp {
 public:
  explicit EveryPiece(const kyt::TBackProp& net) : kyt::TBackProp(net) {}
  void Propagate() override {
    ++passes;
    kyt::TBackProp::Propagate();
  }
  int passes = 0;
};

Piece RandomPiece(std::mt19937& random, int32_t width, int32_t height) {
  Piece p;
  p.box = {0, 0, width, height};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (random() % 3 == 0 || (x == 0 && y == 0) || (x == width - 1 && y == height - 1)) p.pixels.push_back({x, y});
  return p;
}

void ExpectSame(const std::vector<Answer>& a, const std::vector<Answer>& b, const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].name, b[i].name) << what << ", rank " << i;
    EXPECT_EQ(std::bit_cast<uint32_t>(a[i].score), std::bit_cast<uint32_t>(b[i].score)) << what << ", rank " << i;
  }
}

TEST(ReaderMemory, RankingsAreThoseOfRunningTheNetworkEveryTime) {
  kyt::TBackProp& net = Network("latin");
  std::mt19937 random(3);
  std::vector<Piece> pieces;
  for (int k = 0; k < 12; ++k) pieces.push_back(RandomPiece(random, 4 + int32_t(random() % 20), 6 + int32_t(random() % 24)));
  // A piece moved elsewhere has the same grid; one pixel more may not.
  Piece moved = pieces[0];
  for (kyt::TPoint& q : moved.pixels) q.X += 40, q.Y += 7;
  moved.box = {40, 7, 40 + pieces[0].box.Width(), 7 + pieces[0].box.Height()};
  pieces.push_back(moved);
  Piece more = pieces[1];
  more.pixels.push_back({1, 1});
  pieces.push_back(more);
  Classifier remembering(net);
  Classifier every(net, false);
  for (int round = 0; round < 200; ++round) {
    const Piece& p = pieces[random() % pieces.size()];
    const size_t count = random() % 2 ? 1 : 1 + random() % 10;
    ExpectSame(remembering.Rank(p, count), every.Rank(p, count), "round " + std::to_string(round));
    ExpectSame({remembering.Classify(p)}, {every.Classify(p)}, "classify, round " + std::to_string(round));
  }
}

TEST(ReaderMemory, APageReadsAsWithoutRemembering) {
  Font f(FindFontFile("DejaVuSans"));
  f.SetPixelSize(20);
  const kyt::Bitmap page = f.RenderPage({U"The quick brown fox jumps", U"over the lazy dog, the fox.", U"Rain, rain, go away"},
                                        PageStyle{});
  kyt::TBackProp& net = Network("latin");
  EveryPiece every(net);
  const Page a = ReadPage(page, net, {});
  const Page b = ReadPage(page, every, {});
  EXPECT_GT(every.passes, 0);
  EXPECT_EQ(a.Text(), b.Text());
  ASSERT_EQ(a.lines.size(), b.lines.size());
  for (size_t l = 0; l < a.lines.size(); ++l) {
    ASSERT_EQ(a.lines[l].words.size(), b.lines[l].words.size());
    for (size_t w = 0; w < a.lines[l].words.size(); ++w) {
      const auto& ga = a.lines[l].words[w].glyphs;
      const auto& gb = b.lines[l].words[w].glyphs;
      ASSERT_EQ(ga.size(), gb.size());
      for (size_t g = 0; g < ga.size(); ++g) {
        EXPECT_EQ(ga[g].name, gb[g].name);
        EXPECT_EQ(std::bit_cast<uint32_t>(ga[g].score), std::bit_cast<uint32_t>(gb[g].score));
        EXPECT_EQ(ga[g].box.Left, gb[g].box.Left);
        EXPECT_EQ(ga[g].box.Right, gb[g].box.Right);
      }
    }
  }
}

TEST(ReaderMemory, ThePluginsGlyphsKeepTheirNames) {
  // The plug-in's reading with glyphs names each from the outputs its
  // classifier leaves in the network; repeated letters must not read stale ones.
  Font f(FindFontFile("DejaVuSans"));
  f.SetPixelSize(24);
  const kyt::Bitmap page = f.RenderPage({U"abab cdcd abab", U"dcba dcba"}, PageStyle{});
  kyt::TBackProp& net = Network("latin");
  std::string text;
  const Page p = ReadPageAsPlugin(page, net, 196, 10, 22, text, true);
  std::string names;
  for (const Line& l : p.lines)
    for (const Word& w : l.words) names += w.Text() + " ";
  std::string plain;
  for (char c : text)
    if (c != '\r' && c != '\n') plain += c;
  EXPECT_EQ(names, plain);
}

}  // namespace
}  // namespace kytdcr::reader

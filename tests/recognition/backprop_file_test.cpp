// The knowledge-base file: the exact layout, round trips through memory, disk
// and the host's embedded streams, and damaged files, which must be refused
// without touching the network.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <iterator>
#include <tuple>
#include <cstdio>
#include <map>
#include <filesystem>
#include <fstream>
#include <random>

#include "core/Error.h"
#include "host/Actions.h"
#include "host/HostInterface.h"
#include "recognition/BackPropCls.h"
#include "reference_network.h"

namespace kyt {
namespace {

using Bytes = std::vector<uint8_t>;

// The one-pattern network of the format's worked example, 101 bytes.
const Bytes kWorkedExample = {
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  //
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0xBF, 0x00, 0x00, 0x80, 0x3E,  //
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  //
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x80, 0x3F, 0x01, 0x00, 0x00, 0x00,  //
    0x41, 0x6F, 0x12, 0x83, 0x3A, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80,  //
    0xBF, 0x0A, 0xD7, 0x23, 0x3C, 0x10, 0x27, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
    0x00, 0x00, 0x00, 0x00, 0x00};

TBackProp WorkedExampleNetwork() {
  TBackProp net(1, 2, 1, 1, 1);
  net.HiddenWeights[1] = {0.5f, -0.5f, 0.25f};
  net.OutputWeights[1] = {0.0f, 1.0f};
  net.AddTrainingPairs({{TLayer{0.0f, 1.0f, -1.0f}}, TLayer{0.0f, 1.0f}, "A"});
  return net;
}

void PutInt(Bytes& b, size_t offset, int32_t v) {
  for (int k = 0; k < 4; ++k) b[offset + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
}

// Everything a load may change, compared as bytes, plus the layers.
struct Snapshot {
  explicit Snapshot(const TBackProp& n)
      : file(n.SaveToBytes()), input(n.InputLayer), hidden(n.HiddenLayer), output(n.OutputLayer),
        counts{n.InputCount, n.HiddenCount, n.OutputCount, n.TargetValueCount}, modified(n.Modified) {}
  bool operator==(const Snapshot&) const = default;
  Bytes file;
  TLayer input, hidden, output;
  std::array<int32_t, 4> counts;
  bool modified;
};

std::string TempPath(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "kyt_backprop_file_test";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The small base the random-damage loops start from: a 2 x 3 grid, 2 x 2
// outputs, three patterns (two samples, none, one; names of 2, 0 and 3 bytes).
TBackProp SmallDamageSource(std::mt19937_64& random) {
  TBackProp source = reference::RandomNetwork(6, 3, 4, random);
  source.InputRows = 2;
  source.InputCols = 3;
  source.OutputRows = 2;
  source.OutputCols = 2;
  source.AddTrainingPairs({{TLayer(7, 1.0f), TLayer(7, -1.0f)}, TLayer(5, 1.0f), "ab"});
  source.AddTrainingPairs({{}, TLayer(5, -1.0f), ""});
  source.AddTrainingPairs({{TLayer(7, 0.5f)}, TLayer(5, 1.0f), "xyz"});
  return source;
}

// The worked example with 4-byte fields overwritten: {offset, value} each.
using Overwrites = std::vector<std::pair<size_t, int32_t>>;
Bytes Overwritten(const Overwrites& fields) {
  Bytes b = kWorkedExample;
  for (const auto& [offset, value] : fields) PutInt(b, offset, value);
  return b;
}

// The values a random edit writes over a 4-byte field.
const int32_t kInterestingInts[] = {-1, 0, 1, 2, 3, 7, 100, 65536, INT32_MAX, INT32_MIN, 0x40000000};

TEST(KnowledgeBaseFile, WorkedExampleIsWrittenAndReadByteForByte) {
  TBackProp net = WorkedExampleNetwork();
  EXPECT_TRUE(net.Modified);
  EXPECT_EQ(net.SaveToBytes(), kWorkedExample);

  TBackProp loaded(20, 20, 20, 20, 50);
  loaded.LoadFromBytes(kWorkedExample);
  EXPECT_EQ(loaded.InputRows, 1);
  EXPECT_EQ(loaded.InputCols, 2);
  EXPECT_EQ(loaded.OutputRows, 1);
  EXPECT_EQ(loaded.OutputCols, 1);
  EXPECT_EQ(loaded.InputCount, 2);
  EXPECT_EQ(loaded.HiddenCount, 1);
  EXPECT_EQ(loaded.OutputCount, 1);
  EXPECT_EQ(loaded.HiddenWeights[1], (TLayer{0.5f, -0.5f, 0.25f}));
  EXPECT_EQ(loaded.OutputWeights[1], (TLayer{0.0f, 1.0f}));
  ASSERT_EQ(loaded.PatternCount(), 1);
  EXPECT_EQ(loaded.TrainingSet[0].Samples, (std::vector<TLayer>{TLayer{0.0f, 1.0f, -1.0f}}));
  EXPECT_EQ(loaded.TrainingSet[0].Target, (TLayer{0.0f, 1.0f}));
  EXPECT_EQ(loaded.PatternName(0), "A");
  EXPECT_EQ(loaded.LearningRate, 0.001f);
  EXPECT_EQ(loaded.WeightRange, 0.5f);
  EXPECT_EQ(loaded.Tolerance, 1.0f);
  EXPECT_EQ(loaded.ErrorGoal, -1.0f);
  EXPECT_EQ(loaded.MeanErrorGoal, 0.01f);
  EXPECT_EQ(loaded.MaxEpochs, 10000);
  EXPECT_EQ(loaded.TargetValueCount, 1);
  EXPECT_FALSE(loaded.Modified);
  ASSERT_EQ(loaded.InputLayer.size(), 3u);
  ASSERT_EQ(loaded.HiddenLayer.size(), 2u);
  ASSERT_EQ(loaded.OutputLayer.size(), 2u);
  EXPECT_EQ(loaded.InputLayer[0], 1.0f);
  EXPECT_EQ(loaded.HiddenLayer[0], 1.0f);
  EXPECT_EQ(loaded.SaveToBytes(), kWorkedExample);

  // Fed (+1, -1): hidden about -0.12435, output about -0.06210, wrong against the target 1.
  loaded.InputLayer[1] = 1.0f;
  loaded.InputLayer[2] = -1.0f;
  loaded.Propagate();
  EXPECT_NEAR(loaded.HiddenLayer[1], -0.12435f, 5e-6);
  EXPECT_NEAR(loaded.OutputLayer[1], -0.06210f, 5e-6);
  std::vector<std::string> names, scores, counts;
  loaded.RankPatterns(names, scores, counts);
  EXPECT_EQ(names, (std::vector<std::string>{"A"}));
  EXPECT_EQ(scores, (std::vector<std::string>{"0.00%"}));
  EXPECT_EQ(counts, (std::vector<std::string>{"1 / 1 "}));
  std::string name;
  loaded.Recognize(name);
  EXPECT_EQ(name, "A");
}

TEST(KnowledgeBaseFile, LengthOfTheDefaultNetwork) {
  TBackProp net(20, 20, 20, 20, 50);
  EXPECT_EQ(net.SaveToBytes().size(), 161860u);
  TLayer sample(401, 1.0f), target(401, -1.0f);
  net.AddTrainingPairs({{sample, sample}, target, "x"});
  EXPECT_EQ(net.SaveToBytes().size(), 166669u);
}

TEST(KnowledgeBaseFile, RoundTripRestoresEveryStoredField) {
  std::mt19937_64 random(31);
  TBackProp net = reference::RandomNetwork(12, 5, 7, random, 1.0f, true);
  net.InputRows = 3;
  net.InputCols = 4;
  net.OutputRows = 7;
  net.OutputCols = 1;
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  auto vector = [&](size_t n) {
    TLayer v(n + 1);
    for (float& x : v) x = value(random);
    return v;
  };
  net.AddTrainingPairs({{vector(12), vector(12), vector(12)}, vector(7), "a"});
  net.AddTrainingPairs({{vector(12)}, vector(7), ""});                      // empty name
  net.AddTrainingPairs({{}, vector(7), "\xC0\xE1\xE2 \xFF"});                // cp1251 letters, no samples
  net.AddTrainingPairs({{vector(12)}, vector(7), std::string("n\0l", 3)});  // a zero byte inside
  net.LearningRate = 0.125f;
  net.WeightRange = 0.75f;
  net.Tolerance = 0.5f;
  net.ErrorGoal = 3.0f;
  net.MeanErrorGoal = -0.0f;
  net.MaxEpochs = -4;
  net.ErrorCount = 17;
  net.Epoch = 123456;
  net.ErrorSum = 1.5e-7f;
  const Bytes bytes = net.SaveToBytes();

  TBackProp loaded(1, 1, 1);
  bool epochEventKept = false;
  loaded.OnEpoch = [&](TBackProp&) { epochEventKept = true; };
  loaded.LoadFromBytes(bytes);
  EXPECT_EQ(loaded.SaveToBytes(), bytes);
  EXPECT_EQ(loaded.InputRows, 3);
  EXPECT_EQ(loaded.InputCols, 4);
  EXPECT_EQ(loaded.InputCount, 12);  // from the grid, not from the network's own count
  EXPECT_EQ(loaded.HiddenWeights, net.HiddenWeights);
  EXPECT_EQ(loaded.OutputWeights, net.OutputWeights);
  ASSERT_EQ(loaded.PatternCount(), 4);
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(loaded.TrainingSet[p].Name, net.TrainingSet[p].Name);
    EXPECT_EQ(loaded.TrainingSet[p].Target.size(), 8u);
    for (size_t k = 0; k < loaded.TrainingSet[p].Samples.size(); ++k) {
      const TLayer& a = loaded.TrainingSet[p].Samples[k];
      ASSERT_EQ(a.size(), 13u);
      EXPECT_TRUE(std::equal(a.begin() + 1, a.end(), net.TrainingSet[p].Samples[k].begin() + 1));
    }
  }
  EXPECT_EQ(loaded.PatternName(2), "\xC0\xE1\xE2 \xFF");
  EXPECT_EQ(loaded.PatternName(3), std::string("n\0l", 3));
  EXPECT_EQ(reference::Bits(loaded.MeanErrorGoal), reference::Bits(-0.0f));
  EXPECT_EQ(loaded.MaxEpochs, -4);
  EXPECT_EQ(loaded.Epoch, 123456);
  EXPECT_EQ(loaded.ErrorCount, 17);
  EXPECT_EQ(loaded.ErrorSum, 1.5e-7f);
  EXPECT_EQ(loaded.TargetValueCount, (3 + 1 + 0 + 1) * 7);
  EXPECT_FALSE(loaded.Modified);
  ASSERT_TRUE(loaded.OnEpoch);
  loaded.OnEpoch(loaded);
  EXPECT_TRUE(epochEventKept);

  // The same answers for every input.
  for (int trial = 0; trial < 50; ++trial) {
    TLayer input = vector(12);
    input[0] = 1.0f;
    net.InputLayer = input;
    loaded.InputLayer = input;
    net.Propagate();
    loaded.Propagate();
    EXPECT_EQ(net.OutputLayer, loaded.OutputLayer);
    std::string a, b;
    net.Recognize(a);
    loaded.Recognize(b);
    EXPECT_EQ(a, b);
  }
}

TEST(KnowledgeBaseFile, NoPatternsAndTrailingBytes) {
  TBackProp net(2, 3, 1, 1, 2);
  Bytes bytes = net.SaveToBytes();
  EXPECT_EQ(bytes.size(), 20u + 4 * 2 * 7 + 4 * 1 * 3 + 4 + 36);
  bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x01});
  TBackProp loaded = WorkedExampleNetwork();
  loaded.LoadFromBytes(bytes);
  EXPECT_EQ(loaded.PatternCount(), 0);
  EXPECT_EQ(loaded.InputCount, 6);
  EXPECT_EQ(loaded.TargetValueCount, 0);
  std::string name = "x";
  loaded.Recognize(name);
  EXPECT_EQ(name, "");
  bytes.resize(bytes.size() - 5);
  EXPECT_EQ(loaded.SaveToBytes(), bytes);
}

TEST(KnowledgeBaseFile, SaveAndLoadThroughFiles) {
  const std::string path = TempPath("round.dcr");
  TBackProp net = WorkedExampleNetwork();
  net.SaveToFile(path);
  EXPECT_FALSE(net.Modified);
  std::ifstream in(path, std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, kWorkedExample);

  TBackProp fromFile(path);
  EXPECT_EQ(fromFile.SaveToBytes(), kWorkedExample);
  EXPECT_FALSE(fromFile.Modified);
  EXPECT_FALSE(fromFile.OnEpoch);
  EXPECT_FALSE(fromFile.StopRequested);

  // Saving over an existing, longer file leaves only the new content.
  TBackProp big(20, 20, 20, 20, 50);
  big.SaveToFile(path);
  net.SaveToFile(path);
  EXPECT_EQ(std::filesystem::file_size(path), kWorkedExample.size());

  TBackProp other(3, 3, 3);
  other.LoadFromFile(path);
  EXPECT_EQ(other.SaveToBytes(), kWorkedExample);
}

TEST(KnowledgeBaseFile, FailedFileOperationsRaiseAndChangeNothing) {
  TBackProp net = WorkedExampleNetwork();
  const Snapshot before(net);
  const std::string missing = TempPath("does-not-exist.dcr");
  std::filesystem::remove(missing);
  try {
    net.LoadFromFile(missing);
    FAIL() << "a missing file loaded";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot open file \"" + missing + "\""), std::string::npos) << e.what();
  }
  EXPECT_TRUE(Snapshot(net) == before);
  EXPECT_THROW(TBackProp{missing}, Error);

  // A directory is no knowledge base.
  EXPECT_THROW(net.LoadFromFile(std::filesystem::temp_directory_path().string()), Error);
  EXPECT_TRUE(Snapshot(net) == before);

  // A failed save raises and keeps Modified.
  ASSERT_TRUE(net.Modified);
  EXPECT_THROW(net.SaveToFile(TempPath("no-such-dir/kb.dcr")), Error);
  EXPECT_TRUE(net.Modified);
  if (std::filesystem::exists("/dev/full")) {
    try {
      net.SaveToFile("/dev/full");
      FAIL() << "writing to a full device succeeded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("/dev/full"), std::string::npos);
    }
    EXPECT_TRUE(net.Modified);
  }
}

// Every way the file can be damaged is refused with a kyt::Error, and the
// network keeps everything it had.
class DamagedKnowledgeBase : public ::testing::Test {
 protected:
  void ExpectRefused(const Bytes& bytes, const std::string& part) {
    TBackProp net(20, 20, 20, 20, 50);
    net.AddTrainingPairs({{TLayer(401, 1.0f)}, TLayer(401, -1.0f), "keep"});
    net.InputLayer[5] = 0.5f;
    net.Propagate();
    const Snapshot before(net);
    try {
      net.LoadFromBytes(bytes);
      ADD_FAILURE() << "a damaged knowledge base (" << part << ") loaded";
    } catch (const Error& e) {
      const std::string text = e.what();
      EXPECT_EQ(text.rfind("Knowledge base is damaged: ", 0), 0u) << text;
      EXPECT_NE(text.find(part), std::string::npos) << text;
    }
    EXPECT_TRUE(Snapshot(net) == before) << part;
  }
};

TEST_F(DamagedKnowledgeBase, EveryTruncation) {
  for (size_t length = 0; length < kWorkedExample.size(); ++length)
    ExpectRefused(Bytes(kWorkedExample.begin(), kWorkedExample.begin() + std::ptrdiff_t(length)), "");
}

TEST_F(DamagedKnowledgeBase, SizesThatAreNotPositive) {
  for (size_t field = 0; field < 5; ++field) {
    for (int32_t value : {0, -1, INT32_MIN}) {
      Bytes b = kWorkedExample;
      PutInt(b, field * 4, value);
      ExpectRefused(b, "not positive");
    }
  }
}

TEST_F(DamagedKnowledgeBase, SizesThatTheFileCannotHold) {
  const std::vector<std::pair<Overwrites, const char*>> cases = {
      {{{0, INT32_MAX}, {4, INT32_MAX}}, "implausibly large"},  // 2^31 x 2^31 - 1 inputs
      {{{0, 1000}, {4, 1000}, {16, 1000}}, "hidden weights"},   // 1000 x 1000 inputs x 1000 hidden units in 101 bytes
      {{{16, 1 << 30}}, "hidden weights"},                      // 2^30 hidden units: 4 * H * (I + 1) overflows 32 bits
      {{{8, 46341}, {12, 46341}}, "implausibly large"},         // 46341 x 46341 outputs (> 2^31)
      {{{8, 65535}}, "output weights"},                         // 65535 outputs
      {{{40, -1}}, "negative"},
      {{{40, INT32_MAX}}, "patterns"},
      {{{40, 2}}, "patterns"},                                  // one pattern more than there is
      {{{44, -3}}, "negative sample count"},
      {{{44, 0x40000000}}, "samples of pattern 1"},
      {{{44, 2}}, ""},
      {{{60, -1}}, "negative name length"},
      {{{60, INT32_MAX}}, "name of pattern 1"},
      {{{60, 2}}, "name of pattern 1"},                         // the name would eat a byte of the trailer
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    ExpectRefused(Overwritten(cases[c].first), cases[c].second);
  }
}

TEST_F(DamagedKnowledgeBase, FileErrorsNameTheFile) {
  const std::string path = TempPath("damaged.dcr");
  WriteFile(path, Bytes(kWorkedExample.begin(), kWorkedExample.begin() + 70));
  TBackProp net = WorkedExampleNetwork();
  const Snapshot before(net);
  try {
    net.LoadFromFile(path);
    FAIL() << "a damaged file loaded";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Knowledge base '" + path + "' is damaged: ", 0), 0u) << e.what();
  }
  EXPECT_TRUE(Snapshot(net) == before);
}

// Random damage anywhere in a small knowledge base: every result is either a
// complete load or a kyt::Error with the network untouched.
TEST(KnowledgeBaseFile, RandomDamageIsLoadedOrRefusedCleanly) {
  std::mt19937_64 random(77);
  const Bytes good = SmallDamageSource(random).SaveToBytes();
  int refused = 0, loaded = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes b = good;
    const int edits = 1 + int(random() % 3);
    for (int e = 0; e < edits; ++e) {
      switch (random() % 3) {
        case 0:
          if (!b.empty()) b[random() % b.size()] = uint8_t(random());
          break;
        case 1:
          if (b.size() >= 4)
            PutInt(b, (random() % (b.size() / 4)) * 4, kInterestingInts[random() % std::size(kInterestingInts)]);
          break;
        default:
          b.resize(random() % (b.size() + 1));
          break;
      }
    }
    TBackProp net(2, 2, 2);
    const Snapshot before(net);
    try {
      net.LoadFromBytes(b);
      ++loaded;
      // What loaded is consistent: it saves back to the bytes it came from, less any tail.
      const Bytes again = net.SaveToBytes();
      ASSERT_LE(again.size(), b.size());
      ASSERT_TRUE(std::equal(again.begin(), again.end(), b.begin())) << "trial " << trial;
    } catch (const Error&) {
      ++refused;
      ASSERT_TRUE(Snapshot(net) == before) << "trial " << trial;
    }
  }
  EXPECT_GT(refused, 1000);
  EXPECT_GT(loaded, 100);
}

// The host as the embedded-file loader sees it.
class FakeHost : public IHost {
 public:
  void AddAction(int32_t, const std::string&, const std::string&, const std::vector<uint8_t>&, uint8_t) override {}
  bool HasVariableAccess() const override { return true; }
  std::string GetVariable(const std::string& name) override { return variables[name]; }
  void SetVariable(const std::string& name, const std::string& value) override {
    variables[name] = value;
    ++sets;
  }
  bool HasInterfaceAccess() const override { return false; }
  bool InterfaceAccess(int32_t, std::optional<std::string>&) override { return false; }
  bool HasStreamAccess() const override { return streamAccess; }
  bool StreamAccess(const std::string& name, std::vector<uint8_t>& content) override {
    asked.push_back(name);
    if (copyFails) throw Error("The stream could not be copied.");
    auto it = files.find(name);
    if (it == files.end()) return false;
    content = it->second;
    return true;
  }

  bool streamAccess = true;
  bool copyFails = false;
  std::map<std::string, Bytes> files;
  std::map<std::string, std::string> variables;
  std::vector<std::string> asked;
  int sets = 0;
};

TEST(KnowledgeBaseHostStream, LoadsTheEmbeddedFile) {
  FakeHost host;
  const std::string name = "embedded:\\\\\\letters.dcr";
  host.files[name] = kWorkedExample;
  TBackProp net(20, 20, 20, 20, 50);
  net.Modified = true;
  LoadFromHostStream(net, name, host);
  EXPECT_EQ(host.asked, (std::vector<std::string>{name}));
  EXPECT_EQ(host.sets, 0);
  EXPECT_EQ(net.SaveToBytes(), kWorkedExample);
  EXPECT_FALSE(net.Modified);
}

TEST(KnowledgeBaseHostStream, FailuresGoToLastErrorAndLeaveTheNetwork) {
  const std::string name = "embedded:\\\\\\letters.dcr";
  TBackProp net = WorkedExampleNetwork();
  const Snapshot before(net);
  {
    FakeHost host;
    host.streamAccess = false;
    host.files[name] = TBackProp(2, 2, 2).SaveToBytes();
    LoadFromHostStream(net, name, host);
    EXPECT_EQ(host.variables["[LastError]"], "This feature requires NeoBook 5.0.0 or higher.");
    EXPECT_TRUE(host.asked.empty());
  }
  EXPECT_TRUE(Snapshot(net) == before);
  {
    FakeHost host;
    LoadFromHostStream(net, name, host);
    EXPECT_EQ(host.variables["[LastError]"], "File not found.");
    EXPECT_EQ(host.asked, (std::vector<std::string>{name}));
  }
  EXPECT_TRUE(Snapshot(net) == before);
  {
    FakeHost host;
    host.copyFails = true;
    LoadFromHostStream(net, name, host);
    EXPECT_EQ(host.variables["[LastError]"], "The stream could not be copied.");
  }
  EXPECT_TRUE(Snapshot(net) == before);
  {
    FakeHost host;
    Bytes damaged = TBackProp(20, 20, 20, 20, 50).SaveToBytes();
    damaged.resize(damaged.size() - 1);
    host.files[name] = damaged;
    LoadFromHostStream(net, name, host);
    EXPECT_EQ(host.variables["[LastError]"].rfind("Knowledge base '" + name + "' is damaged: ", 0), 0u)
        << host.variables["[LastError]"];
    EXPECT_EQ(host.sets, 1);
  }
  EXPECT_TRUE(Snapshot(net) == before);
}

// The same tiny file claiming huge sizes, handed over by the host: each claim
// is refused before anything is allocated for it, through [LastError].
TEST(KnowledgeBaseHostStream, TinyFilesClaimingHugeSizesAreRefused) {
  // Each case: the 4-byte fields it overwrites, by offset.
  const std::vector<Overwrites> claims = {
      {{0, 1000}, {4, 1000}, {16, 1000}},  // 10^9 hidden weights in 101 bytes
      {{0, 46341}, {4, 46341}},            // over 2^31 inputs
      {{8, 65535}},                        // 65535 outputs
      {{40, INT32_MAX}},                   // 2^31 patterns
      {{44, 0x40000000}},                  // 2^30 samples
      {{60, INT32_MAX}},                   // a 2 GB name
  };
  const char* parts[] = {"hidden weights", "implausibly large", "output weights", "patterns",
                         "samples of pattern 1", "name of pattern 1"};
  const std::string name = "embedded:\\\\\\huge.dcr";
  for (size_t c = 0; c < claims.size(); ++c) {
    FakeHost host;
    host.files[name] = Overwritten(claims[c]);
    TBackProp net = WorkedExampleNetwork();
    net.Modified = true;
    const Snapshot before(net);
    LoadFromHostStream(net, name, host);
    const std::string error = host.variables["[LastError]"];
    EXPECT_EQ(error.rfind("Knowledge base '" + name + "' is damaged: ", 0), 0u) << error;
    EXPECT_NE(error.find(parts[c]), std::string::npos) << error;
    EXPECT_TRUE(Snapshot(net) == before) << parts[c];
  }
}

// A file larger than the reader's block, with records that straddle its
// boundaries at every alignment (seven-value samples, names of odd lengths),
// loads from disk exactly as from memory.
TEST(KnowledgeBaseFile, LargeFilesLoadFromDiskAsFromMemory) {
  std::mt19937_64 random(5);
  TBackProp source = reference::RandomNetwork(7, 5, 3, random);
  source.InputRows = 7;
  source.InputCols = 1;
  source.OutputRows = 3;
  source.OutputCols = 1;
  for (int p = 0; p < 300; ++p) {
    std::vector<TLayer> samples(size_t(p % 17 + 20), TLayer(8, 0.0f));
    for (TLayer& sample : samples)
      for (size_t k = 1; k < sample.size(); ++k) sample[k] = float(int(random() % 2001) - 1000) / 1000.0f;
    source.AddTrainingPairs({samples, TLayer{0.0f, 1.0f, -1.0f, float(p)}, std::string(size_t(p % 5), char('a' + p % 26))});
  }
  const Bytes bytes = source.SaveToBytes();
  ASSERT_GT(bytes.size(), size_t(3) << 16);
  const std::string path = TempPath("large.dcr");
  WriteFile(path, bytes);
  TBackProp net(2, 2, 2);
  net.LoadFromFile(path);
  EXPECT_EQ(net.SaveToBytes(), bytes);
  // Cut anywhere, it is refused as damaged and changes nothing.
  for (size_t cut : {size_t(65535), size_t(65536), size_t(65537), bytes.size() - 37, bytes.size() - 1}) {
    WriteFile(path, Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)));
    const Snapshot before(net);
    try {
      net.LoadFromFile(path);
      ADD_FAILURE() << "a file cut at " << cut << " loaded";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Knowledge base '" + path + "' is damaged: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(Snapshot(net) == before) << cut;
  }
}

// Loads for recognition only: the same network less its samples, the same
// answers, the same refusals, and no save that would lose the samples.
class KnowledgeBaseForRecognition : public ::testing::Test {
 protected:
  // Both loads of the same bytes; true when they agree in everything but the
  // samples (the lean one has none).
  static void ExpectSameButSamples(const TBackProp& full, const TBackProp& lean, const std::string& what) {
    EXPECT_TRUE(full.HoldsTrainingSamples()) << what;
    EXPECT_FALSE(lean.HoldsTrainingSamples()) << what;
    EXPECT_EQ(std::tie(lean.InputRows, lean.InputCols, lean.OutputRows, lean.OutputCols, lean.HiddenCount,
                       lean.InputCount, lean.OutputCount, lean.MaxEpochs, lean.ErrorCount, lean.Epoch,
                       lean.TargetValueCount, lean.Modified),
              std::tie(full.InputRows, full.InputCols, full.OutputRows, full.OutputCols, full.HiddenCount,
                       full.InputCount, full.OutputCount, full.MaxEpochs, full.ErrorCount, full.Epoch,
                       full.TargetValueCount, full.Modified))
        << what;
    const auto bits = [](float f) {
      uint32_t b;
      std::memcpy(&b, &f, 4);
      return b;
    };
    // Bit for bit: damaged files hold NaNs.
    const auto same = [](const TLayer& a, const TLayer& b) {
      return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), 4 * a.size()) == 0);
    };
    const auto sameRows = [&](const TLayerWeights& a, const TLayerWeights& b) {
      return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), same);
    };
    for (auto field : {&TBackProp::LearningRate, &TBackProp::WeightRange, &TBackProp::Tolerance,
                       &TBackProp::ErrorGoal, &TBackProp::MeanErrorGoal, &TBackProp::ErrorSum})
      EXPECT_EQ(bits(lean.*field), bits(full.*field)) << what;
    EXPECT_TRUE(sameRows(lean.HiddenWeights, full.HiddenWeights)) << what;
    EXPECT_TRUE(sameRows(lean.OutputWeights, full.OutputWeights)) << what;
    ASSERT_EQ(lean.PatternCount(), full.PatternCount()) << what;
    for (size_t p = 0; p < full.TrainingSet.size(); ++p) {
      EXPECT_EQ(lean.TrainingSet[p].Name, full.TrainingSet[p].Name) << what << " pattern " << p;
      EXPECT_TRUE(same(lean.TrainingSet[p].Target, full.TrainingSet[p].Target)) << what << " pattern " << p;
      EXPECT_TRUE(lean.TrainingSet[p].Samples.empty()) << what << " pattern " << p;
    }
  }

  // Loads bytes in full into full and for recognition only into lean, from
  // memory, or from disk when path is given (the bytes written there first);
  // the two loads must fail with the same message or both succeed. error is
  // that message, empty when they loaded.
  static void LoadBothWays(const Bytes& bytes, const std::string& path, TBackProp& full, TBackProp& lean,
                           std::string& error, const std::string& what) {
    if (!path.empty()) WriteFile(path, bytes);
    const auto outcome = [&](KnowledgeBaseParts parts, TBackProp& net) {
      try {
        if (path.empty()) {
          net.LoadFromBytes(bytes, parts);
        } else if (parts == KnowledgeBaseParts::All) {
          net.LoadFromFile(path);
        } else {
          net.LoadForRecognition(path);
        }
        return std::string();
      } catch (const Error& e) {
        return std::string(e.what());
      }
    };
    const std::string fullError = outcome(KnowledgeBaseParts::All, full);
    const std::string leanError = outcome(KnowledgeBaseParts::ForRecognition, lean);
    error = fullError;
    ASSERT_EQ(leanError, fullError) << what;
  }
};

TEST_F(KnowledgeBaseForRecognition, BundledBasesAnswerEverySampleAsAfterAFullLoad) {
  for (const char* base : {"latin", "russian"}) {
    const std::string path = std::string(KYT_SOURCE_DIR) + "/data/kb/" + base + ".dcr";
    TBackProp full(path);
    TBackProp lean(path, KnowledgeBaseParts::ForRecognition);
    ExpectSameButSamples(full, lean, base);
    TBackProp::FixedNetwork fixedFull(full), fixedLean(lean);
    size_t samples = 0;
    for (const TTrainingPairs& pattern : full.TrainingSet) {
      for (const TLayer& sample : pattern.Samples) {
        std::copy(sample.begin() + 1, sample.end(), full.InputLayer.begin() + 1);
        std::copy(sample.begin() + 1, sample.end(), lean.InputLayer.begin() + 1);
        full.Propagate();
        lean.Propagate();
        ASSERT_EQ(std::memcmp(lean.OutputLayer.data(), full.OutputLayer.data(), 4 * full.OutputLayer.size()), 0)
            << base << " sample " << samples;
        std::string answers[2];
        full.Recognize(answers[0]);
        lean.Recognize(answers[1]);
        ASSERT_EQ(answers[1], answers[0]) << base << " sample " << samples;
        if (samples % 16 == 0) {  // the whole ranking now and then
          std::vector<std::string> names[2], scores[2], counts[2];
          full.RankPatterns(names[0], scores[0], counts[0]);
          lean.RankPatterns(names[1], scores[1], counts[1]);
          ASSERT_EQ(names[1], names[0]) << base << " sample " << samples;
          ASSERT_EQ(scores[1], scores[0]) << base << " sample " << samples;
          ASSERT_EQ(counts[1], counts[0]) << base << " sample " << samples;
        }
        ++samples;
      }
    }
    EXPECT_GT(samples, 100u) << base;
  }
}

TEST_F(KnowledgeBaseForRecognition, SavingIsRefusedUntilTheSamplesAreBackOrGone) {
  const std::string path = TempPath("lean-source.dcr");
  const std::string target = TempPath("lean-target.dcr");
  WriteFile(path, kWorkedExample);
  WriteFile(target, Bytes{1, 2, 3});
  TBackProp net(path, KnowledgeBaseParts::ForRecognition);
  EXPECT_EQ(net.PatternName(0), "A");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      if (attempt == 0) {
        net.SaveToBytes();
      } else {
        net.SaveToFile(target);
      }
      ADD_FAILURE() << "a network without its samples was saved";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("loaded for recognition only"), std::string::npos) << e.what();
    }
  }
  // The file that was there is left alone, and a copy refuses as well.
  std::ifstream kept(target, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(kept), {}), (Bytes{1, 2, 3}));
  TBackProp copy = net;
  EXPECT_THROW(copy.SaveToBytes(), Error);
  // Adding a pattern does not bring the others' samples back.
  net.AddTrainingPairs({{TLayer{0.0f, 1.0f, 1.0f}}, TLayer{0.0f, -1.0f}, "B"});
  EXPECT_THROW(net.SaveToBytes(), Error);
  // A full load does, and an empty training set has none to lose.
  net.LoadFromFile(path);
  EXPECT_EQ(net.SaveToBytes(), kWorkedExample);
  net.LoadFromBytes(kWorkedExample, KnowledgeBaseParts::ForRecognition);
  EXPECT_THROW(net.SaveToBytes(), Error);
  net.ClearTrainingSet();
  EXPECT_NO_THROW(net.SaveToBytes());
}

// Damage the full load refuses is refused for recognition with the same
// message, from memory and from disk, and leaves the network as it was; what
// the full load accepts loads for recognition too.
TEST_F(KnowledgeBaseForRecognition, DamagedFilesAreRefusedAsByAFullLoad) {
  std::mt19937_64 random(91);
  const std::vector<Bytes> goods = {kWorkedExample, SmallDamageSource(random).SaveToBytes()};
  const std::string path = TempPath("lean-damaged.dcr");
  int refused = 0, loaded = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    Bytes b = goods[size_t(trial % 2)];
    // Every cut of the worked example first, then random damage.
    if (trial < int(kWorkedExample.size()) * 2 && trial % 2 == 0) {
      b.resize(size_t(trial / 2));
    } else {
      for (int e = 1 + int(random() % 3); e > 0; --e) {
        switch (random() % 3) {
          case 0:
            b[random() % b.size()] = uint8_t(random());
            break;
          case 1:
            PutInt(b, (random() % (b.size() / 4)) * 4, kInterestingInts[random() % std::size(kInterestingInts)]);
            break;
          default:
            b.resize(std::max<size_t>(4, random() % (b.size() + 1)));
            break;
        }
      }
    }
    const bool fromDisk = trial % 3 == 0;
    TBackProp full(2, 2, 2), lean(2, 2, 2);
    const Snapshot before(lean);
    std::string fullError;
    ASSERT_NO_FATAL_FAILURE(
        LoadBothWays(b, fromDisk ? path : std::string(), full, lean, fullError, "trial " + std::to_string(trial)));
    if (fullError.empty()) {
      ++loaded;
      ExpectSameButSamples(full, lean, "trial " + std::to_string(trial));
    } else {
      ++refused;
      ASSERT_TRUE(Snapshot(lean) == before) << "trial " << trial;
    }
  }
  EXPECT_GT(refused, 500);
  EXPECT_GT(loaded, 50);
}

// A base larger than the reader's block, whose samples straddle its
// boundaries and are passed over by seeking, loads for recognition as in
// full, and cut anywhere it is refused as the full load refuses it.
TEST_F(KnowledgeBaseForRecognition, LargeFilesFromDisk) {
  std::mt19937_64 random(6);
  TBackProp source = reference::RandomNetwork(7, 5, 3, random);
  source.InputRows = 7;
  source.InputCols = 1;
  source.OutputRows = 3;
  source.OutputCols = 1;
  for (int p = 0; p < 300; ++p) {
    source.AddTrainingPairs({std::vector<TLayer>(size_t(p % 17 + 20), TLayer(8, float(p % 3) - 1.0f)),
                             TLayer{0.0f, 1.0f, -1.0f, float(p)}, std::string(size_t(p % 5), char('a' + p % 26))});
  }
  const Bytes bytes = source.SaveToBytes();
  ASSERT_GT(bytes.size(), size_t(3) << 16);
  const std::string path = TempPath("lean-large.dcr");
  WriteFile(path, bytes);
  TBackProp full(path), lean(path, KnowledgeBaseParts::ForRecognition);
  ExpectSameButSamples(full, lean, "whole");
  for (size_t cut : {size_t(65535), size_t(65536), size_t(65537), size_t(200001), bytes.size() - 37, bytes.size() - 1}) {
    TBackProp cutFull(2, 2, 2), cutLean(2, 2, 2);
    std::string error;
    EXPECT_NO_FATAL_FAILURE(LoadBothWays(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)), path, cutFull,
                                         cutLean, error, "cut at " + std::to_string(cut)));
    EXPECT_EQ(error.rfind("Knowledge base '" + path + "' is damaged: ", 0), 0u) << error;
  }
}

// A legal file whose records are so small that the network built from it
// would take many times the file (one-value samples: 4 bytes each in the
// file, a vector each in memory) is refused, from memory, disk and the host;
// a file of the same size with ordinary records loads.
TEST(KnowledgeBaseFile, NetworksOutOfProportionToTheFileAreRefused) {
  TBackProp tiny(1, 1, 1, 1, 1);
  tiny.AddTrainingPairs({std::vector<TLayer>(600000, TLayer{0.0f, 1.0f}), TLayer{0.0f, 1.0f}, "A"});
  const Bytes small = tiny.SaveToBytes();
  const std::string path = TempPath("proportion.dcr");
  WriteFile(path, small);
  TBackProp net = WorkedExampleNetwork();
  const Snapshot before(net);
  const auto expectRefusal = [](const std::string& text, const std::string& prefix) {
    EXPECT_EQ(text.rfind(prefix + " cannot be loaded: with the 600000 samples of pattern 1 it would take ", 0), 0u)
        << text;
    EXPECT_NE(text.find("MB of memory, out of proportion to its 2.3 MB."), std::string::npos) << text;
  };
  try {
    net.LoadFromBytes(small);
    ADD_FAILURE() << "one-value samples loaded from memory";
  } catch (const Error& e) {
    expectRefusal(e.what(), "Knowledge base");
  }
  try {
    net.LoadFromFile(path);
    ADD_FAILURE() << "one-value samples loaded from disk";
  } catch (const Error& e) {
    expectRefusal(e.what(), "Knowledge base '" + path + "'");
  }
  FakeHost host;
  const std::string name = "embedded:\\\\\\proportion.dcr";
  host.files[name] = small;
  LoadFromHostStream(net, name, host);
  expectRefusal(host.variables["[LastError]"], "Knowledge base '" + name + "'");
  EXPECT_TRUE(Snapshot(net) == before);

  TBackProp ordinary(20, 20, 20, 20, 50);
  ordinary.AddTrainingPairs({std::vector<TLayer>(1400, TLayer(401, 1.0f)), TLayer(401, -1.0f), "B"});
  const Bytes same = ordinary.SaveToBytes();
  ASSERT_GE(same.size(), small.size());
  WriteFile(path, same);
  net.LoadFromFile(path);
  EXPECT_EQ(net.SaveToBytes(), same);
}

}  // namespace
}  // namespace kyt

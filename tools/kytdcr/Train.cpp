// kytdcr train: a knowledge base from fonts or from labelled glyph pictures.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "Charsets.h"
#include "Codes.h"
#include "Commands.h"
#include "FontGlyphs.h"
#include "GlyphSources.h"
#include "Options.h"
#include "Text.h"
#include "TrainCorpus.h"
#include "TrainingData.h"
#include "core/Error.h"
#include "recognition/BackPropCls.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr train -o OUT.dcr (--font FONT... | --glyphs DIR...) [OPTIONS]\n"
    "\n"
    "Builds a knowledge base. Glyphs are rendered with fonts or read from\n"
    "labelled pictures, segmented and normalised exactly as recognition does,\n"
    "and a network is trained on them with on-line back-propagation.\n"
    "\n"
    "Sources (at least one; they can be mixed):\n"
    "  --font FONT        render the characters with this font (a file or a\n"
    "                     name such as DejaVuSans); repeatable\n"
    "  --glyphs DIR       labelled glyph pictures: DIR/LABEL/*.png, or\n"
    "                     DIR/LABEL_anything.png; 'U+XXXX' in a label stands for\n"
    "                     that character; repeatable\n"
    "Characters (most frequent first; look-alikes resolve to the earlier one):\n"
    "  --charset NAME     latin (default) or russian\n"
    "  --chars TEXT       the characters themselves, UTF-8\n"
    "Renderings of each font:\n"
    "  --sizes LIST       pixel sizes (default 12,16,20,24,32)\n"
    "  --shifts LIST      horizontal sub-pixel shifts in 1/64 pixel (default 0)\n"
    "  --bw-variants LIST binarisation thresholds (default 196)\n"
    "  --noise N          noise threshold while segmenting (default 3)\n"
    "  --pairs LIST       pairs of characters that may touch in text, separated\n"
    "                     by blanks; 'frequent' for the charset's frequent letter\n"
    "                     pairs, 'letters' for every pair of its lower-case\n"
    "                     letters; a pair that segments as one glyph in at least\n"
    "                     --pair-min renderings becomes a pattern named by both\n"
    "                     characters (default: none)\n"
    "  --pair-min N       renderings a pair must touch in (default 3)\n"
    "Glyph pictures:\n"
    "  --bw N, --space N  black/white threshold and space width (196, 22);\n"
    "                     the noise threshold is --noise\n"
    "Look-alikes (the later characters of a group are read as the first):\n"
    "  --alike GROUPS     groups of characters, separated by blanks, e.g.\n"
    "                     \"oO cC\"; 'none' for no groups (default: the charset's)\n"
    "  --merge-share F    also fold a character into an earlier one when at\n"
    "                     least this share of its renderings nearly equals the\n"
    "                     earlier one's (default 2: never)\n"
    "  --merge-cells N    'nearly equal': at most N grid cells differ (default\n"
    "                     5% of the grid)\n"
    "Network:\n"
    "  --grid WxH         glyph grid (default 16x16)\n"
    "  --hidden N         hidden units (default 64)\n"
    "  --outputs N        output units, a power of two (default: the smallest\n"
    "                     that gives every pattern its own code)\n"
    "Training goals and parameters:\n"
    "  --max-epochs N     epoch limit (default 10000)\n"
    "  --learning-rate R  step size (default 0.001)\n"
    "  --mean-error-goal R  stop when the mean squared output error is at most R\n"
    "                     (default 0.01)\n"
    "  --error-goal N     stop when at most N outputs are wrong in an epoch\n"
    "                     (default -1: off)\n"
    "  --weight-range R   initial weights in [-R, R) (default 0.5)\n"
    "  --seed N           seed of the initial weights, for reproducible bases\n"
    "Output:\n"
    "  -o FILE            the knowledge base to write (required)\n"
    "  --progress-every N without a terminal, report every N epochs (default 100)\n"
    "  -q, --quiet        no progress display\n"
    "  -h, --help         show this help\n"
    "\n"
    "Ctrl-C stops training after the current epoch and still writes the base.\n"
    "\n";

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
  if (gInterrupted != 0) _exit(130);
  gInterrupted = 1;
}

std::string Shown(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The options of a training run from fonts or glyph pictures, read and checked.
struct TrainSettings {
  std::string outName;
  std::vector<std::string> folders;
  std::u32string chars;  // in priority order
  std::optional<std::string> pairsText;
  std::string charset;
  FontSampleOptions render;
  SegmentParams folderParams{};
  std::vector<std::vector<std::string>> alikeGroups;
  double mergeShare = 2.0;
  int32_t mergeCells = 0;
  int32_t gridW = 16, gridH = 16;
  int32_t hidden = 64;
  int32_t maxEpochs = 10000;
  double learningRate = 0.001;
  double meanErrorGoal = 0.01;
  double errorGoal = -1.0;
  double weightRange = 0.5;
  std::optional<uint64_t> seed;
  int32_t progressEvery = 100;
  bool quiet = false;
};

std::vector<OptionSpec> TrainOptionSpecs() {
  std::vector<OptionSpec> specs = {{"font", 0, true, true},
                                   {"glyphs", 0, true, true},
                                   {"charset"},
                                   {"chars"},
                                   {"sizes"},
                                   {"shifts"},
                                   {"bw-variants"},
                                   {"noise"},
                                   {"pairs"},
                                   {"pair-min"},
                                   {"bw"},
                                   {"space"},
                                   {"alike"},
                                   {"merge-share"},
                                   {"merge-cells"},
                                   {"grid"},
                                   {"hidden"},
                                   {"outputs"},
                                   {"max-epochs"},
                                   {"learning-rate"},
                                   {"mean-error-goal"},
                                   {"error-goal"},
                                   {"weight-range"},
                                   {"seed"},
                                   {"output", 'o'},
                                   {"progress-every"},
                                   {"quiet", 'q', false},
                                   {"help", 'h', false}};
  for (const OptionSpec& s : CorpusOptionSpecs()) specs.push_back(s);
  return specs;
}

// The characters to train, in priority order, without blanks and repeats.
std::u32string ParseCharacters(const std::string& utf8) {
  std::u32string chars;
  for (char32_t c : Utf8ToCodePoints(utf8)) {
    if (c == U' ' || c == U'\t' || c == U'\n' || c == U'\r') continue;
    if (CodePointToCp1251(c) < 0) throw UsageError("code page 1251 has no character " + DescribeCodePoint(c));
    if (chars.find(c) == std::u32string::npos) chars += c;
  }
  return chars;
}

// Groups of look-alikes separated by blanks; "none" for none.
std::vector<std::vector<std::string>> ParseAlikeGroups(const std::string& text) {
  std::vector<std::vector<std::string>> groups;
  if (text == "none") return groups;
  std::vector<std::string> group;
  for (char32_t c : Utf8ToCodePoints(text + " ")) {
    if (c == U' ') {
      if (group.size() > 1) groups.push_back(group);
      group.clear();
    } else {
      const int b = CodePointToCp1251(c);
      if (b < 0) throw UsageError("--alike: code page 1251 has no character " + DescribeCodePoint(c));
      group.push_back(std::string(1, char(b)));
    }
  }
  return groups;
}

// The pairs of --pairs: 'letters', 'frequent' or a list of two-character words.
std::vector<std::u32string> ParsePairs(const std::string& pairsText, const std::u32string& chars,
                                       const std::string& charset) {
  if (pairsText == "letters") return LowerCasePairs(chars);
  std::vector<std::u32string> pairs;
  const std::string list = pairsText == "frequent" ? NamedPairs(charset) : pairsText;
  std::u32string word;
  for (char32_t c : Utf8ToCodePoints(list + " ")) {
    if (c != U' ') {
      word += c;
      continue;
    }
    if (word.empty()) continue;
    if (word.size() != 2) {
      std::string shown;
      for (char32_t w : word) shown += CodePointToUtf8(w);
      throw UsageError("--pairs: '" + shown + "' is not a pair of characters");
    }
    for (char32_t w : word)
      if (CodePointToCp1251(w) < 0) throw UsageError("--pairs: code page 1251 has no character " + DescribeCodePoint(w));
    pairs.push_back(word);
    word.clear();
  }
  return pairs;
}

TrainSettings ReadTrainSettings(const Options& options) {
  for (const OptionSpec& s : CorpusOptionSpecs()) {
    if (s.name != "trainer" && options.Has(s.name)) throw UsageError("--" + s.name + " needs --text");
  }
  if (options.Value("trainer", "exact") != "exact") {
    throw UsageError("glyphs rendered alone or read from pictures train with --trainer exact; the fast trainer needs --text");
  }
  if (!options.Positional().empty()) throw UsageError("unexpected argument '" + options.Positional()[0] + "'");
  TrainSettings t;
  const auto outName = options.Value("output");
  if (!outName) throw UsageError("no output file given (-o FILE.dcr)");
  t.outName = *outName;
  const auto fonts = options.Values("font");
  t.folders = options.Values("glyphs");
  if (fonts.empty() && t.folders.empty()) throw UsageError("no glyph source given (--font or --glyphs)");
  if (options.Has("charset") && options.Has("chars")) throw UsageError("give --charset or --chars, not both");
  t.charset = options.Value("charset", "latin");

  // Characters, in priority order, as code points and as the base's names.
  std::string charsUtf8;
  if (auto chars = options.Value("chars")) {
    charsUtf8 = *chars;
  } else if (!fonts.empty() || options.Has("charset")) {
    charsUtf8 = NamedCharset(t.charset);
  }
  t.chars = ParseCharacters(charsUtf8);

  std::tie(t.gridW, t.gridH) = ParseGrid(options.Value("grid", "16x16"), "--grid");
  t.hidden = options.Int("hidden", 64, 1, 4096);
  FontSampleOptions& render = t.render;
  render.sizes = ParseIntList(options.Value("sizes", "12,16,20,24,32"), "--sizes", 4, 512);
  render.shifts64 = ParseIntList(options.Value("shifts", "0"), "--shifts", 0, 63);
  render.bwThresholds = ParseIntList(options.Value("bw-variants", std::to_string(kyt::kDefaultRecognitionParams.BWThreshold)), "--bw-variants", 1, 256);
  render.noise = options.Int("noise", 3, 0, 1 << 20);
  render.gridW = t.gridW;
  render.gridH = t.gridH;
  t.folderParams = SegmentParams{options.Int("bw", kyt::kDefaultRecognitionParams.BWThreshold, 1, 256), render.noise,
                                 options.Int("space", kyt::kDefaultRecognitionParams.SpaceWidth, 0, 1 << 20)};
  t.mergeShare = options.Real("merge-share", 2.0, 0.0, 1e9);
  std::string alikeText = options.Value("alike", "");
  if (!options.Has("alike") && (!fonts.empty() || options.Has("charset")) && !options.Has("chars")) {
    alikeText = NamedAlikeGroups(t.charset);
  }
  t.alikeGroups = ParseAlikeGroups(alikeText);
  t.mergeCells = options.Int("merge-cells", std::max(1, t.gridW * t.gridH / 20), 0, t.gridW * t.gridH);
  t.maxEpochs = options.Int("max-epochs", 10000, 0, 100000000);
  t.learningRate = options.Real("learning-rate", 0.001, 1e-9, 100.0);
  t.meanErrorGoal = options.Real("mean-error-goal", 0.01, -1.0, 100.0);
  t.errorGoal = options.Real("error-goal", -1.0, -1.0, 1e12);
  t.weightRange = options.Real("weight-range", 0.5, 0.0, 100.0);
  t.progressEvery = options.Int("progress-every", 100, 1, 1 << 30);
  t.quiet = options.Has("quiet");
  if (auto s = options.Value("seed")) t.seed = uint64_t(ParseInt(*s, "--seed", 0, 2147483647));
  for (auto& f : fonts) render.fontFiles.push_back(FindFontFile(f));
  t.pairsText = options.Value("pairs");
  return t;
}

// The samples of every source, look-alikes folded, with what happened on the
// way. --pair-min is read (and checked) only once the pairs are known.
TrainingData CollectSamples(const TrainSettings& t, const Options& options) {
  TrainingData data;
  int32_t variant = 0;
  for (char32_t c : t.chars) data.Pattern(std::string(1, char(CodePointToCp1251(c))));
  std::vector<std::string> notes;
  if (!t.render.fontFiles.empty()) {
    SourceReport r = AddFontGlyphs(t.chars, t.render, data, variant);
    notes.insert(notes.end(), r.notes.begin(), r.notes.end());
    std::fprintf(stderr, "fonts: %zu renderings, %zu samples\n", r.renderings, r.samples);
  }
  if (t.pairsText && *t.pairsText != "none") {
    if (t.render.fontFiles.empty()) throw UsageError("--pairs needs --font");
    const std::vector<std::u32string> pairs = ParsePairs(*t.pairsText, t.chars, t.charset);
    SourceReport r = AddFontPairs(pairs, t.render, options.Int("pair-min", 3, 1, 1 << 20), data);
    std::string names;
    for (const auto& n : r.notes) names += " " + Shown(n);
    std::fprintf(stderr, "pairs: %zu renderings, %zu touching pairs became patterns (%zu samples):%s\n",
                 r.renderings, r.notes.size(), r.samples, names.c_str());
  }
  for (const std::string& folder : t.folders) {
    SourceReport r = AddGlyphFolder(folder, t.folderParams, t.gridW, t.gridH, data, variant);
    notes.insert(notes.end(), r.notes.begin(), r.notes.end());
    std::fprintf(stderr, "%s: %zu pictures, %zu samples\n", folder.c_str(), r.renderings, r.samples);
  }
  for (const auto& n : notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  for (const PatternData& p : data.Patterns()) {
    if (p.rejected > 0) {
      std::fprintf(stderr, "note: %s did not come out as one glyph in %d of %zu renderings\n", Shown(p.name).c_str(),
                   p.rejected, size_t(p.rejected) + p.samples.size());
    }
  }
  const ResolveReport resolved = data.Resolve(t.alikeGroups, t.mergeShare, t.mergeCells);
  for (const MergeNote& m : resolved.merges) {
    if (m.listed) {
      std::fprintf(stderr, "look-alike: %s is read as %s\n", Shown(m.folded).c_str(), Shown(m.kept).c_str());
    } else {
      std::fprintf(stderr, "look-alike: %s is read as %s (%.0f%% of its renderings within %d cells)\n",
                   Shown(m.folded).c_str(), Shown(m.kept).c_str(), m.share * 100.0, t.mergeCells);
    }
  }
  for (const auto& name : resolved.emptyPatterns) {
    std::fprintf(stderr, "dropped: %s (no usable glyph)\n", Shown(name).c_str());
  }
  std::fprintf(stderr, "samples: %zu in %zu patterns (%d repeated inputs; %d inputs of an earlier pattern left out)\n",
               data.SampleCount(), data.Patterns().size(), resolved.repeats, resolved.conflictsRemoved);
  if (data.Patterns().empty()) throw kyt::Error("no glyphs to train on");
  return data;
}

// The network with its goals and one pattern per character, each with its
// code; --outputs is read (and checked) once the patterns are counted.
std::unique_ptr<kyt::TBackProp> BuildNetwork(const TrainSettings& t, const TrainingData& data,
                                             const Options& options) {
  const int32_t patterns = int32_t(data.Patterns().size());
  const int32_t outputs = options.Has("outputs") ? options.Int("outputs", 0, 2, 65536) : DefaultCodeLength(patterns);
  const auto targets = CodeTargets(patterns, outputs);
  const auto [outRows, outCols] = OutputShape(outputs);
  auto net = std::make_unique<kyt::TBackProp>(t.gridH, t.gridW, outRows, outCols, t.hidden);
  net->SetWeightRange(float(t.weightRange));
  net->SetRandomSeed(t.seed);
  net->SetLearningRate(float(t.learningRate));
  net->SetMaxEpochs(t.maxEpochs);
  net->MeanErrorGoal = float(t.meanErrorGoal);
  net->ErrorGoal = float(t.errorGoal);
  for (int32_t p = 0; p < patterns; ++p) {
    const PatternData& pd = data.Patterns()[size_t(p)];
    kyt::TTrainingPairs pairs;
    for (const Sample& s : pd.samples) pairs.Samples.push_back(s.input);
    pairs.Target = targets[size_t(p)];
    pairs.Name = pd.name;
    net->AddTrainingPairs(pairs);
  }
  std::fprintf(stderr, "network: grid %dx%d, %d hidden, %d outputs; training up to %d epochs\n", t.gridW, t.gridH,
               t.hidden, outputs, t.maxEpochs);
  return net;
}

// Trains with a progress display; Ctrl-C stops after the current epoch.
void TrainWithProgress(kyt::TBackProp& net, const TrainSettings& t) {
  const bool tty = isatty(fileno(stderr)) != 0;
  const auto trainStart = std::chrono::steady_clock::now();
  auto lastShown = trainStart;
  auto report = [&](kyt::TBackProp& n, bool final) {
    const double mean = n.TargetValueCount > 0 ? double(n.ErrorSum) / n.TargetValueCount : 0.0;
    std::fprintf(stderr, "%sepoch %d  mean squared error %.5f  wrong outputs %d  %.0f s%s", tty ? "\r" : "", n.Epoch,
                 mean, n.ErrorCount, Seconds(trainStart), tty && !final ? "   " : "\n");
    std::fflush(stderr);
  };
  net.OnEpoch = [&](kyt::TBackProp& n) {
    if (gInterrupted != 0 && !n.StopRequested) {
      n.StopRequested = true;
      std::fprintf(stderr, "\nstopping after this epoch...\n");
    }
    if (t.quiet) return;
    const auto now = std::chrono::steady_clock::now();
    if (tty ? now - lastShown >= std::chrono::milliseconds(200) : n.Epoch % t.progressEvery == 0) {
      lastShown = now;
      report(n, false);
    }
  };
  auto previous = std::signal(SIGINT, OnInterrupt);
  try {
    net.Retrain();
  } catch (...) {
    std::signal(SIGINT, previous);
    net.OnEpoch = nullptr;
    throw;
  }
  std::signal(SIGINT, previous);
  net.OnEpoch = nullptr;
  if (!t.quiet) report(net, true);
}

// How well the network knows its own training set, with the commonest confusions.
void ReportTrainingSetRecognition(kyt::TBackProp& net) {
  size_t right = 0, total = 0;
  std::map<std::pair<std::string, std::string>, int> confusions;
  for (const auto& p : net.TrainingSet) {
    for (const auto& s : p.Samples) {
      std::copy(s.begin() + 1, s.end(), net.InputLayer.begin() + 1);
      net.Propagate();
      std::string answer;
      net.Recognize(answer);
      ++total;
      if (answer == p.Name) {
        ++right;
      } else {
        confusions[{p.Name, answer}]++;
      }
    }
  }
  std::fprintf(stderr, "training samples recognised: %zu of %zu (%.2f%%)\n", right, total,
               total ? 100.0 * double(right) / double(total) : 0.0);
  std::vector<std::pair<int, std::pair<std::string, std::string>>> worst;
  for (const auto& [pair, count] : confusions) worst.push_back({count, pair});
  std::sort(worst.begin(), worst.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (size_t i = 0; i < worst.size() && i < 12; ++i) {
    std::fprintf(stderr, "  %s read as %s: %d\n", Shown(worst[i].second.first).c_str(),
                 Shown(worst[i].second.second).c_str(), worst[i].first);
  }
}

}  // namespace

int RunTrain(const Args& args) {
  Options options(args, TrainOptionSpecs());
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    std::fputs(kCorpusHelp, stdout);
    return 0;
  }
  if (options.Has("text")) return RunTrainCorpus(options);
  const TrainSettings settings = ReadTrainSettings(options);

  const auto started = std::chrono::steady_clock::now();
  const TrainingData data = CollectSamples(settings, options);
  const double samplingTime = Seconds(started);

  const std::unique_ptr<kyt::TBackProp> net = BuildNetwork(settings, data, options);
  const auto trainStart = std::chrono::steady_clock::now();
  TrainWithProgress(*net, settings);
  const double trainingTime = Seconds(trainStart);
  ReportTrainingSetRecognition(*net);

  net->SaveToFile(settings.outName);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(settings.outName, ec);
  std::fprintf(stderr, "wrote %s: %llu bytes; sampling %.1f s, training %.1f s (%d epochs)\n",
               settings.outName.c_str(), ec ? 0ULL : (unsigned long long)bytes, samplingTime, trainingTime, net->Epoch);
  return 0;
}

}  // namespace kytdcr

// kytdcr train: a knowledge base from fonts or from labelled glyph pictures.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>

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

}  // namespace

int RunTrain(const Args& args) {
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
  Options options(args, specs);
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    std::fputs(kCorpusHelp, stdout);
    return 0;
  }
  if (options.Has("text")) return RunTrainCorpus(options);
  for (const OptionSpec& s : CorpusOptionSpecs()) {
    if (s.name != "trainer" && options.Has(s.name)) throw UsageError("--" + s.name + " needs --text");
  }
  if (options.Value("trainer", "exact") != "exact") {
    throw UsageError("glyphs rendered alone or read from pictures train with --trainer exact; the fast trainer needs --text");
  }
  if (!options.Positional().empty()) throw UsageError("unexpected argument '" + options.Positional()[0] + "'");
  const auto outName = options.Value("output");
  if (!outName) throw UsageError("no output file given (-o FILE.dcr)");
  const auto fonts = options.Values("font");
  const auto folders = options.Values("glyphs");
  if (fonts.empty() && folders.empty()) throw UsageError("no glyph source given (--font or --glyphs)");
  if (options.Has("charset") && options.Has("chars")) throw UsageError("give --charset or --chars, not both");

  // Characters, in priority order, as code points and as the base's names.
  std::string charsUtf8;
  if (auto chars = options.Value("chars")) {
    charsUtf8 = *chars;
  } else if (!fonts.empty() || options.Has("charset")) {
    charsUtf8 = NamedCharset(options.Value("charset", "latin"));
  }
  std::u32string chars;
  for (char32_t c : Utf8ToCodePoints(charsUtf8)) {
    if (c == U' ' || c == U'\t' || c == U'\n' || c == U'\r') continue;
    if (CodePointToCp1251(c) < 0) throw UsageError("code page 1251 has no character " + DescribeCodePoint(c));
    if (chars.find(c) == std::u32string::npos) chars += c;
  }

  const auto [gridW, gridH] = ParseGrid(options.Value("grid", "16x16"), "--grid");
  const int32_t hidden = options.Int("hidden", 64, 1, 4096);
  FontSampleOptions render;
  render.sizes = ParseIntList(options.Value("sizes", "12,16,20,24,32"), "--sizes", 4, 512);
  render.shifts64 = ParseIntList(options.Value("shifts", "0"), "--shifts", 0, 63);
  render.bwThresholds = ParseIntList(options.Value("bw-variants", std::to_string(kyt::kDefaultRecognitionParams.BWThreshold)), "--bw-variants", 1, 256);
  render.noise = options.Int("noise", 3, 0, 1 << 20);
  render.gridW = gridW;
  render.gridH = gridH;
  const SegmentParams folderParams{options.Int("bw", kyt::kDefaultRecognitionParams.BWThreshold, 1, 256), render.noise,
                                  options.Int("space", kyt::kDefaultRecognitionParams.SpaceWidth, 0, 1 << 20)};
  const double mergeShare = options.Real("merge-share", 2.0, 0.0, 1e9);
  std::string alikeText = options.Value("alike", "");
  if (!options.Has("alike") && (!fonts.empty() || options.Has("charset")) && !options.Has("chars")) {
    alikeText = NamedAlikeGroups(options.Value("charset", "latin"));
  }
  std::vector<std::vector<std::string>> alikeGroups;
  if (alikeText != "none") {
    std::vector<std::string> group;
    for (char32_t c : Utf8ToCodePoints(alikeText + " ")) {
      if (c == U' ') {
        if (group.size() > 1) alikeGroups.push_back(group);
        group.clear();
      } else {
        const int b = CodePointToCp1251(c);
        if (b < 0) throw UsageError("--alike: code page 1251 has no character " + DescribeCodePoint(c));
        group.push_back(std::string(1, char(b)));
      }
    }
  }
  const int32_t mergeCells = options.Int("merge-cells", std::max(1, gridW * gridH / 20), 0, gridW * gridH);
  const int32_t maxEpochs = options.Int("max-epochs", 10000, 0, 100000000);
  const double learningRate = options.Real("learning-rate", 0.001, 1e-9, 100.0);
  const double meanErrorGoal = options.Real("mean-error-goal", 0.01, -1.0, 100.0);
  const double errorGoal = options.Real("error-goal", -1.0, -1.0, 1e12);
  const double weightRange = options.Real("weight-range", 0.5, 0.0, 100.0);
  const int32_t progressEvery = options.Int("progress-every", 100, 1, 1 << 30);
  const bool quiet = options.Has("quiet");
  std::optional<uint64_t> seed;
  if (auto s = options.Value("seed")) seed = uint64_t(ParseInt(*s, "--seed", 0, 2147483647));
  for (auto& f : fonts) render.fontFiles.push_back(FindFontFile(f));

  // Samples.
  const auto started = std::chrono::steady_clock::now();
  TrainingData data;
  int32_t variant = 0;
  for (char32_t c : chars) data.Pattern(std::string(1, char(CodePointToCp1251(c))));
  std::vector<std::string> notes;
  if (!render.fontFiles.empty()) {
    SourceReport r = AddFontGlyphs(chars, render, data, variant);
    notes.insert(notes.end(), r.notes.begin(), r.notes.end());
    std::fprintf(stderr, "fonts: %zu renderings, %zu samples\n", r.renderings, r.samples);
  }
  if (auto pairsText = options.Value("pairs"); pairsText && *pairsText != "none") {
    if (render.fontFiles.empty()) throw UsageError("--pairs needs --font");
    std::vector<std::u32string> pairs;
    if (*pairsText == "letters") {
      pairs = LowerCasePairs(chars);
    } else {
      const std::string list = *pairsText == "frequent" ? NamedPairs(options.Value("charset", "latin")) : *pairsText;
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
    }
    SourceReport r = AddFontPairs(pairs, render, options.Int("pair-min", 3, 1, 1 << 20), data);
    std::string names;
    for (const auto& n : r.notes) names += " " + Shown(n);
    std::fprintf(stderr, "pairs: %zu renderings, %zu touching pairs became patterns (%zu samples):%s\n",
                 r.renderings, r.notes.size(), r.samples, names.c_str());
  }
  for (const std::string& folder : folders) {
    SourceReport r = AddGlyphFolder(folder, folderParams, gridW, gridH, data, variant);
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
  const ResolveReport resolved = data.Resolve(alikeGroups, mergeShare, mergeCells);
  for (const MergeNote& m : resolved.merges) {
    if (m.listed) {
      std::fprintf(stderr, "look-alike: %s is read as %s\n", Shown(m.folded).c_str(), Shown(m.kept).c_str());
    } else {
      std::fprintf(stderr, "look-alike: %s is read as %s (%.0f%% of its renderings within %d cells)\n",
                   Shown(m.folded).c_str(), Shown(m.kept).c_str(), m.share * 100.0, mergeCells);
    }
  }
  for (const auto& name : resolved.emptyPatterns) {
    std::fprintf(stderr, "dropped: %s (no usable glyph)\n", Shown(name).c_str());
  }
  std::fprintf(stderr, "samples: %zu in %zu patterns (%d repeated inputs; %d inputs of an earlier pattern left out)\n",
               data.SampleCount(), data.Patterns().size(), resolved.repeats, resolved.conflictsRemoved);
  if (data.Patterns().empty()) throw kyt::Error("no glyphs to train on");
  const double samplingTime = Seconds(started);

  // Network.
  const int32_t patterns = int32_t(data.Patterns().size());
  const int32_t outputs = options.Has("outputs") ? options.Int("outputs", 0, 2, 65536) : DefaultCodeLength(patterns);
  const auto targets = CodeTargets(patterns, outputs);
  const auto [outRows, outCols] = OutputShape(outputs);
  kyt::TBackProp net(gridH, gridW, outRows, outCols, hidden);
  net.SetWeightRange(float(weightRange));
  net.SetRandomSeed(seed);
  net.SetLearningRate(float(learningRate));
  net.SetMaxEpochs(maxEpochs);
  net.MeanErrorGoal = float(meanErrorGoal);
  net.ErrorGoal = float(errorGoal);
  for (int32_t p = 0; p < patterns; ++p) {
    const PatternData& pd = data.Patterns()[size_t(p)];
    kyt::TTrainingPairs pairs;
    for (const Sample& s : pd.samples) pairs.Samples.push_back(s.input);
    pairs.Target = targets[size_t(p)];
    pairs.Name = pd.name;
    net.AddTrainingPairs(pairs);
  }
  std::fprintf(stderr, "network: grid %dx%d, %d hidden, %d outputs; training up to %d epochs\n", gridW, gridH, hidden,
               outputs, maxEpochs);

  // Training, with a progress display.
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
    if (quiet) return;
    const auto now = std::chrono::steady_clock::now();
    if (tty ? now - lastShown >= std::chrono::milliseconds(200) : n.Epoch % progressEvery == 0) {
      lastShown = now;
      report(n, false);
    }
  };
  auto previous = std::signal(SIGINT, OnInterrupt);
  try {
    net.Retrain();
  } catch (...) {
    std::signal(SIGINT, previous);
    throw;
  }
  std::signal(SIGINT, previous);
  if (!quiet) report(net, true);
  const double trainingTime = Seconds(trainStart);

  // How well the network knows its own training set.
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

  net.SaveToFile(*outName);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(*outName, ec);
  std::fprintf(stderr, "wrote %s: %llu bytes; sampling %.1f s, training %.1f s (%d epochs)\n", outName->c_str(),
               ec ? 0ULL : (unsigned long long)bytes, samplingTime, trainingTime, net.Epoch);
  return 0;
}

}  // namespace kytdcr

#include "TrainCorpus.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "Charsets.h"
#include "Codes.h"
#include "Corpus.h"
#include "FontGlyphs.h"
#include "Text.h"
#include "Validation.h"
#include "core/Error.h"
#include "recognition/BackPropCls.h"

namespace kytdcr {

const char* const kCorpusHelp =
    "Knowledge bases from text (--text FILE):\n"
    "  --text FILE        UTF-8 training text; its words, cased and mixed with\n"
    "                     numbers and symbols, are drawn as lines; repeatable\n"
    "  --font-list FILE   fonts to train with, one name or file a line; repeatable\n"
    "  --lines N          lines drawn per font (default 200); a tenth are held\n"
    "                     back for early stopping\n"
    "  --isolated N       renderings of each character alone per font (default 2)\n"
    "  --size-range A-B   pixel sizes of the lines (default 10-48)\n"
    "  --bw-variants LIST binarisation thresholds, drawn at random (default\n"
    "                     196,196,196,160,128,220)\n"
    "  --max-pairs N      touching pairs that become patterns, most frequent\n"
    "                     first (default 40); --pair-min is the least count (30)\n"
    "  --max-per-pattern N  training samples kept per pattern (default 4000)\n"
    "  --keep-samples N   samples per pattern stored in the base (default 24)\n"
    "  --min-per-pattern N  a single character with fewer training samples has\n"
    "                     them repeated up to N (default 0: none)\n"
    "  --whole-share R    share of a character's ink a glyph must hold to be a\n"
    "                     sample of it (default 0.8); less is a piece\n"
    "  --pair-renderings N  renderings per font of each pattern pair alone, for\n"
    "                     more touching samples (default 0)\n"
    "  --cut-touching     touching glyphs are also cut apart as the page reader\n"
    "                     cuts them, each part a sample of its character\n"
    "  --keep-identical   samples of different characters with the same input\n"
    "                     keep their names (default: all take the name of the\n"
    "                     likeliest, by the --text and the samples)\n"
    "  --trainer NAME     fast (default) or exact (the network's own Train)\n"
    "  --max-epochs N, --learning-rate R, --patience N, --batch N, --momentum M,\n"
    "  --threads N        fast trainer (defaults 30, 0.1, 4, 64, 0.9, 2)\n"
    "  --shapes LIST      candidate shapes GRID:HIDDEN:OUTPUTS separated by\n"
    "                     blanks, e.g. \"16x16:96:128 20x20:128:128\": each is\n"
    "                     trained --shape-epochs epochs (default 6); the one\n"
    "                     within --shape-margin points (default 1) of the best\n"
    "                     validation accuracy and cheapest to run is trained fully\n"
    "  --time-limit S     stop the fast trainer after the epoch that ends past S\n"
    "                     seconds from the start (default: none)\n"
    "Validation on what training never saw:\n"
    "  --validate-font F  held-out font: glyph accuracy per size and page CER;\n"
    "                     repeatable\n"
    "  --check-font F     trained font whose pages are read too; repeatable\n"
    "  --validate-text F  UTF-8 text of the validation pages; repeatable\n"
    "  --validate-sizes L pixel sizes of the validation (default 12,16,20,24,32)\n"
    "  --evaluate FILE    measure the knowledge base FILE on the same corpus\n"
    "                     split, fonts and texts instead of training one\n";

std::vector<OptionSpec> CorpusOptionSpecs() {
  return {{"text", 0, true, true},           {"font-list", 0, true, true}, {"validate-font", 0, true, true},
          {"validate-text", 0, true, true},  {"check-font", 0, true, true}, {"validate-sizes"},
          {"size-range"},                    {"lines"},                    {"isolated"},
          {"max-pairs"},                     {"max-per-pattern"},          {"keep-samples"},
          {"trainer"},                       {"patience"},                 {"batch"},
          {"threads"},                       {"momentum"},                 {"shapes"},
          {"shape-epochs"},                  {"shape-margin"},             {"time-limit"},
          {"whole-share"},                   {"pair-renderings"},          {"cut-touching", 0, false},
          {"keep-identical", 0, false},      {"min-per-pattern"},          {"evaluate"}};
}

std::u32string FoldCharacter(char32_t c, const std::vector<std::u32string>& groups) {
  for (const auto& g : groups)
    if (g.find(c) != std::u32string::npos) return std::u32string(1, g[0]);
  return std::u32string(1, c);
}

std::vector<size_t> RepresentativeSamples(const SampleSet& set, const std::vector<size_t>& members, size_t count) {
  std::map<int32_t, std::vector<size_t>> byGroup;
  for (size_t m : members) byGroup[set.Group(m)].push_back(m);
  std::vector<size_t> out;
  std::set<std::string> seen;
  const size_t n = size_t(set.Inputs());
  for (size_t round = 0; out.size() < count; ++round) {
    bool any = false;
    for (auto& [group, list] : byGroup) {
      if (round >= list.size() || out.size() >= count) continue;
      any = true;
      const int8_t* x = set.Input(list[round]);
      if (seen.insert(std::string(reinterpret_cast<const char*>(x), n)).second) out.push_back(list[round]);
    }
    if (!any) break;
  }
  return out;
}

std::vector<int32_t> LabelsOfIdenticalInputs(const std::vector<const int8_t*>& inputs, size_t cells,
                                             const std::vector<int32_t>& labels, const std::vector<double>& weights,
                                             double minShare) {
  if (inputs.size() != labels.size()) throw kyt::Error("LabelsOfIdenticalInputs: inputs and labels differ in number");
  for (int32_t l : labels)
    if (l < 0 || size_t(l) >= weights.size()) throw kyt::Error("LabelsOfIdenticalInputs: a label has no weight");
  // Keys of one bit a cell: a 16 x 16 grid is 32 bytes.
  auto key = [cells](const int8_t* x) {
    std::string k((cells + 7) / 8, '\0');
    for (size_t i = 0; i < cells; ++i)
      if (x[i] > 0) k[i / 8] = char(k[i / 8] | (1 << (i % 8)));
    return k;
  };
  // Each distinct input gets an index; counts[i] are its labels' counts.
  std::unordered_map<std::string, size_t> distinct;
  distinct.reserve(inputs.size());
  std::vector<std::map<int32_t, size_t>> counts;
  std::vector<size_t> of(inputs.size());
  for (size_t s = 0; s < inputs.size(); ++s) {
    const auto [it, added] = distinct.emplace(key(inputs[s]), counts.size());
    if (added) counts.emplace_back();
    of[s] = it->second;
    counts[of[s]][labels[s]]++;
  }
  std::vector<int32_t> chosen(counts.size());
  for (size_t i = 0; i < counts.size(); ++i) {
    // The greatest weighted count among the labels that hold at least
    // minShare of the twins; of equals, the earlier pattern (map order).
    size_t all = 0, most = 0;
    for (const auto& [label, n] : counts[i]) all += n, most = std::max(most, n);
    const double least = std::min(double(most), minShare * double(all));
    double best = -1.0;
    for (const auto& [label, n] : counts[i]) {
      const double score = double(n) * weights[size_t(label)];
      if (double(n) >= least && score > best) best = score, chosen[i] = label;
    }
  }
  std::vector<int32_t> out(labels.size());
  for (size_t s = 0; s < inputs.size(); ++s) out[s] = chosen[of[s]];
  return out;
}

namespace {

using Clock = std::chrono::steady_clock;

void Append(std::string& to, std::initializer_list<std::string> parts) {
  for (const std::string& p : parts) to.append(p);
}
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The most frequent (truth, answer) pairs as " truth->answer:count", ending the line.
void PrintConfusions(const std::map<std::pair<std::string, std::string>, int32_t>& confusions, size_t count) {
  for (const auto& [n, pair] : TopConfusions(confusions, count))
    std::fprintf(stderr, " %s->%s:%d", Cp1251ToUtf8(pair.first).c_str(), Cp1251ToUtf8(pair.second).c_str(), n);
  std::fprintf(stderr, "\n");
}

std::string ReadUtf8File(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw kyt::Error("cannot read " + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ReadFontList(const std::string& name) {
  std::vector<std::string> fonts;
  std::istringstream in(ReadUtf8File(name));
  std::string line;
  while (std::getline(in, line)) {
    const size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos || line[a] == '#') continue;
    const size_t b = line.find_last_not_of(" \t\r");
    fonts.push_back(line.substr(a, b - a + 1));
  }
  return fonts;
}

std::string Name(const std::u32string& s) {
  std::string n;
  for (char32_t c : s) n += char(CodePointToCp1251(c));
  return n;
}

struct Shape {
  int32_t gridW = 16, gridH = 16, hidden = 128, outputs = 128;
};

struct Setup {
  std::vector<std::string> fonts;  // files
  std::u32string text, chars;
  std::vector<std::u32string> folds;
  int32_t lines = 200, isolated = 2, noise = 3, maxPairs = 40, pairMin = 30, maxPerPattern = 4000;
  int32_t minPerPattern = 0;  // single characters with fewer samples have theirs repeated up to this
  double wholeShare = 0.8;  // share of a character's ink that makes a glyph a sample of it
  int32_t pairRenderings = 0;  // renderings of each pattern pair alone, per font
  bool cutTouching = false;     // touching glyphs cut apart give samples of their characters too
  bool keepIdentical = false;   // identical inputs keep their own names
  Jitter jitter;
  uint32_t seed = 1;
  int32_t threads = 2;
};

struct RawSample {
  std::string name;
  std::vector<int8_t> input;
  bool validation = false;
  bool pair = false;
  float size = 0.0f;  // pixel size of the line it was cut from
  char32_t shown = 0;  // a single character's own character, before folding
};

struct FontYield {
  std::vector<RawSample> samples;
  size_t lines = 0, glyphs = 0, pieces = 0, cutParts = 0;
  std::string family;
};

FontYield CutFont(const Setup& setup, size_t f, int32_t gridW, int32_t gridH) {
  FontYield y;
  LineRenderer font(setup.fonts[f]);
  y.family = font.FamilyName();
  std::mt19937 rng(setup.seed * 7919u + uint32_t(f));
  auto take = [&](const std::u32string& line, bool validation, bool pairsToo) {
    int32_t bw = 196;
    const LineStyle style = RandomStyle(rng, setup.jitter, bw);
    const LabelledLine picture = font.Render(line, style);
    for (CutGlyph& g : CutLine(picture, bw, setup.noise, gridW, gridH, setup.wholeShare, setup.cutTouching)) {
      if (g.cut) ++y.cutParts;
      else ++y.glyphs;
      RawSample s;
      if (g.chars.size() == 1) {
        s.name = Name(FoldCharacter(line[size_t(g.chars[0])], setup.folds));
        s.shown = line[size_t(g.chars[0])];
      } else if (pairsToo && g.chars.size() == 2 && g.chars[1] == g.chars[0] + 1) {
        s.name = Name(FoldCharacter(line[size_t(g.chars[0])], setup.folds) +
                      FoldCharacter(line[size_t(g.chars[1])], setup.folds));
        s.pair = true;
      } else {
        ++y.pieces;
        continue;
      }
      s.validation = validation;
      s.size = float(style.pixelSize);
      s.input.resize(g.input.size());
      for (size_t k = 0; k < g.input.size(); ++k) s.input[k] = g.input[k] > 0.0f ? 1 : -1;
      y.samples.push_back(std::move(s));
    }
  };
  const auto lines = TrainingLines(setup.text, setup.chars, size_t(setup.lines), 40, setup.seed + uint32_t(f) * 31u);
  for (size_t k = 0; k < lines.size(); ++k) {
    std::u32string line;
    for (char32_t c : lines[k])
      if (c == U' ' || (setup.chars.find(c) != std::u32string::npos && font.HasGlyph(c))) line += c;
    if (CollapseSpaces(line).empty()) continue;
    ++y.lines;
    take(CollapseSpaces(line), k % 10 == 9, true);
  }
  for (int32_t r = 0; r < setup.isolated; ++r)
    for (char32_t c : setup.chars)
      if (font.HasGlyph(c)) take(std::u32string(1, c), false, false);
  return y;
}

// Samples of the touching pairs that became patterns, from the two characters
// drawn alone in random styles: kerning and spacing as in running text, but
// far cheaper than whole lines, so that every pair gets as many samples as
// its characters. Renderings in which the two do not touch give nothing.
std::vector<RawSample> PairSamples(const Setup& setup, size_t f, const std::vector<std::u32string>& pairs,
                                   int32_t gridW, int32_t gridH) {
  std::vector<RawSample> out;
  LineRenderer font(setup.fonts[f]);
  std::mt19937 rng(setup.seed * 104729u + uint32_t(f));
  for (const std::u32string& pair : pairs) {
    if (!font.HasGlyph(pair[0]) || !font.HasGlyph(pair[1])) continue;
    const std::string name = Name(pair);
    for (int32_t r = 0; r < setup.pairRenderings; ++r) {
      int32_t bw = 196;
      const LineStyle style = RandomStyle(rng, setup.jitter, bw);
      for (CutGlyph& g : CutLine(font.Render(pair, style), bw, setup.noise, gridW, gridH, setup.wholeShare)) {
        if (g.chars.size() != 2) continue;
        RawSample s;
        s.name = name;
        s.pair = true;
        s.size = float(style.pixelSize);
        s.input.resize(g.input.size());
        for (size_t k = 0; k < g.input.size(); ++k) s.input[k] = g.input[k] > 0.0f ? 1 : -1;
        out.push_back(std::move(s));
      }
    }
  }
  return out;
}

// Runs work(f) for every font on setup.threads threads, each font once; the
// first failure is thrown again here once all threads have finished.
template <class Work>
void ForEachFont(const Setup& setup, Work work) {
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto run = [&] {
    for (size_t f; (f = next++) < setup.fonts.size();) {
      try {
        work(f);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureLock);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> team;
  for (int32_t t = 1; t < setup.threads; ++t) team.emplace_back(run);
  run();
  for (auto& t : team) t.join();
  if (failure) std::rethrow_exception(failure);
}

struct Corpus {
  std::vector<std::string> names;  // patterns, code page 1251, priority order
  SampleSet train, validation;
  std::vector<float> validationSizes;  // pixel size of each validation sample
  std::vector<std::string> families;
};

Corpus BuildCorpus(const Setup& setup, int32_t gridW, int32_t gridH, bool verbose) {
  const auto started = Clock::now();
  std::vector<FontYield> yields(setup.fonts.size());
  ForEachFont(setup, [&](size_t f) { yields[f] = CutFont(setup, f, gridW, gridH); });

  Corpus corpus;
  std::map<std::string, size_t> pairCount;
  size_t lines = 0, glyphs = 0, pieces = 0, raw = 0, cutParts = 0;
  for (const FontYield& y : yields) {
    lines += y.lines, glyphs += y.glyphs, pieces += y.pieces, raw += y.samples.size(), cutParts += y.cutParts;
    corpus.families.push_back(y.family);
    for (const RawSample& s : y.samples)
      if (s.pair) pairCount[s.name]++;
  }
  // Patterns: the characters in priority order, then the most frequent pairs.
  std::map<std::string, int32_t> index;
  for (char32_t c : setup.chars) {
    const std::string n = Name(FoldCharacter(c, setup.folds));
    if (index.emplace(n, int32_t(corpus.names.size())).second) corpus.names.push_back(n);
  }
  std::vector<std::pair<size_t, std::string>> pairs;
  for (const auto& [n, count] : pairCount)
    if (count >= size_t(setup.pairMin)) pairs.push_back({count, n});
  std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  if (pairs.size() > size_t(setup.maxPairs)) pairs.resize(size_t(setup.maxPairs));
  std::string pairNames;
  for (const auto& [count, n] : pairs) {
    index.emplace(n, int32_t(corpus.names.size()));
    corpus.names.push_back(n);
    Append(pairNames, {" ", Cp1251ToUtf8(n), "(", std::to_string(count), ")"});
  }

  if (setup.pairRenderings > 0 && !pairs.empty()) {
    const auto t = Clock::now();
    std::vector<std::u32string> texts;
    for (const auto& [count, n] : pairs) {
      std::u32string text;
      for (char c : n) text += Cp1251ToCodePoint(uint8_t(c));
      texts.push_back(text);
    }
    std::vector<std::vector<RawSample>> extra(setup.fonts.size());
    ForEachFont(setup, [&](size_t f) { extra[f] = PairSamples(setup, f, texts, gridW, gridH); });
    size_t added = 0;
    for (size_t f = 0; f < extra.size(); ++f) {
      added += extra[f].size();
      for (RawSample& s : extra[f]) yields[f].samples.push_back(std::move(s));
    }
    if (verbose) {
      std::fprintf(stderr, "pairs drawn alone: %zu touching samples from %d renderings per pair and font; %.1f s\n",
                   added, setup.pairRenderings, Since(t));
    }
  }

  // Training samples of single characters whose inputs are identical take
  // one name, the likeliest by the text: for each name, how often its
  // samples give that input, times how often the text holds the character.
  // Else the network learns the split between them of the training lines,
  // where signs are far more frequent than in text, and of the cap on each
  // pattern's samples.
  if (!setup.keepIdentical) {
    std::vector<RawSample*> members;
    std::vector<const int8_t*> inputs;
    std::vector<int32_t> labels;
    std::vector<double> samples(corpus.names.size(), 0.0);
    for (FontYield& y : yields)
      for (RawSample& s : y.samples) {
        auto it = index.find(s.name);
        if (s.validation || s.pair || it == index.end()) continue;
        members.push_back(&s);
        inputs.push_back(s.input.data());
        labels.push_back(it->second);
        samples[size_t(it->second)] += 1.0;
      }
    std::vector<double> inText(corpus.names.size(), 0.0);
    for (char32_t c : setup.text) {
      auto it = index.find(Name(FoldCharacter(c, setup.folds)));
      if (it != index.end()) inText[size_t(it->second)] += 1.0;
    }
    // A character the text lacks counts as half an occurrence. A frequent
    // character does not take an input that only a few of its samples, drawn
    // oddly, share with many of another's.
    constexpr double kIdenticalShare = 0.2;
    std::vector<double> weights(samples.size(), 0.0);
    for (size_t p = 0; p < samples.size(); ++p)
      if (samples[p] > 0.0) weights[p] = (inText[p] + 0.5) / samples[p];
    const std::vector<int32_t> named =
        LabelsOfIdenticalInputs(inputs, size_t(gridW * gridH), labels, weights, kIdenticalShare);
    std::map<std::pair<std::string, std::string>, int32_t> moved;
    size_t renamed = 0;
    for (size_t k = 0; k < members.size(); ++k) {
      if (named[k] == labels[k]) continue;
      ++renamed;
      moved[{members[k]->name, corpus.names[size_t(named[k])]}]++;
      members[k]->name = corpus.names[size_t(named[k])];
    }
    if (verbose) {
      std::fprintf(stderr, "identical inputs named as the likeliest character: %zu of %zu training samples;", renamed,
                   members.size());
      PrintConfusions(moved, 16);
    }
  }

  // Training samples, at most maxPerPattern per pattern, chosen at random.
  std::vector<std::vector<std::pair<size_t, size_t>>> byPattern(corpus.names.size());
  const int32_t inputs = gridW * gridH;
  corpus.train = SampleSet(inputs);
  corpus.validation = SampleSet(inputs);
  for (size_t f = 0; f < yields.size(); ++f)
    for (size_t k = 0; k < yields[f].samples.size(); ++k) {
      const RawSample& s = yields[f].samples[k];
      auto it = index.find(s.name);
      if (it == index.end()) continue;
      if (s.validation) {
        corpus.validation.Add(s.input.data(), it->second, int32_t(f));
        corpus.validationSizes.push_back(s.size);
      } else {
        byPattern[size_t(it->second)].push_back({f, k});
      }
    }
  std::mt19937 rng(setup.seed);
  std::string rare, repeated;
  for (size_t p = 0; p < byPattern.size(); ++p) {
    auto& list = byPattern[p];
    if (list.size() > size_t(setup.maxPerPattern)) {
      std::shuffle(list.begin(), list.end(), rng);
      list.resize(size_t(setup.maxPerPattern));
      std::sort(list.begin(), list.end());
    }
    if (list.size() < 50) Append(rare, {" ", Cp1251ToUtf8(corpus.names[p]), "(", std::to_string(list.size()), ")"});
    // A character that the text seldom holds (digits, signs) would otherwise
    // lose every close call to a frequent look-alike (3 to з, 0 to о).
    if (corpus.names[p].size() == 1 && !list.empty() && list.size() < size_t(setup.minPerPattern)) {
      Append(repeated, {" ", Cp1251ToUtf8(corpus.names[p]), "(", std::to_string(list.size()), ")"});
      for (size_t k = 0; list.size() < size_t(setup.minPerPattern); ++k) list.push_back(list[k]);
    }
  }
  if (verbose && !repeated.empty()) {
    std::fprintf(stderr, "samples repeated up to %d for:%s\n", setup.minPerPattern, repeated.c_str());
  }
  // Patterns that no font drew as a glyph of its own are left out.
  {
    std::vector<int32_t> renumber(corpus.names.size(), -1);
    std::vector<std::string> kept;
    std::vector<std::vector<std::pair<size_t, size_t>>> keptLists;
    std::string dropped;
    for (size_t p = 0; p < corpus.names.size(); ++p) {
      if (byPattern[p].empty()) {
        Append(dropped, {" ", Cp1251ToUtf8(corpus.names[p])});
        continue;
      }
      renumber[p] = int32_t(kept.size());
      kept.push_back(corpus.names[p]);
      keptLists.push_back(std::move(byPattern[p]));
    }
    if (verbose && !dropped.empty()) std::fprintf(stderr, "dropped (never one glyph of its own):%s\n", dropped.c_str());
    SampleSet validation(inputs);
    std::vector<float> sizes;
    for (size_t s = 0; s < corpus.validation.Size(); ++s) {
      const int32_t p = renumber[size_t(corpus.validation.Label(s))];
      if (p < 0) continue;
      validation.Add(corpus.validation.Input(s), p, corpus.validation.Group(s));
      sizes.push_back(corpus.validationSizes[s]);
    }
    corpus.validation = std::move(validation);
    corpus.validationSizes = std::move(sizes);
    corpus.names = std::move(kept);
    byPattern = std::move(keptLists);
  }
  // Interleaved by pattern, so that neighbouring samples differ.
  for (size_t round = 0;; ++round) {
    bool any = false;
    for (size_t p = 0; p < byPattern.size(); ++p) {
      if (round >= byPattern[p].size()) continue;
      any = true;
      const auto [f, k] = byPattern[p][round];
      corpus.train.Add(yields[f].samples[k].input.data(), int32_t(p), int32_t(f));
    }
    if (!any) break;
  }
  if (verbose) {
    std::fprintf(stderr,
                 "corpus %dx%d: %zu fonts, %zu lines, %zu glyphs (%zu pieces or groups left out), %zu labelled; "
                 "%zu training and %zu validation samples; %.1f s\n",
                 gridW, gridH, setup.fonts.size(), lines, glyphs, pieces, raw, corpus.train.Size(),
                 corpus.validation.Size(), Since(started));
    if (setup.cutTouching) std::fprintf(stderr, "characters cut out of touching glyphs: %zu\n", cutParts);
    std::fprintf(stderr, "touching pairs as patterns:%s\n", pairNames.empty() ? " none" : pairNames.c_str());
    if (!rare.empty()) std::fprintf(stderr, "patterns with few samples:%s\n", rare.c_str());
    // How often each member of a folded group stands in the validation split:
    // what the fold's choice of the group's name rests on.
    std::map<char32_t, size_t> members;
    for (const auto& g : setup.folds)
      for (char32_t c : g) members[c] = 0;
    for (const FontYield& y : yields)
      for (const RawSample& s : y.samples)
        if (s.validation && s.shown != 0 && members.count(s.shown)) members[s.shown]++;
    std::string list;
    for (const auto& g : setup.folds) {
      list += " (";
      for (size_t k = 0; k < g.size(); ++k)
        Append(list, {k ? " " : "", CodePointToUtf8(g[k]), ":", std::to_string(members[g[k]])});
      list += ")";
    }
    if (!list.empty()) std::fprintf(stderr, "folded groups in the validation split (samples of each member):%s\n", list.c_str());
  }
  return corpus;
}

std::vector<std::vector<float>> PlainTargets(const std::vector<kyt::TLayer>& targets) {
  std::vector<std::vector<float>> out;
  for (const auto& t : targets) out.emplace_back(t.begin() + 1, t.end());
  return out;
}

Shape ParseShape(const std::string& text) {
  Shape s;
  const size_t a = text.find(':'), b = text.find(':', a == std::string::npos ? a : a + 1);
  if (a == std::string::npos || b == std::string::npos) {
    throw UsageError("--shapes: '" + text + "' is not GRID:HIDDEN:OUTPUTS");
  }
  std::tie(s.gridW, s.gridH) = ParseGrid(text.substr(0, a), "--shapes");
  s.hidden = ParseInt(text.substr(a + 1, b - a - 1), "--shapes hidden units", 1, 4096);
  s.outputs = ParseInt(text.substr(b + 1), "--shapes outputs", 2, 65536);
  return s;
}

// Microseconds of one exact forward pass and decision, measured on samples.
double ExactMicroseconds(kyt::TBackProp& net, const SampleSet& set, size_t count) {
  count = std::min(count, set.Size());
  if (count == 0) return 0.0;
  std::vector<float> input(size_t(set.Inputs()));
  const auto t = Clock::now();
  for (size_t s = 0; s < count; ++s) {
    for (int32_t k = 0; k < set.Inputs(); ++k) input[size_t(k)] = set.Input(s)[k];
    RecogniseInput(net, input.data());
  }
  return Since(t) * 1e6 / double(count);
}

std::unique_ptr<kyt::TBackProp> MakeNetwork(const Shape& shape, const FloatNetwork& weights) {
  const auto [rows, cols] = OutputShape(shape.outputs);
  auto net = std::make_unique<kyt::TBackProp>(shape.gridH, shape.gridW, rows, cols, shape.hidden);
  weights.CopyTo(*net);
  return net;
}

// Glyph accuracy on lines of `text` drawn plainly with one font and size.
struct GlyphScore {
  size_t right = 0, total = 0, pairs = 0, pieces = 0;
};

GlyphScore ScoreFont(kyt::TBackProp& net, const std::string& fontFile, int32_t size, const std::u32string& text,
                     const std::vector<std::u32string>& folds, int32_t noise,
                     std::map<std::pair<std::string, std::string>, int32_t>& confusions) {
  GlyphScore score;
  LineRenderer font(fontFile);
  LineStyle style;
  style.pixelSize = size;
  std::u32string line;
  for (char32_t c : text + U"\n") {
    if (c != U'\n') {
      line += c;
      continue;
    }
    const std::u32string shown = CollapseSpaces(line);
    line.clear();
    if (shown.empty()) continue;
    for (const CutGlyph& g : CutLine(font.Render(shown, style), 196, noise, net.InputCols, net.InputRows)) {
      if (g.chars.size() != 1) {
        (g.chars.size() > 1 ? score.pairs : score.pieces)++;
        continue;
      }
      const std::string truth = Name(FoldCharacter(shown[size_t(g.chars[0])], folds));
      const std::string answer = RecogniseInput(net, g.input.data());
      ++score.total;
      if (answer == truth) {
        ++score.right;
      } else {
        confusions[{truth, answer}]++;
      }
    }
  }
  return score;
}

}  // namespace

int RunTrainCorpus(const Options& options) {
  const auto started = Clock::now();
  const auto outName = options.Value("output");
  const auto evaluated = options.Value("evaluate");
  if (!outName && !evaluated) throw UsageError("no output file given (-o FILE.dcr)");
  Setup setup;
  for (const auto& f : options.Values("font")) setup.fonts.push_back(FindFontFile(f));
  for (const auto& list : options.Values("font-list"))
    for (const auto& f : ReadFontList(list)) setup.fonts.push_back(FindFontFile(f));
  if (setup.fonts.empty()) throw UsageError("no fonts given (--font or --font-list)");
  for (const auto& t : options.Values("text")) setup.text += Utf8ToCodePoints(ReadUtf8File(t)) + U"\n";
  if (options.Has("charset") && options.Has("chars")) throw UsageError("give --charset or --chars, not both");
  const std::string charsUtf8 = options.Value("chars") ? *options.Value("chars")
                                                       : NamedCharset(options.Value("charset", "latin"));
  for (char32_t c : Utf8ToCodePoints(charsUtf8)) {
    if (c == U' ' || c == U'\t' || c == U'\n' || c == U'\r') continue;
    if (CodePointToCp1251(c) < 0) throw UsageError("code page 1251 has no character " + DescribeCodePoint(c));
    if (setup.chars.find(c) == std::u32string::npos) setup.chars += c;
  }
  std::string foldText = options.Value("alike", options.Has("chars") ? std::string("none")
                                                                     : NamedAlikeGroups(options.Value("charset", "latin")));
  if (foldText != "none") {
    std::u32string group;
    for (char32_t c : Utf8ToCodePoints(foldText + " ")) {
      if (c != U' ') {
        if (CodePointToCp1251(c) < 0) throw UsageError("--alike: code page 1251 has no character " + DescribeCodePoint(c));
        group += c;
      } else if (!group.empty()) {
        if (group.size() > 1) setup.folds.push_back(group);
        group.clear();
      }
    }
  }
  setup.lines = options.Int("lines", 200, 0, 1 << 20);
  setup.isolated = options.Int("isolated", 2, 0, 1000);
  setup.noise = options.Int("noise", 3, 0, 1 << 20);
  setup.maxPairs = options.Int("max-pairs", 40, 0, 10000);
  setup.pairMin = options.Int("pair-min", 30, 1, 1 << 30);
  setup.maxPerPattern = options.Int("max-per-pattern", 4000, 1, 1 << 30);
  setup.minPerPattern = options.Int("min-per-pattern", 0, 0, 1 << 30);
  setup.threads = options.Int("threads", 2, 1, 64);
  setup.wholeShare = options.Real("whole-share", 0.8, 0.5, 1.0);
  setup.pairRenderings = options.Int("pair-renderings", 0, 0, 100000);
  setup.cutTouching = options.Has("cut-touching");
  setup.keepIdentical = options.Has("keep-identical");
  setup.seed = uint32_t(options.Int("seed", 1, 0, 2147483647));
  if (auto r = options.Value("size-range")) {
    const size_t dash = r->find('-');
    if (dash == std::string::npos) throw UsageError("--size-range: '" + *r + "' is not A-B");
    setup.jitter.minSize = ParseInt(r->substr(0, dash), "--size-range", 4, 512);
    setup.jitter.maxSize = ParseInt(r->substr(dash + 1), "--size-range", int32_t(setup.jitter.minSize), 512);
  }
  if (auto t = options.Value("bw-variants")) setup.jitter.thresholds = ParseIntList(*t, "--bw-variants", 1, 256);
  const std::string trainer = options.Value("trainer", "fast");
  if (trainer != "fast" && trainer != "exact") throw UsageError("--trainer: '" + trainer + "' is not fast or exact");
  FastTrainOptions fast;
  fast.maxEpochs = options.Int("max-epochs", 30, 1, 100000000);
  fast.learningRate = options.Real("learning-rate", 0.1, 1e-9, 100.0);
  fast.patience = options.Int("patience", 4, 0, 1 << 20);
  fast.batch = options.Int("batch", 64, 1, 1 << 20);
  fast.momentum = options.Real("momentum", 0.9, 0.0, 0.999);
  fast.threads = setup.threads;
  fast.seed = setup.seed;
  const size_t keep = size_t(options.Int("keep-samples", 24, 1, 1 << 20));
  Shape shape;
  std::tie(shape.gridW, shape.gridH) = ParseGrid(options.Value("grid", "16x16"), "--grid");
  shape.hidden = options.Int("hidden", 128, 1, 4096);
  shape.outputs = options.Int("outputs", 128, 2, 65536);
  std::unique_ptr<kyt::TBackProp> net;
  if (evaluated) {
    if (options.Has("shapes")) throw UsageError("give --evaluate or --shapes, not both");
    net = std::make_unique<kyt::TBackProp>(16, 16, 1, 1, 1);
    net->LoadFromFile(*evaluated);
    shape.gridW = net->InputCols, shape.gridH = net->InputRows;
    shape.hidden = net->HiddenCount, shape.outputs = net->OutputCount;
  }
  std::vector<std::string> validateFonts, checkFonts;
  for (const auto& f : options.Values("validate-font")) validateFonts.push_back(FindFontFile(f));
  for (const auto& f : options.Values("check-font")) checkFonts.push_back(FindFontFile(f));
  std::u32string validateText;
  for (const auto& t : options.Values("validate-text")) validateText += Utf8ToCodePoints(ReadUtf8File(t)) + U"\n";
  const auto validateSizes = ParseIntList(options.Value("validate-sizes", "12,16,20,24,32"), "--validate-sizes", 4, 512);
  const bool quiet = options.Has("quiet");
  if (setup.text.empty()) throw UsageError("--text: the training text is empty");
  for (const std::string& held : validateFonts)
    for (const std::string& trained : setup.fonts)
      if (std::filesystem::equivalent(held, trained)) throw UsageError("held-out font " + held + " is also trained");

  std::string foldNote;
  for (const auto& g : setup.folds) {
    std::string list;
    for (size_t k = 1; k < g.size(); ++k) list += CodePointToUtf8(g[k]);
    Append(foldNote, {" ", list, "->", CodePointToUtf8(g[0])});
  }
  std::fprintf(stderr, "characters (%zu): %s\nfolded (read as the first, the more frequent):%s\n", setup.chars.size(),
               [&] {
                 std::string s;
                 for (char32_t c : setup.chars) s += CodePointToUtf8(c);
                 return s;
               }()
                   .c_str(),
               foldNote.c_str());
  std::string fontNames;
  for (const auto& f : setup.fonts) Append(fontNames, {" ", std::filesystem::path(f).stem().string()});
  std::fprintf(stderr, "training fonts (%zu):%s\n", setup.fonts.size(), fontNames.c_str());

  // Shape selection by validation accuracy, with the forward cost of each.
  std::map<std::pair<int32_t, int32_t>, Corpus> corpora;
  auto corpusFor = [&](int32_t w, int32_t h) -> Corpus& {
    auto it = corpora.find({w, h});
    if (it == corpora.end()) it = corpora.emplace(std::make_pair(w, h), BuildCorpus(setup, w, h, true)).first;
    return it->second;
  };
  if (auto list = options.Value("shapes")) {
    std::vector<Shape> shapes;
    std::istringstream in(*list);
    for (std::string word; in >> word;) shapes.push_back(ParseShape(word));
    if (shapes.empty()) throw UsageError("--shapes: no shapes given");
    FastTrainOptions trial = fast;
    trial.maxEpochs = options.Int("shape-epochs", 6, 1, 1000);
    trial.patience = 0;
    const double margin = options.Real("shape-margin", 1.0, 0.0, 100.0) / 100.0;
    std::fprintf(stderr, "shape      hidden outputs  multiply-adds  exact us/glyph  validation %%  train s\n");
    std::vector<std::pair<double, int64_t>> scores;
    for (const Shape& s : shapes) {
      Corpus& c = corpusFor(s.gridW, s.gridH);
      if (size_t(s.outputs) < 16 || int32_t(c.names.size()) > 2 * (s.outputs - 1)) {
        throw UsageError("--shapes: " + std::to_string(s.outputs) + " outputs are too few or not a power of two");
      }
      const auto targets = PlainTargets(CodeTargets(int32_t(c.names.size()), s.outputs));
      const auto t = Clock::now();
      trial.hidden = s.hidden;
      FastTrainResult r = TrainFast(c.train, c.validation, targets, trial);
      auto net = MakeNetwork(s, r.network);
      for (size_t p = 0; p < c.names.size(); ++p) {
        kyt::TTrainingPairs pair;
        pair.Target = CodeTargets(int32_t(c.names.size()), s.outputs)[p];
        pair.Name = c.names[p];
        net->AddTrainingPairs(pair);
      }
      const int64_t cost = int64_t(s.gridW * s.gridH + 1) * s.hidden + int64_t(s.hidden + 1) * s.outputs;
      std::fprintf(stderr, "%3dx%-3d %9d %7d %14lld %15.1f %13.2f %8.0f\n", s.gridW, s.gridH, s.hidden, s.outputs,
                   (long long)cost, ExactMicroseconds(*net, c.validation, 2000), 100.0 * r.bestValidationAccuracy,
                   Since(t));
      scores.push_back({r.bestValidationAccuracy, cost});
    }
    // The cheapest shape whose accuracy is within the margin of the best.
    double best = 0.0;
    for (const auto& [accuracy, cost] : scores) best = std::max(best, accuracy);
    size_t chosen = 0;
    for (size_t k = 0; k < scores.size(); ++k) {
      if (scores[k].first + margin < best) continue;
      if (scores[chosen].first + margin < best || scores[k].second < scores[chosen].second) chosen = k;
    }
    shape = shapes[chosen];
    std::fprintf(stderr, "the cheapest shape within %.2f points of the best validation accuracy (%.2f%%):\n",
                 100.0 * margin, 100.0 * best);
    std::fprintf(stderr, "chosen shape: %dx%d, %d hidden, %d outputs\n", shape.gridW, shape.gridH, shape.hidden,
                 shape.outputs);
  }

  Corpus& corpus = corpusFor(shape.gridW, shape.gridH);
  const int32_t patterns = int32_t(corpus.names.size());
  if (patterns > 2 * (shape.outputs - 1)) {
    throw UsageError(std::to_string(patterns) + " patterns need more than " + std::to_string(shape.outputs) + " outputs");
  }
  const auto layerTargets = CodeTargets(patterns, shape.outputs);
  const auto targets = PlainTargets(layerTargets);
  std::vector<std::vector<size_t>> members(static_cast<size_t>(patterns));
  for (size_t s = 0; s < corpus.train.Size(); ++s) members[size_t(corpus.train.Label(s))].push_back(s);
  std::string empty;
  for (int32_t p = 0; p < patterns; ++p)
    if (members[size_t(p)].empty()) Append(empty, {" ", Cp1251ToUtf8(corpus.names[size_t(p)])});
  if (!empty.empty()) std::fprintf(stderr, "patterns without samples (they keep their code):%s\n", empty.c_str());

  std::fprintf(stderr, "network: grid %dx%d, %d hidden, %d outputs, %d patterns; %s\n", shape.gridW,
               shape.gridH, shape.hidden, shape.outputs, patterns,
               evaluated ? ("read from " + *evaluated).c_str() : (trainer + " trainer").c_str());
  const auto trainStart = Clock::now();
  double samplesPerSecond = 0.0;
  int32_t epochs = 0;
  // A base given with --evaluate is measured as it is; else one is trained.
  if (!evaluated && trainer == "fast") {
    fast.hidden = shape.hidden;
    const double limit = options.Real("time-limit", 0.0, 0.0, 1e9);
    FastTrainResult r = TrainFast(corpus.train, corpus.validation, targets, fast, [&](const EpochReport& e) {
      if (!quiet) {
        std::fprintf(stderr,
                     "epoch %d  mean squared error %.5f  wrong outputs %lld  validation %.2f%%  rate %.4f  "
                     "%.0f samples/s  %.0f s\n",
                     e.epoch, e.meanSquaredError, (long long)e.wrongOutputs, 100.0 * e.validationAccuracy,
                     e.learningRate, e.samplesPerSecond, e.seconds);
      }
      if (limit > 0.0 && Since(started) > limit) {
        std::fprintf(stderr, "time limit of %.0f s reached; stopping after epoch %d\n", limit, e.epoch);
        return false;
      }
      return true;
    });
    std::fprintf(stderr, "best validation epoch %d of %d: %.2f%%; %.0f samples/s over the run (%d threads)\n",
                 r.bestEpoch, r.epochsRun, 100.0 * r.bestValidationAccuracy, r.samplesPerSecond, fast.threads);
    net = MakeNetwork(shape, r.network);
    net->SetLearningRate(float(fast.learningRate));
    net->SetMaxEpochs(fast.maxEpochs);
    epochs = r.bestEpoch;
    samplesPerSecond = r.samplesPerSecond;
  } else if (!evaluated) {
    const auto [rows, cols] = OutputShape(shape.outputs);
    net = std::make_unique<kyt::TBackProp>(shape.gridH, shape.gridW, rows, cols, shape.hidden);
    net->SetRandomSeed(uint64_t(setup.seed));
    net->SetWeightRange(0.1f);
    net->SetLearningRate(float(options.Real("learning-rate", 0.02, 1e-9, 100.0)));
    net->SetMaxEpochs(fast.maxEpochs);
    for (int32_t p = 0; p < patterns; ++p) {
      kyt::TTrainingPairs pair;
      for (size_t s : members[size_t(p)]) {
        kyt::TLayer x(size_t(corpus.train.Inputs()) + 1, 0.0f);
        for (int32_t k = 0; k < corpus.train.Inputs(); ++k) x[size_t(k) + 1] = corpus.train.Input(s)[k];
        pair.Samples.push_back(std::move(x));
      }
      pair.Target = layerTargets[size_t(p)];
      pair.Name = corpus.names[size_t(p)];
      net->AddTrainingPairs(pair);
    }
    net->OnEpoch = [&](kyt::TBackProp& n) {
      if (!quiet) {
        std::fprintf(stderr, "epoch %d  mean squared error %.5f  wrong outputs %d  %.0f s\n", n.Epoch,
                     double(n.ErrorSum) / std::max(1, n.TargetValueCount), n.ErrorCount, Since(trainStart));
      }
    };
    net->Retrain();
    epochs = net->Epoch;
    samplesPerSecond = double(corpus.train.Size()) * epochs / std::max(1e-9, Since(trainStart));
    std::fprintf(stderr, "exact Train: %d epochs, %.0f samples/s\n", epochs, samplesPerSecond);
    net->ClearTrainingSet();
  }
  const double trainingSeconds = Since(trainStart);

  // The stored training set: a representative subset of each pattern.
  for (int32_t p = 0; p < patterns && !evaluated; ++p) {
    kyt::TTrainingPairs pair;
    for (size_t s : RepresentativeSamples(corpus.train, members[size_t(p)], keep)) {
      kyt::TLayer x(size_t(corpus.train.Inputs()) + 1, 0.0f);
      for (int32_t k = 0; k < corpus.train.Inputs(); ++k) x[size_t(k) + 1] = corpus.train.Input(s)[k];
      pair.Samples.push_back(std::move(x));
    }
    pair.Target = layerTargets[size_t(p)];
    pair.Name = corpus.names[size_t(p)];
    net->AddTrainingPairs(pair);
  }
  // Statistics of the stored set, as an epoch over it would count them.
  if (!evaluated) {
    double sum = 0.0;
    int32_t wrong = 0;
    for (const auto& p : net->TrainingSet)
      for (const auto& s : p.Samples) {
        std::copy(s.begin() + 1, s.end(), net->InputLayer.begin() + 1);
        net->Propagate();
        for (int32_t o = 1; o <= net->OutputCount; ++o) {
          const float d = p.Target[size_t(o)] - net->OutputLayer[size_t(o)];
          sum += double(d) * d;
          wrong += std::fabs(d) >= net->Tolerance ? 1 : 0;
        }
      }
    net->ErrorSum = float(sum);
    net->ErrorCount = wrong;
    net->Epoch = epochs;
  }

  // Validation with the exact forward pass.
  {
    size_t right = 0, agree = 0;
    std::vector<float> input(size_t(corpus.validation.Inputs()));
    std::vector<float> hidden(size_t(shape.hidden)), out(size_t(shape.outputs));
    FloatNetwork weights;
    weights.inputs = corpus.validation.Inputs();
    weights.hidden = shape.hidden;
    weights.outputs = shape.outputs;
    weights.w1t.resize(size_t(weights.inputs + 1) * size_t(shape.hidden));
    weights.w2t.resize(size_t(shape.hidden + 1) * size_t(shape.outputs));
    for (int32_t h = 1; h <= shape.hidden; ++h)
      for (int32_t i = 0; i <= weights.inputs; ++i)
        weights.w1t[size_t(i) * size_t(shape.hidden) + size_t(h - 1)] = net->HiddenWeights[size_t(h)][size_t(i)];
    for (int32_t o = 1; o <= shape.outputs; ++o)
      for (int32_t h = 0; h <= shape.hidden; ++h)
        weights.w2t[size_t(h) * size_t(shape.outputs) + size_t(o - 1)] = net->OutputWeights[size_t(o)][size_t(h)];
    const size_t n = corpus.validation.Size();
    // The codes the float pass decides between: an evaluated base's own,
    // which need not be this corpus's patterns.
    std::vector<std::vector<float>> floatTargets = targets;
    std::vector<std::string> floatNames = corpus.names;
    if (evaluated) {
      floatTargets.clear(), floatNames.clear();
      for (const auto& p : net->TrainingSet) {
        floatTargets.emplace_back(p.Target.begin() + 1, p.Target.end());
        floatNames.push_back(p.Name);
      }
    }
    // Where the split's errors are: by size of the line, by kind (one
    // character or a touching pair), and the commonest confusions.
    const std::vector<double> bands = {10, 12, 14, 16, 20, 24, 32, 49};
    std::vector<size_t> bandRight(bands.size(), 0), bandTotal(bands.size(), 0);
    size_t pairRight = 0, pairTotal = 0;
    std::map<std::pair<std::string, std::string>, int32_t> confusions;
    for (size_t s = 0; s < n; ++s) {
      for (int32_t k = 0; k < corpus.validation.Inputs(); ++k) input[size_t(k)] = corpus.validation.Input(s)[k];
      const std::string answer = RecogniseInput(*net, input.data());
      const std::string& truth = corpus.names[size_t(corpus.validation.Label(s))];
      const bool ok = answer == truth;
      right += ok ? 1 : 0;
      size_t band = 0;
      while (band + 1 < bands.size() && corpus.validationSizes[s] >= bands[band + 1]) ++band;
      bandTotal[band]++, bandRight[band] += ok ? 1 : 0;
      if (truth.size() > 1) pairTotal++, pairRight += ok ? 1 : 0;
      if (!ok) confusions[{truth, answer}]++;
      weights.Forward(corpus.validation.Input(s), hidden.data(), out.data());
      const int32_t decided = FloatNetwork::Decide(out.data(), floatTargets);
      agree += decided >= 0 && floatNames[size_t(decided)] == answer ? 1 : 0;
    }
    std::fprintf(stderr,
                 "validation split (trained fonts, jittered lines held back): %zu of %zu right (%.2f%%) with the "
                 "exact forward pass; the float pass agrees on %.2f%%\n",
                 right, n, n ? 100.0 * double(right) / double(n) : 0.0, n ? 100.0 * double(agree) / double(n) : 0.0);
    std::fprintf(stderr, "  by line size:");
    for (size_t b = 0; b + 1 < bands.size(); ++b)
      std::fprintf(stderr, " %g-%gpx %.2f%% (%zu)", bands[b], bands[b + 1] - 1,
                   bandTotal[b] ? 100.0 * double(bandRight[b]) / double(bandTotal[b]) : 0.0, bandTotal[b]);
    std::fprintf(stderr, "\n  touching pairs: %.2f%% of %zu; single characters: %.2f%% of %zu\n",
                 pairTotal ? 100.0 * double(pairRight) / double(pairTotal) : 0.0, pairTotal,
                 n > pairTotal ? 100.0 * double(right - pairRight) / double(n - pairTotal) : 0.0, n - pairTotal);
    std::fprintf(stderr, "  top confusions of the split (truth -> answer: count):");
    PrintConfusions(confusions, 40);
  }

  if (!validateText.empty() && !validateFonts.empty()) {
    std::map<std::pair<std::string, std::string>, int32_t> confusions;
    std::fprintf(stderr, "glyph accuracy on held-out fonts (validation text, look-alikes as one), %%:\n  %-28s",
                 "font");
    for (int32_t size : validateSizes) std::fprintf(stderr, " %6d px", size);
    std::fprintf(stderr, "\n");
    std::vector<GlyphScore> all(validateSizes.size());
    for (const std::string& f : validateFonts) {
      std::fprintf(stderr, "  %-28s", std::filesystem::path(f).stem().string().c_str());
      for (size_t k = 0; k < validateSizes.size(); ++k) {
        const GlyphScore g = ScoreFont(*net, f, validateSizes[k], validateText, setup.folds, setup.noise, confusions);
        all[k].right += g.right, all[k].total += g.total, all[k].pairs += g.pairs, all[k].pieces += g.pieces;
        std::fprintf(stderr, " %9.2f", g.total ? 100.0 * double(g.right) / double(g.total) : 0.0);
      }
      std::fprintf(stderr, "\n");
    }
    std::fprintf(stderr, "  %-28s", "all held-out");
    for (const GlyphScore& g : all) std::fprintf(stderr, " %9.2f", g.total ? 100.0 * double(g.right) / double(g.total) : 0.0);
    std::fprintf(stderr, "\n  %-28s", "(touching groups, pieces)");
    for (const GlyphScore& g : all) std::fprintf(stderr, " %4zu,%-4zu", g.pairs, g.pieces);
    std::fprintf(stderr, "\ntop confusions on held-out fonts (truth -> answer: count):");
    PrintConfusions(confusions, 20);
  }
  if (!validateText.empty() && (!validateFonts.empty() || !checkFonts.empty())) {
    std::fprintf(stderr, "page CER on the validation pages (--space auto --noise 3), %%:\n  %-28s", "font");
    for (int32_t size : validateSizes) std::fprintf(stderr, " %6d px", size);
    std::fprintf(stderr, "\n");
    std::vector<std::u32string> lines;
    std::u32string line;
    for (char32_t c : validateText + U"\n") {
      if (c == U'\n') {
        if (!CollapseSpaces(line).empty()) lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    std::u32string truth;
    for (const auto& l : lines) truth += l + U" ";
    auto pages = [&](const std::vector<std::string>& fonts, const char* kind) {
      for (const std::string& f : fonts) {
        std::fprintf(stderr, "  %-28s", (std::filesystem::path(f).stem().string() + " " + kind).c_str());
        Font font(f);
        for (int32_t size : validateSizes) {
          font.SetPixelSize(size);
          const kyt::Bitmap page = font.RenderPage(lines, PageStyle{});
          const std::string got = ReadPage(*net, page, 196, 3);
          std::fprintf(stderr, " %9.2f", CharacterErrorRate(Utf8ToCodePoints(got), truth));
        }
        std::fprintf(stderr, "\n");
      }
    };
    pages(validateFonts, "(held out)");
    pages(checkFonts, "(trained)");
  }

  if (evaluated) return 0;
  net->SaveToFile(*outName);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(*outName, ec);
  std::fprintf(stderr, "wrote %s: %llu bytes, %zu stored samples; training %.0f s at %.0f samples/s, all %.0f s\n",
               outName->c_str(), ec ? 0ULL : (unsigned long long)bytes,
               size_t(net->TargetValueCount / std::max(1, net->OutputCount)), trainingSeconds, samplesPerSecond,
               Since(started));
  return 0;
}

}  // namespace kytdcr

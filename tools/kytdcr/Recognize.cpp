// kytdcr recognize: the text of pictures. By default the page reader reads
// them with parameters found from each picture; --plugin gives the plug-in's
// recognise action's text instead, byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include "Commands.h"
#include "InkInput.h"
#include "KnowledgeBase.h"
#include "LanguageModels.h"
#include "Options.h"
#include "PageOutput.h"
#include "PictureInput.h"
#include "Segmentation.h"
#include "Text.h"
#include "core/Error.h"
#include "reader/Reader.h"
#include "reader/Stages.h"
#include "recognition/DCRFra.h"
#include "recognition/RecognitionParams.h"

namespace kytdcr {
namespace {

// The worth of one nat of the language model's log-probability, in x-heights
// of a glyph's worth (chosen on the tuning pages of data/tune).
constexpr double kLanguageWeight = 0.04;
// The price of reading a gap a whole space width off the space width the
// other way (a blank or none), in x-heights, where the model weighs it.
constexpr double kGapPrice = 1.0;

const char* const kHelp =
    "Usage: kytdcr recognize [OPTIONS] PICTURE...\n"
    "\n"
    "Prints the text of each picture as UTF-8: one line of text for each line\n"
    "of the picture, words separated by one space. The black/white threshold,\n"
    "light text on dark, the noise size and the space width are found from the\n"
    "picture unless given. Case and punctuation are decided from the line,\n"
    "touching glyphs are cut and broken ones joined where the network reads\n"
    "them better, touching lines are split and ruled frames set aside. Where\n"
    "the network leaves a glyph's name, a cut or a word gap open, a character\n"
    "language model of the knowledge base's language settles it (numbers are\n"
    "left numbers).\n"
    "\n"
    "With --plugin the text is the plug-in's recognise action's, unchanged:\n"
    "every word followed by one space, a full stop that ends a line by CR LF\n"
    "before that space; one line feed ends each picture's text. Its parameters\n"
    "default to the plug-in's (196, 10, 22).\n"
    "\n"
    "Options:\n"
    "  --kb FILE         knowledge base: a .dcr file or the name of a bundled one\n"
    "                    (latin, russian); default $KYTDCR_KB, else latin\n"
    "  --bw N|auto       ink where the luminance (0-255) is below N; auto: from the\n"
    "                    picture's histogram, 196 on plain black on white;\n"
    "                    following the paper where it is shaded unevenly\n"
    "  --invert yes|no|auto  light text on a dark background (auto: what stands\n"
    "                    out from its neighbourhood is the text)\n"
    "  --noise N|auto    glyphs of fewer than N pixels are ignored; auto: from the\n"
    "                    stroke width and the line height\n"
    "  --space N|auto    empty columns that end a word; auto: between the letter\n"
    "                    gaps and the word gaps of the picture\n"
    "  --language-model M  auto (default), none or a model FILE: where the network\n"
    "                    finds readings of a glyph, or cuts of touching glyphs,\n"
    "                    about as good, the more likely text wins; auto: the\n"
    "                    bundled model of the knowledge base's letters (latin.lm,\n"
    "                    russian.lm beside the bundled bases); none: the network\n"
    "                    and the line's shape alone\n"
    "  --language-weight W  how much the model counts: the worth of one nat of\n"
    "                    its log-probability in x-heights (default %WEIGHT%)\n"
    "  --plugin          the plug-in's recognition and text\n"
    "  --format F        text (default), tsv or json: tsv and json give every line,\n"
    "                    word and glyph with its box (left, top, width, height),\n"
    "                    its text and its score (-1..1, the network's agreement)\n"
    "  -o FILE           write to FILE instead of standard output\n"
    "  -v, --verbose     report parameters and times on standard error\n"
    "  --explain         with --plugin: show every glyph on standard error, its\n"
    "                    grid as the network sees it and the three best patterns\n"
    "  -h, --help        show this help\n"
    "\n"
    "PICTURE '-' reads standard input. A picture that cannot be read is reported\n"
    "on standard error and the others are still read; the exit status is then 1.\n"
    "Pictures: bmp, jpg, png, tif, pnm, ico and the other formats of the plug-in.\n";

// Segments again with the frame's parameters and describes every glyph.
void Explain(const kyt::Bitmap& picture, const SegmentParams& params, kyt::TBackProp& network) {
  kyt::TDCRFrame frame;
  SegmentPicture(frame, picture, params);
  for (const FoundGlyph& g : RecognisableGlyphs(frame, network.InputCols, network.InputRows)) {
    std::copy(g.input.begin() + 1, g.input.end(), network.InputLayer.begin() + 1);
    network.Propagate();
    std::vector<std::string> names, scores, counts;
    network.RankPatterns(names, scores, counts);
    std::fprintf(stderr, "line %zu word %zu glyph %zu at (%d,%d) %dx%d:", g.line + 1, g.word + 1, g.index + 1,
                 g.box.Left, g.box.Top, g.box.Width(), g.box.Height());
    for (size_t i = 0; i < names.size() && i < 3; ++i)
      std::fprintf(stderr, "  %s %s", Cp1251ToUtf8(names[i]).c_str(), scores[i].c_str());
    std::fputc('\n', stderr);
    for (int32_t y = 0; y < network.InputRows; ++y) {
      std::string row = "  ";
      for (int32_t x = 0; x < network.InputCols; ++x)
        row += g.input[size_t(1 + y * network.InputCols + x)] > 0.0f ? '#' : '.';
      std::fprintf(stderr, "%s\n", row.c_str());
    }
  }
}

// A number option that may also be "auto"; empty for auto.
std::optional<int32_t> NumberOrAuto(const Options& options, const std::string& name, const std::string& fallback) {
  const std::string v = options.Value(name, fallback);
  if (v == "auto") return std::nullopt;
  return ParseInt(v, "--" + name, INT32_MIN, INT32_MAX);
}

std::optional<bool> InvertOption(const Options& options) {
  const std::string v = options.Value("invert", "auto");
  if (v == "auto") return std::nullopt;
  if (v == "yes") return true;
  if (v == "no") return false;
  throw UsageError("--invert: '" + v + "' is not yes, no or auto");
}

// The plug-in's recognition with parameters that may be found from the picture.
reader::Page ReadAsPlugin(const kyt::Bitmap& picture, kyt::TBackProp& network, const reader::Settings& s,
                          std::string& text, bool explain, bool glyphs) {
  const int32_t bw = s.bw ? *s.bw : reader::ChooseInk(reader::LuminanceHistogram(picture), std::nullopt, false).bw;
  int32_t noise = 10;
  if (s.noise) {
    noise = *s.noise;
  } else {
    noise = reader::AutoNoise(reader::MakeInkPage(picture, reader::InkChoice{bw, false}));
  }
  int32_t space = 22;
  if (s.space) {
    space = *s.space;
  } else {
    kyt::TDCRFrame frame;
    frame.AssignPicture(picture);
    frame.BWThreshold = bw;
    frame.Binarize();
    frame.FindLines();
    space = EstimateSpaceWidth(frame.ImageArray, frame.Lines, 22);
  }
  if (explain) Explain(picture, SegmentParams{bw, noise, space}, network);
  return reader::ReadPageAsPlugin(picture, network, bw, noise, space, text, glyphs);
}

}  // namespace

int RunRecognize(const Args& args) {
  Options options(args, {{"kb"}, {"output", 'o'}, {"verbose", 'v', false}, {"explain", 0, false},
                         {"help", 'h', false}, {"bw"}, {"noise"}, {"space"}, {"invert"}, {"plugin", 0, false},
                         {"format"}, {"language-model"}, {"language-weight"}});
  if (options.Has("help")) {
    std::string help = kHelp;
    char weight[32];
    std::snprintf(weight, sizeof weight, "%g", kLanguageWeight);
    help.replace(help.find("%WEIGHT%"), 8, weight);
    std::fputs(help.c_str(), stdout);
    return 0;
  }
  if (options.Positional().empty()) throw UsageError("no picture given");
  const bool plugin = options.Has("plugin");
  reader::Settings settings;
  constexpr kyt::TRecognitionParams kPlugin = kyt::kDefaultRecognitionParams;
  settings.bw = NumberOrAuto(options, "bw", plugin ? std::to_string(kPlugin.BWThreshold) : "auto");
  settings.noise = NumberOrAuto(options, "noise", plugin ? std::to_string(kPlugin.NoiseThreshold) : "auto");
  settings.space = NumberOrAuto(options, "space", plugin ? std::to_string(kPlugin.SpaceWidth) : "auto");
  settings.invert = InvertOption(options);
  if (plugin && options.Has("invert")) throw UsageError("--invert cannot be used with --plugin");
  if (!plugin && options.Has("explain")) throw UsageError("--explain needs --plugin");
  if (plugin && (options.Has("language-model") || options.Has("language-weight")))
    throw UsageError("--language-model and --language-weight cannot be used with --plugin");
  settings.languageWeight = kLanguageWeight;
  settings.gapPrice = kGapPrice;
  if (const auto w = options.Value("language-weight")) {
    char* end = nullptr;
    settings.languageWeight = std::strtod(w->c_str(), &end);
    if (w->empty() || *end != '\0' || !(settings.languageWeight >= 0.0) || settings.languageWeight > 100.0)
      throw UsageError("--language-weight: '" + *w + "' is not a number from 0 to 100");
  }
  const PageFormat format = ParsePageFormat(options.Value("format", "text"));
  const bool verbose = options.Has("verbose");
  size_t fromStdin = 0;
  for (const std::string& p : options.Positional()) fromStdin += p == "-";
  if (fromStdin > 1) throw UsageError("standard input ('-') can be read only once");

  const auto started = std::chrono::steady_clock::now();
  const std::string kbFile = ResolveKnowledgeBase(options.Value("kb"));
  // Recognition reads the weights, targets and names, not the training samples.
  auto network = LoadKnowledgeBase(kbFile, kyt::KnowledgeBaseParts::ForRecognition);
  if (verbose) {
    std::fprintf(stderr, "knowledge base %s: %d patterns, grid %dx%d\n", kbFile.c_str(), network->PatternCount(),
                 network->InputCols, network->InputRows);
  }
  std::optional<reader::LanguageModel> language;
  if (!plugin) language = ChooseLanguageModel(options.Value("language-model", "auto"), *network);
  if (language) settings.language = &*language;
  if (verbose && language)
    std::fprintf(stderr, "language model: order %d, %zu n-grams, weight %g\n", language->Order(), language->Size(),
                 settings.languageWeight);

  std::ofstream file;
  const auto outName = options.Value("output");
  if (outName) {
    file.open(*outName, std::ios::binary | std::ios::trunc);
    if (!file) throw kyt::Error("cannot write " + *outName);
  }
  std::ostream& out = outName ? static_cast<std::ostream&>(file) : std::cout;

  PageWriter writer(out, format, options.Positional().size() > 1);
  int failed = 0;
  for (const std::string& pictureFile : options.Positional()) {
    const auto t0 = std::chrono::steady_clock::now();
    PageResult result;
    result.file = pictureFile;
    try {
      const auto cannotRead = [&](const std::exception& e) {
        return kyt::Error("cannot read picture " + (pictureFile == "-" ? "from standard input" : pictureFile) + ": " +
                          e.what());
      };
      PictureFile input;
      try {
        input = ReadPictureFile(pictureFile);
      } catch (const std::exception& e) {
        throw cannotRead(e);
      }
      // The plug-in's recognition with all three parameters given needs only
      // the ink, which bit and grey maps and PNG pictures decode to directly.
      std::optional<kyt::TImageArray> ink;
      if (plugin && settings.bw && settings.noise && settings.space && !options.Has("explain"))
        ink = DecodeInk(input, *settings.bw);
      kyt::Bitmap picture;
      if (!ink) {
        try {
          picture = DecodePictureFile(input);
        } catch (const std::exception& e) {
          throw cannotRead(e);
        }
      }
      input = PictureFile{};  // the file's bytes are not needed any more
      try {
        if (ink) {
          std::string text;
          result.page = reader::ReadInkAsPlugin(std::move(*ink), *network, *settings.bw, *settings.noise,
                                                *settings.space, text, format != PageFormat::Text);
          result.pluginText = std::move(text);
        } else if (plugin) {
          std::string text;
          // Plain text needs the plug-in's text only, not each glyph's box and score.
          result.page = ReadAsPlugin(picture, *network, settings, text, options.Has("explain"),
                                     format != PageFormat::Text);
          result.pluginText = std::move(text);
        } else {
          result.page = reader::ReadPage(picture, *network, settings);
        }
      } catch (const std::exception& e) {
        throw kyt::Error(pictureFile + ": " + e.what());
      }
    } catch (const std::exception& e) {
      result.error = e.what();
      std::fprintf(stderr, "kytdcr recognize: %s\n", e.what());
      ++failed;
    }
    writer.Write(result);
    if (verbose && result.page) {
      const reader::Page& p = *result.page;
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      std::fprintf(stderr, "%s: %dx%d, bw %d%s, noise %d, space %d, %zu lines, %.1f ms\n", pictureFile.c_str(),
                   p.width, p.height, p.bw, p.invert ? " inverted" : "", p.noise, p.space, p.lines.size(), ms);
    }
  }
  writer.Finish();
  out.flush();
  if (!out) throw kyt::Error("cannot write the text" + (outName ? " to " + *outName : std::string()));
  if (verbose) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "total %.1f ms\n", ms);
  }
  return failed ? 1 : 0;
}

}  // namespace kytdcr

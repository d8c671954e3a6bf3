// kytdcr recognize: the text of pictures, as the plug-in's recognise action
// produces it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "Commands.h"
#include "KnowledgeBase.h"
#include "Options.h"
#include "RecognitionParams.h"
#include "Text.h"
#include "core/Error.h"
#include "recognition/DCRFra.h"
#include "window/PictureLoader.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr recognize [OPTIONS] PICTURE...\n"
    "\n"
    "Prints the text of each picture as UTF-8. The text is the recognition\n"
    "driver's, unchanged: every word is followed by one space, and a full stop\n"
    "that ends a line by CR LF before that space. One line feed ends the\n"
    "output of each picture.\n"
    "\n"
    "Options:\n"
    "  --kb FILE      knowledge base: a .dcr file or the name of a bundled one\n"
    "                 (latin, russian); default $KYTDCR_KB, else latin\n"
    "%s"
    "  -o FILE        write the text to FILE instead of standard output\n"
    "  -v, --verbose  report parameters and times on standard error\n"
    "  --explain      show every glyph on standard error: its place, its grid\n"
    "                 as the network sees it, and the three best patterns\n"
    "  -h, --help     show this help\n"
    "\n"
    "Pictures: bmp, jpg, png, tif, pnm, ico and the other formats of the plug-in.\n";

// Segments again with the frame's parameters and describes every glyph.
void Explain(const kyt::TDCRFrame& source, const kyt::Bitmap& picture, kyt::TBackProp& network) {
  kyt::TDCRFrame frame;
  SegmentPicture(frame, picture, source.Parameters());
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

}  // namespace

int RunRecognize(const Args& args) {
  std::vector<OptionSpec> specs = {{"kb"}, {"output", 'o'}, {"verbose", 'v', false}, {"explain", 0, false},
                                   {"help", 'h', false}};
  for (auto& s : RecognitionOptionSpecs()) specs.push_back(s);
  Options options(args, specs);
  if (options.Has("help")) {
    std::printf(kHelp, kRecognitionOptionsHelp);
    return 0;
  }
  if (options.Positional().empty()) throw UsageError("no picture given");
  const RecognitionParams params = ReadRecognitionParams(options);
  const bool verbose = options.Has("verbose");

  const auto started = std::chrono::steady_clock::now();
  const std::string kbFile = ResolveKnowledgeBase(options.Value("kb"));
  auto network = LoadKnowledgeBase(kbFile);
  if (verbose) {
    std::fprintf(stderr, "knowledge base %s: %d patterns, grid %dx%d\n", kbFile.c_str(), network->PatternCount(),
                 network->InputCols, network->InputRows);
  }

  std::ofstream file;
  const auto outName = options.Value("output");
  if (outName) {
    file.open(*outName, std::ios::binary | std::ios::trunc);
    if (!file) throw kyt::Error("cannot write " + *outName);
  }
  std::ostream& out = outName ? static_cast<std::ostream&>(file) : std::cout;

  for (const std::string& pictureFile : options.Positional()) {
    const auto t0 = std::chrono::steady_clock::now();
    kyt::Bitmap picture;
    try {
      picture = kyt::LoadPictureFile(pictureFile);
    } catch (const std::exception& e) {
      throw kyt::Error("cannot read picture " + pictureFile + ": " + e.what());
    }
    kyt::TDCRFrame frame;
    frame.AssignPicture(picture);
    frame.Parameters() = params.values;
    if (params.autoSpace) {
      frame.Binarize();
      frame.FindLines();
      frame.SpaceWidth = EstimateSpaceWidth(frame.ImageArray, frame.Lines, params.values.SpaceWidth);
    }
    if (options.Has("explain")) Explain(frame, picture, *network);
    frame.RecognizeText(*network);
    out << Cp1251ToUtf8(frame.ResultText) << '\n';
    if (verbose) {
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      std::fprintf(stderr, "%s: %dx%d, bw %d, noise %d, space %d%s, %zu lines, %.1f ms\n", pictureFile.c_str(),
                   picture.Width(), picture.Height(), frame.BWThreshold, frame.NoiseThreshold, frame.SpaceWidth,
                   params.autoSpace ? " (auto)" : "", frame.Lines.size(), ms);
    }
  }
  out.flush();
  if (!out) throw kyt::Error("cannot write the text" + (outName ? " to " + *outName : std::string()));
  if (verbose) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "total %.1f ms\n", ms);
  }
  return 0;
}

}  // namespace kytdcr

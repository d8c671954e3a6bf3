// kytdcr segment: a picture of what segmentation found, for choosing the three
// recognition parameters by eye.
#include <cstdio>

#include "Commands.h"
#include "Options.h"
#include "RecognitionParams.h"
#include "core/Error.h"
#include "recognition/DCRFra.h"
#include "window/PictureLoader.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr segment [OPTIONS] PICTURE -o FILE.png\n"
    "\n"
    "Segments the picture as recognition does and draws the result: the ink as\n"
    "the black/white threshold sees it (grey), lines (blue), words (green),\n"
    "glyphs (red) and glyphs dropped as noise (orange). Prints the counts.\n"
    "\n"
    "Options:\n"
    "%s"
    "  -o FILE        the PNG to write (required)\n"
    "  --picture      draw over the picture itself instead of its ink\n"
    "  -h, --help     show this help\n";

constexpr kyt::Color kInk = kyt::MakeColor(110, 110, 110);
constexpr kyt::Color kLineColor = kyt::MakeColor(40, 80, 255);
constexpr kyt::Color kWordColor = kyt::MakeColor(0, 170, 0);
constexpr kyt::Color kGlyphColor = kyt::MakeColor(230, 0, 0);
constexpr kyt::Color kNoiseColor = kyt::MakeColor(255, 150, 0);

// Outline of the box [left, right] x [top, bottom] (inclusive), clipped.
void Outline(kyt::Bitmap& b, int32_t left, int32_t top, int32_t right, int32_t bottom, kyt::Color c) {
  b.FillRect(left, top, right + 1, top + 1, c);
  b.FillRect(left, bottom, right + 1, bottom + 1, c);
  b.FillRect(left, top, left + 1, bottom + 1, c);
  b.FillRect(right, top, right + 1, bottom + 1, c);
}

}  // namespace

int RunSegment(const Args& args) {
  std::vector<OptionSpec> specs = {{"output", 'o'}, {"picture", 0, false}, {"help", 'h', false}};
  for (auto& s : RecognitionOptionSpecs()) specs.push_back(s);
  Options options(args, specs);
  if (options.Has("help")) {
    std::printf(kHelp, kRecognitionOptionsHelp);
    return 0;
  }
  if (options.Positional().size() != 1) throw UsageError("give exactly one picture");
  const auto outName = options.Value("output");
  if (!outName) throw UsageError("no output file given (-o FILE.png)");
  const RecognitionParams params = ReadRecognitionParams(options);

  const std::string& pictureFile = options.Positional()[0];
  kyt::Bitmap picture;
  try {
    picture = kyt::LoadPictureFile(pictureFile);
  } catch (const std::exception& e) {
    throw kyt::Error("cannot read picture " + pictureFile + ": " + e.what());
  }
  kyt::TDCRFrame frame;
  SegmentParams values = params.values;
  if (params.autoSpace) {
    frame.AssignPicture(picture);
    frame.BWThreshold = values.BWThreshold;
    frame.Binarize();
    frame.FindLines();
    values.SpaceWidth = EstimateSpaceWidth(frame.ImageArray, frame.Lines, values.SpaceWidth);
  }
  SegmentPicture(frame, picture, values);

  kyt::Bitmap canvas = picture;
  if (!options.Has("picture")) {
    canvas.Fill(kyt::kWhite);
    for (int32_t x = 0; x < canvas.Width(); ++x)
      for (int32_t y = 0; y < canvas.Height(); ++y)
        if (frame.ImageArray.Ink(x, y)) canvas.SetPixel(x, y, kInk);
  }
  size_t words = 0, glyphs = 0, merged = 0, noise = 0;
  for (const kyt::TLine& line : frame.Lines) {
    if (!line.Words.empty()) {
      Outline(canvas, line.Words.front().Left - 3, line.Top - 3, line.Words.back().Right + 3, line.Bottom + 3, kLineColor);
    }
    for (const kyt::TWord& word : line.Words) {
      ++words;
      Outline(canvas, word.Left - 2, line.Top - 2, word.Right + 2, line.Bottom + 2, kWordColor);
      for (size_t i = 0; i < word.Chars.size(); ++i) {
        const kyt::TChar& ch = word.Chars[i];
        // A piece absorbed by the next glyph is drawn with that glyph.
        const bool absorbed = ch.Skipped && i + 1 < word.Chars.size() &&
                              ch.Pixels.size() <= word.Chars[i + 1].Pixels.size() &&
                              ch.TopLeft.X >= word.Chars[i + 1].TopLeft.X &&
                              ch.BottomRight.X <= word.Chars[i + 1].BottomRight.X &&
                              ch.TopLeft.Y >= word.Chars[i + 1].TopLeft.Y &&
                              ch.BottomRight.Y <= word.Chars[i + 1].BottomRight.Y;
        if (ch.Pixels.empty()) continue;
        if (absorbed) {
          ++merged;
          continue;
        }
        if (ch.Skipped) {
          ++noise;
        } else {
          ++glyphs;
        }
        const int32_t left = word.Left + ch.TopLeft.X - 1, top = line.Top + ch.TopLeft.Y - 1;
        const int32_t right = word.Left + ch.BottomRight.X - 1, bottom = line.Top + ch.BottomRight.Y - 1;
        Outline(canvas, left - 1, top - 1, right + 1, bottom + 1, ch.Skipped ? kNoiseColor : kGlyphColor);
      }
    }
  }
  kyt::SavePng(canvas, *outName);
  std::printf("%s: %dx%d, bw %d, noise %d, space %d%s\n", pictureFile.c_str(), picture.Width(), picture.Height(),
              frame.BWThreshold, frame.NoiseThreshold, frame.SpaceWidth, params.autoSpace ? " (auto)" : "");
  std::printf("%zu lines, %zu words, %zu glyphs, %zu pieces merged into glyphs, %zu dropped as noise\n",
              frame.Lines.size(), words, glyphs, merged, noise);
  return 0;
}

}  // namespace kytdcr

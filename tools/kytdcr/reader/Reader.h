#pragma once
// The page reader of the kytdcr tool: reads a picture as a person would, on
// top of the recognition engine's network and glyph normalisation.
//
// The plug-in's recognition (TDCRFrame::RecognizeText) is fixed by what hosts
// rely on; the reader goes further. It finds its parameters from the picture
// (ink threshold, light-on-dark pages, noise size, space width), sets ruled
// frames aside, splits lines whose rows touch, cuts glyphs that touch and joins
// pieces of one glyph by what the network recognises best, and decides letter
// case and punctuation from the line's x-height and baseline.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"

namespace kytdcr::reader {

class LanguageModel;

// What the caller fixes; everything left empty is found from the picture.
struct Settings {
  std::optional<int32_t> bw;     // ink when the luminance is below this
  std::optional<bool> invert;    // light text on a dark background
  std::optional<int32_t> noise;  // glyphs of fewer pixels are dropped
  std::optional<int32_t> space;  // empty columns that end a word
  // Text the reader prefers where the network finds readings about as good
  // (none: the network and the line's shape alone), and its weight: the
  // worth of one nat of the model's log-probability, in x-heights.
  const LanguageModel* language = nullptr;
  double languageWeight = 0.0;
  // With a model: the price, in x-heights, of reading a gap a whole space
  // width narrower than the space width as a blank (or wider, as none).
  double gapPrice = 0.0;
};

struct Glyph {
  kyt::Rect box;      // picture coordinates, right and bottom exclusive
  std::string name;   // code page 1251, as the knowledge base names it
  float score = 0.0f; // agreement of the network's outputs with the pattern, -1..1
};

struct Word {
  kyt::Rect box;
  std::vector<Glyph> glyphs;
  std::string Text() const;  // the glyph names joined, code page 1251
};

struct Line {
  kyt::Rect box;
  std::vector<Word> words;
  std::string Text() const;  // the words with one space between them
};

struct Page {
  int32_t width = 0, height = 0;
  // The parameters used, automatic or given.
  int32_t bw = 196;
  bool invert = false;
  int32_t noise = 10;
  int32_t space = 22;
  std::vector<Line> lines;
  std::string Text() const;  // one line of text per line, each ended by "\n"
};

// Reads `picture` with the patterns of `network`.
Page ReadPage(const kyt::Bitmap& picture, kyt::TBackProp& network, const Settings& settings);

// The plug-in's own reading with the given parameters: the frame's
// RecognizeText, its text unchanged in `pluginText`, and the glyphs it
// recognised with their boxes, names and scores in the returned page (its
// lines stay empty when `glyphs` is false: the text alone is then wanted).
Page ReadPageAsPlugin(const kyt::Bitmap& picture, kyt::TBackProp& network, int32_t bw, int32_t noise, int32_t space,
                      std::string& pluginText, bool glyphs = true);

// The same for a picture already binarised at `bw` (as Binarize would).
Page ReadInkAsPlugin(kyt::TImageArray ink, kyt::TBackProp& network, int32_t bw, int32_t noise, int32_t space,
                     std::string& pluginText, bool glyphs = true);

}  // namespace kytdcr::reader

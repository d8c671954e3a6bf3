#pragma once
// The stages of the page reader, one after the other; exposed for tests.
#include <array>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LanguageModel.h"
#include "Reader.h"
#include "recognition/GridMemory.h"

namespace kytdcr::reader {

// ---- Ink: from colours to a two-level page --------------------------------

using Histogram = std::array<uint64_t, 256>;

// Luminance of every pixel as binarisation computes it, rounded down to 0..255.
Histogram LuminanceHistogram(const kyt::Bitmap& picture);

struct InkChoice {
  int32_t bw = 196;     // ink when the (inverted, if so) luminance is below this
  bool invert = false;  // the luminance is taken as 255 - luminance first
};

// The automatic threshold: Otsu's split of the histogram into paper and ink,
// the larger class being the paper (dark paper means light text: inverted).
// The threshold lies where the plug-in's 196 lies between black ink and white
// paper, measured between this page's ink and paper levels, and is 196 itself
// on a plain black-on-white page. Given values are kept.
InkChoice ChooseInk(const Histogram& histogram, std::optional<int32_t> bw, std::optional<bool> invert);

// Light text on dark as the page's neighbourhoods show it: in each tile the
// text is what stands out from the tile's usual level, darker or lighter.
// Empty where the page does not say (no text, or as much of either).
std::optional<bool> InvertedByTiles(const kyt::Bitmap& picture);

// A two-level page, row-major: ink(x, y) is 1 for ink.
struct InkPage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> cells;
  uint8_t At(int32_t x, int32_t y) const { return cells[size_t(y) * size_t(width) + size_t(x)]; }
  uint8_t& At(int32_t x, int32_t y) { return cells[size_t(y) * size_t(width) + size_t(x)]; }
};

InkPage MakeInkPage(const kyt::Bitmap& picture, const InkChoice& choice);

// The paper's level (on the scale where ink is dark) over the page, one value
// per tile of `tile` pixels, taken where the paper is lightest in each tile's
// neighbourhood; the caller interpolates between tile centres.
struct PaperMap {
  int32_t tile = 0, cols = 0, rows = 0;
  std::vector<double> level;
  double At(double x, double y) const;  // interpolated at picture coordinates
};
PaperMap MeasurePaper(const kyt::Bitmap& picture, bool invert);

// As MakeInkPage, but where the paper is uneven (shaded, lit from one side,
// a gradient behind the text) the threshold follows the paper: it lies where
// `choice.bw` lies between the page's ink and its paper, measured against the
// paper nearby. An even page comes out exactly as MakeInkPage makes it.
InkPage MakeAdaptiveInkPage(const kyt::Bitmap& picture, const InkChoice& choice, const Histogram& histogram);

// The median length of horizontal ink runs: the stroke width of text.
double StrokeWidth(const InkPage& page);

// The noise size for a page: specks well below a full stop, whose size follows
// the stroke width, and never more than a small share of the line height.
int32_t AutoNoise(const InkPage& page);

// ---- Layout: pieces, rules, lines ------------------------------------------

// One 8-connected group of ink pixels (picture coordinates), or several joined.
struct Piece {
  kyt::Rect box;
  std::vector<kyt::TPoint> pixels;
  void Add(const Piece& other);
};

std::vector<Piece> FindPieces(const InkPage& page);

// Clears from `page` the long thin straight strokes of ruled frames around
// labels and of rules longer than several letters. Returns how many pixels
// were cleared.
size_t SetAsideRules(InkPage& page, const std::vector<Piece>& pieces);

// The pieces of every text line, top to bottom, each line's pieces in any
// order. Lines are runs of rows that hold ink; a run of only dots or accents
// belongs to the line next to it, and a run holding two lines whose rows touch
// is cut along its row profile (pieces that cross the cut are cut too).
std::vector<std::vector<Piece>> FindLinePieces(const InkPage& page, std::vector<Piece> pieces);

// Within one line: pieces that lie above one another (dots, accents, the parts
// of ':' and '=') become one glyph; the result is ordered by left edge.
std::vector<Piece> StackPieces(std::vector<Piece> pieces);

// ---- Recognition ------------------------------------------------------------

struct Answer {
  std::string name;
  float score = -1.0f;
};

// The network's answer for a piece: the pattern whose target agrees best with
// the outputs. The network must stay as it is while a classifier reads with it.
class Classifier {
 public:
  // With `remember`, a grid ranked before takes its scores from then and the
  // network is not run again: its layers then hold an earlier glyph's pass.
  // Without, every Rank runs the network, whose layers are then the piece's.
  explicit Classifier(kyt::TBackProp& network, bool remember = true);
  Answer Classify(const Piece& piece);
  // The `count` best patterns for a piece, best first.
  std::vector<Answer> Rank(const Piece& piece, size_t count);
  bool Has(const std::string& name) const;

 private:
  void PrepareTargets();

  kyt::TBackProp& network_;
  kyt::TBackProp::FixedNetwork fixed_;
  bool prepared_ = false;
  // The targets of the patterns that cover every output, turned around:
  // element [(o - 1) * stride + k] is output o's target in the k-th of them.
  std::vector<double> targets_;
  std::vector<uint8_t> full_;  // per pattern: 1 when its sum comes from targets_
  std::vector<double> sums_;
  std::vector<float> scores_;  // per pattern
  std::vector<size_t> order_;
  // Every pattern's score for the grids ranked so far.
  bool remember_ = false;
  kyt::TGridMemory<std::vector<float>> scoresOf_;
};

// A candidate name with its worth: the score less a price for a shape that
// does not fit the line.
struct Valued {
  Answer answer;
  float value = -1.0f;
};

struct Reading {
  Piece piece;
  Answer answer;
  std::vector<Valued> ranked;  // the candidates, best first, where known
  // Whether a word begins here, where segmentation weighed it with the text
  // (1 or 0); -1: a gap of the space width or more begins a word.
  int8_t wordStart = -1;
};

// ---- Line context -------------------------------------------------------------

struct LineMetrics {
  double baseline = 0;  // the row below the letters' feet (exclusive bottom)
  double xHeight = 0;   // height of small letters
  double capHeight = 0; // height of capitals and digits
  double ascender = 0;  // height of b, d, h, k where the line has them, else 0
};

// How far a glyph of this name in this box departs from the line: a small
// letter that reaches capital height, a capital or ascender letter of only
// x-height, a descender that does not go below the baseline or a letter that
// does; a bracket that does not reach above the small letters and below the
// baseline, a dash or tilde taller than a flat mark. 0 when it fits
// (look-alikes fit at either size), up to 1.
float ShapeMisfit(const std::string& name, const kyt::Rect& box, const LineMetrics& metrics);

// The mark a glyph is by its size and place alone: full stop, comma,
// apostrophe, hyphen, en or em dash; empty when its shape does not say.
std::string MarkByShape(const kyt::Rect& box, const LineMetrics& metrics);

// ---- Segmentation by recognition ---------------------------------------------

// The best candidate for a glyph and the others, by worth.
struct Judged {
  Answer answer;
  float value = -1.0f;
  std::vector<Valued> ranked;
};

// The line's recognised pieces, ranked by the network and judged by the line's shape.
Judged JudgeGlyph(const Piece& piece, Classifier& classifier, const LineMetrics& metrics);

// Chooses how a line's pieces become glyphs. Each piece may be cut at the
// minima of its column profile, and neighbouring pieces (or their parts) may
// be joined; of all such readings the one whose glyphs are worth most,
// weighted by their width, wins, each cut and join paying a small price. So a
// touching pair is cut only where both parts read better than the whole and a
// letter is never taken apart for parts that read as well.
//
// With a language model, each glyph's candidates that are worth nearly as
// much as its best are weighed too, and a reading's worth gains the model's
// ln P of its text, blanks between words included, times `weight` x-heights:
// the best readings are kept per position and per the model's state (a
// beam), so that the text chooses between cuts as between names.
//
// A gap near the space width may then be read either way: a blank for a
// narrower gap, or none for a wider one, paying `gapPrice` x-heights for a
// gap a whole space width from the width.
struct LineLanguage {
  const LanguageModel* model = nullptr;
  double weight = 0.0;         // worth of one nat, in x-heights
  int32_t space = INT32_MAX;   // empty columns that end a word
  double gapPrice = 0.0;
};
using GlyphJudge = std::function<Judged(const Piece&)>;
std::vector<Reading> SegmentLine(const std::vector<Piece>& glyphs, const GlyphJudge& judge, double xHeight,
                                 const LineLanguage& language = {});

// The line's glyphs as recognised pieces: measured once as they come, then
// segmented by recognition against the line's shape (and the language).
std::vector<Reading> ReadLine(const std::vector<Piece>& glyphs, Classifier& classifier,
                              const std::optional<LineMetrics>& page, const LineLanguage& language = {});

// Measured on the glyphs of a line whose names the network gave; `page` holds
// the page's values, used where a line alone does not tell.
LineMetrics MeasureLine(const std::vector<Reading>& glyphs, const Classifier& classifier,
                        const std::optional<LineMetrics>& page);

// Whether three pieces side by side are the parts of a per cent sign: a
// ring high on the left, a taller stroke, a ring low on the right.
bool PerCentParts(const Piece& first, const Piece& second, const Piece& third, double xHeight);

// Within a word of letters, a glyph read as a digit or a sign that a letter
// could be nearly as well (J read as ] or 3) becomes that letter; within a
// number, a glyph read as letters that a digit could be (0 read as a pair
// pattern) becomes that digit.
void PreferWordsOwnKind(std::vector<Reading>& glyphs, int32_t space);

// Letter case of look-alikes from height, punctuation from size and place,
// l / I / 1 / | from the neighbours, з and З within numbers as 3; a gap of
// `space` empty columns or more separates two words.
void ApplyLineContext(std::vector<Reading>& glyphs, int32_t space, const LineMetrics& metrics,
                      const Classifier& classifier);

// The space width for a page from the gaps between the glyphs of its lines.
int32_t SpaceFromGaps(const std::vector<int32_t>& gaps);

}  // namespace kytdcr::reader

// Glyph extraction: 8-connected groups of ink within each word, with nested
// pieces merged and small pieces marked as noise.
#include "recognition/FindChars.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/Error.h"

namespace kyt {

namespace labels {

void ResolveEquivalences(TPixelLabels& equivalence) {
  const int32_t count = int32_t(equivalence.size());
  for (int32_t label : equivalence) {
    if (label < 0 || label >= count)
      throw Error("Invalid label " + std::to_string(label) + " in a table of " + std::to_string(count));
  }
  // seen[l] == walk + 1 when label l was passed during the walk for entry `walk`.
  std::vector<int32_t> seen(equivalence.size(), 0);
  for (int32_t b = 0; b < count; ++b) {
    int32_t current = equivalence[size_t(b)];
    for (;;) {
      const int32_t next = equivalence[size_t(current)];
      if (next == current) break;  // a root
      if (seen[size_t(current)] == b + 1) {
        equivalence[size_t(current)] = current;  // met twice: a cycle, broken here
        break;
      }
      seen[size_t(current)] = b + 1;
      current = next;
    }
    equivalence[size_t(b)] = current;
  }
}

int32_t RenumberEquivalences(TPixelLabels& equivalence) {
  TPixelLabels renumbered(equivalence.size(), kNoLabel);
  int32_t glyphs = 0;
  for (int32_t& entry : equivalence) {
    int32_t& number = renumbered[size_t(entry)];
    if (number == kNoLabel) number = glyphs++;
    entry = number;
  }
  return glyphs;
}

}  // namespace labels

namespace {

// Provisional labels of one word. The label image has a left border column
// and a top and bottom border row, all without label; column i and row j
// (from 1) stand for picture column left + i - 1 and row top + j - 1.
// Neighbours already scanned are looked at in the order above, above-left,
// left, below-left. A labelled neighbour met after the first has only its own
// entry overwritten, so an earlier link of that entry can be lost. Only the
// ink is visited, in the scan's order: every other cell keeps the no-label
// value it starts with. The label image comes in holding the no-label value
// in every cell, at least as many as the word needs; inkOf[label] counts the
// cells given that label.
void LabelWord(const TImageArray& image, int32_t left, int32_t top, int32_t wordWidth, int32_t lineHeight,
               TPixelLabels& labelImage, TPixelLabels& equivalence, std::vector<uint32_t>& inkOf) {
  const size_t stride = size_t(lineHeight) + 2;
  equivalence.clear();
  inkOf.clear();
  int32_t counter = 0;
  int32_t countedLabel = 0;
  uint32_t counted = 0;
  const int32_t bottom = top + lineHeight - 1;
  for (int32_t i = 1; i <= wordWidth; ++i) {
    int32_t* cell = labelImage.data() + size_t(i) * stride;
    const int32_t* before = cell - stride;
    // The rule in the form with the fewest branches: the first labelled
    // neighbour gives the current label, and every labelled neighbour's
    // entry is then set to it. That is the first's own entry again (no
    // change: it is where the current label was read, and the later writes
    // store the same value) and each later one's, as the rule says; a cell
    // without label writes into `unused` instead.
    int32_t unused = 0;
    // The cell above is this column's previous ink cell when that lies in
    // the row above, and otherwise holds no label: it is taken from there
    // rather than read back from the label image just written.
    int32_t previousRow = -2, previousLabel = kNoLabel;
    image.ForEachInk(left + i - 1, top, bottom, [&](int32_t y) {
      const int32_t j = y - top + 1;
      const int32_t n0 = y - 1 == previousRow ? previousLabel : kNoLabel;
      const int32_t n1 = before[j - 1], n2 = before[j], n3 = before[j + 1];
      const int32_t first = n0 != kNoLabel ? n0 : n1 != kNoLabel ? n1 : n2 != kNoLabel ? n2 : n3;
      int32_t current;
      if (first == kNoLabel) {
        current = counter;
        equivalence.push_back(counter);
        inkOf.push_back(0);
        ++counter;
      } else {
        int32_t* entries = equivalence.data();
        current = entries[first];
        *(n1 != kNoLabel ? entries + n1 : &unused) = current;
        *(n2 != kNoLabel ? entries + n2 : &unused) = current;
        *(n3 != kNoLabel ? entries + n3 : &unused) = current;
      }
      cell[j] = current;
      previousRow = y;
      previousLabel = current;
      // Counted a run of one label at a time.
      if (current == countedLabel) {
        ++counted;
      } else {
        if (counted) inkOf[size_t(countedLabel)] += counted;
        countedLabel = current;
        counted = 1;
      }
    });
  }
  if (counted) inkOf[size_t(countedLabel)] += counted;
}

// Every ink cell has a label; they are visited in the scan's order, and each
// is given the no-label value again, so that the label image is ready for
// the next word without being filled anew. Each glyph's pixel list comes in
// sized to its count of ink cells, and is written through a cursor. The scan
// runs through the columns in order, so a glyph's first pixel has its
// smallest X and its last the largest; only Y is compared pixel by pixel.
void CollectPixels(const TImageArray& image, int32_t left, int32_t top, TPixelLabels& labelImage,
                   const TPixelLabels& glyphOf, int32_t wordWidth, int32_t lineHeight, std::vector<TChar>& chars,
                   std::vector<TPoint*>& cursor, std::vector<int32_t>& rows) {
  const size_t glyphs = chars.size();
  cursor.resize(glyphs);
  rows.assign(2 * glyphs, 0);  // per glyph the smallest and the largest Y
  for (size_t g = 0; g < glyphs; ++g) {
    cursor[g] = chars[g].Pixels.data();
    rows[2 * g] = kNoLabel;
  }
  const size_t stride = size_t(lineHeight) + 2;
  const int32_t bottom = top + lineHeight - 1;
  for (int32_t i = 1; i <= wordWidth; ++i) {
    int32_t* cell = labelImage.data() + size_t(i) * stride;
    image.ForEachInk(left + i - 1, top, bottom, [&](int32_t y) {
      const int32_t j = y - top + 1;
      const size_t g = size_t(glyphOf[size_t(cell[j])]);
      cell[j] = kNoLabel;
      *cursor[g]++ = TPoint{i, j};
      rows[2 * g] = std::min(rows[2 * g], j);
      rows[2 * g + 1] = std::max(rows[2 * g + 1], j);
    });
  }
  for (size_t g = 0; g < glyphs; ++g) {
    TChar& glyph = chars[g];
    if (glyph.Pixels.empty()) continue;
    glyph.TopLeft = TPoint{glyph.Pixels.front().X, rows[2 * g]};
    glyph.BottomRight = TPoint{glyph.Pixels.back().X, rows[2 * g + 1]};
  }
}

bool ColumnsWithin(const TChar& inner, const TChar& outer) {
  return inner.TopLeft.X >= outer.TopLeft.X && inner.BottomRight.X <= outer.BottomRight.X;
}

// Dots, accents and stacked strokes: a glyph whose column range nests with
// that of the next glyph in number order is handed over to it. A glyph that
// absorbed its predecessor meets its successor with the widened box, so a
// chain of nested pieces collects into the last of them, which receives its
// own pixels followed by those of each earlier piece, back to the first.
// The decisions need only the boxes; the pixel lists are joined once per
// chain afterwards, and a piece handed on keeps just the pixels found for it.
// (Copying every accumulated list into every piece of a chain would cost
// memory and time in the square of the chain's length: a dithered or hatched
// picture makes chains of thousands of pieces.)
void MergeNested(std::vector<TChar>& chars) {
  const size_t count = chars.size();
  std::vector<bool> handedOn(count, false);
  for (size_t k = 0; k + 1 < count; ++k) {
    TChar& a = chars[k];
    TChar& b = chars[k + 1];
    if (!ColumnsWithin(a, b) && !ColumnsWithin(b, a)) continue;
    b.TopLeft.X = std::min(b.TopLeft.X, a.TopLeft.X);
    b.TopLeft.Y = std::min(b.TopLeft.Y, a.TopLeft.Y);
    b.BottomRight.X = std::max(b.BottomRight.X, a.BottomRight.X);
    b.BottomRight.Y = std::max(b.BottomRight.Y, a.BottomRight.Y);
    a.Skipped = true;
    handedOn[k] = true;
  }
  size_t first = 0;  // first piece of the current chain
  for (size_t k = 0; k < count; ++k) {
    if (handedOn[k]) continue;
    if (k > first) {
      std::vector<TPoint>& pixels = chars[k].Pixels;
      size_t total = pixels.size();
      for (size_t m = first; m < k; ++m) total += chars[m].Pixels.size();
      pixels.reserve(total);
      for (size_t m = k; m-- > first;) pixels.insert(pixels.end(), chars[m].Pixels.begin(), chars[m].Pixels.end());
    }
    first = k + 1;
  }
}

}  // namespace

void TDCRFrame::FindChars() {
  const int32_t width = ImageArray.Width();
  const int32_t height = ImageArray.Height();

  // Working storage of one word at a time. The label image holds the
  // no-label value in every cell between words (CollectPixels clears the
  // cells a word labelled) and grows with the largest word's box.
  TPixelLabels labelImage;
  TPixelLabels equivalence;
  std::vector<uint32_t> inkOf;
  std::vector<size_t> pixels;
  std::vector<TPoint*> cursor;
  std::vector<int32_t> rows;
  for (TLine& line : Lines) {
    const int32_t lineHeight = line.Bottom - line.Top + 1;
    for (TWord& word : line.Words) {
      word.Chars.clear();
      const int32_t wordWidth = word.Right - word.Left + 1;
      if (wordWidth <= 0 || lineHeight <= 0) continue;
      if (word.Left < 0 || word.Right >= width || line.Top < 0 || line.Bottom >= height)
        throw Error("A word lies outside the picture");

      const size_t cells = (size_t(wordWidth) + 1) * (size_t(lineHeight) + 2);
      if (labelImage.size() < cells) labelImage.resize(cells, kNoLabel);
      LabelWord(ImageArray, word.Left, line.Top, wordWidth, lineHeight, labelImage, equivalence, inkOf);
      labels::ResolveEquivalences(equivalence);
      const int32_t glyphs = labels::RenumberEquivalences(equivalence);

      TChar blank;
      blank.TopLeft = TPoint{kNoLabel, kNoLabel};
      blank.BottomRight = TPoint{0, 0};
      word.Chars.assign(size_t(glyphs), blank);
      // Each glyph's pixel list takes its size at once: the ink cells of
      // the labels that make it up.
      pixels.assign(size_t(glyphs), 0);
      for (size_t b = 0; b < equivalence.size(); ++b) pixels[size_t(equivalence[b])] += inkOf[b];
      for (size_t g = 0; g < word.Chars.size(); ++g) word.Chars[g].Pixels.resize(pixels[g]);
      CollectPixels(ImageArray, word.Left, line.Top, labelImage, equivalence, wordWidth, lineHeight, word.Chars,
                    cursor, rows);
      MergeNested(word.Chars);
      for (TChar& glyph : word.Chars) {
        if (!glyph.Skipped) glyph.Skipped = int64_t(glyph.Pixels.size()) < int64_t(NoiseThreshold);
      }
    }
  }
}

}  // namespace kyt

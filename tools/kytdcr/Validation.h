#pragma once
// Measures of a knowledge base on material it was not trained on: the
// character error rate of whole pages, read as `kytdcr recognize --space auto`
// reads them, and the names of glyphs with look-alike groups counted as one.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/BackPropCls.h"

namespace kytdcr {

// Runs of blanks, tabs and line breaks become one space; leading and trailing
// ones go.
std::u32string CollapseSpaces(const std::u32string& text);

// Edit distance (insertions, deletions, substitutions of code points).
size_t EditDistance(const std::u32string& a, const std::u32string& b);

// Edit distance of the collapsed texts over the collapsed truth's length, in
// percent (0 when both are empty; 100 per character when the truth is empty).
double CharacterErrorRate(const std::u32string& recognised, const std::u32string& truth);

// The text recognition gives for a picture: threshold `bw`, noise threshold
// `noise`, and the space width estimated from the picture's own gaps. UTF-8.
std::string ReadPage(kyt::TBackProp& network, const kyt::Bitmap& picture, int32_t bw, int32_t noise);

// The exact decision of the network for one input (InputCount values, no bias
// element): Propagate, then Recognize.
std::string RecogniseInput(kyt::TBackProp& network, const float* input);

// Counts of (truth, answer) pairs, most frequent first.
std::vector<std::pair<int32_t, std::pair<std::string, std::string>>> TopConfusions(
    const std::map<std::pair<std::string, std::string>, int32_t>& confusions, size_t count);

}  // namespace kytdcr

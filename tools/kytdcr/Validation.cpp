#include "Validation.h"

#include <algorithm>

#include "Segmentation.h"
#include "Text.h"
#include "recognition/DCRFra.h"

namespace kytdcr {

std::u32string CollapseSpaces(const std::u32string& text) {
  std::u32string out;
  bool blank = false;
  for (char32_t c : text) {
    if (c == U' ' || c == U'\t' || c == U'\r' || c == U'\n') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += U' ';
    blank = false;
    out += c;
  }
  return out;
}

size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1] ? 1 : 0)});
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

double CharacterErrorRate(const std::u32string& recognised, const std::u32string& truth) {
  const std::u32string got = CollapseSpaces(recognised), want = CollapseSpaces(truth);
  const size_t edits = EditDistance(got, want);
  if (want.empty()) return got.empty() ? 0.0 : 100.0 * double(edits);
  return 100.0 * double(edits) / double(want.size());
}

std::string ReadPage(kyt::TBackProp& network, const kyt::Bitmap& picture, int32_t bw, int32_t noise) {
  kyt::TDCRFrame frame;
  frame.AssignPicture(picture);
  frame.BWThreshold = bw;
  frame.NoiseThreshold = noise;
  frame.SpaceWidth = 22;
  frame.Binarize();
  frame.FindLines();
  frame.SpaceWidth = EstimateSpaceWidth(frame.ImageArray, frame.Lines, 22);
  frame.RecognizeText(network);
  return Cp1251ToUtf8(frame.ResultText);
}

std::string RecogniseInput(kyt::TBackProp& network, const float* input) {
  std::copy(input, input + network.InputCount, network.InputLayer.begin() + 1);
  network.Propagate();
  std::string name;
  network.Recognize(name);
  return name;
}

std::vector<std::pair<int32_t, std::pair<std::string, std::string>>> TopConfusions(
    const std::map<std::pair<std::string, std::string>, int32_t>& confusions, size_t count) {
  std::vector<std::pair<int32_t, std::pair<std::string, std::string>>> out;
  for (const auto& [pair, n] : confusions) out.push_back({n, pair});
  std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  if (out.size() > count) out.resize(count);
  return out;
}

}  // namespace kytdcr

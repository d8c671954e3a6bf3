#pragma once
// The labelled samples of a training run before they go into the network:
// patterns in priority order (most frequent character first), each with the
// inputs of its glyphs and the rendering ("variant") each input came from.
//
// Normalisation throws away a glyph's size and position, so some characters
// come out alike (o/O, c/C, s/S, l/I...). Resolve() settles this before
// training: a pattern known to look like an earlier one (a look-alike group,
// or measured: its glyphs nearly equal the earlier pattern's in most
// renderings) is folded into it, its samples joining the earlier pattern, so
// that recognition yields the earlier, more frequent name; and an input that
// still occurs under two names is kept only under the earlier one, so the
// network never sees one input with two targets.
#include <cstdint>
#include <string>
#include <vector>

#include "recognition/BackPropCls.h"

namespace kytdcr {

struct Sample {
  kyt::TLayer input;    // InputCount + 1 elements, element 0 unused
  int32_t variant = 0;  // which rendering or picture it came from
};

struct PatternData {
  std::string name;  // code page 1251
  std::vector<Sample> samples;
  int32_t rejected = 0;  // renderings that did not give exactly one glyph
};

struct MergeNote {
  std::string kept, folded;  // code page 1251 names
  double share = 0.0;        // share of the folded pattern's renderings that matched
  bool listed = false;       // folded because a look-alike group names both
};

struct ResolveReport {
  std::vector<MergeNote> merges;
  int32_t repeats = 0;            // exact repeats within one pattern (kept)
  int32_t conflictsRemoved = 0;   // inputs already owned by an earlier pattern
  std::vector<std::string> emptyPatterns;  // dropped for lack of samples
};

class TrainingData {
 public:
  // The index of the pattern `name`, appended at the end when new.
  size_t Pattern(const std::string& name);
  void Add(size_t pattern, kyt::TLayer input, int32_t variant);
  void Reject(size_t pattern) { patterns_[pattern].rejected++; }

  const std::vector<PatternData>& Patterns() const { return patterns_; }
  size_t SampleCount() const;

  // See the file comment. First, within each of `alikeGroups` (names of
  // characters known to look alike once normalised), every pattern is folded
  // into the group's earliest pattern. Then, two inputs are alike when they
  // differ in at most `maxCellDiff` cells, and a pattern is folded when at
  // least `mergeShare` of its renderings are alike an earlier pattern's
  // rendering of the same variant (a share above 1 folds nothing). Patterns
  // left without samples are dropped.
  ResolveReport Resolve(const std::vector<std::vector<std::string>>& alikeGroups, double mergeShare,
                        int32_t maxCellDiff);

 private:
  std::vector<PatternData> patterns_;
};

// Number of cells in which two inputs differ (elements 1..n).
int32_t CellDifference(const kyt::TLayer& a, const kyt::TLayer& b);

}  // namespace kytdcr

#include "TrainingData.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace kytdcr {
namespace {

std::string Key(const kyt::TLayer& input) {
  std::string key((input.size() + 7) / 8, '\0');
  for (size_t i = 1; i < input.size(); ++i)
    if (input[i] > 0.0f) key[i / 8] = char(key[i / 8] | (1 << (i % 8)));
  return key;
}

}  // namespace

int32_t CellDifference(const kyt::TLayer& a, const kyt::TLayer& b) {
  int32_t diff = 0;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 1; i < n; ++i) diff += (a[i] > 0.0f) != (b[i] > 0.0f) ? 1 : 0;
  return diff + int32_t(std::max(a.size(), b.size()) - n);
}

size_t TrainingData::Pattern(const std::string& name) {
  for (size_t i = 0; i < patterns_.size(); ++i)
    if (patterns_[i].name == name) return i;
  patterns_.push_back(PatternData{name, {}, 0});
  return patterns_.size() - 1;
}

void TrainingData::Add(size_t pattern, kyt::TLayer input, int32_t variant) {
  patterns_[pattern].samples.push_back(Sample{std::move(input), variant});
}

size_t TrainingData::SampleCount() const {
  size_t n = 0;
  for (const auto& p : patterns_) n += p.samples.size();
  return n;
}

ResolveReport TrainingData::Resolve(const std::vector<std::vector<std::string>>& alikeGroups, double mergeShare,
                                   int32_t maxCellDiff) {
  ResolveReport report;
  std::vector<bool> folded(patterns_.size(), false);
  auto fold = [&](size_t a, size_t b, double share, bool listed) {
    report.merges.push_back(MergeNote{patterns_[a].name, patterns_[b].name, share, listed});
    for (Sample& s : patterns_[b].samples) patterns_[a].samples.push_back(std::move(s));
    patterns_[b].samples.clear();
    folded[b] = true;
  };

  // 1. Listed look-alikes join the group's earliest pattern.
  for (const auto& group : alikeGroups) {
    std::vector<size_t> members;
    for (size_t p = 0; p < patterns_.size(); ++p)
      if (!folded[p] && std::find(group.begin(), group.end(), patterns_[p].name) != group.end()) members.push_back(p);
    for (size_t k = 1; k < members.size(); ++k) fold(members[0], members[k], 1.0, true);
  }

  // 2. Measured look-alikes join the earliest earlier pattern they match.
  if (mergeShare <= 1.0) {
    for (size_t b = 1; b < patterns_.size(); ++b) {
      if (folded[b] || patterns_[b].samples.empty()) continue;
      std::multimap<int32_t, const kyt::TLayer*> byVariantB;
      for (const Sample& s : patterns_[b].samples) byVariantB.emplace(s.variant, &s.input);
      std::set<int32_t> variantsB;
      for (const auto& [v, _] : byVariantB) variantsB.insert(v);
      for (size_t a = 0; a < b; ++a) {
        if (folded[a] || patterns_[a].samples.empty()) continue;
        std::set<int32_t> alike;
        for (const Sample& s : patterns_[a].samples) {
          auto [lo, hi] = byVariantB.equal_range(s.variant);
          for (auto it = lo; it != hi; ++it)
            if (CellDifference(s.input, *it->second) <= maxCellDiff) alike.insert(s.variant);
        }
        const double share = double(alike.size()) / double(variantsB.size());
        if (!alike.empty() && share >= mergeShare) {
          fold(a, b, share, false);
          break;
        }
      }
    }
  }

  // 3. One owner per input: the first pattern in priority order.
  std::unordered_map<std::string, size_t> owner;
  for (size_t p = 0; p < patterns_.size(); ++p) {
    std::vector<Sample> kept;
    for (Sample& s : patterns_[p].samples) {
      std::string key = Key(s.input);
      auto [it, inserted] = owner.emplace(key, p);
      if (inserted) {
        kept.push_back(std::move(s));
      } else if (it->second == p) {
        // A repeat stays: it weighs its shape as often as it was rendered.
        kept.push_back(std::move(s));
        report.repeats++;
      } else {
        report.conflictsRemoved++;
      }
    }
    patterns_[p].samples = std::move(kept);
  }

  // 4. Drop patterns without samples (folded ones and those never rendered).
  std::vector<PatternData> remaining;
  for (size_t p = 0; p < patterns_.size(); ++p) {
    if (!patterns_[p].samples.empty()) {
      remaining.push_back(std::move(patterns_[p]));
    } else if (!folded[p]) {
      report.emptyPatterns.push_back(patterns_[p].name);
    }
  }
  patterns_ = std::move(remaining);
  return report;
}

}  // namespace kytdcr

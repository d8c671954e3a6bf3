#pragma once
// kytdcr train --text: a knowledge base learnt from lines of text drawn with
// many fonts (see Corpus.h), trained by the fast trainer (or the network's own
// Train), and measured on fonts and texts it never saw.
#include <cstdint>
#include <string>
#include <vector>

#include "FastTrainer.h"
#include "Options.h"

namespace kytdcr {

// The option names that RunTrainCorpus reads, for the option parser of
// `kytdcr train`.
std::vector<OptionSpec> CorpusOptionSpecs();
extern const char* const kCorpusHelp;

int RunTrainCorpus(const Options& options);

// Characters of a set with the look-alike groups folded: for each character,
// the character recognition names it by (the group's first, most frequent).
std::u32string FoldCharacter(char32_t c, const std::vector<std::u32string>& groups);

// Up to `count` samples of one pattern for the knowledge base's stored
// training set, spread over the groups (fonts) in turn and without repeats:
// indices into `members`, which are sample indices of `set`.
std::vector<size_t> RepresentativeSamples(const SampleSet& set, const std::vector<size_t>& members, size_t count);

// Samples whose inputs are the same cell for cell cannot be told apart by any
// network (a comma and an apostrophe are one short bar at 12 px). Each takes
// the label of the greatest weighted count among its twins (the count of
// each label times weights[label]), of equals the lowest: patterns are
// numbered in priority order, the more frequent character first. Only labels
// that hold at least `minShare` of the twins compete (the most frequent label
// always does). `inputs` holds `cells` values per sample; returns the new
// labels.
std::vector<int32_t> LabelsOfIdenticalInputs(const std::vector<const int8_t*>& inputs, size_t cells,
                                             const std::vector<int32_t>& labels, const std::vector<double>& weights,
                                             double minShare = 0.0);

}  // namespace kytdcr

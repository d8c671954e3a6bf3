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

}  // namespace kytdcr

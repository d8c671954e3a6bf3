#pragma once
// Finding and loading knowledge bases for the tool.
#include <memory>
#include <optional>
#include <string>

#include "recognition/BackPropCls.h"

namespace kytdcr {

// The knowledge base to use: the --kb value if given (a file, or the name of a
// bundled base such as "russian"), else $KYTDCR_KB, else the bundled latin.dcr.
std::string ResolveKnowledgeBase(const std::optional<std::string>& option);

// The folder of the bundled knowledge bases: beside the executable's
// ../share/kytdcr/kb when installed, else the source tree's data/kb.
std::string BundledKnowledgeBaseFolder();

// Loads a knowledge base; raises kyt::Error naming the file when it cannot be
// read or does not describe a usable network. For recognition only its
// training samples are passed over (and the network cannot be saved).
std::unique_ptr<kyt::TBackProp> LoadKnowledgeBase(const std::string& fileName,
                                                  kyt::KnowledgeBaseParts parts = kyt::KnowledgeBaseParts::All);

}  // namespace kytdcr

#pragma once
// The page reader's language model for a knowledge base.
#include <optional>
#include <string>

#include "reader/LanguageModel.h"
#include "recognition/BackPropCls.h"

namespace kytdcr {

// --language-model: "none" for no model, "auto" for the bundled model of the
// knowledge base's letters (latin.lm or russian.lm beside the bundled bases;
// none when it is missing or the base has no letters), else a model file.
// Raises kyt::Error for a file that is no model.
std::optional<reader::LanguageModel> ChooseLanguageModel(const std::string& option, const kyt::TBackProp& network);

}  // namespace kytdcr

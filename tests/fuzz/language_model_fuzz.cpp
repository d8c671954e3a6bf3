// The page reader's language-model file reader on any bytes. It either
// refuses the file with an error naming it or reads a model; a model read
// writes back as the very bytes it was read from, its probabilities are
// finite in every state the fuzzer walks, and its states stay within its
// order.
#include <cmath>
#include <string>

#include "FuzzInput.h"
#include "core/Error.h"
#include "reader/LanguageModel.h"

using kytdcr::reader::LanguageModel;
using kyt::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  LanguageModel model;
  try {
    model = LanguageModel::Parse(bytes, "fuzz.lm");
  } catch (const kyt::Error& e) {
    Check(std::string(e.what()).find("fuzz.lm") != std::string::npos, "an error names the file");
    return 0;
  }
  Check(model.Serialize() == bytes, "a model read writes back as its bytes");
  // Walk the text of the file's own last bytes through the model.
  LanguageModel::State state = model.Start();
  for (size_t i = size > 64 ? size - 64 : 0; i < size; ++i) {
    const int symbol = model.SymbolOf(data[i]);
    Check(symbol >= 0 && symbol < model.Symbols(), "every byte is a symbol");
    Check(std::isfinite(model.LogProb(state, symbol)), "probabilities are finite");
    state = model.Advance(state, symbol);
    Check(model.Order() < 2 || state >> (6 * (model.Order() - 1)) == 0, "a state holds order - 1 symbols");
  }
  return 0;
}

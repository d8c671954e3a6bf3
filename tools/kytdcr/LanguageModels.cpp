// kytdcr language-model: builds the page reader's character n-gram model from
// texts, or describes one; and the choice of a model for a knowledge base.
#include "LanguageModels.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Commands.h"
#include "KnowledgeBase.h"
#include "Options.h"
#include "Text.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr language-model --alphabet latin|russian [OPTIONS] -o FILE TEXT...\n"
    "       kytdcr language-model --describe FILE [--text TEXT]\n"
    "\n"
    "Builds the character n-gram model that 'kytdcr recognize' weighs its\n"
    "readings with: letters of both cases as one, all digits as one symbol,\n"
    "the blank between words and the common signs; interpolated Witten-Bell\n"
    "estimates, pruned by count, stored with backoff weights. TEXT files are\n"
    "UTF-8 ('-' standard input); lines that are not UTF-8 are skipped and\n"
    "characters outside code page 1251 count as 'other'.\n"
    "\n"
    "Options:\n"
    "  --alphabet A      latin (a-z and the ASCII signs) or russian (а-я, ё as е)\n"
    "  --order N         longest n-gram, 1-8 (default 5)\n"
    "  --min-count LIST  least count kept per order, e.g. 1,1,2,2,3 (default);\n"
    "                    the last value holds for higher orders\n"
    "  -o FILE           where to write the model\n"
    "  --describe FILE   print a model's order, alphabet and n-gram counts\n"
    "  --text TEXT       with --describe: the model's ln P of a UTF-8 text per character\n"
    "  -h, --help        show this help\n";

// UTF-8 text as code page 1251, leniently: a line that is not UTF-8 is left
// out, a character the code page lacks becomes a control byte (the model's 'other').
std::string LenientCp1251(const std::string& utf8, size_t& skipped) {
  std::string out;
  std::istringstream lines(utf8);
  std::string line;
  while (std::getline(lines, line)) {
    std::u32string points;
    try {
      points = Utf8ToCodePoints(line);
    } catch (const std::exception&) {
      ++skipped;
      continue;
    }
    for (char32_t c : points) {
      const int b = CodePointToCp1251(c);
      out += b < 0 ? char(0x01) : char(b);
    }
    out += '\n';
  }
  return out;
}

std::string ReadAll(const std::string& file) {
  if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
  std::ifstream in(file, std::ios::binary);
  if (!in) throw kyt::Error("cannot read " + file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int RunLanguageModel(const Args& args) {
  Options options(args, {{"alphabet"}, {"order"}, {"min-count"}, {"output", 'o'}, {"describe"}, {"text"},
                         {"help", 'h', false}});
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (const auto file = options.Value("describe")) {
    const reader::LanguageModel model = reader::LanguageModel::Load(*file);
    std::printf("order %d, %d symbols, %zu n-grams\n", model.Order(), model.Symbols(), model.Size());
    if (const auto text = options.Value("text")) {
      const std::string cp = Utf8ToCp1251(*text);
      const double lp = model.LogProbOfText(cp);
      std::printf("ln P %.3f, %.3f per character\n", lp, cp.empty() ? 0.0 : lp / double(cp.size()));
    }
    return 0;
  }
  const auto alphabetName = options.Value("alphabet");
  if (!alphabetName) throw UsageError("--alphabet is needed (latin or russian)");
  const auto output = options.Value("output");
  if (!output) throw UsageError("-o FILE is needed");
  if (options.Positional().empty()) throw UsageError("no text given");
  const int32_t order = ParseInt(options.Value("order", "5"), "--order", 1, reader::LanguageModel::kMaxOrder);
  std::vector<uint32_t> minCounts;
  for (int32_t v : ParseIntList(options.Value("min-count", "1,1,2,2,3"), "--min-count", 1, 1000000))
    minCounts.push_back(uint32_t(v));
  for (size_t i = 1; i < minCounts.size(); ++i)
    if (minCounts[i] < minCounts[i - 1]) throw UsageError("--min-count: the counts may not fall with the order");

  std::string text;
  size_t skipped = 0;
  for (const std::string& file : options.Positional()) text += LenientCp1251(ReadAll(file), skipped);
  const reader::LanguageModel model =
      reader::LanguageModel::Train(text, reader::LanguageModel::AlphabetFor(*alphabetName), order, minCounts);
  const std::string bytes = model.Serialize();
  std::ofstream out(*output, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw kyt::Error("cannot write " + *output);
  std::fprintf(stderr, "%zu characters of text (%zu lines skipped), %zu n-grams, %zu bytes\n", text.size(), skipped,
               model.Size(), bytes.size());
  return 0;
}

std::optional<reader::LanguageModel> ChooseLanguageModel(const std::string& option, const kyt::TBackProp& network) {
  if (option == "none") return std::nullopt;
  if (option != "auto") return reader::LanguageModel::Load(option);
  // The bundled model of the knowledge base's letters: Cyrillic or Latin.
  size_t cyrillic = 0, latin = 0;
  for (const kyt::TTrainingPairs& p : network.TrainingSet) {
    if (p.Name.size() != 1) continue;
    const unsigned char c = static_cast<unsigned char>(p.Name[0]);
    cyrillic += c >= 0xC0;
    latin += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }
  if (cyrillic == 0 && latin == 0) return std::nullopt;
  const std::filesystem::path file =
      std::filesystem::path(BundledKnowledgeBaseFolder()) / (cyrillic > latin ? "russian.lm" : "latin.lm");
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return std::nullopt;
  return reader::LanguageModel::Load(file.string());
}

}  // namespace kytdcr

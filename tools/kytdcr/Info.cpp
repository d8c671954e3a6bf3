// kytdcr info: what a knowledge base holds.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "KnowledgeBase.h"
#include "Options.h"
#include "Text.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr info [OPTIONS] FILE.dcr\n"
    "\n"
    "Prints the dimensions of a knowledge base's network, its patterns (names as\n"
    "UTF-8, with their sample counts), its training parameters and statistics.\n"
    "\n"
    "Options:\n"
    "  --brief        leave out the list of patterns\n"
    "  -h, --help     show this help\n";

// A pattern name as shown in the list: quoted when empty or holding blanks or
// control characters.
std::string ShowName(const std::string& cp1251) {
  std::string shown = Cp1251ToUtf8(cp1251);
  bool plain = !cp1251.empty();
  for (unsigned char c : cp1251)
    if (c <= ' ' || c == '"' || c == 0x7F) plain = false;
  if (plain) return shown;
  std::string quoted = "\"";
  for (unsigned char c : cp1251) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += char(c);
    } else if (c < ' ' || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      quoted += buf;
    } else {
      quoted += Cp1251ToUtf8(std::string(1, char(c)));
    }
  }
  return quoted + "\"";
}

}  // namespace

int RunInfo(const Args& args) {
  Options options(args, {{"brief", 0, false}, {"help", 'h', false}});
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (options.Positional().size() != 1) throw UsageError("give exactly one knowledge base");
  const std::string file = ResolveKnowledgeBase(options.Positional()[0]);
  auto net = LoadKnowledgeBase(file);

  size_t samples = 0;
  for (const auto& p : net->TrainingSet) samples += p.Samples.size();
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file, ec);

  std::printf("knowledge base  %s (%llu bytes)\n", file.c_str(), ec ? 0ULL : (unsigned long long)bytes);
  std::printf("glyph grid      %d x %d pixels (width x height), %d inputs\n", net->InputCols, net->InputRows,
              net->InputCount);
  std::printf("hidden units    %d\n", net->HiddenCount);
  std::printf("outputs         %d (%d x %d)\n", net->OutputCount, net->OutputRows, net->OutputCols);
  std::printf("patterns        %d, %zu samples\n", net->PatternCount(), samples);
  std::printf("parameters      learning rate %g, weight range %g, tolerance %g\n", double(net->LearningRate),
              double(net->WeightRange), double(net->Tolerance));
  std::printf("goals           error goal %g, mean error goal %g, max epochs %d\n", double(net->ErrorGoal),
              double(net->MeanErrorGoal), net->MaxEpochs);
  const double mean = net->TargetValueCount > 0 ? double(net->ErrorSum) / net->TargetValueCount : 0.0;
  std::printf("statistics      epoch %d, wrong outputs %d, squared error sum %g (mean %g)\n", net->Epoch,
              net->ErrorCount, double(net->ErrorSum), mean);
  if (!options.Has("brief")) {
    std::printf("\n  #  name  samples\n");
    for (int32_t i = 0; i < net->PatternCount(); ++i) {
      std::string name = ShowName(net->PatternName(i));
      size_t shown = 0;  // characters, not bytes
      for (unsigned char c : name) shown += (c & 0xC0) != 0x80 ? 1 : 0;
      if (shown < 4) name.append(4 - shown, ' ');
      std::printf("%3d  %s  %zu\n", i, name.c_str(), net->TrainingSet[size_t(i)].Samples.size());
    }
  }
  return 0;
}

}  // namespace kytdcr

// kytdcr: character recognition from the command line with the kytDCR engine.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Commands.h"
#include "Options.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const kytdcr::Args&);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"recognize", kytdcr::RunRecognize, "print the text of pictures"},
    {"train", kytdcr::RunTrain, "build a knowledge base from fonts or labelled glyph pictures"},
    {"info", kytdcr::RunInfo, "describe a knowledge base"},
    {"segment", kytdcr::RunSegment, "draw the lines, words and glyphs that segmentation finds"},
    {"render", kytdcr::RunRender, "draw text with a font into a picture (samples, tests)"},
    {"language-model", kytdcr::RunLanguageModel, "build or describe the reader's character n-gram model"},
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: kytdcr COMMAND [OPTIONS] [ARGUMENTS]\n"
      "\n"
      "Character recognition with a small back-propagation network and a\n"
      "knowledge base (.dcr file).\n"
      "\n"
      "Commands:\n",
      out);
  for (const Command& c : kCommands) std::fprintf(out, "  %-15s %s\n", c.name, c.summary);
  std::fputs(
      "\n"
      "'kytdcr COMMAND --help' describes a command.\n"
      "Example: kytdcr recognize data/samples/sample.png\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  // The tool runs without a screen.
  kyt::HeadlessPlatform platform;
  kyt::InstallPlatform(&platform);
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    if (first == "help" && argc > 2) {
      for (const Command& c : kCommands)
        if (std::strcmp(c.name, argv[2]) == 0) return c.run({"--help"});
    }
    PrintUsage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::puts("kytdcr 1.01");
    return 0;
  }
  for (const Command& c : kCommands) {
    if (first != c.name) continue;
    try {
      return c.run(kytdcr::Args(argv + 2, argv + argc));
    } catch (const kytdcr::UsageError& e) {
      std::fprintf(stderr, "kytdcr %s: %s\nTry 'kytdcr %s --help'.\n", c.name, e.what(), c.name);
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kytdcr %s: %s\n", c.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "kytdcr: unknown command '%s'\n\n", first.c_str());
  PrintUsage(stderr);
  return 2;
}

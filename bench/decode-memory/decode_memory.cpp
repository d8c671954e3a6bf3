// Decodes one picture file, chosen by its extension as picture loading does,
// and prints its size in bytes, what came out, and the peak memory of the
// process (bench/decode-memory/decode-memory.sh runs it once per file).
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/headless/HeadlessPlatform.h"
#include "window/PictureLoader.h"

int main(int argc, char** argv) {
  kyt::HeadlessPlatform platform;
  kyt::InstallPlatform(&platform);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kyt_decode_memory PICTURE\n");
    return 2;
  }
  const std::string name = argv[1];
  std::ifstream in(name, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string outcome;
  try {
    const kyt::Bitmap picture = kyt::DecodePicture(bytes, name.substr(name.rfind('.') + 1));
    outcome = std::to_string(picture.Width()) + " x " + std::to_string(picture.Height());
  } catch (const std::exception& e) {
    outcome = std::string("refused: ") + e.what();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s\t%zu\t%ld\t%s\n", name.substr(name.rfind('/') + 1).c_str(), bytes.size(), usage.ru_maxrss / 1024,
              outcome.c_str());
  return 0;
}

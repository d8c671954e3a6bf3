// Loads one knowledge base, from the file or through a host's embedded stream
// (which hands the whole stream over in memory, as the plug-in's host does),
// and prints the file's size, the outcome and the peak memory of the process
// (bench/decode-memory/kb-memory.sh runs it once per file and source).
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/Actions.h"
#include "host/HostInterface.h"
#include "recognition/BackPropCls.h"

namespace {

// A host whose one embedded file is read from disk when it is asked for.
class FileBackedHost : public kyt::IHost {
 public:
  explicit FileBackedHost(std::string path) : path_(std::move(path)) {}
  std::string LastError;

  void AddAction(int32_t, const std::string&, const std::string&, const std::vector<uint8_t>&, uint8_t) override {}
  bool HasVariableAccess() const override { return true; }
  std::string GetVariable(const std::string&) override { return {}; }
  void SetVariable(const std::string&, const std::string& value) override { LastError = value; }
  bool HasInterfaceAccess() const override { return false; }
  bool InterfaceAccess(int32_t, std::optional<std::string>&) override { return false; }
  bool HasStreamAccess() const override { return true; }
  // One buffer of the stream's size, so that the figure shows what the reader
  // takes beside its in-memory copy.
  bool StreamAccess(const std::string&, std::vector<uint8_t>& content) override {
    std::ifstream in(path_, std::ios::binary | std::ios::ate);
    if (!in) return false;
    content.resize(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(content.data()), std::streamsize(content.size()));
    return bool(in);
  }

 private:
  std::string path_;
};

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string how = argc == 3 ? argv[1] : "";
  if (how != "file" && how != "stream") {
    std::fprintf(stderr, "usage: kyt_kb_memory file|stream KNOWLEDGE-BASE\n");
    return 2;
  }
  const std::string path = argv[2];
  long size = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    size = std::ftell(f);
    std::fclose(f);
  }
  const long before = PeakKilobytes();
  kyt::TBackProp net(1, 1, 1, 1, 1);
  std::string outcome;
  try {
    if (how == "file") {
      net.LoadFromFile(path);
    } else {
      FileBackedHost host(path);
      kyt::LoadFromHostStream(net, "embedded:\\" + path, host);
      if (!host.LastError.empty()) throw std::runtime_error(host.LastError);
    }
    outcome = "loaded " + std::to_string(net.InputCount) + "-" + std::to_string(net.HiddenCount) + "-" +
              std::to_string(net.OutputCount) + ", " + std::to_string(net.TrainingSet.size()) + " patterns";
  } catch (const std::exception& e) {
    outcome = std::string("refused: ") + e.what();
  }
  const long peak = PeakKilobytes();
  const std::string name = path.substr(path.rfind('/') + 1);
  std::printf("%s\t%s\t%ld\t%.1f\t%.1f\t%s\n", name.c_str(), how.c_str(), size, peak / 1024.0,
              (peak - before) / 1024.0, outcome.c_str());
  return 0;
}

// The knowledge-base reader, from bytes and through the host's stream. A load
// that fails leaves the network exactly as it was (what a save writes, and
// Modified); a load that succeeds saves back byte for byte as the file began
// (a reader ignores what follows the trailer), clears Modified, and gives a
// network that can run.
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "core/Error.h"
#include "host/Actions.h"
#include "host/HostInterface.h"
#include "recognition/BackPropCls.h"

namespace {

using kyt::fuzz::Check;

// A host that holds one embedded file and keeps the last [LastError].
class StreamHost : public kyt::IHost {
 public:
  explicit StreamHost(const std::vector<uint8_t>& file) : file_(file) {}
  std::optional<std::string> LastError;

  void AddAction(int32_t, const std::string&, const std::string&, const std::vector<uint8_t>&, uint8_t) override {}
  bool HasVariableAccess() const override { return true; }
  std::string GetVariable(const std::string&) override { return {}; }
  void SetVariable(const std::string& name, const std::string& value) override {
    Check(name == "[LastError]", "the reader writes only [LastError]");
    LastError = value;
  }
  bool HasInterfaceAccess() const override { return false; }
  bool InterfaceAccess(int32_t, std::optional<std::string>&) override { return false; }
  bool HasStreamAccess() const override { return true; }
  bool StreamAccess(const std::string&, std::vector<uint8_t>& content) override {
    content = file_;
    return true;
  }

 private:
  const std::vector<uint8_t>& file_;
};

// A small network with a pattern, as a window holds one before a load.
kyt::TBackProp MakeNetwork() {
  kyt::TBackProp net(2, 3, 2, 2, 4);
  net.SetRandomSeed(7);
  net.RandomizeWeights();
  kyt::TTrainingPairs pattern;
  pattern.Samples.assign(2, kyt::TLayer(7, 1.0f));
  pattern.Target.assign(5, -1.0f);
  pattern.Name = "A";
  net.AddTrainingPairs(pattern);
  net.Modified = true;
  return net;
}

void CheckLoaded(kyt::TBackProp& net, const std::vector<uint8_t>& file) {
  const std::vector<uint8_t> saved = net.SaveToBytes();
  Check(saved.size() <= file.size() && std::equal(saved.begin(), saved.end(), file.begin()),
        "a loaded knowledge base saves back byte for byte");
  Check(!net.Modified, "a load clears Modified");
  // Run it when it is small enough to be quick.
  if (int64_t(net.InputCount) * net.HiddenCount + int64_t(net.OutputCount) * net.HiddenCount <= 1 << 16 &&
      int64_t(net.TrainingSet.size()) * net.OutputCount <= 1 << 16) {
    for (size_t i = 1; i < net.InputLayer.size(); ++i) net.InputLayer[i] = (i & 1) ? 1.0f : -1.0f;
    net.Propagate();
    std::string name;
    net.Recognize(name);
    bool known = net.TrainingSet.empty() && name.empty();
    for (const kyt::TTrainingPairs& p : net.TrainingSet) known = known || p.Name == name;
    Check(known, "recognition answers a pattern's name");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);

  // From bytes (the file path reads the whole file and parses it the same way).
  {
    kyt::TBackProp net = MakeNetwork();
    const std::vector<uint8_t> before = net.SaveToBytes();
    bool loaded = false;
    try {
      net.LoadFromBytes(file);
      loaded = true;
    } catch (const kyt::Error&) {
      Check(net.SaveToBytes() == before && net.Modified, "a failed load leaves the network as it was");
    }
    if (loaded) CheckLoaded(net, file);
  }

  // Through the host's stream: failures go to [LastError], never out.
  {
    kyt::TBackProp net = MakeNetwork();
    const std::vector<uint8_t> before = net.SaveToBytes();
    StreamHost host(file);
    kyt::LoadFromHostStream(net, "embedded:\\\\\\kb.dcr", host);
    if (host.LastError) {
      Check(!host.LastError->empty(), "a failed load says why");
      Check(net.SaveToBytes() == before && net.Modified, "a failed stream load leaves the network as it was");
    } else {
      CheckLoaded(net, file);
    }
  }
  return 0;
}

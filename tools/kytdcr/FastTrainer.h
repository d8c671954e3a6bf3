#pragma once
// The fast trainer of the tool: the same three-layer network with bipolar
// sigmoid units as TBackProp, trained in single-precision floats with
// vectorised loops, mini-batches shared out over the cores, momentum, a
// warm-up and cosine learning-rate schedule, and early stopping on a held-back
// validation set (the weights of the best validation epoch are kept). Its
// result goes into an ordinary TBackProp, which recognition runs with its exact
// forward pass.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recognition/BackPropCls.h"

namespace kytdcr {

// Samples in compact form: +1/-1 inputs (no bias element) and a pattern index.
class SampleSet {
 public:
  explicit SampleSet(int32_t inputs = 0) : inputs_(inputs) {}
  int32_t Inputs() const { return inputs_; }
  size_t Size() const { return labels_.size(); }
  // `input` holds Inputs() values; positive is ink. Raises kyt::Error for a
  // negative label.
  void Add(const float* input, int32_t label, int32_t group = 0);
  void Add(const int8_t* input, int32_t label, int32_t group = 0);
  const int8_t* Input(size_t i) const { return x_.data() + i * size_t(inputs_); }
  int32_t Label(size_t i) const { return labels_[i]; }
  int32_t Group(size_t i) const { return groups_[i]; }  // the font or source it came from

 private:
  int32_t inputs_;
  std::vector<int8_t> x_;
  std::vector<int32_t> labels_, groups_;
};

struct FastTrainOptions {
  int32_t hidden = 128;
  int32_t maxEpochs = 30;
  int32_t patience = 4;        // epochs without a better validation score before stopping
  int32_t batch = 64;
  double learningRate = 0.1;   // peak step size, per sample of a batch
  double momentum = 0.9;
  int32_t threads = 2;
  uint64_t seed = 1;
};

struct EpochReport {
  int32_t epoch = 0;
  double meanSquaredError = 0.0;  // over the epoch's outputs, as the weights moved
  int64_t wrongOutputs = 0;       // outputs at least 1.0 from their target
  double validationAccuracy = 0.0;  // share of validation samples named right (1.0 when there are none)
  double learningRate = 0.0;      // at the end of the epoch
  double seconds = 0.0;           // since training began
  double samplesPerSecond = 0.0;  // of this epoch
};

// A network in training layout: w1t[(i)*H + h] is the weight from input i
// (0 = bias) to hidden unit h+1; w2t[h*O + o] from hidden h (0 = bias) to
// output o+1.
struct FloatNetwork {
  int32_t inputs = 0, hidden = 0, outputs = 0;
  std::vector<float> w1t, w2t;

  // Hidden activations (H values) and outputs (O values) for one input.
  void Forward(const int8_t* x, float* hiddenOut, float* out) const;
  // The pattern whose target agrees in sign with most outputs, the earliest on
  // ties: the decision of TBackProp::Recognize with tolerance 1 and +/-1 targets.
  static int32_t Decide(const float* out, const std::vector<std::vector<float>>& targets);
  // Weights into `net`, whose dimensions must match (raises kyt::Error otherwise).
  void CopyTo(kyt::TBackProp& net) const;
};

struct FastTrainResult {
  FloatNetwork network;  // the best validation epoch's weights
  int32_t bestEpoch = 0, epochsRun = 0;
  double bestValidationAccuracy = 0.0;
  double samplesPerSecond = 0.0;  // over the whole run
  EpochReport last;
};

// Trains from random weights. `targets` holds one vector of O values (+1/-1)
// per pattern; every label of the two sets must index it. `onEpoch` sees every
// epoch and may return false to stop. Raises kyt::Error for inconsistent
// arguments.
FastTrainResult TrainFast(const SampleSet& train, const SampleSet& validation,
                          const std::vector<std::vector<float>>& targets, const FastTrainOptions& options,
                          const std::function<bool(const EpochReport&)>& onEpoch = {});

// Share of `set` that `net` names right (float forward pass), computed on
// `threads` cores.
double FloatAccuracy(const FloatNetwork& net, const SampleSet& set, const std::vector<std::vector<float>>& targets,
                     int32_t threads);

}  // namespace kytdcr

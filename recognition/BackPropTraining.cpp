// TBackProp's training set and its training: on-line back-propagation over the
// whole set, epoch after epoch, until a goal is met or a stop is requested.
//
// Arithmetic as in the forward pass: long double steps, float stores, float
// running sums in ascending index order. The per-unit error terms, which are
// used again after they are rounded, are rounded with Single()
// (recognition/Single.h). Products such as LearningRate * delta are exact in
// long double (24 x 24 bits), so computing them once per row gives the same
// values as forming them per element.
#include <algorithm>
#include <cmath>

#include "core/Error.h"
#include "recognition/BackPropCls.h"
#include "recognition/EngineHooks.h"
#include "recognition/ForwardKernels.h"
#include "recognition/Single.h"

namespace kyt {

namespace {

// Working storage of one training run, indexed like the layers and weights
// they go with.
struct TrainingStorage {
  TrainingStorage(int32_t inputs, int32_t hidden, int32_t outputs)
      : I(inputs),
        H(hidden),
        O(outputs),
        OutputErrors(size_t(outputs) + 1, 0.0f),
        HiddenErrors(size_t(hidden) + 1, 0.0f),
        OutputChanges(size_t(outputs) + 1, TLayer(size_t(hidden) + 1, 0.0f)),
        HiddenChanges(size_t(hidden) + 1, TLayer(size_t(inputs) + 1, 0.0f)),
        OutputRates(size_t(outputs) + 1, 0.0),
        HiddenRates(size_t(hidden) + 1, 0.0) {}

  int32_t I, H, O;
  TLayer OutputErrors;          // TErrors, O + 1
  TLayer HiddenErrors;          // TErrors, H + 1
  TLayerWeights OutputChanges;  // TWeightCorrection, (O + 1) x (H + 1)
  TLayerWeights HiddenChanges;  // TWeightCorrection, (H + 1) x (I + 1)
  // With the kernels the changes are not stored: LearningRate x delta per unit.
  std::vector<double> OutputRates, HiddenRates;
};

// One on-line step: forward pass for `sample`, error terms against `target`,
// then both weight matrices corrected.
void TrainSample(TBackProp& net, const TLayer& sample, const TLayer& target, TrainingStorage& w) {
  const int32_t I = w.I, H = w.H, O = w.O;
  float* in = net.InputLayer.data();
  const size_t given = std::min(sample.size(), size_t(I) + 1);
  for (size_t i = 1; i < given; ++i) in[i] = sample[i];
  for (size_t i = std::max<size_t>(given, 1); i <= size_t(I); ++i) in[i] = 0.0f;
  net.Propagate();

  const float* hid = net.HiddenLayer.data();
  const float* out = net.OutputLayer.data();
  const long double rate = net.LearningRate;
  float errorSum = net.ErrorSum;
  int32_t errorCount = net.ErrorCount;
  float* deltaO = w.OutputErrors.data();
  for (int32_t o = 1; o <= O; ++o) {
    const float t = size_t(o) < target.size() ? target[size_t(o)] : 0.0f;
    const float d = Single(static_cast<long double>(t) - out[o]);
    if (std::fabs(d) >= net.Tolerance) ++errorCount;
    errorSum = Single(errorSum + static_cast<long double>(d) * d);
    deltaO[o] = Single(static_cast<long double>(TBackProp::ActivationDerivative(out[o])) * d);
    const long double step = rate * deltaO[o];
    float* change = w.OutputChanges[size_t(o)].data();
    for (int32_t h = 0; h <= H; ++h) change[h] = float(step * hid[h]);
  }
  net.ErrorSum = errorSum;
  net.ErrorCount = errorCount;

  // Hidden error terms from the output weights as they were before this
  // sample. Row by row, so that each hidden unit's sum still runs over o in
  // ascending order while the weights are read in memory order.
  float* deltaH = w.HiddenErrors.data();
  std::fill(deltaH, deltaH + H + 1, 0.0f);
  for (int32_t o = 1; o <= O; ++o) {
    const long double dO = deltaO[o];
    const float* weights = net.OutputWeights[size_t(o)].data();
    for (int32_t h = 1; h <= H; ++h) deltaH[h] = float(deltaH[h] + dO * weights[h]);
  }
  for (int32_t h = 1; h <= H; ++h) {
    deltaH[h] = Single(static_cast<long double>(TBackProp::ActivationDerivative(hid[h])) * deltaH[h]);
    const long double step = rate * deltaH[h];
    float* change = w.HiddenChanges[size_t(h)].data();
    for (int32_t i = 0; i <= I; ++i) change[i] = float(step * in[i]);
  }

  for (int32_t o = 1; o <= O; ++o) {
    float* weights = net.OutputWeights[size_t(o)].data();
    const float* change = w.OutputChanges[size_t(o)].data();
    for (int32_t h = 0; h <= H; ++h) weights[h] = float(static_cast<long double>(weights[h]) + change[h]);
  }
  for (int32_t h = 1; h <= H; ++h) {
    float* weights = net.HiddenWeights[size_t(h)].data();
    const float* change = w.HiddenChanges[size_t(h)].data();
    for (int32_t i = 0; i <= I; ++i) weights[i] = float(static_cast<long double>(weights[i]) + change[i]);
  }
}

// The same step with the kernels: the forward pass, the hidden error sums
// and the weight changes from them, the per-unit terms as above. Every
// element comes out as in TrainSample (ForwardKernels.h).
void TrainSampleFast(TBackProp& net, const TLayer& sample, const TLayer& target, TrainingStorage& w,
                     kernels::TrainingKernels& fast) {
  const int32_t I = w.I, H = w.H, O = w.O;
  float* in = net.InputLayer.data();
  const size_t given = std::min(sample.size(), size_t(I) + 1);
  for (size_t i = 1; i < given; ++i) in[i] = sample[i];
  for (size_t i = std::max<size_t>(given, 1); i <= size_t(I); ++i) in[i] = 0.0f;
  fast.Propagate(net);

  const float* hid = net.HiddenLayer.data();
  const float* out = net.OutputLayer.data();
  // LearningRate * delta is exact in double as in extended precision.
  const double rate = net.LearningRate;
  float errorSum = net.ErrorSum;
  int32_t errorCount = net.ErrorCount;
  float* deltaO = w.OutputErrors.data();
  double* outRates = w.OutputRates.data();
  for (int32_t o = 1; o <= O; ++o) {
    const float t = size_t(o) < target.size() ? target[size_t(o)] : 0.0f;
    const float d = Single(static_cast<long double>(t) - out[o]);
    if (std::fabs(d) >= net.Tolerance) ++errorCount;
    errorSum = Single(errorSum + static_cast<long double>(d) * d);
    deltaO[o] = Single(static_cast<long double>(TBackProp::ActivationDerivative(out[o])) * d);
    outRates[o] = rate * deltaO[o];
  }
  net.ErrorSum = errorSum;
  net.ErrorCount = errorCount;

  float* deltaH = w.HiddenErrors.data();
  fast.HiddenErrorSums(net, deltaO, deltaH);
  double* hiddenRates = w.HiddenRates.data();
  for (int32_t h = 1; h <= H; ++h) {
    deltaH[h] = Single(static_cast<long double>(TBackProp::ActivationDerivative(hid[h])) * deltaH[h]);
    hiddenRates[h] = rate * deltaH[h];
  }
  fast.Update(net, outRates, hiddenRates);
}

}  // namespace

void TBackProp::AddTrainingPairs(const TTrainingPairs& pairs) {
  // A pattern of this very set, handed back in, must survive the set growing.
  if (!TrainingSet.empty() && &pairs >= TrainingSet.data() && &pairs < TrainingSet.data() + TrainingSet.size()) {
    const TTrainingPairs copy = pairs;
    AddTrainingPairs(copy);
    return;
  }
  const size_t k = pairs.Samples.size();
  const size_t inputs = size_t(std::max(InputCount, 0)) + 1;
  const size_t outputs = size_t(std::max(OutputCount, 0)) + 1;
  auto found = std::find_if(TrainingSet.begin(), TrainingSet.end(),
                            [&](const TTrainingPairs& p) { return p.Name == pairs.Name; });
  TTrainingPairs* pattern;
  if (found != TrainingSet.end()) {
    pattern = &*found;
  } else {
    TrainingSet.emplace_back();
    pattern = &TrainingSet.back();
    pattern->Target.assign(outputs, 0.0f);
  }
  const size_t first = pattern->Samples.size();
  pattern->Samples.resize(first + k, TLayer(inputs, 0.0f));
  for (size_t s = 0; s < k; ++s) {
    const TLayer& given = pairs.Samples[s];
    TLayer& stored = pattern->Samples[first + s];
    // Elements 1 to the sample's last one; anything past the input layer is not taken.
    std::copy(given.begin() + std::ptrdiff_t(std::min<size_t>(given.size(), 1)),
              given.begin() + std::ptrdiff_t(std::min(given.size(), inputs)), stored.begin() + 1);
  }
  if (pattern->Samples.size() == k) {
    pattern->Target.assign(outputs, 0.0f);
    const TLayer& target = pairs.Target;
    std::copy(target.begin() + std::ptrdiff_t(std::min<size_t>(target.size(), 1)),
              target.begin() + std::ptrdiff_t(std::min(target.size(), outputs)), pattern->Target.begin() + 1);
    pattern->Name = pairs.Name;
  }
  CountTargetValues();
  Modified = true;
}

void TBackProp::Retrain() {
  RandomizeWeights();
  Epoch = 0;
  Train();
}

void TBackProp::Train() {
  TrainingStorage storage(InputCount, HiddenCount, OutputCount);
  const int32_t start = Epoch;
  StopRequested = false;
  const EngineHooks& hooks = CurrentEngineHooks();
  const kernels::Level level = kernels::CurrentLevel();
  kernels::TrainingKernels fast;
  for (;;) {
    ++Epoch;
    ErrorSum = 0.0f;
    ErrorCount = 0;
    // Packed again every epoch, after OnEpoch, which may change the weights.
    const bool useFast = level != kernels::Level::Reference && fast.Begin(*this, level);
    // Indices, not iterators: message handlers run between samples.
    for (size_t p = 0; p < TrainingSet.size(); ++p) {
      for (size_t s = 0; s < TrainingSet[p].Samples.size(); ++s) {
        if (InputCount != storage.I || HiddenCount != storage.H || OutputCount != storage.O)
          throw Error("The network was reshaped while it was being trained.");
        if (useFast) {
          TrainSampleFast(*this, TrainingSet[p].Samples[s], TrainingSet[p].Target, storage, fast);
        } else {
          TrainSample(*this, TrainingSet[p].Samples[s], TrainingSet[p].Target, storage);
        }
        if (hooks.ProcessMessages) hooks.ProcessMessages();
      }
    }
    if (StopRequested) break;
    if (OnEpoch) OnEpoch(*this);
    if (!(static_cast<long double>(ErrorCount) > ErrorGoal)) break;
    // An epoch without any target value has no mean error to improve: the run ends.
    if (TargetValueCount <= 0) break;
    if (!(static_cast<long double>(ErrorSum) / TargetValueCount > MeanErrorGoal)) break;
    if (!(int64_t(Epoch) - start < MaxEpochs)) break;
  }
  Modified = true;
  if (OnTrained) OnTrained(*this);
}

}  // namespace kyt

// TBackProp: construction, layers, random weights, the activation function,
// the forward pass and the ranking of the stored patterns.
//
// Arithmetic: every value is converted to long double (exact), every step is
// done in long double, and a result is rounded to float when it is stored.
// Running sums are float variables rounded after every addition, in ascending
// index order, bias (index 0) first. The loops below are arranged for speed
// (several independent sums at once, raw pointers) without changing a single
// rounding: each sum still sees its terms in the same order.
#include "recognition/BackPropCls.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

#include "core/Error.h"
#include "recognition/Single.h"

namespace kyt {

namespace {

// ln of the largest long double: e^(-x) overflows exactly when -x exceeds it.
// Testing first keeps the overflow from ever being raised (a host may run with
// floating-point exceptions unmasked).
const long double kLnMaxLongDouble = std::log(LDBL_MAX);

int32_t CheckedProduct(int32_t a, int32_t b, const char* what) {
  const int64_t product = int64_t(a) * int64_t(b);
  if (a < 0 || b < 0 || product >= std::numeric_limits<int32_t>::max())
    throw Error(std::string("Invalid network dimensions: the ") + what + " grid " + std::to_string(a) + " x " +
                std::to_string(b) + " is not allowed.");
  return int32_t(product);
}

// One layer of the forward pass: out[u] := Activation(sum over i = 0..n of
// in[i] * w[u][i]) for u = 1..units. kBlock units are summed side by side so
// that the rounding stores of independent sums overlap; each sum keeps its own
// order of terms.
constexpr int32_t kBlock = 8;

void ForwardLayer(const float* in, int32_t n, const TLayerWeights& weights, float* out, int32_t units) {
  int32_t u = 1;
  for (; u + kBlock - 1 <= units; u += kBlock) {
    const float* w[kBlock];
    float s[kBlock];
    for (int32_t k = 0; k < kBlock; ++k) {
      w[k] = weights[size_t(u + k)].data();
      s[k] = 0.0f;
    }
    for (int32_t i = 0; i <= n; ++i) {
      const long double x = in[i];
      for (int32_t k = 0; k < kBlock; ++k) s[k] = float(s[k] + x * w[k][i]);
    }
    for (int32_t k = 0; k < kBlock; ++k) out[u + k] = TBackProp::Activation(s[k]);
  }
  for (; u <= units; ++u) {
    const float* w = weights[size_t(u)].data();
    float s = 0.0f;
    for (int32_t i = 0; i <= n; ++i) s = float(s + static_cast<long double>(in[i]) * w[i]);
    out[u] = TBackProp::Activation(s);
  }
}

// Share of right outputs of one pattern, in percent, and the count of wrong ones.
// The distance is compared unrounded (it is never stored).
float PatternScore(const TTrainingPairs& pattern, const TLayer& outputs, int32_t outputCount, float tolerance,
                   int32_t& wrong) {
  wrong = 0;
  const int32_t limit = std::min<int32_t>(outputCount, int32_t(std::min(pattern.Target.size(), outputs.size())) - 1);
  const float* target = pattern.Target.data();
  const float* out = outputs.data();
  const long double tol = tolerance;
  for (int32_t o = 1; o <= limit; ++o) wrong += int32_t(std::fabs(static_cast<long double>(target[o]) - out[o]) >= tol);
  // A target shorter than the output layer (outside the contract) counts its
  // missing outputs as wrong. A network without outputs scores 100.
  if (limit < outputCount) wrong += outputCount - std::max<int32_t>(limit, 0);
  return kernels::ScoreOf(wrong, outputCount);
}

// The score as its text shows it: hundredths, halves away from zero.
long long ShownHundredths(float score) { return std::llroundl(static_cast<long double>(score) * 100.0L); }

// The decimal number a score text reads as: the long double nearest to k / 100.
long double ShownValue(long long hundredths) { return static_cast<long double>(hundredths) / 100.0L; }

std::string FormatHundredths(long long k) {
  const bool negative = k < 0;
  const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(k) : k;
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / 100);
  text += '.';
  text += char('0' + (magnitude / 10) % 10);
  text += char('0' + magnitude % 10);
  return text;
}

// Reads a score text back as a number, independent of the process locale.
long double ParseScore(const std::string& text) {
  long double value = 0.0L;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc()) return 0.0L;
  return value;
}

}  // namespace

float kernels::ScoreOf(int32_t wrong, int32_t outputs) {
  if (outputs <= 0) return 100.0f;
  return Single((1.0L - static_cast<long double>(wrong) / outputs) * 100.0L);
}

long double kernels::ShownScore(float score) { return ShownValue(ShownHundredths(score)); }

TBackProp::TBackProp(int32_t inputCount, int32_t hiddenCount, int32_t outputCount) {
  if (inputCount < 0 || hiddenCount < 0 || outputCount < 0 ||
      inputCount == std::numeric_limits<int32_t>::max() || hiddenCount == std::numeric_limits<int32_t>::max() ||
      outputCount == std::numeric_limits<int32_t>::max())
    throw Error("Invalid network dimensions: " + std::to_string(inputCount) + " inputs, " +
                std::to_string(hiddenCount) + " hidden units, " + std::to_string(outputCount) + " outputs.");
  InputCount = inputCount;
  HiddenCount = hiddenCount;
  OutputCount = outputCount;
  AllocateLayers();
  Tolerance = 1.0f;
  LearningRate = 0.001f;
  MaxEpochs = 10000;
  ErrorGoal = -1.0f;
  MeanErrorGoal = 0.01f;
  WeightRange = 0.5f;
  RandomizeWeights();
  ErrorCount = 0;
  Epoch = 0;
  TargetValueCount = 0;
  ErrorSum = 0.0f;
  Modified = false;
}

TBackProp::TBackProp(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols,
                     int32_t hiddenCount)
    : TBackProp(CheckedProduct(inputRows, inputCols, "input"), hiddenCount,
                CheckedProduct(outputRows, outputCols, "output")) {
  InputRows = inputRows;
  InputCols = inputCols;
  OutputRows = outputRows;
  OutputCols = outputCols;
}

TBackProp::TBackProp(const std::string& fileName) { LoadFromFile(fileName); }

TBackProp::TBackProp(const std::string& fileName, KnowledgeBaseParts parts) {
  if (parts == KnowledgeBaseParts::ForRecognition) {
    LoadForRecognition(fileName);
  } else {
    LoadFromFile(fileName);
  }
}

std::string TBackProp::PatternName(int32_t index) const {
  if (index < 0 || size_t(index) >= TrainingSet.size())
    throw Error("Pattern index " + std::to_string(index) + " is out of range.");
  return TrainingSet[size_t(index)].Name;
}

int32_t TBackProp::PatternCount() const { return int32_t(TrainingSet.size()); }

void TBackProp::GetOutputs(TLayer& values) const {
  const size_t count = std::min(size_t(std::max(OutputCount, 0)), OutputLayer.size() - std::min<size_t>(OutputLayer.size(), 1));
  values.assign(OutputLayer.begin() + std::ptrdiff_t(OutputLayer.empty() ? 0 : 1),
                OutputLayer.begin() + std::ptrdiff_t((OutputLayer.empty() ? 0 : 1) + count));
}

void TBackProp::SetLearningRate(float value) { LearningRate = value; }

void TBackProp::SetMaxEpochs(int32_t value) { MaxEpochs = value; }

void TBackProp::SetWeightRange(float value) { WeightRange = value; }

void TBackProp::AllocateLayers() {
  if (InputCount < 0 || HiddenCount < 0 || OutputCount < 0)
    throw Error("Invalid network dimensions: " + std::to_string(InputCount) + " inputs, " +
                std::to_string(HiddenCount) + " hidden units, " + std::to_string(OutputCount) + " outputs.");
  const size_t inputs = size_t(InputCount) + 1;
  const size_t hidden = size_t(HiddenCount) + 1;
  const size_t outputs = size_t(OutputCount) + 1;
  InputLayer.resize(inputs, 0.0f);
  HiddenLayer.resize(hidden, 0.0f);
  OutputLayer.resize(outputs, 0.0f);
  HiddenWeights.resize(hidden);
  for (TLayer& row : HiddenWeights) row.resize(inputs, 0.0f);
  OutputWeights.resize(outputs);
  for (TLayer& row : OutputWeights) row.resize(hidden, 0.0f);
  InputLayer[0] = 1.0f;
  HiddenLayer[0] = 1.0f;
}

void TBackProp::SetRandomSeed(std::optional<uint64_t> seed) { seed_ = seed; }

void TBackProp::RandomizeWeights() {
  if (seed_) {
    random_.seed(*seed_);
  } else {
    // The clock, plus a counter so that two networks made in the same tick differ.
    static uint64_t calls = 0;
    const auto ticks = uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    random_.seed(ticks ^ (++calls * 0x9E3779B97F4A7C15ULL));
  }
  const long double span = static_cast<long double>(WeightRange) * 2.0L;
  auto next = [this, span]() {
    // 53 random bits: a uniform number in [0, 1).
    const long double r = static_cast<long double>(random_() >> 11) * 0x1.0p-53L;
    return float((r - 0.5L) * span);
  };
  for (int32_t h = 1; h <= HiddenCount; ++h) {
    float* row = HiddenWeights[size_t(h)].data();
    for (int32_t i = 0; i <= InputCount; ++i) row[i] = next();
  }
  for (int32_t o = 1; o <= OutputCount; ++o) {
    float* row = OutputWeights[size_t(o)].data();
    for (int32_t h = 0; h <= HiddenCount; ++h) row[h] = next();
  }
}

void TBackProp::CountTargetValues() {
  int64_t total = 0;
  for (const TTrainingPairs& pattern : TrainingSet) total += int64_t(pattern.Samples.size()) * OutputCount;
  TargetValueCount = int32_t(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

float TBackProp::Activation(float x) {
  const long double minusX = -static_cast<long double>(x);
  if (minusX > kLnMaxLongDouble) return 0.0f;  // e^(-x) would overflow
  const long double e = std::exp(minusX);
  if (std::isinf(e)) return 0.0f;
  return Single(2.0L / (1.0L + e) - 1.0L);
}

float TBackProp::ActivationDerivative(float y) {
  const long double v = y;
  return Single((1.0L + v) * (1.0L - v) / 2.0L);
}

void TBackProp::Propagate() {
  const kernels::Level level = kernels::CurrentLevel();
  if (level != kernels::Level::Reference && kernels::Propagate(*this, prepared_, level)) return;
  ForwardLayer(InputLayer.data(), InputCount, HiddenWeights, HiddenLayer.data(), HiddenCount);
  ForwardLayer(HiddenLayer.data(), HiddenCount, OutputWeights, OutputLayer.data(), OutputCount);
}

void TBackProp::RankPatterns(std::vector<std::string>& names, std::vector<std::string>& scores,
                             std::vector<std::string>& counts) {
  const std::string outputs = std::to_string(OutputCount);
  for (size_t i = 0; i < TrainingSet.size(); ++i) {
    const TTrainingPairs& pattern = TrainingSet[i];
    int32_t wrong = 0;
    const float score = PatternScore(pattern, OutputLayer, OutputCount, Tolerance, wrong);
    // The i patterns ranked so far stay in front while their shown score (the
    // text read back as a number) is at least this one's exact score.
    size_t j = 0;
    while (j < i && j < scores.size() && ParseScore(scores[j]) >= score) ++j;
    j = std::min({j, names.size(), scores.size(), counts.size()});
    names.insert(names.begin() + std::ptrdiff_t(j), pattern.Name);
    scores.insert(scores.begin() + std::ptrdiff_t(j), FormatHundredths(ShownHundredths(score)));
    counts.insert(counts.begin() + std::ptrdiff_t(j), std::to_string(wrong) + " / " + outputs + " ");
  }
  for (std::string& score : scores) score += '%';
}

void TBackProp::Recognize(std::string& name) {
  if (kernels::CurrentLevel() != kernels::Level::Reference && kernels::Recognize(*this, prepared_, name)) return;
  // The head of RankPatterns' list without its texts: a pattern goes to the
  // head when the head's shown score (its two-decimal text read back) is
  // below the pattern's exact score.
  const TTrainingPairs* best = nullptr;
  long double bestShown = 0.0L;
  for (const TTrainingPairs& pattern : TrainingSet) {
    int32_t wrong = 0;
    const float score = PatternScore(pattern, OutputLayer, OutputCount, Tolerance, wrong);
    if (best == nullptr || bestShown < score) {
      best = &pattern;
      bestShown = ShownValue(ShownHundredths(score));
    }
  }
  if (best) {
    name = best->Name;
  } else {
    name.clear();
  }
}

void TBackProp::ClearTrainingSet() {
  TrainingSet.clear();
  samplesSkipped_ = false;  // no pattern is left whose samples a save would lose
  ErrorCount = 0;
  Epoch = 0;
  ErrorSum = 0.0f;
  TargetValueCount = 0;
  Modified = false;
}

void TBackProp::Reshape(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols,
                        int32_t hiddenCount) {
  const int32_t inputs = CheckedProduct(inputRows, inputCols, "input");
  const int32_t outputs = CheckedProduct(outputRows, outputCols, "output");
  if (hiddenCount < 0 || hiddenCount == std::numeric_limits<int32_t>::max())
    throw Error("Invalid network dimensions: " + std::to_string(hiddenCount) + " hidden units.");
  InputRows = inputRows;
  InputCols = inputCols;
  OutputRows = outputRows;
  OutputCols = outputCols;
  HiddenCount = hiddenCount;
  InputCount = inputs;
  OutputCount = outputs;
  AllocateLayers();
  RandomizeWeights();
  ClearTrainingSet();
}

}  // namespace kyt

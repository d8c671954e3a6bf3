#include "reference_network.h"

#include <cfenv>
#include <cmath>
#include <cstring>

namespace kyt::reference {

namespace {

// x rounded to Single through memory. On the x87, GCC computes
// float(long double(a) op long double(b)) as a float operation whose result
// stays unrounded in a register until it is stored; a value that is used again
// (the output error d, the error terms) must be stored first.
float Round(long double x) {
  volatile float stored = static_cast<float>(x);
  return stored;
}

}  // namespace

float Activation(float x) {
  // Overflow of e^(-x) is detected the way the hardware reports it.
  std::feclearexcept(FE_OVERFLOW);
  const long double e = expl(-static_cast<long double>(x));
  // x = -inf gives an infinite e^(-x) without the flag: the same case.
  if (std::fetestexcept(FE_OVERFLOW) || std::isinf(e)) return 0.0f;
  const long double sum = 1.0L + e;
  const long double quotient = 2.0L / sum;
  const long double result = quotient - 1.0L;
  return Round(result);
}

float ActivationDerivative(float y) {
  const long double onePlus = 1.0L + static_cast<long double>(y);
  const long double oneMinus = 1.0L - static_cast<long double>(y);
  return Round(onePlus * oneMinus / 2.0L);
}

void Propagate(TBackProp& net) {
  for (int32_t h = 1; h <= net.HiddenCount; ++h) {
    net.HiddenLayer[h] = 0.0f;
    for (int32_t i = 0; i <= net.InputCount; ++i) {
      net.HiddenLayer[h] = static_cast<float>(static_cast<long double>(net.HiddenLayer[h]) +
                                              static_cast<long double>(net.InputLayer[i]) *
                                                  static_cast<long double>(net.HiddenWeights[h][i]));
    }
    net.HiddenLayer[h] = Activation(net.HiddenLayer[h]);
  }
  for (int32_t o = 1; o <= net.OutputCount; ++o) {
    net.OutputLayer[o] = 0.0f;
    for (int32_t h = 0; h <= net.HiddenCount; ++h) {
      net.OutputLayer[o] = static_cast<float>(static_cast<long double>(net.OutputLayer[o]) +
                                              static_cast<long double>(net.HiddenLayer[h]) *
                                                  static_cast<long double>(net.OutputWeights[o][h]));
    }
    net.OutputLayer[o] = Activation(net.OutputLayer[o]);
  }
}

void TrainStep(TBackProp& net, const TLayer& sample, const TLayer& target) {
  const int32_t I = net.InputCount, H = net.HiddenCount, O = net.OutputCount;
  for (int32_t i = 1; i <= I; ++i) net.InputLayer[i] = sample[i];
  Propagate(net);

  TLayer outputErrors(O + 1, 0.0f), hiddenErrors(H + 1, 0.0f);
  TLayerWeights outputChanges(O + 1, TLayer(H + 1, 0.0f)), hiddenChanges(H + 1, TLayer(I + 1, 0.0f));
  const long double rate = net.LearningRate;
  for (int32_t o = 1; o <= O; ++o) {
    const float d = Round(static_cast<long double>(target[o]) - static_cast<long double>(net.OutputLayer[o]));
    if (std::fabs(d) >= net.Tolerance) net.ErrorCount = net.ErrorCount + 1;
    net.ErrorSum = Round(static_cast<long double>(net.ErrorSum) +
                                      static_cast<long double>(d) * static_cast<long double>(d));
    outputErrors[o] = Round(static_cast<long double>(ActivationDerivative(net.OutputLayer[o])) *
                                         static_cast<long double>(d));
    for (int32_t h = 0; h <= H; ++h) {
      outputChanges[o][h] = static_cast<float>(rate * static_cast<long double>(outputErrors[o]) *
                                               static_cast<long double>(net.HiddenLayer[h]));
    }
  }
  for (int32_t h = 1; h <= H; ++h) {
    hiddenErrors[h] = 0.0f;
    for (int32_t o = 1; o <= O; ++o) {
      hiddenErrors[h] = static_cast<float>(static_cast<long double>(hiddenErrors[h]) +
                                           static_cast<long double>(outputErrors[o]) *
                                               static_cast<long double>(net.OutputWeights[o][h]));
    }
    hiddenErrors[h] = Round(static_cast<long double>(ActivationDerivative(net.HiddenLayer[h])) *
                                         static_cast<long double>(hiddenErrors[h]));
    for (int32_t i = 0; i <= I; ++i) {
      hiddenChanges[h][i] = static_cast<float>(rate * static_cast<long double>(hiddenErrors[h]) *
                                               static_cast<long double>(net.InputLayer[i]));
    }
  }
  for (int32_t o = 1; o <= O; ++o)
    for (int32_t h = 0; h <= H; ++h)
      net.OutputWeights[o][h] = static_cast<float>(static_cast<long double>(net.OutputWeights[o][h]) +
                                                   static_cast<long double>(outputChanges[o][h]));
  for (int32_t h = 1; h <= H; ++h)
    for (int32_t i = 0; i <= I; ++i)
      net.HiddenWeights[h][i] = static_cast<float>(static_cast<long double>(net.HiddenWeights[h][i]) +
                                                   static_cast<long double>(hiddenChanges[h][i]));
}

void TrainEpoch(TBackProp& net) {
  net.Epoch = net.Epoch + 1;
  net.ErrorSum = 0.0f;
  net.ErrorCount = 0;
  for (const TTrainingPairs& pattern : net.TrainingSet)
    for (const TLayer& sample : pattern.Samples) TrainStep(net, sample, pattern.Target);
}

TBackProp RandomNetwork(int32_t inputs, int32_t hidden, int32_t outputs, std::mt19937_64& random, float scale,
                        bool realInputs) {
  TBackProp net(inputs, hidden, outputs);
  std::uniform_real_distribution<float> weight(-scale, scale);
  std::uniform_real_distribution<float> real(-1.0f, 1.0f);
  std::bernoulli_distribution coin(0.5);
  for (int32_t h = 1; h <= hidden; ++h)
    for (int32_t i = 0; i <= inputs; ++i) net.HiddenWeights[h][i] = weight(random);
  for (int32_t o = 1; o <= outputs; ++o)
    for (int32_t h = 0; h <= hidden; ++h) net.OutputWeights[o][h] = weight(random);
  for (int32_t i = 1; i <= inputs; ++i) net.InputLayer[i] = realInputs ? real(random) : (coin(random) ? 1.0f : -1.0f);
  return net;
}

uint32_t Bits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

}  // namespace kyt::reference

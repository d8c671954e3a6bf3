#pragma once
// A plain, literal implementation of the network's arithmetic, kept beside the
// tests to check the optimised one against, bit for bit. Every step is written
// out as one long double expression rounded to float when stored; nothing is
// hoisted, blocked or reordered.
#include <cstdint>
#include <random>

#include "recognition/BackPropCls.h"

namespace kyt::reference {

float Activation(float x);
float ActivationDerivative(float y);
// Forward pass over net.InputLayer, written into net.HiddenLayer and net.OutputLayer.
void Propagate(TBackProp& net);
// One on-line training step for one sample (updates weights, ErrorSum, ErrorCount).
void TrainStep(TBackProp& net, const TLayer& sample, const TLayer& target);
// One whole epoch over the training set (Epoch + 1, ErrorSum and ErrorCount restarted).
void TrainEpoch(TBackProp& net);

// A network of the given shape whose weights, inputs and training set come from `random`.
// Weights are drawn from [-scale, scale); inputs are +1/-1 or, with realInputs, any value in [-1, 1).
TBackProp RandomNetwork(int32_t inputs, int32_t hidden, int32_t outputs, std::mt19937_64& random, float scale = 1.0f,
                        bool realInputs = false);

// Float bit patterns, so that comparisons are exact (and -0 differs from +0).
uint32_t Bits(float f);

}  // namespace kyt::reference

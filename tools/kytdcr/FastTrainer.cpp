#include "FastTrainer.h"

#include <algorithm>
#include <barrier>
#include <chrono>
#include <cmath>
#include <numeric>
#include <random>
#include <thread>

#include "core/Error.h"

namespace kytdcr {
namespace {

inline float Bipolar(float x) { return 2.0f / (1.0f + std::exp(-x)) - 1.0f; }

// y += a * x over n floats; written so that the compiler vectorises it.
inline void Axpy(float* __restrict y, const float* __restrict x, float a, int32_t n) {
#pragma omp simd
  for (int32_t k = 0; k < n; ++k) y[k] += a * x[k];
}

inline float Dot(const float* __restrict a, const float* __restrict b, int32_t n) {
  float s = 0.0f;
#pragma omp simd reduction(+ : s)
  for (int32_t k = 0; k < n; ++k) s += a[k] * b[k];
  return s;
}

// Runs a job on a fixed team of threads (the caller is member 0).
class Team {
 public:
  explicit Team(int32_t size) : size_(std::max(1, size)), start_(size_), done_(size_) {
    for (int32_t id = 1; id < size_; ++id) {
      threads_.emplace_back([this, id] {
        while (true) {
          start_.arrive_and_wait();
          if (quit_) return;
          (*job_)(id);
          done_.arrive_and_wait();
        }
      });
    }
  }
  ~Team() {
    quit_ = true;
    if (size_ > 1) start_.arrive_and_wait();
    for (auto& t : threads_) t.join();
  }
  int32_t Size() const { return size_; }
  void Run(const std::function<void(int32_t)>& job) {
    job_ = &job;
    if (size_ > 1) start_.arrive_and_wait();
    job(0);
    if (size_ > 1) done_.arrive_and_wait();
  }

 private:
  int32_t size_;
  std::barrier<> start_, done_;
  const std::function<void(int32_t)>* job_ = nullptr;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

// Scratch and gradient of one thread.
struct Worker {
  std::vector<float> hidden, out, g1, g2, gw1t, gw2t;
  double squaredError = 0.0;
  int64_t wrong = 0;
};

void Range(size_t total, int32_t parts, int32_t id, size_t& begin, size_t& end) {
  begin = total * size_t(id) / size_t(parts);
  end = total * size_t(id + 1) / size_t(parts);
}

}  // namespace

void SampleSet::Add(const float* input, int32_t label, int32_t group) {
  if (label < 0) throw kyt::Error("a sample needs a pattern");
  for (int32_t k = 0; k < inputs_; ++k) x_.push_back(input[k] > 0.0f ? int8_t(1) : int8_t(-1));
  labels_.push_back(label);
  groups_.push_back(group);
}

void SampleSet::Add(const int8_t* input, int32_t label, int32_t group) {
  if (label < 0) throw kyt::Error("a sample needs a pattern");
  for (int32_t k = 0; k < inputs_; ++k) x_.push_back(input[k] > 0 ? int8_t(1) : int8_t(-1));
  labels_.push_back(label);
  groups_.push_back(group);
}

void FloatNetwork::Forward(const int8_t* x, float* hiddenOut, float* out) const {
  const int32_t H = hidden, O = outputs;
  std::copy(w1t.begin(), w1t.begin() + H, hiddenOut);
  for (int32_t i = 0; i < inputs; ++i) Axpy(hiddenOut, w1t.data() + size_t(i + 1) * size_t(H), float(x[i]), H);
  for (int32_t h = 0; h < H; ++h) hiddenOut[h] = Bipolar(hiddenOut[h]);
  std::copy(w2t.begin(), w2t.begin() + O, out);
  for (int32_t h = 0; h < H; ++h) Axpy(out, w2t.data() + size_t(h + 1) * size_t(O), hiddenOut[h], O);
  for (int32_t o = 0; o < O; ++o) out[o] = Bipolar(out[o]);
}

int32_t FloatNetwork::Decide(const float* out, const std::vector<std::vector<float>>& targets) {
  int32_t best = -1, bestScore = -1;
  for (size_t p = 0; p < targets.size(); ++p) {
    const std::vector<float>& t = targets[p];
    int32_t score = 0;
    for (size_t o = 0; o < t.size(); ++o) score += std::fabs(t[o] - out[o]) < 1.0f ? 1 : 0;
    if (score > bestScore) bestScore = score, best = int32_t(p);
  }
  return best;
}

void FloatNetwork::CopyTo(kyt::TBackProp& net) const {
  if (net.InputCount != inputs || net.HiddenCount != hidden || net.OutputCount != outputs) {
    throw kyt::Error("the network's dimensions do not match the trained weights");
  }
  for (int32_t h = 1; h <= hidden; ++h)
    for (int32_t i = 0; i <= inputs; ++i)
      net.HiddenWeights[size_t(h)][size_t(i)] = w1t[size_t(i) * size_t(hidden) + size_t(h - 1)];
  for (int32_t o = 1; o <= outputs; ++o)
    for (int32_t h = 0; h <= hidden; ++h)
      net.OutputWeights[size_t(o)][size_t(h)] = w2t[size_t(h) * size_t(outputs) + size_t(o - 1)];
}

double FloatAccuracy(const FloatNetwork& net, const SampleSet& set, const std::vector<std::vector<float>>& targets,
                     int32_t threads) {
  if (set.Size() == 0) return 1.0;
  Team team(threads);
  std::vector<size_t> right(size_t(team.Size()), 0);
  team.Run([&](int32_t id) {
    size_t begin, end;
    Range(set.Size(), team.Size(), id, begin, end);
    std::vector<float> hidden(size_t(net.hidden)), out(size_t(net.outputs));
    for (size_t s = begin; s < end; ++s) {
      net.Forward(set.Input(s), hidden.data(), out.data());
      if (FloatNetwork::Decide(out.data(), targets) == set.Label(s)) right[size_t(id)]++;
    }
  });
  return double(std::accumulate(right.begin(), right.end(), size_t(0))) / double(set.Size());
}

FastTrainResult TrainFast(const SampleSet& train, const SampleSet& validation,
                          const std::vector<std::vector<float>>& targets, const FastTrainOptions& options,
                          const std::function<bool(const EpochReport&)>& onEpoch) {
  if (train.Size() == 0) throw kyt::Error("no samples to train on");
  if (targets.empty() || targets[0].empty()) throw kyt::Error("no targets to train towards");
  if (validation.Size() > 0 && validation.Inputs() != train.Inputs()) {
    throw kyt::Error("validation samples have another size than the training samples");
  }
  if (options.hidden < 1 || options.batch < 1 || options.maxEpochs < 1) {
    throw kyt::Error("hidden units, batch size and epochs must be at least 1");
  }
  const int32_t I = train.Inputs(), H = options.hidden, O = int32_t(targets[0].size());
  for (const auto& t : targets)
    if (int32_t(t.size()) != O) throw kyt::Error("targets of different lengths");
  for (const SampleSet* set : {&train, &validation})
    for (size_t s = 0; s < set->Size(); ++s)
      if (set->Label(s) >= int32_t(targets.size())) throw kyt::Error("a sample's pattern has no target");

  FloatNetwork net;
  net.inputs = I, net.hidden = H, net.outputs = O;
  net.w1t.resize(size_t(I + 1) * size_t(H));
  net.w2t.resize(size_t(H + 1) * size_t(O));
  std::mt19937_64 rng(options.seed);
  {
    std::uniform_real_distribution<float> r1(-1.0f, 1.0f);
    const float a1 = 1.7f / std::sqrt(float(I + 1)), a2 = 1.7f / std::sqrt(float(H + 1));
    for (float& w : net.w1t) w = a1 * r1(rng);
    for (float& w : net.w2t) w = a2 * r1(rng);
  }
  std::vector<float> v1(net.w1t.size(), 0.0f), v2(net.w2t.size(), 0.0f);

  Team team(options.threads);
  std::vector<Worker> workers(size_t(team.Size()));
  for (Worker& w : workers) {
    w.hidden.resize(size_t(H));
    w.out.resize(size_t(O));
    w.g1.resize(size_t(H));
    w.g2.resize(size_t(O));
    w.gw1t.assign(net.w1t.size(), 0.0f);
    w.gw2t.assign(net.w2t.size(), 0.0f);
  }

  std::vector<size_t> order(train.Size());
  std::iota(order.begin(), order.end(), size_t(0));
  const size_t batches = (train.Size() + size_t(options.batch) - 1) / size_t(options.batch);
  const double totalSteps = double(batches) * options.maxEpochs;
  const double warmup = std::min(double(batches) / 2.0, totalSteps / 10.0);
  double step = 0.0;
  const auto began = std::chrono::steady_clock::now();

  FastTrainResult result;
  result.network = net;
  result.bestValidationAccuracy = -1.0;
  size_t batchBegin = 0, batchEnd = 0;
  const std::function<void(int32_t)> gradients = [&](int32_t id) {
    Worker& w = workers[size_t(id)];
    std::fill(w.gw1t.begin(), w.gw1t.end(), 0.0f);
    std::fill(w.gw2t.begin(), w.gw2t.end(), 0.0f);
    size_t begin, end;
    Range(batchEnd - batchBegin, team.Size(), id, begin, end);
    for (size_t k = batchBegin + begin; k < batchBegin + end; ++k) {
      const size_t s = order[k];
      const int8_t* x = train.Input(s);
      const std::vector<float>& t = targets[size_t(train.Label(s))];
      net.Forward(x, w.hidden.data(), w.out.data());
      // Logistic loss on each output: its gradient at the net input is (y - t) / 2.
      for (int32_t o = 0; o < O; ++o) {
        const float d = t[size_t(o)] - w.out[size_t(o)];
        w.squaredError += double(d) * double(d);
        w.wrong += std::fabs(d) >= 1.0f ? 1 : 0;
        w.g2[size_t(o)] = -0.5f * d;
      }
      Axpy(w.gw2t.data(), w.g2.data(), 1.0f, O);
      for (int32_t h = 0; h < H; ++h) {
        const float* row = net.w2t.data() + size_t(h + 1) * size_t(O);
        const float y = w.hidden[size_t(h)];
        w.g1[size_t(h)] = Dot(w.g2.data(), row, O) * (1.0f + y) * (1.0f - y) * 0.5f;
        Axpy(w.gw2t.data() + size_t(h + 1) * size_t(O), w.g2.data(), y, O);
      }
      Axpy(w.gw1t.data(), w.g1.data(), 1.0f, H);
      for (int32_t i = 0; i < I; ++i) Axpy(w.gw1t.data() + size_t(i + 1) * size_t(H), w.g1.data(), float(x[i]), H);
    }
  };

  int32_t stale = 0;
  for (int32_t epoch = 1; epoch <= options.maxEpochs; ++epoch) {
    const auto epochBegan = std::chrono::steady_clock::now();
    std::shuffle(order.begin(), order.end(), rng);
    for (Worker& w : workers) w.squaredError = 0.0, w.wrong = 0;
    double lr = options.learningRate;
    for (size_t b = 0; b < batches; ++b) {
      batchBegin = b * size_t(options.batch);
      batchEnd = std::min(train.Size(), batchBegin + size_t(options.batch));
      team.Run(gradients);
      // Warm-up, then a cosine fall to 2 % of the peak.
      lr = step < warmup ? options.learningRate * (step + 1.0) / warmup
                         : options.learningRate *
                               (0.02 + 0.98 * 0.5 * (1.0 + std::cos(M_PI * (step - warmup) / (totalSteps - warmup))));
      step += 1.0;
      const float scale = float(lr / double(batchEnd - batchBegin));
      const float mu = float(options.momentum);
      auto update = [&](std::vector<float>& weights, std::vector<float>& velocity, auto member) {
        float* wv = weights.data();
        float* vv = velocity.data();
        const size_t n = weights.size();
        for (size_t k = 0; k < workers.size(); ++k) {
          const float* g = (workers[k].*member).data();
          if (k == 0) {
#pragma omp simd
            for (size_t j = 0; j < n; ++j) vv[j] = mu * vv[j] - scale * g[j];
          } else {
#pragma omp simd
            for (size_t j = 0; j < n; ++j) vv[j] -= scale * g[j];
          }
        }
#pragma omp simd
        for (size_t j = 0; j < n; ++j) wv[j] += vv[j];
      };
      update(net.w1t, v1, &Worker::gw1t);
      update(net.w2t, v2, &Worker::gw2t);
    }
    EpochReport report;
    report.epoch = epoch;
    double se = 0.0;
    for (const Worker& w : workers) se += w.squaredError, report.wrongOutputs += w.wrong;
    report.meanSquaredError = se / (double(train.Size()) * O);
    report.learningRate = lr;
    const double epochSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - epochBegan).count();
    report.samplesPerSecond = double(train.Size()) / std::max(1e-9, epochSeconds);
    report.validationAccuracy = FloatAccuracy(net, validation, targets, options.threads);
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    result.epochsRun = epoch;
    result.last = report;
    if (report.validationAccuracy > result.bestValidationAccuracy) {
      result.bestValidationAccuracy = report.validationAccuracy;
      result.bestEpoch = epoch;
      result.network = net;
      stale = 0;
    } else {
      ++stale;
    }
    const bool goOn = !onEpoch || onEpoch(report);
    if (!goOn || (options.patience > 0 && stale >= options.patience)) break;
  }
  const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  result.samplesPerSecond = double(train.Size()) * result.epochsRun / std::max(1e-9, total);
  return result;
}

}  // namespace kytdcr

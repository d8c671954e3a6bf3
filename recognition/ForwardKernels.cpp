// Choosing the kernels, laying the weights out for them, and the forward pass
// and ranking built from them, with the extended-precision code for every
// unit a kernel leaves unproved.
#include "recognition/ForwardKernels.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#include "core/Error.h"
#include "core/ProcessorFeatures.h"
#include "recognition/BackPropCls.h"
#include "recognition/Single.h"

namespace kyt::kernels {

#if defined(KYT_KERNELS_AVX512)
namespace avx512 {
extern const KernelTable kTable;
}
#endif
#if defined(KYT_KERNELS_AVX2)
namespace avx2 {
extern const KernelTable kTable;
}
#endif
#if defined(KYT_KERNELS_SSE2)
namespace sse2 {
extern const KernelTable kTable;
}
#endif

namespace {

std::atomic<int> forced{-1};

bool Offered(Level level) {
  switch (level) {
    case Level::Reference:
      return true;
    case Level::Sse2:
#if defined(KYT_KERNELS_SSE2)
      // On 32-bit x86 also the system must save the XMM registers.
      return Processor().sse2;
#else
      return false;
#endif
    case Level::Avx2:
#if defined(KYT_KERNELS_AVX2)
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
      return false;
#endif
    case Level::Avx512:
#if defined(KYT_KERNELS_AVX512)
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
             __builtin_cpu_supports("fma");
#else
      return false;
#endif
  }
  return false;
}

uint32_t BitsOf(float f) { return std::bit_cast<uint32_t>(f); }

// One unit's running sum in extended precision, exactly as the reference loop.
float ExtendedSum(const float* in, const float* w, int32_t n) {
  float s = 0.0f;
  for (int32_t i = 0; i <= n; ++i) s = float(s + static_cast<long double>(in[i]) * w[i]);
  return s;
}

}  // namespace

const char* LevelName(Level level) {
  switch (level) {
    case Level::Reference:
      return "x87";
    case Level::Sse2:
      return "sse2";
    case Level::Avx2:
      return "avx2";
    case Level::Avx512:
      return "avx512";
  }
  return "?";
}

bool Available(Level level) {
  static const bool offered[kLevelCount] = {Offered(Level::Reference), Offered(Level::Sse2), Offered(Level::Avx2),
                                            Offered(Level::Avx512)};
  const int i = int(level);
  return i >= 0 && i < kLevelCount && offered[i];
}

Level BestLevel() {
  for (int i = kLevelCount - 1; i > 0; --i)
    if (Available(Level(i))) return Level(i);
  return Level::Reference;
}

Level CurrentLevel() {
  const int f = forced.load(std::memory_order_relaxed);
  if (f >= 0) return Level(f);
  static const Level best = BestLevel();
  return best;
}

void ForceLevel(std::optional<Level> level) {
  if (!level) {
    forced.store(-1);
    return;
  }
  if (!Available(*level)) throw Error(std::string("The kernels for ") + LevelName(*level) + " are not available here.");
  forced.store(int(*level));
}

const KernelTable* Table(Level level) {
  if (!Available(level)) return nullptr;
  switch (level) {
#if defined(KYT_KERNELS_SSE2)
    case Level::Sse2:
      return &sse2::kTable;
#endif
#if defined(KYT_KERNELS_AVX2)
    case Level::Avx2:
      return &avx2::kTable;
#endif
#if defined(KYT_KERNELS_AVX512)
    case Level::Avx512:
      return &avx512::kTable;
#endif
    default:
      return nullptr;
  }
}

template <typename T>
void AlignedArray<T>::Assign(size_t n) {
  Free(data_);
  data_ = nullptr;
  size_ = 0;
  const size_t bytes = (std::max<size_t>(n, 1) * sizeof(T) + 63) / 64 * 64;
  data_ = static_cast<T*>(::operator new(bytes, std::align_val_t(64)));
  std::memset(data_, 0, bytes);
  size_ = n;
}
template <typename T>
void AlignedArray<T>::Free(T* p) {
  if (p) ::operator delete(p, std::align_val_t(64));
}
template class AlignedArray<float>;
template class AlignedArray<double>;

void Pack(const std::vector<std::vector<float>>& rows, int32_t n, int32_t units, PackedLayer& packed, bool wide) {
  packed.inputs = n + 1;
  packed.units = units;
  packed.stride = (size_t(std::max(units, 1)) + kUnitAlign - 1) / kUnitAlign * kUnitAlign;
  packed.weights.Assign(packed.stride * size_t(n + 1));
  float* w = packed.weights.data();
  for (int32_t u = 0; u < units; ++u) {
    const float* row = rows[size_t(u) + 1].data();
    for (int32_t i = 0; i <= n; ++i) w[size_t(i) * packed.stride + size_t(u)] = row[i];
  }
  if (!wide) {
    packed.wide.Assign(0);
    packed.boundsStale = true;
    return;
  }
  WidenPacked(packed);
  RefreshBounds(packed);
}

void WidenPacked(PackedLayer& layer) {
  const size_t n = layer.stride * size_t(layer.inputs);
  if (layer.wide.size() != n) layer.wide.Assign(n);
  const float* w = layer.weights.data();
  double* wide = layer.wide.data();
  for (size_t j = 0; j < n; ++j) wide[j] = w[j];
}

void RefreshBounds(PackedLayer& layer) {
  const size_t stride = layer.stride;
  if (layer.absSums.size() != stride) layer.absSums.Assign(stride);
  std::vector<double> sum(stride, 0.0);
  const float* w = layer.weights.data();
  for (int32_t i = 0; i < layer.inputs; ++i)
    for (size_t u = 0; u < stride; ++u) sum[u] += std::fabs(double(w[size_t(i) * stride + u]));
  // The double sum of at most 2^20 terms is within a factor 1 + 2^-33 of the
  // exact one, and the conversion to Single within 1 + 2^-24: 1 + 2^-20
  // covers both. A NaN weight leaves no bound: infinity.
  for (size_t u = 0; u < stride; ++u) {
    const double b = sum[u] * (1.0 + 0x1p-20);
    float f = !(b <= double(FLT_MAX)) ? std::numeric_limits<float>::infinity() : float(b);
    if (f < 0x1p-126f) f = 0x1p-126f;
    layer.absSums.data()[u] = f;
  }
  layer.boundsStale = false;
}

// ---- the cache ----

struct Prepared {
  // Forward pass: the packed layers, whose Singles are also what a change of
  // the weights is noticed against (SamePacked).
  bool forwardBuilt = false;
  bool forwardTrusted = false;  // checked within the current FixedNetwork
  int32_t I = -1, H = -1, O = -1;
  PackedLayer hidden, output;
  std::vector<uint32_t> signs;
  bool signsOnly = false;         // the last forward pass's inputs were all +-1
  bool hiddenWideStale = false;   // training changed only the hidden layer's Singles, or not packed
  bool outputWideStale = false;   // the output layer's doubles not packed (recognition)
  AlignedFloats hiddenSums, outputSums, values;
  std::vector<uint8_t> sumSuspect, valueSuspect;

  // Ranking: thresholds of "wrong" for the targets +1 and -1 (NaN when that
  // side never counts as wrong), each pattern's +1 targets as bits, and the
  // targets they were taken from.
  bool rankBuilt = false;
  bool rankTrusted = false;
  bool rankUsable = false;
  int32_t rankO = -1;
  uint32_t toleranceBits = 0;
  float plusLow = 0, plusHigh = 0, minusLow = 0, minusHigh = 0;
  size_t words = 0;
  std::vector<uint64_t> plusBits;  // words per pattern
  std::vector<float> targetCopy;   // O per pattern
  std::vector<int32_t> beats;      // a pattern with e wrong outputs takes the lead from one with e' when e < beats[e']
  std::vector<uint64_t> plusWrong, minusWrong;
};

PreparedSlot::PreparedSlot() = default;
PreparedSlot::PreparedSlot(const PreparedSlot&) {}
PreparedSlot::PreparedSlot(PreparedSlot&& other) noexcept : p_(std::move(other.p_)) {}
PreparedSlot& PreparedSlot::operator=(const PreparedSlot& other) {
  if (this != &other) p_.reset();
  return *this;
}
PreparedSlot& PreparedSlot::operator=(PreparedSlot&& other) noexcept {
  if (this != &other) p_ = std::move(other.p_);
  return *this;
}
PreparedSlot::~PreparedSlot() = default;

Prepared& PreparedSlot::Get() {
  if (!p_) p_ = std::make_unique<Prepared>();
  return *p_;
}

void PreparedSlot::Release() {
  if (p_) {
    p_->forwardTrusted = false;
    p_->rankTrusted = false;
  }
}

FallbackCounts& Fallbacks() {
  static thread_local FallbackCounts counts;
  return counts;
}

namespace {

bool RowsFit(const TLayerWeights& rows, int32_t units, int32_t n) {
  if (rows.size() < size_t(units) + 1) return false;
  for (int32_t u = 1; u <= units; ++u)
    if (rows[size_t(u)].size() < size_t(n) + 1) return false;
  return true;
}

// Whether the packed Singles are still the bits of `rows` (units rows of
// n + 1 columns from row 1): the packed layer itself is the copy a change is
// noticed against. Taken in bands of inputs, so that the rows' lines stay in
// the cache while the band is compared. A value whose bits the packing did
// not keep (a signalling NaN loaded on the x87 comes out quiet) only makes
// the layer be packed again.
bool SamePacked(const TLayerWeights& rows, int32_t units, int32_t n, const PackedLayer& packed) {
  if (packed.units != units || packed.inputs != n + 1) return false;
  const float* w = packed.weights.data();
  const size_t stride = packed.stride;
  constexpr int32_t kBand = 16;
  for (int32_t first = 0; first <= n; first += kBand) {
    const int32_t last = std::min(n, first + kBand - 1);
    for (int32_t u = 0; u < units; ++u) {
      const float* row = rows[size_t(u) + 1].data();
      for (int32_t i = first; i <= last; ++i)
        if (BitsOf(row[i]) != BitsOf(w[size_t(i) * stride + size_t(u)])) return false;
    }
  }
  return true;
}

// Makes p's packed layers those of `net`; false when net is not in a shape
// the kernels handle. Without `wide` only the Singles are packed, and the
// doubles wait until a forward pass reads them (Forward): recognition with
// the Single multiply-adds never does, and the sign sums read only the
// Singles. Training packs both, as its steps keep both.
bool PrepareForward(const TBackProp& net, Prepared& p, bool wide) {
  const int32_t I = net.InputCount, H = net.HiddenCount, O = net.OutputCount;
  if (I < 0 || H < 0 || O < 0) return false;
  if (net.InputLayer.size() < size_t(I) + 1 || net.HiddenLayer.size() < size_t(H) + 1 ||
      net.OutputLayer.size() < size_t(O) + 1)
    return false;
  if (!RowsFit(net.HiddenWeights, H, I) || !RowsFit(net.OutputWeights, O, H)) return false;
  if (p.forwardBuilt && p.I == I && p.H == H && p.O == O && SamePacked(net.HiddenWeights, H, I, p.hidden) &&
      SamePacked(net.OutputWeights, O, H, p.output))
    return true;
  p.forwardBuilt = false;
  Pack(net.HiddenWeights, I, H, p.hidden, wide);
  Pack(net.OutputWeights, H, O, p.output, wide);
  p.hiddenWideStale = p.outputWideStale = !wide;
  p.signs.assign(size_t(I) + 1, 0);
  p.hiddenSums.Assign(p.hidden.stride);
  p.outputSums.Assign(p.output.stride);
  p.values.Assign(std::max(p.hidden.stride, p.output.stride));
  p.sumSuspect.assign(std::max(p.hidden.stride, p.output.stride), 0);
  p.valueSuspect.assign(std::max(p.hidden.stride, p.output.stride), 0);
  p.I = I;
  p.H = H;
  p.O = O;
  p.forwardBuilt = true;
  return true;
}

// One layer: out[1..units] := Activation of the sums, from the packed layer,
// with every unit the kernels leave unproved redone in extended precision.
void Layer(const KernelTable& k, Prepared& p, PackedLayer& layer, const TLayerWeights& rows, const float* in,
           bool signsOnly, float* sums, float* out) {
  const int32_t units = layer.units, n = layer.inputs - 1;
  if (units == 0) return;
  FallbackCounts& counts = Fallbacks();
  counts.units += uint64_t(units);
  uint8_t* sumSuspect = p.sumSuspect.data();
  uint8_t* valueSuspect = p.valueSuspect.data();
  if (signsOnly) {
    k.signSums(layer, p.signs.data(), sums);
    // A NaN weight times -1 keeps its sign in extended precision, but not
    // when the kernel flips the sign bit: NaN sums are redone.
    for (int32_t u = 0; u < units; ++u) {
      if (sums[u] != sums[u]) {
        sums[u] = ExtendedSum(in, rows[size_t(u) + 1].data(), n);
        ++counts.sums;
      }
    }
  } else {
    if (layer.boundsStale) RefreshBounds(layer);
    k.generalSums(layer, in, sums, sumSuspect);
    for (int32_t u = 0; u < units; ++u) {
      if (sumSuspect[u]) {
        sums[u] = ExtendedSum(in, rows[size_t(u) + 1].data(), n);
        ++counts.sums;
      }
    }
  }
  float* values = p.values.data();
  k.activate(sums, values, units, valueSuspect);
  for (int32_t u = 0; u < units; ++u) {
    if (valueSuspect[u]) {
      values[u] = TBackProp::Activation(sums[u]);
      ++counts.activations;
    }
  }
  std::memcpy(out + 1, values, size_t(units) * sizeof(float));
}

// ---- ranking ----

// Floats (NaN aside) in their order as integers: -inf < ... < -0 < +0 < ... < +inf.
float FloatOf(int64_t key) {
  const uint32_t b = key < 0 ? uint32_t(-(key + 1)) | 0x80000000u : uint32_t(key);
  return std::bit_cast<float>(b);
}
constexpr int64_t kLowestKey = -int64_t(0x7F800000) - 1;  // -inf
constexpr int64_t kHighestKey = 0x7F800000;               // +inf

// For the target t: the largest output counted wrong on the low side (the
// distance t - out >= tolerance, true for a prefix of the outputs in
// order) and the smallest counted wrong on the high side (t - out <=
// -tolerance, a suffix); NaN where that side is empty. Found by bisection
// with the ranking's own comparison in extended precision.
void Thresholds(float target, float tolerance, float& low, float& high) {
  const long double t = target, tol = tolerance;
  auto lowWrong = [&](int64_t key) { return t - static_cast<long double>(FloatOf(key)) >= tol; };
  auto highWrong = [&](int64_t key) { return t - static_cast<long double>(FloatOf(key)) <= -tol; };
  const float nan = std::bit_cast<float>(0x7FC00000u);
  if (!lowWrong(kLowestKey)) {
    low = nan;
  } else {
    int64_t a = kLowestKey, b = kHighestKey + 1;  // lowWrong(a), not lowWrong(b)
    while (b - a > 1) {
      const int64_t m = a + (b - a) / 2;
      (lowWrong(m) ? a : b) = m;
    }
    low = FloatOf(a);
  }
  if (!highWrong(kHighestKey)) {
    high = nan;
  } else {
    int64_t a = kLowestKey - 1, b = kHighestKey;  // not highWrong(a), highWrong(b)
    while (b - a > 1) {
      const int64_t m = a + (b - a) / 2;
      (highWrong(m) ? b : a) = m;
    }
    high = FloatOf(b);
  }
}

bool SameTargets(const TBackProp& net, const Prepared& p) {
  const int32_t O = net.OutputCount;
  if (p.rankO != O || p.toleranceBits != BitsOf(net.Tolerance)) return false;
  if (p.targetCopy.size() != net.TrainingSet.size() * size_t(O)) return false;
  for (size_t i = 0; i < net.TrainingSet.size(); ++i) {
    const TLayer& target = net.TrainingSet[i].Target;
    if (target.size() < size_t(O) + 1) return false;
    if (std::memcmp(target.data() + 1, p.targetCopy.data() + i * size_t(O), size_t(O) * sizeof(float)) != 0)
      return false;
  }
  return true;
}

void PrepareRanking(const TBackProp& net, Prepared& p) {
  if (p.rankBuilt && SameTargets(net, p)) return;
  p.rankBuilt = false;
  p.rankUsable = false;
  const int32_t O = net.OutputCount;
  const size_t patterns = net.TrainingSet.size();
  p.rankO = O;
  p.toleranceBits = BitsOf(net.Tolerance);
  p.targetCopy.clear();
  p.rankBuilt = true;
  if (O <= 0 || net.OutputLayer.size() < size_t(O) + 1) return;
  p.words = (size_t(O) + 63) / 64;
  p.plusBits.assign(patterns * p.words, 0);
  p.targetCopy.resize(patterns * size_t(O));
  bool usable = true;
  for (size_t i = 0; i < patterns; ++i) {
    const TLayer& target = net.TrainingSet[i].Target;
    if (target.size() < size_t(O) + 1) {
      // Short targets are handled by the plain ranking; nothing to copy.
      p.targetCopy.clear();
      p.rankBuilt = false;
      return;
    }
    std::memcpy(p.targetCopy.data() + i * size_t(O), target.data() + 1, size_t(O) * sizeof(float));
    for (int32_t o = 0; o < O; ++o) {
      const uint32_t b = BitsOf(target[size_t(o) + 1]);
      if (b == 0x3F800000u) {
        p.plusBits[i * p.words + size_t(o) / 64] |= uint64_t(1) << (o % 64);
      } else if (b != 0xBF800000u) {
        usable = false;
      }
    }
  }
  if (!usable) return;
  Thresholds(1.0f, net.Tolerance, p.plusLow, p.plusHigh);
  Thresholds(-1.0f, net.Tolerance, p.minusLow, p.minusHigh);
  // The lead changes when the leader's shown score is below the new exact
  // score; both fall as the count of wrong outputs grows.
  p.beats.assign(size_t(O) + 1, 0);
  for (int32_t lead = 0; lead <= O; ++lead) {
    const long double shown = ShownScore(ScoreOf(lead, O));
    int32_t e = 0;
    while (e <= O && shown < ScoreOf(e, O)) ++e;
    p.beats[size_t(lead)] = e;
  }
  p.plusWrong.assign(p.words, 0);
  p.minusWrong.assign(p.words, 0);
  p.rankUsable = true;
}

// The winner of the ranking from the masks of wrong outputs: pattern i's
// wrong count is the popcount of (its +1 targets and plus) or (its -1
// targets and minus).
inline size_t BestPatternOf(const Prepared& p, size_t patterns) {
  const uint64_t* plus = p.plusWrong.data();
  const uint64_t* minus = p.minusWrong.data();
  size_t best = 0;
  int32_t bestWrong = 0;
  for (size_t i = 0; i < patterns; ++i) {
    const uint64_t* bits = p.plusBits.data() + i * p.words;
    int32_t wrong = 0;
    for (size_t w = 0; w < p.words; ++w) wrong += __builtin_popcountll((bits[w] & plus[w]) | (~bits[w] & minus[w]));
    if (i == 0 || wrong < p.beats[size_t(bestWrong)]) {
      best = i;
      bestWrong = wrong;
    }
  }
  return best;
}

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(__POPCNT__)
// The same with the processor's popcount instruction where it has one (the
// baseline x86 instruction set has none, and the library's bit loop costs
// more than the rest of the ranking).
__attribute__((target("popcnt"))) size_t BestPatternPopcnt(const Prepared& p, size_t patterns) {
  return BestPatternOf(p, patterns);
}

size_t BestPattern(const Prepared& p, size_t patterns) {
  static const bool popcnt = Processor().popcnt;
  return popcnt ? BestPatternPopcnt(p, patterns) : BestPatternOf(p, patterns);
}
#else
size_t BestPattern(const Prepared& p, size_t patterns) { return BestPatternOf(p, patterns); }
#endif

// The hidden layer's packed doubles from its packed Singles.
void RefreshHiddenWide(Prepared& p) {
  WidenPacked(p.hidden);
  p.hiddenWideStale = false;
}

// The forward pass over p's packed layers, which hold net's weights.
void Forward(TBackProp& net, const KernelTable& k, Prepared& p) {
  const float* in = net.InputLayer.data();
  bool signsOnly = true;
  for (int32_t i = 0; i <= p.I; ++i) {
    const uint32_t b = BitsOf(in[i]);
    if ((b & 0x7FFFFFFFu) != 0x3F800000u) {
      signsOnly = false;
      break;
    }
    p.signs[size_t(i)] = b & 0x80000000u;
  }
  p.signsOnly = signsOnly;
  if (!signsOnly && p.hiddenWideStale) RefreshHiddenWide(p);
  Layer(k, p, p.hidden, net.HiddenWeights, in, signsOnly, p.hiddenSums.data(), net.HiddenLayer.data());
  // The general sums read the doubles without the Single multiply-adds, and
  // with them beyond 2^20 inputs (SingleSums).
  if (p.outputWideStale && (!k.singleSums || p.output.inputs > (1 << 20))) {
    WidenPacked(p.output);
    p.outputWideStale = false;
  }
  Layer(k, p, p.output, net.OutputWeights, net.HiddenLayer.data(), false, p.outputSums.data(),
        net.OutputLayer.data());
}

}  // namespace

// ---- training ----

struct TrainingKernels::State {
  const KernelTable* k = nullptr;
  Prepared p;
  AlignedDoubles outRates, hiddenRates;  // by unit - 1, padded with 0 to the strides
  AlignedFloats hiddenChanges;           // Single(hiddenRates), for inputs of +-1
  std::vector<uint8_t> bad;      // kept all 0 between the steps' calls
  std::vector<uint8_t> suspect;  // the hidden error sums' marks
  std::vector<const float*> rows;
  std::vector<float> sums;
  // Training keeps one copy of the output layer up to date, the one its
  // general sums read (KernelTable::singleSums); the other is stale until
  // something needs it.
  bool outputSinglesStale = false, outputWideStale = false;
  int32_t stepsSinceBounds = 0;  // updates since output.absSums was computed from the weights
};

TrainingKernels::TrainingKernels() : s_(std::make_unique<State>()) {}
TrainingKernels::~TrainingKernels() = default;

bool TrainingKernels::Begin(const TBackProp& net, Level level) {
  State& s = *s_;
  s.k = Table(level);
  if (!s.k) return false;
  s.p.forwardBuilt = false;
  if (!PrepareForward(net, s.p, true)) {
    s.k = nullptr;
    return false;
  }
  const size_t I = size_t(net.InputCount), H = size_t(net.HiddenCount), O = size_t(net.OutputCount);
  s.outRates.Assign(s.p.output.stride);
  s.hiddenRates.Assign(s.p.hidden.stride);
  s.hiddenChanges.Assign(s.p.hidden.stride);
  s.bad.assign(std::max({I + 1, H + 1, s.p.hidden.stride, s.p.output.stride}), 0);
  s.suspect.assign(H + 1, 0);
  s.rows.resize(O);
  s.sums.assign(H + 1, 0.0f);
  s.outputSinglesStale = s.outputWideStale = false;
  s.stepsSinceBounds = 0;
  return true;
}

const PackedLayer& TrainingKernels::PackedOutput() const { return s_->p.output; }

void TrainingKernels::Propagate(TBackProp& net) {
  State& s = *s_;
  // The output layer's stale copy is one its general sums do not read (its
  // Singles, without the Single multiply-adds), except that those read the
  // doubles for layers beyond 2^20 inputs.
  PackedLayer& output = s.p.output;
  if (s.outputWideStale && output.inputs > (1 << 20)) {
    const size_t n = output.stride * size_t(output.inputs);
    for (size_t j = 0; j < n; ++j) output.wide.data()[j] = output.weights.data()[j];
    s.outputWideStale = false;
  }
  Forward(net, *s.k, s.p);
}

void TrainingKernels::HiddenErrorSums(const TBackProp& net, const float* deltaO, float* sums) {
  State& s = *s_;
  const int32_t H = s.p.H, O = s.p.O;
  for (int32_t o = 1; o <= O; ++o) s.rows[size_t(o - 1)] = net.OutputWeights[size_t(o)].data();
  uint8_t* suspect = s.suspect.data();
  const int32_t done = s.k->backSums(s.rows.data(), deltaO + 1, O, H + 1, s.sums.data(), suspect);
  for (int32_t h = 1; h <= H; ++h) {
    if (h < done && !suspect[h]) {
      sums[h] = s.sums[size_t(h)];
      continue;
    }
    float sum = 0.0f;
    for (int32_t o = 1; o <= O; ++o)
      sum = float(sum + static_cast<long double>(deltaO[o]) * net.OutputWeights[size_t(o)][size_t(h)]);
    sums[h] = sum;
  }
}

namespace {

// One row's changes where the kernel left them: the convention's own steps.
// The marks are cleared for the next call.
void RedoRow(float* w, const float* x, double rate, int32_t n, uint8_t* bad) {
  const long double r = rate;
  for (int32_t j = 0; j < n; ++j) {
    if (!bad[j]) continue;
    w[j] = float(static_cast<long double>(w[j]) + Single(r * x[j]));
    bad[j] = 0;
  }
}

// Steps layer's weights (rows 1..units, columns 0..n, x the layer's inputs)
// by rates[u] * x[i], in the rows and in the packed Singles and/or doubles.
void StepLayer(const KernelTable& k, TLayerWeights& rows, PackedLayer& packed, const double* rates, const float* x,
               bool singles, bool doubles, uint8_t* bad) {
  const int32_t units = packed.units, n = packed.inputs - 1;
  for (int32_t u = 1; u <= units; ++u) {
    float* row = rows[size_t(u)].data();
    if (k.rowStep(row, x, rates[u - 1], n + 1, bad)) RedoRow(row, x, rates[u - 1], n + 1, bad);
  }
  for (int32_t i = 0; i <= n; ++i) {
    float* w = singles ? packed.weights.data() + size_t(i) * packed.stride : nullptr;
    double* wide = doubles ? packed.wide.data() + size_t(i) * packed.stride : nullptr;
    if (!k.columnStep(w, wide, rates, x[i], int32_t(packed.stride), bad)) continue;
    // The same elements as in the rows, now settled there; padding lanes
    // (a weight of 0 times an infinite input) stay as they are.
    for (size_t u = 0; u < packed.stride; ++u) {
      if (!bad[u]) continue;
      bad[u] = 0;
      if (u >= size_t(units)) continue;
      const float v = rows[u + 1][size_t(i)];
      if (wide) wide[u] = v;
      if (w) w[u] = v;
    }
  }
}

// After a step of every weight w[u][i] by c = Single(rates[u] * x[i]): each
// absSums[u] still at least the sum of its unit's |w|. For the new weight
// w' = Single(w + c) (or the same in extended precision, where the kernels
// left it) |c| <= |rates[u]| |x[i]| (1 + 2^-23) and |w'| <= (|w| + |c|)
// (1 + 2^-23), so the new sum of magnitudes is at most (A + |rates[u]| X
// (1 + 2^-23)) (1 + 2^-23), A the old one (at most absSums[u]) and X the sum
// of |x[i]|. The double sums below (at most 2^20 terms, relative error below
// 2^-32) and the rounding to Single (2^-24) lose less than the factor
// 1 + 2^-20 gains over (1 + 2^-23)^2, so the result bounds it. A weight or
// input that is not finite makes X, the product or the sum infinite or NaN:
// the bound is then infinite, as RefreshBounds leaves it. A bound that is
// too large only makes the general sums test more steps.
void AdvanceBounds(PackedLayer& layer, const double* rates, const float* x) {
  double xsum = 0.0;
  for (int32_t i = 0; i < layer.inputs; ++i) xsum += std::fabs(double(x[i]));
  float* bounds = layer.absSums.data();
  for (int32_t u = 0; u < layer.units; ++u) {
    const double b = (double(bounds[u]) + std::fabs(rates[u]) * xsum) * (1.0 + 0x1p-20);
    float f = !(b <= double(FLT_MAX)) ? std::numeric_limits<float>::infinity() : float(b);
    if (f < 0x1p-126f) f = 0x1p-126f;
    bounds[u] = f;
  }
}

// Updates between two computations of the output layer's bounds from its
// weights: the bounds grow by every change's magnitude meanwhile.
constexpr int32_t kBoundsEvery = 64;

}  // namespace

void TrainingKernels::Update(TBackProp& net, const double* outRates, const double* hiddenRates) {
  State& s = *s_;
  std::copy(outRates + 1, outRates + 1 + s.p.O, s.outRates.data());
  std::copy(hiddenRates + 1, hiddenRates + 1 + s.p.H, s.hiddenRates.data());
  // The output layer's inputs are never all +-1 (its hidden values are
  // activations), so it always takes the general sums: only the copy they
  // read is stepped, the Singles with their bounds or the doubles.
  PackedLayer& output = s.p.output;
  const size_t n = output.stride * size_t(output.inputs);
  if (s.k->singleSums) {
    if (s.outputSinglesStale) {
      for (size_t j = 0; j < n; ++j) output.weights.data()[j] = float(output.wide.data()[j]);
      s.outputSinglesStale = false;
      output.boundsStale = true;
    }
    StepLayer(*s.k, net.OutputWeights, output, s.outRates.data(), net.HiddenLayer.data(), true, false, s.bad.data());
    s.outputWideStale = true;
    // The bounds follow the weights step by step, and are computed from them
    // again now and then, so that they do not drift far above them.
    if (output.boundsStale || ++s.stepsSinceBounds >= kBoundsEvery) {
      RefreshBounds(output);
      s.stepsSinceBounds = 0;
    } else {
      AdvanceBounds(output, s.outRates.data(), net.HiddenLayer.data());
    }
  } else {
    if (s.outputWideStale) {
      for (size_t j = 0; j < n; ++j) output.wide.data()[j] = output.weights.data()[j];
      s.outputWideStale = false;
    }
    StepLayer(*s.k, net.OutputWeights, output, s.outRates.data(), net.HiddenLayer.data(), false, true, s.bad.data());
    s.outputSinglesStale = true;
  }
  s.p.hidden.boundsStale = true;
  // Inputs of +-1 (the glyph encoder's): every change of a hidden unit is
  // +-Single(its rate). Not for a change that is not finite: the sign of a
  // NaN is not flipped by the extended-precision multiply.
  const int32_t H = s.p.H, I = s.p.I;
  float* changes = s.hiddenChanges.data();
  bool finite = true;
  for (int32_t h = 0; h < H; ++h) {
    changes[h] = float(s.hiddenRates.data()[h]);
    finite &= std::fabs(changes[h]) <= FLT_MAX;
  }
  if (!s.p.signsOnly || !finite) {
    if (s.p.hiddenWideStale) RefreshHiddenWide(s.p);
    StepLayer(*s.k, net.HiddenWeights, s.p.hidden, s.hiddenRates.data(), net.InputLayer.data(), true, true, s.bad.data());
    return;
  }
  // The packed doubles are refreshed when a forward pass needs them.
  for (int32_t h = 1; h <= H; ++h) s.k->rowSignStep(net.HiddenWeights[size_t(h)].data(), changes[h - 1], s.p.signs.data(), I + 1);
  for (int32_t i = 0; i <= I; ++i)
    s.k->columnSignStep(s.p.hidden.weights.data() + size_t(i) * s.p.hidden.stride, changes, s.p.signs[size_t(i)],
                        int32_t(s.p.hidden.stride));
  s.p.hiddenWideStale = true;
}

bool Propagate(TBackProp& net, PreparedSlot& slot, Level level) {
  const KernelTable* k = Table(level);
  if (!k) return false;
  Prepared& p = slot.Get();
  if (!(slot.fixedDepth > 0 && p.forwardTrusted)) {
    if (!PrepareForward(net, p, false)) return false;
    p.forwardTrusted = slot.fixedDepth > 0;
  }
  Forward(net, *k, p);
  return true;
}

bool Recognize(const TBackProp& net, PreparedSlot& slot, std::string& name) {
  Prepared& p = slot.Get();
  if (!(slot.fixedDepth > 0 && p.rankTrusted)) {
    PrepareRanking(net, p);
    p.rankTrusted = slot.fixedDepth > 0 && p.rankBuilt;
  }
  if (!p.rankBuilt || !p.rankUsable) return false;
  const size_t patterns = net.TrainingSet.size();
  if (patterns == 0) {
    name.clear();
    return true;
  }
  // Which outputs would be wrong against a target of +1, and against -1.
  const int32_t O = p.rankO;
  const float* out = net.OutputLayer.data() + 1;
  uint64_t* plus = p.plusWrong.data();
  uint64_t* minus = p.minusWrong.data();
  std::fill(plus, plus + p.words, 0);
  std::fill(minus, minus + p.words, 0);
  for (int32_t o = 0; o < O; ++o) {
    const float v = out[o];
    const uint64_t bit = uint64_t(1) << (o % 64);
    if (v <= p.plusLow || v >= p.plusHigh) plus[o / 64] |= bit;
    if (v <= p.minusLow || v >= p.minusHigh) minus[o / 64] |= bit;
  }
  name = net.TrainingSet[BestPattern(p, patterns)].Name;
  return true;
}

}  // namespace kyt::kernels

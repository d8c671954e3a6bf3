#pragma once
// The fast forward pass and ranking of TBackProp, with the same results bit
// for bit as the plain extended-precision arithmetic (BackPropCls.cpp).
//
// Three kinds of kernel, each built for several instruction-set levels and
// chosen at run time by what the processor offers:
//   - sign sums: a layer whose inputs are exactly +1 or -1 (the glyph
//     encoder's inputs, the bias), as one Single addition per step;
//   - general sums: any inputs, each step as one double multiply-add whose
//     rounding to Single is checked for the one case where it could differ,
//     or, where the processor has a Single multiply-add (AVX2, AVX-512), as
//     that, with tests that send the rare steps it cannot prove to the
//     double form;
//   - activation: the bipolar sigmoid in double, accepted only where it
//     provably rounds to the same Single as the extended computation.
// Whatever a kernel cannot prove is recomputed by the extended-precision code,
// unit by unit. Why each shortcut is exact is written down where it is used
// (ForwardKernelsImpl.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kyt {
class TBackProp;
}

namespace kyt::kernels {

// Instruction-set levels, from the extended-precision reference upwards.
enum class Level : int { Reference = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };
constexpr int kLevelCount = 4;

const char* LevelName(Level level);
// Compiled into this program and offered by this processor.
bool Available(Level level);
// The best available level.
Level BestLevel();
// The level Propagate and Recognize use: the forced one, else the best.
Level CurrentLevel();
// Runs everything with `level` (which must be available) until called again
// with std::nullopt; for tests and benchmarks. Raises kyt::Error otherwise.
void ForceLevel(std::optional<Level> level);

// Float storage aligned to 64 bytes, as the widest kernels load it.
template <typename T>
class AlignedArray {
 public:
  AlignedArray() = default;
  AlignedArray(const AlignedArray&) = delete;
  AlignedArray& operator=(const AlignedArray&) = delete;
  ~AlignedArray() { Free(data_); }
  // n elements, all 0.
  void Assign(size_t n);
  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  static void Free(T* p);
  T* data_ = nullptr;
  size_t size_ = 0;
};
using AlignedFloats = AlignedArray<float>;
using AlignedDoubles = AlignedArray<double>;

// Units of a layer are handled in groups of this many (the widest vector).
constexpr size_t kUnitAlign = 16;

// One layer's weights turned around for the kernels: element [i * stride + u]
// is the weight from input i (0 is the bias) to unit u + 1. Units beyond the
// layer's own count are padded with 0.0 up to stride, a multiple of kUnitAlign.
struct PackedLayer {
  int32_t inputs = 0;  // input elements including the bias, n + 1
  int32_t units = 0;
  size_t stride = 0;
  AlignedFloats weights;
  AlignedDoubles wide;  // the same as doubles, for the general sums
  // Per unit (stride elements): a Single at least the sum of the magnitudes
  // of its weights, at least 2^-126 (infinite where that sum is beyond the
  // Singles), which the general sums in Single bound their running sums by.
  // Whoever changes the weights sets boundsStale; RefreshBounds recomputes.
  AlignedFloats absSums;
  bool boundsStale = false;
};

// Recomputes layer.absSums from layer.weights and clears boundsStale.
void RefreshBounds(PackedLayer& layer);

// The kernels of one level. Arrays of units have `stride` elements.
struct KernelTable {
  // sums[u] := the convention's running sum over inputs with values +-1,
  // signs[i] holding the sign bit of input i (0 or 0x80000000). Exact.
  void (*signSums)(const PackedLayer& layer, const uint32_t* signs, float* sums);
  // sums[u] := the convention's running sum for any inputs; suspect[u] := 1
  // where some step could round differently (then sums[u] is to be redone).
  void (*generalSums)(const PackedLayer& layer, const float* in, float* sums, uint8_t* suspect);
  // out[u] := Activation(sums[u]) for u < count where it is proved; suspect[u]
  // := 1 where it is not (out[u] is then to be redone). Elements up to count
  // rounded up to kUnitAlign are read and written.
  void (*activate)(const float* sums, float* out, int32_t count, uint8_t* suspect);

  // Training. w[j] := w[j] + Single(rate * x[j]) for j < n, with the
  // convention's rounding; where that is not proved bad[j] := 1 and w[j] is
  // left as it was (other bytes of bad are not written: the caller keeps them
  // 0). Returns whether any bad[j] was set.
  bool (*rowStep)(float* w, const float* x, double rate, int32_t n, uint8_t* bad);
  // The same with a rate per element and one x, on a packed layer's column
  // of doubles, of Singles, or of both (either pointer may be null; the
  // weights are read from the doubles when both are given); n a multiple of
  // kUnitAlign.
  bool (*columnStep)(float* w, double* wide, const double* rates, double x, int32_t n, uint8_t* bad);
  // sums[j] := the convention's running sum over r < count of factors[r] *
  // rows[r][j], suspect[j] as for generalSums, for j below the returned
  // count (n, or 0 when n is less than one vector and the level has no
  // partial vectors); the caller sums the rest.
  int32_t (*backSums)(const float* const* rows, const float* factors, int32_t count, int32_t n, float* sums,
                      uint8_t* suspect);
  // Inputs of +-1 (sign bits as for signSums): w[j] := w[j] + (change with
  // signs[j] applied), exact; and down a packed column of Singles, w[j] :=
  // w[j] + (changes[j] with sign applied), n a multiple of kUnitAlign.
  void (*rowSignStep)(float* w, float change, const uint32_t* signs, int32_t n);
  void (*columnSignStep)(float* w, const float* changes, uint32_t sign, int32_t n);

  // Whether generalSums reads a packed layer's Singles and its absSums (the
  // Single multiply-adds) rather than its doubles; then it reads the doubles
  // only for layers of more than 2^20 inputs.
  bool singleSums;
};

// The table of an available level other than Reference; nullptr otherwise.
const KernelTable* Table(Level level);

// Lays `rows` (row u = unit u, rows 1..units, columns 0..n) out as a PackedLayer.
// Without `wide` only the Singles are laid out; the doubles are left empty
// and the bounds stale, for WidenPacked and RefreshBounds to fill when a
// kernel is about to read them.
void Pack(const std::vector<std::vector<float>>& rows, int32_t n, int32_t units, PackedLayer& packed,
          bool wide = true);
// Sets layer.wide to the packed Singles as doubles.
void WidenPacked(PackedLayer& layer);

// What Propagate and Recognize keep between calls: the weights turned around,
// the ranking's tables, and copies of what they were built from, so that a
// change by any caller is noticed.
struct Prepared;

// The cache as a member of TBackProp: a copied network starts without one.
class PreparedSlot {
 public:
  PreparedSlot();
  PreparedSlot(const PreparedSlot&);
  PreparedSlot(PreparedSlot&&) noexcept;
  PreparedSlot& operator=(const PreparedSlot&);
  PreparedSlot& operator=(PreparedSlot&&) noexcept;
  ~PreparedSlot();
  Prepared& Get();
  // Ends a FixedNetwork: the next call checks the network's weights against the packed ones again.
  void Release();
  // The weights are not checked against the packed ones while the network is held fixed
  // (see TBackProp::FixedNetwork).
  int fixedDepth = 0;

 private:
  std::unique_ptr<Prepared> p_;
};

// The forward pass with the kernels of `level` (not Reference). Returns false
// when the network is not in a shape they handle (layers or weight rows of
// other sizes than the counts say); the caller then runs the reference code.
bool Propagate(TBackProp& net, PreparedSlot& slot, Level level);
// Training's share of the kernels (BackPropTraining.cpp): the forward pass
// over weights packed once and then kept up to date by Update, the hidden
// error sums, and the weight changes, each with the convention's results.
class TrainingKernels {
 public:
  TrainingKernels();
  ~TrainingKernels();
  TrainingKernels(const TrainingKernels&) = delete;
  TrainingKernels& operator=(const TrainingKernels&) = delete;

  // Packs net's weights for `level`; false when that level has no kernels
  // or the network is not in a shape they handle. Only Update may change the
  // weights until the next Begin.
  bool Begin(const TBackProp& net, Level level);
  // As TBackProp::Propagate.
  void Propagate(TBackProp& net);
  // sums[h] := the running sum over o = 1..O of deltaO[o] *
  // OutputWeights[o][h], for h = 1..H.
  void HiddenErrorSums(const TBackProp& net, const float* deltaO, float* sums);
  // OutputWeights[o][h] += Single(outRates[o] * HiddenLayer[h]) and
  // HiddenWeights[h][i] += Single(hiddenRates[h] * InputLayer[i]), each rate
  // an exact product of two Singles, indexed from 1 like the units.
  void Update(TBackProp& net, const double* outRates, const double* hiddenRates);
  // For tests: the output layer as the forward pass reads it. Of its Singles
  // and doubles only the copy the level's general sums read is kept current
  // (KernelTable::singleSums); where that is the Singles, its absSums bound
  // each unit's sum of their magnitudes.
  const PackedLayer& PackedOutput() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Recognize's answer from the bit masks; false when the training set is not
// of the kind they handle (targets other than +-1, short targets).
bool Recognize(const TBackProp& net, PreparedSlot& slot, std::string& name);

// The ranking's score of a pattern with `wrong` of `outputs` outputs wrong, and
// the value its two-decimal text reads back as (BackPropCls.cpp).
float ScoreOf(int32_t wrong, int32_t outputs);
long double ShownScore(float score);

// Per-glyph counts of the last Propagate calls on this thread, for benchmarks
// and tests: units recomputed by the extended-precision code.
struct FallbackCounts {
  uint64_t sums = 0;
  uint64_t activations = 0;
  uint64_t units = 0;  // all units computed by the kernels
  // Vectors of units whose general sums in Single met a step they could not
  // prove and were redone by the checked double kernel.
  uint64_t blocks = 0;
};
FallbackCounts& Fallbacks();

}  // namespace kyt::kernels

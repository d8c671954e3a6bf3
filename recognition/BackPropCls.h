#pragma once
// TBackProp: a three-layer back-propagation network with bias units, a bipolar
// sigmoid, its whole training set, and its knowledge-base file.
//
// Layer convention: real units are numbered from 1; element 0 of the input and
// hidden layers is a bias unit fixed at 1.0; element 0 of the output layer, of
// samples and of targets exists but is never used.
//
// Numeric convention: every arithmetic step is done in extended precision
// (long double, 64-bit mantissa on x86) and rounded to float when stored;
// running sums are floats rounded after every addition, in ascending index order.
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/ForwardKernels.h"

namespace kyt {

class IByteStreams;
class KnowledgeBaseSource;

// What a knowledge-base load keeps: the whole file, or what recognition reads
// (dimensions, weights, every pattern's target and name, the parameters) with
// the stored training samples passed over. The file is checked the same way
// either way and a damaged one refused with the same message.
enum class KnowledgeBaseParts { All, ForRecognition };

using TLayer = std::vector<float>;
using TLayerWeights = std::vector<TLayer>;

struct TTrainingPairs {
  std::vector<TLayer> Samples;  // each InputCount + 1 elements, element 0 unused
  TLayer Target;                // OutputCount + 1 elements, element 0 unused
  std::string Name;             // the text recognition yields for this pattern
};
using TTrainingSet = std::vector<TTrainingPairs>;

class TBackProp {
 public:
  using Event = std::function<void(TBackProp&)>;

  // By layer sizes: default parameters, random weights, empty training set.
  TBackProp(int32_t inputCount, int32_t hiddenCount, int32_t outputCount);
  // By grid dimensions: InputCount = rows x cols, OutputCount = rows x cols.
  TBackProp(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols, int32_t hiddenCount);
  // From a knowledge-base file; everything comes from the file. Raises kyt::Error.
  explicit TBackProp(const std::string& fileName);
  // The same, keeping only `parts` of the file (see LoadForRecognition).
  TBackProp(const std::string& fileName, KnowledgeBaseParts parts);
  virtual ~TBackProp() = default;

  virtual std::string PatternName(int32_t index) const;
  virtual int32_t PatternCount() const;
  virtual void GetOutputs(TLayer& values) const;
  virtual void SetLearningRate(float value);
  virtual void SetMaxEpochs(int32_t value);
  virtual void SetWeightRange(float value);
  virtual void AllocateLayers();
  virtual void RandomizeWeights();
  virtual void CountTargetValues();
  virtual void AddTrainingPairs(const TTrainingPairs& pairs);
  virtual void Retrain();
  virtual void Train();
  virtual void Propagate();
  // Name of the best pattern for the current OutputLayer; "" with no patterns.
  virtual void Recognize(std::string& name);
  virtual void RankPatterns(std::vector<std::string>& names, std::vector<std::string>& scores,
                            std::vector<std::string>& counts);
  virtual void ClearTrainingSet();
  virtual void Reshape(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols,
                       int32_t hiddenCount);

  // Knowledge-base file, from a file or from the stream `name` of `streams`.
  // Both raise kyt::Error on failure ("File not found." for a stream that is
  // not there); a failed load leaves the network exactly as it was.
  virtual void LoadFromFile(const std::string& fileName);
  virtual void LoadFromStream(const std::string& name, IByteStreams& streams);
  virtual void SaveToFile(const std::string& fileName);
  // LoadFromFile without the training samples: every pattern keeps its target
  // and name but no samples, which recognition never reads. A network loaded
  // so refuses to be saved (kyt::Error), since the file written would lack
  // them; a full load or ClearTrainingSet lifts the refusal.
  void LoadForRecognition(const std::string& fileName);
  // False after LoadForRecognition: the patterns' samples were not loaded.
  bool HoldsTrainingSamples() const { return !samplesSkipped_; }
  // The same format from and to memory (used by the two loaders and by tools).
  void LoadFromBytes(const std::vector<uint8_t>& bytes, KnowledgeBaseParts parts = KnowledgeBaseParts::All);
  std::vector<uint8_t> SaveToBytes() const;

  static float Activation(float x);
  static float ActivationDerivative(float y);
  // Grid bitmap -> InputLayer[1..W*H], row-major, +1 for black (0) pixels, -1 otherwise.
  static void BitmapToInput(const Bitmap& grid, TLayer& layer);

  // While one is alive, the caller promises to change neither the weights,
  // the targets nor Tolerance; Propagate and Recognize then check their packed
  // copies of them only once instead of on every call. Only InputLayer may
  // be written (as recognition does for every glyph).
  class FixedNetwork {
   public:
    explicit FixedNetwork(TBackProp& net) : net_(net) { ++net_.prepared_.fixedDepth; }
    ~FixedNetwork() {
      if (--net_.prepared_.fixedDepth == 0) net_.prepared_.Release();
    }
    FixedNetwork(const FixedNetwork&) = delete;
    FixedNetwork& operator=(const FixedNetwork&) = delete;

   private:
    TBackProp& net_;
  };

  // Makes RandomizeWeights reproducible (tools' --seed); by default it seeds from the clock.
  void SetRandomSeed(std::optional<uint64_t> seed);

  Event OnEpoch;
  Event OnTrained;
  int32_t InputCount = 0;
  int32_t HiddenCount = 0;
  int32_t OutputCount = 0;
  TLayer InputLayer;
  TLayer HiddenLayer;
  TLayer OutputLayer;
  TLayerWeights HiddenWeights;  // (H+1) rows x (I+1) columns, row 0 unused
  TLayerWeights OutputWeights;  // (O+1) rows x (H+1) columns, row 0 unused
  TTrainingSet TrainingSet;
  float Tolerance = 1.0f;
  float LearningRate = 0.001f;
  int32_t MaxEpochs = 10000;
  bool StopRequested = false;
  float ErrorGoal = -1.0f;
  float MeanErrorGoal = 0.01f;
  float WeightRange = 0.5f;
  int32_t InputRows = 0;
  int32_t InputCols = 0;
  int32_t OutputRows = 0;
  int32_t OutputCols = 0;
  int32_t ErrorCount = 0;
  int32_t Epoch = 0;
  int32_t TargetValueCount = 0;
  float ErrorSum = 0.0f;
  bool Modified = false;

 protected:
  TBackProp() = default;

 private:
  // Parses a knowledge base into a temporary network and, only when all of
  // it is sound, takes it over. `name` names it in error texts.
  void LoadKnowledgeBase(KnowledgeBaseSource& source, const std::string& name, KnowledgeBaseParts parts);
  void LoadFile(const std::string& fileName, KnowledgeBaseParts parts);

  std::optional<uint64_t> seed_;
  bool samplesSkipped_ = false;  // loaded for recognition only
  kernels::PreparedSlot prepared_;
  std::mt19937_64 random_;
};

}  // namespace kyt

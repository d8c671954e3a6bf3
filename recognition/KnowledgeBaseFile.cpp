// The knowledge-base file (.dcr) of TBackProp: a flat little-endian sequence of
// int32 and float32 values and name bytes, with no magic number.
//
//   header   InputRows, InputCols, OutputRows, OutputCols, HiddenCount (int32)
//   weights  HiddenWeights[1..H][0..I], then OutputWeights[1..O][0..H] (float32)
//   patterns N (int32); per pattern: S (int32), S samples of I float32 values
//            (elements 1..I), the target's O float32 values (elements 1..O),
//            L (int32) and the L bytes of the name
//   trailer  LearningRate, WeightRange, Tolerance, ErrorGoal, MeanErrorGoal
//            (float32), MaxEpochs, ErrorCount, Epoch (int32), ErrorSum (float32)
//
// Reading checks every count against the bytes that remain before anything is
// allocated for it, and builds a separate network: the live one is replaced
// only when the whole file has been read.
//
// Memory stays in proportion to the file. A file on disk is read a block at a
// time, never held whole beside the network built from it. Before each part
// of the network is allocated, what it will take in memory (its values plus
// the vectors that hold them) is added up, and a file whose records are so
// small that the network would take more than twice its size plus 16 MiB is
// refused: a one-value sample takes 4 bytes in the file but some 56 as a
// vector of its own.
//
// A load for recognition (KnowledgeBaseParts::ForRecognition) passes over the
// samples, which are nearly all of a trained base: on disk it seeks past them.
// Every count is still checked, and the memory the samples would take still
// counted, exactly as a full load does, so a file refused by one is refused by
// the other with the same message.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "core/ByteStreams.h"
#include "core/Error.h"
#include "core/WholeFile.h"
#include "recognition/BackPropCls.h"

namespace kyt {

namespace {

constexpr size_t kHeaderBytes = 20;
constexpr size_t kTrailerBytes = 36;
constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max() - 1;  // a count plus its bias unit fits

// The network a file builds may take this much memory: twice the file, plus
// a fixed allowance so that any small file loads whatever its shape.
constexpr uint64_t kMemoryPerFileByte = 2;
constexpr uint64_t kMemoryAllowance = uint64_t(16) << 20;

// What a heap block of `bytes` takes, its allocator's header and rounding
// included (an estimate on the generous side for the usual allocators).
constexpr uint64_t HeapBlock(uint64_t bytes) { return bytes == 0 ? 0 : (bytes + 16 + 15) / 16 * 16; }
// A vector of `count` floats held in a vector of vectors: the element and its block.
constexpr uint64_t LayerBytes(uint64_t count) { return sizeof(TLayer) + HeapBlock(4 * count); }

}  // namespace

// Where the bytes of a knowledge base come from, and how many there are.
class KnowledgeBaseSource {
 public:
  virtual ~KnowledgeBaseSource() = default;
  virtual uint64_t Size() const = 0;
  // The next `count` bytes into `dst`; fewer only where the source ends early.
  virtual size_t Read(uint8_t* dst, size_t count) = 0;
  // Moves past the next `count` bytes, which the caller knows the source
  // holds by its size.
  virtual void Skip(uint64_t count) = 0;
};

namespace {

class MemorySource : public KnowledgeBaseSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t Read(uint8_t* dst, size_t count) override {
    count = std::min(count, size_ - pos_);
    if (count) std::memcpy(dst, data_ + pos_, count);
    pos_ += count;
    return count;
  }
  void Skip(uint64_t count) override { pos_ += size_t(std::min<uint64_t>(count, size_ - pos_)); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string SystemErrorText(int code) { return code ? std::string(std::strerror(code)) : std::string(); }

// An open file whose size is known; read as the reader asks for it.
class FileSource : public KnowledgeBaseSource {
 public:
  FileSource(std::FILE* file, uint64_t size, const std::string& name) : file_(file), size_(size), name_(name) {}
  uint64_t Size() const override { return size_; }
  size_t Read(uint8_t* dst, size_t count) override {
    const size_t got = std::fread(dst, 1, count, file_);
    if (got < count && std::ferror(file_)) throw Error("Cannot read file \"" + name_ + "\". " + SystemErrorText(errno));
    return got;
  }
  // A file cut meanwhile shows at the next read, which then finds its end.
  void Skip(uint64_t count) override {
    constexpr uint64_t kStep = uint64_t(1) << 30;  // fits a 32-bit long
    while (count > 0) {
      const uint64_t step = std::min(count, kStep);
      errno = 0;
      if (std::fseek(file_, long(step), SEEK_CUR) != 0)
        throw Error("Cannot read file \"" + name_ + "\". " + SystemErrorText(errno));
      count -= step;
    }
  }

 private:
  std::FILE* file_;
  uint64_t size_;
  const std::string& name_;
};

// The knowledge base's checks over its source: every count is measured
// against the bytes that remain before it is read, a shortfall names the part
// of the file it cut off, and what the network will hold is counted against
// the file's size before it is allocated.
class Reader {
 public:
  Reader(KnowledgeBaseSource& source, const std::string& name)
      : source_(source), name_(name), left_(source.Size()),
        memoryLimit_(source.Size() * kMemoryPerFileByte + kMemoryAllowance) {}

  uint64_t Left() const { return left_; }

  std::string Name() const { return name_.empty() ? std::string("Knowledge base") : "Knowledge base '" + name_ + "'"; }

  [[noreturn]] void Damaged(const std::string& what) const { throw Error(Name() + " is damaged: " + what + "."); }

  // Refuses unless `count` items of `unit` bytes each (plus `reserve` more
  // bytes that must follow them) are still there. No product can overflow.
  void Need(uint64_t count, uint64_t unit, uint64_t reserve, const std::string& what) const {
    if (reserve > left_ || (unit != 0 && count > (left_ - reserve) / unit)) Damaged("the file is too short for " + what);
  }

  // Counts `bytes` more of memory for `what` and refuses once the network
  // would be out of proportion to the file. The callers pass sizes of parts
  // whose bytes Need has found in the file, so no sum can overflow.
  void Hold(uint64_t bytes, const std::string& what) {
    held_ += bytes;
    if (held_ > memoryLimit_)
      throw Error(Name() + " cannot be loaded: with " + what + " it would take " + Megabytes(held_) +
                  " of memory, out of proportion to its " + Megabytes(source_.Size()) + ".");
  }

  int32_t Int(const std::string& what) {
    Need(1, 4, 0, what);
    const uint8_t* p = Take4();
    return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
  }

  float Float(const std::string& what) {
    const int32_t bits = Int(what);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }

  // `count` floats into dst[0..count-1]; the caller has checked they are there.
  void Floats(float* dst, uint64_t count) {
    while (count > 0) {
      if (end_ - pos_ < 4) Fill(4);
      const size_t run = size_t(std::min<uint64_t>(count, (end_ - pos_) / 4));
      for (size_t k = 0; k < run; ++k) {
        const uint8_t* p = block_.data() + pos_ + 4 * k;
        const uint32_t bits = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
        std::memcpy(dst + k, &bits, 4);
      }
      pos_ += 4 * run;
      left_ -= 4 * run;
      dst += run;
      count -= run;
    }
  }

  // Passes over `count` bytes; the caller has checked they are there.
  void Skip(uint64_t count) {
    const size_t buffered = size_t(std::min<uint64_t>(count, end_ - pos_));
    pos_ += buffered;
    left_ -= buffered;
    count -= buffered;
    if (count == 0) return;
    source_.Skip(count);
    left_ -= count;
    skipped_ = true;
  }

  // `count` bytes into dst; the caller has checked they are there.
  void Bytes(std::string& dst, size_t count) {
    dst.resize(count);
    size_t done = 0;
    while (done < count) {
      if (end_ == pos_) Fill(1);
      const size_t run = std::min(count - done, end_ - pos_);
      std::memcpy(dst.data() + done, block_.data() + pos_, run);
      pos_ += run;
      left_ -= run;
      done += run;
    }
  }

 private:
  static std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1 << 20));
    return text;
  }

  const uint8_t* Take4() {
    if (end_ - pos_ < 4) Fill(4);
    const uint8_t* p = block_.data() + pos_;
    pos_ += 4;
    left_ -= 4;
    return p;
  }

  // Keeps what is left of the block and reads more behind it, until at least
  // `want` bytes are there; a source that ends before the size it gave is a
  // file that was cut meanwhile.
  // Once the reader skips (a load for recognition passing over samples), it
  // reads a small window at a time: what lies between two skips is a target
  // and a name, and a whole block read behind every skip would read the
  // skipped samples after all, many times over.
  void Fill(size_t want) {
    if (block_.empty()) block_.resize(size_t(std::min<uint64_t>(kBlockBytes, std::max<uint64_t>(left_, 4))));
    std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    const size_t room = skipped_ ? std::min(block_.size(), end_ + std::max(want, kWindowBytes)) : block_.size();
    while (end_ < want) {
      const size_t got = source_.Read(block_.data() + end_, size_t(std::min<uint64_t>(room - end_, left_ - end_)));
      if (got == 0) Damaged("the file ended while it was read");
      end_ += got;
    }
  }

  static constexpr uint64_t kBlockBytes = 1 << 16;
  static constexpr size_t kWindowBytes = 1 << 12;
  KnowledgeBaseSource& source_;
  const std::string& name_;
  uint64_t left_;            // bytes of the source not yet handed out
  const uint64_t memoryLimit_;
  uint64_t held_ = 0;        // memory the network built so far takes
  std::vector<uint8_t> block_;
  size_t pos_ = 0, end_ = 0;  // the block's bytes not yet handed out
  bool skipped_ = false;
};

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  void Int(int32_t v) { Word(uint32_t(v)); }
  void Float(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Word(bits);
  }
  // Elements first..last of v; an element the vector lacks is written as 0.
  void Floats(const TLayer& v, int64_t first, int64_t last) {
    for (int64_t k = first; k <= last; ++k) Float(size_t(k) < v.size() ? v[size_t(k)] : 0.0f);
  }
  void Bytes(const std::string& s) { out_.insert(out_.end(), s.begin(), s.end()); }

 private:
  void Word(uint32_t v) {
    out_.push_back(uint8_t(v));
    out_.push_back(uint8_t(v >> 8));
    out_.push_back(uint8_t(v >> 16));
    out_.push_back(uint8_t(v >> 24));
  }
  std::vector<uint8_t>& out_;
};

int32_t GridProduct(Reader& in, int32_t rows, int32_t cols, const char* what) {
  if (rows <= 0 || cols <= 0)
    in.Damaged(std::string("its ") + what + " grid " + std::to_string(rows) + " x " + std::to_string(cols) +
               " is not positive");
  const int64_t product = int64_t(rows) * int64_t(cols);
  if (product > kMaxCount)
    in.Damaged(std::string("its ") + what + " grid " + std::to_string(rows) + " x " + std::to_string(cols) +
               " is implausibly large");
  return int32_t(product);
}

}  // namespace

void TBackProp::LoadKnowledgeBase(KnowledgeBaseSource& source, const std::string& name, KnowledgeBaseParts parts) {
  const bool keepSamples = parts == KnowledgeBaseParts::All;
  Reader in(source, name);
  if (source.Size() < kHeaderBytes) in.Damaged("it is shorter than its 20-byte header");
  TBackProp kb;
  kb.InputRows = in.Int("the header");
  kb.InputCols = in.Int("the header");
  kb.OutputRows = in.Int("the header");
  kb.OutputCols = in.Int("the header");
  kb.HiddenCount = in.Int("the header");
  kb.InputCount = GridProduct(in, kb.InputRows, kb.InputCols, "input");
  kb.OutputCount = GridProduct(in, kb.OutputRows, kb.OutputCols, "output");
  if (kb.HiddenCount <= 0) in.Damaged("its hidden unit count " + std::to_string(kb.HiddenCount) + " is not positive");
  if (kb.HiddenCount > kMaxCount) in.Damaged("its hidden unit count is implausibly large");
  const uint64_t I = uint64_t(kb.InputCount);
  const uint64_t H = uint64_t(kb.HiddenCount);
  const uint64_t O = uint64_t(kb.OutputCount);

  // Both weight matrices, the pattern count and the trailer must be there
  // before anything is allocated: H rows of I + 1 values, then O rows of H + 1.
  in.Need(H, 4 * (I + 1), 4 + kTrailerBytes, "the hidden weights");
  const uint64_t hiddenBytes = H * 4 * (I + 1);
  in.Need(O, 4 * (H + 1), hiddenBytes + 4 + kTrailerBytes, "the output weights");

  // The three layers, and both matrices with their unused row 0.
  in.Hold(HeapBlock(4 * (I + 1)) + HeapBlock(4 * (H + 1)) + HeapBlock(4 * (O + 1)) +
              HeapBlock(sizeof(TLayer) * (H + 1)) + (H + 1) * LayerBytes(I + 1) +
              HeapBlock(sizeof(TLayer) * (O + 1)) + (O + 1) * LayerBytes(H + 1),
          "its weights");
  // The layers keep the activations they have where they still fit.
  kb.InputLayer = InputLayer;
  kb.HiddenLayer = HiddenLayer;
  kb.OutputLayer = OutputLayer;
  kb.AllocateLayers();
  for (uint64_t h = 1; h <= H; ++h) in.Floats(kb.HiddenWeights[h].data(), I + 1);
  for (uint64_t o = 1; o <= O; ++o) in.Floats(kb.OutputWeights[o].data(), H + 1);

  const int32_t patterns = in.Int("the pattern count");
  if (patterns < 0) in.Damaged("its pattern count " + std::to_string(patterns) + " is negative");
  // Every pattern takes at least its two counts and its target.
  in.Need(uint64_t(patterns), 8 + 4 * O, kTrailerBytes, std::to_string(patterns) + " patterns");
  in.Hold(HeapBlock(sizeof(TTrainingPairs) * uint64_t(patterns)), std::to_string(patterns) + " patterns");
  kb.TrainingSet.resize(size_t(patterns));
  int64_t targetValues = 0;  // CountTargetValues' sum, from the counts in the file
  for (int32_t n = 0; n < patterns; ++n) {
    TTrainingPairs& pattern = kb.TrainingSet[size_t(n)];
    const std::string which = "pattern " + std::to_string(n + 1);
    const int32_t count = in.Int(which);
    if (count < 0) in.Damaged(which + " has a negative sample count " + std::to_string(count));
    // The samples, this pattern's target and both counts of every pattern still to come.
    const uint64_t reserve = 4 * O + 4 + uint64_t(patterns - 1 - n) * (8 + 4 * O) + kTrailerBytes;
    in.Need(uint64_t(count), 4 * I, reserve, "the " + std::to_string(count) + " samples of " + which);
    in.Hold(HeapBlock(sizeof(TLayer) * uint64_t(count)) + uint64_t(count) * HeapBlock(4 * (I + 1)) +
                HeapBlock(4 * (O + 1)),
            "the " + std::to_string(count) + " samples of " + which);
    targetValues += int64_t(count) * int64_t(O);
    if (keepSamples) {
      pattern.Samples.resize(size_t(count));
      for (TLayer& sample : pattern.Samples) {
        sample.assign(I + 1, 0.0f);
        in.Floats(sample.data() + 1, I);
      }
    } else {
      in.Skip(uint64_t(count) * 4 * I);
    }
    pattern.Target.assign(O + 1, 0.0f);
    in.Floats(pattern.Target.data() + 1, O);
    const int32_t length = in.Int(which);
    if (length < 0) in.Damaged(which + " has a negative name length " + std::to_string(length));
    in.Need(uint64_t(length), 1, uint64_t(patterns - 1 - n) * (8 + 4 * O) + kTrailerBytes,
            "the name of " + which);
    if (uint64_t(length) >= sizeof(std::string) / 2) in.Hold(HeapBlock(uint64_t(length) + 1), "the name of " + which);
    in.Bytes(pattern.Name, size_t(length));
  }

  kb.LearningRate = in.Float("the trailer");
  kb.WeightRange = in.Float("the trailer");
  kb.Tolerance = in.Float("the trailer");
  kb.ErrorGoal = in.Float("the trailer");
  kb.MeanErrorGoal = in.Float("the trailer");
  kb.MaxEpochs = in.Int("the trailer");
  kb.ErrorCount = in.Int("the trailer");
  kb.Epoch = in.Int("the trailer");
  kb.ErrorSum = in.Float("the trailer");
  // Whatever follows the trailer is not part of the knowledge base.
  kb.CountTargetValues();
  // Without its samples the network still knows how many values they gave.
  if (!keepSamples) kb.TargetValueCount = int32_t(std::min<int64_t>(targetValues, std::numeric_limits<int32_t>::max()));

  // Take it over; nothing below can fail.
  InputRows = kb.InputRows;
  InputCols = kb.InputCols;
  OutputRows = kb.OutputRows;
  OutputCols = kb.OutputCols;
  HiddenCount = kb.HiddenCount;
  InputCount = kb.InputCount;
  OutputCount = kb.OutputCount;
  InputLayer.swap(kb.InputLayer);
  HiddenLayer.swap(kb.HiddenLayer);
  OutputLayer.swap(kb.OutputLayer);
  HiddenWeights.swap(kb.HiddenWeights);
  OutputWeights.swap(kb.OutputWeights);
  TrainingSet.swap(kb.TrainingSet);
  LearningRate = kb.LearningRate;
  WeightRange = kb.WeightRange;
  Tolerance = kb.Tolerance;
  ErrorGoal = kb.ErrorGoal;
  MeanErrorGoal = kb.MeanErrorGoal;
  MaxEpochs = kb.MaxEpochs;
  ErrorCount = kb.ErrorCount;
  Epoch = kb.Epoch;
  ErrorSum = kb.ErrorSum;
  TargetValueCount = kb.TargetValueCount;
  Modified = false;
  samplesSkipped_ = !keepSamples;
}

void TBackProp::LoadFromBytes(const std::vector<uint8_t>& bytes, KnowledgeBaseParts parts) {
  MemorySource source(bytes.data(), bytes.size());
  LoadKnowledgeBase(source, "", parts);
}

void TBackProp::LoadFromFile(const std::string& fileName) { LoadFile(fileName, KnowledgeBaseParts::All); }

void TBackProp::LoadForRecognition(const std::string& fileName) {
  LoadFile(fileName, KnowledgeBaseParts::ForRecognition);
}

void TBackProp::LoadFile(const std::string& fileName, KnowledgeBaseParts parts) {
  std::FILE* file = OpenFileForReading(fileName);
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{file};
  // A file whose size cannot be told (a pipe, say) is read whole first.
  const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::clearerr(file);
    const std::vector<uint8_t> bytes = ReadOpenFile(file, fileName);
    MemorySource source(bytes.data(), bytes.size());
    LoadKnowledgeBase(source, fileName, parts);
    return;
  }
  if (uint64_t(size) > kMaxWholeFileBytes) throw Error("The file \"" + fileName + "\" is too large.");
  FileSource source(file, uint64_t(size), fileName);
  LoadKnowledgeBase(source, fileName, parts);
}

void TBackProp::LoadFromStream(const std::string& name, IByteStreams& streams) {
  std::vector<uint8_t> bytes;
  try {
    if (!streams.Read(name, bytes)) throw Error("File not found.");
  } catch (const std::exception&) {
    throw;
  } catch (...) {
    throw Error("Knowledge base '" + name + "' could not be read.");
  }
  MemorySource source(bytes.data(), bytes.size());
  LoadKnowledgeBase(source, name, KnowledgeBaseParts::All);
}

std::vector<uint8_t> TBackProp::SaveToBytes() const {
  if (samplesSkipped_)
    throw Error("The network was loaded for recognition only, without its training samples; it cannot be saved, "
                "as the knowledge base written would lack them.");
  std::vector<uint8_t> bytes;
  const int64_t I = InputCount, H = HiddenCount, O = OutputCount;
  int64_t total = int64_t(kHeaderBytes) + 4 * H * (I + 1) + 4 * O * (H + 1) + 4 + int64_t(kTrailerBytes);
  for (const TTrainingPairs& pattern : TrainingSet)
    total += 8 + 4 * int64_t(pattern.Samples.size()) * I + 4 * O + int64_t(pattern.Name.size());
  bytes.reserve(size_t(total));
  Writer out(bytes);
  out.Int(InputRows);
  out.Int(InputCols);
  out.Int(OutputRows);
  out.Int(OutputCols);
  out.Int(HiddenCount);
  static const TLayer kNone;
  for (int64_t h = 1; h <= H; ++h) out.Floats(size_t(h) < HiddenWeights.size() ? HiddenWeights[size_t(h)] : kNone, 0, I);
  for (int64_t o = 1; o <= O; ++o) out.Floats(size_t(o) < OutputWeights.size() ? OutputWeights[size_t(o)] : kNone, 0, H);
  out.Int(int32_t(TrainingSet.size()));
  for (const TTrainingPairs& pattern : TrainingSet) {
    out.Int(int32_t(pattern.Samples.size()));
    for (const TLayer& sample : pattern.Samples) out.Floats(sample, 1, I);
    out.Floats(pattern.Target, 1, O);
    out.Int(int32_t(pattern.Name.size()));
    out.Bytes(pattern.Name);
  }
  out.Float(LearningRate);
  out.Float(WeightRange);
  out.Float(Tolerance);
  out.Float(ErrorGoal);
  out.Float(MeanErrorGoal);
  out.Int(MaxEpochs);
  out.Int(ErrorCount);
  out.Int(Epoch);
  out.Float(ErrorSum);
  return bytes;
}

void TBackProp::SaveToFile(const std::string& fileName) {
  const std::vector<uint8_t> bytes = SaveToBytes();
  errno = 0;
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (!file) throw Error("Cannot create file \"" + fileName + "\". " + SystemErrorText(errno));
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int code = ok ? 0 : errno;
  if (ok && std::fflush(file) != 0) {
    ok = false;
    code = errno;
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (!ok) throw Error("Cannot write file \"" + fileName + "\". " + SystemErrorText(code));
  Modified = false;
}

}  // namespace kyt

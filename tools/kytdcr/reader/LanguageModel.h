#pragma once
// A character n-gram model of a language's running text, for choosing between
// readings of a line that the network finds about as good.
//
// The model sees text through an alphabet of at most 63 symbols: the letters
// of the language with both cases as one symbol, every digit as one symbol
// (so that it knows numbers, not which number), the blank between words, the
// common signs, and one symbol for everything else. Probabilities are
// interpolated Witten-Bell estimates, pruned and stored in backoff form: an
// n-gram not in the table backs off to the shorter context with its
// context's weight.
//
// File (little-endian, what Serialize writes and Parse reads):
//   8 bytes "KYTLM 1\n"
//   u8 order (1..kMaxOrder), u8 symbol count S (2..kMaxSymbols), u8 the
//   blank's symbol, u8 0
//   256 bytes: the symbol of each byte of code page 1251 (each < S)
//   u32 per order k = 1..order: the number of k-grams stored
//   then per order, the k-grams in ascending order of their symbols (oldest
//   first): k bytes of symbols, i16 ln P(last | the others) in thousandths,
//   i16 the ln of the backoff weight of the k symbols as a context (0 for the
//   highest order)
//   nothing after them.
#include <cstdint>
#include <string>
#include <vector>

namespace kytdcr::reader {

class LanguageModel {
 public:
  static constexpr int kMaxOrder = 8;
  static constexpr int kMaxSymbols = 63;
  // Files larger than this are refused before they are read.
  static constexpr size_t kMaxFileBytes = size_t(16) << 20;

  // What the model remembers of the text before: its last order-1 symbols.
  using State = uint64_t;

  // Which symbol each byte of code page 1251 is.
  struct Alphabet {
    uint8_t symbols = 0;
    uint8_t space = 0;
    uint8_t map[256] = {};
  };
  // The bundled alphabets: "latin" (a-z, digits, ASCII signs) and "russian"
  // (а-я with ё as е, digits, the common signs). Raises kyt::Error for others.
  static Alphabet AlphabetFor(const std::string& name);

  LanguageModel() = default;

  // Counts the n-grams of `text` (code page 1251; line breaks and runs of
  // blanks are one blank, the text begins and ends with one) up to `order`,
  // keeping those of order k seen at least minCounts[k - 1] times (the counts
  // not decreasing with k; missing ones repeat the last).
  static LanguageModel Train(const std::string& text, const Alphabet& alphabet, int order,
                             const std::vector<uint32_t>& minCounts);

  // Reads a model file's bytes; `name` is for messages. Raises kyt::Error,
  // saying what is wrong, for anything that is not a whole model.
  static LanguageModel Parse(const std::string& bytes, const std::string& name);
  static LanguageModel Load(const std::string& fileName);
  std::string Serialize() const;

  int Order() const { return order_; }
  int Symbols() const { return alphabet_.symbols; }
  int Space() const { return alphabet_.space; }
  int SymbolOf(unsigned char c) const { return alphabet_.map[c]; }
  size_t Size() const { return table_.Size(); }

  // The state at the start of a line: as after a blank.
  State Start() const;
  State Advance(State state, int symbol) const;
  // ln P(symbol | state).
  float LogProb(State state, int symbol) const;
  // ln P of one byte of code page 1251: its symbol's, and for a symbol that
  // stands for many bytes (more than 16: the one for everything else) that
  // probability shared among them, so that a sign outside the alphabet is
  // no likelier than one in it.
  float LogProbOfByte(State state, unsigned char c) const { return LogProb(state, SymbolOf(c)) - share_[SymbolOf(c)]; }
  // ln P of a whole text (code page 1251) from a line's start, blanks included.
  double LogProbOfText(const std::string& text) const;

 private:
  struct Entry {
    float logProb = 0.0f;
    float backoff = 0.0f;
  };
  // An n-gram's key: its symbols plus one, six bits each, the last lowest
  // (never 0).
  static uint64_t Key(const uint8_t* symbols, int count);
  void Insert(uint64_t key, float logProb, float backoff);

  // The n-grams by key, open addressing in a power of two of slots at most
  // half full: one allocation for a whole model, a look-up a probe or two.
  class Table {
   public:
    struct Slot {
      uint64_t key = 0;  // 0: empty
      Entry entry;
    };
    void Reserve(size_t count);
    const Entry* Find(uint64_t key) const;
    Entry& operator[](uint64_t key);  // inserted as {0, 0} when absent
    size_t Size() const { return size_; }
    const std::vector<Slot>& Slots() const { return slots_; }
    std::vector<Slot>& Slots() { return slots_; }

   private:
    size_t Home(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1); }
    std::vector<Slot> slots_;
    size_t size_ = 0;
  };

  int order_ = 0;
  Alphabet alphabet_;
  Table table_;
  std::vector<uint32_t> perOrder_;
  // ln P of a symbol the table does not hold at all.
  float floor_ = -12.0f;
  // ln of the number of bytes a catch-all symbol stands for, else 0.
  float share_[kMaxSymbols + 1] = {};
  void MeasureShares();
};

}  // namespace kytdcr::reader

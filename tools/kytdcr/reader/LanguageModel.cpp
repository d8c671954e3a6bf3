// The character n-gram model: its alphabets, training, file and look-ups.
#include "LanguageModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <unordered_map>

#include "core/Error.h"

namespace kytdcr::reader {

namespace {

constexpr char kMagic[8] = {'K', 'Y', 'T', 'L', 'M', ' ', '1', '\n'};
constexpr size_t kHeader = 8 + 4 + 256;
constexpr int kBits = 6;

uint64_t Mask(int symbols) { return symbols >= 10 ? ~uint64_t(0) : (uint64_t(1) << (kBits * symbols)) - 1; }

// The number of symbols a key holds.
int LengthOf(uint64_t key) {
  int n = 0;
  for (; key != 0; key >>= kBits) ++n;
  return n;
}

void AddSigns(LanguageModel::Alphabet& a, const char* signs) {
  for (const char* s = signs; *s; ++s) a.map[static_cast<unsigned char>(*s)] = a.symbols++;
}

// A byte that reads as another: typographic quotes and dashes, the ellipsis.
void Alias(LanguageModel::Alphabet& a, int byte, char as) { a.map[byte] = a.map[static_cast<unsigned char>(as)]; }

}  // namespace

LanguageModel::Alphabet LanguageModel::AlphabetFor(const std::string& name) {
  Alphabet a;
  // 0: everything else; 1: the blank; 2: the digits.
  a.symbols = 3;
  a.space = 1;
  for (int c : {int(' '), int('\t'), int('\n'), int('\r'), int('\v'), int('\f'), 0xA0}) a.map[c] = 1;
  for (int c = '0'; c <= '9'; ++c) a.map[c] = 2;
  if (name == "latin") {
    for (int c = 'a'; c <= 'z'; ++c) a.map[c] = a.map[c - 32] = a.symbols++;
    AddSigns(a, "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
  } else if (name == "russian") {
    for (int c = 0xE0; c <= 0xFF; ++c) a.map[c] = a.map[c - 32] = a.symbols++;
    a.map[0xB8] = a.map[0xA8] = a.map[0xE5];  // ё Ё as е
    AddSigns(a, "!\"%'(),-./:;?");
    a.map[0xB9] = a.symbols++;  // №
  } else {
    throw kyt::Error("no alphabet named '" + name + "' (latin, russian)");
  }
  for (int q : {0xAB, 0xBB, 0x84, 0x93, 0x94}) Alias(a, q, '"');  // « » „ “ ”
  for (int q : {0x91, 0x92}) Alias(a, q, '\'');                  // ‘ ’
  for (int q : {0x96, 0x97}) Alias(a, q, '-');                   // – —
  Alias(a, 0x85, '.');                                                     // …
  return a;
}

uint64_t LanguageModel::Key(const uint8_t* symbols, int count) {
  uint64_t key = 0;
  for (int i = 0; i < count; ++i) key = (key << kBits) | uint64_t(symbols[i] + 1);
  return key;
}

void LanguageModel::Insert(uint64_t key, float logProb, float backoff) { table_[key] = Entry{logProb, backoff}; }

void LanguageModel::Table::Reserve(size_t count) {
  size_t want = 16;
  while (want < 2 * count) want *= 2;
  if (want <= slots_.size()) return;
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(want, Slot{});
  for (const Slot& s : old) {
    if (s.key == 0) continue;
    size_t i = Home(s.key);
    while (slots_[i].key != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = s;
  }
}

const LanguageModel::Entry* LanguageModel::Table::Find(uint64_t key) const {
  if (slots_.empty()) return nullptr;
  for (size_t i = Home(key);; i = (i + 1) & (slots_.size() - 1)) {
    if (slots_[i].key == key) return &slots_[i].entry;
    if (slots_[i].key == 0) return nullptr;
  }
}

LanguageModel::Entry& LanguageModel::Table::operator[](uint64_t key) {
  if (2 * (size_ + 1) > slots_.size()) Reserve(size_ + 1);
  size_t i = Home(key);
  while (slots_[i].key != 0 && slots_[i].key != key) i = (i + 1) & (slots_.size() - 1);
  if (slots_[i].key == 0) slots_[i].key = key, ++size_;
  return slots_[i].entry;
}

LanguageModel::State LanguageModel::Start() const { return Advance(0, alphabet_.space); }

LanguageModel::State LanguageModel::Advance(State state, int symbol) const {
  if (order_ <= 1) return 0;
  return ((state << kBits) | uint64_t(symbol + 1)) & Mask(order_ - 1);
}

float LanguageModel::LogProb(State state, int symbol) const {
  if (order_ == 0) return 0.0f;
  float backoff = 0.0f;
  for (int length = LengthOf(state); length >= 0; --length) {
    const uint64_t context = state & Mask(length);
    if (const Entry* found = table_.Find((context << kBits) | uint64_t(symbol + 1))) return backoff + found->logProb;
    if (length > 0)
      if (const Entry* c = table_.Find(context)) backoff += c->backoff;
  }
  return backoff + floor_;
}

double LanguageModel::LogProbOfText(const std::string& text) const {
  State s = Start();
  double sum = 0.0;
  for (unsigned char c : text) {
    sum += LogProbOfByte(s, c);
    s = Advance(s, SymbolOf(c));
  }
  return sum;
}

void LanguageModel::MeasureShares() {
  int bytes[kMaxSymbols + 1] = {};
  for (int c = 0; c < 256; ++c) ++bytes[alphabet_.map[c]];
  for (int s = 0; s <= kMaxSymbols; ++s) share_[s] = bytes[s] > 16 ? std::log(float(bytes[s])) : 0.0f;
}

LanguageModel LanguageModel::Train(const std::string& text, const Alphabet& alphabet, int order,
                                   const std::vector<uint32_t>& minCounts) {
  if (order < 1 || order > kMaxOrder) throw kyt::Error("the order of a language model is 1 to " + std::to_string(kMaxOrder));
  if (alphabet.symbols < 2 || alphabet.symbols > kMaxSymbols) throw kyt::Error("an alphabet has 2 to 63 symbols");
  LanguageModel model;
  model.order_ = order;
  model.alphabet_ = alphabet;

  // The text as symbols, blanks run together, one blank at each end.
  std::vector<uint8_t> seq{alphabet.space};
  for (unsigned char c : text) {
    const uint8_t s = alphabet.map[c];
    if (s == alphabet.space && seq.back() == alphabet.space) continue;
    seq.push_back(s);
  }
  if (seq.back() != alphabet.space) seq.push_back(alphabet.space);

  // Counts of every k-gram, k = 1..order.
  std::vector<std::unordered_map<uint64_t, uint32_t>> counts(size_t(order) + 1);
  for (size_t i = 0; i < seq.size(); ++i)
    for (int k = 1; k <= order && size_t(k) <= i + 1; ++k) ++counts[size_t(k)][Key(&seq[i + 1 - size_t(k)], k)];

  auto minCount = [&](int k) -> uint32_t {
    if (minCounts.empty()) return 1;
    return std::max<uint32_t>(1, minCounts[std::min(size_t(k), minCounts.size()) - 1]);
  };

  // Unigrams: add one over the whole alphabet.
  double total = 0;
  for (const auto& [key, n] : counts[1]) total += n;
  for (int s = 0; s < alphabet.symbols; ++s) {
    const uint8_t sym = uint8_t(s);
    const auto found = counts[1].find(Key(&sym, 1));
    const double n = found == counts[1].end() ? 0.0 : found->second;
    model.Insert(Key(&sym, 1), float(std::log((n + 1.0) / (total + alphabet.symbols))), 0.0f);
  }

  // Higher orders: P(w | h) = (c(h w) + T(h) P(w | h')) / (c(h) + T(h)), T(h)
  // the number of symbols seen after h; the context's backoff weight makes
  // the stored and the backed-off probabilities of each context sum to one.
  for (int k = 2; k <= order; ++k) {
    std::map<uint64_t, std::vector<std::pair<uint8_t, uint32_t>>> byContext;
    for (const auto& [key, n] : counts[size_t(k)]) byContext[key >> kBits].push_back({uint8_t((key & 63) - 1), n});
    const uint32_t keep = minCount(k);
    for (auto& [context, followers] : byContext) {
      if (!model.table_.Find(context)) continue;  // the context itself was pruned
      double seen = 0;
      for (const auto& f : followers) seen += f.second;
      const double types = double(followers.size());
      const State shorter = context & Mask(k - 2);
      double storedHigh = 0.0, storedLow = 0.0;
      std::vector<std::pair<uint64_t, float>> kept;
      for (const auto& [symbol, n] : followers) {
        if (n < keep) continue;
        const double low = std::exp(double(model.LogProb(shorter, symbol)));
        const double p = (double(n) + types * low) / (seen + types);
        storedHigh += p;
        storedLow += low;
        kept.push_back({(context << kBits) | uint64_t(symbol + 1), float(std::log(p))});
      }
      // Quantised as the file stores them, so that a model read back is this one.
      for (auto& [key, logProb] : kept) model.Insert(key, std::round(std::max(logProb, -32.0f) * 1000.0f) / 1000.0f, 0.0f);
      const double rest = std::max(1e-9, 1.0 - storedHigh), restLow = std::max(1e-9, 1.0 - storedLow);
      const float backoff = std::round(float(std::clamp(std::log(rest / restLow), -32.0, 32.0)) * 1000.0f) / 1000.0f;
      model.table_[context].backoff = backoff;
    }
  }
  // The unigrams and the floor quantised too.
  for (auto& [key, e] : model.table_.Slots())
    if (key != 0 && LengthOf(key) == 1) e.logProb = std::round(std::max(e.logProb, -32.0f) * 1000.0f) / 1000.0f;
  model.perOrder_.assign(size_t(order), 0);
  float least = 0.0f;
  for (const auto& [key, e] : model.table_.Slots()) {
    if (key == 0) continue;
    ++model.perOrder_[size_t(LengthOf(key) - 1)];
    if (LengthOf(key) == 1) least = std::min(least, e.logProb);
  }
  model.floor_ = least - std::log(2.0f);
  model.MeasureShares();
  return model;
}

std::string LanguageModel::Serialize() const {
  std::string out(kMagic, sizeof kMagic);
  out += char(order_);
  out += char(alphabet_.symbols);
  out += char(alphabet_.space);
  out += char(0);
  out.append(reinterpret_cast<const char*>(alphabet_.map), 256);
  std::vector<std::vector<uint64_t>> keys(static_cast<size_t>(order_));
  for (const auto& [key, e] : table_.Slots())
    if (key != 0) keys[size_t(LengthOf(key) - 1)].push_back(key);
  auto u32 = [&](uint32_t v) {
    for (int b = 0; b < 4; ++b) out += char((v >> (8 * b)) & 0xFF);
  };
  auto i16 = [&](float v) {
    const int32_t q = int32_t(std::lround(v * 1000.0f));
    const uint16_t u = uint16_t(int16_t(std::clamp(q, -32768, 32767)));
    out += char(u & 0xFF);
    out += char(u >> 8);
  };
  for (auto& k : keys) {
    std::sort(k.begin(), k.end());
    u32(uint32_t(k.size()));
  }
  for (int k = 1; k <= order_; ++k) {
    for (uint64_t key : keys[size_t(k - 1)]) {
      for (int i = k - 1; i >= 0; --i) out += char(((key >> (kBits * i)) & 63) - 1);
      const Entry& e = *table_.Find(key);
      i16(e.logProb);
      i16(e.backoff);
    }
  }
  return out;
}

LanguageModel LanguageModel::Parse(const std::string& bytes, const std::string& name) {
  auto fail = [&](const std::string& why) { return kyt::Error("language model '" + name + "' cannot be read: " + why); };
  if (bytes.size() > kMaxFileBytes) throw fail("it is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB");
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    throw fail("it is no kytdcr language model (its first bytes are not \"KYTLM 1\")");
  if (bytes.size() < kHeader) throw fail("it ends inside its header");
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  LanguageModel model;
  model.order_ = p[8];
  model.alphabet_.symbols = p[9];
  model.alphabet_.space = p[10];
  if (model.order_ < 1 || model.order_ > kMaxOrder)
    throw fail("its order " + std::to_string(model.order_) + " is not 1 to " + std::to_string(kMaxOrder));
  if (model.alphabet_.symbols < 2 || model.alphabet_.symbols > kMaxSymbols)
    throw fail("its " + std::to_string(model.alphabet_.symbols) + " symbols are not 2 to 63");
  if (model.alphabet_.space >= model.alphabet_.symbols) throw fail("its blank is no symbol of its alphabet");
  if (p[11] != 0) throw fail("its header's reserved byte is not 0");
  for (int c = 0; c < 256; ++c) {
    model.alphabet_.map[c] = p[12 + c];
    if (p[12 + c] >= model.alphabet_.symbols) throw fail("byte " + std::to_string(c) + " maps to no symbol");
  }
  size_t at = kHeader;
  const size_t need = size_t(model.order_) * 4;
  if (bytes.size() - at < need) throw fail("it ends before its n-gram counts");
  std::vector<uint32_t> counts(size_t(model.order_));
  size_t total = 0;
  for (int k = 0; k < model.order_; ++k) {
    counts[size_t(k)] = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
    at += 4;
  }
  // Every count against the bytes that remain, before anything is taken for it.
  size_t remaining = bytes.size() - at;
  for (int k = 1; k <= model.order_; ++k) {
    const size_t record = size_t(k) + 4;
    if (counts[size_t(k - 1)] > remaining / record)
      throw fail("it claims " + std::to_string(counts[size_t(k - 1)]) + " " + std::to_string(k) +
                 "-grams, more than its remaining " + std::to_string(remaining) + " bytes hold");
    remaining -= counts[size_t(k - 1)] * record;
    total += counts[size_t(k - 1)];
  }
  if (remaining != 0) throw fail(std::to_string(remaining) + " bytes follow its last n-gram");
  model.table_.Reserve(total);
  auto i16 = [&](size_t i) { return float(int16_t(uint16_t(p[i] | p[i + 1] << 8))) / 1000.0f; };
  for (int k = 1; k <= model.order_; ++k) {
    uint64_t previous = 0;
    for (uint32_t n = 0; n < counts[size_t(k - 1)]; ++n) {
      for (int i = 0; i < k; ++i)
        if (p[at + size_t(i)] >= model.alphabet_.symbols)
          throw fail("a " + std::to_string(k) + "-gram holds symbol " + std::to_string(p[at + size_t(i)]) +
                     ", beyond its alphabet");
      const uint64_t key = Key(p + at, k);
      if (n > 0 && key <= previous) throw fail("its " + std::to_string(k) + "-grams are not in ascending order");
      if (k > 1 && !model.table_.Find(key >> kBits))
        throw fail("a " + std::to_string(k) + "-gram's context is not among its " + std::to_string(k - 1) + "-grams");
      previous = key;
      const float logProb = i16(at + size_t(k)), backoff = i16(at + size_t(k) + 2);
      if (logProb > 0.0f) throw fail("a " + std::to_string(k) + "-gram has a probability above one");
      model.table_[key] = Entry{logProb, backoff};
      at += size_t(k) + 4;
    }
  }
  model.perOrder_ = counts;
  // Below the least stored unigram: what is never seen is rarer than what was.
  float least = 0.0f;
  for (const auto& [key, e] : model.table_.Slots())
    if (key != 0 && LengthOf(key) == 1) least = std::min(least, e.logProb);
  model.floor_ = least - std::log(2.0f);
  model.MeasureShares();
  return model;
}

LanguageModel LanguageModel::Load(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw kyt::Error("cannot open language model " + fileName);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw kyt::Error("cannot read language model " + fileName);
  if (size_t(size) > kMaxFileBytes)
    throw kyt::Error("language model '" + fileName + "' cannot be read: it is larger than " +
                     std::to_string(kMaxFileBytes >> 20) + " MiB");
  in.seekg(0);
  std::string bytes(size_t(size), '\0');
  if (!in.read(bytes.data(), size)) throw kyt::Error("cannot read language model " + fileName);
  return Parse(bytes, fileName);
}

}  // namespace kytdcr::reader

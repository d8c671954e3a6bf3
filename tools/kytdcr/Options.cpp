#include "Options.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kytdcr {

Options::Options(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
  auto findLong = [&](const std::string& name) -> const OptionSpec* {
    for (const auto& s : specs)
      if (s.name == name) return &s;
    return nullptr;
  };
  auto findShort = [&](char c) -> const OptionSpec* {
    for (const auto& s : specs)
      if (s.shortName != 0 && s.shortName == c) return &s;
    return nullptr;
  };
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      positional_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> inlineValue;
    std::string shown;
    if (a[1] == '-') {
      std::string name = a.substr(2);
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
      option = findLong(name);
      shown = "--" + name;
    } else {
      if (a.size() != 2) {
        // Negative numbers are positional words, not options.
        positional_.push_back(a);
        continue;
      }
      option = findShort(a[1]);
      shown = a;
    }
    if (option == nullptr) throw UsageError("unknown option " + shown);
    std::vector<std::string>& slot = values_[option->name];
    if (!slot.empty() && !option->repeatable && !option->takesValue) {
      continue;  // a flag given twice is still the flag
    }
    if (!option->takesValue) {
      if (inlineValue) throw UsageError("option " + shown + " takes no value");
      slot.emplace_back();
      continue;
    }
    if (inlineValue) {
      slot.push_back(*inlineValue);
    } else {
      if (i + 1 >= args.size()) throw UsageError("option " + shown + " needs a value");
      slot.push_back(args[++i]);
    }
    if (!option->repeatable && slot.size() > 1) slot.erase(slot.begin());
  }
}

std::optional<std::string> Options::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::string Options::Value(const std::string& name, const std::string& fallback) const {
  auto v = Value(name);
  return v ? *v : fallback;
}

std::vector<std::string> Options::Values(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

int32_t Options::Int(const std::string& name, int32_t fallback, int32_t min, int32_t max) const {
  auto v = Value(name);
  return v ? ParseInt(*v, "--" + name, min, max) : fallback;
}

double Options::Real(const std::string& name, double fallback, double min, double max) const {
  auto v = Value(name);
  return v ? ParseReal(*v, "--" + name, min, max) : fallback;
}

int32_t ParseInt(const std::string& text, const std::string& what, int32_t min, int32_t max) {
  int64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, ec] = std::from_chars(first, last, value);
  if (text.empty() || ec != std::errc() || end != last) {
    throw UsageError(what + ": '" + text + "' is not a whole number");
  }
  if (value < min || value > max) {
    throw UsageError(what + ": " + text + " is outside " + std::to_string(min) + ".." + std::to_string(max));
  }
  return int32_t(value);
}

double ParseReal(const std::string& text, const std::string& what, double min, double max) {
  // strtod follows the C locale here: the tool never calls setlocale.
  char* end = nullptr;
  errno = 0;
  double value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) {
    throw UsageError(what + ": '" + text + "' is not a number");
  }
  if (value < min || value > max) {
    throw UsageError(what + ": " + text + " is outside " + std::to_string(min) + ".." + std::to_string(max));
  }
  return value;
}

std::pair<int32_t, int32_t> ParseGrid(const std::string& text, const std::string& what) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError(what + ": '" + text + "' is not WIDTHxHEIGHT");
  return {ParseInt(text.substr(0, x), what + " width", 1, 256), ParseInt(text.substr(x + 1), what + " height", 1, 256)};
}

std::vector<int32_t> ParseIntList(const std::string& text, const std::string& what, int32_t min, int32_t max) {
  std::vector<int32_t> out;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    out.push_back(ParseInt(text.substr(start, comma - start), what, min, max));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

}  // namespace kytdcr

#pragma once
// Command-line options of the subcommands: "--name VALUE", "--name=VALUE",
// one-letter forms ("-o FILE"), flags, repeatable options and positional
// arguments. Wrong usage raises UsageError, which the tool reports with a hint
// to --help and exit status 2.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"

namespace kytdcr {

class UsageError : public kyt::Error {
 public:
  using kyt::Error::Error;
};

struct OptionSpec {
  std::string name;       // long name without the dashes, e.g. "kb"
  char shortName = 0;     // e.g. 'o' for "-o", 0 for none
  bool takesValue = true;
  bool repeatable = false;
};

class Options {
 public:
  // Parses `args` (the words after the subcommand). "--" ends the options.
  Options(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The value of an option given once (the last one if repeated).
  std::optional<std::string> Value(const std::string& name) const;
  std::string Value(const std::string& name, const std::string& fallback) const;
  // Every value of a repeatable option, in order.
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

  // Typed readers; a value outside [min, max] or not a number raises UsageError.
  int32_t Int(const std::string& name, int32_t fallback, int32_t min, int32_t max) const;
  double Real(const std::string& name, double fallback, double min, double max) const;

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
};

// Number readers shared by the option readers and list options; `what` names
// the value in the error text.
int32_t ParseInt(const std::string& text, const std::string& what, int32_t min, int32_t max);
double ParseReal(const std::string& text, const std::string& what, double min, double max);
// "16x16" (width x height) -> {width, height}.
std::pair<int32_t, int32_t> ParseGrid(const std::string& text, const std::string& what);
// "12,16,20" -> {12, 16, 20}.
std::vector<int32_t> ParseIntList(const std::string& text, const std::string& what, int32_t min, int32_t max);

}  // namespace kytdcr

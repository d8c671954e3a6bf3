#pragma once
// A recording stand-in for the portable plug-in (host/kytDCR.h): it notes how
// the glue called it and calls back into the host through the glue's IHost,
// so that every host callback is reached through the real glue code.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glue {

struct FakeLog {
  std::vector<std::string> calls;  // entry point names, in order
  bool hostSet = false;            // the glue had handed over its IHost when the call came
  char** title = nullptr;
  char** publisher = nullptr;
  char** hint = nullptr;
  int32_t code = 0;
  int32_t action = 0;
  char* const* params = nullptr;
  int32_t highIndex = 0;
  std::vector<std::string> paramTexts;
  std::string format;
  bool formatNull = false;
  char* destination = nullptr;
  uint16_t controlWord = 0;  // x87 control word while the plug-in ran
  uint32_t mxcsr = 0;        // MXCSR while the plug-in ran (processors with SSE)
  float sseSubnormal = 0;    // a subnormal product computed with SSE by action 7
  std::string command;
  std::vector<std::string> execParams;

  // What the host answered through the glue.
  std::string variable;
  bool request6Result = false, request7Result = false;
  std::optional<std::string> request6Answer, request7Answer;
  bool streamFound = false;
  std::vector<uint8_t> streamContent;
  std::string streamError;
};

FakeLog& Fake();

}  // namespace glue

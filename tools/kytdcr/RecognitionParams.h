#pragma once
// The three recognition parameters as the tool's options: --bw, --noise and
// --space (a number, or "auto" to measure the space width from the picture).
#include <vector>

#include "Options.h"
#include "Segmentation.h"

namespace kytdcr {

// The option specs of the three parameters.
std::vector<OptionSpec> RecognitionOptionSpecs();

struct RecognitionParams {
  SegmentParams values;     // bw, noise, space (space holds the default when automatic)
  bool autoSpace = false;
};

// Reads --bw, --noise and --space; the defaults are the plug-in's (196, 10, 22).
RecognitionParams ReadRecognitionParams(const Options& options);

// The help text lines of the three options.
extern const char* const kRecognitionOptionsHelp;

}  // namespace kytdcr

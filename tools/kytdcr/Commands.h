#pragma once
// The subcommands of kytdcr. Each takes the words after its name, prints its
// own --help, and returns the exit status; failures are raised (UsageError for
// wrong usage, kyt::Error and std::exception otherwise) and reported by main.
#include <string>
#include <vector>

namespace kytdcr {

using Args = std::vector<std::string>;

int RunRecognize(const Args& args);
int RunTrain(const Args& args);
int RunInfo(const Args& args);
int RunSegment(const Args& args);
int RunRender(const Args& args);
int RunLanguageModel(const Args& args);

}  // namespace kytdcr

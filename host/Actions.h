#pragma once
// The five actions. Each runs under one error guard: an error raised inside it
// is caught, its text written to "[LastError]", and the action returns false.
// Nothing is raised to the caller (an error while reporting is swallowed too).
#include <cstdint>
#include <string>

namespace kyt {

class IHost;
class TBackProp;

inline constexpr const char kLastError[] = "[LastError]";

bool DcrCreate(IHost& host, const std::string& name);
bool DcrRemove(IHost& host, const std::string& name);
bool DcrLoadKnowledgebase(IHost& host, const std::string& name, const std::string& source, const std::string& bw,
                          const std::string& noise, const std::string& space);
bool DcrLoadPicture(IHost& host, const std::string& name, const std::string& source);
bool DcrRecognize(IHost& host, const std::string& name, const std::string& variable);

// Runs action 1 to 5 with its parameter texts (missing ones read as empty);
// any other number gives false and does nothing.
bool RunAction(IHost& host, int32_t action, const std::string params[5]);

// Loads the knowledge base embedded in the publication under `name` into
// `network` through the host's streams. A failure is reported in
// "[LastError]" under the action guard, leaves the network as it was and
// gives false.
bool LoadFromHostStream(TBackProp& network, const std::string& name, IHost& host);

// Does the source name a knowledge base embedded in the publication?
bool IsEmbeddedSource(const std::string& source);

}  // namespace kyt
